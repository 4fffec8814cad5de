// The list of SWF actions: codes, names, which carry a length, stepping over records.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "movie/swf/actions.h"

using namespace orv::movie::swf;

namespace {

// The actions of SWF 3 to 7 as the file format documents them, typed in from that
// document apart from the list the engine uses.
const std::map<int, std::string> kDocumentedActions = {
    {0x00, "End"},
    // SWF 3
    {0x04, "NextFrame"},
    {0x05, "PreviousFrame"},
    {0x06, "Play"},
    {0x07, "Stop"},
    {0x08, "ToggleQuality"},
    {0x09, "StopSounds"},
    {0x81, "GotoFrame"},
    {0x83, "GetURL"},
    {0x8A, "WaitForFrame"},
    {0x8B, "SetTarget"},
    {0x8C, "GoToLabel"},
    // SWF 4
    {0x96, "Push"},
    {0x17, "Pop"},
    {0x0A, "Add"},
    {0x0B, "Subtract"},
    {0x0C, "Multiply"},
    {0x0D, "Divide"},
    {0x0E, "Equals"},
    {0x0F, "Less"},
    {0x10, "And"},
    {0x11, "Or"},
    {0x12, "Not"},
    {0x13, "StringEquals"},
    {0x14, "StringLength"},
    {0x21, "StringAdd"},
    {0x15, "StringExtract"},
    {0x29, "StringLess"},
    {0x31, "MBStringLength"},
    {0x35, "MBStringExtract"},
    {0x18, "ToInteger"},
    {0x32, "CharToAscii"},
    {0x33, "AsciiToChar"},
    {0x36, "MBCharToAscii"},
    {0x37, "MBAsciiToChar"},
    {0x99, "Jump"},
    {0x9D, "If"},
    {0x9E, "Call"},
    {0x1C, "GetVariable"},
    {0x1D, "SetVariable"},
    {0x9A, "GetURL2"},
    {0x9F, "GotoFrame2"},
    {0x20, "SetTarget2"},
    {0x22, "GetProperty"},
    {0x23, "SetProperty"},
    {0x24, "CloneSprite"},
    {0x25, "RemoveSprite"},
    {0x27, "StartDrag"},
    {0x28, "EndDrag"},
    {0x8D, "WaitForFrame2"},
    {0x26, "Trace"},
    {0x34, "GetTime"},
    {0x30, "RandomNumber"},
    // SWF 5
    {0x3D, "CallFunction"},
    {0x52, "CallMethod"},
    {0x88, "ConstantPool"},
    {0x9B, "DefineFunction"},
    {0x3C, "DefineLocal"},
    {0x41, "DefineLocal2"},
    {0x3A, "Delete"},
    {0x3B, "Delete2"},
    {0x46, "Enumerate"},
    {0x49, "Equals2"},
    {0x4E, "GetMember"},
    {0x42, "InitArray"},
    {0x43, "InitObject"},
    {0x53, "NewMethod"},
    {0x40, "NewObject"},
    {0x4F, "SetMember"},
    {0x45, "TargetPath"},
    {0x94, "With"},
    {0x4A, "ToNumber"},
    {0x4B, "ToString"},
    {0x44, "TypeOf"},
    {0x47, "Add2"},
    {0x48, "Less2"},
    {0x3F, "Modulo"},
    {0x60, "BitAnd"},
    {0x63, "BitLShift"},
    {0x61, "BitOr"},
    {0x64, "BitRShift"},
    {0x65, "BitURShift"},
    {0x62, "BitXor"},
    {0x51, "Decrement"},
    {0x50, "Increment"},
    {0x4C, "PushDuplicate"},
    {0x3E, "Return"},
    {0x4D, "StackSwap"},
    {0x87, "StoreRegister"},
    // SWF 6
    {0x54, "InstanceOf"},
    {0x55, "Enumerate2"},
    {0x66, "StrictEquals"},
    {0x67, "Greater"},
    {0x68, "StringGreater"},
    // SWF 7
    {0x8E, "DefineFunction2"},
    {0x69, "Extends"},
    {0x2B, "CastOp"},
    {0x2C, "ImplementsOp"},
    {0x8F, "Try"},
    {0x2A, "Throw"},
};

TEST(ActionList, NamesEveryDocumentedActionAndNoOtherCode) {
  ASSERT_EQ(kDocumentedActions.size(), 100u);
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<ActionCode>(code);
    auto it = kDocumentedActions.find(code);
    SCOPED_TRACE(code);
    if (it != kDocumentedActions.end()) {
      EXPECT_EQ(actionName(c), it->second);
      EXPECT_TRUE(isKnownAction(c));
    } else {
      EXPECT_EQ(actionName(c), "");
      EXPECT_FALSE(isKnownAction(c));
    }
    // Known or not, a code from 0x80 on is followed by a length.
    EXPECT_EQ(hasPayload(c), code >= 0x80);
  }
  EXPECT_EQ(static_cast<int>(ActionCode::GetURL2), 0x9A);
  EXPECT_EQ(static_cast<int>(ActionCode::DefineFunction2), 0x8E);
  static_assert(actionName(ActionCode::GotoFrame) == "GotoFrame");
  static_assert(!isKnownAction(static_cast<ActionCode>(0xA5)));
}

