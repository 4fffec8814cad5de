// flash.media: Sound (a class linked to an embedded sound plays it), SoundChannel (one
// playing sound: its position, stop, gains and soundComplete), SoundTransform (volume, pan
// and the four channel factors), SoundMixer (every sound at once) and ID3Info. Sounds play
// through the host; runSoundCompletions is called each tick.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "movie/avm2/toplevel.h"
#include "movie/flash/bytearray.h"
#include "movie/flash/display.h"
#include "movie/flash/events.h"
#include "movie/flash/events_state.h"
#include "movie/flash/packages.h"
#include "movie/flash/sound.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxWaitingChannels = 64;
constexpr size_t kMaxLoading = 1000;
constexpr size_t kMaxSoundFileBytes = size_t(32) << 20;

// A volume and the factors of each input channel in each speaker.
struct Gains {
  double volume = 1;
  double leftToLeft = 1, leftToRight = 0, rightToLeft = 0, rightToRight = 1;
  // The speakers' linear gains as the mixer takes them. A mono sound is both inputs at
  // once; the mixer has no cross feed for a stereo one (nor for the whole mix), so there
  // a left input heard on the right (and the other way) is not mixed in.
  double left(bool mono = false) const {
    return volume * (leftToLeft + (mono ? rightToLeft : 0));
  }
  double right(bool mono = false) const {
    return volume * (rightToRight + (mono ? leftToRight : 0));
  }
};

// What the player keeps of gains it applies: whole percents, the fractions dropped.
Gains kept(const Gains& g) {
  auto percent = [](double v) {
    return std::isfinite(v) ? double(int64_t(std::clamp(v * 100, -1e9, 1e9))) / 100 : 0.0;
  };
  return {percent(g.volume), percent(g.leftToLeft), percent(g.leftToRight),
          percent(g.rightToLeft), percent(g.rightToRight)};
}

class SoundTransformObject : public Object {
 public:
  using Object::Object;
  Gains gains;
};

class SoundChannelObject;

class SoundObject : public Object {
 public:
  using Object::Object;
  std::string linked;  // the class whose sound it plays ("" for none), or
  int loaded = 0;      // the file it loaded (0: none)
  std::string url;     // the file it loads or loaded
  bool loading = false;
  Host::SoundInfo info;
  // Channels play() gave before the file was there: they start once it is.
  std::vector<Object*> waiting;
  void markChildren(Marker& m) const override {
    Object::markChildren(m);
    for (Object* c : waiting) m.mark(c);
  }
};

class SoundChannelObject : public Object {
 public:
  using Object::Object;
  uint32_t voice = 0;
  bool playing = false;
  double stoppedAt = 0;  // the position once it no longer plays
  double startMs = 0, lengthMs = 0;
  bool mono = false;
  Gains gains;
  int plays = 1;  // for a channel waiting for its file
};

struct PendingPlay {
  double startMs;
  int plays;
};

struct SoundState : PackageState {
  std::vector<SoundChannelObject*> playing;  // kept while their sounds play
  std::vector<SoundObject*> loading;         // Sound.load waiting for the next tick
  Gains master;
  int32_t bufferTime = 1000;

  void markRoots(Marker& m) const override {
    for (SoundChannelObject* c : playing) m.mark(static_cast<Object*>(c));
    for (SoundObject* s : loading) m.mark(static_cast<Object*>(s));
  }
};

