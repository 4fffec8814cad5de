#pragma once
// The pixels of a BitmapData object: a Bitmap (premultiplied, what the renderer draws)
// with the operations scripts ask of it. Colours come in and go out straight
// (0xAARRGGBB, not premultiplied); an opaque image keeps every alpha at 0xFF.
// Rectangles are clipped to the image: no operation reads or writes outside it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "movie/render/raster/filters.h"
#include "movie/render/raster/paint.h"
#include "movie/render/raster/pixel.h"

namespace orv::movie::render {

// A pixel rectangle [x, x + w) x [y, y + h); w or h <= 0 is empty.
struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool empty() const { return w <= 0 || h <= 0; }
};

// Channel bits as BitmapDataChannel numbers them.
enum ChannelBits : uint32_t { kRed = 1, kGreen = 2, kBlue = 4, kAlpha = 8 };

// Whether a pixel of alpha `alpha` counts for hitTest at `threshold`: it reaches the
// threshold and is not fully transparent (which no threshold makes a hit).
inline bool alphaHits(uint32_t alpha, int threshold) { return alpha > 0 && int(alpha) >= threshold; }

// A premultiplied pixel read back as straight colour, as the player reads it.
uint32_t readStraight(uint32_t premultiplied);
// Straight colour as BitmapData stores it (premultiplied, rounded to nearest).
uint32_t storePremultiplied(uint32_t argb);

// A new store of width * height pixels set to `premultiplied`, counted in `*alive` (bytes
// of all stores alive together) until it goes; null when that count would pass `cap`.
std::shared_ptr<Bitmap> newCountedStore(const std::shared_ptr<size_t>& alive, size_t cap,
                                        int width, int height, uint32_t premultiplied);

class BitmapPixels {
 public:
  // `store` holds width * height pixels already (the caller allocated and counted them).
  BitmapPixels(std::shared_ptr<Bitmap> store, bool transparent)
      : store_(std::move(store)), transparent_(transparent) {}

  int width() const { return store_ ? store_->width : 0; }
  int height() const { return store_ ? store_->height : 0; }
  bool transparent() const { return transparent_; }
  const std::shared_ptr<Bitmap>& store() const { return store_; }
  PixelRect bounds() const { return {0, 0, width(), height()}; }
  PixelRect clip(PixelRect r) const;

  // Straight ARGB; 0 outside the image.
  uint32_t getPixel32(int x, int y) const;
  void setPixel32(int x, int y, uint32_t argb);
  // Sets the colour and keeps the pixel's alpha.
  void setPixel(int x, int y, uint32_t rgb);
  void fillRect(PixelRect r, uint32_t argb);
  // Replaces the 4-connected area of the colour at (x, y) with `argb`.
  void floodFill(int x, int y, uint32_t argb);
  // Copies `src`'s rectangle to `dx, dy` (the source as it was before, even when it is
  // this image). With `alpha`, the source's alpha is multiplied by alpha's alpha at
  // (ax, ay) onwards; `mergeAlpha` composites over what is here instead of replacing.
  void copyPixels(const BitmapPixels& src, PixelRect r, int dx, int dy, const BitmapPixels* alpha,
                  int ax, int ay, bool mergeAlpha);
  // One channel of `src` into one channel of this image; each must name a single
  // channel (else the destination channel is cleared, or nothing happens when the
  // destination names several). Works in place, row by row.
  void copyChannel(const BitmapPixels& src, PixelRect r, int dx, int dy, uint32_t srcChannel,
                   uint32_t destChannel);
  void colorTransform(PixelRect r, const ColorTransform& cx);
  // Pixels whose (colour & mask) == colour (find) or != colour: their bounding rectangle.
  PixelRect colorBounds(uint32_t mask, uint32_t color, bool find) const;
  // Random values in [low, high] for the chosen channels (others 0, alpha 255 unless
  // chosen); grey puts one value in red, green and blue.
  void noise(int32_t seed, int low, int high, uint32_t channels, bool grey);
  // Perlin noise: `octaves` layers (bounded), turbulence unless `fractal`.
  void perlinNoise(double baseX, double baseY, int octaves, int32_t seed, bool stitch, bool fractal,
                   uint32_t channels, bool grey, const double* offsets, int offsetCount);
  // Moves the pixels by (dx, dy); what moves in keeps its old pixels.
  void scroll(int dx, int dy);
  // Blends `src`'s rectangle into this one, per channel: (src * m + dest * (256 - m)) / 256.
  void merge(const BitmapPixels& src, PixelRect r, int dx, int dy, const uint32_t multipliers[4]);
  // Whether any pixel's alpha in `r` (moved by dx, dy against this image) reaches
  // `threshold` (alphaHits).
  bool anyAlphaAtLeast(PixelRect r, int threshold) const;

  // Each pixel of `src`'s rectangle becomes the sum of its channels looked up in four
  // 256-entry tables (a missing table keeps that channel as it is).
  void paletteMap(const BitmapPixels& src, PixelRect r, int dx, int dy,
                  const uint32_t* const tables[4]);
  // Pixels of `src` whose (pixel & mask) compares to (value & mask) by `op` ("<", "<=",
  // ">", ">=", "==", "!=") become `color`; the others are copied when `copySource`.
  // Returns how many matched.
  int threshold(const BitmapPixels& src, PixelRect r, int dx, int dy, const std::string& op,
                uint32_t value, uint32_t color, uint32_t mask, bool copySource);
  // The cell `seed` names and `count` more of the rectangle (clipped to both images), in
  // a seeded order that visits each once, take `src`'s pixel (or `fill` when `src` is this
  // image). Returns the last cell's seed: the next call goes on from there.
  int32_t pixelDissolve(const BitmapPixels& src, PixelRect r, int dx, int dy, int32_t seed,
                        int64_t count, uint32_t fill);

  // applyFilter: `src`'s rectangle (what lies outside it taken as transparent) through
  // `filters`, written at (dx, dy) with all they spread to around it, replacing what is
  // here. When their picture would be too big the rectangle is copied as it is.
  void applyFilters(const BitmapPixels& src, PixelRect r, int dx, int dy,
                    const std::vector<Filter>& filters, const FilterMaps* maps);
  // generateFilterRect: `r` grown by as far as `filters` may spread from it.
  static PixelRect filterRect(PixelRect r, const std::vector<Filter>& filters);

  void dispose();  // frees the pixels: nothing is drawn, every read gives nothing

 private:
  uint32_t& at(int x, int y) { return store_->pixels[size_t(y) * store_->width + x]; }
  uint32_t at(int x, int y) const { return store_->pixels[size_t(y) * store_->width + x]; }
  uint32_t toStored(uint32_t argb) const;

  std::shared_ptr<Bitmap> store_;
  bool transparent_;
};

}  // namespace orv::movie::render
