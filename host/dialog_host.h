// The console program's dialog modes: interactive, where a person works
// the module's dialogs on the screen, and scripted, where a script of
// actions works them unattended and what they show is printed.
#pragma once

#include <cstdio>
#include <string>

#include "host/cli_args.h"

// What the dialogs need from the host in either mode: the common
// controls, a main window to own them, displayPixels drawing into the
// window. Does nothing for runs without a dialog mode.
void SetUpDialogHost(const CliOptions &options, HostConfig *config);

// Starts the script of options (if any) for the module; false with a
// message when it cannot be read.
bool StartDialogScript(const CliOptions &options, void *moduleLibrary,
                       std::string *error);
// Prints what the script recorded since it started and ends it.
void FinishDialogScript(FILE *out);

// The user-interface language of this thread, in which the module's
// dialogs pick their resources: a locale name ("en-US", "zh-CN",
// "de-DE"), or empty for the process's own. False for an unknown name.
bool SetDialogLanguage(const std::string &locale);
