// The parameter dialog and the about box worked as a person would, under
// a script, as our host's unattended mode does: a real owner window,
// displayPixels drawing into the preview, message boxes answered, and a
// parameter block of known values handed to the module.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demo/chart.h"
#include "host/dialog_capture.h"
#include "host/dialog_host.h"
#include "host/dialog_script.h"
#include "host/display.h"
#include "host/session.h"
#include "host/text.h"
#include "params/params.h"
#include "tests/module/run_support.h"
#include "tests/module/soak/process_memory.h"

namespace {

// The values in the order of the dialog's sliders 101 to 109, the
// defaults for those not given.
FilterParams Values(const std::vector<int32_t> &nine = {}) {
  FilterParams p{};
  SetDefaultParams(&p);
  for (size_t i = 0; i < nine.size(); ++i) (&p.radius)[i] = nine[i];
  return p;
}

HWND TestOwnerWindow() {
  static HWND owner = [] {
    RegisterHostControls();
    return CreateHostWindow("Tavorin test host", 20, 20, 1000, 700, true);
  }();
  return owner;
}

struct ScriptedRun {
  int16_t result = 0;
  DialogScriptResult script;
  std::vector<std::string> failures;         // script problems and host faults
  std::vector<std::string> Events() const {  // message boxes and beeps
    std::vector<std::string> out;
    for (const ScriptEvent &e : script.events) out.push_back(e.what);
    return out;
  }
};

// One document, one session, one module, as a host keeps them between
// the invocations of a person's work. Each test checks first that the
// module loaded.
struct DialogHost {
  explicit DialogHost(const HostImage &document, HostConfig config = {}) {
    if (!config.hostWindow)
      config.hostWindow = reinterpret_cast<intptr_t>(TestOwnerWindow());
    config.drawPixels = DrawPixelsToDeviceContext;
    StartSession(&session, ProductModule(), config, document);
  }
  ~DialogHost() { EndSession(&session); }

  // The block a host keeps after an accepted run with these values.
  void GiveBlock(const FilterParams &values) {
    ParamBlock block{};
    InitParamBlockHeader(&block);
    CopyParams(&values, &block.params);
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&block);
    std::string error;
    LoadParameterBlock(&session, {bytes, bytes + sizeof block}, &error);
  }

  // An invocation of kind (kAbout: the about box) with its dialogs worked
  // by script.
  ScriptedRun Run(InvocationKind kind, const std::string &script) {
    ScriptedRun run;
    std::vector<ScriptStep> steps;
    std::string error;
    if (!ParseScript(script, &steps, &error)) {
      run.failures.push_back(error);
      return run;
    }
    BeginDialogCapture(DialogAnswer::kCancel);
    BeginDialogScript(steps, ProductModule().library, &error);
    run.result = kind == InvocationKind::kAbout ? RunAbout(&session)
                                                : RunInvocation(&session, kind);
    run.script = EndDialogScript();
    EndDialogCapture();
    TakeCapturedDialogs();
    run.failures = run.script.problems;
    for (const std::string &f : SessionFailures(session))
      run.failures.push_back(f);
    session.failures.clear();
    return run;
  }

  HostSession session;
};

// The DPI of the run: TAVORIN_EXPECT_DPI, else 96.
int32_t RunDpi() {
  const char *dpi = std::getenv("TAVORIN_EXPECT_DPI");
  return dpi ? std::atoi(dpi) : 96;
}

std::vector<int32_t> NineOf(const FilterParams &p) {
  return std::vector<int32_t>(&p.radius, &p.radius + kParamCount);
}

// The dialog's two faces: Chinese labels for a Chinese user interface,
// English ones for every other, whatever the system's code page, Reset
// and Default in the face's language and Cancel's own label back after
// them; every box fits its widest value; Cancel leaves the block and the
// settings file. Run under a German and a Chinese locale too
// (TAVORIN_EXPECT_ACP: the code page the run must have, TAVORIN_EXPECT_FACE:
// the face of the process's own language), at 192 DPI (TAVORIN_EXPECT_DPI), and
// in the 32-bit program, as its one dialog. Pictures go to TAVORIN_SHOTS: the
// README's are dialog.png and dialog-chinese.png, with -192 at 192 DPI.

