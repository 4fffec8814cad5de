// flash.utils.Timer, setTimeout, setInterval, their clearing, and getTimer: on the
// player's clock (the host's), run by runDueTimers as the player ticks.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/events.h"
#include "movie/flash/events_state.h"
#include "movie/flash/packages.h"
#include "movie/flash/timers.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxPending = 10000;  // timeouts and intervals waiting at once
constexpr int kMaxFiringsPerTick = 1000;
constexpr double kMinDelay = 1;  // what a zero delay repeats at

class TimerObject : public Object {
 public:
  using Object::Object;
  double delay = 0;
  int32_t repeatCount = 0;
  int32_t currentCount = 0;
  bool running = false;
  double due = 0;
  uint64_t order = 0;  // among timers due at once, the one started first fires first
};

struct Pending {
  uint32_t id;
  double due;
  double delay;
  bool repeat;
  uint64_t order;
  Value function;
  std::vector<Value> args;
};

struct TimersState : PackageState {
  std::vector<TimerObject*> running;
  std::vector<Pending> pending;
  uint32_t lastId = 0;
  uint64_t order = 0;

  void markRoots(Marker& m) const override {
    for (TimerObject* t : running) m.mark(static_cast<Object*>(t));
    for (const Pending& p : pending) {
      m.mark(p.function);
      for (const Value& v : p.args) m.mark(v);
    }
  }
};

double now(Machine& m) { return m.host ? m.host->clockMs() : 0; }

TimerObject* self_(Machine& m, const Value& self) {
  return receiver<TimerObject>(m, self, "Timer");
}

Object* allocTimer(Machine& m, ClassObject* cls) {
  return m.heap.make<TimerObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

double delayArg(Machine& m, const Value& v) {
  double d = m.toNumber(v);
  if (!(d >= 0) || !std::isfinite(d)) m.fail(ErrorClass::RangeError, 2066);
  return d;
}

void schedule(Machine& m, TimerObject* t) {
  TimersState& s = m.packageState<TimersState>();
  t->due = now(m) + std::max(t->delay, kMinDelay);
  t->order = ++s.order;
  if (std::find(s.running.begin(), s.running.end(), t) == s.running.end()) s.running.push_back(t);
}

void halt(Machine& m, TimerObject* t) {
  t->running = false;
  std::erase(m.packageState<TimersState>().running, t);
}

Value init(Machine& m, const Value& self, std::span<Value> args) {
  TimerObject* t = self_(m, self);
  t->delay = delayArg(m, arg(args, 0));
  t->repeatCount = args.size() > 1 ? m.toInt(args[1]) : 0;
  return Value();
}

Value delay(Machine& m, const Value& self, std::span<Value>) { return Value(self_(m, self)->delay); }
Value setDelay(Machine& m, const Value& self, std::span<Value> args) {
  TimerObject* t = self_(m, self);
  t->delay = delayArg(m, arg(args, 0));
  if (t->running) schedule(m, t);  // the new delay counts from now
  return Value();
}
Value repeatCount(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->repeatCount);
}
Value setRepeatCount(Machine& m, const Value& self, std::span<Value> args) {
  TimerObject* t = self_(m, self);
  t->repeatCount = m.toInt(arg(args, 0));
  if (t->running && t->repeatCount > 0 && t->currentCount >= t->repeatCount) halt(m, t);
  return Value();
}
Value currentCount(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->currentCount);
}
Value running(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->running);
}
Value start(Machine& m, const Value& self, std::span<Value>) {
  TimerObject* t = self_(m, self);
  if (t->running) return Value();
  t->running = true;
  schedule(m, t);
  return Value();
}
Value stop(Machine& m, const Value& self, std::span<Value>) {
  halt(m, self_(m, self));
  return Value();
}
Value reset(Machine& m, const Value& self, std::span<Value>) {
  TimerObject* t = self_(m, self);
  halt(m, t);
  t->currentCount = 0;
  return Value();
}

const NativeMember kTimerMembers[] = {
    {"delay", MemberKind::Getter, delay},
    {"delay", MemberKind::Setter, setDelay},
    {"repeatCount", MemberKind::Getter, repeatCount},
    {"repeatCount", MemberKind::Setter, setRepeatCount},
    {"currentCount", MemberKind::Getter, currentCount},
    {"running", MemberKind::Getter, running},
    {"start", MemberKind::Method, start},
    {"stop", MemberKind::Method, stop},
    {"reset", MemberKind::Method, reset},
};

