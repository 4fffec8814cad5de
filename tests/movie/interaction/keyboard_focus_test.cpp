// The keyboard focus through the player: Tab's order (by position, by tabIndex, Shift+Tab
// back, round the ends), what it leaves out, Enter and Space on a focused button, the
// yellow rectangle in the rendered picture and what hides it, the focus events, and the
// corpus movies whose reference run pressed Tab.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "movie/codec/image_decoder.h"
#include "movie/interaction/button_movies.h"
#include "movie/player.h"
#include "support/png_writer.h"
#include "movie/avm1/script_test_util.h"
#include "temp_dir.h"

using namespace orv::movie;
namespace t = orv::movie::test;
using orv::movie::avm1::test::Asm;

namespace {

constexpr int kTab = 9, kEnter = 13, kShift = 16, kSpace = 32;
constexpr uint16_t kRed = 1, kBlue = 2, kGreen = 3, kButton = 10, kSprite = 20, kPlain = 21;
constexpr uint32_t kYellow = 0xFFFFFF00, kBluePixel = 0xFF0000FF;

// A button 100 pixels square: up red, over blue, down green; pressing and releasing it
// traces "press <name>" and "release <name>" through the button's own on() actions.
std::vector<uint8_t> buttonDef() {
  return t::defineButton2(kButton,
                          {{.up = true, .character = kRed},
                           {.over = true, .character = kBlue},
                           {.down = true, .character = kGreen},
                           {.hit = true, .character = kRed}},
                          {{0x04, 0, Asm().push({"press"}).trace().bytes()},
                           {0x08, 0, Asm().push({"release"}).trace().bytes()}});
}

std::vector<uint8_t> shapes() {
  return t::concat({t::defineRect(kRed, 2000, 2000, 255, 0, 0),
                    t::defineRect(kBlue, 2000, 2000, 0, 0, 255),
                    t::defineRect(kGreen, 2000, 2000, 0, 255, 0)});
}

struct Placed {
  std::string name;
  int32_t x, y;  // twips
  uint16_t character = kButton;
};

// Buttons (or other characters) placed by name in the given depth order, then `script`.
std::vector<uint8_t> movieWith(const std::vector<Placed>& placed, const Asm& script = Asm(),
                               std::vector<uint8_t> extraDefinitions = {}) {
  std::vector<uint8_t> tags = t::concat({shapes(), buttonDef(), extraDefinitions});
  uint16_t depth = 1;
  for (const Placed& p : placed) {
    auto place = t::placeObject2(
        {.depth = depth++, .character = p.character, .translate = {{p.x, p.y}}, .name = p.name});
    tags.insert(tags.end(), place.begin(), place.end());
  }
  tags = t::concat({tags, t::doAction(script.bytes()), t::showFrame()});
  return t::movie(tags);
}

struct Box {
  int x0 = -1, y0 = -1, x1 = -1, y1 = -1;  // inclusive pixel corners; -1: none
  int count = 0;
  bool operator==(const Box&) const = default;
};

struct FocusPlayer {
  Player player;
  std::vector<std::string> lines;
  Pixmap picture;
  explicit FocusPlayer(const std::vector<uint8_t>& movie) {
    player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(player.loadBytes(movie));
  }
  // A movie from a file, playing, so that it may load others beside it.
  explicit FocusPlayer(const std::string& file) {
    player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(player.load(file));
    player.start();
  }
  std::vector<std::string> take() { return std::exchange(lines, {}); }
  void draw() {
    picture.width = 550;
    picture.height = 400;
    player.render(picture, player.stage());
  }
  uint32_t pixel(int x, int y) { return picture.pixels[size_t(y) * 550 + size_t(x)]; }
  // Where the yellow pixels are.
  Box yellow() {
    draw();
    Box b;
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 550; ++x)
        if (pixel(x, y) == kYellow) {
          if (b.count++ == 0) b = {x, y, x, y, 1};
          b.x0 = std::min(b.x0, x);
          b.y0 = std::min(b.y0, y);
          b.x1 = std::max(b.x1, x);
          b.y1 = std::max(b.y1, y);
        }
    return b;
  }
  void tab() { press(kTab); }
  void shiftTab() {
    player.keyDown(kShift);
    press(kTab);
    player.keyUp(kShift);
  }
  void press(int key) {
    player.keyDown(key);
    player.keyUp(key);
  }
};

