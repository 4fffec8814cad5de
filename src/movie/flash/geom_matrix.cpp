// flash.geom.Matrix, ColorTransform and Vector3D.
#include <cmath>
#include <string>

#include "movie/avm2/toplevel.h"
#include "movie/flash/geom.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

double num(Machine& m, std::span<Value> args, size_t i) { return m.toNumber(arg(args, i)); }

// ---- Matrix: a b c d tx ty ----

enum { A, B, C, D, TX, TY };

GeomObject* matrixArg(Machine& m, std::span<Value> args, size_t i) {
  return geomArg(m, arg(args, i), "Matrix", "matrix");
}
GeomObject* vectorArg(Machine& m, std::span<Value> args, size_t i) {
  return geomArg(m, arg(args, i), "Vector3D", "vector3D");
}
GeomObject* pointArg(Machine& m, std::span<Value> args, size_t i) {
  return geomArg(m, arg(args, i), "Point", "point");
}

Value matrixInit(Machine& m, const Value& self, std::span<Value> args) {
  geomFill(m, geomSelf(m, self), args, {1, 0, 0, 1, 0, 0});
  return Value();
}

// this, then `o`.
void concat(double* t, const double* o) {
  double r[6] = {t[A] * o[A] + t[B] * o[C],           t[A] * o[B] + t[B] * o[D],
                 t[C] * o[A] + t[D] * o[C],           t[C] * o[B] + t[D] * o[D],
                 t[TX] * o[A] + t[TY] * o[C] + o[TX], t[TX] * o[B] + t[TY] * o[D] + o[TY]};
  std::copy(r, r + 6, t);
}

