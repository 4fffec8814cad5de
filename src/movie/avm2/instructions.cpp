#include "movie/avm2/instructions.h"

#include <array>
#include <string_view>

namespace orv::movie::avm2 {

namespace {
std::array<InstructionInfo, 256> makeTable() {
  std::array<InstructionInfo, 256> table{};
#define ORV_AVM2_ROW(code, name, operands) table[code] = {#name, Operands::operands};
  ORV_AVM2_INSTRUCTIONS(ORV_AVM2_ROW)
#undef ORV_AVM2_ROW
  // The list's names avoid C++ keywords with a trailing underscore; the printed names do not.
  for (InstructionInfo& row : table) {
    if (!row.name) continue;
    std::string_view n(row.name);
    if (n == "throw_") row.name = "throw";
    if (n == "typeof_") row.name = "typeof";
    if (n == "not_") row.name = "not";
    if (n == "bitand_") row.name = "bitand";
    if (n == "bitor_") row.name = "bitor";
  }
  return table;
}
const std::array<InstructionInfo, 256> kTable = makeTable();
}  // namespace

const InstructionInfo& instructionInfo(uint8_t code) { return kTable[code]; }
const char* instructionName(Op op) { return kTable[static_cast<uint8_t>(op)].name; }

}  // namespace orv::movie::avm2
