// flash.display.LoaderInfo of the movie the player opened: its URL, size, stage size,
// frame rate and version, reached through DisplayObject.loaderInfo from anything on the
// stage. A local movie is all there at once: after its first frame it reports progress to
// the end, init and complete, which is what a preloader waits for.
#include <string>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/display.h"
#include "movie/flash/events.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

class LoaderInfoObject : public Object {
 public:
  using Object::Object;
  Value content = Value::null();
  Value parameters;
  Value sharedEvents;
  Value uncaughtErrorEvents;
  Value applicationDomain;
  Host::MovieFile file;
  bool complete = false;

  void markChildren(Marker& m) const override {
    Object::markChildren(m);
    for (const Value* v : {&content, &parameters, &sharedEvents, &uncaughtErrorEvents,
                           &applicationDomain})
      m.mark(*v);
  }
};

struct LoaderInfoState : PackageState {
  LoaderInfoObject* main = nullptr;
  void markRoots(Marker& m) const override {
    if (main) m.mark(static_cast<Object*>(main));
  }
};

LoaderInfoObject* self_(Machine& m, const Value& self) {
  return receiver<LoaderInfoObject>(m, self, "LoaderInfo");
}

Object* allocInfo(Machine& m, ClassObject* cls) {
  return m.heap.make<LoaderInfoObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value construct(Machine& m, const char* cls) {
  ClassObject* c = m.findClass(cls);
  if (!c) m.fail(ErrorClass::ReferenceError, 1065, {cls});
  return m.construct(Value(static_cast<Object*>(c)), {});
}

// The main movie's, made when scripts first ask for it.
LoaderInfoObject* mainInfo(Machine& m) {
  LoaderInfoState& s = m.packageState<LoaderInfoState>();
  if (s.main) return s.main;
  ClassObject* cls = m.findClass("flash.display.LoaderInfo");
  if (!cls || !m.host) return nullptr;
  auto* info = static_cast<LoaderInfoObject*>(allocInfo(m, cls));
  s.main = info;
  info->file = m.host->movieFile();
  info->parameters = Value(m.newObject());
  info->sharedEvents = construct(m, "flash.events.EventDispatcher");
  info->uncaughtErrorEvents = construct(m, "flash.events.EventDispatcher");
  info->applicationDomain = construct(m, "flash.system.ApplicationDomain");
  return info;
}

Value url(Machine& m, const Value& self, std::span<Value>) {
  LoaderInfoObject* i = self_(m, self);
  return i->file.url.empty() ? Value::null() : Value(StringRef(i->file.url));
}
Value bytesTotal(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->file.bytesTotal);
}
Value bytesLoaded(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->file.bytesTotal);
}
Value width(Machine& m, const Value& self, std::span<Value>) {
  return Value(int32_t(self_(m, self)->file.width));
}
Value height(Machine& m, const Value& self, std::span<Value>) {
  return Value(int32_t(self_(m, self)->file.height));
}
Value frameRate(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->file.frameRate);
}
Value swfVersion(Machine& m, const Value& self, std::span<Value>) {
  return Value(uint32_t(self_(m, self)->file.version));
}
Value actionScriptVersion(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value(uint32_t(3));
}
Value contentType(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value(m.intern("application/x-shockwave-flash"));
}
Value content(Machine& m, const Value& self, std::span<Value>) {
  LoaderInfoObject* i = self_(m, self);
  if (i->content.isNull() && m.host) {
    // The root: the object just below the stage that the movie made first.
    Host& host = *m.host;
    if (host.numChildren(host.stage()) > 0) i->content = displayObjectFor(m, host.childAt(host.stage(), 0));
  }
  return i->content;
}
Value nullValue(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value::null();
}
Value yes(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value(true);
}
Value no(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value(false);
}
template <Value LoaderInfoObject::*F>
Value field(Machine& m, const Value& self, std::span<Value>) {
  return self_(m, self)->*F;
}

