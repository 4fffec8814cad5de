// Object and Function: the root of every prototype chain.
#include <cmath>

#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {
bool isFunction(const Value& v) {
  return v.isObject() && v.asObject()->kind == ObjectKind::Function;
}
}  // namespace

void installObjectBuiltins(Vm& vm) {
  bool ci = vm.caseInsensitive();
  Object* proto = vm.objectProto;
  FunctionObject* ctor = vm.newNative(
      [](Vm& vm, CallInfo& c) -> Value {
        Value a = c.arg(0);
        if (a.isObject()) return a;
        if (!a.isNullish() && !c.args.empty()) {
          // The wrapper takes the prototype its class has now (String.prototype = 8 sticks).
          Object* wrapper = vm.toObject(a);
          const char* cls = a.isString() ? "String" : a.isNumber() ? "Number" : "Boolean";
          Value proto = vm.getMember(vm.getMember(vm.global, cls), "prototype");
          if (wrapper &&
              !(proto.isObject() && wrapper->proto(vm.caseInsensitive()) == proto.asObject()))
            wrapper->put("__proto__", proto, kDontEnum | kDontDelete, vm.caseInsensitive());
          return Value(wrapper);
        }
        if (c.isConstruct && c.thisObject()) return c.thisValue;
        return Value(vm.newObject());
      },
      proto);
  ctor->constructsOwnObject = false;
  // Object.prototype can be neither replaced nor deleted.
  if (Property* p = ctor->findOwn("prototype", ci)) p->flags = kDontEnum | kDontDelete | kReadOnly;
  vm.global->put("Object", ctor, kDontEnum, ci);

  vm.defineMethod(
      proto, "toString",
      [](Vm&, CallInfo& c) -> Value {
        Object* o = c.thisObject();
        if (o && o->kind == ObjectKind::Function) return Value("[type Function]");
        return Value("[object Object]");
      },
      kDontEnum | kDontDelete);
  vm.defineMethod(proto, "toLocaleString", [](Vm& vm, CallInfo& c) -> Value {
    return vm.callMethod(c.thisValue, "toString", {});
  });
  vm.defineMethod(proto, "valueOf", [](Vm&, CallInfo& c) -> Value { return c.thisValue; });
  if (vm.version() >= 6) {
    vm.defineMethod(proto, "hasOwnProperty", [](Vm& vm, CallInfo& c) -> Value {
      if (c.args.empty()) return Value(false);
      return Value(vm.hasOwnProperty(c.thisObject(), vm.toString(c.arg(0))));
    });
    vm.defineMethod(proto, "isPropertyEnumerable", [](Vm& vm, CallInfo& c) -> Value {
      Object* o = c.thisObject();
      if (!o) return Value(false);
      Property* p = o->findOwn(vm.toString(c.arg(0)), vm.caseInsensitive());
      return Value(p && !(p->flags & kDontEnum));
    });
    vm.defineMethod(proto, "isPrototypeOf", [](Vm& vm, CallInfo& c) -> Value {
      Object* self = c.thisObject();
      Value other = c.arg(0);
      if (!self || !other.isObject()) return Value(false);
      Object* o = other.asObject()->proto(vm.caseInsensitive());
      for (int d = 0; o && d < 256; ++d, o = o->proto(vm.caseInsensitive()))
        if (o == self) return Value(true);
      return Value(false);
    });
    vm.defineMethod(proto, "watch", [](Vm& vm, CallInfo& c) -> Value {
      Object* o = c.thisObject();
      if (!o || c.args.size() < 2 || !isFunction(c.arg(1))) return Value(false);
      std::string name = vm.toString(c.arg(0));
      for (auto& w : o->watches)
        if (w.name == name) {
          w.callback = c.arg(1).asObject();
          w.userData = c.arg(2);
          return Value(true);
        }
      o->watches.push_back({name, c.arg(1).asObject(), c.arg(2), false});
      return Value(true);
    });
    vm.defineMethod(proto, "unwatch", [](Vm& vm, CallInfo& c) -> Value {
      Object* o = c.thisObject();
      if (!o) return Value(false);
      std::string name = vm.toString(c.arg(0));
      for (auto it = o->watches.begin(); it != o->watches.end(); ++it)
        if (it->name == name) {
          o->watches.erase(it);
          return Value(true);
        }
      return Value(false);
    });
  }
  vm.defineMethod(proto, "addProperty", [](Vm& vm, CallInfo& c) -> Value {
    Object* o = c.thisObject();
    if (!o || c.args.size() < 3) return Value(false);
    std::string name = vm.toString(c.arg(0));
    if (name.empty() || !isFunction(c.arg(1))) return Value(false);
    Value setter = c.arg(2);
    if (!isFunction(setter) && !setter.isNull()) return Value(false);
    Property& p = o->defineOwn(name, vm.caseInsensitive());
    p.value = Value();
    p.getter = c.arg(1).asObject();
    p.setter = isFunction(setter) ? setter.asObject() : nullptr;
    return Value(true);
  });
  vm.defineMethod(ctor, "registerClass", [](Vm& vm, CallInfo& c) -> Value {
    std::string name = vm.toString(c.arg(0));
    Value cls = c.arg(1);
    if (name.empty()) return Value(false);
    vm.registerClass(name, isFunction(cls) ? cls.asObject() : nullptr);
    return Value(true);
  });
}

void installFunctionBuiltins(Vm& vm) {
  bool ci = vm.caseInsensitive();
  Object* proto = vm.functionProto;
  FunctionObject* ctor = vm.newNative(
      [](Vm& vm, CallInfo& c) -> Value {
        if (c.isConstruct && c.thisObject()) return c.thisValue;
        return Value(vm.newObject());
      },
      proto);
  // Version 5 movies have no global Function (functions still have their constructor).
  if (vm.version() >= 6) vm.global->put("Function", ctor, kDontEnum, ci);
  if (vm.version() >= 6) {
    vm.defineMethod(proto, "call", [](Vm& vm, CallInfo& c) -> Value {
      Value thisV = c.arg(0);
      std::vector<Value> args;
      for (size_t i = 1; i < c.args.size(); ++i) args.push_back(c.args[i]);
      return vm.call(c.thisValue, thisV.isNullish() ? Value() : thisV, args);
    });
    vm.defineMethod(proto, "apply", [](Vm& vm, CallInfo& c) -> Value {
      Value thisV = c.arg(0);
      std::vector<Value> args;
      if (c.arg(1).isObject()) args = vm.arrayElements(c.arg(1).asObject());
      return vm.call(c.thisValue, thisV.isNullish() ? Value() : thisV, args);
    });
  }
}

}  // namespace orv::movie::avm1
