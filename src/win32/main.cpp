// orvanta.exe: the program's windows on the Win32 backend.
#include <windows.h>
#include <commctrl.h>

#include "about/media_player.h"
#include "app/program.h"
#include "player/player_control.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "win32/audio/waveout_output.h"
#include "win32/music.h"
#include "win32/win32_backend.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  orv::win32::Win32Backend backend(instance);
  orv::Runtime runtime(backend);
  // Each movie control plays its movie's sound through a waveOut output of its own.
  auto movieControls =
      orv::playerControlsWithSound([] { return std::make_unique<orv::win32::WaveOutOutput>(); });
  orv::Program program(runtime, movieControls, orv::win32::makeMusic);
  program.start();
  return backend.run();
}
