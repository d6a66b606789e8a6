#include "host/session.h"

#include <chrono>
#include <cstring>

namespace {

// The session the callbacks serve; see the header.
HostSession *g_session = nullptr;

InvocationRecord *Current(HostSession *s) {
  if (s->invocations.empty())
    s->invocations.push_back(InvocationRecord());
  return &s->invocations.back();
}

// A callback reached outside a selector call uses a record the module
// was no longer lent.
HostSession *Serving(const char *callback) {
  HostSession *s = g_session;
  if (s && !s->inCall)
    s->failures.push_back(std::string(callback) +
                          " called outside a selector call");
  return s;
}

Boolean TestAbort() {
  HostSession *s = Serving("abortProc");
  if (!s)
    return 0;
  InvocationRecord *inv = Current(s);
  ++inv->abortCalls;
  if (s->config.abortAt > 0 && inv->abortCalls >= s->config.abortAt) {
    inv->abortAnswered = true;
    return 1;
  }
  return 0;
}

void UpdateProgress(int32_t done, int32_t total) {
  HostSession *s = Serving("progressProc");
  if (!s)
    return;
  InvocationRecord *inv = Current(s);
  if (inv->progress.size() < kMaxCallLog)
    inv->progress.push_back(ProgressCall{done, total});
}

OSErr AdvanceState() {
  HostSession *s = Serving("advanceState");
  if (!s || !s->record)
    return kErrParam;
  InvocationRecord *inv = Current(s);
  ++inv->advanceCalls;
  auto start = std::chrono::steady_clock::now();
  if (inv->tilePixels > 0 &&
      inv->tileNanosecondsPerPixel.size() < kMaxCallLog) {
    const std::chrono::duration<double, std::nano> spent =
        start - inv->tileDelivered;
    inv->tileNanosecondsPerPixel.push_back(spent.count() / inv->tilePixels);
  }
  OSErr result = AdvanceTiles(&s->tiles, s->record, s->document,
                              &s->destination, SessionFilterRect(*s), true);
  inv->tileDelivered = std::chrono::steady_clock::now();
  inv->advanceMicroseconds +=
      std::chrono::duration_cast<std::chrono::microseconds>(
          inv->tileDelivered - start)
          .count();
  const Rect &out = s->record->outRect;
  inv->tilePixels = result == 0 ? int64_t(out.bottom - out.top) *
                                      int64_t(out.right - out.left)
                                : 0;
  if (inv->tilePixels > 0 &&
      inv->copyNanosecondsPerPixel.size() < kMaxCallLog) {
    const std::chrono::duration<double, std::nano> spent =
        inv->tileDelivered - start;
    inv->copyNanosecondsPerPixel.push_back(spent.count() / inv->tilePixels);
  }
  return result;
}

Handle NewHandleProc(int32_t size) {
  HostSession *s = Serving("newProc");
  return s ? BookNewHandle(&s->handles, size) : nullptr;
}

void DisposeHandleProc(Handle h) {
  if (HostSession *s = Serving("disposeProc"))
    BookDisposeHandle(&s->handles, h);
}

int32_t GetHandleSizeProc(Handle h) {
  HostSession *s = Serving("getSizeProc");
  return s && !s->config.sizesUnknown ? BookGetSize(&s->handles, h) : 0;
}

OSErr SetHandleSizeProc(Handle h, int32_t size) {
  HostSession *s = Serving("setSizeProc");
  return s ? BookSetSize(&s->handles, h, size) : OSErr(kErrNilHandle);
}

char *LockHandleProc(Handle h, Boolean) {
  HostSession *s = Serving("lockProc");
  return s ? BookLockHandle(&s->handles, h) : nullptr;
}

void UnlockHandleProc(Handle h) {
  if (HostSession *s = Serving("unlockProc"))
    BookUnlockHandle(&s->handles, h);
}

void RecoverSpaceProc(int32_t) {
  if (HostSession *s = Serving("recoverSpaceProc"))
    ++s->handles.counts.recoverSpaces;
}

// Regular handles are the platform's; ours are disposed like any other.
void DisposeRegularProc(Handle h) {
  HostSession *s = Serving("disposeRegularHandleProc");
  if (!s)
    return;
  ++s->handles.counts.disposeRegulars;
  if (BookOwns(s->handles, h))
    BookDisposeHandle(&s->handles, h);
}

bool KnownSignature(const HostSession &s, PIType signature) {
  return signature == kHostSig8BIM || signature == s.config.hostSig;
}

OSErr GetPropertyProc(PIType signature, PIType key, int32_t index,
                      intptr_t *simple, Handle *complex) {
  HostSession *s = Serving("getPropertyProc");
  if (!s)
    return kErrHostInsufficient;
  PropertyCall call{false, signature, key, index, 0, 0};
  if (!KnownSignature(*s, signature)) {
    call.result = kErrHostInsufficient;
  } else if (key == kPropertyWatchSuspension) {
    call.value = s->watchSuspension;
    if (simple)
      *simple = s->watchSuspension;
  } else {
    call.result = kErrPropertyUndefined;
  }
  if (complex)
    *complex = nullptr;
  if (s->properties.size() < kMaxCallLog)
    s->properties.push_back(call);
  return call.result;
}

OSErr SetPropertyProc(PIType signature, PIType key, int32_t index,
                      intptr_t simple, Handle) {
  HostSession *s = Serving("setPropertyProc");
  if (!s)
    return kErrHostInsufficient;
  PropertyCall call{true, signature, key, index, simple, 0};
  if (!KnownSignature(*s, signature))
    call.result = kErrHostInsufficient;
  else if (key == kPropertyWatchSuspension)
    s->watchSuspension = simple;
  else
    call.result = kErrPropertyUndefined;
  if (s->properties.size() < kMaxCallLog)
    s->properties.push_back(call);
  return call.result;
}

int32_t DisplayPlanes(int32_t imageMode) {
  switch (imageMode) {
  case kModeRGB:
  case kModeLab:
    return 3;
  case kModeCMYK:
    return 4;
  default:
    return 1;
  }
}

bool VRectInside(const VRect &inner, const VRect &outer) {
  return inner.top >= outer.top && inner.left >= outer.left &&
         inner.bottom <= outer.bottom && inner.right <= outer.right &&
         inner.top <= inner.bottom && inner.left <= inner.right;
}

// Checks the map as a host that reads every displayed pixel must, and
// reads them (a checksum, so tests can compare what was shown).
OSErr DisplayPixels(const PSPixelMap *source, const VRect *srcRect,
                    int32_t dstRow, int32_t dstCol, void *context) {
  HostSession *s = Serving("displayPixels");
  if (!s)
    return kErrParam;
  DisplayCall call;
  call.dstRow = dstRow;
  call.dstCol = dstCol;
  call.context = reinterpret_cast<intptr_t>(context);
  if (source == nullptr || srcRect == nullptr) {
    call.result = kErrParam;
  } else {
    call.bounds = source->bounds;
    call.srcRect = *srcRect;
    call.imageMode = source->imageMode;
    call.rowBytes = source->rowBytes;
    call.colBytes = source->colBytes;
    call.planeBytes = source->planeBytes;
    int32_t planes = DisplayPlanes(source->imageMode);
    if (source->version < 1 || source->baseAddr == nullptr ||
        source->colBytes <= 0 || source->planeBytes < 0 ||
        source->rowBytes <= 0 || !VRectInside(*srcRect, source->bounds)) {
      call.result = kErrParam;
    } else {
      const uint8_t *base = static_cast<const uint8_t *>(source->baseAddr);
      uint32_t hash = 2166136261u;
      for (int32_t r = srcRect->top; r < srcRect->bottom; ++r) {
        const uint8_t *row =
            base + intptr_t(r - source->bounds.top) * source->rowBytes;
        for (int32_t c = srcRect->left; c < srcRect->right; ++c) {
          const uint8_t *pixel =
              row + intptr_t(c - source->bounds.left) * source->colBytes;
          for (int32_t p = 0; p < planes; ++p)
            hash = (hash ^ pixel[p * source->planeBytes]) * 16777619u;
        }
      }
      call.checksum = hash;
      if (s->config.drawPixels)
        call.result =
            s->config.drawPixels(source, srcRect, dstRow, dstCol, context);
    }
  }
  if (s->displays.size() < kMaxCallLog)
    s->displays.push_back(call);
  return call.result;
}

bool SameRect(const Rect &a, const Rect &b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom &&
         a.right == b.right;
}

Fixed ToFixed(double v) { return Fixed(v * 65536.0 + 0.5); }

void SetupSuites(HostSession *s) {
  HandleProcs &h = s->handleProcs;
  h = HandleProcs{};
  h.handleProcsVersion = 1;
  h.numHandleProcs = 8;
  h.newProc = NewHandleProc;
  h.disposeProc = DisposeHandleProc;
  h.getSizeProc = GetHandleSizeProc;
  h.setSizeProc = SetHandleSizeProc;
  h.lockProc = LockHandleProc;
  h.unlockProc = UnlockHandleProc;
  h.recoverSpaceProc = RecoverSpaceProc;
  h.disposeRegularHandleProc = DisposeRegularProc;
  switch (s->config.handles) {
  case HandleSuiteMode::kVersion2:
    h.handleProcsVersion = 2;
    break;
  case HandleSuiteMode::kFiveProcs:
    // The pointers stay filled: only a module that reads the count
    // notices that unlockProc is not part of the suite.
    h.numHandleProcs = 5;
    break;
  case HandleSuiteMode::kNoGetSize:
    h.getSizeProc = nullptr;
    break;
  default:
    break;
  }
  s->propertyProcs.propertyProcsVersion = 1;
  s->propertyProcs.numPropertyProcs = 2;
  s->propertyProcs.getPropertyProc = GetPropertyProc;
  s->propertyProcs.setPropertyProc = SetPropertyProc;
}

// Where the host keeps no copy of the source, the destination holds
// whatever was there: a checker of extremes, so unwritten pixels show.
void FillUnwritten(HostImage *image, const Rect &area) {
  uint16_t max = MaxSample(image->depth);
  for (int32_t y = area.top; y < area.bottom; ++y)
    for (int32_t x = area.left; x < area.right; ++x)
      for (int32_t p = 0; p < image->planes; ++p)
        SampleAt(*image, x, y, p) = (x + y) % 2 ? max : 0;
}

// The scripting record as the configured host fills it.
void SetUpScripting(HostSession *s, InvocationKind kind) {
  PIDescriptorParameters &p = s->descriptorParameters;
  p = PIDescriptorParameters{};
  s->handedDescriptor = nullptr;
  const ScriptingMode mode = s->config.scripting;
  if (mode == ScriptingMode::kNone || mode == ScriptingMode::kNoProcs)
    return;
  p.readDescriptorProcs = &s->descriptors.readProcs;
  p.writeDescriptorProcs = &s->descriptors.writeProcs;
  const bool play = mode == ScriptingMode::kFull && s->hasPlayback;
  p.playInfo = play && kind == InvocationKind::kRepeat
                   ? int16_t(kPlayDialogDontDisplay)
                   : int16_t(kPlayDialogDisplay);
  if (s->config.playInfo >= 0)
    p.playInfo = s->config.playInfo;
  p.recordInfo = kRecordDialogOptional;
  if (play)
    s->handedDescriptor = p.descriptor =
        NewDescriptorHandle(&s->handles, s->playback);
  InvocationRecord *inv = Current(s);
  inv->descriptorHanded = p.descriptor != nullptr;
  inv->playInfo = p.playInfo;
}

// Takes back what the module left in the descriptor field: a recording,
// or the descriptor handed to it when the module left it to the host.
void CollectDescriptor(HostSession *s, InvocationRecord *inv) {
  PIDescriptorParameters &p = s->descriptorParameters;
  CheckDescriptorsAfterInvocation(&s->descriptors);
  Handle h = p.descriptor;
  p.descriptor = nullptr;
  if (h == nullptr)
    return;
  if (h != s->handedDescriptor) {
    if (!ReadDescriptorHandle(s->handles, h, &inv->record)) {
      s->failures.push_back("descriptor holds a handle the host never made");
      return;
    }
    inv->recorded = true;
    inv->recordInfo = p.recordInfo;
    if (s->config.scripting == ScriptingMode::kFull) {
      s->playback = inv->record;
      s->hasPlayback = true;
    }
  }
  BookDisposeHandle(&s->handles, h, false);
}

void BuildRecord(HostSession *s) {
  const HostConfig &c = s->config;
  size_t words = (size_t(c.recordSize) + 7) / 8;
  if (words * 8 < sizeof(FilterRecord))
    words = (sizeof(FilterRecord) + 7) / 8;
  s->recordStorage.assign(words, 0);
  FilterRecord *r = reinterpret_cast<FilterRecord *>(s->recordStorage.data());
  s->record = r;
  const HostImage &d = s->document;

  r->serialNumber = 0;
  r->abortProc = TestAbort;
  r->progressProc = UpdateProgress;
  r->parameters = c.nullParameters ? nullptr : s->parameters;
  r->imageSize.v = int16_t(d.height);
  r->imageSize.h = int16_t(d.width);
  r->planes = int16_t(d.planes);
  r->filterRect = SessionFilterRect(*s);
  r->background = PSRGBColor{0xFFFF, 0xFFFF, 0xFFFF};
  r->foreground = PSRGBColor{0, 0, 0};
  r->maxSpace = c.maxSpace;
  r->bufferSpace = 0;
  std::memset(r->backColor, 0xFF, sizeof r->backColor);
  std::memset(r->foreColor, 0, sizeof r->foreColor);
  r->hostSig = c.hostSig;
  r->hostProc = nullptr;
  r->imageMode = SessionImageMode(*s);
  r->imageHRes = 72 << 16;
  r->imageVRes = 72 << 16;
  r->wholeSize = r->imageSize;
  // sRGB primaries and white point, gamma 2.2.
  r->monitor = PlugInMonitor{ToFixed(2.2),    ToFixed(0.64),
                             ToFixed(0.33),   ToFixed(0.30),
                             ToFixed(0.60),   ToFixed(0.15),
                             ToFixed(0.06),   ToFixed(0.3127),
                             ToFixed(0.3290), 0};
  s->platform.hwnd = c.ownerWindow ? c.hostWindow : 0;
  r->platformData = &s->platform;
  r->displayPixels = DisplayPixels;
  r->handleProcs =
      c.handles == HandleSuiteMode::kOff ? nullptr : &s->handleProcs;
  r->filterCase = SessionFilterCase(*s);
  r->dummyPlaneValue = -1;
  r->advanceState = c.noAdvanceState ? nullptr : AdvanceState;
  r->supportsPadding = c.requests == RequestBehaviour::kConforming ? 1 : 0;
  // Integral sampling; GIMP's bridge has none.
  r->samplingSupport = c.requests == RequestBehaviour::kGimpBridge ? 0 : 1;
  r->inputRate = 0x10000;
  r->maskRate = 0x10000;
  r->inNonLayerPlanes = r->outNonLayerPlanes = r->absNonLayerPlanes =
      int16_t(d.planes);
  r->propertyProcs = c.propertySuite ? &s->propertyProcs : nullptr;
  r->inTileHeight = r->inTileWidth = c.tileSize;
  r->outTileHeight = r->outTileWidth = c.tileSize;
  r->absTileHeight = r->absTileWidth = c.tileSize;
  std::memset(s->errorString, 0, sizeof s->errorString);
  r->errorString = s->errorString;
  r->descriptorParameters = s->config.scripting == ScriptingMode::kNone
                                ? nullptr
                                : &s->descriptorParameters;
  r->depth = d.depth;
}

std::string PString(const unsigned char *p) {
  return std::string(reinterpret_cast<const char *>(p + 1), p[0]);
}

} // namespace

