#pragma once
// Colour transforms, as SWF's CXFORM: each channel of a straight (not premultiplied)
// colour multiplied, then offset. Movies, the timeline and scripts keep them in double
// precision (`ColorTransform`); the raster core draws with them in single precision
// (`ColorTransformF`, the same numbers rounded), composing and applying them as floats.
#include <cstdint>

namespace orv::movie::base {

// A straight colour of 8-bit channels.
struct RGBA {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const RGBA&) const = default;
};

template <class Number>
struct BasicColorTransform {
  Number rMul = 1, gMul = 1, bMul = 1, aMul = 1;  // 1 leaves a channel as it is
  Number rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;  // in 0..255 units

  // (this * inner): `inner` first, then this (parent * child).
  BasicColorTransform operator*(const BasicColorTransform& in) const {
    return {rMul * in.rMul,        gMul * in.gMul,        bMul * in.bMul,
            aMul * in.aMul,        rMul * in.rAdd + rAdd, gMul * in.gAdd + gAdd,
            bMul * in.bAdd + bAdd, aMul * in.aAdd + aAdd};
  }
  bool isIdentity() const { return *this == BasicColorTransform{}; }
  bool operator==(const BasicColorTransform&) const = default;

  // The same numbers in another precision.
  template <class Other>
  BasicColorTransform<Other> as() const {
    return {Other(rMul), Other(gMul), Other(bMul), Other(aMul),
            Other(rAdd), Other(gAdd), Other(bAdd), Other(aAdd)};
  }

  // A channel's result: clamped to 0..255 and truncated, as 8.8 fixed point does (not a
  // number gives 0).
  static uint32_t channel(Number v) { return v > 0 ? (v < 255 ? uint32_t(v) : 255u) : 0u; }

  // A straight 0xAARRGGBB colour through the transform.
  uint32_t applyStraight(uint32_t argb) const {
    return channel(Number(argb >> 24) * aMul + aAdd) << 24 |
           channel(Number((argb >> 16) & 255) * rMul + rAdd) << 16 |
           channel(Number((argb >> 8) & 255) * gMul + gAdd) << 8 |
           channel(Number(argb & 255) * bMul + bAdd);
  }
  RGBA apply(RGBA c) const {
    return {uint8_t(channel(c.r * rMul + rAdd)), uint8_t(channel(c.g * gMul + gAdd)),
            uint8_t(channel(c.b * bMul + bAdd)), uint8_t(channel(c.a * aMul + aAdd))};
  }
};

using ColorTransform = BasicColorTransform<double>;
using ColorTransformF = BasicColorTransform<float>;

}  // namespace orv::movie::base
