// flash.geom: Point, Rectangle, Matrix, ColorTransform and Transform (SWF 8). Their methods
// work on whatever object they are called on, reading and writing its members as a script
// would, so strings and odd values travel through them the way ActionScript's operators
// take them ("x" + 1 is "x1").
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

// ActionScript's `+`: strings join, everything else adds as numbers.
Value plus(Vm& vm, const Value& a, const Value& b) {
  Value pa = vm.toPrimitive(a), pb = vm.toPrimitive(b);
  if (pa.isString() || pb.isString()) return Value(vm.toString(pa) + vm.toString(pb));
  return Value(vm.toNumber(pa) + vm.toNumber(pb));
}

// The comparisons as compiled scripts make them: `a >= b` is !(a < b) and `a <= b` is
// !(b < a), so a comparison with NaN (undefined) makes both true.
bool atLeast(Vm& vm, const Value& a, const Value& b) { return !vm.toBool(vm.lessThan(a, b)); }
bool atMost(Vm& vm, const Value& a, const Value& b) { return !vm.toBool(vm.lessThan(b, a)); }

Value member(Vm& vm, const Value& obj, const char* name) {
  return obj.isObject() ? vm.getMember(obj.asObject(), name)
                        : (obj.isNullish() ? Value() : vm.getMember(obj, name));
}
double number(Vm& vm, const Value& obj, const char* name) {
  return vm.toNumber(member(vm, obj, name));
}
void set(Vm& vm, const Value& obj, const char* name, const Value& v) {
  if (obj.isObject()) vm.setMember(obj.asObject(), name, v);
}

// A class of the flash.geom package as scripts see it now.
Value geomClass(Vm& vm, const char* name) {
  Value flash = vm.getMember(vm.global, "flash");
  if (!flash.isObject()) return Value();
  Value geom = vm.getMember(flash.asObject(), "geom");
  return geom.isObject() ? vm.getMember(geom.asObject(), name) : Value();
}

Value make(Vm& vm, const char* className, std::vector<Value> args) {
  Value ctor = geomClass(vm, className);
  if (!ctor.isObject()) return Value();
  return vm.construct(ctor, args);
}

bool isInstance(Vm& vm, const Value& v, const char* className) {
  Value ctor = geomClass(vm, className);
  return v.isObject() && ctor.isObject() && vm.instanceOf(v.asObject(), ctor.asObject());
}

std::string describe(Vm& vm, const Value& obj,
                     std::initializer_list<std::pair<const char*, const char*>> fields) {
  std::string s = "(";
  bool first = true;
  for (auto [label, name] : fields) {
    if (!first) s += ", ";
    first = false;
    s += std::string(label) + "=" + vm.toString(member(vm, obj, name));
  }
  return s + ")";
}

// The classes' prototype members are enumerable, as those of classes written in
// ActionScript are (their rows have no flags).

// ---------------------------------------------------------------- Point

Value constructPoint(Vm& vm, CallInfo& c) {
  const bool none = c.args.empty();
  set(vm, c.thisValue, "x", none ? Value(0) : c.arg(0));
  set(vm, c.thisValue, "y", none ? Value(0) : c.arg(1));
  return Value();
}

Value pointLength(Vm& vm, CallInfo& c) {
  const double x = number(vm, c.thisValue, "x"), y = number(vm, c.thisValue, "y");
  return Value(std::sqrt(x * x + y * y));
}

Value addPoint(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  return make(vm, "Point",
              {plus(vm, member(vm, t, "x"), member(vm, c.arg(0), "x")),
               plus(vm, member(vm, t, "y"), member(vm, c.arg(0), "y"))});
}

Value subtractPoint(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  return make(vm, "Point",
              {number(vm, t, "x") - number(vm, c.arg(0), "x"),
               number(vm, t, "y") - number(vm, c.arg(0), "y")});
}

Value clonePoint(Vm& vm, CallInfo& c) {
  return make(vm, "Point", {member(vm, c.thisValue, "x"), member(vm, c.thisValue, "y")});
}

Value pointEquals(Vm& vm, CallInfo& c) {
  if (!isInstance(vm, c.arg(0), "Point")) return Value(false);
  return Value(vm.looseEquals(member(vm, c.thisValue, "x"), member(vm, c.arg(0), "x")) &&
               vm.looseEquals(member(vm, c.thisValue, "y"), member(vm, c.arg(0), "y")));
}

Value normalize(Vm& vm, CallInfo& c) {
  const double length = vm.toNumber(member(vm, c.thisValue, "length"));
  if (!(length > 0)) return Value();
  const double factor = vm.toNumber(c.arg(0)) / length;
  set(vm, c.thisValue, "x", number(vm, c.thisValue, "x") * factor);
  set(vm, c.thisValue, "y", number(vm, c.thisValue, "y") * factor);
  return Value();
}

