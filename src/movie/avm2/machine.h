// The ActionScript 3 machine: loaded ABC, the classes and the top level, the operations
// on properties, calls and construction every instruction and built-in goes through, and
// the machine's errors as the player's Error objects.
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "movie/abc/types.h"
#include "movie/avm2/heap.h"
#include "movie/avm2/host.h"
#include "movie/avm2/names.h"
#include "movie/avm2/objects.h"

namespace orv::movie::avm2 {

// A value thrown and not yet caught (by a script's `throw` or by the machine).
struct ScriptThrow {
  Value value;
};

// The error classes the machine itself throws.
enum class ErrorClass : uint8_t {
  Error,
  TypeError,
  ReferenceError,
  RangeError,
  ArgumentError,
  VerifyError,
  EvalError,
  SyntaxError,
  URIError,
  SecurityError,
  DefinitionError,
  Count
};

// One ABC file as the machine holds it: its pools resolved to interned names, its methods,
// the classes it has defined so far and its scripts' global objects.
// What a library package keeps per machine (its classes, timers, hooks): its references
// are roots of every collection.
class PackageState {
 public:
  virtual ~PackageState() = default;
  virtual void markRoots(Marker& m) const = 0;
};

struct AbcUnit {
  std::shared_ptr<const abc::AbcFile> file;
  std::vector<String*> strings;
  std::vector<const Namespace*> namespaces;
  std::vector<std::vector<const Namespace*>> nsSets;
  std::vector<Name> multinames;  // run-time parts left empty
  std::vector<std::unique_ptr<Method>> methods;
  std::vector<ClassObject*> classes;  // null until its newclass ran
  std::vector<Object*> scriptGlobals;
  enum class ScriptState : uint8_t { NotRun, Running, Done };
  std::vector<ScriptState> scriptStates;
  std::vector<std::unique_ptr<Traits>> traits;  // of the scripts' global objects
  uint32_t domain = 1;  // the application domain its definitions belong to
};

class Machine {
 public:
  explicit Machine(Host* host = nullptr);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  Host* host;
  // The script object of each display object scripts reach, by host handle (before the
  // heap: its objects leave this as they are freed).
  std::unordered_map<uint64_t, Object*> displayObjects;
  Heap heap;
  StringTable names;
  NamespaceTable namespaces;
  const Namespace* publicNs = nullptr;
  const Namespace* as3Ns = nullptr;
  String* intern(std::string_view text) { return names.intern(text); }

  // ---- Limits ----
  // Instructions left before the time limit is looked at again; without a time limit,
  // before the scripts stop with error #1502.
  uint64_t budget = 100'000'000;
  int depth = 0;
  int maxDepth = 256;  // nested calls before error #1023
  bool timedOut = false;
  // Scripts may run for `milliseconds` from now before error #1502 stops them.
  void setTimeLimit(double milliseconds);
  // The budget is spent: error #1502 if the time limit has passed (or there is none).
  void budgetSpent();
  // Stops the running scripts with error #1502; handlers do not catch it.
  [[noreturn]] void timeOut();

  // The movie's SWF version (0: the newest); top-level definitions a later player added
  // are not there for older movies.
  int swfVersion = 0;

  // ---- Application domains: where definitions are found ----
  // Domain 0 holds the player's own classes, domain 1 the opened movie's; a movie loaded
  // later may have one of its own below another. A name is looked up from the top of a
  // domain's chain down: a parent's definition hides a child's.
  static constexpr uint32_t kSystemDomain = 0;
  static constexpr uint32_t kMainDomain = 1;
  static constexpr size_t kMaxDomains = 10000;
  // A new domain under `parent` (an unknown parent: the system's); the parent itself once
  // kMaxDomains are made.
  uint32_t newDomain(uint32_t parent);
  // The domain above `domain`, or kNoDomain for the system's (and unknown ones).
  static constexpr uint32_t kNoDomain = UINT32_MAX;
  uint32_t domainParent(uint32_t domain) const {
    return domain < domainParents_.size() ? domainParents_[domain] : kNoDomain;
  }
  // The domain of the running code (the opened movie's between scripts).
  uint32_t currentDomain = kMainDomain;

