#include "host/script_steps.h"

#include <sstream>

#include "host/text.h"

namespace {

bool Number(const std::string &word, int32_t *out) {
  long long v;
  if (!ParseInt(word, -1000000, 1000000, &v)) return false;
  *out = int32_t(v);
  return true;
}

bool KeyWords(const std::vector<std::string> &words, size_t from,
              ScriptStep *step) {
  for (size_t i = from; i < words.size(); ++i) {
    if (words[i] == "alt")
      step->alt = true;
    else if (words[i] == "shift")
      step->shift = true;
    else
      return false;
  }
  return true;
}

// One line into a step; false when it does not parse.
bool ParseLine(const std::string &line, ScriptStep *step) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string word; in >> word;) w.push_back(word);
  const std::string &verb = w[0];
  const size_t n = w.size();
  if (verb == "ok" || verb == "cancel") {
    step->kind = StepKind::kClick;
    step->id = verb == "ok" ? 1 : 2;
    return n == 1;
  }
  if (verb == "type") {
    step->kind = StepKind::kType;
    if (n < 2 || !Number(w[1], &step->id)) return false;
    // The text is the rest of the line after the id, as written.
    size_t at = line.find(w[1]) + w[1].size();
    if (at < line.size() && line[at] == ' ') ++at;
    step->text = at < line.size() ? line.substr(at) : "";
    return true;
  }
  if (verb == "drag") {
    step->kind = StepKind::kDrag;
    return n == 3 && Number(w[1], &step->id) && Number(w[2], &step->value);
  }
  if (verb == "click") {
    step->kind = StepKind::kClick;
    return n >= 2 && Number(w[1], &step->id) && KeyWords(w, 2, step);
  }
  if (verb == "keys") {
    step->kind = StepKind::kKeys;
    return KeyWords(w, 1, step);
  }
  if (verb == "press") {
    step->kind = StepKind::kPress;
    if (n != 2) return false;
    // Virtual-key codes.
    const struct {
      const char *name;
      int32_t key;
    } keys[] = {{"return", 13}, {"escape", 27}, {"left", 37},
                {"up", 38},     {"right", 39},  {"down", 40}};
    for (const auto &k : keys)
      if (w[1] == k.name) step->id = k.key;
    return step->id != 0;
  }
  if (verb == "zoom") {
    step->kind = StepKind::kZoom;
    if (n != 2) return false;
    if (w[1] == "in")
      step->value = 1;
    else if (w[1] == "out")
      step->value = -1;
    else if (w[1] == "label")
      step->value = 0;
    else
      return false;
    return true;
  }
  if (verb == "pan") {
    step->kind = StepKind::kPan;
    if (n != 3 && n != 5) return false;
    step->at = n == 5;
    return Number(w[1], &step->dx) && Number(w[2], &step->dy) &&
           (n == 3 || (Number(w[3], &step->x) && Number(w[4], &step->y)));
  }
  if (verb == "hover" || verb == "release" || verb == "hold") {
    step->kind = verb == "hover"     ? StepKind::kHover
                 : verb == "release" ? StepKind::kRelease
                                     : StepKind::kHold;
    return n == 3 && Number(w[1], &step->x) && Number(w[2], &step->y);
  }
  if (verb == "wheel") {
    step->kind = StepKind::kWheel;
    return n == 4 && Number(w[1], &step->value) && Number(w[2], &step->x) &&
           Number(w[3], &step->y);
  }
  if (verb == "choose") {
    step->kind = StepKind::kChoose;
    if (n < 2) return false;
    step->text = line.substr(line.find(w[1]));
    while (!step->text.empty() && step->text.back() == ' ')
      step->text.pop_back();
    return true;
  }
  if (verb == "choose-cancel") {
    step->kind = StepKind::kChooseCancel;
    return n == 1;
  }
  if (verb == "show") {
    step->kind = StepKind::kShow;
    return n == 1;
  }
  if (verb == "shot") {
    step->kind = StepKind::kShot;
    if (n > 2) return false;
    if (n == 2) step->text = w[1];
    return true;
  }
  if (verb == "wait") {
    step->kind = StepKind::kWait;
    return n == 2 && Number(w[1], &step->value) && step->value >= 0;
  }
  return false;
}

}  // namespace

bool ParseScript(const std::string &text, std::vector<ScriptStep> *steps,
                 std::string *error) {
  std::istringstream in(text);
  std::string line;
  int32_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    ScriptStep step;
    step.line = number;
    if (!ParseLine(line.substr(first), &step)) {
      *error = "script line " + std::to_string(number) + ": cannot read \"" +
               line + "\"";
      return false;
    }
    steps->push_back(step);
  }
  return true;
}

const char *ScriptSyntax() {
  return "  type ID TEXT       select an edit box's text and type TEXT\n"
         "  drag ID VALUE      drag a slider's thumb to VALUE (the radius\n"
         "                     slider's: its position along it, 0 to 1000)\n"
         "  click ID [alt] [shift]   click a control with the keys held\n"
         "  ok | cancel        click 1 or 2\n"
         "  keys [alt] [shift] hold the keys (none: release them)\n"
         "  press return|escape|left|right|up|down   a key to the focus\n"
         "  zoom in|out|label\n"
         "  pan DX DY [X Y]    drag the preview from X,Y (its centre)\n"
         "  hover X Y          the pointer over the preview at X,Y\n"
         "  release X Y        the left button comes up there\n"
         "  hold X Y           the left button goes down there and stays down;\n"
         "                     until release X Y only show, shot, wait, hover\n"
         "                     and pan (the pointer moves, the button held)\n"
         "  wheel N X Y        N notches of the mouse wheel over the preview\n"
         "                     at X,Y (N > 0 away from the user)\n"
         "  choose PATH | choose-cancel   in the open or save dialog\n"
         "  show               print what the dialog shows\n"
         "  shot [PATH]        a PNG picture of the dialog\n"
         "  wait MS\n";
}
