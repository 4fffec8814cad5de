// The machine's objects, conversions that call scripts, and types.
#include "movie/avm2/machine.h"

#include <cmath>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

Object::Object(const Traits* traits, ClassObject* klass, Object* proto)
    : proto_(proto), traits_(traits), klass_(klass) {
  if (traits) {
    slots_.reserve(traits->slots.size());
    for (const SlotInfo& s : traits->slots) slots_.push_back(s.initial);
  }
}

void Object::layOut(const Traits* traits) {
  traits_ = traits;
  slots_.clear();
  if (traits)
    for (const SlotInfo& s : traits->slots) slots_.push_back(s.initial);
}

int Method::length() const {
  if (native) return nativeLength;
  const abc::MethodInfo& info = unit->file->methods[index];
  return static_cast<int>(info.paramTypes.size());
}

void FunctionObject::markChildren(Marker& m) const {
  Object::markChildren(m);
  m.mark(boundThis);
  m.mark(static_cast<Object*>(owner));
  if (scope)
    for (const ScopeEntry& e : *scope) m.mark(e.object);
}

bool ClassObject::isSubclassOf(const ClassObject* other) const {
  for (const ClassObject* c = this; c; c = c->base)
    if (c == other) return true;
  return false;
}

bool ClassObject::implements(const ClassObject* iface) const {
  for (const ClassObject* c = this; c; c = c->base)
    for (const ClassObject* i : c->interfaces)
      if (i == iface) return true;
  return false;
}

void ClassObject::markChildren(Marker& m) const {
  Object::markChildren(m);
  m.mark(static_cast<Object*>(base));
  for (ClassObject* i : interfaces) m.mark(static_cast<Object*>(i));
  m.mark(prototypeObject);
  if (scope)
    for (const ScopeEntry& e : *scope) m.mark(e.object);
  for (const Traits* t : {instanceTraits.get(), classTraits.get()})
    if (t)
      for (const SlotInfo& s : t->slots) {
        m.mark(s.initial);
        m.mark(static_cast<Object*>(s.typeClass));
      }
}

void ArrayObject::markChildren(Marker& m) const {
  Object::markChildren(m);
  for (const Value& v : elements) m.mark(v);
}

Machine::Machine(Host* h) : host(h) {
  publicNs = namespaces.get(NamespaceKind::Public, intern(""));
  as3Ns = namespaces.get(NamespaceKind::Public, intern("http://adobe.com/AS3/2006/builtin"));
  bootstrap();
}

Machine::~Machine() = default;

void Machine::bootstrap() {
  // Object, Class and Function refer to each other; they are made by hand, then the top
  // level's tables fill them and everything else in.
  Object* objectProto = heap.make<Object>();
  objectClass = heap.make<ClassObject>();
  classClass = heap.make<ClassObject>();
  functionClass = heap.make<ClassObject>();
  for (ClassObject* c : {objectClass, classClass, functionClass}) {
    c->ns = publicNs;
    c->instanceTraits = std::make_unique<Traits>();
  }
  objectClass->name = objectClass->simpleName = intern("Object");
  classClass->name = classClass->simpleName = intern("Class");
  functionClass->name = functionClass->simpleName = intern("Function");
  objectClass->prototypeObject = objectProto;
  classClass->base = functionClass->base = objectClass;
  classClass->prototypeObject = heap.make<Object>(nullptr, nullptr, objectProto);
  // Function.prototype is itself a function, one that does nothing.
  auto* functionProto = heap.make<FunctionObject>(nullptr, nullptr, objectProto);
  functionProto->method =
      nativeMethod([](Machine&, const Value&, std::span<Value>) { return Value(); }, 0, "");
  functionClass->prototypeObject = functionProto;
  functionProto->setKlass(functionClass);  // `Function.prototype is Function`
  for (ClassObject* c : {objectClass, classClass, functionClass}) {
    c->instanceTraits->className = c->name;
    c->classTraits = std::make_unique<Traits>(classClass->instanceTraits.get());
    c->classTraits->className = c->name;
    c->setKlass(classClass);
    c->setPrototype(classClass->prototypeObject);
    c->prototypeObject->setHidden(intern("constructor"), Value(static_cast<Object*>(c)));
  }
  topLevel = heap.make<Object>(nullptr, nullptr, objectProto);
  topLevel->setKlass(objectClass);
  installTopLevel(*this);
}

