// The host session driven against a module compiled into this test: the
// order of selectors and what survives between invocations, the record a
// module is given, both request protocols end to end, and what the host
// does on abort, on failure and with its quirks switched on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/session.h"

namespace {

enum class Protocol { kAdvanceState, kClassic };

// What the module in this test does, and what it saw.
struct FakeModule {
  Protocol protocol = Protocol::kAdvanceState;
  int tile = 8;
  int margin = 1;
  bool writeLeftHalfOnly = false;
  bool suspendWatch = false;
  int16_t continueResult = 0;
  std::vector<int16_t> selectors;
  std::vector<Handle> parametersSeen;
  std::vector<int32_t> blockCounts; // the block's counter at each start
  FilterRecord atParameters{};
  TestAbortProc abortProc = nullptr;
};
FakeModule g_fake;

bool SuiteUsable(const FilterRecord *r) {
  const HandleProcs *h = r->handleProcs;
  return h && h->handleProcsVersion == 1 && h->numHandleProcs >= 6 &&
         h->getSizeProc;
}

bool NextTile(FilterRecord *r) {
  const Rect f = r->filterRect;
  Rect &o = r->outRect;
  const int t = g_fake.tile;
  auto min16 = [](int a, int b) { return int16_t(a < b ? a : b); };
  if (o.top >= o.bottom || o.left >= o.right)
    o = {f.top, f.left, min16(f.top + t, f.bottom), min16(f.left + t, f.right)};
  else if (o.right < f.right)
    o = {o.top, o.right, o.bottom, min16(o.right + t, f.right)};
  else if (o.bottom < f.bottom)
    o = {o.bottom, f.left, min16(o.bottom + t, f.bottom),
         min16(f.left + t, f.right)};
  else
    return false;
  const int16_t m = int16_t(g_fake.margin);
  r->inRect = {int16_t(o.top - m), int16_t(o.left - m), int16_t(o.bottom + m),
               int16_t(o.right + m)};
  return true;
}

// Inverts the output tile from the input, which carries the margin.
void Invert(FilterRecord *r) {
  const int max = r->depth == 16 ? 32768 : 255;
  const int bps = r->depth == 16 ? 2 : 1;
  const int width = g_fake.writeLeftHalfOnly
                        ? (r->outRect.right - r->outRect.left) / 2
                        : r->outRect.right - r->outRect.left;
  for (int y = 0; y < r->outRect.bottom - r->outRect.top; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int p = 0; p < r->planes; ++p) {
        const uint8_t *in = static_cast<const uint8_t *>(r->inData) +
                            (y + g_fake.margin) * r->inRowBytes +
                            ((x + g_fake.margin) * r->planes + p) * bps;
        uint8_t *out = static_cast<uint8_t *>(r->outData) + y * r->outRowBytes +
                       (x * r->planes + p) * bps;
        uint16_t v = 0;
        std::memcpy(&v, in, size_t(bps));
        v = uint16_t(max - v);
        std::memcpy(out, &v, size_t(bps));
      }
    }
  }
}

int16_t Start(FilterRecord *r) {
  if (r->parameters && SuiteUsable(r)) {
    auto *count =
        reinterpret_cast<int32_t *>(r->handleProcs->lockProc(r->parameters, 0));
    g_fake.blockCounts.push_back(++*count);
    r->handleProcs->unlockProc(r->parameters);
  }
  if (g_fake.suspendWatch && r->propertyProcs)
    r->propertyProcs->setPropertyProc(r->hostSig, kPropertyWatchSuspension, 0,
                                      1, nullptr);
  g_fake.abortProc = r->abortProc;
  r->inLoPlane = r->outLoPlane = 0;
  r->inHiPlane = r->outHiPlane = int16_t(r->planes - 1);
  r->inputPadding = r->outputPadding = -1;
  if (g_fake.protocol == Protocol::kClassic) {
    NextTile(r);
    return 0;
  }
  while (NextTile(r)) {
    OSErr err = r->advanceState();
    if (err != 0)
      return err;
    if (r->abortProc())
      return 1;
    Invert(r);
    r->progressProc(1, 1);
  }
  r->inRect = r->outRect = Rect{0, 0, 0, 0};
  return 0;
}

