#pragma once
// flash.net.NetConnection (net_connection.cpp).
namespace orv::movie::avm2 {
class Machine;
void installNetConnection(Machine& m);
}  // namespace orv::movie::avm2
