// The action loop through hand-assembled action blocks: stack machine, variables and
// paths, functions, objects, exceptions, and the limits that keep bad movies in check.
#include <gtest/gtest.h>

#include <pthread.h>

#include <random>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::Asm;
using test::FakeHost;
using test::Null;
using test::Reg;
using test::Undef;

constexpr uint8_t kAdd2 = 0x47, kCallFunction = 0x3D, kCallMethod = 0x52, kGetMember = 0x4E,
                  kSetMember = 0x4F, kNewObject = 0x40, kInitObject = 0x43, kInitArray = 0x42,
                  kReturn = 0x3E, kEquals2 = 0x49, kThrow = 0x2A, kDefineLocal = 0x3C,
                  kEnumerate2 = 0x55, kStrictEquals = 0x66, kInstanceOf = 0x54, kExtends = 0x69,
                  kTypeOf = 0x44, kPop = 0x17;

TEST(Interpreter, ArithmeticAndStringConcatenation) {
  FakeHost h;
  EXPECT_EQ(h.run(Asm().push({1, 2}).op(kAdd2).trace()), "3\n");
  EXPECT_EQ(h.run(Asm().push({"a", 2}).op(kAdd2).trace()), "a2\n");
  EXPECT_EQ(h.run(Asm().push({0.1, 0.2}).op(kAdd2).trace()), "0.3\n");
  EXPECT_EQ(h.run(Asm().push({7, 2}).op(0x3F).trace()), "1\n");         // modulo
  EXPECT_EQ(h.run(Asm().push({1, 0}).op(0x0D).trace()), "Infinity\n");  // divide
  EXPECT_EQ(h.run(Asm().push({-1, 28}).op(0x65).trace()), "15\n");      // unsigned shift
  EXPECT_EQ(h.run(Asm().push({6, 3}).op(0x60).trace()), "2\n");         // bit and
}

TEST(Interpreter, Swf4ResultsAreNumbersAndDivisionByZeroIsAnError) {
  FakeHost h(4);
  EXPECT_EQ(h.run(Asm().push({1, 2}).op(0x0F).trace()), "1\n");  // Less gives 1, not true
  EXPECT_EQ(h.run(Asm().push({1, 0}).op(0x0D).trace()), "#ERROR#\n");
  EXPECT_EQ(h.run(Asm().push({"12abc", 1}).op(0x0A).trace()), "13\n");  // leading number
}

TEST(Interpreter, UndefinedConvertsByVersion) {
  FakeHost v6(6), v7(7);
  Asm code = Asm().push({"x", Undef{}}).op(kAdd2).trace();
  EXPECT_EQ(v6.run(code), "x\n");
  EXPECT_EQ(v7.run(code), "xundefined\n");
  EXPECT_EQ(v7.run(Asm().push({Undef{}}).trace()), "undefined\n");
}

TEST(Interpreter, EqualityFollowsThePlayerRules) {
  FakeHost h;
  EXPECT_EQ(h.run(Asm().push({Null{}, Undef{}}).op(kEquals2).trace()), "true\n");
  EXPECT_EQ(h.run(Asm().push({"1", 1}).op(kEquals2).trace()), "true\n");
  EXPECT_EQ(h.run(Asm().push({"1", 1}).op(kStrictEquals).trace()), "false\n");
  EXPECT_EQ(h.run(Asm().push({"a"}).op(0x4A).push({"b"}).op(0x4A).op(kEquals2).trace()),
            "true\n");  // NaN == NaN
  // Numbers compare by their bits first: the global NaN is itself, a NaN the processor makes
  // from 0/0 has other bits and is not strictly equal to it.
  EXPECT_EQ(h.run(Asm().getVar("NaN").getVar("NaN").op(kStrictEquals).trace()), "true\n");
  EXPECT_EQ(h.run(Asm().push({0, 0}).op(0x0D).getVar("NaN").op(kStrictEquals).trace()), "false\n");
}

