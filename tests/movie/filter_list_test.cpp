// The FILTERLIST reader and writer: every kind of record, lists cut short or holding kinds
// not known, the stored form written back, and what PlaceObject3 makes of bad lists.
#include "movie/swf/filter_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "movie/swf/reader.h"
#include "swf_writer.h"

namespace orv::movie::swf {
namespace {

namespace t = orv::movie::test;

// Stored fields, written here byte by byte.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& u8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Bytes& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    return *this;
  }
  Bytes& fixed16(int32_t raw) { return u32(uint32_t(raw)); }
  Bytes& fixed8(int16_t raw) { return u8(uint8_t(raw)).u8(uint8_t(uint16_t(raw) >> 8)); }
  Bytes& f32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return u32(v);
  }
  Bytes& rgba(uint8_t r, uint8_t g, uint8_t bl, uint8_t a) { return u8(r).u8(g).u8(bl).u8(a); }
};

// One record of each kind, the displacement map last, with fields told apart by value.
Bytes everyKind() {
  Bytes w;
  w.u8(9);
  w.u8(0).rgba(1, 2, 3, 4).fixed16(0x48000).fixed16(-0x10000).fixed16(0x3243F).fixed16(0x50000);
  w.fixed8(0x0180).u8(0x80 | 0x20 | 0x1F);  // drop shadow: inner, composite, 31 passes
  w.u8(1).fixed16(0x20000).fixed16(0x30000).u8(3 << 3 | 0x07);  // blur, reserved bits set
  w.u8(2).rgba(9, 8, 7, 6).fixed16(0x60000).fixed16(0x70000).fixed8(-0x0200).u8(0x40 | 0x12);
  w.u8(3).rgba(255, 255, 255, 255).rgba(0, 0, 0, 128);  // bevel: highlight, then shadow
  w.fixed16(0x10000).fixed16(0x10000).fixed16(0).fixed16(0x40000).fixed8(0x0100);
  w.u8(0x10 | 0x05);                                                      // on top, 5 passes
  w.u8(4).u8(2).rgba(10, 20, 30, 40).rgba(50, 60, 70, 80).u8(0).u8(255);  // gradient glow
  w.fixed16(0x10000).fixed16(0x20000).fixed16(0x30000).fixed16(0x40000).fixed8(0x0300);
  w.u8(0x80 | 0x1F);  // inner; only 4 bits of passes
  w.u8(5).u8(3).u8(1).f32(2.5f).f32(-1).f32(1).f32(std::numeric_limits<float>::infinity());
  w.f32(-0.5f).rgba(1, 1, 1, 1).u8(0x02);  // convolution 3 x 1: clamp, alpha not kept
  w.u8(6);
  for (int i = 0; i < 20; ++i) w.f32(float(i) / 4);
  w.u8(7).u8(1).rgba(5, 5, 5, 5).u8(128);  // gradient bevel, one colour
  w.fixed16(0).fixed16(0).fixed16(0).fixed16(0).fixed8(0).u8(0x20);
  w.u8(8).u8(2).f32(10).f32(-20).u8(1).u8(4).f32(0.5f).f32(-0.25f).u8(6).rgba(1, 2, 3, 4).u8(0);
  return w;
}