HostSession::~HostSession() {
  if (g_session == this) {
    g_session = nullptr;
    ServeDescriptorSuite(nullptr);
  }
}

void InitSession(HostSession *s, const HostConfig &config,
                 PluginEntryProc entry, const HostImage &document) {
  s->config = config;
  s->entry = entry;
  s->document = document;
  s->handles.newFailAt = config.newFailAt;
  s->handles.lockFailAt = config.lockFailAt;
  s->handles.newFill = config.newHandleFill;
  s->tiles.options.behaviour = config.requests;
  s->tiles.options.rowPad = config.rowPad;
  s->tiles.shortInputAt = config.shortInputAt;
  s->tiles.columnBytesZero = config.columnBytesZero;
  s->tiles.failAt = config.advanceFailAt;
  s->tiles.failCode = config.advanceFailCode;
  SetupSuites(s);
  InitDescriptorSuite(&s->descriptors, &s->handles);
  s->about.platformData = &s->platform;
  s->platform.hwnd = config.ownerWindow ? config.hostWindow : 0;
  g_session = s;
}

void ImitateOpenHost(HostConfig *c) {
  c->hostSig = FourCC('s', 'p', 'H', 'O');
  c->requests = RequestBehaviour::kClipLikeOpenHost;
  c->sizesUnknown = true;
}

