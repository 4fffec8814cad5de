// The ActionScript 3 frame cycle on the player: who hears the frame's broadcasts and in
// what order, when objects hear they arrive on and leave the stage, and how a script's
// goto runs the frame it lands on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc_script.h"

namespace orv::movie {
namespace {

using Lines = std::vector<std::string>;

std::vector<uint8_t> framesMovie(const std::vector<uint8_t>& abc, uint8_t version,
                                 const std::vector<uint8_t>& firstFrame = {},
                                 const std::vector<uint8_t>& secondFrame = {}) {
  using namespace test;
  auto tags = concat({fileAttributes(), doAbc(abc, "frame1"), symbolClass({{0, "Doc"}}),
                      firstFrame, showFrame(), secondFrame, showFrame(), showFrame()});
  return movie(tags, {.version = version, .frameCount = 3});
}

// Pushes a function that traces `text`, then, with `goTo` > 0, sends `this` to that frame
// and traces `text` + " done".
void pushScript(DocScript& d, const std::string& text, int goTo = 0) {
  uint32_t m = d.abc.method({.params = {0}});
  Code body;
  body.op(op::findpropstrict, d.pub("trace")).op(op::pushstring, d.abc.string(text));
  body.op(op::callpropvoid, d.pub("trace"), 1);
  if (goTo > 0) {
    body.op(op::getlocal0).pushbyte(static_cast<int8_t>(goTo));
    body.op(op::callpropvoid, d.pub("gotoAndStop"), 1);
    body.op(op::findpropstrict, d.pub("trace")).op(op::pushstring, d.abc.string(text + " done"));
    body.op(op::callpropvoid, d.pub("trace"), 1);
  }
  body.op(op::returnvoid);
  d.abc.body(m, body, {.maxStack = 3});
  d.c.op(op::newfunction, m);
}

// Pushes a listener that traces `text` and the current frame and child count of the
// object it listens on.
void pushFrameReporter(DocScript& d, const std::string& text) {
  uint32_t m = d.abc.method({.params = {0}});
  Code body;
  body.op(op::findpropstrict, d.pub("trace")).op(op::pushstring, d.abc.string(text));
  body.op(op::getlocal1).op(op::getproperty, d.pub("currentTarget"));
  body.op(op::getproperty, d.pub("currentFrame"));
  body.op(op::getlocal1).op(op::getproperty, d.pub("currentTarget"));
  body.op(op::getproperty, d.pub("numChildren"));
  body.op(op::callpropvoid, d.pub("trace"), 3).op(op::returnvoid);
  d.abc.body(m, body, {.maxStack = 6, .localCount = 2});
  d.c.op(op::newfunction, m);
}

void listen(DocScript& d, uint32_t objectRegister, const std::string& type,
            const std::string& text) {
  if (objectRegister)
    d.local(objectRegister);
  else
    d.self();
  d.str(type);
  pushScript(d, text);
  d.callVoid("addEventListener", 2);
}

TEST(Avm2FrameCycle, BroadcastsReachListenersInTheOrderTheyBeganToListenOnTheStageOrNot) {
  DocScript d;
  d.make("Sprite").store(1).make("MovieClip").store(2);
  d.self().local(2).callVoid("addChild", 1);
  d.local(2).local(1).set("kept");  // held, but never added: it hears all the same
  listen(d, 1, "enterFrame", "off the list");
  listen(d, 0, "enterFrame", "root");
  listen(d, 2, "enterFrame", "child");
  listen(d, 1, "exitFrame", "off exit");
  listen(d, 0, "exitFrame", "root exit");
  listen(d, 2, "exitFrame", "child exit");
  Played r = play(framesMovie(d.abcBytes(), 10), 2);
  EXPECT_EQ(r.lines, (Lines{"off exit", "root exit", "child exit", "off the list", "root", "child",
                            "off exit", "root exit", "child exit"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2FrameCycle, EachObjectHearsOnceThatItArrivedOnTheStage) {
  DocScript d;
  d.make("Sprite").store(1);
  listen(d, 1, "addedToStage", "child on stage");
  listen(d, 0, "addedToStage", "root on stage");
  // The root is on the stage while it is made: the child hears it at once, and not again
  // when the root's own arrival is sent after the constructor.
  d.self().local(1).callVoid("addChild", 1);
  d.trace([&] { d.str("constructor done"); });
  d.trace([&] { d.make("MovieClip").get("currentFrame"); });  // a clip of no symbol
  d.trace([&] { d.make("MovieClip").get("totalFrames"); });
  Played r = play(framesMovie(d.abcBytes(), 10), 1);
  EXPECT_EQ(r.lines, (Lines{"child on stage", "constructor done", "0", "1", "root on stage"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2FrameCycle, AGotoInAClipsFrameScriptRunsTheNextScriptOnceThisOneIsDone) {
  DocScript d;
  d.self().num(0);
  pushScript(d, "one", 2);
  d.num(1);
  pushScript(d, "two", 3);
  d.num(2);
  pushScript(d, "three");
  d.callVoid("addFrameScript", 6);
  Played r = play(framesMovie(d.abcBytes(), 10), 1);
  EXPECT_EQ(r.lines, (Lines{"one", "one done", "two", "two done", "three"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2FrameCycle, AScriptsGotoRunsAFrameOfItsOwnFromVersion10) {
  for (uint8_t version : {9, 10}) {
    DocScript d;
    listen(d, 0, "frameConstructed", "constructed");
    listen(d, 0, "exitFrame", "exit");
    d.self().num(2).callVoid("gotoAndStop", 1);
    d.trace([&] { d.str("after goto"); });
    Played r = play(framesMovie(d.abcBytes(), version), 1);
    if (version >= 10)
      EXPECT_EQ(r.lines, (Lines{"constructed", "exit", "after goto", "constructed", "exit"}));
    else
      EXPECT_EQ(r.lines, (Lines{"after goto", "constructed", "exit"}));
    EXPECT_TRUE(r.errors.empty()) << r.errors.front();
  }
}

TEST(Avm2FrameCycle, TheTimelinesRemovalsAreHeardWhileTheObjectIsStillInItsParent) {
  using namespace test;
  DocScript d;
  d.self().str("removed");
  pushFrameReporter(d, "removed");
  d.callVoid("addEventListener", 2);
  Place box;
  box.depth = 1;
  box.character = 1;
  box.name = "box";
  // Played forward, the parent is still on the frame it leaves.
  Played r = play(framesMovie(d.abcBytes(), 10, concat({defineRect(1, 20, 20, 255, 0, 0),
                                                        placeObject2(box)}),
                              removeObject2(1)),
                  3);
  EXPECT_EQ(r.lines, (Lines{"removed 1 1"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

}  // namespace
}  // namespace orv::movie
