// Objects that stand between a movie and the machine around it: LoadVars (name=value
// data), ContextMenu (the right-click menu's description), Selection (no field takes
// the focus), Accessibility (no screen reader) and Camera (none: Camera.get() is null).
#include "movie/avm1/host_builtins.h"

namespace orv::movie::avm1 {

namespace {

Value callGlobal(Vm& vm, const char* name, Value arg) {
  return vm.call(vm.getMember(vm.global, name), Value(), std::span<Value>(&arg, 1));
}

FunctionObject* defineClass(Vm& vm, const char* name, NativeFn ctor, Object** protoOut) {
  Object* proto = vm.newObject();
  FunctionObject* fn = vm.newNative(std::move(ctor), proto);
  vm.global->put(name, Value(fn), kDontEnum, vm.caseInsensitive());
  *protoOut = proto;
  return fn;
}

}  // namespace

void decodeVariables(Vm& vm, Object* target, const std::string& text) {
  size_t i = 0;
  while (i <= text.size()) {
    size_t amp = text.find('&', i);
    if (amp == std::string::npos) amp = text.size();
    std::string pair = text.substr(i, amp - i);
    size_t eq = pair.find('=');
    if (!pair.empty()) {
      std::string name = vm.toString(callGlobal(vm, "unescape", Value(pair.substr(0, eq))));
      std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
      vm.setMember(target, name, callGlobal(vm, "unescape", Value(value)));
    }
    i = amp + 1;
  }
}

void installSystemBuiltins(Vm& vm) {
  bool ci = vm.caseInsensitive();
  installNetworkObjects(vm);
  installVideoObjects(vm);

  // LoadVars: the data side (decode, toString, the byte counts).
  Object* lv = nullptr;
  defineClass(
      vm, "LoadVars", [](Vm&, CallInfo&) -> Value { return Value(); }, &lv);
  // decode() with nothing to decode says so.
  vm.defineMethod(lv, "decode", [](Vm& vm, CallInfo& c) -> Value {
    if (c.args.empty()) return Value(false);
    if (Object* self = c.thisObject()) decodeVariables(vm, self, vm.toString(c.arg(0)));
    return Value();
  });
  vm.defineMethod(lv, "toString", [](Vm& vm, CallInfo& c) -> Value {
    Object* self = c.thisObject();
    if (!self) return Value("");
    std::string out;
    for (const std::string& name : vm.enumerableNames(self)) {
      Value v = vm.getMember(self, name);
      // Objects give what their toString gives, never their valueOf; one with no
      // toString to call is "[type Object]" (functions "[type Function]").
      if (v.isObject()) {
        Value fn = vm.getMember(v, "toString");
        if (fn.isObject() && fn.asObject()->kind == ObjectKind::Function)
          v = Value(vm.toString(vm.call(fn, v, {})));
        else
          v = Value(v.asObject()->kind == ObjectKind::Function ? "[type Function]"
                                                               : "[type Object]");
      }
      if (!out.empty()) out += '&';
      out += vm.toString(callGlobal(vm, "escape", Value(name))) + "=" +
             vm.toString(callGlobal(vm, "escape", v));
    }
    return Value(out);
  });
  vm.defineMethod(lv, "addRequestHeader", [](Vm&, CallInfo&) -> Value { return Value(); });
  // load, send, sendAndLoad, onData and onLoad: builtins_loading.cpp.
  vm.defineMethod(lv, "getBytesLoaded", [](Vm& vm, CallInfo& c) -> Value {
    return c.thisObject() ? vm.getMember(c.thisObject(), "_bytesLoaded") : Value();
  });
  vm.defineMethod(lv, "getBytesTotal", [](Vm& vm, CallInfo& c) -> Value {
    return c.thisObject() ? vm.getMember(c.thisObject(), "_bytesTotal") : Value();
  });

  // ContextMenu: a description scripts build and copy; onSelect is theirs to set.
  Object* cm = nullptr;
  defineClass(
      vm, "ContextMenu",
      [](Vm& vm, CallInfo& c) -> Value {
        Object* self = c.thisObject();
        if (!self) return Value();
        bool ci = vm.caseInsensitive();
        self->put("customItems", Value(vm.newArray()), 0, ci);
        Object* items = vm.newObject();
        for (const char* n :
             {"print", "forward_back", "rewind", "loop", "play", "quality", "zoom", "save"})
          items->put(n, Value(true), 0, ci);
        self->put("builtInItems", Value(items), 0, ci);
        self->put("onSelect", c.arg(0), 0, ci);
        return Value();
      },
      &cm);
  // hideBuiltInItems gives the menu a new set of switches, all off.
  vm.defineMethod(cm, "hideBuiltInItems", [](Vm& vm, CallInfo& c) -> Value {
    Object* self = c.thisObject();
    if (!self) return Value();
    Object* items = vm.newObject();
    for (const char* n :
         {"print", "forward_back", "rewind", "loop", "play", "quality", "zoom", "save"})
      vm.setMember(items, n, Value(false));
    vm.setMember(self, "builtInItems", Value(items));
    return Value();
  });
  // copy: a new menu with the same handler, the same built-in switches (whatever
  // scripts put in their place) and each custom item's own copy().
  vm.defineMethod(cm, "copy", [](Vm& vm, CallInfo& c) -> Value {
    Object* self = c.thisObject();
    if (!self) return Value();
    Value made = vm.construct(vm.getMember(vm.global, "ContextMenu"), {});
    if (!made.isObject()) return made;
    Object* copy = made.asObject();
    vm.setMember(copy, "onSelect", vm.getMember(self, "onSelect"));
    Value items = vm.getMember(self, "builtInItems");
    vm.setMember(copy, "builtInItems", items);
    std::vector<Value> custom;
    Value list = vm.getMember(self, "customItems");
    if (list.isObject())
      for (const Value& item : vm.arrayElements(list.asObject())) {
        Value fn = item.isObject() ? vm.getMember(item, "copy") : Value();
        custom.push_back(fn.isObject() ? vm.call(fn, item, {}) : Value());
      }
    vm.setMember(copy, "customItems", Value(vm.newArray(std::move(custom))));
    return made;
  });

  // ContextMenuItem: one entry of a menu's customItems.
  Object* item = nullptr;
  defineClass(
      vm, "ContextMenuItem",
      [](Vm& vm, CallInfo& c) -> Value {
        Object* self = c.thisObject();
        if (!self) return Value();
        vm.setMember(self, "caption", c.arg(0));
        vm.setMember(self, "onSelect", c.arg(1));
        vm.setMember(self, "separatorBefore", Value(c.args.size() > 2 && vm.toBool(c.arg(2))));
        vm.setMember(self, "enabled", Value(c.args.size() <= 3 || vm.toBool(c.arg(3))));
        vm.setMember(self, "visible", Value(c.args.size() <= 4 || vm.toBool(c.arg(4))));
        return Value();
      },
      &item);
  vm.defineMethod(item, "copy", [](Vm& vm, CallInfo& c) -> Value {
    std::vector<Value> args;
    for (const char* n : {"caption", "onSelect", "separatorBefore", "enabled", "visible"})
      args.push_back(vm.getMember(c.thisValue, n));
    return vm.construct(vm.getMember(vm.global, "ContextMenuItem"), args);
  });

  // Selection: no text field here takes the keyboard focus, so none ever has it.
  Object* selection = vm.newObject();
  vm.global->put("Selection", Value(selection), kDontEnum, ci);
  for (const char* name : {"getBeginIndex", "getCaretIndex", "getEndIndex"})
    vm.defineMethod(selection, name, [](Vm&, CallInfo&) -> Value { return Value(-1.0); });
  vm.defineMethod(selection, "getFocus", [](Vm&, CallInfo&) -> Value { return Value::null(); });
  vm.defineMethod(selection, "setFocus", [](Vm&, CallInfo&) -> Value { return Value(false); });
  vm.defineMethod(selection, "setSelection", [](Vm&, CallInfo&) -> Value { return Value(); });
  if (vm.version() >= 6) {
    Value init = vm.getMember(vm.getMember(vm.global, "AsBroadcaster"), "initialize");
    Value target(selection);
    vm.call(init, Value(), std::span<Value>(&target, 1));
  }

  // Accessibility: no screen reader is ever attached. Its methods came with SWF 6.
  Object* access = vm.newObject();
  vm.global->put("Accessibility", Value(access), kDontEnum, ci);
  if (vm.version() >= 6) {
    vm.defineMethod(access, "isActive", [](Vm&, CallInfo&) -> Value { return Value(false); });
    for (const char* name : {"updateProperties", "sendEvent"})
      vm.defineMethod(access, name, [](Vm&, CallInfo&) -> Value { return Value(); });
  }

  // Camera: this player offers no camera.
  Object* cam = nullptr;
  FunctionObject* camera = defineClass(
      vm, "Camera", [](Vm&, CallInfo&) -> Value { return Value(); }, &cam);
  vm.defineMethod(camera, "get", [](Vm&, CallInfo&) -> Value { return Value::null(); });
  camera->put("names", Value(vm.newArray()), kDontEnum, ci);
}

}  // namespace orv::movie::avm1
