// Array.sort and splice as movies observe them: comparators, the option flags, odd
// arguments, and counts that change nothing.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::Asm;
using test::FakeHost;

constexpr uint8_t kGetMember = 0x4E, kSubtract = 0x0B, kReturn = 0x3E, kCallMethod = 0x52,
                  kInitArray = 0x42, kSetVariable = 0x1D, kTypeOf = 0x44;

// function byLength(x, y) { return x.length - y.length; }
Asm byLength() {
  Asm body;
  body.getVar("x")
      .push({"length"})
      .op(kGetMember)
      .getVar("y")
      .push({"length"})
      .op(kGetMember)
      .op(kSubtract)
      .op(kReturn);
  return Asm().function("byLength", {"x", "y"}, body);
}

// a = ["ccc", "bb", "dd", "a", ""]
Asm makeWords() {
  return Asm().push({"a", "", "a", "dd", "bb", "ccc", 5}).op(kInitArray).op(kSetVariable);
}

// Traces a.sort(<args pushed by `args`, count n>) and then a.
Asm sortAndTrace(const Asm& args, int n) {
  Asm code;
  code.append(args).push({n, "a"}).op(0x1C).push({"sort"}).op(kCallMethod).trace().traceVar("a");
  return code;
}

TEST(ArraySort, ComparatorOrdersAndDescendingTurnsTheWholeOrderRound) {
  FakeHost h(6);
  h.run(byLength());
  // Ascending by length keeps "bb" before "dd" as they came.
  EXPECT_EQ(h.run(Asm(makeWords()).append(sortAndTrace(Asm().getVar("byLength"), 1))),
            ",a,bb,dd,ccc\n,a,bb,dd,ccc\n");
  // Descending: equal lengths come out in reverse order too.
  EXPECT_EQ(h.run(Asm(makeWords()).append(sortAndTrace(Asm().push({2}).getVar("byLength"), 2))),
            "ccc,dd,bb,a,\nccc,dd,bb,a,\n");
  // Indices, ascending and descending (8 | 2), leave the array alone.
  EXPECT_EQ(h.run(Asm(makeWords()).append(sortAndTrace(Asm().push({8}).getVar("byLength"), 2))),
            "4,3,1,2,0\nccc,bb,dd,a,\n");
  EXPECT_EQ(h.run(Asm(makeWords()).append(sortAndTrace(Asm().push({10}).getVar("byLength"), 2))),
            "0,2,1,3,4\nccc,bb,dd,a,\n");
  // The built-in orders keep equal elements as they came, descending too (16 | 8 | 2).
  EXPECT_EQ(h.run(Asm()
                      .push({"a", 2, 1, 2, 3})
                      .op(kInitArray)
                      .op(kSetVariable)
                      .append(sortAndTrace(Asm().push({26}), 1))),
            "0,2,1\n2,1,2\n");
  // Without a comparator descending strings also reverse the ascending order.
  EXPECT_EQ(h.run(Asm(makeWords()).append(sortAndTrace(Asm().push({2}), 1))),
            "dd,ccc,bb,a,\ndd,ccc,bb,a,\n");
}

TEST(ArraySort, ComparatorGivingMinusOneZeroOrOneInAVersionFiveMovie) {
  FakeHost h(5);
  // function cmp(x, y) { if (x.length < y.length) return -1; if (y.length < x.length) return 1;
  // return 0; }
  auto len = [](const char* n) { return Asm().getVar(n).push({"length"}).op(kGetMember); };
  Asm body;
  body.append(len("x"))
      .append(len("y"))
      .op(0x48)
      .op(0x12)
      .ifTrue(9)
      .push({-1})
      .op(kReturn)
      .append(len("y"))
      .append(len("x"))
      .op(0x48)
      .op(0x12)
      .ifTrue(9)
      .push({1})
      .op(kReturn)
      .push({0})
      .op(kReturn);
  h.run(Asm().function("cmp", {"x", "y"}, body));
  EXPECT_EQ(h.run(Asm()
                      .push({"a", "capitalization", "alphabet", "Different", "But", 4})
                      .op(kInitArray)
                      .op(kSetVariable)
                      .append(sortAndTrace(Asm().getVar("cmp"), 1))),
            "But,alphabet,Different,capitalization\nBut,alphabet,Different,capitalization\n");
}

TEST(ArraySort, UniqueSortFailsOnEqualValuesAndOnComparatorTies) {
  FakeHost h(6);
  h.run(byLength());
  // "bb" and "dd" tie for the comparator: that is a duplicate too.
  EXPECT_EQ(h.run(Asm(makeWords()).append(sortAndTrace(Asm().push({4}).getVar("byLength"), 2))),
            "0\nccc,bb,dd,a,\n");
  // Equal values without a comparator: 0 and the array untouched.
  EXPECT_EQ(h.run(Asm()
                      .push({"a", "x", "y", "x", 3})
                      .op(kInitArray)
                      .op(kSetVariable)
                      .append(sortAndTrace(Asm().push({4}), 1))),
            "0\nx,y,x\n");
}

