// BitmapData objects as other builtins reach them (filters keep their pixels).
#pragma once

#include <memory>

#include "movie/avm1/vm.h"

namespace orv::movie::render {
struct Bitmap;
}

namespace orv::movie::avm1 {

// The pixels of a live BitmapData, shared; nullptr for any other value or one disposed.
// `transparent`, when given, says whether it keeps alpha.
std::shared_ptr<render::Bitmap> bitmapDataPixels(const Value& v, bool* transparent = nullptr);

// A new flash.display.BitmapData showing `pixels` (shared, not copied).
Value newBitmapDataOn(Vm& vm, std::shared_ptr<render::Bitmap> pixels, bool transparent);

}  // namespace orv::movie::avm1
