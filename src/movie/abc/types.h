#pragma once
// Plain data of one ABC file (ActionScript 3 bytecode): the constant pools, methods,
// metadata, classes, scripts and method bodies, as the file stores them. Read once by
// `reader.h`, immutable afterwards. Every index a reader-made AbcFile holds is valid: it
// names an entry of the pool or table it points into (entry 0 of a pool is always
// present and stands for the pool's "none"/"any" value).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv::movie::abc {

// ---- The constant pools --------------------------------------------------------------

enum class NamespaceKind : uint8_t {
  Any = 0x00,  // entry 0 of the pool only: any namespace
  Private = 0x05,
  Namespace = 0x08,
  Package = 0x16,
  PackageInternal = 0x17,
  Protected = 0x18,
  Explicit = 0x19,
  StaticProtected = 0x1A,
};

struct Namespace {
  NamespaceKind kind = NamespaceKind::Any;
  uint32_t name = 0;  // string index (the package or namespace URI; 0: none)
  bool operator==(const Namespace&) const = default;
};

enum class MultinameKind : uint8_t {
  QName = 0x07,
  QNameA = 0x0D,
  RTQName = 0x0F,
  RTQNameA = 0x10,
  RTQNameL = 0x11,
  RTQNameLA = 0x12,
  Multiname = 0x09,
  MultinameA = 0x0E,
  MultinameL = 0x1B,
  MultinameLA = 0x1C,
  TypeName = 0x1D,  // a generic type applied to parameters: Vector.<T>
};

// Which fields a multiname uses depends on its kind:
//   QName(A): ns, name     RTQName(A): name      RTQNameL(A): none (both at run time)
//   Multiname(A): name, nsSet                    MultinameL(A): nsSet (name at run time)
//   TypeName: typeName (the generic type, a multiname) and typeParams (multinames; 0: *)
// A name or ns of 0 means "any" (*).
struct Multiname {
  MultinameKind kind = MultinameKind::QName;
  uint32_t ns = 0;
  uint32_t name = 0;
  uint32_t nsSet = 0;
  uint32_t typeName = 0;
  std::vector<uint32_t> typeParams;

  bool isAttribute() const;
  bool runtimeNamespace() const;  // RTQName*: the namespace comes from the stack
  bool runtimeName() const;       // RTQNameL*, MultinameL*: the name comes from the stack
  bool operator==(const Multiname&) const = default;
};

struct ConstantPool {
  std::vector<int32_t> ints;                         // [0] = 0
  std::vector<uint32_t> uints;                       // [0] = 0
  std::vector<double> doubles;                       // [0] = NaN
  std::vector<std::string> strings;                  // UTF-8 as stored; [0] = "" (any)
  std::vector<Namespace> namespaces;                 // [0] = any namespace
  std::vector<std::vector<uint32_t>> namespaceSets;  // namespace indices (never 0); [0] = {}
  std::vector<Multiname> multinames;                 // [0] = *::* (any name)
};

// The kind of a constant: default values of optional parameters and slots.
enum class ConstantKind : uint8_t {
  Undefined = 0x00,
  Utf8 = 0x01,
  Int = 0x03,
  UInt = 0x04,
  PrivateNs = 0x05,
  Double = 0x06,
  Namespace = 0x08,
  False = 0x0A,
  True = 0x0B,
  Null = 0x0C,
  PackageNamespace = 0x16,
  PackageInternalNs = 0x17,
  ProtectedNamespace = 0x18,
  ExplicitNamespace = 0x19,
  StaticProtectedNs = 0x1A,
};

// A constant: `index` is into the pool of its kind (ints, uints, doubles, strings or
// namespaces); Undefined, Null, True and False carry no index.
struct Constant {
  ConstantKind kind = ConstantKind::Undefined;
  uint32_t index = 0;
  bool operator==(const Constant&) const = default;
};

// ---- Methods, metadata, traits -------------------------------------------------------

namespace MethodFlag {
constexpr uint8_t NeedArguments = 0x01, NeedActivation = 0x02, NeedRest = 0x04, HasOptional = 0x08,
                  IgnoreRest = 0x10, Native = 0x20, SetDxns = 0x40, HasParamNames = 0x80;
}

struct MethodInfo {
  std::vector<uint32_t> paramTypes;  // multinames; 0: any type
  uint32_t returnType = 0;           // multiname; 0: any type
  uint32_t name = 0;                 // string
  uint8_t flags = 0;                 // MethodFlag bits
  std::vector<Constant> optional;    // defaults of the last optional.size() parameters
  std::vector<uint32_t> paramNames;  // strings, one per parameter (HasParamNames)

