// Action handlers: the stack, registers, arithmetic, comparisons, strings, conversions.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "movie/avm1/action_run.h"
#include "movie/avm1/text.h"

namespace orv::movie::avm1 {

void ActionRun::pushValues(PayloadReader& r) {
  while (r.pos < r.end && r.ok) {
    uint8_t type = r.u8();
    switch (type) {
      case 0:
        push(Value(r.str()));
        break;
      case 1: {
        uint32_t bits = r.u32();
        float fl;
        std::memcpy(&fl, &bits, 4);
        push(Value(static_cast<double>(fl)));
        break;
      }
      case 2:
        push(Value::null());
        break;
      case 3:
        push(Value());
        break;
      case 4: {
        uint8_t reg = r.u8();
        push(reg < f.registers.size() ? f.registers[reg] : Value());
        break;
      }
      case 5:
        push(Value(r.u8() != 0));
        break;
      case 6: {
        uint64_t hi = r.u32(), lo = r.u32();
        uint64_t bits = (hi << 32) | lo;
        double d;
        std::memcpy(&d, &bits, 8);
        push(Value(d));
        break;
      }
      case 7:
        push(Value(static_cast<double>(static_cast<int32_t>(r.u32()))));
        break;
      case 8:
      case 9: {
        size_t idx = type == 8 ? r.u8() : r.u16();
        push(idx < f.constants->size() ? (*f.constants)[idx] : Value());
        break;
      }
      default:
        r.ok = false;
        break;
    }
  }
}

void ActionRun::storeRegister(PayloadReader& r) {
  uint8_t reg = r.u8();
  if (Value* slot = f.registerToStore(reg)) *slot = f.stack.empty() ? Value() : f.stack.back();
}

void ActionRun::pushDuplicate() {
  Value v = f.stack.empty() ? Value() : f.stack.back();
  push(v);
}

void ActionRun::stackSwap() {
  Value a = f.pop(), b = f.pop();
  push(a);
  push(b);
}

// The numeric actions convert their first operand (the deeper one) first.
void ActionRun::arithmetic(ActionCode op) {
  Value right = f.pop(), left = f.pop();
  double b = vm.toNumber(left), a = vm.toNumber(right);
  switch (op) {
    case ActionCode::Add:
      return push(Value(b + a));
    case ActionCode::Subtract:
      return push(Value(b - a));
    case ActionCode::Multiply:
      return push(Value(b * a));
    case ActionCode::Modulo:
      return push(Value(std::fmod(b, a)));
    default:  // Divide
      return push(a == 0 && v4 ? Value("#ERROR#") : Value(b / a));
  }
}

void ActionRun::step(ActionCode op) {
  double n = vm.toNumber(f.pop());
  push(Value(op == ActionCode::Increment ? n + 1 : n - 1));
}

void ActionRun::add2() {
  Value ra = f.pop(), rb = f.pop();
  Value a = vm.toPrimitive(ra), b = vm.toPrimitive(rb);
  // valueOf gave an object: the operand stays itself (toString may still ask it).
  if (a.isObject()) a = ra;
  if (b.isObject()) b = rb;
  if (a.isString() || b.isString()) {
    std::string sb = vm.toString(b), sa = vm.toString(a);
    vm.noteStringMade(sa.size() + sb.size());
    push(Value(sb + sa));
  } else {
    // An object whose valueOf gave an object adds as NaN.
    auto number = [&](const Value& x) { return x.isObject() ? std::nan("") : vm.toNumber(x); };
    push(Value(number(b) + number(a)));
  }
}

void ActionRun::compareNumbers(ActionCode op) {
  Value right = f.pop(), left = f.pop();
  if (op == ActionCode::Equals) {
    // Equality asks the top operand first.
    double a = vm.toNumber(right), b = vm.toNumber(left);
    return push(boolResult(b == a));
  }
  double b = vm.toNumber(left), a = vm.toNumber(right);
  push(boolResult(b < a));
}

void ActionRun::logic(ActionCode op) {
  if (op == ActionCode::Not) return push(boolResult(!vm.toBool(f.pop())));
  bool a = vm.toBool(f.pop()), b = vm.toBool(f.pop());
  push(boolResult(op == ActionCode::And ? a && b : a || b));
}

void ActionRun::compare(ActionCode op) {
  Value a = f.pop(), b = f.pop();
  switch (op) {
    case ActionCode::Less2:
      return push(vm.lessThan(b, a));
    case ActionCode::Greater:  // undefined where either side is NaN, as for Less2
      return push(vm.lessThan(a, b));
    case ActionCode::Equals2:
      return push(Value(vm.looseEquals(b, a)));
    default:  // StrictEquals
      return push(Value(vm.strictEquals(b, a)));
  }
}

void ActionRun::compareStrings(ActionCode op) {
  std::string a = vm.toString(f.pop()), b = vm.toString(f.pop());
  if (op == ActionCode::StringEquals) return push(boolResult(a == b));
  if (op == ActionCode::StringLess) return push(boolResult(b < a));
  push(Value(b > a));  // StringGreater (SWF 6) gives a boolean
}

void ActionRun::bitwise(ActionCode op) {
  int32_t a = vm.toInt(f.pop());
  if (op == ActionCode::BitURShift) {
    // Movies from SWF 10 on get an unsigned result (-1 >>> 0 is 4294967295); older ones
    // read it back as a signed integer (-1 >>> 0 stays -1).
    uint32_t b = static_cast<uint32_t>(vm.toInt(f.pop()));
    const uint32_t r = b >> (a & 31);
    return push(Value(vm.version() >= 10 ? static_cast<double>(r)
                                         : static_cast<double>(static_cast<int32_t>(r))));
  }
  int32_t b = vm.toInt(f.pop());
  switch (op) {
    case ActionCode::BitAnd:
      return push(Value(static_cast<double>(b & a)));
    case ActionCode::BitOr:
      return push(Value(static_cast<double>(b | a)));
    case ActionCode::BitXor:
      return push(Value(static_cast<double>(b ^ a)));
    case ActionCode::BitLShift:
      return push(
          Value(static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(b) << (a & 31)))));
    default:  // BitRShift
      return push(Value(static_cast<double>(b >> (a & 31))));
  }
}

