// The AVX2 vector operations of the shared kernels: sixteen 16-bit lanes
// a vector, byte shuffles for three-sample pixels. Included by the units
// compiled for AVX2 or better; nothing here may run before the processor
// has been checked.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "engine/kernels.h"

namespace {

// Byte shuffles between runs of interleaved three-sample pixels and
// runs of one channel, for samples of elementBytes bytes: element e of a
// channel is sample 3 e + channel of the interleaved run. Constant data,
// so that nothing here runs before the processor has been checked.
struct ShuffleMasks {
  // split[chunk][channel]: the channel's elements that lie in 16-byte
  // chunk of the run, moved to their places in the channel (zero bytes
  // elsewhere); join[chunk][channel] does the reverse for one chunk.
  alignas(16) int8_t split[3][3][16];
  alignas(16) int8_t join[3][3][16];
};

constexpr ShuffleMasks MakeShuffleMasks(int32_t elementBytes) {
  ShuffleMasks masks{};
  for (int32_t chunk = 0; chunk < 3; ++chunk) {
    for (int32_t channel = 0; channel < 3; ++channel) {
      for (int32_t byte = 0; byte < 16; ++byte) {
        const int32_t element = byte / elementBytes;
        const int32_t source = (3 * element + channel) * elementBytes +
                               byte % elementBytes - 16 * chunk;
        masks.split[chunk][channel][byte] =
            int8_t(source >= 0 && source < 16 ? source : -128);
        const int32_t runByte = 16 * chunk + byte;
        const int32_t sample = runByte / elementBytes;
        masks.join[chunk][channel][byte] =
            int8_t(sample % 3 == channel
                       ? (sample / 3) * elementBytes + runByte % elementBytes
                       : -128);
      }
    }
  }
  return masks;
}

constexpr ShuffleMasks kBytes8 = MakeShuffleMasks(1);

// Words of runs of eight three-sample pixels of 16 bits, two runs side
// by side in the 128-bit halves of three vectors (words 8 k.. of each run
// in vector k). Word i of vector k holds channel (8 k + i) mod 3, so two
// word blends gather a channel into one vector, and a byte shuffle puts
// its elements in order; element e sits at word (3 e + channel) mod 8.
constexpr int32_t ChannelWords(int32_t chunk, int32_t channel) {
  int32_t mask = 0;
  for (int32_t i = 0; i < 8; ++i) {
    if ((8 * chunk + i) % 3 == channel) mask |= 1 << i;
  }
  return mask;
}

struct WordShuffles {
  alignas(32) int8_t split[3][32];  // the channel's words into order
  alignas(32) int8_t join[3][32];   // and back
};

constexpr WordShuffles MakeWordShuffles() {
  WordShuffles shuffles{};
  for (int32_t channel = 0; channel < 3; ++channel) {
    for (int32_t byte = 0; byte < 32; ++byte) {
      const int32_t word = byte % 16 / 2, half = byte - byte % 16;
      const int32_t place = (3 * word + channel) % 8;
      shuffles.split[channel][byte] = int8_t(2 * place + byte % 2);
      shuffles.join[channel][half + 2 * place + byte % 2] =
          int8_t(2 * word + byte % 2);
    }
  }
  return shuffles;
}

constexpr WordShuffles kWords = MakeWordShuffles();

template <int32_t kChannel>
inline __m256i SplitWords3(__m256i x0, __m256i x1, __m256i x2) {
  const __m256i words =
      _mm256_blend_epi16(_mm256_blend_epi16(x0, x1, ChannelWords(1, kChannel)),
                         x2, ChannelWords(2, kChannel));
  return _mm256_shuffle_epi8(
      words, _mm256_load_si256(
                 reinterpret_cast<const __m256i *>(kWords.split[kChannel])));
}

template <int32_t kChunk>
inline __m256i JoinWords3(const __m256i (&placed)[3]) {
  return _mm256_blend_epi16(
      _mm256_blend_epi16(placed[0], placed[1], ChannelWords(kChunk, 1)),
      placed[2], ChannelWords(kChunk, 2));
}

// Byte shuffles for Avx2::Values8, taking the largest sample of each of
// sixteen 8-bit pixels to both bytes of the pixel's 16-bit lane. Three
// samples a pixel: pixel k's largest lies at byte 3 k of one run of
// maxima and at byte 3 k - 14 of another; each lane takes the first
// where that byte lies in its own 128-bit half, and a blend brings the
// two runs' bytes together. Four: at byte 4 k of a 128-bit half for the
// first four pixels of the lane's eight, at 4 k + 2 for the others.
struct ValuePicks {
  alignas(32) int8_t three[32];
  alignas(32) int8_t second[32];  // -1 where the blend takes the second run
  alignas(32) int8_t four[32];
};

constexpr ValuePicks MakeValuePicks() {
  ValuePicks picks{};
  for (int32_t byte = 0; byte < 32; ++byte) {
    const int32_t half = byte - byte % 16, pixel = byte / 2;
    const int32_t first = 3 * pixel - half, second = first - 14;
    const bool inFirst = first >= 0 && first < 16;
    picks.three[byte] = int8_t(inFirst ? first : second);
    if (!inFirst) picks.second[half + second] = -1;
    const int32_t k = pixel % 8;
    picks.four[byte] = int8_t(k < 4 ? 4 * k : 4 * (k - 4) + 2);
  }
  return picks;
}

constexpr ValuePicks kValuePicks = MakeValuePicks();

inline __m128i Mask(const int8_t (&bytes)[16]) {
  return _mm_load_si128(reinterpret_cast<const __m128i *>(bytes));
}

// Three chunks of 48 interleaved bytes into three channel runs of 16.
inline void Split3(const uint8_t *p, const ShuffleMasks &m, __m128i out[3]) {
  __m128i chunk[3];
  for (int32_t c = 0; c < 3; ++c) {
    chunk[c] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * c));
  }
  for (int32_t channel = 0; channel < 3; ++channel) {
    out[channel] = _mm_or_si128(
        _mm_or_si128(_mm_shuffle_epi8(chunk[0], Mask(m.split[0][channel])),
                     _mm_shuffle_epi8(chunk[1], Mask(m.split[1][channel]))),
        _mm_shuffle_epi8(chunk[2], Mask(m.split[2][channel])));
  }
}

