// Script values: undefined, null, boolean, number, string and object references.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace orv::movie::avm1 {

class Object;

enum class ValueType : uint8_t { Undefined, Null, Boolean, Number, String, Object };

class Value {
 public:
  Value() = default;
  Value(bool b) : type_(ValueType::Boolean), bool_(b) {}
  Value(double n) : type_(ValueType::Number), number_(n) {}
  Value(int n) : type_(ValueType::Number), number_(n) {}
  Value(std::string s) : type_(ValueType::String), string_(std::move(s)) {}
  Value(const char* s) : type_(ValueType::String), string_(s) {}
  Value(Object* o);  // null pointer gives null
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

  bool asBool() const { return bool_; }
  double asNumber() const { return number_; }
  const std::string& asString() const { return string_; }
  Object* asObject() const { return object_; }

 private:
  ValueType type_ = ValueType::Undefined;
  bool bool_ = false;
  double number_ = 0;
  std::string string_;
  Object* object_ = nullptr;
};

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
