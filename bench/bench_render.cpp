// Renderer speed: the heaviest visual-corpus movies (played by the player, scripts
// and all, to the frame the corpus shows), and a page of text in a device font,
// drawn at 1920x1080, High quality: standing still, and with the view panning so that
// every frame is rasterised afresh. The timed loop draws on every core (as the player
// does); each movie's median frame is also given on one thread and on all of them
// (one_ms, all_ms, threads, x_threads = all_ms / one_ms). Each movie's time is also given as a
// ratio to the baseline in the same process (clearing the frame to the background),
// and, for the fills one frame of it paints straight onto the frame, the time of our sweeps
// against Anti-Grain Geometry's compound rasteriser drawing the same lines and paints
// (sweeps_ms, agg_ms, x_agg; agg_all is 1 where that is the whole frame; sweeps_all_ms and
// x_agg_all with our sweeps on every core), with how far the two pictures are apart
// (agg_maxdiff, agg_diff_pct).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "movie/player.h"
#include "movie/render/movie_renderer.h"
#include "movie/render/raster/canvas.h"

#ifdef ORV_BENCH_AGG
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_compound_aa.h>
#include <agg_renderer_base.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>
#endif

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

// ---- The same fills drawn by Anti-Grain Geometry ----
//
// One frame of each movie is drawn once with a FillTap watching: every sweep
// painted straight onto the frame (not into a mask, through one, or onto a
// layer kept for filters, blend modes or a bitmap cache) is recorded as the
// device-space lines the sweep was given, fill by fill, with its paints. Both
// rasterisers then draw exactly that input onto a frame cleared to the
// movie's background, and only that is timed: ours sweeps it through a
// FillSweep onto a Canvas; AGG's compound rasteriser gets every line with its
// fill as the left style (no right style), so each fill's coverage comes from
// its own outline, and paints the styles of each row in order, source over.
// Solid colours go to AGG as they are; gradient and bitmap pixels are shaded
// by our Paint for both, so the two differ only in coverage and compositing.
struct RecordedSweep {
  render::FillRule rule = render::FillRule::NonZero;
  render::AntiAlias antialias = render::AntiAlias::Area;
  std::vector<render::Paint> paints;
  std::vector<uint32_t> fill;  // per line
  std::vector<render::Point> from, to;
};

struct RecordedFrame {
  std::vector<RecordedSweep> sweeps;
  int masked = 0;   // sweeps into or through masks
  int onLayer = 0;  // sweeps onto layers (filters, blend modes, bitmap caches)
  int other = 0;    // coverage painted without a sweep (kept, or a single rasteriser)
  uint32_t background = 0;
  std::vector<uint32_t> player;  // the frame the player drew
  bool drawsAll() const { return masked == 0 && onLayer == 0 && other == 0; }
};

class Recorder final : public render::FillTap {
 public:
  Recorder(const uint32_t* frame, RecordedFrame& out) : frame_(frame), out_(out) {}
  void swept(const render::Canvas& canvas, bool masked, const render::FillSweep& fills,
             render::FillRule rule, render::AntiAlias antialias,
             const std::vector<render::Paint>& paints) override {
    if (canvas.pixels() != frame_) {
      ++out_.onLayer;
      return;
    }
    if (masked) {
      ++out_.masked;
      return;
    }
    if (paints.empty()) return;
    RecordedSweep& s = out_.sweeps.emplace_back();
    s.rule = rule;
    s.antialias = antialias;
    s.paints = paints;
    fills.forEachLine([&](uint32_t fill, render::Point a, render::Point b) {
      s.fill.push_back(fill);
      s.from.push_back(a);
      s.to.push_back(b);
    });
  }
  void other(const render::Canvas& canvas) override {
    if (canvas.pixels() == frame_)
      ++out_.other;
    else
      ++out_.onLayer;
  }

 private:
  const uint32_t* frame_;
  RecordedFrame& out_;
};

uint32_t opaque(uint32_t rgb) { return 0xFF000000u | rgb; }

