// The flash.* packages of the ActionScript 3 machine: each file installs its classes as
// tables (movie/avm2/toplevel.h), reaching the movie only through the machine's host.
#pragma once

namespace orv::movie::avm2 {
class Machine;

void installFlashPackages(Machine& m);

void installDisplayClasses(Machine& m);  // flash.display
}  // namespace orv::movie::avm2
