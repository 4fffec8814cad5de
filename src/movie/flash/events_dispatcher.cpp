// flash.events.EventDispatcher and IEventDispatcher: listeners by type, phase and
// priority, and the event flow through a target's ancestors.
#include <algorithm>
#include <vector>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/events.h"
#include "movie/flash/events_state.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxAncestors = 10000;  // a parent cycle ends the walk

struct Listener {
  String* type;  // interned
  Value function;
  int32_t priority;
  bool capture;
  bool weak;
};

// A dispatcher's listeners and the target its events name, kept in a slot of the
// dispatcher no script can name.
class ListenerStore : public Object {
 public:
  std::vector<Listener> listeners;
  // When the dispatcher began to listen to each type it listens to: the player's
  // broadcasts (enterFrame...) reach dispatchers in that order.
  std::vector<std::pair<String*, uint64_t>> since;
  Value target;  // null: the dispatcher itself
  bool watched = false;

  void markChildren(Marker& m) const override {
    Object::markChildren(m);
    m.mark(target);
    for (const Listener& l : listeners)
      if (!l.weak) m.mark(l.function);
  }
  void dropUnmarked() override {
    std::erase_if(listeners, [](const Listener& l) {
      return l.weak && l.function.isObject() && !l.function.asObject()->marked();
    });
  }
  bool has(String* type) const {
    return std::any_of(listeners.begin(), listeners.end(),
                       [&](const Listener& l) { return l.type == type; });
  }
  // Keeps `since` to the types listened to, a type that comes back going to the end.
  void noteListening(String* type, uint64_t& stamps) {
    const bool listening = has(type);
    auto it = std::find_if(since.begin(), since.end(), [&](const auto& e) { return e.first == type; });
    if (listening && it == since.end()) since.emplace_back(type, ++stamps);
    if (!listening && it != since.end()) since.erase(it);
  }
};

// Two references to one listener: the same function, or closures of one method on one
// object (each read of `obj.method` makes a new closure).
bool sameFunction(const Value& a, const Value& b) {
  if (!a.isObject() || !b.isObject()) return false;
  if (a.asObject() == b.asObject()) return true;
  auto* fa = dynamic_cast<FunctionObject*>(a.asObject());
  auto* fb = dynamic_cast<FunctionObject*>(b.asObject());
  return fa && fb && fa->bound && fb->bound && fa->method == fb->method &&
         fa->boundThis.isObject() && fb->boundThis.isObject() &&
         fa->boundThis.asObject() == fb->boundThis.asObject();
}

bool isDispatcher(Machine& m, Object* o) {
  EventsState& s = m.packageState<EventsState>();
  return o && s.dispatcherClass && o->klass() && o->klass()->isSubclassOf(s.dispatcherClass) &&
         o->slots().size() > s.storeSlot;
}

// The store of a dispatcher (made when first needed); null for any other object.
ListenerStore* storeOf(Machine& m, Object* o, bool make) {
  if (!isDispatcher(m, o)) return nullptr;
  Value& slot = o->slots()[m.packageState<EventsState>().storeSlot];
  if (slot.isObject())
    if (auto* s = dynamic_cast<ListenerStore*>(slot.asObject())) return s;
  if (!make) return nullptr;
  auto* s = m.heap.make<ListenerStore>();
  slot = Value(static_cast<Object*>(s));
  return s;
}

Object* dispatcherOf(Machine& m, const Value& self, const char* method) {
  Object* o = self.isObject() ? self.asObject() : nullptr;
  if (!isDispatcher(m, o)) m.fail(ErrorClass::TypeError, 1004, {method});
  return o;
}

String* typeArg(Machine& m, std::span<Value> args) {
  return m.intern(m.toString(arg(args, 0)).view());
}

Value functionArg(Machine& m, std::span<Value> args, size_t i) {
  Value f = arg(args, i);
  if (f.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"listener"});
  if (!f.isObject() || !dynamic_cast<FunctionObject*>(f.asObject()))
    m.fail(ErrorClass::TypeError, 1034, {m.className(f), "Function"});
  return f;
}

std::vector<Object*> ancestorsOf(Machine& m, Object* o) {
  std::vector<Object*> path;
  EventParentOf parentOf = m.packageState<EventsState>().parentOf;
  if (!parentOf) return path;
  for (Object* p = parentOf(m, o); p && path.size() < kMaxAncestors; p = parentOf(m, p))
    path.push_back(p);
  return path;
}

