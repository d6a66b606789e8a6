#include "dialog/preview_view.h"

#include "engine/tables.h"

PreviewState previewState = {nullptr, {0, 0, 0, 0}, 1, 1, {0, 0, 0, 0}, true};

Rect WindowToHostRect(const WindowRect &r) {
  return Rect{int16_t(r.top), int16_t(r.left), int16_t(r.bottom),
              int16_t(r.right)};
}

WindowRect HostToWindowRect(const Rect &r) {
  return WindowRect{r.left, r.top, r.right, r.bottom};
}

void OffsetWindowRect(WindowRect *r, int32_t dx, int32_t dy) {
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
}

bool IntersectWindowRects(const WindowRect &a, const WindowRect &b,
                          WindowRect *result) {
  WindowRect r;
  r.left = a.left > b.left ? a.left : b.left;
  r.top = a.top > b.top ? a.top : b.top;
  r.right = a.right < b.right ? a.right : b.right;
  r.bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
  *result = r;
  return r.top < r.bottom && r.left < r.right;
}

bool PointInWindowRect(const WindowRect &r, int32_t x, int32_t y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool EqualWindowRects(const WindowRect &a, const WindowRect &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right &&
         a.bottom == b.bottom;
}

void ScaledImageSize(const FilterRecord *record, int32_t d, int32_t m,
                     int32_t *width, int32_t *height) {
  const int32_t w = record->imageSize.h, h = record->imageSize.v;
  if (d > 1) {
    // Photoshop counts a partly covered last sample as a whole one.
    const int32_t round = record->hostSig == kHostSig8BIM ? d - 1 : 0;
    *width = (w - 1 + round) / d + 1;
    *height = (h - 1 + round) / d + 1;
  } else {
    *width = w * m;
    *height = h * m;
  }
}

int32_t FitReduction(const FilterRecord *record, const WindowRect &view) {
  const int32_t vw = RectWidth(view), vh = RectHeight(view);
  if (vw <= 0 || vh <= 0) return 1;
  const int32_t w = record->imageSize.h, h = record->imageSize.v;
  const int32_t byHeight = (h + vh - 1) / vh, byWidth = (w + vw - 1) / vw;
  const int32_t fit = byHeight > byWidth ? byHeight : byWidth;
  // An image without rows or columns would make the zoom divide by 0.
  return fit < 1 ? 1 : fit;
}

int32_t ZoomPercent() {
  const int32_t d = previewState.reduction, m = previewState.magnification;
  return (d / 2 + 100 * m) / d;
}

namespace {

void LayOutImage(FilterRecord *record) {
  int32_t w, h;
  ScaledImageSize(record, previewState.reduction, previewState.magnification,
                  &w, &h);
  previewState.imageRect = WindowRect{0, 0, w, h};
}

}  // namespace

int32_t SetupPreviewView(FilterRecord *record, const WindowRect &viewRect) {
  PreviewState &s = previewState;
  s.viewRect = viewRect;
  s.reduction = FitReduction(record, viewRect);
  s.magnification = 1;
  record->inputRate = s.reduction * 65536;
  LayOutImage(record);
  const int32_t w = RectWidth(s.imageRect), h = RectHeight(s.imageRect);
  OffsetWindowRect(&s.imageRect,
                   viewRect.left + ((RectWidth(viewRect) - w) >> 1),
                   viewRect.top + ((RectHeight(viewRect) - h) >> 1));

  record->inLoPlane = record->outLoPlane = 0;
  record->inHiPlane = record->outHiPlane = int16_t(record->planes - 1);
  record->inputPadding = record->outputPadding = -1;  // replicate edges
  if (record->haveMask) {
    record->maskRect = Rect{0, 0, 0, 0};
    record->maskRate = record->inputRate;
    record->maskPadding = -1;
  }
  PrepareEngineTables(record);
  return 0;
}

bool ZoomPreview(FilterRecord *record, int32_t request) {
  const WindowRect &view = previewState.viewRect;
  return ZoomPreviewAt(record, request, (view.left + view.right) >> 1,
                       (view.top + view.bottom) >> 1);
}

bool ZoomPreviewAt(FilterRecord *record, int32_t request, int32_t centreX,
                   int32_t centreY) {
  PreviewState &s = previewState;
  const int32_t fit = FitReduction(record, s.viewRect);
  int32_t d = s.reduction, m = s.magnification;

  // The image point under the anchor, in sixteenths of a pixel.
  const int32_t x16 = ((centreX - s.imageRect.left) * 16 * d + (m >> 1)) / m;
  const int32_t y16 = ((centreY - s.imageRect.top) * 16 * d + (m >> 1)) / m;

  switch (request) {
    case kZoomOut:
      if (m > 1)
        --m;
      else if (d < fit)
        ++d;
      else
        return false;
      break;
    case kZoomFit:
      if (m == 1 && d == fit) return false;
      m = 1;
      d = fit;
      break;
    case kZoomIn:
      if (d > 1)
        --d;
      else if (m < kMaxMagnification)
        ++m;
      else
        return false;
      break;
    case kZoomActual:
      d = 1;
      m = 1;
      break;
    default:
      return false;
  }
  s.reduction = d;
  s.magnification = m;
  record->inputRate = d * 65536;
  LayOutImage(record);

  const int32_t px = (x16 * m + (d >> 1)) / (16 * d);
  const int32_t py = (y16 * m + (d >> 1)) / (16 * d);
  PanImage(centreX - px - s.imageRect.left, centreY - py - s.imageRect.top);
  return true;
}

namespace {

// One axis of PanImage: the new near edge of the image.
int32_t PannedEdge(int32_t imageNear, int32_t imageFar, int32_t viewNear,
                   int32_t viewFar, int32_t delta) {
  const int32_t size = imageFar - imageNear, viewSize = viewFar - viewNear;
  if (size <= viewSize) return viewNear + ((viewSize - size) >> 1);
  int32_t edge = imageNear + delta;
  if (edge > viewNear)
    edge = viewNear;
  else if (imageFar + delta < viewFar)
    edge = viewFar - size;
  return edge;
}

}  // namespace

bool PanImage(int32_t dx, int32_t dy) {
  WindowRect &image = previewState.imageRect;
  const WindowRect &view = previewState.viewRect;
  const int32_t left =
      PannedEdge(image.left, image.right, view.left, view.right, dx);
  const int32_t top =
      PannedEdge(image.top, image.bottom, view.top, view.bottom, dy);
  if (left == image.left && top == image.top) return false;
  OffsetWindowRect(&image, left - image.left, top - image.top);
  return true;
}

bool VisibleRect(WindowRect *visible) {
  return IntersectWindowRects(previewState.imageRect, previewState.viewRect,
                              visible);
}

bool IsOnImage(int32_t x, int32_t y) {
  WindowRect visible;
  return VisibleRect(&visible) && PointInWindowRect(visible, x, y);
}

int32_t PreviewBackgroundBands(int32_t width, int32_t height,
                               WindowRect bands[4]) {
  WindowRect v;
  if (!VisibleRect(&v)) v = WindowRect{0, 0, 0, 0};
  const WindowRect candidates[4] = {
      {0, 0, width, v.top},          // above
      {0, v.bottom, width, height},  // below
      {0, 0, v.left, height},        // left
      {v.right, 0, width, height},   // right
  };
  int32_t count = 0;
  for (const WindowRect &band : candidates) {
    WindowRect clipped;
    if (IntersectWindowRects(band, WindowRect{0, 0, width, height}, &clipped))
      bands[count++] = clipped;
  }
  return count;
}

int32_t ZoomGlyphBars(const WindowRect &b, bool plus, int32_t weight,
                      WindowRect bars[2]) {
  const int32_t t = weight < 1 ? 1 : weight;
  // Half the button long at any size, centred on the face inside the
  // one-pixel light and two-pixel dark edges.
  const int32_t width = b.right - b.left, height = b.bottom - b.top;
  const int32_t left = b.left + (width - 1 - width / 2) / 2;
  const int32_t top = b.top + (height - 1 - height / 2) / 2;
  const int32_t middleY = top + (height / 2 - t) / 2;
  bars[0] = WindowRect{left, middleY, left + width / 2, middleY + t};
  if (!plus) return 1;
  const int32_t middleX = left + (width / 2 - t) / 2;
  bars[1] = WindowRect{middleX, top, middleX + t, top + height / 2};
  return 2;
}
