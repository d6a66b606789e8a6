// A soak of the modules in our host, in one process that keeps them
// loaded as an editor does: many invocations on random documents,
// settings and host behaviours, each checked as it ends: the host's
// handle and global memory accounts, the result code, the pixels against
// the engine's own result, what a failed or aborted run left, and, over
// the whole run, that the process grows neither in memory nor in GDI
// and USER objects.
//
//   tavorin-soak.exe [count] [seed] [--memory-bound MiB]
//                    [--dialogs PERCENT]
//   tavorin-soak.exe --large [30000x30000] [12500x8000]
//
// The product module comes from TAVORIN_MODULE; the module with the
// answering dialog phase lies next to this program. Each session is one
// document and one module with one to three invocations: from the menu
// (the answering module, whose dialog answers without a person) and
// repeats with the block the host kept, or repeats of a block the host
// replays (the product module; small documents may open its real dialog,
// which the host's capture confirms).
//
// --large runs large documents through the product module instead:
// 30000 x 30000 8-bit RGB, about the most a host's 16-bit rectangles
// address, and a 16-bit RGB document of 100 megapixels (both when none is
// named). The picture is a function of its coordinates, so the engine's
// own result is made band by band from the same function: the host's two
// copies of the document are all the image memory the check needs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "params/block_file.h"
#include "tests/module/run_support.h"
#include "tests/module/soak/process_memory.h"

namespace {

// splitmix64: the same sequence from a seed in every build.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int32_t Range(int32_t lo, int32_t hi) {
    return int32_t(int64_t(lo) +
                   int64_t(Next() % uint64_t(int64_t(hi) - lo + 1)));
  }
  bool Percent(int32_t p) { return Range(0, 99) < p; }
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
      .count();
}

int32_t TileCount(const Rect &r) {
  return (r.bottom - r.top + 255) / 256 * ((r.right - r.left + 255) / 256);
}

// Sizes lean small so that a thousand invocations take minutes, yet
// every run reaches both ends: 1 x 1 and 3000 x 2000.
void PickSize(Random *rng, int32_t *width, int32_t *height) {
  const int32_t bucket = rng->Range(0, 99);
  const int32_t ends[4][2] = {{3000, 2000}, {1, 1}, {3000, 1}, {1, 2000}};
  if (bucket >= 97) {
    const int32_t *e = ends[rng->Range(0, 3)];
    *width = e[0];
    *height = e[1];
    return;
  }
  // Within one tile, a few tiles, many, up to the largest.
  const int32_t limits[4][2] = {
      {32, 32}, {400, 300}, {1200, 800}, {3000, 2000}};
  const int32_t *limit =
      limits[(bucket >= 25) + (bucket >= 55) + (bucket >= 80)];
  *width = rng->Range(1, limit[0]);
  *height = rng->Range(1, limit[1]);
}

HostImage RandomImage(Random *rng, int32_t width, int32_t height,
                      int32_t planes, int32_t depth) {
  HostImage image = MakeTestPattern(width, height, planes, depth);
  const uint32_t top = MaxSample(depth);
  auto any = [&] { return uint16_t(rng->Next() % (top + 1)); };
  const int32_t kind = rng->Range(0, 3);  // 0: the pattern as it is
  const uint16_t flat = any();
  for (size_t i = 0; i < image.samples.size(); ++i) {
    HostSamples::Ref s = image.samples[i];
    const uint64_t r = rng->Next() % 64;
    if (kind == 1)  // noise, every value of the range
      s = any();
    else if (kind == 2)  // flat, with the extremes scattered
      s = r == 0 ? 0 : r == 1 ? uint16_t(top) : flat;
    else if (kind == 3 && r < 4)  // the pattern with sparse noise
      s = any();
  }
  return image;
}

// Stored settings; a third of them outside the controls' ranges, as a
// host may replay a block that never passed the parameters selector.
ReferenceSettings RandomSettings(Random *rng) {
  const bool wild = !rng->Percent(67);
  const int32_t extremes[] = {INT32_MIN, -100000, -1, 1001, 5000, INT32_MAX};
  auto any = [&](int32_t lo, int32_t hi) {
    if (wild && rng->Percent(30)) return extremes[rng->Range(0, 5)];
    const int32_t span = wild ? 2 * (hi - lo) : 0;
    return rng->Range(lo - span, hi + span);
  };
  ReferenceSettings s;
  s.radius = !wild && rng->Percent(10) ? rng->Range(0, 1) * 1000 : any(0, 1000);
  s.response = any(0, 100);
  s.spread = any(0, 100);
  for (int32_t &w : s.weights) w = any(-100, 100);
  return s;
}

