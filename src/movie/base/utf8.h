#pragma once
// UTF-8 as the engine reads and writes it: lenient both ways. Bytes that do not form a
// whole sequence are read as the Latin-1 characters of their values, and any number is
// written by the length rule (surrogates and numbers past U+10FFFF included, as scripts
// may make them).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::movie::base {

// Appends `cp`: one byte below 0x80, two below 0x800, three below 0x10000, else four.
void appendUtf8(std::string& out, uint32_t cp);

// The character starting at s[i] (i < s.size()), i moved past it. A lead byte of two to
// four bytes takes that many when they are all there and continuation bytes; anything
// else is the one byte's value.
uint32_t decodeUtf8At(std::string_view s, size_t& i);

// The whole text decoded character by character.
std::u32string decodeUtf8(std::string_view s);

}  // namespace orv::movie::base