// offset(dx, dy), of Point and Rectangle alike.
Value offset(Vm& vm, CallInfo& c) {
  set(vm, c.thisValue, "x", plus(vm, member(vm, c.thisValue, "x"), c.arg(0)));
  set(vm, c.thisValue, "y", plus(vm, member(vm, c.thisValue, "y"), c.arg(1)));
  return Value();
}

Value pointText(Vm& vm, CallInfo& c) {
  return Value(describe(vm, c.thisValue, {{"x", "x"}, {"y", "y"}}));
}

// distance(a, b) is the length of a.subtract(b): undefined when `a` cannot subtract.
Value distance(Vm& vm, CallInfo& c) {
  if (c.args.size() < 2 || !c.arg(0).isObject()) return Value();
  std::vector<Value> args{c.arg(1)};
  Value diff = vm.callMethod(c.arg(0), "subtract", args);
  return diff.isObject() ? vm.getMember(diff.asObject(), "length") : Value();
}

// interpolate(a, b, f): b + (a - b) * f; f = 1 gives a, f = 0 gives b.
Value interpolate(Vm& vm, CallInfo& c) {
  const double f = vm.toNumber(c.arg(2));
  auto along = [&](const char* name) {
    const Value b = member(vm, c.arg(1), name);
    return plus(vm, b, Value((number(vm, c.arg(0), name) - vm.toNumber(b)) * f));
  };
  return make(vm, "Point", {along("x"), along("y")});
}

Value polar(Vm& vm, CallInfo& c) {
  const double length = vm.toNumber(c.arg(0)), angle = vm.toNumber(c.arg(1));
  return make(vm, "Point", {length * std::cos(angle), length * std::sin(angle)});
}

constexpr NativeMember kPointPrototype[] = {
    getter("length", pointLength, 0),     method("add", addPoint, 0),
    method("subtract", subtractPoint, 0), method("clone", clonePoint, 0),
    method("equals", pointEquals, 0),     method("normalize", normalize, 0),
    method("offset", offset, 0),          method("toString", pointText, 0),
};
constexpr NativeMember kPointStatics[] = {
    method("distance", distance),
    method("interpolate", interpolate),
    method("polar", polar),
};
constexpr NativeClass kPointClass{.name = "Point",
                                  .constructor = constructPoint,
                                  .prototype = kPointPrototype,
                                  .statics = kPointStatics};

// ---------------------------------------------------------------- Rectangle

Value constructRectangle(Vm& vm, CallInfo& c) {
  const bool none = c.args.empty();
  const char* names[] = {"x", "y", "width", "height"};
  for (size_t i = 0; i < 4; ++i) set(vm, c.thisValue, names[i], none ? Value(0) : c.arg(i));
  return Value();
}

// The sides and corners, read from and written to x, y, width and height.
Value left(Vm& vm, CallInfo& c) { return member(vm, c.thisValue, "x"); }

// Moving the left side keeps the right side where it is.
Value setLeft(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  set(vm, t, "width",
      plus(vm, member(vm, t, "width"),
           Value(vm.toNumber(member(vm, t, "x")) - vm.toNumber(c.arg(0)))));
  set(vm, t, "x", c.arg(0));
  return Value();
}

Value top(Vm& vm, CallInfo& c) { return member(vm, c.thisValue, "y"); }

Value setTop(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  set(vm, t, "height",
      plus(vm, member(vm, t, "height"),
           Value(vm.toNumber(member(vm, t, "y")) - vm.toNumber(c.arg(0)))));
  set(vm, t, "y", c.arg(0));
  return Value();
}

Value right(Vm& vm, CallInfo& c) {
  return plus(vm, member(vm, c.thisValue, "x"), member(vm, c.thisValue, "width"));
}

Value setRight(Vm& vm, CallInfo& c) {
  set(vm, c.thisValue, "width", vm.toNumber(c.arg(0)) - vm.toNumber(member(vm, c.thisValue, "x")));
  return Value();
}

Value bottom(Vm& vm, CallInfo& c) {
  return plus(vm, member(vm, c.thisValue, "y"), member(vm, c.thisValue, "height"));
}

Value setBottom(Vm& vm, CallInfo& c) {
  set(vm, c.thisValue, "height", vm.toNumber(c.arg(0)) - vm.toNumber(member(vm, c.thisValue, "y")));
  return Value();
}

Value topLeft(Vm& vm, CallInfo& c) {
  return make(vm, "Point", {member(vm, c.thisValue, "x"), member(vm, c.thisValue, "y")});
}

Value setTopLeft(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  const Value px = member(vm, c.arg(0), "x"), py = member(vm, c.arg(0), "y");
  set(vm, t, "width",
      plus(vm, member(vm, t, "width"), Value(vm.toNumber(member(vm, t, "x")) - vm.toNumber(px))));
  set(vm, t, "height",
      plus(vm, member(vm, t, "height"), Value(vm.toNumber(member(vm, t, "y")) - vm.toNumber(py))));
  set(vm, t, "x", px);
  set(vm, t, "y", py);
  return Value();
}

