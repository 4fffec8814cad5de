// flash.display.BitmapData (SWF 8, or SWF 6/7 once the flash package is revealed) and
// MovieClip.attachBitmap. The pixels live in a render::Bitmap the renderer draws as they
// are, so a clip showing a BitmapData follows every later change. All pixels alive at once
// are capped (ScriptLimits::maxBitmapBytes): past that a new BitmapData is refused.
#include <algorithm>
#include <cmath>
#include <optional>
#include <initializer_list>
#include <tuple>
#include <vector>

#include "movie/base/filter_settings.h"
#include "movie/render/raster/bitmap_data.h"
#include "movie/avm1/bitmap_values.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

// The largest image a movie may make: 2880 pixels on a side before SWF 10; from SWF 10,
// 8191 on a side and 16777215 pixels in all.
bool sizeAllowed(Vm& vm, double w, double h) {
  if (!(w >= 1 && h >= 1)) return false;
  if (vm.version() < 10) return w <= 2880 && h <= 2880;
  return w <= 8191 && h <= 8191 && std::floor(w) * std::floor(h) <= 16777215;
}
constexpr double kMaxPixels = 16777215;

// What methods give back for arguments they cannot use (the player's codes): too few
// arguments, a source that is no BitmapData, a disposed source, no rectangle.
constexpr int kTooFewArguments = -1;
constexpr int kNoSourceBitmap = -2;
constexpr int kDisposedSource = -3;
constexpr int kNoRectangle = -4;

class BitmapDataObject : public Object {
 public:
  BitmapDataObject() : Object(ObjectKind::Other) { className = "BitmapData"; }
  std::optional<render::BitmapPixels> pixels;  // empty once disposed
};

BitmapDataObject* bitmapOf(const Value& v) {
  return v.isObject() ? dynamic_cast<BitmapDataObject*>(v.asObject()) : nullptr;
}

render::BitmapPixels* pixelsOf(const Value& v) {
  BitmapDataObject* b = bitmapOf(v);
  return b && b->pixels ? &*b->pixels : nullptr;
}

// A new pixel store counted against the cap; nullptr when it would pass it.
std::shared_ptr<render::Bitmap> newStore(Vm& vm, int width, int height, uint32_t premultiplied) {
  return render::newCountedStore(vm.bitmapBytes, vm.limits().maxBitmapBytes, width, height,
                                 premultiplied);
}

void releasePixels(Vm& vm, BitmapDataObject* b) {
  if (!b || !b->pixels) return;
  const size_t bytes = size_t(b->pixels->width()) * size_t(b->pixels->height()) * 4;
  *vm.bitmapBytes -= std::min(*vm.bitmapBytes, bytes);
  b->pixels->dispose();
  b->pixels.reset();
}

BitmapDataObject* newBitmapObject(Vm& vm, const Value& proto) {
  auto* self = vm.allocate<BitmapDataObject>();
  const bool ci = vm.caseInsensitive();
  self->put("__proto__", proto.isObject() ? proto : Value(vm.objectProto), kDontEnum | kDontDelete,
            ci);
  return self;
}

// Numbers as pixel coordinates: NaN and infinities are 0, others are cut to integers.
int pixelInt(Vm& vm, const Value& v) { return vm.toInt(v); }
uint32_t colorArg(Vm& vm, const Value& v) { return static_cast<uint32_t>(vm.toInt(v)); }
double finite(double d) { return std::isfinite(d) ? d : 0; }

double numberMember(Vm& vm, const Value& obj, const char* name) {
  return obj.isObject() ? vm.toNumber(vm.getMember(obj.asObject(), name)) : 0;
}

// Whether an object has all the members named (none of them undefined).
bool hasMembers(Vm& vm, const Value& v, std::initializer_list<const char*> names) {
  if (!v.isObject()) return false;
  for (const char* name : names)
    if (vm.getMember(v.asObject(), name).isUndefined()) return false;
  return true;
}

