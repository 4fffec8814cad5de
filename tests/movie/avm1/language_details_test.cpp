// Details of the language a movie can observe: what a throw leaves on the stack, targets
// that name no clip, paths, values beneath accessors, interfaces, arguments left out.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::Asm;
using test::FakeHost;

constexpr uint8_t kThrow = 0x2A, kInitObject = 0x43, kGetMember = 0x4E, kSetMember = 0x4F,
                  kCallMethod = 0x52, kCallFunction = 0x3D, kPop = 0x17, kSetTarget2 = 0x20,
                  kDefineLocal2 = 0x41, kInstanceOf = 0x54, kImplements = 0x2C, kNewObject = 0x40,
                  kEquals2 = 0x49, kDefineLocal = 0x3C;

// try { <body> } catch (e) { <handler> }
Asm tryCatch(const Asm& body, const Asm& handler) {
  std::vector<uint8_t> p{0x01};
  Asm::u16(p, static_cast<uint16_t>(body.size()));
  Asm::u16(p, static_cast<uint16_t>(handler.size()));
  Asm::u16(p, 0);
  Asm::str(p, "e");
  return Asm().action(0x8F, p).append(body).append(handler);
}

Asm setTarget(const std::string& path) {
  std::vector<uint8_t> p;
  Asm::str(p, path);
  return Asm().action(0x8B, p);
}

TEST(LanguageDetails, AThrowDropsWhatTheTryBlockPushedButNotWhatItPopped) {
  FakeHost h(8);
  // Beneath the try: "kept". The block pushes "dropped" and throws.
  Asm code = Asm()
                 .push({"kept"})
                 .append(tryCatch(Asm().push({"dropped", "err"}).op(kThrow), Asm()))
                 .trace();
  EXPECT_EQ(h.run(code), "kept\n");
  // A block that pops below where it started leaves the stack that short.
  Asm popped = Asm()
                   .push({"a", "b", "c"})
                   .append(tryCatch(Asm().op(kPop).push({"err"}).op(kThrow), Asm()))
                   .trace()
                   .trace();
  EXPECT_EQ(h.run(popped), "b\na\n");
  // Without a throw the block's values stay.
  EXPECT_EQ(h.run(Asm().append(tryCatch(Asm().push({"stays"}), Asm())).trace()), "stays\n");
}

TEST(LanguageDetails, AnUncaughtThrowIsLoggedWithItsValue) {
  FakeHost h(8);
  EXPECT_EQ(h.run(Asm().push({"Oh no!"}).op(kThrow)), "Warning: Uncaught exception, Oh no!\n");
  // An object thrown is logged by its own toString.
  Asm thrown = Asm()
                   .push({"toString"})
                   .function("", {}, Asm().push({"custom"}).op(0x3E))
                   .push({1})
                   .op(kInitObject)
                   .op(kThrow);
  EXPECT_EQ(h.run(thrown), "Warning: Uncaught exception, custom\n");
  // Caught, nothing is logged.
  EXPECT_EQ(h.run(tryCatch(Asm().push({"x"}).op(kThrow), Asm())), "");
}

TEST(LanguageDetails, InitObjectWithMorePairsThanTheStackHoldsBuildsNothing) {
  FakeHost h(8);
  Asm code =
      Asm().push({"a", "b", "c", 4294967297.0}).op(kInitObject).trace().trace().trace().trace();
  EXPECT_EQ(h.run(code), "undefined\nc\nb\na\n");
  Asm fits = Asm().push({"k", "v", 1}).op(kInitObject).push({"k"}).op(kGetMember).trace();
  EXPECT_EQ(h.run(fits), "v\n");
}

