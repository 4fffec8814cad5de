// flash.display's BitmapData, Bitmap, BitmapDataChannel and PixelSnapping. A BitmapData's
// pixels are the engine's (render/raster/bitmap_data.h), shared with the Bitmaps that
// show them and drawn as they are each frame. All pixels alive at once are capped: past
// the cap a new BitmapData is refused as an invalid one.
#include <algorithm>
#include <cmath>
#include <optional>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/bitmap.h"
#include "movie/flash/bytearray.h"
#include "movie/flash/display.h"
#include "movie/flash/filters.h"
#include "movie/flash/geom.h"
#include "movie/flash/packages.h"
#include "movie/render/raster/bitmap_data.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxBitmapBytes = size_t(512) << 20;

struct BitmapBytes : PackageState {
  std::shared_ptr<size_t> alive = std::make_shared<size_t>(0);
  void markRoots(Marker&) const override {}
};

// A Bitmap's script object keeps the BitmapData it shows.
class BitmapScript : public DisplayScript {
 public:
  using DisplayScript::DisplayScript;
  Object* data = nullptr;
  bool smoothing = false;
  std::string pixelSnapping = "auto";
  void markChildren(Marker& mk) const override {
    DisplayScript::markChildren(mk);
    if (data) mk.mark(data);
  }
};

[[noreturn]] void invalid(Machine& m) { m.fail(ErrorClass::ArgumentError, 2015); }

// A new pixel store counted against the cap; null past it.
std::shared_ptr<render::Bitmap> newStore(Machine& m, int width, int height, uint32_t premultiplied) {
  return render::newCountedStore(m.packageState<BitmapBytes>().alive, kMaxBitmapBytes, width,
                                 height, premultiplied);
}

BitmapDataObject* dataOf(Machine& m, const Value& self) {
  return receiver<BitmapDataObject>(m, self, "BitmapData");
}

// The receiver's pixels; ArgumentError #2015 once they are disposed.
render::BitmapPixels& live(Machine& m, const Value& self) {
  BitmapDataObject* b = dataOf(m, self);
  if (!b->pixels || !b->pixels->store()) invalid(m);
  return *b->pixels;
}

// A BitmapData argument: TypeError #2007 for null, #1034 for another type, #2015 disposed.
render::BitmapPixels& pixelsArg(Machine& m, const Value& v, const char* param) {
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {param});
  auto* b = v.isObject() ? dynamic_cast<BitmapDataObject*>(v.asObject()) : nullptr;
  if (!b) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.display.BitmapData"});
  if (!b->pixels || !b->pixels->store()) invalid(m);
  return *b->pixels;
}

const render::BitmapPixels* optionalPixels(Machine& m, const Value& v, const char* param) {
  return v.isNullish() ? nullptr : &pixelsArg(m, v, param);
}

int pixelInt(double d) {
  return std::isfinite(d) ? int(std::clamp(std::trunc(d), -1073741824.0, 1073741824.0)) : 0;
}

render::PixelRect rectArg(Machine& m, const Value& v, const char* param) {
  const GeomObject* r = geomArg(m, v, "Rectangle", param);
  return {pixelInt(r->v[0]), pixelInt(r->v[1]), pixelInt(r->v[2]), pixelInt(r->v[3])};
}

// A Point argument; null is (0, 0) where the parameter is optional.
std::pair<int, int> pointArg(Machine& m, const Value& v, const char* param, bool optional = false) {
  if (optional && v.isNullish()) return {0, 0};
  const GeomObject* p = geomArg(m, v, "Point", param);
  return {pixelInt(p->v[0]), pixelInt(p->v[1])};
}

Value rectangle(Machine& m, const render::PixelRect& r) {
  return geomValue(makeGeom(m, "Rectangle", {double(r.x), double(r.y), double(r.w), double(r.h)}));
}

base::ColorTransformF colorTransformArg(const GeomObject* g) {
  base::ColorTransformF cx;
  if (!g) return cx;
  auto f = [&](int i) { return std::isfinite(g->v[i]) ? float(g->v[i]) : 0.0f; };
  cx.rMul = f(0), cx.gMul = f(1), cx.bMul = f(2), cx.aMul = f(3);
  cx.rAdd = f(4), cx.gAdd = f(5), cx.bAdd = f(6), cx.aAdd = f(7);
  return cx;
}

uint32_t u32(Machine& m, std::span<Value> args, size_t i, uint32_t otherwise) {
  return i < args.size() ? m.toUint(args[i]) : otherwise;
}

int i32(Machine& m, std::span<Value> args, size_t i, int otherwise = 0) {
  return i < args.size() ? m.toInt(args[i]) : otherwise;
}

bool flag(std::span<Value> args, size_t i) { return i < args.size() && toBoolean(args[i]); }

