// The tile pipeline: the input tile's values (and the output tile's hue
// and saturation) into planes, the blur along rows and then columns, the
// sharpening step, and the output tile back into the host's buffer. The
// per-pixel work is in the kernels; this file walks rows.
#include "engine/pipeline.h"

#include <cstddef>

#include "engine/blur.h"
#include "engine/dispatch.h"
#include "engine/tables.h"

uint16_t *ValuePlane;
uint16_t *HuePlane;
uint16_t *SaturationPlane;
uint16_t *RowBlurBuffer;
uint16_t *BlurredTile;
uint16_t *BlurScratch;

namespace {

constexpr size_t kPlaneAlignment = 64;  // a cache line
constexpr size_t kValueBytes = size_t(kPlaneRows) * kValueStride * 2;
constexpr size_t kTileBytes = size_t(kTileSide) * kTileSide * 2;
constexpr size_t kRowBlurPlaneBytes = size_t(kPlaneRows) * kTileSide * 2;
constexpr size_t kScratchBytes = size_t(kBlurScratchValues) * 2;
static_assert(kBlurStride == kTileSide, "blur buffers share the tile's rows");
static_assert(kPlaneAlignment + kValueBytes + 3 * kTileBytes +
                      kRowBlurPlaneBytes + kScratchBytes <=
                  size_t(kEngineMemoryBytes),
              "the planes fit the work area");

// The current tables as the step reads them. With every hue weight 0
// (the default) the colour weight is 0 whatever the pixel, and the step
// skips it.
KernelTables CurrentTables() {
  bool colourWeighted = false;
  for (int32_t weight : HueWeightTable) colourWeighted |= weight != 0;
  return {ResponseTable + kResponseMiddle, HueWeightTable,
          SaturationWeightTable, colourWeighted};
}

template <typename Sample>
struct Conversions {
  void (*values)(const Sample *, int32_t, uint16_t *, int32_t);
  void (*colours)(const Sample *, int32_t, uint16_t *, uint16_t *, uint16_t *,
                  int32_t);
  void (*back)(const uint16_t *, const uint16_t *, const uint16_t *, Sample *,
               int32_t, int32_t);
};

Conversions<uint8_t> ConversionsOf(const EngineKernels &k, uint8_t) {
  return {k.valuesFrom8, k.coloursFrom8, k.coloursTo8};
}

Conversions<uint16_t> ConversionsOf(const EngineKernels &k, uint16_t) {
  return {k.valuesFrom16, k.coloursFrom16, k.coloursTo16};
}

// Row strides are in bytes; a 16-bit row advances rowBytes / 2 samples.
template <typename Sample>
ptrdiff_t SampleStride(int32_t rowBytes) {
  return rowBytes / ptrdiff_t(sizeof(Sample));
}

template <typename Sample>
void ConvertTileInOf(const FilterRecord *record) {
  const TileGeometry g = GetTileGeometry(record);
  const Conversions<Sample> convert = ConversionsOf(Kernels(), Sample());
  const FloatModeGuard floatMode;
  const int32_t planes = record->planes;
  const ptrdiff_t stride = SampleStride<Sample>(record->inRowBytes);
  const Sample *first = static_cast<const Sample *>(record->inData) +
                        g.inTop * stride + ptrdiff_t(g.inLeft) * planes;
  const int32_t width = g.columns + 2 * g.margin;
  // Only the output tile needs hue and saturation; the margin around it
  // only feeds the blur.
  const ptrdiff_t right = ptrdiff_t(g.margin + g.columns) * planes;
  for (int32_t j = 0; j < g.rows + 2 * g.margin; ++j) {
    const Sample *source = first + j * stride;
    uint16_t *values = ValuePlane + ptrdiff_t(j) * kValueStride;
    const int32_t y = j - g.margin;
    if (y < 0 || y >= g.rows) {
      convert.values(source, planes, values, width);
      continue;
    }
    convert.values(source, planes, values, g.margin);
    convert.colours(source + ptrdiff_t(g.margin) * planes, planes,
                    HuePlane + ptrdiff_t(y) * kTileSide,
                    SaturationPlane + ptrdiff_t(y) * kTileSide,
                    values + g.margin, g.columns);
    convert.values(source + right, planes, values + g.margin + g.columns,
                   g.margin);
  }
}

template <typename Sample>
void ConvertTileOutOf(const FilterRecord *record) {
  const TileGeometry g = GetTileGeometry(record);
  const Conversions<Sample> convert = ConversionsOf(Kernels(), Sample());
  const ptrdiff_t stride = SampleStride<Sample>(record->outRowBytes);
  Sample *outData = static_cast<Sample *>(record->outData);
  for (int32_t y = 0; y < g.rows; ++y) {
    const ptrdiff_t row = ptrdiff_t(y) * kTileSide;
    convert.back(HuePlane + row, SaturationPlane + row,
                 ValuePlane + ptrdiff_t(g.margin + y) * kValueStride + g.margin,
                 outData + y * stride, record->planes, g.columns);
  }
}

template <typename Sample>
void ProcessTileOf(const FilterRecord *record) {
  // Every stage works out the box radii from the reach in double: in our
  // float mode, not the host's (whose exceptions may be unmasked).
  const FloatModeGuard floatMode;
  if (!TileFitsWorkArea(record)) return;
  ConvertTileInOf<Sample>(record);
  BlurRows(record);
  BlurColumns(record);
  SharpenTile(record);
  ConvertTileOutOf<Sample>(record);
}

}  // namespace

