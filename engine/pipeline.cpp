// The tile pipeline: the input tile's values (and the output tile's hue
// and saturation) into planes, the blur along rows and then columns, the
// sharpening step, and the output tile back into the host's buffer. The
// per-pixel work is in the kernels; this file walks rows.
#include "engine/pipeline.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "engine/blur.h"
#include "engine/dispatch.h"
#include "engine/gray.h"
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
static_assert(kPlaneRows % kMaxLanes == 0, "the row pass reads whole strips");
constexpr size_t kRowScratchBytes = 65536;
static_assert(kPlaneAlignment + kValueBytes + 3 * kTileBytes +
                      kRowBlurPlaneBytes + kScratchBytes + kRowScratchBytes <=
                  size_t(kEngineMemoryBytes),
              "the planes fit the work area");

// The current tables as the step reads them. With every hue weight 0
// (the default) the colour weight is 0 whatever the pixel, and the step
// skips it; so it does for gray pixels, whose saturation weight is 0.
KernelTables CurrentTables(bool gray = false) {
  return {ResponseTable + kResponseMiddle,
          NearResponseTable,
          NearResponseBytes,
          NearByteReach,
          HueWeightTable,
          SaturationWeightTable,
          HueWeighted && !gray,
          QuietLow,
          QuietHigh};
}

template <typename Sample>
struct Conversions {
  void (*values)(const Sample *, int32_t, uint16_t *, int32_t);
  void (*colours)(const Sample *, int32_t, uint16_t *, uint16_t *, uint16_t *,
                  int32_t);
  void (*back)(const uint16_t *, const uint16_t *, const uint16_t *, Sample *,
               int32_t, int32_t);
  void (*grayBack)(const uint16_t *, Sample *, int32_t, int32_t);
};

Conversions<uint8_t> ConversionsOf(const EngineKernels &k, uint8_t) {
  return {k.valuesFrom8, k.coloursFrom8, k.coloursTo8, nullptr};
}

Conversions<uint16_t> ConversionsOf(const EngineKernels &k, uint16_t) {
  return {k.valuesFrom16, k.coloursFrom16, k.coloursTo16, nullptr};
}

// Gray: the value alone, with the gray kernels; hue and saturation
// planes are neither written nor read (the step takes no colour weight
// for gray).
Conversions<uint8_t> ConversionsOf(const HostTile &tile, uint8_t) {
  if (!tile.gray) return ConversionsOf(Kernels(), uint8_t());
  const GrayKernels &k = GrayKernelsInUse();
  return {k.valuesFrom8, nullptr, nullptr, k.valuesTo8};
}

Conversions<uint16_t> ConversionsOf(const HostTile &tile, uint16_t) {
  if (!tile.gray) return ConversionsOf(Kernels(), uint16_t());
  const GrayKernels &k = GrayKernelsInUse();
  return {k.valuesFrom16, nullptr, nullptr, k.valuesTo16};
}

// Without colour weights the step needs no hue or saturation, and an
// 8-bit colour document's come from the host's input samples, which stay
// until the tile is done: only where the step changed a value does the
// way out convert, and the way in reads values alone.
template <typename Sample>
bool ColoursOnTheWayOut(const HostTile &tile) {
  return sizeof(Sample) == 1 && !tile.gray &&
         GetTileGeometry(tile.outRect).margin <= Kernels().throughMargin &&
         !CurrentTables().colourWeighted;
}

// A row of 16-bit samples need not start on an even address (the host's
// row bytes may be odd): such a run is read, or written, through an
// aligned copy in the work area, a piece at a time.
unsigned char *RowScratch;

template <typename Sample>
bool Aligned(const unsigned char *bytes) {
  return reinterpret_cast<uintptr_t>(bytes) % alignof(Sample) == 0;
}

template <typename Sample, typename Convert>
void ReadRun(const unsigned char *source, int32_t planes, int32_t count,
             Convert convert) {
  if (Aligned<Sample>(source)) {
    convert(reinterpret_cast<const Sample *>(source), 0, count);
    return;
  }
  const size_t pixelBytes = size_t(planes) * sizeof(Sample);
  const int32_t piece = int32_t(kRowScratchBytes / pixelBytes);
  for (int32_t done = 0; done < count; done += piece) {
    const int32_t n = count - done < piece ? count - done : piece;
    std::memcpy(RowScratch, source + done * pixelBytes, n * pixelBytes);
    convert(reinterpret_cast<const Sample *>(RowScratch), done, n);
  }
}

