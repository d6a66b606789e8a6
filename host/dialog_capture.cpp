#include "host/dialog_capture.h"

#include <windows.h>

#include "host/text.h"

namespace {

// Hooks are per thread, and the host runs the module on one thread.
struct CaptureState {
  HHOOK hook = nullptr;
  DialogAnswer answer = DialogAnswer::kCancel;
  std::vector<CapturedDialog> dialogs;
  bool (*claim)(HWND) = nullptr;
};
CaptureState g_capture;

constexpr UINT_PTR kWatchdogTimer = 0x7A11;
constexpr UINT kWatchdogMilliseconds = 3000;
constexpr int kMessageBoxTextId = 0xFFFF;

struct ChildSurvey {
  bool onlyButtonsAndStatics = true;
  bool hasTextStatic = false;
};

BOOL CALLBACK SurveyChild(HWND child, LPARAM param) {
  auto *survey = reinterpret_cast<ChildSurvey *>(param);
  std::string cls = WindowClassName(child);
  bool isStatic = lstrcmpiA(cls.c_str(), "Static") == 0;
  if (!isStatic && lstrcmpiA(cls.c_str(), "Button") != 0)
    survey->onlyButtonsAndStatics = false;
  if (isStatic && GetDlgCtrlID(child) == kMessageBoxTextId)
    survey->hasTextStatic = true;
  return TRUE;
}

// A message box: buttons and statics only, its text in static 0xFFFF.
bool IsMessageBox(HWND dialog) {
  ChildSurvey survey;
  EnumChildWindows(dialog, SurveyChild, reinterpret_cast<LPARAM>(&survey));
  return survey.onlyButtonsAndStatics && survey.hasTextStatic;
}

int32_t DefaultButton(HWND dialog) {
  LRESULT id = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  if (HIWORD(id) == DC_HASDEFID)
    return LOWORD(id);
  return IDOK;
}

void PressButton(HWND dialog, int32_t id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Runs in the dialog's own modal loop when the button did not close it.
void CALLBACK Watchdog(HWND dialog, UINT, UINT_PTR id, DWORD) {
  KillTimer(dialog, id);
  if (!IsWindow(dialog))
    return;
  // The newest record: a window handle may be reused by a later dialog.
  for (auto it = g_capture.dialogs.rbegin(); it != g_capture.dialogs.rend();
       ++it) {
    CapturedDialog &d = *it;
    if (d.window == reinterpret_cast<intptr_t>(dialog) && !d.forced) {
      d.forced = true;
      EndDialog(dialog, d.button);
      return;
    }
  }
  CapturedDialog d;
  d.caption = WindowTextUtf8(dialog);
  d.window = reinterpret_cast<intptr_t>(dialog);
  d.forced = true;
  d.button = IDCANCEL;
  g_capture.dialogs.push_back(d);
  EndDialog(dialog, IDCANCEL);
}

LRESULT CALLBACK AfterWindowProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const CWPRETSTRUCT *msg = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
    // After WM_INITDIALOG the dialog holds its caption and text.
    if (msg->message == WM_INITDIALOG &&
        WindowClassName(msg->hwnd) == "#32770" &&
        !(g_capture.claim && g_capture.claim(msg->hwnd))) {
      CapturedDialog d;
      d.messageBox = IsMessageBox(msg->hwnd);
      d.caption = WindowTextUtf8(msg->hwnd);
      d.window = reinterpret_cast<intptr_t>(msg->hwnd);
      if (d.messageBox) {
        d.text = WindowTextUtf8(GetDlgItem(msg->hwnd, kMessageBoxTextId));
        d.button = DefaultButton(msg->hwnd);
      } else {
        d.button = g_capture.answer == DialogAnswer::kOk ? IDOK : IDCANCEL;
      }
      g_capture.dialogs.push_back(d);
      PressButton(msg->hwnd, d.button);
      SetTimer(msg->hwnd, kWatchdogTimer, kWatchdogMilliseconds, Watchdog);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

void SetDialogCaptureClaim(bool (*claim)(HWND dialog)) {
  g_capture.claim = claim;
}

bool BeginDialogCapture(DialogAnswer answer) {
  EndDialogCapture();
  g_capture.answer = answer;
  g_capture.hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterWindowProc,
                                     nullptr, GetCurrentThreadId());
  return g_capture.hook != nullptr;
}

void EndDialogCapture() {
  if (g_capture.hook)
    UnhookWindowsHookEx(g_capture.hook);
  g_capture.hook = nullptr;
}

std::vector<CapturedDialog> TakeCapturedDialogs() {
  std::vector<CapturedDialog> out;
  out.swap(g_capture.dialogs);
  return out;
}

std::string DescribeCapturedDialog(const CapturedDialog &d) {
  std::string out = d.messageBox ? "message box" : "dialog";
  out += " \"" + EscapeText(d.caption, true) + "\"";
  if (d.messageBox)
    out += " \"" + EscapeText(d.text, true) + "\"";
  out += " -> button " + std::to_string(d.button);
  if (d.forced)
    out += ", forced closed";
  return out;
}

std::string WindowClassName(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string WindowTextUtf8(HWND window) {
  wchar_t wide[1024] = L"";
  const int chars = GetWindowTextW(window, wide, 1024);
  char bytes[4096];
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, chars, bytes,
                                    sizeof bytes, nullptr, nullptr);
  return std::string(bytes, size_t(n > 0 ? n : 0));
}
