#pragma once
// 2D affine transforms, laid out as SWF's MATRIX: x' = a*x + c*y + tx, y' = b*x + d*y + ty
// (a = ScaleX, b = RotateSkew0, c = RotateSkew1, d = ScaleY). Movies store them in twips
// (their 16.16 and twip fields held exactly), scripts in pixels, the renderer from movie
// space to device pixels; the arithmetic is the same double precision everywhere.
#include <cmath>
#include <optional>

namespace orv::movie::base {

struct Matrix {
  double a = 1, b = 0, c = 0, d = 1;
  double tx = 0, ty = 0;

  // (this * inner): `inner` first, then this.
  Matrix operator*(const Matrix& in) const {
    return {a * in.a + c * in.b, b * in.a + d * in.b,        a * in.c + c * in.d,
            b * in.c + d * in.d, a * in.tx + c * in.ty + tx, b * in.tx + d * in.ty + ty};
  }
  double mapX(double x, double y) const { return a * x + c * y + tx; }
  double mapY(double x, double y) const { return b * x + d * y + ty; }
  double determinant() const { return a * d - b * c; }

  // The inverse, or nothing when the determinant is 0.
  std::optional<Matrix> inverted() const {
    const double det = determinant();
    if (det == 0) return std::nullopt;
    return inverseFor(det);
  }
  // Whether the inverse is worth drawing through: not singular, nor nearly so.
  bool invertible() const { return std::abs(determinant()) > 1e-12; }
  // The inverse; all zeros (everything to the origin) when not invertible().
  Matrix inverse() const {
    const double det = determinant();
    if (std::abs(det) <= 1e-12) return {0, 0, 0, 0, 0, 0};
    return inverseFor(det);
  }

  static Matrix translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Matrix scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  // Mean scale factor, used for stroke widths under non-uniform transforms.
  double meanScale() const { return std::sqrt(std::abs(determinant())); }

  bool operator==(const Matrix&) const = default;

 private:
  Matrix inverseFor(double det) const {
    const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    return {ia, ib, ic, id, -(ia * tx + ic * ty), -(ib * tx + id * ty)};
  }
};

}  // namespace orv::movie::base
