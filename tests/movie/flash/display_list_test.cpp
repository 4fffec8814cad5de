// The display list as ActionScript 3 sees it on the player: the document class is the
// root on the stage, children by index with the player's errors, geometry of what the
// drawing API drew, frames and frame scripts, and timeline objects as linked classes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc_script.h"

namespace orv::movie {
namespace {

using Lines = std::vector<std::string>;

TEST(Avm2DisplayList, TheDocumentIsTheRootClipOnTheStage) {
  DocScript d;
  d.trace([&] { d.self().get("name"); });
  d.trace([&] { d.self().get("root").self().c.op(op::strictequals); });
  d.trace([&] { d.self().get("parent").self().get("stage").c.op(op::strictequals); });
  d.trace([&] { d.self().get("stage").get("numChildren"); });
  d.trace([&] { d.self().get("stage").get("stageWidth"); });
  d.trace([&] { d.self().get("currentFrame"); });
  d.trace([&] { d.self().get("totalFrames"); });
  d.trace([&] { d.make("Sprite").get("stage"); });
  d.trace([&] { d.self().get("root"); });
  d.trace([&] { d.self().get("stage"); });
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"root1", "true", "true", "1", "550", "1", "1", "null", "[object Doc]",
                            "[object Stage]"}));
  EXPECT_TRUE(r.errors.empty());
}

TEST(Avm2DisplayList, AClassReachesItsPrototypesMethodsByNameAlone) {
  DocScript d;
  // hasEventListener("enterFrame"), as a compiler writes it inside the class: found on the
  // instance through EventDispatcher's prototype.
  d.trace([&] {
    d.c.op(op::findpropstrict, d.pub("hasEventListener"));
    d.str("enterFrame").call("hasEventListener", 1);
  });
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"false"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2DisplayList, ChildrenAreKeptInIndexOrder) {
  DocScript d;
  d.make("Sprite").store(1).make("Sprite").store(2).make("Shape").store(3);
  d.local(1).str("a").set("name").local(2).str("b").set("name");
  d.self().local(1).callVoid("addChild", 1).self().local(2).callVoid("addChild", 1);
  d.self().local(3).num(0).callVoid("addChildAt", 2);  // before both
  d.trace([&] { d.self().get("numChildren"); });
  d.trace([&] { d.self().local(1).call("getChildIndex", 1); });
  d.self().local(2).num(0).callVoid("setChildIndex", 2);
  d.trace([&] { d.self().num(0).call("getChildAt", 1).get("name"); });
  d.self().num(0).num(2).callVoid("swapChildrenAt", 2);
  d.trace([&] { d.self().num(2).call("getChildAt", 1).get("name"); });
  d.trace([&] { d.self().str("a").call("getChildByName", 1).local(1).c.op(op::strictequals); });
  d.trace([&] { d.self().local(1).call("contains", 1); });
  d.self().local(1).callVoid("removeChild", 1);
  d.trace([&] { d.self().get("numChildren"); });
  d.trace([&] { d.local(1).get("parent"); });
  d.local(2).local(1).callVoid("addChild", 1);  // a grandchild
  d.trace([&] { d.self().local(1).call("contains", 1); });
  d.trace([&] { d.local(1).get("parent").get("name"); });
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"3", "1", "b", "b", "true", "true", "2", "null", "true", "b"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2DisplayList, TheStageKeepsItsSettingsInThePlayersSpelling) {
  DocScript d;
  d.self().get("stage").str("NOSCALE").set("scaleMode");
  d.self().get("stage").str("lt").set("align");
  d.self().get("stage").str("low").set("quality");
  d.trace([&] { d.self().get("stage").get("scaleMode"); });
  d.trace([&] { d.self().get("stage").get("align"); });
  d.trace([&] { d.self().get("stage").get("quality"); });
  d.trace([&] { d.self().get("stage").get("displayState"); });
  d.self().get("stage").str("fit").set("scaleMode");
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"noScale", "TL", "LOW", "normal"}));
  EXPECT_EQ(r.errors, (Lines{"ArgumentError: Error #2008: Parameter scaleMode must be one of the accepted values."}));
}

