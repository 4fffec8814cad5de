#include "movie/render/raster/coverage_cache.h"

#include <algorithm>
#include <cstring>

namespace orv::movie::render {

void CoverageRecording::replay(FillSink& sink, size_t first, size_t end) const {
  end = std::min(end, spans.size());
  for (size_t i = first; i < end; ++i) {
    const Span& s = spans[i];
    sink.span(s.fill, s.y, s.x, s.count, coverage.data() + s.offset);
  }
}

void RecordingSink::span(uint32_t fill, int y, int x, int count, const uint8_t* coverage) {
  if (into_.complete) {
    if (into_.bytes() + size_t(count) + sizeof(CoverageRecording::Span) > limit_) {
      into_.complete = false;
      into_.spans = {};
      into_.coverage = {};
    } else {
      into_.spans.push_back({fill, y, x, count, uint32_t(into_.coverage.size())});
      into_.coverage.insert(into_.coverage.end(), coverage, coverage + count);
    }
  }
  to_.span(fill, y, x, count, coverage);
}

}  // namespace orv::movie::render
