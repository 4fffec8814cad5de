#include "movie/render/raster/paint.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace orv::movie::render {

namespace {

float srgbToLinear(float c) {
  return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}
float linearToSrgb(float c) {
  return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f;
}

// 256 premultiplied colours over t in [0,1]. Stops are taken in the order the
// movie gives them, sorted or not: a position takes the first stop at or past
// it and the stop before that one; past every stop, the last stop's colour.
std::array<uint32_t, 256> buildLut(std::vector<GradientStop> stops, bool linearRgb,
                                   const ColorTransform& cx) {
  std::array<uint32_t, 256> lut{};
  if (stops.empty()) return lut;
  for (auto& s : stops) s.argb = cx.applyStraight(s.argb);
  auto channels = [&](uint32_t c, float out[4]) {
    out[0] = float(c >> 24) / 255;
    for (int k = 0; k < 3; ++k) {
      float v = float((c >> (16 - 8 * k)) & 255) / 255;
      out[k + 1] = linearRgb ? srgbToLinear(v) : v;
    }
  };
  for (int i = 0; i < 256; ++i) {
    size_t next = 0;
    while (next < stops.size() && stops[next].ratio < i) ++next;
    float c[4];
    if (next == 0) {
      channels(stops.front().argb, c);
    } else if (next == stops.size()) {
      channels(stops.back().argb, c);
    } else {
      const GradientStop& a = stops[next - 1];
      const GradientStop& b = stops[next];
      float ca[4], cb[4];
      channels(a.argb, ca);
      channels(b.argb, cb);
      float span = float(b.ratio - a.ratio);
      float t = span > 0 ? std::clamp(float(i - a.ratio) / span, 0.0f, 1.0f) : 1.0f;
      for (int k = 0; k < 4; ++k) c[k] = ca[k] + (cb[k] - ca[k]) * t;
    }
    uint32_t out[4];
    out[0] = uint32_t(std::clamp(c[0], 0.0f, 1.0f) * 255 + 0.5f);
    for (int k = 1; k < 4; ++k) {
      float v = std::clamp(c[k], 0.0f, 1.0f);
      if (linearRgb) v = linearToSrgb(v);
      out[k] = uint32_t(v * 255 + 0.5f);
    }
    lut[i] = premultiply(packArgb(out[0], out[1], out[2], out[3]));
  }
  return lut;
}

// A gradient parameter under the spread mode, in 0..1.
template <Spread mode>
inline float spread(float t) {
  if (!(t == t)) t = 0;
  if constexpr (mode == Spread::Pad) {
    return std::clamp(t, 0.0f, 1.0f);
  } else if constexpr (mode == Spread::Repeat) {
    return std::clamp(t - std::floor(t), 0.0f, 1.0f);
  } else {
    // |t| mod 2, exactly as fmod gives it (each step here is exact in floats)
    // without its library call.
    const float a = std::abs(t);
    const float m = a - 2.0f * std::floor(a * 0.5f);
    return std::clamp(m > 1 ? 2 - m : m, 0.0f, 1.0f);
  }
}

// The colour at t (0..1). The 256 entries sit at the middles of 256 equal
// steps, (i + 0.5) / 256, and a position between two of them mixes the two
// by distance, so the ramp changes evenly however many entries a pixel spans.
inline uint32_t rampColor(const std::array<uint32_t, 256>& lut, float t) {
  const float position = std::clamp(t * 256.0f - 0.5f, 0.0f, 255.0f);
  // Entry and 1/256ths past it in one rounding (position * 256 is exact).
  const int fixed = int(position * 256.0f + 0.5f);
  const int i = fixed >> 8;
  const uint32_t f = uint32_t(fixed & 255);
  if (f == 0) return lut[size_t(i)];
  const uint32_t a = lut[size_t(i)], b = lut[size_t(i) + 1], g = 256 - f;
  // Both channel pairs at once, rounded; no lane exceeds 16 bits.
  const uint32_t rb =
      (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f + 0x00800080u) >> 8) & 0x00FF00FFu;
  const uint32_t ag =
      (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f + 0x00800080u) & 0xFF00FF00u;
  return rb | ag;
}
}  // namespace

Paint Paint::solid(uint32_t premultiplied) {
  Paint p;
  p.kind_ = Kind::Solid;
  p.color_ = premultiplied;
  return p;
}

Paint Paint::gradient(const GradientSpec& ramp, const ColorTransform& cx) {
  Paint p;
  p.kind_ = Kind::Gradient;
  p.gradientKind_ = ramp.kind;
  p.spread_ = ramp.spread;
  p.focal_ = std::clamp(ramp.focal, -0.98f, 0.98f);
  p.lut_ = std::make_shared<std::array<uint32_t, 256>>(buildLut(ramp.stops, ramp.linearRgb, cx));
  p.fromDevice_ = ramp.toDevice.inverse();
  if (!ramp.toDevice.invertible()) {
    // A degenerate gradient shows its last colour, as a zero-sized square would.
    return solid((*p.lut_)[255]);
  }
  return p;
}

