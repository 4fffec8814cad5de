// ASnative / ASconstructor / ASSetNative: numbered built-ins as scripts reach them, and the
// Math and Number details the numbered functions showed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <utility>

#include "movie/avm1/native_table.h"
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

// Where the player's numbered functions live: the member each number gives.
struct NumberedMember {
  int major, minor;
  const char* holder;  // "" for _global, else a global's name or "X.prototype"
  const char* name;
  MemberKind kind = MemberKind::Method;
};

constexpr NumberedMember kNumberedMembers[] = {
    {101, 0, "Object.prototype", "watch"},
    {101, 1, "Object.prototype", "unwatch"},
    {101, 2, "Object.prototype", "addProperty"},
    {101, 3, "Object.prototype", "valueOf"},
    {101, 4, "Object.prototype", "toString"},
    {101, 6, "Object.prototype", "isPrototypeOf"},
    {101, 7, "Object.prototype", "isPropertyEnumerable"},
    {100, 0, "", "escape"},
    {100, 1, "", "unescape"},
    {100, 2, "", "parseInt"},
    {100, 3, "", "parseFloat"},
    {103, 0, "Date.prototype", "getFullYear"},
    {103, 1, "Date.prototype", "getYear"},
    {103, 2, "Date.prototype", "getMonth"},
    {103, 3, "Date.prototype", "getDate"},
    {103, 4, "Date.prototype", "getDay"},
    {103, 5, "Date.prototype", "getHours"},
    {103, 6, "Date.prototype", "getMinutes"},
    {103, 7, "Date.prototype", "getSeconds"},
    {103, 8, "Date.prototype", "getMilliseconds"},
    {103, 9, "Date.prototype", "setFullYear"},
    {103, 10, "Date.prototype", "setMonth"},
    {103, 11, "Date.prototype", "setDate"},
    {103, 12, "Date.prototype", "setHours"},
    {103, 13, "Date.prototype", "setMinutes"},
    {103, 14, "Date.prototype", "setSeconds"},
    {103, 15, "Date.prototype", "setMilliseconds"},
    {103, 16, "Date.prototype", "getTime"},
    {103, 17, "Date.prototype", "setTime"},
    {103, 18, "Date.prototype", "getTimezoneOffset"},
    {103, 19, "Date.prototype", "toString"},
    {103, 20, "Date.prototype", "setYear"},
    {103, 128, "Date.prototype", "getUTCFullYear"},
    {103, 130, "Date.prototype", "getUTCMonth"},
    {103, 131, "Date.prototype", "getUTCDate"},
    {103, 132, "Date.prototype", "getUTCDay"},
    {103, 133, "Date.prototype", "getUTCHours"},
    {103, 134, "Date.prototype", "getUTCMinutes"},
    {103, 135, "Date.prototype", "getUTCSeconds"},
    {103, 136, "Date.prototype", "getUTCMilliseconds"},
    {103, 137, "Date.prototype", "setUTCFullYear"},
    {103, 138, "Date.prototype", "setUTCMonth"},
    {103, 139, "Date.prototype", "setUTCDate"},
    {103, 140, "Date.prototype", "setUTCHours"},
    {103, 141, "Date.prototype", "setUTCMinutes"},
    {103, 142, "Date.prototype", "setUTCSeconds"},
    {103, 143, "Date.prototype", "setUTCMilliseconds"},
    {103, 256, "", "Date"},
    {103, 257, "Date", "UTC"},
    {106, 0, "Number.prototype", "valueOf"},
    {106, 1, "Number.prototype", "toString"},
    {106, 2, "", "Number"},
    {107, 0, "Boolean.prototype", "valueOf"},
    {107, 1, "Boolean.prototype", "toString"},
    {107, 2, "", "Boolean"},
    {200, 0, "Math", "abs"},
    {200, 1, "Math", "min"},
    {200, 2, "Math", "max"},
    {200, 3, "Math", "sin"},
    {200, 4, "Math", "cos"},
    {200, 5, "Math", "atan2"},
    {200, 6, "Math", "tan"},
    {200, 7, "Math", "exp"},
    {200, 8, "Math", "log"},
    {200, 9, "Math", "sqrt"},
    {200, 10, "Math", "round"},
    {200, 11, "Math", "random"},
    {200, 12, "Math", "floor"},
    {200, 13, "Math", "ceil"},
    {200, 14, "Math", "atan"},
    {200, 15, "Math", "asin"},
    {200, 16, "Math", "acos"},
    {200, 17, "Math", "pow"},
    {200, 18, "", "isNaN"},
    {200, 19, "", "isFinite"},
    {251, 0, "String.prototype", "valueOf"},
    {251, 1, "String.prototype", "toString"},
    {251, 3, "String.prototype", "toUpperCase"},
    {251, 4, "String.prototype", "toLowerCase"},
    {251, 5, "String.prototype", "charAt"},
    {251, 6, "String.prototype", "charCodeAt"},
    {251, 7, "String.prototype", "concat"},
    {251, 8, "String.prototype", "indexOf"},
    {251, 9, "String.prototype", "lastIndexOf"},
    {251, 10, "String.prototype", "slice"},
    {251, 11, "String.prototype", "substring"},
    {251, 12, "String.prototype", "split"},
    {251, 13, "String.prototype", "substr"},
    {251, 14, "String", "fromCharCode"},
    {666, 1, "Stage", "scaleMode", MemberKind::Getter},
    {666, 2, "Stage", "scaleMode", MemberKind::Setter},
    {666, 3, "Stage", "align", MemberKind::Getter},
    {666, 4, "Stage", "align", MemberKind::Setter},
    {666, 5, "Stage", "width", MemberKind::Getter},
    {666, 6, "Stage", "width", MemberKind::Setter},
    {666, 7, "Stage", "height", MemberKind::Getter},
    {666, 8, "Stage", "height", MemberKind::Setter},
    {666, 9, "Stage", "showMenu", MemberKind::Getter},
    {666, 10, "Stage", "showMenu", MemberKind::Setter},
    {901, 0, "MovieClip.prototype", "createEmptyMovieClip"},
    {901, 1, "MovieClip.prototype", "beginFill"},
    {901, 2, "MovieClip.prototype", "beginGradientFill"},
    {901, 3, "MovieClip.prototype", "moveTo"},
    {901, 4, "MovieClip.prototype", "lineTo"},
    {901, 5, "MovieClip.prototype", "curveTo"},
    {901, 6, "MovieClip.prototype", "lineStyle"},
    {901, 7, "MovieClip.prototype", "endFill"},
    {901, 8, "MovieClip.prototype", "clear"},
    {2106, 202, "SharedObject", "getLocal"},
};
// Natives no object has as a member.
constexpr std::pair<int, int> kNumberOnly[] = {{2, 0}, {101, 5}, {102, 0}, {102, 1}};

