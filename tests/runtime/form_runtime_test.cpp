#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runtime/common_dialog.h"
#include "runtime/controls.h"
#include "runtime/errors.h"
#include "runtime/file_system.h"
#include "runtime/form.h"
#include "runtime/form_ref.h"
#include "runtime/headless/headless_backend.h"
#include "runtime/runtime.h"
#include "runtime/timer.h"
#include "runtime/value_text.h"
#include "temp_dir.h"

namespace orv {
namespace {

class TestForm : public Form {
 public:
  explicit TestForm(Runtime& rt, BorderStyle border = BorderStyle::Sizable)
      : Form(rt, "TestForm", design(border)),
        Fast(*this, "Fast", 10, true),
        Slow(*this, "Slow", 25, false),
        Caption1(*this, "Caption1", {10, 20, 300, 200}, 0, "Hello") {
    Fast.onTimer = [this] { log += "F"; };
    Slow.onTimer = [this] { log += "S"; };
  }
  static FormDesign design(BorderStyle border) {
    FormDesign d;
    d.caption = "Test";
    d.border = border;
    d.client = {1080, 1635, 8970, 5325};
    return d;
  }
  void Form_Load() override { log += "L"; }
  void Form_Unload(int& cancel) override {
    log += "U";
    cancel = keepOpen ? 1 : 0;
  }
  void Form_Resize() override { log += "R"; }

  Timer Fast;
  Timer Slow;
  Label Caption1;
  std::string log;
  bool keepOpen = false;
};

struct RuntimeFixture : ::testing::Test {
  headless::HeadlessBackend backend;
  Runtime runtime{backend};
};

using FormLifetime = RuntimeFixture;

TEST_F(FormLifetime, LoadCreatesHiddenWindowAndShowResizesOnce) {
  TestForm form(runtime);
  EXPECT_FALSE(form.loaded());
  form.Load();
  EXPECT_TRUE(form.loaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(form.log, "L");
  form.Show();
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.log, "LR");
  form.Hide();
  form.Show();
  EXPECT_EQ(form.log, "LR") << "only the first showing counts as a resize";
  EXPECT_EQ(runtime.loadedForms().size(), 1u);
}

TEST_F(FormLifetime, PropertyAccessLoadsAFormAndUnloadCanBeCancelled) {
  TestForm form(runtime);
  (void)form.Left();
  EXPECT_TRUE(form.loaded()) << "a form comes into being on first reference";
  form.keepOpen = true;
  form.Unload();
  EXPECT_TRUE(form.loaded());
  form.keepOpen = false;
  form.Unload();
  EXPECT_FALSE(form.loaded());
  EXPECT_EQ(form.log, "LUU");
  EXPECT_TRUE(backend.programEnded) << "the last window gone ends the program";
}

TEST_F(FormLifetime, FormRefCreatesOnFirstReferenceAndUnloadForgets) {
  int created = 0;
  FormRef<TestForm> ref([&] {
    ++created;
    return std::make_unique<TestForm>(runtime);
  });
  EXPECT_FALSE(ref.exists());
  ref->setCaption("x");
  ref.get();
  EXPECT_EQ(created, 1);
  EXPECT_TRUE(ref.get().loaded());
  EXPECT_FALSE(ref.get().Visible()) << "created hidden";
  ref.unload();
  EXPECT_FALSE(ref.exists());
  ref.get();
  EXPECT_EQ(created, 2);
}

TEST_F(FormLifetime, UserCloseUnloadsThroughTheHandler) {
  TestForm form(runtime);
  form.Show();
  backend.closeWindow(form);
  EXPECT_FALSE(form.loaded());
  EXPECT_EQ(form.log, "LRU");
}

using FormGeometry = RuntimeFixture;

TEST_F(FormGeometry, TwipsFollowWholePixels) {
  TestForm form(runtime);
  form.Show();
  form.setLeft(1035);
  form.setTop(690);
  form.setWidth(9090);
  form.setHeight(6015);
  EXPECT_EQ(form.Left(), 1035);
  EXPECT_EQ(form.Top(), 690);
  EXPECT_EQ(form.Width(), 9090);
  EXPECT_EQ(form.Height(), 6015);
  form.setWidth(1001);
  EXPECT_EQ(form.Width(), 990) << "Windows keeps whole pixels (15 twips each at 96 dpi)";
}

TEST_F(FormGeometry, SizingAMinimisedOrMaximisedFormRaises384) {
  TestForm form(runtime);
  form.Show();
  for (WindowState state : {WindowState::Minimized, WindowState::Maximized}) {
    form.setWindowState(state);
    try {
      form.setWidth(5000);
      FAIL() << "sizing must fail";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.number(), 384);
    }
    EXPECT_THROW(form.setLeft(0), RuntimeError);
    form.setWindowState(WindowState::Normal);
    EXPECT_NO_THROW(form.setWidth(5010));
  }
  form.setWindowState(WindowState::Minimized);
  EXPECT_LT(form.Left(), -32767) << "a minimised window is parked far off the screen";
}

TEST_F(FormGeometry, NegativeControlSizeRaises380AndKeepsTheOldSize) {
  TestForm form(runtime);
  form.Show();
  try {
    form.Caption1.setHeight(-1);
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), 380);
    EXPECT_EQ(e.text(), "Invalid property value");
  }
  EXPECT_EQ(form.Caption1.Height(), 200);
  form.Caption1.setLeft(-45);
  EXPECT_EQ(form.Caption1.Left(), -45) << "a negative position is fine";
}

