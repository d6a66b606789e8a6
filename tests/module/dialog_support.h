// Helpers of the tests that drive the product's parameter dialog and
// about box under a script, as our host's unattended mode does: a real
// owner window, displayPixels drawing into the preview, message boxes
// answered, and a parameter block of known values handed to the module.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/dialog_capture.h"
#include "host/dialog_script.h"
#include "host/display.h"
#include "host/session.h"
#include "params/params.h"
#include "tests/module/run_support.h"

inline FilterParams DefaultValues() {
  FilterParams p;
  std::memset(&p, 0, sizeof p);
  SetDefaultParams(&p);
  return p;
}

// The values in the order of the dialog's sliders 101 to 109.
inline FilterParams Values(const std::vector<int32_t> &nine) {
  FilterParams p = DefaultValues();
  for (int32_t i = 0; i < kParamCount && i < int32_t(nine.size()); ++i)
    (&p.radius)[i] = nine[size_t(i)];
  return p;
}

inline std::vector<int32_t> NineOf(const FilterParams &p) {
  return std::vector<int32_t>(&p.radius, &p.radius + kParamCount);
}

// The block a host keeps after an accepted run with these values.
inline std::vector<uint8_t> DialogBlock(const FilterParams &values) {
  ParamBlock block;
  std::memset(&block, 0, sizeof block);
  block.signature = kBlockSignature;
  block.kind = kBlockKind;
  block.version = kBlockVersion;
  block.creator = kBlockCreator;
  CopyParams(&values, &block.params);
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&block);
  return std::vector<uint8_t>(bytes, bytes + sizeof block);
}

inline HWND TestOwnerWindow() {
  static HWND owner = [] {
    RegisterHostControls();
    return CreateHostWindow("Tavorin test host", 20, 20, 1000, 700, true);
  }();
  return owner;
}

struct ScriptedRun {
  int16_t result = 0;
  DialogScriptResult script;
  std::vector<std::string> failures;  // script problems and host faults
};

// One document, one session, one module, as a host keeps them between
// the invocations of a person's work.
class DialogHost {
 public:
  explicit DialogHost(const HostImage &document, HostConfig config = {}) {
    const ModuleFile &module = ProductModule();
    library_ = module.library;
    if (!module.entry) return;
    if (!config.hostWindow)
      config.hostWindow = reinterpret_cast<intptr_t>(TestOwnerWindow());
    config.drawPixels = DrawPixelsToDeviceContext;
    InitSession(&session, config, module.entry, document);
    SetSessionPipl(&session, module.pipls[size_t(module.chosen)].info);
    ready_ = true;
  }
  ~DialogHost() {
    if (ready_) EndSession(&session);
  }
  DialogHost(const DialogHost &) = delete;
  DialogHost &operator=(const DialogHost &) = delete;

  bool Ready() const { return ready_; }

  void GiveBlock(const FilterParams &values) {
    std::string error;
    LoadParameterBlock(&session, DialogBlock(values), &error);
  }

  ParamBlock Block() {
    ParamBlock block;
    std::memset(&block, 0, sizeof block);
    std::vector<uint8_t> bytes;
    std::string error;
    if (ReadParameterBlock(&session, &bytes, &error) &&
        bytes.size() == sizeof block)
      std::memcpy(&block, bytes.data(), sizeof block);
    return block;
  }

  // An invocation of kind (kAbout: the about box) with its dialogs worked
  // by script.
  ScriptedRun Run(InvocationKind kind, const std::string &script) {
    ScriptedRun run;
    std::vector<ScriptStep> steps;
    std::string error;
    if (!ready_ || !ParseScript(script, &steps, &error)) {
      run.failures.push_back(ready_ ? error : "the module is not loaded");
      return run;
    }
    BeginDialogCapture(DialogAnswer::kCancel);
    BeginDialogScript(steps, library_, &error);
    run.result = kind == InvocationKind::kAbout ? RunAbout(&session)
                                                : RunInvocation(&session, kind);
    run.script = EndDialogScript();
    EndDialogCapture();
    TakeCapturedDialogs();
    run.failures = run.script.problems;
    for (const std::string &f : SessionFailures(session))
      run.failures.push_back(f);
    session.failures.clear();
    return run;
  }

  HostSession session;

 private:
  void *library_ = nullptr;
  bool ready_ = false;
};

// The events of a run that are message boxes or beeps, in order.
inline std::vector<std::string> Events(const ScriptedRun &run) {
  std::vector<std::string> out;
  for (const ScriptEvent &e : run.script.events) out.push_back(e.what);
  return out;
}

// Where a slider's thumb is drawn in a picture of the dialog: the centre
// of the run of lines across the slider (rows of a vertical one, columns
// of a horizontal one) in which something other than the dialog's face
// spans most of the slider's breadth, as the thumb does and the channel
// does not; in pixels from the slider's top (or left) edge. -1: no thumb.
inline double DrawnThumbCentre(const ScriptShot &shot, const ControlView &c) {
  HostImage image = shot.image;
  const bool vertical = c.height > c.width;
  const int32_t along = vertical ? c.height : c.width;
  const int32_t across = vertical ? c.width : c.height;
  auto pixel = [&](int32_t a, int32_t b) {
    const int32_t x = shot.clientLeft + c.left + (vertical ? b : a);
    const int32_t y = shot.clientTop + c.top + (vertical ? a : b);
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return -1;
    return int(SampleAt(image, x, y, 0)) << 16 |
           int(SampleAt(image, x, y, 1)) << 8 | int(SampleAt(image, x, y, 2));
  };
  // The face: the commonest colour of the slider's first and last lines
  // across, which lie beyond the channel's ends.
  std::vector<int> edge;
  for (int32_t b = 0; b < across; ++b) {
    edge.push_back(pixel(0, b));
    edge.push_back(pixel(along - 1, b));
  }
  int face = edge.empty() ? 0 : edge[0];
  size_t most = 0;
  for (int colour : edge) {
    const size_t n = size_t(std::count(edge.begin(), edge.end(), colour));
    if (n > most) most = n, face = colour;
  }
  int32_t first = -1, last = -1;
  for (int32_t a = 0; a < along; ++a) {
    int32_t lo = across, hi = -1;
    for (int32_t b = 0; b < across; ++b)
      if (pixel(a, b) != face) lo = std::min(lo, b), hi = std::max(hi, b);
    const bool thumb = hi - lo + 1 > across * 3 / 5;
    if (thumb && first < 0) first = a;
    if (thumb && (last == a - 1 || last < 0)) last = a;
  }
  return first < 0 ? -1 : (first + last) / 2.0;
}
