// Gray documents: each pixel's first sample is a gray level, any second
// (transparency) is left as the host gave it. A gray pixel is an RGB
// pixel with three equal channels: hue and saturation 0, so no colour
// weight acts on it and only its value needs converting, without the
// hue and saturation arithmetic of the colour path.
#pragma once

#include <cstdint>

// Whether the host's image mode is one of the gray ones.
bool IsGrayMode(int32_t imageMode);

// Gray levels, pixelStep samples apart, to values (0..1024) and back;
// the same numbers as the RGB conversions of a gray pixel.
void GrayToValues8(const uint8_t *source, int32_t pixelStep, uint16_t *value,
                   int32_t count);
void GrayToValues16(const uint16_t *source, int32_t pixelStep, uint16_t *value,
                    int32_t count);
void ValuesToGray8(const uint16_t *value, uint8_t *destination,
                   int32_t pixelStep, int32_t count);
void ValuesToGray16(const uint16_t *value, uint16_t *destination,
                    int32_t pixelStep, int32_t count);

// The same conversions for each instruction set (see kernels.h), a
// vector of pixels at a time where the pixel step allows.
struct GrayKernels {
  void (*valuesFrom8)(const uint8_t *source, int32_t pixelStep, uint16_t *value,
                      int32_t count);
  void (*valuesFrom16)(const uint16_t *source, int32_t pixelStep,
                       uint16_t *value, int32_t count);
  void (*valuesTo8)(const uint16_t *value, uint8_t *destination,
                    int32_t pixelStep, int32_t count);
  void (*valuesTo16)(const uint16_t *value, uint16_t *destination,
                     int32_t pixelStep, int32_t count);
};

extern const GrayKernels kSse2GrayKernels;
extern const GrayKernels kAvx2GrayKernels;
extern const GrayKernels kAvx512GrayKernels;  // 64-bit builds only

// Those of the instruction set the engine's kernels use.
const GrayKernels &GrayKernelsInUse();
