#include "win32/music.h"

#include "runtime/errors.h"

#if __has_include("win32/audio/waveout_output.h")
#include "about/music_player.h"
#include "win32/audio/waveout_output.h"
#define ORV_HAS_WIN32_AUDIO 1
#endif

namespace orv::win32 {

#ifdef ORV_HAS_WIN32_AUDIO
namespace {

// The engine's music player on a waveOut output; destroying it silences it at once.
class WaveOutMusic : public MusicPlayback {
 public:
  WaveOutMusic(const std::string& path, const MusicSettings& settings) : player_(output_) {
    player_.setAutoStart(settings.AutoStart);
    player_.setPlayCount(settings.PlayCount);
    player_.setVolume(settings.Volume);
    player_.setBalance(settings.Balance);
    player_.setRate(settings.Rate);
    player_.setMute(settings.Mute);
    try {
      player_.setFileName(path);
    } catch (const movie::sound::MusicError&) {
      raiseError(err::FileNotFound);
    }
  }
  void restart() override { player_.play(); }
  bool playing() const override { return player_.isPlaying(); }

 private:
  WaveOutOutput output_;  // declared first: it outlives the player that feeds it
  movie::sound::MusicPlayer player_;
};

}  // namespace

std::unique_ptr<MusicPlayback> makeMusic(const std::string& path, const MusicSettings& settings) {
  return std::make_unique<WaveOutMusic>(path, settings);
}
#else
// Without a sound output in the build the player object cannot be created: the about
// box opens silent, as it does whenever its music fails.
std::unique_ptr<MusicPlayback> makeMusic(const std::string&, const MusicSettings&) {
  raiseError(err::CantCreateObject);
}
#endif

}  // namespace orv::win32
