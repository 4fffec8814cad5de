// Number, Boolean and Math.
#include <cmath>
#include <limits>

#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

std::string toRadix(double n, int radix) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  int32_t v = toInt32(n);
  bool neg = v < 0;
  uint32_t u = neg ? static_cast<uint32_t>(-(int64_t)v) : static_cast<uint32_t>(v);
  std::string out;
  do {
    out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % radix]);
    u /= radix;
  } while (u);
  return neg ? "-" + out : out;
}

// The player raises to whole powers by multiplying and to other powers through
// 2^(y*log2 x), the fraction's power rounded to a double before 1 is added (so
// Math.pow(2, 0.5) is one unit below Math.SQRT2, as movies print it).
double flashPow(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y) || x == 0) return std::pow(x, y);
  if (y == std::trunc(y) && std::fabs(y) <= 1024) {
    double base = x, result = 1;
    for (auto n = static_cast<uint32_t>(std::fabs(y)); n; n >>= 1, base *= base)
      if (n & 1) result *= base;
    return y < 0 ? 1 / result : result;
  }
  if (x < 0) return std::nan("");
  double t =
      static_cast<double>(static_cast<long double>(y) * std::log2(static_cast<long double>(x)));
  if (!std::isfinite(t) || std::fabs(t) > 2000) return std::pow(x, y);
  double whole = std::nearbyint(t);
  double fractionPowerLessOne =
      static_cast<double>(std::exp2(static_cast<long double>(t - whole)) - 1.0L);
  return std::ldexp(1.0 + fractionPowerLessOne, static_cast<int>(whole));
}

double selfNumber(Vm& vm, CallInfo& c) {
  Object* o = c.thisObject();
  if (o && o->kind == ObjectKind::Number) return vm.toNumber(o->primitive);
  if (c.thisValue.isNumber()) return c.thisValue.asNumber();
  return std::nan("");
}

Value constructNumber(Vm& vm, CallInfo& c) {
  double n = c.args.empty() ? 0.0 : vm.toNumber(c.arg(0));
  if (!c.isConstruct) return Value(n);
  if (Object* o = c.thisObject()) {
    o->kind = ObjectKind::Number;
    o->primitive = Value(n);
  }
  return c.thisValue;
}

Value numberToText(Vm& vm, CallInfo& c) {
  // On anything but a number (a method borrowed by another class) there is nothing to write.
  Object* self = c.thisObject();
  if (!c.thisValue.isNumber() && !(self && self->kind == ObjectKind::Number)) return Value();
  double n = selfNumber(vm, c);
  int radix = c.arg(0).isUndefined() ? 10 : vm.toInt(c.arg(0));
  if (radix < 2 || radix > 36 || radix == 10) return Value(numberToString(n));
  return Value(toRadix(n, radix));
}

Value numberValue(Vm& vm, CallInfo& c) { return Value(selfNumber(vm, c)); }

constexpr NativeMember kNumberStatics[] = {
    constant("MAX_VALUE", std::numeric_limits<double>::max()),
    constant("MIN_VALUE", std::numeric_limits<double>::denorm_min()),
    constant("NaN", std::numeric_limits<double>::quiet_NaN()),
    constant("POSITIVE_INFINITY", std::numeric_limits<double>::infinity()),
    constant("NEGATIVE_INFINITY", -std::numeric_limits<double>::infinity()),
};
constexpr NativeMember kNumberPrototype[] = {
    method("toString", numberToText).asnative(106, 1),
    method("valueOf", numberValue).asnative(106, 0),
};
constexpr NativeClass kNumberClass{.name = "Number",
                                   .constructor = constructNumber,
                                   .prototype = kNumberPrototype,
                                   .statics = kNumberStatics,
                                   .major = 106,
                                   .minor = 2};

Value constructBoolean(Vm& vm, CallInfo& c) {
  if (!c.isConstruct) return c.args.empty() ? Value() : Value(vm.toBool(c.arg(0)));
  if (Object* o = c.thisObject()) {
    o->kind = ObjectKind::Boolean;
    o->primitive = Value(vm.toBool(c.arg(0)));
  }
  return c.thisValue;
}

Value selfBool(CallInfo& c) {
  Object* o = c.thisObject();
  if (o && o->kind == ObjectKind::Boolean) return o->primitive;
  if (c.thisValue.isBool()) return c.thisValue;
  return Value();
}

Value booleanToText(Vm& vm, CallInfo& c) {
  Value b = selfBool(c);
  return b.isBool() ? Value(vm.toString(b)) : Value();
}

Value booleanValue(Vm&, CallInfo& c) { return selfBool(c); }

constexpr NativeMember kBooleanPrototype[] = {
    method("toString", booleanToText).asnative(107, 1),
    method("valueOf", booleanValue).asnative(107, 0),
};
constexpr NativeClass kBooleanClass{.name = "Boolean",
                                    .constructor = constructBoolean,
                                    .prototype = kBooleanPrototype,
                                    .major = 107,
                                    .minor = 2};

