// The modal parameter dialog: its initialisation, its message procedure
// and command buttons, and the Cancel button whose label turns into
// Reset with Alt and Default with Alt and Shift.
#include <cstring>

#include "dialog/dialog.h"
// after windows.h
#include <commctrl.h>

#include "engine/gray.h"
#include "params/params.h"
#include "resources/resource_ids.h"
#include "shell/shell.h"

namespace {

struct ParamDialogInit {
  FilterRecord *record;
  int32_t sliderCount;
  int32_t firstSliderId;
  int32_t firstEditId;
  int32_t decimals;
};

FilterRecord *dialogRecord = nullptr;
DialogFace dialogFace = DialogFace::kChinese;

// The face the system picks for the user's language: the lookup the
// dialog call makes, compared with the English template.
DialogFace FaceOfTemplate() {
  const wchar_t *dialogType = MAKEINTRESOURCEW(5);
  HRSRC chosen = FindResourceW(ModuleInstance(), L"PARAM_DLG", dialogType);
  HRSRC english = FindResourceExW(ModuleInstance(), dialogType, L"PARAM_DLG",
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  return chosen && chosen == english ? DialogFace::kEnglish
                                     : DialogFace::kChinese;
}

constexpr int kLabelChars = 62;

// Button labels travel as UTF-16 and are compared as 8-bit text in the
// labels' own code page, so the Chinese label reads right on any system.
void ReadLabel(HWND control, unsigned char *label) {
  wchar_t wide[kLabelChars + 1] = L"";
  const int chars = GetWindowTextW(control, wide, kLabelChars + 1);
  const int bytes = WideCharToMultiByte(kLabelCodePage, 0, wide, chars,
                                        reinterpret_cast<char *>(label + 1),
                                        255, nullptr, nullptr);
  label[0] = static_cast<unsigned char>(bytes > 0 ? bytes : 0);
}

void WriteLabel(HWND control, const unsigned char *label) {
  wchar_t wide[256];
  const int chars = MultiByteToWideChar(
      kLabelCodePage, 0, reinterpret_cast<const char *>(label + 1), label[0],
      wide, 255);
  wide[chars > 0 ? chars : 0] = L'\0';
  SetWindowTextW(control, wide);
}

bool KeyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

void SubclassCancelButton(HWND button) {
  if (!button) return;
  // A Unicode procedure: an 8-bit one would pass the label through the
  // system's code page, where the Chinese label may not exist.
  const LONG_PTR standard = SetWindowLongPtrW(
      button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CancelButtonProc));
  SetWindowLongPtrW(button, GWLP_USERDATA, standard);
}

void SelectEdit(HWND dialog, int32_t editId) {
  HWND edit = GetDlgItem(dialog, editId);
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
}

// The band's picture control loaded its bitmap from the template, and
// not every system frees such a bitmap with the control: it is taken
// back from the control (which then holds none) and freed.
void FreeTemplatePictures(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char name[8] = "";
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") != 0 ||
        (GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP)
      continue;
    const LRESULT old = SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0);
    if (old) DeleteObject(reinterpret_cast<HGDIOBJ>(old));
  }
}

// A gray pixel has no hue, so no colour weight acts on it: the colour
// group is shown disabled, its values kept as they are, with a note.
void DisableColourGroup(HWND dialog) {
  for (int32_t k = 0; k < 6; ++k) {
    EnableWindow(GetDlgItem(dialog, IDC_FIRST_SLIDER + 3 + k), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_FIRST_EDIT + 3 + k), FALSE);
  }
  EnableWindow(GetDlgItem(dialog, IDC_COLOUR_GROUP), FALSE);
  EnableWindow(GetDlgItem(dialog, IDC_HUE_STRIP), FALSE);
  ShowWindow(GetDlgItem(dialog, IDC_GRAY_NOTE), SW_SHOW);
}

void InitParamDialog(HWND dialog, const ParamDialogInit &init) {
  dialogRecord = init.record;
  CreatePreviewWindow(dialog, init.record);
  SubclassCancelButton(GetDlgItem(dialog, IDCANCEL));
  SubclassZoomButton(GetDlgItem(dialog, IDC_ZOOM_OUT));
  SubclassZoomButton(GetDlgItem(dialog, IDC_ZOOM_IN));
  BindSliders(dialog, init.sliderCount, init.firstSliderId, init.firstEditId,
              init.decimals);
  SetPreviewOn(true);
  CheckDlgButton(dialog, IDC_PREVIEW_CHECK, BST_CHECKED);
  SetSliderDecimals(dialog, IDC_FIRST_SLIDER, 1);
  // Rewriting the radius box in tenths dropped its selection.
  if (GetFocus() == GetDlgItem(dialog, init.firstEditId))
    SendMessageA(GetFocus(), EM_SETSEL, 0, -1);
  SubclassHueStrip(GetDlgItem(dialog, IDC_HUE_STRIP));
  ScalePictures(dialog);
  if (IsGrayMode(init.record->imageMode)) DisableColourGroup(dialog);
  // The label is kept at every paint; written now too, it never shows
  // empty before the dialog's first paint.
  UpdateZoomLabel(dialog);
}

void OnCancelCommand(HWND dialog, HWND control) {
  PString label;
  label[0] = 0;
  if (control) ReadLabel(control, label);
  if (control && PStringEqual(label, CancelLabelFor(true, true, dialogFace))) {
    ResetCurrentParams();
  } else if (control &&
             PStringEqual(label, CancelLabelFor(true, false, dialogFace))) {
    LoadParamsFromBlock(dialogRecord);
  } else {
    EndDialog(dialog, IDCANCEL);
    return;
  }
  RefreshAllControls(dialog);
  RefreshPreview(dialog);
}

