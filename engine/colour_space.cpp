// Working colour space conversions. Integer arithmetic only: one table
// lookup (8-bit) or one division (16-bit) for the hue, one division for
// the saturation, shifts for the value.
#include "engine/colour_space.h"

namespace {

constexpr std::array<uint8_t, 256 * 256> MakeRatioTable() {
  std::array<uint8_t, 256 * 256> table{};
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t c = 0; c < 256; ++c) {
      uint32_t ratio = 0;
      if (a != 0) ratio = c == 0 ? 255 : (255 * a + c / 2) / c;
      table[a * 256 + c] = uint8_t(ratio > 255 ? 255 : ratio);
    }
  }
  return table;
}

// The six hue sectors, in the order their conditions are tested. Each
// sector's hue is an anchor plus or minus the middle channel's position
// between the smallest and the largest, in 255 steps.
enum HueRow {
  kRedToYellow,
  kMagentaToRed,
  kBlueToMagenta,
  kCyanToBlue,
  kGreenToCyan,
  kYellowToGreen,
};

struct Chroma {
  uint32_t max;        // largest channel
  uint32_t range;      // largest minus smallest, never 0 here
  uint32_t numerator;  // middle minus smallest
  HueRow row;
};

// Not for greys (r = g = b): they have no hue and are handled first.
inline Chroma ClassifyRgb(uint32_t r, uint32_t g, uint32_t b) {
  if (r >= g) {
    if (g >= b) return {r, r - b, g - b, kRedToYellow};
    if (r >= b) return {r, r - g, b - g, kMagentaToRed};
    return {b, b - g, r - g, kBlueToMagenta};
  }
  if (g <= b) return {b, b - r, g - r, kCyanToBlue};
  if (r <= b) return {g, g - r, b - r, kGreenToCyan};
  return {g, g - b, r - b, kYellowToGreen};
}

inline uint32_t HueFromRatio(HueRow row, uint32_t ratio) {
  switch (row) {
    case kRedToYellow:
      return ratio;
    case kMagentaToRed:
      return kHueSteps - ratio;
    case kBlueToMagenta:
      return 4 * kHueSectorSteps + ratio;
    case kCyanToBlue:
      return 4 * kHueSectorSteps - ratio;
    case kGreenToCyan:
      return 2 * kHueSectorSteps + ratio;
    case kYellowToGreen:
      break;
  }
  return 2 * kHueSectorSteps - ratio;
}

inline uint16_t SaturationOf(const Chroma &chroma) {
  return uint16_t((chroma.max / 2 + kUnitScale * chroma.range) / chroma.max);
}

// 257/64 is just above 1024/255: white lands exactly on 1024.
inline uint16_t ValueFrom8(uint32_t sample) {
  return uint16_t((257 * sample + 33) >> 6);
}

// Samples above the host's 32768 would give values past 1024, beyond
// every table the sharpening step reads; such a pixel is taken as white
// in value while keeping the hue and saturation of its samples.
inline uint16_t ValueFrom16(uint32_t sample) {
  const uint32_t value = (sample + 16) >> 5;
  return uint16_t(value > kUnitScale ? kUnitScale : value);
}

// Writes the three channels of a coloured pixel whose largest and
// smallest channels are hi and lo (any sample width): the hue picks the
// sector and, within it, where the middle channel lies between them.
template <typename Sample>
inline void StoreHueChannels(uint32_t hue, int32_t hi, int32_t lo,
                             Sample *out) {
  // One sector of 255 hue steps becomes 32768 steps of P.
  const int32_t p = int32_t((65793 * hue + 256) >> 9);
  int32_t sector = p >> 15;
  int32_t offset;
  if (sector < 5) {
    offset = p - 32768 * (sector + 1);  // -32768..-1
  } else {
    sector = 5;
    offset = p - 5 * 32768;  // 0..32767
  }
  // Floor division by 32768, rounding half up.
  const int32_t e = ((hi - lo) * offset + 16384) >> 15;
  int32_t r, g, b;
  switch (sector) {
    case 0:
      r = hi, g = hi + e, b = lo;
      break;
    case 1:
      r = lo - e, g = hi, b = lo;
      break;
    case 2:
      r = lo, g = hi, b = hi + e;
      break;
    case 3:
      r = lo, g = lo - e, b = hi;
      break;
    case 4:
      r = hi + e, g = lo, b = hi;
      break;
    default:
      r = hi, g = lo, b = hi - e;
      break;
  }
  out[0] = Sample(r);
  out[1] = Sample(g);
  out[2] = Sample(b);
}

}  // namespace

