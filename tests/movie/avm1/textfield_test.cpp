// TextField and TextFormat as scripts see them: fields made by createTextField, their
// properties and HTML, formats, the variable a field shows, and TextFormat's conversions.
#include <gtest/gtest.h>

#include "movie/text/edit_text.h"
#include "movie/avm1/text_format_object.h"
#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

// A root clip that can hold text fields, on a host of its own.
class FieldClip : public test::FakeClip {
 public:
  FieldClip(std::string name, FakeClip* parent, const swf::EditTextDef& def, bool utf8)
      : FakeClip(std::move(name), parent), state(def, nullptr, utf8) {}
  EditTextState* textField() override { return &state; }
  EditTextState state;
};

class TextRoot : public test::FakeClip {
 public:
  explicit TextRoot(bool utf8) : FakeClip("", nullptr), utf8_(utf8) {}
  ScriptClip* createTextField(const std::string& name, int depth, double x, double y, double width,
                              double height) override {
    fields.push_back(
        std::make_unique<FieldClip>(name, this, createdFieldDef(width, height), utf8_));
    fields.back()->setProperty(ClipProperty::X, x);
    fields.back()->setProperty(ClipProperty::Y, y);
    (void)depth;
    return fields.back().get();
  }
  ScriptClip* childByName(std::string_view n, bool ci) override {
    for (auto& f : fields)
      if (f->name() == n) return f.get();
    return FakeClip::childByName(n, ci);
  }
  std::vector<std::unique_ptr<FieldClip>> fields;

 private:
  bool utf8_;
};

class TextHost : public ScriptHost {
 public:
  explicit TextHost(int version) : root(version >= 6), vm(*this, version) {}
  ScriptClip* level(int n) override { return n == 0 ? &root : nullptr; }
  void trace(std::string_view) override {}
  double timerMs() override { return 0; }

  Object* rootObject() { return vm.objectFor(&root); }
  // createTextField as a script calls it; the field's object.
  Object* field(const char* name, double w = 100, double h = 20) {
    std::vector<Value> args{Value(name), Value(1), Value(5), Value(6), Value(w), Value(h)};
    vm.callMethod(Value(rootObject()), "createTextField", args);
    Value f = vm.getMember(rootObject(), name);
    return f.isObject() ? f.asObject() : nullptr;
  }
  Value get(Object* o, const char* name) { return vm.getMember(o, name); }
  std::string str(Object* o, const char* name) { return vm.toString(vm.getMember(o, name)); }
  Value call(Object* o, const char* name, std::vector<Value> args = {}) {
    return vm.callMethod(Value(o), name, args);
  }

  TextRoot root;
  Vm vm;
};

Value construct(Vm& vm, const char* cls, std::vector<Value> args = {}) {
  return vm.construct(vm.getMember(vm.global, cls), args);
}

TEST(TextFieldScript, CreatedFieldIsATextFieldWithDefaultsAndPosition) {
  TextHost h(7);
  Object* tf = h.field("tf");
  ASSERT_NE(tf, nullptr);
  EXPECT_EQ(h.vm.typeOf(Value(tf)), "object");
  EXPECT_TRUE(h.vm.instanceOf(tf, h.vm.getMember(h.vm.global, "TextField").asObject()));
  EXPECT_EQ(h.str(tf, "text"), "");
  EXPECT_EQ(h.str(tf, "type"), "dynamic");
  EXPECT_EQ(h.str(tf, "autoSize"), "none");
  EXPECT_EQ(h.str(tf, "_x"), "5");
  EXPECT_EQ(h.str(tf, "_name"), "tf");
  EXPECT_TRUE(h.get(tf, "maxChars").isNull());
  EXPECT_TRUE(h.get(tf, "variable").isNull());
  EXPECT_FALSE(h.vm.toBool(h.get(tf, "html")));
  EXPECT_TRUE(h.vm.toBool(h.get(tf, "selectable")));
  EXPECT_EQ(h.str(tf, "scroll"), "1");
  EXPECT_EQ(h.str(tf, "maxscroll"), "1");
  // SWF 8 returns the field; earlier versions return nothing.
  TextHost h8(8);
  std::vector<Value> args{Value("f"), Value(1), Value(0), Value(0), Value(10), Value(10)};
  EXPECT_TRUE(h8.vm.callMethod(Value(h8.rootObject()), "createTextField", args).isObject());
  EXPECT_TRUE(h.vm.callMethod(Value(h.rootObject()), "createTextField", args).isUndefined());
}

