// Action handlers: variables, members, object and array literals, constant pools, classes.
#include <memory>

#include "movie/avm1/action_run.h"

namespace orv::movie::avm1 {

void ActionRun::getVariable() {
  Value name = f.pop();
  push(vm.getVariable(f, vm.toString(name)));
}

void ActionRun::setVariable() {
  Value v = f.pop();
  std::string name = vm.toString(f.pop());
  vm.setVariable(f, name, v);
}

void ActionRun::defineLocal() {
  Value v = f.pop();
  std::string name = vm.toString(f.pop());
  if (f.activation)
    f.activation->defineOwn(name, vm.caseInsensitive()).value = v;
  else
    vm.setVariable(f, name, v);
}

void ActionRun::defineLocal2() {
  std::string name = vm.toString(f.pop());
  Object* s = f.activation ? f.activation : (f.scope.empty() ? nullptr : f.scope.front());
  const bool ci = vm.caseInsensitive();
  // Outside a function the name may be a path ("var /:a;"): the member is made where it
  // leads. A function's locals take the name as it is.
  if (!f.activation) {
    Object* owner = nullptr;
    std::string member;
    if (vm.splitPath(f, name, &owner, &member)) {
      if (owner && !owner->findOwn(member, ci)) owner->defineOwn(member, ci);
      return;
    }
  }
  if (s && !s->findOwn(name, ci)) s->defineOwn(name, ci);
}

void ActionRun::deleteName(ActionCode op) {
  std::string name = vm.toString(f.pop());
  // Delete without an object to delete from deletes a variable, as Delete2 does (up to
  // SWF 6).
  Value o = op == ActionCode::Delete ? f.pop() : Value();
  if (op == ActionCode::Delete && (!o.isUndefined() || vm.version_ >= 7))
    return push(Value(o.isObject() && vm.deleteMember(o.asObject(), name)));
  if (size_t cut = name.find_last_of(":."); cut != std::string::npos && cut > 0) {
    // "o.b", "o:c.b": b of what the path before the last separator names. A path
    // through a primitive deletes nothing, and the player says so.
    Value base = vm.getVariable(f, std::string_view(name).substr(0, cut));
    if (!base.isObject() && !base.isNullish()) {
      vm.host_.trace(
          "Parameters of primitive types are no longer coerced into the required type - "
          "Object.");
      return push(Value(false));
    }
    if (cut + 1 < name.size()) {
      Object* owner = vm.resolveTargetPath(f, std::string_view(name).substr(0, cut));
      return push(Value(owner && vm.deleteMember(owner, name.substr(cut + 1))));
    }
  }
  Object* owner = nullptr;
  std::string member;
  if (name.find_first_of(":.") != std::string::npos && vm.splitPath(f, name, &owner, &member))
    return push(Value(owner ? vm.deleteMember(owner, member) : false));
  const bool ci = vm.caseInsensitive();
  for (auto it = f.scope.rbegin(); it != f.scope.rend(); ++it)
    if (*it && (*it)->findOwn(name, ci)) {
      // A function's local variables cannot be deleted.
      return push(Value(*it != f.activation && vm.deleteMember(*it, name)));
    }
  if (vm.global->findOwn(name, ci))
    push(Value(vm.deleteMember(vm.global, name)));
  else
    push(Value(false));
}

void ActionRun::getMember() {
  Value name = f.pop();
  Value o = f.pop();
  push(vm.getMember(o, vm.toString(name)));
}

void ActionRun::setMember() {
  Value v = f.pop();
  std::string name = vm.toString(f.pop());
  Value o = f.pop();
  if (o.isObject()) vm.setMember(o.asObject(), name, v);
}

void ActionRun::enumerate(ActionCode op) {
  Value v = f.pop();
  Value objV = op == ActionCode::Enumerate ? vm.getVariable(f, vm.toString(v)) : v;
  // The end marker scripts see is undefined (== null, as loops test it).
  push(Value());
  if (objV.isObject()) {
    std::vector<std::string> names = vm.enumerableNames(objV.asObject());
    for (auto it = names.rbegin(); it != names.rend(); ++it) push(Value(*it));
  }
}

void ActionRun::initArray() { push(Value(vm.newArray(popList()))); }

void ActionRun::initObject() {
  const double count = vm.toNumber(f.pop());
  // A count of more pairs than the stack holds builds nothing and takes nothing.
  if (!(count >= 0) || count * 2 > static_cast<double>(f.stack.size())) return push(Value());
  const size_t n = static_cast<size_t>(count);
  Object* o = vm.newObject();
  for (size_t i = 0; i < n && !f.stack.empty(); ++i) {
    Value v = f.pop();
    std::string name = vm.toString(f.pop());
    vm.setMember(o, name, v);
  }
  push(Value(o));
}

void ActionRun::constantPool(PayloadReader& r) {
  auto pool = std::make_shared<std::vector<Value>>();
  uint16_t n = r.u16();
  for (uint16_t i = 0; i < n && r.pos < r.end; ++i) pool->push_back(Value(r.str()));
  f.constants = pool;
}

void ActionRun::instanceOf() {
  Value ctor = f.pop();
  Value o = f.pop();
  // A primitive is an instance of nothing ("text" instanceof String is false).
  Object* obj = o.isObject() ? o.asObject() : nullptr;
  push(Value(ctor.isObject() && obj && vm.instanceOf(obj, ctor.asObject())));
}

void ActionRun::extends() {
  Value superV = f.pop();
  Value subV = f.pop();
  if (!subV.isObject() || !superV.isObject()) return;
  const bool ci = vm.caseInsensitive();
  Value superProto = vm.getMember(superV.asObject(), "prototype");
  Object* proto = vm.allocate<Object>();
  if (superProto.isObject()) proto->put("__proto__", superProto, kDontEnum | kDontDelete, ci);
  proto->put("__constructor__", superV, kDontEnum, ci);
  vm.setMember(subV.asObject(), "prototype", Value(proto));
}

void ActionRun::implementsOp() {
  Value ctor = f.pop();
  std::vector<Value> interfaces = popList();
  if (!ctor.isObject()) return;
  Value proto = vm.getMember(ctor.asObject(), "prototype");
  if (proto.isObject())
    proto.asObject()->put("__implements__", Value(vm.newArray(interfaces)), kDontEnum,
                          vm.caseInsensitive());
}

void ActionRun::castOp() {
  Value o = f.pop();
  Value ctor = f.pop();
  bool ok = o.isObject() && ctor.isObject() && vm.instanceOf(o.asObject(), ctor.asObject());
  push(ok ? o : Value::null());
}

}  // namespace orv::movie::avm1