// The labels of OK, Cancel, Load, Save and Preview, and Cancel's with Alt
// and with Alt and Shift.
using Face = const char *[7];
const Face kChinese = {"确定", " 取消 ", "载入...", "保存...",
                       "预览", " 复位 ", " 默认 "};
const Face kEnglish = {"OK",      "Cancel", "Load...", "Save...",
                       "Preview", "Reset",  "Default"};

// The longest text of every box's values, boxes 201 to 209.
const char *const kWidest[9] = {"100.0", "100",  "100",  "-100", "-100",
                                "-100",  "-100", "-100", "-100"};

TEST(DialogLocale, EachLanguageHasItsFace) {
  if (const char *acp = std::getenv("TAVORIN_EXPECT_ACP")) {
    ASSERT_EQ(GetACP(), UINT(std::atoi(acp))) << "the run's locale";
  }
  ASSERT_NE(ProductModule().entry, nullptr);
  const char *own = std::getenv("TAVORIN_EXPECT_FACE");
  const char *shots = std::getenv("TAVORIN_SHOTS");
  const char *dpi = std::getenv("TAVORIN_EXPECT_DPI");
  const std::string suffix = dpi ? std::string("-") + dpi : "";
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
        wide && !own ? (r == 0 ? "dialog-chinese" : "dialog") + suffix + ".png"
                     : "dialog-" + std::to_string(wide ? 64 : 32) + "-" +
                           language + "-cp" + std::to_string(GetACP()) + ".png";
    shot = shots && *shots ? "shot " + std::string(shots) + "/" + shot : "shot";
    ASSERT_TRUE(SetDialogLanguage(runs[r].language));
    DialogHost host(MakeSampleChart(720, 520, 8));
    const FilterParams given = Values({25, 65, 70, 40, 0, -20, 0, 30, 0});
    host.GiveBlock(given);
    const std::vector<uint8_t> settings = ReadBytes(SettingsFilePath());
    std::string script =
        "show\nkeys alt\nshow\nkeys alt shift\nshow\nkeys\nshow\n" + shot +
        "\n";
    for (int i = 0; i < 9; ++i)
      script += "type " + std::to_string(201 + i) + " " + kWidest[i] + "\n";
    ScriptedRun run =
        host.Run(InvocationKind::kFromMenu, script + "show\ncancel\n");
    SetDialogLanguage("");
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    EXPECT_EQ(run.result, 1);
    ASSERT_EQ(run.script.views.size(), 5u);
    // The zoom buttons at the DPI: 14 pixels at 96.
    EXPECT_EQ(run.script.views[0].Find(8)->width, MulDiv(14, RunDpi(), 96));
    const int32_t buttons[5] = {1, 2, 3, 4, 6};
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(run.script.views[0].Text(buttons[i]), face[i]) << buttons[i];
    EXPECT_EQ(run.script.views[1].Text(2), face[5]);
    EXPECT_EQ(run.script.views[2].Text(2), face[6]);
    EXPECT_EQ(run.script.views[3].Text(2), face[1]);
    EXPECT_EQ(NineOf(HeldBlock(&host.session).params), NineOf(given));
    EXPECT_EQ(ReadBytes(SettingsFilePath()), settings);

    // Every box takes and shows its widest value whole.
    for (int i = 0; i < 9; ++i) {
      const ControlView &box = *run.script.views[4].Find(201 + i);
      EXPECT_EQ(box.text, kWidest[i]) << "box " << box.id;
      EXPECT_LE(box.textWidth, box.textRoom) << "box " << box.id;
    }
  }
}

// The rest in the 64-bit program only: the emulated 32-bit one opens the
// dialog once (above), and a skipped test would end it there.
#ifdef _WIN64

std::vector<std::string> EditTexts(const DialogView &v) {
  std::vector<std::string> out;
  for (int32_t id = 201; id <= 209; ++id) out.push_back(v.Text(id));
  return out;
}

