#pragma once
// An ABC assembler for tests: pools, methods, bodies with code, classes and scripts are
// built into an abc::AbcFile (tests may edit it, e.g. to make bad files), then written
// as ABC bytes and wrapped in a movie with DoABC and SymbolClass tags.
//
//   test::AbcBuilder abc;
//   uint32_t init = abc.method();
//   abc.body(init, test::Code().op(op::getlocal0).op(op::pushscope).op(op::returnvoid));
//   abc.script(init, {abc.slot(abc.qname("answer"), abc.qname("int"), abc.value(42))});
//   auto swf = test::as3Movie(abc.bytes());
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../swf_writer.h"
#include "movie/abc/types.h"

namespace orv::movie::test {

// Opcodes of the AVM2 instruction set.
namespace op {
constexpr uint8_t bkpt = 0x01, nop = 0x02, throw_ = 0x03, getsuper = 0x04, setsuper = 0x05,
                  dxns = 0x06, dxnslate = 0x07, kill = 0x08, label = 0x09, ifnlt = 0x0C,
                  ifnle = 0x0D, ifngt = 0x0E, ifnge = 0x0F, jump = 0x10, iftrue = 0x11,
                  iffalse = 0x12, ifeq = 0x13, ifne = 0x14, iflt = 0x15, ifle = 0x16, ifgt = 0x17,
                  ifge = 0x18, ifstricteq = 0x19, ifstrictne = 0x1A, lookupswitch = 0x1B,
                  pushwith = 0x1C, popscope = 0x1D, nextname = 0x1E, hasnext = 0x1F,
                  pushnull = 0x20, pushundefined = 0x21, nextvalue = 0x23, pushbyte = 0x24,
                  pushshort = 0x25, pushtrue = 0x26, pushfalse = 0x27, pushnan = 0x28, pop = 0x29,
                  dup = 0x2A, swap = 0x2B, pushstring = 0x2C, pushint = 0x2D, pushuint = 0x2E,
                  pushdouble = 0x2F, pushscope = 0x30, pushnamespace = 0x31, hasnext2 = 0x32,
                  newfunction = 0x40, call = 0x41, construct = 0x42, callmethod = 0x43,
                  callstatic = 0x44, callsuper = 0x45, callproperty = 0x46, returnvoid = 0x47,
                  returnvalue = 0x48, constructsuper = 0x49, constructprop = 0x4A,
                  callproplex = 0x4C, callsupervoid = 0x4E, callpropvoid = 0x4F, applytype = 0x53,
                  newobject = 0x55, newarray = 0x56, newactivation = 0x57, newclass = 0x58,
                  getdescendants = 0x59, newcatch = 0x5A, findpropstrict = 0x5D,
                  findproperty = 0x5E, finddef = 0x5F, getlex = 0x60, setproperty = 0x61,
                  getlocal = 0x62, setlocal = 0x63, getglobalscope = 0x64, getscopeobject = 0x65,
                  getproperty = 0x66, initproperty = 0x68, deleteproperty = 0x6A, getslot = 0x6C,
                  setslot = 0x6D, getglobalslot = 0x6E, setglobalslot = 0x6F, convert_s = 0x70,
                  esc_xelem = 0x71, esc_xattr = 0x72, convert_i = 0x73, convert_u = 0x74,
                  convert_d = 0x75, convert_b = 0x76, convert_o = 0x77, checkfilter = 0x78,
                  coerce = 0x80, coerce_a = 0x82, coerce_s = 0x85, astype = 0x86, astypelate = 0x87,
                  negate = 0x90, increment = 0x91, inclocal = 0x92, decrement = 0x93,
                  declocal = 0x94, typeof_ = 0x95, not_ = 0x96, bitnot = 0x97, add = 0xA0,
                  subtract = 0xA1, multiply = 0xA2, divide = 0xA3, modulo = 0xA4, lshift = 0xA5,
                  rshift = 0xA6, urshift = 0xA7, bitand_ = 0xA8, bitor_ = 0xA9, bitxor = 0xAA,
                  equals = 0xAB, strictequals = 0xAC, lessthan = 0xAD, lessequals = 0xAE,
                  greaterthan = 0xAF, greaterequals = 0xB0,
                  instanceof = 0xB1, istype = 0xB2, istypelate = 0xB3, in = 0xB4,
                  increment_i = 0xC0, decrement_i = 0xC1, inclocal_i = 0xC2, declocal_i = 0xC3,
                  negate_i = 0xC4, add_i = 0xC5, subtract_i = 0xC6, multiply_i = 0xC7,
                  getlocal0 = 0xD0, getlocal1 = 0xD1, getlocal2 = 0xD2, getlocal3 = 0xD3,
                  setlocal0 = 0xD4, setlocal1 = 0xD5, setlocal2 = 0xD6, setlocal3 = 0xD7,
                  debug = 0xEF, debugline = 0xF0, debugfile = 0xF1;
}  // namespace op

// Little-endian and variable-length writing as the ABC format stores numbers.
struct AbcBytes {
  std::vector<uint8_t> out;
  void u8(uint8_t v) { out.push_back(v); }
  void u16(uint16_t v) {
    u8(v & 0xFF);
    u8(v >> 8);
  }
  void u30(uint32_t v) {  // also u32, and s32 as its 32-bit pattern
    do {
      uint8_t b = v & 0x7F;
      v >>= 7;
      u8(v ? b | 0x80 : b);
    } while (v);
  }
  void s32(int32_t v) { u30(static_cast<uint32_t>(v)); }
  void s24(int32_t v) {
    u8(v & 0xFF);
    u8((v >> 8) & 0xFF);
    u8((v >> 16) & 0xFF);
  }
  void d64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) u8(static_cast<uint8_t>(bits >> (8 * i)));
  }
  void string(const std::string& s) {
    u30(static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
};

// Method code with labels for branches: offsets are filled in by bytes().
class Code {
 public:
  struct Label {
    size_t id;
  };

  Code& op(uint8_t opcode) {
    w_.u8(opcode);
    return *this;
  }
  // An instruction with u30 operands (indices, counts, registers).
  Code& op(uint8_t opcode, uint32_t a) { return op(opcode).u30(a); }
  Code& op(uint8_t opcode, uint32_t a, uint32_t b) { return op(opcode).u30(a).u30(b); }
  Code& pushbyte(int8_t v) { return op(op::pushbyte).u8(static_cast<uint8_t>(v)); }
  Code& u8(uint8_t v) {
    w_.u8(v);
    return *this;
  }
  Code& u30(uint32_t v) {
    w_.u30(v);
    return *this;
  }
  Code& s24(int32_t v) {
    w_.s24(v);
    return *this;
  }

  Label label() {
    labels_.push_back(std::nullopt);
    return {labels_.size() - 1};
  }
  Code& bind(Label l) {
    labels_.at(l.id) = w_.out.size();
    return *this;
  }
  // jump and the if* instructions: the offset counts from the end of the instruction.
  Code& branch(uint8_t opcode, Label target) {
    op(opcode);
    fixups_.push_back({w_.out.size(), w_.out.size() + 3, target.id});
    return s24(0);
  }
  // Offsets count from the start of the lookupswitch.
  Code& lookupswitch(Label defaultTarget, const std::vector<Label>& cases) {
    const size_t base = w_.out.size();
    op(op::lookupswitch);
    fixups_.push_back({w_.out.size(), base, defaultTarget.id});
    s24(0);
    u30(static_cast<uint32_t>(cases.size() - 1));
    for (Label c : cases) {
      fixups_.push_back({w_.out.size(), base, c.id});
      s24(0);
    }
    return *this;
  }
  size_t size() const { return w_.out.size(); }

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> out = w_.out;
    for (const Fixup& f : fixups_) {
      const std::optional<size_t>& at = labels_.at(f.label);
      if (!at) throw std::logic_error("branch to a label never bound");
      const int32_t offset = static_cast<int32_t>(*at) - static_cast<int32_t>(f.base);
      for (int i = 0; i < 3; ++i) out[f.pos + i] = static_cast<uint8_t>(offset >> (8 * i));
    }
    return out;
  }

 private:
  struct Fixup {
    size_t pos, base, label;
  };
  AbcBytes w_;
  std::vector<std::optional<size_t>> labels_;
  std::vector<Fixup> fixups_;
};

