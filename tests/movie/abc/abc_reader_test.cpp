// The ABC reader on well-formed files: every pool, multiname kind, method, trait, class,
// script and body written by the assembler reads back as written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "abc_writer.h"
#include "movie/abc/reader.h"

using namespace orv::movie;
namespace t = orv::movie::test;
using abc::ConstantKind;
using abc::MultinameKind;
using abc::NamespaceKind;
using abc::TraitKind;

namespace {
std::shared_ptr<const abc::AbcFile> readBack(const t::AbcBuilder& b) {
  abc::ReadResult r = abc::readAbc(b.bytes());
  EXPECT_TRUE(r) << r.error.message();
  return r.file;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The bytes of a file with the given pools' bytes and nothing else.
std::vector<uint8_t> fileWithPools(std::vector<uint8_t> pools, std::vector<uint8_t> rest = {}) {
  std::vector<uint8_t> f = {16, 0, 46, 0};
  f.insert(f.end(), pools.begin(), pools.end());
  if (rest.empty()) rest = {0, 0, 0, 0, 0};  // methods, metadata, classes, scripts, bodies
  f.insert(f.end(), rest.begin(), rest.end());
  return f;
}
}  // namespace

TEST(AbcRead, ConstantPoolsRoundTripWithTheirZeroEntries) {
  t::AbcBuilder b;
  const int32_t ints[] = {1,
                          -1,
                          99,
                          64,
                          1234567,
                          167772160,
                          std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int32_t>::max()};
  for (int32_t v : ints) b.integer(v);
  for (uint32_t v : {1u, 127u, 128u, 0xFFFFFFFFu, 0x80000000u}) b.uinteger(v);
  for (double v : {1.5, -0.0, std::numeric_limits<double>::infinity(), 1e-310}) b.number(v);
  b.string("");
  b.string("h\xC3\xA9llo");
  b.string(std::string("nul\0inside", 10));
  b.string(std::string(300, 'x'));  // a length taking two bytes
  const NamespaceKind kinds[] = {NamespaceKind::Namespace,       NamespaceKind::Package,
                                 NamespaceKind::PackageInternal, NamespaceKind::Protected,
                                 NamespaceKind::Explicit,        NamespaceKind::StaticProtected,
                                 NamespaceKind::Private};
  std::vector<uint32_t> nss;
  for (NamespaceKind k : kinds) nss.push_back(b.ns(k, "ns" + std::to_string(int(k))));
  b.nsSet({nss[0], nss[1]});
  b.nsSet({nss[6]});

  auto f = readBack(b);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->majorVersion, 46);
  EXPECT_EQ(f->minorVersion, 16);
  EXPECT_EQ(f->pool.ints, b.file.pool.ints);
  EXPECT_EQ(f->pool.ints[0], 0);
  EXPECT_EQ(f->pool.uints, b.file.pool.uints);
  ASSERT_EQ(f->pool.doubles.size(), b.file.pool.doubles.size());
  EXPECT_TRUE(std::isnan(f->pool.doubles[0]));
  for (size_t i = 1; i < f->pool.doubles.size(); ++i)
    EXPECT_TRUE(sameBits(f->pool.doubles[i], b.file.pool.doubles[i])) << i;
  EXPECT_EQ(f->pool.strings, b.file.pool.strings);
  EXPECT_EQ(f->pool.strings[0], "");
  EXPECT_EQ(f->pool.namespaces, b.file.pool.namespaces);
  EXPECT_EQ(f->pool.namespaces[0].kind, NamespaceKind::Any);
  EXPECT_EQ(f->pool.namespaceSets, b.file.pool.namespaceSets);
}

