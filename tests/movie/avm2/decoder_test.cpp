// Decoding and verifying method bodies: operands read once, branch targets as instruction
// indices, and the VerifyErrors bad code gives before it runs.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../abc/abc_writer.h"
#include "movie/avm2/decoder.h"

namespace orv::movie::avm2 {
namespace {

namespace op = test::op;
using test::Code;

struct Fixture {
  test::AbcBuilder abc;
  uint32_t method = abc.method();

  std::variant<DecodedMethod, VerifyFailure> decode(const Code& code,
                                                    const test::AbcBody& body = {}) {
    uint32_t b = abc.body(method, code, body);
    return decodeMethod(abc.file, abc.file.bodies[b], "test()");
  }
  std::variant<DecodedMethod, VerifyFailure> decode(std::vector<uint8_t> bytes,
                                                    const test::AbcBody& body = {}) {
    uint32_t b = abc.body(method, std::move(bytes), body);
    return decodeMethod(abc.file, abc.file.bodies[b], "test()");
  }
};

const DecodedMethod& ok(const std::variant<DecodedMethod, VerifyFailure>& r) {
  if (auto* f = std::get_if<VerifyFailure>(&r)) ADD_FAILURE() << f->message;
  static const DecodedMethod empty;
  auto* m = std::get_if<DecodedMethod>(&r);
  return m ? *m : empty;
}

int errorOf(const std::variant<DecodedMethod, VerifyFailure>& r) {
  auto* f = std::get_if<VerifyFailure>(&r);
  return f ? f->errorId : 0;
}

TEST(Avm2Decoder, TheListNamesEveryInstructionTheAssemblerKnows) {
  EXPECT_STREQ(instructionName(Op::throw_), "throw");
  EXPECT_STREQ(instructionName(Op::getlocal0), "getlocal0");
  EXPECT_STREQ(instructionName(Op::bitor_), "bitor");
  EXPECT_EQ(static_cast<uint8_t>(Op::callpropvoid), op::callpropvoid);
  EXPECT_EQ(static_cast<uint8_t>(Op::debugfile), op::debugfile);
  EXPECT_EQ(instructionInfo(op::lookupswitch).operands, Operands::Switch);
  EXPECT_EQ(instructionInfo(op::callproperty).operands, Operands::U30x2);
  EXPECT_EQ(instructionInfo(0x00).name, nullptr);
  EXPECT_EQ(instructionInfo(0xFF).name, nullptr);
  int count = 0;
  for (int c = 0; c < 256; ++c) count += instructionInfo(uint8_t(c)).name != nullptr;
  EXPECT_EQ(count, 164);
}

TEST(Avm2Decoder, OperandsAndTargetsAreDecodedOnce) {
  Fixture f;
  uint32_t name = f.abc.qname("trace");
  uint32_t str = f.abc.string("hi");
  Code c;
  auto loop = c.label(), out = c.label(), zero = c.label(), one = c.label();
  c.pushbyte(-3)                  // 0
      .op(op::pushshort, 0xFFFE)  // 1: -2 in 16 bits
      .op(op::pop)                // 2
      .op(op::pop)                // 3
      .bind(loop)
      .op(op::label)                  // 4
      .op(op::findpropstrict, name)   // 5
      .op(op::pushstring, str)        // 6
      .op(op::callpropvoid, name, 1)  // 7
      .op(op::pushtrue)               // 8
      .branch(op::iftrue, out)        // 9
      .branch(op::jump, loop)         // 10
      .bind(out)
      .op(op::getlocal1)                // 11
      .lookupswitch(zero, {zero, one})  // 12
      .bind(zero)
      .op(op::returnvoid)  // 13
      .bind(one)
      .op(op::debugline, 7)  // 14
      .op(op::returnvoid);   // 15
  auto r = f.decode(c, {.localCount = 2});
  const DecodedMethod& m = ok(r);
  ASSERT_EQ(m.code.size(), 16u);
  EXPECT_EQ(int32_t(m.code[0].a), -3);
  EXPECT_EQ(int32_t(m.code[1].a), -2);
  EXPECT_EQ(m.code[7].op, Op::callpropvoid);
  EXPECT_EQ(m.code[7].a, name);
  EXPECT_EQ(m.code[7].b, 1u);
  EXPECT_EQ(m.code[9].a, 11u);  // iftrue -> getlocal1
  EXPECT_EQ(m.code[10].a, 4u);  // jump back to the label
  const Instruction& sw = m.code[12];
  ASSERT_EQ(sw.b, 3u);  // default and two cases
  EXPECT_EQ(m.switchTargets[sw.a], 13u);
  EXPECT_EQ(m.switchTargets[sw.a + 1], 13u);
  EXPECT_EQ(m.switchTargets[sw.a + 2], 14u);
  EXPECT_EQ(m.code[14].a, 7u);
  EXPECT_EQ(m.code[5].offset, 9u);  // pushbyte 2 bytes, pushshort 4, pop, pop, label
}

TEST(Avm2Decoder, MalformedCodeIsAVerifyError) {
  auto expectError = [](int id, auto build, test::AbcBody body = {}) {
    Fixture f;
    auto r = build(f, body);
    EXPECT_EQ(errorOf(r), id) << (std::holds_alternative<VerifyFailure>(r)
                                      ? std::get<VerifyFailure>(r).message
                                      : "decoded");
  };
  // An opcode that is no instruction.
  expectError(1011, [](Fixture& f, auto b) { return f.decode(std::vector<uint8_t>{0xFE}, b); });
  // Code that ends inside an operand, or runs off the end.
  expectError(1020, [](Fixture& f, auto b) {
    return f.decode(std::vector<uint8_t>{op::pushshort, 0x80}, b);
  });
  expectError(1020, [](Fixture& f, auto b) { return f.decode(Code().op(op::nop), b); });
  expectError(1020, [](Fixture& f, auto b) { return f.decode(std::vector<uint8_t>{}, b); });
  expectError(1020, [](Fixture& f, auto b) {
    return f.decode(std::vector<uint8_t>{op::lookupswitch, 0, 0, 0, 0xFF, 0xFF, 0x03}, b);
  });
  // A branch into the middle of an instruction, or outside the code.
  expectError(1021, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::jump).s24(-2).op(op::returnvoid), b);
  });
  expectError(1021, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::jump).s24(50).op(op::returnvoid), b);
  });
  // Registers beyond the method's locals.
  expectError(1025, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::getlocal2).op(op::pop).op(op::returnvoid), b);
  });
  expectError(1025,
              [](Fixture& f, auto b) {
                return f.decode(Code().op(op::hasnext2, 0, 9).op(op::pop).op(op::returnvoid), b);
              },
              {.localCount = 2});
  // Pool indices out of range (multiname 0 is no name to look up).
  expectError(1032, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::pushstring, 99).op(op::pop).op(op::returnvoid), b);
  });
  expectError(1032, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::getlex, 0).op(op::pop).op(op::returnvoid), b);
  });
  // Entry 0 of the number pools is no number; classes and methods have counts of their own.
  expectError(1032, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::pushint, 0).op(op::pop).op(op::returnvoid), b);
  });
  expectError(1032, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::pushdouble, 0).op(op::pop).op(op::returnvoid), b);
  });
  expectError(1060, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::getlocal0).op(op::newclass, 40).op(op::pop).op(op::returnvoid), b);
  });
  expectError(1027, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::newfunction, 4000).op(op::pop).op(op::returnvoid), b);
  });
  // Handlers outside the code or not starting on an instruction.
  expectError(1054, [](Fixture& f, auto b) {
    b.exceptions = {{0, 40, 0, 0, 0}};
    return f.decode(Code().op(op::returnvoid), b);
  });
  expectError(1054, [](Fixture& f, auto b) {
    b.exceptions = {{2, 1, 0, 0, 0}};
    return f.decode(Code().pushbyte(1).op(op::returnvalue), b);
  });
  expectError(1021, [](Fixture& f, auto b) {
    b.exceptions = {{0, 3, 1, 0, 0}};
    return f.decode(Code().pushbyte(1).op(op::returnvalue), b);
  });
  // A forward branch into the middle of a later instruction.
  expectError(1021, [](Fixture& f, auto b) {
    return f.decode(Code().op(op::pushtrue).op(op::iftrue).s24(1).pushbyte(1).op(op::returnvalue),
                    b);
  });
}

