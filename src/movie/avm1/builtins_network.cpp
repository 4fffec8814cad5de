// Objects that talk to other programs: XMLSocket (a TCP connection to a server) and
// LocalConnection (messages between movies on this machine). This player opens no
// network connection, so XMLSocket.connect fails; LocalConnection names are checked
// and reserved as the player does.
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <string>

#include "movie/avm1/host_builtins.h"

namespace orv::movie::avm1 {

namespace {

FunctionObject* defineClass(Vm& vm, const char* name, Object** protoOut) {
  Object* proto = vm.newObject();
  FunctionObject* fn = vm.newNative([](Vm&, CallInfo&) -> Value { return Value(); }, proto);
  vm.global->put(name, Value(fn), kDontEnum, vm.caseInsensitive());
  *protoOut = proto;
  return fn;
}

std::string lowered(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Methods of LocalConnection itself cannot be called through send().
bool reservedMethod(const std::string& name) {
  const std::string n = lowered(name);
  for (const char* r :
       {"send", "connect", "close", "domain", "onstatus", "allowdomain", "allowinsecuredomain"})
    if (n == r) return true;
  return false;
}

// Connection names in use in this player, each with the object that holds it.
struct LocalConnections {
  std::map<std::string, Object*> byName;
  const std::string* nameOf(Object* o) const {
    for (auto& [name, holder] : byName)
      if (holder == o) return &name;
    return nullptr;
  }
};

void installXmlSocket(Vm& vm) {
  Object* proto = nullptr;
  defineClass(vm, "XMLSocket", &proto);
  // No connection is ever opened: connect reports failure at once.
  vm.defineMethod(proto, "connect", [](Vm&, CallInfo&) -> Value { return Value(false); });
  vm.defineMethod(proto, "send", [](Vm&, CallInfo&) -> Value { return Value(); });
  vm.defineMethod(proto, "close", [](Vm&, CallInfo&) -> Value { return Value(); });
  // Data that arrives becomes an XML document for onXML.
  vm.defineMethod(proto, "onData", [](Vm& vm, CallInfo& c) -> Value {
    Value xml = vm.getMember(vm.global, "XML");
    Value doc;
    if (xml.isObject()) {
      Value src = c.arg(0);
      doc = vm.construct(xml, std::span<Value>(&src, 1));
    }
    vm.callMethod(c.thisValue, "onXML", std::span<Value>(&doc, 1));
    return Value();
  });
}

void installLocalConnection(Vm& vm) {
  Object* proto = nullptr;
  defineClass(vm, "LocalConnection", &proto);
  auto connections = std::make_shared<LocalConnections>();
  vm.defineMethod(proto, "connect", [connections](Vm&, CallInfo& c) -> Value {
    Object* self = c.thisObject();
    if (!self || !c.arg(0).isString() || c.arg(0).asString().empty()) return Value(false);
    if (connections->nameOf(self)) return Value(false);  // already listening
    const std::string name = lowered(c.arg(0).asString());
    if (connections->byName.count(name)) return Value(false);
    connections->byName[name] = self;
    return Value(true);
  });
  vm.defineMethod(proto, "close", [connections](Vm&, CallInfo& c) -> Value {
    if (const std::string* name = connections->nameOf(c.thisObject()))
      connections->byName.erase(*name);
    return Value();
  });
  // A movie read from a file belongs to the local machine.
  vm.defineMethod(proto, "domain", [](Vm&, CallInfo&) -> Value { return Value("localhost"); });
  // send(connection, method, args...): the request is accepted when both names are
  // strings and the method is not one of the connection's own.
  vm.defineMethod(proto, "send", [](Vm&, CallInfo& c) -> Value {
    if (c.args.size() < 2 || !c.arg(0).isString() || !c.arg(1).isString()) return Value(false);
    const std::string method = c.arg(1).asString();
    if (method.empty() || reservedMethod(method)) return Value(false);
    return Value(true);
  });
}

}  // namespace

void installNetworkObjects(Vm& vm) {
  installXmlSocket(vm);
  if (vm.version() >= 6) {
    installLocalConnection(vm);
    installSharedObject(vm);
  }
}

}  // namespace orv::movie::avm1
