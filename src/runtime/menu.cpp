#include "runtime/menu.h"

#include <cctype>

namespace orv {

MenuItem::MenuItem(std::string name, std::string caption, char shortcut)
    : name_(std::move(name)),
      caption_(std::move(caption)),
      shortcut_(static_cast<char>(std::toupper(static_cast<unsigned char>(shortcut)))) {}

void MenuItem::setCaption(const std::string& caption) {
  caption_ = caption;
  changed();
}

std::string MenuItem::shortcutText() const {
  if (!shortcut_) return "";
  return std::string("Ctrl+") + shortcut_;
}

char MenuItem::accessKey() const {
  for (size_t i = 0; i + 1 < caption_.size(); ++i) {
    if (caption_[i] != '&') continue;
    if (caption_[i + 1] == '&') {
      ++i;  // "&&" is a literal ampersand
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption_[i + 1])));
  }
  return 0;
}

void MenuItem::setChecked(bool checked) {
  checked_ = checked;
  changed();
}

void MenuItem::setEnabled(bool enabled) {
  enabled_ = enabled;
  changed();
}

void MenuItem::setVisible(bool visible) {
  visible_ = visible;
  changed();
}

void MenuItem::changed() {
  if (bar_ && bar_->onChange) bar_->onChange(*this);
}

bool MenuItem::click() {
  for (const MenuItem* item = this; item; item = item->parent_)
    if (!item->enabled_ || !item->visible_) return false;
  if (!onClick) return false;
  if (bar_ && bar_->dispatcher)
    bar_->dispatcher(onClick);
  else
    onClick();
  return true;
}

void MenuBar::add(MenuItem& item, int level) {
  item.bar_ = this;
  item.commandId_ = static_cast<int>(entries_.size()) + 100;
  if (level > 0 && !menus_.empty()) {
    MenuItem* parent = menus_.back();
    for (int depth = 1; depth < level && !parent->children_.empty(); ++depth)
      parent = parent->children_.back();
    item.parent_ = parent;
    parent->children_.push_back(&item);
  } else {
    menus_.push_back(&item);
  }
  entries_.push_back(&item);
}

MenuItem* MenuBar::find(const std::string& name) const {
  for (MenuItem* item : entries_)
    if (item->name() == name) return item;
  return nullptr;
}

MenuItem* MenuBar::findByCommand(int commandId) const {
  for (MenuItem* item : entries_)
    if (item->commandId() == commandId) return item;
  return nullptr;
}

MenuItem* MenuBar::findByShortcut(char letter) const {
  const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (MenuItem* item : entries_)
    if (item->shortcut() == key) return item;
  return nullptr;
}

}  // namespace orv
