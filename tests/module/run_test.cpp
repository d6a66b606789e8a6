// The filtering run through the host: whole images against the engine's
// own result, the requests and progress a host sees, in conforming and
// non-conforming hosts, every way a run can fail, and the repeat of the
// last filter with the block the host keeps.
#include <gtest/gtest.h>

#include "tests/module/run_support.h"

namespace {

const ReferenceSettings kNoRadius = {0, 80, 30, {0, 0, 0, 0, 0, 0}};
const ReferenceSettings kOutOfRange = {5000, 300, -5, {-150, 0, 0, 0, 0, 999}};
const ReferenceSettings kClamped = {1000, 100, 0, {-100, 0, 0, 0, 0, 100}};

Rect Clipped(const Rect &r, const Rect &image) {
  return Rect{std::max(r.top, image.top), std::max(r.left, image.left),
              std::min(r.bottom, image.bottom), std::min(r.right, image.right)};
}

// In a conforming host, in our host imitating an open-source host engine
// (another signature, no edge padding, requests clipped at the image's
// edges with the rectangle rewritten, rows that shear or shift where a
// request reaches past the top or left, handle sizes 0) and in its
// imitation of GIMP's bridge: every tile that touches an image edge is
// where a wrong replication shows. The imitated hosts start the filter
// without a block, as a script does: the last-used settings run, and the
// block left behind repeats them. A gray document (one or two planes)
// comes back as the RGB document its gray makes would, and its
// transparency as it was.
TEST(Run, WholeImagesMatchTheEngineBitForBit) {
  struct Case {
    const char *what;
    int32_t width, height, planes, depth;
    Rect area;  // empty: the whole image
    const ReferenceSettings *settings;
    int32_t margin;  // by hand from the radius: the blur's reach, rounded up
    void (*imitated)(HostConfig *);
    int32_t rowPad;
    // The block a host replays, when it is not settings: one that never
    // passed the parameters selector, clamped before the engine sees it
    // (a radius beyond 100.0 would need a margin past its buffers).
    const ReferenceSettings *stored = nullptr;
  } cases[] = {
      {"600 x 300, cut at the right and the bottom", 600, 300, 3, 8, Rect{},
       &kDefaults, 2, nullptr, 0},
      {"257 x 1 in 16 bits with a fourth plane, radius 100.0", 257, 1, 4, 16,
       Rect{}, &kStrongest, 101, nullptr, 0},
      {"1 x 1000 with a fourth plane, radius 0.0", 1, 1000, 4, 8, Rect{},
       &kNoRadius, 1, nullptr, 0},
      {"a replayed block out of range", 50, 40, 3, 8, Rect{}, &kClamped, 101,
       nullptr, 0, &kOutOfRange},
      {"a selection at 100, 100 in 16 bits", 420, 390, 3, 16,
       Rect{100, 100, 389, 419}, &kOdd, 4, nullptr, 0},
      {"imitated: 8 bits, tiles cut at the right and the bottom", 300, 270, 3,
       8, Rect{}, &kOdd, 4, ImitatedHost, 0},
      {"imitated: 16 bits, odd row bytes, a fourth plane, radius 100.0", 280,
       260, 4, 16, Rect{}, &kStrongest, 101, ImitatedHost, 3},
      {"imitated: a selection touching the top and left edges", 300, 270, 3, 16,
       Rect{0, 0, 200, 150}, &kOdd, 4, ImitatedHost, 1},
      {"imitated: a selection touching the bottom and right edges", 300, 270, 3,
       8, Rect{70, 60, 270, 300}, &kStrongest, 101, ImitatedHost, 0},
      {"imitated: a column along the right edge", 300, 270, 3, 8,
       Rect{0, 299, 270, 300}, &kOdd, 4, ImitatedHost, 5},
      {"imitated: an image narrower than the margin", 5, 3, 3, 16, Rect{},
       &kStrongest, 101, ImitatedHost, 1},
      {"gray, odd sizes, radius 0.0", 301, 259, 1, 8, Rect{}, &kNoRadius, 1,
       nullptr, 0},
      {"gray16 with transparency, a selection, radius 100.0", 300, 270, 2, 16,
       Rect{3, 250, 259, 300}, &kStrongest, 101, nullptr, 1},
      {"imitated: gray with transparency, a selection at the top left", 280,
       260, 2, 8, Rect{0, 0, 200, 150}, &kOdd, 4, ImitatedHost, 3},
      {"imitated: gray16, odd row bytes, radius 100.0", 257, 9, 1, 16, Rect{},
       &kStrongest, 101, ImitatedHost, 1},
      {"GIMP's bridge: 16 bits, a selection touching the right edge", 290, 300,
       3, 16, Rect{10, 20, 290, 290}, &kOdd, 4, ImitateGimpBridge, 0},
      {"GIMP's bridge: 8 bits, a fourth plane, radius 100.0", 270, 260, 4, 8,
       Rect{}, &kStrongest, 101, ImitateGimpBridge, 0},
  };
  // The release module is the tested one stripped: it must filter alike.
  std::string releaseError;
  const ModuleFile &release = ReleaseModule(&releaseError);
  ASSERT_TRUE(release.entry != nullptr) << releaseError;
  const struct {
    const char *name;
    const ModuleFile *module;
  } modules[] = {{"tested module", &ProductModule()},
                 {"release module", &release}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const bool gray = c.planes < 3;
    const HostImage image =
        MakeTestPattern(c.width, c.height, c.planes, c.depth);
    HostConfig config;
    if (c.imitated) c.imitated(&config);
    config.rowPad = c.rowPad;
    config.hasFilterRect = c.area.bottom != 0;
    config.filterRect = c.area;
    const Rect area = config.hasFilterRect ? c.area : WholeImage(image);
    ApplyEngineSettings(*c.settings);
    const std::vector<uint16_t> expected =
        gray ? GrayThroughRgb(image, area).samples
             : ColourSamples(Reference(image, area, *c.settings), c.planes);
    for (const auto &m : modules) {
      SCOPED_TRACE(m.name);
      HostSession s;
      ASSERT_TRUE(StartSession(&s, *m.module, config, image));
      std::string error;
      if (c.imitated)
        WriteSettingsFile(*c.settings);
      else
        ASSERT_TRUE(LoadParameterBlock(
            &s, BlockBytes(c.stored ? *c.stored : *c.settings), &error));
      ASSERT_EQ(RunInvocation(&s, InvocationKind::kRepeat), 0);
      EXPECT_TRUE((gray ? s.document.samples
                        : ColourSamples(s.document.samples, c.planes)) ==
                  expected);
      if (c.imitated) {
        EXPECT_EQ(HeldBlock(&s).params.showDialog, 0);
        EXPECT_EQ(HeldBlock(&s).params.radius, c.settings->radius);
      }

      // Tiles of at most 256 by 256 from the area's corner, left to right
      // in bands top to bottom, each input grown by the margin (within
      // the image where the host does not pad); progress after each,
      // counting every plane.
      const InvocationRecord &run = s.invocations.back();
      ASSERT_EQ(run.progress.size(), s.tiles.log.size());
      Rect expect{area.top, area.left, area.top, area.left};
      int32_t done = 0;
      for (size_t k = 0; k < s.tiles.log.size(); ++k) {
        const AdvanceCall &a = s.tiles.log[k];
        if (expect.right == area.right) {
          expect.top = expect.bottom;
          expect.left = area.left;
        } else {
          expect.left = expect.right;
        }
        expect.bottom =
            int16_t(std::min(expect.top + 256, int32_t(area.bottom)));
        expect.right =
            int16_t(std::min(expect.left + 256, int32_t(area.right)));
        Rect in{int16_t(expect.top - c.margin), int16_t(expect.left - c.margin),
                int16_t(expect.bottom + c.margin),
                int16_t(expect.right + c.margin)};
        if (c.imitated) in = Clipped(in, WholeImage(image));
        EXPECT_EQ(RectText(a.outRect), RectText(expect)) << k;
        EXPECT_EQ(RectText(a.inRect), RectText(in)) << k;
        EXPECT_EQ(a.inHiPlane - a.inLoPlane + 1, c.planes);
        EXPECT_EQ(a.outHiPlane - a.outLoPlane + 1, c.planes);
        EXPECT_EQ(a.inputRate, 0x10000);
        EXPECT_EQ(a.inputPadding, -1);
        done += (expect.bottom - expect.top) * (expect.right - expect.left) *
                c.planes;
        EXPECT_EQ(run.progress[k].done, done);
        EXPECT_EQ(
            run.progress[k].total,
            (area.bottom - area.top) * (area.right - area.left) * c.planes);
      }
      EXPECT_EQ(expect.bottom, area.bottom);  // the last tile reached the end
      EXPECT_EQ(expect.right, area.right);
      EndSession(&s);
      for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
    }
  }
  RemoveSettingsTree(SettingsFolder());
}

// Every way a run ends early, cleanly; and blocks of 28 bytes that start
// like ours (an older module's, or a host's own), which are replaced from
// the menu and refused by a repeat: reading or writing the record in one
// would overrun the host's memory, which its guard bytes report.
TEST(Run, EveryFailureEndsTheRunCleanlyAndShortBlocksAreReplaced) {
  struct Case {
    const char *what;
    void (*configure)(HostConfig *);
    const char *dialog;  // the answering module from the menu; else a repeat
    enum { kNone, kOurs, kForeign, kShort } block;
    int16_t result;
    int32_t advanceCalls, progressCalls;
    bool message;
  } cases[] = {
      {"abort answered after the second tile's pixels arrived",
       [](HostConfig *c) { c->abortAt = 2; }, nullptr, Case::kOurs, 1, 2, 1,
       false},
      {"advanceState failing on the third tile",
       [](HostConfig *c) {
         c->advanceFailAt = 3;
         c->advanceFailCode = -4242;
       },
       nullptr, Case::kOurs, -4242, 3, 2, false},
      {"no advanceState: the host must learn that nothing ran",
       [](HostConfig *c) { c->noAdvanceState = true; }, nullptr, Case::kOurs,
       16996, 0, 0, true},
      {"a repeat on an image the parameters checks refuse",
       [](HostConfig *c) { c->imageMode = kModeCMYK; }, nullptr, Case::kOurs,
       1303, 0, 0, true},
      {"the host delivering a column less than the third tile needs",
       [](HostConfig *c) { c->shortInputAt = 3; }, nullptr, Case::kOurs, 1210,
       3, 2, true},
      {"no parameters handle: the last-used settings run",
       [](HostConfig *c) { c->nullParameters = true; }, nullptr, Case::kNone, 0,
       4, 4, false},
      {"a block that cannot be locked",
       [](HostConfig *c) { c->lockFailAt = 1; }, nullptr, Case::kOurs, -114, 0,
       0, false},
      {"a block of another plug-in", [](HostConfig *) {}, nullptr,
       Case::kForeign, 2010, 0, 0, true},
      {"a block of another plug-in at the parameters selector of '8BIM'",
       [](HostConfig *) {}, "", Case::kForeign, 2010, 0, 0, true},
      {"the same in any other host, which gets 1",
       [](HostConfig *c) { c->hostSig = kHostSigMFI1; }, "", Case::kForeign, 1,
       0, 0, true},
      {"no memory for the engine", [](HostConfig *c) { c->newFailAt = 1; },
       nullptr, Case::kOurs, -108, 0, 0, false},
      {"engine memory that cannot be locked",
       [](HostConfig *c) { c->lockFailAt = 2; }, nullptr, Case::kOurs, -114, 0,
       0, false},
      {"the dialog cancelled", [](HostConfig *) {}, "cancel", Case::kOurs, 1, 0,
       0, false},
      {"the dialog failing", [](HostConfig *) {}, "fail 1200", Case::kOurs,
       1200, 0, 0, true},
      {"a short block repeated", [](HostConfig *) {}, nullptr, Case::kShort,
       2010, 0, 0, true},
      {"a short block repeated in the imitated host", ImitatedHost, nullptr,
       Case::kShort, 2010, 0, 0, true},
      {"a whole block repeated in a host that cannot tell its size",
       [](HostConfig *c) { c->sizesUnknown = true; }, nullptr, Case::kOurs,
       2010, 0, 0, true},
      {"from the menu in that host: the module's own block is trusted",
       [](HostConfig *c) { c->sizesUnknown = true; }, "", Case::kNone, 0, 4, 4,
       false},
      {"GIMP's bridge from the menu on a CMYK image: refused at start",
       [](HostConfig *c) {
         ImitateGimpBridge(c);
         c->imageMode = kModeCMYK;
       },
       "", Case::kNone, 1303, 0, 0, true},
      {"a short block from the menu", [](HostConfig *) {}, "", Case::kShort, 0,
       4, 4, false},
      {"a short block from the menu in the imitated host", ImitatedHost, "",
       Case::kShort, 0, 4, 4, false},
  };
  const HostImage image = MakeTestPattern(300, 260, 3, 8);  // four tiles
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    HostConfig config;
    c.configure(&config);
    HostSession s;
    ASSERT_TRUE(StartSession(&s, c.dialog ? AnsweringModule() : ProductModule(),
                             config, image));
    std::vector<uint8_t> block = BlockBytes(kDefaults);
    if (c.block == Case::kForeign) std::memcpy(block.data(), "XFIL", 4);
    if (c.block == Case::kShort) block.resize(28);
    std::string error;
    if (c.block != Case::kNone) {
      ASSERT_TRUE(LoadParameterBlock(&s, block, &error));
    }
    const AnsweringDialog answer(c.dialog ? c.dialog : "");
    ASSERT_TRUE(BeginDialogCapture(::DialogAnswer::kOk));
    EXPECT_EQ(RunInvocation(&s, c.dialog ? InvocationKind::kFromMenu
                                         : InvocationKind::kRepeat),
              c.result);
    EndDialogCapture();
    const std::vector<CapturedDialog> boxes = TakeCapturedDialogs();
    ASSERT_EQ(boxes.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(boxes[0].caption, "Tavorin");
      EXPECT_FALSE(boxes[0].text.empty());
    }
    const InvocationRecord &run = s.invocations.back();
    EXPECT_EQ(run.advanceCalls, c.advanceCalls);
    EXPECT_EQ(int32_t(run.progress.size()), c.progressCalls);
    EXPECT_TRUE(RectEmpty(s.record->inRect) && RectEmpty(s.record->outRect));
    if (c.block == Case::kShort && c.result == 0 &&
        config.hostSig == kHostSig8BIM) {
      // The replacement is a whole block of ours, the dialog's OK in it.
      std::vector<uint8_t> held;
      ASSERT_TRUE(ReadParameterBlock(&s, &held, &error)) << error;
      EXPECT_EQ(held.size(), sizeof(ParamBlock));
      EXPECT_EQ(HeldBlock(&s).signature, kBlockSignature);
      EXPECT_EQ(HeldBlock(&s).params.showDialog, 0);
    }
    EndSession(&s);
    for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
  }
  RemoveSettingsTree(SettingsFolder());
}

