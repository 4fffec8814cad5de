// Blend modes and filters placed by PlaceObject3 reach the picture through
// the whole player: reading, the timeline's display list and the renderer.
#include <gtest/gtest.h>

#include <cstring>

#include "../swf_writer.h"
#include "movie/player.h"

namespace orv::movie {
namespace {

namespace t = test;

// PlaceObject3 of `character` at `depth` with an optional blend mode and
// filter list (its bytes as stored).
std::vector<uint8_t> placeObject3(uint16_t depth, uint16_t character, uint8_t blend,
                                  const std::vector<uint8_t>& filters) {
  std::vector<uint8_t> b = {0x02,
                            uint8_t((blend ? 0x02 : 0) | (filters.empty() ? 0 : 0x01)),
                            uint8_t(depth),
                            uint8_t(depth >> 8),
                            uint8_t(character),
                            uint8_t(character >> 8)};
  b.insert(b.end(), filters.begin(), filters.end());
  if (blend) b.push_back(blend);
  return t::tag(70, b);
}

uint32_t pixelAfterPlacing(uint8_t blend, const std::vector<uint8_t>& filters, int x, int y) {
  // A red 10x10 px square, then a grey one over it placed with the effect.
  const auto bytes = t::movie(t::concat({t::defineRect(1, 200, 200, 255, 0, 0),
                                         t::defineRect(2, 200, 200, 128, 128, 128, 3),
                                         t::placeObject2({.depth = 1, .character = 1}),
                                         placeObject3(2, 2, blend, filters), t::showFrame()}),
                              {.version = 8, .width = 400, .height = 400});
  Player p;
  EXPECT_TRUE(p.loadBytes(bytes)) << p.error();
  Pixmap pix;
  pix.width = pix.height = 20;
  pix.pixels.assign(400, 0);
  p.render(pix, {0, 0, 400, 400});
  return pix.pixels[size_t(y) * 20 + x];
}

TEST(PlacedEffects, BlendModeFromTheTagIsUsed) {
  EXPECT_EQ(pixelAfterPlacing(0, {}, 5, 5), 0xFF808080u);  // normal: grey covers red
  EXPECT_EQ(pixelAfterPlacing(3, {}, 5, 5), 0xFF800000u);  // multiply: red times grey
  EXPECT_EQ(pixelAfterPlacing(8, {}, 5, 5), 0xFFFF8080u);  // add
}

TEST(PlacedEffects, FilterListFromTheTagIsUsed) {
  // A colour matrix keeping only green: the grey square turns dark green.
  std::vector<uint8_t> list = {1, 6};
  const float m[20] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  for (float v : m) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i) list.push_back(uint8_t(bits >> (8 * i)));
  }
  EXPECT_EQ(pixelAfterPlacing(0, list, 5, 5), 0xFF008000u);
}

}  // namespace
}  // namespace orv::movie
