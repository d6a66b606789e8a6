#include "host/image_io.h"

#include <windows.h>

#include <wincodec.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace {

// Holds one COM reference; plain, so that the error paths stay short.
template <typename T> struct ComRef {
  T *p = nullptr;
  ComRef() = default;
  ComRef(const ComRef &) = delete;
  ComRef &operator=(const ComRef &) = delete;
  ~ComRef() {
    if (p)
      p->Release();
  }
  T **out() { return &p; }
  T *operator->() const { return p; }
};

struct ComScope {
  HRESULT hr;
  ComScope() : hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr))
      CoUninitialize();
  }
};

std::wstring Wide(const std::string &s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(size_t(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
  w.resize(w.size() - 1);
  return w;
}

bool Failed(HRESULT hr, const char *what, std::string *error) {
  if (SUCCEEDED(hr))
    return false;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  *error = std::string(what) + " failed: " + code;
  return true;
}

// The layouts the host reads and writes, in WIC's channel order.
struct Layout {
  const GUID *format;
  int32_t channels;
  int32_t depth;
  bool bgr; // blue first
};

const Layout kLayouts[] = {
    {&GUID_WICPixelFormat8bppGray, 1, 8, false},
    {&GUID_WICPixelFormat24bppBGR, 3, 8, true},
    {&GUID_WICPixelFormat32bppBGRA, 4, 8, true},
    {&GUID_WICPixelFormat16bppGray, 1, 16, false},
    {&GUID_WICPixelFormat48bppRGB, 3, 16, false},
    {&GUID_WICPixelFormat64bppRGBA, 4, 16, false},
};

const Layout *FindLayout(const GUID &format) {
  for (const Layout &l : kLayouts)
    if (IsEqualGUID(*l.format, format))
      return &l;
  return nullptr;
}

const Layout *ChooseLayout(int32_t channels, int32_t depth) {
  for (const Layout &l : kLayouts)
    if (l.channels == channels && l.depth == depth)
      return &l;
  return nullptr;
}

// File channel c of a pixel in the host's plane order (RGB, then alpha).
int32_t FileChannel(const Layout &l, int32_t plane) {
  return l.bgr && plane < 3 ? 2 - plane : plane;
}

// What the file holds, from its format's description: channel count,
// bits per channel, and transparency.
bool DescribeFormat(IWICImagingFactory *factory, const GUID &format,
                    int32_t *channels, int32_t *depth) {
  ComRef<IWICComponentInfo> info;
  if (FAILED(factory->CreateComponentInfo(format, info.out())))
    return false;
  ComRef<IWICPixelFormatInfo> pixel;
  if (FAILED(info->QueryInterface(IID_IWICPixelFormatInfo,
                                  reinterpret_cast<void **>(pixel.out()))))
    return false;
  UINT count = 0, bits = 0;
  if (FAILED(pixel->GetChannelCount(&count)) ||
      FAILED(pixel->GetBitsPerPixel(&bits)) || count == 0)
    return false;
  *channels = int32_t(count);
  *depth = int32_t(bits / count) > 8 ? 16 : 8;
  return true;
}

// Encodes a 16-bit gray pixel 0x0102 as PNG into memory and decodes it.
// Wine 8's PNG encoder stores 16-bit samples in memory order rather than
// PNG's big-endian order while its decoder reads them correctly, so other
// programs misread its files; the pixel then comes back as 0x0201.
bool ProbePngEncoderSwaps16(IWICImagingFactory *factory) {
  ComRef<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out())))
    return false;
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  ComRef<IPropertyBag2> options;
  GUID format = GUID_WICPixelFormat16bppGray;
  uint16_t pixel = 0x0102;
  HRESULT hr =
      factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out());
  if (SUCCEEDED(hr))
    hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr))
    hr = encoder->CreateNewFrame(frame.out(), options.out());
  if (SUCCEEDED(hr))
    hr = frame->Initialize(options.p);
  if (SUCCEEDED(hr))
    hr = frame->SetSize(1, 1);
  if (SUCCEEDED(hr))
    hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr))
    hr = frame->WritePixels(1, 2, 2, reinterpret_cast<BYTE *>(&pixel));
  if (SUCCEEDED(hr))
    hr = frame->Commit();
  if (SUCCEEDED(hr))
    hr = encoder->Commit();
  LARGE_INTEGER start = {};
  if (SUCCEEDED(hr))
    hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> decoded;
  if (SUCCEEDED(hr))
    hr = factory->CreateDecoderFromStream(
        stream.p, nullptr, WICDecodeMetadataCacheOnDemand, decoder.out());
  if (SUCCEEDED(hr))
    hr = decoder->GetFrame(0, decoded.out());
  if (SUCCEEDED(hr))
    hr = decoded->GetPixelFormat(&format);
  uint16_t back = 0;
  if (SUCCEEDED(hr) && IsEqualGUID(format, GUID_WICPixelFormat16bppGray))
    hr = decoded->CopyPixels(nullptr, 2, 2, reinterpret_cast<BYTE *>(&back));
  return SUCCEEDED(hr) && back == 0x0201;
}

