// Functions and calls: DefineFunction and DefineFunction2, CallFunction, CallMethod,
// NewObject, NewMethod and Return, and how a script function runs (its activation,
// registers, `super`).
#include <algorithm>
#include <memory>
#include <utility>

#include "movie/avm1/action_run.h"

namespace orv::movie::avm1 {

namespace {

bool isFunction(const Value& v) {
  return v.isObject() && v.asObject()->kind == ObjectKind::Function;
}

bool isSuper(const Value& v) {
  return v.isObject() && v.asObject()->className == "super" &&
         v.asObject()->kind == ObjectKind::Other;
}

// Script calls nest no deeper than the machine's limit, counted while they run.
struct CallLevel {
  int& depth;
  ~CallLevel() { --depth; }
};

}  // namespace

// ---------------------------------------------------------------- actions

void ActionRun::defineFunction(ActionCode op, PayloadReader& r) {
  auto body = std::make_shared<ScriptFunctionBody>();
  body->name = r.str();
  uint16_t nparams = r.u16();
  if (op == ActionCode::DefineFunction2) {
    body->isFunction2 = true;
    body->registerCount = r.u8();
    body->flags = r.u16();
    for (uint16_t i = 0; i < nparams && r.ok; ++i) {
      body->paramRegisters.push_back(r.u8());
      body->params.push_back(r.str());
    }
  } else {
    for (uint16_t i = 0; i < nparams && r.ok; ++i) body->params.push_back(r.str());
  }
  uint16_t codeSize = r.u16();
  if (!r.ok) return;
  body->code = f.code;
  body->start = next;
  body->end = std::min(next + codeSize, end);
  body->version = f.version;
  body->constants = f.constants;
  body->scope = f.scope;
  body->targetClip = f.target;
  auto* fn = vm.allocate<FunctionObject>();
  fn->body = body;
  const bool ci = vm.caseInsensitive();
  fn->put("__proto__", vm.functionProto, kDontEnum | kDontDelete, ci);
  Object* proto = vm.newObject();
  proto->put("constructor", fn, kDontEnum, ci);
  fn->put("prototype", proto, kDontEnum | kDontDelete, ci);
  next = body->end;
  if (body->name.empty())
    push(Value(fn));
  else if (f.activation)
    f.activation->defineOwn(body->name, ci).value = Value(fn);
  else
    vm.setVariable(f, body->name, Value(fn));
}

void ActionRun::callFunction() {
  std::string name = vm.toString(f.pop());
  std::vector<Value> args = popList();
  // A function named by a path ("_root.mc1:func", "/mc1/:gotoAndStop") runs with the
  // clip it was found on as `this`.
  Object* owner = nullptr;
  std::string member;
  Value fn, thisV = f.target ? Value(f.target) : Value();
  if (name.find_first_of(":.") != std::string::npos && vm.splitPath(f, name, &owner, &member)) {
    fn = owner ? vm.getMember(owner, member) : Value();
    if (owner) thisV = Value(owner);
  } else {
    fn = vm.getVariable(f, name);
    // super() called as a function runs the parent constructor.
    if (isSuper(fn)) return push(vm.callSuperConstructor(fn.asObject(), args));
    // A function found on a `with` object or in a function's locals runs with that
    // object as `this`.
    for (auto it = f.scope.rbegin(); it != f.scope.rend(); ++it) {
      Object* s = *it;
      if (!s || !vm.hasProperty(s, name)) continue;
      if (s != f.scope.front()) thisV = Value(s);
      break;
    }
  }
  vm.stackCaller_ = &f;
  push(vm.call(fn, thisV, args));
}

Object* ActionRun::methodHome(Object* superObj, Object* owner) {
  // From version 7 `super` comes from where the method was found. Version 6 takes it
  // from the object called on: obj.m() sees obj.__proto__.__proto__, and super.m() one
  // level above the caller's, so an inherited method may run twice up the chain.
  const bool ci = vm.caseInsensitive();
  Object* home = owner;
  if (vm.version_ >= 7 && superObj && superObj->homeProto) {
    // super.m() found above the super object's first prototype runs one level below
    // where it was found.
    Object* start = superObj->homeProto->proto(ci);
    if (start && owner != start && start->proto(ci)) home = start->proto(ci);
  }
  if (vm.version_ < 7) {
    home = superObj ? (superObj->homeProto ? superObj->homeProto->proto(ci) : nullptr) : nullptr;
    if (superObj && !home) home = owner;
  }
  return home;
}

void ActionRun::callMethod() {
  Value nameV = f.pop();
  Value objV = f.pop();
  std::vector<Value> args = popList();
  std::string name = nameV.isUndefined() ? "" : vm.toString(nameV);
  Object* superObj = isSuper(objV) ? objV.asObject() : nullptr;
  if (name.empty())
    return push(superObj ? vm.callSuperConstructor(superObj, args) : vm.call(objV, Value(), args));
  // A method called on a removed clip runs on the clip that took its place.
  if (Object* successor = objV.isObject() ? vm.successorClip(objV.asObject()) : nullptr)
    objV = Value(successor);
  Value thisV = superObj ? superObj->primitive : objV;
  const bool ci = vm.caseInsensitive();
  Object* owner = nullptr;
  Value fn;
  Object* base = objV.isObject() ? objV.asObject() : nullptr;
  if (base && !superObj && base->kind == ObjectKind::Clip && base->clip) {
    fn = vm.getMember(base, name);
    Object* o2 = base;
    for (int d = 0; o2 && d < 256; ++d) {
      if (o2->findOwn(name, ci)) {
        owner = o2;
        break;
      }
      o2 = o2->proto(ci);
    }
  } else if (base) {
    Property* p = vm.findProperty(base, name, &owner);
    if (p)
      fn = p->isAccessor() ? vm.runGetter(owner, *p, thisV) : p->value;
    else
      fn = vm.getMember(base, name);
  } else {
    fn = vm.getMember(objV, name);
  }
  if (!isFunction(fn)) return push(Value());
  auto* fo = static_cast<FunctionObject*>(fn.asObject());
  if (!fo->body) return push(vm.call(fn, thisV, args));
  if (vm.nestedTooDeep()) throw ScriptAbort{"recursion too deep"};
  ++vm.callDepth_;
  CallLevel level{vm.callDepth_};
  vm.stackCaller_ = &f;
  // A script method called on text, a number or a boolean gets a new wrapper object as
  // `this` each time.
  if (!thisV.isObject() && !thisV.isNullish()) thisV = Value(vm.toObject(thisV));
  push(vm.executeFunction(fo, thisV, args, methodHome(superObj, owner)));
}

void ActionRun::newObject() {
  std::string name = vm.toString(f.pop());
  std::vector<Value> args = popList();
  Value ctor = vm.getVariable(f, name);
  push(vm.construct(ctor, args));
}

void ActionRun::newMethod() {
  Value nameV = f.pop();
  Value objV = f.pop();
  std::vector<Value> args = popList();
  std::string name = nameV.isUndefined() ? "" : vm.toString(nameV);
  push(vm.construct(name.empty() ? objV : vm.getMember(objV, name), args));
}

void ActionRun::returnValue() {
  f.returnValue = f.pop();
  f.returned = true;
  finish();
}

// ---------------------------------------------------------------- running functions

Object* Vm::makeSuper(Object* homeProto, const Value& thisValue) {
  if (!homeProto) return nullptr;
  Object* s = allocate<Object>(ObjectKind::Other);
  s->className = "super";
  s->primitive = thisValue;
  s->homeProto = homeProto;
  if (Object* up = homeProto->proto(caseInsensitive()))
    s->put("__proto__", up, kDontEnum, caseInsensitive());
  return s;
}

Value Vm::callSuperConstructor(Object* superObj, std::span<Value> args) {
  // The home prototype's __constructor__, whose own home is one level up.
  Object* home = superObj->homeProto;
  Object* sp = home ? home->proto(caseInsensitive()) : nullptr;
  Value ctor = home ? getMember(home, "__constructor__") : Value();
  if (!isFunction(ctor) && sp) ctor = getMember(sp, "constructor");
  if (!isFunction(ctor)) return Value();
  auto* fo = static_cast<FunctionObject*>(ctor.asObject());
  if (!fo->body) return call(ctor, superObj->primitive, args);
  if (nestedTooDeep()) throw ScriptAbort{"recursion too deep"};
  ++callDepth_;
  CallLevel level{callDepth_};
  return executeFunction(fo, superObj->primitive, args, sp);
}

namespace {

// DefineFunction2's flags: what is preloaded into registers, what is left out.
enum : uint16_t {
  kPreloadThis = 0x01,
  kSuppressThis = 0x02,
  kPreloadArguments = 0x04,
  kSuppressArguments = 0x08,
  kPreloadSuper = 0x10,
  kPreloadRoot = 0x40,
  kPreloadParent = 0x80,
  kPreloadGlobal = 0x100,
};

}  // namespace

Value Vm::executeFunction(FunctionObject* fn, const Value& thisValue, std::span<Value> args,
                          Object* homeProto) {
  const ScriptFunctionBody& b = *fn->body;
  bool ci = caseInsensitive();
  Frame* caller = std::exchange(stackCaller_, nullptr);
  Frame f;
  f.code = b.code;
  f.constants = b.constants;
  f.version = b.version;
  f.scope = b.scope;
  f.target = b.targetClip;
  // Functions of version 5 movies run on the timeline of the code that called them.
  if (b.version <= 5 && caller && caller->target) f.target = caller->target;
  f.originalTarget = b.targetClip;
  f.thisValue = thisValue;
  f.callee = fn;
  if (!homeProto && thisValue.isObject()) homeProto = thisValue.asObject()->proto(ci);
  f.homeProto = homeProto;
  Object* activation = allocate<Object>();
  activation->className = "activation";  // not a `with` object for calls found in it
  f.activation = activation;
  f.scope.push_back(activation);

  uint16_t flags = b.isFunction2 ? b.flags : 0;
  bool wantArguments =
      !b.isFunction2 || !(flags & kSuppressArguments) || (flags & kPreloadArguments);
  if (wantArguments) {
    Object* argsObj = newArray(std::vector<Value>(args.begin(), args.end()));
    argsObj->put("callee", fn, kDontEnum, ci);
    Frame* running = currentFrame();
    argsObj->put("caller", running && running->callee ? Value(running->callee) : Value::null(),
                 kDontEnum, ci);
    f.arguments = argsObj;
  }
  if (b.isFunction2) {
    f.registers.assign(std::max<size_t>(b.registerCount, 1) + 1, Value());
    f.registerLimit = 256;
    size_t reg = 1;
    auto preload = [&](Value v) {
      if (Value* slot = f.registerToStore(reg)) {
        *slot = std::move(v);
        ++reg;
      }
    };
    if (flags & kPreloadThis)
      preload(thisValue);
    else if (!(flags & kSuppressThis))
      activation->put("this", thisValue, kDontEnum, ci);
    if (flags & kPreloadArguments)
      preload(Value(f.arguments));
    else if (!(flags & kSuppressArguments))
      activation->put("arguments", Value(f.arguments), kDontEnum, ci);
    if (flags & kPreloadSuper) {
      Object* s = makeSuper(homeProto, thisValue);
      preload(s ? Value(s) : Value());
    }
    ScriptClip* tc = b.targetClip && b.targetClip->clip ? b.targetClip->clip : nullptr;
    if (flags & kPreloadRoot) {
      ScriptClip* r = tc ? tc : rootClip();
      while (r && r->parent()) r = r->parent();
      preload(r ? Value(objectFor(r)) : Value());
    }
    if (flags & kPreloadParent)
      preload(tc && tc->parent() ? Value(objectFor(tc->parent())) : Value());
    if (flags & kPreloadGlobal) preload(Value(global));
    for (size_t i = 0; i < b.params.size(); ++i) {
      Value a = i < args.size() ? args[i] : Value();
      uint8_t r = i < b.paramRegisters.size() ? b.paramRegisters[i] : 0;
      if (r != 0)
        *f.registerToStore(r) = a;
      else
        activation->put(b.params[i], a, 0, ci);
    }
  } else {
    activation->put("this", thisValue, kDontEnum, ci);
    activation->put("arguments", Value(f.arguments), kDontEnum, ci);
    for (size_t i = 0; i < b.params.size(); ++i)
      activation->put(b.params[i], i < args.size() ? args[i] : Value(), 0, ci);
  }
  frames_.push_back(&f);
  struct Pop {
    std::vector<Frame*>& v;
    ~Pop() { v.pop_back(); }
  } pop{frames_};
  try {
    run(f, b.start, b.end);
  } catch (size_t) {
    // A jump out of the function body ends the call.
  }
  // The player has one stack: what a function called from actions leaves on it stays
  // there for the caller, below the result.
  if (caller) {
    if (caller->stack.size() + f.stack.size() > limits_.maxStack)
      throw ScriptAbort{"stack overflow"};
    for (Value& v : f.stack) caller->stack.push_back(std::move(v));
  }
  return f.returned ? f.returnValue : Value();
}

}  // namespace orv::movie::avm1
