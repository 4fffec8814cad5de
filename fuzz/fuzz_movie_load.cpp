// libFuzzer target: load a movie, run a few frames, seek back, render each.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "movie/player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orv::movie::Player player;
  // A runaway script is stopped after a fifth of a second instead of a Flash player's 15,
  // so a run stays within the fuzzer's time per input.
  player.setScriptTimeLimit(200);
  if (!player.loadBytes(std::vector<uint8_t>(data, data + size))) return 0;
  orv::movie::Pixmap target;
  target.width = 64;
  target.height = 48;
  player.play();
  for (int i = 0; i < 4; ++i) {
    player.advance(player.framePeriodMs());
    player.render(target, player.stage());
  }
  player.gotoFrame(0);
  player.gotoFrame(player.frameCount() - 1);
  player.render(target, {0, 0, 200, 200});
  return 0;
}
