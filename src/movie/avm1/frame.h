// One activation of the action loop: a frame script, a function call or an eval.
#pragma once

#include <string>
#include <vector>

#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

struct Vm::Frame {
  CodeBuffer code;
  ConstantPool constants = std::make_shared<std::vector<Value>>();
  int version = 6;
  std::vector<Value> stack;
  std::vector<Object*> scope;  // outermost first; back() is searched first
  Object* target = nullptr;    // the clip timeline actions apply to (SetTarget)
  Object* originalTarget = nullptr;
  // SetTarget named no clip: the root stands in as the target, but the block's own
  // target (an empty path in GetProperty) is none.
  bool targetMissing = false;
  Value thisValue;
  Object* activation = nullptr;  // locals of a function; nullptr at frame level
  Object* callee = nullptr;
  Object* homeProto = nullptr;  // prototype the running method was found on
  Object* arguments = nullptr;
  std::vector<Value> registers = std::vector<Value>(4);
  // A DefineFunction2 body may use every register up to 255 whatever it declares; they
  // are made when first stored to (an unmade one reads as undefined).
  size_t registerLimit = 4;
  int withDepth = 0;  // with blocks open in this activation
  bool returned = false;
  Value returnValue;

  Value* registerToStore(size_t r) {
    if (r >= registers.size()) {
      if (r >= registerLimit) return nullptr;
      registers.resize(r + 1);
    }
    return &registers[r];
  }

  Value pop() {
    if (stack.empty()) return Value();
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
  }
};

}  // namespace orv::movie::avm1