double number(Machine& m, std::span<Value> args, size_t i) {
  const double d = m.toNumber(arg(args, i));
  return std::isfinite(d) ? d : 0;
}

// ---- Construction ----

// The largest image a movie of this version may make.
bool sizeAllowed(Machine& m, double w, double h) {
  if (!(w >= 1 && h >= 1)) return false;
  if (m.swfVersion != 0 && m.swfVersion < 10) return w <= 2880 && h <= 2880;
  return w <= 8191 && h <= 8191 && w * h <= 16777215;
}

// The pixels of the bitmap character the object's class (or a class it extends) is
// linked to.
std::shared_ptr<const render::Bitmap> linkedPixels(Machine& m, ClassObject* cls) {
  for (ClassObject* c = cls; c && m.host; c = c->base) {
    if (!c->name) continue;
    const std::string name = m.toText(Value(c->name));
    if (name.rfind("flash.", 0) == 0) break;
    if (auto pixels = m.host->linkedBitmap(name)) return pixels;
  }
  return nullptr;
}

bool opaque(const render::Bitmap& b) {
  return std::all_of(b.pixels.begin(), b.pixels.end(), [](uint32_t p) { return (p >> 24) == 255; });
}

// Copies of `image`'s pixels into `b`; false when they may not be kept.
bool adopt(Machine& m, BitmapDataObject* b, const render::Bitmap& image, bool transparent) {
  if (!image.valid()) return false;
  auto store = newStore(m, image.width, image.height, 0);
  if (!store) return false;
  store->pixels = image.pixels;
  b->pixels.emplace(std::move(store), transparent);
  return true;
}

// BitmapData(width, height, transparent = true, fillColor = 0xFFFFFFFF).
Value dataInit(Machine& m, const Value& self, std::span<Value> args) {
  BitmapDataObject* b = dataOf(m, self);
  if (auto image = linkedPixels(m, b->klass())) {
    if (adopt(m, b, *image, !opaque(*image))) return Value();
  }
  const double w = m.toNumber(arg(args, 0)), h = m.toNumber(arg(args, 1));
  if (!sizeAllowed(m, std::trunc(w), std::trunc(h))) invalid(m);
  const bool transparent = args.size() > 2 ? toBoolean(args[2]) : true;
  const uint32_t fill = u32(m, args, 3, 0xFFFFFFFFu);
  auto store = newStore(m, int(w), int(h),
                        render::storePremultiplied(transparent ? fill : (fill | 0xFF000000u)));
  if (!store) invalid(m);
  b->pixels.emplace(std::move(store), transparent);
  return Value();
}

Object* allocData(Machine& m, ClassObject* cls) {
  return m.heap.make<BitmapDataObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

BitmapDataObject* newData(Machine& m) {
  return static_cast<BitmapDataObject*>(m.allocate(m.findClass("flash.display.BitmapData")));
}

// ---- Reading ----

Value width(Machine& m, const Value& self, std::span<Value>) { return Value(live(m, self).width()); }
Value height(Machine& m, const Value& self, std::span<Value>) {
  return Value(live(m, self).height());
}
Value transparent(Machine& m, const Value& self, std::span<Value>) {
  return Value(live(m, self).transparent());
}
Value rect(Machine& m, const Value& self, std::span<Value>) {
  return rectangle(m, live(m, self).bounds());
}

Value getPixel(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  return Value(p.getPixel32(i32(m, args, 0), i32(m, args, 1)) & 0xFFFFFFu);
}

Value getPixel32(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  return Value(p.getPixel32(i32(m, args, 0), i32(m, args, 1)));
}

ByteArrayObject* newByteArray(Machine& m) {
  Value out = m.construct(Value(static_cast<Object*>(m.findClass("flash.utils.ByteArray"))), {});
  return static_cast<ByteArrayObject*>(out.asObject());
}

// The rectangle's pixels row by row, in straight ARGB.
std::vector<uint32_t> pixelsIn(const render::BitmapPixels& p, render::PixelRect r) {
  std::vector<uint32_t> out;
  r = p.clip(r);
  if (r.empty()) return out;
  out.reserve(size_t(r.w) * size_t(r.h));
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) out.push_back(p.getPixel32(x, y));
  return out;
}

void writeBigEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

Value getPixels(Machine& m, const Value& self, std::span<Value> args) {
  const render::BitmapPixels& p = live(m, self);
  const std::vector<uint32_t> px = pixelsIn(p, rectArg(m, arg(args, 0), "rect"));
  ByteArrayObject* out = newByteArray(m);
  out->bytes.resize(px.size() * 4);
  for (size_t i = 0; i < px.size(); ++i) writeBigEndian(out->bytes, i * 4, px[i]);
  out->position = uint32_t(out->bytes.size());
  return Value(static_cast<Object*>(out));
}

