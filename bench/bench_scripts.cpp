// Speed of ActionScript 1/2: five kernels as hand-assembled actions, each beside the same
// kernel in Lua 5.4 (globals, as the scripts use timeline variables) in the same run; and of
// ActionScript 3: kernels as hand-assembled ABC beside the same kernel in Lua with locals
// (AS3 functions keep their variables in registers). Each benchmark reports both times and
// the ratio ours / Lua's.
#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "abc/abc_writer.h"
#include "avm1/script_test_util.h"
#include "movie/avm2/interpreter.h"

namespace {

using namespace orv::movie::avm1;
using test::Asm;
using test::FakeHost;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kAdd2 = 0x47, kLess2 = 0x48, kNot = 0x12, kEquals2 = 0x49, kGetMember = 0x4E,
                  kSetMember = 0x4F, kSetVariable = 0x1D, kGetVariable = 0x1C, kCallMethod = 0x52,
                  kNewObject = 0x40, kReturn = 0x3E, kPop = 0x17, kEnumerate2 = 0x55;

// while (!exitWhen) body: `exit` leaves true on the stack when the loop is done.
Asm loop(const Asm& exit, const Asm& body) {
  Asm a;
  a.append(exit);
  a.ifTrue(int16_t(body.size() + 5));  // over the body and the jump back (5 bytes)
  a.append(body);
  a.jump(int16_t(-int(exit.size() + 5 + body.size() + 5)));
  return a;
}

// i = 0; while (i < n) { <inner>; i = i + 1 }
Asm counted(const std::string& i, int n, const Asm& inner) {
  Asm a;
  a.setVar(i, 0);
  Asm exit;
  exit.getVar(i).push({n}).op(kLess2).op(kNot);
  Asm body;
  body.append(inner);
  body.push({i}).getVar(i).push({1}).op(kAdd2).op(kSetVariable);
  return a.append(loop(exit, body));
}

class Lua {
 public:
  explicit Lua(const char* setup, const char* kernel) : L(luaL_newstate()) {
    luaL_openlibs(L);
    if (luaL_dostring(L, setup) != LUA_OK) std::fprintf(stderr, "lua: %s\n", lua_tostring(L, -1));
    if (luaL_loadstring(L, kernel) != LUA_OK)
      std::fprintf(stderr, "lua: %s\n", lua_tostring(L, -1));
    kernel_ = luaL_ref(L, LUA_REGISTRYINDEX);
  }
  ~Lua() { lua_close(L); }
  void run() {
    lua_rawgeti(L, LUA_REGISTRYINDEX, kernel_);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) std::fprintf(stderr, "lua: %s\n", lua_tostring(L, -1));
  }
  lua_State* L;

 private:
  int kernel_;
};

ScriptLimits unbounded() {
  ScriptLimits limits;
  limits.maxActionsPerRun = UINT64_MAX;
  limits.maxMillisecondsPerRun = 1e9;
  return limits;
}

// Runs `ours` and `lua` once each per iteration and reports both and their ratio.
template <class Ours, class Theirs>
void compare(benchmark::State& state, Ours ours, Theirs lua) {
  double oursSeconds = 0, luaSeconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    ours();
    auto t1 = Clock::now();
    lua();
    auto t2 = Clock::now();
    oursSeconds += std::chrono::duration<double>(t1 - t0).count();
    luaSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  const double n = double(state.iterations());
  state.counters["ours_ms"] = oursSeconds / n * 1e3;
  state.counters["lua_ms"] = luaSeconds / n * 1e3;
  state.counters["ratio"] = luaSeconds > 0 ? oursSeconds / luaSeconds : 0;
}

constexpr int kLoop = 200'000;

void BM_CountingLoop(benchmark::State& state) {
  FakeHost host(8, unbounded());
  const auto code = counted("i", kLoop, Asm()).bytes();
  Lua lua("", "i = 0 while i < 200000 do i = i + 1 end");
  compare(
      state, [&] { host.vm.runActions(&host.root, code); }, [&] { lua.run(); });
  if (host.vm.getMember(host.root.scriptObject, "i").isUndefined())
    state.SkipWithError("no result");
}

