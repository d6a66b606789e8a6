// The face of the plug-in shell: the exported entry, the selector
// handlers and the module-wide state the other layers reach through it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "params/host_records.h"
#include "params/params.h"

extern "C" void ENTRYPOINT(int16_t selector, void *record, intptr_t *data,
                           int16_t *result);

int32_t DoAbout(AboutRecord *record);
int32_t DoParameters(FilterRecord *record);
int32_t DoPrepare(FilterRecord *record);
int32_t DoStart(FilterRecord *record);
int32_t DoContinue(FilterRecord *record);
int32_t DoFinish(FilterRecord *record);

HINSTANCE ModuleInstance();
HWND HostWindow();
bool IsForegroundWindow(HWND window);
bool IsParentForeground(HWND window);
// The window when it lies on some monitor, else null: a box placed over
// a window off every screen would be off the screen too.
HWND OnScreen(HWND window);

// Sets a host rectangle to the empty rectangle (all four coordinates 0).
void EmptyRect(Rect *rect);

// Result codes of the file layer.
enum : int32_t {
  kErrNoFolder = -43,    // no base folder, or a path that does not fit
  kErrNoResource = -192  // a string the module needs is missing
};

// Host memory (host_memory.cpp): handles from the host's handle suite
// when it offers a usable one, else emulated with global memory. The
// choice is made afresh on every call from the record.
bool HostHandleProcsUsable(const FilterRecord *record);
Handle NewHostHandle(const FilterRecord *record, int32_t size);
void DisposeHostHandle(const FilterRecord *record, Handle handle);
char *LockHostHandle(const FilterRecord *record, Handle handle, bool moveHigh);
void UnlockHostHandle(const FilterRecord *record, Handle handle);
// The bytes a handle holds: the suite's getSizeProc, or the size of the
// emulation's data block; 0 for a null handle.
int32_t HostHandleSize(const FilterRecord *record, Handle handle);

// Host and image checks and the message box (host_checks.cpp). Codes are
// string identifiers of resources/resource_ids.h.
int32_t CheckHostEnvironment(const FilterRecord *record);
// The image mode and plane checks alone, without a message.
int32_t CheckImage(const FilterRecord *record);
bool IsOldWindowsNT();
void ShowErrorMessage(int32_t code);
// Whether ShowErrorMessage has run since the flag was cleared: a positive
// result must not reach the host before the user has seen a message.
void ClearMessageShown();
bool MessageShown();
// A failure with a message, in a silent invocation: the message goes to
// the host's errorString for the host to report, and the code says so.
int32_t SilentFailureCode(FilterRecord *record, int32_t code);
int32_t ReportError(const FilterRecord *record, int32_t code);

// Scripting (scripting.cpp). Begin notes, for each selector, whether the
// host plays the step silently: then no window opens, message boxes
// included. PlayBack reads a descriptor the host hands over into the
// current settings and decides the dialog from playInfo; -1 when none
// was read. Record hands the host the current settings.
void BeginScriptedInvocation(const FilterRecord *record);
bool IsSilentInvocation();
int32_t PlayBackDescriptor(FilterRecord *record, bool haveSettings);
void RecordDescriptor(FilterRecord *record);

// The last-used settings file (settings_file.cpp).
int32_t GetSettingsBaseFolder(char *buffer);  // buffer of MAX_PATH bytes
int32_t BuildSettingsFolder(unsigned char *path);
int32_t OpenSettingsFile(HANDLE *file);
int32_t ReadLastUsedSettings(ParamBlock *block);
int32_t WriteLastUsedSettings(const ParamBlock *block);

// The parameter block in the host's parameters handle (param_block.cpp).
int32_t ValidateOrCreateParamBlock(FilterRecord *record);
int32_t CreateParamBlock(FilterRecord *record);
int32_t RevalidateParamBlock(FilterRecord *record);
int32_t LoadParamsFromBlock(FilterRecord *record);
int32_t StoreParamsToBlock(FilterRecord *record);
// The run is over: a block created in it is the host's from now on, and
// its size the host's to tell.
void ForgetOwnParamBlock();
// A new block with the last-used settings (the file's, else the
// defaults) that runs without the dialog, as a repeat does.
int32_t CreateRepeatBlock(FilterRecord *record);

// The filtering run (run.cpp).
int32_t RunTileLoop(FilterRecord *record);
int32_t AllocEngineMemory(FilterRecord *record);
void FreeEngineMemory(FilterRecord *record);

// The dialog phase of a run: 0 when the user confirmed the dialog, 1 when
// the user cancelled it, or a failure code (dialog_phase.cpp).
int32_t RunDialogPhase(FilterRecord *record);
// The host's watch cursor suspended (1) or back (0), where the host has a
// property suite.
void SetWatchSuspension(FilterRecord *record, intptr_t level);
