// XML nodes: making, copying, comparing, matching names, and writing them as text.
#include <algorithm>

#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

void XMLObject::markChildren(Marker& m) const {
  Object::markChildren(m);
  if (parent) m.mark(parent);
  for (XMLObject* c : children) m.mark(c);
  for (XMLObject* a : attributes) m.mark(a);
}

void XMLListObject::markChildren(Marker& m) const {
  Object::markChildren(m);
  for (XMLObject* x : items) m.mark(x);
  if (target) m.mark(target);
}

XMLObject* asXml(Machine& m, const Value& v) {
  if (!v.isObject() || !m.xmlClass || v.asObject()->klass() != m.xmlClass) return nullptr;
  return static_cast<XMLObject*>(v.asObject());
}

XMLListObject* asXmlList(Machine& m, const Value& v) {
  if (!v.isObject() || !m.xmlListClass || v.asObject()->klass() != m.xmlListClass) return nullptr;
  return static_cast<XMLListObject*>(v.asObject());
}

XMLObject* newXmlNode(Machine& m, XmlKind kind) {
  ClassObject* c = m.xmlClass;
  auto* x = m.heap.make<XMLObject>(c->instanceTraits.get(), c, c->prototypeObject);
  x->kind = kind;
  x->uri = m.intern("");
  x->value = StringRef(x->uri);
  return x;
}

XMLListObject* newXmlList(Machine& m) {
  ClassObject* c = m.xmlListClass;
  return m.heap.make<XMLListObject>(c->instanceTraits.get(), c, c->prototypeObject);
}

bool XmlName::matches(const XMLObject* node) const {
  if (attribute != (node->kind == XmlKind::Attribute)) return false;
  if (elementsOnly && node->kind != XmlKind::Element) return false;
  if (local) {
    if (node->kind != XmlKind::Element && node->kind != XmlKind::Attribute) return false;
    if (node->local != local) return false;
  }
  if (anyUri) return true;
  if (node->kind != XmlKind::Element && node->kind != XmlKind::Attribute) return false;
  return std::find(uris.begin(), uris.end(), node->uri) != uris.end();
}

XmlName xmlNameOf(Machine& m, const Name& n) {
  XmlName x;
  x.attribute = n.attribute;
  if (n.name && n.name->view() != "*") x.local = n.name;
  if (x.local && !x.attribute && x.local->view().starts_with("@")) {  // x["@name"]
    x.attribute = true;
    x.local = x.local->size() == 2 && x.local->view()[1] == '*' ? nullptr : m.intern(x.local->view().substr(1));
  }
  if (n.anyNamespace) {
    x.elementsOnly = !x.local && !x.attribute;
    return x;
  }
  auto add = [&](const Namespace* ns) {
    bool plain = ns->kind == NamespaceKind::Public || ns->kind == NamespaceKind::PackageInternal;
    if (plain && ns->uri->view().empty()) {
      // Unqualified element names are in the default namespace; attributes in none.
      x.uris.push_back(!x.attribute && m.defaultXmlNs ? m.defaultXmlNs : ns->uri);
      if (!x.createUri) x.createUri = x.uris.back();
    } else {
      x.uris.push_back(ns->uri);  // compilers may name attributes through a private set
    }
  };
  if (n.ns) {
    add(n.ns);
  } else if (n.set) {
    if (!x.local) return x;  // `*` from an unqualified name: every child
    for (const Namespace* ns : *n.set) add(ns);
  } else {
    return x;
  }
  x.anyUri = false;
  return x;
}

XMLObject* copyXml(Machine& m, const XMLObject* x, int depth) {
  if (depth > kMaxXmlDepth) m.fail(ErrorClass::Error, 1023);
  XMLObject* c = newXmlNode(m, x->kind);
  c->cdata = x->cdata;
  c->uri = x->uri;
  c->local = x->local;
  c->prefix = x->prefix;
  c->value = x->value;
  c->namespaces = x->namespaces;
  for (const XMLObject* a : x->attributes) {
    XMLObject* ac = copyXml(m, a, depth + 1);
    ac->parent = c;
    c->attributes.push_back(ac);
  }
  for (const XMLObject* k : x->children) {
    XMLObject* kc = copyXml(m, k, depth + 1);
    kc->parent = c;
    c->children.push_back(kc);
  }
  return c;
}

bool xmlEquals(Machine& m, const XMLObject* a, const XMLObject* b, int depth) {
  if (depth > kMaxXmlDepth) m.fail(ErrorClass::Error, 1023);
  if (a == b) return true;
  if (a->kind != b->kind || a->local != b->local || a->uri != b->uri) return false;
  if (a->kind != XmlKind::Element) return a->value.view() == b->value.view();
  if (a->attributes.size() != b->attributes.size() || a->children.size() != b->children.size())
    return false;
  for (const XMLObject* x : a->attributes) {
    bool found = false;
    for (const XMLObject* y : b->attributes)
      if (x->local == y->local && x->uri == y->uri && x->value.view() == y->value.view())
        found = true;
    if (!found) return false;
  }
  for (size_t i = 0; i < a->children.size(); ++i)
    if (!xmlEquals(m, a->children[i], b->children[i], depth + 1)) return false;
  return true;
}

