// Video (a video display), NetConnection and NetStream (a video stream's source). A
// NetConnection connects only to null (files on this machine: no network here); a stream
// made on it plays FLV files from the movie's own folder, in the host's stream, moved on
// by the player's clock each frame; a Video object shows the stream attached to it.
#include <set>

#include "movie/avm1/host_builtins.h"
#include "movie/avm1/loading.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/video_stream.h"

namespace orv::movie::avm1 {

namespace {

class StreamObject : public Object {
 public:
  StreamObject() : Object(ObjectKind::Other) { className = "NetStream"; }
  std::shared_ptr<ScriptVideoStream> stream;
};

StreamObject* streamOf(const Value& v) {
  return v.isObject() ? dynamic_cast<StreamObject*>(v.asObject()) : nullptr;
}
ScriptVideoStream* playerOf(const Value& v) {
  StreamObject* s = streamOf(v);
  return s ? s->stream.get() : nullptr;
}

// NetConnection objects that connected (to null: local files), and the streams made on
// them, kept alive (the holder) while they can still play and report.
struct VideoState {
  std::set<Object*> connected;
  std::vector<StreamObject*> streams;
  Object* holder = nullptr;
  std::shared_ptr<ScriptVideoHost> host;
  Object* videoProto = nullptr;
  double lastMs = -1;  // the player's clock when the streams last moved on
};

constexpr size_t kMaxStreams = 64;

// ---- Video ----

// The Video object `self` is, with the host that shows it; nullptr for anything else.
ScriptClip* videoOf(Vm& vm, const Value& self, ScriptVideoHost*& host) {
  host = videoHost(vm);
  ScriptClip* clip = host ? vm.clipOf(self) : nullptr;
  return clip && host->isVideo(clip) ? clip : nullptr;
}

Value attachVideo(Vm& vm, CallInfo& c) {
  ScriptVideoHost* host = nullptr;
  ScriptClip* clip = videoOf(vm, c.thisValue, host);
  if (!clip) return Value();
  StreamObject* s = streamOf(c.arg(0));
  host->attach(clip, s ? s->stream : nullptr);
  return Value();
}

Value clearVideo(Vm& vm, CallInfo& c) {
  ScriptVideoHost* host = nullptr;
  if (ScriptClip* clip = videoOf(vm, c.thisValue, host)) host->clear(clip);
  return Value();
}

Value videoSide(Vm& vm, CallInfo& c) {
  ScriptVideoHost* host = nullptr;
  ScriptClip* clip = videoOf(vm, c.thisValue, host);
  if (!clip) return Value();
  const auto [w, h] = host->pictureSize(clip);
  return Value(double(c.variant ? h : w));
}

// smoothing and deblocking are kept on the object; smoothing reaches the picture's drawing.
Value flagOf(Vm& vm, CallInfo& c, const char* slot) {
  Object* self = c.thisObject();
  return self ? Value(vm.toBool(vm.getMember(self, slot))) : Value();
}
Value getSmoothing(Vm& vm, CallInfo& c) { return flagOf(vm, c, "__smoothing"); }
Value setSmoothing(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  const bool on = vm.toBool(c.arg(0));
  self->put("__smoothing", Value(on), kDontEnum, vm.caseInsensitive());
  ScriptVideoHost* host = nullptr;
  if (ScriptClip* clip = videoOf(vm, c.thisValue, host)) host->setSmoothing(clip, on);
  return Value();
}
Value getDeblocking(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  return self ? Value(vm.toNumber(vm.getMember(self, "__deblocking"))) : Value();
}
Value setDeblocking(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject())
    self->put("__deblocking", Value(vm.toNumber(c.arg(0))), kDontEnum, vm.caseInsensitive());
  return Value();
}

constexpr NativeMember kVideoPrototype[] = {
    method("attachVideo", attachVideo),
    method("clear", clearVideo),
};
// The picture's size and drawing settings are each Video object's own, not its prototype's.
constexpr NativeMember kVideoInstance[] = {
    getter("width", videoSide),
    getter("height", videoSide, kDontEnum, 1),
    getter("smoothing", getSmoothing),
    setter("smoothing", setSmoothing),
    getter("deblocking", getDeblocking),
    setter("deblocking", setDeblocking),
};
constexpr NativeClass kVideoClass{
    .name = "Video", .constructor = nothing, .prototype = kVideoPrototype};

// ---- NetConnection ----

Value connect(Vm& vm, CallInfo& c) {
  std::set<Object*>& connected = vm.builtinState<VideoState>().connected;
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
  vm.builtinState<VideoState>().connected.erase(c.thisObject());
  return Value();
}

Value isConnected(Vm& vm, CallInfo& c) {
  return Value(vm.builtinState<VideoState>().connected.count(c.thisObject()) > 0);
}

constexpr NativeMember kConnectionPrototype[] = {
    method("connect", connect),
    method("close", disconnect),
    getter("isConnected", isConnected),
};
constexpr NativeClass kConnectionClass{
    .name = "NetConnection", .constructor = nothing, .prototype = kConnectionPrototype};

// ---- NetStream ----

Value zero(Vm&, CallInfo&) { return Value(0.0); }

template <double (ScriptVideoStream::*read)() const>
Value streamNumber(Vm&, CallInfo& c) {
  ScriptVideoStream* s = playerOf(c.thisValue);
  return Value(s ? (s->*read)() : 0.0);
}

// The read-only state of a stream, on NetStream's prototype once a stream is made.
constexpr NativeMember kStreamState[] = {
    getter("currentFps", streamNumber<&ScriptVideoStream::currentFps>, kDontEnum | kDontDelete),
    getter("bufferLength", streamNumber<&ScriptVideoStream::bufferLength>, kDontEnum | kDontDelete),
    getter("bufferTime", streamNumber<&ScriptVideoStream::bufferTime>, kDontEnum | kDontDelete),
    getter("time", streamNumber<&ScriptVideoStream::time>, kDontEnum | kDontDelete),
    getter("bytesLoaded", streamNumber<&ScriptVideoStream::bytesLoaded>, kDontEnum | kDontDelete),
    getter("bytesTotal", streamNumber<&ScriptVideoStream::bytesTotal>, kDontEnum | kDontDelete),
    getter("liveDelay", zero, kDontEnum | kDontDelete),
};

// new NetStream(connection): a stream only on a connection to null.
Value constructStream(Vm& vm, CallInfo& c) {
  if (!c.isConstruct) return Value();
  VideoState& state = vm.builtinState<VideoState>();
  Object* nc = c.arg(0).isObject() ? c.arg(0).asObject() : nullptr;
  auto* self = vm.allocate<StreamObject>();
  Value proto = vm.getMember(c.callee, "prototype");
  self->put("__proto__", proto.isObject() ? proto : Value(vm.objectProto), kDontEnum | kDontDelete,
            vm.caseInsensitive());
  self->put("__constructor__", c.callee, kDontEnum, vm.caseInsensitive());
  if (!nc || !state.connected.count(nc)) return Value(self);
  if (Object* p = vm.toObject(proto)) installMembers(vm, p, kStreamState);
  ScriptVideoHost* host = videoHost(vm);
  // Each stream may hold a whole file: a movie making streams without end gets no more.
  if (!host || state.streams.size() >= kMaxStreams) return Value(self);
  self->stream = host->makeStream();
  if (!self->stream) return Value(self);
  if (!state.holder) {
    state.holder = vm.newArray();
    vm.pin(state.holder);
  }
  vm.setMember(state.holder, std::to_string(state.streams.size()), Value(self));
  state.streams.push_back(self);
  return Value(self);
}

// play(name): a file beside the movie (the host refuses any other place).
Value play(Vm& vm, CallInfo& c) {
  ScriptVideoStream* s = playerOf(c.thisValue);
  if (!s || c.args.empty()) return Value();
  const std::string url = vm.toString(c.arg(0));
  s->play(url.empty() ? std::nullopt : vm.host().readFile(url, LoadQueue::kMaxFileBytes));
  return Value();
}

Value pause(Vm& vm, CallInfo& c) {
  if (ScriptVideoStream* s = playerOf(c.thisValue))
    s->pause(c.args.empty() || c.arg(0).isUndefined() ? std::nullopt
                                                       : std::optional<bool>(vm.toBool(c.arg(0))));
  return Value();
}

Value seek(Vm& vm, CallInfo& c) {
  if (ScriptVideoStream* s = playerOf(c.thisValue)) s->seek(vm.toNumber(c.arg(0)));
  return Value();
}

Value closeStream(Vm&, CallInfo& c) {
  if (ScriptVideoStream* s = playerOf(c.thisValue)) s->close();
  return Value();
}

Value setBufferTime(Vm& vm, CallInfo& c) {
  if (ScriptVideoStream* s = playerOf(c.thisValue)) s->setBufferTime(vm.toNumber(c.arg(0)));
  return Value();
}

constexpr NativeMember kStreamPrototype[] = {
    method("close", closeStream), method("pause", pause),         method("play", play),
    method("seek", seek),         method("setBufferTime", setBufferTime),
};
constexpr NativeClass kStreamClass{.name = "NetStream",
                                   .constructor = constructStream,
                                   .prototype = kStreamPrototype,
                                   .constructsOwnObject = true};

// Tells the script of one event: onStatus with an info object, or the data handler the
// file's script tag names.
void deliver(Vm& vm, StreamObject* s, ScriptVideoStream::Event& e) {
  Value arg;
  std::string handler = e.handler;
  if (handler.empty()) {
    Object* info = vm.newObject();
    vm.setMember(info, "code", Value(e.code));
    vm.setMember(info, "level", Value(e.level));
    arg = Value(info);
    handler = "onStatus";
  } else {
    arg = valueFromAmf(vm, e.graph, e.value);
  }
  vm.callMethod(Value(s), handler, std::span<Value>(&arg, 1));
}

}  // namespace

