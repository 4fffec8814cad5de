// What scripts see of a clip's geometry and colour: getBounds, _width/_height and the
// colour transform Color works on. Bounds come from the live display list (each child
// through its matrix, and what the drawing API drew in it), so they follow what scripts
// and the timeline did to the clip.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "movie/render/hit_test.h"
#include "movie/render/raster/paint.h"
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/text/edit_text.h"

namespace orv::movie::avm1 {

namespace {

constexpr int kMaxNesting = 64;
// What a Flash player reports for each side of an empty clip's bounds (0x7FFFFFF twips).
constexpr double kEmptyBound = 0x7FFFFFF / 20.0;

// A rectangle in twips grown point by point.
struct Box {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  bool empty = true;
  void add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (empty) {
      xMin = xMax = x;
      yMin = yMax = y;
      empty = false;
      return;
    }
    xMin = std::min(xMin, x);
    xMax = std::max(xMax, x);
    yMin = std::min(yMin, y);
    yMax = std::max(yMax, y);
  }
  void addRect(const swf::Rect& r, const swf::Matrix& m) {
    for (auto [x, y] :
         {std::pair{r.xMin, r.yMin}, {r.xMax, r.yMin}, {r.xMin, r.yMax}, {r.xMax, r.yMax}})
      add(m.mapX(x, y), m.mapY(x, y));
  }
};

// A shape's outline without its strokes: DefineShape4 gives it; older shapes are walked
// (end and control points, which a curve never leaves).
std::optional<swf::Rect> edgeRect(const swf::ShapeDef& shape) {
  if (shape.version >= 4) return shape.edgeBounds;
  std::optional<swf::Rect> r;
  for (const swf::ShapeEdge& e : swf::shapeEdges(shape.shape))
    for (auto [x, y] : {std::pair{e.x0, e.y0}, {e.cx, e.cy}, {e.x1, e.y1}}) {
      if (!r) {
        r = swf::Rect{x, x, y, y};
        continue;
      }
      r->xMin = std::min(r->xMin, x);
      r->xMax = std::max(r->xMax, x);
      r->yMin = std::min(r->yMin, y);
      r->yMax = std::max(r->yMax, y);
    }
  return r;
}

// Grows `box` by what `object` draws, its own coordinates mapped through `toSpace`;
// shapes without their strokes' widths unless `strokes`.
void addObject(Box& box, const swf::Movie& movie, DisplayObject& object, const swf::Matrix& toSpace,
               bool strokes, int nesting) {
  if (nesting > kMaxNesting) return;
  if (MovieClip* clip = object.asClip()) {
    if (clip->drawing)
      if (auto r = clip->drawing->bounds(strokes)) box.addRect(*r, toSpace);
    for (auto& [depth, child] : clip->displayList())
      addObject(box, movie, *child, toSpace * child->matrix, strokes, nesting + 1);
    return;
  }
  // A bitmap attached by script: its pixels, 20 twips each.
  if (object.bitmap) {
    if (object.bitmap->valid())
      box.addRect(swf::Rect{0, object.bitmap->width * 20, 0, object.bitmap->height * 20}, toSpace);
    return;
  }
  // A text field scripts reached or made measures as its live definition.
  const swf::Character* character =
      object.editText ? &object.editText->character : object.character;
  if (!character) return;
  const auto* shape = strokes ? nullptr : std::get_if<swf::ShapeDef>(character);
  auto r = shape ? edgeRect(*shape) : render::characterBounds(movie, *character);
  if (r) box.addRect(*r, toSpace);
}

swf::Matrix toStage(const DisplayObject* object) {
  swf::Matrix m;
  for (const DisplayObject* d = object; d; d = d->parent) m = d->matrix * m;
  return m;
}

Box boxOf(const swf::Movie& movie, DisplayObject& object, const swf::Matrix& toSpace,
          bool strokes = true) {
  Box box;
  addObject(box, movie, object, toSpace, strokes, 0);
  // Flash keeps rectangles in whole twips.
  box.xMin = std::round(box.xMin);
  box.xMax = std::round(box.xMax);
  box.yMin = std::round(box.yMin);
  box.yMax = std::round(box.yMax);
  return box;
}

}  // namespace

ScriptClip::Bounds ClipBridge::bounds(ScriptClip* space) { return boundsIn(space, true); }
ScriptClip::Bounds ClipBridge::rect(ScriptClip* space) { return boundsIn(space, false); }

ScriptClip::Bounds ClipBridge::boundsIn(ScriptClip* space, bool strokes) {
  auto o = object_.lock();
  if (!o) return {};
  swf::Matrix toSpace;  // the clip's own coordinates
  if (space && space != this) {
    auto* other = dynamic_cast<ClipBridge*>(space);
    DisplayObject* target = other ? other->object() : nullptr;
    toSpace = toStage(o.get());
    if (target)
      if (auto fromStage = toStage(target).inverted()) toSpace = *fromStage * toSpace;
  }
  Box box = boxOf(*o->movie, *o, toSpace, strokes);
  if (box.empty) return {kEmptyBound, kEmptyBound, kEmptyBound, kEmptyBound};
  return {box.xMin / 20, box.yMin / 20, box.xMax / 20, box.yMax / 20};
}

Drawing* ClipBridge::drawing() {
  MovieClip* c = clip();
  if (!c) return nullptr;
  if (!c->drawing) c->drawing = std::make_unique<Drawing>();
  return c->drawing.get();
}

