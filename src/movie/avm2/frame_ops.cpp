// The instructions of names, scopes, objects, classes, calls and types.
#include <cmath>

#include "movie/avm2/conversions.h"
#include "movie/avm2/frame.h"
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

Name Frame::name(uint32_t index) {
  const abc::Multiname& mn = unit_.file->pool.multinames[index];
  Name n = unit_.multinames[index];
  if (mn.runtimeName()) {
    Value v = pop();
    bool qname = xmlNameFromValue(m_, v, n);
    if (qname) {
      n.attribute = n.attribute || mn.isAttribute();
    } else if (v.isInt() && v.asInt() >= 0) {
      n.index = v.asInt();
    } else if (v.isUint()) {
      n.index = v.asUint();
    } else if (v.kind() == ValueKind::Number && v.asDouble() >= 0 && v.asDouble() < 4294967295.0 &&
               v.asDouble() == std::floor(v.asDouble())) {
      n.index = static_cast<int64_t>(v.asDouble());
    }
    if (v.isObject() && !qname) n.key = v.asObject();
    if (qname) {
    } else if (n.index >= 0) {
      n.name = m_.indexName(static_cast<uint32_t>(n.index));
    } else {
      n.name = m_.intern(m_.toString(v).view());
      n.index = arrayIndexOf(n.name->view());
    }
  }
  if (mn.runtimeNamespace()) {
    Value ns = pop();
    if (!ns.isNamespace()) m_.fail(ErrorClass::TypeError, 1080);
    n.ns = ns.asNamespace();
    if (n.ns->prefix) n.ns = m_.namespaces.get(NamespaceKind::User, n.ns->uri);
    n.set = nullptr;
    n.anyNamespace = false;
  }
  return n;
}

std::string Frame::xmlEscape(const Value& v, bool attribute) {
  if (!attribute) {
    if (XMLObject* x = asXml(m_, v)) return xmlToXmlString(m_, x);
    if (XMLListObject* l = asXmlList(m_, v)) return listToXmlString(m_, l);
  }
  return m_.escapeXml(m_.toText(v), attribute);
}

Value Frame::globalObject() {
  if (outer_ && !outer_->empty()) return outer_->front().object;
  if (!scopes_.empty()) return scopes_.front().object;
  return Value(m_.topLevel);
}

Value Frame::find(const Name& n, bool strict) {
  for (size_t i = scopes_.size(); i-- > 0;)
    if (m_.scopeHas(scopes_[i], n)) return scopes_[i].object;
  if (outer_)
    for (size_t i = outer_->size(); i-- > 0;)
      if (m_.scopeHas((*outer_)[i], n)) return (*outer_)[i].object;
  if (Object* holder = m_.findDefinition(n)) return Value(holder);
  if (strict) m_.fail(ErrorClass::ReferenceError, 1065, {m_.nameText(n)});
  return globalObject();
}

Value& Frame::slot(const Value& obj, uint32_t id) {
  if (!obj.isObject()) {
    if (obj.isNullish()) m_.fail(ErrorClass::TypeError, obj.isNull() ? 1009 : 1010);
    m_.fail(ErrorClass::VerifyError, 1026, {std::to_string(id), "0", m_.className(obj)});
  }
  std::vector<Value>& slots = obj.asObject()->slots();
  if (id == 0 || id > slots.size())
    m_.fail(ErrorClass::VerifyError, 1026,
            {std::to_string(id), std::to_string(slots.size()), m_.className(obj)});
  return slots[id - 1];
}

ScopeRef Frame::captureScope() {
  auto chain = std::make_shared<ScopeChain>();
  if (outer_) *chain = *outer_;
  chain->insert(chain->end(), scopes_.begin(), scopes_.end());
  return chain;
}

void Frame::callProperty(const Instruction& in) {
  std::vector<Value> args(in.b);
  for (size_t i = in.b; i-- > 0;) args[i] = pop();
  Name n = name(in.a);
  Value obj = pop();
  Value r = m_.callProperty(obj, n, args, in.op == Op::callproplex);
  if (in.op != Op::callpropvoid) stack_.push_back(std::move(r));
}

