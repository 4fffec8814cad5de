// One activation of the action loop: a frame script, a function call or an eval.
#pragma once

#include <string>
#include <vector>

#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

struct Vm::Frame {
  CodeBuffer code;
  ConstantPool constants = std::make_shared<std::vector<std::string>>();
  int version = 6;
  std::vector<Value> stack;
  std::vector<Object*> scope;  // outermost first; back() is searched first
  Object* target = nullptr;    // the clip timeline actions apply to (SetTarget)
  Object* originalTarget = nullptr;
  Value thisValue;
  Object* activation = nullptr;  // locals of a function; nullptr at frame level
  Object* callee = nullptr;
  Object* homeProto = nullptr;  // prototype the running method was found on
  Object* arguments = nullptr;
  std::vector<Value> registers = std::vector<Value>(4);
  int withDepth = 0;  // with blocks open in this activation
  bool returned = false;
  Value returnValue;

  Value pop() {
    if (stack.empty()) return Value();
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
  }
};

}  // namespace orv::movie::avm1
