// Asking a host for a tile and taking what it delivered. A host that
// replicates edges (supportsPadding) is asked for the whole input the
// blur wants; any other only for the part inside the image, the engine
// replicating the rest. What arrives is checked before the engine reads
// it: a host may clip a request, rewrite the rectangles or deliver
// nothing.
#pragma once

#include "engine/pipeline.h"
#include "params/host_records.h"

// What one tile needs: the output rectangle and the input around it.
struct AskedTile {
  Rect wantedIn;  // the output grown by the margin, unclipped
  Rect askedIn;   // what inRect asks of the host
  Rect out;       // what outRect asks of the host
  Rect image;     // the pixels the host has
  bool padded;    // the host replicates edges
};

// The request for the record's current inRect (wanted) and outRect,
// over image; sets inRect to what is to be asked.
AskedTile AskForTile(FilterRecord *record, const Rect &image);

// After advanceState: the tile the engine is to read, with out as the
// output rectangle the engine writes (the caller's coordinates; the
// host's buffer for request.out). False when what arrived cannot give
// the tile exactly: no buffers, other planes, rows too short, an output
// rectangle other than asked, or input that misses part of the image the
// tile needs.
bool TakeDeliveredTile(const FilterRecord *record, const AskedTile &request,
                       const Rect &out, HostTile *tile);

// The image's rectangle: imageSize, taken large enough to hold
// filterRect should a host leave it short.
Rect ImageRect(const FilterRecord *record);
