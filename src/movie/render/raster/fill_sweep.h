#pragma once
// A shape's fills rasterised together in one top-to-bottom sweep, a band of
// rows at a time: the band's cells and the frame rows below it stay in cache
// while every fill passes over them, instead of each fill walking the frame
// on its own. Each fill's coverage is worked out exactly as Rasterizer gives
// it for that fill alone (same cells, same order of sums), and at every pixel
// the fills arrive in the order they were begun, so the picture is the one
// drawing them one after another gives, to the bit.
#include <cstdint>
#include <vector>

#include "movie/render/raster/geometry.h"
#include "movie/render/raster/rasterizer.h"

namespace orv::movie::render {

// Receives coverage rows of numbered fills: pixels [x, x+count) of row y.
class FillSink {
 public:
  virtual ~FillSink() = default;
  virtual void span(uint32_t fill, int y, int x, int count, const uint8_t* coverage) = 0;
};

class FillSweep final : public EdgeSink {
 public:
  // Device clip rectangle [0,width) x [0,height); forgets all fills.
  void reset(int width, int height);
  // Lines added from now on belong to the next fill. Fills are numbered from
  // 0; a fill that got no visible line is dropped, its number reused.
  void beginFill();
  void addLine(Point from, Point to) override;
  // Fills with lines so far (the last begun one counted once it has a line).
  uint32_t fillCount() const;
  bool lastFillEmpty() const { return fills_.empty() || fills_.back().firstLine == lines_.size(); }
  // Visits every line kept (clipped to the device), fill by fill in the order
  // they were added, each in the direction it was added: visit(fill, from, to).
  template <class Visit>
  void forEachLine(Visit&& visit) const {
    for (const Line& l : lines_)
      if (l.dir < 0)
        visit(l.fill, l.p1, l.p0);
      else
        visit(l.fill, l.p0, l.p1);
  }
  // Emits every fill's coverage rows top to bottom. The fills stay as they
  // were added, so the same ones can be rendered again (the next frame of an
  // unchanged shape) without adding them anew.
  void render(FillRule rule, AntiAlias antialias, FillSink& sink);

  // Rows are swept in bands of this many, counted from row 0.
  static constexpr int kBandRows = 16;
  // Banded rendering: prepare once, then renderRows for rows [top, bottom),
  // rounded out to whole bands, gives exactly what render gives for those
  // rows, in the same order. Calls for different rows may run
  // at once on different threads: each thread sweeps with cells of its own.
  void prepareFor(AntiAlias antialias);
  void renderRows(FillRule rule, AntiAlias antialias, FillSink& sink, int top, int bottom) const;
  // Once prepared: the rows and columns the visible fills may cover.
  int rowsTop() const { return rowsTop_; }
  int rowsBottom() const { return rowsBottom_; }
  int columns() const { return columns_; }

  // What a caller made the current fills from, for it to compare before
  // rendering them again instead of adding them anew; adding or resetting
  // fills clears it.
  std::vector<int32_t> madeFrom;

 private:
  struct Fill {
    uint32_t firstLine = 0;
    float minX = 0, maxX = 0, minY = 0, maxY = 0;
    int bufX = 0, bufW = 0, visibleW = 0;
    bool visible = false;
  };
  struct Line {
    Point p0, p1;  // p0 above p1
    float dir = 1;
    float top = 0, bottom = 0, dxdy = 0;
    float xStart = 0;                    // where the line enters its first row
    int yStart = 0, yEnd = 0;            // rows [yStart, yEnd) it covers
    int sampleStart = 0, sampleEnd = 0;  // with four samples: sample rows it crosses
    uint32_t fill = 0;
  };
  struct Scratch;
  bool prepareFill(Fill& f) const;
  bool prepareLine(Line& line, AntiAlias antialias) const;
  void prepare(AntiAlias antialias);
  void sweepFill(const Fill& fill, const uint32_t* lines, size_t count, int bandTop, int bandBottom,
                 FillRule rule, AntiAlias antialias, FillSink& sink, Scratch& s) const;

  int width_ = 0, height_ = 0;
  int preparedFor_ = -1;  // the AntiAlias the lines are ordered for; -1: not yet
  int rowsTop_ = 0, rowsBottom_ = 0, columns_ = 0;
  std::vector<Fill> fills_;
  std::vector<Line> lines_;
  // Lines by first band; lines' yEnd and their fills, read band after band.
  std::vector<uint32_t> bandStart_, byBand_;
  std::vector<int> lineEnd_;
  std::vector<uint32_t> lineFill_;
};

}  // namespace orv::movie::render
