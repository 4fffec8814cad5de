// flash.display.BitmapData as scripts use it: sizes, pixels in and out with alpha,
// rectangles clipped to the image, copies between and within images, dispose, clone and
// the cap on pixels alive.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "movie/render/raster/paint.h"
#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

class BitmapDataTest : public ::testing::Test {
 protected:
  test::FakeHost host{8};
  Vm& vm = host.vm;

  Value pkg(const char* package, const char* name) {
    Value flash = vm.getMember(vm.global, "flash");
    if (!flash.isObject()) return Value();
    Value p = vm.getMember(flash.asObject(), package);
    return p.isObject() ? vm.getMember(p.asObject(), name) : Value();
  }
  Value bitmap(std::vector<Value> args) { return vm.construct(pkg("display", "BitmapData"), args); }
  Value rect(double x, double y, double w, double h) {
    std::vector<Value> a{x, y, w, h};
    return vm.construct(pkg("geom", "Rectangle"), a);
  }
  Value point(double x, double y) {
    std::vector<Value> a{x, y};
    return vm.construct(pkg("geom", "Point"), a);
  }
  Value call(const Value& obj, const char* method, std::vector<Value> args = {}) {
    return vm.callMethod(obj, method, args);
  }
  double num(const Value& obj, const char* name) { return vm.toNumber(vm.getMember(obj, name)); }
  // getPixel32 as an unsigned 0xAARRGGBB.
  uint32_t px32(const Value& b, int x, int y) {
    return static_cast<uint32_t>(vm.toInt(call(b, "getPixel32", {x, y})));
  }
  uint32_t px(const Value& b, int x, int y) {
    return static_cast<uint32_t>(vm.toNumber(call(b, "getPixel", {x, y})));
  }
};

TEST_F(BitmapDataTest, SidesOutsideTheLimitsMakeNoObject) {
  EXPECT_EQ(vm.typeOf(pkg("display", "BitmapData")), "function");
  EXPECT_TRUE(bitmap({}).isUndefined());
  EXPECT_TRUE(bitmap({0, 10}).isUndefined());
  EXPECT_TRUE(bitmap({-1, 10}).isUndefined());
  EXPECT_TRUE(bitmap({2881, 10}).isUndefined());
  EXPECT_TRUE(bitmap({10, 2881}).isUndefined());
  Value big = bitmap({2880, 2880});
  ASSERT_TRUE(big.isObject());
  EXPECT_EQ(num(big, "width"), 2880);
  // Properties live on the prototype, not on the instance.
  EXPECT_FALSE(vm.hasOwnProperty(big.asObject(), "width"));
  EXPECT_TRUE(vm.instanceOf(big.asObject(), pkg("display", "BitmapData").asObject()));
}

TEST_F(BitmapDataTest, DefaultsAndTheRectangle) {
  Value b = bitmap({20, 30});
  EXPECT_EQ(num(b, "width"), 20);
  EXPECT_EQ(num(b, "height"), 30);
  EXPECT_TRUE(vm.toBool(vm.getMember(b, "transparent")));
  EXPECT_EQ(vm.toString(vm.getMember(b, "rectangle")), "(x=0, y=0, w=20, h=30)");
  EXPECT_EQ(px32(b, 0, 0), 0xFFFFFFFFu);  // opaque white unless told otherwise
  Value opaque = bitmap({4, 4, false, 0x11EEDDEE});
  EXPECT_FALSE(vm.toBool(vm.getMember(opaque, "transparent")));
  EXPECT_EQ(px32(opaque, 1, 1), 0xFFEEDDEEu);  // an opaque image drops the alpha
  EXPECT_EQ(px(opaque, 1, 1), 0xEEDDEEu);
  // Outside the image there is nothing.
  EXPECT_EQ(px(opaque, -1, 0), 0u);
  EXPECT_EQ(px(opaque, 4, 0), 0u);
}