Value dispatcherInit(Machine& m, const Value& self, std::span<Value> args) {
  Object* o = dispatcherOf(m, self, "EventDispatcher");
  Value target = arg(args, 0);
  if (target.isObject()) storeOf(m, o, true)->target = target;
  return Value();
}

Value addListener(Machine& m, const Value& self, std::span<Value> args) {
  Object* o = dispatcherOf(m, self, "addEventListener");
  String* type = typeArg(m, args);
  Value fn = functionArg(m, args, 1);
  bool capture = toBoolean(arg(args, 2));
  int32_t priority = args.size() > 3 ? m.toInt(args[3]) : 0;
  bool weak = toBoolean(arg(args, 4));
  ListenerStore* s = storeOf(m, o, true);
  for (const Listener& l : s->listeners)
    if (l.type == type && l.capture == capture && sameFunction(l.function, fn)) return Value();
  // Higher priorities first; among equals, the order they were added.
  auto at = std::find_if(s->listeners.begin(), s->listeners.end(),
                         [&](const Listener& l) { return l.priority < priority; });
  // A method closure is the only reference to itself: held weakly it would go at once.
  auto* f = static_cast<FunctionObject*>(fn.asObject());
  if (f->bound) weak = false;
  s->listeners.insert(at, {type, fn, priority, capture, weak});
  s->noteListening(type, m.packageState<EventsState>().listeningStamps);
  if (weak && !s->watched) {
    s->watched = true;
    m.heap.watchWeak(s);
  }
  return Value();
}

Value removeListener(Machine& m, const Value& self, std::span<Value> args) {
  Object* o = dispatcherOf(m, self, "removeEventListener");
  String* type = typeArg(m, args);
  Value fn = functionArg(m, args, 1);
  bool capture = toBoolean(arg(args, 2));
  if (ListenerStore* s = storeOf(m, o, false))
  {
    std::erase_if(s->listeners, [&](const Listener& l) {
      return l.type == type && l.capture == capture && sameFunction(l.function, fn);
    });
    s->noteListening(type, m.packageState<EventsState>().listeningStamps);
  }
  return Value();
}

Value hasListener(Machine& m, const Value& self, std::span<Value> args) {
  Object* o = dispatcherOf(m, self, "hasEventListener");
  ListenerStore* s = storeOf(m, o, false);
  return Value(s && s->has(typeArg(m, args)));
}

Value willTrigger(Machine& m, const Value& self, std::span<Value> args) {
  Object* o = dispatcherOf(m, self, "willTrigger");
  String* type = typeArg(m, args);
  if (ListenerStore* s = storeOf(m, o, false); s && s->has(type)) return Value(true);
  for (Object* a : ancestorsOf(m, o))
    if (ListenerStore* s = storeOf(m, a, false); s && s->has(type)) return Value(true);
  return Value(false);
}

Value dispatchFromScript(Machine& m, const Value& self, std::span<Value> args) {
  Object* o = dispatcherOf(m, self, "dispatchEvent");
  Value ev = arg(args, 0);
  if (ev.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"event"});
  auto* e = ev.isObject() ? dynamic_cast<EventObject*>(ev.asObject()) : nullptr;
  if (!e) m.fail(ErrorClass::TypeError, 1034, {m.className(ev), "flash.events.Event"});
  // An event already dispatched goes out again as a copy.
  if (!m.get(ev, "target").isNullish()) {
    Value copy = m.callProperty(ev, m.publicName("clone"), {});
    e = copy.isObject() ? dynamic_cast<EventObject*>(copy.asObject()) : nullptr;
    if (!e) m.fail(ErrorClass::TypeError, 1034, {m.className(copy), "flash.events.Event"});
  }
  std::vector<Object*> path = ancestorsOf(m, o);
  return Value(dispatchEvent(m, o, e, path));
}

// Calls the listeners `node` has for the event's type in this phase.
void callListeners(Machine& m, Object* node, EventObject* e, String* type, bool capture) {
  ListenerStore* s = storeOf(m, node, false);
  if (!s || !s->has(type)) return;
  e->currentTarget = Value(node);
  // Listeners added or removed meanwhile change the next dispatch, not this one.
  std::vector<Value> calls;
  for (const Listener& l : s->listeners)
    if (l.type == type && l.capture == capture) calls.push_back(l.function);
  for (Value& fn : calls) {
    if (e->stoppedImmediately) return;
    Value argv[1] = {Value(static_cast<Object*>(e))};
    try {
      m.call(fn, callbackReceiver(fn), argv);
    } catch (ScriptThrow& t) {
      if (m.timedOut) throw;
      std::string text;
      try {
        text = m.toText(t.value);
      } catch (ScriptThrow&) {
        if (m.timedOut) throw;
        text = "Error";
      }
      if (m.host) m.host->uncaughtError(text);
    }
  }
}