ClipPen* ClipBridge::pen() { return drawing() ? this : nullptr; }
// Each call finds the clip anew: a script run while the arguments were read (valueOf) may
// have removed it.
void ClipBridge::clear() {
  if (Drawing* d = drawing()) d->clear();
}
void ClipBridge::setLineStyle(const std::optional<swf::LineStyle>& style) {
  if (Drawing* d = drawing()) d->setLineStyle(style);
}
void ClipBridge::beginFill(const std::optional<swf::FillStyle>& fill) {
  if (Drawing* d = drawing()) d->beginFill(fill);
}
void ClipBridge::endFill() {
  if (Drawing* d = drawing()) d->endFill();
}
void ClipBridge::moveTo(int32_t x, int32_t y) {
  if (Drawing* d = drawing()) d->moveTo(x, y);
}
void ClipBridge::lineTo(int32_t x, int32_t y) {
  if (Drawing* d = drawing()) d->lineTo(x, y);
}
void ClipBridge::curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
  if (Drawing* d = drawing()) d->curveTo(cx, cy, x, y);
}

ScriptClip::Matrix ClipBridge::toParent() {
  auto o = object_.lock();
  if (!o) return {};
  const swf::Matrix& m = o->matrix;
  return {m.a, m.b, m.c, m.d, m.tx / 20, m.ty / 20};
}

void ClipBridge::setToParent(const Matrix& m) {
  auto o = object_.lock();
  if (!o) return;
  for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty})
    if (!std::isfinite(v)) return;
  o->matrix = {
      m.a, m.b, m.c, m.d, std::clamp(m.tx * 20, -1e9, 1e9), std::clamp(m.ty * 20, -1e9, 1e9)};
  // Scales and rotation are read from the new matrix again.
  o->scriptXScale = o->scriptYScale = o->scriptRotation = std::numeric_limits<double>::quiet_NaN();
  o->transformLockedByScript = true;
}

// _width or _height: the clip's bounds in its parent's coordinates, in pixels.
double ClipBridge::sizeInParent(bool height) {
  auto o = object_.lock();
  if (!o) return 0;
  Box box = boxOf(*o->movie, *o, o->matrix);
  if (box.empty) return 0;
  return (height ? box.yMax - box.yMin : box.xMax - box.xMin) / 20;
}

// Setting _width/_height scales the clip along that axis so its bounds take the size;
// a text field changes its own width or height instead (its text keeps its size).
void ClipBridge::setSizeInParent(bool height, double size) {
  if (auto o = object_.lock(); o && o->editText) {
    const swf::Matrix& m = o->matrix;
    const double scale = height ? std::hypot(m.c, m.d) : std::hypot(m.a, m.b);
    if (!(scale > 0) || !(size >= 0) || !std::isfinite(size)) return;
    const double twips = std::min(size * 20 / scale, 1e9);
    swf::Rect& r = o->editText->def().bounds;
    auto edge = [twips](int32_t from) {
      const int64_t to = int64_t(from) + std::llround(twips);
      return static_cast<int32_t>(std::clamp<int64_t>(to, INT32_MIN, INT32_MAX));
    };
    if (height)
      r.yMax = edge(r.yMin);
    else
      r.xMax = edge(r.xMin);
    return;
  }
  const double current = sizeInParent(height);
  if (current <= 0 || size < 0) return;
  const ClipProperty scale = height ? ClipProperty::YScale : ClipProperty::XScale;
  setProperty(scale, getProperty(scale) * size / current);
}

base::ColorTransform ClipBridge::colorTransform() {
  auto o = object_.lock();
  return o ? o->cxform : base::ColorTransform{};
}

void ClipBridge::setColorTransform(const base::ColorTransform& ct) {
  auto o = object_.lock();
  if (!o) return;
  // Color already brought the values to what Flash holds (8.8 multipliers, whole
  // offsets); this only keeps them in a sane range (multipliers to +-32768 percent).
  auto mul = [](double m) { return std::clamp(m, -32768.0 / 100, 32768.0 / 100); };
  auto add = [](double offset) { return std::clamp(offset, -32768.0, 32767.0); };
  o->cxform = {mul(ct.rMul), mul(ct.gMul), mul(ct.bMul), mul(ct.aMul),
               add(ct.rAdd), add(ct.gAdd), add(ct.bAdd), add(ct.aAdd)};
  o->transformLockedByScript = true;
}

std::optional<ScriptClip::ScrollRect> ClipBridge::scrollRect() {
  auto o = object_.lock();
  if (!o || !o->scrollRect) return std::nullopt;
  const auto& r = *o->scrollRect;
  return ScrollRect{r.x, r.y, r.width, r.height};
}

void ClipBridge::setScrollRect(const std::optional<ScrollRect>& r) {
  auto o = object_.lock();
  if (!o) return;
  // Sizes beyond any screen, or not numbers, show nothing rather than overflow.
  auto sane = [](double v) { return std::isfinite(v) ? std::clamp(v, -1e7, 1e7) : 0.0; };
  if (r)
    o->scrollRect = DisplayObject::ScrollRect{sane(r->x), sane(r->y), std::max(0.0, sane(r->width)),
                                              std::max(0.0, sane(r->height))};
  else
    o->scrollRect.reset();
}

ScriptClip::FilterList ClipBridge::filterList() {
  auto o = object_.lock();
  if (!o || !o->filters) return {};
  FilterList list{*o->filters, {}};
  // The maps are BitmapData pixels, which scripts change: handed back as such.
  if (o->filters == o->scriptFilters.get() && o->scriptFilterMaps)
    for (const auto& map : *o->scriptFilterMaps)
      list.maps.push_back(std::const_pointer_cast<render::Bitmap>(map));
  return list;
}

void ClipBridge::setFilterList(FilterList list) {
  if (auto o = object_.lock()) o->setScriptFilters(std::move(list.bytes), list.maps);
}

}  // namespace orv::movie::avm1
