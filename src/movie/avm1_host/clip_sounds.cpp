// Sounds that scripts play: Sound.attachSound/start/stop/setVolume reach the movie's mixer.
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/sound/id3_tags.h"
#include "movie/sound/movie_sound.h"

namespace orv::movie::avm1 {

namespace {

// The movie's sound a script names: exported as `linkage` by the movie its clip belongs
// to (or by the first movie), or loaded from a file.
std::optional<sound::MovieSound::ScriptSound> soundOf(Stage& stage,
                                                      const ScriptHost::SoundSource& source) {
  sound::MovieSound::ScriptSound found;
  if (source.loaded) {
    found.loaded = source.loaded;
    return found;
  }
  if (source.linkage.empty()) return std::nullopt;
  const swf::Movie* movie = nullptr;
  if (auto* bridge = dynamic_cast<ClipBridge*>(source.clip))
    if (DisplayObject* object = bridge->object()) movie = object->movie;
  const swf::Character* ch = stage.exported(movie, source.linkage);
  const auto* def = ch ? std::get_if<swf::SoundDef>(ch) : nullptr;
  if (!def || !movie) return std::nullopt;
  found.movie = movie;
  found.id = def->id;
  return found;
}

float gain(double g) { return std::isfinite(g) ? float(std::clamp(g, 0.0, 100.0)) : 0.0f; }

}  // namespace

void TimelineBridge::stopSounds() {
  if (sound) sound->stopAll();
}

int TimelineBridge::startSound(const SoundSource& source, const void* owner, double offsetSeconds,
                               int loops, double left, double right) {
  auto found = soundOf(stage_, source);
  if (!sound || !found) return 0;
  return int(sound->startScriptSound(*found, offsetSeconds, uint32_t(std::max(1, loops)), owner,
                                     gain(left), gain(right)));
}

void TimelineBridge::stopScriptSounds(const SoundSource& source, const void* owner) {
  if (!sound) return;
  if (source.linkage.empty() && !source.loaded) {
    if (owner)
      sound->stopScriptSounds(owner, {});
    else
      sound->stopAll();
    return;
  }
  if (auto found = soundOf(stage_, source)) sound->stopScriptSounds(owner, *found);
}

void TimelineBridge::setSoundGains(const void* owner, double left, double right) {
  if (!sound) return;
  if (owner)
    sound->setScriptGains(owner, gain(left), gain(right));
  else
    sound->setMasterGains(gain(left), gain(right));
}

std::optional<double> TimelineBridge::soundPositionMs(int handle) {
  if (!sound || handle <= 0) return std::nullopt;
  return sound->positionMs(sound::VoiceId(handle));
}

std::optional<double> TimelineBridge::soundDurationMs(const SoundSource& source) {
  auto found = soundOf(stage_, source);
  if (!sound || !found) return std::nullopt;
  return sound->durationMs(*found);
}

int TimelineBridge::addLoadedSound(const std::vector<uint8_t>& bytes) {
  return sound ? sound->addLoadedSound(bytes) : 0;
}

std::vector<std::pair<std::string, std::string>> TimelineBridge::soundFileTags(
    const std::vector<uint8_t>& bytes) {
  std::vector<std::pair<std::string, std::string>> tags;
  for (sound::Id3Frame& f : sound::readId3Tags(bytes)) tags.emplace_back(f.id, std::move(f.text));
  return tags;
}

}  // namespace orv::movie::avm1
