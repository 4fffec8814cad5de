// Loading files from the movie's own folder: LoadVars.load/sendAndLoad, loadVariables,
// loadMovie/unloadMovie and MovieClipLoader. Every request is queued and answered on a
// later frame (Vm::runLoads), in the order a Flash player gives its callbacks:
//   LoadVars:         onData(text or undefined) -> (default onData) decode, onLoad(success)
//   loadVariables:    the variables, then onClipEvent(data) and onData
//   MovieClipLoader:  onLoadStart, onLoadProgress; next frame onLoadProgress,
//                     onLoadComplete; next frame onLoadInit. A file that cannot be read
//                     gives onLoadError(target, "URLNotFound", 0) instead.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"

namespace orv::movie::avm1 {

namespace {

// The text of a loaded file: SWF 6 and later read it as UTF-8 and drop a byte order mark.
std::string fileText(const Vm& vm, const std::vector<uint8_t>& bytes) {
  size_t skip = 0;
  if (vm.version() >= 6 && bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB &&
      bytes[2] == 0xBF)
    skip = 3;
  std::string text(bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end());
  // A NUL ends the text as it ends strings in the player.
  if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

// A MovieClipLoader target given as a level: a number, or "_levelN" (-1: none).
int loaderLevel(Vm&, const Value& v) {
  if (v.isNumber()) {
    const double n = v.asNumber();
    return n >= 0 && n <= 65535 && n == std::floor(n) ? static_cast<int>(n) : -1;
  }
  return v.isString() ? Vm::levelOfTarget(v.asString()) : -1;
}

// A MovieClipLoader target: a clip, a level's root, or a path from the root ("loadtarget",
// "_level0.a").
ScriptClip* loaderTarget(Vm& vm, const Value& v) {
  if (v.isObject()) return vm.clipOf(v);
  if (const int level = loaderLevel(vm, v); level >= 0) return vm.host().level(level);
  if (!v.isString() || v.asString().empty()) return nullptr;
  Object* root = vm.objectFor(vm.rootClip());
  Object* o = root ? vm.clipObjectAtPath(root, v.asString()) : nullptr;
  return o ? vm.clipOf(Value(o)) : nullptr;
}

// {bytesLoaded, bytesTotal} of a clip, from its own getBytesLoaded/getBytesTotal, on an
// object without a prototype (as the player hands it out).
// PNG and GIF pictures are decoded only once whole; movies and JPEG pictures show (and
// report their progress) as they arrive.
bool decodedOnlyWhole(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 4 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' &&
      bytes[3] == 'G')
    return true;
  return bytes.size() >= 4 && bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F' &&
         bytes[3] == '8';
}

Value progressOf(Vm& vm, ScriptClip* clip) {
  Object* o = vm.objectFor(clip);
  if (!o) return Value();
  Object* prog = vm.allocate<Object>();
  vm.setMember(prog, "bytesLoaded", vm.callMethod(Value(o), "getBytesLoaded", {}));
  vm.setMember(prog, "bytesTotal", vm.callMethod(Value(o), "getBytesTotal", {}));
  return Value(prog);
}

void broadcast(Vm& vm, const Value& loader, const char* event, std::vector<Value> args) {
  args.insert(args.begin(), Value(event));
  vm.callMethod(loader, "broadcastMessage", args);
}

// _bytesLoaded and _bytesTotal, which getBytesLoaded/getBytesTotal read: scripts can
// change them but not delete them.
void setByteCount(Vm& vm, Object* receiver, const char* name, const Value& v) {
  const bool ci = vm.caseInsensitive();
  Property* p = receiver->findOwn(name, ci);
  receiver->put(name, v, static_cast<uint16_t>((p ? p->flags : 0) | kDontDelete), ci);
}

// load(url): true once the request is on its way; the answer comes to onData.
bool startLoad(Vm& vm, Object* receiver, const Value& url) {
  if (!receiver || url.isNullish()) return false;
  LoadRequest r;
  r.kind = LoadRequest::Kind::Data;
  r.url = vm.toString(url);
  r.receiver = Value(receiver);
  if (!vm.loads().add(std::move(r))) return false;
  setByteCount(vm, receiver, "_bytesLoaded", Value(0.0));
  setByteCount(vm, receiver, "_bytesTotal", Value());
  vm.setMember(receiver, "loaded", Value(false));
  return true;
}

Value load(Vm& vm, CallInfo& c) { return Value(startLoad(vm, c.thisObject(), c.arg(0))); }

// Nothing is posted anywhere: the reply is what loading the URL gives, into `target`.
Value sendAndLoad(Vm& vm, CallInfo& c) {
  Value target = c.arg(1);
  if (!target.isObject()) return Value(false);
  return Value(startLoad(vm, target.asObject(), c.arg(0)));
}

Value send(Vm&, CallInfo& c) { return Value(!c.arg(0).isNullish()); }

// The default onData decodes what arrived and reports to onLoad.
Value onData(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  Value src = c.arg(0);
  if (src.isUndefined()) {
    vm.setMember(self, "loaded", Value(false));
    Value no(false);
    vm.callMethod(c.thisValue, "onLoad", std::span<Value>(&no, 1));
    return Value();
  }
  Value text(vm.toString(src));
  vm.callMethod(c.thisValue, "decode", std::span<Value>(&text, 1));
  vm.setMember(self, "loaded", Value(true));
  Value yes(true);
  vm.callMethod(c.thisValue, "onLoad", std::span<Value>(&yes, 1));
  return Value();
}

constexpr NativeMember kLoadVarsLoading[] = {
    method("load", load),     method("sendAndLoad", sendAndLoad), method("send", send),
    method("onData", onData), method("onLoad", nothing),
};

// Each loader starts as its own listener.
Value constructLoader(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject())
    self->put("_listeners", Value(vm.newArray({c.thisValue})), kDontEnum, vm.caseInsensitive());
  return Value();
}

Value loadClip(Vm& vm, CallInfo& c) {
  if (c.args.size() < 2 || !c.arg(0).isString() || !c.thisObject()) return Value(false);
  ScriptClip* target = loaderTarget(vm, c.arg(1));
  Object* clip = target ? vm.objectFor(target) : nullptr;
  // A level not there yet is loaded by its number.
  const int level = clip ? -1 : loaderLevel(vm, c.arg(1));
  if (!clip && level < 0) return Value(false);
  LoadRequest r;
  r.kind = LoadRequest::Kind::ClipLoader;
  r.url = c.arg(0).asString();
  r.receiver = c.thisValue;
  r.clip = clip ? Value(clip) : Value();
  r.level = level;
  return Value(vm.loads().add(std::move(r)));
}

Value unloadClip(Vm& vm, CallInfo& c) {
  if (c.args.empty()) return Value();
  ScriptClip* target = loaderTarget(vm, c.arg(0));
  if (!target) return Value(false);
  vm.requestMovieLoad("", target);  // a level's root: the level goes
  return Value(true);
}

Value getProgress(Vm& vm, CallInfo& c) {
  ScriptClip* target = loaderTarget(vm, c.arg(0));
  return target ? progressOf(vm, target) : Value();
}

// The loader's own methods, after the broadcaster's it takes.
constexpr NativeMember kLoaderPrototype[] = {
    method("loadClip", loadClip),
    method("unloadClip", unloadClip),
    method("getProgress", getProgress),
};
constexpr NativeClass kLoaderClass{.name = "MovieClipLoader", .constructor = constructLoader};

// MovieClip.loadVariables(url): into the clip, as the global loadVariables does.
Value loadVariables(Vm& vm, CallInfo& c) {
  if (ScriptClip* self = vm.clipOf(c.thisValue))
    vm.requestVariablesLoad(vm.toString(c.arg(0)), self);
  return Value();
}

constexpr NativeMember kClipLoading[] = {method("loadVariables", loadVariables)};

void installLoadVarsLoading(Vm& vm) {
  Value ctor = vm.getMember(vm.global, "LoadVars");
  Value protoValue = ctor.isObject() ? vm.getMember(ctor, "prototype") : Value();
  if (protoValue.isObject()) installMembers(vm, protoValue.asObject(), kLoadVarsLoading);
}

void installMovieClipLoader(Vm& vm) {
  Object* proto = vm.newObject();
  installClass(vm, vm.global, kLoaderClass, proto);
  Value broadcaster = vm.getMember(vm.global, "AsBroadcaster");
  for (const char* name : {"addListener", "removeListener", "broadcastMessage"})
    proto->put(name, vm.getMember(broadcaster, name), kDontEnum, vm.caseInsensitive());
  installMembers(vm, proto, kLoaderPrototype);
}

}  // namespace

