#include "tests/module/reference_filter.h"

#include <cstring>

#include "tests/support/test_host.h"

std::vector<uint16_t> ReferenceFilter(int32_t width, int32_t height,
                                      int32_t planes, int32_t depth,
                                      const std::vector<uint16_t> &samples,
                                      const Rect &area,
                                      const ReferenceSettings &settings) {
  HostImage source = MakeHostImage(width, height, planes, depth);
  HostImage result = MakeHostImage(width, height, planes, depth);
  size_t i = 0;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      for (int32_t p = 0; p < planes; ++p, ++i) {
        SetSample(&source, x, y, p, samples[i]);
        SetSample(&result, x, y, p, samples[i]);
      }
  EngineSettings engine;
  engine.radius = settings.radius;
  engine.response = settings.response;
  engine.spread = settings.spread;
  std::memcpy(engine.weights, settings.weights, sizeof engine.weights);
  ApplyEngineSettings(engine);
  FilterHostImage(source, area, &result);

  std::vector<uint16_t> out(samples.size());
  i = 0;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      for (int32_t p = 0; p < planes; ++p, ++i)
        out[i] = uint16_t(GetSample(result, x, y, p));
  return out;
}
