// SharedObject: data a movie keeps under a name (SharedObject.getLocal) to find again
// later, such as a game's scores. Movies may not touch the file system, so the data lives
// as long as the player runs: flush() keeps a copy that the same movie finds again when
// it is opened anew. Remote shared objects need a server and are not available.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"

namespace orv::movie::avm1 {

namespace {

// A value as kept between runs of a movie: plain data only, as a Flash player stores it.
struct Stored {
  enum class Kind : uint8_t { Undefined, Null, Boolean, Number, String, Object, Array, Date };
  Kind kind = Kind::Undefined;
  double number = 0;  // numbers, booleans (0/1), dates' time values, arrays' lengths
  std::string text;
  std::vector<std::string> names;  // members of objects and arrays, with their values
  std::vector<Stored> values;
};

// Bounds on what one shared object keeps, so a runaway script cannot fill memory.
constexpr size_t kMaxStoredBytes = 1 << 20;
constexpr int kMaxDepth = 64;

// Copies data out of the script's objects; false when it is too large or too deep.
// Functions and movie clips are not data: they are left out. An object reached twice
// (a cycle) is kept once.
class Snapshot {
 public:
  explicit Snapshot(Vm& vm) : vm_(vm) {}
  bool take(Object* data, Stored& out) { return members(data, out, 0); }
  size_t bytes() const { return bytes_; }

 private:
  bool members(Object* o, Stored& out, int depth) {
    if (depth > kMaxDepth || !seen_.insert(o).second) return depth <= kMaxDepth;
    for (const std::string& name : vm_.enumerableNames(o)) {
      if (!vm_.hasOwnProperty(o, name)) continue;
      Stored v;
      if (!value(vm_.getMember(o, name), v, depth + 1)) return false;
      if (v.kind == Stored::Kind::Undefined && skipped_) {
        skipped_ = false;
        continue;
      }
      bytes_ += 2 + name.size();
      if (bytes_ > kMaxStoredBytes) return false;
      out.names.push_back(name);
      out.values.push_back(std::move(v));
    }
    return true;
  }
  bool value(const Value& v, Stored& out, int depth) {
    bytes_ += 1;
    if (v.isNull()) {
      out.kind = Stored::Kind::Null;
    } else if (v.isBool()) {
      out.kind = Stored::Kind::Boolean;
      out.number = v.asBool();
      bytes_ += 1;
    } else if (v.isNumber()) {
      out.kind = Stored::Kind::Number;
      out.number = v.asNumber();
      bytes_ += 8;
    } else if (v.isString()) {
      out.kind = Stored::Kind::String;
      out.text = v.asString();
      bytes_ += 2 + out.text.size();
    } else if (v.isObject()) {
      Object* o = v.asObject();
      if (o->kind == ObjectKind::Function || o->kind == ObjectKind::Clip) {
        skipped_ = true;
        return true;
      }
      if (o->kind == ObjectKind::Date) {
        out.kind = Stored::Kind::Date;
        out.number = vm_.toNumber(o->primitive);
        bytes_ += 10;
        return true;
      }
      out.kind = o->kind == ObjectKind::Array ? Stored::Kind::Array : Stored::Kind::Object;
      out.number = o->arrayLength;
      bytes_ += 4;
      return members(o, out, depth);
    }
    return bytes_ <= kMaxStoredBytes;
  }

