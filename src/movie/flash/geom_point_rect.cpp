// flash.geom.Point and Rectangle, and what the geometry classes share.
#include <algorithm>
#include <cmath>
#include <string>

#include "movie/avm2/toplevel.h"
#include "movie/flash/geom.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

GeomObject* geomSelf(Machine& m, const Value& self) {
  return receiver<GeomObject>(m, self, "flash.geom");
}

Object* allocGeom(Machine& m, ClassObject* cls) {
  return m.heap.make<GeomObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value geomText(Machine& m, const GeomObject* g, std::initializer_list<const char*> names) {
  std::string out = "(";
  size_t i = 0;
  for (const char* n : names) {
    if (i) out += ", ";
    out += n;
    out += "=" + m.toText(Value(g->v[i++]));
  }
  return Value(StringRef(out + ")"));
}

void geomFill(Machine& m, GeomObject* g, std::span<Value> args,
              std::initializer_list<double> defaults) {
  size_t i = 0;
  for (double d : defaults) {
    g->v[i] = i < args.size() ? m.toNumber(args[i]) : d;
    ++i;
  }
}

GeomObject* makeGeom(Machine& m, std::string_view cls, std::initializer_list<double> values) {
  ClassObject* c = m.findClass("flash.geom." + std::string(cls));
  if (!c) m.fail(ErrorClass::ReferenceError, 1065, {std::string(cls)});
  auto* g = static_cast<GeomObject*>(m.allocate(c));
  size_t i = 0;
  for (double d : values) g->v[i++] = d;
  return g;
}

GeomObject* geomArg(Machine& m, const Value& v, std::string_view cls, const char* param) {
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {param});
  auto* g = v.isObject() ? dynamic_cast<GeomObject*>(v.asObject()) : nullptr;
  std::string name = "flash.geom." + std::string(cls);
  if (!g || !g->klass() || !m.isInstance(v, m.findClass(name)))
    m.fail(ErrorClass::TypeError, 1034, {m.className(v), name});
  return g;
}