void OnCommand(HWND dialog, int32_t id, int32_t code, HWND control) {
  switch (id) {
    case IDOK: {
      const int32_t bad = CommitAllEdits(dialog);
      if (bad > 0) {
        SelectEdit(dialog, bad);
        MessageBeep(MB_ICONEXCLAMATION);
      } else {
        EndDialog(dialog, IDOK);
      }
      return;
    }
    case IDCANCEL:
      OnCancelCommand(dialog, control);
      return;
    case IDC_LOAD:
      if (LoadPreset(dialog) == 0) {
        RefreshAllControls(dialog);
        RefreshPreview(dialog);
      }
      return;
    case IDC_SAVE:
      SavePreset(dialog);
      return;
    case IDC_PREVIEW_CHECK:
      if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
        HWND box = GetDlgItem(dialog, IDC_PREVIEW_CHECK);
        SetPreviewOn(!box ||
                     SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
        RefreshAllControls(dialog);
        RefreshPreview(dialog);
      }
      return;
    case IDC_ZOOM_OUT:
    case IDC_ZOOM_LABEL:
    case IDC_ZOOM_IN:
      OnZoomCommand(dialog, id, code);
      return;
    default:
      if (code == EN_CHANGE && control && GetFocus() == control) {
        if (const int32_t slider = SliderForEdit(id))
          OnEditChange(dialog, slider);
      }
      return;
  }
}

}  // namespace

int32_t RunParamDialog(FilterRecord *record, int32_t sliderCount,
                       int32_t firstSliderId, int32_t firstEditId,
                       int32_t decimals) {
  ParamDialogInit init{record, sliderCount, firstSliderId, firstEditId,
                       decimals};
  const PlatformData *platform =
      static_cast<const PlatformData *>(record->platformData);
  HWND owner = platform ? reinterpret_cast<HWND>(platform->hwnd) : nullptr;
  // Known before the dialog exists: its first messages set the label.
  dialogFace = FaceOfTemplate();
  // The Unicode call: an 8-bit dialog would pass the template's Chinese
  // labels and font name through the system's code page. The system picks
  // the template's language.
  const INT_PTR result =
      DialogBoxDpiAware(ModuleInstance(), L"PARAM_DLG", owner, ParamDialogProc,
                        reinterpret_cast<LPARAM>(&init));
  if (result == IDOK) return 0;
  if (result == IDCANCEL) return 1;
  const DWORD error = GetLastError();
  return error != 0 ? int32_t(error) : kErrNoMemory;
}

INT_PTR CALLBACK ParamDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitParamDialog(dialog, *reinterpret_cast<ParamDialogInit *>(lParam));
      return FALSE;  // the focus stays in the first edit box
    case WM_DESTROY:
      // The class can go only once its window has.
      if (HWND preview = GetDlgItem(dialog, IDC_PREVIEW_FRAME))
        DestroyWindow(preview);
      UnregisterPreviewClass();
      FreeScaledPictures(dialog);
      FreeTemplatePictures(dialog);
      return FALSE;
    case WM_PAINT:
      if (GetUpdateRect(dialog, nullptr, FALSE)) {
        PAINTSTRUCT paint;
        BeginPaint(dialog, &paint);
        UpdateZoomLabel(dialog);
        EndPaint(dialog, &paint);
      }
      return FALSE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam), HIWORD(wParam),
                reinterpret_cast<HWND>(lParam));
      return FALSE;
    case WM_HSCROLL:
    case WM_VSCROLL:
      OnSliderScroll(dialog, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      return FALSE;
    case WM_LBUTTONUP:
      ZoomLabelClick(dialog, int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam)));
      return FALSE;
    case WM_NOTIFY: {
      const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
      const UINT_PTR id = header->idFrom;
      if (header->code != NM_CUSTOMDRAW || id < IDC_FIRST_SLIDER ||
          id >= IDC_FIRST_SLIDER + kParamCount)
        return FALSE;
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT,
                        DrawSliderThumb(dialog, header));
      return TRUE;
    }
    case WM_MOUSEWHEEL:
      // Where the system sends the wheel to the focus, its default
      // handling passes it up to us.
      return OnPreviewWheel(dialog, int16_t(HIWORD(wParam)),
                            int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam)));
    default:
      UpdateCancelLabel(dialog);
      return FALSE;
  }
}

void UpdateCancelLabel(HWND window) {
  // Reading and setting the label sends the button messages of its own.
  static bool updating = false;
  if (updating) return;
  const bool isButton = (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) &&
                        GetDlgCtrlID(window) == IDCANCEL;
  HWND button = isButton ? window : GetDlgItem(window, IDCANCEL);
  if (!button) return;
  const unsigned char *wanted =
      CancelLabelFor(KeyDown(VK_MENU), KeyDown(VK_SHIFT), dialogFace);
  PString shown;
  updating = true;
  ReadLabel(button, shown);
  if (!PStringEqual(shown, wanted)) WriteLabel(button, wanted);
  updating = false;
}

LRESULT CALLBACK CancelButtonProc(HWND button, UINT message, WPARAM wParam,
                                  LPARAM lParam) {
  const WNDPROC standard =
      reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_USERDATA));
  if (message != WM_SETTEXT && message != WM_GETTEXT && message != WM_PAINT)
    UpdateCancelLabel(button);
  return CallWindowProcW(standard, button, message, wParam, lParam);
}
