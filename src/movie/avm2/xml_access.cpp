// Property access on XML and lists: reading children and attributes by name, writing and
// deleting them, `in`, calls of their methods, `..`, `+` of lists and `==`.
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

namespace {

Value wrap(Object* o) { return Value(o); }

XMLListObject* listFor(Machine& m, Object* target, const Name& n) {
  XMLListObject* l = newXmlList(m);
  l->target = target;
  l->targetName = n;
  l->targetName.index = -1;
  XmlName xn = xmlNameOf(m, n);
  l->targetUri = xn.firstUri(m.defaultXmlNs ? m.defaultXmlNs : m.intern(""));
  if (n.attribute) l->targetUri = xn.firstUri(m.intern(""));
  l->hasTarget = true;
  return l;
}

void getFrom(XMLObject* x, const XmlName& xn, std::vector<XMLObject*>& out) {
  for (XMLObject* c : xn.attribute ? x->attributes : x->children)
    if (xn.matches(c)) out.push_back(c);
}

// The one XML a list written through stands for (its target resolved), or null.
XMLObject* resolveTarget(Machine& m, XMLListObject* l) {
  if (!l->hasTarget || !l->target) return nullptr;
  if (XMLObject* x = asXml(m, Value(l->target))) return x;
  auto* t = static_cast<XMLListObject*>(l->target);
  if (t->items.size() == 1) return t->items[0];
  if (!t->items.empty()) return nullptr;
  XMLObject* r = resolveTarget(m, t);
  if (!r || !t->hasTarget || t->targetName.attribute || !t->targetName.name) return nullptr;
  // Writing through an empty list makes the element it named.
  XMLObject* e = newXmlNode(m, XmlKind::Element);
  e->local = t->targetName.name;
  e->uri = t->targetUri;
  xmlInsertAt(m, r, r->children.size(), wrap(e));
  t->items.push_back(e);
  return e;
}

std::string attributeText(Machine& m, const Value& v) {
  if (XMLListObject* l = asXmlList(m, v)) {
    std::string s;
    for (size_t i = 0; i < l->items.size(); ++i) {
      if (i) s += ' ';
      s += xmlToString(m, l->items[i]);
    }
    return s;
  }
  return m.toText(v);
}

void putXml(Machine& m, XMLObject* x, const Name& n, const Value& v) {
  if (n.index >= 0 && !n.attribute) m.fail(ErrorClass::TypeError, 1087);
  if (x->kind != XmlKind::Element) return;
  XmlName xn = xmlNameOf(m, n);
  if (xn.attribute) {
    std::string text = attributeText(m, v);
    XMLObject* first = nullptr;
    for (size_t i = 0; i < x->attributes.size();) {
      if (xn.matches(x->attributes[i])) {
        if (!first) {
          first = x->attributes[i];
          ++i;
          continue;
        }
        x->attributes[i]->parent = nullptr;
        x->attributes.erase(x->attributes.begin() + i);
      } else {
        ++i;
      }
    }
    if (!first) {
      if (!xn.local) return;
      first = newXmlNode(m, XmlKind::Attribute);
      first->local = xn.local;
      first->uri = xn.firstUri(m.intern(""));
      first->parent = x;
      x->attributes.push_back(first);
    }
    first->value = StringRef(text);
    return;
  }
  XMLObject* vx = asXml(m, v);
  XMLListObject* vl = asXmlList(m, v);
  Value c = v;
  bool primitive = !(vx || vl) || (vx && (vx->kind == XmlKind::Text || vx->kind == XmlKind::Attribute));
  if (primitive) {
    c = Value(m.toString(v));
  } else if (vx) {
    c = wrap(copyXml(m, vx));
  } else {
    XMLListObject* copy = newXmlList(m);
    for (XMLObject* i : vl->items) copy->items.push_back(copyXml(m, i));
    c = wrap(copy);
  }
  if (primitive && !xn.local && xn.anyUri) {  // x.* = "text": the children become the text
    for (XMLObject* k : x->children) k->parent = nullptr;
    x->children.clear();
    if (!m.toString(c).view().empty()) xmlInsertAt(m, x, 0, c);
    return;
  }
  int64_t at = -1;
  for (size_t k = x->children.size(); k-- > 0;) {
    if (!xn.matches(x->children[k])) continue;
    if (at >= 0) xmlRemoveChildAt(x, static_cast<size_t>(at));
    at = static_cast<int64_t>(k);
  }
  if (at < 0) {
    at = static_cast<int64_t>(x->children.size());
    if (primitive) {
      if (!xn.local) return;
      XMLObject* e = newXmlNode(m, XmlKind::Element);
      e->local = xn.local;
      e->uri = xn.firstUri(m.defaultXmlNs ? m.defaultXmlNs : m.intern(""));
      xmlInsertAt(m, x, x->children.size(), wrap(e));
    }
  }
  if (primitive) {
    XMLObject* e = x->children[static_cast<size_t>(at)];
    if (e->kind != XmlKind::Element) {
      xmlReplaceAt(m, x, static_cast<size_t>(at), c);
      return;
    }
    for (XMLObject* k : e->children) k->parent = nullptr;
    e->children.clear();
    if (!m.toString(c).view().empty()) xmlInsertAt(m, e, 0, c);
  } else {
    xmlReplaceAt(m, x, static_cast<size_t>(at), c);
  }
}

void putList(Machine& m, XMLListObject* l, const Name& n, const Value& v) {
  if (n.index < 0 || n.attribute) {
    if (l->items.empty()) {
      if (XMLObject* r = resolveTarget(m, l)) {
        (void)r;
        if (l->items.empty()) {
          XMLObject* e = newXmlNode(m, XmlKind::Element);
          e->local = l->targetName.name ? l->targetName.name : m.intern("");
          e->uri = l->targetUri;
          if (!l->targetName.name || l->targetName.attribute) return;
          xmlInsertAt(m, r, r->children.size(), wrap(e));
          l->items.push_back(e);
        }
      }
    }
    if (l->items.size() != 1) m.fail(ErrorClass::TypeError, 1089);
    putXml(m, l->items[0], n, v);
    return;
  }
  size_t i = static_cast<size_t>(n.index);
  XMLObject* vx = asXml(m, v);
  XMLListObject* vl = asXmlList(m, v);
  if (i >= l->items.size()) {
    XMLObject* r = resolveTarget(m, l);
    if (!r || (!l->targetName.name && !vx && !vl)) {
      appendToList(m, l, v);
      return;
    }
    if (l->targetName.attribute) {
      putXml(m, r, l->targetName, v);
      appendToList(m, l, xmlGet(m, r, l->targetName));
      return;
    }
    XMLObject* y;
    if (vx || vl) {
      y = vx ? vx : nullptr;
    } else {
      y = newXmlNode(m, XmlKind::Element);
      y->local = l->targetName.name;
      y->uri = l->targetUri;
    }
    size_t pos = r->children.size();
    if (!l->items.empty() && l->items.back()->parent == r) {
      for (size_t k = 0; k < r->children.size(); ++k)
        if (r->children[k] == l->items.back()) pos = k + 1;
    }
    if (vl) {
      xmlInsertAt(m, r, pos, v);
      for (XMLObject* it : vl->items) l->items.push_back(it);
      return;
    }
    xmlInsertAt(m, r, pos, wrap(y));
    l->items.push_back(y);
    if (!vx) putXml(m, y, Name{.name = m.intern("*"), .set = nullptr, .anyNamespace = true}, v);
    return;
  }
  XMLObject* item = l->items[i];
  if (item->kind == XmlKind::Attribute) {
    item->value = StringRef(attributeText(m, v));
    return;
  }
  XMLObject* parent = item->parent;
  if (vx || vl) {
    if (parent) {
      size_t q = 0;
      while (q < parent->children.size() && parent->children[q] != item) ++q;
      xmlReplaceAt(m, parent, q, v);
    }
    l->items.erase(l->items.begin() + i);
    if (vl) l->items.insert(l->items.begin() + i, vl->items.begin(), vl->items.end());
    else l->items.insert(l->items.begin() + i, vx);
    return;
  }
  if (item->kind == XmlKind::Element) {
    putXml(m, item, Name{.name = nullptr, .set = nullptr, .anyNamespace = true}, v);
  } else if (parent) {
    size_t q = 0;
    while (q < parent->children.size() && parent->children[q] != item) ++q;
    xmlReplaceAt(m, parent, q, v);
    if (q < parent->children.size()) l->items[i] = parent->children[q];
  } else {
    item->value = m.toString(v);
  }
}

void deleteFrom(Machine& m, XMLObject* x, const XmlName& xn) {
  auto& nodes = xn.attribute ? x->attributes : x->children;
  for (size_t i = 0; i < nodes.size();) {
    if (xn.matches(nodes[i])) {
      nodes[i]->parent = nullptr;
      nodes.erase(nodes.begin() + i);
    } else {
      ++i;
    }
  }
  (void)m;
}

}  // namespace

