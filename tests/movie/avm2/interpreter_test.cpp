// The instruction loop on values: registers, arithmetic, comparisons and branches,
// conversions, switches, catch-all handlers, and the errors that stop a run.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../abc/abc_writer.h"
#include "movie/avm2/conversions.h"
#include "movie/avm2/interpreter.h"

namespace orv::movie::avm2 {
namespace {

namespace op = test::op;
using test::Code;

struct Machine {
  test::AbcBuilder abc;
  StringTable names;

  std::variant<Value, Thrown> operator()(const Code& code, std::vector<Value> args = {},
                                         test::AbcBody body = {.localCount = 4},
                                         uint64_t budget = 1'000'000) {
    uint32_t b = abc.body(abc.method(), code, body);
    const abc::MethodBody& mb = abc.file.bodies[b];
    auto decoded = decodeMethod(abc.file, mb, "test()");
    if (auto* f = std::get_if<VerifyFailure>(&decoded)) {
      ADD_FAILURE() << f->message;
      return Thrown{Value(), f->errorId, f->message};
    }
    Interpreter machine(names);
    return machine.run(abc.file, mb, std::get<DecodedMethod>(decoded), std::move(args), budget);
  }
};

std::string text(const std::variant<Value, Thrown>& r) {
  if (auto* t = std::get_if<Thrown>(&r))
    return "thrown " + (t->errorId ? t->message : toText(t->value));
  return toText(std::get<Value>(r));
}

TEST(Avm2Interpreter, ArithmeticKeepsIntsUntilTheyOverflow) {
  Machine run;
  EXPECT_EQ(text(run(Code().pushbyte(7).pushbyte(-3).op(op::subtract).op(op::returnvalue))), "10");
  auto big = run(Code()
                     .op(op::pushint, run.abc.integer(INT32_MAX))
                     .pushbyte(2)
                     .op(op::multiply)
                     .op(op::returnvalue));
  EXPECT_EQ(text(big), "4294967294");
  auto negZero = run(Code().pushbyte(0).pushbyte(-1).op(op::multiply).op(op::returnvalue));
  EXPECT_TRUE(std::signbit(std::get<Value>(negZero).numeric()));
  EXPECT_EQ(text(run(Code().pushbyte(7).pushbyte(2).op(op::divide).op(op::returnvalue))), "3.5");
  EXPECT_EQ(text(run(Code().pushbyte(-7).pushbyte(3).op(op::modulo).op(op::returnvalue))), "-1");
  EXPECT_EQ(text(run(Code().pushbyte(1).pushbyte(0).op(op::divide).op(op::returnvalue))),
            "Infinity");
  // Integer instructions wrap at 32 bits; shifts take their count modulo 32.
  EXPECT_EQ(text(run(Code()
                         .op(op::pushint, run.abc.integer(INT32_MAX))
                         .pushbyte(1)
                         .op(op::add_i)
                         .op(op::returnvalue))),
            "-2147483648");
  EXPECT_EQ(text(run(Code().pushbyte(1).pushbyte(33).op(op::lshift).op(op::returnvalue))), "2");
  EXPECT_EQ(text(run(Code().pushbyte(-1).pushbyte(28).op(op::urshift).op(op::returnvalue))), "15");
  EXPECT_EQ(text(run(Code().pushbyte(-16).pushbyte(2).op(op::rshift).op(op::returnvalue))), "-4");
  EXPECT_EQ(text(run(Code().pushbyte(5).op(op::bitnot).op(op::returnvalue))), "-6");
  // + joins text when either side is a string.
  uint32_t s = run.abc.string("n=");
  EXPECT_EQ(text(run(Code().op(op::pushstring, s).pushbyte(4).op(op::add).op(op::returnvalue))),
            "n=4");
  EXPECT_EQ(text(run(Code().op(op::pushstring, s).op(op::typeof_).op(op::returnvalue))), "string");
}

TEST(Avm2Interpreter, LoopsOverRegistersAndArguments) {
  // sum = 0; for (i = 1; i <= n; i++) sum += i; return sum;
  Machine run;
  Code c;
  auto test = c.label(), body = c.label();
  c.pushbyte(0).op(op::setlocal2).pushbyte(1).op(op::setlocal3).branch(op::jump, test);
  c.bind(body)
      .op(op::label)
      .op(op::getlocal2)
      .op(op::getlocal3)
      .op(op::add)
      .op(op::setlocal2)
      .op(op::inclocal_i, 3);
  c.bind(test)
      .op(op::getlocal3)
      .op(op::getlocal1)
      .branch(op::ifle, body)
      .op(op::getlocal2)
      .op(op::returnvalue);
  EXPECT_EQ(text(run(c, {Value(), Value(100)})), "5050");
  Machine again;
  EXPECT_EQ(text(again(c, {Value(), Value(StringRef("10"))})), "55");  // "10" compares as 10
}

TEST(Avm2Interpreter, BranchesTreatNaNAsUnordered) {
  // Each pair: the branch taken with (NaN, 1) and with (1, 2).
  struct Case {
    uint8_t op;
    bool takenNaN, taken12;
  } cases[] = {
      {op::iflt, false, true},  {op::ifnlt, true, false},       {op::ifle, false, true},
      {op::ifnle, true, false}, {op::ifgt, false, false},       {op::ifngt, true, true},
      {op::ifge, false, false}, {op::ifnge, true, true},        {op::ifeq, false, false},
      {op::ifne, true, true},   {op::ifstricteq, false, false}, {op::ifstrictne, true, true}};
  for (const Case& k : cases) {
    for (bool nan : {true, false}) {
      Machine run;
      Code c;
      auto yes = c.label();
      if (nan)
        c.op(op::pushnan).pushbyte(1);
      else
        c.pushbyte(1).pushbyte(2);
      c.branch(k.op, yes)
          .op(op::pushfalse)
          .op(op::returnvalue)
          .bind(yes)
          .op(op::pushtrue)
          .op(op::returnvalue);
      EXPECT_EQ(text(run(c)), (nan ? k.takenNaN : k.taken12) ? "true" : "false")
          << instructionName(static_cast<Op>(k.op)) << (nan ? " NaN" : " 1,2");
    }
  }
  Machine run;
  EXPECT_EQ(text(run(Code().op(op::pushnan).op(op::dup).op(op::greaterequals).op(op::returnvalue))),
            "false");
  EXPECT_EQ(
      text(run(Code().op(op::pushnull).op(op::pushundefined).op(op::equals).op(op::returnvalue))),
      "true");
}

TEST(Avm2Interpreter, SwitchesConversionsAndHandlers) {
  auto switchOn = [](Value v) {
    Machine run;
    Code c;
    auto a = c.label(), b = c.label(), d = c.label();
    c.op(op::getlocal1).lookupswitch(d, {a, b});
    c.bind(a).pushbyte(10).op(op::returnvalue);
    c.bind(b).pushbyte(20).op(op::returnvalue);
    c.bind(d).pushbyte(-1).op(op::returnvalue);
    return text(run(c, {Value(), v}));
  };
  EXPECT_EQ(switchOn(Value(0)), "10");
  EXPECT_EQ(switchOn(Value(1.0)), "20");
  EXPECT_EQ(switchOn(Value(2)), "-1");
  EXPECT_EQ(switchOn(Value(0.5)), "-1");
  EXPECT_EQ(switchOn(Value(-1)), "-1");

  Machine run;
  EXPECT_EQ(
      text(run(
          Code().op(op::pushdouble, run.abc.number(-1.5)).op(op::convert_u).op(op::returnvalue))),
      "4294967295");
  EXPECT_EQ(text(run(Code().op(op::pushundefined).op(op::coerce_s).op(op::returnvalue))), "null");
  EXPECT_EQ(text(run(Code().op(op::pushundefined).op(op::convert_s).op(op::returnvalue))),
            "undefined");

  // try { throw "boom" } catch (e) { return e + "!" }
  Code guarded;
  auto handler = guarded.label();
  guarded.op(op::pushstring, run.abc.string("boom"))
      .op(op::throw_)
      .bind(handler)
      .op(op::pushstring, run.abc.string("!"))
      .op(op::add)
      .op(op::returnvalue);
  test::AbcBody body{.localCount = 1};
  body.exceptions = {{0, 3, 3, 0, 0}};
  EXPECT_EQ(text(run(guarded, {}, body)), "boom!");
  // Outside any handler the value leaves the method.
  EXPECT_EQ(text(run(Code().pushbyte(9).op(op::throw_))), "thrown 9");
}

TEST(Avm2Interpreter, BadMemoryAccessesAndEndlessLoopsStopTheRun) {
  Machine run;
  constexpr uint8_t li8 = 0x35;  // a domain memory load, with no memory selected
  auto r = run(Code().pushbyte(0).op(li8).op(op::returnvoid));
  ASSERT_TRUE(std::holds_alternative<Thrown>(r));
  EXPECT_EQ(std::get<Thrown>(r).errorId, 1506);
  EXPECT_EQ(std::get<Thrown>(r).message, "Error #1506: The specified range is invalid.");
  // Descendants of null are a TypeError, as a property of null is.
  auto descendants =
      run(Code().op(op::pushnull).op(op::getdescendants, run.abc.qname("x")).op(op::returnvoid));
  ASSERT_TRUE(std::holds_alternative<Thrown>(descendants));
  EXPECT_EQ(std::get<Thrown>(descendants).errorId, 1009);
  // A null scope is a TypeError the script sees as an Error object.
  auto nullScope = run(Code().op(op::pushnull).op(op::pushscope).op(op::returnvoid));
  ASSERT_TRUE(std::holds_alternative<Thrown>(nullScope));
  EXPECT_EQ(std::get<Thrown>(nullScope).errorId, 1009);

  Code spin;
  auto top = spin.label();
  spin.bind(top).op(op::label).branch(op::jump, top).op(op::returnvalue);
  // A handler does not catch the time limit.
  test::AbcBody body{.localCount = 1};
  body.exceptions = {{0, 5, 5, 0, 0}};
  auto endless = run(spin, {}, body, 10'000);
  ASSERT_TRUE(std::holds_alternative<Thrown>(endless));
  EXPECT_EQ(std::get<Thrown>(endless).errorId, 1502);
}

}  // namespace
}  // namespace orv::movie::avm2
