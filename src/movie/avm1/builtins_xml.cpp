// XMLNode and XML: a document tree scripts build, read and write as text, and XML.load /
// sendAndLoad, which go through the same loading as LoadVars (builtins_loading.cpp).
// A node keeps its children in its `childNodes` array; its parent and, for documents, the
// `loaded` flag sit in a hidden state object (the node's primitive slot), which the
// accessors on the prototypes read: parentNode, firstChild, lastChild, previousSibling,
// nextSibling, loaded.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"
#include "movie/base/utf8.h"
#include "movie/base/xml.h"

namespace orv::movie::avm1 {

namespace {

constexpr double kElement = 1, kText = 3;
constexpr int kMaxDepth = 256;  // deeper documents stop parsing (malformed)

// Parse results as XML.status gives them.
enum Status : int {
  kOk = 0,
  kCdataOpen = -2,
  kDeclOpen = -3,
  kDoctypeOpen = -4,
  kCommentOpen = -5,
  kMalformedElement = -6,
  kAttributeOpen = -8,
  kStartWithoutEnd = -9,
  kEndWithoutStart = -10,
};

// A node's data lives in its hidden state (hiddenState): "type", "name", "value",
// "attributes" (an object without a prototype), "kids" (the children, an array only this
// file sees), "childNodes" (the array scripts see: a copy of the children made anew after
// each change to them, so what a script pushes onto it stays out of the tree), "parent"
// and, for documents, "loaded". The prototype's accessors read it.
bool isNode(Object* o) { return hiddenValue(o, "type").isNumber(); }

Object* parentOf(Object* node) {
  Value p = hiddenValue(node, "parent");
  return p.isObject() ? p.asObject() : nullptr;
}

std::vector<Object*> kidsOf(Vm& vm, Object* node) {
  std::vector<Object*> out;
  Value list = hiddenValue(node, "kids");
  if (list.isObject())
    for (const Value& k : vm.arrayElements(list.asObject()))
      if (k.isObject()) out.push_back(k.asObject());
  return out;
}

void setKids(Vm& vm, Object* node, const std::vector<Object*>& kids) {
  std::vector<Value> values;
  values.reserve(kids.size());
  for (Object* k : kids) values.emplace_back(k);
  for (const char* list : {"kids", "childNodes"}) {
    Value v = hiddenValue(node, list);
    if (v.isObject()) vm.setArrayElements(v.asObject(), values);
  }
}

// A node's own data: its type, name or value, and empty attribute and child lists.
void initNode(Vm& vm, Object* node, double type, const Value& text) {
  setHidden(vm, node, "type", Value(type));
  setHidden(vm, node, "name", type == kElement && !text.isNullish() ? text : Value::null());
  setHidden(vm, node, "value", type == kElement ? Value::null() : text);
  setHidden(vm, node, "attributes", Value(vm.allocate<Object>()));
  setHidden(vm, node, "kids", Value(vm.newArray()));
  setHidden(vm, node, "childNodes", Value(vm.newArray()));
  setHidden(vm, node, "parent", Value::null());
}

// XMLNode.prototype as the player made it, for when scripts have put something else there.
struct NodePrototype {
  Object* object = nullptr;
};
// New nodes (parsed or from the factory methods) take what XMLNode.prototype is now.
Object* nodeProto(Vm& vm) {
  Value ctor = vm.getMember(vm.global, "XMLNode");
  Value proto = ctor.isObject() ? vm.getMember(ctor, "prototype") : Value();
  return proto.isObject() ? proto.asObject() : vm.builtinState<NodePrototype>().object;
}

Object* makeNode(Vm& vm, Object* proto, double type, const std::string& text) {
  Object* node = vm.newObject(proto);
  initNode(vm, node, type, Value(text));
  return node;
}

void detach(Vm& vm, Object* node) {
  Object* parent = parentOf(node);
  if (!parent) return;
  std::vector<Object*> kids = kidsOf(vm, parent);
  kids.erase(std::remove(kids.begin(), kids.end(), node), kids.end());
  setKids(vm, parent, kids);
  setHidden(vm, node, "parent", Value::null());
}

// Inserts `child` into `parent`'s children before `before` (nullptr or not a child: at the
// end). A node cannot go into itself or its own descendants.
bool insertChild(Vm& vm, Object* parent, Object* child, Object* before) {
  if (!isNode(parent) || !isNode(child) || child == before) return false;
  int depth = 0;
  for (Object* up = parent; up; up = parentOf(up))
    if (up == child || ++depth > 100000) return false;
  detach(vm, child);
  std::vector<Object*> kids = kidsOf(vm, parent);
  auto at = before ? std::find(kids.begin(), kids.end(), before) : kids.end();
  kids.insert(at, child);
  setKids(vm, parent, kids);
  setHidden(vm, child, "parent", Value(parent));
  return true;
}

// Appends a node just made (no parent yet) in constant time: parsing stays linear.
void appendNew(Vm& vm, Object* parent, Object* child) {
  for (const char* name : {"kids", "childNodes"}) {
    Value list = hiddenValue(parent, name);
    if (list.isObject())
      vm.setMember(list.asObject(), std::to_string(list.asObject()->arrayCount()), Value(child));
  }
  setHidden(vm, child, "parent", Value(parent));
}

void writeNode(Vm& vm, Object* node, std::string& out, int depth) {
  if (depth > kMaxDepth) return;
  if (vm.toNumber(hiddenValue(node, "type")) == kText) {
    Value v = hiddenValue(node, "value");
    if (!v.isNullish()) base::appendXmlEscaped(out, vm.toString(v));
    return;
  }
  Value name = hiddenValue(node, "name");
  std::vector<Object*> kids = kidsOf(vm, node);
  if (!name.isNullish()) {
    out += '<';
    out += vm.toString(name);
    Value attrs = hiddenValue(node, "attributes");
    if (attrs.isObject())
      for (const std::string& a : vm.enumerableNames(attrs.asObject()))
        out.append(" ")
            .append(a)
            .append("=\"")
            .append(base::xmlEscaped(vm.toString(vm.getMember(attrs, a))))
            .append("\"");
    if (kids.empty()) {
      out += " />";
      return;
    }
    out += ">";
  }
  for (Object* k : kids) writeNode(vm, k, out, depth + 1);
  if (!name.isNullish()) out.append("</").append(vm.toString(name)).append(">");
}

std::string decodeEntities(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    size_t semi = s.find(';', i);
    if (semi == std::string::npos || semi - i > 10) {
      out += s[i];
      continue;
    }
    std::string e = s.substr(i + 1, semi - i - 1);
    uint32_t code = 0;
    if (e == "lt")
      code = '<';
    else if (e == "gt")
      code = '>';
    else if (e == "amp")
      code = '&';
    else if (e == "quot")
      code = '"';
    else if (e == "apos")
      code = '\'';
    else if (e.size() > 1 && e[0] == '#') {
      const bool hex = e[1] == 'x' || e[1] == 'X';
      try {
        code = static_cast<uint32_t>(std::stoul(e.substr(hex ? 2 : 1), nullptr, hex ? 16 : 10));
      } catch (...) {
        code = 0;
      }
      if (code > 0x10FFFF) code = 0;
    }
    if (!code) {
      out += s[i];
      continue;
    }
    base::appendUtf8(out, code);
    i = semi;
  }
  return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Parses `text` into `doc`'s children (replacing them); returns the status.
int parseInto(Vm& vm, Object* doc, const std::string& text, Object* nodeProto) {
  const bool ignoreWhite = vm.toBool(vm.getMember(doc, "ignoreWhite"));
  // The old children leave the document; ids parsed before stay in its idMap.
  for (Object* old : kidsOf(vm, doc)) setHidden(vm, old, "parent", Value::null());
  setKids(vm, doc, {});
  Value idMap = vm.getMember(doc, "idMap");
  std::vector<Object*> open{doc};
  auto addText = [&](const std::string& raw, bool decode) {
    if (raw.empty()) return;
    if (ignoreWhite) {
      bool blank = true;
      for (char c : raw)
        if (!isSpace(c)) blank = false;
      if (blank) return;
    }
    appendNew(vm, open.back(), makeNode(vm, nodeProto, kText, decode ? decodeEntities(raw) : raw));
  };
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    if (text[i] != '<') {
      size_t lt = text.find('<', i);
      if (lt == std::string::npos) lt = n;
      addText(text.substr(i, lt - i), true);
      i = lt;
      continue;
    }
    if (text.compare(i, 4, "<!--") == 0) {
      size_t end = text.find("-->", i + 4);
      if (end == std::string::npos) return kCommentOpen;
      i = end + 3;
    } else if (text.compare(i, 9, "<![CDATA[") == 0) {
      size_t end = text.find("]]>", i + 9);
      if (end == std::string::npos) return kCdataOpen;
      addText(text.substr(i + 9, end - i - 9), false);
      i = end + 3;
    } else if (text.compare(i, 2, "<?") == 0) {
      size_t end = text.find("?>", i + 2);
      if (end == std::string::npos) return kDeclOpen;
      vm.setMember(doc, "xmlDecl", Value(text.substr(i, end + 2 - i)));
      i = end + 2;
    } else if (text.compare(i, 2, "<!") == 0) {
      size_t end = text.find('>', i + 2);
      if (end == std::string::npos) return kDoctypeOpen;
      vm.setMember(doc, "docTypeDecl", Value(text.substr(i, end + 1 - i)));
      i = end + 1;
    } else if (text.compare(i, 2, "</") == 0) {
      size_t end = text.find('>', i + 2);
      if (end == std::string::npos) return kMalformedElement;
      std::string name = text.substr(i + 2, end - i - 2);
      while (!name.empty() && isSpace(name.back())) name.pop_back();
      if (open.size() < 2 || vm.toString(hiddenValue(open.back(), "name")) != name)
        return kEndWithoutStart;
      open.pop_back();
      i = end + 1;
    } else {
      size_t p = i + 1;
      size_t nameStart = p;
      while (p < n && !isSpace(text[p]) && text[p] != '>' && text[p] != '/') ++p;
      if (p == nameStart || p >= n) return kMalformedElement;
      if (open.size() > kMaxDepth) return kMalformedElement;
      Object* element = makeNode(vm, nodeProto, kElement, text.substr(nameStart, p - nameStart));
      Object* attrs = hiddenValue(element, "attributes").asObject();
      bool selfClosing = false;
      for (;;) {
        while (p < n && isSpace(text[p])) ++p;
        if (p >= n) return kMalformedElement;
        if (text[p] == '>') {
          ++p;
          break;
        }
        if (text[p] == '/') {
          if (p + 1 < n && text[p + 1] == '>') {
            selfClosing = true;
            p += 2;
            break;
          }
          return kMalformedElement;
        }
        size_t an = p;
        while (p < n && !isSpace(text[p]) && text[p] != '=' && text[p] != '>' && text[p] != '/')
          ++p;
        std::string attr = text.substr(an, p - an);
        while (p < n && isSpace(text[p])) ++p;
        if (attr.empty() || p >= n || text[p] != '=') return kMalformedElement;
        ++p;
        while (p < n && isSpace(text[p])) ++p;
        if (p >= n || (text[p] != '"' && text[p] != '\'')) return kMalformedElement;
        const char quote = text[p++];
        size_t close = text.find(quote, p);
        if (close == std::string::npos) return kAttributeOpen;
        vm.setMember(attrs, attr, Value(decodeEntities(text.substr(p, close - p))));
        p = close + 1;
      }
      if (idMap.isObject())
        if (Property* id = attrs->findOwn("id", false))
          vm.setMember(idMap.asObject(), vm.toString(id->value), Value(element));
      appendNew(vm, open.back(), element);
      if (!selfClosing) open.push_back(element);
      i = p;
    }
  }
  return open.size() > 1 ? kStartWithoutEnd : kOk;
}

// The sibling `step` places from `node` among its parent's children.
Value sibling(Vm& vm, Object* node, int step) {
  Object* parent = parentOf(node);
  if (!parent) return Value::null();
  std::vector<Object*> kids = kidsOf(vm, parent);
  for (size_t i = 0; i < kids.size(); ++i)
    if (kids[i] == node) {
      const long j = static_cast<long>(i) + step;
      return j >= 0 && j < static_cast<long>(kids.size()) ? Value(kids[static_cast<size_t>(j)])
                                                          : Value::null();
    }
  return Value::null();
}

Object* cloneNode(Vm& vm, Object* node, bool deep, Object* proto, int depth) {
  Object* copy = vm.newObject(proto);
  initNode(vm, copy, vm.toNumber(hiddenValue(node, "type")), Value::null());
  setHidden(vm, copy, "name", hiddenValue(node, "name"));
  setHidden(vm, copy, "value", hiddenValue(node, "value"));
  Value attrs = hiddenValue(node, "attributes");
  Value copyAttrs = hiddenValue(copy, "attributes");
  if (!copyAttrs.isObject()) return copy;
  if (attrs.isObject())
    for (const std::string& a : vm.enumerableNames(attrs.asObject()))
      vm.setMember(copyAttrs.asObject(), a, vm.getMember(attrs, a));
  if (deep && depth < kMaxDepth)
    for (Object* k : kidsOf(vm, node)) appendNew(vm, copy, cloneNode(vm, k, true, proto, depth + 1));
  return copy;
}

// XMLNode(type, value); also through super() from a subclass's constructor.
Value constructNode(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self || (!c.isConstruct && isNode(self))) return Value();
  initNode(vm, self, vm.toNumber(c.arg(0)) == kText ? kText : kElement,
           c.arg(1).isUndefined() ? Value::null() : Value(vm.toString(c.arg(1))));
  return Value();
}

