// Vector.<T>: an array whose elements are coerced to T, indexed only within its length,
// fixed in length when asked. Vector.<T> is made from Vector by applytype, once per T.
#include <cmath>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxLength = 1 << 24;

VectorObject* self_(Machine& m, const Value& self) {
  return receiver<VectorObject>(m, self, "Vector");
}

Object* allocVector(Machine& m, ClassObject* cls) {
  auto* v = m.heap.make<VectorObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
  for (ClassObject* c = cls; c; c = c->base)
    if (c->isVector) {
      v->elementType = c->vectorElement;
      break;
    }
  return v;
}

Value defaultElement(const SlotInfo& type) {
  switch (type.type) {
    case SlotType::Int: return Value(int32_t(0));
    case SlotType::Uint: return Value(uint32_t(0));
    case SlotType::Number: return Value(std::nan(""));
    case SlotType::Boolean: return Value(false);
    case SlotType::Any: return Value();
    default: return Value::null();
  }
}

void resize(Machine& m, VectorObject* v, double length) {
  if (!(length >= 0 && length == std::floor(length) && length <= kMaxLength))
    m.fail(ErrorClass::RangeError, 1005, {numberToText(length)});
  v->elements.resize(static_cast<size_t>(length), defaultElement(v->elementType));
}

Value init(Machine& m, const Value& self, std::span<Value> args) {
  VectorObject* v = self_(m, self);
  resize(m, v, args.empty() ? 0 : m.toNumber(args[0]));
  v->fixed = args.size() > 1 && toBoolean(args[1]);
  return Value();
}

Value length(Machine& m, const Value& self, std::span<Value>) {
  return Value(static_cast<uint32_t>(self_(m, self)->elements.size()));
}

Value setLength(Machine& m, const Value& self, std::span<Value> args) {
  VectorObject* v = self_(m, self);
  if (v->fixed) m.fail(ErrorClass::RangeError, 1126);
  resize(m, v, m.toNumber(arg(args, 0)));
  return Value();
}

Value fixed(Machine& m, const Value& self, std::span<Value>) { return Value(self_(m, self)->fixed); }

Value setFixed(Machine& m, const Value& self, std::span<Value> args) {
  self_(m, self)->fixed = toBoolean(arg(args, 0));
  return Value();
}

Value push(Machine& m, const Value& self, std::span<Value> args) {
  VectorObject* v = self_(m, self);
  if (v->fixed) m.fail(ErrorClass::RangeError, 1126);
  for (const Value& a : args) v->elements.push_back(m.coerce(a, v->elementType));
  return Value(static_cast<uint32_t>(v->elements.size()));
}

Value unshift(Machine& m, const Value& self, std::span<Value> args) {
  VectorObject* v = self_(m, self);
  if (v->fixed) m.fail(ErrorClass::RangeError, 1126);
  std::vector<Value> front;
  for (const Value& a : args) front.push_back(m.coerce(a, v->elementType));
  v->elements.insert(v->elements.begin(), front.begin(), front.end());
  return Value(static_cast<uint32_t>(v->elements.size()));
}

Value popOrShift(Machine& m, const Value& self, bool front) {
  VectorObject* v = self_(m, self);
  if (v->fixed) m.fail(ErrorClass::RangeError, 1126);
  if (v->elements.empty()) {  // the numeric vectors give their default, others (Boolean too) undefined
    const SlotType t = v->elementType.type;
    bool numeric = t == SlotType::Int || t == SlotType::Uint || t == SlotType::Number;
    return numeric ? defaultElement(v->elementType) : Value();
  }
  Value r = front ? v->elements.front() : v->elements.back();
  if (front) v->elements.erase(v->elements.begin());
  else v->elements.pop_back();
  return r;
}

Value pop(Machine& m, const Value& self, std::span<Value>) { return popOrShift(m, self, false); }
Value shift(Machine& m, const Value& self, std::span<Value>) { return popOrShift(m, self, true); }

// Vector.<T>(array or vector): a new vector of the same elements, coerced.
Value convert(Machine& m, const Value& cls, std::span<Value> args) {
  Value from = arg(args, 0);
  auto* source = from.isObject() ? dynamic_cast<ArrayObject*>(from.asObject()) : nullptr;
  if (!source) m.fail(ErrorClass::TypeError, 1034, {m.className(from), m.toText(cls)});
  Value made = m.construct(cls, {});
  auto* v = static_cast<VectorObject*>(made.asObject());
  for (const Value& e : source->elements) v->elements.push_back(m.coerce(e, v->elementType));
  return made;
}

// The methods that make a new list make one of the receiver's own type: Array's method
// runs on the vector, its array result becomes a vector of the same element type.
Value viaArray(Machine& m, const Value& self, std::span<Value> args, const char* name) {
  const Value* fn = m.arrayClass->prototypeObject->findOwn(m.intern(name));
  return fn ? m.call(*fn, self, args) : Value();
}

Value sameType(Machine& m, VectorObject* v, const Value& result) {
  auto* a = result.isObject() ? dynamic_cast<ArrayObject*>(result.asObject()) : nullptr;
  if (!a) return result;
  Value made = m.construct(Value(static_cast<Object*>(v->klass())), {});
  auto* out = static_cast<VectorObject*>(made.asObject());
  for (const Value& e : a->elements) out->elements.push_back(m.coerce(e, out->elementType));
  return made;
}

