// flash.geom.Transform (a display object's matrix and colour transform, in its parent and
// down from the stage, and its bounds on the stage) and DisplayObject's transform,
// blendMode, scrollRect and cacheAsBitmap. Each read gives a new copy: changing it changes
// nothing until it is set.
#include <cmath>
#include <vector>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/display.h"
#include "movie/flash/geom.h"

namespace orv::movie::avm2 {

namespace {

constexpr const char* kBlendNames[] = {"normal",   "layer",  "multiply",   "screen", "lighten",
                                       "darken",   "difference", "add",    "subtract", "invert",
                                       "alpha",    "erase",  "overlay",    "hardlight"};
constexpr int kMaxNesting = 1000;  // parents walked up for the concatenated transforms

class TransformObject : public Object {
 public:
  using Object::Object;
  Object* target = nullptr;  // the display object's script object
  void markChildren(Marker& mk) const override {
    Object::markChildren(mk);
    if (target) mk.mark(target);
  }
};

TransformObject* transformOf(Machine& m, const Value& self) {
  return receiver<TransformObject>(m, self, "Transform");
}

// The display object the transform stands for; its handle (0 when there is no host).
DisplayHandle handleOf(Machine& m, const Value& self) {
  TransformObject* t = transformOf(m, self);
  auto* d = dynamic_cast<DisplayScript*>(t->target);
  return d && m.host ? d->handle : 0;
}

Value matrixValue(Machine& m, const base::Matrix& x) {
  return geomValue(makeGeom(m, "Matrix", {x.a, x.b, x.c, x.d, x.tx, x.ty}));
}

Value colorValue(Machine& m, const base::ColorTransform& c) {
  return geomValue(makeGeom(m, "ColorTransform", {c.rMul, c.gMul, c.bMul, c.aMul, c.rAdd, c.gAdd,
                                                  c.bAdd, c.aAdd}));
}

Value transformInit(Machine& m, const Value& self, std::span<Value> args) {
  TransformObject* t = transformOf(m, self);
  const Value target = arg(args, 0);
  if (target.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"displayObject"});
  if (!target.isObject() || !dynamic_cast<DisplayScript*>(target.asObject()))
    m.fail(ErrorClass::TypeError, 1034, {m.className(target), "flash.display.DisplayObject"});
  t->target = target.asObject();
  return Value();
}

Object* allocTransform(Machine& m, ClassObject* cls) {
  return m.heap.make<TransformObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value getMatrix(Machine& m, const Value& self, std::span<Value>) {
  const DisplayHandle h = handleOf(m, self);
  return matrixValue(m, h ? m.host->matrix(h) : base::Matrix{});
}

Value setMatrix(Machine& m, const Value& self, std::span<Value> args) {
  const DisplayHandle h = handleOf(m, self);
  // Null would turn the object to three dimensions, which this player does not draw.
  if (arg(args, 0).isNullish()) return Value();
  const double* v = geomArg(m, args[0], "Matrix", "value")->v;
  if (h) m.host->setMatrix(h, {v[0], v[1], v[2], v[3], v[4], v[5]});
  return Value();
}

Value getColor(Machine& m, const Value& self, std::span<Value>) {
  const DisplayHandle h = handleOf(m, self);
  return colorValue(m, h ? m.host->colorTransform(h) : base::ColorTransform{});
}

Value setColor(Machine& m, const Value& self, std::span<Value> args) {
  const DisplayHandle h = handleOf(m, self);
  const double* v = geomArg(m, arg(args, 0), "ColorTransform", "value")->v;
  auto finite = [](double d) { return std::isfinite(d) ? d : 0.0; };
  if (h)
    m.host->setColorTransform(h, {finite(v[0]), finite(v[1]), finite(v[2]), finite(v[3]),
                                  finite(v[4]), finite(v[5]), finite(v[6]), finite(v[7])});
  return Value();
}

// The object's transforms and those of every container up to the stage, combined.
Value concatenatedMatrix(Machine& m, const Value& self, std::span<Value>) {
  base::Matrix total;
  int n = 0;
  for (DisplayHandle h = handleOf(m, self); h && n < kMaxNesting; h = m.host->parentOf(h), ++n)
    total = m.host->matrix(h) * total;
  return matrixValue(m, total);
}

Value concatenatedColor(Machine& m, const Value& self, std::span<Value>) {
  base::ColorTransform total;
  int n = 0;
  for (DisplayHandle h = handleOf(m, self); h && n < kMaxNesting; h = m.host->parentOf(h), ++n)
    total = m.host->colorTransform(h) * total;
  return colorValue(m, total);
}

// Its bounds on the stage, in whole pixels.
Value pixelBounds(Machine& m, const Value& self, std::span<Value>) {
  const DisplayHandle h = handleOf(m, self);
  double box[4] = {0, 0, 0, 0};
  if (!h || !m.host->bounds(h, 0, box)) return geomValue(makeGeom(m, "Rectangle", {0, 0, 0, 0}));
  const double x = std::floor(box[0]), y = std::floor(box[1]);
  return geomValue(makeGeom(m, "Rectangle", {x, y, std::ceil(box[2]) - x, std::ceil(box[3]) - y}));
}

Value none(Machine&, const Value&, std::span<Value>) { return Value::null(); }

constexpr NativeMember kTransformMembers[] = {
    {"matrix", MemberKind::Getter, getMatrix},
    {"matrix", MemberKind::Setter, setMatrix},
    {"colorTransform", MemberKind::Getter, getColor},
    {"colorTransform", MemberKind::Setter, setColor},
    {"concatenatedMatrix", MemberKind::Getter, concatenatedMatrix},
    {"concatenatedColorTransform", MemberKind::Getter, concatenatedColor},
    {"pixelBounds", MemberKind::Getter, pixelBounds},
    {"matrix3D", MemberKind::Getter, none},
    {"perspectiveProjection", MemberKind::Getter, none},
};

// ---- DisplayObject ----

Value getTransform(Machine& m, const Value& self, std::span<Value>) {
  displayOf(m, self, "transform");
  ClassObject* cls = m.findClass("flash.geom.Transform");
  auto* t = static_cast<TransformObject*>(m.allocate(cls));
  t->target = self.asObject();
  return Value(static_cast<Object*>(t));
}

// Takes the other transform's matrix and colour transform.
Value setTransform(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = displayOf(m, self, "transform");
  if (arg(args, 0).isNullish()) m.fail(ErrorClass::TypeError, 2007, {"transform"});
  auto* from = args[0].isObject() ? dynamic_cast<TransformObject*>(args[0].asObject()) : nullptr;
  if (!from) m.fail(ErrorClass::TypeError, 1034, {m.className(args[0]), "flash.geom.Transform"});
  auto* source = dynamic_cast<DisplayScript*>(from->target);
  if (!m.host || !d->handle || !source || !source->handle) return Value();
  m.host->setMatrix(d->handle, m.host->matrix(source->handle));
  m.host->setColorTransform(d->handle, m.host->colorTransform(source->handle));
  return Value();
}

Value getBlendMode(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "blendMode");
  const uint8_t mode = m.host && d->handle ? m.host->blendMode(d->handle) : 0;
  return Value(StringRef(blendModeName(mode)));
}

Value setBlendMode(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = displayOf(m, self, "blendMode");
  const uint8_t mode = blendModeNumber(m.toText(arg(args, 0)));
  if (mode == 0) m.fail(ErrorClass::ArgumentError, 2008, {"blendMode"});
  if (m.host && d->handle) m.host->setBlendMode(d->handle, mode);
  return Value();
}

Value getScrollRect(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "scrollRect");
  double r[4];
  if (!m.host || !d->handle || !m.host->scrollRect(d->handle, r)) return Value::null();
  return geomValue(makeGeom(m, "Rectangle", {r[0], r[1], r[2], r[3]}));
}