void FakeEntry(int16_t selector, void *record, intptr_t *, int16_t *result) {
  auto *r = static_cast<FilterRecord *>(record);
  g_fake.selectors.push_back(selector);
  *result = 0;
  if (selector == kSelectorAbout)
    return;
  Handle parameters = r->parameters; // a packed field: copy, never bind
  g_fake.parametersSeen.push_back(parameters);
  switch (selector) {
  case kSelectorParameters:
    g_fake.atParameters = *r;
    if (!r->parameters && SuiteUsable(r)) {
      r->parameters = r->handleProcs->newProc(sizeof(int32_t));
      auto *count = reinterpret_cast<int32_t *>(
          r->handleProcs->lockProc(r->parameters, 0));
      *count = 0;
      r->handleProcs->unlockProc(r->parameters);
    }
    break;
  case kSelectorStart:
    *result = Start(r);
    break;
  case kSelectorContinue:
    Invert(r);
    if (g_fake.continueResult != 0) {
      *result = g_fake.continueResult;
    } else if (!NextTile(r)) {
      r->inRect = r->outRect = Rect{0, 0, 0, 0};
    }
    break;
  case kSelectorFinish:
    r->inRect = r->outRect = Rect{0, 0, 0, 0};
    break;
  default:
    break;
  }
}

class HostSessionTest : public ::testing::Test {
protected:
  void SetUp() override { g_fake = FakeModule(); }
  HostImage Pattern(int depth = 8) { return MakeTestPattern(20, 13, 3, depth); }
};

bool Inverted(const HostImage &before, const HostImage &after, int x, int y) {
  const int max = MaxSample(before.depth);
  for (int p = 0; p < before.planes; ++p)
    if (SampleAt(after, x, y, p) != max - SampleAt(before, x, y, p))
      return false;
  return true;
}

TEST_F(HostSessionTest, KeepsTheParametersHandleForARepeat) {
  HostSession s;
  HostImage image = Pattern();
  InitSession(&s, HostConfig(), FakeEntry, image);
  EXPECT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), 0);
  EXPECT_EQ(RunInvocation(&s, InvocationKind::kRepeat), 0);
  const std::vector<int16_t> order = {1, 2, 3, 5, 2, 3, 5};
  EXPECT_EQ(g_fake.selectors, order);
  ASSERT_EQ(g_fake.parametersSeen.size(), 7u);
  EXPECT_EQ(g_fake.parametersSeen[0], nullptr);
  for (size_t i = 1; i < 7; ++i)
    EXPECT_EQ(g_fake.parametersSeen[i], g_fake.parametersSeen[1]) << i;
  EXPECT_EQ(g_fake.blockCounts, (std::vector<int32_t>{1, 2}));
  // A repeat filters the filtered document: twice inverted is the original.
  EXPECT_EQ(s.document.samples, image.samples);
  EndSession(&s);
  EXPECT_TRUE(SessionFailures(s).empty());
  EXPECT_EQ(LiveHandleCount(s.handles), 0);
}

