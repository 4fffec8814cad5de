// Filters: reading stored filter lists, and their effect on a layer (blur,
// drop shadow, glow, bevel, colour matrix, convolution, displacement map),
// alone and through the display list.
#include <gtest/gtest.h>

#include <cstring>

#include "movie/timeline/drawing.h"
#include "movie/render/raster/filters.h"
#include "movie/render/movie_renderer.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

// Writers for the stored little-endian fields.
struct Writer {
  std::vector<uint8_t> b;
  void u8(uint8_t v) { b.push_back(v); }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
  }
  void fixed16(double v) { u32(uint32_t(int32_t(v * 65536))); }
  void fixed8(double v) {
    const auto x = uint16_t(int16_t(v * 256));
    u8(uint8_t(x));
    u8(uint8_t(x >> 8));
  }
  void rgba(uint8_t r, uint8_t g, uint8_t bl, uint8_t a) { b.insert(b.end(), {r, g, bl, a}); }
  void f32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    u32(v);
  }
};

void dropShadow(Writer& w, double blur, double angle, double distance, uint8_t flags) {
  w.u8(0);
  w.rgba(0, 0, 255, 255);
  w.fixed16(blur);
  w.fixed16(blur);
  w.fixed16(angle);
  w.fixed16(distance);
  w.fixed8(1.0);
  w.u8(flags);
}
void glow(Writer& w, double blur, uint8_t flags) {
  w.u8(2);
  w.rgba(0, 255, 0, 255);
  w.fixed16(blur);
  w.fixed16(blur);
  w.fixed8(2.0);
  w.u8(flags);
}
void colorMatrix(Writer& w, const float (&m)[20]) {
  w.u8(6);
  for (float v : m) w.f32(v);
}
void convolution(Writer& w, uint8_t columns, uint8_t rows, std::initializer_list<float> kernel,
                 float divisor, float bias, uint32_t rgba, bool clamp, bool preserveAlpha) {
  w.u8(5);
  w.u8(columns);
  w.u8(rows);
  w.f32(divisor);
  w.f32(bias);
  for (float k : kernel) w.f32(k);
  w.rgba(uint8_t(rgba >> 24), uint8_t(rgba >> 16), uint8_t(rgba >> 8), uint8_t(rgba));
  w.u8((clamp ? 0x02 : 0) | (preserveAlpha ? 0x01 : 0));
}
constexpr float kSwapRedBlue[20] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};

TEST(FilterList, ReadsEveryKind) {
  Writer w;
  w.u8(7);
  w.u8(1);  // blur 4 x 2, 3 passes
  w.fixed16(4);
  w.fixed16(2);
  w.u8(3 << 3);
  // A 16 x 1 convolution is passed over: too big a matrix to draw.
  w.u8(5);
  w.u8(16);
  w.u8(1);
  for (int i = 0; i < 8 + 16 * 4 + 4 + 1; ++i) w.u8(0);
  dropShadow(w, 6, 0.5, 4, 0x20 | 2);
  glow(w, 8, 0x80 | 0x40 | 1);
  colorMatrix(w, kSwapRedBlue);
  convolution(w, 2, 1, {0.25f, 0.75f}, 2, 8, 0x11223344, false, true);
  // A convolution without factors draws nothing.
  w.u8(5);
  w.u8(0);
  w.u8(3);
  for (int i = 0; i < 8 + 4 + 1; ++i) w.u8(0);
  const auto list = parseFilters(w.b.data(), w.b.size());
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[4].kind, FilterKind::Convolution);
  EXPECT_EQ(list[4].columns, 2);
  EXPECT_EQ(list[4].rows, 1);
  EXPECT_EQ(list[4].kernel, (std::vector<float>{0.25f, 0.75f}));
  EXPECT_FLOAT_EQ(list[4].divisor, 2);
  EXPECT_FLOAT_EQ(list[4].bias, 8);
  EXPECT_EQ(list[4].color, 0x44112233u);
  EXPECT_FALSE(list[4].clamp);
  EXPECT_TRUE(list[4].preserveAlpha);
  EXPECT_EQ(list[0].kind, FilterKind::Blur);
  EXPECT_FLOAT_EQ(list[0].blurX, 4);
  EXPECT_FLOAT_EQ(list[0].blurY, 2);
  EXPECT_EQ(list[0].passes, 3);
  EXPECT_EQ(list[1].kind, FilterKind::DropShadow);
  EXPECT_EQ(list[1].color, 0xFF0000FFu);
  EXPECT_FLOAT_EQ(list[1].distance, 4);
  EXPECT_NEAR(list[1].angle, 0.5, 1e-4);
  EXPECT_TRUE(list[1].compositeSource);
  EXPECT_FALSE(list[1].inner);
  EXPECT_EQ(list[1].passes, 2);
  EXPECT_EQ(list[2].kind, FilterKind::Glow);
  EXPECT_TRUE(list[2].inner);
  EXPECT_TRUE(list[2].knockout);
  EXPECT_FLOAT_EQ(list[2].strength, 2);
  EXPECT_EQ(list[3].kind, FilterKind::ColorMatrix);
  EXPECT_FLOAT_EQ(list[3].matrix[2], 1);
}

