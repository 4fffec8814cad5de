#include "movie/render/bitmap_cache.h"

#include <algorithm>
#include <cmath>
#include <variant>

#include "movie/timeline/drawing.h"

namespace orv::movie::render {
namespace {

constexpr int kMaxDepth = 64;  // as deep as the renderer draws

void addRect(const swf::Rect& r, const Affine& m, std::optional<DeviceBox>& box) {
  if (r.xMin > r.xMax || r.yMin > r.yMax) return;
  const Point corners[4] = {mapPoint(m, r.xMin, r.yMin), mapPoint(m, r.xMax, r.yMin),
                            mapPoint(m, r.xMax, r.yMax), mapPoint(m, r.xMin, r.yMax)};
  for (const Point& p : corners) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
    if (!box) {
      box = DeviceBox{p.x, p.y, p.x, p.y};
      continue;
    }
    box->x0 = std::min(box->x0, double(p.x));
    box->y0 = std::min(box->y0, double(p.y));
    box->x1 = std::max(box->x1, double(p.x));
    box->y1 = std::max(box->y1, double(p.y));
  }
}

Affine matrixOf(const swf::Matrix& s) { return {s.a, s.b, s.c, s.d, s.tx, s.ty}; }

void collect(const DisplayNode& node, const Affine& parent, int depth,
             std::optional<DeviceBox>& box) {
  if (depth > kMaxDepth || !node.visible || node.clipDepth > 0) return;
  const Affine m = parent * matrixOf(node.matrix);
  if (node.drawing)
    if (auto r = node.drawing->bounds(true)) addRect(*r, m, box);
  if (!node.children.empty()) {
    for (const DisplayNode& child : node.children) collect(child, m, depth + 1, box);
    return;
  }
  if (!node.character) return;
  const swf::Character& ch = *node.character;
  if (const auto* shape = std::get_if<swf::ShapeDef>(&ch)) {
    addRect(shape->bounds, m, box);
  } else if (const auto* morph = std::get_if<swf::MorphShapeDef>(&ch)) {
    addRect(morph->startBounds, m, box);
    addRect(morph->endBounds, m, box);
  } else if (const auto* text = std::get_if<swf::TextDef>(&ch)) {
    addRect(text->bounds, m, box);
  } else if (const auto* edit = std::get_if<swf::EditTextDef>(&ch)) {
    addRect(edit->bounds, m, box);
  }
}

}  // namespace

std::optional<DeviceBox> nodeDeviceBounds(const DisplayNode& node, const Affine& parent) {
  std::optional<DeviceBox> box;
  collect(node, parent, 0, box);
  return box;
}

Affine alignCachedToPixels(const DisplayNode& node, const Affine& parent, const Affine& m) {
  const std::optional<DeviceBox> box = nodeDeviceBounds(node, parent);
  if (!box) return m;
  const double dx = std::floor(box->x0 + 0.5) - box->x0, dy = std::floor(box->y0 + 0.5) - box->y0;
  return Affine::translate(dx, dy) * m;
}

Affine scrolledContent(const std::array<double, 4>& rect, const Affine& own,
                       std::array<Point, 4>& window) {
  const Affine& at = own;
  const double w = rect[2] * 20, h = rect[3] * 20;  // pixels of the clip's space in twips
  window = {mapPoint(at, 0, 0), mapPoint(at, w, 0), mapPoint(at, w, h), mapPoint(at, 0, h)};
  return at * Affine::translate(-rect[0] * 20, -rect[1] * 20);
}

}  // namespace orv::movie::render
