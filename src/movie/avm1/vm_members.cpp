// Members of script objects (get, set, delete, enumerate, instanceof) and calls.
#include <deque>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <unordered_set>
#include <utility>

#include "movie/avm1/frame.h"
#include "movie/avm1/text.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

// ---------------------------------------------------------------- members

Property* Vm::findProperty(Object* obj, std::string_view name, Object** owner) {
  bool ci = caseInsensitive();
  Object* o = obj;
  for (int depth = 0; o; ++depth) {
    // A chain this long loops back on itself: the player gives up on the script.
    if (depth == kMaxPrototypeChain) throw ScriptAbort{"prototype chain too long"};
    if (Property* p = o->findOwn(name, ci)) {
      if (owner) *owner = o;
      return p;
    }
    o = o->proto(ci);
  }
  return nullptr;
}

namespace {
// An element name: decimal digits with an optional minus, read modulo 2^32 as the player
// reads them.
std::optional<int32_t> wrappedIndex(std::string_view name) {
  const bool negative = !name.empty() && name[0] == '-';
  std::string_view digits = negative ? name.substr(1) : name;
  if (digits.empty()) return std::nullopt;
  uint32_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10u + static_cast<uint32_t>(c - '0');
  }
  return static_cast<int32_t>(negative ? 0u - v : v);
}
}  // namespace

Value Vm::getMember(const Value& v, std::string_view name) {
  switch (v.type()) {
    case ValueType::Object:
      return getMember(v.asObject(), name);
    case ValueType::String: {
      if (name == "length") {
        const std::string& s = v.asString();
        if (version_ >= 6) {
          size_t n = 0;
          for (unsigned char c : s)
            if ((c & 0xC0) != 0x80) ++n;
          return Value(static_cast<double>(n));
        }
        return Value(static_cast<double>(s.size()));
      }
      // Text is wrapped by whatever _global.String is now: a script's replacement is
      // constructed with it.
      Property* current = global->findOwn("String", caseInsensitive());
      Property* builtIn =
          stringProto ? stringProto->findOwn("constructor", caseInsensitive()) : nullptr;
      if (current && builtIn && current->value.isObject() &&
          !strictEquals(current->value, builtIn->value)) {
        Value text = v;
        Value wrapper = construct(current->value, std::span<Value>(&text, 1));
        return wrapper.isObject() ? getMember(wrapper.asObject(), name) : Value();
      }
      Object* o = toObject(v);
      return getMember(o, name);
    }
    case ValueType::Number:
    case ValueType::Boolean: {
      Object* proto = v.isNumber() ? numberProto : booleanProto;
      Object* owner = nullptr;
      Property* p = findProperty(proto, name, &owner);
      if (!p) return Value();
      if (p->isAccessor()) return runGetter(owner, *p, v);
      return p->value;
    }
    default:
      return Value();
  }
}

namespace {
// One more nesting of an accessor while it runs (exceptions included); the count goes
// when the outermost call ends.
class Nested {
 public:
  using Counts = std::map<std::pair<const Object*, const Object*>, int>;
  Nested(Counts& counts, Counts::key_type key)
      : counts_(counts), it_(counts.try_emplace(key, 0).first) {}
  bool tooDeep(int most) const { return it_->second >= most; }
  void enter() {
    ++it_->second;
    entered_ = true;
  }
  ~Nested() {
    if (entered_) --it_->second;
    if (it_->second == 0) counts_.erase(it_);
  }

 private:
  Counts& counts_;
  Counts::iterator it_;
  bool entered_ = false;
};
}  // namespace

Value Vm::runGetter(Object* owner, const Property& p, const Value& self) {
  if (!p.getter) return Value();
  Value fn(p.getter);
  Nested nested(accessorNesting_, {owner, p.getter});
  if (nested.tooDeep(kMostAccessorNesting)) return Value();
  nested.enter();
  return call(fn, self, {});
}