// copyPixelsToByteArray(rect, data): written at the array's position, in its byte order.
Value copyPixelsToByteArray(Machine& m, const Value& self, std::span<Value> args) {
  const render::BitmapPixels& p = live(m, self);
  const std::vector<uint32_t> px = pixelsIn(p, rectArg(m, arg(args, 0), "rect"));
  if (arg(args, 1).isNullish()) m.fail(ErrorClass::TypeError, 2007, {"data"});
  auto* out = receiver<ByteArrayObject>(m, arg(args, 1), "copyPixelsToByteArray");
  out->reserveAt(m, px.size() * 4);
  for (uint32_t v : px) {
    for (int i = 0; i < 4; ++i)
      out->bytes[out->position + size_t(i)] = uint8_t(v >> (out->bigEndian ? 24 - 8 * i : 8 * i));
    out->position += 4;
  }
  return Value();
}

ClassObject* vectorOf(Machine& m, ClassObject* element) {
  return m.applyType(m.findClass("__AS3__.vec.Vector"), Value(static_cast<Object*>(element)));
}

Value getVector(Machine& m, const Value& self, std::span<Value> args) {
  const render::BitmapPixels& p = live(m, self);
  const std::vector<uint32_t> px = pixelsIn(p, rectArg(m, arg(args, 0), "rect"));
  Value vec = m.construct(Value(static_cast<Object*>(vectorOf(m, m.uintClass))), {});
  auto& out = static_cast<VectorObject*>(vec.asObject())->elements;
  out.reserve(px.size());
  for (uint32_t v : px) out.emplace_back(v);
  return vec;
}

// histogram(rect = this.rect): four vectors of 256 counts, red, green, blue and alpha.
Value histogram(Machine& m, const Value& self, std::span<Value> args) {
  const render::BitmapPixels& p = live(m, self);
  const render::PixelRect r = arg(args, 0).isNullish() ? p.bounds() : rectArg(m, args[0], "hRect");
  double counts[4][256] = {};
  for (uint32_t v : pixelsIn(p, r)) {
    counts[0][(v >> 16) & 255] += 1;
    counts[1][(v >> 8) & 255] += 1;
    counts[2][v & 255] += 1;
    counts[3][v >> 24] += 1;
  }
  ClassObject* numbers = vectorOf(m, m.numberClass);
  Value outer = m.construct(Value(static_cast<Object*>(vectorOf(m, numbers))), {});
  for (auto& channel : counts) {
    Value inner = m.construct(Value(static_cast<Object*>(numbers)), {});
    auto& e = static_cast<VectorObject*>(inner.asObject())->elements;
    for (double c : channel) e.push_back(Value::number(c));
    static_cast<VectorObject*>(outer.asObject())->elements.push_back(inner);
  }
  return outer;
}

Value getColorBoundsRect(Machine& m, const Value& self, std::span<Value> args) {
  const render::BitmapPixels& p = live(m, self);
  const bool find = args.size() > 2 ? toBoolean(args[2]) : true;
  return rectangle(m, p.colorBounds(u32(m, args, 0, 0), u32(m, args, 1, 0), find));
}