// Writes a file as it is, valid or not: every field is written as given.
inline void writeTraits(AbcBytes& w, const std::vector<abc::Trait>& traits) {
  w.u30(static_cast<uint32_t>(traits.size()));
  for (const abc::Trait& t : traits) {
    w.u30(t.name);
    uint8_t attributes =
        (t.isFinal ? 1 : 0) | (t.isOverride ? 2 : 0) | (t.metadata.empty() ? 0 : 4);
    w.u8(static_cast<uint8_t>(attributes << 4 | static_cast<uint8_t>(t.kind)));
    switch (t.kind) {
      case abc::TraitKind::Slot:
      case abc::TraitKind::Const:
        w.u30(t.slotId);
        w.u30(t.typeName);
        w.u30(t.value ? t.value->index : 0);
        if (t.value) w.u8(static_cast<uint8_t>(t.value->kind));
        break;
      case abc::TraitKind::Method:
      case abc::TraitKind::Getter:
      case abc::TraitKind::Setter:
        w.u30(t.dispId);
        w.u30(t.method);
        break;
      case abc::TraitKind::Class:
        w.u30(t.slotId);
        w.u30(t.classIndex);
        break;
      case abc::TraitKind::Function:
        w.u30(t.slotId);
        w.u30(t.method);
        break;
    }
    if (!t.metadata.empty()) {
      w.u30(static_cast<uint32_t>(t.metadata.size()));
      for (uint32_t m : t.metadata) w.u30(m);
    }
  }
}

