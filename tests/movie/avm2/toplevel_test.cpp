// The top level's classes called through the machine as scripts call them: Number's
// printing, String's methods in UTF-16 units, Array's methods and sort, Math, the global
// functions, Function's call and apply, conversions and the errors of misuse.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {
namespace {

struct TopLevel : Host {
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
  Value global(const char* name) { return m.getProperty(Value(m.topLevel), m.publicName(name)); }
  std::string construct(const char* cls, std::vector<Value> args = {}) {
    try {
      return m.toText(m.construct(global(cls), args));
    } catch (ScriptThrow& t) {
      return m.toText(t.value);
    }
  }
  Value array(std::vector<Value> elements) { return Value(static_cast<Object*>(m.newArray(elements))); }
};

TEST(Avm2TopLevel, NumbersPrintAsThePlayerPrintsThem) {
  TopLevel t;
  EXPECT_EQ(t.call(Value(255), "toString", {Value(16)}), "ff");
  EXPECT_EQ(t.call(Value(-6.75), "toString", {Value(2)}), "-110");  // the whole part only
  EXPECT_EQ(t.call(Value(1.005), "toFixed", {Value(2)}), "1.00");
  EXPECT_EQ(t.call(Value(123.456), "toFixed", {Value(1)}), "123.5");
  EXPECT_EQ(t.call(Value(-0.0001), "toFixed", {Value(2)}), "0.00");
  EXPECT_EQ(t.call(Value(123456.0), "toExponential", {Value(2)}), "1.23e+5");
  EXPECT_EQ(t.call(Value(0.000123), "toPrecision", {Value(2)}), "0.00012");
  EXPECT_EQ(t.call(Value(123456.0), "toPrecision", {Value(2)}), "1.2e+5");
  EXPECT_EQ(t.call(Value(5), "toString", {Value(1)}),
            "RangeError: Error #1003: The radix argument must be between 2 and 36; got 1.");
  EXPECT_EQ(t.call(Value(5), "toFixed", {Value(21)}).substr(0, 23), "RangeError: Error #1002");
  // The conversions int(), uint() and Number() as functions and constructors.
  std::vector<Value> big = {Value(4294967297.0)};
  EXPECT_EQ(t.m.toText(t.m.call(t.global("int"), Value(), big)), "1");
  EXPECT_EQ(t.construct("uint", {Value(-1)}), "4294967295");
  EXPECT_EQ(t.construct("Number", {t.str(" 0x1A ")}), "26");
  EXPECT_EQ(t.call(t.str("x"), "toFixed"), "TypeError: Error #1006: toFixed is not a function.");
}

TEST(Avm2TopLevel, StringsCountInUtf16Units) {
  TopLevel t;
  Value s = t.str("h\xC3\xA9llo w\xF0\x9F\x98\x80rld");  // é is one unit, the emoji two
  EXPECT_EQ(t.m.toText(t.m.get(s, "length")), "12");
  EXPECT_EQ(t.call(s, "charCodeAt", {Value(1)}), "233");
  EXPECT_EQ(t.call(s, "indexOf", {t.str("rld")}), "9");
  EXPECT_EQ(t.call(s, "substr", {Value(-3)}), "rld");
  // Case in every script of the plane, one unit to one unit.
  EXPECT_EQ(t.call(t.str("stra\xC3\x9F\xC3\xA9 \xD0\xB4\xD0\xB0 \xCE\xB1\xCF\x89 \xC4\x81"), "toUpperCase"),
            "STRA\xC3\x9F\xC3\x89 \xD0\x94\xD0\x90 \xCE\x91\xCE\xA9 \xC4\x80");  // ß stays
  EXPECT_EQ(t.call(t.str("\xE1\x82\xA0\xC4\xB0Z"), "toLowerCase"), "\xE1\x83\x90iz");  // Georgian, dotted I
  EXPECT_EQ(t.call(s, "slice", {Value(1), Value(-7)}), "\xC3\xA9llo");
  EXPECT_EQ(t.call(s, "substring", {Value(5), Value(1)}), "\xC3\xA9llo");
  EXPECT_EQ(t.call(t.str("a,b,,c"), "split", {t.str(",")}), "a,b,,c");
  std::vector<Value> comma{t.str(",")};
  Value parts = t.m.callProperty(t.str("a,b,,c"), t.m.publicName("split"), comma);
  EXPECT_EQ(t.m.toText(t.m.get(parts, "length")), "4");
  EXPECT_EQ(t.call(t.str("aXbX"), "replace", {t.str("X"), t.str("[$&]")}), "a[X]bX");
  EXPECT_EQ(t.call(t.str("MiXeD"), "toLowerCase"), "mixed");
  std::vector<Value> codes{Value(72), Value(105)};
  EXPECT_EQ(t.m.toText(t.m.callProperty(t.global("String"), t.m.publicName("fromCharCode"), codes)),
            "Hi");
  // Compilers may name it in the AS3 namespace.
  Name inAs3;
  inAs3.name = t.m.intern("fromCharCode");
  inAs3.ns = t.m.as3Ns;
  EXPECT_EQ(t.m.toText(t.m.callProperty(t.global("String"), inAs3, codes)), "Hi");
}

TEST(Avm2TopLevel, ArraysAndTheirSorts) {
  TopLevel t;
  Value a = t.array({Value(10), Value(9), Value(1), t.str("b"), Value()});
  EXPECT_EQ(t.call(a, "sort"), "1,10,9,b,");  // as text, undefined last
  Value n = t.array({Value(10), Value(9), Value(1)});
  EXPECT_EQ(t.call(n, "sort", {Value(16 | 2)}), "10,9,1");  // NUMERIC | DESCENDING
  EXPECT_EQ(t.call(n, "sort", {Value(16 | 8)}), "2,1,0");   // the indices, array untouched
  EXPECT_EQ(t.call(n, "push", {Value(4), Value(5)}), "5");
  EXPECT_EQ(t.call(n, "splice", {Value(1), Value(2), t.str("x")}), "9,1");
  EXPECT_EQ(t.call(n, "join", {t.str("-")}), "10-x-4-5");
  EXPECT_EQ(t.call(n, "indexOf", {Value(4)}), "2");
  EXPECT_EQ(t.call(n, "slice", {Value(-2)}), "4,5");
  EXPECT_EQ(t.call(n, "concat", {t.array({Value(6)}), Value(7)}), "10,x,4,5,6,7");
  EXPECT_EQ(t.call(n, "reverse"), "5,4,x,10");
  EXPECT_EQ(t.construct("Array", {Value(3)}), ",,");
  EXPECT_EQ(t.call(t.array({Value(1)}), "splice"), "undefined");
  Value withNaN = t.array({Value(std::nan("")), Value(2), Value(-1)});
  EXPECT_EQ(t.call(withNaN, "sort", {Value(16)}), "-1,2,NaN");
  EXPECT_EQ(t.call(withNaN, "sort", {Value(16 | 2)}), "NaN,2,-1");
  EXPECT_EQ(t.construct("Array", {Value(1.5)}),
            "RangeError: Error #1005: Array index is not a positive integer (1.5).");
  // A huge index is a property, not a huge allocation.
  t.m.setProperty(n, t.m.publicName("4000000000"), Value(1));
  EXPECT_EQ(t.m.toText(t.m.get(n, "length")), "4");
}

// Comparators for the sort tests: native functions, so they keep their notes in statics.
std::string comparedPairs;
size_t comparisons = 0;
Value recordingCompare(Machine& m, const Value&, std::span<Value> args) {
  comparedPairs += m.toText(args[0]) + ":" + m.toText(args[1]) + " ";
  return Value(m.toNumber(args[0]) - m.toNumber(args[1]));
}
Value halfDifference(Machine& m, const Value&, std::span<Value> args) {
  return Value(m.toNumber(args[0]) - m.toNumber(args[1]));
}
Value alwaysGreater(Machine&, const Value&, std::span<Value>) {
  ++comparisons;
  return Value(1);
}

TEST(Avm2TopLevel, SortCallsTheComparatorAsThePlayerDoes) {
  TopLevel t;
  auto fn = [&](NativeCode code) {
    return Value(static_cast<Object*>(t.m.newFunction(t.m.nativeMethod(code, 2, "compare"), {}, nullptr)));
  };
  comparedPairs.clear();
  Value five = t.array({Value(5), Value(4), Value(3), Value(2), Value(1)});
  EXPECT_EQ(t.call(five, "sort", {fn(recordingCompare)}), "1,2,3,4,5");
  EXPECT_EQ(comparedPairs, "4:3 1:3 5:3 2:3 5:3 2:3 5:4 2:1 ");  // middle pivot, small sides direct
  comparedPairs.clear();
  EXPECT_EQ(t.call(t.array({Value(3), Value(1), Value(2)}), "sort", {fn(recordingCompare)}), "1,2,3");
  EXPECT_EQ(comparedPairs, "3:1 3:2 1:2 ");
  // Only the whole part of the answer counts: elements less than one apart are equal.
  std::vector<Value> nums;
  for (double d : {2.1, 2.0, 1.9, 1.1, 0.9, 0.0, -0.1, -0.5, -0.9, -1.0, -1.1, -1.5, -1.9, -2.0, -2.1})
    nums.emplace_back(d);
  EXPECT_EQ(t.call(t.array(nums), "sort", {fn(halfDifference)}),
            "-2,-2.1,-1.5,-1.9,-0.5,0,-0.1,-1.1,-0.9,-1,0.9,1.9,1.1,2.1,2");
  // A comparator that makes every pivot the smallest cannot make the sort quadratic.
  std::vector<Value> many;
  for (int i = 0; i < 20000; ++i) many.emplace_back(i);
  comparisons = 0;
  t.call(t.array(many), "sort", {fn(alwaysGreater)});
  EXPECT_LT(comparisons, 20000u * 64);
}

TEST(Avm2TopLevel, MathGlobalsAndFunctionApply) {
  TopLevel t;
  Value math = t.global("Math");
  EXPECT_EQ(t.call(math, "max", {Value(1), Value(7), Value(3)}), "7");
  EXPECT_EQ(t.call(math, "round", {Value(-2.5)}), "-2");
  EXPECT_EQ(t.call(math, "pow", {Value(2), Value(10)}), "1024");
  EXPECT_EQ(t.construct("Math"), "TypeError: Error #1076: Math is not a constructor.");
  Value top(t.m.topLevel);
  EXPECT_EQ(t.call(top, "parseInt", {t.str("  -0x1f")}), "-31");
  EXPECT_EQ(t.call(top, "parseInt", {t.str("12px"), Value(10)}), "12");
  EXPECT_EQ(t.call(top, "parseInt", {t.str("\u2000\u00A01234\u2000")}), "1234");  // Unicode spaces
  // Past 2^53 a power-of-two radix is read exactly and rounded once.
  EXPECT_EQ(t.call(top, "parseInt",
                   {t.str("0000001000000001001000110100010101100111100010011010101111011"), Value(2)}),
            "18054430506169724");
  EXPECT_EQ(t.call(top, "parseFloat", {t.str("3.5e2xyz")}), "350");
  EXPECT_EQ(t.call(top, "isNaN", {t.str("abc")}), "true");
  EXPECT_EQ(t.call(top, "isFinite", {t.str("1e400")}), "false");
  t.call(top, "trace", {t.str("a"), Value(1), Value::null()});
  EXPECT_EQ(t.lines, (std::vector<std::string>{"a 1 null"}));
  // Function.prototype.apply spreads an array over the arguments, call takes them as is.
  Value max = t.m.get(math, "max");
  EXPECT_EQ(t.call(max, "apply", {Value::null(), t.array({Value(4), Value(8)})}), "8");
  EXPECT_EQ(t.call(max, "call", {Value::null(), Value(4), Value(2)}), "4");
  EXPECT_EQ(t.call(max, "apply", {Value::null(), Value(3)}),
            "TypeError: Error #1116: second argument to Function.prototype.apply must be an "
            "array.");
}

TEST(Avm2TopLevel, ObjectsErrorsAndConversions) {
  TopLevel t;
  Object* o = t.m.newObject();
  EXPECT_EQ(t.call(Value(o), "toString"), "[object Object]");
  EXPECT_EQ(t.m.toText(t.global("Array")), "[class Array]");
  // localeCompare with no text: as "null" now, as SWF 9 movies had it before.
  EXPECT_EQ(t.call(t.str("m"), "localeCompare", {Value::null()}), "-1");
  t.m.swfVersion = 9;
  EXPECT_EQ(t.call(t.str("m"), "localeCompare", {Value::null()}), "0");
  EXPECT_EQ(t.call(t.str(""), "localeCompare", {Value()}), "1");
  t.m.swfVersion = 0;
  // A string's length is no property to delete.
  try {
    t.m.deleteProperty(t.str("abc"), t.m.publicName("length"));
    ADD_FAILURE() << "no error";
  } catch (ScriptThrow& e) {
    EXPECT_EQ(t.m.toText(e.value), "ReferenceError: Error #1120: Cannot delete property length on String.");
  }
  EXPECT_FALSE(t.m.deleteProperty(t.str("abc"), t.m.publicName("other")));
  // A string's prototypes are its class's.
  Value stringPrototype = t.m.get(t.global("String"), "prototype");
  EXPECT_EQ(t.call(stringPrototype, "isPrototypeOf", {t.str("s")}), "true");
  EXPECT_EQ(t.call(t.m.get(t.global("Object"), "prototype"), "isPrototypeOf", {Value(3)}), "true");
  EXPECT_EQ(t.call(stringPrototype, "isPrototypeOf", {Value(3)}), "false");
  // Function() makes an empty function with a prototype of its own.
  Value made = t.m.call(t.global("Function"), Value::null(), {});
  EXPECT_EQ(t.m.get(t.m.get(made, "prototype"), "constructor").asObject(), made.asObject());
  // Function.prototype is a function that does nothing.
  Value functionPrototype = t.m.get(t.global("Function"), "prototype");
  EXPECT_EQ(t.call(functionPrototype, "call", {Value::null(), Value(1)}), "undefined");
  EXPECT_EQ(t.m.toText(t.m.call(functionPrototype, Value::null(), {})), "undefined");
  // Object's toString names a function's class and its method's number.
  Value objectToString = t.m.get(t.m.get(t.global("Object"), "prototype"), "toString");
  const std::string ofFunction = t.call(objectToString, "call", {objectToString});
  EXPECT_EQ(ofFunction.rfind("[object Function-", 0), 0u) << ofFunction;
  EXPECT_EQ(t.construct("TypeError", {t.str("bad")}), "TypeError: bad");
  EXPECT_EQ(t.construct("Error"), "Error");
  EXPECT_EQ(t.construct("UninitializedError", {t.str("u")}), "UninitializedError: u");
  // A sealed object has no property of a name in a namespace of scripts' own: #1081.
  Value sealedObject = t.m.construct(Value(static_cast<Object*>(t.m.findClass("flash.utils.ByteArray"))), {});
  Name inOwnNs;
  inOwnNs.name = t.m.intern("name");
  inOwnNs.ns = t.m.namespaces.get(NamespaceKind::User, t.m.intern("IClass"));
  for (const Name& n : {inOwnNs, t.m.publicName("name")}) {
    try {
      t.m.getProperty(sealedObject, n);
      ADD_FAILURE() << "no error";
    } catch (ScriptThrow& e) {
      EXPECT_EQ(t.m.toText(e.value).substr(0, 27),
                n.ns == inOwnNs.ns ? "ReferenceError: Error #1081" : "ReferenceError: Error #1069");
    }
  }
  // Converting an object calls its valueOf, whatever that is.
  Object* noValue = t.m.newObject();
  t.m.set(Value(noValue), "valueOf", Value());
  try {
    t.m.toNumber(Value(noValue));
    ADD_FAILURE() << "no error";
  } catch (ScriptThrow& e) {
    EXPECT_EQ(t.m.toText(e.value), "TypeError: Error #1006: valueOf is not a function.");
  }
  std::vector<Value> errorArgs{t.str("m"), Value(7)};
  Value e = t.m.construct(t.global("RangeError"), errorArgs);
  EXPECT_EQ(t.m.toText(t.m.get(e, "errorID")), "7");
  EXPECT_TRUE(t.m.isInstance(e, static_cast<ClassObject*>(t.global("Error").asObject())));
  EXPECT_EQ(t.m.typeOf(Value(o))->view(), "object");
  EXPECT_EQ(t.m.typeOf(t.global("trace"))->view(), "function");
  EXPECT_EQ(t.call(Value::null(), "toString"),
            "TypeError: Error #1009: Cannot access a property or method of a null object "
            "reference.");
  EXPECT_EQ(t.call(Value(), "toString"),
            "TypeError: Error #1010: A term is undefined and has no properties.");
  EXPECT_EQ(t.call(Value(true), "toString"), "true");
}

TEST(Avm2TopLevel, VectorsCoerceTheirElementsAndKeepToTheirLength) {
  TopLevel t;
  Value generic = t.m.getProperty(
      Value(t.m.topLevel),
      Name{.name = t.m.intern("Vector"),
           .ns = t.m.namespaces.get(NamespaceKind::Public, t.m.intern("__AS3__.vec"))});
  ClassObject* ofInt = t.m.applyType(static_cast<ClassObject*>(generic.asObject()), t.global("int"));
  EXPECT_EQ(ofInt, t.m.applyType(static_cast<ClassObject*>(generic.asObject()), t.global("int")));
  try {  // Vector itself makes no instances
    t.m.construct(generic, {});
    ADD_FAILURE() << "no error";
  } catch (ScriptThrow& e) {
    EXPECT_EQ(t.m.toText(e.value), "TypeError: Error #1007: Instantiation attempted on a non-constructor.");
  }
  std::vector<Value> two{Value(2)};
  Value v = t.m.construct(Value(static_cast<Object*>(ofInt)), two);
  EXPECT_EQ(t.m.toText(v), "0,0");
  EXPECT_EQ(t.call(v, "push", {t.str("7.9"), Value(true)}), "4");
  EXPECT_EQ(t.m.toText(v), "0,0,7,1");
  t.m.setProperty(v, t.m.publicName("4"), Value(3.5));  // the next index appends
  EXPECT_EQ(t.m.toText(v), "0,0,7,1,3");
  try {
    t.m.setProperty(v, t.m.publicName("9"), Value(1));
    ADD_FAILURE() << "a write past the end";
  } catch (ScriptThrow& e) {
    EXPECT_EQ(t.m.toText(e.value), "RangeError: Error #1125: The index 9 is out of range 5.");
  }
  t.m.set(v, "fixed", Value(true));
  EXPECT_EQ(t.call(v, "push", {Value(1)}),
            "RangeError: Error #1126: Cannot change the length of a fixed Vector.");
  EXPECT_EQ(t.call(v, "indexOf", {Value(7)}), "2");  // Array's methods serve vectors too
  // Asked for indices, a vector gives itself back unsorted.
  std::vector<Value> none;
  Value w = t.m.construct(Value(static_cast<Object*>(ofInt)), none);
  t.call(w, "push", {Value(3), Value(1), Value(3)});
  EXPECT_EQ(t.call(w, "sort", {Value(16 | 8)}), "3,1,3");
  EXPECT_EQ(t.call(w, "sort", {Value(16 | 4)}), "3,1,3");  // not unique: itself, as it was
  EXPECT_EQ(t.call(w, "sort", {Value(16)}), "1,3,3");
  // Names that read as numbers are indices; numbers that are no index are out of range.
  auto read = [&](const char* name) {
    try {
      return t.m.toText(t.m.get(w, name));
    } catch (ScriptThrow& e) {
      return t.m.toText(e.value);
    }
  };
  EXPECT_EQ(read("2.0"), "3");
  EXPECT_EQ(read("1.5"), "RangeError: Error #1125: The index 1.5 is out of range 3.");
  EXPECT_EQ(read("-1"), "RangeError: Error #1125: The index -1 is out of range 3.");
  EXPECT_EQ(read("foo").substr(0, 27), "ReferenceError: Error #1069");
  EXPECT_TRUE(t.m.hasProperty(w, t.m.publicName("1.0")));
  EXPECT_FALSE(t.m.hasProperty(w, t.m.publicName("1.5")));
  EXPECT_FALSE(t.m.hasProperty(w, t.m.publicName("3")));
  // The callback methods insist on a function; concat on a vector of its own kind.
  EXPECT_EQ(t.call(w, "filter"),
            "ArgumentError: Error #1063: Argument count mismatch on __AS3__.vec::Vector.<int>/filter(). "
            "Expected 1, got 0.");
  EXPECT_EQ(t.call(w, "map", {t.str("f")}).substr(0, 22), "TypeError: Error #1034");
  EXPECT_EQ(t.call(w, "concat", {t.array({Value(1)})}).substr(0, 22), "TypeError: Error #1034");
  EXPECT_EQ(t.call(w, "concat", {w}), "1,3,3,1,3,3");
  Value objects = t.m.construct(Value(static_cast<Object*>(
                                    t.m.applyType(static_cast<ClassObject*>(generic.asObject()), t.global("Object")))),
                                none);
  EXPECT_EQ(t.call(objects, "pop"), "undefined");
  EXPECT_EQ(t.call(w, "concat", {objects}).substr(0, 22), "TypeError: Error #1034");
  // A missing method of a sealed object is no property at all; of a primitive, no function.
  EXPECT_EQ(t.call(w, "nosuch"),
            "ReferenceError: Error #1069: Property nosuch not found on Vector.<int> and there is no "
            "default value.");
}

TEST(Avm2TopLevel, RegularExpressionsInStringMethods) {
  TopLevel t;
  std::vector<Value> args{t.str("(\\d+)-(?P<word>[a-z]+)"), t.str("g")};
  Value re = t.m.construct(t.global("RegExp"), args);
  EXPECT_EQ(t.m.toText(re), "/(\\d+)-(?P<word>[a-z]+)/g");
  Value s = t.str("12-ab, 3-c");
  EXPECT_EQ(t.call(s, "match", {re}), "12-ab,3-c");
  // Matching nowhere: an empty array for a global pattern, null for another.
  std::vector<Value> nowhere{t.str("zz"), t.str("g")}, once{t.str("zz")};
  EXPECT_EQ(t.call(s, "match", {t.m.construct(t.global("RegExp"), nowhere)}), "");
  EXPECT_EQ(t.call(s, "match", {t.m.construct(t.global("RegExp"), once)}), "null");
  EXPECT_EQ(t.call(s, "replace", {re, t.str("$2$1")}), "ab12, c3");
  EXPECT_EQ(t.call(s, "search", {re}), "0");
  Value found = t.m.callProperty(re, t.m.publicName("exec"), std::span<Value>(&s, 1));
  EXPECT_EQ(t.m.toText(t.m.get(found, "word")), "ab");
  EXPECT_EQ(t.m.toText(t.m.get(re, "lastIndex")), "5");
  EXPECT_EQ(t.call(t.str("a1b22c"), "split", {t.m.construct(t.global("RegExp"),
                                                            std::span<Value>(args.data(), 1))}),
            "a1b22c");
  EXPECT_EQ(t.call(t.str("no undefined here"), "search", {Value()}), "3");
}

TEST(Avm2TopLevel, DatesReadAndSetTheirFieldsInUtc) {
  TopLevel t;
  std::vector<Value> ms{Value(86400000.0 * 365 + 3723004)};  // 1971-01-01 01:02:03.004 UTC
  Value d = t.m.construct(t.global("Date"), ms);
  EXPECT_EQ(t.call(d, "getUTCFullYear"), "1971");
  EXPECT_EQ(t.call(d, "getUTCHours"), "1");
  EXPECT_EQ(t.call(d, "getUTCMilliseconds"), "4");
  EXPECT_EQ(t.call(d, "getUTCDay"), "5");
  EXPECT_EQ(t.call(d, "toUTCString"), "Fri Jan 1 01:02:03 1971 UTC");
  EXPECT_EQ(t.call(d, "setUTCMonth", {Value(1), Value(29)}), "36637323004");  // February 29th is March 1st
  EXPECT_EQ(t.call(d, "getUTCDate"), "1");
  std::vector<Value> fields{Value(2000), Value(0), Value(31)};
  EXPECT_EQ(t.m.toText(t.m.callProperty(t.global("Date"), t.m.publicName("UTC"), fields)),
            "949276800000");
  std::vector<Value> text{t.str("Sat Jan 1 00:00:00 GMT+0100 2000")};
  EXPECT_EQ(t.m.toText(t.m.callProperty(t.global("Date"), t.m.publicName("parse"), text)),
            "946681200000");
  std::vector<Value> bad{Value(std::nan(""))};
  EXPECT_EQ(t.m.toText(t.m.construct(t.global("Date"), bad)), "Invalid Date");
}

TEST(Avm2TopLevel, ArraysSortOnFieldsWithTheirOwnFlags) {
  TopLevel t;
  auto row = [&](const char* name, double age) {
    Value o(t.m.newObject());
    t.m.set(o, "name", t.str(name));
    t.m.set(o, "age", Value(age));
    return o;
  };
  Value people = t.array({row("bob", 30), row("Al", 9), row("cy", 31), row("al", 100)});
  auto names = [&](const Value& a) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += t.m.toText(t.m.get(t.m.get(a, std::to_string(i)), "name")) + " ";
    return out;
  };
  t.call(people, "sortOn", {t.str("age"), Value(16)});  // numeric: 9, 30, 31, 100
  EXPECT_EQ(names(people), "Al bob cy al ");
  t.call(people, "sortOn", {t.str("age")});  // as text: "100" < "30" < "31" < "9"
  EXPECT_EQ(names(people), "al bob cy Al ");
  // Age descending, then name.
  t.call(people, "sortOn", {t.array({t.str("age"), t.str("name")}), t.array({Value(18), Value(1)})});
  EXPECT_EQ(names(people), "al cy bob Al ");
  EXPECT_EQ(t.call(people, "sortOn", {t.str("name"), Value(8)}), "3,0,2,1");  // indices only
  EXPECT_EQ(t.call(people, "sortOn", {t.str("name"), Value(1 | 4)}), "0");  // al and Al are one
}

