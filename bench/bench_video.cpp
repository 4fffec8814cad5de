// Video costs at 640x480, from the corpus's key frames (the dearest kind to decode): one
// frame decoded and converted to a bitmap, and the frame drawn full screen at 1920x1080
// by the player. `x_realtime` is a 30 fps frame period over the time measured: above 1,
// the stream keeps up.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include "movie/player.h"
#include "movie/swf/reader.h"
#include "movie/video/embedded_video.h"

namespace {

using namespace orv::movie;

constexpr double kFramePeriodNs = 1e9 / 30;

std::string corpusMovie(const std::string& name) {
  return std::string(ORV_CORPUS_DIR) + "/visual/video/" + name + "/test.swf";
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void realtime(benchmark::State& state) {
  state.counters["x_realtime"] = benchmark::Counter(
      kFramePeriodNs * double(state.iterations()) / 1e9, benchmark::Counter::kIsRate);
}

void decodeFrame(benchmark::State& state, const std::string& name) {
  auto read = swf::readMovie(readFile(corpusMovie(name)));
  const swf::VideoStreamDef* stream = nullptr;
  if (read.movie)
    for (const auto& [id, ch] : read.movie->dictionary)
      if (const auto* v = std::get_if<swf::VideoStreamDef>(&ch)) stream = v;
  if (!stream || stream->frames.empty()) {
    state.SkipWithError("no video stream in the corpus movie");
    return;
  }
  for (auto _ : state) {
    video::EmbeddedVideo v(*stream);  // afresh, so every iteration decodes
    benchmark::DoNotOptimize(v.pictureAt(0));
  }
  realtime(state);
}

void drawFrame(benchmark::State& state, const std::string& name) {
  Player player;
  if (!player.load(corpusMovie(name))) {
    state.SkipWithError("no corpus movie");
    return;
  }
  player.setQuality(Quality::High);
  player.start();
  Pixmap pix;
  pix.width = 1920, pix.height = 1080;
  for (auto _ : state) {
    player.render(pix, player.stage());
    benchmark::DoNotOptimize(pix.pixels.data());
  }
  realtime(state);
}

void BM_DecodeVp6Alpha640x480(benchmark::State& s) { decodeFrame(s, "colorconversion/vp6a"); }
void BM_DecodeH263_640x480(benchmark::State& s) { decodeFrame(s, "colorconversion/h263"); }
void BM_DrawVp6Alpha1080p(benchmark::State& s) { drawFrame(s, "colorconversion/vp6a"); }
void BM_DrawH263_1080p(benchmark::State& s) { drawFrame(s, "colorconversion/h263"); }
BENCHMARK(BM_DecodeVp6Alpha640x480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeH263_640x480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawVp6Alpha1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawH263_1080p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
