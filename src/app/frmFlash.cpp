#include "app/frmFlash.h"

#include <cstdint>

#include "app/program.h"
#include "fullscreen/frmVt.h"
#include "runtime/errors.h"
#include "runtime/module1.h"
#include "runtime/runtime.h"
#include "runtime/value_text.h"

namespace orv {
namespace {

// How long start-up waits for an older instance, asked to close, to end.
constexpr int kOlderInstanceWaitMs = 3000;

FormDesign mainDesign() {
  FormDesign d;
  d.caption = "Orvanta";
  d.border = BorderStyle::Sizable;
  d.client = {1080, 1635, 8970, 5325};
  d.windowClass = "OrvantaMain";
  d.acceptsFiles = true;
  return d;
}

FlashSettings mainControlSettings() {
  FlashSettings s;
  s.Quality2 = "High";
  return s;
}

}  // namespace

frmFlash::frmFlash(Program& program, const MovieControlFactory& makeMovieControl)
    : Form(program.runtime(), "frmFlash", mainDesign()),
      Timer2(*this, "Timer2", 10, true),
      Timer1(*this, "Timer1", 10, true),
      Common(*this, "Common", "Flash (*.swf,*.spl)|*.swf;*.spl", 260),
      flash_(makeMovieControl(*this, "Flash", {-45, -45, 6180, 3840}, 0, mainControlSettings())),
      Flash(*flash_),
      mnuFile("mnuFile", "&File"),
      mnuOpen("mnuOpen", "&Open...", 'O'),
      mnuClose("mnuClose", "&Close", 'W'),
      mnuCh("mnuCh", "-"),
      mnuExit("mnuExit", "E&xit", 'Q'),
      mnuView("mnuView", "&View"),
      mnuFullScreen("mnuFullScreen", "Full &Screen", 'S'),
      mnuCh10("mnuCh10", "-"),
      mnuQuality("mnuQuality", "&High Quality", 'H'),
      mnuCh3("mnuCh3", "-"),
      mnuZin("mnuZin", "Zoom &In"),
      mnuZout("mnuZout", "Zoom &Out"),
      mnuCh4("mnuCh4", "-"),
      mnuShow("mnuShow", "Show &All", 'A'),
      mnu2("mnu2", "-"),
      mnuOS("mnuOS", "Original Si&ze", 'Z'),
      qw("qw", "-"),
      mnuDef("mnuDef", "Default Player", 'D'),
      mnuControl("mnuControl", "&Control"),
      mnuPlay("mnuPlay", "&Play", 'P'),
      mnuRewind("mnuRewind", "&Rewind", 'R'),
      mnuCh5("mnuCh5", "-"),
      mnuStepF("mnuStepF", "Step &Forward", 'F'),
      mnuBack("mnuBack", "Step &Back", 'B'),
      mnuCh6("mnuCh6", "-"),
      mnuLoop("mnuLoop", "&Loop", 'L'),
      mnuHelp("mnuHelp", "&Help"),
      mnuAbout("mnuAbout", "About Orvanta..."),
      program_(program) {
  // The open dialog's cancel ends the Open command with nothing changed.
  Common.setCancelError(true);
  buildMenu();
  wireEvents();
}

frmFlash::~frmFlash() = default;

void frmFlash::buildMenu() {
  MenuBar& bar = menuBar();
  for (MenuItem* m : {&mnuFile}) bar.add(*m, 0);
  for (MenuItem* m : {&mnuOpen, &mnuClose, &mnuCh, &mnuExit}) bar.add(*m, 1);
  bar.add(mnuView, 0);
  for (MenuItem* m : {&mnuFullScreen, &mnuCh10, &mnuQuality, &mnuCh3, &mnuZin, &mnuZout, &mnuCh4,
                      &mnuShow, &mnu2, &mnuOS, &qw, &mnuDef})
    bar.add(*m, 1);
  bar.add(mnuControl, 0);
  for (MenuItem* m : {&mnuPlay, &mnuRewind, &mnuCh5, &mnuStepF, &mnuBack, &mnuCh6, &mnuLoop})
    bar.add(*m, 1);
  bar.add(mnuHelp, 0);
  bar.add(mnuAbout, 1);

  mnuQuality.setChecked(true);
  mnuZout.setEnabled(false);
  mnuShow.setChecked(true);
  mnuPlay.setChecked(true);
  mnuLoop.setChecked(true);
}

void frmFlash::wireEvents() {
  Timer2.onTimer = [this] { Timer2_Timer(); };
  Timer1.onTimer = [this] { Timer1_Timer(); };
  mnuOpen.onClick = [this] { mnuOpen_Click(); };
  mnuClose.onClick = [this] { mnuClose_Click(); };
  mnuExit.onClick = [this] { mnuExit_Click(); };
  mnuFullScreen.onClick = [this] { mnuFullScreen_Click(); };
  mnuQuality.onClick = [this] { mnuQuality_Click(); };
  mnuZin.onClick = [this] { mnuZin_Click(); };
  mnuZout.onClick = [this] { mnuZout_Click(); };
  mnuShow.onClick = [this] { mnuShow_Click(); };
  mnuOS.onClick = [this] { mnuOS_Click(); };
  mnuDef.onClick = [this] { mnuDef_Click(); };
  mnuPlay.onClick = [this] { mnuPlay_Click(); };
  mnuRewind.onClick = [this] { mnuRewind_Click(); };
  mnuStepF.onClick = [this] { mnuStepF_Click(); };
  mnuBack.onClick = [this] { mnuBack_Click(); };
  mnuLoop.onClick = [this] { mnuLoop_Click(); };
  mnuAbout.onClick = [this] { mnuAbout_Click(); };
  Flash.onAbout = [this] { mnuAbout_Click(); };
}

std::string frmFlash::settingsFile() { return runtime().app().path + "\\config.ini"; }

void frmFlash::buildAssociationStrings() {
  const AppFacts app = runtime().app();
  const std::string program = app.path + "\\" + app.exeName + ".EXE";
  // Quoted, so that a program directory with blanks cannot make the shell run another
  // program that lies earlier on the path.
  openCommand = "\"" + program + "\" \"%1\"";
  defaultIconSpec = program + ",0";
}

namespace {

// The command line without one pair of enclosing quotation marks, as the shell passes a
// path; an unquoted path with blanks is taken whole.
std::string moviePathFromCommandLine(const std::string& commandLine) {
  if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"')
    return commandLine.substr(1, commandLine.size() - 2);
  return commandLine;
}

bool fitsInt16(std::int32_t v) { return v >= -32768 && v <= 32767; }

}  // namespace

void frmFlash::Form_Load() {
  SystemApi& api = runtime().module1();
  const AppFacts app = runtime().app();

  buildAssociationStrings();

  fileSystem = std::make_unique<FileSystemObject>();
  const std::string intro = app.path + "\\Lumvex.swf";
  if (fileSystem->FileExists(intro)) {
    Flash.setMovie(intro);
    Flash.Play();
  }

  HKey marker = 0;
  if (api.RegOpenKeyExA(HKEY_LOCAL_MACHINE_, "Software\\Korvane\\Lumvex", 0, 0, &marker) !=
      ERROR_SUCCESS_) {
    firstRunAssociation();
  } else {
    api.RegCloseKey(marker);
  }

  commandLine = app.command;

  const std::string ini = settingsFile();
  auto stored = [&](const char* key) {
    return static_cast<std::int32_t>(api.GetPrivateProfileIntA("parameters", key, 1, ini));
  };
  const std::int32_t left = stored("Left"), top = stored("Top"), width = stored("Width"),
                     height = stored("Height");
  const bool allOnes = left == 1 && top == 1 && width == 1 && height == 1;
  // Values a window cannot take, or a window no monitor would show (one saved while
  // minimised), count as no stored geometry.
  const bool usable =
      fitsInt16(left) && fitsInt16(top) && fitsInt16(width) && fitsInt16(height) && width >= 0 &&
      height >= 0 &&
      runtime().backend().isOnSomeMonitor({static_cast<float>(left), static_cast<float>(top),
                                           static_cast<float>(width), static_cast<float>(height)});
  if (allOnes || !usable) {
    mnuOS_Click();
  } else {
    setLeft(static_cast<float>(left));
    setTop(static_cast<float>(top));
    setWidth(static_cast<float>(width));
    setHeight(static_cast<float>(height));
  }

  if (app.prevInstance) {
    const auto older = static_cast<std::intptr_t>(
        static_cast<std::int32_t>(api.GetPrivateProfileIntA("parameters", "hwnd", 12, ini)));
    // Only the main window of another running instance of this program is closed; a
    // stale handle never reaches another application's window.
    if (runtime().backend().isAnotherInstanceWindow(older)) {
      api.PostMessageA(older, WM_CLOSE_, 0, 0);
      // The older instance saves its geometry as it closes; once it has gone, the
      // settings file re-created below cannot lose this window's handle to that save.
      runtime().backend().waitForProgramOf(older, kOlderInstanceWaitMs);
    }
  }

  highQuality = 1;

  if (!commandLine.empty()) {
    Flash.setBGColor("");
    Flash.setBackgroundColor(-1);
    Flash.setMovie(moviePathFromCommandLine(commandLine));
    Flash.Play();
  }

  try {
    fileSystem->CreateTextFile(ini, true, false);
    api.WritePrivateProfileStringA("parameters", "hwnd",
                                   signedNumberText(static_cast<double>(hWnd())), ini);
  } catch (const RuntimeError&) {
    // An unwritable settings file keeps what it held.
  }
}

void frmFlash::Form_Resize() {
  try {
    Flash.setHeight(Height() - 650);
    Flash.setWidth(Width());
  } catch (const RuntimeError&) {
    // Too low a window: the control keeps its size until the next resize.
  }
}

void frmFlash::saveGeometry() {
  SystemApi& api = runtime().module1();
  const std::string left = signedNumberText(Left());
  const std::string top = signedNumberText(Top());
  const std::string height = signedNumberText(Height());
  const std::string width = signedNumberText(Width());
  api.WritePrivateProfileStringA("parameters", "Left", left, settingsFile());
  api.WritePrivateProfileStringA("parameters", "Top", top, settingsFile());
  api.WritePrivateProfileStringA("parameters", "Height", height, settingsFile());
  api.WritePrivateProfileStringA("parameters", "Width", width, settingsFile());
}

void frmFlash::Timer2_Timer() { saveGeometry(); }

void frmFlash::Form_Unload(int&) {
  Flash.Stop();
  Flash.StopPlay();
  Flash.setMovie("");
  saveGeometry();
  program().fullScreen();  // a never-used full-screen window comes into being to go again
  program().unloadFullScreen();
}

void frmFlash::mnuExit_Click() { runtime().backend().endProgram(); }

void frmFlash::mnuOS_Click() {
  try {
    setHeight(6015);
    setWidth(9090);
    setLeft(1035);
    setTop(690);
  } catch (const RuntimeError&) {
    setWindowState(WindowState::Normal);
    setHeight(6015);
    setWidth(7305);
    setLeft(1035);
    setTop(690);
  }
}

}  // namespace orv
