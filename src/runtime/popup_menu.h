#pragma once

#include <string>
#include <vector>

namespace orv {

// One entry of a pop-up (context) menu as a platform shows it: a command with a caption, a
// check mark and an enabled state, a submenu, or (no caption) a separator.
struct PopupEntry {
  int id = 0;  // reported back when chosen; 0 never is
  std::string caption;
  bool checked = false;
  bool enabled = true;
  std::vector<PopupEntry> submenu;
  bool separator() const { return caption.empty(); }
};

// The enabled command entry with `id` in `entries` or their submenus, or nullptr.
inline const PopupEntry* findPopupEntry(const std::vector<PopupEntry>& entries, int id) {
  for (const PopupEntry& e : entries) {
    if (!e.submenu.empty()) {
      if (!e.enabled) continue;
      if (const PopupEntry* inner = findPopupEntry(e.submenu, id)) return inner;
    } else if (!e.separator() && e.enabled && e.id == id) {
      return &e;
    }
  }
  return nullptr;
}

}  // namespace orv
