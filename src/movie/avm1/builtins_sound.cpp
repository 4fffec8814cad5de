// Sound: volume and balance of a clip's sounds (or of the whole movie), the sound attached
// from the library or loaded from a file, and its onLoad / onSoundComplete events.
//
// A Sound made on a clip keeps that clip's target path as well as the clip: once the clip
// is gone, a new clip at the same path takes its place, as the player's references do.
// Volume and balance live on the clip's script object (a new clip starts at 100), those of
// a Sound made on nothing on the global object (the whole movie). This player loads no
// sound files, so loadSound reports failure through onLoad(false) on the next frame.
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

#include "movie/avm1/frame.h"
#include "movie/avm1/loading.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

class SoundObject : public Object {
 public:
  SoundObject() : Object(ObjectKind::Other) { className = "Sound"; }
  bool global = true;            // made on nothing: the whole movie's sound
  Object* clipObject = nullptr;  // the clip it was made on, while it lives
  std::string clipPath;          // where to find a clip that took its place
  std::string attached;          // linkage name given to attachSound
  int loaded = 0;                // the host's number of the file loadSound read, 0: none
  double loadedBytes = 0;        // its size
  int playing = 0;               // the host's handle of the sound last started, 0: none
  double positionMs = 0;         // where it was last seen
  void traceRefs(std::vector<Object*>& out) override {
    Object::traceRefs(out);
    if (clipObject) out.push_back(clipObject);
  }
};

SoundObject* soundOf(const Value& v) {
  return v.isObject() ? dynamic_cast<SoundObject*>(v.asObject()) : nullptr;
}

// The object holding the transform this Sound works on, or null when its clip is gone
// (or it was made on something that is no clip).
Object* holderOf(Vm& vm, SoundObject* s) {
  if (!s) return nullptr;
  if (s->global) return vm.global;
  if (s->clipObject && s->clipObject->clip) return s->clipObject;
  if (s->clipPath.empty()) return nullptr;
  ScriptClip* root = vm.rootClip();
  Object* rootObject = root ? vm.objectFor(root) : nullptr;
  Object* found = rootObject ? vm.clipObjectAtPath(rootObject, s->clipPath) : nullptr;
  if (!found || found->kind != ObjectKind::Clip || !found->clip) return nullptr;
  s->clipObject = found;
  return found;
}

SoundTransform* transformOf(Vm& vm, const Value& self, bool create) {
  Object* holder = holderOf(vm, soundOf(self));
  if (!holder) return nullptr;
  if (!holder->soundTransform && create)
    holder->soundTransform = std::make_unique<SoundTransform>();
  static SoundTransform unchanged;
  unchanged = SoundTransform{};
  return holder->soundTransform ? holder->soundTransform.get() : &unchanged;
}

// Flash keeps volume and pan as whole numbers.
double wholeNumber(Vm& vm, const Value& v) {
  double n = vm.toNumber(v);
  if (!std::isfinite(n)) return 0;
  return std::trunc(n);
}

// What started sounds are known by: the clip's script object for a clip's Sound, the
// global object for the whole movie's.
const void* ownerKey(Vm& vm, SoundObject* s) {
  if (!s) return nullptr;
  if (s->global) return vm.global;
  return holderOf(vm, s);
}

// The linear gains of a transform: volume times each side's own level.
std::pair<double, double> gainsOf(const SoundTransform& t) {
  return {t.volume / 100 * t.ll / 100, t.volume / 100 * t.rr / 100};
}

// A changed transform reaches what is playing: the movie's for a Sound made on nothing,
// else the sounds this clip's Sounds started.
void applyTransform(Vm& vm, const Value& self) {
  SoundObject* s = soundOf(self);
  Object* holder = holderOf(vm, s);
  if (!holder || !holder->soundTransform) return;
  auto [left, right] = gainsOf(*holder->soundTransform);
  vm.host().setSoundGains(s->global ? nullptr : holder, left, right);
}

ScriptClip* clipOfSound(Vm& vm, SoundObject* s) {
  Object* holder = s && !s->global ? holderOf(vm, s) : nullptr;
  return holder ? holder->clip : nullptr;
}

// What start() plays: the file loaded last, else the sound attached last.
ScriptHost::SoundSource sourceOf(Vm& vm, SoundObject* s) {
  ScriptHost::SoundSource source;
  if (!s) return source;
  source.clip = clipOfSound(vm, s);
  source.linkage = s->attached;
  source.loaded = s->loaded;
  return source;
}

bool hasSound(SoundObject* s) { return s && (s->loaded || !s->attached.empty()); }

