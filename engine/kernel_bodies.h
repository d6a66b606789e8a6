// The kernels of kernels.h over a vector type O, included by one
// translation unit per instruction set after it has defined O. Everything
// here has internal linkage: each unit keeps its own copy.
//
// O works on vectors of O::kLanes unsigned 16-bit lanes and, where a
// product or a quotient needs more, on pairs of vectors of 32-bit lanes
// made by O::Widen and joined again by O::Narrow.
#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "engine/gray.h"
#include "engine/kernels.h"

namespace {

template <class O>
using Vec = typename O::V;

// ---------------------------------------------------------------------
// Working colour space

template <class O, bool kDeep, bool kInRange = false>
inline Vec<O> ValueOfLargest(Vec<O> largest) {
  if (kDeep) {
    // (max + 16) >> 5, and samples past 32768 stay at 1024. Saturating
    // keeps the sum in 16 bits; it only touches samples far past 32768.
    const Vec<O> value =
        O::template Srli16<5>(O::AddSat16u(largest, O::Set16(16)));
    return kInRange ? value : O::Min16u(value, O::Set16(1024));
  }
  // (257 max + 33) >> 6 is 4 max + ((max + 33) >> 6): 256 max is a
  // multiple of 64, and the sum would not fit 16 bits.
  return O::Add16(O::template Slli16<2>(largest),
                  O::template Srli16<6>(O::Add16(largest, O::Set16(33))));
}

template <class O, bool kDeep>
inline Vec<O> ValueOfRgb(Vec<O> r, Vec<O> g, Vec<O> b) {
  if constexpr (!kDeep) {  // 8-bit samples fit signed lanes
    return ValueOfLargest<O, kDeep>(O::Max16s(O::Max16s(r, g), b));
  }
  return ValueOfLargest<O, kDeep>(O::Max16u(O::Max16u(r, g), b));
}

// floor(n / d) or one more, for 32-bit lanes with d >= 1 and a quotient
// below 1026: the float reciprocal is within 1.5 x 2^-12 of 1 / d on
// every processor (2^-14 with AVX-512), so the product is within 0.4 of
// n / d, and a half more truncates to the floor or the next integer.
// Much faster than a division; the remainder then tells which.
template <class O>
inline Vec<O> GuessQuotient(Vec<O> n, Vec<O> d) {
  return O::Trunc32(O::MulAddF(O::FloatOf32(n), O::Reciprocal(O::FloatOf32(d)),
                               O::SetF(0.5f)));
}

// In 16-bit lanes, for d <= 32768: the remainder n - q d, from -d to
// d - 1, fits a signed lane, so products and sums modulo 2^16 give it
// exactly.
template <class O>
inline Vec<O> CorrectQuotient16(Vec<O> q, Vec<O> n, Vec<O> d) {
  const Vec<O> remainder = O::Sub16(n, O::MulLo16(q, d));
  return O::Add16(q, O::CmpGt16(O::Zero(), remainder));
}

// Comparisons of samples. 8-bit samples fit signed lanes; 16-bit ones
// are compared signed with their top bits flipped, unless the
// instruction set compares unsigned lanes at no extra cost.
template <class O, bool kDeep>
struct SampleOrder {
  static constexpr bool kFlip = kDeep && !O::kUnsignedCompare;
  Vec<O> r, g, b;  // flipped where kFlip
  SampleOrder(Vec<O> red, Vec<O> green, Vec<O> blue) {
    const Vec<O> flip = O::Set16(kFlip ? -32768 : 0);
    r = kFlip ? O::Xor(red, flip) : red;
    g = kFlip ? O::Xor(green, flip) : green;
    b = kFlip ? O::Xor(blue, flip) : blue;
  }
  static Vec<O> Greater(Vec<O> x, Vec<O> y) {
    if constexpr (kDeep && O::kUnsignedCompare) return O::Greater16u(x, y);
    return O::CmpGt16(x, y);
  }
  Vec<O> Largest() const {
    if constexpr (!kDeep) return O::Max16s(O::Max16s(r, g), b);
    if constexpr (kFlip) {
      return O::Xor(O::Max16s(O::Max16s(r, g), b), O::Set16(-32768));
    }
    return O::Max16u(O::Max16u(r, g), b);
  }
  Vec<O> Smallest() const {
    if constexpr (!kDeep) return O::Min16s(O::Min16s(r, g), b);
    if constexpr (kFlip) {
      return O::Xor(O::Min16s(O::Min16s(r, g), b), O::Set16(-32768));
    }
    return O::Min16u(O::Min16u(r, g), b);
  }
};

// The hue ratio and the saturation guessed from floats as 255 a rcp(d)
// and d rcp(max / 1024), plus a bias, truncated; rise32 and range32 hold
// 255 a and d in 32-bit lanes, scaledMax the float of max / 1024. A
// grey's 0 / 0 (or black's) is not a number, which truncates to the
// least integer: where NarrowSmall saturates, that is 0, the quotient;
// elsewhere the grey's range is nudged, and black's max taken as 1.
template <class O>
inline void GuessQuotients(Vec<O> rise32, Vec<O> range32, Vec<O> scaledMax,
                           Vec<O> bias, Vec<O> &ratio, Vec<O> &fraction) {
  const Vec<O> d = O::FloatOf32(range32);
  const Vec<O> nudged =
      O::kNarrowSaturates ? d : O::AddF(d, O::SetF(1.0f / (1 << 20)));
  ratio =
      O::Trunc32(O::MulAddF(O::FloatOf32(rise32), O::Reciprocal(nudged), bias));
  fraction = O::Trunc32(O::MulAddF(d, O::Reciprocal(scaledMax), bias));
}

// From 8-bit samples, q = (floor(d / 2) + 255 a) / d and the saturation
// (floor(max / 2) + 1024 d) / max are guessed as 255 a / d and d / (max
// / 1024) through float reciprocals, plus 1, truncated. The reciprocals
// are within 1.5 x 2^-12 of the true ones, the products within 0.094
// and 0.376 of the ratios, and the ratios lie from half a step below the
// quotients to less than half a step above: every guess is the quotient
// or one more, which the remainder then tells. A grey's range of 0 is
// nudged so that no lane divides 0 by 0.
template <class O>
inline void Quotients8(Vec<O> middle, Vec<O> range, Vec<O> largest,
                       Vec<O> &ratio, Vec<O> &saturation) {
  const Vec<O> one = O::Set16(1);
  const Vec<O> rise = O::MulLo16(middle, O::Set16(255));  // at most 65025
  const Vec<O> largestDivisor = O::Max16s(largest, one);
  Vec<O> riseLo, riseHi, rangeLo, rangeHi, largestLo, largestHi;
  O::Widen(rise, riseLo, riseHi);
  O::Widen(range, rangeLo, rangeHi);
  O::Widen(largestDivisor, largestLo, largestHi);
  const Vec<O> bias = O::SetF(1.0f), scale = O::SetF(1.0f / 1024);
  Vec<O> qLo, qHi, sLo, sHi;
  GuessQuotients<O>(riseLo, rangeLo, O::MulF(O::FloatOf32(largestLo), scale),
                    bias, qLo, sLo);
  GuessQuotients<O>(riseHi, rangeHi, O::MulF(O::FloatOf32(largestHi), scale),
                    bias, qHi, sHi);
  // Greys guess 0 or 1 for both, which the remainder against a divisor
  // of at least 1 takes back to 0.
  ratio = CorrectQuotient16<O>(O::NarrowSmall(qLo, qHi),
                               O::Add16(rise, O::template Srli16<1>(range)),
                               O::Max16s(range, one));
  saturation = CorrectQuotient16<O>(
      O::NarrowSmall(sLo, sHi),
      O::Add16(O::template Srli16<1>(largest), O::template Slli16<10>(range)),
      largestDivisor);
}

// What the forward conversion finds before it places the hue: the
// largest and the smallest channel, their difference, the middle channel
// minus the smallest, the hue ratio q and the saturation.
template <class O>
struct Chroma {
  Vec<O> largest, smallest, range, middle, ratio, saturation;
};

template <class O, bool kDeep>
inline Chroma<O> ChromaOfRgb(Vec<O> r, Vec<O> g, Vec<O> b) {
  const SampleOrder<O, kDeep> order(r, g, b);
  Chroma<O> chroma;
  const Vec<O> largest = chroma.largest = order.Largest();
  const Vec<O> smallest = chroma.smallest = order.Smallest();
  const Vec<O> range = chroma.range = O::Sub16(largest, smallest);
  // The middle channel minus the smallest; the sum may wrap, the
  // difference is exact.
  const Vec<O> middle = chroma.middle =
      O::Sub16(O::Sub16(O::Add16(O::Add16(r, g), b), largest),
               O::Add16(smallest, smallest));
  Vec<O> &ratio = chroma.ratio;
  Vec<O> &saturation = chroma.saturation;
  if constexpr (!kDeep) {
    Quotients8<O>(middle, range, largest, ratio, saturation);
    return chroma;
  }

  // Greys divide by 1 instead of 0: their numerators are 0 (hue) and
  // max / 2 < max (saturation), so both quotients come out 0.
  const Vec<O> one = O::Set16(1);
  const Vec<O> divisor = O::Max16u(range, one);
  const Vec<O> largestDivisor = O::Max16u(largest, one);
  Vec<O> middleLo, middleHi, rangeLo, rangeHi, divisorLo, divisorHi;
  Vec<O> largestLo, largestHi, largestDivisorLo, largestDivisorHi;
  O::Widen(middle, middleLo, middleHi);
  O::Widen(range, rangeLo, rangeHi);
  O::Widen(divisor, divisorLo, divisorHi);
  O::Widen(largest, largestLo, largestHi);
  O::Widen(largestDivisor, largestDivisorLo, largestDivisorHi);

  // Hue ratio q = (floor(d / 2) + 255 a) / d, below 256, and saturation
  // (floor(max / 2) + 1024 d) / max, at most 1025.
  const auto hueNumerator = [](Vec<O> a, Vec<O> d) {
    return O::Add32(O::Sub32(O::template Slli32<8>(a), a),
                    O::template Srli32<1>(d));
  };
  const auto saturationNumerator = [](Vec<O> m, Vec<O> d) {
    return O::Add32(O::template Srli32<1>(m), O::template Slli32<10>(d));
  };
  const Vec<O> hueLo = hueNumerator(middleLo, rangeLo);
  const Vec<O> hueHi = hueNumerator(middleHi, rangeHi);
  const Vec<O> satLo = saturationNumerator(largestLo, rangeLo);
  const Vec<O> satHi = saturationNumerator(largestHi, rangeHi);
  // 16-bit samples come here only where some lie past the host's range
  // (ColourOfDeepRgb takes the others). The hue's numerator and every
  // product q d stay below 2^24, so the remainder is exact in floats.
  const auto correctHue = [](Vec<O> n, Vec<O> d) {
    const Vec<O> nf = O::FloatOf32(n), df = O::FloatOf32(d);
    const Vec<O> q =
        O::Trunc32(O::AddF(O::MulF(nf, O::Reciprocal(df)), O::SetF(0.5f)));
    const Vec<O> remainder = O::SubF(nf, O::MulF(O::FloatOf32(q), df));
    return O::Add32(q, O::CmpLtF(remainder, O::SetF(0.0f)));
  };
  ratio = O::NarrowSmall(correctHue(hueLo, divisorLo),
                         correctHue(hueHi, divisorHi));
  // The saturation's numerator reaches 2^26: its remainder in integers.
  const auto correct = [](Vec<O> n, Vec<O> m) {
    const Vec<O> q = GuessQuotient<O>(n, m);
    const Vec<O> remainder = O::Sub32(n, O::MulLo32(q, m));
    return O::Add32(q, O::CmpGt32(O::Set32(0), remainder));
  };
  saturation = O::NarrowSmall(correct(satLo, largestDivisorLo),
                              correct(satHi, largestDivisorHi));
  return chroma;
}

template <class O, bool kDeep>
inline void ColourOfRgb(Vec<O> r, Vec<O> g, Vec<O> b, Vec<O> &hue,
                        Vec<O> &saturation, Vec<O> &value) {
  const Chroma<O> chroma = ChromaOfRgb<O, kDeep>(r, g, b);
  value = ValueOfLargest<O, kDeep>(chroma.largest);
  saturation = chroma.saturation;

  // The six hue rows, tested in order, as masks.
  using Order = SampleOrder<O, kDeep>;
  const Order order(r, g, b);
  const Vec<O> gOverR = Order::Greater(order.g, order.r);
  const Vec<O> bOverG = Order::Greater(order.b, order.g);
  const Vec<O> bOverR = Order::Greater(order.b, order.r);
  const Vec<O> gOverB = Order::Greater(order.g, order.b);
  const Vec<O> rOverB = Order::Greater(order.r, order.b);
  const Vec<O> gBelowB = O::AndNot(gOverR, bOverG);        // r >= g, g < b
  const Vec<O> magentaToRed = O::AndNot(bOverR, gBelowB);  // 1530 - q
  const Vec<O> blueToMagenta = O::And(bOverR, gBelowB);    // 1020 + q
  const Vec<O> cyanToBlue = O::AndNot(gOverB, gOverR);     // 1020 - q
  const Vec<O> greenSide = O::And(gOverB, gOverR);
  const Vec<O> yellowToGreen = O::And(rOverB, greenSide);  // 510 - q
  // The rest of the green side is green to cyan: 510 + q.
  const Vec<O> base =
      O::Or(O::And(magentaToRed, O::Set16(1530)),
            O::Or(O::And(O::Or(blueToMagenta, cyanToBlue), O::Set16(1020)),
                  O::And(greenSide, O::Set16(510))));
  const Vec<O> negative = O::Or(magentaToRed, O::Or(cyanToBlue, yellowToGreen));

  // base + q, or base - q on the rows that count backwards.
  hue = O::Add16(base, O::Sub16(O::Xor(chroma.ratio, negative), negative));
  // A 16-bit numerator can be too small for q to reach 1 on the magenta
  // side of red: the hue must still stay below 1530.
  hue = O::AndNot(O::CmpEq16(hue, O::Set16(1530)), hue);
}

// The largest and the smallest 8-bit channel of a colour of this value
// and saturation. With saturation 0, lo equals hi and the pixel comes out
// grey; with value 0 both are 0.
template <class O>
inline void Extremes8(Vec<O> saturation, Vec<O> value, Vec<O> &hi, Vec<O> &lo) {
  // (255 v + 512) >> 10 is (8160 v + 16384) >> 15, a rounding high
  // multiply.
  hi = O::MulHrs16(value, O::Set16(8160));
  // (255 t + 2^19) >> 20 for t = v (1024 - s) = 65536 t1 + t0, t1 <= 16:
  // the bits above 16 of 255 t + 2^19 are 255 t1 + 8 + ((255 t0) >> 16).
  const Vec<O> c = O::Sub16(O::Set16(1024), saturation);
  const Vec<O> t0 = O::MulLo16(value, c), t1 = O::MulHi16u(value, c);
  const Vec<O> high =
      O::Add16(O::MulHi16u(t0, O::Set16(255)), O::MulLo16(t1, O::Set16(255)));
  lo = O::template Srli16<4>(O::Add16(high, O::Set16(8)));
}

// 16-bit samples within the host's range, the usual case; false, with
// nothing set, where a sample is past 32768. The quotients are guessed
// from float reciprocals with their constant factors folded in, then
// corrected in 16-bit lanes.
template <class O>
inline bool ColourOfDeepRgb(Vec<O> red, Vec<O> green, Vec<O> blue, Vec<O> &hue,
                            Vec<O> &saturation, Vec<O> &value) {
  // Only extremes and equalities below, which hold in either domain: the
  // samples go to signed lanes only where unsigned max and min are not
  // single instructions.
  constexpr bool kFlip = !O::kMinMax16u;
  const Vec<O> flip = O::Set16(-32768);
  const Vec<O> r = kFlip ? O::Xor(red, flip) : red;
  const Vec<O> g = kFlip ? O::Xor(green, flip) : green;
  const Vec<O> b = kFlip ? O::Xor(blue, flip) : blue;
  const auto larger = [](Vec<O> x, Vec<O> y) {
    if constexpr (kFlip) return O::Max16s(x, y);
    return O::Max16u(x, y);
  };
  const auto smaller = [](Vec<O> x, Vec<O> y) {
    if constexpr (kFlip) return O::Min16s(x, y);
    return O::Min16u(x, y);
  };
  const Vec<O> upper = larger(r, g), lower = smaller(r, g);
  const Vec<O> top = larger(upper, b), bottom = smaller(lower, b);
  const Vec<O> largest = kFlip ? O::Xor(top, flip) : top;
  if (!O::AllAtMost16u(largest, 32768)) return false;
  value = ValueOfLargest<O, true, true>(largest);
  const Vec<O> range = O::Sub16(top, bottom);
  // The middle channel minus the smallest: a.
  const Vec<O> rise = O::Sub16(larger(lower, smaller(upper, b)), bottom);

  // The hue is 510 k + q or 510 k - q, k = 0, 1, 2 for the largest of r,
  // g, b: backwards where the channel after the largest (g after r, b
  // after g, r after b) is the smallest. Where channels tie, the rows
  // they could take meet (q is 0 or 255 there), so either gives the same
  // hue; a grey takes red, 0 - 0.
  const Vec<O> rTop = O::CmpEq16(r, top), gTop = O::CmpEq16(g, top);
  const Vec<O> base =
      O::AndNot(rTop, O::Select(gTop, O::Set16(510), O::Set16(1020)));
  const Vec<O> after = O::Select(rTop, g, O::Select(gTop, b, r));
  const Vec<O> negative = O::CmpEq16(after, bottom);

  // q = (floor(d / 2) + 255 a) / d and the saturation (floor(max / 2) +
  // 1024 d) / max, guessed as 255 a rcp(d) and d rcp(max / 1024) plus
  // 11/12, truncated. The reciprocals are within 1.5 x 2^-12 of 1 / d,
  // so the products are within 0.094 and 0.376 of 255 a / d and 1024 d /
  // max; the halves add 1/3 to 1/2 to those where the divisor is 2 or
  // more, and nothing to the whole quotients where it is 1: every guess
  // is the quotient or one more.
  Vec<O> riseLo, riseHi, rangeLo, rangeHi, maxLo, maxHi;
  O::MulWide16u(rise, O::Set16(255), riseLo, riseHi);
  O::Widen(range, rangeLo, rangeHi);
  // max / 1024 exactly from its bits: 2^13 + max / 1024 less 2^13.
  O::Interleave16(
      O::kNarrowSaturates ? largest : O::Max16u(largest, O::Set16(1)),
      O::Set16(0x4600), maxLo, maxHi);
  const Vec<O> bias = O::SetF(11.0f / 12), shift = O::SetF(8192.0f);
  Vec<O> ratioLo, ratioHi, fractionLo, fractionHi;
  GuessQuotients<O>(riseLo, rangeLo, O::SubF(maxLo, shift), bias, ratioLo,
                    fractionLo);
  GuessQuotients<O>(riseHi, rangeHi, O::SubF(maxHi, shift), bias, ratioHi,
                    fractionHi);
  const Vec<O> ratio = CorrectQuotient16<O>(
      O::NarrowSmall(ratioLo, ratioHi),
      O::Add16(O::MulLo16(rise, O::Set16(255)), O::template Srli16<1>(range)),
      range);
  saturation = CorrectQuotient16<O>(
      O::NarrowSmall(fractionLo, fractionHi),
      O::Add16(O::template Srli16<1>(largest), O::template Slli16<10>(range)),
      largest);

  // Below red, from -255 to -1, the hue wraps to 1530 less.
  const Vec<O> turned =
      O::Add16(base, O::Sub16(O::Xor(ratio, negative), negative));
  hue = O::Min16u(turned, O::Add16(turned, O::Set16(1530)));
  return true;
}

template <class O, bool kDeep>
inline void ColourOfSamples(Vec<O> r, Vec<O> g, Vec<O> b, Vec<O> &hue,
                            Vec<O> &saturation, Vec<O> &value) {
  if (kDeep && ColourOfDeepRgb<O>(r, g, b, hue, saturation, value)) return;
  ColourOfRgb<O, kDeep>(r, g, b, hue, saturation, value);
}

template <class O, bool kDeep>
inline void RgbOfColour(Vec<O> hue, Vec<O> saturation, Vec<O> value, Vec<O> &r,
                        Vec<O> &g, Vec<O> &b) {
  Vec<O> hi, lo;
  if (kDeep) {
    // Largest and smallest channel, as Extremes8 for 8 bits.
    hi = O::template Slli16<5>(value);
    // ((1024 - s) 32 v + 512) >> 10 is ((1024 - s) 32 hi + 16384) >> 15,
    // a rounding high multiply, whose factors reach 32768 only at
    // saturation 0 and value 1024. Read as -32768 there, either one
    // negates the product, which the absolute value then takes back; both
    // give 32768, which reads as itself.
    lo = O::Abs16(O::MulHrs16(
        O::template Slli16<5>(O::Sub16(O::Set16(1024), saturation)), hi));
  } else {
    Extremes8<O>(saturation, value, hi, lo);
  }

  // P = (65793 h + 256) >> 9 is 128 h + ((257 h + 256) >> 9), the latter
  // a rounding high multiply of h by 64 x 257. P is 32768 k + f for
  // sector k = h div 255 and f below 32768, so in 16 bits its low 15
  // bits are f and its top bit is set in odd sectors.
  const Vec<O> place = O::Add16(O::template Slli16<7>(hue),
                                O::MulHrs16(hue, O::Set16(64 * 257)));
  const Vec<O> f = O::And(place, O::Set16(0x7FFF));

  // The channel that moves within the sector: rising from lo in even
  // sectors, falling from hi in odd ones, by t = floor(((hi - lo) f +
  // 16384) / 32768), a rounding high multiply. (From the sector's end,
  // as hi + e with e for f - 32768, rising is the same lo + t.) A 16-bit
  // span of 32768 reads as -32768 and gives -f, whose absolute value is
  // t; f is below 32768.
  const Vec<O> span = O::Sub16(hi, lo);
  Vec<O> t = O::MulHrs16(span, f);
  if (kDeep) t = O::Abs16(t);
  const Vec<O> odd = O::template Srai16<15>(place);
  // Odd sectors swap the first two of (hi, moving, lo) as sector 0 has
  // them; each pair of sectors then turns the three one place further.
  const Vec<O> first = O::Sub16(hi, O::And(odd, t));
  const Vec<O> second = O::Add16(lo, O::Select(odd, span, t));
  // The pairs of sectors from hues 510 and 1020 on.
  const Vec<O> later = O::CmpGt16(hue, O::Set16(510 - 1));
  const Vec<O> last = O::CmpGt16(hue, O::Set16(2 * 510 - 1));
  r = O::Select(later, O::Select(last, second, lo), first);
  g = O::Select(later, O::Select(last, lo, first), second);
  b = O::Select(later, O::Select(last, first, second), lo);
}

// Host pixels in and out, kLanes at a time. The instruction set's own
// loaders handle the usual pixel steps; these handle any step and the
// short end of a row.
template <class O, typename Sample>
inline void GatherRgb(const Sample *source, int32_t pixelStep, int32_t count,
                      Vec<O> &r, Vec<O> &g, Vec<O> &b) {
  alignas(32) uint16_t lanes[3][O::kLanes] = {};
  for (int32_t i = 0; i < count; ++i, source += pixelStep) {
    lanes[0][i] = source[0];
    lanes[1][i] = source[1];
    lanes[2][i] = source[2];
  }
  r = O::Load(lanes[0]);
  g = O::Load(lanes[1]);
  b = O::Load(lanes[2]);
}

template <class O, typename Sample>
inline void ScatterRgb(Vec<O> r, Vec<O> g, Vec<O> b, Sample *destination,
                       int32_t pixelStep, int32_t count) {
  alignas(32) uint16_t lanes[3][O::kLanes];
  O::Store(lanes[0], r);
  O::Store(lanes[1], g);
  O::Store(lanes[2], b);
  for (int32_t i = 0; i < count; ++i, destination += pixelStep) {
    destination[0] = Sample(lanes[0][i]);
    destination[1] = Sample(lanes[1][i]);
    destination[2] = Sample(lanes[2][i]);
  }
}

template <class O, typename Sample>
inline void LoadRgb(const Sample *source, int32_t pixelStep, Vec<O> &r,
                    Vec<O> &g, Vec<O> &b) {
  if (!O::LoadRgb(source, pixelStep, r, g, b)) {
    GatherRgb<O>(source, pixelStep, O::kLanes, r, g, b);
  }
}

template <class O, typename Sample>
inline void StoreRgb(Vec<O> r, Vec<O> g, Vec<O> b, Sample *destination,
                     int32_t pixelStep) {
  if (!O::StoreRgb(destination, pixelStep, r, g, b)) {
    ScatterRgb<O>(r, g, b, destination, pixelStep, O::kLanes);
  }
}

// Writes the first count lanes of v.
template <class O>
inline void StorePart(uint16_t *destination, Vec<O> v, int32_t count) {
  alignas(32) uint16_t lanes[O::kLanes];
  O::Store(lanes, v);
  std::memcpy(destination, lanes, sizeof(uint16_t) * size_t(count));
}

template <class O>
inline Vec<O> LoadPart(const uint16_t *source, int32_t count) {
  alignas(32) uint16_t lanes[O::kLanes] = {};
  std::memcpy(lanes, source, sizeof(uint16_t) * size_t(count));
  return O::Load(lanes);
}

template <class O, typename Sample>
void ValuesFrom(const Sample *source, int32_t pixelStep, uint16_t *value,
                int32_t count) {
  constexpr bool kDeep = sizeof(Sample) == 2;
  constexpr int32_t kLanes = O::kLanes;
  int32_t i = 0;
  const auto run = [&](auto step) {
    for (; i + kLanes <= count; i += kLanes) {
      const Sample *pixels = source + ptrdiff_t(i) * step;
      Vec<O> r, g, b;
      if constexpr (!kDeep) {
        if (O::Values8(pixels, step, r)) {
          O::Store(value + i, r);
          continue;
        }
      }
      LoadRgb<O>(pixels, step, r, g, b);
      O::Store(value + i, ValueOfRgb<O, kDeep>(r, g, b));
    }
  };
  // A loop for each common step, free of the step's tests.
  if (pixelStep == 3) {
    run(std::integral_constant<int32_t, 3>());
  } else if (pixelStep == 4) {
    run(std::integral_constant<int32_t, 4>());
  } else {
    run(pixelStep);
  }
  // The short end of a row, often an input margin's few columns, one
  // pixel at a time: the largest channel converts as a gray level.
  Sample largest[kLanes];
  const Sample *pixel = source + ptrdiff_t(i) * pixelStep;
  for (int32_t k = 0; k < count - i; ++k, pixel += pixelStep) {
    largest[k] = std::max(std::max(pixel[0], pixel[1]), pixel[2]);
  }
  if constexpr (kDeep) {
    GrayToValues16(largest, 1, value + i, count - i);
  } else {
    GrayToValues8(largest, 1, value + i, count - i);
  }
}

template <class O, typename Sample>
void ColoursFrom(const Sample *source, int32_t pixelStep, uint16_t *hue,
                 uint16_t *saturation, uint16_t *value, int32_t count) {
  constexpr bool kDeep = sizeof(Sample) == 2;
  constexpr int32_t kLanes = O::kLanes;
  Vec<O> r, g, b, h, s, v;
  int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    LoadRgb<O>(source + ptrdiff_t(i) * pixelStep, pixelStep, r, g, b);
    ColourOfSamples<O, kDeep>(r, g, b, h, s, v);
    O::Store(hue + i, h);
    O::Store(saturation + i, s);
    O::Store(value + i, v);
  }
  if (i < count) {
    GatherRgb<O>(source + ptrdiff_t(i) * pixelStep, pixelStep, count - i, r, g,
                 b);
    ColourOfSamples<O, kDeep>(r, g, b, h, s, v);
    StorePart<O>(hue + i, h, count - i);
    StorePart<O>(saturation + i, s, count - i);
    StorePart<O>(value + i, v, count - i);
  }
}

