#include "dialog/preview_render.h"

#include <cstddef>
#include <cstring>

#include "dialog/preview_view.h"
#include "engine/gray.h"
#include "engine/pipeline.h"
#include "engine/tables.h"
#include "engine/tile_request.h"

PSPixelMap previewPixelMap;
unsigned char *previewBuffer = nullptr;
unsigned char *previewGather = nullptr;
int32_t previewGatherBytes = 0;

namespace {

constexpr int32_t kPreviewTileSide = 256;
// A gathered tile's input may reach past the tile by the blur's margin
// at a reduction of 2 or more: up to 128 pixels on each side.
constexpr int32_t kGatherSide = 2 * kPreviewTileSide;
// Full-resolution rows are asked for in pieces of at most this size.
constexpr int32_t kFullRowsBytes = 1 << 20;

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

namespace {

// The pixel map over the shown pixels of tile, which start at source.
void FillPixelMapFrom(const FilterRecord *record, const Rect &tile,
                      const uint8_t *source, int32_t sourceRowBytes) {
  PSPixelMap &map = previewPixelMap;
  const bool deep = record->depth == 16;
  const int32_t planes = record->planes;
  const int32_t m = previewState.magnification;
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

}  // namespace

void FillPreviewPixelMap(const FilterRecord *record, const Rect &tile) {
  if (previewState.previewOn) {
    FillPixelMapFrom(record, tile,
                     static_cast<const uint8_t *>(record->outData),
                     record->outRowBytes);
    return;
  }
  const int32_t pixelBytes = record->planes * (record->depth == 16 ? 2 : 1);
  FillPixelMapFrom(
      record, tile,
      static_cast<const uint8_t *>(record->inData) +
          ptrdiff_t(record->outRect.top - record->inRect.top) *
              record->inRowBytes +
          ptrdiff_t(record->outRect.left - record->inRect.left) * pixelBytes,
      record->inRowBytes);
}

void ShowPreviewTile(const FilterRecord *record, const Rect &tile) {
  const VRect source{0, 0, Height(tile), Width(tile)};
  record->displayPixels(&previewPixelMap, &source, tile.top, tile.left,
                        record->platformData);
}

int32_t PreviewGatherBytes(const FilterRecord *record) {
  if (record->samplingSupport != 0 && record->supportsPadding) return 0;
  const int32_t pixelBytes = record->planes * (record->depth == 16 ? 2 : 1);
  return pixelBytes *
         (kGatherSide * kGatherSide + kPreviewTileSide * kPreviewTileSide);
}

namespace {

bool SameRect(const Rect &a, const Rect &b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom &&
         a.right == b.right;
}

Rect Meet(const Rect &a, const Rect &b) {
  return Rect{a.top > b.top ? a.top : b.top, a.left > b.left ? a.left : b.left,
              a.bottom < b.bottom ? a.bottom : b.bottom,
              a.right < b.right ? a.right : b.right};
}

bool IsEmpty(const Rect &r) { return r.top >= r.bottom || r.left >= r.right; }

// A gathered tile: usable (reduced coordinates) laid out at data.
struct Gathered {
  uint8_t *data;
  int32_t rowBytes, pixelBytes;
  Rect usable;
};

// Asks the host for rect at rate (its input alone) and checks that
// exactly that arrived, every plane, rows long enough.
const uint8_t *Fetch(FilterRecord *record, const Rect &rect, int32_t rate,
                     int32_t pixelBytes) {
  record->inputRate = rate * 65536;
  record->inRect = rect;
  record->outRect = Rect{0, 0, 0, 0};
  if (int16_t(record->advanceState()) != 0) return nullptr;
  if (!record->inData || !SameRect(record->inRect, rect) ||
      record->inLoPlane != 0 || record->inHiPlane != record->planes - 1 ||
      int64_t(record->inRowBytes) < int64_t(Width(rect)) * pixelBytes)
    return nullptr;
  return static_cast<const uint8_t *>(record->inData);
}

// The part of the reduced image the host's own sampling gives: the host's
// reduced copy may be floor(size / d) pixels a side, not one more.
bool GatherSampled(FilterRecord *record, const Rect &part, const Gathered &g) {
  const uint8_t *data =
      Fetch(record, part, previewState.reduction, g.pixelBytes);
  if (!data) return false;
  for (int32_t y = part.top; y < part.bottom; ++y)
    std::memcpy(g.data + ptrdiff_t(y - g.usable.top) * g.rowBytes +
                    ptrdiff_t(part.left - g.usable.left) * g.pixelBytes,
                data + ptrdiff_t(y - part.top) * record->inRowBytes,
                size_t(Width(part)) * size_t(g.pixelBytes));
  return true;
}

// The same pixels read at full resolution and sampled here, as a host
// samples: the reduced pixel (x, y) is the image's (x d, y d). Rows come
// in pieces, so that a large reduction asks for no huge rectangle.
bool GatherFullResolution(FilterRecord *record, const Rect &part,
                          const Gathered &g) {
  const int32_t d = previewState.reduction;
  const int32_t left = part.left * d, right = (part.right - 1) * d + 1;
  int32_t rowsPerPiece = kFullRowsBytes / (d * (right - left) * g.pixelBytes);
  if (rowsPerPiece < 1) rowsPerPiece = 1;
  for (int32_t top = part.top; top < part.bottom; top += rowsPerPiece) {
    const int32_t bottom = top + rowsPerPiece < part.bottom
                               ? top + rowsPerPiece
                               : int32_t(part.bottom);
    const Rect rows{int16_t(top * d), int16_t(left),
                    int16_t((bottom - 1) * d + 1), int16_t(right)};
    const uint8_t *data = Fetch(record, rows, 1, g.pixelBytes);
    if (!data) return false;
    for (int32_t y = top; y < bottom; ++y) {
      const uint8_t *from =
          data + ptrdiff_t(y - top) * d * ptrdiff_t(record->inRowBytes);
      uint8_t *to = g.data + ptrdiff_t(y - g.usable.top) * g.rowBytes +
                    ptrdiff_t(part.left - g.usable.left) * g.pixelBytes;
      for (int32_t x = part.left; x < part.right; ++x) {
        std::memcpy(to, from, size_t(g.pixelBytes));
        to += g.pixelBytes;
        from += ptrdiff_t(d) * g.pixelBytes;
      }
    }
  }
  return true;
}

// A reduced tile from a host that cannot give it whole: the pixels of
// its reduced copy from the host (where it samples), the rest read at
// full resolution and sampled here, the edges replicated by the engine.
// Shows what a host that samples and pads shows, or leaves a hole.
void RenderGatheredTile(FilterRecord *record, const Rect &tile,
                        const Rect &request) {
  const int32_t d = previewState.reduction;
  Rect wanted = request;
  if (previewState.previewOn) {
    record->outRect = request;
    SetInputRectFromOutput(record);
    wanted = record->inRect;
  }
  // The pixels that exist at this reduction: every d-th one.
  const int32_t width = record->imageSize.h, height = record->imageSize.v;
  const Rect sampled{0, 0, int16_t((height + d - 1) / d),
                     int16_t((width + d - 1) / d)};
  Gathered g;
  g.usable = Meet(wanted, sampled);
  g.pixelBytes = record->planes * (record->depth == 16 ? 2 : 1);
  g.rowBytes = Width(g.usable) * g.pixelBytes;
  const int32_t inBytes = Height(g.usable) * g.rowBytes;
  const int32_t outRowBytes = kPreviewTileSide * g.pixelBytes;
  if (!previewGather || IsEmpty(g.usable) ||
      inBytes + kPreviewTileSide * outRowBytes > previewGatherBytes ||
      (!previewState.previewOn && !SameRect(Meet(request, g.usable), request)))
    return;
  g.data = previewGather;
  Rect fromHost{0, 0, 0, 0};
  if (record->samplingSupport != 0)
    fromHost =
        Meet(g.usable, Rect{0, 0, int16_t(height / d), int16_t(width / d)});
  bool complete = true;
  if (IsEmpty(fromHost)) {
    complete = GatherFullResolution(record, g.usable, g);
  } else {
    // At most a column on the right and a row at the bottom remain.
    const Rect right{g.usable.top, fromHost.right, fromHost.bottom,
                     g.usable.right};
    const Rect below{fromHost.bottom, g.usable.left, g.usable.bottom,
                     g.usable.right};
    complete = GatherSampled(record, fromHost, g) &&
               (IsEmpty(right) || GatherFullResolution(record, right, g)) &&
               (IsEmpty(below) || GatherFullResolution(record, below, g));
  }
  record->inputRate = d * 65536;
  if (!complete) return;
  if (previewState.previewOn) {
    uint8_t *out = previewGather + inBytes;
    const HostTile t = {g.data,        g.rowBytes,
                        g.usable,      g.usable,
                        out,           outRowBytes,
                        request,       record->planes,
                        record->depth, IsGrayMode(record->imageMode)};
    if (!HostTileFits(t)) return;
    ProcessHostTile(t);
    FillPixelMapFrom(record, tile, out, outRowBytes);
  } else {
    FillPixelMapFrom(record, tile,
                     g.data +
                         ptrdiff_t(request.top - g.usable.top) * g.rowBytes +
                         ptrdiff_t(request.left - g.usable.left) * g.pixelBytes,
                     g.rowBytes);
  }
  ShowPreviewTile(record, tile);
}

}  // namespace

void RenderPreviewTile(FilterRecord *record, const Rect &tile) {
  const Rect request = PreviewRequestRect(tile);
  if (previewState.reduction > 1 && PreviewGatherBytes(record) != 0) {
    RenderGatheredTile(record, tile, request);
    return;
  }
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
