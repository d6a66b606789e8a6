// Presets through the system's open and save dialogs: what is saved
// comes back with the file's name; foreign, short and out-of-range files
// are refused with their messages or clamped, and change nothing else.
#include <gtest/gtest.h>

#include <string>

#include "tests/module/dialog_support.h"

// The 64-bit program only: the emulated 32-bit one opens the dialog once
// (dialog_locale_test.cpp), and a skipped test would end it there.
#ifdef _WIN64

namespace {

std::string TempPath(const std::string &name) {
  char dir[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + "tavorin-dialog-" +
         std::to_string(GetCurrentProcessId()) + "-" + name;
}

void Put32(std::vector<uint8_t> *bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    (*bytes)[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

// A preset file written from its description: header words, then the
// record, every value big-endian.
std::vector<uint8_t> PresetFile(const char *signature, const char *kind,
                                uint32_t version,
                                const std::vector<int32_t> &nine) {
  std::vector<uint8_t> bytes(348, 0);
  std::memcpy(&bytes[0], signature, 4);
  std::memcpy(&bytes[4], kind, 4);
  Put32(&bytes, 8, version);
  std::memcpy(&bytes[12], "lmq ", 4);
  Put32(&bytes, 24, 1);  // showDialog
  const char name[] = "\011given.prm";
  std::memcpy(&bytes[28], name, sizeof name - 1);
  for (size_t i = 0; i < nine.size(); ++i)
    Put32(&bytes, 24 + 260 + 4 * i, uint32_t(nine[i]));
  return bytes;
}

std::vector<uint8_t> Prefix(std::vector<uint8_t> bytes, size_t count) {
  bytes.resize(count);
  return bytes;
}

class DialogPresets : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(ProductModule().entry, nullptr); }
};

TEST_F(DialogPresets, SavedValuesComeBackWithTheFileName) {
  const std::string stem = TempPath("soft");
  DeleteFileA((stem + ".prm").c_str());
  DialogHost host(MakeTestPattern(80, 60, 3, 8));
  const FilterParams given = Values({123, 7, 99, -100, -3, 0, 4, 50, 100});
  host.GiveBlock(given);
  // Saved under a name typed without its extension; the dialog adds it.
  ScriptedRun run =
      host.Run(InvocationKind::kFromMenu, "click 4\nchoose " + stem +
                                              "\n"
                                              "click 2 alt shift\nshow\n"
                                              "click 3\nchoose " +
                                              stem +
                                              ".prm\nshow\n"
                                              "click 3\nchoose-cancel\nshow\n"
                                              "ok\n");
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.result, 0);
  ASSERT_EQ(run.script.views.size(), 3u);
  EXPECT_EQ(run.script.views[0].Text(201), "1.0");  // the defaults between
  EXPECT_EQ(run.script.views[1].Text(201), "12.3");
  EXPECT_EQ(run.script.views[1].Text(204), "-100");
  EXPECT_EQ(run.script.views[2].Text(209), "100");  // a cancelled load
  const ParamBlock block = host.Block();
  EXPECT_EQ(NineOf(block.params), NineOf(given));
  const std::string name(reinterpret_cast<const char *>(block.params.name + 1),
                         block.params.name[0]);
  EXPECT_EQ(name, stem.substr(stem.find_last_of('\\') + 1) + ".prm");

  const std::vector<uint8_t> file = ReadBytes(stem + ".prm");
  ASSERT_EQ(file.size(), 348u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 16),
            std::string("TVR Prms\0\0\0\4lmq ", 16));
  EXPECT_EQ(file[28], name.size());
  EXPECT_TRUE(Events(run).empty());
  DeleteFileA((stem + ".prm").c_str());
}

TEST_F(DialogPresets, ForeignShortAndOutOfRangeFiles) {
  const std::vector<int32_t> nine = {20, 30, 40, 1, 2, 3, 4, 5, 6};
  const std::vector<int32_t> wild = {5000, -7, 30, 300, 2, 3, 4, 5, -600};
  const struct {
    const char *name;
    std::vector<uint8_t> bytes;
    const char *message;  // the part of the message box's text, or null
  } files[] = {
      {"foreign.prm", PresetFile("XVR ", "Prms", 4, nine),
       "created by a different plug-in"},
      {"kind.prm", PresetFile("TVR ", "Prmz", 4, nine),
       "filetype of these parameters is unknown"},
      {"version.prm", PresetFile("TVR ", "Prms", 3, nine),
       "version of parameters can not be read"},
      {"short.prm", Prefix(PresetFile("TVR ", "Prms", 4, nine), 300), nullptr},
      {"wild.prm", PresetFile("TVR ", "Prms", 4, wild), nullptr},
  };
  std::string script;
  for (const auto &f : files) {
    WriteBytes(TempPath(f.name), f.bytes);
    script += "click 3\nchoose " + TempPath(f.name) + "\nshow\n";
  }
  DialogHost host(MakeTestPattern(80, 60, 3, 8));
  const FilterParams given = Values({55, 66, 77, -1, -2, -3, -4, -5, -6});
  host.GiveBlock(given);
  ScriptedRun run = host.Run(InvocationKind::kFromMenu, script + "ok\n");
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.script.views.size(), 5u);

  // Each refused file shows its message and leaves every value; a short
  // file is left without one.
  std::vector<std::string> messages;
  for (const ScriptEvent &e : run.script.events) messages.push_back(e.what);
  ASSERT_EQ(messages.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(messages[size_t(i)].find(files[i].message), std::string::npos)
        << messages[size_t(i)];
    EXPECT_EQ(run.script.events[size_t(i)].step, 3 * i + 1);  // the choice
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(run.script.views[size_t(i)].Text(201), "5.5") << files[i].name;
    EXPECT_EQ(run.script.views[size_t(i)].Text(209), "-6") << files[i].name;
  }
  // Out-of-range values are clamped before the preview or the run use
  // them.
  const DialogView &clamped = run.script.views[4];
  EXPECT_EQ(clamped.Text(201), "100.0");
  EXPECT_EQ(clamped.Text(202), "0");
  EXPECT_EQ(clamped.Text(204), "100");
  EXPECT_EQ(clamped.Text(209), "-100");
  EXPECT_EQ(NineOf(host.Block().params),
            (std::vector<int32_t>{1000, 0, 30, 100, 2, 3, 4, 5, -100}));
  for (const auto &f : files) DeleteFileA(TempPath(f.name).c_str());
}

}  // namespace

#endif  // _WIN64
