#pragma once
// Bitmap filters of placed objects (blur, drop shadow, glow, bevel, colour
// matrix, convolution, displacement map), applied to the layer an object was drawn into.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "movie/render/raster/canvas.h"
#include "movie/render/raster/paint.h"

namespace orv::movie::render {

enum class FilterKind : uint8_t {
  DropShadow = 0,
  Blur = 1,
  Glow = 2,
  Bevel = 3,
  GradientGlow = 4,
  Convolution = 5,
  ColorMatrix = 6,
  GradientBevel = 7,
  // Its map is one of the bitmaps given beside the filters, by `mapIndex`.
  DisplacementMap = 8,
};

// Where a displacement reaches past the object: what it takes instead.
enum class DisplacementMode : uint8_t { Wrap, Clamp, Ignore, Color };

// The bitmaps displacement maps read, by the index their filters store.
using FilterMaps = std::vector<std::shared_ptr<const Bitmap>>;

struct Filter {
  FilterKind kind = FilterKind::Blur;
  float blurX = 0, blurY = 0;  // box width in movie pixels
  int passes = 1;
  uint32_t color = 0;      // straight 0xAARRGGBB: shadow and glow colour, bevel shadow
  uint32_t highlight = 0;  // bevel highlight
  float angle = 0, distance = 0, strength = 1;
  bool inner = false, knockout = false, compositeSource = true, onTop = false;
  float matrix[20] = {};  // colour matrix rows r, g, b, a: 4 factors and an offset
  // Gradient glows colour by strength from the first stop to the last;
  // gradient bevels put their highlight at the first and shadow at the last.
  GradientStop stops[16] = {};
  int stopCount = 0;
  // Convolution: `columns` x `rows` factors, row by row, centred on the pixel.
  // Its sum is divided by `divisor` and `bias` added. Pixels past the layer
  // repeat its edge (`clamp`) or take `color`; `preserveAlpha` leaves alpha be.
  int columns = 0, rows = 0;
  std::vector<float> kernel;
  float divisor = 1, bias = 0;
  bool clamp = true, preserveAlpha = true;
  // Displacement map: each pixel is taken from (x, y) moved by (c - 128) * scale
  // / 256 movie pixels, c the map's component (1 red, 2 green, 4 blue, 8 alpha)
  // under the pixel, the map's top-left corner at mapX, mapY from the object's
  // (its `color` where the mode says so).
  uint32_t mapIndex = 0;
  float mapX = 0, mapY = 0, scaleX = 0, scaleY = 0;
  uint8_t componentX = 0, componentY = 0;
  DisplacementMode mode = DisplacementMode::Wrap;
};

// How far filters may reach past what was painted, in device pixels.
int filterReach(const std::vector<Filter>& filters, float scale);

// Applies `filters` in order to the premultiplied pixels of `layer` (width x
// height) inside `area`; `scale` is device pixels per movie pixel. Returns
// the area that may now be painted. Filters whose picture would be too big
// (over 8191 pixels on a side or 16777215 in all) are left undone, and so are
// displacement maps whose bitmap is not among `maps`. With `bands`, rows (and
// columns) are worked on by its threads, to the same pixels.
Canvas::Bounds applyFilters(const std::vector<Filter>& filters, uint32_t* layer, int width,
                            int height, Canvas::Bounds area, float scale,
                            const FilterMaps* maps = nullptr, BandPool* bands = nullptr);

}  // namespace orv::movie::render
