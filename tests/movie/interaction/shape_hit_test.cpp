// Points against shape geometry: fills by the two-fill edge model (holes, curves,
// overlaps under both fill rules) and strokes by their width.
#include <gtest/gtest.h>

// Designated initialisers leave the other record fields at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <cmath>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "movie/render/hit_test.h"
#include "movie/swf/types.h"

using namespace orv::movie;
using render::shapeContains;

namespace {

swf::ShapeEdge line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t fill0, uint32_t fill1,
                    uint32_t lineStyle = 0) {
  swf::ShapeEdge e;
  e.x0 = x0;
  e.y0 = y0;
  e.x1 = x1;
  e.y1 = y1;
  e.cx = x1;
  e.cy = y1;
  e.fill0 = fill0;
  e.fill1 = fill1;
  e.line = lineStyle;
  return e;
}
// A square outline going round clockwise (y down), its fills as given.
void square(std::vector<swf::ShapeEdge>& out, int32_t x0, int32_t y0, int32_t size, uint32_t fill0,
            uint32_t fill1) {
  const int32_t x1 = x0 + size, y1 = y0 + size;
  out.push_back(line(x0, y0, x1, y0, fill0, fill1));
  out.push_back(line(x1, y0, x1, y1, fill0, fill1));
  out.push_back(line(x1, y1, x0, y1, fill0, fill1));
  out.push_back(line(x0, y1, x0, y0, fill0, fill1));
}
std::vector<swf::StyleTable> oneFill(uint16_t lineWidth = 0, bool withLine = false) {
  std::vector<swf::StyleTable> t(1);
  t[0].fills.resize(1);
  if (withLine) {
    t[0].lines.resize(1);
    t[0].lines[0].width = lineWidth;
  }
  return t;
}

}  // namespace

TEST(ShapeHits, ARingHasAHoleUnderBothRules) {
  std::vector<swf::ShapeEdge> edges;
  square(edges, 0, 0, 1000, 0, 1);     // the fill on the inside of the outer square
  square(edges, 300, 300, 400, 1, 0);  // and on the outside of the inner one
  for (bool nonZero : {false, true}) {
    EXPECT_TRUE(shapeContains(oneFill(), edges, 100, 500, nonZero));
    EXPECT_TRUE(shapeContains(oneFill(), edges, 850, 850, nonZero));
    EXPECT_FALSE(shapeContains(oneFill(), edges, 500, 500, nonZero)) << nonZero;
    EXPECT_FALSE(shapeContains(oneFill(), edges, 1100, 500, nonZero));
    EXPECT_FALSE(shapeContains(oneFill(), edges, -5, 500, nonZero));
  }
}

TEST(ShapeHits, OverlapsAreHolesOnlyUnderEvenOdd) {
  std::vector<swf::ShapeEdge> edges;
  square(edges, 0, 0, 1000, 0, 1);
  square(edges, 500, 500, 1000, 0, 1);
  EXPECT_FALSE(shapeContains(oneFill(), edges, 750, 750, false));
  EXPECT_TRUE(shapeContains(oneFill(), edges, 750, 750, true));
  EXPECT_TRUE(shapeContains(oneFill(), edges, 250, 250, false));
  EXPECT_TRUE(shapeContains(oneFill(), edges, 1250, 1250, false));
}

TEST(ShapeHits, CurvedEdgesAreFollowedNotTheirBoundingBox) {
  std::vector<swf::ShapeEdge> edges;
  edges.push_back(line(0, 0, 1000, 0, 0, 1));
  swf::ShapeEdge curve = line(1000, 0, 0, 1000, 0, 1);
  curve.curved = true;
  curve.cx = 1000;
  curve.cy = 1000;  // passes through (750, 750)
  edges.push_back(curve);
  edges.push_back(line(0, 1000, 0, 0, 0, 1));
  EXPECT_TRUE(shapeContains(oneFill(), edges, 650, 650, false));
  EXPECT_FALSE(shapeContains(oneFill(), edges, 850, 850, false));
  EXPECT_TRUE(shapeContains(oneFill(), edges, 980, 30, false));
  EXPECT_FALSE(shapeContains(oneFill(), edges, 980, 900, false));
}

