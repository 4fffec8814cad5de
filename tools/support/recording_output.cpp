#include "support/recording_output.h"

#include <fstream>

namespace orv::movie::sound {

void RecordingOutput::start(AudioSource& source) {
  std::lock_guard lock(mutex_);
  source_ = &source;
}

void RecordingOutput::stop() {
  std::lock_guard lock(mutex_);
  source_ = nullptr;
}

bool RecordingOutput::started() const {
  std::lock_guard lock(mutex_);
  return source_ != nullptr;
}

void RecordingOutput::pull(size_t frames) {
  std::lock_guard lock(mutex_);
  size_t at = samples_.size();
  samples_.resize(at + frames * 2, 0);
  if (source_) source_->mix(samples_.data() + at, frames);
}

PcmAudio RecordingOutput::recording() const {
  std::lock_guard lock(mutex_);
  return PcmAudio{sampleRate_, 2, samples_};
}

void RecordingOutput::clear() {
  std::lock_guard lock(mutex_);
  samples_.clear();
}

namespace {
void put16(std::ofstream& f, uint32_t v) {
  char b[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
  f.write(b, 2);
}
void put32(std::ofstream& f, uint32_t v) {
  put16(f, v & 0xFFFF);
  put16(f, v >> 16);
}
}  // namespace

bool writeWavFile(const std::string& path, const PcmAudio& audio) {
  if (audio.channels < 1 || audio.sampleRate <= 0) return false;
  std::ofstream f(path, std::ios::binary);
  if (!f) return false;
  const uint32_t dataBytes = uint32_t(audio.samples.size() * 2);
  const uint32_t blockAlign = uint32_t(audio.channels) * 2;
  f.write("RIFF", 4);
  put32(f, 36 + dataBytes);
  f.write("WAVEfmt ", 8);
  put32(f, 16);
  put16(f, 1);  // PCM
  put16(f, uint32_t(audio.channels));
  put32(f, uint32_t(audio.sampleRate));
  put32(f, uint32_t(audio.sampleRate) * blockAlign);
  put16(f, blockAlign);
  put16(f, 16);
  f.write("data", 4);
  put32(f, dataBytes);
  for (int16_t s : audio.samples) put16(f, uint16_t(s));
  return bool(f);
}

}  // namespace orv::movie::sound
