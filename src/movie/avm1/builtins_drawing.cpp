// MovieClip's drawing API: clear, lineStyle, beginFill, beginGradientFill, moveTo, lineTo,
// curveTo, endFill. Arguments are pixels, colours 0xRRGGBB, alphas 0..100; the clip's
// pen draws in twips.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

ClipPen* drawingOf(CallInfo& c) {
  Object* o = c.thisObject();
  return o && o->kind == ObjectKind::Clip && o->clip ? o->clip->pen() : nullptr;
}

// Pixels to twips, kept within what the edges can hold; what is not a number is 0.
int32_t twips(Vm& vm, const Value& v) {
  const double n = vm.toNumber(v) * 20;
  if (!std::isfinite(n)) return 0;
  return static_cast<int32_t>(std::lround(std::clamp(n, -1e9, 1e9)));
}

swf::RGBA colour(Vm& vm, const Value& rgb, const Value& alpha) {
  const uint32_t c = static_cast<uint32_t>(vm.toInt(rgb));
  double a = alpha.isUndefined() ? 100 : vm.toNumber(alpha);
  if (std::isnan(a)) a = 0;
  a = std::clamp(a, 0.0, 100.0);
  return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(std::lround(a * 255 / 100))};
}

// The gradient's matrix from a script object: {matrixType: "box", x, y, w, h, r}, a
// flash.geom.Matrix-like {a, b, c, d, tx, ty}, or the 3x3 {a, b, d, e, g, h} form. The
// gradient square (-819.2 .. 819.2 pixels) is mapped into the clip; the result is in twips.
swf::Matrix gradientMatrix(Vm& vm, const Value& v) {
  swf::Matrix m;
  if (!v.isObject()) return m;
  Object* o = v.asObject();
  auto num = [&](const char* name) {
    const double n = vm.toNumber(vm.getMember(o, name));
    return std::isfinite(n) ? n : 0.0;
  };
  if (vm.toString(vm.getMember(o, "matrixType")) == "box") {
    const double w = num("w"), h = num("h"), r = num("r");
    const double sx = w / 1638.4, sy = h / 1638.4;
    m = {std::cos(r) * sx, std::sin(r) * sx, -std::sin(r) * sy,
         std::cos(r) * sy, num("x") + w / 2, num("y") + h / 2};
  } else if (!vm.getMember(o, "tx").isUndefined()) {
    m = {num("a"), num("b"), num("c"), num("d"), num("tx"), num("ty")};
  } else {
    m = {num("a"), num("b"), num("d"), num("e"), num("g"), num("h")};
  }
  m.tx *= 20;
  m.ty *= 20;
  return m;
}

std::optional<swf::FillStyle> gradientFill(Vm& vm, CallInfo& c) {
  const std::string kind = vm.toString(c.arg(0));
  if (kind != "linear" && kind != "radial") return std::nullopt;
  Object* colours = vm.toObject(c.arg(1));
  Object* alphas = vm.toObject(c.arg(2));
  Object* ratios = vm.toObject(c.arg(3));
  if (!colours || !alphas || !ratios || !c.arg(4).isObject()) return std::nullopt;
  const std::vector<Value> cs = vm.arrayElements(colours), as = vm.arrayElements(alphas),
                           rs = vm.arrayElements(ratios);
  // The three lists go together: a gradient without matching lists is not drawn.
  if (cs.empty() || cs.size() != as.size() || cs.size() != rs.size()) return std::nullopt;
  swf::FillStyle fill;
  const std::string spread = vm.toString(c.arg(5));
  const double focal = vm.toNumber(c.arg(7));
  fill.type = kind == "linear"                     ? swf::FillType::LinearGradient
              : std::isfinite(focal) && focal != 0 ? swf::FillType::FocalGradient
                                                   : swf::FillType::RadialGradient;
  fill.matrix = gradientMatrix(vm, c.arg(4));
  fill.gradient.spread = spread == "reflect"  ? swf::SpreadMode::Reflect
                         : spread == "repeat" ? swf::SpreadMode::Repeat
                                              : swf::SpreadMode::Pad;
  if (vm.toString(c.arg(6)) == "linearRGB")
    fill.gradient.interpolation = swf::InterpolationMode::LinearRGB;
  // Kept as a movie stores it, in 8.8 fixed point (cut towards zero).
  if (fill.type == swf::FillType::FocalGradient)
    fill.gradient.focalPoint = std::trunc(std::clamp(focal, -1.0, 1.0) * 256) / 256;
  const size_t count = std::min<size_t>(cs.size(), 15);
  for (size_t i = 0; i < count; ++i) {
    double ratio = vm.toNumber(rs[i]);
    if (std::isnan(ratio)) ratio = 0;
    fill.gradient.records.push_back(
        {uint8_t(std::lround(std::clamp(ratio, 0.0, 255.0))), colour(vm, cs[i], as[i])});
  }
  return fill;
}