// The linear sliders, 102 to 109.
std::vector<int32_t> SliderPositions(const DialogView &v) {
  std::vector<int32_t> out;
  for (int32_t id = 102; id <= 109; ++id) out.push_back(v.Position(id));
  return out;
}

// The preview's part of a picture.
std::vector<int32_t> PreviewOf(const ScriptShot &shot) {
  std::vector<int32_t> out;
  for (int32_t y = 0; y < shot.previewHeight; ++y)
    for (int32_t x = 0; x < shot.previewWidth * 3; ++x)
      out.push_back(SampleAt(shot.image, shot.previewLeft + x / 3,
                             shot.previewTop + y, x % 3));
  return out;
}

// In the Chinese face: what the dialog shows when it opens, Default and Reset,
// typing, dragging, OK with bad boxes, and what OK leaves in the block.
TEST(ParamDialog, OpensDefaultResetTypingDraggingAndOkWithBadBoxes) {
  ASSERT_NE(ProductModule().entry, nullptr);
  const HostImage document = MakeTestPattern(160, 100, 3, 16);
  DialogHost host(document);
  host.GiveBlock(Values({7, 33, 0, -100, -3, 0, 4, 50, 100}));
  SetDialogLanguage("zh-CN");
  ScriptedRun run =
      host.Run(InvocationKind::kFromMenu,
               "show\nclick 2 alt shift\nshow\nclick 2 alt\nshow\n"
               "shot\ntype 208 abc\ntype 209\nshot\n"
               "type 202 150\ndrag 104 2\ndrag 105 100\ndrag 106 -100\n"
               "type 201 12.34\nshow\ntype 201 101\nok\nshow\nok\nshow\n"
               "ok\nshow\nok\nshow\nok\n");
  SetDialogLanguage("");
  EXPECT_TRUE(run.failures.empty()) << run.failures[0];
  EXPECT_EQ(run.result, 0);
  ASSERT_EQ(run.script.views.size(), 8u);
  const DialogView &v = run.script.views[0];

  // A radius of 7 tenths shows as 0.7; vertical sliders have 100 on top.
  EXPECT_EQ(EditTexts(v),
            (std::vector<std::string>{"0.7", "33", "0", "-100", "-3", "0", "4",
                                      "50", "100"}));
  // The radius's travel is square-law: 0.7 of 100 pixels lies at
  // sqrt(0.007) of the travel, position 84 of 1000 (give or take the
  // values that share a position).
  EXPECT_NEAR(v.Position(101), 84, 2);
  EXPECT_EQ(SliderPositions(v),
            (std::vector<int32_t>{33, 0, 100, 3, 0, -4, -50, -100}));
  EXPECT_TRUE(v.Focused(201));
  EXPECT_EQ(v.Find(201)->selectionStart, 0);
  EXPECT_EQ(v.Find(201)->selectionEnd, 3);
  EXPECT_EQ(v.Find(6)->check, BST_CHECKED);

  // Default: the defaults, dialog open; Reset: the values it opened with.
  EXPECT_EQ(EditTexts(run.script.views[1]),
            (std::vector<std::string>{"1.0", "50", "50", "0", "0", "0", "0",
                                      "0", "0"}));
  EXPECT_EQ(EditTexts(run.script.views[2]), EditTexts(v));

  // Typing moves the slider but leaves the text as typed (12.34 stores
  // 12.3); a colour drag to 2 falls into the
  // centre detent and shows 0; a box without a number leaves the value,
  // the slider and the preview where they were.
  const DialogView &typed = run.script.views[3];
  EXPECT_EQ(EditTexts(typed),
            (std::vector<std::string>{"12.34", "150", "0", "0", "100", "-100",
                                      "4", "abc", ""}));
  EXPECT_NEAR(typed.Position(101), 351, 2);  // sqrt(0.123) of 1000
  EXPECT_EQ(SliderPositions(typed),
            (std::vector<int32_t>{100, 0, -2, -100, 100, -4, -50, -100}));
  ASSERT_EQ(run.script.shots.size(), 2u);
  EXPECT_TRUE(PreviewOf(run.script.shots[0]) == PreviewOf(run.script.shots[1]));

  // OK checks the boxes in slider order and reports the first bad one:
  // rewritten to the nearest end, selected, with a beep; the dialog stays.
  // A box without a number gets the value in force.
  const struct {
    int32_t id;
    const char *text;
  } bad[] = {{201, "100.0"}, {202, "100"}, {208, "50"}, {209, "100"}};
  for (size_t i = 0; i < 4; ++i) {
    const DialogView &view = run.script.views[i + 4];
    EXPECT_EQ(view.Text(bad[i].id), bad[i].text);
    EXPECT_TRUE(view.Focused(bad[i].id));
    EXPECT_EQ(view.Find(bad[i].id)->selectionEnd,
              int32_t(std::strlen(bad[i].text)));
  }
  EXPECT_EQ(run.script.views[4].Text(202), "150");
  EXPECT_EQ(run.Events(), std::vector<std::string>(4, "beep exclamation"));

  // What OK stored in the block, with the flag cleared: a repeat with that
  // block filters the same. The watch cursor was suspended only while the
  // dialog was open.
  const ParamBlock block = HeldBlock(&host.session);
  EXPECT_EQ(NineOf(block.params),
            (std::vector<int32_t>{1000, 100, 0, 0, 100, -100, 4, 50, 100}));
  EXPECT_EQ(block.params.showDialog, 0);
  std::vector<intptr_t> watch;
  for (const PropertyCall &p : host.session.properties)
    if (p.set && p.key == kPropertyWatchSuspension) watch.push_back(p.value);
  EXPECT_EQ(watch, (std::vector<intptr_t>{1, 0}));
  DialogHost repeat(document);
  repeat.GiveBlock(block.params);
  EXPECT_EQ(repeat.Run(InvocationKind::kRepeat, "").result, 0);
  EXPECT_EQ(repeat.session.document.samples, host.session.document.samples);
  EXPECT_NE(document.samples, host.session.document.samples);
}