TEST_F(BitmapDataTest, PixelsRoundTripThroughPremultipliedStorage) {
  Value t = bitmap({8, 8, true});
  call(t, "setPixel32", {2, 2, 0x44});  // alpha 0: nothing comes back
  EXPECT_EQ(px32(t, 2, 2), 0u);
  call(t, "setPixel32", {2, 2, double(0x220000AA)});
  EXPECT_EQ(px32(t, 2, 2), 0x220000ACu);  // low alpha loses colour precision
  call(t, "setPixel32", {2, 2, double(0xFF0000AAu)});
  EXPECT_EQ(px32(t, 2, 2), 0xFF0000AAu);
  call(t, "setPixel32", {4, 4, double(0x44444444)});
  EXPECT_EQ(px32(t, 4, 4), 0x44434343u);
  call(t, "setPixel32", {4, 4, double(0x10101010)});
  EXPECT_EQ(px32(t, 4, 4), 0x10101010u);
  call(t, "setPixel32", {4, 4, double(0x43434343)});
  EXPECT_EQ(px32(t, 4, 4), 0x43444444u);
  // setPixel keeps the pixel's alpha.
  call(t, "setPixel32", {5, 5, double(0x80000000u)});
  call(t, "setPixel", {5, 5, 0xFFFFFF});
  EXPECT_EQ(px32(t, 5, 5) >> 24, 0x80u);
  EXPECT_EQ(px(t, 5, 5), 0xFFFFFFu);
  // Writes outside the image change nothing and do not fail.
  call(t, "setPixel32", {-1, 3, 0});
  call(t, "setPixel", {8, 3, 0});
  EXPECT_EQ(px32(t, 0, 3), 0xFFFFFFFFu);
}

TEST_F(BitmapDataTest, FillRectIsClippedToTheImage) {
  Value b = bitmap({20, 20, false});
  call(b, "fillRect", {rect(-2, -2, 8, 8), 0x00FF00});
  EXPECT_EQ(px(b, 0, 0), 0x00FF00u);
  EXPECT_EQ(px(b, 5, 5), 0x00FF00u);
  EXPECT_EQ(px(b, 6, 6), 0xFFFFFFu);
  call(b, "fillRect", {rect(18, 18, -4, -4), 0xFF});  // a negative size fills nothing
  EXPECT_EQ(px(b, 16, 16), 0xFFFFFFu);
  call(b, "fillRect", {rect(18, 18, 200, 200), 0xFF});
  EXPECT_EQ(px(b, 19, 19), 0x0000FFu);
  // Any object with x, y, width and height will do.
  Object* plain = vm.newObject();
  vm.setMember(plain, "x", 15);
  vm.setMember(plain, "y", 15);
  vm.setMember(plain, "width", 2);
  vm.setMember(plain, "height", 2);
  call(b, "fillRect", {Value(plain), 0xFF00FF});
  EXPECT_EQ(px(b, 16, 16), 0xFF00FFu);
  EXPECT_EQ(px(b, 17, 17), 0xFFFFFFu);
  EXPECT_EQ(px(b, 18, 18), 0x0000FFu);
  // A transparent image takes the colour as it is, alpha included.
  Value t = bitmap({4, 4, true});
  call(t, "fillRect", {rect(0, 0, 4, 4), double(0x99FF0000u)});
  EXPECT_EQ(px32(t, 3, 3), 0x99FF0000u);
}

TEST_F(BitmapDataTest, FloodFillStopsAtOtherColours) {
  Value b = bitmap({20, 20, false, 0xFFFFFF});
  call(b, "fillRect", {rect(5, 0, 1, 20), 0});  // a wall down column 5
  call(b, "floodFill", {10, 10, 0xFF0000});
  EXPECT_EQ(px(b, 19, 0), 0xFF0000u);
  EXPECT_EQ(px(b, 6, 19), 0xFF0000u);
  EXPECT_EQ(px(b, 5, 10), 0u);
  EXPECT_EQ(px(b, 4, 10), 0xFFFFFFu);
}

TEST_F(BitmapDataTest, CopyPixelsClipsMovesAndCopiesFromTheOldSource) {
  Value source = bitmap({100, 100, false, 0x0000FF});
  Value dest = bitmap({100, 100, false, 0xFF0000});
  // A source rectangle partly outside the source moves its destination along.
  call(dest, "copyPixels", {source, rect(-50, -50, 100, 100), point(0, 0)});
  EXPECT_EQ(px(dest, 10, 10), 0xFF0000u);
  EXPECT_EQ(px(dest, 52, 52), 0x0000FFu);
  EXPECT_EQ(px(dest, 52, 10), 0xFF0000u);
  // Copying within one image reads the pixels as they were before the copy.
  Value self = bitmap({100, 100, false});
  call(self, "fillRect", {rect(0, 0, 50, 50), 0x00FF00});
  call(self, "copyPixels", {self, rect(20, 20, 50, 50), point(45, 45)});
  EXPECT_EQ(px(self, 55, 55), 0x00FF00u);
  EXPECT_EQ(px(self, 90, 90), 0xFFFFFFu);
}

