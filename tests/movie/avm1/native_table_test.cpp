// ASnative / ASconstructor / ASSetNative: numbered built-ins as scripts reach them, and the
// Math and Number details the numbered functions showed.
#include <gtest/gtest.h>

#include <cmath>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value callGlobal(Vm& vm, const char* name, std::vector<Value> args) {
  return vm.call(vm.getMember(vm.global, name), Value(), args);
}

Value callWith(Vm& vm, const Value& fn, const Value& self, std::vector<Value> args = {}) {
  return vm.call(fn, self, args);
}

Value method(Vm& vm, const Value& obj, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(obj, name, args);
}

Value native(Vm& vm, int major, int minor) {
  return callGlobal(vm, "ASnative", {Value(major), Value(minor)});
}

TEST(NativeTable, NumbersGiveFreshFunctionsOverTheBuiltIns) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Value escape = native(vm, 100, 0);
  ASSERT_EQ(vm.typeOf(escape), "function");
  EXPECT_EQ(vm.toString(callWith(vm, escape, Value(), {Value(" ")})), "%20");
  Value sqrt = native(vm, 200, 9);
  EXPECT_EQ(vm.toNumber(callWith(vm, sqrt, Value(), {Value(16)})), 4);
  // Each call makes a new function, and none has a prototype.
  EXPECT_FALSE(vm.strictEquals(native(vm, 200, 9), sqrt));
  EXPECT_TRUE(vm.getMember(sqrt, "prototype").isUndefined());
  // Numbers with no function behind them give undefined.
  EXPECT_TRUE(native(vm, 200, 99).isUndefined());
  EXPECT_TRUE(native(vm, -1, 0).isUndefined());
  EXPECT_TRUE(callGlobal(vm, "ASnative", {}).isUndefined());
  // Replacing a class does not change what its number gives.
  vm.setMember(vm.global, "Math", Value(vm.newObject()));
  vm.collectGarbage();
  EXPECT_EQ(vm.toNumber(callWith(vm, native(vm, 200, 9), Value(), {Value(9)})), 3);
}

TEST(NativeTable, HasOwnPropertyReachesSwf5MoviesByNumber) {
  FakeHost h(5);
  Vm& vm = h.vm;
  EXPECT_TRUE(vm.getMember(vm.objectProto, "hasOwnProperty").isUndefined());
  Value hasOwn = native(vm, 101, 5);
  ASSERT_EQ(vm.typeOf(hasOwn), "function");
  Object* o = vm.newObject();
  vm.setMember(o, "mine", Value(1));
  EXPECT_TRUE(vm.toBool(callWith(vm, hasOwn, Value(o), {Value("mine")})));
  EXPECT_FALSE(vm.toBool(callWith(vm, hasOwn, Value(o), {Value("toString")})));
  EXPECT_FALSE(vm.toBool(callWith(vm, hasOwn, Value(o))));
}

TEST(ScriptValues, ClipsAreNoNumbersAndFunctionPrototypeIsAnObject) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Object* root = vm.objectFor(&h.root);
  vm.setMember(root, "valueOf", vm.getMember(vm.getMember(vm.global, "Math"), "random"));
  EXPECT_TRUE(std::isnan(vm.toNumber(Value(root))));
  EXPECT_TRUE(vm.lessThan(Value(root), Value("18")).isUndefined());
  EXPECT_EQ(vm.toString(Value(root)), "_level0");
  EXPECT_EQ(vm.typeOf(vm.getMember(vm.getMember(vm.global, "Function"), "prototype")), "object");
  // Added, a clip joins text as its path and otherwise counts as NaN.
  vm.setMember(vm.objectFor(&h.root), "me", Value(root));
  EXPECT_EQ(h.run(test::Asm()
                      .push({""})
                      .getVar("me")
                      .op(0x47)
                      .trace()
                      .getVar("me")
                      .getVar("me")
                      .op(0x47)
                      .op(0x44)
                      .trace()
                      .getVar("me")
                      .getVar("me")
                      .op(0x47)
                      .trace()),
            "_level0\nnumber\nNaN\n");
  EXPECT_EQ(vm.typeOf(vm.getMember(vm.global, "Function")), "function");
}

TEST(NativeTable, OldCaseChangesLeaveNonAsciiAlone) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Value text("gr\xC3\xBC\xC3\x9F Gott");  // "grüß Gott"
  EXPECT_EQ(vm.toString(callWith(vm, native(vm, 102, 0), text)), "GR\xC3\xBC\xC3\x9F GOTT");
  EXPECT_EQ(vm.toString(callWith(vm, native(vm, 102, 1), text)), "gr\xC3\xBC\xC3\x9F gott");
}

