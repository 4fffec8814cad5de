// Action Message Format, versions 0 and 3, as ByteArray.writeObject and readObject use
// them: undefined, null, booleans, numbers, strings, dates, arrays, anonymous objects (a
// class instance is written as its public variables), ByteArrays, Vectors and
// Dictionaries; the classes registered under an alias keep their class, and IExternalizable
// ones write and read themselves. Reading trusts nothing: counts are checked against the bytes left,
// references against the tables, nesting against a limit.
#include "movie/flash/amf.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/bytearray.h"
#include "movie/flash/net_aliases.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

constexpr int kMaxNesting = 500;

// Whether the object's class is `name` or one of its subclasses.
bool isA(const Value& v, std::string_view name) {
  if (!v.isObject()) return false;
  for (ClassObject* c = v.asObject()->klass(); c; c = c->base)
    if (c->name && c->name->view() == name) return true;
  return false;
}

bool isDate(Machine&, const Value& v) { return isA(v, "Date"); }

bool isFunction(const Value& v) {
  return v.isObject() && (dynamic_cast<FunctionObject*>(v.asObject()) ||
                          dynamic_cast<ClassObject*>(v.asObject()));
}

// An object's public variables and getters (sealed), and its dynamic properties.
struct Members {
  std::vector<String*> sealed;
  std::vector<String*> dynamic;
};

Members membersOf(Machine& m, Object* o, bool skipIndices) {
  Members out;
  if (const Traits* t = o->traits(); t && o->klass() && o->klass() != m.objectClass) {
    for (auto& [name, bindings] : t->all())
      for (auto& [ns, b] : bindings)
        if (ns == m.publicNs && (b.kind == BindKind::Slot || b.kind == BindKind::Const ||
                                 (b.kind == BindKind::Accessor && b.index != Binding::kNone &&
                                  b.setter != Binding::kNone)))
          out.sealed.push_back(name);
    std::sort(out.sealed.begin(), out.sealed.end(),
              [](String* a, String* b) { return a->view() < b->view(); });
  }
  for (size_t i = 0; i < o->ownCount(); ++i) {
    String* n = o->ownNameAt(i);
    if (!o->isEnumerable(n) || (skipIndices && arrayIndexOf(n->view()) >= 0)) continue;
    out.dynamic.push_back(n);
  }
  return out;
}

class Writer {
 public:
  Writer(Machine& m, std::vector<uint8_t>& out) : m_(m), out_(out) {}

