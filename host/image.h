// The host's in-memory document: interleaved samples of 8 bits (0..255)
// or 16 bits in the host range 0..32768, one plane per channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct HostImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t planes = 0;
  int32_t depth = 8;             // bits per channel: 8 or 16
  std::vector<uint16_t> samples; // row-major, planes interleaved
};

constexpr uint16_t kHostMax16 = 32768;

HostImage MakeImage(int32_t width, int32_t height, int32_t planes,
                    int32_t depth);

inline uint16_t &SampleAt(HostImage &image, int32_t x, int32_t y,
                          int32_t plane) {
  return image.samples[(size_t(y) * size_t(image.width) + size_t(x)) *
                           size_t(image.planes) +
                       size_t(plane)];
}
inline uint16_t SampleAt(const HostImage &image, int32_t x, int32_t y,
                         int32_t plane) {
  return image.samples[(size_t(y) * size_t(image.width) + size_t(x)) *
                           size_t(image.planes) +
                       size_t(plane)];
}

// The largest sample value at the image's depth.
inline uint16_t MaxSample(int32_t depth) {
  return depth == 16 ? kHostMax16 : 255;
}

// File samples (0..65535) to the host range and back; host values above
// 32768 saturate. Host -> file -> host is the identity.
uint16_t FileToHost16(uint16_t value);
uint16_t HostToFile16(uint16_t value);

// A deterministic picture with edges, ramps and all channels distinct, so
// that a misplaced row, column or plane changes the output. One or two
// planes make a gray document: gray, and a transparency plane.
HostImage MakeTestPattern(int32_t width, int32_t height, int32_t planes,
                          int32_t depth);

// The same picture with planes added (filled with the maximum, like an
// opaque alpha channel) or dropped from the end.
HostImage WithPlanes(const HostImage &image, int32_t planes);

// Samples rescaled between 8 and 16 bits.
HostImage WithDepth(const HostImage &image, int32_t depth);

// Two images of the same planes and depth side by side, left then right,
// top-aligned, with a white gap between them; what lies below the
// shorter one is white too.
HostImage SideBySide(const HostImage &left, const HostImage &right,
                     int32_t gap);
