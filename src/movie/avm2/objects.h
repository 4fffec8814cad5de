// The kinds of object the machine makes: functions (a method with the scope it closes
// over, or bound to a receiver), classes, arrays; and the methods they run, from ABC or
// native.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "movie/avm2/decoder.h"
#include "movie/avm2/heap.h"
#include "movie/avm2/names.h"

namespace orv::movie::avm2 {

class Machine;
struct AbcUnit;

// What a native method does: `self` is the receiver, `args` its arguments (it may move them).
using NativeCode = Value (*)(Machine& m, const Value& self, std::span<Value> args);

// The scopes a function closes over, outermost first.
struct ScopeEntry {
  Value object;
  bool isWith = false;
};
using ScopeChain = std::vector<ScopeEntry>;
using ScopeRef = std::shared_ptr<const ScopeChain>;

// A method of ABC or a native one.
class Method {
 public:
  AbcUnit* unit = nullptr;
  uint32_t index = 0;  // into unit->file->methods
  NativeCode native = nullptr;
  int nativeLength = 0;  // what `length` says of a native method
  std::string name;

  // An ABC method's decoded code, made when it first runs (or the reason it cannot run).
  const DecodedMethod* decoded = nullptr;
  std::unique_ptr<DecodedMethod> decodedStore;
  std::optional<VerifyFailure> failure;
  // Parameter types, resolved when it first runs.
  bool typesResolved = false;
  std::vector<SlotInfo> params;
  SlotInfo returnType;
  std::vector<std::unique_ptr<Traits>> catchTraits;  // per exception handler, when made
  std::unique_ptr<Traits> activation;  // the traits of its activation object

  int length() const;  // declared parameters
};

class FunctionObject : public Object {
 public:
  using Object::Object;
  Method* method = nullptr;
  ScopeRef scope;             // what it closes over
  ClassObject* owner = nullptr;  // a method's class (for super)
  Value boundThis;           // a method closure's receiver
  bool bound = false;

  void markChildren(Marker& m) const override;
};

// How a native class makes its instances (Array makes arrays, Error plain objects...).
using AllocCode = Object* (*)(Machine& m, ClassObject* cls);

class ClassObject : public Object {
 public:
  using Object::Object;
  String* name = nullptr;             // qualified, "flash.display.Sprite"
  String* simpleName = nullptr;       // "Sprite"
  const Namespace* ns = nullptr;      // its package namespace
  ClassObject* base = nullptr;
  std::vector<ClassObject*> interfaces;  // every interface it implements, inherited ones too
  std::unique_ptr<Traits> instanceTraits;
  std::unique_ptr<Traits> classTraits;
  Object* prototypeObject = nullptr;
  Method* iinit = nullptr;
  ScopeRef scope;  // its methods' scope: the scopes around its definition and itself
  AllocCode alloc = nullptr;   // inherited by subclasses that have none of their own
  NativeCode callCode = nullptr;  // called as a function (a conversion), if not a cast
  NativeCode constructCode = nullptr;  // `new` that makes no plain instance (Number, Date...)
  bool isInterface = false;
  bool isFinal = false;
  bool prefersString = false;  // its instances become strings where no type is asked (Date)
  bool isVector = false;         // Vector and its Vector.<T>
  SlotInfo vectorElement;        // Vector.<T>: what its elements are coerced to

  bool isSubclassOf(const ClassObject* other) const;
  bool implements(const ClassObject* iface) const;
  void markChildren(Marker& m) const override;
};

class ArrayObject : public Object {
 public:
  using Object::Object;
  std::vector<Value> elements;

  void markChildren(Marker& m) const override;
};

// Vector.<T>: an array of one element type, indexed within its length only.
class VectorObject : public ArrayObject {
 public:
  using ArrayObject::ArrayObject;
  SlotInfo elementType;
  bool fixed = false;
};

// An object whose class answers for some of its properties itself (a ByteArray's bytes,
// a Dictionary's object keys, a Proxy's handlers). Each hook returns false to leave the
// name to the ordinary lookup.
class HookedObject : public Object {
 public:
  template <typename... Args>
  explicit HookedObject(Args&&... args) : Object(std::forward<Args>(args)...) {
    hooked_ = true;
  }
  virtual bool getHook(Machine&, const Name&, Value&) { return false; }
  virtual bool setHook(Machine&, const Name&, Value&) { return false; }
  virtual bool hasHook(Machine&, const Name&, bool&) { return false; }
  virtual bool deleteHook(Machine&, const Name&, bool&) { return false; }
  virtual bool callHook(Machine&, const Name&, std::span<Value>, Value&) { return false; }
  // Enumeration of its own, in place of the dynamic properties' (indices from 1, 0: no next).
  virtual bool enumerates() const { return false; }
  virtual uint32_t nextIndexHook(Machine&, uint32_t) { return 0; }
  virtual Value nameAtHook(Machine&, uint32_t) { return Value(); }
  virtual Value valueAtHook(Machine&, uint32_t) { return Value(); }
  // False when setPropertyIsEnumerable has no effect on it (a Dictionary's keys).
  virtual bool keepsEnumerability() const { return true; }
};

// The scope object of a catch block or an activation: an object laid out by its own traits.
class ActivationObject : public Object {
 public:
  using Object::Object;
};

inline ClassObject* Object::klass() const { return static_cast<ClassObject*>(klass_); }

}  // namespace orv::movie::avm2
