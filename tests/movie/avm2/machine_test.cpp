// The machine on hand-assembled scripts: classes and their traits, inheritance and super,
// method closures, names and namespaces, scopes, activations, rest arguments, the
// machine's errors as catchable Error objects, and the limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../abc/abc_writer.h"
#include "movie/abc/reader.h"
#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {
namespace {

namespace op = test::op;
using test::Code;

struct Lines : Host {
  std::vector<std::string> lines;
  void trace(std::string_view line) override { lines.emplace_back(line); }
};

// A script assembled in a test: its init code and definitions, run on a machine of its own.
struct Script {
  test::AbcBuilder abc;
  Lines host;
  Machine machine{&host};
  std::string uncaught;

  uint32_t q(const std::string& name) { return abc.qname(name); }
  // trace(<what `push` leaves on the stack>)
  Code& trace(Code& c, const std::function<void(Code&)>& push) {
    c.op(op::findpropstrict, q("trace"));
    push(c);
    return c.op(op::callpropvoid, q("trace"), 1);
  }
  Code& traceString(Code& c, const std::string& s) {
    return trace(c, [&](Code& k) { k.op(op::pushstring, abc.string(s)); });
  }
  // Runs `init` as the script's init method (its traits `traits`); lines traced.
  std::vector<std::string> run(const Code& init, std::vector<abc::Trait> traits = {},
                               test::AbcBody body = {.maxStack = 10, .localCount = 4}) {
    uint32_t m = abc.method();
    abc.body(m, init, body);
    abc.script(m, traits);
    auto read = abc::readAbc(abc.bytes());
    if (!read) {
      ADD_FAILURE() << read.error.message();
      return {};
    }
    std::string error;
    AbcUnit* unit = machine.load(read.file, error);
    if (!unit) {
      ADD_FAILURE() << error;
      return {};
    }
    try {
      machine.runEntryScript(*unit);
    } catch (ScriptThrow& t) {
      uncaught = machine.toText(t.value);
    }
    return host.lines;
  }
};

// The script's own scope, pushed again (a handler starts with an empty scope stack).
Code& enterScope(Code& c) { return c.op(op::getlocal0).op(op::pushscope); }

TEST(Avm2Machine, ClassesLayOutTraitsInheritAndCallSuper) {
  Script s;
  auto& abc = s.abc;
  uint32_t x = s.q("x"), hello = s.q("hello"), twice = s.q("twice");
  // class Base { var x:int = 5; function Base(a) { x = a } function get twice() { return x * 2 }
  //              function hello() { return "base" } }
  uint32_t baseInit = abc.method({.params = {0}, .name = "Base"});
  Code bi;
  enterScope(bi).op(op::getlocal0).op(op::constructsuper, 0);
  bi.op(op::getlocal0).op(op::getlocal1).op(op::setproperty, x).op(op::returnvoid);
  abc.body(baseInit, bi, {.localCount = 2});
  uint32_t getTwice = abc.method();
  Code gt;
  enterScope(gt).op(op::getlocal0).op(op::getproperty, x).pushbyte(2).op(op::multiply);
  abc.body(getTwice, gt.op(op::returnvalue));
  uint32_t baseHello = abc.method();
  Code bh;
  enterScope(bh).op(op::pushstring, abc.string("base")).op(op::returnvalue);
  abc.body(baseHello, bh);
  abc.defineClass({.name = s.q("Base"),
                   .superName = s.q("Object"),
                   .iinit = baseInit,
                   .cinit = abc.emptyMethod(),
                   .instanceTraits = {abc.slot(x, s.q("int"), abc.value(5)),
                                      abc.getter(twice, getTwice),
                                      abc.methodTrait(hello, baseHello)}});
  // class Derived extends Base { function Derived() { super(7) }
  //   override function hello() { return "derived+" + super.hello() } }
  uint32_t derivedInit = abc.method();
  Code di;
  enterScope(di).op(op::getlocal0).pushbyte(7).op(op::constructsuper, 1).op(op::returnvoid);
  abc.body(derivedInit, di);
  uint32_t derivedHello = abc.method();
  Code dh;
  enterScope(dh).op(op::pushstring, abc.string("derived+"));
  dh.op(op::getlocal0).op(op::callsuper, hello, 0).op(op::add).op(op::returnvalue);
  abc.body(derivedHello, dh);
  abc::Trait overrideHello = abc.methodTrait(hello, derivedHello);
  overrideHello.isOverride = true;
  abc.defineClass({.name = s.q("Derived"),
                   .superName = s.q("Base"),
                   .iinit = derivedInit,
                   .cinit = abc.emptyMethod(),
                   .instanceTraits = {overrideHello}});

  Code c;
  enterScope(c);
  c.op(op::getscopeobject, 0).op(op::getlex, s.q("Object")).op(op::newclass, 0);
  c.op(op::initproperty, s.q("Base"));
  c.op(op::getscopeobject, 0).op(op::getlex, s.q("Base")).op(op::newclass, 1);
  c.op(op::initproperty, s.q("Derived"));
  c.op(op::findpropstrict, s.q("Derived")).op(op::constructprop, s.q("Derived"), 0).op(op::setlocal1);
  s.trace(c, [&](Code& k) { k.op(op::getlocal1).op(op::getproperty, x); });
  s.trace(c, [&](Code& k) { k.op(op::getlocal1).op(op::getproperty, twice); });
  s.trace(c, [&](Code& k) { k.op(op::getlocal1).op(op::callproperty, hello, 0); });
  // A method taken off its object stays bound to it.
  c.op(op::getlocal1).op(op::getproperty, hello).op(op::setlocal2);
  s.trace(c, [&](Code& k) { k.op(op::getlocal2).op(op::pushnull).op(op::call, 0); });
  // A slot typed int converts what is stored in it.
  c.op(op::getlocal1).op(op::pushstring, abc.string("12.9")).op(op::setproperty, x);
  s.trace(c, [&](Code& k) { k.op(op::getlocal1).op(op::getproperty, x); });
  // Instances of a sealed class take no new properties; the error is catchable.
  size_t from = c.size();
  c.op(op::getlocal1).pushbyte(1).op(op::setproperty, s.q("nope"));
  size_t to = c.size();
  c.op(op::returnvoid);
  size_t target = c.size();
  enterScope(c).op(op::setlocal3);
  s.trace(c, [&](Code& k) { k.op(op::getlocal3).op(op::callproperty, s.q("toString"), 0); });
  // A class's constructor insists on its arguments.
  c.op(op::findpropstrict, s.q("Base")).op(op::constructprop, s.q("Base"), 0).op(op::pop);
  c.op(op::returnvoid);
  test::AbcBody body{.maxStack = 10, .localCount = 4};
  body.exceptions = {{uint32_t(from), uint32_t(to), uint32_t(target), 0, 0}};
  auto lines = s.run(c, {abc.classTrait(s.q("Base"), 0), abc.classTrait(s.q("Derived"), 1)}, body);
  EXPECT_EQ(s.uncaught,
            "ArgumentError: Error #1063: Argument count mismatch on Base(). Expected 1, got 0.");
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "7", "14", "derived+base", "derived+base", "12",
                       "ReferenceError: Error #1056: Cannot create property nope on Derived."}));
}