  void byte(uint8_t b) { out_.push_back(b); }
  void u16(uint32_t v) {
    byte(uint8_t(v >> 8));
    byte(uint8_t(v));
  }
  void u32(uint32_t v) {
    u16(v >> 16);
    u16(v & 0xFFFF);
  }
  void dbl(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int i = 7; i >= 0; --i) byte(uint8_t(bits >> (8 * i)));
  }
  void u29(uint32_t v) {
    v &= 0x1FFFFFFF;
    if (v < 0x80) {
      byte(uint8_t(v));
    } else if (v < 0x4000) {
      byte(uint8_t(0x80 | (v >> 7)));
      byte(uint8_t(v & 0x7F));
    } else if (v < 0x200000) {
      byte(uint8_t(0x80 | (v >> 14)));
      byte(uint8_t(0x80 | ((v >> 7) & 0x7F)));
      byte(uint8_t(v & 0x7F));
    } else {
      byte(uint8_t(0x80 | (v >> 22)));
      byte(uint8_t(0x80 | ((v >> 15) & 0x7F)));
      byte(uint8_t(0x80 | ((v >> 8) & 0x7F)));
      byte(uint8_t(v));
    }
  }
  void raw(std::string_view s) { out_.insert(out_.end(), s.begin(), s.end()); }

  // ---- AMF3 ----
  void string3(std::string_view s) {
    if (s.empty()) return byte(0x01);
    auto [it, added] = strings_.try_emplace(std::string(s), uint32_t(strings_.size()));
    if (!added) return u29(it->second << 1);
    u29(uint32_t(s.size() << 1) | 1);
    raw(s);
  }
  // An object already written is written as its index in the table.
  bool reference3(Object* o) {
    auto [it, added] = objects_.try_emplace(o, uint32_t(objects_.size()));
    if (added) return false;
    u29(it->second << 1);
    return true;
  }

  void value3(const Value& v, int depth) {
    if (depth > kMaxNesting) m_.fail(ErrorClass::Error, 1023);
    switch (v.kind()) {
      case ValueKind::Undefined: return byte(0x00);
      case ValueKind::Null: return byte(0x01);
      case ValueKind::Boolean: return byte(v.asBool() ? 0x03 : 0x02);
      case ValueKind::Int:
      case ValueKind::Uint:
      case ValueKind::Number: {
        double d = v.numeric();
        if (v.kind() != ValueKind::Number && d >= -(1 << 28) && d < (1 << 28)) {
          byte(0x04);
          return u29(uint32_t(int32_t(d)));
        }
        byte(0x05);
        return dbl(d);
      }
      case ValueKind::String: byte(0x06); return string3(v.asString()->view());
      case ValueKind::Namespace: byte(0x06); return string3(m_.toString(v).view());
      case ValueKind::Object: break;
    }
    if (isFunction(v)) return byte(0x00);
    Object* o = v.asObject();
    if (isDate(m_, v)) {
      byte(0x08);
      if (reference3(o)) return;
      u29(1);
      return dbl(m_.toNumber(m_.callProperty(v, m_.publicName("getTime"), {})));
    }
    if (auto* b = dynamic_cast<ByteArrayObject*>(o)) {
      byte(0x0C);
      if (reference3(o)) return;
      u29(uint32_t(b->bytes.size() << 1) | 1);
      out_.insert(out_.end(), b->bytes.begin(), b->bytes.end());
      return;
    }
    if (isA(v, "XML")) {
      byte(0x0B);
      if (reference3(o)) return;
      const StringRef text = m_.toString(m_.callProperty(v, m_.publicName("toXMLString"), {}));
      u29(uint32_t(text.view().size() << 1) | 1);
      return raw(text.view());
    }
    if (auto* vec = dynamic_cast<VectorObject*>(o)) return vector3(vec, depth);
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      byte(0x09);
      if (reference3(o)) return;
      u29(uint32_t(a->elements.size() << 1) | 1);
      for (String* n : membersOf(m_, o, true).dynamic) {
        string3(n->view());
        value3(*o->findOwn(n), depth + 1);
      }
      byte(0x01);
      for (size_t i = 0; i < a->elements.size(); ++i) value3(a->elements[i], depth + 1);
      return;
    }
    if (isA(v, "flash.utils.Dictionary")) return dictionary3(v, o, depth);
    object3(v, o, depth);
  }

  // An object: its traits (class alias, sealed names) inline the first time a class is
  // written and by reference after, then its values.
  void object3(const Value& v, Object* o, int depth) {
    byte(0x0A);
    if (reference3(o)) return;
    AmfAliasState& aliases = m_.packageState<AmfAliasState>();
    const ClassObject* cls = o->klass();
    auto named = cls ? aliases.aliasByClass.find(cls) : aliases.aliasByClass.end();
    String* alias = named == aliases.aliasByClass.end() ? nullptr : named->second;
    const bool externalizable = alias && aliases.externalizable && cls->implements(aliases.externalizable);
    Members members = membersOf(m_, o, false);
    const bool dynamic = !externalizable && (!o->traits() || o->traits()->dynamic);
    auto [known, added] = traits_.try_emplace(cls, uint32_t(traits_.size()));
    if (!added) {
      u29(known->second << 2 | 1);
    } else if (externalizable) {
      u29(0x07);
      string3(alias->view());
    } else {
      u29(uint32_t(members.sealed.size() << 4) | (dynamic ? 0x08 : 0) | 0x03);
      string3(alias ? alias->view() : "");
      for (String* n : members.sealed) string3(n->view());
    }
    if (externalizable) return external(v);
    for (String* n : members.sealed) value3(m_.getProperty(v, m_.publicName(n)), depth + 1);
    if (!dynamic) return;
    if (aliases.dynamicPropertyWriter.isObject()) {
      dynamicThroughWriter(v, aliases, depth);
    } else {
      for (String* n : members.dynamic) {
        Value pv = *o->findOwn(n);
        if (isFunction(pv)) continue;
        string3(n->view());
        value3(pv, depth + 1);
      }
    }
    byte(0x01);
  }

  // writeExternal writes the object's data into a ByteArray of its own, put here after.
  void external(const Value& v) {
    Value output = m_.construct(Value(static_cast<Object*>(m_.findClass("flash.utils.ByteArray"))), {});
    m_.callProperty(v, m_.publicName("writeExternal"), {&output, 1});
    const auto& bytes = static_cast<ByteArrayObject*>(output.asObject())->bytes;
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }

  // ObjectEncoding.dynamicPropertyWriter chooses the dynamic properties written.
  void dynamicThroughWriter(const Value& v, AmfAliasState& aliases, int depth) {
    struct Sink : DynamicPropertyOutput::Sink {
      Writer& w;
      int depth;
      Sink(Writer& writer, int d) : w(writer), depth(d) {}
      void property(const Value& name, const Value& value) override {
        w.string3(name.asString()->view());
        w.value3(value, depth + 1);
      }
    } sink(*this, depth);
    Value output = m_.construct(Value(static_cast<Object*>(aliases.propertyOutputClass)), {});
    auto* out = static_cast<DynamicPropertyOutput*>(output.asObject());
    out->sink = &sink;
    Value args[2] = {v, output};
    try {
      m_.callProperty(aliases.dynamicPropertyWriter, m_.publicName("writeDynamicProperties"), args);
    } catch (...) {
      out->sink = nullptr;
      throw;
    }
    out->sink = nullptr;
  }

  void vector3(VectorObject* vec, int depth) {
    SlotType t = vec->elementType.type;
    uint8_t marker = t == SlotType::Int ? 0x0D : t == SlotType::Uint ? 0x0E : t == SlotType::Number ? 0x0F : 0x10;
    byte(marker);
    if (reference3(vec)) return;
    u29(uint32_t(vec->elements.size() << 1) | 1);
    byte(vec->fixed ? 1 : 0);
    if (marker == 0x10) {
      // The element type: its alias when it has one, else its name.
      const AmfAliasState& aliases = m_.packageState<AmfAliasState>();
      const ClassObject* c = vec->elementType.typeClass;
      auto alias = c ? aliases.aliasByClass.find(c) : aliases.aliasByClass.end();
      switch (t) {
        case SlotType::Any: string3("*"); break;
        case SlotType::Object: string3("Object"); break;
        case SlotType::Boolean: string3("Boolean"); break;
        case SlotType::String: string3("String"); break;
        default:
          string3(alias != aliases.aliasByClass.end() ? alias->second->view()
                  : c && c->name                      ? c->name->view()
                                                      : "*");
      }
    }
    for (const Value& e : vec->elements) {
      if (marker == 0x0D) u32(uint32_t(m_.toInt(e)));
      else if (marker == 0x0E) u32(m_.toUint(e));
      else if (marker == 0x0F) dbl(m_.toNumber(e));
      else value3(e, depth + 1);
    }
  }

  void dictionary3(const Value& v, Object* o, int depth) {
    byte(0x11);
    if (reference3(o)) return;
    std::vector<std::pair<Value, Value>> entries;
    for (uint32_t i = m_.nextIndex(o, 0); i; i = m_.nextIndex(o, i))
      entries.emplace_back(m_.nameAt(o, i), m_.valueAt(o, i));
    u29(uint32_t(entries.size() << 1) | 1);
    byte(0);
    for (auto& [k, val] : entries) {
      value3(k, depth + 1);
      value3(val, depth + 1);
    }
    (void)v;
  }

  // ---- AMF0 ----
  void string0(std::string_view s) {
    u16(uint32_t(s.size()));
    raw(s);
  }
  void text0(std::string_view s) {
    if (s.size() > 0xFFFF) {
      byte(0x0C);
      u32(uint32_t(s.size()));
      return raw(s);
    }
    byte(0x02);
    string0(s);
  }

  void value0(const Value& v, int depth) {
    if (depth > kMaxNesting) m_.fail(ErrorClass::Error, 1023);
    switch (v.kind()) {
      case ValueKind::Undefined: return byte(0x06);
      case ValueKind::Null: return byte(0x05);
      case ValueKind::Boolean: byte(0x01); return byte(v.asBool() ? 1 : 0);
      case ValueKind::Int:
      case ValueKind::Uint:
      case ValueKind::Number: byte(0x00); return dbl(v.numeric());
      case ValueKind::String: return text0(v.asString()->view());
      case ValueKind::Namespace: return text0(m_.toString(v).view());
      case ValueKind::Object: break;
    }
    if (isFunction(v)) return byte(0x06);
    Object* o = v.asObject();
    if (auto it = objects_.find(o); it != objects_.end() && it->second < 0xFFFF) {
      byte(0x07);
      return u16(it->second);
    }
    if (isDate(m_, v)) {
      byte(0x0B);
      dbl(m_.toNumber(m_.callProperty(v, m_.publicName("getTime"), {})));
      return u16(0);
    }
    if (dynamic_cast<ByteArrayObject*>(o) || dynamic_cast<VectorObject*>(o)) {
      byte(0x11);  // the rest in AMF3
      Writer three(m_, out_);
      return three.value3(v, depth);
    }
    objects_.try_emplace(o, uint32_t(objects_.size()));
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      Members members = membersOf(m_, o, true);
      if (members.dynamic.empty()) {
        byte(0x0A);
        u32(uint32_t(a->elements.size()));
        for (size_t i = 0; i < a->elements.size(); ++i) value0(a->elements[i], depth + 1);
        return;
      }
      byte(0x08);
      u32(uint32_t(a->elements.size()));
      for (size_t i = 0; i < a->elements.size(); ++i) {
        string0(std::to_string(i));
        value0(a->elements[i], depth + 1);
      }
      for (String* n : members.dynamic) {
        string0(n->view());
        value0(*o->findOwn(n), depth + 1);
      }
      u16(0);
      return byte(0x09);
    }
    byte(0x03);
    Members members = membersOf(m_, o, false);
    for (String* n : members.sealed) {
      string0(n->view());
      value0(m_.getProperty(v, m_.publicName(n)), depth + 1);
    }
    for (String* n : members.dynamic) {
      Value pv = *o->findOwn(n);
      if (isFunction(pv)) continue;
      string0(n->view());
      value0(pv, depth + 1);
    }
    u16(0);
    byte(0x09);
  }

 private:
  Machine& m_;
  std::vector<uint8_t>& out_;
  std::unordered_map<std::string, uint32_t> strings_;
  std::unordered_map<Object*, uint32_t> objects_;
  std::unordered_map<const ClassObject*, uint32_t> traits_;
};

