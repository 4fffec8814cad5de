// What scripts set and ask about the mouse and the focus: InteractiveObject's and the
// containers' flags, Sprite's button mode, DisplayObject's hit tests, points between
// spaces and masks, Stage.focus, and SimpleButton.
#include <cmath>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "movie/avm2/conversions.h"
#include "movie/flash/display.h"
#include "movie/flash/geom.h"
#include "movie/flash/input.h"
#include "movie/flash/packages.h"
#include "movie/flash/sound.h"

namespace orv::movie::avm2 {

namespace {

Host& hostOf(Machine& m) {
  if (!m.host) m.fail(ErrorClass::Error, 1001, {"display list"});
  return *m.host;
}

DisplayScript* self(Machine& m, const Value& v) { return displayOf(m, v, "InteractiveObject"); }

template <bool InputFlags::*F>
Value getFlag(Machine& m, const Value& v, std::span<Value>) {
  return Value(self(m, v)->input.*F);
}
template <bool InputFlags::*F>
Value setFlag(Machine& m, const Value& v, std::span<Value> args) {
  self(m, v)->input.*F = toBoolean(arg(args, 0));
  return Value();
}

Value getTabEnabled(Machine& m, const Value& v, std::span<Value>) {
  DisplayScript* d = self(m, v);
  if (d->input.tabEnabled >= 0) return Value(d->input.tabEnabled > 0);
  return Value(hostOf(m).kindOf(d->handle) == DisplayKind::Button || d->input.buttonMode);
}
Value setTabEnabled(Machine& m, const Value& v, std::span<Value> args) {
  self(m, v)->input.tabEnabled = toBoolean(arg(args, 0)) ? 1 : 0;
  return Value();
}
Value getTabIndex(Machine& m, const Value& v, std::span<Value>) {
  return Value(int32_t(self(m, v)->input.tabIndex));
}
Value setTabIndex(Machine& m, const Value& v, std::span<Value> args) {
  const int32_t i = m.toInt(arg(args, 0));
  if (i < -1) m.fail(ErrorClass::RangeError, 2027, {std::to_string(i)});
  self(m, v)->input.tabIndex = i;
  return Value();
}
Value getFocusRect(Machine& m, const Value& v, std::span<Value>) { return self(m, v)->input.focusRect; }
Value setFocusRect(Machine& m, const Value& v, std::span<Value> args) {
  Value r = arg(args, 0);
  self(m, v)->input.focusRect = r.isNullish() ? Value::null() : Value(toBoolean(r));
  return Value();
}

Value getHitArea(Machine& m, const Value& v, std::span<Value>) {
  Object* a = self(m, v)->input.hitArea;
  return a ? Value(a) : Value::null();
}
Value setHitArea(Machine& m, const Value& v, std::span<Value> args) {
  Value a = arg(args, 0);
  auto* sprite = a.isObject() ? dynamic_cast<DisplayScript*>(a.asObject()) : nullptr;
  if (!a.isNullish() && !sprite) m.fail(ErrorClass::TypeError, 1034, {m.className(a), "flash.display.Sprite"});
  self(m, v)->input.hitArea = sprite;
  return Value();
}

// ---- DisplayObject ----

DisplayScript* objectArg(Machine& m, std::span<Value> args, size_t i, const char* name) {
  Value v = arg(args, i);
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {name});
  auto* d = v.isObject() ? dynamic_cast<DisplayScript*>(v.asObject()) : nullptr;
  if (!d) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.display.DisplayObject"});
  return d;
}

Value hitTestPoint(Machine& m, const Value& v, std::span<Value> args) {
  DisplayScript* d = displayOf(m, v, "hitTestPoint");
  const double x = m.toNumber(arg(args, 0)), y = m.toNumber(arg(args, 1));
  return Value(hostOf(m).hitTest(d->handle, x, y, toBoolean(arg(args, 2))));
}

Value hitTestObject(Machine& m, const Value& v, std::span<Value> args) {
  DisplayScript* d = displayOf(m, v, "hitTestObject");
  DisplayScript* o = objectArg(m, args, 0, "obj");
  double a[4], b[4];
  Host& host = hostOf(m);
  if (!host.bounds(d->handle, 0, a) || !host.bounds(o->handle, 0, b)) return Value(false);
  return Value(a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3]);
}

