// Our engine beside OpenCV's unsharp mask on one real photograph, both
// held to one instruction set.
//
//   photo_bench PHOTO_DIR OUT_DIR REPETITIONS sse2|avx2|avx512 [stages]
//
// With "stages", OpenCV is left out and the engine's time on the photo is
// printed split by stage (the best of the repetitions for each), for
// work on one stage.
//
// PHOTO_DIR holds the photographs of Debian's mate-backgrounds package
// (usr/share/backgrounds/mate/nature). They are cut, never scaled, into a
// 6000 x 4000 mosaic by a fixed recipe, so that every run gets the same
// pixels and the detail is the camera's own. The 16-bit photo is the same
// mosaic with file samples 257 v plus fixed noise in the low byte, read as
// our host reads a 16-bit file (0..32768).
//
// Written to OUT_DIR: photo-8.png and photo-16.png (for the module in our
// host and for OpenCV from Python), and a line per figure appended to
// figures.txt for scripts/bench-opencv. Printed: megapixels per second on
// one core, by processor time and by wall time, the best of the
// repetitions after one call not counted, OpenCV's and ours taken in
// turns: OpenCV's GaussianBlur plus addWeighted per channel (sigma 1 and
// 10) into the same result memory each time, as a program filtering one
// picture after another does, and our engine (radius 1.0 and 100.0) on
// the named kernels, alone and with our test host's tile copying, and
// alone with the tiles handed out in place, the document's own rows, as
// our Windows host hands them to the module. OpenCV is held to an instruction
// set by OPENCV_CPU_DISABLE, which it reads when the process starts: the script
// sets it, this program says which set OpenCV then uses.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "engine/blur.h"
#include "engine/dispatch.h"
#include "engine/engine.h"
#include "engine/pipeline.h"
#include "tests/support/test_host.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr double kMegapixels = double(kWidth) * kHeight / 1e6;

// One piece of the mosaic: the centre of a photograph, width x height,
// placed at (x, y).
struct Piece {
  const char *file;
  int32_t x, y, width, height;
};

// Three bands: two of 1600 rows (five whole 2560 x 1600 photographs and
// two 880-wide cuts) and one of 800 rows (cuts of four smaller ones).
constexpr Piece kRecipe[] = {
    {"Garden.jpg", 0, 0, 2560, 1600},
    {"LadyBird.jpg", 2560, 0, 2560, 1600},
    {"Wood.jpg", 5120, 0, 880, 1600},
    {"TwoWings.jpg", 0, 1600, 2560, 1600},
    {"YellowFlower.jpg", 2560, 1600, 2560, 1600},
    {"Aqua.jpg", 5120, 1600, 880, 1600},
    {"Blinds.jpg", 0, 3200, 1920, 800},
    {"RainDrops.jpg", 1920, 3200, 1920, 800},
    {"Storm.jpg", 3840, 3200, 1920, 800},
    {"Dune.jpg", 5760, 3200, 240, 800},
};

bool MakeMosaic(const std::string &dir, cv::Mat *mosaic) {
  *mosaic = cv::Mat(kHeight, kWidth, CV_8UC3, cv::Scalar::all(0));
  for (const Piece &piece : kRecipe) {
    const std::string path = dir + "/" + piece.file;
    const cv::Mat photo = cv::imread(path, cv::IMREAD_COLOR);
    if (photo.cols < piece.width || photo.rows < piece.height) {
      std::fprintf(stderr, "photo_bench: %s is missing or too small\n",
                   path.c_str());
      return false;
    }
    const cv::Rect centre((photo.cols - piece.width) / 2,
                          (photo.rows - piece.height) / 2, piece.width,
                          piece.height);
    photo(centre).copyTo(
        (*mosaic)(cv::Rect(piece.x, piece.y, piece.width, piece.height)));
  }
  return true;
}

// Fixed noise for the low byte of the 16-bit samples.
uint32_t Noise(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  return x ^ (x >> 16);
}

