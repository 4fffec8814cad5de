// Properties and calls: how a name finds a slot, a method, an accessor or a dynamic
// property of an object or a primitive, and how functions, methods and classes are
// called and constructed.
#include <cctype>
#include <cmath>
#include <optional>

#include "movie/avm2/conversions.h"
#include "movie/avm2/machine.h"
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

namespace {

// Arrays grow to hold an index at most this far past their end; farther indices become
// plain properties, so `a[4e9] = 1` costs no memory.
constexpr int64_t kMaxArrayGap = 1 << 20;
constexpr size_t kMaxPrototypeChain = 10000;

bool allowsDynamic(const Machine& m, const Name& n) {
  if (n.anyNamespace) return true;
  return n.matches(m.publicNs) || n.matches(m.as3Ns);
}

// A name a vector takes as a number ("3", "3.0", "-1", "5.1"): its element index, or -1
// for a number that is no index, which the vector refuses with a range error.
std::optional<int64_t> vectorIndex(const Machine& m, const Name& n) {
  if (n.index >= 0) return n.index;
  if (!n.name || !allowsDynamic(m, n)) return std::nullopt;
  std::string_view text = n.name->view();
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front())) ||
      std::isspace(static_cast<unsigned char>(text.back())))
    return std::nullopt;
  double d = stringToNumber(text);
  if (std::isnan(d)) return std::nullopt;
  if (d >= 0 && d < 4294967295.0 && d == std::floor(d)) return static_cast<int64_t>(d);
  return -1;
}

[[noreturn]] void vectorRange(Machine& m, const Name& n, size_t size) {
  m.fail(ErrorClass::RangeError, 1125, {m.nameText(n), std::to_string(size)});
}

// Restores the call depth however a call ends.
struct DepthGuard {
  int& depth;
  ~DepthGuard() { --depth; }
};

}  // namespace

std::string Machine::nameText(const Name& n) const {
  if (!n.name) return "*";
  std::string text(n.name->view());
  if (n.ns && n.ns->kind != NamespaceKind::Public && n.ns->kind != NamespaceKind::PackageInternal &&
      n.ns->kind != NamespaceKind::Private && n.ns->kind != NamespaceKind::Protected &&
      !n.ns->uri->view().empty())
    return std::string(n.ns->uri->view()) + "::" + text;
  return text;
}

namespace {

// What a name finds on an object or a primitive's class, short of calling a getter.
struct Found {
  enum Kind { None, Value_, Binding_ } kind = None;
  Value value;
  const Binding* binding = nullptr;
  const Traits* traits = nullptr;
};

Found lookup(Machine& m, const Value& obj, const Name& n) {
  Found f;
  Object* o = obj.isObject() ? obj.asObject() : nullptr;
  ClassObject* cls = o ? nullptr : m.classOf(obj);
  if (auto* v = o ? dynamic_cast<VectorObject*>(o) : nullptr) {
    if (std::optional<int64_t> index = vectorIndex(m, n)) {
      if (*index < 0 || *index >= static_cast<int64_t>(v->elements.size())) vectorRange(m, n, v->elements.size());
      f.kind = Found::Value_;
      f.value = v->elements[*index];
      return f;
    }
  }
  if (o && n.index >= 0) {
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      if (n.index < static_cast<int64_t>(a->elements.size()) && !a->elements[n.index].isHole()) {
        f.kind = Found::Value_;
        f.value = a->elements[n.index];
        return f;
      }
    }
  }
  const Traits* t = o ? o->traits() : (cls ? cls->instanceTraits.get() : nullptr);
  if (t) {
    if (const Binding* b = t->find(n)) {
      f.kind = Found::Binding_;
      f.binding = b;
      f.traits = t;
      return f;
    }
  }
  if (!n.name || !allowsDynamic(m, n)) return f;
  Object* start = o ? o : (cls ? cls->prototypeObject : nullptr);
  size_t steps = 0;
  for (Object* p = start; p && steps < kMaxPrototypeChain; p = p->prototype(), ++steps) {
    if (const Value* v = p->findOwn(n.name)) {
      f.kind = Found::Value_;
      f.value = *v;
      return f;
    }
  }
  return f;
}

void nullCheck(Machine& m, const Value& obj) {
  if (obj.isNull()) m.fail(ErrorClass::TypeError, 1009);
  if (obj.isUndefined()) m.fail(ErrorClass::TypeError, 1010);
}

