#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "runtime/menu.h"

namespace orv::win32 {

// A form's menu bar as a real HMENU, kept in step with the run-time's entries, and the
// accelerator table of its Ctrl+letter shortcuts.
class WindowMenu {
 public:
  explicit WindowMenu(const MenuBar& bar);
  ~WindowMenu();
  WindowMenu(const WindowMenu&) = delete;
  WindowMenu& operator=(const WindowMenu&) = delete;

  HMENU handle() const { return menu_; }
  HACCEL accelerators() const { return accelerators_; }
  // Mirrors a change of `item` in the menu of `window` and redraws its menu bar. An
  // entry shown, hidden or turned into or out of a separator rebuilds the whole menu.
  void update(const MenuItem& item, HWND window);

  // The text the menu shows for an entry: the caption and "\tCtrl+X".
  static std::string displayText(const MenuItem& item);

 private:
  struct Shown {
    std::string caption;
    bool checked, enabled, visible, separator;
  };
  static Shown stateOf(const MenuItem& item);
  HMENU build();
  void rebuild(HWND window);

  const MenuBar& bar_;
  HMENU menu_ = nullptr;
  HACCEL accelerators_ = nullptr;
  std::map<const MenuItem*, Shown> shown_;
};

}  // namespace orv::win32
