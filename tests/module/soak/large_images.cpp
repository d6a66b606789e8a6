// Large documents through the module in our host: 30000 x 30000 8-bit
// RGB, about the most a host's 16-bit rectangles address, and a 16-bit
// RGB document of 100 megapixels (12500 x 8000). The picture is a
// function of its coordinates, so the engine's own result is made band
// by band from the same function and compared with what the module
// delivered: the host's two copies of the document are all the image
// memory the check needs.
//
//   tavorin-large.exe [30000x30000] [12500x8000]   (both when none given)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/module/run_support.h"
#include "tests/module/soak/process_memory.h"

namespace {

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

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
      .count();
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
  std::vector<uint16_t>().swap(s.document.samples);
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
      int32_t(tiles) != (c.height + 255) / 256 * ((c.width + 255) / 256) ||
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
    const uint16_t *got =
        s.destination.samples.data() + size_t(top) * rowSamples;
    const uint16_t *want = ref.data() + size_t(top - from) * rowSamples;
    for (size_t i = 0; i < size_t(bottom - top) * rowSamples; ++i)
      differing += got[i] != want[i];
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

}  // namespace

int main(int argc, char **argv) {
  const LargeCase cases[] = {
      {"30000x30000", 30000, 30000, 8, {50, 60, 40, {20, 0, -30, 0, 10, 0}}},
      {"12500x8000", 12500, 8000, 16, {1000, 100, 100, {0, 0, 0, 0, 0, 0}}},
  };
  InstallCrashReport(stdout);
  std::string error;
  if (!ProductModule(&error).entry) {
    std::fprintf(stderr, "large: product module: %s\n", error.c_str());
    return 2;
  }
  bool ok = true;
  int ran = 0;
  for (const LargeCase &c : cases) {
    bool wanted = argc < 2;
    for (int i = 1; i < argc; ++i) wanted |= std::string(argv[i]) == c.name;
    if (!wanted) continue;
    ++ran;
    ok = RunLarge(c) && ok;
  }
  if (ran == 0) {
    std::fprintf(stderr, "usage: tavorin-large [30000x30000] [12500x8000]\n");
    return 2;
  }
  std::printf("status: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
