// Renders every movie of the visual corpus and compares it with the image a
// reference player made. Passes while every case listed in
// visual_corpus_passing.txt still matches; prints the count.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "movie/codec/image_decoder.h"
#include "movie/corpus/recorded_input.h"
#include "movie/player.h"
#include "movie/render/movie_renderer.h"
#include "movie/render/raster/pixel.h"
#include "movie/swf/reader.h"
#include "render_test_util.h"
#include "static_stage.h"

namespace orv::movie::render {
namespace {

namespace fs = std::filesystem;

struct Check {
  int tolerance = 0;
  int maxOutliers = 0;
};
struct Capture {
  std::string name;  // "output" or "output.01"
  int trigger = -1;  // frame (1-based) the image is taken at; -1: the end
  std::vector<Check> checks;
};
struct CorpusCase {
  std::string id;  // path under visual/
  fs::path dir;
  int frames = 1;
  RenderQuality quality = RenderQuality::High;
  int viewWidth = 0, viewHeight = 0;  // viewport_dimensions; 0: the stage size
  std::vector<Capture> captures;
};

std::string readText(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}
std::vector<uint8_t> readBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

// Just enough TOML for test.toml: top-level counts, image comparison tables
// (plain, dotted-key and [[...checks]] forms) and the renderer quality.
CorpusCase parseCase(const fs::path& dir, const std::string& id) {
  CorpusCase c;
  c.id = id;
  c.dir = dir;
  std::istringstream in(readText(dir / "test.toml"));
  std::string line;
  Capture* current = nullptr;
  auto capture = [&c](const std::string& name) -> Capture& {
    for (auto& cap : c.captures)
      if (cap.name == name) return cap;
    c.captures.push_back({name, -1, {}});
    return c.captures.back();
  };
  const std::regex section(R"(^\[\[?image_comparisons\.\"?([A-Za-z0-9_.]+?)\"?(\.checks)?\]\]?)");
  const std::regex dotted(R"(^image_comparisons\.\"?([A-Za-z0-9_.]+?)\"?\.(\w+)\s*=\s*(\d+))");
  const std::regex viewport(
      R"(viewport_dimensions\s*=\s*\{\s*width\s*=\s*(\d+),\s*height\s*=\s*(\d+))");
  const std::regex keyValue(R"(^(\w+)\s*=\s*(\d+))");
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, section)) {
      current = &capture(m[1]);
      current->checks.push_back({});
      continue;
    }
    if (line.rfind("[", 0) == 0) {
      current = nullptr;
      if (line.find("player_options") == std::string::npos) continue;
    }
    if (line.find("quality = \"low\"") != std::string::npos) c.quality = RenderQuality::Low;
    if (std::regex_search(line, m, viewport)) {
      c.viewWidth = std::clamp(std::stoi(m[1]), 1, 4096);
      c.viewHeight = std::clamp(std::stoi(m[2]), 1, 4096);
      continue;
    }
    if (std::regex_search(line, m, dotted)) {
      Capture& cap = capture(m[1]);
      if (cap.checks.empty()) cap.checks.push_back({});
      if (m[2] == "trigger") cap.trigger = std::stoi(m[3]);
      continue;
    }
    if (!std::regex_search(line, m, keyValue)) continue;
    const std::string key = m[1];
    const int value = std::stoi(m[2]);
    if (!current) {
      if (key == "num_frames" || key == "num_ticks") c.frames = std::clamp(value, 1, 200);
    } else if (key == "trigger") {
      current->trigger = value;
    } else if (key == "tolerance") {
      current->checks.back().tolerance = value;
    } else if (key == "max_outliers") {
      current->checks.back().maxOutliers = value;
    }
  }
  if (c.captures.empty()) c.captures.push_back({"output", -1, {{}}});
  return c;
}

std::vector<CorpusCase> corpusCases() {
  std::vector<CorpusCase> cases;
  const fs::path root = fs::path(ORV_CORPUS_DIR) / "visual";
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return cases;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->path().filename() != "test.toml" || !fs::exists(it->path().parent_path() / "test.swf"))
      continue;
    // ORV_CORPUS_ONLY=part limits a run to the cases whose id contains it.
    const std::string id = fs::relative(it->path().parent_path(), root).generic_string();
    if (const char* only = std::getenv("ORV_CORPUS_ONLY");
        only && id.find(only) == std::string::npos)
      continue;
    cases.push_back(parseCase(it->path().parent_path(), id));
  }
  std::sort(cases.begin(), cases.end(), [](auto& a, auto& b) { return a.id < b.id; });
  return cases;
}

struct Outcome {
  bool pass = false;
  std::string why;
};

Outcome compare(const std::vector<uint32_t>& frame, int w, int h, const fs::path& expectedPng,
                const std::vector<Check>& checks, const std::string& dumpAs) {
  const auto bytes = readBytes(expectedPng);
  const auto expected = codec::decodeImage(bytes.data(), bytes.size());
  if (!expected) return {false, "no expected image"};
  if (expected->width != w || expected->height != h)
    return {false, "size " + std::to_string(w) + "x" + std::to_string(h) + " vs expected " +
                       std::to_string(expected->width) + "x" + std::to_string(expected->height)};
  if (const char* dump = std::getenv("ORV_CORPUS_DUMP")) {
    fs::create_directories(dump);
    test::writePng((fs::path(dump) / (dumpAs + ".png")).string(), w, h, frame);
  }
  std::string why;
  bool pass = true;
  for (const Check& check : checks) {
    int outliers = 0, worst = 0;
    for (size_t i = 0; i < frame.size(); ++i) {
      const int d = test::colorDistance(unpremultiply(frame[i]) | 0, expected->argb[i]);
      worst = std::max(worst, d);
      if (d > check.tolerance) ++outliers;
    }
    if (outliers > check.maxOutliers) {
      pass = false;
      why = std::to_string(outliers) + " pixels off by more than " +
            std::to_string(check.tolerance) + " (worst " + std::to_string(worst) + ")";
    }
  }
  return {pass, why};
}

