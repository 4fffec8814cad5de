// The methods of one XML node (an XMLList answers to them when it holds one node), QName,
// and Namespace's E4X side: prefixes.
#include <utility>

#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

namespace {

Value wrap(Object* o) { return Value(o); }

XMLObject* self1(Machine& m, const Value& self, const char* method) {
  XMLObject* x = asXml(m, self);
  if (!x) m.fail(ErrorClass::TypeError, 1004, {method});
  return x;
}

Value nsValue(Machine& m, String* prefix, String* uri) {
  return Value(m.namespaces.getPrefixed(prefix, uri));
}

// A value to put among children: XML and lists as they are, anything else as text.
Value childValue(Machine& m, const Value& v) {
  if (isXmlValue(m, v)) return v;
  XMLObject* t = newXmlNode(m, XmlKind::Text);
  t->value = m.toString(v);
  return wrap(t);
}

void declare(XMLObject* x, XmlNs ns) {
  if (!ns.prefix) return;
  for (XmlNs& d : x->namespaces) {
    if (d.prefix == ns.prefix) {
      if (d.uri != ns.uri && x->prefix == ns.prefix) x->prefix = nullptr;
      d.uri = ns.uri;
      return;
    }
  }
  x->namespaces.push_back(ns);
}

Value addNamespace(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "addNamespace");
  if (args.empty()) m.fail(ErrorClass::ArgumentError, 1063, {"XML/addNamespace()", "1", "0"});
  if (x->kind != XmlKind::Element) return self;
  Value nv = namespaceMake(m, Value(), args.subspan(0, std::min<size_t>(args.size(), 1)));
  const Namespace* ns = nv.asNamespace();
  String* prefix = ns->prefix ? ns->prefix : (ns->uri->view().empty() ? m.intern("") : nullptr);
  if (prefix && prefix->view().empty() && x->uri->view().empty()) return self;
  declare(x, {prefix, ns->uri});
  return self;
}

Value appendChild(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "appendChild");
  Value child = childValue(m, arg(args, 0));
  // Text appended after an element becomes another element of that name.
  if (!isXmlValue(m, arg(args, 0)) && !x->children.empty() &&
      x->children.back()->kind == XmlKind::Element) {
    XMLObject* e = newXmlNode(m, XmlKind::Element);
    e->local = x->children.back()->local;
    e->uri = x->children.back()->uri;
    e->prefix = x->children.back()->prefix;
    xmlInsertAt(m, e, 0, child);
    child = wrap(e);
  }
  xmlInsertAt(m, x, x->children.size(), child);
  return self;
}

Value prependChild(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "prependChild");
  Value v = arg(args, 0);
  xmlInsertAt(m, x, 0, isXmlValue(m, v) ? v : wrap(toXml(m, v)));
  return self;
}

int64_t indexIn(const XMLObject* parent, const XMLObject* c) {
  for (size_t i = 0; i < parent->children.size(); ++i)
    if (parent->children[i] == c) return static_cast<int64_t>(i);
  return -1;
}

Value childIndex(Machine& m, const Value& self, std::span<Value>) {
  XMLObject* x = self1(m, self, "childIndex");
  if (!x->parent || x->kind == XmlKind::Attribute) return Value(int32_t(-1));
  return Value(static_cast<int32_t>(indexIn(x->parent, x)));
}

Value insertChild(Machine& m, const Value& self, std::span<Value> args, bool after) {
  XMLObject* x = self1(m, self, after ? "insertChildAfter" : "insertChildBefore");
  if (x->kind != XmlKind::Element) return Value();
  Value ref = arg(args, 0);
  Value child = childValue(m, arg(args, 1));
  if (ref.isNull()) {
    xmlInsertAt(m, x, after ? 0 : x->children.size(), child);
    return self;
  }
  XMLObject* r = asXml(m, ref);
  if (XMLListObject* l = asXmlList(m, ref); l && l->items.size() == 1) r = l->items[0];
  int64_t i = r ? indexIn(x, r) : -1;
  if (i < 0) return Value();
  xmlInsertAt(m, x, static_cast<size_t>(i + (after ? 1 : 0)), child);
  return self;
}