Value xmlGet(Machine& m, Object* o, const Name& n) {
  if (XMLObject* x = asXml(m, Value(o))) {
    if (n.index >= 0 && !n.attribute) return n.index == 0 ? Value(o) : Value();
    XMLListObject* l = listFor(m, o, n);
    getFrom(x, xmlNameOf(m, n), l->items);
    return wrap(l);
  }
  auto* list = static_cast<XMLListObject*>(o);
  if (n.index >= 0 && !n.attribute)
    return n.index < static_cast<int64_t>(list->items.size()) ? wrap(list->items[n.index]) : Value();
  XMLListObject* l = listFor(m, o, n);
  XmlName xn = xmlNameOf(m, n);
  for (XMLObject* x : list->items)
    if (x->kind == XmlKind::Element) getFrom(x, xn, l->items);
  return wrap(l);
}

void xmlPut(Machine& m, Object* o, const Name& n, const Value& v) {
  if (XMLObject* x = asXml(m, Value(o))) putXml(m, x, n, v);
  else putList(m, static_cast<XMLListObject*>(o), n, v);
}

bool xmlDelete(Machine& m, Object* o, const Name& n) {
  if (XMLObject* x = asXml(m, Value(o))) {
    if (n.index >= 0 && !n.attribute) return true;
    deleteFrom(m, x, xmlNameOf(m, n));
    return true;
  }
  auto* l = static_cast<XMLListObject*>(o);
  if (n.index >= 0 && !n.attribute) {
    if (n.index >= static_cast<int64_t>(l->items.size())) return true;
    XMLObject* item = l->items[n.index];
    if (XMLObject* p = item->parent) {
      auto& nodes = item->kind == XmlKind::Attribute ? p->attributes : p->children;
      for (size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i] == item) {
          nodes.erase(nodes.begin() + i);
          break;
        }
      item->parent = nullptr;
    }
    l->items.erase(l->items.begin() + n.index);
    return true;
  }
  XmlName xn = xmlNameOf(m, n);
  for (XMLObject* x : l->items)
    if (x->kind == XmlKind::Element) deleteFrom(m, x, xn);
  return true;
}