constexpr std::array<uint8_t, 256 * 256> RatioTable = MakeRatioTable();

void RgbToWork8(const uint8_t *source, int32_t pixelStep,
                WorkPixel *destination, int32_t count) {
  for (int32_t i = 0; i < count; ++i, source += pixelStep) {
    const uint32_t r = source[0], g = source[1], b = source[2];
    WorkPixel &pixel = destination[i];
    if (r == g && g == b) {
      pixel = {0, 0, ValueFrom8(r)};
      continue;
    }
    const Chroma chroma = ClassifyRgb(r, g, b);
    const uint32_t ratio = RatioTable[chroma.numerator * 256 + chroma.range];
    pixel.hue = uint16_t(HueFromRatio(chroma.row, ratio));
    pixel.saturation = SaturationOf(chroma);
    pixel.value = ValueFrom8(chroma.max);
  }
}

void RgbToWork16(const uint16_t *source, int32_t pixelStep,
                 WorkPixel *destination, int32_t count) {
  for (int32_t i = 0; i < count; ++i, source += pixelStep) {
    const uint32_t r = source[0], g = source[1], b = source[2];
    WorkPixel &pixel = destination[i];
    if (r == g && g == b) {
      pixel = {0, 0, ValueFrom16(r)};
      continue;
    }
    const Chroma chroma = ClassifyRgb(r, g, b);
    const uint32_t ratio =
        (chroma.range / 2 + 255 * chroma.numerator) / chroma.range;
    // A 16-bit numerator can be too small for the ratio to reach 1; the
    // hue must still stay below 1530.
    if (chroma.row == kMagentaToRed && ratio == 0) {
      pixel.hue = 0;
    } else {
      pixel.hue = uint16_t(HueFromRatio(chroma.row, ratio));
    }
    pixel.saturation = SaturationOf(chroma);
    pixel.value = ValueFrom16(chroma.max);
  }
}

void WorkToRgb8(const WorkPixel *source, uint8_t *destination,
                int32_t pixelStep, int32_t count) {
  for (int32_t i = 0; i < count; ++i, destination += pixelStep) {
    const WorkPixel &pixel = source[i];
    const uint32_t v = pixel.value, s = pixel.saturation;
    if (v == 0) {
      destination[0] = destination[1] = destination[2] = 0;
      continue;
    }
    const uint32_t hi = (255 * v + 512) >> 10;
    if (s == 0) {
      destination[0] = destination[1] = destination[2] = uint8_t(hi);
      continue;
    }
    const uint32_t lo = (255 * v * (kUnitScale - s) + 524288) >> 20;
    StoreHueChannels(pixel.hue, int32_t(hi), int32_t(lo), destination);
  }
}

void WorkToRgb16(const WorkPixel *source, uint16_t *destination,
                 int32_t pixelStep, int32_t count) {
  for (int32_t i = 0; i < count; ++i, destination += pixelStep) {
    const WorkPixel &pixel = source[i];
    const uint32_t hi = 32 * uint32_t(pixel.value), s = pixel.saturation;
    if (hi == 0 || s == 0) {
      destination[0] = destination[1] = destination[2] = uint16_t(hi);
      continue;
    }
    const uint32_t lo = ((kUnitScale - s) * hi + 512) >> 10;
    StoreHueChannels(pixel.hue, int32_t(hi), int32_t(lo), destination);
  }
}
