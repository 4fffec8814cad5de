#pragma once
// Device-space geometry for the rasteriser: points, affine transforms, boxes.
#include <algorithm>
#include <cmath>
#include <cstdint>

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

// x' = a*x + c*y + tx;  y' = b*x + d*y + ty  (SWF's MATRIX layout: a=ScaleX,
// b=RotateSkew0, c=RotateSkew1, d=ScaleY).
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  Point apply(double x, double y) const {
    return {float(a * x + c * y + tx), float(b * x + d * y + ty)};
  }
  Point apply(Point p) const { return apply(p.x, p.y); }
  // this ∘ inner: first inner, then this.
  Affine operator*(const Affine& in) const {
    return {a * in.a + c * in.b, b * in.a + d * in.b,        a * in.c + c * in.d,
            b * in.c + d * in.d, a * in.tx + c * in.ty + tx, b * in.tx + d * in.ty + ty};
  }
  double determinant() const { return a * d - b * c; }
  bool invertible() const { return std::abs(determinant()) > 1e-12; }
  Affine inverse() const {
    double det = determinant();
    if (std::abs(det) <= 1e-12) return {0, 0, 0, 0, 0, 0};
    double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    return {ia, ib, ic, id, -(ia * tx + ic * ty), -(ib * tx + id * ty)};
  }
  static Affine translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Affine scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  // Mean scale factor, used for stroke widths under non-uniform transforms.
  double meanScale() const { return std::sqrt(std::abs(determinant())); }
};

struct Box {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return !(x1 > x0 && y1 > y0); }
};

}  // namespace orv::movie::render
