// Going back on a timeline (looping, gotoAndPlay to an earlier frame) as scripts see it:
// clips that the target frame still holds from the same placement keep their identity and
// their variables; clips placed later leave and come back fresh; removed clips with an unload
// handler stay reachable until the frame's scripts are done. Both the script test stage
// and the player's own timeline are held to it. Also the depth of ActionCloneSprite.
#include <gtest/gtest.h>

#include <algorithm>

#include "movie/avm1_host/timeline_bridge.h"
#include "movie/timeline/stage.h"
#include "movie/swf/reader.h"
#include "script_stage.h"
#include "script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie::avm1 {
namespace {

namespace w = orv::movie::test;
using test::Asm;

std::vector<uint8_t> actions(const Asm& code) { return w::doAction(code.bytes()); }

// trace(name.member)
Asm& traceMember(Asm& a, const std::string& name, const std::string& member) {
  return a.getVar(name).push({member}).op(0x4E).trace();
}
// name.member = value
Asm& setMember(Asm& a, const std::string& name, const std::string& member,
               const std::string& value) {
  return a.getVar(name).push({member, value}).op(0x4F);
}

std::vector<std::string> onScriptStage(const std::vector<uint8_t>& bytes, int frames) {
  auto movie = swf::readMovie(bytes).movie;
  if (!movie) return {"<unreadable>"};
  testing::ScriptStage stage(movie, ".", bytes);
  stage.runFrames(frames);
  return stage.traceLines();
}

std::vector<std::string> onPlayerTimeline(const std::vector<uint8_t>& bytes, int frames) {
  auto movie = swf::readMovie(bytes).movie;
  if (!movie) return {"<unreadable>"};
  Stage stage(movie);
  std::vector<std::string> out;
  stage.traceSink = [&out](const std::string& line) { out.push_back(line); };
  TimelineBridge bridge(stage);
  stage.setListener(&bridge);
  stage.dispatchEvents();
  for (int i = 1; i < frames; ++i) {
    bridge.tick();
  }
  return out;
}

// An empty one-frame sprite, id 1.
std::vector<uint8_t> emptySprite() { return w::defineSprite(1, 1, w::showFrame()); }

TEST(TimelineSeek, LoopingKeepsClipsTheFirstFrameStillHolds) {
  // Frame 1 places "mc" and reads then marks it; frame 2 does nothing; the root loops.
  Asm frame1;
  traceMember(frame1, "mc", "mark");
  setMember(frame1, "mc", "mark", "kept");
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc"}),
                 actions(frame1), w::showFrame(), w::showFrame()}),
      {.version = 6, .frameCount = 2});
  const std::vector<std::string> want = {"undefined", "kept", "kept"};
  EXPECT_EQ(onScriptStage(bytes, 5), want);
  EXPECT_EQ(onPlayerTimeline(bytes, 5), want);
}

TEST(TimelineSeek, GoingBackDropsClipsPlacedLaterAndMakesThemAfresh) {
  // Frame 2 places "later" and marks it; frame 3 goes back to frame 1 and plays on.
  Asm frame1, frame2, frame3;
  frame1.push({"later"}).op(0x1C).op(0x44).trace();  // typeof(later)
  traceMember(frame2, "later", "mark");
  setMember(frame2, "later", "mark", "old");
  frame3.action(0x81, {0, 0}).op(0x06);  // gotoAndPlay(1)
  auto bytes =
      w::movie(w::concat({emptySprite(), actions(frame1), w::showFrame(),
                          w::placeObject2({.depth = 2, .character = 1, .name = "later"}),
                          actions(frame2), w::showFrame(), actions(frame3), w::showFrame()}),
               {.version = 6, .frameCount = 3});
  const std::vector<std::string> want = {"undefined", "undefined", "undefined", "undefined"};
  EXPECT_EQ(onScriptStage(bytes, 4), want);
  EXPECT_EQ(onPlayerTimeline(bytes, 4), want);
}

TEST(TimelineSeek, CloneSpriteTakesItsDepthLessTheCompilersOffset) {
  // duplicateMovieClip("mc", "dup", 5) compiles to CloneSprite with 16384 + 5.
  Asm frame1;
  frame1.push({"mc", "dup", 16384 + 5}).op(0x24);
  frame1.push({0}).getVar("dup").push({"getDepth"}).op(0x52).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc"}),
                 actions(frame1), w::showFrame()}),
      {.version = 6});
  EXPECT_EQ(onScriptStage(bytes, 1), std::vector<std::string>{"5"});
}

