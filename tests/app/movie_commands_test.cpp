// Open, Close, the playback and view commands, and the menu-state timer.
#include "app_fixture.h"

namespace orv::testing {
namespace {

class MovieCommands : public ProgramFixture {
 protected:
  void SetUp() override { started(); }
  void open(const std::string& path) {
    backend.dialogAnswers.push_back(path);
    backend.clickMenu(main(), "mnuOpen");
  }
  size_t mark() const { return calls.size(); }
  using V = std::vector<std::string>;
};

TEST_F(MovieCommands, OpenLoadsBothControlsInOrder) {
  const size_t m = mark();
  open("C:\\a.swf");
  EXPECT_EQ(callsFrom(m),
            (V{"main.Stop", "main.BackgroundColor=-1", "main.BGColor=", "main.Zoom 0",
               "main.Movie=C:\\a.swf", "main.Play", "full.Movie=C:\\a.swf",
               "full.BackgroundColor=-1", "full.BGColor=", "full.Zoom 0", "full.Stop"}));
  EXPECT_EQ(main().openedFile, "C:\\a.swf");
  EXPECT_FALSE(main().mnuZout.Enabled());
  EXPECT_TRUE(main().mnuShow.Checked());
  EXPECT_TRUE(main().mnuPlay.Checked());
  EXPECT_FALSE(full().Visible()) << "the full-screen window is created hidden";
  ASSERT_EQ(backend.dialogRequests.size(), 1u);
  EXPECT_EQ(backend.dialogRequests[0].filter, "Flash (*.swf,*.spl)|*.swf;*.spl");
  EXPECT_EQ(backend.dialogRequests[0].title, "");
  EXPECT_EQ(backend.dialogRequests[0].initialDirectory, "");
}

TEST_F(MovieCommands, ChoosingTheLoadedMovieRewindsInsteadOfReloading) {
  open("C:\\a.swf");
  backend.clickMenu(main(), "mnuPlay");  // unchecks Play
  const size_t m = mark();
  open("C:\\a.swf");
  EXPECT_EQ(callsFrom(m), (V{"main.Rewind", "full.Stop"}));
  EXPECT_FALSE(main().mnuPlay.Checked()) << "no menu change";
  EXPECT_EQ(backend.dialogRequests.back().fileName, "C:\\a.swf") << "the dialog keeps its name";
}

TEST_F(MovieCommands, CancellingTheDialogChangesNothing) {
  open("C:\\a.swf");
  main().mnuZin_Click();
  const size_t m = mark();
  backend.clickMenu(main(), "mnuOpen");  // no answer queued: the user cancels
  EXPECT_EQ(callsFrom(m), V{});
  EXPECT_TRUE(main().mnuZout.Enabled());
  EXPECT_EQ(main().Common.FileName(), "C:\\a.swf");
  EXPECT_TRUE(backend.untrappedErrors.empty());
}

TEST_F(MovieCommands, CloseUnloadsTheMainControlAndResetsBothViews) {
  open("C:\\a.swf");
  const size_t m = mark();
  backend.clickMenu(main(), "mnuClose");
  EXPECT_EQ(
      callsFrom(m),
      (V{"main.Stop", "main.BackgroundColor=-1", "main.BGColor=", "main.Movie=", "main.Zoom 0",
         "full.BackgroundColor=-1", "full.BGColor=", "full.Zoom 0", "full.Stop"}));
  EXPECT_EQ(fullControl->movie, "C:\\a.swf") << "the full-screen control keeps its movie";
  EXPECT_FALSE(main().mnuPlay.Checked());
  EXPECT_EQ(main().openedFile, "C:\\a.swf");
  const size_t again = mark();
  open("C:\\a.swf");
  EXPECT_EQ(calls[again + 4], "main.Movie=C:\\a.swf") << "after Close the same file loads in full";
}

TEST_F(MovieCommands, CloseWithNothingLoadedIsHarmless) {
  backend.clickMenu(main(), "mnuClose");
  EXPECT_TRUE(backend.untrappedErrors.empty());
  EXPECT_FALSE(main().mnuZout.Enabled());
  EXPECT_TRUE(main().mnuShow.Checked());
}

TEST_F(MovieCommands, PlayTogglesAndStepsUncheckIt) {
  open("C:\\a.swf");
  backend.advance(10);
  size_t m = mark();
  ASSERT_TRUE(backend.pressShortcut(main(), 'P'));
  EXPECT_FALSE(main().mnuPlay.Checked());
  ASSERT_TRUE(backend.pressShortcut(main(), 'P'));
  EXPECT_TRUE(main().mnuPlay.Checked());
  ASSERT_TRUE(backend.pressShortcut(main(), 'F'));
  ASSERT_TRUE(backend.pressShortcut(main(), 'B'));
  EXPECT_EQ(callsFrom(m), (V{"main.Stop", "main.Play", "main.Forward", "main.Back"}));
  EXPECT_FALSE(main().mnuPlay.Checked());
  m = mark();
  ASSERT_TRUE(backend.pressShortcut(main(), 'P'));
  EXPECT_EQ(callsFrom(m), V{"main.Play"});
}

TEST_F(MovieCommands, RewindReloadsAndStartsWithoutTouchingThePlayMark) {
  open("C:\\a.swf");
  main().mnuPlay_Click();
  const size_t m = mark();
  main().mnuRewind_Click();
  EXPECT_EQ(callsFrom(m),
            (V{"main.Movie=", "main.Play", "main.Movie=C:\\a.swf", "main.Rewind", "main.Play"}));
  EXPECT_FALSE(main().mnuPlay.Checked());
}

TEST_F(MovieCommands, LoopActsOnBothControls) {
  size_t m = mark();
  main().mnuLoop_Click();
  EXPECT_EQ(callsFrom(m), (V{"main.Loop=false", "full.Loop=false"}));
  EXPECT_FALSE(main().mnuLoop.Checked());
  m = mark();
  main().mnuLoop_Click();
  EXPECT_EQ(callsFrom(m), (V{"main.Loop=true", "full.Loop=true"}));
  EXPECT_TRUE(main().mnuLoop.Checked());
}

TEST_F(MovieCommands, HighQualityTogglesBothControls) {
  size_t m = mark();
  main().mnuQuality_Click();
  EXPECT_EQ(callsFrom(m), (V{"main.Quality=4", "full.Quality=4"}));
  EXPECT_EQ(main().highQuality, 0);
  EXPECT_FALSE(main().mnuQuality.Checked());
  m = mark();
  main().mnuQuality_Click();
  EXPECT_EQ(callsFrom(m), (V{"main.Quality=1", "full.Quality=1"}));
  EXPECT_EQ(main().highQuality, 1);
}

TEST_F(MovieCommands, ZoomInAndOutKeepTheCountAndZoomOutState) {
  main().mnuZin_Click();
  EXPECT_TRUE(main().mnuZout.Enabled());
  EXPECT_FALSE(main().mnuShow.Checked());
  const size_t m = mark();
  main().mnuZout_Click();
  EXPECT_EQ(callsFrom(m), (V{"main.Zoom 170", "full.Zoom 170"}));
  EXPECT_FALSE(main().mnuZout.Enabled());
  EXPECT_FALSE(main().mnuShow.Checked()) << "Zoom Out leaves Show All alone";
  EXPECT_EQ(main().zoomInCount, 0);
}

TEST_F(MovieCommands, ZoomInTwiceThenOpenThenTheCountStillRules) {
  main().mnuZin_Click();
  main().mnuZin_Click();
  open("C:\\a.swf");
  EXPECT_FALSE(main().mnuZout.Enabled());
  EXPECT_EQ(main().zoomInCount, 2);
  main().mnuZin_Click();
  EXPECT_TRUE(main().mnuZout.Enabled());
  main().mnuZout_Click();
  main().mnuZout_Click();
  EXPECT_TRUE(main().mnuZout.Enabled());
  main().mnuZout_Click();
  EXPECT_FALSE(main().mnuZout.Enabled());
}

TEST_F(MovieCommands, ShowAllHasThreeCases) {
  size_t m = mark();
  main().mnuShow_Click();
  EXPECT_EQ(callsFrom(m), V{}) << "checked and never zoomed: no call";
  main().mnuZin_Click();
  m = mark();
  main().mnuShow_Click();
  EXPECT_EQ(callsFrom(m), V{"main.Zoom 0"});
  EXPECT_TRUE(main().mnuShow.Checked());
  m = mark();
  main().mnuShow_Click();
  EXPECT_EQ(callsFrom(m), V{"main.Zoom 0"}) << "checked but zoomed in: whole movie again";
}

TEST_F(MovieCommands, MenuStateTimerGovernsExactlySevenEntries) {
  auto governed = [&] {
    return V{main().mnuPlay.Enabled() ? "Play" : "-",   main().mnuRewind.Enabled() ? "Rewind" : "-",
             main().mnuStepF.Enabled() ? "StepF" : "-", main().mnuBack.Enabled() ? "Back" : "-",
             main().mnuLoop.Enabled() ? "Loop" : "-",   main().mnuShow.Enabled() ? "Show" : "-",
             main().mnuZin.Enabled() ? "Zin" : "-"};
  };
  EXPECT_EQ(governed(), (V{"Play", "Rewind", "StepF", "Back", "Loop", "Show", "Zin"}))
      << "start states hold until the first tick";
  backend.advance(10);
  EXPECT_EQ(governed(), (V{"-", "-", "-", "-", "-", "-", "-"}));
  EXPECT_TRUE(main().mnuLoop.Checked()) << "check marks stay while disabled";
  EXPECT_TRUE(main().mnuShow.Checked());
  EXPECT_TRUE(main().mnuQuality.Enabled());
  EXPECT_TRUE(main().mnuFullScreen.Enabled());
  open("C:\\a.swf");
  backend.advance(10);
  EXPECT_EQ(governed(), (V{"Play", "Rewind", "StepF", "Back", "Loop", "Show", "Zin"}));
  EXPECT_FALSE(main().mnuZout.Enabled()) << "Zoom Out is not the timer's";
  backend.clickMenu(main(), "mnuClose");
  backend.advance(10);
  EXPECT_EQ(governed(), (V{"-", "-", "-", "-", "-", "-", "-"}));
}

TEST_F(MovieCommands, PlaybackCommandsTouchOnlyTheMainControl) {
  open("C:\\a.swf");
  const size_t m = mark();
  main().mnuPlay_Click();
  main().mnuRewind_Click();
  main().mnuStepF_Click();
  main().mnuBack_Click();
  for (const auto& call : callsFrom(m)) EXPECT_EQ(call.rfind("main.", 0), 0u) << call;
}

}  // namespace
}  // namespace orv::testing
