// The preview as it appears on screen: read back from pictures of the
// dialog, its pixels are the engine's output (or the document with the
// preview off) at every depth and plane count; zoom steps, labels and
// panning clamp as a person sees them; the pointer and the release beep.
#include <gtest/gtest.h>

#include <string>

#include "host/report.h"
#include "tests/module/dialog_support.h"

// The 64-bit program only: the emulated 32-bit one opens the dialog once
// (dialog_locale_test.cpp), and a skipped test would end it there.
#ifdef _WIN64

namespace {

class DialogPreview : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(ProductModule().entry, nullptr); }
};

// Where the image's top-left pixel lies in the preview's client area at a
// view that is not panned: centred in the window's outer rectangle.
int32_t CentredOffset(int32_t client, int32_t image) {
  return -1 + ((client + 2 - image) >> 1);
}

// Counts the pixels of the shot's preview that differ from want(x, y),
// which gives the expected RGB of preview client pixel (x, y) or false
// for pixels to skip. Reports the first few.
template <typename Want>
int32_t Mismatches(const ScriptShot &shot, Want want) {
  int32_t wrong = 0;
  for (int32_t y = 0; y < shot.previewHeight; ++y)
    for (int32_t x = 0; x < shot.previewWidth; ++x) {
      uint16_t expected[3];
      if (!want(x, y, expected)) continue;
      for (int p = 0; p < 3; ++p) {
        const uint16_t shown =
            SampleAt(shot.image, shot.previewLeft + x, shot.previewTop + y, p);
        if (shown != expected[p] && ++wrong <= 3)
          ADD_FAILURE() << "preview pixel " << x << "," << y << " plane " << p
                        << " shows " << shown << ", want " << expected[p];
      }
    }
  return wrong;
}

uint16_t To8(const HostImage &image, int32_t x, int32_t y, int p) {
  const uint16_t v = SampleAt(image, x, y, p);
  return image.depth == 16 ? uint16_t((v * 511) >> 16) : v;
}

TEST_F(DialogPreview, ShowsTheEngineOutputAtFullSizeOnGrey) {
  const struct {
    const char *what;
    int32_t planes, depth;
    bool previewOn;
  } cases[] = {
      {"8 bits, sharpened", 3, 8, true},
      {"16 bits, 4 planes, sharpened", 4, 16, true},
      {"8 bits, preview off", 3, 8, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    const HostImage document = MakeTestPattern(210, 150, c.planes, c.depth);
    DialogHost host(document);
    host.GiveBlock(Values({32, 80, 70, 40, -30, 0, 60, -50, 20}));
    ScriptedRun run = host.Run(
        InvocationKind::kFromMenu,
        std::string(c.previewOn ? "" : "click 6\n") + "show\nshot\nok\n");
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    ASSERT_EQ(run.result, 0);
    ASSERT_EQ(run.script.shots.size(), 1u);
    EXPECT_EQ(run.script.views[0].Find(6)->check,
              c.previewOn ? BST_CHECKED : BST_UNCHECKED);
    // OK filtered the document with the same values: the preview showed
    // exactly that result (or, off, the document as it was).
    const HostImage &reference = c.previewOn ? host.session.document : document;
    const ScriptShot &shot = run.script.shots[0];
    const int32_t left = CentredOffset(shot.previewWidth, document.width);
    const int32_t top = CentredOffset(shot.previewHeight, document.height);
    EXPECT_EQ(Mismatches(shot,
                         [&](int32_t x, int32_t y, uint16_t *rgb) {
                           const int32_t ix = x - left, iy = y - top;
                           const bool inside = ix >= 0 && iy >= 0 &&
                                               ix < document.width &&
                                               iy < document.height;
                           for (int p = 0; p < 3; ++p)
                             rgb[p] = inside ? To8(reference, ix, iy, p) : 128;
                           return true;
                         }),
              0);
  }
}

TEST_F(DialogPreview, ZoomStepsLabelsAndClampedPanning) {
  const HostImage document = MakeTestPattern(2400, 1700, 3, 8);
  DialogHost host(document);
  host.GiveBlock(DefaultValues());
  // Drags stay on the screen: several of them to reach the corners.
  std::string toTopLeft, toBottomRight;
  for (int i = 0; i < 5; ++i) toTopLeft += "pan 500 400\n";
  for (int i = 0; i < 10; ++i) toBottomRight += "pan -500 -400\n";
  std::string script =
      "click 6\n"           // the document, to compare with
      "show\n"              // 0: fit
      "zoom out\nshow\n"    // 1: nothing further out
      "zoom label\nshow\n"  // 2: 100%
      + toTopLeft + "shot\n" + toBottomRight + "shot\n" +
      "zoom label\nshow\n";  // 3: back to fit
  for (int i = 0; i < 30; ++i) script += "zoom in\n";
  script += "show\nzoom out\nshow\ncancel\n";  // 4: 1600%, 5: 1500%
  ScriptedRun run = host.Run(InvocationKind::kFromMenu, script);
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.script.views.size(), 6u);

  const ControlView *preview = run.script.views[0].Find(5);
  ASSERT_NE(preview, nullptr);
  // The smallest reduction at which the whole image fits the window.
  const int32_t fit = std::max((1700 + preview->height - 1) / preview->height,
                               (2400 + preview->width - 1) / preview->width);
  const std::string fitLabel = std::to_string((fit / 2 + 100) / fit) + "%";
  EXPECT_EQ(run.script.views[0].Text(9), fitLabel);
  EXPECT_EQ(run.script.views[1].Text(9), fitLabel);
  EXPECT_EQ(run.script.views[2].Text(9), "100%");
  EXPECT_EQ(run.script.views[3].Text(9), fitLabel);
  EXPECT_EQ(run.script.views[4].Text(9), "1600%");
  EXPECT_EQ(run.script.views[5].Text(9), "1500%");

  // Dragged as far as it goes, the image stops at the window's outer
  // edge (the border hides its outermost pixel), with no grey gap.
  ASSERT_EQ(run.script.shots.size(), 2u);
  const ScriptShot &topLeft = run.script.shots[0];
  const ScriptShot &bottomRight = run.script.shots[1];
  const int32_t w = topLeft.previewWidth, h = topLeft.previewHeight;
  EXPECT_EQ(Mismatches(topLeft,
                       [&](int32_t x, int32_t y, uint16_t *rgb) {
                         for (int p = 0; p < 3; ++p)
                           rgb[p] = SampleAt(document, x + 1, y + 1, p);
                         return true;
                       }),
            0);
  EXPECT_EQ(Mismatches(bottomRight,
                       [&](int32_t x, int32_t y, uint16_t *rgb) {
                         for (int p = 0; p < 3; ++p)
                           rgb[p] = SampleAt(document, 2400 - 1 - w + x,
                                             1700 - 1 - h + y, p);
                         return true;
                       }),
            0);
}

