// flash.geom as scripts use it: Point, Rectangle, Matrix and ColorTransform, including
// what their methods do with values that are not numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

class Geom : public ::testing::Test {
 protected:
  test::FakeHost host{8};
  Vm& vm = host.vm;

  Value cls(const char* name) {
    Value flash = vm.getMember(vm.global, "flash");
    if (!flash.isObject()) return Value();
    Value geom = vm.getMember(flash.asObject(), "geom");
    return geom.isObject() ? vm.getMember(geom.asObject(), name) : Value();
  }
  Value make(const char* name, std::vector<Value> args = {}) {
    return vm.construct(cls(name), args);
  }
  Value call(const Value& obj, const char* method, std::vector<Value> args = {}) {
    return vm.callMethod(obj, method, args);
  }
  Value get(const Value& obj, const char* name) { return vm.getMember(obj, name); }
  void put(const Value& obj, const char* name, const Value& v) {
    vm.setMember(obj.asObject(), name, v);
  }
  std::string str(const Value& v) { return vm.toString(v); }
};

TEST_F(Geom, ThePackageExistsFromSwf8Only) {
  EXPECT_EQ(vm.typeOf(cls("Point")), "function");
  EXPECT_EQ(vm.typeOf(cls("Matrix")), "function");
  // SWF 6 and 7 movies see it once ASSetPropFlags clears its SWF 8 bit.
  test::FakeHost seven(7);
  Vm& v7 = seven.vm;
  EXPECT_TRUE(v7.getMember(v7.global, "flash").isUndefined());
  std::vector<Value> args{Value(v7.global), Value("flash"), Value(0), Value(5248)};
  v7.call(v7.getMember(v7.global, "ASSetPropFlags"), Value(), args);
  Value flash = v7.getMember(v7.global, "flash");
  ASSERT_TRUE(flash.isObject());
  EXPECT_EQ(v7.typeOf(v7.getMember(v7.getMember(flash, "geom"), "Matrix")), "function");
  test::FakeHost five(5);
  std::vector<Value> args5{Value(five.vm.global), Value("flash"), Value(0), Value(5248)};
  five.vm.call(five.vm.getMember(five.vm.global, "ASSetPropFlags"), Value(), args5);
  EXPECT_TRUE(five.vm.getMember(five.vm.global, "flash").isUndefined());
}

TEST_F(Geom, PointArithmeticFollowsTheScriptOperators) {
  Value p = make("Point", {3.0, 4.0});
  EXPECT_EQ(str(p), "(x=3, y=4)");
  EXPECT_EQ(vm.toNumber(get(p, "length")), 5);
  EXPECT_EQ(str(make("Point")), "(x=0, y=0)");
  EXPECT_EQ(str(call(p, "add", {make("Point", {1.0, -2.0})})), "(x=4, y=2)");
  EXPECT_EQ(str(call(p, "subtract", {make("Point", {1.0, -2.0})})), "(x=2, y=6)");
  // Strings join where `+` joins them and give NaN where arithmetic needs numbers.
  Value s = make("Point", {"x", "y"});
  EXPECT_EQ(str(call(s, "add", {})), "(x=xundefined, y=yundefined)");
  EXPECT_EQ(str(call(s, "subtract", {p})), "(x=NaN, y=NaN)");
  EXPECT_TRUE(std::isnan(vm.toNumber(get(s, "length"))));
  call(s, "offset", {"a"});
  EXPECT_EQ(str(s), "(x=xa, y=yundefined)");
  // normalize scales in place; a point without a length stays as it is.
  Value n = make("Point", {-3.0, 4.0});
  EXPECT_TRUE(call(n, "normalize", {10.0}).isUndefined());
  EXPECT_EQ(str(n), "(x=-6, y=8)");
  Value t = make("Point", {"x", "y"});
  call(t, "normalize", {10.0});
  EXPECT_EQ(str(t), "(x=x, y=y)");
  // equals wants a Point with equal coordinates.
  EXPECT_TRUE(vm.toBool(call(p, "equals", {make("Point", {3.0, 4.0})})));
  Value plain = vm.newObject();
  put(plain, "x", 3.0);
  put(plain, "y", 4.0);
  EXPECT_EQ(call(p, "equals", {plain}).type(), ValueType::Boolean);
  EXPECT_FALSE(vm.toBool(call(p, "equals", {plain})));
  // for..in sees the coordinates and the prototype's members.
  EXPECT_EQ(vm.enumerableNames(p.asObject()).size(), 10u);
  Value clone = call(p, "clone");
  EXPECT_TRUE(vm.instanceOf(clone.asObject(), cls("Point").asObject()));
  EXPECT_EQ(str(clone), "(x=3, y=4)");
}