TEST(Interpreter, VariablesAndTargetPaths) {
  FakeHost h;
  h.root.add("mc", 1);
  EXPECT_EQ(h.run(Asm().setVar("a", 5).traceVar("a")), "5\n");
  EXPECT_EQ(h.run(Asm().setVar("mc.v", "inner").traceVar("/mc:v").traceVar("_root.mc.v")),
            "inner\ninner\n");
  EXPECT_EQ(h.run(Asm().push({"mc"}).op(0x1C).op(0x45).trace()), "_level0.mc\n");  // TargetPath
  EXPECT_EQ(h.run(Asm().push({"mc", 11}).op(0x22).trace()), "/mc\n");              // _target
  // A function called by a path runs with the clip it was found on as `this`; a slash
  // path ending in a method names no clip, so nothing is called.
  EXPECT_EQ(h.run(Asm()
                      .push({"mc.f"})
                      .function("", {}, Asm().getVar("this").op(0x45).trace())
                      .op(0x1D)
                      .push({0, "_root.mc.f"})
                      .op(kCallFunction)
                      .op(kPop)
                      .push({0, "_root:mc:f"})
                      .op(kCallFunction)
                      .op(kPop)
                      .push({0, "/mc/f"})
                      .op(kCallFunction)
                      .op(kPop)),
            "_level0.mc\n_level0.mc\n");
  // SetTarget sends Stop to the named clip only.
  auto* mc = static_cast<test::FakeClip*>(h.root.childByName("mc", false));
  std::vector<uint8_t> name{'m', 'c', 0};
  h.run(Asm().action(0x8B, name).op(0x07).action(0x8B, {0}));
  EXPECT_FALSE(mc->playing_);
  EXPECT_TRUE(h.root.playing_);
}

TEST(Interpreter, FunctionsClosuresAndRecursion) {
  FakeHost h;
  // function add(a, b) { return a + b; } trace(add(2, 3));
  Asm add = Asm().getVar("a").getVar("b").op(kAdd2).op(kReturn);
  EXPECT_EQ(
      h.run(
          Asm().function("add", {"a", "b"}, add).push({3, 2, 2, "add"}).op(kCallFunction).trace()),
      "5\n");
  // function fact(n) { if (n <= 1) return 1; return n * fact(n - 1); }
  Asm tail = Asm()
                 .getVar("n")
                 .getVar("n")
                 .push({1})
                 .op(0x0B)
                 .push({1, "fact"})
                 .op(kCallFunction)
                 .op(0x0C)
                 .op(kReturn);
  Asm fact = Asm().getVar("n").push({1}).op(0x67).ifTrue(7).push({1}).op(kReturn).append(tail);
  // Greater pushes n > 1; when true we skip "push 1; return".
  fact = Asm()
             .getVar("n")
             .push({1})
             .op(0x67)
             .ifTrue(static_cast<int16_t>(Asm().push({1}).op(kReturn).size()))
             .push({1})
             .op(kReturn)
             .append(tail);
  EXPECT_EQ(
      h.run(Asm().function("fact", {"n"}, fact).push({10, 1, "fact"}).op(kCallFunction).trace()),
      "3628800\n");
  // A closure sees the locals of the function that made it.
  Asm inner = Asm().getVar("secret").op(kReturn);
  Asm outer = Asm().push({"secret", "hidden"}).op(kDefineLocal).function("", {}, inner).op(kReturn);
  EXPECT_EQ(h.run(Asm()
                      .function("outer", {}, outer)
                      .push({0, "outer"})
                      .op(kCallFunction)
                      .push({"f"})
                      .op(0x4D)
                      .op(0x1D)
                      .push({0, "f"})
                      .op(kCallFunction)
                      .trace()
                      .traceVar("secret")),
            "hidden\nundefined\n");
}