template <class O, typename Sample>
void ColoursTo(const uint16_t *hue, const uint16_t *saturation,
               const uint16_t *value, Sample *destination, int32_t pixelStep,
               int32_t count) {
  constexpr bool kDeep = sizeof(Sample) == 2;
  constexpr int32_t kLanes = O::kLanes;
  Vec<O> r, g, b;
  int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    RgbOfColour<O, kDeep>(O::Load(hue + i), O::Load(saturation + i),
                          O::Load(value + i), r, g, b);
    StoreRgb<O>(r, g, b, destination + ptrdiff_t(i) * pixelStep, pixelStep);
  }
  if (i < count) {
    const int32_t rest = count - i;
    RgbOfColour<O, kDeep>(LoadPart<O>(hue + i, rest),
                          LoadPart<O>(saturation + i, rest),
                          LoadPart<O>(value + i, rest), r, g, b);
    ScatterRgb<O>(r, g, b, destination + ptrdiff_t(i) * pixelStep, pixelStep,
                  rest);
  }
}

// 8-bit samples to sharpened samples, hue and saturation taken from the
// samples here: an 8-bit colour comes back unchanged from its own hue,
// saturation and value, so pixels whose values the step left alone are
// copied, and only the others are converted both ways.
//
// Neither the hue nor its sector need assembling on the way: the largest
// channel comes back as hi, the smallest as lo, and the middle one from
// the hue ratio q, as lo + t on the rows that count up and hi - t on
// those that count down, t being how far its sector's rounding moves it.
// Where channels tie they come back alike whichever is taken for which.
template <class O>
inline void ColoursBack8(Vec<O> &r, Vec<O> &g, Vec<O> &b, Vec<O> value) {
  const Chroma<O> chroma = ChromaOfRgb<O, false>(r, g, b);
  Vec<O> hi, lo;
  Extremes8<O>(chroma.saturation, value, hi, lo);
  // The rows counting down are those whose middle channel comes before
  // the largest in the turn red, green, blue: there one of the turn's
  // three comparisons holds, elsewhere two.
  const Vec<O> down =
      O::Xor(O::Xor(O::CmpGt16(r, g), O::CmpGt16(g, b)), O::CmpGt16(b, r));
  // The offset within the sector, j = q counting up and 255 - q down,
  // as a fraction f = 128 j + (j + 1) / 2 of 32768. (The later sectors
  // take 1 off f at j = 1 and 3, which never changes t for spans below
  // 256.) j = 255 only where the middle channel ties with another, which
  // then places it.
  const Vec<O> j = O::Xor(chroma.ratio, O::And(down, O::Set16(255)));
  const Vec<O> f = O::Add16(O::template Slli16<7>(j),
                            O::template Srli16<1>(O::Add16(j, O::Set16(1))));
  const Vec<O> t = O::MulHrs16(O::Sub16(hi, lo), f);
  const Vec<O> middle = O::Select(down, O::Sub16(hi, t), O::Add16(lo, t));
  const auto place = [&](Vec<O> channel) {
    return O::Select(
        O::CmpEq16(channel, chroma.largest), hi,
        O::Select(O::CmpEq16(channel, chroma.smallest), lo, middle));
  };
  r = place(r);
  g = place(g);
  b = place(b);
}

