// flash.net.SharedObject: data a movie keeps under a name to find again later, such as a
// game's progress. The host keeps each local shared object as a .sol file (or in memory
// where the player keeps no files); its members are written in the object's encoding
// (AMF3 unless the movie asks for AMF0). flush() writes at once, and so does the movie's
// end for every object that holds data. Remote shared objects need a server: refused.
#include <string>
#include <utility>
#include <vector>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/amf.h"
#include "movie/flash/events.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

// What one movie may keep in one shared object; more is refused as a Flash player refuses
// it without asking the user for room.
constexpr size_t kMaxBytes = 1 << 20;
constexpr size_t kMaxOpen = 1000;

class SharedObjectObject : public Object {
 public:
  using Object::Object;
  std::string name, localPath;
  Value data;
  uint32_t encoding = 3;
  bool opened = false;      // made by getLocal, not by `new`
  bool flushed = false;     // written by flush() (or cleared) since it was opened
  bool unreadable = false;  // its file was there but did not read: kept until a flush

  void markChildren(Marker& m) const override {
    Object::markChildren(m);
    m.mark(data);
  }
};

// The objects getLocal opened, by local path and name: they live as long as the movie.
struct SharedObjectsState : PackageState {
  std::vector<std::pair<std::string, SharedObjectObject*>> open;
  uint32_t defaultEncoding = 3;
  void markRoots(Marker& m) const override {
    for (const auto& entry : open) m.mark(static_cast<Object*>(entry.second));
  }
};

SharedObjectObject* self_(Machine& m, const Value& self) {
  return receiver<SharedObjectObject>(m, self, "SharedObject");
}

Object* allocSharedObject(Machine& m, ClassObject* cls) {
  return m.heap.make<SharedObjectObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

[[noreturn]] void cannotCreate(Machine& m) { m.fail(ErrorClass::Error, 2134); }

// The members of the data, in the order they were set.
std::vector<uint8_t> membersOf(Machine& m, SharedObjectObject* so) {
  std::vector<std::pair<String*, Value>> members;
  if (so->data.isObject()) {
    Object* data = so->data.asObject();
    for (size_t i = 0; i < data->ownCount(); ++i) {
      String* name = data->ownNameAt(i);
      if (!data->isEnumerable(name)) continue;
      members.emplace_back(name, m.getProperty(so->data, m.publicName(name)));
    }
  }
  std::vector<uint8_t> out;
  writeAmfMembers(m, out, members, so->encoding == 0);
  return out;
}

bool holdsData(SharedObjectObject* so) {
  if (!so->data.isObject()) return false;
  Object* data = so->data.asObject();
  for (size_t i = 0; i < data->ownCount(); ++i)
    if (data->isEnumerable(data->ownNameAt(i))) return true;
  return false;
}

bool write(Machine& m, SharedObjectObject* so) {
  const std::vector<uint8_t> members = membersOf(m, so);
  if (members.size() > kMaxBytes || !m.host) return false;
  return m.host->saveSharedObject(so->name, so->localPath, so->encoding, members);
}

Value getLocal(Machine& m, const Value&, std::span<Value> args) {
  const Value nameArg = arg(args, 0), pathArg = arg(args, 1);
  if (nameArg.isNull() || nameArg.isUndefined() || !m.host) cannotCreate(m);
  const std::string name(m.toString(nameArg).view());
  const std::string path =
      pathArg.isNull() || pathArg.isUndefined() ? "" : std::string(m.toString(pathArg).view());
  SharedObjectsState& s = m.packageState<SharedObjectsState>();
  const std::string key = path + '\n' + name;
  for (const auto& entry : s.open)
    if (entry.first == key) return Value(static_cast<Object*>(entry.second));
  if (s.open.size() >= kMaxOpen) cannotCreate(m);
  Host::SavedObject kept = m.host->loadSharedObject(name, path);
  if (kept.refused) cannotCreate(m);

  ClassObject* cls = m.findClass("flash.net.SharedObject");
  if (!cls) cannotCreate(m);
  auto* so = static_cast<SharedObjectObject*>(allocSharedObject(m, cls));
  so->name = name;
  so->localPath = path;
  so->encoding = s.defaultEncoding;
  so->opened = true;
  so->unreadable = kept.unreadable;
  so->data = Value(m.newObject());
  s.open.emplace_back(key, so);
  if (kept.members) {
    const bool amf0 = kept.amfVersion == 0;
    try {
      for (auto& [member, value] : readAmfMembers(m, kept.members->data(),
                                                  kept.members->size(), amf0))
        m.setProperty(so->data, m.publicName(m.toString(member).view()), std::move(value));
      so->encoding = amf0 ? 0 : 3;
    } catch (ScriptThrow&) {
      if (m.timedOut) throw;
      // A file that does not read is an empty object, and is left as it is until a flush.
      so->data = Value(m.newObject());
      so->unreadable = true;
      m.host->sharedObjectUnreadable(name);
    }
  }
  return Value(static_cast<Object*>(so));
}

// A remote shared object needs a server, which movies here cannot reach.
Value getRemote(Machine& m, const Value&, std::span<Value>) { cannotCreate(m); }

Value flush(Machine& m, const Value& self, std::span<Value>) {
  SharedObjectObject* so = self_(m, self);
  if (!so->opened || !write(m, so)) m.fail(ErrorClass::Error, 2130);
  so->flushed = true;
  so->unreadable = false;
  return Value(m.intern("flushed"));
}

// clear(): forgets the data, kept or not; the object stays open.
Value clear(Machine& m, const Value& self, std::span<Value>) {
  SharedObjectObject* so = self_(m, self);
  so->data = Value(m.newObject());
  if (so->opened && m.host) m.host->removeSharedObject(so->name, so->localPath);
  so->flushed = false;
  so->unreadable = false;
  return Value();
}

Value data(Machine& m, const Value& self, std::span<Value>) {
  SharedObjectObject* so = self_(m, self);
  if (!so->data.isObject()) so->data = Value(m.newObject());
  return so->data;
}

Value size(Machine& m, const Value& self, std::span<Value>) {
  return Value(uint32_t(membersOf(m, self_(m, self)).size()));
}

uint32_t encodingArg(Machine& m, const Value& v) {
  const uint32_t e = m.toUint(v);
  if (e != 0 && e != 3) m.fail(ErrorClass::ArgumentError, 2008, {"objectEncoding"});
  return e;
}

Value objectEncoding(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->encoding);
}
Value setObjectEncoding(Machine& m, const Value& self, std::span<Value> args) {
  self_(m, self)->encoding = encodingArg(m, arg(args, 0));
  return Value();
}
Value defaultObjectEncoding(Machine& m, const Value&, std::span<Value>) {
  return Value(m.packageState<SharedObjectsState>().defaultEncoding);
}
Value setDefaultObjectEncoding(Machine& m, const Value&, std::span<Value> args) {
  m.packageState<SharedObjectsState>().defaultEncoding = encodingArg(m, arg(args, 0));
  return Value();
}

