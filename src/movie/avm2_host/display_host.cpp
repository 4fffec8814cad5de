#include "movie/avm2_host/display_host.h"
#include "movie/timeline/own_folder.h"
#include "movie/timeline/loaded_movie.h"
#include "movie/swf/reader.h"

#include "movie/avm2_host/text_field_host.h"
#include "movie/render/hit_test.h"
#include "movie/render/placed_effects.h"
#include "movie/render/raster/filters.h"
#include "movie/swf/script_filters.h"
#include "movie/render/raster/paint.h"

#include <algorithm>
#include <climits>
#include <limits>
#include <cmath>
#include <optional>
#include <vector>

namespace orv::movie {

using avm2::DisplayHandle;
using avm2::DisplayKind;
using avm2::DisplayProp;

namespace {

constexpr double kTwips = 20;
constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxNesting = 64;

// A clip of its own, as `new MovieClip()` makes: one empty frame.
const swf::Timeline& emptyTimeline() {
  static const swf::Timeline kOne = [] {
    swf::Timeline t;
    t.frames.resize(1);
    return t;
  }();
  return kOne;
}

std::vector<std::shared_ptr<DisplayObject>> childrenOf(const MovieClip& c) {
  std::vector<std::shared_ptr<DisplayObject>> out;
  for (const auto& [depth, obj] : c.displayList())
    if (depth >= 0) out.push_back(obj);
  return out;
}

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

// What an object covers in the space `m` maps its own into.
void addBounds(const DisplayObject& o, const swf::Matrix& m, Box& box, int nesting) {
  if (nesting > kMaxNesting) return;
  if (o.bitmap && !o.character) {
    box.addRect({0, o.bitmap->width * 20, 0, o.bitmap->height * 20}, m);
  } else if (o.editText) {
    box.addRect(o.editText->def().bounds, m);
  } else if (o.character) {
    if (const auto* s = std::get_if<swf::ShapeDef>(o.character)) box.addRect(s->bounds, m);
    if (const auto* t = std::get_if<swf::TextDef>(o.character)) box.addRect(t->bounds, m);
    if (const auto* e = std::get_if<swf::EditTextDef>(o.character)) box.addRect(e->bounds, m);
    if (std::holds_alternative<swf::ButtonDef>(*o.character) && o.movie)
      if (std::optional<swf::Rect> r = render::characterBounds(*o.movie, *o.character))
        box.addRect(*r, m);
  }
  const MovieClip* c = const_cast<DisplayObject&>(o).asClip();
  if (!c) return;
  if (c->drawing)
    if (std::optional<swf::Rect> r = c->drawing->bounds(true)) box.addRect(*r, m);
  for (const auto& [depth, child] : c->displayList())
    if (depth >= 0) addBounds(*child, m * child->matrix, box, nesting + 1);
}

double scaleOf(double a, double b) { return std::sqrt(a * a + b * b); }

// A position in twips as the player keeps it: cut toward zero, within 32 bits.
double toTwips(double pixels) {
  return std::clamp(std::trunc(pixels * kTwips), -2147483648.0, 2147483647.0);
}

// A gradient as a shape stores it: at most 15 stops, the matrix in twips, the focal point
// in 8.8 fixed point.
swf::FillStyle gradientFill(const avm2::DrawCommand& cmd) {
  swf::FillStyle f;
  const bool focal = cmd.radial && std::isfinite(cmd.focalPoint) && cmd.focalPoint != 0;
  f.type = !cmd.radial ? swf::FillType::LinearGradient
           : focal     ? swf::FillType::FocalGradient
                       : swf::FillType::RadialGradient;
  const base::Matrix& m = cmd.matrix;
  auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
  f.matrix = {finite(m.a), finite(m.b), finite(m.c), finite(m.d),
              std::clamp(finite(m.tx) * kTwips, -2e9, 2e9), std::clamp(finite(m.ty) * kTwips, -2e9, 2e9)};
  using Spread = avm2::DrawCommand::Spread;
  f.gradient.spread = cmd.spread == Spread::Reflect  ? swf::SpreadMode::Reflect
                      : cmd.spread == Spread::Repeat ? swf::SpreadMode::Repeat
                                                     : swf::SpreadMode::Pad;
  if (cmd.linearRgb) f.gradient.interpolation = swf::InterpolationMode::LinearRGB;
  if (focal) f.gradient.focalPoint = std::trunc(std::clamp(cmd.focalPoint, -1.0, 1.0) * 256) / 256;
  for (size_t i = 0; i < cmd.stops.size() && i < 15; ++i) {
    const avm2::GradientStop& s = cmd.stops[i];
    const double a = std::clamp(std::isnan(s.alpha) ? 1.0 : s.alpha, 0.0, 1.0);
    f.gradient.records.push_back({s.ratio, swf::RGBA{uint8_t(s.color >> 16), uint8_t(s.color >> 8),
                                                     uint8_t(s.color), uint8_t(std::lround(a * 255))}});
  }
  return f;
}

}  // namespace

DisplayHandle DisplayHost::handleOf(DisplayObject* object) {
  if (!object) return 0;
  auto [it, added] = held_.try_emplace(object->instanceId);
  if (added) it->second = object->shared_from_this();
  return object->instanceId;
}

DisplayObject* DisplayHost::find(DisplayHandle h) const {
  auto it = held_.find(h);
  return it == held_.end() ? nullptr : it->second.get();
}

MovieClip* DisplayHost::clip(DisplayHandle h) const {
  DisplayObject* o = find(h);
  return o ? o->asClip() : nullptr;
}

DisplayHandle DisplayHost::create(DisplayKind kind) {
  if (!stage_ || !stage_->mayCreateObject()) return 0;
  if (kind == DisplayKind::TextField) {
    // A new field: dynamic, 100 by 100 pixels, the device font.
    auto field = std::make_shared<DisplayObject>(*stage_, 0, nullptr);
    field->movie = &stage_->movie();
    field->editText = std::make_shared<EditTextState>(createdFieldDef(100, 100), nullptr, true);
    field->editText->movie = field->movie;
    field->editText->htmlBreaksNeedMultiline = field->editText->crLfIsTwoBreaks = true;
    held_[field->instanceId] = field;
    return field->instanceId;
  }
  if (kind == DisplayKind::Bitmap) {
    auto shown = std::make_shared<DisplayObject>(*stage_, 0, nullptr);
    shown->movie = &stage_->movie();
    shown->madeByScript = true;
    held_[shown->instanceId] = shown;
    bitmaps_.insert(shown->instanceId);
    return shown->instanceId;
  }
  auto made = std::make_shared<MovieClip>(*stage_, 0, nullptr, &emptyTimeline());
  made->movie = &stage_->movie();
  made->stop();
  made->gotoFrame(0);
  made->stop();
  held_[made->instanceId] = made;
  if (kind == DisplayKind::Shape) shapes_.insert(made->instanceId);
  return made->instanceId;
}

void DisplayHost::release(DisplayHandle h) {
  auto it = held_.find(h);
  if (it == held_.end()) return;
  // A clip going for good leaves the children others still hold without a parent.
  if (MovieClip* c = it->second->asClip(); c && it->second.use_count() == 1)
    for (const auto& [depth, child] : c->displayList())
      if (child.use_count() > 1 && child->parent == c) child->parent = nullptr;
  held_.erase(it);
  shapes_.erase(h);
  bitmaps_.erase(h);
  fields_.erase(h);
}

DisplayKind DisplayHost::kindOf(DisplayHandle h) {
  if (h == kStage) return stage_ ? DisplayKind::Stage : DisplayKind::None;
  DisplayObject* o = find(h);
  if (!o) return DisplayKind::None;
  if (shapes_.count(h)) return DisplayKind::Shape;
  if (bitmaps_.count(h)) return DisplayKind::Bitmap;
  if (o->asClip()) return DisplayKind::MovieClip;
  if (o->character && std::holds_alternative<swf::ButtonDef>(*o->character))
    return DisplayKind::Button;
  if (o->editText || (o->character && std::holds_alternative<swf::EditTextDef>(*o->character)))
    return DisplayKind::TextField;
  if (o->character && std::holds_alternative<swf::TextDef>(*o->character))
    return DisplayKind::StaticText;
  if (o->character && (std::holds_alternative<swf::ShapeDef>(*o->character) ||
                       std::holds_alternative<swf::MorphShapeDef>(*o->character)))
    return DisplayKind::Shape;
  return DisplayKind::Other;
}

std::string DisplayHost::linkedClass(DisplayHandle h) {
  DisplayObject* o = find(h);
  if (!o || !stage_ || !o->character) return {};
  const std::map<swf::CharacterId, std::string>* links = &links_;
  if (o->movie != &stage_->movie()) {
    auto loaded = loadedSwfs.find(reinterpret_cast<uint64_t>(o->movie));
    if (loaded == loadedSwfs.end()) return {};
    links = &loaded->second.links;
  }
  auto it = links->find(o->characterId);
  return it == links->end() ? std::string() : it->second;
}

DisplayHandle DisplayHost::parentOf(DisplayHandle h) {
  DisplayObject* o = find(h);
  if (!o) return 0;
  if (stage_ && (o == &stage_->root() || (!o->parent && stage_->levelOf(*o) > 0))) return kStage;
  return handleOf(o->parent);
}

int DisplayHost::numChildren(DisplayHandle h) {
  if (h == kStage) return stage_ ? static_cast<int>(stage_->levels().size()) : 0;
  MovieClip* c = clip(h);
  if (!c || shapes_.count(h)) return 0;
  int n = 0;
  for (const auto& entry : c->displayList()) n += entry.first >= 0;
  return n;
}

DisplayHandle DisplayHost::childAt(DisplayHandle h, int index) {
  if (h == kStage) {
    if (!stage_ || index < 0) return 0;
    for (const auto& [level, root] : stage_->levels())
      if (index-- == 0) return handleOf(root.get());
    return 0;
  }
  MovieClip* c = clip(h);
  if (!c || index < 0) return 0;
  for (const auto& [depth, obj] : c->displayList())
    if (depth >= 0 && index-- == 0) return handleOf(obj.get());
  return 0;
}

// The children in their new order get depths that keep the old ones where they can: a
// child moves only when the one before it now lies at or above its depth.
void DisplayHost::insertChild(DisplayHandle parent, DisplayHandle child, int index) {
  if (parent == kStage) return insertOnStage(child, index);
  MovieClip* p = clip(parent);
  DisplayObject* c = find(child);
  if (!p || !c || c == &stage_->root()) return;
  std::shared_ptr<DisplayObject> keep = c->shared_from_this();
  if (stage_->levelOf(*c) > 0 && !c->parent) stage_->removeLevel(stage_->levelOf(*c));
  if (c->parent && c->parent != p) c->parent->removeObject(c->depth);
  std::vector<std::shared_ptr<DisplayObject>> kids = childrenOf(*p);
  const bool moving = c->parent == p;
  if (moving) std::erase(kids, keep);
  index = std::clamp(index, 0, static_cast<int>(kids.size()));
  kids.insert(kids.begin() + index, keep);
  std::vector<int> depths(kids.size());
  int prev = 0;
  for (size_t i = 0; i < kids.size(); ++i) {
    const bool own = kids[i]->parent == p && kids[i] != keep;
    depths[i] = own && kids[i]->depth > prev ? kids[i]->depth : prev + 1;
    prev = depths[i];
  }
  // Through depths no one holds, so no move lands on an object that has yet to move.
  int temp = INT_MIN / 2;
  std::vector<int> temps(kids.size(), 0);
  for (size_t i = 0; i < kids.size(); ++i) {
    if (kids[i]->parent != p || kids[i]->depth == depths[i]) continue;
    temps[i] = temp++;
    p->swapDepths(kids[i]->depth, temps[i]);
  }
  for (size_t i = 0; i < kids.size(); ++i)
    if (temps[i] != 0) p->swapDepths(temps[i], depths[i]);
  if (!moving) {
    p->setScriptObject(depths[static_cast<size_t>(index)], keep);
    keep->transformLockedByScript = true;
  }
}

void DisplayHost::removeChildAt(DisplayHandle parent, int index) {
  if (parent == kStage) {
    DisplayObject* c = find(childAt(parent, index));
    if (c && stage_ && c != &stage_->root()) stage_->removeLevel(stage_->levelOf(*c));
    return;
  }
  MovieClip* p = clip(parent);
  DisplayObject* c = find(childAt(parent, index));
  if (!p || !c) return;
  p->removeObject(c->depth);
}

void DisplayHost::swapChildrenAt(DisplayHandle parent, int a, int b) {
  MovieClip* p = clip(parent);
  DisplayObject* x = find(childAt(parent, a));
  DisplayObject* y = find(childAt(parent, b));
  if (!p || !x || !y || x == y) return;
  p->swapDepths(x->depth, y->depth);
}

double DisplayHost::property(DisplayHandle h, DisplayProp p) {
  if (h == kStage && (p == DisplayProp::MouseX || p == DisplayProp::MouseY))
    return (p == DisplayProp::MouseX ? pointerX : pointerY) / kTwips;
  DisplayObject* o = find(h);
  if (!o) return p == DisplayProp::ScaleX || p == DisplayProp::ScaleY || p == DisplayProp::Alpha
                     ? 1
                     : 0;
  const swf::Matrix& m = o->matrix;
  switch (p) {
    case DisplayProp::X:
      return m.tx / kTwips;
    case DisplayProp::Y:
      return m.ty / kTwips;
    case DisplayProp::ScaleX:
      return std::isnan(o->scriptXScale) ? scaleOf(m.a, m.b) : o->scriptXScale / 100;
    case DisplayProp::ScaleY:
      return std::isnan(o->scriptYScale) ? scaleOf(m.c, m.d) : o->scriptYScale / 100;
    case DisplayProp::Rotation: {
      if (!std::isnan(o->scriptRotation)) return o->scriptRotation;
      if (m.a == 0 && m.b == 0) return 0;
      return std::atan2(m.b, m.a) * 180 / kPi;
    }
    case DisplayProp::Alpha:
      return o->cxform.aMul;
    case DisplayProp::Visible:
      return o->visible ? 1 : 0;
    case DisplayProp::Width:
    case DisplayProp::Height: {
      Box box;
      addBounds(*o, m, box, 0);
      if (box.empty) return 0;
      // Bounds are whole twips.
      return std::round(p == DisplayProp::Width ? box.xMax - box.xMin : box.yMax - box.yMin) /
             kTwips;
    }
    case DisplayProp::MouseX:
    case DisplayProp::MouseY: {
      double x = pointerX / kTwips, y = pointerY / kTwips;
      mapPoint(h, x, y, false);
      return p == DisplayProp::MouseX ? x : y;
    }
  }
  return 0;
}

base::Matrix DisplayHost::matrix(DisplayHandle h) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  if (!o) return {};
  base::Matrix m = o->matrix;
  m.tx /= kTwips;
  m.ty /= kTwips;
  return m;
}