// An '8BIM' host keeps the block between invocations (other hosts start
// disposed of it: the handle suite tests).
TEST(Run, RepeatRunsWithTheBlockTheHostKept) {
  const HostImage image = MakeTestPattern(70, 50, 3, 8);
  const ReferenceSettings chosen = {25, 50, 50, {0, 0, 0, 0, 0, 0}};
  RemoveSettingsTree(SettingsFolder());  // a new block holds the defaults
  HostSession s;
  ASSERT_TRUE(StartSession(&s, AnsweringModule(), HostConfig(), image));
  std::string error;
  ASSERT_TRUE(LoadParameterBlock(&s, BlockBytes(kDefaults, 1), &error));
  {
    // Cancel keeps the block as it was, asking for the dialog.
    const AnsweringDialog cancel("cancel");
    EXPECT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), 1);
  }
  EXPECT_EQ(HeldBlock(&s).params.showDialog, 1);
  EXPECT_EQ(HeldBlock(&s).params.radius, 10);
  {
    const AnsweringDialog ok("radius 25");
    ASSERT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), 0);
  }
  HostImage once = image;
  once.samples = Reference(image, WholeImage(image), chosen);
  EXPECT_TRUE(s.document.samples == once.samples);
  EXPECT_EQ(HeldBlock(&s).params.showDialog, 0);
  EXPECT_EQ(HeldBlock(&s).params.radius, 25);
  // The repeat finds showDialog 0: no dialog, the same settings.
  const AnsweringDialog cancel("cancel");
  ASSERT_EQ(RunInvocation(&s, InvocationKind::kRepeat), 0);
  EXPECT_TRUE(s.document.samples == Reference(once, WholeImage(image), chosen));
  EndSession(&s);
  EXPECT_TRUE(SessionFailures(s).empty());
}

}  // namespace