// Starts what the Sound holds; the handle is kept for getPosition and onSoundComplete.
void startPlaying(Vm& vm, const Value& self, double offset, double loops) {
  SoundObject* s = soundOf(self);
  if (!hasSound(s)) return;
  if (!std::isfinite(loops) || loops < 1) loops = 1;
  const void* owner = ownerKey(vm, s);
  if (!owner) return;
  double left = 1, right = 1;
  if (!s->global)
    if (Object* holder = holderOf(vm, s); holder && holder->soundTransform)
      std::tie(left, right) = gainsOf(*holder->soundTransform);
  const int handle = vm.host().startSound(sourceOf(vm, s), owner, offset,
                                          int(std::min(loops, 65535.0)), left, right);
  if (handle <= 0) return;
  if (s->playing) vm.playingSounds.erase(s->playing);
  s->playing = handle;
  s->positionMs = 0;
  vm.playingSounds[handle] = self;
}

void setPan(SoundTransform& t, double pan) {
  t.pan = pan;
  t.lr = t.rl = 0;
  t.ll = pan > 0 ? 100 - pan : 100;
  t.rr = pan < 0 ? 100 + pan : 100;
}

Value construct(Vm& vm, CallInfo& c) {
  if (!c.isConstruct) return Value();
  const bool ci = vm.caseInsensitive();
  auto* self = vm.allocate<SoundObject>();
  Value proto = vm.getMember(c.callee, "prototype");
  self->put("__proto__", proto.isObject() ? proto : Value(vm.objectProto), kDontEnum | kDontDelete,
            ci);
  self->put("__constructor__", c.callee, kDontEnum, ci);
  const Value target = c.arg(0);
  if (!target.isUndefined() && !target.isNull()) {
    self->global = false;
    if (ScriptClip* clip = vm.clipOf(target)) {
      self->clipObject = target.asObject();
      self->clipPath = vm.targetPath(clip);
    }
  }
  self->put("checkPolicyFile", Value(false), 0, ci);
  return Value(self);
}

Value getVolume(Vm& vm, CallInfo& c) {
  SoundTransform* t = transformOf(vm, c.thisValue, false);
  return t ? Value(t->volume) : Value();
}

Value setVolume(Vm& vm, CallInfo& c) {
  if (c.args.empty()) return Value();
  if (SoundTransform* t = transformOf(vm, c.thisValue, true)) t->volume = wholeNumber(vm, c.arg(0));
  applyTransform(vm, c.thisValue);
  return Value();
}

Value getPan(Vm& vm, CallInfo& c) {
  SoundTransform* t = transformOf(vm, c.thisValue, false);
  return t ? Value(t->pan) : Value();
}

Value setPanTo(Vm& vm, CallInfo& c) {
  if (c.args.empty()) return Value();
  if (SoundTransform* t = transformOf(vm, c.thisValue, true)) setPan(*t, wholeNumber(vm, c.arg(0)));
  applyTransform(vm, c.thisValue);
  return Value();
}

Value getTransform(Vm& vm, CallInfo& c) {
  SoundTransform* t = transformOf(vm, c.thisValue, false);
  if (!t) return Value();
  Object* o = vm.newObject();
  for (auto [name, v] : {std::pair{"ll", t->ll}, {"lr", t->lr}, {"rr", t->rr}, {"rl", t->rl}})
    vm.setMember(o, name, Value(v));
  return Value(o);
}

Value setTransform(Vm& vm, CallInfo& c) {
  if (!c.arg(0).isObject()) return Value();
  Object* from = c.arg(0).asObject();
  SoundTransform* t = transformOf(vm, c.thisValue, true);
  if (!t) return Value();
  // Fields left out keep their value.
  for (auto [name, field] :
       {std::pair{"ll", &t->ll}, {"lr", &t->lr}, {"rr", &t->rr}, {"rl", &t->rl}}) {
    Value v = vm.getMember(from, name);
    if (!v.isUndefined()) *field = wholeNumber(vm, v);
  }
  // The balance follows: what the left speaker loses is the pan to the right.
  t->pan = t->ll < 100 ? 100 - t->ll : (t->rr < 100 ? t->rr - 100 : 0);
  applyTransform(vm, c.thisValue);
  return Value();
}

Value attachSound(Vm& vm, CallInfo& c) {
  if (SoundObject* s = soundOf(c.thisValue); s && !c.args.empty()) {
    s->attached = vm.toString(c.arg(0));
    s->loaded = 0;
  }
  return Value();
}

// start(secondOffset, loops): the sound plays again from the offset, as many times as
// asked; each start is one more voice.
Value start(Vm& vm, CallInfo& c) {
  startPlaying(vm, c.thisValue, c.args.size() > 0 ? vm.toNumber(c.arg(0)) : 0,
               c.args.size() > 1 ? vm.toNumber(c.arg(1)) : 1);
  return Value();
}

