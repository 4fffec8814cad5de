// flash.utils' class-name functions and the global URI and escape functions.
#include <cmath>
#include <cstring>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"

namespace orv::movie::avm2 {

namespace {

std::string qualified(const ClassObject* c) {
  std::string package(c->ns ? c->ns->uri->view() : "");
  std::string name(c->simpleName->view());
  if (package.empty() || (c->ns && c->ns->kind == NamespaceKind::Private)) return name;
  return package + "::" + name;
}

Value qualifiedClassName(Machine& m, const Value&, std::span<Value> args) {
  Value v = arg(args, 0);
  if (v.isNull()) return Value(m.intern("null"));
  if (v.isUndefined()) return Value(m.intern("void"));
  if (v.isObject())
    if (auto* c = dynamic_cast<ClassObject*>(v.asObject())) return Value(StringRef(qualified(c)));
  // The player keeps whole numbers in 29 bits inline; past that it holds them as Numbers.
  if (v.isNumeric() && (v.numeric() < -268435456.0 || v.numeric() > 268435455.0))
    return Value(m.intern("Number"));
  ClassObject* c = m.classOf(v);
  return Value(StringRef(c ? qualified(c) : "Object"));
}

Value qualifiedSuperclassName(Machine& m, const Value&, std::span<Value> args) {
  Value v = arg(args, 0);
  if (v.isNullish()) return Value::null();
  ClassObject* c = v.isObject() ? dynamic_cast<ClassObject*>(v.asObject()) : nullptr;
  if (!c) c = m.classOf(v);
  if (!c || !c->base) return Value::null();
  return Value(StringRef(qualified(c->base)));
}

Value definitionByName(Machine& m, const Value&, std::span<Value> args) {
  std::string name = m.toText(arg(args, 0));
  size_t colons = name.find("::");
  if (colons != std::string::npos) name = name.substr(0, colons) + "." + name.substr(colons + 2);
  if (ClassObject* c = m.findClass(name)) return Value(static_cast<Object*>(c));
  m.fail(ErrorClass::ReferenceError, 1065, {name});
}

// ---- URIs (UTF-8 escapes) ----

const char* kUnreserved =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.!~*'()";
const char* kReserved = ";/?:@&=+$,#";

void percent(std::string& out, unsigned char b) {
  const char* hex = "0123456789ABCDEF";
  out += '%';
  out += hex[b >> 4];
  out += hex[b & 15];
}

Value encode(Machine& m, std::span<Value> args, bool component, const char* name) {
  std::u16string s = utf16(m.toString(arg(args, 0)).view());
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c < 128 && (std::strchr(kUnreserved, static_cast<char>(c)) ||
                    (!component && std::strchr(kReserved, static_cast<char>(c)))) && c) {
      out += static_cast<char>(c);
      continue;
    }
    std::u16string unit(1, c);
    if (c >= 0xDC00 && c <= 0xDFFF) m.fail(ErrorClass::URIError, 1052, {name});
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF)
        m.fail(ErrorClass::URIError, 1052, {name});
      unit += s[++i];
    }
    for (char b : utf8(unit)) percent(out, static_cast<unsigned char>(b));
  }
  return Value(StringRef(out));
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Value decode(Machine& m, std::span<Value> args, bool component, const char* name) {
  std::string s = m.toText(arg(args, 0));
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    // The byte of the escape at `at` ("%XX"), or a URIError.
    auto byteAt = [&](size_t at) {
      if (at + 2 >= s.size()) m.fail(ErrorClass::URIError, 1052, {name});
      int hi = hexValue(s[at + 1]), lo = hexValue(s[at + 2]);
      if (s[at] != '%' || hi < 0 || lo < 0) m.fail(ErrorClass::URIError, 1052, {name});
      return static_cast<unsigned char>(hi * 16 + lo);
    };
    unsigned char b = byteAt(i);
    if (b < 0x80) {
      if (!component && std::strchr(kReserved, static_cast<char>(b)) && b)
        out += s.substr(i, 3);
      else
        out += static_cast<char>(b);
      i += 2;
      continue;
    }
    int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0) m.fail(ErrorClass::URIError, 1052, {name});
    std::string bytes(1, static_cast<char>(b));
    for (int k = 0; k < extra; ++k) {
      unsigned char c = byteAt(i + 3 * (k + 1));
      if ((c & 0xC0) != 0x80) m.fail(ErrorClass::URIError, 1052, {name});
      bytes += static_cast<char>(c);
    }
    out += bytes;
    i += 2 + 3 * extra;
  }
  return Value(StringRef(out));
}

