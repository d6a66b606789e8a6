#include "host/image.h"

HostImage MakeImage(int32_t width, int32_t height, int32_t planes,
                    int32_t depth) {
  HostImage image;
  image.width = width;
  image.height = height;
  image.planes = planes;
  image.depth = depth;
  image.samples.Reset(size_t(width) * size_t(height) * size_t(planes),
                      depth == 16 ? 2 : 1);
  return image;
}

std::vector<uint16_t> HostSamples::Values() const {
  std::vector<uint16_t> values(size());
  for (size_t i = 0; i < values.size(); ++i) values[i] = (*this)[i];
  return values;
}

HostSamples &HostSamples::operator=(const std::vector<uint16_t> &values) {
  bytes_.resize(values.size() * size_t(bytesPerSample_));
  for (size_t i = 0; i < values.size(); ++i) (*this)[i] = values[i];
  return *this;
}

uint16_t FileToHost16(uint16_t value) {
  return uint16_t((uint32_t(value) * kHostMax16 + 32767) / 65535);
}

uint16_t HostToFile16(uint16_t value) {
  if (value >= kHostMax16)
    return 65535;
  return uint16_t((uint32_t(value) * 65535 + kHostMax16 / 2) / kHostMax16);
}

HostImage MakeTestPattern(int32_t width, int32_t height, int32_t planes,
                          int32_t depth) {
  HostImage image = MakeImage(width, height, planes, depth);
  uint32_t max = MaxSample(depth);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      for (int32_t p = 0; p < planes; ++p) {
        // Ramps in different directions per plane, a checker of 8-pixel
        // squares and a bright frame: sharpening has edges to work on. A
        // gray document's gray is the diagonal ramp, its transparency
        // the vertical one.
        const int32_t kind = planes < 3 ? 2 - p : p;
        uint32_t ramp;
        switch (kind % 3) {
        case 0:
          ramp = width > 1 ? uint32_t(x) * max / uint32_t(width - 1) : 0;
          break;
        case 1:
          ramp = height > 1 ? uint32_t(y) * max / uint32_t(height - 1) : 0;
          break;
        default:
          ramp = (uint32_t(x + y) * 37u + uint32_t(kind) * 11u) % (max + 1);
          break;
        }
        bool dark = ((x / 8) + (y / 8)) % 2 == 1;
        uint32_t v = dark ? ramp / 2 : ramp / 2 + max / 2;
        if (x == 0 || y == 0 || x == width - 1 || y == height - 1)
          v = max - uint32_t(kind);
        SampleAt(image, x, y, p) = uint16_t(v);
      }
    }
  }
  return image;
}

HostImage WithPlanes(const HostImage &image, int32_t planes) {
  HostImage out = MakeImage(image.width, image.height, planes, image.depth);
  for (int32_t y = 0; y < image.height; ++y)
    for (int32_t x = 0; x < image.width; ++x)
      for (int32_t p = 0; p < planes; ++p)
        SampleAt(out, x, y, p) = p < image.planes ? SampleAt(image, x, y, p)
                                                  : MaxSample(image.depth);
  return out;
}

HostImage WithDepth(const HostImage &image, int32_t depth) {
  if (depth == image.depth) return image;
  HostImage out = MakeImage(image.width, image.height, image.planes, depth);
  for (size_t i = 0; i < out.samples.size(); ++i) {
    const uint32_t v = image.samples[i];
    out.samples[i] = depth == 16
                         ? uint16_t((v * kHostMax16 + 127) / 255)
                         : uint16_t((v * 255 + kHostMax16 / 2) / kHostMax16);
  }
  return out;
}

HostImage SideBySide(const HostImage &left, const HostImage &right,
                     int32_t gap) {
  HostImage out =
      MakeImage(left.width + gap + right.width,
                left.height > right.height ? left.height : right.height,
                left.planes, left.depth);
  for (size_t i = 0; i < out.samples.size(); ++i)
    out.samples[i] = MaxSample(out.depth);
  const HostImage *parts[2] = {&left, &right};
  int32_t offset[2] = {0, left.width + gap};
  for (int32_t k = 0; k < 2; ++k)
    for (int32_t y = 0; y < parts[k]->height; ++y)
      for (int32_t x = 0; x < parts[k]->width; ++x)
        for (int32_t p = 0; p < out.planes; ++p)
          SampleAt(out, offset[k] + x, y, p) = SampleAt(*parts[k], x, y, p);
  return out;
}
