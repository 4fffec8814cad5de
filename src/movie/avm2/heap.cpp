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
  return it == dynamic_.end() ? nullptr : &it->second.value;
}

Value* Object::findOwnMutable(String* name) {
  auto it = dynamic_.find(name);
  return it == dynamic_.end() ? nullptr : &it->second.value;
}

void Object::setOwn(String* name, Value v) {
  auto it = dynamic_.find(name);
  if (it != dynamic_.end()) {
    it->second.value = std::move(v);
    return;
  }
  dynamic_.emplace(name, Property{std::move(v), true, order_.size()});
  order_.push_back(name);
}

void Object::setHidden(String* name, Value v) {
  setOwn(name, std::move(v));
  dynamic_[name].enumerable = false;
}

bool Object::isEnumerable(String* name) const {
  auto it = dynamic_.find(name);
  return it != dynamic_.end() && it->second.enumerable;
}

void Object::setEnumerable(String* name, bool enumerable) {
  auto it = dynamic_.find(name);
  if (it != dynamic_.end()) it->second.enumerable = enumerable;
}

bool Object::deleteOwn(String* name) {
  auto it = dynamic_.find(name);
  if (it == dynamic_.end()) return false;
  order_[it->second.position] = nullptr;
  dynamic_.erase(it);
  // Mostly deleted: the positions are packed again (an enumeration running now may then
  // miss a property; an object emptied and refilled stays small).
  if (++deleted_ > 16 && deleted_ > order_.size() / 2) {
    order_.erase(std::remove(order_.begin(), order_.end(), nullptr), order_.end());
    for (size_t i = 0; i < order_.size(); ++i) dynamic_[order_[i]].position = i;
    deleted_ = 0;
  }
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
  m.mark(klass_);
  for (const Value& v : slots_) m.mark(v);
  for (const auto& [name, p] : dynamic_) m.mark(p.value);
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
  std::erase_if(weakHolders_, [](Object* o) { return !o->marked_; });
  for (Object* o : weakHolders_) o->dropUnmarked();
  size_t freed = 0;
  auto live =
      std::partition(objects_.begin(), objects_.end(), [](Object* o) { return o->marked_; });
  for (auto it = live; it != objects_.end(); ++it, ++freed) delete *it;
  objects_.erase(live, objects_.end());
  for (Object* o : objects_) o->marked_ = false;
  return freed;
}

}  // namespace orv::movie::avm2
