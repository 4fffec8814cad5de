// What flash.events keeps per machine.
#pragma once

#include "movie/avm2/machine.h"
#include "movie/flash/events.h"

namespace orv::movie::avm2 {

struct EventsState : PackageState {
  ClassObject* dispatcherClass = nullptr;
  uint32_t storeSlot = 0;  // where a dispatcher keeps its listeners
  EventParentOf parentOf = nullptr;
  EventLocalToStage localToStage = nullptr;

  void markRoots(Marker& m) const override { m.mark(static_cast<Object*>(dispatcherClass)); }
};

// formatToString: "[Name a=1 b="text"]", args the class name, then the properties' names.
Value formatEventText(Machine& m, const Value& self, std::span<Value> args);

}  // namespace orv::movie::avm2
