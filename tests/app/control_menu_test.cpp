// The movie control's own context menu: its entries for each state of the control, and
// what choosing them does to that control (and to nothing else).
#include <gtest/gtest.h>

#include <filesystem>

#include "app_fixture.h"
#include "movie/interaction/button_movies.h"
#include "movie/interaction/menu_movies.h"
#include "player/control_menu.h"
#include "player/player_control.h"

namespace orv {
namespace {
namespace t = movie::test;

const std::string kDemo = ORV_BUILD_DIR "/demo.swf";  // 550x400 px, 24 fps, 48 frames

// The menu as one line per entry: "Caption [x] (off)", "-" for separators, submenus
// indented after their entry.
std::vector<std::string> describe(const std::vector<PopupEntry>& entries,
                                  const std::string& indent = "") {
  std::vector<std::string> lines;
  for (const PopupEntry& e : entries) {
    if (e.separator()) {
      lines.push_back(indent + "-");
      continue;
    }
    lines.push_back(indent + e.caption + (e.checked ? " [x]" : "") + (e.enabled ? "" : " (off)"));
    for (const std::string& inner : describe(e.submenu, indent + "  ")) lines.push_back(inner);
  }
  return lines;
}

using Lines = std::vector<std::string>;

ControlMenuState movieState() {
  ControlMenuState s;
  s.loaded = true;
  s.frameCount = 48;
  s.playing = true;
  s.looping = true;
  s.quality = movie::Quality::High;
  return s;
}

TEST(ControlMenuModel, APlayingMovieOffersEverythingWithPlayLoopAndQualityChecked) {
  EXPECT_EQ(describe(buildControlMenu(movieState())),
            (Lines{"Zoom In", "Zoom Out (off)", "Show All", "-", "Quality", "  Low", "  Medium",
                   "  High [x]", "-", "Play [x]", "Loop [x]", "-", "Rewind", "Forward", "Back", "-",
                   "About Orvanta..."}));
}

TEST(ControlMenuModel, EntriesFollowPlayingLoopingZoomAndQuality) {
  ControlMenuState s = movieState();
  s.playing = false;
  s.looping = false;
  s.zoomedIn = true;
  s.quality = movie::Quality::Low;
  EXPECT_EQ(
      describe(buildControlMenu(s)),
      (Lines{"Zoom In", "Zoom Out", "Show All", "-", "Quality", "  Low [x]", "  Medium", "  High",
             "-", "Play", "Loop", "-", "Rewind", "Forward", "Back", "-", "About Orvanta..."}));
  s.quality = movie::Quality::Medium;
  EXPECT_EQ(describe(buildControlMenu(s))[6], "  Medium [x]");
  s.quality = movie::Quality::Best;  // the full-screen control's start quality
  EXPECT_EQ(describe(buildControlMenu(s))[7], "  High [x]");
}

TEST(ControlMenuModel, OneFrameMovieHasNothingToPlayOrStep) {
  ControlMenuState s = movieState();
  s.frameCount = 1;
  EXPECT_EQ(describe(buildControlMenu(s)),
            (Lines{"Zoom In", "Zoom Out (off)", "Show All", "-", "Quality", "  Low", "  Medium",
                   "  High [x]", "-", "Play [x] (off)", "Loop [x] (off)", "-", "Rewind (off)",
                   "Forward (off)", "Back (off)", "-", "About Orvanta..."}));
}

TEST(ControlMenuModel, WithoutAMovieOnlyAboutCanBeChosen) {
  ControlMenuState s;
  s.playing = true;  // a stale flag shows no check without a movie
  s.looping = true;
  std::vector<MovieMenuItem> items{{"Left over", true, true, false, [] {}}};
  EXPECT_EQ(
      describe(buildControlMenu(s, items)),
      (Lines{"Zoom In (off)", "Zoom Out (off)", "Show All (off)", "-", "Quality (off)",
             "  Low (off)", "  Medium (off)", "  High [x] (off)", "-", "Play (off)", "Loop (off)",
             "-", "Rewind (off)", "Forward (off)", "Back (off)", "-", "About Orvanta..."}));
  const auto menu = buildControlMenu(s);
  EXPECT_EQ(findPopupEntry(menu, static_cast<int>(ControlCommand::ZoomIn)), nullptr);
  EXPECT_EQ(findPopupEntry(menu, static_cast<int>(ControlCommand::QualityLow)), nullptr)
      << "a disabled submenu's entries cannot be reached";
  ASSERT_NE(findPopupEntry(menu, static_cast<int>(ControlCommand::About)), nullptr);
}

TEST(ControlMenuModel, AMoviesItemsComeFirstAndOnlyTheVisibleOnes) {
  int chosen = 0;
  std::vector<MovieMenuItem> items{
      {"Next level", true, true, false, [&] { chosen = 1; }},
      {"Hidden", true, false, false, [&] { chosen = 2; }},
      {"Cheats", false, true, false, [&] { chosen = 3; }},
      {"Credits", true, true, true, [&] { chosen = 4; }},
  };
  const auto menu = buildControlMenu(movieState(), items);
  const Lines lines = describe(menu);
  EXPECT_EQ((Lines{lines.begin(), lines.begin() + 6}),
            (Lines{"Next level", "Cheats (off)", "-", "Credits", "-", "Zoom In"}));
  EXPECT_EQ(menu[3].id, static_cast<int>(ControlCommand::FirstMovieItem) + 3);
  int index = -1;
  EXPECT_EQ(controlCommandOf(menu[3].id, &index), ControlCommand::FirstMovieItem);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(controlCommandOf(static_cast<int>(ControlCommand::Back)), ControlCommand::Back);
  EXPECT_EQ(controlCommandOf(0), ControlCommand::None);
  EXPECT_EQ(controlCommandOf(-5), ControlCommand::None);
}

TEST(ControlMenuModel, TheMoviesSwitchesHideGroupsAndAFieldBringsTheEditEntries) {
  ControlMenuState s = movieState();
  s.movieMenu.zoom = false;
  s.movieMenu.quality = false;
  s.movieMenu.rewind = false;
  EXPECT_EQ(describe(buildControlMenu(s)),
            (Lines{"Play [x]", "Loop [x]", "-", "Forward", "Back", "-", "About Orvanta..."}));
  s.movieMenu.play = s.movieMenu.loop = s.movieMenu.forwardBack = false;
  EXPECT_EQ(describe(buildControlMenu(s)), Lines{"About Orvanta..."});
  s = movieState();
  s.movieMenu.showMenu = false;
  EXPECT_EQ(describe(buildControlMenu(s, {{"Mine & yours", true, true, false, [] {}}})),
            (Lines{"Mine && yours", "-", "About Orvanta..."}));
  s = movieState();
  s.movieMenu.textField = true;
  s.movieMenu.canCopy = s.movieMenu.canSelectAll = true;
  const auto menu = buildControlMenu(s);
  EXPECT_EQ(describe(menu), (Lines{"Cut (off)", "Copy", "Paste (off)", "-", "Select All", "-",
                                  "About Orvanta..."}));
  EXPECT_EQ(controlCommandOf(menu[4].id), ControlCommand::SelectAll);
}

TEST(ControlMenuModel, AControlWithItsMenuOffShowsOnlyAbout) {
  ControlMenuState s = movieState();
  s.menuOn = false;
  EXPECT_EQ(describe(buildControlMenu(s, {{"Item", true, true, false, [] {}}})),
            Lines{"About Orvanta..."});
}

// A form holding one real control, as the windows do.
class Host : public Form {
 public:
  explicit Host(Runtime& rt)
      : Form(rt, "frmFlash", FormDesign{}),
        Flash(*this, "Flash", {0, 0, 8250, 6000}, 0, FlashSettings{}) {}
  PlayerControl Flash;  // 550 x 400 pixels at 15 twips a pixel
};

class ControlMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kDemo)) << "the build draws demo.swf";
    host.Show();
  }
  headless::HeadlessControlPeer& surface() {
    auto* peer = dynamic_cast<headless::HeadlessControlPeer*>(
        reinterpret_cast<PeerAccess&>(host.Flash).peer());
    return *peer;
  }
  struct PeerAccess : PlayerControl {
    using PlayerControl::peer;
  };
  // Right-clicks pixel (x, y) and chooses `entry` ("Quality/Low").
  void choose(const std::string& entry, int x = 275, int y = 200) {
    surface().popupAnswer = entry;
    host.Flash.contextMenu(x, y, false);
  }
  std::string oneFrameMovie() {
    return folder.write(
        "one.swf",
        t::movie(t::concat({t::defineRect(1, 2000, 2000, 255, 0, 0),
                            t::placeObject2({.depth = 1, .character = 1}), t::showFrame()}),
                 {.frameCount = 1}));
  }
  headless::HeadlessBackend backend;
  Runtime runtime{backend};
  Host host{runtime};
  orv::test::TempDir folder{"orv-control-menu"};
};

