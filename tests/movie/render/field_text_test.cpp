// Laying out the live text of a field scripts reach: each character in its own
// format and in the embedded font the format names, line ends and leading,
// wrapping, scrolling, and nothing for device fonts.
#include <gtest/gtest.h>

#include <cmath>

#include "movie/text/edit_text.h"
#include "movie/render/text_layout.h"

namespace orv::movie::render {
namespace {

// A DefineFont2-like font (1024 units an em): 'a' is 800 units wide, 'b' 200,
// ' ' 300; ascent 800, descent 200, its own leading 100.
swf::FontDef testFont(const std::string& name) {
  swf::FontDef f;
  f.version = 2;
  f.name = name;
  f.codes = {'a', 'b', ' '};
  f.glyphs.resize(3);
  f.hasLayout = true;
  f.ascent = 800;
  f.descent = 200;
  f.leading = 100;
  f.advances = {800, 200, 300};
  return f;
}

swf::EditTextDef fieldDef(int widthPx, int heightPx, bool outlines = true) {
  swf::EditTextDef def;
  def.bounds = {0, widthPx * 20, 0, heightPx * 20};
  def.useOutlines = outlines;
  return def;
}

TextFormat sized(const std::string& font, double size) {
  TextFormat f;
  f.font = font;
  f.size = size;
  return f;
}

// A movie embedding the fonts "First" and "Second"; fields find them by name.
struct Fonts {
  swf::Movie movie;
  const swf::FontDef& first;
  const swf::FontDef& second;
  Fonts()
      : movie(withFonts()),
        first(std::get<swf::FontDef>(movie.dictionary.at(1))),
        second(std::get<swf::FontDef>(movie.dictionary.at(2))) {}
  static swf::Movie withFonts() {
    swf::Movie m;
    for (auto [id, name] : {std::pair{1, "First"}, std::pair{2, "Second"}}) {
      swf::FontDef f = testFont(name);
      f.id = swf::CharacterId(id);
      swf::Shape outline;
      outline.records.resize(1);
      f.glyphs.assign(3, outline);
      m.dictionary.emplace(swf::CharacterId(id), std::move(f));
    }
    return m;
  }
  EditTextState& use(EditTextState& field) const {
    field.movie = &movie;
    return field;
  }
};

TEST(FieldText, GlyphsSitOnTheBaselineInsideTheGutterAndLinesStepByAscentDescentAndLeading) {
  Fonts fonts;
  EditTextState field(fieldDef(200, 100), nullptr, true);
  field.newFormat = sized("First", 20);
  field.newFormat.leading = 3;
  field.setText("ab\rba");
  const TextLayout l = layoutFieldText(fonts.use(field));
  ASSERT_EQ(l.glyphs.size(), 4u);
  ASSERT_EQ(l.lines, 2);
  // 20 px is 400 twips: scale 400 / 1024; ascent 312.5 twips, descent 78.125, each
  // cut to whole twips.
  const double scale = 400.0 / 1024;
  EXPECT_DOUBLE_EQ(l.glyphs[0].scale, scale);
  EXPECT_DOUBLE_EQ(l.glyphs[0].x, 40);
  EXPECT_DOUBLE_EQ(l.glyphs[0].y, 40 + 312);
  EXPECT_DOUBLE_EQ(l.glyphs[1].x, 40 + 800 * scale);
  EXPECT_EQ(l.glyphs[1].glyph, 1u);
  // The font's own leading plays no part; the format's does.
  EXPECT_DOUBLE_EQ(l.glyphs[2].y, 40 + 312 + 78 + 3 * 20 + 312);
  EXPECT_DOUBLE_EQ(l.glyphs[2].x, 40);
}

TEST(FieldText, EachCharacterTakesTheFontSizeAndColourOfItsFormat) {
  Fonts fonts;
  EditTextState field(fieldDef(400, 100), nullptr, true);
  field.newFormat = sized("First", 10);
  field.setText("aaa");
  TextFormat big = sized("Second", 40);
  big.color = double(0xFF0000);
  field.setFormat(1, 2, big);
  TextFormat unknown = sized("Nowhere", 10);
  field.setFormat(2, 3, unknown);
  const TextLayout l = layoutFieldText(fonts.use(field));
  ASSERT_EQ(l.glyphs.size(), 2u);  // the third names a font the movie does not embed
  EXPECT_EQ(l.glyphs[0].font, &fonts.first);
  EXPECT_EQ(l.glyphs[0].argb, 0xFF000000u);
  EXPECT_EQ(l.glyphs[1].font, &fonts.second);
  EXPECT_EQ(l.glyphs[1].argb, 0xFFFF0000u);
  EXPECT_DOUBLE_EQ(l.glyphs[1].scale, 800.0 / 1024);
  // The line's baseline sits under its tallest character.
  EXPECT_DOUBLE_EQ(l.glyphs[0].y, 40 + 800 * 800.0 / 1024);
  EXPECT_DOUBLE_EQ(l.glyphs[1].x, 40 + 800 * 200.0 / 1024);
}

TEST(FieldText, WrappingCarriesTheLastWordAndScrollingStartsAtItsLine) {
  Fonts fonts;
  // 1024 units at size 1024/20 px is one twip a unit: 'a' is 800 twips (40 px).
  swf::EditTextDef def = fieldDef(100, 400);
  def.wordWrap = def.multiline = true;
  EditTextState field(def, nullptr, true);
  field.newFormat = sized("First", 51.2);
  field.setText("a a a");  // 40 + 15 + 40 fits in 96 px; the third word wraps
  TextLayout l = layoutFieldText(fonts.use(field));
  ASSERT_EQ(l.lines, 2);
  ASSERT_EQ(l.glyphs.size(), 4u);  // a, space, a; the space at the break is dropped; a
  EXPECT_DOUBLE_EQ(l.glyphs[2].x, 40 + 1100);
  EXPECT_DOUBLE_EQ(l.glyphs[3].x, 40);
  EXPECT_GT(l.glyphs[3].y, l.glyphs[2].y);

  field.scroll = 2;
  l = layoutFieldText(fonts.use(field));
  ASSERT_EQ(l.glyphs.size(), 1u);
  EXPECT_DOUBLE_EQ(l.glyphs[0].y, 40 + 800);  // the second line is now the first shown
}

TEST(FieldText, RightAndCentreAlignmentShareOutTheFreeRoom) {
  Fonts fonts;
  EditTextState field(fieldDef(100, 100), nullptr, true);
  field.newFormat = sized("First", 51.2);  // one twip a font unit
  field.newFormat.align = "right";
  field.setText("a");
  EXPECT_DOUBLE_EQ(layoutFieldText(fonts.use(field)).glyphs.at(0).x, 2000 - 40 - 800);
  field.setFormat(0, 1, [] {
    TextFormat f;
    f.align = "center";
    return f;
  }());
  EXPECT_DOUBLE_EQ(layoutFieldText(fonts.use(field)).glyphs.at(0).x, 40 + (1920 - 800) / 2.0);
}

TEST(FieldText, DeviceFontFieldsAndHostileSizesLayOutSafely) {
  Fonts fonts;
  EditTextState device(fieldDef(100, 100, false), nullptr, true);
  device.newFormat = sized("First", 20);
  device.setText("ab");
  // Without embedded fonts the system's face draws, not the movie's font of that name.
  const TextLayout onDevice = layoutFieldText(fonts.use(device));
  ASSERT_EQ(onDevice.glyphs.size(), 2u);
  for (const PlacedGlyph& g : onDevice.glyphs) EXPECT_NE(g.font->name, "First");

  EditTextState huge(fieldDef(100, 100), nullptr, true);
  huge.newFormat = sized("First", 1e300);
  huge.setText(std::string(5000, '\n') + "ab");
  const TextLayout l = layoutFieldText(fonts.use(huge));
  EXPECT_LE(l.lines, 10000);
  for (const PlacedGlyph& g : l.glyphs) EXPECT_TRUE(std::isfinite(g.x) && std::isfinite(g.y));
}

}  // namespace
}  // namespace orv::movie::render