// The settings a block holds, as the module clamps them.
ReferenceSettings ClampedFrom(const FilterParams &p) {
  ReferenceSettings c;
  c.radius = std::clamp(p.radius, 0, 1000);
  c.response = std::clamp(p.response, 0, 100);
  c.spread = std::clamp(p.spread, 0, 100);
  for (int i = 0; i < 6; ++i)
    c.weights[i] = std::clamp(p.colourWeight[i], -100, 100);
  return c;
}

std::string SettingsText(const ReferenceSettings &s) {
  std::string t = "radius " + std::to_string(s.radius) + " response " +
                  std::to_string(s.response) + " spread " +
                  std::to_string(s.spread) + " weights";
  for (int32_t w : s.weights) t += " " + std::to_string(w);
  return t;
}

enum class ModuleChoice { kAnswering, kProduct };

struct Step {
  InvocationKind kind = InvocationKind::kRepeat;
  std::string words;  // the answering dialog's
};

// One session: a document, a host, a module and its invocations.
struct Plan {
  int32_t width = 1, height = 1, planes = 3, depth = 8;
  HostConfig config;
  ModuleChoice module = ModuleChoice::kAnswering;
  bool block = false;  // the host holds one of ours at the start
  ReferenceSettings stored;
  int32_t storedShowDialog = 0;
  std::vector<Step> steps;
  bool faults = false;  // a run cut short: one invocation only
};

// Of the product's sessions on small documents, the share that starts
// from the menu and so opens the real dialog (--dialogs).
int32_t g_dialogPercent = 15;

bool SmallEnoughForTheRealDialog(const Plan &p) {
  return int64_t(p.width) * p.height <= 400 * 300;
}

std::string DialogWords(Random *rng) {
  const int32_t r = rng->Range(0, 99);
  if (r < 60) return "";
  if (r < 75)
    return "radius " + std::to_string(rng->Range(0, 1000)) + " response " +
           std::to_string(rng->Range(0, 100)) + " spread " +
           std::to_string(rng->Range(0, 100));
  if (r < 90) return "cancel";
  return rng->Percent(50) ? "fail 1200" : "fail 1400";
}

Plan MakePlan(Random *rng) {
  Plan p;
  PickSize(rng, &p.width, &p.height);
  p.depth = rng->Percent(50) ? 8 : 16;
  p.planes = rng->Range(3, 5);
  HostConfig &c = p.config;
  p.module =
      rng->Percent(70) ? ModuleChoice::kAnswering : ModuleChoice::kProduct;

  // A selection, mostly away from the origin, in two sessions of five.
  if (rng->Percent(40)) {
    const int32_t top = rng->Range(p.height > 1 ? 1 : 0, p.height - 1);
    const int32_t left = rng->Range(p.width > 1 ? 1 : 0, p.width - 1);
    c.hasFilterRect = true;
    c.filterRect = Rect{int16_t(top), int16_t(left),
                        int16_t(rng->Range(top + 1, p.height)),
                        int16_t(rng->Range(left + 1, p.width))};
  }

  const HandleSuiteMode suites[] = {
      HandleSuiteMode::kOn,       HandleSuiteMode::kOn,
      HandleSuiteMode::kOn,       HandleSuiteMode::kOff,
      HandleSuiteMode::kVersion2, HandleSuiteMode::kFiveProcs,
      HandleSuiteMode::kNoGetSize};
  c.handles = suites[rng->Range(0, 6)];
  c.newHandleFill = rng->Percent(50) ? 0xA5 : 0x00;
  // The imitated open host, which hands no block on any run and keeps
  // the module's handles in its own suite.
  if (rng->Percent(20)) {
    ImitateOpenHost(&c);
    c.nullParameters = true;
    c.handles = HandleSuiteMode::kOn;
  }
  // Rows padded by any count of bytes, odd ones at 16 bits too.
  if (rng->Percent(30)) c.rowPad = rng->Range(1, 32);
  c.columnBytesZero = rng->Percent(10);
  c.propertySuite = !rng->Percent(10);

  const OSType sigs[] = {kHostSig8BIM, kHostSigMFI1, FourCC('s', 'p', 'H', 'O'),
                         FourCC('A', 'B', 'C', 'D')};
  const int32_t sig = rng->Range(0, 99);
  c.hostSig = sigs[(sig >= 70) + (sig >= 88) + (sig >= 95)];

  // Failure injection, each in a few sessions.
  const int32_t tiles = TileCount(
      c.hasFilterRect ? c.filterRect
                      : Rect{0, 0, int16_t(p.height), int16_t(p.width)});
  if (rng->Percent(10)) c.abortAt = rng->Range(1, tiles + 1);
  if (rng->Percent(10)) {
    c.advanceFailAt = rng->Range(1, tiles + 1);
    const OSErr codes[] = {kErrNoMemory, kErrParam, -4242, 17};
    c.advanceFailCode = codes[rng->Range(0, 3)];
  }
  p.faults = c.abortAt || c.advanceFailAt;

  // The block the host holds at the start: none, or ours. A host whose
  // suite the module does not use has no handle to put one in that the
  // module could read; without one a repeat runs with the last-used
  // settings, and those sessions mostly start from the menu.
  const bool canHold = c.handles == HandleSuiteMode::kOn && !c.nullParameters;
  p.block = canHold && rng->Percent(85);
  if (!canHold) p.module = ModuleChoice::kAnswering;
  p.stored = RandomSettings(rng);
  if (p.module == ModuleChoice::kProduct && SmallEnoughForTheRealDialog(p) &&
      rng->Percent(10))
    p.storedShowDialog = 1;

  const int32_t count = p.faults ? 1 : rng->Range(1, 3);
  const bool foreignHost =
      c.hostSig != kHostSig8BIM && c.hostSig != kHostSigMFI1;
  for (int32_t i = 0; i < count; ++i) {
    Step step;
    // The product module from the menu opens its real dialog: small
    // documents only, or in hosts that keep no block to repeat with.
    bool menu = false;
    if (i == 0 && p.module == ModuleChoice::kAnswering)
      menu = rng->Percent(85);
    else if (i == 0)
      menu = (foreignHost && rng->Percent(50)) ||
             (SmallEnoughForTheRealDialog(p) && rng->Percent(g_dialogPercent));
    step.kind = menu ? InvocationKind::kFromMenu : InvocationKind::kRepeat;
    step.words = DialogWords(rng);
    p.steps.push_back(step);
  }

  return p;
}