swf::LineStyle lineStyleFrom(Vm& vm, CallInfo& c) {
  swf::LineStyle style;
  double thickness = vm.toNumber(c.arg(0));
  if (std::isnan(thickness)) thickness = 0;
  style.width = static_cast<uint16_t>(std::lround(std::clamp(thickness, 0.0, 255.0) * 20));
  style.color = colour(vm, c.arg(1), c.arg(2));
  style.pixelHinting = vm.toBool(c.arg(3));
  const std::string noScale = c.arg(4).isUndefined() ? "normal" : vm.toString(c.arg(4));
  style.noHScale = noScale == "none" || noScale == "horizontal";
  style.noVScale = noScale == "none" || noScale == "vertical";
  const std::string caps = vm.toString(c.arg(5));
  style.startCap = style.endCap = caps == "none"     ? swf::CapStyle::None
                                  : caps == "square" ? swf::CapStyle::Square
                                                     : swf::CapStyle::Round;
  const std::string joints = vm.toString(c.arg(6));
  style.join = joints == "miter"   ? swf::JoinStyle::Miter
               : joints == "bevel" ? swf::JoinStyle::Bevel
                                   : swf::JoinStyle::Round;
  const double limit = vm.toNumber(c.arg(7));
  style.miterLimit = std::isfinite(limit) ? std::clamp(limit, 1.0, 255.0) : 3.0;
  return style;
}

Value clear(Vm&, CallInfo& c) {
  if (ClipPen* d = drawingOf(c)) d->clear();
  return Value();
}

Value lineStyle(Vm& vm, CallInfo& c) {
  ClipPen* d = drawingOf(c);
  if (!d) return Value();
  if (c.arg(0).isUndefined())
    d->setLineStyle(std::nullopt);
  else
    d->setLineStyle(lineStyleFrom(vm, c));
  return Value();
}

Value beginFill(Vm& vm, CallInfo& c) {
  ClipPen* d = drawingOf(c);
  if (!d) return Value();
  if (c.arg(0).isUndefined()) {
    d->beginFill(std::nullopt);
    return Value();
  }
  swf::FillStyle fill;
  fill.color = colour(vm, c.arg(0), c.arg(1));
  d->beginFill(fill);
  return Value();
}

Value beginGradientFill(Vm& vm, CallInfo& c) {
  if (ClipPen* d = drawingOf(c)) d->beginFill(gradientFill(vm, c));
  return Value();
}

Value endFill(Vm&, CallInfo& c) {
  if (ClipPen* d = drawingOf(c)) d->endFill();
  return Value();
}

Value moveTo(Vm& vm, CallInfo& c) {
  ClipPen* d = drawingOf(c);
  if (d && c.args.size() >= 2) d->moveTo(twips(vm, c.arg(0)), twips(vm, c.arg(1)));
  return Value();
}

Value lineTo(Vm& vm, CallInfo& c) {
  ClipPen* d = drawingOf(c);
  if (d && c.args.size() >= 2) d->lineTo(twips(vm, c.arg(0)), twips(vm, c.arg(1)));
  return Value();
}

Value curveTo(Vm& vm, CallInfo& c) {
  ClipPen* d = drawingOf(c);
  if (d && c.args.size() >= 4)
    d->curveTo(twips(vm, c.arg(0)), twips(vm, c.arg(1)), twips(vm, c.arg(2)), twips(vm, c.arg(3)));
  return Value();
}

constexpr NativeMember kDrawing[] = {
    method("clear", clear).asnative(901, 8),
    method("lineStyle", lineStyle).asnative(901, 6),
    method("beginFill", beginFill).asnative(901, 1),
    method("beginGradientFill", beginGradientFill).asnative(901, 2),
    method("endFill", endFill).asnative(901, 7),
    method("moveTo", moveTo).asnative(901, 3),
    method("lineTo", lineTo).asnative(901, 4),
    method("curveTo", curveTo).asnative(901, 5),
};

}  // namespace

void installDrawingBuiltins(Vm& vm) {
  if (vm.clipProto) installMembers(vm, vm.clipProto, kDrawing);
}

}  // namespace orv::movie::avm1
