// flash.utils.Dictionary: a dynamic object whose keys may be objects, compared by
// identity; other keys are names as on any object. Weak keys are accepted and held
// strongly.
#include <unordered_map>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

class DictionaryObject : public HookedObject {
 public:
  using HookedObject::HookedObject;

  bool getHook(Machine& m, const Name& n, Value& out) override {
    if (!objectKey(m, n)) return false;
    auto it = index_.find(n.key);
    out = it == index_.end() ? Value() : entries_[it->second].second;
    return true;
  }
  bool setHook(Machine& m, const Name& n, Value& v) override {
    if (!objectKey(m, n)) return false;
    auto [it, added] = index_.try_emplace(n.key, entries_.size());
    if (added) entries_.emplace_back(n.key, std::move(v));
    else entries_[it->second].second = std::move(v);
    return true;
  }
  bool hasHook(Machine& m, const Name& n, bool& out) override {
    if (!objectKey(m, n)) return false;
    out = index_.count(n.key) != 0;
    return true;
  }
  bool deleteHook(Machine& m, const Name& n, bool& out) override {
    if (!objectKey(m, n)) return false;
    auto it = index_.find(n.key);
    if (it != index_.end()) {
      size_t at = it->second;
      index_.erase(it);
      if (at + 1 != entries_.size()) {
        entries_[at] = std::move(entries_.back());
        index_[entries_[at].first] = at;
      }
      entries_.pop_back();
    }
    out = true;
    return true;
  }
  bool callHook(Machine& m, const Name& n, std::span<Value> args, Value& out) override {
    Value fn;
    if (!getHook(m, n, fn)) return false;
    if (!fn.isObject()) m.fail(ErrorClass::TypeError, 1006, {m.nameText(n)});
    out = m.call(fn, Value(this), args);
    return true;
  }

  // The named properties first, then the object keys; every key is enumerable.
  bool enumerates() const override { return true; }
  bool keepsEnumerability() const override { return false; }
  uint32_t nextIndexHook(Machine&, uint32_t index) override {
    size_t named = ownCount(), total = named + entries_.size();
    for (size_t i = size_t(index) + 1; i <= total && i < UINT32_MAX; ++i)
      if (i > named || isEnumerable(ownNameAt(i - 1))) return static_cast<uint32_t>(i);
    return 0;
  }
  Value nameAtHook(Machine&, uint32_t index) override {
    if (index == 0) return Value();
    if (index <= ownCount()) {
      String* name = ownNameAt(index - 1);  // null once deleted
      return name ? Value(name) : Value();
    }
    size_t at = index - ownCount() - 1;
    return at < entries_.size() ? Value(entries_[at].first) : Value();
  }
  Value valueAtHook(Machine&, uint32_t index) override {
    if (index == 0) return Value();
    if (index <= ownCount()) {
      const Value* v = findOwn(ownNameAt(index - 1));
      return v ? *v : Value();
    }
    size_t at = index - ownCount() - 1;
    return at < entries_.size() ? entries_[at].second : Value();
  }

  void markChildren(Marker& marker) const override {
    Object::markChildren(marker);
    for (auto& [key, value] : entries_) {
      marker.mark(key);
      marker.mark(value);
    }
  }

 private:
  // An object key is the key whatever namespaces the name is qualified by.
  static bool objectKey(const Machine&, const Name& n) { return n.key && !n.attribute; }
  std::vector<std::pair<Object*, Value>> entries_;
  std::unordered_map<Object*, size_t> index_;
};

Object* allocDictionary(Machine& m, ClassObject* cls) {
  return m.heap.make<DictionaryObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value init(Machine& m, const Value& self, std::span<Value>) {
  receiver<DictionaryObject>(m, self, "Dictionary");
  return Value();
}

Value toJson(Machine& m, const Value&, std::span<Value>) { return Value(m.intern("Dictionary")); }

const NativeMember kMembers[] = {
    {"toJSON", MemberKind::Method, toJson, 1},
};

}  // namespace

void installDictionary(Machine& m) {
  installClass(m, {.package = "flash.utils",
                   .name = "Dictionary",
                   .members = kMembers,
                   .init = init,
                   .alloc = allocDictionary,
                   .initLength = 1});
}

}  // namespace orv::movie::avm2
