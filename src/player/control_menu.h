#pragma once

#include <functional>
#include <string>
#include <vector>

#include "movie/player.h"
#include "runtime/popup_menu.h"

namespace orv {

// The movie control's own context menu: what it lists for the control's present state,
// and what each entry does. The control shows it on a right click or the menu key and
// carries out the command chosen; the windows' menus are not involved.

// What an entry of the control's menu does (its PopupEntry id).
enum class ControlCommand : int {
  None = 0,
  ZoomIn,
  ZoomOut,
  ShowAll,
  QualityLow,
  QualityMedium,
  QualityHigh,
  Play,
  Loop,
  Rewind,
  Forward,
  Back,
  About,
  // The edit entries over a text field of the movie.
  Cut,
  Copy,
  Paste,
  SelectAll,
  // Entries a movie adds have ids from here on, one for each of its items.
  FirstMovieItem = 1000,
};

// An entry a movie adds to the menu (ActionScript's ContextMenu custom items). Shown above
// the control's own entries, in order.
struct MovieMenuItem {
  std::string caption;
  bool enabled = true;
  bool visible = true;
  bool separatorBefore = false;
  std::function<void()> onSelect;
};

// What the menu's entries depend on.
struct ControlMenuState {
  bool menuOn = true;  // the control was created with its full menu
  bool loaded = false;
  int frameCount = 0;
  bool playing = false;
  bool looping = false;
  bool zoomedIn = false;  // the view shows less than the whole movie
  movie::Quality quality = movie::Quality::High;
  // What the movie's own menu leaves of the entries (its builtInItems, Stage.showMenu)
  // and whether the pointer is over a text field, with what can be done there.
  movie::Player::MovieMenu movieMenu;
};

// The menu for `state`, top to bottom, with the movie's own items first; over a text
// field the edit entries take the place of the playing ones.
std::vector<PopupEntry> buildControlMenu(const ControlMenuState& state,
                                         const std::vector<MovieMenuItem>& movieItems = {});

// The command an id chosen from that menu stands for; movie items give FirstMovieItem and
// their index in `movieIndex`.
ControlCommand controlCommandOf(int id, int* movieIndex = nullptr);

}  // namespace orv
