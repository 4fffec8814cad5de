// RegExp objects and what String's methods do with one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "movie/avm2/toplevel.h"
#include "movie/regexp/regexp.h"

namespace orv::movie::avm2 {

class RegExpObject : public Object {
 public:
  using Object::Object;
  regexp::Program program;
  std::u16string source;
  int64_t lastIndex = 0;
  // False (the object unchanged) when the pattern does not compile.
  bool compile(std::u16string_view pattern, const regexp::Flags& flags);
};

// exec(): the match as an array with index and input, or null; global ones move lastIndex.
Value regexpExec(Machine& m, RegExpObject* r, std::u16string_view input);
// A RegExp for a String method's pattern argument (text becomes a pattern).
RegExpObject* toRegExp(Machine& m, const Value& v);
Value stringMatch(Machine& m, std::u16string_view s, RegExpObject* r);
Value stringSearch(Machine& m, std::u16string_view s, RegExpObject* r);
Value stringReplace(Machine& m, std::u16string_view s, RegExpObject* r, const Value& with);
Value stringSplit(Machine& m, std::u16string_view s, RegExpObject* r, std::optional<uint32_t> limit);

}  // namespace orv::movie::avm2
