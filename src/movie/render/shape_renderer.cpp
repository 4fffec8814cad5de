#include "movie/render/shape_renderer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "movie/render/raster/stroker.h"

namespace orv::movie::render {

ColorTransform toRender(const swf::ColorTransform& c) { return c.as<float>(); }
uint32_t toArgb(swf::RGBA c) { return packArgb(c.a, c.r, c.g, c.b); }

Paint ShapeRenderer::makePaint(const swf::FillStyle& fill, const Affine& toDevice,
                               const ColorTransform& cx) {
  if (fill.isGradient()) {
    GradientSpec g;
    g.kind = fill.type == swf::FillType::LinearGradient   ? GradientKind::Linear
             : fill.type == swf::FillType::RadialGradient ? GradientKind::Radial
                                                          : GradientKind::Focal;
    for (const auto& r : fill.gradient.records) g.stops.push_back({r.ratio, toArgb(r.color)});
    g.spread = fill.gradient.spread == swf::SpreadMode::Reflect  ? Spread::Reflect
               : fill.gradient.spread == swf::SpreadMode::Repeat ? Spread::Repeat
                                                                 : Spread::Pad;
    g.linearRgb = fill.gradient.interpolation == swf::InterpolationMode::LinearRGB;
    g.focal = float(fill.gradient.focalPoint);
    g.toDevice = toDevice * fill.matrix;
    return Paint::gradient(g, cx);
  }
  if (fill.isBitmap()) {
    BitmapSpec b;
    b.bitmap = bitmaps_ ? bitmaps_->bitmap(fill.bitmapId) : nullptr;
    b.toDevice = toDevice * fill.matrix;
    b.repeat = fill.bitmapRepeating();
    b.smooth = settings_.smoothAllBitmaps || (settings_.smoothBitmaps && fill.bitmapSmoothed());
    return Paint::bitmap(b, cx);
  }
  return Paint::solid(premultiply(cx.applyStraight(toArgb(fill.color))));
}

void ShapeRenderer::draw(const std::vector<swf::StyleTable>& tables,
                         const std::vector<swf::ShapeEdge>& edges, const Affine& toDevice,
                         const ColorTransform& cx, FillRule rule) {
  if (edges.empty() || tables.empty()) return;
  const int w = canvas_.width(), h = canvas_.height();
  // Flatten every edge once (when a table's fills are not kept from the last
  // frame); fills of its table reuse the points.
  bool flattened = false;
  auto flatten = [&] {
    flattened = true;
    points_.clear();
    edgeStart_.clear();
    const float tol = settings_.curveTolerance;
    for (const swf::ShapeEdge& e : edges) {
      edgeStart_.push_back(uint32_t(points_.size()));
      points_.push_back(mapPoint(toDevice, e.x0, e.y0));
      const Point end = mapPoint(toDevice, e.x1, e.y1);
      if (e.curved)
        flattenQuad(points_.back(), mapPoint(toDevice, e.cx, e.cy), end, tol, points_);
      else
        points_.push_back(end);
    }
    edgeStart_.push_back(uint32_t(points_.size()));
    // Positions are kept to 1/256 pixel, as graphics hardware rasterises, so a
    // pixel centre that lies on an edge falls on the same side as it does there.
    for (Point& p : points_) p = snapToSubpixel(p);
  };
  // What a table's coverage is made from: the sweep keeps this with its
  // lines, and the coverage cache with the rows they covered, so a shape
  // drawn again unchanged reuses them.
  auto describe = [&](uint32_t table) {
    key_.clear();
    const int32_t head[] = {w,
                            h,
                            int32_t(table),
                            int32_t(tables[table].fills.size()),
                            int32_t(rule),
                            int32_t(settings_.antialias),
                            int32_t(settings_.strokeAntialias),
                            std::bit_cast<int32_t>(settings_.curveTolerance),
                            std::bit_cast<int32_t>(float(settings_.pixelsPerTwip)),
                            int32_t(edges.size())};
    key_.insert(key_.end(), std::begin(head), std::end(head));
    for (double v : {toDevice.a, toDevice.b, toDevice.c, toDevice.d, toDevice.tx, toDevice.ty}) {
      const uint64_t bits = std::bit_cast<uint64_t>(v);
      key_.push_back(int32_t(uint32_t(bits)));
      key_.push_back(int32_t(uint32_t(bits >> 32)));
    }
    // The pens of its line styles (their paints are made anew each time).
    for (const swf::LineStyle& ls : tables[table].lines) {
      const float miter = float(ls.miterLimit);
      const int32_t pen[] = {
          int32_t(ls.width),
          int32_t(ls.startCap),
          int32_t(ls.endCap),
          int32_t(ls.join),
          std::bit_cast<int32_t>(miter),
          int32_t(ls.noHScale) | int32_t(ls.noVScale) << 1 | int32_t(ls.noClose) << 2};
      key_.insert(key_.end(), std::begin(pen), std::end(pen));
    }
    key_.reserve(key_.size() + 10 * edges.size());
    for (const swf::ShapeEdge& e : edges) {
      const int32_t edge[10] = {e.x0,
                                e.y0,
                                e.cx,
                                e.cy,
                                e.x1,
                                e.y1,
                                int32_t(e.curved) | int32_t(e.line << 1),
                                int32_t(e.fill0),
                                int32_t(e.fill1),
                                int32_t(e.styleTable)};
      key_.insert(key_.end(), std::begin(edge), std::end(edge));
    }
  };
  // The sweep's madeFrom is the description followed by the numbers of the
  // table's fills that have lines, in sweep order: where they start when the
  // fills kept are this table's, else 0.
  auto keptFrom = [&]() -> size_t {
    const std::vector<int32_t>& made = fills_.madeFrom;
    if (made.size() < key_.size() || !std::equal(key_.begin(), key_.end(), made.begin())) return 0;
    return key_.size();
  };
  // Paints the sweep's fills, keeping their coverage when the table was
  // drawn unchanged in the last frame too.
  auto paintFills = [&](uint64_t keyHash, const int32_t* fillNumbers, size_t count) {
    if (paints_.empty()) return;
    if (cache_ && cache_->drawnBefore(keyHash, 0)) {
      CoverageRecording recording;
      recording.fills.assign(fillNumbers, fillNumbers + count);
      canvas_.fill(fills_, rule, settings_.antialias, paints_, &recording, cache_->budget() / 4);
      cache_->store(keyHash, key_, 0, std::move(recording));
    } else {
      canvas_.fill(fills_, rule, settings_.antialias, paints_);
    }
  };

  // Edges are drawn table by table in the order the records switched tables.
  std::vector<uint32_t> tableOrder;
  for (const auto& e : edges)
    if (tableOrder.empty() || tableOrder.back() != e.styleTable) tableOrder.push_back(e.styleTable);
  std::vector<bool> drawnTable(tables.size(), false);
  for (uint32_t t : tableOrder) {
    if (t >= tables.size() || drawnTable[t]) continue;
    drawnTable[t] = true;
    const swf::StyleTable& table = tables[t];
    const size_t fillCount = table.fills.size();
    std::vector<const swf::ShapeEdge*> tableEdges;
    for (const auto& e : edges)
      if (e.styleTable == t) tableEdges.push_back(&e);
    describe(t);
    const uint64_t keyHash = cache_ ? CoverageCache::hash(key_) : 0;
    if (const CoverageRecording* kept = cache_ ? cache_->find(keyHash, key_, 0) : nullptr) {
      // Painted from the coverage kept: only the paints are made anew.
      paints_.clear();
      paints_.reserve(kept->fills.size());
      for (int32_t f : kept->fills)
        paints_.push_back(makePaint(table.fills[size_t(f)], toDevice, cx));
      if (!paints_.empty()) canvas_.replay(*kept, paints_);
      if (!canvas_.buildingMask()) drawStrokes(table, tableEdges, toDevice, cx, keyHash);
      continue;
    }
    if (const size_t kept = keptFrom()) {
      // The same lines as last time: only their paints are made anew.
      paints_.clear();
      paints_.reserve(fills_.madeFrom.size() - kept);
      for (size_t i = kept; i < fills_.madeFrom.size(); ++i)
        paints_.push_back(makePaint(table.fills[size_t(fills_.madeFrom[i])], toDevice, cx));
      paintFills(keyHash, fills_.madeFrom.data() + kept, fills_.madeFrom.size() - kept);
      if (!canvas_.buildingMask()) drawStrokes(table, tableEdges, toDevice, cx, keyHash);
      continue;
    }
    if (!flattened) flatten();
    // Edge sides grouped by fill in one flat array (counting sort): shapes
    // may have thousands of fills, and this runs every frame.
    fillStart_.assign(fillCount + 2, 0);
    auto sides = [&](auto&& visit) {
      for (size_t i = 0; i < edges.size(); ++i) {
        const swf::ShapeEdge& e = edges[i];
        if (e.styleTable != t || e.fill0 == e.fill1) continue;  // same fill both sides: no boundary
        if (e.fill0 >= 1 && e.fill0 <= fillCount) visit(e.fill0, uint32_t(i) * 2 + 1);
        if (e.fill1 >= 1 && e.fill1 <= fillCount) visit(e.fill1, uint32_t(i) * 2);
      }
    };
    sides([&](uint32_t fill, uint32_t) { ++fillStart_[fill + 1]; });
    for (size_t f = 1; f < fillStart_.size(); ++f) fillStart_[f] += fillStart_[f - 1];
    sideCodes_.resize(fillStart_.back());
    fillCursor_.assign(fillStart_.begin(), fillStart_.end() - 1);
    sides([&](uint32_t fill, uint32_t code) { sideCodes_[fillCursor_[fill]++] = code; });
    // Every fill in one sweep, each from its own edges, later fills over
    // earlier ones.
    fills_.reset(w, h);
    paints_.clear();
    paints_.reserve(fillCount);
    std::vector<int32_t> keptFills;
    for (size_t f = 1; f <= fillCount; ++f) {
      if (fillStart_[f] == fillStart_[f + 1]) continue;
      fills_.beginFill();
      for (uint32_t s = fillStart_[f]; s < fillStart_[f + 1]; ++s) {
        const uint32_t code = sideCodes_[s];
        const uint32_t i = code / 2;
        const bool reversed = code & 1;  // fill0 is on the left: walk it backwards
        const uint32_t b = edgeStart_[i], en = edgeStart_[i + 1];
        for (uint32_t k = b; k + 1 < en; ++k) {
          if (reversed)
            fills_.addLine(points_[k + 1], points_[k]);
          else
            fills_.addLine(points_[k], points_[k + 1]);
        }
      }
      if (fills_.lastFillEmpty()) continue;
      paints_.push_back(makePaint(table.fills[f - 1], toDevice, cx));
      keptFills.push_back(int32_t(f - 1));
    }
    fills_.madeFrom.reserve(key_.size() + keptFills.size());
    fills_.madeFrom.assign(key_.begin(), key_.end());
    fills_.madeFrom.insert(fills_.madeFrom.end(), keptFills.begin(), keptFills.end());
    paintFills(keyHash, keptFills.data(), keptFills.size());
    // A mask is made of the areas its shapes fill; their outlines play no part.
    if (!canvas_.buildingMask()) drawStrokes(table, tableEdges, toDevice, cx, keyHash);
  }
}

namespace {
// Hands on outline edges stretched along the device axes.
struct StretchedSink final : EdgeSink {
  StretchedSink(EdgeSink& to, float x, float y) : out(to), sx(x), sy(y) {}
  void addLine(Point from, Point to) override {
    out.addLine({from.x * sx, from.y * sy}, {to.x * sx, to.y * sy});
  }
  EdgeSink& out;
  float sx, sy;
};
}  // namespace

void ShapeRenderer::drawStrokes(const swf::StyleTable& table,
                                const std::vector<const swf::ShapeEdge*>& edges,
                                const Affine& toDevice, const ColorTransform& cx,
                                uint64_t keyHash) {
  const size_t lineCount = table.lines.size();
  if (lineCount == 0) return;
  const int w = canvas_.width(), h = canvas_.height();
  for (size_t l = 1; l <= lineCount; ++l) {
    const swf::LineStyle& ls = table.lines[l - 1];
    StrokeStyle style;
    double width;
    float stretchX = 1, stretchY = 1;  // the pen's stretch along the device axes
    if (ls.width == 0) {
      width = 1;  // hairline: one device pixel at any scale
    } else if (ls.noHScale && ls.noVScale) {
      width = ls.width * settings_.pixelsPerTwip;
    } else if (ls.noHScale) {
      // Follows only the vertical scale (the length the y axis maps to).
      width = ls.width * std::hypot(toDevice.c, toDevice.d);
    } else if (ls.noVScale) {
      width = ls.width * std::hypot(toDevice.a, toDevice.b);
    } else {
      width = ls.width * toDevice.meanScale();
      // Stretched without turning (a window of another shape than the movie's), the
      // pen stretches with the picture: lines along the stretched axis are thicker.
      if (toDevice.b == 0 && toDevice.c == 0 && toDevice.a != 0 && toDevice.d != 0 &&
          std::abs(std::abs(toDevice.a) - std::abs(toDevice.d)) > 1e-6 * std::abs(toDevice.a)) {
        const double mean = std::sqrt(std::abs(toDevice.a * toDevice.d));
        stretchX = float(std::abs(toDevice.a) / mean);
        stretchY = float(std::abs(toDevice.d) / mean);
      }
    }
    style.width = float(std::max(width, 1.0));  // Flash never draws thinner than a pixel
    // Sampled four times a pixel, strokes a pixel wide or thinner are drawn
    // as hairlines.
    const bool thin = settings_.strokeAntialias == AntiAlias::FourSamples && width <= 1.0;
    auto cap = [](swf::CapStyle c) {
      return c == swf::CapStyle::None     ? Cap::None
             : c == swf::CapStyle::Square ? Cap::Square
                                          : Cap::Round;
    };
    style.startCap = cap(ls.startCap);
    style.endCap = cap(ls.endCap);
    style.join = ls.join == swf::JoinStyle::Bevel   ? Join::Bevel
                 : ls.join == swf::JoinStyle::Miter ? Join::Miter
                                                    : Join::Round;
    style.miterLimit = float(std::max(1.0, ls.miterLimit));

    auto strokePaint = [&] {
      strokePaint_.clear();
      strokePaint_.push_back(ls.hasFill
                                 ? makePaint(ls.fill, toDevice, cx)
                                 : Paint::solid(premultiply(cx.applyStraight(toArgb(ls.color)))));
    };
    if (const CoverageRecording* kept =
            cache_ ? cache_->find(keyHash, key_, uint32_t(l)) : nullptr) {
      strokePaint();
      canvas_.replay(*kept, strokePaint_);
      continue;
    }
    strokes_.reset(w, h);
    strokes_.beginFill();
    std::vector<Point> path;
    bool any = false;
    int32_t startX = 0, startY = 0, endX = 0, endY = 0;
    auto flush = [&]() {
      if (path.empty()) return;
      const bool closed = !ls.noClose && startX == endX && startY == endY && path.size() > 2;
      if (thin) {
        // A hairline lands half a sample step (a quarter pixel) right of and
        // below its path.
        for (Point& q : path) q = q + Point{0.25f, 0.25f};
        strokeHairline(path, closed, strokes_);
      } else if (stretchX != 1 || stretchY != 1) {
        // Stroked round where the pen is round, then stretched back.
        for (Point& q : path) q = {q.x / stretchX, q.y / stretchY};
        StretchedSink stretched{strokes_, stretchX, stretchY};
        strokePolyline(path, closed, style, stretched);
      } else {
        strokePolyline(path, closed, style, strokes_);
      }
      path.clear();
    };
    for (const swf::ShapeEdge* e : edges) {
      if (e->line != l) {
        flush();
        continue;
      }
      any = true;
      // Connected to the running path when it starts where the path ended.
      if (!path.empty() && (e->x0 != endX || e->y0 != endY)) flush();
      if (path.empty()) {
        startX = e->x0;
        startY = e->y0;
        path.push_back(mapPoint(toDevice, e->x0, e->y0));
      }
      if (e->curved)
        flattenQuad(path.back(), mapPoint(toDevice, e->cx, e->cy), mapPoint(toDevice, e->x1, e->y1),
                    settings_.curveTolerance, path);
      else
        path.push_back(mapPoint(toDevice, e->x1, e->y1));
      endX = e->x1;
      endY = e->y1;
    }
    flush();
    if (!any || strokes_.fillCount() == 0) continue;
    strokePaint();
    if (cache_ && cache_->drawnBefore(keyHash, uint32_t(l))) {
      CoverageRecording recording;
      canvas_.fill(strokes_, FillRule::NonZero, settings_.strokeAntialias, strokePaint_, &recording,
                   cache_->budget() / 4);
      cache_->store(keyHash, key_, uint32_t(l), std::move(recording));
    } else {
      canvas_.fill(strokes_, FillRule::NonZero, settings_.strokeAntialias, strokePaint_);
    }
  }
}

}  // namespace orv::movie::render