// nodeType, nodeName, nodeValue, attributes, childNodes (variant: which).
constexpr const char* kNodeData[] = {"type", "name", "value", "attributes", "childNodes"};
Value nodeData(Vm&, CallInfo& c) { return hiddenValue(c.thisObject(), kNodeData[c.variant]); }

// nodeName and nodeValue take a string (null for null or undefined).
Value setNodeData(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!isNode(self)) return Value();
  setHidden(vm, self, kNodeData[c.variant],
            c.arg(0).isNullish() ? Value::null() : Value(vm.toString(c.arg(0))));
  return Value();
}

Value parentNode(Vm&, CallInfo& c) {
  Object* p = parentOf(c.thisObject());
  return p ? Value(p) : Value::null();
}

// firstChild (variant 0) and lastChild (variant 1).
Value endChild(Vm& vm, CallInfo& c) {
  std::vector<Object*> kids = kidsOf(vm, c.thisObject());
  if (kids.empty()) return Value::null();
  return Value(c.variant ? kids.back() : kids.front());
}

// previousSibling (variant -1) and nextSibling (variant 1).
Value siblingOfThis(Vm& vm, CallInfo& c) { return sibling(vm, c.thisObject(), c.variant); }

// "ns:name" has the prefix "ns" and the local name "name"; a name without a colon has an
// empty prefix. Nodes without a name have neither.
Value prefix(Vm& vm, CallInfo& c) {
  Value name = hiddenValue(c.thisObject(), "name");
  if (name.isNullish()) return Value::null();
  const std::string n = vm.toString(name);
  const size_t colon = n.find(':');
  return Value(colon == std::string::npos ? std::string() : n.substr(0, colon));
}

