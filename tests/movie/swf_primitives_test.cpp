// Bit-level primitives of the reader and our LZMA decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "movie/swf/bit_reader.h"
#include "movie/swf/lzma.h"
#include "swf_writer.h"

using namespace orv::movie;
using orv::movie::test::BitWriter;

TEST(BitReader, ReadsIntegersBitFieldsAndFixedPoint) {
  BitWriter w;
  w.u8(0xAB);
  w.u16(0x1234);
  w.u32(0xDEADBEEF);
  w.ub(5, 3);         // 101
  w.sb(-3, 4);        // 1101
  w.sb(0x18000, 20);  // 1.5 in 16.16
  w.align();
  w.u16(0x0180);  // 8.8: 1.5
  std::vector<uint8_t> b = w.bytes;
  swf::BitReader r(b.data(), b.size());
  EXPECT_EQ(r.u8(), 0xAB);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.u32(), 0xDEADBEEFu);
  EXPECT_EQ(r.ub(3), 5u);
  EXPECT_EQ(r.sb(4), -3);
  EXPECT_DOUBLE_EQ(r.fb(20), 1.5);
  EXPECT_DOUBLE_EQ(r.fixed8(), 1.5);
  EXPECT_TRUE(r.atEnd());
  EXPECT_THROW(r.u8(), swf::ParseError);
  EXPECT_THROW(r.ub(33), swf::ParseError);
}

TEST(BitReader, EncodedU32AndHalfFloats) {
  std::vector<uint8_t> b = {0x7F, 0xAC, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0x00, 0x3C, 0x00, 0xC0};
  swf::BitReader r(b.data(), b.size());
  EXPECT_EQ(r.encodedU32(), 127u);
  EXPECT_EQ(r.encodedU32(), 300u);
  EXPECT_EQ(r.encodedU32(), 0xFFFFFFFFu);
  EXPECT_FLOAT_EQ(r.f16(), 1.0f);
  EXPECT_FLOAT_EQ(r.f16(), -2.0f);
}

TEST(BitReader, StringsAreAnsiBeforeVersion6AndUtf8After) {
  std::vector<uint8_t> b = {'a', 0xE9, 0x80, 0, 'x'};
  swf::BitReader v5(b.data(), b.size(), 5);
  EXPECT_EQ(v5.string(), "a\xC3\xA9\xE2\x82\xAC");  // é and the euro sign
  EXPECT_EQ(v5.string(), "x");                      // no terminator: the rest
  swf::BitReader v6(b.data(), b.size(), 6);
  EXPECT_EQ(v6.string(), std::string("a\xE9\x80"));
}

TEST(BitReader, RectMatrixAndColorTransforms) {
  BitWriter w;
  w.rect(-20, 11000, 0, 8000);
  w.matrix(100, -200, std::make_pair(2.0, 0.5), std::make_pair(0.25, -0.25));
  // CXFORMWITHALPHA: add and mul, 9 bits: mul r=128 (0.5), g=256, b=256, a=64; add 10,-10,0,255
  w.flag(true);
  w.flag(true);
  w.ub(10, 4);
  for (int v : {128, 256, 256, 64}) w.sb(v, 10);
  for (int v : {10, -10, 0, 255}) w.sb(v, 10);
  w.align();
  swf::BitReader r(w.bytes.data(), w.bytes.size());
  swf::Rect rect = r.rect();
  EXPECT_EQ(rect, (swf::Rect{-20, 11000, 0, 8000}));
  swf::Matrix m = r.matrix();
  EXPECT_DOUBLE_EQ(m.a, 2.0);
  EXPECT_DOUBLE_EQ(m.d, 0.5);
  EXPECT_DOUBLE_EQ(m.b, 0.25);
  EXPECT_DOUBLE_EQ(m.c, -0.25);
  EXPECT_EQ(m.tx, 100);
  EXPECT_EQ(m.ty, -200);
  swf::ColorTransform cx = r.cxform(true);
  EXPECT_DOUBLE_EQ(cx.rMul, 0.5);
  EXPECT_DOUBLE_EQ(cx.aMul, 0.25);
  EXPECT_EQ(cx.gAdd, -10);
  swf::RGBA c = cx.apply({200, 5, 7, 255});
  EXPECT_EQ(c, (swf::RGBA{110, 0, 7, 255}));  // 200*.5+10, clamp 5-10, 7, 255*.25+255 clamped
}

