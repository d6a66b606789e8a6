#include "dialog/slider_values.h"

#include "params/pstring.h"

namespace {

const int32_t kPowersOfTen[4] = {1, 10, 100, 1000};

bool IsSpace(unsigned char c) { return c == 32 || c == 202; }

}  // namespace

uint32_t MakeSliderBinding(int32_t editId, int32_t paramIndex,
                           int32_t decimals) {
  return (uint32_t(editId) & 0xFFFF) | ((uint32_t(paramIndex) & 0xFF) << 16) |
         ((uint32_t(decimals) & 0xFF) << 24);
}

uint32_t WithBindingDecimals(uint32_t binding, int32_t decimals) {
  return (binding & 0x00FFFFFF) | ((uint32_t(decimals) & 0xFF) << 24);
}

int32_t PowerOfTen(int32_t decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 3) decimals = 3;
  return kPowersOfTen[decimals];
}

bool SliderRangeFor(int32_t sliderId, int32_t *low, int32_t *high) {
  if (sliderId == 101) {  // radius in tenths
    *low = 0;
    *high = 1000;
    return true;
  }
  if (sliderId >= 104 && sliderId <= 109) {  // colour weights
    *low = -100;
    *high = 100;
    return true;
  }
  *low = 0;
  *high = 100;
  return false;
}

bool SquareLawTravel(int32_t sliderId) { return sliderId == 101; }

int32_t SquareLawValue(int32_t position, int32_t high) {
  if (high <= 0) return 0;
  const int64_t p = position;
  return int32_t((p * p + high / 2) / high);
}

int32_t SquareLawPosition(int32_t value, int32_t high) {
  if (high <= 0 || value <= 0) return 0;
  int32_t position = 0;
  while (position < high && SquareLawValue(position + 1, high) <= value)
    ++position;
  // The last position not above the value, or the next one when nearer.
  if (position < high && SquareLawValue(position + 1, high) - value <
                             value - SquareLawValue(position, high))
    ++position;
  return position;
}

int32_t SliderValueFromPosition(int32_t position, int32_t low, int32_t high,
                                bool vertical) {
  const int32_t value = vertical ? high + low - position : position;
  // A centre detent, for ranges that run through 0.
  if (low < 0 && low / 32 < value && value < high / 32) return 0;
  return value;
}

int32_t SliderPositionFromValue(int32_t value, int32_t low, int32_t high,
                                bool vertical) {
  return vertical ? high + low - value : value;
}

bool TextHasDigit(const unsigned char *text) {
  for (int32_t i = 1; i <= text[0]; ++i)
    if (text[i] >= '0' && text[i] <= '9') return true;
  return false;
}

bool ParseEditFloat(const unsigned char *text, float low, float high,
                    float *value) {
  *value = low;
  if (text[0] == 0) return false;
  const float number = PStringToFloat(text);
  if (number < low) return false;
  if (number > high) {
    *value = high;
    return false;
  }
  *value = number;
  return true;
}

namespace {

// The text's number in units of 1 / 10^decimals, read with the grammar of
// PStringToFloat (signs and spaces in front, "." or "," restarting the
// fraction, other characters skipped). Saturates far beyond any range.
int64_t TextUnits(const unsigned char *text, int32_t decimals) {
  const int32_t length = text[0];
  int32_t i = 1;
  while (i < length && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i <= length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
    while (i < length && IsSpace(text[i])) ++i;
  }
  // All digits make one number; the digits after the last separator are
  // its fraction.
  char digits[256];
  int32_t count = 0, lastSeparator = -1;
  for (; i <= length; ++i) {
    const unsigned char c = text[i];
    if (c == '.' || c == ',')
      lastSeparator = count;
    else if (c >= '0' && c <= '9')
      digits[count++] = char(c);
  }
  const int32_t integerDigits = lastSeparator < 0 ? count : lastSeparator;
  const int64_t kCap = int64_t(1) << 40;
  int64_t units = 0;
  for (int32_t k = 0; k < integerDigits + decimals; ++k) {
    const int32_t digit = k < count ? digits[k] - '0' : 0;
    units = units * 10 + digit;
    if (units > kCap) units = kCap;
  }
  return negative ? -units : units;
}

}  // namespace

bool EditUnitsFromText(const unsigned char *text, int32_t decimals, int32_t low,
                       int32_t high, int32_t *units) {
  const int32_t power = PowerOfTen(decimals);
  float number;
  if (!ParseEditFloat(text, float(low) / float(power),
                      float(high) / float(power), &number)) {
    *units = text[0] != 0 && number > float(low) / float(power) ? high : low;
    return false;
  }
  int64_t value = TextUnits(text, decimals);
  // The single-precision test may let a hair past an end through.
  if (value < low) value = low;
  if (value > high) value = high;
  *units = int32_t(value);
  return true;
}