// Positions of changed values listed without a branch on the data: the
// lanes set in each byte of a vector's bits, the group's first position
// added to each. Writes up to 8 bytes past the last.
struct ChangeList {
  uint8_t *list;
  size_t listed = 0;
  uint64_t lanes = 0;  // the group's first position in every byte
  void Add(uint32_t changed, int32_t lanesOfVector) {
    for (int32_t group = 0; group < lanesOfVector / 8; ++group, changed >>= 8) {
      const uint32_t bits = changed & 0xFF;
      uint64_t positions;
      std::memcpy(&positions, kLaneLists.lanes[bits], 8);
      positions += lanes;
      std::memcpy(list + listed, &positions, 8);
      listed += kLaneLists.count[bits];
      lanes += 0x0808080808080808u;
    }
  }
};

template <class O>
void Sharpen(const uint16_t *blurred, const uint16_t *hue,
             const uint16_t *saturation, uint16_t *value, int32_t count,
             const KernelTables &tables);

// The positions of a row (at most 256 values) whose value the step
// would move, listed; returns how many. The step leaves a value where its
// difference from the blur lies in the quiet run around 0, whose
// responses are 0, so only the difference is looked at here: the new
// values are worked out for the listed pixels alone.
template <class O>
int32_t ListResponding(const uint16_t *blurred, const uint16_t *value,
                       int32_t count, const KernelTables &tables,
                       uint8_t *list) {
  constexpr int32_t kLanes = O::kLanes;
  // d - quietLow, unsigned, lies beyond the run's width outside it.
  const Vec<O> low = O::Set16(tables.quietLow);
  const Vec<O> width = O::Set16(tables.quietHigh - tables.quietLow);
  const auto outside = [&](Vec<O> level, Vec<O> blur) {
    const Vec<O> x = O::Sub16(O::Sub16(level, blur), low);
    return O::DifferentLanes(x, O::Min16u(x, width));
  };
  ChangeList changes{list};
  int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    changes.Add(outside(O::Load(value + i), O::Load(blurred + i)), kLanes);
  }
  if (i < count) {  // the row's end; the lanes past it read 0 - 0
    const int32_t n = count - i;
    changes.Add(outside(LoadPart<O>(value + i, n), LoadPart<O>(blurred + i, n)),
                kLanes);
  }
  return int32_t(changes.listed);
}