TEST_F(Geom, PointStaticFunctions) {
  Value a = make("Point", {0.0, 0.0}), b = make("Point", {6.0, 8.0});
  EXPECT_EQ(vm.toNumber(call(cls("Point"), "distance", {a, b})), 10);
  Value plain = vm.newObject();
  EXPECT_TRUE(call(cls("Point"), "distance", {plain, b}).isUndefined());  // cannot subtract
  EXPECT_TRUE(call(cls("Point"), "distance", {a}).isUndefined());
  EXPECT_EQ(str(call(cls("Point"), "interpolate", {a, b, 1.0})), "(x=0, y=0)");
  EXPECT_EQ(str(call(cls("Point"), "interpolate", {a, b, 0.0})), "(x=6, y=8)");
  EXPECT_EQ(str(call(cls("Point"), "interpolate", {a, b, 0.5})), "(x=3, y=4)");
  Value polar = call(cls("Point"), "polar", {2.0, std::acos(-1.0) / 2});
  EXPECT_NEAR(vm.toNumber(get(polar, "x")), 0, 1e-12);
  EXPECT_EQ(vm.toNumber(get(polar, "y")), 2);
  EXPECT_EQ(str(call(cls("Point"), "polar", {})), "(x=NaN, y=NaN)");
}

TEST_F(Geom, RectangleSidesMoveOneEdgeAtATime) {
  Value r = make("Rectangle", {10.0, 5.0, 20.0, 10.0});
  EXPECT_EQ(str(r), "(x=10, y=5, w=20, h=10)");
  EXPECT_EQ(vm.toNumber(get(r, "right")), 30);
  EXPECT_EQ(vm.toNumber(get(r, "bottom")), 15);
  put(r, "left", 0.0);  // the right side stays
  EXPECT_EQ(str(r), "(x=0, y=5, w=30, h=10)");
  put(r, "bottom", 25.0);
  EXPECT_EQ(str(r), "(x=0, y=5, w=30, h=20)");
  put(r, "top", 0.0);
  EXPECT_EQ(str(r), "(x=0, y=0, w=30, h=25)");
  EXPECT_EQ(str(get(r, "bottomRight")), "(x=30, y=25)");
  EXPECT_EQ(str(get(r, "size")), "(x=30, y=25)");
  put(r, "topLeft", make("Point", {10.0, 5.0}));
  EXPECT_EQ(str(r), "(x=10, y=5, w=20, h=20)");
  // Strings go through the operators too.
  Value s = make("Rectangle", {"x", "y", "w", "h"});
  EXPECT_EQ(str(get(s, "right")), "xw");
  put(s, "left", 10.0);
  EXPECT_EQ(str(get(s, "width")), "wNaN");
  EXPECT_EQ(str(make("Rectangle", {1.0})), "(x=1, y=undefined, w=undefined, h=undefined)");
}