inline void writePools(AbcBytes& w, const abc::ConstantPool& p) {
  auto count = [&](size_t n) { w.u30(n <= 1 ? 0 : static_cast<uint32_t>(n)); };
  count(p.ints.size());
  for (size_t i = 1; i < p.ints.size(); ++i) w.s32(p.ints[i]);
  count(p.uints.size());
  for (size_t i = 1; i < p.uints.size(); ++i) w.u30(p.uints[i]);
  count(p.doubles.size());
  for (size_t i = 1; i < p.doubles.size(); ++i) w.d64(p.doubles[i]);
  count(p.strings.size());
  for (size_t i = 1; i < p.strings.size(); ++i) w.string(p.strings[i]);
  count(p.namespaces.size());
  for (size_t i = 1; i < p.namespaces.size(); ++i) {
    w.u8(static_cast<uint8_t>(p.namespaces[i].kind));
    w.u30(p.namespaces[i].name);
  }
  count(p.namespaceSets.size());
  for (size_t i = 1; i < p.namespaceSets.size(); ++i) {
    w.u30(static_cast<uint32_t>(p.namespaceSets[i].size()));
    for (uint32_t ns : p.namespaceSets[i]) w.u30(ns);
  }
  count(p.multinames.size());
  using K = abc::MultinameKind;
  for (size_t i = 1; i < p.multinames.size(); ++i) {
    const abc::Multiname& m = p.multinames[i];
    w.u8(static_cast<uint8_t>(m.kind));
    switch (m.kind) {
      case K::QName:
      case K::QNameA:
        w.u30(m.ns);
        w.u30(m.name);
        break;
      case K::RTQName:
      case K::RTQNameA:
        w.u30(m.name);
        break;
      case K::RTQNameL:
      case K::RTQNameLA:
        break;
      case K::Multiname:
      case K::MultinameA:
        w.u30(m.name);
        w.u30(m.nsSet);
        break;
      case K::MultinameL:
      case K::MultinameLA:
        w.u30(m.nsSet);
        break;
      case K::TypeName:
        w.u30(m.typeName);
        w.u30(static_cast<uint32_t>(m.typeParams.size()));
        for (uint32_t param : m.typeParams) w.u30(param);
        break;
    }
  }
}

