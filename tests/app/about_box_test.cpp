// The about box: placement, music, closing.
#include "app_fixture.h"

namespace orv::testing {
namespace {

class AboutBox : public ProgramFixture {
 protected:
  void SetUp() override { started(); }
  void withMusicFile() { std::ofstream(dir / "lumvex.mp3") << "ID3"; }
};

TEST_F(AboutBox, IsPlacedRelativeToTheMainWindowWhereverItStands) {
  for (TwipsRect r : {TwipsRect{1035, 690, 9090, 6015}, TwipsRect{3000, 1500, 6000, 4500},
                      TwipsRect{-1500, 0, 12000, 9000}}) {
    backend.userSetBounds(main(), r);
    float left = 0, top = 0;
    backend.whileModal = [&](Form& box) {
      left = box.Left();
      top = box.Top();
      EXPECT_FALSE(headless::HeadlessBackend::peerOf(main())->enabled());
      static_cast<frmAbout&>(box).Command1.click();
    };
    main().mnuAbout_Click();
    const float expectLeft = main().Left() + main().Width() / 5.0f;
    const float expectTop = main().Top() + main().Height() / 4.0f;
    EXPECT_NEAR(left, expectLeft, 15) << "whole pixels";
    EXPECT_NEAR(top, expectTop, 15);
  }
  EXPECT_TRUE(headless::HeadlessBackend::peerOf(main())->enabled())
      << "input returns after the box closes";
}

TEST_F(AboutBox, PlaysTheMusicWhileOpenAndStopsWhenClosed) {
  withMusicFile();
  bool playingWhileOpen = false;
  backend.whileModal = [&](Form& box) {
    playingWhileOpen = musicAlive == 1;
    backend.advance(50);  // the main window's timers go on meanwhile
    static_cast<frmAbout&>(box).Command1.click();
  };
  main().mnuAbout_Click();
  EXPECT_TRUE(playingWhileOpen);
  EXPECT_EQ(musicAlive, 0) << "closing stops the music at once";
  ASSERT_EQ(musicStarts.size(), 1u);
  EXPECT_EQ(musicStarts[0], dir.string() + "\\lumvex.mp3");
  EXPECT_EQ(lastMusicSettings.PlayCount, 20);
  EXPECT_EQ(lastMusicSettings.Volume, 0);
  main().mnuAbout_Click();  // no modal action: closed by the command's own unload
  EXPECT_EQ(musicStarts.size(), 2u) << "a fresh player each time";
  EXPECT_EQ(musicAlive, 0);
}

TEST_F(AboutBox, TheCloseBoxEndsItToo) {
  withMusicFile();
  backend.whileModal = [&](Form& box) { backend.closeWindow(box); };
  main().mnuAbout_Click();
  EXPECT_EQ(musicAlive, 0);
  EXPECT_EQ(runtime.loadedForms().size(), 1u);
}

TEST_F(AboutBox, OpensSilentlyWithoutOrWithABrokenMusicFile) {
  bool opened = false;
  backend.whileModal = [&](Form& box) { opened = box.Visible(); };
  main().mnuAbout_Click();
  EXPECT_TRUE(opened);
  EXPECT_TRUE(musicStarts.empty()) << "no file, no player";
  withMusicFile();
  musicFails = true;
  opened = false;
  main().mnuAbout_Click();
  EXPECT_TRUE(opened);
  EXPECT_EQ(musicStarts.size(), 1u);
  EXPECT_TRUE(backend.untrappedErrors.empty());
}

}  // namespace
}  // namespace orv::testing
