// The separable blur of the value component: per line, two running-sum
// box passes whose radii split the blur reach, the second blending two
// box widths to honour sixteenths of a pixel. Cost per pixel does not
// grow with the radius; averages divide by multiplying with reciprocals.
#pragma once

#include <array>
#include <cstdint>

#include "params/host_records.h"

// floor(65536 / (2 r + 1)) for box radius r.
extern const std::array<uint32_t, 256> BoxDivisorTable;

// Values between the two passes of one line blur: the widest is a
// 256-pixel tile line with 51 extra values on each side.
constexpr int32_t kLineScratchSize = 256 + 2 * 51;
extern uint16_t LineScratch[kLineScratchSize];

// The reach in sixteenths of a pixel, rounded, split into two box radii
// (r1 <= r2) and the sixteenths left for the blend.
struct BoxRadii {
  int32_t sixteenths;
  int32_t r1;
  int32_t r2;
  int32_t fraction;
};
BoxRadii SplitBlurReach(double reach);

// Whole pixels a line blur reads beyond each end of its output range.
int32_t InputMargin(double reach);

// Strides count 16-bit values. Every line needs count >= 1 and the
// source values the window reaches on both sides.
void BoxBlurLine(const uint16_t *source, int32_t sourceStride,
                 uint16_t *destination, int32_t destinationStride,
                 int32_t count, int32_t r);
// The box of radius r blended toward radius r + 1 by f sixteenths.
void BoxBlurLineBlend(const uint16_t *source, int32_t sourceStride,
                      uint16_t *destination, int32_t destinationStride,
                      int32_t count, int32_t r, int32_t f);
// Both passes; source holds InputMargin(reach) values before the first
// output's value and after the last's.
void BlurLine(const uint16_t *source, int32_t sourceStride,
              uint16_t *destination, int32_t destinationStride, int32_t count,
              double reach);

// Tile drivers over the engine's buffers, geometry from inRect and
// outRect, reach from BlurReach: rows of the whole input tile across the
// output columns into RowBlurBuffer, then the output columns into
// BlurredTile.
void BlurRows(const FilterRecord *record);
void BlurColumns(const FilterRecord *record);
