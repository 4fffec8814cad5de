#pragma once
// The input a corpus movie's reference run was given (its input.json), replayed through
// the player the way the program's window hands keys, characters, the mouse and the
// clipboard to it.
//
// The file is a list of events; "Wait" ends a tick. The events before the first Wait
// happen in tick 1, after the movie's first frame has run and before what is checked at
// that tick; those before the second Wait in tick 2, and so on.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "movie/player.h"

namespace orv::movie::corpus {

struct RecordedEvent {
  enum class Kind {
    MouseMove,
    MouseDown,
    MouseUp,
    Wheel,
    KeyDown,
    KeyUp,
    Text,   // characters typed
    Paste,  // the clipboard into the focused field
    Copy,   // the focused field's selection onto the clipboard
    Cut,
    Clipboard,  // the clipboard set to `text`
    EditKey,    // an editing key for text fields (`code` as Player::keyPress takes it)
    WindowFocus  // the window gained (`code` 1) or lost (0) the keyboard focus
  };
  Kind kind;
  double x = 0, y = 0;  // stage pixels
  int code = 0;         // key code (Windows numbering), wheel lines, or edit key
  std::u32string text;  // typed characters, or the clipboard's new text
};

// Events by tick (1-based).
using RecordedInput = std::map<int, std::vector<RecordedEvent>>;

// Reads `path`; an absent file is no input. A file that does not read, or events this
// reader does not know, are reported in `problems` (one line each) and left out.
RecordedInput readRecordedInput(const std::filesystem::path& path,
                                std::vector<std::string>* problems = nullptr);

// What the replay keeps from tick to tick: the system clipboard as the events change it,
// and where the pointer is (the wheel turns where it is).
struct ReplayState {
  std::u32string clipboard;
  double x = 0, y = 0;
};

// Gives the player what happened in one tick, on the stage `stage` (stage pixels become
// twips from its corner).
void replay(Player& player, const ViewRect& stage, const std::vector<RecordedEvent>& events,
            ReplayState& state);

}  // namespace orv::movie::corpus
