#pragma once
// The mouse on a movie's stage: finds the button (or clip acting as one) under the
// pointer, moves buttons through up / over / down as a Flash player does (roll over and
// out, press, release inside or outside, drag out and back over), and delivers each
// transition: the button's state picture, its sound, its condition actions, and clip
// handlers and methods through the script engine.
#include <cstdint>
#include <memory>
#include <vector>

#include "movie/timeline/display_object.h"
#include "movie/render/hit_test.h"

namespace orv::movie {

namespace avm1 {
class TimelineBridge;
}
namespace sound {
class MovieSound;
}
class Stage;

class MouseInput {
 public:
  // `scripts` and `sound` may be null (no actions run / no sounds play); all must outlive it.
  MouseInput(Stage& stage, avm1::TimelineBridge* scripts, sound::MovieSound* sound);
  ~MouseInput();

  // Pointer in stage twips. Each returns true when the picture may have changed.
  bool move(double x, double y);
  bool press();
  bool release();
  // The display list changed under a still pointer: roll over what is now there.
  bool refresh();
  // A key typed: every button on the stage with an action for `code` (a character, or
  // 1 left, 2 right, 3 home, 4 end, 5 insert, 6 delete, 8 backspace, 13 enter, 14 up,
  // 15 down, 16 page up, 17 page down, 18 tab, 19 escape) runs it.
  bool keyPress(int code);

  bool handCursor() const;
  // Whether the pointer is over `object` (the button up) or over it while pressing it.
  bool underPointer(const DisplayObject& object) const;
  // A press and release of `target` without the pointer (Enter on a focused button):
  // its press and release transitions, ending in its over state.
  void click(DisplayObject& target);
  // The keyboard focus came to `target` (over) or left it: its roll over or roll out
  // transition, unless the pointer is over it already.
  void roll(DisplayObject& target, bool over);
  bool buttonDown() const { return down_; }
  double x() const { return x_; }
  double y() const { return y_; }
  // The object that would take a press here (a button, or a clip with handlers).
  std::shared_ptr<DisplayObject> targetAt(double x, double y);
  // The topmost object drawn at (x, y), whether it takes the mouse or not: a shape, a
  // text field, a button, a bitmap (what a right click is over). Runs no script.
  std::shared_ptr<DisplayObject> drawnAt(double x, double y);
  // Whether the stage point (twips) falls on what `object` draws where it stands, the masks
  // over it and over its containers taken into account. Runs no script.
  bool covers(DisplayObject& object, double x, double y);

  // Button transitions, named by what the user did.
  enum class Transition {
    RollOver,
    RollOut,
    Press,
    Release,
    ReleaseOutside,
    DragOut,
    DragOver,
    MenuDragOver,
    MenuDragOut,
  };

 private:
  struct Hit {
    std::shared_ptr<DisplayObject> object;
    bool hand = false;
  };
  Hit find(MovieClip& clip, const swf::Matrix& clipToStage, int nesting);
  std::shared_ptr<DisplayObject> drawnIn(MovieClip& clip, const swf::Matrix& clipToStage,
                                         int nesting);
  bool contains(DisplayObject& object, const swf::Matrix& objectToStage, int nesting);
  bool masked(const std::vector<DisplayObject*>& masks, int depth, const swf::Matrix& clipToStage,
              int nesting);
  bool track();
  void fire(DisplayObject& target, Transition t);
  bool everywhere(uint32_t clipEvent, const char* method);

  Stage& stage_;
  avm1::TimelineBridge* scripts_;
  sound::MovieSound* sound_;
  render::HitTester hits_;
  double x_ = 0, y_ = 0;
  bool known_ = false;  // the pointer has been somewhere
  bool down_ = false;
  std::weak_ptr<DisplayObject> hot_;      // under the pointer, button up
  std::weak_ptr<DisplayObject> pressed_;  // took the press, while the button is down
  bool pressedOver_ = false;              // the pointer is over the pressed object
  bool hand_ = false;                     // the object under the pointer shows the hand
  bool menuTracking_ = false;             // a press on a track-as-menu button is being carried
  double qx_ = 0, qy_ = 0;                // the point targetAt() is looking at
  bool lastHitHand_ = false;
  bool inMask_ = false;
  int coverDepth_ = 0;  // testing a mask's shapes: hidden ones count too
};

}  // namespace orv::movie
