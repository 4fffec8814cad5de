#include "movie/render/coverage_cache.h"

#include <algorithm>
#include <cstring>

namespace orv::movie::render {

namespace {
// Coverage not painted for this many frames is let go.
constexpr uint64_t kIdleFrames = 120;
// Keys remembered as drawn once, at most (a frame with more shapes than
// this records fewer of them).
constexpr size_t kMaxDrawn = 16384;
}  // namespace

void CoverageRecording::replay(FillSink& sink) const {
  for (const Span& s : spans) sink.span(s.fill, s.y, s.x, s.count, coverage.data() + s.offset);
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

uint64_t CoverageCache::hash(const Key& key) {
  // FNV-1a over the words, folded once more so close keys spread.
  uint64_t h = 1469598103934665603ull;
  for (int32_t v : key) {
    h ^= uint32_t(v);
    h *= 1099511628211ull;
  }
  return h ^ (h >> 29);
}

uint64_t CoverageCache::slot(uint64_t hash, uint32_t variant) {
  return hash ^ (uint64_t(variant) * 0x9E3779B97F4A7C15ull);
}

const CoverageRecording* CoverageCache::find(uint64_t hash, const Key& key, uint32_t variant) {
  auto [first, last] = entries_.equal_range(slot(hash, variant));
  for (auto it = first; it != last; ++it) {
    Entry& e = it->second;
    if (e.variant == variant && *e.key == key) {
      e.lastUsed = frame_;
      return &e.recording;
    }
  }
  return nullptr;
}

bool CoverageCache::drawnBefore(uint64_t hash, uint32_t variant) {
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

void CoverageCache::store(uint64_t hash, const Key& key, uint32_t variant,
                          CoverageRecording&& recording) {
  if (!recording.complete) return;
  recording.spans.shrink_to_fit();
  recording.coverage.shrink_to_fit();
  const size_t size = recording.bytes() + key.size() * sizeof(int32_t);
  if (size > budget_ / 4) return;  // one shape may not push out all others
  if (bytes_ + size > budget_) evictDownTo(budget_ - size);
  // Variants of one shape share its key: fills are kept first, then each
  // line style's strokes in order.
  std::shared_ptr<const Key> shared;
  for (uint32_t v : {0u, variant > 0 ? variant - 1 : 0u}) {
    auto [first, last] = entries_.equal_range(slot(hash, v));
    for (auto it = first; it != last && !shared; ++it)
      if (*it->second.key == key) shared = it->second.key;
  }
  if (!shared) shared = std::make_shared<const Key>(key);
  Entry e{std::move(shared), variant, std::move(recording), frame_};
  bytes_ += size;
  entries_.emplace(slot(hash, variant), std::move(e));
}

void CoverageCache::evictDownTo(size_t bytes) {
  // Oldest first; the cache holds at most a few hundred entries.
  while (bytes_ > bytes && !entries_.empty()) {
    auto oldest = entries_.begin();
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->second.lastUsed < oldest->second.lastUsed) oldest = it;
    bytes_ -= oldest->second.recording.bytes() + oldest->second.key->size() * sizeof(int32_t);
    entries_.erase(oldest);
  }
}

void CoverageCache::nextFrame() {
  ++frame_;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (frame_ - it->second.lastUsed > kIdleFrames) {
      bytes_ -= it->second.recording.bytes() + it->second.key->size() * sizeof(int32_t);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  // Keys not drawn in the last frame will not be recorded on their next
  // drawing anyway.
  for (auto it = drawn_.begin(); it != drawn_.end();)
    it = it->second + 1 < frame_ ? drawn_.erase(it) : std::next(it);
}

void CoverageCache::clear() {
  entries_.clear();
  drawn_.clear();
  bytes_ = 0;
}

}  // namespace orv::movie::render
