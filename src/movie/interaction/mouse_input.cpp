#include "movie/interaction/mouse_input.h"

#include <cmath>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "movie/render/raster/paint.h"
#include "movie/text/edit_text.h"
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/sound/movie_sound.h"
#include "movie/timeline/stage.h"

namespace orv::movie {
namespace {

// What each transition means for a button (condition bit, sound slot of
// DefineButtonSound, state shown afterwards: 0 up, 1 over, 2 down) and for a clip
// acting as a button (clip event, method).
struct TransitionInfo {
  uint16_t condition;
  int sound;  // -1: none
  int state;
  uint32_t clipEvent;
  const char* method;
};
constexpr TransitionInfo kTransitions[] = {
    {0x0001, 1, 1, swf::ClipEvent::RollOver, "onRollOver"},               // RollOver
    {0x0002, 0, 0, swf::ClipEvent::RollOut, "onRollOut"},                 // RollOut
    {0x0004, 2, 2, swf::ClipEvent::Press, "onPress"},                     // Press
    {0x0008, 3, 1, swf::ClipEvent::Release, "onRelease"},                 // Release
    {0x0040, -1, 0, swf::ClipEvent::ReleaseOutside, "onReleaseOutside"},  // ReleaseOutside
    {0x0010, -1, 1, swf::ClipEvent::DragOut, "onDragOut"},                // DragOut
    {0x0020, -1, 2, swf::ClipEvent::DragOver, "onDragOver"},              // DragOver
    {0x0080, -1, 2, swf::ClipEvent::DragOver, "onDragOver"},              // MenuDragOver
    {0x0100, -1, 0, swf::ClipEvent::DragOut, "onDragOut"},                // MenuDragOut
};

const swf::ButtonDef* buttonOf(const DisplayObject& object) {
  return object.character ? std::get_if<swf::ButtonDef>(object.character) : nullptr;
}

// The mask objects of a display list: (mask, deepest depth it covers).
std::vector<DisplayObject*> masksOf(const MovieClip& clip) {
  std::vector<DisplayObject*> masks;
  for (const auto& [depth, object] : clip.displayList())
    if (object->clipDepth > 0) masks.push_back(object.get());
  return masks;
}

// A text field covers its whole box, the one scripts gave it included.
bool fieldBoxContains(const DisplayObject& field, const swf::Matrix& toStage, double x, double y) {
  const std::optional<swf::Matrix> toLocal = toStage.inverted();
  if (!toLocal) return false;
  const double lx = toLocal->mapX(x, y), ly = toLocal->mapY(x, y);
  const swf::Rect& box = field.editText->def().bounds;
  return lx >= box.xMin && lx <= box.xMax && ly >= box.yMin && ly <= box.yMax;
}

}  // namespace

MouseInput::MouseInput(Stage& stage, avm1::TimelineBridge* scripts, sound::MovieSound* sound)
    : stage_(stage), scripts_(scripts), sound_(sound), hits_(&stage.movie()) {}

MouseInput::~MouseInput() = default;

bool MouseInput::move(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  // A press or release where the pointer already is: no movement to report.
  if (known_ && x == x_ && y == y_) return track();
  x_ = x;
  y_ = y;
  known_ = true;
  if (scripts_) {
    scripts_->mouseXTwips = x;
    scripts_->mouseYTwips = y;
  }
  bool changed = scripts_ && scripts_->followDrag();
  changed |= everywhere(swf::ClipEvent::MouseMove, "onMouseMove");
  return track() || changed;
}

bool MouseInput::press() {
  if (down_) return false;
  track();
  down_ = true;
  menuTracking_ = false;
  everywhere(swf::ClipEvent::MouseDown, "onMouseDown");
  if (auto hot = hot_.lock()) {
    pressed_ = hot;
    pressedOver_ = true;
    fire(*hot, Transition::Press);
  }
  return true;
}

bool MouseInput::release() {
  if (!down_) return false;
  down_ = false;
  everywhere(swf::ClipEvent::MouseUp, "onMouseUp");
  auto pressed = pressed_.lock();
  const bool over = pressedOver_;
  pressed_.reset();
  pressedOver_ = false;
  menuTracking_ = false;
  hot_.reset();
  if (pressed) {
    if (over) {
      hot_ = pressed;
      fire(*pressed, Transition::Release);
    } else {
      fire(*pressed, Transition::ReleaseOutside);
    }
  }
  track();
  return true;
}

bool MouseInput::refresh() { return known_ && track(); }

bool MouseInput::keyPress(int code) {
  if (!scripts_ || code <= 0 || code > 127) return false;
  // Buttons first collected, parents before children: actions change the lists.
  std::vector<std::weak_ptr<DisplayObject>> buttons;
  std::vector<std::pair<MovieClip*, int>> work;
  for (auto it = stage_.levels().rbegin(); it != stage_.levels().rend(); ++it)
    work.push_back({it->second.get(), 0});
  while (!work.empty()) {
    auto [clip, nesting] = work.back();
    work.pop_back();
    for (const auto& [depth, object] : clip->displayList()) {
      if (buttonOf(*object))
        buttons.push_back(object);
      else if (MovieClip* child = object->asClip(); child && nesting + 1 < Stage::kMaxNesting)
        work.push_back({child, nesting + 1});
    }
  }
  // The first button that answers the key takes the press: other instances with the same
  // key in their actions do not hear it.
  bool ran = false;
  for (const auto& weak : buttons) {
    auto button = weak.lock();
    if (!button) continue;
    for (const swf::ButtonAction& action : buttonOf(*button)->actions) {
      if (action.keyCode != code) continue;
      MovieClip* parent = button->parent;
      if (!parent || parent->objectAt(button->depth) != button.get()) break;
      scripts_->runButtonActions(*button, action.actions);
      ran = true;
    }
    if (ran) break;
  }
  stage_.dispatchEvents();
  return ran;
}

bool MouseInput::handCursor() const {
  if (down_) return pressedOver_ && !pressed_.expired() && hand_;
  return !hot_.expired() && hand_;
}

bool MouseInput::underPointer(const DisplayObject& object) const {
  if (down_) return pressedOver_ && pressed_.lock().get() == &object;
  return hot_.lock().get() == &object;
}

void MouseInput::click(DisplayObject& target) {
  auto keep = target.shared_from_this();
  fire(target, Transition::Press);
  fire(target, Transition::Release);
}

void MouseInput::roll(DisplayObject& target, bool over) {
  if (underPointer(target)) return;
  auto keep = target.shared_from_this();
  fire(target, over ? Transition::RollOver : Transition::RollOut);
}

// Follows the pointer: roll over and out with the button up; drag out and back over the
// pressed object with it down (menus hand the press on to what the pointer reaches).
bool MouseInput::track() {
  Hit hit{targetAt(x_, y_), lastHitHand_};
  if (!down_) {
    auto hot = hot_.lock();
    if (hit.object == hot) {
      hand_ = hit.hand;
      return false;
    }
    if (hot) fire(*hot, Transition::RollOut);
    hot_ = hit.object;
    hand_ = hit.hand;
    if (hit.object) fire(*hit.object, Transition::RollOver);
    return true;
  }
  auto pressed = pressed_.lock();
  if (pressed && !menuTracking_) {
    const swf::ButtonDef* button = buttonOf(*pressed);
    const bool byCharacter = button && button->trackAsMenu;
    menuTracking_ = scripts_ ? scripts_->tracksAsMenu(*pressed, byCharacter) : byCharacter;
  }
  if (menuTracking_) {
    if (hit.object == pressed) return false;
    if (pressed) fire(*pressed, Transition::MenuDragOut);
    pressed_ = hit.object;
    pressedOver_ = hit.object != nullptr;
    hand_ = hit.hand;
    if (hit.object) fire(*hit.object, Transition::MenuDragOver);
    return true;
  }
  if (!pressed) return false;
  const bool over = hit.object == pressed;
  if (over == pressedOver_) return false;
  pressedOver_ = over;
  fire(*pressed, over ? Transition::DragOver : Transition::DragOut);
  return true;
}

std::shared_ptr<DisplayObject> MouseInput::targetAt(double x, double y) {
  qx_ = x;
  qy_ = y;
  // The top level first: what lies above takes the pointer. The roots are held apart
  // from the stage's list: asking scripts whether a clip takes the mouse may run getters
  // that unload a level.
  std::vector<std::pair<int, std::shared_ptr<MovieClip>>> roots(stage_.levels().rbegin(),
                                                                stage_.levels().rend());
  Hit hit;
  for (const auto& [level, root] : roots) {
    if (root->visible || level == 0) hit = find(*root, root->matrix, 0);
    if (hit.object) break;
  }
  lastHitHand_ = hit.hand;
  return hit.object;
}

MouseInput::Hit MouseInput::find(MovieClip& clip, const swf::Matrix& clipToStage, int nesting) {
  if (nesting >= Stage::kMaxNesting) return {};
  const std::vector<DisplayObject*> masks = masksOf(clip);
  const auto& list = clip.displayList();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    DisplayObject& object = *it->second;
    if (!object.visible || object.clipDepth > 0) continue;
    const swf::Matrix toStage = clipToStage * object.matrix;
    if (buttonOf(object)) {
      bool hand = true;
      if (scripts_ && !scripts_->buttonTakesMouse(object, &hand)) continue;
      if (contains(object, toStage, nesting) && !masked(masks, object.depth, clipToStage, nesting))
        return {object.shared_from_this(), hand};
      continue;
    }
    MovieClip* child = object.asClip();
    if (!child) continue;
    bool hand = true;
    if (scripts_ && scripts_->clipTakesMouse(object, &hand)) {
      if (contains(object, toStage, nesting) && !masked(masks, object.depth, clipToStage, nesting))
        return {object.shared_from_this(), hand};
      continue;
    }
    Hit inner = find(*child, toStage, nesting + 1);
    if (inner.object && !masked(masks, object.depth, clipToStage, nesting)) return inner;
  }
  return {};
}

