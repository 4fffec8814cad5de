// The instruction loop over a decoded method, first part: the instructions of values,
// registers, arithmetic, comparison, conversion, control flow and catch-all exception
// handlers. Instructions of objects, names and scopes come with the object model; until
// then they stop the run with a clear error rather than misbehave.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "movie/abc/types.h"
#include "movie/avm2/decoder.h"
#include "movie/avm2/value.h"

namespace orv::movie::avm2 {

// A value a script threw and nothing caught, or an error of the machine's own (errorId and
// the message as the player prints it: "Error #1001: ...").
struct Thrown {
  Value value;
  int errorId = 0;
  std::string message;
};

class Interpreter {
 public:
  explicit Interpreter(StringTable& names) : names_(names) {}
  // Runs `code` (decoded from `body` of `file`) with these registers: local 0 is `this`,
  // then the arguments; the rest start undefined. At most `budget` instructions run (an
  // endless loop ends with error #1502).
  std::variant<Value, Thrown> run(const abc::AbcFile& file, const abc::MethodBody& body,
                                  const DecodedMethod& code, std::vector<Value> args,
                                  uint64_t budget = 100'000'000);

 private:
  StringTable& names_;
};

}  // namespace orv::movie::avm2
