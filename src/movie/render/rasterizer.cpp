#include "movie/render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace orv::movie::render {

namespace {
// Bounds every coordinate so hostile transforms cannot overflow int casts.
constexpr float kCoordLimit = 1 << 24;
float tame(float v) {
  if (!(v == v)) return 0;  // NaN
  return std::clamp(v, -kCoordLimit, kCoordLimit);
}
}  // namespace

void Rasterizer::reset(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  lines_.clear();
  minY_ = minX_ = std::numeric_limits<float>::max();
  maxY_ = maxX_ = std::numeric_limits<float>::lowest();
}

void Rasterizer::addLine(Point from, Point to) {
  from = {tame(from.x), tame(from.y)};
  to = {tame(to.x), tame(to.y)};
  if (from.y == to.y) return;  // horizontal edges add no coverage
  float y0 = std::min(from.y, to.y), y1 = std::max(from.y, to.y);
  if (y1 <= 0 || y0 >= float(height_)) return;
  // Lines left of the clip still count (they set the winding of what is right
  // of them), so clamp x into the clip instead of dropping them; split them
  // where they cross the clip's vertical sides so the clamped part stays exact.
  const float edges[2] = {0.0f, float(width_)};
  Point pts[4] = {from};
  int n = 1;
  for (float ex : edges) {
    if ((from.x < ex && to.x > ex) || (from.x > ex && to.x < ex)) {
      float t = (ex - from.x) / (to.x - from.x);
      pts[n++] = {ex, from.y + t * (to.y - from.y)};
    }
  }
  // Order split points along the line.
  if (n == 3 && ((pts[2].y - pts[1].y) * (to.y - from.y) < 0)) std::swap(pts[1], pts[2]);
  pts[n++] = to;
  for (int i = 0; i + 1 < n; ++i) {
    Point a = pts[i], b = pts[i + 1];
    a.x = std::clamp(a.x, 0.0f, float(width_));
    b.x = std::clamp(b.x, 0.0f, float(width_));
    if (a.y == b.y) continue;
    lines_.push_back({a, b});
    minY_ = std::min({minY_, a.y, b.y});
    maxY_ = std::max({maxY_, a.y, b.y});
    minX_ = std::min({minX_, a.x, b.x});
    maxX_ = std::max({maxX_, a.x, b.x});
  }
}

