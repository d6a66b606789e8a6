// The dialog phase of a run: the preview's buffer, the host's watch
// cursor suspended while the modal dialog runs, and the buffer released
// again whatever the dialog's outcome.
#include "dialog/dialog.h"
#include "resources/resource_ids.h"
#include "shell/shell.h"

namespace {

constexpr PIType kWatchSuspension = FourCC('w', 't', 'c', 'h');
constexpr int32_t kNoDisplayPixels = 1200;

}  // namespace

void SetWatchSuspension(FilterRecord *record, intptr_t level) {
  const PropertyProcs *procs = record->propertyProcs;
  if (!procs || !procs->setPropertyProc) return;
  procs->setPropertyProc(record->hostSig, kWatchSuspension, 0, level, nullptr);
}

int32_t RunDialogPhase(FilterRecord *record) {
  if (!record->displayPixels) return kNoDisplayPixels;
  const int32_t result = AllocPreviewBuffer(record);
  int32_t dialogResult = 0;
  if (result == 0) {
    SetWatchSuspension(record, 1);
    dialogResult = RunParamDialog(record, kParamCount, IDC_FIRST_SLIDER,
                                  IDC_FIRST_EDIT, 0);
    SetWatchSuspension(record, 0);
  }
  FreePreviewBuffer(record);
  return result != 0 ? result : dialogResult;
}