Value invokeTrait(Machine& m, const TraitMethod& tm, const Value& self, std::span<Value> args) {
  return m.invoke(tm.method, self, args, tm.owner ? tm.owner->scope : nullptr, tm.owner);
}

// The class an error about a property names: a class private to a script is named with
// its script's namespace, "Test.as$38.SealedClass".
std::string holderName(Machine& m, const Value& obj) {
  ClassObject* c = obj.isObject() && !dynamic_cast<ClassObject*>(obj.asObject()) ? m.classOf(obj) : nullptr;
  if (c && c->ns && c->ns->kind == NamespaceKind::Private && c->ns->uri && !c->ns->uri->view().empty())
    return std::string(c->ns->uri->view()) + "." + std::string(c->simpleName->view());
  return m.className(obj);
}

HookedObject* hooked(const Value& obj) {
  return obj.isObject() && obj.asObject()->hooked() ? static_cast<HookedObject*>(obj.asObject())
                                                     : nullptr;
}

// XML and lists answer to names by their own rules.
bool isXml(const Machine& m, const Value& obj) {
  if (!obj.isObject()) return false;
  const ClassObject* c = obj.asObject()->klass();
  return c && (c == m.xmlClass || c == m.xmlListClass);
}

bool sealed(const Value& obj) {
  if (!obj.isObject()) return true;
  const Traits* t = obj.asObject()->traits();
  return t && !t->dynamic;
}

}  // namespace

Value Machine::getProperty(const Value& obj, const Name& n) {
  nullCheck(*this, obj);
  if (isXml(*this, obj)) return xmlGet(*this, obj.asObject(), n);
  if (HookedObject* h = hooked(obj)) {
    Value out;
    if (h->getHook(*this, n, out)) return out;
  }
  Found f = lookup(*this, obj, n);
  if (f.kind == Found::Value_) return f.value;
  if (f.kind == Found::Binding_) {
    const Binding& b = *f.binding;
    switch (b.kind) {
      case BindKind::Slot:
      case BindKind::Const:
        if (obj.isObject()) return obj.asObject()->slots()[b.index];
        return Value();
      case BindKind::Method:
        return Value(methodClosure(f.traits->methods[b.index], obj));
      case BindKind::Accessor:
        if (b.index == Binding::kNone)
          fail(ErrorClass::ReferenceError, 1077, {nameText(n), holderName(*this, obj)});
        return invokeTrait(*this, f.traits->methods[b.index], obj, {});
    }
  }
  // A name only in namespaces of scripts' own (an interface's among them) is #1081.
  if (sealed(obj) && n.name) {
    bool own = n.ns ? n.ns->kind == NamespaceKind::User : n.set && !n.set->empty();
    if (!n.ns && n.set)
      for (const Namespace* ns : *n.set) own = own && ns->kind == NamespaceKind::User;
    fail(ErrorClass::ReferenceError, own ? 1081 : 1069, {nameText(n), holderName(*this, obj)});
  }
  return Value();
}

namespace {

// The error of a write a sealed object refuses: a method its class's prototype holds
// cannot be replaced (#1037), anything else cannot be created (#1056).
[[noreturn]] void refuseWrite(Machine& m, const Value& obj, const Name& n) {
  Found f = lookup(m, obj, n);
  bool method = f.kind == Found::Value_ && f.value.isObject() &&
                dynamic_cast<FunctionObject*>(f.value.asObject());
  if (f.kind == Found::Binding_ && f.binding->kind == BindKind::Accessor)
    m.fail(ErrorClass::ReferenceError, 1074, {m.nameText(n), holderName(m, obj)});
  m.fail(ErrorClass::ReferenceError, method ? 1037 : 1056, {m.nameText(n), holderName(m, obj)});
}

}  // namespace