bool hasSimpleContent(const XMLObject* x) {
  if (x->kind == XmlKind::Comment || x->kind == XmlKind::Instruction) return false;
  for (const XMLObject* c : x->children)
    if (c->kind == XmlKind::Element) return false;
  return true;
}

std::string xmlToString(Machine& m, const XMLObject* x) {
  if (x->kind == XmlKind::Text || x->kind == XmlKind::Attribute) return std::string(x->value.view());
  if (!hasSimpleContent(x)) return xmlToXmlString(m, x);
  std::string s;
  for (const XMLObject* c : x->children)
    if (c->kind == XmlKind::Text) s += c->value.view();
  return s;
}

void xmlDescendants(const XMLObject* x, const XmlName& name, std::vector<XMLObject*>& out,
                    int depth) {
  if (depth > kMaxXmlDepth) return;
  if (name.attribute)
    for (XMLObject* a : x->attributes)
      if (name.matches(a)) out.push_back(a);
  for (XMLObject* c : x->children) {
    if (!name.attribute && name.matches(c)) out.push_back(c);
    if (c->kind == XmlKind::Element) xmlDescendants(c, name, out, depth + 1);
  }
}

bool isAncestorOrSelf(const XMLObject* node, const XMLObject* x) {
  for (int steps = 0; x && steps <= kMaxXmlDepth * 100; x = x->parent, ++steps)
    if (x == node) return true;
  return false;
}

void xmlRemoveChildAt(XMLObject* parent, size_t index) {
  if (index >= parent->children.size()) return;
  parent->children[index]->parent = nullptr;
  parent->children.erase(parent->children.begin() + index);
}

namespace {

void checkCycle(Machine& m, XMLObject* x, XMLObject* child) {
  if (isAncestorOrSelf(child, x)) m.fail(ErrorClass::TypeError, 1118);
}

XMLObject* textNode(Machine& m, const Value& v) {
  XMLObject* t = newXmlNode(m, XmlKind::Text);
  t->value = m.toString(v);
  return t;
}

}  // namespace

void xmlInsertAt(Machine& m, XMLObject* x, size_t i, const Value& v) {
  if (x->kind != XmlKind::Element) return;
  i = std::min(i, x->children.size());
  std::vector<XMLObject*> add;
  if (XMLListObject* l = asXmlList(m, v)) add = l->items;
  else if (XMLObject* n = asXml(m, v)) add.push_back(n);
  else add.push_back(textNode(m, v));
  for (XMLObject* n : add) {
    if (n->kind == XmlKind::Attribute) continue;
    checkCycle(m, x, n);
    if (n->parent) {
      auto& sib = n->parent->children;
      auto it = std::find(sib.begin(), sib.end(), n);
      if (it != sib.end()) {
        if (n->parent == x && static_cast<size_t>(it - sib.begin()) < i) --i;
        sib.erase(it);
      }
    }
    n->parent = x;
    x->children.insert(x->children.begin() + i, n);
    ++i;
  }
}

void xmlReplaceAt(Machine& m, XMLObject* x, size_t i, const Value& v) {
  if (x->kind != XmlKind::Element) return;
  if (i >= x->children.size()) {
    xmlInsertAt(m, x, x->children.size(), v);
    return;
  }
  XMLObject* n = asXml(m, v);
  if (n && n->kind == XmlKind::Attribute) n = textNode(m, Value(n->value));
  if (n) {
    checkCycle(m, x, n);
    if (x->children[i] == n) return;
    if (n->parent) {
      auto& sib = n->parent->children;
      auto it = std::find(sib.begin(), sib.end(), n);
      if (it != sib.end()) {
        if (n->parent == x && static_cast<size_t>(it - sib.begin()) < i) --i;
        sib.erase(it);
      }
    }
    x->children[i]->parent = nullptr;
    n->parent = x;
    x->children[i] = n;
    return;
  }
  if (XMLListObject* l = asXmlList(m, v)) {
    std::vector<XMLObject*> items = l->items;  // the list may hold the replaced node
    xmlRemoveChildAt(x, i);
    XMLListObject* copy = newXmlList(m);
    copy->items = items;
    xmlInsertAt(m, x, i, Value(static_cast<Object*>(copy)));
    return;
  }
  x->children[i]->parent = nullptr;
  XMLObject* t = textNode(m, v);
  t->parent = x;
  x->children[i] = t;
}

XmlNs xmlNamespaceFor(const XMLObject* x, String* uri, String* preferredPrefix) {
  XmlNs found;
  int steps = 0;
  for (const XMLObject* e = x; e && steps < kMaxXmlDepth * 100; e = e->parent, ++steps) {
    for (const XmlNs& ns : e->namespaces) {
      if (ns.uri != uri) continue;
      if (ns.prefix == preferredPrefix) return ns;
      if (!found.uri) found = ns;
    }
  }
  if (!found.uri) found.uri = uri;
  return found;
}

bool isXmlName(std::string_view s) {
  if (s.empty()) return false;
  auto start = [](unsigned char c) { return c == '_' || std::isalpha(c) || c >= 0x80; };
  if (!start(s[0])) return false;
  for (unsigned char c : s)
    if (!(start(c) || std::isdigit(c) || c == '.' || c == '-')) return false;
  return true;
}

}  // namespace orv::movie::avm2
