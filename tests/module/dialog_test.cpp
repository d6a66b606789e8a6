// The parameter dialog worked as a person would, under a script: what it
// shows when it opens, typing, dragging, OK with a bad box, Cancel,
// Default and Reset, and what the host and the settings file hold after.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/dialog_host.h"
#include "tests/module/dialog_support.h"

// The 64-bit program only: the emulated 32-bit one opens the dialog once
// (dialog_locale_test.cpp), and a skipped test would end it there.
#ifdef _WIN64

namespace {

const int32_t kSliders[9] = {101, 102, 103, 104, 105, 106, 107, 108, 109};
const int32_t kEdits[9] = {201, 202, 203, 204, 205, 206, 207, 208, 209};

std::vector<std::string> EditTexts(const DialogView &v) {
  std::vector<std::string> out;
  for (int32_t id : kEdits) out.push_back(v.Text(id));
  return out;
}

std::vector<int32_t> SliderPositions(const DialogView &v) {
  std::vector<int32_t> out;
  for (int32_t id : kSliders) out.push_back(v.Position(id));
  return out;
}

// The Chinese face, whose boxes are as narrow as described (the English
// one is dialog_locale_test.cpp's).
class ParamDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(ProductModule().entry, nullptr);
    settingsBefore = ReadBytes(SettingsFilePath());
    SetDialogLanguage("zh-CN");
  }
  void TearDown() override { SetDialogLanguage(""); }
  std::vector<uint8_t> settingsBefore;
};

TEST_F(ParamDialog, OpensWithTheValuesItWasGivenAndCancelStoresNothing) {
  DialogHost host(MakeTestPattern(120, 90, 3, 8));
  const FilterParams given = Values({7, 33, 0, -100, -3, 0, 4, 50, 100});
  host.GiveBlock(given);
  ScriptedRun run = host.Run(InvocationKind::kFromMenu,
                             "show\nshot\ntype 201 100\nshot\ntype 201 50\n"
                             "shot\ntype 202 80\ncancel\n");
  EXPECT_TRUE(run.failures.empty()) << run.failures[0];
  EXPECT_EQ(run.result, 1);
  ASSERT_EQ(run.script.views.size(), 1u);
  ASSERT_EQ(run.script.shots.size(), 3u);
  const DialogView &v = run.script.views[0];

  // A radius of 7 tenths shows as 0.7; vertical sliders have 100 on top.
  EXPECT_EQ(EditTexts(v),
            (std::vector<std::string>{"0.7", "33", "0", "-100", "-3", "0", "4",
                                      "50", "100"}));
  EXPECT_EQ(SliderPositions(v),
            (std::vector<int32_t>{7, 33, 0, 100, 3, 0, -4, -50, -100}));
  EXPECT_TRUE(v.Focused(201));
  EXPECT_EQ(v.Find(201)->selectionStart, 0);
  EXPECT_EQ(v.Find(201)->selectionEnd, 3);
  EXPECT_EQ(v.Find(6)->check, BST_CHECKED);
  EXPECT_EQ(v.Text(1), "确定");
  EXPECT_EQ(v.Text(2), " 取消 ");
  EXPECT_EQ(v.Text(3), "载入...");
  EXPECT_EQ(v.Text(4), "保存...");
  EXPECT_EQ(v.Text(6), "预览");
  EXPECT_EQ(v.Text(9), "100%");

  // Every thumb is drawn where its value is: the opening values (the
  // colour sliders hold both ends, the spread its low end), then the
  // radius typed as 100 and 50. The drawn ends of travel frame the rest.
  auto thumb = [&](size_t shot, int32_t id) {
    return DrawnThumbCentre(run.script.shots[shot], *v.Find(id));
  };
  const double top = thumb(0, 109), bottom = thumb(0, 104);
  const double left = thumb(0, 103), right = thumb(1, 101);
  EXPECT_LT(top, v.Find(109)->height / 3.0);
  EXPECT_GT(bottom, v.Find(104)->height * 2 / 3.0);
  EXPECT_LT(left, v.Find(103)->width / 3.0);
  EXPECT_GT(right, v.Find(101)->width * 2 / 3.0);
  const struct {
    size_t shot;
    int32_t id;
    double travelled;  // from the top (colour) or left end
  } thumbs[] = {{0, 105, 103 / 200.0}, {0, 106, 0.5},   {0, 107, 96 / 200.0},
                {0, 108, 0.25},        {0, 101, 0.007}, {0, 102, 0.33},
                {2, 101, 0.5},         {1, 104, 1.0},   {2, 109, 0.0}};
  for (const auto &t : thumbs) {
    const bool colour = t.id >= 104;
    const double from = colour ? top : left, to = colour ? bottom : right;
    EXPECT_NEAR(thumb(t.shot, t.id), from + (to - from) * t.travelled, 1.5)
        << "slider " << t.id << " in picture " << t.shot;
  }

  // Cancel: the block keeps what it had, the settings file is untouched,
  // and the watch cursor was suspended only while the dialog was open.
  const ParamBlock block = host.Block();
  EXPECT_EQ(NineOf(block.params), NineOf(given));
  EXPECT_EQ(block.params.showDialog, 1);
  EXPECT_EQ(ReadBytes(SettingsFilePath()), settingsBefore);
  std::vector<intptr_t> watch;
  for (const PropertyCall &p : host.session.properties)
    if (p.set && p.key == kPropertyWatchSuspension) watch.push_back(p.value);
  EXPECT_EQ(watch, (std::vector<intptr_t>{1, 0}));
}