  Vm& vm_;
  std::unordered_set<Object*> seen_;
  size_t bytes_ = 0;
  bool skipped_ = false;
};

// Makes script values of kept data again.
Value restore(Vm& vm, const Stored& s) {
  switch (s.kind) {
    case Stored::Kind::Undefined:
      return Value();
    case Stored::Kind::Null:
      return Value::null();
    case Stored::Kind::Boolean:
      return Value(s.number != 0);
    case Stored::Kind::Number:
      return Value(s.number);
    case Stored::Kind::String:
      return Value(s.text);
    case Stored::Kind::Date: {
      Value time(s.number);
      return vm.construct(vm.getMember(vm.global, "Date"), std::span<Value>(&time, 1));
    }
    case Stored::Kind::Object:
    case Stored::Kind::Array: {
      Object* o = s.kind == Stored::Kind::Array ? vm.newArray() : vm.newObject();
      for (size_t i = 0; i < s.names.size() && i < s.values.size(); ++i)
        vm.setMember(o, s.names[i], restore(vm, s.values[i]));
      if (s.kind == Stored::Kind::Array) vm.setMember(o, "length", Value(s.number));
      return Value(o);
    }
  }
  return Value();
}

// What movies flushed, for as long as the player runs, by movie, path and name.
struct KeptData {
  std::mutex lock;
  std::map<std::string, Stored> byKey;
};
KeptData& keptData() {
  static KeptData kept;
  return kept;
}

// Names may not hold the characters a Flash player refuses.
bool validName(const std::string& name) {
  if (name.empty() || name.size() > 255) return false;
  return name.find_first_of("~%&\\;:\"',<>?# ") == std::string::npos;
}

// The shared objects a movie has opened, by key, on the prototype the player made; the
// holder is an object the collector always reaches, so open objects live as long as the
// movie.
struct OpenObjects {
  std::map<std::string, Object*> byKey;
  std::map<Object*, std::string> keyOf;
  Object* proto = nullptr;
  Object* holder = nullptr;
};

Value getLocal(Vm& vm, CallInfo& c) {
  OpenObjects& open = vm.builtinState<OpenObjects>();
  if (!c.arg(0).isString() || !validName(c.arg(0).asString())) return Value::null();
  const std::string name = c.arg(0).asString();
  const std::string path = c.args.size() > 1 && c.arg(1).isString() ? c.arg(1).asString() : "";
  ScriptClip* root = vm.host().level(0);
  const std::string key = (root ? root->url() : std::string()) + "\n" + path + "\n" + name;
  if (auto it = open.byKey.find(key); it != open.byKey.end()) return Value(it->second);
  Object* so = vm.newObject(open.proto);
  Object* data = vm.newObject();
  {
    KeptData& kept = keptData();
    std::lock_guard<std::mutex> guard(kept.lock);
    if (auto it = kept.byKey.find(key); it != kept.byKey.end()) {
      Value restored = restore(vm, it->second);
      if (restored.isObject()) data = restored.asObject();
    }
  }
  so->put("data", Value(data), kDontDelete, vm.caseInsensitive());
  open.holder->put(std::to_string(open.byKey.size()), Value(so), kDontEnum, vm.caseInsensitive());
  open.byKey[key] = so;
  open.keyOf[so] = key;
  return Value(so);
}

// A remote shared object needs a server, which movies here cannot reach.
Value getRemote(Vm&, CallInfo&) { return Value::null(); }

// flush(): keeps the data for the rest of the run; false when there is too much of it.
Value flush(Vm& vm, CallInfo& c) {
  OpenObjects& open = vm.builtinState<OpenObjects>();
  Object* self = c.thisObject();
  auto key = self ? open.keyOf.find(self) : open.keyOf.end();
  if (key == open.keyOf.end()) return Value(false);
  Value data = vm.getMember(self, "data");
  Stored kept;
  kept.kind = Stored::Kind::Object;
  if (data.isObject()) {
    Snapshot snapshot(vm);
    if (!snapshot.take(data.asObject(), kept)) return Value(false);
  }
  KeptData& all = keptData();
  std::lock_guard<std::mutex> guard(all.lock);
  all.byKey[key->second] = std::move(kept);
  return Value(true);
}

// clear(): forgets the data, kept or not.
Value clear(Vm& vm, CallInfo& c) {
  OpenObjects& open = vm.builtinState<OpenObjects>();
  Object* self = c.thisObject();
  auto key = self ? open.keyOf.find(self) : open.keyOf.end();
  if (key == open.keyOf.end()) return Value();
  self->put("data", Value(vm.newObject()), kDontDelete, vm.caseInsensitive());
  KeptData& all = keptData();
  std::lock_guard<std::mutex> guard(all.lock);
  all.byKey.erase(key->second);
  return Value();
}

// getSize(): the bytes the data would take when kept.
Value getSize(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  Value data = self ? vm.getMember(self, "data") : Value();
  if (!data.isObject()) return Value(0);
  Stored ignored;
  Snapshot snapshot(vm);
  snapshot.take(data.asObject(), ignored);
  return Value(double(snapshot.bytes()));
}

Value refuse(Vm&, CallInfo&) { return Value(false); }

constexpr NativeMember kStatics[] = {
    method("getLocal", getLocal).asnative(2106, 202),
    method("getRemote", getRemote),
};
// connect, close, send and setFps belong to remote shared objects: nothing to connect to.
constexpr NativeMember kPrototype[] = {
    method("flush", flush),    method("clear", clear),   method("getSize", getSize),
    method("connect", refuse), method("close", nothing), method("send", nothing),
    method("setFps", refuse),
};
constexpr NativeClass kSharedObjectClass{.name = "SharedObject",
                                         .constructor = returnThis,
                                         .prototype = kPrototype,
                                         .statics = kStatics};

}  // namespace

void installSharedObject(Vm& vm) {
  OpenObjects& open = vm.builtinState<OpenObjects>();
  open.proto = installClass(vm, vm.global, kSharedObjectClass).prototype;
  vm.pin(open.proto);
  open.holder = vm.newObject();
  vm.pin(open.holder);
}

}  // namespace orv::movie::avm1