std::shared_ptr<DisplayObject> MouseInput::drawnAt(double x, double y) {
  qx_ = x;
  qy_ = y;
  for (auto it = stage_.levels().rbegin(); it != stage_.levels().rend(); ++it) {
    MovieClip& root = *it->second;
    if (!root.visible && it->first != 0) continue;
    if (auto hit = drawnIn(root, root.matrix, 0)) return hit;
  }
  return nullptr;
}

std::shared_ptr<DisplayObject> MouseInput::drawnIn(MovieClip& clip, const swf::Matrix& clipToStage,
                                                   int nesting) {
  if (nesting >= Stage::kMaxNesting) return nullptr;
  const std::vector<DisplayObject*> masks = masksOf(clip);
  const auto& list = clip.displayList();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    DisplayObject& object = *it->second;
    if (!object.visible || object.clipDepth > 0) continue;
    const swf::Matrix toStage = clipToStage * object.matrix;
    std::shared_ptr<DisplayObject> hit;
    if (MovieClip* child = object.asClip())
      hit = drawnIn(*child, toStage, nesting + 1);
    else if (object.editText ? fieldBoxContains(object, toStage, qx_, qy_)
                             : contains(object, toStage, nesting))
      hit = object.shared_from_this();
    if (hit && !masked(masks, object.depth, clipToStage, nesting)) return hit;
  }
  return nullptr;
}

