#include "about/music_player.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include "files/files.h"
#include "movie/sound/mp3_stream.h"

namespace orv::movie::sound {

namespace {

// Music files are small; anything beyond this is refused rather than read.
constexpr size_t kMaxFileBytes = size_t(64) << 20;

std::vector<uint8_t> readFile(const std::string& path) {
  files::ReadError why = files::ReadError::None;
  auto bytes = files::read(path, kMaxFileBytes, &why);
  if (bytes) return std::move(*bytes);
  if (why == files::ReadError::Missing) throw MusicError("cannot open " + path);
  if (why == files::ReadError::TooLarge) throw MusicError("file too large: " + path);
  throw MusicError("cannot read " + path);
}

}  // namespace

float gainFromHundredthsDb(long level) {
  if (level <= -10000) return 0.0f;
  if (level >= 0) return 1.0f;
  return float(std::pow(10.0, double(level) / 2000.0));
}

MusicPlayer::MusicPlayer(AudioOutput& output) : output_(output), mixer_(output.sampleRate()) {}

MusicPlayer::~MusicPlayer() {
  // Once stop() returns the output no longer calls into the mixer.
  if (outputStarted_) output_.stop();
}

void MusicPlayer::setFileName(const std::string& path) {
  stop();
  sound_.reset();
  fileName_ = path;
  std::vector<uint8_t> bytes = readFile(path);
  DecodeResult decoded = decodeMp3(bytes);
  if (!decoded.ok()) throw MusicError(path + ": " + decoded.error);
  sound_ = std::make_shared<const PcmAudio>(std::move(decoded.audio));
  if (autoStart_) play();
}

void MusicPlayer::play() {
  stop();
  if (!sound_) return;
  VoiceSettings settings;
  settings.plays = uint32_t(playCount_);
  settings.rate = rate_;
  voice_ = mixer_.play(sound_, settings);
  applyGains();
  // The device is opened only once there is something to play.
  if (!outputStarted_) {
    output_.start(mixer_);
    outputStarted_ = true;
  }
}

void MusicPlayer::stop() {
  if (voice_ != 0) mixer_.stop(voice_);
  voice_ = 0;
}

bool MusicPlayer::isPlaying() const { return voice_ != 0 && mixer_.isPlaying(voice_); }

int MusicPlayer::playsCompleted() const {
  if (voice_ == 0) return 0;
  auto state = mixer_.state(voice_);
  return state ? int(state->playsCompleted) : playCount_;
}

void MusicPlayer::setPlayCount(int count) { playCount_ = std::max(count, 0); }

void MusicPlayer::setVolume(long hundredthsDb) {
  volume_ = std::clamp(hundredthsDb, -10000L, 0L);
  applyGains();
}

void MusicPlayer::setBalance(long hundredthsDb) {
  balance_ = std::clamp(hundredthsDb, -10000L, 10000L);
  applyGains();
}

void MusicPlayer::setRate(double rate) {
  rate_ = std::isfinite(rate) ? std::clamp(rate, 1.0 / 16, 16.0) : 1.0;
  if (voice_ != 0) mixer_.setRate(voice_, rate_);
}

void MusicPlayer::setMute(bool on) {
  mute_ = on;
  applyGains();
}

double MusicPlayer::duration() const {
  return sound_ ? double(sound_->frames()) / sound_->sampleRate : 0.0;
}

void MusicPlayer::applyGains() {
  if (voice_ == 0) return;
  float volume = mute_ ? 0.0f : gainFromHundredthsDb(volume_);
  // A positive balance turns the left side down, a negative one the right side.
  float left = volume * gainFromHundredthsDb(balance_ > 0 ? -balance_ : 0);
  float right = volume * gainFromHundredthsDb(balance_ < 0 ? balance_ : 0);
  mixer_.setGains(voice_, left, right);
}

}  // namespace orv::movie::sound
