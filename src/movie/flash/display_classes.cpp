// The display classes as far as a document class needs them to be constructed: the
// inheritance chain of MovieClip. Their display behaviour comes with the display list.
#include "movie/avm2/toplevel.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

void installDisplayClasses(Machine& m) {
  installClass(m, {.package = "flash.display",
                   .name = "DisplayObject",
                   .base = "flash.events.EventDispatcher",
                   .dynamic = false});
  installClass(m, {.package = "flash.display",
                   .name = "InteractiveObject",
                   .base = "flash.display.DisplayObject",
                   .dynamic = false});
  installClass(m, {.package = "flash.display",
                   .name = "DisplayObjectContainer",
                   .base = "flash.display.InteractiveObject",
                   .dynamic = false});
  installClass(m, {.package = "flash.display",
                   .name = "Sprite",
                   .base = "flash.display.DisplayObjectContainer",
                   .dynamic = false});
  installClass(m, {.package = "flash.display", .name = "MovieClip", .base = "flash.display.Sprite"});
}

}  // namespace orv::movie::avm2