Object* builtinHolder(Vm& vm, const std::string& path) {
  if (path.empty()) return vm.global;
  const size_t dot = path.find('.');
  Value v = vm.getMember(vm.global, path.substr(0, dot));
  if (v.isObject() && dot != std::string::npos) v = vm.getMember(v, path.substr(dot + 1));
  return v.isObject() ? v.asObject() : nullptr;
}

FunctionObject* functionOf(const Value& v) {
  return v.isObject() ? dynamic_cast<FunctionObject*>(v.asObject()) : nullptr;
}

TEST(NativeTable, EachNumberRunsTheCodeOfTheMemberThatDeclaresIt) {
  for (int version : {5, 6, 8}) {
    SCOPED_TRACE("SWF " + std::to_string(version));
    FakeHost h(version);
    Vm& vm = h.vm;
    std::set<std::pair<int, int>> members;
    for (const NumberedMember& e : kNumberedMembers) {
      SCOPED_TRACE(std::string(e.holder) + "." + e.name);
      Object* holder = builtinHolder(vm, e.holder);
      Property* p = holder ? holder->findOwn(e.name, vm.caseInsensitive()) : nullptr;
      FunctionObject* fn = functionOf(native(vm, e.major, e.minor));
      // A member this version does not have has no number either.
      if (!p) {
        EXPECT_EQ(fn, nullptr);
        continue;
      }
      members.insert({e.major, e.minor});
      ASSERT_NE(fn, nullptr);
      Object* member = e.kind == MemberKind::Getter ? p->getter
                       : e.kind == MemberKind::Setter
                           ? p->setter
                           : (p->value.isObject() ? p->value.asObject() : nullptr);
      // The setter of a read-only accessor: a function that takes the value and does
      // nothing.
      if (!member && e.kind == MemberKind::Setter) {
        ASSERT_NE(p->getter, nullptr);
        EXPECT_TRUE(callWith(vm, Value(fn), Value(holder), {Value(1)}).isUndefined());
        members.erase({e.major, e.minor});
        continue;
      }
      auto* declared = dynamic_cast<FunctionObject*>(member);
      ASSERT_NE(declared, nullptr);
      EXPECT_NE(declared, fn);
      EXPECT_NE(fn->code, nullptr);
      EXPECT_EQ(fn->code, declared->code);
      EXPECT_EQ(fn->variant, declared->variant);
    }
    // Every number the machine has is one of those, or one of the few that are no member.
    for (const NumberedNative& n : numberedNatives(vm)) {
      SCOPED_TRACE(std::to_string(n.major) + "," + std::to_string(n.minor));
      const std::pair<int, int> number{n.major, n.minor};
      const bool memberless = std::find(std::begin(kNumberOnly), std::end(kNumberOnly), number) !=
                              std::end(kNumberOnly);
      EXPECT_TRUE(members.count(number) || memberless || !n.name);
      FunctionObject* fn = functionOf(native(vm, n.major, n.minor));
      ASSERT_NE(fn, nullptr);
      EXPECT_EQ(fn->code, n.code);
      EXPECT_EQ(fn->variant, n.variant);
    }
    for (auto [major, minor] : kNumberOnly)
      EXPECT_NE(functionOf(native(vm, major, minor)), nullptr);
    // All but the two read-only setters are members; SWF 5 lacks watch, unwatch,
    // isPrototypeOf, isPropertyEnumerable and SharedObject too.
    EXPECT_EQ(members.size() + 2 + (version < 6 ? 5 : 0), std::size(kNumberedMembers));
  }
}

