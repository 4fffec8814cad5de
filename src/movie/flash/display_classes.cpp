// flash.display's DisplayObject, InteractiveObject, DisplayObjectContainer and Sprite over
// the host's display list: properties, children by index, and the script objects that
// stand for the timeline's objects.
#include <cmath>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/display.h"
#include "movie/flash/filters.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

DisplayScript::~DisplayScript() {
  if (!handle || !machine) return;
  auto it = machine->displayObjects.find(handle);
  if (it == machine->displayObjects.end() || it->second != this) return;
  machine->displayObjects.erase(it);
  if (machine->host) machine->host->release(handle);
}

void DisplayScript::markChildren(Marker& mk) const {
  Object::markChildren(mk);
  for (const Value& v : frameScripts) mk.mark(v);
  if (graphics) mk.mark(graphics);
  for (Object* f : filters) mk.mark(f);
  if (input.hitArea) mk.mark(input.hitArea);
  for (Object* s : input.states)
    if (s) mk.mark(s);
  if (!handle || !machine || !machine->host) return;
  Host& host = *machine->host;
  auto markHandle = [&](DisplayHandle h) {
    auto it = machine->displayObjects.find(h);
    if (it != machine->displayObjects.end()) mk.mark(it->second);
  };
  markHandle(host.parentOf(handle));
  const int n = host.numChildren(handle);
  for (int i = 0; i < n; ++i) markHandle(host.childAt(handle, i));
}

namespace {

Object* allocDisplay(Machine& m, ClassObject* cls) {
  auto* d = m.heap.make<DisplayScript>(cls->instanceTraits.get(), cls, cls->prototypeObject);
  d->machine = &m;
  return d;
}

Host& hostOf(Machine& m) {
  if (!m.host) m.fail(ErrorClass::Error, 1001, {"display list"});
  return *m.host;
}

void bind(Machine& m, DisplayScript* d, DisplayHandle h) {
  d->handle = h;
  if (!h) return;
  m.displayObjects[h] = d;
}

ClassObject* classFor(Machine& m, Host& host, DisplayHandle h) {
  std::string linked = host.linkedClass(h);
  if (!linked.empty())
    if (ClassObject* c = m.findClass(linked, domainOfMovie(m, host.movieOf(h)))) return c;
  switch (host.kindOf(h)) {
    case DisplayKind::Stage:
      return m.findClass("flash.display.Stage");
    case DisplayKind::MovieClip:
      return m.findClass("flash.display.MovieClip");
    case DisplayKind::Shape:
      return m.findClass("flash.display.Shape");
    case DisplayKind::Button:
      return m.findClass("flash.display.SimpleButton");
    case DisplayKind::TextField:
      return m.findClass("flash.text.TextField");
    case DisplayKind::StaticText:
      return m.findClass("flash.text.StaticText");
    case DisplayKind::Bitmap:
      return m.findClass("flash.display.Bitmap");
    default:
      return m.findClass("flash.display.DisplayObject");
  }
}

// The child becomes the property of its parent that its name says, where there is one.
void nameOnParent(Machine& m, DisplayHandle child, const Value& childObject) {
  Host& host = *m.host;
  auto parent = m.displayObjects.find(host.parentOf(child));
  if (parent == m.displayObjects.end()) return;
  std::string name = host.name(child);
  if (name.empty()) return;
  try {
    m.setProperty(Value(parent->second), m.publicName(name), childObject);
  } catch (ScriptThrow&) {
    // A sealed parent without such a property: the child is found by name only.
  }
}

Value displayInit(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  if (d->handle || !m.host) return Value();
  ClassObject* cls = d->klass();
  ClassObject* shape = m.findClass("flash.display.Shape");
  ClassObject* container = m.findClass("flash.display.DisplayObjectContainer");
  ClassObject* field = m.findClass("flash.text.TextField");
  DisplayKind kind = DisplayKind::MovieClip;
  if (shape && cls->isSubclassOf(shape))
    kind = DisplayKind::Shape;
  else if (field && cls->isSubclassOf(field))
    kind = DisplayKind::TextField;
  else if (!container || !cls->isSubclassOf(container))
    m.fail(ErrorClass::ArgumentError, 2012, {m.toText(Value(cls->simpleName))});
  // A host without a display list (or past its bound on objects) gives none: the object
  // then stands for nothing on the stage.
  bind(m, d, m.host->create(kind));
  return Value();
}

}  // namespace