void ImitateGimpBridge(HostConfig *c) {
  c->hostSig = FourCC('G', 'I', 'M', 'P');
  c->requests = RequestBehaviour::kGimpBridge;
  c->imageAtParameters = false;
  c->tileSize = 64;
  c->ownerWindow = false;
}

void SetSessionPipl(HostSession *session, const PiplInfo &pipl) {
  session->pipl = pipl;
  session->hasPipl = true;
}

int16_t SessionImageMode(const HostSession &s) {
  if (s.config.imageMode >= 0)
    return s.config.imageMode;
  bool deep = s.document.depth == 16;
  if (s.document.planes >= 3)
    return deep ? kModeRGB48 : kModeRGB;
  return deep ? kModeGray16 : kModeGrayscale;
}

Rect SessionFilterRect(const HostSession &s) {
  if (s.config.hasFilterRect)
    return s.config.filterRect;
  return Rect{0, 0, int16_t(s.document.height), int16_t(s.document.width)};
}

int16_t SessionFilterCase(const HostSession &s) {
  Rect whole{0, 0, int16_t(s.document.height), int16_t(s.document.width)};
  return SameRect(SessionFilterRect(s), whole) ? 1 : 2;
}

void BeginInvocation(HostSession *s, InvocationKind kind) {
  g_session = s;
  ServeDescriptorSuite(&s->descriptors);
  InvocationRecord inv;
  inv.kind = kind;
  s->invocations.push_back(inv);
  BuildRecord(s);
  SetUpScripting(s, kind);
  s->destination = s->document;
  const FilterCaseInfo *fc =
      s->hasPipl ? FilterCaseFor(s->pipl, s->record->filterCase) : nullptr;
  if (fc && (fc->flags1 & 1))
    FillUnwritten(&s->destination, s->record->filterRect);
  if (fc && fc->inputHandling == 0)
    s->notes.push_back("the property list says this filter case cannot be "
                       "filtered; a host would not offer the filter");
}