bool MouseInput::covers(DisplayObject& object, double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  // Masks of masks are followed a few deep: scripts can make them go round in a circle.
  if (coverDepth_ >= 8) return false;
  struct Depth {
    int& n;
    explicit Depth(int& d) : n(++d) {}
    ~Depth() { --n; }
  } depth(coverDepth_);
  qx_ = x;
  qy_ = y;
  std::vector<DisplayObject*> chain;  // the object, then its containers out to a root
  for (DisplayObject* o = &object; o && chain.size() < Stage::kMaxNesting; o = o->parent)
    chain.push_back(o);
  // Off the stage an object covers nothing.
  if (chain.empty() || chain.back()->parent) return false;
  bool placed = false;
  for (const auto& [level, root] : stage_.levels()) placed = placed || root.get() == chain.back();
  if (!placed) return false;
  std::vector<swf::Matrix> toStage(chain.size());  // each one's space onto the stage
  swf::Matrix m = chain.back()->matrix;
  for (size_t i = chain.size(); i-- > 0;) {
    if (i + 1 < chain.size()) m = m * chain[i]->matrix;
    toStage[i] = m;
  }
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    const MovieClip* parent = chain[i + 1]->asClip();
    if (parent && masked(masksOf(*parent), chain[i]->depth, toStage[i + 1], 0)) return false;
    if (auto mask = chain[i]->scriptMask.lock(); mask && mask.get() != chain[i]) {
      if (!covers(*mask, x, y)) return false;
      qx_ = x;
      qy_ = y;
    }
  }
  if (object.editText) return fieldBoxContains(object, toStage[0], x, y);
  const bool wasInMask = inMask_;
  inMask_ = !object.masking.expired();
  const bool inside = contains(object, toStage[0], 0);
  inMask_ = wasInMask;
  return inside;
}

