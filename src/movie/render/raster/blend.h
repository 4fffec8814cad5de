#pragma once
// Blend modes of placed objects: how a layer's premultiplied pixels combine
// with what is already drawn below them.
#include <cstdint>

namespace orv::movie::render {

enum class BlendMode : uint8_t {
  Normal = 1,
  Layer = 2,
  Multiply = 3,
  Screen = 4,
  Lighten = 5,
  Darken = 6,
  Difference = 7,
  Add = 8,
  Subtract = 9,
  Invert = 10,
  Alpha = 11,
  Erase = 12,
  Overlay = 13,
  HardLight = 14,
};

// Blends premultiplied `src` onto premultiplied `dst`.
uint32_t blendPixel(BlendMode mode, uint32_t dst, uint32_t src);

}  // namespace orv::movie::render
