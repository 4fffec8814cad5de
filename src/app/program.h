#pragma once

#include <functional>
#include <memory>

#include "player/movie_control.h"
#include "runtime/form_ref.h"
#include "runtime/runtime.h"

namespace orv {

class frmAbout;
class frmFlash;
class frmVt;
class MusicPlayback;
struct MusicSettings;

// Starts music for the about box; throws a RuntimeError when the file cannot be played.
using MusicFactory = std::function<std::unique_ptr<MusicPlayback>(const std::string& programPath,
                                                                  const MusicSettings& settings)>;

// The program: its three windows, as the run-time's globals, and what they are built with.
class Program {
 public:
  Program(Runtime& runtime, MovieControlFactory movieControls, MusicFactory music);
  ~Program();

  Runtime& runtime() { return runtime_; }
  frmFlash& main() { return *main_; }
  // The full-screen window: created, loaded and hidden at the first reference.
  frmVt& fullScreen();
  bool fullScreenExists() const;
  void unloadFullScreen();
  // A fresh about box for each About command.
  std::unique_ptr<frmAbout> createAbout();
  const MusicFactory& music() const { return music_; }

  // Loads the start-up window (its load handler is the start-up sequence), then shows it.
  void start();

 private:
  Runtime& runtime_;
  MovieControlFactory movieControls_;
  MusicFactory music_;
  std::unique_ptr<frmFlash> main_;
  FormRef<frmVt> fullScreen_;
};

}  // namespace orv
