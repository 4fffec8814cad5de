// ASnative(n, m): the player's built-in functions by number, as its own classes are put
// together from them; ASconstructor(n, m) gives one with a prototype to construct with,
// ASSetNative(object, n, "a,b,...") puts n's functions 0, 1, ... on an object and
// ASSetNativeAccessor makes getter/setter properties of them.
//
// Each call makes a new function object over the same native code, without a prototype.
// Numbers this player has no function for give undefined.
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <optional>
#include <utility>

#include "movie/avm1/frame.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

// Where a numbered function lives among the built-ins.
struct NativeEntry {
  int major, minor;
  const char* holder;  // "" for _global, else a global's name or "X.prototype"
  const char* name;
  enum Kind { Method, Getter, Setter } kind = Method;
};

constexpr NativeEntry kTable[] = {
    {101, 0, "Object.prototype", "watch"},
    {101, 1, "Object.prototype", "unwatch"},
    {101, 2, "Object.prototype", "addProperty"},
    {101, 3, "Object.prototype", "valueOf"},
    {101, 4, "Object.prototype", "toString"},
    {101, 6, "Object.prototype", "isPrototypeOf"},
    {101, 7, "Object.prototype", "isPropertyEnumerable"},
    {100, 0, "", "escape"},
    {100, 1, "", "unescape"},
    {100, 2, "", "parseInt"},
    {100, 3, "", "parseFloat"},
    {103, 0, "Date.prototype", "getFullYear"},
    {103, 1, "Date.prototype", "getYear"},
    {103, 2, "Date.prototype", "getMonth"},
    {103, 3, "Date.prototype", "getDate"},
    {103, 4, "Date.prototype", "getDay"},
    {103, 5, "Date.prototype", "getHours"},
    {103, 6, "Date.prototype", "getMinutes"},
    {103, 7, "Date.prototype", "getSeconds"},
    {103, 8, "Date.prototype", "getMilliseconds"},
    {103, 9, "Date.prototype", "setFullYear"},
    {103, 10, "Date.prototype", "setMonth"},
    {103, 11, "Date.prototype", "setDate"},
    {103, 12, "Date.prototype", "setHours"},
    {103, 13, "Date.prototype", "setMinutes"},
    {103, 14, "Date.prototype", "setSeconds"},
    {103, 15, "Date.prototype", "setMilliseconds"},
    {103, 16, "Date.prototype", "getTime"},
    {103, 17, "Date.prototype", "setTime"},
    {103, 18, "Date.prototype", "getTimezoneOffset"},
    {103, 19, "Date.prototype", "toString"},
    {103, 20, "Date.prototype", "setYear"},
    {103, 128, "Date.prototype", "getUTCFullYear"},
    {103, 129, "Date.prototype", "getUTCYear"},
    {103, 130, "Date.prototype", "getUTCMonth"},
    {103, 131, "Date.prototype", "getUTCDate"},
    {103, 132, "Date.prototype", "getUTCDay"},
    {103, 133, "Date.prototype", "getUTCHours"},
    {103, 134, "Date.prototype", "getUTCMinutes"},
    {103, 135, "Date.prototype", "getUTCSeconds"},
    {103, 136, "Date.prototype", "getUTCMilliseconds"},
    {103, 137, "Date.prototype", "setUTCFullYear"},
    {103, 138, "Date.prototype", "setUTCMonth"},
    {103, 139, "Date.prototype", "setUTCDate"},
    {103, 140, "Date.prototype", "setUTCHours"},
    {103, 141, "Date.prototype", "setUTCMinutes"},
    {103, 142, "Date.prototype", "setUTCSeconds"},
    {103, 143, "Date.prototype", "setUTCMilliseconds"},
    {103, 256, "", "Date"},
    {103, 257, "Date", "UTC"},
    {106, 0, "Number.prototype", "valueOf"},
    {106, 1, "Number.prototype", "toString"},
    {106, 2, "", "Number"},
    {107, 0, "Boolean.prototype", "valueOf"},
    {107, 1, "Boolean.prototype", "toString"},
    {107, 2, "", "Boolean"},
    {200, 0, "Math", "abs"},
    {200, 1, "Math", "min"},
    {200, 2, "Math", "max"},
    {200, 3, "Math", "sin"},
    {200, 4, "Math", "cos"},
    {200, 5, "Math", "atan2"},
    {200, 6, "Math", "tan"},
    {200, 7, "Math", "exp"},
    {200, 8, "Math", "log"},
    {200, 9, "Math", "sqrt"},
    {200, 10, "Math", "round"},
    {200, 11, "Math", "random"},
    {200, 12, "Math", "floor"},
    {200, 13, "Math", "ceil"},
    {200, 14, "Math", "atan"},
    {200, 15, "Math", "asin"},
    {200, 16, "Math", "acos"},
    {200, 17, "Math", "pow"},
    {200, 18, "", "isNaN"},
    {200, 19, "", "isFinite"},
    {251, 0, "String.prototype", "valueOf"},
    {251, 1, "String.prototype", "toString"},
    {251, 3, "String.prototype", "toUpperCase"},
    {251, 4, "String.prototype", "toLowerCase"},
    {251, 5, "String.prototype", "charAt"},
    {251, 6, "String.prototype", "charCodeAt"},
    {251, 7, "String.prototype", "concat"},
    {251, 8, "String.prototype", "indexOf"},
    {251, 9, "String.prototype", "lastIndexOf"},
    {251, 10, "String.prototype", "slice"},
    {251, 11, "String.prototype", "substring"},
    {251, 12, "String.prototype", "split"},
    {251, 13, "String.prototype", "substr"},
    {251, 14, "String", "fromCharCode"},
    {666, 1, "Stage", "scaleMode", NativeEntry::Getter},
    {666, 2, "Stage", "scaleMode", NativeEntry::Setter},
    {666, 3, "Stage", "align", NativeEntry::Getter},
    {666, 4, "Stage", "align", NativeEntry::Setter},
    {666, 5, "Stage", "width", NativeEntry::Getter},
    {666, 6, "Stage", "width", NativeEntry::Setter},
    {666, 7, "Stage", "height", NativeEntry::Getter},
    {666, 8, "Stage", "height", NativeEntry::Setter},
    {666, 9, "Stage", "showMenu", NativeEntry::Getter},
    {666, 10, "Stage", "showMenu", NativeEntry::Setter},
    {901, 0, "MovieClip.prototype", "createEmptyMovieClip"},
    {901, 1, "MovieClip.prototype", "beginFill"},
    {901, 2, "MovieClip.prototype", "beginGradientFill"},
    {901, 3, "MovieClip.prototype", "moveTo"},
    {901, 4, "MovieClip.prototype", "lineTo"},
    {901, 5, "MovieClip.prototype", "curveTo"},
    {901, 6, "MovieClip.prototype", "lineStyle"},
    {901, 7, "MovieClip.prototype", "endFill"},
    {901, 8, "MovieClip.prototype", "clear"},
    {2106, 202, "SharedObject", "getLocal"},
};

