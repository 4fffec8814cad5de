// Pattern parsing and code generation.
#include <algorithm>
#include <climits>
#include <memory>

#include "movie/regexp/ops.h"
#include "movie/regexp/regexp.h"

namespace orv::movie::regexp {
namespace {

constexpr int kMaxDepth = 200;
constexpr size_t kMaxPattern = 1 << 20;
constexpr int kMaxGroups = 65535;

enum class Kind {
  kEmpty,
  kChar,
  kDot,
  kClass,
  kSeq,
  kAlt,
  kGroup,
  kBackref,
  kAssert,
  kLook,
  kRepeat
};

struct Node {
  Kind kind = Kind::kEmpty;
  int32_t value = 0;  // char, class index, group index, backref, assertion op, look negated
  int32_t min = 0, max = 0;
  bool greedy = true;
  int32_t firstCapture = 0, endCapture = 0;
  std::vector<std::unique_ptr<Node>> kids;
};
using NodePtr = std::unique_ptr<Node>;

NodePtr make(Kind k, int32_t v = 0) {
  auto n = std::make_unique<Node>();
  n->kind = k;
  n->value = v;
  return n;
}

bool isLineTerminator(char16_t c) { return c == 10 || c == 13 || c == 0x2028 || c == 0x2029; }

int hexValue(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void addRange(CharClass& cc, char16_t lo, char16_t hi) { cc.ranges.emplace_back(lo, hi); }

void addDigits(CharClass& cc) { addRange(cc, '0', '9'); }
void addWord(CharClass& cc) {
  addRange(cc, '0', '9');
  addRange(cc, 'A', 'Z');
  addRange(cc, '_', '_');
  addRange(cc, 'a', 'z');
}
void addSpace(CharClass& cc) {
  addRange(cc, 9, 13);
  addRange(cc, 32, 32);
  addRange(cc, 0xA0, 0xA0);
  addRange(cc, 0x1680, 0x1680);
  addRange(cc, 0x180E, 0x180E);
  addRange(cc, 0x2000, 0x200A);
  addRange(cc, 0x2028, 0x2029);
  addRange(cc, 0x202F, 0x202F);
  addRange(cc, 0x205F, 0x205F);
  addRange(cc, 0x3000, 0x3000);
  addRange(cc, 0xFEFF, 0xFEFF);
}

void normalize(CharClass& cc) {
  auto& r = cc.ranges;
  std::sort(r.begin(), r.end());
  std::vector<std::pair<char16_t, char16_t>> out;
  for (auto& p : r) {
    if (!out.empty() && p.first <= out.back().second + 1)
      out.back().second = std::max(out.back().second, p.second);
    else
      out.push_back(p);
  }
  r = std::move(out);
}

void addComplement(CharClass& into, void (*fill)(CharClass&)) {
  CharClass tmp;
  fill(tmp);
  normalize(tmp);
  uint32_t next = 0;
  for (auto& p : tmp.ranges) {
    if (p.first > next) addRange(into, char16_t(next), char16_t(p.first - 1));
    next = uint32_t(p.second) + 1;
  }
  if (next <= 0xFFFF) addRange(into, char16_t(next), 0xFFFF);
}

struct Parser {
  std::u16string_view s;
  Flags flags;
  size_t i = 0;
  int depth = 0;
  int totalGroups = 0;
  int groups = 0;
  Program& prog;
  std::optional<SyntaxError> error;

  Parser(std::u16string_view text, const Flags& f, Program& p) : s(text), flags(f), prog(p) {}

  void fail(const char* msg) {
    if (!error) error = SyntaxError{msg, i};
  }
  bool atEnd() const { return i >= s.size(); }
  char16_t peek(size_t k = 0) const { return i + k < s.size() ? s[i + k] : 0; }

  void skipExtended() {
    if (!flags.extended) return;
    while (!atEnd()) {
      char16_t c = s[i];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
        ++i;
      } else if (c == '#') {
        while (!atEnd() && !isLineTerminator(s[i])) ++i;
      } else {
        break;
      }
    }
  }

  // Counts capturing groups ahead of parsing, so \N knows whether it is a backreference.
  void countGroups() {
    bool inClass = false;
    for (size_t k = 0; k < s.size(); ++k) {
      char16_t c = s[k];
      if (c == '\\') {
        ++k;
      } else if (inClass) {
        if (c == ']') inClass = false;
      } else if (c == '[') {
        inClass = true;
      } else if (c == '(') {
        if (k + 1 >= s.size() || s[k + 1] != '?' ||
            (k + 2 < s.size() && s[k + 2] == 'P' && k + 3 < s.size() && s[k + 3] == '<'))
          ++totalGroups;
      }
    }
  }

  NodePtr disjunction() {
    if (++depth > kMaxDepth) {
      fail("pattern nested too deeply");
      return make(Kind::kEmpty);
    }
    NodePtr first = alternative();
    if (peek() == '|' && !atEnd()) {
      auto alt = make(Kind::kAlt);
      alt->kids.push_back(std::move(first));
      while (!error && !atEnd() && peek() == '|') {
        ++i;
        alt->kids.push_back(alternative());
      }
      first = std::move(alt);
    }
    --depth;
    return first;
  }

  NodePtr alternative() {
    auto seq = make(Kind::kSeq);
    for (;;) {
      skipExtended();
      if (error || atEnd() || peek() == '|' || peek() == ')') break;
      NodePtr t = term();
      if (t) seq->kids.push_back(std::move(t));
    }
    return seq;
  }

  bool parseInt(int32_t& out) {
    if (atEnd() || peek() < '0' || peek() > '9') return false;
    int64_t v = 0;
    while (!atEnd() && peek() >= '0' && peek() <= '9') {
      v = std::min<int64_t>(v * 10 + (peek() - '0'), INT32_MAX);
      ++i;
    }
    out = int32_t(v);
    return true;
  }

  // Reads {n}, {n,}, {n,m} at i; leaves i alone when the brace is not a quantifier.
  bool braceQuantifier(int32_t& mn, int32_t& mx) {
    size_t save = i;
    ++i;
    if (!parseInt(mn)) {
      i = save;
      return false;
    }
    mx = mn;
    if (peek() == ',' && !atEnd()) {
      ++i;
      if (!parseInt(mx)) mx = INT32_MAX;
    }
    if (atEnd() || peek() != '}') {
      i = save;
      return false;
    }
    ++i;
    return true;
  }

  NodePtr term() {
    char16_t c = peek();
    int capBefore = groups;
    NodePtr atom;
    bool quantifiable = true;
    switch (c) {
      case '^':
        ++i;
        return make(Kind::kAssert, kBol);
      case '$':
        ++i;
        return make(Kind::kAssert, kEol);
      case '*':
      case '+':
      case '?':
        fail("nothing to repeat");
        return nullptr;
      case '{': {
        int32_t a, b;
        if (braceQuantifier(a, b)) {
          fail("nothing to repeat");
          return nullptr;
        }
        ++i;
        atom = make(Kind::kChar, c);
        break;
      }
      case '.':
        ++i;
        atom = make(Kind::kDot);
        break;
      case '[':
        atom = charClass();
        break;
      case '(':
        atom = group(quantifiable);
        break;
      case '\\':
        atom = atomEscape(quantifiable);
        break;
      default:
        ++i;
        atom = make(Kind::kChar, c);
        break;
    }
    if (error || !atom) return nullptr;
    skipExtended();
    int32_t mn = -1, mx = -1;
    char16_t q = peek();
    if (!atEnd()) {
      if (q == '*') {
        mn = 0, mx = INT32_MAX, ++i;
      } else if (q == '+') {
        mn = 1, mx = INT32_MAX, ++i;
      } else if (q == '?') {
        mn = 0, mx = 1, ++i;
      } else if (q == '{') {
        if (!braceQuantifier(mn, mx)) mn = -1;
      }
    }
    if (mn < 0) return atom;
    if (!quantifiable) {
      fail("nothing to repeat");
      return nullptr;
    }
    if (mn > mx) {
      fail("numbers out of order in {} quantifier");
      return nullptr;
    }
    auto rep = make(Kind::kRepeat);
    rep->min = mn;
    rep->max = mx;
    if (!atEnd() && peek() == '?') {
      rep->greedy = false;
      ++i;
    }
    rep->firstCapture = capBefore + 1;
    rep->endCapture = groups + 1;
    rep->kids.push_back(std::move(atom));
    return rep;
  }

  NodePtr group(bool& quantifiable) {
    ++i;  // (
    NodePtr node;
    if (peek() == '?' && !atEnd()) {
      char16_t k = peek(1);
      if (k == ':') {
        i += 2;
        node = disjunction();
      } else if (k == '=' || k == '!') {
        i += 2;
        node = make(Kind::kLook, k == '!');
        node->kids.push_back(disjunction());
        quantifiable = false;
      } else if (k == 'P' && peek(2) == '<') {
        i += 3;
        size_t nameStart = i;
        while (!atEnd() && peek() != '>') {
          char16_t n = peek();
          if (!(n == '_' || (n >= '0' && n <= '9') || (n >= 'a' && n <= 'z') ||
                (n >= 'A' && n <= 'Z'))) {
            fail("invalid group name");
            return nullptr;
          }
          ++i;
        }
        if (atEnd() || i == nameStart) {
          fail("invalid group name");
          return nullptr;
        }
        std::u16string name(s.substr(nameStart, i - nameStart));
        ++i;
        if (++groups > kMaxGroups) {
          fail("too many groups");
          return nullptr;
        }
        int index = groups;
        prog.groupNames.emplace_back(std::move(name), index);
        node = make(Kind::kGroup, index);
        node->kids.push_back(disjunction());
      } else if (k == 'P' && peek(2) == '=') {  // (?P=name): what the named group matched
        i += 3;
        size_t nameStart = i;
        while (!atEnd() && peek() != ')') ++i;
        const std::u16string name(s.substr(nameStart, i - nameStart));
        int index = 0;
        for (const auto& [known, g] : prog.groupNames)
          if (known == name) index = g;
        if (index == 0) {
          fail("unknown group name");
          return nullptr;
        }
        node = make(Kind::kBackref, index);
      } else {
        fail("invalid group");
        return nullptr;
      }
    } else {
      if (++groups > kMaxGroups) {
        fail("too many groups");
        return nullptr;
      }
      node = make(Kind::kGroup, groups);
      node->kids.push_back(disjunction());
    }
    if (error) return nullptr;
    if (atEnd() || peek() != ')') {
      fail("missing )");
      return nullptr;
    }
    ++i;
    return node;
  }

  // Escapes shared by atoms and classes; returns the code unit, or -1 with `cls` filled
  // for \d \D \s \S \w \W.
  int32_t characterEscape(bool inClass, CharClass* cls) {
    char16_t c = peek();
    ++i;
    switch (c) {
      case 'd':
        addDigits(*cls);
        return -1;
      case 'D':
        addComplement(*cls, addDigits);
        return -1;
      case 's':
        addSpace(*cls);
        return -1;
      case 'S':
        addComplement(*cls, addSpace);
        return -1;
      case 'w':
        addWord(*cls);
        return -1;
      case 'W':
        addComplement(*cls, addWord);
        return -1;
      case 'f':
        return 12;
      case 'n':
        return 10;
      case 'r':
        return 13;
      case 't':
        return 9;
      case 'v':
        return 11;
      case 'b':
        return 8;  // only reached inside a class
      case 'c': {
        char16_t l = peek();
        if ((l >= 'a' && l <= 'z') || (l >= 'A' && l <= 'Z')) {
          ++i;
          return l % 32;
        }
        --i;  // a backslash standing for itself, then the c
        return '\\';
      }
      case 'x': {
        int h1 = hexValue(peek()), h2 = hexValue(peek(1));
        if (i + 1 < s.size() && h1 >= 0 && h2 >= 0) {
          i += 2;
          return h1 * 16 + h2;
        }
        return 'x';
      }
      case 'u': {
        if (i + 3 < s.size()) {
          int v = 0;
          bool ok = true;
          for (int k = 0; k < 4; ++k) {
            int h = hexValue(s[i + k]);
            if (h < 0) ok = false;
            v = v * 16 + h;
          }
          if (ok) {
            i += 4;
            return v;
          }
        }
        return 'u';
      }
      default:
        if (c >= '0' && c <= '7') {
          // Octal: up to three digits, at most \377.
          int v = c - '0';
          for (int k = 0; k < 2 && peek() >= '0' && peek() <= '7' && !atEnd(); ++k) {
            int nv = v * 8 + (peek() - '0');
            if (nv > 0377) break;
            v = nv;
            ++i;
          }
          return v;
        }
        (void)inClass;
        return c;  // identity escape, \8 and \9 included
    }
  }

  NodePtr atomEscape(bool& quantifiable) {
    ++i;  // backslash
    if (atEnd()) {
      fail("\\ at end of pattern");
      return nullptr;
    }
    char16_t c = peek();
    if (c == 'b' || c == 'B') {
      ++i;
      quantifiable = false;
      return make(Kind::kAssert, c == 'b' ? kWordBoundary : kNotWordBoundary);
    }
    if (c >= '1' && c <= '9') {
      size_t save = i;
      int32_t n = 0;
      parseInt(n);
      // Take the longest prefix of the digits naming an existing group.
      while (n > totalGroups && i - save > 1) {
        n /= 10;
        --i;
      }
      if (n <= totalGroups) return make(Kind::kBackref, n);
      i = save;
    }
    CharClass cc;
    int32_t ch = characterEscape(false, &cc);
    if (ch >= 0) return make(Kind::kChar, ch);
    normalize(cc);
    prog.classes.push_back(std::move(cc));
    return make(Kind::kClass, int32_t(prog.classes.size() - 1));
  }

  NodePtr charClass() {
    ++i;  // [
    CharClass cc;
    if (peek() == '^' && !atEnd()) {
      cc.negated = true;
      ++i;
    }
    // One class atom: a code unit, or -1 for an escape class put straight into cc.
    auto classAtom = [&]() -> int32_t {
      char16_t c = peek();
      ++i;
      if (c != '\\') return c;
      if (atEnd()) {
        fail("\\ at end of pattern");
        return 0;
      }
      return characterEscape(true, &cc);
    };
    while (!error) {
      if (atEnd()) {
        fail("missing ] in character class");
        return nullptr;
      }
      if (peek() == ']') {
        ++i;
        break;
      }
      int32_t lo = classAtom();
      if (error) return nullptr;
      if (peek() == '-' && i + 1 < s.size() && peek(1) != ']') {
        ++i;
        int32_t hi = classAtom();
        if (error) return nullptr;
        if (lo < 0 || hi < 0) {
          // A class escape at either end: the hyphen is literal.
          if (lo >= 0) addRange(cc, char16_t(lo), char16_t(lo));
          if (hi >= 0) addRange(cc, char16_t(hi), char16_t(hi));
          addRange(cc, '-', '-');
          continue;
        }
        if (lo > hi) {
          fail("range out of order in character class");
          return nullptr;
        }
        addRange(cc, char16_t(lo), char16_t(hi));
      } else if (lo >= 0) {
        addRange(cc, char16_t(lo), char16_t(lo));
      }
    }
    normalize(cc);
    prog.classes.push_back(std::move(cc));
    return make(Kind::kClass, int32_t(prog.classes.size() - 1));
  }
};

bool isSingleUnit(const Node& n) {
  return n.kind == Kind::kChar || n.kind == Kind::kDot || n.kind == Kind::kClass;
}

struct Generator {
  Program& prog;
  int depth = 0;