TEST(Avm2TopLevel, ArrayMethodsWorkOnObjectsWithALength) {
  TopLevel t;
  Value like(t.m.newObject());
  t.m.set(like, "length", Value(2));
  t.m.set(like, "0", t.str("b"));
  t.m.set(like, "1", t.str("a"));
  Value proto = t.m.get(t.global("Array"), "prototype");
  auto apply = [&](const char* method, std::vector<Value> args = {}) {
    return t.m.toText(t.m.call(t.m.get(proto, method), like, args));
  };
  EXPECT_EQ(apply("push", {t.str("c")}), "3");
  EXPECT_EQ(t.m.toText(t.m.get(like, "2")), "c");
  EXPECT_EQ(apply("join", {t.str("-")}), "b-a-c");
  EXPECT_EQ(apply("sort"), "[object Object]");  // sorts in place, returns the object
  EXPECT_EQ(apply("join"), "a,b,c");
  EXPECT_EQ(apply("pop"), "c");
  EXPECT_EQ(t.m.toText(t.m.get(like, "length")), "2");
  EXPECT_FALSE(t.m.hasProperty(like, t.m.publicName("2")));
  EXPECT_EQ(apply("indexOf", {t.str("b")}), "1");
}

TEST(Avm2TopLevel, MissingElementsAreNoPropertiesAndReadThroughThePrototype) {
  TopLevel t;
  std::vector<Value> five = {Value(5)};
  Value a = t.m.construct(t.global("Array"), five);
  Value proto = t.m.get(t.global("Array"), "prototype");
  t.m.set(proto, "3", t.str("inherited"));
  t.m.set(a, "1", t.str("one"));
  t.m.set(a, "2", t.str("two"));
  EXPECT_EQ(t.m.toText(t.m.get(a, "3")), "inherited");
  EXPECT_EQ(t.m.toText(t.m.get(a, "0")), "undefined");
  EXPECT_FALSE(t.m.hasProperty(a, t.m.publicName("0")));
  EXPECT_EQ(t.call(a, "hasOwnProperty", {t.str("3")}), "false");
  EXPECT_EQ(t.call(a, "hasOwnProperty", {t.str("2")}), "true");
  // for-in lists only the elements the array has.
  std::vector<std::string> names;
  Object* o = a.asObject();
  for (uint32_t i = t.m.nextIndex(o, 0); i; i = t.m.nextIndex(o, i)) names.push_back(t.m.toText(t.m.nameAt(o, i)));
  EXPECT_EQ(names, (std::vector<std::string>{"1", "2"}));
  // pop takes the last element there is and shortens the array by one.
  EXPECT_EQ(t.call(a, "pop"), "two");
  EXPECT_EQ(t.m.toText(t.m.get(a, "length")), "4");
  EXPECT_FALSE(t.m.hasProperty(a, t.m.publicName("2")));
  // A deleted element becomes missing again; what it reads as comes from the prototype.
  t.m.set(a, "3", t.str("own"));
  EXPECT_TRUE(t.m.deleteProperty(a, t.m.publicName("3")));
  EXPECT_EQ(t.m.toText(t.m.get(a, "3")), "inherited");
  // Taking a missing element out gives undefined, not the prototype's.
  EXPECT_EQ(t.call(a, "removeAt", {Value(3)}), "undefined");
  EXPECT_EQ(t.call(t.array({Value(5), Value(7)}), "lastIndexOf", {Value(5), Value(-9)}), "0");
}