TEST(ArraySort, ArgumentsThatAreNeitherComparatorNorOptions) {
  FakeHost h(6);
  // a.sort(undefined) gives undefined; an object (even one whose value is a flag)
  // leaves the array as it was and gives it back.
  EXPECT_EQ(h.run(Asm(makeWords())
                      .push({"u"})
                      .op(0x1C)
                      .push({1, "a"})
                      .op(0x1C)
                      .push({"sort"})
                      .op(kCallMethod)
                      .op(kTypeOf)
                      .trace()
                      .traceVar("a")),
            "undefined\nccc,bb,dd,a,\n");
  EXPECT_EQ(h.run(Asm(makeWords()).append(sortAndTrace(Asm().push({0, "Object"}).op(0x40), 1))),
            "ccc,bb,dd,a,\nccc,bb,dd,a,\n");
  // A number still selects the options.
  EXPECT_EQ(h.run(Asm(makeWords()).append(sortAndTrace(Asm().push({0}), 1))),
            ",a,bb,ccc,dd\n,a,bb,ccc,dd\n");
}

TEST(ArraySort, SortOnTakesPerFieldOptionsOnlyWhenEveryFieldHasOne) {
  FakeHost h(6);
  Vm& vm = h.vm;
  auto record = [&](const char* name, int year) {
    Object* o = vm.newObject();
    vm.setMember(o, "name", Value(name));
    vm.setMember(o, "year", Value(year));
    return Value(o);
  };
  auto names = [&](const Value& arr) {
    std::string out;
    for (const Value& v : vm.arrayElements(arr.asObject()))
      out += vm.toString(vm.getMember(v, "name")) + " ";
    return out;
  };
  auto list = [&](std::vector<Value> v) { return Value(vm.newArray(v)); };
  Value a = list({record("Zuse", 1941), record("Colossus", 1943), record("Atanasoff", 1941)});
  Value fields = list({Value("year"), Value("name")});
  auto sortOn = [&](std::vector<Value> args) { return vm.callMethod(a, "sortOn", args); };
  // One option for two fields: ignored, both ascending.
  sortOn({fields, list({Value(2)})});
  EXPECT_EQ(names(a), "Atanasoff Zuse Colossus ");
  // One for each: year descending, then name ascending.
  sortOn({fields, list({Value(2), Value(0)})});
  EXPECT_EQ(names(a), "Colossus Atanasoff Zuse ");
  // The first field's options decide on unique keys and indices.
  EXPECT_EQ(vm.toString(sortOn({list({Value("year")}), list({Value(4)})})), "0");
  EXPECT_EQ(vm.toString(sortOn({fields, list({Value(8), Value(0)})})), "1,2,0");
  EXPECT_EQ(names(a), "Colossus Atanasoff Zuse ");
  EXPECT_EQ(vm.toString(sortOn({fields, list({Value(4), Value(0)})})),
            "[object Object],[object Object],[object Object]");
  EXPECT_EQ(names(a), "Atanasoff Zuse Colossus ");
  // A plain number applies to every field.
  sortOn({fields, Value(2)});
  EXPECT_EQ(names(a), "Colossus Zuse Atanasoff ");
}

TEST(ArraySplice, NegativeCountChangesNothingAndGivesUndefined) {
  FakeHost h(6);
  auto splice = [](std::initializer_list<test::PushItem> args, int n) {
    Asm code(makeWords());
    code.push(args)
        .push({n, "a"})
        .op(0x1C)
        .push({"splice"})
        .op(kCallMethod)
        .op(kTypeOf)
        .trace()
        .traceVar("a");
    return code;
  };
  EXPECT_EQ(h.run(splice({-1, 0}, 2)), "undefined\nccc,bb,dd,a,\n");
  EXPECT_EQ(h.run(splice({"z", -1, 1}, 3)), "undefined\nccc,bb,dd,a,\n");
  // A count of zero inserts and gives an empty array.
  EXPECT_EQ(h.run(splice({"z", 0, 1}, 3)), "object\nccc,z,bb,dd,a,\n");
}

// a = new Array(n); trace(a.length); trace(a)
std::string newArrayOfLength(FakeHost& h, double n) {
  Asm a;
  a.push({"a"}).push({n, 1, "Array"}).op(0x40).op(kSetVariable);
  a.getVar("a").push({"length"}).op(kGetMember).trace();
  a.getVar("a").trace();
  return h.run(a);
}

