// Bitmap characters to pixels: every lossless format, JPEG (whole, split over
// JPEGTables, with an alpha plane), PNG, GIF, and broken data.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <cstring>

#include "movie/codec/gif_decoder.h"
#include "movie/render/bitmap_decoder.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

using test::channel;

std::vector<uint8_t> zlibOf(const std::vector<uint8_t>& raw) {
  uLongf n = compressBound(uLong(raw.size()));
  std::vector<uint8_t> out(n);
  compress(out.data(), &n, raw.data(), uLong(raw.size()));
  out.resize(n);
  return out;
}

swf::BitmapDef lossless(bool alpha, uint8_t format, uint16_t w, uint16_t h,
                        const std::vector<uint8_t>& raw) {
  swf::BitmapDef d;
  d.kind = alpha ? swf::BitmapKind::Lossless2 : swf::BitmapKind::Lossless;
  d.losslessFormat = format;
  d.width = w;
  d.height = h;
  d.data = zlibOf(raw);
  return d;
}

TEST(BitmapDecoder, LosslessColormapRowsArePadded) {
  // 3x2, two colours; rows padded to 4 bytes.
  swf::BitmapDef d = lossless(false, 3, 3, 2, {255, 0, 0, 0, 0, 255, 0, 1, 0, 9, 1, 1, 0, 9});
  d.colorTableSize = 1;
  auto b = decodeBitmap(d, {});
  ASSERT_TRUE(b);
  EXPECT_EQ(b->pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF, 0xFFFF0000, 0xFF0000FF,
                                              0xFF0000FF, 0xFFFF0000}));
  // With alpha the table has four bytes per entry (premultiplied).
  swf::BitmapDef a = lossless(true, 3, 1, 1, {0, 64, 0, 128, 0, 0, 0, 0});
  a.colorTableSize = 0;
  auto ba = decodeBitmap(a, {});
  ASSERT_TRUE(ba);
  EXPECT_EQ(ba->pixels[0], 0x80004000u);
}

TEST(BitmapDecoder, Lossless15And32Bit) {
  // 15-bit: 0 RRRRR GGGGG BBBBB big-endian; one pixel plus two padding bytes.
  auto b15 = decodeBitmap(lossless(false, 4, 1, 1, {0x7C, 0x1F, 0, 0}), {});
  ASSERT_TRUE(b15);
  EXPECT_EQ(b15->pixels[0], 0xFFFF00FFu);
  auto b24 = decodeBitmap(lossless(false, 5, 2, 1, {0, 1, 2, 3, 77, 4, 5, 6}), {});
  ASSERT_TRUE(b24);
  EXPECT_EQ(b24->pixels, (std::vector<uint32_t>{0xFF010203, 0xFF040506}));
  auto b32 = decodeBitmap(lossless(true, 5, 1, 1, {128, 100, 50, 200}), {});
  ASSERT_TRUE(b32);
  EXPECT_EQ(b32->pixels[0], 0x80643280u);  // colour clamped to alpha
}

TEST(BitmapDecoder, BrokenLosslessDataIsRefusedOrCut) {
  swf::BitmapDef d = lossless(false, 5, 4, 4, {1, 2, 3});
  auto cut = decodeBitmap(d, {});  // truncated: what is there, rest transparent
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->pixels[1], 0u);
  d.losslessFormat = 9;
  EXPECT_FALSE(decodeBitmap(d, {}));
  d.losslessFormat = 5;
  d.width = 65535;
  d.height = 65535;
  EXPECT_FALSE(decodeBitmap(d, {}));
  d.width = 2;
  d.height = 2;
  d.data = {1, 2, 3, 4, 5};  // not zlib
  auto garbage = decodeBitmap(d, {});
  ASSERT_TRUE(garbage);
  EXPECT_EQ(garbage->pixels[0], 0u);
}

std::vector<uint8_t> encodeJpeg(int w, int h, uint32_t rgb) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = w;
  c.image_height = h;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(size_t(w) * 3);
  for (int x = 0; x < w; ++x) {
    row[x * 3] = uint8_t(rgb >> 16);
    row[x * 3 + 1] = uint8_t(rgb >> 8);
    row[x * 3 + 2] = uint8_t(rgb);
  }
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(buf, buf + size);
  free(buf);
  jpeg_destroy_compress(&c);
  return out;
}

void expectColor(uint32_t p, uint32_t argb, int tolerance) {
  EXPECT_LE(test::colorDistance(p, argb), tolerance) << std::hex << p << " vs " << argb;
}

