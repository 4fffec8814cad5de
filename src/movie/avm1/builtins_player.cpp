// Player-level objects: AsBroadcaster, Key, Mouse, Stage, System.capabilities.
#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"

namespace orv::movie::avm1 {

namespace {

Object* listenersOf(Vm& vm, const Value& self) {
  Value l = vm.getMember(self, "_listeners");
  return l.isObject() ? l.asObject() : nullptr;
}

// AsBroadcaster as the player made it, whatever scripts do with the global name.
struct Broadcaster {
  Object* function = nullptr;
};

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

// addListener and removeListener go through the array's methods (scripts may replace
// push/splice) and through this.removeListener.
Value addListener(Vm& vm, CallInfo& c) {
  Value l = c.arg(0);
  vm.callMethod(c.thisValue, "removeListener", std::span<Value>(&l, 1));
  Value list = vm.getMember(c.thisValue, "_listeners");
  if (list.isObject()) vm.callMethod(list, "push", std::span<Value>(&l, 1));
  return Value(true);
}

Value removeListener(Vm& vm, CallInfo& c) {
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
}

Value broadcastMessage(Vm& vm, CallInfo& c) {
  Object* list = listenersOf(vm, c.thisValue);
  if (!list || c.args.empty()) return Value();
  std::string name = vm.toString(c.arg(0));
  std::vector<Value> args(c.args.begin() + 1, c.args.end());
  std::vector<Value> e = vm.arrayElements(list);
  for (auto& l : e) vm.callMethod(l, name, args);
  return e.empty() ? Value() : Value(true);
}

Value initialize(Vm& vm, CallInfo& c) {
  if (c.arg(0).isObject())
    installBroadcaster(vm, c.arg(0).asObject(), vm.builtinState<Broadcaster>().function);
  return Value();
}

constexpr NativeMember kBroadcasterStatics[] = {
    method("addListener", addListener),
    method("removeListener", removeListener),
    method("broadcastMessage", broadcastMessage),
    method("initialize", initialize),
};
constexpr NativeClass kBroadcasterClass{
    .name = "AsBroadcaster", .constructor = returnThis, .statics = kBroadcasterStatics};

Value isDown(Vm& vm, CallInfo& c) {
  int k = vm.toInt(c.arg(0));
  return Value(k >= 0 && k < 256 && vm.keysDown[static_cast<size_t>(k)]);
}

Value getCode(Vm& vm, CallInfo&) { return Value(static_cast<double>(vm.lastKeyCode)); }

Value getAscii(Vm& vm, CallInfo&) { return Value(static_cast<double>(vm.lastAscii)); }

Value isToggled(Vm& vm, CallInfo& c) {
  int k = vm.toInt(c.arg(0));
  return Value(k >= 0 && k < 256 && vm.keysToggled[static_cast<size_t>(k)]);
}

constexpr NativeMember kKey[] = {
    constant("BACKSPACE", 8),       constant("CAPSLOCK", 20),   constant("CONTROL", 17),
    constant("DELETEKEY", 46),      constant("DOWN", 40),       constant("END", 35),
    constant("ENTER", 13),          constant("ESCAPE", 27),     constant("HOME", 36),
    constant("INSERT", 45),         constant("LEFT", 37),       constant("PGDN", 34),
    constant("PGUP", 33),           constant("RIGHT", 39),      constant("SHIFT", 16),
    constant("SPACE", 32),          constant("TAB", 9),         constant("UP", 38),
    method("isDown", isDown),       method("getCode", getCode), method("getAscii", getAscii),
    method("isToggled", isToggled),
};

Value showPointer(Vm& vm, CallInfo&) {
  vm.pointerHidden = false;
  return Value(0.0);
}

Value hidePointer(Vm& vm, CallInfo&) {
  vm.pointerHidden = true;
  return Value(1.0);
}

constexpr NativeMember kMouse[] = {method("show", showPointer), method("hide", hidePointer)};

}  // namespace

void installPlayerBuiltins(Vm& vm) {
  bool ci = vm.caseInsensitive();
  Object* g = vm.global;

  FunctionObject* bcFn = installClass(vm, g, kBroadcasterClass).constructor;
  vm.builtinState<Broadcaster>().function = bcFn;
  vm.pin(bcFn);
  // Before SWF 6 scripts see the function alone, without prototype or initialize.
  if (vm.version() < 6) {
    bcFn->removeOwn("prototype", ci);
    bcFn->removeOwn("initialize", ci);
  }

  Object* key = vm.newObject();
  g->put("Key", key, kDontEnum, ci);
  if (vm.version() >= 6) installBroadcaster(vm, key, bcFn);
  installMembers(vm, key, kKey);

  Object* mouse = vm.newObject();
  g->put("Mouse", mouse, kDontEnum, ci);
  installBroadcaster(vm, mouse, bcFn);
  installMembers(vm, mouse, kMouse);

  installStageObject(vm, bcFn);
  installSystemObject(vm);
}

}  // namespace orv::movie::avm1