Value later(Machine& m, std::span<Value> args, bool repeat) {
  Value fn = arg(args, 0);
  if (!fn.isObject() || !dynamic_cast<FunctionObject*>(fn.asObject()))
    m.fail(ErrorClass::TypeError, 1034, {m.className(fn), "Function"});
  double d = m.toNumber(arg(args, 1));
  if (!(d >= 0) || !std::isfinite(d)) d = 0;
  TimersState& s = m.packageState<TimersState>();
  if (s.pending.size() >= kMaxPending) m.fail(ErrorClass::Error, 1000);
  std::vector<Value> rest(args.size() > 2 ? args.begin() + 2 : args.end(), args.end());
  s.pending.push_back({++s.lastId, now(m) + d, d, repeat, ++s.order, fn, std::move(rest)});
  return Value(s.lastId);
}

Value setTimeout(Machine& m, const Value&, std::span<Value> args) { return later(m, args, false); }
Value setInterval(Machine& m, const Value&, std::span<Value> args) { return later(m, args, true); }
Value clearPending(Machine& m, const Value&, std::span<Value> args) {
  uint32_t id = m.toUint(arg(args, 0));
  std::erase_if(m.packageState<TimersState>().pending,
                [&](const Pending& p) { return p.id == id; });
  return Value();
}
Value getTimer(Machine& m, const Value&, std::span<Value>) {
  return Value(int32_t(std::floor(now(m))));
}

const NativeMember kTimerFunctions[] = {
    {"setTimeout", MemberKind::Method, setTimeout, 2},
    {"setInterval", MemberKind::Method, setInterval, 2},
    {"clearTimeout", MemberKind::Method, clearPending, 1},
    {"clearInterval", MemberKind::Method, clearPending, 1},
    {"getTimer", MemberKind::Method, getTimer},
};

// An error a callback throws is the player's to report; the other timers still run.
void guarded(Machine& m, const std::function<void()>& work) {
  try {
    work();
  } catch (ScriptThrow& t) {
    if (m.timedOut) throw;
    std::string text = "Error";
    try {
      text = m.toText(t.value);
    } catch (ScriptThrow&) {
      if (m.timedOut) throw;
    }
    if (m.host) m.host->uncaughtError(text);
  }
}

void fireTimer(Machine& m, TimerObject* t) {
  ++t->currentCount;
  schedule(m, t);
  dispatchEvent(m, t, makeEvent(m, "timer", false, false, "flash.events.TimerEvent"));
  if (t->running && t->repeatCount > 0 && t->currentCount >= t->repeatCount) {
    halt(m, t);
    dispatchEvent(m, t, makeEvent(m, "timerComplete", false, false, "flash.events.TimerEvent"));
  }
}

}  // namespace

void runDueTimers(Machine& m, double until, const std::function<void(double)>& moveClock) {
  TimersState& s = m.packageState<TimersState>();
  // Each fires at its own time, the clock moved there, so what a callback starts counts
  // from then; the earliest first, and among equals the one started first.
  for (int fired = 0; fired < kMaxFiringsPerTick; ++fired) {
    TimerObject* timer = nullptr;
    Pending* pending = nullptr;
    double due = until;
    uint64_t order = UINT64_MAX;
    auto earlier = [&](double d, uint64_t o) { return d < due || (d == due && o < order); };
    for (TimerObject* t : s.running)
      if (earlier(t->due, t->order)) timer = t, due = t->due, order = t->order;
    for (Pending& p : s.pending)
      if (earlier(p.due, p.order)) timer = nullptr, pending = &p, due = p.due, order = p.order;
    if (!timer && !pending) break;
    if (due > now(m)) moveClock(due);
    if (timer) {
      guarded(m, [&] { fireTimer(m, timer); });
      continue;
    }
    Value fn = pending->function;
    std::vector<Value> args = pending->args;
    if (pending->repeat) {
      pending->due = now(m) + std::max(pending->delay, kMinDelay);
      pending->order = ++s.order;
    } else {
      s.pending.erase(s.pending.begin() + (pending - s.pending.data()));
    }
    guarded(m, [&] { m.call(fn, callbackReceiver(fn), args); });
  }
  if (until > now(m)) moveClock(until);
}

void installTimerClasses(Machine& m) {
  installClass(m, {.package = "flash.utils",
                   .name = "Timer",
                   .base = "flash.events.EventDispatcher",
                   .members = kTimerMembers,
                   .init = init,
                   .alloc = allocTimer,
                   .dynamic = false,
                   .initLength = 2});
  installGlobals(m, "flash.utils", kTimerFunctions);
}

}  // namespace orv::movie::avm2
