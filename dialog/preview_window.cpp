// The preview window: a child of the dialog in place of its frame item 5.
// It paints the grey around the image and has the image drawn, shows the
// hand over the image, pans the image while the left button is held,
// and owns the zoom buttons and label of the dialog.
#include "dialog/dialog.h"
#include "resources/resource_ids.h"
#include "shell/shell.h"

namespace {

const char kPreviewClassName[] = "ProxyWindowClass";
const COLORREF kBackground = RGB(128, 128, 128);

enum : int32_t {
  kArrowCursor = 30,
  kHandCursor = IDCUR_HAND,
  kCrossCursor = IDCUR_CROSS,
};

// Renders through dc: the device context travels to displayPixels in the
// record's platformData for the length of the rendering.
template <typename Render>
void WithDeviceContext(FilterRecord *record, HDC dc, Render render) {
  void *saved = record->platformData;
  record->platformData = dc;
  render();
  record->platformData = saved;
}

void RegisterPreviewClass() {
  WNDCLASSA wc = {};
  wc.style = 0;
  wc.lpfnWndProc = PreviewWindowProc;
  wc.hInstance = ModuleInstance();
  wc.hbrBackground = CreateSolidBrush(kBackground);
  wc.lpszClassName = kPreviewClassName;
  // A class left registered by an earlier dialog serves as well.
  if (!RegisterClassA(&wc)) DeleteObject(wc.hbrBackground);
}

POINT CursorInClient(HWND window) {
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(window, &p);
  return p;
}

void PaintPreviewBackground(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  WindowRect bands[4];
  const int32_t count =
      PreviewBackgroundBands(client.right, client.bottom, bands);
  if (count == 0) return;
  HBRUSH grey = CreateSolidBrush(kBackground);
  for (int32_t i = 0; i < count; ++i) {
    const RECT r{bands[i].left, bands[i].top, bands[i].right, bands[i].bottom};
    FillRect(dc, &r, grey);
  }
  DeleteObject(grey);
}

void Hover(HWND window) {
  const POINT p = CursorInClient(window);
  if (IsParentForeground(window) && IsOnImage(p.x, p.y)) {
    // The capture lets the window see the move that leaves it.
    if (GetCapture() != window) {
      SetCapture(window);
      SetPreviewCursor(kCrossCursor);
    }
    return;
  }
  SetPreviewCursor(kArrowCursor);
  if (GetCapture() == window) ReleaseCapture();
}

void Release(LPARAM lParam) {
  const int32_t x = LOWORD(lParam), y = HIWORD(lParam);
  if (IsOnImage(x, y)) {
    SetPreviewCursor(kCrossCursor);
  } else {
    SetPreviewCursor(kArrowCursor);
    Beep(880, 100);
  }
}

// True when a release of the left button for window is waiting.
bool PollButtonRelease(HWND window) {
  MSG message;
  return PeekMessageA(&message, window, WM_LBUTTONUP, WM_LBUTTONUP,
                      PM_REMOVE) != 0;
}

LRESULT CALLBACK ZoomButtonProc(HWND button, UINT message, WPARAM wParam,
                                LPARAM lParam);

void DrawZoomGlyph(HWND button) {
  RECT client;
  if (!GetClientRect(button, &client)) return;
  WindowRect bars[2];
  const int32_t count = ZoomGlyphBars(
      WindowRect{client.left, client.top, client.right, client.bottom},
      GetDlgCtrlID(button) == IDC_ZOOM_IN, AtDpi(1, WindowDpi(button)), bars);
  HDC dc = GetDC(button);
  if (!dc) return;
  for (int32_t i = 0; i < count; ++i) {
    const RECT r{bars[i].left, bars[i].top, bars[i].right, bars[i].bottom};
    FillRect(dc, &r, HBRUSH(GetStockObject(BLACK_BRUSH)));
  }
  ReleaseDC(button, dc);
}

LRESULT CALLBACK ZoomButtonProc(HWND button, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  const WNDPROC standard =
      reinterpret_cast<WNDPROC>(GetWindowLongPtrA(button, GWLP_USERDATA));
  const LRESULT result =
      CallWindowProcA(standard, button, message, wParam, lParam);
  // The button draws itself on every message; the glyph goes on top.
  if (message != WM_CREATE && message != WM_NCDESTROY) DrawZoomGlyph(button);
  return result;
}

}  // namespace

