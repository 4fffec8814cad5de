// flash.net.NetConnection as a local movie sees it: connect(null) connects (files on this
// machine), any other command is a server this player cannot reach and leaves it
// unconnected with the address kept (close() forgets it). What only a connection has is ArgumentError #2126
// until it connects.
#include <string>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/net_connection.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

class ConnectionObject : public Object {
 public:
  using Object::Object;
  bool connected = false;
  Value uri = Value::null();
  Value client;  // undefined: the connection itself
  double maxPeerConnections = 8;
  std::string proxyType = "none";

  void markChildren(Marker& m) const override {
    Object::markChildren(m);
    m.mark(uri);
    m.mark(client);
  }
};

ConnectionObject* self_(Machine& m, const Value& self) {
  return receiver<ConnectionObject>(m, self, "NetConnection");
}
ConnectionObject* connected(Machine& m, const Value& self) {
  ConnectionObject* c = self_(m, self);
  if (!c->connected) m.fail(ErrorClass::ArgumentError, 2126);
  return c;
}

Object* allocConnection(Machine& m, ClassObject* cls) {
  return m.heap.make<ConnectionObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value connect(Machine& m, const Value& self, std::span<Value> args) {
  ConnectionObject* c = self_(m, self);
  const Value command = arg(args, 0);
  c->connected = command.isNull() || command.isUndefined();
  c->uri = c->connected ? Value(m.intern("null")) : Value(m.toString(command));
  return Value();
}
Value close(Machine& m, const Value& self, std::span<Value>) {
  ConnectionObject* c = self_(m, self);
  c->connected = false;
  c->uri = Value::null();
  return Value();
}

Value client(Machine& m, const Value& self, std::span<Value>) {
  ConnectionObject* c = self_(m, self);
  return c->client.isUndefined() ? self : c->client;
}
Value setClient(Machine& m, const Value& self, std::span<Value> args) {
  ConnectionObject* c = self_(m, self);
  const Value v = arg(args, 0);
  if (!v.isObject()) m.fail(ErrorClass::TypeError, 2004);
  c->client = v;
  return Value();
}
Value isConnected(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->connected);
}
Value uri(Machine& m, const Value& self, std::span<Value>) { return self_(m, self)->uri; }
Value none(Machine& m, const Value& self, std::span<Value>) {
  connected(m, self);
  return Value(m.intern("none"));
}
Value emptyId(Machine& m, const Value& self, std::span<Value>) {
  connected(m, self);
  return Value(m.intern(""));
}
// A local connection has no peer: its nonces are all zeros.
Value zeroNonce(Machine& m, const Value& self, std::span<Value>) {
  connected(m, self);
  return Value(m.intern(std::string(64, '0')));
}
Value protocol(Machine& m, const Value& self, std::span<Value>) {
  connected(m, self);
  return Value(m.intern("rtmp"));
}
Value usingTls(Machine& m, const Value& self, std::span<Value>) {
  connected(m, self);
  return Value(false);
}
Value peerStreams(Machine& m, const Value& self, std::span<Value>) {
  connected(m, self);
  return Value(static_cast<Object*>(m.newArray()));
}
Value maxPeers(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->maxPeerConnections);
}
Value setMaxPeers(Machine& m, const Value& self, std::span<Value> args) {
  self_(m, self)->maxPeerConnections = double(m.toUint(arg(args, 0)));
  return Value();
}
Value proxyType(Machine& m, const Value& self, std::span<Value>) {
  return Value(m.intern(self_(m, self)->proxyType));
}
Value setProxyType(Machine& m, const Value& self, std::span<Value> args) {
  self_(m, self)->proxyType = std::string(m.toString(arg(args, 0)).view());
  return Value();
}
Value objectEncoding(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value(3);
}

const NativeMember kMembers[] = {
    {"connect", MemberKind::Method, connect},
    {"close", MemberKind::Method, close},
    {"client", MemberKind::Getter, client},
    {"client", MemberKind::Setter, setClient},
    {"connected", MemberKind::Getter, isConnected},
    {"connectedProxyType", MemberKind::Getter, none},
    {"farID", MemberKind::Getter, emptyId},
    {"farNonce", MemberKind::Getter, zeroNonce},
    {"maxPeerConnections", MemberKind::Getter, maxPeers},
    {"maxPeerConnections", MemberKind::Setter, setMaxPeers},
    {"nearID", MemberKind::Getter, emptyId},
    {"nearNonce", MemberKind::Getter, zeroNonce},
    {"objectEncoding", MemberKind::Getter, objectEncoding},
    {"protocol", MemberKind::Getter, protocol},
    {"proxyType", MemberKind::Getter, proxyType},
    {"proxyType", MemberKind::Setter, setProxyType},
    {"unconnectedPeerStreams", MemberKind::Getter, peerStreams},
    {"uri", MemberKind::Getter, uri},
    {"usingTLS", MemberKind::Getter, usingTls},
};

}  // namespace

void installNetConnection(Machine& m) {
  installClass(m, {.package = "flash.net",
                   .name = "NetConnection",
                   .base = "flash.events.EventDispatcher",
                   .members = kMembers,
                   .alloc = allocConnection,
                   .dynamic = false});
}

}  // namespace orv::movie::avm2
