// The kernels for SSE2, which every processor the modules run on has:
// eight 16-bit lanes a vector. What SSE2 lacks (unsigned 16-bit maximum,
// 32-bit products, the rounding high multiply) is made from what it has.
#include <emmintrin.h>

#include <cstdint>

#include "engine/kernels.h"

namespace {

// Three-sample pixels into channels by riffles: interleaving the first
// half of the 24 words with the second moves word i to 2 i mod 23, so
// three of them move sample 3 e + c to 8 c + e.
inline void Split3(__m128i w0, __m128i w1, __m128i w2, __m128i &r, __m128i &g,
                   __m128i &b) {
  for (int32_t round = 0; round < 3; ++round) {
    const __m128i n0 = _mm_unpacklo_epi16(w0, _mm_unpackhi_epi64(w1, w1));
    const __m128i n1 = _mm_unpacklo_epi16(_mm_unpackhi_epi64(w0, w0), w2);
    const __m128i n2 = _mm_unpacklo_epi16(w1, _mm_unpackhi_epi64(w2, w2));
    w0 = n0;
    w1 = n1;
    w2 = n2;
  }
  r = w0;
  g = w1;
  b = w2;
}

// Channels of 8-bit samples back into three-sample pixels: byte i of
// the 24 (r, g, b runs) to i / 2 or 12 + i / 2 by its parity, three
// times, undoes three riffles. The high half of rest stays zero, so the
// packs need no masks.
inline void Join3Bytes(__m128i r, __m128i g, __m128i b, uint8_t *p) {
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i first = _mm_packus_epi16(r, g);
  __m128i rest = _mm_packus_epi16(b, _mm_setzero_si128());
  for (int32_t round = 0; round < 3; ++round) {
    const __m128i even =
        _mm_packus_epi16(_mm_and_si128(first, low), _mm_and_si128(rest, low));
    const __m128i odd =
        _mm_packus_epi16(_mm_srli_epi16(first, 8), _mm_srli_epi16(rest, 8));
    first = _mm_or_si128(even, _mm_slli_si128(odd, 12));
    rest = _mm_srli_si128(odd, 4);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p), first);
  _mm_storel_epi64(reinterpret_cast<__m128i *>(p + 16), rest);
}

// Channels of 16-bit samples back into three-sample pixels by pairs of
// words: red and green, green and blue, and blue with the next pixel's
// red. The three vectors of pixels are rg0 br0 gb1 rg2, br2 gb3 rg4 br4
// and gb5 rg6 br6 gb7, each put together by three float shuffles.
template <int kLow0, int kLow1, int kHigh0, int kHigh1>
inline __m128i PickPairs(__m128i a, __m128i b, __m128i c, __m128i d) {
  const __m128 low = _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b),
                                    _MM_SHUFFLE(kLow1, kLow1, kLow0, kLow0));
  const __m128 high =
      _mm_shuffle_ps(_mm_castsi128_ps(c), _mm_castsi128_ps(d),
                     _MM_SHUFFLE(kHigh1, kHigh1, kHigh0, kHigh0));
  return _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
}

inline void Join3Words(__m128i r, __m128i g, __m128i b, uint16_t *p) {
  const __m128i rg0 = _mm_unpacklo_epi16(r, g), rg1 = _mm_unpackhi_epi16(r, g);
  const __m128i gb0 = _mm_unpacklo_epi16(g, b), gb1 = _mm_unpackhi_epi16(g, b);
  const __m128i next = _mm_srli_si128(r, 2);
  const __m128i br0 = _mm_unpacklo_epi16(b, next);
  const __m128i br1 = _mm_unpackhi_epi16(b, next);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p),
                   PickPairs<0, 0, 1, 2>(rg0, br0, gb0, rg0));
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 8),
                   PickPairs<2, 3, 0, 0>(br0, gb0, rg1, br1));
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 16),
                   PickPairs<1, 2, 2, 3>(gb1, rg1, br1, gb1));
}

struct Sse2 {
  using V = __m128i;
  using Half = __m128i;
  static constexpr int32_t kLanes = 8;
  static constexpr bool kGather = false;  // no gathers: one lookup a time
  static constexpr bool kUnsignedCompare = false;
  static constexpr bool kMinMax16u = false;  // made of saturating steps
  static constexpr bool kMulLo32 = false;    // made of 64-bit products