// The frame around a 100-pixel button whose top-left corner is at pixel (x, y).
Box frameAt(int x, int y) { return {x, y, x + 99, y + 99, 100 * 100 - 94 * 94}; }

// Three buttons: "low" lowest on the stage but first on the display list, "right" top
// right, "left" top left.
const std::vector<Placed> kThree = {
    {"low", 1000, 5000}, {"right", 6000, 1000}, {"left", 1000, 1000}};

}  // namespace

TEST(KeyboardFocus, TabGoesTopToBottomThenLeftToRightAndShiftTabGoesBackRoundTheEnds) {
  FocusPlayer f(movieWith(kThree));
  EXPECT_EQ(f.yellow().count, 0) << "nothing has the focus before a key";
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 50)) << "left";
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 50)) << "right";
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 250)) << "low";
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 50)) << "round to the first";
  f.shiftTab();
  EXPECT_EQ(f.yellow(), frameAt(50, 250)) << "Shift+Tab from the first goes round to the last";
  f.shiftTab();
  EXPECT_EQ(f.yellow(), frameAt(300, 50));

  // Shift+Tab with nothing focused starts at the last.
  FocusPlayer g(movieWith(kThree));
  g.shiftTab();
  EXPECT_EQ(g.yellow(), frameAt(50, 250));
}

TEST(KeyboardFocus, TabIndexOrdersTheObjectsThatHaveOneAndLeavesTheOthersOut) {
  Asm script;
  script.getVar("low").push({"tabIndex", 1}).op(0x4F);
  script.getVar("right").push({"tabIndex", 7}).op(0x4F);
  script.getVar("left").push({"tabIndex", "3"}).op(0x4F);  // not a number: no index
  FocusPlayer f(movieWith(kThree, script));
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 250));
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 50));
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 250)) << "left has no numeric tabIndex: never reached";

  // Indexes order as 32-bit signed numbers: 4294967293 is -3, before -2.
  Asm wrapped;
  wrapped.getVar("low").push({"tabIndex", -2}).op(0x4F);
  wrapped.getVar("right").push({"tabIndex", 4294967293.0}).op(0x4F);
  FocusPlayer g(movieWith(kThree, wrapped));
  g.tab();
  EXPECT_EQ(g.yellow(), frameAt(300, 50));
  g.tab();
  EXPECT_EQ(g.yellow(), frameAt(50, 250));
}

TEST(KeyboardFocus, HiddenDisabledAndTabChildrenFalseObjectsAreSkipped) {
  // A clip holding a button, besides the three.
  auto sprite = t::defineSprite(
      kSprite, 1,
      t::concat({t::placeObject2(
                     {.depth = 1, .character = kButton, .translate = {{0, 0}}, .name = "inner"}),
                 t::showFrame()}));
  std::vector<Placed> placed = kThree;
  placed.push_back({"box", 6000, 5000, kSprite});
  Asm script;
  script.getVar("left").push({"_visible", false}).op(0x4F);
  script.getVar("right").push({"tabEnabled", false}).op(0x4F);
  FocusPlayer f(movieWith(placed, script, sprite));
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 250)) << "low";
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 250)) << "the button inside the clip";
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 250));

  Asm closed = script;
  closed.getVar("box").push({"tabChildren", false}).op(0x4F);
  closed.getVar("low").push({"enabled", false}).op(0x4F);
  FocusPlayer g(movieWith(placed, closed, sprite));
  g.tab();
  EXPECT_EQ(g.yellow().count, 0) << "nothing is left to take the focus";
  g.player.keyDown(kEnter);
  EXPECT_TRUE(g.take().empty());
}

TEST(KeyboardFocus, EnterAndSpacePressAndReleaseTheFocusedButtonWhichShowsItsOverState) {
  FocusPlayer f(movieWith(kThree));
  f.press(kEnter);
  EXPECT_TRUE(f.take().empty()) << "no focus, no press";
  f.tab();
  f.draw();
  EXPECT_EQ(f.pixel(100, 100), kBluePixel) << "the focused button shows its over state";
  f.press(kEnter);
  EXPECT_EQ(f.take(), (std::vector<std::string>{"press", "release"}));
  f.press(kSpace);
  EXPECT_EQ(f.take(), (std::vector<std::string>{"press", "release"}));
  f.tab();
  f.draw();
  EXPECT_EQ(f.pixel(100, 100), 0xFFFF0000u) << "up again once the focus left";
  EXPECT_EQ(f.pixel(350, 100), kBluePixel);
}

