// Movies loaded into levels (loadMovieNum, loadMovie into "_levelN", _root or _level0):
// each level is a root of its own, drawn above the lower ones and played in level order;
// unloading and loading again; the byte counts clips report; the bounds on levels. Real
// files in a temporary folder, played by the Player.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "movie/player.h"
#include "movie/timeline/stage.h"
#include "movie/swf/reader.h"
#include "script_test_util.h"
#include "../swf_writer.h"
#include "temp_dir.h"

using namespace orv::movie;
namespace t = orv::movie::test;
namespace fs = std::filesystem;
using orv::movie::avm1::test::Asm;

namespace {

constexpr uint8_t kAdd2 = 0x47, kSetMember = 0x4F, kCallMethod = 0x52, kGetMember = 0x4E,
                  kPop = 0x17, kStop = 0x07, kGetUrl2 = 0x9A, kTypeOf = 0x44;

struct Folder : orv::test::TempDir {
  Folder() : TempDir("orv-levels") {}
};

struct Played {
  Player player;
  std::vector<std::string> lines;
  explicit Played(const std::string& file) {
    player.setTraceSink([this](const std::string& l) { lines.push_back(l); });
    if (!player.load(file)) lines.push_back("<" + player.error() + ">");
    player.start();
  }
  std::vector<std::string> frames(int frames) {
    const size_t before = lines.size();
    for (int i = 0; i < frames; ++i) player.advance(player.framePeriodMs());
    return std::vector<std::string>(lines.begin() + long(before), lines.end());
  }
  uint32_t pixel(int x, int y) {
    Pixmap pixels{.width = 550, .height = 400};
    player.render(pixels, player.stage());
    return pixels.pixels.at(size_t(y) * 550 + size_t(x));
  }
};

using Lines = std::vector<std::string>;

// loadMovieNum(url, level) as compilers write it: getURL2 to "_levelN" (no flags).
Asm loadMovieNum(const std::string& url, int level) {
  return Asm().push({url, "_level" + std::to_string(level)}).action(kGetUrl2, {0});
}
Asm unloadMovieNum(int level) { return loadMovieNum("", level); }
// trace(a + " " + b + ...) of pushed expressions, each an Asm that leaves one value.
Asm traceAll(std::initializer_list<Asm> parts) {
  Asm a;
  bool first = true;
  for (const Asm& p : parts) {
    if (!first) a.push({" "}).op(kAdd2);
    a.append(p);
    if (!first) a.op(kAdd2);
    first = false;
  }
  return a.trace();
}
Asm member(const std::string& var, const std::string& name) {
  return Asm().getVar(var).push({name}).op(kGetMember);
}
Asm call0(const std::string& var, const std::string& method) {
  return Asm().push({0}).getVar(var).push({method}).op(kCallMethod);
}
Asm typeOf(const std::string& var) { return Asm().getVar(var).op(kTypeOf); }
Asm typeOf(const std::string& var, const std::string& name) {
  return member(var, name).op(kTypeOf);
}

// A movie of `frames` frames, each running its script (the last one stops); `rect`
// draws a w x h pixel rectangle of that colour at depth 1 first.
struct Rect {
  int w, h;
  uint8_t r, g, b;
};
std::vector<uint8_t> movieOf(std::vector<Asm> frames, std::optional<Rect> rect = std::nullopt,
                             char compression = 'F') {
  std::vector<uint8_t> tags;
  if (rect) {
    auto def = t::defineRect(1, rect->w * 20, rect->h * 20, rect->r, rect->g, rect->b);
    auto place = t::placeObject2({.depth = 1, .character = 1});
    tags.insert(tags.end(), def.begin(), def.end());
    tags.insert(tags.end(), place.begin(), place.end());
  }
  for (size_t i = 0; i < frames.size(); ++i) {
    Asm code = frames[i];
    if (i + 1 == frames.size()) code.op(kStop);
    auto action = t::doAction(code.bytes());
    auto show = t::showFrame();
    tags.insert(tags.end(), action.begin(), action.end());
    tags.insert(tags.end(), show.begin(), show.end());
  }
  return t::movie(tags, {.version = 6,
                         .frameCount = static_cast<uint16_t>(frames.size()),
                         .compression = compression});
}

// What a level traces as its first frame runs: who it is, and what _root and _level0 are.
Asm introduce(const std::string& who) {
  return traceAll({Asm().push({who}), Asm().getVar("_root"), Asm().getVar("this"),
                   call0("this", "getDepth"), member("_level0", "tag")});
}

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kGreen = 0xFF00FF00u,
                   kWhite = 0xFFFFFFFFu;

TEST(Levels, ALevelArrivesAFrameLaterDrawnAboveLevelZeroWithItsOwnRoot) {
  Folder dir;
  dir.write("one.swf", movieOf({introduce("one")}, Rect{50, 50, 0, 0, 255}));
  Asm main = Asm()
                 .getVar("_level0")
                 .push({"tag", "main"})
                 .op(kSetMember)
                 .append(loadMovieNum("one.swf", 1))
                 .append(traceAll({Asm().push({"asked"}), typeOf("_level1")}));
  Played run(dir.write("main.swf", movieOf({main}, Rect{100, 100, 255, 0, 0})));
  EXPECT_EQ(run.lines, (Lines{"asked undefined"}));
  EXPECT_EQ(run.pixel(10, 10), kRed);
  // _root inside the level is the level; _level0 stays the first movie.
  EXPECT_EQ(run.frames(1), (Lines{"one _level1 _level1 -16383 main"}));
  EXPECT_EQ(run.pixel(10, 10), kBlue);  // level 1's square over level 0's
  EXPECT_EQ(run.pixel(75, 75), kRed);   // level 0 shows where level 1 has nothing
  EXPECT_EQ(run.pixel(200, 200), kWhite);
  EXPECT_EQ(run.frames(3), Lines{});  // its first frame runs once
}

TEST(Levels, LevelsPlayTheirFramesInLevelOrderAndEachHasItsOwnTimeline) {
  Folder dir;
  // Two frames each, tracing their frame; requested high level first.
  auto twoFrames = [](const std::string& who) {
    return movieOf({traceAll({Asm().push({who}), member("this", "_currentframe")}),
                    traceAll({Asm().push({who}), member("this", "_currentframe")})});
  };
  dir.write("a.swf", twoFrames("seven"));
  dir.write("b.swf", twoFrames("three"));
  Played run(
      dir.write("main.swf", movieOf({loadMovieNum("a.swf", 7).append(loadMovieNum("b.swf", 3))})));
  EXPECT_EQ(run.frames(1), (Lines{"three 1", "seven 1"}));
  EXPECT_EQ(run.frames(1), (Lines{"three 2", "seven 2"}));
  EXPECT_EQ(run.player.currentFrame(), 0);  // _level0 was stopped; the levels play on their own
}

TEST(Levels, UnloadMovieNumTakesTheLevelAwayAndLoadingAgainReplacesIt) {
  Folder dir;
  dir.write("one.swf", movieOf({Asm().push({"one here"}).trace()}, Rect{50, 50, 0, 0, 255}));
  dir.write("two.swf", movieOf({Asm().push({"two here"}).trace()}, Rect{50, 50, 0, 255, 0}));
  Asm keep = Asm().push({"kept"}).getVar("_level1").op(0x1D);  // kept = _level1
  Played run(dir.write(
      "main.swf",
      movieOf({loadMovieNum("one.swf", 1), Asm().append(keep), loadMovieNum("two.swf", 1), Asm(),
               unloadMovieNum(1), traceAll({typeOf("_level1"), typeOf("kept", "_target")})},
              Rect{100, 100, 255, 0, 0})));
  run.player.play();
  EXPECT_EQ(run.frames(1), (Lines{"one here"}));
  EXPECT_EQ(run.pixel(10, 10), kBlue);
  EXPECT_EQ(run.frames(2), (Lines{"two here"}));
  EXPECT_EQ(run.pixel(10, 10), kGreen);
  // The new movie is a new root: a reference to the old one finds nothing there now.
  EXPECT_EQ(run.frames(3), (Lines{"undefined undefined"}));
  EXPECT_EQ(run.pixel(10, 10), kRed);
}

TEST(Levels, LoadingIntoLevelZeroReplacesTheWholeMovie) {
  Folder dir;
  dir.write("one.swf", movieOf({Asm().push({"one here"}).trace()}, Rect{50, 50, 0, 0, 255}));
  dir.write("next.swf", movieOf({traceAll({Asm().push({"next"}), Asm().getVar("_root"),
                                           typeOf("_level1"), typeOf("_root", "tag")})},
                                Rect{20, 20, 0, 255, 0}));
  Asm second = Asm()
                   .getVar("_root")
                   .push({"tag", "old"})
                   .op(kSetMember)
                   .push({"next.swf", 1})
                   .getVar("_root")
                   .push({"loadMovie"})
                   .op(kCallMethod)
                   .op(kPop);
  Played run(dir.write(
      "main.swf", movieOf({loadMovieNum("one.swf", 1), second, Asm()}, Rect{100, 100, 255, 0, 0})));
  run.player.play();
  EXPECT_EQ(run.frames(1), (Lines{"one here"}));
  // The old movie's scripts, display list and levels are gone; the new one starts.
  EXPECT_EQ(run.frames(2), (Lines{"next _level0 undefined undefined"}));
  EXPECT_EQ(run.pixel(10, 10), kGreen);
  EXPECT_EQ(run.pixel(50, 50), kWhite);
  EXPECT_EQ(run.frames(3), Lines{});
}

TEST(Levels, TheMovieAtLevelZeroSetsTheBackgroundAndTheFrameRateLevelsAboveDoNot) {
  Folder dir;
  auto coloured = [](const Asm& script, uint8_t rate, uint8_t r, uint8_t g, uint8_t b) {
    return t::movie(
        t::concat({t::backgroundColor(r, g, b), t::doAction(Asm().append(script).op(kStop).bytes()),
                   t::showFrame()}),
        {.version = 6, .rateWhole = rate});
  };
  dir.write("upper.swf", coloured(Asm(), 30, 0, 255, 0));
  dir.write("base.swf", coloured(Asm(), 24, 0, 0, 255));
  Asm script = loadMovieNum("upper.swf", 1);
  Played run(dir.write("main.swf", coloured(script, 12, 255, 0, 0)));
  run.frames(1);
  EXPECT_EQ(run.pixel(300, 300), kRed);
  EXPECT_EQ(run.player.frameRate(), 12);
  // A movie loaded into level 0 takes the whole player's place.
  Played replaced(dir.write("main2.swf", coloured(loadMovieNum("base.swf", 0), 12, 255, 0, 0)));
  replaced.frames(2);
  EXPECT_EQ(replaced.pixel(300, 300), kBlue);
  EXPECT_EQ(replaced.player.frameRate(), 24);
  EXPECT_EQ(replaced.player.stage().width, run.player.stage().width);  // the stage keeps its size
}

TEST(Levels, UnloadingLevelZeroLeavesAnEmptyStage) {
  Folder dir;
  dir.write("one.swf", movieOf({Asm().push({"one here"}).trace()}, Rect{50, 50, 0, 0, 255}));
  Played run(dir.write("main.swf", movieOf({loadMovieNum("one.swf", 1), unloadMovieNum(0), Asm()},
                                           Rect{100, 100, 255, 0, 0})));
  run.player.play();
  EXPECT_EQ(run.frames(1), (Lines{"one here"}));
  run.frames(2);
  EXPECT_EQ(run.pixel(10, 10), kWhite);
  EXPECT_EQ(run.pixel(75, 75), kWhite);
}

TEST(Levels, ClipsReportTheirMoviesFileSizeAsBytesLoadedAndTotal) {
  Folder dir;
  const std::vector<uint8_t> plain = movieOf({traceAll(
      {Asm().push({"one"}), call0("this", "getBytesLoaded"), call0("this", "getBytesTotal")})});
  // A compressed movie tells the size it unpacks to.
  const std::vector<uint8_t> packed = movieOf(
      {traceAll({Asm().push({"two"}), call0("this", "getBytesTotal")}), Asm()}, std::nullopt, 'C');
  dir.write("one.swf", plain);
  dir.write("two.swf", packed);
  const uint32_t packedLength =
      uint32_t(packed[4]) | uint32_t(packed[5]) << 8 | uint32_t(packed[6]) << 16;
  ASSERT_NE(packedLength, packed.size());
  Asm main = loadMovieNum("one.swf", 1)
                 .append(loadMovieNum("two.swf", 2))
                 .push({1, "inner", 2})
                 .getVar("_root")
                 .push({"createEmptyMovieClip"})
                 .op(kCallMethod)
                 .op(kPop)
                 .append(traceAll({Asm().push({"main"}), call0("_root", "getBytesTotal"),
                                   call0("inner", "getBytesLoaded")}));
  const std::vector<uint8_t> mainBytes = movieOf({main});
  Played run(dir.write("main.swf", mainBytes));
  const std::string mainSize = std::to_string(mainBytes.size());
  EXPECT_EQ(run.lines, (Lines{"main " + mainSize + " " + mainSize}));
  EXPECT_EQ(run.frames(1),
            (Lines{"one " + std::to_string(plain.size()) + " " + std::to_string(plain.size()),
                   "two " + std::to_string(packedLength)}));
}

TEST(Levels, LevelNumbersAndTheNumberOfLevelsAreBounded) {
  Folder dir;
  dir.write("one.swf", movieOf({traceAll({Asm().push({"at"}), Asm().getVar("_root")})}));
  Played run(
      dir.write("main.swf",
                movieOf({loadMovieNum("one.swf", 65535)
                             .append(Asm().push({"one.swf", "_level65536"}).action(kGetUrl2, {0}))
                             .append(Asm().push({"one.swf", "_level-1"}).action(kGetUrl2, {0}))})));
  EXPECT_EQ(run.frames(2), (Lines{"at _level65535"}));

  // The stage holds at most so many levels at once; replacing one needs no room.
  std::vector<uint8_t> bytes = movieOf({Asm()});
  auto movie = swf::readMovie(bytes).movie;
  ASSERT_TRUE(movie);
  Stage stage(movie);
  bool placed = false;
  for (int n = 1; n < int(Stage::kMaxLevels); ++n) {
    stage.setLevel(n, std::make_shared<MovieClip>(stage, 0, nullptr, &movie->root), &placed);
    ASSERT_TRUE(placed) << n;
  }
  EXPECT_EQ(stage.levels().size(), Stage::kMaxLevels);
  stage.setLevel(1000, std::make_shared<MovieClip>(stage, 0, nullptr, &movie->root), &placed);
  EXPECT_FALSE(placed);
  auto old =
      stage.setLevel(5, std::make_shared<MovieClip>(stage, 0, nullptr, &movie->root), &placed);
  EXPECT_TRUE(placed);
  EXPECT_TRUE(old);
  stage.setLevel(Stage::kMaxLevel + 1, std::make_shared<MovieClip>(stage, 0, nullptr, &movie->root),
                 &placed);
  EXPECT_FALSE(placed);
  EXPECT_FALSE(stage.moveLevel(0, 5));  // _level0 stays where it is
  EXPECT_TRUE(stage.moveLevel(5, 2000));
  EXPECT_EQ(stage.level(5), nullptr);
  ASSERT_NE(stage.level(2000), nullptr);
  EXPECT_EQ(stage.levelOf(*stage.level(2000)), 2000);
  EXPECT_EQ(stage.level(2000)->depth, 2000);
}

TEST(Levels, ALevelMovedToAScriptDepthCanBeRemovedButNotMovedAgain) {
  Folder dir;
  dir.write("one.swf", movieOf({Asm()}));
  Asm swap =
      Asm()
          .push({10, 1})
          .getVar("_level5")
          .push({"swapDepths"})
          .op(kCallMethod)
          .op(kPop)
          .push({"ref"})
          .getVar("_level16394")
          .op(0x1D)
          .push({20, 1})
          .getVar("ref")
          .push({"swapDepths"})
          .op(kCallMethod)
          .op(kPop)
          .append(traceAll({typeOf("_level5"), member("ref", "_target"), call0("ref", "getDepth")}))
          .push({0})
          .getVar("ref")
          .push({"removeMovieClip"})
          .op(kCallMethod)
          .op(kPop)
          .append(traceAll({typeOf("_level16394"), typeOf("ref"), typeOf("ref", "_target")}));
  Played run(dir.write("main.swf", movieOf({loadMovieNum("one.swf", 5), Asm(), swap})));
  run.player.play();
  EXPECT_EQ(run.frames(2), (Lines{"undefined _level16394 10", "undefined movieclip undefined"}));
}

// A movie with a clip named "box" holding a 50 pixel square, whose onPress method says
// whose it is; `more` runs after that in the first frame.
std::vector<uint8_t> pressable(const std::string& who, uint8_t r, uint8_t g, uint8_t b,
                               const Asm& more = Asm()) {
  std::vector<uint8_t> tags = t::concat(
      {t::defineRect(1, 1000, 1000, r, g, b),
       t::defineSprite(2, 1,
                       t::concat({t::placeObject2({.depth = 1, .character = 1}), t::showFrame()})),
       t::placeObject2({.depth = 1, .character = 2, .name = std::string("box")})});
  Asm script = Asm()
                   .getVar("box")
                   .push({"onPress"})
                   .function("", {}, Asm().push({who + " pressed"}).trace())
                   .op(kSetMember)
                   .append(more)
                   .op(kStop);
  return t::movie(t::concat({tags, t::doAction(script.bytes()), t::showFrame()}), {.version = 6});
}

TEST(Levels, TheTopLevelTakesTheMouseFirst) {
  Folder dir;
  dir.write("top.swf", pressable("level 2", 0, 0, 255));
  Played run(dir.write("main.swf", pressable("level 0", 255, 0, 0, loadMovieNum("top.swf", 2))));
  auto click = [&] {
    run.player.mouseDown(200, 200);  // stage twips: 10 pixels in
    run.player.mouseUp(200, 200);
  };
  click();
  EXPECT_EQ(run.lines, (Lines{"level 0 pressed"}));
  run.frames(1);
  click();
  EXPECT_EQ(run.lines, (Lines{"level 0 pressed", "level 2 pressed"}));
  // Hidden, the level lets the pointer through to the one below.
  run.player.stageObject()->level(2)->visible = false;
  click();
  EXPECT_EQ(run.lines, (Lines{"level 0 pressed", "level 2 pressed", "level 0 pressed"}));
}

}  // namespace

