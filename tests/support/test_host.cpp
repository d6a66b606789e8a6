#include "tests/support/test_host.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "engine/engine.h"
#include "engine/reference.h"
#include "params/params.h"

namespace {

// Extra bytes at the end of every row a host buffer holds: the engine
// must step by the row stride, not by the row's width.
constexpr int32_t kRowPadding = 6;

int32_t SampleBytes(const HostImage &image) {
  return image.depth == 16 ? 2 : 1;
}

int32_t PixelBytes(const HostImage &image) {
  return image.planes * SampleBytes(image);
}

const unsigned char *PixelAt(const HostImage &image, int32_t x, int32_t y) {
  return image.bytes.data() +
         (size_t(y) * size_t(image.width) + size_t(x)) * PixelBytes(image);
}

unsigned char *PixelAt(HostImage *image, int32_t x, int32_t y) {
  return const_cast<unsigned char *>(PixelAt(*image, x, y));
}

// inRect of the current tile into buffer, every coordinate outside the
// image clamped to its edge.
void ServeInput(const HostImage &image, const Rect &in,
                std::vector<unsigned char> *buffer, int32_t rowBytes) {
  const int32_t pixelBytes = PixelBytes(image);
  buffer->assign(size_t(rowBytes) * size_t(in.bottom - in.top), 0);
  const int32_t spanLeft = std::max(int32_t(in.left), 0);
  const int32_t spanRight = std::min(int32_t(in.right), image.width);
  for (int32_t y = in.top; y < in.bottom; ++y) {
    const int32_t sy = std::clamp(y, 0, image.height - 1);
    unsigned char *row = buffer->data() + size_t(rowBytes) * (y - in.top);
    auto copyClamped = [&](int32_t x) {
      const int32_t sx = std::clamp(x, 0, image.width - 1);
      std::memcpy(row + size_t(x - in.left) * pixelBytes,
                  PixelAt(image, sx, sy), size_t(pixelBytes));
    };
    int32_t x = in.left;
    for (; x < in.right && x < spanLeft; ++x) copyClamped(x);
    if (spanLeft < spanRight) {
      std::memcpy(row + size_t(spanLeft - in.left) * pixelBytes,
                  PixelAt(image, spanLeft, sy),
                  size_t(spanRight - spanLeft) * pixelBytes);
      x = spanRight;
    }
    for (; x < in.right; ++x) copyClamped(x);
  }
}

// Copies the pixels of rect from the image into a tile buffer or back.
void CopyRect(HostImage *image, const Rect &rect, unsigned char *buffer,
              int32_t rowBytes, bool toImage) {
  const size_t spanBytes = size_t(rect.right - rect.left) * PixelBytes(*image);
  for (int32_t y = 0; y < rect.bottom - rect.top; ++y) {
    unsigned char *pixels = PixelAt(image, rect.left, rect.top + y);
    unsigned char *row = buffer + size_t(rowBytes) * size_t(y);
    if (toImage) {
      std::memcpy(pixels, row, spanBytes);
    } else {
      std::memcpy(row, pixels, spanBytes);
    }
  }
}

}  // namespace

void ApplyEngineSettings(const EngineSettings &settings) {
  SetDefaultParams(&currentParams);
  SetParamByIndex(kParamRadius, settings.radius);
  SetParamByIndex(kParamResponse, settings.response);
  SetParamByIndex(kParamSpread, settings.spread);
  for (int32_t k = 0; k < 6; ++k) {
    SetParamByIndex(kParamFirstColourWeight + k, settings.weights[k]);
  }
}

void PrepareTablesFor(const EngineSettings &settings, int32_t inputRate) {
  ApplyEngineSettings(settings);
  FilterRecord record{};
  record.inputRate = inputRate;
  PrepareEngineTables(&record);
  BuildSaturationWeights();
}

HostImage MakeHostImage(int32_t width, int32_t height, int32_t planes,
                        int32_t depth) {
  HostImage image;
  image.width = width;
  image.height = height;
  image.planes = planes;
  image.depth = depth;
  image.bytes.assign(size_t(width) * size_t(height) * PixelBytes(image), 0);
  return image;
}

