#pragma once
// The about box's music on this machine: the engine's MusicPlayer on a waveOut output.
// Destroying it silences the music at once (the player stops before the output closes).
#include "about/music_player.h"
#include "win32/audio/waveout_output.h"

namespace orv::win32 {

class SystemMusic {
 public:
  SystemMusic() : player_(output_) {}
  movie::sound::MusicPlayer& player() { return player_; }
  const movie::sound::MusicPlayer& player() const { return player_; }
  // Whether a sound device was found when the music started.
  bool hasDevice() const { return output_.hasDevice(); }

 private:
  WaveOutOutput output_;  // declared first: it outlives the player
  movie::sound::MusicPlayer player_;
};

}  // namespace orv::win32
