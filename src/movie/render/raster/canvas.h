#pragma once
// The frame being drawn: composites painted coverage into premultiplied
// pixels, through a stack of clip masks.
#include <cstdint>
#include <vector>

#include "movie/render/raster/band_pool.h"
#include "movie/render/raster/blend.h"
#include "movie/render/raster/coverage_cache.h"
#include "movie/render/raster/fill_sweep.h"
#include "movie/render/raster/paint.h"
#include "movie/render/raster/rasterizer.h"

namespace orv::movie::render {

struct Surface {
  uint32_t* pixels = nullptr;  // premultiplied 0xAARRGGBB, rows of `width`
  int width = 0, height = 0;
};

class Canvas;

// Sees the fills canvases paint on this thread (see Canvas::setTap), for tools
// that hand the same device-space input to another rasteriser. `masked`: drawn
// into or through a mask.
class FillTap {
 public:
  virtual ~FillTap() = default;
  virtual void swept(const Canvas& canvas, bool masked, const FillSweep& fills, FillRule rule,
                     AntiAlias antialias, const std::vector<Paint>& paints) = 0;
  // Coverage painted without a sweep (a single rasteriser, or kept coverage
  // played back).
  virtual void other(const Canvas& canvas) = 0;
};

class Canvas {
 public:
  // `maskPool` (optional) keeps mask buffers between frames; they are
  // returned to it zeroed.
  explicit Canvas(Surface target, std::vector<std::vector<uint8_t>>* maskPool = nullptr);
  ~Canvas();

  int width() const { return target_.width; }
  const uint32_t* pixels() const { return target_.pixels; }
  // The tap told of every fill painted on the calling thread from now on
  // (nullptr: none, the default).
  static void setTap(FillTap* tap);
  int height() const { return target_.height; }
  void clear(uint32_t premultiplied);

  // The threads big fills, masks and layers are drawn on, a band of rows each
  // (null, the default: the calling thread alone). The pixels are the same
  // whatever the number of threads.
  void setBands(BandPool* pool) { bands_ = pool; }
  BandPool* bands() const { return bands_; }

  // Paints what the rasteriser's edges cover. While a mask is being built the
  // coverage goes into the mask instead.
  void fill(Rasterizer& edges, FillRule rule, AntiAlias antialias, const Paint& paint);
  // The same for every fill of a sweep, fill i painted with paints[i].
  // With `record`, the coverage is also kept there (left incomplete when
  // nothing was drawn or it grew past `recordLimit` bytes).
  void fill(FillSweep& fills, FillRule rule, AntiAlias antialias, const std::vector<Paint>& paints,
            CoverageRecording* record = nullptr, size_t recordLimit = 0);
  // Paints kept coverage again as fill() painted it, with these paints.
  void replay(const CoverageRecording& recording, const std::vector<Paint>& paints);

  // Masks: beginMask(); draw the mask's shapes; endMask(); draw the masked
  // content; popMask(). Masks nest: content is clipped to all active ones.
  void beginMask();
  void endMask();
  void popMask();
  bool buildingMask() const { return building_ > 0; }
  int maskDepth() const { return int(masks_.size()); }

  static constexpr int kMaxMaskDepth = 32;

  // A pixel rectangle [x0,x1) x [y0,y1).
  struct Bounds {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
  };
  // Where fills have painted since the canvas was made (or cleared).
  Bounds painted() const { return painted_; }
  // Blends `layer` (premultiplied pixels the size of this canvas) onto the
  // frame with `mode` inside `area`, clipped by the active masks.
  void blendLayer(const uint32_t* layer, Bounds area, BlendMode mode) {
    blendLayer(layer, target_.width, 0, 0, area, mode);
  }
  // The same for a layer `stride` pixels wide whose first pixel lies at
  // (x0, y0) on this canvas; `area` is in this canvas's pixels.
  void blendLayer(const uint32_t* layer, int stride, int x0, int y0, Bounds area, BlendMode mode);

 private:
  class CompositeSink;
  class MaskSink;
  class SweepSink;
  class SweepPainter;
  struct Lane;
  template <class Source>
  void sweep(Lane& lane, const Source& source, const std::vector<Paint>& paints);

  // What one band of a fill keeps apart from the others while it is drawn.
  struct Lane {
    std::vector<uint32_t> scratch;  // painted colours of a span
    Bounds painted, mask;           // where it painted, or drew into the mask being built
    CoverageRecording record;
  };
  // The pool when `rows` x `columns` pixels are worth splitting, else null.
  BandPool* bandsFor(int64_t rows, int64_t columns) const;
  void startLanes(size_t count);
  void finishLanes(size_t count);
  std::vector<Lane> lanes_;
  BandPool* bands_ = nullptr;

  Surface target_;
  struct Mask {
    std::vector<uint8_t> coverage;
    bool active = false;                 // false while its shapes are still being drawn
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // where coverage may be non-zero
  };
  std::vector<std::vector<uint8_t>>* pool_;
  std::vector<std::vector<uint8_t>> ownPool_;
  void release(Mask& m);
  std::vector<Mask> masks_;
  int building_ = 0;
  int overflow_ = 0;  // masks refused past the depth limit
  static constexpr Bounds kNothing{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
  Bounds painted_ = kNothing;
  static void note(Bounds& b, int y, int x, int count);
};

}  // namespace orv::movie::render
