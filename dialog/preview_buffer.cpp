// The preview's 256 by 256 buffer: a host handle, locked while the
// dialog is open, that magnified and 16-bit tiles are drawn from; and,
// for a host that cannot sample or pad, where reduced tiles are gathered.
#include "dialog/dialog.h"
#include "shell/shell.h"

namespace {

Handle previewHandle = nullptr;
Handle gatherHandle = nullptr;

// A locked host handle of size bytes in *handle; 0 or the failure.
int32_t NewLockedHandle(FilterRecord *record, int32_t size, Handle *handle,
                        char **address) {
  *handle = NewHostHandle(record, size);
  if (!*handle) return kErrNoMemory;
  *address = LockHostHandle(record, *handle, true);
  if (*address) return 0;
  DisposeHostHandle(record, *handle);
  *handle = nullptr;
  return kErrMemLocked;
}

void FreeLockedHandle(FilterRecord *record, Handle *handle) {
  if (*handle) {
    UnlockHostHandle(record, *handle);
    DisposeHostHandle(record, *handle);
  }
  *handle = nullptr;
}

}  // namespace

int32_t AllocPreviewBuffer(FilterRecord *record) {
  SetPreviewOn(true);
  char *address = nullptr;
  int32_t result = NewLockedHandle(record, int32_t(record->planes) * 65536,
                                   &previewHandle, &address);
  if (result != 0) return result;
  InitPreviewPixelMap(record, reinterpret_cast<unsigned char *>(address));
  const int32_t gatherBytes = PreviewGatherBytes(record);
  if (gatherBytes == 0) return 0;
  result = NewLockedHandle(record, gatherBytes, &gatherHandle, &address);
  if (result != 0) return result;
  previewGather = reinterpret_cast<unsigned char *>(address);
  previewGatherBytes = gatherBytes;
  return 0;
}

void FreePreviewBuffer(FilterRecord *record) {
  FreeLockedHandle(record, &previewHandle);
  FreeLockedHandle(record, &gatherHandle);
  previewBuffer = nullptr;
  previewPixelMap.baseAddr = nullptr;
  previewGather = nullptr;
  previewGatherBytes = 0;
}