TEST_F(ControlMenuTest, ARightClickShowsTheMenuForTheControlsStateAtThePointer) {
  host.Flash.contextMenu(100, 50, false);
  ASSERT_EQ(surface().popupRequests.size(), 1u);
  EXPECT_EQ(surface().popupRequests[0].x, 100);
  EXPECT_EQ(surface().popupRequests[0].y, 50);
  EXPECT_EQ(describe(surface().popupRequests[0].entries)[0], "Zoom In (off)") << "no movie";

  host.Flash.setMovie(kDemo);
  host.Flash.Play();
  host.Flash.contextMenu(0, 0, true);  // the menu key: the menu opens mid-control
  ASSERT_EQ(surface().popupRequests.size(), 2u);
  EXPECT_EQ(surface().popupRequests[1].x, 275);
  EXPECT_EQ(surface().popupRequests[1].y, 200);
  EXPECT_EQ(describe(surface().popupRequests[1].entries), describe(buildControlMenu(movieState())));

  host.Flash.setMovie(oneFrameMovie());
  EXPECT_EQ(describe(host.Flash.contextMenuEntries())[9], "Play (off)");
}

TEST_F(ControlMenuTest, ZoomInDoublesAboutThePointZoomOutGoesBackAndShowAllShowsTheWhole) {
  host.Flash.setMovie(kDemo);
  const movie::ViewRect stage = host.Flash.view();
  const auto before = host.Flash.stagePoint(100, 80);
  const int presented = surface().framesPresented_;
  choose("Zoom In", 100, 80);
  EXPECT_NEAR(host.Flash.view().width, stage.width / 2, 1e-6);
  EXPECT_NEAR(host.Flash.view().height, stage.height / 2, 1e-6);
  const auto after = host.Flash.stagePoint(100, 80);
  EXPECT_NEAR(after.first, before.first, 1e-6) << "the point clicked stays under the pointer";
  EXPECT_NEAR(after.second, before.second, 1e-6);
  EXPECT_GT(surface().framesPresented_, presented) << "drawn anew";
  EXPECT_EQ(describe(host.Flash.contextMenuEntries())[1], "Zoom Out");

  const movie::ViewRect once = host.Flash.view();
  surface().popupAnswer = "Zoom In";
  host.Flash.contextMenu(0, 0, true);  // from the keyboard: about the middle
  EXPECT_NEAR(host.Flash.view().width, once.width / 2, 1e-6);
  EXPECT_NEAR(host.Flash.view().x + host.Flash.view().width / 2, once.x + once.width / 2, 20);

  choose("Zoom Out");
  EXPECT_NEAR(host.Flash.view().width, once.width, 1e-6);
  EXPECT_NEAR(host.Flash.view().x, once.x, 1e-6);
  choose("Zoom Out");
  EXPECT_NEAR(host.Flash.view().x, stage.x, 1e-6);
  EXPECT_NEAR(host.Flash.view().width, stage.width, 1e-6);
  EXPECT_EQ(describe(host.Flash.contextMenuEntries())[1], "Zoom Out (off)");
  choose("Zoom Out");  // disabled: nothing happens
  EXPECT_NEAR(host.Flash.view().width, stage.width, 1e-6);

  choose("Zoom In", 10, 10);
  choose("Zoom In", 500, 390);
  choose("Show All");
  EXPECT_NEAR(host.Flash.view().width, stage.width, 1e-6);
  EXPECT_NEAR(host.Flash.view().y, stage.y, 1e-6);
  choose("Zoom Out");
  EXPECT_NEAR(host.Flash.view().width, stage.width, 1e-6) << "Show All forgot the steps";

  // Enlarged by the window's Zoom: Zoom Out widens towards the whole movie, never past it.
  host.Flash.Zoom(30);
  choose("Zoom Out");
  EXPECT_NEAR(host.Flash.view().width, stage.width * 0.6, 1e-6);
  choose("Zoom Out");
  EXPECT_NEAR(host.Flash.view().width, stage.width, 1e-6);
  EXPECT_NEAR(host.Flash.view().x, stage.x, 1e-6);
}

