#include "movie/swf/script_filters.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orv::movie::swf {

namespace {

using base::FilterClassId;
using base::FilterSettings;

constexpr double kPi = 3.14159265358979323846;

// The modes of a displacement map, in the order the renderer numbers them.
constexpr std::array<const char*, 4> kDisplacementModes = {"wrap", "clamp", "ignore", "color"};

double finiteOr0(double v) { return std::isfinite(v) ? v : 0.0; }

// A colour (0xRRGGBB) and an alpha (0..1) as a stored RGBA.
RGBA rgbaOf(double color, double alpha) {
  const uint32_t c = uint32_t(base::settleFilterNumber(base::FilterField::Color, color));
  return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c),
          uint8_t(std::lround(std::clamp(finiteOr0(alpha), 0.0, 1.0) * 255.0))};
}
double colorOf(RGBA c) { return double(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b); }
double alphaOf(RGBA c) { return double(c.a) / 255.0; }
float singleOf(double v) { return float(std::clamp(finiteOr0(v), -3.4e38, 3.4e38)); }
uint8_t byteOf(double v) { return uint8_t(std::clamp(finiteOr0(v), 0.0, 255.0)); }
// The angle a script sees: degrees, as stored in radians.
double degrees(double radians) { return radians * 180 / kPi; }

}  // namespace

std::optional<FilterRecord> recordOfSettings(const FilterSettings& f, FilterMapList& maps) {
  auto n = [&f](const char* name) { return f.number(name); };
  auto list = [&f](const char* name) -> const std::vector<double>& { return f.list(name); };
  const std::string& type = f.text("type");
  const uint8_t passes = uint8_t(n("quality"));
  // What bevels and gradient filters store after their colours.
  auto bevelTail = [&](auto& r) {
    r.blurX = n("blurX");
    r.blurY = n("blurY");
    r.angle = n("angle") * kPi / 180;
    r.distance = n("distance");
    r.strength = n("strength");
    r.flags = {type == "inner", n("knockout") != 0, true, type == "full", passes};
  };
  switch (f.id()) {
    case FilterClassId::DropShadow: {
      DropShadowFilter r;
      r.color = rgbaOf(n("color"), n("alpha"));
      r.blurX = n("blurX");
      r.blurY = n("blurY");
      r.angle = n("angle") * kPi / 180;
      r.distance = n("distance");
      r.strength = n("strength");
      r.flags = {n("inner") != 0, n("knockout") != 0, n("hideObject") == 0, false, passes};
      return r;
    }
    case FilterClassId::Blur:
      return BlurFilter{n("blurX"), n("blurY"), passes};
    case FilterClassId::Glow: {
      GlowFilter r;
      r.color = rgbaOf(n("color"), n("alpha"));
      r.blurX = n("blurX");
      r.blurY = n("blurY");
      r.strength = n("strength");
      r.flags = {n("inner") != 0, n("knockout") != 0, true, false, passes};
      return r;
    }
    case FilterClassId::Bevel: {
      BevelFilter r;
      r.highlight = rgbaOf(n("highlightColor"), n("highlightAlpha"));
      r.shadow = rgbaOf(n("shadowColor"), n("shadowAlpha"));
      bevelTail(r);
      return r;
    }
    case FilterClassId::GradientGlow:
    case FilterClassId::GradientBevel: {
      // Colours, alphas and ratios go together: as many as the shortest list, at most 16.
      const size_t count = std::min(
          {list("colors").size(), list("alphas").size(), list("ratios").size(), size_t(16)});
      if (count == 0) return std::nullopt;
      GradientFilter r;
      for (size_t i = 0; i < count; ++i) {
        r.colors.push_back(rgbaOf(list("colors")[i], list("alphas")[i]));
        r.ratios.push_back(byteOf(list("ratios")[i]));
      }
      bevelTail(r);
      if (f.id() == FilterClassId::GradientGlow) return GradientGlowFilter{std::move(r)};
      return GradientBevelFilter{std::move(r)};
    }
    case FilterClassId::ColorMatrix: {
      ColorMatrixFilter r;
      const std::vector<double>& m = list("matrix");
      for (size_t i = 0; i < 20; ++i) r.matrix[i] = singleOf(i < m.size() ? m[i] : 0.0);
      return r;
    }
    case FilterClassId::Convolution: {
      ConvolutionFilter r;
      r.columns = uint8_t(n("matrixX"));
      r.rows = uint8_t(n("matrixY"));
      r.divisor = singleOf(n("divisor"));
      r.bias = singleOf(n("bias"));
      const std::vector<double>& m = list("matrix");
      for (size_t i = 0; i < size_t(r.columns) * r.rows; ++i)
        r.matrix.push_back(singleOf(i < m.size() ? m[i] : 0.0));
      r.color = rgbaOf(n("color"), n("alpha"));
      r.clamp = n("clamp") != 0;
      r.preserveAlpha = n("preserveAlpha") != 0;
      return r;
    }
    case FilterClassId::DisplacementMap: {
      if (!f.map || maps.size() > 255) return std::nullopt;  // no map: nothing to draw
      DisplacementMapFilter r;
      r.mapIndex = uint8_t(maps.size());
      maps.push_back(f.map);
      r.mapX = singleOf(f.mapX);
      r.mapY = singleOf(f.mapY);
      r.componentX = byteOf(n("componentX"));
      r.componentY = byteOf(n("componentY"));
      r.scaleX = singleOf(n("scaleX"));
      r.scaleY = singleOf(n("scaleY"));
      const std::string& mode = f.text("mode");
      r.mode = uint8_t(std::find(kDisplacementModes.begin(), kDisplacementModes.end(), mode) -
                       kDisplacementModes.begin()) &
               3;
      r.color = rgbaOf(n("color"), n("alpha"));
      r.mapTransparent = f.mapTransparent;  // for reading the map back as it was
      return r;
    }
  }
  return std::nullopt;
}

