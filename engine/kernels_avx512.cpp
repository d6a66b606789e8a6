// The kernels for AVX-512 (F, BW, DQ and VL): thirty-two 16-bit lanes a
// vector, word permutes for interleaved pixels. This unit alone is
// compiled for AVX-512, and only for 64-bit builds; the engine calls it
// only where the processor and the system have it.
// GCC 12's AVX-512 intrinsics start some results from an undefined
// vector, which its own uninitialised-use warnings then flag.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include <cstdint>

#include "engine/avx2_ops.h"

namespace {

// Word indices for the permutes between runs of 32 interleaved pixels
// and runs of one channel. Constant data, so that nothing here runs
// before the processor has been checked.
struct PermuteTables {
  // Three samples a pixel: channel element e is sample 3 e + c of the 96.
  // first[c] picks samples 0..63 from two vectors; the lanes in late[c]
  // take sample - 64 from the third vector instead.
  alignas(64) uint16_t first3[3][32];
  alignas(64) uint16_t third3[3][32];
  uint32_t late3[3];
  // Four samples a pixel: sample 4 e + c, from vectors 0 and 1 for the
  // first 16 elements and from 2 and 3 for the rest.
  alignas(64) uint16_t split4[3][32];
  // Back: output vector j (samples 32 j ..) from red and green (lane
  // index + 32 for green), then blue where blue3 / blue4 says.
  alignas(64) uint16_t join3[3][32];
  alignas(64) uint16_t element3[3][32];
  uint32_t blue3[3];
  alignas(64) uint16_t join4[32];
  alignas(64) uint16_t element4[32];
  uint32_t blue4;
};

constexpr PermuteTables MakePermuteTables() {
  PermuteTables t{};
  for (int32_t c = 0; c < 3; ++c) {
    for (int32_t e = 0; e < 32; ++e) {
      const int32_t s3 = 3 * e + c, s4 = 4 * e + c;
      t.first3[c][e] = uint16_t(s3 & 63);
      t.third3[c][e] = uint16_t(s3 >= 64 ? s3 - 64 : 0);
      if (s3 >= 64) t.late3[c] |= 1u << e;
      t.split4[c][e] = uint16_t(s4 & 63);
    }
  }
  for (int32_t j = 0; j < 3; ++j) {
    for (int32_t lane = 0; lane < 32; ++lane) {
      const int32_t s = 32 * j + lane, c = s % 3, e = s / 3;
      t.join3[j][lane] = uint16_t(e + (c == 1 ? 32 : 0));
      t.element3[j][lane] = uint16_t(e);
      if (c == 2) t.blue3[j] |= 1u << lane;
    }
  }
  // Every vector of four-sample pixels starts on a pixel: one pattern
  // serves all four, shifted by eight elements each.
  for (int32_t lane = 0; lane < 32; ++lane) {
    const int32_t c = lane % 4, e = lane / 4;
    t.join4[lane] = uint16_t(e + (c == 1 ? 32 : 0));
    t.element4[lane] = uint16_t(e);
    if (c == 2) t.blue4 |= 1u << lane;
  }
  return t;
}

constexpr PermuteTables kPermutes = MakePermuteTables();

inline __m512i Indices(const uint16_t (&words)[32]) {
  return _mm512_load_si512(words);
}

// Channels of 32 pixels from 96 interleaved 16-bit samples, x[0..2].
inline void Split3(const __m512i x[3], __m512i &r, __m512i &g, __m512i &b) {
  __m512i *out[3] = {&r, &g, &b};
  for (int32_t c = 0; c < 3; ++c) {
    const __m512i first =
        _mm512_permutex2var_epi16(x[0], Indices(kPermutes.first3[c]), x[1]);
    *out[c] = _mm512_mask_permutexvar_epi16(first, kPermutes.late3[c],
                                            Indices(kPermutes.third3[c]), x[2]);
  }
}

// From 128 samples, x[0..3]; the fourth sample of each pixel is dropped.
inline void Split4(const __m512i x[4], __m512i &r, __m512i &g, __m512i &b) {
  __m512i *out[3] = {&r, &g, &b};
  for (int32_t c = 0; c < 3; ++c) {
    const __m512i index = Indices(kPermutes.split4[c]);
    *out[c] = _mm512_mask_blend_epi16(
        0xFFFF0000u, _mm512_permutex2var_epi16(x[0], index, x[1]),
        _mm512_permutex2var_epi16(x[2], index, x[3]));
  }
}

inline void Join3(__m512i r, __m512i g, __m512i b, __m512i y[3]) {
  for (int32_t j = 0; j < 3; ++j) {
    y[j] = _mm512_mask_permutexvar_epi16(
        _mm512_permutex2var_epi16(r, Indices(kPermutes.join3[j]), g),
        kPermutes.blue3[j], Indices(kPermutes.element3[j]), b);
  }
}

// The fourth sample of each pixel is left as whatever; the callers store
// around it.
inline void Join4(__m512i r, __m512i g, __m512i b, __m512i y[4]) {
  const __m512i join = Indices(kPermutes.join4);
  const __m512i element = Indices(kPermutes.element4);
  for (int32_t j = 0; j < 4; ++j) {
    const __m512i shift = _mm512_set1_epi16(int16_t(8 * j));
    y[j] = _mm512_mask_permutexvar_epi16(
        _mm512_permutex2var_epi16(r, _mm512_add_epi16(join, shift), g),
        kPermutes.blue4, _mm512_add_epi16(element, shift), b);
  }
}

// Lanes and bytes of the first three samples of four-sample pixels.
constexpr __mmask32 kColourWords = 0x77777777u;

struct Avx512 {
  using V = __m512i;
  using Half = __m128i;
  static constexpr int32_t kLanes = 32;
  static constexpr bool kGather = true;
  static constexpr bool kUnsignedCompare = true;
  static constexpr bool kMinMax16u = true;
  static constexpr bool kMulLo32 = true;  // a 32-bit product is one step