// compare(other): 0 when alike, -3 or -4 for another width or height, else a BitmapData
// of the differences (colour differences opaque; alpha alone as 0xZZFFFFFF).
Value compare(Machine& m, const Value& self, std::span<Value> args) {
  const render::BitmapPixels& a = live(m, self);
  const render::BitmapPixels& b = pixelsArg(m, arg(args, 0), "otherBitmapData");
  if (a.width() != b.width()) return Value(-3);
  if (a.height() != b.height()) return Value(-4);
  auto store = newStore(m, a.width(), a.height(), 0);
  if (!store) invalid(m);
  bool same = true;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const uint32_t p = a.getPixel32(x, y), q = b.getPixel32(x, y);
      if (p == q) continue;
      same = false;
      uint32_t d = 0;
      if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
        for (int shift = 0; shift < 24; shift += 8)
          d |= (((p >> shift) - (q >> shift)) & 255u) << shift;
        d |= 0xFF000000u;
      } else {
        d = ((((p >> 24) - (q >> 24)) & 255u) << 24) | 0xFFFFFFu;
      }
      store->pixels[size_t(y) * store->width + x] = render::premultiply(d);
    }
  if (same) return Value(0);
  BitmapDataObject* out = newData(m);
  out->pixels.emplace(std::move(store), true);
  return Value(static_cast<Object*>(out));
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject, secondBitmapDataPoint,
// secondAlphaThreshold): against a Point, a Rectangle, a Bitmap or a BitmapData.
Value hitTest(Machine& m, const Value& self, std::span<Value> args) {
  const render::BitmapPixels& p = live(m, self);
  auto [fx, fy] = pointArg(m, arg(args, 0), "firstPoint");
  const int threshold = int(std::min<uint32_t>(u32(m, args, 1, 0), 255));
  Value second = arg(args, 2);
  if (!second.isObject())
    m.fail(ErrorClass::TypeError, 2005, {"0", "BitmapData, Rectangle, Point, or Bitmap"});
  if (auto* shown = dynamic_cast<BitmapScript*>(second.asObject()); shown && shown->data)
    second = Value(shown->data);
  if (dynamic_cast<BitmapDataObject*>(second.asObject())) {
    const render::BitmapPixels& q = pixelsArg(m, second, "secondObject");
    auto [sx, sy] = pointArg(m, arg(args, 3), "secondBitmapDataPoint");
    const int threshold2 = int(std::min<uint32_t>(u32(m, args, 4, 1), 255));
    const int64_t ox = int64_t(sx) - fx, oy = int64_t(sy) - fy;
    for (int y = 0; y < q.height(); ++y) {
      const int64_t ty = oy + y;
      if (ty < 0 || ty >= p.height()) continue;
      for (int x = 0; x < q.width(); ++x) {
        const int64_t tx = ox + x;
        if (tx < 0 || tx >= p.width()) continue;
        if (int(q.getPixel32(x, y) >> 24) >= threshold2 &&
            int(p.getPixel32(int(tx), int(ty)) >> 24) >= threshold)
          return Value(true);
      }
    }
    return Value(false);
  }
  auto* g = dynamic_cast<GeomObject*>(second.asObject());
  ClassObject* rectClass = m.findClass("flash.geom.Rectangle");
  ClassObject* pointClass = m.findClass("flash.geom.Point");
  if (g && m.isInstance(second, rectClass)) {
    return Value(p.anyAlphaAtLeast({pixelInt(g->v[0]) - fx, pixelInt(g->v[1]) - fy,
                                    pixelInt(g->v[2]), pixelInt(g->v[3])},
                                   threshold));
  }
  if (g && m.isInstance(second, pointClass))
    return Value(p.anyAlphaAtLeast({pixelInt(g->v[0]) - fx, pixelInt(g->v[1]) - fy, 1, 1}, threshold));
  m.fail(ErrorClass::TypeError, 2005, {"0", "BitmapData, Rectangle, Point, or Bitmap"});
}

// The first three arguments of the methods that take pixels from another image:
// sourceBitmapData, sourceRect and destPoint.
struct SourceArgs {
  const render::BitmapPixels& src;
  render::PixelRect rect;
  int dx, dy;
};

SourceArgs sourceArgs(Machine& m, std::span<Value> args) {
  const render::BitmapPixels& src = pixelsArg(m, arg(args, 0), "sourceBitmapData");
  const render::PixelRect r = rectArg(m, arg(args, 1), "sourceRect");
  auto [dx, dy] = pointArg(m, arg(args, 2), "destPoint");
  return {src, r, dx, dy};
}

// ---- Writing ----

Value setPixel(Machine& m, const Value& self, std::span<Value> args) {
  live(m, self).setPixel(i32(m, args, 0), i32(m, args, 1), u32(m, args, 2, 0));
  return Value();
}

Value setPixel32(Machine& m, const Value& self, std::span<Value> args) {
  live(m, self).setPixel32(i32(m, args, 0), i32(m, args, 1), u32(m, args, 2, 0));
  return Value();
}

// setPixels(rect, bytes): big-endian ARGB from the array's position; error #2030 when
// it runs out, with the pixels before that written.
Value setPixels(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const render::PixelRect r = p.clip(rectArg(m, arg(args, 0), "rect"));
  if (arg(args, 1).isNullish()) m.fail(ErrorClass::TypeError, 2007, {"inputByteArray"});
  auto* in = receiver<ByteArrayObject>(m, arg(args, 1), "setPixels");
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) {
      if (size_t(in->position) + 4 > in->bytes.size())
        m.fail(ErrorClass::Error, 2030);
      const uint8_t* b = in->bytes.data() + in->position;
      p.setPixel32(x, y, uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]);
      in->position += 4;
    }
  return Value();
}

// setVector(rect, pixels): RangeError #1125 when the vector holds too few.
Value setVector(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const render::PixelRect r = p.clip(rectArg(m, arg(args, 0), "rect"));
  if (arg(args, 1).isNullish()) m.fail(ErrorClass::TypeError, 2007, {"inputVector"});
  auto* in = receiver<VectorObject>(m, arg(args, 1), "setVector");
  size_t i = 0;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x, ++i) {
      if (i >= in->elements.size()) m.fail(ErrorClass::RangeError, 1125, {std::to_string(i), std::to_string(in->elements.size())});
      p.setPixel32(x, y, m.toUint(in->elements[i]));
    }
  return Value();
}

Value fillRect(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  p.fillRect(rectArg(m, arg(args, 0), "rect"), u32(m, args, 1, 0));
  return Value();
}