TEST_F(ControlMenuTest, QualityPlayLoopAndTheStepsActOnTheControl) {
  host.Flash.setMovie(kDemo);
  for (auto [entry, quality] : {std::pair{"Quality/Low", movie::Quality::Low},
                                std::pair{"Quality/Medium", movie::Quality::Medium},
                                std::pair{"Quality/High", movie::Quality::High}}) {
    choose(entry);
    EXPECT_EQ(host.Flash.quality(), quality) << entry;
  }
  EXPECT_FALSE(host.Flash.playing());
  choose("Play");
  EXPECT_TRUE(host.Flash.playing());
  backend.advance(500);
  EXPECT_GT(host.Flash.CurrentFrame(), 5);
  choose("Play");
  EXPECT_FALSE(host.Flash.playing());

  EXPECT_TRUE(host.Flash.player().loop());
  choose("Loop");
  EXPECT_FALSE(host.Flash.player().loop());
  choose("Loop");
  EXPECT_TRUE(host.Flash.player().loop());

  host.Flash.GotoFrame(10);
  choose("Forward");
  EXPECT_EQ(host.Flash.CurrentFrame(), 11);
  choose("Back");
  choose("Back");
  EXPECT_EQ(host.Flash.CurrentFrame(), 9);
  host.Flash.Play();
  choose("Rewind");
  EXPECT_EQ(host.Flash.CurrentFrame(), 0);
  EXPECT_FALSE(host.Flash.playing()) << "rewound to the first frame and stopped";

  // A one-frame movie: its disabled entries do nothing.
  host.Flash.setMovie(oneFrameMovie());
  choose("Play");
  EXPECT_FALSE(host.Flash.playing());
  choose("Loop");
  EXPECT_TRUE(host.Flash.player().loop());
  choose("Zoom In");
  EXPECT_LT(host.Flash.view().width, host.Flash.player().stage().width) << "zoom still works";
}

