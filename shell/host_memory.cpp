// Host handles. A host that offers a usable handle suite keeps the
// module's memory; without one the module emulates a handle with global
// memory: a movable block holding the address of a fixed data block,
// whose address is its handle too, so locking it yields the address.
#include <climits>

#include "shell/shell.h"

namespace {

// The movable block holds a whole pointer, so that the emulation is the
// same in 32- and 64-bit modules.
constexpr SIZE_T kMasterBytes = sizeof(void *);

HGLOBAL AsGlobal(Handle handle) { return reinterpret_cast<HGLOBAL>(handle); }

Handle NewEmulatedHandle(int32_t size) {
  if (size < 0) return nullptr;
  HGLOBAL master = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kMasterBytes);
  if (!master) return nullptr;
  HGLOBAL data = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, SIZE_T(size));
  void **slot = data ? static_cast<void **>(GlobalLock(master)) : nullptr;
  if (!slot) {
    if (data) GlobalFree(data);
    GlobalFree(master);
    return nullptr;
  }
  *slot = data;
  GlobalUnlock(master);
  return reinterpret_cast<Handle>(master);
}

void DisposeEmulatedHandle(Handle handle) {
  void **slot = static_cast<void **>(GlobalLock(AsGlobal(handle)));
  if (slot) {
    if (*slot) GlobalFree(*slot);
    GlobalUnlock(AsGlobal(handle));
  }
  GlobalFree(AsGlobal(handle));
}

char *LockEmulatedHandle(Handle handle) {
  void **slot = static_cast<void **>(GlobalLock(AsGlobal(handle)));
  if (!slot) return nullptr;
  char *address = *slot ? static_cast<char *>(GlobalLock(*slot)) : nullptr;
  GlobalUnlock(AsGlobal(handle));
  return address;
}

int32_t EmulatedHandleSize(Handle handle) {
  void **slot = static_cast<void **>(GlobalLock(AsGlobal(handle)));
  if (!slot) return 0;
  const SIZE_T size = *slot ? GlobalSize(*slot) : 0;
  GlobalUnlock(AsGlobal(handle));
  return size > SIZE_T(INT32_MAX) ? INT32_MAX : int32_t(size);
}

void UnlockEmulatedHandle(Handle handle) {
  void **slot = static_cast<void **>(GlobalLock(AsGlobal(handle)));
  if (!slot) return;
  if (*slot) GlobalUnlock(*slot);
  GlobalUnlock(AsGlobal(handle));
}

}  // namespace

bool HostHandleProcsUsable(const FilterRecord *record) {
  if (!record || !record->handleProcs) return false;
  const HandleProcs &procs = *record->handleProcs;
  return procs.handleProcsVersion == 1 && procs.numHandleProcs >= 6 &&
         procs.newProc && procs.disposeProc && procs.getSizeProc &&
         procs.setSizeProc && procs.lockProc && procs.unlockProc;
}

Handle NewHostHandle(const FilterRecord *record, int32_t size) {
  if (size == 0) size = 1;
  if (HostHandleProcsUsable(record)) return record->handleProcs->newProc(size);
  return NewEmulatedHandle(size);
}

void DisposeHostHandle(const FilterRecord *record, Handle handle) {
  if (!handle) return;
  if (HostHandleProcsUsable(record))
    record->handleProcs->disposeProc(handle);
  else
    DisposeEmulatedHandle(handle);
}

char *LockHostHandle(const FilterRecord *record, Handle handle, bool moveHigh) {
  if (!handle) return nullptr;
  if (HostHandleProcsUsable(record))
    return record->handleProcs->lockProc(handle, moveHigh ? 1 : 0);
  return LockEmulatedHandle(handle);
}

void UnlockHostHandle(const FilterRecord *record, Handle handle) {
  if (!handle) return;
  if (HostHandleProcsUsable(record))
    record->handleProcs->unlockProc(handle);
  else
    UnlockEmulatedHandle(handle);
}

int32_t HostHandleSize(const FilterRecord *record, Handle handle) {
  if (!handle) return 0;
  if (HostHandleProcsUsable(record))
    return record->handleProcs->getSizeProc(handle);
  return EmulatedHandleSize(handle);
}
