// flash.net's class aliases (registerClassAlias, getClassByAlias), ObjectEncoding, and the
// interfaces AMF serialization calls through: IDataInput and IDataOutput (ByteArray),
// IExternalizable, IDynamicPropertyWriter and IDynamicPropertyOutput.
#include "movie/flash/net_aliases.h"

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {


Value registerClassAlias(Machine& m, const Value&, std::span<Value> args) {
  const Value alias = arg(args, 0), cls = arg(args, 1);
  if (alias.isNull() || alias.isUndefined()) m.fail(ErrorClass::TypeError, 2007, {"aliasName"});
  auto* c = cls.isObject() ? dynamic_cast<ClassObject*>(cls.asObject()) : nullptr;
  if (!c) m.fail(ErrorClass::TypeError, 2007, {"classObject"});
  AmfAliasState& s = m.packageState<AmfAliasState>();
  String* name = m.intern(m.toString(alias).view());
  s.classByAlias[std::string(name->view())] = c;
  s.aliasByClass[c] = name;
  return Value();
}

Value getClassByAlias(Machine& m, const Value&, std::span<Value> args) {
  const Value alias = arg(args, 0);
  if (alias.isNull() || alias.isUndefined()) m.fail(ErrorClass::TypeError, 2007, {"aliasName"});
  const std::string name(m.toString(alias).view());
  AmfAliasState& s = m.packageState<AmfAliasState>();
  auto it = s.classByAlias.find(name);
  if (it == s.classByAlias.end()) m.fail(ErrorClass::ReferenceError, 1014, {name});
  return Value(static_cast<Object*>(it->second));
}

const NativeMember kAliasFunctions[] = {
    {"registerClassAlias", MemberKind::Method, registerClassAlias, 2},
    {"getClassByAlias", MemberKind::Method, getClassByAlias, 1},
};

Value getPropertyWriter(Machine& m, const Value&, std::span<Value>) {
  return m.packageState<AmfAliasState>().dynamicPropertyWriter;
}
Value setPropertyWriter(Machine& m, const Value&, std::span<Value> args) {
  const Value w = arg(args, 0);
  m.packageState<AmfAliasState>().dynamicPropertyWriter = w.isObject() ? w : Value::null();
  return Value();
}

const NativeMember kObjectEncoding[] = {
    {"AMF0", MemberKind::Constant, nullptr, 0, 0},
    {"AMF3", MemberKind::Constant, nullptr, 0, 3},
    {"DEFAULT", MemberKind::Constant, nullptr, 0, 3},
    {"dynamicPropertyWriter", MemberKind::StaticGetter, getPropertyWriter},
    {"dynamicPropertyWriter", MemberKind::StaticSetter, setPropertyWriter},
};

Value writeDynamicProperty(Machine& m, const Value& self, std::span<Value> args) {
  auto* out = self.isObject() ? dynamic_cast<DynamicPropertyOutput*>(self.asObject()) : nullptr;
  if (out && out->sink) out->sink->property(Value(m.intern(m.toString(arg(args, 0)).view())), arg(args, 1));
  return Value();
}

const NativeMember kPropertyOutput[] = {
    {"writeDynamicProperty", MemberKind::Method, writeDynamicProperty, 2},
};

Object* allocPropertyOutput(Machine& m, ClassObject* cls) {
  return m.heap.make<DynamicPropertyOutput>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

ClassObject* installInterface(Machine& m, const char* package, const char* name) {
  ClassObject* iface = installClass(m, {.package = package, .name = name, .members = {}});
  iface->isInterface = true;
  return iface;
}

// Calls through an interface name its method in the interface's namespace: the class's
// public members of those names are bound there too.
void bindThrough(Machine& m, ClassObject* iface, ClassObject* cls, const std::string& qualified,
                 std::initializer_list<const char*> names) {
  const Namespace* ns = m.namespaces.get(NamespaceKind::User, m.intern(qualified));
  for (const char* n : names) {
    String* name = m.intern(n);
    // Accessors are bindings of the class; native methods are functions on its prototype.
    if (const Binding* b = cls->instanceTraits->find(name, m.publicNs)) {
      const Binding copy = *b;
      cls->instanceTraits->bind(name, ns, copy);
      continue;
    }
    const Value* fn = cls->prototypeObject->findOwn(name);
    auto* f = fn && fn->isObject() ? dynamic_cast<FunctionObject*>(fn->asObject()) : nullptr;
    if (!f || !f->method) continue;
    Traits& t = *cls->instanceTraits;
    t.bind(name, ns, {BindKind::Method, t.addMethod({f->method, cls})});
  }
  cls->interfaces.push_back(iface);
}

}  // namespace

void installNetAliases(Machine& m) {
  installGlobals(m, "flash.net", kAliasFunctions);
  installClass(m, {.package = "flash.net", .name = "ObjectEncoding", .members = kObjectEncoding,
                   .dynamic = false});
  AmfAliasState& s = m.packageState<AmfAliasState>();
  s.externalizable = installInterface(m, "flash.utils", "IExternalizable");
  installInterface(m, "flash.net", "IDynamicPropertyWriter");
  ClassObject* outputIface = installInterface(m, "flash.net", "IDynamicPropertyOutput");
  s.propertyOutputClass = installClass(m, {.package = "flash.net",
                                           .name = "DynamicPropertyOutput",
                                           .members = kPropertyOutput,
                                           .alloc = allocPropertyOutput,
                                           .dynamic = false,
                                           .isFinal = true});
  bindThrough(m, outputIface, s.propertyOutputClass, "flash.net:IDynamicPropertyOutput",
              {"writeDynamicProperty"});
  ClassObject* byteArray = m.findClass("flash.utils.ByteArray");
  if (!byteArray) return;
  bindThrough(m, installInterface(m, "flash.utils", "IDataInput"), byteArray,
              "flash.utils:IDataInput",
              {"readBoolean", "readByte", "readUnsignedByte", "readShort", "readUnsignedShort",
               "readInt", "readUnsignedInt", "readFloat", "readDouble", "readUTF", "readUTFBytes",
               "readMultiByte", "readBytes", "readObject", "bytesAvailable", "endian",
               "objectEncoding"});
  bindThrough(m, installInterface(m, "flash.utils", "IDataOutput"), byteArray,
              "flash.utils:IDataOutput",
              {"writeBoolean", "writeByte", "writeShort", "writeInt", "writeUnsignedInt",
               "writeFloat", "writeDouble", "writeUTF", "writeUTFBytes", "writeMultiByte",
               "writeBytes", "writeObject", "endian", "objectEncoding"});
}

}  // namespace orv::movie::avm2
