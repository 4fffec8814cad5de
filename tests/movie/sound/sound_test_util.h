#pragma once
// Helpers shared by the sound tests: test data files and simple signal measurements.
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "movie/sound/pcm_audio.h"

namespace orv::movie::sound::test {

inline std::string soundDataPath(const std::string& name) {
  return std::string(ORV_SOURCE_DIR) + "/tests/movie/sound/data/" + name;
}
inline std::string lumvexPath() {
  return std::string(ORV_SOURCE_DIR) + "/assets/lumvex/lumvex.mp3";
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline std::vector<int16_t> channel(const PcmAudio& a, int c) {
  std::vector<int16_t> out;
  for (size_t f = 0; f < a.frames(); ++f)
    out.push_back(a.samples[f * size_t(a.channels) + size_t(c)]);
  return out;
}

// Frequency of a tone from its upward zero crossings between the first and the last.
// A crossing counts only once the signal has been below -threshold, so low-level noise
// (encoder padding, dither) does not add crossings.
inline double zeroCrossingHz(const std::vector<int16_t>& s, int rate, int threshold = 500) {
  long first = -1, last = -1, count = 0;
  bool armed = false;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] < -threshold) armed = true;
    if (armed && s[i - 1] < 0 && s[i] >= 0) {
      armed = false;
      if (first < 0) first = long(i);
      last = long(i);
      ++count;
    }
  }
  if (count < 2) return 0;
  return double(count - 1) * rate / double(last - first);
}

inline double rms(const std::vector<int16_t>& s, size_t from = 0, size_t to = SIZE_MAX) {
  to = std::min(to, s.size());
  if (from >= to) return 0;
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(to - from));
}

}  // namespace orv::movie::sound::test