TEST_F(Geom, RectangleContainmentAndCombination) {
  Value r = make("Rectangle", {10.0, 10.0, 15.0, 16.0});
  EXPECT_TRUE(vm.toBool(call(r, "contains", {10.0, 10.0})));   // left and top edges inside
  EXPECT_FALSE(vm.toBool(call(r, "contains", {25.0, 10.0})));  // right edge outside
  EXPECT_TRUE(vm.toBool(call(r, "contains", {24.9, 25.9})));
  EXPECT_TRUE(call(r, "contains", {10.0}).isUndefined());
  EXPECT_TRUE(call(r, "contains", {Value(), 12.0}).isUndefined());
  // Compared as the script operators compare: strings of digits count as numbers, and a
  // rectangle whose size is not a number is empty.
  EXPECT_TRUE(vm.toBool(call(r, "contains", {"12", "12"})));
  EXPECT_TRUE(vm.toBool(call(make("Rectangle", {0.0, 0.0, "w", 5.0}), "isEmpty")));
  Value pt = vm.newObject();
  put(pt, "x", 10.0);
  put(pt, "y", 26.0);
  EXPECT_FALSE(vm.toBool(call(r, "containsPoint", {pt})));
  Value inner = make("Rectangle", {12.0, 12.0, 5.0, 5.0});
  EXPECT_TRUE(vm.toBool(call(r, "containsRectangle", {inner})));
  EXPECT_FALSE(vm.toBool(call(inner, "containsRectangle", {r})));

  Value a = make("Rectangle", {0.0, 0.0, 10.0, 10.0}),
        b = make("Rectangle", {5.0, 5.0, 10.0, 10.0});
  EXPECT_TRUE(vm.toBool(call(a, "intersects", {b})));
  EXPECT_EQ(str(call(a, "intersection", {b})), "(x=5, y=5, w=5, h=5)");
  EXPECT_EQ(str(call(a, "union", {b})), "(x=0, y=0, w=15, h=15)");
  Value far = make("Rectangle", {20.0, 20.0, 1.0, 1.0});
  EXPECT_FALSE(vm.toBool(call(a, "intersects", {far})));
  EXPECT_EQ(str(call(a, "intersection", {far})), "(x=0, y=0, w=0, h=0)");
  EXPECT_TRUE(vm.toBool(call(a, "equals", {make("Rectangle", {0.0, 0.0, 10.0, 10.0})})));
  call(a, "inflate", {1.0, 2.0});
  EXPECT_EQ(str(a), "(x=-1, y=-2, w=12, h=14)");
  call(a, "offset", {1.0, 2.0});
  EXPECT_EQ(str(a), "(x=0, y=0, w=12, h=14)");
  EXPECT_FALSE(vm.toBool(call(a, "isEmpty")));
  call(a, "setEmpty");
  EXPECT_TRUE(vm.toBool(call(a, "isEmpty")));
  EXPECT_EQ(str(call(a, "union", {b})), "(x=5, y=5, w=10, h=10)");  // an empty side gives the other
}

