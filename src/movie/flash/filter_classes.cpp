// flash.filters: BitmapFilter and its classes, the constants classes, and DisplayObject's
// filters. A filter object keeps its settings clamped as a Flash player clamps them
// (movie/base/filter_settings.h, shared with the first machine). Setting a display
// object's filters keeps copies and hands their settings to the host, which draws them as
// it draws filters placed by the timeline; reading them gives new copies each time, or,
// once the timeline has put other filters there, objects made from those.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "movie/avm2/conversions.h"
#include "movie/avm2/objects.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/bitmap.h"
#include "movie/flash/display.h"
#include "movie/flash/filters.h"
#include "movie/flash/geom.h"

namespace orv::movie::avm2 {

namespace {

using base::FilterClassSpec;
using base::FilterField;
using base::FilterSettings;

constexpr std::span<const FilterClassSpec> kClasses = base::kFilterClasses;

class FilterObject : public Object {
 public:
  using Object::Object;
  std::optional<FilterSettings> settings;  // none: a ShaderFilter, or BitmapFilter itself
  bool shader = false;                     // a ShaderFilter
  // A displacement map's bitmap as given, and its point (none: null).
  Value mapBitmap = Value::null();
  std::optional<std::pair<double, double>> mapPoint;
  // A ShaderFilter's shader as given, and its extensions: left, top, right, bottom.
  Value shaderValue = Value::null();
  double extension[4] = {};

  void markChildren(Marker& mk) const override {
    Object::markChildren(mk);
    mk.mark(mapBitmap);
    mk.mark(shaderValue);
  }
};

FilterObject* filterObject(const Value& v) {
  return v.isObject() ? dynamic_cast<FilterObject*>(v.asObject()) : nullptr;
}

FilterObject* filterSelf(Machine& m, const Value& self) {
  return receiver<FilterObject>(m, self, "BitmapFilter");
}

// The receiver's settings, of class K.
template <size_t K>
FilterSettings& settingsSelf(Machine& m, const Value& self) {
  FilterObject* f = filterSelf(m, self);
  if (!f->settings || f->settings->cls != &kClasses[K])
    m.fail(ErrorClass::TypeError, 1034, {m.className(self), kClasses[K].name});
  return *f->settings;
}

std::string qualified(const char* name) { return std::string("flash.filters.") + name; }

// ---- Settings as scripts see them ----

// An array's numbers (holes and what is no number as NaN); none for null.
std::vector<double> numbersOf(Machine& m, const Value& v) {
  std::vector<double> out;
  if (v.isNullish()) return out;
  auto* a = v.isObject() ? dynamic_cast<ArrayObject*>(v.asObject()) : nullptr;
  if (!a) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "Array"});
  const size_t n = std::min(a->elements.size(), base::kMaxFilterList);
  for (size_t i = 0; i < n; ++i) {
    // Conversions may run scripts, which may change the array.
    const Value item = i < a->elements.size() ? a->elements[i] : Value();
    out.push_back(m.toNumber(item));
  }
  return out;
}

Value arrayOf(Machine& m, const std::vector<double>& numbers) {
  std::vector<Value> items;
  items.reserve(numbers.size());
  for (double d : numbers) items.push_back(Value(d));
  return Value(static_cast<Object*>(m.newArray(std::move(items))));
}

Value pointValue(Machine& m, double x, double y) { return geomValue(makeGeom(m, "Point", {x, y})); }

// Takes a script's value into field `i` of the filter.
void assign(Machine& m, FilterObject& f, size_t i, const Value& v) {
  FilterSettings& s = *f.settings;
  const char* name = s.cls->fields[i].name;
  switch (s.cls->fields[i].type) {
    case FilterField::Number:
      s.slots[i].number = m.toNumber(v);
      break;
    case FilterField::Flag:
      base::setFilterNumber(s, i, toBoolean(v) ? 1 : 0);
      break;
    case FilterField::Type:
    case FilterField::Mode:
      base::setFilterText(s, i, m.toText(v));
      break;
    case FilterField::List:
      base::setFilterList(s, i, numbersOf(m, v));
      break;
    case FilterField::Any:
      if (std::string_view(name) == "mapBitmap") {
        if (!v.isNullish() && !(v.isObject() && dynamic_cast<BitmapDataObject*>(v.asObject())))
          m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.display.BitmapData"});
        f.mapBitmap = v.isNullish() ? Value::null() : v;
      } else if (v.isNullish()) {
        f.mapPoint.reset();
      } else {
        const GeomObject* p = geomArg(m, v, "Point", "mapPoint");
        f.mapPoint = std::pair{p->v[0], p->v[1]};
      }
      break;
    default:
      base::setFilterNumber(s, i, m.toNumber(v));
      break;
  }
}

