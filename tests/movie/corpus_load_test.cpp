// Loads every corpus movie and runs it for its frame count: no crash, and no movie that
// loads today stops loading.
#include <gtest/gtest.h>

#include <chrono>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "movie/player.h"
#include "movie/swf/types.h"

namespace fs = std::filesystem;
using namespace orv::movie;

namespace {
int framesToRun(const fs::path& toml) {
  std::ifstream in(toml);
  std::string line;
  std::regex re(R"(^\s*num_frames\s*=\s*(\d+))");
  std::smatch m;
  while (std::getline(in, line))
    if (std::regex_search(line, m, re)) return std::min(200, std::stoi(m[1]));
  return 1;
}

// Movies the reader refuses on purpose (relative to the corpus folder), with the reason.
const std::map<std::string, std::string> kKnownRefusals = {};
}  // namespace

TEST(Corpus, EveryMovieLoadsAndRuns) {
  fs::path root = ORV_CORPUS_DIR;
  if (!fs::exists(root)) GTEST_SKIP() << "no corpus at " << root;
  std::vector<fs::path> movies;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file() && e.path().filename() == "test.swf") movies.push_back(e.path());
  std::sort(movies.begin(), movies.end());
  int loaded = 0, failed = 0, truncated = 0;
  long framesRun = 0;
  for (const fs::path& path : movies) {
    std::string rel = fs::relative(path, root).string();
    Player player;
    if (!player.load(path.string())) {
      ++failed;
      std::cout << "refused " << rel << ": " << player.error() << "\n";
      EXPECT_TRUE(kKnownRefusals.count(rel)) << rel << ": " << player.error();
      continue;
    }
    ++loaded;
    if (player.movie() && player.movie()->truncated) ++truncated;
    int frames = framesToRun(path.parent_path() / "test.toml");
    Pixmap target;
    target.width = 80;
    target.height = 60;
    player.play();
    // A movie whose scripts make it slow is reported, not run to the end: the check
    // is about crashes and hangs, and each frame still returns.
    const auto started = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
      if (f > 0) player.advance(player.framePeriodMs());
      ++framesRun;
      if (std::chrono::steady_clock::now() - started > std::chrono::seconds(5)) {
        std::cout << "slow: " << rel << " after " << f + 1 << " frames\n";
        break;
      }
    }
    player.render(target, player.stage());
    player.gotoFrame(0);  // and back to the start, rebuilding the display list
    // (A script movie's first frame may send it elsewhere at once: the suites of script
    // behaviour are not held to it.)
    const bool scriptSuite = rel.starts_with("from_gnash/") || rel.starts_with("avm1/") ||
                             rel.starts_with("avm2/") || rel.starts_with("from_avmplus/");
    if (!scriptSuite) {
      EXPECT_EQ(player.currentFrame(), 0) << rel;
    }
  }
  std::cout << "corpus: " << movies.size() << " movies, " << loaded << " loaded (" << truncated
            << " truncated), " << failed << " refused, " << framesRun << " frames run\n";
  EXPECT_GT(loaded, 0);
}