// A rectangle argument: an object with x, y, width and height (else none).
std::optional<render::PixelRect> rectArg(Vm& vm, const Value& v) {
  if (!hasMembers(vm, v, {"x", "y", "width", "height"})) return std::nullopt;
  auto part = [&](const char* name) { return toInt32(numberMember(vm, v, name)); };
  return render::PixelRect{part("x"), part("y"), part("width"), part("height")};
}

// A point argument: anything that is not an object is (0, 0).
std::pair<int, int> pointArg(Vm& vm, const Value& v) {
  if (!v.isObject()) return {0, 0};
  return {toInt32(numberMember(vm, v, "x")), toInt32(numberMember(vm, v, "y"))};
}

Value geomClass(Vm& vm, const char* name) {
  Value flash = vm.getMember(vm.global, "flash");
  if (!flash.isObject()) return Value();
  Value geom = vm.getMember(flash.asObject(), "geom");
  return geom.isObject() ? vm.getMember(geom.asObject(), name) : Value();
}

// A flash.geom.Rectangle as scripts see the class now; a plain object when it is gone.
Value makeRectangle(Vm& vm, const render::PixelRect& r) {
  std::vector<Value> args{Value(r.x), Value(r.y), Value(r.w), Value(r.h)};
  Value ctor = geomClass(vm, "Rectangle");
  if (ctor.isObject() && ctor.asObject()->kind == ObjectKind::Function)
    return vm.construct(ctor, args);
  Object* o = vm.newObject();
  const char* names[] = {"x", "y", "width", "height"};
  for (size_t i = 0; i < 4; ++i) vm.setMember(o, names[i], args[i]);
  return Value(o);
}

// As the renderer draws with it: in single precision.
base::ColorTransformF colorTransformArg(Vm& vm, const Value& v) {
  base::ColorTransformF cx;
  if (!v.isObject()) return cx;
  auto f = [&](const char* name, double dflt) {
    Value m = vm.getMember(v.asObject(), name);
    return m.isUndefined() ? float(dflt) : float(finite(vm.toNumber(m)));
  };
  cx.rMul = f("redMultiplier", 1);
  cx.gMul = f("greenMultiplier", 1);
  cx.bMul = f("blueMultiplier", 1);
  cx.aMul = f("alphaMultiplier", 1);
  cx.rAdd = f("redOffset", 0);
  cx.gAdd = f("greenOffset", 0);
  cx.bAdd = f("blueOffset", 0);
  cx.aAdd = f("alphaOffset", 0);
  return cx;
}

ScriptClip::Matrix matrixArg(Vm& vm, const Value& v) {
  ScriptClip::Matrix m;
  if (!v.isObject()) return m;
  auto f = [&](const char* name, double dflt) {
    Value x = vm.getMember(v.asObject(), name);
    return x.isUndefined() ? dflt : finite(vm.toNumber(x));
  };
  m = {f("a", 1), f("b", 0), f("c", 0), f("d", 1), f("tx", 0), f("ty", 0)};
  return m;
}

using PixelsCode = Value (*)(Vm&, CallInfo&, render::BitmapPixels&);

// `fn` for a live BitmapData; anything else (a disposed one included) gives undefined, or
// -1 for the sizes and the rest of what describes the pixels (`minusOne`).
template <PixelsCode fn, bool minusOne = false>
Value onPixels(Vm& vm, CallInfo& c) {
  render::BitmapPixels* p = pixelsOf(c.thisValue);
  if (!p) return minusOne ? Value(-1) : Value();
  return fn(vm, c, *p);
}

// Sizes and the rest read -1 once the pixels are disposed.
Value widthOf(Vm&, CallInfo&, render::BitmapPixels& p) { return Value(p.width()); }

Value heightOf(Vm&, CallInfo&, render::BitmapPixels& p) { return Value(p.height()); }

Value transparentOf(Vm&, CallInfo&, render::BitmapPixels& p) { return Value(p.transparent()); }