template <typename T>
Object* alloc(Machine& m, ClassObject* cls) {
  return m.heap.make<T>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

double number(Machine& m, std::span<Value> args, size_t i, double otherwise) {
  return i < args.size() ? m.toNumber(args[i]) : otherwise;
}

// ---- SoundTransform ----

SoundTransformObject* transformOf(Machine& m, const Value& self) {
  return receiver<SoundTransformObject>(m, self, "SoundTransform");
}

// A pan spreads the two inputs over their own speakers, each at its power's share.
void setPan(Gains& g, double pan) {
  g.leftToLeft = std::sqrt(1 - pan);
  g.rightToRight = std::sqrt(1 + pan);
  g.leftToRight = g.rightToLeft = 0;
}

double panOf(const Gains& g) {
  if (g.leftToRight != 0 || g.rightToLeft != 0) return 0;  // a mix, not a pan
  return 1 - g.leftToLeft * g.leftToLeft;
}

Value transformInit(Machine& m, const Value& self, std::span<Value> args) {
  SoundTransformObject* t = transformOf(m, self);
  t->gains.volume = number(m, args, 0, 1);
  setPan(t->gains, number(m, args, 1, 0));
  return Value();
}

SoundTransformObject* newTransform(Machine& m, const Gains& g) {
  auto* t = static_cast<SoundTransformObject*>(
      m.allocate(m.findClass("flash.media.SoundTransform")));
  t->gains = g;
  return t;
}

// The gains a script passes as a SoundTransform; TypeError #2007 for null when required.
const Gains* gainsArg(Machine& m, const Value& v, const char* name, bool required) {
  if (v.isNullish()) {
    if (required) m.fail(ErrorClass::TypeError, 2007, {name});
    return nullptr;
  }
  auto* t = v.isObject() ? dynamic_cast<SoundTransformObject*>(v.asObject()) : nullptr;
  if (!t) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.media.SoundTransform"});
  return &t->gains;
}

#define ORV_FACTOR(field)                                                       \
  Value get_##field(Machine& m, const Value& self, std::span<Value>) {          \
    return Value(transformOf(m, self)->gains.field);                            \
  }                                                                             \
  Value set_##field(Machine& m, const Value& self, std::span<Value> args) {     \
    transformOf(m, self)->gains.field = m.toNumber(arg(args, 0));               \
    return Value();                                                             \
  }
ORV_FACTOR(volume)
ORV_FACTOR(leftToLeft)
ORV_FACTOR(leftToRight)
ORV_FACTOR(rightToLeft)
ORV_FACTOR(rightToRight)
#undef ORV_FACTOR

Value getPan(Machine& m, const Value& self, std::span<Value>) {
  return Value(panOf(transformOf(m, self)->gains));
}
Value setPanValue(Machine& m, const Value& self, std::span<Value> args) {
  setPan(transformOf(m, self)->gains, m.toNumber(arg(args, 0)));
  return Value();
}

