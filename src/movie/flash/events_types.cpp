// The subclasses of Event that carry fields: each is a kind (its fields, their types and
// defaults, which the constructor takes, which toString prints) and a table of accessors.
#include <cmath>
#include <limits>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/events.h"
#include "movie/flash/events_state.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

enum class FieldType : uint8_t { Number, Int, Uint, Bool, String, Object };

struct EventField {
  const char* name;
  FieldType type;
  double number = 0;
  const char* text = nullptr;  // a String field's default (null: the empty string)
};

struct EventKind {
  const char* name;  // in flash.events
  const char* base;
  bool bubbles;  // the constructor's default
  std::span<const EventField> fields;  // the inherited ones first
  size_t params;                       // the constructor takes this many after cancelable
  std::span<const char* const> printed;  // what toString shows after eventPhase
};

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Value coerceField(Machine& m, FieldType type, const Value& v) {
  switch (type) {
    case FieldType::Number:
      return Value(m.toNumber(v));
    case FieldType::Int:
      return Value(m.toInt(v));
    case FieldType::Uint:
      return Value(m.toUint(v));
    case FieldType::Bool:
      return Value(toBoolean(v));
    case FieldType::String:
      return v.isNullish() ? Value::null() : Value(m.toString(v));
    case FieldType::Object:
      return v.isUndefined() ? Value::null() : v;
  }
  return v;
}

Value defaultOf(const EventField& f) {
  switch (f.type) {
    case FieldType::Number:
      return Value(f.number);
    case FieldType::Int:
      return Value(int32_t(f.number));
    case FieldType::Uint:
      return Value(uint32_t(f.number));
    case FieldType::Bool:
      return Value(f.number != 0);
    case FieldType::String:
      return Value(StringRef(f.text ? f.text : ""));
    case FieldType::Object:
      return Value::null();
  }
  return Value();
}

EventObject* self_(Machine& m, const Value& self) {
  return receiver<EventObject>(m, self, "Event");
}

template <size_t I>
Value getField(Machine& m, const Value& self, std::span<Value>) {
  EventObject* e = self_(m, self);
  return I < e->fields.size() ? e->fields[I] : Value();
}

template <size_t I>
Value setField(Machine& m, const Value& self, std::span<Value> args) {
  EventObject* e = self_(m, self);
  if (e->kind && I < e->fields.size() && I < e->kind->fields.size())
    e->fields[I] = coerceField(m, e->kind->fields[I].type, arg(args, 0));
  return Value();
}

template <const EventKind& S>
Object* alloc(Machine& m, ClassObject* cls) {
  auto* e = m.heap.make<EventObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
  e->kind = &S;
  for (const EventField& f : S.fields) e->fields.push_back(defaultOf(f));
  return e;
}

// The constructor, clone and toString of every class here, by the kind the instance was
// made with.
Value init(Machine& m, const Value& self, std::span<Value> args) {
  EventObject* e = self_(m, self);
  Value type = arg(args, 0);
  e->type = type.isNullish() ? Value::null() : Value(m.toString(type));
  e->bubbles = args.size() > 1 ? toBoolean(args[1]) : e->kind && e->kind->bubbles;
  e->cancelable = toBoolean(arg(args, 2));
  if (!e->kind) return Value();
  for (size_t i = 0; i < e->kind->params && 3 + i < args.size() && i < e->fields.size(); ++i)
    e->fields[i] = coerceField(m, e->kind->fields[i].type, args[3 + i]);
  return Value();
}

Value clone(Machine& m, const Value& self, std::span<Value>) {
  EventObject* e = self_(m, self);
  std::vector<Value> args = {e->type, Value(e->bubbles), Value(e->cancelable)};
  if (!e->kind) return m.construct(Value(static_cast<Object*>(m.findClass("flash.events.Event"))), args);
  for (size_t i = 0; i < e->kind->params && i < e->fields.size(); ++i) args.push_back(e->fields[i]);
  ClassObject* cls = m.findClass(std::string("flash.events.") + e->kind->name);
  return m.construct(Value(static_cast<Object*>(cls)), args);
}

