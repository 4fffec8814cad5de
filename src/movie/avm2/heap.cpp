#include "movie/avm2/heap.h"

#include <algorithm>

namespace orv::movie::avm2 {

void Marker::mark(Object* o) {
  if (o && !o->marked_) {
    o->marked_ = true;
    work_.push_back(o);
  }
}

const Value* Object::findOwn(String* name) const {
  auto it = dynamic_.find(name);
  return it == dynamic_.end() ? nullptr : &it->second;
}

void Object::setOwn(String* name, Value v) {
  auto [it, inserted] = dynamic_.try_emplace(name, std::move(v));
  if (inserted) {
    order_.push_back(name);
  } else {
    it->second = std::move(v);
  }
}

bool Object::deleteOwn(String* name) {
  if (dynamic_.erase(name) == 0) return false;
  order_.erase(std::find(order_.begin(), order_.end(), name));
  return true;
}

const Value* Object::find(String* name) const {
  // A prototype cycle (which scripts can build) ends the walk rather than looping.
  size_t steps = 0;
  for (const Object* o = this; o && steps < 100000; o = o->proto_, ++steps)
    if (const Value* v = o->findOwn(name)) return v;
  return nullptr;
}

void Object::markChildren(Marker& m) const {
  m.mark(proto_);
  for (const auto& [name, v] : dynamic_) m.mark(v);
}

Heap::~Heap() {
  for (Object* o : objects_) delete o;
}

size_t Heap::collect(const std::function<void(Marker&)>& roots) {
  Marker m;
  roots(m);
  while (!m.work_.empty()) {
    Object* o = m.work_.back();
    m.work_.pop_back();
    o->markChildren(m);
  }
  size_t freed = 0;
  auto live =
      std::partition(objects_.begin(), objects_.end(), [](Object* o) { return o->marked_; });
  for (auto it = live; it != objects_.end(); ++it, ++freed) delete *it;
  objects_.erase(live, objects_.end());
  for (Object* o : objects_) o->marked_ = false;
  return freed;
}

}  // namespace orv::movie::avm2