#define ORV_ACCESSORS(name)                             \
  {#name, MemberKind::Getter, get_##name},              \
  {                                                     \
    #name, MemberKind::Setter, set_##name               \
  }
const NativeMember kTransformMembers[] = {
    ORV_ACCESSORS(volume),
    ORV_ACCESSORS(leftToLeft),
    ORV_ACCESSORS(leftToRight),
    ORV_ACCESSORS(rightToLeft),
    ORV_ACCESSORS(rightToRight),
    {"pan", MemberKind::Getter, getPan},
    {"pan", MemberKind::Setter, setPanValue},
};
#undef ORV_ACCESSORS

// ---- SoundChannel ----

SoundChannelObject* channelOf(Machine& m, const Value& self) {
  return receiver<SoundChannelObject>(m, self, "SoundChannel");
}

double positionOf(Machine& m, SoundChannelObject* c) {
  if (!c->playing) return c->stoppedAt;
  std::optional<double> at = m.host ? m.host->soundPositionMs(c->voice) : std::nullopt;
  return at ? *at : c->stoppedAt;
}

// The channel no longer plays: it keeps where it got to and lets its voice go.
void release(Machine& m, SoundChannelObject* c, double at) {
  c->stoppedAt = at;
  c->playing = false;
  std::erase(m.packageState<SoundState>().playing, c);
}

Value channelPosition(Machine& m, const Value& self, std::span<Value>) {
  return Value(positionOf(m, channelOf(m, self)));
}

Value channelStop(Machine& m, const Value& self, std::span<Value>) {
  SoundChannelObject* c = channelOf(m, self);
  if (!c->playing) return Value();
  const double at = positionOf(m, c);
  if (m.host) m.host->stopSounds(c);
  release(m, c, at);
  return Value();
}

Value channelTransform(Machine& m, const Value& self, std::span<Value>) {
  return Value(static_cast<Object*>(newTransform(m, channelOf(m, self)->gains)));
}

Value setChannelTransform(Machine& m, const Value& self, std::span<Value> args) {
  SoundChannelObject* c = channelOf(m, self);
  const Gains* g = gainsArg(m, arg(args, 0), "sndTransform", true);
  c->gains = kept(*g);
  if (c->playing && m.host)
    m.host->setSoundGains(c, c->gains.left(c->mono), c->gains.right(c->mono));
  return Value();
}

// The mixer does not measure what it plays: both peaks read 0.
Value peak(Machine& m, const Value& self, std::span<Value>) {
  channelOf(m, self);
  return Value(0.0);
}

const NativeMember kChannelMembers[] = {
    {"position", MemberKind::Getter, channelPosition},
    {"stop", MemberKind::Method, channelStop},
    {"soundTransform", MemberKind::Getter, channelTransform},
    {"soundTransform", MemberKind::Setter, setChannelTransform},
    {"leftPeak", MemberKind::Getter, peak},
    {"rightPeak", MemberKind::Getter, peak},
};

// ---- Sound ----

SoundObject* soundOf(Machine& m, const Value& self) {
  return receiver<SoundObject>(m, self, "Sound");
}

Value soundLoad(Machine& m, const Value& self, std::span<Value> args);

// A Sound of a class linked to a sound character (or extending one that is) plays it.
Value soundInit(Machine& m, const Value& self, std::span<Value> args) {
  SoundObject* s = soundOf(m, self);
  if (!args.empty() && !args[0].isNullish()) return soundLoad(m, self, args);
  for (ClassObject* c = s->klass(); c && m.host; c = c->base) {
    if (!c->name) continue;
    const std::string name = m.toText(Value(c->name));
    if (name.rfind("flash.", 0) == 0) break;
    if (auto info = m.host->linkedSound(name)) {
      s->linked = name;
      s->info = *info;
      break;
    }
  }
  return Value();
}

// play(startTime = 0, loops = 0, sndTransform = null): a channel, or null when nothing
// can play (no sound, a start past its end, or too many sounds at once).
// The channel's voice of `s` from c->startMs; false when nothing plays.
bool startVoice(Machine& m, SoundObject* s, SoundChannelObject* c) {
  const double left = c->gains.left(c->mono), right = c->gains.right(c->mono);
  c->voice = s->loaded ? m.host->startLoadedSound(s->loaded, c->startMs, c->plays, c, left, right)
                       : m.host->startLinkedSound(s->linked, c->startMs, c->plays, c, left, right);
  if (!c->voice) return false;
  c->playing = true;
  c->lengthMs = s->info.lengthMs;
  m.packageState<SoundState>().playing.push_back(c);
  return true;
}

Value soundPlay(Machine& m, const Value& self, std::span<Value> args) {
  SoundObject* s = soundOf(m, self);
  double start = number(m, args, 0, 0);
  if (!std::isfinite(start) || start < 0) start = 0;
  const int32_t loops = args.size() > 1 ? m.toInt(args[1]) : 0;
  const Gains* given = gainsArg(m, arg(args, 2), "sndTransform", false);
  const Gains g = given ? *given : Gains();
  if ((s->linked.empty() && !s->loaded && !s->loading) || !m.host) return Value::null();
  auto* c = static_cast<SoundChannelObject*>(m.allocate(m.findClass("flash.media.SoundChannel")));
  c->mono = !s->info.stereo;
  c->gains = kept(g);
  c->startMs = c->stoppedAt = start;
  c->plays = std::max(1, loops);
  if (s->loading) {
    if (s->waiting.size() < kMaxWaitingChannels) s->waiting.push_back(c);
    return Value(static_cast<Object*>(c));
  }
  if (!startVoice(m, s, c)) return Value::null();
  return Value(static_cast<Object*>(c));
}

// load(request): reads the MP3 file on the next tick; open, progress and complete, or
// ioError when there is no such file.
Value soundLoad(Machine& m, const Value& self, std::span<Value> args) {
  SoundObject* s = soundOf(m, self);
  const Value request = arg(args, 0);
  if (request.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"stream"});
  if (s->loading || s->loaded || !s->linked.empty()) m.fail(ErrorClass::Error, 2037);
  const Value url = m.getProperty(request, m.publicName("url"));
  s->url = url.isNullish() ? "" : m.toText(url);
  s->loading = true;
  SoundState& state = m.packageState<SoundState>();
  if (state.loading.size() < kMaxLoading) state.loading.push_back(s);
  return Value();
}