Value localName(Vm& vm, CallInfo& c) {
  Value name = hiddenValue(c.thisObject(), "name");
  if (name.isNullish()) return Value::null();
  const std::string n = vm.toString(name);
  const size_t colon = n.find(':');
  return Value(colon == std::string::npos ? n : n.substr(colon + 1));
}

// The attribute `attr` of `node` or of the nearest node above it that has it.
Value inheritedAttribute(Vm& vm, Object* node, const std::string& attr) {
  int depth = 0;
  for (Object* n = node; n && ++depth < 100000; n = parentOf(n)) {
    Value attrs = hiddenValue(n, "attributes");
    if (!attrs.isObject()) continue;
    if (Property* p = attrs.asObject()->findOwn(attr, vm.caseInsensitive())) return p->value;
  }
  return Value();
}

std::string namespaceAttribute(const std::string& prefix) {
  return prefix.empty() ? "xmlns" : "xmlns:" + prefix;
}

// The namespace the node's prefix stands for, from the xmlns attributes on it and above it;
// "" when none declares it.
Value namespaceURI(Vm& vm, CallInfo& c) {
  Value p = prefix(vm, c);
  if (p.isNull()) return Value::null();
  Value uri = inheritedAttribute(vm, c.thisObject(), namespaceAttribute(vm.toString(p)));
  return uri.isUndefined() ? Value("") : Value(vm.toString(uri));
}

