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

TEST(DialogPresets, SavedValuesComeBackAndOtherFilesAreRefusedOrClamped) {
  ASSERT_NE(ProductModule().entry, nullptr);
  const std::string stem = TempPath("soft");
  DeleteFileA((stem + ".prm").c_str());
  DialogHost host(MakeTestPattern(80, 60, 3, 8));
  const FilterParams given = Values({123, 7, 99, -100, -3, 0, 4, 50, 100});
  host.GiveBlock(given);
  // Saved under a name typed without its extension; the dialog adds it.
  ScriptedRun run = host.Run(
      InvocationKind::kFromMenu,
      "click 4\nchoose " + stem + "\nclick 2 alt shift\nshow\nclick 3\n" +
          "choose " + stem + ".prm\nshow\nclick 3\nchoose-cancel\nshow\nok\n");
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.result, 0);
  ASSERT_EQ(run.script.views.size(), 3u);
  EXPECT_EQ(run.script.views[0].Text(201), "1.0");  // the defaults between
  EXPECT_EQ(run.script.views[1].Text(201), "12.3");
  EXPECT_EQ(run.script.views[1].Text(204), "-100");
  EXPECT_EQ(run.script.views[2].Text(209), "100");  // a cancelled load
  EXPECT_TRUE(run.Events().empty());
  const ParamBlock block = HeldBlock(&host.session);
  EXPECT_EQ(NineOf(block.params), NineOf(given));
  const std::string name(reinterpret_cast<const char *>(block.params.name + 1),
                         block.params.name[0]);
  EXPECT_EQ(name, stem.substr(stem.find_last_of('\\') + 1) + ".prm");
  const std::vector<uint8_t> saved = ReadBytes(stem + ".prm");
  DeleteFileA((stem + ".prm").c_str());
  ASSERT_EQ(saved.size(), 348u);
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 16),
            std::string("TVR Prms\0\0\0\4lmq ", 16));
  EXPECT_EQ(saved[28], name.size());

  // The saved file with one thing changed.
  auto changed = [&](size_t at, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> file = saved;
    std::copy(bytes.begin(), bytes.end(), file.begin() + at);
    return file;
  };
  const std::vector<int32_t> wild = {5000, -7, 30, 300, 2, 3, 4, 5, -600};
  std::vector<uint8_t> wildBytes;
  for (int32_t v : wild)
    for (int shift = 24; shift >= 0; shift -= 8)
      wildBytes.push_back(uint8_t(uint32_t(v) >> shift));
  const struct {
    const char *name;
    std::vector<uint8_t> bytes;
    const char *message;  // the part of the message box's text, or null
  } files[] = {
      {"foreign.prm", changed(0, {'X'}), "created by a different plug-in"},
      {"kind.prm", changed(7, {'z'}),
       "filetype of these parameters is unknown"},
      {"version.prm", changed(11, {3}),
       "version of parameters can not be read"},
      {"short.prm", std::vector<uint8_t>(saved.begin(), saved.begin() + 300),
       nullptr},
      {"wild.prm", changed(24 + 260, wildBytes), nullptr},
  };
  std::string script;
  for (const auto &f : files) {
    WriteBytes(TempPath(f.name), f.bytes);
    script += "click 3\nchoose " + TempPath(f.name) + "\nshow\n";
  }
  DialogHost other(MakeTestPattern(80, 60, 3, 8));
  other.GiveBlock(Values({55, 66, 77, -1, -2, -3, -4, -5, -6}));
  run = other.Run(InvocationKind::kFromMenu, script + "ok\n");
  for (const auto &f : files) DeleteFileA(TempPath(f.name).c_str());
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.script.views.size(), 5u);

  // Each refused file shows its message and leaves every value; a short
  // file is left without one.
  ASSERT_EQ(run.script.events.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const ScriptEvent &e = run.script.events[i];
    EXPECT_NE(e.what.find(files[i].message), std::string::npos) << e.what;
    EXPECT_EQ(e.step, 3 * int32_t(i) + 1);  // the choice
  }
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(run.script.views[i].Text(201), "5.5") << files[i].name;
    EXPECT_EQ(run.script.views[i].Text(209), "-6") << files[i].name;
  }
  // Out-of-range values are clamped before the preview or the run use
  // them.
  const DialogView &clamped = run.script.views[4];
  EXPECT_EQ(clamped.Text(201), "100.0");
  EXPECT_EQ(clamped.Text(202), "0");
  EXPECT_EQ(clamped.Text(204), "100");
  EXPECT_EQ(clamped.Text(209), "-100");
  EXPECT_EQ(NineOf(HeldBlock(&other.session).params),
            (std::vector<int32_t>{1000, 0, 30, 100, 2, 3, 4, 5, -100}));
}

}  // namespace

#endif  // _WIN64
