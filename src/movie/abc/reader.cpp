// The ABC reader: a bounds-checked byte reader, then the file's parts in file order, each
// index checked against the pool or table it names as soon as that table is known.
#include "movie/abc/reader.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

#include "movie/base/bytes.h"

namespace orv::movie::abc {

std::string ReadError::message() const { return reason + " at byte " + std::to_string(offset); }

namespace {

struct Failure {
  std::string reason;
  size_t offset;
};

// Memory the parsed structures may take, checked before each table is allocated.
constexpr size_t kParsedBudget = size_t(256) << 20;

// The file's bytes, read in order; running out of them (or an over-long integer) fails
// the read at the offset of the field.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : in_(data, size) {}

  size_t pos() const { return in_.pos(); }
  size_t remaining() const { return in_.remaining(); }

  [[noreturn]] void fail(std::string reason, size_t at) const {
    throw Failure{std::move(reason), at};
  }

  uint8_t u8() {
    need(1);
    return in_.u8();
  }
  uint16_t u16() {
    need(2);
    return in_.u16();
  }
  double d64() {
    need(8);
    const uint64_t low = in_.u32();
    return std::bit_cast<double>(uint64_t(in_.u32()) << 32 | low);
  }
  // One to five bytes, seven bits each, low bits first; a set high bit continues.
  // Signed values are stored as the encoding of their 32-bit pattern: a short encoding
  // is never sign-extended (compilers store the int 99 as the one byte 0x63).
  uint32_t u32() {
    const size_t start = pos();
    uint64_t v = 0;
    for (int i = 0; i < 5; ++i) {
      uint8_t b = u8();
      v |= uint64_t(b & 0x7F) << (7 * i);
      if (!(b & 0x80)) return static_cast<uint32_t>(v);
    }
    fail("variable-length integer longer than 5 bytes", start);
  }
  int32_t s32() { return static_cast<int32_t>(u32()); }
  uint32_t u30() {
    const size_t start = pos();
    uint32_t v = u32();
    if (v >> 30) fail("u30 value " + std::to_string(v) + " does not fit 30 bits", start);
    return v;
  }
  std::string string(size_t n) {
    need(n);
    std::string s(reinterpret_cast<const char*>(in_.here()), n);
    in_.skip(n);
    return s;
  }
  std::vector<uint8_t> bytes(size_t n) {
    need(n);
    std::vector<uint8_t> b(in_.here(), in_.here() + n);
    in_.skip(n);
    return b;
  }

 private:
  void need(size_t n) const {
    if (!in_.has(n)) fail("data ends early", pos());
  }
  base::ByteReader in_;
};

class AbcReader {
 public:
  AbcReader(const uint8_t* data, size_t size) : r_(data, size) {}

  AbcFile read() {
    f_.minorVersion = r_.u16();
    f_.majorVersion = r_.u16();
    readPools();
    const uint32_t methods = count<MethodInfo>(4, "method");
    for (uint32_t i = 0; i < methods; ++i) f_.methods.push_back(readMethod());
    const uint32_t metadata = count<MetadataInfo>(2, "metadata");
    for (uint32_t i = 0; i < metadata; ++i) f_.metadata.push_back(readMetadata());
    const uint32_t classes = count<InstanceInfo>(8, "class");
    classCount_ = classes;
    charge(classes, sizeof(ClassInfo));
    for (uint32_t i = 0; i < classes; ++i) f_.instances.push_back(readInstance());
    for (uint32_t i = 0; i < classes; ++i) {
      ClassInfo c;
      c.cinit = index(f_.methods.size(), "method");
      c.traits = readTraits();
      f_.classes.push_back(std::move(c));
    }
    const uint32_t scripts = count<ScriptInfo>(2, "script");
    for (uint32_t i = 0; i < scripts; ++i) {
      ScriptInfo s;
      s.init = index(f_.methods.size(), "method");
      s.traits = readTraits();
      f_.scripts.push_back(std::move(s));
    }
    const uint32_t bodies = count<MethodBody>(8, "method body");
    f_.bodyIndex.assign(f_.methods.size(), -1);
    for (uint32_t i = 0; i < bodies; ++i) {
      MethodBody b = readBody();
      if (f_.bodyIndex[b.method] >= 0)
        f_.methodsWithSecondBody.push_back(b.method);
      else
        f_.bodyIndex[b.method] = static_cast<int32_t>(f_.bodies.size());
      f_.bodies.push_back(std::move(b));
    }
    return std::move(f_);
  }

