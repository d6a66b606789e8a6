// The parameter dialog's face to the shell and its Win32 pieces: the
// modal dialog and its commands, the slider and edit binding, the
// preview window, the preview buffer, the hue strip and the preset files.
// The arithmetic behind them is in the portable headers included here.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dialog/dialog_texts.h"
#include "dialog/preview_render.h"
#include "dialog/preview_view.h"
#include "params/host_records.h"

// The DPI a window is drawn at (96 where the system cannot tell), and a
// length of 96-DPI pixels at that DPI.
int32_t WindowDpi(HWND window);
inline int32_t AtDpi(int32_t pixels, int32_t dpi) {
  return MulDiv(pixels, dpi, 96);
}

// The modal dialog (param_dialog.cpp): 0 for OK, 1 for Cancel, or the
// system's error code (-108 when it gives none) when it cannot be shown.
int32_t RunParamDialog(FilterRecord *record, int32_t sliderCount,
                       int32_t firstSliderId, int32_t firstEditId,
                       int32_t decimals);
INT_PTR CALLBACK ParamDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                 LPARAM lParam);
LRESULT CALLBACK CancelButtonProc(HWND button, UINT message, WPARAM wParam,
                                  LPARAM lParam);
void UpdateCancelLabel(HWND window);

// Slider and edit binding (slider_binding.cpp).
void BindSliders(HWND dialog, int32_t count, int32_t firstSliderId,
                 int32_t firstEditId, int32_t decimals);
int32_t RefreshControl(HWND dialog, int32_t sliderId);
void RefreshAllControls(HWND dialog);
int32_t SetSliderDecimals(HWND dialog, int32_t sliderId, int32_t decimals);
void OnSliderScroll(HWND dialog, int32_t code, HWND slider);
void OnEditChange(HWND dialog, int32_t sliderId);
int32_t CommitAllEdits(HWND dialog);
int32_t CommitEdit(HWND dialog, int32_t sliderId);
int32_t GetSliderValue(HWND slider);
void SetSliderValue(HWND slider, int32_t value);
// isNumber (when given) tells a box without a number from one out of range.
bool ReadEditInt(HWND dialog, int32_t editId, int32_t low, int32_t high,
                 int32_t *value, bool *isNumber = nullptr);
int32_t SetEditInt(HWND dialog, int32_t editId, int32_t value);
int32_t SetEditFloat(HWND dialog, int32_t editId, float value,
                     int32_t decimals);
// The slider bound to a text-changed edit box, or 0 when it is not one of
// the bound boxes.
int32_t SliderForEdit(int32_t editId);

// The preview window (preview_window.cpp).
int32_t CreatePreviewWindow(HWND dialog, FilterRecord *record);
void UnregisterPreviewClass();
LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam);
void DragPreview(HWND window, FilterRecord *record, int32_t x, int32_t y);
void SetPreviewCursor(int32_t code);
void RefreshPreview(HWND dialog);
void RedrawPreviewNow(HWND dialog);
void UpdateZoomLabel(HWND dialog);
void ZoomLabelClick(HWND dialog, int32_t x, int32_t y);
void OnZoomCommand(HWND dialog, int32_t id, int32_t code);
void SubclassZoomButton(HWND button);
// The mouse wheel at a point of the screen: over the preview, a zoom step
// a notch about the pointer (true); elsewhere nothing (false).
bool OnPreviewWheel(HWND dialog, int32_t delta, int32_t screenX,
                    int32_t screenY);

// The preview's buffer, held while the dialog is open (preview_buffer.cpp).
int32_t AllocPreviewBuffer(FilterRecord *record);
void FreePreviewBuffer(FilterRecord *record);

// The hue strip (hue_strip.cpp).
void SubclassHueStrip(HWND item);

// The pictures and slider thumbs at the dialog's DPI (dialog_dpi.cpp):
// the band and the logo loaded at its size, thumbs drawn by us.
void ScalePictures(HWND dialog);
void FreeScaledPictures(HWND dialog);
// The custom-draw notification of a slider: the thumb drawn at the DPI.
// Returns the result for the notification.
LRESULT DrawSliderThumb(HWND dialog, const NMHDR *header);
// Runs the dialog with per-monitor DPI awareness where the system has it
// (looked up at run time: older systems still load the module).
INT_PTR DialogBoxDpiAware(HINSTANCE instance, const wchar_t *name, HWND owner,
                          DLGPROC procedure, LPARAM parameter);

// Preset files (presets.cpp): 0 when cancelled, done or refused with a
// message; otherwise the system's error code. The file dialogs are modal
// to owner, the parameter dialog.
int32_t LoadPreset(HWND owner);
int32_t SavePreset(HWND owner);
int32_t ReadPresetFile(HANDLE file);
int32_t WritePresetFile(HANDLE file, const unsigned char *name);
