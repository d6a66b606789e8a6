#include "host/dialog_script.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <atomic>
#include <cstring>

#include "host/dialog_capture.h"
#include "host/display.h"
#include "host/image_io.h"
#include "host/text.h"

namespace {

constexpr UINT kTickMilliseconds = 25;
constexpr DWORD kIdleMilliseconds = 8000;  // then a step or close is forced
// A file dialog that has been named a file and is still open after this
// refused it (a file that does not exist, a folder).
constexpr DWORD kChooseMilliseconds = 2000;
constexpr int kFileNameCombo = 0x47C;  // the file dialogs' name box
constexpr int kFileNameEdit = 0x480;   // the same in older dialogs
constexpr int kPreviewId = 5;

// The module's imports that the script stands in for.
struct ImportPatch {
  void **slot = nullptr;
  void *original = nullptr;
};

struct ScriptState {
  bool active = false;
  std::vector<ScriptStep> steps;
  size_t next = 0;
  std::vector<size_t> running;  // steps in progress (nested in modal loops)
  HWND chosen = nullptr;        // the file dialog of the last choose step
  size_t chosenStep = 0;
  DWORD chosenAt = 0;
  UINT_PTR timer = 0;
  HHOOK hook = nullptr;
  DWORD thread = 0;
  HMODULE module = nullptr;
  std::vector<HWND> dialogs;  // the dialogs being worked, oldest first
  DialogScriptResult result;
  bool alt = false, shift = false;
  DWORD lastProgress = 0;
  DWORD waitUntil = 0;
  std::vector<ImportPatch> patches;
  SHORT(WINAPI *realGetAsyncKeyState)(int) = nullptr;
};
ScriptState g_script;
// While a hold step keeps the button down, the module's drag loop has the
// dialogs' thread: the steps up to the release run on a thread of their
// own meanwhile, and the timer's steps wait.
std::atomic<bool> g_holding{false};

int32_t CurrentStep() { return int32_t(g_script.next) - 1; }

void Note(const std::string &what) {
  g_script.result.events.push_back(ScriptEvent{CurrentStep(), what});
}

std::string StepName(size_t index) {
  static const char *const kNames[] = {
      "type",   "drag",          "click", "keys", "press",
      "zoom",   "pan",           "hover", "release", "hold",
      "wheel",  "choose",        "choose-cancel", "show", "shot",
      "wait"};
  static_assert(sizeof kNames / sizeof kNames[0] == int(StepKind::kWait) + 1,
                "a name for every step");
  if (index >= g_script.steps.size()) return "the script's end";
  const ScriptStep &s = g_script.steps[index];
  std::string name =
      "step " + std::to_string(index + 1) + " (" + kNames[int(s.kind)];
  if (s.kind == StepKind::kChoose) name += " " + s.text;
  if (s.kind == StepKind::kType || s.kind == StepKind::kDrag ||
      s.kind == StepKind::kClick)
    name += " " + std::to_string(s.id);
  return name + ", line " + std::to_string(s.line) + ")";
}

void ProblemOf(size_t step, const std::string &what) {
  g_script.result.problems.push_back(StepName(step) + ": " + what);
}

void Problem(const std::string &what) {
  ProblemOf(size_t(CurrentStep()), what);
}

// --- the module's imports ---------------------------------------------

SHORT WINAPI ScriptGetAsyncKeyState(int key) {
  const bool alt = key == VK_MENU || key == VK_LMENU || key == VK_RMENU;
  const bool shift = key == VK_SHIFT || key == VK_LSHIFT || key == VK_RSHIFT;
  if ((alt && g_script.alt) || (shift && g_script.shift)) return SHORT(0x8000);
  if (alt || shift) return 0;  // the script's keys, not the machine's
  return g_script.realGetAsyncKeyState ? g_script.realGetAsyncKeyState(key) : 0;
}

BOOL WINAPI ScriptMessageBeep(UINT type) {
  Note("beep " + std::string(type == MB_ICONEXCLAMATION
                                 ? "exclamation"
                                 : std::to_string(type)));
  return TRUE;
}

BOOL WINAPI ScriptBeep(DWORD frequency, DWORD duration) {
  Note("beep " + std::to_string(frequency) + " " + std::to_string(duration));
  return TRUE;
}

void **FindImport(HMODULE module, const char *dll, const char *function) {
  auto *base = reinterpret_cast<uint8_t *>(module);
  auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
  auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &dir =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return nullptr;
  for (auto *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(
           base + dir.VirtualAddress);
       d->Name; ++d) {
    if (lstrcmpiA(reinterpret_cast<char *>(base + d->Name), dll) != 0) continue;
    auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(
        base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(
          base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char *>(byName->Name), function) == 0)
        return reinterpret_cast<void **>(&slots->u1.Function);
    }
  }
  return nullptr;
}

