// Runs the from_gnash trace-output movies of the corpus and compares what they print with
// what the reference player printed, twice: on the player itself (movie::Player, its own
// timeline) and on the script test stage (the same interpreter and built-ins on a timeline
// written for the script tests). Fails only when a movie that matched before stops
// matching.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "movie/corpus/trace_corpus.h"
#include "movie/swf/reader.h"
#include "script_stage.h"

namespace orv::movie::avm1 {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> runMovie(const fs::path& dir, int frames) {
  std::string bytes = corpus::slurp(dir / "test.swf");
  std::vector<uint8_t> data(bytes.begin(), bytes.end());
  auto result = swf::readMovie(data);
  if (!result.movie) return {"<unreadable: " + result.error + ">"};
  testing::ScriptStage stage(result.movie, dir.string(), data);
  stage.runFrames(frames);
  if (std::getenv("ORV_CORPUS_DUMP") && !stage.vm().lastAbort.empty())
    std::printf("<aborted: %s>\n", stage.vm().lastAbort.c_str());
  auto out = stage.traceLines();
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

void checkGnash(const std::string& where, const char* listFile, const corpus::TraceRunner& run) {
  corpus::checkTraceSuite("gnash corpus " + where, fs::path(ORV_CORPUS_DIR) / "from_gnash",
                          fs::path(ORV_SOURCE_DIR) / "tests/movie/avm1" / listFile, run);
}

TEST(GnashCorpus, TraceOutputOnThePlayerMatchesReference) {
  checkGnash("on the player", "gnash_corpus_passing_player.txt", corpus::traceOnPlayer);
}

TEST(GnashCorpus, TraceOutputOnTheScriptStageMatchesReference) {
  checkGnash("on the script test stage", "gnash_corpus_passing.txt", runMovie);
}

}  // namespace
}  // namespace orv::movie::avm1
