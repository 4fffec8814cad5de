#pragma once
// Objects drawn through a bitmap cache (cacheAsBitmap, and what implies it)
// land on whole pixels: the cache's first pixel starts at the object's
// top-left corner, and the cache is put down at the nearest whole pixel.
#include <array>
#include <optional>

#include "movie/render/display_node.h"
#include "movie/render/raster/geometry.h"

namespace orv::movie::render {

struct DeviceBox {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The device-space box of everything the node draws, if it draws anything.
std::optional<DeviceBox> nodeDeviceBounds(const DisplayNode& node, const Affine& parent);

// `m` (the node's own transform to the device) moved so the node's top-left
// corner falls on the nearest whole pixel.
Affine alignCachedToPixels(const DisplayNode& node, const Affine& parent, const Affine& m);

// A node with a scroll rectangle (x, y, width, height in its own pixels) shows that
// window of its content at its origin. `window` gets the device corners of the part
// shown; the result draws the node's content, moved so the rectangle's corner sits at
// the origin.
Affine scrolledContent(const std::array<double, 4>& rect, const Affine& own,
                       std::array<Point, 4>& window);

}  // namespace orv::movie::render