TEST_F(BitmapDataTest, CopyPixelsWithAlpha) {
  Value src = bitmap({10, 10, true, double(0x80FF0000u)});
  Value dest = bitmap({10, 10, true, double(0xFF0000FFu)});
  // Without mergeAlpha a transparent image takes the half-transparent red as it is.
  call(dest, "copyPixels", {src, rect(0, 0, 5, 10), point(0, 0)});
  EXPECT_EQ(px32(dest, 1, 1), 0x80FF0000u);
  // With it the red lands over the blue.
  call(dest, "copyPixels", {src, rect(5, 0, 5, 10), point(5, 0), Value(), Value(), true});
  const uint32_t merged = px32(dest, 7, 1);
  EXPECT_EQ(merged >> 24, 0xFFu);
  EXPECT_NEAR(double((merged >> 16) & 255), 128, 2);
  EXPECT_NEAR(double(merged & 255), 127, 2);
  // An alpha image masks the source: transparent there, nothing is copied.
  Value mask = bitmap({10, 10, true, 0});
  call(mask, "fillRect", {rect(0, 0, 10, 5), double(0xFF000000u)});
  Value opaqueRed = bitmap({10, 10, false, 0xFF0000});
  Value target = bitmap({10, 10, true, 0});
  call(target, "copyPixels", {opaqueRed, rect(0, 0, 10, 10), point(0, 0), mask, point(0, 0), true});
  EXPECT_EQ(px32(target, 2, 2), 0xFFFF0000u);
  EXPECT_EQ(px32(target, 2, 7), 0u);
  // An opaque destination stays opaque.
  Value opaqueDest = bitmap({10, 10, false, 0x0000FF});
  call(opaqueDest, "copyPixels", {src, rect(0, 0, 10, 10), point(0, 0)});
  EXPECT_EQ(px32(opaqueDest, 3, 3) >> 24, 0xFFu);
}

TEST_F(BitmapDataTest, CopyChannelTakesSingleChannelsOnly) {
  Value src = bitmap({10, 10, false, 0xFF0000});
  Value dest = bitmap({10, 10, false, 0});
  call(dest, "copyChannel", {src, rect(0, 0, 10, 10), point(0, 0), 1, 2});  // red into green
  EXPECT_EQ(px(dest, 5, 5), 0x00FF00u);
  call(dest, "copyChannel", {src, rect(0, 0, 10, 10), point(0, 0), 1, 6});  // two targets: nothing
  EXPECT_EQ(px(dest, 5, 5), 0x00FF00u);
  Value white = bitmap({10, 10, false});
  call(white, "copyChannel", {src, rect(0, 0, 10, 10), point(0, 0), 3, 1});  // two sources: zero
  EXPECT_EQ(px(white, 5, 5), 0x00FFFFu);
}

TEST_F(BitmapDataTest, DisposeLeavesMinusOneAndFreesThePixels) {
  const size_t before = *vm.bitmapBytes;
  Value b = bitmap({100, 100});
  EXPECT_EQ(*vm.bitmapBytes, before + 100 * 100 * 4);
  call(b, "dispose");
  EXPECT_EQ(*vm.bitmapBytes, before);
  EXPECT_EQ(num(b, "width"), -1);
  EXPECT_EQ(num(b, "height"), -1);
  EXPECT_EQ(num(b, "transparent"), -1);
  EXPECT_EQ(vm.typeOf(vm.getMember(b, "rectangle")), "number");
  // Methods on a disposed image do nothing.
  call(b, "setPixel32", {1, 1, 0});
  call(b, "fillRect", {rect(0, 0, 5, 5), 0});
  call(b, "dispose");
  EXPECT_EQ(*vm.bitmapBytes, before);
}

TEST_F(BitmapDataTest, CloneCopiesPixelsAndThePrototype) {
  Value orig = bitmap({10, 10, false, 0x00FF10});
  call(orig, "setPixel", {5, 5, 0xFF});
  Value cl = call(orig, "clone");
  ASSERT_TRUE(cl.isObject());
  EXPECT_EQ(px(cl, 2, 2), 0x00FF10u);
  EXPECT_EQ(px(cl, 5, 5), 0x0000FFu);
  call(orig, "setPixel", {2, 2, 0});  // the copy is its own
  EXPECT_EQ(px(cl, 2, 2), 0x00FF10u);
  EXPECT_TRUE(vm.strictEquals(vm.getMember(cl, "__proto__"), vm.getMember(orig, "__proto__")));
}

