// The ABC reader on hostile files: truncations, bad indices into every pool and table,
// counts the data cannot hold, over-long integers, type names in cycles, and random
// corruption. Each gives an error with a reason, never a crash, and whatever the reader
// accepts holds only valid indices.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "abc_writer.h"
#include "movie/abc/reader.h"

using namespace orv::movie;
namespace t = orv::movie::test;
using abc::AbcFile;
using abc::ConstantKind;
using abc::MultinameKind;

namespace {

// A small file using every part of the format, with handles to its entries.
struct Rich {
  t::AbcBuilder b;
  uint32_t qname = 0, multiname = 0, typeName = 0, method = 0, meta = 0, body = 0;

  Rich() {
    const uint32_t set = b.nsSet({b.packageNs(), b.packageNs("p")});
    qname = b.qname("Main");
    multiname = b.multiname("trace", set);
    typeName = b.typeName(b.qname(b.packageNs("__AS3__.vec"), "Vector"), {b.qname("int")});
    b.rtqname("r");
    b.multinameL(set);
    meta = b.metadata("M", {{"k", "v"}});
    method = b.method({.params = {b.qname("int"), qname},
                       .returns = typeName,
                       .name = "m",
                       .optional = {b.value(int32_t{3})},
                       .paramNames = {"a", "b"}});
    const uint32_t init = b.emptyMethod();
    t::Code code;
    code.op(t::op::getlocal0).op(t::op::pushscope).op(t::op::pushbyte).u8(1).op(t::op::pop);
    code.op(t::op::returnvoid);
    body = b.body(method, code,
                  {.exceptions = {{0, 4, 5, b.qname("Error"), b.qname("e")}},
                   .traits = {t::AbcBuilder::slot(b.qname("e"), b.qname("Error"))}});
    abc::Trait slot = t::AbcBuilder::slot(b.qname("x"), b.qname("int"), b.value(int32_t{-4}));
    slot.metadata = {meta};
    const uint32_t cls =
        b.defineClass({.name = qname,
                       .superName = b.qname("Object"),
                       .protectedNs = b.ns(abc::NamespaceKind::Protected, "Main"),
                       .interfaces = {b.qname("I")},
                       .iinit = method,
                       .cinit = init,
                       .instanceTraits = {slot, t::AbcBuilder::getter(b.qname("g"), method)},
                       .staticTraits = {t::AbcBuilder::function(b.qname("f"), method)}});
    b.script(init, {t::AbcBuilder::classTrait(qname, cls)});
  }
};

abc::ReadResult readFile(const AbcFile& f) { return abc::readAbc(t::writeAbc(f)); }

// What the reader promises of every file it accepts: each index names an entry.
void expectValidIndices(const AbcFile& f) {
  const abc::ConstantPool& p = f.pool;
  const size_t mns = p.multinames.size();
  for (const abc::Namespace& ns : p.namespaces) ASSERT_LT(ns.name, p.strings.size());
  for (const auto& set : p.namespaceSets)
    for (uint32_t ns : set) ASSERT_LT(ns, p.namespaces.size());
  for (const abc::Multiname& m : p.multinames) {
    ASSERT_LT(m.ns, p.namespaces.size());
    ASSERT_LT(m.name, p.strings.size());
    ASSERT_LT(m.nsSet, p.namespaceSets.size());
    ASSERT_LT(m.typeName, mns);
    for (uint32_t param : m.typeParams) ASSERT_LT(param, mns);
    (void)abc::multinameText(f, static_cast<uint32_t>(&m - p.multinames.data()));
  }
  auto traits = [&](const std::vector<abc::Trait>& ts) {
    for (const abc::Trait& tr : ts) {
      ASSERT_LT(tr.name, mns);
      ASSERT_LT(tr.typeName, mns);
      ASSERT_LT(tr.method, std::max<size_t>(f.methods.size(), 1));
      ASSERT_LT(tr.classIndex, std::max<size_t>(f.classes.size(), 1));
      for (uint32_t md : tr.metadata) ASSERT_LT(md, f.metadata.size());
    }
  };
  for (const abc::MethodInfo& m : f.methods) {
    ASSERT_LT(m.returnType, mns);
    for (uint32_t type : m.paramTypes) ASSERT_LT(type, mns);
    ASSERT_LE(m.optional.size(), m.paramTypes.size());
  }
  ASSERT_EQ(f.instances.size(), f.classes.size());
  for (const abc::InstanceInfo& c : f.instances) {
    ASSERT_LT(c.name, mns);
    ASSERT_LT(c.iinit, f.methods.size());
    traits(c.traits);
  }
  for (const abc::ClassInfo& c : f.classes) traits(c.traits);
  for (const abc::ScriptInfo& s : f.scripts) traits(s.traits);
  ASSERT_EQ(f.bodyIndex.size(), f.methods.size());
  for (const abc::MethodBody& body : f.bodies) {
    ASSERT_NE(f.bodyOf(body.method), nullptr);
    for (const abc::ExceptionInfo& e : body.exceptions) {
      ASSERT_LE(e.to, body.code.size());
      ASSERT_LT(e.target, body.code.size());
      ASSERT_LT(e.excType, mns);
      ASSERT_LT(e.varName, mns);
    }
    traits(body.traits);
  }
}

// Bytes of a file: the version, then `rest` (pools onward).
std::vector<uint8_t> file(std::initializer_list<uint8_t> rest) {
  std::vector<uint8_t> f = {16, 0, 46, 0};
  f.insert(f.end(), rest);
  return f;
}

}  // namespace

