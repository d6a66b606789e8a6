#include "host/dialog_host.h"

#include <fstream>
#include <iterator>

#include "host/dialog_script.h"
#include "host/display.h"

bool SetDialogLanguage(const std::string &locale) {
  LCID lcid = GetUserDefaultLCID();
  if (!locale.empty()) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = L"";
    if (!MultiByteToWideChar(CP_UTF8, 0, locale.c_str(), -1, name,
                             LOCALE_NAME_MAX_LENGTH))
      return false;
    lcid = LocaleNameToLCID(name, 0);
    if (lcid == 0) return false;
  }
  // Windows picks resources by the thread's user-interface language, Wine
  // by the thread's locale: both are set.
  SetThreadUILanguage(locale.empty() ? 0 : LANGIDFROMLCID(lcid));
  return SetThreadLocale(lcid) != FALSE;
}

void SetUpDialogHost(const CliOptions &o, HostConfig *config) {
  if (!o.interactive && o.scriptPath.empty()) return;
  RegisterHostControls();
  HWND window = CreateHostWindow("Tavorin host", 40, 40, 1100, 760, true);
  config->hostWindow = reinterpret_cast<intptr_t>(window);
  config->drawPixels = DrawPixelsToDeviceContext;
}

bool StartDialogScript(const CliOptions &o, void *moduleLibrary,
                       std::string *error) {
  if (o.scriptPath.empty()) return true;
  std::ifstream in(o.scriptPath, std::ios::binary);
  if (!in) {
    *error = "cannot read the script " + o.scriptPath;
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)),
                         std::istreambuf_iterator<char>());
  std::vector<ScriptStep> steps;
  return ParseScript(text, &steps, error) &&
         BeginDialogScript(steps, moduleLibrary, error);
}

void FinishDialogScript(FILE *out) {
  const DialogScriptResult r = EndDialogScript();
  size_t view = 0, event = 0, shot = 0;
  // In the order the steps recorded them.
  for (int32_t step = -1; step < r.stepsDone; ++step) {
    for (; event < r.events.size() && r.events[event].step == step; ++event)
      std::fprintf(out, "script: step %d: %s\n", step + 1,
                   r.events[event].what.c_str());
    for (; view < r.views.size() && r.views[view].step == step; ++view)
      std::fprintf(out, "script: step %d: %s", step + 1,
                   DescribeDialogView(r.views[view]).c_str());
    for (; shot < r.shots.size() && r.shots[shot].step == step; ++shot)
      std::fprintf(out, "script: step %d: picture of %dx%d pixels\n", step + 1,
                   r.shots[shot].image.width, r.shots[shot].image.height);
  }
  for (const std::string &p : r.problems)
    std::fprintf(out, "script: problem: %s\n", p.c_str());
  std::fprintf(out, "script: %d step(s) done\n", r.stepsDone);
  std::fflush(out);
}