TEST(FilterList, BevelStoresItsHighlightBeforeItsShadow) {
  Writer w;
  w.u8(1);
  w.u8(3);
  w.rgba(255, 255, 0, 255);  // highlight
  w.rgba(0, 0, 255, 128);    // shadow
  w.fixed16(4);
  w.fixed16(4);
  w.fixed16(0.785);
  w.fixed16(3);
  w.fixed8(1.5);
  w.u8(0x20 | 0x10 | 2);  // full (on top), two passes
  const auto list = parseFilters(w.b.data(), w.b.size());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].kind, FilterKind::Bevel);
  EXPECT_EQ(list[0].highlight, 0xFFFFFF00u);
  EXPECT_EQ(list[0].color, 0x800000FFu);
  EXPECT_TRUE(list[0].onTop);
  EXPECT_FALSE(list[0].inner);
  EXPECT_EQ(list[0].passes, 2);
  EXPECT_FLOAT_EQ(list[0].strength, 1.5);
}

TEST(FilterList, ReadsGradientGlowsAndBevelsWithTheirStops) {
  Writer w;
  w.u8(2);
  w.u8(4);  // gradient glow, two stops
  w.u8(2);
  w.rgba(0, 0, 255, 0);
  w.rgba(255, 0, 0, 255);
  w.u8(0);
  w.u8(255);
  w.fixed16(3);
  w.fixed16(5);
  w.fixed16(0.5);
  w.fixed16(2);
  w.fixed8(2);
  w.u8(0x40 | 0x20 | 3);  // knockout, three passes
  w.u8(7);                // gradient bevel, three stops
  w.u8(3);
  w.rgba(255, 255, 255, 255);
  w.rgba(0, 0, 0, 0);
  w.rgba(0, 0, 0, 255);
  w.u8(0);
  w.u8(128);
  w.u8(255);
  for (int i = 0; i < 4; ++i) w.fixed16(1);
  w.fixed8(1);
  w.u8(0x20 | 0x10 | 1);  // full
  const auto list = parseFilters(w.b.data(), w.b.size());
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].kind, FilterKind::GradientGlow);
  ASSERT_EQ(list[0].stopCount, 2);
  EXPECT_EQ(list[0].stops[0].argb, 0x000000FFu);
  EXPECT_EQ(list[0].stops[1].argb, 0xFFFF0000u);
  EXPECT_EQ(list[0].stops[1].ratio, 255);
  EXPECT_FLOAT_EQ(list[0].blurY, 5);
  EXPECT_FLOAT_EQ(list[0].distance, 2);
  EXPECT_TRUE(list[0].knockout);
  EXPECT_EQ(list[0].passes, 3);
  EXPECT_EQ(list[1].kind, FilterKind::GradientBevel);
  ASSERT_EQ(list[1].stopCount, 3);
  EXPECT_EQ(list[1].stops[1].ratio, 128);
  EXPECT_TRUE(list[1].onTop);

  // More stops than a gradient holds are read past, and what follows still is.
  Writer many;
  many.u8(2);
  many.u8(4);
  many.u8(20);
  for (int i = 0; i < 20; ++i) many.rgba(0, 0, 0, 255);
  for (int i = 0; i < 20; ++i) many.u8(uint8_t(i * 10));
  for (int i = 0; i < 4; ++i) many.fixed16(1);
  many.fixed8(1);
  many.u8(0x20 | 1);
  glow(many, 4, 0x20 | 1);
  const auto more = parseFilters(many.b.data(), many.b.size());
  ASSERT_EQ(more.size(), 2u);
  EXPECT_EQ(more[0].stopCount, 16);
  EXPECT_EQ(more[1].kind, FilterKind::Glow);
}

TEST(FilterList, CutShortOrUnknownKeepsWhatWasRead) {
  Writer w;
  w.u8(3);
  glow(w, 4, 0x20 | 1);
  w.u8(9);  // unknown kind: nothing after it can be read
  glow(w, 4, 0x20 | 1);
  EXPECT_EQ(parseFilters(w.b.data(), w.b.size()).size(), 1u);

  Writer cut;
  cut.u8(2);
  glow(cut, 4, 0x20 | 1);
  dropShadow(cut, 4, 0, 4, 0x20 | 1);
  cut.b.resize(cut.b.size() - 3);
  EXPECT_EQ(parseFilters(cut.b.data(), cut.b.size()).size(), 1u);
  EXPECT_TRUE(parseFilters(nullptr, 0).empty());
}

TEST(FilterList, HostileSizesStayBounded) {
  Writer w;
  w.u8(1);
  w.u8(1);
  w.fixed16(30000);
  w.fixed16(30000);
  w.u8(31 << 3);
  const auto list = parseFilters(w.b.data(), w.b.size());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_LE(list[0].passes, 15);
  EXPECT_LE(filterReach(list, 1), 4096);
}

// A 40x40 transparent layer with an opaque red 10x10 square at (15,15).
struct Layer {
  int w = 40, h = 40;
  std::vector<uint32_t> px = std::vector<uint32_t>(size_t(40) * 40, 0u);
  Layer() {
    for (int y = 15; y < 25; ++y)
      for (int x = 15; x < 25; ++x) px[size_t(y) * w + x] = 0xFFFF0000u;
  }
  uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
  Canvas::Bounds apply(const std::vector<Filter>& f, const FilterMaps* maps = nullptr) {
    return applyFilters(f, px.data(), w, h, {15, 15, 25, 25}, 1.0f, maps);
  }
};

