// BitmapData objects as other builtins reach them (filters keep their pixels).
#pragma once

#include <memory>
#include <optional>

#include "movie/avm1/vm.h"

namespace orv::movie::render {
struct Bitmap;
}

#include "movie/base/filter_settings.h"

namespace orv::movie::avm1 {

// The pixels of a live BitmapData, shared; nullptr for any other value or one disposed.
// `transparent`, when given, says whether it keeps alpha.
std::shared_ptr<render::Bitmap> bitmapDataPixels(const Value& v, bool* transparent = nullptr);

// The settings of a flash.filters object (a displacement map's bitmap and point read from
// its values); nothing for any other value.
std::optional<base::FilterSettings> filterSettingsOf(Vm& vm, const Value& v);

// A new flash.display.BitmapData showing `pixels` (shared, not copied).
Value newBitmapDataOn(Vm& vm, std::shared_ptr<render::Bitmap> pixels, bool transparent);

}  // namespace orv::movie::avm1
