#include "movie/regexp/regexp.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace orv::movie::regexp {
namespace {

std::u16string u(std::string_view s) { return std::u16string(s.begin(), s.end()); }

Program compiled(std::string_view pattern, std::string_view flags = "") {
  auto r = compile(u(pattern), parseFlags(u(flags)));
  if (auto* e = std::get_if<SyntaxError>(&r)) {
    ADD_FAILURE() << "syntax error in " << pattern << ": " << e->message;
    return std::get<Program>(compile(u"", {}));
  }
  return std::get<Program>(std::move(r));
}

// The match and its groups as text, "undefined" for an unmatched group; "null" for no match.
std::string exec(std::string_view pattern, std::string_view input, std::string_view flags = "",
                 size_t start = 0) {
  Program p = compiled(pattern, flags);
  std::u16string in = u(input);
  MatchResult m = search(p, in, start);
  if (m.status == MatchResult::Status::kTooComplex) return "too complex";
  if (!m.matched()) return "null";
  std::string out;
  for (int g = 0; g <= p.groupCount; ++g) {
    if (g) out += ",";
    if (!m.groupMatched(g)) {
      out += "undefined";
      continue;
    }
    for (char16_t c : m.group(in, g)) out += char(c);
  }
  return out;
}

bool isSyntaxError(std::string_view pattern, std::string_view flags = "") {
  return std::holds_alternative<SyntaxError>(compile(u(pattern), parseFlags(u(flags))));
}

TEST(RegexpSemantics, DocumentedExamples) {
  EXPECT_EQ(exec("a[a-z]{2,4}", "abcdefghi"), "abcde");
  EXPECT_EQ(exec("a[a-z]{2,4}?", "abcdefghi"), "abc");
  EXPECT_EQ(exec("(aa|aabaac|ba|b|c)*", "aabaac"), "aaba,ba");
  EXPECT_EQ(exec("(z)((a+)?(b+)?(c))*", "zaacbbbcac"), "zaacbbbcac,z,ac,a,undefined,c");
  EXPECT_EQ(exec("(a*)*", "b"), ",undefined");
  EXPECT_EQ(exec("(a*)b\\1+", "baaaac"), "b,");
  EXPECT_EQ(exec("(?=(a+))", "baaabac"), ",aaa");
  EXPECT_EQ(exec("(?=(a+))a*b\\1", "baaabac"), "aba,a");
  EXPECT_EQ(exec("(.*?)a(?!(a+)b\\2c)\\2(.*)", "baaabaac"), "baaabaac,ba,undefined,abaac");
}

TEST(RegexpSemantics, LookaheadIsAtomicAndItsCapturesUndoOnBacktrack) {
  EXPECT_EQ(exec("((?=(a))x|a)", "a"), "a,a,undefined");
  EXPECT_EQ(exec("(?=(a+))a*b\\1", "aaab"), "null");  // no backtracking into the lookahead
  EXPECT_EQ(exec("(?!(a))\\w", "ab"), "b,undefined");
  EXPECT_EQ(exec("a(?=b)", "acab"), "a");
}

TEST(RegexpSemantics, EmptyIterationsStopTheLoop) {
  EXPECT_EQ(exec("(a*)*b", "aaac"), "null");
  EXPECT_EQ(exec("(a*)*b", "aaab"), "aaab,aaa");
  EXPECT_EQ(exec("(a|)+b", "ab"), "ab,a");
  EXPECT_EQ(exec("(?:){3}x", "x"), "x");
}

TEST(RegexpSemantics, QuantifiersGreedyAndLazy) {
  EXPECT_EQ(exec("a+", "caaat"), "aaa");
  EXPECT_EQ(exec("a+?", "caaat"), "a");
  EXPECT_EQ(exec("<.*>", "<a><b>"), "<a><b>");
  EXPECT_EQ(exec("<.*?>", "<a><b>"), "<a>");
  EXPECT_EQ(exec("x{2}", "xxxx"), "xx");
  EXPECT_EQ(exec("x{2,}", "xxxx"), "xxxx");
  EXPECT_EQ(exec("(x){0}y", "xy"), "y,undefined");
  EXPECT_EQ(exec("(ab){2,3}?", "abababab"), "abab,ab");
  EXPECT_EQ(exec("a{,2}", "a{,2}"), "a{,2}");  // not a quantifier: literal
  EXPECT_EQ(exec("a??b", "ab"), "ab");
}

TEST(RegexpSemantics, BackreferencesAndGroups) {
  EXPECT_EQ(exec("(a)|\\1b", "b"), "b,undefined");  // unmatched group matches empty
  EXPECT_EQ(exec("(\\w+) \\1", "hey hey you"), "hey hey,hey");
  EXPECT_EQ(exec("(?:ab)+(c)", "ababc"), "ababc,c");
  EXPECT_EQ(exec("(a)(?:b)(c)", "abc"), "abc,a,c");
  Program p = compiled("(?P<year>\\d{4})-(?P<month>\\d\\d)");
  EXPECT_EQ(p.groupIndex(u"year"), 1);
  EXPECT_EQ(p.groupIndex(u"month"), 2);
  EXPECT_EQ(p.groupIndex(u"day"), -1);
  EXPECT_EQ(exec("(?P<y>\\d{4})-(\\d\\d)", "on 2024-05"), "2024-05,2024,05");
}

TEST(RegexpSemantics, Escapes) {
  EXPECT_EQ(exec("\\x41\\u0042\\cJ", "AB\n"), "AB\n");
  EXPECT_EQ(exec("\\d+\\D", "ab12c"), "12c");
  EXPECT_EQ(exec("\\s\\S", "a b"), " b");
  EXPECT_EQ(exec("\\w+\\W", "hi there"), "hi ");
  EXPECT_EQ(exec("\\xZ", "xZ"), "xZ");  // not a hex escape
  EXPECT_EQ(exec("\\101", "A"), "A");   // octal when no such group
  EXPECT_EQ(exec("(a)\\1", "aa"), "aa,a");
  EXPECT_EQ(exec("(a)\\18", "aa8"), "aa8,a");  // \1 then a literal 8
  EXPECT_EQ(exec("\\8", "8"), "8");
  EXPECT_EQ(exec("[\\b]", "a\bb"), "\b");
  EXPECT_EQ(exec("\\.", "a.b"), ".");
}

TEST(RegexpSemantics, CharacterClasses) {
  EXPECT_EQ(exec("[a-c]+", "xxabcaz"), "abca");
  EXPECT_EQ(exec("[^a-c]+", "abxyzc"), "xyz");
  EXPECT_EQ(exec("[\\d.]+", "v1.25!"), "1.25");
  EXPECT_EQ(exec("[\\w-]+", "a-b c"), "a-b");
  EXPECT_EQ(exec("[a-]+", "-a-b"), "-a-");
  EXPECT_EQ(exec("[]a]", "]"), "null");  // ES3: [] is an empty class
  EXPECT_EQ(exec("[^\\s]+", "  xy "), "xy");
  EXPECT_EQ(exec("[\\D]", "1a"), "a");
}

TEST(RegexpSemantics, AnchorsAndBoundaries) {
  EXPECT_EQ(exec("^b", "a\nb"), "null");
  EXPECT_EQ(exec("^b", "a\nb", "m"), "b");
  // A line terminator that ends the text starts no line after it.
  EXPECT_EQ(exec("^$", "a\n", "m", 1), "null");
  EXPECT_EQ(exec("^$", "a\n\nb", "m", 1), "");
  EXPECT_EQ(exec("a$", "a\nb"), "null");
  EXPECT_EQ(exec("a$", "a\nb", "m"), "a");
  EXPECT_EQ(exec("\\bfoo\\b", "a foo b"), "foo");
  EXPECT_EQ(exec("\\bfoo\\b", "afoob"), "null");
  EXPECT_EQ(exec("\\Boo\\B", "afoob"), "oo");
  EXPECT_EQ(exec("a.c", "a\nc"), "null");
  EXPECT_EQ(exec("a.c", "a\nc", "s"), "a\nc");
}

TEST(RegexpSemantics, IgnoreCase) {
  EXPECT_EQ(exec("abc", "xABCx", "i"), "ABC");
  EXPECT_EQ(exec("[a-z]+", "HeLLo1", "i"), "HeLLo");
  EXPECT_EQ(exec("[A-Z]+", "hello", "i"), "hello");
  EXPECT_EQ(exec("(a)\\1", "aA", "i"), "aA,a");
  EXPECT_EQ(exec("\\u00e9", "\xc3\xa9", "i"), "null");  // bytes, not the code unit
  // ES3 keeps a character that would upper-case into ASCII: the dotless i is not I.
  Program p = compiled("I", "i");
  EXPECT_FALSE(search(p, u"\u0131", 0).matched());
  Program e = compiled("\\u00c9t\\u00c9", "i");
  EXPECT_TRUE(search(e, u"\u00e9t\u00e9", 0).matched());
  Program g = compiled("[\\u03b1-\\u03c9]+", "i");
  EXPECT_EQ(search(g, u"\u0391\u0392\u03a3", 0).end(), 3);
}

TEST(RegexpSemantics, ExtendedAndStartIndex) {
  EXPECT_EQ(exec("a b # comment\n c", "abc", "x"), "abc");
  EXPECT_EQ(exec("a[ ]b", "a b", "x"), "a b");
  EXPECT_EQ(exec("a", "aXa", "", 1), "a");
  Program p = compiled("a");
  MatchResult m = search(p, u"aXa", 1);
  EXPECT_EQ(m.begin(), 2);
  EXPECT_FALSE(matchAt(p, u"aXa", 1).matched());
  EXPECT_FALSE(search(p, u"a", 5).matched());
}

TEST(RegexpSyntax, ErrorsCarryMessages) {
  EXPECT_TRUE(isSyntaxError("("));
  EXPECT_TRUE(isSyntaxError("a)"));
  EXPECT_TRUE(isSyntaxError("*a"));
  EXPECT_TRUE(isSyntaxError("a**"));
  EXPECT_TRUE(isSyntaxError("[b-a]"));
  EXPECT_TRUE(isSyntaxError("a{3,2}"));
  EXPECT_TRUE(isSyntaxError("[abc"));
  EXPECT_TRUE(isSyntaxError("\\"));
  EXPECT_TRUE(isSyntaxError("(?<x>a)"));
  EXPECT_TRUE(isSyntaxError("\\bx*\\b+"));
  EXPECT_FALSE(isSyntaxError("a{2,3}b|c(?:d)(?=e)(?!f)"));
  auto r = compile(u"(ab", {});
  ASSERT_TRUE(std::holds_alternative<SyntaxError>(r));
  EXPECT_FALSE(std::get<SyntaxError>(r).message.empty());
}

TEST(RegexpHostile, DeepNestingAndSizes) {
  std::string deep(100000, '(');
  EXPECT_TRUE(isSyntaxError(deep));
  std::string nested;
  for (int k = 0; k < 150; ++k) nested += "(?:";
  nested += "a";
  for (int k = 0; k < 150; ++k) nested += ")*";
  EXPECT_EQ(exec(nested, "aaa"), "aaa");
  EXPECT_EQ(exec("a{0,2147483647}b", "aaab"), "aaab");
  EXPECT_EQ(exec("a{99999999999}", "aaa"), "null");
  EXPECT_EQ(exec("(?:a|b){2000000000}", "ab"), "null");
}

TEST(RegexpHostile, CatastrophicBacktrackingStopsAtTheBound) {
  std::string as(40, 'a');
  EXPECT_EQ(exec("(a+)+b", as), "too complex");
  EXPECT_EQ(exec("(?:){2000000000}x", "y"), "too complex");
  Program p = compiled("(a|aa)*c");
  MatchOptions small;
  small.maxSteps = 1000;
  EXPECT_EQ(search(p, u(std::string(30, 'a')), 0, small).status, MatchResult::Status::kTooComplex);
  // Long subjects do not recurse: a long match with a group per character.
  std::u16string big(200000, u'a');
  Program g = compiled("(a)*");
  MatchResult m = search(g, big, 0);
  ASSERT_TRUE(m.matched());
  EXPECT_EQ(m.end(), 200000);
}

// Random short patterns over the syntax's own characters: every one compiles or is refused,
// and every compiled one runs to a result within its bound.
TEST(RegexpHostile, RandomPatternsNeverBreakTheEngine) {
  std::mt19937 rng(7);
  const std::u16string alpha = u"ab()|*+?{}[]^$\\.-=!:,0123456789dswbBxuc";
  int compiledCount = 0;
  for (int n = 0; n < 20000; ++n) {
    std::u16string pattern;
    for (int k = int(rng() % 14); k > 0; --k) pattern += alpha[rng() % alpha.size()];
    Flags flags;
    flags.ignoreCase = rng() % 2;
    flags.multiline = rng() % 2;
    flags.extended = rng() % 4 == 0;
    auto r = compile(pattern, flags);
    auto* program = std::get_if<Program>(&r);
    if (!program) {
      EXPECT_FALSE(std::get<SyntaxError>(r).message.empty());
      continue;
    }
    ++compiledCount;
    std::u16string subject;
    for (int k = int(rng() % 12); k > 0; --k) subject += alpha[rng() % 6];
    MatchOptions options;
    options.maxSteps = 20000;
    MatchResult m = search(*program, subject, rng() % 3, options);
    if (m.matched()) {
      ASSERT_LE(m.begin(), m.end());
      ASSERT_LE(size_t(m.end()), subject.size());
      expandReplacement(u"$1$&$'$`$$", subject, m);
    }
    split(*program, subject, std::nullopt, nullptr, options);
  }
  EXPECT_GT(compiledCount, 5000);
}

std::string joinSplit(std::string_view pattern, std::string_view input,
                      std::optional<uint32_t> limit = std::nullopt) {
  Program p = compiled(pattern);
  auto parts = split(p, u(input), limit);
  std::string out = "[";
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) out += "|";
    if (!parts[k]) {
      out += "undefined";
      continue;
    }
    for (char16_t c : *parts[k]) out += char(c);
  }
  return out + "]";
}

