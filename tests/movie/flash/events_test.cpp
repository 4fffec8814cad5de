// flash.events through the machine: the flow of an event along a path of containers
// (capture, target, bubble), priorities, stopping, cancelling, redispatch, listeners'
// errors, weak listeners, and the classes' printing and misuse.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "movie/avm2/machine.h"
#include "movie/flash/events.h"

namespace orv::movie::avm2 {
namespace {

struct Events : Host {
  std::vector<std::string> lines;
  std::vector<std::string> errors;
  Machine m{this};
  void trace(std::string_view line) override { lines.emplace_back(line); }
  void uncaughtError(std::string_view text) override { errors.emplace_back(text); }

  Value cls(const char* name) { return Value(static_cast<Object*>(m.findClass(name))); }
  Value make(const char* name, std::vector<Value> args = {}) {
    return m.construct(cls(name), args);
  }
  Value dispatcher() { return make("flash.events.EventDispatcher"); }
  Value str(const char* s) { return Value(StringRef(s)); }
  Value fn(NativeCode code) {
    return Value(static_cast<Object*>(m.newFunction(m.nativeMethod(code, 1, "f"), nullptr, nullptr)));
  }
  std::string call(const Value& self, const char* method, std::vector<Value> args = {}) {
    try {
      return m.toText(m.callProperty(self, m.publicName(method), args));
    } catch (ScriptThrow& t) {
      return m.toText(t.value);
    }
  }
  void listen(const Value& d, const char* type, const Value& f, bool capture = false,
              int priority = 0, bool weak = false) {
    call(d, "addEventListener", {str(type), f, Value(capture), Value(priority), Value(weak)});
  }
};

// Listeners that trace who they are and where the event is.
std::map<Object*, std::string> gNames;
std::string where(Machine& m, std::span<Value> args) {
  Value e = args[0];
  Object* at = m.get(e, "currentTarget").asObject();
  return gNames[at] + ":" + m.toText(m.get(e, "eventPhase"));
}
Value traceA(Machine& m, const Value&, std::span<Value> args) {
  m.traceLine("a " + where(m, args));
  return Value();
}
Value traceB(Machine& m, const Value&, std::span<Value> args) {
  m.traceLine("b " + where(m, args));
  return Value();
}
Value stopHere(Machine& m, const Value&, std::span<Value> args) {
  m.traceLine("stop " + where(m, args));
  m.callProperty(args[0], m.publicName("stopPropagation"), {});
  return Value();
}
Value stopNow(Machine& m, const Value&, std::span<Value> args) {
  m.traceLine("now " + where(m, args));
  m.callProperty(args[0], m.publicName("stopImmediatePropagation"), {});
  return Value();
}
Value cancel(Machine& m, const Value&, std::span<Value> args) {
  m.callProperty(args[0], m.publicName("preventDefault"), {});
  return Value();
}
Value fails(Machine& m, const Value&, std::span<Value>) {
  m.fail(ErrorClass::ArgumentError, 2007, {"x"});
}

TEST(FlashEvents, EventsFlowDownToTheTargetAndBubbleBackUp) {
  Events t;
  Value root = t.dispatcher(), mid = t.dispatcher(), leaf = t.dispatcher();
  gNames = {{root.asObject(), "root"}, {mid.asObject(), "mid"}, {leaf.asObject(), "leaf"}};
  for (const Value& d : {root, mid, leaf}) {
    t.listen(d, "go", t.fn(traceA), true);
    t.listen(d, "go", t.fn(traceA));
  }
  t.listen(mid, "go", t.fn(traceB), false, 5);  // a higher priority runs first
  Object* path[] = {mid.asObject(), root.asObject()};
  EventObject* e = makeEvent(t.m, "go", true);
  EXPECT_TRUE(dispatchEvent(t.m, leaf.asObject(), e, path));
  EXPECT_EQ(t.lines, (std::vector<std::string>{"a root:1", "a mid:1", "a leaf:2", "b mid:3",
                                               "a mid:3", "a root:3"}));
  EXPECT_EQ(e->target.asObject(), leaf.asObject());
  // Without bubbles the flow ends at the target.
  t.lines.clear();
  dispatchEvent(t.m, leaf.asObject(), makeEvent(t.m, "go"), path);
  EXPECT_EQ(t.lines, (std::vector<std::string>{"a root:1", "a mid:1", "a leaf:2"}));
}

TEST(FlashEvents, StoppingEndsTheFlowAfterTheNodeOrAtOnce) {
  Events t;
  Value root = t.dispatcher(), leaf = t.dispatcher();
  gNames = {{root.asObject(), "root"}, {leaf.asObject(), "leaf"}};
  Object* path[] = {root.asObject()};
  t.listen(leaf, "s", t.fn(stopHere));
  t.listen(leaf, "s", t.fn(traceA));
  t.listen(root, "s", t.fn(traceA));
  dispatchEvent(t.m, leaf.asObject(), makeEvent(t.m, "s", true), path);
  EXPECT_EQ(t.lines, (std::vector<std::string>{"stop leaf:2", "a leaf:2"}));
  t.lines.clear();
  t.listen(root, "i", t.fn(stopNow), true);
  t.listen(root, "i", t.fn(traceB), true);
  t.listen(leaf, "i", t.fn(traceA));
  dispatchEvent(t.m, leaf.asObject(), makeEvent(t.m, "i", true), path);
  EXPECT_EQ(t.lines, (std::vector<std::string>{"now root:1"}));
  // Cancelling only counts for a cancelable event.
  t.listen(leaf, "c", t.fn(cancel));
  EXPECT_TRUE(dispatchEvent(t.m, leaf.asObject(), makeEvent(t.m, "c")));
  EventObject* c = makeEvent(t.m, "c", false, true);
  EXPECT_FALSE(dispatchEvent(t.m, leaf.asObject(), c));
  EXPECT_EQ(t.call(Value(static_cast<Object*>(c)), "isDefaultPrevented"), "true");
}

TEST(FlashEvents, ListenersAreKeptOnceAndRemovedByTypePhaseAndFunction) {
  Events t;
  Value d = t.dispatcher();
  gNames = {{d.asObject(), "d"}};
  Value a = t.fn(traceA);
  t.listen(d, "x", a);
  t.listen(d, "x", a, false, 9);  // the same listener again: ignored
  EXPECT_EQ(t.call(d, "hasEventListener", {t.str("x")}), "true");
  EXPECT_EQ(t.call(d, "willTrigger", {t.str("y")}), "false");
  EXPECT_EQ(t.call(d, "dispatchEvent", {t.make("flash.events.Event", {t.str("x")})}), "true");
  EXPECT_EQ(t.lines.size(), 1u);
  t.call(d, "removeEventListener", {t.str("x"), a, Value(true)});  // another phase
  EXPECT_EQ(t.call(d, "hasEventListener", {t.str("x")}), "true");
  t.call(d, "removeEventListener", {t.str("x"), a});
  EXPECT_EQ(t.call(d, "hasEventListener", {t.str("x")}), "false");
  EXPECT_EQ(t.call(d, "addEventListener", {t.str("x"), Value::null()}),
            "TypeError: Error #2007: Parameter listener must be non-null.");
  EXPECT_EQ(t.call(d, "dispatchEvent", {Value::null()}),
            "TypeError: Error #2007: Parameter event must be non-null.");
  EXPECT_EQ(t.call(d, "dispatchEvent", {t.str("x")}).substr(0, 22), "TypeError: Error #1034");
}

TEST(FlashEvents, ADispatchedEventGoesAgainAsACopyAndAnUnheardOneStaysUntouched) {
  Events t;
  Value quiet = t.dispatcher(), heard = t.dispatcher();
  gNames = {{heard.asObject(), "heard"}};
  t.listen(heard, "r", t.fn(traceA));
  Value e = t.make("flash.events.Event", {t.str("r"), Value(true), Value(true)});
  t.call(quiet, "dispatchEvent", {e});
  EXPECT_TRUE(t.m.get(e, "target").isNull());
  t.call(heard, "dispatchEvent", {e});
  EXPECT_EQ(t.m.get(e, "target").asObject(), heard.asObject());
  EXPECT_EQ(t.m.toText(e), "[Event type=\"r\" bubbles=true cancelable=true eventPhase=2]");
  t.call(heard, "dispatchEvent", {e});  // a copy is sent: the original keeps its state
  EXPECT_EQ(t.lines.size(), 2u);
  EXPECT_EQ(t.call(e, "formatToString", {t.str("E"), t.str("type"), t.str("bubbles")}),
            "[E type=\"r\" bubbles=true]");
  // A dispatcher made for another target names that target in its events.
  Value proxy = t.make("flash.events.EventDispatcher", {heard});
  t.listen(proxy, "p", t.fn(traceB));
  Value p = t.make("flash.events.Event", {t.str("p")});
  t.call(proxy, "dispatchEvent", {p});
  EXPECT_EQ(t.m.get(p, "target").asObject(), heard.asObject());
}

TEST(FlashEvents, AListenersErrorIsReportedAndTheRestStillRun) {
  Events t;
  Value d = t.dispatcher();
  gNames = {{d.asObject(), "d"}};
  t.listen(d, "e", t.fn(fails), false, 1);
  t.listen(d, "e", t.fn(traceA));
  t.call(d, "dispatchEvent", {t.make("flash.events.Event", {t.str("e")})});
  EXPECT_EQ(t.errors, (std::vector<std::string>{
                          "ArgumentError: Error #2007: Parameter x must be non-null."}));
  EXPECT_EQ(t.lines, (std::vector<std::string>{"a d:2"}));
}

TEST(FlashEvents, AWeakListenerGoesWithItsLastReference) {
  Events t;
  std::vector<Value> held{t.dispatcher()};
  t.m.frameRoots.push_back(&held);
  t.listen(held[0], "w", t.fn(traceA), false, 0, true);
  t.listen(held[0], "s", t.fn(traceA));
  t.m.collect();
  EXPECT_EQ(t.call(held[0], "hasEventListener", {t.str("w")}), "false");
  EXPECT_EQ(t.call(held[0], "hasEventListener", {t.str("s")}), "true");
  t.m.frameRoots.clear();
}

}  // namespace
}  // namespace orv::movie::avm2

