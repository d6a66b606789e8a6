#include "host/display.h"

#include <commctrl.h>

#include <vector>

namespace {

const char kHostWindowClass[] = "TavorinHostWindow";

// One pixel of an 8-bit map as red, green, blue.
void MapPixel(const uint8_t *p, int32_t planeBytes, int32_t imageMode,
              uint8_t *rgb) {
  switch (imageMode) {
    case kModeRGB:
      rgb[0] = p[0];
      rgb[1] = p[planeBytes];
      rgb[2] = p[2 * planeBytes];
      return;
    case kModeCMYK:
      for (int c = 0; c < 3; ++c) rgb[c] = uint8_t(255 - p[c * planeBytes]);
      return;
    default:  // gray, and the lightness of Lab
      rgb[0] = rgb[1] = rgb[2] = p[0];
      return;
  }
}

}  // namespace

OSErr DrawPixelsToDeviceContext(const PSPixelMap *source, const VRect *srcRect,
                                int32_t dstRow, int32_t dstCol,
                                void *platformContext) {
  HDC dc = static_cast<HDC>(platformContext);
  const int32_t width = srcRect->right - srcRect->left;
  const int32_t height = srcRect->bottom - srcRect->top;
  if (!dc || width <= 0 || height <= 0) return -50;
  std::vector<uint32_t> bgra(size_t(width) * size_t(height));
  const uint8_t *base = static_cast<const uint8_t *>(source->baseAddr);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t *row =
        base +
        intptr_t(srcRect->top + y - source->bounds.top) * source->rowBytes;
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t *pixel =
          row +
          intptr_t(srcRect->left + x - source->bounds.left) * source->colBytes;
      uint8_t rgb[3];
      MapPixel(pixel, source->planeBytes, source->imageMode, rgb);
      bgra[size_t(y) * size_t(width) + size_t(x)] =
          uint32_t(rgb[2]) | uint32_t(rgb[1]) << 8 | uint32_t(rgb[0]) << 16;
    }
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const int lines =
      SetDIBitsToDevice(dc, dstCol, dstRow, DWORD(width), DWORD(height), 0, 0,
                        0, UINT(height), bgra.data(), &info, DIB_RGB_COLORS);
  return lines > 0 ? 0 : -50;
}

void RegisterHostControls() {
  INITCOMMONCONTROLSEX controls = {sizeof controls,
                                   ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

HWND CreateHostWindow(const char *title, int x, int y, int width, int height,
                      bool framed) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = HBRUSH(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kHostWindowClass;
    registered = RegisterClassA(&wc) != 0;
  }
  const DWORD style = framed ? WS_OVERLAPPEDWINDOW : WS_POPUP;
  HWND window =
      CreateWindowExA(0, kHostWindowClass, title, style, x, y, width, height,
                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  return window;
}

HostImage CaptureWindowImage(HWND window) {
  HostImage image;
  RECT r;
  if (!GetWindowRect(window, &r)) return image;
  // Everything drawn afresh, the frame included, before it is read.
  RedrawWindow(
      window, nullptr, nullptr,
      RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC source = GetWindowDC(window);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HBITMAP dib =
      CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    image = MakeImage(width, height, 3, 8);
    const uint32_t *pixels = static_cast<const uint32_t *>(bits);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
        SampleAt(image, x, y, 0) = uint16_t((p >> 16) & 0xFF);
        SampleAt(image, x, y, 1) = uint16_t((p >> 8) & 0xFF);
        SampleAt(image, x, y, 2) = uint16_t(p & 0xFF);
      }
    SelectObject(memory, old);
  }
  if (dib) DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(window, source);
  return image;
}