Value floodFill(Machine& m, const Value& self, std::span<Value> args) {
  live(m, self).floodFill(i32(m, args, 0), i32(m, args, 1), u32(m, args, 2, 0));
  return Value();
}

Value scroll(Machine& m, const Value& self, std::span<Value> args) {
  live(m, self).scroll(i32(m, args, 0), i32(m, args, 1));
  return Value();
}

Value copyPixels(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const auto [src, r, dx, dy] = sourceArgs(m, args);
  const render::BitmapPixels* alpha = optionalPixels(m, arg(args, 3), "alphaBitmapData");
  auto [ax, ay] = pointArg(m, arg(args, 4), "alphaPoint", true);
  p.copyPixels(src, r, dx, dy, alpha, ax, ay, flag(args, 5));
  return Value();
}

Value copyChannel(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const auto [src, r, dx, dy] = sourceArgs(m, args);
  p.copyChannel(src, r, dx, dy, u32(m, args, 3, 0), u32(m, args, 4, 0));
  return Value();
}

Value colorTransform(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const render::PixelRect r = rectArg(m, arg(args, 0), "rect");
  p.colorTransform(r, colorTransformArg(geomArg(m, arg(args, 1), "ColorTransform", "colorTransform")));
  return Value();
}

Value merge(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const auto [src, r, dx, dy] = sourceArgs(m, args);
  const uint32_t mul[4] = {u32(m, args, 3, 0), u32(m, args, 4, 0), u32(m, args, 5, 0),
                           u32(m, args, 6, 0)};
  p.merge(src, r, dx, dy, mul);
  return Value();
}

// paletteMap(source, rect, point, red, green, blue, alpha): arrays of 256 entries each.
Value paletteMap(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const auto [src, r, dx, dy] = sourceArgs(m, args);
  std::vector<uint32_t> tables[4];
  const uint32_t* use[4] = {};
  for (size_t i = 0; i < 4; ++i) {
    auto* a = arg(args, 3 + i).isObject() ? dynamic_cast<ArrayObject*>(args[3 + i].asObject())
                                          : nullptr;
    if (!a) continue;
    tables[i].assign(256, 0);
    for (size_t k = 0; k < 256 && k < a->elements.size(); ++k)
      tables[i][k] = a->elements[k].isHole() ? 0 : m.toUint(a->elements[k]);
    use[i] = tables[i].data();
  }
  p.paletteMap(src, r, dx, dy, use);
  return Value();
}

// threshold(source, rect, point, operation, threshold, color, mask, copySource): how
// many pixels matched; ArgumentError #2008 for an unknown operation.
Value threshold(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const auto [src, r, dx, dy] = sourceArgs(m, args);
  const std::string op = m.toText(arg(args, 3));
  static constexpr const char* kOps[] = {"<", "<=", ">", ">=", "==", "!="};
  if (std::none_of(std::begin(kOps), std::end(kOps), [&](const char* o) { return op == o; }))
    m.fail(ErrorClass::ArgumentError, 2008, {"operation"});
  return Value(uint32_t(p.threshold(src, r, dx, dy, op, u32(m, args, 4, 0), u32(m, args, 5, 0),
                                    u32(m, args, 6, 0xFFFFFFFFu), flag(args, 7))));
}

Value pixelDissolve(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const auto [src, r, dx, dy] = sourceArgs(m, args);
  const double n = std::clamp(number(m, args, 4), 0.0, 8191.0 * 8191.0);
  return Value(p.pixelDissolve(src, r, dx, dy, i32(m, args, 3), int64_t(n), u32(m, args, 5, 0)));
}

Value noise(Machine& m, const Value& self, std::span<Value> args) {
  live(m, self).noise(i32(m, args, 0), int(u32(m, args, 1, 0)), int(u32(m, args, 2, 255)),
                      u32(m, args, 3, 7), flag(args, 4));
  return Value();
}