Object* hiddenState(Vm& vm, Object* o) {
  if (!o || o->kind != ObjectKind::Plain) return nullptr;
  if (o->primitive.isObject()) return o->primitive.asObject();
  if (!o->primitive.isUndefined()) return nullptr;
  Object* state = vm.allocate<Object>();  // no prototype: never seen by scripts
  o->primitive = Value(state);
  return state;
}

Value hiddenValue(Object* o, const char* name) {
  if (!o || o->kind != ObjectKind::Plain || !o->primitive.isObject()) return Value();
  Property* p = o->primitive.asObject()->findOwn(name, false);
  return p ? p->value : Value();
}

void setHidden(Vm& vm, Object* o, const char* name, const Value& v) {
  if (Object* s = hiddenState(vm, o)) s->put(name, v, 0, false);
}

void Vm::requestMovieLoad(const std::string& url, ScriptClip* clip) {
  Object* o = objectFor(clip);
  if (!o) return;
  LoadRequest r;
  r.kind = LoadRequest::Kind::Movie;
  r.url = url;
  r.clip = Value(o);
  loads_.add(std::move(r));
}

void Vm::requestLevelLoad(const std::string& url, int level) {
  if (level < 0) return;
  LoadRequest r;
  r.kind = LoadRequest::Kind::Movie;
  r.url = url;
  r.level = level;
  loads_.add(std::move(r));
}

