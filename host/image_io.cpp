#include "host/image_io.h"

#include <windows.h>

#include <wincodec.h>

#include <cctype>
#include <cstdio>
#include <cstring>
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

} // namespace

bool ReadImageFile(const std::string &path, HostImage *image,
                   std::string *error) {
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

  *image = MakeImage(int32_t(width), int32_t(height), layout->channels,
                     layout->depth);
  for (UINT y = 0; y < height; ++y) {
    const uint8_t *row = pixels.data() + size_t(y) * stride;
    for (UINT x = 0; x < width; ++x) {
      for (int32_t p = 0; p < layout->channels; ++p) {
        const uint8_t *at =
            row + (size_t(x) * layout->channels + FileChannel(*layout, p)) *
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
  const int32_t channels = image.planes <= 2 ? 1 : image.planes == 3 ? 3 : 4;
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
