#include "tests/support/engine_digest.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "engine/table_math.h"
#include "tests/support/test_host.h"

namespace {

// FNV-1a over bytes in a fixed order, so that every build agrees on it.
struct Digest {
  uint64_t hash = 14695981039346656037ull;
  void Add32(uint32_t word) {
    for (int32_t shift = 0; shift < 32; shift += 8) {
      hash ^= uint8_t(word >> shift);
      hash *= 1099511628211ull;
    }
  }
  void Add64(uint64_t word) {
    Add32(uint32_t(word));
    Add32(uint32_t(word >> 32));
  }
  void AddTable(const int32_t *table, int32_t count) {
    for (int32_t i = 0; i < count; ++i) Add32(uint32_t(table[i]));
  }
};

std::string Line(const char *name, uint64_t hash) {
  char text[160];
  std::snprintf(text, sizeof text, "%s %016" PRIx64, name, hash);
  return text;
}

uint64_t DoubleBits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

std::vector<std::string> EngineDigestLines() {
  std::vector<std::string> lines;

  // Every argument the tables take power and cosine of.
  Digest powers, cosines;
  for (int32_t control = 0; control <= 100; ++control) {
    powers.Add64(DoubleBits(ComputePow(control * 0.01, 3.0)));
    const double exponent = ComputePow(control * 0.01, 4.0) * 50.0;
    powers.Add64(DoubleBits(exponent));
    for (int32_t i = 0; i <= 1024; ++i) {
      powers.Add64(DoubleBits(ComputePow(1.0 - i * (1.0 / 1024), exponent)));
    }
  }
  for (int32_t s = 0; s <= 1024; ++s) {
    powers.Add64(DoubleBits(ComputePow(s * (1.0 / 1024), 0.333)));
  }
  for (int32_t j = 0; j < 256; ++j) {
    cosines.Add64(
        DoubleBits(ComputeCos(j * 3.14159265358979323846 * (1.0 / 255))));
  }
  lines.push_back(Line("powers", powers.hash));
  lines.push_back(Line("cosines", cosines.hash));

  Digest saturation;
  BuildSaturationWeights();
  saturation.AddTable(SaturationWeightTable, 1025);
  lines.push_back(Line("saturation-weights", saturation.hash));

  // 15 and 30 make gains whose products land exactly on integers.
  const int32_t controls[] = {0, 1, 15, 30, 50, 65, 88, 100};
  Digest response;
  for (int32_t r : controls) {
    for (int32_t s : controls) {
      EngineSettings settings;
      settings.response = r;
      settings.spread = s;
      PrepareTablesFor(settings);
      response.AddTable(ResponseTable, 2 * kResponseMiddle + 1);
    }
  }
  lines.push_back(Line("response", response.hash));

  const int32_t weightSets[][6] = {
      {100, 0, 0, 0, 0, 0},        {-100, 50, 33, -33, 1, -1},
      {1, 1, 1, 1, 1, 1},          {-100, -100, -100, -100, -100, -100},
      {17, -42, 99, -100, 63, -7}, {3, -3, 7, -7, 11, -11},
  };
  Digest hue;
  for (const auto &weights : weightSets) {
    EngineSettings settings;
    std::memcpy(settings.weights, weights, sizeof settings.weights);
    PrepareTablesFor(settings);
    hue.AddTable(HueWeightTable, 1530);
  }
  lines.push_back(Line("hue-weights", hue.hash));

  Digest reach;
  for (int32_t radius : {0, 1, 10, 77, 999, 1000}) {
    for (int32_t rate : {0x10000, 0x20000, 0x30000, 0x70000}) {
      EngineSettings settings;
      settings.radius = radius;
      PrepareTablesFor(settings, rate);
      reach.Add64(DoubleBits(BlurReach));
      reach.Add32(uint32_t(InputMargin(BlurReach)));
    }
  }
  lines.push_back(Line("blur-reach", reach.hash));

  // Whole pictures: every stage of the pipeline, both depths, an extra
  // plane, a filter area off the image's origin and the largest margin.
  EngineSettings strong, odd, faint;
  strong.radius = 1000;
  strong.response = strong.spread = 100;
  const int32_t mixed[6] = {100, -100, 50, -50, 25, -25};
  std::memcpy(strong.weights, mixed, sizeof mixed);
  odd.radius = 37;
  odd.response = 77;
  odd.spread = 13;
  std::memcpy(odd.weights, weightSets[4], sizeof odd.weights);
  faint.radius = 0;
  const EngineSettings settingsList[] = {EngineSettings(), strong, odd, faint};
  for (int32_t depth : {8, 16}) {
    const HostImage picture = MakeTestPicture(300, 180, 4, depth, 7);
    for (const EngineSettings &settings : settingsList) {
      ApplyEngineSettings(settings);
      HostImage result = picture;
      FilterHostImage(picture, Rect{5, 3, 180, 290}, &result);
      Digest digest;
      for (uint16_t sample : result.samples) digest.Add32(sample);
      const std::string name = "picture" + std::to_string(depth) + "(radius " +
                               std::to_string(settings.radius) + ")";
      lines.push_back(Line(name.c_str(), digest.hash));
    }
  }
  return lines;
}
