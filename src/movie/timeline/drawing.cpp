#include "movie/timeline/drawing.h"

#include <algorithm>
#include <cmath>

#include "movie/render/hit_test.h"

namespace orv::movie {

void Drawing::clear() { *this = Drawing(); }

void Drawing::setLineStyle(const std::optional<swf::LineStyle>& style) {
  lineStyle_ = style;
  if (!style) {
    line_ = 0;
    return;
  }
  if (tables_.empty()) tables_.emplace_back();
  auto& lines = table().lines;
  // A style set again and again without drawing takes one slot.
  if (line_ != 0 && !lineUsed_)
    lines[line_ - 1] = *style;
  else
    lines.push_back(*style);
  line_ = static_cast<uint32_t>(lines.size());
  lineUsed_ = false;
}

void Drawing::beginFill(const std::optional<swf::FillStyle>& fill) {
  endFill();
  if (!fill) return;
  // Each fill gets a table of its own, so it covers what was drawn before it and the
  // strokes drawn with it lie on top of it.
  if (tables_.empty() || tableUsed_) {
    tables_.emplace_back();
    tableUsed_ = false;
  }
  table().fills.assign(1, *fill);
  table().lines.clear();
  line_ = 0;
  if (lineStyle_) setLineStyle(lineStyle_);
  fillOpen_ = true;
  fillStartX_ = penX_;
  fillStartY_ = penY_;
}

void Drawing::endFill() {
  commitClosingEdge();
  fillOpen_ = false;
}

void Drawing::moveTo(int32_t x, int32_t y) {
  commitClosingEdge();
  penX_ = fillStartX_ = x;
  penY_ = fillStartY_ = y;
}

void Drawing::lineTo(int32_t x, int32_t y) {
  swf::ShapeEdge e;
  e.x0 = penX_;
  e.y0 = penY_;
  e.cx = e.x1 = x;
  e.cy = e.y1 = y;
  addEdge(e);
}

void Drawing::curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
  swf::ShapeEdge e;
  e.x0 = penX_;
  e.y0 = penY_;
  e.cx = cx;
  e.cy = cy;
  e.x1 = x;
  e.y1 = y;
  e.curved = true;
  addEdge(e);
}

void Drawing::addEdge(swf::ShapeEdge edge) {
  if (closingEdgeOpen_) {
    edges_.pop_back();
    closingEdgeOpen_ = false;
  }
  penX_ = edge.x1;
  penY_ = edge.y1;
  // Without a fill or a line the pen only moves.
  if ((!fillOpen_ && line_ == 0) || edges_.size() >= kMaxEdges) return;
  edge.styleTable = static_cast<uint32_t>(tables_.size() - 1);
  edge.fill1 = fillOpen_ ? 1 : 0;
  edge.line = line_;
  edges_.push_back(edge);
  tableUsed_ = true;
  if (line_ != 0) lineUsed_ = true;
  if (fillOpen_ && (penX_ != fillStartX_ || penY_ != fillStartY_)) {
    swf::ShapeEdge closing;
    closing.x0 = penX_;
    closing.y0 = penY_;
    closing.cx = closing.x1 = fillStartX_;
    closing.cy = closing.y1 = fillStartY_;
    closing.styleTable = edge.styleTable;
    closing.fill1 = 1;
    edges_.push_back(closing);
    closingEdgeOpen_ = true;
  }
}

std::optional<swf::Rect> Drawing::bounds(bool withStrokes) const {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool any = false;
  auto add = [&](double x, double y, double margin) {
    if (!any) {
      x0 = x - margin;
      x1 = x + margin;
      y0 = y - margin;
      y1 = y + margin;
      any = true;
      return;
    }
    x0 = std::min(x0, x - margin);
    x1 = std::max(x1, x + margin);
    y0 = std::min(y0, y - margin);
    y1 = std::max(y1, y + margin);
  };
  for (const swf::ShapeEdge& e : edges_) {
    double margin = 0;
    if (withStrokes && e.line != 0 && e.styleTable < tables_.size()) {
      const auto& lines = tables_[e.styleTable].lines;
      // The reference player grows a drawn shape's bounds by the whole line width.
      if (e.line <= lines.size()) margin = lines[e.line - 1].width;
    }
    add(e.x0, e.y0, margin);
    add(e.x1, e.y1, margin);
    // Curves count by their control points, as the reference player's bounds do.
    if (e.curved) add(e.cx, e.cy, margin);
  }
  if (!any) return std::nullopt;
  auto twips = [](double v) { return static_cast<int32_t>(std::lround(v)); };
  return swf::Rect{twips(x0), twips(x1), twips(y0), twips(y1)};
}

bool Drawing::contains(double x, double y) const {
  if (edges_.empty()) return false;
  // A point exactly on the outline of a fill, where no line is drawn, is outside it (the
  // reference player leaves a drawn square's corners out).
  for (const swf::ShapeEdge& e : edges_) {
    if (e.curved || e.line != 0 || (e.fill0 == 0 && e.fill1 == 0)) continue;
    const double cross = (e.x1 - e.x0) * (y - e.y0) - (e.y1 - e.y0) * (x - e.x0);
    if (cross == 0 && x >= std::min(e.x0, e.x1) && x <= std::max(e.x0, e.x1) &&
        y >= std::min(e.y0, e.y1) && y <= std::max(e.y0, e.y1))
      return false;
  }
  return render::shapeContains(tables_, edges_, x, y, false);
}

}  // namespace orv::movie
