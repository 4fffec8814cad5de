// System and Stage as scripts reach them: capability values and their summary string,
// security calls, the Stage settings' canonical spellings and which versions see what.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value path(Vm& vm, std::initializer_list<const char*> names) {
  Value v(vm.global);
  for (const char* n : names) v = vm.getMember(v, n);
  return v;
}

Value call(Vm& vm, const Value& obj, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(obj, name, args);
}

TEST(SystemObject, CapabilitiesHaveTheirTypesAndAppearInServerString) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Value caps = path(vm, {"System", "capabilities"});
  ASSERT_TRUE(caps.isObject());
  for (const char* name :
       {"hasAudio", "hasMP3", "hasIME", "hasTLS", "isDebugger", "avHardwareDisable"})
    EXPECT_EQ(vm.typeOf(vm.getMember(caps, name)), "boolean") << name;
  for (const char* name :
       {"screenResolutionX", "screenResolutionY", "screenDPI", "pixelAspectRatio"})
    EXPECT_EQ(vm.typeOf(vm.getMember(caps, name)), "number") << name;
  EXPECT_EQ(vm.toString(vm.getMember(caps, "screenColor")), "color");
  // Without camera or microphone nothing can be encoded.
  EXPECT_FALSE(vm.toBool(vm.getMember(caps, "hasVideoEncoder")));
  EXPECT_FALSE(vm.toBool(vm.getMember(caps, "hasAudioEncoder")));
  std::string server = vm.toString(vm.getMember(caps, "serverString"));
  EXPECT_NE(server.find("A=t&"), std::string::npos) << server;
  EXPECT_NE(server.find("VE=f"), std::string::npos) << server;
  EXPECT_NE(server.find("R=1024x768"), std::string::npos) << server;
  EXPECT_NE(server.find("V=WIN%209%2C0%2C999%2C0"), std::string::npos) << server;
  // Capabilities cannot be overwritten by scripts.
  vm.setMember(caps.asObject(), "hasAudio", Value(false));
  EXPECT_TRUE(vm.toBool(vm.getMember(caps, "hasAudio")));
}

TEST(SystemObject, VersionStringOnTheRootOnly) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Object* root = vm.objectFor(&h.root);
  EXPECT_TRUE(vm.hasOwnProperty(root, "$version"));
  EXPECT_EQ(vm.toString(vm.getMember(root, "$version")),
            vm.toString(path(vm, {"System", "capabilities", "version"})));
  EXPECT_FALSE(vm.hasOwnProperty(vm.global, "$version"));
  EXPECT_FALSE(vm.hasOwnProperty(vm.clipProto, "$version"));
}

TEST(SystemObject, SecurityGrantsNamedDomainsAndSettingsFollowVersion) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Value security = path(vm, {"System", "security"});
  EXPECT_TRUE(call(vm, security, "allowDomain", {Value("example.org")}).asBool());
  EXPECT_TRUE(call(vm, security, "allowDomain", {Value()}).asBool());
  EXPECT_FALSE(call(vm, security, "allowDomain").asBool());
  EXPECT_EQ(vm.toString(path(vm, {"System", "security", "sandboxType"})), "localWithFile");
  EXPECT_TRUE(vm.toBool(path(vm, {"System", "exactSettings"})));

  FakeHost h5(5);
  EXPECT_TRUE(path(h5.vm, {"System", "exactSettings"}).isUndefined());
  FakeHost h6(6);
  EXPECT_FALSE(vm.toBool(path(h6.vm, {"System", "exactSettings"})));

  std::vector<Value> name{Value("app")};
  Value product = h.vm.construct(path(vm, {"System", "Product"}), name);
  ASSERT_TRUE(product.isObject());
  EXPECT_EQ(vm.typeOf(vm.getMember(product, "launch")), "function");
  EXPECT_FALSE(vm.hasOwnProperty(product.asObject(), "launch"));
}

TEST(StageObject, AlignKeepsKnownEdgesInCanonicalOrder) {
  FakeHost h(5);
  Vm& vm = h.vm;
  Object* stage = path(vm, {"Stage"}).asObject();
  auto align = [&](const char* text) {
    vm.setMember(stage, "align", Value(text));
    return vm.toString(vm.getMember(stage, "align"));
  };
  EXPECT_EQ(align("l"), "L");
  EXPECT_EQ(align("TL"), "LT");
  EXPECT_EQ(align("B   rhh"), "RB");
  EXPECT_EQ(align("btrl"), "LTRB");
  EXPECT_EQ(align("X"), "");
}

TEST(StageObject, NamedSettingsIgnoreCaseAndUnknownNames) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Object* stage = path(vm, {"Stage"}).asObject();
  EXPECT_EQ(vm.toString(vm.getMember(stage, "displayState")), "normal");
  vm.setMember(stage, "displayState", Value("FULLSCREEN"));
  EXPECT_EQ(vm.toString(vm.getMember(stage, "displayState")), "fullScreen");
  vm.setMember(stage, "displayState", Value("bogus"));
  EXPECT_EQ(vm.toString(vm.getMember(stage, "displayState")), "fullScreen");
  vm.setMember(stage, "scaleMode", Value("noscale"));
  EXPECT_EQ(vm.toString(vm.getMember(stage, "scaleMode")), "noScale");
  // The size is the host's and cannot be set.
  vm.setMember(stage, "width", Value(10.0));
  EXPECT_EQ(vm.toNumber(vm.getMember(stage, "width")), 550);
  EXPECT_EQ(vm.typeOf(vm.getMember(stage, "addListener")), "function");

  FakeHost h5(5);
  EXPECT_TRUE(h5.vm.getMember(path(h5.vm, {"Stage"}), "addListener").isUndefined());
}

}  // namespace
}  // namespace orv::movie::avm1