inline void Join3(const __m128i in[3], const ShuffleMasks &m, uint8_t *p) {
  for (int32_t c = 0; c < 3; ++c) {
    const __m128i chunk =
        _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in[0], Mask(m.join[c][0])),
                                  _mm_shuffle_epi8(in[1], Mask(m.join[c][1]))),
                     _mm_shuffle_epi8(in[2], Mask(m.join[c][2])));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 16 * c), chunk);
  }
}

struct Avx2 {
  using V = __m256i;
  using Half = __m128i;
  static constexpr int32_t kLanes = 16;
  // Gathers answer the differences beyond the near table's byte
  // shuffles. 32-bit builds look them up one at a time: their gathers
  // went wrong under the emulation that runs the 32-bit tests, and a path
  // those tests cannot check is not one to ship.
  static constexpr bool kGather = sizeof(void *) == 8;
  static constexpr bool kMulLo32 = true;  // a 32-bit product is one step
  static constexpr bool kUnsignedCompare = false;
  static constexpr bool kMinMax16u = true;

  static V Load(const uint16_t *p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
  }
  static void Store(uint16_t *p, V v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
  }
  static V Zero() { return _mm256_setzero_si256(); }
  static V Set16(int32_t x) { return _mm256_set1_epi16(int16_t(x)); }
  static V Set32(int32_t x) { return _mm256_set1_epi32(x); }