// As our host reads a 16-bit file sample.
uint16_t FileToHost(uint16_t value) {
  return uint16_t((uint32_t(value) * 32768 + 32767) / 65535);
}

cv::Mat DeepFile(const cv::Mat &mosaic) {
  cv::Mat deep(mosaic.rows, mosaic.cols, CV_16UC3);
  for (int32_t y = 0; y < mosaic.rows; ++y) {
    const uint8_t *from = mosaic.ptr<uint8_t>(y);
    uint16_t *to = deep.ptr<uint16_t>(y);
    for (int32_t i = 0; i < mosaic.cols * 3; ++i) {
      const int32_t v = int32_t(from[i]) * 257 +
                        int32_t(Noise(uint32_t(y * kWidth * 3 + i)) & 255) -
                        128;
      to[i] = uint16_t(std::clamp(v, 0, 65535));
    }
  }
  return deep;
}

// The engine's host image (RGB) from OpenCV's (BGR); file samples of
// 16 bits are mapped to the host's range.
HostImage ToHost(const cv::Mat &image) {
  const bool deep = image.depth() == CV_16U;
  HostImage host = MakeImage(image.cols, image.rows, 3, deep ? 16 : 8);
  for (int32_t y = 0; y < image.rows; ++y) {
    for (int32_t x = 0; x < image.cols; ++x) {
      for (int32_t c = 0; c < 3; ++c) {
        const uint32_t v = deep ? FileToHost(image.at<cv::Vec3w>(y, x)[c])
                                : image.at<cv::Vec3b>(y, x)[c];
        SampleAt(host, x, y, 2 - c) = uint16_t(v);
      }
    }
  }
  return host;
}

uint64_t Digest(const cv::Mat &image) {
  uint64_t hash = 1469598103934665603u;
  for (int32_t y = 0; y < image.rows; ++y) {
    const uint8_t *row = image.ptr<uint8_t>(y);
    for (size_t i = 0; i < image.cols * image.elemSize(); ++i) {
      hash = (hash ^ row[i]) * 1099511628211u;
    }
  }
  return hash;
}

// Processor and wall seconds, together.
struct Clocks {
  double processor, wall;
};

double ProcessorSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double WallSeconds() {
  return std::chrono::duration<double>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Both clocks at the start and at the end of a piece of work, the
// processor clock outermost: it is a system call (over a microsecond on
// a virtual machine), which the wall clock's interval then leaves out.
Clocks Now() { return {ProcessorSeconds(), WallSeconds()}; }
Clocks End() {
  const double wall = WallSeconds();
  return {ProcessorSeconds(), wall};
}

// What reading the clocks adds to an interval, the least of many empty
// ones. Our engine is timed tile by tile, 366 intervals on the photo
// against OpenCV's one, so this is taken off each tile's time.
Clocks ClockCost() {
  Clocks least = {1e30, 1e30};
  for (int32_t i = 0; i < 2000; ++i) {
    const Clocks start = Now(), end = End();
    least.processor =
        std::min(least.processor, end.processor - start.processor);
    least.wall = std::min(least.wall, end.wall - start.wall);
  }
  return least;
}
const Clocks kClockCost = ClockCost();

// The fastest of each clock so far.
struct Best {
  double processor = 1e30, wall = 1e30;
  void Take(const Clocks &start, const Clocks &end) {
    processor = std::min(processor, end.processor - start.processor);
    wall = std::min(wall, end.wall - start.wall);
  }
};

// The widest instruction set OpenCV's dispatch may use in this process.
const char *OpenCvSet() {
  const std::pair<int, const char *> sets[] = {
      {CPU_AVX512_SKX, "AVX-512"}, {CPU_AVX2, "AVX2"},     {CPU_AVX, "AVX"},
      {CPU_SSE4_2, "SSE4.2"},      {CPU_SSE4_1, "SSE4.1"}, {CPU_SSSE3, "SSSE3"},
      {CPU_SSE3, "SSE3"}};
  for (const auto &[feature, name] : sets) {
    if (cv::checkHardwareSupport(feature)) return name;
  }
  return "SSE2";
}

// Unsharp mask as image editors built on OpenCV do it: each channel
// blurred, then 1.5 x image - 0.5 x blurred, saturated, into result
// memory kept from call to call.
struct OpenCvMask {
  cv::Mat blurred, sharpened;
  void Run(const cv::Mat &image, double sigma) {
    cv::GaussianBlur(image, blurred, cv::Size(0, 0), sigma);
    cv::addWeighted(image, 1.5, blurred, -0.5, 0, sharpened);
  }
};

struct OursBest {
  Best engine;   // inside the engine, tile by tile
  Best run;      // with our test host's serving and copying
  Best inPlace;  // inside the engine, tiles handed out in place
};

// One filtering run; the best times so far kept.
void TimeOurs(const HostImage &image, HostImage *destination, int32_t radius,
              OursBest *best, bool inPlace = false) {
  EngineSettings settings;
  settings.radius = radius;
  ApplyEngineSettings(settings);
  const Rect whole = {0, 0, int16_t(kHeight), int16_t(kWidth)};
  Clocks inside = {0, 0};
  HostRun run;
  run.inPlace = inPlace;
  run.processTile = [&inside](const FilterRecord *record) {
    const Clocks start = Now();
    const int32_t result = ProcessTileCounted(record);
    const Clocks end = End();
    inside.processor += end.processor - start.processor - kClockCost.processor;
    inside.wall += end.wall - start.wall - kClockCost.wall;
    return result;
  };
  const Clocks start = Now();
  FilterHostImage(image, whole, destination, &run);
  if (inPlace) {
    best->inPlace.Take({0, 0}, inside);
    return;
  }
  best->run.Take(start, Now());
  best->engine.Take({0, 0}, inside);
}

// The engine's time on the photo split by stage, nanoseconds per pixel,
// the best of the repetitions for each stage.
void PrintStages(const HostImage &image, HostImage *destination, int32_t depth,
                 int32_t radius, int32_t repetitions, bool inPlace) {
  using Stage = void (*)(const FilterRecord *);
  static const Stage stages[5] = {ConvertTileIn, BlurRows, BlurColumns,
                                  SharpenTile, ConvertTileOut};
  EngineSettings settings;
  settings.radius = radius;
  ApplyEngineSettings(settings);
  const Rect whole = {0, 0, int16_t(kHeight), int16_t(kWidth)};
  double best[5] = {1e30, 1e30, 1e30, 1e30, 1e30};
  for (int32_t i = 0; i <= repetitions; ++i) {  // the first not counted
    double seconds[5] = {};
    HostRun run;
    run.inPlace = inPlace;
    run.processTile = [&seconds](const FilterRecord *record) {
      if (!TileFitsWorkArea(record)) return 0;
      for (int32_t k = 0; k < 5; ++k) {
        const double start = Now().processor;
        stages[k](record);
        seconds[k] += End().processor - start - kClockCost.processor;
      }
      const Rect &out = record->outRect;
      return (out.bottom - out.top) * (out.right - out.left) * record->planes;
    };
    FilterHostImage(image, whole, destination, &run);
    for (int32_t k = 0; i > 0 && k < 5; ++k) {
      best[k] = std::min(best[k], seconds[k]);
    }
  }
  double total = 0;
  for (const double seconds : best) total += seconds;
  const double perPixel = 1e9 / (kMegapixels * 1e6);
  std::printf(
      "%s %2d-bit r%5.1f %s: engine %4.0f MP/s; ns/px in %.3f rows %.3f "
      "columns %.3f sharpen %.3f out %.3f\n",
      Kernels().name, depth, radius / 10.0, inPlace ? "in place" : "copied  ",
      kMegapixels / total, best[0] * perPixel, best[1] * perPixel,
      best[2] * perPixel, best[3] * perPixel, best[4] * perPixel);
}

}  // namespace