TEST_F(BitmapDataTest, PixelsAliveAreCapped) {
  ScriptLimits limits;
  limits.maxBitmapBytes = 3 * 1000 * 1000 * 4;  // room for three 1000x1000 images
  test::FakeHost small(8, limits);
  Vm& v = small.vm;
  Value ctor = v.getMember(v.getMember(v.getMember(v.global, "flash"), "display"), "BitmapData");
  std::vector<Value> args{1000, 1000};
  std::vector<Value> made;
  for (int i = 0; i < 3; ++i) made.push_back(v.construct(ctor, args));
  for (const Value& m : made) EXPECT_TRUE(m.isObject());
  EXPECT_TRUE(v.construct(ctor, args).isUndefined());  // a fourth would pass the cap
  EXPECT_TRUE(v.callMethod(made[0], "clone", {}).isUndefined());
  v.callMethod(made[0], "dispose", {});
  EXPECT_TRUE(v.construct(ctor, args).isObject());  // disposing made room
}

TEST_F(BitmapDataTest, NoiseStaysInItsRange) {
  Value ns = bitmap({15, 15, false});
  call(ns, "noise", {203, 25, 150, 2 | 4});
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 15; ++x) {
      const uint32_t p = px(ns, x, y);
      EXPECT_EQ(p >> 16, 0u);
      EXPECT_GE((p >> 8) & 255, 25u);
      EXPECT_LE((p >> 8) & 255, 150u);
      EXPECT_GE(p & 255, 25u);
      EXPECT_LE(p & 255, 150u);
    }
  call(ns, "noise", {203, 60, 50, 0, true});  // grey; a high below the low is the low
  EXPECT_EQ(px(ns, 3, 3), 0x3C3C3Cu);
  // The same seed gives the same image.
  Value a = bitmap({8, 8, false}), b = bitmap({8, 8, false});
  call(a, "noise", {7});
  call(b, "noise", {7});
  for (int i = 0; i < 8; ++i) EXPECT_EQ(px(a, i, i), px(b, i, i));
}

TEST_F(BitmapDataTest, PerlinNoiseVariesAndZeroOctavesIsBlack) {
  Value ns = bitmap({40, 40, false});
  call(ns, "perlinNoise", {4, 4, 1, 1, false, false});
  uint32_t low = 255, high = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const uint32_t blue = px(ns, x, y) & 255;
      low = std::min(low, blue);
      high = std::max(high, blue);
    }
  EXPECT_LT(low, 10u);
  EXPECT_GT(high, 40u);
  call(ns, "perlinNoise", {100, 100, 0, 1, false, false});
  EXPECT_EQ(px(ns, 10, 10), 0u);
}

TEST_F(BitmapDataTest, ColorBoundsAndHitTest) {
  Value b = bitmap({20, 20, true, 0});
  call(b, "fillRect", {rect(4, 6, 3, 2), double(0xFFFF0000u)});
  EXPECT_EQ(vm.toString(call(b, "getColorBoundsRect", {double(0xFF000000u), double(0xFF000000u)})),
            "(x=4, y=6, w=3, h=2)");
  EXPECT_EQ(vm.toString(call(b, "getColorBoundsRect", {double(0xFFFFFFFFu), 0, false})),
            "(x=4, y=6, w=3, h=2)");
  EXPECT_TRUE(vm.toBool(call(b, "hitTest", {point(0, 0), 255, point(5, 7)})));
  EXPECT_FALSE(vm.toBool(call(b, "hitTest", {point(0, 0), 255, point(1, 1)})));
  EXPECT_TRUE(vm.toBool(call(b, "hitTest", {point(0, 0), 1, rect(0, 0, 5, 7)})));
  EXPECT_FALSE(vm.toBool(call(b, "hitTest", {point(0, 0), 1, rect(10, 10, 5, 5)})));
  Value other = bitmap({2, 2, true, double(0xFF000000u)});
  EXPECT_TRUE(vm.toBool(call(b, "hitTest", {point(0, 0), 1, other, point(5, 5)})));
  EXPECT_FALSE(vm.toBool(call(b, "hitTest", {point(0, 0), 1, other, point(15, 15)})));
}

