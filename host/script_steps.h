// The actions of an unattended dialog session, as a script names them
// one per line (see ScriptSyntax), and their parsing. Portable, so that
// the parsing is tested natively; host/dialog_script.cpp performs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class StepKind {
  kType,          // type ID TEXT: select the box's text and type over it
  kDrag,          // drag ID VALUE: drag a slider's thumb to a value (a
                  // position on the radius slider's square-law travel)
  kClick,         // click ID [alt] [shift]: click a control, keys held
  kKeys,          // keys [alt] [shift]: hold (or, without words, release)
  kPress,         // press KEY: return, escape or an arrow to the focus
  kZoom,          // zoom in|out|label: the zoom buttons or the label
  kPan,           // pan DX DY [X Y]: drag the preview image from X, Y
  kHover,         // hover X Y: move the pointer over the preview
  kRelease,       // release X Y: the left button comes up over the preview
  kHold,          // hold X Y: the left button goes down there and stays
  kWheel,         // wheel N X Y: N notches of the wheel (up: in) at X,Y
  kChoose,        // choose PATH: name a file in the open or save dialog
  kChooseCancel,  // choose-cancel: cancel the open or save dialog
  kShow,          // show: record what the dialog shows
  kShot,          // shot [PATH]: a picture of the dialog (PNG)
  kWait,          // wait MS: let the dialog run
};

struct ScriptStep {
  StepKind kind = StepKind::kShow;
  int32_t id = 0;     // control id, slider value's slider, virtual key
  int32_t value = 0;  // slider value, zoom request (-1, 1, 0 label), ms,
                      // wheel notches
  int32_t x = 0, y = 0, dx = 0, dy = 0;
  bool at = false;  // pan: x and y given (else from the view's centre)
  bool alt = false, shift = false;
  std::string text;  // typed text, file path, picture path
  int32_t line = 0;  // in the script, for reports
};

// "ok" and "cancel" are click 1 and click 2. Blank lines and lines
// starting with # are skipped. False with a message naming the line.
bool ParseScript(const std::string &text, std::vector<ScriptStep> *steps,
                 std::string *error);

const char *ScriptSyntax();
