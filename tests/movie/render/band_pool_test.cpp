// Drawing on several threads: the pool runs every piece once and waits for
// all of them; a sweep or a rasteriser rendering some rows gives exactly those
// rows of a whole render; and a canvas (fills, masks, kept coverage, layers)
// and the filters give the same pixels, to the bit, on one, two or three
// threads.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <stdexcept>
#include <tuple>

#include "movie/render/raster/band_pool.h"
#include "movie/render/raster/canvas.h"
#include "movie/render/raster/filters.h"

namespace orv::movie::render {
namespace {

TEST(BandPool, RunsEveryPieceOnceAndWaitsForAll) {
  for (int threads : {1, 2, 3}) {
    BandPool pool(threads);
    EXPECT_EQ(pool.threads(), threads);
    for (int count : {0, 1, 2, 7, 500}) {
      std::vector<std::atomic<int>> runs(size_t(count) + 1);
      pool.run(count, [&](int i) { runs[size_t(i)].fetch_add(1); });
      for (int i = 0; i < count; ++i) EXPECT_EQ(runs[size_t(i)].load(), 1) << i;
      EXPECT_EQ(runs[size_t(count)].load(), 0);
    }
    // A piece that runs pieces of its own runs them itself, at once.
    std::atomic<int> inner{0};
    pool.run(4, [&](int) { pool.run(3, [&](int) { inner.fetch_add(1); }); });
    EXPECT_EQ(inner.load(), 12);
    // A piece's exception reaches the caller once the others are done; the pool
    // still works afterwards.
    std::atomic<int> finished{0};
    EXPECT_THROW(pool.run(9,
                          [&](int i) {
                            if (i == 4) throw std::runtime_error("piece");
                            finished.fetch_add(1);
                          }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), 8);
    std::atomic<int> again{0};
    pool.run(5, [&](int) { again.fetch_add(1); });
    EXPECT_EQ(again.load(), 5);
  }
  EXPECT_GE(BandPool::machineThreads(), 1);
  EXPECT_EQ(BandPool(0).threads(), 1);
  EXPECT_EQ(BandPool(1000).threads(), BandPool::kMaxThreads);
}

TEST(BandPool, PiecesCoverTheRowsInWholeBands) {
  BandPool pool(3);
  for (auto [top, bottom, align] : {std::tuple{0, 1080, 16},
                                    {5, 37, 16},
                                    {17, 18, 16},
                                    {0, 1000, 1},
                                    {40, 41, 1},
                                    {3, 100, 8}}) {
    const std::vector<RowRange> pieces = bandPieces(&pool, top, bottom, align);
    ASSERT_FALSE(pieces.empty());
    EXPECT_LE(pieces.size(), size_t(9));
    EXPECT_EQ(pieces.front().from, top);
    EXPECT_EQ(pieces.back().to, bottom);
    for (size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_LT(pieces[i].from, pieces[i].to);
      if (i > 0) {
        EXPECT_EQ(pieces[i].from, pieces[i - 1].to);
        EXPECT_EQ(pieces[i].from % align, 0);
      }
    }
  }
  EXPECT_TRUE(bandPieces(&pool, 10, 10, 16).empty());
  const std::vector<RowRange> alone = bandPieces(nullptr, 3, 900, 16);
  ASSERT_EQ(alone.size(), size_t(1));
  EXPECT_EQ(alone[0].from, 3);
  EXPECT_EQ(alone[0].to, 900);
}

using Polygon = std::vector<Point>;

// Random polygons reaching past the clip on every side, with long edges that
// cross many bands.
std::vector<std::vector<Polygon>> randomFills(std::mt19937& rng, int fills, int width, int height) {
  std::uniform_real_distribution<float> x(-0.3f * width, 1.3f * width),
      y(-0.3f * height, 1.3f * height);
  std::uniform_int_distribution<int> polygons(1, 3), corners(3, 9);
  std::vector<std::vector<Polygon>> out(static_cast<size_t>(fills));
  for (auto& fill : out)
    for (int p = polygons(rng); p > 0; --p) {
      Polygon poly;
      for (int c = corners(rng); c > 0; --c) poly.push_back({x(rng), y(rng)});
      fill.push_back(poly);
    }
  return out;
}

template <class Target>
void addPolygons(Target& t, const std::vector<Polygon>& polys) {
  for (const Polygon& p : polys)
    for (size_t i = 0; i < p.size(); ++i) t.addLine(p[i], p[(i + 1) % p.size()]);
}

using Span = std::tuple<uint32_t, int, int, std::vector<uint8_t>>;  // fill, y, x, coverage

struct Spans final : FillSink, SpanSink {
  std::vector<Span> got;
  void span(uint32_t fill, int y, int x, int count, const uint8_t* c) override {
    got.emplace_back(fill, y, x, std::vector<uint8_t>(c, c + count));
  }
  void span(int y, int x, int count, const uint8_t* c) override { span(0, y, x, count, c); }
};

// Each piece of rows, rendered on its own, gives those rows of the whole render, in
// the same order: where a line enters a piece is worked out as the rows above left it.
TEST(BandPool, RowsRenderedApartAreTheRowsOfTheWhole) {
  std::mt19937 rng(23);
  const int width = 150, height = 230;
  for (FillRule rule : {FillRule::EvenOdd, FillRule::NonZero}) {
    for (AntiAlias antialias : {AntiAlias::Area, AntiAlias::Off, AntiAlias::FourSamples}) {
      const auto fills = randomFills(rng, 10, width, height);
      FillSweep sweep;
      sweep.reset(width, height);
      Rasterizer single;
      single.reset(width, height);
      for (const auto& polys : fills) {
        sweep.beginFill();
        addPolygons(sweep, polys);
        addPolygons(single, polys);
      }
      Spans whole, wholeSingle;
      sweep.render(rule, antialias, whole);
      single.render(rule, antialias, wholeSingle);
      for (std::vector<int> cuts : {std::vector<int>{16}, {32, 48, 160}, {16, 32, 64, 80, 224}}) {
        cuts.insert(cuts.begin(), 0);
        cuts.push_back(height);
        Spans pieces, singlePieces;
        sweep.prepareFor(antialias);
        for (size_t i = 0; i + 1 < cuts.size(); ++i) {
          sweep.renderRows(rule, antialias, pieces, cuts[i], cuts[i + 1]);
          // The single rasteriser takes any rows, not only whole bands.
          single.renderRows(rule, antialias, singlePieces, cuts[i] + 3 * (i > 0), cuts[i + 1] + 3);
        }
        EXPECT_EQ(pieces.got, whole.got) << "rule " << int(rule) << " aa " << int(antialias);
        EXPECT_EQ(singlePieces.got, wholeSingle.got)
            << "rule " << int(rule) << " aa " << int(antialias);
      }
      EXPECT_LE(sweep.rowsTop(), std::get<1>(whole.got.front()));
      EXPECT_GT(sweep.rowsBottom(), std::get<1>(whole.got.back()));
    }
  }
}

GradientSpec ramp(float x0, float x1) {
  GradientSpec g;
  g.stops = {{0, 0xFFFF0000u}, {128, 0x8000FF00u}, {255, 0xFF0000FFu}};
  g.toDevice = Affine::translate((x0 + x1) / 2, 0) * Affine::scale((x1 - x0) / 32768, 1);
  return g;
}

// A frame drawn with everything a canvas does, on `threads` threads, every piece
// of work split however small.
struct Drawn {
  std::vector<uint32_t> pixels;
  Canvas::Bounds painted;
};
Drawn drawScene(int threads, uint32_t seed) {
  const int width = 173, height = 211;
  Drawn out;
  out.pixels.assign(size_t(width) * height, 0);
  BandPool pool(threads, 1);
  Canvas canvas({out.pixels.data(), width, height});
  canvas.setBands(&pool);
  canvas.clear(0xFF204060u);
  std::mt19937 rng(seed);
  const std::vector<Paint> paints = {Paint::solid(0xFF00FF00u),
                                     Paint::solid(0x80402000u),
                                     Paint::gradient(ramp(0, float(width)), {}),
                                     Paint::solid(0xFFFFFFFFu),
                                     Paint::gradient(ramp(40, 90), {}),
                                     Paint::solid(0x40000040u)};
  FillSweep sweep;
  auto sweepOf = [&](int fills) -> FillSweep& {
    sweep.reset(width, height);
    for (const auto& polys : randomFills(rng, fills, width, height)) {
      sweep.beginFill();
      addPolygons(sweep, polys);
    }
    return sweep;
  };
  Rasterizer single;
  auto singleOf = [&]() -> Rasterizer& {
    single.reset(width, height);
    addPolygons(single, randomFills(rng, 1, width, height)[0]);
    return single;
  };
  canvas.fill(sweepOf(6), FillRule::EvenOdd, AntiAlias::Area, paints);
  canvas.fill(singleOf(), FillRule::NonZero, AntiAlias::FourSamples, paints[2]);
  // Coverage kept as it is painted, then painted again from memory.
  CoverageRecording kept;
  canvas.fill(sweepOf(5), FillRule::NonZero, AntiAlias::Area, paints, &kept, size_t(1) << 24);
  EXPECT_TRUE(kept.complete);
  EXPECT_FALSE(kept.spans.empty());
  // Nested masks, built from sweeps and single fills, clip sweeps and single fills.
  canvas.beginMask();
  canvas.fill(sweepOf(2), FillRule::EvenOdd, AntiAlias::Area, paints);
  canvas.endMask();
  canvas.fill(sweepOf(4), FillRule::NonZero, AntiAlias::Off, paints);
  canvas.beginMask();
  canvas.fill(singleOf(), FillRule::NonZero, AntiAlias::Area, paints[0]);
  canvas.endMask();
  canvas.fill(singleOf(), FillRule::EvenOdd, AntiAlias::Area, paints[4]);
  canvas.replay(kept, {paints[5], paints[1], paints[4], paints[0], paints[2]});
  canvas.popMask();
  canvas.fill(sweepOf(3), FillRule::EvenOdd, AntiAlias::FourSamples, paints);
  canvas.popMask();
  // A layer blended onto the frame in several modes, once through a mask.
  std::vector<uint32_t> layer(size_t(width) * height, 0);
  {
    Canvas onLayer({layer.data(), width, height});
    onLayer.setBands(&pool);
    onLayer.fill(sweepOf(4), FillRule::NonZero, AntiAlias::Area, paints);
  }
  canvas.blendLayer(layer.data(), {10, 20, 160, 200}, BlendMode::Multiply);
  canvas.blendLayer(layer.data(), {0, 0, width, height}, BlendMode::Normal);
  canvas.beginMask();
  canvas.fill(singleOf(), FillRule::NonZero, AntiAlias::Area, paints[0]);
  canvas.endMask();
  canvas.blendLayer(layer.data(), {0, 0, width, height}, BlendMode::Difference);
  canvas.popMask();
  out.painted = canvas.painted();
  return out;
}

TEST(BandPool, ACanvasPaintsTheSamePixelsOnOneTwoOrThreeThreads) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    const Drawn one = drawScene(1, seed);
    for (int threads : {2, 3}) {
      const Drawn many = drawScene(threads, seed);
      EXPECT_TRUE(many.pixels == one.pixels) << threads << " threads, scene " << seed;
      EXPECT_EQ(std::tie(many.painted.x0, many.painted.y0, many.painted.x1, many.painted.y1),
                std::tie(one.painted.x0, one.painted.y0, one.painted.x1, one.painted.y1));
    }
  }
}

