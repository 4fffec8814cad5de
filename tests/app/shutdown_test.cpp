// Resizing, closing, Exit and Original Size.
#include "app_fixture.h"

namespace orv::testing {
namespace {

using Geometry = ProgramFixture;

TEST_F(Geometry, TheControlFollowsTheWindowBelowTheMenuBand) {
  started();
  main().setWidth(7500);
  main().setHeight(5010);
  EXPECT_EQ(main().Flash.Width(), 7500);
  EXPECT_EQ(main().Flash.Height(), 5010 - 650);
  EXPECT_EQ(main().Flash.Left(), -45);
  EXPECT_EQ(main().Flash.Top(), -45);
}

TEST_F(Geometry, AWindowLowerThan650TwipsLeavesTheControlAlone) {
  started();
  main().setWidth(4500);
  const TwipsRect before = main().Flash.bounds();
  main().setHeight(600);
  EXPECT_EQ(main().Flash.bounds(), before) << "the height fails first, so the width stays";
  const TwipsRect low = main().Flash.bounds();
  main().setWidth(3000);
  EXPECT_EQ(main().Flash.bounds(), low) << "the height fails first, so the width stays";
  EXPECT_TRUE(backend.untrappedErrors.empty());
}

TEST_F(Geometry, OriginalSizeOnNormalAndOnMaximisedWindows) {
  started();
  main().setWindowState(WindowState::Maximized);
  main().mnuOS_Click();
  EXPECT_EQ(main().windowState(), WindowState::Normal);
  EXPECT_EQ(main().Width(), 7305) << "the recovery path's width";
  EXPECT_EQ(main().Height(), 6015);
  EXPECT_EQ(main().Left(), 1035);
  EXPECT_EQ(main().Top(), 690);
  main().setWindowState(WindowState::Minimized);
  main().mnuOS_Click();
  EXPECT_EQ(main().Width(), 7305);
  main().mnuOS_Click();
  main().mnuOS_Click();
  EXPECT_EQ(main().Width(), 9090) << "twice equals once on a normal window";
}

TEST_F(Geometry, MinimisedWindowsAreSavedAsTheyReportThemselves) {
  started();
  main().setWindowState(WindowState::Minimized);
  backend.advance(10);
  EXPECT_NE(iniText().find("Left=-480000"), std::string::npos) << iniText();
}

using Shutdown = ProgramFixture;

TEST_F(Shutdown, ClosingStopsTheMovieSavesAndUnloadsTheFullScreenWindow) {
  started();
  backend.userSetBounds(main(), {1500, 900, 7500, 4500});
  const size_t m = calls.size();
  backend.closeWindow(main());
  EXPECT_EQ(std::vector<std::string>(calls.begin() + static_cast<long>(m),
                                     calls.begin() + static_cast<long>(m) + 3),
            (std::vector<std::string>{"main.Stop", "main.StopPlay", "main.Movie="}));
  EXPECT_NE(iniText().find("Left= 1500\r\nTop= 900\r\nHeight= 4500\r\nWidth= 7500"),
            std::string::npos)
      << iniText();
  EXPECT_FALSE(program->fullScreenExists()) << "created only to be unloaded";
  EXPECT_FALSE(main().loaded());
  EXPECT_TRUE(backend.programEnded);
  EXPECT_FALSE(backend.endCalled);
}

TEST_F(Shutdown, ANewerInstancesCloseMessageRunsTheSameUnload) {
  started();
  main().mnuFullScreen_Click();  // even while full screen is on
  main().onCloseRequested();
  EXPECT_FALSE(main().loaded());
  EXPECT_FALSE(program->fullScreenExists());
  EXPECT_TRUE(backend.programEnded);
}

TEST_F(Shutdown, ExitEndsAtOnceWithoutTheUnloadHandler) {
  started();
  backend.advance(10);
  backend.userSetBounds(main(), {1500, 900, 7500, 4500});
  const std::string saved = iniText();
  const size_t m = calls.size();
  ASSERT_TRUE(backend.pressShortcut(main(), 'Q'));
  EXPECT_TRUE(backend.endCalled);
  EXPECT_EQ(calls.size(), m) << "no handler ran";
  EXPECT_EQ(iniText(), saved) << "the file keeps the last tick's geometry";
}

}  // namespace
}  // namespace orv::testing