void WriteSlot(void **slot, void *value) {
  DWORD old;
  if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) {
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
  }
}

void Patch(const char *dll, const char *function, void *replacement) {
  void **slot = FindImport(g_script.module, dll, function);
  if (!slot) return;  // the module does not call it
  g_script.patches.push_back(ImportPatch{slot, *slot});
  WriteSlot(slot, replacement);
}

void PatchModule() {
  g_script.realGetAsyncKeyState = GetAsyncKeyState;
  Patch("user32.dll", "GetAsyncKeyState",
        reinterpret_cast<void *>(ScriptGetAsyncKeyState));
  Patch("user32.dll", "MessageBeep",
        reinterpret_cast<void *>(ScriptMessageBeep));
  Patch("kernel32.dll", "Beep", reinterpret_cast<void *>(ScriptBeep));
}

void UnpatchModule() {
  for (const ImportPatch &p : g_script.patches) WriteSlot(p.slot, p.original);
  g_script.patches.clear();
}

// --- reading dialogs ----------------------------------------------------

bool HasItem(HWND dialog, int id) { return GetDlgItem(dialog, id) != nullptr; }

bool IsFileDialog(HWND dialog) {
  return HasItem(dialog, kFileNameCombo) || HasItem(dialog, kFileNameEdit);
}

// The focus of the dialogs' thread, read from any thread.
HWND FocusOfDialogs() {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(g_script.thread, &info) ? info.hwndFocus : nullptr;
}

