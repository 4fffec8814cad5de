// The action loop: decodes AVM1 actions from a buffer and runs each one's handler on a
// Frame.
#include <chrono>

#include "movie/avm1/action_run.h"

namespace orv::movie::avm1 {

// X(action, handler call): what each action runs. An action not here (End, or a code no
// action has) is no case of the loop: End ends the pass, the others are skipped by their
// length.
#define ORV_AVM1_ACTION_HANDLERS(X)         \
  /* clip control */                        \
  X(NextFrame, timeline(op))                \
  X(PreviousFrame, timeline(op))            \
  X(Play, timeline(op))                     \
  X(Stop, timeline(op))                     \
  X(ToggleQuality, player(op))              \
  X(StopSounds, player(op))                 \
  X(EndDrag, player(op))                    \
  X(Trace, player(op))                      \
  X(GotoFrame, gotoFrame(r))                \
  X(GoToLabel, gotoLabel(r))                \
  X(GotoFrame2, gotoFrame2(r))              \
  X(WaitForFrame, waitForFrame(r))          \
  X(WaitForFrame2, waitForFrame2(r))        \
  X(Call, callFrame())                      \
  X(SetTarget, setTarget(r))                \
  X(SetTarget2, setTarget2())               \
  X(GetProperty, getProperty())             \
  X(SetProperty, setProperty())             \
  X(TargetPath, targetPath())               \
  X(CloneSprite, cloneSprite())             \
  X(RemoveSprite, removeSprite())           \
  X(StartDrag, startDrag())                 \
  X(GetURL, getURL(r))                      \
  X(GetURL2, getURL2(r))                    \
  /* stack and arithmetic */                \
  X(Push, pushValues(r))                    \
  X(Pop, f.pop())                           \
  X(PushDuplicate, pushDuplicate())         \
  X(StackSwap, stackSwap())                 \
  X(StoreRegister, storeRegister(r))        \
  X(Add, arithmetic(op))                    \
  X(Subtract, arithmetic(op))               \
  X(Multiply, arithmetic(op))               \
  X(Divide, arithmetic(op))                 \
  X(Modulo, arithmetic(op))                 \
  X(Increment, step(op))                    \
  X(Decrement, step(op))                    \
  X(Add2, add2())                           \
  X(Equals, compareNumbers(op))             \
  X(Less, compareNumbers(op))               \
  X(And, logic(op))                         \
  X(Or, logic(op))                          \
  X(Not, logic(op))                         \
  X(Less2, compare(op))                     \
  X(Greater, compare(op))                   \
  X(Equals2, compare(op))                   \
  X(StrictEquals, compare(op))              \
  X(StringEquals, compareStrings(op))       \
  X(StringLess, compareStrings(op))         \
  X(StringGreater, compareStrings(op))      \
  X(BitAnd, bitwise(op))                    \
  X(BitOr, bitwise(op))                     \
  X(BitXor, bitwise(op))                    \
  X(BitLShift, bitwise(op))                 \
  X(BitRShift, bitwise(op))                 \
  X(BitURShift, bitwise(op))                \
  X(StringLength, stringLength(op))         \
  X(MBStringLength, stringLength(op))       \
  X(StringExtract, stringExtract(op))       \
  X(MBStringExtract, stringExtract(op))     \
  X(StringAdd, stringAdd())                 \
  X(CharToAscii, charToAscii())             \
  X(MBCharToAscii, charToAscii())           \
  X(AsciiToChar, asciiToChar(op))           \
  X(MBAsciiToChar, asciiToChar(op))         \
  X(ToInteger, convert(op))                 \
  X(ToNumber, convert(op))                  \
  X(ToString, convert(op))                  \
  X(TypeOf, convert(op))                    \
  X(RandomNumber, randomNumber())           \
  X(GetTime, getTime())                     \
  /* variables and members */               \
  X(GetVariable, getVariable())             \
  X(SetVariable, setVariable())             \
  X(DefineLocal, defineLocal())             \
  X(DefineLocal2, defineLocal2())           \
  X(Delete, deleteName(op))                 \
  X(Delete2, deleteName(op))                \
  X(GetMember, getMember())                 \
  X(SetMember, setMember())                 \
  X(Enumerate, enumerate(op))               \
  X(Enumerate2, enumerate(op))              \
  X(InitArray, initArray())                 \
  X(InitObject, initObject())               \
  X(ConstantPool, constantPool(r))          \
  X(InstanceOf, instanceOf())               \
  X(Extends, extends())                     \
  X(ImplementsOp, implementsOp())           \
  X(CastOp, castOp())                       \
  /* functions and calls */                 \
  X(DefineFunction, defineFunction(op, r))  \
  X(DefineFunction2, defineFunction(op, r)) \
  X(CallFunction, callFunction())           \
  X(CallMethod, callMethod())               \
  X(NewObject, newObject())                 \
  X(NewMethod, newMethod())                 \
  X(Return, returnValue())                  \
  /* exceptions */                          \
  X(Try, tryBlock(r))                       \
  X(Throw, throwValue())                    \
  /* control flow */                        \
  X(Jump, jump(r))                          \
  X(If, branch(r))                          \
  X(With, with(r))

namespace {

// Every action but End has a handler, and no action has two.
constexpr bool everyActionHandledOnce() {
  int handlers[256] = {};
#define ORV_COUNT_HANDLER(action, call) ++handlers[static_cast<uint8_t>(ActionCode::action)];
  ORV_AVM1_ACTION_HANDLERS(ORV_COUNT_HANDLER)
#undef ORV_COUNT_HANDLER
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<ActionCode>(code);
    const int wanted = swf::isKnownAction(c) && c != ActionCode::End ? 1 : 0;
    if (handlers[code] != wanted) return false;
  }
  return true;
}
static_assert(everyActionHandledOnce(), "an action without a handler, or with two");

}  // namespace

