// The movie control takes the mouse in its own pixels and hands it to the movie through
// the view it draws with (zoomed or not).
#include <gtest/gtest.h>

// Designated initialisers leave the optional fields of the tag builders empty.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <filesystem>
#include <fstream>

#include "movie/interaction/button_movies.h"
#include "player/player_control.h"
#include "runtime/form.h"
#include "runtime/headless/headless_backend.h"
#include "runtime/runtime.h"
#include "temp_dir.h"

namespace orv {
namespace {
namespace t = movie::test;

class Host : public Form {
 public:
  explicit Host(Runtime& rt)
      : Form(rt, "frmFlash", FormDesign{}),
        Flash(*this, "Flash", {0, 0, 8250, 6000}, 0, FlashSettings{}) {}
  PlayerControl Flash;  // 550 x 400 pixels at 15 twips a pixel
};

// A 550x400 px stage, two frames; a 2000-twip square button at (5000, 3500) whose
// release stops the movie.
std::string writeButtonMovie(const orv::test::TempDir& folder) {
  auto button = t::defineButton2(10, {{.up = true, .hit = true, .character = 1}},
                                 {{0x08, 0, {t::kActionStop, 0}}});
  auto bytes = t::movie(
      t::concat({t::defineRect(1, 2000, 2000, 255, 0, 0), button,
                 t::placeObject2({.depth = 1, .character = 10, .translate = {{5000, 3500}}}),
                 t::showFrame(), t::showFrame()}),
      {.frameCount = 2});
  return folder.write("button.swf", bytes);
}

TEST(PlayerControlMouse, PixelsReachTheMovieThroughTheViewAndAClickRunsTheButton) {
  headless::HeadlessBackend backend;
  Runtime runtime{backend};
  Host host{runtime};
  host.Show();
  const orv::test::TempDir folder("orv-control-mouse");
  const std::string path = writeButtonMovie(folder);
  host.Flash.setMovie(path);
  ASSERT_TRUE(host.Flash.player().loaded());

  // Whole stage: the button covers pixels 250..350 x 175..275.
  host.Flash.mouseMove(300, 225);
  EXPECT_TRUE(host.Flash.handCursor());
  host.Flash.mouseMove(400, 330);
  EXPECT_FALSE(host.Flash.handCursor());

  // Zoomed in on the centre, the same pixel lands on the button.
  host.Flash.Zoom(50);
  const auto [sx, sy] = host.Flash.stagePoint(400, 330);
  EXPECT_NEAR(sx, 2750 + 400.5 * 10, 1e-6);
  EXPECT_NEAR(sy, 2000 + 330.5 * 10, 1e-6);
  host.Flash.mouseMove(400, 330);
  EXPECT_TRUE(host.Flash.handCursor());

  host.Flash.Play();
  host.Flash.mouseDown(400, 330);
  EXPECT_TRUE(host.Flash.playing());
  host.Flash.mouseUp(400, 330);
  EXPECT_FALSE(host.Flash.playing()) << "the button's release action stops the movie";

  // Without a movie the mouse goes nowhere.
  host.Flash.setMovie("");
  host.Flash.mouseDown(10, 10);
  host.Flash.mouseUp(10, 10);
  EXPECT_FALSE(host.Flash.handCursor());
}

TEST(PlayerControlMouse, TabAndEnterReachTheMovieThroughTheControl) {
  headless::HeadlessBackend backend;
  Runtime runtime{backend};
  Host host{runtime};
  host.Show();
  const orv::test::TempDir folder("orv-control-mouse");
  const std::string path = writeButtonMovie(folder);
  host.Flash.setMovie(path);
  ASSERT_TRUE(host.Flash.player().loaded());
  host.Flash.Play();
  host.Flash.keyDown(13);
  host.Flash.keyUp(13);
  EXPECT_TRUE(host.Flash.playing()) << "Enter with nothing focused";
  host.Flash.keyDown(9);  // Tab: the button takes the focus
  host.Flash.keyUp(9);
  host.Flash.keyDown(13);
  host.Flash.keyUp(13);
  EXPECT_FALSE(host.Flash.playing())
      << "Enter pressed and released the focused button: its action stops the movie";
}

}  // namespace
}  // namespace orv