// Before version 6 text is bytes; the MB actions count characters in every version.
void ActionRun::stringLength(ActionCode op) {
  std::string s = vm.toString(f.pop());
  push(Value(static_cast<double>(text::length(s, op == ActionCode::MBStringLength || utf8))));
}

void ActionRun::stringExtract(ActionCode op) {
  double count = vm.toNumber(f.pop());
  double index = vm.toNumber(f.pop());
  std::string s = vm.toString(f.pop());
  if (std::isnan(index)) index = 1;
  if (std::isnan(count)) count = -1;
  push(Value(text::substr(s, std::max(0.0, std::trunc(index) - 1),
                          count < 0 ? -1 : std::trunc(count),
                          op == ActionCode::MBStringExtract || utf8)));
}

void ActionRun::stringAdd() {
  std::string a = vm.toString(f.pop()), b = vm.toString(f.pop());
  vm.noteStringMade(a.size() + b.size());
  push(Value(b + a));
}

// Before version 6 mbord too gives the first byte.
void ActionRun::charToAscii() {
  push(Value(static_cast<double>(text::charCodeAt(vm.toString(f.pop()), 0, utf8))));
}

void ActionRun::asciiToChar(ActionCode op) {
  uint32_t code32 = static_cast<uint32_t>(vm.toInt(f.pop()));
  // Character 0 would end the string: chr(0) is empty.
  push((code32 & 0xFFFF) == 0
           ? Value("")
           : Value(text::fromCharCode(code32 & 0xFFFF, op == ActionCode::MBAsciiToChar || utf8)));
}

void ActionRun::convert(ActionCode op) {
  Value v = f.pop();
  switch (op) {
    case ActionCode::ToInteger:  // int(): 32 bits, wrapping
      return push(Value(static_cast<double>(toInt32(vm.toNumber(v)))));
    case ActionCode::ToNumber:
      return push(Value(vm.toNumber(v)));
    case ActionCode::ToString:
      return push(Value(vm.toString(v)));
    default:  // TypeOf
      return push(Value(vm.typeOf(v)));
  }
}

void ActionRun::randomNumber() {
  double max = vm.toNumber(f.pop());
  int32_t m = toInt32(max);
  push(Value(m <= 0 ? 0.0 : std::floor(vm.randomUnit() * m)));
}

void ActionRun::getTime() { push(Value(std::floor(vm.host_.timerMs()))); }

}  // namespace orv::movie::avm1