void DisplayHost::setMatrix(DisplayHandle h, const base::Matrix& m) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  if (!o) return;
  for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty})
    if (!std::isfinite(v)) return;
  o->matrix = {m.a, m.b, m.c, m.d, toTwips(m.tx), toTwips(m.ty)};
  o->transformLockedByScript = true;
  // Scale and rotation are read from the new matrix again.
  o->scriptXScale = o->scriptYScale = o->scriptRotation = std::numeric_limits<double>::quiet_NaN();
}

base::ColorTransform DisplayHost::colorTransform(DisplayHandle h) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  return o ? o->cxform : base::ColorTransform{};
}

void DisplayHost::setColorTransform(DisplayHandle h, const base::ColorTransform& cx) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  if (!o) return;
  // Kept in a sane range, as the first machine keeps them (multipliers to +-32768 percent).
  auto mul = [](double m) { return std::isfinite(m) ? std::clamp(m, -327.68, 327.68) : 0.0; };
  auto add = [](double a) { return std::isfinite(a) ? std::clamp(a, -32768.0, 32767.0) : 0.0; };
  o->cxform = {mul(cx.rMul), mul(cx.gMul), mul(cx.bMul), mul(cx.aMul),
               add(cx.rAdd), add(cx.gAdd), add(cx.bAdd), add(cx.aAdd)};
  o->transformLockedByScript = true;
}