// setProperty(name, value): data[name] = value (null or undefined takes it away).
Value setPropertyOf(Machine& m, const Value& self, std::span<Value> args) {
  SharedObjectObject* so = self_(m, self);
  if (!so->data.isObject()) so->data = Value(m.newObject());
  const Name name = m.publicName(m.toString(arg(args, 0)).view());
  const Value v = arg(args, 1);
  if (v.isNull() || v.isUndefined())
    m.deleteProperty(so->data, name);
  else
    m.setProperty(so->data, name, v);
  return Value();
}

// A local object has nothing to connect to or send.
Value connect(Machine& m, const Value&, std::span<Value>) { cannotCreate(m); }
Value nothing(Machine&, const Value&, std::span<Value>) { return Value(); }

const NativeMember kMembers[] = {
    {"data", MemberKind::Getter, data},
    {"size", MemberKind::Getter, size},
    {"objectEncoding", MemberKind::Getter, objectEncoding},
    {"objectEncoding", MemberKind::Setter, setObjectEncoding},
    {"flush", MemberKind::FinalMethod, flush},
    {"clear", MemberKind::FinalMethod, clear},
    {"setProperty", MemberKind::FinalMethod, setPropertyOf, 1},
    {"setDirty", MemberKind::FinalMethod, nothing, 1},
    {"close", MemberKind::FinalMethod, nothing},
    {"connect", MemberKind::FinalMethod, connect, 1},
    {"send", MemberKind::FinalMethod, nothing},
    {"fps", MemberKind::Setter, nothing},
    {"client", MemberKind::Slot},
    {"getLocal", MemberKind::StaticMethod, getLocal, 1},
    {"getRemote", MemberKind::StaticMethod, getRemote, 1},
    {"defaultObjectEncoding", MemberKind::StaticGetter, defaultObjectEncoding},
    {"defaultObjectEncoding", MemberKind::StaticSetter, setDefaultObjectEncoding},
};

const NativeMember kFlushStatus[] = {
    {"FLUSHED", MemberKind::Constant, nullptr, 0, 0, "flushed"},
    {"PENDING", MemberKind::Constant, nullptr, 0, 0, "pending"},
};

}  // namespace

void writeOpenSharedObjects(Machine& m) {
  for (const auto& entry : m.packageState<SharedObjectsState>().open) {
    SharedObjectObject* so = entry.second;
    if (so->unreadable && !so->flushed) continue;
    try {
      if (holdsData(so) || so->flushed) write(m, so);
    } catch (ScriptThrow&) {
      // Data that cannot be written (too deep) stays as it was last kept.
      if (m.timedOut) return;
    }
  }
}

void installSharedObject(Machine& m) {
  installClass(m, {.package = "flash.net",
                   .name = "SharedObject",
                   .base = "flash.events.EventDispatcher",
                   .members = kMembers,
                   .alloc = allocSharedObject,
                   .dynamic = false});
  installClass(m, {.package = "flash.net", .name = "SharedObjectFlushStatus",
                   .members = kFlushStatus, .isFinal = true});
}

}  // namespace orv::movie::avm2