template <typename Sample, typename Convert>
void WriteRun(unsigned char *target, int32_t planes, int32_t count,
              Convert convert) {
  if (Aligned<Sample>(target)) {
    convert(reinterpret_cast<Sample *>(target), 0, count);
    return;
  }
  const size_t pixelBytes = size_t(planes) * sizeof(Sample);
  const int32_t piece = int32_t(kRowScratchBytes / pixelBytes);
  for (int32_t done = 0; done < count; done += piece) {
    const int32_t n = count - done < piece ? count - done : piece;
    unsigned char *at = target + done * pixelBytes;
    // Samples after the first three keep the host's values.
    std::memcpy(RowScratch, at, n * pixelBytes);
    convert(reinterpret_cast<Sample *>(RowScratch), done, n);
    std::memcpy(at, RowScratch, n * pixelBytes);
  }
}

// A host that hands out its document's own rows in place hands out memory
// no cache holds. The processor's own prefetching starts afresh on every
// row and lags behind rows that are short or quickly converted: those of
// 8-bit samples, and the margin's, whose values alone are read. So the
// rows some kilobytes ahead are asked for while this one is worked. Rows
// of 16-bit samples measured no faster for it unless a wide margin makes
// up much of the tile, nor did the 16-bit way out.
constexpr int32_t kRowsAhead = 4;
constexpr ptrdiff_t kBytesAhead = 5600;
constexpr int32_t kWideMargin = 16;

template <typename Sample>
void ConvertTileInOf(const HostTile &tile) {
  const TileGeometry g = GetTileGeometry(tile.outRect);
  const Conversions<Sample> convert = ConversionsOf(tile, Sample());
  const FloatModeGuard floatMode;
  const int32_t planes = tile.planes;
  const ptrdiff_t pixelBytes = ptrdiff_t(planes) * ptrdiff_t(sizeof(Sample));
  const Rect &usable = tile.inUsable;
  // The wanted input: the output tile grown by the margin. Its columns
  // from first to end lie in usable; those outside repeat usable's edge
  // column, its rows outside usable repeat usable's edge row.
  const int32_t top = tile.outRect.top - g.margin;
  const int32_t left = tile.outRect.left - g.margin;
  const int32_t width = g.columns + 2 * g.margin;
  const int32_t first = std::max(usable.left - left, 0);
  const int32_t end = std::min(usable.right - left, width);
  const unsigned char *inData = static_cast<const unsigned char *>(tile.inData);
  const bool valuesOnly = ColoursOnTheWayOut<Sample>(tile);
  const auto rowOf = [&](int32_t j) {
    const int32_t imageRow =
        std::min(std::max(top + j, int32_t(usable.top)), usable.bottom - 1);
    return inData + ptrdiff_t(imageRow - tile.inRect.top) * tile.inRowBytes;
  };
  const ptrdiff_t firstByte =
      ptrdiff_t(left + first - tile.inRect.left) * pixelBytes;
  const int32_t lines = g.rows + 2 * g.margin;
  const bool prefetch = sizeof(Sample) == 1 || g.margin > kWideMargin;
  const int32_t ahead = std::clamp(
      int32_t(kBytesAhead / std::max<ptrdiff_t>((end - first) * pixelBytes, 1)),
      int32_t(1), kRowsAhead);
  for (int32_t j = 0; j < lines; ++j) {
    if (prefetch && j + ahead < lines && end > first) {
      PrefetchRow(rowOf(j + ahead) + firstByte,
                  size_t((end - first) * pixelBytes));
    }
    const unsigned char *row = rowOf(j);
    const auto at = [&](int32_t column) {
      return row + ptrdiff_t(left + column - tile.inRect.left) * pixelBytes;
    };
    uint16_t *values = ValuePlane + ptrdiff_t(j) * kValueStride;
    const auto readValues = [&](int32_t from, int32_t to) {
      if (to <= from) return;
      ReadRun<Sample>(at(from), planes, to - from,
                      [&](const Sample *s, int32_t done, int32_t n) {
                        convert.values(s, planes, values + from + done, n);
                      });
    };
    const int32_t y = j - g.margin;
    if (tile.gray || y < 0 || y >= g.rows || valuesOnly) {
      readValues(first, end);
    } else {
      // Only the output tile needs hue and saturation; the margin around
      // it only feeds the blur.
      readValues(first, g.margin);
      const ptrdiff_t plane = ptrdiff_t(y) * kTileSide;
      ReadRun<Sample>(at(g.margin), planes, g.columns,
                      [&](const Sample *s, int32_t done, int32_t n) {
                        convert.colours(s, planes, HuePlane + plane + done,
                                        SaturationPlane + plane + done,
                                        values + g.margin + done, n);
                      });
      readValues(g.margin + g.columns, end);
    }
    std::fill(values, values + first, values[first]);
    std::fill(values + end, values + width, values[end - 1]);
  }
}

