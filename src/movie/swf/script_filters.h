#pragma once
// Filters scripts set (movie/base/filter_settings.h) in the form a movie file stores them,
// and back: what lets the renderer draw a script's filters as it draws those placed by the
// timeline, and scripts read the timeline's filters as filter objects.
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "movie/base/filter_settings.h"
#include "movie/swf/filter_list.h"

namespace orv::movie::swf {

using FilterMapList = std::vector<std::shared_ptr<render::Bitmap>>;

// One filter as a record (a displacement map's bitmap added to `maps`, the record naming
// it by index); nothing for filters that draw nothing (gradients without colours,
// displacement maps without a bitmap).
std::optional<FilterRecord> recordOfSettings(const base::FilterSettings& f, FilterMapList& maps);

// The settings a record stands for (angles in degrees); `maps` holds the bitmaps its
// displacement map may name.
base::FilterSettings settingsOfRecord(const FilterRecord& record, std::span<const std::shared_ptr<render::Bitmap>> maps);

// A stored list of filters scripts set: those that draw something, at most 255.
struct StoredFilters {
  std::vector<uint8_t> bytes;  // empty when none draws
  FilterMapList maps;
};
StoredFilters storeFilterSettings(std::span<const base::FilterSettings> filters);
// The filters of a stored list (those before a cut or a kind not known).
std::vector<base::FilterSettings> readFilterSettings(std::span<const uint8_t> bytes,
                                                     std::span<const std::shared_ptr<render::Bitmap>> maps);

}  // namespace orv::movie::swf
