// How long and how deep scripts may run: as a Flash player allows, by the movie's
// ScriptLimits or its defaults, never by a count of actions.
#include <gtest/gtest.h>

#include "movie/avm1_host/timeline_bridge.h"
#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::Asm;

TEST(ScriptLimits, AMoviesScriptLimitsSetTheTimeoutAndTheDepth) {
  swf::Movie movie;
  ScriptLimits plain = TimelineBridge::limitsFor(movie);
  EXPECT_EQ(plain.maxMillisecondsPerRun, 15000);
  EXPECT_EQ(plain.maxCallDepth, 256);
  EXPECT_EQ(plain.maxActionsPerRun, UINT64_MAX) << "no count of actions stops a script";
  movie.scriptTimeoutSeconds = 5;
  movie.maxRecursionDepth = 100;
  ScriptLimits set = TimelineBridge::limitsFor(movie);
  EXPECT_EQ(set.maxMillisecondsPerRun, 5000);
  EXPECT_EQ(set.maxCallDepth, 100);
  movie.scriptTimeoutSeconds = 0;  // nothing said: the default
  movie.maxRecursionDepth = 65535;
  set = TimelineBridge::limitsFor(movie);
  EXPECT_EQ(set.maxMillisecondsPerRun, 15000);
  EXPECT_EQ(set.maxCallDepth, ScriptLimits::kMostCallDepth) << "as deep as the stack allows";
}

// i = 0; while (i < 400000) i = i + 1; trace(i): some three million actions, which a
// count of actions used to cut off.
TEST(ScriptLimits, ALongCountingLoopRunsToItsEnd) {
  test::FakeHost host(8);
  Asm loop;
  loop.setVar("i", 0);
  Asm exit, body;
  exit.getVar("i").push({400000}).op(0x48).op(0x12);         // Less2, Not
  body.push({"i"}).getVar("i").push({1}).op(0x47).op(0x1D);  // i = i + 1
  loop.append(exit).ifTrue(int16_t(body.size() + 5)).append(body);
  loop.jump(int16_t(-int(exit.size() + 5 + body.size() + 5)));
  loop.traceVar("i");
  EXPECT_EQ(host.run(loop), "400000\n");
  EXPECT_TRUE(host.vm.lastAbort.empty()) << host.vm.lastAbort;
}

// function f() { trace("in"); f(); } f(): the movie's depth counts the frame's own
// actions, so a depth of 5 lets four calls nest; the frame's script then stops.
TEST(ScriptLimits, TheDepthCountsTheFramesActions) {
  ScriptLimits limits;
  limits.maxCallDepth = 5;
  test::FakeHost host(8, limits);
  Asm body = Asm().push({"in"}).trace().push({0, "f"}).op(0x3D).op(0x17);
  Asm code = Asm().function("f", {}, body).push({0, "f"}).op(0x3D).op(0x17).push({"after"}).trace();
  EXPECT_EQ(host.run(code), "in\nin\nin\nin\n");
  EXPECT_EQ(host.vm.lastAbort, "recursion too deep");
}

}  // namespace
}  // namespace orv::movie::avm1
