#include "movie/avm2/interpreter.h"

#include <cmath>
#include <limits>
#include <memory>

#include "movie/avm2/conversions.h"

namespace orv::movie::avm2 {

namespace {

// A stop of the run: a thrown value looking for a handler.
struct Throw {
  Thrown thrown;
};

[[noreturn]] void machineError(int id, const std::string& text) {
  throw Throw{{Value(), id, "Error #" + std::to_string(id) + ": " + text}};
}

double fmodScript(double a, double b) { return std::fmod(a, b); }

// Relations as the branch instructions need them (ECMA-262 11.8: a NaN makes every
// relation false, so the negated branches take it).
bool less(const Value& a, const Value& b) { return lessThan(a, b) == Compare::True; }
bool lessEq(const Value& a, const Value& b) { return lessThan(b, a) == Compare::False; }

Value intOrNumber(int64_t v) {
  if (v >= INT32_MIN && v <= INT32_MAX) return Value(static_cast<int32_t>(v));
  return Value(static_cast<double>(v));
}

Value arith(Op op, const Value& a, const Value& b) {
  if (a.isInt() && b.isInt()) {
    int64_t x = a.asInt(), y = b.asInt();
    switch (op) {
      case Op::subtract:
        return intOrNumber(x - y);
      case Op::multiply:
        if ((x * y) != 0 || (x >= 0 && y >= 0)) return intOrNumber(x * y);  // keeps -0
        break;
      default:
        break;
    }
  }
  double x = toNumber(a), y = toNumber(b);
  switch (op) {
    case Op::subtract:
      return Value(x - y);
    case Op::multiply:
      return Value(x * y);
    case Op::divide:
      return Value(x / y);
    default:
      return Value(fmodScript(x, y));
  }
}

Value bits(Op op, const Value& a, const Value& b) {
  int32_t x = toInt32(a);
  uint32_t shift = toUint32(b) & 31;
  switch (op) {
    case Op::lshift:
      return Value(static_cast<int32_t>(static_cast<uint32_t>(x) << shift));
    case Op::rshift:
      return Value(x >> shift);
    case Op::urshift:
      return Value(static_cast<uint32_t>(x) >> shift);
    case Op::bitand_:
      return Value(x & toInt32(b));
    case Op::bitor_:
      return Value(x | toInt32(b));
    default:
      return Value(x ^ toInt32(b));
  }
}

// The operand stack: its room is the method's declared maximum, which the verifier has
// checked every path keeps to, so pushes need no growth or bounds checks.
class OperandStack {
 public:
  explicit OperandStack(size_t room) : values_(new Value[room + 1]), top_(values_.get()) {}
  void push_back(Value v) { *top_++ = std::move(v); }
  template <typename... Args>
  void emplace_back(Args&&... args) {
    *top_++ = Value(std::forward<Args>(args)...);
  }
  Value& back() { return top_[-1]; }
  void pop_back() { *--top_ = Value(); }
  Value take() { return std::move(*--top_); }
  size_t size() const { return size_t(top_ - values_.get()); }
  Value& operator[](size_t i) { return values_[i]; }
  void clear() {
    while (top_ != values_.get()) pop_back();
  }

