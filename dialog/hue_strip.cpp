// The strip under the colour sliders paints itself: a sunken frame round
// a band of fully saturated hues, one solid column at a time, faded
// toward the dialog's face while the colour group is disabled.
#include "dialog/dialog.h"
#include "dialog/hue_band.h"

namespace {

const COLORREF kShadow = RGB(140, 140, 140);

void FillSolid(HDC dc, const RECT &r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// t pixels thick: 1 at 96 DPI.
void DrawSunkenFrame(HDC dc, const RECT &r, int32_t t) {
  FillSolid(dc, RECT{r.left, r.top, r.right - t, r.top + t}, kShadow);
  FillSolid(dc, RECT{r.left, r.top, r.left + t, r.bottom - t}, kShadow);
  FillSolid(dc, RECT{r.left + t, r.bottom - t, r.right, r.bottom},
            RGB(255, 255, 255));
  FillSolid(dc, RECT{r.right - t, r.top + t, r.right, r.bottom},
            RGB(255, 255, 255));
}

void PaintHueStrip(HWND window) {
  if (!GetUpdateRect(window, nullptr, FALSE)) return;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc) {
    RECT r;
    GetClientRect(window, &r);
    const int32_t t = AtDpi(1, WindowDpi(window));
    DrawSunkenFrame(dc, r, t);
    const int32_t width = r.right - r.left - 2 * t;
    const bool faded = !IsWindowEnabled(window);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const uint8_t faces[3] = {GetRValue(face), GetGValue(face),
                              GetBValue(face)};
    for (int32_t i = 0; i < width; ++i) {
      uint8_t rgb[3];
      StripColour(i, width, rgb);
      for (int32_t c = 0; c < 3 && faded; ++c)
        rgb[c] = uint8_t((rgb[c] + 3 * faces[c]) / 4);
      FillSolid(dc,
                RECT{r.left + t + i, r.top + t, r.left + t + 1 + i,
                     r.bottom - t},
                RGB(rgb[0], rgb[1], rgb[2]));
    }
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK HueStripProc(HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam) {
  if (message == WM_PAINT) {
    PaintHueStrip(window);
    return 0;
  }
  const WNDPROC standard =
      reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return CallWindowProcA(standard, window, message, wParam, lParam);
}

}  // namespace

void SubclassHueStrip(HWND item) {
  if (!item) return;
  const LONG_PTR standard = SetWindowLongPtrA(
      item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HueStripProc));
  SetWindowLongPtrA(item, GWLP_USERDATA, standard);
}
