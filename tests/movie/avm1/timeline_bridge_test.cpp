// The script engine on the real timeline: frame actions run as frames are entered and
// trace output reaches the stage's sink.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "movie/avm1_host/timeline_bridge.h"
#include "movie/timeline/stage.h"
#include "movie/swf/reader.h"

namespace orv::movie::avm1 {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string runOnStage(const fs::path& dir, int frames) {
  std::string bytes = slurp(dir / "test.swf");
  auto movie = swf::readMovie(std::vector<uint8_t>(bytes.begin(), bytes.end())).movie;
  if (!movie) return "<unreadable>";
  Stage stage(movie);
  std::string out;
  stage.traceSink = [&out](const std::string& line) {
    // One trace line per line of text, whichever line end the movie wrote.
    for (char c : line) out += c == '\r' ? '\n' : c;
    out += "\n";
  };
  TimelineBridge bridge(stage);
  stage.setListener(&bridge);
  stage.root().gotoFrame(0);
  stage.dispatchEvents();
  for (int i = 1; i < frames; ++i) {
    bridge.tick();
    bridge.clockMs += 1000.0 / 12;
  }
  return out;
}

TEST(TimelineBridge, CorpusMoviesTraceOnTheRealTimeline) {
  fs::path root = fs::path(ORV_CORPUS_DIR) / "from_gnash";
  if (!fs::exists(root)) GTEST_SKIP() << "corpus not present";
  for (const char* name :
       {"misc-swfc.all/hello", "misc-mtasc.all/inheritance", "misc-mtasc.all/enum"}) {
    std::string expected = slurp(root / name / "output.txt");
    EXPECT_EQ(runOnStage(root / name, 5), expected) << name;
  }
}

}  // namespace
}  // namespace orv::movie::avm1
