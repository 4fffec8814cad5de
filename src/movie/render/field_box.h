#pragma once
// Where an edit text field's background and border fall on the device.
//
// Flash lines a field up with the pixel grid when its transform only moves and
// scales it: the corners are taken down to whole pixels, the background fills the
// pixels from the top-left corner up to (not including) the bottom-right one, and
// the border is a one-pixel frame on the lines of both corners, whose bottom-right
// pixel is left out (half covered for fields drawn with embedded outlines).
// Fields in device fonts cannot be rotated, skewed or mirrored: under such a
// transform they are not drawn at all; a skew too small to see is ignored.
#include <vector>

#include "movie/render/raster/geometry.h"
#include "movie/swf/types.h"

namespace orv::movie::render {

struct FieldBoxGeometry {
  bool drawn = true;  // false: a device-font field the player does not show
  bool pixelAligned = true;
  // pixelAligned: the pixels of the frame's lines (x1, y1 hold the right and
  // bottom lines; the background covers [x0, x1) x [y0, y1)).
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  // Otherwise: the transformed corners, clockwise from the top-left of the bounds.
  Point corners[4];
};

// `outlines`: the field draws with an embedded font (embedFonts / UseOutlines).
FieldBoxGeometry fieldBoxGeometry(const swf::Rect& bounds, const Affine& toDevice, bool outlines);

// Axis-aligned device rectangles [x0, x1) x [y0, y1) covering the border of an
// aligned box, and the triangle that half covers its bottom-right pixel when
// `halfCorner` (three points; empty otherwise).
struct FrameShapes {
  std::vector<Box> rects;
  std::vector<Point> corner;
};
FrameShapes borderShapes(const FieldBoxGeometry& box, bool halfCorner);

}  // namespace orv::movie::render
