#include "tests/module/reference_filter.h"

#include <cstring>

#include "tests/support/test_host.h"

std::vector<uint16_t> ReferenceFilter(int32_t width, int32_t height,
                                      int32_t planes, int32_t depth,
                                      const std::vector<uint16_t> &samples,
                                      const Rect &area,
                                      const ReferenceSettings &settings) {
  const HostImage source{width, height, planes, depth, samples};
  HostImage result = source;
  EngineSettings engine{settings.radius, settings.response, settings.spread};
  std::memcpy(engine.weights, settings.weights, sizeof engine.weights);
  ApplyEngineSettings(engine);
  FilterHostImage(source, area, &result);
  return result.samples;
}
