// The installer of built-in tables, and the machine's numbered natives they declare.
#include "movie/avm1/native_table.h"

#include <map>

#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

// The numbered natives this machine's installers declared, by (major, minor).
struct NumberedNatives {
  std::map<std::pair<int, int>, NumberedNative> byNumber;
};

// The first declaration of a number is the one it keeps.
void declareNumber(Vm& vm, int major, int minor, MemberKind kind, NativeCode code, int variant,
                   const char* name) {
  if (major < 0 || !code) return;
  vm.builtinState<NumberedNatives>().byNumber.try_emplace(
      {major, minor}, NumberedNative{major, minor, kind, code, variant, name});
}

Value literalValue(const NativeMember& m) {
  switch (m.literal) {
    case Literal::Null:
      return Value::null();
    case Literal::Boolean:
      return Value(m.number != 0);
    case Literal::Number:
      return Value(m.number);
    case Literal::Text:
      return Value(m.text ? m.text : "");
    case Literal::Undefined:
      break;
  }
  return Value();
}

}  // namespace

Value nothing(Vm&, CallInfo&) { return Value(); }

Value returnThis(Vm&, CallInfo& c) { return c.thisValue; }

FunctionObject* nativeFunction(Vm& vm, NativeCode code, int variant, Object* prototype) {
  FunctionObject* f = vm.newNative(nullptr, prototype);
  f->setNative(code, variant);
  return f;
}

void installMembers(Vm& vm, Object* target, std::span<const NativeMember> members) {
  const bool ci = vm.caseInsensitive();
  for (const NativeMember& m : members) {
    if (vm.version() < m.minVersion) continue;
    declareNumber(vm, m.major, m.minor, m.kind, m.code, m.variant, m.name);
    if (!m.name || !target) continue;
    switch (m.kind) {
      case MemberKind::Method:
        target->put(m.name, Value(nativeFunction(vm, m.code, m.variant)), m.flags, ci);
        break;
      case MemberKind::Constant:
        target->put(m.name, literalValue(m), m.flags, ci);
        break;
      case MemberKind::Getter:
      case MemberKind::Setter: {
        Property& p = target->defineOwn(m.name, ci);
        p.value = Value();
        p.flags = m.flags;
        (m.kind == MemberKind::Getter ? p.getter : p.setter) =
            nativeFunction(vm, m.code, m.variant);
        break;
      }
    }
  }
}

InstalledClass installClass(Vm& vm, Object* holder, const NativeClass& cls, Object* prototype) {
  InstalledClass made;
  made.prototype = prototype ? prototype : vm.newObject();
  made.constructor = nativeFunction(vm, cls.constructor, cls.variant, made.prototype);
  made.constructor->constructsOwnObject = cls.constructsOwnObject;
  declareNumber(vm, cls.major, cls.minor, MemberKind::Method, cls.constructor, cls.variant,
                cls.name);
  if (holder && cls.name)
    holder->put(cls.name, Value(made.constructor), cls.flags, vm.caseInsensitive());
  installMembers(vm, made.constructor, cls.statics);
  installMembers(vm, made.prototype, cls.prototype);
  return made;
}

const NumberedNative* findNumberedNative(Vm& vm, int major, int minor) {
  const auto& all = vm.builtinState<NumberedNatives>().byNumber;
  auto it = all.find({major, minor});
  return it == all.end() ? nullptr : &it->second;
}

std::vector<NumberedNative> numberedNatives(Vm& vm) {
  std::vector<NumberedNative> out;
  for (const auto& [number, native] : vm.builtinState<NumberedNatives>().byNumber)
    out.push_back(native);
  return out;
}

}  // namespace orv::movie::avm1
