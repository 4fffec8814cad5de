#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/backend.h"

namespace orv {

class Form;

// A timer control: while enabled with a non-zero interval, ticks every Interval ms.
class Timer {
 public:
  Timer(Form& owner, std::string name, int intervalMs, bool enabled);
  // A timer a control keeps for itself: not one of the form's timers; the control
  // attaches and detaches it with its own window.
  struct Internal {};
  Timer(Form& owner, std::string name, int intervalMs, bool enabled, Internal);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  const std::string& name() const { return name_; }
  int Interval() const { return interval_; }
  void setInterval(int intervalMs);
  bool Enabled() const { return enabled_; }
  void setEnabled(bool enabled);

  // The handler wired to the tick event.
  std::function<void()> onTimer;
  // One tick, called by the backend.
  void tick();

  // The owning form's window came into being / went away.
  void attach(Backend& backend, FormPeer& parent);
  void detach();

 private:
  void sync();

  Form& owner_;
  std::string name_;
  int interval_;
  bool enabled_;
  std::unique_ptr<TimerPeer> peer_;
  bool internal_ = false;
};

}  // namespace orv
