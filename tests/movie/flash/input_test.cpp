// The pointer and the keys in an ActionScript 3 movie, driven through the player as the
// window drives it: which object a press goes to, over and out, clicks and double clicks,
// keys to what has the focus and Tab's order, and hit tests with masks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../abc/abc_writer.h"
#include "movie/avm2/conversions.h"
#include "movie/avm2/machine.h"
#include "movie/avm2_host/movie_scripts.h"
#include "movie/flash/display.h"
#include "movie/player.h"

namespace orv::movie {
namespace {

using avm2::Machine;
using avm2::Value;
using Lines = std::vector<std::string>;
namespace op = test::op;

// An ActionScript 3 movie of one empty frame, its objects made from the test.
std::vector<uint8_t> emptyAs3Movie() {
  test::AbcBuilder abc;
  test::Code init;
  init.op(op::getlocal0).op(op::pushscope).op(op::returnvoid);
  uint32_t script = abc.method();
  abc.body(script, init, {.maxStack = 2});
  abc.script(script, {});
  return test::as3Movie(abc.bytes());
}

std::string text(Machine& m, const Value& v) { return v.isNullish() ? "null" : m.toText(v); }

// Traces "type target@currentTarget phase local stage related" for every event it hears.
Value logEvent(Machine& m, const Value&, std::span<Value> args) {
  const Value e = args[0];
  std::string line = text(m, m.get(e, "type")) + " " + text(m, m.get(m.get(e, "target"), "name")) +
                     "@" + text(m, m.get(m.get(e, "currentTarget"), "name")) + " " +
                     text(m, m.get(e, "eventPhase"));
  const std::string cls = m.className(e);
  if (cls.find("MouseEvent") != std::string::npos) {
    line += " " + text(m, m.get(e, "localX")) + "," + text(m, m.get(e, "localY")) + " " +
            text(m, m.get(e, "stageX")) + "," + text(m, m.get(e, "stageY"));
  }
  if (cls.find("KeyboardEvent") != std::string::npos)
    line += " " + text(m, m.get(e, "keyCode")) + "/" + text(m, m.get(e, "charCode")) + " shift=" +
            text(m, m.get(e, "shiftKey"));
  if (cls.find("MouseEvent") != std::string::npos || cls.find("FocusEvent") != std::string::npos) {
    const Value related = m.get(e, "relatedObject");
    line += " rel=" + (related.isNullish() ? std::string("null") : text(m, m.get(related, "name")));
  }
  m.traceLine(line);
  return Value();
}

struct Movie {
  Player player;
  Lines lines;
  Machine* m = nullptr;
  Value stage, root;

