// The File, Control and View menu commands that drive the two movie controls, and the
// timer that keeps the movie commands enabled only while a movie is loaded.
#include <cctype>

#include "app/frmFlash.h"
#include "app/program.h"
#include "fullscreen/frmVt.h"
#include "runtime/errors.h"

namespace orv {

void frmFlash::mnuOpen_Click() {
  try {
    Common.ShowOpen();
    openChosenFile(Common.FileName());
  } catch (const RuntimeError&) {
    // Cancel or any failure ends the command where it stands, silently.
  }
}

void frmFlash::openChosenFile(const std::string& chosen) {
  if (chosen != Flash.Movie()) {
    Flash.Stop();
    Flash.setBackgroundColor(-1);
    Flash.setBGColor("");
    Flash.Zoom(0);
    openedFile = chosen;
    Flash.setMovie(openedFile);
    Flash.Play();
    MovieControl& full = program().fullScreen().Flash;
    full.setMovie(openedFile);
    full.setBackgroundColor(-1);
    full.setBGColor("");
    full.Zoom(0);
    full.Stop();
    mnuZout.setEnabled(false);
    mnuShow.setChecked(true);
    mnuPlay.setChecked(true);
  } else {
    Flash.Rewind();
    program().fullScreen().Flash.Stop();
  }
}

namespace {

bool isMovieFileName(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".swf" || ext == ".spl";
}

}  // namespace

void frmFlash::onFilesDropped(const std::vector<std::string>& paths) {
  runtime().dispatch([this, paths] { Form_FilesDropped(paths); });
}

void frmFlash::Form_FilesDropped(const std::vector<std::string>& paths) {
  if (paths.size() != 1 || !isMovieFileName(paths.front())) return;
  // As if the dialog had returned the file: it is also the dialog's file name next time.
  Common.setFileName(paths.front());
  try {
    openChosenFile(paths.front());
  } catch (const RuntimeError&) {
    // As Open: a failure ends the command where it stands, silently.
  }
}

void frmFlash::mnuClose_Click() {
  Flash.Stop();
  Flash.setBackgroundColor(-1);
  Flash.setBGColor("");
  Flash.setMovie("");
  Flash.Zoom(0);
  MovieControl& full = program().fullScreen().Flash;
  full.setBackgroundColor(-1);
  full.setBGColor("");
  full.Zoom(0);
  full.Stop();
  mnuZout.setEnabled(false);
  mnuShow.setChecked(true);
  mnuPlay.setChecked(false);
}

void frmFlash::mnuPlay_Click() {
  if (!mnuPlay.Checked()) {
    Flash.Play();
    mnuPlay.setChecked(true);
  } else {
    Flash.Stop();
    mnuPlay.setChecked(false);
  }
}

void frmFlash::mnuRewind_Click() {
  const std::string movie = Flash.Movie();
  Flash.setMovie("");
  Flash.Play();
  Flash.setMovie(movie);
  Flash.Rewind();
  Flash.Play();
}

void frmFlash::mnuStepF_Click() {
  Flash.Forward();
  mnuPlay.setChecked(false);
}

void frmFlash::mnuBack_Click() {
  Flash.Back();
  mnuPlay.setChecked(false);
}

void frmFlash::mnuLoop_Click() {
  if (mnuLoop.Checked()) {
    Flash.setLoop(false);
    mnuLoop.setChecked(false);
    program().fullScreen().Flash.setLoop(false);
  } else {
    Flash.setLoop(true);
    mnuLoop.setChecked(true);
    program().fullScreen().Flash.setLoop(true);
  }
}

void frmFlash::mnuQuality_Click() {
  if (highQuality == 1) {
    Flash.setQuality(4);
    mnuQuality.setChecked(false);
    highQuality = 0;
    program().fullScreen().Flash.setQuality(4);
  } else {
    Flash.setQuality(1);
    mnuQuality.setChecked(true);
    highQuality = 1;
    program().fullScreen().Flash.setQuality(1);
  }
}

void frmFlash::mnuZin_Click() {
  mnuZout.setEnabled(true);
  mnuShow.setChecked(false);
  Flash.Zoom(60);
  program().fullScreen().Flash.Zoom(60);
  zoomInCount += 1;
}

void frmFlash::mnuZout_Click() {
  Flash.Zoom(170);
  program().fullScreen().Flash.Zoom(170);
  zoomInCount -= 1;
  if (zoomInCount == 0) mnuZout.setEnabled(false);
}

void frmFlash::mnuShow_Click() {
  if (!mnuShow.Checked()) {
    Flash.Zoom(0);
    mnuShow.setChecked(true);
  } else if (zoomInCount != 0) {
    Flash.Zoom(0);
  }
}

void frmFlash::Timer1_Timer() {
  const bool loaded = Flash.Movie() != "";
  if (!loaded) {
    for (MenuItem* m : {&mnuPlay, &mnuRewind, &mnuStepF, &mnuBack, &mnuLoop, &mnuShow, &mnuZin})
      m->setEnabled(false);
  } else {
    for (MenuItem* m : {&mnuShow, &mnuZin, &mnuPlay, &mnuRewind, &mnuStepF, &mnuBack, &mnuLoop})
      m->setEnabled(true);
  }
}

}  // namespace orv
