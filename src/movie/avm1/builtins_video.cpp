// Video (a video display), NetConnection and NetStream (a video stream's source). This
// player decodes no FLV stream and opens no network connection: a NetConnection
// connects only to null (files on this machine), and streams have nothing to show.
#include <memory>
#include <set>

#include "movie/avm1/host_builtins.h"

namespace orv::movie::avm1 {

namespace {

FunctionObject* defineClass(Vm& vm, const char* name, NativeFn ctor, Object* proto) {
  FunctionObject* fn = vm.newNative(std::move(ctor), proto);
  vm.global->put(name, Value(fn), kDontEnum, vm.caseInsensitive());
  return fn;
}

Value none(Vm&, CallInfo&) { return Value(); }

}  // namespace

void installVideoObjects(Vm& vm) {
  if (vm.version() < 6) return;  // the classes came with SWF 6

  Object* videoProto = vm.newObject();
  defineClass(vm, "Video", none, videoProto);
  // No source can be attached, so there is never a picture to show or clear.
  vm.defineMethod(videoProto, "attachVideo", none);
  vm.defineMethod(videoProto, "clear", none);

  // NetConnection objects that connected (to null: local files), kept while they live
  // in this machine.
  auto connected = std::make_shared<std::set<Object*>>();
  Object* ncProto = vm.newObject();
  defineClass(vm, "NetConnection", none, ncProto);
  vm.defineMethod(ncProto, "connect", [connected](Vm&, CallInfo& c) -> Value {
    Object* self = c.thisObject();
    if (!self) return Value(false);
    if (!c.arg(0).isNull()) {  // a server: no network here
      connected->erase(self);
      return Value(false);
    }
    connected->insert(self);
    return Value(true);
  });
  vm.defineMethod(ncProto, "close", [connected](Vm&, CallInfo& c) -> Value {
    connected->erase(c.thisObject());
    return Value();
  });

  // A stream made on a connected NetConnection gives NetStream's current prototype the
  // read-only state of a stream; nothing is ever loaded or played.
  Object* nsProto = vm.newObject();
  defineClass(
      vm, "NetStream",
      [connected](Vm& vm, CallInfo& c) -> Value {
        Object* self = c.thisObject();
        Object* nc = c.arg(0).isObject() ? c.arg(0).asObject() : nullptr;
        if (!self || !nc || !connected->count(nc)) return Value();
        Value protoValue = vm.getMember(vm.getMember(vm.global, "NetStream"), "prototype");
        Object* proto = vm.toObject(protoValue);
        if (!proto) return Value();
        for (const char* name :
             {"currentFps", "bufferLength", "time", "bytesLoaded", "bytesTotal", "liveDelay"}) {
          Property& p = proto->defineOwn(name, vm.caseInsensitive());
          p.getter = vm.newNative([](Vm&, CallInfo&) -> Value { return Value(0.0); });
          p.flags = kDontEnum | kDontDelete;
        }
        return Value();
      },
      nsProto);
  for (const char* name : {"close", "pause", "play", "seek", "setBufferTime"})
    vm.defineMethod(nsProto, name, none);
}

}  // namespace orv::movie::avm1
