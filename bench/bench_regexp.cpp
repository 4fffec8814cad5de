// The regular-expression engine against std::regex (ECMAScript grammar) on the same patterns
// and subjects, in one process. Prints each pattern's time per search and the ratio.
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>

#include "movie/regexp/regexp.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace rx = orv::movie::regexp;

struct Case {
  const char* name;
  const char* pattern;
  std::string subject;
};

template <class F>
double secondsPerRun(F&& f) {
  int runs = 1;
  for (;;) {
    auto t0 = Clock::now();
    for (int k = 0; k < runs; ++k) f();
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (s > 0.2) return s / runs;
    runs *= 2;
  }
}

}  // namespace

int main() {
  std::string text;
  for (int k = 0; k < 200; ++k) text += "The quick brown fox jumps over the lazy dog 12345. ";
  const Case cases[] = {
      {"literal at end", "lazy cat", text},
      {"word run", "[a-z]+ing", text},
      {"alternation", "(fox|dog|cat)s", text},
      {"digits group", "(\\d+)\\.\\s+$", text},
      {"lazy dot", "T.*?z", text},
      {"email-like", "[\\w.]+@[\\w]+\\.com", text + "mail someone@example.com"},
  };
  std::printf("%-16s %12s %12s %8s\n", "pattern", "ours (us)", "std (us)", "std/ours");
  for (const Case& c : cases) {
    std::u16string pat(c.pattern, c.pattern + std::string(c.pattern).size());
    std::u16string subject(c.subject.begin(), c.subject.end());
    auto compiled = rx::compile(pat, {});
    const rx::Program& program = std::get<rx::Program>(compiled);
    std::regex re(c.pattern, std::regex::ECMAScript);
    volatile int sink = 0;
    double ours = secondsPerRun([&] { sink = sink + rx::search(program, subject, 0).matched(); });
    double theirs = secondsPerRun([&] {
      std::smatch m;
      sink = sink + std::regex_search(c.subject, m, re);
    });
    std::printf("%-16s %12.1f %12.1f %8.2f\n", c.name, ours * 1e6, theirs * 1e6, theirs / ours);
  }
  return 0;
}