TEST(Avm2Machine, DynamicObjectsPrototypesAndEnumeration) {
  Script s;
  auto& abc = s.abc;
  Code c;
  enterScope(c);
  // o = {a: 1, b: "two"}; o.c = true; for (k in o) trace(k + "=" + o[k])
  c.op(op::pushstring, abc.string("a")).pushbyte(1);
  c.op(op::pushstring, abc.string("b")).op(op::pushstring, abc.string("two"));
  c.op(op::newobject, 2).op(op::dup).op(op::setlocal1).op(op::setlocal, 4);
  c.op(op::getlocal1).op(op::pushtrue).op(op::setproperty, s.q("c"));
  c.pushbyte(0).op(op::setlocal2);
  auto test = c.label(), body = c.label();
  c.branch(op::jump, test);
  c.bind(body).op(op::label);
  uint32_t any = abc.multinameL(abc.nsSet({abc.packageNs()}));
  s.trace(c, [&](Code& k) {
    k.op(op::getlocal1).op(op::getlocal2).op(op::nextname).op(op::dup).op(op::setlocal3);
    k.op(op::pushstring, abc.string("=")).op(op::add);
    k.op(op::getlocal1).op(op::getlocal3).op(op::getproperty, any).op(op::add);
  });
  c.bind(test).op(op::hasnext2, 1, 2).branch(op::iftrue, body);
  // The loop leaves its object register null; the object is kept in register 4.
  c.op(op::getlocal, 4).op(op::setlocal1);
  // Object.prototype gains a method every object sees, and `in` finds it.
  c.op(op::getlex, s.q("Object")).op(op::getproperty, s.q("prototype"));
  c.op(op::getlex, s.q("Math")).op(op::getproperty, s.q("abs")).op(op::setproperty, s.q("mag"));
  s.trace(c, [&](Code& k) { k.op(op::getlocal1).pushbyte(-3).op(op::callproperty, s.q("mag"), 1); });
  s.trace(c, [&](Code& k) {
    k.op(op::pushstring, abc.string("mag")).op(op::getlocal1).op(op::in);
  });
  s.trace(c, [&](Code& k) {
    k.op(op::getlocal1).op(op::pushstring, abc.string("mag"));
    k.op(op::callproperty, s.q("hasOwnProperty"), 1);
  });
  c.op(op::returnvoid);
  auto lines = s.run(c, {}, {.maxStack = 10, .localCount = 5});
  EXPECT_EQ(s.uncaught, "");
  EXPECT_EQ(lines, (std::vector<std::string>{"a=1", "b=two", "c=true", "3", "true", "false"}));
}

