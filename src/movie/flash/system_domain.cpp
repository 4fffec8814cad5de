// flash.system.ApplicationDomain (the machine's domains: definitions by name, the parent
// chain, the domain memory the memory instructions address), Security (a local movie's
// sandbox), what Capabilities says of the player, and System.
#include "movie/avm2/toplevel.h"
#include "movie/flash/bytearray.h"
#include "movie/flash/domain.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

constexpr double kMinDomainMemory = 1024;

Object* allocDomain(Machine& m, ClassObject* cls) {
  return m.heap.make<DomainObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

DomainObject* domainOf(Machine& m, const Value& self) {
  return receiver<DomainObject>(m, self, "ApplicationDomain");
}

Value currentDomain(Machine& m, const Value&, std::span<Value>) {
  return domainObject(m, m.currentDomain);
}

// new ApplicationDomain(parent): a domain of its own below `parent` (null: the system's).
Value domainInit(Machine& m, const Value& self, std::span<Value> args) {
  DomainObject* d = domainOf(m, self);
  const Value parent = arg(args, 0);
  uint32_t above = Machine::kSystemDomain;
  if (!parent.isNullish()) {
    auto* p = parent.isObject() ? dynamic_cast<DomainObject*>(parent.asObject()) : nullptr;
    if (!p) m.fail(ErrorClass::TypeError, 1034, {m.className(parent), "flash.system.ApplicationDomain"});
    above = p->domain;
  }
  d->domain = m.newDomain(above);
  return Value();
}

Value domainMemory(Machine& m, const Value&, std::span<Value>) {
  return m.domainMemory ? Value(m.domainMemory) : Value::null();
}

Value setDomainMemory(Machine& m, const Value&, std::span<Value> args) {
  Value v = arg(args, 0);
  if (v.isNullish()) {
    m.domainMemory = nullptr;
    return Value();
  }
  auto* b = v.isObject() ? dynamic_cast<ByteArrayObject*>(v.asObject()) : nullptr;
  if (!b) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.utils.ByteArray"});
  if (b->bytes.size() < kMinDomainMemory) m.fail(ErrorClass::RangeError, 2006);
  m.domainMemory = b;
  return Value();
}

std::string definitionName(Machine& m, std::span<Value> args) {
  std::string name = m.toText(arg(args, 0));
  if (size_t colons = name.find("::"); colons != std::string::npos)
    name = name.substr(0, colons) + "." + name.substr(colons + 2);
  return name;
}

// A definition's holder and name in the domain, from a qualified name ("a.b.C", "a.b::C").
bool findNamed(Machine& m, uint32_t domain, std::string_view qualified, Object*& holder, Name& n) {
  size_t dot = qualified.rfind('.');
  n.name = m.intern(dot == std::string_view::npos ? qualified : qualified.substr(dot + 1));
  n.ns = m.namespaces.get(NamespaceKind::Public,
                          m.intern(dot == std::string_view::npos ? "" : qualified.substr(0, dot)));
  holder = m.findDefinition(n, domain);
  return holder != nullptr;
}

Value hasDefinition(Machine& m, const Value& self, std::span<Value> args) {
  DomainObject* d = domainOf(m, self);
  if (arg(args, 0).isNullish()) return Value(false);
  Object* holder;
  Name n;
  return Value(findNamed(m, d->domain, definitionName(m, args), holder, n));
}

// A class, function or variable the domain defines; the error names it without its package.
Value getDefinition(Machine& m, const Value& self, std::span<Value> args) {
  DomainObject* d = domainOf(m, self);
  std::string name = definitionName(m, args);
  Object* holder;
  Name n;
  if (!findNamed(m, d->domain, name, holder, n))
    m.fail(ErrorClass::ReferenceError, 1065, {std::string(n.name->view())});
  return m.getProperty(Value(holder), n);
}

// The player's own domain is no parent scripts see: the opened movie's domain has none.
Value parentDomain(Machine& m, const Value& self, std::span<Value>) {
  const uint32_t parent = m.domainParent(domainOf(m, self)->domain);
  if (parent == Machine::kNoDomain || parent == Machine::kSystemDomain) return Value::null();
  return domainObject(m, parent);
}

// The public definitions of the movie's scripts ("pkg::Name"), in the order loaded.
Value getQualifiedDefinitionNames(Machine& m, const Value& self, std::span<Value>) {
  const uint32_t domain = domainOf(m, self)->domain;
  Value vec = m.construct(Value(static_cast<Object*>(
                              m.applyType(m.findClass("__AS3__.vec.Vector"),
                                          Value(static_cast<Object*>(m.stringClass))))),
                          {});
  auto& out = static_cast<VectorObject*>(vec.asObject())->elements;
  for (const auto& unit : m.units())
    if (unit->domain == domain)
    for (const abc::ScriptInfo& script : unit->file->scripts)
      for (const abc::Trait& trait : script.traits) {
        if (trait.name >= unit->multinames.size()) continue;
        const Name& name = unit->multinames[trait.name];
        if (!name.name || !name.ns || name.ns->kind != NamespaceKind::Public) continue;
        std::string text(name.name->view());
        if (name.ns->uri && !name.ns->uri->view().empty())
          text = std::string(name.ns->uri->view()) + "::" + text;
        out.emplace_back(StringRef(text));
      }
  return vec;
}

const NativeMember kMembers[] = {
    {"currentDomain", MemberKind::StaticGetter, currentDomain},
    {"MIN_DOMAIN_MEMORY_LENGTH", MemberKind::Constant, nullptr, 0, kMinDomainMemory},
    {"domainMemory", MemberKind::Getter, domainMemory},
    {"domainMemory", MemberKind::Setter, setDomainMemory},
    {"parentDomain", MemberKind::Getter, parentDomain},
    {"hasDefinition", MemberKind::Method, hasDefinition, 1},
    {"getDefinition", MemberKind::Method, getDefinition, 1},
    {"getQualifiedDefinitionNames", MemberKind::Method, getQualifiedDefinitionNames},
};

Value playerType(Machine& m, const Value&, std::span<Value>) { return Value(m.intern("StandAlone")); }
Value isDebugger(Machine&, const Value&, std::span<Value>) { return Value(false); }

const NativeMember kCapabilities[] = {
    {"playerType", MemberKind::StaticGetter, playerType},
    {"isDebugger", MemberKind::StaticGetter, isDebugger},
};

Value sandboxType(Machine& m, const Value&, std::span<Value>) {
  return Value(m.intern("localWithFile"));
}
Value ignoreDomains(Machine&, const Value&, std::span<Value>) { return Value(); }

// A local movie's sandbox: it reads files of its own folder and nothing of the network.
const NativeMember kSecurity[] = {
    {"sandboxType", MemberKind::StaticGetter, sandboxType},
    {"allowDomain", MemberKind::StaticMethod, ignoreDomains},
    {"allowInsecureDomain", MemberKind::StaticMethod, ignoreDomains},
    {"loadPolicyFile", MemberKind::StaticMethod, ignoreDomains, 1},
    {"REMOTE", MemberKind::Constant, nullptr, 0, 0, "remote"},
    {"LOCAL_WITH_FILE", MemberKind::Constant, nullptr, 0, 0, "localWithFile"},
    {"LOCAL_WITH_NETWORK", MemberKind::Constant, nullptr, 0, 0, "localWithNetwork"},
    {"LOCAL_TRUSTED", MemberKind::Constant, nullptr, 0, 0, "localTrusted"},
    {"APPLICATION", MemberKind::Constant, nullptr, 0, 0, "application"},
};

// System.gc() collects only in debugger players; this is a release player.
Value requestCollection(Machine&, const Value&, std::span<Value>) { return Value(); }

const NativeMember kSystem[] = {
    {"gc", MemberKind::StaticMethod, requestCollection},
};

}  // namespace