void initDisplayObject(Machine& m, const Value& self, DisplayKind kind) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  if (!d->handle && m.host) bind(m, d, m.host->create(kind));
}

namespace {

// ---- DisplayObject ----

template <DisplayProp P>
Value getProp(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  double v = hostOf(m).property(d->handle, P);
  if (P == DisplayProp::Visible) return Value(v != 0);
  if (P == DisplayProp::Alpha) return Value(std::round(v * 256) / 256);
  if (P == DisplayProp::X || P == DisplayProp::Y) return Value::number(v);
  return Value(v);
}

template <DisplayProp P>
Value setProp(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  Value v = arg(args, 0);
  double n = P == DisplayProp::Visible ? (toBoolean(v) ? 1 : 0) : m.toNumber(v);
  hostOf(m).setProperty(d->handle, P, n);
  return Value();
}

Value getName(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  if (d->handle && d->handle == hostOf(m).stage()) return Value::null();  // the stage has none
  return Value(StringRef(hostOf(m).name(d->handle)));
}

Value setName(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  Value v = arg(args, 0);
  hostOf(m).setName(d->handle, v.isNullish() ? std::string() : m.toText(v));
  return Value();
}

Value getParent(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  return displayObjectFor(m, hostOf(m).parentOf(d->handle));
}

// The object below the stage this one is in; null off the stage.
DisplayHandle rootHandle(Host& host, DisplayHandle h) {
  const DisplayHandle stage = host.stage();
  for (int i = 0; h && i < 256; ++i) {
    DisplayHandle p = host.parentOf(h);
    if (p == stage && stage) return h;
    if (h == stage) return 0;
    h = p;
  }
  return 0;
}

Value getRoot(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  return displayObjectFor(m, rootHandle(hostOf(m), d->handle));
}

Value getStage(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "DisplayObject");
  Host& host = hostOf(m);
  if (d->handle == host.stage()) return self;
  return rootHandle(host, d->handle) ? displayObjectFor(m, host.stage()) : Value::null();
}

// ---- DisplayObjectContainer ----

DisplayScript* childArg(Machine& m, std::span<Value> args, size_t i) {
  Value v = arg(args, i);
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"child"});
  auto* c = v.isObject() ? dynamic_cast<DisplayScript*>(v.asObject()) : nullptr;
  if (!c) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.display.DisplayObject"});
  return c;
}

int indexOf(Host& host, DisplayHandle parent, DisplayHandle child) {
  const int n = host.numChildren(parent);
  for (int i = 0; i < n; ++i)
    if (host.childAt(parent, i) == child) return i;
  return -1;
}

int indexArg(Machine& m, std::span<Value> args, size_t i, int limit) {
  double v = m.toNumber(arg(args, i));
  if (!(v >= 0 && v <= limit)) m.fail(ErrorClass::RangeError, 2006);
  return static_cast<int>(v);
}

Value addChildAt(Machine& m, DisplayScript* parent, DisplayScript* child, int index) {
  Host& host = hostOf(m);
  if (child == parent) m.fail(ErrorClass::ArgumentError, 2024);
  for (DisplayHandle a = host.parentOf(parent->handle); a; a = host.parentOf(a))
    if (a == child->handle) m.fail(ErrorClass::ArgumentError, 2150);
  // Moving within the parent counts the child once.
  if (host.parentOf(child->handle) == parent->handle) {
    const int n = host.numChildren(parent->handle);
    if (index >= n) index = n - 1;
  }
  const DisplayHandle was = host.parentOf(child->handle);
  if (was && was != parent->handle) sendRemoved(m, child->handle);
  host.insertChild(parent->handle, child->handle, index);
  if (was != parent->handle) sendAdded(m, child->handle);
  return Value(static_cast<Object*>(child));
}

