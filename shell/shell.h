// The face of the plug-in shell: the exported entry, the selector
// handlers and the module-wide state the other layers reach through it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "params/host_records.h"

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

// Sets a host rectangle to the empty rectangle (all four coordinates 0).
void EmptyRect(Rect *rect);
