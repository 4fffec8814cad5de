// MovieClip methods: timeline control and display-list edits through ScriptClip.
#include <cmath>

#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

ScriptClip* self(CallInfo& c) {
  Object* o = c.thisObject();
  return o && o->kind == ObjectKind::Clip ? o->clip : nullptr;
}

Object* finishNewClip(Vm& vm, ScriptClip* made, Object* ctor, const Value& init) {
  if (!made) return nullptr;
  Object* o = vm.objectFor(made);
  if (ctor) {
    Value proto = vm.getMember(ctor, "prototype");
    if (proto.isObject()) o->put("__proto__", proto, kDontEnum | kDontDelete, vm.caseInsensitive());
  }
  // A button takes no initial members: they are for the clip's constructor.
  if (init.isObject() && !made->isButton())
    for (const std::string& n : vm.enumerableNames(init.asObject()))
      vm.setMember(o, n, vm.getMember(init.asObject(), n));
  if (ctor) {
    vm.call(Value(ctor), Value(o), {});
    vm.callMethodIfPresent(o, "onLoad");
  }
  return o;
}

Value play(Vm&, CallInfo& c) {
  if (auto* s = self(c)) s->play();
  return Value();
}

Value stop(Vm&, CallInfo& c) {
  if (auto* s = self(c)) s->stop();
  return Value();
}

Value nextFrame(Vm&, CallInfo& c) {
  if (auto* s = self(c)) s->gotoFrame(s->currentFrame() + 1, false);
  return Value();
}

Value prevFrame(Vm&, CallInfo& c) {
  if (auto* s = self(c)) s->gotoFrame(std::max(0, s->currentFrame() - 1), false);
  return Value();
}

Value gotoAndPlay(Vm& vm, CallInfo& c) {
  if (auto* s = self(c); s && !c.args.empty()) vm.gotoFrameValue(s, c.arg(0), true);
  return Value();
}

Value gotoAndStop(Vm& vm, CallInfo& c) {
  if (auto* s = self(c); s && !c.args.empty()) vm.gotoFrameValue(s, c.arg(0), false);
  return Value();
}

Value getDepth(Vm&, CallInfo& c) {
  auto* s = self(c);
  return s ? Value(static_cast<double>(s->depth())) : Value();
}

Value getNextHighestDepth(Vm&, CallInfo& c) {
  auto* s = self(c);
  return s ? Value(static_cast<double>(s->nextHighestDepth())) : Value();
}

// The clip or field at a depth of this clip (getDepth's numbers); undefined when none.
Value getInstanceAtDepth(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s || c.args.empty()) return Value();
  const double d = vm.toNumber(c.arg(0));
  if (!std::isfinite(d)) return Value();
  for (ScriptClip* child : s->children())
    if (child->depth() == d)
      if (Object* o = vm.objectFor(child)) return Value(o);
  return Value();
}

Value swapDepths(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s || c.args.empty()) return Value();
  if (ScriptClip* other = vm.clipOf(c.arg(0)))
    s->swapDepths(other->depth());
  else if (c.arg(0).isString()) {
    Object* o =
        s->parent() ? vm.clipObjectAtPath(vm.objectFor(s->parent()), c.arg(0).asString()) : nullptr;
    if (o && o->clip) s->swapDepths(o->clip->depth());
  } else {
    double d = vm.toNumber(c.arg(0));
    if (std::isfinite(d))
      s->swapDepths(static_cast<int>(std::clamp(d, -2147483648.0, 2147483647.0)));
  }
  return Value();
}

Value duplicateMovieClip(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s || c.args.size() < 2) return Value();
  ScriptClip* made = s->duplicate(vm.toString(c.arg(0)), vm.toInt(c.arg(1)));
  Object* o = finishNewClip(vm, made, nullptr, c.arg(2));
  return o ? Value(o) : Value();
}

Value removeMovieClip(Vm&, CallInfo& c) {
  if (auto* s = self(c)) s->removeSelf();
  return Value();
}

Value attachMovie(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s || c.args.size() < 3) return Value();
  std::string id = vm.toString(c.arg(0));
  ScriptClip* made = s->attachMovie(id, vm.toString(c.arg(1)), vm.toInt(c.arg(2)));
  Object* o = finishNewClip(vm, made, vm.registeredClass(id), c.arg(3));
  return o ? Value(o) : Value();
}

Value createEmptyMovieClip(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s || c.args.size() < 2) return Value();
  ScriptClip* made = s->createEmptyMovieClip(vm.toString(c.arg(0)), vm.toInt(c.arg(1)));
  if (!made) return Value();
  // The new clip's onConstruct (its prototype's, as a new clip has no members yet)
  // runs before the call returns.
  Object* o = vm.objectFor(made);
  vm.callMethodIfPresent(o, "onConstruct");
  return Value(o);
}

// A movie arrives whole: what is loaded is all there is.
Value bytesTotal(Vm&, CallInfo& c) {
  auto* s = self(c);
  return s ? Value(s->bytesTotal()) : Value();
}

// getBounds(space) (variant 1: with strokes) and getRect(space): {xMin, xMax, yMin, yMax}
// in that clip's pixels.
Value bounds(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s) return Value();
  ScriptClip* space = c.args.empty() ? s : vm.clipOf(c.arg(0));
  auto b = c.variant == 1 ? s->bounds(space) : s->rect(space);
  Object* o = vm.newObject();
  vm.setMember(o, "xMin", b.xMin);
  vm.setMember(o, "xMax", b.xMax);
  vm.setMember(o, "yMin", b.yMin);
  vm.setMember(o, "yMax", b.yMax);
  return Value(o);
}