inline void writeMethod(AbcBytes& w, const abc::MethodInfo& m) {
  w.u30(static_cast<uint32_t>(m.paramTypes.size()));
  w.u30(m.returnType);
  for (uint32_t t : m.paramTypes) w.u30(t);
  w.u30(m.name);
  w.u8(m.flags);
  if (m.has(abc::MethodFlag::HasOptional)) {
    w.u30(static_cast<uint32_t>(m.optional.size()));
    for (const abc::Constant& c : m.optional) {
      w.u30(c.index);
      w.u8(static_cast<uint8_t>(c.kind));
    }
  }
  if (m.has(abc::MethodFlag::HasParamNames))
    for (uint32_t n : m.paramNames) w.u30(n);
}

inline std::vector<uint8_t> writeAbc(const abc::AbcFile& f) {
  AbcBytes w;
  w.u16(f.minorVersion);
  w.u16(f.majorVersion);
  writePools(w, f.pool);
  w.u30(static_cast<uint32_t>(f.methods.size()));
  for (const abc::MethodInfo& m : f.methods) writeMethod(w, m);
  w.u30(static_cast<uint32_t>(f.metadata.size()));
  for (const abc::MetadataInfo& md : f.metadata) {
    w.u30(md.name);
    w.u30(static_cast<uint32_t>(md.items.size()));
    for (const auto& item : md.items) w.u30(item.key);
    for (const auto& item : md.items) w.u30(item.value);
  }
  w.u30(static_cast<uint32_t>(f.instances.size()));
  for (const abc::InstanceInfo& c : f.instances) {
    w.u30(c.name);
    w.u30(c.superName);
    w.u8(c.flags);
    if (c.has(abc::InstanceFlag::ProtectedNs)) w.u30(c.protectedNs);
    w.u30(static_cast<uint32_t>(c.interfaces.size()));
    for (uint32_t i : c.interfaces) w.u30(i);
    w.u30(c.iinit);
    writeTraits(w, c.traits);
  }
  for (const abc::ClassInfo& c : f.classes) {
    w.u30(c.cinit);
    writeTraits(w, c.traits);
  }
  w.u30(static_cast<uint32_t>(f.scripts.size()));
  for (const abc::ScriptInfo& s : f.scripts) {
    w.u30(s.init);
    writeTraits(w, s.traits);
  }
  w.u30(static_cast<uint32_t>(f.bodies.size()));
  for (const abc::MethodBody& b : f.bodies) {
    for (uint32_t v : {b.method, b.maxStack, b.localCount, b.initScopeDepth, b.maxScopeDepth})
      w.u30(v);
    w.u30(static_cast<uint32_t>(b.code.size()));
    w.out.insert(w.out.end(), b.code.begin(), b.code.end());
    w.u30(static_cast<uint32_t>(b.exceptions.size()));
    for (const abc::ExceptionInfo& e : b.exceptions)
      for (uint32_t v : {e.from, e.to, e.target, e.excType, e.varName}) w.u30(v);
    writeTraits(w, b.traits);
  }
  return w.out;
}

// What AbcBuilder::method() makes.
struct AbcMethod {
  std::vector<uint32_t> params;  // multinames; 0: any
  uint32_t returns = 0;
  std::string name;
  uint8_t flags = 0;
  std::vector<abc::Constant> optional;  // sets HasOptional
  std::vector<std::string> paramNames;  // sets HasParamNames
};

// What AbcBuilder::body() adds to a method besides its code.
struct AbcBody {
  uint32_t maxStack = 8, localCount = 1, initScopeDepth = 0, maxScopeDepth = 8;
  std::vector<abc::ExceptionInfo> exceptions;
  std::vector<abc::Trait> traits;
};