void Vm::run(Frame& f, size_t start, size_t end) {
  ActionRun run(*this, f, start, end);
  const uint8_t* data = run.code.data();
  size_t pc = start;
  while (pc < run.end) {
    if (++actionsThisRun_ > limits_.maxActionsPerRun) throw ScriptAbort{"script runs too long"};
    // A loop of slow actions (ever longer strings) is stopped by the clock.
    if ((++actionsSinceClock_ & 15) == 0 && std::chrono::steady_clock::now() > runDeadline_)
      throw ScriptAbort{"script ran out of time"};
    if (++actionsSinceMemoryCheck_ > memoryCheckInterval_) checkMemory();
    swf::ActionRecord action;
    // End, or a record cut off by the end of the stretch, ends the pass.
    if (!swf::readActionRecord(data, pc, run.end, &action) || action.code == ActionCode::End)
      return;
    const ActionCode op = action.code;
    PayloadReader r{data, action.payload, action.next()};
    run.next = action.next();
    switch (op) {
#define ORV_ACTION_CASE(action, call) \
  case ActionCode::action:            \
    run.call;                         \
    break;
      ORV_AVM1_ACTION_HANDLERS(ORV_ACTION_CASE)
#undef ORV_ACTION_CASE
      default:
        break;  // unknown actions are skipped by their length
    }
    pc = run.next;
  }
}

ScriptClip* ActionRun::clipAt(const Value& v) {
  if (v.isObject()) return v.asObject()->kind == ObjectKind::Clip ? v.asObject()->clip : nullptr;
  std::string p = vm.toString(v);
  if (p.empty()) return f.targetMissing ? nullptr : targetClip();
  Object* o = vm.resolveTargetPath(f, p);
  return o && o->kind == ObjectKind::Clip ? o->clip : nullptr;
}

std::vector<Value> ActionRun::popList() {
  size_t n = static_cast<size_t>(std::max(0, vm.toInt(f.pop())));
  std::vector<Value> values;
  for (size_t i = 0; i < n && !f.stack.empty(); ++i) values.push_back(f.pop());
  return values;
}

}  // namespace orv::movie::avm1