TEST_F(BitmapDataTest, ThresholdPaletteMapAndDissolve) {
  Value src = bitmap({10, 10, false, 0x000000});
  call(src, "fillRect", {rect(0, 0, 5, 10), 0x808080});
  Value dest = bitmap({10, 10, false, 0x0000FF});
  // Pixels whose red is above 0x40 turn green; the rest are copied.
  const Value n = call(dest, "threshold",
                       {src, rect(0, 0, 10, 10), point(0, 0), ">", double(0x00400000),
                        double(0xFF00FF00u), double(0x00FF0000), true});
  EXPECT_EQ(vm.toNumber(n), 50);
  EXPECT_EQ(px(dest, 2, 2), 0x00FF00u);
  EXPECT_EQ(px(dest, 7, 7), 0x000000u);
  // paletteMap: red through a table that maps everything to 0x10 in blue; green and
  // blue left as they are.
  std::vector<Value> table(256, Value(0x10));
  Value reds(vm.newArray(table));
  Value mapped = bitmap({10, 10, false, 0x000000});
  call(mapped, "paletteMap", {src, rect(0, 0, 10, 10), point(0, 0), reds});
  EXPECT_EQ(px(mapped, 2, 2), 0x008090u);  // 0x10 from the red table, green 0x80, blue 0x80 + 0x10
  EXPECT_EQ(px(mapped, 7, 7), 0x000010u);
  // pixelDissolve with the image itself fills the seed's pixel and that many more, and
  // gives a new seed.
  Value d = bitmap({10, 10, false, 0});
  const Value seed =
      call(d, "pixelDissolve", {d, rect(0, 0, 10, 10), point(0, 0), 3, 40, 0xFFFFFF});
  int white = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) white += px(d, x, y) == 0xFFFFFFu;
  EXPECT_EQ(white, 41);
  EXPECT_TRUE(seed.isNumber());
}

TEST_F(BitmapDataTest, PixelDissolveGoesOnFromTheSeedItGivesBack) {
  auto count = [&](const Value& b, uint32_t colour) {
    int n = 0;
    for (int y = 0; y < num(b, "height"); ++y)
      for (int x = 0; x < num(b, "width"); ++x) n += px32(b, x, y) == colour;
    return n;
  };
  // Each call after the first adds `numPixels`: it starts on the cell the last one ended on.
  Value seed(0);
  Value e = bitmap({7, 9, false, 0xCCCCCC});
  for (int round = 1; round <= 70; ++round) {
    seed = call(e, "pixelDissolve", {e, vm.getMember(e, "rectangle"), point(0, 0), seed, 2, double(0xFFFF0000u)});
    ASSERT_GE(vm.toNumber(seed), 0);
    EXPECT_EQ(count(e, 0xFFFF0000u), std::min(63, 1 + 2 * round)) << round;
  }
  // No pixels asked for still writes the seed's own.
  Value z = bitmap({10, 10, false, 0xCCCCCC});
  call(z, "pixelDissolve", {z, rect(0, 0, 10, 10), point(0, 0), 0, 0, double(0xFFFF0000u)});
  EXPECT_EQ(count(z, 0xFFFF0000u), 1);
  // The area is clipped to where it lands: 2 x 6 cells of a 3 x 7 rectangle at (-1, -1).
  Value c = bitmap({10, 10, false, 0xCCCCCC});
  call(c, "pixelDissolve", {c, rect(0, 0, 3, 7), point(-1, -1), 0, 500, double(0xFFFF0000u)});
  EXPECT_EQ(count(c, 0xFFFF0000u), 12);
  call(c, "pixelDissolve", {c, rect(0, 0, 3, 7), point(-10, -10), 0, 500, double(0xFF00FF00u)});
  EXPECT_EQ(count(c, 0xFF00FF00u), 0);
  // Codes for what cannot be used; without a seed nothing is done.
  Value b = bitmap({10, 10, false, 0xCCCCCC});
  EXPECT_EQ(vm.toNumber(call(b, "pixelDissolve", {b, rect(0, 0, 10, 10), point(0, 0)})), -1);
  EXPECT_EQ(count(b, 0xFF000000u), 0);
  EXPECT_EQ(vm.toNumber(call(b, "pixelDissolve", {5, rect(0, 0, 10, 10), point(0, 0), 0, 1})), -2);
  Value gone = bitmap({10, 10});
  call(gone, "dispose");
  EXPECT_EQ(vm.toNumber(call(b, "pixelDissolve", {gone, rect(0, 0, 10, 10), point(0, 0), 0, 1})),
            -3);
  EXPECT_EQ(vm.toNumber(call(b, "pixelDissolve", {b, Value(), point(0, 0), 0, 1})), -4);
}