bool DisplayHost::scrollRect(DisplayHandle h, double rect[4]) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  if (!o || !o->scrollRect) return false;
  const auto& r = *o->scrollRect;
  rect[0] = r.x, rect[1] = r.y, rect[2] = r.width, rect[3] = r.height;
  return true;
}

void DisplayHost::setScrollRect(DisplayHandle h, const double* rect) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  if (!o) return;
  // Sizes beyond any screen, or not numbers, show nothing rather than overflow.
  auto sane = [](double v) { return std::isfinite(v) ? std::clamp(v, -1e7, 1e7) : 0.0; };
  if (rect)
    o->scrollRect = DisplayObject::ScrollRect{sane(rect[0]), sane(rect[1]),
                                              std::max(0.0, sane(rect[2])),
                                              std::max(0.0, sane(rect[3]))};
  else
    o->scrollRect.reset();
}

bool DisplayHost::cacheAsBitmap(DisplayHandle h) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  return o && o->cacheAsBitmap;
}

void DisplayHost::setCacheAsBitmap(DisplayHandle h, bool cached) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  if (o) o->cacheAsBitmap = cached;
}

uint8_t DisplayHost::blendMode(DisplayHandle h) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  return o ? o->blendMode : 0;
}

void DisplayHost::setBlendMode(DisplayHandle h, uint8_t mode) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  if (o) o->blendMode = mode;
}

