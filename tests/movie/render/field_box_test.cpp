// Text field boxes: where the background and the one-pixel border of an edit text
// field fall on the pixel grid, their colours, and which transforms hide a field
// drawn in device fonts.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>

#include "movie/render/field_box.h"
#include "movie/render/movie_renderer.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

using test::Frame;

constexpr uint32_t kWhite = 0xFFFFFFFFu;

struct FieldScene {
  std::shared_ptr<swf::Movie> movie = std::make_shared<swf::Movie>();
  std::vector<swf::Character> defs;  // stable: reserved up front
  std::vector<DisplayNode> nodes;
  FieldScene() { defs.reserve(16); }

  // A field of w x h twips placed with `m` (twips), its box as scripts set it.
  DisplayNode& add(int w, int h, swf::Matrix m, std::optional<FieldBox> box = {},
                   bool outlines = false, bool borderFlag = false) {
    swf::EditTextDef def;
    def.bounds = {0, w, 0, h};
    def.useOutlines = outlines;
    def.border = borderFlag;
    defs.emplace_back(def);
    DisplayNode node;
    node.character = &defs.back();
    node.matrix = m;
    node.depth = uint16_t(nodes.size() + 1);
    node.fieldBox = box;
    nodes.push_back(node);
    return nodes.back();
  }

  // Draws the scene on a white w x h frame; `scale` device pixels per stage pixel.
  Frame draw(int w, int h, double scale, RenderQuality q = RenderQuality::High) {
    Frame f(w, h);
    MovieRenderer r(movie);
    r.render(nodes, f.surface(), {0, 0, w * 20 / scale, h * 20 / scale}, q, 0xFFFFFF);
    return f;
  }
};

swf::Matrix at(double xTwips, double yTwips, double a = 1, double b = 0, double c = 0,
               double d = 1) {
  swf::Matrix m;
  m.a = a;
  m.b = b;
  m.c = c;
  m.d = d;
  m.tx = xTwips;
  m.ty = yTwips;
  return m;
}

FieldBox borderOnly(uint32_t rgb) { return {true, false, rgb, 0xFFFFFF}; }
FieldBox backgroundOnly(uint32_t rgb) { return {false, true, 0, rgb}; }

// The pixels of `f` that are not white.
std::set<std::pair<int, int>> inked(const Frame& f) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x)
      if (f.at(x, y) != kWhite) out.insert({x, y});
  return out;
}

// The frame Flash draws for corners (x0, y0) and (x1, y1): both corner lines in
// full, less the bottom-right pixel.
std::set<std::pair<int, int>> frameOf(int x0, int y0, int x1, int y1) {
  std::set<std::pair<int, int>> out;
  for (int x = x0; x <= x1; ++x) out.insert({x, y0});
  for (int y = y0; y <= y1; ++y) out.insert({x0, y});
  for (int y = y0; y < y1; ++y) out.insert({x1, y});
  for (int x = x0; x < x1; ++x) out.insert({x, y1});
  return out;
}

std::set<std::pair<int, int>> boxOf(int x0, int y0, int x1, int y1) {
  std::set<std::pair<int, int>> out;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) out.insert({x, y});
  return out;
}

TEST(FieldBox, BorderLiesOnBothCornerLinesWithoutTheBottomRightPixel) {
  for (RenderQuality q : {RenderQuality::High, RenderQuality::Low}) {
    FieldScene s;
    s.add(200, 200, at(100, 200), borderOnly(0x000000));
    const Frame f = s.draw(60, 60, 2, q);  // 10 twips a pixel
    EXPECT_EQ(inked(f), frameOf(10, 20, 30, 40));
    EXPECT_EQ(f.at(10, 20), 0xFF000000u);
  }
  // A one-pixel field: a 3x3 frame less its bottom-right pixel.
  FieldScene tiny;
  tiny.add(20, 20, at(100, 100), borderOnly(0x000000));
  EXPECT_EQ(inked(tiny.draw(20, 20, 2)), frameOf(10, 10, 12, 12));
}

