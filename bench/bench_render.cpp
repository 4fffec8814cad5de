// Renderer speed: the heaviest visual-corpus movies (played by the player, scripts
// and all, to the frame the corpus shows), and a page of text in a device font,
// drawn at 1920x1080, High quality, on one core: standing still, and with
// the view panning so that every frame is rasterised afresh. Each movie's time is also given as a
// ratio to the baseline in the same process (clearing the frame to the background).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "movie/player.h"
#include "movie/render/movie_renderer.h"

namespace {

using namespace orv::movie;
namespace fs = std::filesystem;

constexpr int kWidth = 1920, kHeight = 1080;

// The number of frames the corpus plays before its picture is taken.
int framesOf(const fs::path& dir) {
  std::ifstream f(dir / "test.toml");
  std::string line;
  while (std::getline(f, line)) {
    for (const char* key : {"num_frames", "num_ticks"})
      if (line.rfind(key, 0) == 0 && line.find('=') != std::string::npos)
        return std::clamp(std::atoi(line.c_str() + line.find('=') + 1), 1, 200);
  }
  return 1;
}

// A corpus movie played, scripts and all, up to the frame its picture shows.
std::unique_ptr<Player> load(const std::string& id) {
  const fs::path dir = fs::path(ORV_CORPUS_DIR) / "visual" / id;
  auto player = std::make_unique<Player>();
  if (!player->load((dir / "test.swf").string())) return nullptr;
  player->setQuality(Quality::High);
  player->start();
  for (int frame = framesOf(dir); frame > 1; --frame) player->advance(player->framePeriodMs());
  return player;
}

double gBaselineNs = 0;

// A digest of a frame's pixels (FNV-1a, cut to six digits so the report shows
// it whole), so that a change meant to be faster can be seen to draw the same
// picture.
double digest(const std::vector<uint32_t>& pixels) {
  uint32_t h = 2166136261u;
  for (uint32_t p : pixels) h = (h ^ p) * 16777619u;
  return double(h % 1000000u);
}

void BM_ClearFrameBaseline(benchmark::State& state) {
  std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
  render::MovieRenderer renderer;
  for (auto _ : state) {
    renderer.render({}, {pixels.data(), kWidth, kHeight}, {0, 0, 11000, 8000},
                    render::RenderQuality::High, 0xFFFFFF);
    benchmark::DoNotOptimize(pixels.data());
  }
}

// `panning`: the view moves by a seventh of a pixel every frame, as in a
// scrolling movie, so no shape is drawn twice at the same place and every
// frame is rasterised afresh. Otherwise the movie stands still, and shapes
// drawn unchanged are painted from the coverage kept since the last frame.
void BM_RenderMovie(benchmark::State& state, const std::string& id, bool panning) {
  const std::unique_ptr<Player> player = load(id);
  if (!player) {
    state.SkipWithError(("cannot read corpus movie " + id).c_str());
    return;
  }
  const ViewRect stage = player->stage();
  Pixmap frame{kWidth, kHeight, std::vector<uint32_t>(size_t(kWidth) * kHeight)};
  ViewRect view = stage;
  const double twipsPerPixel = view.width / kWidth;
  int frames = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (panning) view.x = stage.x + twipsPerPixel * double(++frames % 64) / 7;
    player->render(frame, view);
    benchmark::DoNotOptimize(frame.pixels.data());
  }
  const double ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  if (gBaselineNs > 0 && state.iterations() > 0)
    state.counters["x_baseline"] = ns / double(state.iterations()) / gBaselineNs;
  // Untimed: one more frame at a fixed place (three sevenths of a pixel in, when
  // panning), whose pixels do not depend on how many frames were timed.
  if (panning) view.x = stage.x + twipsPerPixel * 3 / 7;
  player->render(frame, view);
  state.counters["digest"] = digest(frame.pixels);
}

// A page of text in a device font (the system's serif face): a 550 x 400 stage filled
// with a word-wrapped field of 12-pixel text, about 30 lines of 90 characters.
void BM_RenderDeviceText(benchmark::State& state) {
  auto movie = std::make_shared<swf::Movie>();
  movie->header.frameSize = {0, 11000, 0, 8000};
  swf::EditTextDef def;
  def.id = 1;
  def.bounds = {0, 11000, 0, 8000};
  def.wordWrap = def.multiline = def.readOnly = true;
  def.hasFont = true;
  def.fontHeight = 240;
  movie->dictionary.emplace(1, def);
  std::string text;
  while (text.size() < 2700) text += "The quick brown fox jumps over the lazy dog, 0123456789. ";
  render::DisplayNode node;
  node.character = &movie->dictionary.at(1);
  node.depth = 1;
  node.text = &text;
  std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
  render::MovieRenderer renderer(movie);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    renderer.render({node}, {pixels.data(), kWidth, kHeight}, {0, 0, 11000, 8000},
                    render::RenderQuality::High, 0xFFFFFF);
    benchmark::DoNotOptimize(pixels.data());
  }
  const double ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  if (gBaselineNs > 0 && state.iterations() > 0)
    state.counters["x_baseline"] = ns / double(state.iterations()) / gBaselineNs;
}

// Median time of clearing a frame, the unit the movies are measured in.
double measureBaseline() {
  std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
  render::MovieRenderer renderer;
  std::vector<double> times;
  for (int i = 0; i < 21; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    renderer.render({}, {pixels.data(), kWidth, kHeight}, {0, 0, 11000, 8000},
                    render::RenderQuality::High, 0xFFFFFF);
    benchmark::DoNotOptimize(pixels.data());
    times.push_back(
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count());
  }
  std::nth_element(times.begin(), times.begin() + 10, times.end());
  return times[10];
}

const char* kMovies[] = {
    "simple_shapes/heavy_tesselation",
    "simple_shapes/gradients/gradients",
    "simple_shapes/masks",
    "simple_shapes/strokes/scale",
    "drawing_api/gradient_focal_point",
    "gradient_nonsequential_ratios",
    "fonts/leading_define_font",
    "cache_as_bitmap/nested_matrix",
    "filters/bevel",
    "filters/drop_shadow_angles",
    "filters/blur_scales_with_screen",
};

}  // namespace

int main(int argc, char** argv) {
  gBaselineNs = measureBaseline();
  benchmark::RegisterBenchmark("ClearFrameBaseline", BM_ClearFrameBaseline)
      ->Unit(benchmark::kMillisecond);
  for (const char* id : kMovies)
    benchmark::RegisterBenchmark(("Render/" + std::string(id)).c_str(), [id](benchmark::State& s) {
      BM_RenderMovie(s, id, false);
    })->Unit(benchmark::kMillisecond);
  for (const char* id : kMovies)
    benchmark::RegisterBenchmark(("RenderPanning/" + std::string(id)).c_str(),
                                 [id](benchmark::State& s) { BM_RenderMovie(s, id, true); })
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Render/device_text_page", BM_RenderDeviceText)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
