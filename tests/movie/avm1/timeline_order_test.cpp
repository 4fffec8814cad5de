// What the timeline does with tags whose effect depends on what came before them: a new
// placement on a depth already in use, going back over clips placed later, init actions of
// a sprite defined further on, and the order of init actions and new clips' events.
// Checked through what the frame scripts trace on the player's own timeline.
#include <gtest/gtest.h>

#include <algorithm>

#include "movie/avm1_host/timeline_bridge.h"
#include "movie/timeline/stage.h"
#include "movie/swf/reader.h"
#include "script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie::avm1 {
namespace {

namespace w = orv::movie::test;
using test::Asm;

std::vector<uint8_t> actions(const Asm& code) { return w::doAction(code.bytes()); }

std::vector<uint8_t> doInitAction(uint16_t sprite, const Asm& code) {
  std::vector<uint8_t> body = {uint8_t(sprite & 0xFF), uint8_t(sprite >> 8)};
  const auto bytes = code.bytes();
  body.insert(body.end(), bytes.begin(), bytes.end());
  return w::tag(59, body, true);
}

// trace(typeof(name))
Asm& traceTypeOf(Asm& a, const std::string& name) { return a.getVar(name).op(0x44).trace(); }

std::vector<std::string> onPlayerTimeline(const std::vector<uint8_t>& bytes, int frames) {
  auto movie = swf::readMovie(bytes).movie;
  if (!movie) return {"<unreadable>"};
  Stage stage(movie);
  std::vector<std::string> out;
  stage.traceSink = [&out](const std::string& line) { out.push_back(line); };
  TimelineBridge bridge(stage);
  stage.setListener(&bridge);
  stage.dispatchEvents();
  for (int i = 1; i < frames; ++i) bridge.tick();
  return out;
}

TEST(TimelineOrder, ANewPlacementOnADepthInUseLeavesWhatIsThere) {
  // Frame 1 places sprite 1 as "first" at depth 3. Frame 2 places sprite 2 as "second" on
  // the same depth without the move flag, frame 3 again with a ratio; frame 4 removes the
  // depth and places "third" there.
  Asm check2, check3, check4;
  traceTypeOf(traceTypeOf(check2, "first"), "second");
  traceTypeOf(traceTypeOf(check3, "first"), "second");
  traceTypeOf(traceTypeOf(check4, "first"), "third");
  auto bytes = w::movie(
      w::concat({w::defineSprite(1, 1, w::showFrame()), w::defineSprite(2, 1, w::showFrame()),
                 w::placeObject2({.depth = 3, .character = 1, .name = "first"}), w::showFrame(),
                 w::placeObject2({.depth = 3, .character = 2, .name = "second"}), actions(check2),
                 w::showFrame(),
                 w::placeObject2({.depth = 3, .character = 2, .ratio = 5, .name = "second"}),
                 actions(check3), w::showFrame(), w::removeObject2(3),
                 w::placeObject2({.depth = 3, .character = 2, .name = "third"}), actions(check4),
                 w::showFrame()}),
      {.version = 6, .frameCount = 4});
  EXPECT_EQ(onPlayerTimeline(bytes, 4),
            (std::vector<std::string>{"movieclip", "undefined", "movieclip", "undefined",
                                      "undefined", "movieclip"}));

  // Going back to frame 2 rebuilds the list the same way: "first" holds the depth.
  auto movie = swf::readMovie(bytes).movie;
  ASSERT_TRUE(movie);
  Stage stage(movie);
  stage.root().gotoFrame(2);
  ASSERT_TRUE(stage.root().objectAt(3));
  EXPECT_EQ(stage.root().objectAt(3)->name, "first");
  stage.root().gotoFrame(1);
  ASSERT_TRUE(stage.root().objectAt(3));
  EXPECT_EQ(stage.root().objectAt(3)->name, "first");
  EXPECT_EQ(stage.root().objectAt(3)->characterId, 1);
}

TEST(TimelineOrder, GoingBackKeepsAClipPlacedLaterWhereTheFrameHoldsTheDepthWithTheSameRatio) {
  // Frame 1: sprite 1 as "a" at depth 1, as "b" at depth 2 (ratio 10), as "c" at depth 4,
  // shape 9 at depth 3. Frame 2 removes depths 1 to 3 and places sprite 2 as "a2" (with
  // an unload handler), "b2" (ratio 20) and shape 8 there, and gives depth 4 sprite 2 by
  // a move. Frame 3 goes back to frame 1, whose actions trace typeof(a2).
  Asm unload, frame1, frame3;
  unload.push({"unload a2"}).trace().op(0);
  frame1.getVar("a2").op(0x44).trace();
  frame3.action(0x81, {0, 0}).op(0x07);  // gotoAndStop(1)
  auto bytes = w::movie(
      w::concat({w::defineSprite(1, 1, w::showFrame()),
                 w::defineSprite(2, 1, w::showFrame()),
                 w::defineRect(9, 10, 10, 255, 0, 0),
                 w::defineRect(8, 20, 20, 0, 255, 0),
                 w::placeObject2({.depth = 1, .character = 1, .name = "a"}),
                 w::placeObject2({.depth = 2, .character = 1, .ratio = 10, .name = "b"}),
                 w::placeObject2({.depth = 3, .character = 9}),
                 w::placeObject2({.depth = 4, .character = 1, .name = "c"}),
                 actions(frame1),
                 w::showFrame(),
                 w::removeObject2(1),
                 w::removeObject2(2),
                 w::removeObject2(3),
                 w::placeObject2({.depth = 1,
                                  .character = 2,
                                  .name = "a2",
                                  .clipActions = {{swf::ClipEvent::Unload, unload.bytes()}}}),
                 w::placeObject2({.depth = 2, .character = 2, .ratio = 20, .name = "b2"}),
                 w::placeObject2({.depth = 3, .character = 8}),
                 w::placeObject2({.depth = 4, .character = 2, .move = true}),
                 w::showFrame(),
                 actions(frame3),
                 w::showFrame()}),
      {.version = 6, .frameCount = 3});
  // "a2" stays through the jump back (no unload), and frame 1's actions see it.
  EXPECT_EQ(onPlayerTimeline(bytes, 4), (std::vector<std::string>{"undefined", "movieclip"}));

  auto movie = swf::readMovie(bytes).movie;
  ASSERT_TRUE(movie);
  Stage stage(movie);
  MovieClip& root = stage.root();
  root.gotoFrame(1);
  ASSERT_TRUE(root.objectAt(1) && root.objectAt(2) && root.objectAt(3) && root.objectAt(4));
  const uint64_t a2 = root.objectAt(1)->instanceId, b2 = root.objectAt(2)->instanceId;
  root.gotoFrame(0);
  ASSERT_TRUE(root.objectAt(1) && root.objectAt(2) && root.objectAt(3) && root.objectAt(4));
  EXPECT_EQ(root.objectAt(1)->instanceId, a2);  // kept, as it was
  EXPECT_EQ(root.objectAt(1)->name, "a2");
  EXPECT_EQ(root.objectAt(1)->characterId, 2);
  EXPECT_NE(root.objectAt(2)->instanceId, b2);  // another ratio: frame 1's "b" again
  EXPECT_EQ(root.objectAt(2)->name, "b");
  EXPECT_EQ(root.objectAt(3)->characterId, 9);  // shapes are placed again
  EXPECT_EQ(root.objectAt(4)->characterId, 1);  // a character a move brought in goes
  EXPECT_EQ(root.objectAt(4)->name, "c");

  // Playing on from frame 1, frame 2's removal and placement make a new "a2".
  root.gotoFrame(1);
  ASSERT_TRUE(root.objectAt(1));
  EXPECT_NE(root.objectAt(1)->instanceId, a2);
}

// Frame 1: init actions of sprite 5 (defined in frame 2), of sprite 6 (defined later in frame
// 1) and of sprite 7 (never defined), then its own action. Frame 2 defines sprite 5 and
// traces; frame 3 traces and, the first time, goes back to frame 1.
std::vector<uint8_t> initActionsBeforeTheirSprites() {
  Asm init5, init6, init7, frame1, frame2, frame3;
  init5.push({"init 5"}).trace();
  init6.push({"init 6"}).trace();
  init7.push({"init 7"}).trace();
  frame1.push({"frame 1"}).trace();
  frame2.push({"frame 2"}).trace();
  // if (!back) { back = true; gotoAndPlay(1) }
  Asm goBack;
  goBack.setVar("back", true).action(0x81, {0, 0}).op(0x06);
  frame3.push({"frame 3"})
      .trace()
      .getVar("back")
      .ifTrue(static_cast<int16_t>(goBack.bytes().size()))
      .append(goBack);
  return w::movie(w::concat({doInitAction(5, init5), doInitAction(6, init6), doInitAction(7, init7),
                             w::defineSprite(6, 1, w::showFrame()), actions(frame1), w::showFrame(),
                             w::defineSprite(5, 1, w::showFrame()), actions(frame2), w::showFrame(),
                             actions(frame3), w::showFrame()}),
                  {.version = 6, .frameCount = 3});
}

TEST(TimelineOrder, InitActionsOfASpriteDefinedFurtherOnWaitUntilTheTimelineHasBeenThere) {
  const auto bytes = initActionsBeforeTheirSprites();
  auto movie = swf::readMovie(bytes).movie;
  ASSERT_TRUE(movie);
  ASSERT_EQ(movie->root.frames.size(), 3u);
  const auto& inits = movie->root.frames[0].initActions;
  ASSERT_EQ(inits.size(), 3u);
  EXPECT_EQ(inits[0].definedInFrame, 1);  // sprite 5: in frame 2
  EXPECT_EQ(inits[1].definedInFrame, 0);  // sprite 6: later in frame 1
  EXPECT_EQ(inits[2].definedInFrame, swf::DoInitAction::kNeverDefined);

  // None runs the first time through frame 1; back there, those of both sprites now
  // defined run (once), before the frame's action; the undefined sprite's never do.
  EXPECT_EQ(onPlayerTimeline(bytes, 6),
            (std::vector<std::string>{"frame 1", "frame 2", "frame 3", "init 5", "init 6",
                                      "frame 1", "frame 2", "frame 3", "frame 1"}));
}

TEST(TimelineOrder, InitActionsOfASpriteDefinedEarlierRunTheFirstTime) {
  Asm init, frame1;
  init.push({"init"}).trace();
  frame1.push({"frame 1"}).trace();
  auto bytes = w::movie(w::concat({w::defineSprite(5, 1, w::showFrame()), doInitAction(5, init),
                                   actions(frame1), w::showFrame()}),
                        {.version = 6});
  auto movie = swf::readMovie(bytes).movie;
  ASSERT_TRUE(movie);
  EXPECT_EQ(movie->root.frames[0].initActions.at(0).definedInFrame, -1);
  EXPECT_EQ(onPlayerTimeline(bytes, 2), (std::vector<std::string>{"init", "frame 1"}));
}

TEST(TimelineOrder, InitActionsAndInitializeEventsRunInTagOrderThenEveryConstruct) {
  // Frame 1: init actions of sprite 4, "mc1" (sprite 4) placed at depth 11, init actions of
  // sprite 6, "mc2" (sprite 6) placed at depth 10, the frame's action. Each clip traces its
  // initialize, construct and load events.
  auto handlers = [](const std::string& name) {
    Asm initialize, construct, load;
    initialize.push({"initialize " + name}).trace().op(0);
    construct.push({"construct " + name}).trace().op(0);
    load.push({"load " + name}).trace().op(0);
    return std::vector<std::pair<uint32_t, std::vector<uint8_t>>>{
        {swf::ClipEvent::Initialize, initialize.bytes()},
        {swf::ClipEvent::Construct, construct.bytes()},
        {swf::ClipEvent::Load, load.bytes()}};
  };
  Asm init4, init6, frame1;
  init4.push({"init 4"}).trace();
  init6.push({"init 6"}).trace();
  frame1.push({"frame"}).trace();
  auto bytes = w::movie(
      w::concat({w::defineSprite(4, 1, w::showFrame()), w::defineSprite(6, 1, w::showFrame()),
                 doInitAction(4, init4),
                 w::placeObject2(
                     {.depth = 11, .character = 4, .name = "mc1", .clipActions = handlers("mc1")}),
                 doInitAction(6, init6),
                 w::placeObject2(
                     {.depth = 10, .character = 6, .name = "mc2", .clipActions = handlers("mc2")}),
                 actions(frame1), w::showFrame()}),
      {.version = 7});
  // The load events come in the order of the tags that placed the clips, both before the
  // frame's action, whose tag follows them.
  EXPECT_EQ(onPlayerTimeline(bytes, 1),
            (std::vector<std::string>{"init 4", "initialize mc1", "init 6", "initialize mc2",
                                      "construct mc1", "construct mc2", "load mc1", "load mc2",
                                      "frame"}));
}

TEST(TimelineOrder, ClipsAScriptsGotoPlacesAreConstructedBeforeTheScriptGoesOn) {
  // Frame 2 jumps to frame 3 and traces; frame 3 places "mc" (sprite 4, with initialize,
  // construct and load handlers) at depth 5 and traces.
  Asm initialize, construct, load, jump, frame3;
  initialize.push({"initialize mc"}).trace().op(0);
  construct.push({"construct mc"}).trace().op(0);
  load.push({"load mc"}).trace().op(0);
  jump.action(0x81, {2, 0}).op(0x07).push({"after goto"}).trace().getVar("mc").op(0x44).trace();
  frame3.push({"frame 3"}).trace();
  auto bytes = w::movie(
      w::concat({w::defineSprite(4, 1, w::showFrame()), w::showFrame(), actions(jump),
                 w::showFrame(),
                 w::placeObject2({.depth = 5,
                                  .character = 4,
                                  .name = "mc",
                                  .clipActions = {{swf::ClipEvent::Initialize, initialize.bytes()},
                                                  {swf::ClipEvent::Construct, construct.bytes()},
                                                  {swf::ClipEvent::Load, load.bytes()}}}),
                 actions(frame3), w::showFrame()}),
      {.version = 7, .frameCount = 3});
  std::vector<std::string> got = onPlayerTimeline(bytes, 3);
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 4),
            (std::vector<std::string>{"initialize mc", "construct mc", "after goto", "movieclip"}));
  // The load event and the frame's actions (whose tag follows the placement) wait until
  // the script is done.
  EXPECT_EQ(got[4], "load mc");
  EXPECT_EQ(got[5], "frame 3");

  // Reached by the clock instead, the clip is constructed before the frame's actions too.
  auto played = w::movie(
      w::concat({w::defineSprite(4, 1, w::showFrame()),
                 w::placeObject2({.depth = 5,
                                  .character = 4,
                                  .name = "mc",
                                  .clipActions = {{swf::ClipEvent::Construct, construct.bytes()}}}),
                 actions(frame3), w::showFrame()}),
      {.version = 7});
  EXPECT_EQ(onPlayerTimeline(played, 1), (std::vector<std::string>{"construct mc", "frame 3"}));
}

