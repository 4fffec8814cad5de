// Morph shapes between their start and end: edges, colours (truncated like
// the reference player's) and the drawn result at a ratio.
#include <gtest/gtest.h>

#include "movie/render/movie_renderer.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

swf::MorphShapeDef redSquareToBlueBar() {
  swf::MorphShapeDef m;
  m.startShape =
      test::makeShape("M 0 0 F1 1 l 200 0 l 200 200 l 0 200 l 0 0", {test::solidFill(255, 0, 0)});
  m.endShape =
      test::makeShape("M 0 0 F1 1 l 400 0 l 400 200 l 0 200 l 0 0", {test::solidFill(0, 0, 255)});
  return m;
}

TEST(Morph, EdgesAndColoursAtARatio) {
  const auto m = redSquareToBlueBar();
  std::vector<swf::StyleTable> tables;
  std::vector<swf::ShapeEdge> edges;
  interpolateMorph(m, 0, tables, edges);
  ASSERT_EQ(edges.size(), 4u);
  EXPECT_EQ(edges[0].x1, 200);
  EXPECT_EQ(tables[0].fills[0].color.r, 255);

  interpolateMorph(m, 32768, tables, edges);
  EXPECT_EQ(edges[0].x1, 300);
  // Two thirds of the way: 255 -> 0 gives 84.99.., truncated to 84.
  interpolateMorph(m, 43691, tables, edges);
  EXPECT_EQ(tables[0].fills[0].color.r, 84);
  EXPECT_EQ(tables[0].fills[0].color.b, 170);

  interpolateMorph(m, 65535, tables, edges);
  EXPECT_EQ(edges[0].x1, 400);
  EXPECT_EQ(tables[0].fills[0].color.b, 255);
  EXPECT_EQ(tables[0].fills[0].color.r, 0);
}

TEST(Morph, DrawnAtTheNodesRatio) {
  const swf::Character morph = redSquareToBlueBar();
  DisplayNode node;
  node.character = &morph;
  node.depth = 1;
  node.ratio = 65535;
  test::Frame f(30, 12);
  MovieRenderer r;
  r.render({node}, f.surface(), {0, 0, 600, 240}, RenderQuality::High, 0xFFFFFF);
  EXPECT_EQ(f.at(5, 5), 0xFF0000FFu);
  EXPECT_EQ(f.at(15, 5), 0xFF0000FFu);
  EXPECT_EQ(f.at(25, 5), 0xFFFFFFFFu);
}

TEST(Morph, MismatchedShapesDrawWhatPairs) {
  swf::MorphShapeDef m = redSquareToBlueBar();
  m.endShape = test::makeShape("M 0 0 F1 1 l 400 0", {test::solidFill(0, 0, 255)});
  std::vector<swf::StyleTable> tables;
  std::vector<swf::ShapeEdge> edges;
  interpolateMorph(m, 30000, tables, edges);
  EXPECT_EQ(edges.size(), 1u);
  m.endShape = {};
  interpolateMorph(m, 30000, tables, edges);
  EXPECT_TRUE(edges.empty());
}

}  // namespace
}  // namespace orv::movie::render
