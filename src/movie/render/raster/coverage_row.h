#pragma once
// The row arithmetic both rasterisers share: a line's signed area added to
// one row of cells, and a row of cells summed into coverage spans. Keeping it
// in one place keeps their results equal to the bit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "movie/render/raster/rasterizer.h"

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
  if (from.x >= 0 && to.x >= 0 && from.x <= float(width) && to.x <= float(width)) {
    emit(from, to);  // inside the clip's columns: nothing to split or clamp
    return;
  }
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
// Marks cells [from, to] in a row's bitmap of touched cells.
inline void markCells(uint64_t* bits, int from, int to) {
  const int w0 = from >> 6, w1 = to >> 6;
  const uint64_t head = ~uint64_t(0) << (from & 63), tail = ~uint64_t(0) >> (63 - (to & 63));
  if (w0 == w1) {
    bits[w0] |= head & tail;
    return;
  }
  bits[w0] |= head;
  for (int w = w0 + 1; w < w1; ++w) bits[w] = ~uint64_t(0);
  bits[w1] |= tail;
}

// The first marked cell in [from, end), or end.
inline int nextMarked(const uint64_t* bits, int from, int end) {
  int w = from >> 6;
  uint64_t m = bits[w] & (~uint64_t(0) << (from & 63));
  while (!m) {
    if ((++w << 6) >= end) return end;
    m = bits[w];
  }
  return std::min(end, (w << 6) + __builtin_ctzll(m));
}

