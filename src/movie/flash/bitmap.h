// flash.display.BitmapData's object as other classes reach it (Graphics' bitmap fills).
#pragma once

#include <memory>
#include <optional>

#include "movie/avm2/machine.h"
#include "movie/render/raster/bitmap_data.h"

namespace orv::movie::avm2 {

class BitmapDataObject : public Object {
 public:
  using Object::Object;
  std::optional<render::BitmapPixels> pixels;  // empty once disposed
};

// The pixels of a live BitmapData, shared; null for any other value or one disposed.
std::shared_ptr<render::Bitmap> bitmapDataPixels(const Value& v);
// A new BitmapData on `pixels` (shared: what changes them shows in both).
Value bitmapDataOn(Machine& m, std::shared_ptr<render::Bitmap> pixels, bool transparent);
// A new Bitmap showing a new BitmapData of `image`'s pixels (a loaded image); undefined
// when the pixels may not be kept.
Value bitmapShowing(Machine& m, const render::Bitmap& image);

}  // namespace orv::movie::avm2