void BM_ObjectMembers(benchmark::State& state) {
  FakeHost host(8, unbounded());
  // o = {m0: 0, m1: 1, ... m99: 99}
  Asm setup;
  setup.push({"o"}).push({0}).push({"Object"}).op(kNewObject).op(kSetVariable);
  for (int k = 0; k < 100; ++k) setup.getVar("o").push({"m" + std::to_string(k), k}).op(kSetMember);
  host.vm.runActions(&host.root, setup.bytes());
  // 500 times: s = 0; for (k in o) s = s + o[k];
  Asm forIn;
  forIn.setVar("s", 0).getVar("o").op(kEnumerate2);
  Asm exit;
  exit.action(0x87, {0}).push({test::Null{}}).op(kEquals2);  // StoreRegister 0
  Asm body;
  body.push({"s"})
      .getVar("s")
      .getVar("o")
      .push({test::Reg{0}})
      .op(kGetMember)
      .op(kAdd2)
      .op(kSetVariable);
  forIn.append(loop(exit, body));
  const auto code = counted("j", 500, forIn).bytes();
  Lua lua("o = {} for k = 0, 99 do o['m' .. k] = k end",
          "for j = 1, 500 do s = 0 for k, v in pairs(o) do s = s + o[k] end end");
  compare(
      state, [&] { host.vm.runActions(&host.root, code); }, [&] { lua.run(); });
  if (host.vm.toNumber(host.vm.getMember(host.root.scriptObject, "s")) != 4950)
    state.SkipWithError("wrong sum");
}