// Math's functions of one number, by variant.
using Unary = double (*)(double);
constexpr Unary kUnary[] = {
    [](double x) { return std::fabs(x); },
    [](double x) { return std::acos(x); },
    // The reference player takes the arc sine as the angle of (sqrt(1 - x*x), x), which can
    // land one unit in the last place away from the nearest value.
    [](double x) { return std::atan2(x, std::sqrt(1 - x * x)); },
    [](double x) { return std::atan(x); },
    [](double x) { return std::ceil(x); },
    [](double x) { return std::cos(x); },
    [](double x) { return std::exp(x); },
    [](double x) { return std::floor(x); },
    [](double x) { return std::log(x); },
    [](double x) { return std::floor(x + 0.5); },
    [](double x) { return std::sin(x); },
    [](double x) { return std::sqrt(x); },
    [](double x) { return std::tan(x); },
};
enum UnaryMath {
  kAbs,
  kAcos,
  kAsin,
  kAtan,
  kCeil,
  kCos,
  kExp,
  kFloor,
  kLog,
  kRound,
  kSin,
  kSqrt,
  kTan
};

Value unary(Vm& vm, CallInfo& c) {
  if (c.args.empty()) return Value(std::nan(""));
  return Value(kUnary[c.variant](vm.toNumber(c.arg(0))));
}

Value atan2(Vm& vm, CallInfo& c) {
  if (c.args.size() < 2) return Value(std::nan(""));
  return Value(std::atan2(vm.toNumber(c.arg(0)), vm.toNumber(c.arg(1))));
}

Value pow(Vm& vm, CallInfo& c) {
  if (c.args.size() < 2) return Value(std::nan(""));
  return Value(flashPow(vm.toNumber(c.arg(0)), vm.toNumber(c.arg(1))));
}

Value max(Vm& vm, CallInfo& c) {
  // Two operands only; one gives NaN, none gives -Infinity.
  if (c.args.empty()) return Value(-std::numeric_limits<double>::infinity());
  if (c.args.size() < 2) return Value(std::nan(""));
  double x = vm.toNumber(c.arg(0)), y = vm.toNumber(c.arg(1));
  if (std::isnan(x) || std::isnan(y)) return Value(std::nan(""));
  return Value(std::max(x, y));
}

Value min(Vm& vm, CallInfo& c) {
  // Two operands only; one gives NaN, none gives Infinity.
  if (c.args.empty()) return Value(std::numeric_limits<double>::infinity());
  if (c.args.size() < 2) return Value(std::nan(""));
  double x = vm.toNumber(c.arg(0)), y = vm.toNumber(c.arg(1));
  if (std::isnan(x) || std::isnan(y)) return Value(std::nan(""));
  return Value(std::min(x, y));
}

Value random(Vm& vm, CallInfo& c) {
  // The reference player reads an argument as a number (valueOf runs), then ignores it.
  if (!c.args.empty()) vm.toNumber(c.arg(0));
  return Value(vm.randomUnit());
}

constexpr NativeMember kMath[] = {
    constant("E", M_E),
    constant("LN10", M_LN10),
    constant("LN2", M_LN2),
    constant("LOG10E", M_LOG10E),
    constant("LOG2E", M_LOG2E),
    constant("PI", M_PI),
    constant("SQRT1_2", M_SQRT1_2),
    constant("SQRT2", M_SQRT2),
    method("abs", unary, kDontEnum, kAbs).asnative(200, 0),
    method("acos", unary, kDontEnum, kAcos).asnative(200, 16),
    method("asin", unary, kDontEnum, kAsin).asnative(200, 15),
    method("atan", unary, kDontEnum, kAtan).asnative(200, 14),
    method("ceil", unary, kDontEnum, kCeil).asnative(200, 13),
    method("cos", unary, kDontEnum, kCos).asnative(200, 4),
    method("exp", unary, kDontEnum, kExp).asnative(200, 7),
    method("floor", unary, kDontEnum, kFloor).asnative(200, 12),
    method("log", unary, kDontEnum, kLog).asnative(200, 8),
    method("round", unary, kDontEnum, kRound).asnative(200, 10),
    method("sin", unary, kDontEnum, kSin).asnative(200, 3),
    method("sqrt", unary, kDontEnum, kSqrt).asnative(200, 9),
    method("tan", unary, kDontEnum, kTan).asnative(200, 6),
    method("atan2", atan2).asnative(200, 5),
    method("pow", pow).asnative(200, 17),
    method("max", max).asnative(200, 2),
    method("min", min).asnative(200, 1),
    method("random", random).asnative(200, 11),
};

}  // namespace

void installNumberBuiltins(Vm& vm) {
  vm.numberProto = vm.newObject();
  vm.numberProto->kind = ObjectKind::Number;
  vm.numberProto->primitive = Value(0.0);
  installClass(vm, vm.global, kNumberClass, vm.numberProto);
  vm.booleanProto = vm.newObject();
  installClass(vm, vm.global, kBooleanClass, vm.booleanProto);
  Object* math = vm.newObject();
  vm.global->put("Math", math, kDontEnum, vm.caseInsensitive());
  installMembers(vm, math, kMath);
}

}  // namespace orv::movie::avm1