namespace orv::movie::avm2 {
namespace {

TEST(FlashEventTypes, SubclassesTakeTheirFieldsPrintThemAndCloneThem) {
  Events t;
  Value plain = t.make("flash.events.MouseEvent", {t.str("FakeEvent")});
  EXPECT_EQ(t.m.toText(plain),
            "[MouseEvent type=\"FakeEvent\" bubbles=true cancelable=false eventPhase=2 localX=NaN "
            "localY=NaN stageX=NaN stageY=NaN relatedObject=null ctrlKey=false altKey=false "
            "shiftKey=false buttonDown=false delta=0]");
  Value click = t.make("flash.events.MouseEvent",
                       {t.str("click"), Value(false), Value(true), Value(50), Value(50), Value::null(),
                        Value(false), Value(false), Value(true), Value(true), Value(12)});
  Value copy = t.m.callProperty(click, t.m.publicName("clone"), {});
  EXPECT_NE(copy.asObject(), click.asObject());
  EXPECT_EQ(t.m.toText(copy),
            "[MouseEvent type=\"click\" bubbles=false cancelable=true eventPhase=2 localX=50 "
            "localY=50 stageX=0 stageY=0 relatedObject=null ctrlKey=false altKey=false "
            "shiftKey=true buttonDown=true delta=12]");
  t.m.set(copy, "delta", t.str("7.9"));  // kept as the field's type
  EXPECT_EQ(t.m.toText(t.m.get(copy, "delta")), "7");

  Value key = t.make("flash.events.KeyboardEvent", {t.str("keyDown"), Value(true), Value(false),
                                                    Value(97), Value(65)});
  EXPECT_EQ(t.m.toText(key),
            "[KeyboardEvent type=\"keyDown\" bubbles=true cancelable=false eventPhase=2 charCode=97 "
            "keyCode=65 keyLocation=0 ctrlKey=false altKey=false shiftKey=false]");
  Value io = t.make("flash.events.IOErrorEvent", {t.str("ioError"), Value(false), Value(false),
                                                  t.str("Error #2035"), Value(2035)});
  EXPECT_EQ(t.m.toText(io), "[IOErrorEvent type=\"ioError\" bubbles=false cancelable=false "
                            "eventPhase=2 text=\"Error #2035\"]");
  EXPECT_EQ(t.m.toText(t.m.get(io, "errorID")), "2035");
  EXPECT_TRUE(t.m.isInstance(io, t.m.findClass("flash.events.TextEvent")));
  EXPECT_EQ(t.m.toText(t.m.get(t.cls("flash.events.TimerEvent"), "TIMER_COMPLETE")), "timerComplete");
  EXPECT_EQ(t.m.toText(t.make("flash.events.FocusEvent", {t.str("focusIn")})),
            "[FocusEvent type=\"focusIn\" bubbles=true cancelable=false eventPhase=2 "
            "relatedObject=null shiftKey=false keyCode=0]");
  // C++ callers make them by class name too.
  EventObject* p = makeEvent(t.m, "progress", false, false, "flash.events.ProgressEvent");
  EXPECT_EQ(t.m.toText(Value(static_cast<Object*>(p))),
            "[ProgressEvent type=\"progress\" bubbles=false cancelable=false eventPhase=2 "
            "bytesLoaded=0 bytesTotal=0]");
}

}  // namespace
}  // namespace orv::movie::avm2