// Big- and little-endian numbers in file bytes.
uint32_t Big(const std::vector<uint8_t> &b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes && at + size_t(i) < b.size(); ++i)
    v = v << 8 | b[at + size_t(i)];
  return v;
}
uint32_t Little(const std::vector<uint8_t> &b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i)
    if (at + size_t(i) < b.size())
      v = v << 8 | b[at + size_t(i)];
  return v;
}

std::vector<uint8_t> FileBytes(const std::string &path,
                               size_t most = size_t(-1)) {
  std::vector<uint8_t> bytes;
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return bytes;
  uint8_t buffer[65536];
  for (size_t n; bytes.size() < most &&
                 (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

bool IsTiff(const std::vector<uint8_t> &f) {
  return f.size() >= 8 && f[0] == f[1] && (f[0] == 'I' || f[0] == 'M');
}

// An uncompressed gray TIFF (black is zero, one or two interleaved samples
// of 8 or 16 bits, in strips), read by hand: the imaging component reads
// no 16-bit gray with transparency. False for any other file.
bool ReadGrayTiff(const std::vector<uint8_t> &f, HostImage *image) {
  const bool big = f[0] == 'M';
  auto read = [&](size_t at, int bytes) {
    return big ? Big(f, at, bytes) : Little(f, at, bytes);
  };
  std::map<uint32_t, size_t> entries; // tag: where its entry lies
  const size_t directory = read(4, 4);
  for (uint32_t k = 0, n = read(directory, 2); k < n; ++k)
    entries[read(directory + 2 + 12 * size_t(k), 2)] =
        directory + 2 + 12 * size_t(k);
  // Value k of a tag; in the entry itself when all fit its four bytes.
  auto tag = [&](uint32_t key, uint32_t absent, uint32_t k = 0) {
    auto e = entries.find(key);
    if (e == entries.end())
      return absent;
    const int size = read(e->second + 2, 2) == 3 ? 2 : 4;
    const size_t count = read(e->second + 4, 4);
    const size_t at =
        count * size <= 4 ? e->second + 8 : read(e->second + 8, 4);
    return read(at + size_t(k) * size, size);
  };
  const uint32_t width = tag(256, 0), height = tag(257, 0);
  const uint32_t samples = tag(277, 1), bits = tag(258, 1);
  const size_t bytes = bits / 8, rowBytes = size_t(width) * samples * bytes;
  if (tag(259, 1) != 1 || tag(262, 2) != 1 || tag(284, 1) != 1 || samples < 1 ||
      samples > 2 || (bits != 8 && bits != 16) || !entries.count(273) ||
      width == 0 || height == 0 || rowBytes * height > f.size())
    return false;
  uint32_t strip = tag(278, height);
  strip = strip == 0 || strip > height ? height : strip;
  *image = MakeImage(int32_t(width), int32_t(height), int32_t(samples),
                     int32_t(bits));
  for (uint32_t y = 0; y < height; ++y) {
    const size_t at = tag(273, 0, y / strip) + (y % strip) * rowBytes;
    if (at + rowBytes > f.size())
      return false;
    const size_t row = size_t(y) * width * samples;
    for (size_t i = 0; i < size_t(width) * samples; ++i)
      image->samples[row + i] =
          bytes == 2 ? FileToHost16(uint16_t(read(at + 2 * i, 2))) : f[at + i];
  }
  return true;
}

// Gray files written by hand, uncompressed, where the imaging component
// cannot: it has no gray with transparency.
void PutBig(std::vector<uint8_t> *b, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    b->push_back(uint8_t(v >> (8 * i)));
}
void PutLittle(std::vector<uint8_t> *b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i)
    b->push_back(uint8_t(v >> (8 * i)));
}

uint32_t Crc32(const uint8_t *p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k)
      c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

void PutChunk(std::vector<uint8_t> *png, const char *type,
              const std::vector<uint8_t> &data) {
  PutBig(png, uint32_t(data.size()), 4);
  const size_t start = png->size();
  png->insert(png->end(), type, type + 4);
  png->insert(png->end(), data.begin(), data.end());
  PutBig(png, Crc32(png->data() + start, png->size() - start), 4);
}

// A row of a gray image's samples in file order and range.
void PutSamples(std::vector<uint8_t> *out, const HostImage &image, int32_t y,
                bool big) {
  for (int32_t x = 0; x < image.width; ++x)
    for (int32_t p = 0; p < image.planes; ++p) {
      const uint16_t v = SampleAt(image, x, y, p);
      if (image.depth != 16)
        out->push_back(uint8_t(v));
      else if (big)
        PutBig(out, HostToFile16(v), 2);
      else
        PutLittle(out, HostToFile16(v), 2);
    }
}

std::vector<uint8_t> GrayAlphaPng(const HostImage &image) {
  std::vector<uint8_t> raw;
  for (int32_t y = 0; y < image.height; ++y) {
    raw.push_back(0); // no row filter
    PutSamples(&raw, image, y, true);
  }
  // A zlib stream of stored blocks, then its Adler-32.
  std::vector<uint8_t> z = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n >= raw.size() ? 1 : 0);
    PutLittle(&z, uint32_t(n), 2);
    PutLittle(&z, uint32_t(n ^ 0xFFFF), 2);
    z.insert(z.end(), raw.begin() + ptrdiff_t(at),
             raw.begin() + ptrdiff_t(at + n));
  }
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  PutBig(&z, b << 16 | a, 4);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBig(&header, uint32_t(image.width), 4);
  PutBig(&header, uint32_t(image.height), 4);
  header.insert(header.end(),
                {uint8_t(image.depth == 16 ? 16 : 8), 4, 0, 0, 0});
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", z);
  PutChunk(&png, "IEND", {});
  return png;
}