Value insertChildAfter(Machine& m, const Value& self, std::span<Value> args) {
  return insertChild(m, self, args, true);
}

Value insertChildBefore(Machine& m, const Value& self, std::span<Value> args) {
  return insertChild(m, self, args, false);
}

std::vector<XmlNs> inScope(const XMLObject* x) {
  std::vector<XmlNs> out;
  int steps = 0;
  for (const XMLObject* e = x; e && steps < kMaxXmlDepth * 100; e = e->parent, ++steps)
    for (const XmlNs& ns : e->namespaces) {
      bool seen = false;
      for (const XmlNs& o : out)
        if (o.prefix == ns.prefix) seen = true;
      if (!seen) out.push_back(ns);
    }
  return out;
}

Value inScopeNamespaces(Machine& m, const Value& self, std::span<Value>) {
  XMLObject* x = self1(m, self, "inScopeNamespaces");
  std::vector<Value> out;
  for (const XmlNs& ns : inScope(x)) out.push_back(nsValue(m, ns.prefix, ns.uri));
  if (out.empty()) out.push_back(nsValue(m, m.intern(""), m.intern("")));
  return wrap(m.newArray(std::move(out)));
}

Value namespaceDeclarations(Machine& m, const Value& self, std::span<Value>) {
  XMLObject* x = self1(m, self, "namespaceDeclarations");
  std::vector<Value> out;
  std::vector<XmlNs> above = x->parent ? inScope(x->parent) : std::vector<XmlNs>();
  for (const XmlNs& ns : x->namespaces) {
    bool same = false;
    for (const XmlNs& a : above)
      if (a.prefix == ns.prefix && a.uri == ns.uri) same = true;
    if (!same) out.push_back(nsValue(m, ns.prefix, ns.uri));
  }
  return wrap(m.newArray(std::move(out)));
}

bool named(const XMLObject* x) {
  return x->kind == XmlKind::Element || x->kind == XmlKind::Attribute ||
         x->kind == XmlKind::Instruction;
}

}  // namespace

Value makeQName(Machine& m, String* uri, String* local, String* prefix) {
  ClassObject* c = m.qnameClass;
  auto* q = m.heap.make<QNameObject>(c->instanceTraits.get(), c, c->prototypeObject);
  q->uri = uri;
  q->local = local;
  q->prefix = prefix;
  // for-in lists a QName's two fields; reads still go through the getters.
  q->setOwn(m.intern("localName"), Value(local));
  q->setOwn(m.intern("uri"), uri ? Value(uri) : Value::null());
  return wrap(q);
}

namespace {

Value localName(Machine& m, const Value& self, std::span<Value>) {
  XMLObject* x = self1(m, self, "localName");
  return named(x) ? Value(x->local) : Value::null();
}

Value nameOf(Machine& m, const Value& self, std::span<Value>) {
  XMLObject* x = self1(m, self, "name");
  if (!named(x)) return Value::null();
  Value q = makeQName(m, x->uri, x->local, x->prefix);
  static_cast<QNameObject*>(q.asObject())->attribute = x->kind == XmlKind::Attribute;
  return q;
}

Value namespaceOf(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "namespace");
  std::vector<XmlNs> scope = inScope(x->kind == XmlKind::Attribute && x->parent ? x->parent : x);
  if (!args.empty()) {
    std::string p = m.toText(args[0]);
    for (const XmlNs& ns : scope)
      if (ns.prefix->view() == p) return nsValue(m, ns.prefix, ns.uri);
    return Value();
  }
  if (x->kind != XmlKind::Element && x->kind != XmlKind::Attribute) return Value::null();
  XmlNs found;
  for (const XmlNs& ns : scope)
    if (ns.uri == x->uri && (!found.uri || ns.prefix == x->prefix)) found = ns;
  if (!found.uri) return nsValue(m, x->uri->view().empty() ? m.intern("") : x->prefix, x->uri);
  return nsValue(m, found.prefix, found.uri);
}

Value nodeKind(Machine& m, const Value& self, std::span<Value>) {
  static const char* const kinds[] = {"element", "text", "comment", "processing-instruction",
                                      "attribute"};
  return Value(m.intern(kinds[static_cast<int>(self1(m, self, "nodeKind")->kind)]));
}

