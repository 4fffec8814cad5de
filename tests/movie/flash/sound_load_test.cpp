// Sound.load on the player: an MP3 beside the movie is read on the next tick with open,
// progress and complete; a channel played before it was there sounds once it is; a
// missing file gives ioError; a second load is refused.
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "../sound/sound_test_util.h"
#include "../swf_writer.h"
#include "doc_script.h"

namespace orv::movie {
namespace {

// Pushes a listener tracing the event's type and its target's bytesLoaded (or its text).
void pushListener(DocScript& d, const char* field) {
  uint32_t m = d.abc.method({.params = {0}});
  Code body;
  body.op(op::findpropstrict, d.pub("trace"));
  body.op(op::getlocal1).op(op::getproperty, d.pub("type"));
  body.op(op::pushstring, d.abc.string(" ")).op(op::add);
  body.op(op::getlocal1);
  if (std::string(field) != "text") body.op(op::getproperty, d.pub("target"));
  body.op(op::getproperty, d.pub(field)).op(op::add);
  body.op(op::callpropvoid, d.pub("trace"), 1).op(op::returnvoid);
  d.abc.body(m, body, {.maxStack = 4, .localCount = 2});
  d.c.op(op::newfunction, m);
}

// new Sound(new URLRequest(url)) in local 1 with listeners, then play() traced as
// whether it gave a channel.
std::vector<uint8_t> loadingMovie(const std::string& url, bool loadTwice) {
  DocScript d;
  const uint32_t media = d.abc.packageNs("flash.media"), net = d.abc.packageNs("flash.net");
  const uint32_t sound = d.abc.qname(media, "Sound"), request = d.abc.qname(net, "URLRequest");
  d.c.op(op::findpropstrict, sound).op(op::findpropstrict, request);
  d.str(url);
  d.c.op(op::constructprop, request, 1).op(op::constructprop, sound, 1);
  d.store(1);
  for (const char* type : {"open", "progress", "complete"}) {
    d.local(1).str(type);
    pushListener(d, "bytesLoaded");
    d.callVoid("addEventListener", 2);
  }
  d.local(1).str("ioError");
  pushListener(d, "text");
  d.callVoid("addEventListener", 2);
  d.trace([&] {
    d.local(1).call("play", 0);
    d.c.op(op::pushnull).op(op::strictequals).op(op::not_);
  });
  if (loadTwice) {
    d.local(1);
    d.c.op(op::findpropstrict, request);
    d.str(url);
    d.c.op(op::constructprop, request, 1);
    d.callVoid("load", 1);
  }
  return test::as3Movie(d.abcBytes(), "Doc");
}

struct Heard {
  std::vector<std::string> lines, errors;
  int peak = 0;  // of the sound mixed after the load
};

Heard run(const std::vector<uint8_t>& swf) {
  namespace fs = std::filesystem;
  MovieFolder folder;
  fs::copy_file(sound::test::soundDataPath("tone440_mono_22k.mp3"), folder.root / "tone.mp3");
  folder.put("movie.swf", std::string(swf.begin(), swf.end()));
  Heard r;
  Player player;
  player.setTraceSink([&](const std::string& line) { r.lines.push_back(line); });
  EXPECT_TRUE(player.load((folder.root / "movie.swf").string()));
  player.start();
  player.advance(player.framePeriodMs());
  std::vector<int16_t> out(2 * 4410);
  player.mixAudio(out.data(), out.size() / 2);
  for (int16_t s : out) r.peak = std::max(r.peak, std::abs(int(s)));
  if (player.as3Scripts()) r.errors = player.as3Scripts()->errors();
  return r;
}

}  // namespace

TEST(As3SoundLoad, AnMp3BesideTheMovieLoadsOnTheNextTickAndAnEarlyChannelSounds) {
  const auto size = std::to_string(
      std::filesystem::file_size(sound::test::soundDataPath("tone440_mono_22k.mp3")));
  Heard r = run(loadingMovie("tone.mp3", false));
  for (const std::string& e : r.errors) ADD_FAILURE() << e;
  const std::vector<std::string> expected = {"true", "open " + size, "progress " + size,
                                             "complete " + size};
  EXPECT_EQ(r.lines, expected);
  EXPECT_GT(r.peak, 1000) << "the channel played before the file was there sounds";
}

TEST(As3SoundLoad, AMissingFileGivesIoErrorAndASecondLoadIsRefused) {
  Heard missing = run(loadingMovie("none.mp3", false));
  const std::vector<std::string> expected = {"true",
                                             "ioError Error #2032: Stream Error. URL: none.mp3"};
  EXPECT_EQ(missing.lines, expected);
  EXPECT_EQ(missing.peak, 0);

  Heard twice = run(loadingMovie("tone.mp3", true));
  ASSERT_EQ(twice.errors.size(), 1u);
  EXPECT_NE(twice.errors[0].find("Error #2037"), std::string::npos) << twice.errors[0];
}

}  // namespace orv::movie