TEST_F(FormGeometry, ScreenSizeInTwips) {
  backend.screenFacts = {1280, 1024, 15, 15};
  EXPECT_EQ(runtime.screenWidthTwips(), 19200);
  EXPECT_EQ(runtime.screenHeightTwips(), 15360);
}

using Timers = RuntimeFixture;

TEST_F(Timers, TicksFollowTheManualClockInTimeOrder) {
  TestForm form(runtime);
  form.Load();
  backend.advance(9);
  EXPECT_EQ(form.log, "L");
  backend.advance(1);
  EXPECT_EQ(form.log, "LF");
  form.Slow.setEnabled(true);
  backend.advance(50);
  EXPECT_EQ(form.log, "LFFFSFFFS") << "10 ms and 25 ms timers interleave by due time";
}

TEST_F(Timers, DisabledOrZeroIntervalTimersDoNotTickAndUnloadStopsThem) {
  TestForm form(runtime);
  form.Load();
  form.Fast.setEnabled(false);
  backend.advance(100);
  EXPECT_EQ(form.log, "L");
  form.Fast.setEnabled(true);
  form.Fast.setInterval(0);
  backend.advance(100);
  EXPECT_EQ(form.log, "L");
  form.Fast.setInterval(10);
  form.Unload();
  backend.advance(100);
  EXPECT_EQ(form.log, "LU");
  EXPECT_THROW(form.Fast.setInterval(-1), RuntimeError);
}

using Errors = RuntimeFixture;

TEST_F(Errors, AnUntrappedErrorIsReportedAndEndsTheProgram) {
  runtime.dispatch([] { raiseError(384); });
  ASSERT_EQ(backend.untrappedErrors.size(), 1u);
  EXPECT_EQ(backend.untrappedErrors[0],
            "Run-time error '384':\n\nA form can't be moved or sized while minimized or maximized");
  EXPECT_TRUE(backend.programEnded);
}

TEST_F(Errors, TimerHandlersRunThroughTheDispatcher) {
  TestForm form(runtime);
  form.Fast.onTimer = [] { raiseError(380); };
  form.Load();
  backend.advance(10);
  ASSERT_EQ(backend.untrappedErrors.size(), 1u);
  EXPECT_NE(backend.untrappedErrors[0].find("'380'"), std::string::npos);
}

