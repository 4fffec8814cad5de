// Script objects: ordered properties with flags, accessors and watchers; functions,
// arrays, primitive wrappers and movie-clip objects are kinds of Object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "movie/avm1/value.h"

namespace orv::movie::avm1 {

class Vm;
class ScriptClip;

// Property attribute bits as ASSetPropFlags writes them. The higher bits hide a member from
// movies of older versions: 0x80 from SWF 5 and below, 0x400 from SWF 6 and below, 0x1000
// from SWF 7 and below, 0x2000 from SWF 8 and below, 0x4000 from SWF 9 and below.
enum PropertyFlag : uint16_t {
  kDontEnum = 1,
  kDontDelete = 2,
  kReadOnly = 4,
  kHideFromSwf5 = 0x80,
  kHideFromSwf6 = 0x400,
  kHideFromSwf7 = 0x1000,
  kHideFromSwf8 = 0x2000,
  kHideFromSwf9 = 0x4000,
};
constexpr uint16_t kAttributeFlags = kDontEnum | kDontDelete | kReadOnly;
constexpr uint16_t kVersionFlags =
    kHideFromSwf5 | kHideFromSwf6 | kHideFromSwf7 | kHideFromSwf8 | kHideFromSwf9;
// The version bits that hide a member from a movie of this SWF version.
constexpr uint16_t hiddenFlagsFor(int version) {
  return (version <= 5 ? kHideFromSwf5 : 0) | (version <= 6 ? kHideFromSwf6 : 0) |
         (version <= 7 ? kHideFromSwf7 : 0) | (version <= 8 ? kHideFromSwf8 : 0) |
         (version <= 9 ? kHideFromSwf9 : 0);
}

struct Property {
  std::string name;
  Value value;
  uint16_t flags = 0;
  Object* getter = nullptr;  // set by addProperty
  Object* setter = nullptr;
  bool deleted = false;
  // Hidden from this movie by a version bit: found by nothing but ASSetPropFlags
  // (findOwnAny), until the bit is cleared or the member is written anew.
  bool hidden = false;
  bool isAccessor() const { return getter != nullptr; }
};

// Volume and balance Sound objects set on a clip, or on the whole movie (kept on the global
// object): volume in percent, and how much of each source channel goes to each speaker.
struct SoundTransform {
  double volume = 100;
  double pan = 0;
  double ll = 100, lr = 0, rr = 100, rl = 0;
};

enum class ObjectKind : uint8_t {
  Plain,
  Function,
  Array,
  Boolean,
  Number,
  String,
  Date,
  Clip,
  Arguments,
  Error,
  Other
};

class Object {
 public:
  explicit Object(ObjectKind kind = ObjectKind::Plain) : kind(kind) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Own-property storage; names are matched case-insensitively when `ci` is set (SWF 6
  // and lower). Enumeration order is insertion order; callers reverse it as needed.
  Property* findOwn(std::string_view name, bool ci);
  // Also a member a version bit hides.
  Property* findOwnAny(std::string_view name, bool ci);
  Property& defineOwn(std::string_view name, bool ci);  // finds or appends
  bool removeOwn(std::string_view name, bool ci);       // ignores DontDelete
  std::vector<Property>& properties() { return props_; }
  size_t liveCount() const { return props_.size() - deletedCount_; }

  // Convenience for built-ins: plain data property with flags.
  void put(std::string_view name, Value v, uint16_t flags, bool ci);

  // The prototype link: the "__proto__" property.
  Object* proto(bool ci);

  virtual void traceRefs(std::vector<Object*>& out);

  ObjectKind kind;
  Value primitive;             // wrapped boolean/number/string, Date time value
  ScriptClip* clip = nullptr;  // movie-clip objects: the clip while it lives
  // `super` objects: the prototype whose method (or constructor) is running.
  Object* homeProto = nullptr;
  // Array kind. Signed: new Array(-1) has length -1 (and no elements).
  int64_t arrayLength = 0;
  uint32_t arrayCount() const { return arrayLength > 0 ? static_cast<uint32_t>(arrayLength) : 0; }
  // Watchers set by Object.watch: property name -> (callback, user data).
  struct Watch {
    std::string name;
    Object* callback;
    Value userData;
    bool active = false;
  };
  std::vector<Watch> watches;
  // A removed clip's target path ("_level0.a.b"): a clip made later at that path takes
  // its place for references to this object.
  std::string formerPath;
  // Set once a Sound object changes this clip's (or the global object's) sound.
  std::unique_ptr<SoundTransform> soundTransform;
  bool marked = false;
  std::string className;  // for diagnostics and "Other" kinds

 private:
  // Up to this many members are found by a scan; more get a hash index.
  static constexpr size_t kLinearLimit = 8;
  void rebuildIndex(bool ci);
  bool indexed() const;
  std::vector<Property> props_;
  std::unordered_map<std::string, uint32_t> index_;
  bool indexCi_ = false;
  size_t deletedCount_ = 0;
};

// Everything a native function sees of its call.
struct CallInfo {
  Value thisValue;
  std::span<Value> args;
  Object* callee = nullptr;
  bool isConstruct = false;
  // Which of the members sharing one native body was called (native_table.h).
  int variant = 0;
  Value arg(size_t i) const { return i < args.size() ? args[i] : Value(); }
  Object* thisObject() const { return thisValue.isObject() ? thisValue.asObject() : nullptr; }
};
using NativeFn = std::function<Value(Vm&, CallInfo&)>;
// The code of a built-in declared in a table (native_table.h).
using NativeCode = Value (*)(Vm&, CallInfo&);

using CodeBuffer = std::shared_ptr<const std::vector<uint8_t>>;
using ConstantPool = std::shared_ptr<const std::vector<Value>>;  // strings, made once

// A function written in ActionScript: a slice of an action buffer and what it closed over.
struct ScriptFunctionBody {
  CodeBuffer code;
  size_t start = 0, end = 0;
  std::string name;
  std::vector<std::string> params;
  std::vector<uint8_t> paramRegisters;  // DefineFunction2: 0 = by name
  uint8_t registerCount = 0;
  uint16_t flags = 0;  // DefineFunction2 preload/suppress bits
  bool isFunction2 = false;
  int version = 5;
  ConstantPool constants;
  std::vector<Object*> scope;    // defining scope chain, outermost first
  Object* targetClip = nullptr;  // the timeline it was defined on
};

class FunctionObject : public Object {
 public:
  FunctionObject() : Object(ObjectKind::Function) {}
  NativeFn native;  // set for built-ins
  // Built-ins declared in tables: their code and variant, which `native` runs.
  NativeCode code = nullptr;
  int variant = 0;
  void setNative(NativeCode code, int variant = 0);
  std::shared_ptr<ScriptFunctionBody> body;  // set for script functions
  // Built-in constructors that make their own object (Array, String, Date...).
  bool constructsOwnObject = false;
  void traceRefs(std::vector<Object*>& out) override;
};

}  // namespace orv::movie::avm1
