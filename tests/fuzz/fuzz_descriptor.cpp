// The module's reading of a descriptor, through our host's read
// procedures, from text of any bytes (the host's text form, which it
// reads leniently, skipping what it cannot read). Whatever arrives, every
// setting stays in its range, a setting the text does not name keeps its
// value, the reader is closed and no handle is left or written past its
// end; the settings written back read back the same.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "host/descriptors.h"
#include "params/script_settings.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool Named(const Descriptor &d, const ScriptSetting &s) {
  for (const DescriptorItem &item : d.items)
    if (item.key == s.key) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  HandleBook book;
  DescriptorSuite suite;
  InitDescriptorSuite(&suite, &book);
  const std::string text(reinterpret_cast<const char *>(data), size);
  Descriptor parsed;
  ParseDescriptorText(text, &parsed, nullptr);
  Handle h = BookNewHandle(&book, int32_t(size), false);
  if (size) std::memcpy(*h, data, size);

  FilterParams before;
  SetDefaultParams(&before);
  before.radius = 555;
  before.colourWeight[5] = -99;
  FilterParams params = before;
  const int32_t taken = ReadScriptSettings(&suite.readProcs, h, &params);
  FUZZ_CHECK(taken >= 0 && size_t(taken) <= parsed.items.size());
  for (int32_t i = 0; i < kScriptSettingCount; ++i) {
    const ScriptSetting &s = kScriptSettings[i];
    const int32_t value = *ParamField(&params, s.index);
    FUZZ_CHECK(value >= s.low && value <= s.high);
    if (!Named(parsed, s)) FUZZ_CHECK(value == *ParamField(&before, s.index));
  }
  BookDisposeHandle(&book, h, false);

  Handle recorded = nullptr;
  FUZZ_CHECK(WriteScriptSettings(&suite.writeProcs, &params, &recorded) == 0);
  FilterParams again = before;
  FUZZ_CHECK(ReadScriptSettings(&suite.readProcs, recorded, &again) ==
             kScriptSettingCount);
  for (int32_t i = 0; i < kParamCount; ++i)
    FUZZ_CHECK(*ParamField(&again, i) == *ParamField(&params, i));
  BookDisposeHandle(&book, recorded, false);

  CheckDescriptorsAfterInvocation(&suite);
  CheckHandlesAfterInvocation(&book, nullptr);
  FUZZ_CHECK(book.failures.empty() && suite.failures.empty());
  ServeDescriptorSuite(nullptr);
  return 0;
}