void Machine::setProperty(const Value& obj, const Name& n, Value v, bool init) {
  nullCheck(*this, obj);
  if (!obj.isObject()) refuseWrite(*this, obj, n);
  Object* o = obj.asObject();
  if (isXml(*this, obj)) return xmlPut(*this, o, n, v);
  if (HookedObject* h = hooked(obj); h && h->setHook(*this, n, v)) return;
  if (auto* vec = dynamic_cast<VectorObject*>(o)) {
    if (std::optional<int64_t> index = vectorIndex(*this, n)) {
      auto size = static_cast<int64_t>(vec->elements.size());
      if (*index < 0 || *index > size || (*index == size && vec->fixed)) vectorRange(*this, n, vec->elements.size());
      Value element = coerce(v, vec->elementType);
      if (*index == size) vec->elements.push_back(std::move(element));
      else vec->elements[*index] = std::move(element);
      return;
    }
  }
  if (n.index >= 0) {
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      auto size = static_cast<int64_t>(a->elements.size());
      if (v.isHole()) v = Value();
      if (n.index < size) {
        a->elements[n.index] = std::move(v);
        return;
      }
      if (n.index < size + kMaxArrayGap) {
        a->elements.resize(n.index + 1, Value::hole());
        a->elements[n.index] = std::move(v);
        return;
      }
    }
  }
  if (const Traits* t = o->traits()) {
    if (const Binding* b = t->find(n)) {
      switch (b->kind) {
        case BindKind::Const:
          if (!init) fail(ErrorClass::ReferenceError, 1074, {nameText(n), holderName(*this, obj)});
          [[fallthrough]];
        case BindKind::Slot:
          o->slots()[b->index] = coerce(v, t->slots[b->index]);
          return;
        case BindKind::Method:
          fail(ErrorClass::ReferenceError, 1037, {nameText(n), holderName(*this, obj)});
        case BindKind::Accessor: {
          if (b->setter == Binding::kNone)
            fail(ErrorClass::ReferenceError, 1074, {nameText(n), holderName(*this, obj)});
          Value arg[1] = {std::move(v)};
          invokeTrait(*this, t->methods[b->setter], obj, arg);
          return;
        }
      }
    }
    if (!t->dynamic) refuseWrite(*this, obj, n);
  }
  if (!n.name || !allowsDynamic(*this, n))
    fail(ErrorClass::ReferenceError, 1056, {nameText(n), holderName(*this, obj)});
  // A function holds an object as its prototype or none: null reads back as undefined.
  if (v.isNull() && n.name->view() == "prototype" && dynamic_cast<FunctionObject*>(o)) v = Value();
  o->setOwn(n.name, std::move(v));
}

bool Machine::deleteProperty(const Value& obj, const Name& n) {
  nullCheck(*this, obj);
  if (!obj.isObject()) {
    // A string's, number's or boolean's declared properties (a string's length) stay.
    ClassObject* c = classOf(obj);
    if (c && c->instanceTraits && n.name && c->instanceTraits->find(n))
      fail(ErrorClass::ReferenceError, 1120, {nameText(n), holderName(*this, obj)});
    return false;
  }
  Object* o = obj.asObject();
  if (isXml(*this, obj)) return xmlDelete(*this, o, n);
  if (HookedObject* h = hooked(obj)) {
    bool out = false;
    if (h->deleteHook(*this, n, out)) return out;
  }
  if (n.index >= 0) {
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      if (n.index < static_cast<int64_t>(a->elements.size())) {
        a->elements[n.index] = dynamic_cast<VectorObject*>(a) ? Value() : Value::hole();
        return true;
      }
    }
  }
  if (o->traits() && o->traits()->find(n)) return false;
  if (!n.name) return true;
  o->deleteOwn(n.name);
  return true;
}

bool Machine::hasProperty(const Value& obj, const Name& n) {
  nullCheck(*this, obj);
  if (isXml(*this, obj)) return xmlHas(*this, obj.asObject(), n);
  if (HookedObject* h = hooked(obj)) {
    bool out = false;
    if (h->hasHook(*this, n, out)) return out;
  }
  if (auto* v = obj.isObject() ? dynamic_cast<VectorObject*>(obj.asObject()) : nullptr)
    if (std::optional<int64_t> index = vectorIndex(*this, n))
      return *index >= 0 && *index < static_cast<int64_t>(v->elements.size());
  return lookup(*this, obj, n).kind != Found::None;
}

bool Machine::scopeHas(const ScopeEntry& scope, const Name& n) {
  // with (7) looks in the number's properties, its class's prototype among them.
  if (scope.isWith) return !scope.object.isNullish() && hasProperty(scope.object, n);
  if (!scope.object.isObject()) return false;
  Object* o = scope.object.asObject();
  if (o->traits() && o->traits()->find(n)) return true;
  if (!n.name || !allowsDynamic(*this, n)) return false;
  // Its prototypes' properties too: a class's code calls the methods native classes keep
  // on their prototypes (addEventListener) by their names alone.
  size_t steps = 0;
  for (Object* p = o; p && steps < kMaxPrototypeChain; p = p->prototype(), ++steps)
    if (p->findOwn(n.name)) return true;
  return false;
}