// The rectangle is made by flash.geom.Rectangle as it is now; -1 when that is no class.
Value rectangleOf(Vm& vm, CallInfo&, render::BitmapPixels& p) {
  Value ctor = geomClass(vm, "Rectangle");
  if (!ctor.isObject() || ctor.asObject()->kind != ObjectKind::Function) return Value(-1);
  return makeRectangle(vm, p.bounds());
}

Value getPixel(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  return Value(double(p.getPixel32(pixelInt(vm, c.arg(0)), pixelInt(vm, c.arg(1))) & 0xFFFFFFu));
}

Value getPixel32(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  return Value(double(int32_t(p.getPixel32(pixelInt(vm, c.arg(0)), pixelInt(vm, c.arg(1))))));
}

Value setPixel(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  p.setPixel(pixelInt(vm, c.arg(0)), pixelInt(vm, c.arg(1)), colorArg(vm, c.arg(2)));
  return Value();
}

Value setPixel32(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  p.setPixel32(pixelInt(vm, c.arg(0)), pixelInt(vm, c.arg(1)), colorArg(vm, c.arg(2)));
  return Value();
}

Value fillRect(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  if (auto r = rectArg(vm, c.arg(0))) p.fillRect(*r, colorArg(vm, c.arg(1)));
  return Value();
}

Value floodFill(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  p.floodFill(pixelInt(vm, c.arg(0)), pixelInt(vm, c.arg(1)), colorArg(vm, c.arg(2)));
  return Value();
}

// clone: the same pixels in a new object of the same prototype.
Value clonePixels(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  auto store = newStore(vm, p.width(), p.height(), 0);
  if (!store) return Value();
  store->pixels = p.store()->pixels;
  BitmapDataObject* self = newBitmapObject(vm, vm.getMember(c.thisValue, "__proto__"));
  self->pixels.emplace(std::move(store), p.transparent());
  return Value(self);
}

Value dispose(Vm& vm, CallInfo& c) {
  releasePixels(vm, bitmapOf(c.thisValue));
  return Value();
}

// The source, rectangle and point most copying methods start with; a code when they
// cannot be used (`required` arguments at least).
struct SourceArgs {
  const render::BitmapPixels* src = nullptr;
  render::PixelRect rect;
  int dx = 0, dy = 0;
  int error = 0;
};
SourceArgs sourceArgs(Vm& vm, CallInfo& c, size_t required) {
  SourceArgs a;
  if (c.args.size() < required) {
    a.error = kTooFewArguments;
    return a;
  }
  BitmapDataObject* b = bitmapOf(c.arg(0));
  if (!b) {
    a.error = kNoSourceBitmap;
    return a;
  }
  if (!b->pixels) {
    a.error = kDisposedSource;
    return a;
  }
  const auto r = rectArg(vm, c.arg(1));
  if (!r) {
    a.error = kNoRectangle;
    return a;
  }
  a.src = &*b->pixels;
  a.rect = *r;
  std::tie(a.dx, a.dy) = pointArg(vm, c.arg(2));
  return a;
}

// copyPixels(source, rect, point, alphaBitmap, alphaPoint, mergeAlpha): 0, or a code.
Value copyPixels(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const SourceArgs a = sourceArgs(vm, c, 3);
  if (a.error) return Value(a.error);
  const render::BitmapPixels* alpha = pixelsOf(c.arg(3));
  auto [ax, ay] = pointArg(vm, c.arg(4));
  p.copyPixels(*a.src, a.rect, a.dx, a.dy, alpha, ax, ay, vm.toBool(c.arg(5)));
  return Value(0);
}

// applyFilter(source, rect, point, filter): 0, or a code; a filter that draws nothing
// copies the rectangle as it is.
Value applyFilter(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const SourceArgs a = sourceArgs(vm, c, 4);
  if (a.error) return Value(a.error);
  const std::optional<base::FilterSettings> settings = filterSettingsOf(vm, c.arg(3));
  if (!settings) return Value(kTooFewArguments);
  render::FilterMaps maps;
  std::vector<render::Filter> filters(1);
  if (!vm.host().rasterFilter(*settings, filters[0], maps)) filters.clear();
  p.applyFilters(*a.src, a.rect, a.dx, a.dy, filters, &maps);
  return Value(0);
}

