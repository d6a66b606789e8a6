// A host session: one document, one module entry, and everything a host
// hands the module and keeps between its calls (the filter record, the
// callback suites, the parameters handle, the plug-in data slot). It
// drives the selectors in the order a host uses and records every call
// and callback, and flags what a careful host would find wrong.
//
// Portable: the entry is a function pointer, so native tests drive an
// entry compiled into the test itself; the Windows layer supplies one
// from a loaded module and adds its window and drawing hooks.
//
// The callbacks carry no context, so they reach the session through one
// module-wide pointer: one session at a time, on one thread, as in a host.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "host/descriptors.h"
#include "host/handle_book.h"
#include "host/image.h"
#include "host/pipl.h"
#include "host/tile_server.h"
#include "params/host_records.h"

// What a host offers of scripting.
enum class ScriptingMode {
  kFull,       // both procedure tables; records and plays back
  kNone,       // no descriptor record at all
  kRecordOnly, // both tables, but never a descriptor to play back
  kNoProcs,    // the record without procedure tables, as some hosts do
};

enum class HandleSuiteMode {
  kOn,        // version 1, eight procedures
  kOff,       // handleProcs null
  kVersion2,  // handleProcsVersion 2
  kFiveProcs, // numHandleProcs 5
  kNoGetSize, // getSizeProc null
};

// Result codes of the property suite.
enum : int16_t {
  kErrHostInsufficient = -30900,
  kErrPropertyUndefined = -30901,
};

constexpr PIType kPropertyWatchSuspension = FourCC('w', 't', 'c', 'h');

// The host's drawing of displayPixels, after the session has checked and
// recorded the call; null draws nothing.
typedef OSErr (*DrawPixelsHook)(const PSPixelMap *source, const VRect *srcRect,
                                int32_t dstRow, int32_t dstCol,
                                void *platformContext);

struct HostConfig {
  OSType hostSig = kHostSig8BIM;
  int16_t imageMode = -1; // -1: from the document's planes and depth
  bool hasFilterRect = false;
  Rect filterRect{0, 0, 0, 0}; // a selection; default the whole image
  HandleSuiteMode handles = HandleSuiteMode::kOn;
  bool sizesUnknown = false; // getSizeProc answers 0 for every handle
  int32_t newFailAt = 0;  // 0 never, N the N-th newProc, kAlways every one
  int32_t lockFailAt = 0; // likewise for lockProc
  int newHandleFill = 0xA5;
  int32_t abortAt = 0; // abortProc answers 1 from its N-th call on
  int32_t advanceFailAt = 0;
  OSErr advanceFailCode = kErrNoMemory;
  int32_t shortInputAt = 0; // the N-th request gets a column less
  bool noAdvanceState = false; // advanceState null, as in very old hosts
  // The module's own global memory (Windows, see global_book.h): the
  // N-th GlobalAlloc fails; 0 never, kAlways every one.
  int32_t globalAllocFailAt = 0;
  RequestBehaviour requests = RequestBehaviour::kConforming;
  int32_t rowPad = 0;
  bool columnBytesZero = false; // leaves the column and plane bytes 0
  bool nullParameters = false;  // hands parameters null on every run
  bool propertySuite = true;
  int32_t maxSpace = 256 << 20;
  int32_t recordSize = 4096; // larger than the part any module reads
  int32_t maxContinues = 100000;
  intptr_t hostWindow = 0; // PlatformData.hwnd
  bool ownerWindow = true;  // false: hwnd 0 whatever window the host has
  // None unless asked, so that a run follows the block alone; the host
  // program asks for full.
  ScriptingMode scripting = ScriptingMode::kNone;
  // playInfo; -1: display from the menu, don't display on a repeat with
  // a descriptor to play (as a host repeats a filter).
  int16_t playInfo = -1;
  DrawPixelsHook drawPixels = nullptr;
  // false: imageMode and planes are 0 at the parameters call, the image
  // described only from prepare on.
  bool imageAtParameters = true;
  int16_t tileSize = 256; // the tile sizes the record suggests
};

// Our host imitating the hosts the module meets in the field. The
// open-source host engine: signature 'spHO', requests clipped at the
// image's edges, a floor-sized reduced copy, a size of 0 for every handle.
void ImitateOpenHost(HostConfig *config);
// GIMP's bridge: signature "GIMP", no padding, no sampling, the image
// not yet described at the parameters call, 64 x 64 tiles, no window.
void ImitateGimpBridge(HostConfig *config);

enum class InvocationKind { kFromMenu, kRepeat, kAbout, kManual };

struct SelectorCall {
  int16_t selector = 0;
  int16_t result = 0;
  int64_t microseconds = 0;
  std::string errorString; // what the module left in errorString
};

struct ProgressCall {
  int32_t done = 0;
  int32_t total = 0;
};

struct PropertyCall {
  bool set = false;
  PIType signature = 0;
  PIType key = 0;
  int32_t index = 0;
  intptr_t value = 0;
  OSErr result = 0;
};

