// Decoding method bodies (bytes to instructions) and the verifier's flow pass.
#include "movie/avm2/decoder.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <queue>

namespace orv::movie::avm2 {

namespace {

VerifyFailure fail(int id, std::string text) {
  return {id, "Error #" + std::to_string(id) + ": " + std::move(text)};
}

// The variable-length numbers of the format, failing at the end of the code.
struct CodeReader {
  const std::vector<uint8_t>& bytes;
  size_t pos = 0;
  bool ok = true;

  uint8_t u8() {
    if (pos >= bytes.size()) return ok = false, 0;
    return bytes[pos++];
  }
  uint32_t u30() {
    uint32_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      uint8_t b = u8();
      if (!ok) return 0;
      v |= static_cast<uint32_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    return v;
  }
  int32_t s24() {
    uint32_t v = u8();
    v |= static_cast<uint32_t>(u8()) << 8;
    v |= static_cast<uint32_t>(u8()) << 16;
    if (v & 0x800000) v |= 0xFF000000u;
    return static_cast<int32_t>(v);
  }
};

bool isBranch(Op op) {
  auto c = static_cast<uint8_t>(op);
  return (c >= 0x0C && c <= 0x1A);
}

// Instructions that move values about without calling, converting or looking anything
// up: no error can come of them, so a handler guarding only these is never reached.
bool cannotThrow(Op op) {
  switch (op) {
    case Op::nop: case Op::label: case Op::bkpt: case Op::debug: case Op::debugline:
    case Op::debugfile: case Op::jump: case Op::pop: case Op::dup: case Op::swap:
    case Op::pushbyte: case Op::pushshort: case Op::pushtrue: case Op::pushfalse:
    case Op::pushnan: case Op::pushnull: case Op::pushundefined: case Op::pushint:
    case Op::pushuint: case Op::pushdouble: case Op::pushstring: case Op::pushnamespace:
    case Op::getlocal: case Op::getlocal0: case Op::getlocal1: case Op::getlocal2:
    case Op::getlocal3: case Op::setlocal: case Op::setlocal0: case Op::setlocal1:
    case Op::setlocal2: case Op::setlocal3: case Op::kill: case Op::returnvoid:
      return true;
    default:
      return false;
  }
}

bool endsFlow(Op op) {
  return op == Op::jump || op == Op::lookupswitch || op == Op::throw_ || op == Op::returnvoid ||
         op == Op::returnvalue;
}

// Registers an instruction reads or writes (up to two), or none.
int registersOf(const Instruction& in, uint32_t out[2]) {
  switch (in.op) {
    case Op::kill:
    case Op::getlocal:
    case Op::setlocal:
    case Op::inclocal:
    case Op::declocal:
    case Op::inclocal_i:
    case Op::declocal_i:
      out[0] = in.a;
      return 1;
    case Op::hasnext2:
      out[0] = in.a, out[1] = in.b;
      return 2;
    case Op::getlocal0:
    case Op::getlocal1:
    case Op::getlocal2:
    case Op::getlocal3:
      out[0] = static_cast<uint8_t>(in.op) - static_cast<uint8_t>(Op::getlocal0);
      return 1;
    case Op::setlocal0:
    case Op::setlocal1:
    case Op::setlocal2:
    case Op::setlocal3:
      out[0] = static_cast<uint8_t>(in.op) - static_cast<uint8_t>(Op::setlocal0);
      return 1;
    default:
      return 0;
  }
}

// Which pool an instruction's first operand indexes, and how big it is (0: none).
size_t poolSizeFor(const abc::AbcFile& f, Op op, bool& isMultiname) {
  isMultiname = false;
  switch (op) {
    case Op::pushstring:
    case Op::dxns:
    case Op::debugfile:
      return f.pool.strings.size();
    case Op::pushint:
      return f.pool.ints.size();
    case Op::pushuint:
      return f.pool.uints.size();
    case Op::pushdouble:
      return f.pool.doubles.size();
    case Op::pushnamespace:
      return f.pool.namespaces.size();
    case Op::newfunction:
      return f.methods.size();
    case Op::callstatic:
      return f.methods.size();
    case Op::newclass:
      return f.classes.size();
    case Op::getsuper:
    case Op::setsuper:
    case Op::callsuper:
    case Op::callproperty:
    case Op::constructprop:
    case Op::callproplex:
    case Op::callsupervoid:
    case Op::callpropvoid:
    case Op::getdescendants:
    case Op::findpropstrict:
    case Op::findproperty:
    case Op::finddef:
    case Op::getlex:
    case Op::setproperty:
    case Op::getproperty:
    case Op::initproperty:
    case Op::deleteproperty:
    case Op::coerce:
    case Op::astype:
    case Op::istype:
      isMultiname = true;
      return f.pool.multinames.size();
    default:
      return 0;
  }
}

// Values a multiname takes from the stack (its namespace and/or name found at run time).
uint32_t runtimeParts(const abc::AbcFile& f, uint32_t index) {
  const abc::Multiname& m = f.pool.multinames[index];
  return (m.runtimeNamespace() ? 1u : 0u) + (m.runtimeName() ? 1u : 0u);
}

struct Effect {
  uint32_t pops = 0, pushes = 0;
  int scope = 0;  // +1 pushes a scope, -1 pops one
};

// What an instruction whose operands do not change it does to the stacks.
Effect fixedEffect(Op op) {
  switch (op) {
    case Op::throw_:
    case Op::dxnslate:
    case Op::iftrue:
    case Op::iffalse:
    case Op::lookupswitch:
    case Op::pop:
    case Op::returnvalue:
    case Op::setlocal:
    case Op::setlocal0:
    case Op::setlocal1:
    case Op::setlocal2:
    case Op::setlocal3:
    case Op::setglobalslot:
      return {1, 0};
    case Op::pushwith:
    case Op::pushscope:
      return {1, 0, 1};
    case Op::popscope:
      return {0, 0, -1};
    case Op::ifnlt:
    case Op::ifnle:
    case Op::ifngt:
    case Op::ifnge:
    case Op::ifeq:
    case Op::ifne:
    case Op::iflt:
    case Op::ifle:
    case Op::ifgt:
    case Op::ifge:
    case Op::ifstricteq:
    case Op::ifstrictne:
    case Op::setslot:
    case Op::si8:
    case Op::si16:
    case Op::si32:
    case Op::sf32:
    case Op::sf64:
      return {2, 0};
    case Op::nextname:
    case Op::nextvalue:
    case Op::hasnext:
    case Op::astypelate:
    case Op::istypelate:
    case Op:: instanceof:
    case Op::in:
      return {2, 1};
    case Op::pushnull:
    case Op::pushundefined:
    case Op::pushbyte:
    case Op::pushshort:
    case Op::pushtrue:
    case Op::pushfalse:
    case Op::pushnan:
    case Op::pushstring:
    case Op::pushint:
    case Op::pushuint:
    case Op::pushdouble:
    case Op::pushnamespace:
    case Op::hasnext2:
    case Op::newfunction:
    case Op::newactivation:
    case Op::newcatch:
    case Op::finddef:
    case Op::getlex:
    case Op::getlocal:
    case Op::getlocal0:
    case Op::getlocal1:
    case Op::getlocal2:
    case Op::getlocal3:
    case Op::getglobalscope:
    case Op::getscopeobject:
    case Op::getglobalslot:
      return {0, 1};
    case Op::dup:
      return {1, 2};
    case Op::swap:
      return {2, 2};
    case Op::add:
    case Op::subtract:
    case Op::multiply:
    case Op::divide:
    case Op::modulo:
    case Op::lshift:
    case Op::rshift:
    case Op::urshift:
    case Op::bitand_:
    case Op::bitor_:
    case Op::bitxor:
    case Op::equals:
    case Op::strictequals:
    case Op::lessthan:
    case Op::lessequals:
    case Op::greaterthan:
    case Op::greaterequals:
    case Op::add_i:
    case Op::subtract_i:
    case Op::multiply_i:
      return {2, 1};
    case Op::newclass:
    case Op::getslot:
    case Op::convert_s:
    case Op::esc_xelem:
    case Op::esc_xattr:
    case Op::convert_i:
    case Op::convert_u:
    case Op::convert_d:
    case Op::convert_b:
    case Op::convert_o:
    case Op::checkfilter:
    case Op::coerce:
    case Op::coerce_b:
    case Op::coerce_a:
    case Op::coerce_i:
    case Op::coerce_d:
    case Op::coerce_s:
    case Op::coerce_u:
    case Op::coerce_o:
    case Op::astype:
    case Op::istype:
    case Op::negate:
    case Op::increment:
    case Op::decrement:
    case Op::typeof_:
    case Op::not_:
    case Op::bitnot:
    case Op::increment_i:
    case Op::decrement_i:
    case Op::negate_i:
    case Op::li8:
    case Op::li16:
    case Op::li32:
    case Op::lf32:
    case Op::lf64:
    case Op::sxi1:
    case Op::sxi8:
    case Op::sxi16:
      return {1, 1};
    default:
      return {0, 0};  // no stack effect: nop, label, kill, jumps, returnvoid, debug...
  }
}

// What an instruction does to the stacks; calls, property access and literals take
// as many values as their operands say.
Effect effectOf(const abc::AbcFile& f, const Instruction& in) {
  auto rt = [&] { return runtimeParts(f, in.a); };
  switch (in.op) {
    case Op::getsuper:
    case Op::getproperty:
    case Op::deleteproperty:
    case Op::getdescendants:
      return {1 + rt(), 1};
    case Op::setsuper:
    case Op::setproperty:
    case Op::initproperty:
      return {2 + rt(), 0};
    case Op::findpropstrict:
    case Op::findproperty:
      return {rt(), 1};
    case Op::call:
      return {2 + in.a, 1};
    case Op::construct:
    case Op::applytype:
      return {1 + in.a, 1};
    case Op::constructsuper:
      return {1 + in.a, 0};
    case Op::callmethod:
    case Op::callstatic:
      return {1 + in.b, 1};
    case Op::callsuper:
    case Op::callproperty:
    case Op::constructprop:
    case Op::callproplex:
      return {1 + rt() + in.b, 1};
    case Op::callsupervoid:
    case Op::callpropvoid:
      return {1 + rt() + in.b, 0};
    case Op::newobject:
      return {2 * in.a, 1};
    case Op::newarray:
      return {in.a, 1};
    default:
      return fixedEffect(in.op);
  }
}

// Walks every path from the entry and each handler, keeping one stack and scope depth per
// instruction.
std::optional<VerifyFailure> checkFlow(const abc::AbcFile& f, const abc::MethodBody& body,
                                       const DecodedMethod& m, const std::vector<bool>& live) {
  const size_t n = m.code.size();
  const uint32_t maxStack = body.maxStack;
  const int maxScope =
      body.maxScopeDepth > body.initScopeDepth ? int(body.maxScopeDepth - body.initScopeDepth) : 0;
  std::vector<int32_t> stackAt(n, -1), scopeAt(n, -1);
  std::deque<uint32_t> work;
  std::optional<VerifyFailure> error;
  auto reach = [&](uint32_t index, int32_t stack, int32_t scope) {
    if (error) return;
    if (index >= n) {
      error = fail(1020, "Code cannot fall off the end of a method.");
    } else if (stackAt[index] < 0) {
      stackAt[index] = stack, scopeAt[index] = scope;
      work.push_back(index);
    } else if (stackAt[index] != stack) {
      error = fail(1030, "Stack depth is unbalanced. " + std::to_string(stackAt[index]) +
                             " != " + std::to_string(stack) + ".");
    } else if (scopeAt[index] != scope) {
      error = fail(1031, "Scope depth is unbalanced. " + std::to_string(scopeAt[index]) +
                             " != " + std::to_string(scope) + ".");
    }
  };
  reach(0, 0, 0);
  for (size_t h = 0; h < m.handlers.size(); ++h)
    if (live[h]) reach(m.handlers[h].target, 1, 0);
  while (!work.empty() && !error) {
    uint32_t i = work.front();
    work.pop_front();
    const Instruction& in = m.code[i];
    int64_t stack = stackAt[i], scope = scopeAt[i];
    Effect e = effectOf(f, in);
    if (stack < e.pops) return fail(1024, "Stack underflow occurred.");
    stack = stack - e.pops + e.pushes;
    if (stack > maxStack) return fail(1023, "Stack overflow occurred.");
    if (in.op == Op::getscopeobject && in.a >= scope)
      return fail(1019, "Getscopeobject " + std::to_string(in.a) + " is out of bounds.");
    scope += e.scope;
    if (scope < 0) return fail(1018, "Scope stack underflow occurred.");
    if (scope > maxScope) return fail(1017, "Scope stack overflow occurred.");
    if (isBranch(in.op)) reach(in.a, int32_t(stack), int32_t(scope));
    if (in.op == Op::lookupswitch) {
      for (uint32_t k = 0; k < in.b; ++k)
        reach(m.switchTargets[in.a + k], int32_t(stack), int32_t(scope));
    }
    if (!endsFlow(in.op)) reach(i + 1, int32_t(stack), int32_t(scope));
  }
  return error;
}

}  // namespace

namespace {

// One instruction read at `offset`, its branch targets as byte offsets (the default first
// for lookupswitch), or a failure.
struct ReadInstruction {
  Instruction in;
  uint32_t length = 0;
  std::vector<int64_t> targets;
};

std::variant<ReadInstruction, VerifyFailure> readAt(const abc::AbcFile& file,
                                                    const abc::MethodBody& body, uint32_t offset,
                                                    std::string_view methodName) {
  const std::vector<uint8_t>& bytes = body.code;
  const VerifyFailure offEnd = fail(1020, "Code cannot fall off the end of a method.");
  CodeReader r{bytes, offset};
  ReadInstruction out;
  Instruction& in = out.in;
  in.offset = offset;
  uint8_t code = r.u8();
  const InstructionInfo& info = instructionInfo(code);
  if (!info.name) {
    return fail(1011, "Method " + std::string(methodName) + "() contained illegal opcode " +
                          std::to_string(code) + " at offset " + std::to_string(offset) + ".");
  }
  in.op = static_cast<Op>(code);
  switch (info.operands) {
    case Operands::None:
      break;
    case Operands::U8:
      in.a = r.u8();
      if (in.op == Op::pushbyte) in.a = static_cast<uint32_t>(int32_t(int8_t(in.a)));
      break;
    case Operands::U30:
      in.a = r.u30();
      if (in.op == Op::pushshort) in.a = static_cast<uint32_t>(int32_t(int16_t(in.a & 0xFFFF)));
      break;
    case Operands::U30x2:
      in.a = r.u30();
      in.b = r.u30();
      break;
    case Operands::S24: {
      int32_t delta = r.s24();
      out.targets.push_back(int64_t(r.pos) + delta);
      break;
    }
    case Operands::Switch: {
      int64_t base = offset;
      out.targets.push_back(base + r.s24());
      uint32_t cases = r.u30();
      if (!r.ok || cases > bytes.size()) return offEnd;  // each case needs 3 bytes
      for (uint32_t k = 0; k <= cases && r.ok; ++k) out.targets.push_back(base + r.s24());
      in.b = cases + 2;  // the default and cases + 1 offsets
      break;
    }
    case Operands::Debug:
      r.u8();
      in.a = r.u30();
      in.b = r.u8();
      r.u30();
      break;
  }
  if (!r.ok) return offEnd;
  out.length = static_cast<uint32_t>(r.pos - offset);
  bool multiname = false;
  size_t poolSize = poolSizeFor(file, in.op, multiname);
  if (in.op == Op::newclass && in.a >= poolSize)
    return fail(1060, "ClassInfo " + std::to_string(in.a) + " exceeds class_count=" +
                          std::to_string(poolSize) + ".");
  if ((in.op == Op::newfunction || in.op == Op::callstatic) && in.a >= poolSize)
    return fail(1027, "Method_info " + std::to_string(in.a) + " exceeds method_count=" +
                          std::to_string(poolSize) + ".");
  // Entry 0 of the number pools is no number: pushing it is out of range like a name's 0.
  const bool numberPool = in.op == Op::pushint || in.op == Op::pushuint || in.op == Op::pushdouble;
  if (poolSize && (in.a >= poolSize || ((multiname || numberPool) && in.a == 0))) {
    return fail(1032, "Cpool index " + std::to_string(in.a) + " is out of range " +
                          std::to_string(poolSize) + ".");
  }
  uint32_t regs[2];
  for (int k = 0, count = registersOf(in, regs); k < count; ++k) {
    if (regs[k] >= body.localCount)
      return fail(1025, "An invalid register " + std::to_string(regs[k]) + " was accessed.");
  }
  return out;
}

}  // namespace

// Only code a run can reach is read and checked, as the player does: from the entry, along
// branches and fall-through, and from each handler whose range guards reached code.
std::variant<DecodedMethod, VerifyFailure> decodeMethod(const abc::AbcFile& file,
                                                        const abc::MethodBody& body,
                                                        std::string_view methodName) {
  const std::vector<uint8_t>& bytes = body.code;
  const size_t size = bytes.size();
  const VerifyFailure offEnd = fail(1020, "Code cannot fall off the end of a method.");
  const VerifyFailure badTarget =
      fail(1021, "At least one branch target was not on a valid instruction in the method.");
  for (const abc::ExceptionInfo& e : body.exceptions) {
    if (e.from > e.to || e.to > size || e.target >= size ||
        e.excType >= file.pool.multinames.size() || e.varName >= file.pool.multinames.size())
      return fail(1054, "Illegal range or target offsets in exception handler.");
  }
  if (size == 0) return offEnd;

  // owner[o]: 0 unread, 1 the start of a read instruction, 2 inside one, 3 the start of
  // one that cannot throw.
  std::vector<uint8_t> owner(size, 0);
  std::vector<ReadInstruction> read;
  // Lowest offset first, so code is read in the order it is laid out and a branch into the
  // middle of an instruction finds that instruction already read.
  std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<uint32_t>> work;
  work.push(0);
  std::vector<bool> handlerLive(body.exceptions.size(), false);
  auto claim = [&](uint32_t offset) -> std::optional<VerifyFailure> {
    auto r = readAt(file, body, offset, methodName);
    if (auto* f = std::get_if<VerifyFailure>(&r)) return *f;
    ReadInstruction& ri = std::get<ReadInstruction>(r);
    for (uint32_t k = 0; k < ri.length; ++k)
      if (owner[offset + k] != 0) return badTarget;  // overlaps code read from elsewhere
    owner[offset] = cannotThrow(ri.in.op) ? 3 : 1;
    for (uint32_t k = 1; k < ri.length; ++k) owner[offset + k] = 2;
    Instruction& in = ri.in;
    if (!endsFlow(in.op)) {
      if (offset + ri.length >= size) return offEnd;
      work.push(offset + ri.length);
    }
    for (int64_t t : ri.targets) {
      if (t < 0 || t >= int64_t(size)) return badTarget;
      // A branch back (a loop, or onto itself) must land on a label.
      if (isBranch(in.op) && t <= int64_t(offset) && bytes[size_t(t)] != uint8_t(Op::label))
        return badTarget;
      work.push(static_cast<uint32_t>(t));
    }
    read.push_back(std::move(ri));
    return std::nullopt;
  };
  for (;;) {
    while (!work.empty()) {
      uint32_t offset = work.top();
      work.pop();
      if (owner[offset] == 1 || owner[offset] == 3) continue;
      if (owner[offset] == 2) return badTarget;
      if (auto error = claim(offset)) return *error;
    }
    // Handlers guarding reached code are reached in turn.
    bool more = false;
    for (size_t h = 0; h < body.exceptions.size(); ++h) {
      if (handlerLive[h]) continue;
      const abc::ExceptionInfo& e = body.exceptions[h];
      for (uint32_t o = e.from; o < e.to; ++o) {
        if (owner[o] == 1) {  // reached code that may throw
          handlerLive[h] = more = true;
          work.push(e.target);
          break;
        }
      }
    }
    if (!more) break;
  }

  std::sort(read.begin(), read.end(), [](const ReadInstruction& a, const ReadInstruction& b) {
    return a.in.offset < b.in.offset;
  });
  std::vector<int32_t> indexAt(size, -1);
  for (size_t i = 0; i < read.size(); ++i) indexAt[read[i].in.offset] = static_cast<int32_t>(i);
  DecodedMethod m;
  m.code.reserve(read.size());
  for (ReadInstruction& ri : read) {
    Instruction in = ri.in;
    if (in.op == Op::lookupswitch) {
      in.a = static_cast<uint32_t>(m.switchTargets.size());
      for (int64_t t : ri.targets) m.switchTargets.push_back(uint32_t(indexAt[size_t(t)]));
    } else if (!ri.targets.empty()) {
      in.a = static_cast<uint32_t>(indexAt[size_t(ri.targets[0])]);
    }
    m.code.push_back(in);
  }
  auto firstAtOrAfter = [&](uint32_t offset) {
    auto it = std::lower_bound(m.code.begin(), m.code.end(), offset,
                               [](const Instruction& in, uint32_t o) { return in.offset < o; });
    return static_cast<uint32_t>(it - m.code.begin());
  };
  for (size_t h = 0; h < body.exceptions.size(); ++h) {
    const abc::ExceptionInfo& e = body.exceptions[h];
    DecodedHandler d{firstAtOrAfter(e.from), firstAtOrAfter(e.to), 0, e.excType, e.varName};
    if (handlerLive[h]) {
      d.target = static_cast<uint32_t>(indexAt[e.target]);
    } else {
      d.from = d.to = 0;  // guards nothing that runs
    }
    m.handlers.push_back(d);
  }
  if (auto error = checkFlow(file, body, m, handlerLive)) return *error;
  return m;
}

}  // namespace orv::movie::avm2
