#include "movie/render/hit_test.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "movie/render/movie_renderer.h"

namespace orv::movie::render {
namespace {

constexpr int kMaxNesting = 32;        // characters inside characters
constexpr double kHairlineTwips = 20;  // a hairline is hit like a one-pixel line
constexpr int kMaxCurveSteps = 64;
constexpr int kMaxVisits = 20'000;  // characters looked at per test

struct Segment {
  double x0, y0, x1, y1;
};

// An edge as straight segments (curves subdivided by how far they bend).
template <class Fn>
void forEachSegment(const swf::ShapeEdge& e, Fn&& fn) {
  if (!e.curved) {
    fn(Segment{double(e.x0), double(e.y0), double(e.x1), double(e.y1)});
    return;
  }
  const double dx = double(e.x0) - 2.0 * e.cx + e.x1, dy = double(e.y0) - 2.0 * e.cy + e.y1;
  const int steps =
      std::clamp(int(std::ceil(std::sqrt(std::hypot(dx, dy) / 4))), 1, kMaxCurveSteps);
  double px = e.x0, py = e.y0;
  for (int i = 1; i <= steps; ++i) {
    const double t = double(i) / steps, u = 1 - t;
    const double x = u * u * e.x0 + 2 * u * t * e.cx + t * t * e.x1;
    const double y = u * u * e.y0 + 2 * u * t * e.cy + t * t * e.y1;
    fn(Segment{px, py, x, y});
    px = x;
    py = y;
  }
}

double distanceToSegment(const Segment& s, double x, double y) {
  const double vx = s.x1 - s.x0, vy = s.y1 - s.y0;
  const double len2 = vx * vx + vy * vy;
  double t = len2 > 0 ? ((x - s.x0) * vx + (y - s.y0) * vy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(x - (s.x0 + t * vx), y - (s.y0 + t * vy));
}

// Grows `into` by `r` mapped through `m` (its four corners).
void addMapped(std::optional<swf::Rect>& into, const swf::Rect& r, const swf::Matrix& m) {
  for (auto [x, y] :
       {std::pair{r.xMin, r.yMin}, {r.xMax, r.yMin}, {r.xMin, r.yMax}, {r.xMax, r.yMax}}) {
    const double mx = m.mapX(x, y), my = m.mapY(x, y);
    if (!std::isfinite(mx) || !std::isfinite(my)) continue;
    const int32_t ix = int32_t(std::clamp(mx, -1e9, 1e9)), iy = int32_t(std::clamp(my, -1e9, 1e9));
    if (!into) {
      into = swf::Rect{ix, ix, iy, iy};
    } else {
      into->xMin = std::min(into->xMin, ix);
      into->xMax = std::max(into->xMax, ix);
      into->yMin = std::min(into->yMin, iy);
      into->yMax = std::max(into->yMax, iy);
    }
  }
}

std::optional<swf::Rect> boundsOf(const swf::Movie& movie, const swf::Character& ch, int nesting,
                                  int& visits) {
  if (nesting > kMaxNesting || ++visits > kMaxVisits) return std::nullopt;
  if (const auto* shape = std::get_if<swf::ShapeDef>(&ch)) return shape->bounds;
  if (const auto* morph = std::get_if<swf::MorphShapeDef>(&ch)) {
    std::optional<swf::Rect> r = morph->startBounds;
    addMapped(r, morph->endBounds, swf::Matrix{});
    return r;
  }
  if (const auto* text = std::get_if<swf::TextDef>(&ch)) return text->bounds;
  if (const auto* edit = std::get_if<swf::EditTextDef>(&ch)) return edit->bounds;
  if (const auto* video = std::get_if<swf::VideoStreamDef>(&ch))
    return swf::Rect{0, int32_t(video->width) * 20, 0, int32_t(video->height) * 20};
  std::optional<swf::Rect> out;
  auto child = [&](swf::CharacterId id, const swf::Matrix& m) {
    const swf::Character* c = movie.find(id);
    if (!c || c == &ch) return;
    if (auto r = boundsOf(movie, *c, nesting + 1, visits)) addMapped(out, *r, m);
  };
  if (const auto* button = std::get_if<swf::ButtonDef>(&ch)) {
    for (const swf::ButtonRecord& r : button->records)
      if (r.up || r.over || r.down) child(r.characterId, r.matrix);
  } else if (const auto* sprite = std::get_if<swf::SpriteDef>(&ch)) {
    if (!sprite->timeline.frames.empty())
      for (const swf::DisplayTag& tag : sprite->timeline.frames.front().displayTags)
        if (const auto* place = std::get_if<swf::PlaceObject>(&tag))
          if (!place->move && place->characterId)
            child(*place->characterId, place->matrix.value_or(swf::Matrix{}));
  }
  return out;
}

}  // namespace

std::optional<swf::Rect> characterBounds(const swf::Movie& movie, const swf::Character& character) {
  int visits = 0;
  return boundsOf(movie, character, 0, visits);
}

bool shapeContains(const std::vector<swf::StyleTable>& tables,
                   const std::vector<swf::ShapeEdge>& edges, double x, double y, bool nonZero) {
  // Per fill (table, index): the winding and crossing count of a ray to the right.
  std::map<std::pair<uint32_t, uint32_t>, std::pair<int, int>> fills;
  for (const swf::ShapeEdge& e : edges) {
    if (e.styleTable >= tables.size()) continue;
    const swf::StyleTable& table = tables[e.styleTable];
    const bool hasFill = e.fill0 != e.fill1;
    const swf::LineStyle* line =
        e.line > 0 && e.line <= table.lines.size() ? &table.lines[e.line - 1] : nullptr;
    if (!hasFill && !line) continue;
    const double halfWidth = line ? std::max<double>(line->width, kHairlineTwips) / 2 : 0;
    bool onStroke = false;
    forEachSegment(e, [&](const Segment& s) {
      if (line && !onStroke && distanceToSegment(s, x, y) <= halfWidth) onStroke = true;
      if (!hasFill) return;
      int dir = 0;
      if (s.y0 <= y && y < s.y1)
        dir = 1;
      else if (s.y1 <= y && y < s.y0)
        dir = -1;
      if (dir == 0) return;
      const double xi = s.x0 + (y - s.y0) * (s.x1 - s.x0) / (s.y1 - s.y0);
      if (xi <= x) return;
      // fill1 lies on one side of the edge and fill0 on the other: opposite windings.
      if (e.fill1 > 0 && e.fill1 <= table.fills.size()) {
        auto& f = fills[{e.styleTable, e.fill1}];
        f.first += dir;
        f.second ^= 1;
      }
      if (e.fill0 > 0 && e.fill0 <= table.fills.size()) {
        auto& f = fills[{e.styleTable, e.fill0}];
        f.first -= dir;
        f.second ^= 1;
      }
    });
    if (onStroke) return true;
  }
  for (const auto& [key, f] : fills)
    if (nonZero ? f.first != 0 : f.second != 0) return true;
  return false;
}

const std::vector<swf::ShapeEdge>& HitTester::edgesOf(const swf::Shape& shape) {
  auto it = edgeCache_.find(&shape);
  if (it != edgeCache_.end()) return it->second;
  return edgeCache_.emplace(&shape, swf::shapeEdges(shape)).first->second;
}

bool HitTester::contains(const swf::Character& character, uint16_t ratio, double x, double y) {
  visits_ = 0;
  return contains(character, ratio, x, y, 0);
}

bool HitTester::contains(const swf::Character& ch, uint16_t ratio, double x, double y,
                         int nesting) {
  // Sprites placing sprites many times over grow exponentially: a hostile movie stops here.
  if (nesting > kMaxNesting || ++visits_ > kMaxVisits || !std::isfinite(x) || !std::isfinite(y))
    return false;
  auto inRect = [x, y](const swf::Rect& r) {
    return x >= r.xMin && x <= r.xMax && y >= r.yMin && y <= r.yMax;
  };
  // A placed child: the point in the child's own coordinates.
  auto child = [&](swf::CharacterId id, const swf::Matrix& m, uint16_t childRatio) {
    const swf::Character* c = movie_ ? movie_->find(id) : nullptr;
    if (!c || c == &ch) return false;
    std::optional<swf::Matrix> inv = m.inverted();
    if (!inv) return false;
    return contains(*c, childRatio, inv->mapX(x, y), inv->mapY(x, y), nesting + 1);
  };
  if (const auto* shape = std::get_if<swf::ShapeDef>(&ch)) {
    if (!inRect(shape->bounds)) return false;
    return shapeContains(shape->shape.styleTables, edgesOf(shape->shape), x, y,
                         shape->usesFillWindingRule);
  }
  if (const auto* morph = std::get_if<swf::MorphShapeDef>(&ch)) {
    std::vector<swf::StyleTable> tables;
    std::vector<swf::ShapeEdge> edges;
    interpolateMorph(*morph, ratio, tables, edges);
    return shapeContains(tables, edges, x, y, false);
  }
  if (const auto* text = std::get_if<swf::TextDef>(&ch)) return inRect(text->bounds);
  if (const auto* edit = std::get_if<swf::EditTextDef>(&ch)) return inRect(edit->bounds);
  if (const auto* button = std::get_if<swf::ButtonDef>(&ch)) {
    for (const swf::ButtonRecord& r : button->records)
      if (r.hitTest && child(r.characterId, r.matrix, 0)) return true;
    return false;
  }
  if (const auto* sprite = std::get_if<swf::SpriteDef>(&ch)) {
    if (sprite->timeline.frames.empty()) return false;
    for (const swf::DisplayTag& tag : sprite->timeline.frames.front().displayTags) {
      const auto* place = std::get_if<swf::PlaceObject>(&tag);
      if (!place || place->move || !place->characterId || place->clipDepth) continue;
      if (child(*place->characterId, place->matrix.value_or(swf::Matrix{}),
                place->ratio.value_or(0)))
        return true;
    }
    return false;
  }
  return false;
}

}  // namespace orv::movie::render
