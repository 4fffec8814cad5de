// String: methods work on characters (UTF-8 in SWF 6 and later).
#include <cmath>

#include "movie/avm1/native_table.h"
#include "movie/avm1/text.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

std::string selfString(Vm& vm, CallInfo& c) {
  Object* o = c.thisObject();
  if (o && o->kind == ObjectKind::String) return vm.toString(o->primitive);
  return vm.toString(c.thisValue);
}

long clampIndex(double n, long len) {
  if (std::isnan(n)) return 0;
  if (n < 0) return 0;
  if (n > len) return len;
  return static_cast<long>(n);
}

bool utf8(Vm& vm) { return vm.version() >= 6; }

Value construct(Vm& vm, CallInfo& c) {
  std::string s = c.args.empty() ? "" : vm.toString(c.arg(0));
  if (!c.isConstruct) return Value(s);
  Object* o = c.thisObject();
  if (o) {
    o->kind = ObjectKind::String;
    o->primitive = Value(s);
  }
  return Value(o);
}

Value fromCharCode(Vm& vm, CallInfo& c) {
  std::string out;
  for (auto& a : c.args)
    out += text::fromCharCode(static_cast<uint32_t>(vm.toInt(a)) & 0xFFFF, utf8(vm));
  return Value(out);
}

Value valueOf(Vm& vm, CallInfo& c) { return Value(selfString(vm, c)); }

Value charAt(Vm& vm, CallInfo& c) {
  auto chars = text::decode(selfString(vm, c), utf8(vm));
  double i = vm.toNumber(c.arg(0));
  if (std::isnan(i)) i = 0;
  i = std::trunc(i);
  if (i < 0 || i >= static_cast<double>(chars.size())) return Value("");
  return Value(text::fromCharCode(chars[static_cast<size_t>(i)], utf8(vm)));
}

Value charCodeAt(Vm& vm, CallInfo& c) {
  auto chars = text::decode(selfString(vm, c), utf8(vm));
  double i = vm.toNumber(c.arg(0));
  if (std::isnan(i)) i = 0;
  i = std::trunc(i);
  if (i < 0 || i >= static_cast<double>(chars.size())) return Value(std::nan(""));
  return Value(static_cast<double>(chars[static_cast<size_t>(i)]));
}

Value concat(Vm& vm, CallInfo& c) {
  std::string s = selfString(vm, c);
  for (auto& a : c.args) {
    std::string more = vm.toString(a);
    vm.noteStringMade(s.size() + more.size());
    s += more;
  }
  return Value(s);
}

Value indexOf(Vm& vm, CallInfo& c) {
  auto hay = text::decode(selfString(vm, c), utf8(vm));
  auto needle = text::decode(vm.toString(c.arg(0)), utf8(vm));
  long start = 0;
  if (c.args.size() > 1) {
    double n = vm.toNumber(c.arg(1));
    start = clampIndex(std::trunc(n), static_cast<long>(hay.size()));
  }
  if (c.args.empty()) return Value(-1.0);
  for (long i = start; i + static_cast<long>(needle.size()) <= static_cast<long>(hay.size()); ++i)
    if (std::equal(needle.begin(), needle.end(), hay.begin() + i))
      return Value(static_cast<double>(i));
  return Value(-1.0);
}

Value lastIndexOf(Vm& vm, CallInfo& c) {
  auto hay = text::decode(selfString(vm, c), utf8(vm));
  auto needle = text::decode(vm.toString(c.arg(0)), utf8(vm));
  if (c.args.empty()) return Value(-1.0);
  long last = static_cast<long>(hay.size()) - static_cast<long>(needle.size());
  if (c.args.size() > 1) {
    double n = vm.toNumber(c.arg(1));
    if (std::isnan(n) || n < 0) return Value(-1.0);
    last = std::min(last, static_cast<long>(n));
  }
  for (long i = last; i >= 0; --i)
    if (std::equal(needle.begin(), needle.end(), hay.begin() + i))
      return Value(static_cast<double>(i));
  return Value(-1.0);
}

Value slice(Vm& vm, CallInfo& c) {
  auto chars = text::decode(selfString(vm, c), utf8(vm));
  double len = static_cast<double>(chars.size());
  auto rel = [&](const Value& v, double dflt) {
    if (v.isUndefined()) return dflt;
    double n = std::trunc(vm.toNumber(v));
    if (std::isnan(n)) n = 0;
    if (n < 0) n = std::max(0.0, len + n);
    return std::min(n, len);
  };
  if (c.args.empty()) return Value();  // no start: nothing
  double s = rel(c.arg(0), 0), e = rel(c.arg(1), len);
  if (e <= s) return Value("");
  return Value(text::encode(std::vector<uint32_t>(chars.begin() + static_cast<long>(s),
                                                  chars.begin() + static_cast<long>(e)),
                            utf8(vm)));
}

