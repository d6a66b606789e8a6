// Box blurs with running sums over strided lines of 16-bit values on the
// 0..1024 scale; every intermediate stays within that scale, so the
// unsigned 32-bit products with the reciprocals cannot overflow.
#include "engine/blur.h"

#include <cstddef>

#include "engine/pipeline.h"
#include "engine/tables.h"

namespace {

constexpr std::array<uint32_t, 256> MakeBoxDivisorTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t r = 0; r < 256; ++r) table[r] = 65536 / (2 * r + 1);
  return table;
}

// The window sum of radius r around source[0], plus r as rounding bias.
inline uint32_t BoxSum(const uint16_t *source, ptrdiff_t stride, int32_t r) {
  uint32_t sum = source[0] + uint32_t(r);
  for (int32_t k = 1; k <= r; ++k)
    sum += source[-k * stride] + source[k * stride];
  return sum;
}

}  // namespace

constexpr std::array<uint32_t, 256> BoxDivisorTable = MakeBoxDivisorTable();
uint16_t LineScratch[kLineScratchSize];

BoxRadii SplitBlurReach(double reach) {
  BoxRadii radii;
  radii.sixteenths = int32_t(16 * reach + 0.5);
  radii.r1 = radii.sixteenths >> 5;
  radii.r2 = (radii.sixteenths >> 4) - radii.r1;
  radii.fraction = radii.sixteenths & 15;
  return radii;
}

int32_t InputMargin(double reach) {
  const int32_t t = SplitBlurReach(reach).sixteenths;
  return t % 16 == 0 ? t / 16 : t / 16 + 1;
}

void BoxBlurLine(const uint16_t *source, int32_t sourceStride,
                 uint16_t *destination, int32_t destinationStride,
                 int32_t count, int32_t r) {
  const ptrdiff_t s = sourceStride, ds = destinationStride;
  const uint32_t m = BoxDivisorTable[r];
  uint32_t sum = BoxSum(source, s, r);
  destination[0] = uint16_t((m * sum) >> 16);
  for (ptrdiff_t i = 1; i < count; ++i) {
    sum += source[(i + r) * s];
    sum -= source[(i - r - 1) * s];
    destination[i * ds] = uint16_t((m * sum) >> 16);
  }
}

void BoxBlurLineBlend(const uint16_t *source, int32_t sourceStride,
                      uint16_t *destination, int32_t destinationStride,
                      int32_t count, int32_t r, int32_t f) {
  const ptrdiff_t s = sourceStride, ds = destinationStride;
  const uint32_t m1 = BoxDivisorTable[r], m2 = BoxDivisorTable[r + 1];
  uint32_t s1 = BoxSum(source, s, r);
  // The wider window carries the bias r + 2, not r + 1.
  uint32_t s2 = s1 + 2 + source[-(r + 1) * s] + source[(r + 1) * s];
  for (ptrdiff_t i = 0; i < count; ++i) {
    if (i > 0) {
      s1 += source[(i + r) * s];
      s1 -= source[(i - r - 1) * s];
      s2 += source[(i + r + 1) * s];
      s2 -= source[(i - r - 2) * s];
    }
    const int32_t b1 = int32_t((m1 * s1) >> 16);
    const int32_t b2 = int32_t((m2 * s2) >> 16);
    // Arithmetic shift: floor toward minus infinity when b2 < b1.
    destination[i * ds] = uint16_t(b1 + (((b2 - b1) * f) >> 4));
  }
}

void BlurLine(const uint16_t *source, int32_t sourceStride,
              uint16_t *destination, int32_t destinationStride, int32_t count,
              double reach) {
  const BoxRadii radii = SplitBlurReach(reach);
  const int32_t r1 = radii.r1;
  const int32_t extra = radii.fraction == 0 ? 0 : 1;
  // The first pass widens the line by what the second pass reads.
  BoxBlurLine(source - ptrdiff_t(r1 + extra) * sourceStride, sourceStride,
              LineScratch, 1, count + 2 * (r1 + extra), radii.r2);
  if (radii.fraction == 0) {
    BoxBlurLine(LineScratch + r1, 1, destination, destinationStride, count, r1);
  } else {
    BoxBlurLineBlend(LineScratch + r1 + 1, 1, destination, destinationStride,
                     count, r1, radii.fraction);
  }
}

void BlurRows(const FilterRecord *record) {
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t rows = in.bottom - in.top;
  const int32_t columns = out.right - out.left;
  const WorkPixel *first = WorkTile + (out.left - in.left);
  for (int32_t y = 0; y < rows; ++y) {
    const WorkPixel *row = first + ptrdiff_t(y) * kWorkTileSide;
    BlurLine(&row->value, 3, RowBlurBuffer + ptrdiff_t(y) * kTileSide, 1,
             columns, BlurReach);
  }
}

void BlurColumns(const FilterRecord *record) {
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t rows = out.bottom - out.top;
  const int32_t columns = out.right - out.left;
  const uint16_t *first =
      RowBlurBuffer + ptrdiff_t(out.top - in.top) * kTileSide;
  for (int32_t x = 0; x < columns; ++x) {
    BlurLine(first + x, kTileSide, BlurredTile + x, kTileSide, rows, BlurReach);
  }
}
