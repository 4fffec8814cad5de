// Reading the input of a corpus case's reference run.
#include "movie/corpus/recorded_input.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace orv::movie::corpus {
namespace {

using K = RecordedEvent::Kind;

RecordedInput readText(const std::string& json, std::vector<std::string>* problems = nullptr) {
  const test::TempDir folder("orv-input");
  return readRecordedInput(folder.write("input.json", json), problems);
}

TEST(RecordedInput, WaitEndsATickAndEventsKeepTheirOrder) {
  const RecordedInput in = readText(R"([
    { "type": "KeyDown", "key": "Tab" },
    { "type": "MouseMove", "pos": [42, 17.5] },
    { "type": "Wait" },
    { "type": "Wait" },
    { "type": "MouseDown", "pos": [1, 2], "btn": "Left" },
    { "type": "MouseUp", "pos": [1, 2], "btn": "Right" },
    { "type": "MouseWheel", "lines": -1 }
  ])");
  ASSERT_EQ(in.size(), 2u) << "tick 2 had nothing";
  ASSERT_EQ(in.at(1).size(), 2u);
  EXPECT_EQ(in.at(1)[0].kind, K::KeyDown);
  EXPECT_EQ(in.at(1)[0].code, 9);
  EXPECT_EQ(in.at(1)[1].kind, K::MouseMove);
  EXPECT_EQ(in.at(1)[1].x, 42);
  EXPECT_EQ(in.at(1)[1].y, 17.5);
  ASSERT_EQ(in.at(3).size(), 3u);
  EXPECT_EQ(in.at(3)[0].kind, K::MouseDown);
  EXPECT_EQ(in.at(3)[0].code, 0) << "the left button";
  EXPECT_EQ(in.at(3)[1].kind, K::MouseUp);
  EXPECT_EQ(in.at(3)[1].code, 2) << "the right button";
  EXPECT_EQ(in.at(3)[2].kind, K::Wheel);
  EXPECT_EQ(in.at(3)[2].code, -1);
}

TEST(RecordedInput, KeysAreWindowsKeyCodesAndTextIsCharacters) {
  std::vector<std::string> problems;
  const RecordedInput in = readText(R"([
    { "type": "KeyDown", "key": { "Char": "a" } },
    { "type": "KeyUp", "key": { "Char": "\"" } },
    { "type": "KeyDown", "key": { "Numpad": "1" } },
    { "type": "KeyDown", "key": "LeftShift" },
    { "type": "KeyDown", "key": "F5" },
    { "type": "KeyDown", "key": "Unknown" },
    { "type": "TextInput", "codepoint": "\u0142" },
    { "type": "TextInput", "codepoint": "\ud83d\ude00" },
    { "type": "SetClipboardText", "text": "pass" },
    { "type": "TextControl", "code": "Paste" },
    { "type": "TextControl", "code": "MoveRight" },
    { "type": "TextControl", "code": "Transpose" },
    { "type": "FocusLost" }
  ])",
                                    &problems);
  ASSERT_EQ(in.at(1).size(), 11u);
  const std::vector<int> codes = {65, 222, 97, 16, 116};
  for (size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(in.at(1)[i].code, codes[i]) << i;
  EXPECT_EQ(in.at(1)[5].text, U"\u0142");
  EXPECT_EQ(in.at(1)[6].text, U"\U0001F600") << "a surrogate pair is one character";
  EXPECT_EQ(in.at(1)[7].kind, K::Clipboard);
  EXPECT_EQ(in.at(1)[7].text, U"pass");
  EXPECT_EQ(in.at(1)[8].kind, K::Paste);
  EXPECT_EQ(in.at(1)[9].kind, K::EditKey);
  EXPECT_EQ(in.at(1)[9].code, 2);
  EXPECT_EQ(in.at(1)[10].kind, K::WindowFocus);
  EXPECT_EQ(in.at(1)[10].code, 0) << "lost";
  ASSERT_EQ(problems.size(), 2u) << "the unknown key and the unknown text control";
}

TEST(RecordedInput, ABrokenOrMissingFileIsNoInput) {
  std::vector<std::string> problems;
  EXPECT_TRUE(readText(R"([{ "type": "KeyDown", "key": "Tab" )", &problems).empty());
  EXPECT_TRUE(readText(R"({"type": "Wait"})", &problems).empty());
  EXPECT_TRUE(readText(std::string(200, '['), &problems).empty()) << "nesting is bounded";
  EXPECT_EQ(problems.size(), 3u);
  EXPECT_TRUE(readRecordedInput("/nonexistent/input.json").empty());
}

}  // namespace
}  // namespace orv::movie::corpus
