#include "app/program.h"

#include "about/frmAbout.h"
#include "app/frmFlash.h"
#include "fullscreen/frmVt.h"

namespace orv {

Program::Program(Runtime& runtime, MovieControlFactory movieControls, MusicFactory music)
    : runtime_(runtime),
      movieControls_(std::move(movieControls)),
      music_(std::move(music)),
      fullScreen_([this] { return std::make_unique<frmVt>(*this, movieControls_); }) {
  main_ = std::make_unique<frmFlash>(*this, movieControls_);
}

Program::~Program() = default;

frmVt& Program::fullScreen() { return fullScreen_.get(); }
bool Program::fullScreenExists() const { return fullScreen_.exists(); }
void Program::unloadFullScreen() { fullScreen_.unload(); }

std::unique_ptr<frmAbout> Program::createAbout() { return std::make_unique<frmAbout>(*this); }

void Program::start() {
  runtime_.dispatch([this] {
    main_->Load();
    if (main_->loaded()) main_->Show();
  });
}

}  // namespace orv