const NativeMember kMembers[] = {
    {"url", MemberKind::Getter, url},
    {"loaderURL", MemberKind::Getter, url},
    {"bytesLoaded", MemberKind::Getter, bytesLoaded},
    {"bytesTotal", MemberKind::Getter, bytesTotal},
    {"width", MemberKind::Getter, width},
    {"height", MemberKind::Getter, height},
    {"frameRate", MemberKind::Getter, frameRate},
    {"swfVersion", MemberKind::Getter, swfVersion},
    {"actionScriptVersion", MemberKind::Getter, actionScriptVersion},
    {"contentType", MemberKind::Getter, contentType},
    {"content", MemberKind::Getter, content},
    {"loader", MemberKind::Getter, nullValue},
    {"bytes", MemberKind::Getter, nullValue},
    {"childSandboxBridge", MemberKind::Getter, nullValue},
    {"parentSandboxBridge", MemberKind::Getter, nullValue},
    {"parameters", MemberKind::Getter, field<&LoaderInfoObject::parameters>},
    {"sharedEvents", MemberKind::Getter, field<&LoaderInfoObject::sharedEvents>},
    {"uncaughtErrorEvents", MemberKind::Getter, field<&LoaderInfoObject::uncaughtErrorEvents>},
    {"applicationDomain", MemberKind::Getter, field<&LoaderInfoObject::applicationDomain>},
    {"childAllowsParent", MemberKind::Getter, yes},
    {"parentAllowsChild", MemberKind::Getter, yes},
    {"sameDomain", MemberKind::Getter, yes},
    {"isURLInaccessible", MemberKind::Getter, no},
};

// new LoaderInfo() is the player's alone.
Value refuseConstruct(Machine& m, const Value&, std::span<Value>) {
  m.fail(ErrorClass::ArgumentError, 2012, {"LoaderInfo"});
}

Value getLoaderInfo(Machine& m, const Value& self, std::span<Value>) {
  auto* d = self.isObject() ? dynamic_cast<DisplayScript*>(self.asObject()) : nullptr;
  if (!d) m.fail(ErrorClass::TypeError, 1004, {"loaderInfo"});
  Host& host = *m.host;
  bool onStage = d->handle == host.stage();
  DisplayHandle h = d->handle;
  for (int depth = 0; h && !onStage && depth < 256; ++depth, h = host.parentOf(h))
    onStage = host.parentOf(h) == host.stage();
  LoaderInfoObject* info = onStage ? mainInfo(m) : nullptr;
  return info ? Value(static_cast<Object*>(info)) : Value::null();
}

}  // namespace

std::span<const NativeMember> displayLoaderInfoMembers() {
  static const NativeMember rows[] = {{"loaderInfo", MemberKind::Getter, getLoaderInfo}};
  return rows;
}

void sendMainMovieLoaded(Machine& m) {
  LoaderInfoObject* info = mainInfo(m);
  if (!info || info->complete) return;
  info->complete = true;
  const double total = info->file.bytesTotal;
  ClassObject* progress = m.findClass("flash.events.ProgressEvent");
  if (progress) {
    std::vector<Value> args = {Value(m.intern("progress")), Value(false), Value(false),
                               Value(total), Value(total)};
    Value e = m.construct(Value(static_cast<Object*>(progress)), args);
    if (auto* event = e.isObject() ? dynamic_cast<EventObject*>(e.asObject()) : nullptr)
      dispatchEvent(m, info, event);
  }
  dispatchEvent(m, info, makeEvent(m, "init"));
  dispatchEvent(m, info, makeEvent(m, "complete"));
}

void installLoaderInfo(Machine& m) {
  installClass(m, {.package = "flash.display",
                   .name = "LoaderInfo",
                   .base = "flash.events.EventDispatcher",
                   .members = kMembers,
                   .construct = refuseConstruct,
                   .alloc = allocInfo,
                   .dynamic = false});
}

}  // namespace orv::movie::avm2
