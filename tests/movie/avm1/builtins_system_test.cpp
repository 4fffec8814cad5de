// LoadVars, ContextMenu, Camera and the SWF 5 shape of AsBroadcaster, through the
// machine's own calls as scripts make them.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value make(Vm& vm, const char* cls, std::vector<Value> args = {}) {
  return vm.construct(vm.getMember(vm.global, cls), args);
}

Value method(Vm& vm, const Value& obj, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(obj, name, args);
}

TEST(SystemBuiltins, LoadVarsDecodesAndWritesNameValuePairs) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Value lv = make(vm, "LoadVars");
  ASSERT_TRUE(lv.isObject());
  EXPECT_EQ(vm.typeOf(lv), "object");
  method(vm, lv, "decode", {Value("a=1&b=x%20y&flag")});
  EXPECT_EQ(vm.toString(vm.getMember(lv, "a")), "1");
  EXPECT_EQ(vm.toString(vm.getMember(lv, "b")), "x y");
  EXPECT_EQ(vm.toString(vm.getMember(lv, "flag")), "");
  // Later pairs replace earlier ones; toString escapes what it writes.
  method(vm, lv, "decode", {Value("a=2")});
  EXPECT_EQ(vm.toString(vm.getMember(lv, "a")), "2");
  std::string text = vm.toString(method(vm, lv, "toString"));
  EXPECT_NE(text.find("b=x%20y"), std::string::npos) << text;
  EXPECT_NE(text.find("a=2"), std::string::npos) << text;
  EXPECT_EQ(text.find("decode"), std::string::npos) << text;  // methods are not data
  // A load is only a request at first (loading_test.cpp follows it): no bytes yet.
  Value ret = method(vm, lv, "load", {Value("vars.txt")});
  EXPECT_TRUE(ret.isBool());
  EXPECT_TRUE(ret.asBool());
  EXPECT_TRUE(method(vm, lv, "getBytesTotal").isUndefined());
  EXPECT_EQ(vm.toString(method(vm, lv, "getBytesLoaded")), "0");
}

TEST(SystemBuiltins, ContextMenuCopiesAndHidesItsItems) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Value handler = vm.getMember(vm.global, "trace");
  Value menu = make(vm, "ContextMenu", {handler});
  ASSERT_TRUE(menu.isObject());
  EXPECT_TRUE(vm.strictEquals(vm.getMember(menu, "onSelect"), handler));
  // for..in lists the custom items first, then the switches, then the handler.
  EXPECT_EQ(vm.enumerableNames(menu.asObject()),
            (std::vector<std::string>{"customItems", "builtInItems", "onSelect"}));
  Value items = vm.getMember(menu, "builtInItems");
  EXPECT_TRUE(vm.toBool(vm.getMember(items, "zoom")));
  // Hiding gives the menu a new set of switches, all off.
  method(vm, menu, "hideBuiltInItems");
  Value hidden = vm.getMember(menu, "builtInItems");
  EXPECT_NE(hidden.asObject(), items.asObject());
  EXPECT_FALSE(vm.toBool(vm.getMember(hidden, "zoom")));
  EXPECT_FALSE(vm.toBool(vm.getMember(hidden, "print")));
  // A copy shares the switches and copies each custom item through its own copy():
  // an entry that cannot copy itself leaves a hole.
  Value custom = vm.getMember(menu, "customItems");
  method(vm, custom, "push", {Value("entry")});
  method(vm, custom, "push", {make(vm, "ContextMenuItem", {Value("Caption"), handler})});
  Value copy = method(vm, menu, "copy");
  ASSERT_TRUE(copy.isObject());
  EXPECT_NE(copy.asObject(), menu.asObject());
  EXPECT_EQ(vm.getMember(copy, "builtInItems").asObject(), hidden.asObject());
  Value copiedCustom = vm.getMember(copy, "customItems");
  EXPECT_NE(copiedCustom.asObject(), custom.asObject());
  EXPECT_TRUE(vm.getMember(copiedCustom, "0").isUndefined());
  Value item = vm.getMember(copiedCustom, "1");
  ASSERT_TRUE(item.isObject());
  EXPECT_NE(item.asObject(), vm.getMember(custom, "1").asObject());
  EXPECT_EQ(vm.toString(vm.getMember(item, "caption")), "Caption");
  EXPECT_TRUE(vm.toBool(vm.getMember(item, "enabled")));
  EXPECT_FALSE(vm.toBool(vm.getMember(item, "separatorBefore")));
  EXPECT_TRUE(vm.strictEquals(vm.getMember(copy, "onSelect"), handler));
}

TEST(SystemBuiltins, NoCameraIsOffered) {
  FakeHost h(7);
  Value camera = h.vm.getMember(h.vm.global, "Camera");
  EXPECT_EQ(h.vm.typeOf(camera), "function");
  EXPECT_TRUE(method(h.vm, camera, "get").isNull());
  EXPECT_EQ(h.vm.toString(h.vm.getMember(camera, "names")), "");
}

TEST(SystemBuiltins, NoFieldHasTheFocusAndNoScreenReaderListens) {
  FakeHost v5(5), v6(6);
  Value sel = v6.vm.getMember(v6.vm.global, "Selection");
  EXPECT_EQ(v6.vm.typeOf(sel), "object");
  EXPECT_TRUE(method(v6.vm, sel, "getFocus").isNull());
  Value ret = method(v6.vm, sel, "setFocus", {Value("_level0.field")});
  EXPECT_TRUE(ret.isBool() && !ret.asBool());
  EXPECT_EQ(v6.vm.toNumber(method(v6.vm, sel, "getCaretIndex")), -1);
  // From SWF 6 Selection broadcasts to listeners.
  EXPECT_EQ(v6.vm.typeOf(v6.vm.getMember(sel, "addListener")), "function");
  EXPECT_EQ(
      v5.vm.typeOf(v5.vm.getMember(v5.vm.getMember(v5.vm.global, "Selection"), "addListener")),
      "undefined");
  Value acc6 = v6.vm.getMember(v6.vm.global, "Accessibility");
  Value active = method(v6.vm, acc6, "isActive");
  EXPECT_TRUE(active.isBool() && !active.asBool());
  Value acc5 = v5.vm.getMember(v5.vm.global, "Accessibility");
  EXPECT_EQ(v5.vm.typeOf(acc5), "object");
  EXPECT_EQ(v5.vm.typeOf(v5.vm.getMember(acc5, "isActive")), "undefined");
}

TEST(SystemBuiltins, AsBroadcasterBeforeSwf6IsABareFunction) {
  FakeHost v5(5), v6(6);
  Value b5 = v5.vm.getMember(v5.vm.global, "AsBroadcaster");
  Value b6 = v6.vm.getMember(v6.vm.global, "AsBroadcaster");
  EXPECT_EQ(v5.vm.typeOf(b5), "function");
  EXPECT_TRUE(v5.vm.getMember(b5, "prototype").isUndefined());
  EXPECT_TRUE(v5.vm.getMember(b5, "initialize").isUndefined());
  EXPECT_EQ(v6.vm.typeOf(v6.vm.getMember(b6, "initialize")), "function");
  EXPECT_EQ(v6.vm.typeOf(v6.vm.getMember(b6, "prototype")), "object");
}

}  // namespace
}  // namespace orv::movie::avm1