namespace {

TEST(Levels, ThePlayerRedrawsWhileALevelComesOrPlaysOverAStillMovie) {
  Folder dir;
  dir.write("still.swf", movieOf({Asm()}, Rect{50, 50, 0, 0, 255}));
  // Two frames without a stop: the level loops on its own.
  dir.write("moving.swf", t::movie(t::concat({t::defineRect(1, 1000, 1000, 0, 255, 0),
                                              t::placeObject2({.depth = 1, .character = 1}),
                                              t::showFrame(), t::showFrame()}),
                                   {.version = 6, .frameCount = 2}));
  Played still(dir.write("a.swf", movieOf({loadMovieNum("still.swf", 3)})));
  const double period = still.player.framePeriodMs();
  EXPECT_TRUE(still.player.advance(period));   // the level arrives
  EXPECT_FALSE(still.player.advance(period));  // nothing moves any more
  Played moving(dir.write("b.swf", movieOf({loadMovieNum("moving.swf", 3)})));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(moving.player.advance(period)) << i;
  EXPECT_EQ(moving.player.currentFrame(), 0);  // _level0 itself stays stopped
}

}  // namespace

namespace {

// mcl = new MovieClipLoader() tracing its callbacks with their target, then
// trace(mcl.loadClip(url, target)) for each target (a level number).
Asm levelLoader(const std::vector<std::pair<std::string, int>>& loads) {
  Asm a = Asm().push({"mcl", 0, "MovieClipLoader"}).op(0x40).op(0x1D);
  auto handler = [&](const char* event, std::vector<std::string> params) {
    Asm body = Asm().push({std::string(event) + " "}).getVar("t").op(kAdd2).trace();
    a.getVar("mcl").push({event}).function("", std::move(params), body).op(kSetMember);
  };
  for (const char* event : {"onLoadStart", "onLoadComplete", "onLoadInit"}) handler(event, {"t"});
  handler("onLoadError", {"t", "code"});
  for (const auto& [url, level] : loads)
    a.push({level, url, 2}).getVar("mcl").push({"loadClip"}).op(kCallMethod).trace();
  return a;
}

TEST(Levels, AMovieClipLoaderLoadsIntoALevelByItsNumber) {
  Folder dir;
  dir.write("one.swf", movieOf({traceAll({Asm().push({"one at"}), Asm().getVar("_root")})}));
  Played run(dir.write("main.swf", movieOf({levelLoader({{"one.swf", 4}, {"missing.swf", 6}})})));
  EXPECT_EQ(run.lines, (Lines{"true", "true"}));
  // The level is there at once; its first frame comes with the next tick's frames.
  EXPECT_EQ(run.frames(1), (Lines{"onLoadStart _level4", "onLoadError ", "one at _level4"}));
  EXPECT_EQ(run.frames(1), (Lines{"onLoadComplete _level4"}));
  EXPECT_EQ(run.frames(1), (Lines{"onLoadInit _level4"}));
  ASSERT_NE(run.player.stageObject()->level(4), nullptr);
  EXPECT_EQ(run.player.stageObject()->level(6), nullptr);
}

}  // namespace

namespace {

TEST(Levels, AMovieLoadingItselfIntoEveryLevelStaysBounded) {
  Folder dir;
  // Each copy asks for itself in levels 1..200 and unloads level 3 again: requests pile up,
  // and every copy that arrives asks again.
  Asm script;
  for (int n = 1; n <= 200; ++n) script.append(loadMovieNum("main.swf", n));
  script.append(unloadMovieNum(3)).append(traceAll({Asm().push({"at"}), Asm().getVar("_root")}));
  Played run(dir.write("main.swf", movieOf({script}, Rect{10, 10, 0, 0, 255})));
  run.frames(60);
  const Stage& stage = *run.player.stageObject();
  EXPECT_LE(stage.levels().size(), Stage::kMaxLevels);
  EXPECT_GT(stage.levels().size(), 10u);
  // Loaded movies are bounded as well: after so many, loads stop succeeding.
  EXPECT_LE(run.lines.size(), Stage::kMaxLoadedMovies + 1);
  EXPECT_EQ(run.lines.front(), "at _level0");
  EXPECT_EQ(run.pixel(5, 5), kBlue);
}

}  // namespace
