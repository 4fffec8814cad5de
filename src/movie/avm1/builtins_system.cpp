// Objects that stand between a movie and the machine around it: LoadVars (name=value
// data), ContextMenu (the right-click menu's description), Selection (no field takes
// the focus), Accessibility (no screen reader) and Camera (none: Camera.get() is null).
#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"

namespace orv::movie::avm1 {

namespace {

Value callGlobal(Vm& vm, const char* name, Value arg) {
  return vm.call(vm.getMember(vm.global, name), Value(), std::span<Value>(&arg, 1));
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

namespace {

// decode() with nothing to decode says so.
Value decode(Vm& vm, CallInfo& c) {
  if (c.args.empty()) return Value(false);
  if (Object* self = c.thisObject()) decodeVariables(vm, self, vm.toString(c.arg(0)));
  return Value();
}

Value encode(Vm& vm, CallInfo& c) {
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
        v = Value(v.asObject()->kind == ObjectKind::Function ? "[type Function]" : "[type Object]");
    }
    if (!out.empty()) out += '&';
    out += vm.toString(callGlobal(vm, "escape", Value(name))) + "=" +
           vm.toString(callGlobal(vm, "escape", v));
  }
  return Value(out);
}

Value bytesLoaded(Vm& vm, CallInfo& c) {
  return c.thisObject() ? vm.getMember(c.thisObject(), "_bytesLoaded") : Value();
}

Value bytesTotal(Vm& vm, CallInfo& c) {
  return c.thisObject() ? vm.getMember(c.thisObject(), "_bytesTotal") : Value();
}

// LoadVars: the data side; load, send, sendAndLoad, onData and onLoad are in
// builtins_loading.cpp.
constexpr NativeMember kLoadVarsPrototype[] = {
    method("decode", decode),
    method("toString", encode),
    method("addRequestHeader", nothing),
    method("getBytesLoaded", bytesLoaded),
    method("getBytesTotal", bytesTotal),
};
constexpr NativeClass kLoadVarsClass{
    .name = "LoadVars", .constructor = nothing, .prototype = kLoadVarsPrototype};

constexpr const char* kMenuItems[] = {"print", "forward_back", "rewind", "loop",
                                      "play",  "quality",      "zoom",   "save"};

// ContextMenu: a description scripts build and copy; onSelect is theirs to set.
Value constructMenu(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  bool ci = vm.caseInsensitive();
  // Made in this order, so for..in lists customItems first.
  self->put("onSelect", c.arg(0), 0, ci);
  Object* items = vm.newObject();
  for (const char* n : kMenuItems) items->put(n, Value(true), 0, ci);
  self->put("builtInItems", Value(items), 0, ci);
  self->put("customItems", Value(vm.newArray()), 0, ci);
  return Value();
}

// hideBuiltInItems gives the menu a new set of switches, all off.
Value hideBuiltInItems(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  Object* items = vm.newObject();
  for (const char* n : kMenuItems) vm.setMember(items, n, Value(false));
  vm.setMember(self, "builtInItems", Value(items));
  return Value();
}

// copy: a new menu with the same handler, the same built-in switches (whatever scripts
// put in their place) and each custom item's own copy().
Value copyMenu(Vm& vm, CallInfo& c) {
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
}

constexpr NativeMember kMenuPrototype[] = {
    method("hideBuiltInItems", hideBuiltInItems),
    method("copy", copyMenu),
};
constexpr NativeClass kMenuClass{
    .name = "ContextMenu", .constructor = constructMenu, .prototype = kMenuPrototype};

// ContextMenuItem: one entry of a menu's customItems.
Value constructMenuItem(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  vm.setMember(self, "caption", c.arg(0));
  vm.setMember(self, "onSelect", c.arg(1));
  vm.setMember(self, "separatorBefore", Value(c.args.size() > 2 && vm.toBool(c.arg(2))));
  vm.setMember(self, "enabled", Value(c.args.size() <= 3 || vm.toBool(c.arg(3))));
  vm.setMember(self, "visible", Value(c.args.size() <= 4 || vm.toBool(c.arg(4))));
  return Value();
}

Value copyMenuItem(Vm& vm, CallInfo& c) {
  std::vector<Value> args;
  for (const char* n : {"caption", "onSelect", "separatorBefore", "enabled", "visible"})
    args.push_back(vm.getMember(c.thisValue, n));
  return vm.construct(vm.getMember(vm.global, "ContextMenuItem"), args);
}

constexpr NativeMember kMenuItemPrototype[] = {method("copy", copyMenuItem)};
constexpr NativeClass kMenuItemClass{
    .name = "ContextMenuItem", .constructor = constructMenuItem, .prototype = kMenuItemPrototype};

Value noIndex(Vm&, CallInfo&) { return Value(-1.0); }
Value noObject(Vm&, CallInfo&) { return Value::null(); }
Value refuse(Vm&, CallInfo&) { return Value(false); }

// Selection: no text field here takes the keyboard focus, so none ever has it.
constexpr NativeMember kSelection[] = {
    method("getBeginIndex", noIndex), method("getCaretIndex", noIndex),
    method("getEndIndex", noIndex),   method("getFocus", noObject),
    method("setFocus", refuse),       method("setSelection", nothing),
};

// Accessibility: no screen reader is ever attached. Its methods came with SWF 6.
constexpr NativeMember kAccessibility[] = {
    method("isActive", refuse).since(6),
    method("updateProperties", nothing).since(6),
    method("sendEvent", nothing).since(6),
};

// Camera: this player offers no camera.
constexpr NativeMember kCameraStatics[] = {method("get", noObject)};
constexpr NativeClass kCameraClass{
    .name = "Camera", .constructor = nothing, .statics = kCameraStatics};

// System.IME: this player has no input method editor; the calls say so.
Value imeFalse(Vm&, CallInfo&) { return Value(false); }
Value imeMode(Vm&, CallInfo&) { return Value("UNKNOWN"); }
constexpr NativeMember kIme[] = {
    method("getEnabled", imeFalse),
    method("setEnabled", imeFalse),
    method("getConversionMode", imeMode),
    method("setConversionMode", imeFalse),
    method("setCompositionString", imeFalse),
    method("doConversion", imeFalse),
    constant("ALPHANUMERIC_FULL", "ALPHANUMERIC_FULL"),
    constant("ALPHANUMERIC_HALF", "ALPHANUMERIC_HALF"),
    constant("CHINESE", "CHINESE"),
    constant("JAPANESE_HIRAGANA", "JAPANESE_HIRAGANA"),
    constant("JAPANESE_KATAKANA_FULL", "JAPANESE_KATAKANA_FULL"),
    constant("JAPANESE_KATAKANA_HALF", "JAPANESE_KATAKANA_HALF"),
    constant("KOREAN", "KOREAN"),
    constant("UNKNOWN", "UNKNOWN"),
};

}  // namespace

void installSystemBuiltins(Vm& vm) {
  bool ci = vm.caseInsensitive();
  installNetworkObjects(vm);
  installVideoObjects(vm);
  installClass(vm, vm.global, kLoadVarsClass);
  installClass(vm, vm.global, kMenuClass);
  installClass(vm, vm.global, kMenuItemClass);

  Object* selection = vm.newObject();
  vm.global->put("Selection", Value(selection), kDontEnum, ci);
  installMembers(vm, selection, kSelection);
  if (vm.version() >= 6) {
    Value init = vm.getMember(vm.getMember(vm.global, "AsBroadcaster"), "initialize");
    Value target(selection);
    vm.call(init, Value(), std::span<Value>(&target, 1));
  }

  if (Value system = vm.getMember(vm.global, "System"); system.isObject()) {
    Object* ime = vm.newObject();
    system.asObject()->put("IME", Value(ime), kDontEnum, ci);
    installMembers(vm, ime, kIme);
    Value init = vm.getMember(vm.getMember(vm.global, "AsBroadcaster"), "initialize");
    Value target(ime);
    vm.call(init, Value(), std::span<Value>(&target, 1));
  }

  Object* access = vm.newObject();
  vm.global->put("Accessibility", Value(access), kDontEnum, ci);
  installMembers(vm, access, kAccessibility);

  FunctionObject* camera = installClass(vm, vm.global, kCameraClass).constructor;
  camera->put("names", Value(vm.newArray()), kDontEnum, ci);
}

}  // namespace orv::movie::avm1
