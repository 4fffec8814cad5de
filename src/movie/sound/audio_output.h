#pragma once
// The output seam: something that plays stereo 16-bit sound by pulling it from a source.
#include <cstddef>
#include <cstdint>

namespace orv::movie::sound {

// Fills buffers on request. Called from the output's own thread.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Writes `frames` stereo frames (left, right interleaved) to `out`.
  virtual void mix(int16_t* out, size_t frames) = 0;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // The rate the output plays at; sources render at this rate.
  virtual int sampleRate() const = 0;
  // Starts pulling from `source`, replacing any earlier one. Without a sound device the
  // output stays silent; that is not an error.
  virtual void start(AudioSource& source) = 0;
  // Stops pulling; once this returns the source is not called again.
  virtual void stop() = 0;
  // How far ahead of what is heard the output pulls, in milliseconds: sound meant to be
  // heard at a moment must be in the source this long before it.
  virtual double latencyMs() const { return 0; }
};

}  // namespace orv::movie::sound
