// Reading TrueType fonts: a small font built here byte by byte (simple, composite and
// all-off-curve glyphs, a format 4 character map), its outlines as movie shapes, and
// every cut and scrambled copy of it read without harm.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "movie/font/truetype.h"

namespace orv::movie::font {
namespace {

struct Out {
  std::vector<uint8_t> b;
  void u8(int v) { b.push_back(uint8_t(v)); }
  void u16(int v) {
    u8(v >> 8);
    u8(v);
  }
  void u32(uint32_t v) {
    u16(int(v >> 16));
    u16(int(v & 0xFFFF));
  }
  void tag(const char* t) {
    for (int i = 0; i < 4; ++i) u8(t[i]);
  }
  void pad() {
    while (b.size() % 4) u8(0);
  }
};

// Glyphs: 0 empty; 1 a 1000-unit square; 2 glyph 1 moved by (500, -200); 3 a diamond of
// off-curve points only. 'A', 'B' and 'C' map to glyphs 1, 2 and 3.
std::vector<uint8_t> testFont(bool compositeOfItself = false) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> tables;
  Out head;
  head.u32(0x00010000);
  head.u32(0x00010000);
  head.u32(0);
  head.u32(0x5F0F3CF5);
  head.u16(0);
  head.u16(2048);                           // flags, unitsPerEm
  for (int i = 0; i < 16; ++i) head.u8(0);  // created, modified
  head.u16(0);
  head.u16(0);
  head.u16(1000);
  head.u16(1000);  // bbox
  head.u16(1);
  head.u16(8);
  head.u16(2);
  head.u16(0);
  head.u16(0);  // macStyle bold, ..., short loca
  tables.push_back({"head", head.b});
  Out maxp;
  maxp.u32(0x00005000);
  maxp.u16(4);
  tables.push_back({"maxp", maxp.b});
  Out hhea;
  hhea.u32(0x00010000);
  hhea.u16(1800);
  hhea.u16(-400 & 0xFFFF);
  hhea.u16(100);
  for (int i = 0; i < 11; ++i) hhea.u16(0);
  hhea.u16(0);
  hhea.u16(3);  // metric format, 3 metrics (glyph 3 takes the last)
  tables.push_back({"hhea", hhea.b});
  Out hmtx;
  for (int adv : {500, 1100, 1600}) {
    hmtx.u16(adv);
    hmtx.u16(0);
  }
  tables.push_back({"hmtx", hmtx.b});
  Out cmap;
  cmap.u16(0);
  cmap.u16(1);
  cmap.u16(3);
  cmap.u16(1);
  cmap.u32(12);
  cmap.u16(4);
  cmap.u16(16 + 2 * 4 * 2);
  cmap.u16(0);
  cmap.u16(4);
  cmap.u16(4);
  cmap.u16(1);
  cmap.u16(0);  // 2 segments
  cmap.u16('C');
  cmap.u16(0xFFFF);
  cmap.u16(0);  // ends, pad
  cmap.u16('A');
  cmap.u16(0xFFFF);  // starts
  cmap.u16((1 - 'A') & 0xFFFF);
  cmap.u16(1);  // deltas
  cmap.u16(0);
  cmap.u16(0);  // range offsets
  tables.push_back({"cmap", cmap.b});
  Out glyf;
  std::vector<int> loca = {0, 0};
  // The square: one contour, four on-curve points, 16-bit deltas.
  glyf.u16(1);
  glyf.u16(0);
  glyf.u16(0);
  glyf.u16(1000);
  glyf.u16(1000);
  glyf.u16(3);
  glyf.u16(0);
  for (int i = 0; i < 4; ++i) glyf.u8(1);
  for (int dx : {0, 0, 1000, 0}) glyf.u16(dx & 0xFFFF);
  for (int dy : {0, 1000, 0, -1000}) glyf.u16(dy & 0xFFFF);
  glyf.pad();
  loca.push_back(int(glyf.b.size()));
  // The composite: words, x/y offsets, one part.
  glyf.u16(-1 & 0xFFFF);
  glyf.u16(0);
  glyf.u16(0);
  glyf.u16(0);
  glyf.u16(0);
  glyf.u16(0x0003);
  glyf.u16(compositeOfItself ? 2 : 1);
  glyf.u16(500);
  glyf.u16(-200 & 0xFFFF);
  glyf.pad();
  loca.push_back(int(glyf.b.size()));
  // Four off-curve points around (0..200, 0..200), 8-bit deltas.
  glyf.u16(1);
  glyf.u16(0);
  glyf.u16(0);
  glyf.u16(200);
  glyf.u16(200);
  glyf.u16(3);
  glyf.u16(0);
  // A diamond: x +100 -100 +100 +100, y +0 +100 +100 -100 (0x10 / 0x20: the delta is positive).
  glyf.u8(0x36);
  glyf.u8(0x26);
  glyf.u8(0x36);
  glyf.u8(0x16);
  for (int i = 0; i < 4; ++i) glyf.u8(100);
  for (int dy : {0, 100, 100, 100}) glyf.u8(dy);
  glyf.pad();
  loca.push_back(int(glyf.b.size()));
  tables.push_back({"glyf", glyf.b});
  Out locaTable;
  for (int o : loca) locaTable.u16(o / 2);
  tables.push_back({"loca", locaTable.b});
  Out name;
  const std::string family = "Test Face";
  name.u16(0);
  name.u16(1);
  name.u16(6 + 12);
  name.u16(3);
  name.u16(1);
  name.u16(0x409);
  name.u16(1);
  name.u16(int(2 * family.size()));
  name.u16(0);
  for (char c : family) name.u16(c);
  tables.push_back({"name", name.b});