void drawOurs(const RecordedFrame& r, std::vector<uint32_t>& pixels, render::FillSweep& sweep,
              render::BandPool* bands = nullptr) {
  render::Canvas canvas({pixels.data(), kWidth, kHeight});
  canvas.setBands(bands);
  canvas.clear(r.background);
  for (const RecordedSweep& s : r.sweeps) {
    sweep.reset(kWidth, kHeight);
    uint32_t current = ~0u;
    for (size_t i = 0; i < s.fill.size(); ++i) {
      if (s.fill[i] != current) {
        sweep.beginFill();
        current = s.fill[i];
      }
      sweep.addLine(s.from[i], s.to[i]);
    }
    canvas.fill(sweep, s.rule, s.antialias, s.paints);
  }
}

#ifdef ORV_BENCH_AGG
using AggPixels = agg::pixfmt_bgra32_pre;  // 0xAARRGGBB words, premultiplied

agg::rgba8 toAgg(uint32_t c) {
  return agg::rgba8((c >> 16) & 255, (c >> 8) & 255, c & 255, c >> 24);
}

void drawAgg(const RecordedFrame& r, std::vector<uint32_t>& pixels) {
  std::fill(pixels.begin(), pixels.end(), r.background);
  agg::rendering_buffer buffer(reinterpret_cast<agg::int8u*>(pixels.data()), kWidth, kHeight,
                               kWidth * 4);
  AggPixels format(buffer);
  agg::renderer_base<AggPixels> out(format);
  agg::rasterizer_compound_aa<agg::rasterizer_sl_clip_int> ras;
  agg::scanline_u8 sl;
  ras.layer_order(agg::layer_inverse);  // ascending styles: the fills in the order begun
  static thread_local std::vector<uint32_t> shaded(kWidth);
  static thread_local std::vector<agg::rgba8> colors(kWidth);
  auto sub = [](float v) { return int(std::lround(double(v) * agg::poly_subpixel_scale)); };
  for (const RecordedSweep& s : r.sweeps) {
    ras.reset();
    ras.clip_box(0, 0, kWidth, kHeight);
    ras.filling_rule(s.rule == render::FillRule::EvenOdd ? agg::fill_even_odd : agg::fill_non_zero);
    for (size_t i = 0; i < s.fill.size(); ++i) {
      ras.styles(int(s.fill[i]), -1);
      ras.move_to(sub(s.from[i].x), sub(s.from[i].y));
      ras.line_to(sub(s.to[i].x), sub(s.to[i].y));
    }
    if (!ras.rewind_scanlines()) continue;
    sl.reset(ras.min_x(), ras.max_x());
    while (const unsigned styles = ras.sweep_styles()) {
      for (unsigned i = 0; i < styles; ++i) {
        const unsigned style = ras.style(i);
        if (!ras.sweep_scanline(sl, int(i)) || style >= s.paints.size()) continue;
        const render::Paint& paint = s.paints[style];
        const int y = sl.y();
        auto span = sl.begin();
        for (unsigned n = sl.num_spans(); n > 0; --n, ++span) {
          if (paint.isSolid()) {
            out.blend_solid_hspan(span->x, y, unsigned(span->len), toAgg(paint.color()),
                                  span->covers);
            continue;
          }
          paint.shade(span->x, y, span->len, shaded.data());
          for (int k = 0; k < span->len; ++k) colors[size_t(k)] = toAgg(shaded[size_t(k)]);
          out.blend_color_hspan(span->x, y, unsigned(span->len), colors.data(), span->covers);
        }
      }
    }
  }
}
#endif

// How far two frames are apart: the largest difference of any channel, and
// the share of pixels where some channel differs by more than 2.
struct Difference {
  int largest = 0;
  double share = 0;
};
Difference compare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  Difference d;
  size_t differing = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8)
      most = std::max(most, std::abs(int((a[i] >> shift) & 255) - int((b[i] >> shift) & 255)));
    d.largest = std::max(d.largest, most);
    differing += most > 2;
  }
  d.share = double(differing) / double(a.size());
  return d;
}

