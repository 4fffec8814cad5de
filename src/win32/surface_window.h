#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "player/movie_control.h"
#include "runtime/backend.h"

namespace orv::win32 {

class FormWindow;
class Win32Backend;

// A child window showing the frames the movie control draws. Painting goes through a
// memory bitmap, so a frame and its notice text reach the screen in one blit.
// Whether `hwnd` is one of these windows.
bool isSurfaceWindow(HWND hwnd);

class SurfaceWindow : public SurfacePeer {
 public:
  // `control` (may be null) hears the mouse and says which cursor to show.
  SurfaceWindow(Win32Backend& backend, FormWindow& parent, MovieControl* control);
  ~SurfaceWindow() override;
  void setBounds(const TwipsRect& bounds) override;
  void setVisible(bool visible) override;
  void setText(const std::string&) override {}
  void present(const std::uint32_t* pixels, int width, int height) override;
  void setNotice(const std::string& notice) override;
  int showPopupMenu(const std::vector<PopupEntry>& entries, int x, int y) override;
  void putClipboardText(const std::u32string& text) override;
  std::u32string clipboardText() override;

  HWND hwnd() const { return hwnd_; }
  const std::string& notice() const { return notice_; }
  int frameWidth() const { return frameWidth_; }
  int frameHeight() const { return frameHeight_; }

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void paint();
  void showCursor();
  // The control's menu, from the mouse at client pixel (x, y) or from the keyboard.
  void openContextMenu(int x, int y, bool fromKeyboard);

  Win32Backend& backend_;
  MovieControl* control_ = nullptr;
  int wheel_ = 0;  // wheel turns short of a notch
  HWND hwnd_ = nullptr;
  std::vector<std::uint32_t> frame_;
  int frameWidth_ = 0, frameHeight_ = 0;
  std::string notice_;
};

}  // namespace orv::win32