TEST(TimelineSeek, ScriptDepthsLieAboveTheTimelinesDepths) {
  // duplicateMovieClip("mc", "dup", 1): script depth 1 is not timeline depth 1, so "mc"
  // stays; getDepth shows the timeline's depth 1 as -16383.
  Asm frame1;
  frame1.push({"mc", "dup", 16384 + 1}).op(0x24);
  frame1.push({"mc"}).op(0x1C).op(0x44).trace();  // typeof(mc)
  frame1.push({0}).getVar("mc").push({"getDepth"}).op(0x52).trace();
  frame1.push({0}).getVar("dup").push({"getDepth"}).op(0x52).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc"}),
                 actions(frame1), w::showFrame()}),
      {.version = 6});
  const std::vector<std::string> want = {"movieclip", "-16383", "1"};
  EXPECT_EQ(onScriptStage(bytes, 1), want);
  EXPECT_EQ(onPlayerTimeline(bytes, 1), want);
}

TEST(TimelineSeek, RemovedClipsWithAnUnloadHandlerStayReachableUntilTheFrameEnds) {
  // "mc" (depth 1) gets an onUnload method; frame 2 removes it and looks it up; frame 3
  // finds it gone.
  Asm frame1, frame2, frame3;
  frame1.getVar("mc")
      .push({"onUnload"})
      .function("", {}, Asm().push({"unloaded"}).trace())
      .op(0x4F);
  frame2.push({0}).getVar("mc").push({"getDepth"}).op(0x52).trace();
  traceMember(frame2, "mc", "_name");
  frame3.push({"mc"}).op(0x1C).op(0x44).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc"}),
                 actions(frame1), w::showFrame(), w::removeObject2(1), actions(frame2),
                 w::showFrame(), actions(frame3), w::showFrame()}),
      {.version = 6, .frameCount = 3});
  for (auto run : {onScriptStage, onPlayerTimeline}) {
    std::vector<std::string> lines = run(bytes, 3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "unloaded"), 1);
    lines.erase(std::remove(lines.begin(), lines.end(), "unloaded"), lines.end());
    // Parked at -32769 minus its depth (-16383), still under its name; gone a frame later.
    EXPECT_EQ(lines, (std::vector<std::string>{"-16386", "mc", "undefined"}));
  }
}

TEST(TimelineSeek, LoopingRemovesScriptClipsSwappedIntoTheTimelinesDepths) {
  // Frame 2 duplicates "mc" as "dup" at depth 5 and swaps the two: "dup" now sits in the
  // timeline's depths, "mc" above them. Back on frame 1, "dup" is gone.
  Asm frame1, frame2;
  frame1.push({"dup"}).op(0x1C).op(0x44).trace();
  frame2.push({"mc", "dup", 16384 + 5}).op(0x24);
  frame2.getVar("mc").push({1}).getVar("dup").push({"swapDepths"}).op(0x52).op(0x17);
  frame2.push({0}).getVar("dup").push({"getDepth"}).op(0x52).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc"}),
                 actions(frame1), w::showFrame(), actions(frame2), w::showFrame()}),
      {.version = 6, .frameCount = 2});
  const std::vector<std::string> want = {"undefined", "-16383", "undefined"};
  EXPECT_EQ(onScriptStage(bytes, 3), want);
  EXPECT_EQ(onPlayerTimeline(bytes, 3), want);
}

TEST(TimelineSeek, NextHighestDepthIsAboveEveryScriptDepthInUse) {
  // Empty: 0; with the timeline's clip only: still 0; after duplicating at 7: 8.
  Asm frame1;
  frame1.push({0}).getVar("_root").push({"getNextHighestDepth"}).op(0x52).trace();
  frame1.push({"mc", "dup", 16384 + 7}).op(0x24);
  frame1.push({0}).getVar("_root").push({"getNextHighestDepth"}).op(0x52).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc"}),
                 actions(frame1), w::showFrame()}),
      {.version = 7});
  const std::vector<std::string> want = {"0", "8"};
  EXPECT_EQ(onScriptStage(bytes, 1), want);
  EXPECT_EQ(onPlayerTimeline(bytes, 1), want);
}