Value domainObject(Machine& m, uint32_t domain) {
  ClassObject* cls = m.findClass("flash.system.ApplicationDomain", Machine::kSystemDomain);
  if (!cls) m.fail(ErrorClass::ReferenceError, 1065, {"ApplicationDomain"});
  auto* d = static_cast<DomainObject*>(allocDomain(m, cls));
  d->domain = domain;
  return Value(static_cast<Object*>(d));
}

uint32_t domainOfValue(const Value& v) {
  auto* d = v.isObject() ? dynamic_cast<DomainObject*>(v.asObject()) : nullptr;
  return d ? d->domain : Machine::kNoDomain;
}

void installApplicationDomain(Machine& m) {
  installClass(m, {.package = "flash.system",
                   .name = "ApplicationDomain",
                   .members = kMembers,
                   .init = domainInit,
                   .alloc = allocDomain,
                   .dynamic = false,
                   .isFinal = true,
                   .initLength = 1});
  installClass(m, {.package = "flash.system",
                   .name = "Security",
                   .members = kSecurity,
                   .dynamic = false,
                   .isFinal = true});
  installClass(m, {.package = "flash.system",
                   .name = "System",
                   .members = kSystem,
                   .dynamic = false,
                   .isFinal = true});
  installClass(m, {.package = "flash.system",
                   .name = "Capabilities",
                   .members = kCapabilities,
                   .dynamic = false,
                   .isFinal = true});
}

}  // namespace orv::movie::avm2
