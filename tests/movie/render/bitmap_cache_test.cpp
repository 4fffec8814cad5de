// Objects drawn through a bitmap cache land on whole pixels: their top-left
// corner moves to the nearest pixel boundary, whether the object is a shape
// or a sprite whose children make up its box.
#include <gtest/gtest.h>

#include <cstring>

#include "movie/render/bitmap_cache.h"
#include "movie/render/movie_renderer.h"
#include "render_test_util.h"

namespace orv::movie::render {
namespace {

using test::Frame;

constexpr uint32_t kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000;

// A 10 x 10 px red square at the shape's origin.
swf::Character square() {
  swf::ShapeDef def;
  def.bounds = {0, 200, 0, 200};
  def.shape =
      test::makeShape("M 0 0 F1 1 l 200 0 l 200 200 l 0 200 l 0 0", {test::solidFill(255, 0, 0)});
  return def;
}

DisplayNode at(const swf::Character& ch, double xPx, double yPx, bool cached) {
  DisplayNode n;
  n.character = &ch;
  n.depth = 1;
  n.matrix.tx = int32_t(xPx * 20);
  n.matrix.ty = int32_t(yPx * 20);
  n.cacheAsBitmap = cached;
  return n;
}

// Left and right columns of row 8 that are red.
std::pair<int, int> redColumns(const std::vector<DisplayNode>& stage) {
  Frame f(30, 20);
  MovieRenderer r;
  r.render(stage, f.surface(), {0, 0, 600, 400}, RenderQuality::Low, 0xFFFFFF);
  int first = -1, last = -1;
  for (int x = 0; x < 30; ++x)
    if (f.at(x, 8) == kRed) {
      if (first < 0) first = x;
      last = x;
    } else {
      EXPECT_EQ(f.at(x, 8), kWhite) << x;
    }
  return {first, last};
}

TEST(BitmapCache, CachedShapesStartOnTheNearestWholePixel) {
  const swf::Character sq = square();
  // At 2.5 px the square's edge runs through the centres of column 2.
  EXPECT_EQ(redColumns({at(sq, 2.5, 3.5, false)}), std::make_pair(2, 11));
  EXPECT_EQ(redColumns({at(sq, 2.5, 3.5, true)}), std::make_pair(3, 12));
  EXPECT_EQ(redColumns({at(sq, 2.25, 3.5, true)}), std::make_pair(2, 11));
  EXPECT_EQ(redColumns({at(sq, 2.75, 3.5, true)}), std::make_pair(3, 12));
}

TEST(BitmapCache, ASpriteIsAlignedByTheBoxOfItsChildren) {
  const swf::Character sq = square();
  const swf::Character sprite = swf::SpriteDef{};
  DisplayNode group = at(sprite, 1.0, 0, true);
  group.children = {at(sq, 1.5, 3.5, false), at(sq, 4.0, 3.5, false)};  // box from x = 2.5
  EXPECT_EQ(redColumns({group}), std::make_pair(3, 14));                // moved by half a pixel
  const std::optional<DeviceBox> box = nodeDeviceBounds(group, Affine::scale(0.05, 0.05));
  ASSERT_TRUE(box);
  EXPECT_DOUBLE_EQ(box->x0, 2.5);
  EXPECT_DOUBLE_EQ(box->x1, 15.0);
  // Nothing drawn: no box, and the transform is left alone.
  DisplayNode empty = at(sprite, 1.0, 0, true);
  EXPECT_FALSE(nodeDeviceBounds(empty, Affine{}));
}

}  // namespace
}  // namespace orv::movie::render

namespace orv::movie::render {
namespace {

// A scroll rectangle shows one window of the content at the node's origin.
TEST(BitmapCache, AScrollRectShowsOneWindowAtTheOrigin) {
  const swf::Character sq = square();  // 10 x 10 px
  DisplayNode node = at(sq, 5, 0, false);
  node.scrollRect = std::array<double, 4>{6, 0, 8, 20};  // columns 6..13 of the square
  // The square's columns 6..9 show at 5..8; the window goes on to 12 with nothing in it.
  EXPECT_EQ(redColumns({node}), std::make_pair(5, 8));
  node.scrollRect = std::array<double, 4>{-3, 0, 5, 20};  // 3 px of nothing, then 2 of square
  EXPECT_EQ(redColumns({node}), std::make_pair(8, 9));
}

}  // namespace
}  // namespace orv::movie::render

namespace orv::movie::render {
namespace {

// Filters draw through the cache as well: a filtered square lands on whole pixels.
TEST(BitmapCache, FilteredObjectsAreCachedToo) {
  const swf::Character sq = square();
  // One colour matrix filter that changes nothing: count, id 6, twenty floats.
  std::vector<uint8_t> identity = {1, 6};
  for (int i = 0; i < 20; ++i) {
    const float v = (i % 6 == 0) ? 1.0f : 0.0f;
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    identity.insert(identity.end(), b, b + 4);
  }
  DisplayNode node = at(sq, 2.5, 3.5, false);
  node.filters = &identity;
  EXPECT_EQ(redColumns({node}), std::make_pair(3, 12));
  const std::vector<uint8_t> none = {0};
  node.filters = &none;  // an empty list is no filter
  EXPECT_EQ(redColumns({node}), std::make_pair(2, 11));
}

}  // namespace
}  // namespace orv::movie::render