TEST_F(ControlMenuTest, AboutRunsTheWindowsCallbackAndMovieItemsTheirOwn) {
  int abouts = 0;
  host.Flash.onAbout = [&] { ++abouts; };
  choose("About Orvanta...");  // also without a movie
  EXPECT_EQ(abouts, 1);
  choose("Zoom In");
  choose("");  // dismissed
  EXPECT_EQ(abouts, 1);

}

// A movie whose clip's menu hides the player's entries and adds one that hides the clip,
// and one that is switched off; the movie's own menu keeps the zoom entries and adds one
// that plays.
std::vector<uint8_t> customMenuMovie() {
  namespace m = movie::test::menus;
  using movie::avm1::test::Asm;
  Asm hideClip = Asm().getVar("clip").push({"_visible", false}).op(m::kSetMember);
  Asm playRoot = Asm().push({0}).getVar("_root").push({"play"}).op(m::kCallMethod).op(m::kPop);
  return m::menuMovie(Asm()
                          .append(m::makeMenu("cm"))
                          .append(m::callMethod("cm", "hideBuiltInItems"))
                          .append(m::addItemRunning("cm", "Hide the clip", hideClip))
                          .append(m::addItem("cm", "Switched off", true, false))
                          .append(m::setMenu("clip", "cm"))
                          .append(m::makeMenu("rootMenu"))
                          .append(m::callMethod("rootMenu", "hideBuiltInItems"))
                          .append(m::setBuiltIn("rootMenu", "zoom", true))
                          .append(m::addItemRunning("rootMenu", "Play & go", playRoot))
                          .append(m::setMenu("_root", "rootMenu")));
}

