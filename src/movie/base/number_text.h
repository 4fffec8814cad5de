// Numbers as the player prints them: 15 significant digits, exponent form outside
// 1e-5 .. 1e15, "NaN", "Infinity", "-Infinity".
#pragma once

#include <string>

namespace orv::movie::base {

std::string numberToText(double n);

}  // namespace orv::movie::base
