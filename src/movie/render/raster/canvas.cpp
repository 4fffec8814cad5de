#include "movie/render/raster/canvas.h"

#include <algorithm>
#include <cstring>

namespace orv::movie::render {

namespace {
inline uint8_t mul255(uint32_t a, uint32_t b) {
  uint32_t v = a * b + 128;
  return uint8_t((v + (v >> 8)) >> 8);
}

// Composites one coverage span painted with `paint` where no mask clips.
inline void paintUnmasked(const Paint& paint, uint32_t* dst, int x, int y, int count,
                          const uint8_t* coverage, std::vector<uint32_t>& scratch) {
  if (paint.isSolid()) {
    const uint32_t src = paint.color();
    if (src == 0) return;
    const bool opaque = alphaOf(src) == 255;
    for (int i = 0; i < count;) {
      const uint32_t c = coverage[i];
      if (c == 255 && opaque) {
        // Fully covered stretches are plain stores (found eight at a time).
        int j = i + 1;
        for (uint64_t eight; j + 8 <= count; j += 8) {
          std::memcpy(&eight, coverage + j, 8);
          if (eight != ~uint64_t(0)) break;
        }
        while (j < count && coverage[j] == 255) ++j;
        std::fill(dst + i, dst + j, src);
        i = j;
        continue;
      }
      if (c) dst[i] = sourceOver(dst[i], mulPixel255(src, c));
      ++i;
    }
    return;
  }
  scratch.resize(size_t(count));
  paint.shade(x, y, count, scratch.data());
  for (int i = 0; i < count; ++i) {
    const uint32_t c = coverage[i], s = scratch[i];
    if (!c) continue;
    if (c == 255)
      dst[i] = s >= 0xFF000000u ? s : sourceOver(dst[i], s);  // opaque covers all
    else
      dst[i] = sourceOver(dst[i], mulPixel255(s, c));
  }
}
}  // namespace

class Canvas::CompositeSink : public SpanSink {
 public:
  CompositeSink(Canvas& canvas, const Paint& paint, const uint8_t* mask)
      : canvas_(canvas), paint_(&paint), mask_(mask) {}
  void setPaint(const Paint& paint) { paint_ = &paint; }

  void span(int y, int x, int count, const uint8_t* coverage) override {
    const Surface& t = canvas_.target_;
    const uint8_t* m = nullptr;
    if (mask_) {
      // Only the part of the row the mask can let through.
      const Mask& mk = canvas_.masks_.back();
      if (y < mk.y0 || y >= mk.y1 || x >= mk.x1 || x + count <= mk.x0) return;
      const int from = std::max(x, mk.x0), to = std::min(x + count, mk.x1);
      coverage += from - x;
      count = to - from;
      x = from;
      m = mask_ + size_t(y) * t.width + x;
    }
    uint32_t* dst = t.pixels + size_t(y) * t.width + x;
    // Shapes are drawn row after row: fetch the pixels below early, a frame
    // is far larger than the caches.
    if (y + 2 < t.height) __builtin_prefetch(dst + 2 * t.width, 1);
    if (!m) {
      canvas_.notePainted(y, x, count);
      paintUnmasked(*paint_, dst, x, y, count, coverage, canvas_.scratch_);
      return;
    }
    int first = count, last = -1;  // what the mask let through, for the painted bounds
    if (paint_->isSolid()) {
      const uint32_t src = paint_->color();
      if (src == 0) return;
      const bool opaque = alphaOf(src) == 255;
      for (int i = 0; i < count; ++i) {
        const uint32_t c = mul255(coverage[i], m[i]);
        if (!c) continue;
        first = std::min(first, i);
        last = i;
        dst[i] = c == 255 && opaque ? src : sourceOver(dst[i], mulPixel255(src, c));
      }
    } else {
      auto& colors = canvas_.scratch_;
      colors.resize(size_t(count));
      paint_->shade(x, y, count, colors.data());
      for (int i = 0; i < count; ++i) {
        const uint32_t c = mul255(coverage[i], m[i]);
        if (!c) continue;
        first = std::min(first, i);
        last = i;
        dst[i] = sourceOver(dst[i], c == 255 ? colors[i] : mulPixel255(colors[i], c));
      }
    }
    if (last >= first) canvas_.notePainted(y, x + first, last - first + 1);
  }

