#pragma once
// A small PNG encoder over zlib, the same on every platform (the tools write frames).
#include <cstdint>
#include <string>
#include <vector>

namespace orv::movie {

struct Pixmap;

// RGBA PNG bytes of a premultiplied 0xAARRGGBB pixmap (colours un-premultiplied).
std::vector<uint8_t> encodePng(const Pixmap& pixmap);
bool writePng(const Pixmap& pixmap, const std::string& path);

}  // namespace orv::movie
