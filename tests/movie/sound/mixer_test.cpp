// The mixer: summing, clipping, gains, repeats and rate conversion, observed through mix().
#include <gtest/gtest.h>

#include <cmath>

#include "movie/sound/mixer.h"
#include "movie/sound/resampler.h"
#include "movie/sound/swf_sound.h"
#include "sound_test_util.h"

namespace orv::movie::sound {
namespace {

std::shared_ptr<const PcmAudio> constant(int16_t value, size_t frames, int channels = 1,
                                         int rate = 44100) {
  auto a = std::make_shared<PcmAudio>();
  a->sampleRate = rate;
  a->channels = channels;
  a->samples.assign(frames * size_t(channels), value);
  return a;
}

std::shared_ptr<const PcmAudio> sine(double hz, int rate, double seconds,
                                     double amplitude = 16000) {
  auto a = std::make_shared<PcmAudio>();
  a->sampleRate = rate;
  a->channels = 1;
  size_t n = size_t(rate * seconds);
  for (size_t i = 0; i < n; ++i)
    a->samples.push_back(
        int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate))));
  return a;
}

std::vector<int16_t> mixFrames(Mixer& m, size_t frames) {
  std::vector<int16_t> out(frames * 2, 12345);
  m.mix(out.data(), frames);
  return out;
}

TEST(Mixer, SumsVoicesAndClipsAtTheSixteenBitLimits) {
  Mixer m;
  EXPECT_EQ(mixFrames(m, 4), std::vector<int16_t>(8, 0));  // nothing playing: silence
  m.play(constant(1000, 100));
  m.play(constant(2000, 100));
  auto out = mixFrames(m, 4);
  EXPECT_EQ(out, std::vector<int16_t>(8, 3000));

  // Clipping applies to the final sum only: partial sums may go beyond 16 bits.
  Mixer loud;
  loud.play(constant(30000, 100));
  loud.play(constant(30000, 100));
  loud.play(constant(-30000, 100, 1));
  loud.play(constant(-30000, 100, 1));
  loud.play(constant(-30000, 100, 1));
  out = mixFrames(loud, 2);
  EXPECT_EQ(out[0], -30000);
  Mixer clip;
  clip.play(constant(30000, 10));
  clip.play(constant(30000, 10));
  EXPECT_EQ(mixFrames(clip, 1), (std::vector<int16_t>{32767, 32767}));
  Mixer clipLow;
  clipLow.play(constant(-30000, 10));
  clipLow.play(constant(-30000, 10));
  EXPECT_EQ(mixFrames(clipLow, 1), (std::vector<int16_t>{-32768, -32768}));
}

TEST(Mixer, GainsPanAndChannelLayout) {
  Mixer m;
  VoiceId id = m.play(constant(10000, 100), panned(0.5f, 0.0f));
  EXPECT_EQ(mixFrames(m, 1), (std::vector<int16_t>{5000, 5000}));
  m.setGains(id, 1.0f, 0.25f);
  EXPECT_EQ(mixFrames(m, 1), (std::vector<int16_t>{10000, 2500}));

  Mixer right;
  right.play(constant(8000, 10), panned(1.0f, 1.0f));
  EXPECT_EQ(mixFrames(right, 1), (std::vector<int16_t>{0, 8000}));
  Mixer halfLeft;
  halfLeft.play(constant(8000, 10), panned(1.0f, -0.5f));
  EXPECT_EQ(mixFrames(halfLeft, 1), (std::vector<int16_t>{8000, 4000}));

  auto stereo = std::make_shared<PcmAudio>(PcmAudio{44100, 2, {100, -200, 300, -400}});
  Mixer s;
  s.play(stereo);
  EXPECT_EQ(mixFrames(s, 3), (std::vector<int16_t>{100, -200, 300, -400, 0, 0}));
}

TEST(Mixer, PlaysTheRequestedNumberOfTimesThenFinishes) {
  Mixer m;
  auto ramp = std::make_shared<PcmAudio>(PcmAudio{44100, 1, {1, 2, 3, 4, 5}});
  VoiceSettings three;
  three.plays = 3;
  VoiceId id = m.play(ramp, three);
  auto out = mixFrames(m, 7);
  EXPECT_EQ(m.state(id)->playsCompleted, 1u);
  auto rest = mixFrames(m, 10);
  out.insert(out.end(), rest.begin(), rest.end());
  std::vector<int16_t> left;
  for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
  EXPECT_EQ(left, (std::vector<int16_t>{1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 0, 0}));
  EXPECT_FALSE(m.isPlaying(id));
  EXPECT_EQ(m.voiceCount(), 0u);

  VoiceSettings forever;
  forever.plays = 0;
  VoiceId endless = m.play(ramp, forever);
  mixFrames(m, 5 * 1000 + 2);
  ASSERT_TRUE(m.isPlaying(endless));
  EXPECT_EQ(m.state(endless)->playsCompleted, 1000u);
  m.stop(endless);
  EXPECT_FALSE(m.isPlaying(endless));
  EXPECT_EQ(mixFrames(m, 2), std::vector<int16_t>(4, 0));

  // Sounds with nothing in them finish at once.
  EXPECT_FALSE(m.isPlaying(m.play(std::make_shared<PcmAudio>())));
  EXPECT_FALSE(m.isPlaying(m.play(nullptr)));
}

