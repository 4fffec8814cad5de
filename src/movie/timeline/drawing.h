#pragma once
// A shape drawn at run time (MovieClip's drawing API): pen moves, lines and curves with
// the fill and line style in force, kept as style tables and edges of the two-fill model
// that the renderer and the hit test already use. Coordinates are twips.
#include <cstdint>
#include <optional>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie {

class Drawing {
 public:
  // Beyond this many edges further drawing is ignored (a runaway script loop).
  static constexpr size_t kMaxEdges = 1'000'000;

  // Forgets everything drawn, the styles in force and the pen position.
  void clear();
  // The line style for what is drawn next; nullopt draws no line.
  void setLineStyle(const std::optional<swf::LineStyle>& style);
  // Closes the open fill (if any) and starts a new one at the pen; nullopt starts none.
  void beginFill(const std::optional<swf::FillStyle>& fill);
  // Closes the open fill with a straight edge back to where it started (no line on it).
  void endFill();
  // Inside a fill, a move closes the part drawn so far and starts another.
  void moveTo(int32_t x, int32_t y);
  void lineTo(int32_t x, int32_t y);
  void curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);

  // An open fill is drawn as if closed: its closing edge is already among the edges.
  const std::vector<swf::StyleTable>& styleTables() const { return tables_; }
  const std::vector<swf::ShapeEdge>& edges() const { return edges_; }
  bool empty() const { return edges_.empty(); }
  // The rectangle the edges cover, curves with their control points; `withStrokes` adds
  // each stroke's whole width (both as the reference player does). nullopt when nothing is
  // drawn.
  std::optional<swf::Rect> bounds(bool withStrokes) const;
  // Whether the point lies inside a fill or on a stroke.
  bool contains(double x, double y) const;

 private:
  void addEdge(swf::ShapeEdge edge);
  void commitClosingEdge() { closingEdgeOpen_ = false; }
  swf::StyleTable& table() { return tables_.back(); }

  std::vector<swf::StyleTable> tables_;
  std::vector<swf::ShapeEdge> edges_;
  std::optional<swf::LineStyle> lineStyle_;
  uint32_t line_ = 0;             // 1-based into the current table's lines; 0: none
  bool lineUsed_ = false;         // an edge was drawn with the current line style
  bool fillOpen_ = false;         // fill 1 of the current table is being drawn
  bool closingEdgeOpen_ = false;  // edges_.back() closes the open fill for now
  bool tableUsed_ = false;        // the current table has edges
  int32_t penX_ = 0, penY_ = 0;
  int32_t fillStartX_ = 0, fillStartY_ = 0;
};

}  // namespace orv::movie