TEST(FieldBox, BackgroundFillsFromTheTopLeftLinesUpToTheBottomRightOnes) {
  FieldScene s;
  s.add(200, 200, at(100, 200), backgroundOnly(0xFF0000));
  const Frame f = s.draw(60, 60, 2);
  EXPECT_EQ(inked(f), boxOf(10, 20, 30, 40));
  EXPECT_EQ(f.at(29, 39), 0xFFFF0000u);

  // Border and background together: the border is drawn over, the corner stays white.
  FieldScene both;
  both.add(200, 200, at(100, 200), FieldBox{true, true, 0xFF00FF, 0x0000FF});
  const Frame g = both.draw(60, 60, 2);
  EXPECT_EQ(g.at(10, 20), 0xFFFF00FFu);
  EXPECT_EQ(g.at(30, 39), 0xFFFF00FFu);
  EXPECT_EQ(g.at(11, 21), 0xFF0000FFu);
  EXPECT_EQ(g.at(29, 39), 0xFF0000FFu);
  EXPECT_EQ(g.at(30, 40), kWhite);
}

TEST(FieldBox, TheDefinitionsBorderFlagMeansBlackOnWhiteAndScriptsSeparateThem) {
  FieldScene s;
  s.add(200, 200, at(100, 200), std::nullopt, false, true);
  const Frame f = s.draw(60, 60, 2);
  EXPECT_EQ(inked(f), frameOf(10, 20, 30, 40));

  // A white border on the white stage shows nothing; a background alone has no frame.
  FieldScene white;
  white.add(200, 200, at(100, 200), borderOnly(0xFFFFFF), false, true);
  EXPECT_TRUE(inked(white.draw(60, 60, 2)).empty());
}

TEST(FieldBox, CornersGoToTheNearestPixelAndSizesDownToWholePixels) {
  // Half a pixel off goes down; 1.365 times 200 twips at scale 2 is 27.3 pixels.
  FieldScene s;
  s.add(200, 200, at(105, 1005), borderOnly(0));
  s.add(200, 200, at(764, 964, 1.365, 0, 0, 1.365), borderOnly(0));
  const Frame f = s.draw(120, 130, 2);
  auto expected = frameOf(10, 100, 30, 120);
  auto scaled = frameOf(76, 96, 103, 123);
  expected.insert(scaled.begin(), scaled.end());
  EXPECT_EQ(inked(f), expected);

  const FieldBoxGeometry g =
      fieldBoxGeometry({0, 200, 0, 200}, Affine{0.1, 0, 0, 0.1, 49.966, 9.6}, false);
  EXPECT_EQ(g.x0, 50);
  EXPECT_EQ(g.y0, 10);
  EXPECT_EQ(g.x1, 70);
  EXPECT_EQ(g.y1, 30);
}