// The wheel over the preview zooms a step; the radius slider's middle is
// 25 pixels, and its arrow keys step a tenth (2.0 to 2.5 in five); a
// box without a number leaves the value. In both faces.
TEST(ParamDialog, WheelRadiusTravelAndArrowKeys) {
  ASSERT_NE(ProductModule().entry, nullptr);
  for (const char *language : {"zh-CN", "en-US"}) {
    SCOPED_TRACE(language);
    DialogHost host(MakeTestPattern(160, 100, 3, 8));
    host.GiveBlock(Values({20}));
    std::string script = "wheel 1 40 40\nshow\nclick 101\n";
    for (int i = 0; i < 5; ++i) script += "press right\n";
    ASSERT_TRUE(SetDialogLanguage(language));
    ScriptedRun run =
        host.Run(InvocationKind::kFromMenu,
                 script +
                     "show\nshot\ntype 201 abc\nshow\ntype 201\nshow\nshot\n"
                     "drag 101 500\nshow\nok\n");
    SetDialogLanguage("");
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    ASSERT_EQ(run.script.views.size(), 5u);
    EXPECT_EQ(run.script.views[0].Text(9), "200%");
    EXPECT_EQ(run.script.views[1].Text(201), "2.5");
    // "abc" and an empty box leave the slider and the preview at 2.5.
    for (size_t i : {2, 3})
      EXPECT_EQ(run.script.views[i].Position(101),
                run.script.views[1].Position(101));
    ASSERT_EQ(run.script.shots.size(), 2u);
    EXPECT_TRUE(PreviewOf(run.script.shots[0]) ==
                PreviewOf(run.script.shots[1]));
    // The mouse places the thumb to a few positions of the 1000.
    EXPECT_NEAR(std::stof(run.script.views[4].Text(201)), 25.0, 0.7);
    EXPECT_NEAR(HeldBlock(&host.session).params.radius, 250, 7);
  }
}