TEST(KeyboardFocus, TheMouseHidesTheRectangleAndAKeyBringsItBack) {
  FocusPlayer f(movieWith(kThree));
  f.tab();
  const Box left = frameAt(50, 50);
  ASSERT_EQ(f.yellow(), left);
  // The band is three pixels wide, inside the button's bounds, over its picture.
  f.draw();
  EXPECT_EQ(f.pixel(52, 100), kYellow);
  EXPECT_NE(f.pixel(53, 100), kYellow);
  EXPECT_EQ(f.pixel(147, 100), kYellow);
  EXPECT_NE(f.pixel(146, 100), kYellow);
  EXPECT_NE(f.pixel(49, 100), kYellow);

  EXPECT_TRUE(f.player.mouseMove(5000, 7000));
  EXPECT_EQ(f.yellow().count, 0) << "after a mouse move";
  f.press('A');
  EXPECT_EQ(f.yellow(), left) << "any key shows it again";
  f.player.mouseDown(5000, 7000);
  f.player.mouseUp(5000, 7000);
  EXPECT_EQ(f.yellow().count, 0) << "after a click";
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 50));
}

TEST(KeyboardFocus, FocusRectFalseHidesTheRectangleButNotTheFocus) {
  Asm script;
  script.setVar("_focusrect", false);
  FocusPlayer f(movieWith(kThree, script));
  f.tab();
  EXPECT_EQ(f.yellow().count, 0);
  f.press(kEnter);
  EXPECT_EQ(f.take(), (std::vector<std::string>{"press", "release"}));

  // An object's own _focusrect wins over the movie's.
  Asm own = script;
  own.getVar("right").push({"_focusrect", true}).op(0x4F);
  own.getVar("right").push({"_focusrect"}).op(0x4E).trace();
  own.getVar("left").push({"_focusrect"}).op(0x4E).trace();
  FocusPlayer g(movieWith(kThree, own));
  EXPECT_EQ(g.take(), (std::vector<std::string>{"1", "1"}));
  g.tab();
  EXPECT_EQ(g.yellow().count, 0);
  g.tab();
  EXPECT_EQ(g.yellow(), frameAt(300, 50));

  Asm off;
  off.getVar("left").push({"_focusrect", false}).op(0x4F);
  off.getVar("left").push({"_focusrect"}).op(0x4E).trace();
  FocusPlayer h(movieWith(kThree, off));
  EXPECT_EQ(h.take(), (std::vector<std::string>{"0"}));
  h.tab();
  EXPECT_EQ(h.yellow().count, 0);
  h.tab();
  EXPECT_EQ(h.yellow(), frameAt(300, 50));
}

TEST(KeyboardFocus, TabChangesTheFocusWithTheObjectsEventsAndSelectionsListeners) {
  // left.onKillFocus, right.onSetFocus and a Selection listener trace what they hear;
  // Selection.getFocus() is traced after each Tab by a Key listener on keyUp.
  Asm script;
  script.getVar("left")
      .push({"onKillFocus"})
      .function("", {"to"}, Asm().push({"kill left, to "}).getVar("to").op(0x47).trace())
      .op(0x4F);
  script.getVar("right")
      .push({"onSetFocus"})
      .function("", {"from"}, Asm().push({"set right, from "}).getVar("from").op(0x47).trace())
      .op(0x4F);
  script.push({"watch", 0, "Object"}).op(0x40).op(0x1D);
  script.getVar("watch")
      .push({"onSetFocus"})
      .function("", {"a", "b"},
                Asm()
                    .push({"listener "})
                    .getVar("a")
                    .op(0x47)
                    .push({" "})
                    .op(0x47)
                    .getVar("b")
                    .op(0x47)
                    .trace())
      .op(0x4F);
  script.getVar("watch").push({1, "Selection"}).op(0x1C).push({"addListener"}).op(0x52).op(0x17);
  script.getVar("watch")
      .push({"onKeyUp"})
      .function("", {}, Asm().push({0, "Selection"}).op(0x1C).push({"getFocus"}).op(0x52).trace())
      .op(0x4F);
  script.getVar("watch").push({1, "Key"}).op(0x1C).push({"addListener"}).op(0x52).op(0x17);
  FocusPlayer f(movieWith(kThree, script));
  f.tab();
  EXPECT_EQ(f.take(), (std::vector<std::string>{"listener null _level0.left", "_level0.left"}));
  f.tab();
  EXPECT_EQ(f.take(),
            (std::vector<std::string>{"kill left, to _level0.right", "set right, from _level0.left",
                                      "listener _level0.left _level0.right", "_level0.right"}));
}