TEST(Avm2Decoder, OnlyReachableCodeIsReadAndChecked) {
  Fixture f;
  // Bytes after a return, and a handler guarding only them, are never read.
  test::AbcBody body;
  body.exceptions = {{1, 3, 3, 0, 0}};
  auto r = f.decode(std::vector<uint8_t>{op::returnvoid, 0xFE, op::getlocal3, op::pop, 0xFE}, body);
  const DecodedMethod& m = ok(r);
  ASSERT_EQ(m.code.size(), 1u);
  ASSERT_EQ(m.handlers.size(), 1u);
  EXPECT_EQ(m.handlers[0].from, m.handlers[0].to);  // guards nothing
  // A handler guarding reached code is read and verified like the entry.
  Fixture g;
  test::AbcBody live;
  live.exceptions = {{0, 2, 2, 0, 0}};
  auto bad = g.decode(std::vector<uint8_t>{op::getlocal0, op::returnvalue, 0xFE}, live);
  EXPECT_EQ(errorOf(bad), 1011);
  // One guarding only code that cannot throw is never reached, and never checked.
  Fixture h;
  test::AbcBody quiet;
  quiet.exceptions = {{0, 3, 4, 0, 0}};
  auto unchecked = h.decode(
      std::vector<uint8_t>{op::pushbyte, 1, op::pop, op::returnvoid, 0xFE}, quiet);
  const DecodedMethod& q = ok(unchecked);
  ASSERT_EQ(q.handlers.size(), 1u);
  EXPECT_EQ(q.handlers[0].from, q.handlers[0].to);
}