TEST(FieldBox, DeviceFontFieldsHideWhenRotatedSkewedOrMirrored) {
  const swf::Rect b{0, 240, 0, 240};
  const double k = 0.05;                                                        // twips to pixels
  EXPECT_FALSE(fieldBoxGeometry(b, Affine{0, k, -k, 0, 50, 50}, false).drawn);  // 90 degrees
  EXPECT_FALSE(fieldBoxGeometry(b, Affine{-k, 0, 0, k, 50, 50}, false).drawn);  // mirrored
  EXPECT_FALSE(fieldBoxGeometry(b, Affine{k, 0, 0.5 * k, k, 50, 50}, false).drawn);  // skewed
  // A skew too small to see is drawn upright.
  const FieldBoxGeometry slight = fieldBoxGeometry(b, Affine{k, 0.0049 * k, 0, k, 10, 30}, false);
  EXPECT_TRUE(slight.drawn);
  EXPECT_TRUE(slight.pixelAligned);
  EXPECT_EQ(slight.x1 - slight.x0, 12);
  // Embedded outlines follow any transform; mirrored or turned a quarter, the box
  // stays on the pixel grid around the transformed bounds.
  const FieldBoxGeometry turned = fieldBoxGeometry(b, Affine{0, k, -k, 0, 50, 50}, true);
  EXPECT_TRUE(turned.drawn);
  EXPECT_TRUE(turned.pixelAligned);
  EXPECT_EQ(turned.x0, 38);
  EXPECT_EQ(turned.x1, 50);
  EXPECT_EQ(turned.y0, 50);
  EXPECT_EQ(turned.y1, 62);
  const FieldBoxGeometry mirrored = fieldBoxGeometry(b, Affine{-k, 0, 0, k, 50, 50}, true);
  EXPECT_TRUE(mirrored.pixelAligned);
  EXPECT_EQ(mirrored.x0, 38);
  const FieldBoxGeometry diagonal =
      fieldBoxGeometry(b, Affine{0.7 * k, 0.7 * k, -0.7 * k, 0.7 * k, 50, 50}, true);
  EXPECT_TRUE(diagonal.drawn);
  EXPECT_FALSE(diagonal.pixelAligned);

  FieldScene s;
  s.add(240, 240, at(1000, 1000, 0, 1, -1, 0), FieldBox{true, true, 0, 0xFF});
  s.add(240, 240, at(1000, 100, -1, 0, 0, 1), FieldBox{true, true, 0, 0xFF});
  EXPECT_TRUE(inked(s.draw(100, 100, 1)).empty());
  FieldScene outlined;
  outlined.add(240, 240, at(1000, 1000, 0.7071, 0.7071, -0.7071, 0.7071),
               FieldBox{true, true, 0, 0xFF}, true);
  const Frame f = outlined.draw(100, 100, 1);
  EXPECT_EQ(f.at(50, 58), 0xFF0000FFu);  // inside the turned square
  EXPECT_EQ(f.at(40, 50), kWhite);       // outside its left corner
}

TEST(FieldBox, ATurnedFieldsFrameIsOnePixelAcrossEachRow) {
  // 45 degrees: each row crosses the frame's left edge once, with one pixel of ink.
  FieldScene s;
  s.add(240, 240, at(1000, 1000, 0.7071, 0.7071, -0.7071, 0.7071), borderOnly(0), true);
  const Frame f = s.draw(100, 100, 1);
  for (int y = 53; y < 58; ++y) {
    double ink = 0;
    for (int x = 35; x < 50; ++x) ink += (255 - test::channel(f.at(x, y), 8)) / 255.0;
    EXPECT_NEAR(ink, 1.0, 0.15) << "row " << y;
  }
}

TEST(FieldBox, EmbeddedOutlineFieldsHalfCoverTheBottomRightPixel) {
  FieldScene s;
  s.add(240, 240, at(100, 100), borderOnly(0), true);
  const Frame f = s.draw(30, 30, 1);
  const uint32_t corner = f.at(17, 17);
  EXPECT_GT(test::channel(corner, 0), 40);
  EXPECT_LT(test::channel(corner, 0), 215);
  EXPECT_EQ(f.at(17, 16), 0xFF000000u);
  EXPECT_EQ(f.at(16, 17), 0xFF000000u);
  // Without anti-aliasing there is no half pixel: the corner stays out.
  EXPECT_EQ(s.draw(30, 30, 1, RenderQuality::Low).at(17, 17), kWhite);
}

TEST(FieldBox, ClipsWithoutACharacterDrawTheirChildren) {
  // createEmptyMovieClip makes a clip that is only its children.
  FieldScene inner;
  inner.add(100, 100, at(0, 0), borderOnly(0));
  FieldScene s;
  DisplayNode clip;
  clip.matrix = at(200, 600);
  clip.depth = 1;
  clip.children = inner.nodes;
  s.nodes.push_back(clip);
  EXPECT_EQ(inked(s.draw(40, 40, 1)), frameOf(10, 30, 15, 35));
}

}  // namespace
}  // namespace orv::movie::render
