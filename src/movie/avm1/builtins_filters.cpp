// flash.filters (SWF 8): the filter classes and MovieClip.filters. A filter object keeps
// its settings, clamped as a Flash player clamps them; a clip's filters are kept in the
// form a movie file stores them, so filters placed by the timeline and filters set by
// scripts are drawn alike, and reading MovieClip.filters gives new objects each time.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "movie/avm1/bitmap_values.h"
#include "movie/avm1/host.h"
#include "movie/avm1/vm.h"

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

struct ClassSpec {
  const char* name;
  int id;
  std::vector<FieldSpec> fields;             // in the order the prototype gets them
  std::vector<const char*> constructorArgs;  // the constructor's parameters in order
};

const std::vector<ClassSpec>& classes() {
  static const std::vector<ClassSpec> all = {
      {"DropShadowFilter",
       kDropShadow,
       {{"distance", Field::Number, 4},
        {"angle", Field::Number, 45},
        {"color", Field::Color, 0},
        {"alpha", Field::Unit, 1},
        {"quality", Field::Quality, 1},
        {"inner", Field::Flag, 0},
        {"knockout", Field::Flag, 0},
        {"blurX", Field::Blur, 4},
        {"blurY", Field::Blur, 4},
        {"strength", Field::Strength, 1},
        {"hideObject", Field::Flag, 0}},
       {"distance", "angle", "color", "alpha", "blurX", "blurY", "strength", "quality", "inner",
        "knockout", "hideObject"}},
      {"BlurFilter",
       kBlur,
       {{"blurX", Field::Blur, 4}, {"blurY", Field::Blur, 4}, {"quality", Field::Quality, 1}},
       {"blurX", "blurY", "quality"}},
      {"GlowFilter",
       kGlow,
       {{"color", Field::Color, 0xFF0000},
        {"alpha", Field::Unit, 1},
        {"quality", Field::Quality, 1},
        {"inner", Field::Flag, 0},
        {"knockout", Field::Flag, 0},
        {"blurX", Field::Blur, 6},
        {"blurY", Field::Blur, 6},
        {"strength", Field::Strength, 2}},
       {"color", "alpha", "blurX", "blurY", "strength", "quality", "inner", "knockout"}},
      {"BevelFilter",
       kBevel,
       {{"distance", Field::Number, 4},
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
        {"type", Field::Type, 0, "inner"}},
       {"distance", "angle", "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha",
        "blurX", "blurY", "strength", "quality", "type", "knockout"}},
      {"GradientGlowFilter",
       kGradientGlow,
       {{"distance", Field::Number, 4},
        {"angle", Field::Number, 45},
        {"colors", Field::List},
        {"alphas", Field::List},
        {"ratios", Field::List},
        {"blurX", Field::Blur, 4},
        {"blurY", Field::Blur, 4},
        {"quality", Field::Quality, 1},
        {"strength", Field::Strength, 1},
        {"knockout", Field::Flag, 0},
        {"type", Field::Type, 0, "inner"}},
       {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "strength", "quality",
        "type", "knockout"}},
      {"GradientBevelFilter",
       kGradientBevel,
       {{"distance", Field::Number, 4},
        {"angle", Field::Number, 45},
        {"colors", Field::List},
        {"alphas", Field::List},
        {"ratios", Field::List},
        {"blurX", Field::Blur, 4},
        {"blurY", Field::Blur, 4},
        {"quality", Field::Quality, 1},
        {"strength", Field::Strength, 1},
        {"knockout", Field::Flag, 0},
        {"type", Field::Type, 0, "inner"}},
       {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "strength", "quality",
        "type", "knockout"}},
      {"ColorMatrixFilter", kColorMatrix, {{"matrix", Field::List}}, {"matrix"}},
      {"ConvolutionFilter",
       kConvolution,
       {{"matrixX", Field::Side, 0},
        {"matrixY", Field::Side, 0},
        {"matrix", Field::List},
        {"divisor", Field::Number, 1},
        {"bias", Field::Number, 0},
        {"preserveAlpha", Field::Flag, 1},
        {"clamp", Field::Flag, 1},
        {"color", Field::Color, 0},
        {"alpha", Field::Unit, 0}},
       {"matrixX", "matrixY", "matrix", "divisor", "bias", "preserveAlpha", "clamp", "color",
        "alpha"}},
      {"DisplacementMapFilter",
       kDisplacementMap,
       {{"mapBitmap", Field::Any},
        {"mapPoint", Field::Any},
        {"componentX", Field::Number, 0},
        {"componentY", Field::Number, 0},
        {"scaleX", Field::Number, 0},
        {"scaleY", Field::Number, 0},
        {"mode", Field::Mode, 0, "wrap"},
        {"color", Field::Color, 0},
        {"alpha", Field::Unit, 0}},
       {"mapBitmap", "mapPoint", "componentX", "componentY", "scaleX", "scaleY", "mode", "color",
        "alpha"}},
  };
  return all;
}

