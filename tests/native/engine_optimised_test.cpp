// The optimised engine against the straightforward one, bit for bit, on
// every kernel path the processor offers: exhaustively where the inputs
// are few enough (8-bit colours, the inverse over whole planes of
// saturation and value), broadly elsewhere (16-bit colours, whole tiles
// with random pictures, settings, sizes and sampling rates).
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/dispatch.h"
#include "engine/engine.h"
#include "engine/reference.h"
#include "tests/support/test_host.h"

namespace {

// The emulated 32-bit test process runs some 30 times slower: it checks
// a sample of what the others check in full.
constexpr bool kFull = sizeof(void *) == 8;

// The paths this processor has; each one it lacks is named once, loudly,
// since its kernels then go unchecked here.
std::vector<SimdPath> Paths() {
  static bool told = false;
  std::vector<SimdPath> paths;
  for (SimdPath path : kSimdPaths) {
    if (SimdPathAvailable(path)) {
      paths.push_back(path);
    } else if (!told) {
      std::printf("[ SKIPPED  ] %s kernels: not on this processor or build\n",
                  SimdPathName(path));
    }
  }
  told = true;
  return paths;
}

// Runs check once per available path, then restores the engine's choice.
template <typename Check>
void OnEveryPath(Check check) {
  const SimdPath chosen = CurrentSimdPath();
  for (SimdPath path : Paths()) {
    ASSERT_TRUE(UseSimdPath(path));
    SCOPED_TRACE(SimdPathName(path));
    check();
  }
  UseSimdPath(chosen);
}

struct Random {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(state >> 33);
  }
  int32_t Below(int32_t n) { return int32_t(Next() % uint32_t(n)); }
};

bool SamePixels(const std::vector<WorkPixel> &a,
                const std::vector<WorkPixel> &b) {
  return a.size() == b.size() &&
         std::memcmp(a.data(), b.data(), a.size() * sizeof(WorkPixel)) == 0;
}

// Counts the rows that differ, reporting the first.
struct Mismatches {
  int64_t count = 0;
  template <typename Describe>
  void Check(bool same, Describe describe) {
    if (!same && count++ == 0)
      ADD_FAILURE() << "first mismatch: " << describe();
  }
};

TEST(OptimisedColourSpace, Every8BitColourMatchesTheReference) {
  const int32_t redStep = kFull ? 1 : 5;
  std::vector<uint8_t> row(256 * 256 * 3), fastBack(row.size()),
      referenceBack(row.size());
  std::vector<WorkPixel> fast(256 * 256), expected(256 * 256);
  OnEveryPath([&] {
    Mismatches forward, inverse;
    for (int32_t r = 0; r < 256; r += redStep) {
      for (int32_t i = 0; i < 256 * 256; ++i) {
        row[3 * i] = uint8_t(r);
        row[3 * i + 1] = uint8_t(i >> 8);
        row[3 * i + 2] = uint8_t(i);
      }
      RgbToWork8(row.data(), 3, fast.data(), 256 * 256);
      reference::RgbToWork8(row.data(), 3, expected.data(), 256 * 256);
      forward.Check(SamePixels(fast, expected), [&] { return r; });
      // The inverse of every working pixel that a colour gives, with the
      // value it came with.
      WorkToRgb8(expected.data(), fastBack.data(), 3, 256 * 256);
      reference::WorkToRgb8(expected.data(), referenceBack.data(), 3,
                            256 * 256);
      inverse.Check(fastBack == referenceBack, [&] { return r; });
    }
    EXPECT_EQ(forward.count + inverse.count, 0);
  });
}

