// The engine's face to the shell and the preview: its work area, the
// tile entry points, and the per-pixel sharpening step. A tile is
// processed completely in one call; only the tables carry over.
#pragma once

#include <cstdint>

#include "engine/colour_space.h"
#include "params/host_records.h"

constexpr int32_t kTileSide = 256;   // largest output tile
constexpr int32_t kMaxMargin = 101;  // margin of the largest reach
constexpr int32_t kWorkTileSide = kTileSide + 2 * kMaxMargin;  // 458

// The work area: one block split into three buffers at these offsets.
constexpr int32_t kWorkTileBytes =
    kWorkTileSide * kWorkTileSide * int32_t(sizeof(WorkPixel));
constexpr int32_t kRowBlurBytes = kWorkTileSide * kTileSide * 2;
constexpr int32_t kBlurredTileBytes = kTileSide * kTileSide * 2;
constexpr int32_t kRowBlurOffset = kWorkTileBytes;
constexpr int32_t kBlurredTileOffset = kRowBlurOffset + kRowBlurBytes;
constexpr int32_t kEngineMemoryBytes = kBlurredTileOffset + kBlurredTileBytes;
static_assert(kEngineMemoryBytes == 1624152, "work area size");

// Null while no work area is attached. WorkTile row 0, column 0 is
// inRect's top-left pixel (rows of kWorkTileSide); RowBlurBuffer has a
// row per input row and BlurredTile a row per output row, both of
// kTileSide values starting at outRect's left column.
extern WorkPixel *WorkTile;
extern uint16_t *RowBlurBuffer;
extern uint16_t *BlurredTile;

int32_t EngineMemorySize(const FilterRecord *record);
// Lays out the buffers in a block of EngineMemorySize bytes (aligned
// for 16-bit access) and builds the saturation weights.
void AttachEngineMemory(const FilterRecord *record, void *block);
void DetachEngineMemory(const FilterRecord *record);

// inRect becomes outRect grown by InputMargin(BlurReach), unclipped: the
// host replicates the image's edges.
void SetInputRectFromOutput(FilterRecord *record);

// Sharpens the tile the host delivered: inData for inRect into outData
// for outRect, by depth (16, or else 8 bits), planes samples per pixel.
// Samples after the first three are left as the host put them.
void ProcessTile(const FilterRecord *record);
// ProcessTile, then the tile's progress count: its pixels times the
// output planes.
int32_t ProcessTileCounted(const FilterRecord *record);
void ProcessTile8(const FilterRecord *record);
void ProcessTile16(const FilterRecord *record);

// The sharpening step over the output tile, and over one row: each
// value moves away from its blurred value by the response and the
// colour weight. Hue and saturation are not touched.
void SharpenTile(const FilterRecord *record);
void SharpenRow(const uint16_t *blurred, WorkPixel *pixels, int32_t count);
