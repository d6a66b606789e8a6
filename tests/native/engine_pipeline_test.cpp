// The sharpening step and whole images through the tile pipeline, and
// what the engine makes of the tiles a host delivers.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/engine.h"
#include "tests/support/test_host.h"

namespace {

using Pixel = std::array<uint32_t, 3>;

EngineSettings Settings(int32_t radius, int32_t response, int32_t spread,
                        int32_t redWeight = 0, int32_t greenWeight = 0) {
  EngineSettings settings;
  settings.radius = radius;
  settings.response = response;
  settings.spread = spread;
  settings.weights[0] = redWeight;
  settings.weights[2] = greenWeight;
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

// A 9 x 9 8-bit image of one colour, or of two: the columns from split on
// right.
HostImage Image(Pixel left, int32_t split = 9, Pixel right = {}) {
  HostImage image = MakeImage(9, 9, 3, 8);
  for (int32_t y = 0; y < 9; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      for (int32_t p = 0; p < 3; ++p)
        SampleAt(image, x, y, p) = uint16_t(x < split ? left[p] : right[p]);
    }
  }
  return image;
}

std::vector<Pixel> RgbRow(const HostImage &image, int32_t y) {
  std::vector<Pixel> row;
  for (int32_t x = 0; x < image.width; ++x) {
    row.push_back({SampleAt(image, x, y, 0), SampleAt(image, x, y, 1),
                   SampleAt(image, x, y, 2)});
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
      // Green's anchor as red's, with red at 0.
      {Settings(10, 50, 50, 0, -100), {510, 1024, 600}, 500, 500},
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
  HostImage image = Image({128, 128, 128});
  for (int32_t p = 0; p < 3; ++p) SampleAt(image, 4, 4, p) = 200;
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

// A vertical edge between columns 3 and 4, the same in every row; the
// columns further out than 2 and 5 keep their colour.
TEST(WholeImage, EdgeExamples) {
  const HostImage grey = Image({100, 100, 100}, 4, {150, 150, 150});
  const HostImage red = Image({100, 20, 20}, 4, {200, 40, 40});
  const struct {
    const HostImage &image;
    EngineSettings settings;
    Pixel columns2To5[4];
  } cases[] = {
      {grey,
       Settings(10, 50, 50),
       {{100, 100, 100}, {86, 86, 86}, {170, 170, 170}, {150, 150, 150}}},
      {grey,
       Settings(20, 100, 100),
       {{0, 0, 0}, {0, 0, 0}, {255, 255, 255}, {255, 255, 255}}},
      {red,
       Settings(10, 50, 50),
       {{100, 20, 20}, {45, 9, 9}, {255, 51, 51}, {200, 40, 40}}},
      // A negative red weight softens the red edge instead.
      {red,
       Settings(10, 50, 50, -100),
       {{100, 20, 20}, {127, 25, 25}, {174, 35, 35}, {199, 40, 40}}},
  };
  for (const auto &c : cases) {
    std::vector<Pixel> expected = RgbRow(c.image, 0);
    std::copy(c.columns2To5, c.columns2To5 + 4, expected.begin() + 2);
    const HostImage result = Filter(c.image, c.settings);
    for (int32_t y = 0; y < 9; ++y) EXPECT_EQ(RgbRow(result, y), expected) << y;
  }
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
      HostImage expected = Filter(picture, settings);
      for (int32_t y = 0; y < 300; ++y) {
        for (int32_t x = 0; x < 600; ++x) {
          if (y >= area.top && y < area.bottom && x >= area.left &&
              x < area.right)
            continue;
          for (int32_t p = 0; p < picture.planes; ++p)
            SampleAt(expected, x, y, p) = SampleAt(picture, x, y, p);
        }
      }
      HostImage part = picture;
      FilterHostImage(picture, area, &part);
      EXPECT_TRUE(part.samples == expected.samples)
          << "depth " << depth << ", radius " << radius;
    }
  }
}

bool SameRect(const Rect &a, const Rect &b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom &&
         a.right == b.right;
}

// What a host delivered, judged before the engine reads a byte of it: a
// false yes lets the engine read outside the host's buffer or filter from
// the wrong pixels; a false no stops a run that could have finished.
TEST(DeliveredTiles, UsedWhenTheyCoverTheTileElseRefused) {
  const Rect image{0, 0, 100, 300};
  const Rect out{0, 256, 100, 300};  // the last tile of a band
  const Rect wanted{-3, 253, 103, 303};
  const Rect inside{0, 253, 100, 300};
  uint8_t pixels[1];
  const struct {
    const char *what;
    bool padded;
    void (*deliver)(FilterRecord *);  // after a faithful delivery
    bool taken;
    Rect usable;
  } cases[] = {
      {"a padding host: all that was wanted", true, [](FilterRecord *) {}, true,
       wanted},
      {"a padding host that clipped after all", true,
       [](FilterRecord *r) {
         r->inRect = Rect{0, 253, 100, 300};
       },
       true, inside},
      {"no padding: the image's part of it", false, [](FilterRecord *) {}, true,
       inside},
      {"more than asked, still read from the image's part", false,
       [](FilterRecord *r) {
         r->inRect = Rect{0, 250, 100, 300};
       },
       true, inside},
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
    EXPECT_TRUE(SameRect(r.inRect, c.padded ? wanted : inside)) << c.what;
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
