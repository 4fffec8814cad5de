// JSON: parse (with a reviver) and stringify (with a replacer function or property list
// and an indent). Both nest at most kMaxNesting deep, so hostile text cannot exhaust the
// native stack.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"

namespace orv::movie::avm2 {

namespace {

constexpr int kMaxNesting = 1000;

[[noreturn]] void badInput(Machine& m) { m.fail(ErrorClass::SyntaxError, 1132); }

class Parser {
 public:
  Parser(Machine& m, std::string_view text) : m_(m), s_(text) {}

  Value document() {
    Value v = value(0);
    space();
    if (at_ != s_.size()) badInput(m_);
    return v;
  }

 private:
  void space() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
      ++at_;
  }
  bool take(char c) {
    space();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool word(std::string_view w) {
    if (s_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  Value value(int depth) {
    if (depth > kMaxNesting) badInput(m_);
    space();
    if (at_ >= s_.size()) badInput(m_);
    char c = s_[at_];
    if (c == '{') return object(depth);
    if (c == '[') return array(depth);
    if (c == '"') return Value(StringRef(string()));
    if (c == '-' || (c >= '0' && c <= '9')) return number();
    if (word("true")) return Value(true);
    if (word("false")) return Value(false);
    if (word("null")) return Value::null();
    badInput(m_);
  }

  Value object(int depth) {
    ++at_;
    Object* o = m_.newObject();
    Value result(o);
    if (take('}')) return result;
    do {
      space();
      if (at_ >= s_.size() || s_[at_] != '"') badInput(m_);
      std::string key = string();
      if (!take(':')) badInput(m_);
      Value v = value(depth + 1);
      m_.setProperty(result, m_.publicName(key), std::move(v));
    } while (take(','));
    if (!take('}')) badInput(m_);
    return result;
  }

  Value array(int depth) {
    ++at_;
    ArrayObject* a = m_.newArray();
    Value result(static_cast<Object*>(a));
    if (take(']')) return result;
    do a->elements.push_back(value(depth + 1));
    while (take(','));
    if (!take(']')) badInput(m_);
    return result;
  }

  bool digits() {
    size_t start = at_;
    while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
    return at_ > start;
  }

  Value number() {
    size_t start = at_;
    if (s_[at_] == '-') ++at_;
    if (at_ < s_.size() && s_[at_] == '0') ++at_;
    else if (!digits()) badInput(m_);
    if (at_ < s_.size() && s_[at_] == '.') {
      ++at_;
      if (!digits()) badInput(m_);
    }
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      if (!digits()) badInput(m_);
    }
    std::string text(s_.substr(start, at_ - start));
    return Value::number(std::strtod(text.c_str(), nullptr));
  }

  int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    badInput(m_);
  }

  std::string string() {
    ++at_;
    std::string out;
    std::u16string units;  // \u escapes, joined so surrogate pairs become one character
    auto flush = [&] {
      if (!units.empty()) out += utf8(units);
      units.clear();
    };
    for (;;) {
      if (at_ >= s_.size()) badInput(m_);
      unsigned char c = static_cast<unsigned char>(s_[at_++]);
      if (c == '"') break;
      if (c < 0x20) badInput(m_);
      if (c != '\\') {
        flush();
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= s_.size()) badInput(m_);
      char e = s_[at_++];
      if (e == 'u') {
        if (at_ + 4 > s_.size()) badInput(m_);
        int v = 0;
        for (int k = 0; k < 4; ++k) v = v * 16 + hex(s_[at_++]);
        units += static_cast<char16_t>(v);
        continue;
      }
      flush();
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        default: badInput(m_);
      }
    }
    flush();
    return out;
  }

