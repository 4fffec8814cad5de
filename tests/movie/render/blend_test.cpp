// Blend modes: the per-pixel arithmetic, and layers through the display list
// (a blended sprite is drawn alone, then combined with what is below it).
#include <gtest/gtest.h>

#include "movie/render/raster/blend.h"
#include "movie/render/movie_renderer.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

using test::Frame;

constexpr uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF, kBlack = 0xFF000000,
                   kGrey = 0xFF808080;

TEST(BlendPixel, SeparableModesOnOpaqueColours) {
  EXPECT_EQ(blendPixel(BlendMode::Multiply, 0xFF80FF00, 0xFF8080FF), 0xFF408000u);
  EXPECT_EQ(blendPixel(BlendMode::Screen, 0xFF000000, 0xFF336699), 0xFF336699u);
  EXPECT_EQ(blendPixel(BlendMode::Screen, 0xFF808080, 0xFF808080), 0xFFC0C0C0u);
  EXPECT_EQ(blendPixel(BlendMode::Lighten, 0xFF10F010, 0xFF801080), 0xFF80F080u);
  EXPECT_EQ(blendPixel(BlendMode::Darken, 0xFF10F010, 0xFF801080), 0xFF101010u);
  EXPECT_EQ(blendPixel(BlendMode::Difference, 0xFF10F010, 0xFF801080), 0xFF70E070u);
  EXPECT_EQ(blendPixel(BlendMode::Add, 0xFFC01000, 0xFF801020), 0xFFFF2020u);
  EXPECT_EQ(blendPixel(BlendMode::Subtract, 0xFFC01040, 0xFF802010), 0xFF400030u);
  EXPECT_EQ(blendPixel(BlendMode::Invert, 0xFF00FF40, 0xFF123456), 0xFFFF00BFu);
}

TEST(BlendPixel, ScalingByCoverageRoundsEachChannelOnItsOwn) {
  // Every channel value times every coverage, each channel in its own place
  // and the others different, so no channel's result leaks into another.
  for (uint32_t c = 0; c < 256; ++c) {
    for (uint32_t k = 0; k < 256; ++k) {
      const uint32_t expected = (c * k + 127) / 255;  // c*k/255 to the nearest
      const uint32_t others = 255 - c;
      const uint32_t otherScaled = (others * k + 127) / 255;
      for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t p = (0x01010101u * others & ~(0xFFu << shift)) | (c << shift);
        const uint32_t want = (0x01010101u * otherScaled & ~(0xFFu << shift)) | (expected << shift);
        ASSERT_EQ(mulPixel255(p, k), want)
            << "channel " << c << " coverage " << k << " at " << shift;
      }
    }
  }
  EXPECT_EQ(sourceOver(0xFF0000FF, mulPixel255(0xFFFF0000, 128)), 0xFF80007Fu);
}

TEST(BlendPixel, OverlayAndHardLightPickTheirBranchByTheRightLayer) {
  // Overlay decides by the backdrop: dark backdrop multiplies, light screens.
  EXPECT_EQ(blendPixel(BlendMode::Overlay, 0xFF404040, 0xFF808080), 0xFF404040u);
  EXPECT_EQ(blendPixel(BlendMode::Overlay, 0xFFC0C0C0, 0xFF000000), 0xFF818181u);
  // Hard light decides by the source.
  EXPECT_EQ(blendPixel(BlendMode::HardLight, 0xFF000000, 0xFFC0C0C0), 0xFF818181u);
  EXPECT_EQ(blendPixel(BlendMode::HardLight, 0xFFFFFFFF, 0xFF404040), 0xFF808080u);
}

TEST(BlendPixel, TransparentSourceLeavesTheBackdropAlone) {
  for (BlendMode m : {BlendMode::Multiply, BlendMode::Screen, BlendMode::Difference, BlendMode::Add,
                      BlendMode::Subtract, BlendMode::Invert, BlendMode::Overlay, BlendMode::Erase,
                      BlendMode::Normal})
    EXPECT_EQ(blendPixel(m, 0xFF336699, 0), 0xFF336699u) << int(m);
}

TEST(BlendPixel, AlphaAndEraseCutTheBackdrop) {
  EXPECT_EQ(blendPixel(BlendMode::Erase, kRed, kBlack), 0u);
  EXPECT_EQ(blendPixel(BlendMode::Alpha, kRed, 0x80000000), 0x80800000u);
  EXPECT_EQ(blendPixel(BlendMode::Alpha, kRed, 0), 0u);
  // Multiply over transparent backdrop shows the source unchanged.
  EXPECT_EQ(blendPixel(BlendMode::Multiply, 0, 0x80400000), 0x80400000u);
}

