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
  CompositeSink(Canvas& canvas, Lane& lane, const Paint& paint, const uint8_t* mask)
      : canvas_(canvas), lane_(lane), paint_(&paint), mask_(mask) {}
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
      note(lane_.painted, y, x, count);
      paintUnmasked(*paint_, dst, x, y, count, coverage, lane_.scratch);
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
      auto& colors = lane_.scratch;
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
    if (last >= first) note(lane_.painted, y, x + first, last - first + 1);
  }

 private:
  Canvas& canvas_;
  Lane& lane_;
  const Paint* paint_;
  const uint8_t* mask_;
};

// Adds coverage to the mask being built (union of its shapes).
class Canvas::MaskSink : public SpanSink {
 public:
  MaskSink(Mask& mask, int width, Lane& lane) : mask_(mask), width_(width), lane_(lane) {}
  void span(int y, int x, int count, const uint8_t* coverage) override {
    uint8_t* m = mask_.coverage.data() + size_t(y) * width_ + x;
    for (int i = 0; i < count; ++i)
      m[i] = coverage[i] == 255 ? 255 : uint8_t(m[i] + mul255(coverage[i], 255 - m[i]));
    note(lane_.mask, y, x, count);
  }

 private:
  Mask& mask_;
  int width_;
  Lane& lane_;
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
  SweepPainter(Canvas& canvas, Lane& lane, const std::vector<Paint>& paints)
      : canvas_(canvas), lane_(lane), paints_(paints) {}
  void span(uint32_t fill, int y, int x, int count, const uint8_t* coverage) override {
    if (fill >= paints_.size()) return;
    const Paint& paint = paints_[fill];
    if (paint.paintsNothing()) return;
    const Surface& t = canvas_.target_;
    uint32_t* dst = t.pixels + size_t(y) * t.width + x;
    if (y + 2 < t.height) __builtin_prefetch(dst + 2 * t.width, 1);
    note(lane_.painted, y, x, count);
    paintUnmasked(paint, dst, x, y, count, coverage, lane_.scratch);
  }

 private:
  Canvas& canvas_;
  Lane& lane_;
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
  if (m.x1 > m.x0)
    forBands(bandsFor(m.y1 - m.y0, m.x1 - m.x0), m.y0, m.y1, 1, [&](size_t, int from, int to) {
      for (int y = from; y < to; ++y)
        std::fill_n(m.coverage.data() + size_t(y) * target_.width + m.x0, m.x1 - m.x0, uint8_t(0));
    });
  if (pool_->size() < size_t(kMaxMaskDepth)) pool_->push_back(std::move(m.coverage));
}

void Canvas::note(Bounds& b, int y, int x, int count) {
  b.x0 = std::min(b.x0, x);
  b.x1 = std::max(b.x1, x + count);
  b.y0 = std::min(b.y0, y);
  b.y1 = std::max(b.y1, y + 1);
}

namespace {
void merge(Canvas::Bounds& into, const Canvas::Bounds& b) {
  into.x0 = std::min(into.x0, b.x0);
  into.y0 = std::min(into.y0, b.y0);
  into.x1 = std::max(into.x1, b.x1);
  into.y1 = std::max(into.y1, b.y1);
}
}  // namespace

BandPool* Canvas::bandsFor(int64_t rows, int64_t columns) const {
  return bands_ && rows >= 2 && bands_->worthSplitting(rows * columns) ? bands_ : nullptr;
}

void Canvas::startLanes(size_t count) {
  if (lanes_.size() < count) lanes_.resize(count);
  for (size_t i = 0; i < count; ++i) lanes_[i].painted = lanes_[i].mask = kNothing;
}