  static V Load(const uint16_t *p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  }
  static void Store(uint16_t *p, V v) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
  }
  static V Zero() { return _mm_setzero_si128(); }
  static V Set16(int32_t x) { return _mm_set1_epi16(int16_t(x)); }
  static V Set32(int32_t x) { return _mm_set1_epi32(x); }

  static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static V AddSat16u(V a, V b) { return _mm_adds_epu16(a, b); }
  static V Max16u(V a, V b) { return _mm_add_epi16(_mm_subs_epu16(a, b), b); }
  static V Min16u(V a, V b) { return _mm_sub_epi16(a, _mm_subs_epu16(a, b)); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
  static V CmpEq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  static V Max16s(V a, V b) { return _mm_max_epi16(a, b); }
  static V Min16s(V a, V b) { return _mm_min_epi16(a, b); }
  static bool AllAtMost16u(V a, int32_t limit) {
    const V over = _mm_subs_epu16(a, Set16(limit));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(over, Zero())) == 0xFFFF;
  }
  static V CmpGt16(V a, V b) { return _mm_cmpgt_epi16(a, b); }
  // A bit for each lane where a and b differ.
  static uint32_t DifferentLanes(V a, V b) {
    const V same = _mm_packs_epi16(_mm_cmpeq_epi16(a, b), _mm_setzero_si128());
    return uint32_t(_mm_movemask_epi8(same)) ^ 0xFFu;
  }
  static V Select(V mask, V a, V b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
  }
  template <int N>
  static V Srli16(V a) {
    return _mm_srli_epi16(a, N);
  }
  template <int N>
  static V Slli16(V a) {
    return _mm_slli_epi16(a, N);
  }
  template <int N>
  static V Srai16(V a) {
    return _mm_srai_epi16(a, N);
  }
  static V MulHi16u(V a, V b) { return _mm_mulhi_epu16(a, b); }
  static V MulHi16s(V a, V b) { return _mm_mulhi_epi16(a, b); }
  static V MulLo16(V a, V b) { return _mm_mullo_epi16(a, b); }
  // (a b + 16384) >> 15 on signed lanes, as SSSE3's pmulhrsw: with the
  // product 65536 high + low (low unsigned), that is 2 high plus
  // (low + 16384) >> 15, which is 0, 1 or 2: ((low >> 14) + 1) >> 1.
  static V MulHrs16(V a, V b) {
    const V high = _mm_mulhi_epi16(a, b), low = _mm_mullo_epi16(a, b);
    const V carry = _mm_srli_epi16(
        _mm_add_epi16(_mm_srli_epi16(low, 14), _mm_set1_epi16(1)), 1);
    return _mm_add_epi16(_mm_add_epi16(high, high), carry);
  }
  // -32768 stays as it is, as with SSSE3's pabsw.
  static V Abs16(V a) { return _mm_max_epi16(a, _mm_sub_epi16(Zero(), a)); }

  // 32-bit lanes: lanes 0-3 in lo, 4-7 in hi.
  static void Widen(V a, V &lo, V &hi) {
    lo = _mm_unpacklo_epi16(a, _mm_setzero_si128());
    hi = _mm_unpackhi_epi16(a, _mm_setzero_si128());
  }
  // Back to 16 bits, for lanes holding 0..65535.
  static V Narrow(V lo, V hi) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(lo, 16), 16),
                           _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16));
  }
  static void Interleave16(V low, V high, V &lo, V &hi) {
    lo = _mm_unpacklo_epi16(low, high);
    hi = _mm_unpackhi_epi16(low, high);
  }
  static void MulWide16u(V a, V b, V &lo, V &hi) {
    const V low = _mm_mullo_epi16(a, b), high = _mm_mulhi_epu16(a, b);
    lo = _mm_unpacklo_epi16(low, high);
    hi = _mm_unpackhi_epi16(low, high);
  }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm_sub_epi32(a, b); }
  static V CmpGt32(V a, V b) { return _mm_cmpgt_epi32(a, b); }
  template <int N>
  static V Slli32(V a) {
    return _mm_slli_epi32(a, N);
  }
  template <int N>
  static V Srli32(V a) {
    return _mm_srli_epi32(a, N);
  }
  // The low 32 bits of each product, from two 32 x 32 -> 64 multiplies.
  static V MulLo32(V a, V b) {
    const V even = _mm_mul_epu32(a, b);
    const V odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
  }
  // Lanes holding 0..32767 need no sign fix.
  static V NarrowSmall(V lo, V hi) { return _mm_packs_epi32(lo, hi); }
  static constexpr bool kNarrowSaturates = false;  // negative lanes stay
  // Floats in the same registers.
  static V FloatOf32(V a) { return _mm_castps_si128(_mm_cvtepi32_ps(a)); }
  static V Trunc32(V a) { return _mm_cvttps_epi32(_mm_castsi128_ps(a)); }
  static V Reciprocal(V a) {
    return _mm_castps_si128(_mm_rcp_ps(_mm_castsi128_ps(a)));
  }
  static V MulF(V a, V b) {
    return _mm_castps_si128(
        _mm_mul_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b)));
  }
  static V SetF(float x) { return _mm_castps_si128(_mm_set1_ps(x)); }
  static V MulAddF(V a, V b, V c) { return AddF(MulF(a, b), c); }
  static V AddF(V a, V b) {
    return _mm_castps_si128(
        _mm_add_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b)));
  }
  static V SubF(V a, V b) {
    return _mm_castps_si128(
        _mm_sub_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b)));
  }
  static V CmpLtF(V a, V b) {
    return _mm_castps_si128(
        _mm_cmplt_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b)));
  }

  // SSE2 has no byte shuffle with a varying control: the near table is
  // read a lane at a time, straight into the vector, and the rest of the
  // step stays in vectors.
  struct NearTable {
    const int16_t *entries;
  };
  static NearTable LoadNearTable(const KernelTables &tables) {
    return {tables.nearResponse};
  }
  template <int K>
  static V LookUp(const NearTable &near, V index, V entry) {
    entry =
        _mm_insert_epi16(entry, near.entries[_mm_extract_epi16(index, K)], K);
    if constexpr (K + 1 < kLanes) return LookUp<K + 1>(near, index, entry);
    return entry;
  }
  // The unweighted step over 8 values, if every difference is within
  // the table: the level plus its entry, clamped.
  static constexpr int32_t kNearLanes = kLanes;
  static bool SharpenNear(const NearTable &near, const uint16_t *blurred,
                          uint16_t *value) {
    const V level = Load(value);
    const V index =
        _mm_add_epi16(_mm_sub_epi16(level, Load(blurred)), _mm_set1_epi16(128));
    const V outside = _mm_and_si128(index, _mm_set1_epi16(int16_t(0xFF00)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(outside, Zero())) != 0xFFFF) {
      return false;
    }
    const V entry = LookUp<0>(near, index, Zero());
    Store(value,
          _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(level, entry), Zero()),
                        _mm_set1_epi16(1024)));
    return true;
  }

  // 128-bit halves, for the 8 x 8 transposition.
  static Half LoadHalf(const uint16_t *p) { return Load(p); }
  static void StoreHalf(uint16_t *p, Half v) { Store(p, v); }
  static Half UnpackLo16(Half a, Half b) { return _mm_unpacklo_epi16(a, b); }
  static Half UnpackHi16(Half a, Half b) { return _mm_unpackhi_epi16(a, b); }
  static Half UnpackLo32(Half a, Half b) { return _mm_unpacklo_epi32(a, b); }
  static Half UnpackHi32(Half a, Half b) { return _mm_unpackhi_epi32(a, b); }
  static Half UnpackLo64(Half a, Half b) { return _mm_unpacklo_epi64(a, b); }
  static Half UnpackHi64(Half a, Half b) { return _mm_unpackhi_epi64(a, b); }

  // Three samples a pixel: masks and word shuffles; four: shifts and
  // masks. Other steps go through the scalar gather.
  static bool LoadRgb(const uint8_t *p, int32_t step, V &r, V &g, V &b) {
    if (step == 3) {
      const V zero = _mm_setzero_si128();
      const V x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
      const V y = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + 16));
      Split3(_mm_unpacklo_epi8(x, zero), _mm_unpackhi_epi8(x, zero),
             _mm_unpacklo_epi8(y, zero), r, g, b);
      return true;
    }
    if (step != 4) return false;
    const V x0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const V x1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16));
    const V byte = _mm_set1_epi32(0xFF);
    const auto channel = [&](V x, int shift) {
      return _mm_and_si128(_mm_srl_epi32(x, _mm_cvtsi32_si128(shift)), byte);
    };
    r = _mm_packs_epi32(channel(x0, 0), channel(x1, 0));
    g = _mm_packs_epi32(channel(x0, 8), channel(x1, 8));
    b = _mm_packs_epi32(channel(x0, 16), channel(x1, 16));
    return true;
  }
  // Values come through LoadRgb: without byte shuffles, nothing quicker.
  static bool Values8(const uint8_t *, int32_t, V &) { return false; }
  static bool LoadRgb(const uint16_t *p, int32_t step, V &r, V &g, V &b) {
    if (step == 3) {
      Split3(Load(p), Load(p + 8), Load(p + 16), r, g, b);
      return true;
    }
    if (step != 4) return false;
    V q[4];
    for (int32_t i = 0; i < 4; ++i) {
      q[i] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 8 * i));
    }
    // Two pixels a vector: r g b x r g b x.
    const V t0 = _mm_unpacklo_epi16(q[0], q[1]),
            t1 = _mm_unpackhi_epi16(q[0], q[1]);
    const V t2 = _mm_unpacklo_epi16(q[2], q[3]),
            t3 = _mm_unpackhi_epi16(q[2], q[3]);
    const V rg0 = _mm_unpacklo_epi16(t0, t1), bx0 = _mm_unpackhi_epi16(t0, t1);
    const V rg1 = _mm_unpacklo_epi16(t2, t3), bx1 = _mm_unpackhi_epi16(t2, t3);
    r = _mm_unpacklo_epi64(rg0, rg1);
    g = _mm_unpackhi_epi64(rg0, rg1);
    b = _mm_unpacklo_epi64(bx0, bx1);
    return true;
  }
  // The fourth sample of each pixel is written back as it was.
  static bool StoreRgb(uint8_t *p, int32_t step, V r, V g, V b) {
    if (step == 3) {
      Join3Bytes(r, g, b, p);
      return true;
    }
    if (step != 4) return false;
    const V zero = _mm_setzero_si128();
    const V rg =
        _mm_unpacklo_epi8(_mm_packus_epi16(r, zero), _mm_packus_epi16(g, zero));
    const V b0 = _mm_unpacklo_epi8(_mm_packus_epi16(b, zero), zero);
    const V keep = _mm_set1_epi32(int32_t(0xFF000000u));
    for (int32_t i = 0; i < 2; ++i) {
      __m128i *at = reinterpret_cast<__m128i *>(p + 16 * i);
      const V pixels =
          i == 0 ? _mm_unpacklo_epi16(rg, b0) : _mm_unpackhi_epi16(rg, b0);
      _mm_storeu_si128(
          at, _mm_or_si128(pixels, _mm_and_si128(_mm_loadu_si128(at), keep)));
    }
    return true;
  }
  static bool StoreRgb(uint16_t *p, int32_t step, V r, V g, V b) {
    if (step == 3) {
      Join3Words(r, g, b, p);
      return true;
    }
    if (step != 4) return false;
    const V rg0 = _mm_unpacklo_epi16(r, g), rg1 = _mm_unpackhi_epi16(r, g);
    const V b0 = _mm_unpacklo_epi16(b, _mm_setzero_si128());
    const V b1 = _mm_unpackhi_epi16(b, _mm_setzero_si128());
    const V keep =
        _mm_set_epi32(int32_t(0xFFFF0000u), 0, int32_t(0xFFFF0000u), 0);
    const V pixels[4] = {
        _mm_unpacklo_epi32(rg0, b0), _mm_unpackhi_epi32(rg0, b0),
        _mm_unpacklo_epi32(rg1, b1), _mm_unpackhi_epi32(rg1, b1)};
    for (int32_t i = 0; i < 4; ++i) {
      __m128i *at = reinterpret_cast<__m128i *>(p + 8 * i);
      _mm_storeu_si128(
          at,
          _mm_or_si128(pixels[i], _mm_and_si128(_mm_loadu_si128(at), keep)));
    }
    return true;
  }
};

}  // namespace

#include "engine/kernel_bodies.h"

const EngineKernels kSse2Kernels = MakeKernels<Sse2>("SSE2");

// One copy for every instruction set's kernels.
constexpr LaneLists kLaneLists = MakeLaneLists();

#include "engine/gray_bodies.h"

const GrayKernels kSse2GrayKernels = MakeGrayKernels<Sse2>();
