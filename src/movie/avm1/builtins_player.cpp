// Player-level objects: AsBroadcaster, Key, Mouse, Stage, System.capabilities.
#include <cmath>

#include "movie/avm1/host_builtins.h"

namespace orv::movie::avm1 {

namespace {

bool isFunction(const Value& v) {
  return v.isObject() && v.asObject()->kind == ObjectKind::Function;
}

Object* listenersOf(Vm& vm, const Value& self) {
  Value l = vm.getMember(self, "_listeners");
  return l.isObject() ? l.asObject() : nullptr;
}

void installBroadcaster(Vm& vm, Object* target, Object* broadcaster) {
  bool ci = vm.caseInsensitive();
  // A removed clip: the clip now at its path, or nothing at all.
  if (target->kind == ObjectKind::Clip && !target->clip && !target->formerPath.empty())
    target = vm.successorClip(target);
  if (!target) return;
  for (const char* name : {"addListener", "removeListener", "broadcastMessage"})
    target->put(name, vm.getMember(broadcaster, name), kDontEnum, ci);
  target->put("_listeners", Value(vm.newArray()), kDontEnum, ci);
}

}  // namespace

void installPlayerBuiltins(Vm& vm) {
  bool ci = vm.caseInsensitive();
  const uint8_t kConst = kDontEnum | kDontDelete | kReadOnly;
  Object* g = vm.global;

  // AsBroadcaster
  Object* bc = vm.newObject();
  g->put("AsBroadcaster", vm.newNative([](Vm&, CallInfo& c) -> Value { return c.thisValue; }, bc),
         kDontEnum, ci);
  Object* bcFn = g->findOwn("AsBroadcaster", ci)->value.asObject();
  // addListener and removeListener go through the array's methods (scripts may
  // replace push/splice) and through this.removeListener.
  vm.defineMethod(bcFn, "addListener", [](Vm& vm, CallInfo& c) -> Value {
    Value l = c.arg(0);
    vm.callMethod(c.thisValue, "removeListener", std::span<Value>(&l, 1));
    Value list = vm.getMember(c.thisValue, "_listeners");
    if (list.isObject()) vm.callMethod(list, "push", std::span<Value>(&l, 1));
    return Value(true);
  });
  vm.defineMethod(bcFn, "removeListener", [](Vm& vm, CallInfo& c) -> Value {
    Object* list = listenersOf(vm, c.thisValue);
    if (!list) return Value(false);
    std::vector<Value> e = vm.arrayElements(list);
    Value l = c.arg(0);
    for (size_t i = 0; i < e.size(); ++i)
      if (vm.looseEquals(e[i], l)) {
        std::vector<Value> args{Value(static_cast<double>(i)), Value(1.0)};
        vm.callMethod(Value(list), "splice", args);
        return Value(true);
      }
    return Value(false);
  });
  vm.defineMethod(bcFn, "broadcastMessage", [](Vm& vm, CallInfo& c) -> Value {
    Object* list = listenersOf(vm, c.thisValue);
    if (!list || c.args.empty()) return Value();
    std::string name = vm.toString(c.arg(0));
    std::vector<Value> args(c.args.begin() + 1, c.args.end());
    std::vector<Value> e = vm.arrayElements(list);
    for (auto& l : e) vm.callMethod(l, name, args);
    return e.empty() ? Value() : Value(true);
  });
  vm.defineMethod(bcFn, "initialize", [bcFn](Vm& vm, CallInfo& c) -> Value {
    if (c.arg(0).isObject()) installBroadcaster(vm, c.arg(0).asObject(), bcFn);
    return Value();
  });
  // Before SWF 6 scripts see the function alone, without prototype or initialize.
  if (vm.version() < 6) {
    bcFn->removeOwn("prototype", ci);
    bcFn->removeOwn("initialize", ci);
  }

  // Key
  Object* key = vm.newObject();
  g->put("Key", key, kDontEnum, ci);
  if (vm.version() >= 6) installBroadcaster(vm, key, bcFn);
  const std::pair<const char*, int> keys[] = {
      {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40},
      {"END", 35},      {"ENTER", 13},    {"ESCAPE", 27},  {"HOME", 36},      {"INSERT", 45},
      {"LEFT", 37},     {"PGDN", 34},     {"PGUP", 33},    {"RIGHT", 39},     {"SHIFT", 16},
      {"SPACE", 32},    {"TAB", 9},       {"UP", 38}};
  for (auto& [n, v] : keys) key->put(n, static_cast<double>(v), kConst, ci);
  vm.defineMethod(key, "isDown", [](Vm& vm, CallInfo& c) -> Value {
    int k = vm.toInt(c.arg(0));
    return Value(k >= 0 && k < 256 && vm.keysDown[static_cast<size_t>(k)]);
  });
  vm.defineMethod(key, "getCode", [](Vm& vm, CallInfo&) -> Value {
    return Value(static_cast<double>(vm.lastKeyCode));
  });
  vm.defineMethod(key, "getAscii", [](Vm& vm, CallInfo&) -> Value {
    return Value(static_cast<double>(vm.lastAscii));
  });
  vm.defineMethod(key, "isToggled", [](Vm&, CallInfo&) -> Value { return Value(false); });

  // Mouse
  Object* mouse = vm.newObject();
  g->put("Mouse", mouse, kDontEnum, ci);
  installBroadcaster(vm, mouse, bcFn);
  vm.defineMethod(mouse, "show", [](Vm& vm, CallInfo&) -> Value {
    vm.pointerHidden = false;
    return Value(0.0);
  });
  vm.defineMethod(mouse, "hide", [](Vm& vm, CallInfo&) -> Value {
    vm.pointerHidden = true;
    return Value(1.0);
  });

  installStageObject(vm, bcFn);
  installSystemObject(vm);
  (void)isFunction;
}

}  // namespace orv::movie::avm1
