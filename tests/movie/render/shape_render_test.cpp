// Shapes through the whole pipeline: the two-fill edge model, strokes over
// fills, colour transforms, masks and quality (anti-aliasing on/off).
#include <gtest/gtest.h>

#include <random>

#include "movie/render/shape_renderer.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

using test::Frame;
using test::makeShape;
using test::solidFill;
using test::solidLine;

constexpr uint32_t kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kBlack = 0xFF000000;
const Affine kTwipsToPixels = Affine::scale(1 / 20.0, 1 / 20.0);

void draw(Frame& f, const swf::Shape& s, const Affine& m = kTwipsToPixels,
          const ColorTransform& cx = {}, AntiAlias aa = AntiAlias::Area) {
  Canvas canvas(f.surface());
  DrawSettings settings;
  settings.antialias = settings.strokeAntialias = aa;
  ShapeRenderer r(canvas, settings, nullptr);
  r.draw(s.styleTables, swf::shapeEdges(s), m, cx);
}

TEST(ShapeRender, EdgesPaintTheFillOnEachSide) {
  // A 20x10 px rectangle split down the middle: the outer edges carry one
  // fill each, the shared middle edge carries both (red left, blue right).
  const swf::Shape s = makeShape(
      "M 0 0 F1 1 l 200 0 l 200 200 l 0 200 l 0 0 "
      "M 200 0 F0 1 F1 2 l 200 200 "
      "M 200 0 F0 0 F1 2 l 400 0 l 400 200 l 200 200",
      {solidFill(255, 0, 0), solidFill(0, 0, 255)});
  Frame f(30, 12);
  draw(f, s);
  EXPECT_EQ(f.at(5, 5), kRed);
  EXPECT_EQ(f.at(15, 5), kBlue);
  EXPECT_EQ(f.at(25, 5), kWhite);
  EXPECT_EQ(f.at(5, 11), kWhite);
}

TEST(ShapeRender, FillsOnTheLeftSideCountToo) {
  // The same square drawn clockwise with fill0 (left) as its only style.
  const swf::Shape s =
      makeShape("M 0 0 F0 1 l 0 200 l 200 200 l 200 0 l 0 0", {solidFill(0, 0, 255)});
  Frame f(12, 12);
  draw(f, s);
  EXPECT_EQ(f.at(5, 5), kBlue);
  EXPECT_EQ(f.at(10, 10), kWhite);
}

TEST(ShapeRender, HolesComeFromInnerContours) {
  const swf::Shape s = makeShape(
      "M 0 0 F1 1 l 400 0 l 400 400 l 0 400 l 0 0 "
      "M 100 100 l 100 300 l 300 300 l 300 100 l 100 100",
      {solidFill(255, 0, 0)});
  Frame f(20, 20);
  draw(f, s);
  EXPECT_EQ(f.at(2, 2), kRed);
  EXPECT_EQ(f.at(10, 10), kWhite);
}

TEST(ShapeRender, StrokesAreDrawnOverFillsWithScaledWidth) {
  // 2 px (40 twips) black stroke along the top of a red square, at 2x scale.
  const swf::Shape s = makeShape("M 0 100 F1 1 L 1 l 200 100 L 0 l 200 300 l 0 300 l 0 100",
                                 {solidFill(255, 0, 0)}, {solidLine(40, 0, 0, 0)});
  Frame f(30, 40);
  draw(f, s, Affine::scale(2 / 20.0, 2 / 20.0));
  // The edge runs at y = 10 px; the 4 px wide stroke covers rows 8..11.
  EXPECT_EQ(f.at(10, 8), kBlack);
  EXPECT_EQ(f.at(10, 11), kBlack);
  EXPECT_EQ(f.at(10, 7), kWhite);
  EXPECT_EQ(f.at(10, 12), kRed);
  // Round caps reach 2 px past the ends.
  EXPECT_EQ(f.at(20, 10), kBlack);
  EXPECT_EQ(f.at(23, 10), kWhite);
}

TEST(ShapeRender, HairlinesStayOnePixelWide) {
  const swf::Shape s = makeShape("M 10 110 L 1 l 390 110", {}, {solidLine(0, 0, 0, 0)});
  Frame f(20, 20);
  draw(f, s);
  int dark = 0;
  for (int y = 0; y < 20; ++y)
    if (test::channel(f.at(10, y), 16) < 128) ++dark;
  EXPECT_EQ(dark, 1);
}