std::string TempPath(const std::string &name) {
  char dir[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + "tavorin-dialog-" +
         std::to_string(GetCurrentProcessId()) + "-" + name;
}

TEST(DialogPresets, SavedValuesComeBackAndOtherFilesAreRefused) {
  ASSERT_NE(ProductModule().entry, nullptr);
  const std::string stem = TempPath("soft");
  DeleteFileA((stem + ".prm").c_str());
  DialogHost host(MakeTestPattern(80, 60, 3, 8));
  const FilterParams given = Values({123, 7, 99, -100, -3, 0, 4, 50, 100});
  host.GiveBlock(given);
  // Saved under a name typed without its extension; the dialog adds it.
  ScriptedRun run = host.Run(
      InvocationKind::kFromMenu,
      "click 4\nshow\nchoose " + stem + "\nclick 2 alt shift\nshow\nclick 3\n" +
          "choose " + stem + ".prm\nshow\nclick 3\nchoose-cancel\nshow\nok\n");
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.result, 0);
  ASSERT_EQ(run.script.views.size(), 4u);
  // The save dialog lies over ours, which it keeps disabled: OK cannot be
  // clicked behind it. Its file type is named in the face's language.
  const auto saveDialogOverOurs = [](const ScriptedRun &r, const char *type) {
    const DialogView &save = r.script.views[0], &ours = r.script.views[1];
    EXPECT_EQ(save.owner, "Tavorin");
    EXPECT_FALSE(save.ownerEnabled);
    EXPECT_TRUE(save.left >= ours.left && save.top >= ours.top &&
                save.left + save.width <= ours.left + ours.width &&
                save.top + save.height <= ours.top + ours.height);
    EXPECT_EQ(save.Text(0x470), type);
  };
  saveDialogOverOurs(run, "Parameters (*.prm)");
  run.script.views.erase(run.script.views.begin());
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
  // Our header, the name counted, values big-endian, zeros after them.
  ASSERT_EQ(saved.size(), 348u);
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 16),
            std::string("TVR Prms\0\0\0\4lmq ", 16));
  EXPECT_EQ(saved[28], name.size());
  EXPECT_EQ(BigEndianAt(saved, 24 + 272), uint32_t(-100));
  EXPECT_EQ(std::count(saved.begin() + 24 + 296, saved.end(), 0), 28);

  // The saved file with one byte changed, or cut short.
  const struct {
    const char *name;
    size_t at;
    uint8_t byte;
    const char *message;  // the part of the message box's text, or null
  } files[] = {
      {"foreign.prm", 0, 'X', "created by a different plug-in"},
      {"kind.prm", 7, 'z', "filetype of these parameters is unknown"},
      {"version.prm", 11, 3, "version of parameters can not be read"},
      {"short.prm", 300, 0, nullptr},
  };
  std::string script;
  for (const auto &f : files) {
    std::vector<uint8_t> bytes = saved;
    if (f.message)
      bytes[f.at] = f.byte;
    else
      bytes.resize(f.at);
    WriteBytes(TempPath(f.name), bytes);
    script += "click 3\nchoose " + TempPath(f.name) + "\nshow\n";
  }
  run = host.Run(InvocationKind::kFromMenu, script + "ok\n");
  // The Chinese face's messages are Chinese.
  SetDialogLanguage("zh-CN");
  const ScriptedRun chinese =
      host.Run(InvocationKind::kFromMenu,
               "click 4\nshow\nchoose-cancel\nshow\nclick 3\n"
               "choose " +
                   TempPath("foreign.prm") + "\ncancel\n");
  SetDialogLanguage("");
  ASSERT_EQ(chinese.script.views.size(), 2u);
  saveDialogOverOurs(chinese, "参数 (*.prm)");
  ASSERT_EQ(chinese.script.events.size(), 1u);
  EXPECT_NE(chinese.Events()[0].find("由另一个插件创建"), std::string::npos)
      << chinese.Events()[0];
  for (const auto &f : files) DeleteFileA(TempPath(f.name).c_str());
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.script.views.size(), 4u);

  // Each refused file shows its message and leaves every value; a short
  // file is left without one. The dialog opens with the values OK kept.
  ASSERT_EQ(run.script.events.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const ScriptEvent &e = run.script.events[i];
    EXPECT_NE(e.what.find(files[i].message), std::string::npos) << e.what;
    EXPECT_EQ(e.step, 3 * int32_t(i) + 1);  // the choice
  }
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(run.script.views[i].Text(201), "12.3") << files[i].name;
    EXPECT_EQ(run.script.views[i].Text(204), "-100") << files[i].name;
  }
}

