// What the ActionScript 3 machine asks of the program around it: the machine's only way
// out. The timeline side (display objects, frames, events) joins it later, in avm2_host/.
#pragma once

#include <string_view>

namespace orv::movie::avm2 {

class Host {
 public:
  virtual ~Host() = default;
  // One line a script traced (trace() joins its arguments with spaces).
  virtual void trace(std::string_view line) = 0;
  // An error a script threw that nothing caught where the player called it (an event
  // listener), as text ("Error: ..."); the player goes on.
  virtual void uncaughtError(std::string_view text) { (void)text; }
  // The player's clock: milliseconds since the movie started (getTimer, timers).
  virtual double clockMs() { return 0; }
  // Whether Caps Lock (or, with `numLock`, Num Lock) is on.
  virtual bool lockKey(bool numLock) {
    (void)numLock;
    return false;
  }
  // Mouse.hide() and show(): the pointer over the movie.
  virtual void setPointerHidden(bool hidden) { (void)hidden; }
};

}  // namespace orv::movie::avm2
