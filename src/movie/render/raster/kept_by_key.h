#pragma once
// What the renderer keeps from one frame to the next, found again by a key of
// everything it was made from. Only what was drawn unchanged in the last frame
// too is kept, so moving things cost nothing; what goes unused for a while is
// let go, and the least recently used goes first when the budget is reached.
// Keys are compared in full, not only hashed, so kept things are never used
// for something else.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace orv::movie::render {

// `Kept` has bytes() (the memory it holds), worthKeeping() and shrink().
template <class Kept>
class KeptByKey {
 public:
  // Words of everything the kept thing depends on; `variant` tells apart several
  // things made from one key.
  using Key = std::vector<int32_t>;
  static uint64_t hash(const Key& key) {
    // FNV-1a over the words, folded once more so close keys spread.
    uint64_t h = 1469598103934665603ull;
    for (int32_t v : key) {
      h ^= uint32_t(v);
      h *= 1099511628211ull;
    }
    return h ^ (h >> 29);
  }

  explicit KeptByKey(size_t budgetBytes = size_t(64) << 20) : budget_(budgetBytes) {}

  // What is kept for the key, or null.
  const Kept* find(uint64_t hash, const Key& key, uint32_t variant) {
    auto [first, last] = entries_.equal_range(slot(hash, variant));
    for (auto it = first; it != last; ++it) {
      Entry& e = it->second;
      if (e.variant == variant && *e.key == key) {
        e.lastUsed = frame_;
        return &e.kept;
      }
    }
    return nullptr;
  }
  // Whether the key was drawn in the previous frame (and notes it drawn in this one).
  bool drawnBefore(uint64_t hash, uint32_t variant) {
    const uint64_t s = slot(hash, variant);
    auto it = drawn_.find(s);
    if (it != drawn_.end()) {
      const bool before = it->second < frame_;
      it->second = frame_;
      return before;
    }
    if (drawn_.size() < kMaxDrawn) drawn_.emplace(s, frame_);
    return false;
  }
  // Keeps `kept` if it is worth keeping and takes at most a quarter of the budget.
  void store(uint64_t hash, const Key& key, uint32_t variant, Kept&& kept) {
    if (!kept.worthKeeping()) return;
    kept.shrink();
    const size_t size = kept.bytes() + key.size() * sizeof(int32_t);
    if (size > budget_ / 4) return;  // one thing may not push out all others
    if (bytes_ + size > budget_) evictDownTo(budget_ - size);
    // Variants made from one key share it; they are usually kept in order.
    std::shared_ptr<const Key> shared;
    for (uint32_t v : {0u, variant > 0 ? variant - 1 : 0u}) {
      auto [first, last] = entries_.equal_range(slot(hash, v));
      for (auto it = first; it != last && !shared; ++it)
        if (*it->second.key == key) shared = it->second.key;
    }
    if (!shared) shared = std::make_shared<const Key>(key);
    bytes_ += size;
    entries_.emplace(slot(hash, variant),
                     Entry{std::move(shared), variant, std::move(kept), frame_});
  }
  // Marks the start of a frame; what was not used for a while is let go.
  void nextFrame() {
    ++frame_;
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (frame_ - it->second.lastUsed > kIdleFrames) {
        bytes_ -= sizeOf(it->second);
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
    // Keys not drawn in the last frame will not be kept on their next drawing anyway.
    for (auto it = drawn_.begin(); it != drawn_.end();)
      it = it->second + 1 < frame_ ? drawn_.erase(it) : std::next(it);
  }

  size_t bytes() const { return bytes_; }
  size_t entries() const { return entries_.size(); }
  size_t budget() const { return budget_; }
  void clear() {
    entries_.clear();
    drawn_.clear();
    bytes_ = 0;
  }

 private:
  // Kept things not used for this many frames are let go.
  static constexpr uint64_t kIdleFrames = 120;
  // Keys remembered as drawn once, at most.
  static constexpr size_t kMaxDrawn = 16384;

  struct Entry {
    std::shared_ptr<const Key> key;
    uint32_t variant = 0;
    Kept kept;
    uint64_t lastUsed = 0;
  };
  static uint64_t slot(uint64_t hash, uint32_t variant) {
    return hash ^ (uint64_t(variant) * 0x9E3779B97F4A7C15ull);
  }
  static size_t sizeOf(const Entry& e) { return e.kept.bytes() + e.key->size() * sizeof(int32_t); }
  void evictDownTo(size_t bytes) {
    // Oldest first; there are at most a few hundred entries.
    while (bytes_ > bytes && !entries_.empty()) {
      auto oldest = entries_.begin();
      for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->second.lastUsed < oldest->second.lastUsed) oldest = it;
      bytes_ -= sizeOf(oldest->second);
      entries_.erase(oldest);
    }
  }

  size_t budget_;
  size_t bytes_ = 0;
  uint64_t frame_ = 1;
  std::unordered_multimap<uint64_t, Entry> entries_;
  std::unordered_map<uint64_t, uint64_t> drawn_;  // slot -> the last frame it was drawn in
};

}  // namespace orv::movie::render
