// orvanta-render: a movie's header facts, or its frames rendered to PNG, from the
// command line. Exit codes: 0 success, 1 unreadable movie, 2 wrong usage.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "movie/avm2_host/movie_scripts.h"
#include "movie/player.h"
#include "support/png_writer.h"
#include "movie/sound/pcm_audio.h"
#include "support/recording_output.h"
#include "movie/swf/reader.h"
#include "movie/swf/types.h"

namespace {

using namespace orv::movie;

int usage(const std::string& why) {
  std::cerr
      << "orvanta-render: " << why << "\n"
      << "usage: orvanta-render MOVIE --info\n"
      << "       orvanta-render MOVIE [--frames N] [--width W --height H]\n"
      << "                            [--quality low|medium|high|best] [--out FILE.png] [--trace]\n"
      << "                            [--audio-out FILE.wav] [--saves DIR]\n"
      << "                            [--move X,Y@FRAME] [--click X,Y@FRAME] ...\n"
      << "  (mouse at stage pixel X,Y before FRAME is drawn, the first frame being 1;\n"
      << "   --saves keeps the movie's shared objects as .sol files under DIR)\n";
  return 2;
}

bool parseInt(const std::string& s, int min, int max, int& out) {
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || v < min || v > max) return false;
  out = static_cast<int>(v);
  return true;
}

// Mouse input given on the command line: a move, or a click (press and release there).
struct MouseStep {
  bool click = false;
  double x = 0, y = 0;  // stage pixels
  int frame = 1;
};

// "X,Y@FRAME", pixels may have fractions.
bool parseMouseStep(const std::string& s, bool click, MouseStep& out) {
  double x = 0, y = 0;
  int frame = 0, used = 0;
  if (std::sscanf(s.c_str(), "%lf,%lf@%d%n", &x, &y, &frame, &used) != 3 ||
      used != static_cast<int>(s.size()) || !std::isfinite(x) || !std::isfinite(y) || frame < 1)
    return false;
  out = {click, x, y, frame};
  return true;
}

std::string hexColor(uint32_t rgb) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", rgb & 0xFFFFFF);
  return buf;
}

