// The language core as movies observe it: conversions through valueOf/toString,
// equality of objects, for..in markers, Error and Math.pow as the player computes them.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::Asm;
using test::FakeHost;
using test::Null;

constexpr uint8_t kAdd2 = 0x47, kCallFunction = 0x3D, kCallMethod = 0x52, kGetMember = 0x4E,
                  kSetMember = 0x4F, kNewObject = 0x40, kEquals2 = 0x49, kStrictEquals = 0x66,
                  kTypeOf = 0x44, kEnumerate2 = 0x55, kPop = 0x17, kReturn = 0x3E;

// Math.<name>(a, b) traced.
Asm tracePow(double a, double b) {
  return Asm().push({b, a, 2, "Math"}).op(0x1C).push({"pow"}).op(kCallMethod).trace();
}

TEST(Language, PowerOfAFractionIsRoundedAsThePlayerDoes) {
  FakeHost h(6);
  // One unit below Math.SQRT2 and Math.SQRT1_2: their texts differ in the last digit.
  EXPECT_EQ(h.run(tracePow(2, 0.5)), "1.41421356237309\n");
  EXPECT_EQ(h.run(tracePow(2, -0.5)), "0.707106781186547\n");
  EXPECT_EQ(h.run(Asm().push({"Math"}).op(0x1C).push({"SQRT2"}).op(kGetMember).trace()),
            "1.4142135623731\n");
  // Whole powers stay exact; negative bases only have whole powers.
  EXPECT_EQ(h.run(tracePow(10, 1)), "10\n");
  EXPECT_EQ(h.run(tracePow(2, 10)), "1024\n");
  EXPECT_EQ(h.run(tracePow(-2, 3)), "-8\n");
  EXPECT_EQ(h.run(tracePow(-2, -2)), "0.25\n");
  EXPECT_EQ(h.run(tracePow(10, -2)), "0.01\n");
  EXPECT_EQ(h.run(tracePow(-2, 0.5)), "NaN\n");
  EXPECT_EQ(h.run(tracePow(9, 0.5)), "3\n");
}

TEST(Language, UnsignedShiftIsReadBackAsASignedIntegerBeforeSwf10) {
  FakeHost h(8);
  auto shift = [&](double v, double by) { return h.run(Asm().push({v, by}).op(0x65).trace()); };
  // A count that is a multiple of 32 leaves the bits alone, and they read as signed.
  EXPECT_EQ(shift(-1, 0), "-1\n");
  EXPECT_EQ(shift(-1, 32), "-1\n");
  EXPECT_EQ(shift(-2, 4294967296.0), "-2\n");
  EXPECT_EQ(h.run(Asm().push({-1}).getVar("Infinity").op(0x65).trace()), "-1\n");
  // Any other count clears the sign bit.
  EXPECT_EQ(shift(-1, 1), "2147483647\n");
  EXPECT_EQ(shift(-1, 28), "15\n");
  EXPECT_EQ(shift(4294967295.0, 33), "2147483647\n");
  // From SWF 10 the result is unsigned.
  FakeHost later(10);
  EXPECT_EQ(later.run(Asm().push({-1, 0}).op(0x65).trace()), "4294967295\n");
  EXPECT_EQ(later.run(Asm().push({-3, 1}).op(0x65).trace()), "2147483646\n");
}

TEST(Language, ClipPropertiesKeepTheirValueWhenGivenNoNumber) {
  for (int version : {4, 6, 8}) {
    FakeHost h(version);
    auto setThenGet = [&](test::PushItem v) {
      return h.run(Asm()
                       .push({"", 0, 100})
                       .op(0x23)
                       .push({"", 0, v})
                       .op(0x23)
                       .push({"", 0})
                       .op(0x22)
                       .trace());
    };
    EXPECT_EQ(setThenGet(test::Undef{}), "100\n") << version;
    EXPECT_EQ(setThenGet(Null{}), "100\n") << version;
    EXPECT_EQ(setThenGet("not a number"), "100\n") << version;
    EXPECT_EQ(setThenGet("0"), "0\n") << version;
    EXPECT_EQ(setThenGet(-5.5), "-5.5\n") << version;
  }
}