uint32_t GetSample(const HostImage &image, int32_t x, int32_t y,
                   int32_t plane) {
  const unsigned char *pixel = PixelAt(image, x, y);
  if (image.depth != 16) return pixel[plane];
  uint16_t sample;
  std::memcpy(&sample, pixel + 2 * plane, 2);
  return sample;
}

void SetSample(HostImage *image, int32_t x, int32_t y, int32_t plane,
               uint32_t value) {
  unsigned char *pixel = PixelAt(image, x, y);
  if (image->depth != 16) {
    pixel[plane] = uint8_t(value);
    return;
  }
  const uint16_t sample = uint16_t(value);
  std::memcpy(pixel + 2 * plane, &sample, 2);
}

void SetRgb(HostImage *image, int32_t x, int32_t y, uint32_t r, uint32_t g,
            uint32_t b) {
  SetSample(image, x, y, 0, r);
  SetSample(image, x, y, 1, g);
  SetSample(image, x, y, 2, b);
}

HostImage MakeTestPicture(int32_t width, int32_t height, int32_t planes,
                          int32_t depth, uint32_t seed) {
  HostImage image = MakeHostImage(width, height, planes, depth);
  uint32_t state = seed;
  auto next = [&state]() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      int32_t rgb[3] = {x * 255 / width, y * 255 / height,
                        (x + y) * 255 / (width + height)};
      // Blocks with their channels rotated give hard coloured edges.
      const int32_t turn = (x / 37 + y / 23) % 3;
      std::rotate(rgb, rgb + turn, rgb + 3);
      for (int32_t p = 0; p < planes; ++p) {
        const int32_t noise = int32_t(next() % 41) - 20;
        const int32_t sample =
            std::clamp((p < 3 ? rgb[p] : 128) + noise, 0, 255);
        SetSample(&image, x, y, p,
                  depth == 16
                      ? std::min(sample * 128 + int32_t(next() % 128), 32768)
                      : sample);
      }
    }
  }
  return image;
}

void FilterHostImage(const HostImage &source, const Rect &filterRect,
                     HostImage *destination, HostRun *run) {
  FilterRecord record{};
  record.imageSize = {int16_t(source.height), int16_t(source.width)};
  record.planes = int16_t(source.planes);
  record.depth = source.depth;
  record.filterRect = filterRect;
  record.inLoPlane = record.outLoPlane = 0;
  record.inHiPlane = record.outHiPlane = int16_t(source.planes - 1);
  record.inputPadding = record.outputPadding = -1;
  record.inputRate = record.maskRate = 0x10000;

  std::vector<unsigned char> work(size_t(EngineMemorySize(&record)));
  AttachEngineMemory(&record, work.data());
  reference::AttachEngineMemory(&record, work.data());

  HostRun local;
  if (run == nullptr) run = &local;
  record.inputRate = run->inputRate;
  PrepareEngineTables(&record);
  run->total = (filterRect.bottom - filterRect.top) *
               (filterRect.right - filterRect.left) * source.planes;
  std::vector<unsigned char> input, output;
  while (NextTile(&record)) {
    const Rect in = record.inRect, out = record.outRect;
    record.inRowBytes = (in.right - in.left) * PixelBytes(source) + kRowPadding;
    ServeInput(source, in, &input, record.inRowBytes);
    record.outRowBytes =
        (out.right - out.left) * PixelBytes(source) + kRowPadding;
    output.assign(size_t(record.outRowBytes) * size_t(out.bottom - out.top), 0);
    CopyRect(destination, out, output.data(), record.outRowBytes, false);
    record.inData = input.data();
    record.outData = output.data();

    const std::clock_t start = std::clock();
    const int32_t count = run->processTile ? run->processTile(&record)
                                           : ProcessTileCounted(&record);
    run->engineSeconds += double(std::clock() - start) / CLOCKS_PER_SEC;

    if (run->afterTile) run->afterTile(record);
    CopyRect(destination, out, output.data(), record.outRowBytes, true);
    run->done += count;
    run->tiles.push_back({in, out, count});
  }
  reference::DetachEngineMemory(&record);
  DetachEngineMemory(&record);
}
