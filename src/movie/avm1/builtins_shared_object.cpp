// SharedObject: data a movie keeps under a name (SharedObject.getLocal) to find again
// later, such as a game's scores. The host keeps it as a Flash player does, in a .sol
// file per object (or in memory where the player keeps no files): flush() writes it, and
// so does the movie's end for every object it opened that holds data. Remote shared
// objects need a server and are not available.
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/video_stream.h"
#include "movie/saves/save_store.h"

namespace orv::movie::avm1 {

namespace {

using saves::AmfGraph;
using saves::AmfNode;
using saves::AmfValue;
using Members = std::vector<std::pair<std::string, AmfValue>>;

constexpr int kMaxDepth = 64;

// The data of a shared object as plain values: functions and movie clips are not data
// and are left out; an object reached twice (or a cycle) stays one object.
class ToAmf {
 public:
  ToAmf(Vm& vm, AmfGraph& graph) : vm_(vm), graph_(graph) {}
  // The members of `data`; false when it nests too deep.
  bool members(Object* data, Members& out) { return membersOf(data, out, 0); }

 private:
  bool membersOf(Object* o, Members& out, int depth) {
    if (depth > kMaxDepth) return false;
    for (const std::string& name : vm_.enumerableNames(o)) {
      if (!vm_.hasOwnProperty(o, name)) continue;
      bool skip = false;
      std::optional<AmfValue> amf = value(vm_.getMember(o, name), depth + 1, skip);
      if (!amf) return false;
      if (!skip) out.emplace_back(name, std::move(*amf));
    }
    return true;
  }
  std::optional<AmfValue> value(const Value& v, int depth, bool& skip) {
    if (v.isNull()) return AmfValue::null();
    if (v.isBool()) return AmfValue::of(v.asBool());
    if (v.isNumber()) return AmfValue::of(v.asNumber());
    if (v.isString()) return AmfValue::of(std::string(v.asString()));
    if (!v.isObject()) return AmfValue::undefined();
    Object* o = v.asObject();
    if (o->kind == ObjectKind::Function || o->kind == ObjectKind::Clip) {
      skip = true;
      return AmfValue::undefined();
    }
    if (o->kind == ObjectKind::Date) return AmfValue::date(vm_.toNumber(o->primitive));
    if (auto it = nodes_.find(o); it != nodes_.end()) return AmfValue::at(it->second);
    AmfNode node;
    if (o->kind == ObjectKind::Array) {
      node.kind = AmfNode::Kind::EcmaArray;
      node.length = o->arrayLength;
    }
    const uint32_t index = graph_.add(std::move(node));
    nodes_[o] = index;
    Members members;
    if (!membersOf(o, members, depth)) return std::nullopt;
    graph_.nodes[index].members = std::move(members);
    return AmfValue::at(index);
  }

  Vm& vm_;
  AmfGraph& graph_;
  std::unordered_map<Object*, uint32_t> nodes_;
};

// Script values of kept data.
class FromAmf {
 public:
  FromAmf(Vm& vm, const AmfGraph& graph) : vm_(vm), graph_(graph) {}
  void members(Object* target, const Members& members) {
    for (const auto& [name, v] : members) vm_.setMember(target, name, value(v));
  }
  Value value(const AmfValue& v) {
    switch (v.type) {
      case AmfValue::Type::Undefined:
        return Value();
      case AmfValue::Type::Null:
        return Value::null();
      case AmfValue::Type::Boolean:
        return Value(v.boolean);
      case AmfValue::Type::Number:
        return Value(v.number);
      case AmfValue::Type::String:
      case AmfValue::Type::Xml:
        return Value(v.text);
      case AmfValue::Type::Date: {
        Value time(v.number);
        return vm_.construct(vm_.getMember(vm_.global, "Date"), std::span<Value>(&time, 1));
      }
      case AmfValue::Type::Node:
        break;
    }
    if (v.node >= graph_.nodes.size()) return Value();
    if (auto it = made_.find(v.node); it != made_.end()) return Value(it->second);
    const AmfNode& node = graph_.nodes[v.node];
    Object* o = node.kind == AmfNode::Kind::Object ? vm_.newObject() : vm_.newArray();
    made_[v.node] = o;
    members(o, node.members);
    for (size_t i = 0; i < node.elements.size(); ++i)
      vm_.setMember(o, std::to_string(i), value(node.elements[i]));
    if (node.kind == AmfNode::Kind::EcmaArray)
      vm_.setMember(o, "length", Value(double(node.length)));
    return Value(o);
  }