// One or two planes; the imaging component writes no 16-bit gray TIFF.
std::vector<uint8_t> GrayTiff(const HostImage &image) {
  const uint32_t bits = image.depth == 16 ? 16 : 8;
  const uint32_t samples = uint32_t(image.planes);
  const uint32_t tags = samples == 2 ? 11 : 10;
  const struct {
    uint16_t tag, type;
    uint32_t count, value;
  } entries[] = {
      {256, 4, 1, uint32_t(image.width)},
      {257, 4, 1, uint32_t(image.height)},
      {258, 3, samples, bits | (samples == 2 ? bits << 16 : 0)},
      {259, 3, 1, 1},                     // uncompressed
      {262, 3, 1, 1},                     // black is zero
      {273, 4, 1, 8 + 2 + 12 * tags + 4}, // the strip after the directory
      {277, 3, 1, samples},
      {278, 4, 1, uint32_t(image.height)},
      {279, 4, 1,
       uint32_t(image.width) * uint32_t(image.height) * samples * (bits / 8)},
      {284, 3, 1, 1}, // interleaved
      {338, 3, 1, 2}, // the second sample: unassociated alpha
  };
  std::vector<uint8_t> tiff = {'I', 'I', 42, 0};
  PutLittle(&tiff, 8, 4);
  PutLittle(&tiff, tags, 2);
  for (uint32_t k = 0; k < tags; ++k) {
    PutLittle(&tiff, entries[k].tag, 2);
    PutLittle(&tiff, entries[k].type, 2);
    PutLittle(&tiff, entries[k].count, 4);
    PutLittle(&tiff, entries[k].value, 4);
  }
  PutLittle(&tiff, 0, 4); // no further image
  for (int32_t y = 0; y < image.height; ++y)
    PutSamples(&tiff, image, y, false);
  return tiff;
}

} // namespace