TEST(ShapeRender, ColorTransformChangesFillColours) {
  const swf::Shape s =
      makeShape("M 0 0 F1 1 l 200 0 l 200 200 l 0 200 l 0 0", {solidFill(200, 100, 50)});
  Frame f(10, 10, 0);
  ColorTransform cx;
  cx.rMul = 0.5f;
  cx.gAdd = 50;
  cx.aMul = 0.5f;
  draw(f, s, kTwipsToPixels, cx);
  const uint32_t p = f.at(5, 5);
  // Alpha 128 (premultiplied): red 100*128/255, green 150*128/255.
  EXPECT_NEAR(test::channel(p, 24), 128, 1);
  EXPECT_NEAR(test::channel(p, 16), 50, 1);
  EXPECT_NEAR(test::channel(p, 8), 75, 1);
}

TEST(ShapeRender, LowQualityHasNoPartialPixels) {
  const swf::Shape s = makeShape("M 13 17 F1 1 l 187 9 l 150 170 l 13 17", {solidFill(0, 0, 0)});
  Frame aa(12, 12), low(12, 12);
  draw(aa, s);
  draw(low, s, kTwipsToPixels, {}, AntiAlias::Off);
  int partialAa = 0, partialLow = 0;
  for (uint32_t p : aa.pixels) partialAa += (p != kWhite && p != kBlack);
  for (uint32_t p : low.pixels) partialLow += (p != kWhite && p != kBlack);
  EXPECT_GT(partialAa, 5);
  EXPECT_EQ(partialLow, 0);
}

// A line that does not scale one way keeps the other axis's scale: under a
// stretch of 10 across and 2 down (device 0.5 and 0.1 px per twip), a 20-twip
// line is 10 px thick without vertical scaling, 2 px without horizontal, and
// one pixel (the stage's own scale) with neither.
TEST(ShapeRender, LinesScaleByTheAxisTheyKeep) {
  auto thickness = [](bool noH, bool noV) {
    swf::LineStyle line = solidLine(20, 0, 0, 0);
    line.noHScale = noH;
    line.noVScale = noV;
    const swf::Shape s = makeShape("M 0 150 L 1 l 400 150", {}, {line});
    Frame f(210, 30);
    draw(f, s, Affine::scale(0.5, 0.1));
    int covered = 0;
    for (int y = 0; y < 30; ++y) covered += 255 - test::channel(f.at(100, y), 16);
    return covered / 255.0;
  };
  EXPECT_NEAR(thickness(false, true), 10, 0.1);
  EXPECT_NEAR(thickness(true, false), 2, 0.1);
  EXPECT_NEAR(thickness(true, true), 1, 0.1);
}

// Stretched without turning (a window wider than the movie), the pen stretches too: a
// 40-twip line at 0.1 px per twip across and 0.05 down is 4 px thick where it runs
// down and 2 px where it runs across.
TEST(ShapeRender, StrokesStretchWithThePicture) {
  const swf::Shape s = makeShape("M 100 100 L 1 l 300 100 l 300 300 l 100 300 l 100 100", {},
                                 {solidLine(40, 0, 0, 0)});
  Frame f(40, 20);
  draw(f, s, Affine::scale(0.1, 0.05));
  double across = 0, down = 0;
  for (int x = 0; x < 20; ++x) across += (255 - test::channel(f.at(x, 10), 16)) / 255.0;
  for (int y = 0; y < 10; ++y) down += (255 - test::channel(f.at(20, y), 16)) / 255.0;
  EXPECT_NEAR(across, 4, 0.1) << "the left side, running down";
  EXPECT_NEAR(down, 2, 0.1) << "the top, running across";
}

