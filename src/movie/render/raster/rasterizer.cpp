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
  for (int y = yStart; y < yEnd; ++y) {
    const float dy = std::min(float(y + 1), bottom) - std::max(float(y), top);
    float xNext = x + dxdy * dy;
    if (dy > 0)
      detail::addRowArea(&cells_[size_t(y - rowBase) * bufW_],
                         &marks_[size_t(y - rowBase) * markWords_], 0, x, xNext, dy * dir, bufX_,
                         bufW_, rowMin_[y - rowBase], rowMax_[y - rowBase]);
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
    const int i = detail::centreCell(x, bufW_);
    cells_[size_t(y - rowBase) * bufW_ + i] += dir;
    detail::markCells(&marks_[size_t(y - rowBase) * markWords_], i, i);
    rowMin_[y - rowBase] = std::min(rowMin_[y - rowBase], i);
    rowMax_[y - rowBase] = std::max(rowMax_[y - rowBase], i);
  }
}

// Four samples a pixel: each line crossing a sample row's centre line adds
// its direction at the first sample right of the crossing, in the cell of
// that sample's pixel for its row and column.
void Rasterizer::accumulateSamples(const Line& line, int rowBase) {
  Point p0 = line.p0, p1 = line.p1;
  float dir = 1;
  if (p0.y > p1.y) {
    std::swap(p0, p1);
    dir = -1;
  }
  int first, end;
  detail::sampleRows(p0.y, p1.y, height_, first, end);
  const float dxdy = (p1.x - p0.x) / (p1.y - p0.y);
  for (int s = first; s < end; ++s) {
    const int column =
        detail::sampleColumn(detail::sampleCrossing(p0, dxdy, s) - float(bufX_), bufW_);
    const int r = (s >> 1) - rowBase, i = column >> 1;
    cells_[size_t(r) * bufW_ * detail::kSampleCells + detail::sampleCell(s, column)] += dir;
    detail::markCells(&marks_[size_t(r) * markWords_], i, i);
    rowMin_[r] = std::min(rowMin_[r], i);
    rowMax_[r] = std::max(rowMax_[r], i);
  }
}

void Rasterizer::render(FillRule rule, AntiAlias antialias, SpanSink& sink) {
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
  const size_t rowCells =
      size_t(bufW_) * (antialias == AntiAlias::FourSamples ? detail::kSampleCells : 1);
  if (cells_.size() < size_t(rows) * rowCells) cells_.resize(size_t(rows) * rowCells, 0.0f);
  markWords_ = bufW_ / 64 + 1;
  if (marks_.size() < size_t(rows) * markWords_) marks_.resize(size_t(rows) * markWords_, 0);
  rowMin_.assign(rows, std::numeric_limits<int>::max());
  rowMax_.assign(rows, -1);
  coverage_.resize(bufW_);
  for (const Line& line : lines_) {
    if (antialias == AntiAlias::Area)
      accumulateArea(line, yStart);
    else if (antialias == AntiAlias::FourSamples)
      accumulateSamples(line, yStart);
    else
      accumulateCentres(line, yStart);
  }
  const int visibleW = width_ - bufX_;
  for (int r = 0; r < rows; ++r) {
    if (rowMax_[r] < 0) continue;
    const int y = yStart + r;
    detail::sweepRow(
        &cells_[size_t(r) * rowCells], &marks_[size_t(r) * markWords_], 0, rowMin_[r], rowMax_[r],
        visibleW, bufW_, rule, antialias, coverage_.data(),
        [&](int x, int count, const uint8_t* c) { sink.span(y, bufX_ + x, count, c); });
  }
}

}  // namespace orv::movie::render