Value removeNamespace(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "removeNamespace");
  if (x->kind != XmlKind::Element) return self;
  const Namespace* ns = namespaceMake(m, Value(), args.subspan(0, std::min<size_t>(args.size(), 1))).asNamespace();
  std::vector<XMLObject*> work{x};
  for (size_t w = 0; w < work.size() && w < (size_t(1) << 24); ++w) {
    XMLObject* e = work[w];
    bool used = e->uri == ns->uri;
    for (XMLObject* a : e->attributes)
      if (a->uri == ns->uri) used = true;
    if (!used) {
      auto& d = e->namespaces;
      for (size_t i = 0; i < d.size();)
        if (d[i].uri == ns->uri && (!ns->prefix || d[i].prefix == ns->prefix)) d.erase(d.begin() + i);
        else ++i;
    }
    for (XMLObject* c : e->children)
      if (c->kind == XmlKind::Element) work.push_back(c);
  }
  return self;
}

Value replaceMethod(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "replace");
  if (x->kind != XmlKind::Element) return self;
  Value v = arg(args, 1);
  Value c = isXmlValue(m, v) ? v : Value(m.toString(v));
  if (XMLObject* vx = asXml(m, v)) c = wrap(copyXml(m, vx));
  Value p = arg(args, 0);
  int64_t index = p.isNumeric() ? static_cast<int64_t>(p.numeric()) : -1;
  if (index < 0 && p.isString()) index = arrayIndexOf(p.asString()->view());
  if (index >= 0) {
    xmlReplaceAt(m, x, static_cast<size_t>(index), c);
    return self;
  }
  XmlName xn = xmlNameOf(m, argName(m, p, false));
  int64_t at = -1;
  for (size_t k = x->children.size(); k-- > 0;) {
    if (!xn.matches(x->children[k])) continue;
    if (at >= 0) xmlRemoveChildAt(x, static_cast<size_t>(at));
    at = static_cast<int64_t>(k);
  }
  if (at >= 0) xmlReplaceAt(m, x, static_cast<size_t>(at), c);
  return self;
}

Value setChildren(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "setChildren");
  xmlPut(m, x, Name{.anyNamespace = true}, arg(args, 0));
  return self;
}

String* checkedName(Machine& m, const Value& v) {
  String* local;
  if (v.isObject() && v.asObject()->klass() == m.qnameClass) local = static_cast<QNameObject*>(v.asObject())->local;
  else if (v.isUndefined()) local = m.intern("");  // as new QName(undefined) names it
  else local = m.intern(m.toText(v));
  if (!isXmlName(local->view())) m.fail(ErrorClass::TypeError, 1117, {local->text()});
  return local;
}

Value setLocalName(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "setLocalName");
  if (named(x)) x->local = checkedName(m, arg(args, 0));
  return Value();
}

void useNamespace(XMLObject* x, XmlNs ns) {
  x->uri = ns.uri;
  x->prefix = ns.prefix;
  XMLObject* holder = x->kind == XmlKind::Attribute ? x->parent : x;
  if (!holder || !ns.prefix || ns.uri->view().empty()) return;
  for (const XmlNs& d : inScope(holder))
    if (d.uri == ns.uri && d.prefix == ns.prefix) return;
  declare(holder, ns);
}

Value setName(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "setName");
  if (!named(x)) return Value();
  Value v = arg(args, 0);
  String* local = checkedName(m, v);
  x->local = local;
  if (x->kind == XmlKind::Instruction) return Value();
  String* uri = m.intern("");
  String* prefix = nullptr;
  if (v.isObject() && v.asObject()->klass() == m.qnameClass) {
    auto* q = static_cast<QNameObject*>(v.asObject());
    if (q->uri) uri = q->uri;
    prefix = q->prefix;
  } else if (x->kind == XmlKind::Element && m.defaultXmlNs) {
    uri = m.defaultXmlNs;
  }
  if (!prefix) prefix = xmlNamespaceFor(x, uri, nullptr).prefix;
  if (!prefix && uri->view().empty()) prefix = m.intern("");
  useNamespace(x, {prefix, uri});
  return Value();
}

