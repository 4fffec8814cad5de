// Script values: undefined, null, Boolean, int, uint, Number, String, Namespace and object
// references, in 16 bytes. int and uint are representations of Number that the machine keeps
// while a value stays integral (for speed and for `is int`); to scripts they are all
// numbers. Strings are shared (see string.h); namespaces are owned by the machine that made
// them and objects by its heap, so copying those copies a pointer.
#pragma once

#include <cstdint>
#include <utility>

#include "movie/avm2/string.h"

namespace orv::movie::avm2 {

class Object;

// A namespace as the machine resolves names with it: its kind and its URI (interned).
// Private namespaces are distinct per declaration even when their URIs match, so names
// compare namespaces by identity; two namespaces are equal as values when their URIs are.
enum class NamespaceKind : uint8_t {
  Public,  // a package namespace (the unnamed package: public)
  PackageInternal,
  Private,
  Protected,
  StaticProtected,
  Explicit,
  User,  // a namespace declared in script (`namespace foo = "..."`)
};

struct Namespace {
  NamespaceKind kind = NamespaceKind::Public;
  String* uri = nullptr;  // interned; never null for a namespace the machine made
  String* prefix = nullptr;  // an XML namespace's prefix (null: none)
};

enum class ValueKind : uint8_t {
  Undefined,
  Null,
  Boolean,
  Int,
  Uint,
  Number,
  String,
  Namespace,
  Object
};

class Value {
 public:
  Value() : kind_(ValueKind::Undefined), bits_(0) {}
  Value(bool b) : kind_(ValueKind::Boolean), bits_(0) { b_ = b; }
  Value(int32_t i) : kind_(ValueKind::Int), bits_(0) { i_ = i; }
  Value(uint32_t u) : kind_(ValueKind::Uint), bits_(0) { u_ = u; }
  Value(const char*) = delete;  // text becomes a value through a String
  Value(double d) : kind_(ValueKind::Number), d_(d) {}
  Value(String* s) : kind_(ValueKind::String), s_(s) { s_->retain(); }  // shares s
  Value(const StringRef& s) : Value(s.get()) {}
  Value(StringRef&& s) : kind_(ValueKind::String), s_(s.get()) {
    s_->retain();
    s = StringRef();
  }
  Value(const Namespace* ns) : kind_(ValueKind::Namespace), ns_(ns) {}
  Value(Object* o) : kind_(o ? ValueKind::Object : ValueKind::Null), o_(o) {}  // null gives null
  static Value null() {
    Value v;
    v.kind_ = ValueKind::Null;
    return v;
  }
  static Value undefined() { return Value(); }
  // An array's missing element: reads as undefined, but is no property of the array.
  static Value hole() {
    Value v;
    v.bits_ = 1;
    return v;
  }
  // A number kept as int when it is one (the machine's choice for integral results).
  static Value number(double d);

  Value(const Value& o) : kind_(o.kind_), bits_(o.bits_) {
    if (kind_ == ValueKind::String) s_->retain();
  }
  Value(Value&& o) noexcept : kind_(o.kind_), bits_(o.bits_) {
    o.kind_ = ValueKind::Undefined;
    o.bits_ = 0;
  }
  Value& operator=(const Value& o) {
    if (o.kind_ == ValueKind::String) o.s_->retain();
    drop();
    kind_ = o.kind_;
    bits_ = o.bits_;
    return *this;
  }
  Value& operator=(Value&& o) noexcept {
    if (this != &o) {
      drop();
      kind_ = o.kind_;
      bits_ = o.bits_;
      o.kind_ = ValueKind::Undefined;
      o.bits_ = 0;
    }
    return *this;
  }
  ~Value() { drop(); }

  ValueKind kind() const { return kind_; }
  bool isUndefined() const { return kind_ == ValueKind::Undefined; }
  bool isNull() const { return kind_ == ValueKind::Null; }
  bool isHole() const { return kind_ == ValueKind::Undefined && bits_ == 1; }
  bool isNullish() const { return kind_ <= ValueKind::Null; }
  bool isBool() const { return kind_ == ValueKind::Boolean; }
  bool isInt() const { return kind_ == ValueKind::Int; }
  bool isUint() const { return kind_ == ValueKind::Uint; }
  bool isNumeric() const { return kind_ >= ValueKind::Int && kind_ <= ValueKind::Number; }
  bool isString() const { return kind_ == ValueKind::String; }
  bool isNamespace() const { return kind_ == ValueKind::Namespace; }
  bool isObject() const { return kind_ == ValueKind::Object; }
  bool isPrimitive() const { return kind_ != ValueKind::Object; }

  bool asBool() const { return b_; }
  int32_t asInt() const { return i_; }
  uint32_t asUint() const { return u_; }
  double asDouble() const { return d_; }
  // Any of the three number kinds as a double.
  double numeric() const {
    return kind_ == ValueKind::Int ? i_ : kind_ == ValueKind::Uint ? static_cast<double>(u_) : d_;
  }
  String* asString() const { return s_; }
  const Namespace* asNamespace() const { return ns_; }
  Object* asObject() const { return o_; }

 private:
  void drop() {
    if (kind_ == ValueKind::String) s_->release();
  }

  ValueKind kind_;
  union {
    bool b_;
    int32_t i_;
    uint32_t u_;
    double d_;
    String* s_;
    const Namespace* ns_;
    Object* o_;
    uint64_t bits_;  // the payload as a whole, for copies
  };
};

static_assert(sizeof(Value) <= 16, "a value is at most 16 bytes");
static_assert(sizeof(void*) <= sizeof(uint64_t), "a value copies its payload as 64 bits");

}  // namespace orv::movie::avm2