Value bottomRight(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  return make(vm, "Point",
              {plus(vm, member(vm, t, "x"), member(vm, t, "width")),
               plus(vm, member(vm, t, "y"), member(vm, t, "height"))});
}

Value setBottomRight(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  set(vm, t, "width", number(vm, c.arg(0), "x") - vm.toNumber(member(vm, t, "x")));
  set(vm, t, "height", number(vm, c.arg(0), "y") - vm.toNumber(member(vm, t, "y")));
  return Value();
}

Value size(Vm& vm, CallInfo& c) {
  return make(vm, "Point", {member(vm, c.thisValue, "width"), member(vm, c.thisValue, "height")});
}

Value setSize(Vm& vm, CallInfo& c) {
  set(vm, c.thisValue, "width", member(vm, c.arg(0), "x"));
  set(vm, c.thisValue, "height", member(vm, c.arg(0), "y"));
  return Value();
}

Value rectangleText(Vm& vm, CallInfo& c) {
  return Value(
      describe(vm, c.thisValue, {{"x", "x"}, {"y", "y"}, {"w", "width"}, {"h", "height"}}));
}

Value cloneRectangle(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  return make(
      vm, "Rectangle",
      {member(vm, t, "x"), member(vm, t, "y"), member(vm, t, "width"), member(vm, t, "height")});
}

Value isEmpty(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  return Value(atMost(vm, member(vm, t, "width"), Value(0)) ||
               atMost(vm, member(vm, t, "height"), Value(0)));
}

Value setEmpty(Vm& vm, CallInfo& c) {
  for (const char* n : {"x", "y", "width", "height"}) set(vm, c.thisValue, n, Value(0));
  return Value();
}

// contains(px, py): the left and top edges are inside, the right and bottom ones not.
// Each comparison converts its operands again, as the script operators do.
Value containsAt(Vm& vm, const Value& t, const Value& px, const Value& py) {
  if (px.isNullish() || py.isNullish()) return Value();
  const Value x = member(vm, t, "x"), y = member(vm, t, "y");
  // As the script !(px < x) && px < x + width && !(py < y) && py < y + height: a
  // comparison with NaN is undefined, and && hands on the first falsy value.
  auto notLess = [&](const Value& a, const Value& b) {
    return Value(!vm.toBool(vm.lessThan(a, b)));
  };
  Value r = notLess(px, x);
  if (!vm.toBool(r)) return r;
  r = vm.lessThan(px, plus(vm, x, member(vm, t, "width")));
  if (!vm.toBool(r)) return r;
  r = notLess(py, y);
  if (!vm.toBool(r)) return r;
  return vm.lessThan(py, plus(vm, y, member(vm, t, "height")));
}

Value contains(Vm& vm, CallInfo& c) { return containsAt(vm, c.thisValue, c.arg(0), c.arg(1)); }

Value containsPoint(Vm& vm, CallInfo& c) {
  return containsAt(vm, c.thisValue, member(vm, c.arg(0), "x"), member(vm, c.arg(0), "y"));
}

Value containsRectangle(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  const Value& r = c.arg(0);
  if (!r.isObject()) return Value();
  const Value x = member(vm, t, "x"), y = member(vm, t, "y");
  const Value rx = member(vm, r, "x"), ry = member(vm, r, "y");
  if (rx.isNullish() || ry.isNullish()) return Value();
  return Value(
      atLeast(vm, rx, x) && atLeast(vm, ry, y) &&
      atMost(vm, plus(vm, rx, member(vm, r, "width")), plus(vm, x, member(vm, t, "width"))) &&
      atMost(vm, plus(vm, ry, member(vm, r, "height")), plus(vm, y, member(vm, t, "height"))));
}

Value rectangleEquals(Vm& vm, CallInfo& c) {
  if (!isInstance(vm, c.arg(0), "Rectangle")) return Value(false);
  for (const char* n : {"x", "y", "width", "height"})
    if (!vm.looseEquals(member(vm, c.thisValue, n), member(vm, c.arg(0), n))) return Value(false);
  return Value(true);
}

void inflateBy(Vm& vm, const Value& t, double dx, double dy) {
  set(vm, t, "x", number(vm, t, "x") - dx);
  set(vm, t, "width", number(vm, t, "width") + 2 * dx);
  set(vm, t, "y", number(vm, t, "y") - dy);
  set(vm, t, "height", number(vm, t, "height") + 2 * dy);
}

Value inflate(Vm& vm, CallInfo& c) {
  inflateBy(vm, c.thisValue, vm.toNumber(c.arg(0)), vm.toNumber(c.arg(1)));
  return Value();
}

Value inflatePoint(Vm& vm, CallInfo& c) {
  inflateBy(vm, c.thisValue, number(vm, c.arg(0), "x"), number(vm, c.arg(0), "y"));
  return Value();
}

