// The flash.* packages of the ActionScript 3 machine: each file installs its classes as
// tables (movie/avm2/toplevel.h), reaching the movie only through the machine's host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
void installFlashErrors(Machine& m);     // flash.errors
void installByteArray(Machine& m);       // flash.utils
void installNetAliases(Machine& m);      // flash.net's class aliases, after ByteArray
void installSharedObject(Machine& m);  // flash.net.SharedObject
void installUrlLoading(Machine& m);    // URLRequest, URLVariables, URLLoader
void installDictionary(Machine& m);
void installProxy(Machine& m);
void installApplicationDomain(Machine& m);  // flash.system
void installSoundClasses(Machine& m);       // flash.media

// Loads scripts started (URLLoader.load) read their files and send their events.
void runPendingLoads(Machine& m);
// Loaders' loads (loader_classes.cpp) likewise.
void runPendingContentLoads(Machine& m);
// A frame of the movie is being made: movies loaded from bytes since the last one make
// their first frame and root, and loaded movies run the code of the frames they reached.
void runLoadedMovieFrames(Machine& m);
// The domain of the movie a display object belongs to (see Host::movieOf).
uint32_t domainOfMovie(Machine& m, uint64_t movie);
// %XX (UTF-8 bytes) and '+' for a space, as URL query parts are written.
std::string decodeUrlComponent(std::string_view s);

// The movie ends: every shared object it opened that holds data (or was flushed) is
// written, except those whose unreadable file it never replaced.
void writeOpenSharedObjects(Machine& m);

// Throws error `id` as an instance of the class named `qualifiedClass`
// ("flash.errors.EOFError"), its message "Error #id: text".
[[noreturn]] void failAs(Machine& m, std::string_view qualifiedClass, int id, std::string_view text);
}  // namespace orv::movie::avm2