TEST(BitmapDecoder, JpegWholeOrSplitOverTables) {
  const auto jpeg = encodeJpeg(16, 8, 0x3060C0);
  swf::BitmapDef d;
  d.kind = swf::BitmapKind::Jpeg2;
  // Old writers prefix an EOI/SOI pair.
  d.data = {0xFF, 0xD9, 0xFF, 0xD8};
  d.data.insert(d.data.end(), jpeg.begin(), jpeg.end());
  auto b = decodeBitmap(d, {});
  ASSERT_TRUE(b);
  EXPECT_EQ(b->width, 16);
  EXPECT_EQ(b->height, 8);
  expectColor(b->pixels[20], 0xFF3060C0, 4);

  // DefineBits: tables up to the frame header live in JPEGTables.
  size_t sof = 2;
  while (sof + 1 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) ++sof;
  std::vector<uint8_t> tables(jpeg.begin(), jpeg.begin() + long(sof));
  tables.insert(tables.end(), {0xFF, 0xD9});
  swf::BitmapDef split;
  split.kind = swf::BitmapKind::Jpeg;
  split.data = {0xFF, 0xD8};
  split.data.insert(split.data.end(), jpeg.begin() + long(sof), jpeg.end());
  auto bs = decodeBitmap(split, tables);
  ASSERT_TRUE(bs);
  expectColor(bs->pixels[0], 0xFF3060C0, 4);
  EXPECT_FALSE(decodeBitmap(split, {}));  // no tables: undecodable
}

TEST(BitmapDecoder, JpegAlphaPlaneIsPremultiplied) {
  swf::BitmapDef d;
  d.kind = swf::BitmapKind::Jpeg3;
  d.data = encodeJpeg(8, 8, 0xFFFFFF);
  d.alphaData = zlibOf(std::vector<uint8_t>(64, 128));
  auto b = decodeBitmap(d, {});
  ASSERT_TRUE(b);
  expectColor(b->pixels[9], 0x80808080, 2);
}

TEST(BitmapDecoder, PngAndGifThroughTheSameTag) {
  const uint32_t pixels[2] = {0x80FF0000, 0xFF00FF00};  // straight alpha
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = 2;
  img.height = 1;
  img.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  ASSERT_TRUE(png_image_write_to_memory(&img, nullptr, &size, 0, pixels, 0, nullptr));
  std::vector<uint8_t> png(size);
  ASSERT_TRUE(png_image_write_to_memory(&img, png.data(), &size, 0, pixels, 0, nullptr));
  swf::BitmapDef d;
  d.kind = swf::BitmapKind::Jpeg2;
  d.data = png;
  auto b = decodeBitmap(d, {});
  ASSERT_TRUE(b);
  EXPECT_EQ(b->pixels[0], 0x80800000u);
  EXPECT_EQ(b->pixels[1], 0xFF00FF00u);

  // A 2x2 GIF: global table {red, blue}, index 1 transparent via the GCE.
  const std::vector<uint8_t> gif = {
      'G',  'I',  'F',  '8',  '9',  'a', 2,   0, 2, 0, 0x80, 0, 0,  // screen, 2-entry table
      255,  0,    0,    0,    0,    255,                            // red, blue
      0x21, 0xF9, 4,    1,    0,    0,   1,   0,                    // transparent index 1
      0x2C, 0,    0,    0,    0,    2,   0,   2, 0, 0,              // image 2x2
      2,    3,    0x44, 0x02, 0x05, 0,   0x3B};                     // LZW: clear 0 1 1 0 end
  d.data = gif;
  auto g = decodeBitmap(d, {});
  ASSERT_TRUE(g);
  EXPECT_EQ(g->pixels, (std::vector<uint32_t>{0xFFFF0000, 0, 0, 0xFFFF0000}));
}

TEST(BitmapDecoder, GarbageImagesDrawAsNothing) {
  swf::BitmapDef d;
  d.kind = swf::BitmapKind::Jpeg2;
  d.data = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3};
  EXPECT_FALSE(decodeBitmap(d, {}));
  d.data = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0};
  EXPECT_FALSE(decodeBitmap(d, {}));
  d.data = {'G', 'I', 'F', '8', '9', 'a', 255, 255, 255, 255, 0, 0, 0, 0x2C};
  EXPECT_FALSE(decodeBitmap(d, {}));
  d.data.clear();
  EXPECT_FALSE(decodeBitmap(d, {}));
}

}  // namespace
}  // namespace orv::movie::render
