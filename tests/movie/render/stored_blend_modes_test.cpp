// The blend modes stored values name, every one of them.
#include <gtest/gtest.h>

#include "movie/render/placed_effects.h"

namespace orv::movie::render {
namespace {

TEST(StoredBlendModes, EachValueNamesItsMode) {
  const BlendMode expected[] = {BlendMode::Normal,   BlendMode::Normal,     BlendMode::Layer,
                                BlendMode::Multiply, BlendMode::Screen,     BlendMode::Lighten,
                                BlendMode::Darken,   BlendMode::Difference, BlendMode::Add,
                                BlendMode::Subtract, BlendMode::Invert,     BlendMode::Alpha,
                                BlendMode::Erase,    BlendMode::Overlay,    BlendMode::HardLight};
  for (int v = 0; v < 256; ++v)
    EXPECT_EQ(blendModeFromSwf(uint8_t(v)), v < 15 ? expected[v] : BlendMode::Normal) << v;
}

}  // namespace
}  // namespace orv::movie::render