int printInfo(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "orvanta-render: cannot open " << path << "\n";
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  swf::ReadResult r = swf::readMovie(bytes);
  if (!r.movie) {
    std::cerr << "orvanta-render: " << r.error << "\n";
    return 1;
  }
  const swf::Movie& m = *r.movie;
  const char* compression = m.header.compression == 'C'   ? "zlib"
                            : m.header.compression == 'Z' ? "lzma"
                                                          : "none";
  uint32_t bg = m.backgroundColor ? (uint32_t(m.backgroundColor->r) << 16 |
                                     uint32_t(m.backgroundColor->g) << 8 | m.backgroundColor->b)
                                  : 0xFFFFFF;
  std::cout << "version: " << int(m.header.version) << "\n"
            << "compression: " << compression << "\n"
            << "file length: " << m.header.fileLength << "\n"
            << "width: " << m.header.frameSize.width() / 20.0 << "\n"
            << "height: " << m.header.frameSize.height() / 20.0 << "\n"
            << "frame rate: " << m.header.frameRate << "\n"
            << "frame count: " << m.root.frames.size() << "\n"
            << "declared frame count: " << m.header.frameCount << "\n"
            << "background color: " << hexColor(bg) << "\n"
            << "characters: " << m.dictionary.size() << "\n";
  if (m.truncated || !m.warning.empty()) std::cout << "warning: " << m.warning << "\n";
  for (const auto& [code, count] : m.tagCounts)
    std::cout << "tag " << swf::tagName(code) << " (" << code << "): " << count << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string moviePath, outPath, audioPath, savesDir;
  bool info = false, trace = false;
  int frames = 1, width = 0, height = 0;
  Quality quality = Quality::High;
  std::vector<MouseStep> mouse;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--info") {
      info = true;
    } else if (a == "--trace") {
      trace = true;
    } else if (a == "--frames") {
      if (!value(v) || !parseInt(v, 1, 1'000'000, frames))
        return usage("--frames needs a count from 1");
    } else if (a == "--width") {
      if (!value(v) || !parseInt(v, 1, 8192, width)) return usage("--width needs 1..8192");
    } else if (a == "--height") {
      if (!value(v) || !parseInt(v, 1, 8192, height)) return usage("--height needs 1..8192");
    } else if (a == "--quality") {
      if (!value(v)) return usage("--quality needs a value");
      static const std::map<std::string, Quality> names = {{"low", Quality::Low},
                                                           {"medium", Quality::Medium},
                                                           {"high", Quality::High},
                                                           {"best", Quality::Best}};
      auto it = names.find(v);
      if (it == names.end()) return usage("unknown quality " + v);
      quality = it->second;
    } else if (a == "--out") {
      if (!value(outPath) || outPath.empty()) return usage("--out needs a file name");
    } else if (a == "--audio-out") {
      if (!value(audioPath) || audioPath.empty()) return usage("--audio-out needs a file name");
    } else if (a == "--saves") {
      if (!value(savesDir) || savesDir.empty()) return usage("--saves needs a folder");
    } else if (a == "--move" || a == "--click") {
      MouseStep step;
      if (!value(v) || !parseMouseStep(v, a == "--click", step))
        return usage(a + " needs X,Y@FRAME");
      mouse.push_back(step);
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return usage("unknown option " + a);
    } else if (moviePath.empty()) {
      moviePath = a;
    } else {
      return usage("more than one movie given");
    }
  }
  if (moviePath.empty()) return usage("no movie given");
  if ((width == 0) != (height == 0)) return usage("--width and --height go together");
  if (info) return printInfo(moviePath);

  Player player;
  if (trace) player.setTraceSink([](const std::string& line) { std::cout << line << "\n"; });
  // Saves are written nowhere unless asked for.
  if (!savesDir.empty()) player.setSaveFolders(savesDir);
  if (!player.load(moviePath)) {
    std::cerr << "orvanta-render: " << player.error() << "\n";
    return 1;
  }
  player.setQuality(quality);
  ViewRect stage = player.stage();
  Pixmap target;
  target.width = width ? width : std::max(1, static_cast<int>(stage.width / 20));
  target.height = height ? height : std::max(1, static_cast<int>(stage.height / 20));
  if (target.width > 8192 || target.height > 8192) {
    std::cerr << "orvanta-render: stage too large to render (" << target.width << "x"
              << target.height << "); give --width and --height\n";
    return 1;
  }
  player.start();
  const double period = player.framePeriodMs();
  constexpr double kMaxAudioSeconds = 600;  // the WAV is held in memory
  if (!audioPath.empty() && frames * period > kMaxAudioSeconds * 1000) {
    std::cerr << "orvanta-render: --audio-out covers at most " << kMaxAudioSeconds
              << " seconds; give fewer --frames\n";
    return 2;
  }
  // The sound of each frame period, pulled after the frame is entered.
  sound::PcmAudio audio;
  audio.sampleRate = player.audioRate();
  audio.channels = 2;
  size_t audioFrames = 0;
  const bool drawFrames = !outPath.empty() || audioPath.empty();
  for (int f = 0; f < frames; ++f) {
    if (f > 0) player.advance(period);
    for (const MouseStep& m : mouse) {
      if (m.frame != f + 1) continue;
      const double x = stage.x + m.x * 20, y = stage.y + m.y * 20;
      player.mouseMove(x, y);
      if (m.click) {
        player.mouseDown(x, y);
        player.mouseUp(x, y);
      }
    }
    if (drawFrames) player.render(target, stage);
    if (!audioPath.empty()) {
      size_t due = static_cast<size_t>(std::llround((f + 1) * period * audio.sampleRate / 1000.0));
      if (due > audioFrames) {
        audio.samples.resize(due * 2);
        player.mixAudio(audio.samples.data() + audioFrames * 2, due - audioFrames);
        audioFrames = due;
      }
    }
  }
  // Errors the movie's ActionScript 3 did not catch, as a debugging player reports them.
  if (trace && player.as3Scripts())
    for (const std::string& e : player.as3Scripts()->errors())
      std::cerr << "orvanta-render: uncaught " << e << "\n";
  if (!audioPath.empty() && !sound::writeWavFile(audioPath, audio)) {
    std::cerr << "orvanta-render: cannot write " << audioPath << "\n";
    return 1;
  }
  if (!outPath.empty() && !writePng(target, outPath)) {
    std::cerr << "orvanta-render: cannot write " << outPath << "\n";
    return 1;
  }
  return 0;
}
