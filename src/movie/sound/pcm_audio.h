#pragma once
// Decoded sound: interleaved signed 16-bit samples, and the result type of the decoders.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orv::movie::sound {

struct PcmAudio {
  int sampleRate = 0;            // Hz
  int channels = 0;              // 1 or 2
  std::vector<int16_t> samples;  // frame after frame, channels interleaved
  size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
};

// Either audio or the reason there is none.
struct DecodeResult {
  PcmAudio audio;
  std::string error;  // empty on success
  bool ok() const { return error.empty(); }
  static DecodeResult failure(std::string why) {
    DecodeResult r;
    r.error = std::move(why);
    return r;
  }
};

// Upper bound on what one sound may decode to (about 12 minutes of 44.1 kHz stereo),
// so a hostile file cannot exhaust memory.
inline constexpr size_t kMaxDecodedSamples = size_t(64) << 20;

}  // namespace orv::movie::sound