TEST(FilterEffect, ColorMatrixMapsChannels) {
  Filter f;
  f.kind = FilterKind::ColorMatrix;
  std::copy(std::begin(kSwapRedBlue), std::end(kSwapRedBlue), f.matrix);
  Layer l;
  l.apply({f});
  EXPECT_EQ(l.at(20, 20), 0xFF0000FFu);
  EXPECT_EQ(l.at(5, 5), 0u);  // transparent stays transparent
}

Filter convolutionOf(int columns, int rows, std::vector<float> kernel) {
  Filter f;
  f.kind = FilterKind::Convolution;
  f.columns = columns;
  f.rows = rows;
  f.kernel = std::move(kernel);
  return f;
}

TEST(FilterEffect, ConvolutionSumsTheNeighboursUnderItsMatrix) {
  // Averaging across three pixels, with nothing past the object's edge.
  Filter average = convolutionOf(3, 1, {1, 1, 1});
  average.divisor = 3;
  average.clamp = false;
  average.preserveAlpha = false;
  Layer l;
  const Canvas::Bounds area = l.apply({average});
  EXPECT_EQ(area.x0, 15);  // it reaches no further
  EXPECT_EQ(area.x1, 25);
  EXPECT_EQ(l.at(15, 20), 0xAAAA0000u);  // two thirds at the edge
  EXPECT_EQ(l.at(20, 20), 0xFFFF0000u);  // solid inside
  EXPECT_EQ(l.at(14, 20), 0u);           // outside untouched

  // Repeating the edge instead, the object stays solid to its edge.
  average.clamp = true;
  Layer clamped;
  clamped.apply({average});
  EXPECT_EQ(clamped.at(15, 20), 0xFFFF0000u);

  // Past the edge the filter's colour comes in: here from the left.
  Filter fromLeft = convolutionOf(3, 1, {1, 0, 0});
  fromLeft.clamp = false;
  fromLeft.preserveAlpha = false;
  fromLeft.color = 0xFF0000FF;
  Layer shifted;
  shifted.apply({fromLeft});
  EXPECT_EQ(shifted.at(15, 20), 0xFF0000FFu);
  EXPECT_EQ(shifted.at(16, 20), 0xFFFF0000u);
}

TEST(FilterEffect, ConvolutionDividesBiasesAndMayLeaveAlphaBe) {
  Filter f = convolutionOf(1, 1, {1});
  f.divisor = 2;
  f.bias = 10;
  Layer l;
  l.apply({f});
  // 255 / 2 + 10 and 0 / 2 + 10, alpha as it was.
  EXPECT_EQ(l.at(20, 20), 0xFF8A0A0Au);

  // Alpha filtered too, colour kept within it; a divisor of 0 counts as 1.
  Filter fade = convolutionOf(1, 1, {0.5f});
  fade.divisor = 0;
  fade.bias = 0;
  fade.preserveAlpha = false;
  Layer faded;
  faded.apply({fade});
  EXPECT_EQ(faded.at(20, 20), 0x80800000u);

  // Averaging with preserved alpha darkens the edge without thinning it.
  Filter average = convolutionOf(3, 3, std::vector<float>(9, 1.0f));
  average.divisor = 9;
  average.clamp = false;
  Layer kept;
  kept.apply({average});
  EXPECT_EQ(kept.at(15, 20) >> 24, 255u);
  EXPECT_EQ(kept.at(15, 20), 0xFFAA0000u);
  EXPECT_EQ(kept.at(15, 15), 0xFF710000u);  // a corner: four of nine
}

TEST(FilterEffect, AConvolutionTooCostlyForItsObjectIsLeftUndone) {
  // 15 x 15 factors over 600 x 600 pixels would be 81 million steps.
  Filter f = convolutionOf(15, 15, std::vector<float>(225, 0.0f));
  f.bias = 255;
  f.preserveAlpha = false;
  std::vector<uint32_t> big(size_t(600) * 600, 0xFF000000u);
  applyFilters({f}, big.data(), 600, 600, {0, 0, 600, 600}, 1.0f);
  EXPECT_EQ(big[size_t(300) * 600 + 300], 0xFF000000u);
  // The same over a smaller object is drawn: everything lifted to white.
  applyFilters({f}, big.data(), 600, 600, {0, 0, 200, 200}, 1.0f);
  EXPECT_EQ(big[size_t(100) * 600 + 100], 0xFFFFFFFFu);
  EXPECT_EQ(big[size_t(300) * 600 + 300], 0xFF000000u);
}

// A displacement map of `w` x `h` pixels, all of one straight colour.
std::shared_ptr<const Bitmap> flatMap(int w, int h, uint32_t argb) {
  auto map = std::make_shared<Bitmap>();
  map->width = w;
  map->height = h;
  map->pixels.assign(size_t(w) * h, premultiply(argb));
  return map;
}

Filter displacement(float scaleX, DisplacementMode mode) {
  Filter f;
  f.kind = FilterKind::DisplacementMap;
  f.componentX = 1;  // red
  f.componentY = 2;  // green
  f.scaleX = scaleX;
  f.mode = mode;
  f.color = 0xFFFFFF00;
  return f;
}