// The block the module will find in the record, as bytes; false when
// there is none. Without a handle suite it is the module's emulated
// handle: global memory whose first word is the address of the data.
bool HeldBlockBytes(HostSession *s, std::vector<uint8_t> *bytes) {
  if (s->parameters == nullptr) return false;
  if (BookOwns(s->handles, s->parameters)) {
    std::string error;
    return ReadParameterBlock(s, bytes, &error);
  }
  void **words = static_cast<void **>(GlobalLock(s->parameters));
  if (!words) return false;
  const uint8_t *data = static_cast<const uint8_t *>(*words);
  GlobalUnlock(s->parameters);
  if (!data) return false;
  bytes->assign(data, data + sizeof(ParamBlock));
  return true;
}

// What a new block starts from: the last-used settings file, or the
// defaults when there is none.
ReferenceSettings LastUsedSettings() {
  ParamBlock block;
  InitParamBlockHeader(&block);
  const std::vector<uint8_t> file = ReadBytes(SettingsFilePath());
  DecodeBlockFile(file.data(), int32_t(file.size()), &block);
  return ClampedFrom(block.params);
}

struct Expectation {
  int16_t result = 0;
  std::string outcome;  // the tally's name
  int32_t realDialogs = 0;
  int32_t tiles = -1;  // tiles processed; -1: every tile
  ReferenceSettings settings;
};

Expectation Expect(HostSession *s, const Plan &p, const Step &step) {
  const HostConfig &c = s->config;
  Expectation e;
  auto ends = [&](int16_t result, const char *outcome) {
    e.result = result;
    e.outcome = outcome;
    e.tiles = 0;
    return e;
  };
  std::vector<uint8_t> bytes;
  const ParamBlock *block = !c.nullParameters && HeldBlockBytes(s, &bytes)
                                ? reinterpret_cast<ParamBlock *>(bytes.data())
                                : nullptr;
  bool showDialog = true;
  if (step.kind == InvocationKind::kFromMenu) {
    e.settings = block ? ClampedFrom(block->params) : LastUsedSettings();
  } else {
    // Without a block, the last-used settings and no dialog.
    e.settings = block ? ClampedFrom(block->params) : LastUsedSettings();
    showDialog = block && block->params.showDialog != 0;
  }
  if (showDialog && p.module == ModuleChoice::kProduct) e.realDialogs = 1;
  if (showDialog && p.module == ModuleChoice::kAnswering) {
    const std::string &w = step.words;
    if (w == "cancel") return ends(1, "dialog cancelled");
    if (w.rfind("fail ", 0) == 0)
      return ends(int16_t(std::atoi(w.c_str() + 5)), "dialog failed");
    int32_t radius, response, spread;
    if (std::sscanf(w.c_str(), "radius %d response %d spread %d", &radius,
                    &response, &spread) == 3) {
      e.settings.radius = radius;
      e.settings.response = response;
      e.settings.spread = spread;
    }
  }
  const int32_t tiles = TileCount(SessionFilterRect(*s));
  const int32_t failAt = c.advanceFailAt > 0 ? c.advanceFailAt : INT32_MAX;
  const int32_t abortAt = c.abortAt > 0 ? c.abortAt : INT32_MAX;
  if (failAt <= tiles && failAt <= abortAt) {
    e.result = c.advanceFailCode;
    e.outcome = "advanceState failed";
    e.tiles = failAt - 1;
  } else if (abortAt <= tiles) {
    e.result = 1;
    e.outcome = "aborted";
    e.tiles = abortAt - 1;
  } else {
    e.outcome = "completed";
  }
  return e;
}

