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
#include "movie/base/filter_settings.h"
#include "movie/swf/script_filters.h"

namespace orv::movie::avm1 {

namespace {

using base::FilterClassSpec;
using base::FilterField;
using FieldSpec = base::FilterFieldSpec;

constexpr std::span<const FilterClassSpec> kFilters = base::kFilterClasses;
constexpr size_t kFilterCount = base::kFilterClasses.size();

class FilterObject : public Object {
 public:
  explicit FilterObject(const FilterClassSpec& s)
      : Object(ObjectKind::Other), settings(s), any(s.fields.size()) {
    className = s.name;
  }
  void traceRefs(std::vector<Object*>& out) override {
    Object::traceRefs(out);
    for (const Value& v : any)
      if (v.isObject()) out.push_back(v.asObject());
  }
  const FilterClassSpec& cls() const { return *settings.cls; }
  Value& anyValue(std::string_view name) {
    static Value none;
    const int i = cls().field(name);
    return i < 0 ? none : any[size_t(i)];
  }

  base::FilterSettings settings;
  std::vector<Value> any;  // the settings kept as given (a displacement map's bitmap, point)
};

FilterObject* filterOf(const Value& v) {
  return v.isObject() ? dynamic_cast<FilterObject*>(v.asObject()) : nullptr;
}

double finiteOr(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

// Takes a script's value into setting `i`, as the class's setter would.
void assign(Vm& vm, FilterObject& f, size_t i, const Value& v) {
  switch (f.cls().fields[i].type) {
    case FilterField::Number:
    case FilterField::Single:  // this machine keeps them as given
      f.settings.slots[i].number = vm.toNumber(v);
      break;
    case FilterField::Flag:
      base::setFilterNumber(f.settings, i, vm.toBool(v) ? 1 : 0);
      break;
    case FilterField::Type:
    case FilterField::Mode:
      base::setFilterText(f.settings, i, vm.toString(v));
      break;
    case FilterField::List: {
      std::vector<double> list;
      if (v.isObject()) {
        Object* a = v.asObject();
        const double n = finiteOr(vm.toNumber(vm.getMember(a, "length")), 0);
        for (size_t k = 0; k < size_t(std::clamp(n, 0.0, double(base::kMaxFilterList))); ++k)
          list.push_back(vm.toNumber(vm.getMember(a, std::to_string(k))));
      }
      base::setFilterList(f.settings, i, std::move(list));
      break;
    }
    case FilterField::Any:
      f.any[i] = v;
      break;
    default:
      base::setFilterNumber(f.settings, i, vm.toNumber(v));
      break;
  }
}

Value fieldValue(Vm& vm, FilterObject& f, size_t i) {
  const base::FilterSetting& slot = f.settings.slots[i];
  switch (f.cls().fields[i].type) {
    case FilterField::Flag:
      return Value(slot.number != 0);
    case FilterField::Type:
    case FilterField::Mode:
      return Value(slot.text);
    case FilterField::List: {
      std::vector<Value> items;
      for (double d : slot.list) items.push_back(Value(d));
      return Value(vm.newArray(std::move(items)));
    }
    case FilterField::Any:
      return f.any[i];
    default:
      return Value(slot.number);
  }
}

// ---------------------------------------------------------------- the stored form

// The settings with a displacement map's bitmap and point taken from their values.
base::FilterSettings settingsOf(Vm& vm, FilterObject& f) {
  base::FilterSettings s = f.settings;
  if (s.id() != base::FilterClassId::DisplacementMap) return s;
  s.map = bitmapDataPixels(f.anyValue("mapBitmap"), &s.mapTransparent);
  const Value& point = f.anyValue("mapPoint");
  auto coordinate = [&](const char* name) {
    return point.isObject() ? finiteOr(vm.toNumber(vm.getMember(point.asObject(), name)), 0)
                            : 0.0;
  };
  s.mapX = coordinate("x");
  s.mapY = coordinate("y");
  return s;
}

// A new object holding one stored filter's settings.
FilterObject* decode(Vm& vm, base::FilterSettings settings,
                     const std::vector<Object*>& prototypes) {
  const FilterClassSpec* cls = settings.cls;
  auto* f = vm.allocate<FilterObject>(*cls);
  const bool ci = vm.caseInsensitive();
  f->put("__proto__", Value(prototypes[size_t(cls - kFilters.data())]), kDontEnum | kDontDelete, ci);
  if (settings.id() == base::FilterClassId::DisplacementMap) {
    // A BitmapData showing the same pixels, and a new Point.
    if (settings.map)
      f->anyValue("mapBitmap") = newBitmapDataOn(vm, settings.map, settings.mapTransparent);
    Value ctor;
    if (Value flash = vm.getMember(vm.global, "flash"); flash.isObject())
      if (Value geom = vm.getMember(flash.asObject(), "geom"); geom.isObject())
        ctor = vm.getMember(geom.asObject(), "Point");
    std::vector<Value> args = {Value(settings.mapX), Value(settings.mapY)};
    if (ctor.isObject()) f->anyValue("mapPoint") = vm.construct(ctor, args);
    settings.map.reset();
  }
  f->settings = std::move(settings);
  return f;
}

FilterObject* copyOf(Vm& vm, const FilterObject& from, Object* proto) {
  auto* f = vm.allocate<FilterObject>(from.cls());
  f->settings = from.settings;
  f->any = from.any;
  f->put("__proto__", Value(proto), kDontEnum | kDontDelete, vm.caseInsensitive());
  return f;
}

// The prototypes of the filter classes as the player made them (by their place in
// kFilters): what filters read from a clip and clones get.
struct FilterPrototypes {
  std::vector<Object*> byClass;
};

Object* prototypeOf(Vm& vm, const FilterClassSpec& cls) {
  const std::vector<Object*>& all = vm.builtinState<FilterPrototypes>().byClass;
  const size_t k = size_t(&cls - kFilters.data());
  return k < all.size() ? all[k] : vm.objectProto;
}

// The members of filter class k reach it by variant: k for the constructor and clone,
// k * kFieldsPerClass + i for the accessors of its field i.
constexpr int kFieldsPerClass = 16;

Value constructFilter(Vm& vm, CallInfo& c) {
  if (!c.isConstruct) return Value();
  const FilterClassSpec& cls = kFilters[size_t(c.variant)];
  auto* f = vm.allocate<FilterObject>(cls);
  const bool ci = vm.caseInsensitive();
  f->put("__proto__", Value(prototypeOf(vm, cls)), kDontEnum | kDontDelete, ci);
  f->put("__constructor__", Value(c.callee), kDontEnum, ci);
  for (size_t i = 0; i < cls.constructorArgs.size() && i < c.args.size(); ++i) {
    const int field = cls.field(cls.constructorArgs[i]);
    if (field >= 0 && !c.args[i].isUndefined()) assign(vm, *f, size_t(field), c.args[i]);
  }
  return Value(f);
}

Value readSetting(Vm& vm, CallInfo& c) {
  const FilterClassSpec& cls = kFilters[size_t(c.variant / kFieldsPerClass)];
  const size_t i = size_t(c.variant % kFieldsPerClass);
  FilterObject* f = filterOf(c.thisValue);
  return f && &f->cls() == &cls ? fieldValue(vm, *f, i) : Value();
}

Value writeSetting(Vm& vm, CallInfo& c) {
  const FilterClassSpec& cls = kFilters[size_t(c.variant / kFieldsPerClass)];
  const size_t i = size_t(c.variant % kFieldsPerClass);
  FilterObject* f = filterOf(c.thisValue);
  if (f && &f->cls() == &cls) assign(vm, *f, i, c.arg(0));
  return Value();
}

Value cloneFilter(Vm& vm, CallInfo& c) {
  FilterObject* f = filterOf(c.thisValue);
  return f ? Value(copyOf(vm, *f, prototypeOf(vm, kFilters[size_t(c.variant)]))) : Value();
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
  for (base::FilterSettings& f : swf::readFilterSettings(list.bytes, list.maps))
    items.push_back(Value(decode(vm, std::move(f), prototypes)));
  return Value(vm.newArray(std::move(items)));
}

Value setClipFilters(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  if (!clip) return Value();
  std::vector<base::FilterSettings> settings;
  if (c.arg(0).isObject()) {
    Object* list = c.arg(0).asObject();
    const double n = finiteOr(vm.toNumber(vm.getMember(list, "length")), 0);
    for (size_t i = 0; i < size_t(std::clamp(n, 0.0, 255.0)); ++i)
      if (FilterObject* f = filterOf(vm.getMember(list, std::to_string(i))))
        settings.push_back(settingsOf(vm, *f));
  }
  swf::StoredFilters stored = swf::storeFilterSettings(settings);
  clip->setFilterList(stored.bytes.empty()
                          ? ScriptClip::FilterList{}
                          : ScriptClip::FilterList{std::move(stored.bytes), std::move(stored.maps)});
  return Value();
}

constexpr NativeMember kClipFilters[] = {
    getter("filters", clipFilters).since(8),
    setter("filters", setClipFilters).since(8),
};

}  // namespace

std::optional<base::FilterSettings> filterSettingsOf(Vm& vm, const Value& v) {
  FilterObject* f = filterOf(v);
  if (!f) return std::nullopt;
  return settingsOf(vm, *f);
}

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