TEST(LanguageDetails, TheOldNumericActionsConvertTheirFirstOperandFirst) {
  FakeHost h(5);
  // a = {valueOf: function () { trace("A"); return 1 }}, b likewise with "B" and 2.
  auto valued = [](const std::string& name, int value) {
    return Asm()
        .push({name, "valueOf"})
        .function("", {}, Asm().push({name}).trace().push({value}).op(0x3E))
        .push({1})
        .op(kInitObject)
        .op(0x1D);
  };
  Asm setup = Asm().append(valued("A", 1)).append(valued("B", 2));
  // Add, Subtract, Multiply, Divide and Less ask a, then b; Equals asks b first.
  for (uint8_t code : {0x0A, 0x0B, 0x0C, 0x0D, 0x0F})
    EXPECT_EQ(h.run(Asm().append(setup).getVar("A").getVar("B").op(code).op(kPop)), "A\nB\n")
        << int(code);
  EXPECT_EQ(h.run(Asm().append(setup).getVar("A").getVar("B").op(0x0E).trace()), "B\nA\nfalse\n");
}

TEST(LanguageDetails, AFunctionFoundAmongACallersLocalsRunsWithThemAsThis) {
  FakeHost h(6);
  // function g() { trace(this.mark) }
  // function f() { var mark = "local"; var g2 = g; g2() }  f(); g()
  Asm g = Asm().getVar("this").push({"mark"}).op(kGetMember).trace();
  Asm f = Asm()
              .push({"mark", "local"})
              .op(kDefineLocal)
              .push({"g2"})
              .getVar("g")
              .op(kDefineLocal)
              .push({0, "g2"})
              .op(kCallFunction)
              .op(kPop);
  Asm code = Asm()
                 .function("g", {}, g)
                 .function("f", {}, f)
                 .setVar("mark", "timeline")
                 .push({0, "f"})
                 .op(kCallFunction)
                 .op(kPop)
                 .push({0, "g"})
                 .op(kCallFunction)
                 .op(kPop);
  EXPECT_EQ(h.run(code), "local\ntimeline\n");
}

TEST(LanguageDetails, APrototypeLoopAbortsTheScript) {
  FakeHost h(6);
  // a = {}; a.__proto__ = a; trace(a.foo); trace("after") -- nothing is traced.
  Asm code = Asm()
                 .push({"a", 0})
                 .op(kInitObject)
                 .op(0x1D)
                 .getVar("a")
                 .push({"__proto__"})
                 .getVar("a")
                 .op(kSetMember)
                 .getVar("a")
                 .push({"foo"})
                 .op(kGetMember)
                 .trace()
                 .push({"after"})
                 .trace();
  EXPECT_EQ(h.run(code), "");
  // A long chain that ends is read through.
  EXPECT_EQ(h.run(Asm().push({"b", "k", "v", 1}).op(kInitObject).op(0x1D).getVar("b").push({"k"})
                      .op(kGetMember).trace()),
            "v\n");
}

TEST(LanguageDetails, DeleteByPathSplitsAtTheLastSeparatorOfEitherKind) {
  FakeHost h(6);
  // o = {c: {f: 1, g: 2}}; delete "o:c.f"; delete "o.c:g"
  Asm setup = Asm()
                  .push({"o", "c", "f", 1, "g", 2, 2})
                  .op(kInitObject)
                  .push({1})
                  .op(kInitObject)
                  .op(0x1D);
  for (const char* path : {"o:c.f", "o.c:g"}) {
    std::string member(1, std::string(path).back());
    Asm code = Asm().append(setup).push({path}).op(0x3B).trace().getVar("o").push({"c"})
                   .op(kGetMember).push({member}).op(kGetMember).trace();
    EXPECT_EQ(h.run(code), "true\nundefined\n") << path;
  }
}

TEST(LanguageDetails, GreaterThanWithNaNIsUndefinedLikeLessThan) {
  FakeHost h(7);
  EXPECT_EQ(h.run(Asm().push({1, "x"}).op(0x67).trace().push({"x", 1}).op(0x48).trace()),
            "undefined\nundefined\n");
  EXPECT_EQ(h.run(Asm().push({2, 1}).op(0x67).trace()), "true\n");
}

