// The filtering run's walk over filterRect: tiles of at most 256 by 256
// pixels, left to right within bands of 256 rows, bands top to bottom.
// Shared by the module's run, the test host and the benchmark so that
// all of them tile identically.
#pragma once

#include "params/host_records.h"

// Moves outRect to the next tile (the first one when outRect is empty)
// and sets inRect from it with SetInputRectFromOutput. False, outRect
// unchanged, when filterRect is covered or empty.
bool NextTile(FilterRecord *record);
