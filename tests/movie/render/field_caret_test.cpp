// Text fields in the player: the caret of a focused input field (Selection.setFocus
// puts it at the start of the text, inside the gutter; it leaves with the focus and
// dynamic text never shows one), _width and _height resizing a field rather than
// scaling it, and Key's listeners changing a field when a key goes down.
#include <gtest/gtest.h>

#include <string>

#include "movie/player.h"
#include "movie/avm1/script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie {
namespace {

using avm1::test::Asm;
using avm1::test::Null;
namespace w = orv::movie::test;

constexpr uint8_t kCallMethod = 0x52, kPop = 0x17, kSetMember = 0x4F;

// A 200 x 100 pixel movie whose script makes field "t" at (10, 10), 100 x 30
// pixels, of `type`, then runs `after`.
std::vector<uint8_t> fieldMovie(const std::string& type, const Asm& after) {
  Asm a;
  a.push({30, 100, 10, 10, 1, "t", 6})
      .getVar("_root")
      .push({"createTextField"})
      .op(kCallMethod)
      .op(kPop);
  a.getVar("t").push({"type", type.c_str()}).op(kSetMember);
  std::vector<uint8_t> code = a.bytes();
  code.pop_back();  // the End, to append more
  const std::vector<uint8_t> rest = after.bytes();
  code.insert(code.end(), rest.begin(), rest.end());
  return w::movie(w::concat({w::doAction(code), w::showFrame()}),
                  {.width = 4000, .height = 2000, .frameCount = 1});
}

Asm focusOn(const char* target) {
  Asm a;
  a.push({target, 1}).getVar("Selection").push({"setFocus"}).op(kCallMethod).op(kPop);
  return a;
}

Pixmap draw(const std::vector<uint8_t>& bytes) {
  Player player;
  EXPECT_TRUE(player.loadBytes(bytes));
  player.start();
  Pixmap pix;
  pix.width = 200;
  pix.height = 100;
  player.render(pix, player.stage());
  return pix;
}

uint32_t at(const Pixmap& p, int x, int y) { return p.pixels[size_t(y) * p.width + x]; }

TEST(FieldCaret, AFocusedInputFieldShowsItsCaretInsideTheGutter) {
  const Pixmap p = draw(fieldMovie("input", focusOn("t")));
  // One pixel wide, two pixels in from the field's left and top edges.
  for (int y = 12; y < 22; ++y) EXPECT_EQ(at(p, 12, y), 0xFF000000u) << "row " << y;
  EXPECT_EQ(at(p, 11, 15), 0xFFFFFFFFu);
  EXPECT_EQ(at(p, 13, 15), 0xFFFFFFFFu);
  EXPECT_EQ(at(p, 12, 11), 0xFFFFFFFFu);
  EXPECT_EQ(at(p, 12, 35), 0xFFFFFFFFu);
}

TEST(FieldCaret, NoCaretWithoutTheFocusOrInDynamicText) {
  EXPECT_EQ(at(draw(fieldMovie("input", Asm())), 12, 15), 0xFFFFFFFFu);
  EXPECT_EQ(at(draw(fieldMovie("dynamic", focusOn("t"))), 12, 15), 0xFFFFFFFFu);
  // Giving the focus up takes the caret away.
  Asm away = focusOn("t");
  away.push({Null{}, 1}).getVar("Selection").push({"setFocus"}).op(kCallMethod).op(kPop);
  EXPECT_EQ(at(draw(fieldMovie("input", away)), 12, 15), 0xFFFFFFFFu);
}

// A bordered field made 1 x 1 pixel, then sized by _width and _height.
TEST(FieldScripts, WidthAndHeightResizeAFieldWithoutScalingIt) {
  Asm a;
  a.getVar("t").push({"_width", 50}).op(kSetMember);
  a.getVar("t").push({"_height", 20}).op(kSetMember);
  a.getVar("t").push({"border", true}).op(kSetMember);
  a.push({"w"}).getVar("t").push({"_xscale"}).op(0x4E).op(0x1D);  // w = t._xscale
  std::vector<uint8_t> code = Asm()
                                  .push({1, 1, 10, 10, 1, "t", 6})
                                  .getVar("_root")
                                  .push({"createTextField"})
                                  .op(kCallMethod)
                                  .op(kPop)
                                  .bytes();
  code.pop_back();
  const std::vector<uint8_t> rest = a.bytes();
  code.insert(code.end(), rest.begin(), rest.end());
  const Pixmap p = draw(w::movie(w::concat({w::doAction(code), w::showFrame()}),
                                 {.width = 4000, .height = 2000, .frameCount = 1}));
  // The frame's lines at x 10 and 60, y 10 and 30; one pixel wide, not scaled up.
  EXPECT_EQ(at(p, 10, 20), 0xFF000000u);
  EXPECT_EQ(at(p, 60, 20), 0xFF000000u);
  EXPECT_EQ(at(p, 30, 30), 0xFF000000u);
  EXPECT_EQ(at(p, 11, 20), 0xFFFFFFFFu);
  EXPECT_EQ(at(p, 59, 20), 0xFFFFFFFFu);
}

TEST(FieldScripts, KeyListenersHearKeysGoDown) {
  // o = {}; o.onKeyDown = function () { t.border = true; }; Key.addListener(o);
  Asm listen;
  listen.push({"o", 0, "Object"}).op(0x40).op(0x1D);
  Asm body;
  body.getVar("t").push({"border", true}).op(kSetMember);
  listen.getVar("o").push({"onKeyDown"}).function("", {}, body).op(kSetMember);
  listen.getVar("o").push({1}).getVar("Key").push({"addListener"}).op(kCallMethod).op(kPop);
  Player player;
  ASSERT_TRUE(player.loadBytes(fieldMovie("input", listen)));
  player.start();
  Pixmap pix;
  pix.width = 200;
  pix.height = 100;
  player.render(pix, player.stage());
  EXPECT_EQ(at(pix, 10, 20), 0xFFFFFFFFu);
  player.keyDown(49);
  player.keyUp(49);
  player.render(pix, player.stage());
  EXPECT_EQ(at(pix, 10, 20), 0xFF000000u);
}

}  // namespace
}  // namespace orv::movie
