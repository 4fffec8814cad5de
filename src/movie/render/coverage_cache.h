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
#include <memory>
#include <unordered_map>
#include <vector>

#include "movie/render/fill_sweep.h"

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
    return spans.capacity() * sizeof(Span) + coverage.capacity() + fills.capacity() * sizeof(int32_t);
  }
  void replay(FillSink& sink) const;
};

// Records what a sweep hands `to` while passing it on, up to `limit` bytes.
class RecordingSink final : public FillSink {
 public:
  RecordingSink(FillSink& to, CoverageRecording& into, size_t limit) : to_(to), into_(into), limit_(limit) {}
  void span(uint32_t fill, int y, int x, int count, const uint8_t* coverage) override;

 private:
  FillSink& to_;
  CoverageRecording& into_;
  size_t limit_;
};

class CoverageCache {
 public:
  // What a shape's coverage depends on, as words; `variant` tells its fills
  // (0) from the strokes of each line style (1, 2, ...).
  using Key = std::vector<int32_t>;
  static uint64_t hash(const Key& key);

  explicit CoverageCache(size_t budgetBytes = size_t(64) << 20) : budget_(budgetBytes) {}

  // The coverage kept for the key, or null.
  const CoverageRecording* find(uint64_t hash, const Key& key, uint32_t variant);
  // Whether the key was drawn in this or the previous frame: only shapes
  // drawn unchanged twice are recorded, so moving ones cost nothing.
  bool drawnBefore(uint64_t hash, uint32_t variant);
  // Keeps a complete recording, dropping the least recently used ones to
  // stay within the budget.
  void store(uint64_t hash, const Key& key, uint32_t variant, CoverageRecording&& recording);
  // Marks the start of a frame; coverage not painted for a while is let go.
  void nextFrame();

  size_t bytes() const { return bytes_; }
  size_t entries() const { return entries_.size(); }
  size_t budget() const { return budget_; }
  void clear();

 private:
  struct Entry {
    std::shared_ptr<const Key> key;
    uint32_t variant = 0;
    CoverageRecording recording;
    uint64_t lastUsed = 0;
  };
  static uint64_t slot(uint64_t hash, uint32_t variant);
  void evictDownTo(size_t bytes);

  size_t budget_;
  size_t bytes_ = 0;
  uint64_t frame_ = 1;
  std::unordered_multimap<uint64_t, Entry> entries_;
  std::unordered_map<uint64_t, uint64_t> drawn_;  // slot -> last frame it was drawn in
};

}  // namespace orv::movie::render
