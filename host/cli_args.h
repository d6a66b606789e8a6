// The host program's command line, parsed into a session configuration
// and the steps to run. Portable, so that its parsing is tested natively.
#pragma once

#include <string>
#include <vector>

#include "host/session.h"

// What an unattended host does with a dialog that is not a message box
// (a message box always gets its default button).
enum class DialogAnswer { kCancel, kOk };

// The program's host is a scripting one unless told otherwise.
inline HostConfig ScriptingHost() {
  HostConfig config;
  config.scripting = ScriptingMode::kFull;
  return config;
}

struct CliOptions {
  std::string modulePath;
  bool piplOnly = false;
  bool about = false;
  bool run = false;
  bool repeat = false;
  bool unattended = false;
  bool timing = false;
  bool logRequests = false;
  bool interactive = false;  // a person works the dialogs
  std::string scriptPath;    // a script works them (unattended)
  std::string language;      // their user-interface language; empty: ours
  DialogAnswer dialogAnswer = DialogAnswer::kCancel;
  std::string inPath, outPath, saveBlock, loadBlock;
  std::string comparePath; // the document before and after, side by side
  // A descriptor to play back, and the file the last recorded one goes to
  // (text form).
  std::string descriptorIn, descriptorOut;
  int32_t width = 64, height = 48; // the test pattern without --in
  int32_t depth = 0;               // 0: the input's depth
  int32_t planes = 0;              // 0: the input's planes
  PiplWalk piplWalk = PiplWalk::kRounded; // how the property list is read
  HostConfig config = ScriptingHost();
};

// args excludes the program name. False with a message on bad usage.
bool ParseCommandLine(const std::vector<std::string> &args, CliOptions *options,
                      std::string *error);

const char *UsageText();
