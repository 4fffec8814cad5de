#pragma once
// Device-space geometry for the rasteriser: points, affine transforms, boxes.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "movie/base/matrix.h"

namespace orv::movie::render {

struct Point {
  float x = 0, y = 0;
};

inline Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
inline Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point operator*(Point a, float k) { return {a.x * k, a.y * k}; }
inline float dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }
inline float cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
inline float length(Point a) { return std::sqrt(a.x * a.x + a.y * a.y); }
// The nearest point on the grid of 1/256 pixel.
// std::round without the library call: halves away from zero.
inline float roundHalfAway(float v) {
  if (!(std::abs(v) < 0x1p23f)) return v;  // already whole, or NaN
  const float whole = float(int32_t(v));   // towards zero
  const float rest = v - whole;            // exact
  return rest >= 0.5f ? whole + 1.0f : rest <= -0.5f ? whole - 1.0f : whole;
}
inline Point snapToSubpixel(Point p) {
  return {roundHalfAway(p.x * 256.0f) / 256.0f, roundHalfAway(p.y * 256.0f) / 256.0f};
}

// Transforms into device space (`base/matrix.h`).
using Affine = base::Matrix;

// Where (x, y) lands under `m`, in the rasteriser's single precision.
inline Point mapPoint(const Affine& m, double x, double y) {
  return {float(m.a * x + m.c * y + m.tx), float(m.b * x + m.d * y + m.ty)};
}
inline Point mapPoint(const Affine& m, Point p) { return mapPoint(m, p.x, p.y); }

struct Box {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return !(x1 > x0 && y1 > y0); }
};

}  // namespace orv::movie::render