TEST(TimelineOrder, AChildMovesOnWithItsEventsBeforeItsParentsEnterFrameAndActions) {
  // "p" (sprite 3, two frames, enterFrame handler) holds "c" (sprite 2, two frames, enterFrame
  // handler), whose second frame places "k" (sprite 1) with construct and load handlers;
  // p's second frame traces.
  auto say = [](const std::string& text) { return Asm().push({text}).trace().op(0).bytes(); };
  Asm pFrame2;
  pFrame2.push({"p frame 2"}).trace();
  auto child = w::defineSprite(
      2, 2,
      w::concat({w::showFrame(),
                 w::placeObject2({.depth = 1,
                                  .character = 1,
                                  .name = "k",
                                  .clipActions = {{swf::ClipEvent::Construct, say("k construct")},
                                                  {swf::ClipEvent::Load, say("k load")}}}),
                 w::showFrame()}));
  auto parent = w::defineSprite(
      3, 2,
      w::concat(
          {w::placeObject2({.depth = 1,
                            .character = 2,
                            .name = "c",
                            .clipActions = {{swf::ClipEvent::EnterFrame, say("c enterFrame")}}}),
           w::showFrame(), actions(pFrame2), w::showFrame()}));
  auto bytes = w::movie(
      w::concat(
          {w::defineSprite(1, 1, w::showFrame()), child, parent,
           w::placeObject2({.depth = 1,
                            .character = 3,
                            .name = "p",
                            .clipActions = {{swf::ClipEvent::EnterFrame, say("p enterFrame")}}}),
           w::showFrame()}),
      {.version = 7});
  // The child's new clip is constructed, then the child's enterFrame, its frame, the new
  // clip's load; only then the parent's enterFrame and its frame's actions.
  EXPECT_EQ(onPlayerTimeline(bytes, 2),
            (std::vector<std::string>{"k construct", "c enterFrame", "k load", "p enterFrame",
                                      "p frame 2"}));
}