TEST_F(HostSessionTest, GivesTheModuleADescriptionOfTheDocument) {
  HostSession s;
  HostConfig config;
  config.hasFilterRect = true;
  config.filterRect = Rect{2, 3, 10, 17};
  config.hostSig = FourCC('s', 'p', 'H', 'O');
  config.hostWindow = 0x1234;
  InitSession(&s, config, FakeEntry, Pattern(16));
  RunInvocation(&s, InvocationKind::kFromMenu);
  const FilterRecord &r = g_fake.atParameters;
  EXPECT_EQ(r.imageSize.v, 13); // height first
  EXPECT_EQ(r.imageSize.h, 20);
  EXPECT_EQ(r.planes, 3);
  EXPECT_EQ(r.filterRect.top, 2);
  EXPECT_EQ(r.filterRect.right, 17);
  EXPECT_EQ(r.filterCase, 2); // a selection
  EXPECT_EQ(r.depth, 16);
  EXPECT_EQ(r.imageMode, kModeRGB48);
  EXPECT_EQ(r.hostSig, config.hostSig);
  EXPECT_EQ(static_cast<const PlatformData *>(r.platformData)->hwnd, 0x1234);
  EXPECT_EQ(r.supportsPadding, 1);
  EXPECT_EQ(r.inputRate, 0x10000);
  // Packed pointer fields are compared by value, not bound to references.
  EXPECT_TRUE(r.advanceState != nullptr);
  EXPECT_TRUE(r.displayPixels != nullptr);
  EXPECT_TRUE(r.propertyProcs != nullptr);
  // The record is handed over in a larger, zeroed allocation.
  EXPECT_GE(s.recordStorage.size() * 8, sizeof(FilterRecord) + 256);
}

TEST_F(HostSessionTest, OffersTheHandleSuiteBrokenAsAsked) {
  struct Case {
    HandleSuiteMode mode;
    bool present;
    int16_t version, count;
    bool getSize;
  };
  const Case cases[] = {
      {HandleSuiteMode::kOn, true, 1, 8, true},
      {HandleSuiteMode::kOff, false, 0, 0, false},
      {HandleSuiteMode::kVersion2, true, 2, 8, true},
      {HandleSuiteMode::kFiveProcs, true, 1, 5, true},
      {HandleSuiteMode::kNoGetSize, true, 1, 8, false},
  };
  for (const Case &c : cases) {
    SetUp();
    HostSession s;
    HostConfig config;
    config.handles = c.mode;
    InitSession(&s, config, FakeEntry, Pattern());
    RunInvocation(&s, InvocationKind::kFromMenu);
    const HandleProcs *h = g_fake.atParameters.handleProcs;
    ASSERT_EQ(h != nullptr, c.present);
    if (!h)
      continue;
    EXPECT_EQ(h->handleProcsVersion, c.version);
    EXPECT_EQ(h->numHandleProcs, c.count);
    EXPECT_EQ(h->getSizeProc != nullptr, c.getSize);
    EXPECT_NE(h->lockProc, nullptr);
  }
}

TEST_F(HostSessionTest, BothProtocolsFilterTheSelectionOnly) {
  for (Protocol protocol : {Protocol::kAdvanceState, Protocol::kClassic}) {
    SetUp();
    g_fake.protocol = protocol;
    HostSession s;
    HostConfig config;
    config.hasFilterRect = true;
    config.filterRect = Rect{1, 2, 12, 19}; // tiles cut at both edges
    HostImage image = Pattern();
    InitSession(&s, config, FakeEntry, image);
    ASSERT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), 0);
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        bool inside = y >= 1 && y < 12 && x >= 2 && x < 19;
        if (inside)
          EXPECT_TRUE(Inverted(image, s.document, x, y)) << x << "," << y;
        else
          EXPECT_EQ(SampleAt(s.document, x, y, 0), SampleAt(image, x, y, 0))
              << x << "," << y;
      }
    }
    const int tiles = 2 * 3; // 11 rows by 17 columns in 8 by 8 tiles
    if (protocol == Protocol::kClassic)
      EXPECT_EQ(s.invocations.back().continueCalls, tiles);
    else
      EXPECT_EQ(s.invocations.back().advanceCalls, tiles);
  }
}