std::vector<base::FilterSettings> DisplayHost::filters(DisplayHandle h, uint64_t& stamp) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  stamp = 0;
  if (!o || !o->filters) return {};
  // The list's place in memory: the movie's, or the script's until it sets another.
  stamp = uint64_t(reinterpret_cast<uintptr_t>(o->filters));
  swf::FilterMapList maps;
  if (o->filters == o->scriptFilters.get() && o->scriptFilterMaps)
    for (const auto& map : *o->scriptFilterMaps)
      maps.push_back(std::const_pointer_cast<render::Bitmap>(map));
  return swf::readFilterSettings(*o->filters, maps);
}

uint64_t DisplayHost::setFilters(DisplayHandle h, const std::vector<base::FilterSettings>& filters) {
  DisplayObject* o = h == kStage ? nullptr : find(h);
  if (!o) return 0;
  swf::StoredFilters stored = swf::storeFilterSettings(filters);
  o->setScriptFilters(std::move(stored.bytes), stored.maps);
  return uint64_t(reinterpret_cast<uintptr_t>(o->filters));
}

bool DisplayHost::rasterFilter(const base::FilterSettings& filter, render::Filter& out,
                               std::vector<std::shared_ptr<const render::Bitmap>>& maps) {
  return render::rasterFilterOf(filter, out, maps);
}

