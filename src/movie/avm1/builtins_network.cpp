// Objects that talk to other programs: XMLSocket (a TCP connection to a server) and
// LocalConnection (messages between movies on this machine). This player opens no
// network connection, so XMLSocket.connect fails; LocalConnection names are checked
// and reserved as the player does.
#include <algorithm>
#include <cctype>
#include <map>
#include <string>

#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"

namespace orv::movie::avm1 {

namespace {

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

Value refuse(Vm&, CallInfo&) { return Value(false); }

// Data that arrives becomes an XML document for onXML.
Value socketData(Vm& vm, CallInfo& c) {
  Value xml = vm.getMember(vm.global, "XML");
  Value doc;
  if (xml.isObject()) {
    Value src = c.arg(0);
    doc = vm.construct(xml, std::span<Value>(&src, 1));
  }
  vm.callMethod(c.thisValue, "onXML", std::span<Value>(&doc, 1));
  return Value();
}

// No connection is ever opened: connect reports failure at once.
constexpr NativeMember kSocketPrototype[] = {
    method("connect", refuse),
    method("send", nothing),
    method("close", nothing),
    method("onData", socketData),
};
constexpr NativeClass kSocketClass{
    .name = "XMLSocket", .constructor = nothing, .prototype = kSocketPrototype};

Value openConnection(Vm& vm, CallInfo& c) {
  LocalConnections& connections = vm.builtinState<LocalConnections>();
  Object* self = c.thisObject();
  if (!self || !c.arg(0).isString() || c.arg(0).asString().empty()) return Value(false);
  if (connections.nameOf(self)) return Value(false);  // already listening
  const std::string name = lowered(c.arg(0).asString());
  if (connections.byName.count(name)) return Value(false);
  connections.byName[name] = self;
  return Value(true);
}

Value closeConnection(Vm& vm, CallInfo& c) {
  LocalConnections& connections = vm.builtinState<LocalConnections>();
  if (const std::string* name = connections.nameOf(c.thisObject())) connections.byName.erase(*name);
  return Value();
}

// A movie read from a file belongs to the local machine.
Value domain(Vm&, CallInfo&) { return Value("localhost"); }

// send(connection, method, args...): the request is accepted when both names are strings
// and the method is not one of the connection's own.
Value sendTo(Vm&, CallInfo& c) {
  if (c.args.size() < 2 || !c.arg(0).isString() || !c.arg(1).isString()) return Value(false);
  const std::string method = c.arg(1).asString();
  if (method.empty() || reservedMethod(method)) return Value(false);
  return Value(true);
}

constexpr NativeMember kConnectionPrototype[] = {
    method("connect", openConnection),
    method("close", closeConnection),
    method("domain", domain),
    method("send", sendTo),
};
constexpr NativeClass kConnectionClass{
    .name = "LocalConnection", .constructor = nothing, .prototype = kConnectionPrototype};

}  // namespace

void installNetworkObjects(Vm& vm) {
  installClass(vm, vm.global, kSocketClass);
  if (vm.version() >= 6) {
    installClass(vm, vm.global, kConnectionClass);
    installSharedObject(vm);
  }
}

}  // namespace orv::movie::avm1
