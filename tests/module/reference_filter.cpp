#include "tests/module/reference_filter.h"

std::vector<uint16_t> ReferenceFilter(int32_t width, int32_t height,
                                      int32_t planes, int32_t depth,
                                      const std::vector<uint16_t> &samples,
                                      const Rect &area,
                                      const ReferenceSettings &settings) {
  const HostImage source{width, height, planes, depth, samples};
  HostImage result = source;
  ApplyEngineSettings(settings);
  FilterHostImage(source, area, &result);
  return result.samples;
}