TEST_F(BitmapDataTest, CopyPixelsMergeLeavesWhatShowsThroughCutDown) {
  // 0x22445566 over 0x45112233: what shows through is dest * (256 - 34) / 256, cut down.
  Value target = bitmap({5, 5, true, 0x45112233});
  Value source = bitmap({5, 5, true, 0x22445566});
  EXPECT_EQ(vm.toNumber(call(target, "copyPixels",
                             {source, rect(0, 0, 2, 2), point(0, 0), Value(), Value(), true})),
            0);
  EXPECT_EQ(px32(target, 1, 1), 0x5D243147u);
  EXPECT_EQ(px32(target, 2, 2), 0x45122134u);
  // On an opaque image a faint dark pixel over itself leaves it as it was.
  Value opaque = bitmap({1, 1, false, 0});
  Value faint = bitmap({1, 1, true, double(0xF00E0E0Eu)});
  call(opaque, "copyPixels", {faint, rect(0, 0, 1, 1), point(0, 0), Value(), Value(), false});
  EXPECT_EQ(px32(opaque, 0, 0), 0xFF0D0D0Du);
  call(opaque, "copyPixels", {faint, rect(0, 0, 1, 1), point(0, 0), Value(), Value(), true});
  EXPECT_EQ(px32(opaque, 0, 0), 0xFF0D0D0Du);
  // Codes: too few arguments, no source, a disposed one, no rectangle (one lacking a width).
  EXPECT_EQ(vm.toNumber(call(target, "copyPixels", {source, rect(0, 0, 1, 1)})), -1);
  EXPECT_EQ(vm.toNumber(call(target, "copyPixels", {Value(), rect(0, 0, 1, 1), point(0, 0)})), -2);
  Value gone = bitmap({2, 2});
  call(gone, "dispose");
  EXPECT_EQ(vm.toNumber(call(target, "copyPixels", {gone, rect(0, 0, 1, 1), point(0, 0)})), -3);
  Object* noWidth = vm.newObject();
  vm.setMember(noWidth, "x", Value(0));
  vm.setMember(noWidth, "y", Value(0));
  vm.setMember(noWidth, "height", Value(2));
  EXPECT_EQ(vm.toNumber(call(target, "copyPixels", {source, Value(noWidth), point(0, 0)})), -4);
}

TEST_F(BitmapDataTest, NoiseFollowsTheSeededSequence) {
  // Channels in order red, green, blue from one Park-Miller sequence, low byte of each.
  Value b = bitmap({1, 1, false});
  call(b, "noise", {1});
  EXPECT_EQ(px32(b, 0, 0), 0xFFA7F1D9u);
  call(b, "noise", {2});
  EXPECT_EQ(px32(b, 0, 0), 0xFF4EE2B3u);
  // 0 counts as 1, and -1 as 2.
  call(b, "noise", {0});
  EXPECT_EQ(px32(b, 0, 0), 0xFFA7F1D9u);
  call(b, "noise", {-1});
  EXPECT_EQ(px32(b, 0, 0), 0xFF4EE2B3u);
  // The most negative seed neither overflows nor sticks at zero.
  call(b, "noise", {double(std::numeric_limits<int32_t>::min())});
  EXPECT_EQ(px32(b, 0, 0) >> 24, 0xFFu);
}

TEST_F(BitmapDataTest, HitTestNeverCountsFullyTransparentPixels) {
  Value b = bitmap({5, 5, true, 0});
  call(b, "setPixel32", {2, 4, double(0xFFFFFFFFu)});
  EXPECT_FALSE(vm.toBool(call(b, "hitTest", {point(0, 0), 0, point(2, 2)})));
  EXPECT_TRUE(vm.toBool(call(b, "hitTest", {point(0, 0), 0, point(2, 4)})));
  EXPECT_FALSE(vm.toBool(call(b, "hitTest", {point(0, 0), 0, rect(0, 0, 5, 4)})));
  EXPECT_FALSE(vm.toBool(call(b, "hitTest", {point(0, 0), 0, point(10, 10)})));
  Value empty = bitmap({5, 5, true, 0});
  EXPECT_FALSE(vm.toBool(call(b, "hitTest", {point(0, 0), 0, empty, point(0, 0), 0})));
  // Codes: too few arguments, no first point, nothing to test against.
  EXPECT_EQ(vm.toNumber(call(b, "hitTest", {point(0, 0), 0})), -1);
  EXPECT_EQ(vm.toNumber(call(b, "hitTest", {Value(), 0, point(2, 4)})), -2);
  EXPECT_EQ(vm.toNumber(call(b, "hitTest", {point(0, 0), 0, Value(vm.newObject())})), -3);
}

