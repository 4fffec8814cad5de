// How scripts reach clips on the real timeline: a clip given as a target stands for its
// path, unnamed objects answer to no name, and a removed clip's children still see their
// whole path while their unload handlers run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/player.h"
#include "script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie {
namespace {

namespace t = orv::movie::test;
using avm1::test::Asm;
using Lines = std::vector<std::string>;

constexpr uint8_t kCallMethod = 0x52, kSetMember = 0x4F, kGetMember = 0x4E, kSetVariable = 0x1D,
                  kSetTarget2 = 0x20, kPop = 0x17, kStop = 0x07;

// var = parent.createEmptyMovieClip(name, depth)
Asm createClip(const std::string& var, const std::string& parent, const std::string& name,
               int depth) {
  return Asm()
      .push({var, depth, name, 2})
      .getVar(parent)
      .push({"createEmptyMovieClip"})
      .op(kCallMethod)
      .op(kSetVariable);
}
Asm tellTargetEnd() { return Asm().action(0x8B, {0}); }

Lines play(const Asm& script, std::vector<uint8_t> moreTags = {}, int frames = 2) {
  Player p;
  Lines lines;
  p.setTraceSink([&](const std::string& l) { lines.push_back(l); });
  const auto movie = t::movie(
      t::concat({moreTags, t::doAction(Asm().append(script).op(kStop).bytes()), t::showFrame()}),
      {.version = 8});
  if (!p.loadBytes(movie)) return {"<" + p.error() + ">"};
  p.start();
  for (int i = 0; i < frames; ++i) p.advance(p.framePeriodMs());
  return lines;
}

TEST(ClipTargets, AClipGivenAsATargetIsFoundByItsPath) {
  // Two clips named alike: tellTarget(second) reaches the first, as its path does.
  Asm script = createClip("a", "_root", "twin", 6)
                   .append(createClip("b", "_root", "twin", 7))
                   .getVar("a")
                   .push({"x", "first"})
                   .op(kSetMember)
                   .getVar("b")
                   .push({"x", "second"})
                   .op(kSetMember)
                   .getVar("b")
                   .op(kSetTarget2)
                   .traceVar("x")
                   .append(tellTargetEnd())
                   .append(createClip("c", "_root", "single", 8))
                   .getVar("c")
                   .push({"x", "own"})
                   .op(kSetMember)
                   .getVar("c")
                   .op(kSetTarget2)
                   .traceVar("x")
                   .append(tellTargetEnd());
  EXPECT_EQ(play(script), (Lines{"first", "own"}));
}

TEST(ClipTargets, UnnamedObjectsAnswerToNoName) {
  auto shape = t::concat({t::defineRect(1, 200, 200, 255, 0, 0),
                          t::placeObject2({.depth = 1, .character = 1})});
  Asm script = Asm().getVar("_root").push({""}).op(kGetMember).trace();
  EXPECT_EQ(play(script, shape), (Lines{"undefined"}));
}

TEST(ClipTargets, ChildrenOfARemovedClipSeeTheirWholePathWhileUnloading) {
  Asm onUnload = Asm().push({"unload "}).getVar("this").op(0x47).trace();
  Asm script = createClip("outer", "_root", "outer", 1)
                   .append(createClip("inner", "outer", "inner", 1))
                   .getVar("inner")
                   .push({"onUnload"})
                   .function("", {}, onUnload)
                   .op(kSetMember)
                   .push({0})
                   .getVar("outer")
                   .push({"removeMovieClip"})
                   .op(kCallMethod)
                   .op(kPop);
  EXPECT_EQ(play(script), (Lines{"unload _level0.outer.inner"}));
}

}  // namespace
}  // namespace orv::movie