Value matrixClone(Machine& m, const Value& self, std::span<Value>) {
  const double* v = geomSelf(m, self)->v;
  return geomValue(makeGeom(m, "Matrix", {v[A], v[B], v[C], v[D], v[TX], v[TY]}));
}
Value matrixConcat(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* o = matrixArg(m, args, 0);
  concat(geomSelf(m, self)->v, o->v);
  return Value();
}
void setBox(double* v, double sx, double sy, double rotation, double tx, double ty) {
  double c = std::cos(rotation), s = std::sin(rotation);
  v[A] = c * sx, v[B] = s * sy, v[C] = -s * sx, v[D] = c * sy, v[TX] = tx, v[TY] = ty;
}
Value createBox(Machine& m, const Value& self, std::span<Value> args) {
  setBox(geomSelf(m, self)->v, num(m, args, 0), num(m, args, 1),
         args.size() > 2 ? num(m, args, 2) : 0, args.size() > 3 ? num(m, args, 3) : 0,
         args.size() > 4 ? num(m, args, 4) : 0);
  return Value();
}
// A gradient's box: the unit square of gradients is 1638.4 twips wide, centred.
Value createGradientBox(Machine& m, const Value& self, std::span<Value> args) {
  double w = num(m, args, 0), h = num(m, args, 1);
  double tx = args.size() > 3 ? num(m, args, 3) : 0, ty = args.size() > 4 ? num(m, args, 4) : 0;
  setBox(geomSelf(m, self)->v, w / 1638.4, h / 1638.4, args.size() > 2 ? num(m, args, 2) : 0,
         tx + w / 2, ty + h / 2);
  return Value();
}
Value deltaTransformPoint(Machine& m, const Value& self, std::span<Value> args) {
  const double* v = geomSelf(m, self)->v;
  GeomObject* p = pointArg(m, args, 0);
  double x = p->v[0], y = p->v[1];
  return geomValue(makeGeom(m, "Point", {v[A] * x + v[C] * y, v[B] * x + v[D] * y}));
}
Value transformPoint(Machine& m, const Value& self, std::span<Value> args) {
  const double* v = geomSelf(m, self)->v;
  GeomObject* p = pointArg(m, args, 0);
  double x = p->v[0], y = p->v[1];
  return geomValue(
      makeGeom(m, "Point", {v[A] * x + v[C] * y + v[TX], v[B] * x + v[D] * y + v[TY]}));
}
Value identity(Machine& m, const Value& self, std::span<Value>) {
  setBox(geomSelf(m, self)->v, 1, 1, 0, 0, 0);
  return Value();
}
Value invert(Machine& m, const Value& self, std::span<Value>) {
  double* v = geomSelf(m, self)->v;
  double det = v[A] * v[D] - v[B] * v[C];
  if (det == 0) {
    // No inverse: what is left maps every point to the negated offset.
    double r[6] = {0, 0, 0, 0, -v[TX], -v[TY]};
    std::copy(r, r + 6, v);
    return Value();
  }
  double r[6] = {v[D] / det,
                 -v[B] / det,
                 -v[C] / det,
                 v[A] / det,
                 (v[C] * v[TY] - v[D] * v[TX]) / det,
                 (v[B] * v[TX] - v[A] * v[TY]) / det};
  std::copy(r, r + 6, v);
  return Value();
}
Value rotate(Machine& m, const Value& self, std::span<Value> args) {
  double angle = num(m, args, 0);
  double r[6] = {std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0};
  concat(geomSelf(m, self)->v, r);
  return Value();
}
Value scale(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  double sx = num(m, args, 0), sy = num(m, args, 1);
  v[A] *= sx, v[B] *= sy, v[C] *= sx, v[D] *= sy, v[TX] *= sx, v[TY] *= sy;
  return Value();
}
Value translate(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  v[TX] += num(m, args, 0);
  v[TY] += num(m, args, 1);
  return Value();
}
Value matrixSetTo(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  for (size_t i = 0; i < 6; ++i) v[i] = num(m, args, i);
  return Value();
}
Value matrixCopyFrom(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* o = matrixArg(m, args, 0);
  std::copy(o->v, o->v + 6, geomSelf(m, self)->v);
  return Value();
}
// Rows are (a c tx), (b d ty), (0 0 1); columns (a b 0), (c d 0), (tx ty 1).
Value copyRowTo(Machine& m, const Value& self, std::span<Value> args) {
  const double* v = geomSelf(m, self)->v;
  uint32_t row = m.toUint(arg(args, 0));
  double* out = vectorArg(m, args, 1)->v;
  if (row == 0) out[0] = v[A], out[1] = v[C], out[2] = v[TX];
  if (row == 1) out[0] = v[B], out[1] = v[D], out[2] = v[TY];
  if (row == 2) out[0] = 0, out[1] = 0, out[2] = 1;
  return Value();
}
Value copyColumnTo(Machine& m, const Value& self, std::span<Value> args) {
  const double* v = geomSelf(m, self)->v;
  uint32_t column = m.toUint(arg(args, 0));
  double* out = vectorArg(m, args, 1)->v;
  if (column == 0) out[0] = v[A], out[1] = v[B], out[2] = 0;
  if (column == 1) out[0] = v[C], out[1] = v[D], out[2] = 0;
  if (column == 2) out[0] = v[TX], out[1] = v[TY], out[2] = 1;
  return Value();
}
// copyColumnFrom fills rows, as the player's does.
Value copyRowFrom(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  uint32_t row = m.toUint(arg(args, 0));
  const double* in = vectorArg(m, args, 1)->v;
  if (row == 0) v[A] = in[0], v[C] = in[1], v[TX] = in[2];
  if (row == 1) v[B] = in[0], v[D] = in[1], v[TY] = in[2];
  return Value();
}
Value matrixToString(Machine& m, const Value& self, std::span<Value>) {
  return geomText(m, geomSelf(m, self), {"a", "b", "c", "d", "tx", "ty"});
}

