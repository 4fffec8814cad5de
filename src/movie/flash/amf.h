// Action Message Format 0 and 3: values to bytes and back (ByteArray's readObject and
// writeObject). Reading corrupt data throws the player's errors, never more.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

void writeAmf(Machine& m, std::vector<uint8_t>& out, const Value& v, bool amf0);
// The value at `at` in data[0, size), `at` moved past it.
Value readAmf(Machine& m, const uint8_t* data, size_t size, size_t& at, bool amf0);

// A shared object's members as its file keeps them: each its name, its value and a zero
// byte, with one table of references across them all.
void writeAmfMembers(Machine& m, std::vector<uint8_t>& out,
                     const std::vector<std::pair<String*, Value>>& members, bool amf0);
// Throws the player's errors for members that do not read.
std::vector<std::pair<Value, Value>> readAmfMembers(Machine& m, const uint8_t* data, size_t size,
                                                   bool amf0);

}  // namespace orv::movie::avm2
