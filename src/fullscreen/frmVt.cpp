#include "fullscreen/frmVt.h"

#include "app/frmFlash.h"
#include "app/program.h"
#include "runtime/module1.h"
#include "runtime/runtime.h"

namespace orv {
namespace {

FormDesign fullScreenDesign() {
  FormDesign d;
  d.caption = "Form1";
  d.border = BorderStyle::None;
  d.client = {1095, 465, 4680, 3195};
  d.hasIcon = false;
  d.minButton = false;
  d.maxButton = false;
  d.windowClass = "OrvantaFullScreen";
  return d;
}

FlashSettings fullScreenControlSettings() {
  FlashSettings s;
  s.Quality2 = "Best";
  return s;
}

}  // namespace

frmVt::frmVt(Program& program, const MovieControlFactory& makeMovieControl)
    : Form(program.runtime(), "frmVt", fullScreenDesign()),
      Timer1(*this, "Timer1", 10, false),
      flash_(makeMovieControl(*this, "Flash", {0, 0, 4200, 2490}, 0, fullScreenControlSettings())),
      Flash(*flash_),
      program_(program) {
  Timer1.onTimer = [this] { Timer1_Timer(); };
  // The About entry of the control's menu shows Help's about box.
  Flash.onAbout = [this] { program_.main().mnuAbout_Click(); };
}

frmVt::~frmVt() = default;

void frmVt::Form_Load() {
  setTop(0);
  setLeft(0);
  setWidth(runtime().screenWidthTwips());
  setHeight(runtime().screenHeightTwips());
  Flash.setLeft(0);
  Flash.setTop(0);
  Flash.setWidth(runtime().screenWidthTwips() + 60);
  Flash.setHeight(runtime().screenHeightTwips());
}

void frmVt::Timer1_Timer() {
  if (runtime().module1().GetAsyncKeyState(VK_ESCAPE_) == 0) return;
  leaveFullScreen();
}

void frmVt::leaveFullScreen() {
  frmFlash& main = program_.main();
  returnFrame = Flash.CurrentFrame() - 1;
  main.Flash.GotoFrame(returnFrame);
  main.Flash.Play();
  main.Flash.Zoom(0);
  Flash.Stop();
  Hide();
  main.Show();
  if (!main.mnuPlay.Checked()) main.Flash.StopPlay();
  Timer1.setEnabled(false);
}

void frmVt::onCloseRequested() {
  if (Visible()) {
    runtime().dispatch([this] { leaveFullScreen(); });
    return;
  }
  Form::onCloseRequested();
}

// View > Full Screen: the movie moves to the full-screen window one frame back.
void frmFlash::mnuFullScreen_Click() {
  fullScreenFrame = Flash.CurrentFrame() - 1;
  frmVt& vt = program().fullScreen();
  vt.Flash.setBackgroundColor(-1);
  vt.Flash.setBGColor("");
  vt.Flash.setMovie(Flash.Movie());
  vt.Flash.GotoFrame(fullScreenFrame);
  vt.Flash.Play();
  vt.Flash.Zoom(0);
  Hide();
  vt.Show();
  vt.Timer1.setEnabled(true);
  Flash.Stop();
  runtime().module1().SetCursorPos(static_cast<std::int32_t>(runtime().screenHeightTwips() + 100),
                                   static_cast<std::int32_t>(runtime().screenWidthTwips() + 100));
  if (!mnuPlay.Checked()) vt.Flash.Stop();
}

}  // namespace orv
