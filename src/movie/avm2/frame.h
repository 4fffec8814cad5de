// One running method: its registers, operand stack and scope stack, and the instructions
// that work on them. interpreter.cpp holds the loop and the hot instructions; frame_ops.cpp
// the instructions of objects, names, scopes, classes and types.
#pragma once

#include <memory>
#include <vector>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

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
  Value* top() { return top_; }
  // The top n values, for a call's arguments (valid until the next push).
  std::span<Value> last(size_t n) { return {top_ - n, n}; }
  void drop(size_t n) {
    while (n--) pop_back();
  }
  void clear() {
    while (top_ != values_.get()) pop_back();
  }

 private:
  std::unique_ptr<Value[]> values_;
  Value* top_;
};

class Frame {
 public:
  Frame(Machine& m, Method* method, const DecodedMethod& code, const abc::MethodBody& body,
        const ScopeRef& outer, ClassObject* owner)
      : m_(m),
        method_(method),
        unit_(*method->unit),
        code_(code),
        body_(body),
        outer_(outer),
        owner_(owner),
        regs_(std::max<size_t>(body.localCount,
                               unit_.file->methods[method->index].paramTypes.size() + 2)),
        stack_(body.maxStack) {
    scopes_.reserve(body.maxScopeDepth);
  }
  std::vector<Value>& registers() { return regs_; }
  Value run();

 private:
  Value pop() { return stack_.take(); }
  double number(const Value& v) { return v.isNumeric() ? v.numeric() : m_.toNumber(v); }
  // A multiname of the unit with its run-time parts taken from the stack.
  Name name(uint32_t index);
  Value find(const Name& n, bool strict);
  Value globalObject();
  std::string xmlEscape(const Value& v, bool attribute);
  Value& slot(const Value& obj, uint32_t id);
  ScopeRef captureScope();
  void callProperty(const Instruction& in);
  uint32_t other(const Instruction& in, uint32_t pc);
  uint32_t objectOps(const Instruction& in, uint32_t pc);
  uint32_t typeOps(const Instruction& in, uint32_t pc);
  void superOps(const Instruction& in);
  void enumerate(const Instruction& in);
  void memory(const Instruction& in);  // the domain memory loads and stores
  bool handle(ScriptThrow& t, uint32_t& pc);
  Value arith(Op op, const Value& a, const Value& b);
  Value bits(Op op, const Value& a, const Value& b);
  bool compare(Op op, const Value& a, const Value& b);
  Object* activation();
  Object* catchScope(uint32_t handler);

  Machine& m_;
  Method* method_;
  AbcUnit& unit_;
  const DecodedMethod& code_;
  const abc::MethodBody& body_;
  const ScopeRef& outer_;
  ClassObject* owner_;
  std::vector<Value> regs_;
  OperandStack stack_;
  std::vector<ScopeEntry> scopes_;
};

}  // namespace orv::movie::avm2