TEST(LanguageDetails, VersionFiveFunctionsRunOnTheCallersTimeline) {
  for (int version : {5, 6}) {
    FakeHost h(version);
    test::FakeClip* kid = h.root.add("kid", 1);
    // Defined on the root: function where() { trace(_target) }; kid calls where().
    h.run(Asm().function("where", {}, Asm().push({"", 11}).op(0x22).trace()));
    h.out.clear();
    h.vm.runActions(kid, Asm().push({0, "_root.where"}).op(kCallFunction).op(kPop).bytes());
    EXPECT_EQ(h.out, version == 5 ? "/kid\n" : "/\n") << version;
  }
}

TEST(LanguageDetails, TheArrayConstructorCalledOnAPlainObjectMakesItAnArray) {
  FakeHost h(8);
  // o = {}; o.__proto__ = Array.prototype; Array.call(o, "a", "b"); o[5] = "x"; trace(o.length)
  Asm code = Asm()
                 .push({"o", 0})
                 .op(kInitObject)
                 .op(0x1D)
                 .getVar("o")
                 .push({"__proto__"})
                 .getVar("Array")
                 .push({"prototype"})
                 .op(kGetMember)
                 .op(kSetMember)
                 .push({"b", "a"})
                 .getVar("o")
                 .push({3})
                 .getVar("Array")
                 .push({"call"})
                 .op(kCallMethod)
                 .op(kPop)
                 .getVar("o")
                 .push({"length"})
                 .op(kGetMember)
                 .trace()
                 .getVar("o")
                 .push({5, "x"})
                 .op(kSetMember)
                 .getVar("o")
                 .push({"length"})
                 .op(kGetMember)
                 .trace()
                 .getVar("o")
                 .push({"1"})
                 .op(kGetMember)
                 .trace();
  EXPECT_EQ(h.run(code), "2\n6\nb\n");
}

TEST(LanguageDetails, ATargetThatNamesNoClipIsTheRoot) {
  for (int version : {5, 6, 8}) {
    FakeHost h(version);
    test::FakeClip* kid = h.root.add("kid", 1);
    h.run(Asm().setVar("n", "root").setVar("kid:n", "kid"));
    auto runOnKid = [&](const Asm& code) {
      h.out.clear();
      h.vm.runActions(kid, code.bytes());
      return h.out;
    };
    EXPECT_EQ(runOnKid(Asm().traceVar("n").append(setTarget("INVALID")).traceVar("n")),
              "kid\nroot\n")
        << version;
    // The block's own target is none: an empty path names no clip's properties.
    EXPECT_EQ(runOnKid(Asm().append(setTarget("INVALID")).push({"", 11}).op(0x22).trace()),
              "undefined\n")
        << version;
    // The timeline commands go to the root as well.
    h.root.frame_ = 0;
    runOnKid(Asm().append(setTarget("nowhere")).op(0x04));  // NextFrame
    EXPECT_EQ(h.root.frame_, 1) << version;
    // tellTarget(object): its own toString gives the path.
    Asm byObject = Asm()
                       .push({"toString"})
                       .function("", {}, Asm().push({"/kid"}).op(0x3E))
                       .push({1})
                       .op(kInitObject)
                       .op(kSetTarget2)
                       .traceVar("n");
    EXPECT_EQ(h.run(byObject), "kid\n") << version;
  }
}

TEST(LanguageDetails, SlashPathsWithAnEmptyStepNameNothing) {
  FakeHost h(8);
  h.root.add("a", 1);
  h.run(Asm().setVar("/a:v", "here"));
  EXPECT_EQ(h.run(Asm().traceVar("/a:v").traceVar("/a/:v").traceVar("/a//:v")),
            "here\nhere\nundefined\n");
}