TEST(KeyboardFocus, AnInputFieldTakesTheFocusWithItsCaretAndNoRectangle) {
  // A field made by script at (100, 300), typed "input"; a dynamic field never, not even
  // with tabEnabled true.
  Asm made;
  made.push({20, 120, 300, 100, 5, "field", 6, "_root"})
      .op(0x1C)
      .push({"createTextField"})
      .op(0x52)
      .op(0x17);
  made.getVar("field").push({"type", "input"}).op(0x4F);
  made.push({20, 120, 300, 200, 6, "shown", 6, "_root"})
      .op(0x1C)
      .push({"createTextField"})
      .op(0x52)
      .op(0x17);
  made.getVar("shown").push({"type", "dynamic"}).op(0x4F);
  made.push({"watch", 0, "Object"}).op(0x40).op(0x1D);
  made.getVar("watch")
      .push({"onKeyUp"})
      .function("", {}, Asm().push({0, "Selection"}).op(0x1C).push({"getFocus"}).op(0x52).trace())
      .op(0x4F);
  made.getVar("watch").push({1, "Key"}).op(0x1C).push({"addListener"}).op(0x52).op(0x17);
  FocusPlayer f(movieWith({{"left", 1000, 1000}}, made));
  f.tab();
  EXPECT_EQ(f.take(), std::vector<std::string>{"_level0.left"});
  f.tab();
  EXPECT_EQ(f.take(), std::vector<std::string>{"_level0.field"});
  EXPECT_EQ(f.yellow().count, 0) << "a field shows its caret, not the rectangle";
  f.tab();
  EXPECT_EQ(f.take(), std::vector<std::string>{"_level0.left"}) << "the dynamic field is left out";

  made.getVar("shown").push({"tabEnabled", true}).op(0x4F);
  FocusPlayer g(movieWith({{"left", 1000, 1000}}, made));
  for (int i = 0; i < 3; ++i) g.tab();
  EXPECT_EQ(g.take(), (std::vector<std::string>{"_level0.left", "_level0.field", "_level0.left"}));
}

TEST(KeyboardFocus, ClipsTakeTheFocusWhenTabEnabledOrActingAsButtons) {
  // Plain clips: "handled" has an onRelease method, "listed" has tabEnabled true,
  // "plain" has neither. Enter on a focused clip runs its onPress and onRelease.
  auto sprite = t::defineSprite(
      kPlain, 1, t::concat({t::placeObject2({.depth = 1, .character = kRed}), t::showFrame()}));
  Asm script;
  script.getVar("handled")
      .push({"onRelease"})
      .function("", {}, Asm().push({"released"}).trace())
      .op(0x4F);
  script.getVar("listed").push({"tabEnabled", true}).op(0x4F);
  FocusPlayer f(movieWith({{"plain", 1000, 1000, kPlain},
                           {"handled", 6000, 1000, kPlain},
                           {"listed", 1000, 5000, kPlain}},
                          script, sprite));
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 50));
  f.press(kEnter);
  EXPECT_EQ(f.take(), std::vector<std::string>{"released"});
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 250));
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 50));
}