// What AbcBuilder::defineClass() makes: the instance and the class info.
struct AbcClass {
  uint32_t name = 0;       // a QName
  uint32_t superName = 0;  // 0: none
  uint8_t flags = abc::InstanceFlag::Sealed;
  uint32_t protectedNs = 0;  // sets ProtectedNs when not 0
  std::vector<uint32_t> interfaces;
  uint32_t iinit = 0, cinit = 0;
  std::vector<abc::Trait> instanceTraits, staticTraits;
};

class AbcBuilder {
 public:
  abc::AbcFile file;

  AbcBuilder() {
    abc::ConstantPool& p = file.pool;
    p.ints = {0};
    p.uints = {0};
    p.doubles = {std::numeric_limits<double>::quiet_NaN()};
    p.strings = {""};
    p.namespaces = {{}};
    p.namespaceSets = {{}};
    p.multinames = {{}};
  }

  // ---- Pools: equal entries are shared (private namespaces excepted) ----
  uint32_t integer(int32_t v) { return intern(file.pool.ints, v); }
  uint32_t uinteger(uint32_t v) { return intern(file.pool.uints, v); }
  uint32_t number(double v) {
    auto& d = file.pool.doubles;
    for (size_t i = 1; i < d.size(); ++i)
      if (std::memcmp(&d[i], &v, sizeof v) == 0) return static_cast<uint32_t>(i);
    d.push_back(v);
    return static_cast<uint32_t>(d.size() - 1);
  }
  // A string entry; "" gets an entry of its own too (index 0 means "any").
  uint32_t string(const std::string& s) { return intern(file.pool.strings, s); }
  uint32_t ns(abc::NamespaceKind kind, const std::string& uri) {
    abc::Namespace n{kind, string(uri)};
    if (kind == abc::NamespaceKind::Private) return add(file.pool.namespaces, n);
    return intern(file.pool.namespaces, n);
  }
  uint32_t packageNs(const std::string& uri = "") { return ns(abc::NamespaceKind::Package, uri); }
  uint32_t privateNs(const std::string& name = "") { return ns(abc::NamespaceKind::Private, name); }
  uint32_t nsSet(const std::vector<uint32_t>& members) {
    return intern(file.pool.namespaceSets, members);
  }

  uint32_t qname(uint32_t ns, const std::string& name, bool attribute = false) {
    abc::Multiname m{.kind = attribute ? abc::MultinameKind::QNameA : abc::MultinameKind::QName,
                     .ns = ns,
                     .name = string(name)};
    return intern(file.pool.multinames, m);
  }
  // A name in the public namespace.
  uint32_t qname(const std::string& name) { return qname(packageNs(), name); }
  uint32_t rtqname(const std::string& name, bool attribute = false) {
    using K = abc::MultinameKind;
    return intern(file.pool.multinames,
                  {.kind = attribute ? K::RTQNameA : K::RTQName, .name = string(name)});
  }
  uint32_t rtqnameL(bool attribute = false) {
    using K = abc::MultinameKind;
    return intern(file.pool.multinames, {.kind = attribute ? K::RTQNameLA : K::RTQNameL});
  }
  uint32_t multiname(const std::string& name, uint32_t set, bool attribute = false) {
    using K = abc::MultinameKind;
    return intern(
        file.pool.multinames,
        {.kind = attribute ? K::MultinameA : K::Multiname, .name = string(name), .nsSet = set});
  }
  uint32_t multinameL(uint32_t set, bool attribute = false) {
    using K = abc::MultinameKind;
    return intern(file.pool.multinames,
                  {.kind = attribute ? K::MultinameLA : K::MultinameL, .nsSet = set});
  }
  uint32_t typeName(uint32_t generic, const std::vector<uint32_t>& params) {
    return intern(
        file.pool.multinames,
        {.kind = abc::MultinameKind::TypeName, .typeName = generic, .typeParams = params});
  }