struct Tally {
  long long invocations = 0;
  long long pixelsFiltered = 0;
  long long realDialogs = 0;  // the product's dialog, confirmed by the host
  std::map<std::string, long long> outcomes;
  std::map<std::string, long long> failures;
  std::vector<std::string> details;
};

void Fail(Tally *t, const char *kind, const std::string &what) {
  ++t->failures[kind];
  if (t->details.size() < 30)
    t->details.push_back(std::string(kind) + ": " + what);
}

// The destination a run should leave: what the host put there, with the
// processed tiles' colour planes replaced by the engine's result, whether
// the host replicates edges or not.
std::vector<uint16_t> ExpectedDestination(const HostSession &s,
                                          const HostImage &initial,
                                          const std::vector<uint16_t> &ref,
                                          int32_t processed, const Rect &area) {
  std::vector<Rect> filtered;
  if (processed < 0) filtered.push_back(area);
  for (const AdvanceCall &a : s.tiles.log)
    if (a.fromModule && int32_t(filtered.size()) < processed)
      filtered.push_back(a.outRect);
  std::vector<uint16_t> expected = initial.samples;
  const size_t width = size_t(s.destination.width);
  const size_t planes = size_t(s.destination.planes);
  for (const Rect &r : filtered)
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        for (size_t p = 0; p < 3; ++p) {
          const size_t i = (size_t(y) * width + size_t(x)) * planes + p;
          expected[i] = ref[i];
        }
  return expected;
}

std::string FirstDifference(const HostImage &image,
                            const std::vector<uint16_t> &expected) {
  size_t differ = 0, first = 0;
  for (size_t i = 0; i < expected.size(); ++i)
    if (image.samples[i] != expected[i] && differ++ == 0) first = i;
  const size_t pixel = first / size_t(image.planes);
  return std::to_string(differ) + " samples, the first at x " +
         std::to_string(pixel % size_t(image.width)) + " y " +
         std::to_string(pixel / size_t(image.width)) + " plane " +
         std::to_string(first % size_t(image.planes)) + ": " +
         std::to_string(image.samples[first]) + " for " +
         std::to_string(expected[first]);
}

