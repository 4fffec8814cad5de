#include "movie/text/char_restrict.h"

#include <vector>

#include "movie/text/edit_text.h"

namespace orv::movie {

namespace {

struct CharRange {
  char32_t from = 0, to = 0;
  bool leftOut = false;
};

std::vector<CharRange> rangesOf(const std::u32string& list) {
  std::vector<CharRange> out;
  bool leftOut = false, dash = false;
  std::optional<char32_t> last;  // a single character a dash may start a range from
  for (size_t i = 0; i < list.size(); ++i) {
    char32_t c = list[i];
    if (c == U'^') {
      leftOut = !leftOut;
      last.reset();
      dash = false;
      continue;
    }
    if (c == U'-') {
      dash = true;  // dashes in a row are one
      continue;
    }
    if (c == U'\\') {
      if (i + 1 == list.size()) break;
      c = list[++i];
    }
    if (dash) {
      // A range ends at c; after a range (or at the start) it begins at the first character.
      const char32_t from = last.value_or(0);
      if (from <= c) out.push_back({from, c, leftOut});
      last.reset();
      dash = false;
    } else {
      out.push_back({c, c, leftOut});
      last = c;
    }
  }
  return out;
}

// `allByDefault`: the list starts with ^, so what it does not leave out comes in.
bool letIn(const std::vector<CharRange>& ranges, bool allByDefault, char32_t c) {
  bool in = allByDefault;
  for (const CharRange& r : ranges) {
    const bool covers = c >= r.from && c <= r.to;
    if (r.leftOut && covers) return false;
    if (!r.leftOut && covers) in = true;
  }
  return in;
}

}  // namespace

std::optional<char32_t> restrictedChar(const std::optional<std::string>& restrict, char32_t c) {
  if (!restrict) return c;
  if (restrict->empty()) return std::nullopt;
  const std::u32string list = decodeText(*restrict, true);
  const std::vector<CharRange> ranges = rangesOf(list);
  const bool all = !list.empty() && list.front() == U'^';
  if (letIn(ranges, all, c)) return c;
  char32_t other = c;
  if (c >= U'a' && c <= U'z') other = c - U'a' + U'A';
  if (c >= U'A' && c <= U'Z') other = c - U'A' + U'a';
  if (other != c && letIn(ranges, all, other)) return other;
  return std::nullopt;
}

}  // namespace orv::movie
