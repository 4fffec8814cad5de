#include "movie/base/filter_settings.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace orv::movie::base {

namespace {

using F = FilterField;

double finiteOr0(double v) { return std::isfinite(v) ? v : 0.0; }

const FilterSetting kNoSetting;

}  // namespace

int FilterClassSpec::field(std::string_view name) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (name == fields[i].name) return int(i);
  return -1;
}

const FilterClassSpec* filterClass(FilterClassId id) {
  for (const FilterClassSpec& c : kFilterClasses)
    if (c.id == id) return &c;
  return nullptr;
}

FilterSettings::FilterSettings(const FilterClassSpec& c) : cls(&c), slots(c.fields.size()) {
  for (size_t i = 0; i < c.fields.size(); ++i) {
    slots[i].number = c.fields[i].number;
    if (c.fields[i].text) slots[i].text = c.fields[i].text;
  }
  if (c.id == FilterClassId::ColorMatrix) {
    slots[0].list.assign(20, 0.0);
    for (size_t k = 0; k < 4; ++k) slots[0].list[k * 6] = 1;  // the identity
  }
}

double FilterSettings::number(std::string_view name) const {
  const int i = cls->field(name);
  return i < 0 ? 0 : slots[size_t(i)].number;
}

const std::string& FilterSettings::text(std::string_view name) const {
  const int i = cls->field(name);
  return i < 0 ? kNoSetting.text : slots[size_t(i)].text;
}

const std::vector<double>& FilterSettings::list(std::string_view name) const {
  const int i = cls->field(name);
  return i < 0 ? kNoSetting.list : slots[size_t(i)].list;
}

FilterSetting* FilterSettings::slot(std::string_view name) {
  const int i = cls->field(name);
  return i < 0 ? nullptr : &slots[size_t(i)];
}

double settleFilterNumber(FilterField type, double v) {
  switch (type) {
    case F::Single:
      return double(float(v));
    case F::Color:
      return double(uint32_t(int64_t(std::clamp(finiteOr0(v), -9.2e18, 9.2e18))) & 0xFFFFFFu);
    case F::Unit:
      return std::clamp(finiteOr0(v), 0.0, 1.0);
    case F::Blur:
    case F::Strength:
      return std::clamp(finiteOr0(v), 0.0, 255.0);
    case F::Quality:
    case F::Side:
      return std::clamp(std::trunc(finiteOr0(v)), 0.0, 15.0);
    case F::Flag:
      return v != 0 && !std::isnan(v) ? 1 : 0;
    default:
      return v;
  }
}

bool filterTextAllowed(FilterField type, std::string_view v) {
  if (type == F::Type) return v == "inner" || v == "outer" || v == "full";
  if (type == F::Mode) return v == "wrap" || v == "clamp" || v == "ignore" || v == "color";
  return false;
}

void setFilterNumber(FilterSettings& f, size_t i, double v) {
  if (i < f.slots.size()) f.slots[i].number = settleFilterNumber(f.cls->fields[i].type, v);
}

void setFilterText(FilterSettings& f, size_t i, std::string_view v) {
  if (i < f.slots.size() && filterTextAllowed(f.cls->fields[i].type, v)) f.slots[i].text = v;
}

void setFilterList(FilterSettings& f, size_t i, std::vector<double> v) {
  if (i >= f.slots.size()) return;
  if (v.size() > kMaxFilterList) v.resize(kMaxFilterList);
  f.slots[i].list = std::move(v);
}

}  // namespace orv::movie::base
