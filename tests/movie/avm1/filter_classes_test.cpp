// flash.filters as scripts use it: the classes' defaults, the limits their settings
// keep to, clone(), and that lists handed out are copies.
#include <gtest/gtest.h>

#include <vector>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

class FilterClasses : public ::testing::Test {
 protected:
  test::FakeHost host{8};
  Vm& vm = host.vm;

  Value cls(const char* name) {
    Value flash = vm.getMember(vm.global, "flash");
    if (!flash.isObject()) return Value();
    Value filters = vm.getMember(flash.asObject(), "filters");
    return filters.isObject() ? vm.getMember(filters.asObject(), name) : Value();
  }
  Value make(const char* name, std::vector<Value> args = {}) {
    return vm.construct(cls(name), args);
  }
  Value get(const Value& obj, const char* name) { return vm.getMember(obj, name); }
  double num(const Value& obj, const char* name) { return vm.toNumber(get(obj, name)); }
  std::string str(const Value& obj, const char* name) { return vm.toString(get(obj, name)); }
  void put(const Value& obj, const char* name, const Value& v) {
    vm.setMember(obj.asObject(), name, v);
  }
  Value array(std::vector<Value> items) { return Value(vm.newArray(std::move(items))); }
};

TEST_F(FilterClasses, DefaultsAreAFlashPlayersAndEveryClassIsABitmapFilter) {
  Value shadow = make("DropShadowFilter");
  EXPECT_EQ(num(shadow, "distance"), 4);
  EXPECT_EQ(num(shadow, "angle"), 45);
  EXPECT_EQ(num(shadow, "color"), 0);
  EXPECT_EQ(num(shadow, "alpha"), 1);
  EXPECT_EQ(num(shadow, "blurX"), 4);
  EXPECT_EQ(num(shadow, "quality"), 1);
  EXPECT_EQ(str(shadow, "hideObject"), "false");
  Value glow = make("GlowFilter");
  EXPECT_EQ(num(glow, "color"), 0xFF0000);
  EXPECT_EQ(num(glow, "blurX"), 6);
  EXPECT_EQ(num(glow, "strength"), 2);
  EXPECT_EQ(str(make("BevelFilter"), "type"), "inner");
  EXPECT_EQ(num(make("BevelFilter"), "highlightColor"), 0xFFFFFF);
  EXPECT_EQ(str(make("ConvolutionFilter"), "preserveAlpha"), "true");
  // A colour matrix starts as the identity.
  Value m = get(make("ColorMatrixFilter"), "matrix");
  EXPECT_EQ(num(m, "length"), 20);
  EXPECT_EQ(vm.toNumber(get(m, "0")), 1);
  EXPECT_EQ(vm.toNumber(get(m, "1")), 0);
  EXPECT_EQ(vm.toNumber(get(m, "18")), 1);
  Value base = cls("BitmapFilter");
  for (const char* name :
       {"DropShadowFilter", "BlurFilter", "GlowFilter", "BevelFilter", "GradientGlowFilter",
        "GradientBevelFilter", "ColorMatrixFilter", "ConvolutionFilter", "DisplacementMapFilter"}) {
    Value f = make(name);
    ASSERT_TRUE(f.isObject()) << name;
    EXPECT_TRUE(vm.instanceOf(f.asObject(), base.asObject())) << name;
    EXPECT_TRUE(vm.instanceOf(f.asObject(), cls(name).asObject())) << name;
  }
  // Called without new, a class makes nothing.
  std::vector<Value> none;
  EXPECT_TRUE(vm.call(cls("BlurFilter"), Value(), none).isUndefined());
}

TEST_F(FilterClasses, SettingsKeepToTheirLimits) {
  // The constructor's arguments in order: distance, angle, color, alpha, blurX, blurY,
  // strength, quality, inner, knockout, hideObject.
  Value shadow = make("DropShadowFilter",
                      {10.0, 90.0, 0x1FF00FF, 3.0, 300.0, -5.0, 999.0, 40.0, 1.0, 0.0, "yes"});
  EXPECT_EQ(num(shadow, "distance"), 10);
  EXPECT_EQ(num(shadow, "color"), 0xFF00FF);  // 24 bits of colour
  EXPECT_EQ(num(shadow, "alpha"), 1);
  EXPECT_EQ(num(shadow, "blurX"), 255);
  EXPECT_EQ(num(shadow, "blurY"), 0);
  EXPECT_EQ(num(shadow, "strength"), 255);
  EXPECT_EQ(num(shadow, "quality"), 15);
  EXPECT_EQ(str(shadow, "inner"), "true");
  EXPECT_EQ(str(shadow, "hideObject"), "true");
  put(shadow, "quality", Value(2.7));
  EXPECT_EQ(num(shadow, "quality"), 2);
  put(shadow, "blurX", Value("abc"));  // not a number: no blur
  EXPECT_EQ(num(shadow, "blurX"), 0);
  // Only the three kinds of bevel are taken.
  Value bevel = make("BevelFilter");
  put(bevel, "type", Value("full"));
  put(bevel, "type", Value("sideways"));
  EXPECT_EQ(str(bevel, "type"), "full");
}

TEST_F(FilterClasses, ClonesAndListsAreCopies) {
  Value glow = make("GradientGlowFilter", {5.0, 30.0, array({0xFF0000, 0x00FF00}),
                                           array({1.0, 0.5}), array({0.0, 255.0})});
  Value colors = get(glow, "colors");
  EXPECT_EQ(num(colors, "length"), 2);
  EXPECT_EQ(vm.toNumber(get(colors, "1")), 0x00FF00);
  // Changing the list handed out leaves the filter as it was.
  put(colors, "1", Value(7.0));
  EXPECT_EQ(vm.toNumber(get(get(glow, "colors"), "1")), 0x00FF00);

  std::vector<Value> none;
  Value copy = vm.callMethod(glow, "clone", none);
  ASSERT_TRUE(copy.isObject());
  EXPECT_NE(copy.asObject(), glow.asObject());
  EXPECT_TRUE(vm.instanceOf(copy.asObject(), cls("GradientGlowFilter").asObject()));
  EXPECT_EQ(num(copy, "distance"), 5);
  put(copy, "distance", Value(9.0));
  EXPECT_EQ(num(glow, "distance"), 5);
  EXPECT_EQ(vm.toNumber(get(get(copy, "alphas"), "1")), 0.5);
}

}  // namespace
}  // namespace orv::movie::avm1