int16_t CallSelector(HostSession *s, int16_t selector) {
  g_session = s;
  ServeDescriptorSuite(&s->descriptors);
  int16_t result = 0;
  void *record = selector == kSelectorAbout ? static_cast<void *>(&s->about)
                                            : static_cast<void *>(s->record);
  if (selector != kSelectorAbout)
    std::memset(s->errorString, 0, sizeof s->errorString);
  auto start = std::chrono::steady_clock::now();
  s->inCall = true;
  s->entry(selector, record, &s->pluginData, &result);
  s->inCall = false;
  auto stop = std::chrono::steady_clock::now();
  SelectorCall call;
  call.selector = selector;
  call.result = result;
  call.microseconds =
      std::chrono::duration_cast<std::chrono::microseconds>(stop - start)
          .count();
  if (selector != kSelectorAbout && s->errorString[0] != 0)
    call.errorString = PString(s->errorString);
  InvocationRecord *inv = Current(s);
  if (selector == kSelectorContinue)
    ++inv->continueCalls;
  inv->calls.push_back(call);
  return result;
}

void EndInvocation(HostSession *s, bool commit) {
  InvocationRecord *inv = Current(s);
  const Rect clip = SessionFilterRect(*s);
  FlushTiles(&s->tiles, s->record, &s->destination, clip);
  Handle kept = s->record ? s->record->parameters : nullptr;
  CollectDescriptor(s, inv);
  if (s->config.nullParameters) {
    // This host never hands the block back, so it releases it itself.
    CheckHandlesAfterInvocation(&s->handles, kept);
    if (BookOwns(s->handles, kept))
      BookDisposeHandle(&s->handles, kept, false);
    s->parameters = nullptr;
  } else {
    s->parameters = kept;
    if (kept && !BookOwns(s->handles, kept) &&
        s->handles.entries.count(kept) != 0)
      s->failures.push_back("parameters holds a handle the module disposed");
    CheckHandlesAfterInvocation(&s->handles, kept);
  }
  if (s->afterInvocation)
    s->afterInvocation(s);
  if (s->watchSuspension != 0) {
    s->failures.push_back("watch cursor left suspended at level " +
                          std::to_string(s->watchSuspension));
    s->watchSuspension = 0;
  }
  if (commit) {
    s->document = s->destination;
    inv->committed = true;
  }
}