 private:
  void charge(size_t n, size_t unit) {
    if (n > budget_ / unit) r_.fail("file too large to hold in memory", r_.pos());
    budget_ -= n * unit;
  }
  // A count of items of at least `minBytes` each, no more than the bytes left hold.
  template <class T>
  uint32_t count(size_t minBytes, const char* what) {
    const size_t at = r_.pos();
    const uint32_t n = r_.u30();
    if (n > r_.remaining() / minBytes)
      r_.fail(std::to_string(n) + " " + what + " entries cannot fit in the " +
                  std::to_string(r_.remaining()) + " bytes left",
              at);
    charge(n, sizeof(T));
    return n;
  }
  // A pool's count, which includes the entry 0 the file does not store.
  template <class T>
  uint32_t poolCount(size_t minBytes, const char* what) {
    const size_t at = r_.pos();
    const uint32_t n = r_.u30();
    const uint32_t stored = n == 0 ? 0 : n - 1;
    if (stored > r_.remaining() / minBytes)
      r_.fail(std::to_string(n) + " " + what + " entries cannot fit in the " +
                  std::to_string(r_.remaining()) + " bytes left",
              at);
    charge(stored + 1, sizeof(T));
    return stored;
  }
  // An index into a table of `size` entries.
  uint32_t index(size_t size, const char* what, bool zeroAllowed = true) {
    const size_t at = r_.pos();
    const uint32_t i = r_.u30();
    check(i, size, what, zeroAllowed, at);
    return i;
  }
  void check(uint32_t i, size_t size, const char* what, bool zeroAllowed, size_t at) const {
    if (i == 0 && !zeroAllowed) r_.fail(std::string(what) + " index 0 is not allowed here", at);
    if (i >= size)
      r_.fail(std::string(what) + " index " + std::to_string(i) + " out of range (" +
                  std::to_string(size) + " entries)",
              at);
  }
  uint32_t stringIndex() { return index(f_.pool.strings.size(), "string"); }
  uint32_t multinameIndex(bool zeroAllowed = true) {
    return index(f_.pool.multinames.size(), "multiname", zeroAllowed);
  }
  // A multiname that must be a QName (class and trait names).
  uint32_t qnameIndex() {
    const size_t at = r_.pos();
    const uint32_t i = multinameIndex(false);
    if (f_.pool.multinames[i].kind != MultinameKind::QName)
      r_.fail("multiname " + std::to_string(i) + " names a definition but is not a QName", at);
    return i;
  }

  void readPools();
  void readNamespaces();
  void readMultinames();
  void checkTypeNames(size_t poolStart);
  int typeNameDepth(uint32_t i, std::vector<int8_t>& depth, int level, size_t at);
  Constant readConstant(uint32_t index, size_t at);
  MethodInfo readMethod();
  MetadataInfo readMetadata();
  InstanceInfo readInstance();
  std::vector<Trait> readTraits();
  Trait readTrait();
  MethodBody readBody();

