// Sound objects: whose volume and balance they change, how they follow a clip that is
// replaced, and what loading reports.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value makeSound(Vm& vm, std::vector<Value> args = {}) {
  return vm.construct(vm.getMember(vm.global, "Sound"), args);
}

Value method(Vm& vm, const Value& obj, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(obj, name, args);
}

double volume(Vm& vm, const Value& sound) { return vm.toNumber(method(vm, sound, "getVolume")); }

TEST(SoundObject, SoundsOnNothingShareTheMovieVolumeAndClipsHaveTheirOwn) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Value whole1 = makeSound(vm), whole2 = makeSound(vm, {Value()}),
        whole3 = makeSound(vm, {Value::null()});
  EXPECT_TRUE(vm.instanceOf(whole1.asObject(), vm.getMember(vm.global, "Sound").asObject()));
  EXPECT_EQ(volume(vm, whole1), 100);
  method(vm, whole2, "setVolume", {Value(95.8)});
  EXPECT_EQ(volume(vm, whole1), 95);  // whole numbers
  EXPECT_EQ(volume(vm, whole3), 95);

  Value rootSound = makeSound(vm, {Value(vm.objectFor(&h.root))});
  EXPECT_EQ(volume(vm, rootSound), 100);
  method(vm, rootSound, "setVolume", {Value(40)});
  EXPECT_EQ(volume(vm, makeSound(vm, {Value(vm.objectFor(&h.root))})), 40);
  EXPECT_EQ(volume(vm, whole1), 95);

  // Made on something that is no clip: nothing to read or change.
  for (Value target : {Value(33), Value(vm.newObject())}) {
    Value s = makeSound(vm, {target});
    method(vm, s, "setVolume", {Value(10)});
    EXPECT_TRUE(method(vm, s, "getVolume").isUndefined());
    EXPECT_TRUE(method(vm, s, "getTransform").isUndefined());
  }
  EXPECT_EQ(vm.typeOf(vm.getMember(whole1, "checkPolicyFile")), "boolean");
}

TEST(SoundObject, FollowsTheClipThatTakesTheRemovedOnesPlace) {
  FakeHost h(6);
  Vm& vm = h.vm;
  auto* first = h.root.add("c1", 1);
  Value s = makeSound(vm, {Value(vm.objectFor(first))});
  method(vm, s, "setVolume", {Value(80)});
  EXPECT_EQ(volume(vm, s), 80);
  vm.clipRemoved(first);
  first->setName("gone");
  EXPECT_TRUE(method(vm, s, "getVolume").isUndefined());
  h.root.add("c1", 2);  // a new clip at the same path starts at full volume
  EXPECT_EQ(volume(vm, s), 100);
}

// The target is a path, looked up on every use: a renamed clip is not the Sound's any more
// (whatever the Sound is asked does nothing), a string naming a clip works as the clip does.
TEST(SoundObject, FindsItsClipByPathOnEveryUse) {
  FakeHost h(6);
  Vm& vm = h.vm;
  auto* clip = h.root.add("mc", 1);
  Value byClip = makeSound(vm, {Value(vm.objectFor(clip))});
  Value byName = makeSound(vm, {Value("mc")});
  method(vm, byClip, "setVolume", {Value(25)});
  EXPECT_EQ(volume(vm, byName), 25);
  clip->setName("changed");
  method(vm, byClip, "setVolume", {Value(5)});
  EXPECT_TRUE(method(vm, byClip, "getVolume").isUndefined());
  method(vm, byClip, "attachSound", {Value("tone")});
  clip->setName("mc");
  EXPECT_EQ(volume(vm, byClip), 25);
  EXPECT_TRUE(method(vm, byClip, "getDuration").isUndefined());  // nothing was attached
}