Value offsetPoint(Vm& vm, CallInfo& c) {
  set(vm, c.thisValue, "x", plus(vm, member(vm, c.thisValue, "x"), member(vm, c.arg(0), "x")));
  set(vm, c.thisValue, "y", plus(vm, member(vm, c.thisValue, "y"), member(vm, c.arg(0), "y")));
  return Value();
}

struct Box {
  double x0, y0, x1, y1;
};
Box boxOf(Vm& vm, const Value& r) {
  const double x = number(vm, r, "x"), y = number(vm, r, "y");
  return Box{x, y, x + number(vm, r, "width"), y + number(vm, r, "height")};
}

Value intersects(Vm& vm, CallInfo& c) {
  const Box a = boxOf(vm, c.thisValue), b = boxOf(vm, c.arg(0));
  return Value(std::max(a.x0, b.x0) < std::min(a.x1, b.x1) &&
               std::max(a.y0, b.y0) < std::min(a.y1, b.y1));
}

Value intersection(Vm& vm, CallInfo& c) {
  const Box a = boxOf(vm, c.thisValue), b = boxOf(vm, c.arg(0));
  const double x0 = std::max(a.x0, b.x0), y0 = std::max(a.y0, b.y0);
  const double x1 = std::min(a.x1, b.x1), y1 = std::min(a.y1, b.y1);
  if (!(x0 < x1 && y0 < y1)) return make(vm, "Rectangle", {});
  return make(vm, "Rectangle", {x0, y0, x1 - x0, y1 - y0});
}

Value unionOf(Vm& vm, CallInfo& c) {
  auto empty = [&](const Value& r) {
    return !(number(vm, r, "width") > 0 && number(vm, r, "height") > 0);
  };
  if (empty(c.thisValue)) return vm.callMethod(c.arg(0), "clone", {});
  if (empty(c.arg(0))) return vm.callMethod(c.thisValue, "clone", {});
  const Box a = boxOf(vm, c.thisValue), b = boxOf(vm, c.arg(0));
  const double x0 = std::min(a.x0, b.x0), y0 = std::min(a.y0, b.y0);
  return make(vm, "Rectangle", {x0, y0, std::max(a.x1, b.x1) - x0, std::max(a.y1, b.y1) - y0});
}

constexpr NativeMember kRectanglePrototype[] = {
    getter("left", left, 0),
    setter("left", setLeft, 0),
    getter("top", top, 0),
    setter("top", setTop, 0),
    getter("right", right, 0),
    setter("right", setRight, 0),
    getter("bottom", bottom, 0),
    setter("bottom", setBottom, 0),
    getter("topLeft", topLeft, 0),
    setter("topLeft", setTopLeft, 0),
    getter("bottomRight", bottomRight, 0),
    setter("bottomRight", setBottomRight, 0),
    getter("size", size, 0),
    setter("size", setSize, 0),
    method("toString", rectangleText, 0),
    method("clone", cloneRectangle, 0),
    method("isEmpty", isEmpty, 0),
    method("setEmpty", setEmpty, 0),
    method("contains", contains, 0),
    method("containsPoint", containsPoint, 0),
    method("containsRectangle", containsRectangle, 0),
    method("equals", rectangleEquals, 0),
    method("inflate", inflate, 0),
    method("inflatePoint", inflatePoint, 0),
    method("offset", offset, 0),
    method("offsetPoint", offsetPoint, 0),
    method("intersects", intersects, 0),
    method("intersection", intersection, 0),
    method("union", unionOf, 0),
};
constexpr NativeClass kRectangleClass{
    .name = "Rectangle", .constructor = constructRectangle, .prototype = kRectanglePrototype};

// ---------------------------------------------------------------- Matrix

using Affine = base::Matrix;

Affine readMatrix(Vm& vm, const Value& m) {
  return {number(vm, m, "a"), number(vm, m, "b"),  number(vm, m, "c"),
          number(vm, m, "d"), number(vm, m, "tx"), number(vm, m, "ty")};
}
void writeMatrix(Vm& vm, const Value& m, const Affine& v) {
  set(vm, m, "a", v.a);
  set(vm, m, "b", v.b);
  set(vm, m, "c", v.c);
  set(vm, m, "d", v.d);
  set(vm, m, "tx", v.tx);
  set(vm, m, "ty", v.ty);
}
// `first`, then `then`.
Affine concat(const Affine& first, const Affine& then) { return then * first; }
// Scale, then rotate, then move: what createBox gives.
Affine box(double sx, double sy, double rotation, double tx, double ty) {
  const double cs = std::cos(rotation), sn = std::sin(rotation);
  return {sx * cs, sy * sn, -sx * sn, sy * cs, tx, ty};
}
double orZero(Vm& vm, const Value& v) { return v.isUndefined() ? 0 : vm.toNumber(v); }

