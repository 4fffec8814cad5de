#include "about/media_player.h"

#include "app/program.h"
#include "runtime/errors.h"

namespace orv {

MediaPlayer::MediaPlayer(Form& owner, Program& program, std::string name, TwipsRect bounds,
                         int tabIndex, MusicSettings settings)
    : Control(owner, ControlKind::Invisible, std::move(name), bounds, tabIndex),
      program_(program),
      settings_(settings) {
  setVisible(false);
}

MediaPlayer::~MediaPlayer() = default;

void MediaPlayer::setFileName(const std::string& path) {
  playback_.reset();
  fileName_ = path;
  if (path.empty() || !settings_.AutoStart) return;
  if (!program_.music()) raiseError(err::CantCreateObject);
  playback_ = program_.music()(path, settings_);
}

void MediaPlayer::Play() {
  if (playback_ && playback_->playing()) return;
  if (playback_) {
    playback_->restart();
    return;
  }
  if (fileName_.empty()) raiseError(err::InvalidProcedureCall);
  if (!program_.music()) raiseError(err::CantCreateObject);
  playback_ = program_.music()(fileName_, settings_);
}

void MediaPlayer::detach() {
  playback_.reset();
  Control::detach();
}

bool MediaPlayer::playing() const { return playback_ && playback_->playing(); }

}  // namespace orv
