// The mouse's way into the scripts: button actions, clip button events (on(press),
// onPress...), mouse clip events for every clip, Mouse listeners.
#include "movie/avm1_host/timeline_bridge.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "movie/render/hit_test.h"
#include "movie/render/raster/paint.h"

namespace orv::movie::avm1 {

namespace {
constexpr uint32_t kButtonEvents = swf::ClipEvent::Press | swf::ClipEvent::Release |
                                   swf::ClipEvent::ReleaseOutside | swf::ClipEvent::RollOver |
                                   swf::ClipEvent::RollOut | swf::ClipEvent::DragOver |
                                   swf::ClipEvent::DragOut;
constexpr const char* kButtonMethods[] = {"onPress",    "onRelease", "onReleaseOutside",
                                          "onRollOver", "onRollOut", "onDragOver",
                                          "onDragOut"};
constexpr int kMaxNesting = 64;

// Whether the content of `object` (placed by `toStage`) covers the stage point (x, y) by
// its geometry. Masks do not count.
bool covers(render::HitTester& hits, DisplayObject& object, const swf::Matrix& toStage, double x,
            double y, int nesting) {
  if (nesting > kMaxNesting) return false;
  if (MovieClip* clip = object.asClip()) {
    if (clip->drawing && !clip->drawing->empty())
      if (auto toLocal = toStage.inverted();
          toLocal && clip->drawing->contains(toLocal->mapX(x, y), toLocal->mapY(x, y)))
        return true;
    for (const auto& [depth, child] : clip->displayList())
      if (child->clipDepth == 0 && covers(hits, *child, toStage * child->matrix, x, y, nesting + 1))
        return true;
    return false;
  }
  const std::optional<swf::Matrix> toLocal = toStage.inverted();
  // A bitmap attached by script covers its whole rectangle (20 twips a pixel).
  if (object.bitmap) {
    if (!toLocal || !object.bitmap->valid()) return false;
    const double lx = toLocal->mapX(x, y), ly = toLocal->mapY(x, y);
    return lx >= 0 && ly >= 0 && lx < object.bitmap->width * 20.0 &&
           ly < object.bitmap->height * 20.0;
  }
  if (!object.character) return false;
  if (!toLocal) return false;
  return hits.contains(*object.character, object.ratio, toLocal->mapX(x, y), toLocal->mapY(x, y));
}

// The stage rectangle around the content of `object`: xMin, yMin, xMax, yMax.
struct StageBox {
  bool empty = true;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  void add(double x, double y) {
    if (empty) {
      x0 = x1 = x;
      y0 = y1 = y;
      empty = false;
      return;
    }
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
};
void addBounds(const swf::Movie& movie, DisplayObject& object, const swf::Matrix& toStage,
               StageBox& box, int nesting) {
  if (nesting > kMaxNesting) return;
  if (MovieClip* clip = object.asClip()) {
    if (clip->drawing)
      if (auto r = clip->drawing->bounds(true))
        for (auto [x, y] : {std::pair{r->xMin, r->yMin},
                            {r->xMax, r->yMin},
                            {r->xMin, r->yMax},
                            {r->xMax, r->yMax}})
          box.add(toStage.mapX(x, y), toStage.mapY(x, y));
    for (const auto& [depth, child] : clip->displayList())
      if (child->clipDepth == 0)
        addBounds(movie, *child, toStage * child->matrix, box, nesting + 1);
    return;
  }
  if (object.bitmap) {
    if (!object.bitmap->valid()) return;
    const double w = object.bitmap->width * 20.0, h = object.bitmap->height * 20.0;
    for (auto [x, y] : {std::pair{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h}})
      box.add(toStage.mapX(x, y), toStage.mapY(x, y));
    return;
  }
  if (!object.character) return;
  const std::optional<swf::Rect> r = render::characterBounds(movie, *object.character);
  if (!r) return;
  for (auto [x, y] :
       {std::pair{r->xMin, r->yMin}, {r->xMax, r->yMin}, {r->xMin, r->yMax}, {r->xMax, r->yMax}})
    box.add(toStage.mapX(x, y), toStage.mapY(x, y));
}
}  // namespace

// The pointer in the coordinates of `object`'s parent.
std::optional<std::pair<double, double>> pointerInParent(DisplayObject& object, double x,
                                                         double y) {
  swf::Matrix parentToStage;
  for (DisplayObject* d = object.parent; d; d = d->parent)
    parentToStage = d->matrix * parentToStage;
  const std::optional<swf::Matrix> inv = parentToStage.inverted();
  if (!inv) return std::nullopt;
  return std::pair{inv->mapX(x, y), inv->mapY(x, y)};
}

void TimelineBridge::startDrag(ScriptClip* clip, bool lockCenter) {
  auto* bridge = dynamic_cast<ClipBridge*>(clip);
  DisplayObject* object = bridge ? bridge->object() : nullptr;
  if (!object || !object->parent) return;
  const auto pointer = pointerInParent(*object, mouseXTwips, mouseYTwips);
  if (!pointer) return;
  dragged_ = object->weak_from_this();
  dragOffsetX_ = lockCenter ? 0 : object->matrix.tx - pointer->first;
  dragOffsetY_ = lockCenter ? 0 : object->matrix.ty - pointer->second;
  followDrag();
}

void TimelineBridge::stopDrag() { dragged_.reset(); }

bool TimelineBridge::followDrag() {
  auto object = dragged_.lock();
  if (!object || !object->parent) return false;
  const auto pointer = pointerInParent(*object, mouseXTwips, mouseYTwips);
  if (!pointer) return false;
  object->matrix.tx = pointer->first + dragOffsetX_;
  object->matrix.ty = pointer->second + dragOffsetY_;
  object->transformLockedByScript = true;
  return true;
}

bool ClipBridge::isButton() const {
  auto o = object_.lock();
  return o && o->character && std::holds_alternative<swf::ButtonDef>(*o->character);
}

void TimelineBridge::buttonMethod(DisplayObject& button, const char* method) {
  auto it = bridges_.find(&button);
  if (it == bridges_.end() || it->second->object() != &button || !it->second->scriptObject) return;
  vm_->callMethodIfPresent(it->second->scriptObject, method);
  stage_.dispatchEvents();
}

bool TimelineBridge::buttonTakesMouse(DisplayObject& button, bool* handCursor) {
  if (handCursor) *handCursor = true;
  auto it = bridges_.find(&button);
  if (it == bridges_.end() || it->second->object() != &button || !it->second->scriptObject)
    return true;
  Object* self = it->second->scriptObject;
  if (vm_->hasProperty(self, "enabled") && !vm_->toBool(vm_->getMember(self, "enabled")))
    return false;
  if (handCursor && vm_->hasProperty(self, "useHandCursor"))
    *handCursor = vm_->toBool(vm_->getMember(self, "useHandCursor"));
  return true;
}

bool TimelineBridge::tracksAsMenu(DisplayObject& object, bool byCharacter) {
  auto it = bridges_.find(&object);
  if (it == bridges_.end() || it->second->object() != &object || !it->second->scriptObject)
    return byCharacter;
  Object* self = it->second->scriptObject;
  if (!vm_->hasProperty(self, "trackAsMenu")) return byCharacter;
  return vm_->toBool(vm_->getMember(self, "trackAsMenu"));
}

bool ClipBridge::hitTestPoint(double x, double y, bool shapeFlag) {
  auto o = object_.lock();
  if (!o || !std::isfinite(x) || !std::isfinite(y)) return false;
  swf::Matrix toStage;
  for (DisplayObject* d = o.get(); d; d = d->parent) toStage = d->matrix * toStage;
  const swf::Movie& movie = *o->movie;
  x *= 20;
  y *= 20;
  if (shapeFlag) {
    render::HitTester hits(&movie);
    return covers(hits, *o, toStage, x, y, 0);
  }
  StageBox box;
  addBounds(movie, *o, toStage, box, 0);
  return !box.empty && x >= box.x0 && x <= box.x1 && y >= box.y0 && y <= box.y1;
}

void TimelineBridge::runButtonActions(DisplayObject& button, const std::vector<uint8_t>& actions) {
  MovieClip* parent = button.parent;
  if (!parent) return;
  vm_->runActions(bridgeFor(parent), actions, button.movie->header.version);
  stage_.dispatchEvents();
}

void TimelineBridge::clipButtonEvent(DisplayObject& clip, uint32_t clipEvent, const char* method) {
  auto keep = clip.shared_from_this();  // the handlers may remove it
  ClipBridge* b = bridgeFor(&clip);
  const int version = clip.movie->header.version;
  if (clip.clipActions)
    for (const swf::ClipAction& ca : *clip.clipActions)
      if (ca.events & clipEvent) vm_->runActions(b, ca.actions, version);
  if (b->scriptObject) vm_->callMethodIfPresent(b->scriptObject, method);
  stage_.dispatchEvents();
}

void TimelineBridge::clipButtonState(DisplayObject& clip, int state) {
  static constexpr const char* kLabels[] = {"_up", "_over", "_down"};
  if (state < 0 || state > 2 || !clip.asClip()) return;
  auto keep = clip.shared_from_this();
  ClipBridge* b = bridgeFor(&clip);
  b->gotoLabel(kLabels[state], false);  // nothing happens without the label
  stage_.dispatchEvents();
}

bool TimelineBridge::clipTakesMouse(DisplayObject& clip, bool* handCursor) {
  if (handCursor) *handCursor = true;
  bool takes = false;
  if (clip.clipActions)
    for (const swf::ClipAction& ca : *clip.clipActions)
      if (ca.events & kButtonEvents) takes = true;
  Object* self = bridgeFor(&clip)->scriptObject;
  if (!self) return takes;
  for (const char* m : kButtonMethods)
    if (!takes && vm_->hasProperty(self, m)) takes = true;
  if (!takes) return false;
  if (vm_->hasProperty(self, "enabled") && !vm_->toBool(vm_->getMember(self, "enabled")))
    return false;
  if (handCursor && vm_->hasProperty(self, "useHandCursor"))
    *handCursor = vm_->toBool(vm_->getMember(self, "useHandCursor"));
  return true;
}

bool TimelineBridge::mouseEverywhere(uint32_t clipEvent, const char* method) {
  std::vector<std::weak_ptr<DisplayObject>> clips = clipsParentsFirst();
  bool heard = false;
  for (auto& w : clips) {
    auto o = w.lock();
    if (!o) continue;
    if (o->clipActions)
      for (const swf::ClipAction& ca : *o->clipActions)
        if (ca.events & clipEvent) {
          vm_->runActions(bridgeFor(o.get()), ca.actions, o->movie->header.version);
          heard = true;
        }
    auto it = bridges_.find(o.get());
    if (it != bridges_.end() && it->second->scriptObject &&
        vm_->callMethodIfPresent(it->second->scriptObject, method))
      heard = true;
  }
  Value mouse = vm_->getMember(Value(vm_->global), "Mouse");
  if (Object* m = vm_->toObject(mouse)) {
    Value listeners = vm_->getMember(m, "_listeners");
    Object* list = vm_->toObject(listeners);
    if (list && !vm_->arrayElements(list).empty()) {
      vm_->callMethodIfPresent(m, "broadcastMessage", {Value(method)});
      heard = true;
    }
  }
  stage_.dispatchEvents();
  return heard;
}

}  // namespace orv::movie::avm1
