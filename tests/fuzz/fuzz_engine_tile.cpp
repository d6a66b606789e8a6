// One tile through the optimised engine, on every kernel path the
// processor offers, and through the reference engine: the outputs must
// agree bit for bit. The input chooses what the engine takes as given:
// tiles of 1 to 256 pixels a side with the margin their reach needs, 3
// to 8 planes of 8 or 16 bits (any 16-bit value), row padding, the
// sampling rate, any parameter values as every path into the engine
// clamps them, stale work-area bytes and the host's float mode. The
// host's buffers end at their last sample; samples the engine must not
// write stay.
#include <fuzzer/FuzzedDataProvider.h>
#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/dispatch.h"
#include "engine/engine.h"
#include "engine/reference.h"
#include "params/filter_params.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Samples from the fuzzer's bytes repeated, from noise, or a smooth
// ramp with a little noise (where sharpening has small differences to
// answer).
void FillSamples(std::vector<uint8_t> *bytes, int32_t sampleBytes,
                 int32_t style, uint64_t state,
                 const std::vector<uint8_t> &pattern) {
  for (size_t i = 0; i < bytes->size(); ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    (*bytes)[i] = style == 0 && !pattern.empty() ? pattern[i % pattern.size()]
                                                 : uint8_t(state >> 40);
  }
  for (size_t i = 0; style == 2 && i < bytes->size(); i += sampleBytes) {
    const uint16_t ramp =
        uint16_t((uint32_t(i * 37 / 1024) + ((*bytes)[i] & 15)) *
                 (sampleBytes == 2 ? 97 : 1));
    std::memcpy(&(*bytes)[i], &ramp, size_t(sampleBytes));
  }
}

// The host's buffer of rows rows: each row's pixels then its padding,
// the last row without padding.
std::vector<uint8_t> HostBuffer(int32_t rows, int32_t rowBytes,
                                int32_t pixelBytes) {
  return std::vector<uint8_t>(size_t(rows - 1) * size_t(rowBytes) +
                              size_t(pixelBytes));
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

// Every table the engine builds, and the reach, as bytes.
std::vector<uint8_t> Tables() {
  std::vector<uint8_t> bytes;
  const auto add = [&bytes](const void *data, size_t size) {
    const uint8_t *p = static_cast<const uint8_t *>(data);
    bytes.insert(bytes.end(), p, p + size);
  };
  add(&BlurReach, sizeof BlurReach);
  add(ResponseTable, sizeof ResponseTable);
  add(HueWeightTable, sizeof HueWeightTable);
  add(SaturationWeightTable, sizeof SaturationWeightTable);
  return bytes;
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
  // Different stale bytes for the two engines' work areas, so that
  // reading a value neither wrote shows as a difference.
  const uint8_t staleOptimised = in.ConsumeIntegral<uint8_t>();
  // The float mode the host calls with: any rounding, flushing to zero,
  // exceptions unmasked (the control bits; the flags start clear).
  const uint32_t hostFloatMode = in.ConsumeIntegral<uint16_t>() & 0xFFC0u;
  const std::vector<uint8_t> pattern = in.ConsumeRemainingBytes<uint8_t>();

  FilterRecord record;
  std::memset(&record, 0, sizeof record);
  record.planes = int16_t(planes);
  record.depth = depth;
  record.inHiPlane = record.outHiPlane = int16_t(planes - 1);
  record.inputRate = rate;
  record.outRect = {top, left, int16_t(top + rows), int16_t(left + columns)};
  // The tables and the input rectangle made in the host's float mode must
  // be those of the mode they are defined in. (The saturation weights
  // come with the optimised engine's work area; the reference engine, run
  // first, needs them too.)
  BuildSaturationWeights();
  PrepareEngineTables(&record);
  const std::vector<uint8_t> tables = Tables();
  InFloatMode(hostFloatMode, [&] {
    BuildSaturationWeights();
    PrepareEngineTables(&record);
    SetInputRectFromOutput(&record);
  });
  FUZZ_CHECK(Tables() == tables);
  const int32_t margin = InputMargin(BlurReach);
  FUZZ_CHECK(margin >= 0 && margin <= kMaxMargin);

  const int32_t pixelBytes = planes * sampleBytes;
  const int32_t inColumns = columns + 2 * margin;
  record.inRowBytes = inColumns * pixelBytes + inPadding * sampleBytes;
  record.outRowBytes = columns * pixelBytes + outPadding * sampleBytes;
  std::vector<uint8_t> input =
      HostBuffer(rows + 2 * margin, record.inRowBytes, inColumns * pixelBytes);
  FillSamples(&input, sampleBytes, style, seed, pattern);
  record.inData = input.data();
  // The output buffer as the host delivers it: its own samples, which the
  // engine replaces in the first three planes only.
  std::vector<uint8_t> before =
      HostBuffer(rows, record.outRowBytes, columns * pixelBytes);
  FillSamples(&before, sampleBytes, 1, seed ^ 0x5EED, pattern);

  static std::vector<uint8_t> work(kEngineMemoryBytes);
  std::memset(work.data(), uint8_t(~staleOptimised), work.size());
  std::vector<uint8_t> expected = before;
  record.outData = expected.data();
  reference::AttachEngineMemory(&record, work.data());
  reference::ProcessTile(&record);
  reference::DetachEngineMemory(&record);

  // Samples after the third of each pixel, and row padding, stay.
  for (size_t at = 0; at < before.size(); ++at) {
    const size_t x = at % size_t(record.outRowBytes);
    if (x >= size_t(columns * pixelBytes) ||
        x % size_t(pixelBytes) >= size_t(3 * sampleBytes))
      FUZZ_CHECK(expected[at] == before[at]);
  }

  const SimdPath chosen = CurrentSimdPath();
  for (SimdPath path : kSimdPaths) {
    if (!UseSimdPath(path)) continue;
    std::memset(work.data(), staleOptimised, work.size());
    std::vector<uint8_t> output = before;
    record.outData = output.data();
    AttachEngineMemory(&record, work.data());
    InFloatMode(hostFloatMode, [&] { ProcessTile(&record); });
    DetachEngineMemory(&record);
    if (output != expected) {
      // The saved input reproduces it.
      std::fprintf(stderr, "%s kernels differ from the reference engine\n",
                   SimdPathName(path));
      std::abort();
    }
  }
  UseSimdPath(chosen);
  return 0;
}
