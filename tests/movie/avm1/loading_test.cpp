// Scripts load files from the movie's own folder (LoadVars, loadVariables, loadMovie,
// MovieClipLoader): text arrives as the frame ends, movies a frame later, callbacks in the player's
// order, and what may not or cannot be read is reported as a failure. Real files in a
// temporary folder, played by the Player.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "movie/player.h"
#include "support/png_writer.h"
#include "script_test_util.h"
#include "../swf_writer.h"
#include "temp_dir.h"

using namespace orv::movie;
namespace t = orv::movie::test;
namespace fs = std::filesystem;
using orv::movie::avm1::test::Asm;

namespace {

constexpr uint8_t kAdd2 = 0x47, kNewObject = 0x40, kSetMember = 0x4F, kCallMethod = 0x52,
                  kGetMember = 0x4E, kPop = 0x17, kStop = 0x07, kGetUrl2 = 0x9A;

struct Folder : orv::test::TempDir {
  Folder() : TempDir("orv-loading") {}
};

// Script pieces.
Asm newObject(const std::string& var, const std::string& cls) {
  return Asm().push({var, 0, cls}).op(kNewObject).op(0x1D);
}
// obj.method(arg) with its result dropped or traced.
Asm callWithString(const std::string& obj, const std::string& method, const std::string& arg) {
  return Asm().push({arg, 1}).getVar(obj).push({method}).op(kCallMethod);
}
// obj[name] = function(params) { body }
Asm setHandler(const std::string& obj, const std::string& name, std::vector<std::string> params,
               const Asm& body) {
  return Asm().getVar(obj).push({name}).function("", std::move(params), body).op(kSetMember);
}
// trace(text + a + " " + b ...) of variables, joined by spaces.
Asm traceJoined(const std::string& text, std::initializer_list<std::string> vars) {
  Asm a;
  a.push({text});
  for (const std::string& v : vars) a.push({" "}).op(kAdd2).getVar(v).op(kAdd2);
  return a.trace();
}

std::vector<uint8_t> movieWith(const Asm& firstFrame, std::vector<uint8_t> moreTags = {},
                               uint8_t version = 8) {
  return t::movie(t::concat({moreTags, t::doAction(Asm().append(firstFrame).op(kStop).bytes()),
                             t::showFrame()}),
                  {.version = version});
}

struct Played {
  Player player;
  std::vector<std::string> lines;
  explicit Played(const std::string& file) {
    player.setTraceSink([this](const std::string& l) { lines.push_back(l); });
    if (!player.load(file)) lines.push_back("<" + player.error() + ">");
    player.start();
  }
  explicit Played(std::vector<uint8_t> bytes) {
    player.setTraceSink([this](const std::string& l) { lines.push_back(l); });
    if (!player.loadBytes(std::move(bytes))) lines.push_back("<" + player.error() + ">");
    player.start();
  }
  // The lines traced during the next `frames` frames.
  std::vector<std::string> frames(int frames) {
    const size_t before = lines.size();
    for (int i = 0; i < frames; ++i) player.advance(player.framePeriodMs());
    return std::vector<std::string>(lines.begin() + long(before), lines.end());
  }
};

using Lines = std::vector<std::string>;

// lv = new LoadVars(); lv.onLoad = trace("onLoad " + ok + " " + this.a); trace(lv.load(url))
Asm loadVarsFrom(const std::string& url) {
  Asm onLoad = Asm()
                   .push({"onLoad "})
                   .getVar("ok")
                   .op(kAdd2)
                   .push({" "})
                   .op(kAdd2)
                   .push({"this"})
                   .op(0x1C)
                   .push({"a"})
                   .op(kGetMember)
                   .op(kAdd2)
                   .trace();
  return Asm()
      .append(newObject("lv", "LoadVars"))
      .append(setHandler("lv", "onLoad", {"ok"}, onLoad))
      .append(callWithString("lv", "load", url))
      .trace();
}

TEST(LoadVarsLoading, DataArrivesAsTheFrameEndsNeverInsideTheCall) {
  Folder dir;
  dir.write("vars.txt", "a=hello%20there&b=2");
  Asm script = loadVarsFrom("vars.txt")
                   .push({"right after: "})
                   .getVar("lv")
                   .push({"loaded"})
                   .op(kGetMember)
                   .op(kAdd2)
                   .trace();
  Played run(dir.write("main.swf", movieWith(script)));
  EXPECT_EQ(run.lines, (Lines{"true", "right after: false", "onLoad true hello there"}));
  EXPECT_EQ(run.frames(3), Lines{});  // once only
}

TEST(LoadVarsLoading, OnDataSeesTheTextAndReplacingItSkipsDecoding) {
  Folder dir;
  // A UTF-8 byte order mark is not part of the text (SWF 6 and later).
  dir.write("vars.txt",
            "\xEF\xBB\xBF"
            "a=1&b=2\n");
  Asm onData = Asm().push({"onData ["}).getVar("src").op(kAdd2).push({"]"}).op(kAdd2).trace();
  Asm script = Asm()
                   .append(newObject("lv", "LoadVars"))
                   .append(setHandler("lv", "onData", {"src"}, onData))
                   .append(callWithString("lv", "load", "vars.txt"))
                   .op(kPop);
  Played run(dir.write("main.swf", movieWith(script)));
  EXPECT_EQ(run.lines, (Lines{"onData [a=1&b=2\n]"}));
}

TEST(LoadVarsLoading, RefusedMissingEmptyAndOversizedFilesFail) {
  Folder dir;  // the movie lies in dir/inner; secret.txt beside that folder, not in it
  dir.write("secret.txt", "a=outside");
  const fs::path inner = dir.path / "inner";
  fs::create_directories(inner);
  std::ofstream(inner / "empty.txt").flush();
  std::ofstream(inner / "big.txt", std::ios::binary) << "a=big&";
  fs::resize_file(inner / "big.txt", (32u << 20) + 1);
  const std::string outsideAbsolute = (dir.path / "secret.txt").string();
  for (const std::string url :
       {"http://example.com/vars.txt", "file:///vars.txt", "../secret.txt", outsideAbsolute.c_str(),
        "missing.txt", "empty.txt", "big.txt", "C:\\secret.txt", "*.txt"}) {
    SCOPED_TRACE(url);
    Played run(dir.write("inner/main.swf", movieWith(loadVarsFrom(url))));
    // The request is accepted, and fails as the frame ends.
    EXPECT_EQ(run.lines, (Lines{"true", "onLoad false undefined"}));
    EXPECT_EQ(run.frames(2), Lines{});
  }
}

TEST(LoadVarsLoading, AMovieGivenAsBytesLoadsNothing) {
  Folder dir;
  dir.write("vars.txt", "a=1");
  Played run(movieWith(loadVarsFrom("vars.txt")));
  EXPECT_EQ(run.lines, (Lines{"true", "onLoad false undefined"}));
}

TEST(LoadVarsLoading, SendAndLoadLoadsTheUrlIntoTheTarget) {
  Folder dir;
  dir.write("reply.txt", "a=answer");
  Asm onLoad = Asm().push({"this"}).op(0x1C).push({"a"}).op(kGetMember).trace();
  Asm script = Asm()
                   .append(newObject("lv", "LoadVars"))
                   .append(newObject("reply", "LoadVars"))
                   .append(setHandler("reply", "onLoad", {"ok"}, onLoad))
                   .getVar("reply")
                   .push({"reply.txt", 2})
                   .getVar("lv")
                   .push({"sendAndLoad"})
                   .op(kCallMethod)
                   .trace();
  Played run(dir.write("main.swf", movieWith(script)));
  EXPECT_EQ(run.lines, (Lines{"true", "answer"}));
}

TEST(LoadVariables, VariablesArriveInTheClipThenItsOnDataRuns) {
  Folder dir;
  dir.write("vars.txt", "a=1&b=two");
  // _root.onData = function() { trace("data " + a + " " + b) }; loadVariables("vars.txt", "_root")
  Asm onData = traceJoined("data", {"a", "b"});
  Asm script = setHandler("_root", "onData", {}, onData)
                   .push({"vars.txt", "_root"})
                   .action(kGetUrl2, {0xC0})
                   .append(traceJoined("now", {"a"}));
  Played run(dir.write("main.swf", movieWith(script)));
  EXPECT_EQ(run.lines, (Lines{"now undefined", "data 1 two"}));
}

// A SWF 6 movie holding a 100 x 50 pixel square that traces from its first frame.
std::vector<uint8_t> childMovie() {
  return t::movie(
      t::concat(
          {t::defineRect(1, 2000, 1000, 0, 0, 255), t::placeObject2({.depth = 1, .character = 1}),
           t::doAction(Asm().push({"child frame 1"}).trace().op(kStop).bytes()), t::showFrame()}),
      {.version = 6});
}

// _root.createEmptyMovieClip("holder", 1); holder.loadMovie(url)
Asm holderLoading(const std::string& url) {
  return Asm()
      .push({1, "holder", 2})
      .getVar("_root")
      .push({"createEmptyMovieClip"})
      .op(kCallMethod)
      .op(kPop)
      .append(callWithString("holder", "loadMovie", url))
      .op(kPop);
}

// trace(holder._width + " " + holder._height + " " + holder._url)
Asm traceHolder() {
  return Asm()
      .getVar("holder")
      .push({"_width"})
      .op(kGetMember)
      .push({" "})
      .op(kAdd2)
      .getVar("holder")
      .push({"_height"})
      .op(kGetMember)
      .op(kAdd2)
      .push({" "})
      .op(kAdd2)
      .getVar("holder")
      .push({"_url"})
      .op(kGetMember)
      .op(kAdd2)
      .trace();
}

TEST(LoadMovie, ASwfReplacesTheClipsContentOnALaterFrame) {
  Folder dir;
  dir.write("child.swf", childMovie());
  Asm script = holderLoading("child.swf")
                   .append(traceHolder())
                   .append(setHandler("_root", "onEnterFrame", {}, traceHolder()));
  Played run(dir.write("main.swf", movieWith(script)));
  EXPECT_EQ(run.lines, (Lines{"0 0 "}));
  // The child's first frame runs as it arrives; the clip then has the child's size and URL.
  EXPECT_EQ(run.frames(1), (Lines{"child frame 1", "100 50 file:///child.swf"}));
  // Its square is drawn with its own character.
  Pixmap pixels{.width = 550, .height = 400};
  run.player.render(pixels, run.player.stage());
  EXPECT_EQ(pixels.pixels.at(10 * 550 + 10), 0xFF0000FFu);
  EXPECT_EQ(pixels.pixels.at(10 * 550 + 150), 0xFFFFFFFFu);
}

TEST(LoadMovie, TheAddresssQueryGivesTheMovieVariablesItsFirstFrameReads) {
  Folder dir;
  // trace(this.greeting + " " + this.n)
  Asm reads = Asm()
                  .getVar("this")
                  .push({"greeting"})
                  .op(kGetMember)
                  .push({" "})
                  .op(kAdd2)
                  .getVar("this")
                  .push({"n"})
                  .op(kGetMember)
                  .op(kAdd2)
                  .trace();
  dir.write("child.swf",
            t::movie(t::concat({t::doAction(reads.op(kStop).bytes()), t::showFrame()}),
                     {.version = 6}));
  Played run(dir.write("main.swf", movieWith(holderLoading("child.swf?greeting=hello%20there&n=10"))));
  EXPECT_EQ(run.frames(1), (Lines{"hello there 10"}));
}

TEST(LoadMovie, AnImageShowsAtItsPixelSizeAndABrokenFileLeavesTheClipEmpty) {
  Folder dir;
  Pixmap image{.width = 30, .height = 20, .pixels = std::vector<uint32_t>(600, 0xFF00FF00u)};
  dir.write("picture.png", encodePng(image));
  dir.write("broken.swf", std::string("FWS\x08garbage that is no movie"));
  dir.write("broken.png", std::string("\x89PNG\r\n\x1a\n and then nothing", 26));
  for (auto [url, expected] :
       {std::pair<std::string, std::string>{"picture.png", "30 20 file:///picture.png"},
        {"broken.swf", "0 0 file:///broken.swf"},
        {"broken.png", "0 0 file:///broken.png"}}) {
    SCOPED_TRACE(url);
    Played run(dir.write("main.swf", movieWith(holderLoading(url).append(
                                         setHandler("_root", "onEnterFrame", {}, traceHolder())))));
    EXPECT_EQ(run.frames(1), (Lines{expected}));
    // The picture is drawn from the loaded image, at the clip's origin.
    Pixmap pixels{.width = 550, .height = 400};
    run.player.render(pixels, run.player.stage());
    const bool shown = url == "picture.png";
    EXPECT_EQ(pixels.pixels.at(10 * 550 + 10), shown ? 0xFF00FF00u : 0xFFFFFFFFu);
    EXPECT_EQ(pixels.pixels.at(10 * 550 + 40), 0xFFFFFFFFu);
  }
}

TEST(LoadMovie, AJpegShowsAtItsPixelSize) {
  const fs::path jpeg =
      fs::path(ORV_CORPUS_DIR) / "from_gnash/actionscript.all/MovieClipLoader-v8/green.jpg";
  if (!fs::exists(jpeg)) GTEST_SKIP() << "no corpus JPEG here";
  Folder dir;
  fs::copy_file(jpeg, dir.path / "green.jpg");
  Played run(dir.write(
      "main.swf", movieWith(holderLoading("green.jpg")
                                .append(setHandler("_root", "onEnterFrame", {}, traceHolder())))));
  EXPECT_EQ(run.frames(1), (Lines{"170 170 file:///green.jpg"}));
}

TEST(LoadMovie, AMissingFileLeavesTheClipAndUnloadMovieEmptiesIt) {
  Folder dir;
  dir.write("child.swf", childMovie());
  // Every frame: n++, trace the holder; on frame 2 load a missing file, on frame 4 unload.
  Asm onMissing = callWithString("holder", "loadMovie", "missing.swf").op(kPop);
  Asm onUnload = Asm().push({0}).getVar("holder").push({"unloadMovie"}).op(kCallMethod).op(kPop);
  auto when = [](int n, const Asm& then) {
    return Asm()
        .getVar("n")
        .push({n})
        .op(0x49)
        .op(0x12)
        .ifTrue(static_cast<int16_t>(then.size()))
        .append(then);
  };
  Asm everyFrame = Asm()
                       .push({"n"})
                       .getVar("n")
                       .op(0x50)
                       .op(0x1D)
                       .append(traceHolder())
                       .append(when(2, onMissing))
                       .append(when(4, onUnload));
  Asm script = holderLoading("child.swf")
                   .setVar("n", 0)
                   .append(setHandler("_root", "onEnterFrame", {}, everyFrame));
  Played run(dir.write("main.swf", movieWith(script)));
  EXPECT_EQ(run.frames(6),
            (Lines{"child frame 1", "100 50 file:///child.swf", "100 50 file:///child.swf",
                   "100 50 file:///child.swf", "100 50 file:///child.swf", "0 0 ", "0 0 "}));
}

// A MovieClipLoader whose listener (the loader itself) traces each callback's name and
// first argument.
Asm loaderTracing(const std::string& url, const std::string& target) {
  Asm a = Asm()
              .append(newObject("mcl", "MovieClipLoader"))
              .push({1, "loadtarget", 2})
              .getVar("_root")
              .push({"createEmptyMovieClip"})
              .op(kCallMethod)
              .op(kPop);
  for (const char* event : {"onLoadStart", "onLoadProgress", "onLoadComplete", "onLoadInit"})
    a.append(setHandler("mcl", event, {"t"}, traceJoined(event, {"t"})));
  a.append(
      setHandler("mcl", "onLoadError", {"t", "code"}, traceJoined("onLoadError", {"t", "code"})));
  return a.push({target, url, 2}).getVar("mcl").push({"loadClip"}).op(kCallMethod).trace();
}

TEST(MovieClipLoaderLoading, CallbacksComeOverThreeFramesInThePlayersOrder) {
  Folder dir;
  dir.write("child.swf", childMovie());
  Played run(dir.write("main.swf", movieWith(loaderTracing("child.swf", "loadtarget"), {}, 7)));
  EXPECT_EQ(run.lines, (Lines{"true"}));
  EXPECT_EQ(run.frames(1), (Lines{"child frame 1", "onLoadStart _level0.loadtarget",
                                  "onLoadProgress _level0.loadtarget"}));
  EXPECT_EQ(run.frames(1),
            (Lines{"onLoadProgress _level0.loadtarget", "onLoadComplete _level0.loadtarget"}));
  EXPECT_EQ(run.frames(1), (Lines{"onLoadInit _level0.loadtarget"}));
  EXPECT_EQ(run.frames(2), Lines{});
}

TEST(MovieClipLoaderLoading, AFileThatCannotBeReadGivesOnLoadError) {
  Folder dir;
  for (const std::string url : {"missing.swf", "http://example.com/child.swf", "../child.swf"}) {
    SCOPED_TRACE(url);
    Played run(dir.write("main.swf", movieWith(loaderTracing(url, "loadtarget"), {}, 7)));
    EXPECT_EQ(run.frames(3), (Lines{"onLoadError _level0.loadtarget URLNotFound"}));
  }
  // No target or no URL: refused at once.
  Played none(dir.write("none.swf", movieWith(loaderTracing("child.swf", "nowhere"), {}, 7)));
  EXPECT_EQ(none.lines, (Lines{"false"}));
  EXPECT_EQ(none.frames(2), Lines{});
}

TEST(MovieClipLoaderLoading, RequestsInFlightAreBounded) {
  Folder dir;
  dir.write("child.swf", childMovie());
  // 200 loads of the same file into the same clip: the first ones are taken, then
  // loadClip says no; the movie keeps playing.
  Asm script = Asm()
                   .append(newObject("mcl", "MovieClipLoader"))
                   .push({1, "loadtarget", 2})
                   .getVar("_root")
                   .push({"createEmptyMovieClip"})
                   .op(kCallMethod)
                   .op(kPop)
                   .setVar("taken", 0)
                   .setVar("i", 0);
  Asm body = Asm()
                 .push({"taken"})
                 .push({"loadtarget", "child.swf", 2})
                 .getVar("mcl")
                 .push({"loadClip"})
                 .op(kCallMethod)
                 .op(0x18)
                 .getVar("taken")
                 .op(kAdd2)
                 .op(0x1D)  // taken += Number(ret)
                 .push({"i"})
                 .getVar("i")
                 .op(0x50)
                 .op(0x1D);                                    // i++
  Asm cond = Asm().getVar("i").push({200}).op(0x48).op(0x12);  // !(i < 200)
  // while (i < 200) body
  const int16_t bodyLen = static_cast<int16_t>(body.size() + 5);
  script.append(cond)
      .ifTrue(bodyLen)
      .append(body)
      .jump(static_cast<int16_t>(-(static_cast<int>(cond.size()) + 5 + bodyLen)))
      .append(traceJoined("taken", {"taken"}));
  Played run(dir.write("main.swf", movieWith(script, {}, 7)));
  EXPECT_EQ(run.lines, (Lines{"taken 64"}));
  run.frames(10);
  EXPECT_TRUE(run.player.loaded());
}

}  // namespace

