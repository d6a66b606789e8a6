#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/dispatch.h"
#include "engine/engine.h"
#include "engine/reference.h"

namespace {

// Blurs a line whose buffer holds exactly the margin the reach needs on
// each side, so that any read beyond it leaves the allocation.
std::vector<uint16_t> Blur(const std::vector<uint16_t> &line, double reach) {
  const int32_t margin = InputMargin(reach);
  std::vector<uint16_t> padded(line.size() + 2 * margin);
  for (size_t i = 0; i < padded.size(); ++i) {
    const int64_t j =
        std::clamp<int64_t>(int64_t(i) - margin, 0, int64_t(line.size()) - 1);
    padded[i] = line[size_t(j)];
  }
  std::vector<uint16_t> out(line.size());
  reference::BlurLine(padded.data() + margin, 1, out.data(), 1,
                      int32_t(line.size()), reach);
  return out;
}

TEST(Blur, DivisorsAndReachSplit) {
  const std::pair<int32_t, uint32_t> divisors[] = {
      {0, 65536}, {1, 21845}, {2, 13107}, {3, 9362}, {50, 648}, {101, 322}};
  for (const auto &[r, m] : divisors) EXPECT_EQ(BoxDivisorTable[r], m) << r;

  const struct {
    double reach;
    int32_t t, r1, r2, f, margin;
  } cases[] = {
      {0.05, 1, 0, 0, 1, 1},
      {1.05, 17, 0, 1, 1, 2},
      {2.05, 33, 1, 1, 1, 3},
      {3.05, 49, 1, 2, 1, 4},
      {100.05, 1601, 50, 50, 1, 101},
      // Whole pixels, no sixteenth to blend: radius 19 at the preview's
      // half size (0.975), and 2.0.
      {0.975, 16, 0, 1, 0, 1},
      {2.0, 32, 1, 1, 0, 2},
  };
  for (const auto &c : cases) {
    const BoxRadii radii = SplitBlurReach(c.reach);
    EXPECT_EQ(std::make_tuple(radii.sixteenths, radii.r1, radii.r2,
                              radii.fraction, InputMargin(c.reach)),
              std::make_tuple(c.t, c.r1, c.r2, c.f, c.margin))
        << "reach " << c.reach;
  }
}

TEST(Blur, ImpulseResponses) {
  const struct {
    double reach;
    uint16_t height;
    std::vector<uint16_t> around;  // centred on the impulse
  } cases[] = {
      {1.05, 1024, {7, 333, 341, 333, 7}},
      {2.05, 1024, {4, 114, 225, 332, 225, 114, 4}},
      {0.55, 1024, {191, 639, 191}},
      {0.15, 1024, {42, 938, 42}},
      // The wider box's bias is r + 2: (21845 x 4) >> 16 = 1, blended
      // 9/16 of the way from 2, floored to 1 (with r + 1 it would be 0).
      {0.55, 2, {0, 1, 0}},
  };
  for (const auto &c : cases) {
    std::vector<uint16_t> line(21, 0);
    line[10] = c.height;
    std::vector<uint16_t> expected(21, 0);
    std::copy(c.around.begin(), c.around.end(),
              expected.begin() + (10 - c.around.size() / 2));
    EXPECT_EQ(Blur(line, c.reach), expected) << "reach " << c.reach;
  }
}

// Constant lines survive below a reach of 54 pixels; beyond, truncated
// reciprocals lower them slightly. The 256-wide line at the largest
// reach also uses the whole scratch line.
TEST(Blur, ConstantLines) {
  for (double reach : {0.05, 1.05, 10.05, 53.95}) {
    const std::vector<uint16_t> line(256, 1024);
    EXPECT_EQ(Blur(line, reach), line) << "reach " << reach;
  }
  EXPECT_EQ(Blur(std::vector<uint16_t>(256, 1024), 100.05),
            std::vector<uint16_t>(256, 1022));
  EXPECT_EQ(Blur(std::vector<uint16_t>(256, 500), 100.05),
            std::vector<uint16_t>(256, 498));
}

// Every kernel path blurs a tile as the line blur does, row by row and
// then column by column: at each pair of small box radii, with and
// without a blended sixteenth (whole-pixel reaches come from reduced
// previews), with blends of 8 sixteenths and more, and at reaches beyond
// them, on a tile short of whole vectors and on one narrower than the
// kernels' widest steps.
TEST(Blur, EveryPathAsTheLineBlur) {
  std::vector<uint8_t> block(kEngineMemoryBytes);
  AttachEngineMemory(nullptr, block.data());
  const int32_t rows = 37;
  std::vector<uint16_t> rowBlur(kPlaneRows * kTileSide),
      expected(rows * kTileSide);
  const SimdPath chosen = CurrentSimdPath();
  for (const auto &[reach, columns] :
       {std::pair{0.05, 250}, {0.95, 250},  {0.975, 250}, {1.0, 70},
        {1.05, 250},          {1.05, 40},   {1.55, 40},   {1.55, 250},
        {2.0, 250},           {2.05, 250},  {2.5, 40},    {3.0, 250},
        {3.05, 40},           {4.0, 250},   {4.05, 250},  {5.0, 250},
        {5.05, 250},          {6.0, 250},   {6.05, 250},  {7.05, 250},
        {61.55, 250},         {64.55, 250}, {100.05, 250}}) {
    BlurReach = reach;
    const TileGeometry g{InputMargin(reach), rows, columns};
    const int32_t lines = rows + 2 * g.margin, width = columns + 2 * g.margin;
    uint32_t state = 12345;
    for (int32_t y = 0; y < lines; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        state = state * 1103515245u + 12345u;
        ValuePlane[y * kValueStride + x] = uint16_t((state >> 16) % 1025);
      }
      reference::BlurLine(ValuePlane + y * kValueStride + g.margin, 1,
                          &rowBlur[y * kTileSide], 1, columns, reach);
    }
    for (int32_t x = 0; x < columns; ++x) {
      reference::BlurLine(&rowBlur[g.margin * kTileSide + x], kTileSide,
                          &expected[x], kTileSide, rows, reach);
    }
    for (SimdPath path : kSimdPaths) {
      if (!UseSimdPath(path)) continue;
      BlurTileRows(g);
      BlurTileColumns(g);
      int32_t wrong = 0;
      for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < columns; ++x)
          wrong +=
              BlurredTile[y * kTileSide + x] != expected[y * kTileSide + x];
      EXPECT_EQ(wrong, 0) << SimdPathName(path) << ", reach " << reach;
    }
  }
  UseSimdPath(chosen);
  DetachEngineMemory(nullptr);
}

}  // namespace
