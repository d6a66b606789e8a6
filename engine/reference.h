// The engine written the straightforward way: one pixel, one line, one
// stage at a time, exactly as the arithmetic is defined. Not part of the
// modules. The tests hold the optimised engine to it bit for bit, and the
// benchmark measures how far the optimised engine has moved from it.
#pragma once

#include <array>
#include <cstdint>

#include "engine/colour_space.h"
#include "params/host_records.h"

namespace reference {

// 255 a / c rounded half up and capped at 255, numerator a in the high
// byte of the index: RatioTable[a * 256 + c].
extern const std::array<uint8_t, 256 * 256> RatioTable;

void RgbToWork8(const uint8_t *source, int32_t pixelStep,
                WorkPixel *destination, int32_t count);
void WorkToRgb8(const WorkPixel *source, uint8_t *destination,
                int32_t pixelStep, int32_t count);
void RgbToWork16(const uint16_t *source, int32_t pixelStep,
                 WorkPixel *destination, int32_t count);
void WorkToRgb16(const WorkPixel *source, uint16_t *destination,
                 int32_t pixelStep, int32_t count);

// Values between the two passes of one line blur: the widest is a
// 256-pixel tile line with 51 extra values on each side.
constexpr int32_t kLineScratchSize = 256 + 2 * 51;
extern uint16_t LineScratch[kLineScratchSize];

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

// The work area laid out as three buffers: WorkTile (458 rows of 458
// working pixels, the input tile), RowBlurBuffer (458 rows of 256) and
// BlurredTile (256 rows of 256), each row starting at the left column of
// inRect (WorkTile) or outRect (the other two).
extern WorkPixel *WorkTile;
extern uint16_t *RowBlurBuffer;
extern uint16_t *BlurredTile;

// Lays the three buffers out in a block of EngineMemorySize bytes; the
// tables are the engine's own (PrepareEngineTables, BuildSaturationWeights).
void AttachEngineMemory(const FilterRecord *record, void *block);
void DetachEngineMemory(const FilterRecord *record);

void BlurRows(const FilterRecord *record);
void BlurColumns(const FilterRecord *record);
void SharpenRow(const uint16_t *blurred, WorkPixel *pixels, int32_t count);
void SharpenTile(const FilterRecord *record);
void ProcessTile8(const FilterRecord *record);
void ProcessTile16(const FilterRecord *record);
void ProcessTile(const FilterRecord *record);
int32_t ProcessTileCounted(const FilterRecord *record);

}  // namespace reference
