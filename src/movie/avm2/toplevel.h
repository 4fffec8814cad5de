// The top level as tables: one table of native members per class, one installer.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

enum class MemberKind : uint8_t {
  Method,        // on the prototype, where scripts' dynamic code finds it too
  FinalMethod,   // an instance method in the class's traits (found through scopes too)
  Getter,        // an instance accessor
  Setter,
  StaticMethod,  // on the class object
  StaticGetter,
  StaticSetter,
  Constant,      // a static constant: `number`, or `text` when it is set
  Slot,          // an instance variable (starts undefined)
};

struct NativeMember {
  const char* name = nullptr;
  MemberKind kind = MemberKind::Method;
  NativeCode code = nullptr;
  int length = 0;  // declared parameters, as `length` reports them
  double number = 0;
  const char* text = nullptr;
};

struct NativeClass {
  const char* package = "";
  const char* name = nullptr;
  const char* base = "Object";  // qualified; null for Object
  std::span<const NativeMember> members;
  NativeCode init = nullptr;       // the instance initialiser
  NativeCode call = nullptr;       // called as a function
  NativeCode construct = nullptr;  // `new` that makes no plain instance
  AllocCode alloc = nullptr;
  bool dynamic = true;
  bool isFinal = false;
  int initLength = 0;
};

ClassObject* installClass(Machine& m, const NativeClass& c);
// Global functions and constants of a package ("" for the top level).
void installGlobals(Machine& m, const char* package, std::span<const NativeMember> members);
void installTopLevel(Machine& m);

// Each file of the top level installs its classes.
void installObjectClasses(Machine& m);  // Object, Class, Function, Namespace, Boolean
void installNumberClasses(Machine& m);
void installStringClass(Machine& m);
void installArrayClass(Machine& m);
void installMathClass(Machine& m);
void installErrorClasses(Machine& m);
void installGlobalFunctions(Machine& m);

// Helpers the tables share. Script text is UTF-8; the String methods count in UTF-16.
std::u16string utf16(std::string_view text);
std::string utf8(std::u16string_view text);
void installRegExpClass(Machine& m);
void installDateClass(Machine& m);
void installVectorClass(Machine& m);
void installUtilityFunctions(Machine& m);  // flash.utils and the URI functions
void installJsonClass(Machine& m);
inline Value arg(std::span<Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }
// The receiver as an object of type T, or TypeError #1004 naming `method`.
template <typename T>
T* receiver(Machine& m, const Value& self, const char* method) {
  T* o = self.isObject() ? dynamic_cast<T*>(self.asObject()) : nullptr;
  if (!o) m.fail(ErrorClass::TypeError, 1004, {method});
  return o;
}

}  // namespace orv::movie::avm2
