#include "about/frmAbout.h"
#include "app/frmFlash.h"
#include "app/program.h"

namespace orv {

// Help > About: a fresh about box, shown modally; returns once it is closed.
void frmFlash::mnuAbout_Click() {
  std::unique_ptr<frmAbout> about = program().createAbout();
  about->Load();
  if (about->loaded()) about->Show(ShowMode::Modal);
  about->Unload();
}

}  // namespace orv
