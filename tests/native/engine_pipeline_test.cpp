// The sharpening step and whole images through the tile pipeline, and
// what the engine makes of the tiles a host delivers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "engine/dispatch.h"
#include "engine/engine.h"
#include "engine/reference.h"
#include "tests/support/test_host.h"

namespace {

using Pixel = std::array<uint32_t, 3>;

HostImage Filter(const HostImage &image, const EngineSettings &settings) {
  ApplyEngineSettings(settings);
  HostImage result = image;
  const Rect whole = {0, 0, int16_t(image.height), int16_t(image.width)};
  FilterHostImage(image, whole, &result);
  return result;
}

// A 9 x 9 8-bit image: columns 0 to 3 of one colour, the rest another.
HostImage Image(Pixel left, Pixel right) {
  HostImage image = MakeImage(9, 9, 3, 8);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 9; ++x)
      for (int32_t p = 0; p < 3; ++p)
        SampleAt(image, x, y, p) = uint16_t(x < 4 ? left[p] : right[p]);
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

TEST(Sharpen, StepExamples) {
  const struct {
    EngineSettings settings;
    WorkPixel pixel;
    uint16_t blurred, expected;
  } cases[] = {
      {{10, 50, 50}, {0, 0, 600}, 500, 772},
      {{10, 50, 50}, {0, 0, 500}, 600, 371},
      {{10, 50, 50, {100}}, {0, 1024, 600}, 500, 1024},
      {{10, 50, 50, {-100}}, {0, 1024, 600}, 500, 500},
      {{10, 50, 50, {100}}, {0, 0, 600}, 500, 772},
      // Green's anchor as red's, with red at 0.
      {{10, 50, 50, {0, 0, -100}}, {510, 1024, 600}, 500, 500},
      {{10, 100, 100}, {0, 0, 20}, 120, 0},
  };
  for (const auto &c : cases) {
    PrepareTablesFor(c.settings);
    WorkPixel pixel = c.pixel;
    SharpenValues(&c.blurred, &pixel.hue, &pixel.saturation, &pixel.value, 1);
    EXPECT_EQ(pixel.value, c.expected)
        << c.pixel.value << " against " << c.blurred << ", red weight "
        << c.settings.weights[0];
  }
}

// A vertical edge between columns 3 and 4, the same in every row; the
// columns further out than 2 and 5 keep their colour.
TEST(WholeImage, EdgeExamples) {
  const HostImage grey = Image({100, 100, 100}, {150, 150, 150});
  const HostImage red = Image({100, 20, 20}, {200, 40, 40});
  const struct {
    const HostImage &image;
    EngineSettings settings;
    Pixel columns2To5[4];
  } cases[] = {
      {grey,
       {10, 50, 50},
       {{100, 100, 100}, {86, 86, 86}, {170, 170, 170}, {150, 150, 150}}},
      {grey,
       {20, 100, 100},
       {{0, 0, 0}, {0, 0, 0}, {255, 255, 255}, {255, 255, 255}}},
      {red,
       {10, 50, 50},
       {{100, 20, 20}, {45, 9, 9}, {255, 51, 51}, {200, 40, 40}}},
      // A negative red weight softens the red edge instead.
      {red,
       {10, 50, 50, {-100}},
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
  EngineSettings settings{100, 60, 70, {60, -40, 100, -100, 30, -20}};
  const Rect area = {100, 130, 290, 470};
  for (int32_t depth : {8, 16}) {
    for (int32_t radius : {100, 1000}) {
      settings.radius = radius;
      const HostImage picture =
          MakeTestPattern(600, 300, depth == 8 ? 3 : 4, depth);
      const HostImage whole = Filter(picture, settings);
      HostImage expected = picture;
      for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x)
          for (int32_t p = 0; p < picture.planes; ++p)
            SampleAt(expected, x, y, p) = SampleAt(whole, x, y, p);
      HostImage part = picture;
      FilterHostImage(picture, area, &part);
      EXPECT_TRUE(part.samples == expected.samples)
          << "depth " << depth << ", radius " << radius;
    }
  }
}

// Every kernel path filters as the reference engine does. The picture
// keeps each row's largest channel flat but for sparse dots, so that
// runs the step leaves alone lie beside runs it changes, and its rows
// end short of a whole vector.
TEST(WholeImage, EveryPathAsTheReference) {
  const struct {
    int32_t depth, planes;
    EngineSettings settings;
  } cases[] = {{8, 3, {10}},
               {8, 4, {30}},
               {16, 3, {10, 100, 100}},
               {8, 3, {10, 50, 50, {60, -40}}},
               {16, 4, {1000}}};
  const SimdPath chosen = CurrentSimdPath();
  for (const auto &c : cases) {
    HostImage picture = MakeImage(301, 40, c.planes, c.depth);
    const uint32_t scale = c.depth == 16 ? 128 : 1;
    for (int32_t y = 0; y < picture.height; ++y)
      for (int32_t x = 0; x < picture.width; ++x)
        for (int32_t p = 0; p < c.planes; ++p)
          SampleAt(picture, x, y, p) =
              uint16_t(scale * (p == 0 ? (x % 37 == 0 && y % 5 == 0 ? 40 : 200)
                                       : uint32_t(x * (7 + 6 * p) + y) % 201));
    ApplyEngineSettings(c.settings);
    const Rect whole = {0, 0, int16_t(picture.height), int16_t(picture.width)};
    // Output buffers that hold none of the picture: every sample the
    // engine leaves out shows.
    const HostImage blank = MakeImage(301, 40, c.planes, c.depth);
    HostImage expected = blank;
    HostRun reference;
    reference.processTile = reference::ProcessTileCounted;
    FilterHostImage(picture, whole, &expected, &reference);
    for (SimdPath path : kSimdPaths) {
      if (!UseSimdPath(path)) continue;
      HostImage filtered = blank;
      FilterHostImage(picture, whole, &filtered);
      EXPECT_TRUE(filtered.samples == expected.samples)
          << SimdPathName(path) << ", " << c.depth << " bits, " << c.planes
          << " planes";
    }
  }
  UseSimdPath(chosen);
}

// A gray document is sharpened as the RGB document whose three channels
// hold its gray, whatever the settings (colour weights too); a
// transparency plane comes back as it was.
TEST(WholeImage, GrayAsReplicatedRgb) {
  const struct {
    int32_t depth, planes, width, height;
    EngineSettings settings;
    Rect area;
  } cases[] = {
      {8, 1, 301, 259, {0, 50, 50, {100}}, {0, 0, 259, 301}},
      {8, 2, 301, 259, {1000, 100, 100, {-100, 50}}, {3, 250, 259, 301}},
      {16, 1, 257, 300, {1000, 37, 91, {0, 0, 100}}, {3, 250, 259, 257}},
      {16, 2, 1, 3, {13, 100, 0, {-100, -100, -100}}, {0, 0, 3, 1}},
  };
  const SimdPath chosen = CurrentSimdPath();
  for (SimdPath path : kSimdPaths) {
    if (!UseSimdPath(path)) continue;
    for (const auto &c : cases) {
      const HostImage gray =
          MakeTestPattern(c.width, c.height, c.planes, c.depth);
      ApplyEngineSettings(c.settings);
      HostImage filtered = gray;
      FilterHostImage(gray, c.area, &filtered);
      EXPECT_TRUE(filtered.samples == GrayThroughRgb(gray, c.area).samples)
          << SimdPathName(path) << ", " << c.depth << " bits, " << c.planes
          << " planes";
    }
  }
  UseSimdPath(chosen);
}

bool SameRect(const Rect &a, const Rect &b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The last tile of a band, its input reaching past the image's corner.
constexpr Rect kImage{0, 0, 100, 300}, kOut{0, 256, 100, 300},
    kWanted{-3, 253, 103, 303}, kInside{0, 253, 100, 300}, kNone{};

// What a host delivered, judged before the engine reads a byte of it: a
// false yes lets the engine read outside the host's buffer or filter from
// the wrong pixels; a false no stops a run that could have finished.
TEST(DeliveredTiles, UsedWhenTheyCoverTheTileElseRefused) {
  uint8_t pixels[1];
  const struct {
    const char *what;
    bool padded;
    void (*deliver)(FilterRecord *);  // after a faithful delivery
    bool taken;
    Rect usable;
  } cases[] = {
      {"padded: all that was wanted", true, [](FilterRecord *) {}, true,
       kWanted},
      {"padded, but clipped after all", true,
       [](FilterRecord *r) { r->inRect = kInside; }, true, kInside},
      {"unpadded: the image's part", false, [](FilterRecord *) {}, true,
       kInside},
      {"more than asked: still the image's part", false,
       [](FilterRecord *r) { r->inRect.left = 250; }, true, kInside},
      {"a column short", false, [](FilterRecord *r) { r->inRect.right = 299; },
       false, kNone},
      {"the output moved", false,
       [](FilterRecord *r) { r->outRect.left = 255; }, false, kNone},
      {"no input buffer", false, [](FilterRecord *r) { r->inData = nullptr; },
       false, kNone},
      {"another plane range", false, [](FilterRecord *r) { r->inHiPlane = 1; },
       false, kNone},
      {"input rows short of the rectangle", false,
       [](FilterRecord *r) { r->inRowBytes = 47 * 3 - 1; }, false, kNone},
      {"output rows short of the tile", false,
       [](FilterRecord *r) { r->outRowBytes = 44 * 3 - 1; }, false, kNone},
  };
  for (const auto &c : cases) {
    FilterRecord r{};
    r.planes = 3;
    r.depth = 8;
    r.supportsPadding = c.padded;
    r.inRect = kWanted;
    r.outRect = kOut;
    const AskedTile asked = AskForTile(&r, kImage);
    EXPECT_TRUE(SameRect(r.inRect, c.padded ? kWanted : kInside)) << c.what;
    // The host serves what it was asked.
    r.inData = r.outData = pixels;
    r.inHiPlane = r.outHiPlane = 2;
    r.inRowBytes = 64 * 3;
    r.outRowBytes = 44 * 3;
    c.deliver(&r);
    HostTile tile{};
    EXPECT_EQ(TakeDeliveredTile(&r, asked, kOut, &tile), c.taken) << c.what;
    EXPECT_TRUE(!c.taken || SameRect(tile.inUsable, c.usable)) << c.what;
  }
}

}  // namespace
