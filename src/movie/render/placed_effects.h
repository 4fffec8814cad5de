#pragma once
// The effects a display object is placed with, as the raster core's parameters: its filters
// (the FILTERLIST of its tag, or the list a script set) and its blend mode.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "movie/render/raster/blend.h"
#include "movie/render/raster/filters.h"
#include "movie/swf/filter_list.h"

namespace orv::movie::base {
struct FilterSettings;
}

namespace orv::movie::render {

// Each record's fields brought into the range the raster core draws (blurs and distances
// to 1024 pixels, 1 to 15 passes, numbers that are not finite as 0). Filters that draw
// nothing are left out: gradients without colours, convolutions without factors or past
// 15 by 15. Gradients keep their first 16 colours.
std::vector<Filter> rasterFilters(std::span<const swf::FilterRecord> records);

// A script's filter (flash.filters settings) as the raster core draws it, a displacement
// map's bitmap added at the end of `maps` where the filter names it. False, and nothing
// added, for a filter that draws nothing. BitmapData.applyFilter of both machines.
bool rasterFilterOf(const base::FilterSettings& filter, Filter& out, FilterMaps& maps);

// The same from a stored list: those read before a cut or a kind not known.
std::vector<Filter> parseFilters(const uint8_t* data, size_t size);

// The mode a stored blend value (PlaceObject3, button records) names: 0 and 1 are normal,
// as are values past the last mode.
BlendMode blendModeFromSwf(uint8_t value);

}  // namespace orv::movie::render
