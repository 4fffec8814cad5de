// A movie's own sound formats: uncompressed PCM and SWF ADPCM, with values worked out
// by hand from the IMA step tables.
#include <gtest/gtest.h>

#include "movie/sound/swf_sound.h"

namespace orv::movie::sound {
namespace {

// Packs bit fields most significant bit first, as SWF stores them.
class BitWriter {
 public:
  void put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (used_ % 8));
      ++used_;
    }
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
};

TEST(SwfPcm, EightBitIsUnsignedAndSixteenBitLittleEndian) {
  std::vector<uint8_t> eight = {0x80, 0xFF, 0x00, 0x81};
  DecodeResult r = decodePcm(eight, false, 1, 11025);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.audio.sampleRate, 11025);
  EXPECT_EQ(r.audio.samples, (std::vector<int16_t>{0, 32512, -32768, 256}));

  std::vector<uint8_t> sixteen = {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80, 0x01};  // last byte: partial
  r = decodePcm(sixteen, true, 1, 44100);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.audio.samples, (std::vector<int16_t>{0x1234, -1, -32768}));

  // Stereo keeps left/right order and drops a half frame at the end.
  r = decodePcm(sixteen, true, 2, 22050);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.audio.frames(), 1u);
  EXPECT_EQ(r.audio.samples, (std::vector<int16_t>{0x1234, -1}));

  EXPECT_FALSE(decodePcm(eight, false, 3, 11025).ok());
  EXPECT_FALSE(decodePcm(eight, false, 1, 0).ok());
}

TEST(SwfAdpcm, FourBitCodesFollowTheStepTable) {
  BitWriter w;
  w.put(2, 2);      // 4 bits per sample
  w.put(1000, 16);  // first sample
  w.put(0, 6);      // step index 0 (step 7)
  w.put(0x7, 4);    // +(0 + 7 + 3 + 1) = 1011, index 8 (step 16)
  w.put(0xC, 4);    // -(2 + 16) = 993, index 10 (step 19)
  w.put(0x0, 4);    // +2 = 995, index 9 (step 17)
  w.put(0x0, 4);    // +2 = 997
  DecodeResult r = decodeAdpcm(w.bytes(), 1, 22050);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.audio.samples, (std::vector<int16_t>{1000, 1011, 993, 995, 997}));
}

TEST(SwfAdpcm, TwoAndFiveBitCodesAndClipping) {
  BitWriter two;
  two.put(0, 2);  // 2 bits per sample
  two.put(0, 16);
  two.put(0, 6);
  two.put(1, 2);  // +(3 + 7) = 10, index 2 (step 9)
  two.put(3, 2);  // -(4 + 9) = -3, index 4 (step 11)
  two.put(2, 2);  // -5 = -8, index 3 (step 10)
  two.put(0, 2);  // +5 = -3
  DecodeResult r = decodeAdpcm(two.bytes(), 1, 5512);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.audio.samples, (std::vector<int16_t>{0, 10, -3, -8, -3}));

  BitWriter five;
  five.put(3, 2);  // 5 bits per sample
  five.put(30000, 16);
  five.put(63, 6);    // the largest index a header can hold: step 3024
  five.put(0x0F, 5);  // +(189 + 3024 + 1512 + 756 + 378): clipped to 32767; index 79 (13899)
  five.put(0x1F, 5);  // -(868 + 13899 + 6949 + 3474 + 1737) = 5840; index 88 (32767)
  five.put(0x1F, 5);  // -63483: clipped to -32768
  r = decodeAdpcm(five.bytes(), 1, 5512);
  ASSERT_TRUE(r.ok());
  ASSERT_GE(r.audio.samples.size(), 4u);
  EXPECT_EQ(r.audio.samples[0], 30000);
  EXPECT_EQ(r.audio.samples[1], 32767);
  EXPECT_EQ(r.audio.samples[2], 5840);
  EXPECT_EQ(r.audio.samples[3], -32768);
}