TEST_F(ControlMenuTest, AMoviesMenuShowsItsItemsWithoutTheEntriesItHidesAndRunsTheChosenOne) {
  host.Flash.setMovie(folder.write("menu.swf", customMenuMovie()));
  movie::Pixmap frame;
  host.Flash.drawFrame(frame);
  EXPECT_EQ(frame.pixels[120 * 550 + 120], 0xFFFF0000u) << "the clip shows, red";

  choose("", 120, 120);  // over the clip: its menu
  ASSERT_EQ(surface().popupRequests.size(), 1u);
  EXPECT_EQ(describe(surface().popupRequests[0].entries),
            (Lines{"Hide the clip", "-", "Switched off (off)", "-", "About Orvanta..."}));
  choose("Switched off", 120, 120);
  choose("Hide the clip", 120, 120);
  host.Flash.drawFrame(frame);
  EXPECT_EQ(frame.pixels[120 * 550 + 120], 0xFFFFFFFFu) << "the handler hid the clip";

  choose("", 20, 20);  // the bare stage: the movie's menu
  EXPECT_EQ(describe(surface().popupRequests.back().entries),
            (Lines{"Play && go", "-", "Zoom In", "Zoom Out (off)", "Show All", "-",
                   "About Orvanta..."}));
  EXPECT_FALSE(host.Flash.playing());
  choose("Play && go", 20, 20);
  EXPECT_TRUE(host.Flash.playing());
  choose("Zoom In", 20, 20);
  EXPECT_LT(host.Flash.view().width, host.Flash.player().stage().width)
      << "the entries it keeps still work";

  host.Flash.setMovie(kDemo);
  EXPECT_TRUE(host.Flash.movieMenuItems().empty()) << "a movie loaded anew brings its own";
  choose("", 20, 20);
  ControlMenuState full = movieState();
  full.playing = host.Flash.playing();
  EXPECT_EQ(describe(surface().popupRequests.back().entries), describe(buildControlMenu(full)));
}

TEST_F(ControlMenuTest, ShowMenuOffKeepsAboutAndTheMovieItems) {
  namespace m = movie::test::menus;
  using movie::avm1::test::Asm;
  host.Flash.setMovie(folder.write(
      "nomenu.swf",
      m::menuMovie(Asm()
                       .getVar("Stage")
                       .push({"showMenu", false})
                       .op(m::kSetMember)
                       .append(m::makeMenu("cm"))
                       .append(m::addItem("cm", "Still mine"))
                       .append(m::setMenu("_root", "cm")))));
  choose("", 20, 20);
  EXPECT_EQ(describe(surface().popupRequests.back().entries),
            (Lines{"Still mine", "-", "About Orvanta..."}));
}

TEST_F(ControlMenuTest, OverAFieldTheEditEntriesGoThroughTheClipboard) {
  namespace m = movie::test::menus;
  host.Flash.setMovie(folder.write("field.swf", m::menuMovie(m::fieldScript("input"))));
  choose("", 50, 310);
  EXPECT_EQ(describe(surface().popupRequests.back().entries),
            (Lines{"Field item", "-", "Cut (off)", "Copy (off)", "Paste", "-", "Select All", "-",
                   "About Orvanta..."}));
  choose("Select All", 50, 310);
  choose("Copy", 50, 310);
  EXPECT_EQ(surface().clipboard, U"Hello world");
  surface().clipboard = U"Bye";
  choose("Paste", 50, 310);
  choose("Select All", 50, 310);
  choose("Cut", 50, 310);
  EXPECT_EQ(surface().clipboard, U"Bye") << "what was pasted is what was cut";
  choose("", 50, 310);
  EXPECT_EQ(describe(surface().popupRequests.back().entries)[6], "Select All (off)");
}

