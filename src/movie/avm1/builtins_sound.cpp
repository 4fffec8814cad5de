// Sound: volume and balance of a clip's sounds (or of the whole movie), the sound attached
// from the library or loaded from a file (with its ID3 tags), and its onID3 / onLoad /
// onSoundComplete events.
//
// A Sound made on a clip (or on a path) keeps the target's path and finds the clip there
// on every use: once the clip is renamed it is no longer its clip, and a new clip at that
// path takes its place. Volume and balance live on the clip's script object (a new clip
// starts at 100), those of a Sound made on nothing on the global object (the whole movie).
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
  std::string clipPath;          // the target it was made on, as a path
  std::string attached;          // linkage name given to attachSound
  int loaded = 0;                // the host's number of the file loadSound read, 0: none
  double loadedBytes = 0;        // its size
  int playing = 0;               // the host's handle of the sound last started, 0: none
  double positionMs = 0;         // where it was last seen
  int loadTicket = 0;            // which loadSound the file that arrives must answer
  bool loading = false;          // a file is on its way: the Sound holds nothing yet
  bool startWhenLoaded = false;  // start() came while it was on its way
  double pendingOffset = 0, pendingLoops = 1;
};

SoundObject* soundOf(const Value& v) {
  return v.isObject() ? dynamic_cast<SoundObject*>(v.asObject()) : nullptr;
}

// The object holding the transform this Sound works on: the clip its target path names
// now, looked up on every use (a renamed clip is no longer it, a new clip of that name
// is), or null when none does.
Object* holderOf(Vm& vm, SoundObject* s) {
  if (!s) return nullptr;
  if (s->global) return vm.global;
  if (s->clipPath.empty()) return nullptr;
  ScriptClip* root = vm.rootClip();
  Object* rootObject = root ? vm.objectFor(root) : nullptr;
  Object* found = rootObject ? vm.clipObjectAtPath(rootObject, s->clipPath) : nullptr;
  if (!found || found->kind != ObjectKind::Clip || !found->clip) return nullptr;
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
  if (s && s->loading && ownerKey(vm, s)) {
    s->startWhenLoaded = true;
    s->pendingOffset = offset;
    s->pendingLoops = loops;
    return;
  }
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
    if (ScriptClip* clip = vm.clipOf(target))
      self->clipPath = vm.targetPath(clip);
    else
      self->clipPath = vm.toString(target);
  }
  if (vm.version() >= 6) self->put("checkPolicyFile", Value(false), 0, ci);
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

// A Sound whose clip is not where its path says attaches nothing.
Value attachSound(Vm& vm, CallInfo& c) {
  if (SoundObject* s = soundOf(c.thisValue); s && !c.args.empty() && ownerKey(vm, s)) {
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

// Milliseconds, to the nearest: the sound's length, and how far the last start got; 0
// while a file is on its way.
Value duration(Vm& vm, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  if (s && s->loading) return Value(0.0);
  if (!hasSound(s)) return Value();
  std::optional<double> ms = vm.host().soundDurationMs(sourceOf(vm, s));
  return ms ? Value(std::round(*ms)) : Value();
}

Value position(Vm& vm, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  if (s && s->loading) return Value(0.0);
  if (!hasSound(s)) return Value();
  if (s->playing)
    if (std::optional<double> ms = vm.host().soundPositionMs(s->playing)) s->positionMs = *ms;
  return Value(std::round(s->positionMs));
}

// The names scripts also find the common ID3 frames under.
const char* friendlyName(const std::string& frame) {
  static constexpr std::pair<const char*, const char*> kNames[] = {
      {"COMM", "comment"}, {"TALB", "album"}, {"TCON", "genre"}, {"TIT2", "songname"},
      {"TPE1", "artist"},  {"TRCK", "track"}, {"TYER", "year"}};
  for (auto [id, name] : kNames)
    if (frame == id) return name;
  return nullptr;
}

// The file's ID3 tags as the Sound's `id3`: an object of no class holding each frame by
// its name (repeats joined by commas) and the common ones by their friendly names too (the
// last repeat). It is read-only; a value a script put there first is left alone.
bool publishTags(Vm& vm, SoundObject* s, const std::vector<uint8_t>& bytes) {
  std::vector<std::pair<std::string, std::string>> tags = vm.host().soundFileTags(bytes);
  if (tags.empty()) return false;
  const bool ci = vm.caseInsensitive();
  if (Property* own = s->findOwn("id3", ci); own && !(own->flags & kReadOnly)) return true;
  auto* id3 = vm.allocate<Object>();
  for (const auto& [frame, text] : tags) {
    if (const char* name = friendlyName(frame)) id3->defineOwn(name, ci).value = Value(text);
    Property& p = id3->defineOwn(frame, ci);
    p.value = p.value.isString() ? Value(p.value.asString() + "," + text) : Value(text);
  }
  s->put("id3", Value(id3), kDontEnum | kDontDelete | kReadOnly, ci);
  return true;
}

// Byte counts of a loaded file; library sounds have none.
Value loadedBytes(Vm&, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  return s && s->loaded ? Value(s->loadedBytes) : Value();
}

// loadSound(url, isStreaming): the file (MP3, from the movie's own folder) is read and
// decoded as the frame ends; a later loadSound takes the place of one still on its way.
Value loadSound(Vm& vm, CallInfo& c) {
  SoundObject* s = soundOf(c.thisValue);
  if (!s || c.args.empty()) return Value();
  LoadRequest r;
  r.kind = LoadRequest::Kind::Sound;
  r.url = vm.toString(c.arg(0));
  r.receiver = c.thisValue;
  r.streaming = vm.toBool(c.arg(1));
  r.ticket = ++s->loadTicket;
  if (!vm.loads().add(std::move(r))) return Value();
  s->loading = true;
  s->startWhenLoaded = false;
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

// onID3 when the file has tags, then onLoad(success); a streaming sound, or one start()
// asked for while it was on its way, starts then.
void deliverSoundFile(Vm& vm, const LoadRequest& request,
                      const std::optional<std::vector<uint8_t>>& bytes) {
  SoundObject* s = soundOf(request.receiver);
  if (!s || request.ticket != s->loadTicket) return;
  if (bytes && publishTags(vm, s, *bytes)) {
    vm.callMethodIfPresent(s, "onID3");
    if (request.ticket != s->loadTicket) return;
  }
  const int loaded = bytes ? vm.host().addLoadedSound(*bytes) : 0;
  s->loading = false;
  const bool start = s->startWhenLoaded || request.streaming;
  s->startWhenLoaded = false;
  if (loaded) {
    s->loaded = loaded;
    s->loadedBytes = double(bytes->size());
    s->attached.clear();
    if (start)
      startPlaying(vm, request.receiver, request.streaming ? 0 : s->pendingOffset,
                   request.streaming ? 1 : s->pendingLoops);
  }
  std::vector<Value> args{Value(loaded != 0)};
  vm.callMethod(request.receiver, "onLoad", args);
}

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