BOOL CALLBACK ReadControl(HWND child, LPARAM param) {
  auto *view = reinterpret_cast<DialogView *>(param);
  ControlView c;
  c.id = GetDlgCtrlID(child);
  c.className = WindowClassName(child);
  const LONG_PTR type = GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK;
  const bool picture = lstrcmpiA(c.className.c_str(), "Static") == 0 &&
                       (type == SS_BITMAP || type == SS_ICON);
  if (!picture) c.text = WindowTextUtf8(child);  // a picture's is its resource's
  if (lstrcmpiA(c.className.c_str(), TRACKBAR_CLASSA) == 0)
    c.position = int32_t(SendMessageA(child, TBM_GETPOS, 0, 0));
  if (lstrcmpiA(c.className.c_str(), "Button") == 0)
    c.check = int32_t(SendMessageA(child, BM_GETCHECK, 0, 0));
  c.focused = FocusOfDialogs() == child;
  c.enabled = IsWindowEnabled(child) != FALSE;
  c.visible = (GetWindowLongPtrA(child, GWL_STYLE) & WS_VISIBLE) != 0;
  if (lstrcmpiA(c.className.c_str(), "Edit") == 0) {
    DWORD start = 0, end = 0;
    SendMessageA(child, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    c.selectionStart = int32_t(start);
    c.selectionEnd = int32_t(end);
    wchar_t wide[256] = L"";
    const int chars = GetWindowTextW(child, wide, 256);
    HDC dc = GetDC(child);
    HGDIOBJ old =
        SelectObject(dc, HGDIOBJ(SendMessageW(child, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32W(dc, wide, chars, &extent);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    RECT room = {};
    SendMessageW(child, EM_GETRECT, 0, LPARAM(&room));
    c.textWidth = extent.cx;
    c.textRoom = room.right - room.left;
  }
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT *>(&r), 2);
  c.left = r.left;
  c.top = r.top;
  c.width = r.right - r.left;
  c.height = r.bottom - r.top;
  view->controls.push_back(c);
  return TRUE;
}

std::string CursorName() {
  HCURSOR shown = GetCursor();
  if (shown == LoadCursorA(nullptr, MAKEINTRESOURCEA(32512))) return "arrow";
  if (g_script.module &&
      shown == LoadCursorA(g_script.module, MAKEINTRESOURCEA(31)))
    return "hand";
  if (g_script.module &&
      shown == LoadCursorA(g_script.module, MAKEINTRESOURCEA(32)))
    return "cross";
  return "other";
}

DialogView ReadView(HWND dialog) {
  DialogView view;
  view.step = CurrentStep();
  view.caption = WindowTextUtf8(dialog);
  EnumChildWindows(dialog, ReadControl, reinterpret_cast<LPARAM>(&view));
  view.cursor = CursorName();
  if (HWND owner = GetWindow(dialog, GW_OWNER)) {
    view.owner = WindowTextUtf8(owner);
    view.ownerEnabled = IsWindowEnabled(owner) != FALSE;
  }
  RECT r;
  GetWindowRect(dialog, &r);
  view.left = r.left;
  view.top = r.top;
  view.width = r.right - r.left;
  view.height = r.bottom - r.top;
  return view;
}

// --- acting -------------------------------------------------------------

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

void RefreshLabels(HWND dialog) {
  // A person moving the mouse: every message reaches the dialog.
  if (IsWindow(dialog)) SendMessageA(dialog, WM_MOUSEMOVE, 0, Point(1, 1));
}

void ClickControl(HWND dialog, HWND control) {
  RECT r;
  GetClientRect(control, &r);
  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  HWND target = control;
  // A static that does not notify lets clicks through to the dialog.
  if (lstrcmpiA(WindowClassName(control).c_str(), "Static") == 0 &&
      !(GetWindowLongPtrA(control, GWL_STYLE) & SS_NOTIFY)) {
    MapWindowPoints(control, dialog, &p, 1);
    target = dialog;
  }
  SendMessageA(target, WM_MOUSEMOVE, 0, Point(p.x, p.y));
  SendMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, Point(p.x, p.y));
  if (IsWindow(target)) SendMessageA(target, WM_LBUTTONUP, 0, Point(p.x, p.y));
}

void TypeText(HWND edit, const std::string &utf8) {
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  if (utf8.empty()) {
    SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    return;
  }
  wchar_t wide[256];
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide, 256);
  for (int i = 0; i < n; ++i) SendMessageW(edit, WM_CHAR, wide[i], 1);
}

int32_t ThumbPositionAt(HWND slider, bool vertical, int coordinate, int other) {
  const LPARAM at =
      vertical ? Point(other, coordinate) : Point(coordinate, other);
  SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, at);
  return int32_t(SendMessageA(slider, TBM_GETPOS, 0, 0));
}

void DragSlider(HWND slider, int32_t value) {
  const int32_t low = int32_t(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0));
  const int32_t high = int32_t(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0));
  const bool vertical = (GetWindowLongPtrA(slider, GWL_STYLE) & TBS_VERT) != 0;
  int32_t wanted = vertical ? high + low - value : value;
  if (wanted < low) wanted = low;
  if (wanted > high) wanted = high;
  RECT thumb = {}, client = {};
  SendMessageA(slider, TBM_GETTHUMBRECT, 0, LPARAM(&thumb));
  GetClientRect(slider, &client);
  const int other = vertical ? (thumb.left + thumb.right) / 2
                             : (thumb.top + thumb.bottom) / 2;
  const int grab = vertical ? (thumb.top + thumb.bottom) / 2
                            : (thumb.left + thumb.right) / 2;
  SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON,
               vertical ? Point(other, grab) : Point(grab, other));
  // The position grows with the coordinate: find where it reaches wanted.
  int lo = -40, hi = (vertical ? client.bottom : client.right) + 40;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (ThumbPositionAt(slider, vertical, mid, other) < wanted)
      lo = mid + 1;
    else
      hi = mid;
  }
  int best = lo;
  if (ThumbPositionAt(slider, vertical, lo, other) != wanted &&
      ThumbPositionAt(slider, vertical, lo - 1, other) >= low) {
    const int32_t above = ThumbPositionAt(slider, vertical, lo, other);
    const int32_t below = ThumbPositionAt(slider, vertical, lo - 1, other);
    if (wanted - below < above - wanted) best = lo - 1;
  }
  const int32_t reached = ThumbPositionAt(slider, vertical, best, other);
  SendMessageA(slider, WM_LBUTTONUP, 0,
               vertical ? Point(other, best) : Point(best, other));
  if (reached != wanted)
    Note("slider " + std::to_string(GetDlgCtrlID(slider)) +
         " reaches position " + std::to_string(reached) + ", not " +
         std::to_string(wanted));
}