int16_t RunChecked(HostSession *s, const Plan &p, const Step &step,
                   Tally *tally, const std::string &label) {
  const Expectation e = Expect(s, p, step);
  const AnsweringDialog answer(step.words.c_str());
  const HostImage before = s->document;
  const size_t failuresBefore = SessionFailures(*s).size();

  BeginInvocation(s, step.kind);
  const HostImage initial = s->destination;
  const int16_t result = DriveSelectors(s, step.kind);
  const InvocationRecord &run = s->invocations.back();
  const int32_t processed = int32_t(run.progress.size());
  // Before the host writes back: the module's own output, in place.
  EndInvocation(s, result == 0);
  ++tally->invocations;

  const std::string what =
      label + " " +
      (step.kind == InvocationKind::kFromMenu ? "menu" : "repeat") +
      (step.words.empty() ? "" : " [" + step.words + "]");
  ++tally->outcomes[result == e.result ? e.outcome : "unexpected"];
  if (result != e.result)
    Fail(tally, "result",
         what + ": result " + std::to_string(result) + ", expected " +
             std::to_string(e.result) + " (" + e.outcome + ")");
  int32_t boxes = 0, dialogs = 0;
  for (const CapturedDialog &d : TakeCapturedDialogs())
    (d.messageBox ? boxes : dialogs)++;
  tally->realDialogs += dialogs;
  // A positive result other than a cancel or an abort comes with its
  // message.
  const int32_t expectedBoxes = e.result > 1 ? 1 : 0;
  if (boxes != expectedBoxes || dialogs != e.realDialogs)
    Fail(tally, "dialogs",
         what + ": " + std::to_string(boxes) + " message box(es), " +
             std::to_string(dialogs) + " dialog(s); expected " +
             std::to_string(expectedBoxes) + " and " +
             std::to_string(e.realDialogs));

  const std::vector<std::string> faults = SessionFailures(*s);
  for (size_t i = failuresBefore; i < faults.size(); ++i)
    Fail(tally, "host", what + ": " + faults[i]);
  if (!RectEmpty(s->record->inRect) || !RectEmpty(s->record->outRect))
    Fail(tally, "requests", what + ": a request left in the record");

  const int32_t expectedTiles =
      e.tiles >= 0 ? e.tiles : TileCount(SessionFilterRect(*s));
  if (processed != expectedTiles)
    Fail(tally, "tiles",
         what + ": " + std::to_string(processed) + " tiles processed, " +
             std::to_string(expectedTiles) + " expected");

  const Rect area = SessionFilterRect(*s);
  if (processed > 0) {
    const std::vector<uint16_t> ref = Reference(before, area, e.settings);
    const std::vector<uint16_t> expected = ExpectedDestination(
        *s, initial, ref, e.tiles >= 0 ? processed : -1, area);
    if (s->destination.samples != expected)
      Fail(tally, e.tiles < 0 ? "pixels" : "partial run",
           what + ": the destination differs from the engine's result (" +
               SettingsText(e.settings) +
               "): " + FirstDifference(s->destination, expected));
    for (int32_t k = 0; k < processed && k < int32_t(s->tiles.log.size());
         ++k) {
      const Rect &r = s->tiles.log[size_t(k)].outRect;
      tally->pixelsFiltered += int64_t(r.bottom - r.top) * (r.right - r.left);
    }
  } else if (s->destination.samples != initial.samples) {
    Fail(tally, "partial run", what + ": nothing processed, yet written");
  }
  if (result != 0 && s->document.samples != before.samples)
    Fail(tally, "document", what + ": a failed run changed the document");
  return result;
}

// The host lets go of a block the module keeps in its own global memory
// (no handle suite), as it would on closing the document.
void ReleaseEmulatedBlock(HostSession *s) {
  if (!s->parameters || BookOwns(s->handles, s->parameters)) return;
  void **words = static_cast<void **>(GlobalLock(s->parameters));
  if (words) {
    void *data = *words;
    GlobalUnlock(s->parameters);
    if (data) GlobalFree(data);
  }
  GlobalFree(s->parameters);
  s->parameters = nullptr;
}

// A module that crashes ends the run at once, saying in which session,
// instead of waiting on the system's crash dialog.
const std::string *g_running = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER g_hostCrashReport = nullptr;

LONG WINAPI ReportCrashedSession(EXCEPTION_POINTERS *info) {
  if (g_running) std::printf("crash in %s\n", g_running->c_str());
  std::fflush(stdout);
  return g_hostCrashReport ? g_hostCrashReport(info)
                           : EXCEPTION_EXECUTE_HANDLER;
}

int Usage() {
  std::fprintf(stderr,
               "usage: tavorin-soak [count] [seed] [--memory-bound MiB] "
               "[--dialogs PERCENT]\n"
               "       tavorin-soak --large [30000x30000] [12500x8000]\n");
  return 2;
}

struct LargeCase {
  const char *name;
  int32_t width, height, depth;
  ReferenceSettings settings;
};

// Hard edges, ramps and noise, every channel different: a misplaced row,
// column, plane or tile changes the result.
uint16_t GeneratedSample(int32_t x, int32_t y, int32_t plane, int32_t depth) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^
               uint32_t(plane + 1) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  const int32_t block = ((x / 97 + y / 89 + plane) & 1) ? 170 : 40;
  const int32_t ramp = ((x + 3 * y + 50 * plane) >> 6) & 63;
  const int32_t value = std::min(255, block + ramp + int32_t(h & 31));
  if (depth != 16) return uint16_t(value);
  return uint16_t(
      std::min<uint32_t>(kHostMax16, uint32_t(value) * 128 + ((h >> 8) & 127)));
}