TEST(Interpreter, WhatAFunctionLeavesOnTheStackStaysForItsCaller) {
  // function f() { push "left" } -- f(); pop the result; what is under it is "left".
  FakeHost h;
  EXPECT_EQ(h.run(Asm()
                      .function("f", {}, Asm().push({"left"}))
                      .push({"under"})
                      .push({0, "f"})
                      .op(kCallFunction)
                      .op(kPop)
                      .trace()
                      .trace()),
            "left\nunder\n");
  // A built-in leaves nothing: Math.max(1, 2) gives its result alone.
  EXPECT_EQ(h.run(Asm()
                      .push({"under", 2, 1, 2})
                      .getVar("Math")
                      .push({"max"})
                      .op(kCallMethod)
                      .trace()
                      .trace()),
            "2\nunder\n");
}

TEST(Interpreter, EachTimelineKeepsItsStackBetweenBlocks) {
  // One block pushes a name and a value, the next one sets the variable; a block of
  // another clip in between does not see them.
  FakeHost h;
  auto* mc = h.root.add("mc", 1);
  h.vm.runActions(&h.root, Asm().push({"v", "root value"}).bytes());
  h.vm.runActions(mc, Asm().op(0x1D).bytes());  // SetVariable from an empty stack
  h.vm.runActions(&h.root, Asm().op(0x1D).bytes());
  EXPECT_EQ(h.run(Asm().traceVar("v").traceVar("mc.v")), "root value\nundefined\n");
}

TEST(Interpreter, DefineFunction2RegistersAndThis) {
  FakeHost h;
  // function2 m(r1 = this, r2 = x) { return this.k + x; } with preload this (flag 1)
  Asm body = Asm().push({Reg{1}, "k"}).op(kGetMember).push({Reg{2}}).op(kAdd2).op(kReturn);
  Asm code = Asm()
                 .push({"o", "k", 40, 1})
                 .op(kInitObject)
                 .op(0x1D)
                 .push({"o"})
                 .op(0x1C)
                 .push({"m"})
                 .function2("", 3, 0x01, {{2, "x"}}, body)
                 .op(kSetMember)
                 .push({2, 1, "o"})
                 .op(0x1C)
                 .push({"m"})
                 .op(kCallMethod)
                 .trace();
  EXPECT_EQ(h.run(code), "42\n");
}

TEST(Interpreter, ConstructorsPrototypesAndInheritance) {
  FakeHost h;
  // function A() { this.a = 1 } A.prototype.hello = function() { return "A" + this.a }
  Asm ctorA = Asm().push({"this"}).op(0x1C).push({"a", 1}).op(kSetMember);
  Asm hello = Asm().push({"A", "this"}).op(0x1C).push({"a"}).op(kGetMember).op(kAdd2).op(kReturn);
  Asm code =
      Asm()
          .function("A", {}, ctorA)
          .getVar("A")
          .push({"prototype"})
          .op(kGetMember)
          .push({"hello"})
          .function("", {}, hello)
          .op(kSetMember)
          // function B() { super(); }  B extends A
          .function("B", {},
                    Asm().push({0, "super"}).op(0x1C).push({Undef{}}).op(kCallMethod).op(kPop))
          .getVar("B")
          .getVar("A")
          .op(kExtends)
          .push({"b", 0, "B"})
          .op(kNewObject)
          .op(0x1D)
          .push({0, "b"})
          .op(0x1C)
          .push({"hello"})
          .op(kCallMethod)
          .trace()
          .getVar("b")
          .getVar("A")
          .op(kInstanceOf)
          .trace()
          .getVar("b")
          .op(kTypeOf)
          .trace();
  EXPECT_EQ(h.run(code), "A1\ntrue\nobject\n");
}

TEST(Interpreter, ObjectLiteralsArraysAndEnumerationOrder) {
  FakeHost h;
  // for (k in {a:1, b:2, c:3}): newest property first; InitObject stores the pairs last to
  // first, so "a" is the newest.
  Asm loop = Asm().push({"a", 1, "b", 2, "c", 3, 3}).op(kInitObject).op(kEnumerate2);
  // loop: StoreRegister 0; push null; equals2; if true -> end; trace r0; jump loop
  Asm body = Asm().action(0x87, {0}).push({Null{}}).op(kEquals2);
  Asm rest = Asm().push({Reg{0}}).trace();
  int16_t restSize = static_cast<int16_t>(rest.size() + 5);
  body.ifTrue(restSize).append(rest);
  body.jump(static_cast<int16_t>(-(static_cast<int>(body.size()) + 5)));
  EXPECT_EQ(h.run(Asm().append(loop).append(body)), "a\nb\nc\n");
  EXPECT_EQ(h.run(Asm().push({3, 2, 1, 3}).op(kInitArray).trace()), "1,2,3\n");
}

