#include "movie/render/raster/fill_sweep.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "movie/render/raster/coverage_row.h"

namespace orv::movie::render {

namespace {
// Rows per band: a band of cells at 1080p is 16 * 1924 floats, about 120 KiB.
constexpr int kBandRows = 16;
// Fills at most this many cells wide are swept without marks.
constexpr int kDenseWidth = 96;
}  // namespace

void FillSweep::reset(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  fills_.clear();
  lines_.clear();
  madeFrom.clear();
  preparedFor_ = -1;
}

void FillSweep::beginFill() {
  preparedFor_ = -1;
  madeFrom.clear();
  if (!fills_.empty() && lastFillEmpty()) return;  // the empty one is reused
  Fill f;
  f.firstLine = uint32_t(lines_.size());
  f.minY = f.minX = std::numeric_limits<float>::max();
  f.maxY = f.maxX = std::numeric_limits<float>::lowest();
  fills_.push_back(f);
}

uint32_t FillSweep::fillCount() const {
  return uint32_t(fills_.size()) - (!fills_.empty() && lastFillEmpty() ? 1 : 0);
}

void FillSweep::addLine(Point from, Point to) {
  if (fills_.empty()) beginFill();
  preparedFor_ = -1;
  madeFrom.clear();
  Fill& f = fills_.back();
  const uint32_t index = uint32_t(fills_.size() - 1);
  detail::clipLine(from, to, width_, height_, [&](Point a, Point b) {
    Line line;
    line.p0 = a;
    line.p1 = b;
    line.fill = index;
    lines_.push_back(line);
    f.minY = std::min({f.minY, a.y, b.y});
    f.maxY = std::max({f.maxY, a.y, b.y});
    f.minX = std::min({f.minX, a.x, b.x});
    f.maxX = std::max({f.maxX, a.x, b.x});
  });
}

// The fill's cell buffer, as Rasterizer lays it out for the fill alone: cell
// positions are relative to its left column, which the sums depend on.
bool FillSweep::prepareFill(Fill& f) const {
  const int yStart = std::max(0, int(std::floor(f.minY)));
  const int yEnd = std::min(height_, int(std::ceil(f.maxY)) + 1);
  if (yStart >= yEnd) return false;
  f.bufX = std::max(0, int(std::floor(f.minX)));
  const int xEnd = std::min(width_, int(std::ceil(f.maxX)) + 1);
  if (xEnd <= f.bufX && f.bufX >= width_) return false;  // all at the right clip edge
  f.bufW = std::max(1, xEnd - f.bufX) + 2;
  f.visibleW = width_ - f.bufX;
  return true;
}

// Orders the line downwards and finds the rows it covers.
bool FillSweep::prepareLine(Line& l, AntiAlias antialias) const {
  if (l.p0.y > l.p1.y) {
    std::swap(l.p0, l.p1);
    l.dir = -1;
  }
  l.dxdy = (l.p1.x - l.p0.x) / (l.p1.y - l.p0.y);
  if (antialias == AntiAlias::Area) {
    l.top = std::max(l.p0.y, 0.0f);
    l.bottom = std::min(l.p1.y, float(height_));
    if (l.top >= l.bottom) return false;
    l.xStart = l.p0.x + (l.top - l.p0.y) * l.dxdy;
    l.yStart = int(l.top);
    l.yEnd = int(std::ceil(l.bottom));
  } else if (antialias == AntiAlias::FourSamples) {
    detail::sampleRows(l.p0.y, l.p1.y, height_, l.sampleStart, l.sampleEnd);
    if (l.sampleStart >= l.sampleEnd) return false;
    l.yStart = l.sampleStart >> 1;
    l.yEnd = (l.sampleEnd + 1) >> 1;
  } else {
    // Rows whose centre y+0.5 lies in [p0.y, p1.y).
    l.yStart = std::max(0, int(std::ceil(l.p0.y - 0.5f)));
    l.yEnd = std::min(height_, int(std::ceil(l.p1.y - 0.5f)));
  }
  return l.yStart < l.yEnd;
}

// Fills' buffers, lines ordered downwards and listed by the band they
// start in (in the order they were added: so in fill order, and within a
// fill in the order Rasterizer sums them). Done once for fills rendered again.
void FillSweep::prepare(AntiAlias antialias) {
  preparedFor_ = int(antialias);
  for (Fill& f : fills_) f.visible = f.firstLine < lines_.size() && prepareFill(f);
  const int bands = (height_ + kBandRows - 1) / kBandRows;
  bandStart_.assign(size_t(bands) + 1, 0);
  for (Line& l : lines_) {
    if (!fills_[l.fill].visible || !prepareLine(l, antialias)) {
      l.yEnd = -1;  // never active
      continue;
    }
    ++bandStart_[size_t(l.yStart / kBandRows) + 1];
  }
  for (int b = 0; b < bands; ++b) bandStart_[size_t(b) + 1] += bandStart_[size_t(b)];
  byBand_.resize(bandStart_.back());
  merged_.assign(bandStart_.begin(), bandStart_.end() - 1);  // cursors
  lineEnd_.resize(lines_.size());
  lineFill_.resize(lines_.size());
  for (uint32_t i = 0; i < lines_.size(); ++i) {
    lineEnd_[i] = lines_[i].yEnd;
    lineFill_[i] = lines_[i].fill;
    if (lines_[i].yEnd >= 0) byBand_[merged_[size_t(lines_[i].yStart / kBandRows)]++] = i;
  }
}

void FillSweep::render(FillRule rule, AntiAlias antialias, FillSink& sink) {
  if (lines_.empty() || width_ == 0 || height_ == 0) return;
  if (preparedFor_ != int(antialias)) prepare(antialias);
  const int bands = (height_ + kBandRows - 1) / kBandRows;
  stride_ = width_ + 4;
  const size_t cellsPerPixel = antialias == AntiAlias::FourSamples ? detail::kSampleCells : 1;
  if (cells_.size() < size_t(kBandRows) * size_t(stride_) * cellsPerPixel)
    cells_.resize(size_t(kBandRows) * size_t(stride_) * cellsPerPixel, 0.0f);
  coverage_.resize(size_t(stride_));
  markWords_ = stride_ / 64 + 1;
  if (marks_.size() < size_t(kBandRows) * size_t(markWords_))
    marks_.resize(size_t(kBandRows) * size_t(markWords_), 0);
  rowMin_.assign(kBandRows, std::numeric_limits<int>::max());
  rowMax_.assign(kBandRows, -1);
  active_.clear();
  for (int b = 0; b < bands; ++b) {
    const int bandTop = b * kBandRows, bandBottom = std::min(height_, bandTop + kBandRows);
    // Lines still running into this band, joined by those starting in it,
    // kept in the order they were added.
    active_.erase(std::remove_if(active_.begin(), active_.end(),
                                 [&](uint32_t i) { return lineEnd_[i] <= bandTop; }),
                  active_.end());
    const uint32_t* starting = byBand_.data() + bandStart_[size_t(b)];
    const uint32_t* startingEnd = byBand_.data() + bandStart_[size_t(b) + 1];
    if (starting != startingEnd) {
      for (const uint32_t* i = starting; i != startingEnd; ++i) lines_[*i].x = lines_[*i].xStart;
      merged_.clear();
      std::merge(active_.begin(), active_.end(), starting, startingEnd,
                 std::back_inserter(merged_));
      active_.swap(merged_);
    }
    for (size_t i = 0; i < active_.size();) {
      const uint32_t fill = lineFill_[active_[i]];
      size_t j = i + 1;
      while (j < active_.size() && lineFill_[active_[j]] == fill) ++j;
      sweepFill(fills_[fill], active_.data() + i, j - i, bandTop, bandBottom, rule, antialias,
                sink);
      i = j;
    }
  }
}

// One fill's lines over the band's rows, then its coverage rows out.
void FillSweep::sweepFill(const Fill& fill, const uint32_t* lines, size_t count, int bandTop,
                          int bandBottom, FillRule rule, AntiAlias antialias, FillSink& sink) {
  const size_t cellsPerPixel = antialias == AntiAlias::FourSamples ? detail::kSampleCells : 1;
  float* const band = cells_.data() + size_t(fill.bufX) * cellsPerPixel;
  const size_t rowCells = size_t(stride_) * cellsPerPixel;
  // Rows of a narrow fill are summed cell by cell: cheaper than marking
  // the cells its lines touch and skipping the rest.
  const bool dense = antialias == AntiAlias::Area && fill.bufW <= kDenseWidth;
  for (size_t k = 0; k < count; ++k) {
    Line& l = lines_[lines[k]];
    const int from = std::max(l.yStart, bandTop), to = std::min(l.yEnd, bandBottom);
    if (antialias == AntiAlias::Area) {
      float x = l.x;
      for (int y = from; y < to; ++y) {
        const float dy = std::min(float(y + 1), l.bottom) - std::max(float(y), l.top);
        const float xNext = x + l.dxdy * dy;
        const int r = y - bandTop;
        if (dy > 0)
          detail::addRowArea(band + size_t(r) * stride_,
                             dense ? nullptr : marks_.data() + size_t(r) * markWords_, fill.bufX, x,
                             xNext, dy * l.dir, fill.bufX, fill.bufW, rowMin_[size_t(r)],
                             rowMax_[size_t(r)]);
        x = xNext;
      }
      l.x = x;
    } else if (antialias == AntiAlias::FourSamples) {
      const int sFrom = std::max(l.sampleStart, 2 * bandTop),
                sTo = std::min(l.sampleEnd, 2 * bandBottom);
      for (int s = sFrom; s < sTo; ++s) {
        const float x = detail::sampleCrossing(l.p0, l.dxdy, s) - float(fill.bufX);
        const int column = detail::sampleColumn(x, fill.bufW);
        const int r = (s >> 1) - bandTop, i = column >> 1;
        band[size_t(r) * rowCells + size_t(detail::sampleCell(s, column))] += l.dir;
        detail::markCells(marks_.data() + size_t(r) * markWords_, fill.bufX + i, fill.bufX + i);
        rowMin_[size_t(r)] = std::min(rowMin_[size_t(r)], i);
        rowMax_[size_t(r)] = std::max(rowMax_[size_t(r)], i);
      }
    } else {
      for (int y = from; y < to; ++y) {
        const float x = l.p0.x + (float(y) + 0.5f - l.p0.y) * l.dxdy - float(fill.bufX);
        const int i = detail::centreCell(x, fill.bufW);
        const int r = y - bandTop;
        band[size_t(r) * stride_ + i] += l.dir;
        detail::markCells(marks_.data() + size_t(r) * markWords_, fill.bufX + i, fill.bufX + i);
        rowMin_[size_t(r)] = std::min(rowMin_[size_t(r)], i);
        rowMax_[size_t(r)] = std::max(rowMax_[size_t(r)], i);
      }
    }
  }
  const uint32_t index = lines_[lines[0]].fill;
  for (int r = 0; r < bandBottom - bandTop; ++r) {
    if (rowMax_[size_t(r)] < 0) continue;
    const int y = bandTop + r;
    detail::sweepRow(
        band + size_t(r) * rowCells, dense ? nullptr : marks_.data() + size_t(r) * markWords_,
        fill.bufX, rowMin_[size_t(r)], rowMax_[size_t(r)], fill.visibleW, fill.bufW, rule,
        antialias, coverage_.data(),
        [&](int x, int n, const uint8_t* c) { sink.span(index, y, fill.bufX + x, n, c); });
    rowMin_[size_t(r)] = std::numeric_limits<int>::max();
    rowMax_[size_t(r)] = -1;
  }
}

}  // namespace orv::movie::render