Value mapPoint(Machine& m, const Value& v, std::span<Value> args, bool toStage) {
  DisplayScript* d = displayOf(m, v, toStage ? "localToGlobal" : "globalToLocal");
  GeomObject* p = geomArg(m, arg(args, 0), "Point", "point");
  double x = p->v[0], y = p->v[1];
  hostOf(m).mapPoint(d->handle, x, y, toStage);
  return geomValue(makeGeom(m, "Point", {x, y}));
}
Value localToGlobal(Machine& m, const Value& v, std::span<Value> args) { return mapPoint(m, v, args, true); }
Value globalToLocal(Machine& m, const Value& v, std::span<Value> args) { return mapPoint(m, v, args, false); }

Value getBounds(Machine& m, const Value& v, std::span<Value> args) {
  DisplayScript* d = displayOf(m, v, "getBounds");
  Value space = arg(args, 0);
  auto* s = space.isObject() ? dynamic_cast<DisplayScript*>(space.asObject()) : nullptr;
  double box[4];
  if (!hostOf(m).bounds(d->handle, s ? s->handle : d->handle, box))
    return geomValue(makeGeom(m, "Rectangle", {0, 0, 0, 0}));
  return geomValue(makeGeom(m, "Rectangle", {box[0], box[1], box[2] - box[0], box[3] - box[1]}));
}

Value getMask(Machine& m, const Value& v, std::span<Value>) {
  DisplayScript* d = displayOf(m, v, "mask");
  return displayObjectFor(m, hostOf(m).maskOf(d->handle));
}
Value setMask(Machine& m, const Value& v, std::span<Value> args) {
  DisplayScript* d = displayOf(m, v, "mask");
  Value mask = arg(args, 0);
  auto* md = mask.isObject() ? dynamic_cast<DisplayScript*>(mask.asObject()) : nullptr;
  hostOf(m).setMask(d->handle, md ? md->handle : 0);
  return Value();
}

// ---- Stage ----

Value getFocus(Machine& m, const Value&, std::span<Value>) { return focusedObject(m); }
Value setStageFocus(Machine& m, const Value&, std::span<Value> args) {
  Value v = arg(args, 0);
  auto* d = v.isObject() ? dynamic_cast<DisplayScript*>(v.asObject()) : nullptr;
  setFocus(m, d ? v : Value::null());
  return Value();
}

// ---- SimpleButton: a state object shown as its one child, the hit state testing ----

constexpr int kUp = 0, kOver = 1, kDown = 2, kHit = 3;

void showState(Machine& m, DisplayScript* b) {
  Host& host = hostOf(m);
  Object* want = b->input.states[b->input.shownState];
  while (host.numChildren(b->handle) > 0) host.removeChildAt(b->handle, 0);
  if (auto* s = dynamic_cast<DisplayScript*>(want); s && s->handle && s != b)
    host.insertChild(b->handle, s->handle, 0);
}

Value buttonInit(Machine& m, const Value& v, std::span<Value> args) {
  DisplayScript* b = displayOf(m, v, "SimpleButton");
  if (!b->handle && m.host) {
    b->handle = m.host->create(DisplayKind::MovieClip);
    if (b->handle) {
      m.displayObjects[b->handle] = b;
      b->input.isButton = true;
    }
  }
  b->input.mouseChildren = false;
  for (size_t i = 0; i < 4 && i < args.size(); ++i) {
    auto* s = args[i].isObject() ? dynamic_cast<DisplayScript*>(args[i].asObject()) : nullptr;
    b->input.states[i] = s;
  }
  if (b->input.isButton) showState(m, b);
  return Value();
}

template <int S>
Value getState(Machine& m, const Value& v, std::span<Value>) {
  Object* o = displayOf(m, v, "SimpleButton")->input.states[S];
  return o ? Value(o) : Value::null();
}
template <int S>
Value setState(Machine& m, const Value& v, std::span<Value> args) {
  DisplayScript* b = displayOf(m, v, "SimpleButton");
  Value s = arg(args, 0);
  b->input.states[S] = s.isObject() ? dynamic_cast<DisplayScript*>(s.asObject()) : nullptr;
  if (b->input.isButton && b->handle && S == b->input.shownState) showState(m, b);
  return Value();
}

#define ORV_FLAG(name, field) \
  {name, MemberKind::Getter, getFlag<&InputFlags::field>}, { name, MemberKind::Setter, setFlag<&InputFlags::field> }