 private:
  Vm& vm_;
  const AmfGraph& graph_;
  std::unordered_map<uint32_t, Object*> made_;
};

// The shared objects a movie has opened, by local path and name, on the prototype the
// player made; the holder is an object the collector always reaches, so open objects live
// as long as the movie.
struct OpenObjects {
  struct Place {
    std::string localPath, name;
    bool flushed = false;     // written by flush() (or cleared) since it was opened
    bool unreadable = false;  // its file was there but did not read: kept until a flush
  };
  std::map<std::string, Object*> byKey;
  std::map<Object*, Place> placeOf;
  Object* proto = nullptr;
  Object* holder = nullptr;
};

OpenObjects::Place* placeOf(Vm& vm, Object* self) {
  OpenObjects& open = vm.builtinState<OpenObjects>();
  auto it = self ? open.placeOf.find(self) : open.placeOf.end();
  return it == open.placeOf.end() ? nullptr : &it->second;
}

// The object's data as its file holds it; nullopt when it nests too deep.
std::optional<saves::SolFile> fileOf(Vm& vm, Object* self, const std::string& name) {
  saves::SolFile file;
  file.name = name;
  const Value data = vm.getMember(self, "data");
  if (data.isObject() && !ToAmf(vm, file.graph).members(data.asObject(), file.members))
    return std::nullopt;
  return file;
}

// Writes the object's data; false when there is too much of it or it cannot be written.
bool write(Vm& vm, Object* self, const OpenObjects::Place& place) {
  std::optional<saves::SolFile> file = fileOf(vm, self, place.name);
  if (!file || saves::writeSol(*file).size() > saves::SaveStore::kMaxBytesPerMovie) return false;
  return vm.host().saveSharedObject(place.name, place.localPath, *file);
}

// The movie's end writes every object it opened that holds data or was flushed, except
// those whose unreadable file the movie never replaced.
void writeOpenObjects(Vm& vm) {
  for (auto& [self, place] : vm.builtinState<OpenObjects>().placeOf) {
    if (place.unreadable && !place.flushed) continue;
    const Value data = vm.getMember(self, "data");
    const bool holdsData = data.isObject() && !vm.enumerableNames(data.asObject()).empty();
    if (holdsData || place.flushed) write(vm, self, place);
  }
}

Value getLocal(Vm& vm, CallInfo& c) {
  OpenObjects& open = vm.builtinState<OpenObjects>();
  if (!c.arg(0).isString() || !saves::SaveStore::validName(std::string(c.arg(0).asString())))
    return Value::null();
  const std::string name(c.arg(0).asString());
  const std::string path =
      c.args.size() > 1 && c.arg(1).isString() ? std::string(c.arg(1).asString()) : "";
  const std::string key = path + "\n" + name;
  if (auto it = open.byKey.find(key); it != open.byKey.end()) return Value(it->second);
  ScriptHost::SharedObjectData kept = vm.host().loadSharedObject(name, path);
  if (kept.refused) return Value::null();
  Object* so = vm.newObject(open.proto);
  Object* data = vm.newObject();
  if (kept.data) FromAmf(vm, kept.data->graph).members(data, kept.data->members);
  so->put("data", Value(data), kDontDelete, vm.caseInsensitive());
  open.holder->put(std::to_string(open.byKey.size()), Value(so), kDontEnum, vm.caseInsensitive());
  open.byKey[key] = so;
  open.placeOf[so] = {.localPath = path, .name = name, .unreadable = kept.unreadable};
  return Value(so);
}

// A remote shared object needs a server, which movies here cannot reach.
Value getRemote(Vm&, CallInfo&) { return Value::null(); }

// flush(): writes the data now; false when there is more than a movie may keep (a Flash
// player would ask for more room and answer "pending") or it cannot be written.
Value flush(Vm& vm, CallInfo& c) {
  OpenObjects::Place* place = placeOf(vm, c.thisObject());
  if (!place) return Value(false);
  const bool written = write(vm, c.thisObject(), *place);
  if (written) place->flushed = true;
  return Value(written);
}

// clear(): forgets the data, kept or not.
Value clear(Vm& vm, CallInfo& c) {
  OpenObjects::Place* place = placeOf(vm, c.thisObject());
  if (!place) return Value();
  c.thisObject()->put("data", Value(vm.newObject()), kDontDelete, vm.caseInsensitive());
  vm.host().removeSharedObject(place->name, place->localPath);
  place->flushed = false;
  place->unreadable = false;
  return Value();
}

// getSize(): the bytes the data takes when kept.
Value getSize(Vm& vm, CallInfo& c) {
  OpenObjects::Place* place = placeOf(vm, c.thisObject());
  if (!place) return Value(0);
  std::optional<saves::SolFile> file = fileOf(vm, c.thisObject(), place->name);
  return Value(file ? double(saves::writeSol(*file).size()) : 0.0);
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

Value valueFromAmf(Vm& vm, const saves::AmfGraph& graph, const saves::AmfValue& value) {
  return FromAmf(vm, graph).value(value);
}

void installSharedObject(Vm& vm) {
  OpenObjects& open = vm.builtinState<OpenObjects>();
  open.proto = installClass(vm, vm.global, kSharedObjectClass).prototype;
  vm.pin(open.proto);
  open.holder = vm.newObject();
  vm.pin(open.holder);
  vm.atMovieEnd(writeOpenObjects);
}

}  // namespace orv::movie::avm1
