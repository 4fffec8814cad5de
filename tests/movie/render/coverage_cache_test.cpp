// Shapes drawn frame after frame unchanged are painted from kept coverage:
// the picture must be the one rasterising gives, whatever changed in
// between, and the memory kept must stay within its budget.
#include <gtest/gtest.h>

#include "movie/render/raster/coverage_cache.h"
#include "movie/render/shape_renderer.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

using test::Frame;
using test::makeShape;
using test::solidFill;
using test::solidLine;

const Affine kTwipsToPixels = Affine::scale(1 / 20.0, 1 / 20.0);

// A gradient square with a hole, two other fills and two pens.
swf::Shape busyShape(uint16_t penWidth = 40) {
  swf::FillStyle gradient;
  gradient.type = swf::FillType::LinearGradient;
  gradient.matrix = {0.02, 0, 0, 0.02, 300, 300};
  gradient.gradient.records = {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 255}}};
  return makeShape(
      "M 20 20 F1 1 L 1 l 580 20 l 580 580 l 20 580 l 20 20 "
      "M 200 200 F1 2 L 2 l 400 200 q 450 300 400 400 l 200 400 l 200 200 "
      "M 610 30 F1 3 L 0 l 790 50 l 700 590 l 610 30",
      {gradient, solidFill(0, 200, 0, 180), solidFill(30, 30, 30)},
      {solidLine(penWidth, 0, 0, 0), solidLine(10, 255, 255, 0, 200)});
}

// Draws shapes onto a fresh frame; with `cache`, as one frame of a movie.
Frame drawFrame(const std::vector<const swf::Shape*>& shapes, CoverageCache* cache,
                const Affine& m = kTwipsToPixels, const ColorTransform& cx = {},
                AntiAlias aa = AntiAlias::Area) {
  Frame f(42, 32);
  if (cache) cache->nextFrame();
  Canvas canvas(f.surface());
  DrawSettings settings;
  settings.antialias = aa;
  ShapeRenderer r(canvas, settings, nullptr, nullptr, nullptr, nullptr, cache);
  for (const swf::Shape* s : shapes) r.draw(s->styleTables, swf::shapeEdges(*s), m, cx);
  return f;
}

TEST(CoverageCache, AShapeStandingStillIsPaintedFromKeptCoverageAsRasterisingPaintsIt) {
  const swf::Shape s = busyShape();
  const Frame fresh = drawFrame({&s}, nullptr);
  CoverageCache cache;
  for (int frame = 0; frame < 4; ++frame) {
    const Frame f = drawFrame({&s}, &cache);
    EXPECT_EQ(f.pixels, fresh.pixels) << "frame " << frame;
    // Kept from the second drawing on: fills and both pens.
    if (frame >= 1) {
      EXPECT_EQ(cache.entries(), 3u);
    }
  }
  EXPECT_GT(cache.bytes(), 0u);
  // Without anti-aliasing the coverage differs, so it is kept apart.
  const Frame aliased = drawFrame({&s}, nullptr, kTwipsToPixels, {}, AntiAlias::Off);
  for (int frame = 0; frame < 3; ++frame)
    EXPECT_EQ(drawFrame({&s}, &cache, kTwipsToPixels, {}, AntiAlias::Off).pixels, aliased.pixels);
  EXPECT_EQ(cache.entries(), 6u);
}

TEST(CoverageCache, PaintsAreMadeAnewOverKeptCoverage) {
  const swf::Shape s = busyShape();
  CoverageCache cache;
  for (int frame = 0; frame < 3; ++frame) drawFrame({&s}, &cache);
  ColorTransform tinted;
  tinted.rMul = 0.5f;
  tinted.aMul = 0.6f;
  tinted.gAdd = 40;
  EXPECT_EQ(drawFrame({&s}, &cache, kTwipsToPixels, tinted).pixels,
            drawFrame({&s}, nullptr, kTwipsToPixels, tinted).pixels);
}

