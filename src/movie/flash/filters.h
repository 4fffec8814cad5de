// flash.filters' objects as other classes reach them: DisplayObject.filters and
// BitmapData.applyFilter (filter_classes.cpp).
#pragma once

#include <optional>
#include <span>

#include "movie/avm2/machine.h"
#include "movie/avm2/toplevel.h"
#include "movie/base/filter_settings.h"

namespace orv::movie::avm2 {

// Whether `v` is a filter object (an instance of a BitmapFilter class).
bool isFilterObject(const Value& v);
// The settings of the filter `v` stands for, its displacement map's bitmap and point
// included; none for values that are no filter, and for shader filters (which draw
// nothing different).
std::optional<base::FilterSettings> filterSettingsOf(const Value& v);
bool isShaderFilter(const Value& v);

// DisplayObject's filters.
std::span<const NativeMember> displayFilterMembers();

void installFilterClasses(Machine& m);  // flash.filters

}  // namespace orv::movie::avm2