// Adds the signed area each line covers to the cells of every row it crosses
// (row-relative to rowBase). Summing a row's cells left to right then gives
// each pixel's coverage.
void Rasterizer::accumulateArea(const Line& line, int rowBase) {
  Point p0 = line.p0, p1 = line.p1;
  float dir = 1;
  if (p0.y > p1.y) {
    std::swap(p0, p1);
    dir = -1;
  }
  float top = std::max(p0.y, 0.0f), bottom = std::min(p1.y, float(height_));
  if (top >= bottom) return;
  const float dxdy = (p1.x - p0.x) / (p1.y - p0.y);
  float x = p0.x + (top - p0.y) * dxdy;
  const int yStart = int(top), yEnd = int(std::ceil(bottom));
  const int stride = bufW_;
  for (int y = yStart; y < yEnd; ++y) {
    const float dy = std::min(float(y + 1), bottom) - std::max(float(y), top);
    float xNext = x + dxdy * dy;
    if (dy <= 0) {
      x = xNext;
      continue;
    }
    const float d = dy * dir;
    float* row = &cells_[size_t(y - rowBase) * stride];
    float xa = std::min(x, xNext) - float(bufX_), xb = std::max(x, xNext) - float(bufX_);
    xa = std::clamp(xa, 0.0f, float(bufW_ - 2));
    xb = std::clamp(xb, 0.0f, float(bufW_ - 2));
    const float xaFloor = std::floor(xa);
    const int ia = int(xaFloor);
    const int ib = int(std::ceil(xb));
    int& rmin = rowMin_[y - rowBase];
    int& rmax = rowMax_[y - rowBase];
    rmin = std::min(rmin, ia);
    rmax = std::max(rmax, std::max(ib, ia + 1));
    if (ib <= ia + 1) {
      // Inside one pixel column: split by the mean x.
      const float xm = 0.5f * (xa + xb) - xaFloor;
      row[ia] += d - d * xm;
      row[ia + 1] += d * xm;
    } else {
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
    x = xNext;
  }
}

// Without anti-aliasing: a pixel is inside when its centre is; each line
// crossing a row's centre line adds its direction at the first pixel whose
// centre lies right of the crossing.
void Rasterizer::accumulateCentres(const Line& line, int rowBase) {
  Point p0 = line.p0, p1 = line.p1;
  float dir = 1;
  if (p0.y > p1.y) {
    std::swap(p0, p1);
    dir = -1;
  }
  // Rows whose centre y+0.5 lies in [p0.y, p1.y).
  int yStart = std::max(0, int(std::ceil(p0.y - 0.5f)));
  int yEnd = std::min(height_, int(std::ceil(p1.y - 0.5f)));
  const float dxdy = (p1.x - p0.x) / (p1.y - p0.y);
  for (int y = yStart; y < yEnd; ++y) {
    float x = p0.x + (float(y) + 0.5f - p0.y) * dxdy - float(bufX_);
    int i = int(std::ceil(x - 0.5f));
    i = std::clamp(i, 0, bufW_ - 2);
    cells_[size_t(y - rowBase) * bufW_ + i] += dir;
    rowMin_[y - rowBase] = std::min(rowMin_[y - rowBase], i);
    rowMax_[y - rowBase] = std::max(rowMax_[y - rowBase], i);
  }
}

void Rasterizer::render(FillRule rule, bool antialias, SpanSink& sink) {
  if (lines_.empty() || width_ == 0 || height_ == 0) return;
  const int yStart = std::max(0, int(std::floor(minY_)));
  const int yEnd = std::min(height_, int(std::ceil(maxY_)) + 1);
  if (yStart >= yEnd) return;
  bufX_ = std::max(0, int(std::floor(minX_)));
  const int xEnd = std::min(width_, int(std::ceil(maxX_)) + 1);
  if (xEnd <= bufX_) {
    // Everything is at the right clip edge: nothing visible.
    if (bufX_ >= width_) return;
  }
  bufW_ = std::max(1, xEnd - bufX_) + 2;
  const int rows = yEnd - yStart;
  // Cells stay zero between calls: each row is cleared where it was touched
  // after being read, so no full-buffer clear is needed.
  if (cells_.size() < size_t(rows) * bufW_) cells_.resize(size_t(rows) * bufW_, 0.0f);
  rowMin_.assign(rows, std::numeric_limits<int>::max());
  rowMax_.assign(rows, -1);
  coverage_.resize(bufW_);
  for (const Line& line : lines_) {
    if (antialias)
      accumulateArea(line, yStart);
    else
      accumulateCentres(line, yStart);
  }
  const int visibleW = width_ - bufX_;
  uint8_t* const coverage = coverage_.data();
  for (int r = 0; r < rows; ++r) {
    if (rowMax_[r] < 0) continue;
    float* row = &cells_[size_t(r) * bufW_];
    // Coverage is zero left of the first touched cell; sum from there.
    const int first = rowMin_[r];
    const int last = std::min(rowMax_[r] + 1, visibleW);
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
        std::memset(coverage + i, v, size_t(j - i));
        if (runStart < 0) runStart = i;
      } else if (runStart >= 0) {
        sink.span(yStart + r, bufX_ + runStart, i - runStart, coverage + runStart);
        runStart = -1;
      }
      i = j;
    }
    if (runStart >= 0 && last > runStart)
      sink.span(yStart + r, bufX_ + runStart, last - runStart, coverage + runStart);
    // Cells right of the clip were not read.
    if (last < rowMax_[r] + 1) std::fill(row + std::max(first, last), row + std::min(rowMax_[r] + 1, bufW_), 0.0f);
  }
}

}  // namespace orv::movie::render
