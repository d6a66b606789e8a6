#include "host/cli_args.h"
#include "host/report.h"

#include "host/script_steps.h"
#include "host/text.h"

namespace {

bool ParseRect(const std::string &text, Rect *rect) {
  long long v[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    size_t comma = text.find(',', start);
    if ((comma == std::string::npos) != (i == 3))
      return false;
    std::string part = text.substr(start, comma - start);
    if (!ParseInt(part, -32768, 32767, &v[i]))
      return false;
    start = comma + 1;
  }
  *rect = Rect{int16_t(v[0]), int16_t(v[1]), int16_t(v[2]), int16_t(v[3])};
  return rect->top < rect->bottom && rect->left < rect->right;
}

// "name" or "name:N"; N defaults to every call.
bool ParseFailAt(const std::string &value, const std::string &name,
                 int32_t *failAt) {
  if (value == name) {
    *failAt = kAlways;
    return true;
  }
  if (value.compare(0, name.size() + 1, name + ":") != 0)
    return false;
  long long n;
  if (!ParseInt(value.substr(name.size() + 1), 1, INT32_MAX, &n))
    return false;
  *failAt = int32_t(n);
  return true;
}

bool ParseHandles(const std::string &value, HostConfig *config) {
  if (value == "on")
    config->handles = HandleSuiteMode::kOn;
  else if (value == "off")
    config->handles = HandleSuiteMode::kOff;
  else if (value == "v2")
    config->handles = HandleSuiteMode::kVersion2;
  else if (value == "five")
    config->handles = HandleSuiteMode::kFiveProcs;
  else if (value == "nogetsize")
    config->handles = HandleSuiteMode::kNoGetSize;
  else if (!ParseFailAt(value, "newfail", &config->newFailAt) &&
           !ParseFailAt(value, "lockfail", &config->lockFailAt))
    return false;
  return true;
}

bool ParseScripting(const std::string &value, ScriptingMode *mode) {
  for (ScriptingMode m : {ScriptingMode::kFull, ScriptingMode::kNone,
                          ScriptingMode::kRecordOnly, ScriptingMode::kNoProcs})
    if (value == ScriptingModeName(m)) {
      *mode = m;
      return true;
    }
  return false;
}

bool ParsePlayInfo(const std::string &value, int16_t *playInfo) {
  for (int16_t p :
       {kPlayDialogDisplay, kPlayDialogDontDisplay, kPlayDialogSilent})
    if (value == PlayInfoName(p)) {
      *playInfo = p;
      return true;
    }
  return false;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string> &args, CliOptions *options,
                      std::string *error) {
  CliOptions &o = *options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    auto value = [&](std::string *out) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    auto number = [&](long long low, long long high, long long *out) {
      std::string text;
      if (!value(&text))
        return false;
      if (!ParseInt(text, low, high, out)) {
        *error = arg + ": expected a number from " + std::to_string(low) +
                 " to " + std::to_string(high) + ", got \"" + text + "\"";
        return false;
      }
      return true;
    };
    std::string text;
    long long n = 0;
    if (arg == "--pipl") {
      o.piplOnly = true;
    } else if (arg == "--about") {
      o.about = true;
    } else if (arg == "--run") {
      o.run = true;
    } else if (arg == "--repeat") {
      o.repeat = true;
    } else if (arg == "--unattended") {
      o.unattended = true;
    } else if (arg == "--interactive") {
      o.interactive = true;
    } else if (arg == "--script") {
      if (!value(&text))
        return false;
      o.scriptPath = MapUnixPath(text);
      o.unattended = true;
    } else if (arg == "--language") {
      if (!value(&o.language))
        return false;
    } else if (arg == "--timing") {
      o.timing = true;
    } else if (arg == "--log-requests") {
      o.logRequests = true;
    } else if (arg == "--column-bytes-zero") {
      o.config.columnBytesZero = true;
    } else if (arg == "--null-parameters") {
      o.config.nullParameters = true;
    } else if (arg == "--no-property-suite") {
      o.config.propertySuite = false;
    } else if (arg == "--no-advance-state") {
      o.config.noAdvanceState = true;
    } else if (arg == "--in" || arg == "--out" || arg == "--save-block" ||
               arg == "--load-block" || arg == "--compare" ||
               arg == "--descriptor-in" || arg == "--descriptor-out") {
      if (!value(&text))
        return false;
      std::string path = MapUnixPath(text);
      (arg == "--in"               ? o.inPath
       : arg == "--out"            ? o.outPath
       : arg == "--compare"        ? o.comparePath
       : arg == "--save-block"     ? o.saveBlock
       : arg == "--descriptor-in"  ? o.descriptorIn
       : arg == "--descriptor-out" ? o.descriptorOut
                                   : o.loadBlock) = path;
    } else if (arg == "--scripting") {
      if (!value(&text))
        return false;
      if (!ParseScripting(text, &o.config.scripting)) {
        *error = "--scripting: full, none, record-only or no-procs, got \"" +
                 text + "\"";
        return false;
      }
    } else if (arg == "--play-info") {
      if (!value(&text))
        return false;
      if (!ParsePlayInfo(text, &o.config.playInfo)) {
        *error = "--play-info: display, dont-display or silent, got \"" +
                 text + "\"";
        return false;
      }
    } else if (arg == "--size") {
      if (!value(&text))
        return false;
      size_t x = text.find('x');
      long long w, h;
      if (x == std::string::npos ||
          !ParseInt(text.substr(0, x), 1, 30000, &w) ||
          !ParseInt(text.substr(x + 1), 1, 30000, &h)) {
        *error = "--size: expected WIDTHxHEIGHT, got \"" + text + "\"";
        return false;
      }
      o.width = int32_t(w);
      o.height = int32_t(h);
    } else if (arg == "--depth") {
      if (!number(8, 16, &n))
        return false;
      if (n != 8 && n != 16) {
        *error = "--depth: 8 or 16";
        return false;
      }
      o.depth = int32_t(n);
    } else if (arg == "--planes") {
      if (!number(1, 16, &n))
        return false;
      o.planes = int32_t(n);
    } else if (arg == "--mode") {
      if (!number(0, 32767, &n))
        return false;
      o.config.imageMode = int16_t(n);
    } else if (arg == "--host-sig") {
      if (!value(&text))
        return false;
      if (!ParseFourCC(text, &o.config.hostSig)) {
        *error = "--host-sig: four characters, got \"" + text + "\"";
        return false;
      }
    } else if (arg == "--rect") {
      if (!value(&text))
        return false;
      if (!ParseRect(text, &o.config.filterRect)) {
        *error = "--rect: expected top,left,bottom,right of a non-empty "
                 "rectangle, got \"" +
                 text + "\"";
        return false;
      }
      o.config.hasFilterRect = true;
    } else if (arg == "--handles") {
      if (!value(&text))
        return false;
      if (!ParseHandles(text, &o.config)) {
        *error = "--handles: on, off, v2, five, nogetsize, newfail[:N] or "
                 "lockfail[:N], got \"" +
                 text + "\"";
        return false;
      }
    } else if (arg == "--abort-at") {
      if (!number(1, INT32_MAX, &n))
        return false;
      o.config.abortAt = int32_t(n);
    } else if (arg == "--advance-fail-at") {
      if (!value(&text))
        return false;
      size_t colon = text.find(':');
      long long at, code = kErrNoMemory;
      if (!ParseInt(text.substr(0, colon), 1, INT32_MAX, &at) ||
          (colon != std::string::npos &&
           (!ParseInt(text.substr(colon + 1), -32768, 32767, &code) ||
            code == 0))) {
        *error = "--advance-fail-at: N or N:CODE (CODE non-zero), got \"" +
                 text + "\"";
        return false;
      }
      o.config.advanceFailAt = int32_t(at);
      o.config.advanceFailCode = OSErr(code);
    } else if (arg == "--padding") {
      if (!value(&text))
        return false;
      if (text == "replicate") {
        o.config.requests = RequestBehaviour::kConforming;
      } else if (text == "clip") {
        o.config.requests = RequestBehaviour::kClipLikeOpenHost;
      } else {
        *error = "--padding: replicate or clip, got \"" + text + "\"";
        return false;
      }
    } else if (arg == "--imitate") {
      if (!value(&text))
        return false;
      if (text == "open-host") {
        // Its walk through the property list too.
        ImitateOpenHost(&o.config);
        o.piplWalk = PiplWalk::kLoose;
      } else if (text == "gimp") {
        ImitateGimpBridge(&o.config);
      } else {
        *error = "--imitate: open-host or gimp, got \"" + text + "\"";
        return false;
      }
    } else if (arg == "--row-pad") {
      if (!number(0, 4096, &n))
        return false;
      o.config.rowPad = int32_t(n);
    } else if (arg == "--dialog") {
      if (!value(&text))
        return false;
      if (text == "ok") {
        o.dialogAnswer = DialogAnswer::kOk;
      } else if (text == "cancel") {
        o.dialogAnswer = DialogAnswer::kCancel;
      } else {
        *error = "--dialog: ok or cancel, got \"" + text + "\"";
        return false;
      }
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      *error = "unknown option " + arg;
      return false;
    } else if (o.modulePath.empty()) {
      o.modulePath = MapUnixPath(arg);
    } else {
      *error = "more than one module given: " + arg;
      return false;
    }
  }
  if (o.modulePath.empty()) {
    *error = "no module given";
    return false;
  }
  if (!o.about && !o.run && !o.repeat)
    o.piplOnly = true;
  return true;
}