Value Machine::callProperty(const Value& obj, const Name& n, std::span<Value> args, bool lex) {
  nullCheck(*this, obj);
  if (isXml(*this, obj)) return xmlCall(*this, obj.asObject(), n, args);
  if (HookedObject* h = hooked(obj)) {
    Value out;
    if (h->callHook(*this, n, args, out)) return out;
  }
  Found f = lookup(*this, obj, n);
  Value fn;
  if (f.kind == Found::Binding_) {
    const Binding& b = *f.binding;
    if (b.kind == BindKind::Method) return invokeTrait(*this, f.traits->methods[b.index], obj, args);
    fn = getProperty(obj, n);
  } else if (f.kind == Found::Value_) {
    fn = std::move(f.value);
  } else if (obj.isObject() && obj.asObject()->traits() && !obj.asObject()->traits()->dynamic) {
    // A sealed object has no such property at all, which is a reference error.
    fail(ErrorClass::ReferenceError, 1069, {nameText(n), holderName(*this, obj)});
  }
  if (!fn.isObject()) fail(ErrorClass::TypeError, 1006, {nameText(n)});
  return call(fn, lex ? Value::null() : obj, args);
}

Value Machine::constructProperty(const Value& obj, const Name& n, std::span<Value> args) {
  Value ctor = getProperty(obj, n);
  if (!ctor.isObject()) fail(ErrorClass::TypeError, 1007);
  return construct(ctor, args);
}

Value Machine::call(const Value& fn, const Value& self, std::span<Value> args) {
  Object* o = fn.isObject() ? fn.asObject() : nullptr;
  if (auto* f = dynamic_cast<FunctionObject*>(o)) {
    enteringFunction = f;
    if (!f->bound && self.isNullish() && !f->method->native) {
      // A function called on nothing runs on the global object it was defined in.
      Value global = f->scope && !f->scope->empty() ? f->scope->front().object : Value(topLevel);
      return invoke(f->method, global, args, f->scope, f->owner);
    }
    return invoke(f->method, f->bound ? f->boundThis : self, args, f->scope, f->owner);
  }
  if (auto* c = dynamic_cast<ClassObject*>(o)) {
    if (c->callCode) return c->callCode(*this, Value(o), args);
    if (args.size() != 1) fail(ErrorClass::ArgumentError, 1112, {std::to_string(args.size())});
    SlotInfo type{SlotType::Class, c};
    return coerce(args[0], type);
  }
  fail(ErrorClass::TypeError, 1006, {"value"});
}

Value Machine::construct(const Value& ctor, std::span<Value> args) {
  Object* o = ctor.isObject() ? ctor.asObject() : nullptr;
  if (auto* c = dynamic_cast<ClassObject*>(o)) {
    // Interfaces, and Vector before it is given its element type, make no instances.
    if (c->isInterface || (c->isVector && c->simpleName && c->simpleName->view() == "Vector"))
      fail(ErrorClass::TypeError, 1007);
    if (c->constructCode) return c->constructCode(*this, ctor, args);
    Object* instance = allocate(c);
    runInitialiser(c, Value(instance), args);
    return Value(instance);
  }
  if (auto* f = dynamic_cast<FunctionObject*>(o)) {
    if (f->bound) fail(ErrorClass::TypeError, 1064, {f->method->name});
    Value proto = get(ctor, "prototype");
    Object* p = proto.isObject() ? proto.asObject() : nullptr;
    if (!p) {  // a function without a prototype object is given a new one
      p = newObject();
      f->setHidden(intern("prototype"), Value(p));
    }
    Object* instance = heap.make<Object>(objectClass->instanceTraits.get(), objectClass, p);
    Value r = invoke(f->method, Value(instance), args, f->scope, f->owner);
    return r.isObject() ? r : Value(instance);
  }
  fail(ErrorClass::TypeError, 1007);
}

void Machine::runInitialiser(ClassObject* cls, const Value& self, std::span<Value> args) {
  // Native classes without an initialiser of their own take their base class's.
  for (ClassObject* c = cls; c; c = c->base) {
    if (c->iinit) {
      invoke(c->iinit, self, args, c->scope, c);
      return;
    }
  }
}

Value Machine::invoke(Method* method, const Value& self, std::span<Value> args,
                      const ScopeRef& scope, ClassObject* owner) {
  if (depth >= maxDepth) fail(ErrorClass::Error, 1023);
  ++depth;
  DepthGuard guard{depth};
  if (method->native) {
    enteringFunction = nullptr;
    return method->native(*this, self, args);
  }
  return interpret(method, self, args, scope, owner);
}

}  // namespace orv::movie::avm2
