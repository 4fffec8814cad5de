#pragma once
// An output without a device: the caller pulls sound by hand and gets the samples back
// (or a WAV file). Used by tests and tools; deterministic, no thread.
#include <mutex>
#include <string>
#include <vector>

#include "movie/sound/audio_output.h"
#include "movie/sound/pcm_audio.h"

namespace orv::movie::sound {

class RecordingOutput final : public AudioOutput {
 public:
  explicit RecordingOutput(int sampleRate = 44100) : sampleRate_(sampleRate) {}
  int sampleRate() const override { return sampleRate_; }
  void start(AudioSource& source) override;
  void stop() override;
  bool started() const;

  // Pulls `frames` stereo frames from the source (silence while stopped) and keeps them.
  void pull(size_t frames);
  // Everything pulled so far, as stereo audio at sampleRate().
  PcmAudio recording() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  int sampleRate_;
  AudioSource* source_ = nullptr;
  std::vector<int16_t> samples_;
};

// Writes 16-bit PCM as a RIFF WAVE file. False when the file cannot be written.
bool writeWavFile(const std::string& path, const PcmAudio& audio);

}  // namespace orv::movie::sound