// The inverse over every saturation and value for hues at and around
// each sector's ends (where the interpolation offset is largest), and
// over every hue for saturations and values across their range.
TEST(OptimisedColourSpace, InverseMatchesTheReference) {
  const int32_t hues[] = {0,   1,   127,  254,  255,  256,  509,  510,
                          764, 765, 1019, 1020, 1274, 1275, 1276, 1529};
  const int32_t some[] = {0,   1,   2,    3,    255,  256,  511, 512,
                          513, 767, 1000, 1021, 1022, 1023, 1024};
  const int32_t step = kFull ? 1 : 13;
  std::vector<WorkPixel> work;
  std::vector<uint8_t> fast8, expected8;
  std::vector<uint16_t> fast16, expected16;
  const auto compare = [&](Mismatches &mismatches, int32_t what) {
    const int32_t n = int32_t(work.size());
    fast8.assign(3 * n, 0);
    expected8.assign(3 * n, 0);
    fast16.assign(3 * n, 0);
    expected16.assign(3 * n, 0);
    WorkToRgb8(work.data(), fast8.data(), 3, n);
    reference::WorkToRgb8(work.data(), expected8.data(), 3, n);
    WorkToRgb16(work.data(), fast16.data(), 3, n);
    reference::WorkToRgb16(work.data(), expected16.data(), 3, n);
    mismatches.Check(fast8 == expected8 && fast16 == expected16,
                     [&] { return what; });
  };
  OnEveryPath([&] {
    Mismatches byHue, bySaturation;
    for (int32_t hue : hues) {
      for (int32_t value = 0; value <= 1024; value += step) {
        work.clear();
        for (int32_t s = 0; s <= 1024; ++s) {
          work.push_back({uint16_t(hue), uint16_t(s), uint16_t(value)});
        }
        compare(byHue, hue * 10000 + value);
      }
    }
    for (int32_t s : some) {
      for (int32_t value = 0; value <= 1024; value += step) {
        work.clear();
        for (int32_t hue = 0; hue < 1530; ++hue) {
          work.push_back({uint16_t(hue), uint16_t(s), uint16_t(value)});
        }
        compare(bySaturation, s * 10000 + value);
      }
    }
    EXPECT_EQ(byHue.count + bySaturation.count, 0);
  });
}

// 16-bit colours are too many to try: every range below a set of
// largest channels (the saturation's divisor and numerator), several
// middle channels for each (the hue's numerator), in all six channel
// orders, and random colours over the whole 16-bit range.
TEST(OptimisedColourSpace, SixteenBitColoursMatchTheReference) {
  const uint32_t largest[] = {1,     2,     3,     31,    32,    33,    255,
                              256,   1000,  4095,  4096,  16383, 16384, 32767,
                              32768, 32769, 40000, 65534, 65535};
  const int32_t rangeStep = kFull ? 1 : 23;
  std::vector<uint16_t> row;
  std::vector<WorkPixel> fast, expected;
  Random random{5};
  OnEveryPath([&] {
    Mismatches mismatches;
    const auto compare = [&](uint32_t what) {
      const int32_t n = int32_t(row.size() / 3);
      fast.assign(n, WorkPixel{});
      expected.assign(n, WorkPixel{});
      RgbToWork16(row.data(), 3, fast.data(), n);
      reference::RgbToWork16(row.data(), 3, expected.data(), n);
      mismatches.Check(SamePixels(fast, expected), [&] { return what; });
    };
    for (uint32_t max : largest) {
      row.clear();
      for (uint32_t d = 0; d <= max; d += rangeStep) {
        const uint32_t min = max - d;
        for (uint32_t a : {0u, 1u, d / 3, d / 2, d - 1, d}) {
          if (a > d) continue;
          const uint32_t mid = min + a;
          const uint32_t orders[6][3] = {{max, mid, min}, {max, min, mid},
                                         {mid, max, min}, {min, max, mid},
                                         {mid, min, max}, {min, mid, max}};
          for (const auto &rgb : orders) {
            row.insert(row.end(),
                       {uint16_t(rgb[0]), uint16_t(rgb[1]), uint16_t(rgb[2])});
          }
        }
      }
      compare(max);
    }
    for (int32_t round = 0; round < (kFull ? 64 : 4); ++round) {
      row.clear();
      for (int32_t i = 0; i < 3 * 4096; ++i) {
        // Half the rows in the host's range, half beyond it.
        row.push_back(uint16_t(round % 2 ? random.Next() % 65536
                                         : random.Next() % 32769));
      }
      compare(100000 + uint32_t(round));
    }
    EXPECT_EQ(mismatches.count, 0);
  });
}