// generateFilterRect(rect, filter): the rectangle the filter would make of `rect`.
Value generateFilterRect(Vm& vm, CallInfo& c, render::BitmapPixels&) {
  if (c.args.size() < 2) return Value(kTooFewArguments);
  const auto r = rectArg(vm, c.arg(0));
  const std::optional<base::FilterSettings> settings = filterSettingsOf(vm, c.arg(1));
  if (!r || !settings) return Value(kTooFewArguments);
  render::FilterMaps maps;
  std::vector<render::Filter> filters(1);
  if (!vm.host().rasterFilter(*settings, filters[0], maps)) filters.clear();
  return makeRectangle(vm, render::BitmapPixels::filterRect(*r, filters));
}

Value copyChannel(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const render::BitmapPixels* src = pixelsOf(c.arg(0));
  auto r = rectArg(vm, c.arg(1));
  if (!src || !r) return Value();
  auto [dx, dy] = pointArg(vm, c.arg(2));
  p.copyChannel(*src, *r, dx, dy, colorArg(vm, c.arg(3)), colorArg(vm, c.arg(4)));
  return Value();
}

Value colorTransform(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  if (auto r = rectArg(vm, c.arg(0))) p.colorTransform(*r, colorTransformArg(vm, c.arg(1)));
  return Value();
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a clip or
// another BitmapData drawn over these pixels.
Value draw(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const ScriptClip::Matrix m = matrixArg(vm, c.arg(1));
  const base::ColorTransformF cx = colorTransformArg(vm, c.arg(2));
  render::Bitmap& target = *p.store();
  // A clip rectangle limits what changes: draw into a copy, then keep its window.
  std::optional<render::PixelRect> window = rectArg(vm, c.arg(4));
  std::vector<uint32_t> before;
  if (window) before = target.pixels;
  if (const render::BitmapPixels* source = pixelsOf(c.arg(0))) {
    vm.host().drawBitmap(source->store(), m, cx, vm.toBool(c.arg(5)), target);
  } else if (ScriptClip* clip = vm.clipOf(c.arg(0))) {
    vm.host().drawClip(clip, m, cx, target);
  }
  if (window) {
    const render::PixelRect keep = p.clip(*window);
    for (int y = 0; y < p.height(); ++y)
      for (int x = 0; x < p.width(); ++x) {
        const bool inside =
            x >= keep.x && x < keep.x + keep.w && y >= keep.y && y < keep.y + keep.h;
        if (!inside)
          target.pixels[size_t(y) * target.width + x] = before[size_t(y) * target.width + x];
      }
  }
  // An opaque image stays opaque whatever was drawn.
  if (!p.transparent())
    for (uint32_t& px : target.pixels) px |= 0xFF000000u;
  return Value();
}

Value noise(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const int low = c.args.size() > 1 ? pixelInt(vm, c.arg(1)) : 0;
  const int high = c.args.size() > 2 ? pixelInt(vm, c.arg(2)) : 255;
  const uint32_t channels = c.args.size() > 3 ? colorArg(vm, c.arg(3)) : 7;
  p.noise(vm.toInt(c.arg(0)), low, high, channels, vm.toBool(c.arg(4)));
  return Value();
}

Value perlinNoise(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  std::vector<double> offsets;
  if (c.arg(8).isObject() && c.arg(8).asObject()->kind == ObjectKind::Array) {
    // Two numbers (x, y) per octave; more than the octaves allowed are not read.
    std::vector<Value> points = vm.arrayElements(c.arg(8).asObject());
    for (size_t i = 0; i < points.size() && i < 16; ++i) {
      offsets.push_back(finite(numberMember(vm, points[i], "x")));
      offsets.push_back(finite(numberMember(vm, points[i], "y")));
    }
  }
  const uint32_t channels = c.args.size() > 6 ? colorArg(vm, c.arg(6)) : 7;
  p.perlinNoise(finite(vm.toNumber(c.arg(0))), finite(vm.toNumber(c.arg(1))), vm.toInt(c.arg(2)),
                vm.toInt(c.arg(3)), vm.toBool(c.arg(4)), vm.toBool(c.arg(5)), channels,
                vm.toBool(c.arg(7)), offsets.data(), int(offsets.size()));
  return Value();
}

Value getColorBoundsRect(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const bool find = c.args.size() > 2 ? vm.toBool(c.arg(2)) : true;
  return makeRectangle(vm, p.colorBounds(colorArg(vm, c.arg(0)), colorArg(vm, c.arg(1)), find));
}

Value scroll(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  p.scroll(pixelInt(vm, c.arg(0)), pixelInt(vm, c.arg(1)));
  return Value();
}

Value merge(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const render::BitmapPixels* src = pixelsOf(c.arg(0));
  auto r = rectArg(vm, c.arg(1));
  if (!src || !r) return Value();
  auto [dx, dy] = pointArg(vm, c.arg(2));
  const uint32_t m[4] = {colorArg(vm, c.arg(3)), colorArg(vm, c.arg(4)), colorArg(vm, c.arg(5)),
                         colorArg(vm, c.arg(6))};
  p.merge(*src, *r, dx, dy, m);
  return Value();
}

// paletteMap(source, rect, point, red, green, blue, alpha): arrays of 256 entries.
Value paletteMap(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const render::BitmapPixels* src = pixelsOf(c.arg(0));
  auto r = rectArg(vm, c.arg(1));
  if (!src || !r) return Value();
  auto [dx, dy] = pointArg(vm, c.arg(2));
  std::vector<uint32_t> tables[4];
  const uint32_t* use[4] = {nullptr, nullptr, nullptr, nullptr};
  for (int i = 0; i < 4; ++i) {
    const Value a = c.arg(3 + size_t(i));
    if (!a.isObject() || a.asObject()->kind != ObjectKind::Array) continue;
    std::vector<Value> items = vm.arrayElements(a.asObject());
    tables[i].assign(256, 0);
    for (size_t k = 0; k < 256 && k < items.size(); ++k) tables[i][k] = colorArg(vm, items[k]);
    use[i] = tables[i].data();
  }
  p.paletteMap(*src, *r, dx, dy, use);
  return Value();
}

// threshold(source, rect, point, operation, threshold, color, mask, copySource):
// how many pixels matched.
Value threshold(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const render::BitmapPixels* src = pixelsOf(c.arg(0));
  auto r = rectArg(vm, c.arg(1));
  if (!src || !r) return Value(0);
  auto [dx, dy] = pointArg(vm, c.arg(2));
  const uint32_t mask = c.args.size() > 6 ? colorArg(vm, c.arg(6)) : 0xFFFFFFFFu;
  return Value(p.threshold(*src, *r, dx, dy, vm.toString(c.arg(3)), colorArg(vm, c.arg(4)),
                           colorArg(vm, c.arg(5)), mask, vm.toBool(c.arg(7))));
}

// pixelDissolve(source, rect, point, seed, numPixels, fillColor): the seed to go on with,
// or a code. Without a seed nothing is done.
Value pixelDissolve(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  const SourceArgs a = sourceArgs(vm, c, 4);
  if (a.error) return Value(a.error);
  const double n = finite(vm.toNumber(c.arg(4)));
  const int64_t count = int64_t(std::clamp(n, 0.0, kMaxPixels));
  return Value(double(p.pixelDissolve(*a.src, a.rect, a.dx, a.dy, vm.toInt(c.arg(3)), count,
                                      colorArg(vm, c.arg(5)))));
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject, secondPoint, secondThreshold):
// against a Point, a Rectangle or another BitmapData (opaque pixels of each).
// Too few arguments, no first point or nothing to test against give a code.
Value hitTest(Vm& vm, CallInfo& c, render::BitmapPixels& p) {
  if (c.args.size() < 3) return Value(kTooFewArguments);
  if (!hasMembers(vm, c.arg(0), {"x", "y"})) return Value(-2);
  auto [fx, fy] = pointArg(vm, c.arg(0));
  const int threshold = std::clamp(pixelInt(vm, c.arg(1)), 0, 255);
  const Value second = c.arg(2);
  if (const render::BitmapPixels* other = pixelsOf(second)) {
    auto [sx, sy] = pointArg(vm, c.arg(3));
    const int threshold2 = c.args.size() > 4 ? std::clamp(pixelInt(vm, c.arg(4)), 0, 255) : 1;
    // The other image's pixels in this one's space: overlap of both rectangles.
    const int64_t ox = int64_t(sx) - fx, oy = int64_t(sy) - fy;
    for (int y = 0; y < other->height(); ++y) {
      const int64_t ty = oy + y;
      if (ty < 0 || ty >= p.height()) continue;
      for (int x = 0; x < other->width(); ++x) {
        const int64_t tx = ox + x;
        if (tx < 0 || tx >= p.width()) continue;
        if (render::alphaHits(other->getPixel32(x, y) >> 24, threshold2) &&
            render::alphaHits(p.getPixel32(int(tx), int(ty)) >> 24, threshold))
          return Value(true);
      }
    }
    return Value(false);
  }
  if (!hasMembers(vm, second, {"x", "y"})) return Value(-3);
  const bool isRect = !vm.getMember(second.asObject(), "width").isUndefined();
  // Kept well inside int: the rectangle's far side is x + width.
  auto coord = [](int64_t v) {
    return int(std::clamp<int64_t>(v, -(int64_t(1) << 30), int64_t(1) << 30));
  };
  const int x = coord(int64_t(toInt32(numberMember(vm, second, "x"))) - fx);
  const int y = coord(int64_t(toInt32(numberMember(vm, second, "y"))) - fy);
  if (isRect) {
    render::PixelRect r{x, y, coord(toInt32(numberMember(vm, second, "width"))),
                        coord(toInt32(numberMember(vm, second, "height")))};
    return Value(p.anyAlphaAtLeast(r, threshold));
  }
  return Value(p.anyAlphaAtLeast({x, y, 1, 1}, threshold));
}

constexpr NativeMember kPrototype[] = {
    getter("width", onPixels<widthOf, true>),
    getter("height", onPixels<heightOf, true>),
    getter("transparent", onPixels<transparentOf, true>),
    getter("rectangle", onPixels<rectangleOf, true>),
    method("getPixel", onPixels<getPixel>),
    method("getPixel32", onPixels<getPixel32>),
    method("setPixel", onPixels<setPixel>),
    method("setPixel32", onPixels<setPixel32>),
    method("fillRect", onPixels<fillRect>),
    method("floodFill", onPixels<floodFill>),
    method("clone", onPixels<clonePixels>),
    method("dispose", dispose),
    method("copyPixels", onPixels<copyPixels>),
    method("copyChannel", onPixels<copyChannel>),
    method("colorTransform", onPixels<colorTransform>),
    method("draw", onPixels<draw>),
    method("noise", onPixels<noise>),
    method("perlinNoise", onPixels<perlinNoise>),
    method("getColorBoundsRect", onPixels<getColorBoundsRect>),
    method("scroll", onPixels<scroll>),
    method("merge", onPixels<merge>),
    method("paletteMap", onPixels<paletteMap>),
    method("threshold", onPixels<threshold>),
    method("pixelDissolve", onPixels<pixelDissolve>),
    method("hitTest", onPixels<hitTest>),
    method("applyFilter", onPixels<applyFilter>),
    method("generateFilterRect", onPixels<generateFilterRect>),
};

Value construct(Vm& vm, CallInfo& c) {
  if (!c.isConstruct) return Value();
  // Sides past the version's limits (or missing) make no object at all.
  const double w = vm.toNumber(c.arg(0)), h = vm.toNumber(c.arg(1));
  if (!sizeAllowed(vm, w, h)) return Value();
  const bool transparent = c.args.size() > 2 ? vm.toBool(c.arg(2)) : true;
  const uint32_t fill = c.args.size() > 3 ? colorArg(vm, c.arg(3)) : 0xFFFFFFFFu;
  const uint32_t stored = render::storePremultiplied(transparent ? fill : (fill | 0xFF000000u));
  auto store = newStore(vm, int(w), int(h), stored);
  if (!store) return Value();  // too many pixels alive
  BitmapDataObject* self = newBitmapObject(vm, vm.getMember(c.callee, "prototype"));
  self->put("__constructor__", c.callee, kDontEnum, vm.caseInsensitive());
  self->pixels.emplace(std::move(store), transparent);
  return Value(self);
}

// loadBitmap(linkage): a new BitmapData with the pixels of an exported bitmap.
Value loadBitmap(Vm& vm, CallInfo& c) {
  std::shared_ptr<const render::Bitmap> image = vm.host().exportedBitmap(vm.toString(c.arg(0)));
  if (!image || !image->valid() || !sizeAllowed(vm, image->width, image->height)) return Value();
  auto store = newStore(vm, image->width, image->height, 0);
  if (!store) return Value();
  store->pixels = image->pixels;
  Value ctorValue = c.thisValue.isObject() ? c.thisValue : Value();
  BitmapDataObject* self = newBitmapObject(vm, vm.getMember(ctorValue, "prototype"));
  bool opaque = true;
  for (uint32_t px : store->pixels) opaque = opaque && (px >> 24) == 255;
  self->pixels.emplace(std::move(store), !opaque);
  return Value(self);
}

constexpr NativeMember kStatics[] = {
    constant("RED_CHANNEL", 1),   constant("GREEN_CHANNEL", 2),     constant("BLUE_CHANNEL", 4),
    constant("ALPHA_CHANNEL", 8), method("loadBitmap", loadBitmap),
};
constexpr NativeClass kBitmapDataClass{.name = "BitmapData",
                                       .constructor = construct,
                                       .prototype = kPrototype,
                                       .statics = kStatics,
                                       .constructsOwnObject = true};

// MovieClip.attachBitmap(bitmap, depth, pixelSnapping, smoothing): on the prototype in
// every version, though only SWF 8 movies see BitmapData to give it.
Value attachBitmap(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  render::BitmapPixels* p = pixelsOf(c.arg(0));
  if (!clip || !p || c.args.size() < 2) return Value();
  clip->attachBitmap(p->store(), vm.toInt(c.arg(1)), vm.toBool(c.arg(3)));
  return Value();
}

constexpr NativeMember kClipBitmaps[] = {method("attachBitmap", attachBitmap)};

}  // namespace

