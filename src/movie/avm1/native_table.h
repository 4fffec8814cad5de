// Built-in members declared as tables. A row names a member and says what it is: a method,
// one half of an accessor (a getter row and a setter row of one name make one accessor
// property), or a constant; with its property flags, the native code behind it, a variant
// telling apart the members one body serves (CallInfo::variant), the first SWF version
// that has it and, where the player numbers it, its ASnative number:
//
//   constexpr NativeMember kStringMembers[] = {
//       method("valueOf", valueOf).asnative(251, 0),
//       method("charAt", charAt).asnative(251, 5),
//       getter("length", length, kDontEnum | kDontDelete),
//       constant("PI", M_PI),
//       method("call", call).since(6),
//   };
//
// installMembers puts rows on an object in their order (the order for..in shows);
// installClass makes a class from a NativeClass: its constructor and prototype, linked as
// the player links them, its name on a holder, and its static and prototype members.
// What is installed with a number is what ASnative, ASconstructor, ASSetNative and
// ASSetNativeAccessor give for it (builtins_asnative.cpp).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "movie/avm1/object.h"

namespace orv::movie::avm1 {

enum class MemberKind : uint8_t { Method, Getter, Setter, Constant };
// What a constant row holds.
enum class Literal : uint8_t { Undefined, Null, Boolean, Number, Text };

// The flags of the player's fixed values (Math.PI, Key.UP...).
inline constexpr uint8_t kConstant = kDontEnum | kDontDelete | kReadOnly;

struct NativeMember {
  const char* name = nullptr;  // nullptr: reached by its number only, never installed
  MemberKind kind = MemberKind::Method;
  NativeCode code = nullptr;
  uint8_t flags = kDontEnum;
  int variant = 0;
  int16_t major = -1, minor = -1;  // its ASnative number; none when major < 0
  uint8_t minVersion = 0;          // the first SWF version that has it
  // Constants: the value.
  Literal literal = Literal::Undefined;
  double number = 0;
  const char* text = nullptr;

  // The same row with ASnative number (n, m).
  constexpr NativeMember asnative(int n, int m) const {
    NativeMember r = *this;
    r.major = static_cast<int16_t>(n);
    r.minor = static_cast<int16_t>(m);
    return r;
  }
  // The same row, for movies of SWF `version` and later only.
  constexpr NativeMember since(int version) const {
    NativeMember r = *this;
    r.minVersion = static_cast<uint8_t>(version);
    return r;
  }
  constexpr bool numbered() const { return major >= 0; }
};

constexpr NativeMember method(const char* name, NativeCode code, uint8_t flags = kDontEnum,
                              int variant = 0) {
  return {
      .name = name, .kind = MemberKind::Method, .code = code, .flags = flags, .variant = variant};
}
constexpr NativeMember getter(const char* name, NativeCode code, uint8_t flags = kDontEnum,
                              int variant = 0) {
  return {
      .name = name, .kind = MemberKind::Getter, .code = code, .flags = flags, .variant = variant};
}
constexpr NativeMember setter(const char* name, NativeCode code, uint8_t flags = kDontEnum,
                              int variant = 0) {
  return {
      .name = name, .kind = MemberKind::Setter, .code = code, .flags = flags, .variant = variant};
}
constexpr NativeMember constant(const char* name, double number, uint8_t flags = kConstant) {
  return {.name = name,
          .kind = MemberKind::Constant,
          .flags = flags,
          .literal = Literal::Number,
          .number = number};
}
constexpr NativeMember constant(const char* name, int number, uint8_t flags = kConstant) {
  return constant(name, static_cast<double>(number), flags);
}
constexpr NativeMember constant(const char* name, bool value, uint8_t flags = kConstant) {
  return {.name = name,
          .kind = MemberKind::Constant,
          .flags = flags,
          .literal = Literal::Boolean,
          .number = value ? 1.0 : 0.0};
}
constexpr NativeMember constant(const char* name, const char* text, uint8_t flags = kConstant) {
  return {.name = name,
          .kind = MemberKind::Constant,
          .flags = flags,
          .literal = Literal::Text,
          .text = text};
}
// A property holding undefined (or null): a place for scripts and the player to fill.
constexpr NativeMember slot(const char* name, uint8_t flags = kDontEnum,
                            Literal literal = Literal::Undefined) {
  return {.name = name, .kind = MemberKind::Constant, .flags = flags, .literal = literal};
}
// A native reached by its ASnative number only: no object has it as a member.
constexpr NativeMember numberOnly(int major, int minor, NativeCode code, int variant = 0) {
  return method(nullptr, code, kDontEnum, variant).asnative(major, minor);
}

// A class: its constructor's code, the members of its prototype and of the constructor
// itself, and how it is named on its holder.
struct NativeClass {
  const char* name = nullptr;
  NativeCode constructor = nullptr;
  std::span<const NativeMember> prototype = {};
  std::span<const NativeMember> statics = {};
  int variant = 0;                   // the constructor's
  int16_t major = -1, minor = -1;    // the constructor's ASnative number
  bool constructsOwnObject = false;  // `new` runs the code without making an object first
  uint8_t flags = kDontEnum;         // of the name on the holder
};

struct InstalledClass {
  FunctionObject* constructor = nullptr;
  Object* prototype = nullptr;
};

// Puts `members` on `target` in order, skipping those the movie's version does not have.
// Methods and constants replace what was there; an accessor row sets its half of the
// property (the other half stays) and the property's flags.
void installMembers(Vm& vm, Object* target, std::span<const NativeMember> members);

// Makes the class: `prototype` (a new plain object when null) becomes the constructor's
// "prototype" and gets "constructor"; the constructor is named on `holder` (unless null),
// then the static members go on the constructor and the others on the prototype.
InstalledClass installClass(Vm& vm, Object* holder, const NativeClass& cls,
                            Object* prototype = nullptr);

// A function object running `code` (with `variant`), linked to Function.prototype; with a
// prototype object to construct with when one is given.
FunctionObject* nativeFunction(Vm& vm, NativeCode code, int variant = 0,
                               Object* prototype = nullptr);

// Does nothing and gives undefined: members that have nothing to do in this player.
Value nothing(Vm& vm, CallInfo& c);
// Gives `this`: the constructor of classes whose objects start empty.
Value returnThis(Vm& vm, CallInfo& c);

// A native the machine's built-ins declared under an ASnative number.
struct NumberedNative {
  int major = 0, minor = 0;
  MemberKind kind = MemberKind::Method;
  NativeCode code = nullptr;
  int variant = 0;
  const char* name = nullptr;  // the member it is installed as; nullptr for number-only ones
};
// The one numbered (major, minor), or nullptr.
const NumberedNative* findNumberedNative(Vm& vm, int major, int minor);
// All of them, by number.
std::vector<NumberedNative> numberedNatives(Vm& vm);

}  // namespace orv::movie::avm1
