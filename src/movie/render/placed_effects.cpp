#include "movie/render/placed_effects.h"

#include "movie/base/filter_settings.h"
#include "movie/swf/script_filters.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "movie/render/raster/pixel.h"

namespace orv::movie::render {

namespace {

constexpr int kMaxPasses = 15;
constexpr int kMaxKernelSide = 15;
constexpr size_t kMaxStops = 16;

float sane(double v, float limit) {
  const float f = float(v);
  return std::isfinite(f) ? std::clamp(f, -limit, limit) : 0.0f;
}
int passes(int stored) { return std::clamp(stored, 1, kMaxPasses); }
uint32_t argb(swf::RGBA c) { return packArgb(c.a, c.r, c.g, c.b); }

void takeFlags(const swf::FilterFlags& flags, Filter& f) {
  f.inner = flags.inner;
  f.knockout = flags.knockout;
  f.compositeSource = flags.compositeSource;
  f.onTop = flags.onTop;
  f.passes = passes(flags.passes);
}

// False for filters that draw nothing.
bool convert(const swf::DropShadowFilter& s, Filter& f) {
  f.kind = FilterKind::DropShadow;
  f.color = argb(s.color);
  f.blurX = sane(s.blurX, 1024);
  f.blurY = sane(s.blurY, 1024);
  f.angle = sane(s.angle, 1000);
  f.distance = sane(s.distance, 1024);
  f.strength = std::max(0.0f, float(s.strength));
  takeFlags(s.flags, f);
  return true;
}
bool convert(const swf::BlurFilter& s, Filter& f) {
  f.kind = FilterKind::Blur;
  f.blurX = sane(s.blurX, 1024);
  f.blurY = sane(s.blurY, 1024);
  f.passes = passes(s.passes);
  return true;
}
bool convert(const swf::GlowFilter& s, Filter& f) {
  f.kind = FilterKind::Glow;
  f.color = argb(s.color);
  f.blurX = sane(s.blurX, 1024);
  f.blurY = sane(s.blurY, 1024);
  f.strength = std::max(0.0f, float(s.strength));
  takeFlags(s.flags, f);
  return true;
}
bool convert(const swf::BevelFilter& s, Filter& f) {
  f.kind = FilterKind::Bevel;
  f.highlight = argb(s.highlight);
  f.color = argb(s.shadow);
  f.blurX = sane(s.blurX, 1024);
  f.blurY = sane(s.blurY, 1024);
  f.angle = sane(s.angle, 1000);
  f.distance = sane(s.distance, 1024);
  f.strength = std::max(0.0f, float(s.strength));
  takeFlags(s.flags, f);
  return true;
}
bool convertGradient(const swf::GradientFilter& s, FilterKind kind, Filter& f) {
  f.kind = kind;
  const size_t kept = std::min({s.colors.size(), s.ratios.size(), kMaxStops});
  for (size_t c = 0; c < kept; ++c) f.stops[c] = {s.ratios[c], argb(s.colors[c])};
  f.stopCount = int(kept);
  f.blurX = sane(s.blurX, 1024);
  f.blurY = sane(s.blurY, 1024);
  f.angle = sane(s.angle, 1000);
  f.distance = sane(s.distance, 1024);
  f.strength = std::max(0.0f, float(s.strength));
  takeFlags(s.flags, f);
  return kept > 0;
}
bool convert(const swf::GradientGlowFilter& s, Filter& f) {
  return convertGradient(s, FilterKind::GradientGlow, f);
}
bool convert(const swf::GradientBevelFilter& s, Filter& f) {
  return convertGradient(s, FilterKind::GradientBevel, f);
}
bool convert(const swf::ConvolutionFilter& s, Filter& f) {
  f.kind = FilterKind::Convolution;
  f.columns = s.columns;
  f.rows = s.rows;
  f.divisor = sane(s.divisor, 1e6f);
  f.bias = sane(s.bias, 1e6f);
  // Matrices past 15 by 15 are not drawn: each pixel would cost thousands of steps.
  const size_t factors = size_t(f.columns) * size_t(f.rows);
  if (factors == 0 || f.columns > kMaxKernelSide || f.rows > kMaxKernelSide ||
      s.matrix.size() < factors)
    return false;
  f.kernel.resize(factors);
  for (size_t i = 0; i < factors; ++i) f.kernel[i] = sane(s.matrix[i], 1e6f);
  f.color = argb(s.color);
  f.clamp = s.clamp;
  f.preserveAlpha = s.preserveAlpha;
  return true;
}
bool convert(const swf::ColorMatrixFilter& s, Filter& f) {
  f.kind = FilterKind::ColorMatrix;
  for (size_t i = 0; i < s.matrix.size(); ++i) f.matrix[i] = sane(s.matrix[i], 1e6f);
  return true;
}
bool convert(const swf::DisplacementMapFilter& s, Filter& f) {
  f.kind = FilterKind::DisplacementMap;
  f.mapIndex = s.mapIndex;
  f.mapX = sane(s.mapX, 1e6f);
  f.mapY = sane(s.mapY, 1e6f);
  f.componentX = s.componentX;
  f.componentY = s.componentY;
  f.scaleX = sane(s.scaleX, 65536);
  f.scaleY = sane(s.scaleY, 65536);
  f.mode = DisplacementMode(std::min<uint8_t>(s.mode, uint8_t(DisplacementMode::Color)));
  f.color = argb(s.color);
  return true;
}

}  // namespace

std::vector<Filter> rasterFilters(std::span<const swf::FilterRecord> records) {
  std::vector<Filter> out;
  out.reserve(records.size());
  for (const swf::FilterRecord& record : records) {
    Filter f;
    if (std::visit([&f](const auto& r) { return convert(r, f); }, record))
      out.push_back(std::move(f));
  }
  return out;
}

bool rasterFilterOf(const base::FilterSettings& filter, Filter& out, FilterMaps& maps) {
  swf::FilterMapList ownMaps;
  std::optional<swf::FilterRecord> record = swf::recordOfSettings(filter, ownMaps);
  if (!record) return false;
  std::vector<Filter> raster = rasterFilters({&*record, 1});
  if (raster.empty()) return false;
  out = std::move(raster[0]);
  if (!ownMaps.empty()) {
    out.mapIndex = uint32_t(maps.size());
    maps.push_back(ownMaps[0]);
  }
  return true;
}

std::vector<Filter> parseFilters(const uint8_t* data, size_t size) {
  if (!data || size == 0) return {};
  return rasterFilters(swf::readFilterList({data, size}).filters);
}

BlendMode blendModeFromSwf(uint8_t value) {
  static constexpr BlendMode kStored[] = {
      BlendMode::Normal, BlendMode::Normal,   BlendMode::Layer,    BlendMode::Multiply,
      BlendMode::Screen, BlendMode::Lighten,  BlendMode::Darken,   BlendMode::Difference,
      BlendMode::Add,    BlendMode::Subtract, BlendMode::Invert,   BlendMode::Alpha,
      BlendMode::Erase,  BlendMode::Overlay,  BlendMode::HardLight};
  return value < std::size(kStored) ? kStored[value] : BlendMode::Normal;
}

}  // namespace orv::movie::render