const char *UsageText() {
  static const std::string text =
      std::string("usage: tavorin-host MODULE.8bf [options]\n"
         "  steps (none: --pipl)\n"
         "    --pipl               print the property list only\n"
         "    --about              call about\n"
         "    --run                invoke from the menu: parameters, "
         "prepare, start, finish\n"
         "    --repeat             then repeat the last filter: prepare, "
         "start, finish\n"
         "  document\n"
         "    --in FILE            PNG or TIFF, 8 or 16 bits, gray or RGB, "
         "with alpha or not;\n"
         "                         gray sets the mode Grayscale or Gray16 "
         "(default: a test pattern)\n"
         "    --size WxH           size of the test pattern (64x48)\n"
         "    --out FILE           write the document after the steps\n"
         "    --compare FILE       write the document before and after, side "
         "by side\n"
         "    --depth 8|16  --planes N  --mode N  --rect t,l,b,r\n"
         "  host\n"
         "    --host-sig XXXX      host signature (8BIM)\n"
         "    --handles MODE       on|off|v2|five|nogetsize|newfail[:N]|"
         "lockfail[:N]\n"
         "    --abort-at N         abortProc answers 1 from its N-th call\n"
         "    --advance-fail-at N[:CODE]\n"
         "    --padding replicate|clip   conforming requests, or like an "
         "open-source host\n"
         "    --imitate open-host  signature spHO, requests clipped, a "
         "floor-sized reduced\n"
         "                         copy, handle sizes 0, the property list "
         "walked without\n"
         "                         rounding lengths up\n"
         "    --imitate gimp       signature GIMP, no padding, no sampling, "
         "no image at\n"
         "                         parameters, 64 x 64 tiles, no owner window "
         "(--repeat\n"
         "                         alone: a scripted start)\n"
         "    --column-bytes-zero  --null-parameters  --no-property-suite  "
         "--row-pad N\n"
         "    --no-advance-state   hand the module no advanceState\n"
         "    --save-block FILE  --load-block FILE\n"
         "    --scripting MODE     full (record and play back), none, "
         "record-only, no-procs\n"
         "                         (the record without procedure tables)\n"
         "    --descriptor-in FILE play back this descriptor (\"KEY TYPE "
         "VALUE\" lines)\n"
         "    --descriptor-out FILE  write the last recorded descriptor\n"
         "    --play-info display|dont-display|silent   (default: display "
         "from the\n"
         "                         menu, dont-display on a repeat with a "
         "descriptor)\n"
         "    --unattended         record and dismiss message boxes and "
         "dialogs\n"
         "    --dialog ok|cancel   answer to other dialogs when unattended "
         "(cancel)\n"
         "    --interactive        a main window; a person works the dialogs\n"
         "    --language LOCALE    the dialogs' user-interface language "
         "(en-US, zh-CN, ...)\n"
         "    --script FILE        a script works the dialogs, unattended; "
         "its lines:\n") +
      ScriptSyntax() +
      std::string(
         "    --timing  --log-requests\n"
         "Paths starting with / are taken as Z:\\...\n");
  return text.c_str();
}