const NativeMember kMatrixMembers[] = {
    {"a", MemberKind::Getter, geomGet<A>},
    {"a", MemberKind::Setter, geomSet<A>},
    {"b", MemberKind::Getter, geomGet<B>},
    {"b", MemberKind::Setter, geomSet<B>},
    {"c", MemberKind::Getter, geomGet<C>},
    {"c", MemberKind::Setter, geomSet<C>},
    {"d", MemberKind::Getter, geomGet<D>},
    {"d", MemberKind::Setter, geomSet<D>},
    {"tx", MemberKind::Getter, geomGet<TX>},
    {"tx", MemberKind::Setter, geomSet<TX>},
    {"ty", MemberKind::Getter, geomGet<TY>},
    {"ty", MemberKind::Setter, geomSet<TY>},
    {"clone", MemberKind::Method, matrixClone},
    {"concat", MemberKind::Method, matrixConcat, 1},
    {"createBox", MemberKind::Method, createBox, 5},
    {"createGradientBox", MemberKind::Method, createGradientBox, 5},
    {"deltaTransformPoint", MemberKind::Method, deltaTransformPoint, 1},
    {"transformPoint", MemberKind::Method, transformPoint, 1},
    {"identity", MemberKind::Method, identity},
    {"invert", MemberKind::Method, invert},
    {"rotate", MemberKind::Method, rotate, 1},
    {"scale", MemberKind::Method, scale, 2},
    {"translate", MemberKind::Method, translate, 2},
    {"setTo", MemberKind::Method, matrixSetTo, 6},
    {"copyFrom", MemberKind::Method, matrixCopyFrom, 1},
    {"copyRowTo", MemberKind::Method, copyRowTo, 2},
    {"copyColumnTo", MemberKind::Method, copyColumnTo, 2},
    {"copyRowFrom", MemberKind::Method, copyRowFrom, 2},
    {"copyColumnFrom", MemberKind::Method, copyRowFrom, 2},
    {"toString", MemberKind::Method, matrixToString},
};

// ---- ColorTransform: four multipliers, then four offsets (red, green, blue, alpha) ----

Value colorInit(Machine& m, const Value& self, std::span<Value> args) {
  geomFill(m, geomSelf(m, self), args, {1, 1, 1, 1, 0, 0, 0, 0});
  return Value();
}
Value color(Machine& m, const Value& self, std::span<Value>) {
  const double* v = geomSelf(m, self)->v;
  auto part = [](double d) { return std::isfinite(d) ? uint32_t(int64_t(d)) & 0xFF : 0u; };
  return Value(part(v[4]) << 16 | part(v[5]) << 8 | part(v[6]));
}
// Setting a colour paints it flat: no multiplier, the colour as offsets.
Value setColor(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  uint32_t c = m.toUint(arg(args, 0));
  v[0] = v[1] = v[2] = 0;
  v[4] = (c >> 16) & 0xFF, v[5] = (c >> 8) & 0xFF, v[6] = c & 0xFF;
  return Value();
}
// The result applies `second` first, then this.
Value colorConcat(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  const double* o = geomArg(m, arg(args, 0), "ColorTransform", "second")->v;
  for (int i = 0; i < 4; ++i) {
    v[4 + i] += o[4 + i] * v[i];
    v[i] *= o[i];
  }
  return Value();
}
Value colorToString(Machine& m, const Value& self, std::span<Value>) {
  return geomText(m, geomSelf(m, self),
                  {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                   "redOffset", "greenOffset", "blueOffset", "alphaOffset"});
}

const NativeMember kColorMembers[] = {
    {"redMultiplier", MemberKind::Getter, geomGet<0>},
    {"redMultiplier", MemberKind::Setter, geomSet<0>},
    {"greenMultiplier", MemberKind::Getter, geomGet<1>},
    {"greenMultiplier", MemberKind::Setter, geomSet<1>},
    {"blueMultiplier", MemberKind::Getter, geomGet<2>},
    {"blueMultiplier", MemberKind::Setter, geomSet<2>},
    {"alphaMultiplier", MemberKind::Getter, geomGet<3>},
    {"alphaMultiplier", MemberKind::Setter, geomSet<3>},
    {"redOffset", MemberKind::Getter, geomGet<4>},
    {"redOffset", MemberKind::Setter, geomSet<4>},
    {"greenOffset", MemberKind::Getter, geomGet<5>},
    {"greenOffset", MemberKind::Setter, geomSet<5>},
    {"blueOffset", MemberKind::Getter, geomGet<6>},
    {"blueOffset", MemberKind::Setter, geomSet<6>},
    {"alphaOffset", MemberKind::Getter, geomGet<7>},
    {"alphaOffset", MemberKind::Setter, geomSet<7>},
    {"color", MemberKind::Getter, color},
    {"color", MemberKind::Setter, setColor},
    {"concat", MemberKind::Method, colorConcat, 1},
    {"toString", MemberKind::Method, colorToString},
};

// ---- Vector3D: x y z w ----

