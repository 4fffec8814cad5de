// Sounds that scripts play through the Player: Sound.attachSound/start/stop with offsets
// and loops, volume and pan reaching what plays, onSoundComplete, stopAllSounds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "movie/player.h"
#include "../avm1/script_test_util.h"
#include "sound_movies.h"
#include "sound_test_util.h"
#include "temp_dir.h"

namespace orv::movie {
namespace {

using namespace orv::movie::test;
using avm1::test::Asm;
using sound::test::rms;

constexpr uint8_t kNewObject = 0x40, kCallMethod = 0x52, kSetMember = 0x4F, kPop = 0x17,
                  kStopSounds = 0x09;
constexpr size_t kToneFrames = 11025;  // a quarter second

std::vector<uint8_t> exportAssets(uint16_t id, const std::string& name) {
  BitWriter w;
  w.u16(1);
  w.u16(id);
  w.string(name);
  return tag(56, w.bytes);
}

// obj.method(args...) with the result dropped; args pushed last first.
Asm call(const std::string& obj, const std::string& method,
         std::vector<avm1::test::PushItem> args = {}) {
  Asm a;
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.push({*it});
  return a.push({int(args.size())}).getVar(obj).push({method}).op(kCallMethod).op(kPop);
}
Asm newSound(const std::string& var, bool onRoot = false) {
  Asm a;
  a.push({var});
  if (onRoot)
    a.push({"_root"}).op(0x1C).push({1});
  else
    a.push({0});
  return a.push({"Sound"}).op(kNewObject).op(0x1D);
}

// A movie of `frameActions.size()` frames at 10 fps (plus quiet ones up to 20) whose
// library exports a quarter-second 441 Hz tone as "tone"; `extra` tags go first.
std::vector<uint8_t> soundMovie(const std::vector<Asm>& frameActions,
                                std::vector<uint8_t> extra = {}) {
  auto tone = pcm16(sine(kToneFrames, 441, 10000));
  std::vector<std::vector<uint8_t>> parts = {extra, defineSound(1, tone, kToneFrames),
                                             exportAssets(1, "tone")};
  for (const Asm& a : frameActions) {
    parts.push_back(doAction(a.bytes()));
    parts.push_back(showFrame());
  }
  parts.push_back(frames(20 - int(frameActions.size())));
  std::vector<uint8_t> tags;
  for (const auto& part : parts) tags.insert(tags.end(), part.begin(), part.end());
  return tenFps(tags, 20);
}

struct Played {
  std::vector<int16_t> left;
  std::vector<std::string> traces;
};
Played play(const std::vector<uint8_t>& bytes, int frameCount) {
  Played out;
  Player p;
  p.setTraceSink([&](const std::string& l) { out.traces.push_back(l); });
  EXPECT_TRUE(p.loadBytes(bytes));
  p.play();
  out.left = playFrames(p, frameCount);
  return out;
}

TEST(ScriptSound, AttachedSoundPlaysFromItsOffsetAsManyTimesAsAskedAndReportsItsEnd) {
  Asm first = newSound("s")
                  .append(call("s", "attachSound", {"tone"}))
                  .getVar("s")
                  .push({"onSoundComplete"})
                  .function("", {},
                            Asm()
                                .push({"complete "})
                                .push({0})
                                .getVar("s")
                                .push({"getDuration"})
                                .op(kCallMethod)
                                .op(0x47)
                                .trace())
                  .op(kSetMember);
  {
    Played r = play(soundMovie({Asm(first).append(call("s", "start", {0, 2}))}), 10);
    EXPECT_GT(rms(r.left, 0, 2 * kToneFrames), 6000);
    EXPECT_NEAR(double(lastNonZero(r.left)), double(2 * kToneFrames), 8);
    EXPECT_EQ(r.traces, std::vector<std::string>{"complete 250"});
  }
  {  // A tenth of a second in: 150 ms are left.
    Played r = play(soundMovie({Asm(first).append(call("s", "start", {0.1}))}), 10);
    EXPECT_NEAR(double(lastNonZero(r.left)), double(kToneFrames - 4410), 8);
  }
  {  // Started again while playing: two voices, twice as loud.
    Played r =
        play(soundMovie({Asm(first).append(call("s", "start")).append(call("s", "start"))}), 3);
    Played once = play(soundMovie({Asm(first).append(call("s", "start"))}), 3);
    EXPECT_NEAR(rms(r.left, 0, 4410) / rms(once.left, 0, 4410), 2.0, 0.05);
  }
}

TEST(ScriptSound, VolumeReachesWhatPlaysAndStopSilencesIt) {
  const auto tone = Asm(newSound("s", true)).append(call("s", "attachSound", {"tone"}));
  // Loops keep it sounding; frame 1 halves the clip's volume, frame 2 stops its sounds.
  Played r = play(soundMovie({Asm(tone).append(call("s", "start", {0, 100})),
                              call("s", "setVolume", {50}), call("s", "stop")}),
                  4);
  const double full = rms(r.left, 0, 4410), half = rms(r.left, 4410, 8820);
  EXPECT_GT(full, 6000);
  EXPECT_NEAR(half / full, 0.5, 0.02);
  EXPECT_EQ(rms(r.left, 8820, 4 * 4410), 0);

  // The pan: all the way right leaves the left side silent.
  Played panned = play(
      soundMovie({Asm(tone).append(call("s", "setPan", {100})).append(call("s", "start"))}), 1);
  EXPECT_EQ(rms(panned.left, 0, 4410), 0);

  // The whole movie's volume (a Sound made on nothing) reaches the timeline's own sounds.
  Played quiet =
      play(soundMovie({Asm(newSound("g")).append(call("g", "setVolume", {0}))}, startSound(1)), 2);
  EXPECT_EQ(rms(quiet.left), 0);
}

TEST(ScriptSound, StopAllSoundsAndAStopByNameSilenceEverySoundOfThatKind) {
  // A timeline sound and a script's sound, then stopAllSounds on frame 1.
  Asm start = Asm(newSound("s"))
                  .append(call("s", "attachSound", {"tone"}))
                  .append(call("s", "start", {0, 100}));
  Played r =
      play(soundMovie({start, Asm().op(kStopSounds)}, startSound(1, {false, false, 100})), 4);
  EXPECT_GT(rms(r.left, 0, 4410), 6000);
  EXPECT_EQ(rms(r.left, 4410, 4 * 4410), 0);

  // A Sound made on nothing stops that sound wherever a script started it.
  Asm onRoot = Asm(newSound("c", true))
                   .append(call("c", "attachSound", {"tone"}))
                   .append(call("c", "start", {0, 100}));
  Played named =
      play(soundMovie({onRoot, Asm(newSound("g")).append(call("g", "stop", {"tone"}))}), 3);
  EXPECT_EQ(rms(named.left, 4410, 3 * 4410), 0);
}

TEST(ScriptSound, MissingSoundsAndOddArgumentsPlayNothingAndDoNoHarm) {
  Asm odd = Asm(newSound("s"))
                .append(call("s", "start"))  // nothing attached yet
                .append(call("s", "attachSound", {"no such sound"}))
                .append(call("s", "start"))
                .append(call("s", "attachSound", {"tone"}))
                .append(call("s", "start", {1e9}))  // past the end
                .append(call("s", "start", {avm1::test::Undef{}, -5}))
                .push({"d "})
                .push({0})
                .getVar("s")
                .push({"getDuration"})
                .op(kCallMethod)
                .op(0x47)
                .trace();
  Played r = play(soundMovie({odd}), 4);
  // Only the start with an undefined offset and no sensible loop count plays, once.
  EXPECT_NEAR(double(lastNonZero(r.left)), double(kToneFrames), 8);
  EXPECT_EQ(r.traces, std::vector<std::string>{"d 250"});

  // More starts than voices allowed: the rest are dropped.
  Asm many = Asm(newSound("s")).append(call("s", "attachSound", {"tone"}));
  for (int i = 0; i < 200; ++i) many.append(call("s", "start"));
  Played crowd = play(soundMovie({many}), 1);
  EXPECT_GT(rms(crowd.left, 0, 4410), 6000);
}

// loadSound reads an MP3 beside the movie on the next frame: onLoad(true), its length and
// size; a streaming sound starts by itself, another waits for start(); a missing or broken
// file gives onLoad(false).
TEST(ScriptSound, LoadedMp3FromTheMoviesFolderPlays) {
  namespace fs = std::filesystem;
  const orv::test::TempDir folder("orv-loadsound");
  const fs::path& dir = folder.path;
  fs::copy_file(sound::test::soundDataPath("tone440_mono_22k.mp3"), dir / "tone.mp3");
  std::ofstream(dir / "broken.mp3", std::ios::binary) << std::string(5000, 'x');
  fs::create_directories(dir / "inner");  // the movie's folder; dir holds a file outside it
  const fs::path movieDir = dir / "inner";
  fs::copy_file(dir / "tone.mp3", movieDir / "tone.mp3");
  fs::copy_file(dir / "broken.mp3", movieDir / "broken.mp3");
  fs::copy_file(dir / "tone.mp3", dir / "outside.mp3");
  const auto mp3Size = fs::file_size(dir / "tone.mp3");

  auto run = [&](const std::string& url, bool streaming, bool startLater) {
    Asm onLoad = Asm()
                     .push({"loaded "})
                     .getVar("ok")
                     .op(0x47)
                     .trace()
                     .push({0})
                     .getVar("s")
                     .push({"getDuration"})
                     .op(kCallMethod)
                     .trace()
                     .push({0})
                     .getVar("s")
                     .push({"getBytesTotal"})
                     .op(kCallMethod)
                     .trace();
    Asm first = newSound("s")
                    .getVar("s")
                    .push({"onLoad"})
                    .function("", {"ok"}, onLoad)
                    .op(kSetMember)
                    .append(call("s", "loadSound", {url, streaming}));
    std::vector<Asm> frameActions = {first, Asm(), Asm()};
    if (startLater) frameActions.push_back(call("s", "start"));
    const auto bytes = soundMovie(frameActions);
    std::ofstream(movieDir / "movie.swf", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    Played out;
    Player p;
    p.setTraceSink([&](const std::string& l) { out.traces.push_back(l); });
    EXPECT_TRUE(p.load((movieDir / "movie.swf").string()));
    p.play();
    out.left = playFrames(p, 8);
    return out;
  };

  Played streamed = run("tone.mp3", true, false);
  ASSERT_EQ(streamed.traces.size(), 3u);
  EXPECT_EQ(streamed.traces[0], "loaded true");
  EXPECT_NEAR(std::stod(streamed.traces[1]), 1000, 80);  // a second, and the encoder's padding
  EXPECT_EQ(streamed.traces[2], std::to_string(mp3Size));
  EXPECT_GT(rms(streamed.left, 4410, 6 * 4410), 3000);  // read as the first frame ends, and plays

  Played waiting = run("tone.mp3", false, true);
  EXPECT_EQ(rms(waiting.left, 0, 3 * 4410), 0);
  EXPECT_GT(rms(waiting.left, 4 * 4410, 7 * 4410), 3000);

  for (const char* bad :
       {"missing.mp3", "broken.mp3", "../outside.mp3", "http://example.com/tone.mp3"}) {
    Played r = run(bad, true, true);
    ASSERT_FALSE(r.traces.empty()) << bad;
    EXPECT_EQ(r.traces[0], "loaded false") << bad;
    EXPECT_EQ(rms(r.left), 0) << bad;
  }
}

// A file's ID3 tags reach the Sound as `id3` before onLoad (onID3): frames by name, the
// common ones by friendly name too, repeats joined. start() while the file is on its way
// plays it once there; a second loadSound takes the place of the first.
TEST(ScriptSound, LoadedTagsComeFirstAndAWaitingStartPlaysOnceLoaded) {
  namespace fs = std::filesystem;
  const orv::test::TempDir folder("orv-id3");
  const fs::path& dir = folder.path;
  std::ifstream in(sound::test::soundDataPath("tone440_mono_22k.mp3"), std::ios::binary);
  const std::string mp3((std::istreambuf_iterator<char>(in)), {});
  auto frame = [](const std::string& id, const std::string& body) {
    const auto n = uint32_t(body.size());
    return id + std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n), 0, 0} + body;
  };
  const std::string frames = frame("TPE1", std::string("\0Ann", 4)) +
                             frame("COMM", std::string("\0engx\0one", 9)) +
                             frame("COMM", std::string("\0eng\0two", 8));
  const auto size = uint32_t(frames.size());
  std::string tag = std::string("ID3\3\0\0", 6) +
                    std::string{char((size >> 21) & 0x7f), char((size >> 14) & 0x7f),
                                char((size >> 7) & 0x7f), char(size & 0x7f)} +
                    frames;
  std::ofstream(dir / "tagged.mp3", std::ios::binary) << tag << mp3;
  std::ofstream(dir / "plain.mp3", std::ios::binary) << mp3;

