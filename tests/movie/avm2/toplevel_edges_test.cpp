// The top level's methods on the odd values and arguments where the player departs from
// the obvious reading: the printing of numbers in exponent and precision form, String
// and Vector methods at their edges, Function's apply and the errors of misuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/avm2/conversions.h"
#include "movie/avm2/machine.h"
#include "movie/avm2/objects.h"

namespace orv::movie::avm2 {
namespace {

struct Edges : Host {
  std::vector<std::string> lines;
  Machine m{this};
  void trace(std::string_view line) override { lines.emplace_back(line); }

  Value str(const char* s) { return Value(StringRef(s)); }
  Value global(const char* name) { return m.getProperty(Value(m.topLevel), m.publicName(name)); }
  // A global function called with args, as text (or the error it throws).
  std::string callGlobal(const char* name, std::vector<Value> args) {
    try {
      return m.toText(m.call(global(name), Value(), args));
    } catch (ScriptThrow& t) {
      return m.toText(t.value);
    }
  }
  Value make(std::string_view qualifiedClass, std::vector<Value> args = {}) {
    return m.construct(Value(static_cast<Object*>(m.findClass(qualifiedClass))), args);
  }
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

TEST(Avm2NumberReading, ParseFloatScalesWholeDigitsByPowersOfTen) {
  Edges t;
  auto parse = [&](const char* text) { return t.callGlobal("parseFloat", {t.str(text)}); };
  EXPECT_EQ(parse("-22222222.222222222"), "-22222222.222222224");
  EXPECT_EQ(parse("+100e-100"), "9.999999999999998e-99");
  EXPECT_EQ(parse("0000.12345GIBBERISH"), "0.12345");
  EXPECT_EQ(parse(".0000000000000000000000005"), "5e-25");
  // The exponent wraps at 32 bits; a sign after the e promises digits.
  EXPECT_EQ(parse("1e4294967297"), "10");
  EXPECT_EQ(parse("1e2147483648"), "0");
  EXPECT_EQ(parse("10e"), "10");
  EXPECT_EQ(parse("10e-"), "NaN");
  // Infinity counts after what was read, and only before the end or a space.
  EXPECT_EQ(parse("-Infinity"), "-Infinity");
  EXPECT_EQ(parse("Infinitya"), "NaN");
  EXPECT_EQ(parse("Infinity   a"), "Infinity");
  EXPECT_EQ(parse(".e10   Infinity"), "Infinity");
  EXPECT_EQ(parse("1   Infinity"), "1");
  EXPECT_EQ(parse("BADBAD"), "NaN");
  // The text is a String parameter: missing is "NaN", undefined arrives as null.
  EXPECT_EQ(t.callGlobal("parseFloat", {}), "NaN");
  EXPECT_EQ(t.callGlobal("parseInt", {Value(), Value(32)}), "785077");  // "null" in base 32
  EXPECT_EQ(t.callGlobal("parseInt", {}), "NaN");
}

TEST(Avm2StringEdges, AnUndefinedEndIsZeroAndNegativeLengthsCountBack) {
  Edges t;
  Value digits = t.str("123456789");
  EXPECT_EQ(t.call(digits, "slice", {Value(2), Value()}), "");
  EXPECT_EQ(t.call(digits, "slice", {Value(2)}), "3456789");
  EXPECT_EQ(t.call(digits, "substring", {Value(2), Value()}), "12");
  EXPECT_EQ(t.call(digits, "substr", {Value(2), Value()}), "");
  EXPECT_EQ(t.call(digits, "slice", {Value(), Value(2)}), "12");
  Value letters = t.str("abcdefg");
  EXPECT_EQ(t.call(letters, "substr", {Value(0), Value(-2)}), "abcde");
  EXPECT_EQ(t.call(letters, "substr", {Value(1), Value(-4)}), "bcd");
  EXPECT_EQ(t.call(letters, "substr", {Value(2), Value(-2)}), "");  // would reach the end
  EXPECT_EQ(t.call(letters, "substr", {Value(2), Value(-7)}), "");
  EXPECT_EQ(t.call(letters, "substr", {Value(2), Value(9)}), "cdefg");
}

TEST(Avm2FunctionEdges, ApplyAndPrototypesBehaveAsThePlayers) {
  Edges t;
  // A hole in apply's array reads through Array.prototype, as a[i] would.
  Value arrayProto = t.m.get(t.global("Array"), "prototype");
  t.m.setProperty(arrayProto, t.m.publicName("1"), t.str("from the prototype"));
  ArrayObject* list = t.m.newArray({Value(1), Value::hole(), Value(3)});
  Value collect = t.m.get(Value(static_cast<Object*>(t.m.newArray({}))), "concat");
  std::vector<Value> applied{Value(static_cast<Object*>(t.m.newArray({}))), Value(static_cast<Object*>(list))};
  EXPECT_EQ(t.call(collect, "apply", applied), "1,from the prototype,3");
  // Function.prototype is itself a Function.
  Value functionProto = t.m.get(t.global("Function"), "prototype");
  EXPECT_TRUE(t.m.isInstance(functionProto, t.m.functionClass));
  // A method closed over one receiver twice is one closure; over another it is not.
  Method* method = t.m.nativeMethod([](Machine&, const Value&, std::span<Value>) { return Value(); }, 0, "m");
  Value receiver = Value(static_cast<Object*>(t.m.newObject()));
  Value other = Value(static_cast<Object*>(t.m.newObject()));
  auto closure = [&](const Value& self) {
    FunctionObject* f = t.m.newFunction(method, nullptr, nullptr);
    f->boundThis = self;
    f->bound = true;
    return Value(static_cast<Object*>(f));
  };
  EXPECT_TRUE(strictEquals(closure(receiver), closure(receiver)));
  EXPECT_TRUE(looseEquals(closure(receiver), closure(receiver)));
  EXPECT_FALSE(strictEquals(closure(receiver), closure(other)));
  EXPECT_FALSE(strictEquals(Value(static_cast<Object*>(t.m.newFunction(method, nullptr, nullptr))),
                            Value(static_cast<Object*>(t.m.newFunction(method, nullptr, nullptr)))));
}

TEST(Avm2FunctionEdges, AFunctionWithoutAPrototypeObjectGetsOneWhenItConstructs) {
  Edges t;
  Value fn = t.m.construct(t.global("Function"), {});
  t.m.setProperty(fn, t.m.publicName("prototype"), Value::null());
  EXPECT_TRUE(t.m.get(fn, "prototype").isUndefined());
  Value made = t.m.construct(fn, {});
  Value proto = t.m.get(fn, "prototype");
  ASSERT_TRUE(proto.isObject());
  EXPECT_EQ(made.asObject()->prototype(), proto.asObject());
  EXPECT_EQ(t.m.toText(made), "[object Object]");
}

TEST(Avm2VectorEdges, AnEmptyVectorPopsItsDefaultOnlyWhenNumeric) {
  Edges t;
  Value generic = t.m.getProperty(
      Value(t.m.topLevel),
      Name{.name = t.m.intern("Vector"),
           .ns = t.m.namespaces.get(NamespaceKind::Public, t.m.intern("__AS3__.vec"))});
  auto emptyOf = [&](const char* type) {
    ClassObject* c = t.m.applyType(static_cast<ClassObject*>(generic.asObject()), t.global(type));
    return t.m.construct(Value(static_cast<Object*>(c)), {});
  };
  EXPECT_EQ(t.call(emptyOf("Boolean"), "pop"), "undefined");
  EXPECT_EQ(t.call(emptyOf("Boolean"), "shift"), "undefined");
  EXPECT_EQ(t.call(emptyOf("String"), "pop"), "undefined");
  EXPECT_EQ(t.call(emptyOf("int"), "pop"), "0");
  EXPECT_EQ(t.call(emptyOf("uint"), "shift"), "0");
  EXPECT_EQ(t.call(emptyOf("Number"), "pop"), "NaN");
}

TEST(Avm2DictionaryEdges, ObjectKeysIgnoreNamespacesAndStayEnumerable) {
  Edges t;
  Value dict = t.make("flash.utils.Dictionary");
  Value key = Value(static_cast<Object*>(t.m.newObject()));
  // Set under a namespace of the script's own, read back under the public one.
  Name qualified{.name = t.m.intern("[object Object]"),
                 .ns = t.m.namespaces.get(NamespaceKind::User, t.m.intern("NS::test"))};
  qualified.key = key.asObject();
  t.m.setProperty(dict, qualified, t.str("kept"));
  Name plain = t.m.publicName("[object Object]");
  plain.key = key.asObject();
  EXPECT_EQ(t.m.toText(t.m.getProperty(dict, plain)), "kept");
  // setPropertyIsEnumerable leaves a dictionary's keys as they are.
  t.m.setProperty(dict, t.m.publicName("7"), Value(true));
  t.call(dict, "setPropertyIsEnumerable", {Value(7), Value(false)});
  EXPECT_EQ(t.call(dict, "propertyIsEnumerable", {Value(7)}), "true");
}

TEST(Avm2ErrorEdges, FlashErrorsAreNamedErrorAndPrintLargeNumbersShort) {
  Edges t;
  Value illegal = t.make("flash.errors.IllegalOperationError", {t.str("My Error"), Value(42)});
  EXPECT_EQ(t.m.toText(illegal), "Error: My Error");
  EXPECT_EQ(t.m.toText(t.m.get(Value(static_cast<Object*>(t.m.findClass("flash.errors.IllegalOperationError")->prototypeObject)), "name")),
            "IllegalOperationError");
  Value range = t.make("RangeError", {t.str("r")});
  EXPECT_EQ(t.m.toText(range), "RangeError: r");
  // getQualifiedClassName sees whole numbers past 29 bits as Numbers.
  Value name = t.m.getProperty(Value(t.m.topLevel),
                               Name{.name = t.m.intern("getQualifiedClassName"),
                                    .ns = t.m.namespaces.get(NamespaceKind::Public, t.m.intern("flash.utils"))});
  auto nameOf = [&](Value v) {
    std::vector<Value> a{v};
    return t.m.toText(t.m.call(name, Value(), a));
  };
  EXPECT_EQ(nameOf(Value(268435455)), "int");
  EXPECT_EQ(nameOf(Value(268435456)), "Number");
  EXPECT_EQ(nameOf(Value(-268435456)), "int");
  EXPECT_EQ(nameOf(Value(-268435457)), "Number");
}

}  // namespace
}  // namespace orv::movie::avm2
