// The pointer's side of the display host: hit tests through the player's mouse (the same
// shapes, masks and text boxes a button's hit test uses), masks set by scripts, and the
// states of the timeline's buttons.
#include <algorithm>
#include <cmath>

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

}  // namespace orv::movie
