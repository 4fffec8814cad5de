#pragma once
// The video and audio packets of the small FLV files beside the tests (data/make.sh).
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orv::movie::test {

struct FlvPacket {
  bool video = false;
  uint8_t header = 0;  // the tag's first byte: frame type and codec, or sound format
  std::vector<uint8_t> data;
};

inline std::vector<FlvPacket> readFlvPackets(const std::string& name) {
  std::ifstream f(std::string(ORV_SOURCE_DIR) + "/tests/movie/video/data/" + name, std::ios::binary);
  const std::vector<uint8_t> d{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  std::vector<FlvPacket> out;
  if (d.size() < 9) return out;
  size_t p = (size_t(d[5]) << 24 | size_t(d[6]) << 16 | size_t(d[7]) << 8 | d[8]) + 4;
  while (p + 11 <= d.size()) {
    const uint8_t type = d[p];
    const size_t n = size_t(d[p + 1]) << 16 | size_t(d[p + 2]) << 8 | d[p + 3];
    if (p + 11 + n > d.size()) break;
    if ((type == 8 || type == 9) && n > 0)
      out.push_back({type == 9, d[p + 11], {d.begin() + long(p + 12), d.begin() + long(p + 11 + n)}});
    p += 11 + n + 4;
  }
  return out;
}

inline std::vector<std::vector<uint8_t>> videoPackets(const std::string& name) {
  std::vector<std::vector<uint8_t>> out;
  for (auto& p : readFlvPackets(name))
    if (p.video) out.push_back(p.data);
  return out;
}

inline std::vector<uint8_t> audioData(const std::string& name) {
  std::vector<uint8_t> out;
  for (auto& p : readFlvPackets(name))
    if (!p.video) out.insert(out.end(), p.data.begin(), p.data.end());
  return out;
}

}  // namespace orv::movie::test
