#pragma once

#include <memory>
#include <utility>
#include <string>

#include "movie/player.h"
#include "movie/sound/audio_output.h"
#include "player/control_menu.h"
#include "player/movie_control.h"
#include "runtime/timer.h"

namespace orv {

// The movie control of the windows: our SWF engine behind the operations the windows
// call, drawing into a surface of its window at the movie's frame rate.
// Opens the machine's sound output for a control; nullptr plays the movie silent.
using AudioOutputFactory = std::function<std::unique_ptr<movie::sound::AudioOutput>()>;

// Where a control keeps its movies' saves (movie::Player::setSaveFolders): Orvanta's own
// folder ("" keeps them in memory while the program runs) and a Flash player's, read for
// saves Orvanta has none of yet.
struct SaveFolders {
  std::string orvanta;
  std::string flashPlayer;
};

class PlayerControl : public MovieControl {
 public:
  PlayerControl(Form& owner, std::string name, TwipsRect bounds, int tabIndex,
                const FlashSettings& settings, AudioOutputFactory audio = nullptr,
                SaveFolders saves = {});
  ~PlayerControl() override;

  std::string Movie() const override { return movie_; }
  void setMovie(const std::string& path) override;
  void setQuality(std::int32_t quality) override;
  void setLoop(bool loop) override;
  void Play() override;
  void Stop() override;
  void Back() override;
  void Forward() override;
  void Rewind() override;
  void Zoom(std::int32_t percent) override;
  void setBackgroundColor(std::int32_t color) override;
  void StopPlay() override;
  void GotoFrame(std::int32_t frame) override;
  std::int32_t CurrentFrame() const override;
  void setBGColor(const std::string& color) override;
  void mouseMove(int x, int y) override;
  void mouseDown(int x, int y) override;
  void mouseUp(int x, int y) override;
  void mouseWheel(int x, int y, int lines) override {
    const auto [sx, sy] = stagePoint(x, y);
    if (player_.mouseWheel(sx, sy, lines)) redraw();
  }
  void keyPress(int code) override;
  void keyDown(int keyCode) override {
    if (player_.keyDown(keyCode)) redraw();  // Tab moves the focus and its rectangle
  }
  void keyUp(int keyCode) override { player_.keyUp(keyCode); }
  void middleButton(int x, int y, bool down) override {
    const auto [sx, sy] = stagePoint(x, y);
    if (player_.otherButton(sx, sy, false, down)) redraw();
  }
  void focusChanged(bool gained) override { player_.windowFocus(gained); }
  std::u32string copyText(bool cut) override {
    std::u32string text = player_.selectedText(cut);
    if (cut && !text.empty()) redraw();
    return text;
  }
  void pasteText(const std::u32string& text) override {
    if (player_.pasteText(text)) redraw();
  }
  bool handCursor() const override { return player_.handCursor(); }
  bool pointerHidden() const override { return player_.pointerHidden(); }
  void contextMenu(int x, int y, bool fromKeyboard) override;
  // The control's menu as it would show now.
  std::vector<PopupEntry> contextMenuEntries() const;
  // Carries out an entry of that menu, as chosen with the pointer at pixel (x, y).
  void runMenuCommand(int id, int x, int y);
  // What the movie made of the menu last opened (its items, the entries it leaves on,
  // the text field under the pointer); a newly loaded movie has made nothing yet.
  const std::vector<MovieMenuItem>& movieMenuItems() const { return movieItems_; }
  const movie::Player::MovieMenu& movieMenu() const { return movieMenu_; }
  // A pixel of the control as a point of the movie's stage (twips), through the view
  // the control draws with.
  std::pair<double, double> stagePoint(int x, int y) const;

  void attach(Backend& backend, FormPeer& parent) override;
  void detach() override;

  // What a viewer of the control can tell.
  const movie::Player& player() const { return player_; }
  const movie::ViewRect& view() const { return view_; }
  const std::string& notice() const { return notice_; }
  bool playing() const { return player_.playing(); }
  movie::Quality quality() const { return player_.quality(); }
  // Draws the current frame into `target` at the control's pixel size.
  void drawFrame(movie::Pixmap& target) const;

 protected:
  void boundsChanged() override;

 private:
  void tick();
  void redraw();
  void showNotice(const std::string& notice);
  void zoomInAt(int x, int y);
  void zoomOut();
  bool zoomedIn() const;
  int pixelWidth() const;
  int pixelHeight() const;

  movie::Player player_;
  FlashSettings settings_;
  std::string movie_;
  std::string notice_;
  movie::ViewRect view_;
  // The views before each Zoom In of the control's menu, the latest last; Zoom Out goes
  // back one. Any other change of view forgets them.
  std::vector<movie::ViewRect> zoomSteps_;
  std::vector<MovieMenuItem> movieItems_;
  movie::Player::MovieMenu movieMenu_;
  // Asks the movie for its menu at pixel (x, y): its onSelect handlers run.
  void openMovieMenu(int x, int y);
  void editField(movie::Player::FieldEdit edit);
  std::int32_t backgroundOverride_ = -1;  // 0xRRGGBB, or -1 for the movie's own
  Timer clock_;
  double lastTickMs_ = 0;
  SurfacePeer* surface_ = nullptr;
  movie::Pixmap frame_;
  AudioOutputFactory makeAudio_;
  std::unique_ptr<movie::sound::AudioOutput> audio_;
};

// The factory Program uses to give each window its movie control (silent).
std::unique_ptr<MovieControl> makePlayerControl(Form& owner, const std::string& name,
                                                TwipsRect bounds, int tabIndex,
                                                const FlashSettings& settings);
// The same, with each control's sound going out through outputs `audio` opens.
MovieControlFactory playerControlsWithSound(AudioOutputFactory audio, SaveFolders saves = {});

}  // namespace orv
