#pragma once
// Draws SWF shapes with Flash's two-fill edge model: every edge names the
// fill on its left (fill0) and right (fill1); each fill paints the region its
// edges enclose. Strokes follow, per style table, over that table's fills.
#include <cstdint>
#include <memory>
#include <vector>

#include "movie/render/raster/canvas.h"
#include "movie/render/raster/coverage_cache.h"
#include "movie/render/raster/fill_sweep.h"
#include "movie/render/raster/geometry.h"
#include "movie/render/raster/paint.h"
#include "movie/render/raster/pixel.h"
#include "movie/render/raster/rasterizer.h"
#include "movie/swf/types.h"

namespace orv::movie::render {

// Decoded bitmaps by character id (nullptr: missing or broken, draws nothing).
class BitmapSource {
 public:
  virtual ~BitmapSource() = default;
  virtual std::shared_ptr<const Bitmap> bitmap(swf::CharacterId id) = 0;
};

struct DrawSettings {
  AntiAlias antialias = AntiAlias::Area;               // of fills
  AntiAlias strokeAntialias = AntiAlias::FourSamples;  // of strokes
  bool smoothBitmaps = true;                           // honour the fill's smoothing flag
  bool smoothAllBitmaps = false;                       // Best quality: smooth every bitmap
  double pixelsPerTwip = 1 / 20.0;  // of the stage view: scales non-scaling strokes
  float curveTolerance = 0.1f;      // device pixels
};

class ShapeRenderer {
 public:
  // `scratch`, `fillScratch` and `strokeScratch` (optional) are rasterisers
  // kept between frames, so their buffers are not allocated afresh for every
  // frame. With `coverageCache`, shapes drawn unchanged frame after frame are
  // painted from the coverage kept there.
  ShapeRenderer(Canvas& canvas, const DrawSettings& settings, BitmapSource* bitmaps,
                Rasterizer* scratch = nullptr, FillSweep* fillScratch = nullptr,
                FillSweep* strokeScratch = nullptr, CoverageCache* coverageCache = nullptr)
      : canvas_(canvas),
        settings_(settings),
        bitmaps_(bitmaps),
        cache_(coverageCache),
        rasterizer_(scratch ? *scratch : ownRasterizer_),
        fills_(fillScratch ? *fillScratch : ownFills_),
        strokes_(strokeScratch ? *strokeScratch : ownStrokes_) {}

  // `toDevice` maps shape twips to device pixels.
  void draw(const std::vector<swf::StyleTable>& tables, const std::vector<swf::ShapeEdge>& edges,
            const Affine& toDevice, const ColorTransform& cx, FillRule rule = FillRule::EvenOdd);

  Paint makePaint(const swf::FillStyle& fill, const Affine& toDevice, const ColorTransform& cx);
  const DrawSettings& settings() const { return settings_; }
  Canvas& canvas() { return canvas_; }
  Rasterizer& rasterizer() { return rasterizer_; }

 private:
  void drawStrokes(const swf::StyleTable& table, const std::vector<const swf::ShapeEdge*>& edges,
                   const Affine& toDevice, const ColorTransform& cx, uint64_t keyHash);

  Canvas& canvas_;
  DrawSettings settings_;
  BitmapSource* bitmaps_;
  CoverageCache* cache_;
  CoverageCache::Key key_;  // what the style table being drawn is made from
  Rasterizer ownRasterizer_;
  Rasterizer& rasterizer_;
  FillSweep ownFills_;
  FillSweep& fills_;  // all fills of a style table in one sweep
  FillSweep ownStrokes_;
  FillSweep& strokes_;  // a line style's outlines, swept a band of rows at a time
  std::vector<Paint> paints_, strokePaint_;
  // Scratch: every edge flattened once into device points.
  std::vector<Point> points_;
  std::vector<uint32_t> edgeStart_;
  // Edge sides by fill: sideCodes_[fillStart_[f] .. fillStart_[f+1]) are
  // edge index * 2 (+1 when the fill is on the edge's left).
  std::vector<uint32_t> fillStart_, fillCursor_, sideCodes_;
};

ColorTransform toRender(const swf::ColorTransform& cx);
uint32_t toArgb(swf::RGBA c);

}  // namespace orv::movie::render