void Vm::runSetter(Object* owner, const Property& p, const Value& self, const Value& v) {
  if (!p.setter) return;
  Value fn(p.setter);
  Nested nested(accessorNesting_, {owner, p.setter});
  if (nested.tooDeep(kMostAccessorNesting)) return;
  nested.enter();
  Value arg = v;
  call(fn, self, std::span<Value>(&arg, 1));
}

Value Vm::getMember(Object* obj, std::string_view name) {
  if (!obj) return Value();
  if (obj->kind == ObjectKind::Clip && !obj->clip && !obj->formerPath.empty()) {
    // A removed clip: its successor answers, or nothing does.
    obj = successorClip(obj);
    if (!obj) return Value();
  }
  bool ci = caseInsensitive();
  if (obj->kind == ObjectKind::Array &&
      (ci ? text::equalsNoCase(name, "length") : name == "length")) {
    // A getter added for the length answers in its place; the array's methods still
    // count the elements themselves.
    if (Property* own = obj->findOwn(name, ci); own && own->isAccessor())
      return runGetter(obj, *own, Value(obj));
    return Value(static_cast<double>(obj->arrayLength));
  }
  if (obj->kind == ObjectKind::String && name == "length" && obj->findOwn("length", ci) == nullptr)
    return getMember(obj->primitive, "length");
  if (obj->kind == ObjectKind::Clip && obj->clip) {
    if (Property* p = obj->findOwn(name, ci)) {
      if (p->isAccessor()) return runGetter(obj, *p, Value(obj));
      return p->value;
    }
    if (ScriptClip* child = obj->clip->childByName(name, ci)) return Value(objectFor(child));
    bool found = false;
    Value r = getClipProperty(obj, obj->clip, name, &found);
    if (found) return r;
  }
  Object* owner = nullptr;
  Property* p = findProperty(obj, name, &owner);
  if (p) {
    if (p->isAccessor()) return runGetter(owner, *p, Value(obj));
    return p->value;
  }
  if (name != "__resolve") {
    Property* r = findProperty(obj, "__resolve", nullptr);
    if (r && r->value.isObject() && r->value.asObject()->kind == ObjectKind::Function) {
      Value arg(std::string{name});
      return call(r->value, Value(obj), std::span<Value>(&arg, 1));
    }
  }
  return Value();
}

void Vm::setMember(Object* obj, std::string_view name, const Value& value) {
  if (!obj) return;
  if (obj->kind == ObjectKind::Clip && !obj->clip && !obj->formerPath.empty()) {
    obj = successorClip(obj);  // with no clip in its place, the value goes nowhere
    if (!obj) return;
  }
  bool ci = caseInsensitive();
  if (obj->kind == ObjectKind::Clip && obj->clip && setClipProperty(obj->clip, name, value)) return;
  Value v = value;
  // Object.watch callbacks see the old and new value and choose what is stored.
  for (auto& w : obj->watches) {
    if (w.active || !(ci ? text::equalsNoCase(w.name, name) : w.name == name)) continue;
    w.active = true;
    // The callback sees the value stored, found along the prototypes; no getter runs
    // for it (a native or added property gives what it held before, if anything).
    Property* stored = findProperty(obj, name, nullptr);
    Value old = stored ? stored->value : Value();
    std::vector<Value> args{Value(std::string{name}), old, v, w.userData};
    Object* cb = w.callback;
    try {
      v = call(Value(cb), Value(obj), args);
    } catch (...) {
      for (auto& w2 : obj->watches)
        if (w2.callback == cb) w2.active = false;
      throw;
    }
    for (auto& w2 : obj->watches)
      if (w2.callback == cb) w2.active = false;
    break;
  }
  if (obj->kind == ObjectKind::Array) {
    if (ci ? text::equalsNoCase(name, "length") : name == "length") {
      double n = toNumber(v);
      if (!(n >= 0) || n > 4294967295.0) return;
      uint32_t len = static_cast<uint32_t>(n);
      for (uint32_t i = len; i < obj->arrayCount() && i < len + (1u << 20); ++i)
        obj->removeOwn(std::to_string(i), ci);
      obj->arrayLength = len;
      return;
    }
    // The player keeps an array's length as a 32-bit integer: an element's index wraps
    // to 32 bits, and the length after it wraps too, dropping the elements above it.
    if (std::optional<int32_t> idx = wrappedIndex(name); idx && *idx >= obj->arrayLength) {
      const int64_t old = obj->arrayLength;
      const int32_t len = static_cast<int32_t>(static_cast<uint32_t>(*idx) + 1u);
      const int64_t first = std::max<int64_t>(len, 0);
      for (int64_t i = first; i < old && i < first + (1 << 20); ++i)
        obj->removeOwn(std::to_string(i), ci);
      obj->arrayLength = len;
    }
  }
  if (Property* own = obj->findOwn(name, ci)) {
    if (own->isAccessor()) {
      runSetter(obj, *own, Value(obj), v);
      return;
    }
    if (own->flags & kReadOnly) return;
    own->value = v;
    return;
  }
  // An inherited accessor handles the assignment with `this` as the receiver.
  Object* owner = nullptr;
  Property* inherited = findProperty(obj, name, &owner);
  if (inherited && inherited->isAccessor()) {
    runSetter(owner, *inherited, Value(obj), v);
    return;
  }
  obj->defineOwn(name, ci).value = v;
}

