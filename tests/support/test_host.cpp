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
  const auto inPlace = [run](const HostImage &image, const Rect &r) {
    return run->inPlace && r.top >= 0 && r.left >= 0 &&
           r.bottom <= image.height && r.right <= image.width;
  };
  const int32_t rowBytes =
      source.width * source.planes * source.samples.BytesPerSample();
  while (NextTile(&record)) {
    const int16_t hi = record.inHiPlane;
    const Rect &inRect = record.inRect, &outRect = record.outRect;
    const bool inHere = inPlace(source, inRect);
    const bool outHere = inPlace(*destination, outRect);
    if (inHere) {
      record.inData = const_cast<uint8_t *>(source.samples.Bytes(
          SampleIndex(source, inRect.left, inRect.top, 0)));
      record.inRowBytes = rowBytes;
    } else {
      FillTile(source, {inRect, 0, hi, kPaddingReplicate}, options, &in);
      record.inData = in.bytes.data();
      record.inRowBytes = in.rowBytes;
    }
    if (outHere) {
      record.outData = destination->samples.Bytes(
          SampleIndex(*destination, outRect.left, outRect.top, 0));
      record.outRowBytes = rowBytes;
    } else {
      FillTile(*destination, {outRect, 0, hi, kPaddingReplicate}, options,
               &out);
      record.outData = out.bytes.data();
      record.outRowBytes = out.rowBytes;
    }
    const std::clock_t start = std::clock();
    run->processTile ? run->processTile(&record) : ProcessTileCounted(&record);
    run->engineSeconds += double(std::clock() - start) / CLOCKS_PER_SEC;
    if (!outHere) {
      WriteTile(out, record.outRect, RequestBehaviour::kConforming,
                destination);
    }
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
