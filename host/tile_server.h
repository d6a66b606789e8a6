// The host's side of advanceState: from the request fields of the record
// it writes the previous output back into the document and hands out the
// pixels of inRect and a buffer for outRect, every requested plane
// interleaved; a conforming host hands out the document's own pixels
// instead where a request lies inside it, unsampled, with every plane
// and no row padding (the output then needs no writing back). Two
// behaviours: a conforming host (inputRate sampling,
// padding as the module asks), and an imitation of an open-source host
// engine that says it cannot pad (supportsPadding 0) and ignores the
// padding fields: a request with a negative top is filled from image row
// 0 on; one with a negative left gets row bytes for the requested width
// but rows packed at the clipped width (the rows shear); one past the
// right or bottom edge is clipped there and the record's rectangle
// rewritten to it. Requests inside the image are served exactly. Its
// reduced copy of the image at a rate d is floor(size / d) pixels a side:
// a reduced request reaching past that gets the copy's narrower rows,
// packed under the row bytes of the request, the rectangle not rewritten.
// A third behaviour imitates GIMP's bridge for these plug-ins: no
// padding, no sampling (full-resolution pixels whatever the rate).
#pragma once

#include <cstdint>
#include <vector>

#include "host/image.h"
#include "params/host_records.h"

enum class RequestBehaviour {
  kConforming,
  kClipLikeOpenHost,
  kGimpBridge,
};

enum : int16_t {
  kPaddingReplicate = -1,
  kPaddingNone = -2,
  kPaddingErrorOnBounds = -3,
};

// Bytes a conforming host leaves in buffer parts it was told not to pad,
// and that the open-source model leaves past the image's edge.
constexpr uint8_t kUnfilledByte = 0x00;
constexpr uint8_t kNoPaddingByte = 0xA5;

struct TileRequest {
  Rect rect{0, 0, 0, 0};
  int16_t loPlane = 0;
  int16_t hiPlane = 0;
  int16_t padding = 0;
  Fixed rate = 0x10000;
};

struct TileBuffer {
  bool valid = false; // false for an empty rectangle: no data
  TileRequest request;
  int32_t bytesPerSample = 1;
  int32_t rowBytes = 0;       // what the record says
  int32_t packedRowBytes = 0; // where the rows really lie
  std::vector<uint8_t> bytes;
  // The document's own pixels, where a conforming host serves the tile
  // in place; bytes is then unused.
  const uint8_t *inPlace = nullptr;
  const uint8_t *Data() const { return inPlace ? inPlace : bytes.data(); }
};

struct ServeOptions {
  RequestBehaviour behaviour = RequestBehaviour::kConforming;
  int32_t rowPad = 0; // extra bytes after each row, as real hosts align
  int64_t maxRequestBytes = int64_t(512) << 20;
};

// Fills a buffer for one request from image; 0, kErrParam (bad planes,
// rate or padding, or out of bounds when the padding asks for an error)
// or kErrNoMemory (larger than maxRequestBytes).
OSErr FillTile(const HostImage &image, const TileRequest &request,
               const ServeOptions &options, TileBuffer *tile);

// Hands out the document's own pixels for a request where a conforming
// host does (inside the image and clip, unsampled, every plane, rows
// unpadded); false, and nothing served, otherwise.
bool ServeInPlace(const HostImage &image, const TileRequest &q,
                  const ServeOptions &options, const Rect &clip,
                  TileBuffer *tile);

// Writes a served output buffer into image, only inside clip.
void WriteTile(const TileBuffer &tile, const Rect &clip,
               RequestBehaviour behaviour, HostImage *image);

struct AdvanceCall {
  bool fromModule = true; // false: the host serving the classic protocol
  Rect inRect{0, 0, 0, 0};
  Rect outRect{0, 0, 0, 0};
  int16_t inLoPlane = 0, inHiPlane = 0, outLoPlane = 0, outHiPlane = 0;
  Fixed inputRate = 0;
  int16_t inputPadding = 0, outputPadding = 0;
  OSErr result = 0;
};

struct TileServer {
  ServeOptions options;
  bool columnBytesZero = false; // a host that leaves the layout fields 0
  int32_t failAt = 0;           // the module's N-th call fails (0: never)
  // The module's N-th call gets one input column less than it asked
  // for, inRect rewritten to say so (0: never).
  int32_t shortInputAt = 0;
  OSErr failCode = kErrNoMemory;
  int32_t moduleCalls = 0;
  TileBuffer input;
  TileBuffer output;
  bool outputPending = false; // handed out, not yet written back
  std::vector<AdvanceCall> log;
};

constexpr size_t kMaxAdvanceLog = 100000;

// One advanceState: writes back the pending output into destination
// (inside clip), then serves the record's request from source (input) and
// destination (output) and sets inData, outData and the layout fields.
OSErr AdvanceTiles(TileServer *server, FilterRecord *record,
                   const HostImage &source, HostImage *destination,
                   const Rect &clip, bool fromModule);

// Writes back the pending output and releases the buffers; inData and
// outData become null.
void FlushTiles(TileServer *server, FilterRecord *record,
                HostImage *destination, const Rect &clip);

bool RectEmpty(const Rect &r);
