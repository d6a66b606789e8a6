// The host driving a real module across the DLL boundary: filtering and
// repeating on documents of each kind, the open-source host model as the
// module sees it, message boxes and dialogs answered without a person,
// the module's faults reported, and the console program end to end.
#include <gtest/gtest.h>

#include <cstdio>

#include "host/dialog_capture.h"
#include "host/host_app.h"
#include "host/image_io.h"
#include "host/module_file.h"
#include "host_test_support.h"

namespace {

class HostRunTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(
        ReadModuleFile(FixturePath("HostFixture.8bf"), &module_, &error))
        << error;
    ASSERT_TRUE(LoadModuleCode(&module_, &error)) << error;
  }
  void TearDown() override {
    EndDialogCapture();
    TakeCapturedDialogs();
    UnloadModule(&module_);
  }
  void Start(HostSession *s, const HostConfig &config, const HostImage &doc) {
    InitSession(s, config, module_.entry, doc);
    SetSessionPipl(s, module_.pipls[0].info);
  }
  ModuleFile module_;
};

bool InvertedWithin(const HostImage &before, const HostImage &after,
                    const Rect &area) {
  const int max = MaxSample(before.depth);
  for (int y = 0; y < before.height; ++y)
    for (int x = 0; x < before.width; ++x)
      for (int p = 0; p < before.planes; ++p) {
        bool inside = y >= area.top && y < area.bottom && x >= area.left &&
                      x < area.right;
        int want = inside ? max - SampleAt(before, x, y, p)
                          : SampleAt(before, x, y, p);
        if (SampleAt(after, x, y, p) != want)
          return false;
      }
  return true;
}

TEST_F(HostRunTest, FiltersAndRepeatsOnEveryKindOfDocument) {
  struct Case {
    const char *what;
    int32_t planes, depth;
    bool selection;
    const char *behaviour;
  };
  const Case cases[] = {
      {"RGB, 8 bits", 3, 8, false, ""},
      {"RGB and a fourth plane, 16 bits", 4, 16, false, ""},
      {"gray, a selection", 1, 8, true, ""},
      {"start and continue", 3, 8, true, "classic"},
  };
  for (const Case &c : cases) {
    FixtureBehaviour behaviour(c.behaviour);
    HostImage image = MakeTestPattern(70, 45, c.planes, c.depth);
    HostConfig config;
    Rect area{0, 0, 45, 70};
    if (c.selection) {
      area = Rect{5, 33, 44, 69};
      config.hasFilterRect = true;
      config.filterRect = area;
    }
    HostSession s;
    Start(&s, config, image);
    ASSERT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), 0) << c.what;
    EXPECT_TRUE(InvertedWithin(image, s.document, area)) << c.what;
    FixtureBlock block = ReadFixtureBlock(&s);
    EXPECT_EQ(block.paddingErrors, 0) << c.what;
    EXPECT_EQ(block.depthSeen, c.depth) << c.what;
    EXPECT_EQ(block.tiles, c.selection ? 4 : 6) << c.what; // 32-pixel tiles
    ASSERT_EQ(RunInvocation(&s, InvocationKind::kRepeat), 0) << c.what;
    EXPECT_EQ(s.document.samples, image.samples) << c.what;
    EXPECT_EQ(ReadFixtureBlock(&s).runs, 2) << c.what;
    EndSession(&s);
    EXPECT_TRUE(SessionFailures(s).empty()) << c.what;
  }
}

TEST_F(HostRunTest, TheOpenSourceHostModelGivesNoEdgeReplication) {
  HostConfig config;
  config.requests = RequestBehaviour::kClipLikeOpenHost;
  HostSession s;
  Start(&s, config, MakeTestPattern(40, 40, 3, 8));
  ASSERT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), 0);
  EXPECT_GT(ReadFixtureBlock(&s).paddingErrors, 0);
  EndSession(&s);
}