// Counts the pixels of the shot's preview that do not show the 16-bit
// image's pixel (left + x, top + y) in 8 bits (a gray image's in every
// channel); reports the first few.
int32_t Mismatches(const ScriptShot &shot, const HostImage &image, int32_t left,
                   int32_t top) {
  int32_t wrong = 0;
  for (int32_t y = 0; y < shot.previewHeight; ++y)
    for (int32_t x = 0; x < shot.previewWidth; ++x)
      for (int p = 0; p < 3; ++p) {
        const int32_t shown =
            SampleAt(shot.image, shot.previewLeft + x, shot.previewTop + y, p);
        const int32_t plane = image.planes < 3 ? 0 : p;
        const int32_t want =
            (SampleAt(image, left + x, top + y, plane) * 511) >> 16;
        if (shown != want && ++wrong <= 3)
          ADD_FAILURE() << "preview pixel " << x << "," << y << " plane " << p
                        << " shows " << shown << ", want " << want;
      }
  return wrong;
}

// A host that cannot pad, with odd row bytes at 16 bits: the preview
// shows the engine's output; dragged as far as it goes, the image stops
// at the window's outer edge (the border hides its outermost pixel) with
// no grey gap; the labels follow the zoom buttons and the click on the
// label; the pointer is a hand over the image, and a release off it beeps.
TEST(DialogPreview, OnTheScreen) {
  ASSERT_NE(ProductModule().entry, nullptr);
  // As large on the screen at every DPI.
  const int32_t width = 700 * RunDpi() / 96, height = 520 * RunDpi() / 96;
  const HostImage document = MakeTestPattern(width, height, 3, 16);
  // A conforming host, and GIMP's bridge too: no sampling, no image at the
  // parameters call, no owner window; OK and a repeat give the same bytes.
  const struct {
    void (*imitate)(HostConfig *);
    const char *language;
  } hosts[] = {{[](HostConfig *) {}, "en-US"},
               {ImitatedHost, "zh-CN"},
               {ImitateGimpBridge, "zh-CN"}};
  std::vector<uint16_t> conforming[2];  // after OK and after the repeat
  for (const auto &h : hosts) {
    SCOPED_TRACE(h.language);
    HostConfig config;
    h.imitate(&config);
    config.rowPad = 1;
    DialogHost host(document, config);
    ASSERT_TRUE(SetDialogLanguage(h.language));
    host.GiveBlock(Values({64, 80, 70, 40, -30, 0, 60, -50, 20}));
    // Drags stay on the screen: several of them to reach the corners.
    std::string script =
        "show\nshot\nhover 2 2\nshow\nrelease 2 2\nzoom label\nshow\n"
        "hover 2 2\nshow\nrelease 2 2\n";
    for (int i = 0; i < 3; ++i) script += "pan 500 400\n";
    script += "shot\n";
    for (int i = 0; i < 6; ++i) script += "pan -500 -400\n";
    // Held, the button shows the document; released, the result.
    script += "shot\nhold 9 9\nshot\nrelease 9 9\nshot\n";
    script += "zoom in\nzoom in\nshow\nzoom label\nshow\nzoom label\n";
    ScriptedRun run =
        host.Run(InvocationKind::kFromMenu, script + "show\nok\n");
    SetDialogLanguage("");
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    ASSERT_EQ(run.result, 0);
    ASSERT_EQ(run.script.views.size(), 7u);
    ASSERT_EQ(run.script.shots.size(), 5u);
    std::vector<std::string> labels;
    for (const DialogView &v : run.script.views) labels.push_back(v.Text(9));
    EXPECT_EQ(labels, (std::vector<std::string>{"50%", "50%", "100%", "100%",
                                                "300%", "100%", "50%"}));
    EXPECT_EQ(run.script.views[1].cursor, "arrow");
    EXPECT_EQ(run.script.views[3].cursor, "hand");
    EXPECT_EQ(run.Events(), (std::vector<std::string>{"beep 880 100"}));

    // OK filtered the document with the same values: the corners show it.
    const HostImage &result = host.session.document;
    const ScriptShot &fit = run.script.shots[0];
    for (int p = 0; p < 3; ++p)
      EXPECT_EQ(SampleAt(fit.image, fit.previewLeft, fit.previewTop, p), 128);
    const int32_t w = fit.previewWidth, h = fit.previewHeight;
    EXPECT_EQ(Mismatches(run.script.shots[1], result, 1, 1), 0);
    const struct {
      const HostImage &image;
      size_t shot;
    } corners[] = {{result, 2}, {document, 3}, {result, 4}};
    for (const auto &c : corners)
      EXPECT_EQ(Mismatches(run.script.shots[c.shot], c.image, width - 1 - w,
                           height - 1 - h),
                0)
          << "shot " << c.shot;

    const std::vector<uint16_t> afterOk = result.samples;
    ASSERT_EQ(host.Run(InvocationKind::kRepeat, "").result, 0);
    if (conforming[0].empty()) {
      conforming[0] = afterOk;
      conforming[1] = result.samples;
    }
    EXPECT_TRUE(afterOk == conforming[0]);
    EXPECT_TRUE(result.samples == conforming[1]);
    EXPECT_FALSE(afterOk == result.samples);
  }
}