TEST(ShapeRender, MasksClipContentAndNest) {
  const swf::Shape left =
      makeShape("M 0 0 F1 1 l 100 0 l 100 200 l 0 200 l 0 0", {solidFill(0, 0, 0)});
  const swf::Shape top =
      makeShape("M 0 0 F1 1 l 200 0 l 200 100 l 0 100 l 0 0", {solidFill(0, 0, 0)});
  const swf::Shape all =
      makeShape("M 0 0 F1 1 l 200 0 l 200 200 l 0 200 l 0 0", {solidFill(255, 0, 0)});
  Frame f(10, 10);
  Canvas canvas(f.surface());
  ShapeRenderer r(canvas, {}, nullptr);
  auto drawShape = [&](const swf::Shape& s) {
    r.draw(s.styleTables, swf::shapeEdges(s), kTwipsToPixels, {});
  };
  canvas.beginMask();
  drawShape(left);
  canvas.endMask();
  canvas.beginMask();
  drawShape(top);
  canvas.endMask();
  drawShape(all);  // only the top-left quarter shows
  canvas.popMask();
  canvas.popMask();
  EXPECT_EQ(f.at(2, 2), kRed);
  EXPECT_EQ(f.at(7, 2), kWhite);
  EXPECT_EQ(f.at(2, 7), kWhite);
  EXPECT_EQ(f.at(7, 7), kWhite);
  drawShape(all);  // masks popped: everything
  EXPECT_EQ(f.at(7, 7), kRed);
}

// A mask edge half way across a pixel lets half of the content through there,
// for solid, translucent and gradient content alike; outside the mask's
// extent nothing is painted.
TEST(ShapeRender, MaskEdgesLetContentThroughByCoverage) {
  const swf::Shape mask =
      makeShape("M 0 0 F1 1 l 110 0 l 110 200 l 0 200 l 0 0", {solidFill(0, 0, 0)});
  swf::FillStyle gradient;
  gradient.type = swf::FillType::LinearGradient;
  gradient.gradient.records = {{0, {0, 0, 255, 255}}, {255, {0, 0, 255, 255}}};
  const swf::Shape opaque =
      makeShape("M 0 0 F1 1 l 200 0 l 200 60 l 0 60 l 0 0", {solidFill(255, 0, 0)});
  const swf::Shape translucent =
      makeShape("M 0 60 F1 1 l 200 60 l 200 120 l 0 120 l 0 60", {solidFill(255, 0, 0, 128)});
  const swf::Shape ramp = makeShape("M 0 120 F1 1 l 200 120 l 200 200 l 0 200 l 0 120", {gradient});
  Frame f(10, 10);
  Canvas canvas(f.surface());
  ShapeRenderer r(canvas, {}, nullptr);
  auto drawShape = [&](const swf::Shape& s) {
    r.draw(s.styleTables, swf::shapeEdges(s), kTwipsToPixels, {});
  };
  canvas.beginMask();
  drawShape(mask);
  canvas.endMask();
  drawShape(opaque);
  drawShape(translucent);
  drawShape(ramp);
  canvas.popMask();
  EXPECT_EQ(f.at(2, 1), kRed);
  EXPECT_NEAR(test::channel(f.at(5, 1), 8), 128, 2);  // half red over white
  EXPECT_EQ(test::channel(f.at(5, 1), 16), 255);
  EXPECT_NEAR(test::channel(f.at(2, 4), 8), 127, 2);  // half-transparent red
  EXPECT_NEAR(test::channel(f.at(5, 4), 8), 191, 2);  // and half of that again
  EXPECT_EQ(f.at(2, 8), kBlue);
  EXPECT_NEAR(test::channel(f.at(5, 8), 16), 128, 2);  // half blue over white
  for (int y = 0; y < 10; ++y)
    for (int x = 6; x < 10; ++x) EXPECT_EQ(f.at(x, y), kWhite) << x << "," << y;
  EXPECT_EQ(canvas.painted().x1, 6);
}

TEST(ShapeRender, DeepMaskNestingIsBounded) {
  const swf::Shape all =
      makeShape("M 0 0 F1 1 l 200 0 l 200 200 l 0 200 l 0 0", {solidFill(255, 0, 0)});
  Frame f(10, 10);
  Canvas canvas(f.surface());
  ShapeRenderer r(canvas, {}, nullptr);
  for (int i = 0; i < 1000; ++i) {
    canvas.beginMask();
    r.draw(all.styleTables, swf::shapeEdges(all), kTwipsToPixels, {});
    canvas.endMask();
  }
  EXPECT_LE(canvas.maskDepth(), Canvas::kMaxMaskDepth);
  for (int i = 0; i < 1000; ++i) canvas.popMask();
  EXPECT_EQ(canvas.maskDepth(), 0);
  r.draw(all.styleTables, swf::shapeEdges(all), kTwipsToPixels, {});
  EXPECT_EQ(f.at(5, 5), kRed);
}

