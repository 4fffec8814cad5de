// flash.external.ExternalInterface with no container around the player, and the helpers
// that write script values as the XML of its calls and read them back.
#include <gtest/gtest.h>

#include <string>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value externalInterface(Vm& vm) {
  Value v = vm.getMember(vm.global, "flash");
  for (const char* p : {"external", "ExternalInterface"}) v = vm.getMember(v, p);
  return v;
}

Value callRaw(Vm& vm, const char* name, std::vector<Value> args) {
  return vm.callMethod(externalInterface(vm), name, args);
}
std::string call(Vm& vm, const char* name, std::vector<Value> args) {
  return vm.toString(callRaw(vm, name, std::move(args)));
}

TEST(ExternalInterface, HasNoContainerToTalkTo) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Value ei = externalInterface(vm);
  ASSERT_TRUE(ei.isObject());
  EXPECT_FALSE(vm.toBool(vm.getMember(ei, "available")));
  EXPECT_TRUE(callRaw(vm, "call", {Value("f"), Value(1.0)}).isNull());
  Value added = callRaw(vm, "addCallback", {Value("f"), Value::null()});
  EXPECT_TRUE(added.isBool() && !added.asBool());
  // SWF 5 has no flash package at all.
  FakeHost old(5);
  EXPECT_TRUE(externalInterface(old.vm).isUndefined());
}

TEST(ExternalInterface, EscapesTextAndWritesValuesAsXml) {
  FakeHost h(8);
  Vm& vm = h.vm;
  EXPECT_EQ(call(vm, "_escapeXML", {Value("a<b>&\"'c;")}), "a&lt;b&gt;&amp;&quot;&apos;c;");
  EXPECT_EQ(call(vm, "_escapeXML", {Value("&amp;")}), "&amp;amp;");
  EXPECT_EQ(call(vm, "_escapeXML", {}), "null");
  EXPECT_TRUE(callRaw(vm, "_escapeXML", {Value("")}).isNull());
  EXPECT_EQ(call(vm, "_escapeXML", {Value(4.0)}), "4");
  EXPECT_EQ(call(vm, "_unescapeXML", {Value("&lt;a&gt; &amp;amp; &x;")}), "<a> &amp; &x;");

  EXPECT_EQ(call(vm, "_toXML", {}), "<undefined/>");
  EXPECT_EQ(call(vm, "_toXML", {Value::null()}), "<null/>");
  EXPECT_EQ(call(vm, "_toXML", {Value(true)}), "<true/>");
  EXPECT_EQ(call(vm, "_toXML", {Value(-2.5)}), "<number>-2.5</number>");
  EXPECT_EQ(call(vm, "_toXML", {Value("<x>")}), "<string>&lt;x&gt;</string>");
  EXPECT_EQ(call(vm, "_toXML", {Value("")}), "<string>null</string>");
  Object* array = vm.newArray({Value(true), Value(vm.newArray())});
  EXPECT_EQ(call(vm, "_toXML", {Value(array)}),
            "<array><property id=\"0\"><true/></property>"
            "<property id=\"1\"><array></array></property></array>");
  // Arguments leave out the first, the name of the function called.
  EXPECT_EQ(call(vm, "_argumentsToXML", {Value(array)}), "<arguments><array></array></arguments>");
  Object* o = vm.newObject();
  vm.setMember(o, "k", Value("v&"));
  EXPECT_EQ(call(vm, "_toXML", {Value(o)}),
            "<object><property id=\"k\"><string>v&amp;</string></property></object>");
  EXPECT_EQ(call(vm, "_objectToXML", {Value(3.0)}), "<object></object>");
  EXPECT_EQ(call(vm, "_arrayToXML", {Value("ab")}),
            "<array><property id=\"0\"><undefined/></property>"
            "<property id=\"1\"><undefined/></property></array>");
  // Functions have no form here.
  EXPECT_EQ(call(vm, "_toXML", {vm.getMember(vm.global, "Object")}), "<null/>");
}

TEST(ExternalInterface, ReadsValuesBackFromNodes) {
  FakeHost h(8);
  Vm& vm = h.vm;
  auto parse = [&](const char* text) {
    Value src(text);
    Value doc = vm.construct(vm.getMember(vm.global, "XML"), std::span<Value>(&src, 1));
    return vm.getMember(doc, "firstChild");
  };
  EXPECT_TRUE(callRaw(vm, "_toAS", {parse("<null/>")}).isNull());
  EXPECT_TRUE(callRaw(vm, "_toAS", {parse("<NULL/>")}).isUndefined());  // names are exact
  EXPECT_EQ(call(vm, "_toAS", {parse("<true/>")}), "true");
  EXPECT_EQ(call(vm, "_toAS", {parse("<number>-2.5</number>")}), "-2.5");
  EXPECT_EQ(call(vm, "_toAS", {parse("<number>2x</number>")}), "NaN");
  Value text = callRaw(vm, "_toAS", {parse("<string>a &amp;lt; b</string>")});
  ASSERT_TRUE(text.isString());
  EXPECT_EQ(text.asString(), "a &lt; b");  // the parser decoded once, the reader once more
  EXPECT_TRUE(callRaw(vm, "_toAS", {Value(true)}).isUndefined());
  // Arrays and objects from their <property id="..."> children; arguments one per child.
  Value arr = callRaw(vm, "_toAS",
                      {parse("<array><property id=\"1\"><true/></property></array>")});
  EXPECT_EQ(vm.toString(arr), "undefined,true");
  Value obj = callRaw(vm, "_toAS",
                      {parse("<object><property id=\"k\"><number>3</number></property></object>")});
  EXPECT_EQ(vm.toString(vm.getMember(obj, "k")), "3");
  Value args = callRaw(vm, "_argumentsToAS", {parse("<arguments><false/><null/></arguments>")});
  EXPECT_EQ(vm.toString(vm.getMember(args, "length")), "2");
  // What is no node reads as an empty array or object.
  EXPECT_EQ(vm.toString(vm.getMember(callRaw(vm, "_arrayToAS", {Value(4.0)}), "length")), "0");
  EXPECT_TRUE(callRaw(vm, "_objectToAS", {}).isObject());
  // Written and read back, a value comes out as it went in.
  Object* o = vm.newObject();
  vm.setMember(o, "list", Value(vm.newArray({Value(1.0), Value("x<y")})));
  Value xml = callRaw(vm, "_toXML", {Value(o)});
  Value back = callRaw(vm, "_toAS", {parse(vm.toString(xml).c_str())});
  EXPECT_EQ(vm.toString(vm.getMember(back, "list")), "1,x<y");
}

TEST(ExternalInterface, ValuesThatContainThemselvesStop) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Object* loop = vm.newArray();
  vm.setMember(loop, "0", Value(loop));
  const std::string xml = call(vm, "_toXML", {Value(loop)});
  EXPECT_NE(xml.find("<null/>"), std::string::npos);
  // Reading back nests no deeper either.
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<array><property id=\"0\">";
  Value src(deep);
  Value doc = vm.construct(vm.getMember(vm.global, "XML"), std::span<Value>(&src, 1));
  EXPECT_TRUE(callRaw(vm, "_toAS", {vm.getMember(doc, "firstChild")}).isObject());
  // A huge length is not walked to its end.
  Object* big = vm.newObject();
  vm.setMember(big, "length", Value(1e12));
  EXPECT_LE(call(vm, "_arrayToXML", {Value(big)}).size(), 64u << 20);
}

}  // namespace
}  // namespace orv::movie::avm1