// The built-in object a table entry names, looked up from where the player put it (so
// scripts that replaced a class do not change what the numbers give).
Object* holderObject(Vm& vm, std::string_view holder, std::map<std::string, Object*>& builtins) {
  if (holder.empty()) return vm.global;
  auto it = builtins.find(std::string(holder));
  return it == builtins.end() ? nullptr : it->second;
}

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

// String case changes that leave everything past ASCII alone, as SWF 5 players did.
Value asciiCase(Vm& vm, CallInfo& c, bool upper) {
  std::string s = vm.toString(c.thisValue);
  for (char& ch : s) {
    unsigned char u = static_cast<unsigned char>(ch);
    if (u < 0x80) ch = static_cast<char>(upper ? std::toupper(u) : std::tolower(u));
  }
  return Value(s);
}

class NativeTable {
 public:
  explicit NativeTable(Vm& vm) {
    // The player's own objects, taken before any script can change them.
    for (const char* name : {"Object", "Date", "Number", "Boolean", "Math", "String", "Stage",
                             "MovieClip", "SharedObject"}) {
      Value v = vm.getMember(vm.global, name);
      if (!v.isObject()) continue;
      builtins_[name] = v.asObject();
      Value proto = vm.getMember(v.asObject(), "prototype");
      if (proto.isObject()) builtins_[std::string(name) + ".prototype"] = proto.asObject();
    }
  }