Value toString(Machine& m, const Value& self, std::span<Value>) {
  EventObject* e = self_(m, self);
  std::vector<Value> names;
  names.emplace_back(m.intern(e->kind ? e->kind->name : "Event"));
  for (const char* n : {"type", "bubbles", "cancelable", "eventPhase"}) names.emplace_back(m.intern(n));
  if (e->kind)
    for (const char* n : e->kind->printed) names.emplace_back(m.intern(n));
  return formatEventText(m, self, names);
}

Value updateAfterEvent(Machine&, const Value&, std::span<Value>) { return Value(); }

// Where the point is on the stage: without a display object to place it, nowhere.
Value stageCoordinate(Machine& m, const Value& self, size_t local) {
  EventObject* e = self_(m, self);
  double v = local < e->fields.size() ? m.toNumber(e->fields[local]) : kNaN;
  EventsState& s = m.packageState<EventsState>();
  if (s.localToStage && e->target.isObject() && e->fields.size() > 1) {
    const double x = m.toNumber(e->fields[0]), y = m.toNumber(e->fields[1]);
    return Value(s.localToStage(m, e->target.asObject(), x, y, local == 1));
  }
  return Value(v * 0);
}
Value stageX(Machine& m, const Value& self, std::span<Value>) { return stageCoordinate(m, self, 0); }
Value stageY(Machine& m, const Value& self, std::span<Value>) { return stageCoordinate(m, self, 1); }

#define ORV_FIELD(name, i) \
  {name, MemberKind::Getter, getField<i>}, { name, MemberKind::Setter, setField<i> }
#define ORV_TYPE(constant, text) {constant, MemberKind::Constant, nullptr, 0, 0, text}
#define ORV_METHODS(kind) \
  {"clone", MemberKind::Method, clone}, { "toString", MemberKind::Method, toString }

// ---- MouseEvent ----
constexpr EventField kMouseFields[] = {
    {"localX", FieldType::Number, kNaN}, {"localY", FieldType::Number, kNaN},
    {"relatedObject", FieldType::Object}, {"ctrlKey", FieldType::Bool},
    {"altKey", FieldType::Bool},          {"shiftKey", FieldType::Bool},
    {"buttonDown", FieldType::Bool},      {"delta", FieldType::Int},
    {"commandKey", FieldType::Bool},      {"controlKey", FieldType::Bool},
    {"clickCount", FieldType::Int},       {"movementX", FieldType::Number},
    {"movementY", FieldType::Number},     {"isRelatedObjectInaccessible", FieldType::Bool},
};
constexpr const char* kMousePrinted[] = {"localX",  "localY",   "stageX",     "stageY",
                                         "relatedObject", "ctrlKey", "altKey", "shiftKey",
                                         "buttonDown", "delta"};
constexpr EventKind kMouse{"MouseEvent", "flash.events.Event", true, kMouseFields, 11, kMousePrinted};
const NativeMember kMouseMembers[] = {
    ORV_FIELD("localX", 0), ORV_FIELD("localY", 1), ORV_FIELD("relatedObject", 2),
    ORV_FIELD("ctrlKey", 3), ORV_FIELD("altKey", 4), ORV_FIELD("shiftKey", 5),
    ORV_FIELD("buttonDown", 6), ORV_FIELD("delta", 7), ORV_FIELD("commandKey", 8),
    ORV_FIELD("controlKey", 9), ORV_FIELD("clickCount", 10), ORV_FIELD("movementX", 11),
    ORV_FIELD("movementY", 12), ORV_FIELD("isRelatedObjectInaccessible", 13),
    {"stageX", MemberKind::Getter, stageX}, {"stageY", MemberKind::Getter, stageY},
    {"updateAfterEvent", MemberKind::Method, updateAfterEvent}, ORV_METHODS(kMouse),
    ORV_TYPE("CLICK", "click"), ORV_TYPE("CONTEXT_MENU", "contextMenu"),
    ORV_TYPE("DOUBLE_CLICK", "doubleClick"), ORV_TYPE("MIDDLE_CLICK", "middleClick"),
    ORV_TYPE("MIDDLE_MOUSE_DOWN", "middleMouseDown"), ORV_TYPE("MIDDLE_MOUSE_UP", "middleMouseUp"),
    ORV_TYPE("MOUSE_DOWN", "mouseDown"), ORV_TYPE("MOUSE_MOVE", "mouseMove"),
    ORV_TYPE("MOUSE_OUT", "mouseOut"), ORV_TYPE("MOUSE_OVER", "mouseOver"),
    ORV_TYPE("MOUSE_UP", "mouseUp"), ORV_TYPE("MOUSE_WHEEL", "mouseWheel"),
    ORV_TYPE("RELEASE_OUTSIDE", "releaseOutside"), ORV_TYPE("RIGHT_CLICK", "rightClick"),
    ORV_TYPE("RIGHT_MOUSE_DOWN", "rightMouseDown"), ORV_TYPE("RIGHT_MOUSE_UP", "rightMouseUp"),
    ORV_TYPE("ROLL_OUT", "rollOut"), ORV_TYPE("ROLL_OVER", "rollOver"),
};

