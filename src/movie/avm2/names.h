// Names as the machine resolves them: interned namespaces, a multiname at run time (a
// name with one namespace or a set of them), and the sealed layout of a class (its traits:
// slots, constants, methods and accessors by qualified name).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "movie/avm2/value.h"

namespace orv::movie::avm2 {

class Method;
class ClassObject;

// One Namespace per (kind, URI), so names compare namespaces by address; package, user
// and explicit namespaces with one URI are the same namespace. Private namespaces are
// made distinct each time.
class NamespaceTable {
 public:
  const Namespace* get(NamespaceKind kind, String* uri);
  const Namespace* makePrivate(String* uri);
  // An XML namespace with a prefix; names resolve with get(User, uri) for it.
  const Namespace* getPrefixed(String* prefix, String* uri);

 private:
  std::deque<Namespace> store_;
  std::map<std::pair<int, String*>, const Namespace*> interned_;
  std::map<std::pair<String*, String*>, const Namespace*> prefixed_;
};

// A multiname with its run-time parts filled in.
struct Name {
  String* name = nullptr;         // interned; null: any name
  const Namespace* ns = nullptr;  // one namespace, or
  const std::vector<const Namespace*>* set = nullptr;
  bool anyNamespace = false;  // *::name
  bool attribute = false;
  int64_t index = -1;  // the name as an array index, when it is one
  Object* key = nullptr;  // the object a run-time name was made from (Dictionary keys)

  bool matches(const Namespace* n) const {
    if (ns) return ns == n;
    if (set) {
      for (const Namespace* s : *set)
        if (s == n) return true;
      return false;
    }
    return anyNamespace;
  }
};

// The array index a name's text stands for (-1: none).
int64_t arrayIndexOf(std::string_view text);

enum class BindKind : uint8_t { Slot, Const, Method, Accessor };

struct Binding {
  static constexpr uint32_t kNone = UINT32_MAX;
  BindKind kind = BindKind::Slot;
  uint32_t index = kNone;   // Slot/Const: slot; Method: method; Accessor: the getter
  uint32_t setter = kNone;  // Accessor: the setter
};

// What a slot holds: values are coerced to its type when they are stored.
enum class SlotType : uint8_t { Any, Object, Int, Uint, Number, Boolean, String, Class };

struct SlotInfo {
  SlotType type = SlotType::Any;
  ClassObject* typeClass = nullptr;  // SlotType::Class
  Value initial;                     // what a new object's slot starts as
  String* name = nullptr;            // for messages
};

struct TraitMethod {
  Method* method = nullptr;
  ClassObject* owner = nullptr;  // the class that declared it (super calls start above it)
};

class Traits {
 public:
  explicit Traits(const Traits* base = nullptr);

  const Binding* find(const Name& n) const;
  const Binding* find(String* name, const Namespace* ns) const;
  // The namespace a binding of `name` found through `n` was declared in.
  const Namespace* namespaceOf(const Name& n) const;
  // Adds a binding or replaces the one of the same name (an override).
  void bind(String* name, const Namespace* ns, Binding b);
  uint32_t addSlot(SlotInfo s, uint32_t wantedId);  // wantedId 0: the next free slot
  uint32_t addMethod(TraitMethod m);

  std::vector<SlotInfo> slots;
  std::vector<TraitMethod> methods;
  bool dynamic = true;  // undeclared properties may be created on instances
  String* className = nullptr;  // "flash.display.Sprite", for messages

  // Every binding, for enumeration by the top level (describeType, for-in of classes).
  const std::unordered_map<String*, std::vector<std::pair<const Namespace*, Binding>>>& all()
      const {
    return byName_;
  }

 private:
  std::unordered_map<String*, std::vector<std::pair<const Namespace*, Binding>>> byName_;
};

}  // namespace orv::movie::avm2
