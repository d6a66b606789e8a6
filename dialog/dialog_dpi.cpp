// The dialog at high DPI: what the system scales by itself (fonts, dialog
// units, the preview) needs nothing; the pictures and the slider thumbs
// are loaded or drawn here at the dialog's DPI. The per-window DPI calls
// are looked up at run time, so that systems without them still load the
// module.
#include "dialog/dialog.h"
// after windows.h
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "shell/shell.h"

namespace {

// The band and logo pictures' sizes at 96 DPI.
constexpr int32_t kBandWidth = 20, kBandHeight = 800;
constexpr int32_t kLogoWidth = 132, kLogoHeight = 16;

// Per-monitor aware, version 2 then version 1 (the system's handles).
void *const kPerMonitorAwareV2 = reinterpret_cast<void *>(intptr_t(-4));
void *const kPerMonitorAware = reinterpret_cast<void *>(intptr_t(-3));

template <typename Proc>
Proc User32Proc(const char *name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  FARPROC proc = user32 ? GetProcAddress(user32, name) : nullptr;
  // Through the one function type every other converts from cleanly.
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(proc));
}

HICON scaledLogo = nullptr;

// The first static picture of the given type (SS_BITMAP, SS_ICON).
HWND PictureControl(HWND dialog, LONG_PTR type) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char name[8] = "";
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") == 0 &&
        (GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == type)
      return child;
  }
  return nullptr;
}

void FillFrame(HDC dc, const RECT &r, int32_t t, HBRUSH brush) {
  const RECT sides[4] = {{r.left, r.top, r.right, r.top + t},
                         {r.left, r.bottom - t, r.right, r.bottom},
                         {r.left, r.top, r.left + t, r.bottom},
                         {r.right - t, r.top, r.right, r.bottom}};
  for (const RECT &side : sides) FillRect(dc, &side, brush);
}

}  // namespace

int32_t WindowDpi(HWND window) {
  using GetDpiForWindowProc = UINT(WINAPI *)(HWND);
  // Looked up at each call: a static would bring in the runtime's guards.
  const auto forWindow = User32Proc<GetDpiForWindowProc>("GetDpiForWindow");
  if (forWindow && window) {
    const UINT dpi = forWindow(window);
    if (dpi > 0) return int32_t(dpi);
  }
  HDC dc = GetDC(window);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? dpi : 96;
}

INT_PTR DialogBoxDpiAware(HINSTANCE instance, const wchar_t *name, HWND owner,
                          DLGPROC procedure, LPARAM parameter) {
  using SetContextProc = void *(WINAPI *)(void *);
  const auto setContext =
      User32Proc<SetContextProc>("SetThreadDpiAwarenessContext");
  void *previous = nullptr;
  if (setContext) {
    previous = setContext(kPerMonitorAwareV2);
    if (!previous) previous = setContext(kPerMonitorAware);
  }
  const INT_PTR result =
      DialogBoxParamW(instance, name, owner, procedure, parameter);
  // The host's thread goes back to the awareness it had.
  if (previous) {
    const DWORD error = GetLastError();
    setContext(previous);
    SetLastError(error);
  }
  return result;
}

void ScalePictures(HWND dialog) {
  const int32_t dpi = WindowDpi(dialog);
  if (dpi == 96) return;
  // The band stretched to the DPI, so that its six hues span the dialog's
  // height as they do at 96 DPI; the template's bitmap is freed.
  if (HWND band = PictureControl(dialog, SS_BITMAP)) {
    HANDLE bitmap = LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDB_BAND),
                               IMAGE_BITMAP, AtDpi(kBandWidth, dpi),
                               AtDpi(kBandHeight, dpi), 0);
    if (bitmap) {
      const LRESULT old =
          SendMessageW(band, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap));
      if (old) DeleteObject(reinterpret_cast<HGDIOBJ>(old));
    }
  }
  // The logo from the icon's image drawn for the nearest size.
  if (HWND logo = PictureControl(dialog, SS_ICON)) {
    scaledLogo = static_cast<HICON>(LoadImageW(
        ModuleInstance(), MAKEINTRESOURCEW(IDI_LOGO), IMAGE_ICON,
        AtDpi(kLogoWidth, dpi), AtDpi(kLogoHeight, dpi), 0));
    if (scaledLogo)
      SendMessageW(logo, STM_SETIMAGE, IMAGE_ICON, LPARAM(scaledLogo));
  }
}

void FreeScaledPictures(HWND dialog) {
  if (!scaledLogo) return;
  if (HWND logo = PictureControl(dialog, SS_ICON))
    SendMessageW(logo, STM_SETIMAGE, IMAGE_ICON, 0);
  DestroyIcon(scaledLogo);
  scaledLogo = nullptr;
}

LRESULT DrawSliderThumb(HWND dialog, const NMHDR *header) {
  const NMCUSTOMDRAW *draw = reinterpret_cast<const NMCUSTOMDRAW *>(header);
  if (draw->dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw->dwDrawStage != CDDS_ITEMPREPAINT || draw->dwItemSpec != TBCD_THUMB)
    return CDRF_DODEFAULT;
  // A plain white thumb in a grey frame, as the system draws it at 96 DPI,
  // its frame as many pixels thick as the DPI asks.
  const int32_t t = AtDpi(1, WindowDpi(dialog));
  HBRUSH frame = CreateSolidBrush(RGB(160, 160, 160));
  FillRect(draw->hdc, &draw->rc, HBRUSH(GetStockObject(WHITE_BRUSH)));
  FillFrame(draw->hdc, draw->rc, t, frame);
  DeleteObject(frame);
  return CDRF_SKIPDEFAULT;
}
