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

 private:
  struct Line {
    Point p0, p1;
  };
  void accumulateArea(const Line& line, int rowBase);
  void accumulateCentres(const Line& line, int rowBase);
  void accumulateSamples(const Line& line, int rowBase);

  int width_ = 0, height_ = 0;
  std::vector<Line> lines_;
  float minY_ = 0, maxY_ = 0, minX_ = 0, maxX_ = 0;
  // Scratch reused between calls: accumulation cells and per-row extents.
  std::vector<float> cells_;
  std::vector<uint64_t> marks_;  // cells touched, a bit each; zero between uses too
  int markWords_ = 0;            // per row
  std::vector<int> rowMin_, rowMax_;
  std::vector<uint8_t> coverage_;
  int bufX_ = 0, bufW_ = 0;
};

}  // namespace orv::movie::render