Object* Frame::activation() {
  if (!method_->activation) {
    auto t = std::make_unique<Traits>();
    t->className = m_.intern("activation");
    m_.addActivationTraits(unit_, body_.traits, *t);
    method_->activation = std::move(t);
  }
  return m_.heap.make<ActivationObject>(method_->activation.get(), nullptr, nullptr);
}

Object* Frame::catchScope(uint32_t handler) {
  auto& traits = method_->catchTraits;
  if (traits.size() < code_.handlers.size()) traits.resize(code_.handlers.size());
  if (handler >= traits.size())
    m_.fail(ErrorClass::VerifyError, 1001, {"newcatch"});
  if (!traits[handler]) {
    auto t = std::make_unique<Traits>();
    t->className = m_.intern("catch");
    t->dynamic = false;  // holds its variable and nothing else
    uint32_t varName = code_.handlers[handler].varName;
    const Name& n = unit_.multinames[varName];
    if (n.name) {
      SlotInfo s;
      s.name = n.name;
      uint32_t slot = t->addSlot(std::move(s), 1);
      t->bind(n.name, n.ns ? n.ns : m_.publicNs, {BindKind::Slot, slot});
    }
    traits[handler] = std::move(t);
  }
  return m_.heap.make<ActivationObject>(traits[handler].get(), nullptr, nullptr);
}

uint32_t Frame::other(const Instruction& in, uint32_t pc) {
  switch (in.op) {
    case Op::negate: stack_.back() = Value(-number(stack_.back())); break;
    case Op::negate_i: stack_.back() = Value(int32_t(0u - m_.toUint(stack_.back()))); break;
    case Op::increment: stack_.back() = Value(number(stack_.back()) + 1); break;
    case Op::decrement: stack_.back() = Value(number(stack_.back()) - 1); break;
    case Op::increment_i: stack_.back() = Value(int32_t(m_.toUint(stack_.back()) + 1)); break;
    case Op::decrement_i: stack_.back() = Value(int32_t(m_.toUint(stack_.back()) - 1)); break;
    case Op::bitnot: stack_.back() = Value(~m_.toInt(stack_.back())); break;
    case Op::not_: stack_.back() = Value(!toBoolean(stack_.back())); break;
    case Op::typeof_: stack_.back() = Value(m_.typeOf(stack_.back())); break;
    case Op::convert_u: case Op::coerce_u: stack_.back() = Value(m_.toUint(stack_.back())); break;
    case Op::convert_d: case Op::coerce_d:
      stack_.back() = Value(number(stack_.back()));
      break;
    case Op::convert_b: case Op::coerce_b: stack_.back() = Value(toBoolean(stack_.back())); break;
    case Op::convert_s: stack_.back() = Value(m_.toString(stack_.back())); break;
    case Op::coerce_s:
      stack_.back() =
          stack_.back().isNullish() ? Value::null() : Value(m_.toString(stack_.back()));
      break;
    case Op::coerce_a: break;
    case Op::coerce_o:
      if (stack_.back().isUndefined()) stack_.back() = Value::null();
      break;
    case Op::convert_o:
      if (stack_.back().isNullish())
        m_.fail(ErrorClass::TypeError, stack_.back().isNull() ? 1009 : 1010);
      break;
    case Op::li8: case Op::li16: case Op::li32: case Op::lf32: case Op::lf64:
    case Op::si8: case Op::si16: case Op::si32: case Op::sf32: case Op::sf64:
      memory(in);
      break;
    case Op::sxi1: stack_.back() = Value(int32_t(0) - (m_.toInt(stack_.back()) & 1)); break;
    case Op::sxi8: stack_.back() = Value(int32_t(int8_t(m_.toInt(stack_.back())))); break;
    case Op::sxi16: stack_.back() = Value(int32_t(int16_t(m_.toInt(stack_.back())))); break;
    case Op::pushnamespace: stack_.emplace_back(unit_.namespaces[in.a]); break;
    case Op::pushscope: case Op::pushwith: {
      Value v = pop();
      if (v.isNullish()) m_.fail(ErrorClass::TypeError, v.isNull() ? 1009 : 1010);
      scopes_.push_back({std::move(v), in.op == Op::pushwith});
      break;
    }
    case Op::popscope:
      if (!scopes_.empty()) scopes_.pop_back();
      break;
    case Op::getscopeobject:
      if (in.a >= scopes_.size()) m_.fail(ErrorClass::VerifyError, 1019, {std::to_string(in.a)});
      stack_.push_back(scopes_[in.a].object);
      break;
    case Op::getglobalscope: stack_.push_back(globalObject()); break;
    case Op::findproperty: case Op::findpropstrict: {
      Name n = name(in.a);
      stack_.push_back(find(n, in.op == Op::findpropstrict));
      break;
    }
    case Op::finddef: {
      Object* holder = m_.findDefinition(unit_.multinames[in.a]);
      stack_.push_back(holder ? Value(holder) : globalObject());
      break;
    }
    case Op::setslot: {
      Value v = pop();
      Value obj = pop();
      Value& s = slot(obj, in.a);
      const Traits* t = obj.asObject()->traits();
      s = t && in.a <= t->slots.size() ? m_.coerce(v, t->slots[in.a - 1]) : v;
      break;
    }
    case Op::getglobalslot: stack_.push_back(slot(globalObject(), in.a)); break;
    case Op::setglobalslot: slot(globalObject(), in.a) = pop(); break;
    case Op::newactivation: stack_.emplace_back(activation()); break;
    case Op::newcatch: stack_.emplace_back(catchScope(in.a)); break;
    case Op::esc_xelem: case Op::esc_xattr:
      stack_.back() = Value(StringRef(xmlEscape(stack_.back(), in.op == Op::esc_xattr)));
      break;
    case Op::dxns: m_.defaultXmlNs = unit_.strings[in.a]; break;
    case Op::dxnslate: m_.defaultXmlNs = m_.intern(m_.toString(pop()).view()); break;
    case Op::checkfilter:
      if (!isXmlValue(m_, stack_.back())) {
        if (stack_.back().isNullish()) m_.fail(ErrorClass::TypeError, stack_.back().isNull() ? 1009 : 1010);
        m_.fail(ErrorClass::TypeError, 1123, {m_.className(stack_.back())});
      }
      break;
    case Op::getdescendants: {
      Name n = name(in.a);
      stack_.back() = xmlGetDescendants(m_, stack_.back(), n);
      break;
    }
    default:
      return objectOps(in, pc);
  }
  return pc;
}

