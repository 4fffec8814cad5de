#include "movie/avm2/names.h"

namespace orv::movie::avm2 {

namespace {

// Kinds that share identity by URI alone.
int identityKind(NamespaceKind k) {
  switch (k) {
    case NamespaceKind::Public:
    case NamespaceKind::User:
    case NamespaceKind::Explicit:
      return 0;
    default:
      return static_cast<int>(k);
  }
}

}  // namespace

const Namespace* NamespaceTable::get(NamespaceKind kind, String* uri) {
  auto key = std::make_pair(identityKind(kind), uri);
  auto it = interned_.find(key);
  if (it != interned_.end()) return it->second;
  store_.push_back({kind, uri});
  interned_.emplace(key, &store_.back());
  return &store_.back();
}

const Namespace* NamespaceTable::getPrefixed(String* prefix, String* uri) {
  if (!prefix) return get(NamespaceKind::User, uri);
  auto key = std::make_pair(prefix, uri);
  auto it = prefixed_.find(key);
  if (it != prefixed_.end()) return it->second;
  store_.push_back({NamespaceKind::User, uri, prefix});
  prefixed_.emplace(key, &store_.back());
  return &store_.back();
}

const Namespace* NamespaceTable::makePrivate(String* uri) {
  store_.push_back({NamespaceKind::Private, uri});
  return &store_.back();
}

int64_t arrayIndexOf(std::string_view text) {
  if (text.empty() || text.size() > 10) return -1;
  if (text.size() > 1 && text[0] == '0') return -1;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v < 0xFFFFFFFFLL ? v : -1;
}

Traits::Traits(const Traits* base) {
  if (base) {
    slots = base->slots;
    methods = base->methods;
    byName_ = base->byName_;
    dynamic = base->dynamic;
  }
}

const Binding* Traits::find(const Name& n) const {
  if (!n.name) return nullptr;
  auto it = byName_.find(n.name);
  if (it == byName_.end()) return nullptr;
  for (const auto& [ns, b] : it->second)
    if (n.matches(ns)) return &b;
  return nullptr;
}

const Namespace* Traits::namespaceOf(const Name& n) const {
  if (!n.name) return nullptr;
  auto it = byName_.find(n.name);
  if (it == byName_.end()) return nullptr;
  for (const auto& [ns, b] : it->second)
    if (n.matches(ns)) return ns;
  return nullptr;
}

const Binding* Traits::find(String* name, const Namespace* ns) const {
  auto it = byName_.find(name);
  if (it == byName_.end()) return nullptr;
  for (const auto& [n, b] : it->second)
    if (n == ns) return &b;
  return nullptr;
}

void Traits::bind(String* name, const Namespace* ns, Binding b) {
  auto& list = byName_[name];
  for (auto& [n, old] : list) {
    if (n == ns) {
      old = b;
      return;
    }
  }
  list.emplace_back(ns, b);
}

uint32_t Traits::addSlot(SlotInfo s, uint32_t wantedId) {
  // Ids the file gives are kept when they are free and within reason; others are chosen.
  constexpr uint32_t kMaxSlots = 1u << 16;
  uint32_t index = static_cast<uint32_t>(slots.size());
  if (wantedId != 0 && wantedId <= kMaxSlots) {
    uint32_t wanted = wantedId - 1;
    if (wanted >= slots.size()) {
      slots.resize(wanted + 1);
      index = wanted;
    } else if (slots[wanted].name == nullptr) {
      index = wanted;
    }
  }
  if (index == slots.size()) slots.emplace_back();
  slots[index] = std::move(s);
  return index;
}

uint32_t Traits::addMethod(TraitMethod m) {
  methods.push_back(m);
  return static_cast<uint32_t>(methods.size() - 1);
}

}  // namespace orv::movie::avm2
