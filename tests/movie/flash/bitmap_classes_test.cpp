// BitmapData and Bitmap as ActionScript 3 movies use them: pixels kept and read back in
// the player's precision, a Bitmap on the stage drawn from its data as it changes, drawing
// display objects into pixels with blend modes, pixels as bytes, linked bitmap classes,
// and the player's errors for misuse (never a crash).
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "doc_script.h"

namespace orv::movie {
namespace {

using Lines = std::vector<std::string>;

struct BitmapScript : DocScript {
  uint32_t geom = abc.packageNs("flash.geom");
  // The pushes this file chains into its own steps.
  BitmapScript& local(uint32_t r) { return DocScript::local(r), *this; }
  BitmapScript& num(int v) { return DocScript::num(v), *this; }
  BitmapScript& str(const std::string& v) { return DocScript::str(v), *this; }
  BitmapScript& uint(uint32_t v) {
    c.op(op::pushuint, abc.uinteger(v));
    return *this;
  }
  // new flash.display.`cls`(the `argc` values pushed before).
  BitmapScript& makeWith(const std::string& cls, uint32_t argc, bool geometry = false) {
    uint32_t q = abc.qname(geometry ? geom : display, cls);
    c.op(op::constructprop, q, argc);
    return *this;
  }
  BitmapScript& find(const std::string& cls, bool geometry = false) {
    c.op(op::findpropstrict, abc.qname(geometry ? geom : display, cls));
    return *this;
  }
  // new Rectangle(x, y, w, h)
  BitmapScript& rect(int x, int y, int w, int h) {
    find("Rectangle", true).num(x).num(y).num(w).num(h);
    return makeWith("Rectangle", 4, true);
  }
  BitmapScript& point(int x, int y) {
    find("Point", true).num(x).num(y);
    return makeWith("Point", 2, true);
  }
  // new BitmapData(w, h, transparent, fill) into register `r`.
  BitmapScript& data(uint32_t r, int w, int h, bool transparent, uint32_t fill) {
    find("BitmapData").num(w).num(h);
    c.op(transparent ? op::pushtrue : op::pushfalse);
    uint(fill).makeWith("BitmapData", 4).store(r);
    return *this;
  }
  BitmapScript& pixel32(uint32_t r, int x, int y) {
    local(r).num(x).num(y).call("getPixel32", 2);
    return *this;
  }
};

uint32_t at(const Pixmap& p, int x, int y) { return p.pixels[size_t(y) * p.width + x]; }

TEST(Avm2Bitmaps, BitmapDataKeepsItsPixelsInThePlayersPrecision) {
  BitmapScript s;
  s.data(1, 4, 3, true, 0x80FF0000);
  s.trace([&] { s.local(1).get("width"); });
  s.trace([&] { s.local(1).get("height"); });
  s.trace([&] { s.local(1).get("transparent"); });
  s.trace([&] { s.local(1).get("rect"); });
  s.trace([&] { s.pixel32(1, 0, 0); });
  // Alpha 7 keeps few levels: 0xA4 comes back as 0xB6, as the player gives it.
  s.local(1).num(1).num(1).uint(0x07A4A4A4).callVoid("setPixel32", 3);
  s.trace([&] { s.pixel32(1, 1, 1); });
  s.trace([&] { s.pixel32(1, 9, 9); });  // outside: 0
  // An opaque image keeps every alpha at 0xFF.
  s.data(2, 2, 2, false, 0x00123456);
  s.trace([&] { s.pixel32(2, 0, 0); });
  // Only a match in the first column: the player gives it no width.
  s.local(1).rect(0, 0, 4, 3).uint(0xFFFFFFFF).callVoid("fillRect", 2);
  s.local(1).num(0).num(1).uint(0xFF00FF00).callVoid("setPixel32", 3);
  s.trace([&] { s.local(1).uint(0xFFFFFFFF).uint(0xFFFFFFFF).c.op(op::pushfalse); s.call("getColorBoundsRect", 3); });
  s.local(1).callVoid("dispose", 0);
  s.trace([&] { s.local(1).get("width"); });
  Played r = play(test::as3Movie(s.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"4", "3", "true", "(x=0, y=0, w=4, h=3)", "2164195328", "129414838",
                            "0", "4279383126", "(x=0, y=1, w=0, h=1)"}));
  EXPECT_EQ(r.errors, (Lines{"ArgumentError: Error #2015: Invalid BitmapData."}));
}

TEST(Avm2Bitmaps, ABitmapOnTheStageShowsItsDataAsItChanges) {
  BitmapScript s;
  s.data(1, 10, 10, false, 0xFF0000);
  s.find("Bitmap").local(1).makeWith("Bitmap", 1).store(2);
  s.local(2).num(20).set("x");
  s.self().local(2).callVoid("addChild", 1);
  s.trace([&] { s.local(2).get("width"); });
  s.trace([&] { s.local(2).get("bitmapData").local(1).c.op(op::strictequals); });
  // Changed after it was shown: the next frame draws the change.
  s.local(1).rect(0, 0, 5, 10).uint(0x0000FF).callVoid("fillRect", 2);
  Player player;
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& l) { lines.push_back(l); });
  ASSERT_TRUE(player.loadBytes(test::as3Movie(s.abcBytes(), "Doc")));
  player.start();
  EXPECT_EQ(lines, (Lines{"10", "true"}));
  Pixmap pm;
  pm.width = 550;  // one pixel per stage pixel
  pm.height = 400;
  player.render(pm, player.stage());
  ASSERT_EQ(pm.pixels.size(), 550u * 400u);
  EXPECT_EQ(at(pm, 22, 5) & 0xFFFFFFu, 0x0000FFu);
  EXPECT_EQ(at(pm, 27, 5) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(at(pm, 10, 5) & 0xFFFFFFu, 0xFFFFFFu);  // left of it: the stage
  EXPECT_EQ(at(pm, 25, 12) & 0xFFFFFFu, 0xFFFFFFu);  // below it
}