  Out font;
  font.u32(0x00010000);
  font.u16(int(tables.size()));
  font.u16(0);
  font.u16(0);
  font.u16(0);
  uint32_t offset = uint32_t(12 + 16 * tables.size());
  for (auto& [t, data] : tables) {
    font.tag(t.c_str());
    font.u32(0);
    font.u32(offset);
    font.u32(uint32_t(data.size()));
    offset += uint32_t((data.size() + 3) / 4 * 4);
  }
  for (auto& [t, data] : tables) {
    font.b.insert(font.b.end(), data.begin(), data.end());
    font.pad();
  }
  return font.b;
}

TEST(TrueType, ReadsFamilyStyleMetricsAndTheCharacterMap) {
  auto font = TrueTypeFont::parse(testFont());
  ASSERT_TRUE(font);
  EXPECT_EQ(font->family(), "Test Face");
  EXPECT_TRUE(font->bold());
  EXPECT_FALSE(font->italic());
  EXPECT_EQ(font->unitsPerEm(), 2048);
  EXPECT_EQ(font->ascent(), 1800);
  EXPECT_EQ(font->descent(), 400);
  EXPECT_EQ(font->lineGap(), 100);
  EXPECT_EQ(font->glyphIndex(U'A'), 1u);
  EXPECT_EQ(font->glyphIndex(U'B'), 2u);
  EXPECT_EQ(font->glyphIndex(U'C'), 3u);
  EXPECT_EQ(font->glyphIndex(U'D'), 0u);
  EXPECT_EQ(font->glyphIndex(U'@'), 0u);
  EXPECT_EQ(font->glyphIndex(U'\U0001F600'), 0u);
  EXPECT_EQ(font->advance(1), 1100);
  EXPECT_EQ(font->advance(3), 1600);  // past the metrics: the last advance
  EXPECT_EQ(TrueTypeFont::fontsIn(testFont()), 1u);
  EXPECT_FALSE(TrueTypeFont::parse(testFont(), 1));
}

TEST(TrueType, OutlinesOfSimpleAndCompositeGlyphs) {
  auto font = TrueTypeFont::parse(testFont());
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->outline(0).empty());
  const auto square = font->outline(1);
  ASSERT_EQ(square.size(), 1u);
  ASSERT_EQ(square[0].size(), 4u);
  const int want[4][2] = {{0, 0}, {0, 1000}, {1000, 1000}, {1000, 0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(square[0][i].x, want[i][0]);
    EXPECT_EQ(square[0][i].y, want[i][1]);
    EXPECT_TRUE(square[0][i].onCurve);
  }
  const auto moved = font->outline(2);
  ASSERT_EQ(moved.size(), 1u);
  ASSERT_EQ(moved[0].size(), 4u);
  EXPECT_EQ(moved[0][2].x, 1500);
  EXPECT_EQ(moved[0][2].y, 800);
  const auto round = font->outline(3);
  ASSERT_EQ(round.size(), 1u);
  ASSERT_EQ(round[0].size(), 4u);
  const int corners[4][2] = {{100, 0}, {0, 100}, {100, 200}, {200, 100}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(round[0][i].x, corners[i][0]) << i;
    EXPECT_EQ(round[0][i].y, corners[i][1]) << i;
    EXPECT_FALSE(round[0][i].onCurve);
  }
}

TEST(TrueType, AGlyphThatHoldsItselfEndsInsteadOfRecursing) {
  auto font = TrueTypeFont::parse(testFont(true));
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->outline(2).empty());
}

