#include "movie/render/raster/blend.h"

#include <algorithm>
#include <cmath>

#include "movie/render/raster/pixel.h"

namespace orv::movie::render {

namespace {

struct Rgba {
  float r, g, b, a;  // premultiplied, 0..1
};

Rgba unpack(uint32_t p) {
  constexpr float k = 1.0f / 255.0f;
  return {float((p >> 16) & 255) * k, float((p >> 8) & 255) * k, float(p & 255) * k,
          float(p >> 24) * k};
}

uint32_t pack(Rgba c) {
  auto q = [](float v) { return uint32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
  const uint32_t a = q(c.a);
  // Premultiplied colour never exceeds its alpha.
  return packArgb(a, std::min(q(c.r), a), std::min(q(c.g), a), std::min(q(c.b), a));
}

// Separable modes: the blended colour where both are present, each alone
// where only one is (the usual premultiplied compositing form).
template <class F>
Rgba separable(Rgba s, Rgba d, F mix) {
  auto ch = [&](float sc, float dc) {
    return mix(sc, dc, s.a, d.a) + sc * (1 - d.a) + dc * (1 - s.a);
  };
  return {ch(s.r, d.r), ch(s.g, d.g), ch(s.b, d.b), s.a + d.a - s.a * d.a};
}

// Hard light of `s` over `d` on premultiplied channels; overlay swaps them.
float hardLight(float s, float d, float sa, float da) {
  if (2 * s <= sa) return 2 * s * d;
  return sa * da - 2 * (da - d) * (sa - s);
}

}  // namespace

uint32_t blendPixel(BlendMode mode, uint32_t dst, uint32_t src) {
  switch (mode) {
    case BlendMode::Normal:
    case BlendMode::Layer:
      return sourceOver(dst, src);
    case BlendMode::Alpha:
      return mulPixel255(dst, src >> 24);
    case BlendMode::Erase:
      return mulPixel255(dst, 255 - (src >> 24));
    default:
      break;
  }
  if ((src >> 24) == 0) return dst;
  const Rgba s = unpack(src), d = unpack(dst);
  Rgba out{};
  switch (mode) {
    case BlendMode::Multiply:
      out = separable(s, d, [](float sc, float dc, float, float) { return sc * dc; });
      break;
    case BlendMode::Screen:
      out = separable(
          s, d, [](float sc, float dc, float sa, float da) { return sc * da + dc * sa - sc * dc; });
      break;
    case BlendMode::Lighten:
      out = separable(
          s, d, [](float sc, float dc, float sa, float da) { return std::max(sc * da, dc * sa); });
      break;
    case BlendMode::Darken:
      out = separable(
          s, d, [](float sc, float dc, float sa, float da) { return std::min(sc * da, dc * sa); });
      break;
    case BlendMode::Difference:
      out = separable(
          s, d, [](float sc, float dc, float sa, float da) { return std::abs(sc * da - dc * sa); });
      break;
    case BlendMode::Overlay:
      out = separable(
          s, d, [](float sc, float dc, float sa, float da) { return hardLight(dc, sc, da, sa); });
      break;
    case BlendMode::HardLight:
      out = separable(s, d, hardLight);
      break;
    case BlendMode::Add:
      out = {s.r + d.r, s.g + d.g, s.b + d.b, s.a + d.a};
      break;
    case BlendMode::Subtract:
      out = {d.r - s.r, d.g - s.g, d.b - s.b, s.a + d.a - s.a * d.a};
      break;
    case BlendMode::Invert:
      // The backdrop inverted where the source covers it.
      out = {(d.a - d.r) * s.a + d.r * (1 - s.a), (d.a - d.g) * s.a + d.g * (1 - s.a),
             (d.a - d.b) * s.a + d.b * (1 - s.a), d.a};
      break;
    default:
      return sourceOver(dst, src);
  }
  return pack(out);
}

}  // namespace orv::movie::render
