// Each slider keeps its binding (edit box, value, decimals) in its
// user-data word; the three paths keep slider, box and value in step:
// a drag writes value and box, typing writes value and slider, a refresh
// writes slider and box from the value. At OK the boxes decide.
#include "dialog/dialog.h"
// after windows.h
#include <commctrl.h>

#include "dialog/slider_values.h"
#include "params/params.h"

namespace {

int32_t firstEditId = 0;
int32_t firstSliderId = 0;
int32_t boundCount = 0;

constexpr int kFloatTextChars = 29;  // what a box's number is read from

uint32_t BindingOf(HWND slider) {
  return uint32_t(GetWindowLongPtrA(slider, GWLP_USERDATA));
}

void SliderRange(HWND slider, int32_t *low, int32_t *high) {
  *low = int32_t(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0));
  *high = int32_t(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0));
}

bool IsVertical(HWND slider) {
  RECT r;
  GetWindowRect(slider, &r);
  return r.bottom - r.top > r.right - r.left;
}

// Shows value in the box bound by binding, scaled by its decimals.
void ShowInEdit(HWND dialog, uint32_t binding, int32_t value) {
  const int32_t decimals = BindingDecimals(binding);
  if (decimals > 0)
    SetEditFloat(dialog, BindingEditId(binding),
                 float(value) / float(PowerOfTen(decimals)), decimals);
  else
    SetEditInt(dialog, BindingEditId(binding), value);
}

// What a bound box holds: no number at all, a number outside the range
// (the nearest end), or one within it.
enum class Reading { kNoNumber, kOutOfRange, kInRange };

// The box's value in the slider's units, as OnEditChange and CommitEdit
// read it: within low..high, else the nearest end.
Reading ReadBoundEdit(HWND dialog, uint32_t binding, int32_t low, int32_t high,
                      int32_t *value) {
  const int32_t editId = BindingEditId(binding);
  const int32_t decimals = BindingDecimals(binding);
  bool isNumber = true, inRange;
  if (decimals == 0) {
    inRange = ReadEditInt(dialog, editId, low, high, value, &isNumber);
  } else {
    char text[kFloatTextChars + 1] = "";
    GetDlgItemTextA(dialog, editId, text, sizeof text);
    PString typed;
    CToPString(text, typed);
    isNumber = TextHasDigit(typed);
    inRange = EditUnitsFromText(typed, decimals, low, high, value);
  }
  if (!isNumber) return Reading::kNoNumber;
  return inRange ? Reading::kInRange : Reading::kOutOfRange;
}

void RedrawNow(HWND dialog, int32_t id) {
  if (HWND item = GetDlgItem(dialog, id)) UpdateWindow(item);
}

}  // namespace

void BindSliders(HWND dialog, int32_t count, int32_t firstSlider,
                 int32_t firstEdit, int32_t decimals) {
  for (int32_t i = 0; i < count; ++i) {
    HWND slider = GetDlgItem(dialog, firstSlider + i);
    if (!slider) continue;
    SetWindowLongPtrA(slider, GWLP_USERDATA,
                      LONG_PTR(MakeSliderBinding(firstEdit + i, i, decimals)));
    int32_t low, high;
    // One message with a redraw: the thumb is placed afresh for the new
    // range even when the position that follows does not change.
    if (SliderRangeFor(firstSlider + i, &low, &high))
      SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
    RefreshControl(dialog, firstSlider + i);
  }
  HWND first = GetDlgItem(dialog, firstEdit);
  SetFocus(first);
  SendMessageA(first, EM_SETSEL, 0, -1);
  firstEditId = firstEdit;
  firstSliderId = firstSlider;
  boundCount = count;
}

int32_t RefreshControl(HWND dialog, int32_t sliderId) {
  HWND slider = GetDlgItem(dialog, sliderId);
  if (!slider) return kErrNilHandle;
  const uint32_t binding = BindingOf(slider);
  const int32_t value = GetParamByIndex(BindingParamIndex(binding));
  SetSliderValue(slider, value);
  ShowInEdit(dialog, binding, value);
  return 0;
}

void RefreshAllControls(HWND dialog) {
  for (int32_t i = 0; i < boundCount; ++i)
    RefreshControl(dialog, firstSliderId + i);
}

int32_t SetSliderDecimals(HWND dialog, int32_t sliderId, int32_t decimals) {
  if (!dialog) return kErrMemLocked;
  HWND slider = GetDlgItem(dialog, sliderId);
  if (!slider) return kErrNilHandle;
  SetWindowLongPtrA(slider, GWLP_USERDATA,
                    LONG_PTR(WithBindingDecimals(BindingOf(slider), decimals)));
  return RefreshControl(dialog, sliderId);
}

int32_t GetSliderValue(HWND slider) {
  const int32_t position = int32_t(SendMessageA(slider, TBM_GETPOS, 0, 0));
  int32_t low, high;
  SliderRange(slider, &low, &high);
  if (SquareLawTravel(GetDlgCtrlID(slider)))
    return SquareLawValue(position, high);
  return SliderValueFromPosition(position, low, high, IsVertical(slider));
}

