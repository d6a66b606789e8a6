#include "host/tile_server.h"

#include <algorithm>
#include <cstring>

bool RectEmpty(const Rect &r) { return r.top >= r.bottom || r.left >= r.right; }

namespace {

void PutSample(uint8_t *at, int32_t bytesPerSample, uint16_t value) {
  if (bytesPerSample == 2)
    std::memcpy(at, &value, 2);
  else
    *at = uint8_t(value);
}

// A run of count pixels of pixelBytes between the document and a tile
// buffer (of the same sample width), fromStep and toStep bytes apart:
// one copy where both are packed, as when the tile holds every plane.
void CopyPixels(const uint8_t *from, size_t fromStep, uint8_t *to,
                size_t toStep, size_t pixelBytes, int32_t count) {
  if (fromStep == pixelBytes && toStep == pixelBytes) {
    std::memcpy(to, from, size_t(count) * pixelBytes);
    return;
  }
  for (int32_t i = 0; i < count; ++i, from += fromStep, to += toStep)
    std::memcpy(to, from, pixelBytes);
}

void PackRun(const uint8_t *from, int32_t imagePlanes, int32_t planes,
             int32_t bps, int32_t count, uint8_t *to) {
  CopyPixels(from, size_t(imagePlanes * bps), to, size_t(planes * bps),
             size_t(planes * bps), count);
}

void UnpackRun(const uint8_t *from, int32_t planes, int32_t bps, int32_t count,
               int32_t imagePlanes, uint8_t *to) {
  CopyPixels(from, size_t(planes * bps), to, size_t(imagePlanes * bps),
             size_t(planes * bps), count);
}

const uint8_t *PixelAt(const HostImage &image, int32_t x, int32_t y) {
  return image.samples.Bytes(SampleIndex(image, x, y, 0));
}

// Extent of the image in the sampled coordinates of a rate: ceil(n / r).
int64_t SampledExtent(int32_t n, Fixed rate) {
  return (int64_t(n) * 0x10000 + rate - 1) / rate;
}

// The image row or column a sampled coordinate reads.
int32_t SourceIndex(int64_t sampled, Fixed rate) {
  return int32_t(sampled * rate / 0x10000);
}

uint16_t PaddingValue(int16_t padding, int32_t depth) {
  return depth == 16 ? uint16_t((uint32_t(padding) * kHostMax16 + 127) / 255)
                     : uint16_t(padding);
}

void FillConforming(const HostImage &image, const TileRequest &q,
                    TileBuffer *tile) {
  const int32_t planes = q.hiPlane - q.loPlane + 1;
  const int64_t sampledW = SampledExtent(image.width, q.rate);
  const int64_t sampledH = SampledExtent(image.height, q.rate);
  const int32_t h = q.rect.bottom - q.rect.top;
  const int32_t w = q.rect.right - q.rect.left;
  const int32_t bps = tile->bytesPerSample;
  for (int32_t j = 0; j < h; ++j) {
    const int64_t y = int64_t(q.rect.top) + j;
    uint8_t *row = tile->bytes.data() + size_t(j) * size_t(tile->rowBytes);
    // One pixel outside the image, or read through the sampling rate.
    auto fillPixel = [&](int32_t i) {
      const int64_t x = int64_t(q.rect.left) + i;
      uint8_t *pixel = row + size_t(i) * size_t(planes * bps);
      const bool inside = x >= 0 && x < sampledW && y >= 0 && y < sampledH;
      if (!inside && q.padding != kPaddingReplicate) {
        if (q.padding >= 0)
          for (int32_t p = 0; p < planes; ++p)
            PutSample(pixel + p * bps, bps,
                      PaddingValue(q.padding, image.depth));
        return;  // kPaddingNone: the buffer's fill stays
      }
      const int32_t col =
          SourceIndex(std::clamp<int64_t>(x, 0, sampledW - 1), q.rate);
      const int32_t src =
          SourceIndex(std::clamp<int64_t>(y, 0, sampledH - 1), q.rate);
      for (int32_t p = 0; p < planes; ++p)
        PutSample(pixel + p * bps, bps,
                  SampleAt(image, col, src, q.loPlane + p));
    };
    // Unsampled rows inside the image: the inside run in one copy, the
    // edges pixel by pixel.
    int32_t runFirst = w, runEnd = w;
    if (q.rate == 0x10000 && y >= 0 && y < sampledH) {
      runFirst = int32_t(std::clamp<int64_t>(-int64_t(q.rect.left), 0, w));
      runEnd =
          int32_t(std::clamp<int64_t>(sampledW - q.rect.left, runFirst, w));
      if (runEnd > runFirst)
        PackRun(PixelAt(image, q.rect.left + runFirst, int32_t(y)) +
                    q.loPlane * bps,
                image.planes, planes, bps, runEnd - runFirst,
                row + size_t(runFirst) * size_t(planes * bps));
    }
    for (int32_t i = 0; i < runFirst; ++i) fillPixel(i);
    for (int32_t i = runEnd; i < w; ++i) fillPixel(i);
    const size_t pixelsBytes = size_t(w) * size_t(planes * bps);
    std::memset(row + pixelsBytes, kNoPaddingByte,
                size_t(tile->rowBytes) - pixelsBytes);
  }
}

// Where the open-source engine puts a request: the rectangle it serves
// (clipped at the right and bottom edges), the image pixels it reads
// (from the clamped origin) and the row step it packs them at.
struct ClippedArea {
  Rect served;
  int32_t top, left, height, width;  // image pixels, from the buffer's origin
  int32_t rowBytes, packedRowBytes;
};

ClippedArea ClipLikeOpenHost(const Rect &r, int32_t width, int32_t height,
                             int32_t pixelBytes, int32_t rowPad) {
  ClippedArea a;
  a.served = r;
  a.served.bottom = int16_t(std::min<int32_t>(r.bottom, height));
  a.served.right = int16_t(std::min<int32_t>(r.right, width));
  a.top = std::max<int32_t>(r.top, 0);
  a.left = std::max<int32_t>(r.left, 0);
  a.height = std::max(0, a.served.bottom - a.top);
  a.width = std::max(0, a.served.right - a.left);
  a.rowBytes = std::max(0, a.served.right - r.left) * pixelBytes + rowPad;
  a.packedRowBytes = r.left < 0 ? a.width * pixelBytes : a.rowBytes;
  return a;
}

// The open-source engine's reduced copy: floor(size / rate) a side. Rows
// past it are left unfilled; columns past it shorten the packed rows.
void ClipToReducedCopy(const HostImage &image, Fixed rate, int32_t pixelBytes,
                       ClippedArea *a) {
  const int32_t width = int32_t(int64_t(image.width) * 0x10000 / rate);
  const int32_t height = int32_t(int64_t(image.height) * 0x10000 / rate);
  const int32_t right = std::min<int32_t>(a->served.right, width);
  const int32_t bottom = std::min<int32_t>(a->served.bottom, height);
  a->height = std::max(0, bottom - a->top);
  if (right < a->served.right) {
    a->width = std::max(0, right - a->left);
    a->packedRowBytes = a->width * pixelBytes;
  }
}

void FillClipped(const HostImage &image, const TileRequest &q,
                 const ClippedArea &a, TileBuffer *tile) {
  const int32_t planes = q.hiPlane - q.loPlane + 1;
  const int32_t bps = tile->bytesPerSample;
  for (int32_t j = 0; j < a.height; ++j) {
    uint8_t *row = tile->bytes.data() + size_t(j) * size_t(a.packedRowBytes);
    if (q.rate == 0x10000) {
      if (a.width > 0)
        PackRun(PixelAt(image, a.left, a.top + j) + q.loPlane * bps,
                image.planes, planes, bps, a.width, row);
      continue;
    }
    for (int32_t i = 0; i < a.width; ++i) {
      const int32_t x = SourceIndex(a.left + i, q.rate);
      const int32_t y = SourceIndex(a.top + j, q.rate);
      for (int32_t p = 0; p < planes; ++p)
        PutSample(row + size_t(i * planes + p) * size_t(bps), bps,
                  SampleAt(image, x, y, q.loPlane + p));
    }
  }
}

void ReleaseBuffer(TileBuffer *tile) {
  tile->valid = false;
  tile->inPlace = nullptr;
  std::vector<uint8_t>().swap(tile->bytes);
}

bool Inside(const Rect &inner, const Rect &outer) {
  return inner.top >= outer.top && inner.left >= outer.left &&
         inner.bottom <= outer.bottom && inner.right <= outer.right;
}

void SetLayoutFields(const TileServer &server, FilterRecord *record) {
  auto column = [](const TileBuffer &t) {
    return t.valid
               ? (t.request.hiPlane - t.request.loPlane + 1) * t.bytesPerSample
               : 0;
  };
  auto plane = [](const TileBuffer &t) {
    return t.valid ? t.bytesPerSample : 0;
  };
  record->inData = server.input.valid ? (void *)server.input.Data() : nullptr;
  record->inRowBytes = server.input.valid ? server.input.rowBytes : 0;
  record->outData =
      server.output.valid ? (void *)server.output.Data() : nullptr;
  record->outRowBytes = server.output.valid ? server.output.rowBytes : 0;
  if (server.columnBytesZero) {
    record->inColumnBytes = record->outColumnBytes = 0;
    record->inPlaneBytes = record->outPlaneBytes = 0;
  } else {
    record->inColumnBytes = column(server.input);
    record->outColumnBytes = column(server.output);
    record->inPlaneBytes = plane(server.input);
    record->outPlaneBytes = plane(server.output);
  }
}

}  // namespace

