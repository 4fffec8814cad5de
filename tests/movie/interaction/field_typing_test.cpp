// Typing into input text fields: a click gives a field the focus, typed characters go in
// at the caret within its maxChars and restrict, backspace and the arrows edit, the bound
// variable follows and onChanged runs; a click elsewhere takes the focus away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/player.h"
#include "../avm1/script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie {
namespace {

namespace t = orv::movie::test;
using avm1::test::Asm;

constexpr uint8_t kGetVariable = 0x1C, kSetMember = 0x4F, kGetMember = 0x4E, kCallMethod = 0x52,
                  kAdd2 = 0x47, kPop = 0x17, kStop = 0x07;

Asm setField(const char* member, avm1::test::PushItem value) {
  return Asm().push({"f"}).op(kGetVariable).push({member, value}).op(kSetMember);
}

// An input field "f" at (10, 10) 200x30 pixels bound to the variable "name"; each change
// traces the field's text and the variable.
std::vector<uint8_t> fieldMovie(const Asm& extra) {
  Asm a;
  a.push({30, 200, 10, 10, 1, "f", 6})
      .push({"_root"})
      .op(kGetVariable)
      .push({"createTextField"})
      .op(kCallMethod)
      .op(kPop);
  a.push({"f"}).push({"_root"}).op(kGetVariable).push({"f"}).op(kGetMember).op(0x1D);
  a.append(setField("type", "input")).append(setField("variable", "name"));
  Asm onChanged = Asm()
                      .push({"f"})
                      .op(kGetVariable)
                      .push({"text"})
                      .op(kGetMember)
                      .push({"/"})
                      .op(kAdd2)
                      .push({"name"})
                      .op(kGetVariable)
                      .op(kAdd2)
                      .trace();
  a.push({"f"}).op(kGetVariable).push({"onChanged"}).function("", {}, onChanged).op(kSetMember);
  a.append(extra).op(kStop);
  return t::movie(t::concat({t::doAction(a.bytes()), t::showFrame()}), {.version = 8});
}

struct Typist {
  Player player;
  std::vector<std::string> lines;
  explicit Typist(const std::vector<uint8_t>& bytes) {
    player.setTraceSink([this](const std::string& l) { lines.push_back(l); });
    EXPECT_TRUE(player.loadBytes(bytes));
  }
  void click(double x, double y) {  // stage pixels
    player.mouseDown(x * 20, y * 20);
    player.mouseUp(x * 20, y * 20);
  }
  void type(const std::string& keys) {
    for (char c : keys) player.keyPress(static_cast<unsigned char>(c));
  }
};

TEST(FieldTyping, AClickedFieldTakesWhatIsTypedAndItsVariableFollows) {
  Typist t(fieldMovie(Asm()));
  t.type("x");  // nothing has the focus yet
  EXPECT_TRUE(t.lines.empty());
  t.click(50, 20);
  t.type("Hi");
  t.player.keyPress(8);  // backspace
  t.type("o");
  t.player.keyPress(3);  // home
  t.type("<");
  t.player.keyPress(4);  // end
  t.player.keyPress(1);  // left
  t.player.keyPress(6);  // delete: the last character
  EXPECT_EQ(t.lines,
            (std::vector<std::string>{"H/H", "Hi/Hi", "H/H", "Ho/Ho", "<Ho/<Ho", "<H/<H"}));
  // A click outside the field takes the focus away: typing changes nothing.
  t.lines.clear();
  t.click(400, 300);
  t.type("z");
  EXPECT_TRUE(t.lines.empty());
}

TEST(FieldTyping, TheMouseFocusesSelectableFieldsOnly) {
  // Selection's listeners trace each change of the focus.
  Asm listen = Asm()
                   .push({"l", 0})
                   .op(0x43)
                   .op(0x1D)
                   .push({"l"})
                   .op(kGetVariable)
                   .push({"onSetFocus"})
                   .function("", {"o", "n"}, Asm().push({"n"}).op(kGetVariable).trace())
                   .op(kSetMember)
                   .push({"l"})
                   .op(kGetVariable)
                   .push({1, "Selection"})
                   .op(kGetVariable)
                   .push({"addListener"})
                   .op(kCallMethod)
                   .op(kPop);
  // An input field that cannot be selected takes no focus from a click.
  Typist locked(fieldMovie(Asm().append(setField("selectable", false)).append(listen)));
  locked.click(50, 20);
  locked.type("x");
  EXPECT_TRUE(locked.lines.empty());
  // A dynamic field that can be selected does (typing still changes nothing).
  Typist dynamic(fieldMovie(Asm().append(setField("type", "dynamic")).append(listen)));
  dynamic.click(50, 20);
  dynamic.type("x");
  EXPECT_EQ(dynamic.lines, (std::vector<std::string>{"_level0.f"}));
}

TEST(FieldTyping, MaxCharsRestrictAndLinesLimitWhatGoesIn) {
  Typist t(
      fieldMovie(Asm().append(setField("maxChars", 3)).append(setField("restrict", "A-Za-z"))));
  t.click(20, 15);
  t.type("H1i!xy");
  t.player.keyPress(13);  // enter: a single-line field takes no line break
  EXPECT_EQ(t.lines, (std::vector<std::string>{"H/H", "Hi/Hi", "Hix/Hix"}));

  Typist lines(fieldMovie(setField("multiline", true)));
  lines.click(20, 15);
  lines.type("a");
  lines.player.keyPress(13);
  lines.type("b");
  ASSERT_EQ(lines.lines.size(), 3u);
  EXPECT_EQ(lines.lines[2], "a\rb/a\rb");
}

// The field at (10, 10) holds "abcdef" (Times New Roman 12: about 30 pixels of text from x 12).
TEST(FieldTyping, AClickPutsTheCaretAtTheNearestCharacter) {
  Typist start(fieldMovie(setField("text", "abcdef")));
  start.click(12.5, 20);
  start.type("X");
  Typist end(fieldMovie(setField("text", "abcdef")));
  end.click(150, 20);  // past the text: at its end
  end.type("X");
  Typist middle(fieldMovie(setField("text", "abcdef")));
  middle.click(12 + 5.33 + 6 + 2, 20);  // just after the middle of "b"
  middle.type("X");
  EXPECT_EQ(start.lines, (std::vector<std::string>{"Xabcdef/Xabcdef"}));
  EXPECT_EQ(end.lines, (std::vector<std::string>{"abcdefX/abcdefX"}));
  EXPECT_EQ(middle.lines, (std::vector<std::string>{"abXcdef/abXcdef"}));
}

TEST(FieldTyping, DraggingOrShiftWithTheArrowsSelectsAndTypingReplacesIt) {
  Typist drag(fieldMovie(setField("text", "abcdef")));
  drag.player.mouseDown(12.5 * 20, 20 * 20);
  drag.player.mouseMove(150 * 20, 20 * 20);
  drag.player.mouseUp(150 * 20, 20 * 20);
  EXPECT_EQ(drag.player.selectedText(false), U"abcdef");
  drag.type("Z");
  EXPECT_EQ(drag.lines, (std::vector<std::string>{"Z/Z"}));

  Typist keys(fieldMovie(setField("text", "abcdef")));
  keys.click(150, 20);
  keys.player.keyDown(16);  // shift
  keys.player.keyPress(1);
  keys.player.keyPress(1);
  keys.player.keyUp(16);
  EXPECT_EQ(keys.player.selectedText(false), U"ef");
  keys.player.keyPress(8);  // backspace takes the selection
  keys.player.keyPress(1);  // left, nothing selected any more
  keys.type("Q");
  EXPECT_EQ(keys.lines, (std::vector<std::string>{"abcd/abcd", "abcQd/abcQd"}));
}

// What the user selects is what Selection reports: a script traces the begin, end and caret
// indexes whenever the mouse button comes up.
TEST(FieldTyping, SelectionReportsWhatTheUserSelected) {
  auto selectionCall = [](const char* method) {
    return Asm().push({0, "Selection"}).op(kGetVariable).push({method}).op(kCallMethod);
  };
  Asm report = selectionCall("getBeginIndex")
                   .push({","})
                   .op(kAdd2)
                   .append(selectionCall("getEndIndex"))
                   .op(kAdd2)
                   .push({","})
                   .op(kAdd2)
                   .append(selectionCall("getCaretIndex"))
                   .op(kAdd2)
                   .trace();
  Asm setup = setField("text", "abcdef");
  setup.push({"_root"})
      .op(kGetVariable)
      .push({"onMouseUp"})
      .function("", {}, report)
      .op(kSetMember);
  Typist t(fieldMovie(setup));
  t.player.mouseDown(150 * 20, 20 * 20);
  t.player.mouseMove(12.5 * 20, 20 * 20);
  t.player.mouseUp(12.5 * 20, 20 * 20);  // dragged from the end back to the start
  t.click(150, 20);                      // a click at the end: nothing selected
  EXPECT_EQ(t.lines, (std::vector<std::string>{"0,6,0", "6,6,6"}));
  EXPECT_EQ(t.player.selectedText(false), U"");
}

// Each change traces the field's scroll, hscroll, maxscroll and textWidth.
Asm traceScrolling() {
  Asm trace;
  const char* members[] = {"scroll", "hscroll", "maxscroll", "textWidth"};
  for (int i = 0; i < 4; ++i) {
    trace.push({"f"}).op(kGetVariable).push({members[i]}).op(kGetMember);
    if (i > 0) trace.op(kAdd2);
    if (i < 3) trace.push({","}).op(kAdd2);
  }
  trace.trace();
  return Asm()
      .push({"f"})
      .op(kGetVariable)
      .push({"onChanged"})
      .function("", {}, trace)
      .op(kSetMember);
}

std::vector<double> numbers(const std::string& line) {
  std::vector<double> out;
  size_t from = 0;
  for (size_t comma; from <= line.size(); from = comma + 1) {
    comma = line.find(',', from);
    if (comma == std::string::npos) comma = line.size();
    out.push_back(std::stod(line.substr(from, comma - from)));
  }
  return out;
}

TEST(FieldTyping, TheFieldScrollsToKeepTheCaretInView) {
  // A line longer than the field moves sideways with the caret; home brings it back.
  Typist wide(fieldMovie(traceScrolling()));
  wide.click(50, 20);
  wide.type(std::string(40, 'W'));
  ASSERT_EQ(wide.lines.size(), 40u);
  const std::vector<double> end = numbers(wide.lines.back());
  const double overflow = end[3] - 196;  // text wider than the field's 200 pixels less its gutters
  ASSERT_GT(overflow, 50);
  EXPECT_GE(end[1], overflow);
  EXPECT_LE(end[1], overflow + 10);
  wide.player.keyPress(3);  // home
  wide.type("<");
  EXPECT_EQ(numbers(wide.lines.back())[1], 0);

  // Lines below the field scroll up into it as they are typed.
  Typist tall(fieldMovie(Asm().append(setField("multiline", true)).append(traceScrolling())));
  tall.click(50, 20);
  for (const char* line : {"a", "b", "c", "d"}) {
    tall.type(line);
    tall.player.keyPress(13);
  }
  const std::vector<double> last = numbers(tall.lines.back());
  EXPECT_GT(last[0], 1);
  EXPECT_EQ(last[0], last[2]) << "scrolled to the end, where the caret is";
  tall.player.keyPress(14);  // up, four times: back at the first line
  for (int i = 0; i < 4; ++i) tall.player.keyPress(14);
  tall.type("!");
  EXPECT_EQ(numbers(tall.lines.back())[0], 1);
  // Page down goes a field's height of lines on: the last line, scrolled into view.
  tall.player.keyPress(17);
  tall.player.keyPress(17);
  tall.type("?");
  const std::vector<double> paged = numbers(tall.lines.back());
  EXPECT_EQ(paged[0], paged[2]);
}

TEST(FieldTyping, HomeAndEndGoToTheEndsOfTheLineAndWithCtrlOfTheText) {
  Typist t(
      fieldMovie(Asm().append(setField("multiline", true)).append(setField("text", "ab\rcd"))));
  t.click(150, 30);  // past the end of the second line
  t.player.keyPress(3);
  t.type("X");
  t.player.keyDown(17);
  t.player.keyPress(3);
  t.player.keyUp(17);
  t.type("Y");
  t.player.keyPress(4);
  t.type("Z");
  t.player.keyDown(17);
  t.player.keyPress(4);
  t.player.keyUp(17);
  t.type("!");
  ASSERT_EQ(t.lines.size(), 4u);
  EXPECT_EQ(t.lines[0], "ab\rXcd/ab\rXcd");
  EXPECT_EQ(t.lines[1], "Yab\rXcd/Yab\rXcd");
  EXPECT_EQ(t.lines[2], "YabZ\rXcd/YabZ\rXcd");
  EXPECT_EQ(t.lines[3], "YabZ\rXcd!/YabZ\rXcd!");
}

// Shift+Home from the end selects everything.
void selectAll(Typist& t) {
  t.player.keyPress(4);
  t.player.keyDown(16);
  t.player.keyPress(3);
  t.player.keyUp(16);
}

TEST(FieldTyping, CutAndPasteKeepToWhatCouldBeTyped) {
  Typist t(fieldMovie(Asm().append(setField("text", "abcdef")).append(setField("maxChars", 8))));
  EXPECT_FALSE(t.player.pasteText(U"x"));  // no field has the focus
  t.click(20, 15);
  selectAll(t);
  EXPECT_EQ(t.player.selectedText(false), U"abcdef");
  EXPECT_EQ(t.player.selectedText(true), U"abcdef");
  EXPECT_EQ(t.lines, (std::vector<std::string>{"/"}));
  // One line, at most eight characters, no control characters.
  ASSERT_TRUE(t.player.pasteText(U"one\ttwo three\nfour"));
  EXPECT_EQ(t.lines.back(), "onetwo t/onetwo t");
  EXPECT_EQ(t.player.selectedText(false), U"");

  Typist secret(
      fieldMovie(Asm().append(setField("text", "hidden")).append(setField("password", true))));
  secret.click(20, 15);
  selectAll(secret);
  EXPECT_EQ(secret.player.selectedText(false), U"");
}

TEST(FieldTyping, SelectedTextShowsWhiteOnBlack) {
  Typist t(fieldMovie(setField("text", "abcdef")));
  t.click(20, 15);
  Pixmap before;
  before.width = 550;
  before.height = 400;
  t.player.render(before, t.player.stage());
  selectAll(t);
  Pixmap after = before;
  t.player.render(after, t.player.stage());
  auto black = [](const Pixmap& p) {
    int n = 0;
    for (uint32_t px : p.pixels) n += (px & 0xFFFFFF) == 0;
    return n;
  };
  EXPECT_GT(black(after), black(before) + 200);
  // Inside the black box, the letters are white.
  int white = 0;
  for (int y = 12; y < 26; ++y)
    for (int x = 13; x < 40; ++x)
      white += (after.pixels[size_t(y) * 550 + x] & 0xFFFFFF) == 0xFFFFFF;
  EXPECT_GT(white, 10);
}

// Six lines in a field two lines high; Mouse's listener traces the wheel's delta and
// the field's scroll position.
std::vector<uint8_t> wheelMovie(const Asm& extra) {
  Asm a;
  a.append(setField("multiline", true)).append(setField("text", "a\rb\rc\rd\re\rf")).append(extra);
  a.push({"o", 0, "Object"}).op(0x40).op(0x1D);
  const Asm body = Asm()
                       .getVar("d")
                       .push({" "})
                       .op(kAdd2)
                       .getVar("f")
                       .push({"scroll"})
                       .op(kGetMember)
                       .op(kAdd2)
                       .trace();
  a.getVar("o").push({"onMouseWheel"}).function("", {"d"}, body).op(kSetMember);
  a.getVar("o").push({1}).getVar("Mouse").push({"addListener"}).op(kCallMethod).op(kPop);
  return fieldMovie(a);
}

TEST(FieldTyping, TheWheelScrollsTheFieldUnderThePointer) {
  Typist t(wheelMovie(Asm()));
  t.player.mouseWheel(50 * 20, 20 * 20, -3);   // towards the user: three lines on
  t.player.mouseWheel(50 * 20, 20 * 20, -30);  // no further than the last page
  t.player.mouseWheel(50 * 20, 20 * 20, 1);
  t.player.mouseWheel(400 * 20, 300 * 20, 5);  // over no field: only the listener hears
  t.player.mouseWheel(50 * 20, 20 * 20, 10);
  ASSERT_EQ(t.lines.size(), 5u);
  const int last = std::stoi(t.lines[1].substr(4));
  EXPECT_EQ(t.lines[0], "-3 4");
  EXPECT_GE(last, 4);
  EXPECT_LE(last, 5);
  EXPECT_EQ(t.lines[2], "1 " + std::to_string(last - 1));
  EXPECT_EQ(t.lines[3], "5 " + std::to_string(last - 1));
  EXPECT_EQ(t.lines[4], "10 1");

  Typist still(wheelMovie(setField("mouseWheelEnabled", false)));
  still.player.mouseWheel(50 * 20, 20 * 20, -3);
  EXPECT_EQ(still.lines, (std::vector<std::string>{"-3 1"}));
}

}  // namespace
}  // namespace orv::movie