  Machine& m_;
  std::string_view s_;
  size_t at_ = 0;
};

// The names an object's values are enumerated under: its public variables and getters,
// then its dynamic properties (array indices first).
std::vector<StringRef> ownKeys(Machine& m, Object* o) {
  std::vector<StringRef> keys;
  if (const Traits* t = o->traits(); t && o->klass() && !dynamic_cast<ArrayObject*>(o)) {
    std::vector<std::string> traitKeys;
    for (auto& [name, bindings] : t->all())
      for (auto& [ns, b] : bindings)
        if (ns == m.publicNs && (b.kind == BindKind::Slot || b.kind == BindKind::Const ||
                                 (b.kind == BindKind::Accessor && b.index != Binding::kNone)))
          traitKeys.emplace_back(name->view());
    std::sort(traitKeys.begin(), traitKeys.end());
    for (auto& k : traitKeys) keys.emplace_back(k);
  }
  for (uint32_t i = m.nextIndex(o, 0); i; i = m.nextIndex(o, i))
    keys.push_back(m.toString(m.nameAt(o, i)));
  return keys;
}

bool callable(const Value& v) {
  return v.isObject() && (dynamic_cast<FunctionObject*>(v.asObject()) ||
                          dynamic_cast<ClassObject*>(v.asObject()));
}

Value reviveWalk(Machine& m, const Value& reviver, const Value& holder, const StringRef& key,
                 int depth) {
  if (depth > kMaxNesting) m.fail(ErrorClass::Error, 1023);
  Name n = m.publicName(m.intern(key.view()));
  Value v = m.getProperty(holder, n);
  if (v.isObject() && !callable(v)) {
    Object* o = v.asObject();
    std::vector<StringRef> keys;
    if (auto* a = dynamic_cast<ArrayObject*>(o))
      for (size_t i = 0; i < a->elements.size(); ++i) keys.emplace_back(std::to_string(i));
    else
      keys = ownKeys(m, o);
    for (auto& k : keys) {
      Value revived = reviveWalk(m, reviver, v, k, depth + 1);
      Name kn = m.publicName(m.intern(k.view()));
      if (revived.isUndefined()) m.deleteProperty(v, kn);
      else m.setProperty(v, kn, std::move(revived));
    }
  }
  Value args[2] = {Value(key), std::move(v)};
  return m.call(reviver, holder, args);
}

Value parse(Machine& m, const Value&, std::span<Value> args) {
  Value text = arg(args, 0);
  if (text.isNullish()) badInput(m);
  StringRef s = m.toString(text);
  Value result = Parser(m, s.view()).document();
  Value reviver = arg(args, 1);
  if (!callable(reviver)) return result;
  Object* root = m.newObject();
  Value holder(root);
  m.set(holder, "", result);
  return reviveWalk(m, reviver, holder, StringRef(""), 0);
}

class Stringifier {
 public:
  Stringifier(Machine& m, Value replacer, std::string gap)
      : m_(m), replacer_(std::move(replacer)), gap_(std::move(gap)) {}
  std::vector<StringRef> propertyList;
  bool hasList = false;

  // False when the value stringifies to nothing (undefined, a function).
  bool str(const Value& holder, const StringRef& key, Value v, std::string& out, int depth) {
    if (depth > kMaxNesting) m_.fail(ErrorClass::Error, 1023);
    if (v.isObject() && !callable(v)) {
      Name toJson = m_.publicName("toJSON");
      // An XML value's names are its children: its toJSON is its class's method.
      const ClassObject* c = v.asObject()->klass();
      if (c && c->name && (c->name->view() == "XML" || c->name->view() == "XMLList")) {
        Value a[1] = {Value(key)};
        v = m_.callProperty(v, toJson, a);
      } else if (m_.hasProperty(v, toJson)) {
        Value fn = m_.getProperty(v, toJson);
        if (callable(fn)) {
          Value a[1] = {Value(key)};
          v = m_.call(fn, v, a);
        }
      }
    }
    if (callable(replacer_)) {
      Value a[2] = {Value(key), std::move(v)};
      v = m_.call(replacer_, holder, a);
    }
    switch (v.kind()) {
      case ValueKind::Undefined: return false;
      case ValueKind::Null: out += "null"; return true;
      case ValueKind::Boolean: out += v.asBool() ? "true" : "false"; return true;
      case ValueKind::Int:
      case ValueKind::Uint:
      case ValueKind::Number: {
        double d = v.numeric();
        out += std::isfinite(d) ? numberToText(d) : "null";
        return true;
      }
      case ValueKind::String: quote(v.asString()->view(), out); return true;
      case ValueKind::Namespace: quote(m_.toString(v).view(), out); return true;
      case ValueKind::Object: break;
    }
    if (callable(v)) return false;
    Object* o = v.asObject();
    if (!stack_.insert(o).second) m_.fail(ErrorClass::TypeError, 1129);
    if (auto* a = dynamic_cast<ArrayObject*>(o)) list(v, a->elements.size(), out, depth);
    else members(v, o, out, depth);
    stack_.erase(o);
    return true;
  }