struct Trait3 {
  StringRef alias;
  std::vector<StringRef> sealed;
  bool dynamic = false;
  bool externalizable = false;
};

class Reader {
 public:
  Reader(Machine& m, const uint8_t* p, size_t size, size_t at) : m_(m), p_(p), size_(size), at_(at) {}
  size_t at() const { return at_; }

  [[noreturn]] void corrupt() { m_.fail(ErrorClass::RangeError, 2006); }
  void need(size_t n) {
    if (size_ - at_ < n) failAs(m_, "flash.errors.EOFError", 2030, "End of file was encountered.");
  }
  uint8_t byte() {
    need(1);
    return p_[at_++];
  }
  uint32_t u16() {
    uint32_t hi = byte();
    return (hi << 8) | byte();
  }
  uint32_t u32() {
    uint32_t hi = u16();
    return (hi << 16) | u16();
  }
  double dbl() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 8) | byte();
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
  }
  uint32_t u29() {
    uint32_t v = 0;
    for (int i = 0; i < 3; ++i) {
      uint8_t b = byte();
      if (!(b & 0x80)) return (v << 7) | b;
      v = (v << 7) | (b & 0x7F);
    }
    return (v << 8) | byte();
  }
  std::string bytes(size_t n) {
    need(n);
    std::string s(reinterpret_cast<const char*>(p_ + at_), n);
    at_ += n;
    return s;
  }
  Value text(size_t n) {
    need(n);
    Value v(StringRef(decodeUtf8Bytes(p_ + at_, n)));
    at_ += n;
    return v;
  }

  // ---- AMF3 ----
  Value string3() {
    uint32_t h = u29();
    if (!(h & 1)) {
      if ((h >> 1) >= strings_.size()) corrupt();
      return strings_[h >> 1];
    }
    Value s = text(h >> 1);
    if (h >> 1) strings_.push_back(s);
    return s;
  }
  // The object a reference header names, or null when the header starts a new one.
  bool reference3(uint32_t h, Value& out) {
    if (h & 1) return false;
    if ((h >> 1) >= objects_.size()) corrupt();
    out = objects_[h >> 1];
    return true;
  }
  // A count of items each at least one byte long.
  size_t count(uint32_t n) {
    if (n > size_ - at_) failAs(m_, "flash.errors.EOFError", 2030, "End of file was encountered.");
    return n;
  }

  Value value3(int depth) {
    if (depth > kMaxNesting) corrupt();
    uint8_t marker = byte();
    switch (marker) {
      case 0x00: return Value();
      case 0x01: return Value::null();
      case 0x02: return Value(false);
      case 0x03: return Value(true);
      case 0x04: {
        uint32_t v = u29();
        return Value(int32_t(v << 3) >> 3);
      }
      case 0x05: return Value::number(dbl());
      case 0x06: return string3();
      case 0x07:
      case 0x0B: {  // an XML document as its text; E4X XML (0x0B) parsed again
        Value out;
        uint32_t h = u29();
        if (reference3(h, out)) return out;
        Value s = text(h >> 1);
        if (marker == 0x0B)
          if (ClassObject* xml = m_.findClass("XML")) s = m_.construct(Value(static_cast<Object*>(xml)), {&s, 1});
        objects_.push_back(s);
        return s;
      }
      case 0x08: {
        Value out;
        uint32_t h = u29();
        if (reference3(h, out)) return out;
        Value ms(dbl());
        Value date = m_.construct(Value(static_cast<Object*>(m_.findClass("Date"))), {&ms, 1});
        objects_.push_back(date);
        return date;
      }
      case 0x09: return array3(depth);
      case 0x0A: return object3(depth);
      case 0x0C: {
        Value out;
        uint32_t h = u29();
        if (reference3(h, out)) return out;
        size_t n = h >> 1;
        need(n);
        Value b = m_.construct(Value(static_cast<Object*>(m_.findClass("flash.utils.ByteArray"))), {});
        static_cast<ByteArrayObject*>(b.asObject())->bytes.assign(p_ + at_, p_ + at_ + n);
        at_ += n;
        objects_.push_back(b);
        return b;
      }
      case 0x0D: case 0x0E: case 0x0F: case 0x10: return vector3(marker, depth);
      case 0x11: return dictionary3(depth);
      default: corrupt();
    }
  }

  Value array3(int depth) {
    Value out;
    uint32_t h = u29();
    if (reference3(h, out)) return out;
    ArrayObject* a = m_.newArray();
    Value result(static_cast<Object*>(a));
    objects_.push_back(result);
    for (;;) {
      Value key = string3();
      if (key.asString()->size() == 0) break;
      Value v = value3(depth + 1);
      m_.setProperty(result, m_.publicName(m_.intern(key.asString()->view())), std::move(v));
    }
    size_t n = count(h >> 1);
    for (size_t i = 0; i < n; ++i) a->elements.push_back(value3(depth + 1));
    return result;
  }

  // readExternal reads the object's data from a ByteArray holding what is left here; as
  // much as it read is passed over.
  void readExternal(const Value& object) {
    Value input = m_.construct(Value(static_cast<Object*>(m_.findClass("flash.utils.ByteArray"))), {});
    auto* in = static_cast<ByteArrayObject*>(input.asObject());
    in->bytes.assign(p_ + at_, p_ + size_);
    m_.callProperty(object, m_.publicName("readExternal"), {&input, 1});
    at_ += std::min<size_t>(in->position, size_ - at_);
  }

  Value object3(int depth) {
    Value out;
    uint32_t h = u29();
    if (reference3(h, out)) return out;
    size_t trait;
    if (!(h & 2)) {
      if ((h >> 2) >= traits_.size()) corrupt();
      trait = h >> 2;
    } else {
      Trait3 t;
      t.externalizable = h & 4;
      t.dynamic = h & 8;
      t.alias = m_.toString(string3());
      if (!t.externalizable) {
        size_t n = count(h >> 4);
        for (size_t i = 0; i < n; ++i) t.sealed.push_back(m_.toString(string3()));
      }
      traits_.push_back(std::move(t));
      trait = traits_.size() - 1;
    }
    // A registered alias makes an instance of its class; an unknown one a plain object.
    AmfAliasState& aliases = m_.packageState<AmfAliasState>();
    auto cls = aliases.classByAlias.find(std::string(traits_[trait].alias.view()));
    const bool typed = !traits_[trait].alias.view().empty() && cls != aliases.classByAlias.end();
    if (traits_[trait].externalizable && !typed) corrupt();
    Value result = typed ? m_.construct(Value(static_cast<Object*>(cls->second)), {})
                         : Value(m_.newObject());
    objects_.push_back(result);
    if (traits_[trait].externalizable) {
      readExternal(result);
      return result;
    }
    std::vector<StringRef> sealed = traits_[trait].sealed;
    bool dynamic = traits_[trait].dynamic;
    for (const StringRef& n : sealed) {
      Value v = value3(depth + 1);
      String* name = m_.intern(n.view());
      // A class's constants are restored as its variables are.
      Object* o = result.asObject();
      const Binding* b = o->traits() ? o->traits()->find(name, m_.publicNs) : nullptr;
      if (b && b->kind == BindKind::Const && b->index < o->slots().size() &&
          b->index < o->traits()->slots.size()) {
        o->slots()[b->index] = m_.coerce(v, o->traits()->slots[b->index]);
        continue;
      }
      m_.setProperty(result, m_.publicName(name), std::move(v));
    }
    while (dynamic) {
      Value key = string3();
      if (key.asString()->size() == 0) break;
      Value v = value3(depth + 1);
      m_.setProperty(result, m_.publicName(m_.intern(key.asString()->view())), std::move(v));
    }
    return result;
  }

  Value vector3(uint8_t marker, int depth) {
    Value out;
    uint32_t h = u29();
    if (reference3(h, out)) return out;
    size_t n = count(h >> 1);
    bool fixed = byte() != 0;
    ClassObject* generic = m_.findClass("__AS3__.vec.Vector");
    Value param;
    if (marker == 0x10) {
      // The element type by alias or name; one this machine does not know is Object.
      const std::string type(string3().asString()->view());
      const AmfAliasState& aliases = m_.packageState<AmfAliasState>();
      auto named = aliases.classByAlias.find(type);
      ClassObject* c = named != aliases.classByAlias.end() ? named->second : m_.findClass(type);
      if (!c) c = m_.objectClass;
      param = type == "*" ? Value::null() : Value(static_cast<Object*>(c));
    } else {
      param = Value(static_cast<Object*>(marker == 0x0D   ? m_.intClass
                                         : marker == 0x0E ? m_.uintClass
                                                          : m_.numberClass));
    }
    if (!generic) corrupt();
    ClassObject* cls = m_.applyType(generic, param);
    Value vec = m_.construct(Value(static_cast<Object*>(cls)), {});
    objects_.push_back(vec);
    auto* v = static_cast<VectorObject*>(vec.asObject());
    for (size_t i = 0; i < n; ++i) {
      Value e;
      if (marker == 0x0D) e = Value(int32_t(u32()));
      else if (marker == 0x0E) e = Value(u32());
      else if (marker == 0x0F) e = Value::number(dbl());
      else e = value3(depth + 1);
      v->elements.push_back(m_.coerce(e, v->elementType));
    }
    v->fixed = fixed;
    return vec;
  }

  Value dictionary3(int depth) {
    Value out;
    uint32_t h = u29();
    if (reference3(h, out)) return out;
    size_t n = count(h >> 1);
    byte();  // weak keys
    Value d = m_.construct(Value(static_cast<Object*>(m_.findClass("flash.utils.Dictionary"))), {});
    objects_.push_back(d);
    for (size_t i = 0; i < n; ++i) {
      Value k = value3(depth + 1);
      Value v = value3(depth + 1);
      Name name = m_.publicName(m_.intern(m_.toString(k).view()));
      if (k.isObject()) name.key = k.asObject();
      m_.setProperty(d, name, std::move(v));
    }
    return d;
  }

  // ---- AMF0 ----
  Value value0(int depth) {
    if (depth > kMaxNesting) corrupt();
    uint8_t marker = byte();
    switch (marker) {
      case 0x00: return Value::number(dbl());
      case 0x01: return Value(byte() != 0);
      case 0x02: return text(u16());
      case 0x0C: return text(u32());
      case 0x05: return Value::null();
      case 0x06: return Value();
      case 0x07: {
        uint32_t i = u16();
        if (i >= objects_.size()) corrupt();
        return objects_[i];
      }
      case 0x03: return members0(Value(m_.newObject()), depth);
      case 0x10: {
        text(u16());  // the class name: read as a plain object
        return members0(Value(m_.newObject()), depth);
      }
      case 0x08: {
        u32();
        return members0(Value(static_cast<Object*>(m_.newArray())), depth);
      }
      case 0x0A: {
        size_t n = count(u32());
        ArrayObject* a = m_.newArray();
        Value result(static_cast<Object*>(a));
        objects_.push_back(result);
        for (size_t i = 0; i < n; ++i) a->elements.push_back(value0(depth + 1));
        return result;
      }
      case 0x0B: {
        Value ms(dbl());
        u16();
        return m_.construct(Value(static_cast<Object*>(m_.findClass("Date"))), {&ms, 1});
      }
      case 0x0F: return text(u32());
      case 0x11: {
        Reader three(m_, p_, size_, at_);
        Value v = three.value3(depth);
        at_ = three.at();
        return v;
      }
      default: corrupt();
    }
  }

  Value members0(Value result, int depth) {
    objects_.push_back(result);
    for (;;) {
      Value key = text(u16());
      if (key.asString()->size() == 0) {
        if (byte() != 0x09) corrupt();
        return result;
      }
      Value v = value0(depth + 1);
      m_.setProperty(result, m_.publicName(m_.intern(key.asString()->view())), std::move(v));
    }
  }

 private:
  Machine& m_;
  const uint8_t* p_;
  size_t size_;
  size_t at_;
  std::vector<Value> strings_;
  std::vector<Value> objects_;
  std::vector<Trait3> traits_;
};

}  // namespace