  static V Load(const uint16_t *p) { return _mm512_loadu_si512(p); }
  static void Store(uint16_t *p, V v) { _mm512_storeu_si512(p, v); }
  static V Zero() { return _mm512_setzero_si512(); }
  static V Set16(int32_t x) { return _mm512_set1_epi16(int16_t(x)); }
  static V Set32(int32_t x) { return _mm512_set1_epi32(x); }

  static V Add16(V a, V b) { return _mm512_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm512_sub_epi16(a, b); }
  static V AddSat16u(V a, V b) { return _mm512_adds_epu16(a, b); }
  static V Max16u(V a, V b) { return _mm512_max_epu16(a, b); }
  static V Min16u(V a, V b) { return _mm512_min_epu16(a, b); }
  static V And(V a, V b) { return _mm512_and_si512(a, b); }
  static V Or(V a, V b) { return _mm512_or_si512(a, b); }
  static V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
  static V AndNot(V a, V b) { return _mm512_andnot_si512(a, b); }  // ~a & b
  // Lane masks as vectors, as the shared kernels use them.
  static V CmpEq16(V a, V b) {
    return _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(a, b));
  }
  static V Greater16u(V x, V y) {
    return _mm512_movm_epi16(_mm512_cmpgt_epu16_mask(x, y));
  }
  static bool AllAtMost16u(V a, int32_t limit) {
    return _mm512_cmpgt_epu16_mask(a, Set16(limit)) == 0;
  }
  static V CmpGt16(V a, V b) {
    return _mm512_movm_epi16(_mm512_cmpgt_epi16_mask(a, b));
  }
  // A bit for each lane where a and b differ.
  static uint32_t DifferentLanes(V a, V b) {
    return _mm512_cmpneq_epi16_mask(a, b);
  }
  // mask ? a : b, bit by bit.
  static V Select(V mask, V a, V b) {
    return _mm512_ternarylogic_epi32(mask, a, b, 0xCA);
  }
  template <int N>
  static V Srli16(V a) {
    return _mm512_srli_epi16(a, N);
  }
  template <int N>
  static V Slli16(V a) {
    return _mm512_slli_epi16(a, N);
  }
  template <int N>
  static V Srai16(V a) {
    return _mm512_srai_epi16(a, N);
  }
  static V MulHi16u(V a, V b) { return _mm512_mulhi_epu16(a, b); }
  static V MulHi16s(V a, V b) { return _mm512_mulhi_epi16(a, b); }
  static V MulLo16(V a, V b) { return _mm512_mullo_epi16(a, b); }
  static V MulHrs16(V a, V b) { return _mm512_mulhrs_epi16(a, b); }
  static V Abs16(V a) { return _mm512_abs_epi16(a); }