bool Vm::deleteMember(Object* obj, std::string_view name) {
  if (!obj) return false;
  bool ci = caseInsensitive();
  // A String object's length stays, whatever was written to it.
  if (obj->kind == ObjectKind::String && name == "length") return false;
  Property* p = obj->findOwn(name, ci);
  if (!p || (p->flags & kDontDelete)) return false;
  return obj->removeOwn(name, ci);
}

bool Vm::hasOwnProperty(Object* obj, std::string_view name) {
  if (!obj) return false;
  if ((obj->kind == ObjectKind::Array || obj->kind == ObjectKind::String) && name == "length")
    return true;
  return obj->findOwn(name, caseInsensitive()) != nullptr;
}

bool Vm::hasProperty(Object* obj, std::string_view name) {
  if (!obj) return false;
  if (findProperty(obj, name, nullptr)) return true;
  if (obj->kind == ObjectKind::Clip && obj->clip) {
    if (obj->clip->childByName(name, caseInsensitive())) return true;
    bool found = false;
    getClipProperty(obj, obj->clip, name, &found);
    return found;
  }
  return false;
}

std::vector<std::string> Vm::enumerableNames(Object* obj) {
  std::vector<std::string> out;
  bool ci = caseInsensitive();
  // Names already listed (a nearer object's member hides a farther one's), as views of
  // the members' own names, or of copies kept in `kept` (lowered when case is ignored).
  std::unordered_set<std::string_view> seen;
  std::deque<std::string> kept;
  auto firstTime = [&](std::string_view name) {
    if (ci) {
      std::string k(name);
      for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (seen.count(k)) return false;
      name = kept.emplace_back(std::move(k));
    } else if (seen.count(name)) {
      return false;
    }
    seen.insert(name);
    return true;
  };
  Object* o = obj;
  for (int depth = 0; o && depth < 256; ++depth) {
    auto& props = o->properties();
    // Newest first, as the player lists them.
    for (auto it = props.rbegin(); it != props.rend(); ++it) {
      if (it->deleted || it->hidden || !firstTime(it->name)) continue;
      if (!(it->flags & kDontEnum)) out.push_back(it->name);
    }
    if (depth == 0 && o->kind == ObjectKind::Clip && o->clip) {
      auto kids = o->clip->children();
      for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
        const std::string& n = kept.emplace_back((*it)->name());
        if (n.empty() || !firstTime(n)) continue;
        out.push_back(n);
      }
    }
    o = o->proto(ci);
  }
  return out;
}

