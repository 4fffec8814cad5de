// Runs the trace-output movies of the corpus and compares what they print with what the
// reference player printed, twice: on the player itself (movie::Player, its own timeline)
// and on the script test stage (the same interpreter and built-ins on a timeline written
// for the script tests). Fails only when a movie that matched before stops matching.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "movie/player.h"
#include "movie/swf/reader.h"
#include "script_stage.h"

namespace orv::movie::avm1 {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int numFrames(const fs::path& toml) {
  std::istringstream in(slurp(toml));
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("num_frames", 0) == 0 || line.rfind("num_ticks", 0) == 0) {
      size_t eq = line.find('=');
      if (eq != std::string::npos) return std::atoi(line.c_str() + eq + 1);
    }
  }
  return 1;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(l);
  }
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

size_t countPassed(const std::vector<std::string>& ls) {
  size_t n = 0;
  for (auto& l : ls)
    if (l.rfind("PASSED:", 0) == 0) ++n;
  return n;
}

std::vector<std::string> runMovie(const fs::path& dir, int frames) {
  std::string bytes = slurp(dir / "test.swf");
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

// As the program plays it: loaded from its file, Play, one frame period at a time.
std::vector<std::string> runOnPlayer(const fs::path& dir, int frames) {
  Player player;
  std::vector<std::string> out;
  player.setTraceSink([&out](const std::string& text) {
    std::string line;
    for (char c : text) {
      if (c == '\r' || c == '\n') {
        out.push_back(line);
        line.clear();
      } else
        line += c;
    }
    out.push_back(line);
  });
  if (!player.load((dir / "test.swf").string())) return {"<unreadable: " + player.error() + ">"};
  player.start();
  for (int i = 1; i < frames; ++i) player.advance(player.framePeriodMs());
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

std::set<std::string> passingList(const char* file) {
  std::set<std::string> names;
  std::istringstream in(slurp(fs::path(ORV_SOURCE_DIR) / "tests/movie/avm1" / file));
  std::string l;
  while (std::getline(in, l))
    if (!l.empty() && l[0] != '#') names.insert(l);
  return names;
}

void writePassingList(const char* file, const std::string& where,
                      const std::vector<std::string>& names) {
  std::ofstream out(fs::path(ORV_SOURCE_DIR) / "tests/movie/avm1" / file);
  out << "# from_gnash movies whose trace output matches exactly " << where
      << "; a regression fails the test\n";
  for (auto& n : names) out << n << "\n";
}

using Runner = std::vector<std::string> (*)(const fs::path& dir, int frames);

// Plays every trace movie with `run`, prints the figures, and fails for each movie of
// `listFile` that no longer matches. ORV_CORPUS_ONLY / _VERBOSE / _DUMP / _WRITE help when
// working on a movie.
void checkCorpus(const std::string& where, const char* listFile, Runner run) {
  fs::path root = fs::path(ORV_CORPUS_DIR) / "from_gnash";
  if (!fs::exists(root)) GTEST_SKIP() << "corpus not present";
  std::set<std::string> mustPass = passingList(listFile);
  std::vector<fs::path> dirs;
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.path().filename() == "output.txt" && fs::exists(e.path().parent_path() / "test.swf"))
      dirs.push_back(e.path().parent_path());
  std::sort(dirs.begin(), dirs.end());
  const char* only = std::getenv("ORV_CORPUS_ONLY");
  size_t exact = 0, passedOurs = 0, passedRef = 0, total = 0;
  std::vector<std::string> nowPassing, regressions;
  for (auto& dir : dirs) {
    std::string name = fs::relative(dir, root).string();
    if (only && name.find(only) == std::string::npos) continue;
    ++total;
    auto expected = lines(slurp(dir / "output.txt"));
    auto got = run(dir, numFrames(dir / "test.toml"));
    size_t pe = countPassed(expected), pg = 0;
    std::multiset<std::string> want;
    for (auto& l : expected)
      if (l.rfind("PASSED:", 0) == 0) want.insert(l);
    for (auto& l : got)
      if (auto it = want.find(l); it != want.end()) {
        ++pg;
        want.erase(it);
      }
    passedRef += pe;
    passedOurs += pg;
    bool match = got == expected;
    if (match) {
      ++exact;
      nowPassing.push_back(name);
    } else if (mustPass.count(name))
      regressions.push_back(name);
    if (std::getenv("ORV_CORPUS_VERBOSE"))
      std::printf("%-60s %s %zu/%zu\n", name.c_str(), match ? "MATCH" : "diff ", pg, pe);
    if (only && std::getenv("ORV_CORPUS_DUMP"))
      for (auto& l : got) std::printf("%s\n", l.c_str());
  }
  std::printf("gnash corpus %s: %zu of %zu trace outputs match exactly; PASSED lines %zu of %zu\n",
              where.c_str(), exact, total, passedOurs, passedRef);
  if (std::getenv("ORV_CORPUS_WRITE")) writePassingList(listFile, where, nowPassing);
  for (auto& r : regressions) ADD_FAILURE() << "no longer matches " << where << ": " << r;
}

TEST(GnashCorpus, TraceOutputOnThePlayerMatchesReference) {
  checkCorpus("on the player", "gnash_corpus_passing_player.txt", runOnPlayer);
}

TEST(GnashCorpus, TraceOutputOnTheScriptStageMatchesReference) {
  checkCorpus("on the script test stage", "gnash_corpus_passing.txt", runMovie);
}

}  // namespace
}  // namespace orv::movie::avm1
