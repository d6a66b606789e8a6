#include "dialog/preview_render.h"

#include <cstddef>
#include <cstring>

#include "dialog/preview_view.h"
#include "engine/pipeline.h"
#include "engine/tables.h"
#include "engine/tile_request.h"

PSPixelMap previewPixelMap;
unsigned char *previewBuffer = nullptr;

namespace {

constexpr int32_t kPreviewTileSide = 256;

inline uint8_t To8(uint16_t v) { return uint8_t((uint32_t(v) * 511) >> 16); }

// Floor division for the magnified grid; numerators are not negative in
// practice, but a rounding towards zero would shift the grid there.
inline int32_t FloorDiv(int32_t a, int32_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}
inline int32_t FloorMod(int32_t a, int32_t b) { return a - FloorDiv(a, b) * b; }

inline int16_t Height(const Rect &r) { return int16_t(r.bottom - r.top); }
inline int16_t Width(const Rect &r) { return int16_t(r.right - r.left); }

// Copies one pixel of P samples (P = 0: planes samples, one at a time).
// A 16-bit row may start at an odd address (odd row bytes), so its
// samples are read bytewise.
template <int P, typename Sample>
inline void CopyPixel(const uint8_t *from, uint8_t *to, int32_t planes) {
  const int32_t n = P ? P : planes;
  for (int32_t c = 0; c < n; ++c) {
    if (sizeof(Sample) == 1) {
      to[c] = from[c];
    } else {
      uint16_t v;
      std::memcpy(&v, from + 2 * c, 2);
      to[c] = To8(v);
    }
  }
}

template <int P, typename Sample>
void Magnify(const uint8_t *source, int32_t sourceRowBytes, uint8_t *target,
             int32_t targetRowBytes, int32_t m, int32_t planes,
             const Rect &tile) {
  const int32_t x = tile.left - previewState.imageRect.left;
  const int32_t y = tile.top - previewState.imageRect.top;
  const int32_t firstColumnRun = m - FloorMod(x, m);
  int32_t rowsLeft = m - FloorMod(y, m);
  const ptrdiff_t pixelBytes = ptrdiff_t(planes) * ptrdiff_t(sizeof(Sample));
  const uint8_t *sourceRow = source;
  for (int32_t j = 0; j < Height(tile); ++j) {
    const uint8_t *from = sourceRow;
    uint8_t *to = target + ptrdiff_t(j) * targetRowBytes;
    int32_t columnsLeft = firstColumnRun;
    for (int32_t i = 0; i < Width(tile); ++i) {
      CopyPixel<P, Sample>(from, to, planes);
      to += planes;
      if (--columnsLeft == 0 && i + 1 < Width(tile)) {
        from += pixelBytes;
        columnsLeft = m;
      }
    }
    if (--rowsLeft == 0 && j + 1 < Height(tile)) {
      sourceRow += sourceRowBytes;
      rowsLeft = m;
    }
  }
}

template <int P>
void Convert(const uint8_t *source, int32_t sourceRowBytes, uint8_t *target,
             int32_t targetRowBytes, int32_t planes, const Rect &tile) {
  for (int32_t j = 0; j < Height(tile); ++j) {
    const uint8_t *from = source + ptrdiff_t(j) * sourceRowBytes;
    uint8_t *to = target + ptrdiff_t(j) * targetRowBytes;
    for (int32_t i = 0; i < Width(tile); ++i) {
      CopyPixel<P, uint16_t>(from, to, planes);
      from += 2 * planes;
      to += planes;
    }
  }
}

}  // namespace

void MagnifyTile8(const uint8_t *source, int32_t sourceRowBytes,
                  uint8_t *target, int32_t targetRowBytes, int32_t m,
                  int32_t planes, const Rect &tile) {
  if (planes == 3)
    Magnify<3, uint8_t>(source, sourceRowBytes, target, targetRowBytes, m,
                        planes, tile);
  else if (planes == 4)
    Magnify<4, uint8_t>(source, sourceRowBytes, target, targetRowBytes, m,
                        planes, tile);
  else
    Magnify<0, uint8_t>(source, sourceRowBytes, target, targetRowBytes, m,
                        planes, tile);
}

void MagnifyTile16(const void *data, int32_t sourceRowBytes, uint8_t *target,
                   int32_t targetRowBytes, int32_t m, int32_t planes,
                   const Rect &tile) {
  const uint8_t *source = static_cast<const uint8_t *>(data);
  if (planes == 3)
    Magnify<3, uint16_t>(source, sourceRowBytes, target, targetRowBytes, m,
                         planes, tile);
  else if (planes == 4)
    Magnify<4, uint16_t>(source, sourceRowBytes, target, targetRowBytes, m,
                         planes, tile);
  else
    Magnify<0, uint16_t>(source, sourceRowBytes, target, targetRowBytes, m,
                         planes, tile);
}

void ConvertTile16(const void *data, int32_t sourceRowBytes, uint8_t *target,
                   int32_t targetRowBytes, int32_t planes, const Rect &tile) {
  const uint8_t *source = static_cast<const uint8_t *>(data);
  if (planes == 3)
    Convert<3>(source, sourceRowBytes, target, targetRowBytes, planes, tile);
  else if (planes == 4)
    Convert<4>(source, sourceRowBytes, target, targetRowBytes, planes, tile);
  else
    Convert<0>(source, sourceRowBytes, target, targetRowBytes, planes, tile);
}

