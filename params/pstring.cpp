#include "params/pstring.h"

#include <cfloat>
#include <cstring>

void PStringCopy(const unsigned char *source, unsigned char *destination) {
  if (!source || !destination) return;
  std::memmove(destination, source, size_t(source[0]) + 1);
}

void PStringAppend(const unsigned char *piece, unsigned char *destination) {
  if (!piece || !destination) return;
  int have = destination[0];
  int take = piece[0];
  if (have + take > 255) take = 255 - have;
  std::memmove(destination + 1 + have, piece + 1, size_t(take));
  destination[0] = (unsigned char)(have + take);
}

int PStringEqual(const unsigned char *a, const unsigned char *b) {
  if (!a || !b) return 0;
  return a[0] == b[0] && std::memcmp(a + 1, b + 1, a[0]) == 0 ? 1 : 0;
}

void PStringToC(const unsigned char *string, char *buffer) {
  if (!string || !buffer) return;
  std::memmove(buffer, string + 1, string[0]);
  buffer[string[0]] = '\0';
}

void CToPString(const char *text, unsigned char *string) {
  if (!string) return;
  size_t n = 0;
  if (text)
    while (n < 255 && text[n] != '\0') ++n;
  std::memmove(string + 1, text, n);
  string[0] = (unsigned char)n;
}

void IntToPString(int32_t value, unsigned char *string) {
  if (!string) return;
  char digits[12];
  int count = 0;
  // Widen first so that the most negative value negates safely.
  int64_t magnitude = value < 0 ? -int64_t(value) : int64_t(value);
  do {
    digits[count++] = char('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  int length = 0;
  if (value < 0) string[1 + length++] = '-';
  while (count > 0) string[1 + length++] = (unsigned char)digits[--count];
  string[0] = (unsigned char)length;
}

// Rounding terms 0.5 x 10^-d, each held in single precision.
static const float kRoundingTerm[10] = {
    0.5f,      0.05f,      0.005f,      0.0005f,      0.00005f,
    0.000005f, 0.0000005f, 0.00000005f, 0.000000005f, 0.0000000005f};

void FloatToPString(float value, int32_t decimals, unsigned char *string,
                    int32_t forceSign) {
  if (!string) return;
  if (decimals < 0) decimals = 0;
  if (decimals > 9) decimals = 9;
  string[0] = 0;
  static const unsigned char kMinus[] = {1, '-'};
  static const unsigned char kPlus[] = {1, '+'};
  if (value < 0.0f) {
    PStringAppend(kMinus, string);
    value = -value;
  } else if (forceSign) {
    PStringAppend(kPlus, string);
  }
  // Stored in floats so every step rounds to single precision, as the
  // edit boxes always have.
  volatile float sum = value + kRoundingTerm[decimals];
  // Beyond int32 (or NaN) the conversion is undefined; saturate instead.
  const bool inRange = sum < 2147483648.0f;
  int32_t whole = inRange ? int32_t(sum) : INT32_MAX;
  PString text;
  IntToPString(whole, text);
  PStringAppend(text, string);
  if (decimals == 0) return;
  static const unsigned char kPoint[] = {1, '.'};
  PStringAppend(kPoint, string);
  volatile float fraction = inRange ? sum - float(whole) : 0.0f;
  for (int32_t i = 0; i < decimals; ++i) {
    fraction = fraction * 10.0f;
    int32_t digit = int32_t(fraction);
    fraction = fraction - float(digit);
    if (digit > 9) digit = 9;
    unsigned char piece[2] = {1, (unsigned char)('0' + digit)};
    PStringAppend(piece, string);
  }
}

float PStringToFloat(const unsigned char *string) {
  if (!string || string[0] == 0) return 0.0f;
  const int last = string[0];
  int i = 1;
  auto isBlank = [](unsigned char c) { return c == 32 || c == 202; };
  while (i < last && isBlank(string[i])) ++i;
  bool negative = false;
  if (string[i] == '+' || string[i] == '-') {
    negative = string[i] == '-';
    ++i;
  }
  while (i < last && isBlank(string[i])) ++i;
  // Doubles hold every integer a 255-character box can make exactly up
  // to 2^53, and never overflow into undefined behaviour beyond it.
  double number = 0.0;
  double divisor = 0.0;
  for (; i <= last; ++i) {
    unsigned char c = string[i];
    if (c == '.' || c == ',') {
      divisor = 1.0;
    } else if (c >= '0' && c <= '9') {
      number = number * 10.0 + (c - '0');
      if (divisor != 0.0) divisor *= 10.0;
    }
  }
  const double signedNumber = negative ? -number : number;
  float result = float(signedNumber);
  if (divisor > double(FLT_MAX)) {
    // More fraction digits than single precision's range: the divisor as
    // a float would be infinite, and over an infinite number not a number.
    result = float(signedNumber / divisor);
  } else if (divisor != 0.0) {
    result = result / float(divisor);
  }
  return result;
}

void SwapBytes32(const void *source, void *destination) {
  if (!source || !destination) return;
  unsigned char b[4];
  std::memcpy(b, source, 4);
  const unsigned char r[4] = {b[3], b[2], b[1], b[0]};
  std::memcpy(destination, r, 4);
}