TEST(TimelineSeek, InstanceAtDepthIsTheChildThere) {
  // The timeline's clip at depth 1 (-16383), a duplicate at script depth 7, nothing at 3;
  // a depth that is no number finds nothing either.
  Asm frame1;
  frame1.push({"mc", "dup", 16384 + 7}).op(0x24);
  for (double d : {-16383.0, 7.0, 3.0})
    frame1.push({d, 1}).getVar("_root").push({"getInstanceAtDepth"}).op(0x52).trace();
  frame1.push({"x", 1}).getVar("_root").push({"getInstanceAtDepth"}).op(0x52).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc"}),
                 actions(frame1), w::showFrame()}),
      {.version = 7});
  EXPECT_EQ(onPlayerTimeline(bytes, 1),
            (std::vector<std::string>{"_level0.mc", "_level0.dup", "undefined", "undefined"}));
}

TEST(TimelineSeek, GoingBackPassesThroughTheClipsWithUnloadHandlersOfTheFramesBetween) {
  // Frame 2 places "a" (initialize and unload handlers) and "b" (initialize only) at
  // depths 1 and 2; frame 3 removes both; frame 4 goes back to frame 3 once. On the way
  // "a" is made and unloaded again; "b" never shows.
  auto handlers = [](const std::string& name, bool unload) {
    Asm init, gone;
    init.push({"init " + name}).trace().op(0);
    gone.push({"unload " + name}).trace().op(0);
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> h{
        {swf::ClipEvent::Initialize, init.bytes()}};
    if (unload) h.push_back({swf::ClipEvent::Unload, gone.bytes()});
    return h;
  };
  Asm frame4;
  Asm goBack;
  goBack.setVar("back", true).action(0x81, {2, 0}).op(0x07).push({"a"}).op(0x1C).op(0x44).trace();
  frame4.push({"frame 4"})
      .trace()
      .getVar("back")
      .ifTrue(static_cast<int16_t>(goBack.bytes().size()))
      .append(goBack);
  auto bytes = w::movie(
      w::concat(
          {emptySprite(), w::showFrame(),
           w::placeObject2(
               {.depth = 1, .character = 1, .name = "a", .clipActions = handlers("a", true)}),
           w::placeObject2(
               {.depth = 2, .character = 1, .name = "b", .clipActions = handlers("b", false)}),
           w::showFrame(), w::removeObject2(1), w::removeObject2(2), w::showFrame(),
           actions(frame4), w::showFrame()}),
      {.version = 7, .frameCount = 4});
  // Made before the script goes on, found by name until the frame is done, then unloaded.
  EXPECT_EQ(onPlayerTimeline(bytes, 6),
            (std::vector<std::string>{"init a", "init b", "unload a", "frame 4", "init a",
                                      "movieclip", "unload a"}));
}

TEST(TimelineNames, GoingBackOverAnUnnamedClipThatStaysUsesUpANumber) {
  // Frame 1 places an unnamed clip at depth 1, frame 2 one at depth 2 and traces its name.
  // Looping keeps the first (its placement still takes a number) and makes the second anew.
  Asm frame2;
  frame2.push({-16382, 1})
      .getVar("_root")
      .push({"getInstanceAtDepth"})
      .op(0x52)
      .push({"_name"})
      .op(0x4E)
      .trace();
  frame2.push({"instance1"}).op(0x1C).op(0x44).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1}), w::showFrame(),
                 w::placeObject2({.depth = 2, .character = 1}), actions(frame2), w::showFrame()}),
      {.version = 7, .frameCount = 2});
  EXPECT_EQ(onPlayerTimeline(bytes, 4),
            (std::vector<std::string>{"instance2", "movieclip", "instance4", "movieclip"}));
}

TEST(TimelineNames, UnnamedClipsAreKnownAsInstanceN) {
  Asm frame1;
  frame1.push({"instance1"}).op(0x1C).op(0x44).trace();  // typeof(instance1)
  frame1.push({0}).getVar("instance2").push({"getDepth"}).op(0x52).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1}),
                 w::placeObject2({.depth = 2, .character = 1}), actions(frame1), w::showFrame()}),
      {.version = 6});
  const std::vector<std::string> want = {"movieclip", "-16382"};
  EXPECT_EQ(onScriptStage(bytes, 1), want);
  EXPECT_EQ(onPlayerTimeline(bytes, 1), want);
}

TEST(TimelineNames, ANamedShapeLeadsToTheClipHoldingIt) {
  Asm frame1;
  frame1.push({"sh"}).op(0x1C).op(0x44).trace();         // typeof(sh)
  frame1.getVar("sh").getVar("_root").op(0x49).trace();  // sh == _root
  auto bytes = w::movie(w::concat({w::defineRect(2, 100, 100, 255, 0, 0),
                                   w::placeObject2({.depth = 1, .character = 2, .name = "sh"}),
                                   actions(frame1), w::showFrame()}),
                        {.version = 6});
  EXPECT_EQ(onPlayerTimeline(bytes, 1), (std::vector<std::string>{"movieclip", "true"}));
}