int32_t CreatePreviewWindow(HWND dialog, FilterRecord *record) {
  RegisterPreviewClass();
  HWND frame = GetDlgItem(dialog, IDC_PREVIEW_FRAME);
  if (!frame) return 0;
  RECT r;
  GetWindowRect(frame, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&r), 2);
  DestroyWindow(frame);
  HWND window = CreateWindowExA(
      0, kPreviewClassName, "", WS_CHILD | WS_VISIBLE | WS_BORDER, r.left,
      r.top, r.right - r.left, r.bottom - r.top, dialog,
      reinterpret_cast<HMENU>(intptr_t(IDC_PREVIEW_FRAME)), ModuleInstance(),
      record);
  if (window) {
    SetWindowLongPtrA(window, GWLP_ID, IDC_PREVIEW_FRAME);
    ShowWindow(window, SW_SHOWNA);
  }
  return 0;
}

void UnregisterPreviewClass() {
  // The grey brush was made for the class: it goes with the class. Some
  // systems delete a class's brush themselves; what they leave is ours.
  WNDCLASSA wc = {};
  const HBRUSH brush = GetClassInfoA(ModuleInstance(), kPreviewClassName, &wc)
                           ? wc.hbrBackground
                           : nullptr;
  if (UnregisterClassA(kPreviewClassName, ModuleInstance()) && brush &&
      GetObjectType(brush) == OBJ_BRUSH)
    DeleteObject(brush);
}

LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const CREATESTRUCTA *create = reinterpret_cast<CREATESTRUCTA *>(lParam);
      previewState.record = static_cast<FilterRecord *>(create->lpCreateParams);
      RECT outer;
      GetWindowRect(window, &outer);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&outer), 2);
      SetupPreviewView(
          previewState.record,
          WindowRect{outer.left, outer.top, outer.right, outer.bottom});
      return 0;
    }
    case WM_PAINT: {
      if (!GetUpdateRect(window, nullptr, FALSE)) return 0;
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (dc) {
        PaintPreviewBackground(window, dc);
        FilterRecord *record = previewState.record;
        WithDeviceContext(record, dc, [record] { RenderPreview(record); });
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_MOUSEMOVE:
      Hover(window);
      return 0;
    case WM_LBUTTONDOWN:
      DragPreview(window, previewState.record, int16_t(LOWORD(lParam)),
                  int16_t(HIWORD(lParam)));
      return 0;
    case WM_LBUTTONUP:
      Release(lParam);
      return 0;
    case WM_MOUSEWHEEL:
      OnPreviewWheel(GetParent(window), int16_t(HIWORD(wParam)),
                     int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam)));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void DragPreview(HWND window, FilterRecord *record, int32_t x, int32_t y) {
  SetCapture(window);
  HDC dc = GetDC(window);
  SetPreviewCursor(kHandCursor);
  if (!dc) {
    ReleaseCapture();
    return;
  }
  WithDeviceContext(record, dc, [&] {
    WindowRect visible;
    if (!VisibleRect(&visible)) return;
    const int32_t grabX = x - previewState.imageRect.left;
    const int32_t grabY = y - previewState.imageRect.top;
    int32_t referenceX = x, referenceY = y;
    const Rect area = WindowToHostRect(visible);
    // While the button is held the preview shows the document as it is,
    // to compare; the result comes back with the release.
    const bool filtered = previewState.previewOn;
    SetPreviewOn(false);
    RenderArea(record, area);
    // Polls without waiting and dispatches nothing: the image follows the
    // pointer until the button comes up (or the capture is taken away).
    while (!PollButtonRelease(window) && GetCapture() == window) {
      const POINT p = CursorInClient(window);
      if (PanImage(p.x - referenceX, p.y - referenceY)) {
        RenderArea(record, area);
        referenceX = previewState.imageRect.left + grabX;
        referenceY = previewState.imageRect.top + grabY;
      }
    }
    SetPreviewOn(filtered);
    if (filtered) RenderArea(record, area);
  });
  ReleaseDC(window, dc);
  ReleaseCapture();
}