Value namespaceForPrefix(Vm& vm, CallInfo& c) {
  if (c.args.empty() || c.arg(0).isUndefined()) return Value();
  Value uri = inheritedAttribute(vm, c.thisObject(), namespaceAttribute(vm.toString(c.arg(0))));
  return uri.isUndefined() ? Value() : Value(vm.toString(uri));
}

// The prefix an xmlns attribute on the node or above it gives `uri` ("" for a plain xmlns).
Value prefixForNamespace(Vm& vm, CallInfo& c) {
  if (c.args.empty() || c.arg(0).isUndefined()) return Value();
  const std::string uri = vm.toString(c.arg(0));
  int depth = 0;
  for (Object* n = c.thisObject(); n && ++depth < 100000; n = parentOf(n)) {
    Value attrs = hiddenValue(n, "attributes");
    if (!attrs.isObject()) continue;
    for (const std::string& a : vm.enumerableNames(attrs.asObject())) {
      if (a.compare(0, 5, "xmlns") != 0 || (a.size() > 5 && a[5] != ':')) continue;
      if (vm.toString(vm.getMember(attrs, a)) != uri) continue;
      return Value(a.size() > 6 ? a.substr(6) : std::string());
    }
  }
  return Value();
}

// A node already among this node's children stays where it is.
Value appendChild(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (c.arg(0).isObject() && parentOf(c.arg(0).asObject()) != self)
    insertChild(vm, self, c.arg(0).asObject(), nullptr);
  return Value();
}

