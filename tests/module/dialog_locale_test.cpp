// The dialog's Chinese labels read right whatever the system's code page
// is: the template's labels, and the Cancel label put back after Alt is
// released. The test suite runs this under a Western and a Chinese
// locale (TAVORIN_EXPECT_ACP names the code page the run must have), and
// in the 32-bit program, where it is the dialog's one opening.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "host/text.h"
#include "tests/module/dialog_support.h"

namespace {

// Where the test suite keeps its pictures; empty: none are kept.
std::string ShotPath(const std::string &name) {
  const char *dir = std::getenv("TAVORIN_SHOTS");
  if (!dir || !*dir) return std::string();
  CreateDirectoryA(MapUnixPath(dir).c_str(), nullptr);
  return std::string(dir) + "/" + name;
}

TEST(DialogLocale, LabelsReadRightInThisCodePage) {
  if (const char *acp = std::getenv("TAVORIN_EXPECT_ACP")) {
    ASSERT_EQ(GetACP(), UINT(std::atoi(acp))) << "the run's locale";
  }
  ASSERT_NE(ProductModule().entry, nullptr);
  DialogHost host(MakeTestPattern(64, 48, 3, 8));
  host.GiveBlock(DefaultValues());
  const std::string shot =
      ShotPath("dialog-" + std::to_string(sizeof(void *) * 8) + "-cp" +
               std::to_string(GetACP()) + ".png");
  ScriptedRun run =
      host.Run(InvocationKind::kFromMenu,
               "show\nkeys alt\nshow\nkeys\nshow\nshot " + shot + "\ncancel\n");
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  EXPECT_EQ(run.result, 1);
  ASSERT_EQ(run.script.views.size(), 3u);
  const DialogView &v = run.script.views[0];
  const struct {
    int32_t id;
    const char *text;
  } labels[] = {
      {1, "确定"}, {2, " 取消 "}, {3, "载入..."}, {4, "保存..."}, {6, "预览"}};
  for (const auto &l : labels) EXPECT_EQ(v.Text(l.id), l.text) << l.id;
  std::vector<std::string> statics;
  for (const ControlView &c : v.controls)
    if (c.id == -1 || c.id == 0xFFFF) statics.push_back(c.text);
  const std::vector<std::string> groupsAndNames = {"控制", "半径", "回应",
                                                   "扩大", "颜色"};
  for (const std::string &name : groupsAndNames)
    EXPECT_NE(std::find(statics.begin(), statics.end(), name), statics.end())
        << name;
  EXPECT_EQ(run.script.views[1].Text(2), "Reset");
  EXPECT_EQ(run.script.views[2].Text(2), " 取消 ");
}

}  // namespace
