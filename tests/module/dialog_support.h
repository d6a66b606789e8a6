// Helpers of the tests that drive the product's parameter dialog and
// about box under a script, as our host's unattended mode does: a real
// owner window, displayPixels drawing into the preview, message boxes
// answered, and a parameter block of known values handed to the module.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/dialog_capture.h"
#include "host/dialog_script.h"
#include "host/display.h"
#include "host/session.h"
#include "params/params.h"
#include "tests/module/product_module.h"

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

inline std::string SettingsFilePath() {
  char base[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, base);
  return std::string(base) + "\\lattimerworkshops\\PS Filters\\Tavorin";
}

inline std::vector<uint8_t> ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                              std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string &path,
                       const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            std::streamsize(bytes.size()));
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
