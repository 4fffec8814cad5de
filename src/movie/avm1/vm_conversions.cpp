// Conversions between script values (ToPrimitive, ToNumber, ToString...) and the
// equality and order operators built on them.
#include <cctype>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <string>

#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

// Whitespace the string-to-number conversion skips.
bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

double stringToNumber(std::string_view s, int version) {
  size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  if (i == s.size()) return version <= 4 ? 0.0 : std::nan("");
  const bool leadingSpace = i > 0;
  std::string_view body = s.substr(i);
  bool neg = false;
  const bool signed_ = body[0] == '-' || body[0] == '+';
  if (signed_) {
    neg = body[0] == '-';
    body.remove_prefix(1);
  }
  const double bad = version <= 4 ? 0.0 : std::nan("");
  // From SWF 6, text at the very start of the string (no spaces before it) may be
  // hexadecimal "0x[sign]digits" or octal "[sign]0digits"; both wrap to 32 bits.
  if (version >= 6 && !leadingSpace) {
    if (!signed_ && body.size() >= 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
      size_t k = 2;
      bool hexNeg = false;
      if (k < body.size() && (body[k] == '-' || body[k] == '+')) hexNeg = body[k++] == '-';
      if (k == body.size()) return bad;
      double v = 0;
      for (; k < body.size(); ++k) {
        char c = body[k];
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0) return bad;
        v = v * 16 + d;
      }
      return toInt32(hexNeg ? -v : v);
    }
    if (body.size() >= 2 && body[0] == '0' &&
        body.find_first_not_of("01234567") == std::string_view::npos) {
      double v = 0;
      for (char c : body) v = v * 8 + (c - '0');
      return toInt32(neg ? -v : v);
    }
  }
  if (version == 5 && body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X'))
    return bad;
  // Decimal: digits [. digits] [e [sign] digits], nothing after it; an exponent mark
  // without digits is ignored.
  size_t k = 0;
  bool digits = false;
  while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k]))) {
    ++k;
    digits = true;
  }
  if (k < body.size() && body[k] == '.') {
    ++k;
    while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k]))) {
      ++k;
      digits = true;
    }
  }
  if (!digits) return bad;
  size_t mantissaEnd = k;
  bool exponentDigits = false;
  if (k < body.size() && (body[k] == 'e' || body[k] == 'E')) {
    size_t e = k + 1;
    if (e < body.size() && (body[e] == '+' || body[e] == '-')) ++e;
    size_t ds = e;
    while (e < body.size() && std::isdigit(static_cast<unsigned char>(body[e]))) ++e;
    exponentDigits = e > ds;
    if (exponentDigits || version >= 5) k = e;
  }
  if (k != body.size()) {
    if (version <= 4) {
      std::string head(body.substr(0, exponentDigits ? k : mantissaEnd));
      double v = std::strtod(head.c_str(), nullptr);
      return neg ? -v : v;
    }
    return std::nan("");
  }
  std::string str(body.substr(0, exponentDigits ? k : mantissaEnd));
  double v = std::strtod(str.c_str(), nullptr);
  return neg ? -v : v;
}

