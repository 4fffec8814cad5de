// Text to number as each SWF version converts it (octal and hexadecimal forms, exponent
// marks, spaces), int()'s 32-bit wrap, parseInt's prefixes, and escape/unescape.
#include <gtest/gtest.h>

#include <cmath>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

TEST(NumberConversion, TextToNumberBySwfVersion) {
  struct Case {
    const char* text;
    double v6;
    double v5;
  };
  const double nan = std::nan("");
  const Case cases[] = {
      {" 2", 2, 2},
      {"\n  2", 2, 2},
      {"2 ", nan, nan},
      {"2a", nan, nan},
      {"2e", 2, 2},
      {"-56e-", -56, -56},
      {"-56eu", nan, nan},
      {" -2e5", -200000, -200000},
      {"0x2", 2, nan},
      {" 0x2", nan, nan},
      {"-0x2", nan, nan},
      {"0x-2", -2, nan},
      {"0x-ffffffff", 1, nan},
      {"0Xff000000", -16777216, nan},
      {"0x10.8", nan, nan},
      {"0x", nan, nan},
      {"077", 63, 77},
      {"-077", -63, -77},
      {"+077", 63, 77},
      {" 077", 77, 77},
      {"01238", 1238, 1238},
      {"0123.6", 123.6, 123.6},
      {"077000000000", -134217728, 77000000000},
      {"infinity", nan, nan},
      {"", nan, nan},
  };
  for (const Case& c : cases) {
    for (int version : {5, 6}) {
      const double want = version == 5 ? c.v5 : c.v6;
      const double got = stringToNumber(c.text, version);
      if (std::isnan(want))
        EXPECT_TRUE(std::isnan(got)) << c.text << " v" << version << " gave " << got;
      else
        EXPECT_EQ(got, want) << c.text << " v" << version;
    }
  }
  EXPECT_EQ(stringToNumber("12abc", 4), 12);  // SWF 4 reads what it can
  EXPECT_EQ(stringToNumber("", 4), 0);
}

// int(v) as a movie computes it: push v, ToInteger, trace.
std::string traceInt(FakeHost& h, test::PushItem v) {
  return h.run(test::Asm().push({v}).op(0x18).trace());
}

TEST(NumberConversion, IntWrapsToThirtyTwoBits) {
  FakeHost h(6);
  EXPECT_EQ(traceInt(h, 4294967295.0), "-1\n");
  EXPECT_EQ(traceInt(h, 2147483649.0), "-2147483647\n");
  EXPECT_EQ(traceInt(h, -4294967296.0), "0\n");
  EXPECT_EQ(traceInt(h, -7.8), "-7\n");
  EXPECT_EQ(traceInt(h, "1e+10"), "1410065408\n");
  EXPECT_EQ(traceInt(h, "0123"), "83\n");
  EXPECT_EQ(traceInt(h, "7 "), "0\n");
  EXPECT_EQ(traceInt(h, std::numeric_limits<double>::infinity()), "0\n");
}

Value callGlobal(Vm& vm, const char* name, std::vector<Value> args) {
  return vm.call(vm.getMember(vm.global, name), Value(), args);
}

TEST(NumberConversion, ParseIntPrefixes) {
  FakeHost h(6);
  Vm& vm = h.vm;
  auto parse = [&](const char* s) {
    return vm.toNumber(callGlobal(vm, "parseInt", {Value(s)}));
  };
  auto parseIn = [&](const char* s, Value radix) {
    return vm.toNumber(callGlobal(vm, "parseInt", {Value(s), radix}));
  };
  EXPECT_EQ(parse("0x111"), 273);
  EXPECT_TRUE(std::isnan(parse("-0x111")));
  EXPECT_TRUE(std::isnan(parse("+0x111")));
  EXPECT_EQ(parse(" 0x111"), 0);
  EXPECT_EQ(parse("0X-111"), -273);
  EXPECT_EQ(parse("0352"), 234);
  EXPECT_EQ(parse("-0352"), -234);
  EXPECT_EQ(parse("   0352"), 352);
  EXPECT_EQ(parse("0352A"), 352);
  EXPECT_EQ(parseIn("0x123", Value(8)), 83);
  EXPECT_EQ(parseIn(" 6 7 8", Value(8)), 6);
  EXPECT_EQ(parse("0x -100"), -256);  // spaces may follow the prefix
}

TEST(NumberConversion, ParseIntRadixGivenMustBeTwoToThirtySix) {
  FakeHost h(6);
  Vm& vm = h.vm;
  auto parseIn = [&](const char* s, Value radix) {
    return vm.toNumber(callGlobal(vm, "parseInt", {Value(s), radix}));
  };
  for (Value bad : {Value(), Value(0.0), Value(1.0), Value(37.0), Value(true), Value(std::nan(""))})
    EXPECT_TRUE(std::isnan(parseIn("100", bad)));
  EXPECT_EQ(parseIn("11", Value(3.8)), 4);
  // A sign straight before "0x" drops the zero and the sign: digits start at the 'x'.
  EXPECT_EQ(parseIn("-0x100", Value(36)), 1540944);
  EXPECT_EQ(parseIn(" -0x100", Value(36)), -1540944);
  EXPECT_TRUE(std::isnan(parseIn("+0x123", Value(33))));
  EXPECT_TRUE(callGlobal(vm, "parseInt", {}).isUndefined());
}

TEST(NumberConversion, EscapeWritesAllButLettersAndDigits) {
  FakeHost h(6);
  Vm& vm = h.vm;
  EXPECT_EQ(vm.toString(callGlobal(vm, "escape", {Value("a+b/c@d-_.!Z9")})),
            "a%2Bb%2Fc%40d%2D%5F%2E%21Z9");
  EXPECT_EQ(vm.toString(callGlobal(vm, "unescape", {Value("%3a%2f%3F%")})), ":/?");
  EXPECT_EQ(vm.toString(callGlobal(vm, "unescape", {Value("100%zz")})), "100%zz");
}

TEST(NumberConversion, PropFlagsTakeNamesFromArraysAndTextOnly) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Object* o = vm.newObject();
  for (const char* n : {"a", "b", "c"}) vm.setMember(o, n, Value(1));
  Object* arrayLike = vm.newObject();
  vm.setMember(arrayLike, "length", Value(1));
  vm.setMember(arrayLike, "0", Value("c"));
  callGlobal(vm, "ASSetPropFlags", {Value(o), Value(arrayLike), Value(1)});
  EXPECT_EQ(vm.enumerableNames(o).size(), 3u);
  callGlobal(vm, "ASSetPropFlags", {Value(o), Value(vm.newArray({Value("c")})), Value(1)});
  callGlobal(vm, "ASSetPropFlags", {Value(o), Value("a"), Value(1)});
  ASSERT_EQ(vm.enumerableNames(o).size(), 1u);
  EXPECT_EQ(vm.enumerableNames(o)[0], "b");
}

}  // namespace
}  // namespace orv::movie::avm1