Value perlinNoise(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  std::vector<double> offsets;
  if (auto* a = arg(args, 8).isObject() ? dynamic_cast<ArrayObject*>(args[8].asObject()) : nullptr)
    for (size_t i = 0; i < a->elements.size() && i < 16; ++i) {
      auto* g = a->elements[i].isObject() ? dynamic_cast<GeomObject*>(a->elements[i].asObject())
                                          : nullptr;
      offsets.push_back(g && std::isfinite(g->v[0]) ? g->v[0] : 0);
      offsets.push_back(g && std::isfinite(g->v[1]) ? g->v[1] : 0);
    }
  p.perlinNoise(number(m, args, 0), number(m, args, 1), i32(m, args, 2), i32(m, args, 3),
                flag(args, 4), flag(args, 5), u32(m, args, 6, 7), flag(args, 7), offsets.data(),
                int(offsets.size()));
  return Value();
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a display object
// or another BitmapData drawn over these pixels.
Value draw(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const Value source = arg(args, 0);
  if (source.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"source"});
  if (!source.isObject())
    m.fail(ErrorClass::TypeError, 1034, {m.className(source), "flash.display.IBitmapDrawable"});
  base::Matrix mx;
  if (!arg(args, 1).isNullish()) {
    const GeomObject* g = geomArg(m, args[1], "Matrix", "matrix");
    auto f = [&](int i) { return std::isfinite(g->v[i]) ? g->v[i] : 0.0; };
    mx = {f(0), f(1), f(2), f(3), f(4), f(5)};
  }
  const base::ColorTransformF cx = colorTransformArg(
      arg(args, 2).isNullish() ? nullptr : geomArg(m, args[2], "ColorTransform", "colorTransform"));
  const uint8_t blend = arg(args, 3).isNullish() ? 0 : blendModeNumber(m.toText(args[3]));
  std::optional<render::PixelRect> window;
  if (!arg(args, 4).isNullish()) window = rectArg(m, args[4], "clipRect");
  if (!m.host) return Value();
  render::Bitmap& target = *p.store();
  // A clip rectangle limits what changes: draw, then put back what lies outside it.
  std::vector<uint32_t> before;
  if (window) before = target.pixels;
  if (dynamic_cast<BitmapDataObject*>(source.asObject())) {
    const render::BitmapPixels& src = pixelsArg(m, source, "source");
    // Alpha and erase need a display object's layer: pixels drawn with them change nothing.
    if (blend != 11 && blend != 12)
      m.host->drawPixels(src.store(), mx, cx, blend, flag(args, 5), target);
  } else if (auto* shown = dynamic_cast<DisplayScript*>(source.asObject())) {
    m.host->drawObject(shown->handle, mx, cx, blend, target);
  } else {
    m.fail(ErrorClass::TypeError, 1034, {m.className(source), "flash.display.IBitmapDrawable"});
  }
  if (window) {
    const render::PixelRect keep = p.clip(*window);
    for (int y = 0; y < p.height(); ++y)
      for (int x = 0; x < p.width(); ++x)
        if (x < keep.x || x >= keep.x + keep.w || y < keep.y || y >= keep.y + keep.h)
          target.pixels[size_t(y) * target.width + x] = before[size_t(y) * target.width + x];
  }
  if (!p.transparent())
    for (uint32_t& px : target.pixels) px |= 0xFF000000u;
  return Value();
}

// The filter argument of applyFilter and generateFilterRect as the raster core's filters
// (none for one that draws nothing); TypeError #2007 for null, #1034 for what is no filter.
std::vector<render::Filter> filterArg(Machine& m, const Value& v, render::FilterMaps& maps) {
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"filter"});
  if (!isFilterObject(v)) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.filters.BitmapFilter"});
  std::vector<render::Filter> filters(1);
  const std::optional<base::FilterSettings> settings = filterSettingsOf(v);
  if (!settings || !m.host || !m.host->rasterFilter(*settings, filters[0], maps)) filters.clear();
  return filters;
}

// applyFilter(sourceBitmapData, sourceRect, destPoint, filter).
Value applyFilter(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const auto [src, r, dx, dy] = sourceArgs(m, args);
  render::FilterMaps maps;
  const std::vector<render::Filter> filters = filterArg(m, arg(args, 3), maps);
  p.applyFilters(src, r, dx, dy, filters, &maps);
  return Value();
}

// The rectangle the filter would make of sourceRect; a shader filter's is the whole image.
Value generateFilterRect(Machine& m, const Value& self, std::span<Value> args) {
  render::BitmapPixels& p = live(m, self);
  const render::PixelRect r = rectArg(m, arg(args, 0), "sourceRect");
  render::FilterMaps maps;
  const std::vector<render::Filter> filters = filterArg(m, arg(args, 1), maps);
  if (isShaderFilter(arg(args, 1))) return rectangle(m, p.bounds());
  return rectangle(m, render::BitmapPixels::filterRect(r, filters));
}

Value clonePixels(Machine& m, const Value& self, std::span<Value>) {
  const render::BitmapPixels& p = live(m, self);
  BitmapDataObject* out = static_cast<BitmapDataObject*>(m.allocate(dataOf(m, self)->klass()));
  if (!adopt(m, out, *p.store(), p.transparent())) invalid(m);
  return Value(static_cast<Object*>(out));
}

// The pixels go at once; a Bitmap showing them keeps their size but draws nothing.
Value dispose(Machine& m, const Value& self, std::span<Value>) {
  BitmapDataObject* b = dataOf(m, self);
  if (b->pixels && b->pixels->store()) {
    std::vector<uint32_t>().swap(b->pixels->store()->pixels);
  }
  b->pixels.reset();
  return Value();
}