Value hitTest(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s) return Value();
  if (c.args.size() >= 2) {
    return Value(
        s->hitTestPoint(vm.toNumber(c.arg(0)), vm.toNumber(c.arg(1)), vm.toBool(c.arg(2))));
  }
  ScriptClip* other = vm.clipOf(c.arg(0));
  if (!other) return Value(false);
  auto a = s->bounds(nullptr), b = other->bounds(nullptr);
  ScriptClip* root = vm.rootClip();
  a = s->bounds(root);
  b = other->bounds(root);
  return Value(a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax && b.yMin <= a.yMax);
}

Value startDrag(Vm& vm, CallInfo& c) {
  if (auto* s = self(c)) vm.host().startDrag(s, vm.toBool(c.arg(0)));
  return Value();
}

Value stopDrag(Vm& vm, CallInfo&) {
  vm.host().stopDrag();
  return Value();
}

Value getURL(Vm& vm, CallInfo& c) {
  vm.host().getURL(vm.toString(c.arg(0)), vm.toString(c.arg(1)), 0);
  return Value();
}

Value loadMovie(Vm& vm, CallInfo& c) {
  if (auto* s = self(c)) vm.requestMovieLoad(vm.toString(c.arg(0)), s);
  return Value();
}

Value unloadMovie(Vm& vm, CallInfo& c) {
  if (auto* s = self(c)) vm.requestMovieLoad("", s);
  return Value();
}

// localToGlobal/globalToLocal: a point object's x and y through the matrices of the
// clip and its parents (the root's own matrix is not part of the stage's coordinates).
Value localToGlobal(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s || !c.arg(0).isObject()) return Value();
  Object* pt = c.arg(0).asObject();
  double x = vm.toNumber(vm.getMember(pt, "x")), y = vm.toNumber(vm.getMember(pt, "y"));
  for (ScriptClip* p = s; p && p->parent(); p = p->parent()) {
    const ScriptClip::Matrix m = p->toParent();
    const double nx = m.a * x + m.c * y + m.tx, ny = m.b * x + m.d * y + m.ty;
    x = nx;
    y = ny;
  }
  vm.setMember(pt, "x", x);
  vm.setMember(pt, "y", y);
  return Value();
}

Value globalToLocal(Vm& vm, CallInfo& c) {
  auto* s = self(c);
  if (!s || !c.arg(0).isObject()) return Value();
  Object* pt = c.arg(0).asObject();
  double x = vm.toNumber(vm.getMember(pt, "x")), y = vm.toNumber(vm.getMember(pt, "y"));
  std::vector<ScriptClip*> chain;
  for (ScriptClip* p = s; p && p->parent(); p = p->parent()) chain.push_back(p);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const ScriptClip::Matrix m = (*it)->toParent();
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0 || !std::isfinite(det)) continue;  // a flat clip: nothing to undo
    const double dx = x - m.tx, dy = y - m.ty;
    x = (m.d * dx - m.c * dy) / det;
    y = (-m.b * dx + m.a * dy) / det;
  }
  vm.setMember(pt, "x", x);
  vm.setMember(pt, "y", y);
  return Value();
}

constexpr NativeMember kClipPrototype[] = {
    // The slot of a clip's transform object; this player keeps none, so it reads undefined.
    slot("transform"),
    // Tab's order reads tabIndex from the clips; the prototype holds the slot, undefined.
    slot("tabIndex"),
    method("play", play),
    method("stop", stop),
    method("nextFrame", nextFrame),
    method("prevFrame", prevFrame),
    method("gotoAndPlay", gotoAndPlay),
    method("gotoAndStop", gotoAndStop),
    method("getDepth", getDepth),
    method("getNextHighestDepth", getNextHighestDepth),
    method("getInstanceAtDepth", getInstanceAtDepth),
    method("swapDepths", swapDepths),
    method("duplicateMovieClip", duplicateMovieClip),
    method("removeMovieClip", removeMovieClip),
    method("attachMovie", attachMovie),
    method("createEmptyMovieClip", createEmptyMovieClip).asnative(901, 0),
    method("getBytesLoaded", bytesTotal),
    method("getBytesTotal", bytesTotal),
    method("getBounds", bounds, kDontEnum, 1),
    method("getRect", bounds, kDontEnum, 0),
    method("hitTest", hitTest),
    method("startDrag", startDrag),
    method("stopDrag", stopDrag),
    method("getURL", getURL),
    method("loadMovie", loadMovie),
    method("unloadMovie", unloadMovie),
    method("localToGlobal", localToGlobal),
    method("globalToLocal", globalToLocal),
    // Clips with button events show the hand unless a script turns it off.
    constant("useHandCursor", true, kDontEnum),
};
constexpr NativeClass kClipClass{
    .name = "MovieClip", .constructor = returnThis, .prototype = kClipPrototype};

// Buttons and text fields share the display properties; their prototypes exist so
// scripts can extend them. A button's two switches come before its "constructor".
constexpr NativeMember kButtonPrototype[] = {
    constant("enabled", true, kDontEnum),
    constant("useHandCursor", true, kDontEnum),
};
constexpr NativeClass kButtonClass{.name = "Button", .constructor = returnThis};
constexpr NativeClass kTextFieldClass{.name = "TextField", .constructor = returnThis};

}  // namespace

void installClipBuiltins(Vm& vm) {
  vm.clipProto = vm.newObject();
  installClass(vm, vm.global, kClipClass, vm.clipProto);
  vm.buttonProto = vm.newObject();
  installMembers(vm, vm.buttonProto, kButtonPrototype);
  installClass(vm, vm.global, kButtonClass, vm.buttonProto);
  vm.textFieldProto = vm.newObject();
  installClass(vm, vm.global, kTextFieldClass, vm.textFieldProto);
}

}  // namespace orv::movie::avm1
