// Entering full screen, leaving it with Escape, and closing it any other way.
#include "app_fixture.h"

namespace orv::testing {
namespace {

class FullScreen : public ProgramFixture {
 protected:
  void SetUp() override {
    backend.screenFacts = {1024, 768, 15, 15};
    started();
    backend.dialogAnswers.push_back(std::string("C:\\a.swf"));
    main().mnuOpen_Click();
  }
  using V = std::vector<std::string>;
};

TEST_F(FullScreen, TheWindowIsLaidOverTheWholeScreenAtLoad) {
  frmVt& vt = full();
  EXPECT_EQ(vt.Left(), 0);
  EXPECT_EQ(vt.Top(), 0);
  EXPECT_EQ(vt.Width(), 15360);
  EXPECT_EQ(vt.Height(), 11520);
  EXPECT_EQ(vt.Flash.bounds(), (TwipsRect{0, 0, 15420, 11520})) << "60 twips wider than the screen";
}

TEST_F(FullScreen, EnteringHandsOverOneFrameBackAndParksThePointer) {
  mainControl->frame = 7;
  const size_t m = calls.size();
  ASSERT_TRUE(backend.pressShortcut(main(), 'S'));
  EXPECT_EQ(callsFrom(m), (V{"full.BackgroundColor=-1", "full.BGColor=", "full.Movie=C:\\a.swf",
                             "full.GotoFrame 6", "full.Play", "full.Zoom 0", "main.Stop"}));
  EXPECT_EQ(main().fullScreenFrame, 6);
  EXPECT_FALSE(main().Visible());
  EXPECT_TRUE(full().Visible());
  EXPECT_TRUE(full().Timer1.Enabled());
  EXPECT_EQ(api().cursorX(), 1023) << "SetCursorPos(11620, 15460) lands in the corner";
  EXPECT_EQ(api().cursorY(), 767);
}

TEST_F(FullScreen, EscapeHandsBackOneFrameAndShowsTheMainWindow) {
  main().mnuFullScreen_Click();
  fullControl->frame = 12;
  backend.advance(30);
  EXPECT_TRUE(full().Visible()) << "no Escape, no change";
  const size_t m = calls.size();
  api().keyDown(VK_ESCAPE_);
  backend.advance(10);
  api().keyUp(VK_ESCAPE_);
  EXPECT_EQ(callsFrom(m), (V{"main.GotoFrame 11", "main.Play", "main.Zoom 0", "full.Stop"}));
  EXPECT_EQ(full().returnFrame, 11);
  EXPECT_TRUE(main().Visible());
  EXPECT_FALSE(full().Visible());
  EXPECT_FALSE(full().Timer1.Enabled());
  EXPECT_TRUE(program->fullScreenExists()) << "hidden, not unloaded";
}

TEST_F(FullScreen, WithPlayUncheckedTheMovieStandsAndMovesTwoFramesBack) {
  main().mnuStepF_Click();  // unchecks Play
  mainControl->frame = 5;
  size_t m = calls.size();
  main().mnuFullScreen_Click();
  EXPECT_EQ(calls.back(), "full.Stop");
  EXPECT_EQ(fullControl->frame, 4);
  m = calls.size();
  api().keyPress(VK_ESCAPE_);  // released before the tick: the low bit still counts
  backend.advance(10);
  EXPECT_EQ(callsFrom(m),
            (V{"main.GotoFrame 3", "main.Play", "main.Zoom 0", "full.Stop", "main.StopPlay"}));
  EXPECT_EQ(mainControl->frame, 3);
}

TEST_F(FullScreen, FrameZeroIsHandedOverAsMinusOne) {
  mainControl->frame = 0;
  main().mnuFullScreen_Click();
  EXPECT_EQ(main().fullScreenFrame, -1);
  fullControl->frame = 0;
  api().keyPress(VK_ESCAPE_);
  backend.advance(10);
  EXPECT_EQ(full().returnFrame, -1);
}

TEST_F(FullScreen, NoMenuStateChangesEitherWay) {
  main().mnuZin_Click();
  const bool play = main().mnuPlay.Checked(), show = main().mnuShow.Checked(),
             zout = main().mnuZout.Enabled();
  main().mnuFullScreen_Click();
  api().keyPress(VK_ESCAPE_);
  backend.advance(10);
  EXPECT_EQ(main().mnuPlay.Checked(), play);
  EXPECT_EQ(main().mnuShow.Checked(), show);
  EXPECT_EQ(main().mnuZout.Enabled(), zout);
  EXPECT_EQ(main().zoomInCount, 1);
}

TEST_F(FullScreen, ClosingTheWindowOtherwiseReturnsAsEscapeDoes) {
  main().mnuFullScreen_Click();
  fullControl->frame = 9;
  const size_t m = calls.size();
  backend.closeWindow(full());  // Alt+F4
  EXPECT_EQ(callsFrom(m), (V{"main.GotoFrame 8", "main.Play", "main.Zoom 0", "full.Stop"}));
  EXPECT_TRUE(main().Visible());
  EXPECT_FALSE(full().Visible());
  EXPECT_TRUE(full().loaded());
  EXPECT_FALSE(full().Timer1.Enabled());
}

TEST_F(FullScreen, WithNoMovieTheEmptyWindowStillComesAndGoes) {
  main().mnuClose_Click();
  main().mnuFullScreen_Click();
  EXPECT_TRUE(full().Visible());
  EXPECT_EQ(fullControl->movie, "");
  api().keyPress(VK_ESCAPE_);
  backend.advance(10);
  EXPECT_TRUE(main().Visible());
}

TEST_F(FullScreen, TheMainTimersGoOnWhileItIsHidden) {
  main().mnuFullScreen_Click();
  api().clearCalls();
  backend.advance(10);
  EXPECT_NE(std::find(api().calls().begin(), api().calls().end(),
                      "WritePrivateProfileStringA Width= 9090"),
            api().calls().end());
}

}  // namespace
}  // namespace orv::testing