// Updates reach Bitmaps when the frame is drawn, locked or not.
Value lockPixels(Machine& m, const Value& self, std::span<Value>) {
  live(m, self);
  return Value();
}

constexpr NativeMember kDataMembers[] = {
    {"width", MemberKind::Getter, width},
    {"height", MemberKind::Getter, height},
    {"transparent", MemberKind::Getter, transparent},
    {"rect", MemberKind::Getter, rect},
    {"getPixel", MemberKind::FinalMethod, getPixel, 2},
    {"getPixel32", MemberKind::FinalMethod, getPixel32, 2},
    {"setPixel", MemberKind::FinalMethod, setPixel, 3},
    {"setPixel32", MemberKind::FinalMethod, setPixel32, 3},
    {"getPixels", MemberKind::FinalMethod, getPixels, 1},
    {"setPixels", MemberKind::FinalMethod, setPixels, 2},
    {"copyPixelsToByteArray", MemberKind::FinalMethod, copyPixelsToByteArray, 2},
    {"getVector", MemberKind::FinalMethod, getVector, 1},
    {"setVector", MemberKind::FinalMethod, setVector, 2},
    {"histogram", MemberKind::FinalMethod, histogram, 1},
    {"fillRect", MemberKind::FinalMethod, fillRect, 2},
    {"floodFill", MemberKind::FinalMethod, floodFill, 3},
    {"scroll", MemberKind::FinalMethod, scroll, 2},
    {"copyPixels", MemberKind::FinalMethod, copyPixels, 6},
    {"copyChannel", MemberKind::FinalMethod, copyChannel, 5},
    {"colorTransform", MemberKind::FinalMethod, colorTransform, 2},
    {"merge", MemberKind::FinalMethod, merge, 7},
    {"paletteMap", MemberKind::FinalMethod, paletteMap, 7},
    {"threshold", MemberKind::FinalMethod, threshold, 8},
    {"pixelDissolve", MemberKind::FinalMethod, pixelDissolve, 6},
    {"noise", MemberKind::FinalMethod, noise, 5},
    {"perlinNoise", MemberKind::FinalMethod, perlinNoise, 9},
    {"getColorBoundsRect", MemberKind::FinalMethod, getColorBoundsRect, 3},
    {"compare", MemberKind::FinalMethod, compare, 1},
    {"hitTest", MemberKind::FinalMethod, hitTest, 5},
    {"draw", MemberKind::FinalMethod, draw, 6},
    {"drawWithQuality", MemberKind::FinalMethod, draw, 7},
    {"applyFilter", MemberKind::FinalMethod, applyFilter, 4},
    {"generateFilterRect", MemberKind::FinalMethod, generateFilterRect, 2},
    {"clone", MemberKind::FinalMethod, clonePixels},
    {"dispose", MemberKind::FinalMethod, dispose},
    {"lock", MemberKind::FinalMethod, lockPixels},
    {"unlock", MemberKind::FinalMethod, lockPixels, 1},
};

// ---- Bitmap ----

BitmapScript* bitmapOf(Machine& m, const Value& self) {
  return receiver<BitmapScript>(m, self, "Bitmap");
}

// Shows the data's pixels (none when it is null or disposed).
void show(Machine& m, BitmapScript* b) {
  if (!m.host || !b->handle) return;
  auto* data = static_cast<BitmapDataObject*>(b->data);
  std::shared_ptr<const render::Bitmap> pixels;
  if (data && data->pixels) pixels = data->pixels->store();
  m.host->setBitmap(b->handle, std::move(pixels), b->smoothing);
}

BitmapDataObject* dataArg(Machine& m, const Value& v) {
  if (v.isNullish()) return nullptr;
  auto* d = v.isObject() ? dynamic_cast<BitmapDataObject*>(v.asObject()) : nullptr;
  if (!d) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.display.BitmapData"});
  return d;
}

void setSnapping(Machine& m, BitmapScript* b, const Value& v) {
  const std::string s = v.isNullish() ? "" : m.toText(v);
  if (s != "auto" && s != "always" && s != "never")
    m.fail(ErrorClass::ArgumentError, 2008, {"pixelSnapping"});
  b->pixelSnapping = s;
}

// Bitmap(bitmapData = null, pixelSnapping = "auto", smoothing = false). A class linked to a
// bitmap character shows that bitmap when it is given none.
Value bitmapInit(Machine& m, const Value& self, std::span<Value> args) {
  BitmapScript* b = bitmapOf(m, self);
  initDisplayObject(m, self, DisplayKind::Bitmap);
  b->data = dataArg(m, arg(args, 0));
  if (!b->data)
    if (auto image = linkedPixels(m, b->klass())) {
      BitmapDataObject* d = newData(m);
      if (adopt(m, d, *image, !opaque(*image))) b->data = d;
    }
  if (args.size() > 1) setSnapping(m, b, args[1]);
  b->smoothing = flag(args, 2);
  show(m, b);
  return Value();
}