Value Vm::toPrimitive(const Value& v, Hint hint) {
  if (!v.isObject()) return v;
  Object* o = v.asObject();
  if (o->kind == ObjectKind::Clip && !o->clip && !o->formerPath.empty()) {
    // A removed clip converts as the clip now at its path, or, with none there, to empty
    // text (it is no number either way).
    if (Object* successor = successorClip(o)) return toPrimitive(Value(successor), hint);
    return hint == Hint::Number ? Value(std::nan("")) : Value("");
  }
  if (o->kind == ObjectKind::Clip && o->clip && hint == Hint::String) {
    // A clip converts to its target path unless a script gave it its own toString.
    Value ts = getMember(o, "toString");
    if (!ts.isObject() ||
        ts.asObject() == objectProto->findOwn("toString", caseInsensitive())->value.asObject())
      return Value(targetPath(o->clip));
  }
  // A clip is no number, whatever valueOf it has; unhinted (+, ==) it stays a clip,
  // which joins text as its path and adds as NaN.
  if (o->kind == ObjectKind::Clip && o->clip && hint == Hint::Number) return Value(std::nan(""));
  if (o->kind == ObjectKind::Clip && o->clip && hint == Hint::None) return v;
  // In version 5 movies a function has no value unless a script gave it a valueOf:
  // it counts as undefined in arithmetic and comparisons (as text it still names itself).
  if (version_ < 6 && o->kind == ObjectKind::Function && hint != Hint::String) {
    Value vo = getMember(o, "valueOf");
    Property* builtIn = objectProto->findOwn("valueOf", caseInsensitive());
    bool own =
        vo.isObject() && vo.asObject()->kind == ObjectKind::Function &&
        !(builtIn && builtIn->value.isObject() && builtIn->value.asObject() == vo.asObject());
    if (!own) return Value();
  }
  if (hint == Hint::None) hint = o->kind == ObjectKind::Date ? Hint::String : Hint::Number;
  // The player asks one method: valueOf for numbers, toString for strings. An object
  // it gets back stays an object (a number conversion makes it NaN; a string one
  // "[type Object]"); the other method is asked only when the first is missing.
  const char* order[2] = {"valueOf", "toString"};
  if (hint == Hint::String) std::swap(order[0], order[1]);
  for (const char* name : order) {
    Value fn = getMember(o, name);
    if (fn.isObject() && fn.asObject()->kind == ObjectKind::Function) {
      Value r = call(fn, v, {});
      // Text is asked of toString; anything else it gives counts as no answer.
      if (hint == Hint::String && std::string_view(name) == "toString" && !r.isString())
        return Value("[type Object]");
      if (!r.isObject()) return r;
      if (hint == Hint::Number) return r;
      break;
    }
  }
  if (o->kind == ObjectKind::Function) return Value("[type Function]");
  return Value("[type Object]");
}

double Vm::toNumber(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
      return version_ >= 7 ? std::nan("") : 0.0;
    case ValueType::Boolean:
      return v.asBool() ? 1 : 0;
    case ValueType::Number:
      return v.asNumber();
    case ValueType::String:
      return stringToNumber(v.asString(), version_);
    case ValueType::Object: {
      Value p = toPrimitive(v, Hint::Number);
      if (p.isObject()) return std::nan("");
      if (p.isString() && p.asString().rfind("[type", 0) == 0) return std::nan("");
      return toNumber(p);
    }
  }
  return 0;
}

std::string Vm::toString(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
      return version_ >= 7 ? "undefined" : "";
    case ValueType::Null:
      return "null";
    case ValueType::Boolean:
      return v.asBool() ? "true" : "false";
    case ValueType::Number:
      return numberToString(v.asNumber());
    case ValueType::String:
      return v.asString();
    case ValueType::Object: {
      Value p = toPrimitive(v, Hint::String);
      if (p.isObject()) return "[type Object]";
      return toString(p);
    }
  }
  return "";
}

bool Vm::toBool(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
      return false;
    case ValueType::Boolean:
      return v.asBool();
    case ValueType::Number:
      return v.asNumber() != 0 && !std::isnan(v.asNumber());
    case ValueType::String: {
      if (version_ >= 7) return !v.asString().empty();
      double n = stringToNumber(v.asString(), version_);
      return n != 0 && !std::isnan(n);
    }
    case ValueType::Object:
      return true;
  }
  return false;
}

Object* Vm::toObject(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
      return nullptr;
    case ValueType::Object:
      return v.asObject();
    case ValueType::Boolean: {
      Object* o = newObject(booleanProto);
      o->kind = ObjectKind::Boolean;
      o->primitive = v;
      return o;
    }
    case ValueType::Number: {
      Object* o = newObject(numberProto);
      o->kind = ObjectKind::Number;
      o->primitive = v;
      return o;
    }
    case ValueType::String: {
      Object* o = newObject(stringProto);
      o->kind = ObjectKind::String;
      o->primitive = v;
      return o;
    }
  }
  return nullptr;
}

std::string Vm::typeOf(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
      return "undefined";
    case ValueType::Null:
      return "null";
    case ValueType::Boolean:
      return "boolean";
    case ValueType::Number:
      return "number";
    case ValueType::String:
      return "string";
    case ValueType::Object: {
      Object* o = v.asObject();
      // Function.prototype is a function to the machine but not to scripts.
      if (o->kind == ObjectKind::Function) return o == functionProto ? "object" : "function";
      if (o->kind == ObjectKind::Clip && o->clip)
        return o->clip->isButton() || o->clip->textField() ? "object" : "movieclip";
      // A reference to a clip that left the stage stays one.
      if (o->kind == ObjectKind::Clip && !o->formerPath.empty()) return "movieclip";
      return "object";
    }
  }
  return "undefined";
}

