#pragma once
// The speech codecs' seam: Nellymoser and Speex sounds, in movies and FLV files. The
// codec library the program links provides makeSpeechDecoder() (libavcodec for
// Nellymoser, libspeex for Speex; src/codec_av).
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace orv::movie::codec {

enum class SpeechCodec : uint8_t { Nellymoser, Speex };

class SpeechDecoder {
 public:
  virtual ~SpeechDecoder() = default;
  // Decodes a run of whole packets (Nellymoser: 64-byte blocks of 256 samples; Speex:
  // wideband frames of 320 samples, each padded to a whole byte) and appends their mono int16 samples to `pcm`. False when the
  // data does not decode; what decoded before the fault is kept.
  virtual bool decode(std::span<const uint8_t> data, std::vector<int16_t>& pcm) = 0;
  // The rate of the samples decode() appends.
  virtual int sampleRate() const = 0;
};

// A decoder for mono speech at `sampleRate` (Nellymoser: any rate; Speex: 16 kHz, as
// movies store it). nullptr when the library has none.
std::unique_ptr<SpeechDecoder> makeSpeechDecoder(SpeechCodec codec, int sampleRate);

}  // namespace orv::movie::codec
