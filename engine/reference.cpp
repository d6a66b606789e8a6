// The engine written the straightforward way, kept as the measure of the
// optimised one: per pixel, per line, per stage, in the order the
// arithmetic is defined.
#include "engine/reference.h"

#include <cstddef>

#include "engine/blur.h"
#include "engine/pipeline.h"
#include "engine/tables.h"

namespace reference {

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

namespace {

// The window sum of radius r around source[0], plus r as rounding bias.
inline uint32_t BoxSum(const uint16_t *source, ptrdiff_t stride, int32_t r) {
  uint32_t sum = source[0] + uint32_t(r);
  for (int32_t k = 1; k <= r; ++k)
    sum += source[-k * stride] + source[k * stride];
  return sum;
}

}  // namespace

uint16_t LineScratch[kLineScratchSize];

void BoxBlurLine(const uint16_t *source, int32_t sourceStride,
                 uint16_t *destination, int32_t destinationStride,
                 int32_t count, int32_t r) {
  const ptrdiff_t s = sourceStride, ds = destinationStride;
  const uint32_t m = BoxDivisorTable[r];
  uint32_t sum = BoxSum(source, s, r);
  destination[0] = uint16_t((m * sum) >> 16);
  for (ptrdiff_t i = 1; i < count; ++i) {
    sum += source[(i + r) * s];
    sum -= source[(i - r - 1) * s];
    destination[i * ds] = uint16_t((m * sum) >> 16);
  }
}

void BoxBlurLineBlend(const uint16_t *source, int32_t sourceStride,
                      uint16_t *destination, int32_t destinationStride,
                      int32_t count, int32_t r, int32_t f) {
  const ptrdiff_t s = sourceStride, ds = destinationStride;
  const uint32_t m1 = BoxDivisorTable[r], m2 = BoxDivisorTable[r + 1];
  uint32_t s1 = BoxSum(source, s, r);
  // The wider window carries the bias r + 2, not r + 1.
  uint32_t s2 = s1 + 2 + source[-(r + 1) * s] + source[(r + 1) * s];
  for (ptrdiff_t i = 0; i < count; ++i) {
    if (i > 0) {
      s1 += source[(i + r) * s];
      s1 -= source[(i - r - 1) * s];
      s2 += source[(i + r + 1) * s];
      s2 -= source[(i - r - 2) * s];
    }
    const int32_t b1 = int32_t((m1 * s1) >> 16);
    const int32_t b2 = int32_t((m2 * s2) >> 16);
    // Arithmetic shift: floor toward minus infinity when b2 < b1.
    destination[i * ds] = uint16_t(b1 + (((b2 - b1) * f) >> 4));
  }
}

void BlurLine(const uint16_t *source, int32_t sourceStride,
              uint16_t *destination, int32_t destinationStride, int32_t count,
              double reach) {
  const BoxRadii radii = SplitBlurReach(reach);
  const int32_t r1 = radii.r1;
  const int32_t extra = radii.fraction == 0 ? 0 : 1;
  // The first pass widens the line by what the second pass reads.
  BoxBlurLine(source - ptrdiff_t(r1 + extra) * sourceStride, sourceStride,
              LineScratch, 1, count + 2 * (r1 + extra), radii.r2);
  if (radii.fraction == 0) {
    BoxBlurLine(LineScratch + r1, 1, destination, destinationStride, count, r1);
  } else {
    BoxBlurLineBlend(LineScratch + r1 + 1, 1, destination, destinationStride,
                     count, r1, radii.fraction);
  }
}

void BlurRows(const FilterRecord *record) {
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t rows = in.bottom - in.top;
  const int32_t columns = out.right - out.left;
  const WorkPixel *first = WorkTile + (out.left - in.left);
  for (int32_t y = 0; y < rows; ++y) {
    const WorkPixel *row = first + ptrdiff_t(y) * kWorkTileSide;
    BlurLine(&row->value, 3, RowBlurBuffer + ptrdiff_t(y) * kTileSide, 1,
             columns, BlurReach);
  }
}

void BlurColumns(const FilterRecord *record) {
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t rows = out.bottom - out.top;
  const int32_t columns = out.right - out.left;
  const uint16_t *first =
      RowBlurBuffer + ptrdiff_t(out.top - in.top) * kTileSide;
  for (int32_t x = 0; x < columns; ++x) {
    BlurLine(first + x, kTileSide, BlurredTile + x, kTileSide, rows, BlurReach);
  }
}

WorkPixel *WorkTile;
uint16_t *RowBlurBuffer;
uint16_t *BlurredTile;

namespace {

// The callers keep these; checking them costs nothing per pixel and
// turns a wrong rectangle into an untouched tile instead of an overrun.
bool TileFitsWorkArea(const FilterRecord *record) {
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t margin = InputMargin(BlurReach);
  return WorkTile != nullptr && record->inData != nullptr &&
         record->outData != nullptr && record->planes >= 3 &&
         out.top < out.bottom && out.left < out.right &&
         out.bottom - out.top <= kTileSide &&
         out.right - out.left <= kTileSide && in.top <= out.top - margin &&
         in.left <= out.left - margin && in.bottom >= out.bottom + margin &&
         in.right >= out.right + margin &&
         in.bottom - in.top <= kWorkTileSide &&
         in.right - in.left <= kWorkTileSide;
}

template <typename Sample>
struct Conversions {
  void (*toWork)(const Sample *, int32_t, WorkPixel *, int32_t);
  void (*toRgb)(const WorkPixel *, Sample *, int32_t, int32_t);
};

template <typename Sample>
void ProcessTileOf(const FilterRecord *record,
                   const Conversions<Sample> &convert) {
  if (!reference::TileFitsWorkArea(record)) return;
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t planes = record->planes;
  // Row strides are in bytes; a 16-bit row advances rowBytes / 2 samples.
  const ptrdiff_t inStride = record->inRowBytes / ptrdiff_t(sizeof(Sample));
  const ptrdiff_t outStride = record->outRowBytes / ptrdiff_t(sizeof(Sample));
  const Sample *inData = static_cast<const Sample *>(record->inData);
  Sample *outData = static_cast<Sample *>(record->outData);

  const int32_t inRows = in.bottom - in.top, inColumns = in.right - in.left;
  for (int32_t y = 0; y < inRows; ++y) {
    convert.toWork(inData + y * inStride, planes,
                   WorkTile + ptrdiff_t(y) * kWorkTileSide, inColumns);
  }
  reference::BlurRows(record);
  reference::BlurColumns(record);
  reference::SharpenTile(record);

  const int32_t outRows = out.bottom - out.top;
  const int32_t outColumns = out.right - out.left;
  const WorkPixel *first = WorkTile +
                           ptrdiff_t(out.top - in.top) * kWorkTileSide +
                           (out.left - in.left);
  for (int32_t y = 0; y < outRows; ++y) {
    convert.toRgb(first + ptrdiff_t(y) * kWorkTileSide, outData + y * outStride,
                  planes, outColumns);
  }
}

}  // namespace

void AttachEngineMemory(const FilterRecord *, void *block) {
  unsigned char *bytes = static_cast<unsigned char *>(block);
  WorkTile = reinterpret_cast<WorkPixel *>(bytes);
  RowBlurBuffer = reinterpret_cast<uint16_t *>(bytes + kRowBlurOffset);
  BlurredTile = reinterpret_cast<uint16_t *>(bytes + kBlurredTileOffset);
}

void DetachEngineMemory(const FilterRecord *) {
  WorkTile = nullptr;
  RowBlurBuffer = nullptr;
  BlurredTile = nullptr;
}

void ProcessTile(const FilterRecord *record) {
  if (record->depth == 16) {
    reference::ProcessTile16(record);
  } else {
    reference::ProcessTile8(record);
  }
}

int32_t ProcessTileCounted(const FilterRecord *record) {
  reference::ProcessTile(record);
  const Rect &out = record->outRect;
  return (out.bottom - out.top) * (out.right - out.left) *
         (record->outHiPlane - record->outLoPlane + 1);
}

void ProcessTile8(const FilterRecord *record) {
  ProcessTileOf<uint8_t>(record, {RgbToWork8, WorkToRgb8});
}

void ProcessTile16(const FilterRecord *record) {
  ProcessTileOf<uint16_t>(record, {RgbToWork16, WorkToRgb16});
}

void SharpenTile(const FilterRecord *record) {
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t rows = out.bottom - out.top;
  const int32_t columns = out.right - out.left;
  WorkPixel *first = WorkTile + ptrdiff_t(out.top - in.top) * kWorkTileSide +
                     (out.left - in.left);
  for (int32_t y = 0; y < rows; ++y) {
    SharpenRow(BlurredTile + ptrdiff_t(y) * kTileSide,
               first + ptrdiff_t(y) * kWorkTileSide, columns);
  }
}

void SharpenRow(const uint16_t *blurred, WorkPixel *pixels, int32_t count) {
  const int32_t *response = ResponseTable + kResponseMiddle;
  for (int32_t i = 0; i < count; ++i) {
    WorkPixel &pixel = pixels[i];
    const int32_t value = pixel.value;
    const int32_t d = value - int32_t(blurred[i]);
    const int32_t r = response[d];
    const int32_t w =
        (HueWeightTable[pixel.hue] * SaturationWeightTable[pixel.saturation]) >>
        10;
    // The colour weight scales the sharpened contrast d + r: 1024 adds
    // it once more, -1024 takes it away down to the blurred value.
    const int32_t sharpened = value + r + (((d + r) * w) >> 10);
    pixel.value = uint16_t(sharpened <= 0      ? 0
                           : sharpened >= 1024 ? 1024
                                               : sharpened);
  }
}

}  // namespace reference