TEST(TextFieldScript, HtmlTextFollowsTheHtmlFlag) {
  TextHost h(7);
  Object* tf = h.field("tf");
  ASSERT_NE(tf, nullptr);
  // Not an HTML field: markup is text, and htmlText is the text itself.
  h.vm.setMember(tf, "htmlText", Value("<b>bold</b>"));
  EXPECT_EQ(h.str(tf, "text"), "<b>bold</b>");
  EXPECT_EQ(h.str(tf, "htmlText"), "<b>bold</b>");
  EXPECT_EQ(h.str(tf, "length"), "11");
  // An HTML field reads the tags and writes the text back in Flash's own markup.
  h.vm.setMember(tf, "html", Value(true));
  h.vm.setMember(tf, "htmlText", Value("<font color='#00ff00'>green</font>"));
  EXPECT_EQ(h.str(tf, "text"), "green");
  EXPECT_EQ(h.str(tf, "textColor"), "0");
  Value format = h.call(tf, "getTextFormat");
  EXPECT_EQ(h.vm.toString(h.vm.getMember(format, "color")), "65280");
  EXPECT_EQ(h.str(tf, "htmlText"),
            "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#00FF00\" "
            "LETTERSPACING=\"0\" KERNING=\"0\">green</FONT></P>");
}

TEST(TextFieldScript, TextFormatsOverRangesAndTheNewTextFormat) {
  TextHost h(7);
  Object* tf = h.field("tf");
  ASSERT_NE(tf, nullptr);
  h.vm.setMember(tf, "text", Value("hello"));
  Value bold = construct(h.vm, "TextFormat");
  h.vm.setMember(bold.asObject(), "bold", Value(true));
  h.call(tf, "setTextFormat", {Value(1), Value(3), bold});
  EXPECT_TRUE(
      h.vm.toBool(h.vm.getMember(h.call(tf, "getTextFormat", {Value(1), Value(3)}), "bold")));
  EXPECT_TRUE(h.vm.getMember(h.call(tf, "getTextFormat"), "bold").isNull());  // mixed
  EXPECT_FALSE(h.vm.toBool(h.vm.getMember(h.call(tf, "getTextFormat", {Value(0)}), "bold")));
  EXPECT_EQ(h.vm.toString(h.vm.getMember(h.call(tf, "getTextFormat"), "font")), "Times New Roman");

  // New text takes the new-text format; textColor colours everything.
  Value red = construct(h.vm, "TextFormat", {Value(), Value(), Value(0xFF0000)});
  h.call(tf, "setNewTextFormat", {red});
  h.call(tf, "replaceSel", {Value("!")});
  EXPECT_EQ(h.str(tf, "text"), "hello!");
  EXPECT_EQ(h.vm.toString(h.vm.getMember(h.call(tf, "getTextFormat", {Value(5)}), "color")),
            "16711680");
  h.vm.setMember(tf, "textColor", Value(0x0000FF));
  EXPECT_EQ(h.vm.toString(h.vm.getMember(h.call(tf, "getTextFormat"), "color")), "255");
  h.call(tf, "replaceText", {Value(0), Value(1), Value("J")});
  EXPECT_EQ(h.str(tf, "text"), "Jello!");
}

TEST(TextFieldScript, AFieldAndItsVariableFollowEachOther) {
  TextHost h(6);
  Object* tf = h.field("tf");
  ASSERT_NE(tf, nullptr);
  Object* root = h.rootObject();
  h.vm.setMember(root, "shown", Value(42));
  h.vm.setMember(tf, "variable", Value("shown"));
  EXPECT_EQ(h.str(tf, "text"), "42");
  h.vm.setMember(root, "shown", Value("changed"));
  EXPECT_EQ(h.str(tf, "text"), "changed");
  h.vm.setMember(tf, "text", Value("typed"));
  EXPECT_EQ(h.vm.toString(h.vm.getMember(root, "shown")), "typed");
  // Paths name variables of other timelines.
  h.vm.setMember(tf, "variable", Value("_root.other"));
  h.vm.setMember(tf, "text", Value("there"));
  EXPECT_EQ(h.vm.toString(h.vm.getMember(root, "other")), "there");
  // An unset variable is given the field's text by the host's per-frame update.
  h.vm.setMember(tf, "variable", Value("fresh"));
  syncTextFieldVariable(h.vm, h.root.fields.back().get(), true);
  EXPECT_EQ(h.vm.toString(h.vm.getMember(root, "fresh")), "there");
}