TEST(FilterEffect, DisplacementMapMovesPixelsByItsComponents) {
  // Red 192 moves each pixel's source (192 - 128) * 8 / 256 = 2 pixels right;
  // green 128 moves nothing.
  const FilterMaps maps = {flatMap(10, 10, 0xFFC08000)};
  // The square with a blue first column and a green last one.
  auto marked = [] {
    Layer l;
    for (int y = 15; y < 25; ++y) {
      l.px[size_t(y) * l.w + 15] = 0xFF0000FF;
      l.px[size_t(y) * l.w + 24] = 0xFF00FF00;
    }
    return l;
  };
  Layer wrap = marked();
  applyFilters({displacement(8, DisplacementMode::Wrap)}, wrap.px.data(), 40, 40, {15, 15, 25, 25},
               1, &maps);
  EXPECT_EQ(wrap.at(15, 20), 0xFFFF0000u);  // from x 17
  EXPECT_EQ(wrap.at(22, 20), 0xFF00FF00u);  // from x 24, the green column
  EXPECT_EQ(wrap.at(23, 20), 0xFF0000FFu);  // from x 25: round to the blue first column
  EXPECT_EQ(wrap.at(14, 20), 0u);           // outside the object: untouched

  Layer clamp = marked();
  applyFilters({displacement(8, DisplacementMode::Clamp)}, clamp.px.data(), 40, 40,
               {15, 15, 25, 25}, 1, &maps);
  EXPECT_EQ(clamp.at(23, 20), 0xFF00FF00u);  // the edge repeats
  Layer ignore = marked();
  applyFilters({displacement(8, DisplacementMode::Ignore)}, ignore.px.data(), 40, 40,
               {15, 15, 25, 25}, 1, &maps);
  EXPECT_EQ(ignore.at(23, 20), 0xFFFF0000u);  // as it was
  Layer color = marked();
  applyFilters({displacement(8, DisplacementMode::Color)}, color.px.data(), 40, 40,
               {15, 15, 25, 25}, 1, &maps);
  EXPECT_EQ(color.at(23, 20), 0xFFFFFF00u);  // the filter's colour
  EXPECT_EQ(color.at(22, 20), 0xFF00FF00u);

  // Without its bitmap the filter does nothing.
  Layer unmapped = marked();
  applyFilters({displacement(8, DisplacementMode::Color)}, unmapped.px.data(), 40, 40,
               {15, 15, 25, 25}, 1);
  EXPECT_EQ(unmapped.px, marked().px);
}

TEST(FilterEffect, DisplacementMapLiesFromTheObjectsCornerAndScalesWithTheView) {
  // A 3 x 10 map placed 5 pixels in: only columns 20 to 22 move.
  const FilterMaps maps = {flatMap(3, 10, 0xFFC08000)};
  Filter f = displacement(8, DisplacementMode::Color);
  f.mapX = 5;
  Layer l;
  l.px[size_t(20) * l.w + 24] = 0xFF00FF00;
  l.px[size_t(20) * l.w + 22] = 0xFF0000FF;
  applyFilters({f}, l.px.data(), 40, 40, {15, 15, 25, 25}, 1, &maps);
  EXPECT_EQ(l.at(19, 20), 0xFFFF0000u);
  EXPECT_EQ(l.at(20, 20), 0xFF0000FFu);  // from 22
  EXPECT_EQ(l.at(22, 20), 0xFF00FF00u);  // from 24
  EXPECT_EQ(l.at(24, 20), 0xFF00FF00u);  // past the map: stays

  // Twice the view: the map's pixels cover 2 x 2 device pixels and move twice as far.
  std::vector<uint32_t> big(size_t(80) * 80, 0);
  for (int y = 30; y < 50; ++y)
    for (int x = 30; x < 50; ++x) big[size_t(y) * 80 + x] = x == 38 ? 0xFF0000FFu : 0xFFFF0000u;
  applyFilters({displacement(8, DisplacementMode::Color)}, big.data(), 80, 80, {30, 30, 50, 50}, 2,
               &maps);
  EXPECT_EQ(big[size_t(40) * 80 + 34], 0xFF0000FFu);  // from 38, four device pixels on
  EXPECT_EQ(big[size_t(40) * 80 + 35], 0xFFFF0000u);  // from 39
  EXPECT_EQ(big[size_t(40) * 80 + 38], 0xFF0000FFu);  // the map (3 movie pixels) ends at 36
}

TEST(FilterEffect, BlurSpreadsSymmetricallyAndKeepsTheTotal) {
  Filter f;
  f.kind = FilterKind::Blur;
  f.blurX = f.blurY = 5;
  Layer l;
  const auto area = l.apply({f});
  EXPECT_LE(area.x0, 13);
  EXPECT_GE(area.x1, 27);
  EXPECT_EQ(l.at(20, 20), 0xFFFF0000u);  // the middle stays solid
  EXPECT_GT(l.at(14, 20) >> 24, 0u);     // spread past the edge
  EXPECT_LT(l.at(14, 20) >> 24, 255u);
  EXPECT_EQ(l.at(14, 20) >> 24, l.at(25, 20) >> 24);  // as much left as right
  EXPECT_EQ(l.at(20, 14) >> 24, l.at(20, 25) >> 24);
  EXPECT_EQ(l.at(10, 20), 0u);  // not past its reach
  long total = 0;
  for (uint32_t p : l.px) total += p >> 24;
  EXPECT_NEAR(double(total), 100.0 * 255, 100.0 * 255 * 0.02);
}

