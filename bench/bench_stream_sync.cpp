// The cost of keeping the timeline in step with a stream sound, as ratios within one run:
// a movie whose frames each carry a block of stream sound against the same movie without
// the sound (the baseline), played on time and played with late frames caught up.
#include <benchmark/benchmark.h>

#include "movie/player.h"
#include "sound/sound_movies.h"

namespace {

using namespace orv::movie;
using namespace orv::movie::test;

constexpr int kFrames = 100;  // 10 s at 10 fps, looping

std::vector<uint8_t> streamMovie(bool withSound) {
  std::vector<uint8_t> tags =
      withSound ? streamHead(3, uint16_t(kFramePeriod)) : std::vector<uint8_t>{};
  auto tone = pcm16(sine(kFramePeriod, 440, 8000));
  for (int f = 0; f < kFrames; ++f) {
    if (withSound) {
      auto block = streamBlock(tone);
      tags.insert(tags.end(), block.begin(), block.end());
    }
    auto show = showFrame();
    tags.insert(tags.end(), show.begin(), show.end());
  }
  return tenFps(tags, uint16_t(kFrames));
}

// One second of movie per iteration: the clock asks for the frames that fell due every
// `lateBy` frame periods and the output pulls the sound of that time.
void play(benchmark::State& state, bool withSound, int lateBy) {
  Player player;
  if (!player.loadBytes(streamMovie(withSound))) {
    state.SkipWithError("movie did not load");
    return;
  }
  player.play();
  std::vector<int16_t> buffer(2 * kFramePeriod * size_t(lateBy));
  for (auto _ : state) {
    for (int t = 0; t < 10; t += lateBy) {
      player.advance(player.framePeriodMs() * lateBy);
      player.mixAudio(buffer.data(), kFramePeriod * size_t(lateBy));
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * 10);  // frames
}

void BM_SilentMovieOnTime(benchmark::State& s) { play(s, false, 1); }  // the baseline
void BM_StreamMovieOnTime(benchmark::State& s) { play(s, true, 1); }
void BM_StreamMovieFramesTwoLate(benchmark::State& s) { play(s, true, 2); }
void BM_StreamMovieFramesFiveLate(benchmark::State& s) { play(s, true, 5); }
BENCHMARK(BM_SilentMovieOnTime);
BENCHMARK(BM_StreamMovieOnTime);
BENCHMARK(BM_StreamMovieFramesTwoLate);
BENCHMARK(BM_StreamMovieFramesFiveLate);

}  // namespace

BENCHMARK_MAIN();