struct PanJob {
  HWND preview;
  DWORD thread;
  POINT from, to;  // screen
};

// Waits (two seconds at most) until the preview's drag loop has the
// mouse, that is, holds the dialogs' thread.
void WaitForDragLoop(HWND preview) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  for (int i = 0; i < 400; ++i) {
    if (GetGUIThreadInfo(g_script.thread, &info) && info.hwndCapture == preview)
      return;
    Sleep(5);
  }
}

// The pointer moves from one point of the screen to another in steps, as
// a hand moves it.
void MovePointer(POINT from, POINT to) {
  constexpr int kSteps = 8;
  for (int i = 1; i <= kSteps; ++i) {
    SetCursorPos(from.x + (to.x - from.x) * i / kSteps,
                 from.y + (to.y - from.y) * i / kSteps);
    Sleep(30);
  }
}

// Moves the pointer while the preview's drag loop holds the thread, then
// lets the button go.
DWORD WINAPI PanMover(void *param) {
  const PanJob *job = static_cast<PanJob *>(param);
  WaitForDragLoop(job->preview);
  MovePointer(job->from, job->to);
  POINT end = job->to;
  ScreenToClient(job->preview, &end);
  PostMessageA(job->preview, WM_LBUTTONUP, 0, Point(end.x, end.y));
  return 0;
}

void PanPreview(HWND dialog, const ScriptStep &s) {
  HWND preview = GetDlgItem(dialog, kPreviewId);
  if (!preview) {
    Problem("no preview to pan");
    return;
  }
  RECT client;
  GetClientRect(preview, &client);
  POINT start =
      s.at ? POINT{s.x, s.y} : POINT{client.right / 2, client.bottom / 2};
  PanJob job{preview, GetCurrentThreadId(), start, start};
  ClientToScreen(preview, &job.from);
  job.to = POINT{job.from.x + s.dx, job.from.y + s.dy};
  SetCursorPos(job.from.x, job.from.y);
  HANDLE mover = CreateThread(nullptr, 0, PanMover, &job, 0, nullptr);
  if (!mover) {
    Problem("cannot start the pointer's thread");
    return;
  }
  SendMessageA(preview, WM_LBUTTONDOWN, MK_LBUTTON, Point(start.x, start.y));
  WaitForSingleObject(mover, INFINITE);
  CloseHandle(mover);
}

void Hover(HWND dialog, const ScriptStep &s) {
  HWND preview = GetDlgItem(dialog, kPreviewId);
  if (!preview) return;
  POINT p{s.x, s.y};
  ClientToScreen(preview, &p);
  SetCursorPos(p.x, p.y);
  SendMessageA(preview, WM_MOUSEMOVE, 0, Point(s.x, s.y));
}

void ReleaseButton(HWND dialog, const ScriptStep &s) {
  if (HWND preview = GetDlgItem(dialog, kPreviewId))
    SendMessageA(preview, WM_LBUTTONUP, 0, Point(s.x, s.y));
}

