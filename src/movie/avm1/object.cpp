#include "movie/avm1/object.h"

#include <cctype>

namespace orv::movie::avm1 {

namespace {
std::string keyOf(std::string_view name, bool ci) {
  std::string k(name);
  if (ci)
    for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return k;
}

bool sameName(std::string_view a, std::string_view b, bool ci) {
  if (a.size() != b.size()) return false;
  if (!ci) return a == b;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

void Value::freeText(SharedText* text) { delete text; }

Value::Value(Object* o) : type_(o ? ValueType::Object : ValueType::Null) { object_ = o; }

void Object::rebuildIndex(bool ci) {
  if (deletedCount_ > 0) {
    std::vector<Property> kept;
    kept.reserve(props_.size() - deletedCount_);
    for (auto& p : props_)
      if (!p.deleted) kept.push_back(std::move(p));
    props_ = std::move(kept);
    deletedCount_ = 0;
  }
  index_.clear();
  indexCi_ = ci;
  if (props_.size() <= kLinearLimit) return;
  for (uint32_t i = 0; i < props_.size(); ++i) index_[keyOf(props_[i].name, ci)] = i;
}

bool Object::indexed() const { return !index_.empty(); }

Property* Object::findOwn(std::string_view name, bool ci) {
  Property* p = findOwnAny(name, ci);
  return p && !p->hidden ? p : nullptr;
}

Property* Object::findOwnAny(std::string_view name, bool ci) {
  if (props_.empty()) return nullptr;
  if (!indexed() && props_.size() <= kLinearLimit) {
    // Most objects hold a few members: a scan beats hashing the name.
    for (Property& p : props_)
      if (!p.deleted && sameName(p.name, name, ci)) return &p;
    return nullptr;
  }
  if (ci != indexCi_ || index_.size() + deletedCount_ != props_.size()) rebuildIndex(ci);
  auto it = index_.find(keyOf(name, ci));
  if (it == index_.end()) return nullptr;
  Property& p = props_[it->second];
  return p.deleted ? nullptr : &p;
}

Property& Object::defineOwn(std::string_view name, bool ci) {
  if (Property* p = findOwnAny(name, ci)) {
    // Writing a member this movie cannot see makes it a member it can.
    if (p->hidden) {
      p->hidden = false;
      p->flags &= ~kVersionFlags;
    }
    return *p;
  }
  if (props_.capacity() == 0) props_.reserve(4);
  props_.push_back(Property{std::string(name), Value(), 0, nullptr, nullptr, false, false});
  if (indexed() && ci == indexCi_ && index_.size() + deletedCount_ + 1 == props_.size())
    index_[keyOf(name, ci)] = static_cast<uint32_t>(props_.size() - 1);
  else if (props_.size() > kLinearLimit)
    rebuildIndex(ci);
  return props_.back();
}

bool Object::removeOwn(std::string_view name, bool ci) {
  Property* p = findOwn(name, ci);
  if (!p) return false;
  // The order of the others stays: it is the order scripts enumerate them in.
  props_.erase(props_.begin() + (p - props_.data()));
  rebuildIndex(ci);
  return true;
}

void Object::put(std::string_view name, Value v, uint16_t flags, bool ci) {
  Property& p = defineOwn(name, ci);
  p.value = std::move(v);
  p.flags = flags;
  p.getter = p.setter = nullptr;
}

Object* Object::proto(bool ci) {
  Property* p = findOwn("__proto__", ci);
  if (!p || !p->value.isObject()) return nullptr;
  return p->value.asObject();
}

void Object::traceRefs(std::vector<Object*>& out) {
  auto add = [&out](const Value& v) {
    if (v.isObject()) out.push_back(v.asObject());
  };
  for (auto& p : props_) {
    add(p.value);
    if (p.getter) out.push_back(p.getter);
    if (p.setter) out.push_back(p.setter);
  }
  add(primitive);
  if (homeProto) out.push_back(homeProto);
  for (auto& w : watches) {
    if (w.callback) out.push_back(w.callback);
    add(w.userData);
  }
}

void FunctionObject::setNative(NativeCode fn, int which) {
  code = fn;
  variant = which;
  if (!fn) {
    native = nullptr;
    return;
  }
  native = [fn, which](Vm& vm, CallInfo& c) {
    c.variant = which;
    return fn(vm, c);
  };
}

void FunctionObject::traceRefs(std::vector<Object*>& out) {
  Object::traceRefs(out);
  if (body) {
    for (Object* o : body->scope)
      if (o) out.push_back(o);
    if (body->targetClip) out.push_back(body->targetClip);
  }
}

}  // namespace orv::movie::avm1
