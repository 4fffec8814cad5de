#include "movie/avm1/text.h"

#include <cmath>

namespace orv::movie::avm1::text {

std::vector<uint32_t> decode(const std::string& s, bool utf8) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  if (!utf8) {
    for (unsigned char c : s) out.push_back(c);
    return out;
  }
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= s.size() + (extra == 0 ? 1 : 0)) {
      out.push_back(c);  // stray byte: keep it as a Latin-1 character
      ++i;
      continue;
    }
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) {
      out.push_back(c);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string fromCharCode(uint32_t cp, bool utf8) {
  std::string out;
  if (!utf8) {
    out.push_back(static_cast<char>(cp & 0xFF));
    return out;
  }
  if (cp < 0x80)
    out.push_back(static_cast<char>(cp));
  else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out;
}

std::string encode(const std::vector<uint32_t>& chars, bool utf8) {
  std::string out;
  for (uint32_t c : chars) out += fromCharCode(c, utf8);
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