TEST(Avm2Machine, NamesResolveThroughNamespacesScopesAndActivations) {
  Script s;
  auto& abc = s.abc;
  uint32_t priv = abc.privateNs("Test");
  uint32_t secret = abc.qname(priv, "secret");
  uint32_t user = abc.ns(abc::NamespaceKind::Namespace, "http://example.com/ns");
  Code c;
  enterScope(c);
  // A private name and a public one of the same text are different properties.
  c.op(op::getlocal0).pushbyte(1).op(op::setslot, 1);
  c.op(op::getlocal0).pushbyte(2).op(op::setslot, 2);
  s.trace(c, [&](Code& k) { k.op(op::getlex, secret); });
  s.trace(c, [&](Code& k) { k.op(op::getlex, s.q("secret")); });
  // A multiname with a set finds the name in whichever namespace declares it.
  uint32_t both = abc.multiname("secret", abc.nsSet({user, priv}));
  s.trace(c, [&](Code& k) { k.op(op::getlocal0).op(op::getproperty, both); });
  // The namespace of a runtime-qualified name comes from the stack.
  s.trace(c, [&](Code& k) {
    k.op(op::getlocal0).op(op::pushnamespace, abc.packageNs()).op(op::getproperty, abc.rtqname("secret"));
  });
  // `with` puts an object's properties in scope.
  c.op(op::pushstring, abc.string("w")).op(op::pushstring, abc.string("from with"));
  c.op(op::newobject, 1).op(op::pushwith);
  s.trace(c, [&](Code& k) { k.op(op::findpropstrict, s.q("w")).op(op::getproperty, s.q("w")); });
  c.op(op::popscope);
  // `with (7)`: a number's properties, its prototype's methods among them.
  c.pushbyte(7).op(op::pushwith);
  s.trace(c, [&](Code& k) { k.op(op::findpropstrict, s.q("toFixed")).pushbyte(1).op(op::callproperty, s.q("toFixed"), 1); });
  c.op(op::popscope);
  // A function with an activation: its locals live in slots of the activation object, and
  // closures made inside see them; its rest parameter gathers the extra arguments.
  uint32_t inner = abc.method();
  Code ic;
  ic.op(op::getlex, s.q("count")).op(op::increment).op(op::dup);
  ic.op(op::findproperty, s.q("count")).op(op::swap).op(op::setproperty, s.q("count"));
  ic.op(op::returnvalue);
  abc.body(inner, ic);
  uint32_t outer = abc.method({.params = {0}, .flags = abc::MethodFlag::NeedRest | abc::MethodFlag::NeedActivation});
  Code oc;
  oc.op(op::newactivation).op(op::dup).op(op::setlocal3).op(op::pushscope);
  oc.op(op::getlocal3).op(op::getlocal1).op(op::setslot, 1);
  oc.op(op::newfunction, inner).op(op::dup).op(op::pushnull).op(op::call, 0).op(op::pop);
  oc.op(op::pushnull).op(op::call, 0);
  oc.op(op::pushstring, abc.string("/")).op(op::add);
  oc.op(op::getlocal2).op(op::getproperty, s.q("length")).op(op::add).op(op::returnvalue);
  abc.body(outer, oc,
           {.localCount = 4, .traits = {test::AbcBuilder::slot(s.q("count"), 0, {}, 1)}});
  uint32_t outerName = s.q("outer");
  s.trace(c, [&](Code& k) {
    k.op(op::findpropstrict, outerName).pushbyte(10).pushbyte(0).pushbyte(0);
    k.op(op::callproperty, outerName, 3);
  });
  c.op(op::returnvoid);
  auto lines = s.run(c, {abc.slot(secret, 0, {}, 1), abc.slot(s.q("secret"), 0, {}, 2),
                         abc.function(outerName, outer, 3)});
  EXPECT_EQ(s.uncaught, "");
  EXPECT_EQ(lines, (std::vector<std::string>{"1", "2", "1", "2", "from with", "7.0", "12/2"}));
}