  // ---- Constants (defaults of optional parameters and slots) ----
  abc::Constant value(int32_t v) { return {abc::ConstantKind::Int, integer(v)}; }
  abc::Constant value(uint32_t v) { return {abc::ConstantKind::UInt, uinteger(v)}; }
  abc::Constant value(double v) { return {abc::ConstantKind::Double, number(v)}; }
  abc::Constant value(const char* s) { return {abc::ConstantKind::Utf8, string(s)}; }
  abc::Constant value(bool b) {
    return {b ? abc::ConstantKind::True : abc::ConstantKind::False, 0};
  }
  static abc::Constant null() { return {abc::ConstantKind::Null, 0}; }
  static abc::Constant undefined() { return {abc::ConstantKind::Undefined, 0}; }
  // Constants of kind True, False, Null and Undefined are written with this index in
  // slots (where 0 would mean "no value").
  static constexpr uint32_t kMarker = 1;

  // ---- Methods and bodies ----
  using Method = AbcMethod;
  uint32_t method(const Method& m = {}) {
    abc::MethodInfo info;
    info.paramTypes = m.params;
    info.returnType = m.returns;
    info.name = m.name.empty() ? 0 : string(m.name);
    info.flags = m.flags;
    if (!m.optional.empty()) info.flags |= abc::MethodFlag::HasOptional;
    info.optional = m.optional;
    if (!m.paramNames.empty()) info.flags |= abc::MethodFlag::HasParamNames;
    for (const std::string& n : m.paramNames) info.paramNames.push_back(string(n));
    file.methods.push_back(std::move(info));
    file.bodyIndex.push_back(-1);
    return static_cast<uint32_t>(file.methods.size() - 1);
  }
  using Body = AbcBody;
  uint32_t body(uint32_t method, const Code& code, const Body& b = {}) {
    return body(method, code.bytes(), b);
  }
  uint32_t body(uint32_t method, std::vector<uint8_t> code, const Body& b = {}) {
    abc::MethodBody mb{method,          b.maxStack,      b.localCount, b.initScopeDepth,
                       b.maxScopeDepth, std::move(code), b.exceptions, b.traits};
    file.bodies.push_back(std::move(mb));
    if (method < file.bodyIndex.size())
      file.bodyIndex[method] = static_cast<int32_t>(file.bodies.size() - 1);
    return static_cast<uint32_t>(file.bodies.size() - 1);
  }
  // A method whose body only returns: class and script initialisers of tests.
  uint32_t emptyMethod() {
    uint32_t m = method();
    body(m, Code().op(op::getlocal0).op(op::pushscope).op(op::returnvoid), {.maxStack = 1});
    return m;
  }

  // Keys "" make keyless items.
  uint32_t metadata(const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& items = {}) {
    abc::MetadataInfo md;
    md.name = string(name);
    for (const auto& [k, v] : items) md.items.push_back({k.empty() ? 0 : string(k), string(v)});
    file.metadata.push_back(std::move(md));
    return static_cast<uint32_t>(file.metadata.size() - 1);
  }

  // ---- Traits ----
  static abc::Trait slot(uint32_t name, uint32_t type = 0, std::optional<abc::Constant> v = {},
                         uint32_t slotId = 0) {
    return {.name = name,
            .kind = abc::TraitKind::Slot,
            .slotId = slotId,
            .typeName = type,
            .value = marked(v)};
  }
  static abc::Trait constant(uint32_t name, uint32_t type, std::optional<abc::Constant> v,
                             uint32_t slotId = 0) {
    abc::Trait t = slot(name, type, v, slotId);
    t.kind = abc::TraitKind::Const;
    return t;
  }
  static abc::Trait methodTrait(uint32_t name, uint32_t method,
                                abc::TraitKind kind = abc::TraitKind::Method, uint32_t dispId = 0) {
    return {.name = name, .kind = kind, .dispId = dispId, .method = method};
  }
  static abc::Trait getter(uint32_t name, uint32_t method) {
    return methodTrait(name, method, abc::TraitKind::Getter);
  }
  static abc::Trait setter(uint32_t name, uint32_t method) {
    return methodTrait(name, method, abc::TraitKind::Setter);
  }
  static abc::Trait classTrait(uint32_t name, uint32_t classIndex, uint32_t slotId = 0) {
    return {
        .name = name, .kind = abc::TraitKind::Class, .slotId = slotId, .classIndex = classIndex};
  }
  static abc::Trait function(uint32_t name, uint32_t method, uint32_t slotId = 0) {
    return {.name = name, .kind = abc::TraitKind::Function, .slotId = slotId, .method = method};
  }

