#include "engine/tile_walk.h"

#include <algorithm>

#include "engine/pipeline.h"

bool NextTile(FilterRecord *record) {
  const Rect &filter = record->filterRect;
  Rect &out = record->outRect;
  // An empty area would otherwise yield its empty first tile forever.
  if (filter.top >= filter.bottom || filter.left >= filter.right) return false;

  const int32_t firstRight =
      std::min(filter.left + kTileSide, int32_t(filter.right));
  if (out.top == out.bottom || out.left == out.right) {
    out.top = filter.top;
    out.left = filter.left;
    out.bottom =
        int16_t(std::min(filter.top + kTileSide, int32_t(filter.bottom)));
    out.right = int16_t(firstRight);
  } else if (out.right < filter.right) {
    out.left = out.right;
    out.right = int16_t(std::min(out.right + kTileSide, int32_t(filter.right)));
  } else if (out.bottom >= filter.bottom) {
    return false;
  } else {
    out.top = out.bottom;
    out.left = filter.left;
    out.bottom =
        int16_t(std::min(out.bottom + kTileSide, int32_t(filter.bottom)));
    out.right = int16_t(firstRight);
  }
  SetInputRectFromOutput(record);
  return true;
}
