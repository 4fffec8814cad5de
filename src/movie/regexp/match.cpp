// The backtracking matcher: one explicit stack of choice points and undo records, so neither
// nested groups nor long subjects recurse on the C++ stack.
#include <algorithm>

#include "movie/regexp/ops.h"
#include "movie/regexp/regexp.h"

namespace orv::movie::regexp {

char16_t canonicalize(char16_t ch) {
  char16_t u = ch;
  if (ch >= 'a' && ch <= 'z') {
    u = ch - 32;
  } else if (ch < 128) {
    return ch;
  } else if ((ch >= 0xE0 && ch <= 0xFE && ch != 0xF7)) {
    u = ch - 32;
  } else if (ch == 0xFF) {
    u = 0x178;
  } else if (ch == 0xB5) {
    u = 0x39C;
  } else if (ch >= 0x100 && ch <= 0x17F) {
    bool oddUpper = (ch >= 0x139 && ch <= 0x148) || (ch >= 0x179 && ch <= 0x17E);
    bool evenPair = (ch <= 0x12F) || (ch >= 0x132 && ch <= 0x137) || (ch >= 0x14A && ch <= 0x177);
    if (evenPair && (ch & 1)) u = ch - 1;
    if (oddUpper && !(ch & 1)) u = ch - 1;
  } else if (ch >= 0x3B1 && ch <= 0x3C9) {
    u = ch == 0x3C2 ? 0x3A3 : ch - 32;
  } else if (ch >= 0x430 && ch <= 0x44F) {
    u = ch - 32;
  } else if (ch >= 0x450 && ch <= 0x45F) {
    u = ch - 80;
  } else if (ch >= 0x460 && ch <= 0x481 && (ch & 1)) {
    u = ch - 1;
  } else if (ch >= 0xFF41 && ch <= 0xFF5A) {
    u = ch - 32;
  }
  if (ch >= 128 && u < 128) return ch;
  return u;
}

bool CharClass::contains(char16_t ch) const {
  auto it = std::upper_bound(ranges.begin(), ranges.end(), ch,
                             [](char16_t c, const auto& r) { return c < r.first; });
  if (it == ranges.begin()) return false;
  --it;
  return ch <= it->second;
}

std::u16string_view MatchResult::group(std::u16string_view input, int i) const {
  if (2 * i + 1 >= int(captures.size()) || captures[2 * i] < 0) return {};
  return input.substr(captures[2 * i], captures[2 * i + 1] - captures[2 * i]);
}

namespace {

bool isLineTerminator(char16_t c) { return c == 10 || c == 13 || c == 0x2028 || c == 0x2029; }
bool isWord(char16_t c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The code units whose canonical form is `canon`, as far as canonicalize's tables go.
bool classMatchesIgnoringCase(const CharClass& cc, char16_t ch) {
  char16_t canon = canonicalize(ch);
  bool in = cc.contains(ch) || cc.contains(canon);
  if (!in) {
    // The lower-case partners of canon.
    for (char16_t d : {char16_t(32), char16_t(1), char16_t(80)}) {
      char16_t cand = char16_t(canon + d);
      if (cand != ch && canonicalize(cand) == canon && cc.contains(cand)) {
        in = true;
        break;
      }
    }
    if (!in && canon == 0x178 && cc.contains(0xFF)) in = true;
    if (!in && canon == 0x39C && cc.contains(0xB5)) in = true;
    if (!in && canon == 0x3A3 && cc.contains(0x3C2)) in = true;
  }
  return in != cc.negated;
}

enum Entry : int32_t { kChoice, kUndoCapture, kUndoRegister, kLook, kSingleBack };

struct Frame {
  int32_t kind, a, b, c;
};

class Matcher {
 public:
  Matcher(const Program& p, std::u16string_view in, const MatchOptions& o)
      : prog_(p), in_(in), opt_(o) {
    caps_.assign(2 * (p.groupCount + 1), -1);
    regs_.assign(2 * p.loops.size(), 0);
  }

  MatchResult run(size_t start, bool anchored) {
    MatchResult r;
    if (start > in_.size()) return r;
    // When every match starts with one known single-unit test, skip the starts it rejects.
    const Inst* first = nullptr;
    const auto& code = prog_.code;
    size_t lead = 1;
    while (lead < code.size() && code[lead].op == kSave) ++lead;
    if (lead + 1 < code.size() && code[lead].op <= kClassI) first = &code[lead];
    if (lead + 2 < code.size() && code[lead].op == kRepeatSingle && code[lead].a > 0)
      first = &code[lead + 1];
    for (size_t s = start; s <= in_.size(); ++s) {
      if (first && !anchored) {
        while (s < in_.size() && !single(*first, in_[s])) ++s;
        if (s == in_.size()) break;
      }
      std::fill(caps_.begin(), caps_.end(), -1);
      stack_.clear();
      int outcome = attempt(int32_t(s));
      if (outcome == 1) {
        r.status = MatchResult::Status::kMatch;
        r.captures = caps_;
        return r;
      }
      if (outcome < 0) {
        r.status = MatchResult::Status::kTooComplex;
        return r;
      }
      if (anchored) break;
    }
    return r;
  }

 private:
  bool single(const Inst& in, char16_t ch) const {
    switch (in.op) {
      case kChar:
        return ch == in.a;
      case kCharI:
        return canonicalize(ch) == in.a;
      case kDot:
        return !isLineTerminator(ch);
      case kAny:
        return true;
      case kClass:
        return prog_.classes[in.a].contains(ch) != prog_.classes[in.a].negated;
      case kClassI:
        return classMatchesIgnoringCase(prog_.classes[in.a], ch);
      default:
        return false;
    }
  }

  void push(int32_t kind, int32_t a, int32_t b, int32_t c = 0) {
    stack_.push_back(Frame{kind, a, b, c});
  }
  void setCapture(int32_t slot, int32_t v) {
    push(kUndoCapture, slot, caps_[slot]);
    caps_[slot] = v;
  }
  void setRegister(int32_t r, int32_t v) {
    push(kUndoRegister, r, regs_[r]);
    regs_[r] = v;
  }

  // 1 matched, 0 failed, -1 too complex.
  int attempt(int32_t startPos) {
    const auto& code = prog_.code;
    const int32_t len = int32_t(in_.size());
    int32_t pc = 0, pos = startPos;
    for (;;) {
      if (++steps_ > opt_.maxSteps || stack_.size() > opt_.maxStackEntries) return -1;
      const Inst& ins = code[pc];
      bool ok = true;
      switch (ins.op) {
        case kChar:
        case kCharI:
        case kDot:
        case kAny:
        case kClass:
        case kClassI:
          if (pos < len && single(ins, in_[pos])) {
            ++pos;
            ++pc;
          } else {
            ok = false;
          }
          break;
        case kSplit:
          push(kChoice, ins.b, pos);
          pc = ins.a;
          break;
        case kJump:
          pc = ins.a;
          break;
        case kSave:
          setCapture(ins.a, pos);
          ++pc;
          break;
        case kBackref:
        case kBackrefI: {
          int32_t b = caps_[2 * ins.a], e = caps_[2 * ins.a + 1];
          if (b >= 0 && e >= b) {
            int32_t n = e - b;
            if (pos + n > len) {
              ok = false;
              break;
            }
            for (int32_t k = 0; k < n && ok; ++k) {
              char16_t x = in_[b + k], y = in_[pos + k];
              ok = ins.op == kBackref ? x == y : canonicalize(x) == canonicalize(y);
            }
            if (ok) pos += n;
          }
          ++pc;
          break;
        }
        case kBol:
          // Multiline: after a line terminator inside the text, not one that ends it.
          ok = pos == 0 || (ins.a && pos < len && isLineTerminator(in_[pos - 1]));
          ++pc;
          break;
        case kEol:
          ok = pos == len || (ins.a && isLineTerminator(in_[pos]));
          ++pc;
          break;
        case kWordBoundary:
        case kNotWordBoundary: {
          bool a = pos > 0 && isWord(in_[pos - 1]);
          bool b = pos < len && isWord(in_[pos]);
          ok = (a != b) == (ins.op == kWordBoundary);
          ++pc;
          break;
        }
        case kLookBegin:
          push(kLook, ins.a, pos, ins.b);
          ++pc;
          break;
        case kLookEnd: {
          size_t k = stack_.size();
          while (stack_[--k].kind != kLook) {
          }
          Frame look = stack_[k];
          if (look.a) {
            // The body matched, so the negative lookahead fails: undo to before it.
            while (stack_.size() > k + 1) {
              undoTop();
            }
            stack_.pop_back();
            ok = false;
            break;
          }
          // A positive lookahead is atomic: drop its choice points, keep its undo records.
          size_t w = k;
          for (size_t r = k + 1; r < stack_.size(); ++r)
            if (stack_[r].kind == kUndoCapture || stack_[r].kind == kUndoRegister)
              stack_[w++] = stack_[r];
          stack_.resize(w);
          pos = look.b;
          pc = look.c;
          break;
        }
        case kRepeatSingle: {
          const Inst& body = code[pc + 1];
          int32_t mn = ins.a, mx = ins.b;
          int32_t n = 0;
          while (n < mx && pos + n < len && single(body, in_[pos + n])) ++n;
          steps_ += uint64_t(n) / 4;
          if (n < mn) {
            ok = false;
            break;
          }
          if (n > mn) push(kSingleBack, pc + 2, pos + n, pos + mn);
          pos += n;
          pc += 2;
          break;
        }
        case kLoopInit:
          setRegister(2 * ins.a, 0);
          ++pc;
          break;
        case kLoopTest: {
          const Loop& lp = prog_.loops[ins.a];
          int32_t count = regs_[2 * ins.a];
          if (count >= lp.max) {
            pc = lp.exitPc;
          } else if (count < lp.min) {
            ++pc;
          } else if (lp.greedy) {
            push(kChoice, lp.exitPc, pos);
            ++pc;
          } else {
            push(kChoice, pc + 1, pos);
            pc = lp.exitPc;
          }
          break;
        }
        case kLoopEnter: {
          const Loop& lp = prog_.loops[ins.a];
          setRegister(2 * ins.a + 1, pos);
          for (int32_t g = lp.firstCapture; g < lp.endCapture; ++g) {
            if (caps_[2 * g] >= 0 || caps_[2 * g + 1] >= 0) {
              setCapture(2 * g, -1);
              setCapture(2 * g + 1, -1);
            }
          }
          ++pc;
          break;
        }
        case kLoopEnd: {
          const Loop& lp = prog_.loops[ins.a];
          int32_t count = regs_[2 * ins.a];
          if (count >= lp.min && pos == regs_[2 * ins.a + 1]) {
            ok = false;  // an empty iteration past the minimum
            break;
          }
          setRegister(2 * ins.a, count + 1);
          pc = ins.b;
          break;
        }
        case kMatch:
          return 1;
      }
      if (ok) continue;
      // Backtrack.
      for (;;) {
        if (stack_.empty()) return 0;
        Frame f = stack_.back();
        stack_.pop_back();
        if (f.kind == kUndoCapture) {
          caps_[f.a] = f.b;
        } else if (f.kind == kUndoRegister) {
          regs_[f.a] = f.b;
        } else if (f.kind == kChoice) {
          pc = f.a;
          pos = f.b;
          break;
        } else if (f.kind == kLook) {
          if (f.a) {  // the body failed: the negative lookahead holds
            pos = f.b;
            pc = f.c;
            break;
          }
        } else if (f.kind == kSingleBack) {
          int32_t p = f.b - 1;
          if (p > f.c) push(kSingleBack, f.a, p, f.c);
          pos = p;
          pc = f.a;
          break;
        }
        if (++steps_ > opt_.maxSteps) return -1;
      }
    }
  }

  void undoTop() {
    Frame f = stack_.back();
    stack_.pop_back();
    if (f.kind == kUndoCapture) caps_[f.a] = f.b;
    if (f.kind == kUndoRegister) regs_[f.a] = f.b;
  }

  const Program& prog_;
  std::u16string_view in_;
  const MatchOptions& opt_;
  std::vector<int32_t> caps_;
  std::vector<int32_t> regs_;
  std::vector<Frame> stack_;
  uint64_t steps_ = 0;
};

}  // namespace

MatchResult search(const Program& program, std::u16string_view input, size_t start,
                   const MatchOptions& options) {
  return Matcher(program, input, options).run(start, false);
}

MatchResult matchAt(const Program& program, std::u16string_view input, size_t start,
                    const MatchOptions& options) {
  return Matcher(program, input, options).run(start, true);
}

std::u16string expandReplacement(std::u16string_view rep, std::u16string_view input,
                                 const MatchResult& m) {
  std::u16string out;
  const int groups = int(m.captures.size() / 2) - 1;
  for (size_t i = 0; i < rep.size(); ++i) {
    char16_t c = rep[i];
    if (c != '$' || i + 1 >= rep.size()) {
      out += c;
      continue;
    }
    char16_t n = rep[i + 1];
    if (n == '$') {
      out += u'$';
      ++i;
    } else if (n == '&') {
      out += input.substr(m.begin(), m.end() - m.begin());
      ++i;
    } else if (n == '`') {
      out += input.substr(0, m.begin());
      ++i;
    } else if (n == '\'') {
      out += input.substr(m.end());
      ++i;
    } else if (n >= '0' && n <= '9') {
      int one = n - '0';
      int two = -1;
      if (i + 2 < rep.size() && rep[i + 2] >= '0' && rep[i + 2] <= '9')
        two = one * 10 + (rep[i + 2] - '0');
      if (two >= 1 && two <= groups) {
        out += m.group(input, two);
        // The player reads "$0N" as group N but goes on from the N: "$02" is group 2, then "2".
        i += one == 0 ? 1 : 2;
      } else if (one >= 1 && one <= groups) {
        out += m.group(input, one);
        i += 1;
      } else {
        out += c;
      }
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::optional<std::u16string>> split(const Program& program, std::u16string_view s,
                                                 std::optional<uint32_t> limit, bool* tooComplex,
                                                 const MatchOptions& options) {
  std::vector<std::optional<std::u16string>> a;
  if (tooComplex) *tooComplex = false;
  const uint64_t lim = limit ? *limit : 0xFFFFFFFFull;
  if (lim == 0) return a;
  auto complexHit = [&](const MatchResult& z) {
    if (z.status == MatchResult::Status::kTooComplex) {
      if (tooComplex) *tooComplex = true;
      return true;
    }
    return false;
  };
  if (s.empty()) {
    MatchResult z = matchAt(program, s, 0, options);
    if (complexHit(z)) return a;
    if (!z.matched()) a.emplace_back(std::u16string());
    return a;
  }
  size_t p = 0, q = 0;
  while (q != s.size()) {
    MatchResult z = matchAt(program, s, q, options);
    if (complexHit(z)) return a;
    if (!z.matched()) {
      ++q;
      continue;
    }
    size_t e = size_t(z.end());
    if (e == p) {
      ++q;
      continue;
    }
    a.emplace_back(std::u16string(s.substr(p, q - p)));
    if (a.size() == lim) return a;
    p = e;
    for (int g = 1; g <= program.groupCount; ++g) {
      if (z.groupMatched(g))
        a.emplace_back(std::u16string(z.group(s, g)));
      else
        a.emplace_back(std::nullopt);
      if (a.size() == lim) return a;
    }
    q = p;
  }
  a.emplace_back(std::u16string(s.substr(p)));
  return a;
}

}  // namespace orv::movie::regexp