Value vectorInit(Machine& m, const Value& self, std::span<Value> args) {
  geomFill(m, geomSelf(m, self), args, {0, 0, 0, 0});
  return Value();
}
Value newVector(Machine& m, double x, double y, double z, double w = 0) {
  return geomValue(makeGeom(m, "Vector3D", {x, y, z, w}));
}
double length(const double* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }
double dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Value vLength(Machine& m, const Value& self, std::span<Value>) {
  return Value(length(geomSelf(m, self)->v));
}
Value vLengthSquared(Machine& m, const Value& self, std::span<Value>) {
  const double* v = geomSelf(m, self)->v;
  return Value(dot(v, v));
}
Value vAdd(Machine& m, const Value& self, std::span<Value> args) {
  const double *v = geomSelf(m, self)->v, *o = vectorArg(m, args, 0)->v;
  return newVector(m, v[0] + o[0], v[1] + o[1], v[2] + o[2]);
}
Value vSubtract(Machine& m, const Value& self, std::span<Value> args) {
  const double *v = geomSelf(m, self)->v, *o = vectorArg(m, args, 0)->v;
  return newVector(m, v[0] - o[0], v[1] - o[1], v[2] - o[2]);
}
Value vCross(Machine& m, const Value& self, std::span<Value> args) {
  const double *v = geomSelf(m, self)->v, *o = vectorArg(m, args, 0)->v;
  return newVector(m, v[1] * o[2] - v[2] * o[1], v[2] * o[0] - v[0] * o[2],
                   v[0] * o[1] - v[1] * o[0], 1);
}
Value vDot(Machine& m, const Value& self, std::span<Value> args) {
  return Value(dot(geomSelf(m, self)->v, vectorArg(m, args, 0)->v));
}
Value vIncrement(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  const double* o = vectorArg(m, args, 0)->v;
  for (int i = 0; i < 3; ++i) v[i] += o[i];
  return Value();
}
Value vDecrement(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  const double* o = vectorArg(m, args, 0)->v;
  for (int i = 0; i < 3; ++i) v[i] -= o[i];
  return Value();
}
Value vNegate(Machine& m, const Value& self, std::span<Value>) {
  double* v = geomSelf(m, self)->v;
  for (int i = 0; i < 3; ++i) v[i] = -v[i];
  return Value();
}
Value vNormalize(Machine& m, const Value& self, std::span<Value>) {
  double* v = geomSelf(m, self)->v;
  double l = length(v);
  if (l != 0)
    for (int i = 0; i < 3; ++i) v[i] /= l;
  return Value(l);
}
Value vProject(Machine& m, const Value& self, std::span<Value>) {
  double* v = geomSelf(m, self)->v;
  for (int i = 0; i < 3; ++i) v[i] /= v[3];
  return Value();
}
Value vScaleBy(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  double s = num(m, args, 0);
  for (int i = 0; i < 3; ++i) v[i] *= s;
  return Value();
}
Value vEquals(Machine& m, const Value& self, std::span<Value> args) {
  const double *v = geomSelf(m, self)->v, *o = vectorArg(m, args, 0)->v;
  bool all = args.size() > 1 && m.toNumber(args[1]) != 0;
  return Value(v[0] == o[0] && v[1] == o[1] && v[2] == o[2] && (!all || v[3] == o[3]));
}
Value vNearEquals(Machine& m, const Value& self, std::span<Value> args) {
  const double *v = geomSelf(m, self)->v, *o = vectorArg(m, args, 0)->v;
  double tolerance = num(m, args, 1);
  bool all = args.size() > 2 && m.toNumber(args[2]) != 0;
  auto near = [&](int i) { return std::fabs(v[i] - o[i]) < tolerance; };
  // With allFour the player compares the other vector's w alone with the tolerance.
  return Value(near(0) && near(1) && near(2) && (!all || std::fabs(o[3]) < tolerance));
}
Value vClone(Machine& m, const Value& self, std::span<Value>) {
  const double* v = geomSelf(m, self)->v;
  return newVector(m, v[0], v[1], v[2], v[3]);
}
Value vCopyFrom(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  const double* o = vectorArg(m, args, 0)->v;
  for (int i = 0; i < 3; ++i) v[i] = o[i];
  return Value();
}
Value vSetTo(Machine& m, const Value& self, std::span<Value> args) {
  double* v = geomSelf(m, self)->v;
  for (size_t i = 0; i < 3; ++i) v[i] = num(m, args, i);
  return Value();
}
Value vToString(Machine& m, const Value& self, std::span<Value>) {
  const double* v = geomSelf(m, self)->v;
  return Value(StringRef("Vector3D(" + m.toText(Value(v[0])) + ", " + m.toText(Value(v[1])) +
                         ", " + m.toText(Value(v[2])) + ")"));
}
Value vAngleBetween(Machine& m, const Value&, std::span<Value> args) {
  const double *a = vectorArg(m, args, 0)->v, *b = vectorArg(m, args, 1)->v;
  return Value(std::acos(dot(a, b) / (length(a) * length(b))));
}
Value vDistance(Machine& m, const Value&, std::span<Value> args) {
  const double *a = vectorArg(m, args, 0)->v, *b = vectorArg(m, args, 1)->v;
  double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
  return Value(length(d));
}

