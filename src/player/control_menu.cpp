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

std::vector<PopupEntry> buildControlMenu(const ControlMenuState& state,
                                         const std::vector<MovieMenuItem>& movieItems) {
  std::vector<PopupEntry> menu;
  const bool movie = state.loaded;
  if (state.menuOn && movie) {
    for (size_t i = 0; i < movieItems.size(); ++i) {
      const MovieMenuItem& item = movieItems[i];
      if (!item.visible || item.caption.empty()) continue;
      if (item.separatorBefore && !menu.empty()) menu.push_back(separator());
      PopupEntry e;
      e.id = static_cast<int>(ControlCommand::FirstMovieItem) + static_cast<int>(i);
      e.caption = item.caption;
      e.enabled = item.enabled && item.onSelect != nullptr;
      menu.push_back(std::move(e));
    }
    if (!menu.empty()) menu.push_back(separator());
  }
  if (state.menuOn) {
    // A movie of one frame has nothing to play or step through.
    const bool frames = movie && state.frameCount > 1;
    menu.push_back(command(ControlCommand::ZoomIn, "Zoom In", movie));
    menu.push_back(command(ControlCommand::ZoomOut, "Zoom Out", movie && state.zoomedIn));
    menu.push_back(command(ControlCommand::ShowAll, "Show All", movie));
    menu.push_back(separator());
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
    menu.push_back(std::move(quality));
    menu.push_back(separator());
    menu.push_back(command(ControlCommand::Play, "Play", frames, movie && state.playing));
    menu.push_back(command(ControlCommand::Loop, "Loop", frames, movie && state.looping));
    menu.push_back(separator());
    menu.push_back(command(ControlCommand::Rewind, "Rewind", frames));
    menu.push_back(command(ControlCommand::Forward, "Forward", frames));
    menu.push_back(command(ControlCommand::Back, "Back", frames));
    menu.push_back(separator());
  }
  menu.push_back(command(ControlCommand::About, "About Orvanta...", true));
  return menu;
}

ControlCommand controlCommandOf(int id, int* movieIndex) {
  const int first = static_cast<int>(ControlCommand::FirstMovieItem);
  if (id >= first) {
    if (movieIndex) *movieIndex = id - first;
    return ControlCommand::FirstMovieItem;
  }
  if (id > 0 && id <= static_cast<int>(ControlCommand::About))
    return static_cast<ControlCommand>(id);
  return ControlCommand::None;
}

}  // namespace orv
