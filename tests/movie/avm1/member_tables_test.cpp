// Built-in members declared as tables: what installMembers and installClass make of the
// rows (flags, accessor pairs, variants, constants, versions, order, class links), and the
// numbers the rows declare.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/avm1/native_table.h"
#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

// One body for several members: it tells them apart by the variant.
Value whichOne(Vm&, CallInfo& c) { return Value(c.variant); }
Value firstArgument(Vm&, CallInfo& c) { return c.arg(0); }
// Keeps what it is given on `this`, where firstArgument-style getters cannot see it.
Value keepOnThis(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject()) self->put("kept", c.arg(0), 0, vm.caseInsensitive());
  return Value();
}
Value readKept(Vm& vm, CallInfo& c) {
  return c.thisObject() ? vm.getMember(c.thisObject(), "kept") : Value();
}
Value makeOwnObject(Vm& vm, CallInfo& c) {
  Object* o = vm.newObject();
  o->put("made", Value(true), 0, vm.caseInsensitive());
  o->put("wasNew", Value(c.isConstruct), 0, vm.caseInsensitive());
  return Value(o);
}
Value markThis(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject()) self->put("marked", Value(c.variant), 0, vm.caseInsensitive());
  return Value();
}

constexpr NativeMember kRows[] = {
    method("first", whichOne, kDontEnum, 1),
    constant("LIMIT", 8),
    method("second", whichOne, 0, 2),
    getter("value", readKept, kDontEnum | kDontDelete),
    constant("label", "text", kDontEnum),
    setter("value", keepOnThis, kDontEnum | kDontDelete),
    constant("on", true, 0),
    slot("empty"),
    slot("none", kDontEnum, Literal::Null),
    method("later", whichOne).since(7),
    getter("readOnly", whichOne, kDontEnum, 5),
};

Value call(Vm& vm, Object* self, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(Value(self), name, args);
}

TEST(MemberTables, RowsBecomePropertiesInTheirOrderWithTheirFlags) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Object* target = vm.newObject();
  installMembers(vm, target, kRows);
  std::vector<std::string> names;
  for (const Property& p : target->properties())
    if (!p.deleted) names.push_back(p.name);
  // The getter and the setter of "value" make one property, where the getter came; the
  // SWF 7 member is left out of a SWF 6 movie.
  EXPECT_EQ(names, (std::vector<std::string>{"__proto__", "first", "LIMIT", "second", "value",
                                             "label", "on", "empty", "none", "readOnly"}));
  EXPECT_EQ(target->findOwn("first", true)->flags, kDontEnum);
  EXPECT_EQ(target->findOwn("second", true)->flags, 0);
  EXPECT_EQ(target->findOwn("LIMIT", true)->flags, kDontEnum | kDontDelete | kReadOnly);
  EXPECT_EQ(target->findOwn("value", true)->flags, kDontEnum | kDontDelete);
  EXPECT_EQ(vm.enumerableNames(target), (std::vector<std::string>{"on", "second"}));
  // Constants hold their values; methods are functions of their own.
  EXPECT_EQ(vm.toNumber(vm.getMember(target, "LIMIT")), 8);
  EXPECT_EQ(vm.toString(vm.getMember(target, "label")), "text");
  EXPECT_TRUE(vm.getMember(target, "on").isBool());
  EXPECT_TRUE(vm.getMember(target, "empty").isUndefined());
  EXPECT_TRUE(vm.getMember(target, "none").isNull());
  EXPECT_EQ(vm.typeOf(vm.getMember(target, "first")), "function");
  EXPECT_TRUE(vm.getMember(target, "later").isUndefined());
  vm.setMember(target, "LIMIT", Value(9));
  EXPECT_EQ(vm.toNumber(vm.getMember(target, "LIMIT")), 8);
}

