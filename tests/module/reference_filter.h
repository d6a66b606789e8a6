// The engine's own result for a whole image, as the portable test host
// computes it (tests/support): what the module must deliver through a
// real host, bit for bit.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/test_host.h"

using ReferenceSettings = EngineSettings;

// samples: interleaved, planes per pixel, 8-bit values or 16-bit ones
// (0..32768); returns them with area filtered.
std::vector<uint16_t> ReferenceFilter(int32_t width, int32_t height,
                                      int32_t planes, int32_t depth,
                                      const std::vector<uint16_t> &samples,
                                      const Rect &area,
                                      const ReferenceSettings &settings);
