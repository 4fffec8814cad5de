// The flash.* packages of the ActionScript 3 machine: each file installs its classes as
// tables (movie/avm2/toplevel.h), reaching the movie only through the machine's host.
#pragma once

namespace orv::movie::avm2 {
class Machine;

void installFlashPackages(Machine& m);

void installEventClasses(Machine& m);    // flash.events
void installEventDispatcher(Machine& m);  // EventDispatcher, IEventDispatcher
void installEventTypes(Machine& m);       // MouseEvent, KeyboardEvent, TimerEvent...
void installTimerClasses(Machine& m);     // flash.utils.Timer, setTimeout, getTimer
void installGeomClasses(Machine& m);      // flash.geom
void installGeomPointRect(Machine& m);    // Point, Rectangle
void installUiClasses(Machine& m);        // flash.ui
void installDisplayClasses(Machine& m);  // flash.display
}  // namespace orv::movie::avm2
