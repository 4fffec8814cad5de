#include "movie/abc/types.h"

namespace orv::movie::abc {

bool Multiname::isAttribute() const {
  switch (kind) {
    case MultinameKind::QNameA:
    case MultinameKind::RTQNameA:
    case MultinameKind::RTQNameLA:
    case MultinameKind::MultinameA:
    case MultinameKind::MultinameLA:
      return true;
    default:
      return false;
  }
}

bool Multiname::runtimeNamespace() const {
  return kind == MultinameKind::RTQName || kind == MultinameKind::RTQNameA ||
         kind == MultinameKind::RTQNameL || kind == MultinameKind::RTQNameLA;
}

bool Multiname::runtimeName() const {
  return kind == MultinameKind::RTQNameL || kind == MultinameKind::RTQNameLA ||
         kind == MultinameKind::MultinameL || kind == MultinameKind::MultinameLA;
}

const MethodBody* AbcFile::bodyOf(uint32_t method) const {
  if (method >= bodyIndex.size() || bodyIndex[method] < 0) return nullptr;
  const auto i = static_cast<size_t>(bodyIndex[method]);
  return i < bodies.size() ? &bodies[i] : nullptr;
}

namespace {

const std::string* poolString(const AbcFile& f, uint32_t i) {
  return i < f.pool.strings.size() ? &f.pool.strings[i] : nullptr;
}

std::string nameText(const AbcFile& f, uint32_t i) {
  if (i == 0) return "*";
  const std::string* s = poolString(f, i);
  return s ? *s : "<bad string " + std::to_string(i) + ">";
}

std::string multinameText(const AbcFile& f, uint32_t index, int depth) {
  const std::vector<Multiname>& mns = f.pool.multinames;
  if (index >= mns.size()) return "<bad multiname " + std::to_string(index) + ">";
  const Multiname& m = mns[index];
  const std::string at = m.isAttribute() ? "@" : "";
  switch (m.kind) {
    case MultinameKind::QName:
    case MultinameKind::QNameA: {
      std::string ns = namespaceText(f, m.ns);
      return at + (ns.empty() ? "" : ns + "::") + nameText(f, m.name);
    }
    case MultinameKind::RTQName:
    case MultinameKind::RTQNameA:
      return at + "(runtime)::" + nameText(f, m.name);
    case MultinameKind::RTQNameL:
    case MultinameKind::RTQNameLA:
      return at + "(runtime)::(runtime)";
    case MultinameKind::Multiname:
    case MultinameKind::MultinameA:
      return at + nameText(f, m.name);
    case MultinameKind::MultinameL:
    case MultinameKind::MultinameLA:
      return at + "(runtime)";
    case MultinameKind::TypeName: {
      if (depth > 8) return "...";
      std::string s = multinameText(f, m.typeName, depth + 1) + ".<";
      for (size_t i = 0; i < m.typeParams.size(); ++i) {
        if (i) s += ", ";
        s += m.typeParams[i] == 0 ? "*" : multinameText(f, m.typeParams[i], depth + 1);
      }
      return s + ">";
    }
  }
  return "<bad multiname " + std::to_string(index) + ">";
}

}  // namespace

std::string namespaceText(const AbcFile& f, uint32_t index) {
  if (index >= f.pool.namespaces.size()) return "<bad namespace " + std::to_string(index) + ">";
  const Namespace& ns = f.pool.namespaces[index];
  if (ns.kind == NamespaceKind::Any) return "*";
  const std::string* uri = poolString(f, ns.name);
  if (uri && !uri->empty()) return *uri;
  switch (ns.kind) {
    case NamespaceKind::Private:
      return "private";
    case NamespaceKind::PackageInternal:
      return "internal";
    case NamespaceKind::Protected:
      return "protected";
    case NamespaceKind::StaticProtected:
      return "static protected";
    default:
      return "";  // the public namespace
  }
}

std::string multinameText(const AbcFile& file, uint32_t index) {
  return multinameText(file, index, 0);
}

}  // namespace orv::movie::abc