void installVideoMembers(Vm& vm, Object* video) { installMembers(vm, video, kVideoInstance); }

void setVideoHost(Vm& vm, std::shared_ptr<ScriptVideoHost> host) {
  vm.builtinState<VideoState>().host = std::move(host);
}
ScriptVideoHost* videoHost(Vm& vm) { return vm.builtinState<VideoState>().host.get(); }
Object* videoPrototype(Vm& vm) { return vm.builtinState<VideoState>().videoProto; }

void runVideoStreams(Vm& vm) {
  VideoState& state = vm.builtinState<VideoState>();
  if (state.streams.empty()) return;
  const double now = vm.host().timerMs();
  const double elapsed = state.lastMs < 0 ? 0 : now - state.lastMs;
  state.lastMs = now;
  const std::vector<StreamObject*> streams = state.streams;  // handlers may make more
  for (StreamObject* s : streams) {
    std::shared_ptr<ScriptVideoStream> stream = s->stream;
    if (!stream) continue;
    stream->advance(elapsed);
    // A bounded number per frame: a handler that keeps seeking cannot hold the frame.
    for (int n = 0; n < 64; ++n) {
      std::optional<ScriptVideoStream::Event> e = stream->nextEvent();
      if (!e) break;
      if (!vm.runGuarded([&] { deliver(vm, s, *e); })) return;
    }
  }
}

void installVideoObjects(Vm& vm) {
  if (vm.version() < 6) return;  // the classes came with SWF 6
  VideoState& state = vm.builtinState<VideoState>();
  state.videoProto = vm.newObject();
  vm.pin(state.videoProto);
  installClass(vm, vm.global, kVideoClass, state.videoProto);
  installClass(vm, vm.global, kConnectionClass);
  installClass(vm, vm.global, kStreamClass);
}

}  // namespace orv::movie::avm1
