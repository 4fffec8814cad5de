// UTF-8 as the engine writes and reads it (every length, and what is not UTF-8), and
// XML escaping.
#include <gtest/gtest.h>

#include <string>

#include "movie/base/utf8.h"
#include "movie/base/xml.h"

namespace orv::movie::base {
namespace {

std::string utf8Of(uint32_t cp) {
  std::string s;
  appendUtf8(s, cp);
  return s;
}

TEST(Utf8, WritesEachLengthAndReadsItBack) {
  const struct {
    uint32_t cp;
    std::string bytes;
  } cases[] = {
      {0x00, std::string(1, '\0')},
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0xE9, "\xC3\xA9"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x20AC, "\xE2\x82\xAC"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  std::string all;
  std::u32string expected;
  for (const auto& c : cases) {
    EXPECT_EQ(utf8Of(c.cp), c.bytes) << std::hex << c.cp;
    size_t i = 0;
    EXPECT_EQ(decodeUtf8At(c.bytes, i), c.cp) << std::hex << c.cp;
    EXPECT_EQ(i, c.bytes.size());
    all += c.bytes;
    expected.push_back(c.cp);
  }
  EXPECT_EQ(decodeUtf8(all), expected);
}

TEST(Utf8, NumbersThatAreNoCharactersAreWrittenByTheSameRule) {
  EXPECT_EQ(utf8Of(0xD800), "\xED\xA0\x80");  // a lone surrogate, as scripts can make
  EXPECT_EQ(utf8Of(0x110000), "\xF4\x90\x80\x80");
  EXPECT_EQ(utf8Of(0x1FFFFF), "\xF7\xBF\xBF\xBF");
  // Past 21 bits the lead byte keeps only the low bits of what it is given.
  EXPECT_EQ(utf8Of(0x200000), "\xF8\x80\x80\x80");
  // Read back as written while they fit a lead byte.
  EXPECT_EQ(decodeUtf8("\xED\xA0\x80\xF7\xBF\xBF\xBF"), (std::u32string{0xD800, 0x1FFFFF}));
}

TEST(Utf8, BytesThatAreNotAWholeSequenceReadAsLatin1) {
  // A stray continuation byte, and bytes no sequence starts with.
  EXPECT_EQ(decodeUtf8("a\x80z"), (std::u32string{U'a', 0x80, U'z'}));
  EXPECT_EQ(decodeUtf8("\xF8\xFF"), (std::u32string{0xF8, 0xFF}));
  // A lead byte without its continuation bytes: at the end, or before another character.
  EXPECT_EQ(decodeUtf8("\xE2\x82"), (std::u32string{0xE2, 0x82}));
  EXPECT_EQ(decodeUtf8("\xC3"), (std::u32string{0xC3}));
  EXPECT_EQ(decodeUtf8("\xC3"
                       "A"),
            (std::u32string{0xC3, U'A'}));
  EXPECT_EQ(decodeUtf8("\xF0\x9F\x98"
                       "x"),
            (std::u32string{0xF0, 0x9F, 0x98, U'x'}));
  // Over-long forms are taken for what they spell.
  EXPECT_EQ(decodeUtf8(std::string("\xC0\x80", 2)), (std::u32string{0}));
  EXPECT_TRUE(decodeUtf8("").empty());
}

TEST(XmlEscaping, EachMarkupCharacterBecomesItsEntity) {
  EXPECT_EQ(xmlEscaped("<"), "&lt;");
  EXPECT_EQ(xmlEscaped(">"), "&gt;");
  EXPECT_EQ(xmlEscaped("&"), "&amp;");
  EXPECT_EQ(xmlEscaped("\""), "&quot;");
  EXPECT_EQ(xmlEscaped("'"), "&apos;");
  EXPECT_EQ(xmlEscaped("a<b>&amp;\"c\"'d'"), "a&lt;b&gt;&amp;amp;&quot;c&quot;&apos;d&apos;");
  // Everything else, UTF-8 and control bytes included, stays as it is.
  EXPECT_EQ(xmlEscaped("caf\xC3\xA9 \t\r\n;#"), "caf\xC3\xA9 \t\r\n;#");
  EXPECT_EQ(xmlEscaped(""), "");
  std::string out = "<p>";
  appendXmlEscaped(out, "1 < 2");
  EXPECT_EQ(out, "<p>1 &lt; 2");
}

}  // namespace
}  // namespace orv::movie::base
