// Coverage from edges: exact areas with anti-aliasing, centre sampling without,
// fill rules, and clipping.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "movie/render/raster/geometry.h"
#include "movie/render/raster/rasterizer.h"

namespace orv::movie::render {
namespace {

struct Recorder : SpanSink {
  std::map<std::pair<int, int>, int> cov;  // (x, y) -> 0..255
  void span(int y, int x, int count, const uint8_t* c) override {
    for (int i = 0; i < count; ++i) cov[{x + i, y}] = c[i];
  }
  int at(int x, int y) const {
    auto it = cov.find({x, y});
    return it == cov.end() ? 0 : it->second;
  }
  double total() const {
    double t = 0;
    for (auto& [k, v] : cov) t += v / 255.0;
    return t;
  }
};

void addPolygon(Rasterizer& r, std::initializer_list<Point> pts) {
  std::vector<Point> p(pts);
  for (size_t i = 0; i < p.size(); ++i) r.addLine(p[i], p[(i + 1) % p.size()]);
}

TEST(Rasterizer, PositionsSnapToTheNearest256thOfAPixelHalvesAwayFromZero) {
  // As std::round would, for halves, near-halves, negatives and values too big to move.
  const float values[] = {0.0f,       0.5f,        -0.5f, 1.5f,  -2.5f, 0.49999997f, -0.49999997f,
                          8388607.5f, -8388607.5f, 1e9f,  -1e9f, 3.3f,  -7.75f,      123456.7f};
  for (float v : values) EXPECT_EQ(roundHalfAway(v), std::round(v)) << v;
  for (int i = -5000; i <= 5000; ++i) {
    const float v = float(i) * 0.37109375f;  // many exact halves among them
    EXPECT_EQ(roundHalfAway(v), std::round(v)) << v;
  }
  EXPECT_TRUE(std::isnan(roundHalfAway(std::nanf(""))));
  const Point p = snapToSubpixel({10.001f, -3.0019531f});
  EXPECT_EQ(p.x, 10.0f);
  EXPECT_EQ(p.y, -3.00390625f);
}

TEST(Rasterizer, FractionalRectangleGetsExactAreaCoverage) {
  Rasterizer r;
  r.reset(10, 10);
  addPolygon(r, {{1.25f, 2.5f}, {3.75f, 2.5f}, {3.75f, 5}, {1.25f, 5}});
  Recorder rec;
  r.render(FillRule::NonZero, AntiAlias::Area, rec);
  EXPECT_EQ(rec.at(0, 3), 0);
  EXPECT_NEAR(rec.at(1, 3), 191, 1);  // 0.75 of the pixel
  EXPECT_EQ(rec.at(2, 3), 255);
  EXPECT_NEAR(rec.at(3, 3), 191, 1);
  EXPECT_NEAR(rec.at(2, 2), 128, 1);  // half a row
  EXPECT_NEAR(rec.at(1, 2), 96, 1);   // 0.75 * 0.5
  EXPECT_EQ(rec.at(2, 5), 0);
  EXPECT_EQ(rec.at(4, 3), 0);
  EXPECT_NEAR(rec.total(), 2.5 * 2.5, 0.05);
}

TEST(Rasterizer, SlantedShapesCoverTheirArea) {
  Rasterizer r;
  r.reset(64, 64);
  addPolygon(r, {{3.3f, 2.1f}, {60.7f, 20.4f}, {20.2f, 55.9f}});
  Recorder rec;
  r.render(FillRule::NonZero, AntiAlias::Area, rec);
  const double area = std::abs((60.7 - 3.3) * (55.9 - 2.1) - (20.2 - 3.3) * (20.4 - 2.1)) / 2;
  EXPECT_NEAR(rec.total(), area, area * 0.002);
  // Winding direction does not matter.
  Rasterizer back;
  back.reset(64, 64);
  addPolygon(back, {{20.2f, 55.9f}, {60.7f, 20.4f}, {3.3f, 2.1f}});
  Recorder rec2;
  back.render(FillRule::NonZero, AntiAlias::Area, rec2);
  EXPECT_EQ(rec.cov, rec2.cov);
}

TEST(Rasterizer, WithoutAntialiasingSamplesPixelCentres) {
  Rasterizer r;
  r.reset(10, 10);
  addPolygon(r, {{1.4f, 1.6f}, {4.6f, 1.6f}, {4.6f, 3.4f}, {1.4f, 3.4f}});
  Recorder rec;
  r.render(FillRule::NonZero, AntiAlias::Off, rec);
  // Centres at x = 1.5 .. 4.5 are inside (1.5 > 1.4, 4.5 < 4.6); rows 2 only
  // (centre 1.5 < 1.6, 2.5 inside, 3.5 > 3.4).
  for (int x = 0; x < 10; ++x)
    for (int y = 0; y < 10; ++y)
      EXPECT_EQ(rec.at(x, y), (x >= 1 && x <= 4 && y == 2) ? 255 : 0) << x << "," << y;
}

TEST(Rasterizer, FourSamplesCountTheSamplesInside) {
  // Samples sit a quarter pixel in from each side: at x+0.25 and x+0.75 on
  // the lines y+0.25 and y+0.75. A sample on a left or top edge is inside,
  // one on a right or bottom edge outside.
  Rasterizer r;
  r.reset(10, 10);
  addPolygon(r, {{1.5f, 0}, {3.5f, 0}, {3.5f, 4.5f}, {1.5f, 4.5f}});
  addPolygon(r, {{1, 0}, {1.5f, 0}, {1.5f, 0.5f}, {1, 0.5f}});  // the upper left sample of (1,0)
  addPolygon(r, {{5.75f, 1.75f}, {7, 1.75f}, {7, 2.75f}, {5.75f, 2.75f}});  // samples on every edge
  Recorder rec;
  r.render(FillRule::NonZero, AntiAlias::FourSamples, rec);
  EXPECT_EQ(rec.at(0, 0), 0);
  EXPECT_EQ(rec.at(1, 0), 192);  // three of four
  EXPECT_EQ(rec.at(1, 1), 128);  // the right two
  EXPECT_EQ(rec.at(2, 1), 255);
  EXPECT_EQ(rec.at(3, 1), 128);  // the left two: 3.75 is right of the edge at 3.5
  EXPECT_EQ(rec.at(2, 4), 128);  // the upper two
  EXPECT_EQ(rec.at(1, 4), 64);
  EXPECT_EQ(rec.at(2, 5), 0);
  EXPECT_EQ(rec.at(5, 1), 64);  // (5.75, 1.75) on both the left and the top edge
  EXPECT_EQ(rec.at(5, 2), 64);  // (5.75, 2.25); (5.75, 2.75) is on the bottom edge
  EXPECT_EQ(rec.at(6, 1), 128);
  EXPECT_EQ(rec.at(6, 2), 128);
  EXPECT_EQ(rec.at(7, 1), 0);  // (7.25, 1.75) right of the right edge
  for (auto& [k, v] : rec.cov)
    EXPECT_TRUE(v == 0 || v == 64 || v == 128 || v == 192 || v == 255) << v;
}

TEST(Rasterizer, FourSamplesFollowSlantedEdgesAndFillRules) {
  // A thin sliver slanting one pixel right per pixel down: each sample row
  // finds it half a pixel further right.
  Rasterizer r;
  r.reset(12, 8);
  addPolygon(r, {{2.1f, 0}, {3.1f, 0}, {11.1f, 8}, {10.1f, 8}});
  Recorder rec;
  r.render(FillRule::NonZero, AntiAlias::FourSamples, rec);
  // Row 2: the sample row y=2.25 covers x in [4.35, 5.35), y=2.75 [4.85, 5.85).
  EXPECT_EQ(rec.at(3, 2), 0);
  EXPECT_EQ(rec.at(4, 2), 64);   // (4.75, 2.25)
  EXPECT_EQ(rec.at(5, 2), 192);  // (5.25, 2.25), (5.25, 2.75), (5.75, 2.75)
  EXPECT_EQ(rec.at(6, 2), 0);
  int samples = 0;
  for (auto& [k, v] : rec.cov) samples += v == 255 ? 4 : v / 64;
  EXPECT_EQ(samples, 32);  // two in every sample row

  auto overlap = [](FillRule rule) {
    Rasterizer o;
    o.reset(20, 20);
    addPolygon(o, {{0, 0}, {10.5f, 0}, {10.5f, 10}, {0, 10}});
    addPolygon(o, {{5, 5}, {15, 5}, {15, 15}, {5, 15}});
    addPolygon(o, {{5, 5}, {15, 5}, {15, 15}, {5, 15}});
    Recorder rec;
    o.render(rule, AntiAlias::FourSamples, rec);
    return rec;
  };
  Recorder nz = overlap(FillRule::NonZero), eo = overlap(FillRule::EvenOdd);
  EXPECT_EQ(nz.at(7, 7), 255);
  EXPECT_EQ(nz.at(10, 7), 255);
  EXPECT_EQ(eo.at(7, 7), 255);   // three times over
  EXPECT_EQ(eo.at(10, 7), 128);  // left samples three times over, right ones twice
  EXPECT_EQ(eo.at(10, 2), 128);
  EXPECT_EQ(eo.at(12, 12), 0);  // twice over
}

TEST(Rasterizer, FillRulesTreatOverlapsDifferently) {
  auto draw = [](FillRule rule) {
    Rasterizer r;
    r.reset(20, 20);
    addPolygon(r, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    addPolygon(r, {{5, 5}, {15, 5}, {15, 15}, {5, 15}});
    Recorder rec;
    r.render(rule, AntiAlias::Area, rec);
    return rec;
  };
  Recorder nz = draw(FillRule::NonZero), eo = draw(FillRule::EvenOdd);
  EXPECT_EQ(nz.at(7, 7), 255);
  EXPECT_EQ(eo.at(7, 7), 0);
  EXPECT_EQ(eo.at(2, 2), 255);
  EXPECT_EQ(eo.at(12, 12), 255);
}

TEST(Rasterizer, ClipsToTheTargetAndKeepsWindingFromOutside) {
  Rasterizer r;
  r.reset(8, 8);
  addPolygon(r, {{-100, -50}, {4.5f, -50}, {4.5f, 100}, {-100, 100}});
  Recorder rec;
  r.render(FillRule::NonZero, AntiAlias::Area, rec);
  for (int y = 0; y < 8; ++y) {
    EXPECT_EQ(rec.at(0, y), 255);
    EXPECT_EQ(rec.at(3, y), 255);
    EXPECT_NEAR(rec.at(4, y), 128, 1);
    EXPECT_EQ(rec.at(5, y), 0);
  }
  for (auto& [k, v] : rec.cov) {
    EXPECT_GE(k.first, 0);
    EXPECT_LT(k.first, 8);
    EXPECT_GE(k.second, 0);
    EXPECT_LT(k.second, 8);
  }
}

TEST(Rasterizer, SurvivesHostileCoordinates) {
  Rasterizer r;
  r.reset(16, 16);
  const float inf = std::numeric_limits<float>::infinity();
  addPolygon(r, {{-1e30f, 3}, {1e30f, 7}, {NAN, 9}, {inf, -inf}});
  Recorder rec;
  r.render(FillRule::EvenOdd, AntiAlias::Area, rec);
  r.render(FillRule::NonZero, AntiAlias::Off, rec);
  for (auto& [k, v] : rec.cov) {
    EXPECT_GE(k.first, 0);
    EXPECT_LT(k.first, 16);
  }
}

}  // namespace
}  // namespace orv::movie::render