TEST(FilterListRecords, EveryKindIsReadIntoItsRecord) {
  const Bytes w = everyKind();
  const FilterListRead list = readFilterList(w.b);
  EXPECT_EQ(list.end, FilterListRead::End::Whole);
  EXPECT_EQ(list.size, w.b.size());
  ASSERT_EQ(list.filters.size(), 9u);
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(filterId(list.filters[i]), int(i));

  const auto& shadow = std::get<DropShadowFilter>(list.filters[0]);
  EXPECT_EQ(shadow.color, (RGBA{1, 2, 3, 4}));
  EXPECT_EQ(shadow.blurX, 4.5);
  EXPECT_EQ(shadow.blurY, -1);
  EXPECT_EQ(shadow.angle, 0x3243F / 65536.0);
  EXPECT_EQ(shadow.distance, 5);
  EXPECT_EQ(shadow.strength, 1.5);
  EXPECT_TRUE(shadow.flags.inner);
  EXPECT_FALSE(shadow.flags.knockout);
  EXPECT_TRUE(shadow.flags.compositeSource);
  EXPECT_FALSE(shadow.flags.onTop);  // bit 0x10 is part of the passes
  EXPECT_EQ(shadow.flags.passes, 31);

  const auto& blur = std::get<BlurFilter>(list.filters[1]);
  EXPECT_EQ(blur.blurX, 2);
  EXPECT_EQ(blur.blurY, 3);
  EXPECT_EQ(blur.passes, 3);

  const auto& glow = std::get<GlowFilter>(list.filters[2]);
  EXPECT_EQ(glow.color, (RGBA{9, 8, 7, 6}));
  EXPECT_EQ(glow.blurX, 6);
  EXPECT_EQ(glow.strength, -2);
  EXPECT_TRUE(glow.flags.knockout);
  EXPECT_FALSE(glow.flags.compositeSource);
  EXPECT_EQ(glow.flags.passes, 0x12);

  const auto& bevel = std::get<BevelFilter>(list.filters[3]);
  EXPECT_EQ(bevel.highlight, (RGBA{255, 255, 255, 255}));
  EXPECT_EQ(bevel.shadow, (RGBA{0, 0, 0, 128}));
  EXPECT_EQ(bevel.distance, 4);
  EXPECT_TRUE(bevel.flags.onTop);
  EXPECT_EQ(bevel.flags.passes, 5);

  const auto& ggl = std::get<GradientGlowFilter>(list.filters[4]);
  ASSERT_EQ(ggl.colors.size(), 2u);
  EXPECT_EQ(ggl.colors[1], (RGBA{50, 60, 70, 80}));
  EXPECT_EQ(ggl.ratios, (std::vector<uint8_t>{0, 255}));
  EXPECT_EQ(ggl.angle, 3);
  EXPECT_EQ(ggl.strength, 3);
  EXPECT_TRUE(ggl.flags.inner);
  EXPECT_TRUE(ggl.flags.onTop);
  EXPECT_EQ(ggl.flags.passes, 15);

  const auto& conv = std::get<ConvolutionFilter>(list.filters[5]);
  EXPECT_EQ(conv.columns, 3);
  EXPECT_EQ(conv.rows, 1);
  EXPECT_EQ(conv.divisor, 2.5f);
  EXPECT_EQ(conv.bias, -1);
  ASSERT_EQ(conv.matrix.size(), 3u);
  EXPECT_EQ(conv.matrix[0], 1);
  EXPECT_TRUE(std::isinf(conv.matrix[1]));  // kept as stored
  EXPECT_EQ(conv.matrix[2], -0.5f);
  EXPECT_TRUE(conv.clamp);
  EXPECT_FALSE(conv.preserveAlpha);

  const auto& cm = std::get<ColorMatrixFilter>(list.filters[6]);
  EXPECT_EQ(cm.matrix[0], 0);
  EXPECT_EQ(cm.matrix[19], 4.75f);

  const auto& gbv = std::get<GradientBevelFilter>(list.filters[7]);
  EXPECT_EQ(gbv.colors.size(), 1u);
  EXPECT_EQ(gbv.ratios, (std::vector<uint8_t>{128}));

  const auto& map = std::get<DisplacementMapFilter>(list.filters[8]);
  EXPECT_EQ(map.mapIndex, 2);
  EXPECT_EQ(map.mapX, 10);
  EXPECT_EQ(map.mapY, -20);
  EXPECT_EQ(map.componentX, 1);
  EXPECT_EQ(map.componentY, 4);
  EXPECT_EQ(map.scaleX, 0.5f);
  EXPECT_EQ(map.scaleY, -0.25f);
  EXPECT_EQ(map.mode, 6);  // as stored; readers bring it into range
  EXPECT_EQ(map.color, (RGBA{1, 2, 3, 4}));
  EXPECT_FALSE(map.mapTransparent);
}