// Row y of the output tile's own input pixels.
const unsigned char *SourceRow(const HostTile &tile, int32_t y,
                               size_t pixelBytes) {
  return static_cast<const unsigned char *>(tile.inData) +
         ptrdiff_t(tile.outRect.top + y - tile.inRect.top) * tile.inRowBytes +
         ptrdiff_t(tile.outRect.left - tile.inRect.left) *
             ptrdiff_t(pixelBytes);
}

// With sharpen set (gray), each row is sharpened just before it is
// converted, while it is in the nearest cache. Colours on the way out are
// always sharpened there, by the kernel that tells the changed values.
template <typename Sample>
void ConvertTileOutOf(const HostTile &tile, bool sharpen = false) {
  const TileGeometry g = GetTileGeometry(tile.outRect);
  const Conversions<Sample> convert = ConversionsOf(tile, Sample());
  const KernelTables tables = CurrentTables(true);
  const EngineKernels &kernels = Kernels();
  const int32_t planes = tile.planes;
  const size_t pixelBytes = size_t(planes) * sizeof(Sample);
  unsigned char *outData = static_cast<unsigned char *>(tile.outData);
  const bool coloursHere = ColoursOnTheWayOut<Sample>(tile);
  ThroughBatch batch;
  for (int32_t y = 0; y < g.rows; ++y) {
    if (sizeof(Sample) == 1 && y + 1 < g.rows) {
      PrefetchRowForWriting(outData + ptrdiff_t(y + 1) * tile.outRowBytes,
                            size_t(g.columns) * pixelBytes);
      // The way out reads the output tile's input samples again only
      // where it takes colours from them, or a gray pixel's transparency.
      if (coloursHere || (tile.gray && planes > 1)) {
        PrefetchRow(SourceRow(tile, y + 1, pixelBytes),
                    size_t(g.columns) * pixelBytes);
      }
    }
    const ptrdiff_t row = ptrdiff_t(y) * kTileSide;
    uint16_t *values =
        ValuePlane + ptrdiff_t(g.margin + y) * kValueStride + g.margin;
    unsigned char *target = outData + ptrdiff_t(y) * tile.outRowBytes;
    const unsigned char *source = SourceRow(tile, y, pixelBytes);
    if (coloursHere) {
      kernels.coloursThrough8(source, planes, BlurredTile + row, values, target,
                              g.columns, tables, batch);
      continue;
    }
    // Only gray tiles come here to be sharpened: they take no colour
    // weight.
    if (sharpen) {
      kernels.sharpen(BlurredTile + row, HuePlane + row, SaturationPlane + row,
                      values, g.columns, tables);
    }
    if (tile.gray && planes > 1) {
      // A gray pixel's transparency goes out as it came in: a host that
      // copied no source into the output buffer holds nothing there.
      std::memcpy(target, source, size_t(g.columns) * pixelBytes);
    }
    if (tile.gray) {
      WriteRun<Sample>(target, planes, g.columns,
                       [&](Sample *s, int32_t done, int32_t n) {
                         convert.grayBack(values + done, s, planes, n);
                       });
      continue;
    }
    WriteRun<Sample>(
        target, planes, g.columns, [&](Sample *s, int32_t done, int32_t n) {
          convert.back(HuePlane + row + done, SaturationPlane + row + done,
                       values + done, s, planes, n);
        });
  }
  if (coloursHere) kernels.finishThrough8(batch);
}

