// The number text of the dialog's edit boxes, and length-prefixed
// strings through C strings. Text of any bytes is read only up to its
// length byte (held in a buffer that ends there, and compared with the
// same text followed by other bytes); what comes out is a number within
// the box's range near the text's own digits; the text the dialog writes
// for a value reads back as that value.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "dialog/slider_values.h"
#include "params/pstring.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// A PString in a heap block that ends right after its last character.
std::unique_ptr<unsigned char[]> ExactText(const std::string &chars) {
  std::unique_ptr<unsigned char[]> text(new unsigned char[chars.size() + 1]);
  text[0] = (unsigned char)chars.size();
  std::memcpy(text.get() + 1, chars.data(), chars.size());
  return text;
}

// The same characters in a full 256-byte buffer, the rest digits and
// separators that would change the number if they were read.
void PaddedText(const std::string &chars, PString text) {
  std::memset(text, '9', sizeof(PString));
  text[1 + chars.size() < sizeof(PString) ? 1 + chars.size() : 255] = '.';
  text[0] = (unsigned char)chars.size();
  std::memcpy(text + 1, chars.data(), chars.size());
}

bool SameFloat(float a, float b) { return std::memcmp(&a, &b, 4) == 0; }

std::string Chars(const unsigned char *s) {
  return std::string(reinterpret_cast<const char *>(s) + 1, s[0]);
}

void CheckParsing(const std::string &chars, int32_t decimals, int32_t low,
                  int32_t high) {
  const auto exact = ExactText(chars);
  PString padded;
  PaddedText(chars, padded);

  const float number = PStringToFloat(exact.get());
  FUZZ_CHECK(SameFloat(number, PStringToFloat(padded)));
  FUZZ_CHECK(!std::isnan(number));

  const int32_t power = PowerOfTen(decimals);
  const float lowF = float(low) / float(power),
              highF = float(high) / float(power);
  float value = 0;
  const bool inRange = ParseEditFloat(exact.get(), lowF, highF, &value);
  if (inRange) {
    FUZZ_CHECK(value >= lowF && value <= highF && SameFloat(value, number));
  } else {
    FUZZ_CHECK(SameFloat(value, lowF) || SameFloat(value, highF));
  }

  int32_t units = 0, unitsPadded = 0;
  const bool taken =
      EditUnitsFromText(exact.get(), decimals, low, high, &units);
  FUZZ_CHECK(taken ==
             EditUnitsFromText(padded, decimals, low, high, &unitsPadded));
  FUZZ_CHECK(units == unitsPadded);
  FUZZ_CHECK(units >= low && units <= high);
  FUZZ_CHECK(taken == inRange);
  if (taken) {
    // The digits' own value, truncated, against the float reading: apart
    // by less than one unit and the float's own rounding.
    const double scaled = double(number) * power;
    FUZZ_CHECK(std::fabs(units - scaled) <= 1.0 + std::fabs(scaled) * 1e-6);
  } else {
    FUZZ_CHECK(units == low || units == high);
  }
}

// What the dialog writes into a box for a value, read back.
void CheckFormatting(int32_t units, int32_t decimals, int32_t low, int32_t high,
                     bool forceSign) {
  const int32_t power = PowerOfTen(decimals);
  PString text;
  FloatToPString(float(units) / float(power), decimals, text, forceSign);
  const std::string chars = Chars(text);
  FUZZ_CHECK(chars.find_first_not_of("+-.0123456789") == std::string::npos);
  int32_t back = 0;
  FUZZ_CHECK(EditUnitsFromText(text, decimals, low, high, &back));
  FUZZ_CHECK(back == units);
}

// Text through a C string and back: up to the first NUL.
void CheckCString(const std::string &chars) {
  PString text, copy;
  PaddedText(chars, text);
  char c[257];
  PStringToC(text, c);
  CToPString(c, copy);
  FUZZ_CHECK(Chars(copy) == chars.substr(0, chars.find('\0')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int32_t decimals = in.ConsumeIntegralInRange<int32_t>(0, 3);
  // Ranges as wide as any box could have, the dialog's among them.
  int32_t low = in.ConsumeIntegralInRange<int32_t>(-100000, 100000);
  int32_t high = in.ConsumeIntegralInRange<int32_t>(-100000, 100000);
  if (low > high) std::swap(low, high);
  const int32_t units = in.ConsumeIntegralInRange<int32_t>(low, high);
  const bool forceSign = in.ConsumeBool();
  const std::string other = in.ConsumeRandomLengthString(255);
  const std::string chars = in.ConsumeBytesAsString(
      in.remaining_bytes() > 255 ? 255 : in.remaining_bytes());

  CheckParsing(chars, decimals, low, high);
  CheckFormatting(units, decimals, low, high, forceSign);
  CheckCString(other);
  return 0;
}