TEST(FilterEffect, DropShadowFallsBehindTheSourceAtItsAngle) {
  Filter f;
  f.kind = FilterKind::DropShadow;
  f.color = 0xFF0000FF;
  f.distance = 4;
  f.angle = 0;  // to the right
  Layer l;
  l.apply({f});
  EXPECT_EQ(l.at(20, 20), 0xFFFF0000u);  // source on top
  EXPECT_EQ(l.at(27, 20), 0xFF0000FFu);  // shadow beyond its right edge
  EXPECT_EQ(l.at(13, 20), 0u);           // nothing on the left
}

TEST(FilterEffect, GlowKnockoutAndInnerGlow) {
  Filter f;
  f.kind = FilterKind::Glow;
  f.color = 0xFF00FF00;
  f.blurX = f.blurY = 5;
  f.knockout = true;
  Layer outer;
  outer.apply({f});
  EXPECT_EQ(outer.at(20, 20), 0u);                                   // the source is cut out
  EXPECT_EQ((outer.at(14, 20) >> 8) & 255, outer.at(14, 20) >> 24);  // green glow outside
  EXPECT_GT(outer.at(14, 20) >> 24, 0u);

  f.knockout = false;
  f.inner = true;
  Layer inner;
  inner.apply({f});
  EXPECT_EQ(inner.at(14, 20), 0u);               // nothing outside the source
  EXPECT_GT((inner.at(15, 20) >> 8) & 255, 0u);  // green at the inner edge
  EXPECT_EQ(inner.at(20, 20), 0xFFFF0000u);      // the middle untouched
}

// A bevel lit from the left (angle 0) two pixels deep and unblurred, in
// yellow highlight and blue shadow.
Filter bevelFilter(bool inner, bool full, bool knockout) {
  Filter f;
  f.kind = FilterKind::Bevel;
  f.highlight = 0xFFFFFF00;
  f.color = 0xFF0000FF;
  f.distance = 2;
  f.angle = 0;
  f.inner = inner;
  f.onTop = full;
  f.knockout = knockout;
  return f;
}

TEST(FilterEffect, BevelLightsTheEdgeFacingItsAngleAndShadesTheOther) {
  Layer inner;
  inner.apply({bevelFilter(true, false, false)});
  EXPECT_EQ(inner.at(15, 20), 0xFFFFFF00u);  // the left edge takes the highlight
  EXPECT_EQ(inner.at(16, 20), 0xFFFFFF00u);
  EXPECT_EQ(inner.at(24, 20), 0xFF0000FFu);  // the right edge the shadow
  EXPECT_EQ(inner.at(20, 20), 0xFFFF0000u);  // the middle is untouched
  EXPECT_EQ(inner.at(20, 15), 0xFFFF0000u);  // edges along the light are not lit
  EXPECT_EQ(inner.at(13, 20), 0u);           // nothing outside
  EXPECT_EQ(inner.at(26, 20), 0u);

  Layer outer;
  const auto area = outer.apply({bevelFilter(false, false, false)});
  EXPECT_LE(area.x0, 13);
  EXPECT_GE(area.x1, 27);
  EXPECT_EQ(outer.at(13, 20), 0xFFFFFF00u);  // outside the left edge
  EXPECT_EQ(outer.at(26, 20), 0xFF0000FFu);  // outside the right edge
  EXPECT_EQ(outer.at(15, 20), 0xFFFF0000u);  // the source whole
  EXPECT_EQ(outer.at(24, 20), 0xFFFF0000u);

  Layer full;
  full.apply({bevelFilter(false, true, false)});
  EXPECT_EQ(full.at(13, 20), 0xFFFFFF00u);  // both sides of each edge, over the source
  EXPECT_EQ(full.at(15, 20), 0xFFFFFF00u);
  EXPECT_EQ(full.at(24, 20), 0xFF0000FFu);
  EXPECT_EQ(full.at(26, 20), 0xFF0000FFu);
  EXPECT_EQ(full.at(20, 20), 0xFFFF0000u);
}

TEST(FilterEffect, BevelKnockoutLeavesOnlyTheBevelAndStrengthScalesIt) {
  Layer knocked;
  knocked.apply({bevelFilter(true, false, true)});
  EXPECT_EQ(knocked.at(20, 20), 0u);  // the source is cut out
  EXPECT_EQ(knocked.at(15, 20), 0xFFFFFF00u);
  EXPECT_EQ(knocked.at(24, 20), 0xFF0000FFu);

  Filter weak = bevelFilter(false, false, true);
  weak.strength = 0.5f;
  Layer half;
  half.apply({weak});
  EXPECT_EQ(half.at(15, 20), 0u);  // an outer knockout leaves the inside empty
  EXPECT_NEAR(double(half.at(13, 20) >> 24), 128, 1);
  EXPECT_EQ(half.at(13, 20) & 0xFF, 0u);  // yellow: no blue
  EXPECT_NEAR(double(half.at(26, 20) & 0xFF), 128, 1);
}