// Every pixel of three samples in whole vectors through ColoursBack8.
template <class O>
void WholeBack8(const uint8_t *source, const uint16_t *value,
                uint8_t *destination, int32_t count) {
  Vec<O> r, g, b;
  for (int32_t i = 0; i + O::kLanes <= count; i += O::kLanes) {
    LoadRgb<O>(source + 3 * i, 3, r, g, b);
    ColoursBack8<O>(r, g, b, O::Load(value + i));
    StoreRgb<O>(r, g, b, destination + 3 * i, 3);
  }
}

// The first three samples of pixels from to end copied.
inline void CopyRgb8(const uint8_t *source, int32_t pixelStep,
                     uint8_t *destination, int32_t from, int32_t end) {
  if (pixelStep == 3) {
    std::memcpy(destination + 3 * from, source + 3 * from,
                size_t(end - from) * 3);
    return;
  }
  for (int32_t i = from; i < end; ++i) {
    std::memcpy(destination + ptrdiff_t(i) * pixelStep,
                source + ptrdiff_t(i) * pixelStep, 3);
  }
}

// The batch's pixels through ColoursBack8 and back to the output, in the
// order they were listed: a pixel's fourth byte, written back as it was
// gathered, is the next pixel's red, which that pixel's own result then
// overwrites.
template <class O>
void FinishThrough8(ThroughBatch &batch) {
  constexpr int32_t kLanes = O::kLanes;
  const int32_t count = batch.count;
  if (count == 0) return;
  std::memset(batch.pixels + 4 * count, 0, 4 * kLanes);
  std::memset(batch.values + count, 0, 2 * kLanes);
  Sharpen<O>(batch.blurred, nullptr, nullptr, batch.values, count,
             *batch.tables);
  Vec<O> r, g, b;
  for (int32_t k = 0; k < count; k += kLanes) {
    LoadRgb<O>(batch.pixels + 4 * k, 4, r, g, b);
    ColoursBack8<O>(r, g, b, O::Load(batch.values + k));
    StoreRgb<O>(r, g, b, batch.pixels + 4 * k, 4);
  }
  for (int32_t k = 0; k < count; ++k) {
    std::memcpy(batch.at[k], batch.pixels + 4 * k, 4);
  }
  for (int32_t k = 0; k < batch.lasts; ++k) {
    std::memcpy(batch.lastAt[k], batch.pixels + 4 * batch.lastEntry[k], 3);
  }
  batch.count = batch.lasts = 0;
}