  // onID3: trace(id3.artist, id3.TPE1, id3.COMM, id3.comment, getDuration()); onLoad: trace(ok)
  Asm onId3 = Asm();
  for (const char* name : {"artist", "TPE1", "COMM", "comment"})
    onId3.getVar("s").push({"id3"}).op(0x4E).push({name}).op(0x4E).trace();
  onId3.push({0}).getVar("s").push({"getDuration"}).op(kCallMethod).trace();
  onId3.getVar("s").push({"id3", "x"}).op(kSetMember);  // read-only: stays the tags
  Asm onLoad = Asm().push({"loaded "}).getVar("ok").op(0x47).trace();
  onLoad.getVar("s").push({"id3"}).op(0x4E).push({"artist"}).op(0x4E).trace();
  Asm first = newSound("s")
                  .getVar("s")
                  .push({"onID3"})
                  .function("", {}, onId3)
                  .op(kSetMember)
                  .getVar("s")
                  .push({"onLoad"})
                  .function("", {"ok"}, onLoad)
                  .op(kSetMember)
                  .append(call("s", "loadSound", {"plain.mp3", false}))
                  .append(call("s", "start"))
                  .append(call("s", "loadSound", {"tagged.mp3", false}))
                  .append(call("s", "start"));
  const auto bytes = soundMovie({first, Asm(), Asm()});
  std::ofstream(dir / "movie.swf", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
  Player p;
  std::vector<std::string> traces;
  p.setTraceSink([&](const std::string& l) { traces.push_back(l); });
  ASSERT_TRUE(p.load((dir / "movie.swf").string()));
  p.play();
  const std::vector<int16_t> left = playFrames(p, 8);
  EXPECT_EQ(traces, (std::vector<std::string>{"Ann", "Ann", "one,two", "two", "0", "loaded true",
                                              "Ann"}));
  EXPECT_GT(rms(left, 4410, 6 * 4410), 3000);
}

}  // namespace
}  // namespace orv::movie
