#pragma once

#include <memory>
#include <string>

#include "runtime/controls.h"

namespace orv {

// How the about box's music is played.
struct MusicSettings {
  bool AutoStart = true;
  int PlayCount = 20;
  long Volume = 0;  // hundredths of a decibel: 0 is the loudest, -10000 silent
  long Balance = 0;
  double Rate = 1.0;
  bool Mute = false;
};

// Music that is playing; destroying it stops the sound at once.
class MusicPlayback {
 public:
  virtual ~MusicPlayback() = default;
  // Starts again from the beginning.
  virtual void restart() = 0;
  virtual bool playing() const = 0;
};

class Program;

// The invisible music player of the about box. Assigning FileName starts playback when
// AutoStart is on; Play starts it again; destroying the player ends the music.
class MediaPlayer : public Control {
 public:
  MediaPlayer(Form& owner, Program& program, std::string name, TwipsRect bounds, int tabIndex,
              MusicSettings settings);
  ~MediaPlayer() override;

  const MusicSettings& settings() const { return settings_; }
  const std::string& FileName() const { return fileName_; }
  // Raises a run-time error when the file cannot be played.
  void setFileName(const std::string& path);
  void Play();
  bool playing() const;
  // The window goes away with its player: the music ends.
  void detach() override;

 private:
  Program& program_;
  MusicSettings settings_;
  std::string fileName_;
  std::unique_ptr<MusicPlayback> playback_;
};

}  // namespace orv
