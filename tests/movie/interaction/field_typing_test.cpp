// Typing into input text fields: a click gives a field the focus, typed characters go in
// at the caret within its maxChars and restrict, backspace and the arrows edit, the bound
// variable follows and onChanged runs; a click elsewhere takes the focus away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/player.h"
#include "../script/script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie {
namespace {

namespace t = orv::movie::test;
using script::test::Asm;

constexpr uint8_t kGetVariable = 0x1C, kSetMember = 0x4F, kGetMember = 0x4E, kCallMethod = 0x52,
                  kAdd2 = 0x47, kPop = 0x17, kStop = 0x07;

Asm setField(const char* member, script::test::PushItem value) {
  return Asm().push({"f"}).op(kGetVariable).push({member, value}).op(kSetMember);
}

// An input field "f" at (10, 10) 200x30 pixels bound to the variable "name"; each change
// traces the field's text and the variable.
std::vector<uint8_t> fieldMovie(const Asm& extra) {
  Asm a;
  a.push({30, 200, 10, 10, 1, "f", 6}).push({"_root"}).op(kGetVariable).push({"createTextField"}).op(kCallMethod).op(kPop);
  a.push({"f"}).push({"_root"}).op(kGetVariable).push({"f"}).op(kGetMember).op(0x1D);
  a.append(setField("type", "input")).append(setField("variable", "name"));
  Asm onChanged = Asm().push({"f"}).op(kGetVariable).push({"text"}).op(kGetMember).push({"/"}).op(kAdd2)
                      .push({"name"}).op(kGetVariable).op(kAdd2).trace();
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
  EXPECT_EQ(t.lines, (std::vector<std::string>{"H/H", "Hi/Hi", "H/H", "Ho/Ho", "<Ho/<Ho", "<H/<H"}));
  // A click outside the field takes the focus away: typing changes nothing.
  t.lines.clear();
  t.click(400, 300);
  t.type("z");
  EXPECT_TRUE(t.lines.empty());
}

TEST(FieldTyping, MaxCharsRestrictAndLinesLimitWhatGoesIn) {
  Typist t(fieldMovie(Asm().append(setField("maxChars", 3)).append(setField("restrict", "A-Za-z"))));
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

}  // namespace
}  // namespace orv::movie