TEST_F(BitmapDataTest, ApplyFilterRunsTheFilterOverTheSource) {
  Value flash = vm.getMember(vm.global, "flash");
  Value filters = vm.getMember(flash.asObject(), "filters");
  // A colour matrix that swaps red and blue.
  std::vector<Value> m(20, Value(0));
  m[2] = 1;   // red from blue
  m[6] = 1;   // green from green
  m[10] = 1;  // blue from red
  m[18] = 1;  // alpha
  std::vector<Value> args{Value(vm.newArray(m))};
  Value swap = vm.construct(vm.getMember(filters.asObject(), "ColorMatrixFilter"), args);
  Value src = bitmap({4, 4, false, 0xFF0000});
  Value dest = bitmap({4, 4, false, 0x000000});
  EXPECT_EQ(vm.toNumber(call(dest, "applyFilter", {src, rect(0, 0, 2, 4), point(1, 0), swap})), 0);
  EXPECT_EQ(px(dest, 0, 0), 0x000000u);
  EXPECT_EQ(px(dest, 1, 0), 0x0000FFu);
  EXPECT_EQ(px(dest, 2, 3), 0x0000FFu);
  EXPECT_EQ(px(dest, 3, 3), 0x000000u);
  EXPECT_EQ(vm.toNumber(call(dest, "applyFilter", {src, rect(0, 0, 2, 2), point(0, 0)})), -1);
  EXPECT_EQ(vm.toNumber(call(dest, "applyFilter", {src, rect(0, 0, 2, 2), point(0, 0), 5})), -1);
  // A blur spreads past the rectangle; a colour matrix does not.
  std::vector<Value> blurArgs{Value(8), Value(4), Value(1)};
  Value blur = vm.construct(vm.getMember(filters.asObject(), "BlurFilter"), blurArgs);
  Value grown = call(dest, "generateFilterRect", {rect(10, 10, 20, 20), blur});
  EXPECT_LT(num(grown, "x"), 10);
  EXPECT_GT(num(grown, "width"), 20);
  Value same = call(dest, "generateFilterRect", {rect(10, 10, 20, 20), swap});
  EXPECT_EQ(num(same, "x"), 10);
  EXPECT_EQ(num(same, "width"), 20);
  // The blurred red reaches the pixels beside the rectangle.
  Value blurred = bitmap({8, 8, true, 0});
  Value dot = bitmap({8, 8, true, 0});
  call(dot, "fillRect", {rect(3, 3, 2, 2), double(0xFFFF0000u)});
  call(blurred, "applyFilter", {dot, rect(3, 3, 2, 2), point(3, 3), blur});
  EXPECT_GT(px32(blurred, 2, 3) >> 24, 0u);
  EXPECT_LT(px32(blurred, 3, 3) >> 24, 0xFFu);
}

TEST_F(BitmapDataTest, SwfTenAndLaterAllowBiggerImages) {
  test::FakeHost later{10};
  auto make = [&](double w, double h) {
    Value flash = later.vm.getMember(later.vm.global, "flash");
    Value display = later.vm.getMember(flash.asObject(), "display");
    std::vector<Value> a{w, h};
    return later.vm.construct(later.vm.getMember(display.asObject(), "BitmapData"), a);
  };
  EXPECT_TRUE(make(8191, 1).isObject());
  EXPECT_TRUE(make(8192, 1).isUndefined());
  EXPECT_TRUE(make(1, 8191).isObject());
  EXPECT_TRUE(make(4095, 4096).isObject());
  EXPECT_TRUE(make(4096, 4096).isUndefined());
  // SWF 8 keeps to 2880.
  EXPECT_TRUE(bitmap({2881, 1}).isUndefined());
}

TEST_F(BitmapDataTest, DrawOfAnotherBitmapFollowsTheMatrix) {
  Value src = bitmap({10, 10, false, 0x00FF00});
  Value dest = bitmap({40, 40, false, 0xFFFFFF});
  std::vector<Value> m{2, 0, 0, 2, 5, 5};
  call(dest, "draw", {src, vm.construct(pkg("geom", "Matrix"), m)});
  EXPECT_EQ(px(dest, 4, 4), 0xFFFFFFu);
  EXPECT_EQ(px(dest, 6, 6), 0x00FF00u);
  EXPECT_EQ(px(dest, 24, 24), 0x00FF00u);
  EXPECT_EQ(px(dest, 26, 26), 0xFFFFFFu);
}

