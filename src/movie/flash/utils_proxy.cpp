// flash.utils.Proxy: an object whose subclass answers, in the flash_proxy namespace, for
// every property its class does not declare: reads, writes, calls, `in`, delete and
// for-in. Proxy's own handlers throw #2088 until a subclass overrides them.
#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

constexpr const char* kProxyUri = "http://www.adobe.com/2006/actionscript/flash/proxy";

const Namespace* proxyNamespace(Machine& m) {
  return m.namespaces.get(NamespaceKind::User, m.intern(kProxyUri));
}

class ProxyObject : public HookedObject {
 public:
  using HookedObject::HookedObject;

  bool getHook(Machine& m, const Name& n, Value& out) override {
    if (declared(n)) return false;
    Value a[1] = {nameValue(m, n)};
    out = handler(m, "getProperty", a);
    return true;
  }
  bool setHook(Machine& m, const Name& n, Value& v) override {
    if (declared(n)) return false;
    Value a[2] = {nameValue(m, n), v};
    handler(m, "setProperty", a);
    return true;
  }
  bool hasHook(Machine& m, const Name& n, bool& out) override {
    if (declared(n)) return false;
    Value a[1] = {nameValue(m, n)};
    out = toBoolean(handler(m, "hasProperty", a));
    return true;
  }
  bool deleteHook(Machine& m, const Name& n, bool& out) override {
    if (declared(n)) return false;
    Value a[1] = {nameValue(m, n)};
    out = toBoolean(handler(m, "deleteProperty", a));
    return true;
  }
  bool callHook(Machine& m, const Name& n, std::span<Value> args, Value& out) override {
    if (declared(n)) return false;
    std::vector<Value> a;
    a.reserve(args.size() + 1);
    a.push_back(nameValue(m, n));
    a.insert(a.end(), args.begin(), args.end());
    out = handler(m, "callProperty", a);
    return true;
  }

  bool enumerates() const override { return true; }
  uint32_t nextIndexHook(Machine& m, uint32_t index) override {
    Value a[1] = {Value(int32_t(index))};
    return static_cast<uint32_t>(std::max(0, m.toInt(handler(m, "nextNameIndex", a))));
  }
  Value nameAtHook(Machine& m, uint32_t index) override {
    Value a[1] = {Value(int32_t(index))};
    return handler(m, "nextName", a);
  }
  Value valueAtHook(Machine& m, uint32_t index) override {
    Value a[1] = {Value(int32_t(index))};
    return handler(m, "nextValue", a);
  }

 private:
  bool declared(const Name& n) const { return !n.name || (traits() && traits()->find(n)); }

  Value handler(Machine& m, const char* name, std::span<Value> args) {
    Name h;
    h.name = m.intern(name);
    h.ns = proxyNamespace(m);
    return m.callProperty(Value(this), h, args);
  }

  // The name as the handlers receive it: a QName of its namespace's URI and local name
  // (the empty URI for a public or a set of namespaces), or its text without QName.
  static Value nameValue(Machine& m, const Name& n) {
    String* uri = m.intern("");
    if (n.ns && n.ns != m.publicNs) uri = n.ns->uri;
    if (ClassObject* qname = m.findClass("QName")) {
      Value a[2] = {Value(uri), Value(n.name)};
      return m.construct(Value(static_cast<Object*>(qname)), a);
    }
    return Value(n.name);
  }
};

Object* allocProxy(Machine& m, ClassObject* cls) {
  return m.heap.make<ProxyObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

template <int Which>
Value notImplemented(Machine& m, const Value&, std::span<Value>) {
  static const char* const kNames[] = {"getProperty",   "setProperty",  "callProperty",
                                       "hasProperty",   "deleteProperty", "getDescendants",
                                       "nextNameIndex", "nextName",     "nextValue",
                                       "isAttribute"};
  failAs(m, "flash.errors.IllegalOperationError", 2088,
         std::string("The Proxy class does not implement ") + kNames[Which] +
             ". It must be overridden by a subclass.");
}

Value isAttribute(Machine&, const Value&, std::span<Value>) { return Value(false); }

struct Handler {
  const char* name;
  NativeCode code;
  int length;
};

const Handler kHandlers[] = {
    {"getProperty", notImplemented<0>, 1},   {"setProperty", notImplemented<1>, 2},
    {"callProperty", notImplemented<2>, 1},  {"hasProperty", notImplemented<3>, 1},
    {"deleteProperty", notImplemented<4>, 1}, {"getDescendants", notImplemented<5>, 1},
    {"nextNameIndex", notImplemented<6>, 1}, {"nextName", notImplemented<7>, 1},
    {"nextValue", notImplemented<8>, 1},     {"isAttribute", isAttribute, 1},
};

}  // namespace

void installProxy(Machine& m) {
  const Namespace* ns = proxyNamespace(m);
  m.defineGlobal(m.intern("flash_proxy"), m.namespaces.get(NamespaceKind::Public, m.intern("flash.utils")),
                 Value(ns));
  ClassObject* cls = installClass(
      m, {.package = "flash.utils", .name = "Proxy", .alloc = allocProxy, .dynamic = false});
  Traits& t = *cls->instanceTraits;
  for (const Handler& h : kHandlers) {
    uint32_t index = t.addMethod({m.nativeMethod(h.code, h.length, h.name), cls});
    t.bind(m.intern(h.name), ns, {BindKind::Method, index});
  }
}

}  // namespace orv::movie::avm2
