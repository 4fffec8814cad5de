#include "player/player_control.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "runtime/file_system.h"
#include "runtime/form.h"
#include "runtime/runtime.h"

namespace orv {
namespace {

// How often the control's clock looks at the movie; the movie's own rate decides frames.
constexpr int kClockIntervalMs = 5;
constexpr std::uint32_t kEmptyBackground = 0xFFFFFF;

movie::Quality qualityFromName(const std::string& name) {
  std::string n;
  for (char c : name) n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (n == "low" || n == "autolow") return movie::Quality::Low;
  if (n == "medium") return movie::Quality::Medium;
  if (n == "best") return movie::Quality::Best;
  return movie::Quality::High;
}

// "#RRGGBB" or "RRGGBB"; -1 when empty or not a colour.
std::int32_t parseColour(const std::string& text) {
  std::string t = text;
  if (!t.empty() && t.front() == '#') t.erase(0, 1);
  if (t.size() != 6 || !std::all_of(t.begin(), t.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
      }))
    return -1;
  return static_cast<std::int32_t>(std::strtol(t.c_str(), nullptr, 16));
}

std::uint32_t opaque(std::uint32_t rgb) { return 0xFF000000u | (rgb & 0xFFFFFFu); }

}  // namespace

PlayerControl::PlayerControl(Form& owner, std::string name, TwipsRect bounds, int tabIndex,
                             const FlashSettings& settings, AudioOutputFactory audio,
                             SaveFolders saves)
    : MovieControl(owner, std::move(name), bounds, tabIndex),
      settings_(settings),
      clock_(owner, "FrameClock", kClockIntervalMs, true, Timer::Internal{}),
      makeAudio_(std::move(audio)) {
  player_.setSaveFolders(saves.orvanta, saves.flashPlayer);
  player_.setLoop(settings.Loop);
  player_.setQuality(qualityFromName(settings.Quality2));
  backgroundOverride_ = parseColour(settings.BGColor);
  clock_.onTimer = [this] { tick(); };
  if (!settings.Movie.empty()) setMovie(settings.Movie);
}

PlayerControl::~PlayerControl() {
  // The output's thread pulls from the player: detach it before either goes.
  player_.setAudioOutput(nullptr);
}

void PlayerControl::attach(Backend& backend, FormPeer& parent) {
  auto surface = backend.createSurface(*this, parent);
  surface_ = surface.get();
  peer_ = std::move(surface);
  if (surface_) {
    surface_->setBounds(bounds());
    surface_->setVisible(Visible());
    surface_->setNotice(notice_);
  }
  lastTickMs_ = backend.nowMs();
  clock_.attach(backend, parent);
  redraw();
}

void PlayerControl::detach() {
  clock_.detach();
  surface_ = nullptr;
  Control::detach();
}

void PlayerControl::boundsChanged() { redraw(); }

void PlayerControl::setMovie(const std::string& path) {
  movie_ = path;
  view_ = {};
  zoomSteps_.clear();
  movieItems_.clear();
  movieMenu_ = {};
  if (path.empty()) {
    player_.unload();
    showNotice("");
  } else if (player_.load(nativePath(path))) {
    view_ = player_.stage();
    // The sound device opens with the first movie, not with the window.
    if (!audio_ && makeAudio_) {
      audio_ = makeAudio_();
      if (audio_) player_.setAudioOutput(audio_.get());
    }
    showNotice("");
    if (settings_.Playing) player_.start();
  } else {
    showNotice("This file cannot be played.\n" + player_.error());
  }
  redraw();
}

void PlayerControl::setQuality(std::int32_t quality) {
  // 1 is high quality; 4, the View menu's other setting, is our medium quality.
  switch (quality) {
    case 0:
      player_.setQuality(movie::Quality::Low);
      break;
    case 1:
      player_.setQuality(movie::Quality::High);
      break;
    case 4:
      player_.setQuality(movie::Quality::Medium);
      break;
    case 5:
      player_.setQuality(movie::Quality::Best);
      break;
    default:
      player_.setQuality(movie::Quality::High);
      break;
  }
  redraw();
}

void PlayerControl::setLoop(bool loop) {
  settings_.Loop = loop;
  player_.setLoop(loop);
}

void PlayerControl::Play() {
  if (player_.loaded()) player_.play();
}

void PlayerControl::Stop() { player_.stop(); }

void PlayerControl::StopPlay() { player_.stop(); }

void PlayerControl::Back() {
  player_.back();
  redraw();
}

void PlayerControl::Forward() {
  player_.forward();
  redraw();
}

void PlayerControl::Rewind() {
  player_.gotoFrame(0);
  redraw();
}

void PlayerControl::GotoFrame(std::int32_t frame) {
  player_.gotoFrame(std::max(0, frame));
  redraw();
}

std::int32_t PlayerControl::CurrentFrame() const {
  return player_.loaded() ? player_.currentFrame() : 0;
}

