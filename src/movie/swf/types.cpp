#include "movie/swf/types.h"

#include <algorithm>
#include <cmath>

namespace orv::movie::swf {

namespace {
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

int Timeline::findLabel(const std::string& name) const {
  // Labels differing only in case are one label: the earliest frame holding it wins, even
  // over a later exact match.
  int found = -1;
  for (const auto& [label, frame] : labels) {
    if (label.size() == name.size() &&
        std::equal(label.begin(), label.end(), name.begin(),
                   [](char a, char b) { return lower(a) == lower(b); }) &&
        (found < 0 || static_cast<int>(frame) < found))
      found = static_cast<int>(frame);
  }
  return found;
}

std::vector<ShapeEdge> shapeEdges(const Shape& shape) {
  std::vector<ShapeEdge> edges;
  int32_t penX = 0, penY = 0;
  uint32_t fill0 = 0, fill1 = 0, line = 0, table = 0;
  for (const ShapeRecord& r : shape.records) {
    switch (r.kind) {
      case ShapeRecord::Kind::StyleChange:
        if (r.newStyles) {
          table = r.styleTable;
          fill0 = fill1 = line = 0;
        }
        if (r.hasFill0) fill0 = r.fill0;
        if (r.hasFill1) fill1 = r.fill1;
        if (r.hasLine) line = r.line;
        if (r.hasMove) {
          penX = r.x;
          penY = r.y;
        }
        break;
      case ShapeRecord::Kind::StraightEdge:
      case ShapeRecord::Kind::CurvedEdge: {
        ShapeEdge e;
        e.x0 = penX;
        e.y0 = penY;
        e.curved = r.kind == ShapeRecord::Kind::CurvedEdge;
        e.cx = e.curved ? r.cx : r.x;
        e.cy = e.curved ? r.cy : r.y;
        e.x1 = r.x;
        e.y1 = r.y;
        e.fill0 = fill0;
        e.fill1 = fill1;
        e.line = line;
        e.styleTable = table;
        edges.push_back(e);
        penX = r.x;
        penY = r.y;
        break;
      }
    }
  }
  return edges;
}

}  // namespace orv::movie::swf