Object* allocBitmap(Machine& m, ClassObject* cls) {
  auto* b = m.heap.make<BitmapScript>(cls->instanceTraits.get(), cls, cls->prototypeObject);
  b->machine = &m;
  return b;
}

Value getData(Machine& m, const Value& self, std::span<Value>) {
  BitmapScript* b = bitmapOf(m, self);
  return b->data ? Value(b->data) : Value::null();
}

Value setData(Machine& m, const Value& self, std::span<Value> args) {
  BitmapScript* b = bitmapOf(m, self);
  b->data = dataArg(m, arg(args, 0));
  show(m, b);
  return Value();
}

Value getSmoothing(Machine& m, const Value& self, std::span<Value>) {
  return Value(bitmapOf(m, self)->smoothing);
}

Value setSmoothing(Machine& m, const Value& self, std::span<Value> args) {
  BitmapScript* b = bitmapOf(m, self);
  b->smoothing = flag(args, 0);
  show(m, b);
  return Value();
}

Value getSnapping(Machine& m, const Value& self, std::span<Value>) {
  return Value(StringRef(bitmapOf(m, self)->pixelSnapping));
}

Value setSnappingMember(Machine& m, const Value& self, std::span<Value> args) {
  setSnapping(m, bitmapOf(m, self), arg(args, 0));
  return Value();
}

constexpr NativeMember kBitmapMembers[] = {
    {"bitmapData", MemberKind::Getter, getData},
    {"bitmapData", MemberKind::Setter, setData},
    {"smoothing", MemberKind::Getter, getSmoothing},
    {"smoothing", MemberKind::Setter, setSmoothing},
    {"pixelSnapping", MemberKind::Getter, getSnapping},
    {"pixelSnapping", MemberKind::Setter, setSnappingMember},
};

constexpr NativeMember kChannels[] = {
    {"RED", MemberKind::Constant, nullptr, 0, 1},
    {"GREEN", MemberKind::Constant, nullptr, 0, 2},
    {"BLUE", MemberKind::Constant, nullptr, 0, 4},
    {"ALPHA", MemberKind::Constant, nullptr, 0, 8},
};

constexpr NativeMember kSnapping[] = {
    {"AUTO", MemberKind::Constant, nullptr, 0, 0, "auto"},
    {"ALWAYS", MemberKind::Constant, nullptr, 0, 0, "always"},
    {"NEVER", MemberKind::Constant, nullptr, 0, 0, "never"},
};

}  // namespace

Value bitmapShowing(Machine& m, const render::Bitmap& image) {
  BitmapDataObject* data = newData(m);
  if (!adopt(m, data, image, !opaque(image))) return Value();
  ClassObject* bitmap = m.findClass("flash.display.Bitmap");
  if (!bitmap) return Value();
  Value arg(static_cast<Object*>(data));
  return m.construct(Value(static_cast<Object*>(bitmap)), std::span<Value>(&arg, 1));
}

Value bitmapDataOn(Machine& m, std::shared_ptr<render::Bitmap> pixels, bool transparent) {
  BitmapDataObject* data = newData(m);
  if (pixels) data->pixels.emplace(std::move(pixels), transparent);
  return Value(static_cast<Object*>(data));
}

std::shared_ptr<render::Bitmap> bitmapDataPixels(const Value& v) {
  auto* b = v.isObject() ? dynamic_cast<BitmapDataObject*>(v.asObject()) : nullptr;
  return b && b->pixels ? b->pixels->store() : nullptr;
}

void installBitmapClasses(Machine& m) {
  ClassObject* drawable =
      installClass(m, {.package = "flash.display", .name = "IBitmapDrawable", .members = {}});
  drawable->isInterface = true;
  ClassObject* data = installClass(m, {.package = "flash.display",
                   .name = "BitmapData",
                   .members = kDataMembers,
                   .init = dataInit,
                   .alloc = allocData,
                   .dynamic = false,
                   .initLength = 2});
  data->interfaces.push_back(drawable);
  if (ClassObject* display = m.findClass("flash.display.DisplayObject"))
    display->interfaces.push_back(drawable);
  installClass(m, {.package = "flash.display",
                   .name = "Bitmap",
                   .base = "flash.display.DisplayObject",
                   .members = kBitmapMembers,
                   .init = bitmapInit,
                   .alloc = allocBitmap,
                   .dynamic = false});
  installClass(m, {.package = "flash.display", .name = "BitmapDataChannel", .members = kChannels,
                   .isFinal = true});
  installClass(m, {.package = "flash.display", .name = "PixelSnapping", .members = kSnapping,
                   .isFinal = true});
}

}  // namespace orv::movie::avm2