TEST(KeyboardFocus, TheFocusedClipOrButtonHearsTheKeys) {
  auto sprite = t::defineSprite(
      kPlain, 1, t::concat({t::placeObject2({.depth = 1, .character = kRed}), t::showFrame()}));
  Asm script;
  script.getVar("clip").push({"tabEnabled", true}).op(0x4F);
  script.getVar("clip")
      .push({"onKeyDown"})
      .function("", {}, Asm().push({"clip down"}).trace())
      .op(0x4F);
  script.getVar("clip")
      .push({"onKeyUp"})
      .function("", {}, Asm().push({"clip up"}).trace())
      .op(0x4F);
  script.getVar("left")
      .push({"onKeyDown"})
      .function("", {}, Asm().push({"button down"}).trace())
      .op(0x4F);
  FocusPlayer f(movieWith({{"left", 1000, 1000}, {"clip", 6000, 1000, kPlain}}, script, sprite));
  f.press('A');
  EXPECT_TRUE(f.take().empty()) << "nothing has the focus";
  f.tab();
  EXPECT_TRUE(f.take().empty()) << "Tab went down with nothing focused; the button has no onKeyUp";
  f.press('A');
  EXPECT_EQ(f.take(), std::vector<std::string>{"button down"});
  f.tab();
  EXPECT_EQ(f.take(), (std::vector<std::string>{"button down", "clip up"}))
      << "Tab went down on the button, up on the clip";
  f.press('B');
  EXPECT_EQ(f.take(), (std::vector<std::string>{"clip down", "clip up"}));
}

TEST(KeyboardFocus, TabRollsOverWhatTakesTheFocusAndOutOfWhatLosesIt) {
  Asm script;
  for (const char* name : {"left", "right"}) {
    script.getVar(name)
        .push({"onRollOver"})
        .function("", {}, Asm().push({std::string("over ") + name}).trace())
        .op(0x4F);
    script.getVar(name)
        .push({"onRollOut"})
        .function("", {}, Asm().push({std::string("out ") + name}).trace())
        .op(0x4F);
  }
  FocusPlayer f(movieWith({{"left", 1000, 1000}, {"right", 6000, 1000}}, script));
  f.tab();
  EXPECT_EQ(f.take(), std::vector<std::string>{"over left"});
  f.tab();
  EXPECT_EQ(f.take(), (std::vector<std::string>{"out left", "over right"}));
  // Under the pointer already: no second roll over.
  f.player.mouseMove(2000, 2000);
  EXPECT_EQ(f.take(), std::vector<std::string>{"over left"});
  f.tab();
  EXPECT_EQ(f.take(), std::vector<std::string>{"out right"});
}

TEST(KeyboardFocus, TabReachesTheButtonsOfMoviesLoadedIntoLevels) {
  namespace fs = std::filesystem;
  const orv::test::TempDir folder("orv-focus-levels");
  const fs::path& dir = folder.path;
  auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    return (dir / name).string();
  };
  write("one.swf", movieWith({{"far", 6000, 5000}}));
  // loadMovieNum("one.swf", 1): GetURL2 to "_level1".
  const std::string main = write(
      "main.swf",
      movieWith({{"left", 1000, 1000}}, Asm().push({"one.swf", "_level1"}).action(0x9A, {0})));
  FocusPlayer f(main);
  for (int i = 0; i < 3; ++i) f.player.advance(f.player.framePeriodMs());
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(50, 50));
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 250)) << "the button of level 1";
  f.press(kEnter);
  EXPECT_EQ(f.take(), (std::vector<std::string>{"press", "release"}));
}

TEST(KeyboardFocus, ArrowsMoveTheFocusToTheNearestObjectThatWayWhileTheRectangleShows) {
  // left (50,50), right (300,50), low (50,250), and "corner" (300,250).
  std::vector<Placed> four = kThree;
  four.push_back({"corner", 6000, 5000});
  FocusPlayer f(movieWith(four));
  f.press(39);
  EXPECT_EQ(f.yellow().count, 0) << "nothing focused: the arrows do nothing";
  f.tab();
  ASSERT_EQ(f.yellow(), frameAt(50, 50));
  f.press(39);
  EXPECT_EQ(f.yellow(), frameAt(300, 50)) << "right";
  f.press(40);
  EXPECT_EQ(f.yellow(), frameAt(300, 250)) << "down";
  f.press(37);
  EXPECT_EQ(f.yellow(), frameAt(50, 250)) << "left";
  f.press(37);
  EXPECT_EQ(f.yellow(), frameAt(50, 250)) << "nothing further left";
  f.press(38);
  EXPECT_EQ(f.yellow(), frameAt(50, 50)) << "up";

  Asm off;
  off.setVar("_focusrect", false);
  FocusPlayer g(movieWith(four, off));
  g.tab();
  g.press(39);
  g.draw();
  EXPECT_EQ(g.pixel(100, 100), kBluePixel)
      << "without the rectangle, left keeps the focus and shows its over picture";
  EXPECT_EQ(g.pixel(350, 100), 0xFFFF0000u);
}