Value insertBefore(Vm& vm, CallInfo& c) {
  if (c.arg(0).isObject() && c.arg(1).isObject())
    insertChild(vm, c.thisObject(), c.arg(0).asObject(), c.arg(1).asObject());
  return Value();
}

Value removeNode(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject()) detach(vm, self);
  return Value();
}

Value hasChildNodes(Vm& vm, CallInfo& c) { return Value(!kidsOf(vm, c.thisObject()).empty()); }

Value cloneThis(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!isNode(self)) return Value();
  return Value(cloneNode(vm, self, vm.toBool(c.arg(0)), nodeProto(vm), 0));
}

// A document (XML) writes its declarations first.
Value nodeText(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value("");
  std::string out;
  for (const char* decl : {"xmlDecl", "docTypeDecl"}) {
    Value d = vm.getMember(self, decl);
    if (!d.isNullish()) out += vm.toString(d);
  }
  if (isNode(self)) writeNode(vm, self, out, 0);
  return Value(out);
}

// All of a node's data is reached through accessors here; nodeType and the tree links are
// read-only: what is assigned to them is ignored.
constexpr NativeMember kNodePrototype[] = {
    method("appendChild", appendChild),
    method("cloneNode", cloneThis),
    method("hasChildNodes", hasChildNodes),
    method("insertBefore", insertBefore),
    method("removeNode", removeNode),
    method("toString", nodeText),
    method("getPrefixForNamespace", prefixForNamespace),
    method("getNamespaceForPrefix", namespaceForPrefix),
    getter("firstChild", endChild, kDontEnum, 0),
    setter("firstChild", nothing),
    getter("lastChild", endChild, kDontEnum, 1),
    setter("lastChild", nothing),
    getter("namespaceURI", namespaceURI),
    setter("namespaceURI", nothing),
    getter("localName", localName),
    setter("localName", nothing),
    getter("attributes", nodeData, kDontEnum, 3),
    setter("attributes", nothing),
    getter("childNodes", nodeData, kDontEnum, 4),
    setter("childNodes", nothing),
    getter("nextSibling", siblingOfThis, kDontEnum, 1),
    setter("nextSibling", nothing),
    getter("nodeName", nodeData, kDontEnum, 1),
    setter("nodeName", setNodeData, kDontEnum, 1),
    getter("nodeType", nodeData, kDontEnum, 0),
    setter("nodeType", nothing),
    getter("nodeValue", nodeData, kDontEnum, 2),
    setter("nodeValue", setNodeData, kDontEnum, 2),
    getter("parentNode", parentNode),
    setter("parentNode", nothing),
    getter("prefix", prefix),
    setter("prefix", nothing),
    getter("previousSibling", siblingOfThis, kDontEnum, -1),
    setter("previousSibling", nothing),
};
constexpr NativeClass kNodeClass{
    .name = "XMLNode", .constructor = constructNode, .prototype = kNodePrototype};

