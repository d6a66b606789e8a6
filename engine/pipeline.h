// The engine's face to the shell and the preview: its work area, the
// tile entry points, the five stages of a tile and the per-pixel
// sharpening step. A tile is processed completely in one call; only the
// tables carry over.
#pragma once

#include <cstdint>

#include "engine/colour_space.h"
#include "params/host_records.h"

constexpr int32_t kTileSide = 256;   // largest output tile
constexpr int32_t kMaxMargin = 101;  // margin of the largest reach
constexpr int32_t kWorkTileSide = kTileSide + 2 * kMaxMargin;  // 458

// The work area's size: room for the input tile as working pixels, a
// row-blurred value per output column of every input row, and the
// blurred output tile.
constexpr int32_t kWorkTileBytes =
    kWorkTileSide * kWorkTileSide * int32_t(sizeof(WorkPixel));
constexpr int32_t kRowBlurBytes = kWorkTileSide * kTileSide * 2;
constexpr int32_t kBlurredTileBytes = kTileSide * kTileSide * 2;
constexpr int32_t kRowBlurOffset = kWorkTileBytes;
constexpr int32_t kBlurredTileOffset = kRowBlurOffset + kRowBlurBytes;
constexpr int32_t kEngineMemoryBytes = kBlurredTileOffset + kBlurredTileBytes;
static_assert(kEngineMemoryBytes == 1624152, "work area size");

// How the stages use the work area, as planes of 16-bit values that the
// kernels run along (null while no work area is attached). Rows of the
// value plane and the row-blur buffer count from the first input row the
// blur reads, their columns (value plane) from the first input column it
// reads; the other planes hold the output tile, rows of kTileSide.
constexpr int32_t kPlaneRows = 480;  // 458, in whole strips of 32 lines
constexpr int32_t kValueStride = 464;
extern uint16_t *ValuePlane;  // the input values; output values sharpened
extern uint16_t *HuePlane;
extern uint16_t *SaturationPlane;
extern uint16_t *RowBlurBuffer;  // from the output tile's left column
extern uint16_t *BlurredTile;    // the blurred values of the output tile
extern uint16_t *BlurScratch;

// One tile as the host delivered it, in image coordinates: inData holds
// the pixels of inRect, rows inRowBytes bytes apart (any count, odd
// too); inUsable is the part of inRect that holds image pixels. The
// input the blur wants beyond inUsable is inUsable's edge, replicated,
// so a host that serves only the image's own pixels gives the result of
// one that replicates its edges. outData receives outRect, which lies in
// inUsable. planes samples per pixel, depth 16 or else 8 bits.
struct HostTile {
  const void *inData;
  int32_t inRowBytes;
  Rect inRect;
  Rect inUsable;
  void *outData;
  int32_t outRowBytes;
  Rect outRect;
  int32_t planes;
  int32_t depth;
  bool gray;
};
// The tile of a host that replicates edges itself: inUsable is inRect.
HostTile HostTileOf(const FilterRecord *record);
// The preconditions of ProcessHostTile: a work area, the buffers, an
// output tile of 1 to 256 pixels a side inside inUsable, inUsable
// inside inRect, and the planes the pixels need (1 gray, 3 RGB).
bool HostTileFits(const HostTile &tile);
// Sharpens the tile; a tile that does not fit is left untouched.
void ProcessHostTile(const HostTile &tile);

int32_t EngineMemorySize(const FilterRecord *record);
// Lays out the planes in a block of EngineMemorySize bytes (aligned for
// 16-bit access) and builds the saturation weights.
void AttachEngineMemory(const FilterRecord *record, void *block);
void DetachEngineMemory(const FilterRecord *record);

// inRect becomes outRect grown by InputMargin(BlurReach), unclipped: the
// host replicates the image's edges.
void SetInputRectFromOutput(FilterRecord *record);

// Sharpens the tile the host delivered: inData for inRect into outData
// for outRect, by depth (16, or else 8 bits), planes samples per pixel.
// Samples after the first three are left as the host put them; a gray
// pixel's samples after its first are those of its input pixel.
void ProcessTile(const FilterRecord *record);
// ProcessTile, then the tile's progress count: its pixels times the
// output planes.
int32_t ProcessTileCounted(const FilterRecord *record);
void ProcessTile8(const FilterRecord *record);
void ProcessTile16(const FilterRecord *record);

// The planes' extent: the value plane holds rows + 2 margin rows of
// columns + 2 margin values around the output tile.
struct TileGeometry {
  int32_t margin;
  int32_t rows;     // of the output tile
  int32_t columns;  // of the output tile
};
TileGeometry GetTileGeometry(const Rect &outRect);
TileGeometry GetTileGeometry(const FilterRecord *record);
// The preconditions of the stages: a work area, the host's buffers, an
// output tile of 1 to 256 pixels a side and an input tile that holds it
// with the margin and fits the work area.
bool TileFitsWorkArea(const FilterRecord *record);

// The stages of ProcessTile, by depth, in this order, between them
// BlurRows and BlurColumns (blur.h): the input tile's values, and the
// output tile's hue and saturation, into the planes; the sharpening step
// over the output tile's values; the output tile back into outData.
void ConvertTileIn(const FilterRecord *record);
void SharpenTile(const FilterRecord *record);
void ConvertTileOut(const FilterRecord *record);
void SharpenTileOf(const TileGeometry &g, bool gray = false);

// The sharpening step over a row of planar working pixels with the
// current tables: each value moves away from its blurred value by the
// response and the colour weight.
void SharpenValues(const uint16_t *blurred, const uint16_t *hue,
                   const uint16_t *saturation, uint16_t *value, int32_t count);