TEST(TimelineSeek, SwappedTimelineClipsKeepTheirPlaceWhenGoingBack) {
  // Frame 2 marks mc1 and swaps it with mc2; the root loops back to frame 1, which
  // places both again: the swapped clips stay, mark and depth included.
  Asm frame1, frame2;
  traceMember(frame1, "mc1", "mark");
  frame1.push({0}).getVar("mc1").push({"getDepth"}).op(0x52).trace();
  setMember(frame2, "mc1", "mark", "kept");
  frame2.getVar("mc2").push({1}).getVar("mc1").push({"swapDepths"}).op(0x52).op(0x17);
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc1"}),
                 w::placeObject2({.depth = 2, .character = 1, .name = "mc2"}), actions(frame1),
                 w::showFrame(), actions(frame2), w::showFrame()}),
      {.version = 6, .frameCount = 2});
  EXPECT_EQ(onPlayerTimeline(bytes, 3),
            (std::vector<std::string>{"undefined", "-16383", "kept", "-16382"}));
}

TEST(TimelineSeek,
     GoingBackLeavesTheTimelinesClipsAtScriptDepthsAndSwappedOnesOnDepthsTheFrameLacks) {
  // Frame 2 places "low" at depth 3, "high" at depth 30000 (script depth 13616), and "a"
  // and "b" at depths 5 and 6, which its action swaps. Frame 3 goes back to frame 1,
  // which holds none of them.
  Asm frame2, frame3;
  frame2.getVar("b").push({1}).getVar("a").push({"swapDepths"}).op(0x52).op(0x17);
  frame3.action(0x81, {0, 0}).op(0x07);
  for (const char* name : {"low", "high", "a", "b"}) frame3.push({name}).op(0x1C).op(0x44).trace();
  auto bytes =
      w::movie(w::concat({emptySprite(), w::showFrame(),
                          w::placeObject2({.depth = 3, .character = 1, .name = "low"}),
                          w::placeObject2({.depth = 30000, .character = 1, .name = "high"}),
                          w::placeObject2({.depth = 5, .character = 1, .name = "a"}),
                          w::placeObject2({.depth = 6, .character = 1, .name = "b"}),
                          actions(frame2), w::showFrame(), actions(frame3), w::showFrame()}),
               {.version = 7, .frameCount = 3});
  EXPECT_EQ(onPlayerTimeline(bytes, 3),
            (std::vector<std::string>{"undefined", "movieclip", "undefined", "undefined"}));

  // Back to a frame that holds the depth a swapped clip is on, that clip stays there.
  Asm keep3;
  keep3.action(0x81, {1, 0}).op(0x07);
  for (const char* name : {"a", "b"})
    keep3.push({0}).getVar(name).push({"getDepth"}).op(0x52).trace();
  auto kept = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 5, .character = 1, .name = "a"}),
                 w::showFrame(), w::placeObject2({.depth = 6, .character = 1, .name = "b"}),
                 actions(frame2), w::showFrame(), w::showFrame(), actions(keep3), w::showFrame()}),
      {.version = 7, .frameCount = 4});
  // Going back to frame 2 (it holds both depths): b on depth 5 stays, a on 6 stays.
  EXPECT_EQ(onPlayerTimeline(kept, 4), (std::vector<std::string>{"-16378", "-16379"}));
}

TEST(TimelineSeek, ARemovedClipsChildrenHearTheirUnloadBeforeIt) {
  // "outer" (sprite 3) holds "mid" (sprite 2), which holds "inner" (sprite 1) and
  // "quiet" (no handler); each but quiet traces its unload. Frame 2 removes outer.
  auto unload = [](const std::string& name) {
    Asm a;
    a.push({"unload " + name}).trace().op(0);
    return std::vector<std::pair<uint32_t, std::vector<uint8_t>>>{
        {swf::ClipEvent::Unload, a.bytes()}};
  };
  auto bytes = w::movie(
      w::concat({emptySprite(),
                 w::defineSprite(
                     2, 1,
                     w::concat({w::placeObject2({.depth = 1, .character = 1, .name = "quiet"}),
                                w::placeObject2({.depth = 2,
                                                 .character = 1,
                                                 .name = "inner",
                                                 .clipActions = unload("inner")}),
                                w::showFrame()})),
                 w::defineSprite(3, 1,
                                 w::concat({w::placeObject2({.depth = 1,
                                                             .character = 2,
                                                             .name = "mid",
                                                             .clipActions = unload("mid")}),
                                            w::showFrame()})),
                 w::placeObject2(
                     {.depth = 1, .character = 3, .name = "outer", .clipActions = unload("outer")}),
                 w::showFrame(), w::removeObject2(1), w::showFrame()}),
      {.version = 7, .frameCount = 2});
  // The innermost first, the removed clip last.
  EXPECT_EQ(onPlayerTimeline(bytes, 2),
            (std::vector<std::string>{"unload inner", "unload mid", "unload outer"}));
}