TEST(Avm2DisplayList, MisusedChildrenThrowThePlayersErrors) {
  struct Case {
    std::function<void(DocScript&)> misuse;
    std::string error;
  };
  const Case cases[] = {
      {[](DocScript& d) { d.self().make("Sprite").callVoid("removeChild", 1); },
       "ArgumentError: Error #2025: The supplied DisplayObject must be a child of the caller."},
      {[](DocScript& d) { d.self().num(3).callVoid("getChildAt", 1); },
       "RangeError: Error #2006: The supplied index is out of bounds."},
      {[](DocScript& d) { d.self().make("Sprite").num(2).callVoid("addChildAt", 2); },
       "RangeError: Error #2006: The supplied index is out of bounds."},
      {[](DocScript& d) { d.self().self().callVoid("addChild", 1); },
       "ArgumentError: Error #2024: An object cannot be added as a child of itself."},
      {[](DocScript& d) { d.self().c.op(op::pushnull); d.callVoid("addChild", 1); },
       "TypeError: Error #2007: Parameter child must be non-null."},
  };
  for (const Case& k : cases) {
    DocScript d;
    k.misuse(d);
    Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
    EXPECT_EQ(r.errors, (Lines{k.error}));
  }
}

TEST(Avm2DisplayList, GeometryFollowsWhatWasDrawnAndSet) {
  DocScript d;
  d.make("Shape").store(1);
  d.local(1).get("graphics").store(2);
  d.local(2).c.op(op::pushint, d.abc.integer(0xFF0000));
  d.callVoid("beginFill", 1);
  d.local(2).num(0).num(0).num(100).num(50).callVoid("drawRect", 4);
  d.trace([&] { d.local(1).get("width"); });
  d.trace([&] { d.local(1).get("height"); });
  d.local(1).num(2).set("scaleX");
  d.trace([&] { d.local(1).get("width"); });
  d.local(1).num(90).set("rotation");
  d.trace([&] { d.local(1).get("rotation"); });
  d.trace([&] { d.local(1).get("scaleX"); });
  d.trace([&] { d.local(1).get("height"); });  // turned: the width it had
  d.local(1).num(15).set("x");
  d.trace([&] { d.local(1).get("x"); });
  d.local(1).c.op(op::pushfalse);
  d.set("visible");
  d.trace([&] { d.local(1).get("visible"); });
  d.local(2).callVoid("clear", 0);
  d.trace([&] { d.local(1).get("width"); });
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"100", "50", "200", "90", "2", "200", "15", "false", "0"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

// A three-frame root: frame 2 is labelled "two".
std::vector<uint8_t> threeFrames(const std::vector<uint8_t>& abc,
                                 const std::vector<uint8_t>& firstFrame = {}, uint8_t version = 10) {
  using namespace test;
  auto tags = concat({fileAttributes(), doAbc(abc, "frame1"), symbolClass({{0, "Doc"}}),
                      firstFrame, showFrame(), frameLabel("two"), showFrame(), showFrame()});
  return movie(tags, {.version = version, .frameCount = 3});
}

// A function tracing `text`, pushed.
void pushTracer(DocScript& d, const std::string& text) {
  uint32_t m = d.abc.method({.params = {0}});
  Code body;
  body.op(op::findpropstrict, d.pub("trace")).op(op::pushstring, d.abc.string(text));
  body.op(op::callpropvoid, d.pub("trace"), 1).op(op::returnvoid);
  d.abc.body(m, body, {.maxStack = 3});
  d.c.op(op::newfunction, m);
}

TEST(Avm2DisplayList, FrameScriptsRunAsTheirFramesAreEntered) {
  DocScript d;
  d.self().num(0);
  pushTracer(d, "script 1");
  d.num(1);
  pushTracer(d, "script 2");
  d.callVoid("addFrameScript", 4);
  d.trace([&] { d.self().get("currentLabel"); });
  d.trace([&] { d.self().get("totalFrames"); });
  Played r = play(threeFrames(d.abcBytes()), 3);
  EXPECT_EQ(r.lines, (Lines{"null", "3", "script 1", "script 2"}));
}

TEST(Avm2DisplayList, GotoByLabelOrNumberMovesTheClip) {
  DocScript d;
  d.self().num(1);
  pushTracer(d, "at two");
  d.callVoid("addFrameScript", 2);
  d.self().str("two").callVoid("gotoAndStop", 1);
  d.trace([&] { d.self().get("currentFrame"); });
  d.trace([&] { d.self().get("currentLabel"); });
  d.trace([&] { d.self().get("isPlaying"); });
  d.self().num(3).callVoid("gotoAndStop", 1);
  d.trace([&] { d.self().get("currentFrameLabel"); });
  d.self().callVoid("prevFrame", 0);
  d.trace([&] { d.self().get("currentFrame"); });
  d.self().str("nowhere").callVoid("gotoAndPlay", 1);  // movies from version 11 on throw
  Played r = play(threeFrames(d.abcBytes(), {}, 11), 3);
  // A goto runs the script of the frame it lands on at once, each time it lands there.
  EXPECT_EQ(r.lines, (Lines{"at two", "2", "two", "false", "null", "at two", "2"}));
  EXPECT_EQ(r.errors,
            (Lines{"ArgumentError: Error #2109: Frame label nowhere not found in scene Scene 1."}));
}

TEST(Avm2DisplayList, OlderMoviesGoToTheFirstFrameForLabelsNotFound) {
  DocScript d;
  d.self().num(3).callVoid("gotoAndStop", 1);
  d.self().str("nowhere").callVoid("gotoAndStop", 1);
  d.trace([&] { d.self().get("currentFrame"); });
  d.self().num(3).callVoid("gotoAndStop", 1);
  d.self().c.op(op::pushdouble, d.abc.number(2.5));
  d.callVoid("gotoAndStop", 1);  // not a whole number: a label
  d.trace([&] { d.self().get("currentFrame"); });
  Played r = play(threeFrames(d.abcBytes()));
  EXPECT_EQ(r.lines, (Lines{"1", "1"}));
  EXPECT_TRUE(r.errors.empty());
}

TEST(Avm2DisplayList, ObjectsHearTheyJoinAndLeaveTheStageAndEveryFrame) {
  DocScript d;
  d.make("Sprite").store(1).make("Sprite").store(2);
  d.local(2).local(1).callVoid("addChild", 1);  // off the stage: no stage events yet
  d.local(1).str("addedToStage");
  pushTracer(d, "inner on stage");
  d.callVoid("addEventListener", 2);
  d.local(1).str("removedFromStage");
  pushTracer(d, "inner off stage");
  d.callVoid("addEventListener", 2);
  d.self().str("added");
  pushTracer(d, "added below the root");  // bubbles up from the child
  d.callVoid("addEventListener", 2);
  d.self().local(2).callVoid("addChild", 1);
  d.self().local(2).callVoid("removeChild", 1);
  d.self().str("enterFrame");
  pushTracer(d, "enter");
  d.callVoid("addEventListener", 2);
  d.self().str("exitFrame");
  pushTracer(d, "exit");
  d.callVoid("addEventListener", 2);
  Played r = play(threeFrames(d.abcBytes()), 3);
  // The root hears it was added once its constructor is done; the first frame ends with
  // exitFrame too, though no enterFrame began it.
  EXPECT_EQ(r.lines, (Lines{"added below the root", "inner on stage", "inner off stage",
                            "added below the root", "exit", "enter", "exit", "enter", "exit"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2DisplayList, InvalidatingTheStageSendsOneRenderAfterTheFramesExit) {
  DocScript d;
  d.self().str("exitFrame");
  pushTracer(d, "exit");
  d.callVoid("addEventListener", 2);
  d.self().str("render");
  pushTracer(d, "render");
  d.callVoid("addEventListener", 2);
  d.self().get("stage").callVoid("invalidate", 0);
  Played r = play(threeFrames(d.abcBytes()), 3);
  // Once per invalidate: the later frames send none.
  EXPECT_EQ(r.lines, (Lines{"exit", "render", "exit", "exit"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(Avm2DisplayList, TimelineObjectsAreInstancesOfTheirLinkedClasses) {
  using namespace test;
  DocScript d;
  d.trace([&] { d.str("doc body"); });
  d.trace([&] { d.self().get("numChildren"); });
  d.trace([&] { d.self().str("kid").call("getChildByName", 1).get("name"); });
  d.trace([&] { d.self().num(1).call("getChildAt", 1); });
  std::vector<uint8_t> abc = d.abcBytes({"Kid"});
  auto place = [](uint16_t depth, uint16_t id, std::optional<std::string> name) {
    Place p;
    p.depth = depth;
    p.character = id;
    p.name = std::move(name);
    return placeObject2(p);
  };
  auto firstFrame = concat({defineRect(1, 200, 200, 255, 0, 0),
                            defineSprite(2, 1, concat({place(1, 1, std::nullopt), showFrame()})),
                            symbolClass({{2, "Kid"}}), place(1, 2, "kid"), place(2, 1, "box")});
  Played r = play(threeFrames(abc, firstFrame));
  EXPECT_EQ(r.lines, (Lines{"Kid made", "doc body", "2", "kid", "[object Shape]"}));
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

}  // namespace
}  // namespace orv::movie
