// RegExp, and the String methods that take one (match, search, replace, split).
#include "movie/avm2/toplevel_regexp.h"

#include "movie/avm2/conversions.h"

namespace orv::movie::avm2 {

namespace {

Object* allocRegExp(Machine& m, ClassObject* cls) {
  auto* r = m.heap.make<RegExpObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
  r->compile(u"", {});
  return r;
}

RegExpObject* self_(Machine& m, const Value& self) {
  return receiver<RegExpObject>(m, self, "RegExp");
}

std::u16string flagText(const regexp::Flags& f) {
  std::u16string s;
  if (f.global) s += u'g';
  if (f.ignoreCase) s += u'i';
  if (f.multiline) s += u'm';
  if (f.dotAll) s += u's';
  if (f.extended) s += u'x';
  return s;
}

Value init(Machine& m, const Value& self, std::span<Value> args) {
  RegExpObject* r = self_(m, self);
  Value pattern = arg(args, 0);
  auto* other = pattern.isObject() ? dynamic_cast<RegExpObject*>(pattern.asObject()) : nullptr;
  std::u16string source = other ? other->source
                          : pattern.isUndefined() ? u"" : utf16(m.toString(pattern).view());
  regexp::Flags flags = other ? other->program.flags : regexp::Flags{};
  if (args.size() > 1 && !args[1].isUndefined()) {
    if (other) m.fail(ErrorClass::TypeError, 1100);
    flags = regexp::parseFlags(utf16(m.toString(args[1]).view()));
  }
  if (!r->compile(source, flags)) r->compile(u"(?!)", flags);  // what matches nothing
  return Value();
}

Value regexpMake(Machine& m, const Value& self, std::span<Value> args) {
  Value pattern = arg(args, 0);
  if (pattern.isObject() && dynamic_cast<RegExpObject*>(pattern.asObject()) &&
      (args.size() < 2 || args[1].isUndefined()))
    return pattern;
  return m.construct(self, args);
}

Value source(Machine& m, const Value& self, std::span<Value>) {
  return Value(StringRef(utf8(self_(m, self)->source)));
}
Value global(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->program.flags.global);
}
Value ignoreCase(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->program.flags.ignoreCase);
}
Value multiline(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->program.flags.multiline);
}
Value dotall(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->program.flags.dotAll);
}
Value extended(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->program.flags.extended);
}
Value lastIndex(Machine& m, const Value& self, std::span<Value>) {
  return Value(static_cast<int32_t>(self_(m, self)->lastIndex));
}
Value setLastIndex(Machine& m, const Value& self, std::span<Value> args) {
  self_(m, self)->lastIndex = m.toInt(arg(args, 0));
  return Value();
}

Value exec(Machine& m, const Value& self, std::span<Value> args) {
  return regexpExec(m, self_(m, self), utf16(m.toString(arg(args, 0)).view()));
}

Value test(Machine& m, const Value& self, std::span<Value> args) {
  return Value(!regexpExec(m, self_(m, self), utf16(m.toString(arg(args, 0)).view())).isNull());
}

Value toString(Machine& m, const Value& self, std::span<Value>) {
  RegExpObject* r = self_(m, self);
  return Value(StringRef(utf8(u"/" + r->source + u"/" + flagText(r->program.flags))));
}

const NativeMember kRegExpMembers[] = {
    {"source", MemberKind::Getter, source},
    {"global", MemberKind::Getter, global},
    {"ignoreCase", MemberKind::Getter, ignoreCase},
    {"multiline", MemberKind::Getter, multiline},
    {"dotall", MemberKind::Getter, dotall},
    {"extended", MemberKind::Getter, extended},
    {"lastIndex", MemberKind::Getter, lastIndex},
    {"lastIndex", MemberKind::Setter, setLastIndex},
    {"exec", MemberKind::Method, exec, 1},
    {"test", MemberKind::Method, test, 1},
    {"toString", MemberKind::Method, toString},
    {"length", MemberKind::Constant, nullptr, 0, 1},
};

regexp::MatchResult run(Machine& m, const RegExpObject* r, std::u16string_view input, size_t at) {
  regexp::MatchResult result = regexp::search(r->program, input, at);
  // A pattern that backtracks without end stops the script, as the time limit would.
  if (result.status == regexp::MatchResult::Status::kTooComplex) m.timeOut();
  return result;
}

Value group(std::u16string_view input, const regexp::MatchResult& match, int i) {
  if (!match.groupMatched(i)) return Value();
  return Value(StringRef(utf8(match.group(input, i))));
}

}  // namespace

