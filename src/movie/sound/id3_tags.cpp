#include "movie/sound/id3_tags.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "movie/base/utf8.h"

namespace orv::movie::sound {

namespace {

using Bytes = std::span<const uint8_t>;

constexpr size_t kMaxFrames = 4096;  // a hostile tag of empty frames stops somewhere

uint32_t syncsafe(const uint8_t* p) {
  return (uint32_t(p[0] & 0x7f) << 21) | (uint32_t(p[1] & 0x7f) << 14) |
         (uint32_t(p[2] & 0x7f) << 7) | uint32_t(p[3] & 0x7f);
}
uint32_t bigEndian(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// Undoes unsynchronisation: every 0xFF 0x00 pair stood for 0xFF.
std::vector<uint8_t> resynchronised(Bytes in) {
  std::vector<uint8_t> out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xff && i + 1 < in.size() && in[i + 1] == 0) ++i;
  }
  return out;
}

// Where a string in `enc` ends within `b` from `at`: its terminator's position (or the end).
size_t terminatorAt(Bytes b, size_t at, uint8_t enc) {
  const bool wide = enc == 1 || enc == 2;
  if (!wide) {
    while (at < b.size() && b[at] != 0) ++at;
    return at;
  }
  while (at + 1 < b.size() && (b[at] != 0 || b[at + 1] != 0)) at += 2;
  return std::min(at, b.size());
}

// A string in ID3 encoding `enc` (0 Latin-1, 1 UTF-16 with byte order mark, 2 UTF-16
// big-endian, 3 UTF-8) to UTF-8.
std::string decodeText(Bytes b, uint8_t enc) {
  std::string out;
  if (enc == 3) return std::string(b.begin(), b.end());
  if (enc == 0) {
    for (uint8_t c : b) base::appendUtf8(out, c);
    return out;
  }
  size_t i = 0;
  bool little = false;
  if (b.size() >= 2 && ((b[0] == 0xff && b[1] == 0xfe) || (b[0] == 0xfe && b[1] == 0xff))) {
    little = enc == 1 && b[0] == 0xff;
    i = 2;
  }
  for (; i + 1 < b.size(); i += 2) {
    uint32_t unit = little ? uint32_t(b[i]) | (uint32_t(b[i + 1]) << 8)
                           : (uint32_t(b[i]) << 8) | uint32_t(b[i + 1]);
    if (unit >= 0xd800 && unit < 0xdc00 && i + 3 < b.size()) {
      const uint32_t low = little ? uint32_t(b[i + 2]) | (uint32_t(b[i + 3]) << 8)
                                  : (uint32_t(b[i + 2]) << 8) | uint32_t(b[i + 3]);
      if (low >= 0xdc00 && low < 0xe000) {
        unit = 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00);
        i += 2;
      }
    }
    base::appendUtf8(out, unit);
  }
  return out;
}

// The value of a text frame (the first string, when a later version holds several), or
// of a comment (after its language and description).
bool frameText(const std::string& id, Bytes body, std::string& text) {
  if (body.empty()) return false;
  const uint8_t enc = body[0];
  if (enc > 3) return false;
  size_t at = 1;
  if (id == "COMM") {
    if (body.size() < 4) return false;
    at = terminatorAt(body, 4, enc);
    at += (enc == 1 || enc == 2) ? 2 : 1;
    if (at > body.size()) return false;
  } else if (id == "TXXX") {
    at = terminatorAt(body, 1, enc);
    at += (enc == 1 || enc == 2) ? 2 : 1;
    if (at > body.size()) return false;
  }
  const size_t end = terminatorAt(body, at, enc);
  text = decodeText(body.subspan(at, end - at), enc);
  return true;
}

