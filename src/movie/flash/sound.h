// flash.media's sounds as the player runs them: channels whose sounds ended on their own
// tell their listeners, each tick.
#pragma once

#include <span>

#include "movie/avm2/value.h"

namespace orv::movie::avm2 {
class Machine;

// Sprite's and SimpleButton's soundTransform: a copy of what was set, in whole percents.
// It is kept for scripts to read; the sounds of the object's timeline play as they are.
Value displaySoundTransform(Machine& m, const Value& self, std::span<Value> args);
Value setDisplaySoundTransform(Machine& m, const Value& self, std::span<Value> args);

// Sends soundComplete to each channel whose sound has played out since the last call and
// lets it go. Errors listeners throw go to the host. May throw ScriptThrow only when the
// scripts' time is up.
void runSoundCompletions(Machine& m);
// Sound.load: reads the files asked for since the last call and tells the sounds'
// listeners; channels played before start. Errors as for runSoundCompletions.
void runPendingSoundLoads(Machine& m);
}  // namespace orv::movie::avm2
