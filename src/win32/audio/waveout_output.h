#pragma once
// Sound output through the waveOut API. A thread of its own keeps a few buffers queued
// and refills each from the source as the device hands it back, so a busy window thread
// never makes the sound stutter. Without a sound device it stays silent.
#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <thread>
#include <vector>

#include "movie/sound/audio_output.h"

namespace orv::win32 {

class WaveOutOutput final : public movie::sound::AudioOutput {
 public:
  // Buffers of `bufferMs` each; `bufferCount` of them are queued at a time.
  explicit WaveOutOutput(int sampleRate = 44100, int bufferMs = 40, int bufferCount = 4);
  ~WaveOutOutput() override;
  WaveOutOutput(const WaveOutOutput&) = delete;
  WaveOutOutput& operator=(const WaveOutOutput&) = delete;

  int sampleRate() const override { return sampleRate_; }
  void start(movie::sound::AudioSource& source) override;
  void stop() override;
  // Every queued buffer is mixed before it plays.
  double latencyMs() const override {
    return 1000.0 * double(framesPerBuffer_) * bufferCount_ / sampleRate_;
  }
  // Whether the last start() found a device to play on.
  bool hasDevice() const { return device_ != nullptr; }

 private:
  void run();
  void refill(WAVEHDR& header);

  const int sampleRate_;
  const size_t framesPerBuffer_;
  const int bufferCount_;
  movie::sound::AudioSource* source_ = nullptr;
  HWAVEOUT device_ = nullptr;
  HANDLE bufferDone_ = nullptr;
  std::vector<std::vector<int16_t>> buffers_;
  std::vector<WAVEHDR> headers_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace orv::win32
