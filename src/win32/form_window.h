#pragma once

#include <windows.h>
#include <shellapi.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/backend.h"
#include "win32/window_menu.h"

namespace orv::win32 {

class Win32Backend;

// A form's top-level window. Sizes cross this class in twips; the window keeps pixels.
class FormWindow : public FormPeer {
 public:
  FormWindow(Win32Backend& backend, Form& form);
  ~FormWindow() override;

  TwipsRect outerBounds() const override;
  void setOuterBounds(const TwipsRect& bounds) override;
  float clientWidth() const override;
  float clientHeight() const override;
  WindowState windowState() const override;
  void setWindowState(WindowState state) override;
  bool visible() const override;
  void setVisible(bool visible) override;
  void setCaption(const std::string& caption) override;
  void setEnabled(bool enabled) override;
  std::intptr_t handle() const override { return reinterpret_cast<std::intptr_t>(hwnd_); }
  void menuItemChanged(const MenuItem& item) override;

  HWND hwnd() const { return hwnd_; }
  Form& form() const { return form_; }
  bool enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
  HACCEL accelerators() const { return menu_ ? menu_->accelerators() : nullptr; }
  // Forms with push buttons take Tab and the arrow keys between their controls.
  bool wantsDialogKeys() const;

  // Timers and child controls register what their messages should reach.
  void addTimer(UINT_PTR id, Timer& timer) { timers_[id] = &timer; }
  void removeTimer(UINT_PTR id) { timers_.erase(id); }
  // The program is ending: no timer of this window ticks again.
  void stopTimers();
  void addCommandTarget(HWND child, std::function<void()> onClick) {
    commandTargets_[child] = std::move(onClick);
  }
  void removeCommandTarget(HWND child) { commandTargets_.erase(child); }

  static void registerClass(const std::string& className);

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void forwardResize();
  void forwardKeyToMovies(UINT message, WPARAM wParam, LPARAM lParam);
  bool hasVisibleMovie() const;
  void filesDropped(HDROP drop);

  Win32Backend& backend_;
  Form& form_;
  HWND hwnd_ = nullptr;
  std::unique_ptr<WindowMenu> menu_;
  std::map<UINT_PTR, Timer*> timers_;
  std::map<HWND, std::function<void()>> commandTargets_;
  // A minimised or maximised state asked for while hidden, applied when shown.
  std::optional<WindowState> pendingState_;
  // What the form was last told about its size, so repeats are not passed on.
  int lastClientWidth_ = -1, lastClientHeight_ = -1;
  WindowState lastState_ = WindowState::Normal;
};

}  // namespace orv::win32