 private:
  std::unique_ptr<Value[]> values_;
  Value* top_;
};

}  // namespace

std::variant<Value, Thrown> Interpreter::run(const abc::AbcFile& file, const abc::MethodBody& body,
                                             const DecodedMethod& code, std::vector<Value> args,
                                             uint64_t budget) {
  std::vector<Value> regs(std::max<size_t>(body.localCount, 1));
  for (size_t i = 0; i < args.size() && i < regs.size(); ++i) regs[i] = std::move(args[i]);
  OperandStack stack(body.maxStack);
  const abc::ConstantPool& pool = file.pool;
  uint32_t pc = 0;
  auto pop = [&] { return stack.take(); };
  for (;;) {
    try {
      for (;;) {
        if (budget-- == 0)
          machineError(
              1502,
              "A script has executed for longer than the default timeout period of 15 seconds.");
        const Instruction& in = code.code[pc++];
        switch (in.op) {
          // ---- values and registers ----
          case Op::nop:
          case Op::label:
          case Op::bkpt:
          case Op::debug:
          case Op::debugline:
          case Op::debugfile:
            break;
          case Op::pushnull:
            stack.push_back(Value::null());
            break;
          case Op::pushundefined:
            stack.emplace_back();
            break;
          case Op::pushtrue:
            stack.emplace_back(true);
            break;
          case Op::pushfalse:
            stack.emplace_back(false);
            break;
          case Op::pushnan:
            stack.emplace_back(std::numeric_limits<double>::quiet_NaN());
            break;
          case Op::pushbyte:
          case Op::pushshort:
            stack.emplace_back(static_cast<int32_t>(in.a));
            break;
          case Op::pushint:
            stack.emplace_back(pool.ints[in.a]);
            break;
          case Op::pushuint:
            stack.emplace_back(pool.uints[in.a]);
            break;
          case Op::pushdouble:
            stack.emplace_back(pool.doubles[in.a]);
            break;
          case Op::pushstring:
            stack.emplace_back(names_.intern(pool.strings[in.a]));
            break;
          case Op::pop:
            stack.pop_back();
            break;
          case Op::dup:
            stack.push_back(stack.back());
            break;
          case Op::swap:
            std::swap(stack[stack.size() - 1], stack[stack.size() - 2]);
            break;
          case Op::getlocal:
            stack.push_back(regs[in.a]);
            break;
          case Op::getlocal0:
          case Op::getlocal1:
          case Op::getlocal2:
          case Op::getlocal3:
            stack.push_back(
                regs[static_cast<uint8_t>(in.op) - static_cast<uint8_t>(Op::getlocal0)]);
            break;
          case Op::setlocal:
            regs[in.a] = pop();
            break;
          case Op::setlocal0:
          case Op::setlocal1:
          case Op::setlocal2:
          case Op::setlocal3:
            regs[static_cast<uint8_t>(in.op) - static_cast<uint8_t>(Op::setlocal0)] = pop();
            break;
          case Op::kill:
            regs[in.a] = Value();
            break;
          case Op::inclocal:
            regs[in.a] = Value(toNumber(regs[in.a]) + 1);
            break;
          case Op::declocal:
            regs[in.a] = Value(toNumber(regs[in.a]) - 1);
            break;
          case Op::inclocal_i:
            regs[in.a] = Value(int32_t(uint32_t(toInt32(regs[in.a])) + 1));
            break;
          case Op::declocal_i:
            regs[in.a] = Value(int32_t(uint32_t(toInt32(regs[in.a])) - 1));
            break;

          // ---- arithmetic ----
          case Op::add: {
            Value b = pop();
            stack.back() = add(stack.back(), b);
            break;
          }
          case Op::subtract:
          case Op::multiply:
          case Op::divide:
          case Op::modulo: {
            Value b = pop();
            stack.back() = arith(in.op, stack.back(), b);
            break;
          }
          case Op::lshift:
          case Op::rshift:
          case Op::urshift:
          case Op::bitand_:
          case Op::bitor_:
          case Op::bitxor: {
            Value b = pop();
            stack.back() = bits(in.op, stack.back(), b);
            break;
          }
          case Op::add_i:
          case Op::subtract_i:
          case Op::multiply_i: {
            uint32_t b = toUint32(pop());
            uint32_t a = toUint32(stack.back());
            uint32_t r = in.op == Op::add_i ? a + b : in.op == Op::subtract_i ? a - b : a * b;
            stack.back() = Value(static_cast<int32_t>(r));
            break;
          }
          case Op::negate:
            stack.back() = Value(-toNumber(stack.back()));
            break;
          case Op::negate_i:
            stack.back() = Value(int32_t(0u - toUint32(stack.back())));
            break;
          case Op::increment:
            stack.back() = Value(toNumber(stack.back()) + 1);
            break;
          case Op::decrement:
            stack.back() = Value(toNumber(stack.back()) - 1);
            break;
          case Op::increment_i:
            stack.back() = Value(int32_t(toUint32(stack.back()) + 1));
            break;
          case Op::decrement_i:
            stack.back() = Value(int32_t(toUint32(stack.back()) - 1));
            break;
          case Op::bitnot:
            stack.back() = Value(~toInt32(stack.back()));
            break;
          case Op::not_:
            stack.back() = Value(!toBoolean(stack.back()));
            break;
          case Op::typeof_:
            stack.back() = Value(names_.intern(typeofPrimitive(stack.back())));
            break;

          // ---- comparison ----
          case Op::equals:
          case Op::strictequals:
          case Op::lessthan:
          case Op::lessequals:
          case Op::greaterthan:
          case Op::greaterequals: {
            Value b = pop();
            const Value& a = stack.back();
            bool r = in.op == Op::equals         ? looseEquals(a, b)
                     : in.op == Op::strictequals ? strictEquals(a, b)
                     : in.op == Op::lessthan     ? less(a, b)
                     : in.op == Op::lessequals   ? lessEq(a, b)
                     : in.op == Op::greaterthan  ? less(b, a)
                                                 : lessEq(b, a);
            stack.back() = Value(r);
            break;
          }

          // ---- conversion ----
          case Op::convert_i:
          case Op::coerce_i:
            stack.back() = Value(toInt32(stack.back()));
            break;
          case Op::convert_u:
          case Op::coerce_u:
            stack.back() = Value(toUint32(stack.back()));
            break;
          case Op::convert_d:
          case Op::coerce_d:
            stack.back() = Value(toNumber(stack.back()));
            break;
          case Op::convert_b:
          case Op::coerce_b:
            stack.back() = Value(toBoolean(stack.back()));
            break;
          case Op::convert_s:
            stack.back() = Value(toStringRef(stack.back()));
            break;
          case Op::coerce_s:
            if (stack.back().isNullish())
              stack.back() = Value::null();
            else
              stack.back() = Value(toStringRef(stack.back()));
            break;
          case Op::coerce_a:
            break;

          // ---- control flow ----
          case Op::jump:
            pc = in.a;
            break;
          case Op::iftrue:
            if (toBoolean(pop())) pc = in.a;
            break;
          case Op::iffalse:
            if (!toBoolean(pop())) pc = in.a;
            break;
          case Op::ifeq:
          case Op::ifne:
          case Op::ifstricteq:
          case Op::ifstrictne:
          case Op::iflt:
          case Op::ifnlt:
          case Op::ifle:
          case Op::ifnle:
          case Op::ifgt:
          case Op::ifngt:
          case Op::ifge:
          case Op::ifnge: {
            Value b = pop();
            Value a = pop();
            bool take = false;
            switch (in.op) {
              case Op::ifeq:
                take = looseEquals(a, b);
                break;
              case Op::ifne:
                take = !looseEquals(a, b);
                break;
              case Op::ifstricteq:
                take = strictEquals(a, b);
                break;
              case Op::ifstrictne:
                take = !strictEquals(a, b);
                break;
              case Op::iflt:
                take = less(a, b);
                break;
              case Op::ifnlt:
                take = !less(a, b);
                break;
              case Op::ifle:
                take = lessEq(a, b);
                break;
              case Op::ifnle:
                take = !lessEq(a, b);
                break;
              case Op::ifgt:
                take = less(b, a);
                break;
              case Op::ifngt:
                take = !less(b, a);
                break;
              case Op::ifge:
                take = lessEq(b, a);
                break;
              default:
                take = !lessEq(b, a);
                break;  // ifnge
            }
            if (take) pc = in.a;
            break;
          }
          case Op::lookupswitch: {
            Value index = pop();
            double i = toNumber(index);
            uint32_t cases = in.b - 1;  // entries after the default
            pc = (i >= 0 && i < cases && i == std::floor(i))
                     ? code.switchTargets[in.a + 1 + static_cast<uint32_t>(i)]
                     : code.switchTargets[in.a];
            break;
          }
          case Op::returnvoid:
            return Value();
          case Op::returnvalue:
            return pop();
          case Op::throw_:
            throw Throw{{pop(), 0, {}}};

          default:
            machineError(
                1001, std::string("The method ") + instructionName(in.op) + " is not implemented.");
        }
      }
    } catch (Throw& t) {
      // The first handler guarding the instruction that threw. Until classes exist only
      // handlers that catch everything (finally blocks, untyped catch) are known, and only
      // values scripts threw reach them: the machine's own errors become Error objects with
      // the object model.
      uint32_t at = pc - 1;
      const DecodedHandler* handler = nullptr;
      for (const DecodedHandler& h : code.handlers) {
        if (at >= h.from && at < h.to && h.excType == 0) {
          handler = &h;
          break;
        }
      }
      if (!handler || t.thrown.errorId != 0) return std::move(t.thrown);
      stack.clear();
      stack.push_back(std::move(t.thrown.value));
      pc = handler->target;
    }
  }
}

}  // namespace orv::movie::avm2