TEST(TimelineOrder, TheClassOnLoadOfAClipWithoutClipEventsWaitsForEveryFramesActions) {
  // Sprite 3 is exported as "Thing", a class whose constructor and onLoad trace. "mc"
  // (sprite 2) places a Thing as "t" on its second frame, with no onClipEvent handlers
  // (as "h", with a load handler, next to it); the root's second frame traces.
  auto traceName = [](const std::string& text) {
    return Asm().push({text}).getVar("this").push({"_name"}).op(0x4E).op(0x47).trace();
  };
  Asm init;
  init.push({"_global"}).op(0x1C).push({"Thing"}).function("", {}, traceName("ctor ")).op(0x4F);
  init.getVar("Thing")
      .push({"prototype"})
      .op(0x4E)
      .push({"onLoad"})
      .function("", {}, traceName("onLoad "))
      .op(0x4F);
  init.getVar("Thing")
      .push({"Thing", 2})
      .getVar("Object")
      .push({"registerClass"})
      .op(0x52)
      .op(0x17);
  w::BitWriter exports;
  exports.u16(1);
  exports.u16(3);
  exports.string("Thing");
  Asm rootFrame2, load;
  rootFrame2.push({"root frame 2"}).trace();
  load.push({"load h"}).trace().op(0);
  auto mc = w::defineSprite(
      2, 2,
      w::concat({w::showFrame(), w::placeObject2({.depth = 1, .character = 3, .name = "t"}),
                 w::placeObject2({.depth = 2,
                                  .character = 3,
                                  .name = "h",
                                  .clipActions = {{swf::ClipEvent::Load, load.bytes()}}}),
                 w::showFrame()}));
  auto bytes = w::movie(w::concat({w::defineSprite(3, 1, w::showFrame()), w::tag(56, exports.bytes),
                                   doInitAction(3, init), mc,
                                   w::placeObject2({.depth = 1, .character = 2, .name = "mc"}),
                                   w::showFrame(), actions(rootFrame2), w::showFrame()}),
                        {.version = 7, .frameCount = 2});
  EXPECT_EQ(onPlayerTimeline(bytes, 2),
            (std::vector<std::string>{"ctor t", "ctor h", "load h", "onLoad h", "root frame 2",
                                      "onLoad t"}));
}