// rotate, scale and the boxes change Matrix instances only; identity, concat, invert and
// translate work on any object (createBox sets only the position of other objects).
bool isMatrix(Vm& vm, const Value& v) { return isInstance(vm, v, "Matrix"); }

Value constructMatrix(Vm& vm, CallInfo& c) {
  if (c.args.empty()) {
    writeMatrix(vm, c.thisValue, {});
    return Value();
  }
  const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
  for (size_t i = 0; i < 6; ++i) set(vm, c.thisValue, names[i], c.arg(i));
  return Value();
}

Value matrixText(Vm& vm, CallInfo& c) {
  return Value(
      describe(vm, c.thisValue,
               {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}, {"tx", "tx"}, {"ty", "ty"}}));
}

Value cloneMatrix(Vm& vm, CallInfo& c) {
  const Value& t = c.thisValue;
  return make(vm, "Matrix",
              {member(vm, t, "a"), member(vm, t, "b"), member(vm, t, "c"), member(vm, t, "d"),
               member(vm, t, "tx"), member(vm, t, "ty")});
}

Value identity(Vm& vm, CallInfo& c) {
  writeMatrix(vm, c.thisValue, {});
  return Value();
}

Value concatMatrix(Vm& vm, CallInfo& c) {
  if (!c.arg(0).isObject()) return Value();
  writeMatrix(vm, c.thisValue, concat(readMatrix(vm, c.thisValue), readMatrix(vm, c.arg(0))));
  return Value();
}

Value translate(Vm& vm, CallInfo& c) {
  set(vm, c.thisValue, "tx", plus(vm, member(vm, c.thisValue, "tx"), c.arg(0)));
  set(vm, c.thisValue, "ty", plus(vm, member(vm, c.thisValue, "ty"), c.arg(1)));
  return Value();
}

Value scale(Vm& vm, CallInfo& c) {
  if (!isMatrix(vm, c.thisValue)) return Value();
  const double sx = vm.toNumber(c.arg(0)), sy = vm.toNumber(c.arg(1));
  writeMatrix(vm, c.thisValue, concat(readMatrix(vm, c.thisValue), {sx, 0, 0, sy, 0, 0}));
  return Value();
}

Value rotate(Vm& vm, CallInfo& c) {
  if (!isMatrix(vm, c.thisValue)) return Value();
  const double r = vm.toNumber(c.arg(0));
  writeMatrix(vm, c.thisValue, concat(readMatrix(vm, c.thisValue), box(1, 1, r, 0, 0)));
  return Value();
}

Value createBox(Vm& vm, CallInfo& c) {
  if (isMatrix(vm, c.thisValue))
    writeMatrix(vm, c.thisValue,
                box(vm.toNumber(c.arg(0)), vm.toNumber(c.arg(1)), orZero(vm, c.arg(2)), 0, 0));
  // The position is kept as given (0 when absent).
  set(vm, c.thisValue, "tx", c.arg(3).isUndefined() ? Value(0) : c.arg(3));
  set(vm, c.thisValue, "ty", c.arg(4).isUndefined() ? Value(0) : c.arg(4));
  return Value();
}

// The gradient square (1638.4 pixels wide) fitted to a box.
Value createGradientBox(Vm& vm, CallInfo& c) {
  if (!isMatrix(vm, c.thisValue)) return Value();
  const double w = vm.toNumber(c.arg(0)), h = vm.toNumber(c.arg(1));
  writeMatrix(vm, c.thisValue, box(w / 1638.4, h / 1638.4, orZero(vm, c.arg(2)), 0, 0));
  set(vm, c.thisValue, "tx", plus(vm, c.arg(3), Value(w / 2)));
  set(vm, c.thisValue, "ty", plus(vm, c.arg(4), Value(h / 2)));
  return Value();
}

Value invert(Vm& vm, CallInfo& c) {
  const Affine m = readMatrix(vm, c.thisValue);
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0) {
    writeMatrix(vm, c.thisValue, {});
    return Value();
  }
  Affine r{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
  r.tx = -(r.a * m.tx + r.c * m.ty);
  r.ty = -(r.b * m.tx + r.d * m.ty);
  writeMatrix(vm, c.thisValue, r);
  return Value();
}

// transformPoint (variant 1, with the translation) and deltaTransformPoint.
Value mapPoint(Vm& vm, CallInfo& c) {
  const bool withTranslation = c.variant == 1;
  const Affine m = readMatrix(vm, c.thisValue);
  const double x = number(vm, c.arg(0), "x"), y = number(vm, c.arg(0), "y");
  const double tx = withTranslation ? m.tx : 0, ty = withTranslation ? m.ty : 0;
  return make(vm, "Point", {m.a * x + m.c * y + tx, m.b * x + m.d * y + ty});
}

