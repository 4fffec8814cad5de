// The drawing API: what a Drawing keeps (edges, closing of fills, bounds, hit points) and
// what scripts see of a drawn clip on the real timeline (getBounds, getRect, _width,
// hitTest).
#include <gtest/gtest.h>

#include <memory>

#include "movie/timeline/drawing.h"
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/timeline/stage.h"
#include "script_test_util.h"

namespace orv::movie {
namespace {

swf::LineStyle line(uint16_t width) {
  swf::LineStyle s;
  s.width = width;
  return s;
}
swf::FillStyle solid(uint8_t r, uint8_t g, uint8_t b) {
  swf::FillStyle f;
  f.color = {r, g, b, 255};
  return f;
}

TEST(Drawing, AnOpenFillIsClosedWithoutALineAndEndFillKeepsTheClosure) {
  Drawing d;
  d.setLineStyle(line(40));
  d.beginFill(solid(0, 0, 255));
  d.moveTo(0, 0);
  d.lineTo(100, 0);
  d.lineTo(100, 100);
  // Two drawn edges and the closing one back to the start, which carries no line.
  ASSERT_EQ(d.edges().size(), 3u);
  const swf::ShapeEdge& closing = d.edges().back();
  EXPECT_EQ(closing.x1, 0);
  EXPECT_EQ(closing.y1, 0);
  EXPECT_EQ(closing.line, 0u);
  EXPECT_EQ(closing.fill1, 1u);
  EXPECT_NE(d.edges()[0].line, 0u);
  // Drawing on moves the closing edge instead of adding another.
  d.lineTo(0, 100);
  EXPECT_EQ(d.edges().size(), 4u);
  EXPECT_EQ(d.edges().back().x0, 0);
  EXPECT_EQ(d.edges().back().y0, 100);
  d.endFill();
  d.lineTo(50, 200);  // a line after the fill: no fill on it, no closing edge
  EXPECT_EQ(d.edges().size(), 5u);
  EXPECT_EQ(d.edges().back().fill1, 0u);
  EXPECT_TRUE(d.contains(50, 50));
  EXPECT_FALSE(d.contains(150, 50));
}

TEST(Drawing, MovingInsideAFillStartsAnotherPartOfIt) {
  Drawing d;
  d.beginFill(solid(255, 0, 0));
  // Two squares of one fill: the second inside the first makes a hole (even-odd).
  d.moveTo(0, 0);
  d.lineTo(300, 0);
  d.lineTo(300, 300);
  d.lineTo(0, 300);
  d.moveTo(100, 100);
  d.lineTo(200, 100);
  d.lineTo(200, 200);
  d.lineTo(100, 200);
  d.endFill();
  EXPECT_EQ(d.edges().size(), 8u);
  EXPECT_TRUE(d.contains(50, 50));
  EXPECT_FALSE(d.contains(150, 150));
  // Points exactly on the outline of the fill are outside it.
  EXPECT_FALSE(d.contains(0, 0));
  EXPECT_FALSE(d.contains(300, 150));
  EXPECT_TRUE(d.contains(1, 1));
}

TEST(Drawing, BoundsCoverControlPointsAndTheStrokesWidths) {
  Drawing d;
  EXPECT_FALSE(d.bounds(true));
  d.setLineStyle(line(20));
  d.moveTo(0, 0);
  d.curveTo(100, 200, 200, 0);  // reaches y = 100 at its middle; its control point 200
  auto without = d.bounds(false), with = d.bounds(true);
  ASSERT_TRUE(without && with);
  EXPECT_EQ(*without, (swf::Rect{0, 200, 0, 200}));
  EXPECT_EQ(*with, (swf::Rect{-20, 220, -20, 220}));
  // The pen alone draws nothing: no line and no fill.
  d.setLineStyle(std::nullopt);
  d.lineTo(1000, 1000);
  EXPECT_EQ(*d.bounds(false), (swf::Rect{0, 200, 0, 200}));
  EXPECT_TRUE(d.contains(100, 100));  // on the stroke at the curve's middle
  EXPECT_FALSE(d.contains(100, 50));  // under the arch, no fill
  d.clear();
  EXPECT_TRUE(d.empty());
  EXPECT_FALSE(d.bounds(true));
}

TEST(Drawing, StylesSetWithoutDrawingAndRunawayLoopsStayBounded) {
  Drawing d;
  for (int i = 0; i < 1000; ++i) d.setLineStyle(line(uint16_t(i)));
  for (int i = 0; i < 1000; ++i) d.beginFill(solid(1, 2, 3));
  ASSERT_EQ(d.styleTables().size(), 1u);
  EXPECT_LE(d.styleTables()[0].lines.size(), 1u);
  for (size_t i = 0; i < Drawing::kMaxEdges + 10; ++i) d.lineTo(int32_t(i % 2) * 20, int32_t(i));
  EXPECT_LE(d.edges().size(), Drawing::kMaxEdges + 1);
}

// ---- through scripts on the real timeline ----

namespace avm1 {
using namespace orv::movie::avm1;
using test::Asm;

struct Run {
  std::shared_ptr<swf::Movie> movie;
  std::unique_ptr<Stage> stage;
  std::unique_ptr<TimelineBridge> bridge;
  std::string trace;
};

std::unique_ptr<Run> run(const Asm& script) {
  auto r = std::make_unique<Run>();
  r->movie = std::make_shared<swf::Movie>();
  r->movie->header.version = 8;
  r->movie->header.frameRate = 12;
  r->movie->header.frameSize = {0, 11000, 0, 8000};
  r->movie->root.frames.resize(1);
  r->movie->root.frames[0].actions.push_back({script.bytes()});
  r->stage = std::make_unique<Stage>(r->movie);
  r->stage->traceSink = [out = &r->trace](const std::string& line) { *out += line + "\n"; };
  r->bridge = std::make_unique<TimelineBridge>(*r->stage);
  r->stage->setListener(r->bridge.get());
  r->stage->root().gotoFrame(0);
  r->stage->dispatchEvents();
  return r;
}

// obj.method(args, given last first); the result stays on the stack.
Asm& call(Asm& a, const std::string& obj, const std::string& method,
          std::initializer_list<test::PushItem> argsLastFirst) {
  a.push(argsLastFirst).push({int(argsLastFirst.size())}).getVar(obj).push({method}).op(0x52);
  return a;
}
Asm& callDrop(Asm& a, const std::string& obj, const std::string& method,
              std::initializer_list<test::PushItem> argsLastFirst) {
  return call(a, obj, method, argsLastFirst).op(0x17);
}

// A square 100..200 pixels, filled blue, with a 20 pixel wide red line, in clip "d" moved by
// `dx` pixels; then `more` runs.
Asm squareScript(int dx, const Asm& more) {
  Asm a;
  a.push({"d"});
  call(a, "_root", "createEmptyMovieClip", {1, "d"}).op(0x1D);
  a.getVar("d").push({"_x", dx}).op(0x4F);
  callDrop(a, "d", "lineStyle", {100, 0xFF0000, 20});
  callDrop(a, "d", "beginFill", {0x0000FF});
  callDrop(a, "d", "moveTo", {100, 100});
  callDrop(a, "d", "lineTo", {100, 200});
  callDrop(a, "d", "lineTo", {200, 200});
  callDrop(a, "d", "lineTo", {200, 100});
  callDrop(a, "d", "lineTo", {100, 100});
  callDrop(a, "d", "endFill", {});
  a.append(more);
  return a;
}

Asm& traceBounds(Asm& a, const char* method, std::initializer_list<test::PushItem> args) {
  a.push({"b"});
  call(a, "d", method, args).op(0x1D);
  for (const char* f : {"xMin", "yMin", "xMax", "yMax"}) a.getVar("b").push({f}).op(0x4E).trace();
  return a;
}

TEST(DrawingApi, DrawnShapeCountsForBoundsAndSize) {
  Asm more;
  traceBounds(more, "getBounds", {});
  traceBounds(more, "getRect", {});
  more.push({"b"}).getVar("_root").push({1}).getVar("d").push({"getBounds"}).op(0x52).op(0x1D);
  for (const char* f : {"xMin", "yMin", "xMax", "yMax"})
    more.getVar("b").push({f}).op(0x4E).trace();
  more.getVar("d").push({"_width"}).op(0x4E).trace();
  more.getVar("d").push({"_height"}).op(0x4E).trace();
  auto r = run(squareScript(50, more));
  EXPECT_EQ(r->trace,
            "80\n80\n220\n220\n"    // own coordinates, grown by the line's width
            "100\n100\n200\n200\n"  // getRect: without the line
            "130\n80\n270\n220\n"   // moved 50 pixels in the root
            "140\n140\n");
}

// duplicateMovieClip copies what was drawn; the copy draws on from there alone.
TEST(DrawingApi, ADuplicateKeepsTheDrawingAndAddsToItsOwn) {
  Asm more;
  callDrop(more, "d", "duplicateMovieClip", {2, "e"});
  callDrop(more, "e", "moveTo", {100, 400});
  callDrop(more, "e", "beginFill", {0x00FF00});
  callDrop(more, "e", "lineTo", {100, 500});
  callDrop(more, "e", "lineTo", {200, 400});
  callDrop(more, "e", "endFill", {});
  for (const char* clip : {"e", "d"}) {
    more.getVar(clip).push({"_width"}).op(0x4E).trace();
    more.getVar(clip).push({"_height"}).op(0x4E).trace();
  }
  auto r = run(squareScript(0, more));
  // The copy's square (80..220 with its line) and its own triangle (390..520).
  EXPECT_EQ(r->trace, "440\n140\n140\n140\n");
}

TEST(DrawingApi, HitTestFindsTheFillAndTheLineButNotTheOutside) {
  Asm more;
  call(more, "d", "hitTest", {true, 150, 200}).trace();   // inside the fill (moved by 50)
  call(more, "d", "hitTest", {true, 150, 145}).trace();   // on the line (x = 95 inside the clip)
  call(more, "d", "hitTest", {true, 150, 100}).trace();   // left of the line
  call(more, "d", "hitTest", {false, 150, 135}).trace();  // the box includes the line's width
  call(more, "d", "hitTest", {false, 150, 300}).trace();
  // clear() removes the drawing: nothing left to hit, no bounds.
  callDrop(more, "d", "clear", {});
  call(more, "d", "hitTest", {true, 150, 200}).trace();
  more.getVar("d").push({"_width"}).op(0x4E).trace();
  auto r = run(squareScript(50, more));
  EXPECT_EQ(r->trace, "true\ntrue\nfalse\ntrue\nfalse\nfalse\n0\n");
}

// A focal point is kept as movies store it, in 8.8 fixed point cut towards zero: the
// reflections of a focal gradient fall where a movie's own gradient puts them.
TEST(DrawingApi, FocalPointIsKeptInEighthsOfAByteAsMoviesStoreIt) {
  for (auto [given, kept] :
       {std::pair{0.945, 241.0 / 256}, {-0.945, -241.0 / 256}, {0.5, 0.5}, {7.0, 1.0}}) {
    Asm a;
    a.push({"d"});
    call(a, "_root", "createEmptyMovieClip", {1, "d"}).op(0x1D);
    // beginGradientFill("radial", colours, alphas, ratios, box, "reflect", "linearRGB", focal)
    a.push({given, "linearRGB", "reflect"});
    a.push({"matrixType", "box", "x", 0, "y", 0, "w", 100, "h", 100, "r", 0, 6}).op(0x43);
    a.push({255, 0, 2}).op(0x42).push({100, 100, 2}).op(0x42).push({0xFF0000, 0, 2}).op(0x42);
    a.push({"radial", 8}).getVar("d").push({"beginGradientFill"}).op(0x52).op(0x17);
    callDrop(a, "d", "lineTo", {0, 100});
    callDrop(a, "d", "lineTo", {100, 100});
    callDrop(a, "d", "endFill", {});
    auto r = run(a);
    auto* d = dynamic_cast<ClipBridge*>(r->bridge->level(0)->childByName("d", false));
    ASSERT_TRUE(d && d->drawing() && !d->drawing()->styleTables().empty()) << given;
    const auto& fills = d->drawing()->styleTables()[0].fills;
    ASSERT_FALSE(fills.empty()) << given;
    EXPECT_EQ(fills[0].type, swf::FillType::FocalGradient) << given;
    EXPECT_EQ(fills[0].gradient.focalPoint, kept) << given;
  }
}

TEST(DrawingApi, DrawingCallsWithMissingArgumentsDrawNothing) {
  Asm a;
  a.push({"d"});
  call(a, "_root", "createEmptyMovieClip", {1, "d"}).op(0x1D);
  callDrop(a, "d", "lineStyle", {10});
  callDrop(a, "d", "moveTo", {10});        // one coordinate: ignored
  callDrop(a, "d", "lineTo", {50});        // ignored
  callDrop(a, "d", "curveTo", {5, 5, 5});  // three: ignored
  a.getVar("d").push({"_width"}).op(0x4E).trace();
  callDrop(a, "d", "lineTo", {0, 50});  // from (0, 0): a 10 pixel line
  a.getVar("d").push({"_width"}).op(0x4E).trace();
  callDrop(a, "d", "lineStyle", {});  // no line: the pen only moves
  callDrop(a, "d", "lineTo", {0, 500});
  a.getVar("d").push({"_width"}).op(0x4E).trace();
  auto r = run(a);
  EXPECT_EQ(r->trace, "0\n70\n70\n");
}

}  // namespace avm1
}  // namespace
}  // namespace orv::movie