void Shoot(HWND dialog, const ScriptStep &s) {
  ScriptShot shot;
  shot.step = CurrentStep();
  shot.image = CaptureWindowImage(dialog);
  RECT frame;
  GetWindowRect(dialog, &frame);
  POINT client{0, 0};
  ClientToScreen(dialog, &client);
  shot.clientLeft = client.x - frame.left;
  shot.clientTop = client.y - frame.top;
  if (HWND preview = GetDlgItem(dialog, kPreviewId)) {
    RECT client;
    GetClientRect(preview, &client);
    POINT origin{0, 0};
    ClientToScreen(preview, &origin);
    shot.previewLeft = origin.x - frame.left;
    shot.previewTop = origin.y - frame.top;
    shot.previewWidth = client.right;
    shot.previewHeight = client.bottom;
  }
  if (!s.text.empty()) {
    std::string error;
    if (!WriteImageFile(MapUnixPath(s.text), shot.image, &error))
      Problem("cannot write " + s.text + ": " + error);
  }
  g_script.result.shots.push_back(shot);
}

struct HoldJob {
  HWND dialog, preview;
};

// The steps after a hold, up to its release, while the module's drag loop
// holds the dialogs' thread: it answers the messages other threads send,
// so what the dialog shows can be read and pictured from here.
DWORD WINAPI StepsWhileHeld(void *param) {
  const HoldJob job = *static_cast<HoldJob *>(param);
  delete static_cast<HoldJob *>(param);
  ScriptState &g = g_script;
  WaitForDragLoop(job.preview);
  bool released = false;
  while (!released && g.next < g.steps.size()) {
    const ScriptStep &s = g.steps[g.next++];
    POINT at{s.x, s.y}, now;
    GetCursorPos(&now);
    switch (s.kind) {
      case StepKind::kShow:
        g.result.views.push_back(ReadView(job.dialog));
        break;
      case StepKind::kShot:
        Shoot(job.dialog, s);
        break;
      case StepKind::kWait:
        Sleep(DWORD(s.value));
        break;
      case StepKind::kHover:
        ClientToScreen(job.preview, &at);
        MovePointer(now, at);
        break;
      case StepKind::kPan:
        MovePointer(now, POINT{now.x + s.dx, now.y + s.dy});
        break;
      case StepKind::kRelease:
        ClientToScreen(job.preview, &at);
        MovePointer(now, at);
        PostMessageA(job.preview, WM_LBUTTONUP, 0, Point(s.x, s.y));
        released = true;
        break;
      default:
        Problem("cannot be done while the button is held; skipped");
        break;
    }
    g.result.stepsDone = int32_t(g.next);
  }
  if (!released) {
    Problem("the script ended with the button held; released");
    PostMessageA(job.preview, WM_LBUTTONUP, 0, 0);
  }
  g.lastProgress = GetTickCount();
  g_holding = false;
  return 0;
}

// The preview with the pointer put at the step's (x, y) in it; null, with
// a problem noted, when there is no preview.
HWND PointAtPreview(HWND dialog, const ScriptStep &s, const char *action) {
  HWND preview = GetDlgItem(dialog, kPreviewId);
  if (!preview) {
    Problem(std::string("no preview to ") + action);
    return nullptr;
  }
  POINT p{s.x, s.y};
  ClientToScreen(preview, &p);
  SetCursorPos(p.x, p.y);
  return preview;
}

// The button goes down over the preview and stays down: the steps up to
// the release run meanwhile (StepsWhileHeld).
void HoldButton(HWND dialog, const ScriptStep &s) {
  HWND preview = PointAtPreview(dialog, s, "hold the button on");
  if (!preview) return;
  g_holding = true;
  HANDLE steps =
      CreateThread(nullptr, 0, StepsWhileHeld, new HoldJob{dialog, preview}, 0,
                   nullptr);
  if (!steps) {
    g_holding = false;
    Problem("cannot start the thread of the held steps");
    return;
  }
  CloseHandle(steps);
  // Posted: the drag loop starts once this step has returned.
  PostMessageA(preview, WM_LBUTTONDOWN, MK_LBUTTON, Point(s.x, s.y));
}

