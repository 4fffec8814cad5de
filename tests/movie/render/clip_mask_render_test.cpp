// MovieClip.setMask through the whole player: the mask's shapes, where they are on the
// stage, limit what the masked clip shows; the mask itself is not drawn; null lifts it.
#include <gtest/gtest.h>

#include "../avm1/script_test_util.h"
#include "../swf_writer.h"
#include "movie/player.h"

namespace orv::movie {
namespace {

namespace t = test;
using avm1::test::Asm;
using avm1::test::callMethod;
using avm1::test::PushItem;

Asm& emptyClip(Asm& a, const std::string& name, int depth) {
  a.push({name})
      .push({depth, name, 2})
      .getVar("_root")
      .push({"createEmptyMovieClip"})
      .op(0x52)
      .op(0x1D);
  return a;
}

Asm& square(Asm& a, const std::string& clip, int rgb, int x0, int y0, int x1, int y1) {
  callMethod(a, clip, "beginFill", {rgb});
  callMethod(a, clip, "moveTo", {y0, x0});
  callMethod(a, clip, "lineTo", {y0, x1});
  callMethod(a, clip, "lineTo", {y1, x1});
  callMethod(a, clip, "lineTo", {y1, x0});
  callMethod(a, clip, "endFill", {});
  return a;
}

// clip.setMask(maskVar), or setMask(null) when `maskVar` is empty.
Asm& setMask(Asm& a, const std::string& clip, const std::string& maskVar) {
  if (maskVar.empty())
    a.push({avm1::test::Null{}});
  else
    a.getVar(maskVar);
  a.push({1}).getVar(clip).push({"setMask"}).op(0x52).op(0x17);
  return a;
}

Pixmap render(const Asm& a) {
  const auto bytes = t::movie(t::concat({t::doAction(a.bytes()), t::showFrame()}),
                              {.version = 8, .width = 2000, .height = 2000});
  Player p;
  EXPECT_TRUE(p.loadBytes(bytes)) << p.error();
  Pixmap pix;
  pix.width = pix.height = 100;
  pix.pixels.assign(100 * 100, 0);
  p.render(pix, {0, 0, 2000, 2000});
  return pix;
}

uint32_t at(const Pixmap& p, int x, int y) { return p.pixels[size_t(y) * p.width + x]; }

TEST(ClipMaskRender, TheMaskLimitsTheClipAndIsNotDrawn) {
  Asm a;
  emptyClip(a, "c", 1);
  square(a, "c", 0x0000FF, 0, 0, 100, 100);
  emptyClip(a, "m", 2);
  square(a, "m", 0xFF0000, 20, 20, 40, 40);
  // The mask moves on the stage; the masked clip moves too, and the window stays
  // where the mask is.
  a.getVar("m").push({"_x", 30}).op(0x4F);
  a.getVar("c").push({"_x", -10}).op(0x4F);
  setMask(a, "c", "m");
  const Pixmap pix = render(a);
  EXPECT_EQ(at(pix, 55, 30), 0xFF0000FFu);  // inside the mask (50..70, 20..40): blue
  EXPECT_EQ(at(pix, 45, 30), 0xFFFFFFFFu);  // outside: the stage
  EXPECT_EQ(at(pix, 55, 45), 0xFFFFFFFFu);
  EXPECT_EQ(at(pix, 25, 30), 0xFFFFFFFFu);  // where the mask was drawn before moving: no red
}

TEST(ClipMaskRender, NullLiftsTheMask) {
  Asm a;
  emptyClip(a, "c", 1);
  square(a, "c", 0x0000FF, 0, 0, 100, 100);
  emptyClip(a, "m", 2);
  square(a, "m", 0xFF0000, 20, 20, 40, 40);
  setMask(a, "c", "m");
  setMask(a, "c", "");
  const Pixmap pix = render(a);
  EXPECT_EQ(at(pix, 5, 5), 0xFF0000FFu);
  EXPECT_EQ(at(pix, 30, 30), 0xFFFF0000u);  // the former mask is drawn again, above
}

TEST(ClipMaskRender, ADrawnClipKeepsItsMask) {
  Asm a;
  emptyClip(a, "c", 1);
  square(a, "c", 0x00FF00, 0, 0, 30, 30);
  emptyClip(a, "m", 2);
  square(a, "m", 0, 10, 10, 20, 20);
  setMask(a, "c", "m");
  a.getVar("c").push({"_x", 50}).op(0x4F);  // draw() leaves the clip's own place out
  // b = new flash.display.BitmapData(30, 30, false); b.draw(c); show it at the origin.
  a.push({"b"})
      .push({false, 30, 30, 3})
      .getVar("flash")
      .push({"display"})
      .op(0x4E)
      .push({"BitmapData"})
      .op(0x53)
      .op(0x1D);
  a.getVar("c").push({1}).getVar("b").push({"draw"}).op(0x52).op(0x17);
  emptyClip(a, "h", 3);
  a.push({5}).getVar("b").push({2}).getVar("h").push({"attachBitmap"}).op(0x52).op(0x17);
  a.getVar("c").push({"_visible", false}).op(0x4F);
  const Pixmap pix = render(a);
  EXPECT_EQ(at(pix, 15, 15), 0xFF00FF00u);  // under the mask: the clip
  EXPECT_EQ(at(pix, 5, 5), 0xFFFFFFFFu);    // elsewhere the bitmap's white
  EXPECT_EQ(at(pix, 25, 25), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace orv::movie
