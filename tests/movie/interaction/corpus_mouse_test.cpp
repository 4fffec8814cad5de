// Corpus movies with buttons or mouse handlers under a sweeping, clicking mouse: none
// crashes or stops, and some of them react (a button reached, a script heard the mouse).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "movie/player.h"
#include "movie/swf/types.h"

namespace fs = std::filesystem;
using namespace orv::movie;

namespace {
constexpr uint16_t kDefineButton = 7, kDefineButton2 = 34;
}

TEST(CorpusMouse, MoviesWithButtonsTakeASweepOfMovesPressesAndReleases) {
  fs::path root = ORV_CORPUS_DIR;
  if (!fs::exists(root)) GTEST_SKIP() << "no corpus at " << root;
  std::vector<fs::path> movies;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file() && e.path().filename() == "test.swf") movies.push_back(e.path());
  std::sort(movies.begin(), movies.end());
  int withButtons = 0, reacting = 0;
  for (const fs::path& path : movies) {
    Player player;
    if (!player.load(path.string())) continue;
    const auto& counts = player.movie()->tagCounts;
    if (!counts.count(kDefineButton) && !counts.count(kDefineButton2)) continue;
    ++withButtons;
    const std::string rel = fs::relative(path, root).string();
    player.play();
    const ViewRect stage = player.stage();
    bool reacted = false;
    // A 16 x 12 grid over the stage: move there, and press and release at every third.
    for (int step = 0; step < 16 * 12 && player.loaded(); ++step) {
      const double x = stage.x + (step % 16 + 0.5) * stage.width / 16;
      const double y = stage.y + (step / 16 + 0.5) * stage.height / 12;
      reacted |= player.mouseMove(x, y);
      reacted |= player.handCursor();
      if (step % 3 == 0) {
        player.mouseDown(x, y);
        player.mouseUp(x + stage.width / 40, y);  // sometimes outside what was pressed
      }
      if (step % 16 == 0) player.advance(player.framePeriodMs());
    }
    EXPECT_TRUE(player.loaded()) << rel;
    Pixmap picture;
    picture.width = 40;
    picture.height = 30;
    player.render(picture, stage);
    EXPECT_EQ(picture.pixels.size(), 40u * 30u) << rel;
    if (reacted) ++reacting;
  }
  std::cout << withButtons << " movies with buttons, " << reacting << " reacted to the mouse\n";
  if (withButtons > 0) {
    EXPECT_GT(reacting, 0);
  }
}
