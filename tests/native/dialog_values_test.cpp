// The dialog's portable arithmetic: slider positions, the number text of
// the edit boxes and the hue strip.
#include <gtest/gtest.h>

#include <cstring>

#include "dialog/hue_band.h"
#include "dialog/slider_values.h"
#include "params/params.h"

namespace {

TEST(SliderPosition, VerticalSlidersHaveTheHighEndOnTopAndADetent) {
  const struct {
    int32_t position, low, high;
    bool vertical;
    int32_t value;
  } cases[] = {
      {-100, -100, 100, true, 100},  // top
      {-2, -100, 100, true, 0},      // within the detent: -2..2
      {2, -100, 100, true, 0},
      {3, -100, 100, true, -3},
      {-3, -100, 100, true, 3},
      {2, 0, 100, false, 2},  // no detent without negative values
  };
  for (const auto &c : cases) {
    EXPECT_EQ(SliderValueFromPosition(c.position, c.low, c.high, c.vertical),
              c.value)
        << "position " << c.position;
    if (c.value != 0) {
      EXPECT_EQ(SliderPositionFromValue(c.value, c.low, c.high, c.vertical),
                c.position)
          << "value " << c.value;
    }
  }
}

// Half the radius slider's travel reaches 25 pixels, a tenth 1 pixel;
// every value's position reads back within the step of 2 near the top.
TEST(SliderPosition, RadiusTravelIsSquareLaw) {
  const int32_t values[][2] = {{0, 0}, {100, 10}, {500, 250}, {1000, 1000}};
  for (const auto &c : values)
    EXPECT_EQ(SquareLawValue(c[0], 1000), c[1]) << "position " << c[0];
  for (int32_t v = 0; v <= 1000; ++v)
    EXPECT_NEAR(SquareLawValue(SquareLawPosition(v, 1000), 1000), v, 1) << v;
}

TEST(EditText, RadiusBoxUnitsComeFromTheDigitsTyped) {
  const struct {
    const char *text;
    bool ok;
    int32_t units;
  } cases[] = {
      {"0.7", true, 7},   // 0.7f x 10 would truncate to 6
      {"0.75", true, 7},  // truncated, not rounded
      {"12.34", true, 123},
      {"100.0", true, 1000},  // the top end itself
      {"100.1", false, 1000},
      {"1,5", true, 15},
      {" - 0", true, 0},
      {"1.2.3", true, 123},  // the second separator restarts the fraction
      {"", false, 0},        // no text: the low end
      {"-0.1", false, 0},
      {"abc", true, 0},  // no digits reads as 0
      {"99999999999999999999", false, 1000},
  };
  for (const auto &c : cases) {
    PString text;
    text[0] = (unsigned char)std::strlen(c.text);
    std::memcpy(text + 1, c.text, text[0]);
    int32_t units = -42;
    EXPECT_EQ(EditUnitsFromText(text, 1, 0, 1000, &units), c.ok) << c.text;
    EXPECT_EQ(units, c.units) << c.text;
  }
}

TEST(HueStrip, ColumnsOfAStripOf120) {
  const struct {
    int32_t column, hue;
    uint8_t r, g, b;
  } cases[] = {
      {0, 1403, 255, 0, 127},   {10, 0, 255, 0, 0},
      {30, 255, 255, 255, 0},   {50, 510, 0, 255, 0},
      {70, 765, 0, 255, 255},   {90, 1020, 0, 0, 255},
      {110, 1275, 255, 0, 255}, {119, 1390, 255, 0, 140},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(StripHue(c.column, 120), c.hue) << c.column;
    uint8_t rgb[3];
    StripColour(c.column, 120, rgb);
    EXPECT_EQ(rgb[0], c.r) << c.column;
    EXPECT_EQ(rgb[1], c.g) << c.column;
    EXPECT_EQ(rgb[2], c.b) << c.column;
  }
}

}  // namespace
