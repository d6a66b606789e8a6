// The exported entry, the selector dispatch and the module-wide state
// that lives between the host's calls.
#include "shell/shell.h"

namespace {

HINSTANCE moduleInstance = nullptr;
const PlatformData *hostPlatformData = nullptr;

typedef int32_t (*SelectorHandler)(void *record);

int32_t AboutHandler(void *r) { return DoAbout(static_cast<AboutRecord *>(r)); }
int32_t ParametersHandler(void *r) {
  return DoParameters(static_cast<FilterRecord *>(r));
}
int32_t PrepareHandler(void *r) {
  return DoPrepare(static_cast<FilterRecord *>(r));
}
int32_t StartHandler(void *r) { return DoStart(static_cast<FilterRecord *>(r)); }
int32_t ContinueHandler(void *r) {
  return DoContinue(static_cast<FilterRecord *>(r));
}
int32_t FinishHandler(void *r) {
  return DoFinish(static_cast<FilterRecord *>(r));
}

const SelectorHandler kSelectorHandlers[] = {
    AboutHandler, ParametersHandler, PrepareHandler,
    StartHandler, ContinueHandler,   FinishHandler,
};
constexpr int16_t kSelectorCount =
    int16_t(sizeof kSelectorHandlers / sizeof kSelectorHandlers[0]);

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) moduleInstance = instance;
  return TRUE;
}

extern "C" void ENTRYPOINT(int16_t selector, void *record, intptr_t *data,
                           int16_t *result) {
  (void)data;  // the module keeps its state in static storage
  // Nothing to work on: refused like an unknown selector, not a crash.
  if (selector < 0 || selector >= kSelectorCount || !record) {
    if (result) *result = int16_t(kErrFilterBadParameters);
    return;
  }
  FilterRecord *filter = selector != kSelectorAbout
                             ? static_cast<FilterRecord *>(record)
                             : nullptr;
  if (filter) {
    hostPlatformData = static_cast<const PlatformData *>(filter->platformData);
    // Hosts older than 16-bit support leave depth 0: that means 8 bits.
    if (filter->depth == 0) filter->depth = 8;
  }
  ClearMessageShown();
  BeginScriptedInvocation(filter);
  int32_t code = kSelectorHandlers[selector](record);
  // A positive result tells the host that the user has been told why:
  // one that has shown nothing yet shows its message now. A cancelled
  // dialog or an aborted run (1 from start or continue) was the user's.
  // In a silent step nothing may be shown: the host gets the message to
  // report instead.
  const bool usersOwn = code == 1 && (selector == kSelectorStart ||
                                      selector == kSelectorContinue);
  if (code > 0 && IsSilentInvocation())
    code = SilentFailureCode(filter, code);
  else if (code > 0 && !usersOwn && !MessageShown())
    ShowErrorMessage(code);
  if (result) *result = int16_t(code);
}

int32_t DoPrepare(FilterRecord *record) {
  record->bufferSpace = 0;  // the run allocates its own working memory
  return 0;
}

int32_t DoFinish(FilterRecord *record) {
  EmptyRect(&record->inRect);
  EmptyRect(&record->outRect);
  return 0;
}

void EmptyRect(Rect *rect) { rect->top = rect->left = rect->bottom = rect->right = 0; }

HINSTANCE ModuleInstance() { return moduleInstance; }

HWND HostWindow() {
  return hostPlatformData ? reinterpret_cast<HWND>(hostPlatformData->hwnd)
                          : nullptr;
}

bool IsForegroundWindow(HWND window) {
  return window != nullptr && GetForegroundWindow() == window;
}

HWND OnScreen(HWND window) {
  return window && MonitorFromWindow(window, MONITOR_DEFAULTTONULL) ? window
                                                                    : nullptr;
}

bool IsParentForeground(HWND window) {
  return window != nullptr && IsForegroundWindow(GetParent(window));
}
