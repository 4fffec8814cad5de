// A method body's code decoded once, before the method first runs: each instruction with
// its operands read and its branch targets turned into instruction indices, so the loop
// never re-reads variable-length bytes. Decoding verifies the code (verify()): opcodes,
// operands inside the code and the pools, registers, branch targets, exception ranges, and
// stack and scope depths along every path; a failure is a VerifyError with the player's
// number and message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "movie/abc/types.h"
#include "movie/avm2/instructions.h"

namespace orv::movie::avm2 {

struct Instruction {
  Op op = Op::nop;
  uint32_t offset = 0;  // where it starts in the code bytes
  // Operands: U8/U30 in a (pushbyte's byte sign-extended, pushshort's value sign-extended);
  // U30x2 in a and b; S24: a is the target's instruction index; Switch: a is the first of
  // b targets in DecodedMethod::switchTargets (the default first); Debug: a its index,
  // b its register.
  uint32_t a = 0, b = 0;
};

struct DecodedHandler {
  uint32_t from = 0, to = 0;          // the instructions [from, to) it guards
  uint32_t target = 0;                // the instruction it starts at
  uint32_t excType = 0, varName = 0;  // multinames, as the file gives them
};

struct DecodedMethod {
  std::vector<Instruction> code;
  std::vector<uint32_t> switchTargets;
  std::vector<DecodedHandler> handlers;
};

struct VerifyFailure {
  int errorId = 0;
  std::string message;  // "Error #N: ..." without the class name
};

// Decodes and verifies a body of `file`; `methodName` names it in messages.
std::variant<DecodedMethod, VerifyFailure> decodeMethod(const abc::AbcFile& file,
                                                        const abc::MethodBody& body,
                                                        std::string_view methodName);

}  // namespace orv::movie::avm2
