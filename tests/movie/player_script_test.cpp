// The player runs the movie's actions: stop() holds the timeline, trace() reaches the sink,
// scripts run while seeking, and unloading forgets the script state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/player.h"
#include "avm1/script_test_util.h"
#include "swf_writer.h"

using namespace orv::movie;
namespace t = orv::movie::test;

namespace {
constexpr uint8_t kStop = 0x07, kPlay = 0x06, kTrace = 0x26, kGetVariable = 0x1C, kGetMember = 0x4E,
                  kSetMember = 0x4F, kGotoFrame = 0x81, kPush = 0x96;

// ActionPush of strings.
std::vector<uint8_t> push(std::initializer_list<std::string> strings) {
  std::vector<uint8_t> body;
  for (const std::string& s : strings) {
    body.push_back(0);  // string
    body.insert(body.end(), s.begin(), s.end());
    body.push_back(0);
  }
  std::vector<uint8_t> out = {kPush, uint8_t(body.size() & 0xFF), uint8_t(body.size() >> 8)};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
std::vector<uint8_t> traceString(const std::string& s) {
  auto out = push({s});
  out.push_back(kTrace);
  return out;
}
std::vector<uint8_t> gotoFrame(uint16_t frame) {
  return {kGotoFrame, 2, 0, uint8_t(frame & 0xFF), uint8_t(frame >> 8)};
}
std::vector<uint8_t> actions(std::initializer_list<std::vector<uint8_t>> parts) {
  auto out = t::concat(parts);
  out.push_back(0);  // ActionEnd
  return out;
}

// `frames` frames, each with a rectangle placed on frame 0; `scripts[i]` is frame i's DoAction.
std::vector<uint8_t> scriptedMovie(const std::vector<std::vector<uint8_t>>& scripts) {
  std::vector<uint8_t> tags = t::concat(
      {t::defineRect(1, 100, 100, 255, 0, 0), t::placeObject2({.depth = 1, .character = 1})});
  for (const auto& s : scripts) {
    if (!s.empty()) tags = t::concat({tags, t::doAction(s)});
    tags = t::concat({tags, t::showFrame()});
  }
  return t::movie(tags, {.frameCount = uint16_t(scripts.size())});
}

struct TracedPlayer {
  Player player;
  std::vector<std::string> lines;
  TracedPlayer() {
    player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) player.advance(player.framePeriodMs());
  }
};
}  // namespace

TEST(PlayerScripts, StopOnTheLastFrameHoldsThereAndTraceReachesTheSink) {
  TracedPlayer tp;
  Player& p = tp.player;
  ASSERT_TRUE(
      p.loadBytes(scriptedMovie({actions({traceString("first")}), actions({traceString("second")}),
                                 actions({{kStop}, traceString("stopped")})})));
  EXPECT_EQ(tp.lines, std::vector<std::string>{"first"});  // frame 0's actions run on load
  EXPECT_FALSE(p.playing());
  p.play();
  tp.ticks(2);
  EXPECT_EQ(p.currentFrame(), 2);
  EXPECT_FALSE(p.playing());
  tp.ticks(5);
  EXPECT_EQ(p.currentFrame(), 2);  // without the stop() it would have looped to 0
  EXPECT_EQ(tp.lines, (std::vector<std::string>{"first", "second", "stopped"}));

  // Played again, it loops round, running every frame's actions once more.
  p.play();
  tp.ticks(3);
  EXPECT_EQ(p.currentFrame(), 2);
  EXPECT_EQ(tp.lines.size(), 6u);
  EXPECT_EQ(tp.lines[3], "first");
}