Value substring(Vm& vm, CallInfo& c) {
  auto chars = text::decode(selfString(vm, c), utf8(vm));
  long len = static_cast<long>(chars.size());
  long s = clampIndex(std::trunc(vm.toNumber(c.arg(0))), len);
  long e = c.arg(1).isUndefined() ? len : clampIndex(std::trunc(vm.toNumber(c.arg(1))), len);
  if (s > e) std::swap(s, e);
  return Value(text::encode(std::vector<uint32_t>(chars.begin() + s, chars.begin() + e), utf8(vm)));
}

Value substr(Vm& vm, CallInfo& c) {
  auto chars = text::decode(selfString(vm, c), utf8(vm));
  double len = static_cast<double>(chars.size());
  double s = std::trunc(vm.toNumber(c.arg(0)));
  if (std::isnan(s)) s = 0;
  if (s < 0) s = std::max(0.0, len + s);
  s = std::min(s, len);
  double n = c.arg(1).isUndefined() ? len - s : std::trunc(vm.toNumber(c.arg(1)));
  if (std::isnan(n) || n <= 0) return Value("");
  double e = std::min(len, s + n);
  return Value(text::encode(std::vector<uint32_t>(chars.begin() + static_cast<long>(s),
                                                  chars.begin() + static_cast<long>(e)),
                            utf8(vm)));
}

Value split(Vm& vm, CallInfo& c) {
  std::string s = selfString(vm, c);
  std::vector<Value> out;
  double limit = c.arg(1).isUndefined() ? 4294967295.0 : vm.toNumber(c.arg(1));
  if (std::isnan(limit)) limit = 0;
  if (vm.version() < 6) {
    // Version 5 movies split on a single character only: a limit below one
    // gives nothing (the whole string for an empty separator), any other
    // separator leaves the string whole.
    bool emptySep = c.arg(0).isString() && c.arg(0).asString().empty();
    if (!c.arg(1).isUndefined() && limit <= 0) {
      if (emptySep) out.push_back(Value(s));
      return Value(vm.newArray(out));
    }
    if (c.arg(0).isUndefined() || text::decode(vm.toString(c.arg(0)), utf8(vm)).size() != 1) {
      out.push_back(Value(s));
      return Value(vm.newArray(out));
    }
  }
  if (c.arg(0).isUndefined()) {
    out.push_back(Value(s));
    return Value(vm.newArray(out));
  }
  std::string sep = vm.toString(c.arg(0));
  // An empty string splits into one empty piece (none on an empty separator),
  // whatever the limit.
  if (s.empty()) {
    if (!sep.empty()) out.push_back(Value(s));
    return Value(vm.newArray(out));
  }
  if (limit <= 0) return Value(vm.newArray(out));
  if (sep.empty()) {
    for (uint32_t ch : text::decode(s, utf8(vm))) {
      if (out.size() >= limit) break;
      out.push_back(Value(text::fromCharCode(ch, utf8(vm))));
    }
    return Value(vm.newArray(out));
  }
  size_t pos = 0;
  while (out.size() < limit) {
    size_t hit = s.find(sep, pos);
    if (hit == std::string::npos) {
      out.push_back(Value(s.substr(pos)));
      break;
    }
    out.push_back(Value(s.substr(pos, hit - pos)));
    pos = hit + sep.size();
  }
  return Value(vm.newArray(out));
}

Value toUpperCase(Vm& vm, CallInfo& c) { return Value(text::toUpper(selfString(vm, c), utf8(vm))); }

Value toLowerCase(Vm& vm, CallInfo& c) { return Value(text::toLower(selfString(vm, c), utf8(vm))); }

constexpr NativeMember kPrototype[] = {
    method("toString", valueOf, kDontEnum | kDontDelete).asnative(251, 1),
    method("valueOf", valueOf).asnative(251, 0),
    method("charAt", charAt).asnative(251, 5),
    method("charCodeAt", charCodeAt).asnative(251, 6),
    method("concat", concat).asnative(251, 7),
    method("indexOf", indexOf).asnative(251, 8),
    method("lastIndexOf", lastIndexOf).asnative(251, 9),
    method("slice", slice).asnative(251, 10),
    method("substring", substring).asnative(251, 11),
    method("substr", substr).asnative(251, 13),
    method("split", split).asnative(251, 12),
    method("toUpperCase", toUpperCase).asnative(251, 3),
    method("toLowerCase", toLowerCase).asnative(251, 4),
};
constexpr NativeMember kStatics[] = {method("fromCharCode", fromCharCode).asnative(251, 14)};
constexpr NativeClass kStringClass{
    .name = "String", .constructor = construct, .prototype = kPrototype, .statics = kStatics};

}  // namespace

void installStringBuiltins(Vm& vm) {
  vm.stringProto = vm.newObject();
  installClass(vm, vm.global, kStringClass, vm.stringProto);
}

}  // namespace orv::movie::avm1
