#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/dispatch.h"
#include "engine/engine.h"
#include "engine/reference.h"

namespace {

using Triple = std::array<uint32_t, 3>;  // r, g, b or hue, saturation, value

// A row of one colour, long enough for the vector kernels' full width
// and a tail: every pixel must convert alike.
constexpr int32_t kRow = 67;

template <typename Sample>
Triple ToWork(Triple rgb) {
  std::vector<Sample> samples;
  for (int32_t i = 0; i < kRow; ++i)
    samples.insert(samples.end(),
                   {Sample(rgb[0]), Sample(rgb[1]), Sample(rgb[2])});
  std::vector<WorkPixel> p(kRow);
  if constexpr (sizeof(Sample) == 1)
    RgbToWork8(samples.data(), 3, p.data(), kRow);
  if constexpr (sizeof(Sample) == 2)
    RgbToWork16(samples.data(), 3, p.data(), kRow);
  for (const WorkPixel &q : p) EXPECT_EQ(std::memcmp(&q, &p[0], sizeof q), 0);
  return {p[0].hue, p[0].saturation, p[0].value};
}

template <typename Sample>
Triple ToRgb(Triple hsv) {
  const std::vector<WorkPixel> p(
      kRow, {uint16_t(hsv[0]), uint16_t(hsv[1]), uint16_t(hsv[2])});
  std::vector<Sample> samples(3 * kRow);
  if constexpr (sizeof(Sample) == 1)
    WorkToRgb8(p.data(), samples.data(), 3, kRow);
  if constexpr (sizeof(Sample) == 2)
    WorkToRgb16(p.data(), samples.data(), 3, kRow);
  for (int32_t i = 0; i < 3 * kRow; ++i) EXPECT_EQ(samples[i], samples[i % 3]);
  return {samples[0], samples[1], samples[2]};
}

// Every 8-bit colour comes back unchanged, through working pixels in
// range, and the optimised conversions (straight through to a new value
// too) match the straightforward ones bit for bit on every kernel path
// the processor offers. (Whole tiles are held to the reference engine by
// the engine_tile fuzz target.)
TEST(ColourSpace, Every8BitColourComesBackUnchangedOnEveryPath) {
  // The emulated 32-bit test process runs some 30 times slower: it checks
  // a sample of what the others check in full.
  const int32_t redStep = sizeof(void *) == 8 ? 1 : 5;
  std::vector<uint8_t> rgb(3 * 65536), expectedBack(rgb.size()),
      back(rgb.size());
  std::vector<WorkPixel> expected(65536), work(65536), changed(65536);
  std::vector<uint16_t> before(65536), now(65536), values(65536);
  std::vector<uint8_t> rgba(4 * 65536);
  // A step that takes every value to its blurred one, response -d, but
  // for the quiet differences -2..2, which it leaves.
  const auto answer = [](int32_t d) { return d < -2 || d > 2 ? -d : 0; };
  std::vector<int32_t> response(2049);
  int16_t near[256];
  uint8_t nearBytes[2][256];
  for (int32_t d = -1024; d <= 1024; ++d) response[d + 1024] = answer(d);
  for (int32_t d = -128; d < 128; ++d) {
    near[d + 128] = int16_t(answer(d));
    nearBytes[0][d + 128] = uint8_t(answer(d) & 0xFF);
    nearBytes[1][d + 128] = uint8_t(answer(d) >> 8);
  }
  const KernelTables toBlurred = {
      &response[1024], near, nearBytes, 127, nullptr, nullptr, false, -2, 2};
  const SimdPath chosen = CurrentSimdPath();
  for (SimdPath path : kSimdPaths) {
    SCOPED_TRACE(SimdPathName(path));
    if (!UseSimdPath(path)) {
      std::printf("[ SKIPPED  ] %s kernels: not on this processor or build\n",
                  SimdPathName(path));
      continue;
    }
    for (int32_t r = 0; r < 256; r += redStep) {
      for (int32_t i = 0; i < 65536; ++i) {
        rgb[3 * i] = uint8_t(r);
        rgb[3 * i + 1] = uint8_t(i >> 8);
        rgb[3 * i + 2] = uint8_t(i);
        std::memcpy(&rgba[4 * i], &rgb[3 * i], 3);
        rgba[4 * i + 3] = 255;  // the fourth sample never counts
      }
      reference::RgbToWork8(rgb.data(), 3, expected.data(), 65536);
      reference::WorkToRgb8(expected.data(), expectedBack.data(), 3, 65536);
      ASSERT_EQ(expectedBack, rgb) << "red " << r;
      for (const WorkPixel &p : expected) {
        ASSERT_TRUE(p.hue < 1530 && p.saturation <= 1024 && p.value <= 1024);
      }
      RgbToWork8(rgb.data(), 3, work.data(), 65536);
      ASSERT_EQ(std::memcmp(work.data(), expected.data(), 6 * 65536), 0)
          << "red " << r;
      WorkToRgb8(expected.data(), back.data(), 3, 65536);
      ASSERT_EQ(back, rgb) << "red " << r;
      // Values alone, from rows that end at their last pixel's samples.
      for (int32_t step : {3, 4}) {
        Kernels().valuesFrom8(step == 3 ? rgb.data() : rgba.data(), step,
                              values.data(), 65536);
        for (int32_t i = 0; i < 65536; ++i) {
          ASSERT_EQ(values[i], expected[i].value)
              << "red " << r << ", step " << step << ", pixel " << i;
        }
      }
      // Through new values, as the reference converts the kept hue and
      // saturation back: mixed values on every pixel, then far ones on
      // one in three (the row's last too) and the others copied. The
      // values are sharpened to their blurred ones, near and far.
      for (int32_t pass = 0; pass < 2; ++pass) {
        for (int32_t i = 0; i < 65536; ++i) {
          before[i] = expected[i].value;
          now[i] = uint16_t(pass == 0         ? (i * 40503u + r * 977u) % 1025
                            : i % 3 > 0       ? before[i]
                            : before[i] < 600 ? 1024
                                              : 300);
          changed[i] = {expected[i].hue, expected[i].saturation,
                        uint16_t(before[i] + answer(before[i] - now[i]))};
        }
        reference::WorkToRgb8(changed.data(), expectedBack.data(), 3, 65536);
        ThroughBatch batch;
        for (int32_t i = 0; i < 65536; i += 250) {  // rows with short ends
          Kernels().coloursThrough8(&rgb[3 * i], 3, &now[i], &before[i],
                                    &back[3 * i], std::min(250, 65536 - i),
                                    toBlurred, batch);
        }
        Kernels().finishThrough8(batch);
        ASSERT_EQ(back, expectedBack) << "red " << r << ", pass " << pass;
      }
    }
  }
  UseSimdPath(chosen);
}

// TAVORIN_KERNELS names a path whole, in any case: no prefix, no more.
TEST(ColourSpace, KernelPathsByName) {
  const std::pair<const char *, int> cases[] = {
      {"sse2", 0},   {"AVX2", 1}, {"Avx512", 2}, {"avx", -1},
      {"avx2x", -1}, {"", -1},    {nullptr, -1}};
  for (const auto &[name, expected] : cases) {
    SimdPath path = SimdPath::kSse2;
    const bool named = SimdPathNamed(name, &path);
    EXPECT_EQ(named ? int(path) : -1, expected) << (name ? name : "null");
  }
}

TEST(ColourSpace, Forward8BitExamples) {
  const std::pair<Triple, Triple> cases[] = {
      {{255, 255, 255}, {0, 0, 1024}},     {{0, 0, 0}, {0, 0, 0}},
      {{255, 0, 0}, {0, 1024, 1024}},      {{255, 255, 0}, {255, 1024, 1024}},
      {{0, 255, 0}, {510, 1024, 1024}},    {{0, 255, 255}, {765, 1024, 1024}},
      {{0, 0, 255}, {1020, 1024, 1024}},   {{255, 0, 255}, {1275, 1024, 1024}},
      {{255, 0, 1}, {1529, 1024, 1024}},   {{128, 64, 32}, {85, 768, 514}},
      {{200, 100, 150}, {1402, 512, 803}},
  };
  for (const auto &[rgb, hsv] : cases) EXPECT_EQ(ToWork<uint8_t>(rgb), hsv);
  // Ties on the sector boundaries land on the anchor hues.
  EXPECT_EQ(ToWork<uint8_t>({200, 200, 100})[0], 255u);
  EXPECT_EQ(ToWork<uint8_t>({50, 180, 180})[0], 765u);
  EXPECT_EQ(ToWork<uint8_t>({90, 10, 90})[0], 1275u);
}

TEST(ColourSpace, SixteenBitComesBackOnTheValueGrid) {
  const std::array<Triple, 3> cases[] = {
      // A numerator too small for the ratio to reach 1: red, not 1530.
      {{{32768, 0, 1}, {0, 1024, 1024}, {32768, 0, 0}}},
      {{{1000, 500, 0}, {128, 1024, 31}, {992, 498, 0}}},
      {{{16384, 8192, 4096}, {85, 768, 512}, {16384, 8192, 4096}}},
  };
  for (const auto &[rgb, hsv, back] : cases) {
    EXPECT_EQ(ToWork<uint16_t>(rgb), hsv);
    EXPECT_EQ(ToRgb<uint16_t>(hsv), back);
  }
  // Values round half up: 1008 and 16 are 31.5 and 0.5 steps of 32.
  EXPECT_EQ(ToWork<uint16_t>({1008, 1008, 1008}), (Triple{0, 0, 32}));
  EXPECT_EQ(ToWork<uint16_t>({16, 16, 16}), (Triple{0, 0, 1}));
  // Samples above the host's white must not give values beyond 1024,
  // which no table covers.
  for (uint32_t high : {40000u, 65535u}) {
    EXPECT_EQ(ToWork<uint16_t>({high, high, high})[2], 1024u);
    EXPECT_EQ(ToWork<uint16_t>({high / 2, high, 7})[2], 1024u);
  }
}

// 16-bit conversions on every kernel path as the reference makes them:
// colours whose quotients lie nearest their largest (where a guessed
// quotient strays furthest) for every largest channel, in all six hue
// rows and past the host's range, and with the two smaller channels
// tied (greys where all three are, black too); every hue at the ends of
// saturation and value.
TEST(ColourSpace, SixteenBitAsTheReferenceOnEveryPath) {
  std::vector<uint16_t> rgb;
  for (uint32_t m = 0, k = 0; m <= 65535; m += m < 32768 ? 1 : 61) {
    for (uint32_t i = 0; i < 4; ++i) {
      for (uint32_t j = 0; j < 16 && i + j <= m; ++j, ++k) {
        const uint16_t c[3] = {uint16_t(m), uint16_t(m - i),
                               uint16_t(j < 15 ? j : m - i)};
        const uint32_t turn = k % 3, swap = k / 3 % 2;
        rgb.insert(rgb.end(), {c[turn], c[(turn + 1 + swap) % 3],
                               c[(turn + 2 - swap) % 3]});
      }
    }
  }
  std::vector<WorkPixel> work;
  for (uint16_t s : {0, 1, 2, 511, 1023, 1024})
    for (uint16_t v : {0, 1, 2, 511, 1023, 1024})
      for (uint16_t h = 0; h < 1530; ++h) work.push_back({h, s, v});
  const int32_t n = int32_t(rgb.size() / 3), w = int32_t(work.size());
  std::vector<WorkPixel> expected(n), got(n);
  std::vector<uint16_t> expectedRgb(3 * w), gotRgb(3 * w);
  reference::RgbToWork16(rgb.data(), 3, expected.data(), n);
  reference::WorkToRgb16(work.data(), expectedRgb.data(), 3, w);
  const SimdPath chosen = CurrentSimdPath();
  for (SimdPath path : kSimdPaths) {
    if (!UseSimdPath(path)) continue;
    RgbToWork16(rgb.data(), 3, got.data(), n);
    WorkToRgb16(work.data(), gotRgb.data(), 3, w);
    EXPECT_EQ(std::memcmp(got.data(), expected.data(), 6 * size_t(n)), 0)
        << SimdPathName(path);
    EXPECT_EQ(gotRgb, expectedRgb) << SimdPathName(path);
  }
  UseSimdPath(chosen);
}

TEST(ColourSpace, InverseExamples) {
  Triple brown = ToWork<uint8_t>({128, 64, 32});
  brown[2] = 600;  // hue and saturation stay, all channels scale
  EXPECT_EQ(ToRgb<uint8_t>(brown), (Triple{149, 74, 37}));
  // (16384 x -32638) / 32768 is exactly -16319: the halfway case.
  EXPECT_EQ(ToRgb<uint16_t>({1, 1024, 512}), (Triple{16384, 65, 0}));
  for (uint32_t hue : {0u, 700u, 1529u}) {
    EXPECT_EQ(ToRgb<uint8_t>({hue, 1024, 0}), (Triple{0, 0, 0}));
    EXPECT_EQ(ToRgb<uint16_t>({hue, 500, 0}), (Triple{0, 0, 0}));
    EXPECT_EQ(ToRgb<uint8_t>({hue, 0, 1024}), (Triple{255, 255, 255}));
    EXPECT_EQ(ToRgb<uint16_t>({hue, 0, 1024}), (Triple{32768, 32768, 32768}));
  }
}

}  // namespace