  bool has(uint8_t flag) const { return (flags & flag) != 0; }
  bool operator==(const MethodInfo&) const = default;
};

// Items with key 0 have no key.
struct MetadataInfo {
  struct Item {
    uint32_t key = 0, value = 0;  // strings
    bool operator==(const Item&) const = default;
  };
  uint32_t name = 0;  // string
  std::vector<Item> items;
  bool operator==(const MetadataInfo&) const = default;
};

enum class TraitKind : uint8_t {
  Slot = 0,
  Method = 1,
  Getter = 2,
  Setter = 3,
  Class = 4,
  Function = 5,
  Const = 6,
};

// The fields a trait uses depend on its kind:
//   Slot, Const: slotId, typeName (multiname; 0: any), value (none: the type's default)
//   Method, Getter, Setter: dispId, method          Class: slotId, classIndex
//   Function: slotId, method
// A slot id of 0 lets the machine choose the slot.
struct Trait {
  uint32_t name = 0;  // multiname, a QName
  TraitKind kind = TraitKind::Slot;
  bool isFinal = false, isOverride = false;
  std::vector<uint32_t> metadata;  // indices into AbcFile::metadata
  uint32_t slotId = 0;
  uint32_t typeName = 0;
  std::optional<Constant> value;
  uint32_t dispId = 0;
  uint32_t method = 0;
  uint32_t classIndex = 0;
  bool operator==(const Trait&) const = default;
};

// ---- Classes and scripts -------------------------------------------------------------

namespace InstanceFlag {
constexpr uint8_t Sealed = 0x01, Final = 0x02, Interface = 0x04, ProtectedNs = 0x08;
}

// The instance side of class i; classes[i] is its static side.
struct InstanceInfo {
  uint32_t name = 0;                 // multiname, a QName
  uint32_t superName = 0;            // multiname; 0: none (Object, interfaces)
  uint8_t flags = 0;                 // InstanceFlag bits
  uint32_t protectedNs = 0;          // namespace (ProtectedNs only; else 0)
  std::vector<uint32_t> interfaces;  // multinames
  uint32_t iinit = 0;                // the constructor (a method)
  std::vector<Trait> traits;

  bool has(uint8_t flag) const { return (flags & flag) != 0; }
  bool operator==(const InstanceInfo&) const = default;
};

struct ClassInfo {
  uint32_t cinit = 0;  // the static initialiser (a method)
  std::vector<Trait> traits;
  bool operator==(const ClassInfo&) const = default;
};

struct ScriptInfo {
  uint32_t init = 0;  // a method
  std::vector<Trait> traits;
  bool operator==(const ScriptInfo&) const = default;
};

// ---- Method bodies -------------------------------------------------------------------

// A handler for the code bytes [from, to) that starts at `target` (offsets into the code).
struct ExceptionInfo {
  uint32_t from = 0, to = 0, target = 0;
  uint32_t excType = 0;  // multiname of the caught type; 0: any
  uint32_t varName = 0;  // multiname of the catch variable; 0: none (finally)
  bool operator==(const ExceptionInfo&) const = default;
};

struct MethodBody {
  uint32_t method = 0;
  uint32_t maxStack = 0, localCount = 0, initScopeDepth = 0, maxScopeDepth = 0;
  std::vector<uint8_t> code;
  std::vector<ExceptionInfo> exceptions;
  std::vector<Trait> traits;  // the activation's slots
  bool operator==(const MethodBody&) const = default;
};

// ---- The file ------------------------------------------------------------------------

struct AbcFile {
  uint16_t minorVersion = 16, majorVersion = 46;
  ConstantPool pool;
  std::vector<MethodInfo> methods;
  std::vector<MetadataInfo> metadata;
  std::vector<InstanceInfo> instances;  // as many as classes
  std::vector<ClassInfo> classes;
  std::vector<ScriptInfo> scripts;
  std::vector<MethodBody> bodies;
  std::vector<int32_t> bodyIndex;  // per method: its first entry in bodies, or -1
  // Methods given a second body (in file order): the format allows only one; the machine
  // refuses such a file when it loads it, naming the method.
  std::vector<uint32_t> methodsWithSecondBody;

  // The body of a method; null for a method without one (native or interface methods)
  // or an index out of range.
  const MethodBody* bodyOf(uint32_t method) const;
};

// Names for diagnostics: "flash.display::Sprite", "*", "__AS3__.vec::Vector.<int>", "@id";
// a multiname with a namespace set shows its name only, parts found at run time show as
// "(runtime)". Indices out of range give "<bad multiname N>" rather than failing.
std::string multinameText(const AbcFile& file, uint32_t index);
std::string namespaceText(const AbcFile& file, uint32_t index);

}  // namespace orv::movie::abc
