#pragma once
// The about box's music player. It behaves as the media player control it stands in
// for: assigning a file starts it at once (AutoStart), it plays PlayCount times in a
// row (20 unless changed), Volume is in hundredths of a decibel (0 loudest, -10000
// silent), Balance likewise from -10000 (left only) to 10000 (right only), Rate 1 is
// normal speed, and destroying the player silences it at once.
#include <memory>
#include <stdexcept>
#include <string>

#include "movie/sound/audio_output.h"
#include "movie/sound/mixer.h"
#include "movie/sound/pcm_audio.h"

namespace orv::movie::sound {

// A file that is missing, unreadable or not decodable.
class MusicError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MusicPlayer {
 public:
  // Plays through `output`, which must outlive the player.
  explicit MusicPlayer(AudioOutput& output);
  ~MusicPlayer();
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // Loads the MP3 file at `path` (a native path) and, with AutoStart on, plays it.
  // Throws MusicError when the file cannot be read or decoded; nothing plays then.
  void setFileName(const std::string& path);
  const std::string& fileName() const { return fileName_; }

  void play();  // from the start, PlayCount times
  void stop();
  bool isPlaying() const;
  // Whole plays finished since the last play() (0 when stopped).
  int playsCompleted() const;

  void setAutoStart(bool on) { autoStart_ = on; }
  bool autoStart() const { return autoStart_; }
  void setPlayCount(int count);  // 0 = repeat until stopped
  int playCount() const { return playCount_; }
  void setVolume(long hundredthsDb);  // clamped to -10000..0
  long volume() const { return volume_; }
  void setBalance(long hundredthsDb);  // clamped to -10000..10000
  long balance() const { return balance_; }
  void setRate(double rate);  // speed factor, clamped to 1/16..16
  double rate() const { return rate_; }
  void setMute(bool on);
  bool mute() const { return mute_; }

  // Length of the loaded file in seconds (0 when none).
  double duration() const;

 private:
  void applyGains();

  AudioOutput& output_;
  Mixer mixer_;
  std::shared_ptr<const PcmAudio> sound_;
  VoiceId voice_ = 0;
  std::string fileName_;
  bool autoStart_ = true;
  int playCount_ = 20;
  long volume_ = 0;
  long balance_ = 0;
  double rate_ = 1.0;
  bool mute_ = false;
  bool outputStarted_ = false;
};

// Gain for a level in hundredths of a decibel (0 -> 1, -600 -> about 0.5, -10000 -> 0).
float gainFromHundredthsDb(long level);

}  // namespace orv::movie::sound
