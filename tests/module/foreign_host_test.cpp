// Hosts unlike Photoshop, as people meet them: our host imitating an
// open-source host engine (another signature, no edge padding, requests
// clipped at the image's edges with the rectangle rewritten, rows that
// shear or shift where a request reaches past the top or left) must get
// the engine's whole-image result bit for bit, in the run and in the
// preview; parameter blocks too short for the record are replaced, never
// read or written past their end; the settings file keeps our header.
#include <gtest/gtest.h>

#include "tests/module/run_support.h"

namespace {

constexpr OSType kOpenHost = FourCC('s', 'p', 'H', 'O');

HostConfig ImitatedHost(int32_t rowPad = 0) {
  HostConfig config;
  config.hostSig = kOpenHost;
  config.requests = RequestBehaviour::kClipLikeOpenHost;
  config.rowPad = rowPad;
  return config;
}

bool Inside(const Rect &r, const HostImage &image) {
  return r.top >= 0 && r.left >= 0 && r.bottom <= image.height &&
         r.right <= image.width;
}

// Every tile that touches an image edge is where such a host used to
// shift, shear or clip the input: a wrong replication shows there.
TEST(ForeignHost, RunsMatchTheEngineAtEveryEdge) {
  const struct {
    const char *what;
    int32_t width, height, planes, depth;
    Rect area;  // empty: the whole image
    const ReferenceSettings *settings;
    int32_t rowPad;
  } cases[] = {
      {"8 bits, tiles cut at the right and the bottom", 300, 270, 3, 8, Rect{},
       &kOdd, 0},
      {"16 bits, odd row bytes, a fourth plane, radius 100.0", 280, 260, 4, 16,
       Rect{}, &kStrongest, 3},
      {"a selection touching the top and left edges", 300, 270, 3, 16,
       Rect{0, 0, 200, 150}, &kOdd, 1},
      {"a selection touching the bottom and right edges", 300, 270, 3, 8,
       Rect{70, 60, 270, 300}, &kStrongest, 0},
      {"a column along the right edge", 300, 270, 3, 8, Rect{0, 299, 270, 300},
       &kOdd, 5},
      {"an image narrower than the margin", 5, 3, 3, 16, Rect{}, &kStrongest,
       1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    const HostImage image =
        MakeTestPattern(c.width, c.height, c.planes, c.depth);
    HostConfig config = ImitatedHost(c.rowPad);
    config.hasFilterRect = c.area.bottom != 0;
    config.filterRect = c.area;
    const Rect area = config.hasFilterRect ? c.area : WholeImage(image);
    HostSession s;
    ASSERT_TRUE(StartSession(&s, ProductModule(), config, image));
    std::string error;
    ASSERT_TRUE(LoadParameterBlock(&s, BlockBytes(*c.settings), &error));
    ASSERT_EQ(RunInvocation(&s, InvocationKind::kRepeat), 0);
    EXPECT_TRUE(ColourSamples(s.document.samples, c.planes) ==
                ColourSamples(Reference(image, area, *c.settings), c.planes));
    const InvocationRecord &run = s.invocations.back();
    ASSERT_FALSE(run.progress.empty());
    EXPECT_EQ(run.progress.back().done, run.progress.back().total);
    for (const AdvanceCall &a : s.tiles.log)
      EXPECT_TRUE(Inside(a.inRect, image)) << RectText(a.inRect);
    EndSession(&s);
    for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
  }
}

// A block of 28 bytes that starts like ours: an older module's, or a
// host's own. Reading or writing the record in it would overrun the
// host's memory, which its guard bytes report.
TEST(ForeignHost, ShortBlocksAreReplacedNeverOverrun) {
  const struct {
    const char *what;
    OSType sig;
    InvocationKind kind;
    int16_t result;
  } cases[] = {
      {"from the menu in the imitated host", kOpenHost,
       InvocationKind::kFromMenu, 0},
      {"from the menu in an '8BIM' host", kHostSig8BIM,
       InvocationKind::kFromMenu, 0},
      {"a repeat in the imitated host", kOpenHost, InvocationKind::kRepeat,
       2010},
      {"a repeat in an '8BIM' host", kHostSig8BIM, InvocationKind::kRepeat,
       2010},
  };
  const HostImage image = MakeTestPattern(40, 30, 3, 8);
  std::vector<uint8_t> shortBlock = BlockBytes(kOdd);
  shortBlock.resize(28);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    RemoveSettingsTree(SettingsFolder());  // a new block holds the defaults
    HostConfig config = ImitatedHost();
    if (c.sig == kHostSig8BIM) config = HostConfig();
    HostSession s;
    ASSERT_TRUE(StartSession(&s, AnsweringModule(), config, image));
    std::string error;
    ASSERT_TRUE(LoadParameterBlock(&s, shortBlock, &error));
    const AnsweringDialog ok("");
    EXPECT_EQ(RunInvocation(&s, c.kind), c.result);
    if (c.result == 0) {
      EXPECT_TRUE(s.document.samples ==
                  Reference(image, WholeImage(image), ReferenceSettings()));
    } else {
      EXPECT_TRUE(s.document.samples == image.samples);
      EXPECT_TRUE(s.invocations.back().progress.empty());
    }
    if (c.sig == kHostSig8BIM && c.result == 0) {
      // The replacement is a whole block of ours, the dialog's OK in it.
      std::vector<uint8_t> held;
      ASSERT_TRUE(ReadParameterBlock(&s, &held, &error)) << error;
      ASSERT_EQ(held.size(), sizeof(ParamBlock));
      EXPECT_EQ(HeldBlock(&s).signature, kBlockSignature);
      EXPECT_EQ(HeldBlock(&s).params.showDialog, 0);
    }
    EndSession(&s);
    for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
  }
  RemoveSettingsTree(SettingsFolder());
}

// A block with our signature but another kind and version runs (only the
// signature is tested); the file it leaves must still be one the next
// session accepts.
TEST(ForeignHost, TheSettingsFileGetsOurHeaderWhateverTheBlockSaid) {
  RemoveSettingsTree(SettingsFolder());
  const HostImage image = MakeTestPattern(20, 20, 3, 8);
  std::vector<uint8_t> odd = BlockBytes(ReferenceSettings(), 1);
  ParamBlock *header = reinterpret_cast<ParamBlock *>(odd.data());
  header->kind = FourCC('O', 'o', 'p', 's');
  header->version = 3;
  header->creator = FourCC('n', 'o', 'n', 'e');
  {
    HostSession s;
    ASSERT_TRUE(StartSession(&s, AnsweringModule(), HostConfig(), image));
    std::string error;
    ASSERT_TRUE(LoadParameterBlock(&s, odd, &error));
    const AnsweringDialog ok("radius 25");
    ASSERT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), 0);
    EndSession(&s);
  }
  const std::vector<uint8_t> file = ReadBytes(SettingsFilePath());
  ASSERT_EQ(file.size(), sizeof(ParamBlock));
  EXPECT_EQ(BigEndianAt(file, 0), kBlockSignature);
  EXPECT_EQ(BigEndianAt(file, 4), FourCC('P', 'r', 'm', 's'));
  EXPECT_EQ(BigEndianAt(file, 8), 4u);
  EXPECT_EQ(BigEndianAt(file, 12), FourCC('l', 'm', 'q', ' '));
  // The next session's new block starts from it.
  HostSession next;
  ASSERT_TRUE(StartSession(&next, AnsweringModule(), HostConfig(), image));
  const AnsweringDialog cancel("cancel");
  EXPECT_EQ(RunInvocation(&next, InvocationKind::kFromMenu), 1);
  EXPECT_EQ(HeldBlock(&next).params.radius, 25);
  EndSession(&next);
  RemoveSettingsTree(SettingsFolder());
}

}  // namespace