Value soundLength(Machine& m, const Value& self, std::span<Value>) {
  return Value(soundOf(m, self)->info.lengthMs);
}
Value soundBytes(Machine& m, const Value& self, std::span<Value>) {
  return Value(soundOf(m, self)->info.bytes);
}
Value soundUrl(Machine& m, const Value& self, std::span<Value>) {
  SoundObject* s = soundOf(m, self);
  if (s->url.empty()) return Value::null();  // an embedded sound comes from no address
  return Value(StringRef(s->url));
}
Value soundBuffering(Machine& m, const Value& self, std::span<Value>) {
  return Value(soundOf(m, self)->loading);
}
Value soundId3(Machine& m, const Value& self, std::span<Value>) {
  soundOf(m, self);
  return Value(m.allocate(m.findClass("flash.media.ID3Info")));
}
const NativeMember kSoundMembers[] = {
    {"play", MemberKind::Method, soundPlay},
    {"load", MemberKind::Method, soundLoad, 1},
    {"length", MemberKind::Getter, soundLength},
    {"bytesLoaded", MemberKind::Getter, soundBytes},
    {"bytesTotal", MemberKind::Getter, soundBytes},
    {"url", MemberKind::Getter, soundUrl},
    {"isBuffering", MemberKind::Getter, soundBuffering},
    {"id3", MemberKind::Getter, soundId3},
};

// ---- ID3Info: embedded sounds carry no tags ----

Value none(Machine&, const Value&, std::span<Value>) { return Value::null(); }

const NativeMember kId3Members[] = {
    {"album", MemberKind::Getter, none},   {"artist", MemberKind::Getter, none},
    {"comment", MemberKind::Getter, none}, {"genre", MemberKind::Getter, none},
    {"songName", MemberKind::Getter, none}, {"track", MemberKind::Getter, none},
    {"year", MemberKind::Getter, none},
};

// ---- SoundMixer ----

Value stopAll(Machine& m, const Value&, std::span<Value>) {
  SoundState& s = m.packageState<SoundState>();
  std::vector<SoundChannelObject*> playing = s.playing;
  for (SoundChannelObject* c : playing) release(m, c, positionOf(m, c));
  if (m.host) m.host->stopSounds(nullptr);
  return Value();
}

Value mixerTransform(Machine& m, const Value&, std::span<Value>) {
  return Value(static_cast<Object*>(newTransform(m, m.packageState<SoundState>().master)));
}

Value setMixerTransform(Machine& m, const Value&, std::span<Value> args) {
  const Gains* g = gainsArg(m, arg(args, 0), "sndTransform", true);
  Gains& master = m.packageState<SoundState>().master;
  master = kept(*g);
  if (m.host) m.host->setSoundGains(nullptr, master.left(), master.right());
  return Value();
}

Value bufferTime(Machine& m, const Value&, std::span<Value>) {
  return Value(m.packageState<SoundState>().bufferTime);
}
Value setBufferTime(Machine& m, const Value&, std::span<Value> args) {
  m.packageState<SoundState>().bufferTime = m.toInt(arg(args, 0));
  return Value();
}

Value inaccessible(Machine&, const Value&, std::span<Value>) { return Value(false); }

// computeSpectrum(outputArray, FFTMode = false, stretchFactor = 0): the mixer's output is
// not analysed; the array gets its 512 floats, all zero, and is read from the start.
Value computeSpectrum(Machine& m, const Value&, std::span<Value> args) {
  const Value out = arg(args, 0);
  if (out.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"outputArray"});
  auto* bytes = out.isObject() ? dynamic_cast<ByteArrayObject*>(out.asObject()) : nullptr;
  if (!bytes) m.fail(ErrorClass::TypeError, 1034, {m.className(out), "flash.utils.ByteArray"});
  bytes->bytes.assign(512 * 4, 0);
  bytes->position = 0;
  return Value();
}

