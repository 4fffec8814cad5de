// Text in device fonts: drawn with the system's faces (the kinds _sans, _serif and
// _typewriter, families by name, the nearest face of a family's kind when it is missing),
// in script-made fields, in fields as the movie defines them, and as the user types;
// faces other than Times New Roman measure text with their own widths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/font/device_fonts.h"
#include "movie/player.h"
#include "../avm1/script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie {
namespace {

namespace t = orv::movie::test;
using avm1::test::Asm;

constexpr uint8_t kGetVariable = 0x1C, kSetMember = 0x4F, kGetMember = 0x4E, kCallMethod = 0x52,
                  kPop = 0x17, kStop = 0x07;

Asm setField(const char* member, avm1::test::PushItem value) {
  return Asm().push({"f"}).op(kGetVariable).push({member, value}).op(kSetMember);
}

// Field "f" at (10, 10), 180 x 40 pixels, of `type`, then `extra`; traces f.textWidth.
std::vector<uint8_t> fieldMovie(const char* type, const Asm& extra) {
  Asm a;
  a.push({40, 180, 10, 10, 1, "f", 6})
      .push({"_root"})
      .op(kGetVariable)
      .push({"createTextField"})
      .op(kCallMethod)
      .op(kPop);
  a.push({"f"}).push({"_root"}).op(kGetVariable).push({"f"}).op(kGetMember).op(0x1D);
  a.append(setField("type", type)).append(extra);
  a.push({"f"}).op(kGetVariable).push({"textWidth"}).op(kGetMember).trace();
  a.op(kStop);
  return t::movie(t::concat({t::doAction(a.bytes()), t::showFrame()}),
                  {.version = 8, .width = 4000, .height = 2000});
}

Asm htmlText(const std::string& html) {
  // <br> and paragraphs break lines in a multiline field.
  return Asm()
      .append(setField("html", true))
      .append(setField("multiline", true))
      .append(setField("htmlText", html.c_str()));
}

struct Shown {
  Player player;
  std::vector<std::string> traces;
  Pixmap pix;
  explicit Shown(const std::vector<uint8_t>& bytes) {
    player.setTraceSink([this](const std::string& l) { traces.push_back(l); });
    EXPECT_TRUE(player.loadBytes(bytes));
    player.start();
    draw();
  }
  void draw() {
    pix.width = 200;
    pix.height = 100;
    player.render(pix, player.stage());
  }
  // Pixels darker than mid-grey inside [x0, x1) x [y0, y1).
  int dark(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += (pix.pixels[size_t(y) * pix.width + x] & 0xFF) < 128;
    return n;
  }
  int darkOutsideField() const { return dark(0, 0, 200, 100) - dark(10, 10, 190, 50); }
};

TEST(DeviceText, AScriptMadeFieldDrawsItsTextInsideTheField) {
  Shown s(fieldMovie("dynamic", setField("text", "Hello, world")));
  EXPECT_GT(s.dark(10, 10, 190, 50), 60);
  EXPECT_EQ(s.darkOutsideField(), 0);
  // Times New Roman 12 at the top left of the field: the text starts in the gutter
  // and stays on the first line.
  EXPECT_EQ(s.dark(10, 10, 12, 50), 0);
  EXPECT_GT(s.dark(12, 12, 100, 28), 60);
  EXPECT_EQ(s.dark(10, 30, 190, 50), 0);
}

TEST(DeviceText, APasswordFieldShowsAnAsteriskForEachCharacter) {
  Shown password(fieldMovie(
      "input", Asm().append(setField("password", true)).append(setField("text", "secret"))));
  Shown stars(fieldMovie("input", setField("text", "******")));
  Shown plain(fieldMovie("input", setField("text", "secret")));
  EXPECT_GT(password.dark(10, 10, 190, 50), 10);
  EXPECT_EQ(password.pix.pixels, stars.pix.pixels);
  EXPECT_NE(password.pix.pixels, plain.pix.pixels);
  EXPECT_EQ(password.traces, plain.traces);  // measured as what it holds
}

TEST(DeviceText, TextIsCutAtTheFieldsEdges) {
  // A line wider than the field, and a second line half below it.
  Shown s(fieldMovie("dynamic",
                     htmlText("<font size=\"26\">WWWWWWWWWWWWWWWW<br>WWWWWWWWWWWWWWW</font>")));
  EXPECT_GT(s.dark(180, 10, 190, 50), 20);  // up to the right edge
  EXPECT_GT(s.dark(10, 45, 190, 50), 20);   // the second line's top
  EXPECT_EQ(s.darkOutsideField(), 0);
}

TEST(DeviceText, EachKindOfDeviceFontDrawsItsOwnFace) {
  auto picture = [](const char* face) {
    Shown s(fieldMovie(
        "dynamic", htmlText(std::string("<font face=\"") + face + "\">Wide glyphs iii</font>")));
    EXPECT_GT(s.dark(10, 10, 190, 50), 40) << face;
    return s.pix.pixels;
  };
  const auto serif = picture("_serif"), sans = picture("_sans"), mono = picture("_typewriter");
  EXPECT_NE(serif, sans);
  EXPECT_NE(sans, mono);
  EXPECT_NE(serif, mono);
  // A family the system lacks takes the face of its kind.
  EXPECT_EQ(picture("Verdana"), sans);
  EXPECT_EQ(picture("No Such Family"), serif);
}

TEST(DeviceText, FacesOtherThanTimesMeasureWithTheirOwnWidths) {
  auto width = [](const char* face, const char* text) {
    Shown s(fieldMovie("dynamic",
                       htmlText(std::string("<font face=\"") + face + "\">" + text + "</font>")));
    EXPECT_EQ(s.traces.size(), 1u);
    return s.traces.empty() ? 0.0 : std::stod(s.traces[0]);
  };
  // Times New Roman keeps its table: m is 0.778 em, i 0.278 em.
  EXPECT_NEAR(width("Times New Roman", "mmmmmmmmmm"), 93.4, 0.6);
  EXPECT_NEAR(width("_serif", "iiiiiiiiii"), 33.4, 0.6);
  // Arial's measures: m 0.833 em (textWidth cuts the fraction off).
  EXPECT_NEAR(width("_sans", "mmmmmmmmmm"), 99.5, 0.6);
  // A typewriter face: every character as wide as the next.
  EXPECT_NEAR(width("_typewriter", "iiiiiiiiii"), width("_typewriter", "MMMMMMMMMM"), 0.01);
}

TEST(DeviceText, WhatTheUserTypesShowsInTheField) {
  Shown s(fieldMovie("input", Asm()));
  s.player.mouseDown(100 * 20, 30 * 20);
  s.player.mouseUp(100 * 20, 30 * 20);
  s.draw();
  const int caretOnly = s.dark(10, 10, 190, 50);
  EXPECT_LE(caretOnly, 20);
  for (char c : std::string("Typed text")) s.player.keyPress(static_cast<unsigned char>(c));
  s.draw();
  EXPECT_GT(s.dark(10, 10, 190, 50), caretOnly + 50);
  EXPECT_GT(s.dark(40, 10, 190, 50), 10);  // past the first letters
}

// A field as the movie defines it: device font "_sans" named by a font without glyphs.
TEST(DeviceText, AFieldTheMovieDefinesInADeviceFontShowsItsText) {
  auto movieWith = [](const std::string& text) {
    return t::movie(t::concat({t::defineFontName(1, "_sans"),
                               t::defineEditText(2, {200, 200, 3600, 1000}, 1, 240, text),
                               t::placeObject2({.depth = 1, .character = 2}), t::showFrame()}),
                    {.version = 8, .width = 4000, .height = 2000});
  };
  Shown blank(movieWith(""));
  EXPECT_EQ(blank.dark(0, 0, 200, 100), 0);
  Shown s(movieWith("Defined text"));
  EXPECT_GT(s.dark(10, 10, 180, 50), 50);
  EXPECT_EQ(s.darkOutsideField(), 0);
  // It is an input field (not read-only): a click and typing reach it, scripts or none.
  Shown typed(movieWith(""));
  typed.player.mouseDown(50 * 20, 30 * 20);
  typed.player.mouseUp(50 * 20, 30 * 20);
  for (char c : std::string("Typed")) typed.player.keyPress(static_cast<unsigned char>(c));
  typed.draw();
  EXPECT_GT(typed.dark(10, 10, 180, 50), 40);
}

// Static text whose font holds codes but no outlines ("use device fonts").
TEST(DeviceText, StaticTextInADeviceFontIsDrawnByTheSystemsFace) {
  auto movieWith = [](const std::string& fontName) {
    return t::movie(t::concat({t::defineDeviceFont(1, fontName, "Hi there"),
                               t::defineText(2, {0, 0, 4000, 2000}, 1, 480, 200, 800,
                                             {0, 1, 2, 3, 4, 5, 6, 7}, 300),
                               t::placeObject2({.depth = 1, .character = 2}), t::showFrame()}),
                    {.version = 8, .width = 4000, .height = 2000});
  };
  Shown sans(movieWith("_sans"));
  EXPECT_GT(sans.dark(10, 10, 140, 50), 60);
  EXPECT_EQ(sans.dark(0, 50, 200, 100), 0);
  // Each character at its own advance: the eighth starts 7 x 15 px from the first.
  EXPECT_GT(sans.dark(115, 20, 125, 45), 5);
  Shown serif(movieWith("Times New Roman"));
  EXPECT_NE(sans.pix.pixels, serif.pix.pixels);
}

TEST(DeviceFonts, NamesResolveToFacesOfTheirKind) {
  auto& fonts = font::DeviceFonts::shared();
  font::DeviceFace* serif = fonts.face("_serif", false, false);
  font::DeviceFace* sans = fonts.face("_sans", false, false);
  font::DeviceFace* mono = fonts.face("_typewriter", false, false);
  ASSERT_TRUE(serif && sans && mono);
  EXPECT_TRUE(serif->timesMeasures());
  EXPECT_FALSE(sans->timesMeasures());
  EXPECT_NE(sans, mono);
  EXPECT_NEAR(sans->advance(U'm'), 0.833, 0.001);
  EXPECT_NEAR(mono->advance(U'i'), mono->advance(U'W'), 1e-9);
  font::DeviceFace* bold = fonts.face("_sans", true, false);
  ASSERT_TRUE(bold);
  EXPECT_TRUE(bold->def().bold);
  EXPECT_EQ(fonts.face("Helvetica", false, false), sans);
  EXPECT_EQ(font::kindOfFont("Courier New"), font::FontKind::Mono);
  EXPECT_EQ(font::kindOfFont("Georgia"), font::FontKind::Serif);
  EXPECT_EQ(font::kindOfFont("Verdana"), font::FontKind::Sans);
  // Glyphs are made once and kept; a character the face lacks has none.
  const uint32_t a = sans->glyphFor(U'a');
  ASSERT_NE(a, UINT32_MAX);
  EXPECT_EQ(sans->glyphFor(U'a'), a);
  EXPECT_FALSE(sans->def().glyphs[a].records.empty());
  EXPECT_EQ(sans->glyphFor(U'\U0010FFFD'), UINT32_MAX);
  // Glyphs stay where they are as more are made (the renderer keeps them by address).
  const swf::Shape* first = &sans->def().glyphs[a];
  for (char32_t c = 0x20; c < 0x2000; ++c) sans->glyphFor(c);
  EXPECT_EQ(&sans->def().glyphs[a], first);
}

}  // namespace
}  // namespace orv::movie