void InitPreviewPixelMap(const FilterRecord *record, unsigned char *buffer) {
  PSPixelMap &map = previewPixelMap;
  map = PSPixelMap{};
  map.version = 1;
  map.bounds = VRect{0, 0, kPreviewTileSide, kPreviewTileSide};
  switch (record->imageMode) {  // what the host shows is always 8-bit
    case kModeGray16:
      map.imageMode = kModeGrayscale;
      break;
    case kModeRGB48:
      map.imageMode = kModeRGB;
      break;
    case kModeLab48:
      map.imageMode = kModeLab;
      break;
    case kModeCMYK64:
      map.imageMode = kModeCMYK;
      break;
    default:
      map.imageMode = record->imageMode;
      break;
  }
  map.rowBytes = record->planes * kPreviewTileSide;
  map.colBytes = record->planes;
  map.planeBytes = 1;
  map.baseAddr = buffer;
  previewBuffer = buffer;
}

void SetPreviewOn(bool on) { previewState.previewOn = on; }

bool NextAreaTile(const Rect &area, Rect *tile) {
  if (area.top >= area.bottom || area.left >= area.right) return false;
  Rect &t = *tile;
  auto limit = [](int32_t from, int16_t end) {
    int32_t to = from + kPreviewTileSide;
    return int16_t(to < end ? to : end);
  };
  if (t.top >= t.bottom || t.left >= t.right) {
    t = Rect{area.top, area.left, limit(area.top, area.bottom),
             limit(area.left, area.right)};
  } else if (t.right < area.right) {
    t.left = t.right;
    t.right = limit(t.left, area.right);
  } else if (t.bottom >= area.bottom) {
    return false;
  } else {
    t.top = t.bottom;
    t.bottom = limit(t.top, area.bottom);
    t.left = area.left;
    t.right = limit(area.left, area.right);
  }
  return true;
}

Rect PreviewRequestRect(const Rect &tile) {
  const WindowRect &image = previewState.imageRect;
  const int32_t m = previewState.magnification;
  int32_t top = tile.top - image.top, left = tile.left - image.left;
  int32_t bottom = tile.bottom - image.top, right = tile.right - image.left;
  if (m != 1) {
    top = FloorDiv(top, m);
    left = FloorDiv(left, m);
    bottom = FloorDiv(bottom + m - 1, m);
    right = FloorDiv(right + m - 1, m);
  }
  return Rect{int16_t(top), int16_t(left), int16_t(bottom), int16_t(right)};
}

void FillPreviewPixelMap(const FilterRecord *record, const Rect &tile) {
  PSPixelMap &map = previewPixelMap;
  const bool deep = record->depth == 16;
  const int32_t planes = record->planes;
  const int32_t m = previewState.magnification;
  const uint8_t *source;
  int32_t sourceRowBytes;
  if (previewState.previewOn) {
    source = static_cast<const uint8_t *>(record->outData);
    sourceRowBytes = record->outRowBytes;
  } else {
    sourceRowBytes = record->inRowBytes;
    source =
        static_cast<const uint8_t *>(record->inData) +
        ptrdiff_t(record->outRect.top - record->inRect.top) * sourceRowBytes +
        ptrdiff_t(record->outRect.left - record->inRect.left) * planes *
            (deep ? 2 : 1);
  }
  uint8_t *target = static_cast<uint8_t *>(map.baseAddr);
  if (!deep) {
    if (m == 1) {  // shown straight from the host's buffer
      map.baseAddr = const_cast<uint8_t *>(source);
      map.rowBytes = sourceRowBytes;
    } else {
      map.rowBytes = planes * kPreviewTileSide;
      map.baseAddr = previewBuffer;
      MagnifyTile8(source, sourceRowBytes, previewBuffer, map.rowBytes, m,
                   planes, tile);
    }
  } else if (m == 1) {
    ConvertTile16(source, sourceRowBytes, target, map.rowBytes, planes, tile);
  } else {
    MagnifyTile16(source, sourceRowBytes, target, map.rowBytes, m, planes,
                  tile);
  }
}

void ShowPreviewTile(const FilterRecord *record, const Rect &tile) {
  const VRect source{0, 0, Height(tile), Width(tile)};
  record->displayPixels(&previewPixelMap, &source, tile.top, tile.left,
                        record->platformData);
}

void RenderPreviewTile(FilterRecord *record, const Rect &tile) {
  const Rect request = PreviewRequestRect(tile);
  record->inRect = record->outRect = request;
  if (previewState.previewOn) SetInputRectFromOutput(record);
  // The output buffer is only somewhere for the engine to write: ask for
  // it at the image's origin, where it always lies inside the image.
  record->outRect = Rect{0, 0, Height(request), Width(request)};
  int32_t width, height;
  ScaledImageSize(record, previewState.reduction, 1, &width, &height);
  const AskedTile asked =
      AskForTile(record, Rect{0, 0, int16_t(height), int16_t(width)});
  if (int16_t(record->advanceState()) != 0) return;  // a hole, silently
  // Less than asked is a hole too: never garbage in the window.
  HostTile delivered;
  if (!TakeDeliveredTile(record, asked, request, &delivered)) return;
  record->outRect = request;
  if (previewState.previewOn) {
    if (!HostTileFits(delivered)) return;
    ProcessHostTile(delivered);
  }
  FillPreviewPixelMap(record, tile);
  ShowPreviewTile(record, tile);
}

void RenderArea(FilterRecord *record, const Rect &area) {
  Rect tile{0, 0, 0, 0};
  while (NextAreaTile(area, &tile)) RenderPreviewTile(record, tile);
}

void RenderPreview(FilterRecord *record) {
  PrepareEngineTables(record);
  WindowRect visible;
  if (VisibleRect(&visible)) RenderArea(record, WindowToHostRect(visible));
}
