// Checks the Windows sound path under Wine (or on Windows):
//   audio_probe decode <file.mp3>          decodes through ACM and prints what came out
//   audio_probe play <file.mp3> <seconds>  plays it through waveOut with the about box's
//                                          player while this thread keeps busy, as a UI might
// Prints one "key: value" line per fact; the exit code is 0 on success.
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "movie/sound/mp3_stream.h"
#include "about/music_player.h"
#include "win32/audio/system_music.h"

namespace {

using namespace orv::movie::sound;

double rmsOf(const std::vector<int16_t>& s) {
  double sum = 0;
  for (int16_t v : s) sum += double(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

// Upward zero crossings of the first channel, after it has dipped below -500.
double pitchOf(const PcmAudio& a) {
  long first = -1, last = -1, count = 0;
  bool armed = false;
  for (size_t f = 1; f < a.frames(); ++f) {
    int16_t prev = a.samples[(f - 1) * size_t(a.channels)], cur = a.samples[f * size_t(a.channels)];
    if (cur < -500) armed = true;
    if (armed && prev < 0 && cur >= 0) {
      armed = false;
      if (first < 0) first = long(f);
      last = long(f);
      ++count;
    }
  }
  return count < 2 ? 0 : double(count - 1) * a.sampleRate / double(last - first);
}

int decode(const char* path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  DecodeResult r = decodeMp3(bytes);
  if (!r.ok()) {
    std::printf("error: %s\n", r.error.c_str());
    return 1;
  }
  std::printf("rate: %d\nchannels: %d\nframes: %zu\nrms: %.0f\npitch: %.1f\n", r.audio.sampleRate,
              r.audio.channels, r.audio.frames(), rmsOf(r.audio.samples), pitchOf(r.audio));
  return 0;
}

int play(const char* path, double seconds) {
  orv::win32::SystemMusic music;
  MusicPlayer& player = music.player();
  try {
    player.setFileName(path);
  } catch (const MusicError& e) {
    std::printf("error: %s\n", e.what());
    return 1;
  }
  std::printf("device: %s\nplaying: %d\nduration: %.2f\n", music.hasDevice() ? "yes" : "no",
              int(player.isPlaying()), player.duration());
  std::fflush(stdout);
  // Keep this thread as busy as a window thread drawing a heavy movie: the sound must
  // not care.
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  volatile double sink = 0;
  while (std::chrono::steady_clock::now() < until)
    for (int i = 0; i < 2000000; ++i) sink = sink + std::sqrt(double(i));
  std::printf("plays_completed: %d\nstill_playing: %d\n", player.playsCompleted(),
              int(player.isPlaying()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "decode") return decode(argv[2]);
  if (argc >= 3 && std::string(argv[1]) == "play")
    return play(argv[2], argc >= 4 ? std::atof(argv[3]) : 3.0);
  std::fprintf(stderr, "usage: audio_probe decode <file.mp3> | play <file.mp3> [seconds]\n");
  return 2;
}