TEST(SwfAdpcm, StereoPacketsInterleaveAndRestartEvery4096Samples) {
  BitWriter w;
  w.put(1, 2);  // 3 bits per sample
  // Packet 1: left starts at 100, right at -100, both at index 0; all codes 0 (+step/4).
  w.put(100, 16);
  w.put(0, 6);
  w.put(uint16_t(-100), 16);
  w.put(0, 6);
  for (int i = 0; i < 4095 * 2; ++i) w.put(0, 3);
  // Packet 2 starts afresh from its own header.
  w.put(5000, 16);
  w.put(10, 6);
  w.put(uint16_t(-5000), 16);
  w.put(10, 6);
  w.put(0, 3);
  w.put(4, 3);  // right: -(19 >> 2) = -5004; left got +(19 >> 2)
  DecodeResult r = decodeAdpcm(w.bytes(), 2, 11025);
  ASSERT_TRUE(r.ok());
  // The 6 padding bits of the last byte decode as one more stereo frame.
  ASSERT_EQ(r.audio.frames(), 4096u + 3);
  EXPECT_EQ(r.audio.samples[0], 100);
  EXPECT_EQ(r.audio.samples[1], -100);
  EXPECT_EQ(r.audio.samples[2], 101);  // 100 + (7 >> 2)
  EXPECT_EQ(r.audio.samples[3], -99);
  EXPECT_EQ(r.audio.samples[2 * 4096], 5000);
  EXPECT_EQ(r.audio.samples[2 * 4096 + 1], -5000);
  EXPECT_EQ(r.audio.samples[2 * 4097], 5004);
  EXPECT_EQ(r.audio.samples[2 * 4097 + 1], -5004);
}

TEST(SwfAdpcm, DataTooShortForAPacketIsAnError) {
  EXPECT_FALSE(decodeAdpcm({}, 1, 11025).ok());
  std::vector<uint8_t> tiny = {0x40, 0x12};
  EXPECT_FALSE(decodeAdpcm(tiny, 1, 11025).ok());
  EXPECT_FALSE(decodeAdpcm(tiny, 2, 11025).ok());
}

TEST(SwfSound, DefineSoundDecodesByFormatAndTrimsToItsSampleCount) {
  swf::SoundDef sound;
  sound.format.format = swf::SoundFormat::Adpcm;
  sound.format.rate = 22050;
  BitWriter w;
  w.put(2, 2);
  w.put(1000, 16);
  w.put(0, 6);
  w.put(0x7, 4);
  w.put(0xC, 4);
  w.put(0x0, 4);  // the last 4 bits of the final byte are padding
  sound.data = w.bytes();
  sound.sampleCount = 4;
  DecodeResult r = decodeSound(sound);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.audio.samples, (std::vector<int16_t>{1000, 1011, 993, 995}));

  sound.format.format = swf::SoundFormat::PcmLittle;
  sound.format.is16Bit = true;
  sound.format.stereo = true;
  sound.data = {1, 0, 2, 0, 3, 0, 4, 0};
  sound.sampleCount = 2;
  r = decodeSound(sound);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.audio.channels, 2);
  EXPECT_EQ(r.audio.samples, (std::vector<int16_t>{1, 2, 3, 4}));

  sound.format.format = swf::SoundFormat::Nellymoser;
  EXPECT_FALSE(decodeSound(sound).ok());
  sound.format.format = swf::SoundFormat::Mp3;
  EXPECT_FALSE(decodeSound(sound).ok());
}

}  // namespace
}  // namespace orv::movie::sound

namespace orv::movie::sound {
namespace {

TEST(SwfSound, RandomDataInEveryFormatDecodesBoundedOrFails) {
  uint32_t x = 2024;
  auto next = [&x] { return x = x * 1664525u + 1013904223u; };
  const swf::SoundFormat formats[] = {swf::SoundFormat::PcmNative, swf::SoundFormat::Adpcm,
                                      swf::SoundFormat::Mp3, swf::SoundFormat::PcmLittle,
                                      swf::SoundFormat::Nellymoser};
  for (int round = 0; round < 200; ++round) {
    swf::SoundDef sound;
    sound.format.format = formats[next() % 5];
    sound.format.rate = (next() % 2) ? 44100 : 5512;
    sound.format.is16Bit = next() % 2;
    sound.format.stereo = next() % 2;
    sound.sampleCount = next() % 3 ? 0 : next() % 100000;
    sound.data.resize(next() % 3000);
    for (auto& b : sound.data) b = uint8_t(next() >> 24);
    DecodeResult r = decodeSound(sound);
    if (!r.ok()) continue;
    // 2-bit ADPCM is the densest format: 8 samples per byte and channel, plus headers.
    EXPECT_LE(r.audio.samples.size(), sound.data.size() * 8 + 4);
    EXPECT_EQ(r.audio.samples.size() % size_t(r.audio.channels), 0u);
  }
}

}  // namespace
}  // namespace orv::movie::sound
