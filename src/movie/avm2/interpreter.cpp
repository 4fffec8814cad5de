#include "movie/avm2/interpreter.h"

#include <cmath>
#include <limits>
#include <memory>

#include "movie/avm2/conversions.h"
#include "movie/avm2/frame.h"

namespace orv::movie::avm2 {

namespace {

double fmodScript(double a, double b) { return std::fmod(a, b); }

Value intOrNumber(int64_t v) {
  if (v >= INT32_MIN && v <= INT32_MAX) return Value(static_cast<int32_t>(v));
  return Value(static_cast<double>(v));
}

}  // namespace

Value Frame::arith(Op op, const Value& a, const Value& b) {
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
  double x = number(a), y = number(b);
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

Value Frame::bits(Op op, const Value& a, const Value& b) {
  int32_t x = m_.toInt(a);
  int32_t y = m_.toInt(b);
  uint32_t shift = static_cast<uint32_t>(y) & 31;
  switch (op) {
    case Op::lshift:
      return Value(static_cast<int32_t>(static_cast<uint32_t>(x) << shift));
    case Op::rshift:
      return Value(x >> shift);
    case Op::urshift:
      return Value(static_cast<uint32_t>(x) >> shift);
    case Op::bitand_:
      return Value(x & y);
    case Op::bitor_:
      return Value(x | y);
    default:
      return Value(x ^ y);
  }
}

bool Frame::compare(Op op, const Value& a0, const Value& b0) {
  if (op == Op::equals || op == Op::ifeq) return m_.looseEquals(a0, b0);
  if (op == Op::ifne) return !m_.looseEquals(a0, b0);
  if (op == Op::strictequals || op == Op::ifstricteq) return strictEquals(a0, b0);
  if (op == Op::ifstrictne) return !strictEquals(a0, b0);
  Value a = a0.isObject() ? m_.toPrimitive(a0) : a0;
  Value b = b0.isObject() ? m_.toPrimitive(b0) : b0;
  // ECMA-262 11.8: a NaN makes every relation false, so the negated branches take it.
  auto less = [](const Value& x, const Value& y) { return lessThan(x, y) == Compare::True; };
  auto lessEq = [](const Value& x, const Value& y) { return lessThan(y, x) == Compare::False; };
  switch (op) {
    case Op::lessthan:
    case Op::iflt:
      return less(a, b);
    case Op::ifnlt:
      return !less(a, b);
    case Op::lessequals:
    case Op::ifle:
      return lessEq(a, b);
    case Op::ifnle:
      return !lessEq(a, b);
    case Op::greaterthan:
    case Op::ifgt:
      return less(b, a);
    case Op::ifngt:
      return !less(b, a);
    case Op::greaterequals:
    case Op::ifge:
      return lessEq(b, a);
    default:  // ifnge
      return !lessEq(b, a);
  }
}

Value Frame::run() {
  const abc::ConstantPool& pool = unit_.file->pool;
  uint32_t pc = 0;
  for (;;) {
    try {
      for (;;) {
        if (m_.budget == 0) m_.budgetSpent();
        --m_.budget;
        const Instruction& in = code_.code[pc++];
        switch (in.op) {
          case Op::nop: case Op::label: case Op::bkpt: case Op::debug: case Op::debugline:
          case Op::debugfile:
            break;
          case Op::pushnull: stack_.push_back(Value::null()); break;
          case Op::pushundefined: stack_.emplace_back(); break;
          case Op::pushtrue: stack_.emplace_back(true); break;
          case Op::pushfalse: stack_.emplace_back(false); break;
          case Op::pushnan: stack_.emplace_back(std::numeric_limits<double>::quiet_NaN()); break;
          case Op::pushbyte: case Op::pushshort:
            stack_.emplace_back(static_cast<int32_t>(in.a));
            break;
          case Op::pushint: stack_.emplace_back(pool.ints[in.a]); break;
          case Op::pushuint: stack_.emplace_back(pool.uints[in.a]); break;
          case Op::pushdouble: stack_.emplace_back(pool.doubles[in.a]); break;
          case Op::pushstring: stack_.emplace_back(unit_.strings[in.a]); break;
          case Op::pop: stack_.pop_back(); break;
          case Op::dup: stack_.push_back(stack_.back()); break;
          case Op::swap: std::swap(stack_[stack_.size() - 1], stack_[stack_.size() - 2]); break;
          case Op::getlocal: stack_.push_back(regs_[in.a]); break;
          case Op::getlocal0: case Op::getlocal1: case Op::getlocal2: case Op::getlocal3:
            stack_.push_back(regs_[static_cast<uint8_t>(in.op) - static_cast<uint8_t>(Op::getlocal0)]);
            break;
          case Op::setlocal: regs_[in.a] = pop(); break;
          case Op::setlocal0: case Op::setlocal1: case Op::setlocal2: case Op::setlocal3:
            regs_[static_cast<uint8_t>(in.op) - static_cast<uint8_t>(Op::setlocal0)] = pop();
            break;
          case Op::kill: regs_[in.a] = Value(); break;
          case Op::inclocal: regs_[in.a] = Value(number(regs_[in.a]) + 1); break;
          case Op::declocal: regs_[in.a] = Value(number(regs_[in.a]) - 1); break;
          case Op::inclocal_i: {
            Value& r = regs_[in.a];
            r = Value(int32_t(uint32_t(r.isInt() ? r.asInt() : m_.toInt(r)) + 1));
            break;
          }
          case Op::convert_i: case Op::coerce_i:
            if (!stack_.back().isInt()) stack_.back() = Value(m_.toInt(stack_.back()));
            break;
          case Op::declocal_i: regs_[in.a] = Value(int32_t(uint32_t(m_.toInt(regs_[in.a])) - 1)); break;
          case Op::add: {
            Value b = pop();
            Value& a = stack_.back();
            if (a.isInt() && b.isInt()) {
              int64_t sum = int64_t{a.asInt()} + b.asInt();
              a = sum == static_cast<int32_t>(sum) ? Value(static_cast<int32_t>(sum))
                                                   : Value(static_cast<double>(sum));
            } else {
              a = m_.add(a, b);
            }
            break;
          }
          case Op::subtract: case Op::multiply: case Op::divide: case Op::modulo: {
            Value b = pop();
            stack_.back() = arith(in.op, stack_.back(), b);
            break;
          }
          case Op::lshift: case Op::rshift: case Op::urshift: case Op::bitand_: case Op::bitor_:
          case Op::bitxor: {
            Value b = pop();
            stack_.back() = bits(in.op, stack_.back(), b);
            break;
          }
          case Op::add_i: case Op::subtract_i: case Op::multiply_i: {
            uint32_t b = m_.toUint(pop());
            uint32_t a = m_.toUint(stack_.back());
            uint32_t r = in.op == Op::add_i ? a + b : in.op == Op::subtract_i ? a - b : a * b;
            stack_.back() = Value(static_cast<int32_t>(r));
            break;
          }
          case Op::equals: case Op::strictequals: case Op::lessthan: case Op::lessequals:
          case Op::greaterthan: case Op::greaterequals: {
            Value b = pop();
            stack_.back() = Value(compare(in.op, stack_.back(), b));
            break;
          }
          case Op::jump: pc = in.a; break;
          case Op::iftrue: if (toBoolean(pop())) pc = in.a; break;
          case Op::iffalse: if (!toBoolean(pop())) pc = in.a; break;
          case Op::ifeq: case Op::ifne: case Op::ifstricteq: case Op::ifstrictne: case Op::iflt:
          case Op::ifnlt: case Op::ifle: case Op::ifnle: case Op::ifgt: case Op::ifngt:
          case Op::ifge: case Op::ifnge: {
            Value b = pop();
            Value a = pop();
            if (a.isInt() && b.isInt() && in.op == Op::iflt) {
              if (a.asInt() < b.asInt()) pc = in.a;
            } else if (compare(in.op, a, b)) {
              pc = in.a;
            }
            break;
          }
          case Op::lookupswitch: {
            double i = number(pop());
            uint32_t cases = in.b - 1;  // entries after the default
            pc = (i >= 0 && i < cases && i == std::floor(i))
                     ? code_.switchTargets[in.a + 1 + static_cast<uint32_t>(i)]
                     : code_.switchTargets[in.a];
            break;
          }
          case Op::returnvoid: return Value();
          case Op::returnvalue: return pop();
          case Op::throw_: throw ScriptThrow{pop()};
          case Op::getproperty: {
            Name n = name(in.a);
            stack_.back() = m_.getProperty(stack_.back(), n);
            break;
          }
          case Op::callproperty: case Op::callproplex: case Op::callpropvoid:
            callProperty(in);
            break;
          case Op::getlex: {
            const Name& n = unit_.multinames[in.a];
            stack_.push_back(m_.getProperty(find(n, true), n));
            break;
          }
          case Op::getslot: {
            Value& top = stack_.back();
            top = Value(slot(top, in.a));
            break;
          }
          default:
            pc = other(in, pc);
            break;
        }
      }
    } catch (ScriptThrow& t) {
      if (!handle(t, pc)) throw;
    }
  }
}

bool Frame::handle(ScriptThrow& t, uint32_t& pc) {
  if (m_.timedOut) return false;  // a timed-out script stops whatever it catches
  uint32_t at = pc - 1;
  for (size_t i = 0; i < code_.handlers.size(); ++i) {
    const DecodedHandler& h = code_.handlers[i];
    if (at < h.from || at >= h.to) continue;
    if (h.excType != 0) {
      ClassObject* type = nullptr;
      try {
        type = m_.resolveType(unit_, h.excType);
      } catch (ScriptThrow&) {
        continue;
      }
      if (type && !m_.isInstance(t.value, type)) continue;
    }
    stack_.clear();
    scopes_.clear();
    stack_.push_back(std::move(t.value));
    pc = h.target;
    return true;
  }
  return false;
}

// ---- Entering a method ----

namespace {

void prepare(Machine& m, Method* method) {
  if (method->decoded) return;
  if (method->failure) {
    m.fail(ErrorClass::VerifyError, method->failure->errorId);
  }
  const abc::AbcFile& file = *method->unit->file;
  const abc::MethodBody* body = file.bodyOf(method->index);
  if (!body) m.fail(ErrorClass::VerifyError, 1001, {method->name + "()"});
  auto decoded = decodeMethod(file, *body, method->name);
  if (auto* f = std::get_if<VerifyFailure>(&decoded)) {
    method->failure = *f;
    throw ScriptThrow{Value(m.makeError(ErrorClass::VerifyError, f->errorId, f->message))};
  }
  method->decodedStore = std::make_unique<DecodedMethod>(std::move(std::get<DecodedMethod>(decoded)));
  method->decoded = method->decodedStore.get();
}

void resolveTypes(Machine& m, Method* method) {
  if (method->typesResolved) return;
  const abc::MethodInfo& info = method->unit->file->methods[method->index];
  method->params.clear();
  for (uint32_t t : info.paramTypes) method->params.push_back(m.slotTypeFor(*method->unit, t));
  method->returnType = m.slotTypeFor(*method->unit, info.returnType);
  if (info.returnType && method->unit->multinames[info.returnType].name &&
      method->unit->multinames[info.returnType].name->view() == "void")
    method->returnType = SlotInfo();
  method->typesResolved = true;
}

}  // namespace

Value Machine::interpret(Method* method, const Value& self, std::span<Value> args,
                         const ScopeRef& scope, ClassObject* owner) {
  FunctionObject* callee = enteringFunction && enteringFunction->method == method ? enteringFunction
                                                                                  : nullptr;
  enteringFunction = nullptr;
  prepare(*this, method);
  resolveTypes(*this, method);
  const abc::AbcFile& file = *method->unit->file;
  const abc::MethodInfo& info = file.methods[method->index];
  const abc::MethodBody& body = *file.bodyOf(method->index);
  size_t declared = info.paramTypes.size();
  size_t required = declared - std::min(declared, info.optional.size());
  bool extra = info.has(abc::MethodFlag::NeedRest) || info.has(abc::MethodFlag::NeedArguments) ||
               info.has(abc::MethodFlag::IgnoreRest);
  // Methods of classes insist on their argument count; functions take what they are
  // given (missing arguments undefined, extra ones ignored), as the player's do.
  if (owner && (args.size() < required || (args.size() > declared && !extra)))
    fail(ErrorClass::ArgumentError, 1063,
         {method->name + "()", std::to_string(args.size() < required ? required : declared),
          std::to_string(args.size())});
  // `default xml namespace` lasts until the method that set it returns.
  struct RestoreXmlNs {
    String*& slot;
    String* saved;
    ~RestoreXmlNs() { slot = saved; }
  } restoreXmlNs{defaultXmlNs, defaultXmlNs};
  // Names the code looks up are found in its own file's domain.
  struct RestoreDomain {
    uint32_t& slot;
    uint32_t saved;
    ~RestoreDomain() { slot = saved; }
  } restoreDomain{currentDomain, currentDomain};
  currentDomain = method->unit->domain;
  Frame frame(*this, method, *method->decoded, body, scope, owner);
  std::vector<Value>& regs = frame.registers();
  regs[0] = self;
  for (size_t i = 0; i < declared; ++i) {
    Value v = i < args.size()  ? args[i]
              : i >= required ? constantValue(*method->unit, info.optional[i - required])
                              : Value();
    regs[1 + i] = coerce(v, method->params[i]);
  }
  if (info.has(abc::MethodFlag::NeedRest)) {
    std::vector<Value> rest;
    for (size_t i = declared; i < args.size(); ++i) rest.push_back(args[i]);
    regs[1 + declared] = Value(newArray(std::move(rest)));
  } else if (info.has(abc::MethodFlag::NeedArguments)) {
    ArrayObject* arguments = newArray(std::vector<Value>(args.begin(), args.end()));
    if (!callee) {
      callee = newFunction(method, scope, owner);
      // A class's method is its closure over the receiver, the same one each call.
      if (owner && self.isObject()) {
        callee->boundThis = self;
        callee->bound = true;
      }
    }
    arguments->setHidden(intern("callee"), Value(static_cast<Object*>(callee)));
    regs[1 + declared] = Value(static_cast<Object*>(arguments));
  }
  Value result = frame.run();
  return coerce(result, method->returnType);
}

// ---- The first loop's interface, for running one body alone ----

Interpreter::Interpreter(StringTable&) : machine_(std::make_unique<Machine>()) {}
Interpreter::~Interpreter() = default;

std::variant<Value, Thrown> Interpreter::run(const abc::AbcFile& file, const abc::MethodBody& body,
                                             const DecodedMethod& code, std::vector<Value> args,
                                             uint64_t budget) {
  Machine& m = *machine_;
  if (!unit_ || unit_->file.get() != &file) {
    std::string error;
    unit_ = m.load(std::shared_ptr<const abc::AbcFile>(&file, [](const abc::AbcFile*) {}), error);
    if (!unit_) return Thrown{Value(), 1001, error};
  }
  Method* method = unit_->methods[body.method].get();
  method->decoded = &code;
  m.budget = budget;
  m.timedOut = false;
  Value self = args.empty() ? Value() : args[0];
  std::vector<Value> rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
  // The body runs with the registers it is given, whatever its signature says.
  method->typesResolved = true;
  method->params.assign(file.methods[body.method].paramTypes.size(), SlotInfo());
  try {
    Frame frame(m, method, code, body, nullptr, nullptr);
    for (size_t i = 0; i < args.size() && i < frame.registers().size(); ++i)
      frame.registers()[i] = args[i];
    return frame.run();
  } catch (ScriptThrow& t) {
    Thrown r{t.value};
    if (t.value.isObject() && m.isInstance(t.value, m.errorClasses[0])) {
      r.errorId = m.toInt(m.get(t.value, "errorID"));
      r.message = m.toText(m.get(t.value, "message"));
    }
    return r;
  }
}

}  // namespace orv::movie::avm2