Paint Paint::bitmap(const BitmapSpec& ramp, const ColorTransform& cx) {
  Paint p;
  p.kind_ = Kind::Bitmap;
  p.bitmap_ = ramp.bitmap;
  p.repeat_ = ramp.repeat;
  p.smooth_ = ramp.smooth;
  p.cx_ = cx;
  p.cxIdentity_ = cx.isIdentity();
  p.fromDevice_ = ramp.toDevice.inverse();
  if (!ramp.bitmap || !ramp.bitmap->valid() || !ramp.toDevice.invertible()) return solid(0);
  return p;
}

void Paint::shade(int x, int y, int count, uint32_t* out) const {
  switch (kind_) {
    case Kind::Solid:
      std::fill(out, out + count, color_);
      break;
    case Kind::Gradient:
      shadeGradient(x, y, count, out);
      break;
    case Kind::Bitmap:
      shadeBitmap(x, y, count, out);
      break;
  }
}

void Paint::shadeGradient(int x, int y, int count, uint32_t* out) const {
  const Affine& m = fromDevice_;
  const double px = x + 0.5, py = y + 0.5;
  // Gradient-space position of the first pixel and its step along the row,
  // scaled so the gradient square becomes -1..1.
  constexpr double kInv = 1.0 / 16384.0;
  double gx = (m.a * px + m.c * py + m.tx) * kInv, gy = (m.b * px + m.d * py + m.ty) * kInv;
  const double sx = m.a * kInv, sy = m.b * kInv;
  // First each pixel's gradient parameter, kept as float bits in `out` (a loop
  // of plain arithmetic the compiler can run several pixels at a time), then
  // the colours.
  switch (gradientKind_) {
    case GradientKind::Linear:
      for (int i = 0; i < count; ++i, gx += sx)
        out[i] = std::bit_cast<uint32_t>(float((gx + 1) * 0.5));
      break;
    case GradientKind::Radial:
      for (int i = 0; i < count; ++i, gx += sx, gy += sy)
        out[i] = std::bit_cast<uint32_t>(float(std::sqrt(gx * gx + gy * gy)));
      break;
    case GradientKind::Focal: {
      // t is where P lies on the ray from the focal point F=(f,0) to the unit
      // circle: |P-F| / |Q-F| with Q the ray's hit on the circle.
      const double f = focal_;
      for (int i = 0; i < count; ++i, gx += sx, gy += sy) {
        const double dx = gx - f, dy = gy;
        const double len2 = dx * dx + dy * dy;
        // Solve |F + s*d| = 1 for s > 0 with d = P-F: s = q / len2; then
        // t = 1/s = len2 / q.
        const double b = f * dx;
        const double disc = b * b - len2 * (f * f - 1);
        const double q = -b + std::sqrt(std::max(0.0, disc));
        const double t = len2 < 1e-18 ? 0.0 : q > 0 ? len2 / q : 1.0;
        out[i] = std::bit_cast<uint32_t>(float(t));
      }
      break;
    }
  }
  const auto& lut = *lut_;
  auto colour = [&]<Spread mode>() {
    for (int i = 0; i < count; ++i)
      out[i] = rampColor(lut, spread<mode>(std::bit_cast<float>(out[i])));
  };
  switch (spread_) {
    case Spread::Pad:
      colour.operator()<Spread::Pad>();
      break;
    case Spread::Repeat:
      colour.operator()<Spread::Repeat>();
      break;
    case Spread::Reflect:
      colour.operator()<Spread::Reflect>();
      break;
  }
}

void Paint::shadeBitmap(int x, int y, int count, uint32_t* out) const {
  const Bitmap& bm = *bitmap_;
  const Affine& m = fromDevice_;
  const double px = x + 0.5, py = y + 0.5;
  double u = m.a * px + m.c * py + m.tx, v = m.b * px + m.d * py + m.ty;
  const int w = bm.width, h = bm.height;
  const uint32_t* pix = bm.pixels.data();
  auto wrap = [this](int i, int n) {
    if (repeat_) {
      i %= n;
      return i < 0 ? i + n : i;
    }
    return std::clamp(i, 0, n - 1);
  };
  constexpr double kLimit = 1e9;
  for (int i = 0; i < count; ++i, u += m.a, v += m.b) {
    double cu = std::clamp(u, -kLimit, kLimit), cv = std::clamp(v, -kLimit, kLimit);
    uint32_t c;
    if (!smooth_) {
      c = pix[size_t(wrap(int(std::floor(cv)), h)) * w + wrap(int(std::floor(cu)), w)];
    } else {
      double fu = cu - 0.5, fv = cv - 0.5;
      double flu = std::floor(fu), flv = std::floor(fv);
      int x0 = int(flu), y0 = int(flv);
      uint32_t wx = uint32_t((fu - flu) * 256), wy = uint32_t((fv - flv) * 256);
      int xa = wrap(x0, w), xb = wrap(x0 + 1, w), ya = wrap(y0, h), yb = wrap(y0 + 1, h);
      uint32_t top =
          scalePixel(pix[size_t(ya) * w + xa], 256 - wx) + scalePixel(pix[size_t(ya) * w + xb], wx);
      uint32_t bottom =
          scalePixel(pix[size_t(yb) * w + xa], 256 - wx) + scalePixel(pix[size_t(yb) * w + xb], wx);
      c = scalePixel(top, 256 - wy) + scalePixel(bottom, wy);
    }
    out[i] = cxIdentity_ ? c : applyPremultiplied(cx_, c);
  }
}

}  // namespace orv::movie::render