TEST(TextFieldScript, SizesScrollingAndAutoSize) {
  TextHost h(7);
  Object* tf = h.field("tf", 50, 30);
  ASSERT_NE(tf, nullptr);
  h.vm.setMember(tf, "multiline", Value(true));
  h.vm.setMember(tf, "wordWrap", Value(true));
  h.vm.setMember(tf, "text", Value("one two three four five six seven eight"));
  const double lines =
      h.vm.toNumber(h.get(tf, "maxscroll")) + h.vm.toNumber(h.get(tf, "bottomScroll")) - 1;
  EXPECT_GT(lines, 2);
  EXPECT_GT(h.vm.toNumber(h.get(tf, "textHeight")), 30);
  EXPECT_LE(h.vm.toNumber(h.get(tf, "textWidth")), 46);
  h.vm.setMember(tf, "scroll", Value(1000));
  EXPECT_EQ(h.get(tf, "scroll").asNumber(), h.get(tf, "maxscroll").asNumber());
  h.vm.setMember(tf, "autoSize", Value(true));
  EXPECT_EQ(h.str(tf, "autoSize"), "left");
  EXPECT_EQ(h.str(tf, "maxscroll"), "1");  // the field grew to show every line
  h.vm.setMember(tf, "autoSize", Value("bogus"));
  EXPECT_EQ(h.str(tf, "autoSize"), "none");
  h.vm.setMember(tf, "autoSize", Value("RIght"));  // the names in any case
  EXPECT_EQ(h.str(tf, "autoSize"), "right");
  h.vm.setMember(tf, "maxChars", Value(5));
  EXPECT_EQ(h.str(tf, "maxChars"), "5");
  h.vm.setMember(tf, "maxChars", Value(0));
  EXPECT_TRUE(h.get(tf, "maxChars").isNull());
}

TEST(TextFieldScript, AFieldIsTheFirstOfItsOwnListeners) {
  TextHost h(7);
  Object* tf = h.field("tf");
  ASSERT_NE(tf, nullptr);
  Value listeners = h.get(tf, "_listeners");
  ASSERT_TRUE(listeners.isObject());
  EXPECT_EQ(h.str(listeners.asObject(), "length"), "1");
  EXPECT_EQ(h.get(listeners.asObject(), "0").asObject(), tf);
  // Each field has its own list.
  Object* other = h.field("other");
  ASSERT_NE(other, nullptr);
  EXPECT_NE(h.get(other, "_listeners").asObject(), listeners.asObject());
  h.call(tf, "removeListener", {Value(tf)});
  EXPECT_EQ(h.str(listeners.asObject(), "length"), "0");
}

TEST(TextFormatScript, AFaceNameKeepsItsFirstSixtyFourCharacters) {
  TextHost h(8);
  const std::string longName(70, 'f');
  Value tf = construct(h.vm, "TextFormat", {Value(longName)});
  EXPECT_EQ(h.vm.toString(h.vm.getMember(tf, "font")), std::string(64, 'f'));
  h.vm.setMember(tf.asObject(), "font", Value("\u00e9" + longName));
  EXPECT_EQ(h.vm.toString(h.vm.getMember(tf, "font")), "\u00e9" + std::string(63, 'f'));
  h.vm.setMember(tf.asObject(), "font", Value("Arial"));
  EXPECT_EQ(h.vm.toString(h.vm.getMember(tf, "font")), "Arial");
}