TEST_F(ParamDialog, TypingDraggingAndOkWithBadBoxes) {
  DialogHost host(MakeTestPattern(160, 100, 3, 8));
  host.GiveBlock(DefaultValues());
  const HostImage before = host.session.document;
  ScriptedRun run = host.Run(InvocationKind::kFromMenu,
                             "type 202 150\n"
                             "drag 104 2\n"
                             "drag 105 100\n"
                             "drag 106 -100\n"
                             "type 201 12.34\n"
                             "type 209\n"
                             "show\n"
                             "type 201 101\n"
                             "ok\n"
                             "show\n"
                             "ok\n"
                             "show\n"
                             "ok\n"
                             "show\n"
                             "ok\n");
  EXPECT_TRUE(run.failures.empty()) << run.failures[0];
  EXPECT_EQ(run.result, 0);
  ASSERT_EQ(run.script.views.size(), 4u);

  // Typing moves the slider but leaves the text as typed (a full box
  // takes no more: 12.3 of 12.34); a colour drag to 2 falls into the
  // centre detent and shows 0; an empty box is the low end at once.
  const DialogView &typed = run.script.views[0];
  EXPECT_EQ(EditTexts(typed),
            (std::vector<std::string>{"12.3", "150", "50", "0", "100", "-100",
                                      "0", "0", ""}));
  EXPECT_EQ(SliderPositions(typed),
            (std::vector<int32_t>{123, 100, 50, -2, -100, 100, 0, 0, 100}));

  // OK checks the boxes in slider order and reports the first bad one:
  // rewritten to the nearest end, selected, with a beep; the dialog stays.
  const DialogView &first = run.script.views[1];
  EXPECT_EQ(first.Text(201), "100.0");
  EXPECT_EQ(first.Text(202), "150");
  EXPECT_TRUE(first.Focused(201));
  EXPECT_EQ(first.Find(201)->selectionEnd, 5);
  const DialogView &second = run.script.views[2];
  EXPECT_EQ(second.Text(202), "100");
  EXPECT_TRUE(second.Focused(202));
  // A box without a number gets the low end.
  const DialogView &third = run.script.views[3];
  EXPECT_EQ(third.Text(209), "-100");
  EXPECT_TRUE(third.Focused(209));
  EXPECT_EQ(Events(run), std::vector<std::string>(3, "beep exclamation"));

  // What OK stored: in the block with the flag cleared, and in the
  // settings file, big-endian.
  const ParamBlock block = host.Block();
  EXPECT_EQ(NineOf(block.params),
            (std::vector<int32_t>{1000, 100, 50, 0, 100, -100, 0, 0, -100}));
  EXPECT_EQ(block.params.showDialog, 0);
  const std::vector<uint8_t> file = ReadBytes(SettingsFilePath());
  ASSERT_GE(file.size(), 348u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "TVR ");
  const uint8_t radius[4] = {0, 0, 0x03, 0xE8};  // 1000
  EXPECT_TRUE(std::equal(radius, radius + 4, file.begin() + 24 + 260));
  const uint8_t weight5[4] = {0xFF, 0xFF, 0xFF, 0x9C};  // -100
  EXPECT_TRUE(std::equal(weight5, weight5 + 4, file.begin() + 24 + 292));
  EXPECT_NE(host.session.document.samples, before.samples);
}