Value setNamespace(Machine& m, const Value& self, std::span<Value> args) {
  XMLObject* x = self1(m, self, "setNamespace");
  if (x->kind != XmlKind::Element && x->kind != XmlKind::Attribute) return Value();
  const Namespace* ns = namespaceMake(m, Value(), args.subspan(0, std::min<size_t>(args.size(), 1))).asNamespace();
  String* prefix = ns->prefix ? ns->prefix : (ns->uri->view().empty() ? m.intern("") : nullptr);
  useNamespace(x, {prefix, ns->uri});
  return Value();
}

constexpr NativeMember kNodeMembers[] = {
    {"addNamespace", MemberKind::Method, addNamespace, 1},
    {"appendChild", MemberKind::Method, appendChild, 1},
    {"childIndex", MemberKind::Method, childIndex},
    {"inScopeNamespaces", MemberKind::Method, inScopeNamespaces},
    {"insertChildAfter", MemberKind::Method, insertChildAfter, 2},
    {"insertChildBefore", MemberKind::Method, insertChildBefore, 2},
    {"localName", MemberKind::Method, localName},
    {"name", MemberKind::Method, nameOf},
    {"namespace", MemberKind::Method, namespaceOf},
    {"namespaceDeclarations", MemberKind::Method, namespaceDeclarations},
    {"nodeKind", MemberKind::Method, nodeKind},
    {"prependChild", MemberKind::Method, prependChild, 1},
    {"removeNamespace", MemberKind::Method, removeNamespace, 1},
    {"replace", MemberKind::Method, replaceMethod, 2},
    {"setChildren", MemberKind::Method, setChildren, 1},
    {"setLocalName", MemberKind::Method, setLocalName, 1},
    {"setName", MemberKind::Method, setName, 1},
    {"setNamespace", MemberKind::Method, setNamespace, 1},
};

// The list's version of a node method: only for a list of one node.
template <size_t I>
Value oneNode(Machine& m, const Value& self, std::span<Value> args) {
  const NativeMember& row = kNodeMembers[I];
  XMLListObject* l = asXmlList(m, self);
  if (!l) m.fail(ErrorClass::TypeError, 1004, {row.name});
  if (l->items.size() != 1) m.fail(ErrorClass::TypeError, 1086, {row.name});
  return row.code(m, wrap(l->items[0]), args);
}

template <size_t... I>
constexpr std::array<NativeMember, sizeof...(I)> listRows(std::index_sequence<I...>) {
  return {NativeMember{kNodeMembers[I].name, MemberKind::Method, oneNode<I>, kNodeMembers[I].length}...};
}

constexpr auto kListMembers = listRows(std::make_index_sequence<std::size(kNodeMembers)>());

// ---- QName ----

QNameObject* asQName(Machine& m, const Value& v) {
  return v.isObject() && v.asObject()->klass() == m.qnameClass ? static_cast<QNameObject*>(v.asObject())
                                                               : nullptr;
}

Value qnameMake(Machine& m, const Value& self, std::span<Value> args, bool call) {
  (void)self;
  Value nameArg = args.size() >= 2 ? args[1] : arg(args, 0);
  QNameObject* q = asQName(m, nameArg);
  if (args.size() < 2 && q) return call ? nameArg : makeQName(m, q->uri, q->local, q->prefix);
  String* local = q ? q->local : nameArg.isUndefined() ? m.intern("") : m.intern(m.toText(nameArg));
  String* uri = nullptr;
  String* prefix = nullptr;
  if (args.size() < 2 || args[0].isUndefined()) {
    if (q) uri = q->uri;
    else if (local->view() != "*") uri = m.defaultXmlNs ? m.defaultXmlNs : m.intern("");
  } else if (!args[0].isNull()) {
    if (QNameObject* nq = asQName(m, args[0]); nq && nq->uri) {
      uri = nq->uri;
    } else {
      const Namespace* ns = namespaceMake(m, Value(), args.subspan(0, 1)).asNamespace();
      uri = ns->uri;
      prefix = ns->prefix;
    }
  }
  if (uri && uri->view().empty() && !prefix) prefix = m.intern("");
  return makeQName(m, uri, local, prefix);
}