TEST(FilterEffect, BevelBlurSoftensTheEdgeSymmetrically) {
  Filter f = bevelFilter(true, false, true);
  f.blurX = f.blurY = 3;  // a three-pixel box
  Layer l;
  l.apply({f});
  // Across the right edge the shadow rises a third at a time; the same
  // steps of highlight across the left edge.
  EXPECT_NEAR(double(l.at(22, 20) >> 24), 85, 1);
  EXPECT_NEAR(double(l.at(23, 20) >> 24), 170, 1);
  EXPECT_EQ(l.at(24, 20) >> 24, 255u);
  EXPECT_EQ(l.at(22, 20) & 0xFFFFFF, l.at(22, 20) >> 24);  // premultiplied blue
  EXPECT_EQ(l.at(17, 20) >> 24, 85u);
  EXPECT_EQ(l.at(16, 20) >> 24, 170u);
  EXPECT_EQ(l.at(15, 20), 0xFFFFFF00u);
  // The top row has only two of the three rows of the box inside.
  EXPECT_NEAR(double(l.at(24, 15) >> 24), 170, 1);
}

TEST(FilterEffect, BevelBlurOfAnEvenWidthCountsTheEndsOfItsBoxHalf) {
  Filter f = bevelFilter(true, false, true);
  f.blurX = f.blurY = 4;  // pixels -1..1 whole, and half of -2 and 2
  Layer l;
  l.apply({f});
  EXPECT_NEAR(double(l.at(24, 20) >> 24), 223, 1);  // 1 - 1/8
  EXPECT_NEAR(double(l.at(23, 20) >> 24), 159, 1);  // 1 - 3/8
  EXPECT_NEAR(double(l.at(22, 20) >> 24), 96, 1);
  EXPECT_NEAR(double(l.at(21, 20) >> 24), 32, 1);
  EXPECT_NEAR(double(l.at(15, 20) >> 24), 223, 1);  // the same in highlight on the left
}

// The red square at half opacity.
struct HalfLayer : Layer {
  HalfLayer() {
    for (uint32_t& p : px)
      if (p) p = 0x80800000u;
  }
};

TEST(FilterEffect, BevelsLieOnAndUnderATranslucentSourceWithoutThickeningIt) {
  // Twice the strength makes up for the source's half opacity.
  Filter f = bevelFilter(true, false, false);
  f.strength = 2;
  // Inside, the bevel takes the source's place: as opaque as the source, no more.
  HalfLayer inner;
  inner.apply({f});
  EXPECT_EQ(inner.at(15, 20), 0x80808000u);  // yellow at half opacity
  EXPECT_EQ(inner.at(20, 20), 0x80800000u);
  // An outer bevel shows through the source where the source is thin.
  f.inner = false;
  HalfLayer outer;
  outer.apply({f});
  EXPECT_EQ(outer.at(13, 20), 0xFFFFFF00u);
  EXPECT_EQ(outer.at(15, 20), 0xFFFF7F00u);  // half red over yellow
  EXPECT_EQ(outer.at(20, 20), 0x80800000u);
  // Knocked out, it keeps to its side of the translucent edge.
  f.knockout = true;
  HalfLayer knocked;
  knocked.apply({f});
  EXPECT_EQ(knocked.at(15, 20), 0x7F7F7F00u);
  EXPECT_EQ(knocked.at(20, 20), 0u);
}

TEST(FilterEffect, InnerGlowOnATranslucentSourceKeepsItsOpacity) {
  Filter f;
  f.kind = FilterKind::Glow;
  f.color = 0xFF00FF00;
  f.strength = 2;
  f.inner = true;
  HalfLayer l;
  l.apply({f});
  EXPECT_EQ(l.at(15, 20) >> 24, 0x80u);  // green in the source's place
  EXPECT_LE((l.at(15, 20) >> 16) & 255, 1u);
  EXPECT_GE((l.at(15, 20) >> 8) & 255, 0x7Eu);
  EXPECT_EQ(l.at(20, 20) >> 24, 0x80u);
  EXPECT_EQ(l.at(13, 20), 0u);
}

TEST(FilterEffect, GradientBevelRunsFromHighlightThroughItsMiddleToShadow) {
  Filter f = bevelFilter(true, false, false);
  f.kind = FilterKind::GradientBevel;
  f.stops[0] = {0, 0xFFFFFF00u};    // highlight: yellow
  f.stops[1] = {128, 0x00000000u};  // unlit: nothing
  f.stops[2] = {255, 0xFF0000FFu};  // shadow: blue
  f.stopCount = 3;
  Layer l;
  l.apply({f});
  EXPECT_EQ(l.at(15, 20), 0xFFFFFF00u);
  EXPECT_EQ(l.at(24, 20), 0xFF0000FFu);
  EXPECT_EQ(l.at(20, 20), 0xFFFF0000u);
  EXPECT_EQ(l.at(13, 20), 0u);
}

