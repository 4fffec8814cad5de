// The image decoder seam over libjpeg-turbo and libpng.
#include "movie/codec/gif_decoder.h"
#include "movie/codec/image_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

namespace orv::movie::codec {

namespace {

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<JpegErrorManager*>(info->err);
  std::longjmp(err->jump, 1);
}
void jpegSilence(j_common_ptr, int) {}
void jpegNoOutput(j_common_ptr) {}

std::optional<DecodedImage> decodeJpeg(const uint8_t* data, size_t size) {
  // Everything with a destructor lives outside the setjmp region's frames.
  DecodedImage image;
  std::vector<uint8_t> row;
  jpeg_decompress_struct info;
  JpegErrorManager err;
  info.err = jpeg_std_error(&err.base);
  err.base.error_exit = jpegErrorExit;
  err.base.emit_message = jpegSilence;
  err.base.output_message = jpegNoOutput;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  if (size_t(info.image_width) * info.image_height > kMaxImagePixels || info.image_width == 0 ||
      info.image_height == 0) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  jpeg_start_decompress(&info);
  const int w = int(info.output_width), h = int(info.output_height);
  const int comps = info.output_components;
  image.width = w;
  image.height = h;
  image.argb.assign(size_t(w) * h, 0xFF000000u);
  row.resize(size_t(w) * comps);
  while (info.output_scanline < info.output_height) {
    const int y = int(info.output_scanline);
    JSAMPROW rows[1] = {row.data()};
    if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
    uint32_t* out = &image.argb[size_t(y) * w];
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &row[size_t(x) * comps];
      uint32_t r, g, b;
      if (comps == 1) {
        r = g = b = p[0];
      } else if (cmyk && comps == 4) {
        // Adobe writes inverted CMYK: the samples already are (1-C)(1-K) etc.
        r = p[0] * p[3] / 255;
        g = p[1] * p[3] / 255;
        b = p[2] * p[3] / 255;
      } else {
        r = p[0];
        g = p[1];
        b = p[2];
      }
      out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return image;
}

std::optional<DecodedImage> decodePng(const uint8_t* data, size_t size) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, data, size)) return std::nullopt;
  if (png.width == 0 || png.height == 0 || size_t(png.width) * png.height > kMaxImagePixels) {
    png_image_free(&png);
    return std::nullopt;
  }
  png.format = PNG_FORMAT_BGRA;  // little-endian bytes of 0xAARRGGBB
  DecodedImage image;
  image.width = int(png.width);
  image.height = int(png.height);
  image.argb.resize(size_t(png.width) * png.height);
  if (!png_image_finish_read(&png, nullptr, image.argb.data(), int(png.width) * 4, nullptr)) {
    png_image_free(&png);
    return std::nullopt;
  }
  return image;
}

}  // namespace

std::optional<DecodedImage> decodeImage(const uint8_t* data, size_t size) {
  if (!data || size == 0) return std::nullopt;
  switch (sniffImageFormat(data, size)) {
    case ImageFormat::Png:
      return decodePng(data, size);
    case ImageFormat::Jpeg:
      return decodeJpeg(data, size);
    case ImageFormat::Gif:
      return decodeGif(data, size);
    case ImageFormat::Unknown:
      break;
  }
  return std::nullopt;
}

}  // namespace orv::movie::codec
