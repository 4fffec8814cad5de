// The ActionScript 3 suites of the corpus: the language and top-level acceptance tests
// (from_avmplus/, each printing PASSED!/FAILED! lines) and the ActionScript 3 behaviour
// movies (avm2/), played on the player, their trace text compared with the reference
// player's. Fails only when a movie that matched before stops matching.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "movie/corpus/trace_corpus.h"

namespace orv::movie::corpus {
namespace {

// The reference output was made in the Pacific time zone; dates print in it.
void usePacificTime() {
  setenv("TZ", "America/Los_Angeles", 1);
  tzset();
}

TEST(Avm2Corpus, AcceptanceSuiteTraceMatchesReference) {
  usePacificTime();
  checkTraceSuite(
      "from_avmplus on the player", std::filesystem::path(ORV_CORPUS_DIR) / "from_avmplus",
      std::filesystem::path(ORV_SOURCE_DIR) / "tests/movie/corpus/avmplus_corpus_passing.txt",
      traceOnPlayer);
}

TEST(Avm2Corpus, BehaviourMoviesTraceMatchesReference) {
  usePacificTime();
  checkTraceSuite(
      "avm2 corpus on the player", std::filesystem::path(ORV_CORPUS_DIR) / "avm2",
      std::filesystem::path(ORV_SOURCE_DIR) / "tests/movie/corpus/avm2_corpus_passing.txt",
      traceOnPlayer);
}

}  // namespace
}  // namespace orv::movie::corpus