TEST(Interpreter, TryCatchFinallyAndThrowAcrossCalls) {
  FakeHost h;
  // function thrower() { throw "boom"; }  try { thrower(); trace("no") } catch (e) { trace(e) }
  // finally { trace("fin") }
  Asm thrower = Asm().push({"boom"}).op(kThrow);
  Asm tryBlock = Asm().push({0, "thrower"}).op(kCallFunction).op(kPop).push({"no"}).trace();
  Asm catchBlock = Asm().getVar("e").trace();
  Asm finallyBlock = Asm().push({"fin"}).trace();
  std::vector<uint8_t> p{0x03};  // catch + finally, catch into a named variable
  Asm::u16(p, static_cast<uint16_t>(tryBlock.size()));
  Asm::u16(p, static_cast<uint16_t>(catchBlock.size()));
  Asm::u16(p, static_cast<uint16_t>(finallyBlock.size()));
  Asm::str(p, "e");
  Asm code = Asm()
                 .function("thrower", {}, thrower)
                 .action(0x8F, p)
                 .append(tryBlock)
                 .append(catchBlock)
                 .append(finallyBlock)
                 .push({"after"})
                 .trace();
  EXPECT_EQ(h.run(code), "boom\nfin\nafter\n");
  // An uncaught throw ends the block, and the player logs it.
  EXPECT_EQ(h.run(Asm().push({"x"}).op(kThrow).push({"unreached"}).trace()),
            "Warning: Uncaught exception, x\n");
}

TEST(Interpreter, WithPutsAnObjectOnTheScopeChain) {
  FakeHost h;
  Asm inner = Asm().traceVar("k").setVar("k", "changed").setVar("fresh", 1);
  std::vector<uint8_t> size;
  Asm::u16(size, static_cast<uint16_t>(inner.size()));
  Asm code = Asm()
                 .push({"o", "k", "v", 1})
                 .op(kInitObject)
                 .op(0x1D)
                 .getVar("o")
                 .action(0x94, size)
                 .append(inner)
                 .traceVar("o.k")
                 .traceVar("fresh")
                 .traceVar("o.fresh");
  EXPECT_EQ(h.run(code), "v\nchanged\n1\nundefined\n");
}

TEST(Interpreter, RunawayLoopsAndRecursionAreStopped) {
  ScriptLimits limits;
  limits.maxActionsPerRun = 10000;
  FakeHost h(7, limits);
  EXPECT_EQ(h.run(Asm().push({"start"}).trace().jump(-5).push({"never"}).trace()), "start\n");
  // function r() { r(); } r(); trace("after") -- the block stops, the host survives.
  Asm rec = Asm().push({0, "r"}).op(kCallFunction);
  EXPECT_EQ(
      h.run(Asm().function("r", {}, rec).push({0, "r"}).op(kCallFunction).push({"after"}).trace()),
      "");
  EXPECT_EQ(h.run(Asm().push({"next block runs"}).trace()), "next block runs\n");
}

// Runs `work` on a thread with a stack of `bytes`: what scripts may nest has to fit in far
// less than a desktop program's main thread has.
void onSmallStack(size_t bytes, void (*work)(void*), void* arg) {
  struct Call {
    void (*work)(void*);
    void* arg;
  } call{work, arg};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, bytes);
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attr,
                [](void* c) -> void* {
                  auto* callee = static_cast<Call*>(c);
                  callee->work(callee->arg);
                  return nullptr;
                },
                &call),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

