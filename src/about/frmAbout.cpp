#include "about/frmAbout.h"

#include "app/frmFlash.h"
#include "app/program.h"
#include "runtime/errors.h"

namespace orv {
namespace {

FormDesign aboutDesign() {
  FormDesign d;
  d.caption = "Orvanta";
  d.border = BorderStyle::FixedDialog;
  d.client = {3630, 3285, 5175, 1275};
  d.minButton = false;
  d.maxButton = false;
  d.showInTaskbar = false;
  d.windowClass = "OrvantaAbout";
  return d;
}

MusicSettings aboutMusic() {
  MusicSettings s;
  s.AutoStart = true;
  s.PlayCount = 20;
  s.Volume = 0;
  return s;
}

}  // namespace

frmAbout::frmAbout(Program& program)
    : Form(program.runtime(), "frmAbout", aboutDesign()),
      Picture1(*this, "Picture1", {90, 135, 465, 600}, 0, true),
      Label1(*this, "Label1", {675, 135, 1635, 240}, 1, "Orvanta 4.5"),
      Label2(*this, "Label2", {675, 450, 2580, 195}, 2, "Copyright \xA9 2026 Orvanta"),
      Label3(*this, "Label3", {675, 720, 2580, 195}, 3, "Written by the Orvanta team"),
      Command1(*this, "Command1", {4095, 135, 960, 330}, 4, "OK", false, false),
      MediaPlayer1(*this, program, "MediaPlayer1", {3585, 945, 1500, 300}, 5, aboutMusic()),
      program_(program) {
  Command1.onClick = [this] { Command1_Click(); };
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load() {
  fileSystem = std::make_unique<FileSystemObject>();
  frmFlash& main = program_.main();
  setLeft(main.Left() + main.Width() / 5.0f);
  setTop(main.Top() + main.Height() / 4.0f);
  // From here on a failure only means the box opens without music.
  try {
    const std::string music = runtime().app().path + "\\lumvex.mp3";
    if (!fileSystem->FileExists(music)) return;
    MediaPlayer1.setFileName(runtime().app().path + "\\lumvex.mp3");
    MediaPlayer1.Play();
  } catch (const RuntimeError&) {
  }
}

void frmAbout::Form_Unload(int&) {}

void frmAbout::Command1_Click() { Unload(); }

}  // namespace orv
