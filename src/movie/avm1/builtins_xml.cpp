// XMLNode and XML: a document tree scripts build, read and write as text, and XML.load /
// sendAndLoad, which go through the same loading as LoadVars (builtins_loading.cpp).
// A node keeps its children in its `childNodes` array; its parent and, for documents, the
// `loaded` flag sit in a hidden state object (the node's primitive slot), which the
// accessors on the prototypes read: parentNode, firstChild, lastChild, previousSibling,
// nextSibling, loaded.
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

Object* stateOf(Vm& vm, Object* node) {
  if (!node) return nullptr;
  if (node->primitive.isObject()) return node->primitive.asObject();
  Object* state = vm.allocate<Object>();  // no prototype: never seen by scripts
  node->primitive = Value(state);
  return state;
}
Value stateValue(Vm& vm, Object* node, const char* name) {
  Object* s = node && node->primitive.isObject() ? node->primitive.asObject() : nullptr;
  (void)vm;
  if (!s) return Value();
  Property* p = s->findOwn(name, false);
  return p ? p->value : Value();
}
void setState(Vm& vm, Object* node, const char* name, const Value& v) {
  if (Object* s = stateOf(vm, node)) s->put(name, v, 0, false);
}

Object* childList(Vm& vm, Object* node) {
  Value list = vm.getMember(node, "childNodes");
  return list.isObject() ? list.asObject() : nullptr;
}

// A node's own properties: its type, name or value, and empty attribute and child lists.
void initNode(Vm& vm, Object* node, double type, const Value& text) {
  const bool ci = vm.caseInsensitive();
  node->put("nodeType", Value(type), kDontEnum, ci);
  node->put("nodeName", type == kElement && !text.isNullish() ? text : Value::null(), kDontEnum,
            ci);
  node->put("nodeValue", type == kElement ? Value::null() : text, kDontEnum, ci);
  node->put("attributes", Value(vm.newObject()), kDontEnum, ci);
  node->put("childNodes", Value(vm.newArray()), kDontEnum, ci);
}

Object* makeNode(Vm& vm, Object* proto, double type, const std::string& text) {
  Object* node = vm.newObject(proto);
  initNode(vm, node, type, Value(text));
  return node;
}

void detach(Vm& vm, Object* node) {
  Value parent = stateValue(vm, node, "parent");
  if (!parent.isObject()) return;
  if (Object* list = childList(vm, parent.asObject())) {
    std::vector<Value> kids = vm.arrayElements(list);
    for (size_t i = 0; i < kids.size(); ++i)
      if (kids[i].isObject() && kids[i].asObject() == node) {
        kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
    vm.setArrayElements(list, kids);
  }
  setState(vm, node, "parent", Value::null());
}

// Inserts `child` into `parent`'s children before `before` (nullptr: at the end). A node
// cannot go into itself or its own descendants.
bool insertChild(Vm& vm, Object* parent, Object* child, Object* before) {
  if (!parent || !child) return false;
  for (Value up(parent); up.isObject(); up = stateValue(vm, up.asObject(), "parent"))
    if (up.asObject() == child) return false;
  detach(vm, child);
  Object* list = childList(vm, parent);
  if (!list) return false;
  std::vector<Value> kids = vm.arrayElements(list);
  size_t at = kids.size();
  for (size_t i = 0; before && i < kids.size(); ++i)
    if (kids[i].isObject() && kids[i].asObject() == before) at = i;
  kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(at), Value(child));
  vm.setArrayElements(list, kids);
  setState(vm, child, "parent", Value(parent));
  return true;
}

// Appends a node just made (no parent yet) in constant time: parsing stays linear.
void appendNew(Vm& vm, Object* parent, Object* child) {
  Object* list = childList(vm, parent);
  if (!list) return;
  vm.setMember(list, std::to_string(list->arrayCount()), Value(child));
  setState(vm, child, "parent", Value(parent));
}

void writeNode(Vm& vm, Object* node, std::string& out, int depth) {
  if (depth > kMaxDepth) return;
  const double type = vm.toNumber(vm.getMember(node, "nodeType"));
  if (type == kText) {
    Value v = vm.getMember(node, "nodeValue");
    if (!v.isNullish()) base::appendXmlEscaped(out, vm.toString(v));
    return;
  }
  Value name = vm.getMember(node, "nodeName");
  Object* list = childList(vm, node);
  std::vector<Value> kids = list ? vm.arrayElements(list) : std::vector<Value>{};
  if (!name.isNullish()) {
    out += '<';
    out += vm.toString(name);
    Value attrs = vm.getMember(node, "attributes");
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
  for (const Value& k : kids)
    if (k.isObject()) writeNode(vm, k.asObject(), out, depth + 1);
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
  if (Object* list = childList(vm, doc)) vm.setArrayElements(list, {});
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
      if (open.size() < 2 || vm.toString(vm.getMember(open.back(), "nodeName")) != name)
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
      Object* attrs = vm.getMember(element, "attributes").asObject();
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
      appendNew(vm, open.back(), element);
      if (!selfClosing) open.push_back(element);
      i = p;
    }
  }
  return open.size() > 1 ? kStartWithoutEnd : kOk;
}

