// One tile through the optimised engine, on every kernel path the
// processor offers, and through the straightforward reference engine:
// the outputs must agree bit for bit. The input chooses everything the
// engine takes as given: an output tile of 1 to 256 pixels a side, the
// margin its reach needs (up to 101), 3 to 8 planes of 8 or 16 bits
// (16-bit samples anywhere in 0..65535, past the host's white), row
// padding, the sampling rate, any parameter values, clamped as every
// path into the engine clamps them, and the host's float mode. The host's
// buffers end at their last sample, and samples the engine must not write are
// checked untouched.
#include <fuzzer/FuzzedDataProvider.h>
#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "engine/dispatch.h"
#include "engine/engine.h"
#include "engine/reference.h"
#include "params/filter_params.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

struct Random {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(state >> 33);
  }
};

// Samples from the fuzzer's bytes repeated, from noise, or a smooth
// ramp with a little noise (where sharpening has small differences to
// answer).
void FillSamples(std::vector<uint8_t> *bytes, int32_t sampleBytes,
                 int32_t style, uint64_t seed,
                 const std::vector<uint8_t> &pattern) {
  Random random{seed};
  const size_t n = bytes->size();
  if (style == 0 && !pattern.empty()) {
    for (size_t i = 0; i < n; ++i) (*bytes)[i] = pattern[i % pattern.size()];
    return;
  }
  if (style <= 1) {
    for (size_t i = 0; i < n; ++i) (*bytes)[i] = uint8_t(random.Next() >> 7);
    return;
  }
  for (size_t i = 0; i + size_t(sampleBytes) <= n; i += size_t(sampleBytes)) {
    const uint32_t ramp = uint32_t(i * 37 / 1024) + (random.Next() & 15);
    if (sampleBytes == 2) {
      const uint16_t sample = uint16_t(ramp * 97);
      std::memcpy(&(*bytes)[i], &sample, 2);
    } else {
      (*bytes)[i] = uint8_t(ramp);
    }
  }
}

// The host's buffer of rows rows: each row's pixels then its padding,
// the last row without padding.
size_t BufferBytes(int32_t rows, int32_t rowBytes, int32_t pixelBytes) {
  return size_t(rows - 1) * size_t(rowBytes) + size_t(pixelBytes);
}

// Runs work with the float mode's control bits set, then checks that it
// left them so and gives the fuzzer its own mode back.
template <typename Work>
void InFloatMode(uint32_t mode, Work work) {
  const uint32_t saved = _mm_getcsr();
  _mm_setcsr(mode);
  work();
  const uint32_t after = _mm_getcsr();
  _mm_setcsr(saved);
  FUZZ_CHECK((after & 0xFFC0u) == mode);
}

struct Tables {
  double reach;
  std::vector<int32_t> response, hue, saturation;
};

Tables CurrentTables() {
  return {BlurReach,
          {std::begin(ResponseTable), std::end(ResponseTable)},
          {std::begin(HueWeightTable), std::end(HueWeightTable)},
          {std::begin(SaturationWeightTable), std::end(SaturationWeightTable)}};
}

bool SameTables(const Tables &a, const Tables &b) {
  return a.reach == b.reach && a.response == b.response && a.hue == b.hue &&
         a.saturation == b.saturation;
}

