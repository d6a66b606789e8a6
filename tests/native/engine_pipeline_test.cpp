#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "engine/engine.h"
#include "tests/support/test_host.h"

namespace {

using Pixel = std::array<uint32_t, 3>;

EngineSettings Settings(int32_t radius, int32_t response, int32_t spread,
                        int32_t redWeight = 0) {
  EngineSettings settings;
  settings.radius = radius;
  settings.response = response;
  settings.spread = spread;
  settings.weights[0] = redWeight;
  return settings;
}

HostImage Filter(const HostImage &image, const EngineSettings &settings,
                 HostRun *run = nullptr) {
  ApplyEngineSettings(settings);
  HostImage result = image;
  const Rect whole = {0, 0, int16_t(image.height), int16_t(image.width)};
  FilterHostImage(image, whole, &result, run);
  return result;
}

HostImage Flat(int32_t width, int32_t height, int32_t depth, Pixel c) {
  HostImage image = MakeHostImage(width, height, 3, depth);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) SetRgb(&image, x, y, c[0], c[1], c[2]);
  }
  return image;
}

std::vector<Pixel> RgbRow(const HostImage &image, int32_t y) {
  std::vector<Pixel> row;
  for (int32_t x = 0; x < image.width; ++x) {
    row.push_back({GetSample(image, x, y, 0), GetSample(image, x, y, 1),
                   GetSample(image, x, y, 2)});
  }
  return row;
}

std::vector<Pixel> Greys(std::vector<uint32_t> levels) {
  std::vector<Pixel> row;
  for (uint32_t level : levels) row.push_back({level, level, level});
  return row;
}

TEST(Sharpen, StepExamples) {
  const struct {
    EngineSettings settings;
    WorkPixel pixel;
    uint16_t blurred, expected;
  } cases[] = {
      {Settings(10, 50, 50), {0, 0, 600}, 500, 772},
      {Settings(10, 50, 50), {0, 0, 500}, 600, 371},
      {Settings(10, 50, 50, 100), {0, 1024, 600}, 500, 1024},
      {Settings(10, 50, 50, -100), {0, 1024, 600}, 500, 500},
      {Settings(10, 50, 50, 100), {0, 0, 600}, 500, 772},
      {Settings(10, 100, 100), {0, 0, 20}, 120, 0},
  };
  for (const auto &c : cases) {
    PrepareTablesFor(c.settings);
    WorkPixel pixel = c.pixel;
    SharpenValues(&c.blurred, &pixel.hue, &pixel.saturation, &pixel.value, 1);
    EXPECT_EQ(pixel.value, c.expected)
        << c.pixel.value << " against " << c.blurred << ", red weight "
        << c.settings.weights[0];
    EXPECT_EQ(pixel.hue, c.pixel.hue);
    EXPECT_EQ(pixel.saturation, c.pixel.saturation);
  }
}

TEST(WholeImage, GreyPointSharpensItsNeighbourhoodOnly) {
  HostImage image = Flat(9, 9, 8, {128, 128, 128});
  SetRgb(&image, 4, 4, 200, 200, 200);
  std::vector<uint16_t> blurredMiddle;
  HostRun run;
  run.afterTile = [&](const FilterRecord &) {
    blurredMiddle.assign(BlurredTile + 4 * kTileSide,
                         BlurredTile + 4 * kTileSide + 9);
  };
  const HostImage result = Filter(image, EngineSettings(), &run);
  EXPECT_EQ(blurredMiddle, (std::vector<uint16_t>{514, 514, 514, 545, 546, 545,
                                                  514, 514, 514}));
  for (int32_t y = 0; y < 9; ++y) {
    std::vector<uint32_t> expected(9, 128);
    if (y >= 3 && y <= 5) expected[3] = expected[4] = expected[5] = 125;
    if (y == 4) expected[4] = 255;
    EXPECT_EQ(RgbRow(result, y), Greys(expected)) << "row " << y;
  }
}