TEST(Language, SuperStartsFromTheObjectCalledOnAndSuperCallRunsTheParentConstructor) {
  for (int version : {6, 7}) {
    FakeHost h(version);
    constexpr uint8_t kExtends = 0x69, kSetVariable = 0x1D;
    auto proto = [](const char* cls) {
      return Asm().getVar(cls).push({"prototype"}).op(kGetMember);
    };
    // function B() { Bcalls = Bcalls + 1 }   function C() { super(); }
    Asm ctorB = Asm().push({"Bcalls"}).getVar("Bcalls").push({1}).op(kAdd2).op(kSetVariable);
    Asm ctorC = Asm().push({0, "super"}).op(kCallFunction).op(kPop);
    // A.prototype.who = function() { return "A" }
    // B.prototype.who = function() { return super.who() + ".B" }
    Asm whoA = Asm().push({"A"}).op(kReturn);
    Asm whoB = Asm()
                   .push({0, "super"})
                   .op(0x1C)
                   .push({"who"})
                   .op(kCallMethod)
                   .push({".B"})
                   .op(kAdd2)
                   .op(kReturn);
    Asm code = Asm()
                   .function("A", {}, Asm())
                   .function("B", {}, ctorB)
                   .function("C", {}, ctorC)
                   .getVar("B")
                   .getVar("A")
                   .op(kExtends)
                   .getVar("C")
                   .getVar("B")
                   .op(kExtends)
                   .append(proto("A"))
                   .push({"who"})
                   .function("", {}, whoA)
                   .op(kSetMember)
                   .append(proto("B"))
                   .push({"who"})
                   .function("", {}, whoB)
                   .op(kSetMember)
                   .push({"Bcalls", 0})
                   .op(kSetVariable)
                   .push({"c", 0, "C"})
                   .op(kNewObject)
                   .op(kSetVariable)
                   .traceVar("Bcalls");
    EXPECT_EQ(h.run(code), "1\n");
    // c.who() is found on B.prototype. In version 6 its super is C.prototype's parent,
    // B.prototype, so B's method runs once more before A's; from version 7 super is the
    // parent of where the method was found.
    EXPECT_EQ(h.run(Asm().push({0, "c"}).op(0x1C).push({"who"}).op(kCallMethod).trace()),
              version == 6 ? "A.B.B\n" : "A.B\n")
        << version;
    // On a B the chain is one step shorter.
    EXPECT_EQ(h.run(Asm().push({0, 0, "B"}).op(kNewObject).push({"who"}).op(kCallMethod).trace()),
              "A.B\n");
  }
}

TEST(Language, VersionFiveFunctionsCountAsUndefinedUnlessGivenAValue) {
  auto check = [](int version) {
    FakeHost h(version);
    h.run(Asm().function("f", {}, Asm()).function("g", {}, Asm()));
    std::string out = h.run(Asm()
                                .getVar("f")
                                .op(0x4A)
                                .trace()  // Number(f)
                                .getVar("f")
                                .push({test::Undef{}})
                                .op(kEquals2)
                                .trace()  // f == undefined
                                .getVar("f")
                                .getVar("g")
                                .op(kEquals2)
                                .trace()  // f == g
                                .push({"x"})
                                .getVar("f")
                                .op(kAdd2)
                                .trace()  // "x" + f
                                .getVar("f")
                                .trace());  // trace(f)
    // f.valueOf = function() { return 5 }
    h.run(Asm()
              .getVar("f")
              .push({"valueOf"})
              .function("", {}, Asm().push({5}).op(kReturn))
              .op(kSetMember));
    out += h.run(
        Asm().getVar("f").op(0x4A).trace().getVar("f").push({test::Undef{}}).op(kEquals2).trace());
    return out;
  };
  EXPECT_EQ(check(5), "0\ntrue\ntrue\nx\n[type Function]\n5\nfalse\n");
  // Version 5 compares two objects by value: new String("12") == new Number(12).
  for (int version : {5, 6}) {
    FakeHost h(version);
    EXPECT_EQ(h.run(Asm()
                        .push({"12", 1, "String"})
                        .op(kNewObject)
                        .push({12, 1, "Number"})
                        .op(kNewObject)
                        .op(kEquals2)
                        .trace()
                        .push({0, "Object"})
                        .op(kNewObject)
                        .push({0, "Object"})
                        .op(kNewObject)
                        .op(kEquals2)
                        .trace()),
              version == 5 ? "true\nfalse\n" : "false\nfalse\n");
  }
  // There is no global Function in version 5; its constructor is still a function's.
  FakeHost v5(5), v6(6);
  Asm typeOfFunction = Asm().getVar("Function").op(kTypeOf).trace();
  EXPECT_EQ(v5.run(typeOfFunction), "undefined\n");
  EXPECT_EQ(v6.run(typeOfFunction), "function\n");
  v5.run(Asm().function("f", {}, Asm()));
  EXPECT_EQ(v5.run(Asm().getVar("f").push({"constructor"}).op(kGetMember).op(kTypeOf).trace()),
            "function\n");
  EXPECT_EQ(check(6), "NaN\nfalse\nfalse\nx[type Function]\n[type Function]\n5\nfalse\n");
}

