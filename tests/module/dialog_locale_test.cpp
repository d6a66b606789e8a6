// The dialog's two faces: Chinese labels for a Chinese user interface,
// English ones for every other, each read right whatever the system's
// code page is, with its own Cancel label put back after Alt and Shift,
// and, in English, every box wide enough for its widest value. The test
// suite runs this under a German and a Chinese locale (TAVORIN_EXPECT_ACP
// names the code page the run must have, TAVORIN_EXPECT_FACE the face of
// the process's own language), and in the 32-bit program, where it is the
// dialog's one opening. Its pictures of the dialog, on the demo's chart,
// go to TAVORIN_SHOTS: the README's are dialog.png and dialog-chinese.png.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "demo/chart.h"
#include "host/text.h"
#include "tests/module/dialog_support.h"

namespace {

// The labels of OK, Cancel, Load, Save and Preview.
using Face = const char *[5];
const Face kChinese = {"确定", " 取消 ", "载入...", "保存...", "预览"};
const Face kEnglish = {"OK", "Cancel", "Load...", "Save...", "Preview"};

// The longest text of every box's values.
const struct {
  int32_t id;
  const char *text;
} kWidest[] = {{201, "100.0"}, {202, "100"},  {203, "100"},
               {204, "-100"},  {205, "-100"}, {206, "-100"},
               {207, "-100"},  {208, "-100"}, {209, "-100"}};

TEST(DialogLocale, EachLanguageHasItsFace) {
  if (const char *acp = std::getenv("TAVORIN_EXPECT_ACP")) {
    ASSERT_EQ(GetACP(), UINT(std::atoi(acp))) << "the run's locale";
  }
  ASSERT_NE(ProductModule().entry, nullptr);
  const char *own = std::getenv("TAVORIN_EXPECT_FACE");
  const char *shots = std::getenv("TAVORIN_SHOTS");
  if (shots && *shots) CreateDirectoryA(MapUnixPath(shots).c_str(), nullptr);
  const struct {
    const char *language;  // empty: the process's own
    const Face *face;
  } runs[] = {
      {"zh-CN", &kChinese},
      {"en-US", &kEnglish},
      {"", own && std::string(own) == "chinese" ? &kChinese : &kEnglish}};
  // The emulated 32-bit program opens the dialog once. German is the
  // process's own language in the German-locale run.
  const bool wide = sizeof(void *) == 8;
  const size_t count = wide ? (own ? 3 : 2) : 1;
  for (size_t r = 0; r < count; ++r) {
    const Face &face = *runs[r].face;
    const std::string language = *runs[r].language ? runs[r].language : "own";
    SCOPED_TRACE("language " + language);
    std::string shot =
        wide && !own ? (r == 0 ? "dialog-chinese.png" : "dialog.png")
                     : "dialog-" + std::to_string(wide ? 64 : 32) + "-" +
                           language + "-cp" + std::to_string(GetACP()) + ".png";
    shot = shots && *shots ? "shot " + std::string(shots) + "/" + shot : "shot";
    ASSERT_TRUE(SetDialogLanguage(runs[r].language));
    DialogHost host(MakeSampleChart(720, 520, 8));
    host.GiveBlock(Values({25, 65, 70, 40, 0, -20, 0, 30, 0}));
    std::string script =
        "show\nkeys alt\nshow\nkeys alt shift\nshow\nkeys\nshow\n" + shot +
        "\n";
    for (const auto &w : kWidest)
      script += "type " + std::to_string(w.id) + " " + w.text + "\n";
    ScriptedRun run =
        host.Run(InvocationKind::kFromMenu, script + "show\ncancel\n");
    SetDialogLanguage("");
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    EXPECT_EQ(run.result, 1);
    ASSERT_EQ(run.script.views.size(), 5u);
    const DialogView &v = run.script.views[0];
    const int32_t buttons[5] = {1, 2, 3, 4, 6};
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(v.Text(buttons[i]), face[i]) << buttons[i];
    EXPECT_EQ(run.script.views[1].Text(2), "Reset");
    EXPECT_EQ(run.script.views[2].Text(2), "Default");
    EXPECT_EQ(run.script.views[3].Text(2), face[1]);

    // In English every box takes and shows its widest value whole.
    if (&face == &kEnglish) {
      const DialogView &typed = run.script.views[4];
      for (const auto &w : kWidest) {
        const ControlView &box = *typed.Find(w.id);
        EXPECT_EQ(box.text, w.text) << "box " << w.id;
        EXPECT_LE(box.textWidth, box.textRoom) << "box " << w.id;
      }
    }
  }
}

}  // namespace