  ByteReader r_;
  AbcFile f_;
  size_t budget_ = kParsedBudget;
  uint32_t classCount_ = 0;
};

void AbcReader::readPools() {
  ConstantPool& p = f_.pool;
  uint32_t n = poolCount<int32_t>(1, "int");
  p.ints.reserve(n + 1);
  p.ints.push_back(0);
  for (uint32_t i = 0; i < n; ++i) p.ints.push_back(r_.s32());
  n = poolCount<uint32_t>(1, "uint");
  p.uints.reserve(n + 1);
  p.uints.push_back(0);
  for (uint32_t i = 0; i < n; ++i) p.uints.push_back(r_.u32());
  n = poolCount<double>(8, "double");
  p.doubles.reserve(n + 1);
  p.doubles.push_back(std::numeric_limits<double>::quiet_NaN());
  for (uint32_t i = 0; i < n; ++i) p.doubles.push_back(r_.d64());
  n = poolCount<std::string>(1, "string");
  p.strings.reserve(n + 1);
  p.strings.emplace_back();
  for (uint32_t i = 0; i < n; ++i) {
    const size_t at = r_.pos();
    const uint32_t length = r_.u30();
    if (length > r_.remaining())
      r_.fail("string of " + std::to_string(length) + " bytes runs past the end", at);
    charge(length, 1);
    p.strings.push_back(r_.string(length));
  }
  readNamespaces();
  readMultinames();
}

void AbcReader::readNamespaces() {
  ConstantPool& p = f_.pool;
  uint32_t n = poolCount<Namespace>(2, "namespace");
  p.namespaces.reserve(n + 1);
  p.namespaces.emplace_back();
  for (uint32_t i = 0; i < n; ++i) {
    const size_t at = r_.pos();
    const uint8_t kind = r_.u8();
    switch (kind) {
      case 0x05:
      case 0x08:
      case 0x16:
      case 0x17:
      case 0x18:
      case 0x19:
      case 0x1A:
        break;
      default:
        r_.fail("unknown namespace kind " + std::to_string(kind), at);
    }
    p.namespaces.push_back({static_cast<NamespaceKind>(kind), stringIndex()});
  }
  n = poolCount<std::vector<uint32_t>>(1, "namespace set");
  p.namespaceSets.reserve(n + 1);
  p.namespaceSets.emplace_back();
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t size = count<uint32_t>(1, "namespace set member");
    std::vector<uint32_t> set;
    set.reserve(size);
    for (uint32_t j = 0; j < size; ++j)
      set.push_back(index(p.namespaces.size(), "namespace", false));
    p.namespaceSets.push_back(std::move(set));
  }
}

void AbcReader::readMultinames() {
  ConstantPool& p = f_.pool;
  const uint32_t n = poolCount<Multiname>(1, "multiname");
  const size_t poolStart = r_.pos();
  p.multinames.reserve(n + 1);
  p.multinames.emplace_back();
  const size_t sets = p.namespaceSets.size();
  for (uint32_t i = 0; i < n; ++i) {
    const size_t at = r_.pos();
    Multiname m;
    const uint8_t kind = r_.u8();
    m.kind = static_cast<MultinameKind>(kind);
    switch (m.kind) {
      case MultinameKind::QName:
      case MultinameKind::QNameA:
        m.ns = index(p.namespaces.size(), "namespace");
        m.name = stringIndex();
        break;
      case MultinameKind::RTQName:
      case MultinameKind::RTQNameA:
        m.name = stringIndex();
        break;
      case MultinameKind::RTQNameL:
      case MultinameKind::RTQNameLA:
        break;
      case MultinameKind::Multiname:
      case MultinameKind::MultinameA:
        m.name = stringIndex();
        m.nsSet = index(sets, "namespace set", false);
        break;
      case MultinameKind::MultinameL:
      case MultinameKind::MultinameLA:
        m.nsSet = index(sets, "namespace set", false);
        break;
      case MultinameKind::TypeName: {
        // The indices may name multinames later in the pool: checked once all are read.
        m.typeName = r_.u30();
        const uint32_t params = count<uint32_t>(1, "type parameter");
        m.typeParams.reserve(params);
        for (uint32_t j = 0; j < params; ++j) m.typeParams.push_back(r_.u30());
        break;
      }
      default:
        r_.fail("unknown multiname kind " + std::to_string(kind), at);
    }
    p.multinames.push_back(std::move(m));
  }
  checkTypeNames(poolStart);
}

// Every TypeName names a generic type that is not itself a TypeName, parameters that
// exist, and nests no deeper than kMaxTypeNameDepth (so never in a cycle).
void AbcReader::checkTypeNames(size_t poolStart) {
  const std::vector<Multiname>& mns = f_.pool.multinames;
  std::vector<int8_t> depth(mns.size(), -1);  // -1: not yet known
  for (uint32_t i = 1; i < mns.size(); ++i) {
    const Multiname& m = mns[i];
    if (m.kind != MultinameKind::TypeName) continue;
    check(m.typeName, mns.size(), "multiname", false, poolStart);
    if (mns[m.typeName].kind == MultinameKind::TypeName)
      r_.fail("type name " + std::to_string(i) + " applies parameters to a type name", poolStart);
    for (uint32_t param : m.typeParams) check(param, mns.size(), "multiname", true, poolStart);
    typeNameDepth(i, depth, 0, poolStart);
  }
}

