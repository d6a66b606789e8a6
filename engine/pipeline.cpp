// The tile pipeline: convert the input tile to working pixels, blur the
// values along rows and then columns, sharpen the output tile's values,
// convert the output tile back into the host's buffer.
#include "engine/pipeline.h"

#include <cstddef>

#include "engine/blur.h"
#include "engine/tables.h"

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
  if (!TileFitsWorkArea(record)) return;
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
  BlurRows(record);
  BlurColumns(record);
  SharpenTile(record);

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

int32_t EngineMemorySize(const FilterRecord *) { return kEngineMemoryBytes; }

void AttachEngineMemory(const FilterRecord *, void *block) {
  unsigned char *bytes = static_cast<unsigned char *>(block);
  WorkTile = reinterpret_cast<WorkPixel *>(bytes);
  RowBlurBuffer = reinterpret_cast<uint16_t *>(bytes + kRowBlurOffset);
  BlurredTile = reinterpret_cast<uint16_t *>(bytes + kBlurredTileOffset);
  BuildSaturationWeights();
}

void DetachEngineMemory(const FilterRecord *) {
  WorkTile = nullptr;
  RowBlurBuffer = nullptr;
  BlurredTile = nullptr;
}

void SetInputRectFromOutput(FilterRecord *record) {
  const int32_t margin = InputMargin(BlurReach);
  const Rect &out = record->outRect;
  record->inRect.top = int16_t(out.top - margin);
  record->inRect.left = int16_t(out.left - margin);
  record->inRect.bottom = int16_t(out.bottom + margin);
  record->inRect.right = int16_t(out.right + margin);
}

void ProcessTile(const FilterRecord *record) {
  if (record->depth == 16) {
    ProcessTile16(record);
  } else {
    ProcessTile8(record);
  }
}

int32_t ProcessTileCounted(const FilterRecord *record) {
  ProcessTile(record);
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