void BM_PrototypeMethodCalls(benchmark::State& state) {
  FakeHost host(8, unbounded());
  // function P() {}  P.prototype.f = function (x) { return x + 1; }  o = new P();
  Asm setup;
  setup.function("P", {}, Asm());
  Asm f;
  f.getVar("x").push({1}).op(kAdd2).op(kReturn);
  setup.getVar("P")
      .push({"prototype"})
      .op(kGetMember)
      .push({"f"})
      .function("", {"x"}, f)
      .op(kSetMember);
  setup.push({"o"}).push({0}).push({"P"}).op(kNewObject).op(kSetVariable);
  host.vm.runActions(&host.root, setup.bytes());
  // s = 0; 100000 times: s = o.f(s)
  Asm call;
  call.push({"s"}).getVar("s").push({1}).getVar("o").push({"f"}).op(kCallMethod).op(kSetVariable);
  Asm kernel;
  kernel.setVar("s", 0).append(counted("i", 100'000, call));
  const auto code = kernel.bytes();
  Lua lua("P = {} P.__index = P function P.f(self, x) return x + 1 end o = setmetatable({}, P)",
          "s = 0 for i = 1, 100000 do s = o:f(s) end");
  compare(
      state, [&] { host.vm.runActions(&host.root, code); }, [&] { lua.run(); });
  if (host.vm.toNumber(host.vm.getMember(host.root.scriptObject, "s")) != 100000)
    state.SkipWithError("wrong count");
}

void BM_StringBuilding(benchmark::State& state) {
  FakeHost host(8, unbounded());
  Asm append;
  append.push({"s"}).getVar("s").push({"x"}).op(kAdd2).op(kSetVariable);
  Asm kernel;
  kernel.setVar("s", "").append(counted("i", 20'000, append));
  const auto code = kernel.bytes();
  Lua lua("", "s = '' for i = 1, 20000 do s = s .. 'x' end");
  compare(
      state, [&] { host.vm.runActions(&host.root, code); }, [&] { lua.run(); });
  if (host.vm.toString(host.vm.getMember(host.root.scriptObject, "s")).size() != 20000)
    state.SkipWithError("wrong length");
}

void BM_ArraySortNumbers(benchmark::State& state) {
  constexpr int kCount = 10'000;
  std::vector<double> numbers;
  uint32_t seed = 12345;
  for (int i = 0; i < kCount; ++i) {
    seed = seed * 1664525u + 1013904223u;
    numbers.push_back(double(seed >> 8) / 65536.0);
  }
  FakeHost host(8, unbounded());
  // a.sort(Array.NUMERIC), on a fresh copy each time.
  Asm sort;
  sort.push({16, 1}).getVar("a").push({"sort"}).op(kCallMethod).op(kPop);
  const auto code = sort.bytes();
  Lua lua("", "table.sort(a)");
  auto fresh = [&] {
    std::vector<Value> elements(numbers.begin(), numbers.end());
    host.vm.setMember(host.vm.global, "a", Value(host.vm.newArray(std::move(elements))));
    lua_createtable(lua.L, kCount, 0);
    for (int i = 0; i < kCount; ++i) {
      lua_pushnumber(lua.L, numbers[size_t(i)]);
      lua_rawseti(lua.L, -2, i + 1);
    }
    lua_setglobal(lua.L, "a");
  };
  double oursSeconds = 0, luaSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fresh();
    state.ResumeTiming();
    auto t0 = Clock::now();
    host.vm.runActions(&host.root, code);
    auto t1 = Clock::now();
    lua.run();
    auto t2 = Clock::now();
    oursSeconds += std::chrono::duration<double>(t1 - t0).count();
    luaSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  const double n = double(state.iterations());
  state.counters["ours_ms"] = oursSeconds / n * 1e3;
  state.counters["lua_ms"] = luaSeconds / n * 1e3;
  state.counters["ratio"] = luaSeconds > 0 ? oursSeconds / luaSeconds : 0;
  const Value first = host.vm.getMember(host.vm.getMember(host.vm.global, "a").asObject(), "0");
  if (host.vm.toNumber(first) > 1.0) state.SkipWithError("not sorted");
}

// ActionScript 3: var s:int = 0; for (var i:int = 0; i < n; i++) s += i; as a compiler
// emits it (registers, int arithmetic, a backward conditional branch).
void BM_Avm2CountingLoop(benchmark::State& state) {
  namespace op = orv::movie::test::op;
  using orv::movie::test::Code;
  orv::movie::test::AbcBuilder abc;
  Code c;
  auto test = c.label(), body = c.label();
  c.pushbyte(0).op(op::setlocal1).pushbyte(0).op(op::setlocal2).branch(op::jump, test);
  c.bind(body)
      .op(op::label)
      .op(op::getlocal1)
      .op(op::getlocal2)
      .op(op::add)
      .op(op::convert_i)
      .op(op::setlocal1)
      .op(op::inclocal_i, 2);
  c.bind(test)
      .op(op::getlocal2)
      .op(op::pushint, abc.integer(kLoop))
      .branch(op::iflt, body)
      .op(op::getlocal1)
      .op(op::returnvalue);
  uint32_t b = abc.body(abc.method(), c, {.maxStack = 2, .localCount = 3});
  const auto& mb = abc.file.bodies[b];
  auto decoded = orv::movie::avm2::decodeMethod(abc.file, mb, "loop()");
  if (!std::holds_alternative<orv::movie::avm2::DecodedMethod>(decoded)) {
    state.SkipWithError("does not verify");
    return;
  }
  const auto& code = std::get<orv::movie::avm2::DecodedMethod>(decoded);
  orv::movie::avm2::StringTable names;
  orv::movie::avm2::Interpreter machine(names);
  Lua lua("", "local s = 0 for i = 0, 199999 do s = (s + i) | 0 end");
  double result = 0;
  compare(
      state,
      [&] {
        auto r = machine.run(abc.file, mb, code, {});
        if (auto* v = std::get_if<orv::movie::avm2::Value>(&r)) result = v->numeric();
      },
      [&] { lua.run(); });
  if (result == 0) state.SkipWithError("no result");
}

BENCHMARK(BM_CountingLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Avm2CountingLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjectMembers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrototypeMethodCalls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StringBuilding)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArraySortNumbers)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
