// Unattended dialogs driven by a script: while a script runs, the
// dialogs the module opens on this thread (its parameter dialog, its
// about box, the system's open and save dialogs) are worked step by step
// as a person would: typing, dragging thumbs, clicking with Alt or Shift
// held, zooming and dragging the preview, naming files. What the dialog
// shows is recorded, pictures of it are taken, and the message boxes
// and beeps it produces are noted. Message boxes themselves are answered
// by the dialog capture (dialog_capture.h), which must be on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/image.h"
#include "host/script_steps.h"

struct ControlView {
  int32_t id = 0;
  std::string className;
  std::string text;      // UTF-8
  int32_t position = 0;  // trackbars: TBM_GETPOS
  int32_t check = 0;     // buttons: BM_GETCHECK
  bool focused = false;
  bool enabled = true, visible = true;
  int32_t selectionStart = 0, selectionEnd = 0;  // edit boxes
  // Edit boxes: the width of the text in the box's font, and of the
  // box's area for text (inside border and margins).
  int32_t textWidth = 0, textRoom = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;  // in the dialog's client
};

struct DialogView {
  int32_t step = 0;  // index of the step that recorded it
  std::string caption;
  std::vector<ControlView> controls;
  std::string cursor;  // "arrow", "hand", "cross" or "other"
  std::string owner;   // the owner window's caption (UTF-8)
  bool ownerEnabled = true;
  int32_t left = 0, top = 0, width = 0, height = 0;  // on the screen

  const ControlView *Find(int32_t id) const;
  std::string Text(int32_t id) const;  // empty when there is none
  int32_t Position(int32_t id) const;  // -99999 when there is none
  bool Focused(int32_t id) const;
};

struct ScriptEvent {
  int32_t step = -1;  // -1 before the first step
  std::string what;   // "message box \"...\"", "beep 880 100", ...
};

struct ScriptShot {
  int32_t step = 0;
  HostImage image;  // the whole dialog window, frame included
  int32_t clientLeft = 0, clientTop = 0;  // the dialog's client origin in it
  // Where the preview's client area lies in the picture (none: width 0).
  int32_t previewLeft = 0, previewTop = 0, previewWidth = 0, previewHeight = 0;
};

struct DialogScriptResult {
  int32_t stepsDone = 0;
  std::vector<DialogView> views;
  std::vector<ScriptEvent> events;
  std::vector<ScriptShot> shots;
  std::vector<std::string> problems;  // steps that could not be done
};

// Starts the script for the dialogs that the module opens from now on,
// and watches the module's key state and beeps (its imports are
// redirected for the script's length). False when it cannot start.
bool BeginDialogScript(const std::vector<ScriptStep> &steps,
                       void *moduleLibrary, std::string *error);
DialogScriptResult EndDialogScript();

std::string DescribeDialogView(const DialogView &view);
