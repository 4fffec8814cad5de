// Regular expressions for ActionScript 3: ECMAScript 3 patterns plus the s (dotall) and
// x (extended) flags and named groups (?P<name>...). Patterns and subjects are UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace orv::movie::regexp {

struct Flags {
  bool global = false;
  bool ignoreCase = false;
  bool multiline = false;
  bool dotAll = false;
  bool extended = false;
};

// Reads "gimsx"; other letters are ignored.
Flags parseFlags(std::u16string_view text);

struct Inst {
  uint8_t op = 0;
  int32_t a = 0, b = 0, c = 0;
};

struct CharClass {
  std::vector<std::pair<char16_t, char16_t>> ranges;  // sorted, merged
  bool negated = false;
  bool contains(char16_t ch) const;
};

struct Loop {
  int32_t min = 0, max = 0;  // max INT32_MAX: unbounded
  bool greedy = true;
  int32_t firstCapture = 0, endCapture = 0;  // groups cleared on each iteration
  int32_t exitPc = 0;
};

struct Program {
  std::vector<Inst> code;
  std::vector<CharClass> classes;
  std::vector<Loop> loops;
  int groupCount = 0;  // capturing groups, not counting the whole match
  std::vector<std::pair<std::u16string, int>> groupNames;
  Flags flags;
  // The group a name stands for, or -1.
  int groupIndex(std::u16string_view name) const;
};

struct SyntaxError {
  std::string message;
  size_t offset = 0;
};

std::variant<Program, SyntaxError> compile(std::u16string_view pattern, const Flags& flags);

struct MatchOptions {
  uint64_t maxSteps = 10'000'000;
  size_t maxStackEntries = 4'000'000;
};

struct MatchResult {
  enum class Status { kMatch, kNoMatch, kTooComplex };
  Status status = Status::kNoMatch;
  // Two entries per group, the whole match first: begin and end, -1 when unmatched.
  std::vector<int32_t> captures;

  bool matched() const { return status == Status::kMatch; }
  int32_t begin() const { return captures[0]; }
  int32_t end() const { return captures[1]; }
  bool groupMatched(int i) const { return captures[2 * i] >= 0; }
  std::u16string_view group(std::u16string_view input, int i) const;
};

// Searches from `start` onwards (the exec loop).
MatchResult search(const Program& program, std::u16string_view input, size_t start,
                   const MatchOptions& options = {});
// Matches only at `start`.
MatchResult matchAt(const Program& program, std::u16string_view input, size_t start,
                    const MatchOptions& options = {});

// String.replace's expansion of $1..$99, $&, $`, $' and $$ for one match.
std::u16string expandReplacement(std::u16string_view replacement, std::u16string_view input,
                                 const MatchResult& match);

// String.split with a RegExp separator; unmatched captures give nullopt (undefined).
// `limit` is already ToUint32'd; nullopt means no limit. `tooComplex` is set when a match
// hit the step bound (the result is then cut short).
std::vector<std::optional<std::u16string>> split(const Program& program, std::u16string_view input,
                                                 std::optional<uint32_t> limit,
                                                 bool* tooComplex = nullptr,
                                                 const MatchOptions& options = {});

// ES3 Canonicalize: the upper case of a single code unit, kept when that would leave ASCII.
char16_t canonicalize(char16_t ch);

}  // namespace orv::movie::regexp