Value addChild(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "addChild");
  DisplayScript* c = childArg(m, args, 0);
  return addChildAt(m, p, c, hostOf(m).numChildren(p->handle));
}

Value addChildAtIndex(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "addChildAt");
  DisplayScript* c = childArg(m, args, 0);
  int index = indexArg(m, args, 1, hostOf(m).numChildren(p->handle));
  return addChildAt(m, p, c, index);
}

Value removeChild(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "removeChild");
  DisplayScript* c = childArg(m, args, 0);
  int i = indexOf(hostOf(m), p->handle, c->handle);
  if (i < 0) m.fail(ErrorClass::ArgumentError, 2025);
  sendRemoved(m, c->handle);
  i = indexOf(hostOf(m), p->handle, c->handle);  // listeners may have moved it
  if (i >= 0) hostOf(m).removeChildAt(p->handle, i);
  return Value(static_cast<Object*>(c));
}

Value removeChildAtIndex(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "removeChildAt");
  Host& host = hostOf(m);
  int i = indexArg(m, args, 0, host.numChildren(p->handle) - 1);
  DisplayHandle c = host.childAt(p->handle, i);
  Value child = displayObjectFor(m, c);
  sendRemoved(m, c);
  if (host.parentOf(c) == p->handle) host.removeChildAt(p->handle, indexOf(host, p->handle, c));
  return child;
}

// removeChildren(begin = 0, end = int.MAX): an end left at its default is the last child
// (and nothing to remove is no error); one given must lie within the children.
Value removeChildren(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "removeChildren");
  Host& host = hostOf(m);
  const int n = host.numChildren(p->handle);
  constexpr int32_t kLast = 0x7fffffff;
  int32_t from = args.size() > 0 ? m.toInt(args[0]) : 0;
  int32_t to = args.size() > 1 ? m.toInt(args[1]) : kLast;
  if (to == kLast) {
    to = n - 1;
    if (from < 0) m.fail(ErrorClass::RangeError, 2006);
    if (from > to) return Value();
  } else if (from < 0 || to < 0 || to >= n || from > to) {
    m.fail(ErrorClass::RangeError, 2006);
  }
  for (int32_t i = to; i >= from; --i) {
    displayObjectFor(m, host.childAt(p->handle, i));  // keeps its object
    host.removeChildAt(p->handle, i);
  }
  return Value();
}

Value getChildAt(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "getChildAt");
  Host& host = hostOf(m);
  int i = indexArg(m, args, 0, host.numChildren(p->handle) - 1);
  return displayObjectFor(m, host.childAt(p->handle, i));
}

Value getChildIndex(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "getChildIndex");
  DisplayScript* c = childArg(m, args, 0);
  int i = indexOf(hostOf(m), p->handle, c->handle);
  if (i < 0) m.fail(ErrorClass::ArgumentError, 2025);
  return Value(int32_t(i));
}

Value setChildIndex(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "setChildIndex");
  DisplayScript* c = childArg(m, args, 0);
  Host& host = hostOf(m);
  int index = indexArg(m, args, 1, host.numChildren(p->handle) - 1);
  if (indexOf(host, p->handle, c->handle) < 0) m.fail(ErrorClass::ArgumentError, 2025);
  host.insertChild(p->handle, c->handle, index);
  return Value();
}

Value swapChildrenAt(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "swapChildrenAt");
  Host& host = hostOf(m);
  const int last = host.numChildren(p->handle) - 1;
  int a = indexArg(m, args, 0, last), b = indexArg(m, args, 1, last);
  host.swapChildrenAt(p->handle, a, b);
  return Value();
}

