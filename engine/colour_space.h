// The working colour space: hue, saturation and value with integer
// arithmetic only, so that sharpening can change a pixel's brightness
// without ever shifting its colour. Row conversions from and to the
// host's interleaved 8- and 16-bit RGB samples.
#pragma once

#include <cstdint>

// One working pixel: six bytes, rows of them are contiguous arrays.
struct WorkPixel {
  uint16_t hue;         // 0..1529: six sectors of 255 steps, 0 is red
  uint16_t saturation;  // 0..1024
  uint16_t value;       // 0..1024, the only component sharpening changes
};
static_assert(sizeof(WorkPixel) == 6, "WorkPixel must pack into six bytes");

constexpr uint32_t kHueSectorSteps = 255;
constexpr uint32_t kHueSteps = 6 * kHueSectorSteps;  // 1530, never produced
constexpr uint32_t kUnitScale = 1024;                // saturation and value
constexpr uint32_t kMax16 = 32768;                   // the host's 16-bit white

// The host side is strided by pixelStep samples (normally planes); the
// working pixels are consecutive. Samples after the third of each host
// pixel are neither read nor written. A count of 0 does nothing. The
// inverse takes hues below 1530 and saturations and values up to 1024.
void RgbToWork8(const uint8_t *source, int32_t pixelStep,
                WorkPixel *destination, int32_t count);
void WorkToRgb8(const WorkPixel *source, uint8_t *destination,
                int32_t pixelStep, int32_t count);
void RgbToWork16(const uint16_t *source, int32_t pixelStep,
                 WorkPixel *destination, int32_t count);
void WorkToRgb16(const WorkPixel *source, uint16_t *destination,
                 int32_t pixelStep, int32_t count);