int AbcReader::typeNameDepth(uint32_t i, std::vector<int8_t>& depth, int level, size_t at) {
  const Multiname& m = f_.pool.multinames[i];
  if (m.kind != MultinameKind::TypeName) return 0;
  if (depth[i] >= 0) return depth[i];
  if (level >= kMaxTypeNameDepth)
    r_.fail("type names nest more than " + std::to_string(kMaxTypeNameDepth) + " deep", at);
  int deepest = 0;
  for (uint32_t param : m.typeParams)
    deepest = std::max(deepest, typeNameDepth(param, depth, level + 1, at));
  if (deepest + 1 > kMaxTypeNameDepth)
    r_.fail("type names nest more than " + std::to_string(kMaxTypeNameDepth) + " deep", at);
  depth[i] = static_cast<int8_t>(deepest + 1);
  return depth[i];
}

// A constant's kind byte, after its index; the index is checked against its kind's pool.
Constant AbcReader::readConstant(uint32_t index, size_t at) {
  const ConstantPool& p = f_.pool;
  const uint8_t kind = r_.u8();
  Constant c{static_cast<ConstantKind>(kind), index};
  switch (c.kind) {
    case ConstantKind::Undefined:
    case ConstantKind::Null:
    case ConstantKind::True:
    case ConstantKind::False:
      break;
    case ConstantKind::Int:
      check(index, p.ints.size(), "int", true, at);
      break;
    case ConstantKind::UInt:
      check(index, p.uints.size(), "uint", true, at);
      break;
    case ConstantKind::Double:
      check(index, p.doubles.size(), "double", true, at);
      break;
    case ConstantKind::Utf8:
      check(index, p.strings.size(), "string", true, at);
      break;
    case ConstantKind::Namespace:
    case ConstantKind::PackageNamespace:
    case ConstantKind::PackageInternalNs:
    case ConstantKind::ProtectedNamespace:
    case ConstantKind::ExplicitNamespace:
    case ConstantKind::StaticProtectedNs:
    case ConstantKind::PrivateNs:
      check(index, p.namespaces.size(), "namespace", true, at);
      break;
    default:
      r_.fail("unknown constant kind " + std::to_string(kind), r_.pos() - 1);
  }
  return c;
}

MethodInfo AbcReader::readMethod() {
  MethodInfo m;
  const uint32_t params = count<uint32_t>(1, "parameter");
  m.returnType = multinameIndex();
  m.paramTypes.reserve(params);
  for (uint32_t i = 0; i < params; ++i) m.paramTypes.push_back(multinameIndex());
  m.name = stringIndex();
  m.flags = r_.u8();
  if (m.has(MethodFlag::HasOptional)) {
    const size_t at = r_.pos();
    const uint32_t n = count<Constant>(2, "optional value");
    if (n > params)
      r_.fail(std::to_string(n) + " optional values for " + std::to_string(params) + " parameters",
              at);
    m.optional.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
      const size_t valueAt = r_.pos();
      const uint32_t value = r_.u30();
      m.optional.push_back(readConstant(value, valueAt));
    }
  }
  if (m.has(MethodFlag::HasParamNames)) {
    if (params > r_.remaining()) r_.fail("parameter names run past the end", r_.pos());
    charge(params, sizeof(uint32_t));
    m.paramNames.reserve(params);
    for (uint32_t i = 0; i < params; ++i) m.paramNames.push_back(stringIndex());
  }
  return m;
}

// The items' keys come first, then their values, as compilers write them.
MetadataInfo AbcReader::readMetadata() {
  MetadataInfo md;
  md.name = stringIndex();
  const uint32_t n = count<MetadataInfo::Item>(2, "metadata item");
  md.items.resize(n);
  for (MetadataInfo::Item& item : md.items) item.key = stringIndex();
  for (MetadataInfo::Item& item : md.items) item.value = stringIndex();
  return md;
}