// The listed pixels of an output row into the batch, read from the row
// once its samples are in place.
inline void BatchListed(uint8_t *row, int32_t pixelStep, const uint16_t *value,
                        const uint16_t *blurred, const uint8_t *list,
                        int32_t listed, int32_t count, ThroughBatch &batch) {
  const bool last =
      pixelStep == 3 && listed > 0 && list[listed - 1] == count - 1;
  int32_t n = batch.count;
  for (int32_t k = 0; k < listed - last; ++k, ++n) {
    uint8_t *at = row + ptrdiff_t(list[k]) * pixelStep;
    std::memcpy(batch.pixels + 4 * n, at, 4);
    batch.values[n] = value[list[k]];
    batch.blurred[n] = blurred[list[k]];
    batch.at[n] = at;
  }
  if (last) {
    uint8_t *at = row + ptrdiff_t(count - 1) * 3;
    std::memcpy(batch.pixels + 4 * n, at, 3);
    batch.pixels[4 * n + 3] = 0;
    batch.values[n] = value[count - 1];
    batch.blurred[n] = blurred[count - 1];
    batch.at[n] = batch.sink;
    batch.lastAt[batch.lasts] = at;
    batch.lastEntry[batch.lasts++] = n++;
  }
  batch.count = n;
}

template <class O>
void ColoursThrough8(const uint8_t *source, int32_t pixelStep,
                     const uint16_t *blurred, uint16_t *value,
                     uint8_t *destination, int32_t count,
                     const KernelTables &tables, ThroughBatch &batch) {
  alignas(32) uint8_t list[256 + 8];
  const int32_t listed = ListResponding<O>(blurred, value, count, tables, list);
  // Where most pixels of three samples change, all of them in whole
  // vectors are sharpened and converted in place, and the row's end as
  // few as change.
  const int32_t whole =
      pixelStep == 3 && 2 * listed > count ? count / O::kLanes * O::kLanes : 0;
  if (whole > 0) {
    Sharpen<O>(blurred, nullptr, nullptr, value, whole, tables);
    WholeBack8<O>(source, value, destination, whole);
  }
  int32_t first = whole == 0 ? 0 : listed;
  while (first > 0 && list[first - 1] >= whole) --first;
  CopyRgb8(source, pixelStep, destination, whole, count);
  BatchListed(destination, pixelStep, value, blurred, list + first,
              listed - first, count, batch);
  batch.tables = &tables;
  if (batch.count >= kThroughBatch || batch.lasts == kThroughLasts) {
    FinishThrough8<O>(batch);
  }
}

// ---------------------------------------------------------------------
// Blur: running sums down a strip of kLanes lines side by side, one line
// per lane. A strip of rows is first turned on its side, so that both
// passes run down strips.
//
// Window sums of values up to 1024 fit 16 bits up to radius 31
// (1024 x 63 + 31 = 64543); the reciprocal product (m sum) >> 16 is then
// a high multiply. Wider windows keep their sums in 32-bit lanes, where
// m sum < 2^27.

constexpr int32_t kWideRadius = 32;

template <class O>
inline void AddWide(Vec<O> &lo, Vec<O> &hi, Vec<O> v) {
  Vec<O> vLo, vHi;
  O::Widen(v, vLo, vHi);
  lo = O::Add32(lo, vLo);
  hi = O::Add32(hi, vHi);
}

template <class O>
inline void SubWide(Vec<O> &lo, Vec<O> &hi, Vec<O> v) {
  Vec<O> vLo, vHi;
  O::Widen(v, vLo, vHi);
  lo = O::Sub32(lo, vLo);
  hi = O::Sub32(hi, vHi);
}

// (m sum) >> 16 with m, below 2^16, in every 16-bit lane. Without a
// 32-bit product: with sum = 65536 h + l, it is (m l) >> 16, the high
// product of the low halves, plus m h, the low product of the high
// halves, exact as m h < 2^16 (h < 8, and m < 1024 from radius 32 up).
template <class O>
inline Vec<O> ScaleWide(Vec<O> lo, Vec<O> hi, Vec<O> m) {
  const auto scale = [m](Vec<O> sum) {
    if constexpr (O::kMulLo32) {
      Vec<O> m32, unused;
      O::Widen(m, m32, unused);
      return O::template Srli32<16>(O::MulLo32(sum, m32));
    }
    return O::Add32(O::MulHi16u(sum, m),
                    O::template Srli32<16>(O::MulLo16(sum, m)));
  };
  return O::NarrowSmall(scale(lo), scale(hi));
}

// One box pass of radius r down a strip: the window sum with bias r
// around each line position, times floor(65536 / (2 r + 1)), >> 16.
template <class O>
void BoxPass(const uint16_t *source, ptrdiff_t sourceStride,
             uint16_t *destination, ptrdiff_t destinationStride, int32_t count,
             int32_t r, uint32_t m) {
  const ptrdiff_t ss = sourceStride, ds = destinationStride;
  if (r == 0) {  // m = 65536: each value itself
    for (ptrdiff_t i = 0; i < count; ++i) {
      O::Store(destination + i * ds, O::Load(source + i * ss));
    }
    return;
  }
  if (r < kWideRadius) {
    const Vec<O> multiplier = O::Set16(int32_t(m));
    Vec<O> sum = O::Set16(r);
    for (ptrdiff_t k = -r; k <= r; ++k) {
      sum = O::Add16(sum, O::Load(source + k * ss));
    }
    O::Store(destination, O::MulHi16u(sum, multiplier));
    for (ptrdiff_t i = 1; i < count; ++i) {
      const Vec<O> change = O::Sub16(O::Load(source + (i + r) * ss),
                                     O::Load(source + (i - r - 1) * ss));
      sum = O::Add16(sum, change);
      O::Store(destination + i * ds, O::MulHi16u(sum, multiplier));
    }
    return;
  }
  const Vec<O> multiplier = O::Set16(int32_t(m));
  Vec<O> lo = O::Set32(r), hi = O::Set32(r);
  for (ptrdiff_t k = -r; k <= r; ++k)
    AddWide<O>(lo, hi, O::Load(source + k * ss));
  O::Store(destination, ScaleWide<O>(lo, hi, multiplier));
  for (ptrdiff_t i = 1; i < count; ++i) {
    AddWide<O>(lo, hi, O::Load(source + (i + r) * ss));
    SubWide<O>(lo, hi, O::Load(source + (i - r - 1) * ss));
    O::Store(destination + i * ds, ScaleWide<O>(lo, hi, multiplier));
  }
}

// b1 + (((b2 - b1) f) >> 4) with an arithmetic shift; |b2 - b1| <= 1024
// and f <= 15 keep the product within a signed lane.
template <class O>
inline Vec<O> Blend(Vec<O> b1, Vec<O> b2, Vec<O> f) {
  return O::Add16(b1, O::template Srai16<4>(O::MulLo16(O::Sub16(b2, b1), f)));
}

// The box of radius r blended toward radius r + 1 by f sixteenths. The
// wider window's sum carries the bias r + 2.
template <class O>
void BlendPass(const uint16_t *source, ptrdiff_t sourceStride,
               uint16_t *destination, ptrdiff_t destinationStride,
               int32_t count, int32_t r, int32_t f, uint32_t m1, uint32_t m2) {
  const ptrdiff_t ss = sourceStride, ds = destinationStride;
  const Vec<O> fraction = O::Set16(f);
  if (r + 1 < kWideRadius) {
    const Vec<O> multiplier1 = O::Set16(int32_t(m1));
    const Vec<O> multiplier2 = O::Set16(int32_t(m2));
    Vec<O> s1 = O::Set16(r);
    for (ptrdiff_t k = -r; k <= r; ++k)
      s1 = O::Add16(s1, O::Load(source + k * ss));
    Vec<O> s2 = O::Add16(O::Add16(s1, O::Set16(2)),
                         O::Add16(O::Load(source - (r + 1) * ss),
                                  O::Load(source + (r + 1) * ss)));
    for (ptrdiff_t i = 0; i < count; ++i) {
      if (i > 0) {
        s1 = O::Add16(s1, O::Sub16(O::Load(source + (i + r) * ss),
                                   O::Load(source + (i - r - 1) * ss)));
        s2 = O::Add16(s2, O::Sub16(O::Load(source + (i + r + 1) * ss),
                                   O::Load(source + (i - r - 2) * ss)));
      }
      // Radius 0 divides by 1: m1 = 65536 does not fit a lane.
      const Vec<O> b1 = r == 0 ? s1 : O::MulHi16u(s1, multiplier1);
      const Vec<O> b2 = O::MulHi16u(s2, multiplier2);
      O::Store(destination + i * ds, Blend<O>(b1, b2, fraction));
    }
    return;
  }
  const Vec<O> multiplier1 = O::Set16(int32_t(m1));
  const Vec<O> multiplier2 = O::Set16(int32_t(m2));
  Vec<O> lo1 = O::Set32(r), hi1 = O::Set32(r);
  for (ptrdiff_t k = -r; k <= r; ++k)
    AddWide<O>(lo1, hi1, O::Load(source + k * ss));
  Vec<O> lo2 = O::Add32(lo1, O::Set32(2)), hi2 = O::Add32(hi1, O::Set32(2));
  AddWide<O>(lo2, hi2, O::Load(source - (r + 1) * ss));
  AddWide<O>(lo2, hi2, O::Load(source + (r + 1) * ss));
  for (ptrdiff_t i = 0; i < count; ++i) {
    if (i > 0) {
      AddWide<O>(lo1, hi1, O::Load(source + (i + r) * ss));
      SubWide<O>(lo1, hi1, O::Load(source + (i - r - 1) * ss));
      AddWide<O>(lo2, hi2, O::Load(source + (i + r + 1) * ss));
      SubWide<O>(lo2, hi2, O::Load(source + (i - r - 2) * ss));
    }
    const Vec<O> b1 = ScaleWide<O>(lo1, hi1, multiplier1);
    const Vec<O> b2 = ScaleWide<O>(lo2, hi2, multiplier2);
    O::Store(destination + i * ds, Blend<O>(b1, b2, fraction));
  }
}