TEST(ActionList, ReadsRecordsAndRefusesTruncatedOnes) {
  // Play; GotoFrame 3; an unknown long code with an empty payload; an unknown short code.
  const std::vector<uint8_t> code = {0x06, 0x81, 0x02, 0x00, 0x03, 0x00, 0xA5, 0x00, 0x00, 0x7F};
  ActionRecord a;
  ASSERT_TRUE(readActionRecord(code.data(), 0, code.size(), &a));
  EXPECT_EQ(a.code, ActionCode::Play);
  EXPECT_EQ(a.length, 0u);
  EXPECT_EQ(a.next(), 1u);
  ASSERT_TRUE(readActionRecord(code.data(), 1, code.size(), &a));
  EXPECT_EQ(a.code, ActionCode::GotoFrame);
  EXPECT_EQ(a.payload, 4u);
  EXPECT_EQ(a.length, 2u);
  EXPECT_EQ(code[a.payload], 0x03);
  ASSERT_TRUE(readActionRecord(code.data(), 6, code.size(), &a));
  EXPECT_EQ(static_cast<int>(a.code), 0xA5);
  EXPECT_EQ(a.payload, 9u);
  EXPECT_EQ(a.length, 0u);
  ASSERT_TRUE(readActionRecord(code.data(), 9, code.size(), &a));
  EXPECT_EQ(static_cast<int>(a.code), 0x7F);
  EXPECT_EQ(a.next(), 10u);

  // The stretch ends inside GotoFrame's length, then inside its payload.
  EXPECT_FALSE(readActionRecord(code.data(), 1, 2, &a));
  EXPECT_FALSE(readActionRecord(code.data(), 1, 3, &a));
  EXPECT_FALSE(readActionRecord(code.data(), 1, 5, &a));
  EXPECT_TRUE(readActionRecord(code.data(), 1, 6, &a));
  // A length far past the buffer.
  const std::vector<uint8_t> huge = {0x96, 0xFF, 0xFF, 0x00};
  EXPECT_FALSE(readActionRecord(huge.data(), 0, huge.size(), &a));
}

TEST(ActionList, SkipsRecordsWithAndWithoutLengths) {
  // Play; Push "a"; End; Stop; GotoFrame 1.
  const std::vector<uint8_t> code = {0x06, 0x96, 0x03, 0x00, 0x00, 'a',  0x00,
                                     0x00, 0x07, 0x81, 0x02, 0x00, 0x01, 0x00};
  const uint8_t* d = code.data();
  const size_t n = code.size();
  EXPECT_EQ(skipActions(d, 0, n, 0), 0u);
  EXPECT_EQ(skipActions(d, 0, n, 1), 1u);
  EXPECT_EQ(skipActions(d, 0, n, 2), 7u);
  EXPECT_EQ(skipActions(d, 0, n, 3), 8u);  // an End counts as one action
  EXPECT_EQ(skipActions(d, 0, n, 4), 9u);
  EXPECT_EQ(skipActions(d, 0, n, 5), n);
  EXPECT_EQ(skipActions(d, 0, n, 200), n);
  EXPECT_EQ(skipActions(d, 1, n, 1), 7u);
  EXPECT_EQ(skipActions(d, 0, n, -1), 0u);
  // Within a shorter stretch: a payload cut off by its end ends the skip there.
  EXPECT_EQ(skipActions(d, 0, 5, 2), 5u);
  EXPECT_EQ(skipActions(d, 9, 11, 1), 10u);  // its length cut off: see below
  // A length cut off by the end: the code byte alone counts, and the skip goes on from
  // the next byte.
  const std::vector<uint8_t> cut = {0x06, 0x96, 0x01};
  EXPECT_EQ(skipActions(cut.data(), 0, cut.size(), 2), 2u);
  EXPECT_EQ(skipActions(cut.data(), 0, cut.size(), 3), 3u);
  EXPECT_EQ(skipActions(cut.data(), 0, 2, 5), 2u);
}

}  // namespace
