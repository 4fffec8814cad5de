// Shapes drawn by scripts reach the picture through the whole player: a movie whose first
// frame draws with the drawing API, rendered and checked pixel by pixel.
#include <gtest/gtest.h>

#include "../avm1/script_test_util.h"
#include "../swf_writer.h"
#include "movie/player.h"
#include "render_test_util.h"

namespace orv::movie {
namespace {

namespace t = test;
using avm1::test::Asm;
using avm1::test::callMethod;
using avm1::test::PushItem;

// Draws the movie's first frame (100x100 pixels) into 100x100 pixels.
std::vector<uint32_t> drawFirstFrame(const Asm& script) {
  const auto bytes = t::movie(t::concat({t::doAction(script.bytes()), t::showFrame()}),
                              {.version = 8, .width = 2000, .height = 2000});
  Player p;
  EXPECT_TRUE(p.loadBytes(bytes)) << p.error();
  Pixmap pix;
  pix.width = pix.height = 100;
  pix.pixels.assign(100 * 100, 0);
  p.render(pix, {0, 0, 2000, 2000});
  return pix.pixels;
}

uint32_t at(const std::vector<uint32_t>& pixels, int x, int y) {
  return pixels[size_t(y) * 100 + x];
}

TEST(DrawingRender, FillsStrokesAndTheRootDrawingAppearInOrder) {
  Asm a;
  a.push({"d"}).push({1, "d", 2}).getVar("_root").push({"createEmptyMovieClip"}).op(0x52).op(0x1D);
  // Arguments are pushed last first: lineTo(80, 20) is {20, 80}.
  callMethod(a, "d", "lineStyle", {100, 0xFF0000, 4});
  callMethod(a, "d", "beginFill", {0x0000FF});
  callMethod(a, "d", "moveTo", {20, 20});
  callMethod(a, "d", "lineTo", {20, 80});  // top
  callMethod(a, "d", "lineTo", {80, 80});  // right
  callMethod(a, "d", "lineTo", {80, 20});  // bottom, to (20, 80)
  callMethod(a, "d", "endFill", {});       // the left side closes it, without a line
  // The root's own drawing lies below its children: a green band down the middle.
  callMethod(a, "_root", "lineStyle", {100, 0x00FF00, 10});
  callMethod(a, "_root", "moveTo", {0, 50});
  callMethod(a, "_root", "lineTo", {100, 50});
  const auto px = drawFirstFrame(a);
  EXPECT_EQ(at(px, 50, 40), 0xFF0000FFu);  // the fill covers the root's band
  EXPECT_EQ(at(px, 30, 50), 0xFF0000FFu);
  EXPECT_EQ(at(px, 21, 50), 0xFF0000FFu);
  EXPECT_EQ(at(px, 60, 19), 0xFFFF0000u);  // the lines, over the fill's edge
  EXPECT_EQ(at(px, 80, 60), 0xFFFF0000u);
  EXPECT_EQ(at(px, 60, 80), 0xFFFF0000u);
  EXPECT_EQ(at(px, 18, 60), 0xFFFFFFFFu);  // the closing side carries no line
  EXPECT_EQ(at(px, 50, 5), 0xFF00FF00u);   // the root's band outside the square
  EXPECT_EQ(at(px, 5, 5), 0xFFFFFFFFu);    // background
}

TEST(DrawingRender, GradientFillFollowsTheBoxMatrix) {
  Asm a;
  a.push({"g"}).push({1, "g", 2}).getVar("_root").push({"createEmptyMovieClip"}).op(0x52).op(0x1D);
  // beginGradientFill("linear", [red, green], [100, 100], [0, 255], {box over the clip})
  a.push({"matrixType", "box", "x", 0, "y", 0, "w", 100, "h", 100, "r", 0, 6}).op(0x43);
  a.push({255, 0, 2}).op(0x42);
  a.push({100, 100, 2}).op(0x42);
  a.push({0x00FF00, 0xFF0000, 2}).op(0x42);
  a.push({"linear", 5}).getVar("g").push({"beginGradientFill"}).op(0x52).op(0x17);
  callMethod(a, "g", "moveTo", {0, 0});
  callMethod(a, "g", "lineTo", {0, 100});
  callMethod(a, "g", "lineTo", {100, 100});
  callMethod(a, "g", "lineTo", {100, 0});
  callMethod(a, "g", "endFill", {});
  const auto px = drawFirstFrame(a);
  const uint32_t left = at(px, 1, 50), middle = at(px, 50, 50), right = at(px, 98, 50);
  EXPECT_GT(render::test::channel(left, 16), 240);  // red at the left
  EXPECT_LT(render::test::channel(left, 8), 15);
  EXPECT_GT(render::test::channel(right, 8), 240);  // green at the right
  EXPECT_LT(render::test::channel(right, 16), 15);
  EXPECT_NEAR(render::test::channel(middle, 16), 128, 8);  // half way between
  EXPECT_NEAR(render::test::channel(middle, 8), 128, 8);
  EXPECT_EQ(at(px, 50, 10), middle);  // the gradient runs left to right only
}

}  // namespace
}  // namespace orv::movie
