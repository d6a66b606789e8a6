#include "tests/support/test_host.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "engine/engine.h"
#include "engine/reference.h"
#include "host/tile_server.h"
#include "params/params.h"

void ApplyEngineSettings(const EngineSettings &settings) {
  SetDefaultParams(&currentParams);
  SetParamByIndex(kParamRadius, settings.radius);
  SetParamByIndex(kParamResponse, settings.response);
  SetParamByIndex(kParamSpread, settings.spread);
  for (int32_t k = 0; k < 6; ++k) {
    SetParamByIndex(kParamFirstColourWeight + k, settings.weights[k]);
  }
}

void PrepareTablesFor(const EngineSettings &settings, int32_t inputRate) {
  ApplyEngineSettings(settings);
  FilterRecord record{};
  record.inputRate = inputRate;
  PrepareEngineTables(&record);
  BuildSaturationWeights();
}

HostImage MakeTestPicture(int32_t width, int32_t height, int32_t planes,
                          int32_t depth, uint32_t seed) {
  HostImage image = MakeImage(width, height, planes, depth);
  uint32_t state = seed;
  auto next = [&state]() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      int32_t rgb[3] = {x * 255 / width, y * 255 / height,
                        (x + y) * 255 / (width + height)};
      // Blocks with their channels rotated give hard coloured edges.
      std::rotate(rgb, rgb + (x / 37 + y / 23) % 3, rgb + 3);
      for (int32_t p = 0; p < planes; ++p) {
        const int32_t sample = std::clamp(
            (p < 3 ? rgb[p] : 128) + int32_t(next() % 41) - 20, 0, 255);
        SampleAt(image, x, y, p) = uint16_t(
            depth == 16 ? std::min(sample * 128 + int32_t(next() % 128), 32768)
                        : sample);
      }
    }
  }
  return image;
}

void FilterHostImage(const HostImage &source, const Rect &filterRect,
                     HostImage *destination, HostRun *run) {
  HostRun local;
  if (run == nullptr) run = &local;
  FilterRecord record{};
  record.imageSize = {int16_t(source.height), int16_t(source.width)};
  record.planes = int16_t(source.planes);
  record.depth = source.depth;
  record.filterRect = filterRect;
  record.inHiPlane = record.outHiPlane = int16_t(source.planes - 1);
  record.inputPadding = record.outputPadding = kPaddingReplicate;
  record.inputRate = 0x10000;
  std::vector<uint8_t> work(size_t(EngineMemorySize(&record)));
  AttachEngineMemory(&record, work.data());
  reference::AttachEngineMemory(&record, work.data());
  PrepareEngineTables(&record);
  // Rows longer than their pixels: the engine must step by the row bytes.
  const ServeOptions options{RequestBehaviour::kConforming, 6};
  TileBuffer in, out;
  while (NextTile(&record)) {
    const int16_t hi = record.inHiPlane;
    FillTile(source, {record.inRect, 0, hi, kPaddingReplicate}, options, &in);
    FillTile(*destination, {record.outRect, 0, hi, kPaddingReplicate}, options,
             &out);
    record.inData = in.bytes.data();
    record.inRowBytes = in.rowBytes;
    record.outData = out.bytes.data();
    record.outRowBytes = out.rowBytes;
    const std::clock_t start = std::clock();
    run->processTile ? run->processTile(&record) : ProcessTileCounted(&record);
    run->engineSeconds += double(std::clock() - start) / CLOCKS_PER_SEC;
    WriteTile(out, record.outRect, RequestBehaviour::kConforming, destination);
  }
  reference::DetachEngineMemory(&record);
  DetachEngineMemory(&record);
}