  Movie() {
    player.setTraceSink([this](const std::string& l) { lines.push_back(l); });
    EXPECT_TRUE(player.loadBytes(emptyAs3Movie()));
    player.start();
    m = &player.as3Scripts()->machine();
    stage = avm2::displayObjectFor(*m, m->host->stage());
    root = call(stage, "getChildAt", {Value(0)});
  }
  Value call(const Value& self, const char* method, std::vector<Value> args) {
    if (!self.isObject()) return Value();
    return m->callProperty(self, m->publicName(method), args);
  }
  void set(const Value& o, const char* name, Value v) { m->setProperty(o, m->publicName(name), v); }
  Value str(const char* s) { return Value(avm2::StringRef(s)); }
  // A sprite named `name` filling (x, y, w, h) of its own space, placed at (px, py) in `parent`.
  Value sprite(const char* name, const Value& parent, double px, double py, double w, double h) {
    Value s = m->construct(Value(static_cast<avm2::Object*>(m->findClass("flash.display.Sprite"))), {});
    set(s, "name", str(name));
    Value g = m->get(s, "graphics");
    call(g, "beginFill", {Value(0xFF0000)});
    call(g, "drawRect", {Value(0.0), Value(0.0), Value(w), Value(h)});
    call(g, "endFill", {});
    set(s, "x", Value(px));
    set(s, "y", Value(py));
    call(parent, "addChild", {s});
    return s;
  }
  void listen(const Value& o, std::initializer_list<const char*> types) {
    Value f(static_cast<avm2::Object*>(m->newFunction(m->nativeMethod(logEvent, 1, "log"), nullptr, nullptr)));
    for (const char* t : types) call(o, "addEventListener", {str(t), f});
  }
  // Stage pixels to the player's twips.
  void move(double x, double y) { player.mouseMove(x * 20, y * 20); }
  void click(double x, double y) {
    player.mouseDown(x * 20, y * 20);
    player.mouseUp(x * 20, y * 20);
  }
  Lines take() {
    Lines out;
    out.swap(lines);
    return out;
  }
};

TEST(Avm2Input, APressGoesToTheDeepestObjectThatTakesTheMouse) {
  Movie t;
  Value outer = t.sprite("outer", t.root, 0, 0, 100, 100);
  Value off = t.sprite("off", outer, 0, 0, 50, 50);
  t.set(off, "mouseEnabled", Value(false));
  t.sprite("b", outer, 60, 0, 30, 30);
  t.listen(t.stage, {"mouseDown"});
  t.click(10, 10);  // on an object that takes no mouse: its container has it
  t.click(70, 5);   // the deepest that takes it, in its own space and the stage's
  t.click(300, 300);
  t.set(outer, "mouseChildren", Value(false));
  t.click(70, 5);
  t.set(t.stage, "mouseChildren", Value(false));
  t.click(70, 5);
  EXPECT_EQ(t.take(), (Lines{"mouseDown outer@null 3 10,10 10,10 rel=null",
                             "mouseDown b@null 3 10,5 70,5 rel=null",
                             "mouseDown null@null 2 300,300 300,300 rel=null",
                             "mouseDown outer@null 3 70,5 70,5 rel=null",
                             "mouseDown null@null 2 70,5 70,5 rel=null"}));
  EXPECT_TRUE(t.player.as3Scripts()->errors().empty());
}

TEST(Avm2Input, ThePointerRollsOverAndOutAndClicksWhereItWasPressed) {
  Movie t;
  Value a = t.sprite("a", t.root, 0, 0, 50, 50);
  Value inner = t.sprite("inner", a, 10, 10, 10, 10);
  Value b = t.sprite("b", t.root, 100, 0, 50, 50);
  for (const Value& o : {a, inner, b}) t.listen(o, {"rollOver", "rollOut", "mouseOver", "mouseOut", "click"});
  t.move(5, 5);
  EXPECT_EQ(t.take(), (Lines{"rollOver a@a 2 5,5 5,5 rel=null", "mouseOver a@a 2 5,5 5,5 rel=null"}));
  t.move(15, 15);  // into a child: a is not rolled out of
  EXPECT_EQ(t.take(), (Lines{"mouseOut a@a 2 15,15 15,15 rel=inner", "rollOver inner@inner 2 5,5 15,15 rel=a",
                             "mouseOver inner@inner 2 5,5 15,15 rel=a",
                             "mouseOver inner@a 3 5,5 15,15 rel=a"}));
  t.player.mouseDown(15 * 20, 15 * 20);
  t.move(110, 5);  // released over another object: no click
  t.take();
  t.player.mouseUp(110 * 20, 5 * 20);
  EXPECT_EQ(t.take(), Lines{});
  t.click(110, 5);
  t.move(300, 300);  // onto the bare stage
  EXPECT_EQ(t.take(), (Lines{"click b@b 2 10,5 110,5 rel=null", "mouseOut b@b 2 200,300 300,300 rel=null",
                             "rollOut b@b 2 200,300 300,300 rel=null"}));
}

TEST(Avm2Input, ASecondQuickClickIsADoubleClickWhereItIsEnabled) {
  Movie t;
  Value a = t.sprite("a", t.root, 0, 0, 50, 50);
  t.listen(a, {"click", "doubleClick"});
  t.click(5, 5);
  t.click(5, 5);
  t.set(a, "doubleClickEnabled", Value(true));
  t.click(5, 5);
  t.click(5, 5);
  t.click(5, 5);
  EXPECT_EQ(t.take(), (Lines{"click a@a 2 5,5 5,5 rel=null", "click a@a 2 5,5 5,5 rel=null",
                             "click a@a 2 5,5 5,5 rel=null", "doubleClick a@a 2 5,5 5,5 rel=null",
                             "click a@a 2 5,5 5,5 rel=null"}));
}

TEST(Avm2Input, KeysGoToTheFocusAndTabMovesItInTabIndexOrder) {
  Movie t;
  Value a = t.sprite("a", t.root, 0, 0, 50, 50);
  Value b = t.sprite("b", t.root, 100, 0, 50, 50);
  Value c = t.sprite("c", t.root, 200, 0, 50, 50);
  t.set(a, "tabIndex", Value(2));
  t.set(b, "tabIndex", Value(1));
  t.set(c, "tabEnabled", Value(true));  // without an index: left out while others have one
  for (const Value& o : {a, b}) t.set(o, "tabEnabled", Value(true));
  t.listen(t.stage, {"keyDown", "focusIn", "focusOut", "keyFocusChange"});
  t.player.keyDown(65);
  EXPECT_EQ(t.take(), (Lines{"keyDown null@null 2 65/97 shift=false"}));
  t.player.keyDown(9);
  t.player.keyUp(9);
  t.player.keyDown(9);
  t.player.keyUp(9);
  EXPECT_EQ(t.take(), (Lines{"keyDown null@null 2 9/9 shift=false",
                             "keyFocusChange null@null 2 rel=b", "focusIn b@null 3 rel=null",
                             "keyDown b@null 3 9/9 shift=false", "keyFocusChange b@null 3 rel=a",
                             "focusOut b@null 3 rel=a", "focusIn a@null 3 rel=b"}));
  t.player.keyDown(16);
  t.player.keyDown(66);
  EXPECT_EQ(t.take(), (Lines{"keyDown a@null 3 16/0 shift=true", "keyDown a@null 3 66/66 shift=true"}));
  t.player.keyUp(16);
  t.take();
  // The window losing the focus tells the object, which keeps it.
  t.player.windowFocus(false);
  t.player.windowFocus(true);
  EXPECT_EQ(t.take(), (Lines{"focusOut a@null 3 rel=null"}));
  EXPECT_EQ(text(*t.m, t.m->get(t.m->get(t.stage, "focus"), "name")), "a");
  // A press moves the focus to what takes it.
  t.click(220, 5);
  EXPECT_EQ(t.take(), (Lines{"focusOut a@null 3 rel=c", "focusIn c@null 3 rel=a"}));
  t.call(t.root, "removeChild", {c});  // off the stage: the focus goes with it
  EXPECT_TRUE(t.m->get(t.stage, "focus").isNull());
}

TEST(Avm2Input, HitTestsFollowTheShapesTheMasksAndTheStage) {
  Movie t;
  Value a = t.sprite("a", t.root, 10, 10, 100, 100);
  auto hit = [&](const Value& o, double x, double y, bool shape) {
    return avm2::toBoolean(t.call(o, "hitTestPoint", {Value(x), Value(y), Value(shape)}));
  };
  EXPECT_TRUE(hit(a, 50, 50, true));
  EXPECT_FALSE(hit(a, 5, 5, true));
  Value mask = t.sprite("mask", t.root, 0, 0, 40, 40);
  t.set(a, "mask", mask);
  EXPECT_TRUE(hit(a, 30, 30, true));
  EXPECT_FALSE(hit(a, 50, 50, true)) << "outside the mask";
  EXPECT_TRUE(hit(a, 50, 50, false)) << "the bounds take no mask";
  t.listen(t.stage, {"mouseDown"});
  t.click(50, 50);
  t.click(30, 30);
  EXPECT_EQ(t.take(), (Lines{"mouseDown null@null 2 50,50 50,50 rel=null",
                             "mouseDown a@null 3 20,20 30,30 rel=null"}));
  // Masks that mask each other, and points that are no numbers, are no trouble.
  t.set(mask, "mask", a);
  hit(a, 30, 30, true);
  t.click(30, 30);
  t.player.mouseMove(std::nan(""), 1);
  t.call(t.root, "removeChild", {a});
  EXPECT_FALSE(hit(a, 30, 30, true)) << "off the stage nothing is hit";
  EXPECT_TRUE(hit(a, 30, 30, false));
  Value other = t.sprite("other", t.root, 300, 300, 10, 10);
  Value near = t.sprite("near", t.root, 305, 305, 10, 10);
  EXPECT_TRUE(avm2::toBoolean(t.call(other, "hitTestObject", {near})));
  EXPECT_FALSE(avm2::toBoolean(t.call(other, "hitTestObject", {mask})));
}

TEST(Avm2Input, AScriptsButtonShowsItsStatesAndTheOtherButtonsAndTheWheelAreHeard) {
  Movie t;
  auto make = [&](const char* cls) {
    return t.m->construct(Value(static_cast<avm2::Object*>(t.m->findClass(cls))), {});
  };
  Value states[3];
  const char* names[3] = {"up", "over", "down"};
  for (int i = 0; i < 3; ++i) {
    states[i] = make("flash.display.Sprite");
    t.set(states[i], "name", t.str(names[i]));
    Value g = t.m->get(states[i], "graphics");
    t.call(g, "beginFill", {Value(0)});
    t.call(g, "drawRect", {Value(0.0), Value(0.0), Value(40.0), Value(40.0)});
  }
  std::vector<Value> args{states[0], states[1], states[2], states[0]};
  Value button = t.m->construct(
      Value(static_cast<avm2::Object*>(t.m->findClass("flash.display.SimpleButton"))), args);
  t.set(button, "name", t.str("button"));
  t.call(t.root, "addChild", {button});
  auto shown = [&] {
    std::string out;
    for (const Value& s : states)
      if (!t.m->get(s, "parent").isNull()) out += text(*t.m, t.m->get(s, "name"));
    return out;
  };
  EXPECT_EQ(shown(), "up");
  t.move(10, 10);
  EXPECT_EQ(shown(), "over");
  EXPECT_TRUE(t.player.handCursor());
  t.player.mouseDown(200, 200);
  EXPECT_EQ(shown(), "down");
  t.player.mouseUp(200, 200);
  EXPECT_EQ(shown(), "over");
  t.move(100, 100);
  EXPECT_EQ(shown(), "up");
  EXPECT_FALSE(t.player.handCursor());
  t.set(button, "enabled", Value(false));
  t.move(10, 10);
  EXPECT_EQ(shown(), "up") << "a disabled button stays up";

  t.listen(button, {"rightMouseDown", "rightClick", "middleMouseUp", "middleClick", "mouseWheel", "click"});
  t.player.otherButton(200, 200, true, true);
  t.player.otherButton(200, 200, true, false);
  t.player.otherButton(200, 200, false, true);
  t.player.otherButton(2000, 2000, false, false);  // let go elsewhere: no click
  t.player.mouseWheel(2000, 2000, 3);
  t.player.mouseWheel(200, 200, -1);
  EXPECT_EQ(t.take(), (Lines{"rightMouseDown button@button 2 10,10 10,10 rel=null",
                             "rightClick button@button 2 10,10 10,10 rel=null",
                             "mouseWheel button@button 2 10,10 10,10 rel=null"}));
}

TEST(Avm2Input, TheStageTakesChildrenOfItsOwnAboveTheRoot) {
  Movie t;
  Value low = t.sprite("low", t.root, 0, 0, 50, 50);
  Value top = t.sprite("top", t.stage, 0, 0, 20, 20);
  Value next = t.sprite("next", t.stage, 10, 10, 20, 20);
  EXPECT_EQ(text(*t.m, t.m->get(t.stage, "numChildren")), "3");
  EXPECT_TRUE(t.m->get(top, "parent").isObject());
  t.call(t.stage, "addChildAt", {next, Value(1)});  // below "top" now
  EXPECT_EQ(text(*t.m, t.m->get(t.call(t.stage, "getChildAt", {Value(2)}), "name")), "top");
  t.listen(t.stage, {"mouseDown"});
  t.click(15, 15);
  t.click(25, 25);
  t.click(40, 40);
  t.call(t.stage, "removeChild", {top});
  EXPECT_TRUE(t.m->get(top, "parent").isNull());
  EXPECT_EQ(text(*t.m, t.m->get(t.stage, "numChildren")), "2");
  t.click(15, 15);
  EXPECT_EQ(t.take(), (Lines{"mouseDown top@null 3 15,15 15,15 rel=null",
                             "mouseDown next@null 3 15,15 25,25 rel=null",
                             "mouseDown low@null 3 40,40 40,40 rel=null",
                             "mouseDown next@null 3 5,5 15,15 rel=null"}));
  (void)low;
}

}  // namespace
}  // namespace orv::movie
