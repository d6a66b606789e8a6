#include "dialog/hue_band.h"

#include "engine/colour_space.h"

int32_t StripHue(int32_t i, int32_t width) {
  int32_t hue = (i * int32_t(kHueSteps)) / width - int32_t(kHueSectorSteps / 2);
  if (hue < 0) hue += int32_t(kHueSteps);
  return hue;
}

void StripColour(int32_t i, int32_t width, uint8_t rgb[3]) {
  const WorkPixel pixel{uint16_t(StripHue(i, width)), uint16_t(kUnitScale),
                        uint16_t(kUnitScale)};
  uint16_t deep[3];
  WorkToRgb16(&pixel, deep, 3, 1);
  for (int c = 0; c < 3; ++c) rgb[c] = uint8_t((uint32_t(deep[c]) * 511) >> 16);
}