bool Vm::instanceOf(Object* obj, Object* ctor) {
  if (!obj || !ctor) return false;
  Value protoV = getMember(ctor, "prototype");
  if (!protoV.isObject()) return false;
  Object* target = protoV.asObject();
  bool ci = caseInsensitive();
  Object* o = obj->proto(ci);
  for (int depth = 0; o && depth < 256; ++depth) {
    if (o == target) return true;
    int budget = 1024;  // interfaces may form a web; a hostile one is cut short
    if (implementsInterface(o, ctor, budget)) return true;
    o = o->proto(ci);
  }
  return false;
}

// Interfaces recorded by ImplementsOp on a prototype, and the interfaces those extend (an
// interface's own prototype records them the same way).
bool Vm::implementsInterface(Object* proto, Object* ctor, int& budget) {
  if (--budget < 0) return false;
  const bool ci = caseInsensitive();
  Property* impl = proto->findOwn("__implements__", ci);
  if (!impl || !impl->value.isObject()) return false;
  for (const Value& i : arrayElements(impl->value.asObject())) {
    if (!i.isObject()) continue;
    if (i.asObject() == ctor) return true;
    Value inner = getMember(i.asObject(), "prototype");
    if (inner.isObject() && inner.asObject() != proto &&
        implementsInterface(inner.asObject(), ctor, budget))
      return true;
  }
  return false;
}

// ---------------------------------------------------------------- calls

Value Vm::call(const Value& fn, const Value& thisValue, std::span<Value> args) {
  Frame* caller = std::exchange(stackCaller_, nullptr);
  if (!fn.isObject() || fn.asObject()->kind != ObjectKind::Function) return Value();
  auto* f = static_cast<FunctionObject*>(fn.asObject());
  if (nestedTooDeep()) throw ScriptAbort{"recursion too deep"};
  ++callDepth_;
  struct Guard {
    int& d;
    ~Guard() { --d; }
  } guard{callDepth_};
  if (f->body) {
    stackCaller_ = caller;
    return executeFunction(f, thisValue, args, nullptr);
  }
  if (f->native) {
    CallInfo ci{thisValue, args, f, false};
    return f->native(*this, ci);
  }
  return Value();
}

Value Vm::callMethod(const Value& obj, std::string_view name, std::span<Value> args) {
  Value fn = getMember(obj, name);
  return call(fn, obj, args);
}

Value Vm::construct(const Value& ctorV, std::span<Value> args) {
  stackCaller_ = nullptr;
  if (!ctorV.isObject() || ctorV.asObject()->kind != ObjectKind::Function) return Value();
  auto* ctor = static_cast<FunctionObject*>(ctorV.asObject());
  bool ci = caseInsensitive();
  if (nestedTooDeep()) throw ScriptAbort{"recursion too deep"};
  ++callDepth_;
  struct Guard {
    int& d;
    ~Guard() { --d; }
  } guard{callDepth_};
  if (ctor->native && ctor->constructsOwnObject) {
    CallInfo info{Value(), args, ctor, true};
    return ctor->native(*this, info);
  }
  Value protoV = getMember(ctor, "prototype");
  Object* obj = newObject(protoV.isObject() ? protoV.asObject() : objectProto);
  // A function without a prototype (a built-in method) makes an object with no
  // __proto__ at all; a prototype that is no object is linked all the same.
  if (protoV.isUndefined())
    obj->removeOwn("__proto__", ci);
  else if (!protoV.isObject())
    obj->put("__proto__", protoV, kDontEnum | kDontDelete, ci);
  obj->put(version_ >= 6 ? "__constructor__" : "constructor", ctor, kDontEnum, ci);
  if (version_ < 6) obj->findOwn("constructor", ci)->flags = kDontEnum;
  // SWF 6 also names the constructor of an object whose prototype cannot say it.
  if (version_ == 6 && protoV.isUndefined()) obj->put("constructor", ctor, kDontEnum, ci);
  if (ctor->body) {
    executeFunction(ctor, Value(obj), args, protoV.isObject() ? protoV.asObject() : nullptr);
  } else if (ctor->native) {
    CallInfo info{Value(obj), args, ctor, true};
    Value r = ctor->native(*this, info);
    if (r.isObject()) return r;
  }
  return Value(obj);
}

}  // namespace orv::movie::avm1