TEST(TimelineSeek, JumpingForwardPassesThroughTheFramesBetween) {
  // Frame 1 jumps to frame 3. Frame 2 places an unnamed clip that frame 3 removes before
  // placing another: passing through frame 2 made instance1, so frame 3's is instance2.
  Asm frame1, frame3;
  frame1.action(0x81, {2, 0});  // gotoFrame(2), 0-based
  frame1.op(0x07);              // stop
  frame3.push({"instance2"}).op(0x1C).op(0x44).trace();
  auto bytes = w::movie(
      w::concat({emptySprite(), actions(frame1), w::showFrame(),
                 w::placeObject2({.depth = 1, .character = 1}), w::showFrame(), w::removeObject2(1),
                 w::placeObject2({.depth = 2, .character = 1}), actions(frame3), w::showFrame()}),
      {.version = 6, .frameCount = 3});
  EXPECT_EQ(onPlayerTimeline(bytes, 2), std::vector<std::string>{"movieclip"});
}

TEST(TimelineEvents, InitializeAndConstructRunBeforeTheFramesActionsAndLoadInTagOrder) {
  // onClipEvent(initialize), (construct) and (load) of a clip the frame places, and the
  // frame's own action after the placement; then the same with the action first.
  Asm initialize, construct, load, frame1;
  initialize.push({"initialize"}).trace().op(0);
  construct.push({"construct"}).trace().op(0);
  load.push({"load"}).trace().op(0);
  frame1.push({"frame"}).trace();
  auto bytes = w::movie(
      w::concat(
          {emptySprite(),
           w::placeObject2({.depth = 1,
                            .character = 1,
                            .name = "mc",
                            .clipActions = {{swf::ClipEvent::Load, load.bytes()},
                                            {swf::ClipEvent::Construct, construct.bytes()},
                                            {swf::ClipEvent::Initialize, initialize.bytes()}}}),
           actions(frame1), w::showFrame()}),
      {.version = 7});
  EXPECT_EQ(onPlayerTimeline(bytes, 1),
            (std::vector<std::string>{"initialize", "construct", "load", "frame"}));
  auto actionFirst = w::movie(
      w::concat(
          {emptySprite(), actions(frame1),
           w::placeObject2({.depth = 1,
                            .character = 1,
                            .name = "mc",
                            .clipActions = {{swf::ClipEvent::Load, load.bytes()},
                                            {swf::ClipEvent::Construct, construct.bytes()},
                                            {swf::ClipEvent::Initialize, initialize.bytes()}}}),
           w::showFrame()}),
      {.version = 7});
  EXPECT_EQ(onPlayerTimeline(actionFirst, 1),
            (std::vector<std::string>{"initialize", "construct", "frame", "load"}));
}

TEST(TimelineEvents, ClipsOnTheListMoveOnBeforeTheirParentTopmostFirst) {
  // Two two-frame sprites at depths 1 and 2 trace on their second frame; so does the root.
  auto sprite = [](uint16_t id, const std::string& text) {
    Asm a;
    a.push({text}).trace();
    return w::defineSprite(id, 2, w::concat({w::showFrame(), actions(a), w::showFrame()}));
  };
  Asm frame2;
  frame2.push({"root"}).trace();
  auto bytes = w::movie(w::concat({sprite(2, "lower"), sprite(3, "upper"),
                                   w::placeObject2({.depth = 1, .character = 2}),
                                   w::placeObject2({.depth = 2, .character = 3}), w::showFrame(),
                                   actions(frame2), w::showFrame()}),
                        {.version = 6, .frameCount = 2});
  EXPECT_EQ(onPlayerTimeline(bytes, 2), (std::vector<std::string>{"upper", "lower", "root"}));
}