Value fieldValue(Machine& m, const FilterObject& f, size_t i) {
  const FilterSettings& s = *f.settings;
  const base::FilterSetting& slot = s.slots[i];
  switch (s.cls->fields[i].type) {
    case FilterField::Flag:
      return Value(slot.number != 0);
    case FilterField::Type:
    case FilterField::Mode:
      return Value(StringRef(slot.text));
    case FilterField::List:
      return arrayOf(m, slot.list);
    case FilterField::Any:
      if (std::string_view(s.cls->fields[i].name) == "mapBitmap") return f.mapBitmap;
      return f.mapPoint ? pointValue(m, f.mapPoint->first, f.mapPoint->second) : Value::null();
    default:
      return Value(slot.number);
  }
}

template <size_t K, size_t I>
Value getField(Machine& m, const Value& self, std::span<Value>) {
  settingsSelf<K>(m, self);
  return fieldValue(m, *filterSelf(m, self), I);
}

template <size_t K, size_t I>
Value setField(Machine& m, const Value& self, std::span<Value> args) {
  settingsSelf<K>(m, self);
  assign(m, *filterSelf(m, self), I, arg(args, 0));
  return Value();
}

// ---- Making, copying and reading them back ----

FilterObject* newFilter(Machine& m, const char* className) {
  ClassObject* cls = m.findClass(qualified(className));
  if (!cls) m.fail(ErrorClass::ReferenceError, 1065, {className});
  return static_cast<FilterObject*>(m.allocate(cls));
}

FilterObject* copyOf(Machine& m, const FilterObject& from) {
  FilterObject* f = newFilter(m, from.shader ? "ShaderFilter" : from.settings->cls->name);
  f->settings = from.settings;
  f->shader = from.shader;
  f->mapBitmap = from.mapBitmap;
  f->mapPoint = from.mapPoint;
  f->shaderValue = from.shaderValue;
  std::copy(std::begin(from.extension), std::end(from.extension), f->extension);
  return f;
}

// The copy a display object keeps: gradients as long as their shortest list, a
// convolution's matrix as many single-precision numbers as it has columns by rows.
FilterObject* keptCopyOf(Machine& m, const FilterObject& from) {
  FilterObject* f = copyOf(m, from);
  if (!f->settings) return f;
  FilterSettings& s = *f->settings;
  switch (s.id()) {
    case base::FilterClassId::GradientGlow:
    case base::FilterClassId::GradientBevel: {
      auto& colors = s.slot("colors")->list;
      auto& alphas = s.slot("alphas")->list;
      auto& ratios = s.slot("ratios")->list;
      const size_t n = std::min({colors.size(), alphas.size(), ratios.size()});
      colors.resize(n), alphas.resize(n), ratios.resize(n);
      break;
    }
    case base::FilterClassId::Convolution: {
      auto& matrix = s.slot("matrix")->list;
      matrix.resize(size_t(s.number("matrixX") * s.number("matrixY")), 0.0);
      for (double& k : matrix) k = double(float(k));
      break;
    }
    default:
      break;
  }
  return f;
}

// A new object holding filter settings the host read back.
Value objectOf(Machine& m, FilterSettings settings) {
  FilterObject* f = newFilter(m, settings.cls->name);
  if (settings.id() == base::FilterClassId::DisplacementMap) {
    if (settings.map) f->mapBitmap = bitmapDataOn(m, settings.map, settings.mapTransparent);
    f->mapPoint = std::pair{settings.mapX, settings.mapY};
    settings.map.reset();
  }
  f->settings = std::move(settings);
  return Value(static_cast<Object*>(f));
}

// ---- The classes ----

template <size_t K>
Object* allocFilter(Machine& m, ClassObject* cls) {
  auto* f = m.heap.make<FilterObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
  f->settings.emplace(kClasses[K]);
  return f;
}

template <size_t K>
Value initFilter(Machine& m, const Value& self, std::span<Value> args) {
  FilterObject* f = filterSelf(m, self);
  const FilterClassSpec& cls = kClasses[K];
  for (size_t i = 0; i < cls.constructorArgs.size() && i < args.size(); ++i)
    if (const int field = cls.field(cls.constructorArgs[i]); field >= 0)
      assign(m, *f, size_t(field), args[i]);
  return Value();
}

