// Throughput of the tile pipeline over a whole 24-megapixel image, tiled
// exactly as the filtering run tiles it, for 8 and 16 bits and four
// radii. Every figure counts processor time, so that a busy machine
// disturbs it less.
//
// - TilePipeline: the whole run including the host's side (serving
//   edge-replicated input tiles and copying output tiles), and the
//   engine alone (the time inside ProcessTileCounted); with the kernels
//   the processor gets (simd 0) and with the SSE2 kernels every
//   processor has (simd 1).
// - TileStages: the engine's time split by stage, in nanoseconds per
//   output pixel: conversion in, row blur, column blur, sharpening step,
//   conversion out; with the default colour weights (0), and with some
//   (weights 1), which the sharpening step must then look up per pixel;
//   planes 1 is the gray picture.
// - Reference: the straightforward engine the optimised one is held to.
// - GrayOverRgb: the engine's rate on a gray picture (one plane) and on
//   the RGB one of the same size, and how many times faster gray runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <map>

#include "engine/dispatch.h"
#include "engine/engine.h"
#include "engine/reference.h"
#include "tests/support/test_host.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr double kMegapixels = double(kWidth) * kHeight / 1e6;

const HostImage &Picture(int32_t depth, int32_t planes = 3) {
  static std::map<int32_t, HostImage> pictures;
  auto found = pictures.find(depth * 8 + planes);
  if (found == pictures.end()) {
    found = pictures
                .emplace(depth * 8 + planes,
                         MakeTestPattern(kWidth, kHeight, planes, depth))
                .first;
  }
  return found->second;
}

double ProcessorSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

struct Seconds {
  double run = 0;     // the whole run, host's side included
  double engine = 0;  // inside the tile processing
};

// Filters the picture of this depth at this radius (tenths of a pixel),
// with the default colour weights (0) or some, once per iteration, each
// run prepared by prepare.
template <typename Prepare>
Seconds FilterPicture(benchmark::State &state, Prepare prepare,
                      bool weighted = false, int32_t planes = 3) {
  EngineSettings settings;
  settings.radius = int32_t(state.range(1));
  if (weighted) {
    const int32_t someWeights[6] = {40, -20, 0, 30, -60, 10};
    std::copy(someWeights, someWeights + 6, settings.weights);
  }
  ApplyEngineSettings(settings);
  const HostImage &source = Picture(int32_t(state.range(0)), planes);
  HostImage destination = source;
  const Rect whole = {0, 0, kHeight, kWidth};
  Seconds seconds;
  for (auto _ : state) {
    HostRun run;
    prepare(&run);
    const double start = ProcessorSeconds();
    FilterHostImage(source, whole, &destination, &run);
    seconds.run += ProcessorSeconds() - start;
    seconds.engine += run.engineSeconds;
    benchmark::DoNotOptimize(destination.samples.Bytes(0));
  }
  return seconds;
}

void BM_TilePipeline(benchmark::State &state) {
  const SimdPath chosen = CurrentSimdPath();
  if (state.range(2) == 1) UseSimdPath(SimdPath::kSse2);
  state.SetLabel(Kernels().name);
  const Seconds seconds = FilterPicture(state, [](HostRun *) {});
  UseSimdPath(chosen);
  const double megapixels = kMegapixels * double(state.iterations());
  state.counters["MP/s"] = megapixels / seconds.run;
  state.counters["engine MP/s"] = megapixels / seconds.engine;
}

void BM_TileStages(benchmark::State &state) {
  using Stage = void (*)(const FilterRecord *);
  static const Stage stages[5] = {ConvertTileIn, BlurRows, BlurColumns,
                                  SharpenTile, ConvertTileOut};
  // Numbered so that they print in the pipeline's order.
  static const char *const names[5] = {"1 in ns/px", "2 rows ns/px",
                                       "3 columns ns/px", "4 sharpen ns/px",
                                       "5 out ns/px"};
  double seconds[5] = {};
  state.SetLabel(Kernels().name);
  FilterPicture(
      state,
      [&seconds](HostRun *run) {
        run->processTile = [&seconds](const FilterRecord *record) {
          if (!TileFitsWorkArea(record)) return 0;
          for (int32_t i = 0; i < 5; ++i) {
            const double start = ProcessorSeconds();
            stages[i](record);
            seconds[i] += ProcessorSeconds() - start;
          }
          const Rect &out = record->outRect;
          return (out.bottom - out.top) * (out.right - out.left) *
                 record->planes;
        };
      },
      state.range(2) == 1, int32_t(state.range(3)));
  const double pixels = kMegapixels * 1e6 * double(state.iterations());
  double total = 0;
  for (int32_t i = 0; i < 5; ++i) {
    state.counters[names[i]] = seconds[i] * 1e9 / pixels;
    total += seconds[i];
  }
  state.counters["engine MP/s"] = pixels / 1e6 / total;
}

void BM_Reference(benchmark::State &state) {
  const Seconds seconds = FilterPicture(state, [](HostRun *run) {
    run->processTile = reference::ProcessTileCounted;
  });
  state.counters["engine MP/s"] =
      kMegapixels * double(state.iterations()) / seconds.engine;
}

void BM_GrayOverRgb(benchmark::State &state) {
  EngineSettings settings;
  settings.radius = int32_t(state.range(1));
  ApplyEngineSettings(settings);
  const Rect whole = {0, 0, kHeight, kWidth};
  double seconds[2] = {};  // gray, RGB
  for (auto _ : state) {
    for (int32_t k = 0; k < 2; ++k) {
      const HostImage &source = Picture(int32_t(state.range(0)), k ? 3 : 1);
      HostImage destination = source;
      HostRun run;
      FilterHostImage(source, whole, &destination, &run);
      seconds[k] += run.engineSeconds;
    }
  }
  const double megapixels = kMegapixels * double(state.iterations());
  state.counters["gray MP/s"] = megapixels / seconds[0];
  state.counters["RGB MP/s"] = megapixels / seconds[1];
  state.counters["gray x"] = seconds[1] / seconds[0];
}

BENCHMARK(BM_TilePipeline)
    ->ArgNames({"depth", "radius", "sse2"})
    ->ArgsProduct({{8, 16}, {0, 10, 100, 1000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

BENCHMARK(BM_TileStages)
    ->ArgNames({"depth", "radius", "weights", "planes"})
    ->ArgsProduct({{8, 16}, {0, 10, 100, 1000}, {0}, {3, 1}})
    ->Args({8, 10, 1, 3})
    ->Args({16, 10, 1, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

BENCHMARK(BM_Reference)
    ->ArgNames({"depth", "radius"})
    ->ArgsProduct({{8, 16}, {0, 10, 100, 1000}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

BENCHMARK(BM_GrayOverRgb)
    ->ArgNames({"depth", "radius"})
    ->ArgsProduct({{8, 16}, {10, 1000}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