TEST(ArrayLength, ANegativeLengthGivenToTheConstructorIsKeptAndHoldsNoElements) {
  FakeHost h(7);
  EXPECT_EQ(newArrayOfLength(h, 3), "3\nundefined,undefined,undefined\n");
  EXPECT_EQ(newArrayOfLength(h, -1), "-1\n\n");
  EXPECT_EQ(newArrayOfLength(h, -2147483648.0), "-2147483648\n\n");
  // An element written by index makes the length reach it.
  Asm a;
  a.push({"a"}).push({-5, 1, "Array"}).op(0x40).op(kSetVariable);
  a.getVar("a").push({"2", "z"}).op(0x4F);
  a.getVar("a").push({"length"}).op(kGetMember).trace();
  EXPECT_EQ(h.run(a), "3\n");
}

// Calls a.name(args...) on an array made of `elems`.
Value callOn(Vm& vm, Object* a, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(Value(a), name, std::span<Value>(args));
}

std::string names(Vm& vm, Object* a) {
  std::string out;
  for (const std::string& n : vm.enumerableNames(a)) out += n + ",";
  return out;
}

TEST(ArrayRewrite, ShiftAndUnshiftWriteTheElementsAfresh) {
  FakeHost h(6);
  Vm& vm = h.vm;
  // Holes become elements, and every element is new: for..in lists them newest first.
  Object* a = vm.newArray();
  vm.setMember(a, "4", Value(4.0));
  vm.setMember(a, "2", Value(2.0));
  callOn(vm, a, "shift");
  EXPECT_EQ(names(vm, a), "3,2,1,0,");
  // unshift moves the old elements up from the last one down, then writes the new ones.
  Object* b = vm.newArray({Value(1.0), Value(2.0), Value(3.0)});
  EXPECT_EQ(vm.toNumber(callOn(vm, b, "unshift", {Value(42.0), Value(43.0)})), 5);
  EXPECT_EQ(names(vm, b), "1,0,2,3,4,");
  EXPECT_EQ(vm.toString(Value(b)), "42,43,1,2,3");
}

TEST(ArrayRewrite, ElementsThatCannotBeDeletedStayAndReadOnlyOnesKeepTheirValue) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Object* a = vm.newArray({Value(1.0), Value(2.0), Value(3.0)});
  a->findOwn("1", false)->flags |= kDontDelete | kReadOnly;
  callOn(vm, a, "shift");
  EXPECT_EQ(vm.toString(Value(a)), "2,2");
  EXPECT_EQ(names(vm, a), "0,1,");  // the kept element is the oldest
}

TEST(ArrayLength, AnIndexAndTheLengthAfterItWrapToThirtyTwoBits) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Object* a = vm.newArray({Value(1.0), Value(2.0)});
  vm.setMember(a, "4294967296", Value(0.0));  // index 0: no longer than before
  EXPECT_EQ(vm.toNumber(vm.getMember(a, "length")), 2);
  // 2^31 - 1 makes the length wrap to -2^31, which drops the elements below it.
  vm.setMember(a, "2147483647", Value(0.0));
  EXPECT_EQ(vm.toNumber(vm.getMember(a, "length")), -2147483648.0);
  EXPECT_TRUE(vm.getMember(a, "1").isUndefined());
  // Digits beyond 32 bits wrap as they are read, not as a rounded number.
  vm.setMember(a, "302231454903657293676544", Value(0.0));  // 2^78: index 0
  EXPECT_EQ(vm.toNumber(vm.getMember(a, "length")), 1);
}

TEST(ArraySortOn, KeysAreOwnPlainValuesOrTheElementsThemselves) {
  FakeHost h(6);
  Vm& vm = h.vm;
  // Getters do not run and prototypes are not asked: both keys are undefined, no change.
  Object* first = vm.newObject();
  Object* second = vm.newObject();
  Object* proto = vm.newObject();
  vm.setMember(proto, "k", Value(1.0));
  vm.setMember(second, "__proto__", Value(proto));
  vm.setMember(first, "name", Value("first"));
  Object* a = vm.newArray({Value(first), Value(second)});
  callOn(vm, a, "sortOn", {Value("k"), Value(16.0)});
  EXPECT_EQ(vm.toString(vm.getMember(vm.getMember(Value(a), "0"), "name")), "first");
  // Text elements are their own keys, whatever the field.
  Object* words = vm.newArray({Value("test"), Value("bar"), Value("a")});
  callOn(vm, words, "sortOn", {Value("nothing"), Value(16.0)});
  EXPECT_EQ(vm.toString(Value(words)), "a,bar,test");
}

}  // namespace
}  // namespace orv::movie::avm1