TEST(BlendPixel, UnknownValuesAreNormal) {
  EXPECT_EQ(blendModeFromSwf(0), BlendMode::Normal);
  EXPECT_EQ(blendModeFromSwf(15), BlendMode::Normal);
  EXPECT_EQ(blendModeFromSwf(255), BlendMode::Normal);
  EXPECT_EQ(blendModeFromSwf(12), BlendMode::Erase);
}

// Rectangles in pixels of a 1:1 view (20 twips a pixel).
swf::Character rect(int x0, int y0, int x1, int y1, uint32_t argb) {
  swf::ShapeDef def;
  const auto t = [](int v) { return std::to_string(v * 20); };
  def.shape = test::makeShape("M " + t(x0) + " " + t(y0) + " F1 1 l " + t(x1) + " " + t(y0) +
                                  " l " + t(x1) + " " + t(y1) + " l " + t(x0) + " " + t(y1) +
                                  " l " + t(x0) + " " + t(y0),
                              {test::solidFill(uint8_t(argb >> 16), uint8_t(argb >> 8),
                                               uint8_t(argb), uint8_t(argb >> 24))});
  return def;
}

DisplayNode place(const swf::Character& ch, uint16_t depth, uint8_t blend = 0) {
  DisplayNode n;
  n.character = &ch;
  n.depth = depth;
  n.blendMode = blend;
  return n;
}

struct Scene {
  swf::Character sprite = swf::SpriteDef{};
  swf::Character redLeft = rect(0, 0, 10, 10, kRed);
  swf::Character blueAll = rect(0, 0, 20, 10, kBlue);
  swf::Character greyAll = rect(0, 0, 20, 10, kGrey);
  swf::Character blackRight = rect(10, 0, 20, 10, kBlack);
  swf::Character maskTop = rect(0, 0, 20, 5, kBlack);
  Frame frame{20, 10};
  void render(const std::vector<DisplayNode>& stage) {
    MovieRenderer r;
    r.render(stage, frame.surface(), {0, 0, 400, 200}, RenderQuality::High, 0xFFFFFF);
  }
};

TEST(BlendLayers, MultiplyDarkensWhatIsBelow) {
  Scene s;
  s.render({place(s.redLeft, 1), place(s.greyAll, 2, uint8_t(BlendMode::Multiply))});
  EXPECT_EQ(s.frame.at(5, 5), 0xFF800000u);  // red times grey
  EXPECT_EQ(s.frame.at(15, 5), kGrey);       // white times grey
}

TEST(BlendLayers, EraseCutsOnlyIntoItsOwnLayer) {
  Scene s;
  // A layered sprite: blue everywhere, its right half erased; red below shows
  // through on the left only where the sprite is not (nowhere), white on the right.
  DisplayNode group = place(s.sprite, 2, uint8_t(BlendMode::Layer));
  group.children = {place(s.blueAll, 1), place(s.blackRight, 2, uint8_t(BlendMode::Erase))};
  s.render({place(s.redLeft, 1), group});
  EXPECT_EQ(s.frame.at(5, 5), kBlue);
  EXPECT_EQ(s.frame.at(15, 5), kWhite);
}

TEST(BlendLayers, EraseOnTheStageDrawsNothing) {
  Scene s;
  s.render({place(s.redLeft, 1), place(s.blackRight, 2, uint8_t(BlendMode::Erase)),
            place(s.blackRight, 3, uint8_t(BlendMode::Alpha))});
  EXPECT_EQ(s.frame.at(5, 5), kRed);
  EXPECT_EQ(s.frame.at(15, 5), kWhite);
}

TEST(BlendLayers, MasksClipTheBlendedLayer) {
  Scene s;
  DisplayNode mask = place(s.maskTop, 2);
  mask.clipDepth = 3;
  s.render({place(s.blueAll, 1), mask, place(s.blueAll, 3, uint8_t(BlendMode::Invert))});
  EXPECT_EQ(s.frame.at(5, 2), 0xFFFFFF00u);  // blue inverted above the mask edge
  EXPECT_EQ(s.frame.at(5, 8), kBlue);        // untouched below it
}

TEST(BlendLayers, LayersNestedPastTheLimitStillDraw) {
  Scene s;
  // Forty sprites in one another, each a layer, around a grey multiply.
  std::vector<DisplayNode> levels(40, place(s.sprite, 1, uint8_t(BlendMode::Layer)));
  DisplayNode inner = place(s.greyAll, 1, uint8_t(BlendMode::Multiply));
  for (int i = 39; i >= 0; --i) {
    levels[size_t(i)].children = {inner};
    inner = levels[size_t(i)];
  }
  s.render({place(s.redLeft, 1), inner});
  EXPECT_EQ(s.frame.at(15, 5), kGrey);
  EXPECT_NE(s.frame.at(5, 5), kRed);
}

}  // namespace
}  // namespace orv::movie::render
