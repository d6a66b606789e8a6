// Table building: the only floating-point work of the engine, in double
// precision. Every conversion to an integer truncates toward zero, which
// is what a C++ cast from double does; the expressions keep the order of
// operations of the definitions, and power and cosine are our own,
// correctly rounded (or, for power, the library's where that cannot
// change an entry), so that every build makes the same tables.
#include "engine/tables.h"

#include <cmath>

#include "engine/dispatch.h"
#include "engine/table_math.h"
#include "params/params.h"

double BlurReach;
int32_t ResponseTable[2 * kResponseMiddle + 1];
int16_t NearResponseTable[2 * kNearResponseMiddle];
uint8_t NearResponseBytes[2][2 * kNearResponseMiddle];
int32_t NearByteReach;
int32_t QuietLow;
int32_t QuietHigh;
int32_t SaturationWeightTable[1025];
int32_t HueWeightTable[1530];
bool HueWeighted;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Our own power takes some eighty times as long as the library's, and the
// tables want some two thousand: the library's, within an ulp or two,
// truncates to the same integer unless the value lies this close to one,
// and there our own decides.
constexpr double kNearInteger = 1e-6;

bool NearInteger(double v) {
  return std::fabs(v - std::round(v)) < kNearInteger;
}

void BuildResponseTable() {
  const double gain = ComputePow(GetSpread() * 0.01, 3.0) * 50.0;
  const double exponent = ComputePow(GetResponse() * 0.01, 4.0) * 50.0;
  int32_t *response = ResponseTable + kResponseMiddle;
  const auto answer = [gain](int32_t i, double p) {
    return i * gain * (1.0 - p) + 0.5;
  };
  for (int32_t i = 0; i <= kResponseMiddle; ++i) {
    const double base = 1.0 - i * (1.0 / 1024);
    double v = answer(i, std::pow(base, exponent));
    if (NearInteger(v) || NearInteger((-3.0 * v) * 0.25)) {
      v = answer(i, ComputePow(base, exponent));
    }
    // Dark halos get three quarters of the answer that light ones get.
    response[-i] = int32_t((-3.0 * v) * 0.25);
    response[i] = int32_t(v);
  }
  for (int32_t d = -kNearResponseMiddle; d < kNearResponseMiddle; ++d) {
    const int32_t r = response[d];
    const int16_t entry = int16_t(r < -1024 ? -1024 : r > 1024 ? 1024 : r);
    NearResponseTable[d + kNearResponseMiddle] = entry;
    NearResponseBytes[0][d + kNearResponseMiddle] = uint8_t(entry & 0xFF);
    NearResponseBytes[1][d + kNearResponseMiddle] = uint8_t(entry >> 8);
  }
  // No difference gets no answer: the quiet run holds 0 at least.
  QuietLow = QuietHigh = 0;
  while (QuietLow > -kResponseMiddle && response[QuietLow - 1] == 0) --QuietLow;
  while (QuietHigh < kResponseMiddle && response[QuietHigh + 1] == 0) {
    ++QuietHigh;
  }
  const auto fits = [](int32_t d) {
    return NearResponseTable[d + kNearResponseMiddle] >= -128 &&
           NearResponseTable[d + kNearResponseMiddle] <= 127;
  };
  NearByteReach = 0;
  while (NearByteReach < kNearResponseMiddle && fits(-NearByteReach - 1) &&
         fits(NearByteReach)) {
    ++NearByteReach;
  }
}

}  // namespace

int32_t PrepareEngineTables(const FilterRecord *record) {
  // In our float mode, not the one the host left: its rounding would
  // change entries, its unmasked exceptions would trap.
  const FloatModeGuard floatMode;
  const int32_t rate = record->inputRate;
  // The numerator is an integer sum: half the rate rounds the reach.
  const int32_t numerator = rate / 2 + 65536 * GetRadius();
  BlurReach = (numerator * 0.1) / rate;
  BuildResponseTable();
  BuildHueWeights();
  return 0;
}

void BuildSaturationWeights() {
  const FloatModeGuard floatMode;
  // The exponent is 0.333, not a third.
  for (int32_t s = 0; s <= 1024; ++s) {
    const double x = s * (1.0 / 1024);
    double w = std::pow(x, 0.333) * 1024.0;
    if (NearInteger(w)) w = ComputePow(x, 0.333) * 1024.0;
    SaturationWeightTable[s] = int32_t(w);
  }
}

void BuildHueWeights() {
  int32_t anchor[7];
  for (int32_t k = 0; k < 6; ++k) {
    anchor[k] = int32_t(GetParamByIndex(kParamFirstColourWeight + k) * 10.24);
  }
  anchor[6] = anchor[0];

  // Half a raised cosine from 1 down to 0 over one sector.
  double ease[256];
  for (int32_t j = 0; j < 256; ++j) {
    ease[j] = (ComputeCos(j * kPi * (1.0 / 255)) + 1.0) * 0.5;
  }

  // Odd sectors read the cosine backwards from their end, so each
  // anchor is approached alike from both sides.
  for (int32_t h = 0; h < 1530; ++h) {
    const int32_t k = h / 255;
    if (k % 2 == 0) {
      const double c = ease[h - 255 * k];
      HueWeightTable[h] = int32_t(anchor[k] * c + anchor[k + 1] * (1.0 - c));
    } else {
      const double c = ease[255 * (k + 1) - h];
      HueWeightTable[h] = int32_t(anchor[k + 1] * c + anchor[k] * (1.0 - c));
    }
  }
  HueWeighted = false;
  for (const int32_t weight : HueWeightTable) HueWeighted |= weight != 0;
}
