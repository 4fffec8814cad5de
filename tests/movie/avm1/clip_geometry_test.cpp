// Clip geometry and colour as scripts see them on the real timeline: getBounds, _width and
// _height from the shapes a clip holds, and Color on the clip's colour transform.
#include <gtest/gtest.h>

#include <memory>

#include "movie/avm1_host/timeline_bridge.h"
#include "movie/timeline/stage.h"
#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::Asm;

// A movie whose root holds the sprite "mc" (a 100x50 pixel shape placed 10 pixels right
// inside it), itself placed at x=50 and stretched twice horizontally; `script` runs in
// the root's first frame.
std::shared_ptr<swf::Movie> movieWith(const Asm& script) {
  auto movie = std::make_shared<swf::Movie>();
  movie->header.version = 7;
  movie->header.frameRate = 12;
  movie->header.frameSize = {0, 11000, 0, 8000};
  swf::ShapeDef shape;
  shape.id = 1;
  shape.bounds = {0, 2000, 0, 1000};
  shape.edgeBounds = shape.bounds;
  movie->dictionary.emplace(1, shape);

  swf::SpriteDef sprite;
  sprite.id = 2;
  sprite.declaredFrameCount = 1;
  swf::PlaceObject inner;
  inner.version = 2;
  inner.depth = 1;
  inner.characterId = 1;
  inner.matrix = swf::Matrix{1, 0, 0, 1, 200, 0};
  sprite.timeline.frames.resize(1);
  sprite.timeline.frames[0].displayTags.push_back(inner);
  movie->dictionary.emplace(2, sprite);

  swf::PlaceObject outer;
  outer.version = 2;
  outer.depth = 1;
  outer.characterId = 2;
  outer.name = "mc";
  outer.matrix = swf::Matrix{2, 0, 0, 1, 1000, 0};
  movie->root.frames.resize(1);
  movie->root.frames[0].displayTags.push_back(outer);
  movie->root.frames[0].actions.push_back({script.bytes()});
  return movie;
}

struct Run {
  std::shared_ptr<swf::Movie> movie;
  std::unique_ptr<Stage> stage;
  std::unique_ptr<TimelineBridge> bridge;
  std::string trace;
};

std::unique_ptr<Run> run(const Asm& script, void (*change)(swf::Movie&) = nullptr) {
  auto r = std::make_unique<Run>();
  r->movie = movieWith(script);
  if (change) change(*r->movie);
  r->stage = std::make_unique<Stage>(r->movie);
  r->stage->traceSink = [out = &r->trace](const std::string& line) { *out += line + "\n"; };
  r->bridge = std::make_unique<TimelineBridge>(*r->stage);
  r->stage->setListener(r->bridge.get());
  r->stage->root().gotoFrame(0);
  r->stage->dispatchEvents();
  return r;
}

// obj.name on the stack.
Asm& member(Asm& a, const std::string& obj, const std::string& name) {
  return a.getVar(obj).push({name}).op(0x4E);
}
Asm& traceMember(Asm& a, const std::string& obj, const std::string& name) {
  return member(a, obj, name).trace();
}
// obj.name = value
Asm& setMember(Asm& a, const std::string& obj, const std::string& name, test::PushItem v) {
  return a.getVar(obj).push({name, v}).op(0x4F);
}
// obj.method(args already pushed, last first); leaves the result on the stack.
Asm& callMethod(Asm& a, const std::string& obj, const std::string& method, int argc) {
  return a.push({argc}).getVar(obj).push({method}).op(0x52);
}

TEST(ClipGeometry, BoundsAndSizeFollowTheShapesAndMatrices) {
  Asm a;
  traceMember(a, "mc", "_width");
  traceMember(a, "mc", "_height");
  // Own coordinates, then the root's.
  a.push({"b"});
  callMethod(a, "mc", "getBounds", 0).op(0x1D);
  for (const char* f : {"xMin", "xMax", "yMin", "yMax"}) traceMember(a, "b", f);
  a.push({"b"}).getVar("_root");
  callMethod(a, "mc", "getBounds", 1).op(0x1D);
  for (const char* f : {"xMin", "xMax", "yMin", "yMax"}) traceMember(a, "b", f);
  // Setting the size scales the clip.
  setMember(a, "mc", "_width", 100);
  traceMember(a, "mc", "_xscale");
  traceMember(a, "mc", "_width");
  setMember(a, "mc", "_height", 100);
  traceMember(a, "mc", "_yscale");
  setMember(a, "mc", "_xscale", 50);
  traceMember(a, "mc", "_width");
  auto r = run(a);
  EXPECT_EQ(r->trace,
            "200\n50\n"
            "10\n110\n0\n50\n"
            "70\n270\n0\n50\n"
            "100\n100\n"
            "200\n"
            "50\n");
}

