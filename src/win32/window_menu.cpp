#include "win32/window_menu.h"

#include <vector>

namespace orv::win32 {

WindowMenu::WindowMenu(const MenuBar& bar) : bar_(bar) {
  menu_ = build();
  std::vector<ACCEL> table;
  for (const MenuItem* item : bar_.entries()) {
    if (!item->shortcut() || item->isSeparator()) continue;
    // Virtual-key codes of letters are their upper-case ASCII codes.
    table.push_back({static_cast<BYTE>(FVIRTKEY | FCONTROL), static_cast<WORD>(item->shortcut()),
                     static_cast<WORD>(item->commandId())});
  }
  if (!table.empty())
    accelerators_ = CreateAcceleratorTableA(table.data(), static_cast<int>(table.size()));
}

WindowMenu::~WindowMenu() {
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  // The window is destroyed first, and a window destroys its menu with it.
  if (menu_ && IsMenu(menu_)) DestroyMenu(menu_);
}

std::string WindowMenu::displayText(const MenuItem& item) {
  std::string text = item.Caption();
  const std::string shortcut = item.shortcutText();
  if (!shortcut.empty()) text += "\t" + shortcut;
  return text;
}

WindowMenu::Shown WindowMenu::stateOf(const MenuItem& item) {
  return {displayText(item), item.Checked(), item.Enabled(), item.Visible(), item.isSeparator()};
}

HMENU WindowMenu::build() {
  shown_.clear();
  if (bar_.menus().empty()) return nullptr;
  HMENU bar = CreateMenu();
  // Entries of any depth: a menu with entries becomes a popup.
  auto addEntries = [this](auto& self, HMENU into, const MenuItem& parent) -> void {
    for (const MenuItem* item : parent.children()) {
      shown_[item] = stateOf(*item);
      if (!item->Visible()) continue;
      if (item->isSeparator()) {
        AppendMenuA(into, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      UINT flags = MF_STRING;
      if (item->Checked()) flags |= MF_CHECKED;
      if (!item->Enabled()) flags |= MF_GRAYED;
      const std::string text = displayText(*item);
      if (!item->children().empty()) {
        HMENU popup = CreatePopupMenu();
        self(self, popup, *item);
        AppendMenuA(into, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), text.c_str());
      } else {
        AppendMenuA(into, flags, static_cast<UINT_PTR>(item->commandId()), text.c_str());
      }
    }
  };
  for (const MenuItem* menu : bar_.menus()) {
    shown_[menu] = stateOf(*menu);
    if (!menu->Visible()) continue;
    HMENU popup = CreatePopupMenu();
    addEntries(addEntries, popup, *menu);
    UINT flags = MF_STRING | MF_POPUP;
    if (!menu->Enabled()) flags |= MF_GRAYED;
    const std::string text = displayText(*menu);
    AppendMenuA(bar, flags, reinterpret_cast<UINT_PTR>(popup), text.c_str());
  }
  return bar;
}

void WindowMenu::rebuild(HWND window) {
  HMENU old = menu_;
  menu_ = build();
  SetMenu(window, menu_);
  if (old) DestroyMenu(old);
  DrawMenuBar(window);
}

void WindowMenu::update(const MenuItem& item, HWND window) {
  auto it = shown_.find(&item);
  if (it == shown_.end()) return rebuild(window);
  const Shown now = stateOf(item);
  const Shown& was = it->second;
  // The timers set the same states over and over: only real changes touch the menu.
  if (was.caption == now.caption && was.checked == now.checked && was.enabled == now.enabled &&
      was.visible == now.visible && was.separator == now.separator)
    return;
  if (was.visible != now.visible || was.separator != now.separator) return rebuild(window);
  it->second = now;
  if (!now.visible) return;

  // Commands are found by their id anywhere in the menu; menus of the bar by position.
  UINT where = static_cast<UINT>(item.commandId());
  BOOL byPosition = FALSE;
  if (item.parent() == nullptr) {
    where = 0;
    for (const MenuItem* menu : bar_.menus()) {
      if (menu == &item) break;
      if (menu->Visible()) ++where;
    }
    byPosition = TRUE;
  } else if (!item.children().empty()) {
    return rebuild(window);  // a submenu: rare enough to rebuild
  }
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE | MIIM_STRING;
  info.fState = (now.checked ? MFS_CHECKED : 0u) | (now.enabled ? 0u : MFS_GRAYED);
  std::string text = now.caption;
  info.dwTypeData = text.data();
  info.cch = static_cast<UINT>(text.size());
  SetMenuItemInfoA(menu_, where, byPosition, &info);
  DrawMenuBar(window);
}

}  // namespace orv::win32