Value swapChildren(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "swapChildren");
  DisplayScript* a = childArg(m, args, 0);
  DisplayScript* b = childArg(m, args, 1);
  Host& host = hostOf(m);
  int i = indexOf(host, p->handle, a->handle), j = indexOf(host, p->handle, b->handle);
  if (i < 0 || j < 0) m.fail(ErrorClass::ArgumentError, 2025);
  host.swapChildrenAt(p->handle, i, j);
  return Value();
}

Value getChildByName(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "getChildByName");
  Host& host = hostOf(m);
  std::string name = m.toText(arg(args, 0));
  const int n = host.numChildren(p->handle);
  for (int i = 0; i < n; ++i) {
    DisplayHandle c = host.childAt(p->handle, i);
    if (host.name(c) == name) return displayObjectFor(m, c);
  }
  return Value::null();
}

Value contains(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* p = displayOf(m, self, "contains");
  Value v = arg(args, 0);
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"child"});
  auto* c = v.isObject() ? dynamic_cast<DisplayScript*>(v.asObject()) : nullptr;
  if (!c) return Value(false);
  Host& host = hostOf(m);
  int guard = 0;
  for (DisplayHandle h = c->handle; h && guard < 256; h = host.parentOf(h), ++guard)
    if (h == p->handle) return Value(true);
  return Value(false);
}

Value numChildren(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* p = displayOf(m, self, "numChildren");
  return Value(int32_t(hostOf(m).numChildren(p->handle)));
}

constexpr NativeMember kDisplayObjectMembers[] = {
    {"x", MemberKind::Getter, getProp<DisplayProp::X>},
    {"x", MemberKind::Setter, setProp<DisplayProp::X>},
    {"y", MemberKind::Getter, getProp<DisplayProp::Y>},
    {"y", MemberKind::Setter, setProp<DisplayProp::Y>},
    {"scaleX", MemberKind::Getter, getProp<DisplayProp::ScaleX>},
    {"scaleX", MemberKind::Setter, setProp<DisplayProp::ScaleX>},
    {"scaleY", MemberKind::Getter, getProp<DisplayProp::ScaleY>},
    {"scaleY", MemberKind::Setter, setProp<DisplayProp::ScaleY>},
    {"rotation", MemberKind::Getter, getProp<DisplayProp::Rotation>},
    {"rotation", MemberKind::Setter, setProp<DisplayProp::Rotation>},
    {"alpha", MemberKind::Getter, getProp<DisplayProp::Alpha>},
    {"alpha", MemberKind::Setter, setProp<DisplayProp::Alpha>},
    {"visible", MemberKind::Getter, getProp<DisplayProp::Visible>},
    {"visible", MemberKind::Setter, setProp<DisplayProp::Visible>},
    {"width", MemberKind::Getter, getProp<DisplayProp::Width>},
    {"width", MemberKind::Setter, setProp<DisplayProp::Width>},
    {"height", MemberKind::Getter, getProp<DisplayProp::Height>},
    {"height", MemberKind::Setter, setProp<DisplayProp::Height>},
    {"mouseX", MemberKind::Getter, getProp<DisplayProp::MouseX>},
    {"mouseY", MemberKind::Getter, getProp<DisplayProp::MouseY>},
    {"name", MemberKind::Getter, getName},
    {"name", MemberKind::Setter, setName},
    {"parent", MemberKind::Getter, getParent},
    {"root", MemberKind::Getter, getRoot},
    {"stage", MemberKind::Getter, getStage},
};

// DisplayObject's own members and those of its transform.
std::span<const NativeMember> displayObjectRows() {
  static const std::vector<NativeMember> rows = [] {
    std::vector<NativeMember> r(std::begin(kDisplayObjectMembers), std::end(kDisplayObjectMembers));
    std::span<const NativeMember> more = displayTransformMembers();
    r.insert(r.end(), more.begin(), more.end());
    std::span<const NativeMember> loading = displayLoaderInfoMembers();
    r.insert(r.end(), loading.begin(), loading.end());
    std::span<const NativeMember> filters = displayFilterMembers();
    r.insert(r.end(), filters.begin(), filters.end());
    return r;
  }();
  return rows;
}

