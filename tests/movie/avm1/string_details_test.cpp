// Strings as the reference player treats them at the edges: splitting empty text, slice
// with no start, chr(0), primitives and instanceof, what a toString that gives no text
// turns into, and how text is wrapped when a method runs on it.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value method(Vm& vm, const Value& obj, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(obj, name, args);
}

std::string joined(Vm& vm, const Value& array) {
  return vm.toString(vm.getMember(array, "length")) + ":" +
         vm.toString(method(vm, array, "join", {Value("|")}));
}

TEST(StringDetails, SplittingEmptyTextAndLimits) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Value empty(""), aa("aa");
  EXPECT_EQ(joined(vm, method(vm, empty, "split", {Value("x")})), "1:");
  EXPECT_EQ(joined(vm, method(vm, empty, "split", {Value("x"), Value(0)})), "1:");
  EXPECT_EQ(joined(vm, method(vm, empty, "split", {Value("x"), Value(-1)})), "1:");
  EXPECT_EQ(joined(vm, method(vm, empty, "split", {Value("")})), "0:");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value("a"), Value(0)})), "0:");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value(), Value(0)})), "1:aa");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value("")})), "2:a|a");
  EXPECT_TRUE(method(vm, aa, "slice").isUndefined());
  EXPECT_EQ(vm.toString(method(vm, aa, "slice", {Value(1)})), "a");
}

TEST(StringDetails, VersionFiveSplitsOnOneCharacterOnly) {
  FakeHost h(5);
  Vm& vm = h.vm;
  Value empty(""), aa("aa"), word("wallawalla");
  // Longer or empty separators leave the text whole; one character splits as usual.
  EXPECT_EQ(joined(vm, method(vm, word, "split", {Value("la")})), "1:wallawalla");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value("aa")})), "1:aa");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value("")})), "1:aa");
  EXPECT_EQ(joined(vm, method(vm, empty, "split", {Value("")})), "1:");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value("a")})), "3:||");
  EXPECT_EQ(joined(vm, method(vm, word, "split", {Value("w"), Value(2)})), "2:|alla");
  // A limit below one gives nothing, except the whole text for an empty separator.
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value(""), Value(0)})), "1:aa");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value(""), Value(-1)})), "1:aa");
  EXPECT_EQ(joined(vm, method(vm, empty, "split", {Value(""), Value(0)})), "1:");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value("aa"), Value(0)})), "0:");
  EXPECT_EQ(joined(vm, method(vm, aa, "split", {Value(), Value(0)})), "0:");
  EXPECT_EQ(joined(vm, method(vm, empty, "split", {Value("x"), Value(-1)})), "0:");
  EXPECT_EQ(joined(vm, method(vm, empty, "split", {Value("x")})), "1:");
}

TEST(StringDetails, CharacterCodesAreBytesBeforeVersionSix) {
  // "\xC7\xA6" is one character (U+01E6) from version 6 and two bytes before.
  for (uint8_t op : {uint8_t{0x32}, uint8_t{0x36}}) {  // ord, mbord
    FakeHost v5(5), v6(6);
    test::Asm code = test::Asm().push({"\xC7\xA6"}).op(op).trace();
    EXPECT_EQ(v5.run(code), "199\n") << int(op);
    EXPECT_EQ(v6.run(code), "486\n") << int(op);
  }
}

TEST(StringDetails, ChrZeroPrimitivesAndTextlessToString) {
  FakeHost h(6);
  // trace(chr(0) == ""); trace("t" instanceof String); trace(new String("t") instanceof String)
  EXPECT_EQ(h.run(test::Asm()
                      .push({0})
                      .op(0x33)
                      .push({""})
                      .op(0x49)
                      .trace()
                      .push({"t"})
                      .getVar("String")
                      .op(0x54)
                      .trace()
                      .push({"t", 1, "String"})
                      .op(0x40)
                      .getVar("String")
                      .op(0x54)
                      .trace()),
            "true\nfalse\ntrue\n");
  Vm& vm = h.vm;
  Object* o = vm.newObject();
  vm.setMember(o, "toString",
               vm.getMember(vm.getMember(vm.global, "Math"), "random"));  // gives a number
  EXPECT_EQ(vm.toString(Value(o)), "[type Object]");
  // Built-in toString methods stay unless their flags are cleared; a String's length
  // cannot be deleted.
  Value stringProto = vm.getMember(vm.getMember(vm.global, "String"), "prototype");
  EXPECT_FALSE(vm.deleteMember(stringProto.asObject(), "toString"));
  EXPECT_FALSE(vm.deleteMember(vm.objectProto, "toString"));
  Value s = [&] {
    std::vector<Value> a{Value("abc")};
    return vm.construct(vm.getMember(vm.global, "String"), a);
  }();
  vm.setMember(s.asObject(), "length", Value("other"));
  EXPECT_FALSE(vm.deleteMember(s.asObject(), "length"));
  EXPECT_EQ(vm.toString(vm.getMember(s, "length")), "other");
}

