// The edit text model: text and line ends, the HTML subset both ways, formats over
// ranges, measurement with an embedded font's advances and with the device metric.
#include <gtest/gtest.h>

#include "movie/text/char_restrict.h"
#include "movie/text/edit_text.h"

using namespace orv::movie;

namespace {

swf::EditTextDef fieldDef(int widthPx, int heightPx) {
  swf::EditTextDef def;
  def.bounds = {0, widthPx * 20, 0, heightPx * 20};
  return def;
}

TEST(EditText, PlainTextKeepsCarriageReturnsAndCountsCharacters) {
  EditTextState field(fieldDef(100, 20), nullptr, true);
  field.setText("a\nb\r\nc\xC3\xA9");
  EXPECT_EQ(field.text(), "a\rb\rc\xC3\xA9");
  EXPECT_EQ(field.chars().size(), 6u);
  EXPECT_EQ(field.lineCount(), 3);
  // SWF 5 strings are bytes: the two bytes of é are two characters.
  EditTextState old(fieldDef(100, 20), nullptr, false);
  old.setText("c\xC3\xA9");
  EXPECT_EQ(old.chars().size(), 3u);
  EXPECT_EQ(old.text(), "c\xC3\xA9");
}

TEST(EditText, HtmlIsReadIntoFormatsAndWrittenBackInFlashsForm) {
  swf::EditTextDef def = fieldDef(100, 20);
  def.multiline = true;  // where paragraphs and <br> break lines
  EditTextState field(def, nullptr, true);
  field.setHtmlText(
      "<p align='center'>x<b>bold</b> &amp; <font color=\"#00ff00\" "
      "size=\"+2\">green</font></p><p>2nd<br>3rd</p>");
  EXPECT_EQ(field.text(), "xbold & green\r2nd\r3rd\r");
  EXPECT_EQ(field.formatOf(1, 5).bold, std::optional<bool>(true));
  EXPECT_EQ(field.formatOf(0, 5).bold, std::nullopt);  // mixed over the range
  EXPECT_EQ(field.formatOf(8, 13).color, std::optional<double>(0x00FF00));
  EXPECT_EQ(field.formatOf(8, 13).size, std::optional<double>(14));
  EXPECT_EQ(field.formatOf(0, 1).align, std::optional<std::string>("center"));
  EXPECT_EQ(field.formatOf(14, 15).align, std::optional<std::string>("left"));

  const std::string html = field.htmlText();
  const std::string font =
      "<FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
      "KERNING=\"0\">";
  const std::string start = "<P ALIGN=\"CENTER\">" + font + "x";
  EXPECT_EQ(html.substr(0, start.size()), start);
  // A run in another font opens a FONT of what differs, inside the paragraph's own.
  EXPECT_NE(html.find("x<B>bold</B> &amp; <FONT SIZE=\"14\" COLOR=\"#00FF00\">green</FONT></FONT></P>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("</P><P ALIGN=\"LEFT\">" + font + "2nd</FONT></P><P ALIGN=\"LEFT\">" +
                      font + "3rd</FONT></P>"),
            std::string::npos)
      << html;

  // Plain text written as HTML has its markup escaped; an empty field writes nothing.
  field.setText("<b>");
  EXPECT_EQ(field.htmlText(), "<P ALIGN=\"LEFT\">" + font + "&lt;b&gt;</FONT></P>");
  field.setText("");
  EXPECT_EQ(field.htmlText(), "");
}

TEST(EditText, HtmlColoursKeepTheLastSixHexDigitsAndBrokenMarkupIsText) {
  EditTextState field(fieldDef(100, 20), nullptr, true);
  auto colorOf = [&](const std::string& attr) {
    field.setHtmlText("<font color=\"" + attr + "\">x</font>");
    return field.formatOf(0, 1).color.value_or(-1);
  };
  EXPECT_EQ(colorOf("#0000ff"), 0x0000FF);
  EXPECT_EQ(colorOf("#ff"), 0xFF);
  EXPECT_EQ(colorOf("#ff00ffffee"), 0xFFFFEE);  // as the reference player reads it
  EXPECT_EQ(colorOf("00ff00"), 0);
  EXPECT_EQ(colorOf(""), 0);
  field.setHtmlText("a < b &bogus; &#65;");
  EXPECT_EQ(field.text(), "a < b &bogus; A");
}

TEST(EditText, FormatsApplyToRangesAndParagraphPropertiesToWholeParagraphs) {
  EditTextState field(fieldDef(200, 50), nullptr, true);
  field.setText("one\rtwo");
  TextFormat bold;
  bold.bold = true;
  bold.align = "right";
  field.setFormat(1, 2, bold);
  EXPECT_EQ(field.formatOf(1, 2).bold, std::optional<bool>(true));
  EXPECT_EQ(field.formatOf(0, 1).bold, std::optional<bool>(false));
  EXPECT_EQ(field.formatOf(0, 3).align,
            std::optional<std::string>("right"));                             // the whole paragraph
  EXPECT_EQ(field.formatOf(4, 7).align, std::optional<std::string>("left"));  // not the next one
  // New text takes the new-text format, not its neighbour's.
  field.newFormat.color = 0xFF0000;
  field.replaceText(7, 7, U"!");
  EXPECT_EQ(field.text(), "one\rtwo!");
  EXPECT_EQ(field.formatOf(7, 8).color, std::optional<double>(0xFF0000));
  EXPECT_EQ(field.formatOf(6, 7).color, std::optional<double>(0));
  // Ranges past the end are clamped; an empty range reads the character before it.
  field.replaceText(100, 200, U"?");
  EXPECT_EQ(field.text(), "one\rtwo!?");
  EXPECT_EQ(field.formatOf(9, 9).color, std::optional<double>(0xFF0000));
}

TEST(EditText, EmbeddedFontAdvancesMeasureTheTextAndAutoSizeFollowsIt) {
  swf::FontDef font;
  font.version = 2;
  font.hasLayout = true;
  font.codes = {'a', 'b'};
  font.advances = {512, 1024};  // half an em and a whole em
  font.ascent = 800;
  font.descent = 224;
  font.glyphs.resize(2);
  swf::EditTextDef def = fieldDef(10, 10);
  def.useOutlines = true;
  def.hasFont = true;
  def.fontHeight = 20 * 20;  // 20 px
  EditTextState field(def, &font, true);
  field.setText("abba");
  EXPECT_DOUBLE_EQ(field.textWidth(), 10 + 20 + 20 + 10);
  // Ascent and descent in whole twips, cut off: 312.5 and 87.5 twips at 20 px.
  EXPECT_NEAR(field.textHeight(), (312 + 87) / 20.0, 1e-9);

  field.autoSize = "left";
  field.fitToText();
  EXPECT_EQ(field.def().bounds.xMin, 0);
  EXPECT_EQ(field.def().bounds.xMax, (60 + 4) * 20);
  field.autoSize = "right";
  field.setText("a");
  EXPECT_EQ(field.def().bounds.xMax, (60 + 4) * 20);  // the right edge stays
  EXPECT_EQ(field.def().bounds.xMin, (60 - 10) * 20);
}

TEST(EditText, DeviceTextWrapsAtSpacesAndScrollsByLines) {
  swf::EditTextDef def = fieldDef(60, 40);
  def.wordWrap = def.multiline = true;
  EditTextState field(def, nullptr, true);
  field.setText("aaaa bbbb cccc dddd eeee ffff");
  const int lines = field.lineCount();
  EXPECT_GT(lines, 2);
  for (char32_t c : field.chars()) EXPECT_NE(c, U'\r');  // soft breaks add no characters
  EXPECT_LE(field.textWidth(), 56.0);
  // Two 12 px lines fit in 36 px: the last line shown moves with scroll.
  EXPECT_EQ(field.bottomScroll(), 2);
  EXPECT_EQ(field.maxScroll(), lines - 1);
  field.scroll = 2;
  EXPECT_EQ(field.bottomScroll(), 3);
  // Unwrapped, it is one long line.
  field.def().wordWrap = false;
  EXPECT_EQ(field.lineCount(), 1);
  EXPECT_EQ(field.maxScroll(), 1);
}

TEST(EditText, RestrictListsTakeCharactersRangesAndTheOtherCase) {
  // What each list makes of "abcABC012^\\-* &" typed one character at a time.
  auto typed = [](std::optional<std::string> list) {
    std::string out;
    for (char c : std::string("abcABC012^\\-* &"))
      if (auto t = restrictedChar(list, char32_t(c))) out += char(*t);
    return out;
  };
  EXPECT_EQ(typed(std::nullopt), "abcABC012^\\-* &");
  EXPECT_EQ(typed(""), "");
  EXPECT_EQ(typed("aB*"), "aBaB*");  // a letter left out comes in in its other case
  EXPECT_EQ(typed("A-Z"), "ABCABC");
  EXPECT_EQ(typed("-b"), "abCABC012^\\-* &");  // from the first character
  EXPECT_EQ(typed("b-a"), "bb");                // backwards: only the first
  EXPECT_EQ(typed("a-"), "aa");
  EXPECT_EQ(typed("---"), "");
  EXPECT_EQ(typed("a-b-A"), "abAb012-* &");  // after a range, a dash starts from the first
  EXPECT_EQ(typed("\\\\-\\^"), "^\\");
  EXPECT_EQ(typed("^"), "abcABC012^\\-* &");
  EXPECT_EQ(typed("^\\^"), "abcABC012\\-* &");
  EXPECT_EQ(typed("a^b^c"), "acac");
  EXPECT_EQ(typed("a-zA-Z^bC"), "aBcABc");
  EXPECT_EQ(typed("a\\-z"), "aa-");
  EXPECT_EQ(typed("a\\"), "aa");
  // Only ASCII letters change case.
  EXPECT_FALSE(restrictedChar("\xC4\x84", U'\u0105'));
  EXPECT_EQ(restrictedChar("\xCE\xB1-\xCF\x89", U'\u03B4'), U'\u03B4');
}

TEST(EditText, HostileInputIsBounded) {
  EditTextState field(fieldDef(10, 10), nullptr, true);
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<font size='+1'><b>";
  deep += "x<";
  field.setHtmlText(deep);
  EXPECT_EQ(field.text(), "x<");
  std::string many(EditTextState::kMaxChars + 10, 'z');
  field.setText(many);
  EXPECT_EQ(field.chars().size(), EditTextState::kMaxChars);
  // Every character a different size: the format table stays bounded.
  field.setText(std::string(3000, 'q'));
  for (size_t i = 0; i < 3000; i += 1) {
    TextFormat f;
    f.size = static_cast<double>(i % 2500);
    field.setFormat(i, i + 1, f);
  }
  EXPECT_EQ(field.formatOf(2499, 2500).size, std::optional<double>(2499));
  EXPECT_EQ(field.formatOf(2500, 2501).size, std::optional<double>(0));
}

TEST(EditText, StaticTextIsReadThroughItsFontsCodeTables) {
  swf::Movie movie;
  swf::FontDef font;
  font.codes = {'H', 'i', '!'};
  font.glyphs.resize(3);
  movie.dictionary[1] = font;
  swf::TextDef text;
  swf::TextRecord line;
  line.fontId = 1;
  line.glyphs = {{0, 0}, {1, 0}, {7, 0}, {2, 0}};  // glyph 7 is not in the font
  text.records = {line};
  swf::TextRecord missingFont;
  missingFont.fontId = 9;
  missingFont.glyphs = {{0, 0}};
  text.records.push_back(missingFont);
  EXPECT_EQ(staticTextOf(movie, text), U"Hi!");
}

}  // namespace