namespace orv::movie::avm1 {
namespace {

// A host that counts the files read and answers every name with `size` bytes.
class CountingHost : public test::FakeHost {
 public:
  explicit CountingHost(size_t size) : FakeHost(8), size_(size) {}
  std::optional<std::vector<uint8_t>> readFile(const std::string&, size_t maxBytes) override {
    ++reads;
    if (size_ > maxBytes) return std::nullopt;
    return std::vector<uint8_t>(size_, 'a');
  }
  int reads = 0;

 private:
  size_t size_;
};

int readsPerFrame(CountingHost& h, int requests, std::vector<int>* perFrame) {
  Vm& vm = h.vm;
  for (int i = 0; i < requests; ++i) {
    Value lv = vm.construct(vm.getMember(vm.global, "LoadVars"), {});
    // Taking the text as it is keeps megabytes of decoding out of the frame's script
    // time, which a slow or busy machine could run out of.
    vm.setMember(lv.asObject(), "onData",
                 Value(vm.newNative([](Vm&, CallInfo&) -> Value { return Value(); })));
    std::vector<Value> args{Value("file" + std::to_string(i))};
    vm.callMethod(lv, "load", args);
    vm.setMember(vm.global, "keep" + std::to_string(i), lv);
  }
  int total = 0;
  for (int frame = 0; frame < 20 && total < requests; ++frame) {
    h.reads = 0;
    vm.startFrameBudget();  // as the timeline does each frame
    vm.runLoads();
    perFrame->push_back(h.reads);
    total += h.reads;
  }
  return total;
}

TEST(LoadQueue, EachFrameReadsOnlySoManyFilesAndBytes) {
  CountingHost small(10);
  std::vector<int> perFrame;
  EXPECT_EQ(readsPerFrame(small, 10, &perFrame), 10);
  EXPECT_EQ(perFrame, (std::vector<int>{4, 4, 2}));
  // 3 MB files: the third read passes the frame's byte budget, the rest wait.
  CountingHost large(3u << 20);
  perFrame.clear();
  EXPECT_EQ(readsPerFrame(large, 5, &perFrame), 5);
  EXPECT_EQ(perFrame, (std::vector<int>{3, 2}));
}

}  // namespace
}  // namespace orv::movie::avm1