constexpr NativeMember kContainerMembers[] = {
    {"numChildren", MemberKind::Getter, numChildren},
    {"addChild", MemberKind::FinalMethod, addChild, 1},
    {"addChildAt", MemberKind::FinalMethod, addChildAtIndex, 2},
    {"removeChild", MemberKind::FinalMethod, removeChild, 1},
    {"removeChildAt", MemberKind::FinalMethod, removeChildAtIndex, 1},
    {"removeChildren", MemberKind::FinalMethod, removeChildren, 0},
    {"getChildAt", MemberKind::FinalMethod, getChildAt, 1},
    {"getChildIndex", MemberKind::FinalMethod, getChildIndex, 1},
    {"setChildIndex", MemberKind::FinalMethod, setChildIndex, 2},
    {"swapChildren", MemberKind::FinalMethod, swapChildren, 2},
    {"swapChildrenAt", MemberKind::FinalMethod, swapChildrenAt, 2},
    {"getChildByName", MemberKind::FinalMethod, getChildByName, 1},
    {"contains", MemberKind::FinalMethod, contains, 1},
};

}  // namespace

DisplayScript* displayOf(Machine& m, const Value& self, const char* method) {
  return receiver<DisplayScript>(m, self, method);
}

Value constructBound(Machine& m, ClassObject* cls, DisplayHandle h) {
  Object* o = m.allocate(cls);
  auto* d = dynamic_cast<DisplayScript*>(o);
  if (!d) m.fail(ErrorClass::TypeError, 1034, {m.toText(Value(cls->name)), "DisplayObject"});
  bind(m, d, h);
  Value self(o);
  // The timeline's children of a clip are there before its constructor runs.
  Host& host = *m.host;
  const int n = host.numChildren(h);
  // Each hears it was added as soon as it is made.
  for (int i = 0; i < n; ++i) {
    const DisplayHandle child = host.childAt(h, i);
    if (m.displayObjects.count(child)) continue;
    displayObjectFor(m, child);
    sendAdded(m, child);
  }
  m.runInitialiser(cls, self, {});
  return self;
}

Value displayObjectFor(Machine& m, DisplayHandle h) {
  if (!h || !m.host) return Value::null();
  if (auto it = m.displayObjects.find(h); it != m.displayObjects.end()) return Value(it->second);
  ClassObject* cls = classFor(m, *m.host, h);
  if (!cls) return Value::null();
  Value made = constructBound(m, cls, h);
  nameOnParent(m, h, made);
  return made;
}

bool runFrameScript(Machine& m, DisplayHandle h, int frame) {
  auto it = m.displayObjects.find(h);
  if (it == m.displayObjects.end() || frame < 0) return false;
  auto* d = static_cast<DisplayScript*>(it->second);
  if (static_cast<size_t>(frame) >= d->frameScripts.size()) return false;
  Value fn = d->frameScripts[static_cast<size_t>(frame)];
  if (!fn.isObject()) return false;
  m.call(fn, Value(it->second), {});
  return true;
}

void installDisplayClasses(Machine& m) {
  installTransformClass(m);
  installClass(m, {.package = "flash.display",
                   .name = "DisplayObject",
                   .base = "flash.events.EventDispatcher",
                   .members = withInputMembers("DisplayObject", displayObjectRows()),
                   .init = displayInit,
                   .alloc = allocDisplay,
                   .dynamic = false});
  installInteractiveObject(m);
  installClass(m, {.package = "flash.display",
                   .name = "DisplayObjectContainer",
                   .base = "flash.display.InteractiveObject",
                   .members = withInputMembers("DisplayObjectContainer", kContainerMembers),
                   .dynamic = false});
  installGraphicsClasses(m);
  installBitmapClasses(m);
  installLoaderInfo(m);  // Loader, a container
  installClipClasses(m);
  installSimpleButton(m);
  installDisplayEvents(m);
}

}  // namespace orv::movie::avm2
