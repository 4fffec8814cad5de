// Display objects as scripts hold them: a script object bound to a host handle. The host
// keeps the display object while its script object lives; marking one marks its parent
// and children too, so what is on the stage lives as long as the root.
#pragma once

#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "movie/avm2/machine.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/input.h"

namespace orv::movie::avm2 {

class DisplayScript : public Object {
 public:
  using Object::Object;
  ~DisplayScript() override;
  Machine* machine = nullptr;
  DisplayHandle handle = 0;
  std::vector<Value> frameScripts;  // by frame from 0 (addFrameScript)
  bool heardOnStage = false;        // addedToStage reached it (and removedFromStage not since)
  Object* graphics = nullptr;       // made on first use
  InputFlags input;                 // the mouse and the focus
  // Sprite's and SimpleButton's soundTransform as set: volume, leftToLeft, leftToRight,
  // rightToLeft, rightToRight.
  std::array<double, 5> soundGains = {1, 1, 0, 0, 1};
  // Copies of the filters the script set last (flash/filter_classes.cpp), and the stamp
  // the host gave that list: while the host reports it, they are what is drawn.
  std::vector<Object*> filters;
  uint64_t filterStamp = 0;

  void markChildren(Marker& m) const override;
};

// The script object of a display object: made, and its class constructed (the one its
// symbol is linked to, else the one of its kind), when scripts first reach it; a parent
// that has one gets the new child as the property its name says. Null for handle 0.
// Throws what a constructor throws.
Value displayObjectFor(Machine& m, DisplayHandle h);
// Binds a new instance of `cls` to `h` and runs its constructor (the root's document class).
Value constructBound(Machine& m, ClassObject* cls, DisplayHandle h);
// Runs the frame script added for `frame` (from 0) of the object's clip; false when none.
bool runFrameScript(Machine& m, DisplayHandle h, int frame);
DisplayScript* displayOf(Machine& m, const Value& self, const char* method);

// The display list's events (added, removed and their stage counterparts go to what is
// inside the object too); the frame events go to every object on the stage.
void sendDisplayEvent(Machine& m, DisplayHandle h, std::string_view type, bool bubbles);
void sendAdded(Machine& m, DisplayHandle h);
void sendRemoved(Machine& m, DisplayHandle h);
// To every display object listening, on the stage or not, in the order they began to.
void broadcastFrameEvent(Machine& m, std::string_view type);
// Stage.invalidate(): the render event goes out once the frame's exitFrame has.
void invalidateStage(Machine& m);
void sendRenderIfInvalidated(Machine& m);
void installDisplayEvents(Machine& m);

// The DisplayObject part of a native subclass's initialiser: binds a new host object of
// `kind` to `self` (none when the host has no display list).
void initDisplayObject(Machine& m, const Value& self, DisplayKind kind);

// Blend modes by name as PlaceObject numbers them (0 for a name that is none) and back.
uint8_t blendModeNumber(std::string_view name);
const char* blendModeName(uint8_t mode);
// DisplayObject's transform and blendMode, and flash.geom.Transform.
std::span<const NativeMember> displayTransformMembers();
void installTransformClass(Machine& m);
// DisplayObject.loaderInfo (loader_classes.cpp): the opened movie's LoaderInfo, for anything on
// the stage; sendMainMovieLoaded, after the first frame, reports the movie loaded.
std::span<const NativeMember> displayLoaderInfoMembers();
void installLoaderInfo(Machine& m);
void sendMainMovieLoaded(Machine& m);

void installClipClasses(Machine& m);      // MovieClip, FrameLabel, Stage
void installGraphicsClasses(Machine& m);  // Graphics, Shape
void installBitmapClasses(Machine& m);    // BitmapData, Bitmap

}  // namespace orv::movie::avm2