template <typename Run>
std::vector<uint8_t> RunEngine(FilterRecord *record,
                               const std::vector<uint8_t> &outBefore, Run run) {
  std::vector<uint8_t> out(outBefore);
  record->outData = out.data();
  run(record);
  record->outData = nullptr;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int32_t depth = in.ConsumeBool() ? 16 : 8;
  const int32_t sampleBytes = depth / 8;
  const int32_t planes = in.ConsumeIntegralInRange<int32_t>(3, 8);
  const int32_t rows = in.ConsumeIntegralInRange<int32_t>(1, kTileSide);
  const int32_t columns = in.ConsumeIntegralInRange<int32_t>(1, kTileSide);
  const int16_t top = in.ConsumeIntegralInRange<int16_t>(0, 20000);
  const int16_t left = in.ConsumeIntegralInRange<int16_t>(0, 20000);
  // A host may pad its rows; padding is whole samples.
  const int32_t inPadding = in.ConsumeIntegralInRange<int32_t>(0, 9);
  const int32_t outPadding = in.ConsumeIntegralInRange<int32_t>(0, 9);
  // The preview samples at reductions of 16.16; 1.0 is the filtering run.
  const int32_t rate = in.ConsumeBool() ? 0x10000
                                        : in.ConsumeIntegralInRange<int32_t>(
                                              0x10000, 0x10000 * 16);
  SetDefaultParams(&currentParams);
  for (int32_t i = 0; i < kParamCount; ++i)
    SetParamByIndex(i, in.ConsumeIntegral<int32_t>());
  ValidateParams(&currentParams);
  const int32_t style = in.ConsumeIntegralInRange<int32_t>(0, 2);
  const uint64_t seed = in.ConsumeIntegral<uint64_t>();
  // What the work areas hold before the tile: different for the two
  // engines, so that reading a value neither wrote shows as a difference.
  const uint8_t staleOptimised = in.ConsumeIntegral<uint8_t>();
  const uint8_t staleReference = uint8_t(~staleOptimised);
  // The float mode the host calls with: any rounding, flushing to zero,
  // exceptions unmasked (the control bits; the flags start clear).
  const uint32_t hostFloatMode = in.ConsumeIntegral<uint16_t>() & 0xFFC0u;
  const std::vector<uint8_t> pattern = in.ConsumeRemainingBytes<uint8_t>();

  FilterRecord record;
  std::memset(&record, 0, sizeof record);
  record.planes = int16_t(planes);
  record.depth = depth;
  record.inLoPlane = record.outLoPlane = 0;
  record.inHiPlane = record.outHiPlane = int16_t(planes - 1);
  record.inputRate = rate;
  record.outRect = {top, left, int16_t(top + rows), int16_t(left + columns)};
  // The tables and the input rectangle as the host's calls make them, in
  // its float mode, must be those of the float mode they are defined in.
  // (The saturation weights come with the optimised engine's work area;
  // the reference engine, run first, needs them too.)
  BuildSaturationWeights();
  PrepareEngineTables(&record);
  const Tables tables = CurrentTables();
  InFloatMode(hostFloatMode, [&] {
    BuildSaturationWeights();
    PrepareEngineTables(&record);
    SetInputRectFromOutput(&record);
  });
  FUZZ_CHECK(SameTables(tables, CurrentTables()));
  const int32_t margin = InputMargin(BlurReach);
  FUZZ_CHECK(margin >= 0 && margin <= kMaxMargin);

  const int32_t pixelBytes = planes * sampleBytes;
  const int32_t inRows = rows + 2 * margin, inColumns = columns + 2 * margin;
  record.inRowBytes = inColumns * pixelBytes + inPadding * sampleBytes;
  record.outRowBytes = columns * pixelBytes + outPadding * sampleBytes;
  std::vector<uint8_t> input(
      BufferBytes(inRows, record.inRowBytes, inColumns * pixelBytes));
  FillSamples(&input, sampleBytes, style, seed, pattern);
  record.inData = input.data();
  // The output buffer as the host delivers it: its own samples, which the
  // engine replaces in the first three planes only.
  std::vector<uint8_t> outBefore(
      BufferBytes(rows, record.outRowBytes, columns * pixelBytes));
  FillSamples(&outBefore, sampleBytes, 1, seed ^ 0x5EED, pattern);

  static std::vector<uint8_t> workOptimised(kEngineMemoryBytes);
  static std::vector<uint8_t> workReference(kEngineMemoryBytes);
  std::memset(workReference.data(), staleReference, workReference.size());
  reference::AttachEngineMemory(&record, workReference.data());
  const std::vector<uint8_t> expected =
      RunEngine(&record, outBefore, reference::ProcessTile);
  reference::DetachEngineMemory(&record);

  // Samples after the third of each pixel, and row padding, stay.
  for (int32_t y = 0; y < rows; ++y) {
    const size_t row = size_t(y) * size_t(record.outRowBytes);
    for (int32_t x = 0; x < columns; ++x) {
      const size_t extra = row + size_t(x) * pixelBytes + 3 * sampleBytes;
      FUZZ_CHECK(std::memcmp(&expected[extra], &outBefore[extra],
                             size_t(pixelBytes - 3 * sampleBytes)) == 0);
    }
    const size_t end =
        y + 1 < rows ? row + size_t(record.outRowBytes) : expected.size();
    const size_t padding = row + size_t(columns) * pixelBytes;
    FUZZ_CHECK(std::memcmp(&expected[padding], &outBefore[padding],
                           end - padding) == 0);
  }

  const SimdPath chosen = CurrentSimdPath();
  for (SimdPath path : kSimdPaths) {
    if (!UseSimdPath(path)) continue;
    std::memset(workOptimised.data(), staleOptimised, workOptimised.size());
    AttachEngineMemory(&record, workOptimised.data());
    const std::vector<uint8_t> output =
        RunEngine(&record, outBefore, [&](const FilterRecord *r) {
          InFloatMode(hostFloatMode, [r] { ProcessTile(r); });
        });
    DetachEngineMemory(&record);
    if (output != expected) {
      size_t at = 0;
      while (output[at] == expected[at]) ++at;
      std::fprintf(stderr,
                   "%s differs from the reference: %dx%d tile, depth %d, "
                   "planes %d, radius %d, rate 0x%X, margin %d; first at "
                   "byte %zu (row %zu): %u, expected %u\n",
                   SimdPathName(path), columns, rows, depth, planes,
                   GetRadius(), unsigned(rate), margin, at,
                   at / size_t(record.outRowBytes), output[at], expected[at]);
      std::abort();
    }
  }
  UseSimdPath(chosen);
  return 0;
}
