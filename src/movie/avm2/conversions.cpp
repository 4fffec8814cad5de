#include "movie/avm2/conversions.h"

#include "movie/avm2/objects.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include <cstdio>

namespace orv::movie::avm2 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ECMA-262 white space and line terminators (the ASCII ones, no-break space, the line and
// paragraph separators and the byte order mark), skipped from `pos` forward.
size_t skipSpace(std::string_view t, size_t pos) {
  while (pos < t.size()) {
    unsigned char c = static_cast<unsigned char>(t[pos]);
    if (c == ' ' || (c >= 0x09 && c <= 0x0D)) {
      ++pos;
    } else if (c == 0xC2 && pos + 1 < t.size() && static_cast<unsigned char>(t[pos + 1]) == 0xA0) {
      pos += 2;
    } else if (c == 0xE2 && pos + 2 < t.size() && static_cast<unsigned char>(t[pos + 1]) == 0x80 &&
               (static_cast<unsigned char>(t[pos + 2]) == 0xA8 ||
                static_cast<unsigned char>(t[pos + 2]) == 0xA9)) {
      pos += 3;
    } else if (c == 0xEF && t.substr(pos, 3) == "\xEF\xBB\xBF") {
      pos += 3;
    } else {
      break;
    }
  }
  return pos;
}

std::string_view trim(std::string_view t) {
  size_t begin = skipSpace(t, 0);
  size_t end = t.size();
  // Trailing space: walk back over whatever skipSpace would accept.
  while (end > begin) {
    size_t lastStart = end - 1;
    while (lastStart > begin && (static_cast<unsigned char>(t[lastStart]) & 0xC0) == 0x80)
      --lastStart;
    if (skipSpace(t.substr(0, end), lastStart) != end) break;
    end = lastStart;
  }
  return t.substr(begin, end - begin);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A whole StrDecimalLiteral: [+-] (digits [. digits] | . digits) [e [+-] digits].
bool isDecimalLiteral(std::string_view t) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t intDigits = 0, fracDigits = 0;
  while (i < t.size() && isDigit(t[i])) ++i, ++intDigits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && isDigit(t[i])) ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < t.size() && isDigit(t[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == t.size();
}

}  // namespace

std::string numberToText(double d) {
  if (std::isnan(d)) return "NaN";
  if (d == 0) return "0";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  std::string out = d < 0 ? "-" : "";
  double m = std::fabs(d);
  // The fewest significant digits that read back as m: d.ddde[+-]x.
  char buf[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, m);
    if (std::strtod(buf, nullptr) == m) break;
  }
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p != '.') digits += *p;
  int n = std::atoi(p + 1) + 1;  // the decimal point sits after n digits
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int k = static_cast<int>(digits.size());
  if (k <= n && n <= 21) {
    out += digits + std::string(size_t(n - k), '0');
  } else if (0 < n && n <= 21) {
    out += digits.substr(0, size_t(n)) + "." + digits.substr(size_t(n));
  } else if (-6 < n && n <= 0) {
    out += "0." + std::string(size_t(-n), '0') + digits;
  } else {
    // Above 1e21 the player keeps at most 15 significant digits, cut off rather than
    // rounded: Number.MAX_VALUE prints as 1.79769313486231e+308.
    if (n > 21 && digits.size() > 15) {
      digits.resize(15);
      while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    }
    const size_t kept = digits.size();
    out += digits.substr(0, 1);
    if (kept > 1) out += "." + digits.substr(1);
    out += n - 1 >= 0 ? "e+" : "e-";
    out += std::to_string(std::abs(n - 1));
  }
  return out;
}

Value Value::number(double d) {
  if (d >= -2147483648.0 && d <= 2147483647.0) {
    auto i = static_cast<int32_t>(d);
    if (i == d && !(i == 0 && std::signbit(d))) return Value(i);
  }
  return Value(d);
}

