#include "movie/corpus/trace_corpus.h"

#include "movie/avm2_host/movie_scripts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

#include "movie/avm2_host/movie_scripts.h"
#include "movie/corpus/recorded_input.h"
#include "movie/player.h"

namespace orv::movie::corpus {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int framesToRun(const fs::path& toml) {
  std::istringstream in(slurp(toml));
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("num_frames", 0) == 0 || line.rfind("num_ticks", 0) == 0) {
      size_t eq = line.find('=');
      if (eq != std::string::npos) return std::max(1, std::atoi(line.c_str() + eq + 1));
    }
  }
  return 1;
}

// Whether the reference run played sound: time then passes for the sounds as well.
bool playsAudio(const fs::path& toml) {
  std::istringstream in(slurp(toml));
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("with_audio", 0) == 0 && line.find("true") != std::string::npos) return true;
  return false;
}

bool knownFailure(const fs::path& toml) {
  std::istringstream in(slurp(toml));
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("known_failure", 0) == 0 && line.find("true") != std::string::npos) return true;
  return false;
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

std::vector<std::string> traceOnPlayer(const fs::path& dir, int frames) {
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
  const RecordedInput input = readRecordedInput(dir / "input.json");
  const ViewRect stage = player.stage();
  ReplayState state;
  const bool audio = playsAudio(dir / "test.toml");
  std::vector<int16_t> mixed;
  double audioDue = 0;
  player.start();
  for (int tick = 1; tick <= frames; ++tick) {
    if (tick > 1 && audio) {
      audioDue += player.framePeriodMs() * player.audioRate() / 1000.0;
      const auto pull = static_cast<size_t>(audioDue);
      audioDue -= double(pull);
      mixed.resize(pull * 2);
      player.mixAudio(mixed.data(), pull);
    }
    if (tick > 1) player.advance(player.framePeriodMs());
    if (auto events = input.find(tick); events != input.end())
      replay(player, stage, events->second, state);
  }
  // What the movie's ActionScript 3 left uncaught, beside the dump.
  if (std::getenv("ORV_CORPUS_DUMP") && player.as3Scripts())
    for (const std::string& e : player.as3Scripts()->errors()) 
      std::fprintf(stderr, "! %s\n", e.c_str());
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

std::set<std::string> readPassingList(const fs::path& file) {
  std::set<std::string> names;
  std::istringstream in(slurp(file));
  std::string l;
  while (std::getline(in, l))
    if (!l.empty() && l[0] != '#') names.insert(l);
  return names;
}

void writePassingList(const fs::path& file, const std::string& heading,
                      const std::vector<std::string>& names) {
  std::ofstream out(file);
  out << "# " << heading << "\n";
  for (auto& n : names) out << n << "\n";
}

namespace {
// A passing check's line: "PASSED: ..." (the gnash suites) or "... PASSED!" (avmplus).
bool isPassLine(const std::string& l) {
  constexpr std::string_view kTail = "PASSED!";
  return l.rfind("PASSED", 0) == 0 ||
         (l.size() >= kTail.size() && l.compare(l.size() - kTail.size(), kTail.size(), kTail) == 0);
}
size_t countPassed(const std::vector<std::string>& ls) {
  size_t n = 0;
  for (auto& l : ls)
    if (isPassLine(l)) ++n;
  return n;
}
}  // namespace

void checkTraceSuite(const std::string& title, const fs::path& suite, const fs::path& passingList,
                     const TraceRunner& run) {
  if (!fs::exists(suite)) GTEST_SKIP() << "corpus not present at " << suite;
  const std::set<std::string> mustPass = readPassingList(passingList);
  std::vector<fs::path> dirs;
  for (auto& e : fs::recursive_directory_iterator(suite))
    if (e.path().filename() == "output.txt" && fs::exists(e.path().parent_path() / "test.swf"))
      dirs.push_back(e.path().parent_path());
  std::sort(dirs.begin(), dirs.end());
  const char* only = std::getenv("ORV_CORPUS_ONLY");
  size_t exact = 0, passedOurs = 0, passedRef = 0, total = 0;
  std::vector<std::string> nowPassing, regressions;
  for (auto& dir : dirs) {
    const std::string name = fs::relative(dir, suite).string();
    // A name ending in '$' is matched whole, not as a part.
    if (only) {
      const std::string_view o(only);
      if (!o.empty() && o.back() == '$' ? name != o.substr(0, o.size() - 1)
                                        : name.find(o) == std::string::npos)
        continue;
    }
    ++total;
    const auto expected = lines(slurp(dir / "output.txt"));
    const auto got = run(dir, framesToRun(dir / "test.toml"));
    std::multiset<std::string> want;
    for (auto& l : expected)
      if (isPassLine(l)) want.insert(l);
    size_t found = 0;
    for (auto& l : got)
      if (auto it = want.find(l); it != want.end()) {
        ++found;
        want.erase(it);
      }
    passedRef += countPassed(expected);
    passedOurs += found;
    const bool match = got == expected;
    if (match) {
      ++exact;
      nowPassing.push_back(name);
    } else if (mustPass.count(name)) {
      regressions.push_back(name);
    }
    if (std::getenv("ORV_CORPUS_VERBOSE"))
      std::printf("%-60s %s %zu/%zu\n", name.c_str(), match ? "MATCH" : "diff ", found,
                  countPassed(expected));
    if (only && std::getenv("ORV_CORPUS_DUMP"))
      for (auto& l : got) std::printf("%s\n", l.c_str());
  }
  std::printf("%s: %zu of %zu trace outputs match exactly; PASSED lines %zu of %zu\n",
              title.c_str(), exact, total, passedOurs, passedRef);
  if (std::getenv("ORV_CORPUS_WRITE"))
    writePassingList(
        passingList,
        title + ": cases whose trace output matches exactly; a regression fails the test",
        nowPassing);
  for (auto& r : regressions) ADD_FAILURE() << title << ": no longer matches: " << r;
}

}  // namespace orv::movie::corpus
