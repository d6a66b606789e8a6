#include "host/report.h"

#include <algorithm>
#include <cstdio>

#include "host/text.h"

namespace {

const char *KindName(InvocationKind kind) {
  switch (kind) {
  case InvocationKind::kFromMenu:
    return "from menu";
  case InvocationKind::kRepeat:
    return "repeat";
  case InvocationKind::kAbout:
    return "about";
  default:
    return "manual";
  }
}

const char *HandleModeName(HandleSuiteMode mode) {
  switch (mode) {
  case HandleSuiteMode::kOn:
    return "on";
  case HandleSuiteMode::kOff:
    return "off";
  case HandleSuiteMode::kVersion2:
    return "v2";
  case HandleSuiteMode::kFiveProcs:
    return "five";
  default:
    return "nogetsize";
  }
}

std::string FailAtText(int32_t at) {
  return at == kAlways ? "every call" : "call " + std::to_string(at);
}

std::string Milliseconds(int64_t microseconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f ms", double(microseconds) / 1000);
  return buffer;
}

std::string FixedText(Fixed v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4f", double(v) / 65536.0);
  return buffer;
}

// "what: median X ns per pixel (N tiles)", or nothing without tiles.
std::string MedianPerPixel(const char *what, std::vector<double> perPixel) {
  if (perPixel.empty())
    return std::string();
  std::nth_element(perPixel.begin(), perPixel.begin() + perPixel.size() / 2,
                   perPixel.end());
  char text[96];
  std::snprintf(text, sizeof text, "%s: median %.3f ns per pixel (%zu tiles)\n",
                what, perPixel[perPixel.size() / 2], perPixel.size());
  return text;
}

const char *RecordInfoName(int16_t recordInfo) {
  switch (recordInfo) {
  case kRecordDialogOptional:
    return "dialog optional";
  case kRecordDialogRequired:
    return "dialog required";
  case kRecordDialogNone:
    return "no dialog";
  default:
    return "unknown";
  }
}

} // namespace

const char *ScriptingModeName(ScriptingMode mode) {
  switch (mode) {
  case ScriptingMode::kFull:
    return "full";
  case ScriptingMode::kNone:
    return "none";
  case ScriptingMode::kRecordOnly:
    return "record-only";
  default:
    return "no-procs";
  }
}

const char *PlayInfoName(int16_t playInfo) {
  switch (playInfo) {
  case kPlayDialogDontDisplay:
    return "dont-display";
  case kPlayDialogDisplay:
    return "display";
  case kPlayDialogSilent:
    return "silent";
  default:
    return "unknown";
  }
}

std::string RectText(const Rect &r) {
  return std::to_string(r.top) + "," + std::to_string(r.left) + "," +
         std::to_string(r.bottom) + "," + std::to_string(r.right);
}

std::string DescribeHostSetup(const HostSession &s) {
  const HostConfig &c = s.config;
  int16_t mode = SessionImageMode(s);
  std::string out = "host: signature " + FourCCText(c.hostSig) + ", mode " +
                    std::to_string(mode) + " (" + ImageModeName(mode) +
                    "), planes " + std::to_string(s.document.planes) +
                    ", depth " + std::to_string(s.document.depth) + ", image " +
                    std::to_string(s.document.width) + "x" +
                    std::to_string(s.document.height) + ", filterRect " +
                    RectText(SessionFilterRect(s)) + ", filter case " +
                    std::to_string(SessionFilterCase(s)) + "\n";
  out += std::string("host: handles ") + HandleModeName(c.handles);
  if (c.newFailAt)
    out += ", newProc fails at " + FailAtText(c.newFailAt);
  if (c.lockFailAt)
    out += ", lockProc fails at " + FailAtText(c.lockFailAt);
  if (c.sizesUnknown)
    out += ", getSizeProc answers 0";
  out += c.requests == RequestBehaviour::kConforming ? ", requests conforming"
         : c.requests == RequestBehaviour::kGimpBridge
             ? ", requests served like GIMP's bridge (no padding, no sampling)"
             : ", requests clipped like an open-source host";
  if (!c.imageAtParameters)
    out += ", no image at the parameters call";
  if (!c.ownerWindow)
    out += ", no owner window";
  if (c.tileSize != 256)
    out += ", tiles of " + std::to_string(c.tileSize);
  if (c.columnBytesZero)
    out += ", column bytes 0";
  if (c.nullParameters)
    out += ", parameters null on every run";
  if (!c.propertySuite)
    out += ", no property suite";
  if (c.abortAt)
    out += ", abort from call " + std::to_string(c.abortAt);
  if (c.advanceFailAt)
    out += ", advanceState fails at call " + std::to_string(c.advanceFailAt) +
           " with " + std::to_string(c.advanceFailCode);
  out += std::string(", scripting ") + ScriptingModeName(c.scripting);
  if (c.playInfo >= 0)
    out += std::string(", playInfo ") + PlayInfoName(c.playInfo);
  if (s.hasPipl && !PiplSupportsMode(s.pipl, mode))
    out += "\nnote: the property list does not list mode " +
           std::to_string(mode) + "; a host would not offer the filter";
  return out + "\n";
}

