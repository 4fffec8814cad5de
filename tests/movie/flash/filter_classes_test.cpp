// flash.filters on the ActionScript 3 machine: constructors, defaults and the player's
// clamping; clones; DisplayObject.filters (copies both ways, the player's errors, drawn by
// the renderer, the timeline's filters read back); BitmapData.applyFilter and
// generateFilterRect on the renderer's kernels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc_script.h"
#include "movie/avm2/machine.h"
#include "movie/flash/display.h"
#include "movie/swf/filter_list.h"

namespace orv::movie {
namespace {

using avm2::Value;

// A movie whose root holds a sprite "c" placed by the timeline with a glow, its script
// objects reached as scripts reach them.
struct FilterMovie {
  Player player;
  std::vector<Value> held;  // what the test holds lives through collections

  FilterMovie() {
    DocScript s;
    swf::GlowFilter glow;
    glow.color = {0x33, 0x00, 0xFF, 255};
    glow.blurX = 18;
    glow.blurY = 4;
    glow.strength = 0.4296875;
    glow.flags = {true, false, true, false, 3};
    const std::vector<swf::FilterRecord> list = {glow};
    std::vector<uint8_t> place = {0x22, 0x01, 1, 0, 1, 0, 'c', 0};
    const std::vector<uint8_t> stored = swf::writeFilterList(list);
    place.insert(place.end(), stored.begin(), stored.end());
    const auto tags = test::concat({test::fileAttributes(), test::defineSprite(1, 1, test::showFrame()),
                                    test::tag(70, place), test::doAbc(s.abcBytes(), "frame1"),
                                    test::symbolClass({{0, "Doc"}}), test::showFrame()});
    EXPECT_TRUE(player.loadBytes(test::movie(tags, {.version = 10, .width = 2000, .height = 2000})));
    player.start();
    m().setTimeLimit(10000);
    m().frameRoots.push_back(&held);
  }
  ~FilterMovie() {
    std::erase(m().frameRoots, &held);
    held.clear();
  }
  avm2::Machine& m() { return player.as3Scripts()->machine(); }
  Value keep(Value v) {
    held.push_back(v);
    return v;
  }
  Value root() {
    return keep(avm2::displayObjectFor(m(), m().host->childAt(m().host->stage(), 0)));
  }
  Value make(const std::string& cls, std::vector<Value> args = {}) {
    return keep(m().construct(Value(static_cast<avm2::Object*>(m().findClass(cls))), args));
  }
  Value filter(const std::string& cls, std::vector<Value> args = {}) {
    return make("flash.filters." + cls, std::move(args));
  }
  Value get(const Value& o, const std::string& n) { return keep(m().get(o, n)); }
  Value at(const Value& list, int i) { return get(list, std::to_string(i)); }
  std::string text(const Value& o, const std::string& n) { return m().toText(get(o, n)); }
  double number(const Value& o, const std::string& n) { return m().toNumber(get(o, n)); }
  void set(const Value& o, const std::string& n, Value v) { m().set(o, n, std::move(v)); }
  Value call(const Value& o, const std::string& n, std::vector<Value> args = {}) {
    return keep(m().callProperty(o, m().publicName(n), args));
  }
  Value array(std::vector<Value> items) {
    return keep(Value(static_cast<avm2::Object*>(m().newArray(std::move(items)))));
  }
  Value str(const std::string& s) { return Value(m().intern(s)); }
  template <typename F>
  std::string thrown(F f) {
    try {
      f();
    } catch (avm2::ScriptThrow& t) {
      return m().toText(t.value);
    }
    return "";
  }
};

TEST(Avm2Filters, ConstructorsTakeTheirArgumentsInOrderClampedAsThePlayerClamps) {
  FilterMovie t;
  Value glow = t.filter("GlowFilter", {Value(-1), Value(2.0), Value(-1), Value(300), Value(4.5),
                                       Value(20), Value(true)});
  EXPECT_EQ(t.number(glow, "color"), 0xFFFFFF);
  EXPECT_EQ(t.number(glow, "alpha"), 1);
  EXPECT_EQ(t.number(glow, "blurX"), 0);
  EXPECT_EQ(t.number(glow, "blurY"), 255);
  EXPECT_EQ(t.number(glow, "strength"), 4.5);
  EXPECT_EQ(t.number(glow, "quality"), 15);
  EXPECT_EQ(t.text(glow, "inner"), "true");
  EXPECT_EQ(t.text(glow, "knockout"), "false");  // left at its default
  t.set(glow, "alpha", Value(-3));
  EXPECT_EQ(t.number(glow, "alpha"), 0);

  Value shadow = t.filter("DropShadowFilter");
  EXPECT_EQ(t.number(shadow, "distance"), 4);
  EXPECT_EQ(t.number(shadow, "angle"), 45);
  EXPECT_EQ(t.number(shadow, "blurX"), 4);
  EXPECT_EQ(t.text(shadow, "hideObject"), "false");

  // A type that is none of the three leaves the bevel's as it was.
  Value bevel = t.filter("BevelFilter");
  t.set(bevel, "type", t.str("sideways"));
  EXPECT_EQ(t.text(bevel, "type"), "inner");
  t.set(bevel, "type", t.str("full"));
  EXPECT_EQ(t.text(bevel, "type"), "full");

  // A convolution's divisor and bias are single-precision numbers; its sides at most 15.
  Value conv = t.filter("ConvolutionFilter", {Value(40), Value(2), Value::null(), Value(1.5),
                                              Value(0.1)});
  EXPECT_EQ(t.number(conv, "matrixX"), 15);
  EXPECT_EQ(t.number(conv, "bias"), double(0.1f));
  EXPECT_EQ(t.number(conv, "divisor"), 1.5);
  EXPECT_EQ(t.text(conv, "matrix"), "");

  EXPECT_EQ(t.text(t.filter("ColorMatrixFilter"), "matrix"),
            "1,0,0,0,0,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0");
  Value map = t.filter("DisplacementMapFilter");
  EXPECT_EQ(t.text(map, "mode"), "wrap");
  EXPECT_TRUE(t.get(map, "mapBitmap").isNull());
  EXPECT_TRUE(t.get(map, "mapPoint").isNull());
  EXPECT_NE(t.thrown([&] { t.set(map, "mapBitmap", Value(3)); }).find("#1034"), std::string::npos);

  auto constant = [&](const std::string& cls, const std::string& name) {
    return t.m().toText(t.m().get(Value(static_cast<avm2::Object*>(t.m().findClass(cls))), name));
  };
  EXPECT_EQ(constant("flash.filters.BitmapFilterQuality", "HIGH"), "3");
  EXPECT_EQ(constant("flash.filters.BitmapFilterType", "OUTER"), "outer");
  EXPECT_EQ(constant("flash.filters.DisplacementMapFilterMode", "IGNORE"), "ignore");
}

TEST(Avm2Filters, ClonesAreIndependentCopiesOfTheSameClass) {
  FilterMovie t;
  Value blur = t.filter("BlurFilter", {Value(8), Value(2)});
  Value copy = t.call(blur, "clone");
  EXPECT_EQ(t.m().className(copy), "flash.filters.BlurFilter");
  EXPECT_FALSE(copy.asObject() == blur.asObject());
  t.set(blur, "blurX", Value(1));
  EXPECT_EQ(t.number(copy, "blurX"), 8);
  EXPECT_EQ(t.number(copy, "blurY"), 2);

  // A shader filter's copy shares its shader.
  Value shader = t.make("Object");
  Value sf = t.filter("ShaderFilter", {shader});
  t.set(sf, "leftExtension", Value(7.9));
  Value sfCopy = t.call(sf, "clone");
  EXPECT_EQ(t.get(sfCopy, "shader").asObject(), shader.asObject());
  EXPECT_EQ(t.number(sfCopy, "leftExtension"), 7);
}

TEST(Avm2Filters, DisplayObjectFiltersAreCopiesEachWayWithThePlayersErrors) {
  FilterMovie t;
  Value sprite = t.make("flash.display.Sprite");
  EXPECT_EQ(t.number(t.get(sprite, "filters"), "length"), 0);
  Value glow = t.filter("GlowFilter", {Value(0xABCDEF), Value(0.2), Value(1), Value(2.3)});
  t.set(sprite, "filters", t.array({glow}));
  t.set(glow, "blurY", Value(9));  // changes only the script's own object
  Value read = t.get(sprite, "filters");
  Value first = t.at(read, 0);
  EXPECT_NE(first.asObject(), glow.asObject());
  EXPECT_NE(t.at(t.get(sprite, "filters"), 0).asObject(), first.asObject());
  EXPECT_EQ(t.number(first, "blurY"), 2.3);  // as set, not as a movie file would store it
  EXPECT_EQ(t.number(first, "alpha"), 0.2);

  // Gradients keep as many stops as their shortest list, a convolution as many factors as
  // its columns by rows.
  Value gradient = t.filter("GradientBevelFilter",
                            {Value(4), Value(45), t.array({Value(0xFF), Value(0xFF00)}),
                             t.array({Value(1)}), t.array({Value(0), Value(255)})});
  Value conv = t.filter("ConvolutionFilter", {Value(2), Value(2), t.array({Value(0.1)})});
  Value shader = t.filter("ShaderFilter");
  t.set(sprite, "filters", t.array({gradient, conv, shader}));
  read = t.get(sprite, "filters");
  EXPECT_EQ(t.number(read, "length"), 3);
  EXPECT_EQ(t.text(t.at(read, 0), "colors"), "255");
  EXPECT_EQ(t.text(t.at(read, 0), "ratios"), "0");
  EXPECT_EQ(t.text(t.at(read, 1), "matrix"), t.m().toText(Value(double(0.1f))) + ",0,0,0");
  EXPECT_EQ(t.m().className(t.at(read, 2)), "flash.filters.ShaderFilter");
  EXPECT_EQ(t.text(gradient, "alphas"), "1");  // the script's own object is left be

  const std::string wrongType =
      "ArgumentError: Error #2005: Parameter 0 is of the incorrect type. Should be type Filter.";
  EXPECT_EQ(t.thrown([&] { t.set(sprite, "filters", t.array({Value(1)})); }), wrongType);
  EXPECT_EQ(t.thrown([&] { t.set(sprite, "filters", t.array({glow, Value()})); }), wrongType);
  EXPECT_EQ(t.number(t.get(sprite, "filters"), "length"), 3);  // a refused list changes nothing
  EXPECT_NE(t.thrown([&] { t.set(sprite, "filters", Value(5)); }).find("#1034"), std::string::npos);
  t.set(sprite, "filters", Value());
  EXPECT_EQ(t.number(t.get(sprite, "filters"), "length"), 0);
}

TEST(Avm2Filters, TheTimelinesFiltersReadBackUntilAScriptSetsItsOwn) {
  FilterMovie t;
  Value c = t.call(t.root(), "getChildByName", {t.str("c")});
  Value list = t.get(c, "filters");
  ASSERT_EQ(t.number(list, "length"), 1);
  Value glow = t.at(list, 0);
  EXPECT_EQ(t.m().className(glow), "flash.filters.GlowFilter");
  EXPECT_EQ(t.number(glow, "color"), 0x3300FF);
  EXPECT_EQ(t.number(glow, "blurX"), 18);
  EXPECT_EQ(t.number(glow, "strength"), 0.4296875);
  EXPECT_EQ(t.number(glow, "quality"), 3);
  EXPECT_EQ(t.text(glow, "inner"), "true");
  t.set(c, "filters", t.array({t.filter("BlurFilter")}));
  EXPECT_EQ(t.m().className(t.at(t.get(c, "filters"), 0)), "flash.filters.BlurFilter");
  t.set(c, "filters", t.array({}));
  EXPECT_EQ(t.number(t.get(c, "filters"), "length"), 0);
}

TEST(Avm2Filters, FiltersSetOnAnObjectAreDrawnAndTakenOffAgain) {
  FilterMovie t;
  Value sprite = t.make("flash.display.Sprite");
  t.call(t.root(), "addChild", {sprite});
  Value g = t.get(sprite, "graphics");
  t.call(g, "beginFill", {Value(0)});
  t.call(g, "drawRect", {Value(40), Value(40), Value(20), Value(20)});
  auto pixelAt = [&](int x, int y) {
    Pixmap pm;
    pm.width = pm.height = 100;
    pm.pixels.assign(100 * 100, 0);
    t.player.render(pm, {0, 0, 2000, 2000});
    return pm.pixels[size_t(y) * 100 + x] & 0xFFFFFFu;
  };
  EXPECT_EQ(pixelAt(37, 50), 0xFFFFFFu);
  // A strong blue glow reaches past the square's edge.
  t.set(sprite, "filters",
        t.array({t.filter("GlowFilter", {Value(0x0000FF), Value(1), Value(12), Value(12), Value(8)})}));
  const uint32_t glowing = pixelAt(37, 50);
  EXPECT_EQ(glowing & 0xFFu, 0xFFu);
  EXPECT_LT((glowing >> 16) & 0xFFu, 0x80u);
  EXPECT_EQ(pixelAt(50, 50), 0u);  // the square itself stays black
  t.set(sprite, "filters", Value::null());
  EXPECT_EQ(pixelAt(37, 50), 0xFFFFFFu);
}

TEST(Avm2Filters, ApplyFilterRunsTheRenderersKernelsOnBitmapData) {
  FilterMovie t;
  auto data = [&](int w, int h, uint32_t fill) {
    return t.make("flash.display.BitmapData", {Value(w), Value(h), Value(true), Value(double(fill))});
  };
  auto rect = [&](int x, int y, int w, int h) {
    return t.make("flash.geom.Rectangle", {Value(x), Value(y), Value(w), Value(h)});
  };
  auto point = [&](int x, int y) { return t.make("flash.geom.Point", {Value(x), Value(y)}); };
  auto pixel = [&](const Value& d, int x, int y) {
    return t.m().toUint(t.call(d, "getPixel32", {Value(x), Value(y)}));
  };

  // One opaque red pixel blurred spreads to its neighbours, written where destPoint says.
  Value src = data(9, 9, 0);
  t.call(src, "setPixel32", {Value(4), Value(4), Value(double(0xFFFF0000u))});
  Value dst = data(20, 20, 0);
  t.call(dst, "applyFilter", {src, rect(0, 0, 9, 9), point(10, 10), t.filter("BlurFilter", {Value(3), Value(3)})});
  EXPECT_GT(pixel(dst, 14, 14) >> 24, 0u);
  EXPECT_GT(pixel(dst, 15, 14) >> 24, 0u);
  EXPECT_LT(pixel(dst, 14, 14) >> 24, 255u);
  EXPECT_EQ(pixel(dst, 4, 4), 0u);
  EXPECT_EQ(pixel(dst, 18, 18), 0u);

  // A colour matrix swapping red and blue, exactly, in place.
  std::vector<Value> swap(20, Value(0));
  swap[2] = swap[6] = swap[10] = swap[18] = Value(1);
  t.call(src, "applyFilter", {src, rect(0, 0, 9, 9), point(0, 0), t.filter("ColorMatrixFilter", {t.array(swap)})});
  EXPECT_EQ(pixel(src, 4, 4), 0xFF0000FFu);
  EXPECT_EQ(pixel(src, 0, 0), 0u);

  // A displacement map of full red moves pixels by (255 - 128) * scaleX / 256.
  Value map = data(9, 9, 0xFFFF0000u);
  Value displace = t.filter("DisplacementMapFilter", {map, point(0, 0), Value(1), Value(1), Value(4), Value(0)});
  Value moved = data(9, 9, 0);
  t.call(moved, "applyFilter", {src, rect(0, 0, 9, 9), point(0, 0), displace});
  EXPECT_EQ(pixel(moved, 2, 4), 0xFF0000FFu);
  EXPECT_EQ(pixel(moved, 4, 4), 0u);

  // generateFilterRect: grown by as far as the filter reaches, or not at all.
  Value grown = t.call(dst, "generateFilterRect", {rect(10, 10, 4, 4), t.filter("BlurFilter", {Value(9), Value(9)})});
  EXPECT_LT(t.number(grown, "x"), 10);
  EXPECT_EQ(t.number(grown, "x") + t.number(grown, "width"), 24 - t.number(grown, "x"));
  EXPECT_EQ(t.m().toText(t.call(dst, "generateFilterRect", {rect(1, 2, 3, 4), t.filter("ColorMatrixFilter")})),
            "(x=1, y=2, w=3, h=4)");

  // Odd arguments: errors, and destinations far off the image write nothing.
  EXPECT_NE(t.thrown([&] { t.call(dst, "applyFilter", {src, rect(0, 0, 9, 9), point(0, 0), Value::null()}); })
                .find("#2007"),
            std::string::npos);
  EXPECT_NE(t.thrown([&] { t.call(dst, "applyFilter", {src, rect(0, 0, 9, 9), point(0, 0), src}); }).find("#1034"),
            std::string::npos);
  t.call(dst, "applyFilter", {src, rect(-5, -5, 1 << 30, 1 << 30), point(1 << 30, -(1 << 30)), t.filter("GlowFilter")});
  EXPECT_EQ(pixel(dst, 4, 4), 0u);
}

}  // namespace
}  // namespace orv::movie
