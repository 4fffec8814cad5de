// The pointer and the keys as ActionScript 3 sees them: the player hands in what the user
// did and these pick the InteractiveObject it concerns and send it its MouseEvent,
// KeyboardEvent or FocusEvent, bubbling through its containers to the stage.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "movie/avm2/machine.h"
#include "movie/avm2/toplevel.h"

namespace orv::movie::avm2 {

// What a display object's script object says about the mouse and the keyboard focus.
struct InputFlags {
  bool mouseEnabled = true;
  bool mouseChildren = true;
  bool doubleClickEnabled = false;
  bool buttonMode = false;
  bool useHandCursor = true;
  bool tabChildren = true;
  bool buttonEnabled = true;  // SimpleButton.enabled
  bool trackAsMenu = false;
  int8_t tabEnabled = -1;  // -1: as its kind says
  int32_t tabIndex = -1;
  bool isButton = false;   // a SimpleButton a script made: it shows its states itself
  int8_t shownState = 0;   // 0 up, 1 over, 2 down
  Value focusRect = Value::null();
  Object* hitArea = nullptr;
  Object* states[4] = {};  // SimpleButton's up, over, down and hit-test states
};

// Pointer events; points in stage pixels. Each may throw ScriptThrow only when the
// scripts' time is up.
void pointerMove(Machine& m, double x, double y);
void pointerButton(Machine& m, bool down);
void pointerWheel(Machine& m, int delta);
// The middle or (`right`) the right button.
void pointerOtherButton(Machine& m, bool right, bool down);
// The display list changed under a still pointer: over and out as it now lies.
void pointerRefresh(Machine& m);
// Whether the object under the pointer shows the hand.
bool pointerHand(Machine& m);
// A key went down or up (Windows key codes); Tab moves the focus on key down.
void keyChanged(Machine& m, int keyCode, bool down);
// The player's window gained or lost the keyboard focus: a focused object hears focusOut
// as it is lost, and keeps the focus.
void windowFocus(Machine& m, bool gained);
// The object the keyboard focus is on (null: none), as stage.focus reads it.
Value focusedObject(Machine& m);
// `h` is leaving the stage: a focus on it or inside it goes.
void focusLeavesStage(Machine& m, DisplayHandle h);
// Moves the focus to `object` (null: none) with focusOut and focusIn.
void setFocus(Machine& m, const Value& object);
// The InteractiveObject a press at the point goes to: the stage when nothing else.
Value pickAt(Machine& m, double x, double y);
// The objects Tab visits, in order.
std::vector<Value> tabOrder(Machine& m);

// The rows of `own` and then those the class takes for the mouse and the focus
// (input_classes.cpp): `cls` is "DisplayObject", "DisplayObjectContainer", "Sprite" or
// "Stage". The table lives as long as the program.
std::span<const NativeMember> withInputMembers(std::string_view cls,
                                               std::span<const NativeMember> own);
void installInteractiveObject(Machine& m);
// A SimpleButton a script made shows `state` (0 up, 1 over, 2 down).
void showButtonState(Machine& m, Object* button, int state);
void installSimpleButton(Machine& m);

}  // namespace orv::movie::avm2