TEST_F(BitmapDataTest, OddValuesNeitherFailNorReachOutside) {
  const double inf = std::numeric_limits<double>::infinity(),
               nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(bitmap({inf, 10}).isUndefined());
  EXPECT_TRUE(bitmap({nan, nan}).isUndefined());
  EXPECT_TRUE(bitmap({"ten", 10}).isUndefined());
  Value b = bitmap({16, 16, false, 0});
  // Rectangles and points far outside, or made of nonsense, touch nothing.
  call(b, "fillRect", {rect(2147483647.0, 2147483647.0, 2147483647.0, 2147483647.0), 0xFFFFFF});
  call(b, "fillRect", {rect(-2147483648.0, -2147483648.0, inf, nan), 0xFFFFFF});
  call(b, "fillRect", {Value("not a rectangle"), 0xFFFFFF});
  call(b, "copyPixels", {b, rect(0, 0, 16, 16), point(2147483647.0, -2147483648.0)});
  call(b, "copyChannel", {b, rect(-1e300, 0, 1e300, 16), point(nan, inf), 1, 2});
  call(b, "merge", {b, rect(0, 0, 16, 16), point(2147483000.0, 0), 256, 256, 256, 256});
  EXPECT_FALSE(vm.toBool(
      call(b, "hitTest", {point(-2147483648.0, 0), 0, rect(2147483647.0, 0, 2147483647.0, 1)})));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(px(b, x, y), 0u);
  // Arguments of the wrong kind are ignored.
  call(b, "draw", {Value("clip"), Value(3)});
  call(b, "copyPixels", {Value(), Value(), Value()});
  EXPECT_EQ(px(b, 0, 0), 0u);
  // Noise with absurd sizes and offsets stays bounded and in range.
  Value offsets(vm.newArray({point(1e308, -1e308), point(nan, inf)}));
  call(b, "perlinNoise", {1e-300, inf, 1000000, nan, true, true, 7, false, offsets});
  call(b, "noise", {nan, -1000, 1e9, -1, true});
  EXPECT_EQ(num(b, "width"), 16);
}

TEST_F(BitmapDataTest, ClipMethodsAreThereInEveryVersion) {
  test::FakeHost five(5);
  Vm& v5 = five.vm;
  ASSERT_NE(v5.clipProto, nullptr);
  EXPECT_TRUE(v5.hasOwnProperty(v5.clipProto, "attachBitmap"));
  EXPECT_TRUE(v5.hasOwnProperty(v5.clipProto, "setMask"));
  // Not enumerable, like the other built-in methods.
  for (const std::string& name : v5.enumerableNames(v5.clipProto)) {
    EXPECT_NE(name, "attachBitmap");
    EXPECT_NE(name, "setMask");
  }
  EXPECT_TRUE(v5.getMember(v5.global, "flash").isUndefined());
}

TEST_F(BitmapDataTest, DrawKeepsToTheClipRectangleAndTheColourTransform) {
  Value src = bitmap({20, 20, false, 0x00FF00});
  Value dest = bitmap({20, 20, false, 0xFFFFFF});
  std::vector<Value> ct{0.0, 1.0, 1.0, 1.0, 255.0, 0.0, 0.0, 0.0};  // red taken to 255
  Value color = vm.construct(pkg("geom", "ColorTransform"), ct);
  call(dest, "draw", {src, Value(), color, Value(), rect(5, 5, 5, 5)});
  EXPECT_EQ(px(dest, 4, 4), 0xFFFFFFu);  // outside the clip rectangle: untouched
  EXPECT_EQ(px(dest, 5, 5), 0xFFFF00u);  // green with red added
  EXPECT_EQ(px(dest, 9, 9), 0xFFFF00u);
  EXPECT_EQ(px(dest, 10, 10), 0xFFFFFFu);
  // Drawing a bitmap into itself reads it as it was.
  std::vector<Value> shift{1, 0, 0, 1, 10, 0};
  call(src, "fillRect", {rect(0, 0, 10, 20), 0x0000FF});
  call(src, "draw", {src, vm.construct(pkg("geom", "Matrix"), shift)});
  EXPECT_EQ(px(src, 12, 3), 0x0000FFu);
  EXPECT_EQ(px(src, 5, 3), 0x0000FFu);
}

TEST_F(BitmapDataTest, OlderMoviesSeeItOnlyOnceRevealed) {
  test::FakeHost seven(7);
  Vm& v7 = seven.vm;
  EXPECT_TRUE(v7.getMember(v7.global, "flash").isUndefined());
  std::vector<Value> args{Value(v7.global), Value("flash"), Value(0), Value(5248)};
  v7.call(v7.getMember(v7.global, "ASSetPropFlags"), Value(), args);
  EXPECT_EQ(v7.typeOf(v7.getMember(v7.getMember(v7.getMember(v7.global, "flash"), "display"),
                                   "BitmapData")),
            "function");
}

}  // namespace
}  // namespace orv::movie::avm1