TEST(TrueType, GlyphShapesFlipYAndScaleWithCurvesThroughImpliedPoints) {
  auto font = TrueTypeFont::parse(testFont());
  ASSERT_TRUE(font);
  using Kind = swf::ShapeRecord::Kind;
  const swf::Shape square = glyphShape(font->outline(1), 2.0);
  ASSERT_EQ(square.styleTables.size(), 1u);
  ASSERT_EQ(square.styleTables[0].fills.size(), 1u);
  ASSERT_EQ(square.records.size(), 5u);
  EXPECT_TRUE(square.records[0].hasMove);
  EXPECT_EQ(square.records[0].fill0, 1u);
  const int path[5][2] = {{0, 0}, {0, -2000}, {2000, -2000}, {2000, 0}, {0, 0}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(square.records[i].x, path[i][0]) << i;
    EXPECT_EQ(square.records[i].y, path[i][1]) << i;
    if (i) {
      EXPECT_EQ(square.records[i].kind, Kind::StraightEdge);
    }
  }
  // Only off-curve points: four curves between the midpoints, closing where they began.
  const swf::Shape round = glyphShape(font->outline(3), 1.0);
  ASSERT_EQ(round.records.size(), 5u);
  EXPECT_EQ(round.records[0].x, 50);
  EXPECT_EQ(round.records[0].y, -50);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(round.records[i].kind, Kind::CurvedEdge);
  EXPECT_EQ(round.records[1].cx, 0);
  EXPECT_EQ(round.records[1].cy, -100);
  EXPECT_EQ(round.records[1].x, 50);
  EXPECT_EQ(round.records[1].y, -150);
  EXPECT_EQ(round.records[4].x, 50);
  EXPECT_EQ(round.records[4].y, -50);
}

// Every prefix and thousands of scrambled copies: read, looked up and outlined,
// each either refused or answered within the font's own bounds.
TEST(TrueType, CutAndScrambledFontsAreReadWithoutHarm) {
  const std::vector<uint8_t> good = testFont();
  auto exercise = [](std::vector<uint8_t> data) {
    auto font = TrueTypeFont::parse(std::move(data));
    if (!font) return;
    for (char32_t c : {U'A', U'B', U'C', U'Z', U'\xE9', U'\U00010000'}) {
      const uint32_t g = font->glyphIndex(c);
      EXPECT_LT(g, font->glyphCount());
      (void)font->advance(g);
      size_t points = 0;
      for (const Contour& contour : font->outline(g)) points += contour.size();
      EXPECT_LE(points, size_t(1) << 16);
      (void)glyphShape(font->outline(g), 10.0);
    }
  };
  for (size_t n = 0; n < good.size(); ++n) exercise({good.begin(), good.begin() + long(n)});
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bad = good;
    for (int k = 0; k < 1 + round % 6; ++k) bad[next() % bad.size()] = uint8_t(next() >> 24);
    exercise(std::move(bad));
  }
}

}  // namespace
}  // namespace orv::movie::font