TEST(FilterListRecords, WritingWhatWasReadGivesTheSameBytes) {
  Bytes w = everyKind();
  // The bits the records do not keep are written as 0: the blur's reserved bits.
  const FilterListRead list = readFilterList(w.b);
  std::vector<uint8_t> expected = w.b;
  const size_t blurFlags = 1 + (1 + 4 + 16 + 2 + 1) + (1 + 8);
  ASSERT_EQ(expected[blurFlags], 3 << 3 | 0x07);
  expected[blurFlags] = 3 << 3;
  EXPECT_EQ(writeFilterList(list.filters), expected);
  EXPECT_EQ(writeFilterList({}), (std::vector<uint8_t>{0}));
}

TEST(FilterListRecords, WritingRoundsAndClampsToWhatIsStored) {
  DropShadowFilter shadow;
  shadow.blurX = 1.0 / 65536 * 2.5;  // 2.5 steps: to the nearest, halves away from zero
  shadow.blurY = 1e12;
  shadow.angle = -1e12;
  shadow.distance = std::nan("");
  shadow.strength = 1000;                          // past 8.8
  shadow.flags = {true, true, false, true, 0x3F};  // on top is no shadow flag; 5 bits
  BlurFilter blur{std::numeric_limits<double>::infinity(), 0.4 / 65536, 40};
  ConvolutionFilter conv;
  conv.columns = 2;
  conv.rows = 2;
  conv.matrix = {1, 2};  // short: the rest written as 0
  GradientGlowFilter glow;
  glow.colors = {{1, 2, 3, 4}, {5, 6, 7, 8}};
  glow.ratios = {9};  // as many as the shorter list
  const std::vector<FilterRecord> in = {shadow, blur, conv, glow};
  const std::vector<uint8_t> bytes = writeFilterList(in);
  const FilterListRead back = readFilterList(bytes);
  ASSERT_EQ(back.end, FilterListRead::End::Whole);
  ASSERT_EQ(back.filters.size(), 4u);
  const auto& s = std::get<DropShadowFilter>(back.filters[0]);
  EXPECT_EQ(s.blurX, 3.0 / 65536);
  EXPECT_EQ(s.blurY, 2147483647.0 / 65536);
  EXPECT_EQ(s.angle, -32768.0);
  EXPECT_EQ(s.distance, 0);
  EXPECT_EQ(s.strength, 32767.0 / 256);
  EXPECT_TRUE(s.flags.inner && s.flags.knockout && !s.flags.compositeSource);
  EXPECT_FALSE(s.flags.onTop);
  EXPECT_EQ(s.flags.passes, 0x1F);
  const auto& b = std::get<BlurFilter>(back.filters[1]);
  EXPECT_EQ(b.blurX, 0);
  EXPECT_EQ(b.blurY, 0);  // less than half a step
  EXPECT_EQ(b.passes, 40 & 0x1F);
  EXPECT_EQ(std::get<ConvolutionFilter>(back.filters[2]).matrix, (std::vector<float>{1, 2, 0, 0}));
  const auto& g = std::get<GradientGlowFilter>(back.filters[3]);
  EXPECT_EQ(g.colors, (std::vector<RGBA>{{1, 2, 3, 4}}));
  EXPECT_EQ(g.ratios, (std::vector<uint8_t>{9}));

  // At most 255 records: the count is one byte.
  const std::vector<FilterRecord> many(300, BlurFilter{});
  EXPECT_EQ(readFilterList(writeFilterList(many)).filters.size(), 255u);
}

