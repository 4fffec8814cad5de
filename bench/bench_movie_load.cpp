// Loading and running movies: the largest corpus movies loaded and run for 1,000 frames
// (display list only, no drawing), against a baseline of reading the file's bytes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "movie/player.h"
#include "movie/swf/reader.h"

namespace fs = std::filesystem;
using namespace orv::movie;

namespace {
std::vector<fs::path> largestMovies(size_t n) {
  std::vector<std::pair<uintmax_t, fs::path>> all;
  if (fs::exists(ORV_CORPUS_DIR))
    for (const auto& e : fs::recursive_directory_iterator(ORV_CORPUS_DIR))
      if (e.is_regular_file() && e.path().filename() == "test.swf")
        all.emplace_back(e.file_size(), e.path());
  std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.first > b.first; });
  std::vector<fs::path> out;
  for (size_t i = 0; i < std::min(n, all.size()); ++i) out.push_back(all[i].second);
  return out;
}

std::vector<uint8_t> fileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

void reportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

void BM_ReadFileBaseline(benchmark::State& state) {
  auto movies = largestMovies(5);
  if (movies.empty()) return state.SkipWithError("no corpus");
  for (auto _ : state)
    for (const auto& m : movies) benchmark::DoNotOptimize(fileBytes(m));
  reportPeakMemory(state);
}
BENCHMARK(BM_ReadFileBaseline)->Unit(benchmark::kMillisecond);

void BM_ParseLargest(benchmark::State& state) {
  auto movies = largestMovies(5);
  if (movies.empty()) return state.SkipWithError("no corpus");
  std::vector<std::vector<uint8_t>> bytes;
  for (const auto& m : movies) bytes.push_back(fileBytes(m));
  for (auto _ : state)
    for (const auto& b : bytes) benchmark::DoNotOptimize(swf::readMovie(b));
  reportPeakMemory(state);
}
BENCHMARK(BM_ParseLargest)->Unit(benchmark::kMillisecond);

void BM_LoadAndRun1000Frames(benchmark::State& state) {
  auto movies = largestMovies(5);
  if (movies.empty()) return state.SkipWithError("no corpus");
  for (auto _ : state) {
    for (const auto& m : movies) {
      Player p;
      if (!p.load(m.string())) continue;
      p.play();
      for (int f = 0; f < 1000; ++f) p.advance(p.framePeriodMs());
      benchmark::DoNotOptimize(p.currentFrame());
    }
  }
  reportPeakMemory(state);
}
BENCHMARK(BM_LoadAndRun1000Frames)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