TEST_F(HostSessionTest, StopsAsAHostDoesWhenARunFails) {
  struct Case {
    const char *what;
    Protocol protocol;
    int32_t abortAt, advanceFailAt;
    int16_t continueResult;
    int16_t expected;
    bool finishCalled;
  };
  const Case cases[] = {
      {"abort at the second poll", Protocol::kAdvanceState, 2, 0, 0, 1, false},
      {"advanceState fails", Protocol::kAdvanceState, 0, 3, 0, kErrNoMemory,
       false},
      {"continue fails", Protocol::kClassic, 0, 0, -77, -77, true},
  };
  for (const Case &c : cases) {
    SetUp();
    g_fake.protocol = c.protocol;
    g_fake.continueResult = c.continueResult;
    HostSession s;
    HostConfig config;
    config.abortAt = c.abortAt;
    config.advanceFailAt = c.advanceFailAt;
    HostImage image = Pattern();
    InitSession(&s, config, FakeEntry, image);
    EXPECT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), c.expected)
        << c.what;
    bool finished = g_fake.selectors.back() == kSelectorFinish;
    EXPECT_EQ(finished, c.finishCalled) << c.what;
    EXPECT_EQ(s.document.samples, image.samples)
        << c.what << ": a failed run leaves the document";
    EXPECT_FALSE(s.invocations.back().committed) << c.what;
  }
}

TEST_F(HostSessionTest, HostWithoutParametersHandleDisposesTheBlockItself) {
  HostSession s;
  HostConfig config;
  config.nullParameters = true;
  InitSession(&s, config, FakeEntry, Pattern());
  RunInvocation(&s, InvocationKind::kFromMenu);
  RunInvocation(&s, InvocationKind::kFromMenu);
  EXPECT_EQ(g_fake.parametersSeen[0], nullptr);
  EXPECT_EQ(g_fake.parametersSeen[4], nullptr) << "second run, parameters";
  EXPECT_EQ(g_fake.blockCounts, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(LiveHandleCount(s.handles), 0);
  EXPECT_TRUE(SessionFailures(s).empty());
}

TEST_F(HostSessionTest, UnwrittenOutputShowsWhereTheSourceIsNotCopied) {
  for (uint8_t flags1 : {uint8_t(0), uint8_t(1)}) {
    SetUp();
    g_fake.writeLeftHalfOnly = true;
    PiplInfo pipl;
    pipl.ficiCount = 1;
    pipl.fici[0] = FilterCaseInfo{1, 1, flags1, 0};
    HostSession s;
    HostImage image = Pattern();
    InitSession(&s, HostConfig(), FakeEntry, image);
    SetSessionPipl(&s, pipl);
    RunInvocation(&s, InvocationKind::kFromMenu);
    // Column 7 lies in the right half of the first tile, never written.
    int differing = 0;
    for (int y = 0; y < 8; ++y)
      differing += SampleAt(s.document, 7, y, 0) != SampleAt(image, 7, y, 0);
    if (flags1 & 1)
      EXPECT_GT(differing, 0) << "the destination was a copy of the source";
    else
      EXPECT_EQ(differing, 0) << "the destination was not a copy";
  }
}

TEST_F(HostSessionTest, ReportsCallbacksOutsideCallsAndALeftWatchCursor) {
  g_fake.suspendWatch = true;
  HostSession s;
  InitSession(&s, HostConfig(), FakeEntry, Pattern());
  RunInvocation(&s, InvocationKind::kFromMenu);
  ASSERT_NE(g_fake.abortProc, nullptr);
  g_fake.abortProc();
  std::vector<std::string> failures = SessionFailures(s);
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_NE(failures[0].find("watch cursor left suspended at level 1"),
            std::string::npos);
  EXPECT_NE(failures[1].find("abortProc called outside a selector call"),
            std::string::npos);
}

TEST_F(HostSessionTest, AStoredBlockReachesTheModuleOnARepeat) {
  HostSession s;
  InitSession(&s, HostConfig(), FakeEntry, Pattern());
  std::string error;
  const std::vector<uint8_t> block = {41, 0, 0, 0};
  ASSERT_TRUE(LoadParameterBlock(&s, block, &error)) << error;
  RunInvocation(&s, InvocationKind::kRepeat);
  EXPECT_EQ(g_fake.blockCounts, (std::vector<int32_t>{42}));
  std::vector<uint8_t> saved;
  ASSERT_TRUE(ReadParameterBlock(&s, &saved, &error)) << error;
  EXPECT_EQ(saved, (std::vector<uint8_t>{42, 0, 0, 0}));
  EndSession(&s);
  EXPECT_TRUE(SessionFailures(s).empty());
}

} // namespace
