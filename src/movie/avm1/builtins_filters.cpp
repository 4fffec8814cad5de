// flash.filters (SWF 8): the filter classes and MovieClip.filters. A filter object keeps
// its settings, clamped as a Flash player clamps them; a clip's filters are kept in the
// form a movie file stores them, so filters placed by the timeline and filters set by
// scripts are drawn alike, and reading MovieClip.filters gives new objects each time.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "movie/avm1/bitmap_values.h"
#include "movie/avm1/host.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"
#include "movie/swf/filter_list.h"

namespace orv::movie::avm1 {

namespace {

// How a setting takes the values scripts give it.
enum class Field : uint8_t {
  Number,    // any number
  Color,     // 0xRRGGBB
  Unit,      // 0..1 (alphas)
  Blur,      // 0..255 pixels
  Strength,  // 0..255
  Quality,   // 0..15 passes
  Side,      // 0..15 (a convolution matrix's columns or rows)
  Flag,      // true or false
  Type,      // "inner", "outer" or "full"
  Mode,      // "wrap", "clamp", "ignore" or "color"
  List,      // an array of numbers
  Any,       // kept as given
};

struct FieldSpec {
  const char* name;
  Field type;
  double number = 0;           // default of numbers and flags
  const char* text = nullptr;  // default of texts
};

// The filter ids a movie file uses, and ours for a displacement map: a file cannot
// store one (its map is a bitmap), so its id only ever names a script's.
enum FilterId : int {
  kDropShadow = 0,
  kBlur,
  kGlow,
  kBevel,
  kGradientGlow,
  kConvolution,
  kColorMatrix,
  kGradientBevel,
  kDisplacementMap
};

// A filter class: its settings in the order the prototype gets them, and the
// constructor's parameters in order.
struct FilterSpec {
  const char* name;
  int id;
  std::span<const FieldSpec> fields;
  std::span<const char* const> constructorArgs;
};

constexpr FieldSpec kDropShadowFields[] = {
    {"distance", Field::Number, 4},   {"angle", Field::Number, 45},   {"color", Field::Color, 0},
    {"alpha", Field::Unit, 1},        {"quality", Field::Quality, 1}, {"inner", Field::Flag, 0},
    {"knockout", Field::Flag, 0},     {"blurX", Field::Blur, 4},      {"blurY", Field::Blur, 4},
    {"strength", Field::Strength, 1}, {"hideObject", Field::Flag, 0}};
constexpr const char* kDropShadowArgs[] = {"distance", "angle",    "color",     "alpha",
                                           "blurX",    "blurY",    "strength",  "quality",
                                           "inner",    "knockout", "hideObject"};
constexpr FieldSpec kBlurFields[] = {
    {"blurX", Field::Blur, 4}, {"blurY", Field::Blur, 4}, {"quality", Field::Quality, 1}};
constexpr const char* kBlurArgs[] = {"blurX", "blurY", "quality"};
constexpr FieldSpec kGlowFields[] = {
    {"color", Field::Color, 0xFF0000}, {"alpha", Field::Unit, 1},
    {"quality", Field::Quality, 1},    {"inner", Field::Flag, 0},
    {"knockout", Field::Flag, 0},      {"blurX", Field::Blur, 6},
    {"blurY", Field::Blur, 6},         {"strength", Field::Strength, 2}};
constexpr const char* kGlowArgs[] = {"color",    "alpha",   "blurX", "blurY",
                                     "strength", "quality", "inner", "knockout"};
constexpr FieldSpec kBevelFields[] = {{"distance", Field::Number, 4},
                                      {"angle", Field::Number, 45},
                                      {"highlightColor", Field::Color, 0xFFFFFF},
                                      {"highlightAlpha", Field::Unit, 1},
                                      {"shadowColor", Field::Color, 0},
                                      {"shadowAlpha", Field::Unit, 1},
                                      {"quality", Field::Quality, 1},
                                      {"strength", Field::Strength, 1},
                                      {"knockout", Field::Flag, 0},
                                      {"blurX", Field::Blur, 4},
                                      {"blurY", Field::Blur, 4},
                                      {"type", Field::Type, 0, "inner"}};
constexpr const char* kBevelArgs[] = {
    "distance", "angle", "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha",
    "blurX",    "blurY", "strength",       "quality",        "type",        "knockout"};
// The gradient glow and the gradient bevel have the same settings.
constexpr FieldSpec kGradientFields[] = {
    {"distance", Field::Number, 4},   {"angle", Field::Number, 45},
    {"colors", Field::List},          {"alphas", Field::List},
    {"ratios", Field::List},          {"blurX", Field::Blur, 4},
    {"blurY", Field::Blur, 4},        {"quality", Field::Quality, 1},
    {"strength", Field::Strength, 1}, {"knockout", Field::Flag, 0},
    {"type", Field::Type, 0, "inner"}};
constexpr const char* kGradientArgs[] = {"distance", "angle", "colors",  "alphas",
                                         "ratios",   "blurX", "blurY",   "strength",
                                         "quality",  "type",  "knockout"};
constexpr FieldSpec kColorMatrixFields[] = {{"matrix", Field::List}};
constexpr const char* kColorMatrixArgs[] = {"matrix"};
constexpr FieldSpec kConvolutionFields[] = {
    {"matrixX", Field::Side, 0},   {"matrixY", Field::Side, 0}, {"matrix", Field::List},
    {"divisor", Field::Number, 1}, {"bias", Field::Number, 0},  {"preserveAlpha", Field::Flag, 1},
    {"clamp", Field::Flag, 1},     {"color", Field::Color, 0},  {"alpha", Field::Unit, 0}};
constexpr const char* kConvolutionArgs[] = {"matrixX",       "matrixY", "matrix", "divisor", "bias",
                                            "preserveAlpha", "clamp",   "color",  "alpha"};
constexpr FieldSpec kDisplacementFields[] = {
    {"mapBitmap", Field::Any},        {"mapPoint", Field::Any},
    {"componentX", Field::Number, 0}, {"componentY", Field::Number, 0},
    {"scaleX", Field::Number, 0},     {"scaleY", Field::Number, 0},
    {"mode", Field::Mode, 0, "wrap"}, {"color", Field::Color, 0},
    {"alpha", Field::Unit, 0}};
constexpr const char* kDisplacementArgs[] = {"mapBitmap",  "mapPoint", "componentX",
                                             "componentY", "scaleX",   "scaleY",
                                             "mode",       "color",    "alpha"};

constexpr FilterSpec kFilters[] = {
    {"DropShadowFilter", kDropShadow, kDropShadowFields, kDropShadowArgs},
    {"BlurFilter", kBlur, kBlurFields, kBlurArgs},
    {"GlowFilter", kGlow, kGlowFields, kGlowArgs},
    {"BevelFilter", kBevel, kBevelFields, kBevelArgs},
    {"GradientGlowFilter", kGradientGlow, kGradientFields, kGradientArgs},
    {"GradientBevelFilter", kGradientBevel, kGradientFields, kGradientArgs},
    {"ColorMatrixFilter", kColorMatrix, kColorMatrixFields, kColorMatrixArgs},
    {"ConvolutionFilter", kConvolution, kConvolutionFields, kConvolutionArgs},
    {"DisplacementMapFilter", kDisplacementMap, kDisplacementFields, kDisplacementArgs},
};
constexpr size_t kFilterCount = std::size(kFilters);

const FilterSpec* classById(int id) {
  for (const FilterSpec& c : kFilters)
    if (c.id == id) return &c;
  return nullptr;
}

int fieldIndex(const FilterSpec& cls, std::string_view name) {
  for (size_t i = 0; i < cls.fields.size(); ++i)
    if (name == cls.fields[i].name) return int(i);
  return -1;
}

// Lists hold at most this many numbers (a convolution matrix is at most 15 by 15).
constexpr size_t kMaxList = 225;

class FilterObject : public Object {
 public:
  struct Slot {
    double number = 0;
    std::string text;
    std::vector<double> list;
    Value any;
  };
  explicit FilterObject(const FilterSpec& s)
      : Object(ObjectKind::Other), cls(&s), slots(s.fields.size()) {
    className = s.name;
    for (size_t i = 0; i < s.fields.size(); ++i) {
      slots[i].number = s.fields[i].number;
      if (s.fields[i].text) slots[i].text = s.fields[i].text;
    }
    if (s.id == kColorMatrix) {
      slots[0].list.assign(20, 0.0);
      for (int k = 0; k < 4; ++k) slots[0].list[size_t(k) * 6] = 1;  // the identity
    }
  }
  void traceRefs(std::vector<Object*>& out) override {
    Object::traceRefs(out);
    for (const Slot& s : slots)
      if (s.any.isObject()) out.push_back(s.any.asObject());
  }
  double number(std::string_view name) const {
    const int i = fieldIndex(*cls, name);
    return i < 0 ? 0 : slots[size_t(i)].number;
  }
  const Slot* slot(std::string_view name) const {
    const int i = fieldIndex(*cls, name);
    return i < 0 ? nullptr : &slots[size_t(i)];
  }
  Slot* slot(std::string_view name) {
    const int i = fieldIndex(*cls, name);
    return i < 0 ? nullptr : &slots[size_t(i)];
  }