// The control's menu in the program's windows: it acts on that control alone.
class ControlMenuInWindows : public testing::ProgramFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kDemo));
    program = std::make_unique<Program>(
        runtime, makePlayerControl,
        [this](const std::string& path, const MusicSettings& s) { return startMusic(path, s); });
    program->start();
    backend.dialogAnswers.push_back(kDemo);
    backend.clickMenu(main(), "mnuOpen");
    ASSERT_EQ(main().Flash.Movie(), kDemo);
    backend.advance(30);
  }
  PlayerControl& control(Form& form) {
    return static_cast<PlayerControl&>(&form == &main() ? main().Flash : full().Flash);
  }
  headless::HeadlessControlPeer& surface(PlayerControl& c) {
    return *dynamic_cast<headless::HeadlessControlPeer*>(reinterpret_cast<PeerAccess&>(c).peer());
  }
  struct PeerAccess : PlayerControl {
    using PlayerControl::peer;
  };
  void choose(PlayerControl& c, const std::string& entry) {
    surface(c).popupAnswer = entry;
    c.contextMenu(275, 200, false);
  }
  // The windows' own record of the settings: menu marks and counters.
  std::vector<int> windowRecord() {
    frmFlash& m = main();
    return {m.mnuPlay.Checked(), m.mnuLoop.Checked(), m.mnuQuality.Checked(), m.mnuShow.Checked(),
            m.mnuZout.Enabled(), m.zoomInCount,       m.highQuality};
  }
};

TEST_F(ControlMenuInWindows, EveryEntryLeavesTheWindowsMarksAndTheOtherControlAlone) {
  PlayerControl& mainControl = control(main());
  PlayerControl& fullControl = control(full());
  const std::vector<int> record = windowRecord();
  const movie::ViewRect fullView = fullControl.view();
  const movie::Quality fullQuality = fullControl.quality();
  for (const char* entry :
       {"Zoom In", "Zoom In", "Zoom Out", "Show All", "Zoom In", "Quality/Low", "Quality/Medium",
        "Play", "Loop", "Forward", "Back", "Rewind", "Play", "Loop"}) {
    choose(mainControl, entry);
    EXPECT_EQ(windowRecord(), record) << entry;
    EXPECT_EQ(fullControl.view().width, fullView.width) << entry;
    EXPECT_EQ(fullControl.quality(), fullQuality) << entry;
    EXPECT_FALSE(fullControl.playing()) << entry;
  }
  EXPECT_LT(mainControl.view().width, fullView.width) << "the last Zoom In stays";
  EXPECT_EQ(mainControl.quality(), movie::Quality::Medium);
  EXPECT_TRUE(mainControl.playing());
  EXPECT_TRUE(backend.untrappedErrors.empty());

  // The window's commands go on reading their own marks.
  backend.clickMenu(main(), "mnuPlay");
  EXPECT_FALSE(main().mnuPlay.Checked());
  EXPECT_FALSE(mainControl.playing());
}

TEST_F(ControlMenuInWindows, AboutShowsTheAboutBoxFromEitherWindow) {
  int shown = 0;
  backend.whileModal = [&](Form& box) {
    EXPECT_EQ(box.name(), "frmAbout");
    ++shown;
    static_cast<frmAbout&>(box).Command1.click();
  };
  choose(control(main()), "About Orvanta...");
  EXPECT_EQ(shown, 1);
  main().mnuFullScreen_Click();
  ASSERT_TRUE(full().Visible());
  choose(control(full()), "About Orvanta...");
  EXPECT_EQ(shown, 2);
  EXPECT_TRUE(full().Visible()) << "the menu does not end full-screen mode";
  choose(control(full()), "Zoom In");
  EXPECT_TRUE(full().Visible());
  EXPECT_FALSE(main().Visible());
  EXPECT_TRUE(backend.untrappedErrors.empty());
}

}  // namespace
}  // namespace orv