TEST(KeyboardFocus, AStageOfTensOfThousandsOfButtonsIsWalkedWithinBounds) {
  // 40 buttons in a sprite, 40 of those in another, 40 of those on the stage: 64,000.
  auto fill = [](uint16_t character) {
    std::vector<uint8_t> body;
    for (uint16_t i = 0; i < 40; ++i) {
      auto place = t::placeObject2(
          {.depth = uint16_t(i + 1), .character = character, .translate = {{i * 20, i * 10}}});
      body.insert(body.end(), place.begin(), place.end());
    }
    return t::concat({body, t::showFrame()});
  };
  auto sprites = t::concat(
      {t::defineSprite(kSprite, 1, fill(kButton)), t::defineSprite(kPlain, 1, fill(kSprite))});
  std::vector<uint8_t> tags = t::concat({shapes(), buttonDef(), sprites, fill(kPlain)});
  FocusPlayer f(t::movie(tags));
  for (int i = 0; i < 3; ++i) f.tab();
  f.shiftTab();
  f.press(kEnter);  // a button has the focus
  EXPECT_EQ(f.take(), (std::vector<std::string>{"press", "release"}));
}

TEST(KeyboardFocus, OddTabPropertiesAndAnEmptyStageAreHarmless) {
  Asm script;
  script.getVar("left").push({"tabIndex", std::nan("")}).op(0x4F);
  script.getVar("right").push({"tabIndex", -1e308}).op(0x4F);
  script.getVar("low").push({"tabChildren", "no"}).op(0x4F);
  script.getVar("low").push({"tabEnabled", "yes"}).op(0x4F);
  FocusPlayer f(movieWith(kThree, script));
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 50)) << "only right has a usable tabIndex";
  f.tab();
  EXPECT_EQ(f.yellow(), frameAt(300, 50));

  FocusPlayer empty(t::movie(t::concat({shapes(), t::showFrame()})));
  EXPECT_TRUE(empty.player.keyDown(kTab));
  empty.press(kEnter);
  EXPECT_EQ(empty.yellow().count, 0);
}

