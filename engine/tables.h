// Everything the per-pixel sharpening step needs from the user's
// settings, turned beforehand into the blur reach and three integer
// tables, so that tiles are processed without floating point.
#pragma once

#include <cstdint>

#include "params/host_records.h"

// Blur reach in pixels; turned into box radii and the input margin.
extern double BlurReach;

// The response to a difference d = value - blurred value, -1024..1024,
// stored at d + kResponseMiddle; read through ResponseTable +
// kResponseMiddle. Entries may exceed 1024 (up to 51,200).
constexpr int32_t kResponseMiddle = 1024;
extern int32_t ResponseTable[2 * kResponseMiddle + 1];
// The same for the differences near 0 that most pixels have, -128..127
// at d + kNearResponseMiddle, clamped to -1024..1024: a value (0..1024)
// plus either entry clamps to the same level. Small enough for vector
// registers.
constexpr int32_t kNearResponseMiddle = 128;
extern int16_t NearResponseTable[2 * kNearResponseMiddle];
// Its entries' low bytes ([0]) and high bytes ([1]) apart, for byte
// shuffles, and the reach n within which they all fit a signed byte:
// the entries for -n..n-1.
extern uint8_t NearResponseBytes[2][2 * kNearResponseMiddle];
extern int32_t NearByteReach;
// The run of differences around 0 whose responses are 0: QuietLow..
// QuietHigh. Values that differ this little from their blur stay.
extern int32_t QuietLow;
extern int32_t QuietHigh;

// Colour weighting, fixed point with 1024 = 100 percent: by saturation
// (0..1024) and by hue (0..1529).
extern int32_t SaturationWeightTable[1025];
extern int32_t HueWeightTable[1530];
// Whether any entry of HueWeightTable is non-zero, found as it is built.
extern bool HueWeighted;

// Builds BlurReach, ResponseTable and HueWeightTable from currentParams
// and the record's inputRate (16.16, at least 0x10000). Always 0.
int32_t PrepareEngineTables(const FilterRecord *record);
void BuildSaturationWeights();
void BuildHueWeights();
