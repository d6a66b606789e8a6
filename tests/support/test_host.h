// A small conforming host for the engine, for tests and the benchmark:
// interleaved images in memory, the engine's settings, and a whole-image
// filtering run that walks and serves tiles as a host does.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

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

// Interleaved pixels of planes samples, 8 or 16 bits (native order).
struct HostImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t planes = 3;
  int32_t depth = 8;
  std::vector<unsigned char> bytes;
};

HostImage MakeHostImage(int32_t width, int32_t height, int32_t planes,
                        int32_t depth);
uint32_t GetSample(const HostImage &image, int32_t x, int32_t y, int32_t plane);
void SetSample(HostImage *image, int32_t x, int32_t y, int32_t plane,
               uint32_t value);
// Sets the first three samples of a pixel.
void SetRgb(HostImage *image, int32_t x, int32_t y, uint32_t r, uint32_t g,
            uint32_t b);

// A deterministic picture with gradients, hard edges and noise, every
// hue and many saturations; samples after the third are noise too.
// 16-bit samples stay within 0..32768.
HostImage MakeTestPicture(int32_t width, int32_t height, int32_t planes,
                          int32_t depth, uint32_t seed);

// What one run did, tile by tile.
struct TileVisit {
  Rect inRect;
  Rect outRect;
  int32_t count;  // ProcessTileCounted's answer
};
struct HostRun {
  std::vector<TileVisit> tiles;
  int32_t done = 0;
  int32_t total = 0;
  double engineSeconds = 0;  // processor time inside ProcessTileCounted
  // The tables' sampling rate, as the preview sets it (16.16); the tiles
  // are still served at full resolution.
  int32_t inputRate = 0x10000;
  // Processes each tile instead of ProcessTileCounted: the reference
  // engine's, or the stages one by one. The work area is laid out for
  // both engines.
  std::function<int32_t(const FilterRecord *)> processTile;
  // Called after each tile is processed, while the work area holds it.
  std::function<void(const FilterRecord &)> afterTile;
};

// Filters filterRect the way the filtering run does: engine memory,
// tables from currentParams at the run's input rate, then for every tile of
// NextTile the input rectangle from source, with coordinates outside the
// image clamped to its edge, and an output buffer holding destination's
// pixels, which receives the result. Source and destination have the
// same geometry; destination starts as the caller wants the untouched
// samples to be. Row strides carry padding, as a host's may.
void FilterHostImage(const HostImage &source, const Rect &filterRect,
                     HostImage *destination, HostRun *run = nullptr);