TEST(TimelineOrder, MoviesForFlashPlayer9OnReportAPlacementOnATakenDepth) {
  // Frame 1 places sprite 1 at depth 1 twice, the second time without the move flag.
  for (int version : {8, 9}) {
    auto bytes = w::movie(w::concat({w::defineSprite(1, 1, w::showFrame()),
                                     w::placeObject2({.depth = 1, .character = 1, .name = "a"}),
                                     w::placeObject2({.depth = 1, .character = 1, .name = "b"}),
                                     actions(Asm().push({"done"}).trace()), w::showFrame()}),
                          {.version = static_cast<uint8_t>(version), .frameCount = 1});
    std::vector<std::string> expected{"done"};
    if (version >= 9)
      expected.insert(expected.begin(), "Warning: Failed to place object at depth 1.");
    EXPECT_EQ(onPlayerTimeline(bytes, 1), expected) << version;
  }
}

TEST(TimelineOrder, ANameExportedOnALaterFrameIsUnknownUntilThatFrame) {
  // Sprite 1 is exported as "Late" by an ExportAssets tag of the root's second frame; both
  // frames try attachMovie("Late", ...) and trace what it gives.
  w::BitWriter exports;
  exports.u16(1);
  exports.u16(1);
  exports.string("Late");
  auto attach = [](const char* name, int depth) {
    return Asm().push({depth, name, "Late", 3, "attachMovie"}).op(0x3D).trace();
  };
  auto bytes = w::movie(
      w::concat({w::defineSprite(1, 1, w::showFrame()), actions(attach("early", 1)), w::showFrame(),
                 w::tag(56, exports.bytes), actions(attach("late", 2).op(0x07)), w::showFrame()}),
      {.version = 6, .frameCount = 2});
  EXPECT_EQ(onPlayerTimeline(bytes, 2), (std::vector<std::string>{"undefined", "_level0.late"}));
}