// Both passes of the line blur down one strip: the first (radius r2)
// widened by what the second reads, into scratch, then the second.
template <class O>
void BlurStrip(const uint16_t *source, ptrdiff_t sourceStride, int32_t count,
               const KernelRadii &radii, const uint32_t *divisors,
               uint16_t *destination, ptrdiff_t destinationStride,
               uint16_t *scratch) {
  constexpr ptrdiff_t kLanes = O::kLanes;
  const int32_t r1 = radii.r1, r2 = radii.r2, f = radii.fraction;
  const int32_t extra = r1 + (f == 0 ? 0 : 1);
  BoxPass<O>(source - extra * sourceStride, sourceStride, scratch, kLanes,
             count + 2 * extra, r2, divisors[r2]);
  if (f == 0) {
    BoxPass<O>(scratch + r1 * kLanes, kLanes, destination, destinationStride,
               count, r1, divisors[r1]);
  } else {
    BlendPass<O>(scratch + (r1 + 1) * kLanes, kLanes, destination,
                 destinationStride, count, r1, f, divisors[r1],
                 divisors[r1 + 1]);
  }
}

// Eight rows of eight values turned into eight columns.
template <class O>
inline void Transpose8x8(const uint16_t *source, ptrdiff_t sourceStride,
                         uint16_t *destination, ptrdiff_t destinationStride) {
  using H = typename O::Half;
  H a[8], b[8], c[8];
  for (int32_t i = 0; i < 8; ++i) a[i] = O::LoadHalf(source + i * sourceStride);
  for (int32_t i = 0; i < 4; ++i) {
    b[2 * i] = O::UnpackLo16(a[2 * i], a[2 * i + 1]);
    b[2 * i + 1] = O::UnpackHi16(a[2 * i], a[2 * i + 1]);
  }
  for (int32_t i = 0; i < 2; ++i) {
    c[4 * i] = O::UnpackLo32(b[4 * i], b[4 * i + 2]);
    c[4 * i + 1] = O::UnpackHi32(b[4 * i], b[4 * i + 2]);
    c[4 * i + 2] = O::UnpackLo32(b[4 * i + 1], b[4 * i + 3]);
    c[4 * i + 3] = O::UnpackHi32(b[4 * i + 1], b[4 * i + 3]);
  }
  for (int32_t i = 0; i < 4; ++i) {
    O::StoreHalf(destination + (2 * i) * destinationStride,
                 O::UnpackLo64(c[i], c[i + 4]));
    O::StoreHalf(destination + (2 * i + 1) * destinationStride,
                 O::UnpackHi64(c[i], c[i + 4]));
  }
}

template <class O>
void BlurRowsTurned(const uint16_t *values, ptrdiff_t valueStride, int32_t rows,
                    int32_t columns, const KernelRadii &radii,
                    const uint32_t *divisors, uint16_t *rowBlur,
                    uint16_t *scratch) {
  constexpr int32_t kLanes = O::kLanes;
  const int32_t width = columns + 2 * radii.margin;
  uint16_t *turned = scratch;                  // width lines of kLanes
  uint16_t *blurred = scratch + 464 * kLanes;  // columns lines of kLanes
  uint16_t *passScratch = blurred + 256 * kLanes;
  for (int32_t top = 0; top < rows; top += kLanes) {
    for (int32_t x = 0; x < width; x += 8) {
      for (int32_t group = 0; group < kLanes; group += 8) {
        Transpose8x8<O>(values + (top + group) * valueStride + x, valueStride,
                        turned + x * kLanes + group, kLanes);
      }
    }
    BlurStrip<O>(turned + radii.margin * kLanes, kLanes, columns, radii,
                 divisors, blurred, kLanes, passScratch);
    for (int32_t x = 0; x < columns; x += 8) {
      for (int32_t group = 0; group < kLanes; group += 8) {
        Transpose8x8<O>(blurred + x * kLanes + group, kLanes,
                        rowBlur + (top + group) * kBlurStride + x, kBlurStride);
      }
    }
  }
}

// Small radii along each row directly: every output vector sums its
// window from shifted loads, the same sums the running ones make, and
// the rows need not be turned on their side. Worth it while the windows
// are a few values wide.
constexpr int32_t kDirectReach = 6;  // r1 + r2 at most

template <class O>
inline Vec<O> WindowSum(const uint16_t *at, ptrdiff_t step, int32_t r) {
  Vec<O> sum = O::Set16(r);
  for (int32_t k = -r; k <= r; ++k) sum = O::Add16(sum, O::Load(at + k * step));
  return sum;
}

// The box of radius r around at: the value itself for radius 0, whose
// multiplier 65536 does not fit a lane.
template <class O>
inline Vec<O> Box(const uint16_t *at, ptrdiff_t step, int32_t r,
                  Vec<O> multiplier) {
  return r == 0 ? O::Load(at)
                : O::MulHi16u(WindowSum<O>(at, step, r), multiplier);
}

// The second pass around at, in first-pass values step apart: the box
// of radius kR1, or with kBlend its blend toward kR1 + 1.
template <class O, int32_t kR1, bool kBlend>
struct SecondPass {
  Vec<O> m1, wider, fraction;
  SecondPass(const KernelRadii &radii, const uint32_t *divisors)
      : m1(O::Set16(int32_t(divisors[kR1]))),
        wider(O::Set16(int32_t(divisors[kR1 + 1]))),
        fraction(O::Set16(radii.fraction)) {}
  Vec<O> At(const uint16_t *at, ptrdiff_t step) const {
    if (!kBlend) return Box<O>(at, step, kR1, m1);
    // As BlendPass: the wider window's sum carries the bias kR1 + 2.
    const Vec<O> s1 = WindowSum<O>(at, step, kR1);
    const Vec<O> s2 = O::Add16(O::Add16(s1, O::Set16(2)),
                               O::Add16(O::Load(at - (kR1 + 1) * step),
                                        O::Load(at + (kR1 + 1) * step)));
    const Vec<O> b1 = kR1 == 0 ? s1 : O::MulHi16u(s1, m1);
    return Blend<O>(b1, O::MulHi16u(s2, wider), fraction);
  }
};

// The direct passes take their radii as constants, so that the windows'
// sums unroll: r1 and r2 (r1 or r1 + 1) from 0 to 3, blended or not.
template <int32_t kN>
using Constant = std::integral_constant<int32_t, kN>;

template <int32_t kCase = 0, typename Run>
inline void WithSmallRadii(const KernelRadii &radii, Run run) {
  if constexpr (kCase < 16) {
    const int32_t c = radii.r1 * 4 + (radii.r2 - radii.r1) * 2 +
                      (radii.fraction != 0 ? 1 : 0);
    if (c != kCase) return WithSmallRadii<kCase + 1>(radii, run);
    run(Constant<kCase / 4>(), Constant<kCase / 4 + kCase / 2 % 2>(),
        std::bool_constant<kCase % 2 == 1>());
  }
}

template <class O, int32_t kR1, int32_t kR2, bool kBlend>
void BlurRowsDirect(const uint16_t *values, ptrdiff_t valueStride, int32_t rows,
                    int32_t columns, const KernelRadii &radii,
                    const uint32_t *divisors, uint16_t *rowBlur,
                    uint16_t *scratch) {
  constexpr int32_t kLanes = O::kLanes;
  constexpr int32_t kExtra = kR1 + (kBlend ? 1 : 0);
  const Vec<O> m2 = O::Set16(int32_t(divisors[kR2]));
  const SecondPass<O, kR1, kBlend> second(radii, divisors);
  // The first pass from kExtra values before the row's first output on;
  // lanes past the row's end hold whatever, as in the turned pass.
  uint16_t *first = scratch + kLanes;
  for (int32_t y = 0; y < rows; ++y) {
    const uint16_t *line = values + ptrdiff_t(y) * valueStride + radii.margin;
    for (int32_t x = -kExtra; x < columns + kExtra; x += kLanes) {
      O::Store(first + x, Box<O>(line + x, 1, kR2, m2));
    }
    uint16_t *out = rowBlur + ptrdiff_t(y) * kBlurStride;
    for (int32_t x = 0; x < columns; x += kLanes) {
      O::Store(out + x, second.At(first + x, 1));
    }
  }
}

constexpr int32_t kWalkStrips = 2;  // strips a column walk takes at once