struct DisplayCall {
  VRect bounds{0, 0, 0, 0};
  VRect srcRect{0, 0, 0, 0};
  int32_t dstRow = 0, dstCol = 0;
  int32_t imageMode = 0, rowBytes = 0, colBytes = 0, planeBytes = 0;
  intptr_t context = 0;
  uint32_t checksum = 0; // of the displayed pixels, to compare runs
  OSErr result = 0;
};

constexpr size_t kMaxCallLog = 100000;

struct InvocationRecord {
  InvocationKind kind = InvocationKind::kManual;
  std::vector<SelectorCall> calls;
  int32_t abortCalls = 0;
  bool abortAnswered = false;
  std::vector<ProgressCall> progress;
  int32_t advanceCalls = 0; // by the module
  int64_t advanceMicroseconds = 0; // inside them: the host's own copying
  // The module's time on each tile, from the advanceState that delivered
  // it to the next call, per output pixel: a busy machine preempts only
  // some tiles, so the median stays near the unhurried time.
  std::vector<double> tileNanosecondsPerPixel;
  // The host's own time in each advanceState that served a tile, per
  // pixel of that tile, for the same reason.
  std::vector<double> copyNanosecondsPerPixel;
  std::chrono::steady_clock::time_point tileDelivered;
  int64_t tilePixels = 0; // of the tile delivered last; 0 before the first
  int32_t continueCalls = 0;
  bool committed = false; // the document took the result
  bool descriptorHanded = false;
  int16_t playInfo = 0;
  bool recorded = false; // the module handed back a descriptor
  int16_t recordInfo = 0;
  Descriptor record;
};

struct HostSession {
  HostConfig config;
  PluginEntryProc entry = nullptr;
  HostImage document;    // what the user sees; a finished run replaces it
  HostImage destination; // what the running invocation writes
  PiplInfo pipl;         // filter case information, when known
  bool hasPipl = false;

  std::vector<uint64_t> recordStorage; // the record, zeroed, oversized
  FilterRecord *record = nullptr;
  AboutRecord about{};
  PlatformData platform{};
  HandleProcs handleProcs{};
  PropertyProcs propertyProcs{};
  unsigned char errorString[256] = {};
  PIDescriptorParameters descriptorParameters{};

  HandleBook handles;
  DescriptorSuite descriptors;
  bool hasPlayback = false;
  Descriptor playback; // what the next invocation plays back
  Handle handedDescriptor = nullptr;
  TileServer tiles;
  Handle parameters = nullptr; // kept between invocations
  intptr_t pluginData = 0;     // the entry's data slot
  intptr_t watchSuspension = 0;
  bool inCall = false;

  std::vector<InvocationRecord> invocations;
  std::vector<PropertyCall> properties;
  std::vector<DisplayCall> displays;
  std::vector<std::string> failures; // besides the handle book's
  std::vector<std::string> notes;    // observations that are no fault

  // Further checks at the end of each invocation (the Windows layer's
  // global memory book); they add to failures.
  void (*afterInvocation)(HostSession *session) = nullptr;

  HostSession() = default;
  HostSession(const HostSession &) = delete;
  HostSession &operator=(const HostSession &) = delete;
  ~HostSession();
};

void InitSession(HostSession *session, const HostConfig &config,
                 PluginEntryProc entry, const HostImage &document);

// The module's property list: its filter case information decides whether
// the destination starts as a copy of the source.
void SetSessionPipl(HostSession *session, const PiplInfo &pipl);

int16_t SessionImageMode(const HostSession &session);
Rect SessionFilterRect(const HostSession &session);
int16_t SessionFilterCase(const HostSession &session);

// The steps of an invocation, for tests that drive selectors one by one.
// Begin builds a fresh record; End writes back pending output, keeps the
// parameters handle, checks the handle accounts and, with commit, makes
// the destination the document.
void BeginInvocation(HostSession *session, InvocationKind kind);
int16_t CallSelector(HostSession *session, int16_t selector);
void EndInvocation(HostSession *session, bool commit);

// A whole invocation in a host's order: from the menu parameters,
// prepare, start, continue while a request is pending, finish; a repeat
// skips parameters. A failing selector ends it (finish follows a
// successful start even when continue fails). Returns the first non-zero
// result, or 0.
int16_t RunInvocation(HostSession *session, InvocationKind kind);
// The selectors of RunInvocation alone, between BeginInvocation and
// EndInvocation, for callers that look at the destination in between.
int16_t DriveSelectors(HostSession *session, InvocationKind kind);

int16_t RunAbout(HostSession *session);

// The host disposes of the parameters handle it kept.
void EndSession(HostSession *session);

// Hands the module a stored parameter block as if kept from a run, with
// no recorded step to play back.
bool LoadParameterBlock(HostSession *session, const std::vector<uint8_t> &bytes,
                        std::string *error);
bool ReadParameterBlock(HostSession *session, std::vector<uint8_t> *bytes,
                        std::string *error);

// The descriptor the next invocations play back, as if recorded before
// (a scripting host with playback only).
void SetPlaybackDescriptor(HostSession *session, const Descriptor &descriptor);

// Every fault found so far: the handle book's and the session's.
std::vector<std::string> SessionFailures(const HostSession &session);

const char *SelectorName(int16_t selector);
