// The colours of the hue strip under the colour sliders: fully saturated
// hues from the working colour space's own inverse conversion, shifted
// by half a sector so that each pure hue lies under the middle of its
// slider. Portable.
#pragma once

#include <cstdint>

// The hue (0..1529) of column i of a strip whose inner width is width.
int32_t StripHue(int32_t i, int32_t width);
// That column's colour, 8 bits per channel, red, green, blue.
void StripColour(int32_t i, int32_t width, uint8_t rgb[3]);