// Short rows, the ends of rows, pixel steps with samples the conversions
// must not touch, and rows longer than the conversions' chunks.
TEST(OptimisedColourSpace, RowsOfAnyLengthAndStep) {
  Random random{7};
  OnEveryPath([&] {
    for (int32_t round = 0; round < 400; ++round) {
      const int32_t count = round < 300 ? random.Below(70) : random.Below(700);
      const int32_t step = 3 + random.Below(4);
      const bool deep = round % 2 == 1;
      const int32_t samples = count * step + 1;
      std::vector<uint16_t> source(samples), before(samples);
      for (auto &s : source)
        s = uint16_t(deep ? random.Next() : random.Next() % 256);
      for (auto &s : before)
        s = uint16_t(deep ? random.Next() : random.Next() % 256);
      std::vector<WorkPixel> fast(count + 1, WorkPixel{1, 2, 3});
      std::vector<WorkPixel> expected(fast);
      if (deep) {
        RgbToWork16(source.data(), step, fast.data(), count);
        reference::RgbToWork16(source.data(), step, expected.data(), count);
      } else {
        const std::vector<uint8_t> bytes(source.begin(), source.end());
        RgbToWork8(bytes.data(), step, fast.data(), count);
        reference::RgbToWork8(bytes.data(), step, expected.data(), count);
      }
      ASSERT_TRUE(SamePixels(fast, expected))
          << "forward, count " << count << ", step " << step << ", deep "
          << deep;
      if (deep) {
        std::vector<uint16_t> out(before), outExpected(before);
        WorkToRgb16(expected.data(), out.data(), step, count);
        reference::WorkToRgb16(expected.data(), outExpected.data(), step,
                               count);
        ASSERT_EQ(out, outExpected)
            << "inverse, count " << count << ", step " << step;
      } else {
        std::vector<uint8_t> out(before.begin(), before.end()),
            outExpected(out);
        WorkToRgb8(expected.data(), out.data(), step, count);
        reference::WorkToRgb8(expected.data(), outExpected.data(), step, count);
        ASSERT_EQ(out, outExpected)
            << "inverse, count " << count << ", step " << step;
      }
    }
  });
}

// Noise over gradients and hard edges, in the full 16-bit range (past
// the host's white too) when deep.
HostImage RandomPicture(Random &random, int32_t width, int32_t height,
                        int32_t planes, int32_t depth) {
  HostImage image =
      MakeTestPicture(width, height, planes, depth, random.Next());
  const uint32_t top = depth == 16 ? 65536 : 256;
  const int32_t speckles = width * height / (1 + random.Below(8));
  for (int32_t i = 0; i < speckles; ++i) {
    SetSample(&image, random.Below(width), random.Below(height),
              random.Below(planes), random.Next() % top);
  }
  return image;
}

EngineSettings RandomSettings(Random &random) {
  // Reaches around the switch to 32-bit sums (r2 or r1 + 1 at 32), the
  // smallest and largest, and any.
  const int32_t radii[] = {0,   1,   9,   10,  16,  99,  100,
                           610, 619, 620, 630, 640, 999, 1000};
  EngineSettings settings;
  settings.radius =
      random.Below(3) == 0 ? random.Below(1001) : radii[random.Below(14)];
  settings.response = random.Below(4) == 0 ? 0 : random.Below(101);
  settings.spread = random.Below(101);
  if (random.Below(3) != 0) {
    for (int32_t &w : settings.weights) w = random.Below(201) - 100;
    // Red at 0 with other weights set still takes the colour path.
    if (random.Below(2) == 0) settings.weights[0] = 0;
  }
  return settings;
}

