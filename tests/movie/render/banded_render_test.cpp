// Whole frames drawn on several threads are the frames one thread draws, byte for
// byte: every movie of the visual corpus (shapes, gradients, bitmaps, text, masks,
// filters, blend modes, cached bitmaps), at a size where its shapes cover many
// bands, drawn afresh and again from what the renderer kept of the frame before.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "movie/player.h"

namespace orv::movie {
namespace {

namespace fs = std::filesystem;

int framesOf(const fs::path& dir) {
  std::ifstream f(dir / "test.toml");
  std::string line;
  while (std::getline(f, line))
    for (const char* key : {"num_frames", "num_ticks"})
      if (line.rfind(key, 0) == 0 && line.find('=') != std::string::npos)
        return std::clamp(std::atoi(line.c_str() + line.find('=') + 1), 1, 60);
  return 1;
}

std::vector<fs::path> visualMovies() {
  std::vector<fs::path> out;
  const fs::path root = fs::path(ORV_CORPUS_DIR) / "visual";
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename() == "test.swf") out.push_back(it->path().parent_path());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(BandedRender, VisualCorpusFramesAreTheSameOnOneTwoAndThreeThreads) {
  const std::vector<fs::path> movies = visualMovies();
  if (movies.empty()) GTEST_SKIP() << "no visual corpus at " << ORV_CORPUS_DIR;
  int compared = 0;
  for (const fs::path& dir : movies) {
    Player player;
    if (!player.load((dir / "test.swf").string())) continue;
    player.setQuality(Quality::High);
    player.start();
    for (int frame = framesOf(dir); frame > 1; --frame) player.advance(player.framePeriodMs());
    const ViewRect stage = player.stage();
    // Twice the stage's pixels, so that shapes reach over many bands.
    Pixmap pix;
    pix.width = std::clamp(int(stage.width / 10), 1, 1600);
    pix.height = std::clamp(int(stage.height / 10), 1, 1200);
    // A view a third of a pixel off the stage's, then the stage itself: fresh shapes,
    // then shapes drawn unchanged whose coverage the renderer keeps and plays back.
    ViewRect moved = stage;
    moved.x += stage.width / pix.width / 3;
    std::vector<uint32_t> expected[2];
    for (int view = 0; view < 2; ++view) {
      player.setRenderThreads(1);
      player.render(pix, view ? stage : moved);
      expected[view] = pix.pixels;
    }
    const std::string name = fs::relative(dir, fs::path(ORV_CORPUS_DIR)).string();
    for (int threads : {2, 3, 2}) {
      // Every piece of work split, however small.
      player.setRenderThreads(threads, 1);
      for (int view = 0; view < 2; ++view) {
        player.render(pix, view ? stage : moved);
        EXPECT_TRUE(pix.pixels == expected[view])
            << name << " on " << threads << " threads, view " << view;
      }
    }
    // Splitting only what is worth it (the player's own choice) draws the same too.
    player.setRenderThreads(3);
    player.render(pix, stage);
    EXPECT_TRUE(pix.pixels == expected[1]) << name << " on 3 threads, work split as worth it";
    ++compared;
  }
  EXPECT_GE(compared, int(movies.size()) * 9 / 10);
}

}  // namespace
}  // namespace orv::movie