bool xmlHas(Machine& m, Object* o, const Name& n, bool methods) {
  XmlName xn = xmlNameOf(m, n);
  auto has = [&](XMLObject* x) {
    for (XMLObject* c : xn.attribute ? x->attributes : x->children)
      if (xn.matches(c)) return true;
    return false;
  };
  if (XMLObject* x = asXml(m, Value(o))) {
    if (n.index >= 0 && !n.attribute) return n.index == 0;
    if (has(x)) return true;
  } else {
    auto* l = static_cast<XMLListObject*>(o);
    if (n.index >= 0 && !n.attribute) return n.index < static_cast<int64_t>(l->items.size());
    for (XMLObject* x : l->items)
      if (x->kind == XmlKind::Element && has(x)) return true;
  }
  // Methods answer too, so `with (xml)` finds them.
  return methods && n.name && !n.attribute && o->prototype() && o->prototype()->find(n.name);
}

Value xmlCall(Machine& m, Object* o, const Name& n, std::span<Value> args) {
  if (n.name && !n.attribute) {
    if (const Value* fn = o->prototype() ? o->prototype()->find(n.name) : nullptr)
      if (fn->isObject()) return m.call(*fn, Value(o), args);
    // Simple content answers to String's methods.
    XMLObject* x = asXml(m, Value(o));
    auto* l = x ? nullptr : static_cast<XMLListObject*>(o);
    if (l && l->items.size() == 1) x = l->items[0];
    if (x && hasSimpleContent(x)) {
      Value s(StringRef(xmlToString(m, x)));
      return m.callProperty(s, n, args);
    }
  }
  Value fn = xmlGet(m, o, n);
  if (XMLListObject* l = asXmlList(m, fn); l && l->items.empty())
    m.fail(ErrorClass::TypeError, 1006, {m.nameText(n)});
  m.fail(ErrorClass::TypeError, 1006, {m.nameText(n)});
}

