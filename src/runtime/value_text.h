#pragma once

#include <string>

namespace orv {

// A number as text with the first character reserved for the sign: " 1035", "-120".
std::string signedNumberText(double value);

}  // namespace orv
