// The module's part in the host's scripting: at start, the settings a
// recorded step carries are played back and the host's playInfo decides
// whether the dialog opens; after a run that filtered, the settings in
// force are recorded for the host to keep.
#include "params/script_settings.h"
#include "shell/shell.h"

namespace {

// Whether the invocation in progress may show nothing at all.
bool silentInvocation = false;

}  // namespace

void BeginScriptedInvocation(const FilterRecord *record) {
  const PIDescriptorParameters *p = record ? UsableScripting(record) : nullptr;
  silentInvocation = p && p->playInfo == kPlayDialogSilent;
}

bool IsSilentInvocation() { return silentInvocation; }

int32_t PlayBackDescriptor(FilterRecord *record, bool haveSettings) {
  PIDescriptorParameters *p = UsableScripting(record);
  if (!p) return -1;
  if (p->playInfo == kPlayDialogSilent) SetShowDialog(0);
  if (!p->descriptor) return -1;
  const int32_t taken =
      ReadScriptSettings(p->readDescriptorProcs, p->descriptor, &currentParams);
  // Read, the descriptor is the module's to dispose; without the host's
  // handle suite it stays the host's.
  if (taken >= 0 && HostHandleProcsUsable(record)) {
    DisposeHostHandle(record, p->descriptor);
    p->descriptor = nullptr;
  }
  // With a descriptor, playInfo alone decides, whatever the parameters
  // selector asked; the dialog opens unasked only when nothing at all
  // supplied the settings.
  if (p->playInfo == kPlayDialogDisplay)
    SetShowDialog(1);
  else if (p->playInfo == kPlayDialogDontDisplay)
    SetShowDialog(taken <= 0 && !haveSettings ? 1 : 0);
  return taken;
}

void RecordDescriptor(FilterRecord *record) {
  PIDescriptorParameters *p = UsableScripting(record);
  if (!p) return;
  if (p->descriptor) {
    // A descriptor the module cannot dispose is left as it is.
    if (!HostHandleProcsUsable(record)) return;
    DisposeHostHandle(record, p->descriptor);
    p->descriptor = nullptr;
  }
  Handle descriptor = nullptr;
  if (WriteScriptSettings(p->writeDescriptorProcs, &currentParams,
                          &descriptor) != 0)
    return;
  p->descriptor = descriptor;
  p->recordInfo = kRecordDialogOptional;
}