// ID3v2.2's three-letter frames, under their later names.
std::string laterName(std::string_view old) {
  static constexpr std::pair<const char*, const char*> kNames[] = {
      {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TP1", "TPE1"}, {"TP2", "TPE2"},
      {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TAL", "TALB"}, {"TYE", "TYER"}, {"TCO", "TCON"},
      {"TRK", "TRCK"}, {"TPA", "TPOS"}, {"TCM", "TCOM"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
      {"TOT", "TOAL"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOR", "TORY"}, {"TEN", "TENC"},
      {"TCR", "TCOP"}, {"TPB", "TPUB"}, {"TBP", "TBPM"}, {"TXX", "TXXX"}, {"COM", "COMM"}};
  for (auto [from, to] : kNames)
    if (old == from) return to;
  return {};
}

void readVersion2(Bytes file, std::vector<Id3Frame>& out) {
  const uint8_t major = file[3];
  const uint8_t flags = file[5];
  if (major < 2 || major > 4) return;
  const size_t size = syncsafe(&file[6]);
  Bytes tag = file.subspan(10, std::min(size, file.size() - 10));
  std::vector<uint8_t> whole;
  if ((flags & 0x80) && major < 4) {
    whole = resynchronised(tag);
    tag = whole;
  }
  size_t at = 0;
  if ((flags & 0x40) && major >= 3 && tag.size() >= 4) {
    const size_t extended = major == 3 ? bigEndian(&tag[0], 4) + 4 : syncsafe(&tag[0]);
    at = std::max<size_t>(extended, 4);
  }
  const size_t headerSize = major == 2 ? 6 : 10;
  while (at + headerSize <= tag.size() && out.size() < kMaxFrames) {
    if (tag[at] == 0) break;  // padding
    std::string id;
    size_t frameSize;
    uint16_t frameFlags = 0;
    if (major == 2) {
      id = laterName(std::string_view(reinterpret_cast<const char*>(&tag[at]), 3));
      frameSize = bigEndian(&tag[at + 3], 3);
    } else {
      id.assign(reinterpret_cast<const char*>(&tag[at]), 4);
      frameSize = major == 4 ? syncsafe(&tag[at + 4]) : bigEndian(&tag[at + 4], 4);
      frameFlags = uint16_t(bigEndian(&tag[at + 8], 2));
    }
    at += headerSize;
    if (frameSize > tag.size() - at) break;
    Bytes body = tag.subspan(at, frameSize);
    at += frameSize;
    // Compressed or encrypted frames are left out.
    const bool hidden = major == 3 ? (frameFlags & 0x00c0) : major == 4 && (frameFlags & 0x000c);
    if (id.empty() || hidden || (id[0] != 'T' && id != "COMM")) continue;
    std::vector<uint8_t> plain;
    if (major == 4) {
      if (frameFlags & 0x0001) body = body.size() >= 4 ? body.subspan(4) : Bytes{};
      if ((frameFlags & 0x0002) || (flags & 0x80)) {
        plain = resynchronised(body);
        body = plain;
      }
    }
    std::string text;
    if (frameText(id, body, text)) out.push_back({id, std::move(text)});
  }
}

// The 128 bytes of ID3v1 (with 1.1's track number) at the end of the file.
void readVersion1(Bytes file, std::vector<Id3Frame>& out) {
  if (file.size() < 128) return;
  Bytes tag = file.subspan(file.size() - 128);
  if (std::memcmp(tag.data(), "TAG", 3) != 0) return;
  auto field = [&](size_t at, size_t len) {
    size_t end = at;
    while (end < at + len && tag[end] != 0) ++end;
    while (end > at && tag[end - 1] == ' ') --end;
    std::string text;
    for (size_t i = at; i < end; ++i) base::appendUtf8(text, tag[i]);
    return text;
  };
  const std::pair<const char*, std::string> fields[] = {
      {"TIT2", field(3, 30)}, {"TPE1", field(33, 30)}, {"TALB", field(63, 30)},
      {"TYER", field(93, 4)}, {"COMM", field(97, tag[125] == 0 ? 28 : 30)}};
  for (const auto& [id, text] : fields)
    if (!text.empty()) out.push_back({id, text});
  if (tag[125] == 0 && tag[126] != 0) out.push_back({"TRCK", std::to_string(tag[126])});
}

}  // namespace

std::vector<Id3Frame> readId3Tags(std::span<const uint8_t> file) {
  std::vector<Id3Frame> out;
  if (file.size() >= 10 && std::memcmp(file.data(), "ID3", 3) == 0)
    readVersion2(file, out);
  else
    readVersion1(file, out);
  return out;
}

}  // namespace orv::movie::sound
