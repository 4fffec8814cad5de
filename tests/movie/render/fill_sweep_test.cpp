// The one-sweep rasteriser of a shape's fills must give every fill exactly
// the coverage rows the single-fill rasteriser gives it, and hand them out so
// that at each pixel the fills come in the order they were begun.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <tuple>

#include "movie/render/raster/canvas.h"
#include "movie/render/raster/fill_sweep.h"
#include "movie/render/raster/rasterizer.h"

namespace orv::movie::render {
namespace {

using Span = std::tuple<int, int, std::vector<uint8_t>>;  // y, x, coverage

struct RowRecorder : SpanSink {
  std::vector<Span> spans;
  void span(int y, int x, int count, const uint8_t* c) override {
    spans.emplace_back(y, x, std::vector<uint8_t>(c, c + count));
  }
};

struct SweepRecorder : FillSink {
  std::map<uint32_t, std::vector<Span>> byFill;
  std::map<std::pair<int, int>, std::vector<uint32_t>> fillsAtPixel;  // (x, y) -> fills in order
  void span(uint32_t fill, int y, int x, int count, const uint8_t* c) override {
    byFill[fill].emplace_back(y, x, std::vector<uint8_t>(c, c + count));
    for (int i = 0; i < count; ++i) fillsAtPixel[{x + i, y}].push_back(fill);
  }
};

using Polygon = std::vector<Point>;

// Random polygons, many reaching past the clip on every side, some with
// long near-horizontal edges and some crossing many bands.
std::vector<std::vector<Polygon>> randomFills(std::mt19937& rng, int fills, int width, int height) {
  std::uniform_real_distribution<float> x(-0.3f * width, 1.3f * width),
      y(-0.3f * height, 1.3f * height);
  std::uniform_int_distribution<int> polygons(1, 3), corners(3, 9);
  std::vector<std::vector<Polygon>> out(static_cast<size_t>(fills));
  for (auto& fill : out) {
    for (int p = polygons(rng); p > 0; --p) {
      Polygon poly;
      for (int c = corners(rng); c > 0; --c) poly.push_back({x(rng), y(rng)});
      fill.push_back(poly);
    }
  }
  return out;
}

template <class Target>
void addPolygons(Target& t, const std::vector<Polygon>& polys) {
  for (const Polygon& p : polys)
    for (size_t i = 0; i < p.size(); ++i) t.addLine(p[i], p[(i + 1) % p.size()]);
}

TEST(FillSweep, EveryFillGetsTheRowsItWouldGetAlone) {
  std::mt19937 rng(7);
  const struct { int width, height; } sizes[] = {{37, 29}, {200, 120}, {64, 300}, {1, 50}};
  for (const auto& size : sizes) {
    for (FillRule rule : {FillRule::EvenOdd, FillRule::NonZero}) {
      for (AntiAlias antialias : {AntiAlias::Area, AntiAlias::Off, AntiAlias::FourSamples}) {
        const auto fills = randomFills(rng, 12, size.width, size.height);
        FillSweep sweep;
        sweep.reset(size.width, size.height);
        for (const auto& polys : fills) {
          sweep.beginFill();
          addPolygons(sweep, polys);
        }
        SweepRecorder swept;
        sweep.render(rule, antialias, swept);
        for (size_t f = 0; f < fills.size(); ++f) {
          Rasterizer alone;
          alone.reset(size.width, size.height);
          addPolygons(alone, fills[f]);
          RowRecorder expected;
          alone.render(rule, antialias, expected);
          EXPECT_EQ(swept.byFill[uint32_t(f)], expected.spans)
              << "fill " << f << " at " << size.width << "x" << size.height << " rule " << int(rule)
              << " aa " << int(antialias);
        }
      }
    }
  }
}

// The lines a sweep keeps, read back fill by fill in the direction they were
// added (after rendering has ordered them downwards), sweep to the same rows:
// a tool that records them hands another rasteriser exactly this shape.
TEST(FillSweep, ItsLinesReadBackSweepToTheSameRows) {
  std::mt19937 rng(11);
  for (FillRule rule : {FillRule::EvenOdd, FillRule::NonZero}) {
    const auto fills = randomFills(rng, 9, 90, 70);
    FillSweep sweep;
    sweep.reset(90, 70);
    for (const auto& polys : fills) {
      sweep.beginFill();
      addPolygons(sweep, polys);
    }
    SweepRecorder first;
    sweep.render(rule, AntiAlias::Area, first);
    FillSweep again;
    again.reset(90, 70);
    uint32_t current = ~0u, previous = 0;
    bool ordered = true;
    sweep.forEachLine([&](uint32_t fill, Point from, Point to) {
      ordered = ordered && (current == ~0u ? fill == 0 : fill == previous || fill == previous + 1);
      if (fill != current) again.beginFill();
      current = previous = fill;
      again.addLine(from, to);
    });
    EXPECT_TRUE(ordered);
    SweepRecorder second;
    again.render(rule, AntiAlias::Area, second);
    EXPECT_EQ(second.byFill, first.byFill) << "rule " << int(rule);
    EXPECT_EQ(second.fillsAtPixel, first.fillsAtPixel);
  }
}

// A canvas's tap sees each sweep it paints, says whether a mask was involved,
// and hears of coverage painted another way; it sees nothing once taken away.
TEST(FillSweep, ACanvasTapSeesTheSweepsPainted) {
  struct Tap final : FillTap {
    std::vector<bool> masked;
    std::vector<size_t> lines, paints;
    int others = 0;
    void swept(const Canvas&, bool m, const FillSweep& fills, FillRule, AntiAlias,
               const std::vector<Paint>& p) override {
      masked.push_back(m);
      size_t n = 0;
      fills.forEachLine([&](uint32_t, Point, Point) { ++n; });
      lines.push_back(n);
      paints.push_back(p.size());
    }
    void other(const Canvas&) override { ++others; }
  } tap;
  std::vector<uint32_t> pixels(40 * 30);
  Canvas canvas({pixels.data(), 40, 30});
  FillSweep square;
  square.reset(40, 30);
  square.beginFill();
  addPolygons(square, {{{2, 2}, {20, 2}, {20, 20}, {2, 20}}});
  const std::vector<Paint> red{Paint::solid(0xFFFF0000)};
  Canvas::setTap(&tap);
  canvas.fill(square, FillRule::NonZero, AntiAlias::Area, red);
  canvas.beginMask();
  canvas.fill(square, FillRule::NonZero, AntiAlias::Area, red);
  canvas.endMask();
  canvas.fill(square, FillRule::NonZero, AntiAlias::Area, red);
  canvas.popMask();
  Rasterizer single;
  single.reset(40, 30);
  addPolygons(single, {{{2, 2}, {20, 2}, {20, 20}}});
  canvas.fill(single, FillRule::NonZero, AntiAlias::Area, red[0]);
  Canvas::setTap(nullptr);
  canvas.fill(square, FillRule::NonZero, AntiAlias::Area, red);
  EXPECT_EQ(tap.masked, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(tap.lines,
            (std::vector<size_t>{2, 2, 2}));  // the square's sides (not its top and bottom)
  EXPECT_EQ(tap.paints, (std::vector<size_t>{1, 1, 1}));
  EXPECT_EQ(tap.others, 1);
  EXPECT_EQ(pixels[5 * 40 + 5], 0xFFFF0000u);
}

TEST(FillSweep, LaterFillsComeAfterEarlierOnesAtEveryPixel) {
  std::mt19937 rng(11);
  const auto fills = randomFills(rng, 20, 90, 140);
  FillSweep sweep;
  sweep.reset(90, 140);
  for (const auto& polys : fills) {
    sweep.beginFill();
    addPolygons(sweep, polys);
  }
  SweepRecorder swept;
  sweep.render(FillRule::EvenOdd, AntiAlias::Area, swept);
  size_t overlapping = 0;
  for (const auto& [pixel, order] : swept.fillsAtPixel) {
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << pixel.first << "," << pixel.second;
    EXPECT_EQ(std::adjacent_find(order.begin(), order.end()), order.end());  // once per fill
    overlapping += order.size() > 1;
  }
  EXPECT_GT(overlapping, 1000u);  // the case really has fills over fills
}

TEST(FillSweep, FillsWithoutVisibleLinesAreDroppedAndTheirNumbersReused) {
  FillSweep sweep;
  sweep.reset(20, 20);
  sweep.beginFill();
  addPolygons(sweep, {{{-5, 40}, {25, 40}, {25, 50}}});  // wholly below the clip
  EXPECT_TRUE(sweep.lastFillEmpty());
  EXPECT_EQ(sweep.fillCount(), 0u);
  sweep.beginFill();
  addPolygons(sweep, {{{2, 2}, {8, 2}, {8, 8}, {2, 8}}});
  sweep.beginFill();  // nothing added to this one
  EXPECT_EQ(sweep.fillCount(), 1u);
  SweepRecorder swept;
  sweep.render(FillRule::NonZero, AntiAlias::Area, swept);
  ASSERT_EQ(swept.byFill.size(), 1u);
  EXPECT_EQ(swept.byFill.begin()->first, 0u);
  EXPECT_EQ(swept.byFill[0].size(), 6u);  // rows 2..7
}

TEST(FillSweep, RenderingAgainGivesTheSameRowsInEitherQuality) {
  // A sweep's fills are kept through render(): the next frame of an unchanged
  // shape renders them again, maybe at the other quality, without adding them.
  std::mt19937 rng(23);
  const auto fills = randomFills(rng, 16, 120, 90);
  FillSweep kept;
  kept.reset(120, 90);
  for (const auto& polys : fills) {
    kept.beginFill();
    addPolygons(kept, polys);
  }
  kept.madeFrom = {1, 2, 3};
  for (AntiAlias antialias :
       {AntiAlias::Area, AntiAlias::Area, AntiAlias::Off, AntiAlias::FourSamples,
        AntiAlias::FourSamples, AntiAlias::Area, AntiAlias::Off, AntiAlias::Off}) {
    for (FillRule rule : {FillRule::EvenOdd, FillRule::NonZero}) {
      FillSweep fresh;
      fresh.reset(120, 90);
      for (const auto& polys : fills) {
        fresh.beginFill();
        addPolygons(fresh, polys);
      }
      SweepRecorder expected, again;
      fresh.render(rule, antialias, expected);
      kept.render(rule, antialias, again);
      EXPECT_EQ(again.byFill, expected.byFill) << "aa " << int(antialias) << " rule " << int(rule);
    }
  }
  EXPECT_EQ(kept.madeFrom, (std::vector<int32_t>{1, 2, 3}));  // rendering leaves it
  // Adding to the fills, or starting afresh, forgets what they were made from.
  kept.addLine({1, 1}, {5, 9});
  EXPECT_TRUE(kept.madeFrom.empty());
  kept.madeFrom = {4};
  kept.reset(10, 10);
  EXPECT_TRUE(kept.madeFrom.empty());
}

TEST(FillSweep, HostileCoordinatesStayInsideTheClip) {
  FillSweep sweep;
  sweep.reset(16, 16);
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  sweep.beginFill();
  addPolygons(sweep, {{{-1e30f, -1e30f}, {1e30f, 3}, {nan, 8}, {inf, -inf}, {4, 1e20f}}});
  sweep.beginFill();
  addPolygons(sweep, {{{1, 1}, {15, 1}, {15, 15}}});
  SweepRecorder swept;
  sweep.render(FillRule::EvenOdd, AntiAlias::Area, swept);
  for (const auto& [pixel, order] : swept.fillsAtPixel) {
    EXPECT_GE(pixel.first, 0);
    EXPECT_LT(pixel.first, 16);
    EXPECT_GE(pixel.second, 0);
    EXPECT_LT(pixel.second, 16);
  }
  EXPECT_FALSE(swept.byFill[1].empty());
}

}  // namespace
}  // namespace orv::movie::render
