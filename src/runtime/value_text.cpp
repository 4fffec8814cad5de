#include "runtime/value_text.h"

#include <cmath>
#include <cstdio>

namespace orv {

std::string signedNumberText(double value) {
  char digits[64];
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
    std::snprintf(digits, sizeof digits, "%.0f", std::fabs(value));
  } else {
    // Single precision carries about seven significant digits.
    std::snprintf(digits, sizeof digits, "%.7g", std::fabs(value));
  }
  return std::string(value < 0 ? "-" : " ") + digits;
}

}  // namespace orv
