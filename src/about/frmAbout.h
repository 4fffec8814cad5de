#pragma once

#include <memory>

#include "about/media_player.h"
#include "runtime/controls.h"
#include "runtime/file_system.h"
#include "runtime/form.h"

namespace orv {

class Program;

// The modal about box with the program's icon, three labels, OK, and music.
class frmAbout : public Form {
 public:
  explicit frmAbout(Program& program);
  ~frmAbout() override;

  PictureBox Picture1;
  Label Label1;
  Label Label2;
  Label Label3;
  CommandButton Command1;
  MediaPlayer MediaPlayer1;

  std::unique_ptr<FileSystemObject> fileSystem;

  void Form_Load() override;
  void Form_Unload(int& cancel) override;
  void Command1_Click();

 private:
  Program& program_;
};

}  // namespace orv
