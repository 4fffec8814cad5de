// Gradient and bitmap paints: where colours land, spread modes, linear-RGB,
// focal points, repeating/clipped and smoothed bitmaps, colour transforms.
#include <gtest/gtest.h>

#include <algorithm>

#include "movie/render/raster/paint.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

using test::channel;

// A 2-stop black->white gradient whose square spans device x 0..100.
GradientSpec blackToWhite(GradientKind kind, Spread spread = Spread::Pad) {
  GradientSpec g;
  g.kind = kind;
  g.spread = spread;
  g.stops = {{0, 0xFF000000}, {255, 0xFFFFFFFF}};
  // -16384..16384 -> 0..100 (centre 50).
  g.toDevice = Affine::translate(50, 50) * Affine::scale(50.0 / 16384, 50.0 / 16384);
  return g;
}

std::vector<uint32_t> row(const Paint& p, int y, int x0, int n) {
  std::vector<uint32_t> out(n);
  p.shade(x0, y, n, out.data());
  return out;
}

TEST(GradientPaint, LinearRunsAcrossTheSquareAndPads) {
  Paint p = Paint::gradient(blackToWhite(GradientKind::Linear), {});
  auto r = row(p, 0, -20, 140);
  EXPECT_EQ(r[0], 0xFF000000u);             // x = -20: padded
  EXPECT_NEAR(channel(r[70], 16), 128, 3);  // x = 50: middle
  EXPECT_EQ(r[139], 0xFFFFFFFFu);           // x = 119: padded
  for (int i = 21; i < 139; ++i) EXPECT_GE(channel(r[i], 8), channel(r[i - 1], 8));
}

// The ramp changes by the same amount from pixel to pixel however many of its
// 256 entries a pixel spans: entries sit at the middles of 256 equal steps and
// positions between two entries mix them. Black to white over 40 pixels
// rises 6.4 per pixel; taking the nearest entry rose 5 and 8 in turn.
TEST(GradientPaint, RampStepsEvenlyBetweenEntries) {
  GradientSpec g = blackToWhite(GradientKind::Linear);
  g.toDevice = Affine::translate(20, 0) * Affine::scale(20.0 / 16384, 20.0 / 16384);  // x 0..40
  const auto r = row(Paint::gradient(g, {}), 0, 0, 40);
  for (int i = 0; i < 40; ++i) {
    // Pixel centre i + 0.5 is at t = (i + 0.5) / 40, entry position t * 256 - 0.5.
    const double position = std::clamp((i + 0.5) / 40 * 256 - 0.5, 0.0, 255.0);
    EXPECT_NEAR(channel(r[size_t(i)], 8), position, 0.51) << "pixel " << i;
  }
  for (int i = 2; i < 38; ++i) {
    const int step = channel(r[size_t(i)], 8) - channel(r[size_t(i - 1)], 8);
    EXPECT_TRUE(step == 6 || step == 7) << "pixel " << i << " rose " << step;
  }
}

TEST(GradientPaint, RepeatAndReflectBeyondTheSquare) {
  Paint rep = Paint::gradient(blackToWhite(GradientKind::Linear, Spread::Repeat), {});
  Paint ref = Paint::gradient(blackToWhite(GradientKind::Linear, Spread::Reflect), {});
  // x = 125.5 is a quarter into the next period.
  EXPECT_NEAR(channel(row(rep, 0, 125, 1)[0], 0), 64, 3);
  EXPECT_NEAR(channel(row(ref, 0, 125, 1)[0], 0), 191, 3);
}

// Stops out of ratio order are not sorted: a position blends the first stop
// at or past it with the stop listed before that one, and past every stop the
// last one listed holds, whatever its ratio.
TEST(GradientPaint, UnsortedStopsKeepTheirListedOrder) {
  GradientSpec g = blackToWhite(GradientKind::Linear);
  g.stops = {{0, 0xFFFF0000}, {128, 0xFF0000FF}, {64, 0xFF00FF00}};
  Paint p = Paint::gradient(g, {});
  // x = 25.5: ratio 65, between red (0) and blue (128), green never shows.
  const uint32_t quarter = row(p, 0, 25, 1)[0];
  EXPECT_NEAR(channel(quarter, 16), 125, 4);
  EXPECT_NEAR(channel(quarter, 0), 130, 4);
  EXPECT_EQ(channel(quarter, 8), 0);
  // Past ratio 128: the last stop listed (green), not the highest ratio (blue).
  EXPECT_EQ(row(p, 0, 80, 1)[0], 0xFF00FF00u);
  EXPECT_EQ(row(p, 0, -10, 1)[0], 0xFFFF0000u);  // padded before the square
}