int Vm::levelOfTarget(std::string_view target) {
  if (target.size() <= 6 || target.size() > 11) return -1;
  for (size_t i = 0; i < 6; ++i)
    if (std::tolower(static_cast<unsigned char>(target[i])) != "_level"[i]) return -1;
  int n = 0;
  for (char c : target.substr(6)) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n <= 65535 ? n : -1;
}

void Vm::requestVariablesLoad(const std::string& url, ScriptClip* clip) {
  Object* o = objectFor(clip);
  if (!o || url.empty()) return;
  LoadRequest r;
  r.kind = LoadRequest::Kind::ClipVariables;
  r.url = url;
  r.clip = Value(o);
  loads_.add(std::move(r));
}

void Vm::adoptClipObject(Object* self, ScriptClip* to) {
  if (!self || !to) return;
  const bool ci = caseInsensitive();
  std::vector<std::string> names;
  for (const Property& p : self->properties())
    if (!p.deleted) names.push_back(p.name);
  for (const std::string& name : names) self->removeOwn(name, ci);
  self->put("__proto__", Value(clipProto), kDontEnum | kDontDelete, ci);
  self->clip = to;
  to->scriptObject = self;
  liveClipObjects_.insert(self);
}

void Vm::runLoads(bool endOfFrame) {
  constexpr int kEndOfFrameRounds = 16;
  for (int round = 0; round < (endOfFrame ? kEndOfFrameRounds : 1); ++round) {
    if (loads_.empty()) return;
    if (endOfFrame && std::none_of(loads_.pending().begin(), loads_.pending().end(),
                                   [](const LoadRequest& r) { return r.endsFrame(); }))
      return;
    runLoadRound(endOfFrame);
  }
}

