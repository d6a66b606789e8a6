// The parameter block as a host hands it back in its parameters handle
// (native byte order, any contents: a host may store and replay it), run
// through what the parameters and start selectors do with it: revalidate
// and arm the dialog, load into the current record with the clamp the
// engine relies on, store back. The rest of the input sets values by
// index as the dialog and the engine address them.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "params/filter_params.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

struct Range {
  int32_t lo, hi;
};
// By ParamIndex: radius, response, spread, six colour weights.
constexpr Range kRanges[kParamCount] = {{0, 1000},   {0, 100},    {0, 100},
                                        {-100, 100}, {-100, 100}, {-100, 100},
                                        {-100, 100}, {-100, 100}, {-100, 100}};

int32_t ValueAt(const FilterParams &p, int32_t index) {
  if (index == kParamRadius) return p.radius;
  if (index == kParamResponse) return p.response;
  if (index == kParamSpread) return p.spread;
  return p.colourWeight[index - kParamFirstColourWeight];
}

bool SameName(const FilterParams &a, const FilterParams &b) {
  return std::memcmp(a.name, b.name, size_t(a.name[0]) + 1) == 0;
}

void CheckClamped(const FilterParams &clamped, const FilterParams &raw) {
  for (int32_t i = 0; i < kParamCount; ++i) {
    FUZZ_CHECK(ValueAt(clamped, i) ==
               ClampTo(ValueAt(raw, i), kRanges[i].lo, kRanges[i].hi));
  }
  FUZZ_CHECK(SameName(clamped, raw));
}

uint32_t Swapped(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < sizeof(ParamBlock)) return 0;
  ParamBlock host;
  std::memcpy(&host, data, sizeof host);
  const bool ours = host.signature == kBlockSignature;

  // The parameters selector: only the signature is tested; values are
  // clamped in place, the dialog armed, nothing else touched.
  ParamBlock revalidated = host;
  if (ours) {
    ValidateParams(&revalidated.params);
    revalidated.params.showDialog = 1;
    CheckClamped(revalidated.params, host.params);
    FUZZ_CHECK(std::memcmp(&revalidated, &host, 24) == 0);
    FUZZ_CHECK(std::memcmp(revalidated.params.reserved, host.params.reserved,
                           sizeof host.params.reserved) == 0);
    // Clamping twice changes nothing more.
    ParamBlock twice = revalidated;
    ValidateParams(&twice.params);
    FUZZ_CHECK(std::memcmp(&twice, &revalidated, sizeof twice) == 0);
  }

  // The start selector on a block replayed as the host stored it.
  std::memset(&currentParams, 0x99, sizeof currentParams);
  ResetCurrentParams();
  if (ours) {
    CopyIntoCurrentParams(&host.params);
    ValidateParams(&currentParams);
    FUZZ_CHECK(currentParams.showDialog == host.params.showDialog);
    CheckClamped(currentParams, host.params);
    FUZZ_CHECK(GetRadius() == currentParams.radius);
    FUZZ_CHECK(GetResponse() == currentParams.response);
    FUZZ_CHECK(GetSpread() == currentParams.spread);
    for (int32_t i = 0; i < kParamCount; ++i)
      FUZZ_CHECK(GetParamByIndex(i) == ValueAt(currentParams, i));
    // After OK: back into the block, whose header stays the host's.
    ParamBlock stored = host;
    CopyOutOfCurrentParams(&stored.params);
    FUZZ_CHECK(std::memcmp(&stored, &host, 24) == 0);
    FUZZ_CHECK(stored.params.showDialog == currentParams.showDialog);
    FUZZ_CHECK(SameName(stored.params, currentParams));
    for (int32_t i = 0; i < kParamCount; ++i)
      FUZZ_CHECK(ValueAt(stored.params, i) == ValueAt(currentParams, i));
  } else {
    FUZZ_CHECK(GetRadius() == 10 && GetResponse() == 50 && GetSpread() == 50);
  }

  // File order and back: every field byte-reversed, then as it was.
  FilterParams file, back;
  std::memset(&file, 0, sizeof file);
  std::memset(&back, 0, sizeof back);
  SwapCopyParams(&host.params, &file);
  SwapCopyParams(&file, &back);
  FUZZ_CHECK(uint32_t(file.radius) == Swapped(uint32_t(host.params.radius)));
  FUZZ_CHECK(uint32_t(file.showDialog) ==
             Swapped(uint32_t(host.params.showDialog)));
  FUZZ_CHECK(back.showDialog == host.params.showDialog);
  for (int32_t i = 0; i < kParamCount; ++i)
    FUZZ_CHECK(ValueAt(back, i) == ValueAt(host.params, i));
  FUZZ_CHECK(SameName(back, host.params));
  ParamBlock header = host;
  SwapHeader(&header, &header);
  FUZZ_CHECK(header.signature == Swapped(host.signature));
  SwapHeader(&header, &header);
  FUZZ_CHECK(std::memcmp(&header, &host, 24) == 0);

  // Values by index, five bytes each: an index (any, also out of range)
  // and a value. Out of range writes nothing and reads 0.
  for (size_t at = sizeof host; at + 5 <= size; at += 5) {
    const int32_t index = int8_t(data[at]);
    int32_t value;
    std::memcpy(&value, data + at + 1, 4);
    FilterParams saved = currentParams;
    FUZZ_CHECK(SetParamByIndex(index, value) == value);
    if (index >= 0 && index < kParamCount) {
      FUZZ_CHECK(GetParamByIndex(index) == value);
      FUZZ_CHECK(ValueAt(currentParams, index) == value);
    } else {
      FUZZ_CHECK(GetParamByIndex(index) == 0);
      FUZZ_CHECK(std::memcmp(&saved, &currentParams, sizeof saved) == 0);
    }
  }
  FilterParams raw = currentParams;
  ValidateParams(&currentParams);
  CheckClamped(currentParams, raw);
  return 0;
}