TEST(MenuItems, AccessKeysAndShortcutText) {
  MenuItem open("mnuOpen", "&Open...", 'o');
  MenuItem def("mnuDef", "Default Player", 'D');
  MenuItem amp("x", "Fish && &Chips");
  EXPECT_EQ(open.accessKey(), 'O');
  EXPECT_EQ(open.shortcutText(), "Ctrl+O");
  EXPECT_EQ(def.accessKey(), 0);
  EXPECT_EQ(amp.accessKey(), 'C');
  EXPECT_EQ(MenuItem("y", "Zoom &In").shortcutText(), "");
}

TEST(MenuItems, DisabledOrHiddenEntriesAndTheirChildrenDoNotRun) {
  MenuBar bar;
  MenuItem file("mnuFile", "&File"), open("mnuOpen", "&Open...", 'O');
  bar.add(file, 0);
  bar.add(open, 1);
  int runs = 0;
  open.onClick = [&] { ++runs; };
  std::vector<std::string> changes;
  bar.onChange = [&](const MenuItem& item) { changes.push_back(item.name()); };
  EXPECT_TRUE(bar.findByShortcut('o')->click());
  open.setEnabled(false);
  EXPECT_FALSE(open.click());
  open.setEnabled(true);
  file.setVisible(false);
  EXPECT_FALSE(open.click());
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(open.parent(), &file);
  EXPECT_EQ(open.level(), 1);
  EXPECT_EQ(bar.findByCommand(open.commandId()), &open);
  EXPECT_EQ(changes, (std::vector<std::string>{"mnuOpen", "mnuOpen", "mnuFile"}));
}

using Dialogs = RuntimeFixture;

TEST_F(Dialogs, OpenDialogKeepsTheChosenNameAndCancelCanRaise) {
  TestForm form(runtime);
  CommonDialog dialog(form, "Common", "Flash (*.swf,*.spl)|*.swf;*.spl", 260);
  backend.dialogAnswers = {std::string("C:\\a.swf"), std::nullopt};
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName(), "C:\\a.swf");
  dialog.setCancelError(true);
  try {
    dialog.ShowOpen();
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), 32755);
  }
  EXPECT_EQ(dialog.FileName(), "C:\\a.swf");
  ASSERT_EQ(backend.dialogRequests.size(), 2u);
  EXPECT_EQ(backend.dialogRequests[1].fileName, "C:\\a.swf");
  EXPECT_EQ(backend.dialogRequests[1].maxFileSize, 260);
  EXPECT_EQ(backend.dialogRequests[1].filter, "Flash (*.swf,*.spl)|*.swf;*.spl");
}

TEST(FileSystem, FileExistsAndCreateTextFile) {
  const orv::test::TempDir folder("orv-fso");
  const auto& dir = folder.path;
  FileSystemObject fso;
  const std::string file = dir.string() + "\\config.ini";  // a program path, backslashes
  EXPECT_FALSE(fso.FileExists(file));
  { std::ofstream(nativePath(file)) << "old"; }
  EXPECT_TRUE(fso.FileExists(file));
  fso.CreateTextFile(file, true, false);
  EXPECT_EQ(std::filesystem::file_size(nativePath(file)), 0u);
  EXPECT_THROW(fso.CreateTextFile(file, false, false), RuntimeError);
  EXPECT_THROW(fso.CreateTextFile(dir.string() + "\\missing\\x.ini", true, false), RuntimeError);
  EXPECT_FALSE(fso.FileExists(dir.string())) << "a folder is not a file";
  EXPECT_FALSE(fso.FileExists(""));
}

TEST(ValueText, FirstCharacterIsReservedForTheSign) {
  EXPECT_EQ(signedNumberText(1035), " 1035");
  EXPECT_EQ(signedNumberText(-120), "-120");
  EXPECT_EQ(signedNumberText(0), " 0");
  EXPECT_EQ(signedNumberText(-480000), "-480000");
  EXPECT_EQ(signedNumberText(1035.5), " 1035.5");
}

}  // namespace
}  // namespace orv
