// MovieClip.filters through the whole player: filters a script sets are drawn like
// those the timeline places (displacement maps too, which only scripts can set),
// reading them back gives new objects with the same settings, and an empty list
// takes them off.
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

// c: a clip with a black square from (40, 40) to (60, 60) pixels of a 100 x 100 stage.
Asm& blackSquare(Asm& a) {
  a.push({"c"}).push({1, "c", 2}).getVar("_root").push({"createEmptyMovieClip"}).op(0x52).op(0x1D);
  callMethod(a, "c", "beginFill", {0});
  callMethod(a, "c", "moveTo", {40, 40});
  callMethod(a, "c", "lineTo", {40, 60});
  callMethod(a, "c", "lineTo", {60, 60});
  callMethod(a, "c", "lineTo", {60, 40});
  callMethod(a, "c", "endFill", {});
  return a;
}

// Pushes new flash.filters.<name>(args...).
Asm& newFilter(Asm& a, const std::string& name, std::initializer_list<PushItem> argsLastFirst) {
  a.push(argsLastFirst)
      .push({int(argsLastFirst.size())})
      .getVar("flash")
      .push({"filters"})
      .op(0x4E);
  return a.push({name}).op(0x53);
}

// trace(c.filters<path>), each step of the path a member.
Asm& traceFilters(Asm& a, std::initializer_list<PushItem> path) {
  a.getVar("c").push({"filters"}).op(0x4E);
  for (const PushItem& step : path) a.push({step}).op(0x4E);
  return a.trace();
}

struct Played {
  Pixmap pixels;
  std::vector<std::string> traces;
};

Played play(const Asm& a) {
  const auto bytes = t::movie(t::concat({t::doAction(a.bytes()), t::showFrame()}),
                              {.version = 8, .width = 2000, .height = 2000});
  Played out;
  Player p;
  p.setTraceSink([&out](const std::string& line) { out.traces.push_back(line); });
  EXPECT_TRUE(p.loadBytes(bytes)) << p.error();
  out.pixels.width = out.pixels.height = 100;
  out.pixels.pixels.assign(100 * 100, 0);
  p.render(out.pixels, {0, 0, 2000, 2000});
  return out;
}

// PlaceObject3 of `character` named `name` at `depth`, with a filter list as stored.
std::vector<uint8_t> placeWithFilters(uint16_t depth, uint16_t character, const std::string& name,
                                      const std::vector<uint8_t>& filters) {
  std::vector<uint8_t> b = {
      0x22, 0x01, uint8_t(depth), uint8_t(depth >> 8), uint8_t(character), uint8_t(character >> 8)};
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0);
  b.insert(b.end(), filters.begin(), filters.end());
  return t::tag(70, b);
}

uint32_t at(const Pixmap& p, int x, int y) { return p.pixels[size_t(y) * p.width + x]; }

// c.filters = [new GlowFilter(0x0000FF, 1, 16, 16, 4, 1), new DisplacementMapFilter()]
Asm& glowAndDisplacement(Asm& a) {
  a.getVar("c").push({"filters"});
  newFilter(a, "DisplacementMapFilter", {});
  newFilter(a, "GlowFilter", {1, 4, 16, 16, 1, 0x0000FF});
  return a.push({2}).op(0x42).op(0x4F);
}

TEST(ScriptFilters, AFilterListSetByScriptIsDrawnAndReadsBackAsNewObjects) {
  Asm a;
  blackSquare(a);
  traceFilters(a, {"length"});
  glowAndDisplacement(a);
  traceFilters(a, {"length"});  // a displacement map cannot be kept: left out
  traceFilters(a, {0, "color"});
  traceFilters(a, {0, "blurX"});
  traceFilters(a, {0, "strength"});
  traceFilters(a, {0, "inner"});
  // A changed copy changes nothing until it is set again.
  a.getVar("c").push({"filters"}).op(0x4E).push({0}).op(0x4E).push({"color", 0xFF0000}).op(0x4F);
  traceFilters(a, {0, "color"});
  // Each read makes new objects.
  a.getVar("c").push({"filters"}).op(0x4E).push({0}).op(0x4E);
  a.getVar("c").push({"filters"}).op(0x4E).push({0}).op(0x4E);
  a.op(0x49).trace();
  const Played p = play(a);
  const std::vector<std::string> want = {"0", "1", "255", "16", "4", "false", "255", "false"};
  EXPECT_EQ(p.traces, want);
  EXPECT_EQ(at(p.pixels, 50, 50), 0xFF000000u);  // the square
  // Around it, the blue glow fades out into the white stage.
  const uint32_t near = at(p.pixels, 50, 62), far = at(p.pixels, 50, 90);
  EXPECT_GT(near & 0xFF, (near >> 16) & 0xFF) << std::hex << near;
  EXPECT_EQ(far, 0xFFFFFFFFu);
}

TEST(ScriptFilters, AConvolutionSetByScriptIsDrawn) {
  // c.filters = [new ConvolutionFilter(1, 1, [1], 1, 128)]: black lifted to grey.
  Asm a;
  blackSquare(a);
  a.getVar("c").push({"filters"});
  a.push({128, 1}).push({1}).push({1}).op(0x42).push({1, 1}).push({5});
  a.getVar("flash").push({"filters"}).op(0x4E).push({"ConvolutionFilter"}).op(0x53);
  a.push({1}).op(0x42).op(0x4F);
  traceFilters(a, {0, "bias"});
  const Played p = play(a);
  EXPECT_EQ(p.traces, std::vector<std::string>{"128"});
  EXPECT_EQ(at(p.pixels, 50, 50), 0xFF808080u);
  EXPECT_EQ(at(p.pixels, 30, 50), 0xFFFFFFFFu);
}