// A conforming host hands out the document's own pixels where they are
// what the request wants: inside the image (an output also inside the
// area written back), unsampled, every plane, rows unpadded. Nothing is
// copied in, and the output is written once, by the module.
bool ServeInPlace(const HostImage &image, const TileRequest &q,
                  const ServeOptions &options, const Rect &clip,
                  TileBuffer *tile) {
  const Rect whole{0, 0, int16_t(image.height), int16_t(image.width)};
  if (options.behaviour != RequestBehaviour::kConforming ||
      options.rowPad != 0 || q.rate != 0x10000 || q.loPlane != 0 ||
      q.hiPlane != image.planes - 1 || RectEmpty(q.rect) ||
      !Inside(q.rect, whole) || !Inside(q.rect, clip))
    return false;
  tile->valid = true;
  tile->request = q;
  tile->bytesPerSample = image.samples.BytesPerSample();
  tile->rowBytes = image.width * image.planes * tile->bytesPerSample;
  tile->packedRowBytes = tile->rowBytes;
  tile->inPlace =
      image.samples.Bytes(SampleIndex(image, q.rect.left, q.rect.top, 0));
  return true;
}

OSErr FillTile(const HostImage &image, const TileRequest &request,
               const ServeOptions &options, TileBuffer *tile) {
  // The buffer's memory is kept from tile to tile: fresh pages for every
  // tile cost more than the copy itself.
  tile->valid = false;
  tile->inPlace = nullptr;
  tile->request = request;
  tile->rowBytes = 0;
  tile->bytesPerSample = image.depth == 16 ? 2 : 1;
  if (RectEmpty(request.rect)) return 0;
  const bool clipped = options.behaviour == RequestBehaviour::kClipLikeOpenHost;
  TileRequest q = request;
  if (options.behaviour == RequestBehaviour::kGimpBridge) {
    q.rate = 0x10000;
    q.padding = kPaddingNone;
  }
  if (request.loPlane < 0 || request.hiPlane >= image.planes ||
      request.loPlane > request.hiPlane)
    return kErrParam;
  if (!clipped) {
    if (q.rate <= 0) return kErrParam;
    if (q.padding < kPaddingErrorOnBounds || q.padding > 255) return kErrParam;
    if (q.padding == kPaddingErrorOnBounds &&
        (q.rect.top < 0 || q.rect.left < 0 ||
         q.rect.bottom > SampledExtent(image.height, q.rate) ||
         q.rect.right > SampledExtent(image.width, q.rate)))
      return kErrParam;
  } else if (q.rate <= 0) {
    return kErrParam;
  }
  const int64_t planes = q.hiPlane - q.loPlane + 1;
  const int32_t pixelBytes = int32_t(planes) * tile->bytesPerSample;
  int64_t h = q.rect.bottom - q.rect.top;
  int64_t rowBytes =
      int64_t(q.rect.right - q.rect.left) * pixelBytes + options.rowPad;
  ClippedArea area{};
  if (clipped) {
    area = ClipLikeOpenHost(q.rect, int32_t(SampledExtent(image.width, q.rate)),
                            int32_t(SampledExtent(image.height, q.rate)),
                            pixelBytes, options.rowPad);
    if (q.rate != 0x10000) ClipToReducedCopy(image, q.rate, pixelBytes, &area);
    q.rect = area.served;
    h = std::max(0, q.rect.bottom - q.rect.top);
    rowBytes = area.rowBytes;
  }
  if (rowBytes * h > options.maxRequestBytes || rowBytes > INT32_MAX)
    return kErrNoMemory;
  tile->rowBytes = int32_t(rowBytes);
  tile->packedRowBytes = clipped ? area.packedRowBytes : tile->rowBytes;
  // Filled first only where the copy leaves bytes unwritten: a conforming
  // host writes every byte unless it must leave edges unpadded. Writing
  // the buffer twice was much of the host's time.
  const size_t size = size_t(rowBytes * h);
  const bool inside = q.rect.top >= 0 && q.rect.left >= 0 &&
                      q.rect.bottom <= SampledExtent(image.height, q.rate) &&
                      q.rect.right <= SampledExtent(image.width, q.rate);
  if (!clipped && (q.padding != kPaddingNone || inside)) {
    if (tile->bytes.size() < size) tile->bytes.resize(size);
  } else {
    tile->bytes.assign(size, clipped ? kUnfilledByte : kNoPaddingByte);
  }
  tile->request = q;
  tile->valid = true;
  if (clipped)
    FillClipped(image, q, area, tile);
  else
    FillConforming(image, q, tile);
  return 0;
}

