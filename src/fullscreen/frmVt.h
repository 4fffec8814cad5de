#pragma once

#include <cstdint>
#include <memory>

#include "player/movie_control.h"
#include "runtime/form.h"
#include "runtime/timer.h"

namespace orv {

class Program;

// The borderless full-screen window with its own movie control and the Escape poll.
class frmVt : public Form {
 public:
  frmVt(Program& program, const MovieControlFactory& makeMovieControl);
  ~frmVt() override;

  Timer Timer1;

 private:
  std::unique_ptr<MovieControl> flash_;

 public:
  MovieControl& Flash;
  std::int32_t returnFrame = 0;

  void Form_Load() override;
  void Timer1_Timer();
  // Closed by the user (Alt+F4, the task bar) rather than by Escape: back to the main
  // window exactly as Escape does, so the user is never left without a visible window.
  void onCloseRequested() override;

 private:
  void leaveFullScreen();
  Program& program_;
};

}  // namespace orv