TEST(StringDetails, ScriptMethodsOnTextGetAFreshWrapper) {
  FakeHost h(7);
  // String.prototype.keep = function(box) { box.v = this; }; "abc".keep(b1); "abc".keep(b2);
  test::Asm keep;
  keep.push({"box"}).op(0x1C).push({"v", "this"}).op(0x1C).op(0x4F);
  std::string out = h.run(test::Asm()
                              .getVar("String")
                              .push({"prototype"})
                              .op(0x4E)
                              .push({"keep"})
                              .function("", {"box"}, keep)
                              .op(0x4F)
                              .push({"b1", 0, "Object"})
                              .op(0x40)
                              .op(0x1D)
                              .push({"b2", 0, "Object"})
                              .op(0x40)
                              .op(0x1D)
                              .push({"b1"})
                              .op(0x1C)
                              .push({1, "abc"})
                              .push({"keep"})
                              .op(0x52)
                              .op(0x17)
                              .push({"b2"})
                              .op(0x1C)
                              .push({1, "abc"})
                              .push({"keep"})
                              .op(0x52)
                              .op(0x17)
                              .getVar("b1")
                              .push({"v"})
                              .op(0x4E)
                              .op(0x44)
                              .trace()
                              .getVar("b1")
                              .push({"v"})
                              .op(0x4E)
                              .getVar("b2")
                              .push({"v"})
                              .op(0x4E)
                              .op(0x66)
                              .trace()
                              .getVar("b1")
                              .push({"v"})
                              .op(0x4E)
                              .trace());
  EXPECT_EQ(out, "object\nfalse\nabc\n");
}

TEST(StringDetails, TextIsWrappedByTheCurrentStringConstructor) {
  FakeHost h(7);
  // _global.String = function() { this.id = "mine"; }; trace("x".id);
  test::Asm ctor;
  ctor.push({"this"}).op(0x1C).push({"id", "mine"}).op(0x4F);
  std::string out = h.run(test::Asm()
                              .push({"x"})
                              .push({"id"})
                              .op(0x4E)
                              .trace()
                              .getVar("_global")
                              .push({"String"})
                              .function("", {}, ctor)
                              .op(0x4F)
                              .push({"x"})
                              .push({"id"})
                              .op(0x4E)
                              .trace());
  EXPECT_EQ(out, "undefined\nmine\n");
}

}  // namespace
}  // namespace orv::movie::avm1

namespace orv::movie::avm1 {
namespace {

Value construct(Vm& vm, const Value& ctor, std::vector<Value> args = {}) {
  return vm.construct(ctor, args);
}

TEST(InstanceDetails, WhatNewMakesFromOddConstructors) {
  for (int version : {6, 7}) {
    test::FakeHost h(version);
    Vm& vm = h.vm;
    // A built-in method has no prototype: its instance has no __proto__, and with no
    // valueOf or toString it equals undefined.
    Value cos = vm.getMember(vm.getMember(vm.global, "Math"), "cos");
    Value o = construct(vm, cos, {Value(9)});
    ASSERT_TRUE(o.isObject());
    EXPECT_TRUE(vm.getMember(o, "__proto__").isUndefined());
    EXPECT_TRUE(vm.looseEquals(o, Value()));
    EXPECT_FALSE(vm.looseEquals(Value(vm.newObject()), Value()));
    EXPECT_EQ(vm.typeOf(vm.getMember(o, "constructor")), version == 6 ? "function" : "undefined");
    // A prototype that is no object is linked as it is.
    Value string = vm.getMember(vm.global, "String");
    vm.setMember(string.asObject(), "prototype", Value(8));
    EXPECT_EQ(vm.toNumber(vm.getMember(construct(vm, string, {Value("x")}), "__proto__")), 8);
    EXPECT_EQ(vm.toNumber(vm.getMember(
                  construct(vm, vm.getMember(vm.global, "Object"), {Value("x")}), "__proto__")),
              8);
    // Object.prototype stays.
    Value object = vm.getMember(vm.global, "Object");
    vm.setMember(object.asObject(), "prototype", Value(6));
    EXPECT_FALSE(vm.deleteMember(object.asObject(), "prototype"));
    EXPECT_EQ(vm.typeOf(vm.getMember(object, "prototype")), "object");
  }
}

}  // namespace
}  // namespace orv::movie::avm1

