// The engine's inner loops, written once over vectors of 16-bit lanes and
// compiled once per instruction set: for SSE2, which every x86 processor
// the modules run on has, and for AVX2 and AVX-512, chosen at run time
// where the processor has them. All give the same bits. The kernels take plain
// pointers and numbers only, so that their translation units share no inline
// code with the rest of the engine (an AVX2 copy of a shared inline function
// could otherwise be the one the linker keeps).
#pragma once

#include <cstddef>
#include <cstdint>

// Box radii of one line blur, as SplitBlurReach gives them.
struct KernelRadii {
  int32_t r1;
  int32_t r2;
  int32_t fraction;  // sixteenths blended toward r1 + 1; 0 for none
  int32_t margin;    // values read beyond each end: r1 + r2 (+ 1 to blend)
};

// What the sharpening step reads: ResponseTable through its middle entry,
// NearResponseTable from its start, the two colour-weight tables, and
// whether any hue weight is non-zero.
struct KernelTables {
  const int32_t *response;
  const int16_t *nearResponse;      // differences -128..127
  const uint8_t (*nearBytes)[256];  // its low and high bytes
  int32_t nearByteReach;            // its entries for -n..n-1 fit a signed byte
  const int32_t *hueWeights;
  const int32_t *saturationWeights;
  bool colourWeighted;
  // The differences around 0 whose response is 0: quietLow..quietHigh.
  int32_t quietLow;
  int32_t quietHigh;
};

// Rows of planar working pixels: hue, saturation and value in three
// arrays. The blur buffers are laid out as the work area lays them out:
// rows of kBlurStride values.
constexpr int32_t kBlurStride = 256;

// The most lines the widest kernels take side by side.
constexpr int32_t kMaxLanes = 32;

// Scratch values a blur needs: a strip of the widest tile line turned on
// its side, its first pass and its result, kMaxLanes lines at a time.
constexpr int32_t kBlurScratchValues = (464 + 358 + 256) * kMaxLanes;

// The lanes 0..7 whose bits are set in a byte, in order, and how many:
// for listing the changed pixels of a row without a branch on the data.
struct LaneLists {
  uint8_t lanes[256][8];
  uint8_t count[256];
};
extern const LaneLists kLaneLists;

constexpr LaneLists MakeLaneLists() {
  LaneLists lists{};
  for (int32_t bits = 0; bits < 256; ++bits) {
    for (int32_t lane = 0; lane < 8; ++lane) {
      if (bits & (1 << lane)) {
        lists.lanes[bits][lists.count[bits]++] = uint8_t(lane);
      }
    }
  }
  return lists;
}

// The cache lines of bytes from a row asked for ahead of their use; each
// unit keeps its own copy, built for its own instruction set.
constexpr size_t kCacheLine = 64;
static inline void PrefetchRow(const void *from, size_t bytes) {
  for (size_t i = 0; i < bytes; i += kCacheLine) {
    __builtin_prefetch(static_cast<const unsigned char *>(from) + i);
  }
}
static inline void PrefetchRowForWriting(void *from, size_t bytes) {
  for (size_t i = 0; i < bytes; i += kCacheLine) {
    __builtin_prefetch(static_cast<unsigned char *>(from) + i, 1);
  }
}

// Changed pixels of 8-bit rows on their way out, gathered over rows so
// that their sharpening and conversion run in full vectors: each pixel's
// first three samples and the byte after them as the output holds it,
// its value and blurred value, and where its four bytes go back. A row's last
// pixel of three samples has no such byte: its result goes to the sink, and its
// three samples back after every other.
constexpr int32_t kThroughBatch = 256;  // pixels that start a conversion
constexpr int32_t kThroughLasts = 32;   // rows' last pixels between them
struct ThroughBatch {
  alignas(64) uint8_t pixels[4 * (kThroughBatch + 256 + kMaxLanes)];
  alignas(64) uint16_t values[kThroughBatch + 256 + kMaxLanes];
  alignas(64) uint16_t blurred[kThroughBatch + 256 + kMaxLanes];
  uint8_t *at[kThroughBatch + 256];
  uint8_t *lastAt[kThroughLasts];
  int32_t lastEntry[kThroughLasts];
  uint8_t sink[4];
  int32_t count = 0;  // of pixels
  int32_t lasts = 0;
  const KernelTables *tables = nullptr;  // the rows' step
};

struct EngineKernels {
  const char *name;
  // Host samples (pixelStep apart, the first three red, green, blue) to
  // working pixels: values only, or hue, saturation and value.
  void (*valuesFrom8)(const uint8_t *source, int32_t pixelStep, uint16_t *value,
                      int32_t count);
  void (*coloursFrom8)(const uint8_t *source, int32_t pixelStep, uint16_t *hue,
                       uint16_t *saturation, uint16_t *value, int32_t count);
  void (*valuesFrom16)(const uint16_t *source, int32_t pixelStep,
                       uint16_t *value, int32_t count);
  void (*coloursFrom16)(const uint16_t *source, int32_t pixelStep,
                        uint16_t *hue, uint16_t *saturation, uint16_t *value,
                        int32_t count);
  // Working pixels back to the first three samples of each host pixel.
  void (*coloursTo8)(const uint16_t *hue, const uint16_t *saturation,
                     const uint16_t *value, uint8_t *destination,
                     int32_t pixelStep, int32_t count);
  void (*coloursTo16)(const uint16_t *hue, const uint16_t *saturation,
                      const uint16_t *value, uint16_t *destination,
                      int32_t pixelStep, int32_t count);
  // A row of at most 256 values sharpened without colour weights, and its
  // 8-bit samples out to the same samples with the new values, hue and
  // saturation kept (source and destination pixelStep apart alike). The
  // changed pixels may wait in the batch until finishThrough8, which
  // writes them all. Taken for input margins up to throughMargin, beyond
  // which so many values change that converting in and out planes is
  // faster.
  void (*coloursThrough8)(const uint8_t *source, int32_t pixelStep,
                          const uint16_t *blurred, uint16_t *value,
                          uint8_t *destination, int32_t count,
                          const KernelTables &tables, ThroughBatch &batch);
  void (*finishThrough8)(ThroughBatch &batch);
  int32_t throughMargin;
  // The row pass: rows lines of values (valueStride apart, each starting
  // margin values before the first output) into rows of columns blurred
  // values. Reads and writes whole strips of lines: the value rows up to
  // the next multiple of the lanes (at most kMaxLanes), and up to the
  // next multiple of 8 columns.
  void (*blurRows)(const uint16_t *values, ptrdiff_t valueStride, int32_t rows,
                   int32_t columns, const KernelRadii &radii,
                   const uint32_t *divisors, uint16_t *rowBlur,
                   uint16_t *scratch);
  // The column pass: rowBlur's rows + 2 margin lines into rows lines of
  // blurred values; columns are taken in whole strips of the lanes. For
  // some radii the row pass leaves rowBlur alone and this pass blurs the
  // rows of values itself.
  void (*blurColumns)(const uint16_t *values, ptrdiff_t valueStride,
                      const uint16_t *rowBlur, int32_t rows, int32_t columns,
                      const KernelRadii &radii, const uint32_t *divisors,
                      uint16_t *blurred, uint16_t *scratch);
  // The sharpening step over one row: value moves away from blurred.
  void (*sharpen)(const uint16_t *blurred, const uint16_t *hue,
                  const uint16_t *saturation, uint16_t *value, int32_t count,
                  const KernelTables &tables);
};

extern const EngineKernels kSse2Kernels;
extern const EngineKernels kAvx2Kernels;
extern const EngineKernels kAvx512Kernels;  // 64-bit builds only
