// The event flow of flash.events as the rest of the player drives it: events made and
// dispatched from C++ along a path of ancestors (the display list's containers), and the
// listeners a dispatcher holds.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

struct EventKind;  // a subclass's fields (events_types.cpp)

// flash.events.Event's state, and the fields of its subclasses (MouseEvent...).
class EventObject : public Object {
 public:
  using Object::Object;
  const EventKind* kind = nullptr;  // null: a plain Event (or a script's subclass of it)
  std::vector<Value> fields;        // by the kind's order
  Value type;  // a String, or null
  bool bubbles = false;
  bool cancelable = false;
  bool stopped = false;           // stopPropagation: the rest of this node, then no more
  bool stoppedImmediately = false;  // stopImmediatePropagation: no more listeners at all
  bool defaultPrevented = false;
  uint8_t phase = 2;  // EventPhase: 1 capturing, 2 at target, 3 bubbling
  Value target;
  Value currentTarget;

  void markChildren(Marker& m) const override;
};

// A new event of class `cls` ("flash.events.Event", "flash.events.MouseEvent"...): its
// constructor runs with `type`, `bubbles`, `cancelable`. May throw ScriptThrow.
EventObject* makeEvent(Machine& m, std::string_view type, bool bubbles = false,
                       bool cancelable = false, std::string_view cls = "flash.events.Event");

// Dispatches at `target` (no ancestors) a new event of class flash.events.`cls` made with
// these constructor arguments. May throw ScriptThrow.
void dispatchNewEvent(Machine& m, Object* target, std::string_view cls, std::vector<Value> args);

// Dispatches `event` at `target`. `ancestors` are the target's containers, its parent
// first: capture listeners run from the outermost in, then the target's own listeners,
// then, if the event bubbles, the ancestors' from the parent out. Errors a listener throws
// go to the host and the flow goes on. Returns false when a listener prevented the default.
// May throw ScriptThrow only when the scripts' time is up.
bool dispatchEvent(Machine& m, Object* target, EventObject* event,
                   std::span<Object* const> ancestors = {});

// Whether `target` has a listener for `type` (in either phase).
bool hasEventListener(Machine& m, Object* target, std::string_view type);

// When `target` began listening to `type` (a stamp that grows with each dispatcher and
// type that begins); 0 when it has no listener for it.
uint64_t listeningSince(Machine& m, Object* target, std::string_view type);
// How a script's dispatchEvent finds a dispatcher's parent for the capture and bubble
// phases: the display list installs it; without it events go to their target only.
using EventParentOf = Object* (*)(Machine& m, Object* dispatcher);
void setEventParentOf(Machine& m, EventParentOf parentOf);
// How a MouseEvent's stageX and stageY place its local point: the point (x, y) of the
// target's space on the stage, its y coordinate when `y`, else its x. Without it the event
// has no place there.
using EventLocalToStage = double (*)(Machine& m, Object* target, double x, double y, bool wantY);
void setEventLocalToStage(Machine& m, EventLocalToStage localToStage);

}  // namespace orv::movie::avm2