  // 32-bit lanes, unpacked within each 128-bit quarter; Narrow and
  // MulWide16u use the same order.
  static void Widen(V a, V &lo, V &hi) {
    lo = _mm512_unpacklo_epi16(a, _mm512_setzero_si512());
    hi = _mm512_unpackhi_epi16(a, _mm512_setzero_si512());
  }
  static V Narrow(V lo, V hi) { return _mm512_packus_epi32(lo, hi); }
  static V NarrowSmall(V lo, V hi) { return _mm512_packus_epi32(lo, hi); }
  static constexpr bool kNarrowSaturates = true;  // negative lanes to 0
  static void Interleave16(V low, V high, V &lo, V &hi) {
    lo = _mm512_unpacklo_epi16(low, high);
    hi = _mm512_unpackhi_epi16(low, high);
  }
  static void MulWide16u(V a, V b, V &lo, V &hi) {
    const V low = _mm512_mullo_epi16(a, b), high = _mm512_mulhi_epu16(a, b);
    lo = _mm512_unpacklo_epi16(low, high);
    hi = _mm512_unpackhi_epi16(low, high);
  }
  static V Add32(V a, V b) { return _mm512_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm512_sub_epi32(a, b); }
  static V CmpGt32(V a, V b) {
    return _mm512_movm_epi32(_mm512_cmpgt_epi32_mask(a, b));
  }
  template <int N>
  static V Slli32(V a) {
    return _mm512_slli_epi32(a, N);
  }
  template <int N>
  static V Srli32(V a) {
    return _mm512_srli_epi32(a, N);
  }
  static V MulLo32(V a, V b) { return _mm512_mullo_epi32(a, b); }
  template <int N>
  static V Srai32(V a) {
    return _mm512_srai_epi32(a, N);
  }
  static V PackSat32(V lo, V hi) { return _mm512_packs_epi32(lo, hi); }
  static V Max16s(V a, V b) { return _mm512_max_epi16(a, b); }
  static V Min16s(V a, V b) { return _mm512_min_epi16(a, b); }
  static V Gather32(const int32_t *table, V index) {
    return _mm512_i32gather_epi32(index, table, 4);
  }
  static V FloatOf32(V a) { return _mm512_castps_si512(_mm512_cvtepi32_ps(a)); }
  static V Trunc32(V a) { return _mm512_cvttps_epi32(_mm512_castsi512_ps(a)); }
  static V Reciprocal(V a) {
    return _mm512_castps_si512(_mm512_rcp14_ps(_mm512_castsi512_ps(a)));
  }
  static V MulF(V a, V b) {
    return _mm512_castps_si512(
        _mm512_mul_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b)));
  }
  static V SetF(float x) { return _mm512_castps_si512(_mm512_set1_ps(x)); }
  // a b + c rounded once.
  static V MulAddF(V a, V b, V c) {
    return _mm512_castps_si512(_mm512_fmadd_ps(_mm512_castsi512_ps(a),
                                               _mm512_castsi512_ps(b),
                                               _mm512_castsi512_ps(c)));
  }
  static V AddF(V a, V b) {
    return _mm512_castps_si512(
        _mm512_add_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b)));
  }
  static V SubF(V a, V b) {
    return _mm512_castps_si512(
        _mm512_sub_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b)));
  }
  static V CmpLtF(V a, V b) {
    return _mm512_movm_epi32(_mm512_cmp_ps_mask(
        _mm512_castsi512_ps(a), _mm512_castsi512_ps(b), _CMP_LT_OQ));
  }

  // NearResponseTable in eight registers, 64 entries a pair.
  struct NearTable {
    V quarter[4][2];
  };
  static NearTable LoadNearTable(const KernelTables &tables) {
    const int16_t *table = tables.nearResponse;
    NearTable near;
    for (int32_t q = 0; q < 4; ++q) {
      near.quarter[q][0] = _mm512_loadu_si512(table + 64 * q);
      near.quarter[q][1] = _mm512_loadu_si512(table + 64 * q + 32);
    }
    return near;
  }
  // The unweighted step over 32 values, if every difference is within
  // the table: the level plus its entry, clamped, all in 16-bit lanes.
  static constexpr int32_t kNearLanes = kLanes;
  static bool SharpenNear(const NearTable &near, const uint16_t *blurred,
                          uint16_t *value) {
    const V level = Load(value);
    const V index = _mm512_add_epi16(_mm512_sub_epi16(level, Load(blurred)),
                                     _mm512_set1_epi16(128));
    if (_mm512_cmpge_epu16_mask(index, _mm512_set1_epi16(256)) != 0) {
      return false;
    }
    V entry[4];
    for (int32_t q = 0; q < 4; ++q) {
      entry[q] = _mm512_permutex2var_epi16(near.quarter[q][0], index,
                                           near.quarter[q][1]);
    }
    const __mmask32 upperHalf =
        _mm512_test_epi16_mask(index, _mm512_set1_epi16(128));
    const __mmask32 oddQuarter =
        _mm512_test_epi16_mask(index, _mm512_set1_epi16(64));
    const V low = _mm512_mask_blend_epi16(oddQuarter, entry[0], entry[1]);
    const V high = _mm512_mask_blend_epi16(oddQuarter, entry[2], entry[3]);
    const V sum =
        _mm512_add_epi16(level, _mm512_mask_blend_epi16(upperHalf, low, high));
    Store(value, _mm512_min_epi16(_mm512_max_epi16(sum, Zero()),
                                  _mm512_set1_epi16(1024)));
    return true;
  }

  static Half LoadHalf(const uint16_t *p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  }
  static void StoreHalf(uint16_t *p, Half v) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
  }
  static Half UnpackLo16(Half a, Half b) { return _mm_unpacklo_epi16(a, b); }
  static Half UnpackHi16(Half a, Half b) { return _mm_unpackhi_epi16(a, b); }
  static Half UnpackLo32(Half a, Half b) { return _mm_unpacklo_epi32(a, b); }
  static Half UnpackHi32(Half a, Half b) { return _mm_unpackhi_epi32(a, b); }
  static Half UnpackLo64(Half a, Half b) { return _mm_unpacklo_epi64(a, b); }
  static Half UnpackHi64(Half a, Half b) { return _mm_unpackhi_epi64(a, b); }

  static V Bytes(const uint8_t *p) {
    return _mm512_cvtepu8_epi16(
        _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)));
  }

  static bool LoadRgb(const uint8_t *p, int32_t step, V &r, V &g, V &b) {
    if (step == 3) {
      const V x[3] = {Bytes(p), Bytes(p + 32), Bytes(p + 64)};
      Split3(x, r, g, b);
      return true;
    }
    if (step != 4) return false;
    const V x[4] = {Bytes(p), Bytes(p + 32), Bytes(p + 64), Bytes(p + 96)};
    Split4(x, r, g, b);
    return true;
  }

  // Values come through LoadRgb: its word permutes beat Avx2::Values8.
  static bool Values8(const uint8_t *, int32_t, V &) { return false; }
  static bool LoadRgb(const uint16_t *p, int32_t step, V &r, V &g, V &b) {
    if (step == 3) {
      const V x[3] = {Load(p), Load(p + 32), Load(p + 64)};
      Split3(x, r, g, b);
      return true;
    }
    if (step != 4) return false;
    const V x[4] = {Load(p), Load(p + 32), Load(p + 64), Load(p + 96)};
    Split4(x, r, g, b);
    return true;
  }

  // Samples after the third are not written: they stay as they were.
  static bool StoreRgb(uint8_t *p, int32_t step, V r, V g, V b) {
    if (step == 3) {
      V y[3];
      Join3(r, g, b, y);
      for (int32_t j = 0; j < 3; ++j) {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(p + 32 * j),
                            _mm512_cvtepi16_epi8(y[j]));
      }
      return true;
    }
    if (step != 4) return false;
    V y[4];
    Join4(r, g, b, y);
    for (int32_t j = 0; j < 4; ++j) {
      _mm256_mask_storeu_epi8(p + 32 * j, kColourWords,
                              _mm512_cvtepi16_epi8(y[j]));
    }
    return true;
  }

  static bool StoreRgb(uint16_t *p, int32_t step, V r, V g, V b) {
    if (step == 3) {
      V y[3];
      Join3(r, g, b, y);
      for (int32_t j = 0; j < 3; ++j) Store(p + 32 * j, y[j]);
      return true;
    }
    if (step != 4) return false;
    V y[4];
    Join4(r, g, b, y);
    for (int32_t j = 0; j < 4; ++j) {
      _mm512_mask_storeu_epi16(p + 32 * j, kColourWords, y[j]);
    }
    return true;
  }
};

}  // namespace

#include "engine/kernel_bodies.h"

namespace {

// The row pass for larger radii turns strips of lines on their side: 32
// lines of the widest tile row overflow the first-level cache, where 16
// fit. Small radii take 16 lanes too, as measured faster here: a row's
// shifted loads of 64 bytes nearly all straddle two cache lines. The
// column pass loads whole lines and takes all 32.
constexpr EngineKernels MakeAvx512Kernels() {
  EngineKernels kernels = MakeKernels<Avx512>("AVX-512");
  kernels.blurRows = BlurRows<Avx2, Avx2>;
  // Its planes in and out cost little more than the way through; with
  // wide blurs, where most values change, less.
  kernels.throughMargin = 16;
  return kernels;
}

}  // namespace

const EngineKernels kAvx512Kernels = MakeAvx512Kernels();

#include "engine/gray_bodies.h"

const GrayKernels kAvx512GrayKernels = MakeGrayKernels<Avx512>();
