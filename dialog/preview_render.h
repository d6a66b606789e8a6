// Drawing the preview: each visible tile is requested from the host at
// the view's reduction, sharpened by the engine when the preview is on,
// magnified or brought to 8 bits where needed, and handed to the host's
// displayPixels. Portable: the host is reached only through the record's
// callbacks, and the device context travels in its platformData.
#pragma once

#include <cstdint>

#include "params/host_records.h"

// Describes the 8-bit pixels of the tile being shown to displayPixels.
extern PSPixelMap previewPixelMap;
// The locked preview buffer (planes x 256 x 256 bytes), null when none.
extern unsigned char *previewBuffer;
// Where a reduced tile is put together when the host cannot sample it
// whole (no sampling, or no padding past its reduced copy): the input
// and the engine's output. Null when the host needs none.
extern unsigned char *previewGather;
extern int32_t previewGatherBytes;
// What a record's host needs there: 0 for a host that samples and pads.
int32_t PreviewGatherBytes(const FilterRecord *record);

// Fills previewPixelMap for the record's image over buffer.
void InitPreviewPixelMap(const FilterRecord *record, unsigned char *buffer);
void SetPreviewOn(bool on);

// The tables, then every tile of the visible rectangle.
void RenderPreview(FilterRecord *record);
// Every tile of area (window coordinates), tables as they are.
void RenderArea(FilterRecord *record, const Rect &area);
void RenderPreviewTile(FilterRecord *record, const Rect &tile);

// The next tile of area after tile (the first when tile is empty), in the
// filtering run's order; false when area is covered.
bool NextAreaTile(const Rect &area, Rect *tile);
// What a tile of the window asks of the host, in the scaled image's
// coordinates: the tile's pixels, divided by the magnification outwards.
Rect PreviewRequestRect(const Rect &tile);

void FillPreviewPixelMap(const FilterRecord *record, const Rect &tile);
void ShowPreviewTile(const FilterRecord *record, const Rect &tile);

// Pixel loops from a host buffer into an 8-bit target. The magnified
// ones lay the tile on the grid of m by m blocks anchored at imageRect's
// top-left corner; 16-bit samples (0..32768) become (v x 511) >> 16.
// Rows lie sourceRowBytes bytes apart, odd counts included.
void MagnifyTile8(const uint8_t *source, int32_t sourceRowBytes,
                  uint8_t *target, int32_t targetRowBytes, int32_t m,
                  int32_t planes, const Rect &tile);
void MagnifyTile16(const void *source, int32_t sourceRowBytes, uint8_t *target,
                   int32_t targetRowBytes, int32_t m, int32_t planes,
                   const Rect &tile);
void ConvertTile16(const void *source, int32_t sourceRowBytes, uint8_t *target,
                   int32_t targetRowBytes, int32_t planes, const Rect &tile);
