// Rectangle.contains as the reference player evaluates it: comparisons with NaN give
// undefined, and the first falsy comparison is the answer.
#include <gtest/gtest.h>

#include <cmath>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

TEST(RectangleContains, AnswersTrueFalseOrUndefined) {
  test::FakeHost h(8);
  Vm& vm = h.vm;
  Value ctor = vm.getMember(vm.getMember(vm.getMember(vm.global, "flash"), "geom"), "Rectangle");
  std::vector<Value> box{Value(2), Value(2), Value(10), Value(10)};
  Value r = vm.construct(ctor, box);
  auto contains = [&](Value x, Value y) {
    std::vector<Value> args{x, y};
    return vm.callMethod(r, "contains", args);
  };
  EXPECT_TRUE(contains(Value(3), Value(3)).isBool() && contains(Value(3), Value(3)).asBool());
  Value left = contains(Value(1), Value(3));
  EXPECT_TRUE(left.isBool() && !left.asBool());
  EXPECT_TRUE(contains(Value(std::nan("")), Value(3)).isUndefined());
  EXPECT_TRUE(contains(Value(3), Value(std::nan(""))).isUndefined());
  EXPECT_TRUE(contains(Value(), Value(3)).isUndefined());
  Value text = contains(Value("3"), Value("3"));
  EXPECT_TRUE(text.isBool());
}

}  // namespace
}  // namespace orv::movie::avm1