// The shape becomes a square outline 10 pixels wide (a 5 pixel margin on each side) drawn
// with a stroke that fills the margin: its bounds stay, its edges lie inside.
void strokedOutline(swf::Movie& movie) {
  auto& shape = std::get<swf::ShapeDef>(movie.dictionary.at(1));
  shape.shape.styleTables.resize(1);
  swf::LineStyle stroke;
  stroke.width = 200;
  shape.shape.styleTables[0].lines.push_back(stroke);
  using K = swf::ShapeRecord::Kind;
  swf::ShapeRecord move;
  move.hasMove = move.hasLine = true;
  move.line = 1;
  move.x = move.y = 100;
  shape.shape.records.push_back(move);
  for (auto [x, y] : {std::pair{1900, 100}, {1900, 900}, {100, 900}, {100, 100}}) {
    swf::ShapeRecord edge;
    edge.kind = K::StraightEdge;
    edge.x = x;
    edge.y = y;
    shape.shape.records.push_back(edge);
  }
}

TEST(ClipGeometry, ScalesAndRotationKeepWhatScriptsSet) {
  Asm a;
  // A negative scale mirrors the clip and reads back as set, through a rotation too.
  setMember(a, "mc", "_xscale", -50);
  traceMember(a, "mc", "_xscale");
  traceMember(a, "mc", "_rotation");
  traceMember(a, "mc", "_width");
  a.push({"b"}).getVar("_root");
  callMethod(a, "mc", "getBounds", 1).op(0x1D);
  traceMember(a, "b", "xMin");
  traceMember(a, "b", "xMax");
  setMember(a, "mc", "_rotation", 270);
  traceMember(a, "mc", "_rotation");
  traceMember(a, "mc", "_xscale");
  traceMember(a, "mc", "_yscale");
  // Sizing a mirrored clip keeps it mirrored.
  setMember(a, "mc", "_rotation", 0);
  setMember(a, "mc", "_width", 100);
  traceMember(a, "mc", "_xscale");
  EXPECT_EQ(run(a)->trace, "-50\n0\n50\n-5\n45\n-90\n-50\n100\n-100\n");
}

TEST(ClipGeometry, PointsGoThroughTheWholeMatrixSkewIncluded) {
  Asm a;
  a.push({"p", "x", 10, "y", 5, 2}).op(0x43).op(0x1D);
  a.getVar("p");
  callMethod(a, "mc", "localToGlobal", 1).op(0x17);
  traceMember(a, "p", "x");
  traceMember(a, "p", "y");
  a.getVar("p");
  callMethod(a, "mc", "globalToLocal", 1).op(0x17);
  traceMember(a, "p", "x");
  traceMember(a, "p", "y");
  auto r = run(a, [](swf::Movie& movie) {
    // mc leans: y grows by half of x.
    auto& place = std::get<swf::PlaceObject>(movie.root.frames[0].displayTags[0]);
    place.matrix = swf::Matrix{1, 0.5, 0, 1, 1000, 0};
  });
  EXPECT_EQ(r->trace, "60\n10\n10\n5\n");
}

// A skewed clip stays skewed when scripts change its scale or rotation: the y axis keeps
// its own direction and turns with the x axis.
TEST(ClipGeometry, SkewOutlivesChangesOfScaleAndRotation) {
  Asm a;
  auto tracePoint = [&](int x, int y) {
    a.push({"p", "x", x, "y", y, 2}).op(0x43).op(0x1D);
    a.getVar("p");
    callMethod(a, "mc", "localToGlobal", 1).op(0x17);
    traceMember(a, "p", "x");
    traceMember(a, "p", "y");
  };
  setMember(a, "mc", "_xscale", 200);
  tracePoint(0, 10);
  tracePoint(10, 0);
  setMember(a, "mc", "_rotation", 90);
  traceMember(a, "mc", "_rotation");
  tracePoint(0, 10);
  tracePoint(10, 0);
  auto r = run(a, [](swf::Movie& movie) {
    // mc's y axis leans left: x falls by y.
    auto& place = std::get<swf::PlaceObject>(movie.root.frames[0].displayTags[0]);
    place.matrix = swf::Matrix{1, 0, -1, 1, 1000, 0};
  });
  EXPECT_EQ(r->trace, "40\n10\n70\n0\n90\n40\n-10\n50\n20\n");
}

TEST(ClipGeometry, GetRectLeavesOutTheStrokes) {
  Asm a;
  for (const char* method : {"getRect", "getBounds"}) {
    a.push({"b"});
    callMethod(a, "mc", method, 0).op(0x1D);
    for (const char* f : {"xMin", "xMax", "yMin", "yMax"}) traceMember(a, "b", f);
  }
  const std::string expected = "15\n105\n5\n45\n10\n110\n0\n50\n";
  EXPECT_EQ(run(a, strokedOutline)->trace, expected);
  // DefineShape4 states its edge bounds.
  EXPECT_EQ(run(a,
                [](swf::Movie& movie) {
                  auto& shape = std::get<swf::ShapeDef>(movie.dictionary.at(1));
                  shape.version = 4;
                  shape.edgeBounds = {100, 1900, 100, 900};
                })
                ->trace,
            expected);
}