  int32_t pc() const { return int32_t(prog.code.size()); }
  int32_t emit(Op op, int32_t a = 0, int32_t b = 0, int32_t c = 0) {
    prog.code.push_back(Inst{uint8_t(op), a, b, c});
    return pc() - 1;
  }

  void single(const Node& n) {
    if (n.kind == Kind::kChar) {
      if (prog.flags.ignoreCase)
        emit(kCharI, canonicalize(char16_t(n.value)));
      else
        emit(kChar, n.value);
    } else if (n.kind == Kind::kDot) {
      emit(prog.flags.dotAll ? kAny : kDot);
    } else {
      emit(prog.flags.ignoreCase ? kClassI : kClass, n.value);
    }
  }

  void gen(const Node& n) {
    switch (n.kind) {
      case Kind::kEmpty:
        break;
      case Kind::kChar:
      case Kind::kDot:
      case Kind::kClass:
        single(n);
        break;
      case Kind::kSeq:
        for (auto& k : n.kids) gen(*k);
        break;
      case Kind::kAlt: {
        std::vector<int32_t> jumps;
        for (size_t k = 0; k < n.kids.size(); ++k) {
          int32_t split = -1;
          if (k + 1 < n.kids.size()) split = emit(kSplit);
          if (split >= 0) prog.code[split].a = pc();
          gen(*n.kids[k]);
          if (k + 1 < n.kids.size()) {
            jumps.push_back(emit(kJump));
            prog.code[split].b = pc();
          }
        }
        for (int32_t j : jumps) prog.code[j].a = pc();
        break;
      }
      case Kind::kGroup:
        emit(kSave, 2 * n.value);
        gen(*n.kids[0]);
        emit(kSave, 2 * n.value + 1);
        break;
      case Kind::kBackref:
        emit(prog.flags.ignoreCase ? kBackrefI : kBackref, n.value);
        break;
      case Kind::kAssert:
        emit(Op(n.value), prog.flags.multiline);
        break;
      case Kind::kLook: {
        int32_t begin = emit(kLookBegin, n.value);
        gen(*n.kids[0]);
        emit(kLookEnd);
        prog.code[begin].b = pc();
        break;
      }
      case Kind::kRepeat: {
        const Node& body = *n.kids[0];
        if (n.max == 0) break;
        if (n.min == 1 && n.max == 1) {
          gen(body);
          break;
        }
        if (isSingleUnit(body) && n.greedy) {
          emit(kRepeatSingle, n.min, n.max);
          single(body);
          break;
        }
        int32_t q = int32_t(prog.loops.size());
        prog.loops.push_back(Loop{n.min, n.max, n.greedy, n.firstCapture, n.endCapture, 0});
        emit(kLoopInit, q);
        int32_t test = emit(kLoopTest, q);
        emit(kLoopEnter, q);
        gen(body);
        emit(kLoopEnd, q, test);
        prog.loops[q].exitPc = pc();
        break;
      }
    }
  }
};

}  // namespace

Flags parseFlags(std::u16string_view text) {
  Flags f;
  for (char16_t c : text) {
    if (c == 'g') f.global = true;
    if (c == 'i') f.ignoreCase = true;
    if (c == 'm') f.multiline = true;
    if (c == 's') f.dotAll = true;
    if (c == 'x') f.extended = true;
  }
  return f;
}

int Program::groupIndex(std::u16string_view name) const {
  for (auto& [n, index] : groupNames)
    if (n == name) return index;
  return -1;
}

std::variant<Program, SyntaxError> compile(std::u16string_view pattern, const Flags& flags) {
  if (pattern.size() > kMaxPattern) return SyntaxError{"pattern too long", 0};
  Program prog;
  prog.flags = flags;
  Parser parser(pattern, flags, prog);
  parser.countGroups();
  NodePtr root = parser.disjunction();
  if (!parser.error && !parser.atEnd()) parser.fail("unmatched )");
  if (parser.error) return *parser.error;
  prog.groupCount = parser.groups;
  Generator gen{prog};
  gen.emit(kSave, 0);
  gen.gen(*root);
  gen.emit(kSave, 1);
  gen.emit(kMatch);
  return prog;
}

}  // namespace orv::movie::regexp