Outcome runCase(const CorpusCase& c) {
  const auto bytes = readBytes(c.dir / "test.swf");
  const auto read = swf::readMovie(bytes);
  if (!read.movie) return {false, "unreadable: " + read.error};
  const swf::Movie& movie = *read.movie;
  const swf::Rect stage = movie.header.frameSize;
  const int w = c.viewWidth ? c.viewWidth : std::clamp(int(stage.width() / 20), 1, 4096);
  const int h = c.viewHeight ? c.viewHeight : std::clamp(int(stage.height() / 20), 1, 4096);
  test::StaticStage timeline(read.movie);
  MovieRenderer renderer(read.movie);
  std::vector<uint32_t> pixels(size_t(w) * h);
  const swf::RGBA bg = movie.backgroundColor.value_or(swf::RGBA{255, 255, 255, 255});
  Outcome all{true, ""};
  for (int frame = 1; frame <= c.frames; ++frame) {
    if (frame > 1) timeline.nextFrame();
    for (const Capture& cap : c.captures) {
      const int at = cap.trigger < 0 ? c.frames : cap.trigger;
      if (at != frame) continue;
      renderer.render(
          timeline.displayList(), {pixels.data(), w, h},
          {double(stage.xMin), double(stage.yMin), double(stage.width()), double(stage.height())},
          c.quality, (uint32_t(bg.r) << 16) | (uint32_t(bg.g) << 8) | bg.b);
      std::string dumpName = c.id + "." + cap.name;
      std::replace(dumpName.begin(), dumpName.end(), '/', '_');
      Outcome o = compare(pixels, w, h, c.dir / (cap.name + ".expected.png"), cap.checks, dumpName);
      if (!o.pass) all = {false, cap.name + ": " + o.why};
    }
  }
  return all;
}

// The same through the whole player: its timeline runs the movie's scripts.
Outcome runCaseInPlayer(const CorpusCase& c) {
  Player player;
  // From the file, so the movie can load what lies beside it.
  if (!player.load((c.dir / "test.swf").string())) return {false, "unreadable: " + player.error()};
  player.setQuality(c.quality == RenderQuality::Low ? Quality::Low : Quality::High);
  const ViewRect stage = player.stage();
  Pixmap pix;
  pix.width = c.viewWidth ? c.viewWidth : std::clamp(int(stage.width / 20), 1, 4096);
  pix.height = c.viewHeight ? c.viewHeight : std::clamp(int(stage.height / 20), 1, 4096);
  // The input of the case's reference run, where it was given any.
  const corpus::RecordedInput recorded = corpus::readRecordedInput(c.dir / "input.json");
  corpus::ReplayState replayState;
  player.start();
  Outcome all{true, ""};
  for (int frame = 1; frame <= c.frames; ++frame) {
    if (frame > 1) player.advance(player.framePeriodMs());
    if (auto events = recorded.find(frame); events != recorded.end())
      corpus::replay(player, stage, events->second, replayState);
    for (const Capture& cap : c.captures) {
      const int at = cap.trigger < 0 ? c.frames : cap.trigger;
      if (at != frame) continue;
      player.render(pix, stage);
      std::string dumpName = c.id + "." + cap.name + ".player";
      std::replace(dumpName.begin(), dumpName.end(), '/', '_');
      Outcome o = compare(pix.pixels, pix.width, pix.height, c.dir / (cap.name + ".expected.png"),
                          cap.checks, dumpName);
      if (!o.pass) all = {false, cap.name + ": " + o.why};
    }
  }
  return all;
}

std::set<std::string> passingList() {
  std::set<std::string> ids;
  std::istringstream in(
      readText(fs::path(ORV_SOURCE_DIR) / "tests/movie/render/visual_corpus_passing.txt"));
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') ids.insert(line);
  return ids;
}

TEST(VisualCorpus, NoPassingCaseRegresses) {
  const auto cases = corpusCases();
  if (cases.empty()) GTEST_SKIP() << "no visual corpus at " << ORV_CORPUS_DIR;
  const auto mustPass = passingList();
  int passed = 0;
  for (const CorpusCase& c : cases) {
    // Drawn from the movie's own frames, and played by the player with its
    // scripts; a case matches when either picture does.
    Outcome o = runCase(c);
    if (!o.pass) {
      const Outcome played = runCaseInPlayer(c);
      o = played.pass ? played : Outcome{false, "frames: " + o.why + "; played: " + played.why};
    }
    passed += o.pass;
    std::printf("  %-60s %s %s\n", c.id.c_str(), o.pass ? "pass" : "FAIL", o.why.c_str());
    if (mustPass.count(c.id)) {
      EXPECT_TRUE(o.pass) << c.id << " used to pass: " << o.why;
    }
  }
  std::printf("visual corpus: %d of %zu cases match the reference images\n", passed, cases.size());
}

}  // namespace
}  // namespace orv::movie::render