InstanceInfo AbcReader::readInstance() {
  InstanceInfo c;
  c.name = qnameIndex();
  c.superName = multinameIndex();
  c.flags = r_.u8();
  if (c.has(InstanceFlag::ProtectedNs))
    c.protectedNs = index(f_.pool.namespaces.size(), "namespace");
  const uint32_t n = count<uint32_t>(1, "interface");
  c.interfaces.reserve(n);
  for (uint32_t i = 0; i < n; ++i) c.interfaces.push_back(multinameIndex(false));
  c.iinit = index(f_.methods.size(), "method");
  c.traits = readTraits();
  return c;
}

std::vector<Trait> AbcReader::readTraits() {
  const uint32_t n = count<Trait>(4, "trait");
  std::vector<Trait> traits;
  traits.reserve(n);
  for (uint32_t i = 0; i < n; ++i) traits.push_back(readTrait());
  return traits;
}

Trait AbcReader::readTrait() {
  Trait t;
  t.name = qnameIndex();
  const size_t kindAt = r_.pos();
  const uint8_t kind = r_.u8();
  if ((kind & 0x0F) > 6) r_.fail("unknown trait kind " + std::to_string(kind & 0x0F), kindAt);
  t.kind = static_cast<TraitKind>(kind & 0x0F);
  const uint8_t attributes = kind >> 4;
  t.isFinal = attributes & 0x1;
  t.isOverride = attributes & 0x2;
  switch (t.kind) {
    case TraitKind::Slot:
    case TraitKind::Const: {
      t.slotId = r_.u30();
      t.typeName = multinameIndex();
      const size_t at = r_.pos();
      const uint32_t value = r_.u30();
      if (value != 0) t.value = readConstant(value, at);
      break;
    }
    case TraitKind::Method:
    case TraitKind::Getter:
    case TraitKind::Setter:
      t.dispId = r_.u30();
      t.method = index(f_.methods.size(), "method");
      break;
    case TraitKind::Class:
      t.slotId = r_.u30();
      t.classIndex = index(classCount_, "class");
      break;
    case TraitKind::Function:
      t.slotId = r_.u30();
      t.method = index(f_.methods.size(), "method");
      break;
  }
  if (attributes & 0x4) {
    const uint32_t n = count<uint32_t>(1, "trait metadata");
    t.metadata.reserve(n);
    for (uint32_t i = 0; i < n; ++i) t.metadata.push_back(index(f_.metadata.size(), "metadata"));
  }
  return t;
}

MethodBody AbcReader::readBody() {
  MethodBody b;
  b.method = index(f_.methods.size(), "method");
  b.maxStack = r_.u30();
  b.localCount = r_.u30();
  b.initScopeDepth = r_.u30();
  b.maxScopeDepth = r_.u30();
  const size_t codeAt = r_.pos();
  const uint32_t length = r_.u30();
  if (length > r_.remaining())
    r_.fail("code of " + std::to_string(length) + " bytes runs past the end", codeAt);
  charge(length, 1);
  b.code = r_.bytes(length);
  const uint32_t n = count<ExceptionInfo>(5, "exception");
  b.exceptions.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    const size_t at = r_.pos();
    ExceptionInfo e;
    e.from = r_.u30();
    e.to = r_.u30();
    e.target = r_.u30();
    if (e.from > e.to || e.to > length || e.target >= length)
      r_.fail("exception range [" + std::to_string(e.from) + ", " + std::to_string(e.to) + ") -> " +
                  std::to_string(e.target) + " outside " + std::to_string(length) +
                  " bytes of code",
              at);
    e.excType = multinameIndex();
    e.varName = multinameIndex();
    b.exceptions.push_back(e);
  }
  b.traits = readTraits();
  return b;
}

}  // namespace

ReadResult readAbc(const uint8_t* data, size_t size) {
  ReadResult result;
  try {
    result.file = std::make_shared<const AbcFile>(AbcReader(data, size).read());
  } catch (const Failure& f) {
    result.error = {f.reason, f.offset};
  } catch (const std::bad_alloc&) {
    result.error = {"file too large to hold in memory", 0};
  }
  return result;
}

}  // namespace orv::movie::abc