 private:
  Canvas& canvas_;
  const Paint* paint_;
  const uint8_t* mask_;
};

// Adds coverage to the mask being built (union of its shapes).
class Canvas::MaskSink : public SpanSink {
 public:
  MaskSink(Mask& mask, int width) : mask_(mask), width_(width) {}
  void span(int y, int x, int count, const uint8_t* coverage) override {
    uint8_t* m = mask_.coverage.data() + size_t(y) * width_ + x;
    for (int i = 0; i < count; ++i)
      m[i] = coverage[i] == 255 ? 255 : uint8_t(m[i] + mul255(coverage[i], 255 - m[i]));
    mask_.x0 = std::min(mask_.x0, x);
    mask_.x1 = std::max(mask_.x1, x + count);
    mask_.y0 = std::min(mask_.y0, y);
    mask_.y1 = std::max(mask_.y1, y + 1);
  }

 private:
  Mask& mask_;
  int width_;
};

// A sweep's fills: each span goes to the composite or mask sink, painted
// with its fill's paint.
class Canvas::SweepSink : public FillSink {
 public:
  SweepSink(SpanSink& mask) : mask_(&mask) {}
  SweepSink(CompositeSink& composite, const std::vector<Paint>& paints)
      : composite_(&composite), paints_(&paints) {}
  void span(uint32_t fill, int y, int x, int count, const uint8_t* coverage) override {
    if (mask_) {
      mask_->span(y, x, count, coverage);
      return;
    }
    if (fill >= paints_->size()) return;
    const Paint& paint = (*paints_)[fill];
    if (paint.paintsNothing()) return;
    composite_->setPaint(paint);
    composite_->span(y, x, count, coverage);
  }

 private:
  SpanSink* mask_ = nullptr;
  CompositeSink* composite_ = nullptr;
  const std::vector<Paint>* paints_ = nullptr;
};

// A sweep's fills straight onto the frame where no mask clips: one call a
// span, its paint's compositing inline.
class Canvas::SweepPainter final : public FillSink {
 public:
  SweepPainter(Canvas& canvas, const std::vector<Paint>& paints)
      : canvas_(canvas), paints_(paints) {}
  void span(uint32_t fill, int y, int x, int count, const uint8_t* coverage) override {
    if (fill >= paints_.size()) return;
    const Paint& paint = paints_[fill];
    if (paint.paintsNothing()) return;
    const Surface& t = canvas_.target_;
    uint32_t* dst = t.pixels + size_t(y) * t.width + x;
    if (y + 2 < t.height) __builtin_prefetch(dst + 2 * t.width, 1);
    canvas_.notePainted(y, x, count);
    paintUnmasked(paint, dst, x, y, count, coverage, canvas_.scratch_);
  }

