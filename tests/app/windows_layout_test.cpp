// The three windows as they are created: menu bar, controls, stored settings.
#include "app_fixture.h"

namespace orv::testing {
namespace {

struct Entry {
  int level;
  const char* name;
  const char* caption;
  char shortcut;
  bool checked, enabled;
};

const Entry kMenu[] = {
    {0, "mnuFile", "&File", 0, false, true},
    {1, "mnuOpen", "&Open...", 'O', false, true},
    {1, "mnuClose", "&Close", 'W', false, true},
    {1, "mnuCh", "-", 0, false, true},
    {1, "mnuExit", "E&xit", 'Q', false, true},
    {0, "mnuView", "&View", 0, false, true},
    {1, "mnuFullScreen", "Full &Screen", 'S', false, true},
    {1, "mnuCh10", "-", 0, false, true},
    {1, "mnuQuality", "&High Quality", 'H', true, true},
    {1, "mnuCh3", "-", 0, false, true},
    {1, "mnuZin", "Zoom &In", 0, false, true},
    {1, "mnuZout", "Zoom &Out", 0, false, false},
    {1, "mnuCh4", "-", 0, false, true},
    {1, "mnuShow", "Show &All", 'A', true, true},
    {1, "mnu2", "-", 0, false, true},
    {1, "mnuOS", "Original Si&ze", 'Z', false, true},
    {1, "qw", "-", 0, false, true},
    {1, "mnuDef", "Default Player", 'D', false, true},
    {0, "mnuControl", "&Control", 0, false, true},
    {1, "mnuPlay", "&Play", 'P', true, true},
    {1, "mnuRewind", "&Rewind", 'R', false, true},
    {1, "mnuCh5", "-", 0, false, true},
    {1, "mnuStepF", "Step &Forward", 'F', false, true},
    {1, "mnuBack", "Step &Back", 'B', false, true},
    {1, "mnuCh6", "-", 0, false, true},
    {1, "mnuLoop", "&Loop", 'L', true, true},
    {0, "mnuHelp", "&Help", 0, false, true},
    {1, "mnuAbout", "About Orvanta...", 0, false, true},
};

using MainWindowLayout = ProgramFixture;

TEST_F(MainWindowLayout, MenuBarMatchesEntryForEntry) {
  make();
  const auto& entries = main().menuBar().entries();
  ASSERT_EQ(entries.size(), std::size(kMenu));
  int menus = 0, separators = 0, commands = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(kMenu[i].name);
    const MenuItem& item = *entries[i];
    EXPECT_EQ(item.name(), kMenu[i].name);
    EXPECT_EQ(item.Caption(), kMenu[i].caption);
    EXPECT_EQ(item.level(), kMenu[i].level);
    EXPECT_EQ(item.shortcut(), kMenu[i].shortcut);
    EXPECT_EQ(item.Checked(), kMenu[i].checked);
    EXPECT_EQ(item.Enabled(), kMenu[i].enabled);
    EXPECT_TRUE(item.Visible());
    if (item.level() == 0)
      ++menus;
    else if (item.isSeparator())
      ++separators;
    else
      ++commands;
    // Every entry but the separators, Default Player and About has an access key.
    const bool noKey = item.isSeparator() || item.name() == "mnuDef" || item.name() == "mnuAbout";
    EXPECT_EQ(item.accessKey() == 0, noKey);
  }
  EXPECT_EQ(menus, 4);
  EXPECT_EQ(commands, 16);
  EXPECT_EQ(separators, 8);
}

TEST_F(MainWindowLayout, ControlsAndStateStartAsDesigned) {
  make();
  frmFlash& f = main();
  EXPECT_EQ(f.Caption(), "Orvanta");
  EXPECT_EQ(f.design().border, BorderStyle::Sizable);
  EXPECT_EQ(f.design().client, (TwipsRect{1080, 1635, 8970, 5325}));
  ASSERT_EQ(f.timers().size(), 2u);
  EXPECT_EQ(f.timers()[0]->name(), "Timer2");
  EXPECT_EQ(f.timers()[1]->name(), "Timer1");
  for (Timer* t : f.timers()) {
    EXPECT_EQ(t->Interval(), 10);
    EXPECT_TRUE(t->Enabled());
  }
  EXPECT_EQ(f.Common.Filter(), "Flash (*.swf,*.spl)|*.swf;*.spl");
  EXPECT_EQ(f.Common.MaxFileSize(), 260);
  EXPECT_EQ(f.Common.FileName(), "");
  EXPECT_EQ(f.Common.DialogTitle(), "");
  EXPECT_EQ(f.Common.InitDir(), "");
  EXPECT_EQ(f.Flash.bounds(), (TwipsRect{-45, -45, 6180, 3840}));
  EXPECT_EQ(f.Flash.TabIndex(), 0);
  const FlashSettings& s = mainControl->settings;
  EXPECT_EQ(s.Quality2, "High");
  EXPECT_EQ(s.Scale, "ExactFit");
  EXPECT_EQ(s.WMode, "Window");
  EXPECT_TRUE(s.Loop);
  EXPECT_FALSE(s.Playing);
  EXPECT_TRUE(s.Menu);
  EXPECT_EQ(s.Movie, "");
  EXPECT_EQ(f.highQuality, 0);
  EXPECT_EQ(f.zoomInCount, 0);
  EXPECT_EQ(f.fullScreenFrame, 0);
  EXPECT_EQ(f.openCommand, "");
  EXPECT_EQ(f.defaultIconSpec, "");
  EXPECT_EQ(f.commandLine, "");
  EXPECT_EQ(f.openedFile, "");
  EXPECT_FALSE(program->fullScreenExists()) << "the full-screen window waits for a reference";
}

TEST_F(MainWindowLayout, EveryCommandIsWiredToItsHandler) {
  make();
  for (MenuItem* item : main().menuBar().entries()) {
    const bool handled = !item->isSeparator() && item->level() == 1;
    EXPECT_EQ(static_cast<bool>(item->onClick), handled) << item->name();
  }
}

TEST_F(MainWindowLayout, ShortcutsReachTheirCommands) {
  started();
  backend.advance(10);  // the menu-state timer enables the movie commands only with a movie
  EXPECT_TRUE(backend.pressShortcut(main(), 'S'));
  EXPECT_FALSE(main().Visible()) << "Ctrl+S is Full Screen";
  EXPECT_TRUE(full().Visible());
  api().keyPress(VK_ESCAPE_);
  backend.advance(10);
  EXPECT_TRUE(main().Visible());
  main().setWidth(3000);
  EXPECT_TRUE(backend.pressShortcut(main(), 'Z'));
  EXPECT_EQ(main().Width(), 9090) << "Ctrl+Z is Original Size";
  EXPECT_FALSE(backend.pressShortcut(main(), 'P')) << "Play is disabled without a movie";
  EXPECT_EQ(main().menuBar().findByShortcut('W')->name(), "mnuClose");
  EXPECT_EQ(main().menuBar().findByShortcut('A')->name(), "mnuShow");
  EXPECT_EQ(main().menuBar().findByShortcut('D')->name(), "mnuDef");
}

TEST_F(MainWindowLayout, FullScreenAndAboutWindowsAsDesigned) {
  make();
  frmVt& vt = full();
  EXPECT_EQ(vt.Caption(), "Form1");
  EXPECT_EQ(vt.design().border, BorderStyle::None);
  EXPECT_FALSE(vt.design().hasIcon);
  EXPECT_EQ(vt.Timer1.Interval(), 10);
  EXPECT_FALSE(vt.Timer1.Enabled());
  EXPECT_EQ(fullControl->settings.Quality2, "Best");
  EXPECT_FALSE(vt.Visible());

  auto about = program->createAbout();
  EXPECT_EQ(about->Caption(), "Orvanta");
  EXPECT_EQ(about->design().border, BorderStyle::FixedDialog);
  EXPECT_FALSE(about->design().minButton);
  EXPECT_FALSE(about->design().maxButton);
  EXPECT_EQ(about->design().client.width, 5175);
  EXPECT_EQ(about->design().client.height, 1275);
  EXPECT_EQ(about->Label1.Caption(), "Orvanta 4.5");
  EXPECT_FALSE(about->Label2.Caption().empty());
  EXPECT_FALSE(about->Label3.Caption().empty());
  EXPECT_EQ(about->Command1.Caption(), "OK");
  EXPECT_FALSE(about->Command1.Default());
  EXPECT_FALSE(about->Command1.Cancel());
  EXPECT_TRUE(about->Picture1.showsIcon());
  EXPECT_FALSE(about->MediaPlayer1.Visible());
  EXPECT_EQ(about->MediaPlayer1.settings().PlayCount, 20);
  EXPECT_EQ(about->MediaPlayer1.settings().Volume, 0);
  EXPECT_TRUE(about->MediaPlayer1.settings().AutoStart);
  const std::vector<std::string> order = {"Picture1", "Label1",   "Label2",
                                          "Label3",   "Command1", "MediaPlayer1"};
  ASSERT_EQ(about->controls().size(), order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(about->controls()[i]->name(), order[i]);
    EXPECT_EQ(about->controls()[i]->TabIndex(), static_cast<int>(i));
  }
}

}  // namespace
}  // namespace orv::testing