void DisplayHost::setProperty(DisplayHandle h, DisplayProp p, double v) {
  DisplayObject* o = find(h);
  if (!o) return;
  swf::Matrix& m = o->matrix;
  o->transformLockedByScript = true;
  const double rot = property(h, DisplayProp::Rotation) * kPi / 180;
  const double sx = property(h, DisplayProp::ScaleX), sy = property(h, DisplayProp::ScaleY);
  auto layOut = [&](double xs, double ys, double r) {
    m.a = xs * std::cos(r);
    m.b = xs * std::sin(r);
    m.c = -ys * std::sin(r);
    m.d = ys * std::cos(r);
  };
  if (!std::isfinite(v) && p != DisplayProp::Visible) return;
  switch (p) {
    case DisplayProp::X:
      m.tx = toTwips(v);
      break;
    case DisplayProp::Y:
      m.ty = toTwips(v);
      break;
    case DisplayProp::ScaleX:
      o->scriptXScale = v * 100;
      layOut(v, sy, rot);
      break;
    case DisplayProp::ScaleY:
      o->scriptYScale = v * 100;
      layOut(sx, v, rot);
      break;
    case DisplayProp::Rotation: {
      double r = std::fmod(v, 360);
      if (r > 180) r -= 360;
      if (r < -180) r += 360;
      o->scriptRotation = r;
      o->scriptXScale = sx * 100;
      o->scriptYScale = sy * 100;
      layOut(sx, sy, r * kPi / 180);
      break;
    }
    case DisplayProp::Alpha:
      o->cxform.aMul = v;
      break;
    case DisplayProp::Visible:
      o->visible = v != 0;
      break;
    case DisplayProp::Width:
    case DisplayProp::Height: {
      // A size below zero is ignored; unturned, the scale is the size over the content's.
      if (v < 0) break;
      const bool w = p == DisplayProp::Width;
      if (o->editText) {
        // A text field's size is its box: the text is laid out again, not scaled.
        swf::Rect& r = o->editText->def().bounds;
        const double twips = std::min(toTwips(v / std::abs(w ? sx : sy)), 107374182.0);
        if (!std::isfinite(twips)) break;
        const double edge = std::min((w ? r.xMin : r.yMin) + twips, 2147483647.0);
        (w ? r.xMax : r.yMax) = static_cast<int32_t>(edge);
        break;
      }
      double scale;
      if (rot == 0) {
        Box box;
        addBounds(*o, swf::Matrix{}, box, 0);
        const double content = box.empty ? 0 : (w ? box.xMax - box.xMin : box.yMax - box.yMin);
        if (content == 0) break;
        scale = v * kTwips / content;
      } else {
        const double now = property(h, p);
        if (now == 0) break;
        scale = (w ? sx : sy) * v / now;
      }
      if (w) {
        o->scriptXScale = scale * 100;
        layOut(scale, sy, rot);
      } else {
        o->scriptYScale = scale * 100;
        layOut(sx, scale, rot);
      }
      break;
    }
    case DisplayProp::MouseX:
    case DisplayProp::MouseY:
      break;
  }
}

