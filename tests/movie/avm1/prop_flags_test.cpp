// ASSetPropFlags: the attribute bits, and the version bits that hide a member from older movies.

#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value callGlobal(Vm& vm, const char* name, std::vector<Value> args) {
  return vm.call(vm.getMember(vm.global, name), Value(), args);
}

// Whether obj.prop is out of sight of a movie of this version once `bits` are set on it.
bool hiddenBy(int version, int bits) {
  FakeHost h(version);
  Vm& vm = h.vm;
  Object* o = vm.newObject();
  vm.setMember(o, "prop", Value("okay"));
  callGlobal(vm, "ASSetPropFlags", {Value(o), Value("prop"), Value(bits)});
  bool gone = vm.getMember(o, "prop").isUndefined();
  EXPECT_EQ(gone, !vm.hasOwnProperty(o, "prop")) << version << " " << bits;
  EXPECT_EQ(gone, vm.enumerableNames(o).empty()) << version << " " << bits;
  // Clearing the bits brings the member back with its value.
  callGlobal(vm, "ASSetPropFlags", {Value(o), Value("prop"), Value(0), Value(bits)});
  EXPECT_EQ(vm.toString(vm.getMember(o, "prop")), "okay") << version << " " << bits;
  return gone;
}

TEST(PropFlags, VersionBitsHideMembersFromOlderMovies) {
  const int bits[] = {0x80, 0x400, 0x1000, 0x2000, 0x4000};
  const int firstSeen[] = {6, 7, 8, 9, 10};
  for (int version : {5, 6, 7, 8, 9, 10})
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(hiddenBy(version, bits[i]), version < firstSeen[i])
          << "version " << version << " bits " << bits[i];
  // The bits between them hide nothing.
  for (int other : {0x8, 0x10, 0x20, 0x40, 0x100, 0x200, 0x800}) EXPECT_FALSE(hiddenBy(5, other));
}

TEST(PropFlags, AHiddenMemberWrittenAnewIsSeenAgainAndDropsItsVersionBits) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Object* o = vm.newObject();
  vm.setMember(o, "a", Value(1));
  vm.setMember(o, "b", Value(2));
  callGlobal(vm, "ASSetPropFlags", {Value(o), Value::null(), Value(0x400 | kDontEnum)});
  EXPECT_TRUE(vm.getMember(o, "a").isUndefined());
  EXPECT_FALSE(vm.deleteMember(o, "b"));
  vm.setMember(o, "a", Value(3));
  EXPECT_EQ(vm.toNumber(vm.getMember(o, "a")), 3);
  // Still not enumerable: the attribute bits stay, only the version bit went.
  EXPECT_TRUE(vm.enumerableNames(o).empty());
  callGlobal(vm, "ASSetPropFlags", {Value(o), Value::null(), Value(0), Value(kDontEnum)});
  ASSERT_EQ(vm.enumerableNames(o).size(), 1u);
  EXPECT_EQ(vm.enumerableNames(o)[0], "a");
  // Clearing the version bit brings b back too.
  callGlobal(vm, "ASSetPropFlags", {Value(o), Value("b"), Value(0), Value(0x400)});
  EXPECT_EQ(vm.toNumber(vm.getMember(o, "b")), 2);
}

}  // namespace
}  // namespace orv::movie::avm1
