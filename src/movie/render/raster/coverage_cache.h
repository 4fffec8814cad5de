#pragma once
// Coverage of shapes drawn again unchanged. Most frames of a movie redraw
// the same shapes at the same place (a background, a still frame); the rows
// their fills and strokes cover are kept after the second identical drawing
// and painted again from memory, skipping the rasteriser. A shape is known
// by everything its coverage depends on: its edges, styles' numbers, device
// matrix, clip size and quality. Keys are compared in full, not only hashed,
// so a kept coverage is never painted for another shape.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "movie/render/raster/fill_sweep.h"
#include "movie/render/raster/kept_by_key.h"

namespace orv::movie::render {

// Coverage rows as a sweep handed them out, in the same order.
struct CoverageRecording {
  struct Span {
    uint32_t fill;
    int32_t y, x, count;
    uint32_t offset;  // into coverage
  };
  std::vector<Span> spans;
  std::vector<uint8_t> coverage;
  std::vector<int32_t> fills;  // the style numbers of the sweep's fills, in order
  bool complete = true;        // false: the sweep was cut short or too big to keep
  size_t bytes() const {
    return spans.capacity() * sizeof(Span) + coverage.capacity() +
           fills.capacity() * sizeof(int32_t);
  }
  bool worthKeeping() const { return complete; }
  void shrink() {
    spans.shrink_to_fit();
    coverage.shrink_to_fit();
  }
  void replay(FillSink& sink) const { replay(sink, 0, spans.size()); }
  // Spans [first, end) only.
  void replay(FillSink& sink, size_t first, size_t end) const;
};

// Records what a sweep hands `to` while passing it on, up to `limit` bytes.
class RecordingSink final : public FillSink {
 public:
  RecordingSink(FillSink& to, CoverageRecording& into, size_t limit)
      : to_(to), into_(into), limit_(limit) {}
  void span(uint32_t fill, int y, int x, int count, const uint8_t* coverage) override;

 private:
  FillSink& to_;
  CoverageRecording& into_;
  size_t limit_;
};

// Coverage of shapes drawn unchanged, by what their coverage depends on.
using CoverageCache = KeptByKey<CoverageRecording>;

}  // namespace orv::movie::render
