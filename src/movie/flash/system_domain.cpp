// flash.system.ApplicationDomain as far as scripts use it without loading movies (the
// domain memory the memory instructions address, definitions by name), what
// Capabilities says of the player, and System.
#include "movie/avm2/toplevel.h"
#include "movie/flash/bytearray.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

constexpr double kMinDomainMemory = 1024;

Value currentDomain(Machine& m, const Value& self, std::span<Value>) {
  auto* cls = dynamic_cast<ClassObject*>(self.asObject());
  if (!cls) cls = m.findClass("flash.system.ApplicationDomain");
  return Value(m.allocate(cls));
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

Value hasDefinition(Machine& m, const Value&, std::span<Value> args) {
  return Value(m.findClass(definitionName(m, args)) != nullptr);
}

Value getDefinition(Machine& m, const Value&, std::span<Value> args) {
  std::string name = definitionName(m, args);
  if (ClassObject* c = m.findClass(name)) return Value(static_cast<Object*>(c));
  m.fail(ErrorClass::ReferenceError, 1065, {name});
}

Value parentDomain(Machine&, const Value&, std::span<Value>) { return Value::null(); }

// The public definitions of the movie's scripts ("pkg::Name"), in the order loaded.
Value getQualifiedDefinitionNames(Machine& m, const Value&, std::span<Value>) {
  Value vec = m.construct(Value(static_cast<Object*>(
                              m.applyType(m.findClass("__AS3__.vec.Vector"),
                                          Value(static_cast<Object*>(m.stringClass))))),
                          {});
  auto& out = static_cast<VectorObject*>(vec.asObject())->elements;
  for (const auto& unit : m.units())
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

// System.gc() collects only in debugger players; this is a release player.
Value requestCollection(Machine&, const Value&, std::span<Value>) { return Value(); }

const NativeMember kSystem[] = {
    {"gc", MemberKind::StaticMethod, requestCollection},
};

}  // namespace

void installApplicationDomain(Machine& m) {
  installClass(m, {.package = "flash.system",
                   .name = "ApplicationDomain",
                   .members = kMembers,
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
