// The speech codecs: Nellymoser and Speex sounds decoded to a tone of the right pitch and
// length, whole (DefineSound) and block by block (stream sounds), and noise that does not
// decode.
#include <gtest/gtest.h>

#include "movie/sound/stream_sound.h"
#include "movie/sound/swf_sound.h"
#include "../video/flv_packets.h"
#include "sound_test_util.h"

namespace orv::movie::sound {
namespace {

swf::SoundDef speechSound(swf::SoundFormat format, uint32_t rate, std::vector<uint8_t> data) {
  swf::SoundDef def;
  def.format.format = format;
  def.format.rate = rate;
  def.format.is16Bit = true;
  def.data = std::move(data);
  return def;
}

struct SpeechCase {
  const char* file;
  swf::SoundFormat format;
  uint32_t storedRate;  // the tag's rate field
  int decodedRate;
};

class SpeechSounds : public ::testing::TestWithParam<SpeechCase> {};

TEST_P(SpeechSounds, DecodeToTheTonesPitchAndLength) {
  const SpeechCase c = GetParam();
  const auto data = movie::test::audioData(c.file);
  ASSERT_FALSE(data.empty());
  const DecodeResult r = decodeSound(speechSound(c.format, c.storedRate, data));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.audio.channels, 1);
  EXPECT_EQ(r.audio.sampleRate, c.decodedRate);
  // 0.5 s of 440 Hz, give or take the codec's last block.
  EXPECT_NEAR(double(r.audio.frames()) / c.decodedRate, 0.5, 0.04);
  EXPECT_NEAR(test::zeroCrossingHz(r.audio.samples, c.decodedRate), 440, 5);
  EXPECT_GT(test::rms(r.audio.samples, r.audio.frames() / 4, r.audio.frames() * 3 / 4), 500);
}

TEST_P(SpeechSounds, StreamBlocksDecodeToTheSameTone) {
  const SpeechCase c = GetParam();
  swf::SoundStreamHead head;
  head.stream.format = c.format;
  head.stream.rate = c.storedRate;
  StreamSoundDecoder decoder(head);
  EXPECT_EQ(decoder.sampleRate(), c.decodedRate);
  EXPECT_EQ(decoder.channels(), 1);
  std::vector<int16_t> pcm;
  // One packet a block, as a movie's frames carry them.
  for (const auto& packet : movie::test::readFlvPackets(c.file))
    if (!packet.video) EXPECT_TRUE(decoder.decodeBlock(packet.data, pcm));
  EXPECT_NEAR(double(pcm.size()) / c.decodedRate, 0.5, 0.04);
  EXPECT_NEAR(test::zeroCrossingHz(pcm, c.decodedRate), 440, 5);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, SpeechSounds,
    ::testing::Values(SpeechCase{"nelly16.flv", swf::SoundFormat::Nellymoser16k, 5512, 16000},
                      SpeechCase{"nelly11.flv", swf::SoundFormat::Nellymoser, 11025, 11025},
                      SpeechCase{"speex.flv", swf::SoundFormat::Speex, 5512, 16000}));

TEST(SpeechSounds, NoiseAndCutDataNeverDecodeToMore) {
  std::vector<uint8_t> noise(6400);
  uint32_t seed = 99;
  for (uint8_t& b : noise) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  for (auto format : {swf::SoundFormat::Nellymoser8k, swf::SoundFormat::Speex}) {
    const DecodeResult r = decodeSound(speechSound(format, 5512, noise));
    if (r.ok()) {
      EXPECT_LT(r.audio.frames(), 16000u * 8);
    }
  }
  // A Nellymoser block cut short is dropped; the whole ones before it play.
  auto data = movie::test::audioData("nelly16.flv");
  data.resize(64 * 3 + 20);
  const DecodeResult cut = decodeSound(speechSound(swf::SoundFormat::Nellymoser16k, 5512, data));
  ASSERT_TRUE(cut.ok());
  EXPECT_EQ(cut.audio.frames(), 256u * 3);
  EXPECT_FALSE(decodeSound(speechSound(swf::SoundFormat::Speex, 5512, {})).ok());
}

}  // namespace
}  // namespace orv::movie::sound