int32_t EngineMemorySize(const FilterRecord *) { return kEngineMemoryBytes; }

void AttachEngineMemory(const FilterRecord *, void *block) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(block);
  const uintptr_t aligned =
      (address + kPlaneAlignment - 1) & ~uintptr_t(kPlaneAlignment - 1);
  unsigned char *bytes =
      static_cast<unsigned char *>(block) + (aligned - address);
  const auto take = [&bytes](size_t size) {
    uint16_t *plane = reinterpret_cast<uint16_t *>(bytes);
    bytes += size;
    return plane;
  };
  ValuePlane = take(kValueBytes);
  HuePlane = take(kTileBytes);
  SaturationPlane = take(kTileBytes);
  RowBlurBuffer = take(kRowBlurPlaneBytes);
  BlurredTile = take(kTileBytes);
  BlurScratch = take(kScratchBytes);
  BuildSaturationWeights();
}

void DetachEngineMemory(const FilterRecord *) {
  ValuePlane = HuePlane = SaturationPlane = nullptr;
  RowBlurBuffer = BlurredTile = BlurScratch = nullptr;
}

void SetInputRectFromOutput(FilterRecord *record) {
  const FloatModeGuard floatMode;
  const int32_t margin = InputMargin(BlurReach);
  const Rect &out = record->outRect;
  record->inRect.top = int16_t(out.top - margin);
  record->inRect.left = int16_t(out.left - margin);
  record->inRect.bottom = int16_t(out.bottom + margin);
  record->inRect.right = int16_t(out.right + margin);
}

TileGeometry GetTileGeometry(const FilterRecord *record) {
  const Rect &in = record->inRect, &out = record->outRect;
  TileGeometry g;
  g.margin = InputMargin(BlurReach);
  g.rows = out.bottom - out.top;
  g.columns = out.right - out.left;
  g.inTop = out.top - in.top - g.margin;
  g.inLeft = out.left - in.left - g.margin;
  return g;
}

// The callers keep these; checking them costs nothing per pixel and
// turns a wrong rectangle into an untouched tile instead of an overrun.
bool TileFitsWorkArea(const FilterRecord *record) {
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t margin = InputMargin(BlurReach);
  return ValuePlane != nullptr && record->inData != nullptr &&
         record->outData != nullptr && record->planes >= 3 &&
         out.top < out.bottom && out.left < out.right &&
         out.bottom - out.top <= kTileSide &&
         out.right - out.left <= kTileSide && in.top <= out.top - margin &&
         in.left <= out.left - margin && in.bottom >= out.bottom + margin &&
         in.right >= out.right + margin &&
         in.bottom - in.top <= kWorkTileSide &&
         in.right - in.left <= kWorkTileSide;
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
  ProcessTileOf<uint8_t>(record);
}

void ProcessTile16(const FilterRecord *record) {
  ProcessTileOf<uint16_t>(record);
}

void ConvertTileIn(const FilterRecord *record) {
  if (record->depth == 16) {
    ConvertTileInOf<uint16_t>(record);
  } else {
    ConvertTileInOf<uint8_t>(record);
  }
}

void ConvertTileOut(const FilterRecord *record) {
  if (record->depth == 16) {
    ConvertTileOutOf<uint16_t>(record);
  } else {
    ConvertTileOutOf<uint8_t>(record);
  }
}

void SharpenTile(const FilterRecord *record) {
  const TileGeometry g = GetTileGeometry(record);
  const KernelTables tables = CurrentTables();
  const EngineKernels &kernels = Kernels();
  for (int32_t y = 0; y < g.rows; ++y) {
    const ptrdiff_t row = ptrdiff_t(y) * kTileSide;
    kernels.sharpen(
        BlurredTile + row, HuePlane + row, SaturationPlane + row,
        ValuePlane + ptrdiff_t(g.margin + y) * kValueStride + g.margin,
        g.columns, tables);
  }
}

void SharpenValues(const uint16_t *blurred, const uint16_t *hue,
                   const uint16_t *saturation, uint16_t *value, int32_t count) {
  Kernels().sharpen(blurred, hue, saturation, value, count, CurrentTables());
}
