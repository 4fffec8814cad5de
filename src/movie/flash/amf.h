// Action Message Format 0 and 3: values to bytes and back (ByteArray's readObject and
// writeObject). Reading corrupt data throws the player's errors, never more.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

void writeAmf(Machine& m, std::vector<uint8_t>& out, const Value& v, bool amf0);
// The value at `at` in data[0, size), `at` moved past it.
Value readAmf(Machine& m, const uint8_t* data, size_t size, size_t& at, bool amf0);

}  // namespace orv::movie::avm2
