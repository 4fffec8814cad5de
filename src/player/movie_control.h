#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/controls.h"

namespace orv {

// The settings a movie control is created with.
struct FlashSettings {
  std::string Movie;
  std::string Src;
  std::string WMode = "Window";
  bool Playing = false;  // start playing as soon as a movie is loaded
  bool Loop = true;
  std::string Quality2 = "High";
  std::string SAlign;
  bool Menu = true;  // the control's own context menu
  std::string Base;
  std::string Scale = "ExactFit";
  bool DeviceFont = false;
  bool EmbedMovie = false;
  std::string BGColor;
  std::string SWRemote;
};

// The movie player control the windows drive: the operations they call, and its place
// and size in its window (the Control part, twips).
class MovieControl : public Control {
 public:
  MovieControl(Form& owner, std::string name, TwipsRect bounds, int tabIndex)
      : Control(owner, ControlKind::Surface, std::move(name), bounds, tabIndex) {}

  // Path of the loaded movie, "" when none.
  virtual std::string Movie() const = 0;
  // A path loads that movie (it does not start by itself); "" unloads.
  virtual void setMovie(const std::string& path) = 0;
  // 1: high quality; 4: the lower quality the View menu switches to.
  virtual void setQuality(std::int32_t quality) = 0;
  virtual void setLoop(bool loop) = 0;
  virtual void Play() = 0;
  virtual void Stop() = 0;
  virtual void Back() = 0;
  virtual void Forward() = 0;
  virtual void Rewind() = 0;
  // 0: whole movie; below 100 narrows the view (enlarges); above widens it.
  virtual void Zoom(std::int32_t percent) = 0;
  virtual void setBackgroundColor(std::int32_t color) = 0;
  virtual void StopPlay() = 0;
  virtual void GotoFrame(std::int32_t frame) = 0;
  virtual std::int32_t CurrentFrame() const = 0;
  virtual void setBGColor(const std::string& color) = 0;

  // The user's mouse over the control, in its pixels from the top left corner.
  virtual void mouseMove(int x, int y) {
    (void)x;
    (void)y;
  }
  virtual void mouseDown(int x, int y) {
    (void)x;
    (void)y;
  }
  virtual void mouseUp(int x, int y) {
    (void)x;
    (void)y;
  }
  // The wheel turned `lines` lines (positive away from the user) over the control.
  virtual void mouseWheel(int x, int y, int lines) {
    (void)x;
    (void)y;
    (void)lines;
  }
  // A key the user typed, as buttons name keys (see button_keys.h).
  virtual void keyPress(int code) { (void)code; }
  // A key held down and let go, by its Windows virtual-key code.
  virtual void keyDown(int keyCode) { (void)keyCode; }
  virtual void keyUp(int keyCode) { (void)keyCode; }
  // The middle button went down or up over the movie.
  virtual void middleButton(int x, int y, bool down) {
    (void)x;
    (void)y;
    (void)down;
  }
  // The window gained or lost the keyboard focus.
  virtual void focusChanged(bool gained) { (void)gained; }
  // Editing in the movie's focused input field (Ctrl+C, Ctrl+X, Ctrl+V): its selected
  // text, cut out with `cut`; text put in place of the selection. The window keeps the
  // clipboard.
  virtual std::u32string copyText(bool cut) {
    (void)cut;
    return {};
  }
  virtual void pasteText(const std::u32string& text) { (void)text; }
  // The pointer is over something the movie lets the user click: show the hand.
  virtual bool handCursor() const { return false; }
  // The movie hid the pointer: none shows over the control.
  virtual bool pointerHidden() const { return false; }
  // The user asked for the control's own menu: a right click at pixel (x, y), or, when
  // `fromKeyboard`, the menu key or Shift+F10 (then the menu opens in the middle).
  virtual void contextMenu(int x, int y, bool fromKeyboard) {
    (void)x;
    (void)y;
    (void)fromKeyboard;
  }

  // What the About entry of the control's menu runs: the window's about box.
  std::function<void()> onAbout;
};

using MovieControlFactory = std::function<std::unique_ptr<MovieControl>(
    Form& owner, const std::string& name, TwipsRect bounds, int tabIndex,
    const FlashSettings& settings)>;

}  // namespace orv