int16_t RunInvocation(HostSession *s, InvocationKind kind) {
  BeginInvocation(s, kind);
  int16_t result = DriveSelectors(s, kind);
  EndInvocation(s, result == 0);
  return result;
}

int16_t DriveSelectors(HostSession *s, InvocationKind kind) {
  int16_t result = 0;
  if (kind == InvocationKind::kFromMenu) {
    FilterRecord *r = s->record;
    const int16_t mode = r->imageMode, planes = r->planes;
    if (!s->config.imageAtParameters)
      r->imageMode = r->planes = 0;
    result = CallSelector(s, kSelectorParameters);
    r->imageMode = mode;
    r->planes = planes;
  }
  if (result == 0)
    result = CallSelector(s, kSelectorPrepare);
  if (result == 0) {
    FilterRecord *r = s->record;
    r->inRect = r->outRect = r->maskRect = Rect{0, 0, 0, 0};
    result = CallSelector(s, kSelectorStart);
    if (result == 0) {
      // The protocol without advanceState: serve what the module left in
      // the request fields, then continue, until it asks for nothing.
      int32_t continues = 0;
      int16_t continueResult = 0;
      while (!RectEmpty(r->inRect) || !RectEmpty(r->outRect) ||
             !RectEmpty(r->maskRect)) {
        if (++continues > s->config.maxContinues) {
          s->failures.push_back("still requesting after " +
                                std::to_string(s->config.maxContinues) +
                                " continue calls");
          continueResult = kErrParam;
          break;
        }
        continueResult =
            AdvanceTiles(&s->tiles, r, s->document, &s->destination,
                         SessionFilterRect(*s), false);
        if (continueResult != 0)
          break;
        continueResult = CallSelector(s, kSelectorContinue);
        if (continueResult != 0)
          break;
      }
      int16_t finishResult = CallSelector(s, kSelectorFinish);
      result = continueResult != 0 ? continueResult : finishResult;
    }
  }
  return result;
}

