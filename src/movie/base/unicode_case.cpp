#include "movie/base/unicode_case.h"

#include <algorithm>
#include <iterator>

namespace orv::movie {

namespace {

// Units first..last, every stride-th, map to themselves plus delta.
struct CaseRun {
  char16_t first, last;
  unsigned char stride;
  int delta;
};

#include "movie/base/unicode_case_table.inc"

template <size_t N>
char16_t mapUnit(const CaseRun (&runs)[N], char16_t c) {
  if (c < 0x41) return c;
  auto after = std::upper_bound(std::begin(runs), std::end(runs), c,
                                [](char16_t u, const CaseRun& r) { return u < r.first; });
  if (after == std::begin(runs)) return c;
  const CaseRun& r = *std::prev(after);
  if (c > r.last || (c - r.first) % r.stride != 0) return c;
  return static_cast<char16_t>(c + r.delta);
}

}  // namespace

char16_t toUpperUnit(char16_t c) { return mapUnit(kToUpper, c); }
char16_t toLowerUnit(char16_t c) { return mapUnit(kToLower, c); }

}  // namespace orv::movie
