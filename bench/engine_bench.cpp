// Throughput of the tile pipeline over a whole 24-megapixel image, tiled
// exactly as the filtering run tiles it, for 8 and 16 bits and four
// radii. Two figures per case: the whole run including the host's side
// (serving edge-replicated input tiles and copying output tiles), and
// the engine alone (the time inside ProcessTileCounted). Both figures
// count processor time, so that a busy machine disturbs them less.
#include <benchmark/benchmark.h>

#include <ctime>
#include <map>

#include "tests/support/test_host.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

const HostImage &Picture(int32_t depth) {
  static std::map<int32_t, HostImage> pictures;
  auto found = pictures.find(depth);
  if (found == pictures.end()) {
    found =
        pictures.emplace(depth, MakeTestPicture(kWidth, kHeight, 3, depth, 1))
            .first;
  }
  return found->second;
}

void BM_TilePipeline(benchmark::State &state) {
  const int32_t depth = int32_t(state.range(0));
  EngineSettings settings;
  settings.radius = int32_t(state.range(1));  // tenths of a pixel
  ApplyEngineSettings(settings);
  const HostImage &source = Picture(depth);
  HostImage destination = source;
  const Rect whole = {0, 0, kHeight, kWidth};

  double runSeconds = 0, engineSeconds = 0;
  for (auto _ : state) {
    HostRun run;
    const std::clock_t start = std::clock();
    FilterHostImage(source, whole, &destination, &run);
    runSeconds += double(std::clock() - start) / CLOCKS_PER_SEC;
    engineSeconds += run.engineSeconds;
    benchmark::DoNotOptimize(destination.bytes.data());
  }
  const double megapixels =
      double(kWidth) * kHeight * double(state.iterations()) / 1e6;
  state.counters["MP/s"] = megapixels / runSeconds;
  state.counters["engine MP/s"] = megapixels / engineSeconds;
}

BENCHMARK(BM_TilePipeline)
    ->ArgNames({"depth", "radius"})
    ->ArgsProduct({{8, 16}, {0, 10, 100, 1000}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