TEST(NativeTable, ConstructorsGetAPrototypeAndSetNativeFillsOne) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Value ctor = callGlobal(vm, "ASconstructor", {Value(106), Value(2)});  // Number
  ASSERT_EQ(vm.typeOf(ctor), "function");
  Value proto = vm.getMember(ctor, "prototype");
  ASSERT_TRUE(proto.isObject());
  callGlobal(vm, "ASSetNative", {proto, Value(106), Value("valueOf,toString")});
  Value six = [&] {
    std::vector<Value> args{Value(6)};
    return vm.construct(ctor, args);
  }();
  ASSERT_TRUE(six.isObject());
  EXPECT_EQ(six.asObject()->proto(false), proto.asObject());
  EXPECT_EQ(vm.toString(method(vm, six, "toString")), "6");
  // Boolean's methods on a Number give nothing; a leading digit holds a name back
  // from older movies.
  callGlobal(vm, "ASSetNative", {proto, Value(107), Value("valueOf,toString,9later")});
  EXPECT_TRUE(method(vm, six, "toString").isUndefined());
  EXPECT_TRUE(vm.getMember(proto, "later").isUndefined());
  EXPECT_TRUE(callGlobal(vm, "ASSetNative", {Value(1), Value(106), Value("x")}).isUndefined());
}

TEST(NativeTable, TellsAFunctionWhetherItRunsUnderNew) {
  FakeHost h(6);
  // function f() { r = ASnative(2, 0)(); }  f(); trace(r); new f(); trace(r);
  test::Asm body;
  body.push({"isCtor", 0, 2, 2, "ASnative"})
      .op(0x3D)
      .op(0x1D)
      .push({"r", 0, "isCtor"})
      .op(0x3D)
      .op(0x1D);
  std::string out = h.run(test::Asm()
                              .function("f", {}, body)
                              .push({0, "f"})
                              .op(0x3D)
                              .op(0x17)
                              .traceVar("r")
                              .push({0, "f"})
                              .op(0x40)
                              .op(0x17)
                              .traceVar("r"));
  EXPECT_EQ(out, "false\ntrue\n");
}

TEST(MathDetails, ArcSineAndRandomAsTheReferencePlayerHasThem) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Value math = vm.getMember(vm.global, "Math");
  EXPECT_EQ(vm.toString(method(vm, math, "asin", {Value(0.3)})), "0.304692654015397");
  EXPECT_TRUE(std::isnan(vm.toNumber(method(vm, math, "asin", {Value(2)}))));
  EXPECT_EQ(vm.toNumber(method(vm, math, "asin", {Value(1)})), std::asin(1.0));
  // random reads its argument (valueOf runs) and still gives a fraction.
  std::string out =
      h.run(test::Asm()
                .push({"o", 0, "Object"})
                .op(0x40)
                .op(0x1D)
                .push({"o"})
                .op(0x1C)
                .push({"valueOf"})
                .function("", {}, test::Asm().push({"called"}).trace().push({5}).op(0x3E))
                .op(0x4F)
                .push({"o"})
                .op(0x1C)
                .push({1, "Math"})
                .op(0x1C)
                .push({"random"})
                .op(0x52)
                .trace());
  ASSERT_EQ(out.substr(0, 7), "called\n");
  double r = std::stod(out.substr(7));
  EXPECT_GE(r, 0);
  EXPECT_LT(r, 1);
  // Number's toString borrowed by something that is no number gives undefined.
  Value plain(vm.newObject());
  Value toString =
      vm.getMember(vm.getMember(vm.getMember(vm.global, "Number"), "prototype"), "toString");
  EXPECT_TRUE(callWith(vm, toString, plain).isUndefined());
  EXPECT_EQ(vm.toString(callWith(vm, toString, Value(12))), "12");
  // parseInt reads a String object's own text, not what its toString says.
  Value str = [&] {
    std::vector<Value> args{Value("10")};
    return vm.construct(vm.getMember(vm.global, "String"), args);
  }();
  vm.setMember(str.asObject(), "toString", vm.getMember(vm.global, "escape"));
  EXPECT_EQ(vm.toNumber(callWith(vm, vm.getMember(vm.global, "parseInt"), Value(), {str})), 10);
}

}  // namespace
}  // namespace orv::movie::avm1
