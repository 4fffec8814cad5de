#pragma once
// Mixes any number of playing sounds ("voices") into one stereo stream at the output
// rate. Each voice has its own gains, playback rate and number of plays; sums beyond the
// 16-bit range are clipped. Voices are started and changed from the program's thread
// while mix() runs on the output's thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "movie/sound/audio_output.h"
#include "movie/sound/pcm_audio.h"

namespace orv::movie::sound {

using VoiceId = uint32_t;

// A point of a volume envelope. Positions count 44.1 kHz samples from the start of the
// sound, whatever its own rate, as a movie's sound envelopes do.
struct EnvelopePoint {
  uint32_t pos44 = 0;
  float left = 1.0f, right = 1.0f;  // linear levels
};

struct VoiceSettings {
  float leftGain = 1.0f;  // linear, 1 = as recorded
  float rightGain = 1.0f;
  double rate = 1.0;   // playback speed (and pitch); 2 = twice as fast
  uint32_t plays = 1;  // times played in a row; 0 = until stopped
  // The part of the sound played, in 44.1 kHz samples; outPoint44 0 = to the end.
  uint32_t inPoint44 = 0, outPoint44 = 0;
  // Levels between points are interpolated linearly; before the first and after the
  // last point their levels hold. Applied within each play. Empty = level 1.
  std::vector<EnvelopePoint> envelope;
};

struct VoiceState {
  uint32_t playsCompleted = 0;
  size_t frame = 0;  // position in the sound (a stream: frames played since it opened)
};

// Linear gains for a volume (0..1) and a pan (-1 left .. 1 right).
inline VoiceSettings panned(float volume, float pan) {
  VoiceSettings s;
  s.leftGain = volume * (pan > 0 ? 1.0f - pan : 1.0f);
  s.rightGain = volume * (pan < 0 ? 1.0f + pan : 1.0f);
  return s;
}

class Mixer final : public AudioSource {
 public:
  explicit Mixer(int outputRate = 44100) : outputRate_(outputRate) {}
  int outputRate() const { return outputRate_; }

  // Starts a sound; it plays from its first frame at the next mix().
  VoiceId play(std::shared_ptr<const PcmAudio> sound, const VoiceSettings& settings = {});
  // A sound that arrives piece by piece (a movie's stream sound). It plays what has been
  // queued and waits, silent, when it runs dry; after endStream() it finishes once the
  // queue is played out. `settings.plays` is ignored.
  VoiceId openStream(int sampleRate, int channels, const VoiceSettings& settings = {});
  // Appends interleaved samples in the stream's own rate and channel count.
  void queueStream(VoiceId id, std::span<const int16_t> samples);
  void endStream(VoiceId id);
  // Frames queued but not yet played (0 for unknown voices).
  size_t streamBacklog(VoiceId id) const;
  // Skips the oldest unplayed frames so that at most `keepFrames` remain queued: sound
  // that arrived too late to be in time is dropped. Returns the frames skipped.
  size_t trimStream(VoiceId id, size_t keepFrames);
  void stop(VoiceId id);
  void stopAll();
  void setGains(VoiceId id, float left, float right);
  void setRate(VoiceId id, double rate);
  // Gains applied to the sum of all voices (a movie's overall volume), linear.
  void setMasterGains(float left, float right);
  bool isPlaying(VoiceId id) const { return state(id).has_value(); }
  // nullopt once the voice has finished or was stopped.
  std::optional<VoiceState> state(VoiceId id) const;
  size_t voiceCount() const;

  void mix(int16_t* out, size_t frames) override;

 private:
  struct Voice {
    VoiceId id = 0;
    std::shared_ptr<const PcmAudio> sound;
    VoiceSettings settings;
    uint64_t position = 0;  // source frames, 32.32 fixed point
    uint64_t step = 0;
    uint32_t playsCompleted = 0;
    int64_t begin = 0, end = 0;  // played part of the sound, in its frames
    // Streams only: the samples queued and not yet dropped, and what was dropped.
    bool streaming = false;
    bool streamEnded = false;
    int streamRate = 0, streamChannels = 0;
    std::vector<int16_t> queue;
    size_t droppedFrames = 0;
  };
  // Adds the voice to `acc`; false when it has finished.
  bool render(Voice& voice, float* acc, size_t frames) const;
  bool renderStream(Voice& voice, float* acc, size_t frames) const;
  Voice* find(VoiceId id);

  const int outputRate_;
  mutable std::mutex mutex_;
  std::vector<Voice> voices_;
  VoiceId nextId_ = 1;
  std::vector<float> accumulator_;
  float masterLeft_ = 1.0f, masterRight_ = 1.0f;
};

}  // namespace orv::movie::sound
