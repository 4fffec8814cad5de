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
  uint64_t listeningStamps = 0;  // the last stamp a dispatcher's first listener of a type got

  void markRoots(Marker& m) const override { m.mark(static_cast<Object*>(dispatcherClass)); }
};

// The receiver the player calls a callback with: a function's own global object (a
// method closure keeps its object anyway).
inline Value callbackReceiver(const Value& fn) {
  auto* f = fn.isObject() ? dynamic_cast<FunctionObject*>(fn.asObject()) : nullptr;
  if (f && !f->bound && f->scope && !f->scope->empty()) return f->scope->front().object;
  return Value::null();
}

// formatToString: "[Name a=1 b="text"]", args the class name, then the properties' names.
Value formatEventText(Machine& m, const Value& self, std::span<Value> args);

}  // namespace orv::movie::avm2
