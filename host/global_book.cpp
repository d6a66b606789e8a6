#include "host/global_book.h"

#include <windows.h>

namespace {

GlobalBook g_book;

typedef HGLOBAL(WINAPI *GlobalAllocProc)(UINT, SIZE_T);
typedef HGLOBAL(WINAPI *GlobalFreeProc)(HGLOBAL);
typedef LPVOID(WINAPI *GlobalLockProc)(HGLOBAL);
typedef BOOL(WINAPI *GlobalUnlockProc)(HGLOBAL);

bool FailsNow(int32_t failAt, int32_t callNumber) {
  return failAt == kAlways || (failAt > 0 && failAt == callNumber);
}

std::string Describe(const GlobalBlock &b) {
  return "global block #" + std::to_string(b.serial) + " (" +
         std::to_string(b.size) + " bytes)";
}

GlobalBlock *FindLive(HGLOBAL h, const char *operation) {
  auto it = g_book.blocks.find(h);
  if (it == g_book.blocks.end()) {
    g_book.failures.push_back(std::string(operation) +
                              " of a global block the module never made");
    return nullptr;
  }
  if (!it->second.live) {
    g_book.failures.push_back(std::string(operation) + " of freed " +
                              Describe(it->second));
    return nullptr;
  }
  return &it->second;
}

HGLOBAL WINAPI BookGlobalAlloc(UINT flags, SIZE_T bytes) {
  if (FailsNow(g_book.allocFailAt, ++g_book.counts.allocs)) {
    ++g_book.counts.allocFailures;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HGLOBAL h = GlobalAlloc(flags, bytes);
  if (h) {
    GlobalBlock block;
    block.serial = g_book.counts.allocs;
    block.size = bytes;
    g_book.blocks[h] = block; // a freed block's handle may come back
    g_book.liveBytes += bytes;
    if (g_book.liveBytes > g_book.peakLiveBytes)
      g_book.peakLiveBytes = g_book.liveBytes;
  }
  return h;
}

HGLOBAL WINAPI BookGlobalFree(HGLOBAL h) {
  ++g_book.counts.frees;
  if (GlobalBlock *b = FindLive(h, "GlobalFree")) {
    if (b->lockCount != 0)
      g_book.failures.push_back("GlobalFree of " + Describe(*b) +
                                " still locked " +
                                std::to_string(b->lockCount) + " time(s)");
    b->live = false;
    g_book.liveBytes -= b->size;
    return GlobalFree(h);
  }
  return h; // as the system answers a failed free
}

LPVOID WINAPI BookGlobalLock(HGLOBAL h) {
  ++g_book.counts.locks;
  GlobalBlock *b = FindLive(h, "GlobalLock");
  if (!b)
    return nullptr;
  LPVOID address = GlobalLock(h);
  if (address)
    ++b->lockCount;
  return address;
}

BOOL WINAPI BookGlobalUnlock(HGLOBAL h) {
  ++g_book.counts.unlocks;
  GlobalBlock *b = FindLive(h, "GlobalUnlock");
  if (!b)
    return FALSE;
  if (b->lockCount == 0) {
    g_book.failures.push_back("GlobalUnlock of " + Describe(*b) +
                              " that is not locked");
    return FALSE;
  }
  --b->lockCount;
  return GlobalUnlock(h);
}

int WINAPI BookMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption,
                           UINT type) {
  ++g_book.counts.messageBoxes;
  return MessageBoxA(owner, text, caption, type);
}

int WINAPI BookMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption,
                           UINT type) {
  ++g_book.counts.messageBoxes;
  return MessageBoxW(owner, text, caption, type);
}

struct Route {
  const char *dll;
  const char *name;
  void *replacement;
};

const Route kRoutes[] = {
    {"kernel32.dll", "GlobalAlloc", reinterpret_cast<void *>(BookGlobalAlloc)},
    {"kernel32.dll", "GlobalFree", reinterpret_cast<void *>(BookGlobalFree)},
    {"kernel32.dll", "GlobalLock", reinterpret_cast<void *>(BookGlobalLock)},
    {"kernel32.dll", "GlobalUnlock",
     reinterpret_cast<void *>(BookGlobalUnlock)},
    {"user32.dll", "MessageBoxA", reinterpret_cast<void *>(BookMessageBoxA)},
    {"user32.dll", "MessageBoxW", reinterpret_cast<void *>(BookMessageBoxW)},
};