TEST(TimelineOrder, AConstructHandlerAlreadySeesItsClassPrototype) {
  // Sprite 2, exported as "Custom" and registered to a class whose prototype has "mark",
  // is placed with an on(construct) handler tracing this.mark; the constructor traces too.
  w::BitWriter exports;
  exports.u16(1);
  exports.u16(2);
  exports.string("Custom");
  Asm init;
  init.push({"_global"})
      .op(0x1C)
      .push({"Cls"})
      .function("", {}, Asm().push({"ctor"}).trace())
      .op(0x4F);
  init.getVar("Cls").push({"prototype"}).op(0x4E).push({"mark", "from class"}).op(0x4F);
  init.getVar("Cls").push({"Custom", 2}).getVar("Object").push({"registerClass"}).op(0x52).op(0x17);
  Asm onConstruct;
  onConstruct.getVar("this").push({"mark"}).op(0x4E).trace().op(0);
  auto bytes = w::movie(
      w::concat(
          {w::defineSprite(2, 1, w::showFrame()), w::tag(56, exports.bytes), doInitAction(2, init),
           w::placeObject2({.depth = 1,
                            .character = 2,
                            .name = "c",
                            .clipActions = {{swf::ClipEvent::Construct, onConstruct.bytes()}}}),
           w::showFrame()}),
      {.version = 7, .frameCount = 1});
  EXPECT_EQ(onPlayerTimeline(bytes, 1), (std::vector<std::string>{"from class", "ctor"}));
}