double stringToNumber(std::string_view text) {
  std::string_view t = trim(text);
  if (t.empty()) return 0;
  // Hexadecimal, signed as the player allows ("-0x10" is -16); up to 16 digits exactly.
  const bool negativeHex = t.size() > 3 && t[0] == '-' && t[1] == '0' && (t[2] == 'x' || t[2] == 'X');
  const std::string_view hex = negativeHex ? t.substr(1) : t;
  if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) {
    double n = 0;
    uint64_t exact = 0;
    for (size_t i = 2; i < hex.size(); ++i) {
      int d = hexDigit(hex[i]);
      if (d < 0) return kNaN;
      n = n * 16 + d;
      exact = exact << 4 | uint64_t(d);
    }
    if (hex.size() - 2 <= 16) n = static_cast<double>(exact);
    return negativeHex ? -n : n;
  }
  if (t == "Infinity" || t == "+Infinity") return std::numeric_limits<double>::infinity();
  if (t == "-Infinity") return -std::numeric_limits<double>::infinity();
  if (!isDecimalLiteral(t)) return kNaN;
  std::string copy(t);
  return std::strtod(copy.c_str(), nullptr);
}

double toNumber(const Value& v) {
  switch (v.kind()) {
    case ValueKind::Undefined:
      return kNaN;
    case ValueKind::Null:
      return 0;
    case ValueKind::Boolean:
      return v.asBool() ? 1 : 0;
    case ValueKind::Int:
      return v.asInt();
    case ValueKind::Uint:
      return v.asUint();
    case ValueKind::Number:
      return v.asDouble();
    case ValueKind::String:
      return stringToNumber(v.asString()->view());
    case ValueKind::Namespace:
      return stringToNumber(v.asNamespace()->uri->view());
    case ValueKind::Object:
      return kNaN;
  }
  return kNaN;
}

bool toBoolean(const Value& v) {
  switch (v.kind()) {
    case ValueKind::Undefined:
    case ValueKind::Null:
      return false;
    case ValueKind::Boolean:
      return v.asBool();
    case ValueKind::Int:
      return v.asInt() != 0;
    case ValueKind::Uint:
      return v.asUint() != 0;
    case ValueKind::Number:
      return v.asDouble() != 0 && !std::isnan(v.asDouble());
    case ValueKind::String:
      return !v.asString()->view().empty();
    case ValueKind::Namespace:
    case ValueKind::Object:
      return true;
  }
  return false;
}

uint32_t toUint32(double d) {
  if (!std::isfinite(d)) return 0;
  if (d >= 0 && d < 4294967296.0) return static_cast<uint32_t>(d);
  double m = std::fmod(std::trunc(d), 4294967296.0);
  if (m < 0) m += 4294967296.0;
  return static_cast<uint32_t>(m);
}

int32_t toInt32(double d) { return static_cast<int32_t>(toUint32(d)); }

int32_t toInt32(const Value& v) {
  if (v.isInt()) return v.asInt();
  if (v.isUint()) return static_cast<int32_t>(v.asUint());
  return toInt32(toNumber(v));
}

uint32_t toUint32(const Value& v) {
  if (v.isUint()) return v.asUint();
  if (v.isInt()) return static_cast<uint32_t>(v.asInt());
  return toUint32(toNumber(v));
}

std::string toText(const Value& v) {
  switch (v.kind()) {
    case ValueKind::Undefined:
      return "undefined";
    case ValueKind::Null:
      return "null";
    case ValueKind::Boolean:
      return v.asBool() ? "true" : "false";
    case ValueKind::Int:
      return std::to_string(v.asInt());
    case ValueKind::Uint:
      return std::to_string(v.asUint());
    case ValueKind::Number:
      return numberToText(v.asDouble());
    case ValueKind::String:
      return v.asString()->text();
    case ValueKind::Namespace:
      return v.asNamespace()->uri->text();
    case ValueKind::Object:
      return "[object Object]";
  }
  return "";
}