TEST(ClipGeometry, AnEmptyClipHasNoSizeAndTheFarawayBounds) {
  Asm a;
  a.push({"e", 5, "e", 2}).getVar("_root").push({"createEmptyMovieClip"}).op(0x52).op(0x17);
  a.push({"b"});
  callMethod(a, "e", "getBounds", 0).op(0x1D);
  for (const char* f : {"xMin", "xMax", "yMin", "yMax"}) traceMember(a, "b", f);
  traceMember(a, "e", "_width");
  setMember(a, "e", "_width", 40);  // nothing to scale
  traceMember(a, "e", "_width");
  traceMember(a, "e", "_xscale");
  auto r = run(a);
  EXPECT_EQ(r->trace, "6710886.35\n6710886.35\n6710886.35\n6710886.35\n0\n0\n100\n");
}

TEST(ClipGeometry, ColorSetsAndReadsTheClipsColourTransform) {
  Asm a;
  // c = new Color(mc); c.setRGB(0x336699)
  a.push({"c"}).getVar("mc").push({1, "Color"}).op(0x40).op(0x1D);
  a.push({0x336699});
  callMethod(a, "c", "setRGB", 1).op(0x17);
  callMethod(a, "c", "getRGB", 0).trace();
  a.push({"t"});
  callMethod(a, "c", "getTransform", 0).op(0x1D);
  for (const char* f : {"ra", "rb", "gb", "bb", "aa", "ab"}) traceMember(a, "t", f);
  // A path names the target too; setTransform changes only the fields given.
  a.push({"p"}).push({"mc", 1, "Color"}).op(0x40).op(0x1D);
  a.push({"ra", 50, "ab", -10, 2}).op(0x43);
  callMethod(a, "p", "setTransform", 1).op(0x17);
  a.push({"t"});
  callMethod(a, "c", "getTransform", 0).op(0x1D);
  for (const char* f : {"ra", "rb", "ga", "ab"}) traceMember(a, "t", f);
  auto r = run(a);
  EXPECT_EQ(r->trace, "3368601\n0\n51\n102\n153\n100\n0\n50\n51\n0\n-10\n");

  // The renderer draws what the clip holds.
  DisplayObject* mc = r->stage->root().childByName("mc", false);
  ASSERT_NE(mc, nullptr);
  EXPECT_DOUBLE_EQ(mc->cxform.rMul, 0.5);
  EXPECT_DOUBLE_EQ(mc->cxform.rAdd, 51);
  EXPECT_DOUBLE_EQ(mc->cxform.bAdd, 153);
  EXPECT_DOUBLE_EQ(mc->cxform.aAdd, -10);
  EXPECT_DOUBLE_EQ(mc->cxform.aMul, 1);
}

TEST(ClipGeometry, ColorTransformsHoldWhatFixedPointHolds) {
  Asm a;
  a.push({"c"}).getVar("mc").push({1, "Color"}).op(0x40).op(0x1D);
  // Multipliers in 1/256 steps, offsets whole, both wrapping as 16-bit values; a field
  // that is not a number counts as 0.
  a.push({"ba", 32.0, "rb", 99.9, "aa", 12800, "gb", "x", 4}).op(0x43);
  callMethod(a, "c", "setTransform", 1).op(0x17);
  a.push({"t"});
  callMethod(a, "c", "getTransform", 0).op(0x1D);
  for (const char* f : {"ba", "rb", "aa", "gb", "ra"}) traceMember(a, "t", f);
  traceMember(a, "mc", "_alpha");
  // _alpha finer than the transform holds reads back as held.
  setMember(a, "mc", "_alpha", 60);
  a.push({"t"});
  callMethod(a, "c", "getTransform", 0).op(0x1D);
  traceMember(a, "t", "aa");
  // The Color keeps what it was given as `target`.
  traceMember(a, "c", "target");
  auto r = run(a);
  EXPECT_EQ(r->trace, "31.640625\n99\n-12800\n0\n100\n-12800\n59.765625\n_level0.mc\n");
}

TEST(ClipGeometry, ColorWithoutAClipDoesNothing) {
  Asm a;
  a.push({"c", 5, 1, "Color"}).op(0x40).op(0x1D);
  a.push({0xFF0000});
  callMethod(a, "c", "setRGB", 1).op(0x17);
  callMethod(a, "c", "getRGB", 0).trace();
  a.push({"n", 0, "Color"}).op(0x40).op(0x1D);
  callMethod(a, "n", "getTransform", 0).trace();
  auto r = run(a);
  EXPECT_EQ(r->trace, "undefined\nundefined\n");
  EXPECT_TRUE(r->stage->root().childByName("mc", false)->cxform.isIdentity());
}

}  // namespace
}  // namespace orv::movie::avm1