TEST(OptimisedTiles, MatchTheReferenceOnRandomPictures) {
  Random random{11};
  const int32_t rounds = kFull ? 48 : 12;
  OnEveryPath([&] {
    for (int32_t round = 0; round < rounds; ++round) {
      const int32_t depth = round % 2 == 0 ? 8 : 16;
      const int32_t planes = 3 + random.Below(3);
      const int32_t width = 1 + random.Below(round % 4 == 0 ? 40 : 600);
      const int32_t height = 1 + random.Below(round % 4 == 1 ? 40 : 330);
      const HostImage picture =
          RandomPicture(random, width, height, planes, depth);
      const EngineSettings settings = RandomSettings(random);
      const int16_t top = int16_t(random.Below(height));
      const int16_t left = int16_t(random.Below(width));
      const Rect area = {top, left,
                         int16_t(top + 1 + random.Below(height - top)),
                         int16_t(left + 1 + random.Below(width - left))};
      // The preview's reductions give reaches with no sixteenths left.
      const int32_t rate =
          0x10000 * (random.Below(3) == 0 ? 1 + random.Below(7) : 1);

      std::vector<std::vector<uint16_t>> blurred[2];
      HostImage results[2] = {picture, picture};
      for (int32_t engine = 0; engine < 2; ++engine) {
        HostRun run;
        run.inputRate = rate;
        if (engine == 1) run.processTile = reference::ProcessTileCounted;
        run.afterTile = [&](const FilterRecord &record) {
          const uint16_t *tile =
              engine == 0 ? BlurredTile : reference::BlurredTile;
          const int32_t rows = record.outRect.bottom - record.outRect.top;
          const int32_t columns = record.outRect.right - record.outRect.left;
          for (int32_t y = 0; y < rows; ++y) {
            blurred[engine].emplace_back(tile + y * kTileSide,
                                         tile + y * kTileSide + columns);
          }
        };
        ApplyEngineSettings(settings);
        FilterHostImage(picture, area, &results[engine], &run);
      }
      const std::string what =
          "round " + std::to_string(round) + ": " + std::to_string(width) +
          "x" + std::to_string(height) + ", depth " + std::to_string(depth) +
          ", planes " + std::to_string(planes) + ", radius " +
          std::to_string(settings.radius) + ", rate " +
          std::to_string(rate >> 16);
      ASSERT_EQ(blurred[0], blurred[1]) << what;
      ASSERT_EQ(results[0].bytes, results[1].bytes) << what;
    }
  });
}

// Hosts built with some compilers call with every float exception
// unmasked. The engine's entries (tables, input rectangle, tile) must
// neither trap nor let the host's rounding change a table or a pixel,
// and give the host's mode back.
TEST(OptimisedTiles, WorkInTheirOwnFloatMode) {
  const unsigned int saved = _mm_getcsr();
  // Round up, flush to zero, every exception unmasked, no flags.
  const unsigned int hostMode = 0x4000u | 0x8000u;
  EngineSettings settings;
  settings.radius = 13;
  settings.response = 70;
  settings.spread = 35;
  settings.weights[1] = -40;
  settings.weights[4] = 75;
  const HostImage picture = MakeTestPicture(70, 50, 4, 16, 9);
  const Rect area = {0, 0, 50, 70};
  HostImage expected = picture;
  ApplyEngineSettings(settings);
  FilterHostImage(picture, area, &expected);
  const std::vector<int32_t> response(std::begin(ResponseTable),
                                      std::end(ResponseTable));
  const std::vector<int32_t> hue(std::begin(HueWeightTable),
                                 std::end(HueWeightTable));
  const std::vector<int32_t> saturation(std::begin(SaturationWeightTable),
                                        std::end(SaturationWeightTable));
  const double reach = BlurReach;

  FilterRecord record;
  std::memset(&record, 0, sizeof record);
  record.inputRate = 0x10000;
  record.outRect = {0, 0, 10, 10};
  _mm_setcsr(hostMode);
  BuildSaturationWeights();
  PrepareEngineTables(&record);
  SetInputRectFromOutput(&record);
  const unsigned int afterTables = _mm_getcsr();
  _mm_setcsr(saved);
  EXPECT_EQ(afterTables & ~0x3Fu, hostMode);
  EXPECT_EQ(response, std::vector<int32_t>(std::begin(ResponseTable),
                                           std::end(ResponseTable)));
  EXPECT_EQ(hue, std::vector<int32_t>(std::begin(HueWeightTable),
                                      std::end(HueWeightTable)));
  EXPECT_EQ(saturation, std::vector<int32_t>(std::begin(SaturationWeightTable),
                                             std::end(SaturationWeightTable)));
  EXPECT_EQ(BlurReach, reach);
  EXPECT_EQ(record.inRect.top, -2);  // 1.3 pixels reach 2 pixels out
  EXPECT_EQ(record.inRect.right, 12);

  OnEveryPath([&] {
    HostImage result = picture;
    HostRun run;
    unsigned int afterTile = hostMode;
    run.processTile = [&](const FilterRecord *r) {
      _mm_setcsr(hostMode);
      const int32_t count = ProcessTileCounted(r);
      afterTile = _mm_getcsr();
      _mm_setcsr(saved);
      return count;
    };
    FilterHostImage(picture, area, &result, &run);
    EXPECT_EQ(afterTile & ~0x3Fu, hostMode);
    EXPECT_EQ(result.bytes, expected.bytes);
  });
}

}  // namespace