StringRef toStringRef(const Value& v) {
  if (v.isString()) return StringRef(v.asString());
  if (v.isNamespace()) return StringRef(v.asNamespace()->uri);
  return StringRef(toText(v));
}

const char* typeofPrimitive(const Value& v) {
  switch (v.kind()) {
    case ValueKind::Undefined:
      return "undefined";
    case ValueKind::Boolean:
      return "boolean";
    case ValueKind::Int:
    case ValueKind::Uint:
    case ValueKind::Number:
      return "number";
    case ValueKind::String:
      return "string";
    case ValueKind::Null:
    case ValueKind::Namespace:
    case ValueKind::Object:
      return "object";
  }
  return "object";
}

bool strictEquals(const Value& a, const Value& b) {
  if (a.isNumeric() && b.isNumeric()) {
    if (a.kind() == b.kind() && a.isInt()) return a.asInt() == b.asInt();
    return a.numeric() == b.numeric();
  }
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case ValueKind::Undefined:
    case ValueKind::Null:
      return true;
    case ValueKind::Boolean:
      return a.asBool() == b.asBool();
    case ValueKind::String:
      return String::equal(a.asString(), b.asString());
    case ValueKind::Namespace:
      return String::equal(a.asNamespace()->uri, b.asNamespace()->uri);
    case ValueKind::Object: {
      if (a.asObject() == b.asObject()) return true;
      // A method taken from the same object twice is the same closure.
      auto* fa = dynamic_cast<const FunctionObject*>(a.asObject());
      auto* fb = fa ? dynamic_cast<const FunctionObject*>(b.asObject()) : nullptr;
      return fb && fa->bound && fb->bound && fa->method == fb->method && fa->owner == fb->owner &&
             fa->boundThis.isObject() && fb->boundThis.isObject() &&
             fa->boundThis.asObject() == fb->boundThis.asObject();
    }
    default:
      return false;
  }
}

bool looseEquals(const Value& a, const Value& b) {
  if (a.isNumeric() && b.isNumeric()) return strictEquals(a, b);
  if (a.kind() == b.kind()) return strictEquals(a, b);
  if (a.isNullish() && b.isNullish()) return true;
  if (a.isNullish() || b.isNullish()) return false;
  // A namespace is an object whose primitive is its URI.
  if (a.isNamespace() && !b.isObject()) return looseEquals(Value(a.asNamespace()->uri), b);
  if (b.isNamespace() && !a.isObject()) return looseEquals(a, Value(b.asNamespace()->uri));
  if (a.isBool()) return looseEquals(Value(a.asBool() ? 1 : 0), b);
  if (b.isBool()) return looseEquals(a, Value(b.asBool() ? 1 : 0));
  if ((a.isNumeric() && b.isString()) || (a.isString() && b.isNumeric()))
    return toNumber(a) == toNumber(b);
  return false;
}

Compare lessThan(const Value& a, const Value& b) {
  if (a.isInt() && b.isInt()) return a.asInt() < b.asInt() ? Compare::True : Compare::False;
  if (a.isString() && b.isString()) {
    // UTF-8 bytes order as code points do.
    return a.asString()->view() < b.asString()->view() ? Compare::True : Compare::False;
  }
  double x = toNumber(a), y = toNumber(b);
  if (std::isnan(x) || std::isnan(y)) return Compare::Undefined;
  return x < y ? Compare::True : Compare::False;
}

Value add(const Value& a, const Value& b) {
  if (a.isInt() && b.isInt()) {
    int64_t sum = int64_t{a.asInt()} + b.asInt();
    if (sum >= INT32_MIN && sum <= INT32_MAX) return Value(static_cast<int32_t>(sum));
    return Value(static_cast<double>(sum));
  }
  bool textual = a.isString() || b.isString() || a.isNamespace() || b.isNamespace();
  if (textual) {
    std::string joined = toText(a);
    joined += toText(b);
    return Value(StringRef(joined));
  }
  return Value(toNumber(a) + toNumber(b));
}

}  // namespace orv::movie::avm2