void SetPreviewCursor(int32_t code) {
  if (code == kCrossCursor) code = kHandCursor;  // the cross is never shown
  HCURSOR cursor = code == kArrowCursor
                       ? LoadCursorA(nullptr, MAKEINTRESOURCEA(32512))
                       : LoadCursorA(ModuleInstance(), MAKEINTRESOURCEA(code));
  SetCursor(cursor);
}

void RefreshPreview(HWND dialog) {
  if (HWND window = GetDlgItem(dialog, IDC_PREVIEW_FRAME))
    InvalidateRect(window, nullptr, FALSE);
  UpdateZoomLabel(dialog);
}

void RedrawPreviewNow(HWND dialog) {
  HWND window = GetDlgItem(dialog, IDC_PREVIEW_FRAME);
  if (!window) return;
  HDC dc = GetDC(window);
  if (!dc) return;
  FilterRecord *record = previewState.record;
  WithDeviceContext(record, dc, [record] { RenderPreview(record); });
  ReleaseDC(window, dc);
}

void UpdateZoomLabel(HWND dialog) {
  PString text;
  ZoomLabelText(ZoomPercent(), text);
  char c[256], shown[32] = "";
  PStringToC(text, c);
  GetDlgItemTextA(dialog, IDC_ZOOM_LABEL, shown, sizeof shown);
  if (lstrcmpA(shown, c) != 0) SetDlgItemTextA(dialog, IDC_ZOOM_LABEL, c);
}

void OnZoomCommand(HWND dialog, int32_t id, int32_t code) {
  if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return;
  FilterRecord *record = previewState.record;
  if (!record) return;
  switch (id) {
    case IDC_ZOOM_OUT:
      if (ZoomPreview(record, kZoomOut)) RefreshPreview(dialog);
      break;
    case IDC_ZOOM_IN:
      if (ZoomPreview(record, kZoomIn)) RefreshPreview(dialog);
      break;
    case IDC_ZOOM_LABEL:
      ZoomPreview(record, ZoomPercent() != 100 ? kZoomActual : kZoomFit);
      RefreshPreview(dialog);
      break;
    default:
      break;
  }
}

bool OnPreviewWheel(HWND dialog, int32_t delta, int32_t screenX,
                    int32_t screenY) {
  HWND window = GetDlgItem(dialog, IDC_PREVIEW_FRAME);
  FilterRecord *record = previewState.record;
  if (!window || !record || delta == 0) return false;
  POINT p{screenX, screenY};
  ScreenToClient(window, &p);
  RECT client;
  GetClientRect(window, &client);
  if (!PtInRect(&client, p)) return false;
  if (ZoomPreviewAt(record, delta > 0 ? kZoomIn : kZoomOut, p.x, p.y))
    RefreshPreview(dialog);
  return true;
}

void ZoomLabelClick(HWND dialog, int32_t x, int32_t y) {
  HWND label = GetDlgItem(dialog, IDC_ZOOM_LABEL);
  if (!label) return;
  RECT r;
  GetWindowRect(label, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&r), 2);
  if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
    OnZoomCommand(dialog, IDC_ZOOM_LABEL, BN_CLICKED);
}

void SubclassZoomButton(HWND button) {
  if (!button) return;
  const LONG_PTR standard = SetWindowLongPtrA(
      button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ZoomButtonProc));
  SetWindowLongPtrA(button, GWLP_USERDATA, standard);
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  GetWindowPlacement(button, &placement);
  RECT &r = placement.rcNormalPosition;
  const int32_t size = AtDpi(14, WindowDpi(button));
  r.right = r.left + size;
  r.bottom = r.top + size;
  SetWindowPlacement(button, &placement);
}