template <int Which>
Value newList(Machine& m, const Value& self, std::span<Value> args) {
  static const char* const kNames[] = {"concat", "slice", "filter", "map"};
  VectorObject* v = self_(m, self);
  if (Which == 0) {
    // What a vector concatenates must be a vector of its own kind: of int, of uint, of
    // Number, or of objects (whose elements are then coerced one by one).
    auto kind = [](const VectorObject* x) {
      SlotType t = x->elementType.type;
      return t == SlotType::Int || t == SlotType::Uint || t == SlotType::Number ? t : SlotType::Any;
    };
    for (const Value& a : args) {
      auto* other = a.isObject() ? dynamic_cast<VectorObject*>(a.asObject()) : nullptr;
      if (!other || kind(other) != kind(v))
        m.fail(ErrorClass::TypeError, 1034, {m.className(a), m.className(self)});
    }
  }
  return sameType(m, v, viaArray(m, self, args, kNames[Which]));
}

Value splice(Machine& m, const Value& self, std::span<Value> args) {
  // A fixed vector's length changes too, as the player lets it.
  VectorObject* v = self_(m, self);
  Value removed = viaArray(m, self, args, "splice");
  for (Value& e : v->elements) e = m.coerce(e, v->elementType);
  return sameType(m, v, removed);
}

const NativeMember kVectorMembers[] = {
    {"length", MemberKind::Getter, length},
    {"length", MemberKind::Setter, setLength},
    {"fixed", MemberKind::Getter, fixed},
    {"fixed", MemberKind::Setter, setFixed},
    {"push", MemberKind::Method, push, 1},
    {"unshift", MemberKind::Method, unshift},
    {"pop", MemberKind::Method, pop},
    {"shift", MemberKind::Method, shift},
    {"concat", MemberKind::Method, newList<0>},
    {"slice", MemberKind::Method, newList<1>, 2},
    {"filter", MemberKind::Method, newList<2>, 1},
    {"map", MemberKind::Method, newList<3>, 1},
    {"splice", MemberKind::Method, splice, 2},
};

}  // namespace

ClassObject* Machine::applyType(ClassObject* generic, const Value& param) {
  if (!generic || !generic->isVector) fail(ErrorClass::TypeError, 1127);
  auto* type = param.isObject() ? dynamic_cast<ClassObject*>(param.asObject()) : nullptr;
  if (!param.isNullish() && !type) fail(ErrorClass::TypeError, 1127);
  if (vectorClasses_.count(type)) return vectorClasses_[type];
  // Vectors of objects, strings and booleans share one representation: each is a kind of
  // Vector.<*>, as a script may coerce it to one.
  bool specialised = type == intClass || type == uintClass || type == numberClass;
  ClassObject* base = type && !specialised ? applyType(generic, Value::null()) : generic;
  auto& cached = vectorClasses_[type];
  std::string inner = type ? std::string(type->name->view()) : "*";
  auto* cls = heap.make<ClassObject>(nullptr, classClass, classClass->prototypeObject);
  cls->simpleName = intern("Vector.<" + inner + ">");
  cls->name = cls->simpleName;
  cls->ns = generic->ns;
  cls->base = base;
  cls->instanceTraits = std::make_unique<Traits>(generic->instanceTraits.get());
  cls->instanceTraits->className = intern("__AS3__.vec.Vector.<" + inner + ">");
  cls->instanceTraits->dynamic = false;
  cls->classTraits = std::make_unique<Traits>(classClass->instanceTraits.get());
  cls->layOut(cls->classTraits.get());
  cls->prototypeObject = heap.make<Object>(nullptr, objectClass, generic->prototypeObject);
  cls->prototypeObject->setHidden(intern("constructor"), Value(static_cast<Object*>(cls)));
  cls->scope = generic->scope;
  cls->isVector = true;
  cls->isFinal = true;
  cls->callCode = convert;
  SlotInfo element;
  if (type == intClass) element.type = SlotType::Int;
  else if (type == uintClass) element.type = SlotType::Uint;
  else if (type == numberClass) element.type = SlotType::Number;
  else if (type == booleanClass) element.type = SlotType::Boolean;
  else if (type == stringClass) element.type = SlotType::String;
  else if (type == objectClass) element.type = SlotType::Object;
  else if (type) element = {SlotType::Class, type};
  cls->vectorElement = element;
  cached = cls;
  return cls;
}

void installVectorClass(Machine& m) {
  ClassObject* vector = installClass(m, {.package = "__AS3__.vec",
                                         .name = "Vector",
                                         .members = kVectorMembers,
                                         .init = init,
                                         .call = convert,
                                         .alloc = allocVector,
                                         .dynamic = false,
                                         .initLength = 2});
  vector->isVector = true;
  // The methods Vector shares with Array (join, indexOf, slice, sort...) are Array's.
  Object* arrayProto = m.arrayClass->prototypeObject;
  for (size_t i = 0; i < arrayProto->ownCount(); ++i) {
    String* name = arrayProto->ownNameAt(i);
    if (name && !vector->prototypeObject->findOwn(name) && name->view() != "constructor")
      vector->prototypeObject->setHidden(name, *arrayProto->findOwn(name));
  }
}

}  // namespace orv::movie::avm2