constexpr NativeMember kMatrixPrototype[] = {
    method("toString", matrixText, 0),
    method("clone", cloneMatrix, 0),
    method("identity", identity, 0),
    method("concat", concatMatrix, 0),
    method("translate", translate, 0),
    method("scale", scale, 0),
    method("rotate", rotate, 0),
    method("createBox", createBox, 0),
    method("createGradientBox", createGradientBox, 0),
    method("invert", invert, 0),
    method("transformPoint", mapPoint, 0, 1),
    method("deltaTransformPoint", mapPoint, 0, 0),
};
constexpr NativeClass kMatrixClass{
    .name = "Matrix", .constructor = constructMatrix, .prototype = kMatrixPrototype};

// ---------------------------------------------------------------- ColorTransform

// The eight values live on the object itself, behind accessors on the prototype.
class ColorTransformObject : public Object {
 public:
  ColorTransformObject() : Object(ObjectKind::Other) { className = "ColorTransform"; }
  double values[8] = {1, 1, 1, 1, 0, 0, 0, 0};  // multipliers r g b a, offsets r g b a
};

constexpr const char* kColorFields[8] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                         "alphaMultiplier", "redOffset",       "greenOffset",
                                         "blueOffset",      "alphaOffset"};

ColorTransformObject* colorOf(const Value& v) {
  return v.isObject() ? dynamic_cast<ColorTransformObject*>(v.asObject()) : nullptr;
}

Value constructColorTransform(Vm& vm, CallInfo& c) {
  auto* self = colorOf(c.thisValue);
  if (!self && c.isConstruct) {
    const bool ci = vm.caseInsensitive();
    self = vm.allocate<ColorTransformObject>();
    Value proto = vm.getMember(c.callee, "prototype");
    self->put("__proto__", proto.isObject() ? proto : Value(vm.objectProto),
              kDontEnum | kDontDelete, ci);
    self->put(vm.version() >= 6 ? "__constructor__" : "constructor", c.callee, kDontEnum, ci);
  }
  if (!self) return Value();
  // All eight values, or the identity transform.
  if (c.args.size() >= 8)
    for (size_t i = 0; i < 8; ++i) self->values[i] = vm.toNumber(c.arg(i));
  return Value(self);
}

// The eight values, by variant: their index in kColorFields.
Value colorValueOf(Vm&, CallInfo& c) {
  auto* self = colorOf(c.thisValue);
  return self ? Value(self->values[c.variant]) : Value();
}

Value setColorValue(Vm& vm, CallInfo& c) {
  if (auto* self = colorOf(c.thisValue)) self->values[c.variant] = vm.toNumber(c.arg(0));
  return Value();
}

// rgb: the offsets as one colour; setting it also zeroes the multipliers.
Value rgb(Vm&, CallInfo& c) {
  auto* self = colorOf(c.thisValue);
  if (!self) return Value();
  auto part = [&](int i) { return toInt32(self->values[i]); };
  return Value(static_cast<double>((part(4) << 16) | (part(5) << 8) | part(6)));
}

Value setRgb(Vm& vm, CallInfo& c) {
  auto* self = colorOf(c.thisValue);
  if (!self) return Value();
  const uint32_t rgb = static_cast<uint32_t>(vm.toInt(c.arg(0)));
  self->values[0] = self->values[1] = self->values[2] = 0;
  self->values[4] = (rgb >> 16) & 0xFF;
  self->values[5] = (rgb >> 8) & 0xFF;
  self->values[6] = rgb & 0xFF;
  return Value();
}

Value colorText(Vm& vm, CallInfo& c) {
  std::string s = "(";
  for (size_t i = 0; i < 8; ++i) {
    if (i) s += ", ";
    s += std::string(kColorFields[i]) + "=" + vm.toString(member(vm, c.thisValue, kColorFields[i]));
  }
  return Value(s + ")");
}

// concat(second): `second` applies first, then this one.
Value concatColor(Vm&, CallInfo& c) {
  auto* self = colorOf(c.thisValue);
  auto* other = colorOf(c.arg(0));
  if (!self || !other) return Value();
  double* v = self->values;
  const double* o = other->values;
  for (int i = 0; i < 4; ++i) {
    v[4 + i] = v[i] * o[4 + i] + v[4 + i];
    v[i] *= o[i];
  }
  return Value();
}

constexpr auto kColorTransformPrototype = [] {
  std::array<NativeMember, 2 * std::size(kColorFields) + 4> rows{};
  for (size_t i = 0; i < std::size(kColorFields); ++i) {
    rows[2 * i] = getter(kColorFields[i], colorValueOf, 0, static_cast<int>(i));
    rows[2 * i + 1] = setter(kColorFields[i], setColorValue, 0, static_cast<int>(i));
  }
  const size_t n = 2 * std::size(kColorFields);
  rows[n] = getter("rgb", rgb, 0);
  rows[n + 1] = setter("rgb", setRgb, 0);
  rows[n + 2] = method("toString", colorText, 0);
  rows[n + 3] = method("concat", concatColor, 0);
  return rows;
}();
constexpr NativeClass kColorTransformClass{.name = "ColorTransform",
                                           .constructor = constructColorTransform,
                                           .prototype = kColorTransformPrototype,
                                           .constructsOwnObject = true};

