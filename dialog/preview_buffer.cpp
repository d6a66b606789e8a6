// The preview's 256 by 256 buffer: a host handle, locked while the
// dialog is open, that magnified and 16-bit tiles are drawn from.
#include "dialog/dialog.h"
#include "shell/shell.h"

namespace {

Handle previewHandle = nullptr;

}  // namespace

int32_t AllocPreviewBuffer(FilterRecord *record) {
  SetPreviewOn(true);
  previewHandle = NewHostHandle(record, int32_t(record->planes) * 65536);
  if (!previewHandle) return kErrNoMemory;
  char *address = LockHostHandle(record, previewHandle, true);
  if (!address) {
    DisposeHostHandle(record, previewHandle);
    previewHandle = nullptr;
    return kErrMemLocked;
  }
  InitPreviewPixelMap(record, reinterpret_cast<unsigned char *>(address));
  return 0;
}

void FreePreviewBuffer(FilterRecord *record) {
  if (previewHandle) {
    UnlockHostHandle(record, previewHandle);
    DisposeHostHandle(record, previewHandle);
  }
  previewHandle = nullptr;
  previewBuffer = nullptr;
  previewPixelMap.baseAddr = nullptr;
}
