#include "movie/render/raster/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "movie/render/raster/coverage_row.h"

namespace orv::movie::render {

void Rasterizer::reset(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  lines_.clear();
  minY_ = minX_ = std::numeric_limits<float>::max();
  maxY_ = maxX_ = std::numeric_limits<float>::lowest();
}

void Rasterizer::addLine(Point from, Point to) {
  detail::clipLine(from, to, width_, height_, [this](Point a, Point b) {
    lines_.push_back({a, b});
    minY_ = std::min({minY_, a.y, b.y});
    maxY_ = std::max({maxY_, a.y, b.y});
    minX_ = std::min({minX_, a.x, b.x});
    maxX_ = std::max({maxX_, a.x, b.x});
  });
}

// Accumulation cells and per-row extents, one set a thread; the cells and
// marks are zero between uses.
struct Rasterizer::Scratch {
  std::vector<float> cells;
  std::vector<uint64_t> marks;  // cells touched, a bit each
  int markWords = 0;            // per row
  std::vector<int> rowMin, rowMax;
  std::vector<uint8_t> coverage;
};

// Adds the signed area each line covers to the cells of every row in
// [top, bottom) it crosses (row-relative to top). Summing a row's cells left
// to right then gives each pixel's coverage. Where a line enters a row is
// worked out row after row from its top, whatever rows are summed.
void Rasterizer::accumulateArea(const Line& line, const Extent& e, int top, int bottom,
                                Scratch& s) const {
  Point p0 = line.p0, p1 = line.p1;
  float dir = 1;
  if (p0.y > p1.y) {
    std::swap(p0, p1);
    dir = -1;
  }
  const float lineTop = std::max(p0.y, 0.0f), lineBottom = std::min(p1.y, float(height_));
  if (lineTop >= lineBottom) return;
  const float dxdy = (p1.x - p0.x) / (p1.y - p0.y);
  float x = p0.x + (lineTop - p0.y) * dxdy;
  const int yStart = int(lineTop), yEnd = std::min(int(std::ceil(lineBottom)), bottom);
  for (int y = yStart; y < yEnd; ++y) {
    const float dy = std::min(float(y + 1), lineBottom) - std::max(float(y), lineTop);
    const float xNext = x + dxdy * dy;
    if (dy > 0 && y >= top)
      detail::addRowArea(&s.cells[size_t(y - top) * e.width],
                         &s.marks[size_t(y - top) * s.markWords], 0, x, xNext, dy * dir, e.left,
                         e.width, s.rowMin[size_t(y - top)], s.rowMax[size_t(y - top)]);
    x = xNext;
  }
}

// Without anti-aliasing: a pixel is inside when its centre is; each line
// crossing a row's centre line adds its direction at the first pixel whose
// centre lies right of the crossing.
void Rasterizer::accumulateCentres(const Line& line, const Extent& e, int top, int bottom,
                                   Scratch& s) const {
  Point p0 = line.p0, p1 = line.p1;
  float dir = 1;
  if (p0.y > p1.y) {
    std::swap(p0, p1);
    dir = -1;
  }
  // Rows whose centre y+0.5 lies in [p0.y, p1.y).
  const int yStart = std::max(top, int(std::ceil(p0.y - 0.5f)));
  const int yEnd = std::min(bottom, int(std::ceil(p1.y - 0.5f)));
  const float dxdy = (p1.x - p0.x) / (p1.y - p0.y);
  for (int y = yStart; y < yEnd; ++y) {
    const float x = p0.x + (float(y) + 0.5f - p0.y) * dxdy - float(e.left);
    const int i = detail::centreCell(x, e.width);
    const size_t r = size_t(y - top);
    s.cells[r * e.width + i] += dir;
    detail::markCells(&s.marks[r * s.markWords], i, i);
    s.rowMin[r] = std::min(s.rowMin[r], i);
    s.rowMax[r] = std::max(s.rowMax[r], i);
  }
}

// Four samples a pixel: each line crossing a sample row's centre line adds
// its direction at the first sample right of the crossing, in the cell of
// that sample's pixel for its row and column.
void Rasterizer::accumulateSamples(const Line& line, const Extent& e, int top, int bottom,
                                   Scratch& s) const {
  Point p0 = line.p0, p1 = line.p1;
  float dir = 1;
  if (p0.y > p1.y) {
    std::swap(p0, p1);
    dir = -1;
  }
  int first, end;
  detail::sampleRows(p0.y, p1.y, height_, first, end);
  first = std::max(first, 2 * top);
  end = std::min(end, 2 * bottom);
  const float dxdy = (p1.x - p0.x) / (p1.y - p0.y);
  for (int sample = first; sample < end; ++sample) {
    const int column =
        detail::sampleColumn(detail::sampleCrossing(p0, dxdy, sample) - float(e.left), e.width);
    const size_t r = size_t((sample >> 1) - top);
    const int i = column >> 1;
    s.cells[r * e.width * detail::kSampleCells + detail::sampleCell(sample, column)] += dir;
    detail::markCells(&s.marks[r * s.markWords], i, i);
    s.rowMin[r] = std::min(s.rowMin[r], i);
    s.rowMax[r] = std::max(s.rowMax[r], i);
  }
}

Rasterizer::Extent Rasterizer::extent() const {
  Extent e;
  if (lines_.empty() || width_ == 0 || height_ == 0) return e;
  const int yStart = std::max(0, int(std::floor(minY_)));
  const int yEnd = std::min(height_, int(std::ceil(maxY_)) + 1);
  if (yStart >= yEnd) return e;
  const int left = std::max(0, int(std::floor(minX_)));
  const int xEnd = std::min(width_, int(std::ceil(maxX_)) + 1);
  // Everything at the right clip edge: nothing visible.
  if (xEnd <= left && left >= width_) return e;
  e.top = yStart;
  e.bottom = yEnd;
  e.left = left;
  e.width = std::max(1, xEnd - left) + 2;
  return e;
}

void Rasterizer::render(FillRule rule, AntiAlias antialias, SpanSink& sink) {
  const Extent e = extent();
  renderRows(rule, antialias, sink, e.top, e.bottom);
}

void Rasterizer::renderRows(FillRule rule, AntiAlias antialias, SpanSink& sink, int top,
                            int bottom) const {
  const Extent e = extent();
  top = std::max(top, e.top);
  bottom = std::min(bottom, e.bottom);
  if (e.empty() || top >= bottom) return;
  static thread_local Scratch s;
  const int rows = bottom - top;
  // Cells stay zero between calls: each row is cleared where it was touched
  // after being read, so no full-buffer clear is needed.
  const size_t rowCells =
      size_t(e.width) * (antialias == AntiAlias::FourSamples ? detail::kSampleCells : 1);
  if (s.cells.size() < size_t(rows) * rowCells) s.cells.resize(size_t(rows) * rowCells, 0.0f);
  s.markWords = e.width / 64 + 1;
  if (s.marks.size() < size_t(rows) * s.markWords) s.marks.resize(size_t(rows) * s.markWords, 0);
  s.rowMin.assign(size_t(rows), std::numeric_limits<int>::max());
  s.rowMax.assign(size_t(rows), -1);
  s.coverage.resize(size_t(e.width));
  for (const Line& line : lines_) {
    if (antialias == AntiAlias::Area)
      accumulateArea(line, e, top, bottom, s);
    else if (antialias == AntiAlias::FourSamples)
      accumulateSamples(line, e, top, bottom, s);
    else
      accumulateCentres(line, e, top, bottom, s);
  }
  const int visibleW = width_ - e.left;
  for (int r = 0; r < rows; ++r) {
    if (s.rowMax[size_t(r)] < 0) continue;
    const int y = top + r;
    detail::sweepRow(
        &s.cells[size_t(r) * rowCells], &s.marks[size_t(r) * s.markWords], 0, s.rowMin[size_t(r)],
        s.rowMax[size_t(r)], visibleW, e.width, rule, antialias, s.coverage.data(),
        [&](int x, int count, const uint8_t* c) { sink.span(y, e.left + x, count, c); });
  }
}

}  // namespace orv::movie::render