TEST(MemberTables, VariantsReachTheSharedBodyAndAccessorsPairUp) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Object* target = vm.newObject();
  installMembers(vm, target, kRows);
  EXPECT_EQ(vm.toNumber(call(vm, target, "first")), 1);
  EXPECT_EQ(vm.toNumber(call(vm, target, "second")), 2);
  EXPECT_EQ(vm.toNumber(call(vm, target, "later")), 0);
  // Both halves of "value" work on the receiver; the getter alone is read-only.
  Property* value = target->findOwn("value", false);
  ASSERT_TRUE(value && value->getter && value->setter);
  vm.setMember(target, "value", Value("stored"));
  EXPECT_EQ(vm.toString(vm.getMember(target, "value")), "stored");
  Property* readOnly = target->findOwn("readOnly", false);
  ASSERT_TRUE(readOnly && readOnly->getter);
  EXPECT_EQ(readOnly->setter, nullptr);
  vm.setMember(target, "readOnly", Value(1));
  EXPECT_EQ(vm.toNumber(vm.getMember(target, "readOnly")), 5);
  // An object inheriting the accessor stores through it on itself.
  Object* child = vm.newObject(target);
  vm.setMember(child, "value", Value("mine"));
  EXPECT_EQ(vm.toString(vm.getMember(child, "kept")), "mine");
  EXPECT_EQ(vm.toString(vm.getMember(target, "value")), "stored");
}

TEST(MemberTables, AnAccessorRowLeavesTheOtherHalfAndMethodsReplaceAccessors) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Object* target = vm.newObject();
  installMembers(vm, target, kRows);
  Object* oldSetter = target->findOwn("value", false)->setter;
  constexpr NativeMember kNewGetter[] = {getter("value", whichOne, 0, 3)};
  installMembers(vm, target, kNewGetter);
  Property* value = target->findOwn("value", false);
  EXPECT_EQ(value->setter, oldSetter);
  EXPECT_EQ(value->flags, 0);
  EXPECT_EQ(vm.toNumber(vm.getMember(target, "value")), 3);
  constexpr NativeMember kMethod[] = {method("value", whichOne, kDontEnum, 4)};
  installMembers(vm, target, kMethod);
  value = target->findOwn("value", false);
  EXPECT_FALSE(value->isAccessor());
  EXPECT_EQ(value->setter, nullptr);
  EXPECT_EQ(vm.toNumber(call(vm, target, "value")), 4);
}

constexpr NativeMember kStatics[] = {method("make", whichOne, kDontEnum, 7), constant("KIND", 2)};
constexpr NativeMember kPrototype[] = {method("mark", markThis, kDontEnum, 9)};
constexpr NativeClass kPlainClass{
    .name = "Plain", .constructor = markThis, .prototype = kPrototype, .statics = kStatics};
constexpr NativeClass kOwnClass{
    .name = "Own", .constructor = makeOwnObject, .constructsOwnObject = true, .flags = 0};