namespace orv::movie::avm2 {
namespace {

Value countCalls(Machine& m, const Value&, std::span<Value>) {
  m.traceLine("heard");
  return Value();
}

TEST(FlashEvents, DisplayClassesAreDispatchersReachedThroughTheInterface) {
  Events t;
  Value clip = t.make("flash.display.MovieClip");
  EXPECT_TRUE(t.m.isInstance(clip, t.m.findClass("flash.events.IEventDispatcher")));
  t.listen(clip, "ping", t.fn(countCalls));
  Name n;
  n.name = t.m.intern("dispatchEvent");
  n.ns = t.m.namespaces.get(NamespaceKind::User, t.m.intern("flash.events:IEventDispatcher"));
  std::vector<Value> args = {t.make("flash.events.Event", {t.str("ping")})};
  EXPECT_EQ(t.m.toText(t.m.callProperty(clip, n, args)), "true");
  EXPECT_EQ(t.lines, std::vector<std::string>{"heard"});
  EXPECT_TRUE(hasEventListener(t.m, clip.asObject(), "ping"));
  // An object that is no dispatcher has no listeners and takes none.
  Value plain = t.make("flash.events.Event", {t.str("x")});
  EXPECT_FALSE(hasEventListener(t.m, plain.asObject(), "x"));
  Value add = t.m.get(clip, "addEventListener");
  std::vector<Value> listen = {t.str("x"), t.fn(countCalls)};
  EXPECT_THROW(t.m.call(add, plain, listen), ScriptThrow);
}

}  // namespace
}  // namespace orv::movie::avm2

