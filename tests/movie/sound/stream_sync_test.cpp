// The timeline in step with its stream sound when frames come late, and what the
// control's commands (Stop, GotoFrame, Rewind, loading another movie) do to the sound.
// Time is simulated: the "output" is mixAudio() pulled by the amount of time that passed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "movie/player.h"
#include "movie/sound/audio_output.h"
#include "sound_movies.h"
#include "sound_test_util.h"

namespace orv::movie {
namespace {

using namespace orv::movie::test;
using sound::test::rms;

// Each frame's stream block holds a steady level of its own: 100 * (frame + 1).
int16_t levelOf(int frame) { return int16_t(100 * (frame + 1)); }

std::vector<uint8_t> levelStream(int frameCount, bool withStream = true) {
  std::vector<uint8_t> tags =
      withStream ? streamHead(3, uint16_t(kFramePeriod)) : std::vector<uint8_t>{};
  for (int f = 0; f < frameCount; ++f) {
    auto block = withStream ? streamBlock(pcm16(std::vector<int16_t>(kFramePeriod, levelOf(f))))
                            : std::vector<uint8_t>{};
    auto show = showFrame();
    tags.insert(tags.end(), block.begin(), block.end());
    tags.insert(tags.end(), show.begin(), show.end());
  }
  return tenFps(tags, uint16_t(frameCount));
}

// Pulls `frames` of sound as an output would while time passes; returns the left channel.
std::vector<int16_t> pull(Player& p, size_t frames) {
  std::vector<int16_t> buf(frames * 2), left(frames);
  p.mixAudio(buf.data(), frames);
  for (size_t i = 0; i < frames; ++i) left[i] = buf[2 * i];
  return left;
}

// The frame whose block is playing, from the level heard at `at`; -1 for silence.
int frameHeard(const std::vector<int16_t>& s, size_t at) {
  int v = s.at(at);
  return v == 0 ? -1 : (v + 50) / 100 - 1;
}

TEST(StreamSync, LateFramesAreCaughtUpAndTheSoundStaysWithThem) {
  const double period = 100;
  for (bool withStream : {false, true}) {
    Player p;
    ASSERT_TRUE(p.loadBytes(levelStream(40, withStream)));
    p.play();
    pull(p, kFramePeriod);  // frame 0
    for (int f = 1; f <= 3; ++f) {
      p.advance(period);
      EXPECT_EQ(frameHeard(pull(p, kFramePeriod), kFramePeriod / 2), withStream ? f : -1);
    }
    ASSERT_EQ(p.currentFrame(), 3);
    // The program is busy for 6 frame periods: the output plays on, the clock does not.
    auto duringStall = pull(p, 6 * kFramePeriod);
    EXPECT_TRUE(p.advance(6 * period));
    if (!withStream) {
      EXPECT_EQ(p.currentFrame(), 3 + Player::kMaxFramesPerAdvance)
          << "without sound a delay is dropped";
      continue;
    }
    EXPECT_EQ(p.currentFrame(), 9) << "with a stream sound every late frame is run";
    EXPECT_GT(rms(duringStall, 0, kFramePeriod), 0) << "the block fed ahead plays";
    EXPECT_EQ(rms(duringStall, kFramePeriod, duringStall.size()), 0) << "then the stream ran dry";
    // From now on the sound is that of the frame shown, not of the frames it missed.
    auto after = pull(p, kFramePeriod);
    EXPECT_EQ(frameHeard(after, kFramePeriod / 2), 9);
    for (int f = 10; f < 14; ++f) {
      p.advance(period);
      after = pull(p, kFramePeriod);
      EXPECT_EQ(frameHeard(after, kFramePeriod / 2), f);
    }
  }
}

TEST(StreamSync, SlowDrawingSkipsFramesButKeepsTheClock) {
  // Every drawing takes 1.7 frame periods; the clock asks as soon as one is done.
  Player p;
  ASSERT_TRUE(p.loadBytes(levelStream(200)));
  p.play();
  const double drawMs = 170;
  const size_t drawFrames = size_t(drawMs * kRate / 1000);
  double now = 0;
  int draws = 0;
  std::vector<int16_t> last;
  for (int i = 0; i < 60; ++i) {
    last = pull(p, drawFrames);
    now += drawMs;
    if (p.advance(drawMs)) ++draws;
  }
  const int expectedFrame = int(now / 100);
  EXPECT_NEAR(p.currentFrame(), expectedFrame, 1) << "the timeline keeps time";
  EXPECT_LT(draws, expectedFrame) << "frames were skipped from drawing";
  // What plays now belongs to the frames around the one shown.
  auto heard = pull(p, kFramePeriod);
  EXPECT_NEAR(frameHeard(heard, kFramePeriod / 2), p.currentFrame(), 1);
}

// A tone that runs on without a break from block to block.
std::vector<uint8_t> continuousToneStream(int frameCount) {
  auto tone = sine(kFramePeriod * size_t(frameCount), 441, 8000);
  std::vector<uint8_t> tags = streamHead(3, uint16_t(kFramePeriod));
  for (int f = 0; f < frameCount; ++f) {
    std::vector<int16_t> block(tone.begin() + long(f) * long(kFramePeriod),
                               tone.begin() + long(f + 1) * long(kFramePeriod));
    tags = concat({tags, streamBlock(pcm16(block)), showFrame()});
  }
  return tenFps(tags, uint16_t(frameCount));
}

// The largest step between neighbouring samples: a cut in a 441 Hz tone of amplitude 8000
// steps far beyond the 2 * pi * 441 / 44100 * 8000 (about 503) the tone itself makes.
int largestStep(const std::vector<int16_t>& s) {
  int most = 0;
  for (size_t i = 1; i < s.size(); ++i) most = std::max(most, std::abs(int(s[i]) - int(s[i - 1])));
  return most;
}

TEST(StreamSync, TimerJitterDoesNotCutTheSound) {
  // The host's timer fires early and late by up to 40 % of a frame; the output keeps
  // pulling exactly the time that passed. Frames run two at a time now and then, and
  // the sound must not be trimmed for it: nothing came late.
  Player p;
  ASSERT_TRUE(p.loadBytes(continuousToneStream(60)));
  p.play();
  std::vector<int16_t> heard = pull(p, kFramePeriod);
  const double jitter[] = {0.6, 1.4, 1.0, 1.3, 0.7, 1.4, 0.6, 1.2, 0.8, 1.0};
  double pulledMs = 100;
  for (int i = 0; i < 50; ++i) {
    const double ms = 100 * jitter[i % 10];
    p.advance(ms);
    const double target = pulledMs + ms;
    const size_t frames = size_t(target * kRate / 1000) - size_t(pulledMs * kRate / 1000);
    auto part = pull(p, frames);
    heard.insert(heard.end(), part.begin(), part.end());
    pulledMs = target;
  }
  // Only the start of the tone (from silence) may step; look after the first frame.
  std::vector<int16_t> steady(heard.begin() + kFramePeriod,
                              heard.begin() + long(45 * kFramePeriod));
  EXPECT_LT(largestStep(steady), 600) << "a cut in the stream";
  EXPECT_GT(rms(steady), 5000) << "the stream ran dry";
}

// An output that mixes `latencyMs` before it plays, as a sound card's queue of buffers does.
class QueuedOutput : public sound::AudioOutput {
 public:
  explicit QueuedOutput(double latencyMs) : latency_(latencyMs) {}
  int sampleRate() const override { return kRate; }
  void start(sound::AudioSource&) override {}  // the test pulls by hand
  void stop() override {}
  double latencyMs() const override { return latency_; }

