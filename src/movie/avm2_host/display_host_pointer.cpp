// The pointer's side of the display host: hit tests through the player's mouse (the same
// shapes, masks and text boxes a button's hit test uses), masks set by scripts, and the
// states of the timeline's buttons.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "movie/avm2_host/display_host.h"
#include "movie/interaction/mouse_input.h"

namespace orv::movie {

using avm2::DisplayHandle;

namespace {
constexpr double kTwips = 20;
}

bool DisplayHost::hitTest(DisplayHandle h, double x, double y, bool shape) {
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  if (h == kStage) return stage_ != nullptr;
  DisplayObject* o = find(h);
  if (!o) return false;
  if (!shape) {
    double box[4];
    return bounds(h, 0, box) && x >= box[0] && x <= box[2] && y >= box[1] && y <= box[3];
  }
  return mouse && mouse->covers(*o, x * kTwips, y * kTwips);
}

bool DisplayHost::isMask(DisplayHandle h) {
  DisplayObject* o = find(h);
  return o && (o->clipDepth > 0 || !o->masking.expired());
}

DisplayHandle DisplayHost::maskOf(DisplayHandle h) {
  DisplayObject* o = find(h);
  if (!o) return 0;
  auto mask = o->scriptMask.lock();
  return mask ? handleOf(mask.get()) : 0;
}

void DisplayHost::setMask(DisplayHandle h, DisplayHandle maskHandle) {
  DisplayObject* o = find(h);
  if (!o) return;
  if (auto old = o->scriptMask.lock()) old->masking.reset();
  o->scriptMask.reset();
  DisplayObject* mask = find(maskHandle);
  if (!mask || mask == o) return;
  // A mask masks one object at a time.
  if (auto other = mask->masking.lock()) other->scriptMask.reset();
  o->scriptMask = mask->weak_from_this();
  mask->masking = o->weak_from_this();
}

int DisplayHost::buttonState(DisplayHandle h) {
  DisplayObject* o = find(h);
  return o ? o->buttonState : 0;
}

void DisplayHost::setButtonState(DisplayHandle h, int state) {
  if (DisplayObject* o = find(h)) o->buttonState = std::clamp(state, 0, 2);
}

// The stage's children are the roots of its levels, the movie's own root first: one put
// there becomes a level above, and the levels are numbered again in the new order.
void DisplayHost::insertOnStage(DisplayHandle child, int index) {
  DisplayObject* c = find(child);
  if (!stage_ || !c || c == &stage_->root()) return;
  auto clipOf = std::dynamic_pointer_cast<MovieClip>(c->shared_from_this());
  if (!clipOf) return;  // only clips can stand on the stage here
  std::vector<std::shared_ptr<MovieClip>> order;
  for (const auto& [level, root] : stage_->levels())
    if (level > 0 && root != clipOf) order.push_back(root);
  if (stage_->levelOf(*c) > 0 && !c->parent) stage_->removeLevel(stage_->levelOf(*c));
  if (c->parent) c->parent->removeObject(c->depth);
  if (order.size() + 1 >= Stage::kMaxLevels) return;
  // Nothing goes below the movie's own root.
  const size_t at = static_cast<size_t>(std::clamp(index - 1, 0, static_cast<int>(order.size())));
  order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), clipOf);
  for (size_t i = 0; i < order.size(); ++i) {
    const int n = stage_->levelOf(*order[i]);
    if (n > 0) stage_->removeLevel(n);
  }
  for (size_t i = 0; i < order.size(); ++i) {
    const std::string name = order[i]->name;
    bool placed = false;
    stage_->setLevel(static_cast<int>(i) + 1, order[i], &placed);
    order[i]->name = name;
    order[i]->transformLockedByScript = true;
  }
}

}  // namespace orv::movie
