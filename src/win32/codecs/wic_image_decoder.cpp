// The image decoder seam over the Windows Imaging Component.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include "movie/codec/gif_decoder.h"
#include "movie/codec/image_decoder.h"

namespace orv::movie::codec {
namespace {

// Releases a COM interface when it goes out of scope.
template <class T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

IWICImagingFactory* factory() {
  // COM may already be set up on this thread in another mode; either way WIC works.
  static IWICImagingFactory* instance = [] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IWICImagingFactory* f = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&f))))
      return static_cast<IWICImagingFactory*>(nullptr);
    return f;
  }();
  return instance;
}

std::optional<DecodedImage> decodeWithWic(const uint8_t* data, size_t size) {
  IWICImagingFactory* wic = factory();
  if (!wic || size > 0x7FFFFFFF) return std::nullopt;
  ComRef<IWICStream> stream;
  if (FAILED(wic->CreateStream(stream.out())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))))
    return std::nullopt;
  ComRef<IWICBitmapDecoder> decoder;
  if (FAILED(wic->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                          decoder.out())))
    return std::nullopt;
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.out()))) return std::nullopt;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 ||
      size_t(width) * height > kMaxImagePixels)
    return std::nullopt;
  ComRef<IWICFormatConverter> converter;
  if (FAILED(wic->CreateFormatConverter(converter.out())) ||
      FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom)))
    return std::nullopt;
  DecodedImage image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.argb.resize(size_t(width) * height);
  // BGRA bytes in memory are 0xAARRGGBB words on this little-endian machine.
  if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(image.argb.size() * 4),
                                   reinterpret_cast<BYTE*>(image.argb.data()))))
    return std::nullopt;
  return image;
}

}  // namespace

std::optional<DecodedImage> decodeImage(const uint8_t* data, size_t size) {
  if (!data || size == 0) return std::nullopt;
  switch (sniffImageFormat(data, size)) {
    case ImageFormat::Gif:
      return decodeGif(data, size);
    case ImageFormat::Jpeg:
    case ImageFormat::Png:
      return decodeWithWic(data, size);
    case ImageFormat::Unknown:
      break;
  }
  return std::nullopt;
}

}  // namespace orv::movie::codec