void PlayerControl::Zoom(std::int32_t percent) {
  if (!player_.loaded()) return;
  zoomSteps_.clear();
  if (percent <= 0) {
    view_ = player_.stage();
  } else {
    // Narrow (below 100) or widen (above) the view around its centre.
    const double factor = percent / 100.0;
    const double cx = view_.x + view_.width / 2, cy = view_.y + view_.height / 2;
    const double w = std::clamp(view_.width * factor, 20.0, 1.0e8);
    const double h = std::clamp(view_.height * factor, 20.0, 1.0e8);
    view_ = {cx - w / 2, cy - h / 2, w, h};
  }
  redraw();
}

void PlayerControl::setBackgroundColor(std::int32_t color) {
  backgroundOverride_ = color < 0 ? -1 : (color & 0xFFFFFF);
  redraw();
}

void PlayerControl::setBGColor(const std::string& color) {
  backgroundOverride_ = parseColour(color);
  redraw();
}

std::pair<double, double> PlayerControl::stagePoint(int x, int y) const {
  // The view is stretched over the whole control (ExactFit): a pixel's centre maps
  // proportionally.
  const int w = std::max(1, pixelWidth()), h = std::max(1, pixelHeight());
  return {view_.x + (x + 0.5) * view_.width / w, view_.y + (y + 0.5) * view_.height / h};
}

void PlayerControl::mouseMove(int x, int y) {
  const auto [sx, sy] = stagePoint(x, y);
  if (player_.mouseMove(sx, sy)) redraw();
}

void PlayerControl::mouseDown(int x, int y) {
  const auto [sx, sy] = stagePoint(x, y);
  if (player_.mouseDown(sx, sy)) redraw();
}

void PlayerControl::mouseUp(int x, int y) {
  const auto [sx, sy] = stagePoint(x, y);
  if (player_.mouseUp(sx, sy)) redraw();
}

std::vector<PopupEntry> PlayerControl::contextMenuEntries() const {
  ControlMenuState state;
  state.menuOn = settings_.Menu;
  state.loaded = player_.loaded();
  state.frameCount = state.loaded ? player_.frameCount() : 0;
  state.playing = player_.playing();
  state.looping = player_.loop();
  state.zoomedIn = zoomedIn();
  state.quality = player_.quality();
  state.movieMenu = movieMenu_;
  return buildControlMenu(state, movieItems_);
}

void PlayerControl::openMovieMenu(int x, int y) {
  movieItems_.clear();
  movieMenu_ = {};
  if (!player_.loaded() || !settings_.Menu) return;
  const auto [sx, sy] = stagePoint(x, y);
  movieMenu_ = player_.openMovieMenu(sx, sy);
  for (size_t i = 0; i < movieMenu_.items.size(); ++i) {
    const movie::Player::MovieMenu::Item& item = movieMenu_.items[i];
    movieItems_.push_back({item.caption, item.enabled, item.visible, item.separatorBefore,
                           [this, i] { player_.selectMovieMenuItem(i); }});
  }
  redraw();  // what the movie's onSelect changed shows under the menu
}

void PlayerControl::editField(movie::Player::FieldEdit edit) {
  using Edit = movie::Player::FieldEdit;
  if (edit == Edit::Paste) {
    player_.editMenuField(edit, surface_ ? surface_->clipboardText() : std::u32string());
  } else {
    const std::u32string text = player_.editMenuField(edit);
    if (edit != Edit::SelectAll && !text.empty() && surface_) surface_->putClipboardText(text);
  }
  redraw();
}

void PlayerControl::contextMenu(int x, int y, bool fromKeyboard) {
  if (!surface_) return;
  if (fromKeyboard) {
    x = pixelWidth() / 2;
    y = pixelHeight() / 2;
  }
  openMovieMenu(x, y);
  const std::vector<PopupEntry> menu = contextMenuEntries();
  const int chosen = surface_->showPopupMenu(menu, x, y);
  // Only what the menu offered when it was shown can be carried out.
  if (chosen != 0 && findPopupEntry(menu, chosen)) runMenuCommand(chosen, x, y);
}