 private:
  Canvas& canvas_;
  const std::vector<Paint>& paints_;
};

Canvas::Canvas(Surface target, std::vector<std::vector<uint8_t>>* maskPool)
    : target_(target), pool_(maskPool ? maskPool : &ownPool_) {}

Canvas::~Canvas() {
  while (!masks_.empty()) {
    release(masks_.back());
    masks_.pop_back();
  }
}

void Canvas::release(Mask& m) {
  // Zero only where the mask was drawn, then keep the buffer for reuse.
  for (int y = m.y0; y < m.y1; ++y)
    std::fill_n(m.coverage.data() + size_t(y) * target_.width + m.x0, m.x1 - m.x0, uint8_t(0));
  if (pool_->size() < size_t(kMaxMaskDepth)) pool_->push_back(std::move(m.coverage));
}

void Canvas::notePainted(int y, int x, int count) {
  painted_.x0 = std::min(painted_.x0, x);
  painted_.x1 = std::max(painted_.x1, x + count);
  painted_.y0 = std::min(painted_.y0, y);
  painted_.y1 = std::max(painted_.y1, y + 1);
}

void Canvas::blendLayer(const uint32_t* layer, int stride, int x0, int y0, Bounds area,
                        BlendMode mode) {
  if (overflow_ > 0 || building_ > 0) return;
  area.x0 = std::max(area.x0, 0);
  area.y0 = std::max(area.y0, 0);
  area.x1 = std::min(area.x1, target_.width);
  area.y1 = std::min(area.y1, target_.height);
  if (area.empty()) return;
  const Mask* mask = masks_.empty() ? nullptr : &masks_.back();
  if (mask) {
    area.x0 = std::max(area.x0, mask->x0);
    area.y0 = std::max(area.y0, mask->y0);
    area.x1 = std::min(area.x1, mask->x1);
    area.y1 = std::min(area.y1, mask->y1);
    if (area.empty()) return;
  }
  notePainted(area.y0, area.x0, area.x1 - area.x0);
  notePainted(area.y1 - 1, area.x0, area.x1 - area.x0);
  for (int y = area.y0; y < area.y1; ++y) {
    const size_t row = size_t(y) * target_.width;
    uint32_t* dst = target_.pixels + row;
    const uint32_t* src = layer + ptrdiff_t(y - y0) * stride - x0;
    const uint8_t* m = mask ? mask->coverage.data() + row : nullptr;
    if (!m && (mode == BlendMode::Normal || mode == BlendMode::Layer)) {
      for (int x = area.x0; x < area.x1; ++x)
        if (src[x] >= 0xFF000000u)
          dst[x] = src[x];
        else if (src[x])
          dst[x] = sourceOver(dst[x], src[x]);
      continue;
    }
    for (int x = area.x0; x < area.x1; ++x) {
      if (!m) {
        dst[x] = blendPixel(mode, dst[x], src[x]);
      } else if (m[x]) {
        // Partly masked: mix the blended and the untouched pixel by coverage.
        const uint32_t blended = blendPixel(mode, dst[x], src[x]);
        dst[x] =
            m[x] == 255 ? blended : mulPixel255(blended, m[x]) + mulPixel255(dst[x], 255 - m[x]);
      }
    }
  }
}

void Canvas::clear(uint32_t premultiplied) {
  painted_ = {0, 0, target_.width, target_.height};
  std::fill(target_.pixels, target_.pixels + size_t(target_.width) * target_.height, premultiplied);
}

namespace {
thread_local FillTap* gTap = nullptr;
}  // namespace

void Canvas::setTap(FillTap* tap) { gTap = tap; }

void Canvas::fill(Rasterizer& edges, FillRule rule, AntiAlias antialias, const Paint& paint) {
  if (gTap) gTap->other(*this);
  if (overflow_ > 0 && building_ == 0) return;  // clipped by a mask we could not keep
  if (building_ > 0) {
    if (overflow_ > 0) return;
    MaskSink sink(masks_.back(), target_.width);
    edges.render(rule, antialias, sink);
    return;
  }
  if (paint.paintsNothing()) return;
  const uint8_t* mask = masks_.empty() ? nullptr : masks_.back().coverage.data();
  CompositeSink sink(*this, paint, mask);
  edges.render(rule, antialias, sink);
}

namespace {
// Sweeps `fills` into `sink`, or replays a recording, recording on the way.
struct SweepSource {
  FillSweep* fills = nullptr;
  FillRule rule = FillRule::EvenOdd;
  AntiAlias antialias = AntiAlias::Area;
  const CoverageRecording* replay = nullptr;
  CoverageRecording* record = nullptr;
  size_t recordLimit = 0;
  void into(FillSink& sink) const {
    if (replay) {
      replay->replay(sink);
    } else if (record) {
      RecordingSink recorder(sink, *record, recordLimit);
      fills->render(rule, antialias, recorder);
    } else {
      fills->render(rule, antialias, sink);
    }
  }
};
}  // namespace

void Canvas::fill(FillSweep& fills, FillRule rule, AntiAlias antialias,
                  const std::vector<Paint>& paints, CoverageRecording* record, size_t recordLimit) {
  if (gTap) gTap->swept(*this, building_ > 0 || !masks_.empty(), fills, rule, antialias, paints);
  if (record) record->complete = overflow_ == 0 && (building_ > 0 || !paints.empty());
  sweep(SweepSource{&fills, rule, antialias, nullptr, record && record->complete ? record : nullptr,
                    recordLimit},
        paints);
}

void Canvas::replay(const CoverageRecording& recording, const std::vector<Paint>& paints) {
  if (gTap) gTap->other(*this);
  sweep(SweepSource{nullptr, FillRule::EvenOdd, AntiAlias::Area, &recording, nullptr, 0}, paints);
}

template <class Source>
void Canvas::sweep(const Source& source, const std::vector<Paint>& paints) {
  if (overflow_ > 0) return;  // clipped by, or building, a mask we could not keep
  if (building_ > 0) {
    MaskSink mask(masks_.back(), target_.width);
    SweepSink sink(mask);
    source.into(sink);
    return;
  }
  if (paints.empty()) return;
  if (masks_.empty()) {
    SweepPainter painter(*this, paints);
    source.into(painter);
    return;
  }
  const uint8_t* mask = masks_.back().coverage.data();
  CompositeSink composite(*this, paints.front(), mask);
  SweepSink sink(composite, paints);
  source.into(sink);
}

void Canvas::beginMask() {
  ++building_;
  if (overflow_ > 0 || int(masks_.size()) >= kMaxMaskDepth) {
    ++overflow_;
    return;
  }
  const size_t size = size_t(target_.width) * target_.height;
  Mask m;
  while (!pool_->empty()) {
    std::vector<uint8_t> buffer = std::move(pool_->back());
    pool_->pop_back();
    if (buffer.size() == size) {
      m.coverage = std::move(buffer);
      break;
    }
  }
  if (m.coverage.size() != size) m.coverage.assign(size, 0);
  m.x0 = target_.width;
  m.y0 = target_.height;
  masks_.push_back(std::move(m));
}

void Canvas::endMask() {
  if (building_ == 0) return;
  --building_;
  if (overflow_ > 0) return;
  Mask& m = masks_.back();
  // Intersect with the mask already in force so nested masks clip together.
  for (size_t i = masks_.size() - 1; i-- > 0;) {
    if (!masks_[i].active) continue;
    const auto& outer = masks_[i].coverage;
    for (int y = m.y0; y < m.y1; ++y) {
      uint8_t* inner = m.coverage.data() + size_t(y) * target_.width;
      const uint8_t* by = outer.data() + size_t(y) * target_.width;
      int x = m.x0;
      // Outer masks are mostly wholly in or wholly out: skip or clear eight
      // pixels at a time where they are.
      for (uint64_t o; x + 8 <= m.x1; x += 8) {
        std::memcpy(&o, by + x, 8);
        if (o == ~uint64_t(0)) continue;
        if (o == 0) {
          std::memset(inner + x, 0, 8);
          continue;
        }
        for (int k = x; k < x + 8; ++k) inner[k] = mul255(inner[k], by[k]);
      }
      for (; x < m.x1; ++x) inner[x] = mul255(inner[x], by[x]);
    }
    break;
  }
  m.active = true;
}

void Canvas::popMask() {
  if (overflow_ > 0) {
    --overflow_;
    return;
  }
  if (!masks_.empty()) {
    release(masks_.back());
    masks_.pop_back();
  }
}

}  // namespace orv::movie::render