// Rows fromRow..toRow of the picture, the image's width wide.
std::vector<uint16_t> PictureRows(const HostImage &image, int32_t fromRow,
                                  int32_t toRow) {
  std::vector<uint16_t> samples;
  samples.reserve(size_t(image.width) * 3 * size_t(toRow - fromRow));
  for (int32_t y = fromRow; y < toRow; ++y)
    for (int32_t x = 0; x < image.width; ++x)
      for (int32_t p = 0; p < 3; ++p)
        samples.push_back(GeneratedSample(x, y, p, image.depth));
  return samples;
}

bool RunLarge(const LargeCase &c) {
  std::printf(
      "%s: %d x %d, %d bits, 3 planes, radius %d, response %d, "
      "spread %d\n",
      c.name, c.width, c.height, c.depth, c.settings.radius,
      c.settings.response, c.settings.spread);
  std::fflush(stdout);
  auto start = std::chrono::steady_clock::now();
  HostImage document = MakeImage(c.width, c.height, 3, c.depth);
  document.samples = PictureRows(document, 0, c.height);
  std::printf("  picture made in %.1f s\n", SecondsSince(start));

  HostSession s;
  HostConfig config;
  // The session copies what it is given: start it on a token document
  // and hand it the large one.
  if (!StartSession(&s, ProductModule(), config, MakeImage(1, 1, 3, c.depth)))
    return false;
  s.document = std::move(document);
  std::string error;
  if (!LoadParameterBlock(&s, BlockBytes(c.settings), &error)) {
    std::printf("  error: %s\n", error.c_str());
    return false;
  }
  start = std::chrono::steady_clock::now();
  BeginInvocation(&s, InvocationKind::kRepeat);
  const double setup = SecondsSince(start);
  start = std::chrono::steady_clock::now();
  const int16_t result = DriveSelectors(&s, InvocationKind::kRepeat);
  const double run = SecondsSince(start);
  const InvocationRecord &inv = s.invocations.back();
  const double copying = double(inv.advanceMicroseconds) / 1e6;
  const size_t tiles = inv.progress.size();
  const ProgressCall last = tiles ? inv.progress.back() : ProgressCall{};
  // Written back, not taken: the document's copy is not needed again.
  EndInvocation(&s, false);
  s.document.samples.Release();
  const ProcessMemory memory = SampleProcessMemory();

  const double megapixels = double(c.width) * c.height / 1e6;
  std::printf(
      "  result %d, %zu tiles, last progress %d of %d\n"
      "  start selector %.1f s (%.1f MP/s), of which the host's copying "
      "%.1f s; the module alone %.1f MP/s; the host's destination copy "
      "%.1f s\n"
      "  module memory: handles peak %.2f MiB, global memory peak %.2f MiB\n"
      "  process peak working set %.1f MiB\n",
      result, tiles, last.done, last.total, run, megapixels / run, copying,
      megapixels / (run - copying), setup,
      Mebibytes(uint64_t(s.handles.peakLiveBytes)),
      Mebibytes(CurrentGlobalBook().peakLiveBytes),
      // Wine's peak commit charge lags; its peak working set does not.
      Mebibytes(memory.peakWorkingSet));
  std::vector<std::string> failures = SessionFailures(s);
  if (result != 0 ||
      int32_t(tiles) !=
          TileCount(Rect{0, 0, int16_t(c.height), int16_t(c.width)}) ||
      last.done != last.total || last.total <= 0)
    failures.push_back(
        "expected result 0 after every tile, progress at its end");
  for (const std::string &f : failures)
    std::printf("  FAILED: %s\n", f.c_str());
  bool ok = failures.empty();

  // The engine's result band by band: each band of 256 rows with the
  // largest margin the blur can reach (101 rows) above and below, so
  // that every output row sees exactly the rows the module's tiles saw.
  start = std::chrono::steady_clock::now();
  const int32_t margin = 101;
  const size_t rowSamples = size_t(c.width) * 3;
  int64_t differing = 0;
  HostImage window = MakeImage(1, 1, 3, c.depth);
  window.width = c.width;
  for (int32_t top = 0; top < c.height && ok; top += 256) {
    const int32_t bottom = std::min(top + 256, c.height);
    const int32_t from = std::max(0, top - margin);
    const int32_t to = std::min(c.height, bottom + margin);
    window.height = to - from;
    window.samples = PictureRows(window, from, to);
    const Rect area{int16_t(top - from), 0, int16_t(bottom - from),
                    int16_t(c.width)};
    const std::vector<uint16_t> ref = Reference(window, area, c.settings);
    const size_t got = size_t(top) * rowSamples;
    const uint16_t *want = ref.data() + size_t(top - from) * rowSamples;
    for (size_t i = 0; i < size_t(bottom - top) * rowSamples; ++i)
      differing += s.destination.samples[got + i] != want[i];
  }
  std::printf(
      "  compared with the engine's result in %.1f s: %lld samples "
      "differ\n",
      SecondsSince(start), static_cast<long long>(differing));
  if (differing != 0) ok = false;
  EndSession(&s);
  std::printf("  %s\n", ok ? "ok" : "FAILED");
  std::fflush(stdout);
  return ok;
}