bool ReadImageFile(const std::string &path, HostImage *image,
                   std::string *error) {
  if (IsTiff(FileBytes(path, 8))) {
    const std::vector<uint8_t> file = FileBytes(path);
    if (ReadGrayTiff(file, image))
      return true;
  }
  ComScope com;
  ComRef<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void **>(factory.out()));
  if (Failed(hr, "creating the imaging factory", error))
    return false;
  ComRef<IWICBitmapDecoder> decoder;
  hr = factory->CreateDecoderFromFilename(
      Wide(path).c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
      decoder.out());
  if (Failed(hr, ("opening " + path).c_str(), error))
    return false;
  ComRef<IWICBitmapFrameDecode> frame;
  if (Failed(decoder->GetFrame(0, frame.out()), "reading the first frame",
             error))
    return false;
  UINT width = 0, height = 0;
  GUID format;
  if (Failed(frame->GetSize(&width, &height), "reading the size", error) ||
      Failed(frame->GetPixelFormat(&format), "reading the pixel format", error))
    return false;

  const Layout *layout = FindLayout(format);
  IWICBitmapSource *source = frame.p;
  ComRef<IWICFormatConverter> converter;
  if (layout == nullptr) {
    int32_t channels = 3, depth = 8;
    if (!DescribeFormat(factory.p, format, &channels, &depth)) {
      channels = 3;
      depth = 8;
    }
    channels = channels <= 2 ? 1 : channels >= 4 ? 4 : 3;
    layout = ChooseLayout(channels, depth);
    hr = factory->CreateFormatConverter(converter.out());
    if (SUCCEEDED(hr))
      hr = converter->Initialize(frame.p, *layout->format,
                                 WICBitmapDitherTypeNone, nullptr, 0.0,
                                 WICBitmapPaletteTypeCustom);
    if (FAILED(hr) && depth == 16) {
      // No 16-bit conversion for this format: settle for 8 bits.
      layout = ChooseLayout(channels, 8);
      hr = converter->Initialize(frame.p, *layout->format,
                                 WICBitmapDitherTypeNone, nullptr, 0.0,
                                 WICBitmapPaletteTypeCustom);
    }
    if (Failed(hr, "converting the pixel format", error))
      return false;
    source = converter.p;
  }

  const int32_t bytesPerSample = layout->depth / 8;
  const UINT stride = width * UINT(layout->channels * bytesPerSample);
  std::vector<uint8_t> pixels(size_t(stride) * height);
  if (Failed(source->CopyPixels(nullptr, stride, UINT(pixels.size()),
                                pixels.data()),
             "reading the pixels", error))
    return false;

  // PNG's gray with transparency (colour type 4) arrives as RGBA: its red
  // and its alpha.
  const std::vector<uint8_t> head = FileBytes(path, 26);
  const bool grayAlpha = layout->channels == 4 && head.size() > 25 &&
                         head[1] == 'P' && head[25] == 4;
  *image = MakeImage(int32_t(width), int32_t(height),
                     grayAlpha ? 2 : layout->channels, layout->depth);
  for (UINT y = 0; y < height; ++y) {
    const uint8_t *row = pixels.data() + size_t(y) * stride;
    for (UINT x = 0; x < width; ++x) {
      for (int32_t p = 0; p < image->planes; ++p) {
        const int32_t plane = grayAlpha && p == 1 ? 3 : p;
        const uint8_t *at =
            row + (size_t(x) * layout->channels + FileChannel(*layout, plane)) *
                      bytesPerSample;
        uint16_t v;
        if (bytesPerSample == 2) {
          std::memcpy(&v, at, 2);
          v = FileToHost16(v);
        } else {
          v = *at;
        }
        SampleAt(*image, int32_t(x), int32_t(y), p) = v;
      }
    }
  }
  return true;
}

