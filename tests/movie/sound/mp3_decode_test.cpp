// MP3 decoding through the platform decoder seam, and the frame scanner that guards it.
#include <gtest/gtest.h>

#include "movie/codec/mp3_decoder.h"
#include "movie/sound/mp3_stream.h"
#include "sound_test_util.h"

namespace orv::movie::sound {
namespace {

using test::channel;
using test::readBytes;
using test::soundDataPath;
using test::zeroCrossingHz;

TEST(Mp3Decode, MonoMpeg2ToneHasItsRateLengthAndPitch) {
  auto bytes = readBytes(soundDataPath("tone440_mono_22k.mp3"));
  ASSERT_FALSE(bytes.empty());
  DecodeResult r = decodeMp3(bytes);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.audio.sampleRate, 22050);
  EXPECT_EQ(r.audio.channels, 1);
  // One second; the decoder may keep the encoder's padding (under two frames).
  EXPECT_GE(r.audio.frames(), 22050u - 576u);
  EXPECT_LE(r.audio.frames(), 22050u + 2 * 1152u);
  EXPECT_NEAR(zeroCrossingHz(r.audio.samples, 22050), 440.0, 2.0);
  EXPECT_GT(test::rms(r.audio.samples, 2000, 20000), 0.5 * 16384 / 1.5);
}

TEST(Mp3Decode, StereoMpeg1ToneKeepsChannelsApart) {
  DecodeResult r = decodeMp3(readBytes(soundDataPath("tones_stereo_44k.mp3")));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.audio.sampleRate, 44100);
  EXPECT_EQ(r.audio.channels, 2);
  EXPECT_NEAR(double(r.audio.frames()), 22050.0, 2 * 1152.0);
  EXPECT_NEAR(zeroCrossingHz(channel(r.audio, 0), 44100), 1000.0, 3.0);
  EXPECT_NEAR(zeroCrossingHz(channel(r.audio, 1), 44100), 500.0, 3.0);
}

TEST(Mp3Decode, ScannerFindsFormatAndFramesBehindId3Tag) {
  auto bytes = readBytes(soundDataPath("tones_stereo_44k.mp3"));
  auto plain = scanMp3(bytes);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->first.sampleRate, 44100);
  EXPECT_EQ(plain->first.channels, 2);
  EXPECT_EQ(plain->first.version, 1);
  EXPECT_FALSE(plain->truncated);
  EXPECT_EQ(plain->end, bytes.size());
  // 0.5 s of 1152-sample frames, plus the encoder's info frame and padding.
  EXPECT_GE(plain->frameCount, 20u);
  EXPECT_LE(plain->frameCount, 23u);

  // An ID3v2 tag (10-byte header, 20 bytes of payload) in front changes nothing.
  std::vector<uint8_t> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
  tagged.resize(30, 0xFF);  // payload that looks like sync bytes must be skipped
  tagged.insert(tagged.end(), bytes.begin(), bytes.end());
  auto withTag = scanMp3(tagged);
  ASSERT_TRUE(withTag);
  EXPECT_EQ(withTag->firstFrame, plain->firstFrame + 30);
  EXPECT_EQ(withTag->frameCount, plain->frameCount);
  DecodeResult a = decodeMp3(bytes), b = decodeMp3(tagged);
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(a.audio.samples, b.audio.samples);
}

TEST(Mp3Decode, DecoderFedInSmallPiecesGivesTheSameSound) {
  auto bytes = readBytes(soundDataPath("tone440_mono_22k.mp3"));
  DecodeResult whole = decodeMp3(bytes);
  ASSERT_TRUE(whole.ok());
  auto decoder = codec::makeMp3Decoder();
  ASSERT_TRUE(decoder);
  std::vector<int16_t> pcm;
  for (size_t at = 0; at < bytes.size(); at += 37)
    ASSERT_TRUE(
        decoder->feed(std::span(bytes).subspan(at, std::min<size_t>(37, bytes.size() - at)), pcm));
  EXPECT_EQ(decoder->format().sampleRate, 22050);
  EXPECT_EQ(decoder->format().channels, 1);
  EXPECT_EQ(pcm, whole.audio.samples);
}

TEST(Mp3Decode, TruncatedDataIsAnErrorUnlessAccepted) {
  auto bytes = readBytes(soundDataPath("tones_stereo_44k.mp3"));
  auto info = scanMp3(bytes);
  ASSERT_TRUE(info);
  // Cut in the middle of the 10th frame.
  size_t cut = info->firstFrame;
  for (int i = 0; i < 10; ++i) cut += parseMp3FrameHeader(&bytes[cut])->frameBytes;
  cut += 50;
  std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + long(cut));
  auto scanned = scanMp3(truncated);
  ASSERT_TRUE(scanned);
  EXPECT_TRUE(scanned->truncated);
  EXPECT_EQ(scanned->frameCount, 10u);
  DecodeResult strict = decodeMp3(truncated);
  EXPECT_FALSE(strict.ok());
  DecodeResult lenient = decodeMp3(truncated, /*allowTruncated=*/true);
  ASSERT_TRUE(lenient.ok()) << lenient.error;
  EXPECT_LT(lenient.audio.frames(), 10u * 1152u + 1);
  EXPECT_GT(lenient.audio.frames(), 5u * 1152u);
}

TEST(Mp3Decode, GarbageEmptyAndLoneHeadersAreErrors) {
  EXPECT_FALSE(decodeMp3({}).ok());
  std::vector<uint8_t> zeros(5000, 0);
  EXPECT_FALSE(decodeMp3(zeros).ok());
  std::vector<uint8_t> noise(20000);
  uint32_t x = 12345;
  for (auto& b : noise) b = uint8_t((x = x * 1103515245u + 12345u) >> 24);
  EXPECT_FALSE(decodeMp3(noise).ok());
  // A valid header with nothing after it is a frame cut short.
  std::vector<uint8_t> header = {0xFF, 0xFB, 0x90, 0x64};
  EXPECT_FALSE(decodeMp3(header).ok());
  // A stream of sync bytes: not a chain of frames.
  std::vector<uint8_t> syncs(4096, 0xFF);
  EXPECT_FALSE(decodeMp3(syncs).ok());
  // An ID3 tag claiming more bytes than there are.
  std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 1, 2, 3};
  EXPECT_FALSE(decodeMp3(tag).ok());
}

TEST(Mp3Decode, CorruptedFramesDoNotCrashTheDecoder) {
  auto bytes = readBytes(soundDataPath("tones_stereo_44k.mp3"));
  uint32_t x = 99;
  for (int round = 0; round < 20; ++round) {
    auto damaged = bytes;
    for (int i = 0; i < 200; ++i) {
      x = x * 1103515245u + 12345u;
      damaged[(x >> 8) % damaged.size()] ^= uint8_t(x >> 24);
    }
    DecodeResult r = decodeMp3(damaged, true);
    if (r.ok()) {
      EXPECT_LT(r.audio.samples.size(), kMaxDecodedSamples);
    }
  }
}

}  // namespace
}  // namespace orv::movie::sound