TEST(LanguageDetails, IsNaNAndIsFiniteWithNoArgumentTestNaN) {
  for (int version : {5, 8}) {
    FakeHost h(version);
    auto call = [&](const char* fn, int args) {
      Asm a;
      if (args) a.push({test::Undef{}});
      return h.run(a.push({args, fn}).op(kCallFunction).trace());
    };
    EXPECT_EQ(call("isNaN", 0), "true\n");
    EXPECT_EQ(call("isFinite", 0), "false\n");
    // undefined itself converts to 0 before SWF 7.
    EXPECT_EQ(call("isNaN", 1), version < 7 ? "false\n" : "true\n");
  }
}

TEST(LanguageDetails, AccessorsAddedOverAValueKeepItBeneath) {
  FakeHost h(7);
  // o = {x: 3}; o.addProperty("x", getter, setter); c = {__proto__: o};
  // c.watch("x", function (p, old, v) { trace("old " + old); return v; }); c.x = 4;
  Asm getter = Asm().push({"get"}).trace();
  Asm setter = Asm().push({"set"}).trace();
  Asm watcher = Asm().push({"old "}).getVar("old").op(0x47).trace().getVar("v").op(0x3E);
  Asm code = Asm()
                 .push({"o", "x", 3, 1})
                 .op(kInitObject)
                 .op(kDefineLocal)
                 .function("", {"v"}, setter)
                 .function("", {}, getter)
                 .push({"x", 3, "o"})
                 .op(0x1C)
                 .push({"addProperty"})
                 .op(kCallMethod)
                 .op(kPop)
                 .push({"c", "__proto__"})
                 .getVar("o")
                 .push({1})
                 .op(kInitObject)
                 .op(kDefineLocal)
                 .function("", {"p", "old", "v"}, watcher)
                 .push({"x", 2, "c"})
                 .op(0x1C)
                 .push({"watch"})
                 .op(kCallMethod)
                 .op(kPop)
                 .getVar("c")
                 .push({"x", 4})
                 .op(kSetMember);
  EXPECT_EQ(h.run(code), "old 3\nset\n");
}

// A getter that reads its own property runs nested 65 times; the next read is undefined
// and the script goes on. Each property counts for itself.
TEST(LanguageDetails, AnAccessorRunsNestedInItselfAtMost65Times) {
  FakeHost h(7);
  // n = 0; getter = function () { n = n + 1; return this.p; };
  // a = {}; b = {}; a.addProperty("p", getter, null); b.addProperty("p", getter, null);
  // trace(a.p); trace(n); b.p; trace(n)
  Asm getter = Asm()
                   .push({"n"})
                   .getVar("n")
                   .push({1})
                   .op(0x47)
                   .op(0x1D)
                   .getVar("this")
                   .push({"p"})
                   .op(kGetMember)
                   .op(0x3E);
  Asm code = Asm().setVar("n", 0).push({"getter"}).function("", {}, getter).op(0x1D);
  for (const char* o : {"a", "b"})
    code.push({o, 0})
        .op(kInitObject)
        .op(kDefineLocal)
        .push({test::Null{}})
        .getVar("getter")
        .push({"p", 3, o})
        .op(0x1C)
        .push({"addProperty"})
        .op(kCallMethod)
        .op(kPop);
  code.getVar("a").push({"p"}).op(kGetMember).trace().traceVar("n");
  code.getVar("b").push({"p"}).op(kGetMember).op(kPop).traceVar("n");
  EXPECT_EQ(h.run(code), "undefined\n65\n130\n");
}