// ---- KeyboardEvent ----
constexpr EventField kKeyFields[] = {
    {"charCode", FieldType::Uint}, {"keyCode", FieldType::Uint},  {"keyLocation", FieldType::Uint},
    {"ctrlKey", FieldType::Bool},  {"altKey", FieldType::Bool},   {"shiftKey", FieldType::Bool},
    {"controlKey", FieldType::Bool}, {"commandKey", FieldType::Bool},
};
constexpr const char* kKeyPrinted[] = {"charCode", "keyCode", "keyLocation",
                                       "ctrlKey",  "altKey",  "shiftKey"};
constexpr EventKind kKey{"KeyboardEvent", "flash.events.Event", true, kKeyFields, 8, kKeyPrinted};
const NativeMember kKeyMembers[] = {
    ORV_FIELD("charCode", 0), ORV_FIELD("keyCode", 1), ORV_FIELD("keyLocation", 2),
    ORV_FIELD("ctrlKey", 3), ORV_FIELD("altKey", 4), ORV_FIELD("shiftKey", 5),
    ORV_FIELD("controlKey", 6), ORV_FIELD("commandKey", 7),
    {"updateAfterEvent", MemberKind::Method, updateAfterEvent}, ORV_METHODS(kKey),
    ORV_TYPE("KEY_DOWN", "keyDown"), ORV_TYPE("KEY_UP", "keyUp"),
};

// ---- FocusEvent ----
constexpr EventField kFocusFields[] = {
    {"relatedObject", FieldType::Object}, {"shiftKey", FieldType::Bool},
    {"keyCode", FieldType::Uint}, {"direction", FieldType::String, 0, "none"},
    {"isRelatedObjectInaccessible", FieldType::Bool},
};
constexpr const char* kFocusPrinted[] = {"relatedObject", "shiftKey", "keyCode"};
constexpr EventKind kFocus{"FocusEvent", "flash.events.Event", true, kFocusFields, 4, kFocusPrinted};
const NativeMember kFocusMembers[] = {
    ORV_FIELD("relatedObject", 0), ORV_FIELD("shiftKey", 1), ORV_FIELD("keyCode", 2),
    ORV_FIELD("direction", 3), ORV_FIELD("isRelatedObjectInaccessible", 4), ORV_METHODS(kFocus),
    ORV_TYPE("FOCUS_IN", "focusIn"), ORV_TYPE("FOCUS_OUT", "focusOut"),
    ORV_TYPE("KEY_FOCUS_CHANGE", "keyFocusChange"),
    ORV_TYPE("MOUSE_FOCUS_CHANGE", "mouseFocusChange"),
};

// ---- TimerEvent ----
constexpr EventKind kTimer{"TimerEvent", "flash.events.Event", false, {}, 0, {}};
const NativeMember kTimerMembers[] = {
    {"updateAfterEvent", MemberKind::Method, updateAfterEvent}, ORV_METHODS(kTimer),
    ORV_TYPE("TIMER", "timer"), ORV_TYPE("TIMER_COMPLETE", "timerComplete"),
};

// ---- ProgressEvent ----
constexpr EventField kProgressFields[] = {{"bytesLoaded", FieldType::Number},
                                          {"bytesTotal", FieldType::Number}};
constexpr const char* kProgressPrinted[] = {"bytesLoaded", "bytesTotal"};
constexpr EventKind kProgress{"ProgressEvent", "flash.events.Event", false, kProgressFields, 2,
                              kProgressPrinted};