  const FilterSpec* cls;
  std::vector<Slot> slots;
};

FilterObject* filterOf(const Value& v) {
  return v.isObject() ? dynamic_cast<FilterObject*>(v.asObject()) : nullptr;
}

double finiteOr(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

// Takes a script's value into a setting, as the class's setter would.
void assign(Vm& vm, const FieldSpec& field, FilterObject::Slot& slot, const Value& v) {
  switch (field.type) {
    case Field::Number:
      slot.number = vm.toNumber(v);
      break;
    case Field::Color:
      slot.number = double(uint32_t(int64_t(finiteOr(vm.toNumber(v), 0))) & 0xFFFFFFu);
      break;
    case Field::Unit:
      slot.number = std::clamp(finiteOr(vm.toNumber(v), 0), 0.0, 1.0);
      break;
    case Field::Blur:
      slot.number = std::clamp(finiteOr(vm.toNumber(v), 0), 0.0, 255.0);
      break;
    case Field::Strength:
      slot.number = std::clamp(finiteOr(vm.toNumber(v), 0), 0.0, 255.0);
      break;
    case Field::Quality:
      slot.number = std::clamp(std::trunc(finiteOr(vm.toNumber(v), 0)), 0.0, 15.0);
      break;
    case Field::Side:
      slot.number = std::clamp(std::trunc(finiteOr(vm.toNumber(v), 0)), 0.0, 15.0);
      break;
    case Field::Flag:
      slot.number = vm.toBool(v) ? 1 : 0;
      break;
    case Field::Type: {
      const std::string t = vm.toString(v);
      if (t == "inner" || t == "outer" || t == "full") slot.text = t;
      break;
    }
    case Field::Mode: {
      const std::string m = vm.toString(v);
      if (m == "wrap" || m == "clamp" || m == "ignore" || m == "color") slot.text = m;
      break;
    }
    case Field::List: {
      slot.list.clear();
      if (!v.isObject()) break;
      Object* a = v.asObject();
      const double n = finiteOr(vm.toNumber(vm.getMember(a, "length")), 0);
      for (size_t i = 0; i < size_t(std::clamp(n, 0.0, double(kMaxList))); ++i)
        slot.list.push_back(vm.toNumber(vm.getMember(a, std::to_string(i))));
      break;
    }
    case Field::Any:
      slot.any = v;
      break;
  }
}

Value fieldValue(Vm& vm, const FieldSpec& field, const FilterObject::Slot& slot) {
  switch (field.type) {
    case Field::Flag:
      return Value(slot.number != 0);
    case Field::Type:
    case Field::Mode:
      return Value(slot.text);
    case Field::List: {
      std::vector<Value> items;
      for (double d : slot.list) items.push_back(Value(d));
      return Value(vm.newArray(std::move(items)));
    }
    case Field::Any:
      return slot.any;
    default:
      return Value(slot.number);
  }
}

// ---------------------------------------------------------------- the stored form

constexpr double kPi = 3.14159265358979323846;

// The modes of a displacement map, in the order the renderer numbers them.
constexpr std::array<const char*, 4> kDisplacementModes = {"wrap", "clamp", "ignore", "color"};

// A colour (0xRRGGBB) and an alpha (0..1) as a stored RGBA.
swf::RGBA rgbaOf(double color, double alpha) {
  const uint32_t c = uint32_t(color);
  return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c),
          uint8_t(std::lround(std::clamp(alpha, 0.0, 1.0) * 255.0))};
}
double colorOf(swf::RGBA c) { return double(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b); }
double alphaOf(swf::RGBA c) { return double(c.a) / 255.0; }
float singleOf(double v) { return float(finiteOr(v, 0)); }

// One filter as a movie file stores it (a displacement map in our own form, its
// bitmap added to `maps`); nothing for those that draw nothing.
std::optional<swf::FilterRecord> encode(Vm& vm, const FilterObject& f,
                                        std::vector<std::shared_ptr<render::Bitmap>>& maps) {
  const FilterSpec& s = *f.cls;
  auto n = [&f](const char* name) { return f.number(name); };
  auto list = [&f](const char* name) -> const std::vector<double>& { return f.slot(name)->list; };
  auto type = [&f]() { return f.slot("type")->text; };
  const uint8_t passes = uint8_t(n("quality"));
  // What bevels and gradient filters store after their colours.
  auto bevelTail = [&](auto& r) {
    r.blurX = n("blurX");
    r.blurY = n("blurY");
    r.angle = n("angle") * kPi / 180;
    r.distance = n("distance");
    r.strength = n("strength");
    r.flags = {type() == "inner", n("knockout") != 0, true, type() == "full", passes};
  };
  switch (s.id) {
    case kDropShadow: {
      swf::DropShadowFilter r;
      r.color = rgbaOf(n("color"), n("alpha"));
      r.blurX = n("blurX");
      r.blurY = n("blurY");
      r.angle = n("angle") * kPi / 180;
      r.distance = n("distance");
      r.strength = n("strength");
      r.flags = {n("inner") != 0, n("knockout") != 0, n("hideObject") == 0, false, passes};
      return r;
    }
    case kBlur:
      return swf::BlurFilter{n("blurX"), n("blurY"), passes};
    case kGlow: {
      swf::GlowFilter r;
      r.color = rgbaOf(n("color"), n("alpha"));
      r.blurX = n("blurX");
      r.blurY = n("blurY");
      r.strength = n("strength");
      r.flags = {n("inner") != 0, n("knockout") != 0, true, false, passes};
      return r;
    }
    case kBevel: {
      swf::BevelFilter r;
      r.highlight = rgbaOf(n("highlightColor"), n("highlightAlpha"));
      r.shadow = rgbaOf(n("shadowColor"), n("shadowAlpha"));
      bevelTail(r);
      return r;
    }
    case kGradientGlow:
    case kGradientBevel: {
      // Colours, alphas and ratios go together: as many as the shortest list, at most 16.
      const size_t count = std::min(
          {list("colors").size(), list("alphas").size(), list("ratios").size(), size_t(16)});
      if (count == 0) return std::nullopt;
      swf::GradientFilter r;
      for (size_t i = 0; i < count; ++i) {
        r.colors.push_back(
            rgbaOf(double(uint32_t(int64_t(finiteOr(list("colors")[i], 0))) & 0xFFFFFFu),
                   finiteOr(list("alphas")[i], 0)));
        r.ratios.push_back(uint8_t(std::clamp(finiteOr(list("ratios")[i], 0), 0.0, 255.0)));
      }
      bevelTail(r);
      if (s.id == kGradientGlow) return swf::GradientGlowFilter{std::move(r)};
      return swf::GradientBevelFilter{std::move(r)};
    }
    case kColorMatrix: {
      swf::ColorMatrixFilter r;
      const std::vector<double>& m = list("matrix");
      for (size_t i = 0; i < 20; ++i) r.matrix[i] = singleOf(i < m.size() ? m[i] : 0.0);
      return r;
    }
    case kConvolution: {
      swf::ConvolutionFilter r;
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
    case kDisplacementMap: {
      bool transparent = true;
      std::shared_ptr<render::Bitmap> map =
          bitmapDataPixels(f.slot("mapBitmap")->any, &transparent);
      if (!map || maps.size() > 255) return std::nullopt;  // no map: nothing to draw
      const Value& point = f.slot("mapPoint")->any;
      auto coordinate = [&](const char* name) {
        return point.isObject() ? finiteOr(vm.toNumber(vm.getMember(point.asObject(), name)), 0)
                                : 0.0;
      };
      auto component = [&](const char* name) {
        return uint8_t(std::clamp(finiteOr(n(name), 0), 0.0, 255.0));
      };
      swf::DisplacementMapFilter r;
      r.mapIndex = uint8_t(maps.size());
      maps.push_back(std::move(map));
      r.mapX = singleOf(coordinate("x"));
      r.mapY = singleOf(coordinate("y"));
      r.componentX = component("componentX");
      r.componentY = component("componentY");
      r.scaleX = singleOf(n("scaleX"));
      r.scaleY = singleOf(n("scaleY"));
      const std::string& mode = f.slot("mode")->text;
      r.mode = uint8_t(std::find(kDisplacementModes.begin(), kDisplacementModes.end(), mode) -
                       kDisplacementModes.begin()) &
               3;
      r.color = rgbaOf(n("color"), n("alpha"));
      r.mapTransparent = transparent;  // for reading the map back as it was
      return r;
    }
    default:
      return std::nullopt;
  }
}

// The angle a script sees: degrees, as stored in radians.
double degrees(double radians) { return radians * 180 / kPi; }

// A new object holding one stored filter.
FilterObject* decode(Vm& vm, const swf::FilterRecord& record,
                     const std::vector<Object*>& prototypes,
                     const std::vector<std::shared_ptr<render::Bitmap>>& maps) {
  const int id = swf::filterId(record);
  const FilterSpec* cls = classById(id);
  if (!cls) return nullptr;
  auto* f = vm.allocate<FilterObject>(*cls);
  const bool ci = vm.caseInsensitive();
  f->put("__proto__", Value(prototypes[size_t(cls - kFilters)]), kDontEnum | kDontDelete, ci);
  auto set = [f](const char* name, double v) {
    if (auto* s = f->slot(name)) s->number = v;
  };
  auto flags = [&](const swf::FilterFlags& bits) {
    set("knockout", bits.knockout ? 1 : 0);
    if (auto* t = f->slot("type")) t->text = bits.inner ? "inner" : bits.onTop ? "full" : "outer";
    set("quality", double(bits.passes));
  };
  auto color = [&](const char* colorName, const char* alphaName, swf::RGBA c) {
    set(colorName, colorOf(c));
    set(alphaName, alphaOf(c));
  };
  auto gradient = [&](const swf::GradientFilter& r) {
    auto& colors = f->slot("colors")->list;
    auto& alphas = f->slot("alphas")->list;
    auto& ratios = f->slot("ratios")->list;
    for (swf::RGBA c : r.colors) {
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
  if (const auto* r = std::get_if<swf::DropShadowFilter>(&record)) {
    color("color", "alpha", r->color);
    set("blurX", r->blurX);
    set("blurY", r->blurY);
    set("angle", degrees(r->angle));
    set("distance", r->distance);
    set("strength", r->strength);
    flags(r->flags);
    set("inner", r->flags.inner ? 1 : 0);
    set("hideObject", r->flags.compositeSource ? 0 : 1);
  } else if (const auto* r = std::get_if<swf::GlowFilter>(&record)) {
    color("color", "alpha", r->color);
    set("blurX", r->blurX);
    set("blurY", r->blurY);
    set("strength", r->strength);
    flags(r->flags);
    set("inner", r->flags.inner ? 1 : 0);
  } else if (const auto* r = std::get_if<swf::BlurFilter>(&record)) {
    set("blurX", r->blurX);
    set("blurY", r->blurY);
    set("quality", double(r->passes));
  } else if (const auto* r = std::get_if<swf::BevelFilter>(&record)) {
    color("highlightColor", "highlightAlpha", r->highlight);
    color("shadowColor", "shadowAlpha", r->shadow);
    set("blurX", r->blurX);
    set("blurY", r->blurY);
    set("angle", degrees(r->angle));
    set("distance", r->distance);
    set("strength", r->strength);
    flags(r->flags);
  } else if (const auto* r = std::get_if<swf::GradientGlowFilter>(&record)) {
    gradient(*r);
  } else if (const auto* r = std::get_if<swf::GradientBevelFilter>(&record)) {
    gradient(*r);
  } else if (const auto* r = std::get_if<swf::ConvolutionFilter>(&record)) {
    set("matrixX", double(std::min<uint8_t>(r->columns, 15)));
    set("matrixY", double(std::min<uint8_t>(r->rows, 15)));
    set("divisor", r->divisor);
    set("bias", r->bias);
    auto& m = f->slot("matrix")->list;
    for (size_t i = 0; i < r->matrix.size() && m.size() < kMaxList; ++i) m.push_back(r->matrix[i]);
    color("color", "alpha", r->color);
    set("clamp", r->clamp ? 1 : 0);
    set("preserveAlpha", r->preserveAlpha ? 1 : 0);
  } else if (const auto* r = std::get_if<swf::ColorMatrixFilter>(&record)) {
    auto& m = f->slot("matrix")->list;
    for (size_t i = 0; i < m.size() && i < r->matrix.size(); ++i) m[i] = r->matrix[i];
  } else if (const auto* r = std::get_if<swf::DisplacementMapFilter>(&record)) {
    set("componentX", r->componentX);
    set("componentY", r->componentY);
    set("scaleX", r->scaleX);
    set("scaleY", r->scaleY);
    f->slot("mode")->text = kDisplacementModes[r->mode & 3];
    color("color", "alpha", r->color);
    // A BitmapData showing the same pixels, and a new Point.
    if (r->mapIndex < maps.size())
      f->slot("mapBitmap")->any = newBitmapDataOn(vm, maps[r->mapIndex], r->mapTransparent);
    Value ctor;
    if (Value flash = vm.getMember(vm.global, "flash"); flash.isObject())
      if (Value geom = vm.getMember(flash.asObject(), "geom"); geom.isObject())
        ctor = vm.getMember(geom.asObject(), "Point");
    std::vector<Value> args = {Value(double(r->mapX)), Value(double(r->mapY))};
    if (ctor.isObject()) f->slot("mapPoint")->any = vm.construct(ctor, args);
  }
  return f;
}

FilterObject* copyOf(Vm& vm, const FilterObject& from, Object* proto) {
  auto* f = vm.allocate<FilterObject>(*from.cls);
  f->slots = from.slots;
  f->put("__proto__", Value(proto), kDontEnum | kDontDelete, vm.caseInsensitive());
  return f;
}

// The prototypes of the filter classes as the player made them (by their place in
// kFilters): what filters read from a clip and clones get.
struct FilterPrototypes {
  std::vector<Object*> byClass;
};

Object* prototypeOf(Vm& vm, const FilterSpec& cls) {
  const std::vector<Object*>& all = vm.builtinState<FilterPrototypes>().byClass;
  const size_t k = size_t(&cls - kFilters);
  return k < all.size() ? all[k] : vm.objectProto;
}

// The members of filter class k reach it by variant: k for the constructor and clone,
// k * kFieldsPerClass + i for the accessors of its field i.
constexpr int kFieldsPerClass = 16;

Value constructFilter(Vm& vm, CallInfo& c) {
  if (!c.isConstruct) return Value();
  const FilterSpec& cls = kFilters[c.variant];
  auto* f = vm.allocate<FilterObject>(cls);
  const bool ci = vm.caseInsensitive();
  f->put("__proto__", Value(prototypeOf(vm, cls)), kDontEnum | kDontDelete, ci);
  f->put("__constructor__", Value(c.callee), kDontEnum, ci);
  for (size_t i = 0; i < cls.constructorArgs.size() && i < c.args.size(); ++i) {
    const int field = fieldIndex(cls, cls.constructorArgs[i]);
    if (field >= 0 && !c.args[i].isUndefined())
      assign(vm, cls.fields[size_t(field)], f->slots[size_t(field)], c.args[i]);
  }
  return Value(f);
}

Value readSetting(Vm& vm, CallInfo& c) {
  const FilterSpec& cls = kFilters[c.variant / kFieldsPerClass];
  const size_t i = size_t(c.variant % kFieldsPerClass);
  FilterObject* f = filterOf(c.thisValue);
  return f && f->cls == &cls ? fieldValue(vm, cls.fields[i], f->slots[i]) : Value();
}

Value writeSetting(Vm& vm, CallInfo& c) {
  const FilterSpec& cls = kFilters[c.variant / kFieldsPerClass];
  const size_t i = size_t(c.variant % kFieldsPerClass);
  FilterObject* f = filterOf(c.thisValue);
  if (f && f->cls == &cls) assign(vm, cls.fields[i], f->slots[i], c.arg(0));
  return Value();
}

Value cloneFilter(Vm& vm, CallInfo& c) {
  FilterObject* f = filterOf(c.thisValue);
  return f ? Value(copyOf(vm, *f, prototypeOf(vm, kFilters[c.variant]))) : Value();
}

// A filter class's prototype rows: an enumerable accessor per setting, then clone.
struct FilterRows {
  std::array<NativeMember, 2 * kFieldsPerClass + 1> rows{};
  size_t count = 0;
};

constexpr auto kFilterRows = [] {
  std::array<FilterRows, kFilterCount> all{};
  for (size_t k = 0; k < kFilterCount; ++k) {
    FilterRows& r = all[k];
    for (size_t i = 0; i < kFilters[k].fields.size(); ++i) {
      const int variant = int(k) * kFieldsPerClass + int(i);
      r.rows[r.count++] = getter(kFilters[k].fields[i].name, readSetting, 0, variant);
      r.rows[r.count++] = setter(kFilters[k].fields[i].name, writeSetting, 0, variant);
    }
    r.rows[r.count++] = method("clone", cloneFilter, 0, int(k));
  }
  return all;
}();

constexpr auto kFilterClasses = [] {
  std::array<NativeClass, kFilterCount> all{};
  for (size_t k = 0; k < kFilterCount; ++k)
    all[k] = NativeClass{.name = kFilters[k].name,
                         .constructor = constructFilter,
                         .prototype = {kFilterRows[k].rows.data(), kFilterRows[k].count},
                         .variant = int(k),
                         .constructsOwnObject = true};
  return all;
}();

// BitmapFilter: what every filter class inherits; its clone() gives nothing.
constexpr NativeMember kBasePrototype[] = {method("clone", nothing, 0)};
constexpr NativeClass kBaseClass{
    .name = "BitmapFilter", .constructor = nothing, .prototype = kBasePrototype};

// MovieClip.filters: new filter objects each time it is read; setting it to an array of
// filters draws the clip with them (those a movie cannot store are left out).
Value clipFilters(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  if (!clip) return Value();
  const ScriptClip::FilterList list = clip->filterList();
  const std::vector<Object*>& prototypes = vm.builtinState<FilterPrototypes>().byClass;
  std::vector<Value> items;
  for (const swf::FilterRecord& r : swf::readFilterList(list.bytes).filters)
    if (FilterObject* f = decode(vm, r, prototypes, list.maps)) items.push_back(Value(f));
  return Value(vm.newArray(std::move(items)));
}

Value setClipFilters(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  if (!clip) return Value();
  std::vector<swf::FilterRecord> stored;
  std::vector<std::shared_ptr<render::Bitmap>> maps;
  if (c.arg(0).isObject()) {
    Object* list = c.arg(0).asObject();
    const double n = finiteOr(vm.toNumber(vm.getMember(list, "length")), 0);
    for (size_t i = 0; i < size_t(std::clamp(n, 0.0, 255.0)); ++i) {
      FilterObject* f = filterOf(vm.getMember(list, std::to_string(i)));
      if (auto r = f ? encode(vm, *f, maps) : std::nullopt) stored.push_back(std::move(*r));
    }
  }
  clip->setFilterList(stored.empty()
                          ? ScriptClip::FilterList{}
                          : ScriptClip::FilterList{swf::writeFilterList(stored), std::move(maps)});
  return Value();
}

constexpr NativeMember kClipFilters[] = {
    getter("filters", clipFilters).since(8),
    setter("filters", setClipFilters).since(8),
};

}  // namespace

void installFilterBuiltins(Vm& vm, Object* package) {
  const bool ci = vm.caseInsensitive();
  Object* filters = vm.newObject();
  package->put("filters", filters, 0, ci);
  Object* baseProto = installClass(vm, filters, kBaseClass).prototype;
  vm.pin(baseProto);
  std::vector<Object*>& prototypes = vm.builtinState<FilterPrototypes>().byClass;
  prototypes.clear();
  for (size_t k = 0; k < kFilterCount; ++k) {
    prototypes.push_back(vm.newObject(baseProto));
    vm.pin(prototypes.back());
  }
  for (size_t k = 0; k < kFilterCount; ++k)
    installClass(vm, filters, kFilterClasses[k], prototypes[k]);
  if (!vm.clipProto) return;
  installMembers(vm, vm.clipProto, kClipFilters);
  // Buttons take them too (text fields copy them when their class is made).
  if (const Property* p = vm.clipProto->findOwn("filters", ci); p && vm.version() >= 8)
    if (vm.buttonProto) vm.buttonProto->defineOwn("filters", ci) = *p;
}

}  // namespace orv::movie::avm1