void writeAmf(Machine& m, std::vector<uint8_t>& out, const Value& v, bool amf0) {
  Writer w(m, out);
  if (amf0) w.value0(v, 0);
  else w.value3(v, 0);
}

Value readAmf(Machine& m, const uint8_t* data, size_t size, size_t& at, bool amf0) {
  Reader r(m, data, size, at);
  Value v = amf0 ? r.value0(0) : r.value3(0);
  at = r.at();
  return v;
}

void writeAmfMembers(Machine& m, std::vector<uint8_t>& out,
                     const std::vector<std::pair<String*, Value>>& members, bool amf0) {
  Writer w(m, out);
  for (const auto& [name, value] : members) {
    if (amf0) {
      w.string0(name->view().substr(0, 0xFFFF));
      w.value0(value, 0);
    } else {
      w.string3(name->view());
      w.value3(value, 0);
    }
    w.byte(0);
  }
}

std::vector<std::pair<Value, Value>> readAmfMembers(Machine& m, const uint8_t* data, size_t size,
                                                   bool amf0) {
  std::vector<std::pair<Value, Value>> members;
  Reader r(m, data, size, 0);
  while (r.at() < size) {
    Value name = amf0 ? r.text(r.u16()) : r.string3();
    Value value = amf0 ? r.value0(0) : r.value3(0);
    if (r.byte() != 0) r.corrupt();
    members.emplace_back(std::move(name), std::move(value));
  }
  return members;
}

}  // namespace orv::movie::avm2