TEST(LanguageDetails, ArrayMethodsReadTheElementsHeldNotGetters) {
  FakeHost h(7);
  // a = [1, 2, 3]; a.addProperty(2, function () { return 10; }, null);
  Asm ten = Asm().push({10}).op(0x3E);
  Asm setup = Asm()
                  .push({"a", 3, 2, 1, 3})
                  .op(0x42)  // InitArray
                  .op(kDefineLocal)
                  .push({test::Null{}})
                  .function("", {}, ten)
                  .push({2, 3, "a"})
                  .op(0x1C)
                  .push({"addProperty"})
                  .op(kCallMethod)
                  .op(kPop);
  Asm code = Asm(setup)
                 .getVar("a")
                 .push({2})
                 .op(kGetMember)
                 .trace()
                 .push({0, "a"})
                 .op(0x1C)
                 .push({"pop"})
                 .op(kCallMethod)
                 .trace()
                 .getVar("a")
                 .push({"length"})
                 .op(kGetMember)
                 .trace();
  EXPECT_EQ(h.run(code), "10\n3\n2\n");
  // An object that only borrows Array's methods has no elements of its own to show.
  Asm borrowed = Asm()
                     .push({"b", "length", 2, "__proto__"})
                     .getVar("a")
                     .push({2})
                     .op(kInitObject)
                     .op(kDefineLocal)
                     .getVar("b")
                     .trace();
  EXPECT_EQ(h.run(borrowed), "undefined,undefined\n");
  // A getter added for an array's length answers for it.
  Asm length = Asm()
                   .push({test::Null{}})
                   .function("", {}, ten)
                   .push({"length", 3, "a"})
                   .op(0x1C)
                   .push({"addProperty"})
                   .op(kCallMethod)
                   .op(kPop)
                   .getVar("a")
                   .push({"length"})
                   .op(kGetMember)
                   .trace();
  EXPECT_EQ(h.run(length), "10\n");
}

TEST(LanguageDetails, InstanceofFollowsTheInterfacesAnInterfaceExtends) {
  FakeHost h(7);
  // Red; Pink extends Red (Pink implements Red); Cls implements Pink; o = new Cls().
  auto declare = [](const char* name) { return Asm().function(name, {}, Asm()); };
  auto implement = [](const char* cls, const char* iface) {
    return Asm().getVar(iface).push({1}).getVar(cls).op(kImplements);
  };
  Asm code = Asm()
                 .append(declare("Red"))
                 .append(declare("Pink"))
                 .append(declare("Blue"))
                 .append(declare("Cls"))
                 .append(implement("Pink", "Red"))
                 .append(implement("Cls", "Pink"))
                 .push({"o", 0, "Cls"})
                 .op(kNewObject)
                 .op(kDefineLocal);
  for (const char* t : {"Cls", "Pink", "Red", "Blue"})
    code.getVar("o").getVar(t).op(kInstanceOf).trace();
  EXPECT_EQ(h.run(code), "true\ntrue\ntrue\nfalse\n");
  // Interfaces that name each other end the search.
  Asm cycle =
      Asm().append(implement("Red", "Pink")).getVar("o").getVar("Blue").op(kInstanceOf).trace();
  EXPECT_EQ(h.run(cycle), "false\n");
}

TEST(LanguageDetails, VarWithAPathOutsideAFunctionMakesTheMemberThere) {
  FakeHost h(7);
  h.root.add("clip", 1);
  Asm code = Asm()
                 .push({"/clip:made"})
                 .op(kDefineLocal2)
                 .push({"made", 1, "clip"})
                 .op(0x1C)
                 .push({"hasOwnProperty"})
                 .op(kCallMethod)
                 .trace();
  EXPECT_EQ(h.run(code), "true\n");
}

TEST(LanguageDetails, SystemImeIsABroadcasterWithNoEditor) {
  FakeHost h(8);
  Asm code = Asm()
                 .getVar("System")
                 .push({"IME"})
                 .op(kGetMember)
                 .push({"addListener"})
                 .op(kGetMember)
                 .getVar("AsBroadcaster")
                 .push({"addListener"})
                 .op(kGetMember)
                 .op(kEquals2)
                 .trace()
                 .push({0})
                 .getVar("System")
                 .push({"IME"})
                 .op(kGetMember)
                 .push({"getEnabled"})
                 .op(kCallMethod)
                 .trace();
  EXPECT_EQ(h.run(code), "true\nfalse\n");
}

}  // namespace
}  // namespace orv::movie::avm1