 private:
  double latency_;
};

TEST(StreamSync, TheStreamIsFedAheadByTheOutputsLatency) {
  // The output runs 160 ms ahead of what is heard: when frame f shows, it mixes the sound
  // heard 160 ms later, which belongs to frames f + 1 and f + 2. Those blocks must be there.
  QueuedOutput output(160);
  Player p;
  p.setAudioOutput(&output);
  ASSERT_TRUE(p.loadBytes(levelStream(40)));
  p.play();
  const size_t lead = size_t(0.160 * kRate);
  auto first = pull(p, lead);
  EXPECT_EQ(frameHeard(first, lead / 2), 0);
  EXPECT_EQ(frameHeard(first, lead - 10), 1);
  for (int f = 0; f < 20; ++f) {
    auto heard = pull(p, kFramePeriod);  // mixed while frame f shows
    EXPECT_EQ(frameHeard(heard, kFramePeriod * 3 / 10), f + 1) << "frame " << f;
    EXPECT_EQ(frameHeard(heard, kFramePeriod * 8 / 10), f + 2) << "frame " << f;
    p.advance(100);
  }
  p.setAudioOutput(nullptr);
}

TEST(StreamSync, ADelayBeyondTheCatchUpLimitIsDropped) {
  Player p;
  ASSERT_TRUE(p.loadBytes(levelStream(100)));
  p.play();
  pull(p, kFramePeriod);
  p.advance(1e9);  // the machine slept
  const int limit = int(Player::kMaxStreamCatchUpMs / p.framePeriodMs());
  EXPECT_EQ(p.currentFrame(), limit);
  p.advance(100);
  EXPECT_EQ(p.currentFrame(), limit + 1);
}

// A movie with a long event sound (a 441 Hz tone started on frame 0) and the level stream.
std::vector<uint8_t> eventAndStream(int frameCount, int levelBase = 0) {
  std::vector<uint8_t> tags =
      concat({defineSound(1, pcm16(sine(size_t(kRate) * 3, 441, 6000)), kRate * 3), startSound(1),
              streamHead(3, uint16_t(kFramePeriod))});
  for (int f = 0; f < frameCount; ++f)
    tags = concat(
        {tags,
         streamBlock(pcm16(std::vector<int16_t>(kFramePeriod, int16_t(levelBase + levelOf(f))))),
         showFrame()});
  return tenFps(tags, uint16_t(frameCount));
}

TEST(StreamControl, StopSilencesTheStreamWhileEventSoundsPlayOut) {
  Player p;
  ASSERT_TRUE(p.loadBytes(eventAndStream(10)));
  p.play();
  pull(p, kFramePeriod);
  p.advance(100);
  pull(p, kFramePeriod);
  p.stop();
  auto after = pull(p, kFramePeriod);
  // The tone alone: its mean is about zero where the stream's level would lift it.
  double mean = 0;
  for (int16_t s : after) mean += s;
  mean /= double(after.size());
  EXPECT_NEAR(mean, 0, 20) << "no stream level after Stop";
  EXPECT_GT(rms(after), 3000) << "the event sound plays on";
  // Stopped, the clock moves nothing and queues no stream sound.
  EXPECT_FALSE(p.advance(300));
  after = pull(p, kFramePeriod);
  mean = 0;
  for (int16_t s : after) mean += s;
  EXPECT_NEAR(mean / double(after.size()), 0, 20);
}

TEST(StreamControl, UnloadingOrLoadingAnotherMovieSilencesEverything) {
  for (bool another : {false, true}) {
    Player p;
    ASSERT_TRUE(p.loadBytes(eventAndStream(10)));
    p.play();
    pull(p, kFramePeriod);
    p.advance(100);
    ASSERT_GT(rms(pull(p, kFramePeriod)), 3000);
    if (another)
      ASSERT_TRUE(p.loadBytes(levelStream(5, false)));
    else
      p.unload();
    EXPECT_EQ(rms(pull(p, kFramePeriod)), 0) << (another ? "another movie" : "no movie");
  }
}

TEST(StreamControl, JumpsRestartTheStreamAtTheFrameJumpedTo) {
  Player p;
  ASSERT_TRUE(p.loadBytes(levelStream(20)));
  p.play();
  pull(p, kFramePeriod);
  p.advance(100);
  pull(p, kFramePeriod);
  // GotoFrame while playing: the next sound is the new frame's, then the ones after it.
  p.gotoFrame(12);
  EXPECT_TRUE(p.playing());
  auto heard = pull(p, kFramePeriod);
  EXPECT_EQ(frameHeard(heard, kFramePeriod / 2), 12);
  p.advance(100);
  heard = pull(p, kFramePeriod);
  EXPECT_EQ(frameHeard(heard, kFramePeriod / 2), 13);
  // Back to an earlier frame while playing.
  p.gotoFrame(4);
  heard = pull(p, kFramePeriod);
  EXPECT_EQ(frameHeard(heard, kFramePeriod / 2), 4);
  // Rewind stops at the first frame and silences; Play starts the stream from there.
  p.rewind();
  EXPECT_FALSE(p.playing());
  EXPECT_EQ(frameHeard(pull(p, kFramePeriod), kFramePeriod / 2), -1);
  p.play();
  EXPECT_EQ(frameHeard(pull(p, kFramePeriod), kFramePeriod / 2), 0);
  // GotoFrame while stopped stays silent until Play.
  p.stop();
  p.gotoFrame(7);
  EXPECT_EQ(frameHeard(pull(p, kFramePeriod), kFramePeriod / 2), -1);
  p.play();
  EXPECT_EQ(frameHeard(pull(p, kFramePeriod), kFramePeriod / 2), 7);
}

TEST(StreamControl, LoopingRestartsTheStreamAndNoLoopEndsIt) {
  for (bool loop : {true, false}) {
    Player p;
    p.setLoop(loop);
    ASSERT_TRUE(p.loadBytes(levelStream(4)));
    p.play();
    std::vector<int> heard;
    for (int f = 0; f < 7; ++f) {
      if (f) p.advance(100);
      heard.push_back(frameHeard(pull(p, kFramePeriod), kFramePeriod / 2));
    }
    if (loop)
      EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, 3, 0, 1, 2}));
    else
      EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, 3, -1, -1, -1}));
  }
}

}  // namespace
}  // namespace orv::movie