void Vm::runLoadRound(bool endOfFrame) {
  // Requests made by the callbacks below wait for the next round.
  std::deque<LoadRequest> now;
  now.swap(loads_.pending());
  size_t reads = 0, bytesRead = 0;
  std::vector<LoadRequest> later;
  for (LoadRequest& r : now) {
    if (endOfFrame && !r.endsFrame()) {
      later.push_back(std::move(r));
      continue;
    }
    const bool reading = r.step == 0;
    if (reading &&
        (reads >= LoadQueue::kMaxReadsPerFrame || bytesRead >= LoadQueue::kMaxBytesPerFrame)) {
      later.push_back(std::move(r));
      continue;
    }
    if (reading) ++reads;
    if (!enterRun()) return;  // the movie's scripts were stopped: nothing more arrives
    bool keep = false;
    try {
      std::optional<std::vector<uint8_t>> bytes;
      if (reading && !r.url.empty()) bytes = host_.readFile(r.url, LoadQueue::kMaxFileBytes);
      if (bytes) bytesRead += bytes->size();
      switch (r.kind) {
        case LoadRequest::Kind::Data: {
          Object* receiver = r.receiver.asObject();
          Value src;
          if (bytes && !bytes->empty()) {  // an empty file is no answer
            const double n = static_cast<double>(bytes->size());
            setByteCount(*this, receiver, "_bytesLoaded", Value(n));
            setByteCount(*this, receiver, "_bytesTotal", Value(n));
            std::string text = fileText(*this, *bytes);
            noteStringMade(text.size());
            src = Value(std::move(text));
          }
          callMethod(r.receiver, "onData", std::span<Value>(&src, 1));
          break;
        }
        case LoadRequest::Kind::ClipVariables: {
          ScriptClip* clip = clipOf(r.clip);
          if (!bytes || !clip) break;
          std::string text = fileText(*this, *bytes);
          noteStringMade(text.size());
          decodeVariables(*this, objectFor(clip), text);
          host_.clipDataLoaded(clip);
          break;
        }
        case LoadRequest::Kind::Movie: {
          if (r.level >= 0) {
            if (bytes || r.url.empty())
              host_.loadIntoLevel(r.level, bytes ? *bytes : std::vector<uint8_t>{}, r.url);
            break;
          }
          ScriptClip* clip = clipOf(r.clip);
          if (!clip || !(bytes || r.url.empty())) break;
          // The address's query gives the loaded movie its first variables, there before
          // its first frame's actions run.
          const size_t q = r.url.find('?');
          auto giveVariables = [&](ScriptClip* loaded) {
            if (bytes && q != std::string::npos)
              decodeVariables(*this, objectFor(loaded),
                              r.url.substr(q + 1, r.url.find('#', q) - q - 1));
          };
          host_.loadIntoClip(clip, bytes ? *bytes : std::vector<uint8_t>{}, r.url, giveVariables);
          break;
        }
        case LoadRequest::Kind::Sound:
          deliverSoundFile(*this, r, bytes);
          break;
        case LoadRequest::Kind::ClipLoader: {
          ScriptClip* clip = clipOf(r.clip);
          if (r.step == 0) {
            ScriptClip* loaded = nullptr;
            if (bytes && r.level >= 0)
              loaded = host_.loadIntoLevel(r.level, *bytes, r.url);
            else if (bytes && clip)
              loaded = host_.loadIntoClip(clip, *bytes, r.url);
            r.level = -1;  // from now on the loaded root is the target
            r.wholeImage = bytes && decodedOnlyWhole(*bytes);
            if (!loaded) {
              broadcast(*this, r.receiver, "onLoadError",
                        {r.clip, Value("URLNotFound"), Value(0.0)});
              break;
            }
            r.clip = Value(objectFor(loaded));
            broadcast(*this, r.receiver, "onLoadStart", {r.clip});
          } else if (!clip) {
            break;  // the target went away while loading
          }
          // Progress is reported as the file starts and as it completes; for a picture
          // decoded only once whole, just once.
          if (r.step == 1 || (r.step == 0 && !r.wholeImage)) {
            Value prog = progressOf(*this, clipOf(r.clip));
            Value loadedBytes = prog.isObject() ? getMember(prog, "bytesLoaded") : Value();
            Value totalBytes = prog.isObject() ? getMember(prog, "bytesTotal") : Value();
            broadcast(*this, r.receiver, "onLoadProgress", {r.clip, loadedBytes, totalBytes});
          }
          if (r.step == 1) broadcast(*this, r.receiver, "onLoadComplete", {r.clip, Value(0.0)});
          if (r.step == 2) broadcast(*this, r.receiver, "onLoadInit", {r.clip});
          keep = ++r.step <= 2;
          break;
        }
      }
    } catch (const ScriptThrow& t) {
      reportUncaught(t.value);
    } catch (const ScriptAbort& abort) {
      noteAbort(abort.reason);
    }
    leaveRun();
    if (keep) later.push_back(std::move(r));
  }
  // What waits goes ahead of what the callbacks asked for.
  for (auto it = later.rbegin(); it != later.rend(); ++it)
    loads_.pending().push_front(std::move(*it));
}

void installLoadingBuiltins(Vm& vm) {
  installLoadVarsLoading(vm);
  installXmlBuiltins(vm);
  if (vm.version() >= 6) installMovieClipLoader(vm);
  if (vm.clipProto) installMembers(vm, vm.clipProto, kClipLoading);
}

}  // namespace orv::movie::avm1
