// What flash.media asks of the player: the sound characters linked to classes, played
// through the movie's mixer (the first machine's script sounds use the same voices).
#include <algorithm>
#include <cmath>

#include "movie/avm2_host/display_host.h"
#include "movie/sound/movie_sound.h"

namespace orv::movie {

namespace {

// Scripts may ask for any gain; the mixer gets a finite, bounded one.
float gain(double g) { return std::isfinite(g) ? float(std::clamp(g, -100.0, 100.0)) : 0.0f; }

}  // namespace

const swf::SoundDef* DisplayHost::linkedSoundDef(std::string_view className) const {
  if (!stage_) return nullptr;
  for (const auto& [id, linked] : links_)
    if (linked == className)
      if (const auto* def = stage_->movie().get<swf::SoundDef>(id)) return def;
  return nullptr;
}

std::optional<avm2::Host::SoundInfo> DisplayHost::linkedSound(std::string_view className) {
  const swf::SoundDef* def = linkedSoundDef(className);
  if (!def) return std::nullopt;
  SoundInfo info;
  info.bytes = uint32_t(std::min<size_t>(def->data.size(), UINT32_MAX));
  info.stereo = def->format.stereo;
  if (sound) {
    if (auto ms = sound->durationMs({&stage_->movie(), def->id, 0})) info.lengthMs = *ms;
  } else if (def->format.rate > 0) {
    info.lengthMs = 1000.0 * def->sampleCount / def->format.rate;
  }
  return info;
}

uint32_t DisplayHost::startLinkedSound(std::string_view className, double offsetMs, int plays,
                                       const void* owner, double left, double right) {
  const swf::SoundDef* def = linkedSoundDef(className);
  if (!def || !sound) return 0;
  const double offset = std::isfinite(offsetMs) && offsetMs > 0 ? offsetMs / 1000.0 : 0.0;
  return sound->startScriptSound({&stage_->movie(), def->id, 0}, offset,
                                 uint32_t(std::clamp(plays, 1, 0xFFFF)), owner, gain(left),
                                 gain(right));
}

int DisplayHost::addLoadedSound(const std::vector<uint8_t>& mp3, SoundInfo& info) {
  if (!sound) return 0;
  const int loaded = sound->addLoadedSound(mp3);
  if (!loaded) return 0;
  info.bytes = uint32_t(std::min<size_t>(mp3.size(), UINT32_MAX));
  info.stereo = true;  // the mixer takes an MP3's channels as they are
  if (auto ms = sound->durationMs({nullptr, 0, loaded})) info.lengthMs = *ms;
  return loaded;
}

uint32_t DisplayHost::startLoadedSound(int loaded, double offsetMs, int plays, const void* owner,
                                       double left, double right) {
  if (!sound || loaded <= 0) return 0;
  const double offset = std::isfinite(offsetMs) && offsetMs > 0 ? offsetMs / 1000.0 : 0.0;
  return sound->startScriptSound({nullptr, 0, loaded}, offset,
                                 uint32_t(std::clamp(plays, 1, 0xFFFF)), owner, gain(left),
                                 gain(right));
}

void DisplayHost::stopSounds(const void* owner) {
  if (!sound) return;
  if (owner)
    sound->stopScriptSounds(owner, {});
  else
    sound->stopAll();
}

void DisplayHost::setSoundGains(const void* owner, double left, double right) {
  if (!sound) return;
  if (owner)
    sound->setScriptGains(owner, gain(left), gain(right));
  else
    sound->setMasterGains(gain(left), gain(right));
}

std::optional<double> DisplayHost::soundPositionMs(uint32_t voice) {
  if (!sound || !voice) return std::nullopt;
  return sound->positionMs(voice);
}

}  // namespace orv::movie