const NativeMember kVectorMembers[] = {
    {"x", MemberKind::Getter, geomGet<0>},
    {"x", MemberKind::Setter, geomSet<0>},
    {"y", MemberKind::Getter, geomGet<1>},
    {"y", MemberKind::Setter, geomSet<1>},
    {"z", MemberKind::Getter, geomGet<2>},
    {"z", MemberKind::Setter, geomSet<2>},
    {"w", MemberKind::Getter, geomGet<3>},
    {"w", MemberKind::Setter, geomSet<3>},
    {"length", MemberKind::Getter, vLength},
    {"lengthSquared", MemberKind::Getter, vLengthSquared},
    {"add", MemberKind::Method, vAdd, 1},
    {"subtract", MemberKind::Method, vSubtract, 1},
    {"crossProduct", MemberKind::Method, vCross, 1},
    {"dotProduct", MemberKind::Method, vDot, 1},
    {"incrementBy", MemberKind::Method, vIncrement, 1},
    {"decrementBy", MemberKind::Method, vDecrement, 1},
    {"negate", MemberKind::Method, vNegate},
    {"normalize", MemberKind::Method, vNormalize},
    {"project", MemberKind::Method, vProject},
    {"scaleBy", MemberKind::Method, vScaleBy, 1},
    {"equals", MemberKind::Method, vEquals, 2},
    {"nearEquals", MemberKind::Method, vNearEquals, 3},
    {"clone", MemberKind::Method, vClone},
    {"copyFrom", MemberKind::Method, vCopyFrom, 1},
    {"setTo", MemberKind::Method, vSetTo, 3},
    {"toString", MemberKind::Method, vToString},
    {"angleBetween", MemberKind::StaticMethod, vAngleBetween, 2},
    {"distance", MemberKind::StaticMethod, vDistance, 2},
};

}  // namespace

void installGeomClasses(Machine& m) {
  installGeomPointRect(m);
  installClass(m, {.package = "flash.geom",
                   .name = "Matrix",
                   .members = kMatrixMembers,
                   .init = matrixInit,
                   .alloc = allocGeom,
                   .dynamic = false,
                   .initLength = 6});
  installClass(m, {.package = "flash.geom",
                   .name = "ColorTransform",
                   .members = kColorMembers,
                   .init = colorInit,
                   .alloc = allocGeom,
                   .dynamic = false,
                   .initLength = 8});
  ClassObject* v3 = installClass(m, {.package = "flash.geom",
                                     .name = "Vector3D",
                                     .members = kVectorMembers,
                                     .init = vectorInit,
                                     .alloc = allocGeom,
                                     .dynamic = false,
                                     .initLength = 4});
  // The axes are constants holding vectors: slots of the class, made once.
  const char* axes[] = {"X_AXIS", "Y_AXIS", "Z_AXIS"};
  for (const char* axis : axes) {
    SlotInfo s;
    s.name = m.intern(axis);
    String* name = s.name;
    uint32_t slot = v3->classTraits->addSlot(std::move(s), 0);
    v3->classTraits->bind(name, m.publicNs, {BindKind::Const, slot});
  }
  v3->layOut(v3->classTraits.get());
  for (int i = 0; i < 3; ++i) {
    const Binding* b = v3->classTraits->find(m.intern(axes[i]), m.publicNs);
    v3->slots()[b->index] = newVector(m, i == 0, i == 1, i == 2);
  }
}

}  // namespace orv::movie::avm2
