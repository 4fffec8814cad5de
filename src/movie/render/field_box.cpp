#include "movie/render/field_box.h"

#include <cmath>
#include <algorithm>

namespace orv::movie::render {

namespace {
// A skew below this share of the scale (about half a degree) leaves a device-font
// field drawn upright.
constexpr double kNegligibleSkew = 0.01;

constexpr double kLimit = 1 << 28;  // hostile matrices stay far from int overflow
constexpr double kHair = 1e-6;      // keeps 29.9999999 on 30

// The nearest whole pixel, halves going down (10.5 is 10).
int nearestPixel(double v) { return int(std::clamp(std::ceil(v - 0.5 - kHair), -kLimit, kLimit)); }
int wholePixels(double v) { return int(std::clamp(std::floor(v + kHair), 0.0, kLimit)); }
}  // namespace

FieldBoxGeometry fieldBoxGeometry(const swf::Rect& b, const Affine& m, bool outlines) {
  FieldBoxGeometry g;
  const bool mirrored = m.a < 0 || m.d < 0;
  const bool skewed = std::abs(m.b) > kNegligibleSkew * std::abs(m.a) ||
                      std::abs(m.c) > kNegligibleSkew * std::abs(m.d);
  const bool finite = std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) &&
                      std::isfinite(m.d) && std::isfinite(m.tx) && std::isfinite(m.ty);
  if (!finite) {
    g.drawn = false;
    return g;
  }
  if (!mirrored && !skewed) {
    // Upright: the top-left corner goes to the nearest pixel, the size down to
    // whole pixels.
    const Point topLeft = mapPoint(m, b.xMin, b.yMin);
    g.x0 = nearestPixel(topLeft.x);
    g.y0 = nearestPixel(topLeft.y);
    g.x1 = g.x0 + wholePixels(m.a * (double(b.xMax) - b.xMin));
    g.y1 = g.y0 + wholePixels(m.d * (double(b.yMax) - b.yMin));
    return g;
  }
  if (!outlines) {
    g.drawn = false;
    return g;
  }
  g.corners[0] = mapPoint(m, b.xMin, b.yMin);
  g.corners[1] = mapPoint(m, b.xMax, b.yMin);
  g.corners[2] = mapPoint(m, b.xMax, b.yMax);
  g.corners[3] = mapPoint(m, b.xMin, b.yMax);
  // Mirrored or turned by quarter turns, the box is still upright on the device.
  const bool quarterTurn = std::abs(m.a) <= kNegligibleSkew * std::abs(m.b) &&
                           std::abs(m.d) <= kNegligibleSkew * std::abs(m.c);
  if (!skewed || quarterTurn) {
    float x0 = g.corners[0].x, x1 = x0, y0 = g.corners[0].y, y1 = y0;
    for (const Point& p : g.corners) {
      x0 = std::min(x0, p.x);
      x1 = std::max(x1, p.x);
      y0 = std::min(y0, p.y);
      y1 = std::max(y1, p.y);
    }
    g.x0 = nearestPixel(x0);
    g.y0 = nearestPixel(y0);
    g.x1 = g.x0 + wholePixels(double(x1) - x0);
    g.y1 = g.y0 + wholePixels(double(y1) - y0);
    return g;
  }
  g.pixelAligned = false;
  return g;
}

FrameShapes borderShapes(const FieldBoxGeometry& g, bool halfCorner) {
  FrameShapes s;
  if (!g.drawn || !g.pixelAligned) return s;
  const float x0 = float(g.x0), y0 = float(g.y0), x1 = float(g.x1), y1 = float(g.y1);
  s.rects.push_back({x0, y0, x1 + 1, y0 + 1});           // top, both corners
  s.rects.push_back({x0, y0, x0 + 1, y1 + 1});           // left, both corners
  if (y1 > y0) s.rects.push_back({x1, y0, x1 + 1, y1});  // right, down to the last line
  if (x1 > x0) s.rects.push_back({x0, y1, x1, y1 + 1});  // bottom, up to the last column
  if (halfCorner && x1 > x0 && y1 > y0) s.corner = {{x1, y1}, {x1 + 1, y1}, {x1, y1 + 1}};
  return s;
}

}  // namespace orv::movie::render