Value xmlGetDescendants(Machine& m, const Value& v, const Name& n) {
  XMLObject* x = asXml(m, v);
  XMLListObject* l = x ? nullptr : asXmlList(m, v);
  if (!x && !l) {
    if (v.isNullish()) m.fail(ErrorClass::TypeError, v.isNull() ? 1009 : 1010);
    m.fail(ErrorClass::TypeError, 1016);
  }
  XMLListObject* out = newXmlList(m);
  XmlName xn = xmlNameOf(m, n);
  if (x) {
    xmlDescendants(x, xn, out->items);
  } else {
    for (XMLObject* i : l->items)
      if (i->kind == XmlKind::Element) xmlDescendants(i, xn, out->items);
  }
  return wrap(out);
}

Value xmlAdd(Machine& m, const Value& a, const Value& b) {
  XMLListObject* l = newXmlList(m);
  appendToList(m, l, a);
  appendToList(m, l, b);
  return wrap(l);
}

bool xmlLooseEquals(Machine& m, const Value& a, const Value& b) {
  if (isQName(m, a) && isQName(m, b)) {
    auto* p = static_cast<QNameObject*>(a.asObject());
    auto* q = static_cast<QNameObject*>(b.asObject());
    return p->uri == q->uri && p->local == q->local;
  }
  if (isQName(m, a) || isQName(m, b)) {
    const Value& other = isQName(m, a) ? b : a;
    if (other.isNullish()) return false;
    return m.toText(a) == m.toText(b);
  }
  XMLListObject* la = asXmlList(m, a);
  XMLListObject* lb = asXmlList(m, b);
  if (la || lb) {
    XMLListObject* l = la ? la : lb;
    const Value& other = la ? b : a;
    if (other.isUndefined() && l->items.empty()) return true;
    if (XMLListObject* ol = la && lb ? lb : nullptr) {
      if (ol->items.size() != l->items.size()) return false;
      for (size_t i = 0; i < l->items.size(); ++i)
        if (!xmlLooseEquals(m, wrap(l->items[i]), wrap(ol->items[i]))) return false;
      return true;
    }
    if (l->items.size() == 1) return xmlLooseEquals(m, wrap(l->items[0]), other);
    return false;
  }
  XMLObject* xa = asXml(m, a);
  XMLObject* xb = asXml(m, b);
  if (xa && xb) {
    if (hasSimpleContent(xa) && hasSimpleContent(xb) && xa->kind != XmlKind::Element &&
        xb->kind != XmlKind::Element)
      return xmlToString(m, xa) == xmlToString(m, xb);
    if ((xa->kind == XmlKind::Element) != (xb->kind == XmlKind::Element) &&
        hasSimpleContent(xa) && hasSimpleContent(xb))
      return xmlToString(m, xa) == xmlToString(m, xb);
    return xmlEquals(m, xa, xb);
  }
  XMLObject* x = xa ? xa : xb;
  const Value& other = xa ? b : a;
  if (other.isNullish()) return false;
  if (hasSimpleContent(x)) return xmlToString(m, x) == m.toText(other);
  if (asXml(m, other) || other.isObject()) return false;
  return m.toText(wrap(x)) == m.toText(other);
}

bool xmlNameFromValue(Machine& m, const Value& v, Name& n) {
  auto* q = v.isObject() && m.qnameClass && v.asObject()->klass() == m.qnameClass
                ? static_cast<QNameObject*>(v.asObject())
                : nullptr;
  if (!q) return false;
  n.name = q->local;
  n.index = -1;
  n.set = nullptr;
  n.ns = q->uri ? m.namespaces.get(NamespaceKind::User, q->uri) : nullptr;
  n.anyNamespace = !q->uri;
  n.attribute = n.attribute || q->attribute;
  return true;
}

}  // namespace orv::movie::avm2
