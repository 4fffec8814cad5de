// Numbers read out of bytes: little-endian one after another up to the end of the data,
// big-endian at offsets, and what a read the data cannot hold gives.
#include "movie/base/bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace orv::movie::base {
namespace {

TEST(ByteReader, ReadsLittleEndianNumbersInTurnUpToTheLastByte) {
  const std::vector<uint8_t> d = {0x01, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF,
                                  0x00, 0x00, 0xC0, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF};
  ByteReader r(d);
  EXPECT_EQ(r.u8(), 0x01);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.u32(), 0xDEADBEEFu);
  EXPECT_EQ(r.s16(), -2);
  EXPECT_EQ(r.f32(), 1.5f);
  EXPECT_EQ(r.remaining(), 4u);
  EXPECT_TRUE(r.has(4));
  EXPECT_FALSE(r.has(5));
  EXPECT_EQ(r.s32(), -1);  // the data's last four bytes
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.remaining(), 0u);
  EXPECT_EQ(r.u8(), 0);  // one past the end
  EXPECT_FALSE(r.ok());
}

TEST(ByteReader, AReadTheRestCannotHoldGivesZeroAndStopsAtTheEnd) {
  const std::vector<uint8_t> d = {0x11, 0x22, 0x33};
  ByteReader r(d);
  EXPECT_EQ(r.u32(), 0u);  // not the three bytes there are
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.pos(), 3u);
  EXPECT_EQ(r.u8(), 0);  // and nothing after it

  ByteReader partly(d);
  EXPECT_EQ(partly.u16(), 0x2211);
  EXPECT_EQ(partly.u16(), 0);
  EXPECT_FALSE(partly.ok());

  ByteReader skipping(d);
  skipping.skip(3);
  EXPECT_TRUE(skipping.ok());
  skipping.skip(1);
  EXPECT_FALSE(skipping.ok());
  EXPECT_EQ(skipping.remaining(), 0u);

  // A skip far past the end does not wrap around.
  ByteReader far(d);
  far.u8();
  far.skip(std::numeric_limits<size_t>::max());
  EXPECT_FALSE(far.ok());
  EXPECT_EQ(far.pos(), 3u);

  ByteReader none(nullptr, 10);  // no data reads as empty whatever its size says
  EXPECT_EQ(none.remaining(), 0u);
  EXPECT_EQ(none.u8(), 0);
  EXPECT_FALSE(none.ok());
}

TEST(ByteOrder, LittleAndBigEndianAndFloatBits) {
  const uint8_t d[] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(le16(d), 0x3412);
  EXPECT_EQ(le32(d), 0x78563412u);
  EXPECT_EQ(be16(d), 0x1234);
  EXPECT_EQ(be32(d), 0x12345678u);
  const uint8_t high[] = {0xFF, 0xFE, 0xFD, 0xFC};  // no sign spreads into the result
  EXPECT_EQ(le32(high), 0xFCFDFEFFu);
  EXPECT_EQ(be32(high), 0xFFFEFDFCu);
  EXPECT_EQ(bitsOfFloat(-2.0f), 0xC0000000u);
  EXPECT_EQ(floatFromBits(0x3F800000u), 1.0f);
}

TEST(BigEndianView, ReadsAtOffsetsAndGivesZeroWhereTheBytesAreNotAllThere) {
  const std::vector<uint8_t> d = {0x00, 0x01, 0x00, 0x00, 0xFF, 0xFE};
  const BigEndianView v(d);
  EXPECT_EQ(v.u32(0), 0x00010000u);
  EXPECT_EQ(v.u16(4), 0xFFFE);  // the last two bytes
  EXPECT_EQ(v.s16(4), -2);
  EXPECT_EQ(v.u8(5), 0xFE);
  EXPECT_EQ(v.u16(5), 0);  // one byte short
  EXPECT_EQ(v.u32(3), 0u);
  EXPECT_EQ(v.u8(6), 0);
  EXPECT_TRUE(v.has(6, 0));
  EXPECT_FALSE(v.has(7, 0));
  // Offsets near the top of the range do not wrap around to the start.
  EXPECT_EQ(v.u32(std::numeric_limits<uint64_t>::max() - 1), 0u);
  EXPECT_FALSE(v.has(2, std::numeric_limits<uint64_t>::max()));
}

}  // namespace
}  // namespace orv::movie::base
