#pragma once
// The row arithmetic both rasterisers share: a line's signed area added to
// one row of cells, and a row of cells summed into coverage spans. Keeping it
// in one place keeps their results equal to the bit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "movie/render/rasterizer.h"

namespace orv::movie::render::detail {

// Bounds every coordinate so hostile transforms cannot overflow int casts.
inline float tame(float v) {
  constexpr float kCoordLimit = 1 << 24;
  if (!(v == v)) return 0;  // NaN
  return std::clamp(v, -kCoordLimit, kCoordLimit);
}

// Hands emit(a, b) the parts of a directed line that can add coverage to the
// clip [0,width) x [0,height). Lines left of the clip still count (they set
// the winding of what is right of them), so x is clamped into the clip
// instead of dropping them, the line split where it crosses the clip's
// vertical sides so the clamped parts stay exact.
template <class Emit>
inline void clipLine(Point from, Point to, int width, int height, Emit&& emit) {
  from = {tame(from.x), tame(from.y)};
  to = {tame(to.x), tame(to.y)};
  if (from.y == to.y) return;  // horizontal edges add no coverage
  const float y0 = std::min(from.y, to.y), y1 = std::max(from.y, to.y);
  if (y1 <= 0 || y0 >= float(height)) return;
  const float edges[2] = {0.0f, float(width)};
  Point pts[4] = {from};
  int n = 1;
  for (float ex : edges) {
    if ((from.x < ex && to.x > ex) || (from.x > ex && to.x < ex)) {
      const float t = (ex - from.x) / (to.x - from.x);
      pts[n++] = {ex, from.y + t * (to.y - from.y)};
    }
  }
  // Order split points along the line.
  if (n == 3 && ((pts[2].y - pts[1].y) * (to.y - from.y) < 0)) std::swap(pts[1], pts[2]);
  pts[n++] = to;
  for (int i = 0; i + 1 < n; ++i) {
    Point a = pts[i], b = pts[i + 1];
    a.x = std::clamp(a.x, 0.0f, float(width));
    b.x = std::clamp(b.x, 0.0f, float(width));
    if (a.y == b.y) continue;
    emit(a, b);
  }
}

// Adds the area a line covers in one row to `row` (cells relative to the
// buffer's left column bufX, bufW of them). The line runs from x to xNext
// across the row, covering `d` of its height (signed by direction).
// [rmin, rmax] grows to the cells touched.
inline void addRowArea(float* row, float x, float xNext, float d, int bufX, int bufW, int& rmin,
                       int& rmax) {
  float xa = std::min(x, xNext) - float(bufX), xb = std::max(x, xNext) - float(bufX);
  xa = std::clamp(xa, 0.0f, float(bufW - 2));
  xb = std::clamp(xb, 0.0f, float(bufW - 2));
  const float xaFloor = std::floor(xa);
  const int ia = int(xaFloor);
  const int ib = int(std::ceil(xb));
  rmin = std::min(rmin, ia);
  rmax = std::max(rmax, std::max(ib, ia + 1));
  if (ib <= ia + 1) {
    // Inside one pixel column: split by the mean x.
    const float xm = 0.5f * (xa + xb) - xaFloor;
    row[ia] += d - d * xm;
    row[ia + 1] += d * xm;
    return;
  }
  const float s = 1.0f / (xb - xa);
  const float fa = xa - xaFloor;
  const float a0 = 0.5f * s * (1 - fa) * (1 - fa);
  const float fb = xb - float(ib) + 1;
  const float am = 0.5f * s * fb * fb;
  row[ia] += d * a0;
  if (ib == ia + 2) {
    row[ia + 1] += d * (1 - a0 - am);
  } else {
    const float a1 = s * (1.5f - fa);
    row[ia + 1] += d * (a1 - a0);
    for (int i = ia + 2; i < ib - 1; ++i) row[i] += d * s;
    const float a2 = a1 + float(ib - ia - 3) * s;
    row[ib - 1] += d * (1 - a2 - am);
  }
  row[ib] += d * am;
}

// Without anti-aliasing: the cell a line crossing a row's centre line at x
// (relative to bufX) marks.
inline int centreCell(float x, int bufW) { return std::clamp(int(std::ceil(x - 0.5f)), 0, bufW - 2); }

// Sums one row's cells [first, rowMax] left to right into coverage and hands
// each run of covered pixels, at most up to visibleW, to emit(x, count,
// coverage) (x relative to the buffer). Cells are left zero.
template <class Emit>
inline void sweepRow(float* row, int first, int rowMax, int visibleW, int bufW, FillRule rule,
                     bool antialias, uint8_t* coverage, Emit&& emit) {
  const int last = std::min(rowMax + 1, visibleW);
  float acc = 0;
  int runStart = -1;
  int i = first;
  while (i < last) {
    acc += row[i];
    row[i] = 0.0f;  // cleared as read: the stretches skipped below are zero already
    // Cells no edge touched leave the sum, and so the coverage, unchanged:
    // [i, j) is one stretch of equal coverage.
    int j = i + 1;
    // Cells hold +0.0 wherever no edge added area (they start at +0.0 and
    // sums from +0.0 never give -0.0), so zero bits mean an empty cell;
    // test four at a time through the long empty insides of shapes.
    for (uint64_t a, b; j + 4 <= last; j += 4) {
      std::memcpy(&a, row + j, 8);
      std::memcpy(&b, row + j + 2, 8);
      if (a | b) break;
    }
    while (j < last && row[j] == 0.0f) ++j;
    float c;
    const float magnitude = std::abs(acc);
    if (rule == FillRule::NonZero || magnitude <= 1.0f) {
      c = std::min(1.0f, magnitude);
    } else {
      float m = std::fmod(magnitude, 2.0f);
      c = m > 1.0f ? 2.0f - m : m;
    }
    if (!antialias) c = c >= 0.5f ? 1.0f : 0.0f;
    const uint8_t v = uint8_t(c * 255.0f + 0.5f);
    if (v) {
      if (j - i <= 8) {
        for (int k = i; k < j; ++k) coverage[k] = v;
      } else {
        std::memset(coverage + i, v, size_t(j - i));
      }
      if (runStart < 0) runStart = i;
    } else if (runStart >= 0) {
      emit(runStart, i - runStart, coverage + runStart);
      runStart = -1;
    }
    i = j;
  }
  if (runStart >= 0 && last > runStart) emit(runStart, last - runStart, coverage + runStart);
  // Cells right of the clip were not read.
  if (last < rowMax + 1)
    std::fill(row + std::max(first, last), row + std::min(rowMax + 1, bufW), 0.0f);
}

}  // namespace orv::movie::render::detail