template <typename Sample>
void ProcessTileOf(const HostTile &tile) {
  // Every stage works out the box radii from the reach in double: in our
  // float mode, not the host's (whose exceptions may be unmasked).
  const FloatModeGuard floatMode;
  if (!HostTileFits(tile)) return;
  const TileGeometry g = GetTileGeometry(tile.outRect);
  ConvertTileInOf<Sample>(tile);
  BlurTileRows(g);
  BlurTileColumns(g);
  // Rows sharpened on the way out are still in the nearest cache there.
  const bool sharpenOnTheWayOut = tile.gray || ColoursOnTheWayOut<Sample>(tile);
  if (!sharpenOnTheWayOut) SharpenTileOf(g);
  ConvertTileOutOf<Sample>(tile, tile.gray);
}

bool Inside(const Rect &inner, const Rect &outer) {
  return inner.top >= outer.top && inner.left >= outer.left &&
         inner.bottom <= outer.bottom && inner.right <= outer.right;
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
  RowScratch = reinterpret_cast<unsigned char *>(take(kRowScratchBytes));
  BuildSaturationWeights();
}

void DetachEngineMemory(const FilterRecord *) {
  ValuePlane = HuePlane = SaturationPlane = nullptr;
  RowBlurBuffer = BlurredTile = BlurScratch = nullptr;
  RowScratch = nullptr;
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

TileGeometry GetTileGeometry(const Rect &out) {
  TileGeometry g;
  g.margin = InputMargin(BlurReach);
  g.rows = out.bottom - out.top;
  g.columns = out.right - out.left;
  return g;
}

TileGeometry GetTileGeometry(const FilterRecord *record) {
  return GetTileGeometry(record->outRect);
}

HostTile HostTileOf(const FilterRecord *record) {
  return {record->inData,  record->inRowBytes,
          record->inRect,  record->inRect,
          record->outData, record->outRowBytes,
          record->outRect, record->planes,
          record->depth,   IsGrayMode(record->imageMode)};
}

// The callers keep these; checking them costs nothing per pixel and
// turns a wrong rectangle into an untouched tile instead of an overrun.
bool HostTileFits(const HostTile &tile) {
  const Rect &out = tile.outRect, &usable = tile.inUsable;
  return ValuePlane != nullptr && tile.inData != nullptr &&
         tile.outData != nullptr && tile.planes >= (tile.gray ? 1 : 3) &&
         out.top < out.bottom && out.left < out.right &&
         out.bottom - out.top <= kTileSide &&
         out.right - out.left <= kTileSide && Inside(out, usable) &&
         Inside(usable, tile.inRect);
}

// A replicating host's tile holds the whole margin around the output.
bool TileFitsWorkArea(const FilterRecord *record) {
  const FloatModeGuard floatMode;  // the margin comes from a double
  const Rect &in = record->inRect, &out = record->outRect;
  const int32_t margin = InputMargin(BlurReach);
  return HostTileFits(HostTileOf(record)) && in.top <= out.top - margin &&
         in.left <= out.left - margin && in.bottom >= out.bottom + margin &&
         in.right >= out.right + margin &&
         in.bottom - in.top <= kWorkTileSide &&
         in.right - in.left <= kWorkTileSide;
}

void ProcessHostTile(const HostTile &tile) {
  if (tile.depth == 16) {
    ProcessTileOf<uint16_t>(tile);
  } else {
    ProcessTileOf<uint8_t>(tile);
  }
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
  if (TileFitsWorkArea(record)) ProcessTileOf<uint8_t>(HostTileOf(record));
}

void ProcessTile16(const FilterRecord *record) {
  if (TileFitsWorkArea(record)) ProcessTileOf<uint16_t>(HostTileOf(record));
}

void ConvertTileIn(const FilterRecord *record) {
  if (record->depth == 16) {
    ConvertTileInOf<uint16_t>(HostTileOf(record));
  } else {
    ConvertTileInOf<uint8_t>(HostTileOf(record));
  }
}

void ConvertTileOut(const FilterRecord *record) {
  if (record->depth == 16) {
    ConvertTileOutOf<uint16_t>(HostTileOf(record));
  } else {
    ConvertTileOutOf<uint8_t>(HostTileOf(record));
  }
}

void SharpenTile(const FilterRecord *record) {
  // Those tiles are sharpened on the way out.
  if (record->depth != 16 && ColoursOnTheWayOut<uint8_t>(HostTileOf(record))) {
    return;
  }
  SharpenTileOf(GetTileGeometry(record), IsGrayMode(record->imageMode));
}

void SharpenTileOf(const TileGeometry &g, bool gray) {
  const KernelTables tables = CurrentTables(gray);
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