Value twice(Vm& vm, CallInfo& c) { return Value(2 * vm.toNumber(c.arg(0))); }
Value storedOnThis(Vm& vm, CallInfo& c) {
  return c.thisObject() ? vm.getMember(c.thisObject(), "stored") : Value();
}
Value storeOnThis(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject()) self->put("stored", c.arg(0), 0, vm.caseInsensitive());
  return Value();
}

constexpr NativeMember kDeclared[] = {
    method("twice", twice).asnative(9100, 1),
    getter("stored", storedOnThis).asnative(9100, 2),
    setter("stored", storeOnThis).asnative(9100, 3),
};

TEST(NativeTable, ANumberOnADeclaredRowReachesItsCode) {
  FakeHost h(7);
  Vm& vm = h.vm;
  EXPECT_TRUE(native(vm, 9100, 1).isUndefined());
  Object* holder = vm.newObject();
  installMembers(vm, holder, kDeclared);
  EXPECT_EQ(vm.toNumber(callWith(vm, native(vm, 9100, 1), Value(), {Value(21)})), 42);
  Object* target = vm.newObject();
  callGlobal(vm, "ASSetNativeAccessor", {Value(target), Value(9100), Value("kept"), Value(2)});
  Property* kept = target->findOwn("kept", false);
  ASSERT_TRUE(kept && kept->getter && kept->setter);
  vm.setMember(target, "kept", Value("yes"));
  EXPECT_EQ(vm.toString(vm.getMember(target, "kept")), "yes");
  callGlobal(vm, "ASSetNative", {Value(target), Value(9100), Value("double"), Value(1)});
  EXPECT_EQ(vm.toNumber(method(vm, Value(target), "double", {Value(4)})), 8);
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