TEST(MemberTables, ClassesLinkConstructorAndPrototypeAsThePlayerDoes) {
  FakeHost h(6);
  Vm& vm = h.vm;
  const size_t before = vm.global->properties().size();
  InstalledClass plain = installClass(vm, vm.global, kPlainClass);
  ASSERT_TRUE(plain.constructor && plain.prototype);
  EXPECT_EQ(vm.global->properties().size(), before + 1);
  Property* named = vm.global->findOwn("Plain", true);
  ASSERT_TRUE(named);
  EXPECT_EQ(named->flags, kDontEnum);
  EXPECT_EQ(named->value.asObject(), plain.constructor);
  Property* proto = plain.constructor->findOwn("prototype", true);
  ASSERT_TRUE(proto);
  EXPECT_EQ(proto->value.asObject(), plain.prototype);
  EXPECT_EQ(proto->flags, kDontEnum | kDontDelete);
  EXPECT_EQ(plain.constructor->proto(true), vm.functionProto);
  Property* back = plain.prototype->findOwn("constructor", true);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->value.asObject(), plain.constructor);
  EXPECT_EQ(back->flags, kDontEnum);
  EXPECT_EQ(plain.prototype->proto(true), vm.objectProto);
  // The statics are the constructor's, the rest the prototype's; `new` runs the code on
  // an object made from the prototype.
  EXPECT_EQ(vm.toNumber(call(vm, plain.constructor, "make")), 7);
  EXPECT_EQ(vm.toNumber(vm.getMember(plain.constructor, "KIND")), 2);
  Value made = vm.construct(Value(plain.constructor), {});
  ASSERT_TRUE(made.isObject());
  EXPECT_EQ(made.asObject()->proto(true), plain.prototype);
  EXPECT_EQ(vm.toNumber(vm.getMember(made.asObject(), "marked")), 0);
  call(vm, made.asObject(), "mark");
  EXPECT_EQ(vm.toNumber(vm.getMember(made.asObject(), "marked")), 9);

  // A class that makes its own object, on a prototype given to it, named with other flags.
  Object* given = vm.newObject(plain.prototype);
  InstalledClass own = installClass(vm, vm.global, kOwnClass, given);
  EXPECT_EQ(own.prototype, given);
  EXPECT_TRUE(own.constructor->constructsOwnObject);
  EXPECT_EQ(vm.global->findOwn("Own", true)->flags, 0);
  Value o = vm.construct(Value(own.constructor), {});
  ASSERT_TRUE(o.isObject());
  EXPECT_TRUE(vm.toBool(vm.getMember(o.asObject(), "made")));
  EXPECT_TRUE(vm.toBool(vm.getMember(o.asObject(), "wasNew")));
  // Without a holder the class is made but named nowhere.
  constexpr NativeClass kHidden{.name = "Hidden", .constructor = firstArgument};
  EXPECT_TRUE(installClass(vm, nullptr, kHidden).constructor);
  EXPECT_EQ(vm.global->findOwn("Hidden", true), nullptr);
}

constexpr NativeMember kNumbered[] = {
    method("one", whichOne, kDontEnum, 11).asnative(9000, 1),
    getter("two", whichOne, kDontEnum, 12).asnative(9000, 2),
    setter("two", keepOnThis).asnative(9000, 3),
    numberOnly(9000, 4, whichOne, 14),
    method("again", whichOne, kDontEnum, 15).asnative(9000, 1),
    method("newer", whichOne, kDontEnum, 16).asnative(9000, 5).since(8),
};
constexpr NativeClass kNumberedClass{
    .name = "Numbered", .constructor = whichOne, .variant = 20, .major = 9000, .minor = 6};

TEST(MemberTables, InstalledRowsDeclareTheirNumbers) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Object* target = vm.newObject();
  installMembers(vm, target, kNumbered);
  installClass(vm, vm.global, kNumberedClass);
  auto variantOf = [&](int minor) {
    const NumberedNative* n = findNumberedNative(vm, 9000, minor);
    return n ? n->variant : -1;
  };
  // The first row with a number keeps it; a row the version leaves out declares nothing.
  EXPECT_EQ(variantOf(1), 11);
  EXPECT_EQ(variantOf(2), 12);
  EXPECT_EQ(variantOf(3), 0);
  EXPECT_EQ(variantOf(4), 14);
  EXPECT_EQ(variantOf(5), -1);
  EXPECT_EQ(variantOf(6), 20);
  EXPECT_EQ(findNumberedNative(vm, 9000, 2)->kind, MemberKind::Getter);
  EXPECT_EQ(findNumberedNative(vm, 9000, 3)->kind, MemberKind::Setter);
  EXPECT_EQ(findNumberedNative(vm, 9000, 4)->name, nullptr);
  EXPECT_EQ(findNumberedNative(vm, 9000, 1)->code, &whichOne);
  // A number-only row is no member of the object.
  EXPECT_EQ(target->findOwn("4", false), nullptr);
  size_t mine = 0;
  for (const NumberedNative& n : numberedNatives(vm)) mine += n.major == 9000;
  EXPECT_EQ(mine, 5u);
}

}  // namespace
}  // namespace orv::movie::avm1