void SetSliderValue(HWND slider, int32_t value) {
  int32_t low, high;
  SliderRange(slider, &low, &high);
  const int32_t position =
      SquareLawTravel(GetDlgCtrlID(slider))
          ? SquareLawPosition(value, high)
          : SliderPositionFromValue(value, low, high, IsVertical(slider));
  SendMessageA(slider, TBM_SETPOS, TRUE, LPARAM(int16_t(position)));
}

int32_t SliderForEdit(int32_t editId) {
  if (editId < firstEditId || editId >= firstEditId + boundCount) return 0;
  return editId - firstEditId + firstSliderId;
}

void OnSliderScroll(HWND dialog, int32_t code, HWND slider) {
  const int32_t id = slider ? GetDlgCtrlID(slider) : 0;
  if (id < firstSliderId || id >= firstSliderId + boundCount) return;
  const uint32_t binding = BindingOf(slider);
  int32_t value;
  if (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) {
    value = GetSliderValue(slider);
  } else if ((code == TB_LINEUP || code == TB_LINEDOWN) &&
             SquareLawTravel(id)) {
    // On a square-law travel one position is not one step: the arrow
    // keys step the value itself, a tenth of a pixel at every radius.
    int32_t low, high;
    SliderRange(slider, &low, &high);
    value = GetParamByIndex(BindingParamIndex(binding)) +
            (code == TB_LINEDOWN ? 1 : -1);
    value = value < low ? low : value > high ? high : value;
    SetSliderValue(slider, value);
  } else {
    return;
  }
  SetParamByIndex(BindingParamIndex(binding), value);
  ShowInEdit(dialog, binding, value);
  RedrawPreviewNow(dialog);
}

void OnEditChange(HWND dialog, int32_t sliderId) {
  HWND slider = GetDlgItem(dialog, sliderId);
  if (!slider) return;
  const uint32_t binding = BindingOf(slider);
  int32_t low, high, value;
  SliderRange(slider, &low, &high);
  // A box emptied to type afresh, or a slip, leaves the value and the
  // preview where they were.
  if (ReadBoundEdit(dialog, binding, low, high, &value) == Reading::kNoNumber)
    return;
  if (value == GetSliderValue(slider)) return;
  // The text stays as typed: the user is still typing.
  SetParamByIndex(BindingParamIndex(binding), value);
  SetSliderValue(slider, value);
  RefreshPreview(dialog);
}

int32_t CommitEdit(HWND dialog, int32_t sliderId) {
  HWND slider = GetDlgItem(dialog, sliderId);
  if (!slider) return kErrNilHandle;
  const uint32_t binding = BindingOf(slider);
  int32_t low, high, value;
  SliderRange(slider, &low, &high);
  const Reading reading = ReadBoundEdit(dialog, binding, low, high, &value);
  if (reading == Reading::kInRange) {
    SetParamByIndex(BindingParamIndex(binding), value);
    return 0;
  }
  // A box without a number shows the value in force again.
  if (reading == Reading::kNoNumber)
    value = GetParamByIndex(BindingParamIndex(binding));
  ShowInEdit(dialog, binding, value);
  return BindingEditId(binding);
}

int32_t CommitAllEdits(HWND dialog) {
  for (int32_t i = 0; i < boundCount; ++i) {
    const int32_t result = CommitEdit(dialog, firstSliderId + i);
    if (result != 0) return result;
  }
  return 0;
}

bool ReadEditInt(HWND dialog, int32_t editId, int32_t low, int32_t high,
                 int32_t *value, bool *isNumber) {
  *value = low;
  BOOL converted = FALSE;
  const int32_t number =
      int32_t(GetDlgItemInt(dialog, editId, &converted, TRUE));
  if (isNumber) *isNumber = converted != FALSE;
  if (!converted) return false;
  if (number < low) return false;
  if (number > high) {
    *value = high;
    return false;
  }
  *value = number;
  return true;
}

int32_t SetEditInt(HWND dialog, int32_t editId, int32_t value) {
  BOOL converted = FALSE;
  const int32_t shown =
      int32_t(GetDlgItemInt(dialog, editId, &converted, TRUE));
  if (converted && shown == value) return 0;
  PString text;
  IntToPString(value, text);
  char c[256];
  PStringToC(text, c);
  SetDlgItemTextA(dialog, editId, c);
  RedrawNow(dialog, editId);
  return 1;
}

int32_t SetEditFloat(HWND dialog, int32_t editId, float value,
                     int32_t decimals) {
  PString text;
  FloatToPString(value, decimals, text, 0);
  char shown[255] = "";
  GetDlgItemTextA(dialog, editId, shown, sizeof shown);
  PString current;
  CToPString(shown, current);
  if (PStringEqual(current, text)) return 0;
  char c[256];
  PStringToC(text, c);
  SetDlgItemTextA(dialog, editId, c);
  RedrawNow(dialog, editId);
  return 1;
}
