// Strokes at the high qualities: four point samples a pixel (fills keep
// exact areas), and strokes a pixel wide or thinner drawn one pixel thick
// along their main axis, as the reference images show.
#include <gtest/gtest.h>

#include <string>

#include "movie/render/movie_renderer.h"
#include "movie/render/shape_renderer.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

using test::Frame;
using test::makeShape;
using test::solidFill;
using test::solidLine;

// A row of black-on-white pixels as samples inside: '.' none, '1' to '3',
// '4' all; '?' for a grey no count of samples gives.
std::string samples(const Frame& f, int y, int x0, int x1) {
  std::string s;
  for (int x = x0; x < x1; ++x) {
    const int v = 255 - test::channel(f.at(x, y), 16);
    s += v == 0 ? '.' : v == 64 ? '1' : v == 128 ? '2' : v == 192 ? '3' : v == 255 ? '4' : '?';
  }
  return s;
}

// Black strokes drawn at 1:1 (20 twips a pixel) with four samples a pixel.
Frame drawStrokes(const swf::Shape& s, int w, int h) {
  Frame f(w, h);
  Canvas canvas(f.surface());
  DrawSettings settings;
  settings.antialias = AntiAlias::Area;
  settings.strokeAntialias = AntiAlias::FourSamples;
  ShapeRenderer(canvas, settings, nullptr)
      .draw(s.styleTables, swf::shapeEdges(s), Affine::scale(1 / 20.0, 1 / 20.0), {});
  return f;
}

TEST(StrokeQuality, HighSamplesStrokesFourTimesAndMediumFindsTheirArea) {
  // A fill whose right edge is at x = 8.6 and a 3 px stroke along y = 10.1
  // (its sides at 8.6 and 11.6), in a 30x20 px view.
  swf::ShapeDef def;
  def.shape = makeShape(
      "M 40 40 F1 1 l 172 40 l 172 360 l 40 360 l 40 40 "
      "M 240 202 F1 0 L 1 l 560 202",
      {solidFill(0, 0, 0)}, {solidLine(60, 0, 0, 0)});
  const swf::Character shape = def;
  DisplayNode node;
  node.character = &shape;
  node.depth = 1;
  auto render = [&](RenderQuality q) {
    Frame f(30, 20);
    MovieRenderer r;
    r.render({node}, f.surface(), {0, 0, 600, 400}, q, 0xFFFFFF);
    return f;
  };
  const Frame high = render(RenderQuality::High), best = render(RenderQuality::Best),
              medium = render(RenderQuality::Medium), low = render(RenderQuality::Low);
  // The fill covers 0.6 of column 8 wherever anti-aliased.
  for (const Frame* f : {&high, &best, &medium})
    EXPECT_NEAR(test::channel(f->at(8, 10), 16), 102, 1);
  EXPECT_EQ(low.at(8, 10), 0xFF000000u);
  // The stroke's rows 8 and 11: two samples each (y+0.75 and y+0.25) at
  // High and Best, 0.4 and 0.6 of their area at Medium.
  for (const Frame* f : {&high, &best}) {
    EXPECT_EQ(samples(*f, 7, 18, 22), "....");
    EXPECT_EQ(samples(*f, 8, 18, 22), "2222");
    EXPECT_EQ(samples(*f, 10, 18, 22), "4444");
    EXPECT_EQ(samples(*f, 11, 18, 22), "2222");
    EXPECT_EQ(samples(*f, 12, 18, 22), "....");
  }
  EXPECT_NEAR(test::channel(medium.at(20, 8), 16), 153, 1);
  EXPECT_NEAR(test::channel(medium.at(20, 11), 16), 102, 1);
  EXPECT_EQ(low.at(20, 8), 0xFFFFFFFFu);
  EXPECT_EQ(low.at(20, 11), 0xFF000000u);
}

TEST(StrokeQuality, ThinStrokesArePixelThickAlongTheirMainAxis) {
  // From (2, 3.1) to (22, 13.1) px, a hairline and a stroke of one pixel:
  // each covers the samples less than half a pixel above or below it, the
  // path taken a quarter pixel right and down (on the sample grid). In row 8
  // that is x in (11.05, 13.05] on y=8.25 and (12.05, 14.05] on y=8.75.
  for (uint16_t width : {0, 20, 10}) {
    const swf::Shape s = makeShape("M 40 62 L 1 l 440 262", {}, {solidLine(width, 0, 0, 0)});
    const Frame f = drawStrokes(s, 30, 20);
    EXPECT_EQ(samples(f, 8, 9, 16), "..242..") << "width " << width;
    EXPECT_EQ(samples(f, 9, 11, 18), "..242..") << "width " << width;
    // It starts where its path starts (x = 2.25): no caps.
    EXPECT_EQ(samples(f, 2, 0, 4), "....") << "width " << width;
    EXPECT_EQ(samples(f, 3, 0, 5), "..42.") << "width " << width;
  }
  // Steep: one pixel across, two samples in every sample row.
  const swf::Shape steep = makeShape("M 62 40 L 1 l 262 440", {}, {solidLine(0, 0, 0, 0)});
  const Frame f = drawStrokes(steep, 20, 30);
  for (int y = 3; y < 21; ++y) {
    int inside = 0;
    for (char c : samples(f, y, 0, 20)) inside += c == '.' ? 0 : c - '0';
    EXPECT_EQ(inside, 4) << "row " << y << ": " << samples(f, y, 0, 20);
  }
  // Two pixels wide is a stroke like any other.
  const swf::Shape wide = makeShape("M 40 62 L 1 l 440 262", {}, {solidLine(40, 0, 0, 0)});
  int inside = 0;
  for (char c : samples(drawStrokes(wide, 30, 20), 8, 0, 30)) inside += c == '.' ? 0 : c - '0';
  EXPECT_GT(inside, 8);
}

TEST(StrokeQuality, ThinOutlinesMeetWithoutJoins) {
  // A one-pixel square outline round (2, 2) - (12, 12): its sides cover
  // [1.75, 2.75) across and start at 2.25 along; the corner's outer samples
  // stay empty.
  const swf::Shape s =
      makeShape("M 40 40 L 1 l 240 40 l 240 240 l 40 240 l 40 40", {}, {solidLine(20, 0, 0, 0)});
  const Frame f = drawStrokes(s, 16, 16);
  EXPECT_EQ(samples(f, 1, 0, 14), "..2222222222..");
  EXPECT_EQ(samples(f, 2, 0, 14), ".232222222232.");
  EXPECT_EQ(samples(f, 6, 0, 14), ".22........22.");
  EXPECT_EQ(samples(f, 11, 0, 14), ".232222222232.");
  EXPECT_EQ(samples(f, 12, 0, 14), "..2222222222..");
}

}  // namespace
}  // namespace orv::movie::render