Value setScrollRect(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = displayOf(m, self, "scrollRect");
  const double* r = arg(args, 0).isNullish() ? nullptr : geomArg(m, args[0], "Rectangle", "value")->v;
  if (m.host && d->handle) m.host->setScrollRect(d->handle, r);
  return Value();
}

Value getCacheAsBitmap(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "cacheAsBitmap");
  return Value(m.host && d->handle && m.host->cacheAsBitmap(d->handle));
}

Value setCacheAsBitmap(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = displayOf(m, self, "cacheAsBitmap");
  if (m.host && d->handle) m.host->setCacheAsBitmap(d->handle, toBoolean(arg(args, 0)));
  return Value();
}

constexpr NativeMember kDisplayMembers[] = {
    {"scrollRect", MemberKind::Getter, getScrollRect},
    {"scrollRect", MemberKind::Setter, setScrollRect},
    {"cacheAsBitmap", MemberKind::Getter, getCacheAsBitmap},
    {"cacheAsBitmap", MemberKind::Setter, setCacheAsBitmap},
    {"transform", MemberKind::Getter, getTransform},
    {"transform", MemberKind::Setter, setTransform},
    {"blendMode", MemberKind::Getter, getBlendMode},
    {"blendMode", MemberKind::Setter, setBlendMode},
};

}  // namespace

uint8_t blendModeNumber(std::string_view name) {
  for (size_t i = 0; i < std::size(kBlendNames); ++i)
    if (name == kBlendNames[i]) return uint8_t(i + 1);
  return 0;
}

const char* blendModeName(uint8_t mode) {
  return mode >= 1 && mode <= std::size(kBlendNames) ? kBlendNames[mode - 1] : "normal";
}

std::span<const NativeMember> displayTransformMembers() { return kDisplayMembers; }

void installTransformClass(Machine& m) {
  installClass(m, {.package = "flash.geom",
                   .name = "Transform",
                   .members = kTransformMembers,
                   .init = transformInit,
                   .alloc = allocTransform,
                   .dynamic = false,
                   .initLength = 1});
}

}  // namespace orv::movie::avm2