  // ---- Classes and scripts ----
  using Class = AbcClass;
  uint32_t defineClass(const Class& c) {
    abc::InstanceInfo i;
    i.name = c.name;
    i.superName = c.superName;
    i.flags = c.flags | (c.protectedNs ? abc::InstanceFlag::ProtectedNs : 0);
    i.protectedNs = c.protectedNs;
    i.interfaces = c.interfaces;
    i.iinit = c.iinit;
    i.traits = c.instanceTraits;
    file.instances.push_back(std::move(i));
    file.classes.push_back({c.cinit, c.staticTraits});
    return static_cast<uint32_t>(file.classes.size() - 1);
  }
  uint32_t script(uint32_t init, const std::vector<abc::Trait>& traits = {}) {
    file.scripts.push_back({init, traits});
    return static_cast<uint32_t>(file.scripts.size() - 1);
  }

  std::vector<uint8_t> bytes() const { return writeAbc(file); }

 private:
  template <class T>
  static uint32_t add(std::vector<T>& pool, const T& v) {
    pool.push_back(v);
    return static_cast<uint32_t>(pool.size() - 1);
  }
  template <class T>
  static uint32_t intern(std::vector<T>& pool, const T& v) {
    for (size_t i = 1; i < pool.size(); ++i)
      if (pool[i] == v) return static_cast<uint32_t>(i);
    return add(pool, v);
  }
  // Kinds without a pool entry still need a non-zero index in a slot.
  static std::optional<abc::Constant> marked(std::optional<abc::Constant> v) {
    if (v && v->index == 0) v->index = kMarker;
    return v;
  }
};

// ---- Movies around ABC ----

// FileAttributes with the ActionScript 3 flag set (or not).
inline std::vector<uint8_t> fileAttributes(bool actionScript3 = true, bool useNetwork = false) {
  BitWriter w;
  w.u32((actionScript3 ? 0x08u : 0u) | (useNetwork ? 0x01u : 0u));
  return tag(69, w.bytes);
}
// DoABC with flags and name (tag 82).
inline std::vector<uint8_t> doAbc(const std::vector<uint8_t>& abc, const std::string& name = "",
                                  uint32_t flags = 1) {
  BitWriter w;
  w.u32(flags);
  w.string(name);
  w.raw(abc);
  return tag(82, w.bytes, true);
}
// The older DoABC without flags and name (tag 72).
inline std::vector<uint8_t> doAbcWithoutFlags(const std::vector<uint8_t>& abc) {
  return tag(72, abc, true);
}
inline std::vector<uint8_t> symbolClass(
    const std::vector<std::pair<uint16_t, std::string>>& links) {
  BitWriter w;
  w.u16(static_cast<uint16_t>(links.size()));
  for (const auto& [id, name] : links) {
    w.u16(id);
    w.string(name);
  }
  return tag(76, w.bytes, true);
}
// A one-frame ActionScript 3 movie: FileAttributes, the ABC and, when `mainClass` is
// given, the SymbolClass link of the main timeline to it.
inline std::vector<uint8_t> as3Movie(const std::vector<uint8_t>& abc,
                                     const std::string& mainClass = "",
                                     MovieOptions options = {.version = 10}) {
  std::vector<uint8_t> tags = concat({fileAttributes(), doAbc(abc, "frame1")});
  if (!mainClass.empty()) tags = concat({tags, symbolClass({{0, mainClass}})});
  return movie(concat({tags, showFrame()}), options);
}

}  // namespace orv::movie::test
