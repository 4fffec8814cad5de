// The ActionScript 1/2 behaviour suite of the corpus (avm1/): each movie played on the
// player with the input its reference run was given, its trace text compared with what
// the reference player printed. Fails only when a movie that matched before stops
// matching.
#include <gtest/gtest.h>

#include "movie/corpus/trace_corpus.h"

namespace orv::movie::corpus {
namespace {

TEST(Avm1Corpus, TraceOutputOnThePlayerMatchesReference) {
  checkTraceSuite(
      "avm1 corpus on the player", std::filesystem::path(ORV_CORPUS_DIR) / "avm1",
      std::filesystem::path(ORV_SOURCE_DIR) / "tests/movie/corpus/avm1_corpus_passing.txt",
      traceOnPlayer);
}

}  // namespace
}  // namespace orv::movie::corpus
