// Stream sound: blocks decoded one after another, and stream voices fed while playing.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "movie/sound/mixer.h"
#include "movie/sound/mp3_stream.h"
#include "movie/sound/stream_sound.h"
#include "sound_test_util.h"

namespace orv::movie::sound {
namespace {

std::vector<int16_t> leftOf(const std::vector<int16_t>& stereo) {
  std::vector<int16_t> out;
  for (size_t i = 0; i < stereo.size(); i += 2) out.push_back(stereo[i]);
  return out;
}

std::vector<int16_t> mixFrames(Mixer& m, size_t frames) {
  std::vector<int16_t> out(frames * 2);
  m.mix(out.data(), frames);
  return out;
}

TEST(StreamSoundDecoder, Mp3BlocksDecodeAsOneContinuousStream) {
  auto file = test::readBytes(test::soundDataPath("tones_stereo_44k.mp3"));
  auto info = scanMp3(file);
  ASSERT_TRUE(info);
  // Cut the frames into SoundStreamBlocks of three frames each.
  std::vector<std::vector<uint8_t>> blocks;
  size_t pos = info->firstFrame;
  while (pos < info->end) {
    std::vector<uint8_t> block = {0x80, 0x0D, 0, 0};  // SampleCount 3456, SeekSamples 0
    for (int i = 0; i < 3 && pos < info->end; ++i) {
      size_t len = parseMp3FrameHeader(&file[pos])->frameBytes;
      block.insert(block.end(), file.begin() + long(pos), file.begin() + long(pos + len));
      pos += len;
    }
    blocks.push_back(block);
  }
  swf::SoundStreamHead head;
  head.stream = {swf::SoundFormat::Mp3, 44100, true, true};
  StreamSoundDecoder decoder(head);
  std::vector<int16_t> pcm;
  for (const auto& b : blocks) ASSERT_TRUE(decoder.decodeBlock(b, pcm));
  EXPECT_EQ(decoder.sampleRate(), 44100);
  EXPECT_EQ(decoder.channels(), 2);
  DecodeResult whole = decodeMp3(file);
  ASSERT_TRUE(whole.ok());
  EXPECT_EQ(pcm, whole.audio.samples);

  std::vector<uint8_t> tooShort = {1, 2};
  EXPECT_FALSE(decoder.decodeBlock(tooShort, pcm));
}

TEST(StreamSoundDecoder, AdpcmAndPcmBlocksStandAlone) {
  swf::SoundStreamHead head;
  head.stream = {swf::SoundFormat::Adpcm, 11025, true, false};
  StreamSoundDecoder adpcm(head);
  // Code size 4, first sample 1000, index 0, codes 7, 12, 0, 0 (values worked out in
  // swf_sound_test): the same block twice gives the same samples twice.
  std::vector<uint8_t> block = {0x80, 0xFA, 0x00, 0x7C, 0x00};
  std::vector<int16_t> pcm;
  ASSERT_TRUE(adpcm.decodeBlock(block, pcm));
  ASSERT_TRUE(adpcm.decodeBlock(block, pcm));
  EXPECT_EQ(pcm, (std::vector<int16_t>{1000, 1011, 993, 995, 997, 1000, 1011, 993, 995, 997}));
  EXPECT_EQ(adpcm.sampleRate(), 11025);

  head.stream = {swf::SoundFormat::PcmLittle, 22050, false, true};
  StreamSoundDecoder pcm8(head);
  std::vector<int16_t> out;
  std::vector<uint8_t> bytes = {0x80, 0x90, 0x70};  // the odd byte is half a frame
  ASSERT_TRUE(pcm8.decodeBlock(bytes, out));
  EXPECT_EQ(out, (std::vector<int16_t>{0, 4096}));
  EXPECT_EQ(pcm8.channels(), 2);

  head.stream.format = swf::SoundFormat::Speex;
  StreamSoundDecoder speex(head);
  EXPECT_FALSE(speex.decodeBlock(bytes, out));
}

TEST(StreamVoice, PlaysWhatIsQueuedWaitsWhenDryAndEndsWhenTold) {
  Mixer m(22050);
  VoiceId id = m.openStream(22050, 1);
  EXPECT_TRUE(m.isPlaying(id));
  EXPECT_EQ(mixFrames(m, 10), std::vector<int16_t>(20, 0));  // nothing queued yet

  std::vector<int16_t> ramp(100);
  for (int i = 0; i < 100; ++i) ramp[size_t(i)] = int16_t(i + 1);
  m.queueStream(id, ramp);
  EXPECT_EQ(m.streamBacklog(id), 100u);
  auto left = leftOf(mixFrames(m, 120));
  // Two frames are held back for the interpolation until more arrives or the stream ends.
  for (int i = 0; i < 98; ++i) ASSERT_EQ(left[size_t(i)], i + 1);
  EXPECT_EQ(left[98], 0);
  EXPECT_TRUE(m.isPlaying(id));
  EXPECT_EQ(m.state(id)->frame, 98u);

  m.queueStream(id, ramp);
  m.endStream(id);
  left = leftOf(mixFrames(m, 110));
  EXPECT_EQ(left[0], 99);
  EXPECT_EQ(left[1], 100);
  EXPECT_EQ(left[2], 1);
  EXPECT_EQ(left[101], 100);
  EXPECT_EQ(left[102], 0);
  EXPECT_FALSE(m.isPlaying(id));
}

TEST(StreamVoice, TrimmingSkipsTheOldestUnplayedFramesOnly) {
  Mixer m(22050);
  VoiceId id = m.openStream(22050, 2);
  std::vector<int16_t> ramp;
  for (int i = 1; i <= 300; ++i) ramp.insert(ramp.end(), {int16_t(i), int16_t(-i)});
  m.queueStream(id, ramp);
  mixFrames(m, 50);  // frames 1..50 played
  EXPECT_EQ(m.streamBacklog(id), 250u);
  EXPECT_EQ(m.trimStream(id, 400), 0u) << "less queued than kept: nothing skipped";
  EXPECT_EQ(m.trimStream(id, 100), 150u);
  EXPECT_EQ(m.streamBacklog(id), 100u);
  auto out = mixFrames(m, 10);
  EXPECT_EQ(out[0], 201);  // the next frame played is the first of the 100 kept
  EXPECT_EQ(out[1], -201);
  EXPECT_EQ(m.state(id)->frame, 210u) << "skipped frames count as passed time";
  // Unknown voices and whole sounds are left alone.
  EXPECT_EQ(m.trimStream(id + 100, 0), 0u);
  auto sound = std::make_shared<PcmAudio>();
  sound->sampleRate = 22050;
  sound->channels = 1;
  sound->samples.assign(1000, 100);
  VoiceId whole = m.play(sound);
  EXPECT_EQ(m.trimStream(whole, 0), 0u);
  EXPECT_TRUE(m.isPlaying(whole));
}

TEST(StreamVoice, LongStreamsKeepTimeAndResample) {
  // A 440 Hz tone streamed at 11025 Hz in 735-frame blocks (15 per second), played at
  // 44100 Hz: the pitch holds across blocks and the played-frame count keeps counting
  // as old samples are let go.
  Mixer m(44100);
  VoiceId id = m.openStream(11025, 1);
  std::vector<int16_t> heard;
  size_t made = 0;
  for (int block = 0; block < 30; ++block) {
    std::vector<int16_t> samples;
    for (int i = 0; i < 735; ++i, ++made)
      samples.push_back(
          int16_t(std::lround(12000 * std::sin(2 * M_PI * 440 * double(made) / 11025))));
    m.queueStream(id, samples);
    auto out = leftOf(mixFrames(m, 2940));
    heard.insert(heard.end(), out.begin(), out.end());
  }
  EXPECT_NEAR(test::zeroCrossingHz(heard, 44100), 440.0, 1.0);
  EXPECT_NEAR(double(m.state(id)->frame), 30 * 735.0, 3.0);
  EXPECT_LE(m.streamBacklog(id), 3u);
}

TEST(Mixer, VoicesChangeWhileAnotherThreadMixes) {
  Mixer m;
  std::atomic<bool> done{false};
  std::thread output([&] {
    std::vector<int16_t> buffer(2 * 256);
    while (!done) m.mix(buffer.data(), 256);
  });
  auto sound = std::make_shared<PcmAudio>(PcmAudio{22050, 1, std::vector<int16_t>(500, 100)});
  VoiceId stream = m.openStream(22050, 2);
  std::vector<int16_t> chunk(64, 7);
  for (int i = 0; i < 3000; ++i) {
    VoiceId id = m.play(sound);
    m.setGains(id, 0.5f, 0.5f);
    m.queueStream(stream, chunk);
    if (i % 3 == 0) m.stop(id);
  }
  m.stopAll();
  done = true;
  output.join();
  EXPECT_EQ(m.voiceCount(), 0u);
}

}  // namespace
}  // namespace orv::movie::sound
