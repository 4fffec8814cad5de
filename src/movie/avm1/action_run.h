// One pass of the action loop (Vm::run) over a stretch of a frame's code, and the handlers
// its cases call, by subject: actions_stack.cpp (stack and arithmetic), actions_members.cpp
// (variables and members), actions_clip.cpp (timeline, clip properties, clips, URLs),
// actions_functions.cpp (functions and calls), actions_exceptions.cpp (Try, Throw) and
// actions_control.cpp (jumps, With). action_loop.cpp holds the loop and says which
// handler each action runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/avm1/frame.h"
#include "movie/avm1/vm.h"
#include "movie/base/bytes.h"
#include "movie/swf/actions.h"

namespace orv::movie::avm1 {

using swf::ActionCode;

// Reads an action's payload; reading past its end gives zeros (an empty string) and
// clears `ok`.
struct PayloadReader {
  const uint8_t* data;
  size_t pos, end;
  bool ok = true;
  uint8_t u8() {
    if (pos + 1 > end) {
      ok = false;
      return 0;
    }
    return data[pos++];
  }
  uint16_t u16() {
    if (pos + 2 > end) {
      ok = false;
      pos = end;
      return 0;
    }
    const uint16_t v = base::le16(data + pos);
    pos += 2;
    return v;
  }
  uint32_t u32() {
    if (pos + 4 > end) {
      ok = false;
      pos = end;
      return 0;
    }
    const uint32_t v = base::le32(data + pos);
    pos += 4;
    return v;
  }
  std::string str() {
    size_t s = pos;
    while (pos < end && data[pos] != 0) ++pos;
    std::string out(reinterpret_cast<const char*>(data + s), pos - s);
    if (pos < end)
      ++pos;
    else
      ok = false;
    return out;
  }
};

class ActionRun {
 public:
  ActionRun(Vm& vm, Vm::Frame& f, size_t start, size_t end)
      : vm(vm),
        f(f),
        code(*f.code),
        start(start),
        end(std::min(end, code.size())),
        v4(f.version < 5),
        utf8(f.version >= 6) {}

  Vm& vm;
  Vm::Frame& f;
  const std::vector<uint8_t>& code;
  const size_t start, end;  // the stretch this pass runs; `end` is within the code
  const bool v4;            // SWF 4: comparisons give 1 or 0, x / 0 gives "#ERROR#"
  const bool utf8;          // SWF 6 on: string actions count UTF-8 characters, not bytes
  // Where the pass goes on after the current action. A handler that ends the pass (a
  // return, a jump out of the code) sets it to `end`.
  size_t next = 0;

  void finish() { next = end; }
  void push(Value v) {
    if (f.stack.size() >= vm.limits_.maxStack) throw ScriptAbort{"stack overflow"};
    f.stack.push_back(std::move(v));
  }
  Value boolResult(bool b) const { return v4 ? Value(b ? 1.0 : 0.0) : Value(b); }
  // The clip timeline actions go to (SetTarget's), if it is one.
  void retarget(Object* target);
  ScriptClip* targetClip() const { return f.target ? f.target->clip : nullptr; }
  // The clip a value names: a clip object, or a target path (empty: the target clip).
  ScriptClip* clipAt(const Value& v);
  // A count, then that many values (fewer if the stack runs out): arguments, elements.
  std::vector<Value> popList();

  // ---- Stack and arithmetic (actions_stack.cpp) ----
  void pushValues(PayloadReader& r);  // Push
  void storeRegister(PayloadReader& r);
  void pushDuplicate();
  void stackSwap();
  void arithmetic(ActionCode op);  // Add, Subtract, Multiply, Divide, Modulo
  void step(ActionCode op);        // Increment, Decrement
  void add2();
  void compareNumbers(ActionCode op);  // Equals, Less
  void logic(ActionCode op);           // And, Or, Not
  void compare(ActionCode op);         // Less2, Greater, Equals2, StrictEquals
  void compareStrings(ActionCode op);  // StringEquals, StringLess, StringGreater
  void bitwise(ActionCode op);         // BitAnd ... BitURShift
  void stringLength(ActionCode op);    // StringLength, MBStringLength
  void stringExtract(ActionCode op);   // StringExtract, MBStringExtract
  void stringAdd();
  void charToAscii();               // CharToAscii, MBCharToAscii
  void asciiToChar(ActionCode op);  // AsciiToChar, MBAsciiToChar
  void convert(ActionCode op);      // ToInteger, ToNumber, ToString, TypeOf
  void randomNumber();
  void getTime();

  // ---- Variables and members (actions_members.cpp) ----
  void getVariable();
  void setVariable();
  void defineLocal();
  void defineLocal2();
  void deleteName(ActionCode op);  // Delete, Delete2
  void getMember();
  void setMember();
  void enumerate(ActionCode op);  // Enumerate, Enumerate2
  void initArray();
  void initObject();
  void constantPool(PayloadReader& r);
  void instanceOf();
  void extends();
  void implementsOp();
  void castOp();

  // ---- Clip control (actions_clip.cpp) ----
  void timeline(ActionCode op);  // NextFrame, PreviousFrame, Play, Stop
  void player(ActionCode op);    // ToggleQuality, StopSounds, EndDrag, Trace
  void gotoFrame(PayloadReader& r);
  void gotoLabel(PayloadReader& r);
  void gotoFrame2(PayloadReader& r);
  void waitForFrame(PayloadReader& r);
  void waitForFrame2(PayloadReader& r);
  void callFrame();  // Call
  void setTarget(PayloadReader& r);
  void setTarget2();
  void getProperty();
  void setProperty();
  void targetPath();
  void cloneSprite();
  void removeSprite();
  void startDrag();
  void getURL(PayloadReader& r);
  void getURL2(PayloadReader& r);

  // ---- Functions and calls (actions_functions.cpp) ----
  void defineFunction(ActionCode op, PayloadReader& r);  // DefineFunction, DefineFunction2
  void callFunction();
  void callMethod();
  void newObject();
  void newMethod();
  void returnValue();  // Return

  // ---- Exceptions (actions_exceptions.cpp) ----
  void tryBlock(PayloadReader& r);  // Try
  [[noreturn]] void throwValue();   // Throw

  // ---- Control flow (actions_control.cpp) ----
  void jump(PayloadReader& r);
  void branch(PayloadReader& r);  // If
  void with(PayloadReader& r);

 private:
  // Goes `offset` bytes on from the action after this one (Jump, If). Out of this stretch
  // the jump unwinds (a With or Try block, a function) to where it lands; out of the code
  // it ends the pass.
  void jumpBy(int16_t offset);
  // Goes on at `after` once a block run within this action (With, Try) is done, or at
  // `jumpedTo` where a jump in the block led (SIZE_MAX: none did), unwinding further
  // when that is outside this stretch.
  void resumeAfterBlock(size_t after, size_t jumpedTo);
  // Where a method called with CallMethod on `owner` finds `super`.
  Object* methodHome(Object* superObj, Object* owner);
};

}  // namespace orv::movie::avm1