uint32_t Frame::objectOps(const Instruction& in, uint32_t pc) {
  switch (in.op) {
    case Op::setproperty: case Op::initproperty: {
      Value v = pop();
      Name n = name(in.a);
      Value obj = pop();
      m_.setProperty(obj, n, std::move(v), in.op == Op::initproperty);
      break;
    }
    case Op::deleteproperty: {
      Name n = name(in.a);
      stack_.back() = Value(m_.deleteProperty(stack_.back(), n));
      break;
    }
    case Op::call: {
      std::vector<Value> args(stack_.last(in.a).begin(), stack_.last(in.a).end());
      stack_.drop(in.a);
      Value self = pop();
      Value fn = pop();
      stack_.push_back(m_.call(fn, self, args));
      break;
    }
    case Op::construct: {
      std::vector<Value> args(stack_.last(in.a).begin(), stack_.last(in.a).end());
      stack_.drop(in.a);
      Value ctor = pop();
      stack_.push_back(m_.construct(ctor, args));
      break;
    }
    case Op::constructprop: {
      std::vector<Value> args(stack_.last(in.b).begin(), stack_.last(in.b).end());
      stack_.drop(in.b);
      Name n = name(in.a);
      Value obj = pop();
      stack_.push_back(m_.constructProperty(obj, n, args));
      break;
    }
    case Op::constructsuper: {
      std::vector<Value> args(stack_.last(in.a).begin(), stack_.last(in.a).end());
      stack_.drop(in.a);
      Value self = pop();
      if (owner_ && owner_->base) m_.runInitialiser(owner_->base, self, args);
      break;
    }
    case Op::callstatic: {
      std::vector<Value> args(stack_.last(in.b).begin(), stack_.last(in.b).end());
      stack_.drop(in.b);
      Value self = pop();
      stack_.push_back(m_.invoke(unit_.methods[in.a].get(), self, args, outer_, owner_));
      break;
    }
    case Op::callmethod:
      m_.fail(ErrorClass::VerifyError, 1001, {"callmethod"});
    case Op::getsuper: case Op::setsuper: case Op::callsuper: case Op::callsupervoid:
      superOps(in);
      break;
    case Op::newfunction: {
      FunctionObject* f = m_.newFunction(unit_.methods[in.a].get(), captureScope(), nullptr);
      Object* proto = m_.newObject();
      proto->setHidden(m_.intern("constructor"), Value(static_cast<Object*>(f)));
      f->setHidden(m_.intern("prototype"), Value(proto));
      stack_.emplace_back(static_cast<Object*>(f));
      break;
    }
    case Op::newclass: {
      Value base = pop();
      ClassObject* b = base.isObject() ? dynamic_cast<ClassObject*>(base.asObject()) : nullptr;
      ScopeRef chain = captureScope();
      stack_.emplace_back(static_cast<Object*>(m_.defineAbcClass(unit_, in.a, b, *chain)));
      break;
    }
    case Op::newobject: {
      Object* o = m_.newObject();
      Value* first = stack_.top() - 2 * in.a;
      for (uint32_t i = 0; i < in.a; ++i)
        o->setOwn(m_.intern(m_.toString(first[2 * i]).view()), first[2 * i + 1]);
      stack_.drop(2 * in.a);
      stack_.emplace_back(o);
      break;
    }
    case Op::newarray: {
      std::vector<Value> elements(stack_.last(in.a).begin(), stack_.last(in.a).end());
      stack_.drop(in.a);
      stack_.emplace_back(static_cast<Object*>(m_.newArray(std::move(elements))));
      break;
    }
    case Op::hasnext: case Op::hasnext2: case Op::nextname: case Op::nextvalue:
      enumerate(in);
      break;
    default:
      return typeOps(in, pc);
  }
  return pc;
}

