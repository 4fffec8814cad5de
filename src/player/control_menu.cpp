#include "player/control_menu.h"

namespace orv {
namespace {

PopupEntry command(ControlCommand c, const char* caption, bool enabled, bool checked = false) {
  PopupEntry e;
  e.id = static_cast<int>(c);
  e.caption = caption;
  e.enabled = enabled;
  e.checked = checked;
  return e;
}

PopupEntry separator() { return PopupEntry{}; }

}  // namespace

namespace {

// Groups of entries with a separator between each two that are not empty.
class MenuGroups {
 public:
  void add(PopupEntry e) {
    if (breakPending_ && !menu_.empty()) menu_.push_back(separator());
    breakPending_ = false;
    menu_.push_back(std::move(e));
  }
  void endGroup() { breakPending_ = true; }
  std::vector<PopupEntry> take() { return std::move(menu_); }

 private:
  std::vector<PopupEntry> menu_;
  bool breakPending_ = false;
};

// A movie's caption as a menu shows it: '&' would mark the next letter as the key.
std::string menuCaption(const std::string& caption) {
  std::string out;
  for (char c : caption) {
    out += c;
    if (c == '&') out += '&';
  }
  return out;
}

void addMovieItems(MenuGroups& menu, const std::vector<MovieMenuItem>& movieItems) {
  bool any = false;
  for (size_t i = 0; i < movieItems.size(); ++i) {
    const MovieMenuItem& item = movieItems[i];
    if (!item.visible || item.caption.empty()) continue;
    if (item.separatorBefore && any) menu.endGroup();
    PopupEntry e;
    e.id = static_cast<int>(ControlCommand::FirstMovieItem) + static_cast<int>(i);
    e.caption = menuCaption(item.caption);
    e.enabled = item.enabled && item.onSelect != nullptr;
    menu.add(std::move(e));
    any = true;
  }
  menu.endGroup();
}

void addEditEntries(MenuGroups& menu, const movie::Player::MovieMenu& field) {
  menu.add(command(ControlCommand::Cut, "Cut", field.canCut));
  menu.add(command(ControlCommand::Copy, "Copy", field.canCopy));
  menu.add(command(ControlCommand::Paste, "Paste", field.canPaste));
  menu.endGroup();
  menu.add(command(ControlCommand::SelectAll, "Select All", field.canSelectAll));
  menu.endGroup();
}

void addPlayerEntries(MenuGroups& menu, const ControlMenuState& state) {
  const bool movie = state.loaded;
  const movie::Player::MovieMenu& keep = state.movieMenu;
  // A movie of one frame has nothing to play or step through.
  const bool frames = movie && state.frameCount > 1;
  if (keep.zoom) {
    menu.add(command(ControlCommand::ZoomIn, "Zoom In", movie));
    menu.add(command(ControlCommand::ZoomOut, "Zoom Out", movie && state.zoomedIn));
    menu.add(command(ControlCommand::ShowAll, "Show All", movie));
    menu.endGroup();
  }
  if (keep.quality) {
    PopupEntry quality;
    quality.caption = "Quality";
    quality.enabled = movie;
    const movie::Quality q = state.quality;
    quality.submenu = {
        command(ControlCommand::QualityLow, "Low", movie, q == movie::Quality::Low),
        command(ControlCommand::QualityMedium, "Medium", movie, q == movie::Quality::Medium),
        command(ControlCommand::QualityHigh, "High", movie,
                q == movie::Quality::High || q == movie::Quality::Best),
    };
    menu.add(std::move(quality));
    menu.endGroup();
  }
  if (keep.play) menu.add(command(ControlCommand::Play, "Play", frames, movie && state.playing));
  if (keep.loop) menu.add(command(ControlCommand::Loop, "Loop", frames, movie && state.looping));
  menu.endGroup();
  if (keep.rewind) menu.add(command(ControlCommand::Rewind, "Rewind", frames));
  if (keep.forwardBack) {
    menu.add(command(ControlCommand::Forward, "Forward", frames));
    menu.add(command(ControlCommand::Back, "Back", frames));
  }
  menu.endGroup();
}

}  // namespace

std::vector<PopupEntry> buildControlMenu(const ControlMenuState& state,
                                         const std::vector<MovieMenuItem>& movieItems) {
  MenuGroups menu;
  const bool movie = state.loaded;
  if (state.menuOn && movie) addMovieItems(menu, movieItems);
  if (movie && state.movieMenu.textField)
    addEditEntries(menu, state.movieMenu);
  else if (state.menuOn && (!movie || state.movieMenu.showMenu))
    addPlayerEntries(menu, state);
  menu.add(command(ControlCommand::About, "About Orvanta...", true));
  return menu.take();
}

ControlCommand controlCommandOf(int id, int* movieIndex) {
  const int first = static_cast<int>(ControlCommand::FirstMovieItem);
  if (id >= first) {
    if (movieIndex) *movieIndex = id - first;
    return ControlCommand::FirstMovieItem;
  }
  if (id > 0 && id <= static_cast<int>(ControlCommand::SelectAll))
    return static_cast<ControlCommand>(id);
  return ControlCommand::None;
}

}  // namespace orv