Object* Machine::newObject() {
  Object* o = heap.make<Object>(objectClass->instanceTraits.get(), objectClass,
                                objectClass->prototypeObject);
  return o;
}

ArrayObject* Machine::newArray(std::vector<Value> elements) {
  auto* a =
      heap.make<ArrayObject>(arrayClass->instanceTraits.get(), arrayClass, arrayClass->prototypeObject);
  a->elements = std::move(elements);
  return a;
}

FunctionObject* Machine::newFunction(Method* method, ScopeRef scope, ClassObject* owner) {
  auto* f = heap.make<FunctionObject>(functionClass->instanceTraits.get(), functionClass,
                                      functionClass->prototypeObject);
  f->method = method;
  f->scope = std::move(scope);
  f->owner = owner;
  return f;
}

FunctionObject* Machine::methodClosure(const TraitMethod& tm, const Value& receiver) {
  const ClassObject* owner = tm.owner;
  FunctionObject* f = newFunction(tm.method, owner ? owner->scope : nullptr, tm.owner);
  f->boundThis = receiver;
  f->bound = true;
  return f;
}

Method* Machine::nativeMethod(NativeCode code, int length, std::string name) {
  auto m = std::make_unique<Method>();
  m->native = code;
  m->nativeLength = length;
  m->name = std::move(name);
  nativeMethods_.push_back(std::move(m));
  return nativeMethods_.back().get();
}