bool RegExpObject::compile(std::u16string_view pattern, const regexp::Flags& flags) {
  auto result = regexp::compile(pattern, flags);
  if (auto* p = std::get_if<regexp::Program>(&result)) {
    program = std::move(*p);
    source = pattern;
    return true;
  }
  return false;
}

Value regexpExec(Machine& m, RegExpObject* r, std::u16string_view input) {
  bool global = r->program.flags.global;
  size_t start = global ? static_cast<size_t>(std::max<int64_t>(0, r->lastIndex)) : 0;
  if (start > input.size()) {
    r->lastIndex = 0;
    return Value::null();
  }
  regexp::MatchResult match = run(m, r, input, start);
  if (!match.matched()) {
    if (global) r->lastIndex = 0;
    return Value::null();
  }
  if (global) r->lastIndex = match.end();
  std::vector<Value> groups;
  for (int i = 0; i <= r->program.groupCount; ++i) groups.push_back(group(input, match, i));
  ArrayObject* a = m.newArray(std::move(groups));
  a->setOwn(m.intern("index"), Value(match.begin()));
  a->setOwn(m.intern("input"), Value(StringRef(utf8(input))));
  for (const auto& [name, index] : r->program.groupNames)
    a->setOwn(m.intern(utf8(name)), group(input, match, index));
  return Value(static_cast<Object*>(a));
}

RegExpObject* toRegExp(Machine& m, const Value& v) {
  if (v.isObject())
    if (auto* r = dynamic_cast<RegExpObject*>(v.asObject())) return r;
  // Anything else is the text of a pattern, undefined and null included ("undefined").
  ClassObject* cls = m.findClass("RegExp");
  std::vector<Value> args{Value(m.toString(v))};
  return static_cast<RegExpObject*>(m.construct(Value(static_cast<Object*>(cls)), args).asObject());
}

Value stringMatch(Machine& m, std::u16string_view s, RegExpObject* r) {
  if (!r->program.flags.global) return regexpExec(m, r, s);
  std::vector<Value> all;
  size_t at = 0;
  while (at <= s.size()) {
    regexp::MatchResult match = run(m, r, s, at);
    if (!match.matched()) break;
    all.push_back(group(s, match, 0));
    at = match.end() > match.begin() ? match.end() : match.end() + 1;
  }
  r->lastIndex = 0;
  // A global pattern that matches nowhere gives an empty array, not null.
  return Value(static_cast<Object*>(m.newArray(std::move(all))));
}

Value stringSearch(Machine& m, std::u16string_view s, RegExpObject* r) {
  regexp::MatchResult match = run(m, r, s, 0);
  return Value(match.matched() ? match.begin() : -1);
}

Value stringReplace(Machine& m, std::u16string_view s, RegExpObject* r, const Value& with) {
  bool isFunction = with.isObject() && dynamic_cast<FunctionObject*>(with.asObject());
  std::u16string replacement = isFunction ? u"" : utf16(m.toString(with).view());
  std::u16string out;
  size_t at = 0, copied = 0;
  while (at <= s.size()) {
    regexp::MatchResult match = run(m, r, s, at);
    if (!match.matched()) break;
    out.append(s.substr(copied, match.begin() - copied));
    if (isFunction) {
      std::vector<Value> args;
      for (int i = 0; i <= r->program.groupCount; ++i) args.push_back(group(s, match, i));
      args.emplace_back(match.begin());
      args.emplace_back(StringRef(utf8(s)));
      out += utf16(m.toString(m.call(with, Value::null(), args)).view());
    } else {
      out += regexp::expandReplacement(replacement, s, match);
    }
    copied = match.end();
    if (!r->program.flags.global) break;
    at = match.end() > match.begin() ? match.end() : match.end() + 1;
  }
  if (copied < s.size()) out.append(s.substr(copied));
  return Value(StringRef(utf8(out)));
}

Value stringSplit(Machine& m, std::u16string_view s, RegExpObject* r, std::optional<uint32_t> limit) {
  bool tooComplex = false;
  auto parts = regexp::split(r->program, s, limit, &tooComplex);
  if (tooComplex) m.timeOut();
  std::vector<Value> out;
  for (auto& p : parts) out.push_back(p ? Value(StringRef(utf8(*p))) : Value());
  return Value(static_cast<Object*>(m.newArray(std::move(out))));
}

void installRegExpClass(Machine& m) {
  installClass(m, {.name = "RegExp",
                   .members = kRegExpMembers,
                   .init = init,
                   .call = regexpMake,
                   .alloc = allocRegExp,
                   .initLength = 2});
}

}  // namespace orv::movie::avm2