// On a gray document, in both faces: the colour group disabled with its
// note, the colour weights kept through OK; the preview shows the
// filtered gray through gray pixel maps. The README's picture is
// dialog-gray.png.
TEST(DialogGray, ColourGroupDisabledWeightsKeptPreviewGray) {
  ASSERT_NE(ProductModule().entry, nullptr);
  // The chart's red channel as a gray document.
  const HostImage document = WithPlanes(MakeSampleChart(720, 520, 16), 1);
  const char *shots = std::getenv("TAVORIN_SHOTS");
  const struct {
    const char *language, *note, *shot;
  } faces[] = {
      {"en-US", "Colour weights act on colour images only.", "dialog-gray.png"},
      {"zh-CN", "颜色权重只作用于彩色图像。", "dialog-gray-chinese.png"}};
  for (const auto &face : faces) {
    SCOPED_TRACE(face.language);
    DialogHost host(document);
    const FilterParams given = Values({25, 65, 70, 40, 0, -20, 0, 30, -100});
    host.GiveBlock(given);
    ASSERT_TRUE(SetDialogLanguage(face.language));
    std::string script = "show\nshot";
    if (shots && *shots) script += " " + std::string(shots) + "/" + face.shot;
    script += "\nzoom label\n";
    for (int i = 0; i < 3; ++i) script += "pan 500 400\n";
    ScriptedRun run =
        host.Run(InvocationKind::kFromMenu, script + "shot\nok\n");
    SetDialogLanguage("");
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    ASSERT_EQ(run.result, 0);
    const DialogView &v = run.script.views.at(0);
    // Sliders 101 to 109, boxes 201 to 209, the hue strip and the group:
    // only those of radius, response and spread are enabled.
    for (int32_t id = 101; id <= 302; id += id % 100 == 9 ? 92 : 1)
      EXPECT_EQ(v.Find(id)->enabled, id % 100 <= 3 && id < 300) << id;
    EXPECT_TRUE(v.Find(303)->visible);
    EXPECT_EQ(v.Text(303), face.note);
    EXPECT_EQ(NineOf(HeldBlock(&host.session).params), NineOf(given));
    ASSERT_FALSE(host.session.displays.empty());
    for (const DisplayCall &d : host.session.displays)
      ASSERT_EQ(d.imageMode, kModeGrayscale);
    EXPECT_EQ(Mismatches(run.script.shots.at(1), host.session.document, 1, 1),
              0);
  }
}

