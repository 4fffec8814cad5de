// Running one method body alone on a machine of its own: the first loop's interface,
// kept for tests and benchmarks of the instruction loop. A movie's scripts run through
// Machine (machine.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "movie/abc/types.h"
#include "movie/avm2/decoder.h"
#include "movie/avm2/value.h"

namespace orv::movie::avm2 {

class Machine;
struct AbcUnit;

// A value a script threw and nothing caught; for the machine's own errors also their
// number and message ("Error #1502: ...").
struct Thrown {
  Value value;
  int errorId = 0;
  std::string message;
};

class Interpreter {
 public:
  explicit Interpreter(StringTable& names);
  ~Interpreter();
  // Runs `code` (decoded from `body` of `file`) with these registers: local 0 is `this`,
  // then the arguments; the rest start undefined. At most `budget` instructions run (an
  // endless loop ends with error #1502).
  std::variant<Value, Thrown> run(const abc::AbcFile& file, const abc::MethodBody& body,
                                  const DecodedMethod& code, std::vector<Value> args,
                                  uint64_t budget = 100'000'000);
  Machine& machine() { return *machine_; }

 private:
  std::unique_ptr<Machine> machine_;
  AbcUnit* unit_ = nullptr;
};

}  // namespace orv::movie::avm2
