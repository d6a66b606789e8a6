// The gray kernels of gray.h over a vector type O, included after
// kernel_bodies.h by each instruction set's unit. A gray level converts
// as an RGB pixel's largest channel does, so the value conversion is the
// colour path's; only the bytes in and out need the unit's own loads.
#pragma once

#include <cstddef>

#include "engine/gray.h"

namespace {

// kLanes 8-bit samples widened to 16-bit lanes, and back: each unit is
// compiled for its own instruction set.
#if defined(__AVX512BW__)
inline __m512i GrayBytes(const uint8_t *p) {
  return _mm512_cvtepu8_epi16(
      _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)));
}
inline void PutGrayBytes(uint8_t *p, __m512i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), _mm512_cvtepi16_epi8(v));
}
#elif defined(__AVX2__)
inline __m256i GrayBytes(const uint8_t *p) {
  return _mm256_cvtepu8_epi16(
      _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
}
inline void PutGrayBytes(uint8_t *p, __m256i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p),
                   _mm_packus_epi16(_mm256_castsi256_si128(v),
                                    _mm256_extracti128_si256(v, 1)));
}
#else
inline __m128i GrayBytes(const uint8_t *p) {
  return _mm_unpacklo_epi8(
      _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)),
      _mm_setzero_si128());
}
inline void PutGrayBytes(uint8_t *p, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i *>(p), _mm_packus_epi16(v, v));
}
#endif

// Gray with transparency, 8 bits: each pixel one little-endian word, the
// gray its low byte.
inline const uint16_t *PixelWords(const uint8_t *p) {
  return reinterpret_cast<const uint16_t *>(p);
}

// One plane, and 8-bit gray with transparency, a vector at a time; other
// steps and the short end of a row one pixel at a time.
template <class O>
void GrayValuesFrom8(const uint8_t *source, int32_t pixelStep, uint16_t *value,
                     int32_t count) {
  int32_t i = 0;
  if (pixelStep == 1) {
    for (; i + O::kLanes <= count; i += O::kLanes) {
      O::Store(value + i, ValueOfLargest<O, false>(GrayBytes(source + i)));
    }
  } else if (pixelStep == 2) {
    const Vec<O> low = O::Set16(255);
    for (; i + O::kLanes <= count; i += O::kLanes) {
      const Vec<O> gray = O::And(O::Load(PixelWords(source + 2 * i)), low);
      O::Store(value + i, ValueOfLargest<O, false>(gray));
    }
  }
  GrayToValues8(source + ptrdiff_t(i) * pixelStep, pixelStep, value + i,
                count - i);
}

template <class O>
void GrayValuesFrom16(const uint16_t *source, int32_t pixelStep,
                      uint16_t *value, int32_t count) {
  int32_t i = 0;
  if (pixelStep == 1) {
    for (; i + O::kLanes <= count; i += O::kLanes) {
      O::Store(value + i, ValueOfLargest<O, true>(O::Load(source + i)));
    }
  }
  GrayToValues16(source + ptrdiff_t(i) * pixelStep, pixelStep, value + i,
                 count - i);
}

// (255 v + 512) >> 10 is (8160 v + 16384) >> 15, a rounding high
// multiply, for values up to 1024.
template <class O>
inline Vec<O> GrayOfValues8(Vec<O> value) {
  return O::MulHrs16(value, O::Set16(8160));
}

template <class O>
void GrayValuesTo8(const uint16_t *value, uint8_t *destination,
                   int32_t pixelStep, int32_t count) {
  int32_t i = 0;
  if (pixelStep == 1) {
    for (; i + O::kLanes <= count; i += O::kLanes) {
      PutGrayBytes(destination + i, GrayOfValues8<O>(O::Load(value + i)));
    }
  } else if (pixelStep == 2) {
    // The high bytes (transparency) stay as they are.
    const Vec<O> high = O::Set16(0xFF00);
    for (; i + O::kLanes <= count; i += O::kLanes) {
      uint8_t *at = destination + 2 * i;
      const Vec<O> kept = O::And(O::Load(PixelWords(at)), high);
      O::Store(reinterpret_cast<uint16_t *>(at),
               O::Or(kept, GrayOfValues8<O>(O::Load(value + i))));
    }
  }
  ValuesToGray8(value + i, destination + ptrdiff_t(i) * pixelStep, pixelStep,
                count - i);
}

template <class O>
void GrayValuesTo16(const uint16_t *value, uint16_t *destination,
                    int32_t pixelStep, int32_t count) {
  int32_t i = 0;
  if (pixelStep == 1) {
    for (; i + O::kLanes <= count; i += O::kLanes) {
      O::Store(destination + i, O::template Slli16<5>(O::Load(value + i)));
    }
  }
  ValuesToGray16(value + i, destination + ptrdiff_t(i) * pixelStep, pixelStep,
                 count - i);
}

template <class O>
constexpr GrayKernels MakeGrayKernels() {
  return GrayKernels{GrayValuesFrom8<O>, GrayValuesFrom16<O>, GrayValuesTo8<O>,
                     GrayValuesTo16<O>};
}

}  // namespace