TEST(Interpreter, TheDeepestAllowedRecursionThroughGettersFitsInOneMebibyteOfStack) {
  // o.addProperty("p", function() { return o.p; }, null); trace(o.p); trace("after")
  // Every read of o.p calls the getter again, through the engine's member lookup, as deep
  // as an accessor may nest in itself; the deepest read is undefined.
  FakeHost h(7);
  Asm getter = Asm().getVar("o").push({"p"}).op(0x4E).op(0x3E);
  Asm code = Asm().push({"o", 0, "Object"}).op(0x40).op(0x1D);
  code.push({test::Null{}})
      .function("", {}, getter)
      .push({"p", 3})
      .getVar("o")
      .push({"addProperty"})
      .op(kCallMethod)
      .op(kPop);
  code.getVar("o").push({"p"}).op(0x4E).trace().push({"after"}).trace();
  struct Run {
    FakeHost* host;
    const Asm* code;
    std::string out;
  } run{&h, &code, {}};
#ifdef NDEBUG
  const size_t stack = size_t(1) << 20;
#else
  const size_t stack = size_t(8) << 20;  // unoptimised frames are several times bigger
#endif
  onSmallStack(
      stack,
      [](void* r) {
        auto* job = static_cast<Run*>(r);
        job->out = job->host->run(*job->code);
      },
      &run);
  EXPECT_EQ(run.out, "undefined\nafter\n");
  EXPECT_EQ(h.vm.lastAbort, "");
  EXPECT_EQ(h.run(Asm().push({"next block runs"}).trace()), "next block runs\n");
}

TEST(Interpreter, WaitForFrameTakesAnyValue) {
  // ifFrameLoaded(f) { trace("skipped") } trace("after"), for frames of all sorts: the
  // root has 5 frames, all loaded; what is no number is never waited for.
  FakeHost h(7);
  auto wait = [&](test::PushItem frame) {
    Asm a;
    a.push({frame}).action(0x8D, {2}).push({"loaded"}).trace().push({"after"}).trace();
    return h.run(a);
  };
  EXPECT_EQ(wait(3), "loaded\nafter\n");
  EXPECT_EQ(wait(99), "after\n");
  EXPECT_EQ(wait(1e300), "after\n");
  EXPECT_EQ(wait(-1e300), "loaded\nafter\n");
  EXPECT_EQ(wait("nonsense"), "loaded\nafter\n");
}

TEST(Interpreter, ActionsAreSteppedOverByTheirLengths) {
  FakeHost h(7);
  // ifFrameLoaded(99) skips a Push (with a length) and a Trace (without one).
  auto waitFor = [](uint16_t frame, uint8_t skip) {
    return Asm()
        .action(0x8A, {static_cast<uint8_t>(frame), static_cast<uint8_t>(frame >> 8), skip})
        .push({"skipped"})
        .trace()
        .push({"after"})
        .trace();
  };
  EXPECT_EQ(h.run(waitFor(99, 2)), "after\n");
  EXPECT_EQ(h.run(waitFor(2, 2)), "skipped\nafter\n");
  EXPECT_EQ(h.run(waitFor(99, 1)), "undefined\nafter\n");  // the Trace finds nothing pushed
  EXPECT_EQ(h.run(waitFor(99, 200)), "");                  // past the end of the block
  // An unknown action is skipped by its length, whatever its payload looks like.
  EXPECT_EQ(h.run(Asm().push({"a"}).action(0xA5, {0x26, 0x26}).trace()), "a\n");
  EXPECT_EQ(h.run(Asm().push({"b"}).op(0x7F).trace()), "b\n");
  // A record whose length runs past the block's end ends the block.
  Asm cut = Asm().push({"c"}).trace().op(0x96).op(0x10).op(0x00).op(0x00).op('d');
  EXPECT_EQ(h.run(cut), "c\n");
  EXPECT_EQ(h.run(Asm().push({"e"}).trace().op(0x96).op(0x01)), "e\n");
}