TEST(Avm2Machine, ErrorsAreErrorObjectsCaughtByType) {
  Script s;
  auto& abc = s.abc;
  Code c;
  enterScope(c);
  // null.x: a TypeError, passed over by a handler for RangeError, caught by one for TypeError.
  size_t from = c.size();
  c.op(op::pushnull).op(op::getproperty, s.q("x")).op(op::pop);
  size_t to = c.size();
  auto after = c.label();
  c.branch(op::jump, after);
  size_t rangeHandler = c.size();
  enterScope(c);
  s.traceString(c, "wrong handler");
  c.op(op::returnvoid);
  size_t typeHandler = c.size();
  enterScope(c).op(op::setlocal1);
  s.trace(c, [&](Code& k) { k.op(op::getlocal1); });
  s.trace(c, [&](Code& k) { k.op(op::getlocal1).op(op::getproperty, s.q("errorID")); });
  s.trace(c, [&](Code& k) { k.op(op::getlocal1).op(op::istype, s.q("Error")); });
  c.bind(after);
  // Endless recursion stops with error #1023, which scripts may catch too.
  uint32_t self = abc.method();
  Code rc;
  rc.op(op::getlex, s.q("recurse")).op(op::pushnull).op(op::call, 0).op(op::returnvalue);
  abc.body(self, rc);
  size_t from2 = c.size();
  c.op(op::findpropstrict, s.q("recurse")).op(op::callpropvoid, s.q("recurse"), 0);
  size_t to2 = c.size();
  // A function called with too few arguments sees undefined for the missing ones.
  uint32_t oneArg = abc.method({.params = {0}, .name = "needsOne"});
  abc.body(oneArg, Code().op(op::getlocal1).op(op::typeof_).op(op::returnvalue), {.localCount = 2});
  c.op(op::findpropstrict, s.q("needsOne")).op(op::callpropvoid, s.q("needsOne"), 0);
  c.op(op::returnvoid);
  size_t recursionHandler = c.size();
  enterScope(c).op(op::setlocal1);
  s.trace(c, [&](Code& k) { k.op(op::getlocal1); });
  s.trace(c, [&](Code& k) { k.op(op::findpropstrict, s.q("needsOne")).op(op::callproperty, s.q("needsOne"), 0); });
  c.op(op::returnvoid);
  test::AbcBody body{.maxStack = 10, .localCount = 4};
  uint32_t rangeError = s.q("RangeError"), typeError = s.q("TypeError");
  body.exceptions = {{uint32_t(from), uint32_t(to), uint32_t(rangeHandler), rangeError, 0},
                     {uint32_t(from), uint32_t(to), uint32_t(typeHandler), typeError, 0},
                     {uint32_t(from2), uint32_t(to2), uint32_t(recursionHandler), 0, 0}};
  auto lines = s.run(c,
                     {abc.function(s.q("recurse"), self, 1), abc.function(s.q("needsOne"), oneArg, 2)},
                     body);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "TypeError: Error #1009: Cannot access a property or method of a null "
                       "object reference.",
                       "1009", "true", "Error: Error #1023: Stack overflow occurred.",
                       "undefined"}));
  EXPECT_EQ(s.uncaught, "");
  EXPECT_EQ(s.machine.depth, 0);
}