std::string DisplayHost::name(DisplayHandle h) {
  DisplayObject* o = find(h);
  if (!o) return {};
  if (o->name.empty()) {
    // Objects the timeline left unnamed are named as they are first asked.
    o->name = stage_ && o == &stage_->root()
                  ? "root1"
                  : "instance" + std::to_string(stage_->nextInstanceNumber());
  }
  return o->name;
}

void DisplayHost::setName(DisplayHandle h, const std::string& name) {
  if (DisplayObject* o = find(h)) o->name = name;
}

avm2::TextFieldAccess* DisplayHost::textField(DisplayHandle h) {
  if (auto it = fields_.find(h); it != fields_.end()) return it->second.get();
  DisplayObject* o = find(h);
  if (!o) return nullptr;
  if (!o->editText) {
    // A field the timeline placed gets its live state when scripts first reach it.
    const auto* edit = o->character ? std::get_if<swf::EditTextDef>(o->character) : nullptr;
    if (!edit || !o->movie) return nullptr;
    const swf::FontDef* font = edit->hasFont ? o->movie->get<swf::FontDef>(edit->fontId) : nullptr;
    o->editText = std::make_shared<EditTextState>(*edit, font, o->movie->header.version >= 6);
    o->editText->movie = o->movie;
    EditTextState& field = *o->editText;
    field.htmlBreaksNeedMultiline = field.crLfIsTwoBreaks = true;
    // The initial text read again with these fields' rules.
    if (edit->hasText && edit->html)
      field.setHtmlText(edit->initialText);
    else if (edit->hasText)
      field.setText(edit->initialText);
  }
  o->editText->htmlBreaksNeedMultiline = o->editText->crLfIsTwoBreaks = true;
  return (fields_[h] = textFieldAccess(o->editText)).get();
}

std::optional<std::string> DisplayHost::staticText(DisplayHandle h) {
  DisplayObject* o = find(h);
  const auto* text = o && o->character && o->movie ? std::get_if<swf::TextDef>(o->character) : nullptr;
  if (!text) return std::nullopt;
  for (const swf::TextRecord& record : text->records)
    if (!o->movie->get<swf::FontDef>(record.fontId)) return std::nullopt;
  std::u32string chars = staticTextOf(*o->movie, *text);
  if (chars.empty()) return std::nullopt;
  return encodeText(chars, true);
}

namespace {
avm2::Host::FontInfo fontInfo(const swf::FontDef& font) {
  std::string name = font.name;
  while (!name.empty() && name.back() == '\0') name.pop_back();  // some tools store the zero
  return {name, font.bold, font.italic};
}
}  // namespace

