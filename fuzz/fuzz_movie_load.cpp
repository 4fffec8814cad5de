// libFuzzer target: load a movie, read its ABC blocks, run a few frames, open its
// right-click menu, seek back, render each; and play the same bytes as an FLV file
// through a NetStream's stream (read, run, seek, decode its pictures).
#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "movie/abc/reader.h"
#include "movie/player.h"
#include "movie/swf/types.h"
#include "movie/video/flv_stream.h"

namespace {
// Reads each ABC block of a timeline and names what a read file holds.
void readAbcBlocks(const orv::movie::swf::Timeline& timeline) {
  namespace abc = orv::movie::abc;
  for (const orv::movie::swf::Frame& frame : timeline.frames)
    for (const orv::movie::swf::DoAbc& block : frame.abc) {
      abc::ReadResult r = abc::readAbc(block.bytes);
      if (!r) continue;
      for (uint32_t i = 0; i < r.file->pool.multinames.size(); ++i)
        (void)abc::multinameText(*r.file, i);
      for (uint32_t i = 0; i < r.file->methods.size(); ++i) (void)r.file->bodyOf(i);
    }
}
// The bytes as an FLV file a NetStream plays.
void playAsFlv(const uint8_t* data, size_t size) {
  orv::movie::video::FlvStream stream;
  stream.play(std::vector<uint8_t>(data, data + size));
  for (int i = 0; i < 8; ++i) {
    stream.advance(250);
    (void)stream.picture();
    while (stream.nextEvent()) {
    }
  }
  stream.seek(0.5);
  (void)stream.picture();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  playAsFlv(data, size);
  orv::movie::Player player;
  // A runaway script is stopped after a fifth of a second instead of a Flash player's 15,
  // so a run stays within the fuzzer's time per input.
  player.setScriptTimeLimit(200);
  if (!player.loadBytes(std::vector<uint8_t>(data, data + size))) return 0;
  if (auto movie = player.movie()) {
    readAbcBlocks(movie->root);
    for (const auto& [id, character] : movie->dictionary)
      if (const auto* sprite = std::get_if<orv::movie::swf::SpriteDef>(&character))
        readAbcBlocks(sprite->timeline);
  }
  orv::movie::Pixmap target;
  target.width = 64;
  target.height = 48;
  player.play();
  for (int i = 0; i < 4; ++i) {
    player.advance(player.framePeriodMs());
    player.render(target, player.stage());
  }
  // A right click in the middle of the stage: the movie's menu, its first item chosen.
  const orv::movie::ViewRect stage = player.stage();
  const auto menu =
      player.openMovieMenu(stage.x + stage.width / 2, stage.y + stage.height / 2);
  if (!menu.items.empty()) player.selectMovieMenuItem(0);
  if (menu.textField) player.editMenuField(orv::movie::Player::FieldEdit::SelectAll);
  player.gotoFrame(0);
  player.gotoFrame(player.frameCount() - 1);
  player.render(target, {0, 0, 200, 200});
  return 0;
}
