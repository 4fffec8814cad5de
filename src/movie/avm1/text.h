// Character-level string helpers: SWF 6+ strings are UTF-8 and counted in characters,
// older movies count bytes.
#pragma once

#include <cstdint>
#include <string>
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

}  // namespace orv::movie::avm1::text
