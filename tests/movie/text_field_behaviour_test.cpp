// Text field behaviours both script machines share, each as a named case: measures and
// drawing from one layout in the embedded font a format names, heights in whole twips,
// how maxScrollV and textHeight count lines and leading, and the HTML both ways (line
// breaks in multiline fields only, list items, nested FONT runs, TEXTFORMAT attributes).
#include <gtest/gtest.h>

#include "movie/render/text_layout.h"
#include "movie/text/edit_text.h"
#include "movie/text/field_layout.h"

using namespace orv::movie;

namespace {

// A DefineFont3 font "Embedded" (20480 units an em): 'a' half an em, ' ' a quarter;
// ascent 16384 (0.8 em), descent 4096 (0.2 em).
swf::Movie movieWithFont() {
  swf::Movie m;
  swf::FontDef f;
  f.id = 1;
  f.version = 3;
  f.name = "Embedded";
  f.codes = {'a', ' '};
  swf::Shape outline;
  outline.records.resize(1);
  f.glyphs.assign(2, outline);
  f.hasLayout = true;
  f.ascent = 16384;
  f.descent = 4096;
  f.advances = {10240, 5120};
  m.dictionary.emplace(swf::CharacterId(1), std::move(f));
  return m;
}

swf::EditTextDef fieldDef(int widthPx, int heightPx, bool multiline = true) {
  swf::EditTextDef def;
  def.bounds = {0, widthPx * 20, 0, heightPx * 20};
  def.multiline = multiline;
  return def;
}

// A field in the movie's embedded font at `size` pixels with `leading`.
struct EmbeddedField {
  swf::Movie movie = movieWithFont();
  EditTextState field;
  EmbeddedField(int widthPx, int heightPx, double size, double leading = 0)
      : field(fieldDef(widthPx, heightPx), nullptr, true) {
    field.movie = &movie;
    field.embedFonts = true;
    field.newFormat.font = "Embedded";
    field.newFormat.size = size;
    field.newFormat.leading = leading;
  }
};

const std::string kFont =
    "<FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
    "KERNING=\"0\">";

TEST(TextFieldBehaviour, ACreatedFieldMeasuresInTheEmbeddedFontItsFormatNames) {
  EmbeddedField f(400, 100, 20);
  f.field.setText("aaaa");
  EXPECT_DOUBLE_EQ(f.field.textWidth(), 40);  // 4 half-ems of 20 px
  EXPECT_DOUBLE_EQ(f.field.textHeight(), 20);
  // The drawing places the same glyphs the measure counted.
  const auto layout = render::layoutFieldText(f.field);
  ASSERT_EQ(layout.glyphs.size(), 4u);
  EXPECT_EQ(layout.glyphs[0].font, f.movie.get<swf::FontDef>(1));
  EXPECT_DOUBLE_EQ(layout.glyphs[3].x, 40 + 3 * 200);
}

TEST(TextFieldBehaviour, LineAscentAndDescentAreCutToWholeTwips) {
  EmbeddedField f(400, 100, 10.3);  // 0.8 em is 164.8 twips, 0.2 em 41.2
  f.field.setText("a");
  const FieldLines laid = layoutField(f.field);
  EXPECT_DOUBLE_EQ(laid.lines[0].ascent, 164);
  EXPECT_DOUBLE_EQ(laid.lines[0].descent, 41);
}

TEST(TextFieldBehaviour, WrappingMeasuresEachLineWithoutTheSpaceAtTheBreak) {
  EmbeddedField f(44, 100, 20);  // 40 px of room: four 'a's
  f.field.def().wordWrap = true;
  f.field.setText("aa aa aa");
  EXPECT_EQ(f.field.lineCount(), 3);
  EXPECT_DOUBLE_EQ(f.field.textWidth(), 20);
}

TEST(TextFieldBehaviour, TextHeightKeepsTheLeadingOfASingleLineOnly) {
  EmbeddedField f(400, 100, 20, 6);
  f.field.setText("a");
  EXPECT_DOUBLE_EQ(f.field.textHeight(), 26);
  f.field.setText("a\ra");
  EXPECT_DOUBLE_EQ(f.field.textHeight(), 46);  // no leading below the last of several
  f.field.setText("a\ra\r");                   // an empty last line takes no room
  EXPECT_DOUBLE_EQ(f.field.textHeight(), 46);
  EXPECT_EQ(f.field.lineCount(), 3);
}

TEST(TextFieldBehaviour, MaxScrollCountsTheEmptyLastLineOnlyWhenNothingShowsIt) {
  // 20 px of room: one line of 20 px.
  EmbeddedField f(400, 24, 20, 6);
  f.field.setText("a\r");
  EXPECT_EQ(f.field.maxScroll(), 2);  // the view from the first line keeps its leading
  f.field.setText("a\ra\r");
  EXPECT_EQ(f.field.maxScroll(), 2);  // from the second line the empty one fits too
  f.field.setText("a\ra");
  EXPECT_EQ(f.field.maxScroll(), 2);
  EmbeddedField roomy(400, 30, 20, 6);  // 26 px: a line and its leading
  roomy.field.setText("a\r");
  EXPECT_EQ(roomy.field.maxScroll(), 1);
}

TEST(TextFieldBehaviour, HtmlBreaksLinesOnlyInMultilineFields) {
  EditTextState single(fieldDef(100, 20, false), nullptr, true);
  single.setHtmlText("<p>a</p><p>b<br>c</p>");
  EXPECT_EQ(single.text(), "abc");
  EditTextState multi(fieldDef(100, 20), nullptr, true);
  multi.setHtmlText("<p>a</p><p>b<br>c</p>");
  EXPECT_EQ(multi.text(), "a\rb\rc\r");  // each paragraph's end is a character
  // A raw line end in the HTML is one in any field.
  single.setHtmlText("a\nb\n");
  EXPECT_EQ(single.text(), "a\rb\r");
}

TEST(TextFieldBehaviour, ListItemsStartAndEndLinesOfTheirOwn) {
  EditTextState multi(fieldDef(100, 20), nullptr, true);
  multi.setHtmlText(" <li>a</li> <li>b</li> ");
  EXPECT_EQ(multi.text(), " \ra\r \rb\r ");
  EXPECT_EQ(multi.formatOf(2, 3).bullet, std::optional<bool>(true));
}

TEST(TextFieldBehaviour, HtmlTextWritesAParagraphForEachLineEndAndNoneForNoText) {
  EditTextState field(fieldDef(100, 20), nullptr, true);
  field.setText("a\r");
  EXPECT_EQ(field.htmlText(), "<P ALIGN=\"LEFT\">" + kFont + "a</FONT></P>");
  field.setText("\r\r");
  EXPECT_EQ(field.htmlText(), "<P ALIGN=\"LEFT\">" + kFont + "</FONT></P><P ALIGN=\"LEFT\">" +
                                  kFont + "</FONT></P>");
  field.setText("");
  EXPECT_EQ(field.htmlText(), "");
}

TEST(TextFieldBehaviour, HtmlTextNestsFontRunsAndGoesBackToAnOpenOne) {
  EditTextState field(fieldDef(100, 20), nullptr, true);
  field.setHtmlText("a<font color=\"#010101\">b<font size=\"16\">c</font></font>d");
  EXPECT_EQ(field.htmlText(), "<P ALIGN=\"LEFT\">" + kFont +
                                  "a<FONT COLOR=\"#010101\">b<FONT SIZE=\"16\">c</FONT></FONT>"
                                  "d</FONT></P>");
  // Bold and links wrap each run's text inside its FONT, even an empty one.
  field.setHtmlText("<a href=\"u\"><b>x</b></a>");
  EXPECT_EQ(field.htmlText(), "<P ALIGN=\"LEFT\">" + kFont +
                                  "<A HREF=\"u\" TARGET=\"\"><B>x</B></A></FONT></P>");
}

TEST(TextFieldBehaviour, TextFormatTagsCarryOnlyTheAttributesThatAreSet) {
  EditTextState field(fieldDef(100, 20), nullptr, true);
  field.setHtmlText("<textformat leading=\"2\" rightmargin=\"1\" tabstops=\"1,2\">x</textformat>");
  TextFormat tabs;
  tabs.tabStops = std::vector<double>{1, 2};
  field.setFormat(0, 1, tabs);
  EXPECT_EQ(field.htmlText(), "<TEXTFORMAT RIGHTMARGIN=\"1\" LEADING=\"2\" TABSTOPS=\"1,2\">"
                              "<P ALIGN=\"LEFT\">" +
                                  kFont + "x</FONT></P></TEXTFORMAT>");
}

TEST(TextFieldBehaviour, CharacterBoxesComeFromTheLayoutAndItsScrolling) {
  EmbeddedField e(100, 30, 20);  // 'a' 10 pixels wide, lines 20 high
  e.field.setText("aa a\ra\ra");
  FieldLines laid = layoutField(e.field);
  auto box = [&](size_t at) { return charBox(e.field, laid, at); };
  ASSERT_TRUE(box(1));
  EXPECT_DOUBLE_EQ(box(1)->x, 40 + 200);
  EXPECT_DOUBLE_EQ(box(1)->y, 40);
  EXPECT_DOUBLE_EQ(box(1)->width, 200);
  EXPECT_DOUBLE_EQ(box(1)->height, 400);
  EXPECT_DOUBLE_EQ(box(2)->width, 100);  // the space
  EXPECT_FALSE(box(4));                  // a line end
  EXPECT_FALSE(box(99));
  EXPECT_DOUBLE_EQ(box(5)->y, 40 + 400);
  EXPECT_EQ(charAtPoint(e.field, laid, 40 + 250, 50), 1);
  EXPECT_EQ(lineAtPoint(e.field, laid, 50, 40 + 410), 1);
  EXPECT_EQ(lineAtPoint(e.field, laid, 50, 30 * 20 + 1), -1);  // below the field
  EXPECT_EQ(charAtPoint(e.field, laid, 40 + 990, 50), -1);     // right of the text
  e.field.scroll = 2;
  EXPECT_FALSE(box(0));
  EXPECT_DOUBLE_EQ(box(5)->y, 40);
  EXPECT_EQ(lineAtPoint(e.field, laid, 50, 50), 1);
  // A character no embedded font draws has no box.
  e.field.newFormat.font = "Missing";
  e.field.setText("aa");
  e.field.scroll = 1;
  laid = layoutField(e.field);
  EXPECT_FALSE(box(0));
}

TEST(TextFieldBehaviour, JustifiedLinesFillTheirRoomAndListItemsIndent) {
  EmbeddedField e(64, 100, 20);  // 60 pixels of room; 'a' 10 pixels, ' ' 5
  e.field.def().wordWrap = true;
  e.field.newFormat.align = "justify";
  e.field.setText("a a aaaa");
  FieldLines laid = layoutField(e.field);
  ASSERT_EQ(laid.lines.size(), 2u);
  EXPECT_DOUBLE_EQ(laid.lines[0].width, 500);          // the space at the break takes none
  EXPECT_DOUBLE_EQ(charBox(e.field, laid, 1)->width, 800);  // widened by the 700 left over
  EXPECT_DOUBLE_EQ(charBox(e.field, laid, 2)->x, 40 + 1000);
  EXPECT_DOUBLE_EQ(charBox(e.field, laid, 3)->x, 40 + 1200);  // the break's space has a box
  EXPECT_DOUBLE_EQ(charBox(e.field, laid, 4)->x, 40);         // a paragraph's last line is not
  EXPECT_DOUBLE_EQ(charBox(e.field, laid, 5)->x, 40 + 200);

  EmbeddedField item(200, 100, 20);
  item.field.newFormat.bullet = true;
  item.field.setText("a");
  EXPECT_DOUBLE_EQ(charBox(item.field, layoutField(item.field), 0)->x, 40 + 720);
}

TEST(TextFieldBehaviour, RenderingSettingsStartFromTheDefinition) {
  swf::EditTextDef def = fieldDef(100, 30);
  EditTextState plain(def, nullptr, true);
  EXPECT_EQ(plain.antiAliasType, "normal");
  EXPECT_EQ(plain.gridFitType, "pixel");
  def.useFlashType = 1;
  def.gridFit = 2;
  def.thickness = -3.5f;
  def.sharpness = 100;
  EditTextState set(def, nullptr, true);
  EXPECT_EQ(set.antiAliasType, "advanced");
  EXPECT_EQ(set.gridFitType, "subpixel");
  EXPECT_DOUBLE_EQ(set.thickness, -3.5);
  EXPECT_DOUBLE_EQ(set.sharpness, 100);
  def.gridFit = 0;
  EXPECT_EQ(EditTextState(def, nullptr, true).gridFitType, "none");
  def.gridFit = 7;  // not a mode: fitted to pixels
  EXPECT_EQ(EditTextState(def, nullptr, true).gridFitType, "pixel");
}

}  // namespace