uint32_t Frame::typeOps(const Instruction& in, uint32_t pc) {
  switch (in.op) {
    case Op::coerce: {
      SlotInfo type = m_.slotTypeFor(unit_, in.a);
      stack_.back() = m_.coerce(stack_.back(), type);
      break;
    }
    case Op::istype: {
      ClassObject* c = m_.resolveType(unit_, in.a);
      stack_.back() = Value(c ? m_.isInstance(stack_.back(), c) : true);
      break;
    }
    case Op::astype: {
      ClassObject* c = m_.resolveType(unit_, in.a);
      if (c && !m_.isInstance(stack_.back(), c)) stack_.back() = Value::null();
      break;
    }
    case Op::istypelate: case Op::astypelate: {
      Value type = pop();
      auto* c = type.isObject() ? dynamic_cast<ClassObject*>(type.asObject()) : nullptr;
      if (!c) m_.fail(ErrorClass::TypeError, 1041);
      bool is = m_.isInstance(stack_.back(), c);
      if (in.op == Op::istypelate) stack_.back() = Value(is);
      else if (!is) stack_.back() = Value::null();
      break;
    }
    case Op::instanceof: {
      Value type = pop();
      stack_.back() = Value(m_.instanceOf(stack_.back(), type));
      break;
    }
    case Op::applytype: {
      std::vector<Value> params(stack_.last(in.a).begin(), stack_.last(in.a).end());
      stack_.drop(in.a);
      Value generic = pop();
      auto* g = generic.isObject() ? dynamic_cast<ClassObject*>(generic.asObject()) : nullptr;
      if (params.size() != 1) m_.fail(ErrorClass::TypeError, 1128);
      stack_.emplace_back(static_cast<Object*>(m_.applyType(g, params[0])));
      break;
    }
    case Op::in: {
      Value obj = pop();
      Value key = pop();
      Name n = m_.publicName(m_.intern(m_.toString(key).view()));
      if (key.isObject()) n.key = key.asObject();
      stack_.push_back(Value(m_.hasProperty(obj, n)));
      break;
    }
    default:
      m_.fail(ErrorClass::Error, 1001, {instructionName(in.op)});
  }
  return pc;
}