// Pushes new flash.<package>.<name>(args...), the arguments given last first.
Asm& construct(Asm& a, const char* package, const char* name,
               std::initializer_list<PushItem> argsLastFirst) {
  a.push(argsLastFirst).push({int(argsLastFirst.size())}).getVar("flash").push({package}).op(0x4E);
  return a.push({name}).op(0x53);
}

TEST(ScriptFilters, ADisplacementMapMovesPixelsAndReadsBackWithItsBitmap) {
  // c.filters = [new DisplacementMapFilter(new BitmapData(20, 20, false, 0xC08000),
  //     new Point(0, 0), 1, 2, 16, 0, "color", 0xFF0000, 1)]: red 192 takes each pixel
  // from (192 - 128) * 16 / 256 = 4 pixels right, red past the square's edge.
  Asm a;
  blackSquare(a);
  a.getVar("c").push({"filters"});
  a.push({1, 0xFF0000, "color", 0, 16, 2, 1});
  construct(a, "geom", "Point", {0, 0});
  construct(a, "display", "BitmapData", {0xC08000, false, 20, 20});
  a.push({9}).getVar("flash").push({"filters"}).op(0x4E).push({"DisplacementMapFilter"}).op(0x53);
  a.push({1}).op(0x42).op(0x4F);
  traceFilters(a, {0, "mapBitmap", "width"});
  traceFilters(a, {0, "mapBitmap", "transparent"});
  traceFilters(a, {0, "mapPoint", "x"});
  traceFilters(a, {0, "mode"});
  traceFilters(a, {0, "scaleX"});
  // Set again from what was read: still drawn with its map.
  a.getVar("c").push({"filters"}).getVar("c").push({"filters"}).op(0x4E).op(0x4F);
  const Played p = play(a);
  const std::vector<std::string> want = {"20", "false", "0", "color", "16"};
  EXPECT_EQ(p.traces, want);
  EXPECT_EQ(at(p.pixels, 50, 50), 0xFF000000u);
  EXPECT_EQ(at(p.pixels, 57, 50), 0xFFFF0000u);
  EXPECT_EQ(at(p.pixels, 55, 50), 0xFF000000u);
  EXPECT_EQ(at(p.pixels, 62, 50), 0xFFFFFFFFu);
}

TEST(ScriptFilters, AnEmptyListTakesTheFiltersOff) {
  Asm a;
  blackSquare(a);
  glowAndDisplacement(a);
  a.getVar("c").push({"filters"}).push({0}).op(0x42).op(0x4F);
  traceFilters(a, {"length"});
  const Played p = play(a);
  EXPECT_EQ(p.traces, std::vector<std::string>{"0"});
  EXPECT_EQ(at(p.pixels, 50, 62), 0xFFFFFFFFu);
  EXPECT_EQ(at(p.pixels, 50, 50), 0xFF000000u);
}

TEST(ScriptFilters, TextFieldsTakeFiltersToo) {
  Asm a;
  callMethod(a, "_root", "createTextField", {20, 50, 0, 0, 2, "t"});
  a.getVar("t").push({"filters"});
  newFilter(a, "BlurFilter", {});
  a.push({1}).op(0x42).op(0x4F);
  a.getVar("t").push({"filters"}).op(0x4E).push({"length"}).op(0x4E).trace();
  // Kept as a filter list, not as the array given: each read is a new array.
  a.getVar("t").push({"filters"}).op(0x4E).getVar("t").push({"filters"}).op(0x4E).op(0x49).trace();
  const std::vector<std::string> want = {"1", "false"};
  EXPECT_EQ(play(a).traces, want);
}

TEST(ScriptFilters, TimelineFiltersReadBackWithTheirSettings) {
  // A bevel, then a drop shadow, as a movie file stores them, placed on a clip.
  std::vector<uint8_t> list = {
      2,    3,       255,
      255,  255,     255,
      0,    0,       0,
      128,  // highlight, shadow
      0,    0,       5,
      0,    0,       0,
      5,    0,  // blurX 5, blurY 5
      0,    0,       0,
      0,    0,       0,
      3,    0,                                // angle 0, distance 3
      0,    2,       0x80 | 0x20 | 0x10 | 2,  // strength 2, inner, full, 2 passes
      0,    0,       0,
      255,  255,     0,
      0,    4,       0,
      0,    0,       4,
      0,  // shadow: blue, blur 4
      0x22, 0x12,    0,
      0,    0,       0,
      8,    0,       0,
      1,    0x20 | 3};
  Asm a;
  traceFilters(a, {"length"});
  traceFilters(a, {0, "type"});
  traceFilters(a, {0, "shadowAlpha"});
  traceFilters(a, {0, "distance"});
  traceFilters(a, {0, "quality"});
  traceFilters(a, {1, "color"});
  traceFilters(a, {1, "distance"});
  traceFilters(a, {1, "hideObject"});
  const auto bytes =
      t::movie(t::concat({t::defineSprite(1, 1, t::showFrame()), placeWithFilters(1, 1, "c", list),
                          t::doAction(a.bytes()), t::showFrame()}),
               {.version = 8});
  std::vector<std::string> traces;
  Player p;
  p.setTraceSink([&traces](const std::string& line) { traces.push_back(line); });
  ASSERT_TRUE(p.loadBytes(bytes)) << p.error();
  const std::vector<std::string> want = {"2", "inner", "0.501960784313725", "3", "2", "255",
                                         "8", "false"};
  EXPECT_EQ(traces, want);
}

}  // namespace
}  // namespace orv::movie
