#pragma once
// What a covered pixel is painted with: a solid colour, a gradient or a
// bitmap, each already mapped to device space and colour-transformed.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "movie/render/raster/geometry.h"
#include "movie/render/raster/pixel.h"

namespace orv::movie::render {

// A decoded bitmap, premultiplied 0xAARRGGBB, row-major.
struct Bitmap {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  bool valid() const { return width > 0 && height > 0 && pixels.size() == size_t(width) * height; }
};

struct GradientStop {
  uint8_t ratio = 0;
  uint32_t argb = 0;  // straight 0xAARRGGBB
};
enum class GradientKind { Linear, Radial, Focal };
enum class Spread { Pad, Reflect, Repeat };

struct GradientSpec {
  GradientKind kind = GradientKind::Linear;
  std::vector<GradientStop> stops;
  Spread spread = Spread::Pad;
  bool linearRgb = false;
  float focal = 0;  // -1..1 along the gradient's x axis (Focal only)
  Affine toDevice;  // maps the gradient square -16384..16384 to device pixels
};

struct BitmapSpec {
  std::shared_ptr<const Bitmap> bitmap;
  Affine toDevice;  // maps bitmap pixels to device pixels
  bool repeat = true;
  bool smooth = false;
};

class Paint {
 public:
  static Paint solid(uint32_t premultiplied);
  static Paint gradient(const GradientSpec& ramp, const ColorTransform& cx);
  static Paint bitmap(const BitmapSpec& ramp, const ColorTransform& cx);

  bool isSolid() const { return kind_ == Kind::Solid; }
  uint32_t color() const { return color_; }
  bool paintsNothing() const { return kind_ == Kind::Solid && color_ == 0; }
  // Premultiplied colours of pixels [x, x+count) of row y, sampled at centres.
  void shade(int x, int y, int count, uint32_t* out) const;

 private:
  enum class Kind { Solid, Gradient, Bitmap };
  void shadeGradient(int x, int y, int count, uint32_t* out) const;
  void shadeBitmap(int x, int y, int count, uint32_t* out) const;

  Kind kind_ = Kind::Solid;
  uint32_t color_ = 0;
  // Gradient
  GradientKind gradientKind_ = GradientKind::Linear;
  Spread spread_ = Spread::Pad;
  float focal_ = 0;
  std::shared_ptr<std::array<uint32_t, 256>> lut_;
  // Gradient and bitmap: device pixel -> paint space.
  Affine fromDevice_;
  // Bitmap
  std::shared_ptr<const Bitmap> bitmap_;
  bool repeat_ = true, smooth_ = false;
  ColorTransform cx_;
  bool cxIdentity_ = true;
};

}  // namespace orv::movie::render