template <class Draw>
double medianMs(Draw&& draw) {
  std::vector<double> times;
  for (int i = 0; i < 7; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    draw();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::nth_element(times.begin(), times.begin() + 3, times.end());
  return times[3];
}

// Per movie, once: the recorded frame, both times and how the pictures compare.
struct PeerFigures {
  bool recorded = false;
  bool drawsAll = false;
  bool replaySame = false;  // our replay of the record gives the player's frame
  size_t sweeps = 0;        // recorded: nothing to compare without any
  double oursMs = 0, aggMs = 0;
  double oursAllMs = 0;  // our sweeps on every core
  bool allSame = false;  // and the same pixels
  Difference difference;
};

PeerFigures peerFigures(const std::string& id) {
  static std::map<std::string, PeerFigures> known;
  if (auto it = known.find(id); it != known.end()) return it->second;
  PeerFigures f;
  RecordedFrame record;
  if (const std::unique_ptr<Player> player = load(id)) {
    Pixmap frame{kWidth, kHeight, std::vector<uint32_t>(size_t(kWidth) * kHeight)};
    Recorder recorder(frame.pixels.data(), record);
    render::Canvas::setTap(&recorder);
    player->render(frame, player->stage());
    render::Canvas::setTap(nullptr);
    record.background = opaque(player->backgroundColor());
    record.player = frame.pixels;
    f.recorded = true;
    f.drawsAll = record.drawsAll();
    f.sweeps = record.sweeps.size();
    std::vector<uint32_t> ours(frame.pixels.size()), theirs(frame.pixels.size());
    render::FillSweep sweep;
    f.oursMs = medianMs([&] { drawOurs(record, ours, sweep); });
    f.replaySame = ours == record.player;
    render::BandPool bands(render::BandPool::machineThreads());
    std::vector<uint32_t> banded(frame.pixels.size());
    f.oursAllMs = medianMs([&] { drawOurs(record, banded, sweep, &bands); });
    f.allSame = banded == ours;
#ifdef ORV_BENCH_AGG
    f.aggMs = medianMs([&] { drawAgg(record, theirs); });
    f.difference = compare(ours, theirs);
    std::fprintf(stderr,
                 "%s: %zu sweeps to AGG%s (masked %d, on layers %d, other %d); replay %s the "
                 "player's frame; AGG differs by at most %d, %.3f%% of pixels by more than 2\n",
                 id.c_str(), record.sweeps.size(), f.drawsAll ? ", all the frame" : ", a part",
                 record.masked, record.onLayer, record.other, f.replaySame ? "is" : "is not",
                 f.difference.largest, 100 * f.difference.share);
#endif
  }
  known[id] = f;
  return f;
}

void reportPeer(benchmark::State& state, const std::string& id) {
  const PeerFigures f = peerFigures(id);
  if (!f.recorded || f.sweeps == 0) return;  // AGG draws none of it
  state.counters["sweeps_ms"] = f.oursMs;
  state.counters["agg_all"] = f.drawsAll;
  state.counters["sweeps_all_ms"] = f.oursAllMs;
  state.counters["sweeps_all_same"] = f.allSame;
#ifdef ORV_BENCH_AGG
  state.counters["agg_ms"] = f.aggMs;
  if (f.aggMs > 0) state.counters["x_agg"] = f.oursMs / f.aggMs;
  if (f.aggMs > 0) state.counters["x_agg_all"] = f.oursAllMs / f.aggMs;
  state.counters["agg_maxdiff"] = f.difference.largest;
  state.counters["agg_diff_pct"] = 100 * f.difference.share;
#endif
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
  // Untimed: the median frame on one thread and on all of them, and whether they agree.
  const int all = render::BandPool::machineThreads();
  std::vector<uint32_t> pictures[2];
  double ms[2];
  for (int i = 0; i < 2; ++i) {
    player->setRenderThreads(i == 0 ? 1 : all);
    ms[i] = medianMs([&] {
      if (panning) view.x = stage.x + twipsPerPixel * double(++frames % 64) / 7;
      player->render(frame, view);
    });
    if (panning) view.x = stage.x + twipsPerPixel * 2 / 7;
    player->render(frame, view);
    pictures[i] = frame.pixels;
  }
  player->setRenderThreads(0);
  state.counters["one_ms"] = ms[0];
  state.counters["all_ms"] = ms[1];
  state.counters["threads"] = all;
  if (ms[0] > 0) state.counters["x_threads"] = ms[1] / ms[0];
  state.counters["threads_same"] = pictures[0] == pictures[1];
  // Untimed: one more frame at a fixed place (three sevenths of a pixel in, when
  // panning), whose pixels do not depend on how many frames were timed.
  if (panning) view.x = stage.x + twipsPerPixel * 3 / 7;
  player->render(frame, view);
  state.counters["digest"] = digest(frame.pixels);
  reportPeer(state, id);
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
