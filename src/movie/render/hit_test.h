#pragma once
// Point-in-character tests for the mouse: whether a point lies inside a character's
// fills or on its strokes, with the same two-fill edge model the renderer draws with.
// Points are in the character's own twips.
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie::render {

// Inside a fill (each fill style's region on its own: even-odd, or non-zero when asked)
// or within half a stroke's width of an edge that has a line style.
bool shapeContains(const std::vector<swf::StyleTable>& tables,
                   const std::vector<swf::ShapeEdge>& edges, double x, double y, bool nonZero);

// The rectangle a character covers in its own twips (buttons: all their records; sprites:
// the objects of their first frame); nullopt when it draws nothing.
std::optional<swf::Rect> characterBounds(const swf::Movie& movie, const swf::Character& character);

// Characters of one movie: shapes and morphs by geometry, text by its bounds, buttons
// by their hit-area records, sprites by the objects of their first frame.
class HitTester {
 public:
  // `movie` must outlive the tester.
  explicit HitTester(const swf::Movie* movie) : movie_(movie) {}
  // `ratio` is a morph's (0..65535).
  bool contains(const swf::Character& character, uint16_t ratio, double x, double y);

 private:
  bool contains(const swf::Character& character, uint16_t ratio, double x, double y, int nesting);
  const std::vector<swf::ShapeEdge>& edgesOf(const swf::Shape& shape);

  const swf::Movie* movie_;
  int visits_ = 0;
  std::unordered_map<const swf::Shape*, std::vector<swf::ShapeEdge>> edgeCache_;
};

}  // namespace orv::movie::render
