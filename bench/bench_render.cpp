// Renderer speed: the heaviest visual-corpus movies, and a page of text in a device
// font, drawn at 1920x1080, High quality, on one core: standing still, and with
// the view panning so that every frame is rasterised afresh. Each movie's time is also given as a ratio to the
// baseline in the same process (clearing the frame to the background).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "movie/render/movie_renderer.h"
#include "movie/swf/reader.h"

namespace {

using namespace orv::movie;
namespace fs = std::filesystem;

constexpr int kWidth = 1920, kHeight = 1080;

// The root display list after `frames` frames, sprites at their first frame
// (enough to draw what the movie places; scripts do not run here).
void place(const swf::Movie& movie, const swf::Timeline& timeline, int frames,
           std::vector<render::DisplayNode>& out, int nesting) {
  std::map<uint16_t, render::DisplayNode> list;
  for (int f = 0; f < frames && f < int(timeline.frames.size()); ++f) {
    for (const auto& tag : timeline.frames[size_t(f)].displayTags) {
      if (const auto* rm = std::get_if<swf::RemoveObject>(&tag)) {
        list.erase(rm->depth);
        continue;
      }
      const auto& p = std::get<swf::PlaceObject>(tag);
      auto& node = list[p.depth];
      if (p.characterId) node.character = movie.find(*p.characterId);
      node.depth = p.depth;
      if (p.matrix) node.matrix = *p.matrix;
      if (p.cxform) node.cxform = *p.cxform;
      if (p.ratio) node.ratio = *p.ratio;
      if (p.clipDepth) node.clipDepth = *p.clipDepth;
      if (p.blendMode) node.blendMode = *p.blendMode;
      if (p.hasFilters) node.filters = &p.filterData;
    }
  }
  for (auto& [depth, node] : list) {
    if (!node.character) continue;
    if (const auto* sprite = std::get_if<swf::SpriteDef>(node.character); sprite && nesting < 16)
      place(movie, sprite->timeline, 1, node.children, nesting + 1);
    out.push_back(node);
  }
}

struct Loaded {
  std::shared_ptr<const swf::Movie> movie;
  std::vector<render::DisplayNode> stage;
};

Loaded load(const std::string& id) {
  const fs::path path = fs::path(ORV_CORPUS_DIR) / "visual" / id / "test.swf";
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
  Loaded l;
  l.movie = swf::readMovie(bytes).movie;
  if (l.movie) place(*l.movie, l.movie->root, 1000, l.stage, 0);
  return l;
}

double gBaselineNs = 0;

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
  const Loaded l = load(id);
  if (!l.movie) {
    state.SkipWithError(("cannot read corpus movie " + id).c_str());
    return;
  }
  const auto& r = l.movie->header.frameSize;
  std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
  render::MovieRenderer renderer(l.movie);
  render::StageView view{double(r.xMin), double(r.yMin), double(r.width()), double(r.height())};
  const double twipsPerPixel = view.width / kWidth;
  int frame = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (panning) view.x = double(r.xMin) + twipsPerPixel * double(++frame % 64) / 7;
    renderer.render(l.stage, {pixels.data(), kWidth, kHeight}, view, render::RenderQuality::High,
                    0xFFFFFF);
    benchmark::DoNotOptimize(pixels.data());
  }
  const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  if (gBaselineNs > 0 && state.iterations() > 0)
    state.counters["x_baseline"] = ns / double(state.iterations()) / gBaselineNs;
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
  const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
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
    times.push_back(std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count());
  }
  std::nth_element(times.begin(), times.begin() + 10, times.end());
  return times[10];
}

const char* kMovies[] = {
    "simple_shapes/heavy_tesselation", "simple_shapes/gradients/gradients",
    "simple_shapes/masks",            "simple_shapes/strokes/scale",
    "drawing_api/gradient_focal_point", "gradient_nonsequential_ratios",
    "fonts/leading_define_font",      "cache_as_bitmap/nested_matrix",
    "filters/bevel",                  "filters/drop_shadow_angles",
    "filters/blur_scales_with_screen",
};

}  // namespace

int main(int argc, char** argv) {
  gBaselineNs = measureBaseline();
  benchmark::RegisterBenchmark("ClearFrameBaseline", BM_ClearFrameBaseline)->Unit(benchmark::kMillisecond);
  for (const char* id : kMovies)
    benchmark::RegisterBenchmark(("Render/" + std::string(id)).c_str(),
                                 [id](benchmark::State& s) { BM_RenderMovie(s, id, false); })
        ->Unit(benchmark::kMillisecond);
  for (const char* id : kMovies)
    benchmark::RegisterBenchmark(("RenderPanning/" + std::string(id)).c_str(),
                                 [id](benchmark::State& s) { BM_RenderMovie(s, id, true); })
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Render/device_text_page", BM_RenderDeviceText)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
