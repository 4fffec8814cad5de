// ActionScript 3 text fields on the player: TextField and TextFormat through scripts, the
// fields the timeline places, static text, and the player's errors for misuse.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../abc/abc_writer.h"
#include "movie/avm2_host/movie_scripts.h"
#include "movie/player.h"

namespace orv::movie {
namespace {

namespace op = test::op;
using test::Code;
using Lines = std::vector<std::string>;

// A document class Doc whose constructor runs what the test writes; local 1 holds a new
// TextField unless the test stores something else there.
struct TextScript {
  test::AbcBuilder abc;
  Code c;
  uint32_t text = abc.packageNs("flash.text");

  TextScript() {
    c.op(op::getlocal0).op(op::pushscope).op(op::getlocal0).op(op::constructsuper, 0);
    make("TextField", 0).c.op(op::setlocal, 1);
  }
  uint32_t pub(const std::string& n) { return abc.qname(n); }
  // Pushes new flash.text.`cls`(what `args` pushes: `argc` values).
  template <typename F>
  TextScript& makeWith(const std::string& cls, uint32_t argc, F args) {
    uint32_t q = abc.qname(text, cls);
    c.op(op::findpropstrict, q);
    args();
    c.op(op::constructprop, q, argc);
    return *this;
  }
  TextScript& make(const std::string& cls, uint32_t) {
    return makeWith(cls, 0, [] {});
  }
  TextScript& field() {
    c.op(op::getlocal, 1);
    return *this;
  }
  TextScript& self() {
    c.op(op::getlocal0);
    return *this;
  }
  TextScript& get(const std::string& n) {
    c.op(op::getproperty, pub(n));
    return *this;
  }
  TextScript& set(const std::string& n) {
    c.op(op::setproperty, pub(n));
    return *this;
  }
  TextScript& num(int v) {
    c.pushbyte(static_cast<int8_t>(v));
    return *this;
  }
  TextScript& str(const std::string& s) {
    c.op(op::pushstring, abc.string(s));
    return *this;
  }
  TextScript& yes() {
    c.op(op::pushtrue);
    return *this;
  }
  TextScript& call(const std::string& n, uint32_t argc) {
    c.op(op::callproperty, pub(n), argc);
    return *this;
  }
  TextScript& callVoid(const std::string& n, uint32_t argc) {
    c.op(op::callpropvoid, pub(n), argc);
    return *this;
  }
  template <typename F>
  TextScript& trace(F value) {
    c.op(op::findpropstrict, pub("trace"));
    value();
    c.op(op::callpropvoid, pub("trace"), 1);
    return *this;
  }
  std::vector<uint8_t> abcBytes() {
    c.op(op::returnvoid);
    uint32_t display = abc.packageNs("flash.display");
    uint32_t movieClip = abc.qname(display, "MovieClip");
    uint32_t q = abc.qname("Doc");
    uint32_t iinit = abc.method();
    abc.body(iinit, c, {.maxStack = 8, .localCount = 8});
    abc.defineClass({.name = q, .superName = movieClip, .iinit = iinit, .cinit = abc.emptyMethod()});
    Code init;
    init.op(op::getlocal0).op(op::pushscope);
    init.op(op::getscopeobject, 0).op(op::getlex, movieClip).op(op::newclass, 0);
    init.op(op::initproperty, q).op(op::returnvoid);
    uint32_t script = abc.method();
    abc.body(script, init, {.maxStack = 4});
    abc.script(script, {abc.classTrait(q, 0)});
    return abc.bytes();
  }
};

struct Played {
  Lines lines;
  Lines errors;
};

Played play(const std::vector<uint8_t>& swf) {
  Played r;
  Player player;
  player.setTraceSink([&](const std::string& l) { r.lines.push_back(l); });
  EXPECT_TRUE(player.loadBytes(swf));
  player.start();
  if (player.as3Scripts()) r.errors = player.as3Scripts()->errors();
  return r;
}

Played run(TextScript& s) { return play(test::as3Movie(s.abcBytes(), "Doc")); }

TEST(Avm2TextField, TextIsEditedAndSplitIntoLines) {
  TextScript s;
  s.field().str("one\ntwo\r\nfour").set("text");
  s.trace([&] { s.field().get("text"); });
  s.trace([&] { s.field().get("length"); });
  s.trace([&] { s.field().get("numLines"); });
  s.trace([&] { s.field().num(3).call("getLineText", 1); });
  s.trace([&] { s.field().num(3).call("getLineOffset", 1); });
  s.trace([&] { s.field().num(0).call("getLineLength", 1); });
  s.trace([&] { s.field().num(9).call("getLineIndexOfChar", 1); });
  s.trace([&] { s.field().num(5).call("getFirstCharInParagraph", 1); });
  s.trace([&] { s.field().num(5).call("getParagraphLength", 1); });
  s.trace([&] { s.field().num(40).call("getParagraphLength", 1); });
  s.field().str("!").callVoid("appendText", 1);
  s.field().num(0).num(3).str("1").callVoid("replaceText", 3);
  s.trace([&] { s.field().get("text"); });
  s.field().num(1).num(2).callVoid("setSelection", 2);
  s.trace([&] { s.field().get("selectedText"); });
  s.field().str("XY").callVoid("replaceSelectedText", 1);
  s.trace([&] { s.field().get("text"); });
  s.trace([&] { s.field().get("caretIndex"); });
  Played r = run(s);
  EXPECT_EQ(r.lines, (Lines{"one\rtwo\r\rfour", "13", "4", "four", "9", "4", "3", "4", "4", "-1",
                            "1\rtwo\r\rfour!", "\r", "1XYtwo\r\rfour!", "3"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2TextField, HtmlParagraphsBreakOnlyMultilineFields) {
  TextScript s;
  s.field().str("<p>a</p><p>b<br>c</p>").set("htmlText");
  s.trace([&] { s.field().get("text"); });
  s.field().yes().set("multiline");
  s.field().str("<p>a</p><p>b<br>c</p>").set("htmlText");
  s.trace([&] { s.field().get("text"); });
  // A paragraph's end takes the format of the last font opened in it.
  s.field().str("<p><font face='Arial'><b>x</b></font></p>").set("htmlText");
  s.trace([&] { s.field().num(1).num(2).call("getTextFormat", 2).get("font"); });
  s.trace([&] { s.field().num(1).num(2).call("getTextFormat", 2).get("bold"); });
  s.field().str("<b>x</b>").set("text");  // plain text keeps its markup characters
  s.trace([&] { s.field().get("htmlText"); });
  Played r = run(s);
  EXPECT_EQ(r.lines, (Lines{"abc", "a\rb\rc\r", "Arial", "false",
                            "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" "
                            "COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">&lt;b&gt;x&lt;/b&gt;"
                            "</FONT></P>"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2TextField, FormatsApplyToRangesAndReadMixedAsNull) {
  TextScript s;
  s.field().str("abcd").set("text");
  s.makeWith("TextFormat", 2, [&] { s.str("Arial").num(20); }).c.op(op::setlocal, 5);
  s.field().c.op(op::getlocal, 5);
  s.num(1).num(3).callVoid("setTextFormat", 3);
  s.trace([&] { s.field().num(1).num(3).call("getTextFormat", 2).get("font"); });
  s.trace([&] { s.field().num(0).num(4).call("getTextFormat", 2).get("size"); });
  s.trace([&] { s.field().num(0).num(1).call("getTextFormat", 2).get("size"); });
  s.trace([&] { s.field().call("getTextRuns", 0).get("length"); });
  // An empty font name leaves the font as it is; the default format is a copy.
  s.makeWith("TextFormat", 1, [&] { s.str(""); }).c.op(op::setlocal, 5);
  s.field().c.op(op::getlocal, 5);
  s.num(1).callVoid("setTextFormat", 2);
  s.trace([&] { s.field().num(1).num(2).call("getTextFormat", 2).get("font"); });
  s.field().get("defaultTextFormat").num(30).set("size");
  s.trace([&] { s.field().get("defaultTextFormat").get("size"); });
  s.field().c.op(op::pushint, s.abc.integer(0xFF0000));
  s.set("textColor");
  s.trace([&] { s.field().num(2).num(3).call("getTextFormat", 2).get("color"); });
  Played r = run(s);
  EXPECT_EQ(r.lines, (Lines{"Arial", "null", "12", "3", "Arial", "12", "16711680"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2TextField, FormatPropertiesTakeThePlayersNumbers) {
  TextScript s;
  s.make("TextFormat", 0).c.op(op::setlocal, 5);
  auto setGet = [&](const std::string& prop, double v) {
    s.c.op(op::getlocal, 5).op(op::pushdouble, s.abc.number(v));
    s.set(prop);
    s.trace([&] { s.c.op(op::getlocal, 5); s.get(prop); });
  };
  setGet("size", 2.5);
  setGet("size", 3.5);
  setGet("leading", 1e10);
  setGet("color", 4294967295.0);
  setGet("letterSpacing", 1.25);
  s.trace([&] { s.c.op(op::getlocal, 5); s.get("bold"); });
  s.c.op(op::getlocal, 5);
  s.str("a very long font name that goes on and on past what the player keeps of it");
  s.set("font");
  s.trace([&] { s.c.op(op::getlocal, 5); s.get("font"); });
  Played r = run(s);
  EXPECT_EQ(r.lines, (Lines{"2", "4", "-2147483648", "-1", "1.25", "null",
                            "a very long font name that goes on and on past what the player k"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2TextField, MisuseThrowsThePlayersErrors) {
  struct Case {
    std::function<void(TextScript&)> misuse;
    std::string error;
  };
  const Case cases[] = {
      {[](TextScript& s) { s.field().num(5).callVoid("getLineText", 1); },
       "RangeError: Error #2006: The supplied index is out of bounds."},
      {[](TextScript& s) { s.field().num(0).num(9).callVoid("getTextFormat", 2); },
       "RangeError: Error #2006: The supplied index is out of bounds."},
      {[](TextScript& s) { s.field().str("wide").set("autoSize"); },
       "ArgumentError: Error #2008: Parameter autoSize must be one of the accepted values."},
      {[](TextScript& s) { s.field().str("static").set("type"); },
       "ArgumentError: Error #2008: Parameter type must be one of the accepted values."},
      {[](TextScript& s) { s.field().c.op(op::pushnull); s.set("text"); },
       "TypeError: Error #2007: Parameter text must be non-null."},
      {[](TextScript& s) { s.field().c.op(op::pushnull); s.set("defaultTextFormat"); },
       "TypeError: Error #2007: Parameter format must be non-null."},
      {[](TextScript& s) { s.make("StaticText", 0).c.op(op::pop); },
       "ArgumentError: Error #2012: StaticText$ class cannot be instantiated."},
      {[](TextScript& s) {
         uint32_t font = s.abc.qname(s.text, "Font");
         s.c.op(op::getlex, font).op(op::getlex, font);
         s.callVoid("registerFont", 1);  // Font itself links no embedded font: ignored
         s.c.op(op::getlex, font);
         s.field();
         s.callVoid("registerFont", 1);
       },
       "ArgumentError: Error #1508: The value specified for argument font is invalid."},
  };
  for (const Case& k : cases) {
    TextScript s;
    k.misuse(s);
    Played r = run(s);
    EXPECT_EQ(r.errors, (Lines{k.error}));
  }
}

TEST(Avm2TextField, FieldsAreDisplayObjectsWithABoxOfTheirOwn) {
  TextScript s;
  s.self().field().callVoid("addChild", 1);
  s.trace([&] { s.field().get("parent").self().c.op(op::strictequals); });
  s.trace([&] { s.field().get("width"); });
  s.field().num(50).set("width");
  s.field().str("a b c d e f g h i j").set("text");
  s.field().yes().set("wordWrap");
  s.trace([&] { s.field().get("width"); });
  s.trace([&] { s.field().get("scaleX"); });
  s.trace([&] { s.field().get("numLines"); s.num(1); s.c.op(op::greaterthan); });
  s.field().str("left").set("autoSize");
  s.field().c.op(op::pushfalse);
  s.set("wordWrap");
  s.trace([&] { s.field().get("height"); s.num(40); s.c.op(op::lessthan); });
  s.trace([&] { s.field().get("type"); });
  s.trace([&] { s.field().get("maxScrollV"); });
  Played r = run(s);
  EXPECT_EQ(r.lines, (Lines{"true", "100", "50", "1", "true", "true", "dynamic", "1"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2TextField, TimelineTextBecomesTextFieldAndStaticText) {
  TextScript s;
  s.trace([&] { s.self().num(0).call("getChildAt", 1); });
  s.trace([&] { s.self().num(0).call("getChildAt", 1).get("text"); });
  s.trace([&] { s.self().num(1).call("getChildAt", 1); });
  s.trace([&] { s.self().num(1).call("getChildAt", 1).get("name"); });
  s.trace([&] { s.self().num(1).call("getChildAt", 1).get("text"); });
  s.trace([&] { s.self().num(2).call("getChildAt", 1).get("text"); });  // no font: no text
  const std::vector<uint8_t> abc = s.abcBytes();
  namespace t = test;
  std::vector<uint8_t> tags = t::concat(
      {t::fileAttributes(), t::defineDeviceFont(1, "Arial", "HI"),
       t::defineText(2, {0, 400, 0, 400}, 1, 240, 0, 200, {0, 1}, 100),
       t::defineEditText(3, {0, 2000, 0, 400}, 1, 240, "hello"),
       t::placeObject2({.depth = 1, .character = 2}),
       t::placeObject2({.depth = 2, .character = 3, .name = std::string("greeting")}),
       t::defineText(4, {0, 400, 0, 400}, 9, 240, 0, 200, {0}, 100),
       t::placeObject2({.depth = 3, .character = 4}),
       t::doAbc(abc, "frame1"), t::symbolClass({{0, "Doc"}}), t::showFrame()});
  Played r = play(t::movie(tags, {.version = 10}));
  EXPECT_EQ(r.lines,
            (Lines{"[object StaticText]", "HI", "[object TextField]", "greeting", "hello", "null"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2TextField, FontsWithoutAnEmbeddedFontReadNull) {
  TextScript s;
  uint32_t font = s.abc.qname(s.text, "Font");
  s.trace([&] { s.make("Font", 0).get("fontName"); });
  s.trace([&] { s.make("Font", 0).get("fontType"); });
  s.trace([&] { s.c.op(op::getlex, font).op(op::pushfalse); s.call("enumerateFonts", 1).get("length"); });
  Played r = run(s);
  EXPECT_EQ(r.lines, (Lines{"null", "null", "0"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2TextField, AFieldOnTheStageIsDrawnWithItsBackground) {
  TextScript s;
  s.field().yes().set("background");
  s.field().c.op(op::pushint, s.abc.integer(0xFF0000));
  s.set("backgroundColor");
  s.field().num(20).set("x");
  s.self().field().callVoid("addChild", 1);
  Player player;
  ASSERT_TRUE(player.loadBytes(test::as3Movie(s.abcBytes(), "Doc")));
  player.start();
  Pixmap pm;
  pm.width = 550;  // one pixel per stage pixel
  pm.height = 400;
  player.render(pm, player.stage());
  ASSERT_EQ(pm.pixels.size(), 550u * 400u);
  EXPECT_EQ(pm.pixels[50 * 550 + 60] & 0xFFFFFFu, 0xFF0000u);   // inside the 100 by 100 box
  EXPECT_EQ(pm.pixels[50 * 550 + 10] & 0xFFFFFFu, 0xFFFFFFu);   // left of it
  EXPECT_EQ(pm.pixels[150 * 550 + 60] & 0xFFFFFFu, 0xFFFFFFu);  // below it
}

TEST(Avm2TextField, RenderingSettingsTakeOnlyKnownNamesAndKeepTheirRanges) {
  TextScript s;
  auto setGet = [&](const std::string& prop, auto push) {
    s.field();
    push();
    s.set(prop);
    s.trace([&] { s.field().get(prop); });
  };
  s.trace([&] { s.field().get("antiAliasType"); });
  s.trace([&] { s.field().get("gridFitType"); });
  setGet("antiAliasType", [&] { s.str("advanced"); });
  setGet("antiAliasType", [&] { s.str("blurry"); });  // kept as it was
  setGet("gridFitType", [&] { s.str("subpixel"); });
  setGet("gridFitType", [&] { s.str("blurry"); });  // fitting off
  setGet("sharpness", [&] { s.c.op(op::pushdouble, s.abc.number(1000)); });
  setGet("sharpness", [&] { s.c.op(op::pushdouble, s.abc.number(-12.5)); });
  setGet("thickness", [&] { s.c.op(op::pushdouble, s.abc.number(-300)); });
  setGet("thickness", [&] { s.c.op(op::pushnan); });
  Played r = run(s);
  EXPECT_EQ(r.lines, (Lines{"normal", "pixel", "advanced", "advanced", "subpixel", "none", "400",
                            "-12.5", "-200", "NaN"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2TextField, CharacterBoundariesAndHitsFollowTheLaidOutLines) {
  TextScript s;
  auto box = [&](int at, const std::string& prop) {
    s.field().num(at).call("getCharBoundaries", 1).get(prop);
  };
  s.field().str("ab\ncd\ne\nf\ng\nh\ni").set("text");
  s.field().num(40).set("height");
  s.trace([&] { box(0, "x"); });
  s.trace([&] { box(0, "y"); });
  s.trace([&] { box(0, "x"); box(0, "width"); s.c.op(op::add); box(1, "x"); s.c.op(op::equals); });
  s.trace([&] { box(3, "y"); box(0, "y"); box(0, "height"); s.c.op(op::add); s.c.op(op::greaterequals); });
  s.trace([&] { s.field().num(2).call("getCharBoundaries", 1); });   // a line end
  s.trace([&] { s.field().num(-1).call("getCharBoundaries", 1); });  // outside the text
  s.trace([&] { s.field().num(40).call("getCharBoundaries", 1); });
  s.trace([&] { s.field().num(4).num(5).call("getCharIndexAtPoint", 2); });
  s.trace([&] { s.field().num(4); box(3, "y"); s.num(1); s.c.op(op::add); s.call("getLineIndexAtPoint", 2); });
  s.trace([&] { s.field().num(-5).num(-5).call("getLineIndexAtPoint", 2); });
  s.trace([&] { s.field().num(90).num(5).call("getCharIndexAtPoint", 2); });  // past the text
  // Scrolled: the lines above the field have no box and the first in view starts at the top.
  s.field().num(2).set("scrollV");
  s.trace([&] { s.field().num(0).call("getCharBoundaries", 1); });
  s.trace([&] { box(3, "y"); });
  s.trace([&] { s.field().num(4).num(5).call("getCharIndexAtPoint", 2); });
  Played r = run(s);
  EXPECT_EQ(r.lines, (Lines{"2", "2", "true", "true", "null", "null", "null", "0", "1", "-1", "-1",
                            "null", "2", "3"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

}  // namespace
}  // namespace orv::movie
