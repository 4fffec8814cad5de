// flash.media's sounds as the player runs them: channels whose sounds ended on their own
// tell their listeners, each tick.
#pragma once

namespace orv::movie::avm2 {
class Machine;

// Sends soundComplete to each channel whose sound has played out since the last call and
// lets it go. Errors listeners throw go to the host. May throw ScriptThrow only when the
// scripts' time is up.
void runSoundCompletions(Machine& m);
}  // namespace orv::movie::avm2
