#include "movie/sound/mixer.h"

#include <algorithm>
#include <cmath>

#include "movie/sound/resampler.h"

namespace orv::movie::sound {

VoiceId Mixer::play(std::shared_ptr<const PcmAudio> sound, const VoiceSettings& settings) {
  std::lock_guard lock(mutex_);
  VoiceId id = nextId_++;
  if (nextId_ == 0) nextId_ = 1;
  if (!sound || sound->frames() == 0 || sound->sampleRate <= 0 || sound->channels < 1 ||
      sound->channels > 2)
    return id;  // nothing to play: the voice has finished at once
  Voice v;
  v.id = id;
  v.sound = std::move(sound);
  v.settings = settings;
  v.step = resampleStep(v.sound->sampleRate * settings.rate, outputRate_);
  // In and out points to the sound's own frames, kept inside it.
  const int64_t frames = int64_t(v.sound->frames());
  auto toFrame = [&](uint32_t pos44) {
    return int64_t(double(pos44) * v.sound->sampleRate / 44100.0 + 0.5);
  };
  v.begin = std::min(toFrame(settings.inPoint44), frames);
  v.end =
      settings.outPoint44 == 0 ? frames : std::clamp(toFrame(settings.outPoint44), v.begin, frames);
  if (v.end <= v.begin) return id;  // nothing between the points
  voices_.push_back(std::move(v));
  return id;
}

VoiceId Mixer::openStream(int sampleRate, int channels, const VoiceSettings& settings) {
  std::lock_guard lock(mutex_);
  VoiceId id = nextId_++;
  if (nextId_ == 0) nextId_ = 1;
  if (sampleRate <= 0 || channels < 1 || channels > 2) return id;  // finished at once
  Voice v;
  v.id = id;
  v.settings = settings;
  v.streaming = true;
  v.streamRate = sampleRate;
  v.streamChannels = channels;
  v.step = resampleStep(sampleRate * settings.rate, outputRate_);
  voices_.push_back(std::move(v));
  return id;
}

void Mixer::queueStream(VoiceId id, std::span<const int16_t> samples) {
  std::lock_guard lock(mutex_);
  Voice* v = find(id);
  if (!v || !v->streaming || v->streamEnded) return;
  // Whole frames only, and never more than a sound may hold.
  size_t usable = samples.size() - samples.size() % size_t(v->streamChannels);
  if (v->queue.size() + usable > kMaxDecodedSamples) return;
  v->queue.insert(v->queue.end(), samples.begin(), samples.begin() + long(usable));
}

void Mixer::endStream(VoiceId id) {
  std::lock_guard lock(mutex_);
  if (Voice* v = find(id)) v->streamEnded = true;
}

size_t Mixer::streamBacklog(VoiceId id) const {
  std::lock_guard lock(mutex_);
  for (const auto& v : voices_)
    if (v.id == id && v.streaming) {
      size_t queued = v.queue.size() / size_t(v.streamChannels);
      size_t at = size_t(v.position >> 32);
      return queued > at ? queued - at : 0;
    }
  return 0;
}

size_t Mixer::trimStream(VoiceId id, size_t keepFrames) {
  std::lock_guard lock(mutex_);
  Voice* v = find(id);
  if (!v || !v->streaming) return 0;
  const size_t queued = v->queue.size() / size_t(v->streamChannels);
  const size_t at = size_t(v->position >> 32);
  if (queued <= at || queued - at <= keepFrames) return 0;
  const size_t skipped = queued - at - keepFrames;
  v->position += uint64_t(skipped) << 32;
  return skipped;
}

Mixer::Voice* Mixer::find(VoiceId id) {
  for (auto& v : voices_)
    if (v.id == id) return &v;
  return nullptr;
}

void Mixer::stop(VoiceId id) {
  std::lock_guard lock(mutex_);
  std::erase_if(voices_, [id](const Voice& v) { return v.id == id; });
}

void Mixer::stopAll() {
  std::lock_guard lock(mutex_);
  voices_.clear();
}

void Mixer::setGains(VoiceId id, float left, float right) {
  std::lock_guard lock(mutex_);
  if (Voice* v = find(id)) {
    v->settings.leftGain = left;
    v->settings.rightGain = right;
  }
}

void Mixer::setRate(VoiceId id, double rate) {
  std::lock_guard lock(mutex_);
  if (Voice* v = find(id)) {
    v->settings.rate = rate;
    v->step =
        resampleStep((v->streaming ? v->streamRate : v->sound->sampleRate) * rate, outputRate_);
  }
}

std::optional<VoiceState> Mixer::state(VoiceId id) const {
  std::lock_guard lock(mutex_);
  for (const auto& v : voices_)
    if (v.id == id)
      return VoiceState{v.playsCompleted,
                        v.droppedFrames + size_t(v.begin + int64_t(v.position >> 32))};
  return std::nullopt;
}

size_t Mixer::voiceCount() const {
  std::lock_guard lock(mutex_);
  return voices_.size();
}

void Mixer::mix(int16_t* out, size_t frames) {
  std::lock_guard lock(mutex_);
  accumulator_.assign(frames * 2, 0.0f);
  std::erase_if(voices_, [&](Voice& v) {
    return !(v.streaming ? renderStream(v, accumulator_.data(), frames)
                         : render(v, accumulator_.data(), frames));
  });
  for (size_t i = 0; i < frames * 2; ++i) {
    const float gain = (i & 1) ? masterRight_ : masterLeft_;
    out[i] = int16_t(std::clamp(std::lrint(accumulator_[i] * gain), -32768L, 32767L));
  }
}

void Mixer::setMasterGains(float left, float right) {
  std::lock_guard lock(mutex_);
  masterLeft_ = std::isfinite(left) ? std::max(0.0f, left) : 0.0f;
  masterRight_ = std::isfinite(right) ? std::max(0.0f, right) : 0.0f;
}

namespace {

// The envelope's levels at a position (44.1 kHz samples from the start of the sound).
void envelopeAt(const std::vector<EnvelopePoint>& env, double pos44, float& left, float& right) {
  if (pos44 <= env.front().pos44) {
    left = env.front().left, right = env.front().right;
    return;
  }
  for (size_t k = 1; k < env.size(); ++k) {
    if (pos44 < env[k].pos44) {
      const EnvelopePoint &a = env[k - 1], &b = env[k];
      float t = float((pos44 - a.pos44) / double(b.pos44 - a.pos44));
      left = a.left + (b.left - a.left) * t;
      right = a.right + (b.right - a.right) * t;
      return;
    }
  }
  left = env.back().left, right = env.back().right;
}

}  // namespace

bool Mixer::render(Voice& v, float* acc, size_t frames) const {
  const PcmAudio& s = *v.sound;
  const int64_t length = v.end - v.begin;
  const int16_t* data = s.samples.data() + size_t(v.begin) * size_t(s.channels);
  const int channels = s.channels;
  const uint32_t plays = v.settings.plays;
  // Neighbouring frames come from the next or previous play when the sound repeats,
  // so a loop joins without a click; otherwise the edge frame is held.
  auto sample = [&](int64_t i, int c) -> float {
    if (i < 0) {
      i = v.playsCompleted > 0 ? (i % length + length) % length : 0;
    } else if (i >= length) {
      bool repeats = plays == 0 || v.playsCompleted + 1 < plays;
      i = repeats ? i % length : length - 1;
    }
    return float(data[size_t(i) * size_t(channels) + size_t(c)]);
  };
  const std::vector<EnvelopePoint>& envelope = v.settings.envelope;
  const double frameTo44 = 44100.0 / s.sampleRate;
  float lg = v.settings.leftGain, rg = v.settings.rightGain;
  for (size_t f = 0; f < frames; ++f) {
    int64_t i = int64_t(v.position >> 32);
    while (i >= length) {
      ++v.playsCompleted;
      if (plays != 0 && v.playsCompleted >= plays) return false;
      v.position -= uint64_t(length) << 32;
      i -= length;
    }
    const float t = float(v.position & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
    float left =
        cubicInterpolate(sample(i - 1, 0), sample(i, 0), sample(i + 1, 0), sample(i + 2, 0), t);
    float right = channels == 2 ? cubicInterpolate(sample(i - 1, 1), sample(i, 1), sample(i + 1, 1),
                                                   sample(i + 2, 1), t)
                                : left;
    if (!envelope.empty()) {
      float el, er;
      envelopeAt(envelope, (double(v.begin + i) + t) * frameTo44, el, er);
      lg = v.settings.leftGain * el;
      rg = v.settings.rightGain * er;
    }
    acc[2 * f] += left * lg;
    acc[2 * f + 1] += right * rg;
    v.position += v.step;
  }
  return true;
}

bool Mixer::renderStream(Voice& v, float* acc, size_t frames) const {
  const int channels = v.streamChannels;
  const int16_t* data = v.queue.data();
  const int64_t length = int64_t(v.queue.size() / size_t(channels));
  // Before the first frame and past the last queued one the edge frame is held.
  auto sample = [&](int64_t i, int c) -> float {
    i = std::clamp<int64_t>(i, 0, length - 1);
    return float(data[size_t(i) * size_t(channels) + size_t(c)]);
  };
  const float lg = v.settings.leftGain, rg = v.settings.rightGain;
  for (size_t f = 0; f < frames; ++f) {
    const int64_t i = int64_t(v.position >> 32);
    if (i >= length) {
      if (v.streamEnded) return false;
      break;  // ran dry: wait for more
    }
    // Interpolating needs two frames ahead; until the stream ends, wait for them.
    if (i + 2 >= length && !v.streamEnded) break;
    const float t = float(v.position & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
    float left =
        cubicInterpolate(sample(i - 1, 0), sample(i, 0), sample(i + 1, 0), sample(i + 2, 0), t);
    float right = channels == 2 ? cubicInterpolate(sample(i - 1, 1), sample(i, 1), sample(i + 1, 1),
                                                   sample(i + 2, 1), t)
                                : left;
    acc[2 * f] += left * lg;
    acc[2 * f + 1] += right * rg;
    v.position += v.step;
  }
  // Drop what has been played, keeping one frame of history for the interpolation.
  const int64_t played = std::min<int64_t>(int64_t(v.position >> 32) - 1, length);
  if (played > 8192) {
    v.queue.erase(v.queue.begin(), v.queue.begin() + long(played * channels));
    v.position -= uint64_t(played) << 32;
    v.droppedFrames += size_t(played);
  }
  return true;
}

}  // namespace orv::movie::sound
