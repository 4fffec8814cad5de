// The caret of a focused input field, drawn by the player: Selection.setFocus puts
// it at the start of the field's text, inside the gutter; it leaves with the focus
// and dynamic text never shows one.
#include <gtest/gtest.h>

#include <string>

#include "movie/player.h"
#include "movie/script/script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie {
namespace {

using script::test::Asm;
using script::test::Null;
namespace w = orv::movie::test;

constexpr uint8_t kCallMethod = 0x52, kPop = 0x17, kSetMember = 0x4F;

// A 200 x 100 pixel movie whose script makes field "t" at (10, 10), 100 x 30
// pixels, of `type`, then runs `after`.
std::vector<uint8_t> fieldMovie(const std::string& type, const Asm& after) {
  Asm a;
  a.push({30, 100, 10, 10, 1, "t", 6}).getVar("_root").push({"createTextField"}).op(kCallMethod).op(kPop);
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

}  // namespace
}  // namespace orv::movie
