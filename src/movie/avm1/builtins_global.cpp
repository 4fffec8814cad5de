// Global functions: parseInt, escape, setInterval, ASSetPropFlags, Error, ...
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

bool isFunction(const Value& v) {
  return v.isObject() && v.asObject()->kind == ObjectKind::Function;
}
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// radix: the second argument, or nullptr when it was left out (a radix given as undefined,
// 0 or anything outside 2..36 gives NaN).
Value parseIntImpl(Vm& vm, const std::string& s, const Value* radixArg) {
  size_t i = 0;
  int radix = radixArg ? vm.toInt(*radixArg) : 0;
  if (radixArg && radix == 0) return Value(std::nan(""));
  bool neg = false;
  auto readSign = [&] {
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
      neg = s[i] == '-';
      ++i;
    }
  };
  auto hexPrefixAt = [&](size_t at) {
    return at + 1 < s.size() && s[at] == '0' && (s[at + 1] == 'x' || s[at + 1] == 'X');
  };
  // "0x" counts only as the very first characters, and is skipped whatever the radix; a
  // radix left out becomes 16. Spaces and a sign may follow it.
  if (hexPrefixAt(0)) {
    if (radix == 0) radix = 16;
    i = 2;
    while (i < s.size() && isSpace(s[i])) ++i;
    readSign();
  } else {
    while (i < s.size() && isSpace(s[i])) ++i;
    const bool leadingSpace = i > 0;
    readSign();
    if (!leadingSpace && i > 0 && hexPrefixAt(i)) {
      // A sign straight before "0x": the zero and the sign are dropped and the digits are
      // read from the 'x' on, so only radixes above 33 give a number.
      if (radix == 0) radix = 16;
      neg = false;
      ++i;
    }
    if (radix == 0) {
      // Octal when the rest is all octal digits after a 0, with no spaces before.
      bool octal = !leadingSpace && i + 1 < s.size() && s[i] == '0' &&
                   s.find_first_not_of("01234567", i) >= s.size();
      radix = octal ? 8 : 10;
    }
  }
  if (radix < 2 || radix > 36) return Value(std::nan(""));
  double v = 0;
  bool any = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'z' ? c - 'a' + 10
            : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                   : 99;
    if (d >= radix) break;
    v = v * radix + d;
    any = true;
  }
  if (!any) return Value(std::nan(""));
  return Value(neg ? -v : v);
}

Value parseFloatImpl(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  size_t k = i;
  if (k < s.size() && (s[k] == '-' || s[k] == '+')) ++k;
  bool digits = false;
  while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
    ++k;
    digits = true;
  }
  if (k < s.size() && s[k] == '.') {
    ++k;
    while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
      ++k;
      digits = true;
    }
  }
  if (!digits) return Value(std::nan(""));
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
    size_t e = k + 1;
    if (e < s.size() && (s[e] == '-' || s[e] == '+')) ++e;
    size_t ds = e;
    while (e < s.size() && std::isdigit(static_cast<unsigned char>(s[e]))) ++e;
    if (e > ds) k = e;
  }
  return Value(std::strtod(s.substr(i, k - i).c_str(), nullptr));
}

int addInterval(Vm& vm, CallInfo& c, bool once) {
  Vm::Interval iv;
  size_t next;
  if (isFunction(c.arg(0))) {
    iv.fn = c.arg(0);
    next = 1;
  } else if (c.arg(0).isObject() && c.args.size() >= 3) {
    iv.target = c.arg(0);
    iv.methodName = vm.toString(c.arg(1));
    next = 2;
  } else {
    return -1;
  }
  if (next >= c.args.size()) return -1;
  double ms = vm.toNumber(c.args[next]);
  iv.periodMs = std::isnan(ms) || ms < 0 ? 0 : ms;
  for (size_t i = next + 1; i < c.args.size(); ++i) iv.args.push_back(c.args[i]);
  iv.id = vm.nextIntervalId++;
  iv.nextDueMs = vm.host().timerMs() + std::max(1.0, iv.periodMs);
  iv.once = once;
  vm.intervals[iv.id] = iv;
  return iv.id;
}

Value parseInt(Vm& vm, CallInfo& c) {
  // A String object gives the text it holds, whatever its toString says.
  Value text = c.arg(0);
  if (c.args.empty()) return Value();
  if (text.isObject() && text.asObject()->kind == ObjectKind::String)
    text = text.asObject()->primitive;
  return parseIntImpl(vm, vm.toString(text), c.args.size() > 1 ? &c.args[1] : nullptr);
}

Value parseFloat(Vm& vm, CallInfo& c) { return parseFloatImpl(vm.toString(c.arg(0))); }

// With no argument at all the number tested is NaN, even where undefined converts to 0.
double numberArgument(Vm& vm, CallInfo& c) {
  return c.args.empty() ? std::nan("") : vm.toNumber(c.arg(0));
}

