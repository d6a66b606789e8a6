// The dialog's two faces: Chinese labels for a Chinese user interface,
// English ones for every other, each read right whatever the system's
// code page is, with its own Cancel label put back after Alt and Shift,
// its thumbs where the values are, and, in English, every box wide enough
// for its widest value. The test suite runs this under a German and a
// Chinese locale (TAVORIN_EXPECT_ACP names the code page the run must
// have, TAVORIN_EXPECT_FACE the face of the process's own language), and
// in the 32-bit program, where it is the dialog's one opening.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "host/dialog_host.h"
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

struct Face {
  const char *name;
  const char *labels[5];  // OK, Cancel, Load, Save, Preview
  const char *statics[5];
};
const Face kChinese = {"chinese",
                       {"确定", " 取消 ", "载入...", "保存...", "预览"},
                       {"控制", "半径", "回应", "扩大", "颜色"}};
const Face kEnglish = {"english",
                       {"OK", "Cancel", "Load...", "Save...", "Preview"},
                       {"Controls", "Radius", "Response", "Spread", "Colour"}};

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
  const struct {
    const char *language;  // empty: the process's own
    const Face *face;
  } runs[] = {
      {"zh-CN", &kChinese},
      {"en-US", &kEnglish},
      {"", own && std::string(own) == "chinese" ? &kChinese : &kEnglish}};
  // The emulated 32-bit program opens the dialog once. German is the
  // process's own language in the German-locale run.
  const size_t count = sizeof(void *) == 8 ? (own ? 3 : 2) : 1;
  for (size_t r = 0; r < count; ++r) {
    const Face &face = *runs[r].face;
    const std::string language = *runs[r].language ? runs[r].language : "own";
    SCOPED_TRACE("language " + language);
    ASSERT_TRUE(SetDialogLanguage(runs[r].language));
    DialogHost host(MakeTestPattern(64, 48, 3, 8));
    host.GiveBlock(DefaultValues());
    std::string script =
        "show\nkeys alt\nshow\nkeys alt shift\nshow\nkeys\nshow\nshot " +
        ShotPath("dialog-" + std::to_string(sizeof(void *) * 8) + "-" +
                 language + "-cp" + std::to_string(GetACP()) + ".png") +
        "\n";
    for (const auto &w : kWidest)
      script += "type " + std::to_string(w.id) + " " + w.text + "\n";
    ScriptedRun run =
        host.Run(InvocationKind::kFromMenu, script + "show\ncancel\n");
    SetDialogLanguage("");
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    EXPECT_EQ(run.result, 1);
    ASSERT_EQ(run.script.views.size(), 5u);
    ASSERT_EQ(run.script.shots.size(), 1u);
    const DialogView &v = run.script.views[0];
    const int32_t buttons[5] = {1, 2, 3, 4, 6};
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(v.Text(buttons[i]), face.labels[i]) << buttons[i];
    std::vector<std::string> statics;
    for (const ControlView &c : v.controls)
      if (c.id == -1 || c.id == 0xFFFF) statics.push_back(c.text);
    for (const char *name : face.statics)
      EXPECT_NE(std::find(statics.begin(), statics.end(), name), statics.end())
          << name;
    EXPECT_EQ(run.script.views[1].Text(2), "Reset");
    EXPECT_EQ(run.script.views[2].Text(2), "Default");
    EXPECT_EQ(run.script.views[3].Text(2), face.labels[1]);

    // At the defaults every colour thumb sits half-way down its channel,
    // the response and spread thumbs half-way along theirs.
    for (int32_t id = 102; id <= 109; ++id) {
      const ControlView &slider = *v.Find(id);
      const double middle =
          (slider.height > slider.width ? slider.height : slider.width) / 2.0;
      EXPECT_NEAR(DrawnThumbCentre(run.script.shots[0], slider), middle, 2.0)
          << "slider " << id;
    }

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