TEST(Avm2Decoder, BranchesBackLandOnALabel) {
  Fixture f;
  // A loop whose head is a label is sound; a jump back onto itself or onto other code is not.
  Code loop;
  auto head = loop.label();
  loop.bind(head).op(op::label).op(op::getlocal0).op(op::pop).branch(op::jump, head);
  EXPECT_EQ(errorOf(f.decode(loop, {})), 0);
  Code spin;
  auto self = spin.label();
  spin.op(op::getlocal0).op(op::pop).bind(self).branch(op::jump, self);
  Fixture g;
  EXPECT_EQ(errorOf(g.decode(spin, {})), 1021);
  Code noLabel;
  auto top = noLabel.label();
  noLabel.bind(top).op(op::getlocal0).op(op::pop).op(op::pushtrue).branch(op::iftrue, top).op(op::returnvoid);
  Fixture h;
  EXPECT_EQ(errorOf(h.decode(noLabel, {})), 1021);
}

TEST(Avm2Decoder, StackAndScopeDepthsAreCheckedOnEveryPath) {
  auto errorFor = [](const Code& c, test::AbcBody body) {
    Fixture f;
    return errorOf(f.decode(c, body));
  };
  Code twoValues;
  twoValues.pushbyte(1).pushbyte(2).op(op::add).op(op::returnvalue);
  EXPECT_EQ(errorFor(twoValues, {.maxStack = 2}), 0);
  EXPECT_EQ(errorFor(twoValues, {.maxStack = 1}), 1023);
  EXPECT_EQ(errorFor(Code().op(op::pop).op(op::returnvoid), {}), 1024);
  // A call pops its receiver and arguments: two arguments need three values.
  EXPECT_EQ(errorFor(Code().pushbyte(1).pushbyte(1).op(op::call, 2).op(op::returnvalue), {}), 1024);
  Code scopes;
  scopes.op(op::getlocal0).op(op::pushscope).op(op::getlocal0).op(op::pushscope).op(op::returnvoid);
  EXPECT_EQ(errorFor(scopes, {.initScopeDepth = 3, .maxScopeDepth = 5}), 0);
  EXPECT_EQ(errorFor(scopes, {.initScopeDepth = 3, .maxScopeDepth = 4}), 1017);
  EXPECT_EQ(errorFor(Code().op(op::popscope).op(op::returnvoid), {}), 1018);
  EXPECT_EQ(errorFor(Code().op(op::getscopeobject).u8(0).op(op::returnvalue), {}), 1019);
  // Two paths meeting with different depths.
  Code uneven;
  auto join = uneven.label();
  uneven.op(op::pushtrue).branch(op::iftrue, join).pushbyte(1).bind(join).op(op::returnvoid);
  EXPECT_EQ(errorFor(uneven, {}), 1030);
  Code unevenScope;
  auto join2 = unevenScope.label();
  unevenScope.op(op::pushtrue)
      .branch(op::iftrue, join2)
      .op(op::getlocal0)
      .op(op::pushscope)
      .bind(join2)
      .op(op::returnvoid);
  EXPECT_EQ(errorFor(unevenScope, {}), 1031);
  // A handler starts with the exception on the stack and the scopes of its method.
  Code guarded;
  auto handler = guarded.label();
  guarded.op(op::getlocal0)
      .op(op::pushscope)
      .op(op::nop)
      .op(op::returnvoid)
      .bind(handler)
      .op(op::getlocal0)
      .op(op::pushscope)
      .op(op::throw_);
  test::AbcBody body{.maxStack = 1, .maxScopeDepth = 1};
  body.exceptions = {{0, 3, 4, 0, 0}};
  EXPECT_EQ(errorFor(guarded, body), 1023);  // the exception and `this` make two
  body.maxStack = 2;
  Fixture f;
  auto r = f.decode(guarded, body);
  const DecodedMethod& m = ok(r);
  ASSERT_EQ(m.handlers.size(), 1u);
  EXPECT_EQ(m.handlers[0].from, 0u);
  EXPECT_EQ(m.handlers[0].to, 3u);
  EXPECT_EQ(m.handlers[0].target, 4u);
}

TEST(Avm2Decoder, ArbitraryBytesNeverCrash) {
  std::mt19937 random(99);
  Fixture f;
  f.abc.qname("x");
  int decoded = 0;
  for (int i = 0; i < 20000; ++i) {
    std::vector<uint8_t> bytes(1 + random() % 24);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    if (i % 2) bytes.back() = op::returnvoid;
    abc::MethodBody body{0, 4, 3, 0, 2, bytes, {}, {}};
    if (i % 5 == 0)
      body.exceptions = {
          {uint32_t(random() % 30), uint32_t(random() % 30), uint32_t(random() % 30), 0, 0}};
    auto r = decodeMethod(f.abc.file, body, "fuzz()");
    decoded += std::holds_alternative<DecodedMethod>(r);
  }
  EXPECT_GT(decoded, 0);
}

}  // namespace
}  // namespace orv::movie::avm2
