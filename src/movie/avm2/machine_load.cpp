// Loading ABC: pools to interned names, scripts' definitions, traits laid out into slots,
// classes defined by newclass, scripts run when first needed.
#include "movie/avm2/machine.h"

#include <cmath>
#include <iterator>
#include <limits>

namespace orv::movie::avm2 {

namespace {

NamespaceKind kindOf(abc::NamespaceKind k) {
  switch (k) {
    case abc::NamespaceKind::Private:
      return NamespaceKind::Private;
    case abc::NamespaceKind::PackageInternal:
      return NamespaceKind::PackageInternal;
    case abc::NamespaceKind::Protected:
      return NamespaceKind::Protected;
    case abc::NamespaceKind::StaticProtected:
      return NamespaceKind::StaticProtected;
    case abc::NamespaceKind::Explicit:
      return NamespaceKind::Explicit;
    case abc::NamespaceKind::Namespace:
      return NamespaceKind::User;
    default:
      return NamespaceKind::Public;
  }
}

void resolveMultinames(AbcUnit& u) {
  using K = abc::MultinameKind;
  const abc::ConstantPool& pool = u.file->pool;
  u.multinames.resize(pool.multinames.size());
  for (size_t i = 1; i < pool.multinames.size(); ++i) {
    const abc::Multiname& m = pool.multinames[i];
    Name& n = u.multinames[i];
    n.attribute = m.isAttribute();
    switch (m.kind) {
      case K::QName:
      case K::QNameA:
        n.ns = u.namespaces[m.ns];
        n.anyNamespace = m.ns == 0;
        break;
      case K::Multiname:
      case K::MultinameA:
      case K::MultinameL:
      case K::MultinameLA:
        n.set = &u.nsSets[m.nsSet];
        break;
      case K::TypeName: {
        const abc::Multiname& generic = pool.multinames[m.typeName];
        n.name = generic.name ? u.strings[generic.name] : nullptr;
        n.ns = generic.ns < u.namespaces.size() ? u.namespaces[generic.ns] : nullptr;
        continue;
      }
      default:
        break;
    }
    if (!m.runtimeName() && m.kind != K::RTQNameL && m.kind != K::RTQNameLA)
      n.name = m.name ? u.strings[m.name] : nullptr;
    if (n.name) n.index = arrayIndexOf(n.name->view());
  }
}

}  // namespace

uint32_t Machine::newDomain(uint32_t parent) {
  if (parent >= domainParents_.size()) parent = kSystemDomain;
  if (domainParents_.size() >= kMaxDomains) return parent;
  domainParents_.push_back(parent);
  return static_cast<uint32_t>(domainParents_.size() - 1);
}

AbcUnit* Machine::load(std::shared_ptr<const abc::AbcFile> file, std::string& error,
                       uint32_t domain) {
  if (!file->methodsWithSecondBody.empty()) {
    error = "method " + std::to_string(file->methodsWithSecondBody.front()) +
            " has more than one body";
    return nullptr;
  }
  auto u = std::make_unique<AbcUnit>();
  u->file = file;
  u->domain = domain < domainParents_.size() ? domain : kMainDomain;
  const abc::ConstantPool& pool = file->pool;
  for (const std::string& s : pool.strings) u->strings.push_back(intern(s));
  u->namespaces.push_back(nullptr);
  for (size_t i = 1; i < pool.namespaces.size(); ++i) {
    const abc::Namespace& ns = pool.namespaces[i];
    String* uri = u->strings[ns.name];
    u->namespaces.push_back(ns.kind == abc::NamespaceKind::Private
                                ? namespaces.makePrivate(uri)
                                : namespaces.get(kindOf(ns.kind), uri));
  }
  for (const auto& set : pool.namespaceSets) {
    std::vector<const Namespace*> list;
    for (uint32_t i : set) list.push_back(u->namespaces[i]);
    u->nsSets.push_back(std::move(list));
  }
  resolveMultinames(*u);
  for (size_t i = 0; i < file->methods.size(); ++i) {
    auto m = std::make_unique<Method>();
    m->unit = u.get();
    m->index = static_cast<uint32_t>(i);
    m->name = file->methods[i].name ? pool.strings[file->methods[i].name] : "";
    u->methods.push_back(std::move(m));
  }
  u->classes.assign(file->classes.size(), nullptr);
  u->scriptGlobals.assign(file->scripts.size(), nullptr);
  u->scriptStates.assign(file->scripts.size(), AbcUnit::ScriptState::NotRun);
  for (size_t s = 0; s < file->scripts.size(); ++s) {
    for (const abc::Trait& t : file->scripts[s].traits) {
      const Name& n = u->multinames[t.name];
      if (!n.name) continue;
      definitions_[n.name].push_back(
          {n.ns ? n.ns : publicNs, u.get(), static_cast<uint32_t>(s), u->domain});
    }
  }
  units_.push_back(std::move(u));
  return units_.back().get();
}

void Machine::runEntryScript(AbcUnit& unit) {
  if (!unit.file->scripts.empty())
    runScript(unit, static_cast<uint32_t>(unit.file->scripts.size() - 1));
}

Object* Machine::runScript(AbcUnit& unit, uint32_t index) {
  if (unit.scriptStates[index] != AbcUnit::ScriptState::NotRun) return unit.scriptGlobals[index];
  const abc::ScriptInfo& script = unit.file->scripts[index];
  auto traits = std::make_unique<Traits>();
  traits->className = intern("global");
  Traits* t = traits.get();
  unit.traits.push_back(std::move(traits));
  Object* global = heap.make<Object>(nullptr, nullptr, objectClass->prototypeObject);
  unit.scriptGlobals[index] = global;
  unit.scriptStates[index] = AbcUnit::ScriptState::Running;
  addTraits(unit, script.traits, *t, nullptr);
  global->layOut(t);
  // Functions the script declares close over its global object.
  auto scope = std::make_shared<ScopeChain>(ScopeChain{{Value(global), false}});
  for (const abc::Trait& tr : script.traits) {
    if (tr.kind != abc::TraitKind::Function) continue;
    const Name& n = unit.multinames[tr.name];
    const Binding* b = t->find(n.name, n.ns ? n.ns : publicNs);
    if (b) global->slots()[b->index] = Value(newFunction(unit.methods[tr.method].get(), scope, nullptr));
  }
  invoke(unit.methods[script.init].get(), Value(global), {}, nullptr, nullptr);
  unit.scriptStates[index] = AbcUnit::ScriptState::Done;
  return global;
}

namespace {

// The SWF version that first has a top-level definition (JSON came with Flash Player 11).
int introducedIn(std::string_view name) { return name == "JSON" ? 13 : 0; }

}  // namespace

Object* Machine::findDefinition(const Name& n, uint32_t domain) {
  if (!n.name) return nullptr;
  auto it = definitions_.find(n.name);
  if (it == definitions_.end()) return nullptr;
  // How far up the domain's chain each domain is (0: the domain itself).
  uint32_t chain[64];
  size_t chainLength = 0;
  for (uint32_t d = domain; d != kNoDomain && chainLength < std::size(chain); d = domainParent(d))
    chain[chainLength++] = d;
  const Definition* best = nullptr;
  size_t bestHeight = 0;
  for (const Definition& d : it->second) {
    if (!n.matches(d.ns)) continue;
    if (!d.unit && swfVersion && swfVersion < introducedIn(n.name->view())) continue;
    size_t height = 0;
    while (height < chainLength && chain[height] != d.domain) ++height;
    if (height == chainLength) continue;  // another chain's
    // The first definition in the highest domain wins.
    if (!best || height > bestHeight) best = &d, bestHeight = height;
  }
  if (!best) return nullptr;
  if (!best->unit) return topLevel;
  return runScript(*best->unit, best->script);
}

bool Machine::definitionNotRun(const Name& n) const {
  if (!n.name) return false;
  auto it = definitions_.find(n.name);
  if (it == definitions_.end()) return false;
  for (const Definition& d : it->second)
    if (n.matches(d.ns))
      return d.unit && d.unit->scriptStates[d.script] == AbcUnit::ScriptState::NotRun;
  return false;
}

ClassObject* Machine::findClass(std::string_view qualifiedName, uint32_t domain) {
  size_t dot = qualifiedName.rfind('.');
  std::string_view package = dot == std::string_view::npos ? "" : qualifiedName.substr(0, dot);
  std::string_view simple =
      dot == std::string_view::npos ? qualifiedName : qualifiedName.substr(dot + 1);
  Name n;
  n.name = intern(simple);
  n.ns = namespaces.get(NamespaceKind::Public, intern(package));
  Object* holder = findDefinition(n, domain);
  if (!holder) return nullptr;
  Value v = getProperty(Value(holder), n);
  return v.isObject() ? dynamic_cast<ClassObject*>(v.asObject()) : nullptr;
}

Value Machine::constantValue(AbcUnit& unit, const abc::Constant& c) {
  const abc::ConstantPool& pool = unit.file->pool;
  using K = abc::ConstantKind;
  switch (c.kind) {
    case K::Utf8:
      return Value(unit.strings[c.index]);
    case K::Int:
      return Value(pool.ints[c.index]);
    case K::UInt:
      return Value(pool.uints[c.index]);
    case K::Double:
      return Value(pool.doubles[c.index]);
    case K::True:
      return Value(true);
    case K::False:
      return Value(false);
    case K::Null:
      return Value::null();
    case K::Undefined:
      return Value();
    default:
      return c.index < unit.namespaces.size() && unit.namespaces[c.index]
                 ? Value(unit.namespaces[c.index])
                 : Value();
  }
}

namespace {

Value defaultFor(const SlotInfo& s) {
  switch (s.type) {
    case SlotType::Int:
      return Value(int32_t(0));
    case SlotType::Uint:
      return Value(uint32_t(0));
    case SlotType::Number:
      return Value(std::numeric_limits<double>::quiet_NaN());
    case SlotType::Boolean:
      return Value(false);
    case SlotType::Any:
      return Value();
    default:
      return Value::null();
  }
}

// An override of a protected member is declared in the subclass's protected namespace;
// the base class's binding it replaces is in the base's.
void replaceProtected(Traits& into, String* name, const Namespace* ns, const Binding& b) {
  if (ns->kind != NamespaceKind::Protected) return;
  auto it = into.all().find(name);
  if (it == into.all().end()) return;
  std::vector<const Namespace*> others;
  for (const auto& [n, old] : it->second)
    if (n != ns && n->kind == NamespaceKind::Protected) others.push_back(n);
  for (const Namespace* n : others) into.bind(name, n, b);
}

// A call through an interface names the method in the interface's namespace; the class
// answers it with its public method of that name.
void bindInterfaceNames(ClassObject& cls, const Namespace* publicNs) {
  Traits& t = *cls.instanceTraits;
  for (const ClassObject* iface : cls.interfaces) {
    for (const auto& [name, list] : iface->instanceTraits->all()) {
      const Binding* own = t.find(name, publicNs);
      if (!own) continue;
      Binding b = *own;
      for (const auto& [ns, unused] : list)
        if (ns != publicNs && !t.find(name, ns)) t.bind(name, ns, b);
    }
  }
}

}  // namespace

void Machine::addTraits(AbcUnit& unit, const std::vector<abc::Trait>& traits, Traits& into,
                        ClassObject* owner) {
  for (const abc::Trait& t : traits) {
    const Name& n = unit.multinames[t.name];
    if (!n.name) continue;
    const Namespace* ns = n.ns ? n.ns : publicNs;
    switch (t.kind) {
      case abc::TraitKind::Slot:
      case abc::TraitKind::Const:
      case abc::TraitKind::Class:
      case abc::TraitKind::Function: {
        SlotInfo info;
        if (t.kind == abc::TraitKind::Slot || t.kind == abc::TraitKind::Const)
          info = slotTypeFor(unit, t.typeName);
        info.initial = defaultFor(info);
        if (t.value && t.value->kind != abc::ConstantKind::Undefined)
          info.initial = coerce(constantValue(unit, *t.value), info);
        else if (t.value && info.type == SlotType::Any)
          info.initial = Value();
        if (t.kind == abc::TraitKind::Class) info.initial = Value::null();
        info.name = n.name;
        uint32_t slot = into.addSlot(std::move(info), t.slotId);
        BindKind kind = t.kind == abc::TraitKind::Slot ? BindKind::Slot : BindKind::Const;
        into.bind(n.name, ns, {kind, slot});
        break;
      }
      case abc::TraitKind::Method: {
        uint32_t m = into.addMethod({unit.methods[t.method].get(), owner});
        Binding b{BindKind::Method, m};
        into.bind(n.name, ns, b);
        if (t.isOverride) replaceProtected(into, n.name, ns, b);
        break;
      }
      case abc::TraitKind::Getter:
      case abc::TraitKind::Setter: {
        uint32_t m = into.addMethod({unit.methods[t.method].get(), owner});
        const Binding* old = into.find(n.name, ns);
        Binding b{BindKind::Accessor};
        if (old && old->kind == BindKind::Accessor) b = *old;
        (t.kind == abc::TraitKind::Getter ? b.index : b.setter) = m;
        into.bind(n.name, ns, b);
        if (t.isOverride) replaceProtected(into, n.name, ns, b);
        break;
      }
    }
  }
}

ClassObject* Machine::defineAbcClass(AbcUnit& unit, uint32_t index, ClassObject* base,
                                     const ScopeChain& outer) {
  const abc::InstanceInfo& ii = unit.file->instances[index];
  const abc::ClassInfo& ci = unit.file->classes[index];
  const Name& qn = unit.multinames[ii.name];
  if (base && (base->isFinal || base->isInterface))
    fail(ErrorClass::VerifyError, 1103, {nameText(qn), std::string(base->name->view())});
  auto* cls = heap.make<ClassObject>(nullptr, classClass, classClass->prototypeObject);
  cls->simpleName = qn.name ? qn.name : intern("");
  cls->ns = qn.ns ? qn.ns : publicNs;
  std::string package(cls->ns->uri->view());
  cls->name = package.empty() || cls->ns->kind == NamespaceKind::Private
                  ? cls->simpleName
                  : intern(package + "." + std::string(cls->simpleName->view()));
  cls->base = base;
  cls->isInterface = ii.has(abc::InstanceFlag::Interface);
  cls->isFinal = ii.has(abc::InstanceFlag::Final);
  cls->callCode = nullptr;
  for (uint32_t iface : ii.interfaces) {
    ClassObject* i = resolveType(unit, iface);
    if (!i) continue;
    cls->interfaces.push_back(i);
    for (ClassObject* inherited : i->interfaces) cls->interfaces.push_back(inherited);
  }
  ScopeChain chain = outer;
  chain.push_back({Value(static_cast<Object*>(cls)), false});
  cls->scope = std::make_shared<ScopeChain>(std::move(chain));
  cls->instanceTraits = std::make_unique<Traits>(base ? base->instanceTraits.get() : nullptr);
  cls->instanceTraits->dynamic = !ii.has(abc::InstanceFlag::Sealed);
  cls->instanceTraits->className = cls->name;
  cls->classTraits = std::make_unique<Traits>(classClass->instanceTraits.get());
  cls->classTraits->className = cls->name;
  unit.classes[index] = cls;
  addTraits(unit, ii.traits, *cls->instanceTraits, cls);
  bindInterfaceNames(*cls, publicNs);
  addTraits(unit, ci.traits, *cls->classTraits, cls);
  cls->layOut(cls->classTraits.get());
  Object* baseProto = base ? base->prototypeObject : objectClass->prototypeObject;
  cls->prototypeObject = heap.make<Object>(nullptr, objectClass, baseProto);
  cls->prototypeObject->setHidden(intern("constructor"), Value(static_cast<Object*>(cls)));
  cls->iinit = unit.methods[ii.iinit].get();
  invoke(unit.methods[ci.cinit].get(), Value(static_cast<Object*>(cls)), {}, cls->scope, cls);
  return cls;
}

void Machine::defineGlobal(String* name, const Namespace* ns, Value v) {
  if (!topLevelTraits_) {
    topLevelTraits_ = std::make_unique<Traits>();
    topLevelTraits_->className = intern("global");
    topLevel->layOut(topLevelTraits_.get());
  }
  SlotInfo info;
  info.name = name;
  info.initial = v;
  uint32_t slot = topLevelTraits_->addSlot(std::move(info), 0);
  topLevelTraits_->bind(name, ns, {BindKind::Const, slot});
  if (topLevel->slots().size() <= slot) topLevel->slots().resize(slot + 1);
  topLevel->slots()[slot] = std::move(v);
  definitions_[name].push_back({ns, nullptr, 0, kSystemDomain});
}

ClassObject* Machine::defineClass(std::string_view package, std::string_view name,
                                  ClassObject* base, bool dynamic, bool isFinal) {
  ClassObject* cls = nullptr;
  // Object, Class and Function exist before the tables; their rows fill them in.
  if (package.empty() && name == "Object") cls = objectClass;
  if (package.empty() && name == "Class") cls = classClass;
  if (package.empty() && name == "Function") cls = functionClass;
  if (!cls) {
    cls = heap.make<ClassObject>(nullptr, classClass, classClass->prototypeObject);
    cls->simpleName = intern(name);
    cls->name = package.empty() ? cls->simpleName
                                : intern(std::string(package) + "." + std::string(name));
    cls->ns = namespaces.get(NamespaceKind::Public, intern(package));
    cls->base = base;
    cls->instanceTraits = std::make_unique<Traits>(base ? base->instanceTraits.get() : nullptr);
    cls->instanceTraits->className = cls->name;
    cls->classTraits = std::make_unique<Traits>(classClass->instanceTraits.get());
    cls->classTraits->className = cls->name;
    cls->prototypeObject = heap.make<Object>(
        nullptr, objectClass, base ? base->prototypeObject : objectClass->prototypeObject);
    cls->prototypeObject->setHidden(intern("constructor"), Value(static_cast<Object*>(cls)));
  }
  cls->instanceTraits->dynamic = dynamic;
  cls->isFinal = isFinal;
  cls->scope = std::make_shared<ScopeChain>(ScopeChain{{Value(topLevel), false}});
  defineGlobal(cls->simpleName, cls->ns, Value(static_cast<Object*>(cls)));
  return cls;
}

}  // namespace orv::movie::avm2
