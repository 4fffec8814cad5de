// Character-level string helpers: SWF 6+ strings are UTF-8 and counted in characters,
// older movies count bytes.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::movie::avm1::text {

std::vector<uint32_t> decode(const std::string& s, bool utf8);
std::string encode(const std::vector<uint32_t>& chars, bool utf8);
size_t length(const std::string& s, bool utf8);
// Characters from `start` (0-based), `count` of them (negative: to the end).
std::string substr(const std::string& s, double start, double count, bool utf8);
uint32_t charCodeAt(const std::string& s, size_t index, bool utf8);  // 0 when out of range
std::string fromCharCode(uint32_t code, bool utf8);
std::string toUpper(const std::string& s, bool utf8);
std::string toLower(const std::string& s, bool utf8);

// Whether two names are the same but for the case of ASCII letters (names in SWF 6 and
// lower).
inline bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace orv::movie::avm1::text