// The wheel over the preview, sent to the window under the pointer as
// current Windows sends it (older ones send it to the focus).
void TurnWheel(HWND dialog, const ScriptStep &s) {
  HWND preview = PointAtPreview(dialog, s, "turn the wheel over");
  if (!preview) return;
  POINT p{s.x, s.y};
  ClientToScreen(preview, &p);
  const int step = s.value > 0 ? WHEEL_DELTA : -WHEEL_DELTA;
  for (int i = 0; i < (s.value > 0 ? s.value : -s.value); ++i)
    SendMessageA(preview, WM_MOUSEWHEEL, MAKEWPARAM(0, step), Point(p.x, p.y));
}

void Choose(HWND fileDialog, const ScriptStep &s) {
  if (s.kind == StepKind::kChooseCancel) {
    SendMessageA(fileDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 LPARAM(GetDlgItem(fileDialog, IDCANCEL)));
    return;
  }
  HWND name = GetDlgItem(fileDialog, kFileNameCombo);
  if (!name) name = GetDlgItem(fileDialog, kFileNameEdit);
  SetWindowTextA(name, MapUnixPath(s.text).c_str());
  SendMessageA(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               LPARAM(GetDlgItem(fileDialog, IDOK)));
  // A dialog that took the file has ended; one that refused it (its
  // message box answered) stays, and is cancelled if it is still there.
  g_script.chosen = fileDialog;
  g_script.chosenStep = size_t(CurrentStep());
  g_script.chosenAt = GetTickCount();
}