namespace {

std::filesystem::path focusCorpus(const char* name) {
  return std::filesystem::path(ORV_CORPUS_DIR) / "visual/focus_highlight" / name;
}

// How many pixels of the player's picture differ from a reference image.
int pixelsOff(Player& player, const std::filesystem::path& png) {
  Pixmap pix;
  pix.width = 550;
  pix.height = 400;
  player.render(pix, player.stage());
  if (const char* dump = std::getenv("ORV_CORPUS_DUMP"))
    writePng(pix, std::string(dump) + "/focus_" + png.parent_path().filename().string() + "_" +
                      png.filename().string());
  std::ifstream in(png, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  const auto expected = orv::movie::codec::decodeImage(bytes.data(), bytes.size());
  if (!expected || expected->argb.size() != pix.pixels.size()) return -1;
  int off = 0;
  for (size_t i = 0; i < pix.pixels.size(); ++i)
    off += (pix.pixels[i] | 0xFF000000u) != (expected->argb[i] | 0xFF000000u);
  return off;
}

}  // namespace

// The corpus movie whose reference run pressed Tab before each of its six pictures:
// clips, a clip partly off the stage, a text field (no rectangle) and a button.
TEST(KeyboardFocus, CorpusRenderMovieMatchesItsPicturesWithTabPressed) {
  const auto dir = focusCorpus("focus_highlight_render");
  if (!std::filesystem::exists(dir / "test.swf")) GTEST_SKIP() << "no corpus movie";
  Player player;
  ASSERT_TRUE(player.load((dir / "test.swf").string()));
  player.setQuality(Quality::Low);
  player.start();
  for (int frame = 1; frame <= 6; ++frame) {
    if (frame > 1) player.advance(player.framePeriodMs());
    player.keyDown(kTab);
    player.keyUp(kTab);
    char name[32];
    std::snprintf(name, sizeof name, "output.%02d.expected.png", frame);
    // The text field's picture has the caret where the reference had its pointer.
    const int off = pixelsOff(player, dir / name);
    EXPECT_GE(off, 0) << name;
    EXPECT_LE(off, frame == 5 ? 100 : 4) << name;
  }
}

// Two clips with tabIndex 1 and 2 whose Escape listener calls Selection.setFocus; the
// pictures' names say what the reference run did before each: Tab, Tab, the mouse moved,
// released, pressed, a key, Escape, Tab, Escape again.
TEST(KeyboardFocus, CorpusBasicMovieFollowsTabTheMouseAndScriptFocusChanges) {
  const auto dir = focusCorpus("focus_highlight_basic");
  if (!std::filesystem::exists(dir / "test.swf")) GTEST_SKIP() << "no corpus movie";
  Player player;
  ASSERT_TRUE(player.load((dir / "test.swf").string()));
  player.setQuality(Quality::Low);
  player.start();
  auto key = [&](int code) {
    player.keyDown(code);
    player.keyUp(code);
  };
  const double x = 500 * 20, y = 350 * 20;  // an empty corner
  const std::vector<std::pair<const char*, std::function<void()>>> steps = {
      {"01_highlight_under", [&] { key(kTab); }},
      {"02_highlight_over", [&] { key(kTab); }},
      {"03_after_mouse_move", [&] { player.mouseMove(x, y); }},
      {"04_after_mouse_up", [&] { player.mouseUp(x, y); }},
      {"05_after_mouse_down", [&] { player.mouseDown(x, y); }},
      {"06_after_key_down", [&] { key('A'); }},
      {"07_after_focus_change", [&] { key(27); }},
      {"08_after_focus_change_and_tab", [&] { key(kTab); }},
      {"09_after_focus_change_without_highlight",
       [&] {
         player.mouseMove(x - 20, y);
         key(27);
       }},
  };
  bool first = true;
  for (const auto& [name, step] : steps) {
    if (!first) player.advance(player.framePeriodMs());
    first = false;
    step();
    EXPECT_EQ(pixelsOff(player, dir / (std::string("output.") + name + ".expected.png")), 0)
        << name;
  }
}

// Each press flips a key's toggle, Caps Lock's and any other's; the left mouse button is
// key 1, down while pressed. Key listeners see the toggle of the key going down.
TEST(KeyboardFocus, KeysAndTheMouseButtonToggleOnEachPressAndIsDownSeesTheButton) {
  Asm body;
  for (int code : {20, 65, 1})
    body.push({code, 1}).getVar("Key").push({"isToggled"}).op(0x52).trace();
  body.push({1, 1}).getVar("Key").push({"isDown"}).op(0x52).trace();
  FocusPlayer f(movieWith({}, Asm()
                                  .getVar("_root")
                                  .push({"onKeyDown"})
                                  .function("", {}, body)
                                  .op(0x4F)
                                  .getVar("_root")
                                  .push({1})
                                  .getVar("Key")
                                  .push({"addListener"})
                                  .op(0x52)
                                  .op(0x17)));
  using L = std::vector<std::string>;
  f.press('A');
  EXPECT_EQ(f.take(), (L{"false", "true", "false", "false"}));
  f.player.mouseDown(10, 10);
  f.press(20);
  EXPECT_EQ(f.take(), (L{"true", "true", "true", "true"})) << "Caps Lock on, the button held";
  f.player.mouseUp(10, 10);
  f.player.mouseDown(10, 10);
  f.player.mouseUp(10, 10);
  f.press('B');
  EXPECT_EQ(f.take(), (L{"true", "true", "false", "false"})) << "a second click toggles back";
  f.press(20);
  EXPECT_EQ(f.take(), (L{"false", "true", "false", "false"}));
}

// Objects whose corners coincide (to the twip) stand as one stop: Tab, forward or back,
// reaches only the first of them in display order.
TEST(KeyboardFocus, TabReachesOnlyTheFirstOfObjectsSharingACorner) {
  Asm script;
  for (const char* name : {"first", "second", "other"})
    script.getVar(name)
        .push({"onSetFocus"})
        .function("", {}, Asm().push({name}).trace())
        .op(0x4F);
  FocusPlayer f(movieWith({{"first", 1000, 1000}, {"second", 1000, 1000}, {"other", 6000, 1000}},
                          script));
  using L = std::vector<std::string>;
  f.tab();
  f.tab();
  f.tab();
  EXPECT_EQ(f.take(), (L{"first", "other", "first"}));
  f.shiftTab();
  f.shiftTab();
  EXPECT_EQ(f.take(), (L{"other", "first"}));
}
