// flash.utils' timers on a clock the test moves, and flash.geom's arithmetic and printing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/avm2/machine.h"
#include "movie/flash/timers.h"

namespace orv::movie::avm2 {
namespace {

struct Clocked : Host {
  std::vector<std::string> lines;
  std::vector<std::string> errors;
  double now = 0;
  Machine m{this};
  void trace(std::string_view line) override { lines.emplace_back(line); }
  void uncaughtError(std::string_view text) override { errors.emplace_back(text); }
  double clockMs() override { return now; }

  Value cls(const char* name) { return Value(static_cast<Object*>(m.findClass(name))); }
  Value make(const char* name, std::vector<Value> args = {}) { return m.construct(cls(name), args); }
  Value str(const char* s) { return Value(StringRef(s)); }
  Value fn(NativeCode code) {
    return Value(static_cast<Object*>(m.newFunction(m.nativeMethod(code, 1, "f"), nullptr, nullptr)));
  }
  Value utils(const char* name) {
    Name n;
    n.name = m.intern(name);
    n.ns = m.namespaces.get(NamespaceKind::Public, m.intern("flash.utils"));
    return m.getProperty(Value(m.findDefinition(n)), n);
  }
  std::string call(const Value& self, const char* method, std::vector<Value> args = {}) {
    try {
      return m.toText(m.callProperty(self, m.publicName(method), args));
    } catch (ScriptThrow& t) {
      return m.toText(t.value);
    }
  }
  void runTo(double ms) {
    runDueTimers(m, ms, [&](double t) { now = t; });
  }
};

Value traceEvent(Machine& m, const Value&, std::span<Value> args) {
  Value timer = m.get(args[0], "target");
  m.traceLine(m.toText(m.get(args[0], "type")) + " " + m.toText(m.get(timer, "currentCount")) +
              " " + m.toText(m.get(timer, "running")));
  return Value();
}
Value traceArgs(Machine& m, const Value&, std::span<Value> args) {
  std::string line = "called";
  for (const Value& a : args) line += " " + m.toText(a);
  m.traceLine(line);
  return Value();
}
Value throws(Machine& m, const Value&, std::span<Value>) { m.fail(ErrorClass::Error, 1009); }

TEST(FlashTimers, ATimerTicksItsRepeatCountThenCompletes) {
  Clocked t;
  Value timer = t.make("flash.utils.Timer", {Value(100), Value(2)});
  for (const char* type : {"timer", "timerComplete"})
    t.call(timer, "addEventListener", {t.str(type), t.fn(traceEvent)});
  t.call(timer, "start");
  t.runTo(90);
  EXPECT_TRUE(t.lines.empty());
  t.runTo(300);
  EXPECT_EQ(t.lines, (std::vector<std::string>{"timer 1 true", "timer 2 true",
                                               "timerComplete 2 false"}));
  // Started again past its count, it ticks once and completes again; reset clears it.
  t.lines.clear();
  t.call(timer, "start");
  t.runTo(400);
  EXPECT_EQ(t.lines, (std::vector<std::string>{"timer 3 true", "timerComplete 3 false"}));
  t.call(timer, "reset");
  EXPECT_EQ(t.m.toText(t.m.get(timer, "currentCount")), "0");
}

TEST(FlashTimers, ANewDelayCountsFromNowAndStopHoldsTheTimer) {
  Clocked t;
  Value timer = t.make("flash.utils.Timer", {Value(100)});
  t.call(timer, "addEventListener", {t.str("timer"), t.fn(traceEvent)});
  t.call(timer, "start");
  t.runTo(150);  // fired at 100
  t.m.set(timer, "delay", Value(200));
  t.runTo(340);
  EXPECT_EQ(t.lines.size(), 1u);
  t.runTo(350);  // 150 + 200
  EXPECT_EQ(t.lines.size(), 2u);
  t.call(timer, "stop");
  t.runTo(1000);
  EXPECT_EQ(t.lines.size(), 2u);
  EXPECT_EQ(t.m.toText(t.m.get(timer, "running")), "false");
  try {
    t.make("flash.utils.Timer", {Value(-5)});
    ADD_FAILURE();
  } catch (ScriptThrow& e) {
    EXPECT_EQ(t.m.toText(e.value), "RangeError: Error #2066: The Timer delay specified is out of range.");
  }
}

TEST(FlashTimers, TimeoutsAndIntervalsRunInTheOrderTheyFallDue) {
  Clocked t;
  std::vector<Value> a = {t.fn(traceArgs), Value(30), t.str("late")};
  std::vector<Value> b = {t.fn(traceArgs), Value(20), t.str("every")};
  Value late = t.m.call(t.utils("setTimeout"), Value(), a);
  Value every = t.m.call(t.utils("setInterval"), Value(), b);
  EXPECT_EQ(t.m.toText(late), "1");
  EXPECT_EQ(t.m.toText(every), "2");
  std::vector<Value> bad = {t.fn(throws), Value(0)};
  t.m.call(t.utils("setTimeout"), Value(), bad);
  t.runTo(60);
  EXPECT_EQ(t.lines, (std::vector<std::string>{"called every", "called late", "called every",
                                               "called every"}));
  EXPECT_EQ(t.errors.size(), 1u);  // the failing callback is reported; the others ran
  std::vector<Value> id = {every};
  t.m.call(t.utils("clearInterval"), Value(), id);
  t.runTo(200);
  EXPECT_EQ(t.lines.size(), 4u);
  EXPECT_EQ(t.m.toText(t.m.call(t.utils("getTimer"), Value(), {})), "200");
}

TEST(FlashGeom, PointsAndRectanglesComputeAndPrintAsThePlayerDoes) {
  Clocked t;
  Value p = t.make("flash.geom.Point", {Value(3), Value(4)});
  EXPECT_EQ(t.m.toText(p), "(x=3, y=4)");
  EXPECT_EQ(t.m.toText(t.m.get(p, "length")), "5");
  Value q = t.make("flash.geom.Point", {Value(1), Value(1)});
  EXPECT_EQ(t.call(p, "subtract", {q}), "(x=2, y=3)");
  Value interpolate = t.m.get(t.cls("flash.geom.Point"), "interpolate");
  std::vector<Value> ends = {p, q, Value(0.5)};
  EXPECT_EQ(t.m.toText(t.m.call(interpolate, Value(), ends)), "(x=2, y=2.5)");
  t.call(p, "normalize", {Value(10)});
  EXPECT_EQ(t.m.toText(p), "(x=6, y=8)");
  EXPECT_EQ(t.call(p, "add", {Value::null()}),
            "TypeError: Error #2007: Parameter point must be non-null.");

  Value r = t.make("flash.geom.Rectangle", {Value(0), Value(0), Value(10), Value(10)});
  Value s = t.make("flash.geom.Rectangle", {Value(5), Value(5), Value(10), Value(10)});
  EXPECT_EQ(t.call(r, "intersection", {s}), "(x=5, y=5, w=5, h=5)");
  EXPECT_EQ(t.call(r, "union", {s}), "(x=0, y=0, w=15, h=15)");
  EXPECT_EQ(t.call(r, "contains", {Value(10), Value(5)}), "false");  // the far edge is outside
  t.m.set(r, "left", Value(4));  // moves the edge, keeps the right
  EXPECT_EQ(t.m.toText(r), "(x=4, y=0, w=6, h=10)");
  EXPECT_EQ(t.call(r, "containsRect", {t.make("flash.geom.Rectangle")}), "false");
  EXPECT_EQ(t.m.toText(t.m.get(r, "bottomRight")), "(x=10, y=10)");
}

TEST(FlashGeom, MatricesAndColourTransformsCompose) {
  Clocked t;
  Value m = t.make("flash.geom.Matrix", {Value(2), Value(3), Value(5), Value(7), Value(9), Value(11)});
  t.call(m, "invert");
  EXPECT_EQ(t.m.toText(m), "(a=-7, b=3, c=5, d=-2, tx=8, ty=-5)");
  Value n = t.make("flash.geom.Matrix");
  t.call(n, "scale", {Value(2), Value(3)});
  t.call(n, "translate", {Value(1), Value(1)});
  Value pt = t.make("flash.geom.Point", {Value(1), Value(1)});
  EXPECT_EQ(t.call(n, "transformPoint", {pt}), "(x=3, y=4)");
  EXPECT_EQ(t.call(n, "deltaTransformPoint", {pt}), "(x=2, y=3)");
  Value shift = t.make("flash.geom.Matrix", {Value(1), Value(0), Value(0), Value(1), Value(5), Value(0)});
  t.call(n, "concat", {shift});  // n first, then the shift
  EXPECT_EQ(t.m.toText(n), "(a=2, b=0, c=0, d=3, tx=6, ty=1)");
  Value v = t.make("flash.geom.Vector3D");
  t.call(n, "copyColumnTo", {Value(2), v});
  EXPECT_EQ(t.m.toText(v), "Vector3D(6, 1, 1)");
  // With allFour the player weighs only the other vector's w against the tolerance.
  Value w10 = t.make("flash.geom.Vector3D", {Value(1), Value(2), Value(3), Value(10)});
  Value w20 = t.make("flash.geom.Vector3D", {Value(1), Value(2), Value(3), Value(20)});
  EXPECT_EQ(t.call(w20, "nearEquals", {w10, Value(15), Value(true)}), "true");
  EXPECT_EQ(t.call(w10, "nearEquals", {w20, Value(15), Value(true)}), "false");
  EXPECT_EQ(t.call(w10, "nearEquals", {w20, Value(15)}), "true");

  Value c = t.make("flash.geom.ColorTransform", {Value(0.5), Value(1), Value(1), Value(1), Value(10)});
  Value d = t.make("flash.geom.ColorTransform", {Value(2), Value(1), Value(1), Value(1), Value(4)});
  t.call(c, "concat", {d});
  EXPECT_EQ(t.m.toText(t.m.get(c, "redMultiplier")), "1");
  EXPECT_EQ(t.m.toText(t.m.get(c, "redOffset")), "12");
  t.m.set(c, "color", Value(0x123456));
  EXPECT_EQ(t.m.toText(c),
            "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, "
            "redOffset=18, greenOffset=52, blueOffset=86, alphaOffset=0)");
  EXPECT_EQ(t.m.toText(t.m.get(c, "color")), "1193046");
}

}  // namespace
}  // namespace orv::movie::avm2
