// Unattended hosts must not wait for a person: while capture is on, every
// dialog the module opens on this thread is recorded (caption, and the
// text of a message box) and dismissed. A message box gets its default
// button; any other dialog gets OK or Cancel as asked. A dialog that
// ignores the button is ended after a few seconds, and that is recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/cli_args.h"

struct CapturedDialog {
  bool messageBox = false;
  std::string caption;
  std::string text;    // a message box's message; empty for other dialogs
  int32_t button = 0;  // the command sent to it
  bool forced = false; // it did not close on the command
  intptr_t window = 0; // the dialog's window while it was open
};

struct HWND__;

// A dialog for which claim answers true is left to whoever claimed it
// (a dialog script); null: every dialog is answered.
void SetDialogCaptureClaim(bool (*claim)(struct HWND__ *dialog));

// Installs the hooks on the calling thread; false when the system refuses.
bool BeginDialogCapture(DialogAnswer answer);
void EndDialogCapture();

// The dialogs recorded since the last call, oldest first.
std::vector<CapturedDialog> TakeCapturedDialogs();

std::string DescribeCapturedDialog(const CapturedDialog &dialog);

// A window's text in UTF-8, so that every language reads as it shows.
std::string WindowTextUtf8(struct HWND__ *window);

std::string WindowClassName(struct HWND__ *window);
