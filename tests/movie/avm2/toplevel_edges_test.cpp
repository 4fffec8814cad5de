// The top level's methods on the odd values and arguments where the player departs from
// the obvious reading: the printing of numbers in exponent and precision form, String
// and Vector methods at their edges, Function's apply and the errors of misuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {
namespace {

struct Edges : Host {
  std::vector<std::string> lines;
  Machine m{this};
  void trace(std::string_view line) override { lines.emplace_back(line); }

  Value str(const char* s) { return Value(StringRef(s)); }
  // receiver.method(args...) as text, or the error it throws as text.
  std::string call(const Value& receiver, const char* method, std::vector<Value> args = {}) {
    try {
      return m.toText(m.callProperty(receiver, m.publicName(method), args));
    } catch (ScriptThrow& t) {
      return m.toText(t.value);
    }
  }
};

TEST(Avm2NumberPrinting, ExponentFormCutsDigitsOffAndDropsAZeroExponent) {
  Edges t;
  EXPECT_EQ(t.call(Value(16716550), "toExponential", {Value(1)}), "1.6e+7");
  EXPECT_EQ(t.call(Value(16716550), "toExponential", {Value(3)}), "1.671e+7");
  EXPECT_EQ(t.call(Value(4294967295.0), "toExponential", {Value(0)}), "4e+9");
  EXPECT_EQ(t.call(Value(-2147483648.0), "toExponential", {Value(2)}), "-2.14e+9");
  EXPECT_EQ(t.call(Value(1), "toExponential", {Value(2)}), "1.00");
  EXPECT_EQ(t.call(Value(-1.5), "toExponential", {Value(1)}), "-1.5");
  EXPECT_EQ(t.call(Value(0.00123), "toExponential", {Value(1)}), "1.2e-3");
  EXPECT_EQ(t.call(Value(123.15), "toExponential"), "1e+2");
  // Zero, of either sign, prints what the digit search leaves.
  EXPECT_EQ(t.call(Value(0), "toExponential"), "1e-15");
  EXPECT_EQ(t.call(Value::number(-0.0), "toExponential", {Value(3)}), "0.000e-16");
  EXPECT_EQ(t.call(Value::number(1.0 / 0.0), "toExponential", {Value(3)}), "Infinity");
}

TEST(Avm2NumberPrinting, PrecisionFormStaysPositionalBelowOne) {
  Edges t;
  EXPECT_EQ(t.call(Value(1.2315e-8), "toPrecision", {Value(3)}), "0.0000000123");
  EXPECT_EQ(t.call(Value(1.2315e-8), "toPrecision", {Value(20)}), "0.000000012314999999999999763");
  EXPECT_EQ(t.call(Value(1.2315e2), "toPrecision", {Value(2)}), "1.2e+2");
  EXPECT_EQ(t.call(Value(1.2315e2), "toPrecision", {Value(4)}), "123.2");
  EXPECT_EQ(t.call(Value(16716550), "toPrecision", {Value(2)}), "1.7e+7");  // rounded here
  EXPECT_EQ(t.call(Value(1.2315e20), "toPrecision", {Value(21)}), "123150000000000000000");
  // Zero counts as below one: every digit asked for follows the point.
  EXPECT_EQ(t.call(Value(0), "toPrecision", {Value(1)}), "0.0");
  EXPECT_EQ(t.call(Value::number(-0.0), "toPrecision", {Value(3)}), "0.000");
  EXPECT_EQ(t.call(Value::number(5e-324), "toPrecision", {Value(21)}).size(), 346u);
}

}  // namespace
}  // namespace orv::movie::avm2