TEST(Language, TwoObjectsWithoutAValueCompareByTheirText) {
  FakeHost h(8);
  constexpr uint8_t kLess2 = 0x48;
  h.run(Asm()
            .push({"a", 0})
            .op(0x43)
            .op(0x1D)
            .push({"b", 0})
            .op(0x43)
            .op(0x1D)
            // b.toString = function() { return "[z]" }
            .getVar("b")
            .push({"toString"})
            .function("", {}, Asm().push({"[z]"}).op(kReturn))
            .op(kSetMember));
  // "[object Object]" < "[z]", and no object is less than itself: booleans, not undefined.
  EXPECT_EQ(h.run(Asm()
                      .getVar("a")
                      .getVar("b")
                      .op(kLess2)
                      .trace()
                      .getVar("b")
                      .getVar("a")
                      .op(kLess2)
                      .trace()
                      .getVar("a")
                      .getVar("a")
                      .op(kLess2)
                      .op(kTypeOf)
                      .trace()),
            "true\nfalse\nboolean\n");
  // Against a number or text such an object has no value: undefined.
  EXPECT_EQ(h.run(Asm()
                      .getVar("a")
                      .push({5})
                      .op(kLess2)
                      .op(kTypeOf)
                      .trace()
                      .push({"[z]"})
                      .getVar("a")
                      .op(kLess2)
                      .op(kTypeOf)
                      .trace()),
            "undefined\nundefined\n");
}

TEST(Language, SuperCallsOfAMethodFoundFurtherUpTheChain) {
  constexpr uint8_t kExtends = 0x69, kSetVariable = 0x1D;
  auto proto = [](const char* cls) { return Asm().getVar(cls).push({"prototype"}).op(kGetMember); };
  auto superM = [] { return Asm().push({0, "super"}).op(0x1C).push({"m"}).op(kCallMethod); };
  // F.prototype.m = function() { super(); return super.m() + "F" }
  Asm mF = Asm()
               .push({0, "super"})
               .op(kCallFunction)
               .op(kPop)
               .append(superM())
               .push({"F"})
               .op(kAdd2)
               .op(kReturn);
  // C.prototype.m = function() { return super.m() + "C" }   (A, B and C extend F, A and B)
  Asm mC = superM().push({"C"}).op(kAdd2).op(kReturn);
  Asm setup =
      Asm()
          .function("F", {}, Asm().push({"Fc"}).getVar("Fc").push({1}).op(kAdd2).op(kSetVariable))
          .function("A", {}, Asm())
          .function("B", {}, Asm())
          .function("C", {}, Asm())
          .getVar("A")
          .getVar("F")
          .op(kExtends)
          .getVar("B")
          .getVar("A")
          .op(kExtends)
          .getVar("C")
          .getVar("B")
          .op(kExtends)
          .append(proto("F"))
          .push({"m"})
          .function("", {}, mF)
          .op(kSetMember)
          .append(proto("C"))
          .push({"m"})
          .function("", {}, mC)
          .op(kSetMember)
          .push({"c", 0, "C"})
          .op(kNewObject)
          .op(kSetVariable)
          .push({"Fc", 0})
          .op(kSetVariable);
  Asm call = Asm().push({0, "c"}).op(0x1C).push({"m"}).op(kCallMethod).trace().traceVar("Fc");
  // Version 6 climbs one level per super call, so F's method runs three times; from
  // version 7 the first super call lands one level below F.prototype and F's runs twice.
  FakeHost v6(6), v7(7);
  v6.run(setup);
  v7.run(setup);
  EXPECT_EQ(v6.run(call), "FFFC\n1\n");
  EXPECT_EQ(v7.run(call), "undefinedFFC\n1\n");
}

