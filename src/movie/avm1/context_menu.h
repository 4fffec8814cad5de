// The movie's own right-click menu: which ContextMenu a right click finds, what it lists
// once its onSelect has run, and the item the user chose.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

struct ScriptMenuItem {
  std::string caption;  // UTF-8, as the menu shows it
  bool enabled = true;
  bool visible = true;
  bool separatorBefore = false;
};

struct ScriptMenu {
  // The player's own entries the menu leaves on (builtInItems); all on without a menu.
  bool zoom = true, quality = true, play = true, loop = true, rewind = true, forwardBack = true,
       print = true, save = true;
  bool showMenu = true;  // Stage.showMenu
  // The custom items the player accepts, in order (at most kMostItems).
  std::vector<ScriptMenuItem> items;
  static constexpr size_t kMostItems = 15;
  static constexpr size_t kLongestCaption = 100;  // characters
};

// A right click over `underPointer`: the objects there, topmost first, each followed by
// its parents. The first of them whose `menu` holds an object owns the menu, else
// _level0 does. The menu's onSelect(owner, menu) runs before it is read. The machine
// keeps the owner and the items for selectMenuItem. None of it throws.
ScriptMenu openMenu(Vm& vm, std::span<ScriptClip* const> underPointer);

// The user chose item `index` of the menu last opened: its onSelect(owner, item) runs.
// False when there is no such item, or it is disabled or hidden.
bool selectMenuItem(Vm& vm, size_t index);

// The caption as the menu shows it: control characters dropped, white space trimmed;
// empty when the player refuses it (too long, one of its own entries, a name it keeps).
std::string acceptedCaption(const std::string& caption);

// Stage.showMenu as scripts last set it (builtins_stage.cpp).
bool stageShowsMenu(Vm& vm);

}  // namespace orv::movie::avm1