TEST(TimelineEvents, EnterFrameComesAfterTheClipsMoveOnAndBeforeTheFramesActions) {
  // "mc" traces on enterFrame; frame 2 traces, frame 3 removes mc and traces.
  Asm enterFrame, frame2, frame3;
  enterFrame.push({"enterFrame"}).trace().op(0);
  frame2.push({"frame 2"}).trace();
  frame3.push({"frame 3"}).trace();
  auto bytes = w::movie(
      w::concat(
          {emptySprite(),
           w::placeObject2({.depth = 1,
                            .character = 1,
                            .name = "mc",
                            .clipActions = {{swf::ClipEvent::EnterFrame, enterFrame.bytes()}}}),
           w::showFrame(), actions(frame2), w::showFrame(), w::removeObject2(1), actions(frame3),
           w::showFrame()}),
      {.version = 6, .frameCount = 3});
  // No enterFrame in the frame that placed mc, nor in the one that removed it.
  EXPECT_EQ(onPlayerTimeline(bytes, 3),
            (std::vector<std::string>{"enterFrame", "frame 2", "frame 3"}));
}

TEST(TimelineNames, ACreatedTextFieldMeasuresAsItWasMade) {
  // _root.createTextField("field", 1, 10, 10, 100, 20); trace(field._width); trace(field._height)
  Asm frame1;
  frame1.push({20, 100, 10, 10, 1, "field", 6})
      .getVar("_root")
      .push({"createTextField"})
      .op(0x52)
      .op(0x17);
  traceMember(frame1, "field", "_width");
  traceMember(frame1, "field", "_height");
  auto bytes = w::movie(w::concat({actions(frame1), w::showFrame()}), {.version = 7});
  EXPECT_EQ(onPlayerTimeline(bytes, 1), (std::vector<std::string>{"100", "20"}));
}

TEST(TimelineNames, AReferenceToARemovedClipFollowsTheClipMadeLaterAtItsPath) {
  // old = createEmptyMovieClip("dang", 1); old.mark = "old"; old.removeMovieClip();
  // trace(old.mark); createEmptyMovieClip("dang", 2); trace(typeof old.mark) -- the new one's
  Asm frame1;
  frame1.push({"old", 1, "dang", 2})
      .getVar("_root")
      .push({"createEmptyMovieClip"})
      .op(0x52)
      .op(0x3C);
  setMember(frame1, "old", "mark", "old");
  frame1.push({0}).getVar("old").push({"removeMovieClip"}).op(0x52).op(0x17);
  traceMember(frame1, "old", "mark");
  frame1.push({2, "dang", 2}).getVar("_root").push({"createEmptyMovieClip"}).op(0x52).op(0x17);
  setMember(frame1, "dang", "mark", "new");
  traceMember(frame1, "old", "mark");
  auto bytes = w::movie(w::concat({actions(frame1), w::showFrame()}), {.version = 7});
  EXPECT_EQ(onPlayerTimeline(bytes, 1), (std::vector<std::string>{"undefined", "new"}));
}

TEST(TimelineNames, ARemovedClipWithNothingAtItsPathIsEmptyText) {
  // old = createEmptyMovieClip("gone", 1); old.removeMovieClip(); trace("[" + old + "]");
  // trace(old._x); createEmptyMovieClip("gone", 2); trace(old)
  Asm frame1;
  frame1.push({"old", 1, "gone", 2})
      .getVar("_root")
      .push({"createEmptyMovieClip"})
      .op(0x52)
      .op(0x3C);
  frame1.push({0}).getVar("old").push({"removeMovieClip"}).op(0x52).op(0x17);
  frame1.push({"["}).getVar("old").op(0x47).push({"]"}).op(0x47).trace();
  frame1.getVar("old").push({"_x"}).op(0x4E).trace();
  frame1.push({2, "gone", 2}).getVar("_root").push({"createEmptyMovieClip"}).op(0x52).op(0x17);
  frame1.getVar("old").trace();
  auto bytes = w::movie(w::concat({actions(frame1), w::showFrame()}), {.version = 7});
  EXPECT_EQ(onPlayerTimeline(bytes, 1),
            (std::vector<std::string>{"[]", "undefined", "_level0.gone"}));
}

