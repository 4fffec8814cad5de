// The machine's timers (flash.utils.Timer, setTimeout, setInterval) as the player runs
// them: on the host's clock, each tick.
#pragma once

#include <functional>

namespace orv::movie::avm2 {
class Machine;

// Fires the timers and callbacks due by `until` in the order they fall due, each with the
// host's clock moved to its time by `moveClock`, which at last moves it to `until`. Errors
// they throw go to the host. May throw ScriptThrow only when the scripts' time is up.
void runDueTimers(Machine& m, double until, const std::function<void(double)>& moveClock);
}  // namespace orv::movie::avm2
