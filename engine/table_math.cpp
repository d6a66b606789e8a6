// Double-double arithmetic (a value as an unevaluated sum hi + lo with
// |lo| <= half an ulp of hi, about 106 bits), after Dekker and Knuth.
// Results carry errors near 2^-100 relative, so rounding hi + lo to a
// double gives the correctly rounded value except within that distance
// of a halfway point.
#include "engine/table_math.h"

#include <cfloat>
#include <cmath>

// Every operation must round to double on its own: no x87 extended
// intermediates (32-bit builds use SSE2), no fused multiply-adds (the
// engine is compiled with -ffp-contract=off).
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must be SSE2");

namespace {

struct Wide {
  double hi, lo;
};

Wide QuickTwoSum(double a, double b) {  // |a| >= |b|
  const double s = a + b;
  return {s, b - (s - a)};
}

Wide TwoSum(double a, double b) {
  const double s = a + b;
  const double v = s - a;
  return {s, (a - (s - v)) + (b - v)};
}

Wide Split(double a) {
  const double t = 134217729.0 * a;  // 2^27 + 1
  const double hi = t - (t - a);
  return {hi, a - hi};
}

Wide TwoProduct(double a, double b) {
  const double p = a * b;
  const Wide x = Split(a), y = Split(b);
  return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Wide Add(Wide a, Wide b) {
  Wide s = TwoSum(a.hi, b.hi);
  const Wide t = TwoSum(a.lo, b.lo);
  s = QuickTwoSum(s.hi, s.lo + t.hi);
  return QuickTwoSum(s.hi, s.lo + t.lo);
}

Wide Negate(Wide a) { return {-a.hi, -a.lo}; }

Wide Multiply(Wide a, Wide b) {
  const Wide p = TwoProduct(a.hi, b.hi);
  return QuickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Wide Divide(Wide a, Wide b) {
  const double q1 = a.hi / b.hi;
  Wide r = Add(a, Negate(Multiply(b, {q1, 0})));
  const double q2 = r.hi / b.hi;
  r = Add(r, Negate(Multiply(b, {q2, 0})));
  const double q3 = r.hi / b.hi;
  return Add(QuickTwoSum(q1, q2), {q3, 0});
}

Wide Scale(Wide a, double powerOfTwo) {
  return {a.hi * powerOfTwo, a.lo * powerOfTwo};
}

constexpr Wide kLn2 = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
constexpr double kNegligible = 0x1p-110;

// ln x for finite x > 0: x = m 2^e with m in [0.707, 1.414), then
// ln m = 2 atanh(t), t = (m - 1) / (m + 1), |t| <= 0.172.
Wide Log(double x) {
  int e;
  double m = std::frexp(x, &e);  // exact: m in [0.5, 1)
  if (m < 0.70710678118654752) {
    m *= 2;
    --e;
  }
  const Wide t = Divide({m - 1, 0}, TwoSum(m, 1));  // m - 1 is exact
  const Wide t2 = Multiply(t, t);
  Wide sum = t, power = t;
  for (int k = 3; k < 200; k += 2) {
    power = Multiply(power, t2);
    const Wide term = Divide(power, {double(k), 0});
    sum = Add(sum, term);
    if (std::fabs(term.hi) <= kNegligible * std::fabs(sum.hi)) break;
  }
  return Add(Multiply({double(e), 0}, kLn2), Scale(sum, 2));
}

// e^z = 2^k e^r with |r| <= ln2 / 2; e^r from e^(r / 256) by squaring,
// carried as e^r - 1 so that nothing cancels.
double Exp(Wide z) {
  const double k = std::floor(z.hi / kLn2.hi + 0.5);
  const Wide r = Scale(Add(z, Negate(Multiply({k, 0}, kLn2))), 1.0 / 256);
  Wide sum = r, term = r;
  for (int n = 2; n < 40; ++n) {
    term = Divide(Multiply(term, r), {double(n), 0});
    sum = Add(sum, term);
    if (std::fabs(term.hi) <= kNegligible * std::fabs(sum.hi)) break;
  }
  for (int i = 0; i < 8; ++i) {
    sum = Add(Scale(sum, 2), Multiply(sum, sum));  // (1 + s)^2 - 1
  }
  const Wide result = Add({1, 0}, sum);
  return std::ldexp(result.hi + result.lo, int(k));
}

}  // namespace

double ComputePow(double base, double exponent) {
  if (exponent == 0 || base == 1) return 1;
  if (base == 0) return exponent > 0 ? 0 : HUGE_VAL;
  return Exp(Multiply(Log(base), {exponent, 0}));
}

double ComputeCos(double angle) {
  const Wide a2 = TwoProduct(angle, angle);
  Wide sum = {1, 0}, term = {1, 0};
  for (int n = 2; n < 80; n += 2) {
    term = Negate(Divide(Multiply(term, a2), {double(n) * (n - 1), 0}));
    sum = Add(sum, term);
    if (std::fabs(term.hi) <= kNegligible * std::fabs(sum.hi)) break;
  }
  return sum.hi + sum.lo;
}
