#pragma once
// The keyboard focus on a movie's stage: Tab and Shift+Tab move it through the objects
// that take it (buttons, clips acting as buttons or with tabEnabled, input fields), in
// tabIndex order when any of them has one, else top to bottom and left to right; Enter
// or Space presses and releases a focused button or clip; the yellow rectangle shows
// around what has the focus until the mouse moves (text fields show their caret instead).
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "movie/timeline/display_object.h"

namespace orv::movie {

namespace avm1 {
class TimelineBridge;
}
class MouseInput;
class Stage;

class KeyboardFocus {
 public:
  // All must outlive it.
  KeyboardFocus(Stage& stage, avm1::TimelineBridge& scripts, MouseInput& mouse);

  // Tab (Shift+Tab: `backward`): the focus moves on to the next object in Tab's order,
  // round to the first after the last. True when it moved.
  bool tab(bool backward);
  // An arrow key (dx, dy: one of them -1 or 1) while a button or clip shows the focus
  // rectangle: the focus goes to the nearest object that way. True when it moved.
  bool arrow(int dx, int dy);
  // Enter or Space: a focused button or clip is pressed and released. True when one was.
  bool activate();
  // The mouse moved or clicked: the rectangle hides (until a key or a focus change).
  // True when one was showing.
  bool mouseUsed();
  // A key went down: the rectangle shows again around what has the focus.
  void keyUsed();
  // The objects Tab visits, in order.
  std::vector<std::shared_ptr<DisplayObject>> tabOrder();

  // The focus rectangle to draw, in stage twips, snapped to whole stage pixels; none when
  // nothing shows one.
  struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  };
  std::optional<Box> highlight();
  static constexpr uint32_t kColor = 0xFFFFFF00;  // opaque yellow
  static constexpr double kLineTwips = 60;        // three stage pixels, inside the box

 private:
  struct TabStops {
    std::vector<std::shared_ptr<DisplayObject>> order;
    std::vector<std::pair<double, double>> corners;  // by position: each one's top, left
    bool indexed = false;                             // ordered by tabIndex instead
  };
  TabStops tabStops();
  DisplayObject* current();  // the focus as scripts hold it, on the stage
  void focus(DisplayObject* object);
  void moveTo(const std::shared_ptr<DisplayObject>& gaining, DisplayObject* focused);

  Stage& stage_;
  avm1::TimelineBridge& scripts_;
  MouseInput& mouse_;
  bool shown_ = false;                      // the rectangle is up
  std::weak_ptr<DisplayObject> seen_;       // the focus when last looked at
  std::weak_ptr<DisplayObject> overState_;  // the focused button shown in its over state
};

}  // namespace orv::movie
