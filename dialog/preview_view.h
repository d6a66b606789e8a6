// The preview's view of the image: where the scaled image lies in the
// preview window, the zoom (a reduction done by the host or a
// magnification done by us), panning with clamping, and the rectangle
// arithmetic between window and host rectangles. Portable: the window
// procedure only feeds it positions and sizes.
#pragma once

#include <cstdint>

#include "params/host_records.h"

// Window rectangle in the preview's client coordinates; right and bottom
// exclusive.
struct WindowRect {
  int32_t left, top, right, bottom;
};

constexpr int32_t kMaxMagnification = 16;

// Zoom requests of ZoomPreview.
enum : int32_t {
  kZoomOut = -1,
  kZoomFit = 0,
  kZoomIn = 1,
  kZoomActual = 100,
};

// The one preview of the (modal) dialog.
struct PreviewState {
  FilterRecord *record;  // the host's record, kept from the window's creation
  WindowRect viewRect;   // the window's outer rectangle: (-1, -1, w + 1, h + 1)
  int32_t reduction;     // the host delivers every reduction-th pixel
  int32_t magnification;  // each delivered pixel drawn m by m
  WindowRect imageRect;   // where the whole scaled image lies
  bool previewOn;         // show the sharpened result
};

extern PreviewState previewState;

// Rectangle helpers; Intersect reports whether the result is non-empty.
Rect WindowToHostRect(const WindowRect &rect);
WindowRect HostToWindowRect(const Rect &rect);
void OffsetWindowRect(WindowRect *rect, int32_t dx, int32_t dy);
bool IntersectWindowRects(const WindowRect &a, const WindowRect &b,
                          WindowRect *result);
bool PointInWindowRect(const WindowRect &rect, int32_t x, int32_t y);
bool EqualWindowRects(const WindowRect &a, const WindowRect &b);
inline int32_t RectWidth(const WindowRect &r) { return r.right - r.left; }
inline int32_t RectHeight(const WindowRect &r) { return r.bottom - r.top; }

// The size of the whole image at reduction d and magnification m.
void ScaledImageSize(const FilterRecord *record, int32_t d, int32_t m,
                     int32_t *width, int32_t *height);
// The smallest reduction at which the image fits the view; at least 1.
int32_t FitReduction(const FilterRecord *record, const WindowRect &view);
int32_t ZoomPercent();

// Fit zoom, centred image, the record's planes, padding and rate, then
// the engine's tables. Returns 0.
int32_t SetupPreviewView(FilterRecord *record, const WindowRect &viewRect);
// False when the request changed nothing. ZoomPreviewAt keeps the image
// point under (x, y) of the window there instead of the one under the
// view's centre (the mouse wheel zooms about the pointer).
bool ZoomPreview(FilterRecord *record, int32_t request);
bool ZoomPreviewAt(FilterRecord *record, int32_t request, int32_t x, int32_t y);
bool PanImage(int32_t dx, int32_t dy);
bool IsOnImage(int32_t x, int32_t y);
// imageRect within viewRect; false when they do not meet.
bool VisibleRect(WindowRect *visible);

// The grey bands of a client area of width by height outside visibleRect,
// in the order above, below, left, right; empty bands are left out.
// Returns how many were written (0..4).
int32_t PreviewBackgroundBands(int32_t width, int32_t height,
                               WindowRect bands[4]);

// The black bars of a zoom button's glyph in its client rectangle: the
// minus, and for the plus also the upright, each weight pixels thick (1 at
// 96 and 120 DPI, 2 at 144 and 192) and half the button long. Returns the
// count.
int32_t ZoomGlyphBars(const WindowRect &button, bool plus, int32_t weight,
                      WindowRect bars[2]);
