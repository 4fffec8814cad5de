// Array: a dense list of values with the methods of the language's Array.
#include <algorithm>
#include <cmath>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/base/player_sort.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxLength = 1 << 24;  // longer arrays are refused, not allocated

ArrayObject* self_(Machine& m, const Value& self) {
  return receiver<ArrayObject>(m, self, "Array");
}

Object* allocArray(Machine& m, ClassObject* cls) {
  return m.heap.make<ArrayObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

void setLength(Machine& m, ArrayObject* a, const Value& v) {
  double d = m.toNumber(v);
  if (!(d >= 0 && d == std::floor(d) && d <= 4294967295.0))
    m.fail(ErrorClass::RangeError, 1005, {numberToText(d)});
  if (d > kMaxLength) m.fail(ErrorClass::RangeError, 1005, {numberToText(d)});
  a->elements.resize(static_cast<size_t>(d), Value::hole());
}

// An element taken out of the array: a missing one is undefined.
Value ownElement(ArrayObject* a, size_t i) {
  Value v = std::move(a->elements[i]);
  return v.isHole() ? Value() : v;
}

// What an element reads as: a missing one is looked up on the prototypes.
Value elementAt(Machine& m, ArrayObject* a, size_t i) {
  if (i >= a->elements.size()) return Value();
  if (!a->elements[i].isHole()) return a->elements[i];
  return m.getProperty(Value(static_cast<Object*>(a)), m.publicName(m.indexName(static_cast<uint32_t>(i))));
}

Value arrayInit(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  if (args.size() == 1 && args[0].isNumeric()) {
    setLength(m, a, args[0]);
  } else {
    a->elements.assign(args.begin(), args.end());
  }
  return Value();
}

Value arrayMake(Machine& m, const Value&, std::span<Value> args) {
  ArrayObject* a = m.newArray();
  arrayInit(m, Value(static_cast<Object*>(a)), args);
  return Value(static_cast<Object*>(a));
}

Value length(Machine& m, const Value& self, std::span<Value>) {
  return Value(static_cast<uint32_t>(self_(m, self)->elements.size()));
}

Value lengthSet(Machine& m, const Value& self, std::span<Value> args) {
  setLength(m, self_(m, self), arg(args, 0));
  return Value();
}

Value push(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  for (Value& v : args) a->elements.push_back(std::move(v));
  return Value(static_cast<uint32_t>(a->elements.size()));
}

// The player's pop takes the last element the array has, even below a missing last one,
// and shortens the array by one.
Value pop(Machine& m, const Value& self, std::span<Value>) {
  ArrayObject* a = self_(m, self);
  auto& e = a->elements;
  if (e.empty()) return Value();
  size_t last = e.size();
  while (last > 0 && e[last - 1].isHole()) --last;
  Value v;
  if (last > 0) {
    v = std::move(e[last - 1]);
    e[last - 1] = Value::hole();
  }
  e.pop_back();
  return v;
}

Value shift(Machine& m, const Value& self, std::span<Value>) {
  ArrayObject* a = self_(m, self);
  if (a->elements.empty()) return Value();
  Value v = ownElement(a, 0);
  a->elements.erase(a->elements.begin());
  return v;
}

Value unshift(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  a->elements.insert(a->elements.begin(), args.begin(), args.end());
  return Value(static_cast<uint32_t>(a->elements.size()));
}

std::string joined(Machine& m, ArrayObject* a, std::string_view sep) {
  std::string out;
  for (size_t i = 0; i < a->elements.size(); ++i) {
    if (i) out += sep;
    const Value& v = a->elements[i];
    if (!v.isNullish()) out += m.toString(v).view();
  }
  return out;
}

Value join(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  std::string sep = args.empty() || args[0].isUndefined() ? "," : m.toText(args[0]);
  return Value(StringRef(joined(m, a, sep)));
}

Value toString(Machine& m, const Value& self, std::span<Value>) {
  return Value(StringRef(joined(m, self_(m, self), ",")));
}

Value concat(Machine& m, const Value& self, std::span<Value> args) {
  std::vector<Value> out = self_(m, self)->elements;
  for (const Value& v : args) {
    auto* other = v.isObject() ? dynamic_cast<ArrayObject*>(v.asObject()) : nullptr;
    if (other) out.insert(out.end(), other->elements.begin(), other->elements.end());
    else out.push_back(v);
  }
  return Value(static_cast<Object*>(m.newArray(std::move(out))));
}

// A start or end argument: negative counts from the end.
size_t relative(Machine& m, std::span<Value> args, size_t i, size_t size, size_t otherwise) {
  if (i >= args.size() || args[i].isUndefined()) return otherwise;
  double d = m.toNumber(args[i]);
  if (std::isnan(d)) d = 0;
  d = std::trunc(d);
  if (d < 0) d = std::max(0.0, d + static_cast<double>(size));
  return static_cast<size_t>(std::min(d, static_cast<double>(size)));
}

Value slice(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  size_t size = a->elements.size();
  size_t from = relative(m, args, 0, size, 0), to = relative(m, args, 1, size, size);
  std::vector<Value> out;
  if (from < to) out.assign(a->elements.begin() + from, a->elements.begin() + to);
  return Value(static_cast<Object*>(m.newArray(std::move(out))));
}

Value splice(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  if (args.empty()) return Value();  // the player gives nothing back here
  size_t size = a->elements.size();
  size_t from = relative(m, args, 0, size, 0);
  size_t count = size - from;
  if (args.size() > 1) {
    double d = m.toNumber(args[1]);
    count = std::isnan(d) || d < 0 ? 0 : static_cast<size_t>(std::min(d, static_cast<double>(count)));
  }
  std::vector<Value> removed(a->elements.begin() + from, a->elements.begin() + from + count);
  a->elements.erase(a->elements.begin() + from, a->elements.begin() + from + count);
  if (args.size() > 2) a->elements.insert(a->elements.begin() + from, args.begin() + 2, args.end());
  return Value(static_cast<Object*>(m.newArray(std::move(removed))));
}

// An insertAt/removeAt index, as splice takes it: negative ones count from the end.
int64_t elementIndex(Machine& m, ArrayObject* a, const Value& v) {
  double d = std::trunc(m.toNumber(v));
  if (std::isnan(d)) d = 0;
  auto size = static_cast<double>(a->elements.size());
  if (d < 0) d = std::max(0.0, d + size);
  return static_cast<int64_t>(std::min(d, static_cast<double>(kMaxLength)));
}

Value insertAt(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  auto at = static_cast<size_t>(elementIndex(m, a, arg(args, 0)));
  at = std::min(at, a->elements.size());  // as splice(index, 0, element) would
  a->elements.insert(a->elements.begin() + at, arg(args, 1));
  return Value();
}

Value removeAt(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  auto at = static_cast<size_t>(elementIndex(m, a, arg(args, 0)));
  if (at >= a->elements.size()) return Value();
  Value v = ownElement(a, at);
  a->elements.erase(a->elements.begin() + at);
  return v;
}

Value reverse(Machine& m, const Value& self, std::span<Value>) {
  ArrayObject* a = self_(m, self);
  std::reverse(a->elements.begin(), a->elements.end());
  return self;
}

Value indexOf(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  Value needle = arg(args, 0);
  size_t from = relative(m, args, 1, a->elements.size(), 0);
  for (size_t i = from; i < a->elements.size(); ++i)
    if (strictEquals(a->elements[i], needle)) return Value(static_cast<int32_t>(i));
  return Value(int32_t(-1));
}

Value lastIndexOf(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  if (a->elements.empty()) return Value(int32_t(-1));
  Value needle = arg(args, 0);
  size_t size = a->elements.size();
  size_t from = size - 1;
  if (args.size() > 1) {
    double d = std::trunc(m.toNumber(args[1]));
    if (d < 0) d = std::max(0.0, d + static_cast<double>(size));  // the player looks at 0
    from = static_cast<size_t>(std::min(d, static_cast<double>(size - 1)));
  }
  for (size_t i = from + 1; i-- > 0;)
    if (strictEquals(a->elements[i], needle)) return Value(static_cast<int32_t>(i));
  return Value(int32_t(-1));
}

namespace SortFlag {
constexpr int CaseInsensitive = 1, Descending = 2, UniqueSort = 4, ReturnIndexedArray = 8,
              Numeric = 16;
}

// NaN sorts after every number.
int compareNumbers(double p, double q) {
  if (std::isnan(p) || std::isnan(q)) return std::isnan(p) - std::isnan(q);
  return p < q ? -1 : p > q ? 1 : 0;
}

Value sort(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  Value compareFn;
  int flags = 0;
  for (const Value& v : args) {
    if (v.isObject() && dynamic_cast<FunctionObject*>(v.asObject())) compareFn = v;
    else if (v.isNumeric()) flags = m.toInt(v);
  }
  // A vector gives itself back: asked for indices, the player leaves it as it is.
  const bool vector = dynamic_cast<VectorObject*>(a) != nullptr;
  if (vector && (flags & SortFlag::ReturnIndexedArray)) return self;
  std::vector<size_t> order(a->elements.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::vector<Value> keys = a->elements;
  for (Value& k : keys)
    if (k.isHole()) k = Value();
  std::vector<std::string> texts;
  if (compareFn.isUndefined() && !(flags & SortFlag::Numeric)) {
    for (const Value& v : keys) {
      std::string t = m.toText(v);
      if (flags & SortFlag::CaseInsensitive)
        for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      texts.push_back(std::move(t));
    }
  }
  // -1, 0 or 1 for elements i and j; undefined sorts last.
  auto cmp = [&](size_t i, size_t j) -> int {
    const Value& x = keys[i];
    const Value& y = keys[j];
    if (x.isUndefined() || y.isUndefined()) return x.isUndefined() - y.isUndefined();
    if (!compareFn.isUndefined()) {
      Value pair[2] = {x, y};
      // The player takes the answer's whole part: 0.5 means equal.
      double r = std::trunc(m.toNumber(m.call(compareFn, Value::null(), pair)));
      return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    if (flags & SortFlag::Numeric) return compareNumbers(m.toNumber(x), m.toNumber(y));
    return texts[i] < texts[j] ? -1 : texts[i] > texts[j] ? 1 : 0;
  };
  const bool descending = flags & SortFlag::Descending;
  playerSort(order, [&](size_t i, size_t j) { return descending ? -cmp(i, j) : cmp(i, j); });
  if (flags & SortFlag::UniqueSort)
    for (size_t k = 1; k < order.size(); ++k)
      if (cmp(order[k - 1], order[k]) == 0) return vector ? self : Value(int32_t(0));
  if (flags & SortFlag::ReturnIndexedArray) {
    std::vector<Value> indices;
    for (size_t i : order) indices.emplace_back(static_cast<int32_t>(i));
    return Value(static_cast<Object*>(m.newArray(std::move(indices))));
  }
  for (size_t k = 0; k < order.size(); ++k) a->elements[k] = keys[order[k]];
  return self;
}

// sortOn(names, options): by each named field in turn, each with its own flags (or the
// first options' for all of them).
Value sortOn(Machine& m, const Value& self, std::span<Value> args) {
  ArrayObject* a = self_(m, self);
  std::vector<String*> fields;
  std::vector<int> fieldFlags;
  auto listOf = [&](const Value& v) -> ArrayObject* {
    return v.isObject() ? dynamic_cast<ArrayObject*>(v.asObject()) : nullptr;
  };
  if (ArrayObject* names = listOf(arg(args, 0)))
    for (const Value& n : names->elements) fields.push_back(m.intern(m.toString(n).view()));
  else if (!arg(args, 0).isNullish())
    fields.push_back(m.intern(m.toString(arg(args, 0)).view()));
  if (ArrayObject* opts = listOf(arg(args, 1))) {
    for (const Value& o : opts->elements) fieldFlags.push_back(m.toInt(o));
    if (fieldFlags.size() != fields.size()) fieldFlags.clear();
  }
  int flags = args.size() > 1 && !listOf(args[1]) ? m.toInt(args[1]) : 0;
  if (fieldFlags.empty()) fieldFlags.assign(fields.size(), flags);
  if (!fieldFlags.empty()) flags = fieldFlags[0];
  // The fields' values, read once per element.
  std::vector<Value> elements = a->elements;  // getters may change the array meanwhile
  size_t n = elements.size();
  std::vector<std::vector<Value>> keys(n);
  for (size_t i = 0; i < n; ++i) {
    const Value& e = elements[i];
    for (String* f : fields)
      keys[i].push_back(e.isObject() ? m.getProperty(e, m.publicName(f)) : Value());
  }
  auto cmp = [&](size_t i, size_t j) -> int {
    for (size_t k = 0; k < fields.size(); ++k) {
      const Value& x = keys[i][k];
      const Value& y = keys[j][k];
      int f = fieldFlags[k], c = 0;
      if (f & SortFlag::Numeric) {
        c = compareNumbers(m.toNumber(x), m.toNumber(y));
      } else {
        std::string p = m.toText(x), q = m.toText(y);
        if (f & SortFlag::CaseInsensitive) {
          for (char& ch : p) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
          for (char& ch : q) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        c = p < q ? -1 : p > q ? 1 : 0;
      }
      if (f & SortFlag::Descending) c = -c;
      if (c) return c;
    }
    return 0;
  };
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  playerSort(order, cmp);
  if (flags & SortFlag::UniqueSort)
    for (size_t k = 1; k < n; ++k)
      if (cmp(order[k - 1], order[k]) == 0) return Value(int32_t(0));
  if (flags & SortFlag::ReturnIndexedArray) {
    std::vector<Value> indices;
    for (size_t i : order) indices.emplace_back(static_cast<int32_t>(i));
    return Value(static_cast<Object*>(m.newArray(std::move(indices))));
  }
  std::vector<Value> sorted;
  for (size_t i : order) sorted.push_back(elements[i]);
  a->elements = std::move(sorted);
  return self;
}

// every, some, forEach, map and filter: the callback with (element, index, array).
enum class Walk { Every, Some, ForEach, Map, Filter };

constexpr const char* kWalkNames[] = {"every", "some", "forEach", "map", "filter"};

Value walk(Machine& m, const Value& self, std::span<Value> args, Walk kind) {
  ArrayObject* a = self_(m, self);
  Value fn = arg(args, 0), thisArg = arg(args, 1);
  // A vector's methods declare their callback a Function, and insist on one.
  if (dynamic_cast<VectorObject*>(a)) {
    std::string method = m.className(self) + "/" + kWalkNames[static_cast<int>(kind)] + "()";
    if (args.empty()) m.fail(ErrorClass::ArgumentError, 1063, {"__AS3__.vec::" + method, "1", "0"});
    if (!fn.isNullish() && !(fn.isObject() && dynamic_cast<FunctionObject*>(fn.asObject())))
      m.fail(ErrorClass::TypeError, 1034, {m.className(fn), "Function"});
  }
  std::vector<Value> out;
  if (!fn.isObject()) {
    if (kind == Walk::Map || kind == Walk::Filter) return Value(static_cast<Object*>(m.newArray()));
    return kind == Walk::Every ? Value(true) : kind == Walk::Some ? Value(false) : Value();
  }
  for (size_t i = 0; i < a->elements.size(); ++i) {
    Value element = elementAt(m, a, i);
    Value callArgs[3] = {element, Value(static_cast<int32_t>(i)), self};
    Value r = m.call(fn, thisArg, callArgs);
    switch (kind) {
      case Walk::Every: if (!toBoolean(r)) return Value(false); break;
      case Walk::Some: if (toBoolean(r)) return Value(true); break;
      case Walk::Map: out.push_back(r); break;
      case Walk::Filter: if (toBoolean(r)) out.push_back(element); break;
      case Walk::ForEach: break;
    }
  }
  if (kind == Walk::Every) return Value(true);
  if (kind == Walk::Some) return Value(false);
  if (kind == Walk::ForEach) return Value();
  return Value(static_cast<Object*>(m.newArray(std::move(out))));
}

Value every(Machine& m, const Value& s, std::span<Value> a) { return walk(m, s, a, Walk::Every); }
Value some(Machine& m, const Value& s, std::span<Value> a) { return walk(m, s, a, Walk::Some); }
Value forEach(Machine& m, const Value& s, std::span<Value> a) { return walk(m, s, a, Walk::ForEach); }
Value map(Machine& m, const Value& s, std::span<Value> a) { return walk(m, s, a, Walk::Map); }
Value filter(Machine& m, const Value& s, std::span<Value> a) { return walk(m, s, a, Walk::Filter); }

// The methods work on any object with a length and indexed properties, as the language
// has them: its values are copied into an array for the method, and a method that
// changes its array writes the result back.
Value onArrayLike(Machine& m, const Value& self, std::span<Value> args, NativeCode code,
                  bool mutates) {
  if (!self.isObject() || dynamic_cast<ArrayObject*>(self.asObject())) return code(m, self, args);
  auto read = [&](const Name& n) { return m.hasProperty(self, n) ? m.getProperty(self, n) : Value(); };
  size_t length = std::min<size_t>(m.toUint(read(m.publicName("length"))), kMaxLength);
  std::vector<Value> elements;
  for (size_t i = 0; i < length; ++i) elements.push_back(read(m.publicName(m.indexName(uint32_t(i)))));
  ArrayObject* copy = m.newArray(std::move(elements));
  Value copied(static_cast<Object*>(copy));
  Value result = code(m, copied, args);
  if (mutates) {
    std::vector<Value> out = copy->elements;
    for (size_t i = 0; i < out.size(); ++i) m.set(self, std::to_string(i), out[i]);
    for (size_t i = out.size(); i < length; ++i) m.deleteProperty(self, m.publicName(std::to_string(i)));
    m.set(self, "length", Value(static_cast<uint32_t>(out.size())));
  }
  return result.isObject() && result.asObject() == copy ? self : result;
}

template <NativeCode Code, bool Mutates>
Value generic(Machine& m, const Value& self, std::span<Value> args) {
  return onArrayLike(m, self, args, Code, Mutates);
}

const NativeMember kArrayMembers[] = {
    {"length", MemberKind::Getter, length},
    {"length", MemberKind::Setter, lengthSet},
    {"push", MemberKind::Method, generic<push, true>, 1},
    {"pop", MemberKind::Method, generic<pop, true>},
    {"shift", MemberKind::Method, generic<shift, true>},
    {"unshift", MemberKind::Method, generic<unshift, true>},
    {"join", MemberKind::Method, generic<join, false>, 1},
    {"toString", MemberKind::Method, toString},
    {"toLocaleString", MemberKind::Method, toString},
    {"concat", MemberKind::Method, generic<concat, false>},
    {"slice", MemberKind::Method, generic<slice, false>, 2},
    {"splice", MemberKind::Method, generic<splice, true>},
    {"reverse", MemberKind::Method, generic<reverse, true>},
    {"insertAt", MemberKind::Method, insertAt, 2},
    {"removeAt", MemberKind::Method, removeAt, 1},
    {"indexOf", MemberKind::Method, generic<indexOf, false>, 1},
    {"lastIndexOf", MemberKind::Method, generic<lastIndexOf, false>, 1},
    {"sort", MemberKind::Method, generic<sort, true>},
    {"sortOn", MemberKind::Method, generic<sortOn, true>, 2},
    {"every", MemberKind::Method, generic<every, false>, 1},
    {"some", MemberKind::Method, generic<some, false>, 1},
    {"forEach", MemberKind::Method, generic<forEach, false>, 1},
    {"map", MemberKind::Method, generic<map, false>, 1},
    {"filter", MemberKind::Method, generic<filter, false>, 1},
    {"CASEINSENSITIVE", MemberKind::Constant, nullptr, 0, SortFlag::CaseInsensitive},
    {"DESCENDING", MemberKind::Constant, nullptr, 0, SortFlag::Descending},
    {"UNIQUESORT", MemberKind::Constant, nullptr, 0, SortFlag::UniqueSort},
    {"RETURNINDEXEDARRAY", MemberKind::Constant, nullptr, 0, SortFlag::ReturnIndexedArray},
    {"NUMERIC", MemberKind::Constant, nullptr, 0, SortFlag::Numeric},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

}  // namespace

void installArrayClass(Machine& m) {
  m.arrayClass = installClass(m, {.name = "Array",
                                  .members = kArrayMembers,
                                  .init = arrayInit,
                                  .call = arrayMake,
                                  .alloc = allocArray,
                                  .initLength = 1});
}

}  // namespace orv::movie::avm2