namespace {

// ---- Point ----

GeomObject* point(Machine& m, std::span<Value> args, size_t i) {
  return geomArg(m, arg(args, i), "Point", "point");
}
Value newPoint(Machine& m, double x, double y) { return geomValue(makeGeom(m, "Point", {x, y})); }

Value pointInit(Machine& m, const Value& self, std::span<Value> args) {
  geomFill(m, geomSelf(m, self), args, {0, 0});
  return Value();
}
Value pointLength(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* p = geomSelf(m, self);
  return Value(std::hypot(p->v[0], p->v[1]));
}
Value pointAdd(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *p = geomSelf(m, self), *q = point(m, args, 0);
  return newPoint(m, p->v[0] + q->v[0], p->v[1] + q->v[1]);
}
Value pointSubtract(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *p = geomSelf(m, self), *q = point(m, args, 0);
  return newPoint(m, p->v[0] - q->v[0], p->v[1] - q->v[1]);
}
Value pointClone(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* p = geomSelf(m, self);
  return newPoint(m, p->v[0], p->v[1]);
}
Value pointEquals(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *p = geomSelf(m, self), *q = point(m, args, 0);
  return Value(p->v[0] == q->v[0] && p->v[1] == q->v[1]);
}
Value pointNormalize(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* p = geomSelf(m, self);
  double length = std::hypot(p->v[0], p->v[1]);
  if (length > 0) {
    double scale = m.toNumber(arg(args, 0)) / length;
    p->v[0] *= scale;
    p->v[1] *= scale;
  }
  return Value();
}
Value pointOffset(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* p = geomSelf(m, self);
  p->v[0] += m.toNumber(arg(args, 0));
  p->v[1] += m.toNumber(arg(args, 1));
  return Value();
}
Value pointSetTo(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* p = geomSelf(m, self);
  p->v[0] = m.toNumber(arg(args, 0));
  p->v[1] = m.toNumber(arg(args, 1));
  return Value();
}
Value pointCopyFrom(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *p = geomSelf(m, self), *q = point(m, args, 0);
  p->v[0] = q->v[0];
  p->v[1] = q->v[1];
  return Value();
}
Value pointToString(Machine& m, const Value& self, std::span<Value>) {
  return geomText(m, geomSelf(m, self), {"x", "y"});
}
Value pointDistance(Machine& m, const Value&, std::span<Value> args) {
  GeomObject *p = point(m, args, 0), *q = point(m, args, 1);
  return Value(std::hypot(p->v[0] - q->v[0], p->v[1] - q->v[1]));
}
// f = 1 gives the first point, 0 the second.
Value pointInterpolate(Machine& m, const Value&, std::span<Value> args) {
  GeomObject *p = point(m, args, 0), *q = point(m, args, 1);
  double f = m.toNumber(arg(args, 2));
  return newPoint(m, q->v[0] + (p->v[0] - q->v[0]) * f, q->v[1] + (p->v[1] - q->v[1]) * f);
}
Value pointPolar(Machine& m, const Value&, std::span<Value> args) {
  double length = m.toNumber(arg(args, 0)), angle = m.toNumber(arg(args, 1));
  return newPoint(m, length * std::cos(angle), length * std::sin(angle));
}

const NativeMember kPointMembers[] = {
    {"x", MemberKind::Getter, geomGet<0>},
    {"x", MemberKind::Setter, geomSet<0>},
    {"y", MemberKind::Getter, geomGet<1>},
    {"y", MemberKind::Setter, geomSet<1>},
    {"length", MemberKind::Getter, pointLength},
    {"add", MemberKind::Method, pointAdd, 1},
    {"subtract", MemberKind::Method, pointSubtract, 1},
    {"clone", MemberKind::Method, pointClone},
    {"equals", MemberKind::Method, pointEquals, 1},
    {"normalize", MemberKind::Method, pointNormalize, 1},
    {"offset", MemberKind::Method, pointOffset, 2},
    {"setTo", MemberKind::Method, pointSetTo, 2},
    {"copyFrom", MemberKind::Method, pointCopyFrom, 1},
    {"toString", MemberKind::Method, pointToString},
    {"distance", MemberKind::StaticMethod, pointDistance, 2},
    {"interpolate", MemberKind::StaticMethod, pointInterpolate, 3},
    {"polar", MemberKind::StaticMethod, pointPolar, 2},
};

// ---- Rectangle: x, y, width, height ----

enum { X, Y, W, H };

GeomObject* rect(Machine& m, std::span<Value> args, size_t i) {
  return geomArg(m, arg(args, i), "Rectangle", "rect");
}
Value newRect(Machine& m, double x, double y, double w, double h) {
  return geomValue(makeGeom(m, "Rectangle", {x, y, w, h}));
}
bool empty(const GeomObject* r) { return !(r->v[W] > 0) || !(r->v[H] > 0); }
double num(Machine& m, std::span<Value> args, size_t i) { return m.toNumber(arg(args, i)); }

Value rectInit(Machine& m, const Value& self, std::span<Value> args) {
  geomFill(m, geomSelf(m, self), args, {0, 0, 0, 0});
  return Value();
}
Value right(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* r = geomSelf(m, self);
  return Value(r->v[X] + r->v[W]);
}
Value bottom(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* r = geomSelf(m, self);
  return Value(r->v[Y] + r->v[H]);
}
// Moving an edge keeps the opposite one where it is.
Value setLeft(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* r = geomSelf(m, self);
  double v = num(m, args, 0);
  r->v[W] -= v - r->v[X];
  r->v[X] = v;
  return Value();
}
Value setTop(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* r = geomSelf(m, self);
  double v = num(m, args, 0);
  r->v[H] -= v - r->v[Y];
  r->v[Y] = v;
  return Value();
}
Value setRight(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* r = geomSelf(m, self);
  r->v[W] = num(m, args, 0) - r->v[X];
  return Value();
}
Value setBottom(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* r = geomSelf(m, self);
  r->v[H] = num(m, args, 0) - r->v[Y];
  return Value();
}
Value topLeft(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* r = geomSelf(m, self);
  return newPoint(m, r->v[X], r->v[Y]);
}
Value setTopLeft(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *p = point(m, args, 0);
  r->v[W] += r->v[X] - p->v[0];
  r->v[H] += r->v[Y] - p->v[1];
  r->v[X] = p->v[0];
  r->v[Y] = p->v[1];
  return Value();
}
Value bottomRight(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* r = geomSelf(m, self);
  return newPoint(m, r->v[X] + r->v[W], r->v[Y] + r->v[H]);
}
Value setBottomRight(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *p = point(m, args, 0);
  r->v[W] = p->v[0] - r->v[X];
  r->v[H] = p->v[1] - r->v[Y];
  return Value();
}
Value size(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* r = geomSelf(m, self);
  return newPoint(m, r->v[W], r->v[H]);
}
Value setSize(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *p = point(m, args, 0);
  r->v[W] = p->v[0];
  r->v[H] = p->v[1];
  return Value();
}
Value rectClone(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* r = geomSelf(m, self);
  return newRect(m, r->v[X], r->v[Y], r->v[W], r->v[H]);
}
bool inside(const GeomObject* r, double x, double y) {
  return x >= r->v[X] && x < r->v[X] + r->v[W] && y >= r->v[Y] && y < r->v[Y] + r->v[H];
}
Value contains(Machine& m, const Value& self, std::span<Value> args) {
  return Value(inside(geomSelf(m, self), num(m, args, 0), num(m, args, 1)));
}
Value containsPoint(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* p = point(m, args, 0);
  return Value(inside(geomSelf(m, self), p->v[0], p->v[1]));
}
Value containsRect(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *o = rect(m, args, 0);
  if (empty(o)) return Value(false);
  return Value(o->v[X] >= r->v[X] && o->v[Y] >= r->v[Y] &&
               o->v[X] + o->v[W] <= r->v[X] + r->v[W] && o->v[Y] + o->v[H] <= r->v[Y] + r->v[H]);
}
Value rectEquals(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *o = rect(m, args, 0);
  return Value(std::equal(r->v, r->v + 4, o->v));
}
Value inflate(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* r = geomSelf(m, self);
  double dx = num(m, args, 0), dy = num(m, args, 1);
  r->v[X] -= dx, r->v[W] += 2 * dx, r->v[Y] -= dy, r->v[H] += 2 * dy;
  return Value();
}
Value inflatePoint(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *p = point(m, args, 0);
  r->v[X] -= p->v[0], r->v[W] += 2 * p->v[0], r->v[Y] -= p->v[1], r->v[H] += 2 * p->v[1];
  return Value();
}
Value intersection(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *o = rect(m, args, 0);
  if (empty(r) || empty(o)) return newRect(m, 0, 0, 0, 0);
  double x0 = std::max(r->v[X], o->v[X]), y0 = std::max(r->v[Y], o->v[Y]);
  double x1 = std::min(r->v[X] + r->v[W], o->v[X] + o->v[W]);
  double y1 = std::min(r->v[Y] + r->v[H], o->v[Y] + o->v[H]);
  if (!(x1 > x0) || !(y1 > y0)) return newRect(m, 0, 0, 0, 0);
  return newRect(m, x0, y0, x1 - x0, y1 - y0);
}
Value intersects(Machine& m, const Value& self, std::span<Value> args) {
  Value i = intersection(m, self, args);
  return Value(!empty(static_cast<GeomObject*>(i.asObject())));
}
Value isEmpty(Machine& m, const Value& self, std::span<Value>) {
  return Value(empty(geomSelf(m, self)));
}
Value rectOffset(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* r = geomSelf(m, self);
  r->v[X] += num(m, args, 0);
  r->v[Y] += num(m, args, 1);
  return Value();
}
Value offsetPoint(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *p = point(m, args, 0);
  r->v[X] += p->v[0];
  r->v[Y] += p->v[1];
  return Value();
}
Value setEmpty(Machine& m, const Value& self, std::span<Value>) {
  GeomObject* r = geomSelf(m, self);
  std::fill(r->v, r->v + 4, 0.0);
  return Value();
}
Value rectSetTo(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* r = geomSelf(m, self);
  for (size_t i = 0; i < 4; ++i) r->v[i] = num(m, args, i);
  return Value();
}
Value rectCopyFrom(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *o = rect(m, args, 0);
  std::copy(o->v, o->v + 4, r->v);
  return Value();
}
Value rectUnion(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject *r = geomSelf(m, self), *o = rect(m, args, 0);
  if (empty(r)) return newRect(m, o->v[X], o->v[Y], o->v[W], o->v[H]);
  if (empty(o)) return newRect(m, r->v[X], r->v[Y], r->v[W], r->v[H]);
  double x0 = std::min(r->v[X], o->v[X]), y0 = std::min(r->v[Y], o->v[Y]);
  double x1 = std::max(r->v[X] + r->v[W], o->v[X] + o->v[W]);
  double y1 = std::max(r->v[Y] + r->v[H], o->v[Y] + o->v[H]);
  return newRect(m, x0, y0, x1 - x0, y1 - y0);
}
Value rectToString(Machine& m, const Value& self, std::span<Value>) {
  return geomText(m, geomSelf(m, self), {"x", "y", "w", "h"});
}

const NativeMember kRectMembers[] = {
    {"x", MemberKind::Getter, geomGet<X>},
    {"x", MemberKind::Setter, geomSet<X>},
    {"y", MemberKind::Getter, geomGet<Y>},
    {"y", MemberKind::Setter, geomSet<Y>},
    {"width", MemberKind::Getter, geomGet<W>},
    {"width", MemberKind::Setter, geomSet<W>},
    {"height", MemberKind::Getter, geomGet<H>},
    {"height", MemberKind::Setter, geomSet<H>},
    {"left", MemberKind::Getter, geomGet<X>},
    {"left", MemberKind::Setter, setLeft},
    {"top", MemberKind::Getter, geomGet<Y>},
    {"top", MemberKind::Setter, setTop},
    {"right", MemberKind::Getter, right},
    {"right", MemberKind::Setter, setRight},
    {"bottom", MemberKind::Getter, bottom},
    {"bottom", MemberKind::Setter, setBottom},
    {"topLeft", MemberKind::Getter, topLeft},
    {"topLeft", MemberKind::Setter, setTopLeft},
    {"bottomRight", MemberKind::Getter, bottomRight},
    {"bottomRight", MemberKind::Setter, setBottomRight},
    {"size", MemberKind::Getter, size},
    {"size", MemberKind::Setter, setSize},
    {"clone", MemberKind::Method, rectClone},
    {"contains", MemberKind::Method, contains, 2},
    {"containsPoint", MemberKind::Method, containsPoint, 1},
    {"containsRect", MemberKind::Method, containsRect, 1},
    {"equals", MemberKind::Method, rectEquals, 1},
    {"inflate", MemberKind::Method, inflate, 2},
    {"inflatePoint", MemberKind::Method, inflatePoint, 1},
    {"intersection", MemberKind::Method, intersection, 1},
    {"intersects", MemberKind::Method, intersects, 1},
    {"isEmpty", MemberKind::Method, isEmpty},
    {"offset", MemberKind::Method, rectOffset, 2},
    {"offsetPoint", MemberKind::Method, offsetPoint, 1},
    {"setEmpty", MemberKind::Method, setEmpty},
    {"setTo", MemberKind::Method, rectSetTo, 4},
    {"copyFrom", MemberKind::Method, rectCopyFrom, 1},
    {"union", MemberKind::Method, rectUnion, 1},
    {"toString", MemberKind::Method, rectToString},
};

}  // namespace

void installGeomPointRect(Machine& m) {
  installClass(m, {.package = "flash.geom",
                   .name = "Point",
                   .members = kPointMembers,
                   .init = pointInit,
                   .alloc = allocGeom,
                   .dynamic = false,
                   .initLength = 2});
  installClass(m, {.package = "flash.geom",
                   .name = "Rectangle",
                   .members = kRectMembers,
                   .init = rectInit,
                   .alloc = allocGeom,
                   .dynamic = false,
                   .initLength = 4});
}

}  // namespace orv::movie::avm2