Value isNaN(Vm& vm, CallInfo& c) { return Value(std::isnan(numberArgument(vm, c))); }

Value isFinite(Vm& vm, CallInfo& c) { return Value(std::isfinite(numberArgument(vm, c))); }

Value escape(Vm& vm, CallInfo& c) {
  std::string s = vm.toString(c.arg(0)), out;
  for (unsigned char ch : s) {
    if (std::isalnum(ch)) {  // everything else is written as %XX
      out += static_cast<char>(ch);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", ch);
      out += buf;
    }
  }
  return Value(out);
}

Value unescape(Vm& vm, CallInfo& c) {
  std::string s = vm.toString(c.arg(0)), out;
  auto hex = [](char h) {
    return h >= '0' && h <= '9'   ? h - '0'
           : h >= 'a' && h <= 'f' ? h - 'a' + 10
           : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                  : -1;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
    } else if (s[i] == '%' && i + 2 >= s.size()) {
      break;  // a cut-off escape at the end is dropped
    } else {
      out += s[i];
    }
  }
  return Value(out);
}

// setInterval (variant 0) and setTimeout (variant 1).
Value setTimer(Vm& vm, CallInfo& c) {
  int id = addInterval(vm, c, c.variant == 1);
  return id < 0 ? Value() : Value(static_cast<double>(id));
}

Value clearTimer(Vm& vm, CallInfo& c) {
  vm.intervals.erase(vm.toInt(c.arg(0)));
  return Value();
}

Value setPropFlags(Vm& vm, CallInfo& c) {
  Value target = c.arg(0);
  if (!target.isObject()) return Value();
  Object* o = target.asObject();
  bool ci = vm.caseInsensitive();
  int set = vm.toInt(c.arg(2)), clear = vm.toInt(c.arg(3));
  // Packages hidden from older movies appear when their version bit is cleared.
  if (o == vm.global) revealHiddenPackages(vm, clear);
  const uint16_t kept = kAttributeFlags | kVersionFlags;
  const uint16_t hiding = hiddenFlagsFor(vm.version());
  auto apply = [&](Property& p) {
    p.flags = static_cast<uint16_t>(((p.flags & ~clear) | set) & kept);
    p.hidden = (p.flags & hiding) != 0;
  };
  Value names = c.arg(1);
  if (names.isNull()) {
    for (auto& p : o->properties())
      if (!p.deleted) apply(p);
    return Value();
  }
  std::vector<std::string> list;
  if (names.isObject()) {
    // Only a real array lists names; other objects name nothing.
    if (names.asObject()->kind != ObjectKind::Array) return Value();
    for (auto& v : vm.arrayElements(names.asObject())) list.push_back(vm.toString(v));
  } else {
    std::string s = vm.toString(names);
    size_t pos = 0;
    while (true) {
      size_t comma = s.find(',', pos);
      list.push_back(s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
      if (comma == std::string::npos) break;
      pos = comma + 1;
    }
  }
  for (auto& n : list)
    if (Property* p = o->findOwnAny(n, ci)) apply(*p);
  return Value();
}

constexpr NativeMember kGlobals[] = {
    constant("NaN", std::numeric_limits<double>::quiet_NaN()),
    constant("Infinity", std::numeric_limits<double>::infinity()),
    method("parseInt", parseInt).asnative(100, 2),
    method("parseFloat", parseFloat).asnative(100, 3),
    method("isNaN", isNaN).asnative(200, 18),
    method("isFinite", isFinite).asnative(200, 19),
    method("escape", escape).asnative(100, 0),
    method("unescape", unescape).asnative(100, 1),
    method("setInterval", setTimer, kDontEnum, 0),
    method("setTimeout", setTimer, kDontEnum, 1),
    method("clearInterval", clearTimer),
    method("clearTimeout", clearTimer),
    method("updateAfterEvent", nothing),
    method("ASSetPropFlags", setPropFlags),
};

Value constructError(Vm& vm, CallInfo& c) {
  // Called without `new`, Error makes nothing.
  if (!c.isConstruct) return Value();
  Object* o = c.thisObject();
  if (o && !c.arg(0).isUndefined()) vm.setMember(o, "message", c.arg(0));
  return Value(o);
}

Value errorText(Vm& vm, CallInfo& c) {
  // The message as it is, not converted: an object message comes back an object.
  return vm.getMember(c.thisValue, "message");
}

constexpr NativeMember kErrorPrototype[] = {
    constant("name", "Error", kDontEnum),
    constant("message", "Error", kDontEnum),
    method("toString", errorText),
};
constexpr NativeClass kErrorClass{
    .name = "Error", .constructor = constructError, .prototype = kErrorPrototype};

}  // namespace

void installGlobalFunctions(Vm& vm) {
  installMembers(vm, vm.global, kGlobals);
  vm.errorProto = vm.newObject();
  installClass(vm, vm.global, kErrorClass, vm.errorProto);
}

}  // namespace orv::movie::avm1
