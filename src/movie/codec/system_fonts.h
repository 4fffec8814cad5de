#pragma once
// The font seam: text in device fonts is drawn with the system's own fonts. The engine
// declares it; the platform library defines it: orv_codecs reads the font files
// installed natively, orv_win32_codecs asks the platform's font mapper (GDI) on Windows.
#include <cstdint>
#include <string>
#include <vector>

namespace orv::movie::codec {

// Font files (or collections) bigger than this are not read.
constexpr size_t kMaxFontFileBytes = size_t(64) << 20;

// The bytes of the installed TrueType font file of `family` (case-insensitive) that best
// fits the style; empty when the system has no such family. Never throws.
std::vector<uint8_t> systemFontData(const std::string& family, bool bold, bool italic);

}  // namespace orv::movie::codec