void WriteTile(const TileBuffer &tile, const Rect &clip,
               RequestBehaviour behaviour, HostImage *image) {
  if (!tile.valid || tile.inPlace) return;  // the module wrote it there
  const TileRequest &q = tile.request;
  const int32_t planes = q.hiPlane - q.loPlane + 1;
  const int32_t bps = tile.bytesPerSample;
  int32_t top = q.rect.top, left = q.rect.left;
  int32_t height = q.rect.bottom - q.rect.top;
  int32_t width = q.rect.right - q.rect.left;
  if (behaviour == RequestBehaviour::kClipLikeOpenHost) {
    // Back from where the fill put the pixels (the output is not sampled).
    top = std::max<int32_t>(top, 0);
    left = std::max<int32_t>(left, 0);
    height = std::max(0, q.rect.bottom - top);
    width = std::max(0, q.rect.right - left);
  }
  for (int32_t j = 0; j < height; ++j) {
    int32_t y = top + j;
    if (y < 0 || y >= image->height) continue;
    if (y < clip.top || y >= clip.bottom) continue;
    const uint8_t *row =
        tile.bytes.data() + size_t(j) * size_t(tile.packedRowBytes);
    // The tile's columns that land inside both the image and the clip.
    const int32_t first = std::max({left, 0, int32_t(clip.left)});
    const int32_t end =
        std::min({left + width, image->width, int32_t(clip.right)});
    if (first >= end) continue;
    UnpackRun(row + size_t(first - left) * size_t(planes * bps), planes, bps,
              end - first, image->planes,
              image->samples.Bytes(SampleIndex(*image, first, y, q.loPlane)));
  }
}

