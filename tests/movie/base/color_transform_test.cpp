// Colour transforms in both precisions: channels clamped and truncated alike, the parent
// applied after the child, and the single-precision form holding the same numbers rounded.
#include "movie/base/color_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orv::movie::base {
namespace {

TEST(ColorTransform, ChannelsAreClampedAndTruncatedInBothForms) {
  ColorTransform cx{0.5, 2, 1, -1, 0.75, 0, -10, 255};
  // r: 201 * 0.5 + 0.75 = 101.25; g: 200 * 2 = 400; b: 5 - 10 < 0; a: -255 + 255 = 0.
  EXPECT_EQ(cx.apply({201, 200, 5, 255}), (RGBA{101, 255, 0, 0}));
  EXPECT_EQ(cx.applyStraight(0xFFC9C805u), 0x0065FF00u);
  EXPECT_EQ(cx.as<float>().applyStraight(0xFFC9C805u), 0x0065FF00u);
  // A result just under a whole number stays under it.
  const ColorTransformF almost{1, 1, 1, 1, 0.999f, 0, 0, 0};
  EXPECT_EQ(almost.applyStraight(0xFF000000u), 0xFF000000u);
  // Numbers past any colour, and numbers that are none.
  const double inf = std::numeric_limits<double>::infinity();
  const ColorTransform wild{inf, -inf, 0, 1, 0, 0, std::nan(""), 0};
  EXPECT_EQ(wild.apply({1, 1, 0, 7}), (RGBA{255, 0, 0, 7}));
  EXPECT_EQ(wild.apply({0, 0, 0, 0}).r, 0);  // 0 times infinity is not a number
  EXPECT_EQ(wild.as<float>().applyStraight(0x07010100u), 0x07FF0000u);
}

TEST(ColorTransform, ComposesParentAfterChildAndComparesByValue) {
  const ColorTransform parent{0.5, 1, 1, 1, 10, 0, 0, 0}, child{1, 1, 1, 0.5, 20, 0, 0, 100};
  const ColorTransform both = parent * child;
  EXPECT_EQ(both, (ColorTransform{0.5, 1, 1, 0.5, 20, 0, 0, 100}));
  EXPECT_EQ(both.apply({100, 0, 0, 100}), parent.apply(child.apply({100, 0, 0, 100})));
  EXPECT_TRUE(ColorTransform{}.isIdentity());
  EXPECT_FALSE(both.isIdentity());
  EXPECT_TRUE((ColorTransformF{} * ColorTransformF{}).isIdentity());
  // The single-precision form rounds each number once.
  const ColorTransform fine{0.1, 1, 1, 1, 1.0 / 3, 0, 0, 0};
  EXPECT_EQ(fine.as<float>().rMul, 0.1f);
  EXPECT_EQ(fine.as<float>().rAdd, float(1.0 / 3));
  EXPECT_EQ(fine.as<float>().as<double>().rMul, double(0.1f));
}

}  // namespace
}  // namespace orv::movie::base
