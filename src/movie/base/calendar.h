#pragma once
// The calendar arithmetic of ECMAScript dates: a time value counts milliseconds since
// 1970-01-01 UTC, and years follow the proleptic Gregorian calendar. Both script machines'
// Date classes stand on it.
#include <cmath>

namespace orv::movie::calendar {

inline constexpr double kMsPerDay = 86400000.0;

inline double day(double t) { return std::floor(t / kMsPerDay); }

inline double daysInYear(double y) {
  if (std::fmod(y, 4) != 0) return 365;
  if (std::fmod(y, 100) != 0) return 366;
  if (std::fmod(y, 400) != 0) return 365;
  return 366;
}

inline double dayFromYear(double y) {
  return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
         std::floor((y - 1601) / 400);
}

inline double yearFromTime(double t) {
  double y = std::floor(t / (kMsPerDay * 365.2425)) + 1970;
  while (dayFromYear(y) * kMsPerDay > t) --y;
  while (dayFromYear(y + 1) * kMsPerDay <= t) ++y;
  return y;
}

}  // namespace orv::movie::calendar