TEST(TimelineSeek, ClipsMoveOnNewestFirstWhereverTheySit) {
  // The root places "older" and "newer"; older's second frame places "inner". From then
  // on inner, the newest, moves on before newer, its uncle.
  auto tracing = [](const std::string& text) { return actions(Asm().push({text}).trace()); };
  auto innerClip = w::defineSprite(1, 3, w::concat({tracing("inner 1"), w::showFrame(),
                                                     tracing("inner 2"), w::showFrame(),
                                                     tracing("inner 3"), w::showFrame()}));
  auto olderClip = w::defineSprite(
      2, 3,
      w::concat({tracing("older 1"), w::showFrame(), tracing("older 2"),
                 w::placeObject2({.depth = 1, .character = 1, .name = "inner"}), w::showFrame(),
                 tracing("older 3"), actions(Asm().op(0x07)), w::showFrame()}));
  auto newerClip = w::defineSprite(3, 3, w::concat({tracing("newer 1"), w::showFrame(),
                                                     tracing("newer 2"), w::showFrame(),
                                                     tracing("newer 3"),
                                                     actions(Asm().op(0x07)), w::showFrame()}));
  auto bytes = w::movie(
      w::concat({innerClip, olderClip, newerClip,
                 w::placeObject2({.depth = 1, .character = 2, .name = "older"}),
                 w::placeObject2({.depth = 2, .character = 3, .name = "newer"}),
                 actions(Asm().op(0x07)), w::showFrame()}),
      {.version = 6, .frameCount = 1});
  EXPECT_EQ(onPlayerTimeline(bytes, 3),
            (std::vector<std::string>{"older 1", "newer 1", "newer 2", "older 2", "inner 1",
                                      "inner 2", "newer 3", "older 3"}));
}

TEST(TimelineNames, ARemovedClipInTheScopeChainLooksUpOnTheRoot) {
  // marker = "root"; old = createEmptyMovieClip("w", 1); old.marker = "clip";
  // with (old) trace(marker); old.removeMovieClip(); with (old) trace(marker)
  Asm frame1;
  frame1.setVar("marker", "root");
  frame1.push({"old", 1, "w", 2})
      .getVar("_root")
      .push({"createEmptyMovieClip"})
      .op(0x52)
      .op(0x3C);
  setMember(frame1, "old", "marker", "clip");
  Asm body = Asm().traceVar("marker");
  auto withOld = [&body](Asm& a) {
    const auto n = static_cast<uint16_t>(body.size());
    a.getVar("old").action(0x94, {static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)});
    a.append(body);
  };
  withOld(frame1);
  frame1.push({0}).getVar("old").push({"removeMovieClip"}).op(0x52).op(0x17);
  withOld(frame1);
  auto bytes = w::movie(w::concat({actions(frame1), w::showFrame()}), {.version = 7});
  EXPECT_EQ(onPlayerTimeline(bytes, 1), (std::vector<std::string>{"clip", "root"}));
}

}  // namespace
}  // namespace orv::movie::avm1