TEST(TimelineOrder, ANameFindsAClipStillUnloadingBeforeTheOneNowAtItsDepth) {
  // Frame 1 places "z" (sprite 1) with a load handler that marks it and an unload handler;
  // frame 2 traces z.mark, removes z and places another "z" at its depth; frame 3 traces
  // z.mark.
  Asm load, unload, traceMark;
  load.getVar("this").push({"mark", "old"}).op(0x4F).op(0);
  unload.push({"unload"}).trace().op(0);
  traceMark.getVar("z").push({"mark"}).op(0x4E).trace();
  auto bytes = w::movie(
      w::concat({w::defineSprite(1, 1, w::showFrame()),
                 w::placeObject2({.depth = 1,
                                  .character = 1,
                                  .name = "z",
                                  .clipActions = {{swf::ClipEvent::Load, load.bytes()},
                                                  {swf::ClipEvent::Unload, unload.bytes()}}}),
                 w::showFrame(), actions(traceMark), w::removeObject2(1),
                 w::placeObject2({.depth = 1, .character = 1, .name = "z"}), w::showFrame(),
                 actions(traceMark), w::showFrame()}),
      {.version = 6, .frameCount = 3});
  // The one leaving while its unload handler waits, then the new one.
  EXPECT_EQ(onPlayerTimeline(bytes, 3), (std::vector<std::string>{"old", "unload", "undefined"}));
}

