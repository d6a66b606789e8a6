#include "tests/support/engine_digest.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "engine/table_math.h"
#include "tests/support/test_host.h"

namespace {

// FNV-1a over bytes in memory order: every build we make is
// little-endian, so every build agrees on it.
struct Digest {
  uint64_t hash = 14695981039346656037ull;
  void Add(const void *data, size_t size) {
    const uint8_t *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
  }
  void Add(double value) { Add(&value, sizeof value); }
};

void Put(std::vector<std::string> *lines, const std::string &name,
         const Digest &digest) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016" PRIx64, digest.hash);
  lines->push_back(name + " " + hex);
}

}  // namespace

std::vector<std::string> EngineDigestLines() {
  std::vector<std::string> lines;

  // Every argument the tables take power and cosine of.
  Digest powers, cosines;
  for (int32_t control = 0; control <= 100; ++control) {
    powers.Add(ComputePow(control * 0.01, 3.0));
    const double exponent = ComputePow(control * 0.01, 4.0) * 50.0;
    powers.Add(exponent);
    for (int32_t i = 0; i <= 1024; ++i)
      powers.Add(ComputePow(1.0 - i * (1.0 / 1024), exponent));
  }
  for (int32_t s = 0; s <= 1024; ++s)
    powers.Add(ComputePow(s * (1.0 / 1024), 0.333));
  for (int32_t j = 0; j < 256; ++j)
    cosines.Add(ComputeCos(j * 3.14159265358979323846 * (1.0 / 255)));
  Put(&lines, "powers", powers);
  Put(&lines, "cosines", cosines);

  // The tables for every pair of these controls, every radius at every
  // rate, and each set of weights. 15 and 30 make gains whose products
  // land exactly on integers.
  const int32_t controls[] = {0, 1, 15, 30, 50, 65, 88, 100};
  const int32_t radii[] = {0, 1, 10, 77, 999, 1000};
  const int32_t rates[] = {0x10000, 0x20000, 0x30000, 0x70000};
  const int32_t weightSets[][6] = {
      {100, 0, 0, 0, 0, 0},        {-100, 50, 33, -33, 1, -1},
      {1, 1, 1, 1, 1, 1},          {-100, -100, -100, -100, -100, -100},
      {17, -42, 99, -100, 63, -7}, {3, -3, 7, -7, 11, -11},
  };
  Digest reach, response, hue, saturation;
  for (int32_t i = 0; i < 64; ++i) {
    EngineSettings settings{radii[i % 6], controls[i % 8], controls[i / 8]};
    std::memcpy(settings.weights, weightSets[i % 6], sizeof settings.weights);
    PrepareTablesFor(settings, rates[i / 16]);
    const int32_t margin = InputMargin(BlurReach);
    reach.Add(BlurReach);
    reach.Add(&margin, sizeof margin);
    response.Add(ResponseTable, sizeof ResponseTable);
    hue.Add(HueWeightTable, sizeof HueWeightTable);
  }
  saturation.Add(SaturationWeightTable, sizeof SaturationWeightTable);
  Put(&lines, "blur-reach", reach);
  Put(&lines, "response", response);
  Put(&lines, "hue-weights", hue);
  Put(&lines, "saturation-weights", saturation);

  // Whole pictures: every stage of the pipeline, both depths, an extra
  // plane, a filter area off the image's origin and the largest margin.
  const EngineSettings pictureSettings[] = {
      {},
      {1000, 100, 100, {100, -100, 50, -50, 25, -25}},
      {37, 77, 13, {17, -42, 99, -100, 63, -7}},
      {0},
  };
  for (int32_t depth : {8, 16}) {
    const HostImage picture = MakeTestPattern(300, 180, 4, depth);
    for (const EngineSettings &settings : pictureSettings) {
      ApplyEngineSettings(settings);
      HostImage result = picture;
      FilterHostImage(picture, Rect{5, 3, 180, 290}, &result);
      Digest digest;
      const std::vector<uint16_t> values = result.samples.Values();
      digest.Add(values.data(), 2 * values.size());
      Put(&lines,
          "picture" + std::to_string(depth) + "(radius " +
              std::to_string(settings.radius) + ")",
          digest);
    }
  }
  return lines;
}