TEST(Geometry, MatrixAndColorTransformComposition) {
  swf::Matrix scale{2, 0, 0, 3, 0, 0}, move{1, 0, 0, 1, 10, 20};
  swf::Matrix m = move * scale;  // scale first
  EXPECT_DOUBLE_EQ(m.mapX(1, 1), 12);
  EXPECT_DOUBLE_EQ(m.mapY(1, 1), 23);
  auto inv = m.inverted();
  ASSERT_TRUE(inv);
  EXPECT_NEAR(inv->mapX(12, 23), 1, 1e-12);
  EXPECT_FALSE((swf::Matrix{0, 0, 0, 0, 1, 1}.inverted()));
  swf::ColorTransform half{0.5, 0.5, 0.5, 0.5, 0, 0, 0, 0}, plus{1, 1, 1, 1, 10, 10, 10, 0};
  swf::ColorTransform both = half * plus;  // plus applied first
  EXPECT_EQ(both.apply({100, 100, 100, 200}), (swf::RGBA{55, 55, 55, 100}));
}

namespace {
std::vector<uint8_t> xzLzma(const std::vector<uint8_t>& data, bool& ok) {
  char in[] = "/tmp/orv_lzma_inXXXXXX";
  int fd = mkstemp(in);
  ok = false;
  if (fd < 0) return {};
  FILE* f = fdopen(fd, "wb");
  fwrite(data.data(), 1, data.size(), f);
  fclose(f);
  std::string cmd = std::string("xz --format=lzma -c ") + in + " > " + in + ".lzma 2>/dev/null";
  ok = std::system(cmd.c_str()) == 0;
  std::ifstream z(std::string(in) + ".lzma", std::ios::binary);
  std::vector<uint8_t> out((std::istreambuf_iterator<char>(z)), {});
  std::remove(in);
  std::remove((std::string(in) + ".lzma").c_str());
  return out;
}
}  // namespace

TEST(Lzma, DecodesWhatXzWritesAndStopsCleanlyOnDamage) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data;
  for (int i = 0; i < 200000; ++i)  // text-like with repeats, plus some noise
    data.push_back(i % 1000 < 900 ? static_cast<uint8_t>("the quick brown fox "[i % 20])
                                  : static_cast<uint8_t>(rng()));
  bool ok = false;
  std::vector<uint8_t> z = xzLzma(data, ok);
  if (!ok || z.size() < 13) GTEST_SKIP() << "xz is not available";
  // .lzma: 5 property bytes, 8 bytes of size, then the stream.
  swf::LzmaResult r = swf::lzmaDecode(z.data(), z.data() + 13, z.size() - 13, data.size());
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.data, data);

  // Cut short: what came out is a correct prefix and an error says why.
  swf::LzmaResult cut = swf::lzmaDecode(z.data(), z.data() + 13, (z.size() - 13) / 2, data.size());
  EXPECT_NE(cut.error, "");
  ASSERT_LT(cut.data.size(), data.size());
  size_t good = cut.data.size() > 64 ? cut.data.size() - 64 : 0;  // the tail may be noise
  EXPECT_TRUE(std::equal(cut.data.begin(), cut.data.begin() + good, data.begin()));

  // Corrupt bytes and bad properties never crash and never exceed the limit.
  for (int seed = 0; seed < 50; ++seed) {
    std::vector<uint8_t> bad = z;
    std::mt19937 g(seed);
    for (int k = 0; k < 8; ++k)
      bad[13 + g() % (bad.size() - 13)] ^= static_cast<uint8_t>(1 + g() % 255);
    swf::LzmaResult br = swf::lzmaDecode(bad.data(), bad.data() + 13, bad.size() - 13, data.size());
    EXPECT_LE(br.data.size(), data.size());
  }
  uint8_t badProps[5] = {225, 0, 0, 1, 0};
  EXPECT_NE(swf::lzmaDecode(badProps, z.data() + 13, z.size() - 13, 100).error, "");
}