bool Vm::strictEquals(const Value& a, const Value& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
      return true;
    case ValueType::Boolean:
      return a.asBool() == b.asBool();
    case ValueType::Number: {
      // The player compares the bits first: a NaN equals a NaN of the same bits (the global
      // NaN equals itself) but not one of other bits (0/0 on the processor).
      double x = a.asNumber(), y = b.asNumber();
      return x == y || std::memcmp(&x, &y, sizeof x) == 0;
    }
    case ValueType::String:
      return a.asString() == b.asString();
    case ValueType::Object:
      return a.asObject() == b.asObject();
  }
  return false;
}

bool Vm::looseEquals(const Value& a, const Value& b) {
  // The player's == treats two NaNs as equal.
  if (a.isNumber() && b.isNumber() && std::isnan(a.asNumber()) && std::isnan(b.asNumber()))
    return true;
  if (a.type() == b.type() && !a.isObject()) return strictEquals(a, b);
  if (a.isNullish() && b.isNullish()) return true;
  if (a.isNullish() || b.isNullish()) {
    // An object with neither valueOf nor toString has no value: it equals undefined.
    const Value& o = a.isObject() ? a : b;
    if (!o.isObject() || o.asObject()->kind == ObjectKind::Clip) return false;
    if (version_ < 6 && o.asObject()->kind == ObjectKind::Function)
      return toPrimitive(o).isUndefined();
    auto isFn = [](const Value& f) {
      return f.isObject() && f.asObject()->kind == ObjectKind::Function;
    };
    return !isFn(getMember(o, "valueOf")) && !isFn(getMember(o, "toString"));
  }
  if (a.isNumber() && b.isString()) return a.asNumber() == toNumber(b);
  if (a.isString() && b.isNumber()) return toNumber(a) == b.asNumber();
  if (a.isBool()) return looseEquals(Value(a.asBool() ? 1.0 : 0.0), b);
  if (b.isBool()) return looseEquals(a, Value(b.asBool() ? 1.0 : 0.0));
  if (a.isObject() && b.isObject()) {
    // Two objects: the same one, or one whose valueOf gives the other object (a
    // primitive from valueOf does not make two objects equal).
    if (a.asObject() == b.asObject()) return true;
    // Version 5 compares two objects by their values when both have one (a String
    // and a Number of the same value are equal; functions without values are both
    // undefined).
    if (version_ < 6) {
      Value va = toPrimitive(a), vb = toPrimitive(b);
      if (!va.isObject() && !vb.isObject()) return looseEquals(va, vb);
    }
    Value pa = toPrimitive(a);
    if (pa.isObject() && pa.asObject() == b.asObject()) return true;
    Value pb = toPrimitive(b);
    return pb.isObject() && pb.asObject() == a.asObject();
  }
  if (a.isObject() && !b.isObject()) {
    Value p = toPrimitive(a);
    if (p.isObject()) return false;
    return looseEquals(p, b);
  }
  if (b.isObject() && !a.isObject()) {
    Value p = toPrimitive(b);
    if (p.isObject()) return false;
    return looseEquals(a, p);
  }
  return false;
}

Value Vm::lessThan(const Value& a, const Value& b) {
  Value pa = toPrimitive(a, Hint::Number), pb = toPrimitive(b, Hint::Number);
  // Two objects whose valueOf gives an object are compared by their text.
  if (pa.isObject() && pb.isObject()) {
    pa = toPrimitive(a, Hint::String);
    pb = toPrimitive(b, Hint::String);
  }
  if (pa.isString() && pb.isString()) return Value(pa.asString() < pb.asString());
  double x = pa.isObject() ? std::nan("") : toNumber(pa),
         y = pb.isObject() ? std::nan("") : toNumber(pb);
  if (std::isnan(x) || std::isnan(y)) return Value();
  return Value(x < y);
}

}  // namespace orv::movie::avm1
