#include "movie/base/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orv::movie::base {

std::string numberToText(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  if (n == 0) return "0";
  // 15 significant digits as d.dddddddddddddde[+-]xx, then plain or exponent form.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", n);
  std::string s(buf);
  bool negative = s[0] == '-';
  if (negative) s.erase(0, 1);
  size_t ePos = s.find('e');
  int exponent = std::atoi(s.c_str() + ePos + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, ePos - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out;
  if (exponent >= 15 || exponent < -5) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += exponent > 0 ? "e+" : "e-";
    out += std::to_string(std::abs(exponent));
  } else if (exponent < 0) {
    out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    size_t intDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out = digits + std::string(intDigits - digits.size(), '0');
    } else {
      out = digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
  }
  return negative ? "-" + out : out;
}

}  // namespace orv::movie::base