// stop(linkage): the sounds this Sound's clip started (all, or that one); a Sound made
// on nothing stops every sound (or that one, wherever it plays).
Value stop(Vm& vm, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  if (!s) return Value();
  ScriptHost::SoundSource named;
  named.clip = clipOfSound(vm, s);
  if (!c.args.empty()) named.linkage = vm.toString(c.arg(0));
  if (s->global)
    vm.host().stopScriptSounds(named, nullptr);
  else if (const void* owner = ownerKey(vm, s))
    vm.host().stopScriptSounds(named, owner);
  return Value();
}

// Milliseconds, whole: the sound's length, and how far the last start got.
Value duration(Vm& vm, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  if (!hasSound(s)) return Value();
  std::optional<double> ms = vm.host().soundDurationMs(sourceOf(vm, s));
  return ms ? Value(std::floor(*ms)) : Value();
}

Value position(Vm& vm, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  if (!hasSound(s)) return Value();
  if (s->playing)
    if (std::optional<double> ms = vm.host().soundPositionMs(s->playing)) s->positionMs = *ms;
  return Value(std::floor(s->positionMs));
}

// Byte counts of a loaded file; library sounds have none.
Value loadedBytes(Vm&, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  return s && s->loaded ? Value(s->loadedBytes) : Value();
}

// What loadSound queues: the file is read a frame later.
Value arrive(Vm& vm, CallInfo& c) {
  SoundObject* s = soundOf(c.arg(0));
  if (!s) return Value();
  const std::string url = vm.toString(c.arg(1));
  std::optional<std::vector<uint8_t>> bytes = vm.host().readFile(url, LoadQueue::kMaxFileBytes);
  const int loaded = bytes ? vm.host().addLoadedSound(*bytes) : 0;
  if (loaded) {
    s->loaded = loaded;
    s->loadedBytes = double(bytes->size());
    s->attached.clear();
    if (vm.toBool(c.arg(2))) startPlaying(vm, c.arg(0), 0, 1);
  }
  std::vector<Value> args{Value(loaded != 0)};
  vm.callMethod(c.arg(0), "onLoad", args);
  return Value();
}

// loadSound(url, isStreaming): the file (MP3, from the movie's own folder) is read and
// decoded on the next frame; onLoad(true) then, and a streaming sound starts playing at
// once. A missing or broken file gives onLoad(false).
Value loadSound(Vm& vm, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  if (!s || c.args.empty()) return Value();
  Vm::Interval load;
  load.id = -static_cast<int>(vm.intervals.size()) - 1;
  while (vm.intervals.count(load.id)) --load.id;
  load.fn = Value(nativeFunction(vm, arrive));
  load.args = {c.thisValue, Value(vm.toString(c.arg(0))), Value(vm.toBool(c.arg(1)))};
  load.periodMs = 0;
  load.nextDueMs = vm.host().timerMs();
  load.once = true;
  vm.intervals[load.id] = load;
  return Value();
}

constexpr NativeMember kPrototype[] = {
    method("getVolume", getVolume),
    method("setVolume", setVolume),
    method("getPan", getPan),
    method("setPan", setPanTo),
    method("getTransform", getTransform),
    method("setTransform", setTransform),
    method("attachSound", attachSound),
    method("start", start),
    method("stop", stop),
    method("getDuration", duration).since(6),
    method("getPosition", position).since(6),
    getter("duration", duration).since(6),
    getter("position", position).since(6),
    method("getBytesLoaded", loadedBytes).since(6),
    method("getBytesTotal", loadedBytes).since(6),
    method("setDuration", nothing).since(6),
    method("setPosition", nothing).since(6),
    method("loadSound", loadSound).since(6),
};
constexpr NativeClass kSoundClass{.name = "Sound",
                                  .constructor = construct,
                                  .prototype = kPrototype,
                                  .constructsOwnObject = true};

}  // namespace

void installSoundBuiltins(Vm& vm) { installClass(vm, vm.global, kSoundClass); }

void Vm::runSoundCompletions() {
  std::vector<std::pair<int, Value>> ended;
  for (auto& [handle, sound] : playingSounds)
    if (!host_.soundPositionMs(handle)) ended.emplace_back(handle, sound);
  for (auto& [handle, sound] : ended) {
    playingSounds.erase(handle);
    SoundObject* s = soundOf(sound);
    if (!s || s->playing != handle) continue;
    s->playing = 0;
    // A finished sound stands at its end.
    if (std::optional<double> ms = host_.soundDurationMs(sourceOf(*this, s))) s->positionMs = *ms;
    callMethodIfPresent(sound.asObject(), "onSoundComplete");
  }
}

}  // namespace orv::movie::avm1