const NativeMember kMixerMembers[] = {
    {"stopAll", MemberKind::StaticMethod, stopAll},
    {"soundTransform", MemberKind::StaticGetter, mixerTransform},
    {"soundTransform", MemberKind::StaticSetter, setMixerTransform},
    {"bufferTime", MemberKind::StaticGetter, bufferTime},
    {"bufferTime", MemberKind::StaticSetter, setBufferTime},
    {"areSoundsInaccessible", MemberKind::StaticMethod, inaccessible},
    {"computeSpectrum", MemberKind::StaticMethod, computeSpectrum, 3},
};

}  // namespace

Value displaySoundTransform(Machine& m, const Value& self, std::span<Value>) {
  const std::array<double, 5>& g = displayOf(m, self, "soundTransform")->soundGains;
  return Value(static_cast<Object*>(newTransform(m, {g[0], g[1], g[2], g[3], g[4]})));
}

Value setDisplaySoundTransform(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = displayOf(m, self, "soundTransform");
  const Gains g = kept(*gainsArg(m, arg(args, 0), "sndTransform", true));
  d->soundGains = {g.volume, g.leftToLeft, g.leftToRight, g.rightToLeft, g.rightToRight};
  return Value();
}

void runPendingSoundLoads(Machine& m) {
  SoundState& state = m.packageState<SoundState>();
  std::vector<SoundObject*> due;
  due.swap(state.loading);
  for (SoundObject* s : due) {
    s->loading = false;
    std::optional<std::vector<uint8_t>> bytes =
        m.host && !s->url.empty() ? m.host->readFile(s->url, kMaxSoundFileBytes) : std::nullopt;
    if (bytes) s->loaded = m.host->addLoadedSound(*bytes, s->info);
    std::vector<Object*> waiting;
    waiting.swap(s->waiting);
    if (!bytes || !s->loaded) {
      const std::string text = "Error #2032: Stream Error. URL: " + s->url;
      if (!hasEventListener(m, s, "ioError")) {
        if (m.host) m.host->uncaughtError("Error #2044: Unhandled IOErrorEvent:. text=" + text);
        continue;
      }
      dispatchNewEvent(m, s, "IOErrorEvent", {Value(m.intern("ioError")), Value(false),
                                              Value(false), Value(StringRef(text)), Value(2032)});
      continue;
    }
    for (Object* c : waiting) startVoice(m, s, static_cast<SoundChannelObject*>(c));
    const double total = s->info.bytes;
    dispatchEvent(m, s, makeEvent(m, "open"));
    dispatchNewEvent(m, s, "ProgressEvent", {Value(m.intern("progress")), Value(false),
                                             Value(false), Value(total), Value(total)});
    dispatchEvent(m, s, makeEvent(m, "complete"));
  }
}

void runSoundCompletions(Machine& m) {
  SoundState& s = m.packageState<SoundState>();
  if (s.playing.empty() || !m.host) return;
  std::vector<SoundChannelObject*> ended;
  for (SoundChannelObject* c : s.playing)
    if (!m.host->soundPositionMs(c->voice)) ended.push_back(c);
  for (SoundChannelObject* c : ended) {
    release(m, c, c->lengthMs);
    dispatchEvent(m, c, makeEvent(m, "soundComplete"));
  }
}

void installSoundClasses(Machine& m) {
  installClass(m, {.package = "flash.media",
                   .name = "SoundTransform",
                   .members = kTransformMembers,
                   .init = transformInit,
                   .alloc = alloc<SoundTransformObject>,
                   .dynamic = false,
                   .isFinal = true,
                   .initLength = 2});
  installClass(m, {.package = "flash.media",
                   .name = "SoundChannel",
                   .base = "flash.events.EventDispatcher",
                   .members = kChannelMembers,
                   .alloc = alloc<SoundChannelObject>,
                   .dynamic = false,
                   .isFinal = true});
  installClass(m, {.package = "flash.media",
                   .name = "Sound",
                   .base = "flash.events.EventDispatcher",
                   .members = kSoundMembers,
                   .init = soundInit,
                   .alloc = alloc<SoundObject>,
                   .dynamic = false,
                   .initLength = 2});
  installClass(m, {.package = "flash.media", .name = "ID3Info", .members = kId3Members,
                   .isFinal = true});
  installClass(m, {.package = "flash.media",
                   .name = "SoundMixer",
                   .members = kMixerMembers,
                   .dynamic = false,
                   .isFinal = true});
}

}  // namespace orv::movie::avm2
