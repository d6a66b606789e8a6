// The about box: the about picture in a borderless box over the host's
// window, closed by a click on the picture, Enter or Escape.
#include "resources/resource_ids.h"
#include "shell/shell.h"

namespace {

constexpr int kAboutWidth = 427;  // the picture and its border
constexpr int kAboutHeight = 252;
const COLORREF kAboutGround = RGB(238, 238, 238);

HBRUSH aboutBrush = nullptr;

// Over the owner, or, without one on the screen, in the middle of the
// monitor's work area.
void PlaceOverOwner(HWND dialog, HWND owner) {
  POINT origin{0, 0};
  if (OnScreen(owner)) {
    RECT r = {};
    GetWindowRect(owner, &r);
    origin = {(r.right - r.left - kAboutWidth) / 2,
              (r.bottom - r.top - kAboutHeight) / 3};
    ClientToScreen(owner, &origin);
  } else {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY),
                    &monitor);
    const RECT &work = monitor.rcWork;
    origin = {(work.left + work.right - kAboutWidth) / 2,
              (work.top + work.bottom - kAboutHeight) / 2};
  }
  SetWindowPos(dialog, nullptr, origin.x, origin.y, kAboutWidth, kAboutHeight,
               0);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceOverOwner(dialog, reinterpret_cast<HWND>(lParam));
      aboutBrush = CreateSolidBrush(kAboutGround);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(aboutBrush);
    case WM_COMMAND:
      // A click on the picture, Enter and Escape all come as code 0.
      if (HIWORD(wParam) == 0) {
        EndDialog(dialog, 0);
        if (aboutBrush) DeleteObject(aboutBrush);
        aboutBrush = nullptr;
      }
      return FALSE;
    case WM_DESTROY: {
      // The picture control loaded its bitmap from the template, and not
      // every system frees it with the control: take it back and free it.
      const LRESULT picture = SendDlgItemMessageW(
          dialog, IDC_ABOUT_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, 0);
      if (picture) DeleteObject(reinterpret_cast<HGDIOBJ>(picture));
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

int32_t DoAbout(AboutRecord *record) {
  const PlatformData *platform =
      record ? static_cast<const PlatformData *>(record->platformData)
             : nullptr;
  HWND owner = platform ? reinterpret_cast<HWND>(platform->hwnd) : nullptr;
  // Unicode, so that the template's font name arrives as it is stored.
  DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_ABOUT), owner,
                  AboutDialogProc, reinterpret_cast<LPARAM>(owner));
  return 0;
}
