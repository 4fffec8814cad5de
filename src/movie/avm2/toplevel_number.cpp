// Number, int and uint: conversions and the printing methods.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"

namespace orv::movie::avm2 {

namespace {

double thisNumber(Machine& m, const Value& self, const char* method) {
  if (self.isNumeric()) return self.numeric();
  // The prototypes of the number classes stand for the number 0.
  if (self.isObject())
    for (ClassObject* c : {m.numberClass, m.intClass, m.uintClass})
      if (c && self.asObject() == c->prototypeObject) return 0;
  m.fail(ErrorClass::TypeError, 1004, {method});
}

std::string radixText(double d, int radix) {
  if (std::isnan(d) || std::isinf(d)) return numberToText(d);
  const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
  bool negative = d < 0;
  d = std::fabs(d);
  double whole = std::floor(d);
  double fraction = d - whole;
  std::string out;
  if (whole == 0) out = "0";
  while (whole >= 1 && out.size() < 1100) {
    double q = std::floor(whole / radix);
    int digit = static_cast<int>(whole - q * radix);
    out.insert(out.begin(), digits[digit < 0 ? 0 : digit % radix]);
    whole = q;
  }
  // The player prints only the integer part in a radix other than 10.
  (void)fraction;
  return negative && out != "0" ? "-" + out : out;
}

Value numberToString(Machine& m, const Value& self, std::span<Value> args) {
  double d = thisNumber(m, self, "Number.prototype.toString");
  int radix = args.empty() || args[0].isUndefined() ? 10 : m.toInt(args[0]);
  if (radix < 2 || radix > 36) m.fail(ErrorClass::RangeError, 1003, {std::to_string(radix)});
  if (radix == 10) return Value(StringRef(numberToText(d)));
  return Value(StringRef(radixText(d, radix)));
}

Value numberValueOf(Machine& m, const Value& self, std::span<Value>) {
  return Value::number(thisNumber(m, self, "Number.prototype.valueOf"));
}

int digitsArg(Machine& m, std::span<Value> args, int low, int high) {
  double p = args.empty() ? 0 : m.toNumber(args[0]);
  if (std::isnan(p)) p = 0;
  if (p < low || p > high) m.fail(ErrorClass::RangeError, 1002);
  return static_cast<int>(p);
}

// "1.5e+21" as the language prints exponents: no leading zeros.
std::string trimExponent(const char* text) {
  std::string s(text);
  size_t e = s.find('e');
  if (e == std::string::npos) return s;
  std::string mantissa = s.substr(0, e);
  char sign = s[e + 1];
  size_t i = e + 2;
  while (i + 1 < s.size() && s[i] == '0') ++i;
  return mantissa + "e" + sign + s.substr(i);
}

Value toFixed(Machine& m, const Value& self, std::span<Value> args) {
  double d = thisNumber(m, self, "Number.prototype.toFixed");
  int digits = digitsArg(m, args, 0, 20);
  if (std::isnan(d) || std::fabs(d) >= 1e21) return Value(StringRef(numberToText(d)));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", digits, d);
  std::string s(buf);
  if (s[0] == '-' && std::fabs(d) * std::pow(10.0, digits) < 0.5) s.erase(0, 1);  // no "-0.00"
  return Value(StringRef(s));
}

Value toExponential(Machine& m, const Value& self, std::span<Value> args) {
  double d = thisNumber(m, self, "Number.prototype.toExponential");
  int digits = digitsArg(m, args, 0, 20);
  if (std::isnan(d) || std::isinf(d)) return Value(StringRef(numberToText(d)));
  // The player's digit generator finds no leading digit in zero (of either sign) and
  // prints the remains of its search.
  if (d == 0) return Value(StringRef(digits == 0 ? "1e-15" : "0." + std::string(digits, '0') + "e-16"));
  // The player cuts the digits off rather than rounding them: 16716550 with one digit is
  // 1.6e+7. Printing far more digits than asked and dropping the rest does the same.
  char buf[160];
  std::snprintf(buf, sizeof buf, "%.*e", 120, d);
  std::string full(buf);
  const size_t e = full.find('e');
  const size_t point = full.find('.');
  std::string text = full.substr(0, digits == 0 ? point : point + 1 + digits) + full.substr(e);
  text = trimExponent(text.c_str());
  // An exponent of zero is left out: "1.5", not "1.5e+0".
  if (text.ends_with("e+0")) text.resize(text.size() - 3);
  return Value(StringRef(text));
}

Value toPrecision(Machine& m, const Value& self, std::span<Value> args) {
  double d = thisNumber(m, self, "Number.prototype.toPrecision");
  if (args.empty() || args[0].isUndefined()) return Value(StringRef(numberToText(d)));
  int p = digitsArg(m, args, 1, 21);
  if (std::isnan(d) || std::isinf(d)) return Value(StringRef(numberToText(d)));
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*e", p - 1, d);
  // Zero counts as a number below one: all p digits follow the point.
  int e = d == 0 ? -1 : std::atoi(std::strchr(buf, 'e') + 1);
  // Small numbers stay in positional notation however many zeros that takes.
  if (e >= p) return Value(StringRef(trimExponent(buf)));
  std::snprintf(buf, sizeof buf, "%.*f", p - 1 - e, d == 0 ? 0.0 : d);
  return Value(StringRef(buf));
}

Value numberMake(Machine& m, const Value&, std::span<Value> args) {
  return args.empty() ? Value(int32_t(0)) : Value::number(m.toNumber(args[0]));
}

Value intMake(Machine& m, const Value&, std::span<Value> args) {
  return Value(args.empty() ? 0 : m.toInt(args[0]));
}

Value uintMake(Machine& m, const Value&, std::span<Value> args) {
  return Value(args.empty() ? 0u : m.toUint(args[0]));
}

constexpr double kInf = std::numeric_limits<double>::infinity();

const NativeMember kNumberMembers[] = {
    {"toString", MemberKind::Method, numberToString, 1},
    {"toLocaleString", MemberKind::Method, numberToString},
    {"valueOf", MemberKind::Method, numberValueOf},
    {"toFixed", MemberKind::Method, toFixed, 1},
    {"toExponential", MemberKind::Method, toExponential, 1},
    {"toPrecision", MemberKind::Method, toPrecision, 1},
    {"MAX_VALUE", MemberKind::Constant, nullptr, 0, std::numeric_limits<double>::max()},
    {"MIN_VALUE", MemberKind::Constant, nullptr, 0, std::numeric_limits<double>::denorm_min()},
    {"NaN", MemberKind::Constant, nullptr, 0, std::numeric_limits<double>::quiet_NaN()},
    {"NEGATIVE_INFINITY", MemberKind::Constant, nullptr, 0, -kInf},
    {"POSITIVE_INFINITY", MemberKind::Constant, nullptr, 0, kInf},
    {"E", MemberKind::Constant, nullptr, 0, 2.718281828459045},
    {"LN10", MemberKind::Constant, nullptr, 0, 2.302585092994046},
    {"LN2", MemberKind::Constant, nullptr, 0, 0.6931471805599453},
    {"LOG10E", MemberKind::Constant, nullptr, 0, 0.4342944819032518},
    {"LOG2E", MemberKind::Constant, nullptr, 0, 1.4426950408889634},
    {"PI", MemberKind::Constant, nullptr, 0, 3.141592653589793},
    {"SQRT1_2", MemberKind::Constant, nullptr, 0, 0.7071067811865476},
    {"SQRT2", MemberKind::Constant, nullptr, 0, 1.4142135623730951},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

const NativeMember kIntMembers[] = {
    {"toString", MemberKind::Method, numberToString, 1},
    {"toLocaleString", MemberKind::Method, numberToString},
    {"valueOf", MemberKind::Method, numberValueOf},
    {"toFixed", MemberKind::Method, toFixed, 1},
    {"toExponential", MemberKind::Method, toExponential, 1},
    {"toPrecision", MemberKind::Method, toPrecision, 1},
    {"MAX_VALUE", MemberKind::Constant, nullptr, 0, 2147483647.0},
    {"MIN_VALUE", MemberKind::Constant, nullptr, 0, -2147483648.0},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

const NativeMember kUintMembers[] = {
    {"toString", MemberKind::Method, numberToString, 1},
    {"toLocaleString", MemberKind::Method, numberToString},
    {"valueOf", MemberKind::Method, numberValueOf},
    {"toFixed", MemberKind::Method, toFixed, 1},
    {"toExponential", MemberKind::Method, toExponential, 1},
    {"toPrecision", MemberKind::Method, toPrecision, 1},
    {"MAX_VALUE", MemberKind::Constant, nullptr, 0, 4294967295.0},
    {"MIN_VALUE", MemberKind::Constant, nullptr, 0, 0},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

}  // namespace

void installNumberClasses(Machine& m) {
  auto numeric = [&](const char* name, std::span<const NativeMember> members, NativeCode make) {
    return installClass(m, {.name = name,
                            .members = members,
                            .call = make,
                            .construct = make,
                            .dynamic = false,
                            .isFinal = true});
  };
  m.numberClass = numeric("Number", kNumberMembers, numberMake);
  m.intClass = numeric("int", kIntMembers, intMake);
  m.uintClass = numeric("uint", kUintMembers, uintMake);
}

}  // namespace orv::movie::avm2