const NativeMember kProgressMembers[] = {
    ORV_FIELD("bytesLoaded", 0), ORV_FIELD("bytesTotal", 1), ORV_METHODS(kProgress),
    ORV_TYPE("PROGRESS", "progress"), ORV_TYPE("SOCKET_DATA", "socketData"),
};

// ---- TextEvent and the error events below it ----
constexpr EventField kTextFields[] = {{"text", FieldType::String}};
constexpr EventField kErrorFields[] = {{"text", FieldType::String}, {"errorID", FieldType::Int}};
constexpr const char* kTextPrinted[] = {"text"};
constexpr EventKind kText{"TextEvent", "flash.events.Event", false, kTextFields, 1, kTextPrinted};
constexpr EventKind kError{"ErrorEvent", "flash.events.TextEvent", false, kErrorFields, 2,
                           kTextPrinted};
constexpr EventKind kIoError{"IOErrorEvent", "flash.events.ErrorEvent", false, kErrorFields, 2,
                             kTextPrinted};
constexpr EventKind kSecurityError{"SecurityErrorEvent", "flash.events.ErrorEvent", false,
                                   kErrorFields, 2, kTextPrinted};
const NativeMember kTextMembers[] = {
    ORV_FIELD("text", 0), ORV_METHODS(kText), ORV_TYPE("LINK", "link"),
    ORV_TYPE("TEXT_INPUT", "textInput"),
};
const NativeMember kErrorMembers[] = {
    {"errorID", MemberKind::Getter, getField<1>}, ORV_METHODS(kError), ORV_TYPE("ERROR", "error")};
const NativeMember kIoErrorMembers[] = {
    ORV_METHODS(kIoError), ORV_TYPE("IO_ERROR", "ioError"), ORV_TYPE("DISK_ERROR", "diskError"),
    ORV_TYPE("NETWORK_ERROR", "networkError"), ORV_TYPE("VERIFY_ERROR", "verifyError"),
};
const NativeMember kSecurityErrorMembers[] = {
    ORV_METHODS(kSecurityError), ORV_TYPE("SECURITY_ERROR", "securityError")};

// ---- HTTPStatusEvent: a local file's status is 0 ----
constexpr EventField kStatusFields[] = {{"status", FieldType::Int},
                                        {"redirected", FieldType::Bool},
                                        {"responseURL", FieldType::Object},
                                        {"responseHeaders", FieldType::Object}};
constexpr const char* kStatusPrinted[] = {"status", "redirected", "responseURL"};
constexpr EventKind kHttpStatus{"HTTPStatusEvent", "flash.events.Event", false, kStatusFields, 2,
                                kStatusPrinted};
const NativeMember kHttpStatusMembers[] = {
    {"status", MemberKind::Getter, getField<0>},
    {"redirected", MemberKind::Getter, getField<1>},
    {"redirected", MemberKind::Setter, setField<1>},
    ORV_FIELD("responseURL", 2),
    ORV_FIELD("responseHeaders", 3),
    ORV_METHODS(kHttpStatus),
    ORV_TYPE("HTTP_STATUS", "httpStatus"),
    ORV_TYPE("HTTP_RESPONSE_STATUS", "httpResponseStatus"),
};

#undef ORV_FIELD
#undef ORV_TYPE
#undef ORV_METHODS

template <const EventKind& S>
void install(Machine& m, std::span<const NativeMember> members) {
  installClass(m, {.package = "flash.events",
                   .name = S.name,
                   .base = S.base,
                   .members = members,
                   .init = init,
                   .alloc = alloc<S>,
                   .dynamic = false,
                   .initLength = int(3 + S.params)});
}

}  // namespace

void installEventTypes(Machine& m) {
  install<kMouse>(m, kMouseMembers);
  install<kKey>(m, kKeyMembers);
  install<kFocus>(m, kFocusMembers);
  install<kTimer>(m, kTimerMembers);
  install<kProgress>(m, kProgressMembers);
  install<kText>(m, kTextMembers);
  install<kError>(m, kErrorMembers);
  install<kIoError>(m, kIoErrorMembers);
  install<kSecurityError>(m, kSecurityErrorMembers);
  install<kHttpStatus>(m, kHttpStatusMembers);
}

}  // namespace orv::movie::avm2
