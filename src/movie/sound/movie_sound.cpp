#include "movie/sound/movie_sound.h"

#include <algorithm>
#include <cmath>

#include "movie/timeline/display_object.h"
#include "movie/sound/mp3_stream.h"
#include "movie/sound/swf_sound.h"

namespace orv::movie::sound {

MovieSound::MovieSound(int outputRate) : mixer_(std::make_unique<Mixer>(outputRate)) {}

MovieSound::~MovieSound() {
  // The output's thread must be done with the mixer before it goes.
  if (output_) output_->stop();
}

void MovieSound::setOutput(AudioOutput* output) {
  if (output_) output_->stop();
  output_ = output;
  if (!output_) return;
  if (output_->sampleRate() > 0 && output_->sampleRate() != mixer_->outputRate()) {
    streams_.clear();
    eventVoices_.clear();
    scriptVoices_.clear();
    mixer_ = std::make_unique<Mixer>(output_->sampleRate());
  }
  output_->start(*mixer_);
}

void MovieSound::onTimelineEvent(Stage& stage, const TimelineEvent& event) {
  if (event.kind == TimelineEvent::Kind::Sound && event.sound) {
    std::shared_ptr<DisplayObject> obj = event.object.lock();
    startSound(obj ? *obj->movie : stage.movie(), *event.sound);
  } else if (event.kind == TimelineEvent::Kind::StreamBlock && event.streamBlock) {
    std::shared_ptr<DisplayObject> obj = event.object.lock();
    if (MovieClip* clip = obj ? obj->asClip() : nullptr) streamBlock(*clip, event.frame);
  }
}

std::shared_ptr<const PcmAudio> MovieSound::decoded(const swf::Movie& movie, swf::CharacterId id) {
  if (cachedFor_ != &movie) {
    cache_.clear();
    cachedSamples_ = 0;
    cachedFor_ = &movie;
  }
  auto it = cache_.find(id);
  if (it != cache_.end()) return it->second;
  std::shared_ptr<const PcmAudio> result;
  auto def = movie.dictionary.find(id);
  if (def != movie.dictionary.end()) {
    if (const auto* sound = std::get_if<swf::SoundDef>(&def->second)) {
      DecodeResult r = decodeSound(*sound);
      if (r.ok() && r.audio.frames() > 0 && r.audio.sampleRate > 0 &&
          cachedSamples_ + r.audio.samples.size() <= kMaxCachedSamples) {
        cachedSamples_ += r.audio.samples.size();
        result = std::make_shared<PcmAudio>(std::move(r.audio));
      }
    }
  }
  cache_[id] = result;
  return result;
}

void MovieSound::pruneVoices() {
  for (auto it = eventVoices_.begin(); it != eventVoices_.end();) {
    auto& ids = it->second;
    std::erase_if(ids, [&](VoiceId v) { return !mixer_->isPlaying(v); });
    it = ids.empty() ? eventVoices_.erase(it) : std::next(it);
  }
}

void MovieSound::startSound(const swf::Movie& movie, const swf::StartSound& start) {
  swf::CharacterId id = start.soundId;
  if (id == 0 && !start.className.empty()) {
    auto exported = movie.exports.find(start.className);
    if (exported == movie.exports.end()) return;
    id = exported->second;
  }
  pruneVoices();
  const swf::SoundInfo& info = start.info;
  if (info.syncStop) {
    auto it = eventVoices_.find(id);
    if (it != eventVoices_.end()) {
      for (VoiceId v : it->second) mixer_->stop(v);
      eventVoices_.erase(it);
    }
    return;
  }
  if (info.syncNoMultiple && eventVoices_.count(id)) return;
  size_t playing = 0;
  for (const auto& [sid, ids] : eventVoices_) playing += ids.size();
  if (playing >= kMaxEventVoices) return;
  std::shared_ptr<const PcmAudio> pcm = decoded(movie, id);
  if (!pcm) return;
  eventVoices_[id].push_back(mixer_->play(pcm, voiceSettingsFor(info)));
}

void MovieSound::dropStream(Stream& s) {
  if (s.voice) mixer_->stop(s.voice);
  s.voice = 0;
  s.voiceRate = s.voiceChannels = 0;
  s.decoder.reset();
  s.shownFrame = s.queuedUpTo = -1;
  s.queuedAhead.clear();
}

int MovieSound::framesAhead(const swf::SoundStreamHead& head) const {
  // A block holds about one frame's sound; a stream with no block size is taken as 12 fps.
  const double rate = head.stream.rate > 0 ? double(head.stream.rate) : 44100.0;
  double frameMs = head.samplesPerBlock > 0 ? 1000.0 * head.samplesPerBlock / rate : 1000.0 / 12;
  frameMs = std::max(frameMs, 1.0);
  const double latency = output_ ? std::max(0.0, output_->latencyMs()) : 0.0;
  // The output's lead, and one frame more for a timer that fires late.
  return std::clamp(int(std::ceil(latency / frameMs)) + 1, 1, kMaxFramesAhead);
}

void MovieSound::streamBlock(MovieClip& clip, int frame) {
  const auto& head = clip.timeline().streamHead;
  const auto& frames = clip.timeline().frames;
  if (!head || frame < 0 || size_t(frame) >= frames.size()) return;
  // Streams of clips that are gone are silenced.
  std::erase_if(streams_, [&](Stream& s) {
    if (!s.clip.expired()) return false;
    dropStream(s);
    return true;
  });
  Stream* stream = nullptr;
  for (auto& s : streams_)
    if (s.key == &clip) stream = &s;
  if (!stream) {
    if (streams_.size() >= kMaxStreams) return;
    streams_.push_back(Stream{});
    stream = &streams_.back();
    stream->clip = clip.weak_from_this();
    stream->key = &clip;
  }
  // Going on means a later frame whose block is queued or is the next to queue.
  const bool goesOn = frame > stream->shownFrame && frame <= stream->queuedUpTo + 1;
  if (stream->decoder && !goesOn) dropStream(*stream);
  if (!stream->decoder) {
    stream->decoder = std::make_unique<StreamSoundDecoder>(*head);
    stream->queuedUpTo = frame - 1;
  }
  stream->shownFrame = frame;
  std::erase_if(stream->queuedAhead, [&](const auto& q) { return q.first <= frame; });
  const int last = std::min(frame + framesAhead(*head), int(frames.size()) - 1);
  for (int f = stream->queuedUpTo + 1; f <= last; ++f) {
    stream->queuedUpTo = f;
    if (const auto& block = frames[size_t(f)].streamBlock) queueBlock(*stream, f, *block);
  }
}

void MovieSound::queueBlock(Stream& stream, int frame, std::span<const uint8_t> block) {
  std::vector<int16_t> pcm;
  if (!stream.decoder->decodeBlock(block, pcm) || pcm.empty()) return;
  int rate = stream.decoder->sampleRate(), channels = stream.decoder->channels();
  if (rate <= 0 || channels < 1 || channels > 2) return;
  if (!stream.voice || rate != stream.voiceRate || channels != stream.voiceChannels) {
    if (stream.voice) mixer_->endStream(stream.voice);
    stream.voice = mixer_->openStream(rate, channels);
    stream.voiceRate = rate;
    stream.voiceChannels = channels;
  }
  mixer_->queueStream(stream.voice, pcm);
  if (frame > stream.shownFrame)
    stream.queuedAhead.emplace_back(frame, pcm.size() / size_t(channels));
}

void MovieSound::stopStreams() {
  for (auto& s : streams_) dropStream(s);
  streams_.clear();
}

bool MovieSound::streaming() const {
  for (const auto& s : streams_)
    if (s.voice && mixer_->isPlaying(s.voice)) return true;
  return false;
}

void MovieSound::alignStreams(double leadMs) {
  for (const auto& s : streams_) {
    if (!s.voice || s.voiceRate <= 0) continue;
    size_t ahead = 0;
    for (const auto& q : s.queuedAhead) ahead += q.second;
    mixer_->trimStream(s.voice, ahead + size_t(std::max(0.0, leadMs) * s.voiceRate / 1000.0));
  }
}

void MovieSound::stopAll() {
  stopStreams();
  mixer_->stopAll();
  eventVoices_.clear();
  scriptVoices_.clear();
}

std::shared_ptr<const PcmAudio> MovieSound::pcmOf(const ScriptSound& sound) {
  if (sound.loaded) {
    auto it = loaded_.find(sound.loaded);
    return it == loaded_.end() ? nullptr : it->second;
  }
  return sound.movie && sound.id ? decoded(*sound.movie, sound.id) : nullptr;
}

VoiceId MovieSound::startScriptSound(const ScriptSound& sound, double offsetSeconds, uint32_t plays,
                                     const void* owner, float left, float right) {
  std::erase_if(scriptVoices_, [&](const ScriptVoice& v) { return !mixer_->isPlaying(v.voice); });
  if (scriptVoices_.size() >= kMaxEventVoices) return 0;
  std::shared_ptr<const PcmAudio> pcm = pcmOf(sound);
  if (!pcm) return 0;
  VoiceSettings settings;
  settings.leftGain = left;
  settings.rightGain = right;
  // A script's count of loops is the number of plays.
  settings.plays = std::clamp<uint32_t>(plays, 1, 0xFFFF);
  const double length = double(pcm->frames()) / pcm->sampleRate;
  if (!std::isfinite(offsetSeconds) || offsetSeconds < 0) offsetSeconds = 0;
  if (offsetSeconds >= length) return 0;
  settings.inPoint44 = uint32_t(offsetSeconds * 44100.0);
  ScriptVoice v;
  v.voice = mixer_->play(pcm, settings);
  v.owner = owner;
  v.sound = sound;
  v.sampleRate = pcm->sampleRate;
  scriptVoices_.push_back(v);
  return v.voice;
}

void MovieSound::stopScriptSounds(const void* owner, const ScriptSound& sound) {
  const bool anySound = !sound.loaded && !sound.id;
  std::erase_if(scriptVoices_, [&](const ScriptVoice& v) {
    if (owner && v.owner != owner) return false;
    if (!anySound && (v.sound.loaded != sound.loaded || v.sound.id != sound.id ||
                      (!sound.loaded && v.sound.movie != sound.movie)))
      return false;
    mixer_->stop(v.voice);
    return true;
  });
}

void MovieSound::setScriptGains(const void* owner, float left, float right) {
  for (const ScriptVoice& v : scriptVoices_)
    if (v.owner == owner) mixer_->setGains(v.voice, left, right);
}

std::optional<double> MovieSound::durationMs(const ScriptSound& sound) {
  std::shared_ptr<const PcmAudio> pcm = pcmOf(sound);
  // A library sound is as long as its definition says (an MP3's last frame may hold less).
  if (pcm && !sound.loaded && sound.movie) {
    auto def = sound.movie->dictionary.find(sound.id);
    const auto* s = def != sound.movie->dictionary.end() ? std::get_if<swf::SoundDef>(&def->second)
                                                         : nullptr;
    if (s && s->sampleCount > 0 && s->format.rate > 0)
      return 1000.0 * s->sampleCount / (s->format.rate == 5512 ? 5512.5 : s->format.rate);
  }
  if (!pcm) return std::nullopt;
  return 1000.0 * double(pcm->frames()) / pcm->sampleRate;
}

int MovieSound::addLoadedSound(std::span<const uint8_t> mp3) {
  if (loaded_.size() >= kMaxLoadedSounds) return 0;
  DecodeResult r = decodeMp3(mp3, true);
  if (!r.ok() || r.audio.frames() == 0 || r.audio.sampleRate <= 0) return 0;
  if (loadedSamples_ + r.audio.samples.size() > kMaxCachedSamples) return 0;
  loadedSamples_ += r.audio.samples.size();
  const int id = nextLoaded_++;
  loaded_[id] = std::make_shared<PcmAudio>(std::move(r.audio));
  return id;
}

std::optional<double> MovieSound::positionMs(VoiceId voice) const {
  for (const ScriptVoice& v : scriptVoices_) {
    if (v.voice != voice) continue;
    std::optional<VoiceState> state = mixer_->state(voice);
    if (!state || v.sampleRate <= 0) return std::nullopt;
    return 1000.0 * double(state->frame) / v.sampleRate;
  }
  return std::nullopt;
}

void MovieSound::reset() {
  stopStreams();
  mixer_->stopAll();
  eventVoices_.clear();
  scriptVoices_.clear();
  loaded_.clear();
  loadedSamples_ = 0;
  mixer_->setMasterGains(1.0f, 1.0f);
  cache_.clear();
  cachedSamples_ = 0;
  cachedFor_ = nullptr;
}

}  // namespace orv::movie::sound