namespace orv::movie::avm1 {
namespace {

// mc.scrollRect holds a Rectangle of the clip's pixels; anything but an object shows
// the whole clip again.
TEST(TimelineNames, ScrollRectKeepsTheRectangleScriptsGive) {
  Asm frame1;
  traceMember(frame1, "mc", "scrollRect");
  // mc.scrollRect = new flash.geom.Rectangle(100, 50, 30, 40)
  frame1.getVar("mc").push({"scrollRect", 40, 30, 50, 100, 4}).getVar("flash");
  frame1.push({"geom"}).op(0x4E).push({"Rectangle"}).op(0x53).op(0x4F);
  traceMember(frame1, "mc", "scrollRect");
  frame1.getVar("mc").push({"scrollRect", test::Null{}}).op(0x4F);
  traceMember(frame1, "mc", "scrollRect");
  auto bytes = w::movie(
      w::concat({emptySprite(), w::placeObject2({.depth = 1, .character = 1, .name = "mc"}),
                 actions(frame1), w::showFrame()}),
      {.version = 8});
  const std::vector<std::string> want = {"undefined", "(x=100, y=50, w=30, h=40)", "undefined"};
  EXPECT_EQ(onPlayerTimeline(bytes, 1), want);
}

TEST(TimelineSeek, FrameValuesAreWholeNumbersOrLabelsAndAFrameLeftAndReenteredRunsOnce) {
  // Frame 1 stops and sends the root about with gotoAndStop values, tracing the frame
  // after each; last it goes back to frame 1, whose actions must not run again. Frame 2
  // is labelled "4.8", frame 3 "obj"; there are six frames.
  Asm frame1;
  auto gotoAndStop = [&](std::initializer_list<test::PushItem> value) {
    frame1.push(value).action(0x9F, {0}).getVar("_currentframe").trace();
  };
  auto gotoAndStopVar = [&](const std::string& name) {
    frame1.getVar(name).action(0x9F, {0}).getVar("_currentframe").trace();
  };
  Asm returnsObj, returnsSix;
  returnsObj.push({"obj"}).op(0x3E);
  returnsSix.push({"6"}).op(0x3E);
  frame1.op(0x07).push({"ran"}).trace();
  // o.toString gives "obj"; String objects give their own text, whatever toString says.
  frame1.push({"o", 0, "Object"}).op(0x40).op(0x1D);
  frame1.getVar("o").push({"toString"}).function("", {}, returnsObj).op(0x4F);
  frame1.getVar("String")
      .push({"prototype"})
      .op(0x4E)
      .push({"toString"})
      .function("", {}, returnsSix)
      .op(0x4F);
  frame1.push({"s", "5", 1, "String"}).op(0x40).op(0x1D);
  gotoAndStop({3});
  gotoAndStop({0});  // frames 0 and below go nowhere
  gotoAndStop({-1});
  gotoAndStop({4.8});   // not whole: the label "4.8"
  gotoAndStop({5.5});   // no such label
  gotoAndStop({"4"});   // text that reads as a whole number
  gotoAndStopVar("o");  // the label its toString gives
  gotoAndStopVar("s");
  gotoAndStop({99});  // past the end: the last frame
  frame1.push({0})
      .getVar("_root")
      .push({"gotoAndStop"})
      .op(0x52)
      .op(0x17)
      .getVar("_currentframe")
      .trace();
  gotoAndStop({1});
  auto bytes = w::movie(w::concat({actions(frame1), w::showFrame(), w::frameLabel("4.8"),
                                   w::showFrame(), w::frameLabel("obj"), w::showFrame(),
                                   w::showFrame(), w::showFrame(), w::showFrame()}),
                        {.version = 6, .frameCount = 6});
  const std::vector<std::string> expected = {"ran", "3", "3", "3", "2", "2",
                                             "4",   "3", "5", "6", "6", "1"};
  EXPECT_EQ(onPlayerTimeline(bytes, 3), expected);
}

TEST(TimelineSeek, ANewEmptyClipRunsItsOnConstructBeforeItIsReturned) {
  // MovieClip.prototype.onConstruct = function() { trace("made " + this._name + " at " +
  // this.getDepth()); }; c = _root.createEmptyMovieClip("kid", 7); trace(c._name);
  // then a member that is not a function is passed over.
  Asm hook, frame1;
  hook.push({"made "})
      .getVar("this")
      .push({"_name"})
      .op(0x4E)
      .op(0x47)
      .push({" at "})
      .op(0x47)
      .push({0})
      .getVar("this")
      .push({"getDepth"})
      .op(0x52)
      .op(0x47)
      .trace();
  frame1.getVar("MovieClip")
      .push({"prototype"})
      .op(0x4E)
      .push({"onConstruct"})
      .function("", {}, hook)
      .op(0x4F);
  frame1.push({"c", 7, "kid", 2}).getVar("_root").push({"createEmptyMovieClip"}).op(0x52).op(0x1D);
  frame1.getVar("c").push({"_name"}).op(0x4E).trace();
  frame1.getVar("MovieClip").push({"prototype"}).op(0x4E).push({"onConstruct", 5}).op(0x4F);
  frame1.push({"d", 8, "other", 2})
      .getVar("_root")
      .push({"createEmptyMovieClip"})
      .op(0x52)
      .op(0x1D);
  frame1.getVar("d").push({"_name"}).op(0x4E).trace();
  auto bytes =
      w::movie(w::concat({actions(frame1), w::showFrame()}), {.version = 6, .frameCount = 1});
  EXPECT_EQ(onPlayerTimeline(bytes, 1),
            (std::vector<std::string>{"made kid at 7", "kid", "other"}));
}

TEST(TimelineSeek, AFrameThatCallsItselfStopsAtTheNestingLimit) {
  // Frame 1: trace("in"); call("1") -- each call runs frame 1's actions again, nested.
  // Frame 2: trace("next").
  Asm frame1, frame2;
  frame1.push({"in"}).trace().push({"1"}).action(0x9E, {});
  frame2.push({"next"}).trace();
  auto bytes =
      w::movie(w::concat({actions(frame1), w::showFrame(), actions(frame2), w::showFrame()}),
               {.version = 6, .frameCount = 2});
  std::vector<std::string> out = onPlayerTimeline(bytes, 2);
  ASSERT_GT(out.size(), 100u);
  EXPECT_LE(out.size(), 258u);  // the block and 256 nested in it, then frame 2
  EXPECT_EQ(std::count(out.begin(), out.end(), "in"), long(out.size()) - 1);
  // Only that block ended: the movie's scripts go on.
  EXPECT_EQ(out.back(), "next");
}

}  // namespace
}  // namespace orv::movie::avm1