TEST(ShapeHits, StrokesAreHitWithinHalfTheirWidthAndHairlinesLikeOnePixel) {
  std::vector<swf::ShapeEdge> edges{line(0, 0, 1000, 0, 0, 0, 1)};
  EXPECT_TRUE(shapeContains(oneFill(100, true), edges, 500, 45, false));
  EXPECT_FALSE(shapeContains(oneFill(100, true), edges, 500, 60, false));
  EXPECT_TRUE(shapeContains(oneFill(100, true), edges, 1040, 0, false));  // round end
  EXPECT_TRUE(shapeContains(oneFill(0, true), edges, 500, 9, false));
  EXPECT_FALSE(shapeContains(oneFill(0, true), edges, 500, 15, false));
  // Without its line style the same edge is nothing at all.
  EXPECT_FALSE(shapeContains(oneFill(), edges, 500, 0, false));
}

TEST(ShapeHits, EdgesWithTheSameFillOnBothSidesOrUnknownStylesAreNoBoundary) {
  std::vector<swf::ShapeEdge> edges;
  square(edges, 0, 0, 1000, 1, 1);
  EXPECT_FALSE(shapeContains(oneFill(), edges, 500, 500, false));
  edges.clear();
  square(edges, 0, 0, 1000, 0, 7);  // only one fill exists
  EXPECT_FALSE(shapeContains(oneFill(), edges, 500, 500, false));
  for (auto& e : edges) e.styleTable = 3;  // no such table
  EXPECT_FALSE(shapeContains(oneFill(), edges, 500, 500, false));
  EXPECT_FALSE(shapeContains({}, edges, 500, 500, false));
}

TEST(ShapeHits, CharactersAreTestedThroughTheirDefinitions) {
  auto movie = std::make_shared<swf::Movie>();
  swf::ShapeDef shape;
  shape.id = 1;
  shape.bounds = {0, 1000, 0, 1000};
  shape.shape.styleTables = oneFill();
  shape.shape.records.push_back(
      {.kind = swf::ShapeRecord::Kind::StyleChange, .hasMove = true, .hasFill1 = true, .fill1 = 1});
  for (auto [x, y] : std::initializer_list<std::pair<int32_t, int32_t>>{
           {1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}})
    shape.shape.records.push_back({.kind = swf::ShapeRecord::Kind::StraightEdge, .x = x, .y = y});
  movie->dictionary[1] = shape;
  swf::ButtonDef button;
  button.id = 2;
  swf::ButtonRecord visible;
  visible.up = true;
  visible.characterId = 1;
  swf::ButtonRecord hit = visible;
  hit.up = false;
  hit.hitTest = true;
  hit.matrix.tx = 5000;  // the hit area is beside the picture
  button.records = {visible, hit};
  movie->dictionary[2] = button;
  swf::ButtonDef selfHit;
  selfHit.id = 3;
  swf::ButtonRecord loop;
  loop.hitTest = true;
  loop.characterId = 3;
  selfHit.records = {loop};
  movie->dictionary[3] = selfHit;

  render::HitTester tester(movie.get());
  EXPECT_TRUE(tester.contains(*movie->find(1), 0, 500, 500));
  EXPECT_FALSE(tester.contains(*movie->find(1), 0, 1500, 500));
  EXPECT_FALSE(tester.contains(*movie->find(2), 0, 500, 500));
  EXPECT_TRUE(tester.contains(*movie->find(2), 0, 5500, 500));
  EXPECT_FALSE(tester.contains(*movie->find(3), 0, 0, 0));
  EXPECT_FALSE(tester.contains(*movie->find(1), 0, NAN, 500));
}
