// A movie file dropped from the shell on the main window opens as Open does with it.
#include "app_fixture.h"
#include "player/player_control.h"

namespace orv::testing {
namespace {

using V = std::vector<std::string>;

class DropFiles : public ProgramFixture {
 protected:
  void SetUp() override { started(); }
  void open(const std::string& path) {
    backend.dialogAnswers.push_back(path);
    backend.clickMenu(main(), "mnuOpen");
  }
  bool drop(const V& paths) { return backend.dropFiles(main(), paths); }
  // What the windows hold after a command, beside the control calls.
  std::vector<std::string> state() {
    frmFlash& m = main();
    return {m.openedFile,
            m.Common.FileName(),
            std::to_string(m.mnuZout.Enabled()),
            std::to_string(m.mnuShow.Checked()),
            std::to_string(m.mnuPlay.Checked()),
            std::to_string(m.zoomInCount),
            mainControl->movie,
            fullControl->movie};
  }
};

// The same scene played twice, once through the dialog and once by dropping: the same
// control calls and the same state after each step.
TEST_F(DropFiles, ADroppedMovieTakesExactlyTheStepsOfOpen) {
  struct Run {
    V calls;
    std::vector<std::vector<std::string>> states;
  };
  auto play = [&](bool dropping, Run& run) {
    const size_t m = calls.size();
    for (const char* path : {"C:\\m\\a.swf", "C:\\m\\a.swf", "D:\\b.SPL"}) {
      main().mnuZin_Click();
      main().mnuPlay_Click();
      if (dropping)
        EXPECT_TRUE(drop({path}));
      else
        open(path);
      run.states.push_back(state());
    }
    run.calls = callsFrom(m);
  };
  Run opened, dropped;
  play(false, opened);
  // The program anew, the same scene with the files dropped.
  program.reset();
  calls.clear();
  started();
  const size_t dialogs = backend.dialogRequests.size();
  play(true, dropped);
  EXPECT_EQ(dropped.calls, opened.calls);
  EXPECT_EQ(dropped.states, opened.states);
  EXPECT_EQ(dropped.states[0][0], "C:\\m\\a.swf");
  EXPECT_EQ(dropped.states[2][6], "D:\\b.SPL");
  EXPECT_EQ(backend.dialogRequests.size(), dialogs) << "no dialog is shown for a drop";
}

TEST_F(DropFiles, OtherFilesAndSeveralAtOnceAreIgnored) {
  open("C:\\a.swf");
  const size_t m = calls.size();
  const std::vector<std::string> before = state();
  for (const V& paths :
       {V{"C:\\notes.txt"}, V{"C:\\x.swf.bak"}, V{"C:\\swf"}, V{"C:\\dir.swf\\file"},
        V{"C:\\b.swf", "C:\\c.swf"}, V{"C:\\b.swf", "C:\\notes.txt"}, V{}}) {
    drop(paths);
    EXPECT_EQ(callsFrom(m), V{}) << (paths.empty() ? "" : paths[0]);
    EXPECT_EQ(state(), before);
  }
  EXPECT_TRUE(backend.untrappedErrors.empty());
}

TEST_F(DropFiles, OnlyTheMainWindowTakesFilesAndNotWhileTheAboutBoxIsOpen) {
  const size_t m = calls.size();
  EXPECT_FALSE(backend.dropFiles(full(), {"C:\\a.swf"}));
  backend.whileModal = [&](Form& box) {
    EXPECT_FALSE(drop({"C:\\a.swf"})) << "a window without input takes no files";
    static_cast<frmAbout&>(box).Command1.click();
  };
  main().mnuAbout_Click();
  EXPECT_EQ(callsFrom(m), V{});
  EXPECT_TRUE(drop({"C:\\a.swf"}));
  EXPECT_EQ(mainControl->movie, "C:\\a.swf");
}

// With the real control: a dropped file that is not a movie is handled as Open handles it.
class DropOnRealControl : public ProgramFixture {
 protected:
  void SetUp() override {
    program = std::make_unique<Program>(
        runtime, makePlayerControl,
        [this](const std::string& path, const MusicSettings& s) { return startMusic(path, s); });
    program->start();
  }
  const PlayerControl& control(MovieControl& c) { return static_cast<const PlayerControl&>(c); }
};

TEST_F(DropOnRealControl, ANonMovieShowsTheSameNoticeAsWhenOpened) {
  const std::string bad = folder.write("broken.swf", std::string("not a movie at all"));
  backend.dropFiles(main(), {bad});
  const std::string droppedNotice = control(main().Flash).notice();
  EXPECT_EQ(main().Flash.Movie(), bad);
  EXPECT_FALSE(droppedNotice.empty());
  EXPECT_TRUE(main().mnuPlay.Checked());
  backend.clickMenu(main(), "mnuClose");
  backend.dialogAnswers.push_back(bad);
  backend.clickMenu(main(), "mnuOpen");
  EXPECT_EQ(control(main().Flash).notice(), droppedNotice);
  EXPECT_TRUE(backend.untrappedErrors.empty());

  const std::string good = ORV_BUILD_DIR "/demo.swf";
  backend.dropFiles(main(), {good});
  EXPECT_TRUE(control(main().Flash).player().loaded());
  EXPECT_TRUE(control(main().Flash).playing());
  EXPECT_TRUE(control(main().Flash).notice().empty());
  EXPECT_EQ(full().Flash.Movie(), good);
}

}  // namespace
}  // namespace orv::testing
