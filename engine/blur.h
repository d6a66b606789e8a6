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

// The tile's blur, geometry from inRect and outRect, reach from
// BlurReach: every value-plane row across the output columns into
// RowBlurBuffer, then the output columns into BlurredTile.
void BlurRows(const FilterRecord *record);
void BlurColumns(const FilterRecord *record);
struct TileGeometry;
void BlurTileRows(const TileGeometry &g);
void BlurTileColumns(const TileGeometry &g);