TEST(Avm2Bitmaps, DrawPutsDisplayObjectsIntoPixelsWithTheirBlendMode) {
  BitmapScript s;
  s.make("Shape").store(3);
  s.local(3).get("graphics").num(0).callVoid("beginFill", 1);
  s.local(3).get("graphics").num(0).num(0).num(2).num(2).callVoid("drawRect", 4);
  s.data(1, 4, 4, true, 0xFF00FF00);
  s.local(1).local(3).c.op(op::pushnull).op(op::pushnull);
  s.str("erase").callVoid("draw", 4);
  s.trace([&] { s.pixel32(1, 0, 0); });  // cut out
  s.trace([&] { s.pixel32(1, 3, 3); });  // kept
  // Drawn normally, through a matrix that moves it.
  s.data(2, 4, 4, true, 0);
  s.local(2).local(3);
  s.find("Matrix", true).num(1).num(0).num(0).num(1).num(2).num(2).makeWith("Matrix", 6, true);
  s.callVoid("draw", 2);
  s.trace([&] { s.pixel32(2, 0, 0); });
  s.trace([&] { s.pixel32(2, 3, 3); });
  // Pixels into pixels: alpha and erase need a display object's layer.
  s.local(2).local(1).c.op(op::pushnull).op(op::pushnull);
  s.str("alpha").callVoid("draw", 4);
  s.trace([&] { s.pixel32(2, 3, 3); });
  Played r = play(test::as3Movie(s.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"0", "4278255360", "0", "4278190080", "4278190080"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2Bitmaps, PixelsGoOutAsBytesAndComeBackUntilTheBytesEnd) {
  BitmapScript s;
  s.data(1, 2, 2, true, 0x11223344);
  s.local(1).rect(0, 0, 2, 2).call("getPixels", 1).store(2);
  s.trace([&] { s.local(2).get("length"); });
  s.trace([&] { s.local(2).get("position"); });
  s.local(2).num(1).set("position");  // the second byte on: three whole pixels left
  s.data(3, 2, 2, false, 0);
  s.trace([&] { s.local(3).rect(-1, -1, 2, 2).call("getVector", 1).get("length"); });
  s.local(3).rect(0, 0, 2, 2).local(2).callVoid("setPixels", 2);
  Played r = play(test::as3Movie(s.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"16", "16", "1"}));
  EXPECT_EQ(r.errors, (Lines{"Error: Error #2030: End of file was encountered."}));
}

// A DefineBitsLossless2 of 2 by 1 pixels: opaque red, half-transparent blue.
std::vector<uint8_t> linkedBitmap(uint16_t id) {
  const std::vector<uint8_t> argb = {0xFF, 0xFF, 0, 0, 0x80, 0, 0, 0x80};
  uLongf size = compressBound(uLong(argb.size()));
  std::vector<uint8_t> z(size);
  compress2(z.data(), &size, argb.data(), uLong(argb.size()), 9);
  std::vector<uint8_t> body = {uint8_t(id), uint8_t(id >> 8), 5, 2, 0, 1, 0};
  body.insert(body.end(), z.begin(), z.begin() + long(size));
  return test::tag(36, body, true);
}

TEST(Avm2Bitmaps, ALinkedClassTakesItsBitmapCharactersPixels) {
  for (const std::string base : {"BitmapData", "Bitmap"}) {
    BitmapScript s;
    s.c.op(op::findpropstrict, s.pub("Pic"));
    s.c.op(op::constructprop, s.pub("Pic"), 0);
    s.store(1);
    if (base == "Bitmap") s.local(1).get("bitmapData").store(1);
    s.trace([&] { s.local(1).get("width"); });
    s.trace([&] { s.local(1).get("transparent"); });
    s.trace([&] { s.pixel32(1, 0, 0); });
    const auto tags = test::concat({test::fileAttributes(), linkedBitmap(5),
                                    test::doAbc(s.abcBytes({"Pic"}, base), "frame1"),
                                    test::symbolClass({{0, "Doc"}, {5, "Pic"}}), test::showFrame()});
    Played r = play(test::movie(tags, {.version = 10}));
    EXPECT_EQ(r.lines, (Lines{"Pic made", "2", "true", "4294901760"})) << base;
    EXPECT_TRUE(r.errors.empty()) << base << ": " << r.errors.front();
  }
}

TEST(Avm2Bitmaps, MisuseThrowsThePlayersErrors) {
  struct Case {
    std::function<void(BitmapScript&)> misuse;
    std::string error;
  };
  const Case cases[] = {
      {[](BitmapScript& s) { s.data(1, 0, 5, true, 0); }, "ArgumentError: Error #2015: Invalid BitmapData."},
      {[](BitmapScript& s) { s.data(1, 8192, 1, true, 0); }, "ArgumentError: Error #2015: Invalid BitmapData."},
      {[](BitmapScript& s) {
         s.data(1, 2, 2, true, 0);
         s.local(1).point(0, 0).num(0).num(3).callVoid("hitTest", 3);
       },
       "TypeError: Error #2005: Parameter 0 is of the incorrect type. Should be type BitmapData, "
       "Rectangle, Point, or Bitmap."},
      {[](BitmapScript& s) {
         s.data(1, 2, 2, true, 0);
         s.local(1).num(5).callVoid("draw", 1);
       },
       "TypeError: Error #1034: Type Coercion failed: cannot convert int to flash.display.IBitmapDrawable."},
      {[](BitmapScript& s) {
         s.data(1, 2, 2, true, 0);
         s.local(1).c.op(op::pushnull);
         s.num(0).callVoid("fillRect", 2);
       },
       "TypeError: Error #2007: Parameter rect must be non-null."},
      {[](BitmapScript& s) {
         s.data(1, 2, 2, true, 0);
         s.local(1).local(1).rect(0, 0, 1, 1).point(0, 0).str("<>").num(0);
         s.callVoid("threshold", 5);
       },
       "ArgumentError: Error #2008: Parameter operation must be one of the accepted values."},
      {[](BitmapScript& s) {
         s.find("Bitmap").c.op(op::pushnull);
         s.str("sometimes").makeWith("Bitmap", 2);
       },
       "ArgumentError: Error #2008: Parameter pixelSnapping must be one of the accepted values."},
  };
  for (const Case& c : cases) {
    BitmapScript s;
    c.misuse(s);
    Played r = play(test::as3Movie(s.abcBytes(), "Doc"));
    EXPECT_EQ(r.errors, (Lines{c.error}));
  }
}

}  // namespace
}  // namespace orv::movie
