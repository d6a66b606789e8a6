#include "tests/support/test_host.h"

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

void FilterHostImage(const HostImage &source, const Rect &filterRect,
                     HostImage *destination, HostRun *run) {
  HostRun local;
  if (run == nullptr) run = &local;
  FilterRecord record{};
  record.imageSize = {int16_t(source.height), int16_t(source.width)};
  record.planes = int16_t(source.planes);
  record.depth = source.depth;
  // As our host tells them: one or two planes are a gray document.
  record.imageMode = source.planes < 3
                         ? (source.depth == 16 ? kModeGray16 : kModeGrayscale)
                         : (source.depth == 16 ? kModeRGB48 : kModeRGB);
  record.filterRect = filterRect;
  record.inHiPlane = record.outHiPlane = int16_t(source.planes - 1);
  record.inputPadding = record.outputPadding = kPaddingReplicate;
  record.inputRate = 0x10000;
  // Not zeros, as a host's fresh handle need not be: the engine must read
  // only what it wrote (a gray tile's hue and saturation, say).
  std::vector<uint8_t> work(size_t(EngineMemorySize(&record)), 0xA5);
  AttachEngineMemory(&record, work.data());
  reference::AttachEngineMemory(&record, work.data());
  PrepareEngineTables(&record);
  // Rows longer than their pixels: the engine must step by the row bytes.
  const ServeOptions options{RequestBehaviour::kConforming, 6};
  TileBuffer in, out;
  // Served in place as our host serves the module, where it would.
  const ServeOptions unpadded{RequestBehaviour::kConforming, 0};
  const Rect anywhere{INT16_MIN, INT16_MIN, INT16_MAX, INT16_MAX};
  const auto serve = [&](const HostImage &image, const TileRequest &request,
                         TileBuffer *tile) {
    if (!run->inPlace ||
        !ServeInPlace(image, request, unpadded, anywhere, tile)) {
      FillTile(image, request, options, tile);
    }
  };
  while (NextTile(&record)) {
    const int16_t hi = record.inHiPlane;
    serve(source, {record.inRect, 0, hi, kPaddingReplicate}, &in);
    serve(*destination, {record.outRect, 0, hi, kPaddingReplicate}, &out);
    record.inData = const_cast<uint8_t *>(in.Data());
    record.inRowBytes = in.rowBytes;
    record.outData = const_cast<uint8_t *>(out.Data());
    record.outRowBytes = out.rowBytes;
    const std::clock_t start = std::clock();
    run->processTile ? run->processTile(&record) : ProcessTileCounted(&record);
    run->engineSeconds += double(std::clock() - start) / CLOCKS_PER_SEC;
    // An output served in place needs no writing back: WriteTile skips it.
    WriteTile(out, record.outRect, RequestBehaviour::kConforming, destination);
  }
  reference::DetachEngineMemory(&record);
  DetachEngineMemory(&record);
}

HostImage GrayThroughRgb(const HostImage &gray, const Rect &area) {
  HostImage rgb = MakeImage(gray.width, gray.height, 3, gray.depth);
  for (size_t i = 0; i < rgb.samples.size(); ++i)
    rgb.samples[i] = gray.samples[i / 3 * size_t(gray.planes)];
  HostImage filtered = rgb, result = gray;
  FilterHostImage(rgb, area, &filtered);
  for (size_t i = 0; i < result.samples.size(); i += size_t(gray.planes))
    result.samples[i] = filtered.samples[i / size_t(gray.planes) * 3];
  return result;
}