TEST(AbcHostile, TheRichFileReadsAndEveryTruncationOfItFails) {
  Rich rich;
  const std::vector<uint8_t> bytes = rich.b.bytes();
  abc::ReadResult whole = abc::readAbc(bytes);
  ASSERT_TRUE(whole) << whole.error.message();
  expectValidIndices(*whole.file);
  for (size_t n = 0; n < bytes.size(); ++n) {
    abc::ReadResult r = abc::readAbc(bytes.data(), n);
    ASSERT_FALSE(r) << "a file cut to " << n << " of " << bytes.size() << " bytes read";
    EXPECT_FALSE(r.error.reason.empty());
    EXPECT_LE(r.error.offset, n);
  }
  EXPECT_EQ(abc::readAbc(nullptr, 0).error.message(), "data ends early at byte 0");
}

TEST(AbcHostile, EveryIndexIsCheckedAgainstThePoolOrTableItNames) {
  const Rich rich;
  const uint32_t q = rich.qname, mn = rich.multiname, tn = rich.typeName, m = rich.method,
                 bd = rich.body;
  const uint32_t bad = 999;
  struct Case {
    const char* what;
    std::function<void(AbcFile&)> spoil;
    const char* reason;  // a part of the expected reason
  };
  const std::vector<Case> cases = {
      {"namespace name", [](AbcFile& f) { f.pool.namespaces[1].name = bad; }, "string index 999"},
      {"namespace kind", [](AbcFile& f) { f.pool.namespaces[1].kind = abc::NamespaceKind(0x42); },
       "unknown namespace kind 66"},
      {"set member", [](AbcFile& f) { f.pool.namespaceSets[1][0] = bad; }, "namespace index 999"},
      {"set member 0", [](AbcFile& f) { f.pool.namespaceSets[1][1] = 0; },
       "namespace index 0 is not allowed"},
      {"qname ns", [&](AbcFile& f) { f.pool.multinames[q].ns = bad; }, "namespace index 999"},
      {"qname name", [&](AbcFile& f) { f.pool.multinames[q].name = bad; }, "string index 999"},
      {"multiname set", [&](AbcFile& f) { f.pool.multinames[mn].nsSet = bad; },
       "namespace set index 999"},
      {"multiname set 0", [&](AbcFile& f) { f.pool.multinames[mn].nsSet = 0; },
       "namespace set index 0"},
      {"multiname kind", [&](AbcFile& f) { f.pool.multinames[mn].kind = MultinameKind(0x42); },
       "unknown multiname kind 66"},
      {"type name base", [&](AbcFile& f) { f.pool.multinames[tn].typeName = bad; },
       "multiname index 999"},
      {"type name base 0", [&](AbcFile& f) { f.pool.multinames[tn].typeName = 0; },
       "multiname index 0 is not allowed"},
      {"type name of a type name", [&](AbcFile& f) { f.pool.multinames[tn].typeName = tn; },
       "applies parameters to a type name"},
      {"type parameter", [&](AbcFile& f) { f.pool.multinames[tn].typeParams[0] = bad; },
       "multiname index 999"},
      {"type parameter cycle", [&](AbcFile& f) { f.pool.multinames[tn].typeParams[0] = tn; },
       "type names nest more than 32 deep"},
      {"return type", [&](AbcFile& f) { f.methods[m].returnType = bad; }, "multiname index 999"},
      {"param type", [&](AbcFile& f) { f.methods[m].paramTypes[1] = bad; }, "multiname index 999"},
      {"method name", [&](AbcFile& f) { f.methods[m].name = bad; }, "string index 999"},
      {"param name", [&](AbcFile& f) { f.methods[m].paramNames[1] = bad; }, "string index 999"},
      {"optional int",
       [&](AbcFile& f) {
         f.methods[m].optional[0] = {ConstantKind::Int, bad};
       },
       "int index 999"},
      {"optional uint",
       [&](AbcFile& f) {
         f.methods[m].optional[0] = {ConstantKind::UInt, bad};
       },
       "uint index 999"},
      {"optional double",
       [&](AbcFile& f) {
         f.methods[m].optional[0] = {ConstantKind::Double, bad};
       },
       "double index 999"},
      {"optional string",
       [&](AbcFile& f) {
         f.methods[m].optional[0] = {ConstantKind::Utf8, bad};
       },
       "string index 999"},
      {"optional namespace",
       [&](AbcFile& f) {
         f.methods[m].optional[0] = {ConstantKind::PrivateNs, bad};
       },
       "namespace index 999"},
      {"optional kind",
       [&](AbcFile& f) {
         f.methods[m].optional[0] = {ConstantKind(0x02), 0};
       },
       "unknown constant kind 2"},
      {"more optional values than parameters",
       [&](AbcFile& f) { f.methods[m].optional.assign(3, abc::Constant{}); },
       "3 optional values for 2 parameters"},
      {"metadata name", [&](AbcFile& f) { f.metadata[0].name = bad; }, "string index 999"},
      {"metadata key", [&](AbcFile& f) { f.metadata[0].items[0].key = bad; }, "string index 999"},
      {"metadata value", [&](AbcFile& f) { f.metadata[0].items[0].value = bad; },
       "string index 999"},
      {"class name", [](AbcFile& f) { f.instances[0].name = bad; }, "multiname index 999"},
      {"class name 0", [](AbcFile& f) { f.instances[0].name = 0; },
       "multiname index 0 is not allowed"},
      {"class named by a multiname", [&](AbcFile& f) { f.instances[0].name = mn; },
       "is not a QName"},
      {"super name", [](AbcFile& f) { f.instances[0].superName = bad; }, "multiname index 999"},
      {"interface", [](AbcFile& f) { f.instances[0].interfaces[0] = bad; }, "multiname index 999"},
      {"protected namespace", [](AbcFile& f) { f.instances[0].protectedNs = bad; },
       "namespace index 999"},
      {"iinit", [](AbcFile& f) { f.instances[0].iinit = bad; }, "method index 999"},
      {"cinit", [](AbcFile& f) { f.classes[0].cinit = bad; }, "method index 999"},
      {"script init", [](AbcFile& f) { f.scripts[0].init = bad; }, "method index 999"},
      {"trait name", [](AbcFile& f) { f.instances[0].traits[0].name = bad; },
       "multiname index 999"},
      {"trait kind", [](AbcFile& f) { f.instances[0].traits[0].kind = abc::TraitKind(7); },
       "unknown trait kind 7"},
      {"slot type", [](AbcFile& f) { f.instances[0].traits[0].typeName = bad; },
       "multiname index 999"},
      {"slot value", [](AbcFile& f) { f.instances[0].traits[0].value->index = bad; },
       "int index 999"},
      {"trait metadata", [](AbcFile& f) { f.instances[0].traits[0].metadata[0] = bad; },
       "metadata index 999"},
      {"getter method", [](AbcFile& f) { f.instances[0].traits[1].method = bad; },
       "method index 999"},
      {"function method", [](AbcFile& f) { f.classes[0].traits[0].method = bad; },
       "method index 999"},
      {"class trait", [](AbcFile& f) { f.scripts[0].traits[0].classIndex = 1; }, "class index 1"},
      {"body method", [&](AbcFile& f) { f.bodies[bd].method = bad; }, "method index 999"},
      {"exception end", [&](AbcFile& f) { f.bodies[bd].exceptions[0].to = 7; }, "exception range"},
      {"exception start", [&](AbcFile& f) { f.bodies[bd].exceptions[0].from = 5; },
       "exception range"},
      {"exception target", [&](AbcFile& f) { f.bodies[bd].exceptions[0].target = 6; },
       "exception range"},
      {"exception type", [&](AbcFile& f) { f.bodies[bd].exceptions[0].excType = bad; },
       "multiname index 999"},
      {"exception variable", [&](AbcFile& f) { f.bodies[bd].exceptions[0].varName = bad; },
       "multiname index 999"},
      {"activation trait", [&](AbcFile& f) { f.bodies[bd].traits[0].typeName = bad; },
       "multiname index 999"},
  };
  ASSERT_TRUE(readFile(rich.b.file));
  for (const Case& c : cases) {
    AbcFile f = rich.b.file;
    c.spoil(f);
    abc::ReadResult r = readFile(f);
    ASSERT_FALSE(r) << c.what;
    EXPECT_NE(r.error.reason.find(c.reason), std::string::npos)
        << c.what << ": " << r.error.message();
  }
}

