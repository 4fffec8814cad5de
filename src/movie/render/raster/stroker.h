#pragma once
// Strokes become filled outlines: one quad per segment plus join and cap
// pieces, all wound the same way, so a non-zero fill of their union paints
// the stroke.
#include <vector>

#include "movie/render/raster/geometry.h"
#include "movie/render/raster/rasterizer.h"

namespace orv::movie::render {

enum class Cap { Round, None, Square };
enum class Join { Round, Bevel, Miter };

struct StrokeStyle {
  float width = 1;  // device pixels
  Cap startCap = Cap::Round, endCap = Cap::Round;
  Join join = Join::Round;
  float miterLimit = 3;  // miter length over half the width
};

// Appends the outline of a device-space polyline to `out` (fill non-zero).
void strokePolyline(const std::vector<Point>& points, bool closed, const StrokeStyle& style,
                    EdgeSink& out);

// Appends the outline of a hairline along a device-space polyline: each
// segment swept by a one-pixel line across its main direction (vertical for
// segments wider than tall, else horizontal), so it is one pixel thick
// along every row or column it crosses, at any slope. Segments end where
// they end: no caps, no joins.
void strokeHairline(const std::vector<Point>& points, bool closed, EdgeSink& out);

// Appends the points of a quadratic curve after `from` (not `from` itself),
// flattened so the pieces stay within about `tolerance` of the curve. Where
// the cuts fall decides which pixel centres along a curve are inside at low
// quality, so it follows the usual parabola-based flattening exactly.
void flattenQuad(Point from, Point control, Point to, float tolerance, std::vector<Point>& out);

}  // namespace orv::movie::render
