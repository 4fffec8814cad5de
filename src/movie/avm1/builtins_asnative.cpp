// ASnative(n, m): the player's built-in functions by number, as its own classes are put
// together from them; ASconstructor(n, m) gives one with a prototype to construct with,
// ASSetNative(object, n, "a,b,...") puts n's functions 0, 1, ... on an object and
// ASSetNativeAccessor makes getter/setter properties of them.
//
// The numbers are those the built-in tables declare on their rows (native_table.h), for
// the members this movie's version has, and a few natives that are no member of anything.
// Each call makes a new function object over the same native code, without a prototype.
// Numbers this player has no function for give undefined.
#include <cctype>
#include <string>

#include "movie/avm1/frame.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

// A function called as `f()` runs with the timeline as `this`; one called with `new` gets
// a fresh object whose constructor is the function.
bool runningAsConstructor(Vm& vm) {
  Vm::Frame* f = vm.currentFrame();
  if (!f || !f->callee || !f->thisValue.isObject()) return false;
  Object* self = f->thisValue.asObject();
  Property* p =
      self->findOwn(vm.version() >= 6 ? "__constructor__" : "constructor", vm.caseInsensitive());
  return p && p->value.isObject() && p->value.asObject() == f->callee;
}

Value isConstructing(Vm& vm, CallInfo&) { return Value(runningAsConstructor(vm)); }

// hasOwnProperty, which SWF 5 movies reach only through its number.
Value hasOwnProperty(Vm& vm, CallInfo& c) {
  if (c.args.empty()) return Value(false);
  return Value(vm.hasOwnProperty(c.thisObject(), vm.toString(c.arg(0))));
}

// String case changes (variant 1: to upper case) that leave everything past ASCII alone,
// as SWF 5 players did.
Value asciiCase(Vm& vm, CallInfo& c) {
  std::string s = vm.toString(c.thisValue);
  for (char& ch : s) {
    unsigned char u = static_cast<unsigned char>(ch);
    if (u < 0x80) ch = static_cast<char>(c.variant == 1 ? std::toupper(u) : std::tolower(u));
  }
  return Value(s);
}

constexpr NativeMember kNumberOnly[] = {
    numberOnly(2, 0, isConstructing),
    numberOnly(101, 5, hasOwnProperty),
    numberOnly(102, 0, asciiCase, 1),
    numberOnly(102, 1, asciiCase, 0),
};

int numberArg(Vm& vm, CallInfo& c, size_t i) { return vm.toInt(c.arg(i)); }

// A fresh function object over numbered native (major, minor), with a prototype when it is
// to construct; undefined when there is none.
Value numbered(Vm& vm, int major, int minor, bool withPrototype) {
  const NumberedNative* n = findNumberedNative(vm, major, minor);
  if (!n) return Value();
  return Value(nativeFunction(vm, n->code, n->variant, withPrototype ? vm.newObject() : nullptr));
}

// The names of ASSetNative's third argument with the number each gets: from the fourth
// argument (0 when left out) up by `step`. A leading digit on a name is the SWF version
// it starts in; older movies skip the name but not its number.
template <class Fn>
void forEachName(Vm& vm, CallInfo& c, Fn&& fn, int step) {
  int minor = c.args.size() > 3 ? numberArg(vm, c, 3) : 0;
  const std::string names = vm.toString(c.arg(2));
  size_t start = 0;
  for (int guard = 0; start <= names.size() && guard < 65536; ++guard) {
    size_t comma = names.find(',', start);
    if (comma == std::string::npos) comma = names.size();
    std::string name = names.substr(start, comma - start);
    int since = 0;
    if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
      since = name[0] - '0';
      name.erase(0, 1);
    }
    if (!name.empty() && vm.version() >= since) fn(name, minor);
    minor += step;
    start = comma + 1;
  }
}

Value asNative(Vm& vm, CallInfo& c) {
  return numbered(vm, numberArg(vm, c, 0), numberArg(vm, c, 1), false);
}

Value asConstructor(Vm& vm, CallInfo& c) {
  return numbered(vm, numberArg(vm, c, 0), numberArg(vm, c, 1), true);
}

// ASSetNative(object, major, "name,name,...", firstMinor): one function per name.
Value asSetNative(Vm& vm, CallInfo& c) {
  if (!c.arg(0).isObject()) return Value();
  Object* target = c.arg(0).asObject();
  const int major = numberArg(vm, c, 1);
  forEachName(
      vm, c,
      [&](const std::string& name, int minor) {
        vm.setMember(target, name, numbered(vm, major, minor, false));
      },
      1);
  return Value();
}

// ASSetNativeAccessor(object, major, "name,...", firstMinor): a getter and a setter per
// name, on consecutive numbers.
Value asSetNativeAccessor(Vm& vm, CallInfo& c) {
  if (!c.arg(0).isObject()) return Value();
  Object* target = c.arg(0).asObject();
  const int major = numberArg(vm, c, 1);
  forEachName(
      vm, c,
      [&](const std::string& name, int minor) {
        const NumberedNative* get = findNumberedNative(vm, major, minor);
        const NumberedNative* set = findNumberedNative(vm, major, minor + 1);
        if (!get) return;
        Property& p = target->defineOwn(name, vm.caseInsensitive());
        p.value = Value();
        p.getter = nativeFunction(vm, get->code, get->variant);
        p.setter = set ? nativeFunction(vm, set->code, set->variant) : nullptr;
      },
      2);
  return Value();
}

constexpr NativeMember kGlobals[] = {
    method("ASnative", asNative),
    method("ASconstructor", asConstructor),
    method("ASSetNative", asSetNative),
    method("ASSetNativeAccessor", asSetNativeAccessor),
};

}  // namespace

void installNativeTable(Vm& vm) {
  installMembers(vm, vm.global, kNumberOnly);
  installMembers(vm, vm.global, kGlobals);
}

}  // namespace orv::movie::avm1