  std::optional<NativeFn> find(Vm& vm, int major, int minor) {
    if (major == 2 && minor == 0)
      return NativeFn([](Vm& vm, CallInfo&) -> Value { return Value(runningAsConstructor(vm)); });
    // hasOwnProperty, which SWF 5 movies reach only through its number.
    if (major == 101 && minor == 5)
      return NativeFn([](Vm& vm, CallInfo& c) -> Value {
        if (c.args.empty()) return Value(false);
        return Value(vm.hasOwnProperty(c.thisObject(), vm.toString(c.arg(0))));
      });
    if (major == 102 && (minor == 0 || minor == 1)) {
      bool upper = minor == 0;
      return NativeFn([upper](Vm& vm, CallInfo& c) -> Value { return asciiCase(vm, c, upper); });
    }
    for (const NativeEntry& e : kTable) {
      if (e.major != major || e.minor != minor) continue;
      Object* holder = holderObject(vm, e.holder, builtins_);
      if (!holder) return std::nullopt;
      Property* p = holder->findOwn(e.name, vm.caseInsensitive());
      if (!p) return std::nullopt;
      Object* fn = e.kind == NativeEntry::Getter ? p->getter
                   : e.kind == NativeEntry::Setter
                       ? p->setter
                       : (p->value.isObject() ? p->value.asObject() : nullptr);
      if (e.kind == NativeEntry::Setter && !fn && p->getter)
        return NativeFn([](Vm&, CallInfo&) -> Value { return Value(); });  // read-only
      auto* native = dynamic_cast<FunctionObject*>(fn);
      if (!native || !native->native) return std::nullopt;
      return native->native;
    }
    return std::nullopt;
  }

  void keepAlive(std::vector<Object*>& out) {
    for (auto& [name, o] : builtins_) out.push_back(o);
  }

 private:
  std::map<std::string, Object*> builtins_;
};

// A fresh function object over native `fn`; with a prototype when it is to construct.
Value makeFunction(Vm& vm, NativeFn fn, bool withPrototype) {
  return Value(vm.newNative(std::move(fn), withPrototype ? vm.newObject() : nullptr));
}

// ASnative, ASconstructor and ASSetNative: they keep the built-ins the table was taken
// from alive, even once scripts delete them from _global.
class TableFunction : public FunctionObject {
 public:
  std::shared_ptr<NativeTable> table;
  void traceRefs(std::vector<Object*>& out) override {
    FunctionObject::traceRefs(out);
    if (table) table->keepAlive(out);
  }
};

void defineTableFunction(Vm& vm, const char* name, std::shared_ptr<NativeTable> table,
                         NativeFn fn) {
  auto* f = vm.allocate<TableFunction>();
  f->native = std::move(fn);
  f->table = std::move(table);
  f->put("__proto__", vm.functionProto, kDontEnum | kDontDelete, vm.caseInsensitive());
  vm.global->put(name, Value(f), kDontEnum, vm.caseInsensitive());
}

int numberArg(Vm& vm, CallInfo& c, size_t i) { return vm.toInt(c.arg(i)); }

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

}  // namespace

void installNativeTable(Vm& vm) {
  auto table = std::make_shared<NativeTable>(vm);
  defineTableFunction(vm, "ASnative", table, [table](Vm& vm, CallInfo& c) -> Value {
    auto fn = table->find(vm, numberArg(vm, c, 0), numberArg(vm, c, 1));
    return fn ? makeFunction(vm, *fn, false) : Value();
  });
  defineTableFunction(vm, "ASconstructor", table, [table](Vm& vm, CallInfo& c) -> Value {
    auto fn = table->find(vm, numberArg(vm, c, 0), numberArg(vm, c, 1));
    return fn ? makeFunction(vm, *fn, true) : Value();
  });
  // ASSetNative(object, major, "name,name,...", firstMinor): one function per name.
  defineTableFunction(vm, "ASSetNative", table, [table](Vm& vm, CallInfo& c) -> Value {
    if (!c.arg(0).isObject()) return Value();
    Object* target = c.arg(0).asObject();
    const int major = numberArg(vm, c, 1);
    forEachName(
        vm, c,
        [&](const std::string& name, int minor) {
          auto fn = table->find(vm, major, minor);
          vm.setMember(target, name, fn ? makeFunction(vm, *fn, false) : Value());
        },
        1);
    return Value();
  });
  // ASSetNativeAccessor(object, major, "name,...", firstMinor): a getter and a setter
  // per name, on consecutive numbers.
  defineTableFunction(vm, "ASSetNativeAccessor", table, [table](Vm& vm, CallInfo& c) -> Value {
    if (!c.arg(0).isObject()) return Value();
    Object* target = c.arg(0).asObject();
    const int major = numberArg(vm, c, 1);
    forEachName(
        vm, c,
        [&](const std::string& name, int minor) {
          auto get = table->find(vm, major, minor);
          auto set = table->find(vm, major, minor + 1);
          if (!get) return;
          Property& p = target->defineOwn(name, vm.caseInsensitive());
          p.value = Value();
          p.getter = vm.newNative(*get);
          p.setter = set ? vm.newNative(*set) : nullptr;
        },
        2);
    return Value();
  });
}

}  // namespace orv::movie::avm1