TEST(WholeImage, EdgeExamples) {
  // A vertical edge: columns 0-3 one colour, 4-8 another.
  const auto edge = [](Pixel left, Pixel right) {
    HostImage image = Flat(9, 9, 8, right);
    for (int32_t y = 0; y < 9; ++y) {
      for (int32_t x = 0; x < 4; ++x)
        SetRgb(&image, x, y, left[0], left[1], left[2]);
    }
    return image;
  };
  const HostImage grey = edge({100, 100, 100}, {150, 150, 150});
  const HostImage red = edge({100, 20, 20}, {200, 40, 40});
  const struct {
    const HostImage &image;
    EngineSettings settings;
    std::vector<Pixel> row;
  } cases[] = {
      {grey, Settings(10, 50, 50),
       Greys({100, 100, 100, 86, 170, 150, 150, 150, 150})},
      {grey, Settings(20, 100, 100),
       Greys({100, 100, 0, 0, 255, 255, 150, 150, 150})},
      // A negative red weight softens the red edge instead.
      {red,
       Settings(10, 50, 50, -100),
       {{100, 20, 20},
        {100, 20, 20},
        {100, 20, 20},
        {127, 25, 25},
        {174, 35, 35},
        {199, 40, 40},
        {200, 40, 40},
        {200, 40, 40},
        {200, 40, 40}}},
  };
  for (const auto &c : cases) {
    const HostImage result = Filter(c.image, c.settings);
    for (int32_t y = 0; y < 9; ++y) EXPECT_EQ(RgbRow(result, y), c.row) << y;
  }
  const HostImage sharpened = Filter(red, EngineSettings());
  for (int32_t y = 0; y < 9; ++y) {
    EXPECT_EQ(RgbRow(sharpened, y)[3], (Pixel{45, 9, 9})) << "row " << y;
    EXPECT_EQ(RgbRow(sharpened, y)[4], (Pixel{255, 51, 51})) << "row " << y;
  }
}

// Nothing to sharpen: every pixel comes back exactly (8 bits) or on the
// value grid (16 bits), across tile edges and up to the widest reach
// that keeps constant lines exact.
TEST(WholeImage, FlatImagesComeBackOnTheValueGrid) {
  const struct {
    int32_t depth;
    Pixel in, out;
  } cases[] = {
      {8, {128, 128, 128}, {128, 128, 128}},
      {8, {128, 64, 32}, {128, 64, 32}},
      {8, {255, 0, 1}, {255, 0, 1}},
      {8, {0, 0, 0}, {0, 0, 0}},
      {16, {1000, 500, 0}, {992, 498, 0}},
      {16, {16384, 8192, 4096}, {16384, 8192, 4096}},
  };
  for (int32_t radius : {0, 100, 530}) {
    for (const auto &c : cases) {
      const HostImage result =
          Filter(Flat(300, 20, c.depth, c.in), Settings(radius, 50, 50, 100));
      EXPECT_EQ(result.bytes, Flat(300, 20, c.depth, c.out).bytes)
          << "radius " << radius << ", depth " << c.depth << ", red "
          << c.in[0];
    }
  }
}

bool SameRect(const Rect &a, const Rect &b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom &&
         a.right == b.right;
}

// The tiles' order and rectangles are checked through the run
// (tests/module/run_test.cpp); here, that an empty area has none.
TEST(TileWalk, AnEmptyAreaHasNoTiles) {
  FilterRecord empty{};
  empty.filterRect = {10, 10, 10, 50};
  EXPECT_FALSE(NextTile(&empty));
  EXPECT_FALSE(NextTile(&empty));
}