void Frame::superOps(const Instruction& in) {
  size_t argc = in.op == Op::callsuper || in.op == Op::callsupervoid ? in.b : 0;
  std::vector<Value> args(stack_.last(argc).begin(), stack_.last(argc).end());
  stack_.drop(argc);
  Value v = in.op == Op::setsuper ? pop() : Value();
  Name n = name(in.a);
  Value self = pop();
  ClassObject* base = owner_ ? owner_->base : nullptr;
  if (self.isNullish()) m_.fail(ErrorClass::TypeError, self.isNull() ? 1009 : 1010);
  const Traits* t = base ? base->instanceTraits.get() : nullptr;
  const Binding* b = t ? t->find(n) : nullptr;
  auto runMethod = [&](uint32_t index, std::span<Value> a) {
    const TraitMethod& tm = t->methods[index];
    return m_.invoke(tm.method, self, a, tm.owner ? tm.owner->scope : nullptr, tm.owner);
  };
  if (in.op == Op::setsuper) {
    if (b && b->kind == BindKind::Accessor && b->setter != Binding::kNone) {
      Value arg[1] = {std::move(v)};
      runMethod(b->setter, arg);
    } else {
      m_.setProperty(self, n, std::move(v));
    }
    return;
  }
  Value r;
  if (b && b->kind == BindKind::Method) {
    if (in.op == Op::getsuper) r = Value(m_.methodClosure(t->methods[b->index], self));
    else r = runMethod(b->index, args);
  } else if (b && b->kind == BindKind::Accessor && b->index != Binding::kNone) {
    r = runMethod(b->index, {});
    if (in.op != Op::getsuper) r = m_.call(r, self, args);
  } else if (b && b->kind == BindKind::Slot && in.op == Op::getsuper) {
    r = m_.getProperty(self, n);
  } else {
    std::string where = base ? std::string(base->name->view()) : "Object";
    if (in.op == Op::getsuper) m_.fail(ErrorClass::ReferenceError, 1069, {m_.nameText(n), where});
    m_.fail(ErrorClass::ReferenceError, 1070, {m_.nameText(n), where});
  }
  if (in.op != Op::callsupervoid && in.op != Op::setsuper) stack_.push_back(std::move(r));
}

void Frame::enumerate(const Instruction& in) {
  switch (in.op) {
    case Op::hasnext2: {
      Value& obj = regs_[in.a];
      Value& index = regs_[in.b];
      uint32_t i = m_.toUint(index);
      for (;;) {
        if (!obj.isObject()) {
          obj = Value::null();
          index = Value(int32_t(0));
          stack_.emplace_back(false);
          return;
        }
        uint32_t next = m_.nextIndex(obj.asObject(), i);
        if (next) {
          index = Value(static_cast<int32_t>(next));
          stack_.emplace_back(true);
          return;
        }
        obj = Value(obj.asObject()->prototype());
        i = 0;
      }
    }
    case Op::hasnext: {
      uint32_t i = m_.toUint(pop());
      Value obj = pop();
      stack_.emplace_back(static_cast<int32_t>(obj.isObject() ? m_.nextIndex(obj.asObject(), i) : 0));
      return;
    }
    default: {
      uint32_t i = m_.toUint(pop());
      Value obj = pop();
      if (!obj.isObject()) {
        stack_.emplace_back();
        return;
      }
      stack_.push_back(in.op == Op::nextname ? m_.nameAt(obj.asObject(), i)
                                             : m_.valueAt(obj.asObject(), i));
    }
  }
}

}  // namespace orv::movie::avm2