TEST(Mixer, ConvertsRatesSmoothlyAndKeepsPitch) {
  // A 440 Hz tone at 11025 Hz played at 44100 Hz: four times as many frames, same pitch,
  // and no steps between output samples (linear hold would show 4-sample stairs).
  Mixer m(44100);
  auto tone = sine(440, 11025, 0.5);
  VoiceId id = m.play(tone);
  auto out = mixFrames(m, 22050 + 100);
  EXPECT_FALSE(m.isPlaying(id));
  std::vector<int16_t> left;
  for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
  EXPECT_NEAR(test::zeroCrossingHz(left, 44100), 440.0, 1.0);
  size_t lastSound = 0;
  int maxJump = 0;
  for (size_t i = 1; i < left.size(); ++i) {
    if (left[i] != 0) lastSound = i;
    // Past the first frames, where the sound starts from silence.
    if (i > 8 && i < 22000) maxJump = std::max(maxJump, std::abs(left[i] - left[i - 1]));
  }
  EXPECT_NEAR(double(lastSound), 22050.0, 4.0);
  // The steepest slope of a 16000 sine at 440 Hz is 2*pi*440*16000/44100 ~ 1003 per sample.
  EXPECT_LT(maxJump, 1100);

  // Equal rates copy the samples exactly; rate 2 plays twice as fast.
  Mixer same(11025);
  same.play(tone);
  auto copy = mixFrames(same, 100);
  for (size_t i = 0; i < 100; ++i) EXPECT_EQ(copy[2 * i], tone->samples[i]);
  Mixer fast(11025);
  VoiceSettings twice;
  twice.rate = 2.0;
  fast.play(tone, twice);
  auto quick = mixFrames(fast, 50);
  for (size_t i = 0; i < 50; ++i) EXPECT_EQ(quick[2 * i], tone->samples[2 * i]);
}

TEST(Resampler, WholeSoundConversionKeepsLengthAndPitch) {
  auto tone = sine(1000, 22050, 1.0);
  PcmAudio up = resample(*tone, 44100);
  EXPECT_EQ(up.sampleRate, 44100);
  EXPECT_NEAR(double(up.frames()), 44100.0, 2.0);
  EXPECT_NEAR(test::zeroCrossingHz(up.samples, 44100), 1000.0, 1.0);
  PcmAudio down = resample(*tone, 8000);
  EXPECT_NEAR(double(down.frames()), 8000.0, 2.0);
  EXPECT_NEAR(test::zeroCrossingHz(down.samples, 8000), 1000.0, 1.0);
  EXPECT_NEAR(test::rms(up.samples), test::rms(tone->samples), 200.0);
}

}  // namespace
}  // namespace orv::movie::sound

namespace orv::movie::sound {
namespace {

TEST(Mixer, InAndOutPointsAndEnvelopesFollowTheSoundInfo) {
  // A 22050 Hz ramp 1..100; points count 44.1 kHz samples, so 20 -> frame 10.
  auto ramp = std::make_shared<PcmAudio>();
  ramp->sampleRate = 22050;
  ramp->channels = 1;
  for (int i = 1; i <= 100; ++i) ramp->samples.push_back(int16_t(i * 100));
  swf::SoundInfo info;
  info.inPoint = 20;
  info.outPoint = 40;
  info.loopCount = 2;
  Mixer m(22050);
  VoiceId id = m.play(ramp, voiceSettingsFor(info));
  std::vector<int16_t> out(2 * 50);
  m.mix(out.data(), 50);
  std::vector<int16_t> left;
  for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
  std::vector<int16_t> expected;
  for (int play = 0; play < 2; ++play)
    for (int i = 11; i <= 20; ++i) expected.push_back(int16_t(i * 100));
  expected.resize(50, 0);
  EXPECT_EQ(left, expected);
  EXPECT_FALSE(m.isPlaying(id));

  // An envelope from full left/silent right to the reverse over frames 0..50.
  swf::SoundInfo fade;
  fade.envelope = {{0, 32768, 0}, {100, 0, 32768}};
  Mixer f(22050);
  auto flat = std::make_shared<PcmAudio>(PcmAudio{22050, 1, std::vector<int16_t>(100, 10000)});
  f.play(flat, voiceSettingsFor(fade));
  std::vector<int16_t> faded(2 * 100);
  f.mix(faded.data(), 100);
  EXPECT_EQ(faded[0], 10000);
  EXPECT_EQ(faded[1], 0);
  EXPECT_EQ(faded[2 * 25], 5000);  // halfway: both at half
  EXPECT_EQ(faded[2 * 25 + 1], 5000);
  EXPECT_EQ(faded[2 * 60], 0);  // past the last point its levels hold
  EXPECT_EQ(faded[2 * 60 + 1], 10000);

  // In and out points that leave nothing to play end the voice at once.
  swf::SoundInfo empty;
  empty.inPoint = 500;
  EXPECT_FALSE(f.isPlaying(f.play(flat, voiceSettingsFor(empty))));
}

}  // namespace
}  // namespace orv::movie::sound