TEST(Avm2Machine, TimeLimitStopsScriptsAndHandlersCannotCatchIt) {
  Script s;
  Code c;
  auto top = c.label();
  size_t from = c.size();
  c.bind(top).op(op::label).branch(op::jump, top);
  size_t to = c.size();
  size_t handler = c.size();
  s.traceString(enterScope(c), "caught");
  c.op(op::returnvoid);
  s.machine.budget = 10000;
  test::AbcBody body{.maxStack = 10, .localCount = 4};
  body.exceptions = {{uint32_t(from), uint32_t(to), uint32_t(handler), 0, 0}};
  auto lines = s.run(c, {}, body);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(s.uncaught,
            "Error: Error #1502: A script has executed for longer than the default timeout "
            "period of 15 seconds.");
}

}  // namespace
}  // namespace orv::movie::avm2

namespace orv::movie::avm2 {
namespace {

// Loads a file into `domain` whose script defines the public variables `values` (name ->
// string), and runs it.
void loadDefining(Machine& machine, uint32_t domain,
                  const std::vector<std::pair<std::string, std::string>>& values) {
  test::AbcBuilder abc;
  Code init;
  enterScope(init);
  std::vector<abc::Trait> traits;
  for (const auto& [name, value] : values) {
    init.op(op::findproperty, abc.qname(name)).op(op::pushstring, abc.string(value));
    init.op(op::initproperty, abc.qname(name));
    traits.push_back(test::AbcBuilder::slot(abc.qname(name)));
  }
  init.op(op::returnvoid);
  uint32_t m = abc.method();
  abc.body(m, init, {.maxStack = 4, .localCount = 1});
  abc.script(m, traits);
  auto read = abc::readAbc(abc.bytes());
  ASSERT_TRUE(read);
  std::string error;
  AbcUnit* unit = machine.load(read.file, error, domain);
  ASSERT_NE(unit, nullptr) << error;
  machine.runEntryScript(*unit);
}

// What `name` reads as from `domain` ("" when the domain does not see it).
std::string lookUp(Machine& machine, const std::string& name, uint32_t domain) {
  Name n = machine.publicName(name);
  Object* holder = machine.findDefinition(n, domain);
  return holder ? machine.toText(machine.getProperty(Value(holder), n)) : "";
}

TEST(Avm2Machine, DomainsSeeTheirParentsDefinitionsFirstAndNotTheirSiblings) {
  Lines host;
  Machine machine(&host);
  const uint32_t child = machine.newDomain(Machine::kMainDomain);
  const uint32_t sibling = machine.newDomain(Machine::kMainDomain);
  const uint32_t alone = machine.newDomain(Machine::kSystemDomain);
  EXPECT_EQ(machine.domainParent(child), Machine::kMainDomain);
  EXPECT_EQ(machine.domainParent(Machine::kMainDomain), Machine::kSystemDomain);
  EXPECT_EQ(machine.domainParent(Machine::kSystemDomain), Machine::kNoDomain);
  // An unknown parent is the system's.
  EXPECT_EQ(machine.domainParent(machine.newDomain(999999)), Machine::kSystemDomain);
  loadDefining(machine, Machine::kMainDomain, {{"shared", "main"}, {"onlyMain", "main"}});
  loadDefining(machine, child, {{"shared", "child"}, {"onlyChild", "child"}});
  loadDefining(machine, sibling, {{"shared", "sibling"}});
  loadDefining(machine, alone, {{"shared", "alone"}});
  // A parent's definition hides the one its child loaded.
  EXPECT_EQ(lookUp(machine, "shared", child), "main");
  EXPECT_EQ(lookUp(machine, "shared", sibling), "main");
  EXPECT_EQ(lookUp(machine, "onlyChild", child), "child");
  EXPECT_EQ(lookUp(machine, "onlyMain", child), "main");
  // Neither the parent nor a sibling sees what a child defines.
  EXPECT_EQ(lookUp(machine, "onlyChild", Machine::kMainDomain), "");
  EXPECT_EQ(lookUp(machine, "onlyChild", sibling), "");
  // A domain of its own below the system's sees its own and the player's classes only.
  EXPECT_EQ(lookUp(machine, "shared", alone), "alone");
  EXPECT_EQ(lookUp(machine, "onlyMain", alone), "");
  EXPECT_NE(machine.findClass("Object", alone), nullptr);
  EXPECT_EQ(machine.findClass("Object", child), machine.findClass("Object"));
}

}  // namespace
}  // namespace orv::movie::avm2