TEST(FilterEffect, GradientGlowColoursByStrength) {
  Filter f;
  f.kind = FilterKind::GradientGlow;
  f.stops[0] = {0, 0x000000FFu};    // faded out: transparent blue
  f.stops[1] = {255, 0xFF0000FFu};  // strongest: opaque blue
  f.stopCount = 2;
  f.blurX = f.blurY = 3;
  f.knockout = true;
  Layer l;
  l.apply({f});
  EXPECT_EQ(l.at(25, 20), 0x55000055u);  // a third of the box covered: a third of the way along
  EXPECT_EQ(l.at(20, 20), 0u);           // knocked out
  EXPECT_EQ(l.at(30, 20), 0u);
  f.strength = 3;
  Layer strong;
  strong.apply({f});
  EXPECT_EQ(strong.at(25, 20), 0xFF0000FFu);  // three times a third: the end of the gradient
  // At a distance, along its angle, like a drop shadow.
  f.strength = 1;
  f.blurX = f.blurY = 0;
  f.distance = 3;
  f.knockout = false;
  Layer cast;
  cast.apply({f});
  EXPECT_EQ(cast.at(27, 20), 0xFF0000FFu);
  EXPECT_EQ(cast.at(20, 20), 0xFFFF0000u);
  EXPECT_EQ(cast.at(13, 20), 0u);
}

TEST(FilterEffect, FiltersThatWouldMakeTooBigAPictureAreLeftUndone) {
  Filter wide;
  wide.kind = FilterKind::DropShadow;
  wide.color = 0xFF0000FF;
  wide.distance = 4;
  // At 16 device pixels a movie pixel, 500 pixels of shadow reach 8000 on
  // each side: too wide.
  Layer l;
  const auto area = applyFilters({wide}, l.px.data(), l.w, l.h, {15, 15, 25, 25}, 16.0f);
  wide.distance = 500;
  Layer far;
  const auto farArea = applyFilters({wide}, far.px.data(), far.w, far.h, {15, 15, 25, 25}, 16.0f);
  EXPECT_GT(area.x1, 25);     // the short shadow is drawn
  EXPECT_EQ(farArea.x1, 25);  // the long one is not
  EXPECT_EQ(far.at(20, 20), 0xFFFF0000u);
  EXPECT_EQ(far.at(30, 20), 0u);
}

TEST(FilterEffect, AnyStoredListLeavesValidPremultipliedPixels) {
  // Filter lists made of arbitrary bytes, each kind's id put first so most
  // are read, applied to a translucent source: never a colour above its alpha.
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return uint8_t(seed >> 24);
  };
  const uint8_t kinds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  // Displacement maps name one of these: a translucent, uneven map.
  auto uneven = std::make_shared<Bitmap>();
  uneven->width = uneven->height = 7;
  for (int i = 0; i < 49; ++i)
    uneven->pixels.push_back(premultiply(0x80000000u | (uint32_t(i) * 0x050A0F)));
  const FilterMaps maps = {uneven, flatMap(3, 3, 0xFFFFFFFF)};
  size_t applied = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = {uint8_t(1 + next() % 3)};
    for (int i = 0; i < 3; ++i) {
      bytes.push_back(kinds[next() % 9]);
      if (bytes.back() == 4 || bytes.back() == 7) bytes.push_back(next() % 5);
      if (bytes.back() == 8) bytes.push_back(next() % 3);
      if (bytes.back() == 5) bytes.insert(bytes.end(), {uint8_t(next() % 4), uint8_t(next() % 4)});
      for (int k = 0; k < 100; ++k) bytes.push_back(next() % 4 == 0 ? next() % 8 : next());
    }
    const auto list = parseFilters(bytes.data(), bytes.size());
    applied += list.size();
    Layer l;
    for (int y = 15; y < 25; ++y)
      for (int x = 15; x < 25; ++x) l.px[size_t(y) * l.w + x] = 0xC0A00040u + uint32_t(x - 15);
    l.apply(list, &maps);
    for (uint32_t p : l.px) {
      const uint32_t a = p >> 24;
      ASSERT_LE((p >> 16) & 255, a) << "round " << round;
      ASSERT_LE((p >> 8) & 255, a) << "round " << round;
      ASSERT_LE(p & 255, a) << "round " << round;
    }
  }
  EXPECT_GT(applied, 300u);  // most lists hold filters that were drawn
}

TEST(FilterEffect, ThroughTheDisplayList) {
  swf::ShapeDef def;
  def.shape = test::makeShape("M 100 100 F1 1 l 200 100 l 200 200 l 100 200 l 100 100",
                              {test::solidFill(255, 0, 0)});
  const swf::Character square = def;
  Writer w;
  w.u8(1);
  dropShadow(w, 1, 0, 4, 0x20 | 1);
  DisplayNode node;
  node.character = &square;
  node.depth = 1;
  node.filters = &w.b;
  test::Frame frame(20, 20);
  MovieRenderer r;
  r.render({node}, frame.surface(), {0, 0, 400, 400}, RenderQuality::High, 0xFFFFFF);
  EXPECT_EQ(frame.at(7, 7), 0xFFFF0000u);
  EXPECT_EQ(frame.at(12, 7), 0xFF0000FFu);
  EXPECT_EQ(frame.at(3, 7), 0xFFFFFFFFu);
}

