#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player/movie_control.h"
#include "runtime/common_dialog.h"
#include "runtime/file_system.h"
#include "runtime/form.h"
#include "runtime/timer.h"

namespace orv {

class Program;

// The main window: the menu bar, the main movie control, the open-file dialog and two
// timers. Its handlers live in the folder of the subsystem they belong to.
class frmFlash : public Form {
 public:
  frmFlash(Program& program, const MovieControlFactory& makeMovieControl);
  ~frmFlash() override;

  // Controls, in creation order.
  Timer Timer2;
  Timer Timer1;
  CommonDialog Common;

 private:
  std::unique_ptr<MovieControl> flash_;

 public:
  MovieControl& Flash;

  // The menu bar, in display order.
  MenuItem mnuFile, mnuOpen, mnuClose, mnuCh, mnuExit;
  MenuItem mnuView, mnuFullScreen, mnuCh10, mnuQuality, mnuCh3, mnuZin, mnuZout, mnuCh4, mnuShow,
      mnu2, mnuOS, qw, mnuDef;
  MenuItem mnuControl, mnuPlay, mnuRewind, mnuCh5, mnuStepF, mnuBack, mnuCh6, mnuLoop;
  MenuItem mnuHelp, mnuAbout;

  // Window state shared by the commands.
  std::int32_t highQuality = 0;
  std::string openCommand;
  std::string defaultIconSpec;
  std::string commandLine;
  std::string openedFile;
  std::int32_t zoomInCount = 0;
  std::int32_t fullScreenFrame = 0;
  // The file-system object start-up creates.
  std::unique_ptr<FileSystemObject> fileSystem;

  // Handlers: start-up, geometry, settings file, shutdown (src/app).
  void Form_Load() override;
  void Form_Resize() override;
  void Form_Unload(int& cancel) override;
  void Timer2_Timer();
  void mnuExit_Click();
  void mnuOS_Click();
  // Movie commands and the menu-state timer (src/player).
  void mnuOpen_Click();
  // Open's steps once the dialog has given `chosen`; raises what a control call raises.
  void openChosenFile(const std::string& chosen);
  // A .swf or .spl file dropped from the shell opens as Open does with it chosen.
  void Form_FilesDropped(const std::vector<std::string>& paths);
  void onFilesDropped(const std::vector<std::string>& paths) override;
  void mnuClose_Click();
  void mnuPlay_Click();
  void mnuRewind_Click();
  void mnuStepF_Click();
  void mnuBack_Click();
  void mnuLoop_Click();
  void mnuQuality_Click();
  void mnuZin_Click();
  void mnuZout_Click();
  void mnuShow_Click();
  void Timer1_Timer();
  // Full screen (src/fullscreen).
  void mnuFullScreen_Click();
  // File-type association (src/shell).
  void firstRunAssociation();
  void mnuDef_Click();
  // About box (src/about).
  void mnuAbout_Click();

  Program& program() const { return program_; }

 private:
  void buildMenu();
  void wireEvents();
  void saveGeometry();
  void buildAssociationStrings();
  void writeAssociation();
  std::string settingsFile();

  Program& program_;
};

}  // namespace orv