Object* Machine::allocate(ClassObject* cls) {
  for (ClassObject* c = cls; c; c = c->base)
    if (c->alloc) return c->alloc(*this, cls);
  return heap.make<Object>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

// ---- Conversions ----

Value Machine::toPrimitive(const Value& v, bool preferString) {
  if (!v.isObject()) return v;
  if (XMLObject* x = asXml(*this, v)) return Value(StringRef(xmlToString(*this, x)));
  if (XMLListObject* l = asXmlList(*this, v)) return Value(StringRef(listToString(*this, l)));
  const char* order[2] = {"valueOf", "toString"};
  if (preferString) std::swap(order[0], order[1]);
  for (const char* method : order) {
    const Name name = publicName(method);
    Value fn = getProperty(v, name);
    if (fn.isObject() && (dynamic_cast<FunctionObject*>(fn.asObject()) ||
                          dynamic_cast<ClassObject*>(fn.asObject()))) {
      Value r = call(fn, v, {});
      if (!r.isObject()) return r;
    } else if (!fn.isUndefined() || hasProperty(v, name)) {
      // The player calls what the object has under that name, whatever it is.
      fail(ErrorClass::TypeError, 1006, {method});
    }
  }
  fail(ErrorClass::TypeError, 1050, {className(v)});
}

double Machine::toNumber(const Value& v) {
  if (v.isObject()) return avm2::toNumber(toPrimitive(v));
  return avm2::toNumber(v);
}

StringRef Machine::toString(const Value& v) {
  if (v.isString()) return StringRef(v.asString());
  if (v.isNamespace()) return StringRef(v.asNamespace()->uri);
  if (v.isObject()) return toStringRef(toPrimitive(v, true));
  return toStringRef(v);
}

int32_t Machine::toInt(const Value& v) {
  if (v.isInt()) return v.asInt();
  return toInt32(toNumber(v));
}

uint32_t Machine::toUint(const Value& v) {
  if (v.isUint()) return v.asUint();
  return toUint32(toNumber(v));
}

namespace {

// ToPrimitive without a hint: strings for classes that ask for them (Date), numbers else.
bool prefersString(const Value& v) {
  if (!v.isObject()) return false;
  for (const ClassObject* c = v.asObject()->klass(); c; c = c->base)
    if (c->prefersString) return true;
  return false;
}

}  // namespace

Value Machine::add(const Value& a, const Value& b) {
  if (a.isString() && b.isPrimitive() && !b.isNamespace()) {
    std::string text = b.isString() ? std::string() : avm2::toText(b);
    std::string_view tail = b.isString() ? b.asString()->view() : std::string_view(text);
    // Strings are bounded so that a script doubling one cannot take all memory.
    constexpr size_t kMaxStringBytes = size_t(1) << 28;
    if (a.asString()->size() + tail.size() > kMaxStringBytes) fail(ErrorClass::Error, 1000);
    return Value(StringRef::adopt(String::concat(a.asString(), tail)));
  }
  if (a.isPrimitive() && b.isPrimitive() && !a.isNamespace() && !b.isNamespace())
    return avm2::add(a, b);
  if (isXmlValue(*this, a) && isXmlValue(*this, b)) return xmlAdd(*this, a, b);
  Value pa = a.isNamespace() ? Value(a.asNamespace()->uri) : toPrimitive(a, prefersString(a));
  Value pb = b.isNamespace() ? Value(b.asNamespace()->uri) : toPrimitive(b, prefersString(b));
  return avm2::add(pa, pb);
}

bool Machine::looseEquals(const Value& a, const Value& b) {
  if ((a.isObject() || b.isObject()) &&
      (isXmlValue(*this, a) || isXmlValue(*this, b) || isQName(*this, a) || isQName(*this, b)))
    return xmlLooseEquals(*this, a, b);
  if (a.isObject() && b.isObject()) return a.asObject() == b.asObject();
  if (a.isNamespace() || b.isNamespace()) {
    if (a.isNamespace() && b.isNamespace()) return a.asNamespace()->uri == b.asNamespace()->uri;
    if (a.isNullish() || b.isNullish()) return false;
    return toText(a) == toText(b);
  }
  if (a.isObject() && !b.isNullish()) return avm2::looseEquals(toPrimitive(a, prefersString(a)), b);
  if (b.isObject() && !a.isNullish()) return avm2::looseEquals(a, toPrimitive(b, prefersString(b)));
  return avm2::looseEquals(a, b);
}

String* Machine::typeOf(const Value& v) {
  if (v.isObject()) {
    Object* o = v.asObject();
    if (dynamic_cast<FunctionObject*>(o)) return intern("function");
    if (o->klass() && (o->klass() == xmlClass || o->klass() == xmlListClass)) return intern("xml");
    return intern("object");
  }
  return intern(typeofPrimitive(v));
}

// ---- Types ----

ClassObject* Machine::classOf(const Value& v) {
  switch (v.kind()) {
    case ValueKind::Boolean:
      return booleanClass;
    case ValueKind::Int:
      return intClass;
    case ValueKind::Uint:
      return v.asUint() <= INT32_MAX ? intClass : uintClass;
    case ValueKind::Number: {
      double d = v.asDouble();
      if (d == std::floor(d) && d >= INT32_MIN && d <= INT32_MAX && !(d == 0 && std::signbit(d)))
        return intClass;
      if (d == std::floor(d) && d >= 0 && d <= UINT32_MAX) return uintClass;
      return numberClass;
    }
    case ValueKind::String:
      return stringClass;
    case ValueKind::Namespace:
      return namespaceClass;
    case ValueKind::Object: {
      Object* o = v.asObject();
      if (o->klass()) return o->klass();
      if (dynamic_cast<ClassObject*>(o)) return classClass;
      return objectClass;
    }
    default:
      return nullptr;
  }
}

bool Machine::isInstance(const Value& v, const ClassObject* cls) {
  if (!cls || v.isNullish()) return false;
  if (cls == objectClass) return true;
  if (v.isNumeric()) {
    if (cls == numberClass) return true;
    double d = v.numeric();
    bool integral = d == std::floor(d) && !(d == 0 && std::signbit(d));
    if (cls == intClass) return integral && d >= INT32_MIN && d <= INT32_MAX;
    if (cls == uintClass) return integral && d >= 0 && d <= UINT32_MAX;
    return false;
  }
  ClassObject* c = classOf(v);
  return c && (c->isSubclassOf(cls) || (cls->isInterface && c->implements(cls)));
}

Value Machine::coerce(const Value& v, const SlotInfo& type) {
  switch (type.type) {
    case SlotType::Any:
      return v;
    case SlotType::Object:
      return v.isUndefined() ? Value::null() : v;
    case SlotType::Int:
      return Value(toInt(v));
    case SlotType::Uint:
      return Value(toUint(v));
    case SlotType::Number:
      return v.isNumeric() ? v : Value(toNumber(v));
    case SlotType::Boolean:
      return Value(toBoolean(v));
    case SlotType::String:
      if (v.isNullish()) return Value::null();
      return Value(toString(v));
    case SlotType::Class:
      if (v.isNullish()) return Value::null();
      if (isInstance(v, type.typeClass)) return v;
      fail(ErrorClass::TypeError, 1034,
           {className(v), type.typeClass ? std::string(type.typeClass->name->view()) : "*"});
  }
  return v;
}

std::string Machine::className(const Value& v) {
  if (v.isNull()) return "null";
  if (v.isUndefined()) return "undefined";
  ClassObject* c = classOf(v);
  if (v.isObject()) {
    if (auto* cls = dynamic_cast<ClassObject*>(v.asObject()))
      return cls->name ? std::string(cls->name->view()) + "$" : "Class";
  }
  return c && c->name ? std::string(c->name->view()) : "Object";
}

ClassObject* Machine::resolveType(AbcUnit& unit, uint32_t multiname) {
  if (multiname == 0 || multiname >= unit.multinames.size()) return nullptr;
  const abc::Multiname& mn = unit.file->pool.multinames[multiname];
  if (mn.kind == abc::MultinameKind::TypeName) {
    ClassObject* generic = resolveType(unit, mn.typeName);
    uint32_t param = mn.typeParams.empty() ? 0 : mn.typeParams[0];
    ClassObject* type = param ? resolveType(unit, param) : nullptr;
    return applyType(generic, type ? Value(static_cast<Object*>(type)) : Value::null());
  }
  const Name& n = unit.multinames[multiname];
  if (!n.name) return nullptr;
  Object* holder = findDefinition(n, unit.domain);
  if (!holder) fail(ErrorClass::ReferenceError, 1065, {nameText(n)});
  Value v = getProperty(Value(holder), n);
  if (!v.isObject()) return nullptr;
  return dynamic_cast<ClassObject*>(v.asObject());
}

namespace {
bool mnKindIsPlainName(AbcUnit& unit, uint32_t multiname) {
  return unit.file->pool.multinames[multiname].kind != abc::MultinameKind::TypeName;
}
}  // namespace

SlotInfo Machine::slotTypeFor(AbcUnit& unit, uint32_t multiname) {
  SlotInfo s;
  if (multiname == 0 || multiname >= unit.multinames.size()) return s;
  const Name& n = unit.multinames[multiname];
  if (n.name && n.matches(publicNs)) {
    std::string_view t = n.name->view();
    if (t == "int") s.type = SlotType::Int;
    else if (t == "uint") s.type = SlotType::Uint;
    else if (t == "Number") s.type = SlotType::Number;
    else if (t == "Boolean") s.type = SlotType::Boolean;
    else if (t == "String") s.type = SlotType::String;
    else if (t == "Object") s.type = SlotType::Object;
    else if (t == "void") s.type = SlotType::Any;
    if (s.type != SlotType::Any || t == "void") return s;
  }
  // Classes of other scripts may not be defined yet: a slot whose class cannot be found
  // takes any value rather than failing the definition that declares it. Declaring a slot
  // does not run the script of its class (that script may need the class declaring it).
  if (mnKindIsPlainName(unit, multiname) && definitionNotRun(n)) {
    s.initial = Value::null();
    return s;
  }
  try {
    ClassObject* c = resolveType(unit, multiname);
    if (c) {
      s.type = SlotType::Class;
      s.typeClass = c;
      s.initial = Value::null();
    }
  } catch (ScriptThrow&) {
  }
  return s;
}

Name Machine::publicName(String* name) const {
  Name n;
  n.name = name;
  n.ns = publicNs;
  n.index = arrayIndexOf(name->view());
  return n;
}

size_t Machine::collect() {
  enteringFunction = nullptr;
  return heap.collect([&](Marker& m) {
    m.mark(topLevel);
    if (domainMemory) m.mark(domainMemory);
    for (ClassObject* c : {objectClass, classClass, functionClass}) m.mark(c);
    for (auto& u : units_) {
      for (Object* g : u->scriptGlobals) m.mark(g);
      for (ClassObject* c : u->classes) m.mark(c);
    }
    for (const auto& [type, cls] : vectorClasses_) m.mark(static_cast<Object*>(cls));
    for (const std::vector<Value>* r : frameRoots)
      for (const Value& v : *r) m.mark(v);
    for (const auto& s : packageStates) s->markRoots(m);
  });
}

}  // namespace orv::movie::avm2