bool WriteImageFile(const std::string &path, const HostImage &image,
                    std::string *error) {
  std::string lower = path;
  for (char &c : lower)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  auto endsWith = [&](const char *suffix) {
    size_t n = std::strlen(suffix);
    return lower.size() >= n && lower.compare(lower.size() - n, n, suffix) == 0;
  };
  const GUID *container = nullptr;
  if (endsWith(".png"))
    container = &GUID_ContainerFormatPng;
  else if (endsWith(".tif") || endsWith(".tiff"))
    container = &GUID_ContainerFormatTiff;
  if (container == nullptr) {
    *error = "cannot tell the format of " + path + " (use .png or .tif)";
    return false;
  }
  if (image.planes == 2 ||
      (image.planes == 1 && container == &GUID_ContainerFormatTiff)) {
    const std::vector<uint8_t> bytes = container == &GUID_ContainerFormatPng
                                           ? GrayAlphaPng(image)
                                           : GrayTiff(image);
    FILE *f = std::fopen(path.c_str(), "wb");
    bool written =
        f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0)
      written = false;
    if (!written)
      *error = "cannot write " + path;
    return written;
  }
  const int32_t channels = image.planes == 1 ? 1 : image.planes == 3 ? 3 : 4;
  const Layout *layout = ChooseLayout(channels, image.depth == 16 ? 16 : 8);
  const int32_t bytesPerSample = layout->depth / 8;
  const UINT stride = UINT(image.width * channels * bytesPerSample);
  std::vector<uint8_t> pixels(size_t(stride) * size_t(image.height));
  for (int32_t y = 0; y < image.height; ++y) {
    uint8_t *row = pixels.data() + size_t(y) * stride;
    for (int32_t x = 0; x < image.width; ++x) {
      for (int32_t p = 0; p < channels; ++p) {
        uint8_t *at = row + (size_t(x) * channels + FileChannel(*layout, p)) *
                                bytesPerSample;
        uint16_t v = SampleAt(image, x, y, p);
        if (bytesPerSample == 2) {
          v = HostToFile16(v);
          std::memcpy(at, &v, 2);
        } else {
          *at = uint8_t(v);
        }
      }
    }
  }

  ComScope com;
  ComRef<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void **>(factory.out()));
  if (Failed(hr, "creating the imaging factory", error))
    return false;
  ComRef<IWICStream> stream;
  if (Failed(factory->CreateStream(stream.out()), "creating a stream", error))
    return false;
  hr = stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE);
  if (Failed(hr, ("creating " + path).c_str(), error))
    return false;
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  ComRef<IPropertyBag2> options;
  hr = factory->CreateEncoder(*container, nullptr, encoder.out());
  if (SUCCEEDED(hr))
    hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr))
    hr = encoder->CreateNewFrame(frame.out(), options.out());
  if (SUCCEEDED(hr))
    hr = frame->Initialize(options.p);
  if (SUCCEEDED(hr))
    hr = frame->SetSize(UINT(image.width), UINT(image.height));
  GUID format = *layout->format;
  if (SUCCEEDED(hr))
    hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && bytesPerSample == 2 &&
      container == &GUID_ContainerFormatPng) {
    static const bool swaps = ProbePngEncoderSwaps16(factory.p);
    if (swaps)
      for (size_t i = 0; i + 1 < pixels.size(); i += 2)
        std::swap(pixels[i], pixels[i + 1]);
  }
  if (Failed(hr, "setting up the encoder", error))
    return false;
  if (!IsEqualGUID(format, *layout->format)) {
    *error = "the encoder cannot store " + std::to_string(channels) +
             " channels of " + std::to_string(layout->depth) + " bits";
    return false;
  }
  hr = frame->WritePixels(UINT(image.height), stride, UINT(pixels.size()),
                          pixels.data());
  if (SUCCEEDED(hr))
    hr = frame->Commit();
  if (SUCCEEDED(hr))
    hr = encoder->Commit();
  return !Failed(hr, "writing the file", error);
}