 private:
  static void quote(std::string_view s, std::string& out) {
    out += '"';
    for (char c : s) {
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
          } else {
            out += c;
          }
      }
    }
    out += '"';
  }

  void newline(std::string& out, int depth) {
    out += '\n';
    for (int i = 0; i < depth; ++i) out += gap_;
  }

  void list(const Value& v, size_t length, std::string& out, int depth) {
    out += '[';
    for (size_t i = 0; i < length; ++i) {
      if (i) out += ',';
      if (!gap_.empty()) newline(out, depth + 1);
      StringRef key(std::to_string(i));
      Value element = m_.getProperty(v, m_.publicName(m_.intern(key.view())));
      if (!str(v, key, std::move(element), out, depth + 1)) out += "null";
    }
    if (length && !gap_.empty()) newline(out, depth);
    out += ']';
  }

  void members(const Value& v, Object* o, std::string& out, int depth) {
    std::vector<StringRef> keys = hasList ? propertyList : ownKeys(m_, o);
    out += '{';
    bool any = false;
    for (auto& key : keys) {
      Name n = m_.publicName(m_.intern(key.view()));
      if (hasList && !m_.hasProperty(v, n)) continue;
      Value value = m_.getProperty(v, n);
      std::string member;
      if (!str(v, key, std::move(value), member, depth + 1)) continue;
      if (any) out += ',';
      any = true;
      if (!gap_.empty()) newline(out, depth + 1);
      quote(key.view(), out);
      out += gap_.empty() ? ":" : ": ";
      out += member;
    }
    if (any && !gap_.empty()) newline(out, depth);
    out += '}';
  }

  Machine& m_;
  Value replacer_;
  std::string gap_;
  std::unordered_set<Object*> stack_;
};

std::string gapOf(Machine& m, const Value& space) {
  if (space.isNumeric()) {
    double d = std::min(10.0, std::trunc(space.numeric()));
    return d >= 1 ? std::string(static_cast<size_t>(d), ' ') : std::string();
  }
  if (space.isString()) {
    std::u16string s = utf16(space.asString()->view());
    return utf8(s.substr(0, 10));
  }
  (void)m;
  return {};
}

Value stringify(Machine& m, const Value&, std::span<Value> args) {
  Value replacer = arg(args, 1);
  Stringifier s(m, callable(replacer) ? replacer : Value(), gapOf(m, arg(args, 2)));
  if (!replacer.isNullish() && !callable(replacer)) {
    auto* a = replacer.isObject() ? dynamic_cast<ArrayObject*>(replacer.asObject()) : nullptr;
    if (!a) m.fail(ErrorClass::TypeError, 1131);
    s.hasList = true;
    std::unordered_set<std::string> seen;
    for (const Value& e : a->elements) {
      if (!e.isString() && !e.isNumeric()) continue;
      StringRef k = m.toString(e);
      if (seen.insert(std::string(k.view())).second) s.propertyList.push_back(k);
    }
  }
  Object* root = m.newObject();
  Value holder(root);
  m.set(holder, "", arg(args, 0));
  std::string out;
  if (!s.str(holder, StringRef(""), arg(args, 0), out, 0)) return Value::null();
  return Value(StringRef(out));
}

Value notConstructible(Machine& m, const Value&, std::span<Value>) {
  m.fail(ErrorClass::TypeError, 1007);
}

const NativeMember kJson[] = {
    {"parse", MemberKind::StaticMethod, parse, 2},
    {"stringify", MemberKind::StaticMethod, stringify, 3},
};

}  // namespace

void installJsonClass(Machine& m) {
  installClass(m, {.name = "JSON",
                   .members = kJson,
                   .construct = notConstructible,
                   .dynamic = false,
                   .isFinal = true});
}

}  // namespace orv::movie::avm2
