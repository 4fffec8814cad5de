#include "movie/render/raster/fill_sweep.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "movie/render/raster/coverage_row.h"

namespace orv::movie::render {

namespace {
// A band of cells at 1080p is 16 * 1924 floats, about 120 KiB.
constexpr int kBandRows = FillSweep::kBandRows;
// Fills at most this many cells wide are swept without marks.
constexpr int kDenseWidth = 96;
}  // namespace

// What a sweep writes as it goes, one set a thread: the lines crossing the
// current band and where each enters its next row, the band's cells (zero
// between uses) and row extents.
struct FillSweep::Scratch {
  std::vector<uint32_t> active, merged;
  std::vector<float> lineX;  // by line
  std::vector<float> cells;
  std::vector<uint64_t> marks;  // cells touched, a bit each
  int markWords = 0, stride = 0;
  std::vector<int> rowMin, rowMax;
  std::vector<uint8_t> coverage;
};

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
  int left = width_, right = 0;
  for (Fill& f : fills_) {
    f.visible = f.firstLine < lines_.size() && prepareFill(f);
    if (f.visible) {
      left = std::min(left, f.bufX);
      right = std::max(right, std::min(width_, f.bufX + f.bufW));
    }
  }
  columns_ = std::max(0, right - left);
  rowsTop_ = height_;
  rowsBottom_ = 0;
  const int bands = (height_ + kBandRows - 1) / kBandRows;
  bandStart_.assign(size_t(bands) + 1, 0);
  for (Line& l : lines_) {
    if (!fills_[l.fill].visible || !prepareLine(l, antialias)) {
      l.yEnd = -1;  // never active
      continue;
    }
    rowsTop_ = std::min(rowsTop_, l.yStart);
    rowsBottom_ = std::max(rowsBottom_, l.yEnd);
    ++bandStart_[size_t(l.yStart / kBandRows) + 1];
  }
  for (int b = 0; b < bands; ++b) bandStart_[size_t(b) + 1] += bandStart_[size_t(b)];
  byBand_.resize(bandStart_.back());
  std::vector<uint32_t> cursor(bandStart_.begin(), bandStart_.end() - 1);
  lineEnd_.resize(lines_.size());
  lineFill_.resize(lines_.size());
  for (uint32_t i = 0; i < lines_.size(); ++i) {
    lineEnd_[i] = lines_[i].yEnd;
    lineFill_[i] = lines_[i].fill;
    if (lines_[i].yEnd >= 0) byBand_[cursor[size_t(lines_[i].yStart / kBandRows)]++] = i;
  }
}

void FillSweep::prepareFor(AntiAlias antialias) {
  if (preparedFor_ != int(antialias)) prepare(antialias);
}

namespace {
// Where a line (exact area) enters the row after `y`, from where it entered row y.
inline float nextRowX(float x, float dxdy, float top, float bottom, int y) {
  const float dy = std::min(float(y + 1), bottom) - std::max(float(y), top);
  return x + dxdy * dy;
}
}  // namespace

void FillSweep::render(FillRule rule, AntiAlias antialias, FillSink& sink) {
  if (lines_.empty() || width_ == 0 || height_ == 0) return;
  prepareFor(antialias);
  renderRows(rule, antialias, sink, 0, height_);
}

void FillSweep::renderRows(FillRule rule, AntiAlias antialias, FillSink& sink, int top,
                           int bottom) const {
  if (lines_.empty() || width_ == 0 || height_ == 0 || preparedFor_ != int(antialias)) return;
  static thread_local Scratch s;
  top = std::max(0, top);
  bottom = std::min(height_, bottom);
  if (top >= bottom) return;
  const int firstBand = top / kBandRows, bands = (bottom + kBandRows - 1) / kBandRows;
  s.stride = width_ + 4;
  const size_t cellsPerPixel = antialias == AntiAlias::FourSamples ? detail::kSampleCells : 1;
  if (s.cells.size() < size_t(kBandRows) * size_t(s.stride) * cellsPerPixel)
    s.cells.resize(size_t(kBandRows) * size_t(s.stride) * cellsPerPixel, 0.0f);
  s.coverage.resize(size_t(s.stride));
  s.markWords = s.stride / 64 + 1;
  if (s.marks.size() < size_t(kBandRows) * size_t(s.markWords))
    s.marks.resize(size_t(kBandRows) * size_t(s.markWords), 0);
  s.rowMin.assign(kBandRows, std::numeric_limits<int>::max());
  s.rowMax.assign(kBandRows, -1);
  if (s.lineX.size() < lines_.size()) s.lineX.resize(lines_.size());
  // Lines begun above the first band and still running into it, each where
  // the rows above would have left it.
  s.active.clear();
  const int firstTop = firstBand * kBandRows;
  for (uint32_t i = 0; firstTop > 0 && i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (lineEnd_[i] <= firstTop || l.yStart >= firstTop) continue;
    s.active.push_back(i);
    float x = l.xStart;
    if (antialias == AntiAlias::Area)
      for (int y = l.yStart; y < firstTop; ++y) x = nextRowX(x, l.dxdy, l.top, l.bottom, y);
    s.lineX[i] = x;
  }
  for (int b = firstBand; b < bands; ++b) {
    const int bandTop = b * kBandRows, bandBottom = std::min(height_, bandTop + kBandRows);
    // Lines still running into this band, joined by those starting in it,
    // kept in the order they were added.
    s.active.erase(std::remove_if(s.active.begin(), s.active.end(),
                                  [&](uint32_t i) { return lineEnd_[i] <= bandTop; }),
                   s.active.end());
    const uint32_t* starting = byBand_.data() + bandStart_[size_t(b)];
    const uint32_t* startingEnd = byBand_.data() + bandStart_[size_t(b) + 1];
    if (starting != startingEnd) {
      for (const uint32_t* i = starting; i != startingEnd; ++i) s.lineX[*i] = lines_[*i].xStart;
      s.merged.clear();
      std::merge(s.active.begin(), s.active.end(), starting, startingEnd,
                 std::back_inserter(s.merged));
      s.active.swap(s.merged);
    }
    for (size_t i = 0; i < s.active.size();) {
      const uint32_t fill = lineFill_[s.active[i]];
      size_t j = i + 1;
      while (j < s.active.size() && lineFill_[s.active[j]] == fill) ++j;
      sweepFill(fills_[fill], s.active.data() + i, j - i, bandTop, bandBottom, rule, antialias,
                sink, s);
      i = j;
    }
  }
}

