// A movie of the first machine plays an FLV file beside it through NetConnection,
// NetStream and a placed Video object: the picture shown follows the stream's clock, and
// onStatus and onMetaData come in the player's order. Real files in a temporary folder,
// played by the Player.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "movie/player.h"
#include "../avm1/script_test_util.h"
#include "../swf_writer.h"
#include "temp_dir.h"

namespace orv::movie::test {
namespace {

using avm1::test::Asm;
using avm1::test::Null;

constexpr uint8_t kAdd2 = 0x47, kNewObject = 0x40, kSetMember = 0x4F, kCallMethod = 0x52,
                  kGetMember = 0x4E, kPop = 0x17, kStop = 0x07, kSetVariable = 0x1D;

std::vector<uint8_t> dataFile(const std::string& name) {
  std::ifstream f(std::string(ORV_SOURCE_DIR) + "/tests/movie/video/data/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// trace(info.code + " " + info.level)
Asm traceStatus() {
  return Asm()
      .getVar("info").push({"code"}).op(kGetMember)
      .push({" "}).op(kAdd2)
      .getVar("info").push({"level"}).op(kGetMember).op(kAdd2)
      .trace();
}

// nc = new NetConnection(); nc.connect(null); ns = new NetStream(nc); handlers;
// vid.attachVideo(ns); ns.play(file); stop().
std::vector<uint8_t> playingMovie(const std::string& file) {
  Asm a;
  a.push({"nc", 0, "NetConnection"}).op(kNewObject).op(kSetVariable);
  avm1::test::callMethod(a, "nc", "connect", {Null{}});
  a.push({"ns"}).getVar("nc").push({1, "NetStream"}).op(kNewObject).op(kSetVariable);
  a.getVar("ns").push({"onStatus"}).function("", {"info"}, traceStatus()).op(kSetMember);
  a.getVar("ns").push({"onMetaData"})
      .function("", {"m"}, Asm().push({"meta "}).getVar("m").push({"width"}).op(kGetMember).op(kAdd2)
                                .push({"x"}).op(kAdd2).getVar("m").push({"height"}).op(kGetMember)
                                .op(kAdd2).trace())
      .op(kSetMember);
  a.getVar("ns").push({1}).getVar("vid").push({"attachVideo"}).op(kCallMethod).op(kPop);
  avm1::test::callMethod(a, "ns", "play", {file});
  a.op(kStop);
  // DefineVideoStream 1: no frames of its own, 128 x 96, Sorenson H.263; placed as "vid".
  BitWriter v;
  v.u16(1), v.u16(0), v.u16(128), v.u16(96), v.u8(0), v.u8(2);
  Place place;
  place.character = 1;
  place.name = "vid";
  return movie(concat({tag(60, v.bytes), placeObject2(place),
                       doAction(a.bytes()), showFrame()}),
               {.version = 8, .width = 128 * 20, .height = 96 * 20, .rateWhole = 10});
}

struct Played {
  orv::test::TempDir dir{"orv-netstream"};
  Player player;
  std::vector<std::string> lines;
  Pixmap pix;
  explicit Played(const std::string& file) {
    // The movie and its stream lie in dir/inner; another copy beside that folder.
    std::filesystem::create_directory(dir / "inner");
    dir.write("inner/blue_yellow.flv", dataFile("blue_yellow.flv"));
    dir.write("outside.flv", dataFile("blue_yellow.flv"));
    const std::string path = dir.write("inner/movie.swf", playingMovie(file));
    player.setTraceSink([this](const std::string& l) { lines.push_back(l); });
    EXPECT_TRUE(player.load(path)) << player.error();
    player.setQuality(Quality::Low);
    player.start();
    pix.width = 128, pix.height = 96;
  }
  void frames(int n) {
    for (int i = 0; i < n; ++i) player.advance(player.framePeriodMs());
  }
  uint32_t middle() {
    player.render(pix, player.stage());
    return pix.pixels[size_t(48) * 128 + 64];
  }
};

bool blueish(uint32_t argb) { return (argb & 0xFF) > 150 && ((argb >> 16) & 0xFF) < 80; }
bool yellowish(uint32_t argb) { return ((argb >> 16) & 0xFF) > 180 && (argb & 0xFF) < 80; }

TEST(NetStreamMovie, ThePlacedVideoShowsTheFileBesideTheMovieAsItsClockMoves) {
  Played p("blue_yellow.flv");
  p.frames(1);
  EXPECT_EQ(p.lines, (std::vector<std::string>{"NetStream.Play.Start status", "NetStream.Buffer.Full status",
                                               "meta 64x48"}));
  p.frames(4);
  EXPECT_TRUE(blueish(p.middle())) << std::hex << p.middle();
  p.frames(8);
  EXPECT_TRUE(yellowish(p.middle())) << std::hex << p.middle();
  p.lines.clear();
  p.frames(12);
  EXPECT_EQ(p.lines, (std::vector<std::string>{"NetStream.Buffer.Flush status", "NetStream.Play.Stop status",
                                               "NetStream.Buffer.Empty status"}));
  EXPECT_TRUE(yellowish(p.middle()));  // the last picture stays up
}

TEST(NetStreamMovie, FilesMissingOrOutsideTheMoviesFolderAreNotFound) {
  for (const std::string file : {"missing.flv", "../outside.flv", "/etc/passwd"}) {
    Played p(file);
    p.frames(2);
    EXPECT_EQ(p.lines, (std::vector<std::string>{"NetStream.Play.StreamNotFound error"})) << file;
    EXPECT_FALSE(blueish(p.middle()));
  }
}

}  // namespace
}  // namespace orv::movie::test