bool MouseInput::masked(const std::vector<DisplayObject*>& masks, int depth,
                        const swf::Matrix& clipToStage, int nesting) {
  for (DisplayObject* mask : masks)
    if (mask->depth < depth && depth <= mask->clipDepth &&
        !contains(*mask, clipToStage * mask->matrix, nesting))
      return true;
  return false;
}

bool MouseInput::contains(DisplayObject& object, const swf::Matrix& objectToStage, int nesting) {
  if (nesting >= Stage::kMaxNesting) return false;
  if (MovieClip* clip = object.asClip()) {
    if (clip->drawing) {
      const std::optional<swf::Matrix> toLocal = objectToStage.inverted();
      if (toLocal && clip->drawing->contains(toLocal->mapX(qx_, qy_), toLocal->mapY(qx_, qy_)))
        return true;
    }
    const std::vector<DisplayObject*> masks = masksOf(*clip);
    for (const auto& [depth, child] : clip->displayList()) {
      // A mask's own shapes count whether they show or not; a mask set by a script is
      // no part of what its container draws.
      if ((!child->visible && !inMask_) || child->clipDepth > 0 || !child->masking.expired())
        continue;
      if (!contains(*child, objectToStage * child->matrix, nesting + 1) ||
          masked(masks, depth, objectToStage, nesting + 1))
        continue;
      auto mask = child->scriptMask.lock();
      if (!mask || mask == child || nesting + 1 >= Stage::kMaxNesting) return true;
      const double x = qx_, y = qy_;
      const bool inside = covers(*mask, x, y);
      qx_ = x;
      qy_ = y;
      if (inside) return true;
    }
    return false;
  }
  std::optional<swf::Matrix> toLocal = objectToStage.inverted();
  // A bitmap attached by script takes the mouse over its whole rectangle.
  if (object.bitmap) {
    if (!toLocal || !object.bitmap->valid()) return false;
    const double lx = toLocal->mapX(qx_, qy_), ly = toLocal->mapY(qx_, qy_);
    return lx >= 0 && ly >= 0 && lx < object.bitmap->width * 20.0 &&
           ly < object.bitmap->height * 20.0;
  }
  if (!object.character) return false;
  if (!toLocal) return false;
  return hits_.contains(*object.character, object.ratio, toLocal->mapX(qx_, qy_),
                        toLocal->mapY(qx_, qy_));
}

void MouseInput::fire(DisplayObject& target, Transition t) {
  auto keep = target.shared_from_this();  // handlers may take it off the stage
  const TransitionInfo& info = kTransitions[static_cast<int>(t)];
  if (const swf::ButtonDef* button = buttonOf(target)) {
    target.buttonState = info.state;
    if (info.sound >= 0 && sound_) {
      if (const auto& s = button->sounds[info.sound]; s && s->soundId != 0) {
        swf::StartSound start;
        start.soundId = s->soundId;
        start.info = s->info;
        sound_->startSound(*target.movie, start);  // the button's own movie holds its sounds
      }
    }
    if (!scripts_) return;
    std::weak_ptr<DisplayObject> parent =
        target.parent ? target.parent->weak_from_this() : std::weak_ptr<DisplayObject>();
    for (const swf::ButtonAction& action : button->actions) {
      if (!(action.conditions & info.condition)) continue;
      // Only while the button is still on its parent's list (an action may remove either).
      auto p = parent.lock();
      if (!p || target.parent != p.get() || target.parent->objectAt(target.depth) != &target) break;
      scripts_->runButtonActions(target, action.actions);
    }
    // Then the instance's own method (a named button from SWF 6).
    scripts_->buttonMethod(target, info.method);
  } else if (scripts_) {
    // The state's frame first: the handlers may go elsewhere.
    scripts_->clipButtonState(target, info.state);
    scripts_->clipButtonEvent(target, info.clipEvent, info.method);
  }
  stage_.dispatchEvents();
}

bool MouseInput::everywhere(uint32_t clipEvent, const char* method) {
  return scripts_ && scripts_->mouseEverywhere(clipEvent, method);
}

}  // namespace orv::movie
