// Script objects: making them, the memory they take, and the collector that frees them.
#include <algorithm>
#include <chrono>

#include "movie/avm1/frame.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

// ---------------------------------------------------------------- object creation

Object* Vm::newObject(Object* proto) {
  Object* o = allocate<Object>();
  Object* p = proto ? proto : objectProto;
  if (p) o->put("__proto__", p, kDontEnum | kDontDelete, caseInsensitive());
  return o;
}

Object* Vm::newArray(std::vector<Value> elements) {
  Object* a = allocate<Object>(ObjectKind::Array);
  a->put("__proto__", arrayProto ? arrayProto : objectProto, kDontEnum | kDontDelete,
         caseInsensitive());
  setArrayElements(a, elements);
  return a;
}

FunctionObject* Vm::newNative(NativeFn fn, Object* prototypeObject) {
  auto* f = allocate<FunctionObject>();
  f->native = std::move(fn);
  bool ci = caseInsensitive();
  f->put("__proto__", functionProto, kDontEnum | kDontDelete, ci);
  if (prototypeObject) {
    f->put("prototype", prototypeObject, kDontEnum | kDontDelete, ci);
    prototypeObject->put("constructor", f, kDontEnum, ci);
  }
  return f;
}

Object* Vm::newError(const std::string& message) {
  Object* e = newObject(errorProto);
  e->kind = ObjectKind::Error;
  e->put("message", message, 0, caseInsensitive());
  return e;
}

std::vector<Value> Vm::arrayElements(Object* arr) {
  std::vector<Value> out;
  if (!arr) return out;
  uint32_t n = arr->kind == ObjectKind::Array ? arr->arrayCount()
                                              : toUint32(toNumber(getMember(arr, "length")));
  // A length set far beyond the elements (a.length = 4e9) is not a list to copy.
  n = std::min<uint32_t>(n, 1u << 22);
  out.reserve(std::min<uint32_t>(n, 1u << 16));
  // The elements are what the object itself holds at each index: the array methods call
  // no getter and look at no prototype for them.
  const bool ci = caseInsensitive();
  for (uint32_t i = 0; i < n; ++i) {
    Property* p = arr->findOwn(std::to_string(i), ci);
    out.push_back(p ? p->value : Value());
    if ((i & 4095) == 4095 && entryDepth_ > 0 && std::chrono::steady_clock::now() > runDeadline_)
      throw ScriptAbort{"script ran out of time"};
  }
  return out;
}

void Vm::setArrayElements(Object* arr, const std::vector<Value>& elems, size_t frontAdded) {
  bool ci = caseInsensitive();
  // The player deletes every element and writes the new ones afresh, in index order: they
  // enumerate as new properties. An element that cannot be deleted stays where it was, and
  // keeps its value too if it is read-only.
  if (arr->kind == ObjectKind::Array) {
    // The properties themselves are looked at, not every index up to a length of billions.
    const uint32_t old = std::max<uint32_t>(arr->arrayCount(), static_cast<uint32_t>(elems.size()));
    std::vector<std::string> doomed;
    for (const Property& p : arr->properties()) {
      if (p.deleted || (p.flags & kDontDelete) || p.name.empty() || p.name.size() > 10) continue;
      if (p.name.find_first_not_of("0123456789") != std::string::npos) continue;
      const uint64_t i = std::stoull(p.name);
      if (i < old && std::to_string(i) == p.name) doomed.push_back(p.name);
    }
    for (const std::string& name : doomed) arr->removeOwn(name, ci);
    auto write = [&](size_t i) {
      Property& p = arr->defineOwn(std::to_string(i), ci);
      if (!(p.flags & kReadOnly)) p.value = elems[i];
    };
    frontAdded = std::min(frontAdded, elems.size());
    if (frontAdded == 0) {
      for (size_t i = 0; i < elems.size(); ++i) write(i);
    } else {
      for (size_t i = elems.size(); i-- > frontAdded;) write(i);
      for (size_t i = 0; i < frontAdded; ++i) write(i);
    }
    arr->arrayLength = static_cast<uint32_t>(elems.size());
    return;
  }
  for (size_t i = 0; i < elems.size(); ++i) setMember(arr, std::to_string(i), elems[i]);
  setMember(arr, "length", static_cast<double>(elems.size()));
}

// ---------------------------------------------------------------- memory

void Vm::noteStringMade(size_t bytes) {
  if (bytes > limits_.maxStringLength) throw ScriptAbort{"string too long"};
  stringBytesSinceCheck_ += bytes;
  if (stringBytesSinceCheck_ > limits_.maxMemoryBytes / 8) checkMemory();
}

size_t Vm::approximateMemory() {
  size_t total = 0, things = 0;
  auto valueBytes = [](const Value& v) { return v.isString() ? v.asString().capacity() : 0; };
  for (Object* o : heap_) {
    total += sizeof(FunctionObject) + valueBytes(o->primitive);
    for (const Property& p : o->properties())
      total += sizeof(Property) + 16 + p.name.capacity() + valueBytes(p.value);
    things += 1 + o->properties().size();
  }
  for (Frame* f : frames_) {
    for (const Value& v : f->stack) total += sizeof(Value) + valueBytes(v);
    for (const Value& v : f->registers) total += sizeof(Value) + valueBytes(v);
    things += f->stack.size() + f->registers.size();
  }
  memoryCheckInterval_ = std::max<uint64_t>(1u << 16, things * 4);
  return total;
}

void Vm::checkMemory() {
  actionsSinceMemoryCheck_ = 0;
  stringBytesSinceCheck_ = 0;
  if (entryDepth_ > 0 && approximateMemory() > limits_.maxMemoryBytes)
    throw ScriptAbort{"out of memory"};
}

// ---------------------------------------------------------------- the collector

void Vm::markFrom(Object* o, std::vector<Object*>& work) {
  if (o && !o->marked) {
    o->marked = true;
    work.push_back(o);
  }
}

void Vm::collectGarbage() {
  if (entryDepth_ > 0 || !frames_.empty()) return;
  std::vector<Object*> work;
  for (Object* o : pinned_) markFrom(o, work);
  for (Object* o : liveClipObjects_) markFrom(o, work);
  for (auto& [name, o] : registeredClasses_) markFrom(o, work);
  for (auto& [clip, values] : leftOnStack_) {
    markFrom(clip, work);
    for (auto& v : values)
      if (v.isObject()) markFrom(v.asObject(), work);
  }
  std::vector<Object*> loading;
  loads_.roots(loading);
  for (Object* o : loading) markFrom(o, work);
  for (auto& [handle, soundObject] : playingSounds)
    if (soundObject.isObject()) markFrom(soundObject.asObject(), work);
  for (auto& [id, iv] : intervals) {
    if (iv.target.isObject()) markFrom(iv.target.asObject(), work);
    if (iv.fn.isObject()) markFrom(iv.fn.asObject(), work);
    for (auto& a : iv.args)
      if (a.isObject()) markFrom(a.asObject(), work);
  }
  std::vector<Object*> refs;
  while (!work.empty()) {
    Object* o = work.back();
    work.pop_back();
    refs.clear();
    o->traceRefs(refs);
    for (Object* r : refs) markFrom(r, work);
  }
  size_t kept = 0;
  for (Object* o : heap_) {
    if (o->marked) {
      o->marked = false;
      heap_[kept++] = o;
    } else {
      delete o;
    }
  }
  heap_.resize(kept);
}

}  // namespace orv::movie::avm1
