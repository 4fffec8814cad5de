// BitmapData through the whole player: a clip drawn into a bitmap, the bitmap shown with
// attachBitmap, and later changes to its pixels showing in the next frame.
#include <gtest/gtest.h>
#include <zlib.h>

#include "../avm1/script_test_util.h"
#include "../swf_writer.h"
#include "movie/player.h"

namespace orv::movie {
namespace {

namespace t = test;
using avm1::test::Asm;
using avm1::test::callMethod;
using avm1::test::PushItem;

// name = new flash.<package>.<cls>(args), arguments last first.
Asm& make(Asm& a, const std::string& name, const char* package, const char* cls,
          std::initializer_list<PushItem> argsLastFirst) {
  a.push({name}).push(argsLastFirst).push({int(argsLastFirst.size())});
  a.getVar("flash").push({package}).op(0x4E).push({cls}).op(0x53).op(0x1D);
  return a;
}

Asm& emptyClip(Asm& a, const std::string& name, int depth) {
  a.push({name})
      .push({depth, name, 2})
      .getVar("_root")
      .push({"createEmptyMovieClip"})
      .op(0x52)
      .op(0x1D);
  return a;
}

// obj.method(args...) where the arguments are variables, given last first.
Asm& callWithVars(Asm& a, const std::string& obj, const std::string& method,
                  std::initializer_list<PushItem> literalsLastFirst,
                  std::initializer_list<std::string> varsLastFirst) {
  if (literalsLastFirst.size()) a.push(literalsLastFirst);
  for (const std::string& v : varsLastFirst) a.getVar(v);
  a.push({int(literalsLastFirst.size() + varsLastFirst.size())})
      .getVar(obj)
      .push({method})
      .op(0x52)
      .op(0x17);
  return a;
}

Asm& setMember(Asm& a, const std::string& obj, const char* member, PushItem v) {
  a.getVar(obj).push({member, v}).op(0x4F);
  return a;
}

uint32_t at(const Pixmap& p, int x, int y) { return p.pixels[size_t(y) * p.width + x]; }

Pixmap draw(Player& p) {
  Pixmap pix;
  pix.width = pix.height = 100;
  pix.pixels.assign(100 * 100, 0);
  p.render(pix, {0, 0, 2000, 2000});
  return pix;
}

TEST(BitmapDataRender, AnAttachedBitmapShowsAndFollowsLaterChanges) {
  Asm first;
  make(first, "b", "display", "BitmapData", {0x00FF00, false, 20, 20});
  emptyClip(first, "holder", 1);
  callWithVars(first, "holder", "attachBitmap", {1}, {"b"});
  setMember(first, "holder", "_x", 10);
  setMember(first, "holder", "_y", 30);
  Asm second;  // the next frame paints a red corner into the same bitmap
  make(second, "r", "geom", "Rectangle", {5, 5, 0, 0});
  callWithVars(second, "b", "fillRect", {0xFF0000}, {"r"});
  second.op(0x07);  // stop
  const auto bytes = t::movie(t::concat({t::doAction(first.bytes()), t::showFrame(),
                                         t::doAction(second.bytes()), t::showFrame()}),
                              {.version = 8, .width = 2000, .height = 2000, .frameCount = 2});
  Player p;
  ASSERT_TRUE(p.loadBytes(bytes)) << p.error();
  Pixmap one = draw(p);
  EXPECT_EQ(at(one, 9, 35), 0xFFFFFFFFu);   // left of the bitmap
  EXPECT_EQ(at(one, 10, 30), 0xFF00FF00u);  // its first pixel
  EXPECT_EQ(at(one, 29, 49), 0xFF00FF00u);  // its last
  EXPECT_EQ(at(one, 30, 49), 0xFFFFFFFFu);
  EXPECT_EQ(at(one, 29, 50), 0xFFFFFFFFu);
  p.forward();
  Pixmap two = draw(p);
  EXPECT_EQ(at(two, 12, 32), 0xFFFF0000u);  // the corner painted a frame later
  EXPECT_EQ(at(two, 16, 36), 0xFF00FF00u);
}

TEST(BitmapDataRender, DrawPutsAShapeIntoTheBitmap) {
  Asm a;
  emptyClip(a, "d", 1);
  // A blue square from (20, 20) to (80, 80), then moved away: draw() ignores the clip's
  // own position, and the clip itself is hidden.
  callMethod(a, "d", "beginFill", {0x0000FF});
  callMethod(a, "d", "moveTo", {20, 20});
  callMethod(a, "d", "lineTo", {80, 20});
  callMethod(a, "d", "lineTo", {80, 80});
  callMethod(a, "d", "lineTo", {20, 80});
  callMethod(a, "d", "endFill", {});
  setMember(a, "d", "_x", 300);
  setMember(a, "d", "_visible", false);
  make(a, "b", "display", "BitmapData", {0xFFFFFF, false, 50, 50});
  make(a, "m", "geom", "Matrix", {0, 0, 0.5, 0, 0, 0.5});  // half size
  callWithVars(a, "b", "draw", {}, {"m", "d"});
  emptyClip(a, "holder", 2);
  callWithVars(a, "holder", "attachBitmap", {1}, {"b"});
  const auto bytes = t::movie(t::concat({t::doAction(a.bytes()), t::showFrame()}),
                              {.version = 8, .width = 2000, .height = 2000});
  Player p;
  ASSERT_TRUE(p.loadBytes(bytes)) << p.error();
  Pixmap pix = draw(p);
  EXPECT_EQ(at(pix, 5, 5), 0xFFFFFFFFu);    // the bitmap's white
  EXPECT_EQ(at(pix, 11, 11), 0xFF0000FFu);  // the square, at half size: 10..40
  EXPECT_EQ(at(pix, 38, 38), 0xFF0000FFu);
  EXPECT_EQ(at(pix, 42, 42), 0xFFFFFFFFu);
  EXPECT_EQ(at(pix, 60, 60), 0xFFFFFFFFu);  // the stage beyond the 50x50 bitmap
}

TEST(BitmapDataRender, AnAttachedBitmapGivesTheClipItsSize) {
  Asm a;
  make(a, "b", "display", "BitmapData", {0x00FF00, false, 30, 20});
  emptyClip(a, "holder", 1);
  callWithVars(a, "holder", "attachBitmap", {1}, {"b"});
  setMember(a, "holder", "_xscale", 200);
  a.getVar("holder").push({"_width"}).op(0x4E).trace();
  a.getVar("holder").push({"_height"}).op(0x4E).trace();
  callMethod(a, "b", "dispose", {});
  a.getVar("holder").push({"_width"}).op(0x4E).trace();
  const auto bytes = t::movie(t::concat({t::doAction(a.bytes()), t::showFrame()}),
                              {.version = 8, .width = 2000, .height = 2000});
  Player p;
  std::string traced;
  p.setTraceSink([&](const std::string& line) { traced += line + "\n"; });
  ASSERT_TRUE(p.loadBytes(bytes)) << p.error();
  EXPECT_EQ(traced, "40\n30\n0\n");
}

// A 2x2 DefineBitsLossless2 (premultiplied ARGB) exported as `name`.
std::vector<uint8_t> exportedBitmap(uint16_t id, const std::string& name) {
  const std::vector<uint8_t> argb = {0xFF, 0xFF, 0, 0,    0xFF, 0,    0xFF, 0,
                                     0x80, 0,    0, 0x80, 0xFF, 0xFF, 0xFF, 0xFF};
  uLongf size = compressBound(uLong(argb.size()));
  std::vector<uint8_t> z(size);
  compress2(z.data(), &size, argb.data(), uLong(argb.size()), 9);
  std::vector<uint8_t> body = {uint8_t(id), uint8_t(id >> 8), 5, 2, 0, 2, 0};
  body.insert(body.end(), z.begin(), z.begin() + long(size));
  std::vector<uint8_t> exports = {1, 0, uint8_t(id), uint8_t(id >> 8)};
  exports.insert(exports.end(), name.begin(), name.end());
  exports.push_back(0);
  return t::concat({t::tag(36, body, true), t::tag(56, exports)});
}

TEST(BitmapDataRender, LoadBitmapTakesAnExportedBitmap) {
  Asm a;
  // b = flash.display.BitmapData.loadBitmap("pic")
  a.push({"b"})
      .push({"pic", 1})
      .getVar("flash")
      .push({"display"})
      .op(0x4E)
      .push({"BitmapData"})
      .op(0x4E);
  a.push({"loadBitmap"}).op(0x52).op(0x1D);
  a.getVar("b").push({"width"}).op(0x4E).trace();
  a.getVar("b").push({"transparent"}).op(0x4E).trace();
  a.push({0, 0, 2}).getVar("b").push({"getPixel32"}).op(0x52).trace();
  a.push({1, 0, 2}).getVar("b").push({"getPixel"}).op(0x52).trace();  // getPixel(0, 1)
  a.push({"nothing", 1}).getVar("flash").push({"display"}).op(0x4E).push({"BitmapData"}).op(0x4E);
  a.push({"loadBitmap"}).op(0x52).trace();
  const auto bytes =
      t::movie(t::concat({exportedBitmap(7, "pic"), t::doAction(a.bytes()), t::showFrame()}),
               {.version = 8, .width = 2000, .height = 2000});
  Player p;
  std::string traced;
  p.setTraceSink([&](const std::string& line) { traced += line + "\n"; });
  ASSERT_TRUE(p.loadBytes(bytes)) << p.error();
  // Red, opaque; the half-transparent blue pixel makes the image transparent.
  EXPECT_EQ(traced, "2\ntrue\n-65536\n255\nundefined\n");
}

TEST(BitmapDataRender, AnAttachedBitmapTakesTheMouse) {
  Asm a;
  make(a, "b", "display", "BitmapData", {0x00FF00, false, 20, 20});
  emptyClip(a, "holder", 1);
  callWithVars(a, "holder", "attachBitmap", {1}, {"b"});
  setMember(a, "holder", "_x", 40);
  // holder.onPress = function () { trace("pressed"); }
  a.getVar("holder").push({"onPress"}).function("", {}, Asm().push({"pressed"}).trace()).op(0x4F);
  // hitTest(x, y, true) on the stage: inside (45, 5) and outside (35, 5).
  a.push({true, 5, 45, 3}).getVar("holder").push({"hitTest"}).op(0x52).trace();
  a.push({true, 5, 35, 3}).getVar("holder").push({"hitTest"}).op(0x52).trace();
  a.op(0x07);
  const auto bytes = t::movie(t::concat({t::doAction(a.bytes()), t::showFrame()}),
                              {.version = 8, .width = 2000, .height = 2000});
  Player p;
  std::string traced;
  p.setTraceSink([&](const std::string& line) { traced += line + "\n"; });
  ASSERT_TRUE(p.loadBytes(bytes)) << p.error();
  EXPECT_EQ(traced, "true\nfalse\n");
  traced.clear();
  p.mouseDown(30 * 20, 10 * 20);  // left of the bitmap
  p.mouseUp(30 * 20, 10 * 20);
  EXPECT_EQ(traced, "");
  p.mouseDown(50 * 20, 10 * 20);  // on it
  EXPECT_EQ(traced, "pressed\n");
}

TEST(BitmapDataRender, ADisposedBitmapDrawsNothing) {
  Asm a;
  make(a, "b", "display", "BitmapData", {0x00FF00, false, 20, 20});
  emptyClip(a, "holder", 1);
  callWithVars(a, "holder", "attachBitmap", {1}, {"b"});
  callMethod(a, "b", "dispose", {});
  const auto bytes = t::movie(t::concat({t::doAction(a.bytes()), t::showFrame()}),
                              {.version = 8, .width = 2000, .height = 2000});
  Player p;
  ASSERT_TRUE(p.loadBytes(bytes)) << p.error();
  Pixmap pix = draw(p);
  EXPECT_EQ(at(pix, 5, 5), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace orv::movie