std::string DescribeInvocation(const HostSession &s, size_t index, bool timing,
                               bool logRequests) {
  const InvocationRecord &inv = s.invocations.at(index);
  std::string out = "invocation " + std::to_string(index + 1) + ": " +
                    KindName(inv.kind) + "\n";
  for (const SelectorCall &call : inv.calls) {
    out += std::string("selector ") + SelectorName(call.selector) + ": " +
           std::to_string(call.result);
    if (timing)
      out += " (" + Milliseconds(call.microseconds) + ")";
    out += "\n";
    if (!call.errorString.empty())
      out += "errorString: \"" + EscapeText(call.errorString) + "\"\n";
  }
  if (inv.kind == InvocationKind::kAbout)
    return out;
  out += "advanceState: " + std::to_string(inv.advanceCalls) + " calls";
  if (timing)
    out += " (" + Milliseconds(inv.advanceMicroseconds) + ")";
  out += "\n";
  if (timing) {
    out += MedianPerPixel("module per tile", inv.tileNanosecondsPerPixel);
    out += MedianPerPixel("host per tile", inv.copyNanosecondsPerPixel);
  }
  if (inv.continueCalls)
    out += "continue: " + std::to_string(inv.continueCalls) + " calls\n";
  out += "abortProc: " + std::to_string(inv.abortCalls) + " calls" +
         (inv.abortAnswered ? ", answered abort" : "") + "\n";
  out += "progressProc: " + std::to_string(inv.progress.size()) + " calls";
  if (!inv.progress.empty())
    out += ", last " + std::to_string(inv.progress.back().done) + "/" +
           std::to_string(inv.progress.back().total);
  out += "\n";
  out += std::string("document: ") + (inv.committed ? "changed" : "unchanged") +
         "\n";
  if (s.config.scripting != ScriptingMode::kNone &&
      s.config.scripting != ScriptingMode::kNoProcs) {
    out += std::string("descriptor: ") +
           (inv.descriptorHanded ? "played back" : "none handed") +
           ", playInfo " + PlayInfoName(inv.playInfo) + "\n";
    if (inv.recorded) {
      out += "descriptor: recorded " + std::to_string(inv.record.items.size()) +
             " keys, recordInfo " + RecordInfoName(inv.recordInfo) + "\n";
      for (const DescriptorItem &item : inv.record.items)
        out += "  " + DescribeDescriptorItem(item) + "\n";
    } else {
      out += "descriptor: none recorded\n";
    }
  }
  if (logRequests && index + 1 == s.invocations.size()) {
    for (const AdvanceCall &a : s.tiles.log) {
      out += std::string(a.fromModule ? "request" : "host request") + ": in " +
             RectText(a.inRect) + " planes " + std::to_string(a.inLoPlane) +
             "-" + std::to_string(a.inHiPlane) + " rate " +
             FixedText(a.inputRate) + " padding " +
             std::to_string(a.inputPadding) + ", out " + RectText(a.outRect) +
             " planes " + std::to_string(a.outLoPlane) + "-" +
             std::to_string(a.outHiPlane) + " padding " +
             std::to_string(a.outputPadding) + ": " + std::to_string(a.result) +
             "\n";
    }
  }
  return out;
}

std::string DescribeHandles(const HostSession &s) {
  const HandleCounts &c = s.handles.counts;
  std::string out =
      "handles: " + std::to_string(c.news) + " new (" +
      std::to_string(c.newFailures) + " failed), " +
      std::to_string(c.disposes) + " disposed, " + std::to_string(c.locks) +
      " locks (" + std::to_string(c.lockFailures) + " failed), " +
      std::to_string(c.unlocks) + " unlocks, " + std::to_string(c.getSizes) +
      " get size, " + std::to_string(c.setSizes) + " set size, live " +
      std::to_string(LiveHandleCount(s.handles)) + "\n";
  out += "parameters: ";
  if (s.parameters == nullptr)
    out += "none";
  else if (BookOwns(s.handles, s.parameters))
    out += "host handle of " +
           std::to_string(s.handles.entries.at(s.parameters).size) + " bytes";
  else
    out += "a handle the host did not make";
  return out + "\n";
}

std::string DescribeCallbacks(const HostSession &s) {
  std::string out;
  for (const PropertyCall &p : s.properties)
    out += std::string("property ") + (p.set ? "set" : "get") + " '" +
           FourCCText(p.signature) + "' '" + FourCCText(p.key) + "' " +
           std::to_string(p.index) + " = " + std::to_string(p.value) + ": " +
           std::to_string(p.result) + "\n";
  if (!s.displays.empty()) {
    int32_t failed = 0;
    for (const DisplayCall &d : s.displays)
      failed += d.result != 0 ? 1 : 0;
    out += "displayPixels: " + std::to_string(s.displays.size()) + " calls, " +
           std::to_string(failed) + " refused\n";
  }
  for (const std::string &note : s.notes)
    out += "note: " + note + "\n";
  return out;
}

std::string DescribeFailures(const HostSession &s) {
  std::string out;
  for (const std::string &f : SessionFailures(s))
    out += "failure: " + f + "\n";
  return out;
}
