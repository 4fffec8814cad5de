// flash.events.Event and EventPhase.
#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/events.h"
#include "movie/flash/events_state.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

void EventObject::markChildren(Marker& m) const {
  Object::markChildren(m);
  m.mark(target);
  m.mark(currentTarget);
  for (const Value& v : fields) m.mark(v);
}

namespace {

EventObject* self_(Machine& m, const Value& self) {
  return receiver<EventObject>(m, self, "Event");
}

Object* allocEvent(Machine& m, ClassObject* cls) {
  return m.heap.make<EventObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value init(Machine& m, const Value& self, std::span<Value> args) {
  EventObject* e = self_(m, self);
  Value type = arg(args, 0);
  e->type = type.isNullish() ? Value::null() : Value(m.toString(type));
  e->bubbles = toBoolean(arg(args, 1));
  e->cancelable = toBoolean(arg(args, 2));
  return Value();
}

Value type(Machine& m, const Value& self, std::span<Value>) { return self_(m, self)->type; }
Value bubbles(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->bubbles);
}
Value cancelable(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->cancelable);
}
Value target(Machine& m, const Value& self, std::span<Value>) {
  EventObject* e = self_(m, self);
  return e->target.isUndefined() ? Value::null() : e->target;
}
Value currentTarget(Machine& m, const Value& self, std::span<Value>) {
  EventObject* e = self_(m, self);
  return e->currentTarget.isUndefined() ? Value::null() : e->currentTarget;
}
Value eventPhase(Machine& m, const Value& self, std::span<Value>) {
  return Value(uint32_t(self_(m, self)->phase));
}

Value stopPropagation(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self)->stopped = true;
  return Value();
}
Value stopImmediatePropagation(Machine& m, const Value& self, std::span<Value>) {
  EventObject* e = self_(m, self);
  e->stopped = e->stoppedImmediately = true;
  return Value();
}
Value preventDefault(Machine& m, const Value& self, std::span<Value>) {
  EventObject* e = self_(m, self);
  if (e->cancelable) e->defaultPrevented = true;
  return Value();
}
Value isDefaultPrevented(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->defaultPrevented);
}

// A copy of the plain event: subclasses that keep more override clone().
Value clone(Machine& m, const Value& self, std::span<Value>) {
  EventObject* e = self_(m, self);
  Value args[3] = {e->type, Value(e->bubbles), Value(e->cancelable)};
  return m.construct(Value(static_cast<Object*>(m.findClass("flash.events.Event"))), args);
}

}  // namespace

// "[Name a=1 b="text"]": each named property of the event, strings quoted.
Value formatEventText(Machine& m, const Value& self, std::span<Value> args) {
  std::string out = "[" + m.toText(arg(args, 0));
  for (size_t i = 1; i < args.size(); ++i) {
    std::string name = m.toText(args[i]);
    Value v = m.get(self, name);
    out += " " + name + "=";
    out += v.isString() ? "\"" + m.toText(v) + "\"" : m.toText(v);
  }
  return Value(StringRef(out + "]"));
}