TEST(AbcRead, IntsAreTheirEncodedBitPatternNeverSignExtended) {
  // int pool of 4 entries: 0x63 (one byte, bit 6 set), 0x90 0x4E (two bytes, the top bit
  // of the second set), and -1 as compilers write it (five bytes).
  auto r = abc::readAbc(
      fileWithPools({4, 0x63, 0x90, 0x4E, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(r) << r.error.message();
  EXPECT_EQ(r.file->pool.ints, (std::vector<int32_t>{0, 99, 10000, -1}));
}

TEST(AbcRead, MetadataItemsHoldAllKeysBeforeAllValues) {
  // strings: 1 "SWF", 2 "width", 3 "height", 4 "100", 5 "50"; one metadata entry with two
  // items stored as keys 2 3, then values 4 5.
  std::vector<uint8_t> pools = {0, 0, 0, 6};
  for (std::string s : {"SWF", "width", "height", "100", "50"}) {
    pools.push_back(static_cast<uint8_t>(s.size()));
    pools.insert(pools.end(), s.begin(), s.end());
  }
  pools.insert(pools.end(), {0, 0, 0});
  auto r = abc::readAbc(fileWithPools(pools, {0, 1, 1, 2, 2, 3, 4, 5, 0, 0, 0}));
  ASSERT_TRUE(r) << r.error.message();
  ASSERT_EQ(r.file->metadata.size(), 1u);
  EXPECT_EQ(r.file->metadata[0].name, 1u);
  EXPECT_EQ(r.file->metadata[0].items, (std::vector<abc::MetadataInfo::Item>{{2, 4}, {3, 5}}));
}

TEST(AbcRead, EveryMultinameKindRoundTripsAndNamesItself) {
  t::AbcBuilder b;
  const uint32_t pkg = b.packageNs("flash.display");
  const uint32_t set = b.nsSet({b.packageNs(), pkg});
  struct Case {
    uint32_t index;
    MultinameKind kind;
    bool attribute, runtimeNs, runtimeName;
    const char* text;
  };
  const uint32_t sprite = b.qname(pkg, "Sprite");
  const uint32_t vector = b.qname(b.packageNs("__AS3__.vec"), "Vector");
  const Case cases[] = {
      {sprite, MultinameKind::QName, false, false, false, "flash.display::Sprite"},
      {b.qname(b.packageNs(), "id", true), MultinameKind::QNameA, true, false, false, "@id"},
      {b.rtqname("x"), MultinameKind::RTQName, false, true, false, "(runtime)::x"},
      {b.rtqname("y", true), MultinameKind::RTQNameA, true, true, false, "@(runtime)::y"},
      {b.rtqnameL(), MultinameKind::RTQNameL, false, true, true, "(runtime)::(runtime)"},
      {b.rtqnameL(true), MultinameKind::RTQNameLA, true, true, true, "@(runtime)::(runtime)"},
      {b.multiname("trace", set), MultinameKind::Multiname, false, false, false, "trace"},
      {b.multiname("a", set, true), MultinameKind::MultinameA, true, false, false, "@a"},
      {b.multinameL(set), MultinameKind::MultinameL, false, false, true, "(runtime)"},
      {b.multinameL(set, true), MultinameKind::MultinameLA, true, false, true, "@(runtime)"},
      {b.typeName(vector, {b.qname("int")}), MultinameKind::TypeName, false, false, false,
       "__AS3__.vec::Vector.<int>"},
      {b.typeName(vector, {0}), MultinameKind::TypeName, false, false, false,
       "__AS3__.vec::Vector.<*>"},
  };
  // A type parameter that is itself a type name, defined after the one using it.
  const uint32_t nested =
      b.typeName(vector, {static_cast<uint32_t>(b.file.pool.multinames.size() + 1)});
  b.typeName(vector, {sprite});

  auto f = readBack(b);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->pool.multinames, b.file.pool.multinames);
  for (const Case& c : cases) {
    const abc::Multiname& m = f->pool.multinames[c.index];
    EXPECT_EQ(m.kind, c.kind) << c.text;
    EXPECT_EQ(m.isAttribute(), c.attribute) << c.text;
    EXPECT_EQ(m.runtimeNamespace(), c.runtimeNs) << c.text;
    EXPECT_EQ(m.runtimeName(), c.runtimeName) << c.text;
    EXPECT_EQ(abc::multinameText(*f, c.index), c.text);
  }
  EXPECT_EQ(abc::multinameText(*f, nested),
            "__AS3__.vec::Vector.<__AS3__.vec::Vector.<flash.display::Sprite>>");
  EXPECT_EQ(abc::multinameText(*f, 0), "*::*");
  EXPECT_EQ(abc::multinameText(*f, 9999), "<bad multiname 9999>");
  EXPECT_EQ(abc::namespaceText(*f, 9999), "<bad namespace 9999>");
  EXPECT_EQ(abc::namespaceText(*f, pkg), "flash.display");
}

TEST(AbcRead, MethodsKeepFlagsOptionalValuesAndParameterNames) {
  t::AbcBuilder b;
  const uint32_t intType = b.qname("int"), stringType = b.qname("String");
  const uint32_t plain = b.method({.params = {intType, 0}, .returns = stringType, .name = "f"});
  const uint32_t flagged = b.method(
      {.flags = abc::MethodFlag::NeedArguments | abc::MethodFlag::NeedActivation |
                abc::MethodFlag::NeedRest | abc::MethodFlag::SetDxns | abc::MethodFlag::Native});
  const std::vector<abc::Constant> defaults = {
      b.value(int32_t{-7}),
      b.value(uint32_t{7}),
      b.value(2.5),
      b.value("s"),
      b.value(true),
      b.value(false),
      t::AbcBuilder::null(),
      t::AbcBuilder::undefined(),
      {ConstantKind::PackageNamespace, b.packageNs("p")},
      {ConstantKind::PrivateNs, b.privateNs()},
      {ConstantKind::Namespace, b.ns(NamespaceKind::Namespace, "http://x")},
      {ConstantKind::PackageInternalNs, b.ns(NamespaceKind::PackageInternal, "")},
      {ConstantKind::ProtectedNamespace, b.ns(NamespaceKind::Protected, "")},
      {ConstantKind::ExplicitNamespace, b.ns(NamespaceKind::Explicit, "")},
      {ConstantKind::StaticProtectedNs, b.ns(NamespaceKind::StaticProtected, "")},
  };
  const uint32_t optional = b.method({.params = std::vector<uint32_t>(16, intType),
                                      .optional = defaults,
                                      .paramNames = std::vector<std::string>(16, "p")});
  auto f = readBack(b);
  ASSERT_TRUE(f);
  ASSERT_EQ(f->methods.size(), 3u);
  EXPECT_EQ(f->methods, b.file.methods);
  EXPECT_EQ(f->methods[plain].paramTypes, (std::vector<uint32_t>{intType, 0}));
  EXPECT_EQ(f->pool.strings[f->methods[plain].name], "f");
  const abc::MethodInfo& m = f->methods[flagged];
  EXPECT_TRUE(m.has(abc::MethodFlag::NeedArguments) && m.has(abc::MethodFlag::NeedActivation) &&
              m.has(abc::MethodFlag::NeedRest) && m.has(abc::MethodFlag::SetDxns));
  EXPECT_FALSE(m.has(abc::MethodFlag::HasOptional) || m.has(abc::MethodFlag::HasParamNames));
  EXPECT_TRUE(f->methods[optional].has(abc::MethodFlag::HasOptional));
  EXPECT_EQ(f->methods[optional].optional, defaults);
  EXPECT_EQ(f->methods[optional].paramNames.size(), 16u);
  EXPECT_EQ(f->pool.ints[f->methods[optional].optional[0].index], -7);
}

TEST(AbcRead, TraitsOfEveryKindWithTheirAttributes) {
  t::AbcBuilder b;
  const uint32_t init = b.emptyMethod(), getter = b.method(), setter = b.method(), fn = b.method(),
                 cinit = b.emptyMethod(), iinit = b.emptyMethod();
  const uint32_t meta = b.metadata("Event", {{"name", "change"}, {"", "keyless"}});
  const uint32_t cls = b.defineClass({.name = b.qname("C"), .iinit = iinit, .cinit = cinit});
  using B = t::AbcBuilder;
  std::vector<abc::Trait> traits = {
      B::slot(b.qname("plain")),
      B::slot(b.qname("typed"), b.qname("int"), b.value(int32_t{5}), 3),
      B::slot(b.qname("nothing"), 0, B::null()),
      B::constant(b.qname("PI"), b.qname("Number"), b.value(3.14159)),
      B::constant(b.qname("NAME"), b.qname("String"), b.value("n"), 7),
      B::methodTrait(b.qname("m"), init, TraitKind::Method, 4),
      B::getter(b.qname("g"), getter),
      B::setter(b.qname("g"), setter),
      B::classTrait(b.qname("C"), cls, 2),
      B::function(b.qname("fn"), fn, 9),
  };
  traits[5].isFinal = true;
  traits[6].isOverride = true;
  traits[7].isFinal = traits[7].isOverride = true;
  traits[7].metadata = {meta, meta};
  traits[1].metadata = {meta};
  b.script(init, traits);
  auto f = readBack(b);
  ASSERT_TRUE(f);
  ASSERT_EQ(f->scripts.size(), 1u);
  const std::vector<abc::Trait>& read = f->scripts[0].traits;
  EXPECT_EQ(read, traits);
  EXPECT_FALSE(read[0].value.has_value());
  EXPECT_EQ(read[1].value, b.value(int32_t{5}));
  EXPECT_EQ(read[2].value->kind, ConstantKind::Null);
  EXPECT_EQ(read[8].classIndex, cls);
  EXPECT_EQ(read[9].method, fn);
  EXPECT_EQ(f->metadata, b.file.metadata);
  EXPECT_EQ(f->metadata[meta].items[1].key, 0u);
}

TEST(AbcRead, ClassesScriptsAndBodiesRoundTrip) {
  t::AbcBuilder b;
  const uint32_t base = b.qname(b.packageNs("flash.display"), "Sprite");
  const uint32_t iface = b.qname("IThing");
  const uint32_t protectedNs = b.ns(NamespaceKind::Protected, "Main");
  const uint32_t iinit = b.method(), cinit = b.emptyMethod(), sinit = b.emptyMethod();
  const uint32_t noBody = b.method({.flags = abc::MethodFlag::Native});
  t::Code code;
  t::Code::Label tryStart = code.label(), tryEnd = code.label(), handler = code.label();
  code.op(t::op::getlocal0).op(t::op::pushscope).bind(tryStart);
  code.op(t::op::getlocal0).op(t::op::constructsuper, 0).bind(tryEnd);
  code.op(t::op::returnvoid).bind(handler).op(t::op::pop).op(t::op::returnvoid);
  const uint32_t errorType = b.qname("Error"), varName = b.qname("e");
  std::vector<uint8_t> bytes = code.bytes();
  b.body(iinit, code,
         {.maxStack = 2,
          .localCount = 3,
          .initScopeDepth = 4,
          .maxScopeDepth = 5,
          .exceptions = {{2, 5, 6, errorType, varName}, {0, 7, 6, 0, 0}},
          .traits = {t::AbcBuilder::slot(varName, errorType, {}, 1)}});
  const uint32_t iface_cls = b.defineClass(
      {.name = iface, .flags = abc::InstanceFlag::Interface, .iinit = b.method(), .cinit = cinit});
  const uint32_t main = b.defineClass(
      {.name = b.qname("Main"),
       .superName = base,
       .flags = abc::InstanceFlag::Sealed | abc::InstanceFlag::Final,
       .protectedNs = protectedNs,
       .interfaces = {iface},
       .iinit = iinit,
       .cinit = cinit,
       .instanceTraits = {t::AbcBuilder::slot(b.qname("count"), b.qname("int"))},
       .staticTraits = {t::AbcBuilder::constant(b.qname("MAX"), 0, b.value(int32_t{9}))}});
  b.script(sinit, {t::AbcBuilder::classTrait(b.qname("Main"), main),
                   t::AbcBuilder::classTrait(iface, iface_cls)});

  auto f = readBack(b);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->instances, b.file.instances);
  EXPECT_EQ(f->classes, b.file.classes);
  EXPECT_EQ(f->scripts, b.file.scripts);
  EXPECT_EQ(f->bodies, b.file.bodies);
  const abc::InstanceInfo& c = f->instances[main];
  EXPECT_TRUE(c.has(abc::InstanceFlag::Final) && c.has(abc::InstanceFlag::ProtectedNs));
  EXPECT_EQ(c.protectedNs, protectedNs);
  EXPECT_TRUE(f->instances[iface_cls].has(abc::InstanceFlag::Interface));
  EXPECT_EQ(abc::multinameText(*f, c.name), "Main");
  EXPECT_EQ(abc::multinameText(*f, c.superName), "flash.display::Sprite");

  // Each method finds its body; native and interface methods have none.
  ASSERT_TRUE(f->bodyOf(iinit));
  EXPECT_EQ(f->bodyOf(iinit)->code, bytes);
  EXPECT_EQ(f->bodyOf(iinit)->exceptions[0], (abc::ExceptionInfo{2, 5, 6, errorType, varName}));
  EXPECT_EQ(f->bodyOf(iinit)->maxScopeDepth, 5u);
  EXPECT_EQ(f->bodyOf(cinit)->method, cinit);
  EXPECT_EQ(f->bodyOf(noBody), nullptr);
  EXPECT_EQ(f->bodyOf(f->instances[iface_cls].iinit), nullptr);
  EXPECT_EQ(f->bodyOf(100000), nullptr);
}

TEST(AbcRead, AMethodGivenASecondBodyKeepsItsFirstAndIsListed) {
  t::AbcBuilder b;
  const uint32_t one = b.method(), two = b.method();
  b.body(one, t::Code().op(t::op::returnvoid));
  b.body(two, t::Code().op(t::op::returnvoid));
  b.body(one, t::Code().op(t::op::nop).op(t::op::returnvoid));
  auto f = readBack(b);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->methodsWithSecondBody, std::vector<uint32_t>{one});
  ASSERT_TRUE(f->bodyOf(one));
  EXPECT_EQ(f->bodyOf(one)->code, std::vector<uint8_t>{t::op::returnvoid});
  EXPECT_EQ(f->bodies.size(), 3u);
}

TEST(AbcAssembler, BranchOffsetsCountFromTheInstructionEndAndSwitchesFromTheirStart) {
  t::Code c;
  t::Code::Label back = c.label(), fwd = c.label(), other = c.label();
  c.bind(back).op(t::op::nop);              // 0
  c.branch(t::op::jump, fwd);               // 1..4: to 6, from 5
  c.op(t::op::nop);                         // 5
  c.bind(fwd).branch(t::op::iftrue, back);  // 6..9: to 0, from 10
  c.lookupswitch(fwd, {back, other});       // 10..20
  c.bind(other).op(t::op::returnvoid);      // 21
  EXPECT_EQ(c.bytes(),
            (std::vector<uint8_t>{0x02, 0x10, 1,    0, 0,    0x02, 0x11, 0xF6, 0xFF, 0xFF, 0x1B,
                                  0xFC, 0xFF, 0xFF, 1, 0xF6, 0xFF, 0xFF, 11,   0,    0,    0x47}));
}
