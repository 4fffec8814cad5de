// The real movie control: our engine behind the operations the windows call.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/recording_output.h"
#include "player/player_control.h"
#include "runtime/form.h"
#include "runtime/headless/headless_backend.h"
#include "runtime/runtime.h"
#include "temp_dir.h"

namespace orv {
namespace {

const std::string kDemo = ORV_BUILD_DIR "/demo.swf";  // 550x400 px, 24 fps, 48 frames

class Host : public Form {
 public:
  explicit Host(Runtime& rt)
      : Form(rt, "frmFlash", FormDesign{}),
        Flash(*this, "Flash", {0, 0, 8250, 6000}, 0, settings()) {}
  static FlashSettings settings() {
    FlashSettings s;
    s.Quality2 = "High";
    return s;
  }
  PlayerControl Flash;
};

class PlayerControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kDemo)) << "the build draws demo.swf";
    host.Show();
  }
  headless::HeadlessControlPeer& surface() {
    return *static_cast<headless::HeadlessControlPeer*>(
        dynamic_cast<headless::HeadlessControlPeer*>(peerOfFlash()));
  }
  ControlPeer* peerOfFlash() { return reinterpret_cast<PeerAccess&>(host.Flash).peer(); }
  struct PeerAccess : PlayerControl {
    using PlayerControl::peer;
  };
  headless::HeadlessBackend backend;
  Runtime runtime{backend};
  Host host{runtime};
};

TEST_F(PlayerControlTest, ALoadedMovieWaitsAtItsFirstFrameUntilPlay) {
  host.Flash.setMovie(kDemo);
  EXPECT_EQ(host.Flash.Movie(), kDemo);
  EXPECT_EQ(host.Flash.CurrentFrame(), 0);
  backend.advance(500);
  EXPECT_EQ(host.Flash.CurrentFrame(), 0) << "a loaded movie does not start by itself";
  host.Flash.Play();
  backend.advance(1000);
  EXPECT_NEAR(host.Flash.CurrentFrame(), 24, 2) << "24 frames a second";
  host.Flash.Stop();
  const int stopped = host.Flash.CurrentFrame();
  backend.advance(500);
  EXPECT_EQ(host.Flash.CurrentFrame(), stopped);
}

TEST_F(PlayerControlTest, StepsGotoAndRewind) {
  host.Flash.setMovie(kDemo);
  host.Flash.Forward();
  host.Flash.Forward();
  EXPECT_EQ(host.Flash.CurrentFrame(), 2);
  host.Flash.Back();
  EXPECT_EQ(host.Flash.CurrentFrame(), 1);
  host.Flash.GotoFrame(30);
  EXPECT_EQ(host.Flash.CurrentFrame(), 30);
  host.Flash.GotoFrame(-1);
  EXPECT_EQ(host.Flash.CurrentFrame(), 0) << "a frame below 0 shows frame 0";
  host.Flash.GotoFrame(5000);
  EXPECT_EQ(host.Flash.CurrentFrame(), 47);
  host.Flash.Rewind();
  EXPECT_EQ(host.Flash.CurrentFrame(), 0);
}

TEST_F(PlayerControlTest, LoopOffStopsAtTheLastFrame) {
  host.Flash.setMovie(kDemo);
  host.Flash.setLoop(false);
  host.Flash.Play();
  backend.advance(4000);
  EXPECT_EQ(host.Flash.CurrentFrame(), 47);
  host.Flash.setLoop(true);
  host.Flash.Rewind();
  host.Flash.Play();
  backend.advance(2100);
  EXPECT_LT(host.Flash.CurrentFrame(), 47) << "looping wraps to the first frame";
}

TEST_F(PlayerControlTest, ZoomNarrowsAndWidensAroundTheCentre) {
  host.Flash.setMovie(kDemo);
  const movie::ViewRect whole = host.Flash.view();
  EXPECT_EQ(whole.width, 11000);
  host.Flash.Zoom(60);
  EXPECT_NEAR(host.Flash.view().width, 6600, 1e-6);
  EXPECT_NEAR(host.Flash.view().x + host.Flash.view().width / 2, 5500, 1e-6);
  host.Flash.Zoom(170);
  EXPECT_NEAR(host.Flash.view().width, 11220, 1e-6) << "170 is not the inverse of 60";
  host.Flash.Zoom(0);
  EXPECT_EQ(host.Flash.view().width, whole.width);
  EXPECT_EQ(host.Flash.view().height, whole.height);
}

TEST_F(PlayerControlTest, FramesReachTheSurfaceAtTheControlsPixelSize) {
  host.Flash.setMovie(kDemo);
  auto& s = surface();
  EXPECT_EQ(s.frameWidth_, 550);
  EXPECT_EQ(s.frameHeight_, 400);
  const int before = s.framesPresented_;
  host.Flash.Play();
  backend.advance(200);
  EXPECT_GT(s.framesPresented_, before);
  // The demo's backdrop colour fills the top-left corner.
  EXPECT_EQ(s.frame_[0], 0xFFE8EEF7u);
  host.Flash.setWidth(4125);
  EXPECT_EQ(s.frameWidth_, 275);
}

TEST_F(PlayerControlTest, QualityFollowsTheViewMenuValues) {
  EXPECT_EQ(host.Flash.quality(), movie::Quality::High) << "stored High";
  host.Flash.setQuality(4);
  EXPECT_EQ(host.Flash.quality(), movie::Quality::Medium);
  host.Flash.setQuality(1);
  EXPECT_EQ(host.Flash.quality(), movie::Quality::High);
}

TEST_F(PlayerControlTest, AFileThatIsNotAMovieLeavesANoticeAndNoError) {
  const orv::test::TempDir folder("orv-control");
  const auto bad = folder / "not-a-movie.swf";
  std::ofstream(bad) << "GIF89a this is not a movie";
  host.Flash.setMovie(bad.string());
  EXPECT_EQ(host.Flash.Movie(), bad.string()) << "the control keeps the path it was given";
  EXPECT_FALSE(host.Flash.notice().empty());
  EXPECT_EQ(surface().notice_, host.Flash.notice());
  host.Flash.Play();
  host.Flash.Zoom(60);
  EXPECT_EQ(host.Flash.CurrentFrame(), 0);
  host.Flash.setMovie("");
  EXPECT_TRUE(host.Flash.notice().empty());
  host.Flash.setMovie((folder / "missing.swf").string());
  EXPECT_FALSE(host.Flash.notice().empty());
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST(PlayerControlSound, TheOutputOpensWithTheFirstMovieAndIsDetachedOnDestruction) {
  headless::HeadlessBackend backend;
  Runtime runtime{backend};
  Form host(runtime, "frmFlash", FormDesign{});
  int opened = 0;
  movie::sound::RecordingOutput* output = nullptr;
  auto factory = playerControlsWithSound([&]() -> std::unique_ptr<movie::sound::AudioOutput> {
    ++opened;
    auto out = std::make_unique<movie::sound::RecordingOutput>();
    output = out.get();
    return out;
  });
  {
    auto control = factory(host, "Flash", {0, 0, 8250, 6000}, 0, FlashSettings{});
    host.Show();
    EXPECT_EQ(opened, 0) << "no movie, no sound device";
    control->setMovie(kDemo);
    control->setMovie("");
    control->setMovie(kDemo);
    EXPECT_EQ(opened, 1);
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(output->started());
  }
}

}  // namespace
}  // namespace orv