// ---------------------------------------------------------------- Transform

// A clip's matrix and colour transform as flash.geom objects; it holds the clip's script
// object, so a removed clip gives undefined.
class TransformObject : public Object {
 public:
  TransformObject() : Object(ObjectKind::Other) { className = "Transform"; }
  Object* target = nullptr;
  void traceRefs(std::vector<Object*>& out) override {
    Object::traceRefs(out);
    if (target) out.push_back(target);
  }
};

ScriptClip* clipOfTransform(const Value& v) {
  auto* t = v.isObject() ? dynamic_cast<TransformObject*>(v.asObject()) : nullptr;
  return t && t->target && t->target->kind == ObjectKind::Clip ? t->target->clip : nullptr;
}

Value matrixValue(Vm& vm, const ScriptClip::Matrix& m) {
  return make(vm, "Matrix", {m.a, m.b, m.c, m.d, m.tx, m.ty});
}

Value colorValue(Vm& vm, const base::ColorTransform& ct) {
  return make(vm, "ColorTransform",
              {ct.rMul, ct.gMul, ct.bMul, ct.aMul, ct.rAdd, ct.gAdd, ct.bAdd, ct.aAdd});
}

// The clip and its parents' matrices up to the stage (the root's own excluded).
ScriptClip::Matrix concatenated(ScriptClip* clip) {
  ScriptClip::Matrix r;
  for (ScriptClip* p = clip; p && p->parent(); p = p->parent()) {
    r = p->toParent() * r;
  }
  return r;
}

void setClipMatrix(Vm& vm, ScriptClip* clip, const Value& matrix) {
  if (!clip || !matrix.isObject()) return;
  clip->setToParent(readMatrix(vm, matrix));
}

void setClipColor(ScriptClip* clip, const Value& color) {
  auto* ct = colorOf(color);
  if (!clip || !ct) return;
  const double* v = ct->values;
  // Multipliers go through percent, as Color's do.
  clip->setColorTransform({v[0] * 100 / 100, v[1] * 100 / 100, v[2] * 100 / 100, v[3] * 100 / 100,
                           v[4], v[5], v[6], v[7]});
}

Value constructTransform(Vm& vm, CallInfo& c) {
  if (!c.isConstruct) return Value();
  const bool ci = vm.caseInsensitive();
  auto* self = vm.allocate<TransformObject>();
  Value proto = vm.getMember(c.callee, "prototype");
  self->put("__proto__", proto.isObject() ? proto : Value(vm.objectProto), kDontEnum | kDontDelete,
            ci);
  self->put("__constructor__", c.callee, kDontEnum, ci);
  if (vm.clipOf(c.arg(0))) self->target = c.arg(0).asObject();
  return Value(self);
}

Value matrix(Vm& vm, CallInfo& c) {
  ScriptClip* clip = clipOfTransform(c.thisValue);
  return clip ? matrixValue(vm, clip->toParent()) : Value();
}

Value setMatrix(Vm& vm, CallInfo& c) {
  setClipMatrix(vm, clipOfTransform(c.thisValue), c.arg(0));
  return Value();
}

Value concatenatedMatrix(Vm& vm, CallInfo& c) {
  ScriptClip* clip = clipOfTransform(c.thisValue);
  return clip ? matrixValue(vm, concatenated(clip)) : Value();
}

Value colorTransform(Vm& vm, CallInfo& c) {
  ScriptClip* clip = clipOfTransform(c.thisValue);
  return clip ? colorValue(vm, clip->colorTransform()) : Value();
}

Value setColorTransform(Vm&, CallInfo& c) {
  setClipColor(clipOfTransform(c.thisValue), c.arg(0));
  return Value();
}

Value concatenatedColorTransform(Vm& vm, CallInfo& c) {
  ScriptClip* clip = clipOfTransform(c.thisValue);
  if (!clip) return Value();
  // Composed with the multipliers in percent, as Color gives them.
  double ra = 100, ga = 100, ba = 100, aa = 100;
  base::ColorTransform r;
  for (ScriptClip* p = clip; p; p = p->parent()) {
    const base::ColorTransform o = p->colorTransform();
    const double ora = o.rMul * 100, oga = o.gMul * 100, oba = o.bMul * 100, oaa = o.aMul * 100;
    // The parent's transform applies after the child's.
    ra = ra * ora / 100;
    r.rAdd = ora / 100 * r.rAdd + o.rAdd;
    ga = ga * oga / 100;
    r.gAdd = oga / 100 * r.gAdd + o.gAdd;
    ba = ba * oba / 100;
    r.bAdd = oba / 100 * r.bAdd + o.bAdd;
    aa = aa * oaa / 100;
    r.aAdd = oaa / 100 * r.aAdd + o.aAdd;
  }
  r.rMul = ra / 100;
  r.gMul = ga / 100;
  r.bMul = ba / 100;
  r.aMul = aa / 100;
  return colorValue(vm, r);
}