// The file dialog of a choose step that did not take its file.
void CancelRefusedChoice(DWORD now) {
  ScriptState &g = g_script;
  if (!g.chosen) return;
  if (!IsWindow(g.chosen) || !IsWindowVisible(g.chosen)) {
    g.chosen = nullptr;
    return;
  }
  if (now - g.chosenAt < kChooseMilliseconds) return;
  ProblemOf(g.chosenStep,
            "the file dialog did not take the file (it does not exist or "
            "cannot be opened); cancelled");
  PostMessageA(g.chosen, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  g.chosen = nullptr;
  g.lastProgress = now;
}

void Perform(HWND dialog, const ScriptStep &s) {
  switch (s.kind) {
    case StepKind::kType:
      if (HWND edit = GetDlgItem(dialog, s.id))
        TypeText(edit, s.text);
      else
        Problem("no edit box " + std::to_string(s.id));
      break;
    case StepKind::kDrag:
      if (HWND slider = GetDlgItem(dialog, s.id))
        DragSlider(slider, s.value);
      else
        Problem("no slider " + std::to_string(s.id));
      break;
    case StepKind::kClick: {
      HWND control = GetDlgItem(dialog, s.id);
      if (!control) {
        Problem("no control " + std::to_string(s.id));
        break;
      }
      const bool alt = g_script.alt, shift = g_script.shift;
      g_script.alt = alt || s.alt;
      g_script.shift = shift || s.shift;
      ClickControl(dialog, control);
      g_script.alt = alt;
      g_script.shift = shift;
      RefreshLabels(dialog);
      break;
    }
    case StepKind::kKeys:
      g_script.alt = s.alt;
      g_script.shift = s.shift;
      RefreshLabels(dialog);
      break;
    case StepKind::kPress: {
      HWND focus = GetFocus();
      HWND to =
          focus && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
      PostMessageA(to, WM_KEYDOWN, WPARAM(s.id), 1);
      PostMessageA(to, WM_KEYUP, WPARAM(s.id), LPARAM(0xC0000001));
      break;
    }
    case StepKind::kZoom: {
      const int id = s.value > 0 ? 10 : s.value < 0 ? 8 : 9;
      if (HWND control = GetDlgItem(dialog, id)) ClickControl(dialog, control);
      break;
    }
    case StepKind::kPan:
      PanPreview(dialog, s);
      break;
    case StepKind::kHover:
      Hover(dialog, s);
      break;
    case StepKind::kRelease:
      ReleaseButton(dialog, s);
      break;
    case StepKind::kHold:
      HoldButton(dialog, s);
      break;
    case StepKind::kWheel:
      TurnWheel(dialog, s);
      break;
    case StepKind::kChoose:
    case StepKind::kChooseCancel:
      Choose(dialog, s);
      break;
    case StepKind::kShow:
      g_script.result.views.push_back(ReadView(dialog));
      break;
    case StepKind::kShot:
      Shoot(dialog, s);
      break;
    case StepKind::kWait:
      g_script.waitUntil = GetTickCount() + DWORD(s.value);
      break;
  }
}

// --- the driver ---------------------------------------------------------

void TakeMessageBoxes() {
  for (const CapturedDialog &d : TakeCapturedDialogs())
    Note(DescribeCapturedDialog(d));
}

void PruneDialogs() {
  std::vector<HWND> &d = g_script.dialogs;
  for (size_t i = 0; i < d.size();)
    if (IsWindow(d[i]))
      ++i;
    else
      d.erase(d.begin() + long(i));
}

// The newest open dialog of the kind (any: of either kind).
HWND TopDialog(bool fileDialog, bool any) {
  for (auto it = g_script.dialogs.rbegin(); it != g_script.dialogs.rend(); ++it)
    if (IsWindow(*it) && (any || IsFileDialog(*it) == fileDialog)) return *it;
  return nullptr;
}

void CloseLeftOpen() {
  for (auto it = g_script.dialogs.rbegin(); it != g_script.dialogs.rend(); ++it)
    if (IsWindow(*it)) {
      Problem("the script ended with a dialog open; cancelled");
      PostMessageA(*it, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      g_script.lastProgress = GetTickCount();
      return;
    }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  ScriptState &g = g_script;
  if (g_holding) return;
  PruneDialogs();
  TakeMessageBoxes();
  const DWORD now = GetTickCount();
  if (g.waitUntil && int32_t(now - g.waitUntil) < 0) return;
  g.waitUntil = 0;
  if (g.next >= g.steps.size()) {
    if (now - g.lastProgress > kIdleMilliseconds) CloseLeftOpen();
    return;
  }
  CancelRefusedChoice(now);
  const ScriptStep &s = g.steps[g.next];
  const bool fileStep =
      s.kind == StepKind::kChoose || s.kind == StepKind::kChooseCancel;
  // What a dialog shows is read from the newest one, a file dialog too.
  const bool anyStep = s.kind == StepKind::kShow || s.kind == StepKind::kShot;
  if (!g.running.empty() && !fileStep && !anyStep) {
    // A step that opened a dialog the script does not close in time is
    // ended by cancelling that dialog, so the next step can run.
    if (now - g.lastProgress > kIdleMilliseconds) {
      ProblemOf(g.running.back(),
                "has not ended after " +
                    std::to_string(kIdleMilliseconds / 1000) +
                    " s: a dialog it opened is still open; cancelled");
      for (auto it = g.dialogs.rbegin(); it != g.dialogs.rend(); ++it)
        if (IsWindow(*it)) {
          PostMessageA(*it, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
          break;
        }
      g.lastProgress = now;
    }
    return;
  }
  HWND target = TopDialog(fileStep, anyStep);
  // A modal dialog shows itself when its queue first runs empty, which a
  // slow start can leave until after the first tick: it is worked once it
  // shows, and so has had its first paint.
  if (target && !IsWindowVisible(target) &&
      now - g.lastProgress <= kIdleMilliseconds)
    return;
  if (!target) {
    if (now - g.lastProgress > kIdleMilliseconds && !g.dialogs.empty()) {
      ++g.next;
      Problem("no dialog for this step; skipped");
      g.lastProgress = now;
    }
    return;
  }
  ++g.next;
  g.running.push_back(g.next - 1);
  Perform(target, s);
  g.running.pop_back();
  g.result.stepsDone = int32_t(g.next);
  g.lastProgress = GetTickCount();
  TakeMessageBoxes();
}

bool IsMessageBoxWindow(HWND dialog) {
  // Message boxes carry their text in static 0xFFFF and have no edits or
  // sliders; the dialog capture answers them.
  return GetDlgItem(dialog, 0xFFFF) != nullptr && !HasItem(dialog, 101) &&
         !IsFileDialog(dialog);
}

bool ClaimDialog(HWND dialog) {
  return g_script.active && !IsMessageBoxWindow(dialog);
}

LRESULT CALLBACK ClaimAfterInitDialog(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const CWPRETSTRUCT *msg = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
    if (msg->message == WM_INITDIALOG &&
        WindowClassName(msg->hwnd) == "#32770" && ClaimDialog(msg->hwnd)) {
      g_script.dialogs.push_back(msg->hwnd);
      g_script.lastProgress = GetTickCount();
      if (!g_script.timer)
        g_script.timer = SetTimer(nullptr, 0, kTickMilliseconds, Tick);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

const ControlView *DialogView::Find(int32_t id) const {
  for (const ControlView &c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

std::string DialogView::Text(int32_t id) const {
  const ControlView *c = Find(id);
  return c ? c->text : std::string();
}

int32_t DialogView::Position(int32_t id) const {
  const ControlView *c = Find(id);
  return c ? c->position : -99999;
}

bool DialogView::Focused(int32_t id) const {
  const ControlView *c = Find(id);
  return c && c->focused;
}

bool BeginDialogScript(const std::vector<ScriptStep> &steps,
                       void *moduleLibrary, std::string *error) {
  EndDialogScript();
  g_script = ScriptState();
  g_script.steps = steps;
  g_script.module = static_cast<HMODULE>(moduleLibrary);
  g_script.thread = GetCurrentThreadId();
  g_script.hook = SetWindowsHookExA(WH_CALLWNDPROCRET, ClaimAfterInitDialog,
                                    nullptr, g_script.thread);
  if (!g_script.hook) {
    *error = "cannot watch for dialogs";
    return false;
  }
  if (g_script.module) PatchModule();
  g_script.active = true;
  g_script.lastProgress = GetTickCount();
  SetDialogCaptureClaim(ClaimDialog);
  return true;
}

DialogScriptResult EndDialogScript() {
  if (!g_script.active) return DialogScriptResult();
  TakeMessageBoxes();
  SetDialogCaptureClaim(nullptr);
  if (g_script.timer) KillTimer(nullptr, g_script.timer);
  if (g_script.hook) UnhookWindowsHookEx(g_script.hook);
  UnpatchModule();
  g_script.active = false;
  g_script.timer = 0;
  g_script.hook = nullptr;
  if (g_script.next < g_script.steps.size())
    g_script.result.problems.push_back(
        std::to_string(g_script.steps.size() - g_script.next) +
        " step(s) not done: no dialog was open for them");
  DialogScriptResult result = g_script.result;
  g_script.result = DialogScriptResult();
  return result;
}

std::string DescribeDialogView(const DialogView &view) {
  std::string out = "dialog \"" + EscapeText(view.caption, true) + "\", cursor " +
                    view.cursor + ", at " + std::to_string(view.left) + "," +
                    std::to_string(view.top) + " size " +
                    std::to_string(view.width) + "x" +
                    std::to_string(view.height);
  if (!view.owner.empty())
    out += ", owned by \"" + EscapeText(view.owner, true) + "\"" +
           (view.ownerEnabled ? "" : " (disabled)");
  out += "\n";
  for (const ControlView &c : view.controls) {
    out += "  " + std::to_string(c.id) + " " + c.className;
    if (!c.text.empty()) out += " \"" + EscapeText(c.text, true) + "\"";
    if (lstrcmpiA(c.className.c_str(), TRACKBAR_CLASSA) == 0)
      out += " at " + std::to_string(c.position);
    if (c.check) out += " checked";
    if (c.focused) out += " focused";
    if (!c.enabled) out += " disabled";
    if (!c.visible) out += " hidden";
    if (c.selectionEnd > c.selectionStart)
      out += " selected " + std::to_string(c.selectionStart) + ".." +
             std::to_string(c.selectionEnd);
    out += "\n";
  }
  return out;
}