TEST_F(Geom, MatrixOperationsComposeInOrder) {
  Value m = make("Matrix");
  EXPECT_EQ(str(m), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
  call(m, "scale", {2.0, 3.0});
  call(m, "translate", {10.0, 20.0});
  Value p = make("Point", {1.0, 1.0});
  EXPECT_EQ(str(call(m, "transformPoint", {p})), "(x=12, y=23)");
  EXPECT_EQ(str(call(m, "deltaTransformPoint", {p})), "(x=2, y=3)");
  // Scaling after moving scales the move too.
  call(m, "scale", {2.0, 1.0});
  EXPECT_EQ(str(m), "(a=4, b=0, c=0, d=3, tx=20, ty=20)");
  // Inverting undoes it.
  Value inv = call(m, "clone");
  call(inv, "invert");
  call(m, "concat", {inv});
  EXPECT_EQ(str(m), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
  // A quarter turn takes x to y.
  Value r = make("Matrix");
  call(r, "rotate", {std::acos(-1.0) / 2});
  Value q = call(r, "transformPoint", {make("Point", {1.0, 0.0})});
  EXPECT_NEAR(vm.toNumber(get(q, "x")), 0, 1e-12);
  EXPECT_NEAR(vm.toNumber(get(q, "y")), 1, 1e-12);
  // The gradient box fits the 1638.4 pixel gradient square to the box.
  Value g = make("Matrix");
  call(g, "createGradientBox", {163.84, 327.68, 0.0, 10.0, 20.0});
  EXPECT_EQ(str(g), "(a=0.1, b=0, c=0, d=0.2, tx=91.92, ty=183.84)");
  // scale and rotate change Matrix instances only; identity and translate any object.
  Value fake = vm.newObject();
  for (const char* n : {"a", "b", "c", "d", "tx", "ty"}) put(fake, n, 5.0);
  Value mproto = get(cls("Matrix"), "prototype");
  std::vector<Value> two{2.0, 2.0};
  vm.call(get(mproto, "scale"), fake, two);
  vm.call(get(mproto, "rotate"), fake, two);
  EXPECT_EQ(vm.toNumber(get(fake, "a")), 5);
  EXPECT_EQ(vm.toNumber(get(fake, "tx")), 5);
  vm.call(get(mproto, "translate"), fake, two);
  EXPECT_EQ(vm.toNumber(get(fake, "tx")), 7);
  vm.call(get(mproto, "identity"), fake, {});
  EXPECT_EQ(vm.toNumber(get(fake, "a")), 1);
  EXPECT_EQ(vm.toNumber(get(fake, "b")), 0);
  // translate joins strings as `+` does.
  Value s = make("Matrix", {1.0, 0.0, 0.0, 1.0, "string", 0.0});
  call(s, "translate", {20.0});
  EXPECT_EQ(str(get(s, "tx")), "string20");
  EXPECT_EQ(str(get(s, "ty")), "NaN");
}

TEST_F(Geom, ColorTransformKeepsNumbersAndTheRgbShortcut) {
  Value c = make("ColorTransform");
  EXPECT_EQ(str(c),
            "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, "
            "redOffset=0, greenOffset=0, blueOffset=0, alphaOffset=0)");
  put(c, "redMultiplier", 5.4);
  EXPECT_EQ(str(get(c, "redMultiplier")), "5.4");
  put(c, "rgb", 0xFFFF00);
  EXPECT_EQ(str(c),
            "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, "
            "redOffset=255, greenOffset=255, blueOffset=0, alphaOffset=0)");
  EXPECT_EQ(vm.toNumber(get(c, "rgb")), 0xFFFF00);
  // All eight values or none: fewer keep the identity.
  EXPECT_EQ(str(get(make("ColorTransform", {0.0, 2.0, 3.0}), "redMultiplier")), "1");
  Value s = make("ColorTransform", {"a", 3.0, "b", 1.0, "c", "d", "e", 456.0});
  EXPECT_EQ(str(s),
            "(redMultiplier=NaN, greenMultiplier=3, blueMultiplier=NaN, alphaMultiplier=1, "
            "redOffset=NaN, greenOffset=NaN, blueOffset=NaN, alphaOffset=456)");
  // concat: the argument applies first, then this one.
  Value outer = make("ColorTransform", {2.0, 1.0, 1.0, 1.0, 10.0, 0.0, 0.0, 0.0});
  Value inner = make("ColorTransform", {0.5, 1.0, 1.0, 1.0, 4.0, 0.0, 0.0, 0.0});
  call(outer, "concat", {inner});
  EXPECT_EQ(vm.toNumber(get(outer, "redMultiplier")), 1);
  EXPECT_EQ(vm.toNumber(get(outer, "redOffset")), 18);
  EXPECT_EQ(get(cls("ColorTransform"), "prototype").asObject()->findOwn("rgb", false) != nullptr,
            true);
}

}  // namespace
}  // namespace orv::movie::avm1
