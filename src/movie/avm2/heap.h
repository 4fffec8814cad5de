// The machine's objects and the heap that owns them. Objects are collected by mark and
// sweep: the roots (the global object, running frames' registers, stacks and scopes,
// objects the host holds) are given to collect(), everything reachable from them survives,
// cycles included. Marking uses a work list rather than recursion, so a long chain of
// objects cannot exhaust the native stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "movie/avm2/value.h"

namespace orv::movie::avm2 {

class Heap;

// What marking hands each live object: the references it holds.
class Marker {
 public:
  void mark(Object* o);
  void mark(const Value& v) {
    if (v.isObject()) mark(v.asObject());
  }

 private:
  friend class Heap;
  std::vector<Object*> work_;
};

class Traits;
class ClassObject;

class Object {
 public:
  Object() = default;
  // An instance laid out by `traits` (its slots start at their defaults).
  Object(const Traits* traits, ClassObject* klass, Object* proto);
  virtual ~Object() = default;

  // The sealed part: the layout of the object's class and its slot values.
  const Traits* traits() const { return traits_; }
  ClassObject* klass() const;  // (objects.h)
  void setKlass(Object* klass) { klass_ = klass; }
  // Lays the object out anew by `traits` (slots at their defaults).
  void layOut(const Traits* traits);
  std::vector<Value>& slots() { return slots_; }
  const std::vector<Value>& slots() const { return slots_; }

  Object* prototype() const { return proto_; }
  void setPrototype(Object* p) { proto_ = p; }

  // Dynamic properties, by interned name, in the order they were first set.
  const Value* findOwn(String* name) const;
  Value* findOwnMutable(String* name);
  void setOwn(String* name, Value v);
  // A property for-in skips (built-in prototype methods, `constructor`).
  void setHidden(String* name, Value v);
  bool isEnumerable(String* name) const;
  void setEnumerable(String* name, bool enumerable);
  bool deleteOwn(String* name);
  // The value found along the prototype chain, or null.
  const Value* find(String* name) const;
  // Dynamic properties in the order they were made, by position; a position whose
  // property was deleted holds null, so deleting while enumerating skips nothing.
  size_t ownCount() const { return order_.size(); }
  String* ownNameAt(size_t i) const { return order_[i]; }

  // Whether it is a HookedObject (objects.h), known without a cast.
  bool hooked() const { return hooked_; }

  // Subclasses holding references of their own mark them here (call the base too).
  virtual void markChildren(Marker& m) const;
  // An object holding weak references (Heap::watchWeak) forgets those a collection is
  // about to free: they are the ones not marked().
  virtual void dropUnmarked() {}
  bool marked() const { return marked_; }

 private:
  friend class Heap;
  friend class Marker;
  struct Property {
    Value value;
    bool enumerable = true;
    size_t position = 0;  // in order_
  };
  Object* proto_ = nullptr;
  const Traits* traits_ = nullptr;
  Object* klass_ = nullptr;  // a ClassObject
  std::vector<Value> slots_;
  std::unordered_map<String*, Property> dynamic_;
  std::vector<String*> order_;
  size_t deleted_ = 0;  // null positions in order_
  bool marked_ = false;

 protected:
  bool hooked_ = false;
};

class Heap {
 public:
  Heap() = default;
  Heap(const Heap&) = delete;
  Heap& operator=(const Heap&) = delete;
  ~Heap();

  // A new object of type T owned by the heap.
  template <typename T, typename... Args>
  T* make(Args&&... args) {
    T* o = new T(std::forward<Args>(args)...);
    objects_.push_back(o);
    return o;
  }
  // Frees every object the roots do not reach; returns how many were freed.
  size_t collect(const std::function<void(Marker&)>& roots);
  size_t size() const { return objects_.size(); }
  // `holder` keeps weak references: each collection it survives calls its dropUnmarked().
  void watchWeak(Object* holder) { weakHolders_.push_back(holder); }

 private:
  std::vector<Object*> objects_;
  std::vector<Object*> weakHolders_;
};

}  // namespace orv::movie::avm2
