// Math, the Error classes and the global functions.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <limits>
#include <random>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"

namespace orv::movie::avm2 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double num(Machine& m, std::span<Value> args, size_t i) {
  return i < args.size() ? m.toNumber(args[i]) : kNaN;
}

template <double (*F)(double)>
Value unary(Machine& m, const Value&, std::span<Value> args) {
  return Value::number(F(num(m, args, 0)));
}

double roundHalfUp(double d) {
  if (std::isnan(d) || std::isinf(d)) return d;
  double r = std::floor(d + 0.5);
  if (r == 0 && (d < 0 || std::signbit(d))) return -0.0;
  return r;
}

Value atan2(Machine& m, const Value&, std::span<Value> args) {
  return Value::number(std::atan2(num(m, args, 0), num(m, args, 1)));
}

Value pow(Machine& m, const Value&, std::span<Value> args) {
  double x = num(m, args, 0), y = num(m, args, 1);
  if (std::isnan(y) || ((x == 1 || x == -1) && std::isinf(y))) return Value(kNaN);
  return Value::number(std::pow(x, y));
}

Value minMax(Machine& m, std::span<Value> args, bool max) {
  double r = max ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  for (const Value& v : args) {
    double d = m.toNumber(v);
    if (std::isnan(d)) return Value(kNaN);
    if (max ? (d > r || (d == 0 && r == 0 && !std::signbit(d))) : (d < r || (d == 0 && r == 0 && std::signbit(d))))
      r = d;
  }
  return Value::number(r);
}

Value max(Machine& m, const Value&, std::span<Value> args) { return minMax(m, args, true); }
Value min(Machine& m, const Value&, std::span<Value> args) { return minMax(m, args, false); }

Value random(Machine&, const Value&, std::span<Value>) {
  static std::mt19937_64 engine(std::random_device{}());
  return Value(std::uniform_real_distribution<double>(0.0, 1.0)(engine));
}

Value notAFunction(Machine& m, const Value&, std::span<Value>) {
  m.fail(ErrorClass::TypeError, 1075);
}
Value notAConstructor(Machine& m, const Value&, std::span<Value>) {
  m.fail(ErrorClass::TypeError, 1076);
}

const NativeMember kMathMembers[] = {
    {"abs", MemberKind::StaticMethod, unary<std::fabs>, 1},
    {"acos", MemberKind::StaticMethod, unary<std::acos>, 1},
    {"asin", MemberKind::StaticMethod, unary<std::asin>, 1},
    {"atan", MemberKind::StaticMethod, unary<std::atan>, 1},
    {"atan2", MemberKind::StaticMethod, atan2, 2},
    {"ceil", MemberKind::StaticMethod, unary<std::ceil>, 1},
    {"cos", MemberKind::StaticMethod, unary<std::cos>, 1},
    {"exp", MemberKind::StaticMethod, unary<std::exp>, 1},
    {"floor", MemberKind::StaticMethod, unary<std::floor>, 1},
    {"log", MemberKind::StaticMethod, unary<std::log>, 1},
    {"max", MemberKind::StaticMethod, max, 2},
    {"min", MemberKind::StaticMethod, min, 2},
    {"pow", MemberKind::StaticMethod, pow, 2},
    {"random", MemberKind::StaticMethod, random},
    {"round", MemberKind::StaticMethod, unary<roundHalfUp>, 1},
    {"sin", MemberKind::StaticMethod, unary<std::sin>, 1},
    {"sqrt", MemberKind::StaticMethod, unary<std::sqrt>, 1},
    {"tan", MemberKind::StaticMethod, unary<std::tan>, 1},
    {"E", MemberKind::Constant, nullptr, 0, 2.718281828459045},
    {"LN10", MemberKind::Constant, nullptr, 0, 2.302585092994046},
    {"LN2", MemberKind::Constant, nullptr, 0, 0.6931471805599453},
    {"LOG10E", MemberKind::Constant, nullptr, 0, 0.4342944819032518},
    {"LOG2E", MemberKind::Constant, nullptr, 0, 1.4426950408889634},
    {"PI", MemberKind::Constant, nullptr, 0, 3.141592653589793},
    {"SQRT1_2", MemberKind::Constant, nullptr, 0, 0.7071067811865476},
    {"SQRT2", MemberKind::Constant, nullptr, 0, 1.4142135623730951},
};

