#pragma once
// Shared helpers of the renderer tests: a frame to draw into, pixel checks,
// and shapes built from records the way the reader produces them.
#include <cstdint>
#include <string>
#include <vector>

#include "movie/render/raster/canvas.h"
#include "movie/swf/types.h"

namespace orv::movie::render::test {

struct Frame {
  int width, height;
  std::vector<uint32_t> pixels;
  Frame(int w, int h, uint32_t fill = 0xFFFFFFFFu)
      : width(w), height(h), pixels(size_t(w) * h, fill) {}
  Surface surface() { return {pixels.data(), width, height}; }
  uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

inline int channel(uint32_t p, int shift) { return int((p >> shift) & 255); }
// Largest per-channel difference.
inline int colorDistance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(channel(a, s) - channel(b, s)));
  return d;
}

// Builds a swf::Shape from a tiny path language, in twips:
//   "F0 n", "F1 n", "L n" set styles; "M x y" moves; "l x y" draws a line;
//   "q cx cy x y" a curve. Tokens are separated by spaces.
swf::Shape makeShape(const std::string& path, std::vector<swf::FillStyle> fills,
                     std::vector<swf::LineStyle> lines = {});
swf::FillStyle solidFill(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
swf::LineStyle solidLine(uint16_t widthTwips, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);

// Writes a frame as PNG (un-premultiplied) for looking at a failure.
bool writePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels);

}  // namespace orv::movie::render::test
