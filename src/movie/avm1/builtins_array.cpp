// Array: elements live as index properties with a tracked length.
#include <algorithm>
#include <cmath>

#include "movie/avm1/native_table.h"
#include "movie/avm1/text.h"
#include "movie/avm1/vm.h"
#include "movie/base/player_sort.h"

namespace orv::movie::avm1 {

namespace {

enum SortFlag {
  kCaseInsensitive = 1,
  kDescending = 2,
  kUniqueSort = 4,
  kReturnIndexedArray = 8,
  kNumeric = 16
};

bool isFunction(const Value& v) {
  return v.isObject() && v.asObject()->kind == ObjectKind::Function;
}

double relIndex(Vm& vm, const Value& v, double len, double dflt) {
  if (v.isUndefined()) return dflt;
  double n = vm.toNumber(v);
  if (std::isnan(n)) n = 0;
  n = std::trunc(n);
  if (n < 0) n = std::max(0.0, len + n);
  return std::min(n, len);
}

std::string joinElements(Vm& vm, Object* self, const std::string& sep) {
  std::string out;
  std::vector<Value> elems = vm.arrayElements(self);
  for (size_t i = 0; i < elems.size(); ++i) {
    if (i) out += sep;
    out += vm.toString(elems[i]);
    if (out.size() > vm.limits().maxStringLength) throw ScriptAbort{"string too long"};
    if ((i & 1023) == 1023) vm.noteStringMade(out.size());
  }
  return out;
}

// Compares two values the way sort() does for the given flags: <0, 0, >0.
int compareValues(Vm& vm, const Value& a, const Value& b, int flags) {
  if (flags & kNumeric) {
    double x = vm.toNumber(a), y = vm.toNumber(b);
    if (a.isNumber() && b.isNumber()) {
      if (std::isnan(x)) return std::isnan(y) ? 0 : 1;
      if (std::isnan(y)) return -1;
      return x < y ? -1 : x > y ? 1 : 0;
    }
  }
  std::string x = vm.toString(a), y = vm.toString(b);
  if (flags & kCaseInsensitive) {
    // Letters beyond ASCII fold too ("Ë" is "ë").
    x = text::toLower(x, vm.version() >= 6);
    y = text::toLower(y, vm.version() >= 6);
  }
  return x < y ? -1 : x > y ? 1 : 0;
}

// Shared by sort and sortOn: `cmp` gives <0/0/>0 for two elements.
template <class Cmp>
Value sortWith(Vm& vm, Object* self, std::vector<Value>& elems, int flags, bool byScript, Cmp cmp) {
  std::vector<size_t> idx(elems.size());
  for (size_t i = 0; i < idx.size(); ++i) idx[i] = i;
  bool duplicate = false;
  // With a script comparator descending is the ascending order turned round; the built-in
  // orders compare the other way round.
  bool turnRound = (flags & kDescending) && byScript;
  playerSort(idx, [&](size_t a, size_t b) {
    int c = cmp(elems[a], elems[b]);
    if (c == 0 && a != b) duplicate = true;
    if ((flags & kDescending) && !turnRound) c = -c;
    return c;
  });
  // The quicksort need not compare every pair of equal neighbours: the built-in orders
  // are asked once more (a script's comparator only sees the sort's own calls).
  if ((flags & kUniqueSort) && !byScript && !duplicate)
    for (size_t k = 1; k < idx.size() && !duplicate; ++k)
      duplicate = cmp(elems[idx[k - 1]], elems[idx[k]]) == 0;
  if (turnRound) std::reverse(idx.begin(), idx.end());
  if ((flags & kUniqueSort) && duplicate) return Value(0.0);
  if (flags & kReturnIndexedArray) {
    std::vector<Value> out;
    for (size_t i : idx) out.push_back(Value(static_cast<double>(i)));
    return Value(vm.newArray(out));
  }
  std::vector<Value> sorted;
  for (size_t i : idx) sorted.push_back(elems[i]);
  vm.setArrayElements(self, sorted);
  return Value(self);
}

Value construct(Vm& vm, CallInfo& c) {
  // Called on a plain object (super() in a subclass, Array.call(o)): the object itself
  // becomes the array, keeping its prototype and properties.
  if (Object* self = c.thisObject(); !c.isConstruct && self && self->kind == ObjectKind::Plain) {
    self->kind = ObjectKind::Array;
    self->arrayLength = 0;
    if (c.args.size() == 1 && c.args[0].isNumber()) {
      double n = c.args[0].asNumber();
      if (n >= -2147483648.0 && n <= 1e7) self->arrayLength = static_cast<int64_t>(n);
    } else {
      for (size_t i = 0; i < c.args.size(); ++i)
        vm.setMember(self, numberToString(double(i)), c.args[i]);
    }
    return Value(self);
  }
  if (c.args.size() == 1 && c.args[0].isNumber()) {
    Object* a = vm.newArray();
    double n = c.args[0].asNumber();
    // A negative length is kept as it is given (whole numbers only): the array has no elements.
    if (n >= -2147483648.0 && n <= 1e7) a->arrayLength = static_cast<int64_t>(n);
    return Value(a);
  }
  return Value(vm.newArray(std::vector<Value>(c.args.begin(), c.args.end())));
}

Value push(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  // Appends in place: a loop of pushes must not copy the array each time.
  double len = self->kind == ObjectKind::Array
                   ? self->arrayCount()
                   : toUint32(vm.toNumber(vm.getMember(self, "length")));
  for (auto& a : c.args) vm.setMember(self, numberToString(len++), a);
  if (self->kind != ObjectKind::Array) vm.setMember(self, "length", Value(len));
  return Value(len);
}

Value pop(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  if (self->kind == ObjectKind::Array) {
    // The last element only: a loop of pops must not copy the array each time.
    const int64_t n = self->arrayCount();
    if (n <= 0) return Value();
    const bool ci = vm.caseInsensitive();
    const std::string last = std::to_string(n - 1);
    Property* p = self->findOwn(last, ci);
    Value v = p ? p->value : Value();
    self->removeOwn(last, ci);
    self->arrayLength = n - 1;
    return v;
  }
  std::vector<Value> e = vm.arrayElements(self);
  if (e.empty()) return Value();
  Value v = e.back();
  e.pop_back();
  vm.setArrayElements(self, e);
  return v;
}

Value shift(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  std::vector<Value> e = vm.arrayElements(self);
  if (e.empty()) return Value();
  Value v = e.front();
  e.erase(e.begin());
  vm.setArrayElements(self, e);
  return v;
}

Value unshift(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  std::vector<Value> e = vm.arrayElements(self);
  e.insert(e.begin(), c.args.begin(), c.args.end());
  vm.setArrayElements(self, e, c.args.size());
  return Value(static_cast<double>(e.size()));
}

Value join(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  std::string sep = c.arg(0).isUndefined() ? "," : vm.toString(c.arg(0));
  return Value(joinElements(vm, self, sep));
}

Value toString(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  return Value(joinElements(vm, self, ","));
}

Value reverse(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  std::vector<Value> e = vm.arrayElements(self);
  std::reverse(e.begin(), e.end());
  vm.setArrayElements(self, e);
  return Value(self);
}

Value concat(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  std::vector<Value> e = self ? vm.arrayElements(self) : std::vector<Value>{};
  for (auto& a : c.args) {
    if (a.isObject() && a.asObject()->kind == ObjectKind::Array) {
      auto more = vm.arrayElements(a.asObject());
      e.insert(e.end(), more.begin(), more.end());
    } else {
      e.push_back(a);
    }
  }
  return Value(vm.newArray(e));
}

Value slice(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  std::vector<Value> e = vm.arrayElements(self);
  double len = static_cast<double>(e.size());
  double s = relIndex(vm, c.arg(0), len, 0), t = relIndex(vm, c.arg(1), len, len);
  std::vector<Value> out;
  for (double i = s; i < t; ++i) out.push_back(e[static_cast<size_t>(i)]);
  return Value(vm.newArray(out));
}

Value splice(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  // An undefined start or count is no splice at all.
  if (!self || c.args.empty() || c.args[0].isUndefined() ||
      (c.args.size() >= 2 && c.args[1].isUndefined()))
    return Value();
  std::vector<Value> e = vm.arrayElements(self);
  double len = static_cast<double>(e.size());
  size_t s = static_cast<size_t>(relIndex(vm, c.arg(0), len, 0));
  size_t count = e.size() - s;
  if (c.args.size() >= 2) {
    double n = vm.toNumber(c.arg(1));
    if (n < 0) return Value();  // a negative count changes nothing
    if (std::isnan(n)) n = 0;
    count = std::min(count, static_cast<size_t>(std::min(n, len)));
  }
  std::vector<Value> removed(e.begin() + static_cast<long>(s),
                             e.begin() + static_cast<long>(s + count));
  e.erase(e.begin() + static_cast<long>(s), e.begin() + static_cast<long>(s + count));
  if (c.args.size() > 2)
    e.insert(e.begin() + static_cast<long>(s), c.args.begin() + 2, c.args.end());
  vm.setArrayElements(self, e);
  return Value(vm.newArray(removed));
}

Value sort(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  std::vector<Value> e = vm.arrayElements(self);
  Value fn;
  int flags = 0;
  if (isFunction(c.arg(0))) {
    fn = c.arg(0);
    if (c.args.size() > 1) flags = vm.toInt(c.arg(1));
  } else if (!c.args.empty()) {
    // Neither a comparator nor options: an object leaves the array as it is, anything
    // else but a number gives undefined. Options given twice: the second ones count.
    if (c.arg(0).isObject()) return Value(self);
    if (!c.arg(0).isNumber()) return Value();
    flags = vm.toInt(c.args.size() > 1 && !c.arg(1).isUndefined() ? c.arg(1) : c.arg(0));
  }
  if (fn.isObject()) {
    return sortWith(vm, self, e, flags, true, [&](const Value& a, const Value& b) {
      std::vector<Value> args{a, b};
      double r = vm.toNumber(vm.call(fn, Value(), args));
      return r < 0 ? -1 : r > 0 ? 1 : 0;
    });
  }
  return sortWith(vm, self, e, flags, false,
                  [&](const Value& a, const Value& b) { return compareValues(vm, a, b, flags); });
}

// What sortOn orders an element by: an object's own plain value of the field (no getter
// runs, no prototype is asked; a String object's length counts), or the element itself
// when it is no object.
Value sortKey(Vm& vm, const Value& element, const std::string& field) {
  if (!element.isObject()) return element;
  Object* o = element.asObject();
  if (o->kind == ObjectKind::String && field == "length") return vm.getMember(o, field);
  Property* p = o->findOwn(field, vm.caseInsensitive());
  return p && !p->isAccessor() ? p->value : Value();
}

Value sortOn(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self || c.args.empty()) return Value();
  std::vector<Value> e = vm.arrayElements(self);
  std::vector<std::string> fields;
  std::vector<int> fieldFlags;
  int flags = c.args.size() > 1 && !c.arg(1).isObject() ? vm.toInt(c.arg(1)) : 0;
  if (c.arg(0).isObject() && c.arg(0).asObject()->kind == ObjectKind::Array) {
    for (auto& f : vm.arrayElements(c.arg(0).asObject())) fields.push_back(vm.toString(f));
    if (c.arg(1).isObject())
      for (auto& f : vm.arrayElements(c.arg(1).asObject())) fieldFlags.push_back(vm.toInt(f));
    // Options per field count only when there is one for every field; the first
    // field's then also says whether to insist on unique keys or give indices.
    if (fieldFlags.size() != fields.size()) fieldFlags.clear();
    if (!fieldFlags.empty()) flags = fieldFlags[0] & (kUniqueSort | kReturnIndexedArray);
  } else {
    fields.push_back(vm.toString(c.arg(0)));
  }
  return sortWith(vm, self, e, flags & ~kDescending, false, [&](const Value& a, const Value& b) {
    for (size_t i = 0; i < fields.size(); ++i) {
      int ff = i < fieldFlags.size() ? fieldFlags[i] : flags;
      int r = compareValues(vm, sortKey(vm, a, fields[i]), sortKey(vm, b, fields[i]), ff);
      if (ff & kDescending) r = -r;
      if (r) return r;
    }
    return 0;
  });
}

constexpr NativeMember kStatics[] = {
    constant("CASEINSENSITIVE", kCaseInsensitive),
    constant("DESCENDING", kDescending),
    constant("UNIQUESORT", kUniqueSort),
    constant("RETURNINDEXEDARRAY", kReturnIndexedArray),
    constant("NUMERIC", kNumeric),
};
constexpr NativeMember kPrototype[] = {
    method("push", push),       method("pop", pop),       method("shift", shift),
    method("unshift", unshift), method("join", join),     method("toString", toString),
    method("reverse", reverse), method("concat", concat), method("slice", slice),
    method("splice", splice),   method("sort", sort),     method("sortOn", sortOn),
};
constexpr NativeClass kArrayClass{.name = "Array",
                                  .constructor = construct,
                                  .prototype = kPrototype,
                                  .statics = kStatics,
                                  .constructsOwnObject = true};

}  // namespace

void installArrayBuiltins(Vm& vm) {
  vm.arrayProto = vm.newObject();
  installClass(vm, vm.global, kArrayClass, vm.arrayProto);
}

}  // namespace orv::movie::avm1