TEST(Avm2TopLevel, VectorMethodsMakeVectorsOfTheirOwnType) {
  TopLevel t;
  Value generic = t.m.getProperty(
      Value(t.m.topLevel),
      Name{.name = t.m.intern("Vector"),
           .ns = t.m.namespaces.get(NamespaceKind::Public, t.m.intern("__AS3__.vec"))});
  auto* g = static_cast<ClassObject*>(generic.asObject());
  ClassObject* ofInt = t.m.applyType(g, t.global("int"));
  std::vector<Value> three{Value(3)};
  Value v = t.m.construct(Value(static_cast<Object*>(ofInt)), three);
  t.m.set(v, "0", Value(5));
  t.m.set(v, "2", Value(-1));
  for (const char* method : {"slice", "concat"}) {
    Value r = t.m.callProperty(v, t.m.publicName(method), {});
    EXPECT_EQ(t.m.classOf(r), ofInt) << method;
    EXPECT_EQ(t.m.toText(r), "5,0,-1") << method;
  }
  std::vector<Value> cut{Value(0), Value(2)};
  Value removed = t.m.callProperty(v, t.m.publicName("splice"), cut);
  EXPECT_EQ(t.m.classOf(removed), ofInt);
  EXPECT_EQ(t.m.toText(removed), "5,0");
  EXPECT_EQ(t.m.toText(v), "-1");
  // A vector of any class is a kind of Vector.<*>; vectors of numbers are not.
  ClassObject* ofAny = t.m.applyType(g, Value::null());
  ClassObject* ofString = t.m.applyType(g, t.global("String"));
  EXPECT_TRUE(ofString->isSubclassOf(ofAny));
  EXPECT_FALSE(ofInt->isSubclassOf(ofAny));
}

TEST(Avm2TopLevel, NumbersMathFunctionsInsistOnTheirArguments) {
  TopLevel t;
  EXPECT_EQ(t.call(t.global("Number"), "floor", {Value(2.5)}), "2");
  EXPECT_EQ(t.call(t.global("Number"), "max", {Value(1), Value(4), Value(2)}), "4");
  EXPECT_EQ(t.call(t.global("Number"), "acos").substr(0, 31), "ArgumentError: Error #1063: Arg");
  EXPECT_EQ(t.call(t.global("Math"), "acos"), "NaN");  // Math's take what they are given
}

}  // namespace
}  // namespace orv::movie::avm2