TEST(AbcHostile, CountsAndLengthsTheDataCannotHoldAreRefusedBeforeAllocating) {
  const uint8_t big[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x03};  // 2^30 - 1
  auto withBig = [&](std::vector<uint8_t> before, std::vector<uint8_t> after = {}) {
    std::vector<uint8_t> f = {16, 0, 46, 0};
    f.insert(f.end(), before.begin(), before.end());
    f.insert(f.end(), std::begin(big), std::end(big));
    f.insert(f.end(), after.begin(), after.end());
    return abc::readAbc(f);
  };
  const std::vector<uint8_t> emptyPools = {0, 0, 0, 0, 0, 0, 0};
  auto concat = [](std::vector<uint8_t> a, std::vector<uint8_t> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  // One method (no parameters) and nothing else, before the given part.
  const std::vector<uint8_t> oneMethod = concat(emptyPools, {1, 0, 0, 0, 0});
  const struct {
    const char* what;
    abc::ReadResult result;
    const char* reason;
  } cases[] = {
      {"ints", withBig({}), "int entries cannot fit"},
      {"uints", withBig({0}), "uint entries cannot fit"},
      {"doubles", withBig({0, 0}), "double entries cannot fit"},
      {"strings", withBig({0, 0, 0}), "string entries cannot fit"},
      {"string length", withBig({0, 0, 0, 2}), "runs past the end"},
      {"namespaces", withBig({0, 0, 0, 0}), "namespace entries cannot fit"},
      {"namespace sets", withBig({0, 0, 0, 0, 0}), "namespace set entries cannot fit"},
      {"set size", withBig({0, 0, 0, 0, 0, 2}), "namespace set member entries cannot fit"},
      {"multinames", withBig({0, 0, 0, 0, 0, 0}), "multiname entries cannot fit"},
      {"type params", withBig({0, 0, 0, 0, 0, 0, 3, 0x07, 0, 0, 0x1D, 1}),
       "type parameter entries cannot fit"},
      {"methods", withBig(emptyPools), "method entries cannot fit"},
      {"parameters", withBig(concat(emptyPools, {1})), "parameter entries cannot fit"},
      {"metadata", withBig(concat(emptyPools, {0})), "metadata entries cannot fit"},
      {"classes", withBig(concat(emptyPools, {0, 0})), "class entries cannot fit"},
      {"scripts", withBig(concat(emptyPools, {0, 0, 0})), "script entries cannot fit"},
      {"script traits", withBig(concat(oneMethod, {0, 0, 1, 0})), "trait entries cannot fit"},
      {"bodies", withBig(concat(emptyPools, {0, 0, 0, 0})), "method body entries cannot fit"},
      {"code length", withBig(concat(oneMethod, {0, 0, 0, 1, 0, 1, 1, 0, 1})),
       "code of 1073741823 bytes runs past the end"},
      {"exceptions", withBig(concat(oneMethod, {0, 0, 0, 1, 0, 1, 1, 0, 1, 0}), {0}),
       "exception entries cannot fit"},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(c.result) << c.what;
    EXPECT_NE(c.result.error.reason.find(c.reason), std::string::npos)
        << c.what << ": " << c.result.error.message();
  }
}

TEST(AbcHostile, VariableLengthIntegersStopAtFiveBytesAndU30sAtThirtyBits) {
  // An int pool count of six bytes.
  auto r = abc::readAbc(file({0x80, 0x80, 0x80, 0x80, 0x80, 0x00}));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error.message(), "variable-length integer longer than 5 bytes at byte 4");
  // A count of 2^30.
  r = abc::readAbc(file({0x80, 0x80, 0x80, 0x80, 0x04}));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error.message(), "u30 value 1073741824 does not fit 30 bits at byte 4");
  // A uint entry may use all 32 bits, in five bytes but not six.
  r = abc::readAbc(file({0, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(r) << r.error.message();
  EXPECT_EQ(r.file->pool.uints[1], 0xFFFFFFFFu);
  r = abc::readAbc(file({0, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0x8F, 0x00}));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error.offset, 6u);
}

TEST(AbcHostile, TypeNamesNestAtMostThirtyTwoDeep) {
  for (int depth : {32, 33}) {
    t::AbcBuilder b;
    uint32_t inner = b.qname("int");
    const uint32_t vector = b.qname(b.packageNs("__AS3__.vec"), "Vector");
    for (int i = 0; i < depth; ++i) inner = b.typeName(vector, {inner});
    abc::ReadResult r = abc::readAbc(b.bytes());
    EXPECT_EQ(bool(r), depth == 32) << depth << ": " << r.error.message();
    if (r) {
      EXPECT_EQ(abc::multinameText(*r.file, inner).substr(0, 40),
                "__AS3__.vec::Vector.<__AS3__.vec::Vector");
    }
  }
}

TEST(AbcHostile, CorruptedBytesGiveAnErrorOrAFileOfValidIndices) {
  Rich rich;
  const std::vector<uint8_t> bytes = rich.b.bytes();
  std::mt19937 rng(20240611);
  int accepted = 0, refused = 0;
  auto tryBytes = [&](const std::vector<uint8_t>& data) {
    abc::ReadResult r = abc::readAbc(data);
    if (!r) {
      ++refused;
      EXPECT_LE(r.error.offset, data.size());
      return;
    }
    ++accepted;
    expectValidIndices(*r.file);
  };
  for (size_t i = 0; i < bytes.size(); ++i)
    for (uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      std::vector<uint8_t> d = bytes;
      d[i] = v;
      tryBytes(d);
    }
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> d = bytes;
    for (int k = 0, n = 1 + int(rng() % 4); k < n; ++k) d[rng() % d.size()] = uint8_t(rng());
    tryBytes(d);
  }
  EXPECT_GT(accepted, 0);
  EXPECT_GT(refused, 0);
}