// The sibling `step` places from `node` among its parent's children.
Value sibling(Vm& vm, Object* node, int step) {
  Value parent = stateValue(vm, node, "parent");
  Object* list = parent.isObject() ? childList(vm, parent.asObject()) : nullptr;
  if (!list) return Value::null();
  std::vector<Value> kids = vm.arrayElements(list);
  for (size_t i = 0; i < kids.size(); ++i)
    if (kids[i].isObject() && kids[i].asObject() == node) {
      const long j = static_cast<long>(i) + step;
      return j >= 0 && j < static_cast<long>(kids.size()) ? kids[static_cast<size_t>(j)]
                                                          : Value::null();
    }
  return Value::null();
}

Object* cloneNode(Vm& vm, Object* node, bool deep, Object* nodeProto, int depth) {
  Object* copy = makeNode(vm, nodeProto, vm.toNumber(vm.getMember(node, "nodeType")), "");
  vm.setMember(copy, "nodeName", vm.getMember(node, "nodeName"));
  vm.setMember(copy, "nodeValue", vm.getMember(node, "nodeValue"));
  Value attrs = vm.getMember(node, "attributes");
  Object* copyAttrs = vm.getMember(copy, "attributes").asObject();
  if (attrs.isObject())
    for (const std::string& a : vm.enumerableNames(attrs.asObject()))
      vm.setMember(copyAttrs, a, vm.getMember(attrs, a));
  if (deep && depth < kMaxDepth)
    if (Object* list = childList(vm, node))
      for (const Value& k : vm.arrayElements(list))
        if (k.isObject())
          insertChild(vm, copy, cloneNode(vm, k.asObject(), true, nodeProto, depth + 1), nullptr);
  return copy;
}

// XMLNode.prototype as the player made it: what parsing and the factory methods give
// their nodes, whatever scripts do with the classes.
struct NodePrototype {
  Object* object = nullptr;
};
Object* nodeProto(Vm& vm) { return vm.builtinState<NodePrototype>().object; }

// XMLNode(type, value)
Value constructNode(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self || !c.isConstruct) return Value();
  initNode(vm, self, vm.toNumber(c.arg(0)) == kText ? kText : kElement,
           c.arg(1).isUndefined() ? Value::null() : Value(vm.toString(c.arg(1))));
  return Value();
}

Value parentNode(Vm& vm, CallInfo& c) {
  Value p = stateValue(vm, c.thisObject(), "parent");
  return p.isObject() ? p : Value::null();
}

Value firstChild(Vm& vm, CallInfo& c) {
  Object* list = c.thisObject() ? childList(vm, c.thisObject()) : nullptr;
  std::vector<Value> kids = list ? vm.arrayElements(list) : std::vector<Value>{};
  return kids.empty() ? Value::null() : kids.front();
}

Value lastChild(Vm& vm, CallInfo& c) {
  Object* list = c.thisObject() ? childList(vm, c.thisObject()) : nullptr;
  std::vector<Value> kids = list ? vm.arrayElements(list) : std::vector<Value>{};
  return kids.empty() ? Value::null() : kids.back();
}

// previousSibling (variant -1) and nextSibling (variant 1).
Value siblingOfThis(Vm& vm, CallInfo& c) { return sibling(vm, c.thisObject(), c.variant); }

Value appendChild(Vm& vm, CallInfo& c) {
  if (c.arg(0).isObject()) insertChild(vm, c.thisObject(), c.arg(0).asObject(), nullptr);
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

Value hasChildNodes(Vm& vm, CallInfo& c) {
  Object* list = c.thisObject() ? childList(vm, c.thisObject()) : nullptr;
  return Value(list && !vm.arrayElements(list).empty());
}

Value cloneThis(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  return self ? Value(cloneNode(vm, self, vm.toBool(c.arg(0)), nodeProto(vm), 0)) : Value();
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
  writeNode(vm, self, out, 0);
  return Value(out);
}

// The tree accessors are read-only: what is assigned to them is ignored.
constexpr NativeMember kNodePrototype[] = {
    getter("parentNode", parentNode),
    setter("parentNode", nothing),
    getter("firstChild", firstChild),
    setter("firstChild", nothing),
    getter("lastChild", lastChild),
    setter("lastChild", nothing),
    getter("previousSibling", siblingOfThis, kDontEnum, -1),
    setter("previousSibling", nothing),
    getter("nextSibling", siblingOfThis, kDontEnum, 1),
    setter("nextSibling", nothing),
    method("appendChild", appendChild),
    method("insertBefore", insertBefore),
    method("removeNode", removeNode),
    method("hasChildNodes", hasChildNodes),
    method("cloneNode", cloneThis),
    method("toString", nodeText),
};
constexpr NativeClass kNodeClass{
    .name = "XMLNode", .constructor = constructNode, .prototype = kNodePrototype};

// XML(text): a document node.
Value constructDocument(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self || !c.isConstruct) return Value();
  initNode(vm, self, kElement, Value::null());
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
Value loaded(Vm& vm, CallInfo& c) { return stateValue(vm, c.thisObject(), "loaded"); }

Value setLoaded(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject()) setState(vm, self, "loaded", Value(vm.toBool(c.arg(0))));
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