TEST(GradientPaint, RadialAndFocalMeasureFromTheirCentres) {
  Paint radial = Paint::gradient(blackToWhite(GradientKind::Radial), {});
  EXPECT_LE(channel(row(radial, 49, 49, 1)[0], 0), 5);
  EXPECT_NEAR(channel(row(radial, 49, 74, 1)[0], 0), 128, 3);  // half the radius
  EXPECT_EQ(row(radial, 0, 0, 1)[0], 0xFFFFFFFFu);             // outside the circle
  GradientSpec fs = blackToWhite(GradientKind::Focal);
  fs.focal = 0.5f;  // focal point at x = 75
  Paint focal = Paint::gradient(fs, {});
  EXPECT_LE(channel(row(focal, 49, 74, 1)[0], 0), 5);
  // Half way from the focal point to the circle's edge on either side.
  EXPECT_NEAR(channel(row(focal, 49, 87, 1)[0], 0), 128, 4);
  EXPECT_NEAR(channel(row(focal, 49, 37, 1)[0], 0), 128, 4);
}

TEST(GradientPaint, StopsInterpolateInRgbOrLinearRgbWithTransforms) {
  GradientSpec g = blackToWhite(GradientKind::Linear);
  g.stops = {{0, 0xFFFF0000}, {128, 0x80000000 | 0x0000FF}, {255, 0xFF00FF00}};
  Paint p = Paint::gradient(g, {});
  const uint32_t mid = row(p, 0, 50, 1)[0];
  EXPECT_NEAR(channel(mid, 24), 128, 2);
  EXPECT_NEAR(channel(mid, 0), 128, 2);  // premultiplied blue
  g.stops = {{0, 0xFF000000}, {255, 0xFFFFFFFF}};
  g.linearRgb = true;
  Paint lin = Paint::gradient(g, {});
  // Half way in linear light is brighter than half way in sRGB values.
  EXPECT_NEAR(channel(row(lin, 0, 50, 1)[0], 0), 188, 3);
  ColorTransform cx;
  cx.rMul = 0;
  Paint tinted = Paint::gradient(blackToWhite(GradientKind::Linear), cx);
  EXPECT_EQ(channel(row(tinted, 0, 99, 1)[0], 16), 0);
}

std::shared_ptr<Bitmap> checker() {
  auto b = std::make_shared<Bitmap>();
  b->width = b->height = 2;
  b->pixels = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  return b;
}

TEST(BitmapPaint, RepeatsOrClampsAndMapsThroughTheMatrix) {
  BitmapSpec s;
  s.bitmap = checker();
  s.toDevice = Affine::scale(10, 10);  // each bitmap pixel is 10x10 device pixels
  s.repeat = true;
  Paint rep = Paint::bitmap(s, {});
  auto r = row(rep, 5, 0, 40);
  EXPECT_EQ(r[5], 0xFFFF0000u);
  EXPECT_EQ(r[15], 0xFF00FF00u);
  EXPECT_EQ(r[25], 0xFFFF0000u);  // repeated
  EXPECT_EQ(row(rep, 15, 5, 1)[0], 0xFF0000FFu);
  s.repeat = false;
  Paint clip = Paint::bitmap(s, {});
  EXPECT_EQ(row(clip, 5, 35, 1)[0], 0xFF00FF00u);  // edge pixel extends
}

TEST(BitmapPaint, SmoothingBlendsNeighbours) {
  BitmapSpec s;
  s.bitmap = checker();
  s.toDevice = Affine::scale(10, 10);
  s.repeat = false;
  s.smooth = true;
  Paint p = Paint::bitmap(s, {});
  const uint32_t between = row(p, 5, 9, 2)[1];  // x = 10.5: between red and green
  EXPECT_NEAR(channel(between, 16), 128, 16);
  EXPECT_NEAR(channel(between, 8), 128, 16);
  ColorTransform cx;
  cx.aMul = 0.5f;
  s.smooth = false;
  Paint faded = Paint::bitmap(s, cx);
  EXPECT_NEAR(channel(row(faded, 5, 5, 1)[0], 24), 128, 1);
}

TEST(BitmapPaint, MissingOrDegenerateBitmapsPaintNothing) {
  BitmapSpec s;
  EXPECT_TRUE(Paint::bitmap(s, {}).paintsNothing());
  s.bitmap = checker();
  s.toDevice = Affine::scale(0, 0);
  EXPECT_TRUE(Paint::bitmap(s, {}).paintsNothing());
}

}  // namespace
}  // namespace orv::movie::render