TEST(SoundObject, PanAndTransformDescribeTheSameBalance) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Value s = makeSound(vm);
  EXPECT_EQ(vm.toNumber(method(vm, s, "getPan")), 0);
  method(vm, s, "setPan", {Value(-30)});
  Value t = method(vm, s, "getTransform");
  EXPECT_EQ(vm.toNumber(vm.getMember(t, "ll")), 100);
  EXPECT_EQ(vm.toNumber(vm.getMember(t, "rr")), 70);
  EXPECT_EQ(vm.toNumber(vm.getMember(t, "lr")), 0);
  // A transform that quietens the left speaker pans to the right; fields left out stay.
  Object* change = vm.newObject();
  vm.setMember(change, "ll", Value(60));
  vm.setMember(change, "rr", Value(100));
  method(vm, s, "setTransform", {Value(change)});
  EXPECT_EQ(vm.toNumber(method(vm, s, "getPan")), 40);
  Value after = method(vm, s, "getTransform");
  EXPECT_EQ(vm.toNumber(vm.getMember(after, "ll")), 60);
  EXPECT_EQ(vm.toNumber(vm.getMember(after, "rl")), 0);
}

TEST(SoundObject, LoadingMethodsComeWithSwf6AndAFailedLoadCallsOnLoadAsTheFrameEnds) {
  {
    FakeHost h(5);
    Value proto = h.vm.getMember(h.vm.getMember(h.vm.global, "Sound"), "prototype");
    EXPECT_TRUE(h.vm.getMember(proto, "loadSound").isUndefined());
    EXPECT_FALSE(h.vm.getMember(proto, "attachSound").isUndefined());
  }
  FakeHost h(6);
  Vm& vm = h.vm;
  Value s = makeSound(vm);
  EXPECT_TRUE(method(vm, s, "getDuration").isUndefined());
  // onLoad(false) arrives as the frame ends, not inside loadSound.
  test::Asm handler;
  handler.push({"loaded:"}).push({"ok"}).op(0x1C).op(0x47).trace();
  vm.setMember(vm.objectFor(&h.root), "s", s);
  h.run(test::Asm()
            .push({"s"})
            .op(0x1C)
            .push({"onLoad"})
            .function("", {"ok"}, handler)
            .op(0x4F)
            .push({"missing.mp3", 1, "s"})
            .op(0x1C)
            .push({"loadSound"})
            .op(0x52)
            .op(0x17));
  EXPECT_EQ(h.out, "");
  EXPECT_EQ(vm.toNumber(method(vm, s, "getDuration")), 0);  // nothing yet while on its way
  vm.runLoads(true);
  EXPECT_EQ(h.out, "loaded:false\n");
  EXPECT_TRUE(method(vm, s, "getDuration").isUndefined());
  h.out.clear();
  vm.runLoads(true);
  EXPECT_EQ(h.out, "");  // once only
}

}  // namespace
}  // namespace orv::movie::avm1

namespace orv::movie::avm1 {
namespace {

TEST(ClipReferences, ARemovedClipsReferenceFollowsTheClipThatTakesItsPlace) {
  test::FakeHost h(6);
  Vm& vm = h.vm;
  auto* first = h.root.add("c1", 1);
  Object* ref = vm.objectFor(first);
  vm.setMember(ref, "mark", Value(1));
  vm.clipRemoved(first);
  first->setName("gone");
  // Nothing at the path: reads give nothing and writes go nowhere.
  EXPECT_TRUE(vm.getMember(ref, "mark").isUndefined());
  vm.setMember(ref, "lost", Value(2));
  EXPECT_EQ(vm.clipOf(Value(ref)), nullptr);
  // A new clip at the same path answers for the old reference.
  auto* second = h.root.add("c1", 2);
  EXPECT_EQ(vm.clipOf(Value(ref)), second);
  vm.setMember(ref, "fresh", Value(3));
  EXPECT_EQ(vm.toNumber(vm.getMember(vm.objectFor(second), "fresh")), 3);
  EXPECT_TRUE(vm.getMember(ref, "lost").isUndefined());
  // AsBroadcaster.initialize on the old reference equips the new clip.
  Value init = vm.getMember(vm.getMember(vm.global, "AsBroadcaster"), "initialize");
  std::vector<Value> args{Value(ref)};
  vm.call(init, Value(), args);
  EXPECT_EQ(vm.typeOf(vm.getMember(vm.objectFor(second), "addListener")), "function");
}

}  // namespace
}  // namespace orv::movie::avm1