FilterSettings settingsOfRecord(const FilterRecord& record,
                                std::span<const std::shared_ptr<render::Bitmap>> maps) {
  const base::FilterClassSpec* cls = base::filterClass(FilterClassId(filterId(record)));
  FilterSettings f(*cls);
  auto set = [&f](const char* name, double v) {
    if (auto* s = f.slot(name)) s->number = v;
  };
  auto flags = [&](const FilterFlags& bits) {
    set("knockout", bits.knockout ? 1 : 0);
    if (auto* t = f.slot("type")) t->text = bits.inner ? "inner" : bits.onTop ? "full" : "outer";
    set("quality", double(bits.passes));
  };
  auto color = [&](const char* colorName, const char* alphaName, RGBA c) {
    set(colorName, colorOf(c));
    set(alphaName, alphaOf(c));
  };
  auto gradient = [&](const GradientFilter& r) {
    auto& colors = f.slot("colors")->list;
    auto& alphas = f.slot("alphas")->list;
    auto& ratios = f.slot("ratios")->list;
    for (RGBA c : r.colors) {
      colors.push_back(colorOf(c));
      alphas.push_back(alphaOf(c));
    }
    for (uint8_t ratio : r.ratios) ratios.push_back(double(ratio));
    set("blurX", r.blurX);
    set("blurY", r.blurY);
    set("angle", degrees(r.angle));
    set("distance", r.distance);
    set("strength", r.strength);
    flags(r.flags);
  };
  if (const auto* r = std::get_if<DropShadowFilter>(&record)) {
    color("color", "alpha", r->color);
    set("blurX", r->blurX);
    set("blurY", r->blurY);
    set("angle", degrees(r->angle));
    set("distance", r->distance);
    set("strength", r->strength);
    flags(r->flags);
    set("inner", r->flags.inner ? 1 : 0);
    set("hideObject", r->flags.compositeSource ? 0 : 1);
  } else if (const auto* r = std::get_if<GlowFilter>(&record)) {
    color("color", "alpha", r->color);
    set("blurX", r->blurX);
    set("blurY", r->blurY);
    set("strength", r->strength);
    flags(r->flags);
    set("inner", r->flags.inner ? 1 : 0);
  } else if (const auto* r = std::get_if<BlurFilter>(&record)) {
    set("blurX", r->blurX);
    set("blurY", r->blurY);
    set("quality", double(r->passes));
  } else if (const auto* r = std::get_if<BevelFilter>(&record)) {
    color("highlightColor", "highlightAlpha", r->highlight);
    color("shadowColor", "shadowAlpha", r->shadow);
    set("blurX", r->blurX);
    set("blurY", r->blurY);
    set("angle", degrees(r->angle));
    set("distance", r->distance);
    set("strength", r->strength);
    flags(r->flags);
  } else if (const auto* r = std::get_if<GradientGlowFilter>(&record)) {
    gradient(*r);
  } else if (const auto* r = std::get_if<GradientBevelFilter>(&record)) {
    gradient(*r);
  } else if (const auto* r = std::get_if<ConvolutionFilter>(&record)) {
    set("matrixX", double(std::min<uint8_t>(r->columns, 15)));
    set("matrixY", double(std::min<uint8_t>(r->rows, 15)));
    set("divisor", r->divisor);
    set("bias", r->bias);
    auto& m = f.slot("matrix")->list;
    for (size_t i = 0; i < r->matrix.size() && m.size() < base::kMaxFilterList; ++i)
      m.push_back(r->matrix[i]);
    color("color", "alpha", r->color);
    set("clamp", r->clamp ? 1 : 0);
    set("preserveAlpha", r->preserveAlpha ? 1 : 0);
  } else if (const auto* r = std::get_if<ColorMatrixFilter>(&record)) {
    auto& m = f.slot("matrix")->list;
    for (size_t i = 0; i < m.size() && i < r->matrix.size(); ++i) m[i] = r->matrix[i];
  } else if (const auto* r = std::get_if<DisplacementMapFilter>(&record)) {
    set("componentX", r->componentX);
    set("componentY", r->componentY);
    set("scaleX", r->scaleX);
    set("scaleY", r->scaleY);
    f.slot("mode")->text = kDisplacementModes[r->mode & 3];
    color("color", "alpha", r->color);
    if (r->mapIndex < maps.size()) f.map = maps[r->mapIndex];
    f.mapX = r->mapX;
    f.mapY = r->mapY;
    f.mapTransparent = r->mapTransparent;
  }
  return f;
}

StoredFilters storeFilterSettings(std::span<const FilterSettings> filters) {
  StoredFilters out;
  std::vector<FilterRecord> records;
  for (size_t i = 0; i < filters.size() && records.size() < 255; ++i)
    if (auto r = recordOfSettings(filters[i], out.maps)) records.push_back(std::move(*r));
  if (!records.empty()) out.bytes = writeFilterList(records);
  return out;
}

std::vector<FilterSettings> readFilterSettings(
    std::span<const uint8_t> bytes, std::span<const std::shared_ptr<render::Bitmap>> maps) {
  std::vector<FilterSettings> out;
  for (const FilterRecord& r : readFilterList(bytes).filters)
    out.push_back(settingsOfRecord(r, maps));
  return out;
}

}  // namespace orv::movie::swf