void PlayerControl::runMenuCommand(int id, int x, int y) {
  int movieIndex = -1;
  const ControlCommand command = controlCommandOf(id, &movieIndex);
  if (command == ControlCommand::About) {
    if (onAbout) owner().runtime().dispatch(onAbout);
    return;
  }
  if (!player_.loaded()) return;
  switch (command) {
    case ControlCommand::ZoomIn:
      zoomInAt(x, y);
      break;
    case ControlCommand::ZoomOut:
      zoomOut();
      break;
    case ControlCommand::ShowAll:
      zoomSteps_.clear();
      view_ = player_.stage();
      redraw();
      break;
    case ControlCommand::QualityLow:
      player_.setQuality(movie::Quality::Low);
      redraw();
      break;
    case ControlCommand::QualityMedium:
      player_.setQuality(movie::Quality::Medium);
      redraw();
      break;
    case ControlCommand::QualityHigh:
      player_.setQuality(movie::Quality::High);
      redraw();
      break;
    case ControlCommand::Play:
      if (player_.playing())
        player_.stop();
      else
        player_.play();
      break;
    case ControlCommand::Loop:
      setLoop(!player_.loop());
      break;
    case ControlCommand::Rewind:
      player_.rewind();
      redraw();
      break;
    case ControlCommand::Forward:
      Forward();
      break;
    case ControlCommand::Back:
      Back();
      break;
    case ControlCommand::Cut:
      editField(movie::Player::FieldEdit::Cut);
      break;
    case ControlCommand::Copy:
      editField(movie::Player::FieldEdit::Copy);
      break;
    case ControlCommand::Paste:
      editField(movie::Player::FieldEdit::Paste);
      break;
    case ControlCommand::SelectAll:
      editField(movie::Player::FieldEdit::SelectAll);
      break;
    case ControlCommand::FirstMovieItem:
      if (movieIndex >= 0 && static_cast<size_t>(movieIndex) < movieItems_.size()) {
        // The item's handler may change the list: run a copy.
        const std::function<void()> onSelect =
            movieItems_[static_cast<size_t>(movieIndex)].onSelect;
        if (onSelect) onSelect();
        redraw();
      }
      break;
    default:
      break;
  }
}

bool PlayerControl::zoomedIn() const {
  if (!player_.loaded()) return false;
  const movie::ViewRect stage = player_.stage();
  return view_.width < stage.width - 0.5 || view_.height < stage.height - 0.5;
}

void PlayerControl::zoomInAt(int x, int y) {
  // Twice the size, the point under the pointer staying where it is.
  const auto [px, py] = stagePoint(x, y);
  const double w = std::max(20.0, view_.width / 2), h = std::max(20.0, view_.height / 2);
  const double fx = view_.width > 0 ? (px - view_.x) / view_.width : 0.5;
  const double fy = view_.height > 0 ? (py - view_.y) / view_.height : 0.5;
  zoomSteps_.push_back(view_);
  view_ = {px - fx * w, py - fy * h, w, h};
  redraw();
}

void PlayerControl::zoomOut() {
  if (!zoomSteps_.empty()) {
    view_ = zoomSteps_.back();
    zoomSteps_.pop_back();
  } else {
    // Enlarged some other way: half the size about the middle, never past the whole movie.
    const movie::ViewRect stage = player_.stage();
    const double w = view_.width * 2, h = view_.height * 2;
    if (w >= stage.width || h >= stage.height) {
      view_ = stage;
    } else {
      const double cx = view_.x + view_.width / 2, cy = view_.y + view_.height / 2;
      view_ = {cx - w / 2, cy - h / 2, w, h};
    }
  }
  redraw();
}

void PlayerControl::keyPress(int code) {
  if (code > 0 && player_.keyPress(code)) redraw();
}

void PlayerControl::tick() {
  const double now = owner().runtime().backend().nowMs();
  const double elapsed = now - lastTickMs_;
  lastTickMs_ = now;
  if (player_.loaded() && player_.advance(std::max(0.0, elapsed))) redraw();
}

void PlayerControl::showNotice(const std::string& notice) {
  notice_ = notice;
  if (surface_) surface_->setNotice(notice);
}

int PlayerControl::pixelWidth() const {
  const ScreenFacts s = owner().runtime().screen();
  return std::max(0, static_cast<int>(Width() / s.twipsPerPixelX));
}

int PlayerControl::pixelHeight() const {
  const ScreenFacts s = owner().runtime().screen();
  return std::max(0, static_cast<int>(Height() / s.twipsPerPixelY));
}

void PlayerControl::drawFrame(movie::Pixmap& target) const {
  const int w = pixelWidth(), h = pixelHeight();
  target.width = w;
  target.height = h;
  const std::uint32_t background =
      backgroundOverride_ >= 0
          ? opaque(static_cast<std::uint32_t>(backgroundOverride_))
          : opaque(player_.loaded() ? player_.backgroundColor() : kEmptyBackground);
  target.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), background);
  if (player_.loaded() && w > 0 && h > 0 && view_.width > 0 && view_.height > 0)
    player_.render(target, view_);
}

void PlayerControl::redraw() {
  if (!surface_) return;
  drawFrame(frame_);
  surface_->present(frame_.pixels.data(), frame_.width, frame_.height);
}

std::unique_ptr<MovieControl> makePlayerControl(Form& owner, const std::string& name,
                                                TwipsRect bounds, int tabIndex,
                                                const FlashSettings& settings) {
  return std::make_unique<PlayerControl>(owner, name, bounds, tabIndex, settings);
}

MovieControlFactory playerControlsWithSound(AudioOutputFactory audio, SaveFolders saves) {
  return [audio, saves](Form& owner, const std::string& name, TwipsRect bounds, int tabIndex,
                        const FlashSettings& settings) -> std::unique_ptr<MovieControl> {
    return std::make_unique<PlayerControl>(owner, name, bounds, tabIndex, settings, audio, saves);
  };
}

}  // namespace orv