Value pixelBounds(Vm& vm, CallInfo& c) {
  ScriptClip* clip = clipOfTransform(c.thisValue);
  if (!clip) return Value();
  const ScriptClip::Bounds b = clip->bounds(vm.rootClip());
  return make(vm, "Rectangle", {b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin});
}

constexpr NativeMember kTransformPrototype[] = {
    getter("matrix", matrix, 0),
    setter("matrix", setMatrix, 0),
    getter("concatenatedMatrix", concatenatedMatrix, 0),
    getter("colorTransform", colorTransform, 0),
    setter("colorTransform", setColorTransform, 0),
    getter("concatenatedColorTransform", concatenatedColorTransform, 0),
    getter("pixelBounds", pixelBounds, 0),
};
constexpr NativeClass kTransformClass{.name = "Transform",
                                      .constructor = constructTransform,
                                      .prototype = kTransformPrototype,
                                      .constructsOwnObject = true};

// MovieClip.scrollRect: a Rectangle of the clip's own pixels to show; anything that is not
// an object shows the whole clip again.
Value scrollRect(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  const auto r = clip ? clip->scrollRect() : std::nullopt;
  if (!r) return Value();
  return make(vm, "Rectangle", {r->x, r->y, r->width, r->height});
}

Value setScrollRect(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  if (!clip) return Value();
  const Value r = c.arg(0);
  if (!r.isObject()) {
    clip->setScrollRect(std::nullopt);
    return Value();
  }
  clip->setScrollRect(ScriptClip::ScrollRect{number(vm, r, "x"), number(vm, r, "y"),
                                             number(vm, r, "width"), number(vm, r, "height")});
  return Value();
}

// MovieClip.transform: a new Transform of the clip; setting one copies its matrix and
// colour transform onto the clip.
Value clipTransform(Vm& vm, CallInfo& c) {
  if (!vm.clipOf(c.thisValue)) return Value();
  return make(vm, "Transform", {c.thisValue});
}

Value setClipTransform(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  ScriptClip* source = clipOfTransform(c.arg(0));
  if (!clip || !source) return Value();
  clip->setToParent(source->toParent());
  clip->setColorTransform(source->colorTransform());
  return Value();
}

// From SWF 8; older movies keep a plain slot for the transform.
constexpr NativeMember kClipGeometry[] = {
    getter("scrollRect", scrollRect, 0).since(8),
    setter("scrollRect", setScrollRect, 0).since(8),
    getter("transform", clipTransform, 0).since(8),
    setter("transform", setClipTransform, 0).since(8),
};

}  // namespace

// Where the package waits while older movies cannot see it (kept alive as registered
// classes are; no export name has this form).
constexpr const char* kHiddenFlash = "\x01flash";
constexpr int kSwf8Flag = 0x1000;  // ASSetPropFlags: visible from SWF 8 on

void revealHiddenPackages(Vm& vm, int clearedFlags) {
  Object* hidden = vm.registeredClass(kHiddenFlash);
  if (!hidden || !(clearedFlags & kSwf8Flag)) return;
  vm.global->put("flash", hidden, kDontEnum, vm.caseInsensitive());
  vm.registerClass(kHiddenFlash, nullptr);
}

Object* flashPackage(Vm& vm) {
  if (vm.version() < 6) return nullptr;
  if (vm.version() < 8) return vm.registeredClass(kHiddenFlash);
  Value flash = vm.getMember(vm.global, "flash");
  return flash.isObject() ? flash.asObject() : nullptr;
}

void installGeomBuiltins(Vm& vm) {
  if (vm.version() < 6) return;
  const bool ci = vm.caseInsensitive();
  const bool visible = vm.version() >= 8;
  Value flash = visible ? vm.getMember(vm.global, "flash") : Value();
  Object* package = flash.isObject() ? flash.asObject() : nullptr;
  if (!package) {
    package = vm.newObject();
    if (visible)
      vm.global->put("flash", package, kDontEnum, ci);
    else
      vm.registerClass(kHiddenFlash, package);
  }
  Object* geom = vm.newObject();
  package->put("geom", geom, 0, ci);
  for (const NativeClass* cls :
       {&kPointClass, &kRectangleClass, &kMatrixClass, &kColorTransformClass, &kTransformClass})
    installClass(vm, geom, *cls);
  if (vm.clipProto) installMembers(vm, vm.clipProto, kClipGeometry);
  installFilterBuiltins(vm, package);
}

}  // namespace orv::movie::avm1