TEST(Language, ErrorIsMadeOnlyByNewAndReturnsItsMessageAsItIs) {
  FakeHost h(6);
  // typeof Error("x") is undefined.
  EXPECT_EQ(h.run(Asm().push({"x", 1, "Error"}).op(kCallFunction).op(kTypeOf).trace()),
            "undefined\n");
  // e = new Error(obj); typeof e.toString() is object.
  Asm make =
      Asm().push({"e", 0, "Object"}).op(kNewObject).push({1, "Error"}).op(kNewObject).op(0x1D);
  EXPECT_EQ(
      h.run(
          Asm(make).push({0, "e"}).op(0x1C).push({"toString"}).op(kCallMethod).op(kTypeOf).trace()),
      "object\n");
  EXPECT_EQ(
      h.run(Asm().push({"msg", 1, "Error"}).op(kNewObject).push({"name"}).op(kGetMember).trace()),
      "Error\n");
}

TEST(Language, ForInEndMarkerIsUndefined) {
  FakeHost h(6);
  // Enumerate {v: 1}: drop the name, the value below it is the marker.
  std::string out =
      h.run(Asm().push({"v", 1, 1}).op(0x43).op(kEnumerate2).op(kPop).op(kTypeOf).trace());
  EXPECT_EQ(out, "undefined\n");
}

TEST(Language, AdditionAsksValueOfAndTreatsObjectsItGetsBackAsNaN) {
  FakeHost h(6);
  // o.valueOf = function() { return 5; }: o + 1 == 6.
  Asm fiveO = Asm()
                  .push({"o", 0, "Object"})
                  .op(kNewObject)
                  .op(0x1D)
                  .push({"o"})
                  .op(0x1C)
                  .push({"valueOf"})
                  .function("", {}, Asm().push({5}).op(kReturn))
                  .op(kSetMember);
  EXPECT_EQ(h.run(Asm(fiveO).push({"o"}).op(0x1C).push({1}).op(kAdd2).trace()), "6\n");
  // Two arrays: valueOf gives the array itself, so the sum is NaN, not "1,23,4".
  Asm arrays = Asm().push({2, 1, 2}).op(0x42).push({4, 3, 2}).op(0x42).op(kAdd2);
  EXPECT_EQ(h.run(Asm(arrays).op(kTypeOf).trace()), "number\n");
  EXPECT_EQ(h.run(Asm(arrays).trace()), "NaN\n");
  // Against a string the other operand is converted with toString.
  EXPECT_EQ(h.run(Asm().push({"x"}).push({2, 1, 2}).op(0x42).op(kAdd2).trace()), "x1,2\n");
  // toString giving an object makes "[type Object]".
  Asm objToString = Asm()
                        .push({"p", 0, "Object"})
                        .op(kNewObject)
                        .op(0x1D)
                        .push({"p"})
                        .op(0x1C)
                        .push({"toString"})
                        .function("", {}, Asm().push({"this"}).op(0x1C).op(kReturn))
                        .op(kSetMember);
  EXPECT_EQ(h.run(Asm(objToString).push({""}).push({"p"}).op(0x1C).op(kAdd2).trace()),
            "[type Object]\n");
}