namespace {

Value formatToString(Machine& m, const Value& self, std::span<Value> args) {
  return formatEventText(m, self, args);
}

Value toString(Machine& m, const Value& self, std::span<Value>) {
  Value names[5] = {Value(m.intern("Event")), Value(m.intern("type")), Value(m.intern("bubbles")),
                    Value(m.intern("cancelable")), Value(m.intern("eventPhase"))};
  return formatToString(m, self, names);
}

const NativeMember kEventMembers[] = {
    {"type", MemberKind::Getter, type},
    {"bubbles", MemberKind::Getter, bubbles},
    {"cancelable", MemberKind::Getter, cancelable},
    {"target", MemberKind::Getter, target},
    {"currentTarget", MemberKind::Getter, currentTarget},
    {"eventPhase", MemberKind::Getter, eventPhase},
    {"stopPropagation", MemberKind::Method, stopPropagation},
    {"stopImmediatePropagation", MemberKind::Method, stopImmediatePropagation},
    {"preventDefault", MemberKind::Method, preventDefault},
    {"isDefaultPrevented", MemberKind::Method, isDefaultPrevented},
    {"clone", MemberKind::Method, clone},
    {"toString", MemberKind::Method, toString},
    {"formatToString", MemberKind::Method, formatToString, 1},
#define ORV_EVENT(constant, text) {constant, MemberKind::Constant, nullptr, 0, 0, text}
    ORV_EVENT("ACTIVATE", "activate"),
    ORV_EVENT("ADDED", "added"),
    ORV_EVENT("ADDED_TO_STAGE", "addedToStage"),
    ORV_EVENT("BROWSER_ZOOM_CHANGE", "browserZoomChange"),
    ORV_EVENT("CANCEL", "cancel"),
    ORV_EVENT("CHANGE", "change"),
    ORV_EVENT("CHANNEL_MESSAGE", "channelMessage"),
    ORV_EVENT("CHANNEL_STATE", "channelState"),
    ORV_EVENT("CLEAR", "clear"),
    ORV_EVENT("CLOSE", "close"),
    ORV_EVENT("COMPLETE", "complete"),
    ORV_EVENT("CONNECT", "connect"),
    ORV_EVENT("CONTEXT3D_CREATE", "context3DCreate"),
    ORV_EVENT("COPY", "copy"),
    ORV_EVENT("CUT", "cut"),
    ORV_EVENT("DEACTIVATE", "deactivate"),
    ORV_EVENT("ENTER_FRAME", "enterFrame"),
    ORV_EVENT("EXIT_FRAME", "exitFrame"),
    ORV_EVENT("FRAME_CONSTRUCTED", "frameConstructed"),
    ORV_EVENT("FRAME_LABEL", "frameLabel"),
    ORV_EVENT("FULLSCREEN", "fullScreen"),
    ORV_EVENT("ID3", "id3"),
    ORV_EVENT("INIT", "init"),
    ORV_EVENT("MOUSE_LEAVE", "mouseLeave"),
    ORV_EVENT("OPEN", "open"),
    ORV_EVENT("PASTE", "paste"),
    ORV_EVENT("REMOVED", "removed"),
    ORV_EVENT("REMOVED_FROM_STAGE", "removedFromStage"),
    ORV_EVENT("RENDER", "render"),
    ORV_EVENT("RESIZE", "resize"),
    ORV_EVENT("SCROLL", "scroll"),
    ORV_EVENT("SELECT", "select"),
    ORV_EVENT("SELECT_ALL", "selectAll"),
    ORV_EVENT("SOUND_COMPLETE", "soundComplete"),
    ORV_EVENT("SUSPEND", "suspend"),
    ORV_EVENT("TAB_CHILDREN_CHANGE", "tabChildrenChange"),
    ORV_EVENT("TAB_ENABLED_CHANGE", "tabEnabledChange"),
    ORV_EVENT("TAB_INDEX_CHANGE", "tabIndexChange"),
    ORV_EVENT("TEXT_INTERACTION_MODE_CHANGE", "textInteractionModeChange"),
    ORV_EVENT("UNLOAD", "unload"),
    ORV_EVENT("VIDEO_FRAME", "videoFrame"),
    ORV_EVENT("WORKER_STATE", "workerState"),
#undef ORV_EVENT
};

const NativeMember kPhaseMembers[] = {
    {"CAPTURING_PHASE", MemberKind::Constant, nullptr, 0, 1},
    {"AT_TARGET", MemberKind::Constant, nullptr, 0, 2},
    {"BUBBLING_PHASE", MemberKind::Constant, nullptr, 0, 3},
};

}  // namespace

void dispatchNewEvent(Machine& m, Object* target, std::string_view cls, std::vector<Value> args) {
  const std::string name = "flash.events." + std::string(cls);
  ClassObject* c = m.findClass(name);
  if (!c) m.fail(ErrorClass::ReferenceError, 1065, {name});
  Value event = m.construct(Value(static_cast<Object*>(c)), args);
  if (auto* e = event.isObject() ? dynamic_cast<EventObject*>(event.asObject()) : nullptr)
    dispatchEvent(m, target, e);
}

EventObject* makeEvent(Machine& m, std::string_view type, bool bubbles, bool cancelable,
                       std::string_view cls) {
  ClassObject* c = m.findClass(cls);
  if (!c) m.fail(ErrorClass::ReferenceError, 1065, {std::string(cls)});
  Value args[3] = {Value(StringRef(type)), Value(bubbles), Value(cancelable)};
  Value e = m.construct(Value(static_cast<Object*>(c)), args);
  auto* event = e.isObject() ? dynamic_cast<EventObject*>(e.asObject()) : nullptr;
  if (!event) m.fail(ErrorClass::TypeError, 1034, {m.className(e), "flash.events.Event"});
  return event;
}

void installEventClasses(Machine& m) {
  installEventDispatcher(m);
  installClass(m, {.package = "flash.events",
                   .name = "Event",
                   .members = kEventMembers,
                   .init = init,
                   .alloc = allocEvent,
                   .dynamic = false,
                   .initLength = 3});
  installClass(m, {.package = "flash.events",
                   .name = "EventPhase",
                   .members = kPhaseMembers,
                   .dynamic = false,
                   .isFinal = true});
  installEventTypes(m);
}

}  // namespace orv::movie::avm2