Value encodeURI(Machine& m, const Value&, std::span<Value> a) { return encode(m, a, false, "encodeURI"); }
Value encodeURIComponent(Machine& m, const Value&, std::span<Value> a) {
  return encode(m, a, true, "encodeURIComponent");
}
Value decodeURI(Machine& m, const Value&, std::span<Value> a) { return decode(m, a, false, "decodeURI"); }
Value decodeURIComponent(Machine& m, const Value&, std::span<Value> a) {
  return decode(m, a, true, "decodeURIComponent");
}

// ---- escape and unescape (%XX and %uXXXX) ----

Value escape(Machine& m, const Value&, std::span<Value> args) {
  if (args.empty()) return Value(m.intern("undefined"));
  std::u16string s = utf16(m.toString(args[0]).view());
  const char* keep = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@-_.*+/";
  const char* hex = "0123456789ABCDEF";
  std::string out;
  for (char16_t c : s) {
    if (c < 128 && c && std::strchr(keep, static_cast<char>(c))) {
      out += static_cast<char>(c);
    } else if (c < 256) {
      percent(out, static_cast<unsigned char>(c));
    } else {
      out += "%u";
      for (int shift = 12; shift >= 0; shift -= 4) out += hex[(c >> shift) & 15];
    }
  }
  return Value(StringRef(out));
}

Value unescape(Machine& m, const Value&, std::span<Value> args) {
  if (args.empty()) return Value(m.intern("undefined"));
  std::u16string s = utf16(m.toString(args[0]).view());
  std::u16string out;
  auto hex = [&](size_t at, size_t n, int& v) {
    v = 0;
    if (at + n > s.size()) return false;
    for (size_t k = 0; k < n; ++k) {
      int d = s[at + k] < 128 ? hexValue(static_cast<char>(s[at + k])) : -1;
      if (d < 0) return false;
      v = v * 16 + d;
    }
    return true;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    int v = 0;
    if (s[i] == '%' && i + 1 < s.size() && s[i + 1] == 'u' && hex(i + 2, 4, v)) {
      out += static_cast<char16_t>(v);
      i += 5;
    } else if (s[i] == '%' && hex(i + 1, 2, v)) {
      out += static_cast<char16_t>(v);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return Value(StringRef(utf8(out)));
}

const NativeMember kUtils[] = {
    {"getQualifiedClassName", MemberKind::Method, qualifiedClassName, 1},
    {"getQualifiedSuperclassName", MemberKind::Method, qualifiedSuperclassName, 1},
    {"getDefinitionByName", MemberKind::Method, definitionByName, 1},
};

const NativeMember kUriFunctions[] = {
    {"encodeURI", MemberKind::Method, encodeURI, 1},
    {"encodeURIComponent", MemberKind::Method, encodeURIComponent, 1},
    {"decodeURI", MemberKind::Method, decodeURI, 1},
    {"decodeURIComponent", MemberKind::Method, decodeURIComponent, 1},
    {"escape", MemberKind::Method, escape, 1},
    {"unescape", MemberKind::Method, unescape, 1},
};

}  // namespace

void installUtilityFunctions(Machine& m) {
  installGlobals(m, "flash.utils", kUtils);
  installGlobals(m, "avmplus", kUtils);  // the same functions under the machine's own package
  installGlobals(m, "", kUriFunctions);
}

}  // namespace orv::movie::avm2
