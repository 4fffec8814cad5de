// Video (a video display), NetConnection and NetStream (a video stream's source). This
// player decodes no FLV stream and opens no network connection: a NetConnection
// connects only to null (files on this machine), and streams have nothing to show.
#include <set>

#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"

namespace orv::movie::avm1 {

namespace {

// NetConnection objects that connected (to null: local files), kept while they live in
// this machine.
struct Connected {
  std::set<Object*> objects;
};

// No source can be attached, so there is never a picture to show or clear.
constexpr NativeMember kVideoPrototype[] = {
    method("attachVideo", nothing),
    method("clear", nothing),
};
constexpr NativeClass kVideoClass{
    .name = "Video", .constructor = nothing, .prototype = kVideoPrototype};

Value connect(Vm& vm, CallInfo& c) {
  std::set<Object*>& connected = vm.builtinState<Connected>().objects;
  Object* self = c.thisObject();
  if (!self) return Value(false);
  if (!c.arg(0).isNull()) {  // a server: no network here
    connected.erase(self);
    return Value(false);
  }
  connected.insert(self);
  return Value(true);
}

Value disconnect(Vm& vm, CallInfo& c) {
  vm.builtinState<Connected>().objects.erase(c.thisObject());
  return Value();
}

constexpr NativeMember kConnectionPrototype[] = {
    method("connect", connect),
    method("close", disconnect),
};
constexpr NativeClass kConnectionClass{
    .name = "NetConnection", .constructor = nothing, .prototype = kConnectionPrototype};

Value zero(Vm&, CallInfo&) { return Value(0.0); }

// The read-only state of a stream, on NetStream's prototype.
constexpr NativeMember kStreamState[] = {
    getter("currentFps", zero, kDontEnum | kDontDelete),
    getter("bufferLength", zero, kDontEnum | kDontDelete),
    getter("time", zero, kDontEnum | kDontDelete),
    getter("bytesLoaded", zero, kDontEnum | kDontDelete),
    getter("bytesTotal", zero, kDontEnum | kDontDelete),
    getter("liveDelay", zero, kDontEnum | kDontDelete),
};

// A stream made on a connected NetConnection gives NetStream's current prototype the
// read-only state of a stream; nothing is ever loaded or played.
Value constructStream(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  Object* nc = c.arg(0).isObject() ? c.arg(0).asObject() : nullptr;
  if (!self || !nc || !vm.builtinState<Connected>().objects.count(nc)) return Value();
  Value protoValue = vm.getMember(vm.getMember(vm.global, "NetStream"), "prototype");
  Object* proto = vm.toObject(protoValue);
  if (!proto) return Value();
  installMembers(vm, proto, kStreamState);
  return Value();
}

constexpr NativeMember kStreamPrototype[] = {
    method("close", nothing), method("pause", nothing),         method("play", nothing),
    method("seek", nothing),  method("setBufferTime", nothing),
};
constexpr NativeClass kStreamClass{
    .name = "NetStream", .constructor = constructStream, .prototype = kStreamPrototype};

}  // namespace

void installVideoObjects(Vm& vm) {
  if (vm.version() < 6) return;  // the classes came with SWF 6
  installClass(vm, vm.global, kVideoClass);
  installClass(vm, vm.global, kConnectionClass);
  installClass(vm, vm.global, kStreamClass);
}

}  // namespace orv::movie::avm1