std::shared_ptr<render::Bitmap> bitmapDataPixels(const Value& v, bool* transparent) {
  render::BitmapPixels* p = pixelsOf(v);
  if (!p || !p->store()) return nullptr;
  if (transparent) *transparent = p->transparent();
  return p->store();
}

Value newBitmapDataOn(Vm& vm, std::shared_ptr<render::Bitmap> pixels, bool transparent) {
  if (!pixels) return Value();
  Value ctor;
  if (Value flash = vm.getMember(vm.global, "flash"); flash.isObject())
    if (Value display = vm.getMember(flash.asObject(), "display"); display.isObject())
      ctor = vm.getMember(display.asObject(), "BitmapData");
  BitmapDataObject* self =
      newBitmapObject(vm, ctor.isObject() ? vm.getMember(ctor.asObject(), "prototype") : Value());
  if (ctor.isObject()) self->put("__constructor__", ctor, kDontEnum, vm.caseInsensitive());
  self->pixels.emplace(std::move(pixels), transparent);
  return Value(self);
}

void installBitmapDataBuiltins(Vm& vm) {
  if (vm.clipProto) installMembers(vm, vm.clipProto, kClipBitmaps);
  Object* package = flashPackage(vm);
  if (!package) return;
  Object* display = vm.newObject();
  package->put("display", display, 0, vm.caseInsensitive());
  installClass(vm, display, kBitmapDataClass);
}

}  // namespace orv::movie::avm1
