// Buttons under the mouse through the player: the state machine's transitions and the
// actions, pictures and sounds each one brings; clips acting as buttons; _xmouse.
#include <gtest/gtest.h>

// Designated initialisers leave the optional fields of the tag builders empty.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <cmath>
#include <string>
#include <vector>

#include "movie/interaction/button_movies.h"
#include "movie/avm1/script_test_util.h"
#include "movie/player.h"
#include "movie/swf/types.h"

using namespace orv::movie;
namespace t = orv::movie::test;

namespace {

constexpr uint16_t kRed = 1, kBlue = 2, kGreen = 3, kBig = 4, kButton = 10, kSprite = 20;
constexpr uint32_t kRedPixel = 0xFFFF0000, kBluePixel = 0xFF0000FF, kGreenPixel = 0xFF00FF00,
                   kWhitePixel = 0xFFFFFFFF;

std::vector<uint8_t> shapes() {
  return t::concat(
      {t::defineRect(kRed, 2000, 2000, 255, 0, 0), t::defineRect(kBlue, 2000, 2000, 0, 0, 255),
       t::defineRect(kGreen, 2000, 2000, 0, 255, 0), t::defineRect(kBig, 4000, 4000, 0, 0, 0)});
}

// Every transition traces its name.
std::vector<t::ButtonActionSpec> tracingActions() {
  return {{0x01, 0, t::traceBlock("rollOver")},      {0x02, 0, t::traceBlock("rollOut")},
          {0x04, 0, t::traceBlock("press")},         {0x08, 0, t::traceBlock("release")},
          {0x10, 0, t::traceBlock("dragOut")},       {0x20, 0, t::traceBlock("dragOver")},
          {0x40, 0, t::traceBlock("releaseOutside")}};
}

// Up red, over blue, down green, all at (0,0)-(2000,2000) of the button; the hit area
// is `hit` (kRed: the same square). The button sits at (1000,1000) on the stage.
std::vector<uint8_t> buttonMovie(uint16_t hit = kRed, int32_t hitX = 0,
                                 std::vector<t::ButtonActionSpec> actions = tracingActions(),
                                 std::vector<uint8_t> extraTags = {}) {
  auto button = t::defineButton2(kButton,
                                 {{.up = true, .character = kRed},
                                  {.over = true, .character = kBlue},
                                  {.down = true, .character = kGreen},
                                  {.hit = true, .character = hit, .x = hitX}},
                                 actions);
  return t::movie(
      t::concat({shapes(), button, extraTags,
                 t::placeObject2({.depth = 1, .character = kButton, .translate = {{1000, 1000}}}),
                 t::showFrame()}));
}

struct MousePlayer {
  Player player;
  std::vector<std::string> lines;
  explicit MousePlayer(const std::vector<uint8_t>& movie) {
    player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(player.loadBytes(movie));
  }
  std::vector<std::string> take() { return std::exchange(lines, {}); }
  // The colour shown at a stage point (twips), drawn one pixel per 20 twips.
  uint32_t pixelAt(double x, double y) {
    Pixmap p;
    p.width = 550;
    p.height = 400;
    player.render(p, player.stage());
    return p.pixels[size_t(y / 20) * 550 + size_t(x / 20)];
  }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(Buttons, RollOverPressReleaseRollOutRunTheirActionsAndShowTheirStates) {
  MousePlayer m(buttonMovie());
  Player& p = m.player;
  const double inX = 2000, inY = 2000;  // the middle of the button

  EXPECT_EQ(m.pixelAt(inX, inY), kRedPixel);
  EXPECT_FALSE(p.mouseMove(500, 500));  // nothing there
  EXPECT_FALSE(p.handCursor());
  EXPECT_TRUE(m.take().empty());

  EXPECT_TRUE(p.mouseMove(inX, inY));
  EXPECT_EQ(m.take(), Lines{"rollOver"});
  EXPECT_TRUE(p.handCursor());
  EXPECT_EQ(m.pixelAt(inX, inY), kBluePixel);
  EXPECT_FALSE(p.mouseMove(inX + 100, inY));  // still over the same button: no new event
  EXPECT_TRUE(m.take().empty());

  p.mouseDown(inX, inY);
  EXPECT_EQ(m.take(), Lines{"press"});
  EXPECT_EQ(m.pixelAt(inX, inY), kGreenPixel);
  p.mouseUp(inX, inY);
  EXPECT_EQ(m.take(), Lines{"release"});
  EXPECT_EQ(m.pixelAt(inX, inY), kBluePixel);

  p.mouseMove(5000, 5000);
  EXPECT_EQ(m.take(), Lines{"rollOut"});
  EXPECT_FALSE(p.handCursor());
  EXPECT_EQ(m.pixelAt(inX, inY), kRedPixel);
}

TEST(Buttons, DraggingOutAndBackAndReleasingOutside) {
  MousePlayer m(buttonMovie());
  Player& p = m.player;
  p.mouseMove(2000, 2000);
  p.mouseDown(2000, 2000);
  m.take();
  p.mouseMove(6000, 6000);
  EXPECT_EQ(m.take(), Lines{"dragOut"});
  EXPECT_FALSE(p.handCursor());
  p.mouseMove(2500, 2500);
  EXPECT_EQ(m.take(), Lines{"dragOver"});
  EXPECT_EQ(m.pixelAt(2000, 2000), kGreenPixel);
  p.mouseMove(6000, 6000);
  EXPECT_EQ(m.take(), Lines{"dragOut"});
  p.mouseUp(6000, 6000);
  EXPECT_EQ(m.take(), Lines{"releaseOutside"});
  EXPECT_EQ(m.pixelAt(2000, 2000), kRedPixel);
  // Back over it with the button up: an ordinary roll over.
  p.mouseMove(2000, 2000);
  EXPECT_EQ(m.take(), Lines{"rollOver"});
}

TEST(Buttons, APressOnEmptyStageDoesNotArmAButtonReachedLater) {
  MousePlayer m(buttonMovie());
  Player& p = m.player;
  p.mouseDown(500, 500);
  p.mouseMove(2000, 2000);
  p.mouseUp(2000, 2000);
  // Only when the button goes up does the button under the pointer roll over.
  EXPECT_EQ(m.take(), Lines{"rollOver"});
}

TEST(Buttons, TheHitAreaIsTheHitRecordNotThePictureNorItsBounds) {
  // The hit area is a 4000-twip square beside the picture: (3000..7000, 1000..5000).
  MousePlayer m(buttonMovie(kBig, 2000));
  Player& p = m.player;
  p.mouseMove(2000, 2000);  // over the red picture: not the hit area
  EXPECT_TRUE(m.take().empty());
  EXPECT_FALSE(p.handCursor());
  p.mouseMove(6900, 4900);
  EXPECT_EQ(m.take(), Lines{"rollOver"});
  EXPECT_TRUE(p.handCursor());
  p.mouseMove(7200, 4900);
  EXPECT_EQ(m.take(), Lines{"rollOut"});
}

TEST(Buttons, ConditionActionsCanStopTheMovieAndKeyOnlyActionsDoNotRunOnMouse) {
  std::vector<t::ButtonActionSpec> actions = {
      {0x08, 0, {t::kActionStop, 0}}, {0x00, 13, t::traceBlock("enter key")},  // a key press only
  };
  // Two frames, so the movie has somewhere to play to.
  auto movie = t::movie(
      t::concat({shapes(),
                 t::defineButton2(kButton, {{.up = true, .hit = true, .character = kRed}}, actions),
                 t::placeObject2({.depth = 1, .character = kButton, .translate = {{1000, 1000}}}),
                 t::showFrame(), t::showFrame()}),
      {.frameCount = 2});
  MousePlayer m(movie);
  Player& p = m.player;
  p.play();
  ASSERT_TRUE(p.playing());
  p.mouseDown(2000, 2000);
  EXPECT_TRUE(p.playing());  // pressing is not releasing
  p.mouseUp(2000, 2000);
  EXPECT_FALSE(p.playing());
  EXPECT_TRUE(m.take().empty());
}

TEST(Buttons, DefineButtonRunsItsActionsOnReleaseAndTakesItsColourTransform) {
  auto button = t::defineButton1(
      kButton, {{.up = true, .over = true, .down = true, .hit = true, .character = kRed}},
      t::traceBlock("clicked"));
  // Red times (0, 0, 0) plus nothing is black: the transform is there.
  auto movie = t::movie(
      t::concat({shapes(), button, t::defineButtonCxform(kButton, 0, 0, 256),
                 t::placeObject2({.depth = 1, .character = kButton, .translate = {{1000, 1000}}}),
                 t::showFrame()}),
      {.version = 4});
  MousePlayer m(movie);
  Player& p = m.player;
  EXPECT_EQ(m.pixelAt(2000, 2000), 0xFF000000u);
  p.mouseMove(2000, 2000);
  p.mouseDown(2000, 2000);
  EXPECT_TRUE(m.take().empty());
  p.mouseUp(2000, 2000);
  EXPECT_EQ(m.take(), Lines{"clicked"});
}

TEST(Buttons, RollingOverPlaysTheButtonsSound) {
  auto extra = t::concat(
      {t::defineConstantSound(30, 2000, 12000), t::defineButtonRollOverSound(kButton, 30)});
  MousePlayer m(buttonMovie(kRed, 0, tracingActions(), extra));
  Player& p = m.player;
  auto loudest = [&p] {
    std::vector<int16_t> buffer(2 * 2048);
    p.mixAudio(buffer.data(), 2048);
    int peak = 0;
    for (int16_t s : buffer) peak = std::max(peak, std::abs(int(s)));
    return peak;
  };
  EXPECT_EQ(loudest(), 0);
  p.mouseMove(2000, 2000);
  EXPECT_GT(loudest(), 1000);
  // Pressing has no sound of its own in this button.
  for (int i = 0; i < 100 && loudest() > 0; ++i) {
  }
  p.mouseDown(2000, 2000);
  EXPECT_EQ(loudest(), 0);
}

TEST(Buttons, AButtonAppearingUnderAStillPointerRollsOverOnTheNextFrame) {
  auto button =
      t::defineButton2(kButton, {{.up = true, .hit = true, .character = kRed}}, tracingActions());
  auto movie = t::movie(
      t::concat({shapes(), button, t::showFrame(),
                 t::placeObject2({.depth = 1, .character = kButton, .translate = {{1000, 1000}}}),
                 t::showFrame()}),
      {.frameCount = 2});
  MousePlayer m(movie);
  Player& p = m.player;
  p.mouseMove(2000, 2000);
  EXPECT_FALSE(p.handCursor());
  p.play();
  EXPECT_TRUE(p.advance(p.framePeriodMs()));
  EXPECT_EQ(m.take(), Lines{"rollOver"});
  EXPECT_TRUE(p.handCursor());
}

TEST(Buttons, TrackAsMenuHandsThePressToTheButtonReached) {
  std::vector<t::ButtonActionSpec> actions = {{0x04, 0, t::traceBlock("press")},
                                              {0x80, 0, t::traceBlock("menuOver")},
                                              {0x100, 0, t::traceBlock("menuOut")},
                                              {0x08, 0, t::traceBlock("release")}};
  auto b1 =
      t::defineButton2(kButton, {{.up = true, .hit = true, .character = kRed}}, actions, true);
  auto b2 =
      t::defineButton2(kButton + 1, {{.up = true, .hit = true, .character = kBlue}}, actions, true);
  auto movie = t::movie(t::concat(
      {shapes(), b1, b2, t::placeObject2({.depth = 1, .character = kButton, .translate = {{0, 0}}}),
       t::placeObject2({.depth = 2, .character = kButton + 1, .translate = {{4000, 0}}}),
       t::showFrame()}));
  MousePlayer m(movie);
  Player& p = m.player;
  p.mouseMove(1000, 1000);
  p.mouseDown(1000, 1000);
  p.mouseMove(5000, 1000);
  p.mouseUp(5000, 1000);
  EXPECT_EQ(m.take(), (Lines{"press", "menuOut", "menuOver", "release"}));
}

TEST(ClipsAsButtons, OnPressAndReleaseHandlersMakeAClipTakeTheMouse) {
  auto sprite = t::defineSprite(
      kSprite, 1, t::concat({t::placeObject2({.depth = 1, .character = kRed}), t::showFrame()}));
  auto place =
      t::placeClipWithActions(1, kSprite, "c", 1000, 1000,
                              {{swf::ClipEvent::Press, t::traceBlock("clip press")},
                               {swf::ClipEvent::Release, t::traceBlock("clip release")},
                               {swf::ClipEvent::ReleaseOutside, t::traceBlock("clip outside")}});
  MousePlayer m(t::movie(t::concat({shapes(), sprite, place, t::showFrame()})));
  Player& p = m.player;
  p.mouseMove(2000, 2000);
  EXPECT_TRUE(p.handCursor());
  p.mouseDown(2000, 2000);
  p.mouseUp(2000, 2000);
  p.mouseDown(2000, 2000);
  p.mouseUp(8000, 6000);
  EXPECT_EQ(m.take(), (Lines{"clip press", "clip release", "clip press", "clip outside"}));
  p.mouseMove(500, 500);
  EXPECT_FALSE(p.handCursor());
}

// A clip that scripts made a menu hands the press on as a menu button does: the clip the
// pointer reaches while pressed hears a drag over.
TEST(ClipsAsButtons, TrackAsMenuSetByScriptHandsThePressOn) {
  auto sprite = t::defineSprite(
      kSprite, 1, t::concat({t::placeObject2({.depth = 1, .character = kRed}), t::showFrame()}));
  auto first = t::placeClipWithActions(1, kSprite, "c1", 0, 0,
                                       {{swf::ClipEvent::Press, t::traceBlock("c1 press")}});
  auto second = t::placeClipWithActions(
      2, kSprite, "c2", 4000, 0,
      {{swf::ClipEvent::Press, t::traceBlock("c2 press")},
       {swf::ClipEvent::DragOver, t::traceBlock("c2 dragOver")}});
  std::vector<uint8_t> menu = t::pushStrings({"c1"});
  menu.push_back(t::kActionGetVariable);
  for (uint8_t byte : t::pushStrings({"trackAsMenu"})) menu.push_back(byte);
  menu.insert(menu.end(), {t::kActionPush, 2, 0, 5, 1, t::kActionSetMember, 0});
  for (bool asMenu : {false, true}) {
    SCOPED_TRACE(asMenu);
    MousePlayer m(t::movie(t::concat({shapes(), sprite, first, second,
                                      asMenu ? t::doAction(menu) : std::vector<uint8_t>{},
                                      t::showFrame()})));
    Player& p = m.player;
    p.mouseMove(1000, 1000);
    p.mouseDown(1000, 1000);
    p.mouseMove(5000, 1000);
    p.mouseUp(5000, 1000);
    EXPECT_EQ(m.take(), asMenu ? (Lines{"c1 press", "c2 dragOver"}) : Lines{"c1 press"});
  }
}

TEST(ClipsAsButtons, MethodsSetByScriptAndMouseEventsEverywhere) {
  auto sprite = t::defineSprite(
      kSprite, 1, t::concat({t::placeObject2({.depth = 1, .character = kRed}), t::showFrame()}));
  // "c" gets onRelease and onRollOver from the frame script; "w" watches every mouse down.
  auto c =
      t::placeObject2({.depth = 1, .character = kSprite, .translate = {{1000, 1000}}, .name = "c"});
  auto w =
      t::placeClipWithActions(2, kSprite, "w", 8000, 6000,
                              {{swf::ClipEvent::MouseDown, t::traceBlock("mouseDown anywhere")}});
  auto first = t::defineTracingMethod("c", "onRelease", "method release");
  first.pop_back();  // one End for both
  auto script = t::concat({first, t::defineTracingMethod("c", "onRollOver", "method over")});
  MousePlayer m(t::movie(t::concat({shapes(), sprite, c, w, t::doAction(script), t::showFrame()})));
  Player& p = m.player;
  p.mouseMove(2000, 2000);
  p.mouseDown(2000, 2000);
  p.mouseUp(2000, 2000);
  EXPECT_EQ(m.take(), (Lines{"method over", "mouseDown anywhere", "method release"}));
  // The watcher hears a press far from any clip too; "w" itself takes no press.
  p.mouseDown(500, 500);
  EXPECT_EQ(m.take(), Lines{"mouseDown anywhere"});
}

TEST(ClipsAsButtons, XMouseIsThePointerInTheClipsOwnPixels) {
  auto sprite = t::defineSprite(
      kSprite, 1, t::concat({t::placeObject2({.depth = 1, .character = kRed}), t::showFrame()}));
  auto place = t::placeClipWithActions(
      1, kSprite, "c", 1000, 2000,
      {{swf::ClipEvent::MouseMove, t::traceVariableBlock("_xmouse")},
       {swf::ClipEvent::MouseMove, t::traceVariableBlock("_root._ymouse")}});
  MousePlayer m(t::movie(t::concat({shapes(), sprite, place, t::showFrame()})));
  m.player.mouseMove(1500, 2600);
  EXPECT_EQ(m.take(), (Lines{"25", "130"}));
}

TEST(Mouse, InputWithoutAMovieOrWithOddNumbersIsHarmless) {
  Player empty;
  EXPECT_FALSE(empty.mouseMove(10, 10));
  EXPECT_FALSE(empty.mouseDown(10, 10));
  EXPECT_FALSE(empty.mouseUp(10, 10));
  EXPECT_FALSE(empty.handCursor());

  MousePlayer m(buttonMovie());
  Player& p = m.player;
  p.mouseMove(NAN, 1);
  p.mouseMove(INFINITY, -INFINITY);
  p.mouseMove(-1e300, 1e300);
  p.mouseUp(0, 0);  // up without down
  p.mouseDown(2000, 2000);
  p.mouseDown(2000, 2000);  // down twice
  EXPECT_EQ(m.take(), (Lines{"rollOver", "press"}));
  p.unload();
  EXPECT_FALSE(p.mouseUp(2000, 2000));
}

TEST(Mouse, ButtonsWhoseRecordsLoopThroughSpritesStayBounded) {
  // A sprite that places the button, whose hit area is the sprite; the sprite also
  // places itself many times: the test must end quickly and find nothing odd.
  auto sprite = t::defineSprite(
      kSprite, 1,
      t::concat({t::placeObject2({.depth = 1, .character = kButton}),
                 t::placeObject2({.depth = 2, .character = kSprite}),
                 t::placeObject2({.depth = 3, .character = kSprite}),
                 t::placeObject2({.depth = 4, .character = kSprite}), t::showFrame()}));
  auto button = t::defineButton2(kButton, {{.up = true, .hit = true, .character = kSprite}},
                                 {{0x01, 0, t::traceBlock("over")}});
  MousePlayer m(
      t::movie(t::concat({shapes(), button, sprite,
                          t::placeObject2({.depth = 1, .character = kButton}), t::showFrame()})));
  for (int i = 0; i < 20; ++i) m.player.mouseMove(100.0 * i, 100.0 * i);
  EXPECT_TRUE(m.take().empty());
}

namespace {
// trace(c.hitTest(x, y, shape)) without the End.
std::vector<uint8_t> traceHitTest(int32_t x, int32_t y, bool shape) {
  std::vector<uint8_t> body = {5, uint8_t(shape ? 1 : 0)};
  for (int32_t v : {y, x, 3}) {
    body.push_back(7);
    for (int i = 0; i < 4; ++i) body.push_back(uint8_t(uint32_t(v) >> (8 * i)));
  }
  std::vector<uint8_t> out = {t::kActionPush, uint8_t(body.size()), 0};
  out.insert(out.end(), body.begin(), body.end());
  out = t::concat({out,
                   t::pushStrings({"c"}),
                   {t::kActionGetVariable},
                   t::pushStrings({"hitTest"}),
                   {0x52 /* CallMethod */, t::kActionTrace}});
  return out;
}
}  // namespace

TEST(ClipsAsButtons, HitTestByShapeFollowsTheGeometryAndByBoundsTheBox) {
  // "c" at (1000, 1000) holds a red square at its (0,0) and a blue one at (4000, 0): the
  // gap between them (stage pixels 150..250) is in its box but not in its shapes.
  auto sprite = t::defineSprite(
      kSprite, 1,
      t::concat({t::placeObject2({.depth = 1, .character = kRed}),
                 t::placeObject2({.depth = 2, .character = kBlue, .translate = {{4000, 0}}}),
                 t::showFrame()}));
  auto c =
      t::placeObject2({.depth = 1, .character = kSprite, .translate = {{1000, 1000}}, .name = "c"});
  auto script = t::concat({traceHitTest(100, 100, true),
                           traceHitTest(100, 100, false),
                           traceHitTest(200, 100, true),
                           traceHitTest(200, 100, false),
                           traceHitTest(400, 100, true),
                           traceHitTest(400, 300, false),
                           {0}});
  MousePlayer m(t::movie(t::concat({shapes(), sprite, c, t::doAction(script), t::showFrame()})));
  EXPECT_EQ(m.take(), (Lines{"true", "true", "false", "true", "false", "false"}));
}

TEST(Buttons, NamedButtonsAreObjectsWithMethodsAndCanBeDisabled) {
  auto button = t::defineButton2(kButton, {{.up = true, .hit = true, .character = kRed}},
                                 {{0x08, 0, t::traceBlock("release action")}});
  auto place =
      t::placeObject2({.depth = 1, .character = kButton, .translate = {{1000, 1000}}, .name = "b"});
  auto method = t::defineTracingMethod("b", "onRelease", "release method");
  method.pop_back();
  // b.enabled = false, in frame 2.
  auto disable = t::concat({t::pushStrings({"b"}),
                            {t::kActionGetVariable},
                            t::pushStrings({"enabled"}),
                            {t::kActionPush, 2, 0, 5, 0, t::kActionSetMember, t::kActionStop, 0}});
  MousePlayer m(t::movie(
      t::concat({shapes(), button, place, t::doAction(t::concat({method, {t::kActionStop, 0}})),
                 t::showFrame(), t::doAction(disable), t::showFrame()}),
      {.frameCount = 2}));
  Player& p = m.player;
  p.mouseDown(2000, 2000);
  p.mouseUp(2000, 2000);
  EXPECT_EQ(m.take(), (Lines{"release action", "release method"}));
  p.play();
  p.advance(p.framePeriodMs());
  ASSERT_EQ(p.currentFrame(), 1);
  EXPECT_FALSE(p.handCursor()) << "a disabled button under the pointer is no target";
  p.mouseDown(2000, 2000);
  p.mouseUp(2000, 2000);
  EXPECT_TRUE(m.take().empty());
}

TEST(Buttons, KeyPressConditionsRunForTheirKeyWhereverThePointerIs) {
  std::vector<t::ButtonActionSpec> actions = {{0x00, 13, t::traceBlock("enter")},
                                              {0x00, 'a', t::traceBlock("letter a")},
                                              {0x08, 0, t::traceBlock("release")}};
  auto button = t::defineButton2(kButton, {{.up = true, .hit = true, .character = kRed}}, actions);
  // The button sits inside a sprite: nested buttons hear keys too.
  auto sprite = t::defineSprite(
      kSprite, 1, t::concat({t::placeObject2({.depth = 1, .character = kButton}), t::showFrame()}));
  MousePlayer m(t::movie(
      t::concat({shapes(), button, sprite,
                 t::placeObject2({.depth = 1, .character = kSprite, .translate = {{1000, 1000}}}),
                 t::showFrame()})));
  Player& p = m.player;
  EXPECT_TRUE(p.keyPress(13));
  EXPECT_TRUE(p.keyPress('a'));
  EXPECT_FALSE(p.keyPress('b'));
  EXPECT_FALSE(p.keyPress(0));
  EXPECT_FALSE(p.keyPress(100000));
  EXPECT_EQ(m.take(), (Lines{"enter", "letter a"}));
}

TEST(Buttons, AKeyPressIsTakenByTheFirstButtonThatAnswersIt) {
  std::vector<t::ButtonActionSpec> actions = {{0x00, 'a', t::traceBlock("letter a")}};
  auto button = t::defineButton2(kButton, {{.up = true, .hit = true, .character = kRed}}, actions);
  MousePlayer m(t::movie(t::concat({shapes(), button,
                                    t::placeObject2({.depth = 1, .character = kButton}),
                                    t::placeObject2({.depth = 2, .character = kButton}),
                                    t::showFrame()})));
  Player& p = m.player;
  EXPECT_TRUE(p.keyPress('a'));
  EXPECT_EQ(m.take(), (Lines{"letter a"}));
}

TEST(ClipsAsButtons, APressedClipCanDragItselfUntilReleased) {
  // on(press) { startDrag("") } on(release) { stopDrag() }: the clip keeps its offset
  // from the pointer.
  auto sprite = t::defineSprite(
      kSprite, 1, t::concat({t::placeObject2({.depth = 1, .character = kRed}), t::showFrame()}));
  std::vector<uint8_t> drag = {t::kActionPush, 12, 0, 7, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0x27, 0};
  auto place = t::placeClipWithActions(1, kSprite, "c", 1000, 1000,
                                       {{swf::ClipEvent::Press, drag},
                                        {swf::ClipEvent::Release, {0x28, 0}},
                                        {swf::ClipEvent::MouseMove, t::traceVariableBlock("_x")}});
  MousePlayer m(t::movie(t::concat({shapes(), sprite, place, t::showFrame()})));
  Player& p = m.player;
  p.mouseDown(1500, 1500);
  m.take();
  EXPECT_TRUE(p.mouseMove(3500, 1500));
  EXPECT_EQ(m.take(), Lines{"150"});  // moved 100 pixels right with the pointer
  EXPECT_EQ(m.pixelAt(3500, 1500), kRedPixel);
  EXPECT_EQ(m.pixelAt(1200, 1500), kWhitePixel);
  p.mouseUp(3500, 1500);
  p.mouseMove(5000, 5000);
  EXPECT_EQ(m.take(), Lines{"150"});  // released: it stays
}

TEST(Keys, HeldKeysAreWhatKeyIsDownAndGetCodeSee) {
  // Each frame traces Key.isDown(37) and Key.getCode(); the movie loops over two frames.
  auto callKey = [](const char* method, std::vector<uint8_t> args) {
    std::vector<uint8_t> a = {0x96, static_cast<uint8_t>(args.size()), 0};
    a.insert(a.end(), args.begin(), args.end());
    const std::vector<uint8_t> rest =
        t::concat({t::pushStrings({"Key"}), {0x1C}, t::pushStrings({method}), {0x52, 0x26}});
    a.insert(a.end(), rest.begin(), rest.end());
    return a;
  };
  // push 37, 1 (int32 values), or push 0 for no arguments
  const std::vector<uint8_t> isDownLeft = callKey("isDown", {7, 37, 0, 0, 0, 7, 1, 0, 0, 0});
  const std::vector<uint8_t> getCode = callKey("getCode", {7, 0, 0, 0, 0});
  auto frame = t::concat({t::doAction(t::concat({isDownLeft, getCode, {0x00}})), t::showFrame()});
  MousePlayer m(t::movie(t::concat({frame, frame})));
  Player& p = m.player;
  p.play();
  EXPECT_EQ(m.take(), (Lines{"false", "0"}));
  p.keyDown(37);
  p.advance(p.framePeriodMs());
  EXPECT_EQ(m.take(), (Lines{"true", "37"}));
  p.keyUp(37);
  p.keyDown(39);
  p.advance(p.framePeriodMs());
  EXPECT_EQ(m.take(), (Lines{"false", "39"}));
  p.keyDown(-5);
  p.keyUp(100000);  // codes no keyboard sends change nothing
  p.advance(p.framePeriodMs());
  EXPECT_EQ(m.take(), (Lines{"false", "39"}));
}

TEST(Buttons, AnExportedButtonAttachedByScriptIsAButtonAndTakesNoInitialMembers) {
  using orv::movie::avm1::test::Asm;
  auto button = t::defineButton2(kButton, {{.up = true, .hit = true, .character = kRed}},
                                 {{0x08, 0, t::traceBlock("release")}});
  t::BitWriter exports;
  exports.u16(1);
  exports.u16(kButton);
  exports.string("btn");
  // var init = new Object(); init.f = 56; b = attachMovie("btn", "b", 5, init);
  // trace(b); trace(b.f); b._x = 50; stop();
  Asm code;
  code.push({"init", 0, "Object"}).op(0x40).op(0x1D);
  code.getVar("init").push({"f", 56}).op(0x4F);
  code.push({"b"})
      .getVar("init")
      .push({5, "b", "btn", 4})
      .push({"this"})
      .op(0x1C)
      .push({"attachMovie"})
      .op(0x52)
      .op(0x1D);
  code.traceVar("b");
  code.getVar("b").push({"f"}).op(0x4E).trace();
  code.getVar("b").push({"_x", 50}).op(0x4F).op(0x07);
  MousePlayer m(t::movie(t::concat({shapes(), button, t::tag(56, exports.bytes),
                                    t::doAction(code.bytes()), t::showFrame()}),
                         {.version = 6}));
  EXPECT_EQ(m.take(), (Lines{"_level0.b", "undefined"}));
  // Drawn at x 50 px (1000 twips), and pressed there.
  EXPECT_EQ(m.pixelAt(1500, 500), kRedPixel);
  EXPECT_EQ(m.pixelAt(500, 500), kWhitePixel);
  m.player.mouseDown(1500, 500);
  m.player.mouseUp(1500, 500);
  EXPECT_EQ(m.take(), (Lines{"release"}));
}

// A clip with button handlers and frames labelled _up, _over and _down shows the frame of
// the mouse's state: red up, blue over, green down; a handler's own goto comes after it.
TEST(ClipsAsButtons, FramesLabelledUpOverAndDownFollowTheMouse) {
  auto frame = [](const char* label, uint16_t colour, bool first) {
    return t::concat({t::frameLabel(label), first ? std::vector<uint8_t>{} : t::removeObject2(1),
                      t::placeObject2({.depth = 1, .character = colour}),
                      first ? t::doAction({t::kActionStop, 0}) : std::vector<uint8_t>{},
                      t::showFrame()});
  };
  auto sprite = t::defineSprite(kSprite, 3,
                                t::concat({frame("_up", kRed, true), frame("_over", kBlue, false),
                                           frame("_down", kGreen, false)}));
  auto place = t::placeClipWithActions(1, kSprite, "c", 1000, 1000,
                                       {{swf::ClipEvent::Release, t::traceBlock("release")}});
  MousePlayer m(t::movie(t::concat({shapes(), sprite, place, t::showFrame()})));
  Player& p = m.player;
  EXPECT_EQ(m.pixelAt(2000, 2000), kRedPixel);
  p.mouseMove(2000, 2000);
  EXPECT_EQ(m.pixelAt(2000, 2000), kBluePixel);
  p.mouseDown(2000, 2000);
  EXPECT_EQ(m.pixelAt(2000, 2000), kGreenPixel);
  p.mouseMove(8000, 6000);  // dragged off: over, as a button shows it
  EXPECT_EQ(m.pixelAt(2000, 2000), kBluePixel);
  p.mouseMove(2000, 2000);
  p.mouseUp(2000, 2000);
  EXPECT_EQ(m.pixelAt(2000, 2000), kBluePixel);
  EXPECT_EQ(m.take(), Lines{"release"});
  p.mouseMove(8000, 6000);
  EXPECT_EQ(m.pixelAt(2000, 2000), kRedPixel);
  // The clip stays where its state put it while the movie plays on.
  p.advance(p.framePeriodMs());
  EXPECT_EQ(m.pixelAt(2000, 2000), kRedPixel);
}

TEST(Mouse, HideAndShowTellTheHostWhetherToShowThePointer) {
  using orv::movie::avm1::test::Asm;
  auto call = [](const char* method) {
    return Asm().push({0, "Mouse"}).op(0x1C).push({method}).op(0x52).op(0x17);
  };
  MousePlayer m(t::movie(t::concat({t::doAction(call("hide").bytes()), t::showFrame(),
                                    t::doAction(call("show").op(0x07).bytes()), t::showFrame()}),
                         {.frameCount = 2}));
  Player& p = m.player;
  EXPECT_TRUE(p.pointerHidden()) << "the first frame hid it";
  p.play();
  p.advance(p.framePeriodMs());
  EXPECT_FALSE(p.pointerHidden());
  Player fresh;
  EXPECT_FALSE(fresh.pointerHidden()) << "without a movie";
}
