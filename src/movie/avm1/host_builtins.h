// Installers of the objects that stand between a movie and the machine around it, one
// file each. installPlayerBuiltins and installSystemBuiltins call them.
#pragma once

#include <string>

#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

// The version string scripts see as $version and System.capabilities.version.
inline constexpr const char* kPlayerVersion = "WIN 9,0,999,0";

void installSystemObject(Vm& vm);  // System, System.capabilities, System.security
void installStageObject(Vm& vm, Object* broadcaster);  // Stage (AsBroadcaster from SWF 6)
void installNetworkObjects(Vm& vm);  // XMLSocket, LocalConnection, SharedObject (SWF 6)
void installSharedObject(Vm& vm);    // SharedObject
void installVideoObjects(Vm& vm);    // Video, NetConnection, NetStream (SWF 6)
void installXmlBuiltins(Vm& vm);     // XMLNode, XML (after LoadVars' loading)

// What a built-in keeps on an object of its own where scripts cannot reach it: a table
// without a prototype in the object's primitive slot (plain objects only; others have none).
Object* hiddenState(Vm& vm, Object* o);  // made on first use
Value hiddenValue(Object* o, const char* name);
void setHidden(Vm& vm, Object* o, const char* name, const Value& v);

// "a=1&b=x%20y" into properties of `target`, as LoadVars.decode and loaded data do.
void decodeVariables(Vm& vm, Object* target, const std::string& text);

}  // namespace orv::movie::avm1
