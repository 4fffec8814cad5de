// A movie's sounds through the Player: event sounds from DefineSound/StartSound with
// their sound info, the stream sound in step with the frames, and hostile sound data.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "movie/player.h"
#include "support/recording_output.h"
#include "sound_movies.h"
#include "sound_test_util.h"

namespace orv::movie {
namespace {

using namespace orv::movie::test;
using sound::test::rms;

TEST(MovieSound, EventSoundPlaysItsLengthAndLoops) {
  const size_t len = 11025;  // a quarter second
  auto tone = pcm16(sine(len, 441, 10000));
  for (uint16_t loops : {uint16_t(0), uint16_t(2)}) {
    Player p;
    ASSERT_TRUE(p.loadBytes(tenFps(
        concat({defineSound(1, tone, len), startSound(1, {false, false, loops}), frames(10)}),
        10)));
    p.play();
    auto out = playFrames(p, 10);
    const size_t expected = len * (loops ? loops : 1);
    EXPECT_GT(rms(out, 0, expected), 6000) << "loops " << loops;
    EXPECT_NEAR(double(lastNonZero(out)), double(expected), 8) << "loops " << loops;
  }
}

TEST(MovieSound, StopAndNoMultipleFlagsOfTheSoundInfo) {
  auto tone = pcm16(sine(kRate, 450, 8000));  // one second, whole cycles per frame period
  {
    Player p;  // started on frame 0, stopped by frame 3
    ASSERT_TRUE(p.loadBytes(tenFps(concat({defineSound(1, tone, kRate), startSound(1), frames(3),
                                           startSound(1, {true}), frames(4)}),
                                   7)));
    p.play();
    auto out = playFrames(p, 7);
    EXPECT_GT(periodRms(out, 2), 5000);
    EXPECT_EQ(lastNonZero(out), 3 * kFramePeriod);
  }
  for (bool noMultiple : {false, true}) {
    Player p;  // started again on frame 1: a second voice, or none with the flag
    ASSERT_TRUE(p.loadBytes(tenFps(concat({defineSound(1, tone, kRate), startSound(1), frames(1),
                                           startSound(1, {false, noMultiple}), frames(2)}),
                                   3)));
    p.play();
    auto out = playFrames(p, 3);
    double ratio = periodRms(out, 1) / periodRms(out, 0);
    EXPECT_NEAR(ratio, noMultiple ? 1.0 : 2.0, 0.1) << "noMultiple " << noMultiple;
  }
}

TEST(MovieSound, StreamSoundFollowsTheFramesStopsAndRestartsOnSeek) {
  // Each frame's block holds a level of its own: 1000 * (frame + 1).
  std::vector<uint8_t> tags = streamHead(3, uint16_t(kFramePeriod));
  for (int f = 0; f < 8; ++f) {
    tags = concat({tags,
                   streamBlock(pcm16(std::vector<int16_t>(kFramePeriod, int16_t(1000 * (f + 1))))),
                   showFrame()});
  }
  Player p;
  ASSERT_TRUE(p.loadBytes(tenFps(tags, 8)));
  p.play();
  auto out = playFrames(p, 5);
  ASSERT_EQ(out.size(), 5 * kFramePeriod);
  for (size_t f = 0; f < 5; ++f)
    EXPECT_NEAR(out[f * kFramePeriod + kFramePeriod / 2], 1000.0 * double(f + 1), 20)
        << "frame " << f;

  p.stop();
  std::vector<int16_t> buf(kFramePeriod * 2, 1);
  p.mixAudio(buf.data(), kFramePeriod);
  EXPECT_EQ(rms(buf), 0) << "stop silences the stream";

  p.gotoFrame(6);
  p.play();
  out = playFrames(p, 3);  // frames 6, 7, and the loop back to 0
  EXPECT_NEAR(out[kFramePeriod / 2], 7000, 20);
  EXPECT_NEAR(out[kFramePeriod + kFramePeriod / 2], 8000, 20);
  EXPECT_NEAR(out[2 * kFramePeriod + kFramePeriod / 2], 1000, 20);

  p.unload();
  p.mixAudio(buf.data(), kFramePeriod);
  EXPECT_EQ(rms(buf), 0);
}

TEST(MovieSound, PlaysThroughAnOutputAtItsRate) {
  const size_t len = 11025;
  sound::RecordingOutput output(22050);
  Player p;
  p.setAudioOutput(&output);
  EXPECT_EQ(p.audioRate(), 22050);
  ASSERT_TRUE(p.loadBytes(tenFps(
      concat({defineSound(1, pcm16(sine(len, 441, 10000)), len), startSound(1), frames(4)}), 4)));
  p.play();
  for (int f = 0; f < 4; ++f) {
    if (f) p.advance(p.framePeriodMs());
    output.pull(2205);
  }
  auto left = sound::test::channel(output.recording(), 0);
  EXPECT_GT(rms(left, 0, 5500), 6000);
  EXPECT_NEAR(double(lastNonZero(left)), 5512, 8);
  p.setAudioOutput(nullptr);
  EXPECT_FALSE(output.started());
}

TEST(MovieSound, HostileSoundDataIsSilentAndHarmless) {
  std::mt19937 rng(7);
  auto noise = [&](size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
  };
  // Undecodable: a format no codec has, MP3 that is not MP3, an id that is no sound, a
  // missing id. (Noise is valid Nellymoser: it plays as noise, as it would in a player.)
  auto tags =
      concat({defineSound(1, noise(4000), 100000, 7), defineSound(2, noise(4000), 0xFFFFFFFF, 2),
              defineRect(3, 100, 100, 1, 2, 3), startSound(1), startSound(2), startSound(3),
              startSound(77), streamHead(9, 500)});
  for (int f = 0; f < 6; ++f)
    tags = concat({tags, streamBlock(noise(size_t(f) * 300)), showFrame()});
  Player p;
  ASSERT_TRUE(p.loadBytes(tenFps(tags, 6)));
  p.play();
  auto out = playFrames(p, 6);
  EXPECT_EQ(lastNonZero(out), 0u);

  // Random bytes in every format and rate: whatever they decode to, nothing breaks.
  for (int round = 0; round < 40; ++round) {
    int format = int(rng() % 16);
    std::vector<uint8_t> t = concat({defineSound(1, noise(rng() % 3000), rng(), format, rng() & 1),
                                     startSound(1, {false, bool(rng() & 1), uint16_t(rng() % 4)}),
                                     streamHead(format, uint16_t(rng()))});
    for (int f = 0; f < 4; ++f) t = concat({t, streamBlock(noise(rng() % 2000)), showFrame()});
    Player q;
    if (!q.loadBytes(tenFps(t, 4))) continue;
    q.play();
    playFrames(q, 4);
    q.gotoFrame(1);
    q.play();
    playFrames(q, 2);
  }
}

}  // namespace
}  // namespace orv::movie