const ClassSpec* classById(int id) {
  for (const ClassSpec& c : classes())
    if (c.id == id) return &c;
  return nullptr;
}

int fieldIndex(const ClassSpec& cls, std::string_view name) {
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
  explicit FilterObject(const ClassSpec& s)
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

  const ClassSpec* cls;
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

class Writer {
 public:
  void u8(uint32_t v) { out.push_back(uint8_t(v)); }
  void fixed16(double v) {
    const double scaled =
        std::clamp(std::round(finiteOr(v, 0) * 65536.0), -2147483648.0, 2147483647.0);
    const uint32_t bits = uint32_t(int32_t(scaled));
    for (int s = 0; s < 32; s += 8) u8(bits >> s);
  }
  void fixed8(double v) {
    const uint16_t bits =
        uint16_t(int16_t(std::clamp(std::round(finiteOr(v, 0) * 256.0), -32768.0, 32767.0)));
    u8(bits);
    u8(bits >> 8);
  }
  void f32(double v) {
    const float f = float(finiteOr(v, 0));
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    for (int s = 0; s < 32; s += 8) u8(bits >> s);
  }
  void rgba(double color, double alpha) {
    const uint32_t c = uint32_t(color);
    u8(c >> 16);
    u8(c >> 8);
    u8(c);
    u8(uint32_t(std::lround(std::clamp(alpha, 0.0, 1.0) * 255.0)));
  }
  std::vector<uint8_t> out;
};

constexpr double kPi = 3.14159265358979323846;

// The modes of a displacement map, in the order the renderer numbers them.
constexpr std::array<const char*, 4> kDisplacementModes = {"wrap", "clamp", "ignore", "color"};

// One filter as a movie file stores it (a displacement map in our own form, its
// bitmap added to `maps`); false for those that draw nothing.
bool encode(Vm& vm, const FilterObject& f, Writer& w,
            std::vector<std::shared_ptr<render::Bitmap>>& maps) {
  const ClassSpec& s = *f.cls;
  auto n = [&f](const char* name) { return f.number(name); };
  auto list = [&f](const char* name) -> const std::vector<double>& { return f.slot(name)->list; };
  auto type = [&f]() { return f.slot("type")->text; };
  const int passes = int(n("quality"));
  // What bevels and gradient filters store after their colours.
  auto bevelTail = [&] {
    w.fixed16(n("blurX"));
    w.fixed16(n("blurY"));
    w.fixed16(n("angle") * kPi / 180);
    w.fixed16(n("distance"));
    w.fixed8(n("strength"));
    w.u8((type() == "inner" ? 0x80 : 0) | (n("knockout") ? 0x40 : 0) | 0x20 |
         (type() == "full" ? 0x10 : 0) | passes);
  };
  switch (s.id) {
    case kDropShadow:
      w.u8(kDropShadow);
      w.rgba(n("color"), n("alpha"));
      w.fixed16(n("blurX"));
      w.fixed16(n("blurY"));
      w.fixed16(n("angle") * kPi / 180);
      w.fixed16(n("distance"));
      w.fixed8(n("strength"));
      w.u8((n("inner") ? 0x80 : 0) | (n("knockout") ? 0x40 : 0) | (n("hideObject") ? 0 : 0x20) |
           passes);
      return true;
    case kBlur:
      w.u8(kBlur);
      w.fixed16(n("blurX"));
      w.fixed16(n("blurY"));
      w.u8(uint32_t(passes) << 3);
      return true;
    case kGlow:
      w.u8(kGlow);
      w.rgba(n("color"), n("alpha"));
      w.fixed16(n("blurX"));
      w.fixed16(n("blurY"));
      w.fixed8(n("strength"));
      w.u8((n("inner") ? 0x80 : 0) | (n("knockout") ? 0x40 : 0) | 0x20 | passes);
      return true;
    case kBevel:
      w.u8(kBevel);
      // The highlight comes first in the stored record.
      w.rgba(n("highlightColor"), n("highlightAlpha"));
      w.rgba(n("shadowColor"), n("shadowAlpha"));
      bevelTail();
      return true;
    case kGradientGlow:
    case kGradientBevel: {
      // Colours, alphas and ratios go together: as many as the shortest list, at most 16.
      const size_t count = std::min(
          {list("colors").size(), list("alphas").size(), list("ratios").size(), size_t(16)});
      if (count == 0) return false;
      w.u8(uint32_t(s.id));
      w.u8(uint32_t(count));
      for (size_t i = 0; i < count; ++i)
        w.rgba(double(uint32_t(int64_t(finiteOr(list("colors")[i], 0))) & 0xFFFFFFu),
               finiteOr(list("alphas")[i], 0));
      for (size_t i = 0; i < count; ++i)
        w.u8(uint32_t(std::clamp(finiteOr(list("ratios")[i], 0), 0.0, 255.0)));
      bevelTail();
      return true;
    }
    case kColorMatrix: {
      w.u8(kColorMatrix);
      const std::vector<double>& m = list("matrix");
      for (size_t i = 0; i < 20; ++i) w.f32(i < m.size() ? m[i] : 0.0);
      return true;
    }
    case kConvolution: {
      const int columns = int(n("matrixX")), rows = int(n("matrixY"));
      const std::vector<double>& m = list("matrix");
      w.u8(kConvolution);
      w.u8(uint32_t(columns));
      w.u8(uint32_t(rows));
      w.f32(n("divisor"));
      w.f32(n("bias"));
      for (size_t i = 0; i < size_t(columns * rows); ++i) w.f32(i < m.size() ? m[i] : 0.0);
      w.rgba(n("color"), n("alpha"));
      w.u8((n("clamp") ? 0x02 : 0) | (n("preserveAlpha") ? 0x01 : 0));
      return true;
    }
    case kDisplacementMap: {
      bool transparent = true;
      std::shared_ptr<render::Bitmap> map =
          bitmapDataPixels(f.slot("mapBitmap")->any, &transparent);
      if (!map || maps.size() > 255) return false;  // no map: nothing to draw
      const Value& point = f.slot("mapPoint")->any;
      auto coordinate = [&](const char* name) {
        return point.isObject() ? finiteOr(vm.toNumber(vm.getMember(point.asObject(), name)), 0)
                                : 0.0;
      };
      auto component = [&](const char* name) {
        return uint32_t(std::clamp(finiteOr(n(name), 0), 0.0, 255.0));
      };
      w.u8(kDisplacementMap);
      w.u8(uint32_t(maps.size()));
      maps.push_back(std::move(map));
      w.f32(coordinate("x"));
      w.f32(coordinate("y"));
      w.u8(component("componentX"));
      w.u8(component("componentY"));
      w.f32(n("scaleX"));
      w.f32(n("scaleY"));
      const std::string& mode = f.slot("mode")->text;
      w.u8(uint32_t(std::find(kDisplacementModes.begin(), kDisplacementModes.end(), mode) -
                    kDisplacementModes.begin()) &
           3);
      w.rgba(n("color"), n("alpha"));
      w.u8(transparent ? 1 : 0);  // for reading the map back as it was
      return true;
    }
    default:
      return false;
  }
}

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& d) : d_(d) {}
  bool ok() const { return ok_; }
  uint32_t u8() {
    if (pos_ >= d_.size()) {
      ok_ = false;
      return 0;
    }
    return d_[pos_++];
  }
  uint32_t u32() {
    uint32_t v = 0;
    for (int s = 0; s < 32; s += 8) v |= u8() << s;
    return v;
  }
  double fixed16() { return double(int32_t(u32())) / 65536.0; }
  double fixed8() {
    const uint32_t lo = u8(), hi = u8();
    return double(int16_t(uint16_t(lo | hi << 8))) / 256.0;
  }
  double f32() {
    const uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  // Colour and alpha of an RGBA record.
  std::pair<double, double> rgba() {
    const uint32_t r = u8(), g = u8(), b = u8(), a = u8();
    return {double(r << 16 | g << 8 | b), double(a) / 255.0};
  }

 private:
  const std::vector<uint8_t>& d_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// The angle a script sees: degrees, as stored in radians.
double degrees(double radians) { return radians * 180 / kPi; }

// Reads one stored filter into a new object; null when the data ends or is unknown.
FilterObject* decode(Vm& vm, Reader& in, const std::vector<Object*>& prototypes,
                     const std::vector<std::shared_ptr<render::Bitmap>>& maps) {
  const int id = int(in.u8());
  const ClassSpec* cls = classById(id);
  if (!cls || !in.ok()) return nullptr;
  auto* f = vm.allocate<FilterObject>(*cls);
  const bool ci = vm.caseInsensitive();
  f->put("__proto__", Value(prototypes[size_t(cls - classes().data())]), kDontEnum | kDontDelete,
         ci);
  auto set = [f](const char* name, double v) {
    if (auto* s = f->slot(name)) s->number = v;
  };
  auto flags = [&](uint32_t bits, bool onTop) {
    set("knockout", (bits & 0x40) ? 1 : 0);
    if (auto* t = f->slot("type"))
      t->text = (bits & 0x80) ? "inner" : onTop && (bits & 0x10) ? "full" : "outer";
    set("quality", double(bits & (onTop ? 0x0F : 0x1F)));
  };
  switch (id) {
    case kDropShadow:
    case kGlow: {
      const auto [color, alpha] = in.rgba();
      set("color", color);
      set("alpha", alpha);
      set("blurX", in.fixed16());
      set("blurY", in.fixed16());
      if (id == kDropShadow) {
        set("angle", degrees(in.fixed16()));
        set("distance", in.fixed16());
      }
      set("strength", in.fixed8());
      const uint32_t bits = in.u8();
      flags(bits, false);
      set("inner", (bits & 0x80) ? 1 : 0);
      if (id == kDropShadow) set("hideObject", (bits & 0x20) ? 0 : 1);
      break;
    }
    case kBlur:
      set("blurX", in.fixed16());
      set("blurY", in.fixed16());
      set("quality", double(in.u8() >> 3));
      break;
    case kBevel: {
      const auto [highlight, highlightAlpha] = in.rgba();
      const auto [shadow, shadowAlpha] = in.rgba();
      set("highlightColor", highlight);
      set("highlightAlpha", highlightAlpha);
      set("shadowColor", shadow);
      set("shadowAlpha", shadowAlpha);
      set("blurX", in.fixed16());
      set("blurY", in.fixed16());
      set("angle", degrees(in.fixed16()));
      set("distance", in.fixed16());
      set("strength", in.fixed8());
      flags(in.u8(), true);
      break;
    }
    case kGradientGlow:
    case kGradientBevel: {
      const uint32_t count = in.u8();
      auto& colors = f->slot("colors")->list;
      auto& alphas = f->slot("alphas")->list;
      auto& ratios = f->slot("ratios")->list;
      for (uint32_t i = 0; i < count; ++i) {
        const auto [color, alpha] = in.rgba();
        colors.push_back(color);
        alphas.push_back(alpha);
      }
      for (uint32_t i = 0; i < count; ++i) ratios.push_back(double(in.u8()));
      set("blurX", in.fixed16());
      set("blurY", in.fixed16());
      set("angle", degrees(in.fixed16()));
      set("distance", in.fixed16());
      set("strength", in.fixed8());
      flags(in.u8(), true);
      break;
    }
    case kConvolution: {
      const uint32_t columns = in.u8(), rows = in.u8();
      set("matrixX", double(std::min(columns, 15u)));
      set("matrixY", double(std::min(rows, 15u)));
      set("divisor", in.f32());
      set("bias", in.f32());
      auto& m = f->slot("matrix")->list;
      for (uint32_t i = 0; i < columns * rows && in.ok(); ++i) {
        const double v = in.f32();
        if (m.size() < kMaxList) m.push_back(v);
      }
      const auto [color, alpha] = in.rgba();
      set("color", color);
      set("alpha", alpha);
      const uint32_t bits = in.u8();
      set("clamp", (bits & 0x02) ? 1 : 0);
      set("preserveAlpha", (bits & 0x01) ? 1 : 0);
      break;
    }
    case kColorMatrix: {
      auto& m = f->slot("matrix")->list;
      for (double& v : m) v = in.f32();
      break;
    }
    case kDisplacementMap: {
      const uint32_t index = in.u8();
      const double x = in.f32(), y = in.f32();
      set("componentX", in.u8());
      set("componentY", in.u8());
      set("scaleX", in.f32());
      set("scaleY", in.f32());
      f->slot("mode")->text = kDisplacementModes[in.u8() & 3];
      const auto [color, alpha] = in.rgba();
      set("color", color);
      set("alpha", alpha);
      const bool transparent = in.u8() & 1;
      // A BitmapData showing the same pixels, and a new Point.
      if (index < maps.size())
        f->slot("mapBitmap")->any = newBitmapDataOn(vm, maps[index], transparent);
      Value ctor;
      if (Value flash = vm.getMember(vm.global, "flash"); flash.isObject())
        if (Value geom = vm.getMember(flash.asObject(), "geom"); geom.isObject())
          ctor = vm.getMember(geom.asObject(), "Point");
      std::vector<Value> args = {Value(x), Value(y)};
      if (ctor.isObject()) f->slot("mapPoint")->any = vm.construct(ctor, args);
      break;
    }
    default:
      return nullptr;
  }
  return in.ok() ? f : nullptr;
}

FilterObject* copyOf(Vm& vm, const FilterObject& from, Object* proto) {
  auto* f = vm.allocate<FilterObject>(*from.cls);
  f->slots = from.slots;
  f->put("__proto__", Value(proto), kDontEnum | kDontDelete, vm.caseInsensitive());
  return f;
}

}  // namespace