std::optional<avm2::Host::FontInfo> DisplayHost::linkedFont(std::string_view className) {
  if (!stage_) return std::nullopt;
  for (const auto& [id, linked] : links_) {
    if (linked != className) continue;
    const swf::FontDef* font = stage_->movie().get<swf::FontDef>(id);
    if (!font) return std::nullopt;
    return fontInfo(*font);
  }
  return std::nullopt;
}

std::vector<avm2::Host::FontInfo> DisplayHost::embeddedFonts() {
  std::vector<FontInfo> out;
  if (stage_)
    for (const auto& [id, ch] : stage_->movie().dictionary)
      if (const auto* font = std::get_if<swf::FontDef>(&ch); font && font->hasOutlines())
        out.push_back(fontInfo(*font));
  return out;
}

void DisplayHost::draw(DisplayHandle h, const avm2::DrawCommand& cmd) {
  MovieClip* c = clip(h);
  if (!c) return;
  if (!c->drawing) c->drawing = std::make_unique<Drawing>();
  Drawing& d = *c->drawing;
  auto twips = [](double v) {
    return static_cast<int32_t>(std::clamp(std::round(v * kTwips), -1e9, 1e9));
  };
  auto rgba = [&] {
    const double a = std::clamp(std::isnan(cmd.alpha) ? 1.0 : cmd.alpha, 0.0, 1.0);
    return swf::RGBA{uint8_t(cmd.color >> 16), uint8_t(cmd.color >> 8), uint8_t(cmd.color),
                     uint8_t(std::lround(a * 255))};
  };
  using K = avm2::DrawCommand::Kind;
  switch (cmd.kind) {
    case K::Clear:
      d.clear();
      break;
    case K::NoLine:
      d.setLineStyle(std::nullopt);
      break;
    case K::LineStyle: {
      swf::LineStyle s;
      const double t = std::isfinite(cmd.thickness) ? std::clamp(cmd.thickness, 0.0, 255.0) : 0;
      s.width = static_cast<uint16_t>(std::lround(t * kTwips));
      s.color = rgba();
      d.setLineStyle(s);
      break;
    }
    case K::BeginFill: {
      swf::FillStyle f;
      f.color = rgba();
      d.beginFill(f);
      break;
    }
    case K::BeginGradientFill:
      d.beginFill(gradientFill(cmd));
      break;
    case K::EndFill:
      d.endFill();
      break;
    case K::MoveTo:
      d.moveTo(twips(cmd.x), twips(cmd.y));
      break;
    case K::LineTo:
      d.lineTo(twips(cmd.x), twips(cmd.y));
      break;
    case K::CurveTo:
      d.curveTo(twips(cmd.cx), twips(cmd.cy), twips(cmd.x), twips(cmd.y));
      break;
  }
}

int DisplayHost::currentFrame(DisplayHandle h) {
  MovieClip* c = clip(h);
  // A clip of no symbol (new MovieClip()) has no frame to be on.
  if (!c || &c->timeline() == &emptyTimeline()) return 0;
  return std::max(c->currentFrame(), 0) + 1;
}

int DisplayHost::totalFrames(DisplayHandle h) {
  MovieClip* c = clip(h);
  return c ? std::max(c->frameCount(), 1) : 0;
}

bool DisplayHost::isPlaying(DisplayHandle h) {
  MovieClip* c = clip(h);
  // The root is not yet playing while its first frame's scripts run.
  if (c && stage_ && c == &stage_->root() && stage_->currentTick() == 0) return false;
  return c && c->playing() && c->frameCount() > 1;
}

std::vector<avm2::FrameLabelInfo> DisplayHost::labels(DisplayHandle h) {
  std::vector<avm2::FrameLabelInfo> out;
  MovieClip* c = clip(h);
  if (!c) return out;
  const auto& frames = c->timeline().frames;
  for (size_t f = 0; f < frames.size(); ++f)
    for (const std::string& label : frames[f].labels)
      out.push_back({label, static_cast<int>(f) + 1});
  return out;
}