TEST(AboutBox, LandsOverTheOwnerAndClosesByClickEnterAndEscape) {
  ASSERT_NE(ProductModule().entry, nullptr);
  TestOwnerWindow();  // the common controls, as for every dialog test
  // An owner without a frame, so its client area starts where it does.
  HWND owner = CreateHostWindow("about owner", 100, 120, 1027, 652, false);
  ASSERT_NE(owner, nullptr);
  HostConfig config;
  config.hostWindow = reinterpret_cast<intptr_t>(owner);
  DialogHost host(MakeTestPattern(8, 8, 3, 8), config);
  int64_t gdiAfterFirst = -1;
  for (const char *closer :
       {"click 101\n", "press return\n", "press escape\n"}) {
    SCOPED_TRACE(closer);
    ScriptedRun run =
        host.Run(InvocationKind::kAbout, std::string("show\n") + closer);
    EXPECT_TRUE(run.failures.empty()) << run.failures[0];
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.script.views.size(), 1u);
    // (1027 - 427) / 2 and (652 - 252) / 3 from the owner's client origin.
    const DialogView &v = run.script.views[0];
    EXPECT_EQ(std::vector<int32_t>({v.left, v.top, v.width, v.height}),
              std::vector<int32_t>({400, 253, 427, 252}));
    ASSERT_NE(v.Find(101), nullptr);
    EXPECT_EQ(v.Find(101)->width, 425);
    if (gdiAfterFirst < 0) gdiAfterFirst = SampleGuiObjects().gdi;
  }
  // Each box after the first leaves no GDI object behind.
  EXPECT_EQ(SampleGuiObjects().gdi, gdiAfterFirst);
  // Without an owner on the screen (none, as GIMP's bridge gives, or one
  // off every monitor): in the middle of the work area.
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(owner, nullptr, -3000, -3000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  HostConfig gimp = config;
  ImitateGimpBridge(&gimp);
  for (const HostConfig &c : {gimp, config}) {
    DialogHost elsewhere(MakeTestPattern(8, 8, 3, 8), c);
    ScriptedRun run =
        elsewhere.Run(InvocationKind::kAbout, "show\npress escape\n");
    ASSERT_EQ(run.script.views.size(), 1u);
    const DialogView &v = run.script.views[0];
    EXPECT_EQ(std::vector<int32_t>({v.left, v.top}),
              std::vector<int32_t>({(work.left + work.right - 427) / 2,
                                    (work.top + work.bottom - 252) / 2}));
  }
  DestroyWindow(owner);
}

// A step played back with display opens the dialog on the recorded
// values (the block's where the step names none); what OK records,
// played back silently, gives the same bytes.
TEST(ParamDialog, ShowsPlayedValuesAndRecordsWhatOkTakes) {
  ASSERT_NE(ProductModule().entry, nullptr);
  const HostImage document = MakeTestPattern(90, 60, 3, 16);
  HostConfig scripting;
  scripting.scripting = ScriptingMode::kFull;
  DialogHost host(document, scripting);
  host.GiveBlock(Values({7, 33, 0, -100, -3, 0, 4, 50, 100}));
  Descriptor played;
  ParseDescriptorText("TvRd UntF #Pxl 2.5\nTvWB long -30\nTvRs long 70\n",
                      &played, nullptr);
  SetPlaybackDescriptor(&host.session, played);
  ScriptedRun run =
      host.Run(InvocationKind::kFromMenu, "show\ntype 203 12\nok\n");
  EXPECT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.script.views.size(), 1u);
  EXPECT_EQ(EditTexts(run.script.views[0]),
            (std::vector<std::string>{"2.5", "70", "0", "-100", "-3", "0", "4",
                                      "-30", "100"}));
  const InvocationRecord &recorded = host.session.invocations.back();
  ASSERT_TRUE(recorded.recorded);
  HostConfig silent = scripting;
  silent.playInfo = kPlayDialogSilent;
  DialogHost replay(document, silent);
  SetPlaybackDescriptor(&replay.session, recorded.record);
  EXPECT_EQ(replay.Run(InvocationKind::kFromMenu, "").result, 0);
  EXPECT_EQ(replay.session.document.samples, host.session.document.samples);
  EXPECT_NE(document.samples, host.session.document.samples);
}

#endif  // _WIN64

}  // namespace