// A host that cannot pad gets only requests inside the (sampled) image;
// the preview must still show what a replicating host's shows, pixel for
// pixel: at a reduction, at 100 % in two corners, and magnified.
TEST_F(DialogPreview, AHostWithoutPaddingShowsWhatAPaddingHostShows) {
  const HostImage document = MakeTestPattern(700, 520, 3, 16);
  const FilterParams values = Values({64, 80, 70, 40, -30, 0, 60, -50, 20});
  std::string corners;
  for (int i = 0; i < 3; ++i) corners += "pan 500 400\n";
  corners += "shot\n";
  for (int i = 0; i < 6; ++i) corners += "pan -500 -400\n";
  corners += "shot\n";
  const std::string script = "show\nshot\nzoom label\n" + corners +
                             "zoom in\nzoom in\nshow\nshot\nok\n";
  std::vector<ScriptShot> shots[2];
  for (int imitated = 0; imitated < 2; ++imitated) {
    HostConfig config;
    config.hostSig = FourCC('s', 'p', 'H', 'O');
    config.rowPad = 1;  // odd row bytes at 16 bits
    if (imitated) config.requests = RequestBehaviour::kClipLikeOpenHost;
    DialogHost host(document, config);
    host.GiveBlock(values);
    ScriptedRun run = host.Run(InvocationKind::kFromMenu, script);
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    ASSERT_EQ(run.result, 0);
    ASSERT_EQ(run.script.shots.size(), 4u);
    shots[imitated] = run.script.shots;
    if (imitated) {
      for (const AdvanceCall &a : host.session.tiles.log)
        EXPECT_TRUE(a.inRect.top >= 0 && a.inRect.left >= 0)
            << RectText(a.inRect);
    }
  }
  for (size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE("shot " + std::to_string(k));
    const ScriptShot &want = shots[0][k];
    EXPECT_EQ(Mismatches(shots[1][k],
                         [&](int32_t x, int32_t y, uint16_t *rgb) {
                           for (int p = 0; p < 3; ++p)
                             rgb[p] = SampleAt(want.image, want.previewLeft + x,
                                               want.previewTop + y, p);
                           return true;
                         }),
              0);
  }
}

TEST_F(DialogPreview, ThePointerAndTheReleaseBeep) {
  DialogHost host(MakeTestPattern(100, 60, 3, 8));
  host.GiveBlock(DefaultValues());
  // The image lies centred; (2, 2) is grey.
  ScriptedRun run = host.Run(InvocationKind::kFromMenu,
                             "show\n"
                             "hover 2 2\nshow\n"
                             "release 2 2\n"
                             "cancel\n");
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  const ControlView *preview = run.script.views[0].Find(5);
  ASSERT_NE(preview, nullptr);
  const std::string centre = "hover " + std::to_string(preview->width / 2) +
                             " " + std::to_string(preview->height / 2) + "\n";
  ScriptedRun onImage =
      host.Run(InvocationKind::kFromMenu,
               centre + "show\n" + "release " + centre.substr(6) + "cancel\n");
  ASSERT_TRUE(onImage.failures.empty()) << onImage.failures[0];
  EXPECT_EQ(run.script.views[1].cursor, "arrow");
  EXPECT_EQ(onImage.script.views[0].cursor, "hand");
  EXPECT_EQ(Events(run), (std::vector<std::string>{"beep 880 100"}));
  EXPECT_TRUE(Events(onImage).empty());
}

}  // namespace

#endif  // _WIN64