int16_t RunAbout(HostSession *s) {
  g_session = s;
  InvocationRecord inv;
  inv.kind = InvocationKind::kAbout;
  s->invocations.push_back(inv);
  return CallSelector(s, kSelectorAbout);
}

void EndSession(HostSession *s) {
  if (BookOwns(s->handles, s->parameters))
    BookDisposeHandle(&s->handles, s->parameters, false);
  s->parameters = nullptr;
  if (g_session == s)
    g_session = nullptr;
}

bool LoadParameterBlock(HostSession *s, const std::vector<uint8_t> &bytes,
                        std::string *error) {
  if (s->config.handles == HandleSuiteMode::kOff) {
    *error = "without a handle suite the host has no handle to put a block in";
    return false;
  }
  if (BookOwns(s->handles, s->parameters))
    BookDisposeHandle(&s->handles, s->parameters, false);
  Handle h = BookNewHandle(&s->handles, int32_t(bytes.size()), false);
  if (h == nullptr) {
    *error = "no memory for the block";
    return false;
  }
  std::memcpy(*h, bytes.data(), bytes.size());
  s->parameters = h;
  // The block replaces what the host kept from earlier runs, their
  // recorded step included.
  s->hasPlayback = false;
  return true;
}

bool ReadParameterBlock(HostSession *s, std::vector<uint8_t> *bytes,
                        std::string *error) {
  if (s->parameters == nullptr) {
    *error = "the host holds no parameters handle";
    return false;
  }
  if (!BookOwns(s->handles, s->parameters)) {
    *error = "the parameters handle is not one of the host's handles";
    return false;
  }
  const HandleEntry &e = s->handles.entries.at(s->parameters);
  bytes->assign(*e.master, *e.master + e.size);
  return true;
}

void SetPlaybackDescriptor(HostSession *s, const Descriptor &descriptor) {
  s->playback = descriptor;
  s->hasPlayback = true;
}

std::vector<std::string> SessionFailures(const HostSession &s) {
  std::vector<std::string> all = s.handles.failures;
  all.insert(all.end(), s.descriptors.failures.begin(),
             s.descriptors.failures.end());
  all.insert(all.end(), s.failures.begin(), s.failures.end());
  return all;
}

const char *SelectorName(int16_t selector) {
  switch (selector) {
  case kSelectorAbout:
    return "about";
  case kSelectorParameters:
    return "parameters";
  case kSelectorPrepare:
    return "prepare";
  case kSelectorStart:
    return "start";
  case kSelectorContinue:
    return "continue";
  case kSelectorFinish:
    return "finish";
  default:
    return "unknown";
  }
}