TEST(ShapeRender, CurvesAreFlattenedSmoothly) {
  // A disc of radius 100 px from four quadratic arcs: area close to pi r^2
  // (quadratics bulge a little past the circle).
  const swf::Shape s = makeShape(
      "M 2000 4000 F1 1 q 4000 4000 4000 2000 q 4000 0 2000 0 q 0 0 0 2000 q 0 4000 2000 4000",
      {solidFill(0, 0, 0)});
  Frame f(210, 210);
  draw(f, s);
  double covered = 0;
  for (uint32_t p : f.pixels) covered += (255 - test::channel(p, 16)) / 255.0;
  // Each quarter: the triangle to the chord (r²/2) plus the parabolic
  // segment beyond it (2/3 of the r²/2 control triangle).
  const double expected = 4 * 100.0 * 100.0 * (0.5 + 1.0 / 3);
  EXPECT_NEAR(covered, expected, expected * 0.004);  // chords cut a sliver
}

}  // namespace
}  // namespace orv::movie::render

namespace orv::movie::render {
namespace {

// The mask is the area its shapes fill: a thick outline around a small square
// lets nothing through where only the outline lies.
TEST(ShapeRender, MaskOutlinesLetNothingThrough) {
  const swf::Shape outlined = makeShape("M 60 60 F1 1 L 1 l 140 60 l 140 140 l 60 140 l 60 60",
                                        {solidFill(0, 0, 0)}, {solidLine(60, 0, 0, 0)});
  const swf::Shape all =
      makeShape("M 0 0 F1 1 l 200 0 l 200 200 l 0 200 l 0 0", {solidFill(255, 0, 0)});
  Frame f(10, 10);
  Canvas canvas(f.surface());
  ShapeRenderer r(canvas, {}, nullptr);
  canvas.beginMask();
  r.draw(outlined.styleTables, swf::shapeEdges(outlined), kTwipsToPixels, {});
  canvas.endMask();
  r.draw(all.styleTables, swf::shapeEdges(all), kTwipsToPixels, {});
  canvas.popMask();
  EXPECT_EQ(f.at(5, 5), kRed);    // inside the filled square
  EXPECT_EQ(f.at(2, 5), kWhite);  // under the outline only
  EXPECT_EQ(f.at(5, 8), kWhite);
  // Drawn normally, the same shape shows its outline.
  Frame plain(10, 10);
  draw(plain, outlined);
  EXPECT_EQ(plain.at(2, 5), kBlack);
}

// Without anti-aliasing a pixel is the colour of the side its centre is on.
// A curve that strays no more than a tenth of a pixel from its chord is drawn
// as the chord; one that strays further keeps its bulge.
TEST(ShapeRender, LowQualityCurvesWithinATenthOfAPixelAreTheirChord) {
  // The chord runs at y = 5.45 px, just above row 5's pixel centres (5.5).
  // A control point 4 twips below it bends the curve 2 twips (0.1 px) away,
  // to 5.55; 6 twips bend it 0.15 px, to 5.6.
  auto row5 = [](int controlBelow) {
    const swf::Shape s = makeShape(
        "M 0 0 F1 1 l 400 0 l 400 109 q 200 " + std::to_string(109 + controlBelow) + " 0 109 l 0 0",
        {solidFill(0, 0, 0)});
    Frame f(20, 10);
    draw(f, s, kTwipsToPixels, {}, AntiAlias::Off);
    int black = 0;
    for (int x = 0; x < 20; ++x) black += f.at(x, 5) == kBlack;
    return black;
  };
  EXPECT_EQ(row5(4), 0);
  EXPECT_GT(row5(6), 0);
  EXPECT_LT(row5(6), 20);
}

// Edge positions are kept to 1/256 pixel, as graphics hardware rasterises:
// an edge a thousandth of a pixel below a row of pixel centres counts as
// running through them, and the centres on it belong to the side below.
TEST(ShapeRender, LowQualityEdgesSnapToTheSubpixelGrid) {
  const swf::Shape s =
      makeShape("M 0 0 F1 1 l 200 0 l 200 110 l 0 110 l 0 0", {solidFill(0, 0, 0)});
  Frame f(10, 12);
  // The square spans y = 0.001 .. 5.501 px.
  draw(f, s, Affine::translate(0, 0.001) * kTwipsToPixels, {}, AntiAlias::Off);
  EXPECT_EQ(f.at(5, 0), kBlack);
  EXPECT_EQ(f.at(5, 4), kBlack);
  EXPECT_EQ(f.at(5, 5), kWhite);
}

}  // namespace
}  // namespace orv::movie::render

