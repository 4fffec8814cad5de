#pragma once
// Premultiplied 0xAARRGGBB pixels: packing, scaling, source-over, and colour
// transforms on them.
#include <algorithm>
#include <cstdint>

#include "movie/base/color_transform.h"

namespace orv::movie::render {

inline uint32_t packArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}
inline uint32_t alphaOf(uint32_t p) { return p >> 24; }

// Multiplies all four channels by k/256 (k in 0..256).
inline uint32_t scalePixel(uint32_t p, uint32_t k) {
  uint32_t rb = (((p & 0x00FF00FFu) * k) >> 8) & 0x00FF00FFu;
  uint32_t ag = (((p >> 8) & 0x00FF00FFu) * k) & 0xFF00FF00u;
  return rb | ag;
}
// 0..255 coverage to the 0..256 scale factor.
inline uint32_t coverageScale(uint32_t c) { return c + (c >> 7); }

// Multiplies all four channels by k/255 (k in 0..255), rounded exactly.
// The four channels sit in 16-bit lanes of one 64-bit word (b, r, g, a from
// the bottom), so one multiplication scales them all.
inline uint32_t mulPixel255(uint32_t p, uint32_t k) {
  constexpr uint64_t kLanes = 0x00FF00FF00FF00FFull;
  uint64_t v =
      (((uint64_t(p) & 0xFF00FF00u) << 24) | (p & 0x00FF00FFu)) * k + 0x0080008000800080ull;
  v = ((v + ((v >> 8) & kLanes)) >> 8) & kLanes;
  return uint32_t(v | (v >> 24));
}

inline uint32_t sourceOver(uint32_t dst, uint32_t src) {
  return src + mulPixel255(dst, 255 - (src >> 24));
}

// Straight (non-premultiplied) 0xAARRGGBB to premultiplied.
inline uint32_t premultiply(uint32_t argb) {
  uint32_t a = argb >> 24;
  if (a == 255) return argb;
  if (a == 0) return 0;
  uint32_t r = ((argb >> 16) & 255) * a + 127, g = ((argb >> 8) & 255) * a + 127,
           b = (argb & 255) * a + 127;
  return packArgb(a, (r + (r >> 8)) >> 8, (g + (g >> 8)) >> 8, (b + (b >> 8)) >> 8);
}
inline uint32_t unpremultiply(uint32_t p) {
  uint32_t a = p >> 24;
  if (a == 255 || a == 0) return a == 0 ? 0 : p;
  auto ch = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
  return packArgb(a, ch((p >> 16) & 255), ch((p >> 8) & 255), ch(p & 255));
}

// Colour transforms on straight colours, in single precision (`base/color_transform.h`).
using ColorTransform = base::ColorTransformF;

// A premultiplied pixel through `cx`.
inline uint32_t applyPremultiplied(const ColorTransform& cx, uint32_t p) {
  return premultiply(cx.applyStraight(unpremultiply(p)));
}

}  // namespace orv::movie::render
