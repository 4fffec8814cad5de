// Number, Boolean and Math.
#include <cmath>
#include <limits>

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

}  // namespace

void installNumberBuiltins(Vm& vm) {
  bool ci = vm.caseInsensitive();
  const uint8_t kConst = kDontEnum | kDontDelete | kReadOnly;

  // Number
  Object* nproto = vm.newObject();
  vm.numberProto = nproto;
  FunctionObject* nctor = vm.newNative(
      [](Vm& vm, CallInfo& c) -> Value {
        double n = c.args.empty() ? 0.0 : vm.toNumber(c.arg(0));
        if (!c.isConstruct) return Value(n);
        if (Object* o = c.thisObject()) {
          o->kind = ObjectKind::Number;
          o->primitive = Value(n);
        }
        return c.thisValue;
      },
      nproto);
  nproto->kind = ObjectKind::Number;
  nproto->primitive = Value(0.0);
  vm.global->put("Number", nctor, kDontEnum, ci);
  nctor->put("MAX_VALUE", std::numeric_limits<double>::max(), kConst, ci);
  nctor->put("MIN_VALUE", std::numeric_limits<double>::denorm_min(), kConst, ci);
  nctor->put("NaN", std::nan(""), kConst, ci);
  nctor->put("POSITIVE_INFINITY", std::numeric_limits<double>::infinity(), kConst, ci);
  nctor->put("NEGATIVE_INFINITY", -std::numeric_limits<double>::infinity(), kConst, ci);
  vm.defineMethod(nproto, "toString", [](Vm& vm, CallInfo& c) -> Value {
    // On anything but a number (a method borrowed by another class) there is nothing to write.
    Object* self = c.thisObject();
    if (!c.thisValue.isNumber() && !(self && self->kind == ObjectKind::Number)) return Value();
    double n = selfNumber(vm, c);
    int radix = c.arg(0).isUndefined() ? 10 : vm.toInt(c.arg(0));
    if (radix < 2 || radix > 36 || radix == 10) return Value(numberToString(n));
    return Value(toRadix(n, radix));
  });
  vm.defineMethod(nproto, "valueOf",
                  [](Vm& vm, CallInfo& c) -> Value { return Value(selfNumber(vm, c)); });

  // Boolean
  Object* bproto = vm.newObject();
  vm.booleanProto = bproto;
  FunctionObject* bctor = vm.newNative(
      [](Vm& vm, CallInfo& c) -> Value {
        if (!c.isConstruct) return c.args.empty() ? Value() : Value(vm.toBool(c.arg(0)));
        if (Object* o = c.thisObject()) {
          o->kind = ObjectKind::Boolean;
          o->primitive = Value(vm.toBool(c.arg(0)));
        }
        return c.thisValue;
      },
      bproto);
  vm.global->put("Boolean", bctor, kDontEnum, ci);
  auto selfBool = [](CallInfo& c) -> Value {
    Object* o = c.thisObject();
    if (o && o->kind == ObjectKind::Boolean) return o->primitive;
    if (c.thisValue.isBool()) return c.thisValue;
    return Value();
  };
  vm.defineMethod(bproto, "toString", [selfBool](Vm& vm, CallInfo& c) -> Value {
    Value b = selfBool(c);
    return b.isBool() ? Value(vm.toString(b)) : Value();
  });
  vm.defineMethod(bproto, "valueOf", [selfBool](Vm&, CallInfo& c) -> Value { return selfBool(c); });

  // Math
  Object* math = vm.newObject();
  vm.global->put("Math", math, kDontEnum, ci);
  math->put("E", M_E, kConst, ci);
  math->put("LN10", M_LN10, kConst, ci);
  math->put("LN2", M_LN2, kConst, ci);
  math->put("LOG10E", M_LOG10E, kConst, ci);
  math->put("LOG2E", M_LOG2E, kConst, ci);
  math->put("PI", M_PI, kConst, ci);
  math->put("SQRT1_2", M_SQRT1_2, kConst, ci);
  math->put("SQRT2", M_SQRT2, kConst, ci);
  auto unary = [&](const char* name, double (*fn)(double)) {
    vm.defineMethod(math, name, [fn](Vm& vm, CallInfo& c) -> Value {
      if (c.args.empty()) return Value(std::nan(""));
      return Value(fn(vm.toNumber(c.arg(0))));
    });
  };
  unary("abs", [](double x) { return std::fabs(x); });
  unary("acos", [](double x) { return std::acos(x); });
  // The reference player takes the arc sine as the angle of (sqrt(1 - x*x), x), which can
  // land one unit in the last place away from the nearest value.
  unary("asin", [](double x) { return std::atan2(x, std::sqrt(1 - x * x)); });
  unary("atan", [](double x) { return std::atan(x); });
  unary("ceil", [](double x) { return std::ceil(x); });
  unary("cos", [](double x) { return std::cos(x); });
  unary("exp", [](double x) { return std::exp(x); });
  unary("floor", [](double x) { return std::floor(x); });
  unary("log", [](double x) { return std::log(x); });
  unary("round", [](double x) { return std::floor(x + 0.5); });
  unary("sin", [](double x) { return std::sin(x); });
  unary("sqrt", [](double x) { return std::sqrt(x); });
  unary("tan", [](double x) { return std::tan(x); });
  vm.defineMethod(math, "atan2", [](Vm& vm, CallInfo& c) -> Value {
    if (c.args.size() < 2) return Value(std::nan(""));
    return Value(std::atan2(vm.toNumber(c.arg(0)), vm.toNumber(c.arg(1))));
  });
  vm.defineMethod(math, "pow", [](Vm& vm, CallInfo& c) -> Value {
    if (c.args.size() < 2) return Value(std::nan(""));
    return Value(flashPow(vm.toNumber(c.arg(0)), vm.toNumber(c.arg(1))));
  });
  vm.defineMethod(math, "max", [](Vm& vm, CallInfo& c) -> Value {
    // Two operands only; one gives NaN, none gives -Infinity.
    if (c.args.empty()) return Value(-std::numeric_limits<double>::infinity());
    if (c.args.size() < 2) return Value(std::nan(""));
    double x = vm.toNumber(c.arg(0)), y = vm.toNumber(c.arg(1));
    if (std::isnan(x) || std::isnan(y)) return Value(std::nan(""));
    return Value(std::max(x, y));
  });
  vm.defineMethod(math, "min", [](Vm& vm, CallInfo& c) -> Value {
    // Two operands only; one gives NaN, none gives Infinity.
    if (c.args.empty()) return Value(std::numeric_limits<double>::infinity());
    if (c.args.size() < 2) return Value(std::nan(""));
    double x = vm.toNumber(c.arg(0)), y = vm.toNumber(c.arg(1));
    if (std::isnan(x) || std::isnan(y)) return Value(std::nan(""));
    return Value(std::min(x, y));
  });
  vm.defineMethod(math, "random", [](Vm& vm, CallInfo& c) -> Value {
    // The reference player reads an argument as a number (valueOf runs), then ignores it.
    if (!c.args.empty()) vm.toNumber(c.arg(0));
    return Value(vm.randomUnit());
  });
}

}  // namespace orv::movie::avm1