void installFilterBuiltins(Vm& vm, Object* package) {
  const bool ci = vm.caseInsensitive();
  Object* filters = vm.newObject();
  package->put("filters", filters, 0, ci);

  // BitmapFilter: what every filter class inherits; clone() copies any filter.
  Object* baseProto = vm.newObject();
  FunctionObject* base = vm.newNative([](Vm&, CallInfo&) -> Value { return Value(); }, baseProto);
  filters->put("BitmapFilter", base, kDontEnum, ci);
  vm.pin(baseProto);

  std::vector<Object*> prototypes;
  for (size_t k = 0; k < classes().size(); ++k) {
    Object* proto = vm.newObject(baseProto);
    prototypes.push_back(proto);
    vm.pin(proto);
  }
  for (size_t k = 0; k < classes().size(); ++k) {
    const ClassSpec& cls = classes()[k];
    Object* proto = prototypes[k];
    FunctionObject* ctor = vm.newNative(
        [&cls, proto](Vm& vm, CallInfo& c) -> Value {
          if (!c.isConstruct) return Value();
          auto* f = vm.allocate<FilterObject>(cls);
          const bool ci = vm.caseInsensitive();
          f->put("__proto__", Value(proto), kDontEnum | kDontDelete, ci);
          f->put("__constructor__", Value(c.callee), kDontEnum, ci);
          for (size_t i = 0; i < cls.constructorArgs.size() && i < c.args.size(); ++i) {
            const int field = fieldIndex(cls, cls.constructorArgs[i]);
            if (field >= 0 && !c.args[i].isUndefined())
              assign(vm, cls.fields[size_t(field)], f->slots[size_t(field)], c.args[i]);
          }
          return Value(f);
        },
        proto);
    ctor->constructsOwnObject = true;
    filters->put(cls.name, ctor, kDontEnum, ci);
    for (size_t i = 0; i < cls.fields.size(); ++i) {
      Property& p = proto->defineOwn(cls.fields[i].name, ci);
      p.value = Value();
      p.flags = 0;
      p.getter = vm.newNative([&cls, i](Vm& vm, CallInfo& c) -> Value {
        FilterObject* f = filterOf(c.thisValue);
        return f && f->cls == &cls ? fieldValue(vm, cls.fields[i], f->slots[i]) : Value();
      });
      p.setter = vm.newNative([&cls, i](Vm& vm, CallInfo& c) -> Value {
        FilterObject* f = filterOf(c.thisValue);
        if (f && f->cls == &cls) assign(vm, cls.fields[i], f->slots[i], c.arg(0));
        return Value();
      });
    }
    vm.defineMethod(
        proto, "clone",
        [proto](Vm& vm, CallInfo& c) -> Value {
          FilterObject* f = filterOf(c.thisValue);
          return f ? Value(copyOf(vm, *f, proto)) : Value();
        },
        0);
  }
  vm.defineMethod(
      baseProto, "clone", [](Vm&, CallInfo&) -> Value { return Value(); }, 0);

  // MovieClip.filters: new filter objects each time it is read; setting it to an array
  // of filters draws the clip with them (those a movie cannot store are left out).
  if (!vm.clipProto || vm.version() < 8) return;
  Property& p = vm.clipProto->defineOwn("filters", ci);
  p.value = Value();
  p.flags = kDontEnum;
  p.getter = vm.newNative([prototypes](Vm& vm, CallInfo& c) -> Value {
    ScriptClip* clip = vm.clipOf(c.thisValue);
    if (!clip) return Value();
    const ScriptClip::FilterList list = clip->filterList();
    std::vector<Value> items;
    if (!list.bytes.empty()) {
      Reader in(list.bytes);
      const uint32_t count = in.u8();
      for (uint32_t i = 0; i < count; ++i) {
        FilterObject* f = decode(vm, in, prototypes, list.maps);
        if (!f) break;
        items.push_back(Value(f));
      }
    }
    return Value(vm.newArray(std::move(items)));
  });
  p.setter = vm.newNative([](Vm& vm, CallInfo& c) -> Value {
    ScriptClip* clip = vm.clipOf(c.thisValue);
    if (!clip) return Value();
    Writer w;
    w.u8(0);  // the count, filled in below
    std::vector<std::shared_ptr<render::Bitmap>> maps;
    uint32_t count = 0;
    if (c.arg(0).isObject()) {
      Object* list = c.arg(0).asObject();
      const double n = finiteOr(vm.toNumber(vm.getMember(list, "length")), 0);
      for (size_t i = 0; i < size_t(std::clamp(n, 0.0, 255.0)); ++i) {
        FilterObject* f = filterOf(vm.getMember(list, std::to_string(i)));
        if (f && encode(vm, *f, w, maps)) ++count;
      }
    }
    w.out[0] = uint8_t(count);
    clip->setFilterList(count ? ScriptClip::FilterList{std::move(w.out), std::move(maps)}
                              : ScriptClip::FilterList{});
    return Value();
  });
  // Buttons take them too (text fields copy them when their class is made).
  if (vm.buttonProto) vm.buttonProto->defineOwn("filters", ci) = p;
}

}  // namespace orv::movie::avm1