// XML(text): a document node.
Value constructDocument(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self || (!c.isConstruct && isNode(self))) return Value();
  initNode(vm, self, kElement, Value::null());
  // Elements with an id attribute, by their id, as parsing meets them (SWF 8).
  if (vm.version() >= 8)
    self->put("idMap", Value(vm.newObject()), kDontEnum, vm.caseInsensitive());
  if (!c.arg(0).isNullish()) {
    Value src = c.arg(0);
    vm.callMethod(c.thisValue, "parseXML", std::span<Value>(&src, 1));
  }
  return Value();
}

Value parseXML(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  vm.setMember(
      self, "status",
      Value(static_cast<double>(parseInto(vm, self, vm.toString(c.arg(0)), nodeProto(vm)))));
  return Value();
}

Value createElement(Vm& vm, CallInfo& c) {
  return Value(makeNode(vm, nodeProto(vm), kElement, vm.toString(c.arg(0))));
}

Value createTextNode(Vm& vm, CallInfo& c) {
  return Value(makeNode(vm, nodeProto(vm), kText, vm.toString(c.arg(0))));
}

// The loaded flag lives with the document, not as a property of its own.
Value loaded(Vm&, CallInfo& c) { return hiddenValue(c.thisObject(), "loaded"); }

Value setLoaded(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject()) setHidden(vm, self, "loaded", Value(vm.toBool(c.arg(0))));
  return Value();
}

// The default onData parses what arrived and tells onLoad.
Value documentData(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return Value();
  Value src = c.arg(0);
  const bool ok = !src.isUndefined();
  if (ok) vm.callMethod(c.thisValue, "parseXML", std::span<Value>(&src, 1));
  vm.setMember(self, "loaded", Value(ok));
  Value arg(ok);
  vm.callMethod(c.thisValue, "onLoad", std::span<Value>(&arg, 1));
  return Value();
}

constexpr NativeMember kDocumentPrototype[] = {
    method("parseXML", parseXML),
    method("createElement", createElement),
    method("createTextNode", createTextNode),
    slot("xmlDecl"),
    slot("docTypeDecl"),
    getter("loaded", loaded),
    setter("loaded", setLoaded),
    method("onData", documentData),
    method("onLoad", nothing),
    method("addRequestHeader", nothing),
};
// After load, sendAndLoad, send, getBytesLoaded and getBytesTotal, which are LoadVars' own.
constexpr NativeMember kDocumentSettings[] = {
    constant("contentType", "application/x-www-form-urlencoded", kDontEnum),
    constant("ignoreWhite", false, kDontEnum),
    constant("status", 0, kDontEnum),
};
constexpr NativeClass kDocumentClass{.name = "XML", .constructor = constructDocument};

}  // namespace

void installXmlBuiltins(Vm& vm) {
  const bool ci = vm.caseInsensitive();
  Object* nodes = installClass(vm, vm.global, kNodeClass).prototype;
  vm.builtinState<NodePrototype>().object = nodes;
  vm.pin(nodes);

  // XML.prototype inherits XMLNode.prototype.
  Object* xmlProto = installClass(vm, vm.global, kDocumentClass, vm.newObject(nodes)).prototype;
  installMembers(vm, xmlProto, kDocumentPrototype);
  Value lv = vm.getMember(vm.global, "LoadVars");
  Value lvProto = lv.isObject() ? vm.getMember(lv, "prototype") : Value();
  for (const char* name : {"load", "sendAndLoad", "send", "getBytesLoaded", "getBytesTotal"})
    if (lvProto.isObject()) xmlProto->put(name, vm.getMember(lvProto, name), kDontEnum, ci);
  installMembers(vm, xmlProto, kDocumentSettings);
}

}  // namespace orv::movie::avm1
