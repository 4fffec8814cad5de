// The language's conversions and operators on primitive values (ECMA-262 3rd edition, as
// ActionScript 3 applies them). An object operand is first made primitive by the machine
// (ToPrimitive calls its valueOf/toString); these functions take primitives only and treat
// an object reference given by mistake as NaN / "[object Object]" rather than failing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "movie/avm2/value.h"

namespace orv::movie::avm2 {

// ToNumber of text (ECMA-262 9.3.1): white space around a decimal literal, "Infinity" with a
// sign, or 0x hex; empty or blank text is 0; anything else NaN.
double stringToNumber(std::string_view text);
double toNumber(const Value& v);
bool toBoolean(const Value& v);
int32_t toInt32(double d);
uint32_t toUint32(double d);
int32_t toInt32(const Value& v);
uint32_t toUint32(const Value& v);
// A number as ActionScript 3 prints it (ECMA-262 9.8.1): the fewest digits that read back
// as the same number, plain from 1e-6 up to 1e21, in exponent form outside.
std::string numberToText(double d);
// ToString as text; numbers print as numberToText.
std::string toText(const Value& v);
// ToString as a script string (shared when v already is one).
StringRef toStringRef(const Value& v);

// typeof for primitives: "undefined", "object" (null, namespaces), "boolean", "number",
// "string". Objects answer "object" or "function" from the machine.
const char* typeofPrimitive(const Value& v);

// ===, == and the relational comparison (ECMA-262 11.9.6, 11.9.3, 11.8.5) on primitives
// (objects compare by identity in ===, and == between two objects).
bool strictEquals(const Value& a, const Value& b);
bool looseEquals(const Value& a, const Value& b);
enum class Compare : uint8_t { False, True, Undefined };  // Undefined: a NaN took part
Compare lessThan(const Value& a, const Value& b);
// `+` on primitives: text joined when either side is a string, else the numbers added
// (int + int stays an int unless it overflows).
Value add(const Value& a, const Value& b);

}  // namespace orv::movie::avm2