namespace orv::movie::avm2 {
namespace {

// A parent hook as the display list gives one; here every dispatcher is its own parent's
// parent, a cycle a hostile movie could not make but a broken hook might.
Object* gParent = nullptr;
Object* cyclicParent(Machine&, Object* o) { return o == gParent ? o : gParent; }

TEST(FlashEvents, ScriptDispatchFollowsTheParentHookAndSurvivesACycle) {
  Events t;
  Value root = t.dispatcher(), leaf = t.dispatcher();
  gNames = {{root.asObject(), "root"}, {leaf.asObject(), "leaf"}};
  gParent = root.asObject();
  setEventParentOf(t.m, cyclicParent);
  t.listen(root, "b", t.fn(traceA));
  EXPECT_EQ(t.call(leaf, "willTrigger", {t.str("b")}), "true");
  EXPECT_EQ(t.call(leaf, "hasEventListener", {t.str("b")}), "false");
  t.call(leaf, "dispatchEvent", {t.make("flash.events.Event", {t.str("b"), Value(true)})});
  // The walk up stops at its bound: the root is heard once a step, never forever.
  ASSERT_FALSE(t.lines.empty());
  EXPECT_EQ(t.lines.front(), "a root:3");
  EXPECT_LE(t.lines.size(), 10000u);
  setEventParentOf(t.m, nullptr);
}

struct PointerHost : Events {
  bool hidden = false;
  void setPointerHidden(bool h) override { hidden = h; }
};

TEST(FlashUi, MouseHidesThroughTheHostAndKeyboardNamesItsKeys) {
  PointerHost t;
  Value mouse = t.cls("flash.ui.Mouse");
  t.call(mouse, "hide");
  EXPECT_TRUE(t.hidden);
  t.call(mouse, "show");
  EXPECT_FALSE(t.hidden);
  Value keys = t.cls("flash.ui.Keyboard");
  EXPECT_EQ(t.m.toText(t.m.get(keys, "A")), "65");
  EXPECT_EQ(t.m.toText(t.m.get(keys, "NUMPAD_7")), "103");
  EXPECT_EQ(t.m.toText(t.m.get(keys, "F12")), "123");
  EXPECT_EQ(t.m.toText(t.m.get(keys, "capsLock")), "false");
}

}  // namespace
}  // namespace orv::movie::avm2