  // ---- Loading and running ABC ----
  // Loads a file into `domain`: its scripts' definitions become visible to later lookups
  // there. Null and `error` set when the file cannot be loaded (a method with two bodies).
  AbcUnit* load(std::shared_ptr<const abc::AbcFile> file, std::string& error,
                uint32_t domain = kMainDomain);
  // Runs the unit's entry script (its last) unless it already ran; may throw ScriptThrow.
  void runEntryScript(AbcUnit& unit);
  // A class by its qualified name ("Test", "flash.display.MovieClip"), defining it first
  // if its script has not run yet; null if none is known.
  // Looked up from the running code's domain, or from `domain`.
  ClassObject* findClass(std::string_view qualifiedName) {
    return findClass(qualifiedName, currentDomain);
  }
  ClassObject* findClass(std::string_view qualifiedName, uint32_t domain);
  // The ABC files loaded, in the order they were.
  const std::vector<std::unique_ptr<AbcUnit>>& units() const { return units_; }
  // The object holding a definition the scopes do not: a script's global object (running
  // the script first if it has not run) or the top level's. Null if none defines it.
  Object* findDefinition(const Name& n) { return findDefinition(n, currentDomain); }
  Object* findDefinition(const Name& n, uint32_t domain);
  // Whether the script that defines `n` has yet to start (finding it would run it).
  bool definitionNotRun(const Name& n) const;

  // ---- The well-known classes and objects ----
  ClassObject* objectClass = nullptr;
  ClassObject* classClass = nullptr;
  ClassObject* functionClass = nullptr;
  ClassObject* stringClass = nullptr;
  ClassObject* numberClass = nullptr;
  ClassObject* intClass = nullptr;
  ClassObject* uintClass = nullptr;
  ClassObject* booleanClass = nullptr;
  ClassObject* arrayClass = nullptr;
  ClassObject* namespaceClass = nullptr;
  ClassObject* xmlClass = nullptr;  // XML, XMLList and QName (xml.h)
  ClassObject* xmlListClass = nullptr;
  ClassObject* qnameClass = nullptr;
  struct XmlSettings {
    bool ignoreComments = true, ignoreProcessingInstructions = true, ignoreWhitespace = true;
    bool prettyPrinting = true;
    int prettyIndent = 2;
  } xmlSettings;
  String* defaultXmlNs = nullptr;  // `default xml namespace`, set by the running method
  ClassObject* errorClasses[static_cast<int>(ErrorClass::Count)] = {};
  Object* topLevel = nullptr;  // the global object of the built-in definitions
  Object* domainMemory = nullptr;  // the ByteArray the memory instructions address, or null

  // ---- Making objects ----
  Object* newObject();
  ArrayObject* newArray(std::vector<Value> elements = {});
  FunctionObject* newFunction(Method* method, ScopeRef scope, ClassObject* owner);
  FunctionObject* methodClosure(const TraitMethod& tm, const Value& receiver);
  Method* nativeMethod(NativeCode code, int length, std::string name);
  // A new instance of `cls` laid out by its traits, not yet constructed.
  Object* allocate(ClassObject* cls);

  // ---- Properties ----
  Name publicName(String* name) const;
  Name publicName(std::string_view name) { return publicName(intern(name)); }
  Value getProperty(const Value& obj, const Name& n);
  void setProperty(const Value& obj, const Name& n, Value v, bool init = false);
  bool deleteProperty(const Value& obj, const Name& n);
  bool hasProperty(const Value& obj, const Name& n);
  Value callProperty(const Value& obj, const Name& n, std::span<Value> args, bool lex = false);
  Value constructProperty(const Value& obj, const Name& n, std::span<Value> args);
  Value get(const Value& obj, std::string_view name) { return getProperty(obj, publicName(name)); }
  void set(const Value& obj, std::string_view name, Value v) {
    setProperty(obj, publicName(name), std::move(v));
  }
  // Whether a scope object answers to the name (traits and own dynamic properties).
  bool scopeHas(const ScopeEntry& scope, const Name& n);

  // ---- Calls ----
  Value call(const Value& fn, const Value& self, std::span<Value> args);
  Value construct(const Value& ctor, std::span<Value> args);
  Value invoke(Method* method, const Value& self, std::span<Value> args, const ScopeRef& scope,
               ClassObject* owner);
  // The function object call() is entering, for its `arguments.callee` (taken by interpret).
  FunctionObject* enteringFunction = nullptr;
  // Runs an ABC method's code (interpreter.cpp).
  Value interpret(Method* method, const Value& self, std::span<Value> args, const ScopeRef& scope,
                  ClassObject* owner);
  // The instance initialiser of `cls` on a new instance (constructsuper and construct).
  void runInitialiser(ClassObject* cls, const Value& self, std::span<Value> args);