// --large [NAME...]: the large documents named, both when none is.
int LargeImages(int argc, char **argv) {
  const LargeCase cases[] = {
      {"30000x30000", 30000, 30000, 8, {50, 60, 40, {20, 0, -30, 0, 10, 0}}},
      {"12500x8000", 12500, 8000, 16, {1000, 100, 100, {0, 0, 0, 0, 0, 0}}},
  };
  bool ok = true;
  int ran = 0;
  for (const LargeCase &c : cases) {
    bool wanted = argc == 0;
    for (int i = 0; i < argc; ++i) wanted |= std::string(argv[i]) == c.name;
    if (!wanted) continue;
    ++ran;
    ok = RunLarge(c) && ok;
  }
  if (ran == 0) {
    return Usage();
  }
  std::printf("status: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  std::string error;
  const ModuleFile &product = ProductModule(&error);
  const ModuleFile &answering =
      AnsweringModule(product.entry ? &error : nullptr);
  if (!product.entry || !answering.entry) {
    std::fprintf(stderr, "soak: cannot load the modules: %s\n", error.c_str());
    return 2;
  }
  InstallCrashReport(stdout);
  if (argc > 1 && std::string(argv[1]) == "--large")
    return LargeImages(argc - 2, argv + 2);
  long long count = 1000;
  unsigned long long seed = 1;
  double boundMiB = 32;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool value = i + 1 < argc;
    if (a == "--memory-bound" && value)
      boundMiB = std::atof(argv[++i]);
    else if (a == "--dialogs" && value)
      g_dialogPercent = std::atoi(argv[++i]);
    else if (!a.empty() && a[0] != '-' && positional++ == 0)
      count = std::atoll(a.c_str());
    else if (!a.empty() && a[0] != '-' && positional == 2)
      seed = std::strtoull(a.c_str(), nullptr, 10);
    else
      return Usage();
  }
  if (count < 1) return Usage();

  g_hostCrashReport = SetUnhandledExceptionFilter(ReportCrashedSession);
  // Reproducible from the seed: no settings file left by an earlier run.
  RemoveSettingsTree(SettingsFolder());
  if (!BeginDialogCapture(::DialogAnswer::kOk)) {
    std::fprintf(stderr, "soak: cannot watch for dialogs\n");
    return 2;
  }
  // The first message box loads fonts, icons and classes for good: one
  // now, so that the module's are measured after it.
  MessageBoxW(nullptr, L"", L"soak", MB_OK | MB_ICONHAND);
  TakeCapturedDialogs();

  std::printf("soak: %lld invocations, seed %llu, %d-bit host and module\n",
              count, seed, int(sizeof(void *) * 8));
  std::fflush(stdout);
  const auto started = std::chrono::steady_clock::now();
  // The first real dialog loads what every later one shares (fonts,
  // control classes): the growth to watch starts after it and the first
  // tenth of the run.
  const ProcessMemory atStart = SampleProcessMemory();
  ProcessMemory warm = atStart;
  const GuiObjects guiAtStart = SampleGuiObjects();
  GuiObjects guiWarm = guiAtStart;
  long long warmUp = std::max(count / 10, std::min(count, 20LL));
  bool warmedUp = false;
  uint64_t highest = 0;

  Random rng{seed};
  Tally tally;
  long long session = 0;
  for (; tally.invocations < count; ++session) {
    Plan plan = MakePlan(&rng);
    if (int64_t(plan.steps.size()) > count - tally.invocations)
      plan.steps.resize(size_t(count - tally.invocations));
    auto s = std::make_unique<HostSession>();
    StartSession(
        s.get(), plan.module == ModuleChoice::kAnswering ? answering : product,
        plan.config,
        RandomImage(&rng, plan.width, plan.height, plan.planes, plan.depth));
    // The host's own account of its setup, and what it does not tell.
    std::string label =
        "session " + std::to_string(session) + ": " +
        (plan.module == ModuleChoice::kAnswering ? "answering" : "product") +
        " module, rows padded by " + std::to_string(plan.config.rowPad) +
        ", block " +
        (plan.block ? SettingsText(plan.stored) + ", showDialog " +
                          std::to_string(plan.storedShowDialog)
                    : "none") +
        "; " + DescribeHostSetup(*s);
    label.pop_back();  // one line in the report
    std::replace(label.begin(), label.end(), '\n', ' ');
    if (plan.block &&
        !LoadParameterBlock(
            s.get(), BlockBytes(plan.stored, plan.storedShowDialog), &error))
      Fail(&tally, "setup", label + ": " + error);
    g_running = &label;
    for (const Step &step : plan.steps)
      RunChecked(s.get(), plan, step, &tally, label);
    g_running = nullptr;
    ReleaseEmulatedBlock(s.get());
    EndSession(s.get());
    if (LiveHandleCount(s->handles) != 0)
      Fail(&tally, "host",
           label + ": " + std::to_string(LiveHandleCount(s->handles)) +
               " handle(s) live after the session");
    s.reset();

    const ProcessMemory now = SampleProcessMemory();
    if (!warmedUp && tally.invocations >= warmUp &&
        (tally.realDialogs > 0 || g_dialogPercent == 0)) {
      warm = now;
      warmUp = tally.invocations;
      guiWarm = SampleGuiObjects();
      warmedUp = true;
    }
    if (warmedUp) highest = std::max(highest, now.privateBytes);
    if (tally.invocations % 100 < int64_t(plan.steps.size())) {
      std::printf("  %lld invocations, %.0f s, private %.1f MiB\n",
                  tally.invocations, SecondsSince(started),
                  Mebibytes(now.privateBytes));
      std::fflush(stdout);
    }
  }
  EndDialogCapture();

  const ProcessMemory atEnd = SampleProcessMemory();
  const GuiObjects guiAtEnd = SampleGuiObjects();
  const struct {
    const char *name;
    int64_t GuiObjects::*count;
  } guiKinds[] = {{"GDI", &GuiObjects::gdi}, {"USER", &GuiObjects::user}};
  for (const auto &k : guiKinds) {
    const long long from = guiWarm.*k.count, to = guiAtEnd.*k.count;
    // Without a real dialog the run never warmed up: the first message
    // box alone loads fonts and classes, which is no leak.
    if (warmedUp && from >= 0 && to > from)
      Fail(&tally, "gui objects",
           std::string(k.name) + " objects grew from " + std::to_string(from) +
               " to " + std::to_string(to) + " after warm-up");
  }
  const double growth =
      Mebibytes(atEnd.privateBytes) - Mebibytes(warm.privateBytes);
  if (growth > boundMiB)
    Fail(&tally, "memory",
         "private bytes grew by " + std::to_string(growth) +
             " MiB after warm-up (bound " + std::to_string(boundMiB) + ")");

  long long failures = 0;
  for (const auto &f : tally.failures) failures += f.second;
  std::printf("sessions: %lld, invocations: %lld\n", session,
              tally.invocations);
  for (const auto &o : tally.outcomes)
    std::printf("  %-24s %lld\n", o.first.c_str(), o.second);
  std::printf("real dialogs confirmed: %lld\npixels filtered: %lld\n",
              tally.realDialogs, tally.pixelsFiltered);
  std::printf(
      "private bytes: start %.1f MiB, after %lld invocations (warm-up) %.1f "
      "MiB, end %.1f MiB, highest after warm-up %.1f MiB\n",
      Mebibytes(atStart.privateBytes), warmUp, Mebibytes(warm.privateBytes),
      Mebibytes(atEnd.privateBytes), Mebibytes(highest));
  std::printf("working set: start %.1f MiB, end %.1f MiB, peak %.1f MiB\n",
              Mebibytes(atStart.workingSet), Mebibytes(atEnd.workingSet),
              Mebibytes(atEnd.peakWorkingSet));
  for (const auto &k : guiKinds)
    std::printf("%s objects%s: start %lld, after warm-up %lld, end %lld%s\n",
                k.name, guiAtEnd.counted ? " (counted)" : "",
                static_cast<long long>(guiAtStart.*k.count),
                static_cast<long long>(guiWarm.*k.count),
                static_cast<long long>(guiAtEnd.*k.count),
                warmedUp ? "" : " (no real dialog: growth not checked)");
  std::printf("time: %.1f s\nfailures: %lld\n", SecondsSince(started),
              failures);
  for (const auto &f : tally.failures)
    std::printf("  %-12s %lld\n", f.first.c_str(), f.second);
  for (const std::string &d : tally.details) std::printf("  %s\n", d.c_str());
  std::printf("status: %s\n", failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
