#include "movie/render/raster/stroker.h"

#include <algorithm>
#include <cmath>

namespace orv::movie::render {

namespace {

constexpr float kPi = 3.14159265358979f;

// Emits a closed polygon with a fixed (positive) orientation so overlapping
// pieces add up instead of cancelling.
void addPolygon(const Point* p, int n, EdgeSink& out) {
  float area = 0;
  for (int i = 0; i < n; ++i) area += cross(p[i], p[(i + 1) % n]);
  if (area == 0) return;
  if (area > 0) {
    for (int i = 0; i < n; ++i) out.addLine(p[i], p[(i + 1) % n]);
  } else {
    for (int i = n; i > 0; --i) out.addLine(p[i % n], p[i - 1]);
  }
}

int circleSegments(float radius) {
  if (radius <= 0.5f) return 8;
  const float tolerance = 0.1f;
  float step = 2 * std::acos(std::max(0.0f, 1 - tolerance / radius));
  if (!(step > 0)) return 256;
  return std::clamp(int(std::ceil(2 * kPi / step)), 8, 256);
}

void addCircle(Point c, float r, EdgeSink& out) {
  const int n = circleSegments(r);
  std::vector<Point> pts(n);
  for (int i = 0; i < n; ++i) {
    float a = 2 * kPi * float(i) / float(n);
    pts[i] = {c.x + r * std::cos(a), c.y + r * std::sin(a)};
  }
  addPolygon(pts.data(), n, out);
}

Point perpendicular(Point d) { return {-d.y, d.x}; }

void addJoin(Point v, Point dirIn, Point dirOut, float hw, const StrokeStyle& style,
             EdgeSink& out) {
  const float turn = cross(dirIn, dirOut);
  if (std::abs(turn) < 1e-6f && dot(dirIn, dirOut) > 0) return;  // straight on
  if (style.join == Join::Round) {
    addCircle(v, hw, out);
    return;
  }
  // The outer side is opposite the turn.
  const float side = turn > 0 ? -1.0f : 1.0f;
  const Point n1 = perpendicular(dirIn) * (hw * side);
  const Point n2 = perpendicular(dirOut) * (hw * side);
  if (style.join == Join::Miter) {
    const Point mid = n1 + n2;
    const float midLen = length(mid);
    const float cosHalf = midLen / (2 * hw);  // cos of half the angle between normals
    if (cosHalf > 1e-4f && 1 / cosHalf <= style.miterLimit) {
      const Point tip = v + mid * (hw / (cosHalf * midLen));
      const Point quad[4] = {v, v + n1, tip, v + n2};
      addPolygon(quad, 4, out);
      return;
    }
  }
  const Point tri[3] = {v, v + n1, v + n2};
  addPolygon(tri, 3, out);
}

void addCap(Point p, Point dirOutward, float hw, Cap cap, EdgeSink& out) {
  if (cap == Cap::Round) {
    addCircle(p, hw, out);
  } else if (cap == Cap::Square) {
    const Point n = perpendicular(dirOutward) * hw;
    const Point e = dirOutward * hw;
    const Point quad[4] = {p + n, p + n + e, p - n + e, p - n};
    addPolygon(quad, 4, out);
  }
}

}  // namespace

namespace {

// The curve is mapped onto a stretch of the parabola y = x², whose arc is cut
// where an approximation of its error integral grows by equal steps: pieces
// are shortest where the curve bends most, and few are needed.
double parabolaIntegral(double x) {
  const double d = 0.67;
  return x / (1 - d + std::sqrt(std::sqrt(d * d * d * d + 0.25 * x * x)));
}
double parabolaIntegralInverse(double x) {
  const double b = 0.39;
  return x * (1 - b + std::sqrt(b * b + 0.25 * x * x));
}

}  // namespace

void flattenQuad(Point from, Point control, Point to, float tolerance, std::vector<Point>& out) {
  const double ddx = 2.0 * control.x - from.x - to.x, ddy = 2.0 * control.y - from.y - to.y;
  const double cross = (double(to.x) - from.x) * ddy - (double(to.y) - from.y) * ddx;
  const double u0 = (double(control.x) - from.x) * ddx + (double(control.y) - from.y) * ddy;
  const double u2 = (double(to.x) - control.x) * ddx + (double(to.y) - control.y) * ddy;
  const double x0 = u0 / cross, x2 = u2 / cross;
  const double scale = std::abs(cross) / (std::hypot(ddx, ddy) * std::abs(x2 - x0));
  const double a0 = parabolaIntegral(x0), a2 = parabolaIntegral(x2);
  const double count = 0.5 * std::abs(a2 - a0) * std::sqrt(scale / std::max(tolerance, 1e-3f));
  // A curve that stays within the tolerance of its chord (its furthest point
  // is a quarter of the control point's distance from the chord) is that
  // chord, as is a degenerate one.
  const double chord = std::hypot(double(to.x) - from.x, double(to.y) - from.y);
  const bool flat = std::abs(cross) <= 4 * tolerance * chord;
  if (flat || !(count > 1) || !std::isfinite(count)) {
    out.push_back(to);
    return;
  }
  const int n = std::min(int(std::ceil(count)), 256);
  const double v0 = parabolaIntegralInverse(a0), v2 = parabolaIntegralInverse(a2);
  for (int i = 1; i < n; ++i) {
    const double v = parabolaIntegralInverse(a0 + (a2 - a0) * i / n);
    const float t = float((v - v0) / (v2 - v0)), u = 1 - t;
    out.push_back({u * u * from.x + 2 * u * t * control.x + t * t * to.x,
                   u * u * from.y + 2 * u * t * control.y + t * t * to.y});
  }
  out.push_back(to);
}

void strokePolyline(const std::vector<Point>& input, bool closed, const StrokeStyle& style,
                    EdgeSink& out) {
  const float hw = std::max(style.width, 0.0f) / 2;
  if (hw <= 0) return;
  // Drop repeated points: they have no direction.
  std::vector<Point> p;
  p.reserve(input.size());
  for (const Point& q : input)
    if (p.empty() || std::abs(q.x - p.back().x) > 1e-4f || std::abs(q.y - p.back().y) > 1e-4f)
      p.push_back(q);
  if (closed && p.size() > 2 && std::abs(p.front().x - p.back().x) <= 1e-4f &&
      std::abs(p.front().y - p.back().y) <= 1e-4f)
    p.pop_back();
  if (p.size() < 2) {
    // A dot: round or square caps still show it.
    if (!p.empty() && !closed) {
      if (style.startCap == Cap::Round)
        addCircle(p[0], hw, out);
      else if (style.startCap == Cap::Square) {
        const Point sq[4] = {{p[0].x - hw, p[0].y - hw},
                             {p[0].x + hw, p[0].y - hw},
                             {p[0].x + hw, p[0].y + hw},
                             {p[0].x - hw, p[0].y + hw}};
        addPolygon(sq, 4, out);
      }
    }
    return;
  }
  if (closed && p.size() < 3) closed = false;
  const size_t segments = closed ? p.size() : p.size() - 1;
  std::vector<Point> dirs(segments);
  for (size_t i = 0; i < segments; ++i) {
    const Point a = p[i], b = p[(i + 1) % p.size()];
    const Point d = b - a;
    dirs[i] = d * (1 / length(d));
    const Point n = perpendicular(dirs[i]) * hw;
    const Point quad[4] = {a + n, b + n, b - n, a - n};
    addPolygon(quad, 4, out);
  }
  for (size_t i = 1; i < segments; ++i) addJoin(p[i], dirs[i - 1], dirs[i], hw, style, out);
  if (closed) {
    addJoin(p[0], dirs[segments - 1], dirs[0], hw, style, out);
  } else {
    addCap(p.front(), dirs.front() * -1, hw, style.startCap, out);
    addCap(p.back(), dirs.back(), hw, style.endCap, out);
  }
}

void strokeHairline(const std::vector<Point>& p, bool closed, EdgeSink& out) {
  const size_t n = p.size();
  if (n < 2) return;
  const size_t segments = closed && n > 2 ? n : n - 1;
  for (size_t i = 0; i < segments; ++i) {
    const Point a = p[i], b = p[(i + 1) % n];
    const Point d = b - a;
    const Point half = std::abs(d.x) >= std::abs(d.y) ? Point{0, 0.5f} : Point{0.5f, 0};
    const Point quad[4] = {a - half, b - half, b + half, a + half};
    addPolygon(quad, 4, out);
  }
}

}  // namespace orv::movie::render
