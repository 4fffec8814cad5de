// The HTML subset at the edges the reference player shows: colour attributes of any
// length and markup with an unquoted attribute value.
#include <gtest/gtest.h>

#include "movie/text/edit_text.h"

namespace orv::movie {
namespace {

swf::EditTextDef fieldOf(int widthPx, int heightPx) {
  swf::EditTextDef def;
  def.bounds = {0, widthPx * 20, 0, heightPx * 20};
  return def;
}

TEST(HtmlText, ColourTakesEveryHexDigitAndKeepsTheLow24Bits) {
  EditTextState field(fieldOf(100, 20), nullptr, true);
  const std::pair<const char*, double> cases[] = {
      {"#ff", 0x0000ff},     {"#ff0", 0x000ff0}, {"#ff00ffffee", 0xffffee},
      {"#ff00gp", 0x00ff00}, {"ff00ff", 0},      {"", 0}};
  for (auto [colour, want] : cases) {
    field.setHtmlText(std::string("<font color=\"") + colour + "\">text</font>");
    EXPECT_EQ(field.text(), "text") << colour;
    EXPECT_EQ(field.formatOf(1, 4).color, std::optional<double>(want)) << colour;
  }
}

TEST(HtmlText, AnUnquotedAttributeValueDropsTheRest) {
  EditTextState field(fieldOf(100, 20), nullptr, true);
  field.setHtmlText("<font color=#00FF00>green2</font>");
  EXPECT_EQ(field.text(), "");
  field.setHtmlText("kept <font color=#00FF00>dropped</font>");
  EXPECT_EQ(field.text(), "kept ");
}

}  // namespace
}  // namespace orv::movie
