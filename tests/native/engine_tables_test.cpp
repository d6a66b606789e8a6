#include <gtest/gtest.h>

#include <utility>

#include "engine/engine.h"
#include "tests/support/test_host.h"

namespace {

int32_t Response(int32_t d) { return ResponseTable[kResponseMiddle + d]; }

TEST(EngineTables, ResponseCurveValues) {
  const struct {
    int32_t response, spread, d, expected;
  } cases[] = {
      {50, 50, 1, 0},         {50, 50, 10, 2},     {50, 50, 100, 172},
      {50, 50, 1023, 6394},   {50, 50, -10, -1},   {50, 50, -100, -129},
      {50, 50, -1023, -4795}, {50, 50, 0, 0},      {100, 100, 1, 2},
      {100, 100, 200, 10000}, {100, 100, -1, -2},  {100, 100, -100, -3728},
      {100, 50, 10, 24},      {100, 50, 100, 621}, {100, 50, -100, -466},
  };
  for (const auto &c : cases) {
    PrepareTablesFor({10, c.response, c.spread});
    EXPECT_EQ(Response(c.d), c.expected)
        << "response " << c.response << ", spread " << c.spread << ", d "
        << c.d;
  }
  // Either control at 0 switches sharpening off for every difference a
  // pixel can have (|d| <= 1023).
  for (auto [response, spread] : {std::pair{100, 0}, std::pair{0, 100}}) {
    PrepareTablesFor({10, response, spread});
    int32_t nonZero = 0;
    for (int32_t d = -1023; d <= 1023; ++d) nonZero += Response(d) != 0;
    EXPECT_EQ(nonZero, 0) << "response " << response << ", spread " << spread;
  }
}

// The quiet run around 0 is every difference that answers 0 there: the
// way out lists only the pixels beyond it.
TEST(EngineTables, QuietRunOfTheResponse) {
  for (auto [response, spread] : {std::pair{50, 50}, std::pair{100, 100},
                                  std::pair{10, 90}, std::pair{0, 100}}) {
    PrepareTablesFor({10, response, spread});
    for (int32_t d = QuietLow; d <= QuietHigh; ++d) EXPECT_EQ(Response(d), 0);
    EXPECT_TRUE(QuietLow == -kResponseMiddle || Response(QuietLow - 1) != 0);
    EXPECT_TRUE(QuietHigh == kResponseMiddle || Response(QuietHigh + 1) != 0);
    EXPECT_TRUE(QuietLow <= 0 && QuietHigh >= 0);
  }
}

TEST(EngineTables, SaturationWeights) {
  BuildSaturationWeights();
  // A third instead of 0.333 would give 173 and 275 at 5 and 20.
  const std::pair<int32_t, int32_t> entries[] = {
      {0, 0},   {1, 101},  {2, 128},   {3, 146},
      {5, 174}, {20, 276}, {512, 812}, {1024, 1024}};
  for (const auto &[s, expected] : entries) {
    EXPECT_EQ(SaturationWeightTable[s], expected) << "saturation " << s;
  }
}

TEST(EngineTables, BlurReachFromRadiusAndRate) {
  const struct {
    int32_t radius, rate;
    double reach;
  } cases[] = {{0, 0x10000, 0.05},
               {10, 0x10000, 1.05},
               {10, 0x20000, 0.55},
               {20, 0x10000, 2.05},
               {1000, 0x10000, 100.05}};
  for (const auto &c : cases) {
    PrepareTablesFor({c.radius}, c.rate);
    EXPECT_NEAR(BlurReach, c.reach, 1e-9) << "radius " << c.radius;
  }
}

TEST(EngineTables, HueWeights) {
  PrepareTablesFor({10, 50, 50, {100}});
  const std::pair<int32_t, int32_t> redEntries[] = {
      {0, 1024}, {64, 872}, {127, 515},  {128, 508},
      {254, 0},  {255, 0},  {1400, 496}, {1529, 1023}};
  for (const auto &[hue, expected] : redEntries) {
    EXPECT_EQ(HueWeightTable[hue], expected) << "hue " << hue;
  }

  PrepareTablesFor({10, 50, 50, {-100, 50, 33, -33, 1, -1}});
  const int32_t anchors[6] = {-1024, 512, 337, -337, 10, -10};
  for (int32_t k = 0; k < 6; ++k) {
    EXPECT_EQ(HueWeightTable[255 * k], anchors[k]) << "anchor " << k;
  }
}

}  // namespace
