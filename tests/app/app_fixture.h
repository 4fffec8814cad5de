#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "about/frmAbout.h"
#include "app/frmFlash.h"
#include "app/program.h"
#include "fullscreen/frmVt.h"
#include "runtime/errors.h"
#include "runtime/headless/headless_backend.h"
#include "runtime/runtime.h"
#include "temp_dir.h"

namespace orv::testing {

// A movie control that records every call as "<window>.<operation>" in one log shared by
// both windows, and answers Movie and CurrentFrame as a player would.
class RecordingMovieControl : public MovieControl {
 public:
  RecordingMovieControl(Form& owner, const std::string& name, TwipsRect bounds, int tabIndex,
                        const FlashSettings& settings, std::vector<std::string>& log)
      : MovieControl(owner, name, bounds, tabIndex),
        settings(settings),
        log_(log),
        prefix_(owner.name() == "frmFlash" ? "main." : "full.") {}

  std::string Movie() const override { return movie; }
  void setMovie(const std::string& path) override {
    record("Movie=" + path);
    movie = path;
    frame = 0;
  }
  void setQuality(std::int32_t q) override {
    record("Quality=" + std::to_string(q));
    quality = q;
  }
  void setLoop(bool on) override {
    record(std::string("Loop=") + (on ? "true" : "false"));
    loop = on;
  }
  void Play() override {
    record("Play");
    playing = true;
  }
  void Stop() override {
    record("Stop");
    playing = false;
  }
  void Back() override {
    record("Back");
    frame = frame > 0 ? frame - 1 : 0;
  }
  void Forward() override {
    record("Forward");
    ++frame;
  }
  void Rewind() override {
    record("Rewind");
    frame = 0;
  }
  void Zoom(std::int32_t p) override { record("Zoom " + std::to_string(p)); }
  void setBackgroundColor(std::int32_t c) override {
    record("BackgroundColor=" + std::to_string(c));
  }
  void StopPlay() override {
    record("StopPlay");
    playing = false;
  }
  void GotoFrame(std::int32_t f) override {
    record("GotoFrame " + std::to_string(f));
    frame = f;
  }
  std::int32_t CurrentFrame() const override { return frame; }
  void setBGColor(const std::string& c) override { record("BGColor=" + c); }

  FlashSettings settings;
  std::string movie;
  std::int32_t frame = 0;
  std::int32_t quality = 0;
  bool loop = true, playing = false;

 private:
  void record(const std::string& call) { log_.push_back(prefix_ + call); }
  std::vector<std::string>& log_;
  std::string prefix_;
};

// The program on the headless backend, in a program directory of its own on disk.
class ProgramFixture : public ::testing::Test {
 protected:
  ProgramFixture() {
    dir = folder.path;
    backend.app.path = dir.string();
    backend.app.exeName = "orvanta";
  }
  ~ProgramFixture() override { program.reset(); }

  // Builds the program; start() then runs start-up and shows the main window.
  Program& make() {
    program = std::make_unique<Program>(
        runtime,
        [this](Form& owner, const std::string& name, TwipsRect bounds, int tabIndex,
               const FlashSettings& settings) -> std::unique_ptr<MovieControl> {
          auto control = std::make_unique<RecordingMovieControl>(owner, name, bounds, tabIndex,
                                                                 settings, calls);
          (owner.name() == "frmFlash" ? mainControl : fullControl) = control.get();
          return control;
        },
        [this](const std::string& path, const MusicSettings& settings) {
          return startMusic(path, settings);
        });
    return *program;
  }
  Program& started() {
    make().start();
    return *program;
  }
  frmFlash& main() { return program->main(); }
  frmVt& full() { return program->fullScreen(); }
  std::string ini() const { return (dir / "config.ini").string(); }
  std::string iniText() const {
    std::ifstream in(dir / "config.ini", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  headless::SimulatedSystem& api() { return backend.simulated(); }
  std::vector<std::string> callsFrom(size_t start) const {
    return {calls.begin() + static_cast<long>(start), calls.end()};
  }

  // The about box's music: a playback that tests can watch.
  struct FakePlayback : MusicPlayback {
    explicit FakePlayback(int* alive) : alive(alive) { ++*alive; }
    ~FakePlayback() override { --*alive; }
    void restart() override { ++restarts; }
    bool playing() const override { return true; }
    int* alive;
    int restarts = 0;
  };
  std::unique_ptr<MusicPlayback> startMusic(const std::string& path,
                                            const MusicSettings& settings) {
    musicStarts.push_back(path);
    lastMusicSettings = settings;
    if (musicFails) raiseError(err::FileNotFound);
    return std::make_unique<FakePlayback>(&musicAlive);
  }

  headless::HeadlessBackend backend;
  Runtime runtime{backend};
  orv::test::TempDir folder{"orv-app"};
  std::filesystem::path dir;
  std::vector<std::string> calls;
  RecordingMovieControl* mainControl = nullptr;
  RecordingMovieControl* fullControl = nullptr;
  std::unique_ptr<Program> program;
  std::vector<std::string> musicStarts;
  MusicSettings lastMusicSettings;
  bool musicFails = false;
  int musicAlive = 0;
};

}  // namespace orv::testing