TEST(CoverageCache, ShapesThatDifferOnlyInTheirPensOrPlaceAreNotConfused) {
  // The same edges, one pen twice as thick; drawn by turns, then together.
  const swf::Shape thin = busyShape(20), thick = busyShape(80);
  CoverageCache cache;
  for (int frame = 0; frame < 4; ++frame) {
    const swf::Shape& s = frame % 2 ? thick : thin;
    EXPECT_EQ(drawFrame({&s}, &cache).pixels, drawFrame({&s}, nullptr).pixels) << frame;
  }
  for (int frame = 0; frame < 3; ++frame)
    EXPECT_EQ(drawFrame({&thin, &thick}, &cache).pixels,
              drawFrame({&thin, &thick}, nullptr).pixels);
  // Moved by a fraction of a pixel: drawn afresh, never kept.
  CoverageCache moving;
  for (int frame = 0; frame < 6; ++frame) {
    const Affine m = Affine::translate(frame * 0.3, 0) * kTwipsToPixels;
    EXPECT_EQ(drawFrame({&thin}, &moving, m).pixels, drawFrame({&thin}, nullptr, m).pixels);
  }
  EXPECT_EQ(moving.entries(), 0u);
}

TEST(CoverageCache, MasksBuiltFromKeptCoverageClipAsBefore) {
  const swf::Shape maskShape =
      makeShape("M 100 100 F1 1 l 500 100 q 600 400 300 500 l 100 100", {solidFill(0, 0, 0)});
  const swf::Shape content = busyShape();
  auto frame = [&](CoverageCache* cache) {
    Frame f(42, 32);
    if (cache) cache->nextFrame();
    Canvas canvas(f.surface());
    ShapeRenderer r(canvas, DrawSettings{}, nullptr, nullptr, nullptr, nullptr, cache);
    canvas.beginMask();
    r.draw(maskShape.styleTables, swf::shapeEdges(maskShape), kTwipsToPixels, {});
    canvas.endMask();
    r.draw(content.styleTables, swf::shapeEdges(content), kTwipsToPixels, {});
    canvas.popMask();
    return f;
  };
  const Frame fresh = frame(nullptr);
  CoverageCache cache;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(frame(&cache).pixels, fresh.pixels) << i;
  EXPECT_EQ(cache.entries(), 4u);  // the mask's fills, the content's fills and pens
}

TEST(CoverageCache, KeepsWithinItsBudgetAndLetsGoOfWhatIsNoLongerDrawn) {
  auto recording = [](size_t pixels) {
    CoverageRecording r;
    r.spans.push_back({0, 0, 0, int32_t(pixels), 0});
    r.coverage.assign(pixels, 255);
    return r;
  };
  CoverageCache cache(100000);
  const CoverageCache::Key a{1, 2, 3}, b{4, 5, 6}, c{7, 8, 9};
  const uint64_t ha = CoverageCache::hash(a), hb = CoverageCache::hash(b),
                 hc = CoverageCache::hash(c);
  cache.store(ha, a, 0, recording(20000));
  cache.store(hb, b, 0, recording(20000));
  // Too big for a quarter of the budget: never kept.
  cache.store(hc, c, 0, recording(30000));
  EXPECT_EQ(cache.find(hc, c, 0), nullptr);
  EXPECT_EQ(cache.entries(), 2u);
  // The same hash with another key, or another variant, is not a hit.
  EXPECT_EQ(cache.find(ha, b, 0), nullptr);
  EXPECT_EQ(cache.find(ha, a, 1), nullptr);
  // Filling up drops the least recently painted first: a was found last.
  cache.nextFrame();
  ASSERT_NE(cache.find(ha, a, 0), nullptr);
  for (int32_t i = 0; i < 4; ++i) {
    const CoverageCache::Key k{100 + i};
    cache.store(CoverageCache::hash(k), k, 0, recording(20000));
    EXPECT_LE(cache.bytes(), cache.budget());
  }
  EXPECT_NE(cache.find(ha, a, 0), nullptr);
  EXPECT_EQ(cache.find(hb, b, 0), nullptr);
  // An incomplete recording is not kept.
  CoverageRecording cut = recording(10);
  cut.complete = false;
  cache.store(hc, c, 0, std::move(cut));
  EXPECT_EQ(cache.find(hc, c, 0), nullptr);
  // Coverage not painted for long is let go.
  for (int i = 0; i < 200; ++i) cache.nextFrame();
  EXPECT_EQ(cache.entries(), 0u);
  EXPECT_EQ(cache.bytes(), 0u);
}

}  // namespace
}  // namespace orv::movie::render