// Reaches from 1 up to 2 (a first box of radius 1, the second of 0 or
// blended toward 1), on tiles as wide as the widest walk: the column
// walk blurs each value row as it enters, from shifted loads, and keeps
// the few rows its windows span in registers, so that no row goes
// through memory between the passes. The row pass leaves these to it.
// Vectors of 8 lanes measured slower so.
template <class O>
inline bool RowsInColumnWalk(const KernelRadii &radii, int32_t columns) {
  return O::kLanes >= 16 && radii.r1 == 0 && radii.r2 == 1 &&
         columns >= kWalkStrips * kMaxLanes;
}

// Small radii directly with ODirect's vectors, others turned with
// OTurned's.
template <class ODirect, class OTurned>
void BlurRows(const uint16_t *values, ptrdiff_t valueStride, int32_t rows,
              int32_t columns, const KernelRadii &radii,
              const uint32_t *divisors, uint16_t *rowBlur, uint16_t *scratch) {
  if (RowsInColumnWalk<ODirect>(radii, columns)) return;
  if (radii.r1 + radii.r2 > kDirectReach) {
    BlurRowsTurned<OTurned>(values, valueStride, rows, columns, radii, divisors,
                            rowBlur, scratch);
    return;
  }
  WithSmallRadii(radii, [&](auto r1, auto r2, auto blend) {
    BlurRowsDirect<ODirect, decltype(r1)::value, decltype(r2)::value,
                   decltype(blend)::value>(values, valueStride, rows, columns,
                                           radii, divisors, rowBlur, scratch);
  });
}

// Down the columns kWalkStrips strips of lanes at a time, for radii
// whose sums fit 16-bit lanes: running sums in both passes, each
// first-pass row made once and stored for the second pass to take back
// as it leaves that pass's window. Registers hold the sums of two strips
// side by side without spilling.
constexpr int32_t kWriteAhead = 16;  // rows
static_assert((kBlurStride + 2 * kWideRadius) * kWalkStrips * kMaxLanes <=
                  kBlurScratchValues,
              "a walk's first-pass rows fit the scratch");

// The blend as one signed high product: with f << 12 in a lane,
// ((b2 - b1) (f << 12)) >> 16 is ((b2 - b1) f) >> 4 for f below 8. From
// 8 on, f << 12 wraps to f 4096 - 65536 and the product comes out
// b2 - b1 less, which starting from b2 (kWider) makes up.
template <class O, bool kWider>
inline Vec<O> BlendHigh(Vec<O> b1, Vec<O> b2, Vec<O> factor) {
  return O::Add16(kWider ? b2 : b1, O::MulHi16s(O::Sub16(b2, b1), factor));
}

// kR1Zero: blended from the box of radius 0, each first-pass value.
// Other boxes of radius 0 take the bias 1 and the multiplier 65535,
// which give each value back: (65535 (v + 1)) >> 16 = v.
template <class O, bool kBlend, bool kR1Zero, bool kWider>
void BlurColumnsWalk(const uint16_t *rowBlur, int32_t rows, int32_t columns,
                     const KernelRadii &radii, const uint32_t *divisors,
                     uint16_t *blurred, uint16_t *scratch) {
  constexpr int32_t kLanes = O::kLanes, kStrips = kWalkStrips;
  constexpr int32_t kColumns = kStrips * kLanes;
  constexpr ptrdiff_t kStride = kBlurStride;
  const int32_t r1 = radii.r1, r2 = radii.r2;
  const int32_t extra = r1 + (kBlend ? 1 : 0);
  const int32_t window = 2 * extra;  // rows before the entering one
  const Vec<O> m2 = O::Set16(r2 == 0 ? 65535 : int32_t(divisors[r2]));
  const Vec<O> m1 = O::Set16(r1 == 0 ? 65535 : int32_t(divisors[r1]));
  const Vec<O> wider = O::Set16(int32_t(divisors[r1 + 1]));
  const Vec<O> factor = O::Set16(radii.fraction << 12);
  // The second pass's outer window has radius r1, or r1 + 1 with the
  // bias r1 + 2 when blended; the inner one (blended only) radius r1.
  const int32_t innerBias = r1 == 0 ? 1 : r1;
  const int32_t outerBias = kBlend ? r1 + 2 : innerBias;
  const auto walk = [&](int32_t x) {
    // First-pass row j is that of output row j - extra.
    const uint16_t *top = rowBlur + (radii.margin - extra) * kStride + x;
    uint16_t *out = blurred + x;
    const auto first = [scratch](int32_t j, int32_t s) {
      return scratch + j * kColumns + s * O::kLanes;
    };
    Vec<O> sum[kStrips], outer[kStrips], inner[kStrips], last[kStrips];
    for (int32_t s = 0; s < kStrips; ++s) {
      sum[s] = O::Set16(r2 == 0 ? 1 : r2);
      for (int32_t k = -r2; k <= r2; ++k) {
        sum[s] = O::Add16(sum[s], O::Load(top + k * kStride + s * kLanes));
      }
      last[s] = O::MulHi16u(sum[s], m2);
      O::Store(first(0, s), last[s]);
      outer[s] = O::Add16(O::Set16(outerBias), last[s]);
      inner[s] = O::Set16(innerBias);
    }
    // First-pass row j > 0, its window's sum moved on from row j - 1.
    const auto firstPass = [&](int32_t j, int32_t s) {
      const uint16_t *at = top + j * kStride + s * kLanes;
      sum[s] = O::Add16(sum[s], O::Sub16(O::Load(at + r2 * kStride),
                                         O::Load(at - (r2 + 1) * kStride)));
      last[s] = O::MulHi16u(sum[s], m2);
      O::Store(first(j, s), last[s]);
      return last[s];
    };
    for (int32_t j = 1; j < window; ++j) {
      for (int32_t s = 0; s < kStrips; ++s) {
        const Vec<O> b = firstPass(j, s);
        outer[s] = O::Add16(outer[s], b);
        if (kBlend && !kR1Zero && j + 1 < window) {
          inner[s] = O::Add16(inner[s], b);
        }
      }
    }
    for (int32_t y = 0; y < rows; ++y) {
      const int32_t j = y + window;  // the row entering the window
      // The walk crosses a page every few rows, where the processor's
      // own prefetching stops: the lines of output rows some rows ahead,
      // which no cache may hold, are asked for.
      if (y + kWriteAhead < rows) {
        PrefetchRowForWriting(out + (y + kWriteAhead) * kStride,
                              sizeof(uint16_t) * kWalkStrips * kLanes);
      }
      for (int32_t s = 0; s < kStrips; ++s) {
        // The row before it: the middle one (kR1Zero), or the one
        // entering the inner window.
        Vec<O> b1 = last[s];
        if (kBlend || j > 0) outer[s] = O::Add16(outer[s], firstPass(j, s));
        Vec<O> result;
        if (!kBlend) {
          result = O::MulHi16u(outer[s], m1);
        } else {
          if (!kR1Zero) {
            inner[s] = O::Add16(inner[s], b1);
            b1 = O::MulHi16u(inner[s], m1);
            inner[s] = O::Sub16(inner[s], O::Load(first(y + 1, s)));
          }
          result =
              BlendHigh<O, kWider>(b1, O::MulHi16u(outer[s], wider), factor);
        }
        O::Store(out + y * kStride + s * kLanes, result);
        outer[s] = O::Sub16(outer[s], O::Load(first(y, s)));
      }
    }
  };
  // Where the columns end short of a whole walk, the last one overlaps
  // the one before.
  for (int32_t x = 0; x < columns; x += kColumns) {
    walk(std::min(x, (columns + kLanes - 1) / kLanes * kLanes - kColumns));
  }
}

