// String: its methods count in UTF-16 code units, as the language does.
#include <algorithm>
#include <cmath>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel_regexp.h"
#include "movie/base/unicode_case.h"

namespace orv::movie::avm2 {

std::u16string utf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    uint32_t cp = c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) cp = c & (0x3F >> extra);
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

namespace {
void appendCodePoint(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}
}  // namespace

std::string utf8(std::u16string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    appendCodePoint(out, c);
  }
  return out;
}

namespace {

std::u16string thisText(Machine& m, const Value& self) {
  if (self.isNullish()) m.fail(ErrorClass::TypeError, self.isNull() ? 1009 : 1010);
  return utf16(m.toString(self).view());
}

Value text(std::u16string_view s) { return Value(StringRef(utf8(s))); }

// An integer argument as ToInteger gives it (NaN and undefined: `otherwise`).
double integerArg(Machine& m, std::span<Value> args, size_t i, double otherwise) {
  if (i >= args.size() || args[i].isUndefined()) return otherwise;
  double d = m.toNumber(args[i]);
  if (std::isnan(d)) return 0;
  return std::trunc(d);
}

// The end or length argument of slice, substring and substr: a Number parameter whose
// default is the whole string, so only a missing one means that; undefined is NaN, 0.
double endArg(Machine& m, std::span<Value> args, size_t i, double otherwise) {
  if (i >= args.size()) return otherwise;
  if (args[i].isUndefined()) return 0;
  return integerArg(m, args, i, otherwise);
}

size_t clampIndex(double d, size_t size) {
  if (d < 0) return 0;
  if (d > static_cast<double>(size)) return size;
  return static_cast<size_t>(d);
}

Value stringLength(Machine& m, const Value& self, std::span<Value>) {
  StringRef s = m.toString(self);
  if (s->isAscii()) return Value(static_cast<int32_t>(s->view().size()));
  return Value(static_cast<int32_t>(utf16(s->view()).size()));
}

Value charAt(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  double i = integerArg(m, args, 0, 0);
  if (i < 0 || i >= static_cast<double>(s.size())) return Value(m.intern(""));
  return text(s.substr(static_cast<size_t>(i), 1));
}

Value charCodeAt(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  double i = integerArg(m, args, 0, 0);
  if (i < 0 || i >= static_cast<double>(s.size()))
    return Value(std::numeric_limits<double>::quiet_NaN());
  return Value(static_cast<int32_t>(s[static_cast<size_t>(i)]));
}

Value concat(Machine& m, const Value& self, std::span<Value> args) {
  std::string out(m.toString(self).view());
  for (const Value& a : args) out += m.toString(a).view();
  return Value(StringRef(out));
}

Value indexOf(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  std::u16string needle = utf16(m.toString(arg(args, 0)).view());
  size_t from = clampIndex(integerArg(m, args, 1, 0), s.size());
  size_t at = s.find(needle, from);
  return Value(at == std::u16string::npos ? -1 : static_cast<int32_t>(at));
}

Value lastIndexOf(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  std::u16string needle = utf16(m.toString(arg(args, 0)).view());
  double from = integerArg(m, args, 1, static_cast<double>(s.size()));
  size_t at = s.rfind(needle, clampIndex(from, s.size()));
  return Value(at == std::u16string::npos ? -1 : static_cast<int32_t>(at));
}

Value slice(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  double size = static_cast<double>(s.size());
  double a = integerArg(m, args, 0, 0), b = endArg(m, args, 1, size);
  if (a < 0) a += size;
  if (b < 0) b += size;
  size_t from = clampIndex(a, s.size()), to = clampIndex(b, s.size());
  return text(from < to ? s.substr(from, to - from) : u"");
}

Value substring(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  size_t from = clampIndex(integerArg(m, args, 0, 0), s.size());
  size_t to = clampIndex(endArg(m, args, 1, static_cast<double>(s.size())), s.size());
  if (from > to) std::swap(from, to);
  return text(s.substr(from, to - from));
}

Value substr(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  double size = static_cast<double>(s.size());
  double start = integerArg(m, args, 0, 0);
  if (start < 0) start = std::max(0.0, start + size);
  double length = endArg(m, args, 1, size);
  if (length < 0) {
    // A negative length counts back from the end, and gives nothing when that span would
    // reach the last unit.
    length += size;
    if (length <= 0 || start + length >= size) return text(u"");
  }
  size_t from = clampIndex(start, s.size());
  size_t count = clampIndex(length, s.size() - from);
  return text(s.substr(from, count));
}

Value changeCase(Machine& m, const Value& self, bool upper) {
  std::u16string s = thisText(m, self);
  for (char16_t& c : s) c = upper ? toUpperUnit(c) : toLowerUnit(c);
  return text(s);
}

Value toLowerCase(Machine& m, const Value& self, std::span<Value>) {
  return changeCase(m, self, false);
}
Value toUpperCase(Machine& m, const Value& self, std::span<Value>) {
  return changeCase(m, self, true);
}

RegExpObject* asRegExp(const Value& v) {
  return v.isObject() ? dynamic_cast<RegExpObject*>(v.asObject()) : nullptr;
}

Value match(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  return stringMatch(m, s, toRegExp(m, arg(args, 0)));
}

Value search(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  return stringSearch(m, s, toRegExp(m, arg(args, 0)));
}

Value split(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  if (RegExpObject* r = asRegExp(arg(args, 0))) {
    std::optional<uint32_t> limit;
    if (args.size() > 1 && !args[1].isUndefined()) limit = m.toUint(args[1]);
    return stringSplit(m, s, r, limit);
  }
  double limitArg = args.size() > 1 && !args[1].isUndefined() ? m.toUint(args[1]) : 4294967295.0;
  auto limit = static_cast<size_t>(limitArg);
  std::vector<Value> parts;
  // An undefined separator given is the text "undefined", as the player takes it.
  if (args.empty()) {
    parts.push_back(text(s));
  } else {
    std::u16string sep = utf16(m.toString(args[0]).view());
    if (sep.empty()) {
      for (size_t i = 0; i < s.size() && parts.size() < limit; ++i) parts.push_back(text(s.substr(i, 1)));
    } else {
      size_t start = 0;
      while (parts.size() < limit) {
        size_t at = s.find(sep, start);
        if (at == std::u16string::npos) {
          parts.push_back(text(s.substr(start)));
          break;
        }
        parts.push_back(text(s.substr(start, at - start)));
        start = at + sep.size();
      }
    }
  }
  if (parts.size() > limit) parts.resize(limit);
  return Value(static_cast<Object*>(m.newArray(std::move(parts))));
}

Value replace(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string s = thisText(m, self);
  if (RegExpObject* r = asRegExp(arg(args, 0))) return stringReplace(m, s, r, arg(args, 1));
  std::u16string pattern = utf16(m.toString(arg(args, 0)).view());
  size_t at = s.find(pattern);
  if (at == std::u16string::npos) return text(s);
  Value with = arg(args, 1);
  std::u16string replacement;
  if (with.isObject() && dynamic_cast<FunctionObject*>(with.asObject())) {
    Value callArgs[3] = {text(pattern), Value(static_cast<int32_t>(at)), text(s)};
    replacement = utf16(m.toString(m.call(with, Value::null(), callArgs)).view());
  } else {
    std::u16string r = utf16(m.toString(with).view());
    for (size_t i = 0; i < r.size(); ++i) {
      if (r[i] == '$' && i + 1 < r.size()) {
        char16_t c = r[i + 1];
        if (c == '$') { replacement += u'$'; ++i; continue; }
        if (c == '&') { replacement += pattern; ++i; continue; }
        if (c == '`') { replacement += s.substr(0, at); ++i; continue; }
        if (c == '\'') { replacement += s.substr(at + pattern.size()); ++i; continue; }
      }
      replacement += r[i];
    }
  }
  return text(s.substr(0, at) + replacement + s.substr(at + pattern.size()));
}

Value localeCompare(Machine& m, const Value& self, std::span<Value> args) {
  std::u16string a = thisText(m, self);
  // Up to SWF 9 the player compared with a missing text so: every text but the empty one
  // is equal to it.
  if (m.swfVersion > 0 && m.swfVersion <= 9 && (args.empty() || args[0].isNullish()))
    return Value(int32_t(a.empty() ? 1 : 0));
  std::u16string b = utf16(m.toString(arg(args, 0)).view());
  return Value(int32_t(a < b ? -1 : a > b ? 1 : 0));
}

Value stringValueOf(Machine& m, const Value& self, std::span<Value>) {
  if (self.isString()) return self;
  // String.prototype stands for the empty string.
  if (self.isObject() && m.stringClass && self.asObject() == m.stringClass->prototypeObject)
    return Value(m.intern(""));
  m.fail(ErrorClass::TypeError, 1004, {"String.prototype.toString"});
}

Value fromCharCode(Machine& m, const Value&, std::span<Value> args) {
  std::u16string s;
  for (const Value& a : args) s.push_back(static_cast<char16_t>(m.toUint(a) & 0xFFFF));
  return text(s);
}

Value stringMake(Machine& m, const Value&, std::span<Value> args) {
  if (args.empty()) return Value(m.intern(""));
  return Value(m.toString(args[0]));
}

const NativeMember kStringMembers[] = {
    {"length", MemberKind::Getter, stringLength},
    {"charAt", MemberKind::Method, charAt, 1},
    {"charCodeAt", MemberKind::Method, charCodeAt, 1},
    {"concat", MemberKind::Method, concat},
    {"indexOf", MemberKind::Method, indexOf, 1},
    {"lastIndexOf", MemberKind::Method, lastIndexOf, 1},
    {"slice", MemberKind::Method, slice, 2},
    {"substring", MemberKind::Method, substring, 2},
    {"substr", MemberKind::Method, substr, 2},
    {"toLowerCase", MemberKind::Method, toLowerCase},
    {"toUpperCase", MemberKind::Method, toUpperCase},
    {"toLocaleLowerCase", MemberKind::Method, toLowerCase},
    {"toLocaleUpperCase", MemberKind::Method, toUpperCase},
    {"split", MemberKind::Method, split, 2},
    {"replace", MemberKind::Method, replace, 2},
    {"match", MemberKind::Method, match, 1},
    {"search", MemberKind::Method, search, 1},
    {"localeCompare", MemberKind::Method, localeCompare, 1},
    {"toString", MemberKind::Method, stringValueOf},
    {"valueOf", MemberKind::Method, stringValueOf},
    {"fromCharCode", MemberKind::StaticMethod, fromCharCode},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

}  // namespace

void installStringClass(Machine& m) {
  m.stringClass = installClass(m, {.name = "String",
                                   .members = kStringMembers,
                                   .call = stringMake,
                                   .construct = stringMake,
                                   .dynamic = false,
                                   .isFinal = true});
  // fromCharCode answers in the AS3 namespace too, as compilers may call it there.
  Traits& statics = *m.stringClass->classTraits;
  if (const Binding* b = statics.find(m.intern("fromCharCode"), m.publicNs))
    statics.bind(m.intern("fromCharCode"), m.as3Ns, *b);
}

}  // namespace orv::movie::avm2