TEST(TimelineOrder, SiblingsLoadInTagOrderMoveOnNewestFirstAndUnloadInTheOrderOfTheirRemovals) {
  // Frame 1 places "a", "b" and "c" at depths 10, 12 and 11, in that tag order; each is a
  // two-frame sprite that traces on both frames, with load and unload handlers. Frame 3
  // removes depths 10, 12 and 11, in that order.
  auto sprite = [](uint16_t id, const std::string& name) {
    Asm first, second;
    first.push({name + " frame 1"}).trace();
    second.push({name + " frame 2"}).trace().op(0x07);
    return w::defineSprite(
        id, 2, w::concat({actions(first), w::showFrame(), actions(second), w::showFrame()}));
  };
  auto place = [](uint16_t depth, uint16_t id, const std::string& name) {
    Asm load, unload;
    load.push({name + " load"}).trace().op(0);
    unload.push({name + " unload"}).trace().op(0);
    return w::placeObject2({.depth = depth,
                            .character = id,
                            .name = name,
                            .clipActions = {{swf::ClipEvent::Load, load.bytes()},
                                            {swf::ClipEvent::Unload, unload.bytes()}}});
  };
  auto bytes = w::movie(
      w::concat({sprite(1, "a"), sprite(2, "b"), sprite(3, "c"), place(10, 1, "a"),
                 place(12, 2, "b"), place(11, 3, "c"), w::showFrame(), w::showFrame(),
                 w::removeObject2(10), w::removeObject2(12), w::removeObject2(11), w::showFrame()}),
      {.version = 6, .frameCount = 3});
  EXPECT_EQ(onPlayerTimeline(bytes, 3),
            (std::vector<std::string>{"a load", "a frame 1", "b load", "b frame 1", "c load",
                                      "c frame 1", "c frame 2", "b frame 2", "a frame 2",
                                      "a unload", "b unload", "c unload"}));
}

TEST(TimelineOrder, AClipPlacedBetweenTwoActionsOfAFrameRunsItsFirstFrameBetweenThem) {
  // The root's only frame: an action, "mc" (whose first frame traces, with a load
  // handler), another action.
  Asm before, after, mcFrame, load;
  before.push({"before"}).trace();
  after.push({"after"}).trace();
  mcFrame.push({"mc frame 1"}).trace();
  load.push({"mc load"}).trace().op(0);
  auto bytes =
      w::movie(w::concat({w::defineSprite(1, 1, w::concat({actions(mcFrame), w::showFrame()})),
                          actions(before),
                          w::placeObject2({.depth = 1,
                                           .character = 1,
                                           .name = "mc",
                                           .clipActions = {{swf::ClipEvent::Load, load.bytes()}}}),
                          actions(after), w::showFrame()}),
               {.version = 6});
  EXPECT_EQ(onPlayerTimeline(bytes, 1),
            (std::vector<std::string>{"before", "mc load", "mc frame 1", "after"}));
  // Nested: the innermost clip's first frame, then its parent's, then the root's action.
  Asm inner, outer, root;
  inner.push({"inner"}).trace();
  outer.push({"outer"}).trace();
  root.push({"root"}).trace();
  auto nested = w::movie(
      w::concat({w::defineSprite(1, 1, w::concat({actions(inner), w::showFrame()})),
                 w::defineSprite(2, 1,
                                 w::concat({w::placeObject2({.depth = 1, .character = 1}),
                                            actions(outer), w::showFrame()})),
                 w::placeObject2({.depth = 1, .character = 2}), actions(root), w::showFrame()}),
      {.version = 6});
  EXPECT_EQ(onPlayerTimeline(nested, 1), (std::vector<std::string>{"inner", "outer", "root"}));
}

TEST(TimelineOrder, TheMoviesOnLoadFollowsItsFirstFrame) {
  // The first frame places "mc" (whose first frame traces), then its action traces and
  // gives the root an onLoad method; the second frame traces.
  Asm mcFrame, rootFrame1, rootFrame2;
  mcFrame.push({"mc frame 1"}).trace();
  rootFrame1.push({"root frame 1"}).trace();
  rootFrame1.getVar("this")
      .push({"onLoad"})
      .function("", {}, Asm().push({"root onLoad"}).trace())
      .op(0x4F);
  rootFrame2.push({"root frame 2"}).trace();
  auto bytes = w::movie(
      w::concat({w::defineSprite(1, 1, w::concat({actions(mcFrame), w::showFrame()})),
                 w::placeObject2({.depth = 1, .character = 1, .name = "mc"}), actions(rootFrame1),
                 w::showFrame(), actions(rootFrame2), w::showFrame()}),
      {.version = 6, .frameCount = 2});
  EXPECT_EQ(onPlayerTimeline(bytes, 2), (std::vector<std::string>{"mc frame 1", "root frame 1",
                                                                  "root onLoad", "root frame 2"}));
}