TEST(RegexpString, SplitFollowsTheAlgorithm) {
  EXPECT_EQ(joinSplit("a*?", "ab"), "[a|b]");
  EXPECT_EQ(joinSplit("a*", "ab"), "[|b]");
  EXPECT_EQ(joinSplit("<(\\/)?([^<>]+)>", "A<B>bold</B>and<CODE>coded</CODE>"),
            "[A|undefined|B|bold|/|B|and|undefined|CODE|coded|/|CODE|]");
  EXPECT_EQ(joinSplit(",", "a,b,c", 2), "[a|b]");
  EXPECT_EQ(joinSplit(",", "a,b,c", 0), "[]");
  EXPECT_EQ(joinSplit("", "abc"), "[a|b|c]");
  EXPECT_EQ(joinSplit("\\s*", ""), "[]");
}

TEST(RegexpString, SplitOfEmptySubject) {
  Program p = compiled("x");
  auto parts = split(p, u"", std::nullopt);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(*parts[0], u"");
}

TEST(RegexpString, ReplacementExpansion) {
  Program p = compiled("(b)(c)?");
  std::u16string in = u"abd";
  MatchResult m = search(p, in, 0);
  ASSERT_TRUE(m.matched());
  EXPECT_EQ(expandReplacement(u"[$1|$2|$&|$`|$'|$$|$3|$0|$]", in, m), u"[b||b|a|d|$|$3|$0|$]");
  Program many = compiled("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)");
  std::u16string letters = u"abcdefghijk";
  MatchResult mm = search(many, letters, 0);
  EXPECT_EQ(expandReplacement(u"$11-$10-$1", letters, mm), u"k-j-a");
  EXPECT_EQ(expandReplacement(u"$12", letters, mm), u"a2");
  // "$0N" is group N, and the N is read again as text, as the player does.
  EXPECT_EQ(expandReplacement(u"$01$", letters, mm), u"a1$");
  EXPECT_EQ(expandReplacement(u"$02-$01", letters, mm), u"b2-a1");
}

TEST(RegexpSemantics, NamedGroupsAndTheirBackreferences) {
  EXPECT_EQ(exec("(?P<w>ab)-1-(?P=w)", "ab-1-ab"), "ab-1-ab,ab");
  EXPECT_EQ(exec("(?P<w>ab)-1-(?P=w)", "ab-1-ac"), "null");
  EXPECT_TRUE(isSyntaxError("(?P<w>a)(?P=x)"));
}

}  // namespace
}  // namespace orv::movie::regexp