// A pixel's result depends on its neighbourhood, not on where the tiles
// fall: filtering part of the image gives the same pixels there as
// filtering all of it, and leaves the rest alone.
TEST(WholeImage, ResultsDoNotDependOnTiling) {
  EngineSettings settings = Settings(100, 60, 70);
  const int32_t weights[6] = {60, -40, 100, -100, 30, -20};
  std::copy(weights, weights + 6, settings.weights);
  const Rect area = {100, 130, 290, 470};
  for (int32_t depth : {8, 16}) {
    for (int32_t radius : {100, 1000}) {
      settings.radius = radius;
      const HostImage picture =
          MakeTestPicture(600, 300, depth == 8 ? 3 : 4, depth, 11);
      const HostImage whole = Filter(picture, settings);
      HostImage part = picture;
      FilterHostImage(picture, area, &part);
      int32_t wrong = 0;
      for (int32_t y = 0; y < 300; ++y) {
        for (int32_t x = 0; x < 600; ++x) {
          const bool inside = y >= area.top && y < area.bottom &&
                              x >= area.left && x < area.right;
          for (int32_t p = 0; p < picture.planes; ++p) {
            wrong += GetSample(part, x, y, p) !=
                     GetSample(inside ? whole : picture, x, y, p);
          }
        }
      }
      EXPECT_EQ(wrong, 0) << "depth " << depth << ", radius " << radius;
    }
  }
}

Rect Grown(const Rect &r, int32_t by) {
  return {int16_t(r.top - by), int16_t(r.left - by), int16_t(r.bottom + by),
          int16_t(r.right + by)};
}

// What a host delivered, judged before the engine reads a byte of it: a
// false yes lets the engine read outside the host's buffer or filter from
// the wrong pixels; a false no stops a run that could have finished.
TEST(DeliveredTiles, UsedWhenTheyCoverTheTileElseRefused) {
  const Rect image{0, 0, 100, 300};
  const Rect out{0, 256, 100, 300};  // the last tile of a band
  const Rect wanted = Grown(out, 3);
  uint8_t pixels[1];
  const struct {
    const char *what;
    bool padded;
    void (*deliver)(FilterRecord *);  // after a faithful delivery
    bool taken;
    Rect usable;
  } cases[] = {
      {"a padding host: all that was wanted", true, [](FilterRecord *) {}, true,
       Grown(out, 3)},
      {"a padding host that clipped after all", true,
       [](FilterRecord *r) {
         r->inRect = Rect{0, 253, 100, 300};
       },
       true, Rect{0, 253, 100, 300}},
      {"no padding: the image's part of it", false, [](FilterRecord *) {}, true,
       Rect{0, 253, 100, 300}},
      {"more than asked, still read from the image's part", false,
       [](FilterRecord *r) {
         r->inRect = Rect{0, 250, 100, 300};
       },
       true, Rect{0, 253, 100, 300}},
      {"a column short", false, [](FilterRecord *r) { r->inRect.right = 299; },
       false, Rect{}},
      {"the output rectangle moved", false,
       [](FilterRecord *r) { r->outRect.left = 255; }, false, Rect{}},
      {"no input buffer", false, [](FilterRecord *r) { r->inData = nullptr; },
       false, Rect{}},
      {"another plane range", false, [](FilterRecord *r) { r->inHiPlane = 1; },
       false, Rect{}},
      {"input rows shorter than the rectangle", false,
       [](FilterRecord *r) { r->inRowBytes = 47 * 3 - 1; }, false, Rect{}},
      {"output rows shorter than the tile", false,
       [](FilterRecord *r) { r->outRowBytes = 44 * 3 - 1; }, false, Rect{}},
  };
  for (const auto &c : cases) {
    FilterRecord r{};
    r.planes = 3;
    r.depth = 8;
    r.supportsPadding = c.padded;
    r.inRect = wanted;
    r.outRect = out;
    const AskedTile asked = AskForTile(&r, image);
    EXPECT_TRUE(SameRect(r.inRect, c.padded ? wanted : Rect{0, 253, 100, 300}))
        << c.what;
    // The host serves what it was asked.
    r.inData = r.outData = pixels;
    r.inHiPlane = r.outHiPlane = 2;
    r.inRowBytes = 64 * 3;
    r.outRowBytes = 44 * 3;
    c.deliver(&r);
    HostTile tile{};
    EXPECT_EQ(TakeDeliveredTile(&r, asked, out, &tile), c.taken) << c.what;
    if (c.taken) {
      EXPECT_TRUE(SameRect(tile.inUsable, c.usable)) << c.what;
      EXPECT_TRUE(SameRect(tile.inRect, r.inRect)) << c.what;
      EXPECT_TRUE(SameRect(tile.outRect, out)) << c.what;
    }
  }
}

}  // namespace