TEST(TextFormatScript, ConstructorArgumentsAndPropertyConversions) {
  TextHost h(7);
  Vm& vm = h.vm;
  Value none = construct(vm, "TextFormat");
  ASSERT_TRUE(none.isObject());
  EXPECT_EQ(vm.typeOf(vm.getMember(none, "bold")), "null");
  EXPECT_EQ(vm.toString(vm.getMember(none, "display")), "block");
  EXPECT_TRUE(vm.hasOwnProperty(none.asObject(), "getTextExtent"));
  Object* proto = vm.getMember(vm.getMember(vm.global, "TextFormat"), "prototype").asObject();
  EXPECT_TRUE(vm.hasOwnProperty(proto, "leftMargin"));
  EXPECT_FALSE(vm.hasOwnProperty(proto, "getTextExtent"));

  Value f = construct(
      vm, "TextFormat",
      {Value("fname"), Value(2), Value(30), Value(true), Value(false), Value(true), Value("http"),
       Value("tgt"), Value("center"), Value(23), Value(32), Value(12), Value(4)});
  Object* o = f.asObject();
  EXPECT_EQ(vm.toString(vm.getMember(o, "font")), "fname");
  EXPECT_EQ(vm.toString(vm.getMember(o, "size")), "2");
  EXPECT_EQ(vm.toString(vm.getMember(o, "align")), "center");
  EXPECT_EQ(vm.toString(vm.getMember(o, "leading")), "4");
  EXPECT_EQ(vm.typeOf(vm.getMember(o, "italic")), "boolean");

  std::vector<Value> hello{Value("Hello")};
  Value extent = vm.callMethod(f, "getTextExtent", hello);
  ASSERT_TRUE(extent.isObject());
  const double w = vm.toNumber(vm.getMember(extent, "width"));
  EXPECT_GT(w, 0);
  EXPECT_EQ(vm.toNumber(vm.getMember(extent, "textFieldWidth")), w + 4);
  // Wrapped at a width, the text takes more lines and the field keeps that width.
  std::vector<Value> wrapped{Value("Hello Hello Hello"), Value(8)};
  Value tall = vm.callMethod(f, "getTextExtent", wrapped);
  EXPECT_GT(vm.toNumber(vm.getMember(tall, "height")), vm.toNumber(vm.getMember(extent, "height")));
  EXPECT_EQ(vm.toNumber(vm.getMember(tall, "textFieldWidth")), 8);

  // Margins are whole and never negative; sizes may be; undefined and null clear.
  vm.setMember(o, "rightMargin", Value(-10));
  EXPECT_EQ(vm.toString(vm.getMember(o, "rightMargin")), "0");
  vm.setMember(o, "rightMargin", Value("x"));
  EXPECT_EQ(vm.toString(vm.getMember(o, "rightMargin")), "0");
  vm.setMember(o, "rightMargin", Value());
  EXPECT_TRUE(vm.getMember(o, "rightMargin").isNull());
  vm.setMember(o, "size", Value(-10.7));
  EXPECT_EQ(vm.toString(vm.getMember(o, "size")), "-10");
  vm.setMember(o, "bold", Value("yes"));
  EXPECT_TRUE(vm.getMember(o, "bold").isBool());
  // Unknown alignments leave the value as it was.
  vm.setMember(o, "align", Value("RIGHT"));
  vm.setMember(o, "align", Value("sideways"));
  vm.setMember(o, "align", Value());
  EXPECT_EQ(vm.toString(vm.getMember(o, "align")), "right");
  vm.setMember(o, "tabStops", Value(vm.newArray({Value(6), Value("8")})));
  EXPECT_EQ(vm.toString(vm.getMember(o, "tabStops")), "6,8");
}

