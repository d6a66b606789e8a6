#include "engine/tile_request.h"

#include <algorithm>

#include "engine/gray.h"

namespace {

bool Inside(const Rect &inner, const Rect &outer) {
  return inner.top >= outer.top && inner.left >= outer.left &&
         inner.bottom <= outer.bottom && inner.right <= outer.right;
}

bool Equal(const Rect &a, const Rect &b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom &&
         a.right == b.right;
}

Rect Intersection(const Rect &a, const Rect &b) {
  return {std::max(a.top, b.top), std::max(a.left, b.left),
          std::min(a.bottom, b.bottom), std::min(a.right, b.right)};
}

int32_t Width(const Rect &r) { return r.right - r.left; }

}  // namespace

Rect ImageRect(const FilterRecord *record) {
  const Rect &f = record->filterRect;
  return {0, 0, std::max(record->imageSize.v, f.bottom),
          std::max(record->imageSize.h, f.right)};
}

AskedTile AskForTile(FilterRecord *record, const Rect &image) {
  AskedTile request;
  request.wantedIn = record->inRect;
  request.out = record->outRect;
  request.image = image;
  request.padded = record->supportsPadding != 0;
  request.askedIn =
      request.padded ? request.wantedIn : Intersection(request.wantedIn, image);
  record->inRect = request.askedIn;
  return request;
}

bool TakeDeliveredTile(const FilterRecord *record, const AskedTile &request,
                       const Rect &out, HostTile *tile) {
  const int32_t planes = record->planes;
  const int32_t pixelBytes = planes * (record->depth == 16 ? 2 : 1);
  const Rect &in = record->inRect;
  if (!record->inData || !record->outData || planes < 1 ||
      record->inLoPlane != 0 || record->inHiPlane != planes - 1 ||
      record->outLoPlane != 0 || record->outHiPlane != planes - 1 ||
      !Equal(record->outRect, request.out) || in.top >= in.bottom ||
      in.left >= in.right ||
      int64_t(record->inRowBytes) < int64_t(Width(in)) * pixelBytes ||
      int64_t(record->outRowBytes) < int64_t(Width(out)) * pixelBytes) {
    return false;
  }
  // All that was wanted arrived from a replicating host: read it as it
  // is. Else the part of the image that was wanted must have arrived, and
  // the engine replicates its edges.
  Rect usable = in;
  if (!request.padded || !Inside(request.wantedIn, in)) {
    usable = Intersection(request.wantedIn, request.image);
    if (!Inside(usable, in)) return false;
  }
  *tile = {record->inData,  record->inRowBytes,           in,  usable,
           record->outData, record->outRowBytes,          out, planes,
           record->depth,   IsGrayMode(record->imageMode)};
  return Inside(out, usable);
}