// Where the bands painted, or drew the mask being built.
void Canvas::finishLanes(size_t count) {
  for (size_t i = 0; i < count; ++i) {
    merge(painted_, lanes_[i].painted);
    if (building_ > 0 && !masks_.empty() && !lanes_[i].mask.empty()) {
      Mask& m = masks_.back();
      Bounds b{m.x0, m.y0, m.x1, m.y1};
      merge(b, lanes_[i].mask);
      m.x0 = b.x0, m.y0 = b.y0, m.x1 = b.x1, m.y1 = b.y1;
    }
  }
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
  note(painted_, area.y0, area.x0, area.x1 - area.x0);
  note(painted_, area.y1 - 1, area.x0, area.x1 - area.x0);
  BandPool* pool = bandsFor(area.y1 - area.y0, area.x1 - area.x0);
  forBands(pool, area.y0, area.y1, 1, [&](size_t, int from, int to) {
    for (int y = from; y < to; ++y) {
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
  });
}

void Canvas::clear(uint32_t premultiplied) {
  painted_ = {0, 0, target_.width, target_.height};
  forBands(bandsFor(target_.height, target_.width), 0, target_.height, 1,
           [&](size_t, int from, int to) {
             std::fill(target_.pixels + size_t(from) * target_.width,
                       target_.pixels + size_t(to) * target_.width, premultiplied);
           });
}

namespace {
thread_local FillTap* gTap = nullptr;
}  // namespace

void Canvas::setTap(FillTap* tap) { gTap = tap; }

void Canvas::fill(Rasterizer& edges, FillRule rule, AntiAlias antialias, const Paint& paint) {
  if (gTap) gTap->other(*this);
  if (overflow_ > 0) return;  // clipped by, or building, a mask we could not keep
  if (building_ == 0 && paint.paintsNothing()) return;
  const Rasterizer::Extent e = edges.extent();
  if (e.empty()) return;
  const std::vector<RowRange> pieces =
      bandPieces(bandsFor(e.bottom - e.top, e.width), e.top, e.bottom, 1);
  startLanes(pieces.size());
  const uint8_t* mask = masks_.empty() ? nullptr : masks_.back().coverage.data();
  auto draw = [&](int i) {
    Lane& lane = lanes_[size_t(i)];
    const RowRange rows = pieces[size_t(i)];
    if (building_ > 0) {
      MaskSink sink(masks_.back(), target_.width, lane);
      edges.renderRows(rule, antialias, sink, rows.from, rows.to);
    } else {
      CompositeSink sink(*this, lane, paint, mask);
      edges.renderRows(rule, antialias, sink, rows.from, rows.to);
    }
  };
  if (pieces.size() == 1)
    draw(0);
  else
    bands_->run(int(pieces.size()), draw);
  finishLanes(pieces.size());
}

namespace {
// Sweeps `fills` (rows [from, to) of them) into `sink`, or replays a recording's
// spans [first, end), recording on the way.
struct SweepSource {
  const FillSweep* fills = nullptr;
  FillRule rule = FillRule::EvenOdd;
  AntiAlias antialias = AntiAlias::Area;
  const CoverageRecording* replay = nullptr;
  CoverageRecording* record = nullptr;
  size_t recordLimit = 0;
  int from = 0, to = 0;
  size_t first = 0, end = 0;
  void into(FillSink& sink) const {
    if (replay) {
      replay->replay(sink, first, end);
    } else if (record) {
      RecordingSink recorder(sink, *record, recordLimit);
      fills->renderRows(rule, antialias, recorder, from, to);
    } else {
      fills->renderRows(rule, antialias, sink, from, to);
    }
  }
};

// Where each piece's rows begin among a recording's spans (which come band
// after band): piece i replays spans [at[i], at[i + 1]).
std::vector<size_t> spansOfPieces(const CoverageRecording& r, const std::vector<RowRange>& pieces) {
  std::vector<size_t> at;
  for (const RowRange& p : pieces)
    at.push_back(size_t(std::partition_point(r.spans.begin(), r.spans.end(),
                                             [&](const CoverageRecording::Span& s) {
                                               return s.y / FillSweep::kBandRows <
                                                      p.from / FillSweep::kBandRows;
                                             }) -
                        r.spans.begin()));
  at.push_back(r.spans.size());
  return at;
}

// The pieces' recordings one after another, as one sweep would have made them.
void joinRecordings(std::vector<CoverageRecording*> parts, CoverageRecording& into, size_t limit) {
  size_t spans = 0, bytes = 0;
  for (const CoverageRecording* p : parts) {
    if (!p->complete) into.complete = false;
    spans += p->spans.size();
    bytes += p->coverage.size();
  }
  if (into.complete && bytes + spans * sizeof(CoverageRecording::Span) > limit)
    into.complete = false;
  if (!into.complete) {
    into.spans = {};
    into.coverage = {};
    return;
  }
  into.spans.reserve(spans);
  into.coverage.reserve(bytes);
  for (const CoverageRecording* p : parts) {
    const uint32_t base = uint32_t(into.coverage.size());
    for (CoverageRecording::Span s : p->spans) {
      s.offset += base;
      into.spans.push_back(s);
    }
    into.coverage.insert(into.coverage.end(), p->coverage.begin(), p->coverage.end());
  }
}
}  // namespace

void Canvas::fill(FillSweep& fills, FillRule rule, AntiAlias antialias,
                  const std::vector<Paint>& paints, CoverageRecording* record, size_t recordLimit) {
  if (gTap) gTap->swept(*this, building_ > 0 || !masks_.empty(), fills, rule, antialias, paints);
  if (record) record->complete = overflow_ == 0 && (building_ > 0 || !paints.empty());
  if (overflow_ > 0 || (building_ == 0 && paints.empty()) || fills.fillCount() == 0) return;
  fills.prepareFor(antialias);
  const std::vector<RowRange> pieces =
      bandPieces(bandsFor(fills.rowsBottom() - fills.rowsTop(), fills.columns()), fills.rowsTop(),
                 fills.rowsBottom(), FillSweep::kBandRows);
  if (pieces.empty()) return;
  CoverageRecording* recording = record && record->complete ? record : nullptr;
  startLanes(pieces.size());
  std::vector<CoverageRecording*> parts;
  if (recording && pieces.size() > 1)
    for (size_t i = 0; i < pieces.size(); ++i) {
      CoverageRecording& part = lanes_[i].record;
      part.spans.clear();
      part.coverage.clear();
      part.complete = true;
      parts.push_back(&part);
    }
  auto draw = [&](int i) {
    SweepSource source{&fills,
                       rule,
                       antialias,
                       nullptr,
                       nullptr,
                       recordLimit,
                       pieces[size_t(i)].from,
                       pieces[size_t(i)].to};
    if (recording) source.record = parts.empty() ? recording : parts[size_t(i)];
    sweep(lanes_[size_t(i)], source, paints);
  };
  if (pieces.size() == 1)
    draw(0);
  else
    bands_->run(int(pieces.size()), draw);
  finishLanes(pieces.size());
  if (!parts.empty()) joinRecordings(parts, *recording, recordLimit);
}

void Canvas::replay(const CoverageRecording& recording, const std::vector<Paint>& paints) {
  if (gTap) gTap->other(*this);
  if (overflow_ > 0 || recording.spans.empty()) return;
  const int top = recording.spans.front().y, bottom = recording.spans.back().y + 1;
  // The coverage bytes kept measure the work.
  BandPool* pool =
      bands_ && bottom - top >= 2 && bands_->worthSplitting(int64_t(recording.coverage.size()))
          ? bands_
          : nullptr;
  const std::vector<RowRange> pieces = bandPieces(pool, top, bottom, FillSweep::kBandRows);
  const std::vector<size_t> at = spansOfPieces(recording, pieces);
  startLanes(pieces.size());
  auto draw = [&](int i) {
    SweepSource source{nullptr, FillRule::EvenOdd, AntiAlias::Area, &recording};
    source.first = at[size_t(i)];
    source.end = at[size_t(i) + 1];
    sweep(lanes_[size_t(i)], source, paints);
  };
  if (pieces.size() == 1)
    draw(0);
  else
    bands_->run(int(pieces.size()), draw);
  finishLanes(pieces.size());
}

template <class Source>
void Canvas::sweep(Lane& lane, const Source& source, const std::vector<Paint>& paints) {
  if (overflow_ > 0) return;  // clipped by, or building, a mask we could not keep
  if (building_ > 0) {
    MaskSink mask(masks_.back(), target_.width, lane);
    SweepSink sink(mask);
    source.into(sink);
    return;
  }
  if (paints.empty()) return;
  if (masks_.empty()) {
    SweepPainter painter(*this, lane, paints);
    source.into(painter);
    return;
  }
  const uint8_t* mask = masks_.back().coverage.data();
  CompositeSink composite(*this, lane, paints.front(), mask);
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
    forBands(bandsFor(m.y1 - m.y0, m.x1 - m.x0), m.y0, m.y1, 1, [&](size_t, int from, int to) {
      for (int y = from; y < to; ++y) {
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
    });
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