// The sums and the blend as the row pass and the column walk make them
// for these radii, so the bits are theirs.
template <class O, bool kBlend, bool kWider>
void BlurTileWalk(const uint16_t *values, ptrdiff_t valueStride, int32_t rows,
                  int32_t columns, const KernelRadii &radii,
                  const uint32_t *divisors, uint16_t *blurred) {
  constexpr int32_t kLanes = O::kLanes, kStrips = kWalkStrips;
  constexpr int32_t kColumns = kStrips * kLanes;
  constexpr ptrdiff_t kStride = kBlurStride;
  const Vec<O> m = O::Set16(int32_t(divisors[1]));
  const Vec<O> one = O::Set16(1), two = O::Set16(2);
  const Vec<O> factor = O::Set16(radii.fraction << 12);
  // Value row i blurred along the row at column c: the boxes of radius
  // 1 (biased by 1) around c, and blended, around its neighbours too.
  const auto row = [&](int32_t i, int32_t c) {
    const uint16_t *at = values + i * valueStride + radii.margin + c;
    const Vec<O> left = O::Load(at - 1), right = O::Load(at + 1);
    const Vec<O> middle = O::Add16(O::Load(at), one);
    const Vec<O> centre =
        O::MulHi16u(O::Add16(O::Add16(left, right), middle), m);
    if (!kBlend) return centre;
    const Vec<O> before =
        O::MulHi16u(O::Add16(O::Add16(O::Load(at - 2), left), middle), m);
    const Vec<O> after =
        O::MulHi16u(O::Add16(O::Add16(right, O::Load(at + 2)), middle), m);
    const Vec<O> wide =
        O::Add16(O::Add16(centre, two), O::Add16(before, after));
    return BlendHigh<O, kWider>(centre, O::MulHi16u(wide, m), factor);
  };
  const auto column = [&](Vec<O> above, Vec<O> here, Vec<O> below) {
    return O::MulHi16u(O::Add16(O::Add16(above, one), O::Add16(here, below)),
                       m);
  };
  const auto walk = [&](int32_t x) {
    uint16_t *out = blurred + x;
    // Per strip: the row blurs of the two rows before the entering one,
    // and (blended) the first column pass of the two rows before that.
    Vec<O> r0[kStrips], r1[kStrips], f0[kStrips], f1[kStrips];
    for (int32_t s = 0; s < kStrips; ++s) {
      const int32_t c = x + s * kLanes;
      r0[s] = row(0, c);
      r1[s] = row(1, c);
      if (kBlend) {
        const Vec<O> r2 = row(2, c), r3 = row(3, c);
        f0[s] = column(r0[s], r1[s], r2);
        f1[s] = column(r1[s], r2, r3);
        r0[s] = r2;
        r1[s] = r3;
      }
    }
    const int32_t first = kBlend ? 4 : 2;
    for (int32_t y = 0; y < rows; ++y) {
      // As in the walk above, the rows some rows ahead asked for, here
      // the values' too.
      if (y + kWriteAhead < rows) {
        PrefetchRowForWriting(out + (y + kWriteAhead) * kStride,
                              sizeof(uint16_t) * kColumns);
        PrefetchRow(values + (first + y + kWriteAhead) * valueStride +
                        radii.margin + x - 8,
                    sizeof(uint16_t) * (kColumns + 16));
      }
      for (int32_t s = 0; s < kStrips; ++s) {
        const Vec<O> r2 = row(first + y, x + s * kLanes);
        const Vec<O> f2 = column(r0[s], r1[s], r2);
        r0[s] = r1[s];
        r1[s] = r2;
        Vec<O> result = f2;
        if (kBlend) {
          const Vec<O> wide =
              O::Add16(O::Add16(f0[s], two), O::Add16(f1[s], f2));
          result = BlendHigh<O, kWider>(f1[s], O::MulHi16u(wide, m), factor);
          f0[s] = f1[s];
          f1[s] = f2;
        }
        O::Store(out + y * kStride + s * kLanes, result);
      }
    }
  };
  for (int32_t x = 0; x < columns; x += kColumns) {
    walk(std::min(x, (columns + kLanes - 1) / kLanes * kLanes - kColumns));
  }
}

// Walks with OWalk's vectors where the sums fit 16-bit lanes and the
// tile is as wide as a walk, otherwise strips of OStrips's lanes.
template <class OWalk, class OStrips>
void BlurColumns(const uint16_t *values, ptrdiff_t valueStride,
                 const uint16_t *rowBlur, int32_t rows, int32_t columns,
                 const KernelRadii &radii, const uint32_t *divisors,
                 uint16_t *blurred, uint16_t *scratch) {
  const int32_t r1 = radii.r1, f = radii.fraction;
  if (RowsInColumnWalk<OWalk>(radii, columns)) {
    const auto walk = f == 0  ? BlurTileWalk<OWalk, false, false>
                      : f < 8 ? BlurTileWalk<OWalk, true, false>
                              : BlurTileWalk<OWalk, true, true>;
    walk(values, valueStride, rows, columns, radii, divisors, blurred);
    return;
  }
  if (columns >= kWalkStrips * OWalk::kLanes && radii.r2 < kWideRadius &&
      r1 + 1 < kWideRadius) {
    const auto walk = f == 0 ? BlurColumnsWalk<OWalk, false, false, false>
                      : r1 == 0
                          ? (f < 8 ? BlurColumnsWalk<OWalk, true, true, false>
                                   : BlurColumnsWalk<OWalk, true, true, true>)
                          : (f < 8 ? BlurColumnsWalk<OWalk, true, false, false>
                                   : BlurColumnsWalk<OWalk, true, false, true>);
    walk(rowBlur, rows, columns, radii, divisors, blurred, scratch);
    return;
  }
  const uint16_t *first = rowBlur + radii.margin * kBlurStride;
  for (int32_t x = 0; x < columns; x += OStrips::kLanes) {
    BlurStrip<OStrips>(first + x, kBlurStride, rows, radii, divisors,
                       blurred + x, kBlurStride, scratch);
  }
}

// ---------------------------------------------------------------------
// Sharpening step

// Clamped to 0..1024, one value at a time.
inline uint16_t Clamped(int32_t sharpened) {
  return uint16_t(sharpened <= 0 ? 0 : sharpened >= 1024 ? 1024 : sharpened);
}

// kLanes values at i through the tables with gathers: 32-bit lanes,
// widened and narrowed in the same order. The sums are packed with
// signed saturation, which leaves any sum beyond 0..1024 beyond it.
template <class O, bool kWeighted>
inline void SharpenLanes(const uint16_t *blurred, const uint16_t *hue,
                         const uint16_t *saturation, uint16_t *value,
                         const KernelTables &tables) {
  Vec<O> level[2], d[2], sharpened[2];
  O::Widen(O::Load(value), level[0], level[1]);
  Vec<O> blur[2];
  O::Widen(O::Load(blurred), blur[0], blur[1]);
  Vec<O> hues[2], saturations[2];
  if (kWeighted) {
    O::Widen(O::Load(hue), hues[0], hues[1]);
    O::Widen(O::Load(saturation), saturations[0], saturations[1]);
  }
  for (int32_t half = 0; half < 2; ++half) {
    d[half] = O::Sub32(level[half], blur[half]);
    const Vec<O> r = O::Gather32(tables.response, d[half]);
    sharpened[half] = O::Add32(level[half], r);
    if (kWeighted) {
      const Vec<O> w = O::template Srai32<10>(
          O::MulLo32(O::Gather32(tables.hueWeights, hues[half]),
                     O::Gather32(tables.saturationWeights, saturations[half])));
      sharpened[half] =
          O::Add32(sharpened[half],
                   O::template Srai32<10>(O::MulLo32(O::Add32(d[half], r), w)));
    }
  }
  const Vec<O> packed = O::PackSat32(sharpened[0], sharpened[1]);
  O::Store(value, O::Min16s(O::Max16s(packed, O::Zero()), O::Set16(1024)));
}

// The unweighted step one value at a time: L' = L + R(d), clamped.
inline void SharpenEach(const uint16_t *blurred, uint16_t *value, int32_t count,
                        const int32_t *response) {
  for (int32_t i = 0; i < count; ++i) {
    const int32_t level = value[i];
    value[i] = Clamped(level + response[level - int32_t(blurred[i])]);
  }
}

// kNearLanes values without colour weights: small differences through
// the near table in registers; others through gathers where the
// instruction set has them, else one lookup at a time.
template <class O>
void SharpenNearOrFar(const typename O::NearTable &near,
                      const uint16_t *blurred, uint16_t *value,
                      const KernelTables &tables) {
  if (O::SharpenNear(near, blurred, value)) return;
  if constexpr (O::kGather) {
    for (int32_t k = 0; k < O::kNearLanes; k += O::kLanes) {
      SharpenLanes<O, false>(blurred + k, nullptr, nullptr, value + k, tables);
    }
  } else {
    SharpenEach(blurred, value, O::kNearLanes, tables.response);
  }
}

template <class O>
void Sharpen(const uint16_t *blurred, const uint16_t *hue,
             const uint16_t *saturation, uint16_t *value, int32_t count,
             const KernelTables &tables) {
  int32_t i = 0;
  if (!tables.colourWeighted) {
    const typename O::NearTable near = O::LoadNearTable(tables);
    for (; i + O::kNearLanes <= count; i += O::kNearLanes) {
      SharpenNearOrFar<O>(near, blurred + i, value + i, tables);
    }
    SharpenEach(blurred + i, value + i, count - i, tables.response);
    return;
  }
  if constexpr (O::kGather) {
    for (; i + O::kLanes <= count; i += O::kLanes) {
      SharpenLanes<O, true>(blurred + i, hue + i, saturation + i, value + i,
                            tables);
    }
  }
  const int32_t *response = tables.response;
  const int32_t *hueWeights = tables.hueWeights;
  const int32_t *saturationWeights = tables.saturationWeights;
  for (; i < count; ++i) {
    const int32_t level = value[i];
    const int32_t d = level - int32_t(blurred[i]);
    const int32_t r = response[d];
    const int32_t w =
        (hueWeights[hue[i]] * saturationWeights[saturation[i]]) >> 10;
    value[i] = Clamped(level + r + (((d + r) * w) >> 10));
  }
}

template <class O>
constexpr EngineKernels MakeKernels(const char *name) {
  return EngineKernels{name,
                       ValuesFrom<O, uint8_t>,
                       ColoursFrom<O, uint8_t>,
                       ValuesFrom<O, uint16_t>,
                       ColoursFrom<O, uint16_t>,
                       ColoursTo<O, uint8_t>,
                       ColoursTo<O, uint16_t>,
                       ColoursThrough8<O>,
                       FinishThrough8<O>,
                       INT32_MAX,  // every margin
                       BlurRows<O, O>,
                       BlurColumns<O, O>,
                       Sharpen<O>};
}

}  // namespace