// Number's copies of Math's functions take exactly their declared arguments
// (max and min any number), as typed methods do.
template <NativeCode Code, size_t Count>
Value strict(Machine& m, const Value& self, std::span<Value> args) {
  if (Count != SIZE_MAX && args.size() != Count)
    m.fail(ErrorClass::ArgumentError, 1063,
           {"Function/<anonymous>()", std::to_string(Count), std::to_string(args.size())});
  return Code(m, self, args);
}

constexpr size_t kAny = SIZE_MAX;

const NativeMember kNumberMath[] = {
    {"abs", MemberKind::StaticMethod, strict<unary<std::fabs>, 1>, 1},
    {"acos", MemberKind::StaticMethod, strict<unary<std::acos>, 1>, 1},
    {"asin", MemberKind::StaticMethod, strict<unary<std::asin>, 1>, 1},
    {"atan", MemberKind::StaticMethod, strict<unary<std::atan>, 1>, 1},
    {"atan2", MemberKind::StaticMethod, strict<atan2, 2>, 2},
    {"ceil", MemberKind::StaticMethod, strict<unary<std::ceil>, 1>, 1},
    {"cos", MemberKind::StaticMethod, strict<unary<std::cos>, 1>, 1},
    {"exp", MemberKind::StaticMethod, strict<unary<std::exp>, 1>, 1},
    {"floor", MemberKind::StaticMethod, strict<unary<std::floor>, 1>, 1},
    {"log", MemberKind::StaticMethod, strict<unary<std::log>, 1>, 1},
    {"max", MemberKind::StaticMethod, strict<max, kAny>, 2},
    {"min", MemberKind::StaticMethod, strict<min, kAny>, 2},
    {"pow", MemberKind::StaticMethod, strict<pow, 2>, 2},
    {"random", MemberKind::StaticMethod, strict<random, 0>},
    {"round", MemberKind::StaticMethod, strict<unary<roundHalfUp>, 1>, 1},
    {"sin", MemberKind::StaticMethod, strict<unary<std::sin>, 1>, 1},
    {"sqrt", MemberKind::StaticMethod, strict<unary<std::sqrt>, 1>, 1},
    {"tan", MemberKind::StaticMethod, strict<unary<std::tan>, 1>, 1},
};

// ---- Error ----

Value errorInit(Machine& m, const Value& self, std::span<Value> args) {
  Object* o = receiver<Object>(m, self, "Error");
  String* messageName = m.intern("message");
  const Binding* message = o->traits() ? o->traits()->find(messageName, m.publicNs) : nullptr;
  const Binding* name = o->traits() ? o->traits()->find(m.intern("name"), m.publicNs) : nullptr;
  const Binding* id = o->traits() ? o->traits()->find(m.intern("errorID"), m.publicNs) : nullptr;
  if (!message || !name || !id) return Value();
  o->slots()[message->index] =
      args.empty() || args[0].isUndefined() ? Value(m.intern("")) : Value(m.toString(args[0]));
  o->slots()[id->index] = Value(args.size() > 1 ? m.toInt(args[1]) : 0);
  // The name the nearest built-in error class gives its instances; those of flash.errors
  // leave it to Error's constructor, which gives "Error".
  ClassObject* named = o->klass();
  while (named && named->base && named->ns && named->ns->uri &&
         named->ns->uri->view() == "flash.errors")
    named = named->base;
  Value className = m.get(Value(named->prototypeObject), "name");
  o->slots()[name->index] = className.isUndefined() ? Value(m.intern("Error")) : className;
  return Value();
}

Value errorToString(Machine& m, const Value& self, std::span<Value>) {
  if (!self.isObject()) m.fail(ErrorClass::TypeError, 1004, {"Error.prototype.toString"});
  std::string name = m.toText(m.get(self, "name"));
  Value message = m.get(self, "message");
  std::string text = message.isNullish() ? "" : m.toText(message);
  return Value(StringRef(text.empty() ? name : name + ": " + text));
}

Value errorStackTrace(Machine&, const Value&, std::span<Value>) { return Value::null(); }

Value errorMake(Machine& m, const Value& self, std::span<Value> args) {
  return m.construct(self, args);
}