TEST(FilterListRecords, AListCutAnywhereKeepsTheRecordsReadWhole) {
  const Bytes w = everyKind();
  // Where each record ends, from the whole list's reading.
  std::vector<size_t> ends;
  for (size_t n = 1; n <= 9; ++n) {
    Bytes first = w;
    first.b[0] = uint8_t(n);
    const FilterListRead part = readFilterList(first.b);
    ASSERT_EQ(part.end, FilterListRead::End::Whole);
    ends.push_back(part.size);
  }
  for (size_t cut = 0; cut < w.b.size(); ++cut) {
    const std::vector<uint8_t> bytes(w.b.begin(), w.b.begin() + ptrdiff_t(cut));
    const FilterListRead list = readFilterList(bytes);
    EXPECT_EQ(list.end, FilterListRead::End::Cut) << cut;
    size_t whole = 0;
    while (whole < ends.size() && ends[whole] <= cut) ++whole;
    EXPECT_EQ(list.filters.size(), whole) << cut;
  }
  // A convolution claiming more factors than there are bytes.
  Bytes big;
  big.u8(1).u8(5).u8(255).u8(255).f32(1).f32(0).f32(1);
  EXPECT_EQ(readFilterList(big.b).end, FilterListRead::End::Cut);
  EXPECT_TRUE(readFilterList(big.b).filters.empty());
  // Bytes after the list are not part of it.
  Bytes more;
  more.u8(1).u8(1).fixed16(0).fixed16(0).u8(8).u8(0xAA).u8(0xBB);
  EXPECT_EQ(readFilterList(more.b).size, 11u);
  EXPECT_EQ(readFilterList(more.b).filters.size(), 1u);
  EXPECT_EQ(readFilterList(std::vector<uint8_t>{0}).end, FilterListRead::End::Whole);
}

TEST(FilterListRecords, AKindNotKnownEndsTheList) {
  Bytes w;
  w.u8(3).u8(1).fixed16(0).fixed16(0).u8(8).u8(9).u8(1).fixed16(0).fixed16(0).u8(8);
  FilterListRead list = readFilterList(w.b);
  EXPECT_EQ(list.end, FilterListRead::End::UnknownKind);
  EXPECT_EQ(list.unknownId, 9);
  EXPECT_EQ(list.filters.size(), 1u);
  // A file cannot hold a displacement map: in a file's list it is a kind not known.
  Bytes map;
  map.u8(1).u8(8).u8(0).f32(0).f32(0).u8(1).u8(1).f32(0).f32(0).u8(0).rgba(0, 0, 0, 0).u8(1);
  EXPECT_EQ(readFilterList(map.b, FilterSource::Script).filters.size(), 1u);
  list = readFilterList(map.b, FilterSource::File);
  EXPECT_EQ(list.end, FilterListRead::End::UnknownKind);
  EXPECT_EQ(list.unknownId, 8);
  EXPECT_TRUE(list.filters.empty());
}

// A PlaceObject3 placing character 1 at depth 1 with `filters` and a blend mode after them.
std::shared_ptr<const Movie> placedWith(const std::vector<uint8_t>& filters, std::string& warning) {
  t::BitWriter p;
  p.u8(0x02);         // character
  p.u8(0x01 | 0x02);  // filters, blend mode
  p.u16(1);
  p.u16(1);
  for (uint8_t b : filters) p.u8(b);
  p.u8(3);
  const auto read = readMovie(t::movie(
      t::concat({t::defineRect(1, 10, 10, 0, 0, 0), t::tag(70, p.bytes), t::showFrame()})));
  warning = read.movie ? read.movie->warning : read.error;
  return read.movie;
}

TEST(FilterListRecords, PlaceObjectKeepsAWholeListAndSkipsTheTagOfABadOne) {
  std::string warning;
  const Bytes w = everyKind();
  Bytes fileList = w;
  fileList.b[0] = 8;  // without the displacement map
  fileList.b.resize(readFilterList(fileList.b).size);
  auto m = placedWith(fileList.b, warning);
  ASSERT_TRUE(m);
  const auto& po = std::get<PlaceObject>(m->root.frames[0].displayTags.at(0));
  EXPECT_EQ(po.filterData, fileList.b);
  EXPECT_EQ(po.blendMode, 3);

  m = placedWith(w.b, warning);  // the displacement map has no place in a file
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->root.frames[0].displayTags.empty());
  EXPECT_NE(warning.find("unknown filter 8"), std::string::npos) << warning;

  m = placedWith({1, 1, 0, 0}, warning);
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->root.frames[0].displayTags.empty());
  EXPECT_NE(warning.find("unexpected end of data"), std::string::npos) << warning;
}

}  // namespace
}  // namespace orv::movie::swf