TEST(TimelineOrder, InitActionsRunAheadOfTheActionsTheTickQueued) {
  // "c" (sprite 2, two frames) traces on its second frame and, when `jump` is set, sends
  // the root to frame 4. The root's frames 2 and 3 hold init actions for sprites 5 and 6;
  // frames 2 and 4 trace.
  auto movie = [](bool jump) {
    Asm cFrame2, init5, init6, rootFrame2, rootFrame4;
    cFrame2.push({"c frame 2"}).trace();
    if (jump)
      cFrame2.push({4, 1})
          .getVar("_root")
          .push({"gotoAndStop"})
          .op(0x52)
          .op(0x17)
          .push({"after goto"})
          .trace();
    init5.push({"init 5"}).trace();
    init6.push({"init 6"}).trace();
    rootFrame2.push({"root frame 2"}).trace();
    rootFrame4.push({"root frame 4"}).trace();
    return w::movie(
        w::concat(
            {w::defineSprite(5, 1, w::showFrame()), w::defineSprite(6, 1, w::showFrame()),
             w::defineSprite(2, 2, w::concat({w::showFrame(), actions(cFrame2), w::showFrame()})),
             w::placeObject2({.depth = 1, .character = 2, .name = "c"}), w::showFrame(),
             doInitAction(5, init5), actions(rootFrame2), w::showFrame(), doInitAction(6, init6),
             w::showFrame(), actions(rootFrame4), w::showFrame()}),
        {.version = 6, .frameCount = 4});
  };
  // Reached by the clock, the root's init actions run before the child's frame, which
  // moved on first.
  auto played = onPlayerTimeline(movie(false), 2);
  EXPECT_EQ(played, (std::vector<std::string>{"init 5", "c frame 2", "root frame 2"}));
  // Those of the frame a script's goto passes run once the script is done, ahead of the
  // actions queued before.
  EXPECT_EQ(onPlayerTimeline(movie(true), 2),
            (std::vector<std::string>{"init 5", "c frame 2", "after goto", "init 6", "root frame 2",
                                      "root frame 4"}));
}

TEST(TimelineOrder, AReferenceToAClipTheTimelineRemovedFollowsItsPath) {
  // Frame 1 places "s" (sprite 1), marks it and keeps it in `ref`; frame 2 removes it and
  // places a new "s" on its depth, then traces ref.mark and typeof(ref).
  Asm frame1, frame2;
  frame1.getVar("s").push({"mark", "old"}).op(0x4F).push({"ref"}).getVar("s").op(0x1D);
  frame2.getVar("ref").push({"mark"}).op(0x4E).trace().getVar("ref").op(0x44).trace();
  auto bytes = w::movie(w::concat({w::defineSprite(1, 1, w::showFrame()),
                                   w::placeObject2({.depth = 3, .character = 1, .name = "s"}),
                                   actions(frame1), w::showFrame(), w::removeObject2(3),
                                   w::placeObject2({.depth = 3, .character = 1, .name = "s"}),
                                   actions(frame2), w::showFrame()}),
                        {.version = 6, .frameCount = 2});
  EXPECT_EQ(onPlayerTimeline(bytes, 2), (std::vector<std::string>{"undefined", "movieclip"}));
}

TEST(TimelineOrder, ManyInitActionsForUnknownSpritesStayBounded) {
  // A hostile movie: thousands of init actions for sprites that never come.
  std::vector<uint8_t> tags;
  Asm init;
  init.push({"never"}).trace();
  for (int i = 0; i < 3000; ++i) {
    auto t = doInitAction(static_cast<uint16_t>(1000 + i), init);
    tags.insert(tags.end(), t.begin(), t.end());
  }
  auto more = w::concat({w::defineSprite(1, 1, w::showFrame()), w::showFrame()});
  tags.insert(tags.end(), more.begin(), more.end());
  auto bytes = w::movie(tags, {.version = 6});
  EXPECT_TRUE(onPlayerTimeline(bytes, 3).empty());
}

}  // namespace
}  // namespace orv::movie::avm1
