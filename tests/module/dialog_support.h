// Helpers of the tests that drive the product's parameter dialog and
// about box under a script, as our host's unattended mode does: a real
// owner window, displayPixels drawing into the preview, message boxes
// answered, and a parameter block of known values handed to the module.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/dialog_capture.h"
#include "host/dialog_host.h"
#include "host/dialog_script.h"
#include "host/display.h"
#include "host/session.h"
#include "params/params.h"
#include "tests/module/run_support.h"

// The values in the order of the dialog's sliders 101 to 109, the
// defaults for those not given.
inline FilterParams Values(const std::vector<int32_t> &nine = {}) {
  FilterParams p;
  std::memset(&p, 0, sizeof p);
  SetDefaultParams(&p);
  for (size_t i = 0; i < nine.size(); ++i) (&p.radius)[i] = nine[i];
  return p;
}

inline std::vector<int32_t> NineOf(const FilterParams &p) {
  return std::vector<int32_t>(&p.radius, &p.radius + kParamCount);
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
  std::vector<std::string> failures;         // script problems and host faults
  std::vector<std::string> Events() const {  // message boxes and beeps
    std::vector<std::string> out;
    for (const ScriptEvent &e : script.events) out.push_back(e.what);
    return out;
  }
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

  // The block a host keeps after an accepted run with these values.
  void GiveBlock(const FilterParams &values) {
    ParamBlock block;
    std::memset(&block, 0, sizeof block);
    InitParamBlockHeader(&block);
    CopyParams(&values, &block.params);
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&block);
    std::string error;
    LoadParameterBlock(&session, {bytes, bytes + sizeof block}, &error);
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