constexpr NativeMember kInteractive[] = {
    ORV_FLAG("mouseEnabled", mouseEnabled),
    ORV_FLAG("doubleClickEnabled", doubleClickEnabled),
    {"tabEnabled", MemberKind::Getter, getTabEnabled},
    {"tabEnabled", MemberKind::Setter, setTabEnabled},
    {"tabIndex", MemberKind::Getter, getTabIndex},
    {"tabIndex", MemberKind::Setter, setTabIndex},
    {"focusRect", MemberKind::Getter, getFocusRect},
    {"focusRect", MemberKind::Setter, setFocusRect},
};
constexpr NativeMember kContainer[] = {
    ORV_FLAG("mouseChildren", mouseChildren),
    ORV_FLAG("tabChildren", tabChildren),
};
constexpr NativeMember kSprite[] = {
    {"soundTransform", MemberKind::Getter, displaySoundTransform},
    {"soundTransform", MemberKind::Setter, setDisplaySoundTransform},
    ORV_FLAG("buttonMode", buttonMode),
    ORV_FLAG("useHandCursor", useHandCursor),
    {"hitArea", MemberKind::Getter, getHitArea},
    {"hitArea", MemberKind::Setter, setHitArea},
};
constexpr NativeMember kDisplay[] = {
    {"hitTestPoint", MemberKind::FinalMethod, hitTestPoint, 3},
    {"hitTestObject", MemberKind::FinalMethod, hitTestObject, 1},
    {"localToGlobal", MemberKind::FinalMethod, localToGlobal, 1},
    {"globalToLocal", MemberKind::FinalMethod, globalToLocal, 1},
    {"getBounds", MemberKind::FinalMethod, getBounds, 1},
    {"getRect", MemberKind::FinalMethod, getBounds, 1},
    {"mask", MemberKind::Getter, getMask},
    {"mask", MemberKind::Setter, setMask},
};
constexpr NativeMember kStage[] = {
    {"focus", MemberKind::Getter, getFocus},
    {"focus", MemberKind::Setter, setStageFocus},
};
constexpr NativeMember kButton[] = {
    {"soundTransform", MemberKind::Getter, displaySoundTransform},
    {"soundTransform", MemberKind::Setter, setDisplaySoundTransform},
    ORV_FLAG("enabled", buttonEnabled),
    ORV_FLAG("useHandCursor", useHandCursor),
    ORV_FLAG("trackAsMenu", trackAsMenu),
    {"upState", MemberKind::Getter, getState<kUp>},
    {"upState", MemberKind::Setter, setState<kUp>},
    {"overState", MemberKind::Getter, getState<kOver>},
    {"overState", MemberKind::Setter, setState<kOver>},
    {"downState", MemberKind::Getter, getState<kDown>},
    {"downState", MemberKind::Setter, setState<kDown>},
    {"hitTestState", MemberKind::Getter, getState<kHit>},
    {"hitTestState", MemberKind::Setter, setState<kHit>},
};
#undef ORV_FLAG

}  // namespace

std::span<const NativeMember> withInputMembers(std::string_view cls,
                                               std::span<const NativeMember> own) {
  // One table a class, made as the first machine installs it.
  static std::mutex guard;
  static std::map<std::string, std::vector<NativeMember>, std::less<>> tables;
  std::span<const NativeMember> extra;
  if (cls == "DisplayObject") extra = kDisplay;
  if (cls == "DisplayObjectContainer") extra = kContainer;
  if (cls == "Sprite") extra = kSprite;
  if (cls == "Stage") extra = kStage;
  std::lock_guard<std::mutex> lock(guard);
  auto it = tables.find(cls);
  if (it == tables.end()) {
    std::vector<NativeMember> rows(own.begin(), own.end());
    rows.insert(rows.end(), extra.begin(), extra.end());
    it = tables.emplace(std::string(cls), std::move(rows)).first;
  }
  return it->second;
}

void showButtonState(Machine& m, Object* button, int state) {
  auto* b = dynamic_cast<DisplayScript*>(button);
  if (!b || !b->input.isButton || !b->handle || b->input.shownState == state) return;
  b->input.shownState = state;
  showState(m, b);
}

void installInteractiveObject(Machine& m) {
  installClass(m, {.package = "flash.display",
                   .name = "InteractiveObject",
                   .base = "flash.display.DisplayObject",
                   .members = kInteractive,
                   .dynamic = false});
}

void installSimpleButton(Machine& m) {
  installClass(m, {.package = "flash.display",
                   .name = "SimpleButton",
                   .base = "flash.display.InteractiveObject",
                   .members = kButton,
                   .init = buttonInit,
                   .dynamic = false,
                   .initLength = 4});
}

}  // namespace orv::movie::avm2