TEST_F(HostRunTest, AnswersMessageBoxesAndDialogsWhenUnattended) {
  struct Case {
    const char *behaviour;
    DialogAnswer answer;
    int16_t result;
    bool messageBox;
    const char *caption;
    const char *text;
    int32_t button;
  };
  const Case cases[] = {
      {"msgbox", DialogAnswer::kCancel, 0, true, "Host Fixture",
       "Fixture message\rsecond line", IDOK},
      {"dialog", DialogAnswer::kCancel, 1, false, "Fixture Settings", "",
       IDCANCEL},
      {"dialog", DialogAnswer::kOk, 0, false, "Fixture Settings", "", IDOK},
  };
  for (const Case &c : cases) {
    FixtureBehaviour behaviour(c.behaviour);
    ASSERT_TRUE(BeginDialogCapture(c.answer));
    HostSession s;
    HostImage image = MakeTestPattern(16, 16, 3, 8);
    Start(&s, HostConfig(), image);
    EXPECT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), c.result)
        << c.behaviour;
    EndDialogCapture();
    std::vector<CapturedDialog> dialogs = TakeCapturedDialogs();
    ASSERT_EQ(dialogs.size(), 1u) << c.behaviour;
    EXPECT_EQ(dialogs[0].messageBox, c.messageBox) << c.behaviour;
    EXPECT_EQ(dialogs[0].caption, c.caption);
    EXPECT_EQ(dialogs[0].text, c.text);
    EXPECT_EQ(dialogs[0].button, c.button);
    EXPECT_FALSE(dialogs[0].forced);
    FixtureBlock block = ReadFixtureBlock(&s);
    EXPECT_EQ(c.messageBox ? block.lastMessageBox : block.lastDialog, c.button)
        << "what the module's call returned";
    EXPECT_EQ(s.document.samples == image.samples, c.result != 0)
        << c.behaviour;
    EndSession(&s);
  }
  // The about box is a message box over the host's window.
  ASSERT_TRUE(BeginDialogCapture(DialogAnswer::kCancel));
  HostSession s;
  Start(&s, HostConfig(), MakeTestPattern(4, 4, 3, 8));
  EXPECT_EQ(RunAbout(&s), 0);
  std::vector<CapturedDialog> dialogs = TakeCapturedDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].caption, "About Host Fixture");
}

TEST_F(HostRunTest, ReportsTheModulesFaults) {
  FixtureBehaviour behaviour("leak unbalanced watch");
  HostSession s;
  Start(&s, HostConfig(), MakeTestPattern(16, 16, 3, 8));
  RunInvocation(&s, InvocationKind::kFromMenu);
  EndSession(&s);
  std::string all;
  for (const std::string &f : SessionFailures(s))
    all += f + "\n";
  EXPECT_NE(all.find("(64 bytes) leaked"), std::string::npos) << all;
  EXPECT_NE(all.find("left locked 1 time(s)"), std::string::npos) << all;
  EXPECT_NE(all.find("watch cursor left suspended"), std::string::npos) << all;
  EXPECT_EQ(SessionFailures(s).size(), 3u) << all;
}

// The console program's steps, run in this process.
int RunCommand(const std::vector<std::string> &args, std::string *output) {
  CliOptions options;
  std::string error;
  if (!ParseCommandLine(args, &options, &error)) {
    *output = error;
    return kExitUsage;
  }
  FILE *out = std::tmpfile();
  int code = RunHostCommand(options, out);
  std::rewind(out);
  output->clear();
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
    output->append(buffer, n);
  std::fclose(out);
  return code;
}

TEST(HostCommand, RunsAndReportsLikeTheConsoleProgram) {
  const std::string fixture = FixturePath("HostFixture.8bf");
  const std::string out = TempFilePath("command.png");
  struct Case {
    const char *behaviour;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"",
       {fixture, "--run", "--repeat", "--unattended", "--size", "30x20",
        "--out", out},
       kExitOk,
       {"code: ", "selector parameters: 0\n", "selector start: 0\n",
        "invocation 2: repeat\n", "wrote: ", "status: ok\n"}},
      {"leak",
       {fixture, "--run"},
       kExitFaults,
       {"failure: handle #2 (64 bytes) leaked\n", "status: FAILED, 1 fault"}},
      {"",
       {fixture, "--run", "--advance-fail-at", "2:-1234"},
       kExitOk,
       {"selector start: -1234\n", "advanceState: 2 calls\n",
        "document: unchanged\n"}},
      {"",
       {fixture, "--run", "--handles", "newfail"},
       kExitOk,
       {"selector parameters: -108\n", "1 new (1 failed)"}},
      {"",
       {FixturePath("HostFixtureForeign.8bf"), "--run"},
       kExitRefused,
       {"pipl #16000:\n", "refused: property list #16000 has no code "}},
      {"",
       {fixture, "--run", "--rect", "0,0,10,99"},
       kExitUsage,
       {"is not inside the image"}},
  };
  for (const Case &c : cases) {
    FixtureBehaviour behaviour(c.behaviour);
    std::string output;
    EXPECT_EQ(RunCommand(c.args, &output), c.exitCode) << output;
    for (const std::string &line : c.lines)
      EXPECT_NE(output.find(line), std::string::npos)
          << "missing \"" << line << "\" in:\n"
          << output;
  }
  // Run and repeat invert twice: the file holds the test pattern again.
  HostImage written;
  std::string error;
  ASSERT_TRUE(ReadImageFile(out, &written, &error)) << error;
  DeleteFileA(out.c_str());
  EXPECT_EQ(written.samples, MakeTestPattern(30, 20, 3, 8).samples);
}

} // namespace