Value qnameCall(Machine& m, const Value& self, std::span<Value> args) { return qnameMake(m, self, args, true); }
Value qnameNew(Machine& m, const Value& self, std::span<Value> args) { return qnameMake(m, self, args, false); }

Value qnameLocal(Machine& m, const Value& self, std::span<Value>) {
  QNameObject* q = asQName(m, self);
  return q ? Value(q->local) : Value(m.intern(""));
}

Value qnameUri(Machine& m, const Value& self, std::span<Value>) {
  QNameObject* q = asQName(m, self);
  if (!q) return Value(m.intern(""));
  return q->uri ? Value(q->uri) : Value::null();
}

Value qnameToString(Machine& m, const Value& self, std::span<Value>) {
  QNameObject* q = asQName(m, self);
  if (!q) {
    if (self.isObject() && self.asObject() == m.qnameClass->prototypeObject) return Value(m.intern(""));
    m.fail(ErrorClass::TypeError, 1004, {"QName.prototype.toString"});
  }
  if (!q->uri) return Value(StringRef("*::" + q->local->text()));
  if (q->uri->view().empty()) return Value(q->local);
  return Value(StringRef(q->uri->text() + "::" + q->local->text()));
}

Value qnameValueOf(Machine&, const Value& self, std::span<Value>) { return self; }

const NativeMember kQNameMembers[] = {
    {"localName", MemberKind::Getter, qnameLocal},
    {"uri", MemberKind::Getter, qnameUri},
};

const NativeMember kQNameMethods[] = {
    {"toString", MemberKind::Method, qnameToString},
    {"valueOf", MemberKind::Method, qnameValueOf},
};

Value isXmlNameGlobal(Machine& m, const Value&, std::span<Value> args) {
  if (args.empty()) return Value(false);
  if (asQName(m, args[0])) return Value(isXmlName(asQName(m, args[0])->local->view()));
  return Value(isXmlName(m.toText(args[0])));
}

const NativeMember kGlobals[] = {{"isXMLName", MemberKind::Method, isXmlNameGlobal, 1}};

}  // namespace

// ---- Namespace ----

Value namespaceMake(Machine& m, const Value&, std::span<Value> args) {
  auto uriOf = [&](const Value& v) {
    if (v.isNamespace()) return v.asNamespace()->uri;
    if (QNameObject* q = asQName(m, v); q && q->uri) return q->uri;
    return m.intern(m.toText(v));
  };
  if (args.empty()) return nsValue(m, m.intern(""), m.intern(""));
  if (args.size() == 1) {
    if (args[0].isNamespace()) return args[0];
    String* uri = uriOf(args[0]);
    return nsValue(m, uri->view().empty() ? m.intern("") : nullptr, uri);
  }
  String* uri = uriOf(args[1]);
  Value p = args[0];
  if (uri->view().empty()) {
    if (p.isUndefined() || m.toText(p).empty()) return nsValue(m, m.intern(""), uri);
    m.fail(ErrorClass::TypeError, 1098, {m.toText(p)});
  }
  if (p.isUndefined()) return nsValue(m, nullptr, uri);
  std::string ptext = m.toText(p);
  if (!ptext.empty() && !isXmlName(ptext)) return nsValue(m, nullptr, uri);
  return nsValue(m, m.intern(ptext), uri);
}

Value namespacePrefix(Machine& m, const Value& self, std::span<Value>) {
  if (!self.isNamespace()) return Value();
  const Namespace* ns = self.asNamespace();
  if (ns->prefix) return Value(ns->prefix);
  return ns->uri->view().empty() ? Value(m.intern("")) : Value();
}

void installXmlNodeMethods(Machine& m, ClassObject* xml, ClassObject* list) {
  addPrototypeMethods(m, xml, kNodeMembers);
  addPrototypeMethods(m, list, kListMembers);
  m.qnameClass = installClass(m, {.name = "QName", .members = kQNameMembers, .call = qnameCall,
                                  .construct = qnameNew, .isFinal = true, .initLength = 2});
  addPrototypeMethods(m, m.qnameClass, kQNameMethods);
  installGlobals(m, "", kGlobals);
}

}  // namespace orv::movie::avm2
