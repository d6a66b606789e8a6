// Refusals before the module accepts an invocation: the image and the
// system, each with its message in a box captioned "Tavorin". Hosts are
// not refused by their signature.
#include <gtest/gtest.h>

#include "tests/module/run_support.h"

namespace {

TEST(HostChecks, RefusesImagesAndHostsItCannotServe) {
  const struct {
    const char *what;
    int32_t planes, depth;
    int16_t mode;  // -1: as the document says
    OSType sig;
    int16_t result;
    const char *text;  // null: no box; "": the module's own text
  } cases[] = {
      {"CMYK in a host of unknown signature: the image comes first", 4, 8,
       kModeCMYK, FourCC('A', 'B', 'C', 'D'), 1303,
       "The plugin encountered an invalid image mode. \rPlease make sure the "
       "image mode is set to RGB, \rand the R, G, and B channels are "
       "selected in \rthe channel palette."},
      {"RGB with two planes", 2, 8, kModeRGB, kHostSig8BIM, 1301, ""},
      {"gray with its transparency", 2, 8, kModeGrayscale, kHostSig8BIM, 0,
       nullptr},
      {"a host of unknown signature is accepted", 3, 16, -1,
       FourCC('A', 'B', 'C', 'D'), 0, nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    HostConfig config;
    config.imageMode = c.mode;
    config.hostSig = c.sig;
    HostSession s;
    ASSERT_TRUE(StartSession(&s, ProductModule(), config,
                             MakeTestPattern(16, 16, c.planes, c.depth)));
    ASSERT_TRUE(BeginDialogCapture(::DialogAnswer::kOk));
    BeginInvocation(&s, InvocationKind::kFromMenu);
    EXPECT_EQ(CallSelector(&s, kSelectorParameters), c.result);
    EndInvocation(&s, false);
    EndDialogCapture();
    const std::vector<CapturedDialog> boxes = TakeCapturedDialogs();
    ASSERT_EQ(boxes.size(), c.text ? 1u : 0u);
    if (c.text) {
      EXPECT_TRUE(boxes[0].messageBox);
      EXPECT_EQ(boxes[0].caption, "Tavorin");
      if (*c.text)
        EXPECT_EQ(boxes[0].text, c.text);
      else
        EXPECT_FALSE(boxes[0].text.empty());
    }
    EndSession(&s);
    for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
  }
}

#ifdef _WIN64  // the 64-bit run covers the system's version

// Runs a copy of the host program under a name Wine reports the given
// Windows version to (nt40, win98...), and returns what it printed.
std::string RunHostAsWindows(const char *version, const std::string &args) {
  const std::string name = std::string("tavorin-host-") + version + ".exe";
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string copy = std::string(temp) + name;
  if (!CopyFileA(FixturePath("..\\..\\host\\tavorin-host.exe").c_str(),
                 copy.c_str(), FALSE))
    return "cannot copy the host program";
  HKEY key;
  const std::string path = "Software\\Wine\\AppDefaults\\" + name;
  RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                  nullptr, &key, nullptr);
  RegSetValueExA(key, "Version", 0, REG_SZ,
                 reinterpret_cast<const BYTE *>(version),
                 DWORD(strlen(version) + 1));
  RegCloseKey(key);

  // cmd.exe takes off the outer quotes of a line that starts with one.
  const std::string line =
      "\"\"" + copy + "\" \"" + ProductModulePath() + "\" " + args + " 2>&1\"";
  FILE *pipe = _popen(line.c_str(), "r");  // text mode: no \r before \n
  std::string report;
  char buffer[4096];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe));)
    report.append(buffer, n);
  if (pipe) _pclose(pipe);
  DeleteFileA(copy.c_str());
  return report;
}

TEST(HostChecks, OldSystems) {
  // Windows NT 4.0 is refused before anything else is looked at.
  std::string report = RunHostAsWindows("nt40", "--run --unattended");
  EXPECT_NE(report.find("selector parameters: 1011\n"), std::string::npos)
      << report;
  EXPECT_NE(report.find("message box \"Tavorin\" \"This plug-in is "
                        "incompatible with this operating system. \\r"),
            std::string::npos)
      << report;

  // Windows 98 runs, and keeps its settings under the Windows directory.
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string root = std::string(windows) + "\\lattimerworkshops";
  RemoveSettingsTree(root);
  report = RunHostAsWindows("win98", "--run --unattended");
  EXPECT_NE(report.find("selector parameters: 0\n"), std::string::npos)
      << report;
  EXPECT_TRUE(FileExists(root + "\\PS Filters\\Tavorin"));
  RemoveSettingsTree(root);
}

#endif  // _WIN64

}  // namespace
