// The process's memory and its GDI and USER objects as the system
// reports them, for the long runs that must not grow.
#pragma once

#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>

#include <cstdint>

struct ProcessMemory {
  uint64_t privateBytes = 0;  // committed for this process alone
  uint64_t workingSet = 0;
  uint64_t peakWorkingSet = 0;
};

inline ProcessMemory SampleProcessMemory() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  ProcessMemory m;
  if (!GetProcessMemoryInfo(
          GetCurrentProcess(),
          reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
          sizeof counters))
    return m;
  // The commit charge: what Windows reports as private bytes, and what
  // Wine fills in (it leaves PrivateUsage 0).
  m.privateBytes = counters.PagefileUsage;
  m.workingSet = counters.WorkingSetSize;
  m.peakWorkingSet = counters.PeakWorkingSetSize;
  return m;
}

inline double Mebibytes(uint64_t bytes) { return double(bytes) / 1048576.0; }

// The process's GDI and USER objects. Windows counts them itself; Wine
// answers that it does not (ERROR_CALL_NOT_IMPLEMENTED), so there they
// are counted: GDI objects in the process's handle table (stock objects
// left out), USER objects as the process's windows, menus, icons and
// cursors (user handles, probed by their 16-bit index, which matches any
// generation).
struct GuiObjects {
  int64_t gdi = -1;  // -1: not known
  int64_t user = -1;
  bool counted = false;  // by us, not by the system
};

namespace gui_objects {

struct HandleEntry {  // an entry of the GDI handle table
  uint64_t object;
  uint32_t owner;
  uint16_t unique;  // bit 7: a stock object
  uint8_t type;     // 0: free
  uint8_t flags;
  uint64_t user;
};

struct BasicInformation {  // ProcessBasicInformation's answer
  LONG_PTR exitStatus;
  const char *peb;
  ULONG_PTR rest[4];
};

inline int64_t CountGdi() {
  using Query = LONG(WINAPI *)(HANDLE, int, void *, ULONG, ULONG *);
  const Query query =
      reinterpret_cast<Query>(reinterpret_cast<void *>(GetProcAddress(
          GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  BasicInformation basic = {};
  if (!query ||
      query(GetCurrentProcess(), 0, &basic, sizeof basic, nullptr) != 0 ||
      !basic.peb)
    return -1;
  const char *peb = basic.peb;
#ifdef _WIN64
  const size_t tableAt = 0xF8;  // the handle table's place in the PEB
#else
  const size_t tableAt = 0x94;
#endif
  const HandleEntry *table =
      *reinterpret_cast<HandleEntry *const *>(peb + tableAt);
  if (!table) return -1;
  int64_t n = 0;
  for (size_t i = 0; i < 65536; ++i)
    if (table[i].type && !(table[i].unique & 0x80)) ++n;
  return n;
}

inline bool Ours(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId();
}

inline BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<int64_t *>(count);
  return TRUE;
}

inline BOOL CALLBACK CountTopLevel(HWND window, LPARAM count) {
  if (!Ours(window)) return TRUE;
  ++*reinterpret_cast<int64_t *>(count);
  EnumChildWindows(window, CountChild, count);
  return TRUE;
}

inline int64_t CountUser() {
  int64_t n = 0;
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&n));
  for (HWND w = nullptr;
       (w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr));)
    if (Ours(w)) CountTopLevel(w, reinterpret_cast<LPARAM>(&n));
  for (uintptr_t v = 0x20; v <= 0xFFEF; v += 2) {
    if (IsMenu(reinterpret_cast<HMENU>(v))) {
      ++n;
      continue;
    }
    ICONINFO info;
    if (GetIconInfo(reinterpret_cast<HICON>(v), &info)) {
      ++n;
      if (info.hbmMask) DeleteObject(info.hbmMask);
      if (info.hbmColor) DeleteObject(info.hbmColor);
    }
  }
  return n;
}

}  // namespace gui_objects

inline GuiObjects SampleGuiObjects() {
  GuiObjects g;
  SetLastError(0);
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (gdi != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
    g.gdi = gdi;
    g.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return g;
  }
  g.counted = true;
  g.gdi = gui_objects::CountGdi();
  g.user = gui_objects::CountUser();
  return g;
}