TEST(Interpreter, ManyShortBlocksInOneFrameShareTheTimeLimit) {
  // A timeline that keeps re-entering frames runs many short blocks; none is long, but
  // together they must stop, and no script of the movie runs after that.
  ScriptLimits limits;
  limits.maxMillisecondsPerRun = 20;
  FakeHost h(7, limits);
  Asm block = Asm().getVar("s").push({"x"}).op(kAdd2).push({"s"}).op(0x4D).op(0x1D);  // s = s + "x"
  h.vm.startFrameBudget();
  int runs = 0;
  for (; runs < 50'000'000 && h.vm.lastAbort.empty(); ++runs)
    h.vm.runActions(&h.root, block.bytes());
  EXPECT_EQ(h.vm.lastAbort, "script ran out of time");
  EXPECT_LT(runs, 50'000'000);
  h.vm.startFrameBudget();
  EXPECT_EQ(h.run(Asm().push({"stopped"}).trace()), "");
}

TEST(Interpreter, GrowingStringsAndObjectsEndTheScript) {
  // s = "x"; while (true) s = s + s;
  ScriptLimits limits;
  limits.maxStringLength = 1 << 20;
  FakeHost strings(7, limits);
  Asm doubling = Asm().getVar("s").getVar("s").op(kAdd2).push({"s"}).op(0x4D).op(0x1D);
  strings.run(
      Asm().setVar("s", "x").append(doubling).jump(static_cast<int16_t>(-5 - doubling.size())));
  EXPECT_EQ(strings.vm.lastAbort, "string too long");
  // a = []; while (true) a.push(s) with s ever longer: the memory cap ends it.
  limits.maxStringLength = 64u << 20;
  limits.maxMemoryBytes = 8u << 20;
  FakeHost memory(7, limits);
  Asm grow = Asm()
                 .getVar("s")
                 .push({"abcdefgh"})
                 .op(kAdd2)
                 .push({"s"})
                 .op(0x4D)
                 .op(0x1D)
                 .getVar("s")
                 .push({1})
                 .getVar("a")
                 .push({"push"})
                 .op(kCallMethod)
                 .op(kPop);
  memory.run(Asm()
                 .setVar("s", "")
                 .push({0})
                 .op(kInitArray)
                 .push({"a"})
                 .op(0x4D)
                 .op(0x1D)
                 .append(grow)
                 .jump(static_cast<int16_t>(-5 - grow.size())));
  EXPECT_EQ(memory.vm.lastAbort, "out of memory");
  EXPECT_EQ(memory.run(Asm().push({"stopped"}).trace()), "");
  // while (true) o = {next: o}: too many objects.
  limits.maxMemoryBytes = 512u << 20;
  limits.maxObjects = 10'000;
  FakeHost objects(7, limits);
  Asm chain = Asm().push({"o", "next"}).getVar("o").push({1}).op(kInitObject).op(0x1D);
  objects.run(Asm().append(chain).jump(static_cast<int16_t>(-5 - chain.size())));
  EXPECT_EQ(objects.vm.lastAbort, "out of memory");
  EXPECT_LT(objects.vm.objectCount(), 10'100u);
}

TEST(Interpreter, RandomBytesNeverCrash) {
  ScriptLimits limits;
  limits.maxActionsPerRun = 20000;
  FakeHost h(7, limits);
  h.root.add("mc", 1);
  std::mt19937 rng(1234);
  const uint8_t common[] = {0x96, 0x1C, 0x1D, 0x47, 0x4E, 0x4F, 0x52, 0x3D, 0x9B,
                            0x8E, 0x99, 0x9D, 0x8F, 0x94, 0x43, 0x42, 0x40, 0x53,
                            0x55, 0x2A, 0x87, 0x88, 0x3E, 0x69, 0x24};
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes(rng() % 200);
    for (auto& b : bytes)
      b = (rng() % 3 == 0) ? common[rng() % sizeof common] : static_cast<uint8_t>(rng());
    h.vm.runActions(&h.root, bytes);
    h.vm.runTimers();
    if (round % 100 == 0) h.vm.collectGarbage();
  }
  SUCCEED();
}

}  // namespace
}  // namespace orv::movie::avm1