namespace orv::movie::avm1 {
namespace {

// delete as the reference player runs it: paths, locals, Delete with no object.
TEST(DeleteDetails, PathsLocalsAndVersions) {
  for (int version : {6, 7}) {
    test::FakeHost h(version);
    auto setup = [] {
      test::Asm a;
      a.push({"o", 0, "Object"}).op(0x40).op(0x1D);
      a.getVar("o").push({"b", 5}).op(0x4F);
      return a;
    };
    // delete "o.b" (Delete2 with a path) removes b of o.
    EXPECT_EQ(
        h.run(setup().push({"o.b"}).op(0x3B).trace().getVar("o").push({"b"}).op(0x4E).trace()),
        "true\nundefined\n");
    // Delete with nothing under the name: a variable up to SWF 6, nothing from SWF 7.
    EXPECT_EQ(h.run(setup().push({"o.b"}).op(0x3A).trace()), version >= 7 ? "false\n" : "true\n");
    // A path through text deletes nothing, and the player says why.
    std::string out = h.run(test::Asm().setVar("t", "text").push({"t.length"}).op(0x3B).trace());
    EXPECT_EQ(out,
              "Parameters of primitive types are no longer coerced into the required type - "
              "Object.\nfalse\n");
    // A function's local variable stays.
    test::Asm body;
    body.push({"e", "local"}).op(0x3C).push({"e"}).op(0x3B).trace().push({"e"}).op(0x1C).trace();
    EXPECT_EQ(h.run(test::Asm().function("f", {}, body).push({0, "f"}).op(0x3D).op(0x17)),
              "false\nlocal\n");
  }
}

}  // namespace
}  // namespace orv::movie::avm1

namespace orv::movie::avm1 {
namespace {

TEST(WithDetails, DepthLimitAndWhatAClipInScopeTakes) {
  test::FakeHost h(7);
  // 15 nested with blocks on objects, each adding a letter: the 14th and 15th are skipped.
  test::Asm inner;
  for (int i = 14; i >= 0; --i) {
    test::Asm level;
    level.push({"s"})
        .op(0x1C)
        .push({std::string(1, static_cast<char>('a' + i))})
        .op(0x47)
        .push({"s"})
        .op(0x4D)
        .op(0x1D);
    level.append(inner);
    test::Asm wrapped;
    wrapped.push({0, "Object"}).op(0x40);
    std::vector<uint8_t> size{static_cast<uint8_t>(level.size() & 0xFF),
                              static_cast<uint8_t>(level.size() >> 8)};
    wrapped.action(0x94, size).append(level);
    inner = wrapped;
  }
  EXPECT_EQ(h.run(test::Asm().setVar("s", "").append(inner).traceVar("s")), "abcdefghijklm\n");

  // with (mc) { child = 1; inherited = 2; } sets both on the timeline: a child clip's
  // name and an inherited member are not the clip's own.
  auto* mc = h.root.add("mc", 1);
  mc->add("child", 1);
  Vm& vm = h.vm;
  vm.setMember(vm.clipProto, "inherited", Value("proto"));
  test::Asm body;
  body.setVar("child", 1).setVar("inherited", 2).setVar("_alpha", 50);
  std::vector<uint8_t> size{static_cast<uint8_t>(body.size() & 0xFF),
                            static_cast<uint8_t>(body.size() >> 8)};
  h.run(test::Asm().getVar("mc").action(0x94, size).append(body));
  Object* root = vm.objectFor(&h.root);
  Object* mcObject = vm.objectFor(mc);
  EXPECT_EQ(vm.toNumber(root->findOwn("child", false)->value), 1);
  EXPECT_EQ(vm.toNumber(root->findOwn("inherited", false)->value), 2);
  EXPECT_EQ(vm.typeOf(vm.getMember(mcObject, "child")), "movieclip");
  EXPECT_EQ(vm.toString(vm.getMember(mcObject, "inherited")), "proto");
  EXPECT_EQ(mc->getProperty(ClipProperty::Alpha), 50);  // its own property
  // tellTarget on something that is no clip leaves the timeline where it was.
  EXPECT_EQ(h.run(test::Asm()
                      .push({"o", 0, "Object"})
                      .op(0x40)
                      .op(0x1D)
                      .action(0x8B, {'o', 0})
                      .push({"_target"})
                      .op(0x1C)
                      .trace()),
            "/\n");
}

}  // namespace
}  // namespace orv::movie::avm1