// The root's scenes as the movie defines them; a clip of a symbol is one unnamed scene.
std::vector<avm2::SceneInfo> DisplayHost::scenes(DisplayHandle h) {
  std::vector<avm2::SceneInfo> out;
  MovieClip* c = clip(h);
  if (!c) return out;
  const int total = std::max(c->frameCount(), 1);
  if (stage_ && c == &stage_->root() && !stage_->movie().scenes.empty()) {
    for (const swf::Scene& sc : stage_->movie().scenes) {
      const int first = static_cast<int>(std::min<uint32_t>(sc.offset, uint32_t(total) - 1)) + 1;
      if (!out.empty() && first <= out.back().first) continue;  // out of order: ignored
      out.push_back({sc.name, first, 1});
    }
    if (out.front().first != 1) out.insert(out.begin(), {"Scene 1", 1, 1});
    for (size_t i = 0; i < out.size(); ++i)
      out[i].frames = (i + 1 < out.size() ? out[i + 1].first : total + 1) - out[i].first;
    return out;
  }
  out.push_back({stage_ && c == &stage_->root() ? "Scene 1" : "", 1, total});
  return out;
}

void DisplayHost::gotoFrame(DisplayHandle h, int frame, bool play) {
  MovieClip* c = clip(h);
  if (!c) return;
  const int target = std::clamp(frame, 1, std::max(c->frameCount(), 1)) - 1;
  if (play)
    c->play();
  else
    c->stop();
  if (target != c->currentFrame() && c->frameCount() > 0) {
    c->gotoFrame(target);
    if (play)
      c->play();
    else
      c->stop();
  }
  // A goto runs the frame scripts waiting, even one to the frame the clip is on; nested
  // gotos from the scripts it runs are bounded.
  if (gotoDepth_ < 16 && afterGoto) {
    ++gotoDepth_;
    afterGoto();
    --gotoDepth_;
  }
}

void DisplayHost::play(DisplayHandle h) {
  if (MovieClip* c = clip(h)) c->play();
}

void DisplayHost::stop(DisplayHandle h) {
  if (MovieClip* c = clip(h)) c->stop();
}

// The stage is the space of the root's parent: the root's own matrix counts.
static swf::Matrix toStageOf(const DisplayObject* o) {
  swf::Matrix m;
  for (int i = 0; o && i < kMaxNesting; ++i, o = o->parent) m = o->matrix * m;
  return m;
}

bool DisplayHost::bounds(DisplayHandle h, DisplayHandle space, double box[4]) {
  DisplayObject* o = find(h);
  if (!o) return false;
  Box b;
  addBounds(*o, toStageOf(o), b, 0);
  if (b.empty) return false;
  swf::Matrix back;
  if (DisplayObject* s = find(space)) {
    std::optional<swf::Matrix> inv = toStageOf(s).inverted();
    if (!inv) return false;
    back = *inv;
  }
  Box out;
  for (auto [x, y] : {std::pair{b.xMin, b.yMin}, {b.xMax, b.yMin}, {b.xMin, b.yMax}, {b.xMax, b.yMax}})
    out.add(back.mapX(x, y), back.mapY(x, y));
  box[0] = out.xMin / kTwips, box[1] = out.yMin / kTwips;
  box[2] = out.xMax / kTwips, box[3] = out.yMax / kTwips;
  return !out.empty;
}

void DisplayHost::mapPoint(DisplayHandle h, double& x, double& y, bool toStage) {
  DisplayObject* o = find(h);
  if (!o) return;
  swf::Matrix m = toStageOf(o);
  if (!toStage) {
    std::optional<swf::Matrix> inv = m.inverted();
    if (!inv) return;
    m = *inv;
  }
  const double tx = x * kTwips, ty = y * kTwips;
  x = m.mapX(tx, ty) / kTwips;
  y = m.mapY(tx, ty) / kTwips;
}

double DisplayHost::stageWidth() {
  return stage_ ? stage_->movie().header.frameSize.width() / kTwips : 0;
}

double DisplayHost::stageHeight() {
  return stage_ ? stage_->movie().header.frameSize.height() / kTwips : 0;
}

double DisplayHost::frameRate() {
  if (frameRate_ >= 0) return frameRate_;
  return stage_ ? stage_->movie().header.frameRate : 0;
}

}  // namespace orv::movie