// A positive result tells the host that the user has seen a message;
// 1 from start or continue is a cancelled dialog or an aborted run.
bool NeedsMessage(const SelectorCall &call) {
  if (call.result <= 0)
    return false;
  return call.result != 1 || (call.selector != kSelectorStart &&
                              call.selector != kSelectorContinue);
}

// Every import slot of the module that holds the system's procedure now
// holds ours; matching by address also finds forwarded imports.
bool PatchImports(HMODULE module, std::string *error) {
  auto *base = reinterpret_cast<uint8_t *>(module);
  auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
  auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &dir =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) {
    *error = "the module imports nothing";
    return false;
  }
  auto *descriptor =
      reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
  for (; descriptor->Name != 0; ++descriptor) {
    auto *slot =
        reinterpret_cast<IMAGE_THUNK_DATA *>(base + descriptor->FirstThunk);
    for (; slot->u1.Function != 0; ++slot) {
      for (const Route &route : kRoutes) {
        FARPROC system =
            GetProcAddress(GetModuleHandleA(route.dll), route.name);
        if (system == nullptr ||
            slot->u1.Function != reinterpret_cast<ULONG_PTR>(system))
          continue;
        DWORD old;
        if (!VirtualProtect(&slot->u1.Function, sizeof(ULONG_PTR),
                            PAGE_READWRITE, &old)) {
          *error = "cannot write the module's import table";
          return false;
        }
        slot->u1.Function = reinterpret_cast<ULONG_PTR>(route.replacement);
        VirtualProtect(&slot->u1.Function, sizeof(ULONG_PTR), old, &old);
      }
    }
  }
  return true;
}

// The block an emulated handle refers to: the first word of its memory.
void *ReferredBlock(void *kept) {
  void **words = static_cast<void **>(GlobalLock(kept));
  if (!words)
    return nullptr;
  void *referred = *words;
  GlobalUnlock(kept);
  return referred;
}

void CheckAfterInvocation(HostSession *session) {
  void *kept = session->record ? session->record->parameters : nullptr;
  auto keptBlock = g_book.blocks.find(kept);
  void *referred = keptBlock != g_book.blocks.end() && keptBlock->second.live
                       ? ReferredBlock(kept)
                       : nullptr;
  for (auto &item : g_book.blocks) {
    GlobalBlock &b = item.second;
    if (!b.live || b.reported)
      continue;
    if (b.lockCount != 0) {
      g_book.failures.push_back(Describe(b) + " left locked " +
                                std::to_string(b.lockCount) + " time(s)");
      b.reported = true;
    } else if (item.first != kept && item.first != referred) {
      g_book.failures.push_back(Describe(b) + " leaked");
      b.reported = true;
    }
  }
  const bool shown = g_book.counts.messageBoxes != g_book.messageBoxesChecked;
  g_book.messageBoxesChecked = g_book.counts.messageBoxes;
  if (!session->invocations.empty() && !shown)
    for (const SelectorCall &call : session->invocations.back().calls)
      if (NeedsMessage(call))
        g_book.failures.push_back(std::string("selector ") +
                                  SelectorName(call.selector) + " returned " +
                                  std::to_string(call.result) +
                                  " without showing a message");
  for (const std::string &failure : g_book.failures)
    session->failures.push_back(failure);
  g_book.failures.clear();
}

} // namespace

bool WatchModuleGlobalMemory(void *library, std::string *error) {
  return PatchImports(static_cast<HMODULE>(library), error);
}

void AttachGlobalBook(HostSession *session) {
  g_book = GlobalBook();
  g_book.allocFailAt = session->config.globalAllocFailAt;
  session->afterInvocation = CheckAfterInvocation;
}

const GlobalBook &CurrentGlobalBook() { return g_book; }

int32_t LiveGlobalBlocks() {
  int32_t n = 0;
  for (const auto &item : g_book.blocks)
    n += item.second.live ? 1 : 0;
  return n;
}

std::string DescribeGlobalBook() {
  const GlobalBookCounts &c = g_book.counts;
  return "global memory: " + std::to_string(c.allocs) + " allocations (" +
         std::to_string(c.allocFailures) + " failed), " +
         std::to_string(c.frees) + " freed, " + std::to_string(c.locks) +
         " locks, " + std::to_string(c.unlocks) + " unlocks, live " +
         std::to_string(LiveGlobalBlocks()) + "\n";
}
