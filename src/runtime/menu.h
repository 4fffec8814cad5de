#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orv {

class MenuBar;

// One entry of a form's menu bar: a menu, a command or a separator (caption "-").
class MenuItem {
 public:
  // `shortcut` is the letter of a Ctrl+letter accelerator, 0 for none.
  MenuItem(std::string name, std::string caption, char shortcut = 0);
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  const std::string& name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void setCaption(const std::string& caption);
  char shortcut() const { return shortcut_; }
  // The text shown beside the caption for the shortcut: "Ctrl+O", or "".
  std::string shortcutText() const;
  // The letter after a single '&' in the caption, upper-cased; 0 when there is none.
  char accessKey() const;
  bool isSeparator() const { return caption_ == "-"; }

  bool Checked() const { return checked_; }
  void setChecked(bool checked);
  bool Enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void setVisible(bool visible);

  MenuItem* parent() const { return parent_; }
  const std::vector<MenuItem*>& children() const { return children_; }
  int level() const { return parent_ ? parent_->level() + 1 : 0; }
  // A small number unique in its menu bar, for the platform's command messages.
  int commandId() const { return commandId_; }

  // The handler wired to the entry's click event.
  std::function<void()> onClick;
  // The user chose the entry (menu or shortcut). Disabled or hidden entries do nothing.
  // Returns whether a handler ran.
  bool click();

 private:
  friend class MenuBar;
  void changed();

  std::string name_, caption_;
  char shortcut_;
  bool checked_ = false, enabled_ = true, visible_ = true;
  MenuItem* parent_ = nullptr;
  std::vector<MenuItem*> children_;
  MenuBar* bar_ = nullptr;
  int commandId_ = 0;
};

// A form's menu bar: the entries in display order, menus at level 0.
class MenuBar {
 public:
  // Appends `item` at `level` (0: a menu of the bar; 1: an entry of the last menu).
  void add(MenuItem& item, int level);
  const std::vector<MenuItem*>& entries() const { return entries_; }
  const std::vector<MenuItem*>& menus() const { return menus_; }
  MenuItem* find(const std::string& name) const;
  MenuItem* findByCommand(int commandId) const;
  // The entry whose shortcut is Ctrl+`letter`, if any.
  MenuItem* findByShortcut(char letter) const;

  // Told of every change of an entry's state (the form's window mirrors it).
  std::function<void(const MenuItem&)> onChange;
  // Runs a click through the owner's dispatcher.
  std::function<void(const std::function<void()>&)> dispatcher;

 private:
  friend class MenuItem;
  std::vector<MenuItem*> entries_;
  std::vector<MenuItem*> menus_;
};

}  // namespace orv