TEST(Language, ObjectsAreEqualWhenOnesValueOfGivesTheOther) {
  FakeHost h(6);
  Asm setup = Asm()
                  .push({"o", 0, "Object"})
                  .op(kNewObject)
                  .op(0x1D)
                  .push({"q", 0, "Object"})
                  .op(kNewObject)
                  .op(0x1D)
                  .push({"o"})
                  .op(0x1C)
                  .push({"valueOf"})
                  .function("", {}, Asm().push({"q"}).op(0x1C).op(kReturn))
                  .op(kSetMember);
  EXPECT_EQ(h.run(Asm(setup).push({"o"}).op(0x1C).push({"q"}).op(0x1C).op(kEquals2).trace()),
            "true\n");
  EXPECT_EQ(h.run(Asm(setup).push({"q"}).op(0x1C).push({"o"}).op(0x1C).op(kEquals2).trace()),
            "true\n");
  EXPECT_EQ(h.run(Asm(setup).push({"o"}).op(0x1C).push({"q"}).op(0x1C).op(kStrictEquals).trace()),
            "false\n");
  // Two objects whose valueOf give the same number are still two objects.
  Asm fours = Asm()
                  .push({"m", 0, "Object"})
                  .op(kNewObject)
                  .op(0x1D)
                  .push({"m"})
                  .op(0x1C)
                  .push({"valueOf"})
                  .function("", {}, Asm().push({4}).op(kReturn))
                  .op(kSetMember)
                  .push({"n", 0, "Object"})
                  .op(kNewObject)
                  .op(0x1D)
                  .push({"n"})
                  .op(0x1C)
                  .push({"valueOf"})
                  .function("", {}, Asm().push({4}).op(kReturn))
                  .op(kSetMember);
  EXPECT_EQ(h.run(Asm(fours).push({"m"}).op(0x1C).push({"n"}).op(0x1C).op(kEquals2).trace()),
            "false\n");
  EXPECT_EQ(h.run(Asm(fours).push({"m"}).op(0x1C).push({4}).op(kEquals2).trace()), "true\n");
  // Two distinct plain objects are not equal.
  EXPECT_EQ(h.run(Asm()
                      .push({0, "Object"})
                      .op(kNewObject)
                      .push({0, "Object"})
                      .op(kNewObject)
                      .op(kEquals2)
                      .trace()),
            "false\n");
}

TEST(Language, DateGettersOnAnObjectThatIsNoDateGiveUndefined) {
  FakeHost h(7);
  // o = new Object(); o.__proto__ = Date.prototype; typeof o.getYear() is undefined.
  Asm fake = Asm()
                 .push({"o", 0, "Object"})
                 .op(kNewObject)
                 .op(0x1D)
                 .push({"o"})
                 .op(0x1C)
                 .push({"__proto__", "Date"})
                 .op(0x1C)
                 .push({"prototype"})
                 .op(kGetMember)
                 .op(kSetMember);
  EXPECT_EQ(
      h.run(
          Asm(fake).push({0, "o"}).op(0x1C).push({"getYear"}).op(kCallMethod).op(kTypeOf).trace()),
      "undefined\n");
  EXPECT_EQ(
      h.run(
          Asm(fake).push({0, "o"}).op(0x1C).push({"getMonth"}).op(kCallMethod).op(kTypeOf).trace()),
      "undefined\n");
  // A real date still answers.
  EXPECT_EQ(h.run(Asm()
                      .push({"d", 15, 6, 2000, 3, "Date"})
                      .op(kNewObject)
                      .op(0x1D)
                      .push({0, "d"})
                      .op(0x1C)
                      .push({"getFullYear"})
                      .op(kCallMethod)
                      .trace()),
            "2000\n");
}

Asm with(const Asm& block) {
  auto n = static_cast<uint16_t>(block.size());
  return Asm()
      .action(0x94, {static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)})
      .append(block);
}

TEST(Language, WithGivesFunctionsFoundOnItsObjectThatObjectAsThisAndSkipsNull) {
  FakeHost h(6);
  Asm setup =
      Asm()
          .push({"obj", 0, "Object"})
          .op(kNewObject)
          .op(0x1D)
          .push({"obj"})
          .op(0x1C)
          .push({"name", "o"})
          .op(kSetMember)
          .push({"obj"})
          .op(0x1C)
          .push({"f"})
          .function("", {}, Asm().push({"this"}).op(0x1C).push({"name"}).op(kGetMember).op(kReturn))
          .op(kSetMember);
  Asm callF = Asm().push({0, "f"}).op(kCallFunction).trace();
  EXPECT_EQ(h.run(Asm(setup).push({"obj"}).op(0x1C).append(with(callF))), "o\n");
  EXPECT_EQ(h.run(Asm()
                      .push({Null{}})
                      .append(with(Asm().push({"inside"}).trace()))
                      .push({"after"})
                      .trace()),
            "after\n");
}

}  // namespace
}  // namespace orv::movie::avm1
