#pragma once
// Small movies with known sound for the sound tests: DefineSound/StartSound and stream
// tags around 16-bit PCM, and a way to play them frame by frame at 10 fps.
#include <cmath>
#include <cstdint>
#include <vector>

#include "movie/player.h"
#include "../swf_writer.h"
#include "sound_test_util.h"

namespace orv::movie::test {

inline constexpr int kRate = 44100;
inline constexpr size_t kFramePeriod = 4410;  // 10 fps at 44.1 kHz

inline std::vector<uint8_t> pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) {
    out.push_back(uint8_t(uint16_t(s) & 0xFF));
    out.push_back(uint8_t(uint16_t(s) >> 8));
  }
  return out;
}

inline std::vector<int16_t> sine(size_t frames, double hz, double amplitude) {
  std::vector<int16_t> s(frames);
  for (size_t i = 0; i < frames; ++i)
    s[i] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / kRate)));
  return s;
}

// DefineSound: mono 44.1 kHz; `format` 3 = little-endian PCM.
inline std::vector<uint8_t> defineSound(uint16_t id, const std::vector<uint8_t>& data,
                                        uint32_t sampleCount, int format = 3, bool is16 = true) {
  BitWriter w;
  w.u16(id);
  w.ub(uint32_t(format), 4);
  w.ub(3, 2);
  w.flag(is16);
  w.flag(false);
  w.u32(sampleCount);
  w.raw(data);
  return tag(14, w.bytes, true);
}

struct Info {
  bool stop = false, noMultiple = false;
  uint16_t loops = 0;  // 0: no loop field
};

inline std::vector<uint8_t> startSound(uint16_t id, const Info& info = {}) {
  BitWriter w;
  w.u16(id);
  w.ub(0, 2);
  w.flag(info.stop);
  w.flag(info.noMultiple);
  w.flag(false);           // envelope
  w.flag(info.loops > 0);  // loops
  w.flag(false);           // out point
  w.flag(false);           // in point
  if (info.loops) w.u16(info.loops);
  return tag(15, w.bytes);
}

inline std::vector<uint8_t> streamHead(int format, uint16_t samplesPerBlock) {
  BitWriter w;
  w.ub(0, 4);
  w.ub(3, 2);
  w.flag(true);
  w.flag(false);
  w.ub(uint32_t(format), 4);
  w.ub(3, 2);
  w.flag(true);
  w.flag(false);
  w.u16(samplesPerBlock);
  if (format == 2) w.u16(0);
  return tag(18, w.bytes);
}

inline std::vector<uint8_t> streamBlock(const std::vector<uint8_t>& data) {
  return tag(19, data, true);
}

inline std::vector<uint8_t> tenFps(const std::vector<uint8_t>& tags, uint16_t frames) {
  MovieOptions o;
  o.rateWhole = 10;
  o.frameCount = frames;
  return movie(tags, o);
}

// Plays `frames` frames from the first, pulling one frame period of sound after each;
// returns the left channel.
inline std::vector<int16_t> playFrames(Player& p, int frames) {
  std::vector<int16_t> left, buf(kFramePeriod * 2);
  for (int f = 0; f < frames; ++f) {
    if (f > 0) p.advance(p.framePeriodMs());
    p.mixAudio(buf.data(), kFramePeriod);
    for (size_t i = 0; i < kFramePeriod; ++i) left.push_back(buf[i * 2]);
  }
  return left;
}

inline double periodRms(const std::vector<int16_t>& s, size_t period) {
  return sound::test::rms(s, period * kFramePeriod, (period + 1) * kFramePeriod);
}

inline size_t lastNonZero(const std::vector<int16_t>& s) {
  for (size_t i = s.size(); i-- > 0;)
    if (s[i] != 0) return i + 1;
  return 0;
}

inline std::vector<uint8_t> frames(int n) {
  std::vector<uint8_t> out;
  for (int i = 0; i < n; ++i) {
    auto f = showFrame();
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

}  // namespace orv::movie::test
