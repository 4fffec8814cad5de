#pragma once
// The actions of SWF action records (DoAction, DoInitAction, button and clip-event
// actions), in one list from which their codes, their names and the length rule follow.
// An action record is one code byte; a code of 0x80 or more is followed by a 16-bit
// little-endian length and that many bytes of payload.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "movie/base/bytes.h"

namespace orv::movie::swf {

// X(name, code): every action up to SWF 7, named as the SWF file format names them
// (ActionGotoFrame is GotoFrame), grouped by the version that brought them in.
#define ORV_SWF_ACTIONS(X) \
  X(End, 0x00)             \
  /* SWF 3 */              \
  X(NextFrame, 0x04)       \
  X(PreviousFrame, 0x05)   \
  X(Play, 0x06)            \
  X(Stop, 0x07)            \
  X(ToggleQuality, 0x08)   \
  X(StopSounds, 0x09)      \
  X(GotoFrame, 0x81)       \
  X(GetURL, 0x83)          \
  X(WaitForFrame, 0x8A)    \
  X(SetTarget, 0x8B)       \
  X(GoToLabel, 0x8C)       \
  /* SWF 4 */              \
  X(Add, 0x0A)             \
  X(Subtract, 0x0B)        \
  X(Multiply, 0x0C)        \
  X(Divide, 0x0D)          \
  X(Equals, 0x0E)          \
  X(Less, 0x0F)            \
  X(And, 0x10)             \
  X(Or, 0x11)              \
  X(Not, 0x12)             \
  X(StringEquals, 0x13)    \
  X(StringLength, 0x14)    \
  X(StringExtract, 0x15)   \
  X(Pop, 0x17)             \
  X(ToInteger, 0x18)       \
  X(GetVariable, 0x1C)     \
  X(SetVariable, 0x1D)     \
  X(SetTarget2, 0x20)      \
  X(StringAdd, 0x21)       \
  X(GetProperty, 0x22)     \
  X(SetProperty, 0x23)     \
  X(CloneSprite, 0x24)     \
  X(RemoveSprite, 0x25)    \
  X(Trace, 0x26)           \
  X(StartDrag, 0x27)       \
  X(EndDrag, 0x28)         \
  X(StringLess, 0x29)      \
  X(RandomNumber, 0x30)    \
  X(MBStringLength, 0x31)  \
  X(CharToAscii, 0x32)     \
  X(AsciiToChar, 0x33)     \
  X(GetTime, 0x34)         \
  X(MBStringExtract, 0x35) \
  X(MBCharToAscii, 0x36)   \
  X(MBAsciiToChar, 0x37)   \
  X(WaitForFrame2, 0x8D)   \
  X(Push, 0x96)            \
  X(Jump, 0x99)            \
  X(GetURL2, 0x9A)         \
  X(If, 0x9D)              \
  X(Call, 0x9E)            \
  X(GotoFrame2, 0x9F)      \
  /* SWF 5 */              \
  X(Delete, 0x3A)          \
  X(Delete2, 0x3B)         \
  X(DefineLocal, 0x3C)     \
  X(CallFunction, 0x3D)    \
  X(Return, 0x3E)          \
  X(Modulo, 0x3F)          \
  X(NewObject, 0x40)       \
  X(DefineLocal2, 0x41)    \
  X(InitArray, 0x42)       \
  X(InitObject, 0x43)      \
  X(TypeOf, 0x44)          \
  X(TargetPath, 0x45)      \
  X(Enumerate, 0x46)       \
  X(Add2, 0x47)            \
  X(Less2, 0x48)           \
  X(Equals2, 0x49)         \
  X(ToNumber, 0x4A)        \
  X(ToString, 0x4B)        \
  X(PushDuplicate, 0x4C)   \
  X(StackSwap, 0x4D)       \
  X(GetMember, 0x4E)       \
  X(SetMember, 0x4F)       \
  X(Increment, 0x50)       \
  X(Decrement, 0x51)       \
  X(CallMethod, 0x52)      \
  X(NewMethod, 0x53)       \
  X(BitAnd, 0x60)          \
  X(BitOr, 0x61)           \
  X(BitXor, 0x62)          \
  X(BitLShift, 0x63)       \
  X(BitRShift, 0x64)       \
  X(BitURShift, 0x65)      \
  X(StoreRegister, 0x87)   \
  X(ConstantPool, 0x88)    \
  X(With, 0x94)            \
  X(DefineFunction, 0x9B)  \
  /* SWF 6 */              \
  X(InstanceOf, 0x54)      \
  X(Enumerate2, 0x55)      \
  X(StrictEquals, 0x66)    \
  X(Greater, 0x67)         \
  X(StringGreater, 0x68)   \
  /* SWF 7 */              \
  X(Throw, 0x2A)           \
  X(CastOp, 0x2B)          \
  X(ImplementsOp, 0x2C)    \
  X(Extends, 0x69)         \
  X(DefineFunction2, 0x8E) \
  X(Try, 0x8F)

// A code byte as read; any byte may appear in a file, listed or not.
enum class ActionCode : uint8_t {
#define ORV_SWF_ACTION_ENUM(name, code) name = code,
  ORV_SWF_ACTIONS(ORV_SWF_ACTION_ENUM)
#undef ORV_SWF_ACTION_ENUM
};

// The action's name ("GetURL2"), or an empty view for a code no action has.
constexpr std::string_view actionName(ActionCode code) {
  switch (code) {
#define ORV_SWF_ACTION_NAME(name, value) \
  case ActionCode::name:                 \
    return #name;
    ORV_SWF_ACTIONS(ORV_SWF_ACTION_NAME)
#undef ORV_SWF_ACTION_NAME
  }
  return {};
}

constexpr bool isKnownAction(ActionCode code) { return !actionName(code).empty(); }

// Whether a record with this code has a length and payload after it: codes from 0x80 on,
// listed or not (which is how a reader steps over actions it does not know).
constexpr bool hasPayload(ActionCode code) { return static_cast<uint8_t>(code) >= 0x80; }

// Where one action record lies in a buffer.
struct ActionRecord {
  ActionCode code = ActionCode::End;
  size_t payload = 0;  // the payload's first byte
  size_t length = 0;   // bytes of payload
  size_t next() const { return payload + length; }
};

// Reads the record at `pos` (< `end`) of `data`. False when its length, or the payload it
// announces, runs past `end`: a truncated record is no action.
inline bool readActionRecord(const uint8_t* data, size_t pos, size_t end, ActionRecord* out) {
  out->code = static_cast<ActionCode>(data[pos++]);
  out->length = 0;
  if (hasPayload(out->code)) {
    if (pos + 2 > end) return false;
    out->length = base::le16(data + pos);
    pos += 2;
    if (pos + out->length > end) return false;
  }
  out->payload = pos;
  return true;
}

// The position `count` records on from `pos`, at most `end`: how WaitForFrame steps over
// the actions it skips. A code byte counts as one record wherever it is (an End too); a
// length cut off by `end` counts as no length, a payload cut off by it ends the skip at
// `end`.
inline size_t skipActions(const uint8_t* data, size_t pos, size_t end, int count) {
  for (int i = 0; i < count && pos < end; ++i) {
    const auto code = static_cast<ActionCode>(data[pos++]);
    if (hasPayload(code) && pos + 2 <= end) pos += 2 + base::le16(data + pos);
  }
  return pos < end ? pos : end;
}

}  // namespace orv::movie::swf