  static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  static V AddSat16u(V a, V b) { return _mm256_adds_epu16(a, b); }
  static V Max16u(V a, V b) { return _mm256_max_epu16(a, b); }
  static V Min16u(V a, V b) { return _mm256_min_epu16(a, b); }
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }  // ~a & b
  static V CmpEq16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
  static V Max16s(V a, V b) { return _mm256_max_epi16(a, b); }
  static V Min16s(V a, V b) { return _mm256_min_epi16(a, b); }
  static bool AllAtMost16u(V a, int32_t limit) {
    const V over = _mm256_subs_epu16(a, Set16(limit));
    return _mm256_testz_si256(over, over);
  }
  static V CmpGt16(V a, V b) { return _mm256_cmpgt_epi16(a, b); }
  // A bit for each lane where a and b differ.
  static uint32_t DifferentLanes(V a, V b) {
    const V same = _mm256_cmpeq_epi16(a, b);
    const __m128i bytes = _mm_packs_epi16(_mm256_castsi256_si128(same),
                                          _mm256_extracti128_si256(same, 1));
    return uint32_t(_mm_movemask_epi8(bytes)) ^ 0xFFFFu;
  }
  // A mask that several blends share, GCC compares again byte by byte
  // before them, which costs two steps; out of its sight, each blend
  // takes the mask as it is.
  static V Select(V mask, V a, V b) {
    asm("" : "+x"(mask) : "x"(a), "x"(b));
    return _mm256_blendv_epi8(b, a, mask);
  }
  template <int N>
  static V Srli16(V a) {
    return _mm256_srli_epi16(a, N);
  }
  template <int N>
  static V Slli16(V a) {
    return _mm256_slli_epi16(a, N);
  }
  template <int N>
  static V Srai16(V a) {
    return _mm256_srai_epi16(a, N);
  }
  static V MulHi16u(V a, V b) { return _mm256_mulhi_epu16(a, b); }
  static V MulHi16s(V a, V b) { return _mm256_mulhi_epi16(a, b); }
  static V MulLo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
  static V MulHrs16(V a, V b) { return _mm256_mulhrs_epi16(a, b); }
  static V Abs16(V a) { return _mm256_abs_epi16(a); }

  // 32-bit lanes, unpacked within each 128-bit half; Narrow and
  // MulWide16u use the same order, so the lanes meet again unmoved.
  static void Widen(V a, V &lo, V &hi) {
    lo = _mm256_unpacklo_epi16(a, _mm256_setzero_si256());
    hi = _mm256_unpackhi_epi16(a, _mm256_setzero_si256());
  }
  static V Narrow(V lo, V hi) { return _mm256_packus_epi32(lo, hi); }
  // 32-bit lanes of low and high halves, in Widen's order.
  static void Interleave16(V low, V high, V &lo, V &hi) {
    lo = _mm256_unpacklo_epi16(low, high);
    hi = _mm256_unpackhi_epi16(low, high);
  }
  static void MulWide16u(V a, V b, V &lo, V &hi) {
    const V low = _mm256_mullo_epi16(a, b), high = _mm256_mulhi_epu16(a, b);
    lo = _mm256_unpacklo_epi16(low, high);
    hi = _mm256_unpackhi_epi16(low, high);
  }
  static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
  static V CmpGt32(V a, V b) { return _mm256_cmpgt_epi32(a, b); }
  template <int N>
  static V Slli32(V a) {
    return _mm256_slli_epi32(a, N);
  }
  template <int N>
  static V Srli32(V a) {
    return _mm256_srli_epi32(a, N);
  }
  static V MulLo32(V a, V b) { return _mm256_mullo_epi32(a, b); }
  static V NarrowSmall(V lo, V hi) { return _mm256_packus_epi32(lo, hi); }
  static constexpr bool kNarrowSaturates = true;  // negative lanes to 0
  static V FloatOf32(V a) { return _mm256_castps_si256(_mm256_cvtepi32_ps(a)); }
  static V Trunc32(V a) { return _mm256_cvttps_epi32(_mm256_castsi256_ps(a)); }
  static V Reciprocal(V a) {
    return _mm256_castps_si256(_mm256_rcp_ps(_mm256_castsi256_ps(a)));
  }
  static V MulF(V a, V b) {
    return _mm256_castps_si256(
        _mm256_mul_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b)));
  }
  static V SetF(float x) { return _mm256_castps_si256(_mm256_set1_ps(x)); }
  // a b + c rounded once; the path asks for FMA beside AVX2.
  static V MulAddF(V a, V b, V c) {
    return _mm256_castps_si256(_mm256_fmadd_ps(_mm256_castsi256_ps(a),
                                               _mm256_castsi256_ps(b),
                                               _mm256_castsi256_ps(c)));
  }
  static V AddF(V a, V b) {
    return _mm256_castps_si256(
        _mm256_add_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b)));
  }
  static V SubF(V a, V b) {
    return _mm256_castps_si256(
        _mm256_sub_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b)));
  }
  static V CmpLtF(V a, V b) {
    return _mm256_castps_si256(_mm256_cmp_ps(
        _mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _CMP_LT_OQ));
  }

  // The response to differences -32..31 as bytes: the low and the high
  // byte of each entry, in four registers each, sixteen entries a
  // register, the same in both 128-bit halves for the byte shuffles.
  // Most pixels of a photograph differ this little from their blur.
  // Where every entry fits a signed byte (gentle settings), the high
  // bytes are the low bytes' signs.
  static constexpr int32_t kNearReach = 32;
  static constexpr int32_t kNearLanes = 32;  // values a step
  struct NearTable {
    V low[4], high[4];
    bool bytes;
  };
  static NearTable LoadNearTable(const KernelTables &tables) {
    NearTable near;
    near.bytes = tables.nearByteReach >= kNearReach;
    for (int32_t k = 0; k < 4; ++k) {
      const auto part = [k](const uint8_t *bytes) {
        return _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(
                bytes + 128 - kNearReach + 16 * k)));
      };
      near.low[k] = part(tables.nearBytes[0]);
      near.high[k] = part(tables.nearBytes[1]);
    }
    return near;
  }
  // One byte of the entries for 32 indices 0..63 as bytes: the register
  // by bits 4 and 5, which shifts bring to the top of each byte.
  static V NearBytes(const V (&part)[4], V index, V bit4, V bit5) {
    const V low = _mm256_blendv_epi8(_mm256_shuffle_epi8(part[0], index),
                                     _mm256_shuffle_epi8(part[1], index), bit4);
    const V high =
        _mm256_blendv_epi8(_mm256_shuffle_epi8(part[2], index),
                           _mm256_shuffle_epi8(part[3], index), bit4);
    return _mm256_blendv_epi8(low, high, bit5);
  }
  // The unweighted step over 32 values, if every difference is within
  // the table: the level plus its entry, clamped.
  static bool SharpenNear(const NearTable &near, const uint16_t *blurred,
                          uint16_t *value) {
    const V reach = _mm256_set1_epi16(kNearReach);
    V level[2], index[2];
    for (int32_t k = 0; k < 2; ++k) {
      level[k] = Load(value + 16 * k);
      index[k] = _mm256_add_epi16(
          _mm256_sub_epi16(level[k], Load(blurred + 16 * k)), reach);
    }
    // Bytes of the two in the order of the 128-bit halves, which the
    // unpacking below undoes; signed saturation keeps every index
    // beyond 0..63 beyond it.
    const V bytes = _mm256_packs_epi16(index[0], index[1]);
    if (!_mm256_testz_si256(bytes, _mm256_set1_epi8(int8_t(0xC0)))) {
      return false;
    }
    const V bit4 = _mm256_slli_epi16(bytes, 3),
            bit5 = _mm256_slli_epi16(bytes, 2);
    const V low = NearBytes(near.low, bytes, bit4, bit5);
    const V high = near.bytes ? _mm256_cmpgt_epi8(Zero(), low)
                              : NearBytes(near.high, bytes, bit4, bit5);
    const V entry[2] = {_mm256_unpacklo_epi8(low, high),
                        _mm256_unpackhi_epi8(low, high)};
    for (int32_t k = 0; k < 2; ++k) {
      Store(value + 16 * k,
            _mm256_min_epi16(
                _mm256_max_epi16(_mm256_add_epi16(level[k], entry[k]), Zero()),
                _mm256_set1_epi16(1024)));
    }
    return true;
  }

  // Table entries at 32-bit indices, for the differences beyond the
  // near table.
  static V Gather32(const int32_t *table, V index) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int *>(table), index,
                                  4);
  }
  template <int N>
  static V Srai32(V a) {
    return _mm256_srai_epi32(a, N);
  }
  static V PackSat32(V lo, V hi) { return _mm256_packs_epi32(lo, hi); }

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

  static V Join(Half lo, Half hi) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }

  static bool LoadRgb(const uint8_t *p, int32_t step, V &r, V &g, V &b) {
    __m128i channel[3];
    if (step == 3) {
      Split3(p, kBytes8, channel);
    } else if (step == 4) {
      // Each chunk of four pixels sorted to rrrr gggg bbbb xxxx, then the
      // four chunks' runs put side by side.
      const __m128i sort =
          _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
      __m128i c[4];
      for (int32_t i = 0; i < 4; ++i) {
        c[i] = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i)),
            sort);
      }
      const __m128i rg01 = _mm_unpacklo_epi32(c[0], c[1]);
      const __m128i rg23 = _mm_unpacklo_epi32(c[2], c[3]);
      const __m128i bx01 = _mm_unpackhi_epi32(c[0], c[1]);
      const __m128i bx23 = _mm_unpackhi_epi32(c[2], c[3]);
      channel[0] = _mm_unpacklo_epi64(rg01, rg23);
      channel[1] = _mm_unpackhi_epi64(rg01, rg23);
      channel[2] = _mm_unpacklo_epi64(bx01, bx23);
    } else {
      return false;
    }
    r = _mm256_cvtepu8_epi16(channel[0]);
    g = _mm256_cvtepu8_epi16(channel[1]);
    b = _mm256_cvtepu8_epi16(channel[2]);
    return true;
  }

  // The values of sixteen 8-bit pixels, (257 m + 33) >> 6 for the
  // largest sample m of each, with the channels never sorted apart: the
  // bytewise maximum of the run and its copies one and two bytes on
  // meets at one byte of each pixel, which a shuffle puts in both bytes
  // of the pixel's lane, making 257 m; an average with 32 adds 33 and
  // halves without losing the carry. Reads no byte past the sixteenth
  // pixel's.
  static bool Values8(const uint8_t *p, int32_t step, V &value) {
    const auto table = [](const int8_t(&bytes)[32]) {
      return _mm256_load_si256(reinterpret_cast<const __m256i *>(bytes));
    };
    V twice;
    if (step == 3) {
      const V x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
      const V y = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 16));
      // Bytes 0..33 meeting at each pixel's first byte, 14..47 at its last.
      const V first =
          _mm256_max_epu8(_mm256_max_epu8(x, _mm256_alignr_epi8(y, x, 1)),
                          _mm256_alignr_epi8(y, x, 2));
      const V second =
          _mm256_max_epu8(_mm256_max_epu8(y, _mm256_alignr_epi8(y, x, 15)),
                          _mm256_alignr_epi8(y, x, 14));
      twice = _mm256_shuffle_epi8(
          _mm256_blendv_epi8(first, second, table(kValuePicks.second)),
          table(kValuePicks.three));
    } else if (step == 4) {
      // Pixels 0..3 and 8..11 in one vector, their maxima meeting at
      // each pixel's first byte; 4..7 and 12..15 in the other, at its third.
      const auto pixels = [p](int32_t offset) {
        return Join(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + offset)),
            _mm_loadu_si128(
                reinterpret_cast<const __m128i *>(p + offset + 32)));
      };
      const V x = pixels(0), y = pixels(16);
      const V first =
          _mm256_max_epu8(_mm256_max_epu8(x, _mm256_srli_epi32(x, 8)),
                          _mm256_srli_epi32(x, 16));
      const V second =
          _mm256_max_epu8(_mm256_max_epu8(y, _mm256_slli_epi32(y, 8)),
                          _mm256_slli_epi32(y, 16));
      twice = _mm256_shuffle_epi8(_mm256_blend_epi16(first, second, 0xAA),
                                  table(kValuePicks.four));
    } else {
      return false;
    }
    value = _mm256_srli_epi16(_mm256_avg_epu16(twice, Set16(32)), 5);
    return true;
  }

  static bool LoadRgb(const uint16_t *p, int32_t step, V &r, V &g, V &b) {
    if (step == 3) {
      V x[3];
      for (int32_t k = 0; k < 3; ++k)
        x[k] = Join(LoadHalf(p + 8 * k), LoadHalf(p + 24 + 8 * k));
      r = SplitWords3<0>(x[0], x[1], x[2]);
      g = SplitWords3<1>(x[0], x[1], x[2]);
      b = SplitWords3<2>(x[0], x[1], x[2]);
      return true;
    }
    __m128i lo[3], hi[3];
    if (step == 4) {
      for (int32_t half = 0; half < 2; ++half) {
        __m128i q[4];
        for (int32_t i = 0; i < 4; ++i) {
          q[i] = _mm_loadu_si128(
              reinterpret_cast<const __m128i *>(p + 32 * half + 8 * i));
        }
        const __m128i t0 = _mm_unpacklo_epi16(q[0], q[1]);
        const __m128i t1 = _mm_unpackhi_epi16(q[0], q[1]);
        const __m128i t2 = _mm_unpacklo_epi16(q[2], q[3]);
        const __m128i t3 = _mm_unpackhi_epi16(q[2], q[3]);
        const __m128i rg0 = _mm_unpacklo_epi16(t0, t1);
        const __m128i bx0 = _mm_unpackhi_epi16(t0, t1);
        const __m128i rg1 = _mm_unpacklo_epi16(t2, t3);
        const __m128i bx1 = _mm_unpackhi_epi16(t2, t3);
        __m128i *out = half == 0 ? lo : hi;
        out[0] = _mm_unpacklo_epi64(rg0, rg1);
        out[1] = _mm_unpackhi_epi64(rg0, rg1);
        out[2] = _mm_unpacklo_epi64(bx0, bx1);
      }
    } else {
      return false;
    }
    r = Join(lo[0], hi[0]);
    g = Join(lo[1], hi[1]);
    b = Join(lo[2], hi[2]);
    return true;
  }

  // Samples after the third are written back as they were.
  static bool StoreRgb(uint8_t *p, int32_t step, V r, V g, V b) {
    const auto bytes = [](V v) {
      return _mm_packus_epi16(_mm256_castsi256_si128(v),
                              _mm256_extracti128_si256(v, 1));
    };
    const __m128i channel[3] = {bytes(r), bytes(g), bytes(b)};
    if (step == 3) {
      Join3(channel, kBytes8, p);
      return true;
    }
    if (step != 4) return false;
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi32(int32_t(0xFF000000u));
    const __m128i rg[2] = {_mm_unpacklo_epi8(channel[0], channel[1]),
                           _mm_unpackhi_epi8(channel[0], channel[1])};
    const __m128i bz[2] = {_mm_unpacklo_epi8(channel[2], zero),
                           _mm_unpackhi_epi8(channel[2], zero)};
    for (int32_t i = 0; i < 4; ++i) {
      __m128i *at = reinterpret_cast<__m128i *>(p + 16 * i);
      const __m128i pixels = i % 2 == 0
                                 ? _mm_unpacklo_epi16(rg[i / 2], bz[i / 2])
                                 : _mm_unpackhi_epi16(rg[i / 2], bz[i / 2]);
      _mm_storeu_si128(
          at, _mm_or_si128(pixels, _mm_and_si128(_mm_loadu_si128(at), keep)));
    }
    return true;
  }

  static bool StoreRgb(uint16_t *p, int32_t step, V r, V g, V b) {
    if (step == 3) {
      const auto place = [](V v, int32_t channel) {
        return _mm256_shuffle_epi8(
            v, _mm256_load_si256(
                   reinterpret_cast<const __m256i *>(kWords.join[channel])));
      };
      const V placed[3] = {place(r, 0), place(g, 1), place(b, 2)};
      const V chunks[3] = {JoinWords3<0>(placed), JoinWords3<1>(placed),
                           JoinWords3<2>(placed)};
      for (int32_t k = 0; k < 3; ++k) {
        StoreHalf(p + 8 * k, _mm256_castsi256_si128(chunks[k]));
        StoreHalf(p + 24 + 8 * k, _mm256_extracti128_si256(chunks[k], 1));
      }
      return true;
    }
    if (step != 4) return false;
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep =
        _mm_set_epi32(int32_t(0xFFFF0000u), 0, int32_t(0xFFFF0000u), 0);
    for (int32_t half = 0; half < 2; ++half) {
      const __m128i rh = half == 0 ? _mm256_castsi256_si128(r)
                                   : _mm256_extracti128_si256(r, 1);
      const __m128i gh = half == 0 ? _mm256_castsi256_si128(g)
                                   : _mm256_extracti128_si256(g, 1);
      const __m128i bh = half == 0 ? _mm256_castsi256_si128(b)
                                   : _mm256_extracti128_si256(b, 1);
      const __m128i rg0 = _mm_unpacklo_epi16(rh, gh),
                    rg1 = _mm_unpackhi_epi16(rh, gh);
      const __m128i b0 = _mm_unpacklo_epi16(bh, zero),
                    b1 = _mm_unpackhi_epi16(bh, zero);
      const __m128i pixels[4] = {
          _mm_unpacklo_epi32(rg0, b0), _mm_unpackhi_epi32(rg0, b0),
          _mm_unpacklo_epi32(rg1, b1), _mm_unpackhi_epi32(rg1, b1)};
      for (int32_t i = 0; i < 4; ++i) {
        __m128i *at = reinterpret_cast<__m128i *>(p + 32 * half + 8 * i);
        _mm_storeu_si128(
            at,
            _mm_or_si128(pixels[i], _mm_and_si128(_mm_loadu_si128(at), keep)));
      }
    }
    return true;
  }
};

}  // namespace