Value cloneFilter(Machine& m, const Value& self, std::span<Value>) {
  FilterObject* f = filterSelf(m, self);
  if (!f->settings && !f->shader) return Value::null();  // BitmapFilter itself
  return Value(static_cast<Object*>(copyOf(m, *f)));
}

// Getters and setters of class K's fields, then clone.
template <size_t K, size_t... I>
constexpr auto membersOf(std::index_sequence<I...>) {
  return std::array<NativeMember, 2 * sizeof...(I) + 1>{
      NativeMember{kClasses[K].fields[I].name, MemberKind::Getter, getField<K, I>}...,
      NativeMember{kClasses[K].fields[I].name, MemberKind::Setter, setField<K, I>}...,
      NativeMember{"clone", MemberKind::Method, cloneFilter}};
}
template <size_t K>
constexpr auto kMembers = membersOf<K>(std::make_index_sequence<kClasses[K].fields.size()>{});

template <size_t K>
void installFilterClass(Machine& m) {
  installClass(m, {.package = "flash.filters",
                   .name = kClasses[K].name,
                   .base = "flash.filters.BitmapFilter",
                   .members = kMembers<K>,
                   .init = initFilter<K>,
                   .alloc = allocFilter<K>,
                   .dynamic = false,
                   .isFinal = true});
}

template <size_t... K>
void installFilterClasses(Machine& m, std::index_sequence<K...>) {
  (installFilterClass<K>(m), ...);
}

Object* allocBase(Machine& m, ClassObject* cls) {
  return m.heap.make<FilterObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

constexpr NativeMember kBaseMembers[] = {{"clone", MemberKind::Method, cloneFilter}};

// ShaderFilter: kept and copied like the others; it draws nothing different.
Object* allocShader(Machine& m, ClassObject* cls) {
  auto* f = m.heap.make<FilterObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
  f->shader = true;
  return f;
}

FilterObject* shaderSelf(Machine& m, const Value& self) {
  FilterObject* f = filterSelf(m, self);
  if (!f->shader) m.fail(ErrorClass::TypeError, 1034, {m.className(self), "ShaderFilter"});
  return f;
}

Value shaderInit(Machine& m, const Value& self, std::span<Value> args) {
  shaderSelf(m, self)->shaderValue = arg(args, 0).isNullish() ? Value::null() : args[0];
  return Value();
}

Value getShader(Machine& m, const Value& self, std::span<Value>) {
  return shaderSelf(m, self)->shaderValue;
}

Value setShader(Machine& m, const Value& self, std::span<Value> args) {
  return shaderInit(m, self, args);
}

template <size_t I>
Value getExtension(Machine& m, const Value& self, std::span<Value>) {
  return Value(shaderSelf(m, self)->extension[I]);
}

template <size_t I>
Value setExtension(Machine& m, const Value& self, std::span<Value> args) {
  shaderSelf(m, self)->extension[I] = double(m.toInt(arg(args, 0)));
  return Value();
}

constexpr NativeMember kShaderMembers[] = {
    {"shader", MemberKind::Getter, getShader},
    {"shader", MemberKind::Setter, setShader},
    {"leftExtension", MemberKind::Getter, getExtension<0>},
    {"leftExtension", MemberKind::Setter, setExtension<0>},
    {"topExtension", MemberKind::Getter, getExtension<1>},
    {"topExtension", MemberKind::Setter, setExtension<1>},
    {"rightExtension", MemberKind::Getter, getExtension<2>},
    {"rightExtension", MemberKind::Setter, setExtension<2>},
    {"bottomExtension", MemberKind::Getter, getExtension<3>},
    {"bottomExtension", MemberKind::Setter, setExtension<3>},
    {"clone", MemberKind::Method, cloneFilter},
};

constexpr NativeMember kQuality[] = {
    {"LOW", MemberKind::Constant, nullptr, 0, 1},
    {"MEDIUM", MemberKind::Constant, nullptr, 0, 2},
    {"HIGH", MemberKind::Constant, nullptr, 0, 3},
};
constexpr NativeMember kTypes[] = {
    {"INNER", MemberKind::Constant, nullptr, 0, 0, "inner"},
    {"OUTER", MemberKind::Constant, nullptr, 0, 0, "outer"},
    {"FULL", MemberKind::Constant, nullptr, 0, 0, "full"},
};
constexpr NativeMember kModes[] = {
    {"WRAP", MemberKind::Constant, nullptr, 0, 0, "wrap"},
    {"CLAMP", MemberKind::Constant, nullptr, 0, 0, "clamp"},
    {"IGNORE", MemberKind::Constant, nullptr, 0, 0, "ignore"},
    {"COLOR", MemberKind::Constant, nullptr, 0, 0, "color"},
};

// ---- DisplayObject.filters ----

Value getFilters(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "filters");
  std::vector<Value> items;
  uint64_t stamp = 0;
  std::vector<FilterSettings> shown;
  if (m.host && d->handle) shown = m.host->filters(d->handle, stamp);
  if (!m.host || !d->handle || stamp == d->filterStamp) {
    // What the script set last is what is drawn.
    for (Object* f : d->filters) items.push_back(Value(static_cast<Object*>(
                                     copyOf(m, *static_cast<FilterObject*>(f)))));
  } else {
    for (FilterSettings& s : shown) items.push_back(objectOf(m, std::move(s)));
  }
  return Value(static_cast<Object*>(m.newArray(std::move(items))));
}