int main(int argc, char **argv) {
  SimdPath path = SimdPath::kSse2;
  const bool stagesOnly = argc == 6 && std::strcmp(argv[5], "stages") == 0;
  if ((argc != 5 && !stagesOnly) || !SimdPathNamed(argv[4], &path)) {
    std::fprintf(stderr,
                 "usage: photo_bench PHOTO_DIR OUT_DIR REPETITIONS "
                 "sse2|avx2|avx512 [stages]\n");
    return 2;
  }
  if (!UseSimdPath(path)) {
    std::printf("%s: not on this processor or build\n", SimdPathName(path));
    return 0;
  }
  const std::string outDir = argv[2];
  const int32_t repetitions = std::max(1, std::atoi(argv[3]));
  cv::setNumThreads(1);  // one core, as the host gives a filter

  cv::Mat mosaic;
  if (!MakeMosaic(argv[1], &mosaic)) return 1;
  const cv::Mat deep = DeepFile(mosaic);
  if (stagesOnly) {
    for (const cv::Mat *image :
         {static_cast<const cv::Mat *>(&mosaic), &deep}) {
      const HostImage host = ToHost(*image);
      HostImage destination = host;
      for (const int32_t radius : {10, 1000}) {
        for (const bool inPlace : {false, true}) {
          PrintStages(host, &destination, image == &mosaic ? 8 : 16, radius,
                      repetitions, inPlace);
        }
      }
    }
    return 0;
  }
  const std::vector<int> fast = {cv::IMWRITE_PNG_COMPRESSION, 1};
  if (!cv::imwrite(outDir + "/photo-8.png", mosaic, fast) ||
      !cv::imwrite(outDir + "/photo-16.png", deep, fast)) {
    std::fprintf(stderr, "photo_bench: cannot write to %s\n", outDir.c_str());
    return 1;
  }
  FILE *figures = std::fopen((outDir + "/figures.txt").c_str(), "a");
  if (figures == nullptr) return 1;
  std::printf(
      "%s: photo digest %016llx (8-bit), %016llx (16-bit); OpenCV %s on %s, "
      "%d thread; reading the clocks, %.2f us, taken off each of our tiles\n",
      SimdPathName(path), (unsigned long long)Digest(mosaic),
      (unsigned long long)Digest(deep), CV_VERSION, OpenCvSet(),
      cv::getNumThreads(), kClockCost.processor * 1e6);
  for (const cv::Mat *image : {static_cast<const cv::Mat *>(&mosaic), &deep}) {
    const int32_t depth = image == &mosaic ? 8 : 16;
    const HostImage host = ToHost(*image);
    HostImage destination = host;
    for (const int32_t radius : {10, 1000}) {
      const double sigma = radius == 10 ? 1.0 : 10.0;
      OpenCvMask opencv;
      Best opencvBest;
      OursBest ours;
      // A first call of each, not counted: it allocates and warms.
      opencv.Run(*image, sigma);
      TimeOurs(host, &destination, radius, &ours);
      ours = OursBest();
      // In turns, so that a machine busy with other work slows both
      // sides alike.
      for (int32_t i = 0; i < repetitions; ++i) {
        const Clocks start = Now();
        opencv.Run(*image, sigma);
        opencvBest.Take(start, Now());
        TimeOurs(host, &destination, radius, &ours);
        TimeOurs(host, &destination, radius, &ours, true);
      }
      std::fprintf(
          figures, "%s %s %d %.1f %.0f %.1f %.1f %.1f %.1f %.1f %.1f\n",
          argv[4], OpenCvSet(), depth, radius / 10.0, sigma,
          kMegapixels / opencvBest.processor, kMegapixels / opencvBest.wall,
          kMegapixels / ours.engine.processor, kMegapixels / ours.engine.wall,
          kMegapixels / ours.run.processor,
          kMegapixels / ours.inPlace.processor);
      std::fflush(figures);
    }
  }
  std::fclose(figures);
  return 0;
}