TEST(SelectionScript, FocusGoesToFieldsAndFocusableClipsAndSelectionIsClamped) {
  TextHost h(6);
  Vm& vm = h.vm;
  Object* tf = h.field("text1");
  ASSERT_NE(tf, nullptr);
  Value sel = vm.getMember(vm.global, "Selection");
  auto call = [&](const char* name, std::vector<Value> args = {}) {
    return vm.callMethod(sel, name, args);
  };
  EXPECT_TRUE(call("getFocus").isNull());
  EXPECT_FALSE(vm.toBool(call("setFocus")));                           // nothing named
  EXPECT_FALSE(vm.toBool(call("setFocus", {Value(h.rootObject())})));  // a plain clip
  EXPECT_TRUE(call("getFocus").isNull());
  EXPECT_EQ(vm.toNumber(call("getBeginIndex")), -1);

  EXPECT_TRUE(vm.toBool(call("setFocus", {Value(tf)})));
  EXPECT_EQ(vm.toString(call("getFocus")), "_level0.text1");
  vm.setMember(tf, "text", Value("Some text"));
  call("setSelection", {Value(6), Value(3)});
  EXPECT_EQ(vm.toNumber(call("getBeginIndex")), 3);
  EXPECT_EQ(vm.toNumber(call("getEndIndex")), 6);
  EXPECT_EQ(vm.toNumber(call("getCaretIndex")), 3);
  call("setSelection", {Value(-4), Value(100)});
  EXPECT_EQ(vm.toNumber(call("getBeginIndex")), 0);
  EXPECT_EQ(vm.toNumber(call("getEndIndex")), 9);
  // Only a start and an end together change the selection.
  call("setSelection", {Value(3)});
  call("setSelection", {Value(1), Value(2), Value(3)});
  EXPECT_EQ(vm.toNumber(call("getBeginIndex")), 0);
  EXPECT_EQ(vm.toNumber(call("getEndIndex")), 9);

  // A clip that acts as a button takes the focus; null gives it up.
  h.root.add("mc", 3);
  Object* mc = vm.getMember(h.rootObject(), "mc").asObject();
  ASSERT_NE(mc, nullptr);
  EXPECT_FALSE(vm.toBool(call("setFocus", {Value(mc)})));
  vm.setMember(mc, "focusEnabled", Value(true));
  EXPECT_TRUE(vm.toBool(call("setFocus", {Value("mc")})));
  EXPECT_EQ(vm.toString(call("getFocus")), "_level0.mc");
  EXPECT_EQ(vm.toNumber(call("getCaretIndex")), -1);
  // Hiding the focused clip takes the focus away; a hidden clip can take it again, and
  // hiding it once more changes nothing.
  vm.setMember(mc, "_visible", Value(true));
  vm.setMember(mc, "_visible", Value(false));
  EXPECT_TRUE(call("getFocus").isNull());
  EXPECT_TRUE(vm.toBool(call("setFocus", {Value(mc)})));
  vm.setMember(mc, "_visible", Value(false));
  EXPECT_EQ(vm.toString(call("getFocus")), "_level0.mc");
  // Giving the focus up takes null or undefined alone.
  EXPECT_FALSE(vm.toBool(call("setFocus", {Value(), Value(5)})));
  EXPECT_EQ(vm.toString(call("getFocus")), "_level0.mc");
  EXPECT_TRUE(vm.toBool(call("setFocus", {Value::null()})));
  EXPECT_TRUE(call("getFocus").isNull());
}

TEST(TextSnapshotScript, SnapshotsAnswerOnlyWellFormedCalls) {
  TextHost h(6);
  Vm& vm = h.vm;
  Value ts = vm.callMethod(Value(h.rootObject()), "getTextSnapshot", {});
  ASSERT_TRUE(ts.isObject());
  auto call = [&](const Value& o, const char* name, std::vector<Value> args = {}) {
    return vm.callMethod(o, name, args);
  };
  EXPECT_EQ(vm.typeOf(call(ts, "getCount")), "number");
  EXPECT_EQ(vm.typeOf(call(ts, "getCount", {Value(0)})), "undefined");
  EXPECT_EQ(vm.toNumber(call(ts, "findText", {Value(0), Value("a"), Value(true)})), -1);
  EXPECT_EQ(vm.typeOf(call(ts, "findText", {Value(0), Value("a")})), "undefined");
  EXPECT_EQ(vm.typeOf(call(ts, "getSelected", {Value(0), Value(1)})), "boolean");
  EXPECT_EQ(vm.typeOf(call(ts, "getSelected", {Value(0)})), "undefined");
  EXPECT_EQ(vm.typeOf(call(ts, "getSelectedText", {Value(0)})), "string");
  EXPECT_EQ(vm.typeOf(call(ts, "getSelectedText", {Value(0), Value(1)})), "undefined");
  EXPECT_EQ(vm.typeOf(call(ts, "getText", {Value(0), Value(1), Value(true)})), "string");
  EXPECT_EQ(vm.typeOf(call(ts, "getText", {Value(0)})), "undefined");
  EXPECT_EQ(vm.typeOf(call(ts, "hitTestTextNearPos", {Value(0), Value(1)})), "number");
  EXPECT_EQ(vm.typeOf(call(ts, "hitTestTextNearPos", {Value(0), Value(1), Value(2), Value(3)})),
            "undefined");
  // Made from something that is not one clip, a snapshot answers nothing.
  Value none = vm.construct(vm.getMember(vm.global, "TextSnapshot"), {});
  EXPECT_EQ(vm.typeOf(call(none, "getCount")), "undefined");
  std::vector<Value> rootArg{Value(h.rootObject())};
  Value ofRoot = vm.construct(vm.getMember(vm.global, "TextSnapshot"), rootArg);
  EXPECT_EQ(vm.toNumber(call(ofRoot, "getCount")), 0);
}

}  // namespace
}  // namespace orv::movie::avm1