Filter filterOf(FilterKind kind) {
  Filter f;
  f.kind = kind;
  f.blurX = 9.5f;
  f.blurY = 6;
  f.passes = 2;
  f.color = 0xC0102030u;
  f.highlight = 0xFFFFFFF0u;
  f.angle = 0.7f;
  f.distance = 5;
  f.strength = 1.5f;
  f.stopCount = 2;
  f.stops[0] = {0, 0x00FF0000u};
  f.stops[1] = {255, 0xFF00FFFFu};
  return f;
}

// Blur, shadows, glows, bevels, colour matrices and convolutions, split into bands of rows and columns, give
// the pixels one thread gives.
TEST(BandPool, FiltersGiveTheSamePixelsOnOneTwoOrThreeThreads) {
  const int width = 190, height = 150;
  std::mt19937 rng(5);
  std::vector<uint32_t> source(size_t(width) * height, 0);
  {
    Canvas canvas({source.data(), width, height});
    FillSweep sweep;
    sweep.reset(width, height);
    for (const auto& polys : randomFills(rng, 4, width / 2, height / 2)) {
      sweep.beginFill();
      for (const Polygon& p : polys)
        for (size_t i = 0; i < p.size(); ++i)
          sweep.addLine({p[i].x + 40, p[i].y + 30},
                        {p[(i + 1) % p.size()].x + 40, p[(i + 1) % p.size()].y + 30});
    }
    canvas.fill(sweep, FillRule::EvenOdd, AntiAlias::Area,
                {Paint::solid(0xFFFF8000u), Paint::solid(0x80008040u), Paint::solid(0xFF0000FFu),
                 Paint::gradient(ramp(40, 150), {})});
  }
  const Canvas::Bounds area{40, 30, 135, 105};
  std::vector<std::vector<Filter>> lists = {
      {filterOf(FilterKind::Blur)},
      {filterOf(FilterKind::DropShadow)},
      {filterOf(FilterKind::Glow)},
      {filterOf(FilterKind::Bevel)},
      {filterOf(FilterKind::GradientBevel), filterOf(FilterKind::GradientGlow)}};
  Filter inner = filterOf(FilterKind::DropShadow);
  inner.inner = inner.knockout = true;
  lists.push_back({inner, filterOf(FilterKind::Blur)});
  Filter matrix = filterOf(FilterKind::ColorMatrix);
  for (int k = 0; k < 20; ++k) matrix.matrix[k] = float((k * 7) % 5) * 0.3f - 0.2f;
  Filter convolution = filterOf(FilterKind::Convolution);
  convolution.columns = convolution.rows = 3;
  convolution.kernel = {1, 2, 1, 0, -1, 0, 2, 1, 2};
  convolution.divisor = 6;
  convolution.preserveAlpha = false;
  lists.push_back({matrix, convolution});
  for (size_t l = 0; l < lists.size(); ++l) {
    std::vector<uint32_t> one = source;
    const Canvas::Bounds a1 = applyFilters(lists[l], one.data(), width, height, area, 1.0f);
    EXPECT_NE(one, source) << "filters " << l;
    for (int threads : {2, 3}) {
      BandPool pool(threads, 1);
      std::vector<uint32_t> many = source;
      const Canvas::Bounds an =
          applyFilters(lists[l], many.data(), width, height, area, 1.0f, nullptr, &pool);
      EXPECT_TRUE(many == one) << "filters " << l << " on " << threads << " threads";
      EXPECT_EQ(std::tie(an.x0, an.y0, an.x1, an.y1), std::tie(a1.x0, a1.y0, a1.x1, a1.y1));
    }
  }
}

}  // namespace
}  // namespace orv::movie::render