TEST(PlayerScripts, SeekingRunsTheTargetFramesActions) {
  TracedPlayer tp;
  Player& p = tp.player;
  // Frame 1 jumps to frame 3 and plays; frame 3 sends the movie back to frame 0 and plays.
  ASSERT_TRUE(p.loadBytes(scriptedMovie({{},
                                         actions({gotoFrame(3), {kPlay}}),
                                         {},
                                         actions({traceString("three"), gotoFrame(0), {kPlay}}),
                                         {}})));
  p.gotoFrame(1);  // -> 1 -> 3 -> 0, all while the seek's events are delivered
  EXPECT_EQ(p.currentFrame(), 0);
  EXPECT_EQ(tp.lines, std::vector<std::string>{"three"});
  EXPECT_TRUE(p.playing());  // the actions' play() stands after gotoFrame
  p.forward();
  EXPECT_EQ(p.currentFrame(), 0);
  EXPECT_FALSE(p.playing());  // forward, back and rewind always leave the movie stopped
  p.gotoFrame(4);
  p.back();
  EXPECT_EQ(p.currentFrame(), 0);
  EXPECT_FALSE(p.playing());
  p.rewind();
  EXPECT_EQ(p.currentFrame(), 0);
  EXPECT_FALSE(p.playing());
  EXPECT_EQ(tp.lines.size(), 3u);
}

TEST(PlayerScripts, UnloadingForgetsTheScriptState) {
  TracedPlayer tp;
  Player& p = tp.player;
  // trace(_global.kept); _global.kept = "set";
  std::vector<uint8_t> bytes = scriptedMovie({actions({
                                                  push({"_global"}),
                                                  {kGetVariable},
                                                  push({"kept"}),
                                                  {kGetMember},
                                                  {kTrace},
                                                  push({"_global"}),
                                                  {kGetVariable},
                                                  push({"kept", "set"}),
                                                  {kSetMember},
                                              }),
                                              {}});
  ASSERT_TRUE(p.loadBytes(bytes));
  p.forward();
  p.rewind();  // frame 0 again in the same movie: the global is still there
  p.unload();
  EXPECT_FALSE(p.loaded());
  EXPECT_FALSE(p.advance(1000));
  ASSERT_TRUE(p.loadBytes(bytes));
  EXPECT_EQ(tp.lines, (std::vector<std::string>{"undefined", "set", "undefined"}));
}

TEST(PlayerScripts, AMovieStartsStoppedWhenItsFirstFrameSaysSo) {
  // Frame 1 stops: start() keeps it there, play() plays on anyway.
  TracedPlayer stopped;
  ASSERT_TRUE(
      stopped.player.loadBytes(scriptedMovie({actions({{kStop}}), actions({traceString("two")})})));
  stopped.player.start();
  stopped.ticks(3);
  EXPECT_EQ(stopped.player.currentFrame(), 0);
  stopped.player.play();
  stopped.ticks(1);
  EXPECT_EQ(stopped.lines, std::vector<std::string>{"two"});
  // Without stop() in its first frame a movie starts playing.
  TracedPlayer playing;
  ASSERT_TRUE(playing.player.loadBytes(scriptedMovie({{}, actions({traceString("two")})})));
  EXPECT_FALSE(playing.player.playing());
  playing.player.start();
  playing.ticks(1);
  EXPECT_EQ(playing.lines, std::vector<std::string>{"two"});
}

// A movie of one frame whose scripts move things asks for a redraw every frame; one whose
// frames and scripts stand still does not.
TEST(PlayerScripts, ScriptsThatRunEachFrameKeepTheMovieRedrawing) {
  using orv::movie::avm1::test::Asm;
  // _root.onEnterFrame = function () { _root._x = _root._x + 1; }
  Asm move = Asm()
                 .push({"_root"})
                 .op(kGetVariable)
                 .push({"_x"})
                 .push({"_root"})
                 .op(kGetVariable)
                 .push({"_x"})
                 .op(kGetMember)
                 .push({1})
                 .op(0x47)
                 .op(kSetMember);
  Asm frame = Asm()
                  .push({"_root"})
                  .op(kGetVariable)
                  .push({"onEnterFrame"})
                  .function("", {}, move)
                  .op(kSetMember);
  TracedPlayer moving;
  ASSERT_TRUE(moving.player.loadBytes(scriptedMovie({frame.bytes()})));
  moving.player.start();
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(moving.player.advance(moving.player.framePeriodMs())) << i;

  TracedPlayer still;
  ASSERT_TRUE(still.player.loadBytes(scriptedMovie({actions({{kStop}})})));
  still.player.start();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(still.player.advance(still.player.framePeriodMs())) << i;
}
