#pragma once
// Edges to coverage: a signed-area accumulation buffer gives exact-area
// anti-aliasing in one pass; four point samples a pixel give the coarser
// anti-aliasing of the high qualities; without anti-aliasing, pixel centres
// are sampled.
#include <cstdint>
#include <vector>

#include "movie/render/raster/geometry.h"

namespace orv::movie::render {

enum class FillRule { NonZero, EvenOdd };

// How much of a pixel a fill covers: whether its centre is inside (Off), the
// exact area inside (Area), or how many of four samples on a 2x2 grid, a
// quarter pixel in from its sides, are inside (FourSamples: 0, 64, 128, 192
// or 255).
enum class AntiAlias : uint8_t { Off, Area, FourSamples };

// Receives one row's coverage: pixels [x, x+count) of row y, 0..255 each.
class SpanSink {
 public:
  virtual ~SpanSink() = default;
  virtual void span(int y, int x, int count, const uint8_t* coverage) = 0;
};

// Takes the directed edges of outlines in device space.
class EdgeSink {
 public:
  virtual ~EdgeSink() = default;
  // Closed outlines give consistent winding.
  virtual void addLine(Point from, Point to) = 0;
};

class Rasterizer final : public EdgeSink {
 public:
  // Device clip rectangle [0,width) x [0,height); clears the edges.
  void reset(int width, int height);
  void addLine(Point from, Point to) override;
  bool empty() const { return lines_.empty(); }
  // Emits coverage rows top to bottom, skipping fully empty stretches.
  void render(FillRule rule, AntiAlias antialias, SpanSink& sink);

  // Where the coverage may lie: rows [top, bottom), columns [left, right).
  struct Extent {
    int top = 0, bottom = 0, left = 0, width = 0;  // width: of the cell rows
    bool empty() const { return top >= bottom; }
  };
  Extent extent() const;
  // The rows [top, bottom) of what render emits, to the bit; calls for
  // different rows may run at once on different threads (each thread sums in
  // cells of its own).
  void renderRows(FillRule rule, AntiAlias antialias, SpanSink& sink, int top, int bottom) const;

 private:
  struct Line {
    Point p0, p1;
  };
  struct Scratch;
  void accumulateArea(const Line& line, const Extent& e, int top, int bottom, Scratch& s) const;
  void accumulateCentres(const Line& line, const Extent& e, int top, int bottom, Scratch& s) const;
  void accumulateSamples(const Line& line, const Extent& e, int top, int bottom, Scratch& s) const;

  int width_ = 0, height_ = 0;
  std::vector<Line> lines_;
  float minY_ = 0, maxY_ = 0, minX_ = 0, maxX_ = 0;
};

}  // namespace orv::movie::render
