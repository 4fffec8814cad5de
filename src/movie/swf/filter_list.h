#pragma once
// FILTERLIST: the filters a PlaceObject3 tag or a button record stores, as plain records,
// read from the stored bytes and written back to them. Scripts keep a clip's filters in
// the same form (MovieClip.filters), with one kind of our own: a displacement map, whose
// bitmap a file cannot hold, naming its map by number.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie::swf {

// Fixed-point fields (16.16 blurs, angles in radians and distances; 8.8 strengths) hold
// the stored numbers exactly. Writing rounds to the nearest stored step, clamped to the
// field's range (not-a-number as 0). Single-precision fields hold the stored bits as read,
// infinities and not-a-number included.

// The flags byte of shadows, glows and bevels.
struct FilterFlags {
  bool inner = false, knockout = false;
  bool compositeSource = true;  // the object drawn under its shadow or glow
  bool onTop = false;           // bevels and gradient filters only: inner and outer
  uint8_t passes = 1;           // 5 bits for shadows and glows, 4 for bevels
};

struct DropShadowFilter {
  RGBA color;
  double blurX = 0, blurY = 0, angle = 0, distance = 0, strength = 1;
  FilterFlags flags;
};

struct BlurFilter {
  double blurX = 0, blurY = 0;
  uint8_t passes = 1;  // 5 bits
};

struct GlowFilter {
  RGBA color;
  double blurX = 0, blurY = 0, strength = 1;
  FilterFlags flags;
};

struct BevelFilter {
  RGBA highlight, shadow;  // stored in this order
  double blurX = 0, blurY = 0, angle = 0, distance = 0, strength = 1;
  FilterFlags flags;
};

// Gradient glows and bevels: as many ratios as colours (at most 255).
struct GradientFilter {
  std::vector<RGBA> colors;
  std::vector<uint8_t> ratios;
  double blurX = 0, blurY = 0, angle = 0, distance = 0, strength = 1;
  FilterFlags flags;
};
struct GradientGlowFilter : GradientFilter {};
struct GradientBevelFilter : GradientFilter {};

struct ConvolutionFilter {
  uint8_t columns = 0, rows = 0;
  float divisor = 1, bias = 0;
  std::vector<float> matrix;  // columns x rows, row by row (written padded with 0s)
  RGBA color;
  bool clamp = true, preserveAlpha = true;
};

struct ColorMatrixFilter {
  std::array<float, 20> matrix = {};  // rows r, g, b, a: four factors and an offset
};

// Ours: the map is the `mapIndex`th bitmap kept beside the list.
struct DisplacementMapFilter {
  uint8_t mapIndex = 0;
  float mapX = 0, mapY = 0;
  uint8_t componentX = 0, componentY = 0;
  float scaleX = 0, scaleY = 0;
  uint8_t mode = 0;  // wrap, clamp, ignore, colour
  RGBA color;
  bool mapTransparent = true;  // how the map's bitmap reads back
};

// Each record's place in the variant is its stored filter id.
using FilterRecord =
    std::variant<DropShadowFilter, BlurFilter, GlowFilter, BevelFilter, GradientGlowFilter,
                 ConvolutionFilter, ColorMatrixFilter, GradientBevelFilter, DisplacementMapFilter>;
inline int filterId(const FilterRecord& f) { return int(f.index()); }

// Where a list comes from: a file cannot hold displacement maps.
enum class FilterSource : uint8_t { File, Script };

struct FilterListRead {
  enum class End : uint8_t { Whole, Cut, UnknownKind };
  std::vector<FilterRecord> filters;  // the records read whole, in order
  End end = End::Whole;
  uint8_t unknownId = 0;  // the id that stopped the list (UnknownKind)
  size_t size = 0;        // bytes the list took (Whole)
};

// Reads a count byte and that many records. A record cut short, or of a kind not known,
// ends the list: the records before it are kept.
FilterListRead readFilterList(std::span<const uint8_t> bytes,
                              FilterSource from = FilterSource::Script);

// The stored form of `filters` (at most the first 255).
std::vector<uint8_t> writeFilterList(std::span<const FilterRecord> filters);

}  // namespace orv::movie::swf