bool listensAnywhere(Machine& m, Object* target, String* type, std::span<Object* const> path) {
  if (ListenerStore* s = storeOf(m, target, false); s && s->has(type)) return true;
  for (Object* a : path)
    if (ListenerStore* s = storeOf(m, a, false); s && s->has(type)) return true;
  return false;
}

const NativeMember kDispatcherMembers[] = {
    {"addEventListener", MemberKind::Method, addListener, 5},
    {"removeEventListener", MemberKind::Method, removeListener, 3},
    {"hasEventListener", MemberKind::Method, hasListener, 1},
    {"willTrigger", MemberKind::Method, willTrigger, 1},
    {"dispatchEvent", MemberKind::Method, dispatchFromScript, 1},
};

}  // namespace

bool dispatchEvent(Machine& m, Object* target, EventObject* e, std::span<Object* const> path) {
  String* type = e->type.isString() ? m.intern(e->type.asString()->view()) : m.intern("null");
  if (!listensAnywhere(m, target, type, path)) return !e->defaultPrevented;
  ListenerStore* own = storeOf(m, target, false);
  e->target = own && own->target.isObject() ? own->target : Value(target);
  e->stopped = e->stoppedImmediately = false;
  if (!path.empty()) e->phase = 1;
  for (size_t i = path.size(); i-- > 0 && !e->stopped;) callListeners(m, path[i], e, type, true);
  if (!e->stopped) {
    e->phase = 2;
    callListeners(m, target, e, type, false);
  }
  if (e->bubbles && !path.empty() && !e->stopped) {
    e->phase = 3;
    for (size_t i = 0; i < path.size() && !e->stopped; ++i)
      callListeners(m, path[i], e, type, false);
  }
  e->currentTarget = Value::null();
  return !e->defaultPrevented;
}

bool hasEventListener(Machine& m, Object* target, std::string_view type) {
  ListenerStore* s = storeOf(m, target, false);
  return s && s->has(m.intern(type));
}

uint64_t listeningSince(Machine& m, Object* target, std::string_view type) {
  ListenerStore* s = storeOf(m, target, false);
  if (!s) return 0;
  String* t = m.intern(type);
  if (!s->has(t)) return 0;  // weak listeners collected since
  for (const auto& [listened, stamp] : s->since)
    if (listened == t) return stamp;
  return 0;
}

void setEventParentOf(Machine& m, EventParentOf parentOf) {
  m.packageState<EventsState>().parentOf = parentOf;
}

void setEventLocalToStage(Machine& m, EventLocalToStage localToStage) {
  m.packageState<EventsState>().localToStage = localToStage;
}

void installEventDispatcher(Machine& m) {
  EventsState& state = m.packageState<EventsState>();
  ClassObject* iface = installClass(m, {.package = "flash.events", .name = "IEventDispatcher", .members = {}});
  iface->isInterface = true;
  ClassObject* cls = installClass(m, {.package = "flash.events",
                                      .name = "EventDispatcher",
                                      .members = kDispatcherMembers,
                                      .init = dispatcherInit,
                                      .dynamic = false,
                                      .initLength = 1});
  cls->interfaces.push_back(iface);
  state.dispatcherClass = cls;
  SlotInfo store;
  store.name = m.intern("listeners");
  store.initial = Value::null();
  state.storeSlot = cls->instanceTraits->addSlot(std::move(store), 0);
  // A call through IEventDispatcher names the method in the interface's namespace.
  const Namespace* ns = m.namespaces.get(NamespaceKind::User, m.intern("flash.events:IEventDispatcher"));
  for (const NativeMember& row : kDispatcherMembers) {
    Method* method = m.nativeMethod(row.code, row.length, row.name);
    for (Traits* t : {iface->instanceTraits.get(), cls->instanceTraits.get()})
      t->bind(m.intern(row.name), ns, {BindKind::Method, t->addMethod({method, cls})});
  }
}

}  // namespace orv::movie::avm2
