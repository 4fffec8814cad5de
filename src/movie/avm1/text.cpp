#include "movie/avm1/text.h"

#include <cmath>

#include "movie/base/utf8.h"

namespace orv::movie::avm1::text {

std::vector<uint32_t> decode(const std::string& s, bool utf8) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  if (!utf8) {
    for (unsigned char c : s) out.push_back(c);
    return out;
  }
  for (size_t i = 0; i < s.size();) out.push_back(base::decodeUtf8At(s, i));
  return out;
}

std::string fromCharCode(uint32_t cp, bool utf8) {
  std::string out;
  if (utf8)
    base::appendUtf8(out, cp);
  else
    out.push_back(static_cast<char>(cp & 0xFF));
  return out;
}

std::string encode(const std::vector<uint32_t>& chars, bool utf8) {
  std::string out;
  for (uint32_t c : chars) {
    if (utf8)
      base::appendUtf8(out, c);
    else
      out.push_back(static_cast<char>(c & 0xFF));
  }
  return out;
}

size_t length(const std::string& s, bool utf8) { return utf8 ? decode(s, true).size() : s.size(); }

std::string substr(const std::string& s, double start, double count, bool utf8) {
  std::vector<uint32_t> c = decode(s, utf8);
  double n = static_cast<double>(c.size());
  if (!(start >= 0)) start = 0;
  if (start >= n) return "";
  double stop = count < 0 ? n : std::min(n, start + count);
  std::vector<uint32_t> part(c.begin() + static_cast<long>(start),
                             c.begin() + static_cast<long>(stop));
  return encode(part, utf8);
}

uint32_t charCodeAt(const std::string& s, size_t index, bool utf8) {
  std::vector<uint32_t> c = decode(s, utf8);
  return index < c.size() ? c[index] : 0;
}

std::string toUpper(const std::string& s, bool utf8) {
  std::vector<uint32_t> c = decode(s, utf8);
  for (auto& ch : c) {
    if (ch >= 'a' && ch <= 'z')
      ch -= 32;
    else if (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7)
      ch -= 32;
  }
  return encode(c, utf8);
}

std::string toLower(const std::string& s, bool utf8) {
  std::vector<uint32_t> c = decode(s, utf8);
  for (auto& ch : c) {
    if (ch >= 'A' && ch <= 'Z')
      ch += 32;
    else if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7)
      ch += 32;
  }
  return encode(c, utf8);
}

}  // namespace orv::movie::avm1::text