OSErr AdvanceTiles(TileServer *server, FilterRecord *record,
                   const HostImage &source, HostImage *destination,
                   const Rect &clip, bool fromModule) {
  AdvanceCall call;
  call.fromModule = fromModule;
  call.inRect = record->inRect;
  call.outRect = record->outRect;
  call.inLoPlane = record->inLoPlane;
  call.inHiPlane = record->inHiPlane;
  call.outLoPlane = record->outLoPlane;
  call.outHiPlane = record->outHiPlane;
  call.inputRate = record->inputRate;
  call.inputPadding = record->inputPadding;
  call.outputPadding = record->outputPadding;

  OSErr result = 0;
  if (fromModule && ++server->moduleCalls == server->failAt)
    result = server->failCode;

  if (server->outputPending)
    WriteTile(server->output, clip, server->options.behaviour, destination);
  server->outputPending = false;

  if (result == 0) {
    TileRequest in;
    in.rect = record->inRect;
    in.loPlane = record->inLoPlane;
    in.hiPlane = record->inHiPlane;
    in.padding = record->inputPadding;
    in.rate = record->inputRate;
    // The input in place wherever it lies inside the image.
    const Rect anywhere{INT16_MIN, INT16_MIN, INT16_MAX, INT16_MAX};
    if (!ServeInPlace(source, in, server->options, anywhere, &server->input))
      result = FillTile(source, in, server->options, &server->input);
    if (result == 0 && fromModule &&
        server->moduleCalls == server->shortInputAt && server->input.valid)
      --server->input.request.rect.right;
  }
  if (result == 0) {
    TileRequest out;
    out.rect = record->outRect;
    out.loPlane = record->outLoPlane;
    out.hiPlane = record->outHiPlane;
    out.padding = record->outputPadding;
    out.rate = 0x10000;  // sampling applies to the input alone
    if (!ServeInPlace(*destination, out, server->options, clip,
                      &server->output))
      result = FillTile(*destination, out, server->options, &server->output);
    server->outputPending = result == 0 && server->output.valid;
  }
  if (result != 0) {
    ReleaseBuffer(&server->input);
    ReleaseBuffer(&server->output);
  }
  SetLayoutFields(*server, record);
  // The served rectangles, as that host rewrites them.
  if (result == 0 && server->input.valid)
    record->inRect = server->input.request.rect;
  if (result == 0 && server->output.valid)
    record->outRect = server->output.request.rect;
  call.result = result;
  if (server->log.size() < kMaxAdvanceLog) server->log.push_back(call);
  return result;
}

void FlushTiles(TileServer *server, FilterRecord *record,
                HostImage *destination, const Rect &clip) {
  if (server->outputPending)
    WriteTile(server->output, clip, server->options.behaviour, destination);
  server->outputPending = false;
  ReleaseBuffer(&server->input);
  ReleaseBuffer(&server->output);
  if (record) SetLayoutFields(*server, record);
}