namespace orv::movie::render {
namespace {

// Many small fills on both sides of random lines and curves, partly off the
// frame: the kind of shape whose device lines are kept between frames.
swf::Shape randomMosaic(std::mt19937& rng, int fills) {
  std::uniform_int_distribution<int> coord(-400, 2400), style(0, fills);
  std::string path;
  for (int i = 0; i < 60; ++i) {
    path += "M " + std::to_string(coord(rng)) + " " + std::to_string(coord(rng)) + " F0 " +
            std::to_string(style(rng)) + " F1 " + std::to_string(style(rng));
    for (int k = 0; k < 3; ++k) {
      if (rng() % 3 == 0)
        path += " q " + std::to_string(coord(rng)) + " " + std::to_string(coord(rng)) + " ";
      else
        path += " l ";
      path += std::to_string(coord(rng)) + " " + std::to_string(coord(rng));
    }
    path += " ";
  }
  std::vector<swf::FillStyle> styles;
  for (int f = 0; f < fills; ++f)
    styles.push_back(
        solidFill(uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(128 + rng() % 128)));
  return makeShape(path, styles);
}

TEST(ShapeRender, RedrawingWithKeptFillsMatchesDrawingAfresh) {
  // One sweep kept across draws, as the movie renderer keeps it between
  // frames; each picture must equal the one a fresh sweep draws, whatever
  // changed in between (nothing, the matrix, the edges in place, the
  // colours, the quality, the frame).
  std::mt19937 rng(5);
  swf::Shape shape = randomMosaic(rng, 9);
  std::vector<swf::ShapeEdge> edges = swf::shapeEdges(shape);
  FillSweep kept;
  Rasterizer keptStrokes;
  Affine m = kTwipsToPixels;
  ColorTransform cx;
  AntiAlias aa = AntiAlias::Area;
  int width = 90, height = 70;
  auto check = [&](const char* step) {
    Frame fresh(width, height), again(width, height);
    DrawSettings settings;
    settings.antialias = settings.strokeAntialias = aa;
    {
      Canvas canvas(fresh.surface());
      ShapeRenderer(canvas, settings, nullptr).draw(shape.styleTables, edges, m, cx);
    }
    {
      Canvas canvas(again.surface());
      ShapeRenderer(canvas, settings, nullptr, &keptStrokes, &kept)
          .draw(shape.styleTables, edges, m, cx);
    }
    EXPECT_EQ(again.pixels, fresh.pixels) << step;
    EXPECT_NE(std::count(fresh.pixels.begin(), fresh.pixels.end(), kWhite),
              ptrdiff_t(fresh.pixels.size()))
        << step << ": the case draws something";
  };
  check("first draw");
  check("unchanged");
  aa = AntiAlias::Off;
  check("low quality");
  aa = AntiAlias::FourSamples;
  check("high quality");
  aa = AntiAlias::Area;
  check("medium quality again");
  m = Affine::scale(1 / 23.0, 1 / 17.0) * Affine::translate(-50, 30);
  check("new matrix");
  edges[7].x1 += 300;
  edges[7].cy -= 200;
  check("an edge moved in place");
  std::swap(edges[3].fill0, edges[3].fill1);
  check("an edge's fills swapped");
  shape.styleTables[0].fills[2] = solidFill(10, 200, 30);
  shape.styleTables[0].fills[5] = solidFill(250, 250, 0, 100);
  check("new colours");
  cx.rMul = 0.5f;
  cx.bAdd = 40;
  check("colour transform");
  width = 91;
  check("wider frame");
  shape.styleTables[0].fills.pop_back();
  check("one fill less");
  shape = randomMosaic(rng, 4);
  edges = swf::shapeEdges(shape);
  check("another shape");
}

}  // namespace
}  // namespace orv::movie::render
