#pragma once
// The decoder seam for still images inside movies (JPEG, PNG, GIF). The engine
// declares it; the platform codec library defines decodeImage: orv_codecs
// (libjpeg-turbo, libpng) natively, orv_win32_codecs (WIC) on Windows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orv::movie::codec {

// Straight-alpha 0xAARRGGBB pixels, row-major, no padding.
struct DecodedImage {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
};

enum class ImageFormat { Jpeg, Png, Gif, Unknown };

// Bitmaps larger than this are refused (images a movie loads may pass the 16 million
// pixels a BitmapData may have).
constexpr size_t kMaxImagePixels = size_t(1) << 25;

inline ImageFormat sniffImageFormat(const uint8_t* data, size_t size) {
  if (size >= 8 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G')
    return ImageFormat::Png;
  if (size >= 6 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F' && data[3] == '8')
    return ImageFormat::Gif;
  if (size >= 2 && data[0] == 0xFF && (data[1] == 0xD8 || data[1] == 0xD9))
    return ImageFormat::Jpeg;
  return ImageFormat::Unknown;
}

// Decodes a complete image stream of any supported format. A broken,
// truncated, unsupported or oversized image gives nullopt; never throws.
std::optional<DecodedImage> decodeImage(const uint8_t* data, size_t size);

}  // namespace orv::movie::codec
