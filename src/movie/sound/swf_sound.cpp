#include "movie/sound/swf_sound.h"

#include <algorithm>

#include "movie/base/bytes.h"
#include "movie/sound/mp3_stream.h"
#include "movie/codec/speech_decoder.h"

namespace orv::movie::sound {

namespace {

// IMA ADPCM quantiser step sizes.
constexpr int16_t kStepSizes[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Step index change by magnitude code, for 2, 3, 4 and 5 bits per sample.
constexpr int8_t kIndexShift2[2] = {-1, 2};
constexpr int8_t kIndexShift3[4] = {-1, -1, 2, 4};
constexpr int8_t kIndexShift4[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int8_t kIndexShift5[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int8_t* kIndexShifts[4] = {kIndexShift2, kIndexShift3, kIndexShift4, kIndexShift5};

// Most significant bit first, as SWF bit fields are stored.
class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> d) : data_(d) {}
  size_t remaining() const { return data_.size() * 8 - pos_; }
  uint32_t read(int bits) {  // caller checks remaining()
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i, ++pos_)
      v = (v << 1) | ((data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1);
    return v;
  }
  int32_t readSigned(int bits) {
    uint32_t v = read(bits);
    return (v & (1u << (bits - 1))) ? int32_t(v) - (int32_t(1) << bits) : int32_t(v);
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

struct AdpcmChannel {
  int sample = 0;
  int index = 0;

  int16_t decode(uint32_t code, int bits) {
    const uint32_t signBit = 1u << (bits - 1);
    const int step = kStepSizes[index];
    int diff = step >> (bits - 1);
    for (uint32_t mask = signBit >> 1, s = step; mask; mask >>= 1, s >>= 1)
      if (code & mask) diff += int(s);
    sample = std::clamp(code & signBit ? sample - diff : sample + diff, -32768, 32767);
    index = std::clamp(index + kIndexShifts[bits - 2][code & (signBit - 1)], 0, 88);
    return int16_t(sample);
  }
};

bool validLayout(int channels, int sampleRate) {
  return (channels == 1 || channels == 2) && sampleRate > 0;
}

}  // namespace

DecodeResult decodePcm(std::span<const uint8_t> data, bool is16Bit, int channels, int sampleRate) {
  if (!validLayout(channels, sampleRate)) return DecodeResult::failure("bad sound layout");
  DecodeResult r;
  r.audio.sampleRate = sampleRate;
  r.audio.channels = channels;
  size_t bytesPerFrame = size_t(channels) * (is16Bit ? 2 : 1);
  size_t count = data.size() / bytesPerFrame * size_t(channels);
  r.audio.samples.resize(count);
  for (size_t i = 0; i < count; ++i)
    r.audio.samples[i] =
        is16Bit ? int16_t(base::le16(data.data() + 2 * i)) : int16_t((int(data[i]) - 128) << 8);
  return r;
}

DecodeResult decodeAdpcm(std::span<const uint8_t> data, int channels, int sampleRate) {
  if (!validLayout(channels, sampleRate)) return DecodeResult::failure("bad sound layout");
  BitReader in(data);
  if (in.remaining() < 2) return DecodeResult::failure("empty ADPCM data");
  const int bits = int(in.read(2)) + 2;
  DecodeResult r;
  r.audio.sampleRate = sampleRate;
  r.audio.channels = channels;
  // At most 16 output samples per input byte: bounded by the input size.
  r.audio.samples.reserve(std::min(data.size() * 8 / size_t(bits) + 2, kMaxDecodedSamples));
  AdpcmChannel state[2];
  const size_t headerBits = size_t(channels) * 22;
  const size_t frameBits = size_t(channels) * size_t(bits);
  while (in.remaining() >= headerBits) {
    for (int c = 0; c < channels; ++c) {
      state[c].sample = in.readSigned(16);
      state[c].index = std::min<int>(int(in.read(6)), 88);
      r.audio.samples.push_back(int16_t(state[c].sample));
    }
    for (int i = 1; i < 4096 && in.remaining() >= frameBits; ++i)
      for (int c = 0; c < channels; ++c)
        r.audio.samples.push_back(state[c].decode(in.read(bits), bits));
  }
  if (r.audio.samples.empty()) return DecodeResult::failure("ADPCM data holds no samples");
  return r;
}

int speechSampleRate(const swf::AudioFormat& format) {
  switch (format.format) {
    case swf::SoundFormat::Nellymoser16k:
    case swf::SoundFormat::Speex:
      return 16000;
    case swf::SoundFormat::Nellymoser8k:
      return 8000;
    case swf::SoundFormat::Nellymoser:
      return int(format.rate);
    default:
      return 0;
  }
}

std::unique_ptr<codec::SpeechDecoder> makeSpeechDecoder(const swf::AudioFormat& format) {
  const int rate = speechSampleRate(format);
  if (rate == 0) return nullptr;
  return codec::makeSpeechDecoder(format.format == swf::SoundFormat::Speex
                                      ? codec::SpeechCodec::Speex
                                      : codec::SpeechCodec::Nellymoser,
                                  rate);
}

DecodeResult decodeSpeech(const swf::AudioFormat& format, std::span<const uint8_t> data) {
  auto decoder = makeSpeechDecoder(format);
  if (!decoder) return DecodeResult::failure("no decoder for this speech format");
  DecodeResult r;
  r.audio.sampleRate = decoder->sampleRate();
  r.audio.channels = 1;
  // Nellymoser a run of whole 64-byte blocks at a time, so what decodes before a fault is
  // kept and the length stays bounded; Speex frames are not byte-aligned: all at once.
  const size_t kChunk = format.format == swf::SoundFormat::Speex ? data.size() : 64 * 64;
  for (size_t pos = 0; pos < data.size(); pos += kChunk) {
    if (!decoder->decode(data.subspan(pos, std::min(kChunk, data.size() - pos)), r.audio.samples) ||
        r.audio.samples.size() > kMaxDecodedSamples)
      break;
  }
  if (r.audio.samples.size() > kMaxDecodedSamples) r.audio.samples.resize(kMaxDecodedSamples);
  if (r.audio.samples.empty()) return DecodeResult::failure("speech data holds no samples");
  return r;
}

DecodeResult decodeSound(const swf::SoundDef& sound) {
  const int channels = sound.format.stereo ? 2 : 1;
  const int rate = int(sound.format.rate);
  DecodeResult r;
  switch (sound.format.format) {
    case swf::SoundFormat::PcmNative:
    case swf::SoundFormat::PcmLittle:
      return decodePcm(sound.data, sound.format.is16Bit, channels, rate);
    case swf::SoundFormat::Adpcm:
      r = decodeAdpcm(sound.data, channels, rate);
      break;
    case swf::SoundFormat::Mp3:
      r = decodeMp3(sound.data, /*allowTruncated=*/true);
      break;
    case swf::SoundFormat::Nellymoser16k:
    case swf::SoundFormat::Nellymoser8k:
    case swf::SoundFormat::Nellymoser:
    case swf::SoundFormat::Speex:
      r = decodeSpeech(sound.format, sound.data);
      break;
    default:
      return DecodeResult::failure("unsupported sound format");
  }
  // Packets and frames round the length up; the tag says how long the sound really is.
  if (r.ok() && sound.sampleCount > 0 && r.audio.frames() > sound.sampleCount)
    r.audio.samples.resize(size_t(sound.sampleCount) * size_t(r.audio.channels));
  return r;
}

VoiceSettings voiceSettingsFor(const swf::SoundInfo& info) {
  VoiceSettings s;
  s.plays = std::max<uint32_t>(info.loopCount, 1);
  s.inPoint44 = info.inPoint.value_or(0);
  s.outPoint44 = info.outPoint.value_or(0);
  for (const auto& p : info.envelope)
    s.envelope.push_back(
        {p.pos44, std::min(p.leftLevel / 32768.0f, 1.0f), std::min(p.rightLevel / 32768.0f, 1.0f)});
  return s;
}

}  // namespace orv::movie::sound
