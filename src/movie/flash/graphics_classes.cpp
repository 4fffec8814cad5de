// flash.display's Graphics (the drawing API of a Sprite or Shape), Shape and Sprite.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "movie/avm2/toplevel.h"
#include "movie/flash/display.h"
#include "movie/flash/geom.h"

namespace orv::movie::avm2 {

namespace {

// A Graphics draws into the display object that made it.
class GraphicsObject : public Object {
 public:
  using Object::Object;
  DisplayHandle owner = 0;
};

using K = DrawCommand::Kind;

GraphicsObject* graphicsOf(Machine& m, const Value& self, const char* method) {
  return receiver<GraphicsObject>(m, self, method);
}

void send(Machine& m, GraphicsObject* g, DrawCommand c) {
  if (m.host && g->owner) m.host->draw(g->owner, c);
}

double num(Machine& m, std::span<Value> args, size_t i, double otherwise) {
  return i < args.size() && !args[i].isUndefined() ? m.toNumber(args[i]) : otherwise;
}

void point(Machine& m, GraphicsObject* g, K kind, double x, double y) {
  DrawCommand c;
  c.kind = kind;
  c.x = x;
  c.y = y;
  send(m, g, c);
}

void curve(Machine& m, GraphicsObject* g, double cx, double cy, double x, double y) {
  DrawCommand c;
  c.kind = K::CurveTo;
  c.cx = cx;
  c.cy = cy;
  c.x = x;
  c.y = y;
  send(m, g, c);
}

Value clear(Machine& m, const Value& self, std::span<Value>) {
  send(m, graphicsOf(m, self, "clear"), {});
  return Value();
}

Value beginFill(Machine& m, const Value& self, std::span<Value> args) {
  GraphicsObject* g = graphicsOf(m, self, "beginFill");
  DrawCommand c;
  c.kind = K::BeginFill;
  c.color = m.toUint(arg(args, 0)) & 0xFFFFFF;
  c.alpha = num(m, args, 1, 1);
  send(m, g, c);
  return Value();
}

// The numbers of an Array argument (a missing or other value: none).
std::vector<Value> listArg(const Value& v) {
  auto* a = v.isObject() ? dynamic_cast<ArrayObject*>(v.asObject()) : nullptr;
  return a ? a->elements : std::vector<Value>{};
}

// beginGradientFill(type, colors, alphas, ratios, matrix, spreadMethod,
// interpolationMethod, focalPointRatio). Lists of different lengths fill with nothing.
Value beginGradientFill(Machine& m, const Value& self, std::span<Value> args) {
  GraphicsObject* g = graphicsOf(m, self, "beginGradientFill");
  const std::string type = m.toText(arg(args, 0));
  if (type != "linear" && type != "radial") m.fail(ErrorClass::ArgumentError, 2008, {"type"});
  DrawCommand c;
  c.kind = K::BeginGradientFill;
  c.radial = type == "radial";
  const std::vector<Value> colors = listArg(arg(args, 1)), alphas = listArg(arg(args, 2)),
                           ratios = listArg(arg(args, 3));
  if (colors.size() == alphas.size() && colors.size() == ratios.size())
    for (size_t i = 0; i < colors.size(); ++i) {
      const double ratio = m.toNumber(ratios[i]);
      c.stops.push_back({uint8_t(std::isnan(ratio) ? 0 : std::lround(std::clamp(ratio, 0.0, 255.0))),
                         m.toUint(colors[i]) & 0xFFFFFF, m.toNumber(alphas[i])});
    }
  if (!arg(args, 4).isNullish()) {
    const double* v = geomArg(m, args[4], "Matrix", "matrix")->v;
    c.matrix = {v[0], v[1], v[2], v[3], v[4], v[5]};
  }
  const std::string spread = args.size() > 5 ? m.toText(args[5]) : "pad";
  c.spread = spread == "reflect"  ? DrawCommand::Spread::Reflect
             : spread == "repeat" ? DrawCommand::Spread::Repeat
                                  : DrawCommand::Spread::Pad;
  c.linearRgb = args.size() > 6 && m.toText(args[6]) == "linearRGB";
  c.focalPoint = num(m, args, 7, 0);
  send(m, g, c);
  return Value();
}

Value endFill(Machine& m, const Value& self, std::span<Value>) {
  DrawCommand c;
  c.kind = K::EndFill;
  send(m, graphicsOf(m, self, "endFill"), c);
  return Value();
}

// lineStyle(thickness, color, alpha): no thickness (or NaN) draws no line.
Value lineStyle(Machine& m, const Value& self, std::span<Value> args) {
  GraphicsObject* g = graphicsOf(m, self, "lineStyle");
  DrawCommand c;
  c.thickness = num(m, args, 0, NAN);
  c.kind = std::isnan(c.thickness) ? K::NoLine : K::LineStyle;
  c.color = m.toUint(arg(args, 1)) & 0xFFFFFF;
  c.alpha = num(m, args, 2, 1);
  send(m, g, c);
  return Value();
}

Value moveTo(Machine& m, const Value& self, std::span<Value> args) {
  point(m, graphicsOf(m, self, "moveTo"), K::MoveTo, num(m, args, 0, 0), num(m, args, 1, 0));
  return Value();
}

Value lineTo(Machine& m, const Value& self, std::span<Value> args) {
  point(m, graphicsOf(m, self, "lineTo"), K::LineTo, num(m, args, 0, 0), num(m, args, 1, 0));
  return Value();
}

Value curveTo(Machine& m, const Value& self, std::span<Value> args) {
  curve(m, graphicsOf(m, self, "curveTo"), num(m, args, 0, 0), num(m, args, 1, 0),
        num(m, args, 2, 0), num(m, args, 3, 0));
  return Value();
}

Value drawRect(Machine& m, const Value& self, std::span<Value> args) {
  GraphicsObject* g = graphicsOf(m, self, "drawRect");
  double x = num(m, args, 0, 0), y = num(m, args, 1, 0);
  double w = num(m, args, 2, 0), h = num(m, args, 3, 0);
  point(m, g, K::MoveTo, x, y);
  point(m, g, K::LineTo, x + w, y);
  point(m, g, K::LineTo, x + w, y + h);
  point(m, g, K::LineTo, x, y + h);
  point(m, g, K::LineTo, x, y);
  return Value();
}

// An ellipse in eight curves, each a 45-degree arc, starting at its right.
void ellipse(Machine& m, GraphicsObject* g, double cx, double cy, double rx, double ry) {
  constexpr double kPi = 3.14159265358979323846;
  const double control = 1 / std::cos(kPi / 8);
  point(m, g, K::MoveTo, cx + rx, cy);
  for (int i = 1; i <= 8; ++i) {
    const double a = i * kPi / 4, mid = a - kPi / 8;
    curve(m, g, cx + rx * control * std::cos(mid), cy + ry * control * std::sin(mid),
          cx + rx * std::cos(a), cy + ry * std::sin(a));
  }
}

Value drawCircle(Machine& m, const Value& self, std::span<Value> args) {
  GraphicsObject* g = graphicsOf(m, self, "drawCircle");
  double r = num(m, args, 2, 0);
  ellipse(m, g, num(m, args, 0, 0), num(m, args, 1, 0), r, r);
  return Value();
}

Value drawEllipse(Machine& m, const Value& self, std::span<Value> args) {
  GraphicsObject* g = graphicsOf(m, self, "drawEllipse");
  double w = num(m, args, 2, 0), h = num(m, args, 3, 0);
  ellipse(m, g, num(m, args, 0, 0) + w / 2, num(m, args, 1, 0) + h / 2, w / 2, h / 2);
  return Value();
}

// drawRoundRect(x, y, width, height, ellipseWidth, ellipseHeight = ellipseWidth).
Value drawRoundRect(Machine& m, const Value& self, std::span<Value> args) {
  GraphicsObject* g = graphicsOf(m, self, "drawRoundRect");
  double x = num(m, args, 0, 0), y = num(m, args, 1, 0);
  double w = num(m, args, 2, 0), h = num(m, args, 3, 0);
  double ew = num(m, args, 4, 0);
  double eh = num(m, args, 5, NAN);
  if (std::isnan(eh)) eh = ew;
  double rx = std::min(std::abs(ew) / 2, std::abs(w) / 2), ry = std::min(std::abs(eh) / 2, std::abs(h) / 2);
  if (!(rx > 0 && ry > 0)) return drawRect(m, self, args);
  const double r = x + w, b = y + h;
  point(m, g, K::MoveTo, r, b - ry);
  point(m, g, K::LineTo, r, y + ry);
  curve(m, g, r, y, r - rx, y);
  point(m, g, K::LineTo, x + rx, y);
  curve(m, g, x, y, x, y + ry);
  point(m, g, K::LineTo, x, b - ry);
  curve(m, g, x, b, x + rx, b);
  point(m, g, K::LineTo, r - rx, b);
  curve(m, g, r, b, r, b - ry);
  return Value();
}

constexpr NativeMember kGraphicsMembers[] = {
    {"clear", MemberKind::FinalMethod, clear},
    {"beginFill", MemberKind::FinalMethod, beginFill, 2},
    {"beginGradientFill", MemberKind::FinalMethod, beginGradientFill, 8},
    {"endFill", MemberKind::FinalMethod, endFill},
    {"lineStyle", MemberKind::FinalMethod, lineStyle, 3},
    {"moveTo", MemberKind::FinalMethod, moveTo, 2},
    {"lineTo", MemberKind::FinalMethod, lineTo, 2},
    {"curveTo", MemberKind::FinalMethod, curveTo, 4},
    {"drawRect", MemberKind::FinalMethod, drawRect, 4},
    {"drawCircle", MemberKind::FinalMethod, drawCircle, 3},
    {"drawEllipse", MemberKind::FinalMethod, drawEllipse, 4},
    {"drawRoundRect", MemberKind::FinalMethod, drawRoundRect, 6},
};

Object* allocGraphics(Machine& m, ClassObject* cls) {
  return m.heap.make<GraphicsObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

// Scripts cannot make a Graphics: one comes with each Sprite and Shape.
Value graphicsInit(Machine& m, const Value& self, std::span<Value>) {
  if (graphicsOf(m, self, "Graphics")->owner == 0) m.fail(ErrorClass::ArgumentError, 2012, {"Graphics"});
  return Value();
}

Value getGraphics(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "graphics");
  if (!d->graphics) {
    ClassObject* cls = m.findClass("flash.display.Graphics");
    auto* g = static_cast<GraphicsObject*>(m.allocate(cls));
    g->owner = d->handle;
    d->graphics = g;
  }
  return Value(d->graphics);
}

constexpr NativeMember kDrawingMembers[] = {
    {"graphics", MemberKind::Getter, getGraphics},
};

}  // namespace

void installGraphicsClasses(Machine& m) {
  installClass(m, {.package = "flash.display",
                   .name = "Graphics",
                   .members = kGraphicsMembers,
                   .init = graphicsInit,
                   .alloc = allocGraphics,
                   .dynamic = false,
                   .isFinal = true});
  installClass(m, {.package = "flash.display",
                   .name = "Shape",
                   .base = "flash.display.DisplayObject",
                   .members = kDrawingMembers,
                   .dynamic = false});
  installClass(m, {.package = "flash.display",
                   .name = "Sprite",
                   .base = "flash.display.DisplayObjectContainer",
                   .members = withInputMembers("Sprite", kDrawingMembers),
                   .dynamic = false});
}

}  // namespace orv::movie::avm2
