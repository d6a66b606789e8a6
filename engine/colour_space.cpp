// Row conversions between host samples and working pixels, through the
// kernels' planar form in chunks of a tile's width.
#include "engine/colour_space.h"

#include <algorithm>

#include "engine/dispatch.h"

namespace {

constexpr int32_t kChunk = 256;

template <typename Sample, typename Convert>
void ToWork(const Sample *source, int32_t pixelStep, WorkPixel *destination,
            int32_t count, Convert convert) {
  const FloatModeGuard floatMode;
  uint16_t hue[kChunk], saturation[kChunk], value[kChunk];
  for (int32_t done = 0; done < count; done += kChunk) {
    const int32_t n = std::min(kChunk, count - done);
    convert(source + ptrdiff_t(done) * pixelStep, pixelStep, hue, saturation,
            value, n);
    for (int32_t i = 0; i < n; ++i) {
      destination[done + i] = {hue[i], saturation[i], value[i]};
    }
  }
}

template <typename Sample, typename Convert>
void FromWork(const WorkPixel *source, Sample *destination, int32_t pixelStep,
              int32_t count, Convert convert) {
  uint16_t hue[kChunk], saturation[kChunk], value[kChunk];
  for (int32_t done = 0; done < count; done += kChunk) {
    const int32_t n = std::min(kChunk, count - done);
    for (int32_t i = 0; i < n; ++i) {
      hue[i] = source[done + i].hue;
      saturation[i] = source[done + i].saturation;
      value[i] = source[done + i].value;
    }
    convert(hue, saturation, value, destination + ptrdiff_t(done) * pixelStep,
            pixelStep, n);
  }
}

}  // namespace

void RgbToWork8(const uint8_t *source, int32_t pixelStep,
                WorkPixel *destination, int32_t count) {
  ToWork(source, pixelStep, destination, count, Kernels().coloursFrom8);
}

void RgbToWork16(const uint16_t *source, int32_t pixelStep,
                 WorkPixel *destination, int32_t count) {
  ToWork(source, pixelStep, destination, count, Kernels().coloursFrom16);
}

void WorkToRgb8(const WorkPixel *source, uint8_t *destination,
                int32_t pixelStep, int32_t count) {
  FromWork(source, destination, pixelStep, count, Kernels().coloursTo8);
}

void WorkToRgb16(const WorkPixel *source, uint16_t *destination,
                 int32_t pixelStep, int32_t count) {
  FromWork(source, destination, pixelStep, count, Kernels().coloursTo16);
}
