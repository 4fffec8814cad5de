// The ActionScript 3 machine's values: sharing and interning of strings, and the language's
// conversions and operators on primitives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "movie/avm2/conversions.h"
#include "movie/avm2/value.h"

namespace orv::movie::avm2 {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

Value str(std::string_view text) { return Value(StringRef(text)); }

TEST(Avm2Value, StringsAreSharedByCopiesAndNotTouchedByMoves) {
  StringRef text("shared text");
  EXPECT_EQ(text->refCount(), 1u);
  {
    Value a(text);
    EXPECT_EQ(text->refCount(), 2u);
    Value b = a;
    EXPECT_EQ(text->refCount(), 3u);
    EXPECT_EQ(b.asString(), text.get());
    Value c = std::move(a);
    EXPECT_EQ(text->refCount(), 3u);
    EXPECT_TRUE(a.isUndefined());
    b = Value(7);
    EXPECT_EQ(text->refCount(), 2u);
    c = c;  // self-assignment keeps the string
    EXPECT_EQ(c.asString()->view(), "shared text");
  }
  EXPECT_EQ(text->refCount(), 1u);
}

TEST(Avm2Value, InternedNamesAreOneObjectPerText) {
  StringTable names;
  String* a = names.intern("width");
  EXPECT_EQ(names.intern("width"), a);
  EXPECT_NE(names.intern("height"), a);
  StringRef loose("width");
  EXPECT_EQ(names.intern(loose.get()), a);  // an equal text finds the interned one
  EXPECT_FALSE(loose->isInterned());
  EXPECT_TRUE(String::equal(loose.get(), a));
  StringRef fresh("depth");
  EXPECT_EQ(names.intern(fresh.get()), fresh.get());  // a new text is interned as itself
  EXPECT_TRUE(fresh->isInterned());
  EXPECT_EQ(names.intern("depth"), fresh.get());
  EXPECT_FALSE(String::equal(a, names.intern("height")));
  EXPECT_EQ(names.size(), 3u);
}

TEST(Avm2Value, KindsAndNumbers) {
  EXPECT_TRUE(Value().isUndefined());
  EXPECT_TRUE(Value::null().isNull());
  EXPECT_TRUE(Value(static_cast<Object*>(nullptr)).isNull());
  EXPECT_TRUE(Value(true).isBool());
  EXPECT_TRUE(Value(3).isInt());
  EXPECT_TRUE(Value(3u).isUint());
  EXPECT_EQ(Value(3u).numeric(), 3.0);
  EXPECT_EQ(Value(4294967295u).numeric(), 4294967295.0);
  EXPECT_TRUE(Value::number(5.0).isInt());
  EXPECT_FALSE(Value::number(5.5).isInt());
  EXPECT_FALSE(Value::number(-0.0).isInt());  // -0 stays a Number
  EXPECT_FALSE(Value::number(2147483648.0).isInt());
  EXPECT_TRUE(Value::number(-2147483648.0).isInt());
}

TEST(Avm2Conversions, TextToNumber) {
  EXPECT_EQ(stringToNumber(""), 0);
  EXPECT_EQ(stringToNumber("  \t\n "), 0);
  EXPECT_EQ(stringToNumber("42"), 42);
  EXPECT_EQ(stringToNumber("  -3.5e2  "), -350);
  EXPECT_EQ(stringToNumber(".5"), 0.5);
  EXPECT_EQ(stringToNumber("5."), 5);
  EXPECT_EQ(stringToNumber("+7"), 7);
  EXPECT_EQ(stringToNumber("0x1F"), 31);
  EXPECT_EQ(stringToNumber("-0x10"), -16);  // the player takes a sign before hexadecimal
  EXPECT_EQ(stringToNumber("0x123456789abcde8"), 81985529216486888.0);  // rounded once
  EXPECT_EQ(stringToNumber("0XfF"), 255);
  EXPECT_EQ(stringToNumber("\xC2\xA0"
                           "12\xE2\x80\xA8"),
            12);
  EXPECT_EQ(stringToNumber("Infinity"), kInf);
  EXPECT_EQ(stringToNumber("-Infinity"), -kInf);
  for (const char* bad : {"abc", "12px", "0x", "0xG", "1e", "e5", ".", "+", "inf", "nan", "1 2",
                          "- 1", "0x1.5", "1e+"}) {
    EXPECT_TRUE(std::isnan(stringToNumber(bad))) << bad;
  }
  EXPECT_TRUE(std::isnan(toNumber(Value())));
  EXPECT_EQ(toNumber(Value::null()), 0);
  EXPECT_EQ(toNumber(Value(true)), 1);
  EXPECT_EQ(toNumber(str(" 8 ")), 8);
}

TEST(Avm2Conversions, ValuesToText) {
  EXPECT_EQ(toText(Value()), "undefined");
  EXPECT_EQ(toText(Value::null()), "null");
  EXPECT_EQ(toText(Value(false)), "false");
  EXPECT_EQ(toText(Value(-12)), "-12");
  EXPECT_EQ(toText(Value(4294967295u)), "4294967295");
  EXPECT_EQ(toText(Value(0.5)), "0.5");
  EXPECT_EQ(toText(Value(-0.0)), "0");
  EXPECT_EQ(toText(Value(1e21)), "1e+21");
  EXPECT_EQ(toText(Value(1.5e-7)), "1.5e-7");
  EXPECT_EQ(toText(Value(1e20)), "100000000000000000000");
  EXPECT_EQ(toText(Value(kNaN)), "NaN");
  EXPECT_EQ(toText(Value(-kInf)), "-Infinity");
  StringRef s("same");
  EXPECT_EQ(toStringRef(Value(s)).get(), s.get());  // a string converts to itself
  EXPECT_EQ(toStringRef(Value(3)).view(), "3");
}

TEST(Avm2Conversions, NumbersPrintWithTheFewestDigitsThatReadBack) {
  EXPECT_EQ(numberToText(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(numberToText(3.0769230769230775), "3.0769230769230775");
  EXPECT_EQ(numberToText(40.0 / 13), "3.076923076923077");
  EXPECT_EQ(numberToText(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(numberToText(-2.5), "-2.5");
  EXPECT_EQ(numberToText(123456789012345680000.0), "123456789012345680000");
  EXPECT_EQ(numberToText(1e21), "1e+21");
  EXPECT_EQ(numberToText(1.5e300), "1.5e+300");
  EXPECT_EQ(numberToText(0.000001), "0.000001");
  EXPECT_EQ(numberToText(0.0000012), "0.0000012");
  EXPECT_EQ(numberToText(1e-7), "1e-7");
  EXPECT_EQ(numberToText(-1.25e-10), "-1.25e-10");
  EXPECT_EQ(numberToText(5e-324), "5e-324");
  // Past 1e21 at most 15 digits, cut off.
  EXPECT_EQ(numberToText(1.7976931348623157e308), "1.79769313486231e+308");
  EXPECT_EQ(numberToText(-1.2315987654321987e21), "-1.23159876543219e+21");
  EXPECT_EQ(numberToText(1.2000000000000001e25), "1.2e+25");
  EXPECT_EQ(numberToText(4294967296.0), "4294967296");
  // Whatever the number below 1e21, the text reads back as it.
  std::mt19937_64 random(1234);
  for (int i = 0; i < 20000; ++i) {
    uint64_t bits = random();
    double n;
    std::memcpy(&n, &bits, sizeof n);
    if (!std::isfinite(n) || std::fabs(n) >= 1e21) continue;
    ASSERT_EQ(std::strtod(numberToText(n).c_str(), nullptr), n) << numberToText(n);
  }
}

TEST(Avm2Conversions, IntegerConversionsWrapModulo2To32) {
  EXPECT_EQ(toInt32(4294967295.0), -1);
  EXPECT_EQ(toInt32(2147483648.0), INT32_MIN);
  EXPECT_EQ(toInt32(-1.9), -1);
  EXPECT_EQ(toInt32(1e20), static_cast<int32_t>(1661992960));
  EXPECT_EQ(toInt32(kNaN), 0);
  EXPECT_EQ(toInt32(kInf), 0);
  EXPECT_EQ(toUint32(-1.0), 4294967295u);
  EXPECT_EQ(toUint32(-4294967297.0), 4294967295u);
  EXPECT_EQ(toUint32(Value(-1)), 4294967295u);
  EXPECT_EQ(toInt32(Value(4294967295u)), -1);
  EXPECT_EQ(toInt32(str("0x10")), 16);
}

TEST(Avm2Conversions, Truthiness) {
  EXPECT_FALSE(toBoolean(Value()));
  EXPECT_FALSE(toBoolean(Value::null()));
  EXPECT_FALSE(toBoolean(Value(0)));
  EXPECT_FALSE(toBoolean(Value(0u)));
  EXPECT_FALSE(toBoolean(Value(-0.0)));
  EXPECT_FALSE(toBoolean(Value(kNaN)));
  EXPECT_FALSE(toBoolean(str("")));
  EXPECT_TRUE(toBoolean(str("0")));
  EXPECT_TRUE(toBoolean(str("false")));
  EXPECT_TRUE(toBoolean(Value(0.001)));
  EXPECT_EQ(std::string(typeofPrimitive(Value::null())), "object");
  EXPECT_EQ(std::string(typeofPrimitive(Value(2u))), "number");
  EXPECT_EQ(std::string(typeofPrimitive(str("x"))), "string");
  EXPECT_EQ(std::string(typeofPrimitive(Value())), "undefined");
  EXPECT_EQ(std::string(typeofPrimitive(Value(true))), "boolean");
}

TEST(Avm2Operators, StrictAndLooseEquality) {
  StringTable names;
  Namespace a{NamespaceKind::Public, names.intern("flash.display")};
  Namespace b{NamespaceKind::PackageInternal, names.intern("flash.display")};
  // ===: numbers by value whatever their kind, strings by text, no conversions.
  EXPECT_TRUE(strictEquals(Value(1), Value(1.0)));
  EXPECT_TRUE(strictEquals(Value(1u), Value(1)));
  EXPECT_TRUE(strictEquals(Value(0.0), Value(-0.0)));
  EXPECT_FALSE(strictEquals(Value(kNaN), Value(kNaN)));
  EXPECT_TRUE(strictEquals(str("ab"), str("ab")));
  EXPECT_FALSE(strictEquals(str("1"), Value(1)));
  EXPECT_FALSE(strictEquals(Value(), Value::null()));
  EXPECT_TRUE(strictEquals(Value(&a), Value(&b)));
  // ==: null and undefined alike, numbers against text and booleans.
  EXPECT_TRUE(looseEquals(Value(), Value::null()));
  EXPECT_FALSE(looseEquals(Value(), Value(0)));
  EXPECT_FALSE(looseEquals(Value::null(), Value(false)));
  EXPECT_TRUE(looseEquals(str("1"), Value(1)));
  EXPECT_TRUE(looseEquals(str(" 0x10 "), Value(16u)));
  EXPECT_TRUE(looseEquals(Value(true), Value(1)));
  EXPECT_TRUE(looseEquals(Value(true), str("1")));
  EXPECT_FALSE(looseEquals(Value(true), str("true")));
  EXPECT_FALSE(looseEquals(str("a"), str("b")));
  EXPECT_FALSE(looseEquals(Value(kNaN), str("NaN")));
  EXPECT_TRUE(looseEquals(Value(&a), str("flash.display")));
}

TEST(Avm2Operators, ComparisonAndAddition) {
  EXPECT_EQ(lessThan(Value(1), Value(2)), Compare::True);
  EXPECT_EQ(lessThan(Value(2u), Value(-1)), Compare::False);
  EXPECT_EQ(lessThan(str("10"), str("9")), Compare::True);   // text compares as text
  EXPECT_EQ(lessThan(str("10"), Value(9)), Compare::False);  // mixed compares as numbers
  EXPECT_EQ(lessThan(Value(kNaN), Value(1)), Compare::Undefined);
  EXPECT_EQ(lessThan(str("x"), Value(1)), Compare::Undefined);
  EXPECT_EQ(lessThan(Value::null(), Value(1)), Compare::True);
  EXPECT_EQ(lessThan(str("\xC3\xA9"), str("z")), Compare::False);  // by code point

  Value sum = add(Value(2), Value(3));
  EXPECT_TRUE(sum.isInt());
  EXPECT_EQ(sum.asInt(), 5);
  Value wide = add(Value(INT32_MAX), Value(1));
  EXPECT_FALSE(wide.isInt());
  EXPECT_EQ(wide.numeric(), 2147483648.0);
  EXPECT_EQ(toText(add(str("a"), Value(1))), "a1");
  EXPECT_EQ(toText(add(Value(1.5), str("b"))), "1.5b");
  EXPECT_EQ(toText(add(Value(), str(""))), "undefined");
  EXPECT_EQ(toNumber(add(Value(true), Value::null())), 1);
  EXPECT_TRUE(std::isnan(toNumber(add(Value(), Value(1)))));
  EXPECT_EQ(add(Value(0.1), Value(0.2)).asDouble(), 0.1 + 0.2);
}

}  // namespace
}  // namespace orv::movie::avm2
