// The host's in-memory document: interleaved samples of 8 bits (0..255)
// or 16 bits in the host range 0..32768, one plane per channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// The samples of a document in the bytes a tile carries them in: one
// byte each at 8 bits, two (native order) at 16, so that tiles go out
// and come back as plain copies. Read and written as 16-bit numbers.
class HostSamples {
  static uint16_t Load(const uint8_t *at, bool wide) {
    if (!wide) return *at;
    uint16_t v;
    std::memcpy(&v, at, 2);
    return v;
  }

 public:
  // One sample, written through as the store's width.
  class Ref {
   public:
    Ref(uint8_t *at, bool wide) : at_(at), wide_(wide) {}
    Ref(const Ref &) = default;
    operator uint16_t() const { return Load(at_, wide_); }
    Ref &operator=(uint16_t v) {
      if (wide_)
        std::memcpy(at_, &v, 2);
      else
        *at_ = uint8_t(v);
      return *this;
    }
    Ref &operator=(const Ref &other) { return *this = uint16_t(other); }

   private:
    uint8_t *at_;
    bool wide_;
  };

  // count samples of 1 or 2 bytes, all 0.
  void Reset(size_t count, int32_t bytesPerSample) {
    bytesPerSample_ = bytesPerSample;
    bytes_.assign(count * size_t(bytesPerSample), 0);
  }
  void Release() { std::vector<uint8_t>().swap(bytes_); }
  size_t size() const { return bytes_.size() / size_t(bytesPerSample_); }
  int32_t BytesPerSample() const { return bytesPerSample_; }
  uint8_t *Bytes(size_t sample) {
    return bytes_.data() + sample * size_t(bytesPerSample_);
  }
  const uint8_t *Bytes(size_t sample) const {
    return bytes_.data() + sample * size_t(bytesPerSample_);
  }
  Ref operator[](size_t i) { return Ref(Bytes(i), bytesPerSample_ == 2); }
  uint16_t operator[](size_t i) const {
    return Load(Bytes(i), bytesPerSample_ == 2);
  }
  std::vector<uint16_t> Values() const;
  operator std::vector<uint16_t>() const { return Values(); }
  // Keeps the width: values.size() samples of it.
  HostSamples &operator=(const std::vector<uint16_t> &values);

  friend bool operator==(const HostSamples &a, const HostSamples &b) {
    return a.bytesPerSample_ == b.bytesPerSample_ && a.bytes_ == b.bytes_;
  }
  friend bool operator!=(const HostSamples &a, const HostSamples &b) {
    return !(a == b);
  }
  friend bool operator==(const HostSamples &a, const std::vector<uint16_t> &b) {
    return a.Values() == b;
  }
  friend bool operator==(const std::vector<uint16_t> &a, const HostSamples &b) {
    return b == a;
  }
  friend bool operator!=(const HostSamples &a, const std::vector<uint16_t> &b) {
    return !(a == b);
  }
  friend bool operator!=(const std::vector<uint16_t> &a, const HostSamples &b) {
    return !(b == a);
  }

 private:
  std::vector<uint8_t> bytes_;
  int32_t bytesPerSample_ = 1;
};

struct HostImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t planes = 0;
  int32_t depth = 8;    // bits per channel: 8 or 16, the samples' width
  HostSamples samples;  // row-major, planes interleaved
};

constexpr uint16_t kHostMax16 = 32768;

HostImage MakeImage(int32_t width, int32_t height, int32_t planes,
                    int32_t depth);

inline size_t SampleIndex(const HostImage &image, int32_t x, int32_t y,
                          int32_t plane) {
  return (size_t(y) * size_t(image.width) + size_t(x)) * size_t(image.planes) +
         size_t(plane);
}
inline HostSamples::Ref SampleAt(HostImage &image, int32_t x, int32_t y,
                                 int32_t plane) {
  return image.samples[SampleIndex(image, x, y, plane)];
}
inline uint16_t SampleAt(const HostImage &image, int32_t x, int32_t y,
                         int32_t plane) {
  return image.samples[SampleIndex(image, x, y, plane)];
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
