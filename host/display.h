// What a real host offers the module's dialogs: a main window to own
// them, the common controls registered in the process, and displayPixels
// drawing a pixel map into the device context the module hands over.
#pragma once

#include <windows.h>

#include <string>

#include "host/image.h"
#include "params/host_records.h"

// Draws the 8-bit pixel map's srcRect with its top-left at (dstCol,
// dstRow) of the device context given as the platform context. RGB, Lab
// (its lightness) and gray maps show as such; CMYK as its inverse.
OSErr DrawPixelsToDeviceContext(const PSPixelMap *source, const VRect *srcRect,
                                int32_t dstRow, int32_t dstCol,
                                void *platformContext);

// The trackbar and the other common controls, as image editors have
// them registered before any plug-in runs.
void RegisterHostControls();

// A visible top-level window at (x, y) of width by height pixels: without
// a frame (its client area is the whole window) or with a caption.
HWND CreateHostWindow(const char *title, int x, int y, int width, int height,
                      bool framed);

// The window's pixels as they are on screen (8 bits, RGB), after every
// pending paint of it and its children has been done.
HostImage CaptureWindowImage(HWND window);