TEST_F(ParamDialog, DefaultResetAndTheCancelLabel) {
  DialogHost host(MakeTestPattern(100, 80, 3, 8));
  const FilterParams given = Values({250, 20, 90, 10, -20, 30, -40, 50, -60});
  host.GiveBlock(given);
  ScriptedRun run = host.Run(InvocationKind::kFromMenu,
                             "type 202 5\n"
                             "drag 107 60\n"
                             "keys alt\nshow\n"
                             "keys alt shift\nshow\n"
                             "keys\nshow\n"
                             "click 2 alt shift\nshow\n"
                             "click 2 alt\nshow\n"
                             "type 203 99\n"
                             "cancel\n");
  EXPECT_TRUE(run.failures.empty()) << run.failures[0];
  EXPECT_EQ(run.result, 1);
  ASSERT_EQ(run.script.views.size(), 5u);
  EXPECT_EQ(run.script.views[0].Text(2), "Reset");
  EXPECT_EQ(run.script.views[1].Text(2), "Default");
  EXPECT_EQ(run.script.views[2].Text(2), " 取消 ");
  // Default: the defaults, dialog open; Reset: what the block holds.
  EXPECT_EQ(EditTexts(run.script.views[3]),
            (std::vector<std::string>{"1.0", "50", "50", "0", "0", "0", "0",
                                      "0", "0"}));
  EXPECT_EQ(EditTexts(run.script.views[4]),
            (std::vector<std::string>{"25.0", "20", "90", "10", "-20", "30",
                                      "-40", "50", "-60"}));
  EXPECT_EQ(SliderPositions(run.script.views[4]),
            (std::vector<int32_t>{250, 20, 90, -10, 20, -30, 40, -50, 60}));
  EXPECT_EQ(NineOf(host.Block().params), NineOf(given));
  EXPECT_EQ(ReadBytes(SettingsFilePath()), settingsBefore);
}

TEST_F(ParamDialog, RepeatRunsSilentlyWithTheAcceptedValues) {
  const HostImage picture = MakeTestPattern(90, 70, 3, 16);
  DialogHost host(picture);
  host.GiveBlock(DefaultValues());
  ScriptedRun accepted =
      host.Run(InvocationKind::kFromMenu, "type 201 3.5\ntype 203 90\nok\n");
  ASSERT_EQ(accepted.result, 0);
  const HostImage once = host.session.document;
  ScriptedRun repeat = host.Run(InvocationKind::kRepeat, "");
  EXPECT_EQ(repeat.result, 0);
  EXPECT_TRUE(repeat.script.views.empty());
  EXPECT_TRUE(repeat.failures.empty()) << repeat.failures[0];

  // A host that was handed the accepted block filters the same twice.
  DialogHost silent(picture);
  FilterParams accept = Values({35, 50, 90, 0, 0, 0, 0, 0, 0});
  accept.showDialog = 0;
  silent.GiveBlock(accept);
  silent.Run(InvocationKind::kRepeat, "");
  EXPECT_EQ(silent.session.document.samples, once.samples);
  silent.Run(InvocationKind::kRepeat, "");
  EXPECT_EQ(silent.session.document.samples, host.session.document.samples);
}

}  // namespace

#endif  // _WIN64