TEST(FilterEffect, SomethingJustOffTheStageStillCastsItsShadowOntoIt) {
  // A square above the top edge, its shadow six pixels straight down.
  swf::ShapeDef def;
  def.shape = test::makeShape("M 100 -200 F1 1 l 200 -200 l 200 -20 l 100 -20 l 100 -200",
                              {test::solidFill(255, 0, 0)});
  const swf::Character square = def;
  Writer w;
  w.u8(1);
  dropShadow(w, 1, 3.14159265 / 2, 6, 0x20 | 1);
  DisplayNode node;
  node.character = &square;
  node.depth = 1;
  node.filters = &w.b;
  test::Frame frame(20, 20);
  MovieRenderer r;
  r.render({node}, frame.surface(), {0, 0, 400, 400}, RenderQuality::High, 0xFFFFFF);
  EXPECT_EQ(frame.at(7, 0), 0xFF0000FFu);
  EXPECT_EQ(frame.at(7, 4), 0xFF0000FFu);
  EXPECT_EQ(frame.at(7, 6), 0xFFFFFFFFu);  // no further than the square's height
  EXPECT_EQ(frame.at(2, 2), 0xFFFFFFFFu);
}

// A filtered object that stands still is put down from the pixels kept after its
// filters; anything in it that changes, down to a child's place, draws it afresh.
// A clip holding a red square, with a drop shadow.
struct ShadowedClip {
  swf::Character square, sprite = swf::SpriteDef{};
  Writer filters;
  DisplayNode clip;
  ShadowedClip() {
    swf::ShapeDef def;
    def.shape = test::makeShape("M 100 100 F1 1 l 200 100 l 200 200 l 100 200 l 100 100",
                                {test::solidFill(255, 0, 0)});
    square = def;
    filters.u8(1);
    dropShadow(filters, 2, 0.5, 3, 0x20 | 1);
    DisplayNode child;
    child.character = &square;
    child.depth = 1;
    clip.character = &sprite;
    clip.depth = 1;
    clip.filters = &filters.b;
    clip.children = {child};
  }
  ShadowedClip(const ShadowedClip&) = delete;
};

size_t keptAfterThreeFrames(MovieRenderer& r, const DisplayNode& n) {
  for (int i = 0; i < 3; ++i) {
    test::Frame f(30, 30);
    r.render({n}, f.surface(), {0, 0, 600, 600}, RenderQuality::High, 0xFFFFFF);
  }
  return r.keptLayerCount();
}

TEST(FilterEffect, AFilteredObjectStandingStillIsKeptAndRedrawnWhenAnythingInItChanges) {
  ShadowedClip shadowed;
  const DisplayNode& clip = shadowed.clip;
  auto fresh = [&](const DisplayNode& n) {
    test::Frame f(30, 30);
    MovieRenderer r;
    r.render({n}, f.surface(), {0, 0, 600, 600}, RenderQuality::High, 0xFFFFFF);
    return f.pixels;
  };
  MovieRenderer kept;
  auto frame = [&](const DisplayNode& n) {
    test::Frame f(30, 30);
    kept.render({n}, f.surface(), {0, 0, 600, 600}, RenderQuality::High, 0xFFFFFF);
    return f.pixels;
  };
  const auto still = fresh(clip);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(frame(clip), still) << i;
  EXPECT_EQ(kept.keptLayerCount(), 1u);
  // The child moves: a new picture, the same as drawing it afresh.
  DisplayNode moved = clip;
  moved.children[0].matrix.tx = 100;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(frame(moved), fresh(moved)) << i;
  EXPECT_NE(fresh(moved), still);
  // Another colour for the clip, or another shadow.
  DisplayNode tinted = clip;
  tinted.cxform.gAdd = 200;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(frame(tinted), fresh(tinted)) << i;
  Writer w2;
  w2.u8(1);
  dropShadow(w2, 2, 0.5, 6, 0x20 | 1);
  DisplayNode longer = clip;
  longer.filters = &w2.b;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(frame(longer), fresh(longer)) << i;
  // Script drawings can change without their node changing: never kept.
  MovieRenderer drawn;
  movie::Drawing drawing;
  DisplayNode withDrawing = clip;
  withDrawing.drawing = &drawing;
  EXPECT_EQ(keptAfterThreeFrames(drawn, withDrawing), 0u);
}

TEST(FilterEffect, ObjectsOfTheRenderersOwnMovieAreKeptThoseOfLoadedMoviesAreNot) {
  ShadowedClip shadowed;
  const auto own = std::make_shared<swf::Movie>(), loaded = std::make_shared<swf::Movie>();
  DisplayNode ofOwn = shadowed.clip;
  ofOwn.movie = own.get();
  ofOwn.children[0].movie = own.get();
  MovieRenderer renderer(own);
  EXPECT_EQ(keptAfterThreeFrames(renderer, ofOwn), 1u);

  // A loaded movie may be let go while its objects' pictures are kept.
  DisplayNode ofLoaded = shadowed.clip;
  ofLoaded.movie = loaded.get();
  MovieRenderer other(own);
  EXPECT_EQ(keptAfterThreeFrames(other, ofLoaded), 0u);
  DisplayNode holdingLoaded = ofOwn;
  holdingLoaded.children[0].movie = loaded.get();
  EXPECT_EQ(keptAfterThreeFrames(other, holdingLoaded), 0u);
}

}  // namespace
}  // namespace orv::movie::render