// One fill's lines over the band's rows, then its coverage rows out.
void FillSweep::sweepFill(const Fill& fill, const uint32_t* lines, size_t count, int bandTop,
                          int bandBottom, FillRule rule, AntiAlias antialias, FillSink& sink,
                          Scratch& s) const {
  const size_t cellsPerPixel = antialias == AntiAlias::FourSamples ? detail::kSampleCells : 1;
  const int stride = s.stride, markWords = s.markWords;
  float* const band = s.cells.data() + size_t(fill.bufX) * cellsPerPixel;
  const size_t rowCells = size_t(stride) * cellsPerPixel;
  int* const rowMin = s.rowMin.data();
  int* const rowMax = s.rowMax.data();
  uint64_t* const marks = s.marks.data();
  // Rows of a narrow fill are summed cell by cell: cheaper than marking
  // the cells its lines touch and skipping the rest.
  const bool dense = antialias == AntiAlias::Area && fill.bufW <= kDenseWidth;
  for (size_t k = 0; k < count; ++k) {
    const Line& l = lines_[lines[k]];
    const int from = std::max(l.yStart, bandTop), to = std::min(l.yEnd, bandBottom);
    if (antialias == AntiAlias::Area) {
      float x = s.lineX[lines[k]];
      for (int y = from; y < to; ++y) {
        const float dy = std::min(float(y + 1), l.bottom) - std::max(float(y), l.top);
        const float xNext = nextRowX(x, l.dxdy, l.top, l.bottom, y);
        const int r = y - bandTop;
        if (dy > 0)
          detail::addRowArea(band + size_t(r) * stride,
                             dense ? nullptr : marks + size_t(r) * markWords, fill.bufX, x, xNext,
                             dy * l.dir, fill.bufX, fill.bufW, rowMin[r], rowMax[r]);
        x = xNext;
      }
      s.lineX[lines[k]] = x;
    } else if (antialias == AntiAlias::FourSamples) {
      const int sFrom = std::max(l.sampleStart, 2 * bandTop),
                sTo = std::min(l.sampleEnd, 2 * bandBottom);
      for (int sample = sFrom; sample < sTo; ++sample) {
        const float x = detail::sampleCrossing(l.p0, l.dxdy, sample) - float(fill.bufX);
        const int column = detail::sampleColumn(x, fill.bufW);
        const int r = (sample >> 1) - bandTop, i = column >> 1;
        band[size_t(r) * rowCells + size_t(detail::sampleCell(sample, column))] += l.dir;
        detail::markCells(marks + size_t(r) * markWords, fill.bufX + i, fill.bufX + i);
        rowMin[r] = std::min(rowMin[r], i);
        rowMax[r] = std::max(rowMax[r], i);
      }
    } else {
      for (int y = from; y < to; ++y) {
        const float x = l.p0.x + (float(y) + 0.5f - l.p0.y) * l.dxdy - float(fill.bufX);
        const int i = detail::centreCell(x, fill.bufW);
        const int r = y - bandTop;
        band[size_t(r) * stride + i] += l.dir;
        detail::markCells(marks + size_t(r) * markWords, fill.bufX + i, fill.bufX + i);
        rowMin[r] = std::min(rowMin[r], i);
        rowMax[r] = std::max(rowMax[r], i);
      }
    }
  }
  const uint32_t index = lines_[lines[0]].fill;
  for (int r = 0; r < bandBottom - bandTop; ++r) {
    if (rowMax[r] < 0) continue;
    const int y = bandTop + r;
    detail::sweepRow(
        band + size_t(r) * rowCells, dense ? nullptr : marks + size_t(r) * markWords, fill.bufX,
        rowMin[r], rowMax[r], fill.visibleW, fill.bufW, rule, antialias, s.coverage.data(),
        [&](int x, int n, const uint8_t* c) { sink.span(index, y, fill.bufX + x, n, c); });
    rowMin[r] = std::numeric_limits<int>::max();
    rowMax[r] = -1;
  }
}

}  // namespace orv::movie::render