Value setFilters(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = displayOf(m, self, "filters");
  const Value list = arg(args, 0);
  std::vector<Object*> copies;
  if (!list.isNullish()) {
    auto* a = list.isObject() ? dynamic_cast<ArrayObject*>(list.asObject()) : nullptr;
    if (!a) m.fail(ErrorClass::TypeError, 1034, {m.className(list), "Array"});
    for (const Value& item : a->elements) {
      FilterObject* f = filterObject(item);
      if (!f || (!f->settings && !f->shader))
        m.fail(ErrorClass::ArgumentError, 2005, {"0", "Filter"});
      copies.push_back(keptCopyOf(m, *f));
    }
  }
  std::vector<FilterSettings> settings;
  for (Object* f : copies)
    if (auto s = filterSettingsOf(Value(f))) settings.push_back(std::move(*s));
  d->filters = std::move(copies);
  d->filterStamp = m.host && d->handle ? m.host->setFilters(d->handle, settings) : 0;
  return Value();
}

constexpr NativeMember kDisplayMembers[] = {
    {"filters", MemberKind::Getter, getFilters},
    {"filters", MemberKind::Setter, setFilters},
};

}  // namespace

bool isFilterObject(const Value& v) {
  const FilterObject* f = filterObject(v);
  return f && (f->settings || f->shader);
}

bool isShaderFilter(const Value& v) {
  const FilterObject* f = filterObject(v);
  return f && f->shader;
}

std::optional<FilterSettings> filterSettingsOf(const Value& v) {
  const FilterObject* f = filterObject(v);
  if (!f || !f->settings) return std::nullopt;
  FilterSettings s = *f->settings;
  if (s.id() == base::FilterClassId::DisplacementMap) {
    auto* data = f->mapBitmap.isObject() ? dynamic_cast<BitmapDataObject*>(f->mapBitmap.asObject())
                                         : nullptr;
    if (data && data->pixels && data->pixels->store()) {
      s.map = data->pixels->store();
      s.mapTransparent = data->pixels->transparent();
    }
    if (f->mapPoint) {
      s.mapX = f->mapPoint->first;
      s.mapY = f->mapPoint->second;
    }
  }
  return s;
}

std::span<const NativeMember> displayFilterMembers() { return kDisplayMembers; }

void installFilterClasses(Machine& m) {
  installClass(m, {.package = "flash.filters",
                   .name = "BitmapFilter",
                   .members = kBaseMembers,
                   .alloc = allocBase,
                   .dynamic = false});
  installFilterClasses(m, std::make_index_sequence<kClasses.size()>{});
  installClass(m, {.package = "flash.filters",
                   .name = "ShaderFilter",
                   .base = "flash.filters.BitmapFilter",
                   .members = kShaderMembers,
                   .init = shaderInit,
                   .alloc = allocShader,
                   .dynamic = false});
  installClass(m, {.package = "flash.filters", .name = "BitmapFilterQuality", .members = kQuality,
                   .isFinal = true});
  installClass(m, {.package = "flash.filters", .name = "BitmapFilterType", .members = kTypes,
                   .isFinal = true});
  installClass(m, {.package = "flash.filters",
                   .name = "DisplacementMapFilterMode",
                   .members = kModes,
                   .isFinal = true});
}

}  // namespace orv::movie::avm2
