// Plain loops the compiler vectorises; the one-plane case gets its own
// loop so that it reads and writes consecutive samples.
#include "engine/gray.h"

#include <cstddef>

#include "engine/dispatch.h"
#include "params/host_records.h"

namespace {

// 8 bits: the RGB path's (257 g + 33) >> 6 and (255 v + 512) >> 10.
inline uint16_t ValueOf8(uint32_t gray) {
  return uint16_t((257 * gray + 33) >> 6);
}
inline uint8_t GrayOf8(uint32_t value) {
  return uint8_t((255 * value + 512) >> 10);
}
// 16 bits: (g + 16) >> 5, samples past the host's white held at 1024;
// back, 32 v.
inline uint16_t ValueOf16(uint32_t gray) {
  const uint32_t value = (gray + 16) >> 5;
  return uint16_t(value < 1024 ? value : 1024);
}
inline uint16_t GrayOf16(uint32_t value) { return uint16_t(value << 5); }

template <typename Sample, uint16_t (*Convert)(uint32_t)>
void ToValues(const Sample *source, int32_t pixelStep, uint16_t *value,
              int32_t count) {
  if (pixelStep == 1) {
    for (int32_t i = 0; i < count; ++i) value[i] = Convert(source[i]);
    return;
  }
  for (int32_t i = 0; i < count; ++i)
    value[i] = Convert(source[ptrdiff_t(i) * pixelStep]);
}

template <typename Sample, Sample (*Convert)(uint32_t)>
void FromValues(const uint16_t *value, Sample *destination, int32_t pixelStep,
                int32_t count) {
  if (pixelStep == 1) {
    for (int32_t i = 0; i < count; ++i) destination[i] = Convert(value[i]);
    return;
  }
  for (int32_t i = 0; i < count; ++i)
    destination[ptrdiff_t(i) * pixelStep] = Convert(value[i]);
}

}  // namespace

bool IsGrayMode(int32_t imageMode) {
  return imageMode == kModeGrayscale || imageMode == kModeGray16;
}

void GrayToValues8(const uint8_t *source, int32_t pixelStep, uint16_t *value,
                   int32_t count) {
  ToValues<uint8_t, ValueOf8>(source, pixelStep, value, count);
}

void GrayToValues16(const uint16_t *source, int32_t pixelStep, uint16_t *value,
                    int32_t count) {
  ToValues<uint16_t, ValueOf16>(source, pixelStep, value, count);
}

void ValuesToGray8(const uint16_t *value, uint8_t *destination,
                   int32_t pixelStep, int32_t count) {
  FromValues<uint8_t, GrayOf8>(value, destination, pixelStep, count);
}

void ValuesToGray16(const uint16_t *value, uint16_t *destination,
                    int32_t pixelStep, int32_t count) {
  FromValues<uint16_t, GrayOf16>(value, destination, pixelStep, count);
}

const GrayKernels &GrayKernelsInUse() {
  const EngineKernels *kernels = &Kernels();
#ifdef TAVORIN_AVX512_KERNELS
  if (kernels == &kAvx512Kernels) return kAvx512GrayKernels;
#endif
  return kernels == &kAvx2Kernels ? kAvx2GrayKernels : kSse2GrayKernels;
}
