// The installer of the top level's tables, and Object, Class, Function, Namespace and
// Boolean.
#include "movie/avm2/toplevel.h"

#include "movie/flash/packages.h"

#include "movie/avm2/conversions.h"
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

namespace {

FunctionObject* nativeFunction(Machine& m, const NativeMember& row) {
  Method* method = m.nativeMethod(row.code, row.length, row.name);
  return m.newFunction(method, nullptr, nullptr);
}

void bindAccessor(Machine& m, Traits& t, ClassObject* owner, const NativeMember& row, bool getter) {
  String* name = m.intern(row.name);
  uint32_t index = t.addMethod({m.nativeMethod(row.code, row.length, row.name), owner});
  const Binding* old = t.find(name, m.publicNs);
  Binding b{BindKind::Accessor};
  if (old && old->kind == BindKind::Accessor) b = *old;
  (getter ? b.index : b.setter) = index;
  t.bind(name, m.publicNs, b);
}

}  // namespace

ClassObject* installClass(Machine& m, const NativeClass& c) {
  ClassObject* base = c.base ? m.findClass(c.base) : nullptr;
  ClassObject* cls = m.defineClass(c.package, c.name, base, c.dynamic, c.isFinal);
  cls->alloc = c.alloc;
  cls->callCode = c.call;
  cls->constructCode = c.construct;
  if (c.init) cls->iinit = m.nativeMethod(c.init, c.initLength, c.name);
  Traits& statics = *cls->classTraits;
  for (const NativeMember& row : c.members) {
    String* name = m.intern(row.name);
    switch (row.kind) {
      case MemberKind::Method:
        cls->prototypeObject->setHidden(name, Value(static_cast<Object*>(nativeFunction(m, row))));
        break;
      case MemberKind::Getter:
      case MemberKind::Setter:
        bindAccessor(m, *cls->instanceTraits, cls, row, row.kind == MemberKind::Getter);
        break;
      case MemberKind::FinalMethod: {
        Traits& t = *cls->instanceTraits;
        uint32_t index = t.addMethod({m.nativeMethod(row.code, row.length, row.name), cls});
        t.bind(name, m.publicNs, {BindKind::Method, index});
        break;
      }
      case MemberKind::StaticMethod: {
        uint32_t index =
            statics.addMethod({m.nativeMethod(row.code, row.length, row.name), cls});
        statics.bind(name, m.publicNs, {BindKind::Method, index});
        break;
      }
      case MemberKind::StaticGetter:
      case MemberKind::StaticSetter:
        bindAccessor(m, statics, cls, row, row.kind == MemberKind::StaticGetter);
        break;
      case MemberKind::Constant: {
        SlotInfo s;
        s.name = name;
        s.initial = row.text ? Value(StringRef(row.text)) : Value::number(row.number);
        uint32_t slot = statics.addSlot(std::move(s), 0);
        statics.bind(name, m.publicNs, {BindKind::Const, slot});
        break;
      }
      case MemberKind::Slot: {
        SlotInfo s;
        s.name = name;
        uint32_t slot = cls->instanceTraits->addSlot(std::move(s), 0);
        cls->instanceTraits->bind(name, m.publicNs, {BindKind::Slot, slot});
        break;
      }
    }
  }
  cls->layOut(&statics);
  return cls;
}

void installGlobals(Machine& m, const char* package, std::span<const NativeMember> members) {
  const Namespace* ns = m.namespaces.get(NamespaceKind::Public, m.intern(package));
  for (const NativeMember& row : members) {
    Value v;
    if (row.kind == MemberKind::Constant)
      v = row.text ? Value(StringRef(row.text)) : Value::number(row.number);
    else
      v = Value(static_cast<Object*>(nativeFunction(m, row)));
    m.defineGlobal(m.intern(row.name), ns, std::move(v));
  }
}

void installTopLevel(Machine& m) {
  installObjectClasses(m);
  installNumberClasses(m);
  installStringClass(m);
  installArrayClass(m);
  installMathClass(m);
  installErrorClasses(m);
  installRegExpClass(m);
  installDateClass(m);
  installVectorClass(m);
  installJsonClass(m);
  installXmlClasses(m);
  installGlobalFunctions(m);
  installUtilityFunctions(m);
  installFlashPackages(m);
}

// ---- Object ----

