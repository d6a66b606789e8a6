// The preview's view: fit, zoom steps and labels, the point under the
// centre and the zoom glyphs. (Panning and the grey around the image are
// checked on the screen, in tests/module/dialog_test.cpp.)
#include <gtest/gtest.h>

#include <vector>

#include "dialog/preview_view.h"
#include "params/params.h"

namespace {

// A view of 400 by 300 client pixels, with the 1-pixel border around.
const WindowRect kView{-1, -1, 401, 301};

struct ViewFixture : ::testing::Test {
  std::vector<uint64_t> storage = std::vector<uint64_t>(512, 0);
  FilterRecord *record = reinterpret_cast<FilterRecord *>(storage.data());

  void Open(int16_t width, int16_t height, const WindowRect &view = kView) {
    ResetCurrentParams();
    record->imageSize.h = width;
    record->imageSize.v = height;
    record->planes = 4;
    record->hostSig = kHostSig8BIM;
    SetupPreviewView(record, view);
  }
};

TEST_F(ViewFixture, ScaledSizesAndFitReduction) {
  const struct {
    int16_t w, h;
    OSType sig;
    int32_t d, m, width, height;
  } sizes[] = {
      {9, 9, kHostSig8BIM, 3, 1, 4, 4},  // Photoshop counts the part sample
      {9, 9, kHostSigMFI1, 3, 1, 3, 3},
      {10, 7, kHostSigMFI1, 3, 1, 4, 3},
      {10, 7, kHostSig8BIM, 1, 4, 40, 28},
      // Samples at 0, 3, 6, 9 and 0, 3, 6: the last lies on the edge.
      {10, 7, kHostSig8BIM, 3, 1, 4, 3},
  };
  for (const auto &c : sizes) {
    record->imageSize.h = c.w;
    record->imageSize.v = c.h;
    record->hostSig = c.sig;
    int32_t w = 0, h = 0;
    ScaledImageSize(record, c.d, c.m, &w, &h);
    EXPECT_EQ(w * 1000 + h, c.width * 1000 + c.height)
        << c.w << "x" << c.h << " d" << c.d << " m" << c.m;
  }
  const struct {
    int16_t w, h;
    int32_t fit;
  } fits[] = {
      {3000, 1000, 8},  // max(ceil(1000/302), ceil(3000/402))
      {402, 302, 1},    // exactly the view
      {403, 10, 2},    {10, 605, 3},
      {0, 0, 1},  // nothing to show still divides by at least 1
  };
  for (const auto &c : fits) {
    record->imageSize.h = c.w;
    record->imageSize.v = c.h;
    EXPECT_EQ(FitReduction(record, kView), c.fit) << c.w << "x" << c.h;
  }
}

TEST_F(ViewFixture, OpensAtFitCentredWithTheRecordPrepared) {
  record->haveMask = 1;
  Open(3000, 1000);
  EXPECT_EQ(ZoomPercent(), 13);
  // What the host is asked for: every eighth pixel of all four planes,
  // its edges replicated.
  EXPECT_EQ((std::vector<int32_t>{record->inputRate, record->maskRate,
                                  record->inHiPlane, record->outHiPlane,
                                  record->inputPadding, record->outputPadding,
                                  record->maskPadding}),
            (std::vector<int32_t>{8 * 65536, 8 * 65536, 3, 3, -1, -1, -1}));
  // Photoshop's rounding: (2999 + 7) / 8 + 1 columns, (999 + 7) / 8 + 1
  // rows, centred in the 402 by 302 window.
  const WindowRect &image = previewState.imageRect;
  EXPECT_EQ((std::vector<int32_t>{image.left, image.top, RectWidth(image),
                                  RectHeight(image)}),
            (std::vector<int32_t>{-1 + 13, -1 + 88, 376, 126}));

  // That rounding can make the fitted image a column wider than the
  // view: the negative difference halves downwards.
  Open(100, 10, WindowRect{0, 0, 50, 50});
  EXPECT_EQ(previewState.reduction, 2);
  EXPECT_EQ(RectWidth(previewState.imageRect), 51);
  EXPECT_EQ(previewState.imageRect.left, -1);

  // A small image: 281 spare columns, 140 on the left; 221 spare rows, 110
  // above. It can neither shrink nor move.
  Open(121, 81);
  EXPECT_EQ(ZoomPercent(), 100);
  const WindowRect small = previewState.imageRect;
  EXPECT_EQ(small.left, -1 + 140);
  EXPECT_EQ(small.top, -1 + 110);
  EXPECT_FALSE(ZoomPreview(record, kZoomOut));
  EXPECT_FALSE(PanImage(50, -30));
  EXPECT_TRUE(EqualWindowRects(previewState.imageRect, small));
}

TEST_F(ViewFixture, ZoomStepsOutToFitAndBackWithTheirLabels) {
  Open(3000, 1000);
  ASSERT_TRUE(ZoomPreview(record, kZoomActual));
  for (int i = 0; i < 15; ++i) ASSERT_TRUE(ZoomPreview(record, kZoomIn));
  EXPECT_EQ(ZoomPercent(), 1600);
  EXPECT_FALSE(ZoomPreview(record, kZoomIn));

  std::vector<int32_t> out;
  while (ZoomPreview(record, kZoomOut)) out.push_back(ZoomPercent());
  const std::vector<int32_t> expected = {
      1500, 1400, 1300, 1200, 1100, 1000, 900, 800, 700, 600, 500,
      400,  300,  200,  100,  50,   33,   25,  20,  17,  14,  13};
  EXPECT_EQ(out, expected);
  EXPECT_EQ(record->inputRate, 8 * 65536);
  EXPECT_FALSE(ZoomPreview(record, kZoomFit));  // already at fit

  ASSERT_TRUE(ZoomPreview(record, kZoomIn));
  EXPECT_EQ(ZoomPercent(), 14);
  EXPECT_EQ(record->inputRate, 7 * 65536);
  EXPECT_TRUE(ZoomPreview(record, kZoomFit));
  EXPECT_EQ(ZoomPercent(), 13);
}

TEST_F(ViewFixture, ZoomKeepsTheCentrePointUnlessAnEdgeWouldOpen) {
  // At 1500 % with the image's corner 3 and 5 pixels out of view, the
  // centre (200, 150) lies 203 and 155 screen pixels in: 216.53 and 165.33
  // sixteenths, rounded to 217 and 165. At 1600 % those points are 217 and
  // 165 screen pixels in.
  Open(3000, 1000);
  ASSERT_TRUE(ZoomPreview(record, kZoomActual));
  while (previewState.magnification < 15)
    ASSERT_TRUE(ZoomPreview(record, kZoomIn));
  const WindowRect &image = previewState.imageRect;
  ASSERT_TRUE(PanImage(-3 - image.left, -5 - image.top));
  ASSERT_TRUE(ZoomPreview(record, kZoomIn));
  EXPECT_EQ(image.left, 200 - 217);
  EXPECT_EQ(image.top, 150 - 165);
  // Out again: back to within a pixel of where it was.
  ASSERT_TRUE(ZoomPreview(record, kZoomOut));
  EXPECT_NEAR(image.left, -3, 1);
  EXPECT_NEAR(image.top, -5, 1);

  // At the left edge, zooming out keeps the image against the edge rather
  // than centring the point and opening a grey gap.
  ASSERT_TRUE(ZoomPreview(record, kZoomActual));
  PanImage(100000, 0);
  EXPECT_EQ(image.left, kView.left);
  ASSERT_TRUE(ZoomPreview(record, kZoomOut));
  EXPECT_EQ(image.left, kView.left);
}

// The wheel zooms about the pointer: the image pixel under it stays.
TEST_F(ViewFixture, WheelZoomKeepsThePointUnderThePointer) {
  Open(3000, 1000);
  ASSERT_TRUE(ZoomPreview(record, kZoomActual));
  const WindowRect &image = previewState.imageRect;
  const int32_t x = 50, y = 60, px = x - image.left, py = y - image.top;
  ASSERT_TRUE(ZoomPreviewAt(record, kZoomIn, x, y));
  EXPECT_EQ((x - image.left) / 2, px);
  EXPECT_EQ((y - image.top) / 2, py);
  ASSERT_TRUE(ZoomPreviewAt(record, kZoomOut, x, y));
  EXPECT_EQ(x - image.left, px);
  EXPECT_EQ(y - image.top, py);
}

// The plus is the minus with a bar across it: the two bars cross at their
// middles on a square button of any size and place, so neither sign
// looks lopsided, at 96 DPI (weight 1) and at 144 and 192 (weight 2).
TEST(ZoomGlyph, ThePlusIsTheMinusCrossedAtItsMiddle) {
  const struct {
    WindowRect b;
    int32_t weight;
  } cases[] = {{{0, 0, 14, 14}, 1},
               {{30, 8, 44, 22}, 1},
               {{0, 0, 21, 21}, 2},  // 144 DPI
               {{0, 0, 28, 28}, 2}};
  for (const auto &c : cases) {
    const WindowRect &b = c.b;
    WindowRect minus[2], plus[2];
    ASSERT_EQ(ZoomGlyphBars(b, false, c.weight, minus), 1);
    ASSERT_EQ(ZoomGlyphBars(b, true, c.weight, plus), 2);
    EXPECT_TRUE(EqualWindowRects(minus[0], plus[0]));
    const WindowRect &h = plus[0], &v = plus[1];
    EXPECT_EQ(RectHeight(h), c.weight);
    EXPECT_EQ(RectWidth(v), c.weight);
    EXPECT_EQ(RectWidth(h), RectWidth(b) / 2) << "7 of 14 pixels long";
    EXPECT_EQ(RectHeight(v), RectWidth(h));
    EXPECT_EQ(v.left - b.left, h.top - b.top) << "crossing off the diagonal";
    EXPECT_EQ(v.left - h.left, h.right - v.right) << "off the bar's middle";
    EXPECT_EQ(h.top - v.top, v.bottom - h.bottom) << "off the bar's middle";
  }
}

}  // namespace