const NativeMember kErrorMembers[] = {
    {"message", MemberKind::Slot},
    {"name", MemberKind::Slot},
    {"errorID", MemberKind::Slot},
    {"toString", MemberKind::Method, errorToString},
    {"getStackTrace", MemberKind::Method, errorStackTrace},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

const NativeMember kErrorSubclassMembers[] = {
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

// ---- Global functions ----

Value trace(Machine& m, const Value&, std::span<Value> args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) line += ' ';
    line += m.toString(args[i]).view();
  }
  // The player's output ends at a zero character, as C text does.
  if (size_t nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
  m.traceLine(line);
  return Value();
}

Value isNaN(Machine& m, const Value&, std::span<Value> args) {
  return Value(std::isnan(num(m, args, 0)));
}

Value isFinite(Machine& m, const Value&, std::span<Value> args) {
  return Value(std::isfinite(num(m, args, 0)));
}

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// White space: ASCII's, and Unicode's space separators, line and paragraph separators and
// the byte order mark, as UTF-8.
std::string_view skipLeadingSpace(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = [&](size_t k) { return i + k < s.size() ? uint8_t(s[i + k]) : 0; };
    if (s[i] == ' ' || (s[i] >= 9 && s[i] <= 13)) {
      i += 1;
    } else if (b(0) == 0xC2 && b(1) == 0xA0) {  // U+00A0
      i += 2;
    } else if (b(0) == 0xE2 && b(1) == 0x80 && (b(2) <= 0x8A || b(2) == 0xA8 || b(2) == 0xA9 || b(2) == 0xAF)) {
      i += 3;  // U+2000..U+200A, U+2028, U+2029, U+202F
    } else if ((b(0) == 0xE2 && b(1) == 0x81 && b(2) == 0x9F) || (b(0) == 0xE1 && b(1) == 0x9A && b(2) == 0x80) ||
               (b(0) == 0xE3 && b(1) == 0x80 && b(2) == 0x80) || (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF)) {
      i += 3;  // U+205F, U+1680, U+3000, U+FEFF
    } else {
      break;
    }
  }
  return s.substr(i);
}

// Digits of a power-of-two radix, read exactly and rounded once to the nearest double
// (ties to even).
double exactPowerOfTwoDigits(const std::vector<int>& digits, int bitsPerDigit) {
  std::vector<uint8_t> bits;
  for (int d : digits)
    for (int k = bitsPerDigit - 1; k >= 0; --k) {
      const uint8_t bit = uint8_t((d >> k) & 1);
      if (!bits.empty() || bit) bits.push_back(bit);
    }
  if (bits.size() > 2000) return INFINITY;
  uint64_t mantissa = 0;
  const size_t kept = std::min<size_t>(bits.size(), 53);
  for (size_t k = 0; k < kept; ++k) mantissa = mantissa << 1 | bits[k];
  if (bits.size() > 53) {
    const bool half = bits[53];
    bool rest = false;
    for (size_t k = 54; k < bits.size(); ++k) rest = rest || bits[k];
    if (half && (rest || (mantissa & 1))) ++mantissa;
  }
  return std::ldexp(double(mantissa), int(bits.size() - kept));
}

// 10^n by squaring, as the player's number reader scales its digits.
double powerOfTen(uint32_t n) {
  double result = 1, base = 10;
  for (; n; n >>= 1, base *= base)
    if (n & 1) result *= base;
  return result;
}

// The text argument of parseInt and parseFloat, a String parameter defaulting to "NaN":
// undefined arrives as null.
std::string numberText(Machine& m, std::span<Value> args) {
  if (args.empty()) return "NaN";
  return args[0].isUndefined() ? "null" : m.toText(args[0]);
}

