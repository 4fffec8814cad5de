// Object and Function: the root of every prototype chain.
#include <cmath>

#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

bool isFunction(const Value& v) {
  return v.isObject() && v.asObject()->kind == ObjectKind::Function;
}

Value construct(Vm& vm, CallInfo& c) {
  Value a = c.arg(0);
  if (a.isObject()) return a;
  if (!a.isNullish() && !c.args.empty()) {
    // The wrapper takes the prototype its class has now (String.prototype = 8 sticks).
    Object* wrapper = vm.toObject(a);
    const char* cls = a.isString() ? "String" : a.isNumber() ? "Number" : "Boolean";
    Value proto = vm.getMember(vm.getMember(vm.global, cls), "prototype");
    if (wrapper && !(proto.isObject() && wrapper->proto(vm.caseInsensitive()) == proto.asObject()))
      wrapper->put("__proto__", proto, kDontEnum | kDontDelete, vm.caseInsensitive());
    return Value(wrapper);
  }
  if (c.isConstruct && c.thisObject()) return c.thisValue;
  return Value(vm.newObject());
}

Value toString(Vm&, CallInfo& c) {
  Object* o = c.thisObject();
  if (o && o->kind == ObjectKind::Function) return Value("[type Function]");
  return Value("[object Object]");
}

Value toLocaleString(Vm& vm, CallInfo& c) { return vm.callMethod(c.thisValue, "toString", {}); }

Value valueOf(Vm&, CallInfo& c) { return c.thisValue; }

Value hasOwnProperty(Vm& vm, CallInfo& c) {
  if (c.args.empty()) return Value(false);
  return Value(vm.hasOwnProperty(c.thisObject(), vm.toString(c.arg(0))));
}

Value isPropertyEnumerable(Vm& vm, CallInfo& c) {
  Object* o = c.thisObject();
  if (!o) return Value(false);
  Property* p = o->findOwn(vm.toString(c.arg(0)), vm.caseInsensitive());
  return Value(p && !(p->flags & kDontEnum));
}

Value isPrototypeOf(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  Value other = c.arg(0);
  if (!self || !other.isObject()) return Value(false);
  Object* o = other.asObject()->proto(vm.caseInsensitive());
  for (int d = 0; o && d < 256; ++d, o = o->proto(vm.caseInsensitive()))
    if (o == self) return Value(true);
  return Value(false);
}

Value watch(Vm& vm, CallInfo& c) {
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
}

Value unwatch(Vm& vm, CallInfo& c) {
  Object* o = c.thisObject();
  if (!o) return Value(false);
  std::string name = vm.toString(c.arg(0));
  for (auto it = o->watches.begin(); it != o->watches.end(); ++it)
    if (it->name == name) {
      o->watches.erase(it);
      return Value(true);
    }
  return Value(false);
}

Value addProperty(Vm& vm, CallInfo& c) {
  Object* o = c.thisObject();
  if (!o || c.args.size() < 3) return Value(false);
  std::string name = vm.toString(c.arg(0));
  if (name.empty() || !isFunction(c.arg(1))) return Value(false);
  Value setter = c.arg(2);
  if (!isFunction(setter) && !setter.isNull()) return Value(false);
  // A value the member held stays beneath the accessors: watch callbacks see it.
  Property& p = o->defineOwn(name, vm.caseInsensitive());
  p.getter = c.arg(1).asObject();
  p.setter = isFunction(setter) ? setter.asObject() : nullptr;
  return Value(true);
}

Value registerClass(Vm& vm, CallInfo& c) {
  std::string name = vm.toString(c.arg(0));
  Value cls = c.arg(1);
  if (name.empty()) return Value(false);
  vm.registerClass(name, isFunction(cls) ? cls.asObject() : nullptr);
  return Value(true);
}

constexpr NativeMember kObjectPrototype[] = {
    method("toString", toString, kDontEnum | kDontDelete).asnative(101, 4),
    method("toLocaleString", toLocaleString),
    method("valueOf", valueOf).asnative(101, 3),
    method("hasOwnProperty", hasOwnProperty).since(6),
    method("isPropertyEnumerable", isPropertyEnumerable).since(6).asnative(101, 7),
    method("isPrototypeOf", isPrototypeOf).since(6).asnative(101, 6),
    method("watch", watch).since(6).asnative(101, 0),
    method("unwatch", unwatch).since(6).asnative(101, 1),
    method("addProperty", addProperty).asnative(101, 2),
};
constexpr NativeMember kObjectStatics[] = {method("registerClass", registerClass)};
constexpr NativeClass kObjectClass{.name = "Object",
                                   .constructor = construct,
                                   .prototype = kObjectPrototype,
                                   .statics = kObjectStatics};

Value constructFunction(Vm& vm, CallInfo& c) {
  if (c.isConstruct && c.thisObject()) return c.thisValue;
  return Value(vm.newObject());
}

Value callFunction(Vm& vm, CallInfo& c) {
  Value thisV = c.arg(0);
  std::vector<Value> args;
  for (size_t i = 1; i < c.args.size(); ++i) args.push_back(c.args[i]);
  return vm.call(c.thisValue, thisV.isNullish() ? Value() : thisV, args);
}

Value applyFunction(Vm& vm, CallInfo& c) {
  Value thisV = c.arg(0);
  std::vector<Value> args;
  if (c.arg(1).isObject()) args = vm.arrayElements(c.arg(1).asObject());
  return vm.call(c.thisValue, thisV.isNullish() ? Value() : thisV, args);
}

constexpr NativeMember kFunctionPrototype[] = {
    method("call", callFunction).since(6),
    method("apply", applyFunction).since(6),
};
constexpr NativeClass kFunctionClass{
    .name = "Function", .constructor = constructFunction, .prototype = kFunctionPrototype};

}  // namespace

void installObjectBuiltins(Vm& vm) {
  InstalledClass object = installClass(vm, vm.global, kObjectClass, vm.objectProto);
  // Object.prototype can be neither replaced nor deleted.
  if (Property* p = object.constructor->findOwn("prototype", vm.caseInsensitive()))
    p->flags = kDontEnum | kDontDelete | kReadOnly;
}

void installFunctionBuiltins(Vm& vm) {
  // Version 5 movies have no global Function (functions still have their constructor).
  installClass(vm, vm.version() >= 6 ? vm.global : nullptr, kFunctionClass, vm.functionProto);
}

}  // namespace orv::movie::avm1
