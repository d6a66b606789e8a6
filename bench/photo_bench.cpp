// Our engine beside OpenCV's unsharp mask on one real photograph.
//
//   photo_bench PHOTO_DIR OUT_DIR [REPETITIONS]
//
// PHOTO_DIR holds the photographs of Debian's mate-backgrounds package
// (usr/share/backgrounds/mate/nature). They are cut, never scaled, into a
// 6000 x 4000 mosaic by a fixed recipe, so that every run gets the same
// pixels and the detail is the camera's own. The 16-bit photo is the same
// mosaic with file samples 257 v plus fixed noise in the low byte, read as
// our host reads a 16-bit file (0..32768).
//
// Written to OUT_DIR: photo-8.png and photo-16.png (for the module in our
// host) and figures.txt, one line per figure, for scripts/bench-opencv.
// Printed: megapixels per second on one core, processor time, the best of
// the repetitions (OpenCV's and ours taken in turns; SSE2 every other):
// OpenCV's GaussianBlur plus addWeighted per channel (sigma 1 and 10), our
// engine (radius 1.0 and 100.0) with the best kernels and with SSE2 alone, and
// the ratios.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/engine.h"
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

double ProcessorSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Unsharp mask as image editors built on OpenCV do it: each channel
// blurred, then 1.5 x image - 0.5 x blurred, saturated. Seconds.
double OpenCvSeconds(const cv::Mat &image, double sigma) {
  cv::Mat blurred, sharpened;
  const double start = ProcessorSeconds();
  cv::GaussianBlur(image, blurred, cv::Size(0, 0), sigma);
  cv::addWeighted(image, 1.5, blurred, -0.5, 0, sharpened);
  return ProcessorSeconds() - start;
}

struct EngineSeconds {
  double engine = 1e30;  // inside the engine
  double run = 1e30;     // with our test host's serving and copying
};

// One filtering run with these kernels; the best times so far kept.
void TimeOurs(const HostImage &image, int32_t radius, SimdPath path,
              EngineSeconds *best) {
  const SimdPath chosen = CurrentSimdPath();
  UseSimdPath(path);
  EngineSettings settings;
  settings.radius = radius;
  ApplyEngineSettings(settings);
  HostImage destination = image;
  const Rect whole = {0, 0, int16_t(kHeight), int16_t(kWidth)};
  HostRun run;
  const double start = ProcessorSeconds();
  FilterHostImage(image, whole, &destination, &run);
  best->run = std::min(best->run, ProcessorSeconds() - start);
  best->engine = std::min(best->engine, run.engineSeconds);
  UseSimdPath(chosen);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: photo_bench PHOTO_DIR OUT_DIR [REPETITIONS]\n");
    return 2;
  }
  const std::string outDir = argv[2];
  const int32_t repetitions = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  cv::setNumThreads(1);  // one core, as the host gives a filter

  cv::Mat mosaic;
  if (!MakeMosaic(argv[1], &mosaic)) return 1;
  const cv::Mat deep = DeepFile(mosaic);
  const std::vector<int> fast = {cv::IMWRITE_PNG_COMPRESSION, 1};
  if (!cv::imwrite(outDir + "/photo-8.png", mosaic, fast) ||
      !cv::imwrite(outDir + "/photo-16.png", deep, fast)) {
    std::fprintf(stderr, "photo_bench: cannot write to %s\n", outDir.c_str());
    return 1;
  }
  std::printf("photo: %dx%d mosaic, digest %016llx (8-bit), %016llx (16-bit)\n",
              kWidth, kHeight, (unsigned long long)Digest(mosaic),
              (unsigned long long)Digest(deep));
  std::printf(
      "OpenCV %s, %d thread, best of %d taken in turns with ours, processor "
      "time\n",
      CV_VERSION, cv::getNumThreads(), repetitions);

  FILE *figures = std::fopen((outDir + "/figures.txt").c_str(), "w");
  if (figures == nullptr) return 1;
  const SimdPath best = CurrentSimdPath();  // the engine's own choice
  std::printf("engine: %s kernels, and SSE2 alone\n", SimdPathName(best));
  std::printf("%-5s %-6s %7s %12s %12s %6s %12s %6s %11s\n", "depth", "radius",
              "sigma", "OpenCV MP/s", "engine MP/s", "ratio", "SSE2 MP/s",
              "ratio", "run MP/s");
  for (const cv::Mat *image : {static_cast<const cv::Mat *>(&mosaic), &deep}) {
    const int32_t depth = image == &mosaic ? 8 : 16;
    const HostImage host = ToHost(*image);
    for (const int32_t radius : {10, 1000}) {
      const double sigma = radius == 10 ? 1.0 : 10.0;
      // Taken in turns, so that a machine busy with other work slows
      // both sides alike.
      double opencvSeconds = 1e30;
      EngineSeconds fastest, sse2;
      for (int32_t i = 0; i < repetitions; ++i) {
        opencvSeconds = std::min(opencvSeconds, OpenCvSeconds(*image, sigma));
        TimeOurs(host, radius, best, &fastest);
        if (i % 2 == 0) TimeOurs(host, radius, SimdPath::kSse2, &sse2);
      }
      const double opencv = kMegapixels / opencvSeconds;
      const double engine = kMegapixels / fastest.engine;
      const double engineSse2 = kMegapixels / sse2.engine;
      const double run = kMegapixels / fastest.run;
      std::printf("%-5d %-6.1f %7.0f %12.0f %12.0f %6.2f %12.0f %6.2f %11.0f\n",
                  depth, radius / 10.0, sigma, opencv, engine, engine / opencv,
                  engineSse2, engineSse2 / opencv, run);
      std::fprintf(figures, "%d %.1f %.1f %.1f %.1f %.1f\n", depth,
                   radius / 10.0, opencv, engine, engineSse2, run);
      std::fflush(stdout);
    }
  }
  std::fclose(figures);
  return 0;
}
