// The engine run as a host runs it, for tests and the benchmark: the
// engine's controls, and a whole-image run that walks the tiles and
// serves them through our host's tile server.
#pragma once

#include <cstdint>
#include <functional>

#include "host/image.h"
#include "params/host_records.h"

// The engine reads its controls from currentParams.
struct EngineSettings {
  int32_t radius = 10;
  int32_t response = 50;
  int32_t spread = 50;
  int32_t weights[6] = {0, 0, 0, 0, 0, 0};  // red, yellow, ... magenta
};

// currentParams: the defaults with these controls.
void ApplyEngineSettings(const EngineSettings &settings);
// ApplyEngineSettings, then the engine's tables at this input rate
// (16.16; 0x10000 is full resolution). The saturation weights too.
void PrepareTablesFor(const EngineSettings &settings,
                      int32_t inputRate = 0x10000);

struct HostRun {
  double engineSeconds = 0;  // processor time inside the tile processing
  // Processes each tile instead of ProcessTileCounted: the reference
  // engine's, or the stages one by one. The work area is laid out for
  // both engines.
  std::function<int32_t(const FilterRecord *)> processTile;
  // Tiles inside the image handed out in place, the document's own rows,
  // as a conforming host hands them out; otherwise copied.
  bool inPlace = false;
};

// Filters filterRect as the filtering run does: tables from currentParams,
// then every tile of NextTile with its input from source (edges
// replicated) and its output buffer from destination, written back there.
// Rows carry padding, as a host's may.
void FilterHostImage(const HostImage &source, const Rect &filterRect,
                     HostImage *destination, HostRun *run = nullptr);

// The gray document as the engine must filter area of it: its gray plane
// is the first channel of the filtered RGB document whose three channels
// hold that gray; a second plane stays as it was.
HostImage GrayThroughRgb(const HostImage &gray, const Rect &area);
