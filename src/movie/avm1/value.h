// Script values: undefined, null, boolean, number, string and object references.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace orv::movie::avm1 {

class Object;

enum class ValueType : uint8_t { Undefined, Null, Boolean, Number, String, Object };

// A tagged 16-byte value. Strings are shared and immutable: copying a value copies a
// pointer, so moving strings through the stack, registers and members never copies text.
class Value {
 public:
  Value() = default;
  Value(bool b) : type_(ValueType::Boolean) { bool_ = b; }
  Value(double n) : type_(ValueType::Number) { number_ = n; }
  Value(int n) : type_(ValueType::Number) { number_ = n; }
  Value(std::string s) : type_(ValueType::String) {
    text_ = s.empty() ? nullptr : new SharedText{std::move(s), 1};
  }
  Value(const char* s) : Value(std::string(s)) {}
  Value(Object* o);  // null pointer gives null
  Value(const Value& o) : type_(o.type_), bits_(o.bits_) { retain(); }
  Value(Value&& o) noexcept : type_(o.type_), bits_(o.bits_) { o.type_ = ValueType::Undefined; }
  Value& operator=(const Value& o) {
    Value copy(o);
    swap(copy);
    return *this;
  }
  Value& operator=(Value&& o) noexcept {
    Value moved(std::move(o));
    swap(moved);
    return *this;
  }
  ~Value() { release(); }

  static Value null() {
    Value v;
    v.type_ = ValueType::Null;
    return v;
  }
  static Value undefined() { return Value(); }

  ValueType type() const { return type_; }
  bool isUndefined() const { return type_ == ValueType::Undefined; }
  bool isNull() const { return type_ == ValueType::Null; }
  bool isNullish() const { return type_ == ValueType::Undefined || type_ == ValueType::Null; }
  bool isBool() const { return type_ == ValueType::Boolean; }
  bool isNumber() const { return type_ == ValueType::Number; }
  bool isString() const { return type_ == ValueType::String; }
  bool isObject() const { return type_ == ValueType::Object; }

  bool asBool() const { return type_ == ValueType::Boolean && bool_; }
  double asNumber() const { return type_ == ValueType::Number ? number_ : 0; }
  const std::string& asString() const {
    return type_ == ValueType::String && text_ ? text_->text : emptyText();
  }
  Object* asObject() const { return type_ == ValueType::Object ? object_ : nullptr; }

 private:
  struct SharedText {
    std::string text;
    uint32_t refs;
  };
  static void freeText(SharedText* text);  // out of line: the last owner frees it
  static const std::string& emptyText() {
    static const std::string empty;
    return empty;
  }
  void retain() {
    if (type_ == ValueType::String && text_) ++text_->refs;
  }
  void release() {
    if (type_ == ValueType::String && text_ && --text_->refs == 0) freeText(text_);
  }
  void swap(Value& o) noexcept {
    std::swap(type_, o.type_);
    std::swap(bits_, o.bits_);
  }

  ValueType type_ = ValueType::Undefined;
  union {
    uint64_t bits_ = 0;
    bool bool_;
    double number_;
    Object* object_;
    SharedText* text_;
  };
};
static_assert(sizeof(Value) == 16);

// Numbers as the player prints them: 15 significant digits, exponent form outside
// 1e-5 .. 1e15, "NaN", "Infinity", "-Infinity".
std::string numberToString(double n);
// Integer conversion used by bit operations and many built-ins (ECMA ToInt32).
int32_t toInt32(double n);
// String to number: decimal or 0x hex after leading white space; NaN when malformed
// (SWF 4 reads the leading number and gives 0 instead).
double stringToNumber(std::string_view s, int version);
uint32_t toUint32(double n);

}  // namespace orv::movie::avm1
