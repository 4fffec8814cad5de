// orvanta.exe: the program's windows on the Win32 backend.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "about/media_player.h"
#include "app/program.h"
#include "player/player_control.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "win32/audio/waveout_output.h"
#include "win32/music.h"
#include "win32/win32_backend.h"

// The program has no console to name an uncaught exception on: its terminate handler ends
// it at once, and keeps the library's demangler, which only that message needs, out of it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {
// Movies' saves go where a Flash player put a local movie's, under the user's application
// data: Orvanta's own folder, and the Flash player's to bring saves over from.
orv::SaveFolders saveFolders() {
  char appData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)) ||
      !appData[0])
    return {};
  const std::string base = appData;
  return {base + "\\Orvanta\\SharedObjects", base + "\\Macromedia\\Flash Player\\#SharedObjects"};
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  orv::win32::Win32Backend backend(instance);
  orv::Runtime runtime(backend);
  // Each movie control plays its movie's sound through a waveOut output of its own.
  auto movieControls = orv::playerControlsWithSound(
      [] { return std::make_unique<orv::win32::WaveOutOutput>(); }, saveFolders());
  orv::Program program(runtime, movieControls, orv::win32::makeMusic);
  program.start();
  return backend.run();
}