  // ---- Conversions that may call scripts ----
  Value toPrimitive(const Value& v, bool preferString = false);
  double toNumber(const Value& v);
  StringRef toString(const Value& v);
  std::string toText(const Value& v) { return std::string(toString(v).view()); }
  int32_t toInt(const Value& v);
  uint32_t toUint(const Value& v);
  Value add(const Value& a, const Value& b);
  bool looseEquals(const Value& a, const Value& b);
  String* typeOf(const Value& v);

  // ---- Types ----
  ClassObject* classOf(const Value& v);
  bool isInstance(const Value& v, const ClassObject* cls);
  // The value stored in a slot of this type (TypeError #1034 when an object cannot be).
  Value coerce(const Value& v, const SlotInfo& type);
  // A class by a multiname of `unit` (null for `*`); ReferenceError #1065 when unknown.
  ClassObject* resolveType(AbcUnit& unit, uint32_t multiname);
  SlotInfo slotTypeFor(AbcUnit& unit, uint32_t multiname);
  // Vector.<param> (param null: Vector.<*>), made once per element type.
  ClassObject* applyType(ClassObject* generic, const Value& param);
  std::string className(const Value& v);  // as messages name a value's class

  // ---- Enumeration (for-in): indices from 1, 0 when there is no next ----
  uint32_t nextIndex(Object* o, uint32_t index);
  Value nameAt(Object* o, uint32_t index);
  Value valueAt(Object* o, uint32_t index);
  String* indexName(uint32_t index);  // "0", "1"... interned
  bool instanceOf(const Value& v, const Value& type);
  std::string escapeXml(std::string_view text, bool attribute);
  void addActivationTraits(AbcUnit& unit, const std::vector<abc::Trait>& traits, Traits& into) {
    addTraits(unit, traits, into, nullptr);
  }

  // ---- Errors ----
  Object* makeError(ErrorClass cls, int id, std::string_view message);
  // Throws the machine's error `id` of class `cls`, its %1, %2... filled in from `args`.
  [[noreturn]] void fail(ErrorClass cls, int id, std::initializer_list<std::string> args = {});
  // A name as messages print it.
  std::string nameText(const Name& n) const;

  // ---- The top level, installed from tables (toplevel_*.cpp) ----
  // A hook each installer registers under: constructed after Object, Class and Function.
  void defineGlobal(String* name, const Namespace* ns, Value v);
  // A class a script defines (newclass), its static initialiser run.
  ClassObject* defineAbcClass(AbcUnit& unit, uint32_t index, ClassObject* base,
                              const ScopeChain& outer);
  Value constantValue(AbcUnit& unit, const abc::Constant& c);
  ClassObject* defineClass(std::string_view package, std::string_view name, ClassObject* base,
                           bool dynamic, bool isFinal);
  void traceLine(std::string_view line) {
    if (host) host->trace(line);
  }

  // Roots beyond the machine's own that a collection must keep (the running frames').
  std::vector<std::vector<Value>*> frameRoots;
  std::vector<std::unique_ptr<PackageState>> packageStates;
  // The package state of type T, made when first asked for.
  template <typename T>
  T& packageState() {
    for (auto& s : packageStates)
      if (auto* t = dynamic_cast<T*>(s.get())) return *t;
    packageStates.push_back(std::make_unique<T>());
    return static_cast<T&>(*packageStates.back());
  }
  size_t collect();

 private:
  friend class TopLevelInstaller;
  void bootstrap();
  Object* runScript(AbcUnit& unit, uint32_t index);
  struct Definition {
    const Namespace* ns;
    AbcUnit* unit;  // null: the top level
    uint32_t script;
    uint32_t domain;
  };
  std::vector<uint32_t> domainParents_{kNoDomain, kSystemDomain};
  void addTraits(AbcUnit& unit, const std::vector<abc::Trait>& traits, Traits& into,
                 ClassObject* owner);
  std::unordered_map<String*, std::vector<Definition>> definitions_;
  std::unique_ptr<Traits> topLevelTraits_;
  std::vector<String*> indexNames_;
  std::unordered_map<ClassObject*, ClassObject*> vectorClasses_;
  bool hasDeadline_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::vector<std::unique_ptr<AbcUnit>> units_;
  std::vector<std::unique_ptr<Method>> nativeMethods_;
};

// The names of the error classes, as scripts know them.
const char* errorClassName(ErrorClass c);

}  // namespace orv::movie::avm2