Value parseInt(Machine& m, const Value&, std::span<Value> args) {
  std::string text = numberText(m, args);
  std::string_view s = skipLeadingSpace(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int radix = args.size() > 1 ? m.toInt(args[1]) : 0;
  if (radix != 0 && (radix < 2 || radix > 36)) return Value(kNaN);
  if ((radix == 0 || radix == 16) && s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    radix = 16;
  }
  if (radix == 0) radix = 10;
  double v = 0;
  std::vector<int> digits;
  for (char c : s) {
    int d = digitValue(c);
    if (d >= radix) break;
    v = v * radix + d;
    digits.push_back(d);
  }
  if (digits.empty()) return Value(kNaN);
  if ((radix & (radix - 1)) == 0 && v >= 9007199254740992.0)
    v = exactPowerOfTwoDigits(digits, std::countr_zero(unsigned(radix)));
  return Value::number(negative ? -v : v);
}

Value parseFloat(Machine& m, const Value&, std::span<Value> args) {
  std::string text = numberText(m, args);
  std::string_view s = skipLeadingSpace(text);
  // The player reads the digits as one whole number, then scales it by the exponent less
  // the fraction's digits; the exponent wraps as a 32-bit integer.
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  double mantissa = 0;
  size_t digits = 0;
  uint32_t fractionDigits = 0;
  auto isDigit = [&](size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
  for (; isDigit(i); ++i, ++digits) mantissa = mantissa * 10 + (s[i] - '0');
  if (i < s.size() && s[i] == '.') {
    for (++i; isDigit(i); ++i, ++digits, ++fractionDigits) mantissa = mantissa * 10 + (s[i] - '0');
  }
  uint32_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    bool signedExponent = false, negativeExponent = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      signedExponent = true;
      negativeExponent = s[j++] == '-';
    }
    if (isDigit(j)) {
      for (; isDigit(j); ++j) exponent = exponent * 10 + uint32_t(s[j] - '0');
      if (negativeExponent) exponent = 0u - exponent;
      i = j;
    } else if (signedExponent) {
      return Value(kNaN);  // "10e-": a sign promises digits
    }
  }
  if (digits == 0) {
    // No number: Infinity may follow what was read, then the end or a space.
    std::string_view rest = skipLeadingSpace(s.substr(i));
    if (rest.substr(0, 8) == "Infinity" &&
        (rest.size() == 8 || skipLeadingSpace(rest.substr(8)).size() < rest.size() - 8))
      return Value(negative ? -INFINITY : INFINITY);
    return Value(kNaN);
  }
  const auto scale = static_cast<int32_t>(exponent - fractionDigits);
  double v = mantissa;
  if (mantissa != 0) {
    if (scale < 0) v /= powerOfTen(0u - static_cast<uint32_t>(scale));
    else v *= powerOfTen(static_cast<uint32_t>(scale));
  }
  return Value::number(negative ? -v : v);
}

const NativeMember kGlobals[] = {
    {"trace", MemberKind::Method, trace, 1},
    {"isNaN", MemberKind::Method, isNaN, 1},
    {"isFinite", MemberKind::Method, isFinite, 1},
    {"parseInt", MemberKind::Method, parseInt, 2},
    {"parseFloat", MemberKind::Method, parseFloat, 1},
    {"NaN", MemberKind::Constant, nullptr, 0, kNaN},
    {"Infinity", MemberKind::Constant, nullptr, 0, INFINITY},
};

}  // namespace

void installMathClass(Machine& m) {
  installClass(m, {.name = "Math",
                   .members = kMathMembers,
                   .call = notAFunction,
                   .construct = notAConstructor,
                   .dynamic = false,
                   .isFinal = true});
  Traits& statics = *m.numberClass->classTraits;
  for (const NativeMember& row : kNumberMath) {
    uint32_t index = statics.addMethod({m.nativeMethod(row.code, row.length, row.name), m.numberClass});
    statics.bind(m.intern(row.name), m.publicNs, {BindKind::Method, index});
  }
}

void installErrorClasses(Machine& m) {
  ClassObject* error = installClass(
      m, {.name = "Error", .members = kErrorMembers, .init = errorInit, .call = errorMake, .initLength = 1});
  error->prototypeObject->setHidden(m.intern("name"), Value(m.intern("Error")));
  error->prototypeObject->setHidden(m.intern("message"), Value(m.intern("Error")));
  m.errorClasses[0] = error;
  for (int i = 1; i < static_cast<int>(ErrorClass::Count); ++i) {
    const char* name = errorClassName(static_cast<ErrorClass>(i));
    ClassObject* c =
        installClass(m, {.name = name, .base = "Error", .members = kErrorSubclassMembers, .call = errorMake});
    c->prototypeObject->setHidden(m.intern("name"), Value(m.intern(name)));
    m.errorClasses[i] = c;
  }
  // The top level's one error class the machine itself never throws.
  ClassObject* uninitialized = installClass(
      m, {.name = "UninitializedError", .base = "Error", .members = kErrorSubclassMembers, .call = errorMake});
  uninitialized->prototypeObject->setHidden(m.intern("name"), Value(m.intern("UninitializedError")));
}

void installGlobalFunctions(Machine& m) {
  installGlobals(m, "", kGlobals);
  m.defineGlobal(m.intern("undefined"), m.publicNs, Value());
}

}  // namespace orv::movie::avm2
