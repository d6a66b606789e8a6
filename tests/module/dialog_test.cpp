// The parameter dialog worked as a person would, under a script: what it
// shows when it opens, typing, dragging, OK with a bad box, Cancel,
// Default and Reset, and what the host and the settings file hold after.
#include <gtest/gtest.h>


#include "tests/module/dialog_support.h"

// The 64-bit program only: the emulated 32-bit one opens the dialog once
// (dialog_locale_test.cpp), and a skipped test would end it there.
#ifdef _WIN64

namespace {

std::vector<std::string> EditTexts(const DialogView &v) {
  std::vector<std::string> out;
  for (int32_t id = 201; id <= 209; ++id) out.push_back(v.Text(id));
  return out;
}

std::vector<int32_t> SliderPositions(const DialogView &v) {
  std::vector<int32_t> out;
  for (int32_t id = 101; id <= 109; ++id) out.push_back(v.Position(id));
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

TEST_F(ParamDialog, OpensWithItsValuesDefaultResetAndCancel) {
  DialogHost host(MakeTestPattern(120, 90, 3, 8));
  const FilterParams given = Values({7, 33, 0, -100, -3, 0, 4, 50, 100});
  host.GiveBlock(given);
  ScriptedRun run = host.Run(InvocationKind::kFromMenu,
                             "show\ntype 201 50\ntype 202 5\ndrag 107 60\n"
                             "click 2 alt shift\nshow\n"
                             "click 2 alt\nshow\ncancel\n");
  EXPECT_TRUE(run.failures.empty()) << run.failures[0];
  EXPECT_EQ(run.result, 1);
  ASSERT_EQ(run.script.views.size(), 3u);
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

  // Default: the defaults, dialog open; Reset: the values it opened with.
  EXPECT_EQ(EditTexts(run.script.views[1]),
            (std::vector<std::string>{"1.0", "50", "50", "0", "0", "0", "0",
                                      "0", "0"}));
  EXPECT_EQ(EditTexts(run.script.views[2]), EditTexts(v));
  EXPECT_EQ(SliderPositions(run.script.views[2]), SliderPositions(v));

  // Cancel: the block keeps what it had, the settings file is untouched,
  // and the watch cursor was suspended only while the dialog was open.
  const ParamBlock block = HeldBlock(&host.session);
  EXPECT_EQ(NineOf(block.params), NineOf(given));
  EXPECT_EQ(block.params.showDialog, 1);
  EXPECT_EQ(ReadBytes(SettingsFilePath()), settingsBefore);
  std::vector<intptr_t> watch;
  for (const PropertyCall &p : host.session.properties)
    if (p.set && p.key == kPropertyWatchSuspension) watch.push_back(p.value);
  EXPECT_EQ(watch, (std::vector<intptr_t>{1, 0}));
}

TEST_F(ParamDialog, TypingDraggingAndOkWithBadBoxes) {
  const HostImage document = MakeTestPattern(160, 100, 3, 16);
  DialogHost host(document);
  host.GiveBlock(Values());
  ScriptedRun run = host.Run(InvocationKind::kFromMenu,
                             "type 202 150\ndrag 104 2\ndrag 105 100\n"
                             "drag 106 -100\ntype 201 12.34\ntype 209\nshow\n"
                             "type 201 101\nok\nshow\nok\nshow\nok\nshow\n"
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
  // A box without a number gets the low end.
  const struct {
    int32_t id;
    const char *text;
  } bad[] = {{201, "100.0"}, {202, "100"}, {209, "-100"}};
  for (size_t i = 0; i < 3; ++i) {
    const DialogView &view = run.script.views[i + 1];
    EXPECT_EQ(view.Text(bad[i].id), bad[i].text);
    EXPECT_TRUE(view.Focused(bad[i].id));
    EXPECT_EQ(view.Find(bad[i].id)->selectionEnd,
              int32_t(std::strlen(bad[i].text)));
  }
  EXPECT_EQ(run.script.views[1].Text(202), "150");
  EXPECT_EQ(run.Events(), std::vector<std::string>(3, "beep exclamation"));

  // What OK stored: in the block with the flag cleared, and in the
  // settings file, big-endian; a repeat with that block filters the same.
  FilterParams accepted = Values({1000, 100, 50, 0, 100, -100, 0, 0, -100});
  const ParamBlock block = HeldBlock(&host.session);
  EXPECT_EQ(NineOf(block.params), NineOf(accepted));
  EXPECT_EQ(block.params.showDialog, 0);
  const std::vector<uint8_t> file = ReadBytes(SettingsFilePath());
  ASSERT_GE(file.size(), 348u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "TVR ");
  EXPECT_EQ(BigEndianAt(file, 24 + 260), 1000u);
  EXPECT_EQ(BigEndianAt(file, 24 + 292), uint32_t(-100));
  DialogHost repeat(document);
  accepted.showDialog = 0;
  repeat.GiveBlock(accepted);
  EXPECT_EQ(repeat.Run(InvocationKind::kRepeat, "").result, 0);
  EXPECT_EQ(repeat.session.document.samples, host.session.document.samples);
  EXPECT_NE(document.samples, host.session.document.samples);
}

}  // namespace

#endif  // _WIN64