// `bits` marks the cells touched, bit bitBase + i for cell i (null: rows
// narrow enough to be summed cell by cell are not marked).
inline void addRowArea(float* row, uint64_t* bits, int bitBase, float x, float xNext, float d,
                       int bufX, int bufW, int& rmin, int& rmax) {
  float xa = std::min(x, xNext) - float(bufX), xb = std::max(x, xNext) - float(bufX);
  xa = std::clamp(xa, 0.0f, float(bufW - 2));
  xb = std::clamp(xb, 0.0f, float(bufW - 2));
  // Both are clamped to 0 or more, so truncation floors (and is much
  // cheaper than floor and ceil on plain x86-64).
  const int ia = int(xa);
  const float xaFloor = float(ia);
  const int ib = int(xb) + (float(int(xb)) < xb);
  rmin = std::min(rmin, ia);
  rmax = std::max(rmax, std::max(ib, ia + 1));
  if (bits) markCells(bits, bitBase + ia, bitBase + std::max(ib, ia + 1));
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
inline int centreCell(float x, int bufW) {
  return std::clamp(int(std::ceil(x - 0.5f)), 0, bufW - 2);
}

// Four samples a pixel: each row is sampled along two lines, a quarter pixel
// below its top and a quarter above its bottom (sample rows 2y and 2y+1 of
// a frame twice as tall), each at two columns, a quarter pixel in from the
// pixel's sides. A line running down from y0 to y1 crosses the sample rows
// [first, end) whose centre lines lie in [y0, y1).
inline void sampleRows(float y0, float y1, int height, int& first, int& end) {
  first = std::max(0, int(std::ceil(2 * y0 - 0.5f)));
  end = std::min(2 * height, int(std::ceil(2 * y1 - 0.5f)));
}
// Where a line through `from` with slope dxdy crosses sample row s.
inline float sampleCrossing(Point from, float dxdy, int s) {
  return from.x + ((float(s) + 0.5f) * 0.5f - from.y) * dxdy;
}
// The first sample column (of a frame twice as wide) whose sample lies at or
// right of a crossing at x (relative to bufX): its pixel is column >> 1, the
// right sample of that pixel when column & 1.
inline int sampleColumn(float x, int bufW) {
  return std::clamp(int(std::ceil(2 * x - 0.5f)), 0, 2 * bufW - 3);
}
// With four samples a pixel has four cells: crossings at its upper left,
// upper right, lower left and lower right sample.
constexpr int kSampleCells = 4;
inline int sampleCell(int s, int column) {
  return (column >> 1) * kSampleCells + (s & 1) * 2 + (column & 1);
}

// The first unmarked cell in [from, end), or end.
inline int nextUnmarked(const uint64_t* bits, int from, int end) {
  int w = from >> 6;
  uint64_t m = ~bits[w] & (~uint64_t(0) << (from & 63));
  while (!m) {
    if ((++w << 6) >= end) return end;
    m = ~bits[w];
  }
  return std::min(end, (w << 6) + __builtin_ctzll(m));
}

// A running sum of cells as a coverage byte.
template <FillRule rule, bool antialias>
inline uint8_t coverageByte(float acc) {
  float c;
  const float magnitude = std::abs(acc);
  if constexpr (rule == FillRule::NonZero) {
    c = std::min(1.0f, magnitude);
  } else if (magnitude <= 1.0f) {
    c = std::min(1.0f, magnitude);
  } else {
    const float m = std::fmod(magnitude, 2.0f);
    c = m > 1.0f ? 2.0f - m : m;
  }
  if constexpr (!antialias) c = c >= 0.5f ? 1.0f : 0.0f;
  return uint8_t(c * 255.0f + 0.5f);
}

// Sums one row's cells [first, rowMax] left to right into coverage and hands
// each run of covered pixels, at most up to visibleW, to emit(x, count,
// coverage) (x relative to the buffer). Only marked cells (`bits`, as in
// addRowArea) can change the sum: between them the coverage stays as it is.
// Cells and marks are left zero.
// Without `bits` every cell is summed.
template <FillRule rule, bool antialias, class Emit>
inline void sweepRowAs(float* row, uint64_t* bits, int bitBase, int first, int rowMax, int visibleW,
                       int bufW, uint8_t* coverage, Emit& emit) {
  const int last = std::min(rowMax + 1, visibleW);
  float acc = 0;
  int runStart = -1;
  // Cells [from, to) one by one into coverage, runs handed out as they end;
  // gives the last cell's coverage.
  auto sumCells = [&](int from, int to) {
    uint8_t v = 0;
    for (int k = from; k < to; ++k) {
      acc += row[k];
      row[k] = 0.0f;
      v = coverageByte<rule, antialias>(acc);
      coverage[k] = v;
      if (v) {
        if (runStart < 0) runStart = k;
      } else if (runStart >= 0) {
        emit(runStart, k - runStart, coverage + runStart);
        runStart = -1;
      }
    }
    return v;
  };
  if (!bits) sumCells(first, last);
  for (int i = first; bits && i < last;) {
    // Marked cells [i, j) one by one.
    const int j = nextUnmarked(bits, bitBase + i + 1, bitBase + last) - bitBase;
    const uint8_t v = sumCells(i, j);
    // Then unmarked ones [j, next): the same coverage throughout.
    const int next = j < last ? nextMarked(bits, bitBase + j, bitBase + last) - bitBase : last;
    if (v) {
      if (next - j <= 8) {
        for (int k = j; k < next; ++k) coverage[k] = v;
      } else {
        std::memset(coverage + j, v, size_t(next - j));
      }
    }
    i = next;
  }
  if (runStart >= 0 && last > runStart) emit(runStart, last - runStart, coverage + runStart);
  // Cells right of the clip were not read.
  if (last < rowMax + 1)
    std::fill(row + std::max(first, last), row + std::min(rowMax + 1, bufW), 0.0f);
  if (bits)
    std::fill(bits + ((bitBase + first) >> 6), bits + ((bitBase + rowMax) >> 6) + 1, uint64_t(0));
}

// Whether a sample whose lines wind `w` times round it is inside.
template <FillRule rule>
inline int sampleInside(float w) {
  if constexpr (rule == FillRule::NonZero) return w != 0.0f;
  return int(std::abs(w)) & 1;  // windings are whole numbers
}

// As sweepRowAs, for rows of four cells a pixel (sampleCell): each pixel's
// coverage is how many of its samples are inside.
template <FillRule rule, class Emit>
inline void sweepSampleRow(float* row, uint64_t* bits, int bitBase, int first, int rowMax,
                           int visibleW, int bufW, uint8_t* coverage, Emit& emit) {
  static constexpr uint8_t kCoverage[5] = {0, 64, 128, 192, 255};
  const int last = std::min(rowMax + 1, visibleW);
  float upper = 0, lower = 0;  // windings right of what is summed, per sample row
  int runStart = -1;
  int i = first;
  while (i < last) {
    const int j = nextUnmarked(bits, bitBase + i + 1, bitBase + last) - bitBase;
    uint8_t v = 0;
    for (int k = i; k < j; ++k) {
      float* c = row + size_t(k) * kSampleCells;
      const float upperLeft = upper + c[0];
      upper = upperLeft + c[1];
      const float lowerLeft = lower + c[2];
      lower = lowerLeft + c[3];
      c[0] = c[1] = c[2] = c[3] = 0.0f;
      v = kCoverage[sampleInside<rule>(upperLeft) + sampleInside<rule>(upper) +
                    sampleInside<rule>(lowerLeft) + sampleInside<rule>(lower)];
      coverage[k] = v;
      if (v) {
        if (runStart < 0) runStart = k;
      } else if (runStart >= 0) {
        emit(runStart, k - runStart, coverage + runStart);
        runStart = -1;
      }
    }
    // Unmarked pixels [j, next) take both samples of a row from its winding.
    const int next = j < last ? nextMarked(bits, bitBase + j, bitBase + last) - bitBase : last;
    if (v && next > j) {
      const uint8_t rest = kCoverage[2 * (sampleInside<rule>(upper) + sampleInside<rule>(lower))];
      if (rest) {
        std::memset(coverage + j, rest, size_t(next - j));
      } else {
        emit(runStart, j - runStart, coverage + runStart);
        runStart = -1;
      }
    }
    i = next;
  }
  if (runStart >= 0 && last > runStart) emit(runStart, last - runStart, coverage + runStart);
  if (last < rowMax + 1)
    std::fill(row + size_t(std::max(first, last)) * kSampleCells,
              row + size_t(std::min(rowMax + 1, bufW)) * kSampleCells, 0.0f);
  std::fill(bits + ((bitBase + first) >> 6), bits + ((bitBase + rowMax) >> 6) + 1, uint64_t(0));
}

template <class Emit>
inline void sweepRow(float* row, uint64_t* bits, int bitBase, int first, int rowMax, int visibleW,
                     int bufW, FillRule rule, AntiAlias antialias, uint8_t* coverage, Emit&& emit) {
  const bool area = antialias == AntiAlias::Area;
  if (antialias == AntiAlias::FourSamples) {
    if (rule == FillRule::NonZero)
      sweepSampleRow<FillRule::NonZero>(row, bits, bitBase, first, rowMax, visibleW, bufW, coverage,
                                        emit);
    else
      sweepSampleRow<FillRule::EvenOdd>(row, bits, bitBase, first, rowMax, visibleW, bufW, coverage,
                                        emit);
  } else if (rule == FillRule::NonZero) {
    if (area)
      sweepRowAs<FillRule::NonZero, true>(row, bits, bitBase, first, rowMax, visibleW, bufW,
                                          coverage, emit);
    else
      sweepRowAs<FillRule::NonZero, false>(row, bits, bitBase, first, rowMax, visibleW, bufW,
                                           coverage, emit);
  } else {
    if (area)
      sweepRowAs<FillRule::EvenOdd, true>(row, bits, bitBase, first, rowMax, visibleW, bufW,
                                          coverage, emit);
    else
      sweepRowAs<FillRule::EvenOdd, false>(row, bits, bitBase, first, rowMax, visibleW, bufW,
                                           coverage, emit);
  }
}

}  // namespace orv::movie::render::detail