namespace {

Value objectToString(Machine& m, const Value& self, std::span<Value>) {
  if (self.isObject()) {
    if (auto* c = dynamic_cast<ClassObject*>(self.asObject()))
      return Value(StringRef("[class " + std::string(c->simpleName->view()) + "]"));
    // A function is an object of class Function with the number of its method.
    if (auto* f = dynamic_cast<FunctionObject*>(self.asObject()))
      return Value(StringRef("[object Function-" + std::to_string(f->method ? f->method->index : 0) + "]"));
  }
  ClassObject* c = m.classOf(self);
  std::string name = c && c->simpleName ? std::string(c->simpleName->view()) : "Object";
  if (self.isObject() && !self.asObject()->klass() && self.asObject()->traits() &&
      self.asObject()->traits()->className)
    name = std::string(self.asObject()->traits()->className->view());
  return Value(StringRef("[object " + name + "]"));
}

Value objectValueOf(Machine&, const Value& self, std::span<Value>) { return self; }

Value hasOwnProperty(Machine& m, const Value& self, std::span<Value> args) {
  if (self.isNullish()) return Value(false);
  Name n = m.publicName(m.intern(m.toString(arg(args, 0)).view()));
  if (!self.isObject()) {
    ClassObject* c = m.classOf(self);
    return Value(c && c->instanceTraits->find(n) != nullptr);
  }
  Object* o = self.asObject();
  if (n.index >= 0)
    if (auto* a = dynamic_cast<ArrayObject*>(o))
      if (n.index < static_cast<int64_t>(a->elements.size()) && !a->elements[n.index].isHole())
        return Value(true);
  if (o->traits() && o->traits()->find(n)) return Value(true);
  return Value(o->findOwn(n.name) != nullptr);
}

Value propertyIsEnumerable(Machine& m, const Value& self, std::span<Value> args) {
  if (!self.isObject()) return Value(false);
  String* name = m.intern(m.toString(arg(args, 0)).view());
  Object* o = self.asObject();
  int64_t index = arrayIndexOf(name->view());
  if (index >= 0)
    if (auto* a = dynamic_cast<ArrayObject*>(o))
      if (index < static_cast<int64_t>(a->elements.size()) && !a->elements[index].isHole())
        return Value(true);
  return Value(o->isEnumerable(name));
}

Value setPropertyIsEnumerable(Machine& m, const Value& self, std::span<Value> args) {
  if (self.isObject() && self.asObject()->hooked() &&
      !static_cast<HookedObject*>(self.asObject())->keepsEnumerability())
    return Value();
  if (self.isObject())
    self.asObject()->setEnumerable(m.intern(m.toString(arg(args, 0)).view()),
                                   toBoolean(arg(args, 1)));
  return Value();
}

Value isPrototypeOf(Machine& m, const Value& self, std::span<Value> args) {
  Value v = arg(args, 0);
  if (!self.isObject() || v.isNullish()) return Value(false);
  // A string, number or boolean has its class's prototype chain.
  ClassObject* c = v.isObject() ? nullptr : m.classOf(v);
  Object* first = v.isObject() ? v.asObject()->prototype() : c ? c->prototypeObject : nullptr;
  size_t steps = 0;
  for (Object* p = first; p && steps < 10000; p = p->prototype(), ++steps)
    if (p == self.asObject()) return Value(true);
  return Value(false);
}

Value objectCall(Machine& m, const Value&, std::span<Value> args) {
  Value v = arg(args, 0);
  if (v.isNullish()) return Value(m.newObject());
  return v;
}

const NativeMember kObjectMembers[] = {
    {"hasOwnProperty", MemberKind::Method, hasOwnProperty, 1},
    {"propertyIsEnumerable", MemberKind::Method, propertyIsEnumerable, 1},
    {"setPropertyIsEnumerable", MemberKind::Method, setPropertyIsEnumerable, 2},
    {"isPrototypeOf", MemberKind::Method, isPrototypeOf, 1},
    {"toString", MemberKind::Method, objectToString},
    {"toLocaleString", MemberKind::Method, objectToString},
    {"valueOf", MemberKind::Method, objectValueOf},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

// ---- Class and Function ----

Value classPrototype(Machine&, const Value& self, std::span<Value>) {
  auto* c = self.isObject() ? dynamic_cast<ClassObject*>(self.asObject()) : nullptr;
  return c ? Value(c->prototypeObject) : Value();
}

const NativeMember kClassMembers[] = {
    {"prototype", MemberKind::Getter, classPrototype},
};

Value functionLength(Machine&, const Value& self, std::span<Value>) {
  auto* f = self.isObject() ? dynamic_cast<FunctionObject*>(self.asObject()) : nullptr;
  return Value(int32_t(f ? f->method->length() : 0));
}

Value functionCall(Machine& m, const Value& self, std::span<Value> args) {
  Value thisArg = arg(args, 0);
  return m.call(self, thisArg, args.empty() ? args : args.subspan(1));
}

Value functionApply(Machine& m, const Value& self, std::span<Value> args) {
  Value thisArg = arg(args, 0);
  Value list = arg(args, 1);
  std::vector<Value> callArgs;
  if (!list.isNullish()) {
    auto* a = list.isObject() ? dynamic_cast<ArrayObject*>(list.asObject()) : nullptr;
    if (!a) m.fail(ErrorClass::TypeError, 1116);
    callArgs = a->elements;
    // A hole reads through the prototype chain, as a[i] would.
    for (size_t i = 0; i < callArgs.size(); ++i)
      if (callArgs[i].isHole())
        callArgs[i] = m.getProperty(list, m.publicName(m.indexName(static_cast<uint32_t>(i))));
  }
  return m.call(self, thisArg, callArgs);
}

Value functionToString(Machine&, const Value&, std::span<Value>) {
  return Value(StringRef("function Function() {}"));
}

Value emptyFunction(Machine&, const Value&, std::span<Value>) { return Value(); }

Value functionCallAsFunction(Machine& m, const Value&, std::span<Value> args) {
  if (!args.empty()) m.fail(ErrorClass::EvalError, 1066);
  // An empty function with a prototype of its own, as a function literal has.
  FunctionObject* f = m.newFunction(m.nativeMethod(emptyFunction, 0, ""), nullptr, nullptr);
  Object* proto = m.newObject();
  proto->setHidden(m.intern("constructor"), Value(static_cast<Object*>(f)));
  f->setHidden(m.intern("prototype"), Value(proto));
  return Value(static_cast<Object*>(f));
}

const NativeMember kFunctionMembers[] = {
    {"length", MemberKind::Getter, functionLength},
    {"call", MemberKind::Method, functionCall, 1},
    {"apply", MemberKind::Method, functionApply, 2},
    {"toString", MemberKind::Method, functionToString},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

// ---- Namespace and Boolean ----

Value namespaceUri(Machine&, const Value& self, std::span<Value>) {
  return self.isNamespace() ? Value(self.asNamespace()->uri) : Value();
}

Value namespaceToString(Machine& m, const Value& self, std::span<Value>) {
  if (!self.isNamespace()) m.fail(ErrorClass::TypeError, 1004, {"Namespace.prototype.toString"});
  return Value(self.asNamespace()->uri);
}

const NativeMember kNamespaceMembers[] = {
    {"uri", MemberKind::Getter, namespaceUri},
    {"prefix", MemberKind::Getter, namespacePrefix},
    {"toString", MemberKind::Method, namespaceToString},
    {"valueOf", MemberKind::Method, namespaceToString},
};

Value booleanMake(Machine&, const Value&, std::span<Value> args) {
  return Value(toBoolean(arg(args, 0)));
}

// Boolean.prototype stands for false.
bool thisBoolean(Machine& m, const Value& self, const char* method) {
  if (self.isBool()) return self.asBool();
  if (self.isObject() && m.booleanClass && self.asObject() == m.booleanClass->prototypeObject)
    return false;
  m.fail(ErrorClass::TypeError, 1004, {method});
}

Value booleanToString(Machine& m, const Value& self, std::span<Value>) {
  return Value(m.intern(thisBoolean(m, self, "Boolean.prototype.toString") ? "true" : "false"));
}

Value booleanValueOf(Machine& m, const Value& self, std::span<Value>) {
  return Value(thisBoolean(m, self, "Boolean.prototype.valueOf"));
}

const NativeMember kBooleanMembers[] = {
    {"toString", MemberKind::Method, booleanToString},
    {"valueOf", MemberKind::Method, booleanValueOf},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

}  // namespace

void installObjectClasses(Machine& m) {
  installClass(m, {.name = "Class", .base = "Object", .members = kClassMembers, .isFinal = true});
  // The three made before the tables take their class traits again now Class has them.
  for (ClassObject* c : {m.objectClass, m.classClass, m.functionClass}) {
    c->classTraits = std::make_unique<Traits>(m.classClass->instanceTraits.get());
    c->classTraits->className = c->name;
    c->layOut(c->classTraits.get());
  }
  installClass(m, {.name = "Object",
                   .base = nullptr,
                   .members = kObjectMembers,
                   .call = objectCall,
                   .construct = objectCall});
  m.objectClass->base = nullptr;
  installClass(m, {.name = "Function",
                   .members = kFunctionMembers,
                   .call = functionCallAsFunction,
                   .construct = functionCallAsFunction});
  m.namespaceClass = installClass(m, {.name = "Namespace",
                                      .members = kNamespaceMembers,
                                      .call = namespaceMake,
                                      .construct = namespaceMake,
                                      .dynamic = false,
                                      .isFinal = true});
  m.booleanClass = installClass(m, {.name = "Boolean",
                                    .members = kBooleanMembers,
                                    .call = booleanMake,
                                    .construct = booleanMake,
                                    .dynamic = false,
                                    .isFinal = true});
}

}  // namespace orv::movie::avm2
